#pragma once
// Files, folders and drives: existence and attribute tests, times and sizes,
// unique names, opening and reading, a file finder, drives and the current
// directory. Paths are texts of at most QW_PATH_MAX characters (opsys/paths.h).
// Failures are 0, null or -1 without a message unless said otherwise.
#include <cstdint>

#include "opsys/fs.h"
#include "opsys/paths.h"

// File attributes (the platform's values, those of the file-system seam).
enum : unsigned {
    QW_ATTR_READONLY = FS_ATTR_READONLY,
    QW_ATTR_HIDDEN = FS_ATTR_HIDDEN,
    QW_ATTR_SYSTEM = FS_ATTR_SYSTEM,
    QW_ATTR_VOLUME = FS_ATTR_VOLUME,
    QW_ATTR_DIRECTORY = FS_ATTR_DIRECTORY,
    QW_ATTR_NORMAL = FS_ATTR_NORMAL,
};

// Open flags of FileOpen (the framework's file-open values, those of the
// file-system seam).
enum : unsigned {
    QW_OPEN_READ = FS_READ,
    QW_OPEN_WRITE = FS_WRITE,
    QW_OPEN_READWRITE = FS_READWRITE,
    QW_OPEN_SHARE_EXCLUSIVE = FS_SHARE_EXCLUSIVE,
    QW_OPEN_SHARE_DENY_WRITE = FS_SHARE_DENY_WRITE,
    QW_OPEN_SHARE_DENY_READ = FS_SHARE_DENY_READ,
    QW_OPEN_SHARE_DENY_NONE = FS_SHARE_DENY_NONE,
    QW_OPEN_CREATE = FS_CREATE,
    QW_OPEN_NO_TRUNCATE = FS_NO_TRUNCATE,
    QW_OPEN_MASK = 0x3073,
    QW_OPEN_NO_ERROR_BOX = 0x10000,          // FileCreateExclusive: report nothing
    QW_OPEN_NEW_ONLY = FS_FAIL_IF_EXISTS,    // with QW_OPEN_CREATE: fail when the file exists
    QW_OPEN_AT_END = FS_AT_END,              // move to the end after opening
};

// Error codes given back through the error out-arguments (the platform's).
enum : unsigned {
    QW_ERR_NONE = 0,
    QW_ERR_FILE_NOT_FOUND = 2,
    QW_ERR_PATH_NOT_FOUND = 3,
    QW_ERR_ACCESS_DENIED = 5,
    QW_ERR_FILE_EXISTS = 80,
    QW_ERR_FILENAME_TOO_LONG = 206,
};

struct QwFileInfo {
    unsigned attributes;
    uint64_t write_time;   // last write, local time (100 ns since 1601)
    uint32_t size;         // low 32 bits
};

int FileExists(const char* p);
// With absolute the path is made absolute first; found receives the entry's
// full path (QW_PATH_BUF) when given.
int FileExistsEx(const char* p, int absolute, char* found);
int DirExists(const char* p);
// -1 when p does not begin with a drive letter and colon; 0 when the drive is
// missing; 1 (and the drive's type in *type) when present.
int DriveIsReady(const char* p, unsigned* type);
int FileIsReadOnly(const char* p);
int FileIsDevice(const char* p);
int FileDelete(const char* p);
int FileMove(const char* from, const char* to);
// -1, 0, 1 by last-write time; -2 when a is missing, -3 when b is missing.
int FileCompareTimes(const char* a, const char* b);
int FileGetInfo(const char* p, QwFileInfo* info, char* path_out);
// Flags: 0x10 raw time in decimal, 0x20 in hex; else 0x1 the date (long
// form with 0x4), 0x2 ", " and the time (24-hour with 0x8). Length, 0 when missing.
int FileTimeText(char* dst, int size, const char* path, unsigned flags);
// Creates a folder with its missing parents; nonzero on success.
int AppFolderCreate(const char* path, int with_parents);

// A file opened by FileOpen.
struct QwFile;
QwFile* FileOpen(const char* p, unsigned flags, unsigned* error);
int FileCreateExclusive(const char* p, unsigned flags, unsigned* error);
// Bytes read, -1 on failure.
long FileRead(QwFile* f, void* buf, unsigned n);
long FileWrite(QwFile* f, const void* buf, unsigned n);
void FileClose(QwFile* f);
// Up to 2000 tries: the extension becomes a random number 0-254 in
// hexadecimal and the file is created exclusively. 1 on success (path holds
// the name), 0 on failure.
int FileUniqueName(char* path, unsigned open_flags, unsigned* error);
// The same, stopping at the first name that does not exist (no file made).
int FileUniqueExtension(char* path, int tries);

// Current directory (QW_PATH_BUF); nonzero on success.
int CurrentDirGet(char* dst);
int CurrentDirSet(const char* p);

#ifdef _WIN32
// File finder: mode 0 finished, 1 first call next, 2 continues.
struct QwFileFinder;
enum : unsigned { QW_FIND_ONE_SHOT = 0x1 };
// With no finder, starts a search for pattern; with one, the next entry.
// The finder, or null when there are no more entries (the finder is freed).
// Entries with hidden, system, volume or folder attributes not in mask are skipped.
QwFileFinder* FileFind(unsigned flags, unsigned* attributes, QwFileFinder* finder,
                       const char* pattern, unsigned mask);
char* FileFindName(QwFileFinder* finder, char* dst);
char* FileFindPath(QwFileFinder* finder, char* dst);
void FileFindInfo(QwFileFinder* finder, QwFileInfo* info);
void FileFindClose(QwFileFinder* finder);

int PathFullNameTrueCase(char* dst, const char* p);
// Long form of src into dst (size bytes): its length, the size needed when
// it does not fit, 0 on failure.
unsigned PathLongName(const char* src, char* dst, unsigned size);
int PathShortName(char* dst, const char* src);

// System small-icon index of a file type (cached per extension); no path
// empties the cache. The icon handle goes to *icon when asked.
int FileGetIcon(const char* p, void** icon = nullptr);
int WindowsDirIcon(int open);

int ShellCopyFiles(const char* from, const char* to, int show_progress);
int ShellCopyFilesEx(const char* dest_folder, const char* new_ext, const char* pattern,
                     int show_progress);

// Copy, move, delete and rename through the shell, with lists of sources
// and destinations.
class ShellFileOperation {
public:
    enum { Move = 1, Copy = 2, Delete = 3, Rename = 4 };
    ShellFileOperation();
    ~ShellFileOperation();
    ShellFileOperation(const ShellFileOperation&) = delete;
    ShellFileOperation& operator=(const ShellFileOperation&) = delete;

    void Setup(int operation, void* owner, int silent, int allow_undo, int files_only,
               int no_confirmation, int no_confirm_mkdir, int rename_on_collision,
               int simple_progress);
    void SetupFlags(int operation, void* owner, unsigned flags);
    void AddSource(const char* p);
    void AddDestination(const char* p);
    void SetProgressTitle(const char* t);
    // Nonzero when the operation ran and succeeded; *started, *result (the
    // shell's) and *aborted when given.
    int Execute(int* started, int* result, int* aborted);
    void Reset();

private:
    struct Impl;
    Impl* impl_;
};
#endif
