#pragma once
// Whole-file writes that never lose the old file: the new contents go to a
// fresh temporary file in the target's own folder, and only a complete,
// closed temporary file replaces the target. A failure at any step leaves
// the old file as it was and removes the temporary file.
#include <string>

// Writes `bytes` to `path` as described above. Returns true on success.
bool ReuReplaceFileContents(const char* path, const std::string& bytes);

// Reads a whole file opened for reading only (a read-only file still reads).
// Returns false when the file cannot be opened or read.
bool ReuReadFileContents(const char* path, std::string& out);
