// The buffered byte stream: mode strings, opening modes on disk, line ends,
// seeking, the buffer after end of file, and write errors (sticky, and
// reported by the final flush).
#include "opsys/bufstream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fs_faults.h"
#include "tests/support/temp_dir.h"

using qwtest::ReadFileBytes;
using qwtest::ScopedFsFaults;
using qwtest::TempDir;
using qwtest::WriteFileBytes;

namespace {

struct StreamCloser {
    buf_stream* s;
    ~StreamCloser() { buf_stream_close(s); }
};

TEST(BufStream, ModeStrings) {
    struct Case {
        const char* mode;
        int ok;
        uint32_t access;
    } cases[] = {
        {"r", 1, 0x0},          {"r+", 1, 0x2},          {"w", 1, 0x1001},
        {"w+", 1, 0x1002},      {"a", 1, 0x20003001},    {"a+", 1, 0x20003002},
        {"x", 1, 0x10003001},   {"x+", 1, 0x10003002},   {"rdn", 1, 0x40},
        {"dnr", 1, 0x40},       {"r+dw", 1, 0x22},       {"wda", 1, 0x1011},
        {"dr+", 0, 0},          {"drr", 1, 0x30},        {"rb", 0, 0},
        {"", 0, 0},             {"q", 0, 0},             {"rdq", 0, 0},
        {"rd", 0, 0},           {"dnrdn", 0, 0},         {"r+dwx", 0, 0},
    };
    for (const Case& c : cases) {
        uint32_t access = 0xDEAD;
        EXPECT_EQ(c.ok, buf_stream_parse_mode(c.mode, &access)) << c.mode;
        if (c.ok) {
            EXPECT_EQ(c.access, access) << c.mode;
        }
    }
    EXPECT_EQ(nullptr, buf_stream_open("whatever", "rb"));
}

TEST(BufStream, OpenModesOnDisk) {
    TempDir dir;
    std::string p = dir.file("f.txt");
    EXPECT_EQ(nullptr, buf_stream_open(p.c_str(), "r")); // missing

    buf_stream* s = buf_stream_open(p.c_str(), "w");
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(1, buf_stream_puts("hello", s));
    EXPECT_EQ(1, buf_stream_close(s));
    EXPECT_EQ("hello", ReadFileBytes(p));

    EXPECT_EQ(nullptr, buf_stream_open(p.c_str(), "x")); // exists

    s = buf_stream_open(p.c_str(), "a");
    ASSERT_NE(nullptr, s);
    EXPECT_EQ('!', buf_stream_putc('!', s));
    EXPECT_EQ(1, buf_stream_close(s));
    EXPECT_EQ("hello!", ReadFileBytes(p));

    s = buf_stream_open(p.c_str(), "r+");
    ASSERT_NE(nullptr, s);
    EXPECT_EQ('h', buf_stream_getc(s, 1));
    EXPECT_EQ('E', buf_stream_putc('E', s)); // lands after the byte read
    EXPECT_EQ(2, buf_stream_tell(s));
    EXPECT_EQ('l', buf_stream_getc(s, 1));
    EXPECT_EQ(1, buf_stream_close(s));
    EXPECT_EQ("hEllo!", ReadFileBytes(p));

    s = buf_stream_open(p.c_str(), "w");
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(1, buf_stream_close(s));
    EXPECT_EQ("", ReadFileBytes(p));

    s = buf_stream_open(p.c_str(), "rdn"); // read, shared with everybody
    ASSERT_NE(nullptr, s);
    buf_stream* second = buf_stream_open(p.c_str(), "wdn");
    EXPECT_NE(nullptr, second);
    buf_stream_close(second);
    buf_stream_close(s);
}

TEST(BufStream, GetsLineEnds) {
    TempDir dir;
    std::string p = dir.file("g.txt");
    WriteFileBytes(p, std::string("a\r\nb\rc\nd\r\r\ne\n\nlong line\rx\r"));
    buf_stream* s = buf_stream_open(p.c_str(), "r");
    ASSERT_NE(nullptr, s);
    StreamCloser close{s};
    char out[64];
    std::vector<std::string> got;
    int n;
    while ((n = buf_stream_gets(s, out, 4)) >= 0) got.emplace_back(out, n);
    std::vector<std::string> want = {"a", "b\rc", "d\r", "e", "", "long", " lin", "e\rx"};
    EXPECT_EQ(want, got);
    EXPECT_EQ(1, buf_stream_eof(s));
    EXPECT_EQ(-1, buf_stream_gets(s, out, 4));
}

TEST(BufStream, SeekWithinBufferReadsNothing) {
    TempDir dir;
    std::string p = dir.file("s.bin");
    std::string bytes;
    for (int i = 0; i < 100000; ++i) bytes += static_cast<char>('A' + i % 26);
    WriteFileBytes(p, bytes);
    ScopedFsFaults layer;
    buf_stream* s = buf_stream_open(p.c_str(), "r");
    ASSERT_NE(nullptr, s);
    StreamCloser close{s};
    for (int i = 0; i < 1000; ++i) buf_stream_getc(s, 1);
    int reads = layer.state.reads;
    EXPECT_TRUE(buf_stream_seek(s, 10, 0));
    EXPECT_EQ(10, buf_stream_tell(s));
    EXPECT_EQ('K', buf_stream_getc(s, 1));
    EXPECT_TRUE(buf_stream_seek(s, -5, 1));
    EXPECT_EQ(6, buf_stream_tell(s));
    EXPECT_EQ('G', buf_stream_getc(s, 0));
    EXPECT_EQ(reads, layer.state.reads);
    // Outside the buffer the file is read again.
    EXPECT_TRUE(buf_stream_seek(s, 99999, 0));
    EXPECT_EQ(bytes[99999], buf_stream_getc(s, 1));
    EXPECT_GT(layer.state.reads, reads);
    EXPECT_EQ(-1, buf_stream_getc(s, 1));
    EXPECT_EQ(100000, buf_stream_tell(s));
}

TEST(BufStream, BufferComesBackAfterEndOfFile) {
    TempDir dir;
    std::string p = dir.file("e.txt");
    WriteFileBytes(p, "xyz");
    buf_stream* s = buf_stream_open(p.c_str(), "r+");
    ASSERT_NE(nullptr, s);
    StreamCloser close{s};
    while (buf_stream_getc(s, 1) >= 0) {
    }
    EXPECT_EQ(1, buf_stream_eof(s));
    EXPECT_EQ(nullptr, s->buffer); // freed at end of file
    EXPECT_TRUE(buf_stream_seek(s, 1, 0));
    EXPECT_EQ('y', buf_stream_getc(s, 1));
    EXPECT_TRUE(buf_stream_seek(s, 0, 2));
    EXPECT_EQ(-1, buf_stream_getc(s, 1));
    EXPECT_EQ('!', buf_stream_putc('!', s)); // writing after end of file
    buf_stream_reset(s);
    EXPECT_TRUE(buf_stream_seek(s, 0, 0));
    char out[16];
    EXPECT_EQ(4, buf_stream_gets(s, out, 15));
    EXPECT_STREQ("xyz!", out);
}

TEST(BufStream, WriteErrorIsSticky) {
    TempDir dir;
    std::string p = dir.file("w.txt");
    ScopedFsFaults layer;
    layer.state.write_budget = 40000; // the second flush runs out of room
    buf_stream* s = buf_stream_open(p.c_str(), "w");
    ASSERT_NE(nullptr, s);
    int first_failure = -1;
    for (int i = 0; i < 100000; ++i) {
        if (buf_stream_putc('a', s) < 0) {
            first_failure = i;
            break;
        }
    }
    EXPECT_EQ(2 * BS_CAPACITY, first_failure);
    EXPECT_EQ(-1, buf_stream_putc('b', s));
    EXPECT_EQ(0, buf_stream_puts("more", s));
    layer.state.write_budget = -1; // the disk has room again: still sticky
    EXPECT_EQ(-1, buf_stream_putc('c', s));
    EXPECT_EQ(0, buf_stream_close(s));
}

TEST(BufStream, CloseReportsFailedFinalFlush) {
    TempDir dir;
    std::string p = dir.file("c.txt");
    ScopedFsFaults layer;
    layer.state.write_budget = 3;
    buf_stream* s = buf_stream_open(p.c_str(), "w");
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(1, buf_stream_puts("hello", s));
    EXPECT_EQ(0, buf_stream_close(s));
}

} // namespace
