// The file in memory. Portable: no operating-system calls.
#include <algorithm>
#include <cstring>

#include "framework/fwfile.h"

namespace fw {

MemFile::MemFile(size_t grow_by) : grow_by_(grow_by ? grow_by : 1024) {}

MemFile::MemFile(std::vector<uint8_t> bytes, size_t grow_by) : MemFile(grow_by) {
    Attach(std::move(bytes));
}

bool MemFile::Open(const std::string& path, unsigned, FileException* error) {
    // A memory file has no path to open.
    if (error) *error = FileException(FileException::kGeneric, -1, path);
    return false;
}

void MemFile::Close() { Detach(); }
void MemFile::Abort() { Detach(); }

size_t MemFile::Read(void* buf, size_t n) {
    if (position_ >= length_) return 0;
    size_t avail = static_cast<size_t>(length_ - position_);
    size_t take = std::min(n, avail);
    std::memcpy(buf, bytes_.data() + position_, take);
    position_ += take;
    return take;
}

void MemFile::Reserve(uint64_t size) {
    if (size <= bytes_.size()) return;
    if (size > SIZE_MAX / 2) throw FileException(FileException::kDiskFull, -1, path_);
    // Grow in steps of grow_by, never less than the size asked for.
    uint64_t steps = (size + grow_by_ - 1) / grow_by_;
    bytes_.resize(static_cast<size_t>(steps * grow_by_));
}

void MemFile::Write(const void* buf, size_t n) {
    if (!n) return;
    uint64_t end = position_ + n;
    Reserve(end);
    // Bytes between the old end and a write past it read as zeros.
    if (position_ > length_)
        std::memset(bytes_.data() + length_, 0, static_cast<size_t>(position_ - length_));
    std::memcpy(bytes_.data() + position_, buf, n);
    position_ = end;
    length_ = std::max(length_, end);
}

uint64_t MemFile::Seek(int64_t offset, SeekFrom from) {
    int64_t base = from == kBegin ? 0 : from == kCurrent ? static_cast<int64_t>(position_)
                                                         : static_cast<int64_t>(length_);
    int64_t target = base + offset;
    if (target < 0) throw FileException(FileException::kBadSeek, -1, path_);
    position_ = static_cast<uint64_t>(target);
    return position_;
}

void MemFile::SetLength(uint64_t length) {
    Reserve(length);
    if (length > length_) std::memset(bytes_.data() + length_, 0, static_cast<size_t>(length - length_));
    length_ = length;
    if (position_ > length_) position_ = length_;
}

void MemFile::Attach(std::vector<uint8_t> bytes) {
    bytes_ = std::move(bytes);
    length_ = bytes_.size();
    position_ = 0;
}

std::vector<uint8_t> MemFile::Detach() {
    bytes_.resize(static_cast<size_t>(length_));
    std::vector<uint8_t> out = std::move(bytes_);
    bytes_.clear();
    length_ = position_ = 0;
    return out;
}

} // namespace fw
