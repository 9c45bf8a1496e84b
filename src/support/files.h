#pragma once
// Whole-file reading and writing. Writes are atomic: the bytes go to a temporary file that is
// renamed over the old one, so a crash or a full disk never leaves a half-written file.

#include <string>

// Reads the whole file. False (and the reason in `error`) when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string& bytes, std::string* error = nullptr);
// Writes the whole file atomically. Throws std::runtime_error with the system's reason.
void WriteFileAtomically(const std::string& path, const std::string& bytes);
// Creates the folder and all missing parents. Throws std::runtime_error on failure.
void ForceDirectories(const std::string& path);
