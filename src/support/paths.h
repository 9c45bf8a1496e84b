#pragma once
// File-name helpers. The delimiter is the platform's own ("\" on Windows, "/" elsewhere).

#include <string>

char PathDelimiter();
std::string IncludeTrailingBackslash(const std::string& path);
std::string ExcludeTrailingBackslash(const std::string& path);
// The file-name part of the path without its extension.
std::string FileNameWithoutExt(const std::string& path);
// The folder part of the path, without a trailing delimiter.
std::string ExtractFileDir(const std::string& path);
// The path with its extension replaced by `ext` (which includes the dot), or appended.
std::string ChangeFileExt(const std::string& path, const std::string& ext);
// The folder that holds the running program file, without a trailing delimiter.
std::string ProgramDir();
// Whether the folder is the program folder of an installed copy (a system folder of programs,
// such as /usr/bin, next to the installed desktop entry). Such a folder never holds user data,
// even when it can be written (by root).
bool IsInstalledProgramDir(const std::string& programDir);
bool FileExists(const std::string& path);
// Whether both names lead to the same file (links followed; for names of missing files, whether
// they name the same place).
bool SameFile(const std::string& a, const std::string& b);
bool DirectoryExists(const std::string& path);
