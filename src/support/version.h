#pragma once
// The program's version, taken from the build's project version, and the Qt it was built with.

#include <string>

// "1.2.2.1"
const char* ProgramVersion();
// The Qt version the program was compiled against.
const char* BuildQtVersion();
// The Qt version the program runs with (may differ when the system's Qt was updated).
std::string RuntimeQtVersion();
// The answer to --version: "<program> <version> (Qt <build version>)", with the running Qt added
// when it differs from the build's.
std::string VersionLine(const std::string& program);
