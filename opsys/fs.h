#pragma once
// The core's one way to the file system: opening, reading, writing and
// seeking files, listing a folder, finding a free name beside a file,
// replacing a file in one step, and attributes. fs_win32.cpp and
// fs_posix.cpp are its two sides; fs.cpp holds what both share, among it
// the fault table through which tests make the disk fail (full, short
// reads, locked and read-only files) without touching a real one.
//
// Every call reports failure by its value; an `error` out-argument receives
// the system's error number (0 when unknown).
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

// Access and share bits of FsOpen (the framework's open flags).
enum : uint32_t {
    FS_READ = 0x0,
    FS_WRITE = 0x1,
    FS_READWRITE = 0x2,
    FS_SHARE_EXCLUSIVE = 0x10,
    FS_SHARE_DENY_WRITE = 0x20,
    FS_SHARE_DENY_READ = 0x30,
    FS_SHARE_DENY_NONE = 0x40,
    FS_CREATE = 0x1000,
    FS_NO_TRUNCATE = 0x2000,
    FS_FAIL_IF_EXISTS = 0x10000000, // with FS_CREATE
    FS_AT_END = 0x20000000,
    FS_APPEND = 0x40000000, // with FS_WRITE: every write goes to the end, even beside other writers
};

// Attribute bits of FsAttributes and of listed entries (the platform's
// values, as QW_ATTR_* of opsys/files.h).
enum : unsigned {
    FS_ATTR_READONLY = 0x1,
    FS_ATTR_HIDDEN = 0x2,
    FS_ATTR_SYSTEM = 0x4,
    FS_ATTR_VOLUME = 0x8,
    FS_ATTR_DIRECTORY = 0x10,
    FS_ATTR_NORMAL = 0x80,
    FS_ATTR_LINK = 0x400, // a link or junction: a folder behind it may lead round in a circle
};

// The system's error numbers the fault table reports.
extern const int FS_ERR_ACCESS_DENIED; // a read-only file
extern const int FS_ERR_LOCKED;        // a file another program holds

// A file: null when it cannot be opened.
void* FsOpen(const char* path, uint32_t access, int* error);
// Bytes transferred (possibly fewer than asked), -1 on an error.
int32_t FsRead(void* file, void* buf, uint32_t n);
int32_t FsWrite(void* file, const void* buf, uint32_t n);
// All n bytes, going on after short writes. 1, or 0 when one failed.
int FsWriteAll(void* file, const void* buf, size_t n);
// origin as fseek; the new absolute offset goes to *pos. 1 on success.
int FsSeek(void* file, int64_t offset, int origin, int64_t* pos);
// Waits until what was written has reached the disk. 1 on success.
int FsFlush(void* file);
int FsClose(void* file); // 1 on success
int FsRemove(const char* path); // 1 on success
// 1 on success; never replaces: fails when `to` exists.
int FsRename(const char* from, const char* to);
// Puts `source` in the place of `target` (which may not exist) in one step:
// a reader sees the old file or the new one, never neither. 1 on success.
int FsReplace(const char* source, const char* target);
int FsExists(const char* path); // 1 when a file (not a folder) is there
// 1 with the attribute bits in *attributes, 0 when nothing is there.
int FsAttributes(const char* path, unsigned* attributes);

// A folder's entries, "." and ".." among them (as folders). Hidden entries
// (on the host: names beginning with a dot) carry FS_ATTR_HIDDEN; anything
// not a plain file or folder (a link, a device) carries FS_ATTR_SYSTEM.
struct FsEntry {
    const char* name; // valid until the next call on the listing
    unsigned attributes;
};
// Null when the folder cannot be read.
void* FsListOpen(const char* folder);
int FsListNext(void* listing, FsEntry* entry); // 1, or 0 after the last
void FsListClose(void* listing);
// `name` inside `folder`, joined with this platform's separator.
std::string FsEntryPath(const std::string& folder, const char* name);

// Finds a free name: asks `make` for candidates (attempt 0, 1, ...; make
// returns 0 when it cannot form one) and takes the first that no file or
// folder has; with `create` the file is made there exclusively, so that no
// other program can take the name meanwhile. At most `tries` candidates;
// only a taken name is worth another. 1 with the name in out (size bytes),
// 0 with *error set.
using FsNameMaker = int (*)(void* ctx, unsigned attempt, char* out, size_t size);
int FsUniqueName(FsNameMaker make, void* ctx, int tries, int create, char* out, size_t size,
                 int* error);
// A random number for a name (shared by every caller, so that names made in
// the same second still differ).
unsigned FsRandom();
// A small number that differs between processes.
unsigned FsProcessTag();

// The fault table: while one is installed every call above consults it.
struct FsFaults {
    int64_t write_budget = -1;  // bytes still writable (then writes fail); -1 = unlimited
    // The next file written to takes only this many bytes (then its writes
    // fail); the files after it are not affected. -1 = off.
    int64_t next_file_budget = -1;
    int32_t short_read_at = -1; // reads after this many find the file ended early
    int reads = 0;
    int writes = 0;
    std::set<std::string> locked;   // open, remove, rename and replace fail
    // Opening to write or create, removing and replacing fail: a read-only
    // file, or a place where no file can be made.
    std::set<std::string> readonly;
    // The file next_file_budget took, and what it may still take.
    void* budget_file = nullptr;
    int64_t file_budget = 0;
};
// Installs a table (null: none); returns the previous one.
FsFaults* FsSetFaults(FsFaults* faults);
