#pragma once
// Files: a disk file over an operating-system handle, a file in memory, and
// the exception that both throw.
//
//   fw::File f;
//   fw::FileException error;
//   if (!f.Open(path, fw::File::kRead | fw::File::kShareDenyWrite, &error)) {
//       error.ReportError(MB_OK, fw::kIdsFailedToOpenDocument);
//       return;
//   }
//   size_t n = f.Read(buf, sizeof buf);   // throws FileException on failure
//
// Open reports failure through its result (and the optional exception
// object); Read, Write, Seek and friends throw FileException. A File closes
// its handle when destroyed. MemFile keeps its bytes in a vector that grows
// as it is written; Detach hands them over. This header needs no windows.h.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "framework/fwexport.h"

namespace fw {

// String identifiers of the framework's standard prompts (its string table).
enum : unsigned {
    kIdsFailedToOpenDocument = 61697,
    kIdsFailedToSaveDocument = 61700,
};

// The base of the framework's exceptions: a text and its standard report.
class QWFW_API Exception : public std::exception {
public:
    // The text that describes this failure; empty when there is no
    // cause-specific text.
    virtual std::string ErrorMessage() const = 0;
    // Shows the failure through the replaceable message-box handler: the
    // cause's text, or the prompt string `prompt_id` when the cause has none.
    // Returns the box's answer.
    virtual int ReportError(unsigned type = 0, unsigned prompt_id = 0) const = 0;
    const char* what() const noexcept override;

private:
    mutable std::string what_;
};

class QWFW_API FileException : public Exception {
public:
    // Causes (fixed numbers: callers show and store them).
    enum Cause : int {
        kNone = 0,
        kGeneric = 1,
        kFileNotFound = 2,
        kBadPath = 3,
        kTooManyOpenFiles = 4,
        kAccessDenied = 5,
        kInvalidFile = 6,
        kRemoveCurrentDir = 7,
        kDirectoryFull = 8,
        kBadSeek = 9,
        kHardIO = 10,
        kSharingViolation = 11,
        kLockViolation = 12,
        kDiskFull = 13,
        kEndOfFile = 14,
    };

    FileException() = default;
    FileException(int cause, long os_error, std::string file_name = {});

    int cause = kNone;
    long os_error = -1;     // the system's error number, -1 when none
    std::string file_name;

    // The cause of a system error number (ERROR_FILE_NOT_FOUND -> kFileNotFound ...).
    static int CauseFromOsError(long os_error);
    // Names the file; no text for kNone and kGeneric.
    std::string ErrorMessage() const override;
    int ReportError(unsigned type = 0, unsigned prompt_id = 0) const override;
};

class QWFW_API File {
public:
    // Open flags (the values are fixed: callers keep and pass them on).
    enum OpenFlags : unsigned {
        kRead = 0x0,
        kWrite = 0x1,
        kReadWrite = 0x2,
        kShareCompat = 0x0,
        kShareExclusive = 0x10,
        kShareDenyWrite = 0x20,
        kShareDenyRead = 0x30,
        kShareDenyNone = 0x40,
        kNoInherit = 0x80,
        kCreate = 0x1000,
        kNoTruncate = 0x2000,
    };
    enum SeekFrom { kBegin = 0, kCurrent = 1, kEnd = 2 };

    File();
    // Opens at once; throws FileException on failure.
    File(const std::string& path, unsigned flags);
    virtual ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens a disk file. False on failure, with the cause in *error.
    virtual bool Open(const std::string& path, unsigned flags, FileException* error = nullptr);
    // Closes, throwing FileException when the close fails.
    virtual void Close();
    // Closes and ignores every failure.
    virtual void Abort();

    // Reads up to n bytes; returns how many were read (0 at the end).
    virtual size_t Read(void* buf, size_t n);
    // Writes all n bytes or throws (a full disk gives kDiskFull).
    virtual void Write(const void* buf, size_t n);
    virtual uint64_t Seek(int64_t offset, SeekFrom from);
    virtual uint64_t GetPosition() const;
    virtual uint64_t GetLength() const;
    virtual void SetLength(uint64_t length);
    virtual void Flush();

    uint64_t SeekToEnd() { return Seek(0, kEnd); }
    void SeekToBegin() { Seek(0, kBegin); }

    virtual bool is_open() const { return handle_ != nullptr; }
    const std::string& path() const { return path_; }
    // The operating-system handle (a HANDLE on Windows), null when closed.
    void* handle() const { return handle_; }

protected:
    [[noreturn]] void ThrowOsError(long os_error) const;
    std::string path_;

private:
    void* handle_ = nullptr;
};

// A file in memory. Reads and writes work on a byte vector that grows by
// `grow_by` bytes at a time as the file is written past its end.
class QWFW_API MemFile : public File {
public:
    explicit MemFile(size_t grow_by = 1024);
    // A file over a copy of bytes, positioned at the start.
    explicit MemFile(std::vector<uint8_t> bytes, size_t grow_by = 1024);

    bool Open(const std::string&, unsigned, FileException* error = nullptr) override;
    void Close() override;
    void Abort() override;
    size_t Read(void* buf, size_t n) override;
    void Write(const void* buf, size_t n) override;
    uint64_t Seek(int64_t offset, SeekFrom from) override;
    uint64_t GetPosition() const override { return position_; }
    uint64_t GetLength() const override { return length_; }
    void SetLength(uint64_t length) override;
    void Flush() override {}
    bool is_open() const override { return true; }

    // The file's bytes (the first GetLength() of them are the contents).
    const uint8_t* data() const { return bytes_.data(); }
    // Replaces the contents, positioned at the start.
    void Attach(std::vector<uint8_t> bytes);
    // Hands the contents over (exactly GetLength() bytes) and empties the file.
    std::vector<uint8_t> Detach();

private:
    void Reserve(uint64_t size);
    std::vector<uint8_t> bytes_;
    uint64_t length_ = 0;
    uint64_t position_ = 0;
    size_t grow_by_;
};

} // namespace fw
