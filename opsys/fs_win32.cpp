// The Windows side of the file-system seam.
#include "opsys/detail/fs_os.h"

#include <windows.h>

const int FS_ERR_ACCESS_DENIED = ERROR_ACCESS_DENIED;
const int FS_ERR_LOCKED = ERROR_SHARING_VIOLATION;
const char fs_os::separator = '\\';

namespace {

struct Listing {
    HANDLE handle;
    WIN32_FIND_DATAA data;
    bool pending; // data holds an entry not yet handed out
};

} // namespace

namespace fs_os {

void* open(const char* path, uint32_t access, int* error) {
    DWORD acc = GENERIC_READ;
    switch (access & 0x3) {
    case FS_WRITE: acc = (access & FS_APPEND) ? FILE_APPEND_DATA : GENERIC_WRITE; break;
    case FS_READWRITE: acc = GENERIC_READ | GENERIC_WRITE; break;
    default: break;
    }
    DWORD share = 0;
    switch (access & 0x70) {
    case FS_SHARE_DENY_WRITE: share = FILE_SHARE_READ; break;
    case FS_SHARE_DENY_READ: share = FILE_SHARE_WRITE; break;
    case FS_SHARE_DENY_NONE: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: break; // compatibility and exclusive: nobody else
    }
    DWORD disp = OPEN_EXISTING;
    if (access & FS_CREATE) {
        if (access & FS_FAIL_IF_EXISTS) disp = CREATE_NEW;
        else if (access & FS_NO_TRUNCATE) disp = OPEN_ALWAYS;
        else disp = CREATE_ALWAYS;
    }
    HANDLE h = CreateFileA(path, acc, share, nullptr, disp, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) *error = static_cast<int>(GetLastError());
        return nullptr;
    }
    if (access & FS_AT_END) {
        LARGE_INTEGER zero{};
        SetFilePointerEx(h, zero, nullptr, FILE_END);
    }
    if (error) *error = 0;
    return h;
}

int32_t read(void* f, void* buf, uint32_t n) {
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(f), buf, n, &got, nullptr)) return -1;
    return static_cast<int32_t>(got);
}

int32_t write(void* f, const void* buf, uint32_t n) {
    DWORD put = 0;
    if (!WriteFile(static_cast<HANDLE>(f), buf, n, &put, nullptr)) return -1;
    return static_cast<int32_t>(put);
}

int seek(void* f, int64_t offset, int origin, int64_t* pos) {
    LARGE_INTEGER to, now;
    to.QuadPart = offset;
    DWORD how = origin == 1 ? FILE_CURRENT : origin == 2 ? FILE_END : FILE_BEGIN;
    if (!SetFilePointerEx(static_cast<HANDLE>(f), to, &now, how)) return 0;
    if (pos) *pos = now.QuadPart;
    return 1;
}

int flush(void* f) { return FlushFileBuffers(static_cast<HANDLE>(f)) ? 1 : 0; }
int close(void* f) { return CloseHandle(static_cast<HANDLE>(f)) ? 1 : 0; }
int remove(const char* path) { return DeleteFileA(path) ? 1 : 0; }
int rename(const char* from, const char* to) { return MoveFileA(from, to) ? 1 : 0; }

int replace(const char* source, const char* target) {
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 1 : 0;
}

int attributes(const char* path, unsigned* attributes) {
    DWORD a = GetFileAttributesA(path);
    if (a == INVALID_FILE_ATTRIBUTES) return 0;
    *attributes = static_cast<unsigned>(a);
    return 1;
}

void* list_open(const char* folder) {
    auto* l = new Listing;
    l->handle = FindFirstFileA(FsEntryPath(folder, "*.*").c_str(), &l->data);
    if (l->handle == INVALID_HANDLE_VALUE) {
        delete l;
        return nullptr;
    }
    l->pending = true;
    return l;
}

int list_next(void* listing, FsEntry* e) {
    auto* l = static_cast<Listing*>(listing);
    if (!l->pending && !FindNextFileA(l->handle, &l->data)) return 0;
    l->pending = false;
    e->name = l->data.cFileName;
    e->attributes = static_cast<unsigned>(l->data.dwFileAttributes);
    return 1;
}

void list_close(void* listing) {
    auto* l = static_cast<Listing*>(listing);
    FindClose(l->handle);
    delete l;
}

bool name_taken(int error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}

unsigned process_tag() { return static_cast<unsigned>(GetCurrentProcessId()); }

} // namespace fs_os
