// Loading and saving buffers: line ends, long lines, lazy reading, every save
// path, backups and temporary copies, and a full disk, locked and read-only
// targets leaving the old file whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"
#include "opsys/bufstream.h"
#include "VmEngine/pagecache.h"
#include "VmEngine/vmcore.h"
#include "tests/support/fs_faults.h"
#include "tests/VmEngine/vm_test_support.h"
#include "tests/support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

using qwtest::ReadFileBytes;
using qwtest::ScopedFsFaults;
using qwtest::TempDir;
using qwtest::WriteFileBytes;

namespace {

// A started engine with the smallest cache (60 frames), so that every test
// with more than a few hundred kilobytes of text runs through the swap file.
class LoadSave : public ::testing::Test {
protected:
    void SetUp() override {
        swap_ = dir_.file("QW32_Swap.0a1");
        ASSERT_NE(0, vms_start(1000, 0, swap_.c_str(), 0, 0));
    }
    void TearDown() override {
        vms_stop();
        EXPECT_FALSE(buf_file_exists(swap_.c_str()));
    }

    VMB* Load(const std::string& path) {
        VMB* b = vmb_open(VMB_T_FILE, path.c_str(), 0);
        EXPECT_NE(nullptr, b);
        EXPECT_EQ(1, vmb_Stream_Open(b, path.c_str(), "r"));
        return b;
    }
    VMB* LoadAll(const std::string& path) {
        VMB* b = Load(path);
        EXPECT_NE(0, vm_read_lines(b, 0xFFFFFFFFu));
        return b;
    }
    static std::string Line(VMB* b, int line) {
        int len = vm_line_length(b, line);
        if (len < 0) return "<missing>";
        std::string s(size_t(len) + 1, '\0');
        int n = vm_read_text(b, line, 0, s.data(), len, nullptr);
        s.resize(n < 0 ? 0 : size_t(n));
        return s;
    }

    TempDir dir_;
    std::string swap_;
};

TEST_F(LoadSave, LineEndsAndRoundTrip) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
        bool final_eol;
        bool lf;
        std::string saved; // what a whole save writes back
    } cases[] = {
        {"crlf", "a\r\nb\r\nc\r\n", {"a", "b", "c"}, true, false, "a\r\nb\r\nc\r\n"},
        {"lf", "a\nb\nc\n", {"a", "b", "c"}, true, true, "a\nb\nc\n"},
        {"lf unterminated", "a\nb", {"a", "b"}, false, true, "a\nb"},
        {"crlf unterminated", "a\r\nb", {"a", "b"}, false, false, "a\r\nb"},
        {"4 of 10 crlf", "1\r\n2\r\n3\r\n4\r\n5\n6\n7\n8\n9\n10\n",
         {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}, true, true,
         "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n"},
        {"6 of 10 crlf", "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\n8\n9\n10\n",
         {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}, true, false,
         "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n"},
        {"lone cr is text", "a\rb\r\n\rc\r\n", {"a\rb", "\rc"}, true, false, "a\rb\r\n\rc\r\n"},
        {"cr at end", "x\r\ny\r", {"x", "y"}, false, false, "x\r\ny"},
        // A line whose text ends in CR keeps it: its break is written as CR LF
        // even in an LF file, and without a break a second CR closes it.
        {"cr ending a line, lf file", "a\nb\nc\r\r\n", {"a", "b", "c\r"}, true, true, "a\nb\nc\r\r\n"},
        {"cr ending a middle line, lf file", "a\nb\r\r\nc\n", {"a", "b\r", "c"}, true, true, "a\nb\r\r\nc\n"},
        {"cr ending the unterminated last line", "a\nb\r\r", {"a", "b\r"}, false, true, "a\nb\r\r"},
        {"line of a lone cr", "\r\r\na\n\n", {"\r", "a", ""}, true, true, "\r\r\na\n\n"},
        {"empty", "", {}, true, true, ""},
        {"one break", "\r\n", {""}, true, false, "\r\n"},
        {"nul bytes", std::string("a\0b\r\n\0\r\n", 8), {std::string("a\0b", 3), std::string("\0", 1)},
         true, false, std::string("a\0b\r\n\0\r\n", 8)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string src = dir_.file("src.txt"), dst = dir_.file("dst.txt");
        WriteFileBytes(src, c.bytes);
        VMB* b = LoadAll(src);
        ASSERT_EQ(int(c.lines.size()), vm_last_ln(b));
        for (size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(c.lines[i], Line(b, int(i + 1)));
        EXPECT_EQ(c.final_eol, (vm_state_flags(b, -1, VM_ST_FINAL_EOL) != 0));
        EXPECT_EQ(c.lf, (vm_state_flags(b, -1, VM_ST_LF) != 0));
        EXPECT_EQ(1, vm_is_fully_read(b));
        EXPECT_EQ(0, vmb_has_stream(b)); // closed at the end of the file
        // Every way a user saves an unchanged buffer writes the same bytes.
        const uint32_t save_flags[] = {VMB_SAVE_ALL, 0u, VMB_SAVE_ALL | VMB_SAVE_FORCE, VMB_SAVE_FORCE,
                                       VMB_SAVE_ALL | VMB_SAVE_NO_BACKUP | VMB_SAVE_TEMP_NAME};
        for (uint32_t flags : save_flags) {
            SCOPED_TRACE(flags);
            EXPECT_EQ(0u, vmb_save(dst.c_str(), nullptr, nullptr, b, 1, 0, -1, -1, flags));
            EXPECT_EQ(c.saved, ReadFileBytes(dst));
            buf_file_remove(dst.c_str());
            buf_file_remove((dst + ".BAK").c_str());
        }
        vmb_close(b, 0);
    }
}

TEST_F(LoadSave, LongLinesAndSpill) {
    // Lines of several megabytes cross many pages and the 60-frame cache.
    std::string big(3 * 1024 * 1024 + 17, 'x');
    for (size_t i = 0; i < big.size(); i += 4093) big[i] = char('a' + i % 26);
    std::string bytes = "first\r\n" + big + "\r\nmiddle\r\n" + big.substr(0, 5000) + "\r\n";
    std::string src = dir_.file("long.txt"), dst = dir_.file("long.out");
    WriteFileBytes(src, bytes);
    VMB* b = LoadAll(src);
    ASSERT_EQ(4, vm_last_ln(b));
    EXPECT_EQ(int(big.size()), vm_line_length(b, 2));
    EXPECT_EQ("middle", Line(b, 3));
    EXPECT_EQ(0u, vmb_save(dst.c_str(), nullptr, nullptr, b, 1, 0, -1, -1, VMB_SAVE_ALL));
    EXPECT_TRUE(ReadFileBytes(dst) == bytes);
}

// Lines of every length from empty to a few hundred bytes, several to a
// block of the loader's line-feed scan and many to the stream's buffer, with
// CR LF and lone CRs among them, read in one go and in uneven steps.
TEST_F(LoadSave, LinesOfEveryLengthAcrossScanBlocksAndBufferRefills) {
    std::vector<std::string> lines;
    std::string bytes;
    uint32_t x = 12345;
    for (int i = 0; bytes.size() < 300000; ++i) {
        x = x * 1103515245u + 12345u;
        const size_t len = (x >> 8) % 7 == 0 ? (x >> 12) % 300 : (x >> 12) % 70;
        std::string text(len, char('a' + i % 26));
        if (len > 3 && (x >> 20) % 5 == 0) text[len / 2] = '\r';
        lines.push_back(text);
        bytes += text + ((x >> 24) % 3 == 0 ? "\r\n" : "\n");
    }
    std::string src = dir_.file("mixed.txt"), dst = dir_.file("mixed.out");
    WriteFileBytes(src, bytes);
    for (int step : {0, 1, 37, 1000}) {
        SCOPED_TRACE(step);
        VMB* b = Load(src);
        if (step == 0) {
            EXPECT_NE(0, vm_read_lines(b, 0xFFFFFFFFu));
        } else {
            for (uint32_t up_to = uint32_t(step); !vm_read_lines(b, up_to); up_to += uint32_t(step)) {
            }
        }
        ASSERT_EQ(int(lines.size()), vm_last_ln(b));
        for (size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(lines[i], Line(b, int(i + 1))) << i + 1;
        vmb_close(b, 0);
    }
}

std::string NumberedLines(int from, int to) {
    std::string s;
    for (int i = from; i <= to; ++i) s += "line " + std::to_string(i) + "\r\n";
    return s;
}

TEST_F(LoadSave, LazyReading) {
    std::string src = dir_.file("lazy.txt");
    WriteFileBytes(src, NumberedLines(1, 20000));
    VMB* b = Load(src);
    EXPECT_EQ(0, vm_last_ln(b)); // nothing read until asked
    EXPECT_EQ(0, vm_is_fully_read(b));

    ASSERT_EQ(2500, vm_goto_line(b, 2500) ? vm_cur_line(b) : 0);
    int read = vm_last_ln(b);
    EXPECT_GE(read, 3500);
    EXPECT_LT(read, 20000);
    EXPECT_EQ(0, vm_is_fully_read(b));
    EXPECT_EQ("line 2500", Line(b, 2500));
    EXPECT_EQ(2500, vm_line_tag(b, 2500, -1, 0)); // tags are file line numbers

    // A goto past the read part reads on.
    ASSERT_NE(0, vm_goto_line(b, read + 10));
    EXPECT_EQ("line " + std::to_string(read + 10), Line(b, read + 10));
    EXPECT_EQ(0, vm_goto_line(b, VM_LINE_READ_ALL));
    EXPECT_EQ(20000, vm_last_ln(b));
    EXPECT_EQ(1, vm_is_fully_read(b));
    EXPECT_EQ(19999, vm_line_tag(b, 19999, -1, 0));
    EXPECT_EQ("line 1", Line(b, 1));
    EXPECT_EQ(0, vm_goto_line(b, 20001));
}

// The read thread's way: a block of lines at a time while the view keeps its
// place near the top, with the buffer (or another one) changed between
// blocks. Each block must carry on after the last line as it is then, so the
// text ends as the file's lines in order with the changes where they were
// made, on a sound page structure.
TEST_F(LoadSave, ReadingOnInBlocksAfterChangesBetweenThem) {
    std::string src = dir_.file("blocks.txt"), text;
    std::vector<std::string> file;
    for (int i = 1; i <= 40000; ++i) {
        // Lengths vary, and now and then a line spans several pages.
        std::string line = "line " + std::to_string(i) + std::string(size_t(i * 7 % 150), 'a' + char(i % 26));
        if (i % 997 == 0) line += std::string(6000, 'L');
        file.push_back(line);
        text += line + "\r\n";
    }
    WriteFileBytes(src, text);
    const std::string long_line(5000, 'R');
    enum Change { kNone, kLongLast, kDeleteTail, kOtherBuffer, kDeleteAllButOne, kCloseAndReopen };
    const Change changes[] = {kNone, kLongLast, kNone, kDeleteTail, kOtherBuffer, kNone, kDeleteAllButOne,
                              kOtherBuffer, kLongLast, kCloseAndReopen, kDeleteTail};
    VMB* b = Load(src);
    std::vector<std::string> model;
    size_t next = 0; // the next line of the file the loader takes
    auto read_block = [&]() {
        int before = vm_line_count(b);
        if (before >= 5) {
            ASSERT_NE(0, vm_goto_line(b, 5)); // the view's place
        }
        vm_read_lines(b, uint32_t(before) + 1000);
        int added = vm_line_count(b) - before;
        ASSERT_TRUE(added > 0 || vm_is_fully_read(b)); // the last block may only find the end
        ASSERT_LE(next + size_t(added), file.size());
        model.insert(model.end(), file.begin() + long(next), file.begin() + long(next) + added);
        next += size_t(added);
        if (before >= 5) {
            EXPECT_EQ(5, vm_cur_line(b)); // the view's place is kept
        }
    };
    for (int round = 0; round < 3; ++round) {
        for (Change c : changes) {
            SCOPED_TRACE(testing::Message() << "round " << round << " change " << int(c));
            read_block();
            if (HasFatalFailure()) return;
            int n = vm_line_count(b);
            switch (c) {
            case kNone: break;
            case kLongLast:
                ASSERT_EQ(1, vm_replace_line(b, n, long_line.c_str(), int(long_line.size()), 0));
                model.back() = long_line;
                break;
            case kDeleteTail: {
                int k = std::min(1500, n - 1);
                ASSERT_EQ(0, vm_delete_lines(b, n - k + 1, k, 0)); // lines are left
                model.resize(model.size() - size_t(k));
                break;
            }
            case kDeleteAllButOne:
                ASSERT_EQ(0, vm_delete_lines(b, 2, n - 1, 0));
                model.resize(1);
                break;
            case kOtherBuffer: {
                // Takes the ids the deletions gave back, and gives them back.
                std::vector<std::string> other(3000, std::string(120, 'o'));
                VMB* o = vmtest::MakeBuffer(other);
                ASSERT_NE(nullptr, o);
                vmb_close(o, 0);
                break;
            }
            case kCloseAndReopen: {
                // A new buffer (in the slot just freed) reads from the start;
                // another one takes the ids the old one gave back.
                vmb_close(b, 0);
                b = Load(src);
                std::vector<std::string> other(2000, std::string(90, 'p'));
                VMB* o = vmtest::MakeBuffer(other);
                ASSERT_NE(nullptr, o);
                vmb_close(o, 0);
                model.clear();
                next = 0;
                break;
            }
            }
            EXPECT_EQ(model.size(), size_t(vm_line_count(b)));
            EXPECT_EQ(0, vm_is_fully_read(b));
        }
    }
    // The last directory page given back and taken at once by a buffer that
    // stays: the next block must not go on in that buffer's pages.
    while (vmtest::DirPages(b).size() < 2 && !vm_is_fully_read(b) && !HasFatalFailure()) read_block();
    ASSERT_GE(vmtest::DirPages(b).size(), 2u);
    const size_t dirs = vmtest::DirPages(b).size();
    while (vmtest::DirPages(b).size() == dirs) {
        int n = vm_line_count(b);
        ASSERT_EQ(0, vm_delete_lines(b, n - 99, 100, 0));
        model.resize(model.size() - 100);
    }
    std::vector<std::string> kept(50, std::string(60, 'k'));
    VMB* o = vmtest::MakeBuffer(kept);
    ASSERT_NE(nullptr, o);
    read_block();
    EXPECT_EQ(kept, vmtest::Lines(o));
    EXPECT_EQ("", vmtest::Structure(o));
    vmb_close(o, 0);

    while (!vm_is_fully_read(b) && !HasFatalFailure()) read_block();
    EXPECT_EQ(file.size(), next);
    EXPECT_EQ("", vmtest::Structure(b));
    std::vector<std::string> lines = vmtest::Lines(b);
    ASSERT_EQ(model.size(), lines.size());
    for (size_t i = 0; i < model.size(); ++i)
        if (lines[i] != model[i]) {
            ADD_FAILURE() << "line " << i + 1 << " differs";
            break;
        }
    vmb_close(b, 0);
}

// An unchanged buffer saved the ways a user saves it (the document's save
// and save-as with and without backup or temporary name, the temporary copy
// alone, a forced write, the range the shell and the tables give) writes the
// file back byte for byte, whether it was read to its end or only as far as
// the view went.
TEST_F(LoadSave, UnchangedRoundTripThroughEverySavePath) {
    struct Content {
        const char* name;
        std::string bytes;
    };
    std::string crlf = NumberedLines(1, 5000), lf;
    for (char c : crlf)
        if (c != '\r') lf += c;
    const Content contents[] = {
        {"crlf", crlf},
        {"lf", lf},
        {"crlf unterminated", crlf.substr(0, crlf.size() - 2)},
        {"lf unterminated", lf.substr(0, lf.size() - 1)},
    };
    struct Path {
        uint32_t flags;
        int to_line; // 0: the last line read, with the end-of-line column
    };
    const Path paths[] = {
        {VMB_SAVE_ALL, -1},
        {VMB_SAVE_ALL | VMB_SAVE_NO_BACKUP, -1},
        {VMB_SAVE_ALL | VMB_SAVE_TEMP_NAME, -1},
        {VMB_SAVE_ALL | VMB_SAVE_TEMP_NAME | VMB_SAVE_NO_BACKUP, -1},
        {VMB_SAVE_ALL | VMB_SAVE_TEMP_NAME | VMB_SAVE_TEMP_ONLY, -1},
        {VMB_SAVE_ALL | VMB_SAVE_FORCE | VMB_SAVE_NO_BACKUP, -1},
        {0, 0},
        {VMB_SAVE_ALL | VMB_SAVE_NO_BACKUP, 0},
    };
    for (const Content& c : contents) {
        for (const Path& path : paths) {
            for (int partly = 0; partly < 2; ++partly) {
                for (int elsewhere = 0; elsewhere < 2; ++elsewhere) {
                    SCOPED_TRACE(std::string(c.name) + ", flags " + std::to_string(path.flags) +
                                 ", to line " + std::to_string(path.to_line) +
                                 (partly ? ", partly read" : ", fully read") +
                                 (elsewhere ? ", saved as another file" : ", saved over itself"));
                    TempDir dir;
                    std::string src = dir.file("doc.txt");
                    std::string target = elsewhere ? dir.file("copy.txt") : src;
                    WriteFileBytes(src, c.bytes);
                    VMB* b = Load(src);
                    if (partly) {
                        ASSERT_NE(0, vm_goto_line(b, 10));
                        ASSERT_EQ(0, vm_is_fully_read(b));
                    } else {
                        ASSERT_NE(0, vm_read_lines(b, 0xFFFFFFFFu));
                    }
                    int to = path.to_line < 0 ? -1 : vm_last_ln(b);
                    int to_col = path.to_line < 0 ? -1 : VM_COL_EOL;
                    char temp[VM_NAME_MAX + 1] = "";
                    uint32_t r = vmb_save(target.c_str(), temp, nullptr, b, 1, 0, to, to_col, path.flags);
                    EXPECT_EQ(0u, r);
                    std::string written = (path.flags & VMB_SAVE_TEMP_ONLY) ? temp : target;
                    EXPECT_TRUE(ReadFileBytes(written) == c.bytes);
                    if (!(path.flags & (VMB_SAVE_NO_BACKUP | VMB_SAVE_TEMP_ONLY)) && !elsewhere) {
                        EXPECT_TRUE(ReadFileBytes(src + ".BAK") == c.bytes);
                    }
                    if (partly) {
                        // Saved again once read to its end: the same bytes.
                        ASSERT_NE(0, vm_read_lines(b, 0xFFFFFFFFu));
                        std::string again = dir.file("again.txt");
                        EXPECT_EQ(0u, vmb_save(again.c_str(), nullptr, nullptr, b, 1, 0, -1, -1,
                                               VMB_SAVE_ALL | VMB_SAVE_NO_BACKUP));
                        EXPECT_TRUE(ReadFileBytes(again) == c.bytes);
                    }
                    vmb_close(b, 0);
                }
            }
        }
    }
}

// The loader packs pages as line breaks and inserts would: lines that run
// on over a page end, headers that no longer fit, a page end met exactly,
// lines longer than a page. Same records in the same pages, sound
// structure, the right tags, and the file back byte for byte.
TEST_F(LoadSave, LoadedPagesAreLaidOutAsEditedOnes) {
    std::vector<std::string> lines;
    uint64_t x = 7;
    for (int i = 0; i < 4000; ++i) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        int r = int((x >> 33) % 100);
        size_t len = r < 80 ? (x >> 40) % 120 : r < 95 ? 3990 + (x >> 40) % 110 : 4000 + (x >> 40) % 9000;
        lines.push_back(std::string(len, char('a' + i % 26)));
    }
    std::string bytes;
    for (const std::string& l : lines) bytes += l + "\n";
    std::string src = dir_.file("layout.txt"), dst = dir_.file("layout.out");
    WriteFileBytes(src, bytes);
    VMB* loaded = LoadAll(src);
    VMB* edited = vmtest::MakeBuffer(lines);
    EXPECT_EQ("", vmtest::Structure(loaded));
    auto layout = [](VMB* b) {
        std::vector<std::pair<int, uint32_t>> recs; // kind, length
        for (uint32_t id : vmtest::DataPages(b)) {
            VmGuard g;
            const uint8_t* p = pc_find_page(id, 0);
            for (uint32_t o = VM_PAGE_HDR, used = vmi::rd16(p + 4); o < used; o += VM_LINE_HDR + vmi::rd32(p + o + 1))
                recs.push_back({p[o] & 1, vmi::rd32(p + o + 1)});
            recs.push_back({-1, vmi::rd16(p + 4)});
        }
        return recs;
    };
    EXPECT_TRUE(layout(loaded) == layout(edited));
    for (int line : {1, 777, 2024, 4000}) EXPECT_EQ(uint32_t(line), uint32_t(vm_line_tag(loaded, line, -1, 0)));
    EXPECT_EQ(0u, vmb_save(dst.c_str(), nullptr, nullptr, loaded, 1, 0, -1, -1, VMB_SAVE_ALL));
    EXPECT_TRUE(ReadFileBytes(dst) == bytes);
}

// Lines addressed by number on a buffer whose file is not read that far:
// the file's lines are read first, so the edit lands on the file's line (or
// after the file's end), never in front of lines still to be read.
TEST_F(LoadSave, EditsBeyondTheLinesRead) {
    struct Case {
        const char* name;
        int line;   // -1: vm_append_line; -n: vm_insert_line after line n-1
        bool field; // vm_put_field instead of vm_replace_line
        std::string saved;
    } cases[] = {
        {"replace line 1", 1, false, "X\r\nb\r\nc\r\n"},
        {"replace the last line", 3, false, "a\r\nb\r\nX\r\n"},
        {"replace past the end", 5, false, "a\r\nb\r\nc\r\n\r\nX\r\n"},
        {"field of line 2", 2, true, "a\r\nX;\r\nc\r\n"},
        {"append", -1, false, "a\r\nb\r\nc\r\nX\r\n"},
        {"insert after line 2", -3, false, "a\r\nb\r\nX\r\nc\r\n"},
        {"insert after the last line", -4, false, "a\r\nb\r\nc\r\nX\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string src = dir_.file("few.txt"), dst = dir_.file("few.out");
        WriteFileBytes(src, "a\r\nb\r\nc\r\n");
        VMB* b = Load(src);
        ASSERT_EQ(0, vm_last_ln(b));
        if (c.line == -1) ASSERT_EQ(4, vm_append_line(b, "X"));
        else if (c.line < 0) ASSERT_EQ(-c.line, vm_insert_line(b, -c.line - 1, "X", 1));
        else if (c.field) ASSERT_EQ(1, vm_put_field(b, ';', c.line, 0, "X"));
        else ASSERT_EQ(1, vm_replace_line(b, c.line, "X", 1, 1));
        EXPECT_EQ(0u, vmb_save(dst.c_str(), nullptr, nullptr, b, 1, 0, -1, -1, VMB_SAVE_ALL));
        EXPECT_EQ(c.saved, ReadFileBytes(dst));
        vmb_close(b, 0);
        buf_file_remove(dst.c_str());
    }
}

// The save matrix. The buffer is the target's own document, loaded lazily
// (partly or fully read), with line 1 edited; every successful save must
// leave the whole edited text in the target, whatever the flags.
TEST_F(LoadSave, SaveMatrix) {
    const std::string original = NumberedLines(1, 6000);
    const std::string edited = "EDITED\r\n" + NumberedLines(2, 6000);
    struct Flags {
        uint32_t flags;
        bool backup;
    } flag_cases[] = {
        {0, true},
        {VMB_SAVE_ALL, true},
        {VMB_SAVE_NO_BACKUP, false},
        {VMB_SAVE_ALL | VMB_SAVE_NO_BACKUP, false},
        {VMB_SAVE_TEMP_NAME, true},
        {VMB_SAVE_TEMP_NAME | VMB_SAVE_NO_BACKUP, false},
        {VMB_SAVE_TEMP_NAME | VMB_SAVE_ALL, true},
        {VMB_SAVE_TEMP_NAME | VMB_SAVE_ALL | VMB_SAVE_NO_BACKUP, false},
    };
    for (const Flags& f : flag_cases) {
        for (int partly = 0; partly < 2; ++partly) {
            SCOPED_TRACE("flags " + std::to_string(f.flags) + (partly ? " partly read" : " fully read"));
            TempDir dir;
            std::string target = dir.file("doc.txt");
            WriteFileBytes(target, original);
            VMB* b = Load(target);
            if (partly) {
                ASSERT_NE(0, vm_goto_line(b, 10));
                ASSERT_EQ(0, vm_is_fully_read(b));
            } else {
                vm_read_lines(b, 0xFFFFFFFFu);
            }
            ASSERT_NE(0, vm_replace_line(b, 1, "EDITED", 6, 1));
            char temp[VM_NAME_MAX + 1], bak[VM_NAME_MAX + 1];
            uint32_t r = vmb_save(target.c_str(), temp, bak, b, 1, 0, vm_last_ln(b), -1, f.flags);
            EXPECT_EQ(0u, r);
            EXPECT_TRUE(ReadFileBytes(target) == edited);
            EXPECT_EQ(f.backup, buf_file_exists((target + ".BAK").c_str()) != 0);
            if (f.backup) {
                EXPECT_EQ(target + ".BAK", std::string(bak));
                EXPECT_TRUE(ReadFileBytes(target + ".BAK") == original);
            }
            if (f.flags & VMB_SAVE_TEMP_NAME) {
                EXPECT_NE(target, std::string(temp));
                EXPECT_FALSE(buf_file_exists(temp)); // renamed over the target
            }
            EXPECT_EQ(0u, vm_state_flags(b, -1, VM_ST_UNSAVED | VM_ST_MODIFIED));
            EXPECT_NE(0u, vm_state_flags(b, -1, VM_ST_WRITTEN));
            // The buffer holds the whole text afterwards: saving again (even
            // elsewhere) never writes less.
            EXPECT_EQ(6000, (vm_goto_line(b, VM_LINE_READ_ALL), vm_last_ln(b)));
            std::string copy = dir.file("copy.txt");
            EXPECT_EQ(0u, vmb_save(copy.c_str(), nullptr, nullptr, b, 1, 0, -1, -1,
                                   VMB_SAVE_ALL | VMB_SAVE_NO_BACKUP));
            EXPECT_TRUE(ReadFileBytes(copy) == edited);
            // Unchanged: nothing to do and no error.
            EXPECT_EQ(0u, vmb_save(target.c_str(), nullptr, nullptr, b, 1, 0, -1, -1,
                                   f.flags & ~VMB_SAVE_ALL));
            EXPECT_TRUE(ReadFileBytes(target) == edited);
            vmb_close(b, 0);
        }
    }
}

TEST_F(LoadSave, TempCopyOnlyLeavesTargetAlone) {
    std::string target = dir_.file("t.txt");
    WriteFileBytes(target, "old\r\n");
    VMB* b = LoadAll(target);
    vm_replace_line(b, 1, "new", 3, 1);
    char temp[VM_NAME_MAX + 1];
    EXPECT_EQ(0u, vmb_save(target.c_str(), temp, nullptr, b, 1, 0, -1, -1,
                           VMB_SAVE_TEMP_NAME | VMB_SAVE_TEMP_ONLY));
    EXPECT_EQ("old\r\n", ReadFileBytes(target));
    EXPECT_EQ("new\r\n", ReadFileBytes(temp));
    EXPECT_NE(0u, vm_state_flags(b, -1, VM_ST_TEMPCOPY));
    char recorded[VM_NAME_MAX + 1];
    EXPECT_EQ(1, vmb_path_record(b, 0, recorded));
    EXPECT_STREQ(temp, recorded);
    EXPECT_EQ(0, vmb_save_needed(b, 0));
    // A save of the unchanged buffer with its copy recorded and the target
    // as the name: no error, and nothing to rename.
    vmb_path_record(b, 1, nullptr);
    EXPECT_EQ(0u, vmb_save(target.c_str(), nullptr, nullptr, b, 1, 0, -1, -1, VMB_SAVE_NO_BACKUP));
    EXPECT_EQ("old\r\n", ReadFileBytes(target));
    vmb_path_record(b, 1, temp);
    b->state |= VM_ST_TEMPCOPY;
    // The next temporary-name save reuses the copy and renames it over.
    EXPECT_EQ(0u, vmb_save(target.c_str(), nullptr, nullptr, b, 1, 0, -1, -1, VMB_SAVE_TEMP_NAME));
    EXPECT_EQ("new\r\n", ReadFileBytes(target));
    EXPECT_EQ("old\r\n", ReadFileBytes(target + ".BAK"));
    EXPECT_FALSE(buf_file_exists(temp));
    EXPECT_EQ(0, vmb_path_record(b, 0, recorded));
}

TEST_F(LoadSave, BackupNamesAndBadInput) {
    std::string bakfile = dir_.file("x.bak");
    WriteFileBytes(bakfile, "1\r\n");
    VMB* b = LoadAll(bakfile);
    vm_replace_line(b, 1, "2", 1, 1);
    EXPECT_EQ(0u, vmb_save(bakfile.c_str(), nullptr, nullptr, b, 1, 0, -1, -1, 0));
    EXPECT_FALSE(buf_file_exists((bakfile + ".BAK").c_str()));
    EXPECT_EQ("2\r\n", ReadFileBytes(bakfile));

    EXPECT_EQ(VMB_SR_BAD_BUFFER, vmb_save(bakfile.c_str(), nullptr, nullptr,
                                          reinterpret_cast<VMB*>(&b), 1, 0, -1, -1, 0));
    EXPECT_EQ(VMB_SR_BAD_PATH, vmb_save((dir_.path() + "a<b").c_str(), nullptr, nullptr, b, 1, 0,
                                        -1, -1, 0));
    EXPECT_EQ(VMB_SR_CREATE, vmb_save((dir_.path() + "no/such/folder.txt").c_str(), nullptr,
                                      nullptr, b, 1, 0, -1, -1, VMB_SAVE_NO_BACKUP));
    VMB* missing = vmb_open(VMB_T_FILE, "missing", 0);
    EXPECT_EQ(0, vmb_Stream_Open(missing, dir_.file("missing.txt").c_str(), "r"));
    EXPECT_EQ(0, vmb_Stream_Open(missing, bakfile.c_str(), "rb")); // not a mode
}

// A full disk while saving: the result says so and the old file is intact.
TEST_F(LoadSave, DiskFullKeepsOldFile) {
    const std::string original = NumberedLines(1, 30000);
    const uint32_t flag_cases[] = {0u, VMB_SAVE_NO_BACKUP, VMB_SAVE_TEMP_NAME,
                                   VMB_SAVE_TEMP_NAME | VMB_SAVE_NO_BACKUP};
    for (uint32_t flags : flag_cases) {
        SCOPED_TRACE(flags);
        // A cache large enough that the swap file (on the same full disk)
        // is not needed while saving.
        vms_stop();
        ASSERT_NE(0, vms_start(1000, 4096 * 1000, swap_.c_str(), 0, 0));
        TempDir dir;
        std::string target = dir.file("full.txt");
        WriteFileBytes(target, original);
        VMB* b = Load(target);
        ASSERT_NE(0, vm_goto_line(b, 5));
        vm_replace_line(b, 1, "EDITED", 6, 1);
        uint32_t r;
        {
            ScopedFsFaults layer;
            vm_read_lines(b, 0xFFFFFFFFu); // the swap file still has room
            layer.state.write_budget = 100000;
            r = vmb_save(target.c_str(), nullptr, nullptr, b, 1, 0, -1, -1, flags);
        }
        EXPECT_EQ(VMB_SR_WRITE, r & VMB_SR_FAILURES);
        EXPECT_TRUE(ReadFileBytes(target) == original);
        EXPECT_FALSE(buf_file_exists((target + ".BAK").c_str()));
        EXPECT_NE(0u, vm_state_flags(b, -1, VM_ST_UNSAVED)); // still unsaved
        // Room again: the text was never lost.
        EXPECT_EQ(0u, vmb_save(target.c_str(), nullptr, nullptr, b, 1, 0, -1, -1, flags));
        EXPECT_TRUE(ReadFileBytes(target) == "EDITED\r\n" + NumberedLines(2, 30000));
        vmb_close(b, 0);
    }
}

// A target that another program holds open without sharing, or that is
// read-only: a clear result and the old file intact. Under Windows the lock
// is real; the read-only file (which Wine running as root would let us
// write) and the host's lock are played by the file layer.
TEST_F(LoadSave, LockedAndReadOnlyTargets) {
    struct Case {
        bool locked;
        uint32_t flags;
        uint32_t want;
    } cases[] = {
        {true, 0, VMB_SR_BAK_RENAME | VMB_SR_CREATE},
        {true, VMB_SAVE_NO_BACKUP, VMB_SR_CREATE},
        {true, VMB_SAVE_TEMP_NAME, VMB_SR_TARGET_BAK},
        {true, VMB_SAVE_TEMP_NAME | VMB_SAVE_NO_BACKUP, VMB_SR_TARGET_DELETE},
        {false, VMB_SAVE_NO_BACKUP, VMB_SR_CREATE},
        {false, VMB_SAVE_TEMP_NAME | VMB_SAVE_NO_BACKUP, VMB_SR_TARGET_DELETE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.locked ? "locked " : "read-only ") + std::to_string(c.flags));
        TempDir dir;
        std::string target = dir.file("held.txt");
        WriteFileBytes(target, "old\r\n");
        VMB* b = vmb_create_temp();
        ASSERT_NE(0, vm_append_line(b, "new"));
        char temp[VM_NAME_MAX + 1] = "";
        uint32_t r;
        {
#ifdef _WIN32
            if (c.locked) {
                HANDLE h = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                       nullptr);
                ASSERT_NE(INVALID_HANDLE_VALUE, h);
                r = vmb_save(target.c_str(), temp, nullptr, b, 1, 0, -1, -1, c.flags);
                CloseHandle(h);
            } else
#endif
            {
                ScopedFsFaults layer;
                (c.locked ? layer.state.locked : layer.state.readonly).insert(target);
                r = vmb_save(target.c_str(), temp, nullptr, b, 1, 0, -1, -1, c.flags);
            }
        }
        EXPECT_EQ(c.want, r);
        EXPECT_EQ("old\r\n", ReadFileBytes(target));
        if (c.flags & VMB_SAVE_TEMP_NAME) {
            EXPECT_EQ("new", ReadFileBytes(temp)); // left for the user
        }
        vmb_close(b, 0);
    }
}

} // namespace
