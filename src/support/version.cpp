#include "support/version.h"

#include <QtGlobal>

#include "kavor_version.h"

const char* ProgramVersion() {
  return KAVOR_PROJECT_VERSION;
}

const char* BuildQtVersion() {
  return QT_VERSION_STR;
}

std::string RuntimeQtVersion() {
  return qVersion();
}

std::string VersionLine(const std::string& program) {
  std::string line = program + " " + ProgramVersion() + " (Qt " + BuildQtVersion();
  const std::string running = RuntimeQtVersion();
  if (running != BuildQtVersion()) line += ", running on Qt " + running;
  return line + ")";
}
