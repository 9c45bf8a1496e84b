#include "support/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

bool IsDelimiter(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

std::size_t LastDelimiter(const std::string& path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (IsDelimiter(path[i - 1])) return i - 1;
  return std::string::npos;
}

}  // namespace

char PathDelimiter() {
#ifdef _WIN32
  return '\\';
#else
  return '/';
#endif
}

std::string IncludeTrailingBackslash(const std::string& path) {
  if (!path.empty() && IsDelimiter(path.back())) return path;
  return path + PathDelimiter();
}

std::string ExcludeTrailingBackslash(const std::string& path) {
  if (!path.empty() && IsDelimiter(path.back())) return path.substr(0, path.size() - 1);
  return path;
}

std::string FileNameWithoutExt(const std::string& path) {
  const std::size_t slash = LastDelimiter(path);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

std::string ExtractFileDir(const std::string& path) {
  const std::size_t slash = LastDelimiter(path);
  if (slash == std::string::npos) return std::string();
  if (slash == 0) return path.substr(0, 1);  // the root folder keeps its delimiter
  return path.substr(0, slash);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  const std::size_t slash = LastDelimiter(path);
  const std::size_t dot = path.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
    return path.substr(0, dot) + ext;
  return path + ext;
}

std::string ProgramDir() {
  QString dir;
  if (QCoreApplication::instance()) dir = QCoreApplication::applicationDirPath();
  if (dir.isEmpty()) dir = QDir::currentPath();
  return ExcludeTrailingBackslash(QDir::toNativeSeparators(dir).toStdString());
}

bool IsInstalledProgramDir(const std::string& programDir) {
  return QFileInfo(QDir(QString::fromStdString(programDir)).filePath(KAVOR_INSTALLED_MARKER))
      .isFile();
}

bool FileExists(const std::string& path) {
  const QFileInfo info(QString::fromStdString(path));
  return info.exists() && info.isFile();
}

bool DirectoryExists(const std::string& path) {
  return QFileInfo(QString::fromStdString(path)).isDir();
}

bool SameFile(const std::string& a, const std::string& b) {
  const QFileInfo first(QString::fromStdString(a));
  const QFileInfo second(QString::fromStdString(b));
  if (first.exists() && second.exists())
    return first.canonicalFilePath() == second.canonicalFilePath();
  return QDir::cleanPath(first.absoluteFilePath()) == QDir::cleanPath(second.absoluteFilePath());
}
