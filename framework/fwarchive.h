#pragma once
// The binary archive: a buffered reader or writer of fixed-layout values
// over a File (a disk file or a MemFile).
//
//   fw::File f(path, fw::File::kRead | fw::File::kShareDenyWrite);
//   fw::Archive ar(f, fw::Archive::kLoad, 4096);
//   int32_t magic; ar >> magic;
//   std::string name = ar.ReadString();
//
// Byte layout (the same on every build):
//   integers     little-endian, of the width of their type (int32_t is 4 bytes)
//   float/double IEEE-754, little-endian
//   string       length < 255:        1 byte length, then the characters
//                length < 65535:      0xFF, 2-byte length, characters
//                otherwise:           0xFF, 0xFFFF, 4-byte length, characters
//                (no terminator; the characters are bytes as given)
//   count        count < 65535:       2-byte count
//                otherwise:           0xFFFF, 4-byte count
//
// Loading past the end of the stream or a damaged length throws
// ArchiveException (kEndOfFile): a load never reads beyond the bytes the
// stream really has, and never allocates for a length before its bytes are
// there. File failures come through as FileException. A storing archive
// writes its buffer out on Close or Flush; its destructor flushes too but
// swallows failures, so callers that care call Close.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/fwexport.h"
#include "framework/fwfile.h"

namespace fw {

class QWFW_API ArchiveException : public Exception {
public:
    // Causes (fixed numbers: callers show them).
    enum Cause : int {
        kNone = 0,
        kGeneric = 1,
        kReadOnly = 2,    // a store into a loading archive
        kEndOfFile = 3,   // a load past the end, or a length the stream cannot hold
        kWriteOnly = 4,   // a load from a storing archive
        kBadIndex = 5,
        kBadClass = 6,
        kBadSchema = 7,   // a version or magic word the reader does not know
    };
    explicit ArchiveException(int cause = kGeneric, std::string file_name = {});

    int cause;
    std::string file_name;

    std::string ErrorMessage() const override;
    int ReportError(unsigned type = 0, unsigned prompt_id = 0) const override;
};

class QWFW_API Archive {
public:
    enum Mode { kLoad, kStore };

    Archive(File& file, Mode mode, size_t buffer_size = 4096);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    bool IsLoading() const { return mode_ == kLoad; }
    bool IsStoring() const { return mode_ == kStore; }
    File& file() { return file_; }

    // Storing: writes the buffer out. Loading: gives unread buffered bytes
    // back to the file, so that its position is right after the last read.
    void Flush();
    // Flushes and detaches from the file (the file stays open).
    void Close();

    // Reads up to n bytes; fewer only at the end of the stream.
    size_t Read(void* buf, size_t n);
    // Reads exactly n bytes or throws kEndOfFile.
    void ReadExact(void* buf, size_t n);
    void Write(const void* buf, size_t n);

    void WriteString(const std::string& s);
    std::string ReadString();
    void WriteCount(uint64_t count);
    uint64_t ReadCount();

    Archive& operator<<(uint8_t v) { return PutLE(v, 1); }
    Archive& operator<<(int8_t v) { return PutLE(static_cast<uint8_t>(v), 1); }
    Archive& operator<<(uint16_t v) { return PutLE(v, 2); }
    Archive& operator<<(int16_t v) { return PutLE(static_cast<uint16_t>(v), 2); }
    Archive& operator<<(uint32_t v) { return PutLE(v, 4); }
    Archive& operator<<(int32_t v) { return PutLE(static_cast<uint32_t>(v), 4); }
    Archive& operator<<(uint64_t v) { return PutLE(v, 8); }
    Archive& operator<<(int64_t v) { return PutLE(static_cast<uint64_t>(v), 8); }
    Archive& operator<<(float v);
    Archive& operator<<(double v);
    Archive& operator<<(const std::string& s) {
        WriteString(s);
        return *this;
    }

    Archive& operator>>(uint8_t& v) { v = static_cast<uint8_t>(GetLE(1)); return *this; }
    Archive& operator>>(int8_t& v) { v = static_cast<int8_t>(GetLE(1)); return *this; }
    Archive& operator>>(uint16_t& v) { v = static_cast<uint16_t>(GetLE(2)); return *this; }
    Archive& operator>>(int16_t& v) { v = static_cast<int16_t>(GetLE(2)); return *this; }
    Archive& operator>>(uint32_t& v) { v = static_cast<uint32_t>(GetLE(4)); return *this; }
    Archive& operator>>(int32_t& v) { v = static_cast<int32_t>(static_cast<uint32_t>(GetLE(4))); return *this; }
    Archive& operator>>(uint64_t& v) { v = GetLE(8); return *this; }
    Archive& operator>>(int64_t& v) { v = static_cast<int64_t>(GetLE(8)); return *this; }
    Archive& operator>>(float& v);
    Archive& operator>>(double& v);
    Archive& operator>>(std::string& s) {
        s = ReadString();
        return *this;
    }

private:
    Archive& PutLE(uint64_t v, int bytes);
    uint64_t GetLE(int bytes);
    void Fill();
    void CheckLoading() const;
    void CheckStoring() const;

    File& file_;
    Mode mode_;
    bool closed_ = false;
    std::vector<uint8_t> buf_;
    size_t pos_ = 0;   // next byte to read / write in buf_
    size_t end_ = 0;   // loading: bytes valid in buf_
};

} // namespace fw
