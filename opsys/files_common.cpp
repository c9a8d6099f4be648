// File services built on the platform side of files_win32.cpp / files_posix.cpp.
#include <cstdio>
#include <cstring>

#include "opsys/files.h"
#include "opsys/fs.h"
#include "opsys/msgout.h"
#include "opsys/platform_internal.h"
#include "opsys/strlib.h"

namespace {

// `original` with a random number 0-254 in hexadecimal as its extension.
int RandomExtension(void* original, unsigned, char* out, size_t size) {
    if (size < QW_PATH_BUF) return 0;
    char ext[8];
    UIntToStr(FsRandom() % 255u, ext, sizeof ext, 16);
    strcpy(out, static_cast<const char*>(original));
    return PathSetExtension(out, ext) != 0;
}

bool usable(const char* p) { return p && *p && PathCheck(p) != 1; }
} // namespace

int FileIsReadOnly(const char* p) {
    unsigned a = 0;
    if (!usable(p) || !FsAttributes(p, &a)) return -1;
    return (a & QW_ATTR_READONLY) ? 1 : 0;
}

int FileDelete(const char* p) { return usable(p) && FsRemove(p); }

// Never replaces: fails when `to` exists.
int FileMove(const char* from, const char* to) { return usable(from) && usable(to) && FsRename(from, to); }

// A file of FileOpen: one of the file-system seam.
struct QwFile {
    void* file;
};

QwFile* FileOpen(const char* p, unsigned flags, unsigned* error) {
    if (error) *error = QW_ERR_NONE;
    if (!usable(p)) {
        if (error) *error = p && *p ? QW_ERR_FILENAME_TOO_LONG : QW_ERR_FILE_NOT_FOUND;
        return nullptr;
    }
    int err = 0;
    void* f = FsOpen(p, flags & (QW_OPEN_MASK | QW_OPEN_NEW_ONLY | QW_OPEN_AT_END), &err);
    if (!f) {
        if (error) *error = qw_platform::file_error(err);
        return nullptr;
    }
    return new QwFile{f};
}

long FileRead(QwFile* f, void* buf, unsigned n) {
    if (!f || (!buf && n)) return -1;
    return FsRead(f->file, buf, n);
}

long FileWrite(QwFile* f, const void* buf, unsigned n) {
    if (!f || (!buf && n)) return -1;
    return FsWrite(f->file, buf, n);
}

void FileClose(QwFile* f) {
    if (!f) return;
    FsClose(f->file);
    delete f;
}

int FileExistsEx(const char* p, int absolute, char* found) {
    if (found) found[0] = '\0';
    char full[QW_PATH_BUF];
    if (!p) return 0;
    if (absolute) {
        if (!PathFullName(full, p)) return 0;
    } else {
        if (strlen(p) > QW_PATH_MAX) return 0;
        strcpy(full, p);
    }
    return FileGetInfo(full, nullptr, found);
}

int FileTimeText(char* dst, int size, const char* path, unsigned flags) {
    if (!dst || size <= 0) return 0;
    dst[0] = '\0';
    QwFileInfo info{};
    if (!FileGetInfo(path, &info, nullptr)) return 0;
    char buf[160];
    buf[0] = '\0';
    if (flags & 0x10) {
        snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(info.write_time));
    } else if (flags & 0x20) {
        snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(info.write_time));
    } else {
        if (flags & 0x1) qw_platform::file_date_text(buf, sizeof buf, info.write_time, !(flags & 0x4));
        if (flags & 0x2) {
            size_t n = strlen(buf);
            if (n + 3 < sizeof buf) {
                strcpy(buf + n, ", ");
                qw_platform::file_time_text(buf + n + 2, static_cast<int>(sizeof buf - n - 2),
                                            info.write_time, (flags & 0x8) != 0);
            }
        }
    }
    CopyStringBounded(dst, buf, static_cast<size_t>(size) - 1);
    return static_cast<int>(strlen(dst));
}

int AppFolderCreate(const char* path, int with_parents) {
    char tmp[QW_PATH_BUF * 2];
    if (!usable(path)) return 0;
    StrQuote(tmp, sizeof tmp, path, 0);
    tmp[QW_PATH_MAX] = '\0';
    PathStripTrailingSep(tmp);
    if (DirExists(tmp)) return 1;
    if (with_parents) {
        // create each missing folder after the root, in order
        char root[QW_PATH_BUF];
        size_t start = 0;
        if (PathGetRoot(root, tmp, 0, nullptr)) start = strlen(root);
        for (size_t i = start + 1; tmp[i]; ++i) {
            if (!PathIsSep(tmp[i])) continue;
            char c = tmp[i];
            tmp[i] = '\0';
            bool made = DirExists(tmp) || qw_platform::make_dir(tmp);
            tmp[i] = c;
            if (!made) return 0;
        }
    }
    return qw_platform::make_dir(tmp);
}

int FileCreateExclusive(const char* p, unsigned flags, unsigned* error) {
    unsigned err = QW_ERR_NONE;
    // A new file only: "exclusive" must never mean truncating someone's file.
    QwFile* f = FileOpen(p, (flags & ~0x73u) | QW_OPEN_READWRITE | QW_OPEN_SHARE_EXCLUSIVE | QW_OPEN_CREATE |
                                QW_OPEN_NEW_ONLY, &err);
    if (error) *error = err;
    if (!f) {
        if (!(flags & QW_OPEN_NO_ERROR_BOX))
            MsgOut(QW_MSG_BOX, "Cannot create the file %s (error %u).", p ? p : "", err);
        return 0;
    }
    FileClose(f);
    return 1;
}

int FileCompareTimes(const char* a, const char* b) {
    QwFileInfo ia{}, ib{};
    if (!FileGetInfo(a, &ia, nullptr)) return -2;
    if (!FileGetInfo(b, &ib, nullptr)) return -3;
    if (ia.write_time < ib.write_time) return -1;
    return ia.write_time > ib.write_time ? 1 : 0;
}

int FileUniqueName(char* path, unsigned open_flags, unsigned* error) {
    (void)open_flags; // the file is made for reading and writing, shared with nobody
    if (error) *error = QW_ERR_NONE;
    if (!path || PathCheck(path) == 1) {
        if (error) *error = QW_ERR_FILENAME_TOO_LONG;
        return 0;
    }
    char original[QW_PATH_BUF];
    strcpy(original, path);
    int err = 0;
    if (FsUniqueName(RandomExtension, original, 2000, 1, path, QW_PATH_BUF, &err)) return 1;
    strcpy(path, original);
    // No name could be formed at all: the path leaves no room for an extension.
    if (error) *error = err ? static_cast<unsigned>(err) : QW_ERR_FILENAME_TOO_LONG;
    return 0;
}

int FileUniqueExtension(char* path, int tries) {
    if (!path || PathCheck(path) == 1) return 0;
    char original[QW_PATH_BUF];
    strcpy(original, path);
    if (FsUniqueName(RandomExtension, original, tries, 0, path, QW_PATH_BUF, nullptr)) return 1;
    strcpy(path, original);
    return 0;
}
