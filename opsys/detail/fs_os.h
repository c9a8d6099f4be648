#pragma once
// The platform side of opsys/fs.h (fs_win32.cpp, fs_posix.cpp): the calls
// without the fault table. Same contracts as their Fs* counterparts.
#include "opsys/fs.h"

namespace fs_os {

extern const char separator; // of folders in a path

void* open(const char* path, uint32_t access, int* error);
int32_t read(void* file, void* buf, uint32_t n);
int32_t write(void* file, const void* buf, uint32_t n);
int seek(void* file, int64_t offset, int origin, int64_t* pos);
int flush(void* file);
int close(void* file);
int remove(const char* path);
int rename(const char* from, const char* to);
int replace(const char* source, const char* target);
int attributes(const char* path, unsigned* attributes);
void* list_open(const char* folder);
int list_next(void* listing, FsEntry* entry);
void list_close(void* listing);
// Whether a failed exclusive create means the name was taken (so another
// name may do).
bool name_taken(int error);
unsigned process_tag();

} // namespace fs_os
