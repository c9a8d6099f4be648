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
#include "opsys/platform_internal.h"
#include "opsys/strlib.h"

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

int DirExists(const char* p) {
    char tmp[QW_PATH_BUF];
    if (!p) return 0;
    StrQuote(tmp, sizeof tmp, p, 0);
    struct stat st;
    return usable(tmp) && stat(tmp, &st) == 0 && S_ISDIR(st.st_mode);
}

int DriveIsReady(const char*, unsigned*) { return -1; }

int FileIsDevice(const char* p) {
    struct stat st;
    return usable(p) && stat(p, &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
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

namespace qw_platform {

// Without a locale service the host build writes US-English forms.
static int file_strftime(char* dst, int size, uint64_t file_time, const char* format) {
    if (!dst || size <= 0) return 0;
    time_t t = static_cast<time_t>(file_time / 10000000ull - 11644473600ull);
    struct tm tmv;
    if (!localtime_r(&t, &tmv)) return 0;
    return static_cast<int>(strftime(dst, static_cast<size_t>(size), format, &tmv));
}

int file_date_text(char* dst, int size, uint64_t file_time, int short_form) {
    return file_strftime(dst, size, file_time, short_form ? "%m/%d/%Y" : "%A, %B %d, %Y");
}

int file_time_text(char* dst, int size, uint64_t file_time, int hours24) {
    return file_strftime(dst, size, file_time, hours24 ? "%H:%M:%S" : "%I:%M:%S %p");
}

bool make_dir(const char* path) { return mkdir(path, 0755) == 0 || DirExists(path); }

unsigned file_error(int system_error) { return map_errno(system_error); }

} // namespace qw_platform

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
