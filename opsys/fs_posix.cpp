// The POSIX side of the file-system seam, for the host build of the core.
// Sharing bits are not enforced here.
#include "opsys/detail/fs_os.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const int FS_ERR_ACCESS_DENIED = EACCES;
const int FS_ERR_LOCKED = EBUSY;
const char fs_os::separator = '/';

namespace {

struct PosixFile {
    int fd;
};

int fd_of(void* f) { return static_cast<PosixFile*>(f)->fd; }

struct Listing {
    DIR* dir;
    std::string folder;
};

} // namespace

namespace fs_os {

void* open(const char* path, uint32_t access, int* error) {
    int fl = O_RDONLY;
    switch (access & 0x3) {
    case FS_WRITE: fl = O_WRONLY; break;
    case FS_READWRITE: fl = O_RDWR; break;
    default: break;
    }
    if (access & FS_APPEND) fl |= O_APPEND;
    if (access & FS_CREATE) {
        fl |= O_CREAT;
        if (access & FS_FAIL_IF_EXISTS) fl |= O_EXCL;
        else if (!(access & FS_NO_TRUNCATE)) fl |= O_TRUNC;
    }
    int fd = ::open(path, fl | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = errno;
        return nullptr;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (error) *error = EISDIR;
        return nullptr;
    }
    if (access & FS_AT_END) lseek(fd, 0, SEEK_END);
    auto* pf = static_cast<PosixFile*>(std::malloc(sizeof(PosixFile)));
    if (!pf) {
        ::close(fd);
        if (error) *error = ENOMEM;
        return nullptr;
    }
    pf->fd = fd;
    if (error) *error = 0;
    return pf;
}

int32_t read(void* f, void* buf, uint32_t n) {
    for (;;) {
        ssize_t r = ::read(fd_of(f), buf, n);
        if (r < 0 && errno == EINTR) continue;
        return static_cast<int32_t>(r);
    }
}

int32_t write(void* f, const void* buf, uint32_t n) {
    for (;;) {
        ssize_t r = ::write(fd_of(f), buf, n);
        if (r < 0 && errno == EINTR) continue;
        return static_cast<int32_t>(r);
    }
}

int seek(void* f, int64_t offset, int origin, int64_t* pos) {
    int how = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    off_t r = lseek(fd_of(f), static_cast<off_t>(offset), how);
    if (r < 0) return 0;
    if (pos) *pos = static_cast<int64_t>(r);
    return 1;
}

int flush(void* f) { return ::fsync(fd_of(f)) == 0 ? 1 : 0; }

int close(void* f) {
    auto* pf = static_cast<PosixFile*>(f);
    int r = ::close(pf->fd);
    std::free(pf);
    return r == 0 ? 1 : 0;
}

int remove(const char* path) { return ::unlink(path) == 0 ? 1 : 0; }

int rename(const char* from, const char* to) {
    // Like the Windows move: never replaces an existing file.
    if (::access(to, F_OK) == 0) return 0;
    return std::rename(from, to) == 0 ? 1 : 0;
}

int replace(const char* source, const char* target) { return std::rename(source, target) == 0 ? 1 : 0; }

int attributes(const char* path, unsigned* attributes) {
    struct stat st;
    if (::stat(path, &st) != 0) return 0;
    unsigned a = S_ISDIR(st.st_mode) ? FS_ATTR_DIRECTORY : S_ISREG(st.st_mode) ? 0u : FS_ATTR_SYSTEM;
    if (!(st.st_mode & S_IWUSR)) a |= FS_ATTR_READONLY;
    *attributes = a ? a : FS_ATTR_NORMAL;
    return 1;
}

void* list_open(const char* folder) {
    DIR* d = opendir(folder);
    if (!d) return nullptr;
    return new Listing{d, folder};
}

int list_next(void* listing, FsEntry* e) {
    auto* l = static_cast<Listing*>(listing);
    while (struct dirent* d = readdir(l->dir)) {
        const char* name = d->d_name;
        bool dots = !strcmp(name, ".") || !strcmp(name, "..");
        unsigned a = 0;
        if (dots) {
            a = FS_ATTR_DIRECTORY;
        } else {
            struct stat st;
            if (lstat(FsEntryPath(l->folder, name).c_str(), &st) != 0) continue; // gone meanwhile
            if (S_ISDIR(st.st_mode)) a = FS_ATTR_DIRECTORY;
            else if (!S_ISREG(st.st_mode)) a = FS_ATTR_SYSTEM | (S_ISLNK(st.st_mode) ? FS_ATTR_LINK : 0u);
            if (!(st.st_mode & S_IWUSR)) a |= FS_ATTR_READONLY;
            if (name[0] == '.') a |= FS_ATTR_HIDDEN;
            if (!a) a = FS_ATTR_NORMAL;
        }
        e->name = name;
        e->attributes = a;
        return 1;
    }
    return 0;
}

void list_close(void* listing) {
    auto* l = static_cast<Listing*>(listing);
    closedir(l->dir);
    delete l;
}

bool name_taken(int error) { return error == EEXIST || error == EACCES || error == EISDIR; }

unsigned process_tag() { return static_cast<unsigned>(::getpid()); }

} // namespace fs_os
