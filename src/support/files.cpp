#include "support/files.h"
#include "support/texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace {

// Temporary files are named after their target: "<name>.~" + six letters or digits + ".tmp".
const QString kTempInfix = QStringLiteral(".~");
const QString kTempSuffix = QStringLiteral(".tmp");
constexpr int kTempRandomLength = 6;

std::runtime_error WriteError(const std::string& path, const QString& reason) {
  return std::runtime_error(TrText("Files", "Datei %1 kann nicht geschrieben werden: %2")
                                .Arg(path)
                                .Arg(reason.toStdString()));
}

// A link is written through: the file it points to is replaced, the link stays.
QString ResolvedTarget(const QString& path) {
  const QFileInfo info(path);
  return info.isSymLink() ? info.symLinkTarget() : path;
}

bool IsTemporaryOf(const QString& entry, const QString& targetName) {
  const QString prefix = targetName + kTempInfix;
#ifdef _WIN32
  const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
  const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
  return entry.size() == prefix.size() + kTempRandomLength + kTempSuffix.size() &&
         entry.startsWith(prefix, cs) && entry.endsWith(kTempSuffix, cs);
}

// Removes what cut-off writes of the target left behind.
void RemoveLeftovers(const QFileInfo& target) {
  const QDir dir = target.absoluteDir();
  const QString name = target.fileName();
  for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
    if (IsTemporaryOf(entry, name)) QFile::remove(dir.filePath(entry));
}

QString TemporaryNameFor(const QFileInfo& target) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  QString random;
  for (int i = 0; i < kTempRandomLength; ++i)
    random += QChar(kChars[QRandomGenerator::global()->bounded(36)]);
  return target.absoluteDir().filePath(target.fileName() + kTempInfix + random + kTempSuffix);
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::string& bytes, std::string* error) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = file.errorString().toStdString();
    return false;
  }
  const QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    if (error) *error = file.errorString().toStdString();
    return false;
  }
  bytes.assign(data.constData(), static_cast<std::size_t>(data.size()));
  return true;
}

std::string TemporaryFilePattern(const std::string& path) {
  const QFileInfo target(ResolvedTarget(QString::fromStdString(path)));
  return (target.fileName() + kTempInfix + "*" + kTempSuffix).toStdString();
}

void WriteFileAtomically(const std::string& path, const std::string& bytes) {
  const QFileInfo target(ResolvedTarget(QString::fromStdString(path)));
  if (target.isDir())
    throw WriteError(path,
                     QCoreApplication::translate("Files", "ein Ordner dieses Namens ist im Weg"));
  // The replace needs only the folder to be writable: without this a file the user made
  // read-only to keep it would be replaced all the same.
  if (target.exists() && !target.isWritable())
    throw WriteError(path, QCoreApplication::translate("Files", "die Datei ist schreibgeschützt"));
  RemoveLeftovers(target);
  QFile temp(TemporaryNameFor(target));
  if (!temp.open(QIODevice::WriteOnly | QIODevice::NewOnly))
    throw WriteError(path, temp.errorString());
  const auto fail = [&](const QString& reason) {
    temp.close();
    temp.remove();
    return WriteError(path, reason);
  };
  if (temp.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
          static_cast<qint64>(bytes.size()) ||
      !temp.flush())
    throw fail(temp.errorString());
  if (!SyncFileToDisk(temp.handle()))
    throw fail(QCoreApplication::translate("Files", "Daten nicht auf die Platte gebracht"));
  temp.close();
  if (target.exists()) temp.setPermissions(QFile::permissions(target.absoluteFilePath()));
  std::error_code error;
  std::filesystem::rename(std::filesystem::path(temp.fileName().toStdU16String()),
                          std::filesystem::path(target.absoluteFilePath().toStdU16String()), error);
  if (error) throw fail(QString::fromStdString(error.message()));
}

void ForceDirectories(const std::string& path) {
  if (path.empty()) return;
  if (!QDir().mkpath(QString::fromStdString(path)))
    throw std::runtime_error(TrText("Files", "Ordner %1 kann nicht angelegt werden").Arg(path));
}
