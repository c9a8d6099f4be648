#include "Reu/reu_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace reu_os {

void* CreateNewFile(const char* path) {
    int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    return reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
}

static int Fd(void* file) { return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1); }

bool WriteAll(void* file, const char* data, size_t size) {
    int fd = Fd(file);
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool Close(void* file) {
    int fd = Fd(file);
    bool ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    return ok;
}

bool MoveOver(const char* source, const char* target) {
    return std::rename(source, target) == 0;
}

bool Remove(const char* path) { return ::unlink(path) == 0; }

unsigned ProcessTag() { return static_cast<unsigned>(::getpid()); }

} // namespace reu_os
