// The disk file over a POSIX descriptor (host build). Sharing flags are not
// enforced here: POSIX has no mandatory share modes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "framework/fwfile.h"

namespace fw {

namespace {
// The handle slot holds the descriptor + 1, so that null means closed.
int Fd(void* h) { return static_cast<int>(reinterpret_cast<intptr_t>(h)) - 1; }
void* Slot(int fd) { return reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1); }
} // namespace

FileException::FileException(int c, long err, std::string name)
    : cause(c), os_error(err), file_name(std::move(name)) {}

int FileException::CauseFromOsError(long err) {
    switch (err) {
    case 0: return kNone;
    case ENOENT: return kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return kBadPath;
    case EMFILE:
    case ENFILE: return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case EEXIST: return kAccessDenied;
    case EBADF: return kInvalidFile;
    case ESPIPE:
    case EINVAL: return kBadSeek;
    case EIO: return kHardIO;
    case EBUSY:
    case ETXTBSY: return kSharingViolation;
    case ENOLCK: return kLockViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kDiskFull;
    default: return kGeneric;
    }
}

File::File() = default;

File::File(const std::string& path, unsigned flags) {
    FileException error;
    if (!Open(path, flags, &error)) throw error;
}

File::~File() {
    if (handle_) ::close(Fd(handle_));
}

bool File::Open(const std::string& path, unsigned flags, FileException* error) {
    if (handle_) {
        if (error) *error = FileException(FileException::kGeneric, EBUSY, path);
        return false;
    }
    path_ = path;
    int mode = (flags & 0x3) == kWrite ? O_WRONLY : (flags & 0x3) == kReadWrite ? O_RDWR : O_RDONLY;
    if (flags & kCreate) mode |= O_CREAT | ((flags & kNoTruncate) ? 0 : O_TRUNC);
    if (flags & kNoInherit) mode |= O_CLOEXEC;
    int fd = ::open(path.c_str(), mode, 0666);
    if (fd < 0) {
        long err = errno;
        int cause = FileException::CauseFromOsError(err);
        // As on Windows, a missing folder is a bad path, not a missing file.
        if (err == ENOENT) {
            size_t slash = path.find_last_of('/');
            std::string folder = slash == std::string::npos ? "." : path.substr(0, slash ? slash : 1);
            struct stat st;
            if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) cause = FileException::kBadPath;
        }
        if (error) *error = FileException(cause, err, path);
        return false;
    }
    handle_ = Slot(fd);
    return true;
}

void File::ThrowOsError(long err) const {
    throw FileException(FileException::CauseFromOsError(err), err, path_);
}

void File::Close() {
    if (!handle_) return;
    int fd = Fd(handle_);
    handle_ = nullptr;
    if (::close(fd) != 0) ThrowOsError(errno);
}

void File::Abort() {
    if (handle_) ::close(Fd(handle_));
    handle_ = nullptr;
}

size_t File::Read(void* buf, size_t n) {
    if (!handle_) throw FileException(FileException::kInvalidFile, -1, path_);
    size_t total = 0;
    auto* p = static_cast<char*>(buf);
    while (total < n) {
        ssize_t got = ::read(Fd(handle_), p + total, n - total);
        if (got < 0) {
            if (errno == EINTR) continue;
            ThrowOsError(errno);
        }
        if (got == 0) break;
        total += static_cast<size_t>(got);
    }
    return total;
}

void File::Write(const void* buf, size_t n) {
    if (!handle_) throw FileException(FileException::kInvalidFile, -1, path_);
    size_t total = 0;
    auto* p = static_cast<const char*>(buf);
    while (total < n) {
        ssize_t put = ::write(Fd(handle_), p + total, n - total);
        if (put < 0) {
            if (errno == EINTR) continue;
            ThrowOsError(errno);
        }
        if (put == 0) throw FileException(FileException::kDiskFull, ENOSPC, path_);
        total += static_cast<size_t>(put);
    }
}

uint64_t File::Seek(int64_t offset, SeekFrom from) {
    if (!handle_) throw FileException(FileException::kInvalidFile, -1, path_);
    int whence = from == kBegin ? SEEK_SET : from == kCurrent ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(Fd(handle_), static_cast<off_t>(offset), whence);
    if (pos < 0) throw FileException(FileException::kBadSeek, errno, path_);
    return static_cast<uint64_t>(pos);
}

uint64_t File::GetPosition() const {
    if (!handle_) throw FileException(FileException::kInvalidFile, -1, path_);
    off_t pos = ::lseek(Fd(handle_), 0, SEEK_CUR);
    if (pos < 0) ThrowOsError(errno);
    return static_cast<uint64_t>(pos);
}

uint64_t File::GetLength() const {
    if (!handle_) throw FileException(FileException::kInvalidFile, -1, path_);
    struct stat st;
    if (::fstat(Fd(handle_), &st) != 0) ThrowOsError(errno);
    return static_cast<uint64_t>(st.st_size);
}

void File::SetLength(uint64_t length) {
    if (!handle_) throw FileException(FileException::kInvalidFile, -1, path_);
    if (::ftruncate(Fd(handle_), static_cast<off_t>(length)) != 0) ThrowOsError(errno);
}

void File::Flush() {
    if (handle_ && ::fsync(Fd(handle_)) != 0) ThrowOsError(errno);
}

} // namespace fw
