// The POSIX side of the file services, for the host build of the core.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "opsys/files.h"
#include "opsys/strlib.h"

struct QwFile {
    int fd;
};

namespace {

unsigned map_errno(int e) {
    switch (e) {
    case ENOENT: return QW_ERR_FILE_NOT_FOUND;
    case ENOTDIR: return QW_ERR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return QW_ERR_ACCESS_DENIED;
    case EEXIST: return QW_ERR_FILE_EXISTS;
    case ENAMETOOLONG: return QW_ERR_FILENAME_TOO_LONG;
    default: return static_cast<unsigned>(e);
    }
}

bool usable(const char* p) { return p && *p && PathCheck(p) != 1; }

// Seconds since 1970 to 100 ns since 1601.
uint64_t to_file_time(const struct timespec& ts) {
    return (static_cast<uint64_t>(ts.tv_sec) + 11644473600ull) * 10000000ull +
           static_cast<uint64_t>(ts.tv_nsec) / 100u;
}

} // namespace

int FileExists(const char* p) {
    struct stat st;
    return usable(p) && stat(p, &st) == 0 && !S_ISDIR(st.st_mode);
}

int FileExistsEx(const char* p, int absolute, char* found) {
    if (found) found[0] = '\0';
    char full[QW_PATH_BUF];
    if (!p) return 0;
    if (absolute) {
        if (!PathFullName(full, p)) return 0;
    } else if (strlen(p) > QW_PATH_MAX) {
        return 0;
    } else {
        strcpy(full, p);
    }
    if (!FileExists(full)) return 0;
    if (found) strcpy(found, full);
    return 1;
}

int DirExists(const char* p) {
    char tmp[QW_PATH_BUF];
    if (!p) return 0;
    StrQuote(tmp, sizeof tmp, p, 0);
    struct stat st;
    return usable(tmp) && stat(tmp, &st) == 0 && S_ISDIR(st.st_mode);
}

int DriveIsReady(const char*, unsigned*) { return -1; }

int FileIsReadOnly(const char* p) {
    struct stat st;
    if (!usable(p) || stat(p, &st) != 0) return -1;
    return (st.st_mode & S_IWUSR) ? 0 : 1;
}

int FileIsDevice(const char* p) {
    struct stat st;
    return usable(p) && stat(p, &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

int FileDelete(const char* p) { return usable(p) && unlink(p) == 0; }

int FileMove(const char* from, const char* to) {
    if (!usable(from) || !usable(to)) return 0;
    struct stat st;
    if (stat(to, &st) == 0) return 0;   // never replaces, as on Windows
    return rename(from, to) == 0;
}

int FileGetInfo(const char* p, QwFileInfo* info, char* path_out) {
    if (path_out) path_out[0] = '\0';
    struct stat st;
    if (!usable(p) || stat(p, &st) != 0 || S_ISDIR(st.st_mode)) return 0;
    if (info) {
        info->attributes = (st.st_mode & S_IWUSR) ? QW_ATTR_NORMAL : QW_ATTR_READONLY;
        info->write_time = to_file_time(st.st_mtim);
        info->size = static_cast<uint32_t>(st.st_size);
    }
    if (path_out && !PathFullName(path_out, p)) path_out[0] = '\0';
    return 1;
}

int FileTimeText(char* dst, int size, const char* path, unsigned flags) {
    if (!dst || size <= 0) return 0;
    dst[0] = '\0';
    QwFileInfo info{};
    if (!FileGetInfo(path, &info, nullptr)) return 0;
    char buf[128];
    if (flags & 0x10) {
        snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(info.write_time));
    } else if (flags & 0x20) {
        snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(info.write_time));
    } else {
        time_t t = static_cast<time_t>(info.write_time / 10000000ull - 11644473600ull);
        struct tm tmv;
        localtime_r(&t, &tmv);
        buf[0] = '\0';
        if (flags & 0x1) strftime(buf, sizeof buf, (flags & 0x4) ? "%A, %B %d, %Y" : "%m/%d/%Y", &tmv);
        if (flags & 0x2) {
            size_t n = strlen(buf);
            strftime(buf + n, sizeof buf - n, (flags & 0x8) ? ", %H:%M:%S" : ", %I:%M:%S %p", &tmv);
        }
    }
    CopyStringBounded(dst, buf, static_cast<size_t>(size) - 1);
    return static_cast<int>(strlen(dst));
}

int AppFolderCreate(const char* path, int with_parents) {
    char tmp[QW_PATH_BUF];
    if (!usable(path)) return 0;
    strcpy(tmp, path);
    PathStripTrailingSep(tmp);
    if (DirExists(tmp)) return 1;
    if (with_parents) {
        for (char* q = tmp + 1; *q; ++q) {
            if (*q != '/') continue;
            *q = '\0';
            if (!DirExists(tmp) && mkdir(tmp, 0755) != 0 && errno != EEXIST) return 0;
            *q = '/';
        }
    }
    return mkdir(tmp, 0755) == 0 || DirExists(tmp);
}

QwFile* FileOpen(const char* p, unsigned flags, unsigned* error) {
    if (error) *error = QW_ERR_NONE;
    if (!usable(p)) {
        if (error) *error = p && *p ? QW_ERR_FILENAME_TOO_LONG : QW_ERR_FILE_NOT_FOUND;
        return nullptr;
    }
    int mode = (flags & 0x3) == QW_OPEN_WRITE ? O_WRONLY : (flags & 0x3) == QW_OPEN_READWRITE ? O_RDWR : O_RDONLY;
    if (flags & QW_OPEN_CREATE) {
        mode |= O_CREAT;
        if ((flags & QW_OPEN_NEW_ONLY)) mode |= O_EXCL;
        else if (!(flags & QW_OPEN_NO_TRUNCATE)) mode |= O_TRUNC;
    }
    int fd = open(p, mode | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = map_errno(errno);
        return nullptr;
    }
    if (flags & QW_OPEN_AT_END) lseek(fd, 0, SEEK_END);
    return new QwFile{fd};
}

int FileCreateExclusive(const char* p, unsigned flags, unsigned* error) {
    unsigned err = QW_ERR_NONE;
    QwFile* f = FileOpen(p, (flags & ~0x3u) | QW_OPEN_READWRITE | QW_OPEN_CREATE | QW_OPEN_NEW_ONLY |
                                QW_OPEN_SHARE_EXCLUSIVE, &err);
    if (error) *error = err;
    if (!f) return 0;
    FileClose(f);
    return 1;
}

long FileRead(QwFile* f, void* buf, unsigned n) {
    if (!f || (!buf && n)) return -1;
    ssize_t r = read(f->fd, buf, n);
    return r < 0 ? -1 : static_cast<long>(r);
}

long FileWrite(QwFile* f, const void* buf, unsigned n) {
    if (!f || (!buf && n)) return -1;
    ssize_t r = write(f->fd, buf, n);
    return r < 0 ? -1 : static_cast<long>(r);
}

void FileClose(QwFile* f) {
    if (!f) return;
    close(f->fd);
    delete f;
}

int CurrentDirGet(char* dst) {
    if (!dst) return 0;
    if (!getcwd(dst, QW_PATH_BUF)) {
        dst[0] = '\0';
        return 0;
    }
    return 1;
}

int CurrentDirSet(const char* p) { return usable(p) && chdir(p) == 0; }

int PathFullName(char* dst, const char* p) {
    if (!dst) return 0;
    char unq[QW_PATH_BUF * 2];
    StrQuote(unq, sizeof unq, p ? p : "", 0);
    char cur[QW_PATH_BUF];
    char out[QW_PATH_BUF];
    if (strlen(unq) <= QW_PATH_MAX && CurrentDirGet(cur)) {
        if (unq[0] == '/') {
            strcpy(out, unq);
            if (PathCanonicalize(out) && strlen(out) < QW_PATH_MAX) {
                strcpy(dst, out);
                return 1;
            }
        } else if (PathMakeAbsolute(out, cur, unq) && strlen(out) < QW_PATH_MAX) {
            strcpy(dst, out);
            return 1;
        }
    }
    CopyStringBounded(dst, unq, QW_PATH_MAX);
    return 0;
}
