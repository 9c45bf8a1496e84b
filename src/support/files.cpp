#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <stdexcept>

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

void WriteFileAtomically(const std::string& path, const std::string& bytes) {
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly))
    throw std::runtime_error("Datei " + path +
                             " kann nicht geschrieben werden: " + file.errorString().toStdString());
  if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
          static_cast<qint64>(bytes.size()) ||
      !file.commit())
    throw std::runtime_error("Datei " + path +
                             " kann nicht geschrieben werden: " + file.errorString().toStdString());
}

void ForceDirectories(const std::string& path) {
  if (path.empty()) return;
  if (!QDir().mkpath(QString::fromStdString(path)))
    throw std::runtime_error("Ordner " + path + " kann nicht angelegt werden");
}
