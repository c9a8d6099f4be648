// Byte-exact page contents for small cases, long lines over several pages,
// the 4084-byte rule and page release.
#include "tests/VmEngine/vm_test_support.h"

#include "VmEngine/pagecache.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using vmtest::DataPages;
using vmtest::DirPages;
using vmtest::EngineTest;
using vmtest::Lines;
using vmtest::PageHex;
using vmtest::Structure;

using Pages = EngineTest;

TEST_F(Pages, ThreeShortLinesInOnePage) {
    VMB* b = vmb_open(2, nullptr, 0);
    vm_append_line(b, "ab");
    vm_append_line(b, "");
    vm_append_line(b, "xyz");
    ASSERT_EQ(1u, DirPages(b).size());
    ASSERT_EQ(1u, DataPages(b).size());
    uint32_t dir = DirPages(b)[0], data = DataPages(b)[0];
    char expect_dir[128];
    std::snprintf(expect_dir, sizeof expect_dir,
                  "%02x 00 00 00 00 00 00 00 00 00 00 00 01 00 %02x 00 00 00 03 00 32 00", dir, data);
    EXPECT_EQ(expect_dir, PageHex(dir, 22));
    char id[16];
    std::snprintf(id, sizeof id, "%02x 00 00 00 ", data);
    EXPECT_EQ(std::string(id) +
                  "32 00 "
                  // "ab": the buffer's first line, flags 0
                  "00 02 00 00 00 00 00 00 00 00 00 00 00 61 62 "
                  // "": made by a line break, flags 0x2
                  "00 00 00 00 00 02 00 00 00 00 00 00 00 "
                  // "xyz"
                  "00 03 00 00 00 02 00 00 00 00 00 00 00 78 79 7a",
              PageHex(data, 50));
}

TEST_F(Pages, ALongLineContinuesInTheNextPages) {
    VMB* b = vmb_open(2, nullptr, 0);
    std::string text(9000, 'q');
    text[4076] = 'A'; // last byte of the first page
    text[4077] = 'B'; // first byte of the continuation
    ASSERT_EQ(1, vm_insert_line(b, 0, text.data(), int(text.size())));
    ASSERT_EQ("", Structure(b));
    EXPECT_EQ(1, vm_last_ln(b));
    EXPECT_EQ(9000, vm_line_length(b, 1));
    std::vector<uint32_t> pages = DataPages(b);
    ASSERT_EQ(3u, pages.size()); // 4077 + 4077 + 846 text bytes
    // Continuation record: kind 1, its length, zero flags, lexical bytes and tag.
    EXPECT_EQ("00 10 01 ed 0f 00 00 00 00 00 00 00 00 00 00 42", PageHex(pages[1], 20).substr(12));
    EXPECT_EQ("61 03 01 4e 03 00 00", PageHex(pages[2], 11).substr(12).substr(0, 20));
    EXPECT_EQ('A', vm_char_at(b, 1, 4076));
    EXPECT_EQ('B', vm_char_at(b, 1, 4077));
    // Reading returns the whole text; the directory counts one line start.
    EXPECT_EQ((std::vector<std::string>{text}), Lines(b));
    // A second line after it starts in the last page.
    ASSERT_EQ(2, vm_append_line(b, "next"));
    EXPECT_EQ(3u, DataPages(b).size());
    EXPECT_EQ("next", Lines(b)[1]);
    ASSERT_EQ("", Structure(b));
}

// A header is started only while the page has fewer than 4084 bytes used.
TEST_F(Pages, NewRecordHeadersStopAt4084BytesUsed) {
    struct Case {
        int first_len; // bytes used = 19 + first_len
        size_t pages;
    };
    for (Case c : {Case{4064, 1}, Case{4065, 2}, Case{4077, 2}}) {
        SCOPED_TRACE(c.first_len);
        VMB* b = vmb_open(2, nullptr, 0);
        std::string t(size_t(c.first_len), 'x');
        vm_append_line(b, t.c_str());
        vm_append_line(b, "");
        EXPECT_EQ(c.pages, DataPages(b).size());
        EXPECT_EQ("", Structure(b));
        vmb_close(b, 0);
    }
}

TEST_F(Pages, DeletingAllTextReleasesEveryPage) {
    VMB* b = vmb_open(2, nullptr, 0);
    std::string t(3000, 'z');
    for (int i = 0; i < 50; ++i)
        vm_append_line(b, t.c_str());
    std::vector<uint32_t> before = DataPages(b);
    before.push_back(DirPages(b)[0]);
    uint32_t highest = *std::max_element(before.begin(), before.end());
    for (int i = 50; i >= 1; --i)
        ASSERT_EQ(1, vm_delete_line(b, i));
    EXPECT_EQ(0u, b->dir_first);
    EXPECT_EQ(0u, b->page_id);
    EXPECT_EQ(0, vm_last_ln(b));
    EXPECT_EQ(0u, b->char_count);
    // Released ids come back before any new one.
    VMB* c = vmb_open(2, nullptr, 0);
    for (int i = 0; i < 50; ++i)
        vm_append_line(c, t.c_str());
    for (uint32_t id : DataPages(c))
        EXPECT_LE(id, highest);
    // A buffer without lines cannot be positioned.
    EXPECT_EQ(0, vm_set_position(b, 1, 0));
    EXPECT_EQ(-1, vm_get_char(b, 0));
}

TEST_F(Pages, ReservedLineMustFitInOneRecord) {
    VMB* b = vmb_open(2, nullptr, 0);
    std::string nearly_full(4000, 'n');
    vm_append_line(b, nearly_full.c_str());
    vm_append_line(b, "after");
    // Beyond a page's record room: refused, nothing inserted.
    EXPECT_EQ(nullptr, vm_insert_line(b, 1, nullptr, 4078));
    EXPECT_EQ(2, vm_last_ln(b));
    // The largest reservation goes to a page of its own and can be filled whole.
    char* p = vm_insert_line(b, 1, nullptr, 4077);
    ASSERT_NE(nullptr, p);
    std::memset(p, 'r', 4077);
    EXPECT_EQ("", Structure(b));
    EXPECT_EQ((std::vector<std::string>{nearly_full, std::string(4077, 'r'), "after"}), Lines(b));
    EXPECT_EQ(0x1u, vm_state_flags(b, -1, 0x1));
    // A small one in place.
    char* q = vm_insert_line(b, 0, nullptr, 3);
    ASSERT_NE(nullptr, q);
    std::memcpy(q, "top", 3);
    EXPECT_EQ("top", Lines(b)[0]);
    EXPECT_EQ("", Structure(b));
    EXPECT_EQ(nullptr, vm_insert_line(b, 0, nullptr, -1));
    EXPECT_EQ(nullptr, vm_insert_line(b, 9, nullptr, 1));
}

// The smallest cache (60 frames), so that nearly every page lives in the
// swap file and released ids go through the chain there.
class SwappedPages : public EngineTest {
protected:
    uint32_t CacheBytes() const override { return 0; }
};

// A large buffer closed and its ids taken by others, twice over, while a
// buffer whose pages lie between them stays open: the ids of the closed one
// (far more than the in-memory stack holds) are recorded for reuse without
// touching the open buffer's pages, and come back before the file grows.
TEST_F(SwappedPages, IdsOfAClosedBufferAreReusedByOthers) {
    auto line = [](char c, int i, size_t len) {
        std::string s = std::to_string(i) + ":";
        return s + std::string(len - s.size(), c);
    };
    VMB* big = vmb_open(2, nullptr, 0);
    VMB* kept = vmb_open(2, nullptr, 0);
    std::vector<std::string> kept_lines;
    uint32_t highest = 0;
    for (int i = 0; i < 5000; ++i) { // about a page per line
        ASSERT_EQ(i + 1, vm_append_line(big, line('a', i, 3000).c_str()));
        if (i % 10 == 0) {
            kept_lines.push_back(line('k', i, 1500 + i % 700));
            ASSERT_EQ(int(kept_lines.size()), vm_append_line(kept, kept_lines.back().c_str()));
        }
    }
    for (uint32_t id : DataPages(big)) highest = std::max(highest, id);
    for (uint32_t id : DataPages(kept)) highest = std::max(highest, id);
    for (uint32_t id : DirPages(big)) highest = std::max(highest, id);
    for (uint32_t id : DirPages(kept)) highest = std::max(highest, id);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(1, vmb_close(big, 0));
        big = vmb_open(2, nullptr, 0);
        std::vector<std::string> big_lines;
        for (int i = 0; i < 4800; ++i) {
            big_lines.push_back(line(char('b' + round), i, 2900 + i % 100));
            ASSERT_EQ(i + 1, vm_append_line(big, big_lines.back().c_str()));
        }
        for (uint32_t id : DataPages(big)) EXPECT_LE(id, highest);
        for (uint32_t id : DirPages(big)) EXPECT_LE(id, highest);
        EXPECT_EQ("", Structure(big));
        EXPECT_EQ("", Structure(kept));
        EXPECT_EQ(big_lines, Lines(big));
        EXPECT_EQ(kept_lines, Lines(kept));
    }
}

} // namespace
