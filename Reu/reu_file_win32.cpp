#include "Reu/reu_file.h"

#include <windows.h>

namespace reu_os {

void* CreateNewFile(const char* path) {
    HANDLE h = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

bool WriteAll(void* file, const char* data, size_t size) {
    while (size > 0) {
        DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(static_cast<HANDLE>(file), data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

bool Close(void* file) {
    HANDLE h = static_cast<HANDLE>(file);
    bool ok = ::FlushFileBuffers(h) != 0;
    if (!::CloseHandle(h)) ok = false;
    return ok;
}

bool MoveOver(const char* source, const char* target) {
    return ::MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool Remove(const char* path) { return ::DeleteFileA(path) != 0; }

unsigned ProcessTag() { return static_cast<unsigned>(::GetCurrentProcessId()); }

} // namespace reu_os
