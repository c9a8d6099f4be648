// The binary archive. Its byte layout is described in fwarchive.h.
#include "framework/fwarchive.h"

#include <algorithm>
#include <cstring>

namespace fw {

namespace {
// A long string is read in pieces of this size, so that a damaged length
// costs no more memory than the bytes that are really there.
constexpr size_t kStringPiece = 65536;
} // namespace

// ---- Exception ----

const char* Exception::what() const noexcept {
    try {
        what_ = ErrorMessage();
        if (what_.empty()) what_ = "framework error";
    } catch (...) {
        return "framework error";
    }
    return what_.c_str();
}

// ---- ArchiveException ----

ArchiveException::ArchiveException(int c, std::string name) : cause(c), file_name(std::move(name)) {}

// ---- Archive ----

Archive::Archive(File& file, Mode mode, size_t buffer_size)
    : file_(file), mode_(mode), buf_(std::max<size_t>(buffer_size, 16)) {}

Archive::~Archive() {
    if (closed_) return;
    try {
        Flush();
    } catch (...) {
        // A destructor cannot report; Close is the way to see failures.
    }
}

void Archive::Close() {
    if (closed_) return;
    Flush();
    closed_ = true;
}

void Archive::CheckLoading() const {
    if (closed_ || mode_ != kLoad)
        throw ArchiveException(mode_ == kStore ? ArchiveException::kWriteOnly
                                               : ArchiveException::kGeneric,
                               file_.path());
}

void Archive::CheckStoring() const {
    if (closed_ || mode_ != kStore)
        throw ArchiveException(mode_ == kLoad ? ArchiveException::kReadOnly
                                              : ArchiveException::kGeneric,
                               file_.path());
}

void Archive::Flush() {
    if (closed_) return;
    if (mode_ == kStore) {
        if (pos_) {
            size_t n = pos_;
            pos_ = 0;
            file_.Write(buf_.data(), n);
        }
    } else if (end_ > pos_) {
        file_.Seek(-static_cast<int64_t>(end_ - pos_), File::kCurrent);
        pos_ = end_ = 0;
    }
}

void Archive::Fill() {
    pos_ = 0;
    end_ = file_.Read(buf_.data(), buf_.size());
}

size_t Archive::Read(void* out, size_t n) {
    CheckLoading();
    auto* dst = static_cast<uint8_t*>(out);
    size_t done = 0;
    while (done < n) {
        if (pos_ == end_) {
            // Large reads bypass the buffer.
            if (n - done >= buf_.size()) {
                size_t got = file_.Read(dst + done, n - done);
                done += got;
                break;
            }
            Fill();
            if (end_ == 0) break;
        }
        size_t take = std::min(n - done, end_ - pos_);
        std::memcpy(dst + done, buf_.data() + pos_, take);
        pos_ += take;
        done += take;
    }
    return done;
}

void Archive::ReadExact(void* out, size_t n) {
    if (Read(out, n) != n) throw ArchiveException(ArchiveException::kEndOfFile, file_.path());
}

void Archive::Write(const void* in, size_t n) {
    CheckStoring();
    auto* src = static_cast<const uint8_t*>(in);
    while (n) {
        if (pos_ == buf_.size()) {
            size_t full = pos_;
            pos_ = 0;
            file_.Write(buf_.data(), full);
        }
        size_t take = std::min(n, buf_.size() - pos_);
        std::memcpy(buf_.data() + pos_, src, take);
        pos_ += take;
        src += take;
        n -= take;
    }
}

Archive& Archive::PutLE(uint64_t v, int bytes) {
    uint8_t b[8];
    for (int i = 0; i < bytes; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
    Write(b, static_cast<size_t>(bytes));
    return *this;
}

uint64_t Archive::GetLE(int bytes) {
    uint8_t b[8];
    ReadExact(b, static_cast<size_t>(bytes));
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(b[i]) << (8 * i);
    return v;
}

Archive& Archive::operator<<(float v) {
    uint32_t bits;
    static_assert(sizeof bits == sizeof v);
    std::memcpy(&bits, &v, sizeof bits);
    return PutLE(bits, 4);
}

Archive& Archive::operator<<(double v) {
    uint64_t bits;
    static_assert(sizeof bits == sizeof v);
    std::memcpy(&bits, &v, sizeof bits);
    return PutLE(bits, 8);
}

Archive& Archive::operator>>(float& v) {
    uint32_t bits = static_cast<uint32_t>(GetLE(4));
    std::memcpy(&v, &bits, sizeof v);
    return *this;
}

Archive& Archive::operator>>(double& v) {
    uint64_t bits = GetLE(8);
    std::memcpy(&v, &bits, sizeof v);
    return *this;
}

void Archive::WriteString(const std::string& s) {
    uint64_t n = s.size();
    if (n > 0xFFFFFFFFu) throw ArchiveException(ArchiveException::kGeneric, file_.path());
    if (n < 0xFF) {
        PutLE(n, 1);
    } else if (n < 0xFFFF) {
        PutLE(0xFF, 1);
        PutLE(n, 2);
    } else {
        PutLE(0xFF, 1);
        PutLE(0xFFFF, 2);
        PutLE(n, 4);
    }
    Write(s.data(), s.size());
}

std::string Archive::ReadString() {
    uint64_t n = GetLE(1);
    if (n == 0xFF) {
        n = GetLE(2);
        if (n == 0xFFFF) n = GetLE(4);
    }
    std::string s;
    while (s.size() < n) {
        size_t piece = static_cast<size_t>(std::min<uint64_t>(kStringPiece, n - s.size()));
        size_t at = s.size();
        s.resize(at + piece);
        ReadExact(&s[at], piece);
    }
    return s;
}

void Archive::WriteCount(uint64_t count) {
    if (count > 0xFFFFFFFFu) throw ArchiveException(ArchiveException::kGeneric, file_.path());
    if (count < 0xFFFF) {
        PutLE(count, 2);
    } else {
        PutLE(0xFFFF, 2);
        PutLE(count, 4);
    }
}

uint64_t Archive::ReadCount() {
    uint64_t n = GetLE(2);
    if (n == 0xFFFF) n = GetLE(4);
    return n;
}

} // namespace fw
