// The disk file over a Win32 handle and the file exception's report.
#include "framework/fwfile.h"

#include <windows.h>


namespace fw {

namespace {

DWORD AccessOf(unsigned flags) {
    switch (flags & 0x3) {
    case File::kWrite: return GENERIC_WRITE;
    case File::kReadWrite: return GENERIC_READ | GENERIC_WRITE;
    default: return GENERIC_READ;
    }
}

DWORD ShareOf(unsigned flags) {
    switch (flags & 0x70) {
    case File::kShareExclusive: return 0;
    case File::kShareDenyWrite: return FILE_SHARE_READ;
    case File::kShareDenyRead: return FILE_SHARE_WRITE;
    // Compatibility mode is not a thing of handles: it shares like deny-none
    // without deletion, the closest of what CreateFile offers.
    case File::kShareCompat: return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default: return FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    }
}

DWORD CreationOf(unsigned flags) {
    if (flags & File::kCreate) return (flags & File::kNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    return OPEN_EXISTING;
}

} // namespace

// ---- FileException ----

FileException::FileException(int c, long err, std::string name)
    : cause(c), os_error(err), file_name(std::move(name)) {}

int FileException::CauseFromOsError(long err) {
    switch (err) {
    case NO_ERROR: return kNone;
    case ERROR_FILE_NOT_FOUND: return kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_FILENAME_EXCED_RANGE: return kBadPath;
    case ERROR_TOO_MANY_OPEN_FILES: return kTooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return kAccessDenied;
    case ERROR_INVALID_HANDLE:
    case ERROR_INVALID_ACCESS: return kInvalidFile;
    case ERROR_NO_MORE_FILES:
    case ERROR_CANNOT_MAKE: return kDirectoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SECTOR_NOT_FOUND: return kBadSeek;
    case ERROR_BAD_UNIT:
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE: return kHardIO;
    case ERROR_SHARING_VIOLATION:
    case ERROR_SHARING_BUFFER_EXCEEDED: return kSharingViolation;
    case ERROR_LOCK_VIOLATION:
    case ERROR_DRIVE_LOCKED:
    case ERROR_LOCK_FAILED: return kLockViolation;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return kDiskFull;
    case ERROR_HANDLE_EOF: return kEndOfFile;
    default: return kGeneric;
    }
}

// ---- File ----

File::File() = default;

File::File(const std::string& path, unsigned flags) {
    FileException error;
    if (!Open(path, flags, &error)) throw error;
}

File::~File() {
    if (handle_) CloseHandle(handle_);
}

bool File::Open(const std::string& path, unsigned flags, FileException* error) {
    if (handle_) {
        if (error) *error = FileException(FileException::kGeneric, ERROR_ALREADY_EXISTS, path);
        return false;
    }
    path_ = path;
    SECURITY_ATTRIBUTES sa{};
    sa.nLength = sizeof sa;
    sa.bInheritHandle = (flags & kNoInherit) ? FALSE : TRUE;
    HANDLE h = CreateFileA(path.c_str(), AccessOf(flags), ShareOf(flags), &sa, CreationOf(flags),
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD err = GetLastError();
        if (error)
            *error = FileException(FileException::CauseFromOsError(static_cast<long>(err)),
                                   static_cast<long>(err), path);
        return false;
    }
    handle_ = h;
    return true;
}

void File::ThrowOsError(long err) const {
    throw FileException(FileException::CauseFromOsError(err), err, path_);
}

void File::Close() {
    if (!handle_) return;
    HANDLE h = handle_;
    handle_ = nullptr;
    if (!CloseHandle(h)) ThrowOsError(static_cast<long>(GetLastError()));
}

void File::Abort() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
}

size_t File::Read(void* buf, size_t n) {
    if (!handle_) throw FileException(FileException::kInvalidFile, -1, path_);
    size_t total = 0;
    auto* p = static_cast<char*>(buf);
    while (total < n) {
        DWORD chunk = static_cast<DWORD>(n - total > 0x40000000 ? 0x40000000 : n - total);
        DWORD got = 0;
        if (!ReadFile(handle_, p + total, chunk, &got, nullptr))
            ThrowOsError(static_cast<long>(GetLastError()));
        total += got;
        if (got < chunk) break;
    }
    return total;
}

void File::Write(const void* buf, size_t n) {
    if (!handle_) throw FileException(FileException::kInvalidFile, -1, path_);
    size_t total = 0;
    auto* p = static_cast<const char*>(buf);
    while (total < n) {
        DWORD chunk = static_cast<DWORD>(n - total > 0x40000000 ? 0x40000000 : n - total);
        DWORD put = 0;
        if (!WriteFile(handle_, p + total, chunk, &put, nullptr))
            ThrowOsError(static_cast<long>(GetLastError()));
        // A short write without an error is a full disk.
        if (put < chunk) throw FileException(FileException::kDiskFull, ERROR_DISK_FULL, path_);
        total += put;
    }
}

uint64_t File::Seek(int64_t offset, SeekFrom from) {
    if (!handle_) throw FileException(FileException::kInvalidFile, -1, path_);
    LARGE_INTEGER dist, pos;
    dist.QuadPart = offset;
    DWORD method = from == kBegin ? FILE_BEGIN : from == kCurrent ? FILE_CURRENT : FILE_END;
    if (!SetFilePointerEx(handle_, dist, &pos, method)) {
        DWORD err = GetLastError();
        throw FileException(FileException::kBadSeek, static_cast<long>(err), path_);
    }
    return static_cast<uint64_t>(pos.QuadPart);
}

uint64_t File::GetPosition() const {
    if (!handle_) throw FileException(FileException::kInvalidFile, -1, path_);
    LARGE_INTEGER zero{}, pos;
    if (!SetFilePointerEx(handle_, zero, &pos, FILE_CURRENT))
        ThrowOsError(static_cast<long>(GetLastError()));
    return static_cast<uint64_t>(pos.QuadPart);
}

uint64_t File::GetLength() const {
    if (!handle_) throw FileException(FileException::kInvalidFile, -1, path_);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) ThrowOsError(static_cast<long>(GetLastError()));
    return static_cast<uint64_t>(size.QuadPart);
}

void File::SetLength(uint64_t length) {
    uint64_t keep = GetPosition();
    Seek(static_cast<int64_t>(length), kBegin);
    if (!SetEndOfFile(handle_)) ThrowOsError(static_cast<long>(GetLastError()));
    if (keep < length) Seek(static_cast<int64_t>(keep), kBegin);
}

void File::Flush() {
    if (handle_ && !FlushFileBuffers(handle_)) ThrowOsError(static_cast<long>(GetLastError()));
}

} // namespace fw
