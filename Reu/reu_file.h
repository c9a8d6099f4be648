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

// Test hook: with n >= 0 the next replacing write fails after n bytes, as a
// full disk would; -1 (the default) turns the fault off. Returns the old value.
int ReuSetWriteFaultForTest(int n);

// ---- the operating-system side (reu_file_win32.cpp / reu_file_posix.cpp) ----
namespace reu_os {
// Creates a new file that must not exist yet; returns an opaque handle or
// nullptr when the name is taken or the file cannot be created.
void* CreateNewFile(const char* path);
// Writes all bytes; false on a short or failed write.
bool WriteAll(void* file, const char* data, size_t size);
// Flushes and closes; false when the data may not have reached the file.
bool Close(void* file);
// Replaces `target` (which may not exist) with `source`.
bool MoveOver(const char* source, const char* target);
bool Remove(const char* path);
// A small number that differs between processes, for temporary names.
unsigned ProcessTag();
} // namespace reu_os
