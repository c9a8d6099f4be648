// Line and position operations: their special values, edge cases and the
// mended faults.
#include "tests/VmEngine/vm_test_support.h"

#include <cstring>

namespace {

using vmtest::EngineTest;
using vmtest::Lines;
using vmtest::MakeBuffer;
using vmtest::Structure;
using V = std::vector<std::string>;

using LineOps = EngineTest;

bool SamePosition(const vmi::PosSave& a, const vmi::PosSave& b) {
    return a.line == b.line && a.col == b.col && a.page == b.page && a.rec == b.rec && a.chr == b.chr &&
           a.dir == b.dir && a.page_addr == b.page_addr && a.dir_entry == b.dir_entry;
}

TEST_F(LineOps, FailedPositioningRestoresTheHandle) {
    VMB* b = MakeBuffer({"abc", std::string(5000, 'l'), ""});
    ASSERT_EQ(1, vm_set_position(b, 2, 4500));
    vmi::PosSave before = vmi::save_pos(b);
    for (auto [line, col] : {std::pair{0, 0}, {4, 0}, {-1, 0}, {1, 4}, {2, 5001}, {3, 1}, {1, -3}}) {
        EXPECT_EQ(0, vm_set_position(b, line, col)) << line << ":" << col;
        EXPECT_TRUE(SamePosition(before, vmi::save_pos(b))) << line << ":" << col;
    }
    EXPECT_EQ(1, vm_set_position(b, 2, -2));
    EXPECT_EQ(5000, vm_cur_col(b));
    EXPECT_EQ(1, vm_set_position_eol(b, 1));
    EXPECT_EQ(3, vm_cur_col(b));
    // Without a stream -3 reads nothing and the positioning fails.
    EXPECT_EQ(0, vm_goto_line(b, VM_LINE_READ_ALL));
    EXPECT_EQ(3, vm_last_ln(b));
}

TEST_F(LineOps, CharactersFollowContinuationsBothWays) {
    std::string longline(4100, '.');
    longline[4076] = 'x';
    longline[4077] = 'y';
    VMB* b = MakeBuffer({longline});
    ASSERT_EQ(1, vm_set_position(b, 1, 4076));
    EXPECT_EQ('x', vm_peek_char(b));
    EXPECT_EQ('x', vm_get_char(b, 0));
    EXPECT_EQ('y', vm_get_char(b, 0));
    EXPECT_EQ(4078, vm_cur_col(b));
    EXPECT_EQ('y', vm_get_char(b, VM_GC_BACK));
    EXPECT_EQ('x', vm_get_char(b, VM_GC_BACK));
    EXPECT_EQ(4076, vm_cur_col(b));
    ASSERT_EQ(1, vm_set_position_eol(b, 1));
    EXPECT_EQ(-2, vm_get_char(b, 0));
    ASSERT_EQ(1, vm_set_position(b, 1, 0));
    EXPECT_EQ(-2, vm_get_char(b, VM_GC_BACK));
    EXPECT_EQ(-1, vm_char_at(b, 1, 4100));
    EXPECT_EQ(2 + 4100, vm_line_span(b, 0) + 2);
}

TEST_F(LineOps, InsertLineZeroAndAfterN) {
    VMB* b = MakeBuffer({"one", "two"});
    vm_line_tag(b, 1, 1, 11);
    EXPECT_EQ(1, vm_insert_line(b, 0, "zero", -1));
    EXPECT_EQ(3, vm_insert_line(b, 2, "mid", -1));
    EXPECT_EQ((V{"zero", "one", "mid", "two"}), Lines(b));
    EXPECT_EQ(11, vm_line_tag(b, 2, -1, 0)); // "one" kept its tag
    EXPECT_EQ(0, vm_line_tag(b, 3, -1, 0));  // lines made by editing: tag 0
    EXPECT_EQ(0, vm_insert_line(b, 6, "x", -1));
    EXPECT_EQ(0, vm_insert_line(b, -1, "x", -1));
    EXPECT_EQ(0, vm_insert_line(b, 1, static_cast<const char*>(nullptr), 1));
    EXPECT_EQ(5, vm_append_line(b, ""));
    EXPECT_EQ(0, vm_append_line(b, nullptr));
    EXPECT_EQ(5, vm_last_ln(b));
}

TEST_F(LineOps, BreakingALineAtItsStartMovesTagAndFlagsDown) {
    VMB* b = MakeBuffer({"abc", "def"});
    vm_line_flags(b, 1, 1, 0x11);
    vm_line_tag(b, 1, 1, 77);
    int b_lex = 5;
    vm_line_lex_state(b, 1, 3, &b_lex);
    ASSERT_EQ(1, vm_set_position(b, 1, 0));
    ASSERT_EQ(1, vm_split_line(b, 1));
    EXPECT_EQ((V{"", "abc", "def"}), Lines(b));
    EXPECT_EQ(0x0, vm_line_flags(b, 1, -1, 0xFFFF));
    EXPECT_EQ(0, vm_line_tag(b, 1, -1, 0));
    EXPECT_EQ(0x13, vm_line_flags(b, 2, -1, 0xFFFF));
    EXPECT_EQ(77, vm_line_tag(b, 2, -1, 0));
    EXPECT_EQ(3, vm_line_lex_state(b, 2, -1, &b_lex));
    EXPECT_EQ(5, b_lex);
    // Inside the line: the new line gets flags 0x2, tag 0, the lexical bytes.
    ASSERT_EQ(1, vm_set_position(b, 2, 1));
    ASSERT_EQ(1, vm_split_line(b, 0));
    EXPECT_EQ((V{"", "a", "bc", "def"}), Lines(b));
    EXPECT_EQ(0x2, vm_line_flags(b, 3, -1, 0xFFFF));
    EXPECT_EQ(0, vm_line_tag(b, 3, -1, 0));
    EXPECT_EQ(3, vm_line_lex_state(b, 3, -1, &b_lex));
    EXPECT_EQ(77, vm_line_tag(b, 2, -1, 0));
}

TEST_F(LineOps, JoiningCombinesFlagsAndLexicalBytes) {
    VMB* b = MakeBuffer({"ab", "cd", "ef"});
    vm_line_flags(b, 1, 1, 0x1);
    vm_line_flags(b, 2, 0, 0xFFFF);
    vm_line_flags(b, 2, 1, 0x6);
    int lb = 0x10;
    vm_line_lex_state(b, 1, 0x01, &lb);
    lb = 0x20;
    vm_line_lex_state(b, 2, 0x02, &lb);
    int col = -1;
    EXPECT_EQ(2, vm_join_lines(b, 1, &col));
    EXPECT_EQ(2, col);
    EXPECT_EQ((V{"abcd", "ef"}), Lines(b));
    EXPECT_EQ(0x5, vm_line_flags(b, 1, -1, 0xFFFF));
    EXPECT_EQ(0x03, vm_line_lex_state(b, 1, -1, &lb));
    EXPECT_EQ(0x30, lb);
    EXPECT_EQ(-1, vm_join_lines(b, 2, &col)); // no next line
    EXPECT_EQ(-1, vm_join_lines(b, 0, &col));
}

TEST_F(LineOps, CaseBitsApplyToPutCharacters) {
    VMB* b = MakeBuffer({""});
    ASSERT_EQ(1, vm_set_position(b, 1, 0));
    vm_state_flags(b, 1, VM_ST_UPPER_ONCE);
    ASSERT_EQ(1, vm_put_string(b, "ab", 0));
    EXPECT_EQ(0u, vm_state_flags(b, -1, VM_ST_UPPER_ONCE));
    vm_state_flags(b, 1, VM_ST_LOWER);
    ASSERT_EQ(1, vm_put_string(b, "CD", 'E'));
    EXPECT_EQ(VM_ST_LOWER, vm_state_flags(b, -1, VM_ST_LOWER)); // persistent
    ASSERT_EQ(3, vm_insert_text(b, 1, 0, "XyZ", -1));
    vm_state_flags(b, 0, VM_ST_LOWER);
    ASSERT_EQ(1, vm_put_int(b, -42));
    EXPECT_EQ((V{"xyz-42Abcde"}), Lines(b));
    // Putting into an empty buffer makes its first line.
    VMB* e = vmb_open(2, nullptr, 0);
    ASSERT_EQ(1, vm_put_char(e, 'q'));
    EXPECT_EQ((V{"q"}), Lines(e));
    EXPECT_EQ(VM_ST_EDIT | 0x40u | 0x20000u, vm_state_flags(e, -1, 0xFFFFFFFF));
}

TEST_F(LineOps, EditsMarkTheBufferOrNot) {
    struct Case {
        const char* what;
        int (*edit)(VMB*);
        bool marks;
    };
    const Case cases[] = {
        {"insert_line", [](VMB* b) { return vm_insert_line(b, 1, "x", -1); }, true},
        {"insert_line_nomod", [](VMB* b) { return vm_insert_line_nomod(b, 1, "x", -1); }, false},
        {"append_line_ex 0", [](VMB* b) { return vm_append_line_ex(b, "x", 0); }, false},
        {"insert_empty_line", [](VMB* b) { return vm_insert_empty_line(b, 0); }, true},
        {"insert_text", [](VMB* b) { return vm_insert_text(b, 1, 0, "x", 1); }, false},
        {"replace_char", [](VMB* b) { return vm_replace_char(b, 'Z', 1, 0); }, true},
        {"replace_line mark", [](VMB* b) { return vm_replace_line(b, 1, "new", -1, 1); }, true},
        {"replace_line no mark", [](VMB* b) { return vm_replace_line(b, 1, "new", -1, 0); }, false},
        {"replace_line empty line", [](VMB* b) { return vm_replace_line(b, 2, "new", -1, 1); }, false},
        {"replace_line missing line", [](VMB* b) { return vm_replace_line(b, 4, "new", -1, 0); }, true},
        {"delete_line", [](VMB* b) { return vm_delete_line(b, 1); }, false},
        {"delete_lines mark", [](VMB* b) { return vm_delete_lines(b, 1, 1, 1) + 1; }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VMB* b = MakeBuffer({"abc", ""});
        vm_state_flags(b, 0, 0xFFFFFFFF);
        EXPECT_GT(c.edit(b), 0);
        EXPECT_EQ(c.marks ? 0x9u : 0u, vm_state_flags(b, -1, 0x9));
        EXPECT_EQ("", Structure(b));
        vmb_close(b, 0);
    }
    VMB* f = vmb_open(VMB_T_FILE, nullptr, 0);
    vm_append_line(f, "x");
    EXPECT_EQ(VM_ST_EDIT | 0x40u | 0x20000u | 0x8000u, vm_state_flags(f, -1, 0xFFFFFFFF));
}

TEST_F(LineOps, ReplaceLineBeyondTheEndAppendsEmptyLines) {
    VMB* b = MakeBuffer({"a"});
    ASSERT_EQ(1, vm_replace_line(b, 4, "four", -1, 0));
    EXPECT_EQ((V{"a", "", "", "four"}), Lines(b));
    EXPECT_EQ(0, vm_replace_line(b, 0, "x", -1, 0));
    EXPECT_EQ(0, vm_replace_line(b, 1, nullptr, 0, 0));
}

TEST_F(LineOps, Fields) {
    VMB* b = MakeBuffer({"one;;three", "a;"});
    char f[8];
    ASSERT_EQ(1, vm_set_position(b, 1, 0));
    EXPECT_EQ(3, vm_get_field(b, ';', f, 7));
    EXPECT_STREQ("one", f);
    EXPECT_EQ(0, vm_get_field(b, ';', f, 7)); // at a delimiter: empty, consumed
    EXPECT_EQ(2, vm_get_field(b, ';', f, 2)); // cut to max
    EXPECT_STREQ("th", f);
    EXPECT_EQ(-1, vm_get_field(b, ';', f, 7)); // at the end
    ASSERT_EQ(1, vm_set_position(b, 1, 0));
    EXPECT_EQ(0 | 0x8000, vm_skip_fields(b, ';', 3));
    ASSERT_EQ(1, vm_set_position(b, 1, 0));
    EXPECT_EQ(1 | 0x8000, vm_skip_fields(b, ';', 4));
    // One field and its delimiter: n 1 appends, n 2 fails and changes nothing.
    EXPECT_EQ(1, vm_put_field(b, ';', 2, 1, "b"));
    EXPECT_EQ("a;b;", Lines(b)[1]);
    EXPECT_EQ(0, vm_put_field(b, ';', 2, 3, "c"));
    EXPECT_EQ("a;b;", Lines(b)[1]);
    // An existing field is replaced with its delimiter.
    EXPECT_EQ(1, vm_put_field(b, ';', 1, 1, "TWO"));
    EXPECT_EQ(1, vm_put_field_int(b, ';', 1, 0, 12));
    EXPECT_EQ("12;TWO;three", Lines(b)[0]);
    ASSERT_EQ(1, vm_set_position(b, 1, 0));
    EXPECT_EQ(12, vm_get_field_int(b, ';'));
    // A missing line is made.
    EXPECT_EQ(1, vm_put_field(b, ',', 4, 0, "new"));
    EXPECT_EQ((V{"12;TWO;three", "a;b;", "", "new,"}), Lines(b));
}

TEST_F(LineOps, SortedLists) {
    VMB* b = MakeBuffer({"apple", "cherry", "melon"});
    int code = 9;
    EXPECT_EQ(2, vm_find_line(b, "banana", 0));
    EXPECT_EQ(5, vm_find_line(b, "zucchini", 0));
    EXPECT_EQ(1, vm_find_line(b, "aardvark", 0));
    EXPECT_EQ((V{"aardvark", "apple", "banana", "cherry", "melon", "zucchini"}), Lines(b));
    EXPECT_EQ(1, vm_find_line(b, "aardvark", VM_CMP_NO_DUP));
    EXPECT_EQ(6, vm_last_ln(b));
    EXPECT_EQ(2, vm_find_line(b, "aardvark", 0)); // after the equal line
    EXPECT_EQ(3, vm_bsearch(b, "APPLE", VM_CMP_NOCASE, &code));
    EXPECT_EQ(0, code);
    vm_bsearch(b, "cherrz", 0, &code);
    EXPECT_EQ(1, code);
    // Empty range and column without tab settings.
    EXPECT_EQ(3, vm_bsearch_range(b, 4, 3, "x", nullptr, 1, 0, &code));
    EXPECT_EQ(-2, code);
    EXPECT_EQ(-1, vm_bsearch_range(b, 1, 3, "x", nullptr, 2, 0, &code));
    EXPECT_EQ(-3, code);
    VMB* e = vmb_open(2, nullptr, 0);
    EXPECT_EQ(0, vm_bsearch(e, "x", 0, &code));
    EXPECT_EQ(-2, code);
    EXPECT_EQ(1, vm_find_line(e, "x", 0));
}

TEST_F(LineOps, CompareOptions) {
    VMB* tab = MakeBuffer({"alpha\t3", "beta\t1", "gamma\t2"});
    int code = 0;
    EXPECT_EQ(2, vm_bsearch(tab, "beta", VM_CMP_FIRST_TAB, &code));
    EXPECT_EQ(0, code);
    vm_bsearch(tab, "beta", 0, &code);
    EXPECT_NE(0, code);
    EXPECT_EQ(2, vm_bsearch(tab, "beta\tzzz", VM_CMP_FIRST_TAB | VM_CMP_PREFIX, &code));
    EXPECT_EQ(0, code);
    // Display column 3 of "x\tkey" with tab width 4 starts after the tab... at "key".
    VMB* col = MakeBuffer({"x\tabc", "y\tkey", "z\tzzz"});
    VM_TABS tabs{4, 0};
    EXPECT_EQ(2, vm_bsearch_range(col, 0, 0, "key", &tabs, 5, 0, &code));
    EXPECT_EQ(0, code);
    // Path order: shorter folder part first.
    VMB* paths = MakeBuffer({"b.c", "z\\a.c", "a\\b\\c.c"});
    EXPECT_EQ(2, vm_bsearch(paths, "z\\a.c", VM_CMP_PATH, &code));
    EXPECT_EQ(0, code);
    EXPECT_EQ(4, vm_find_line(paths, "a\\b\\d.c", VM_CMP_PATH));
    EXPECT_EQ(1, vm_find_line(paths, "a.c", VM_CMP_PATH));
    EXPECT_EQ(-1, vm_bsearch_named("no such", "x", 0, &code));
    vmb_open(VMB_T_FILE, "named", 0);
    EXPECT_EQ(0, vm_bsearch_named("NAMED", "x", 0, &code));
    EXPECT_EQ(-2, code);
}

TEST_F(LineOps, DeleteLinesAndClear) {
    VMB* b = MakeBuffer({"1", "2", "3", "4", "5"});
    vm_set_mark_line(b, 4);
    vm_set_lex_line(b, 3);
    vm_aux_value(b, 1, 99);
    EXPECT_EQ(0, vm_delete_lines(b, 2, 2, 0));
    EXPECT_EQ((V{"1", "4", "5"}), Lines(b));
    EXPECT_EQ(0, vm_delete_lines(b, 2, 10, 0));
    EXPECT_EQ((V{"1"}), Lines(b));
    EXPECT_EQ(-1, vm_delete_lines(b, 0, 1, 0));
    EXPECT_EQ(1, vm_clear(b, 1));
    EXPECT_EQ(1, vm_mark_line(b));
    EXPECT_EQ(0, vm_lex_line(b));
    EXPECT_EQ(0, vm_has_attachment(b));
    EXPECT_EQ(0x9u, vm_state_flags(b, -1, 0x9));
    EXPECT_EQ(-1, vm_clear(b, 0)); // no lines
    // delete_char -1: the rest of the buffer, line breaks counted.
    VMB* c = MakeBuffer({"abcd", "ef", "g"});
    ASSERT_EQ(1, vm_set_position(c, 1, 1));
    EXPECT_EQ(3 + 1 + 2 + 1 + 1, vm_delete_char(c, VM_DEL_TO_END));
    EXPECT_EQ((V{"a"}), Lines(c));
    EXPECT_EQ(1, vm_cur_col(c));
    EXPECT_EQ("", Structure(c));
}

// A copy inside one buffer whose destination lies inside the source range
// reads the whole range first, so it never copies its own output.
TEST_F(LineOps, CopyBlockWithinOneBuffer) {
    VMB* b = MakeBuffer({"ab", "cd", "ef"});
    ASSERT_EQ(1, vm_copy_block(b, 2, 1, b, 1, 1, 3, VM_COL_EOL_COPY));
    EXPECT_EQ((V{"ab", "cb", "cd", "efd", "ef"}), Lines(b));
    EXPECT_EQ("", Structure(b));
    // A destination at or before the source's first line is refused.
    EXPECT_EQ(0, vm_copy_block(b, 1, 0, b, 1, 0, 2, 1));
    EXPECT_EQ(0, vm_copy_block(b, 3, 0, b, 1, 0, 9, 1));  // range beyond the end
    EXPECT_EQ(0, vm_copy_block(b, 3, 0, b, 1, 3, 1, -3)); // column beyond the end
    EXPECT_EQ(5, vm_last_ln(b));
    VMB* d = MakeBuffer({"[]"});
    ASSERT_EQ(1, vm_copy_block(d, 1, 1, b, 1, 0, 2, 1));
    EXPECT_EQ((V{"[ab", "c]"}), Lines(d));
}

TEST_F(LineOps, CopyBufferAndAppendCopy) {
    VMB* src = MakeBuffer({"x", std::string(6000, 'y'), "z"});
    vm_line_flags(src, 2, 1, 0x18);
    vm_line_tag(src, 3, 1, 300);
    VMB* dst = MakeBuffer({"old"});
    ASSERT_EQ(1, vm_copy_buffer(dst, src));
    EXPECT_EQ(Lines(src), Lines(dst));
    EXPECT_EQ(0x18, vm_line_flags(dst, 2, -1, 0x18));
    EXPECT_EQ(300, vm_line_tag(dst, 3, -1, 0));
    EXPECT_EQ(0, vm_copy_buffer(dst, dst));
    EXPECT_EQ("", Structure(dst));
    // Duplicating a line in one buffer: only after the copied line.
    EXPECT_EQ(0, vm_append_copy(dst, 0, dst, 1));
    EXPECT_EQ(2, vm_append_copy(dst, 1, dst, 1));
    EXPECT_EQ(5, vm_append_copy(dst, -1, src, 3));
    EXPECT_EQ((V{"x", "x", std::string(6000, 'y'), "z", "z"}), Lines(dst));
}

TEST_F(LineOps, FlagsTagsAndFlaggedLines) {
    VMB* b = MakeBuffer({"1", "2", "3", "4", "5"});
    EXPECT_EQ(5, vm_line_flags_range(b, 0, 0, 0, 0xFFFF, 1));
    EXPECT_EQ(4, vm_line_tag(b, 4, -1, 0));
    vm_line_flags(b, 2, 1, 0x8);
    vm_line_flags(b, 4, 1, 0x8);
    ASSERT_EQ(1, vm_set_position(b, 3, 0));
    EXPECT_EQ(0x8, vm_line_flags(b, 4, 1 | VM_OP_KEEP_POS, 0x8));
    EXPECT_EQ(3, vm_cur_line(b));
    EXPECT_EQ(4, vm_find_flagged_line(b, 0, 1, 0, 0x8, 1));
    EXPECT_EQ(2, vm_find_flagged_line(b, 5, 1, 1, 0x8, 1)); // wraps to line 1
    EXPECT_EQ(0, vm_find_flagged_line(b, 5, 1, 0, 0x8, 1));
    EXPECT_EQ(4, vm_find_flagged_line(b, 1, 0, 1, 0x8, 1)); // backward from 1 wraps to 5
    EXPECT_EQ(0, vm_find_flagged_line(b, 1, 1, 1, 0x4000, 1)); // none: once round
    // Tags: found by walking from a line in either direction.
    vm_insert_line(b, 2, "new", -1); // tag 0; numbers shift
    EXPECT_EQ(5, vm_line_tag(b, 2, 0, 4));
    EXPECT_EQ(1, vm_line_tag(b, 6, 0, 1));
    EXPECT_EQ(0, vm_line_tag(b, 1, 0, 42));
    EXPECT_EQ(1, vm_line_tag(b, 0, 1, 0)); // renumber every line
    EXPECT_EQ(6, vm_line_tag(b, 6, -1, 0));
}

TEST_F(LineOps, CountersAndSizes) {
    VMB* b = MakeBuffer({"abc", "de"});
    EXPECT_EQ(1u, vm_seq_get(b));
    EXPECT_EQ(2u, vm_seq_next(b));
    EXPECT_EQ(7, vm_user_value(b, 7));
    EXPECT_EQ(7, vm_user_value(b, -1));
    // A line break adds a line, not characters: the estimate is what a save writes.
    ASSERT_EQ(1, vm_set_position(b, 1, 1));
    ASSERT_EQ(1, vm_split_line(b, 1));
    EXPECT_EQ(5u + 2 * 2, vm_size_estimate(b));
    vm_state_flags(b, 1, VM_ST_LF | VM_ST_FINAL_EOL);
    EXPECT_EQ(5u + 3, vm_size_estimate(b));
    ASSERT_EQ(1, vm_set_position(b, 3, 1));
    EXPECT_EQ(1u + 2 + 3 + 1, vm_position_offset(b));
    EXPECT_EQ(1, vm_line_equals(b, 2, "bc"));
    EXPECT_EQ(0, vm_line_equals(b, 2, "b"));
    EXPECT_EQ(0, vm_line_equals(b, 2, nullptr));
    EXPECT_EQ(1, vm_col_past_end(b, 2, 2));
    EXPECT_EQ(0, vm_col_past_end(b, 2, 1));
    EXPECT_EQ(1, vm_is_fully_read(b));
}

TEST_F(LineOps, LinePointerAndPadding) {
    VMB* b = MakeBuffer({"ab", "cd"});
    char* p = vm_line_ptr(b, 2, 2);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0, std::memcmp(p, "cd", 2));
    vm_line_ptr(b, 2, 3);
    ASSERT_EQ(1, vm_set_position(b, 1, 0));
    EXPECT_EQ(3, vm_pad_line(b, '.', 5));
    EXPECT_EQ(0, vm_pad_line(b, '.', 2));
    EXPECT_EQ(0, vm_replace_char(b, '!', 0, 0)); // at the end of the line: nothing
    EXPECT_EQ(0, vm_replace_char(b, '!', 1, 5));
    EXPECT_EQ(1, vm_replace_char(b, '!', 1, 1));
    EXPECT_EQ(2, vm_cur_col(b));
    EXPECT_EQ(1, vm_replace_char(b, '?', 0, 0)); // the current position
    EXPECT_EQ((V{"a!?..", "cd"}), Lines(b));
}

} // namespace
