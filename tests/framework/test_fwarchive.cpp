// The binary archive and the memory file, in both builds: the archive's
// exact bytes, loading short and damaged streams, a disk file round trip.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "framework/fwarchive.h"
#include "framework/fwfile.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Store(const std::function<void(fw::Archive&)>& put, size_t buffer = 4096) {
    fw::MemFile mem;
    {
        fw::Archive ar(mem, fw::Archive::kStore, buffer);
        put(ar);
        ar.Close();
    }
    return mem.Detach();
}

TEST(FwArchive, StringsHaveTheLengthPrefixOfTheirSize) {
    struct Case {
        size_t length;
        Bytes prefix;
    } cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {65534, {0xFF, 0xFE, 0xFF}},
        {65535, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        std::string s(c.length, 'x');
        for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>('a' + i % 26);
        Bytes bytes = Store([&](fw::Archive& ar) { ar << s; }, 4096);
        ASSERT_EQ(bytes.size(), c.prefix.size() + c.length) << c.length;
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(c.prefix.size())), c.prefix)
            << c.length;
        EXPECT_EQ(std::string(bytes.begin() + static_cast<long>(c.prefix.size()), bytes.end()), s)
            << "no terminator, characters as given";

        fw::MemFile mem(bytes);
        fw::Archive ar(mem, fw::Archive::kLoad, 4096);
        EXPECT_EQ(ar.ReadString(), s) << c.length;
    }
}

TEST(FwArchive, IntegersAndCountsAreLittleEndian) {
    Bytes bytes = Store([](fw::Archive& ar) {
        ar << int32_t(1172) << int32_t(-2) << uint16_t(0x1234) << uint8_t(7) << int64_t(-1);
        ar.WriteCount(3);
        ar.WriteCount(0x12345);
        ar << 1.5;
    });
    Bytes expected = {0x94, 0x04, 0x00, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0x34, 0x12, 0x07,
                      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x03, 0x00,
                      0xFF, 0xFF, 0x45, 0x23, 0x01, 0x00,
                      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0x3F};
    EXPECT_EQ(bytes, expected);

    fw::MemFile mem(bytes);
    fw::Archive ar(mem, fw::Archive::kLoad, 16);  // a small buffer: values straddle refills
    int32_t a, b;
    uint16_t c;
    uint8_t d;
    int64_t e;
    double f;
    ar >> a >> b >> c >> d >> e;
    uint64_t n1 = ar.ReadCount(), n2 = ar.ReadCount();
    ar >> f;
    EXPECT_EQ(a, 1172);
    EXPECT_EQ(b, -2);
    EXPECT_EQ(c, 0x1234);
    EXPECT_EQ(d, 7);
    EXPECT_EQ(e, -1);
    EXPECT_EQ(n1, 3u);
    EXPECT_EQ(n2, 0x12345u);
    EXPECT_EQ(f, 1.5);
}

// A file that counts what it hands out and refuses to be read past its end.
class CountingFile : public fw::MemFile {
public:
    using MemFile::MemFile;
    size_t Read(void* buf, size_t n) override {
        EXPECT_LE(GetPosition(), GetLength());
        size_t got = MemFile::Read(buf, n);
        handed_out += got;
        return got;
    }
    size_t handed_out = 0;
};

TEST(FwArchive, ShortOrDamagedStreamThrowsAndStopsAtItsEnd) {
    Bytes whole = Store([](fw::Archive& ar) {
        ar << int32_t(1172) << std::string(300, 'q') << int32_t(5);
    });
    // Every cut of the stream fails the load at the cut, never beyond it.
    for (size_t cut = 0; cut < whole.size(); cut += (cut < 12 ? 1 : 37)) {
        CountingFile file(Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
        fw::Archive ar(file, fw::Archive::kLoad, 64);
        try {
            int32_t magic, tail;
            std::string s;
            ar >> magic >> s >> tail;
            ADD_FAILURE() << "no exception at cut " << cut;
        } catch (const fw::ArchiveException& e) {
            EXPECT_EQ(e.cause, fw::ArchiveException::kEndOfFile) << cut;
        }
        EXPECT_LE(file.handed_out, cut);
    }
    // Damaged lengths that promise far more than the stream holds.
    Bytes damaged[] = {
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'},  // 2 GB string
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},             // 4 GB string, no bytes
        {0xFF, 0x10},                                           // the 16-bit length cut short
    };
    for (const Bytes& d : damaged) {
        fw::MemFile file(d);
        fw::Archive ar(file, fw::Archive::kLoad);
        EXPECT_THROW(ar.ReadString(), fw::ArchiveException);
    }
}

TEST(FwArchive, WrongDirectionAndFlushPositions) {
    fw::MemFile mem(Bytes{1, 0, 0, 0, 2, 0, 0, 0});
    {
        fw::Archive ar(mem, fw::Archive::kLoad);
        int32_t v;
        ar >> v;
        try {
            ar << int32_t(3);
            ADD_FAILURE();
        } catch (const fw::ArchiveException& e) {
            EXPECT_EQ(e.cause, fw::ArchiveException::kReadOnly);
        }
        ar.Close();
    }
    // The loader gave back what it buffered but did not use.
    EXPECT_EQ(mem.GetPosition(), 4u);
}

TEST(FwFile, ArchiveThroughADiskFileRoundTrips) {
    qwtest::TempDir dir;
    std::string path = dir.file("sheet.bin");
    std::string big(10000, 'z');
    {
        fw::File f(path, fw::File::kCreate | fw::File::kWrite | fw::File::kShareDenyWrite);
        fw::Archive ar(f, fw::Archive::kStore, 4096);
        ar << int32_t(1172) << big << std::string("tail");
        ar.Close();
        f.Close();
    }
    fw::File f;
    ASSERT_TRUE(f.Open(path, fw::File::kRead | fw::File::kShareDenyWrite));
    EXPECT_EQ(f.GetLength(), 4u + 3u + big.size() + 5u);
    fw::Archive ar(f, fw::Archive::kLoad, 4096);
    int32_t magic;
    std::string a, b;
    ar >> magic >> a >> b;
    EXPECT_EQ(magic, 1172);
    EXPECT_EQ(a, big);
    EXPECT_EQ(b, "tail");
    EXPECT_THROW(ar.ReadString(), fw::ArchiveException);
}

TEST(FwFile, OpenFailuresHaveTheSameCausesOnEveryBuild) {
    qwtest::TempDir dir;
    std::string folder = dir.file("folder");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    struct Case {
        std::string path;
        unsigned flags;
        int cause;
    } cases[] = {
        {dir.file("missing.txt"), fw::File::kRead, fw::FileException::kFileNotFound},
        {dir.file("no folder/x.txt"), fw::File::kCreate | fw::File::kWrite, fw::FileException::kBadPath},
        {folder, fw::File::kWrite, fw::FileException::kAccessDenied},
    };
    for (const Case& c : cases) {
        fw::File f;
        fw::FileException error;
        EXPECT_FALSE(f.Open(c.path, c.flags, &error)) << c.path;
        EXPECT_EQ(error.cause, c.cause) << c.path;
        EXPECT_EQ(error.file_name, c.path);
        EXPECT_NE(std::string(error.what()).find(c.path), std::string::npos) << error.what();
        EXPECT_THROW(fw::File(c.path, c.flags), fw::FileException);
    }
}

TEST(FwFile, MemFileGrowsSeeksAndHandsOverItsBytes) {
    fw::MemFile mem(4);
    mem.Write("abcdef", 6);
    mem.SetLength(3);
    mem.Seek(5, fw::File::kBegin);
    mem.Write("Z", 1);  // the gap reads as zeros, not the old "de"
    EXPECT_EQ(mem.GetLength(), 6u);
    mem.SeekToBegin();
    char buf[8] = {};
    EXPECT_EQ(mem.Read(buf, sizeof buf), 6u);
    EXPECT_EQ(std::string(buf, 6), std::string("abc\0\0Z", 6));
    EXPECT_THROW(mem.Seek(-1, fw::File::kBegin), fw::FileException);
    Bytes out = mem.Detach();
    EXPECT_EQ(out.size(), 6u);
    EXPECT_EQ(mem.GetLength(), 0u);
}

} // namespace
