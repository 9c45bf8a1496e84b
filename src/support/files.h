#pragma once
// Whole-file reading and writing. Writes are atomic: the bytes go to a temporary file beside the
// target that is renamed over the old one, so a crash, a kill or a full disk never leaves a
// half-written file. A temporary file that a killed write left behind goes with the next write
// of the same file.

#include <string>

// Reads the whole file. False (and the reason in `error`) when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string& bytes, std::string* error = nullptr);
// Writes the whole file atomically. Throws std::runtime_error with the system's reason.
void WriteFileAtomically(const std::string& path, const std::string& bytes);
// The temporary files that writes of `path` left behind when they were cut off.
std::string TemporaryFilePattern(const std::string& path);
// Creates the folder and all missing parents. Throws std::runtime_error on failure.
void ForceDirectories(const std::string& path);

// Platform part: flushes a written file's data to the disk. False when the system refused.
bool SyncFileToDisk(int fileHandle);
