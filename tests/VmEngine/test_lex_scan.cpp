// Lexical-state scan: forward scan, backward search, invalidation, the
// background advance and the early stop, driven by the test language table.
#include "VmEngine/vmlex.h"
#include "tests/VmEngine/test_lex_lang.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lextest;

namespace {

class LexScan : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(vms_start(100, 2048000, dir_.file("swap.tmp").c_str(), 0, 0), 0);
        Install();
    }
    void TearDown() override {
        vm_set_input_pending(0);
        Uninstall();
        vms_stop();
    }

    VMB* Make(const std::vector<std::string>& lines, int lang) {
        VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
        EXPECT_NE(b, nullptr);
        for (const auto& l : lines)
            EXPECT_GT(vm_append_line(b, l.c_str()), 0);
        if (lang >= 0)
            SetBufferLanguage(b, lang);
        return b;
    }
    static VMB* Filler(VMB* b, int count, const char* text = "int x = 1;") {
        for (int i = 0; i < count; ++i)
            vm_append_line(b, text);
        return b;
    }
    static void Replace(VMB* b, int line, const std::string& text) {
        ASSERT_GT(vm_replace_line(b, line, text.c_str(), int(text.size()), 1), 0);
    }
    static int StateAt(VMB* b, int line, int lang, int* state_b = nullptr, int* used = nullptr,
                       unsigned options = 0) {
        int sb = 0, u = 0;
        int a = vm_scan_lex_state(b, line, lang, &sb, &u, options);
        if (state_b)
            *state_b = sb;
        if (used)
            *used = u;
        return a;
    }

    qwtest::TempDir dir_;
};

struct ForwardCase {
    const char* name;
    int lang;
    std::vector<std::string> lines;
    std::vector<int> starts;  // byte A at the start of each line, and after the last
};

TEST_F(LexScan, ForwardScanFollowsBlocksStringsAndLineComments) {
    const ForwardCase cases[] = {
        {"c block over lines", kLangC,
         {"int a; /* open", "still inside", "end */ b;", "c;"},
         {0, 1, 1, 0, 0}},
        {"c line comment hides an opener", kLangC,
         {"x; // no /* here", "y;"},
         {0, 0, 0}},
        {"c strings hide openers", kLangC,
         {"s = \"/*\"; t = '/*';", "u = \"a\\\"/*\";", "v;"},
         {0, 0, 0, 0}},
        {"c line comment inside a block is no comment", kLangC,
         {"/* a // b */ c /* d", "e"},
         {0, 1, 1}},
        {"c apostrophe inside a block", kLangC,
         {"/* don't */ x", "/* it's", "done */ y", "z"},
         {0, 0, 1, 0, 0}},
        {"c blocks do not nest", kLangC,
         {"/* /* */ x", "y"},
         {0, 0, 0}},
        {"c stray closer", kLangC,
         {"*/ x", "y"},
         {0, 0, 0}},
        {"nested blocks count depth", kLangNested,
         {"(* a (* b (* c", "*) d", "*) e *)", "f"},
         {0, 3, 2, 0, 0}},
        {"nested opened and closed on one line", kLangNested,
         {"(* (* *) *) g (*", "h"},
         {0, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VMB* b = Make(c.lines, c.lang);
        int n = int(c.lines.size());
        for (int line = 1; line <= n; ++line)
            EXPECT_EQ(StateAt(b, line, c.lang), c.starts[size_t(line - 1)]) << "line " << line;
        // A fresh scan straight to the end agrees with the stored states.
        vm_set_lex_line(b, 0);
        vm_append_line(b, "");
        EXPECT_EQ(StateAt(b, n + 1, c.lang), c.starts[size_t(n)]);
        EXPECT_EQ(vm_lex_line(b), n);
        vmb_close(b, 0);
    }
}

TEST_F(LexScan, StateCodeNamesTheOpeningEntryAndPositionIsKept) {
    VMB* b = Make({"a /* b", "cc", "d"}, kLangC);
    ASSERT_EQ(vm_set_position(b, 2, 1), 1);
    int sb = -1, used = -1;
    EXPECT_EQ(StateAt(b, 3, kLangC, &sb, &used), 1);
    EXPECT_EQ(sb, 1);  // entry 1 is the "/*" region
    EXPECT_EQ(used, 0);
    int col = -1;
    EXPECT_EQ(vm_get_position(b, &col), 2);
    EXPECT_EQ(col, 1);
    // Line 1 starts outside; a buffer without a language scans nothing.
    EXPECT_EQ(StateAt(b, 1, kLangC), 0);
    VMB* plain = Make({"/* x", "y"}, -1);
    EXPECT_EQ(StateAt(plain, 2, -1), 0);
    EXPECT_EQ(vm_lex_line(plain), 0);
}

TEST_F(LexScan, InvalidationDropsStatesFromTheEditedLine) {
    VMB* b = Make({}, kLangC);
    Filler(b, 40);
    ASSERT_EQ(StateAt(b, 31, kLangC), 0);
    ASSERT_EQ(vm_lex_line(b), 30);
    vm_line_flags_range(b, 1, 40, VM_OP_SET, VMLEX_LF_MASK, 0);
    Replace(b, 10, "x = 1; /* starts here");
    Replace(b, 14, "*/ y");

    EXPECT_EQ(vm_lex_invalidate(b, 1, 10), 1);
    EXPECT_EQ(vm_lex_line(b), 9);
    // Re-marked up to the first line with a block delimiter, nothing after.
    EXPECT_EQ(vm_line_flags(b, 9, VM_OP_READ, VMLEX_LF_MASK), VMLEX_LF_MASK);
    for (int line = 10; line <= 14; ++line)
        EXPECT_EQ(vm_line_flags(b, line, VM_OP_READ, VMLEX_LF_MASK), 0) << line;
    EXPECT_EQ(vm_line_flags(b, 15, VM_OP_READ, VMLEX_LF_MASK), VMLEX_LF_MASK);
    // The new comment is seen.
    EXPECT_EQ(StateAt(b, 12, kLangC), 1);
    EXPECT_EQ(StateAt(b, 16, kLangC), 0);

    // Kind 2 at or before the lexical line only drops states.
    vm_line_flags(b, 5, VM_OP_SET, VMLEX_LF_MASK);
    EXPECT_EQ(vm_lex_invalidate(b, 2, 5), 1);
    EXPECT_EQ(vm_lex_line(b), 4);
    EXPECT_EQ(vm_line_flags(b, 5, VM_OP_READ, VMLEX_LF_MASK), VMLEX_LF_MASK);
    // Kinds 0 and -1 do nothing; a buffer without a language answers -1.
    EXPECT_EQ(vm_lex_invalidate(b, 0, 2), 1);
    EXPECT_EQ(vm_lex_line(b), 4);
    VMB* plain = Make({"a"}, -1);
    EXPECT_EQ(vm_lex_invalidate(plain, 1, 1), -1);
}

TEST_F(LexScan, InvalidationWithoutNearbyDelimiterClearsToTheEnd) {
    VMB* b = Make({}, kLangC);
    Filler(b, 600);
    vm_line_flags_range(b, 1, 600, VM_OP_SET, VMLEX_LF_MASK, 0);
    EXPECT_EQ(vm_lex_invalidate(b, 1, 100), 1);
    EXPECT_EQ(vm_line_flags(b, 99, VM_OP_READ, VMLEX_LF_MASK), VMLEX_LF_MASK);
    for (int line = 100; line <= 600; ++line)
        ASSERT_EQ(vm_line_flags(b, line, VM_OP_READ, VMLEX_LF_MASK), 0) << line;

    // Ruby-like languages forget every state on any edit.
    VMB* r = Make({"a", "b", "c"}, kLangRuby);
    StateAt(r, 4, kLangRuby);
    ASSERT_EQ(vm_lex_line(r), 3);
    EXPECT_EQ(vm_lex_invalidate(r, 0, 3), 1);
    EXPECT_EQ(vm_lex_line(r), 0);
}

TEST_F(LexScan, InvalidateAllHonoursTheLanguage) {
    VMB* c = Make({"a", "b"}, kLangC);
    VMB* n = Make({"a", "b"}, kLangNested);
    StateAt(c, 3, kLangC);
    StateAt(n, 3, kLangNested);
    vms_lex_invalidate_all(kLangC);
    EXPECT_EQ(vm_lex_line(c), 0);
    EXPECT_EQ(vm_lex_line(n), 2);
    vms_lex_invalidate_all(-1);
    EXPECT_EQ(vm_lex_line(n), 0);
}

TEST_F(LexScan, AdvanceExtendsBy400LinesAndAgreesWithAFullScan) {
    VMB* b = Make({}, kLangC);
    for (int i = 1; i <= 1000; ++i)
        vm_append_line(b, i % 97 == 0 ? "open /* here" : (i % 97 == 5 ? "done */" : "int x;"));
    EXPECT_EQ(vm_lex_advance(b), 1);
    EXPECT_EQ(vm_lex_line(b), 400);
    EXPECT_EQ(vm_lex_advance(b), 1);
    EXPECT_EQ(vm_lex_line(b), 800);
    EXPECT_EQ(vm_lex_advance(b), 1);
    EXPECT_EQ(vm_lex_line(b), 1000);
    EXPECT_EQ(vm_lex_advance(b), 0);

    std::vector<int> advanced;
    for (int line = 1; line <= 1000; ++line) {
        int sb = 0;
        advanced.push_back(vm_line_lex_state(b, line, -1, &sb));
    }
    vm_set_lex_line(b, 0);
    ASSERT_EQ(StateAt(b, 1001, kLangC), 0);
    for (int line = 1; line <= 1000; ++line) {
        int sb = 0;
        EXPECT_EQ(vm_line_lex_state(b, line, -1, &sb), advanced[size_t(line - 1)]) << line;
    }
    EXPECT_EQ(advanced[96], 1);   // line 97 opens
    EXPECT_EQ(advanced[100], 1);  // line 101 still inside
    EXPECT_EQ(advanced[101], 0);  // line 102 ("done */") closes

    VMB* plain = Make({"a"}, -1);
    EXPECT_EQ(vm_lex_advance(plain), -1);
}

TEST_F(LexScan, ScanStopsEarlyWhileTheUserActs) {
    VMB* b = Make({"/* open"}, kLangC);
    Filler(b, 999);
    vm_set_input_pending(1);
    int used = 0;
    StateAt(b, 1000, kLangC, nullptr, &used, VMLEX_OPT_STOP_ON_INPUT);
    EXPECT_EQ(vm_lex_line(b), 0);
    EXPECT_EQ(used, 1);  // provisional answer
    // With fewer than 100 lines to go the scan finishes.
    EXPECT_EQ(StateAt(b, 90, kLangC, nullptr, &used, VMLEX_OPT_STOP_ON_INPUT), 1);
    EXPECT_EQ(vm_lex_line(b), 89);
    EXPECT_EQ(used, 0);
    // Without the option it ignores the user.
    EXPECT_EQ(StateAt(b, 1000, kLangC, nullptr, &used, 0), 1);
    EXPECT_EQ(vm_lex_line(b), 999);
    vm_set_input_pending(0);
}

struct BackwardCase {
    const char* name;
    const char* line;  // placed at line 1200 of 2000 filler lines
    int expect;
};

TEST_F(LexScan, BackwardSearchBridgesLongGaps) {
    const BackwardCase cases[] = {
        {"opener", "x; /* open", 1},
        {"opener then closer", "/* a */ b", 0},
        {"opener in a line comment", "x; // /* no", 0},
        {"opener in a string", "s = \"/*\";", 0},
        {"closer after a string", "s = \"a\"; */", 0},
        {"nothing", "int y;", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VMB* b = Make({}, kLangC);
        Filler(b, 1199);
        vm_append_line(b, c.line);
        Filler(b, 800);
        int sb = 0, used = 0;
        EXPECT_EQ(StateAt(b, 1500, kLangC, &sb, &used, VMLEX_OPT_BACKWARD), c.expect);
        EXPECT_EQ(used, 1);
        EXPECT_EQ(vm_lex_line(b), 0);  // nothing became known for sure
        if (c.expect) {
            EXPECT_EQ(sb & 0xFF, 1);
            EXPECT_EQ(vm_line_flags(b, 1300, VM_OP_READ, VMLEX_LF_SETTLED), VMLEX_LF_SETTLED);
            int b1300 = 0;
            EXPECT_EQ(vm_line_lex_state(b, 1300, -1, &b1300), 1);
        }
        // A second question is answered from the settled lines.
        EXPECT_EQ(StateAt(b, 1600, kLangC, &sb, &used, VMLEX_OPT_BACKWARD), c.expect);
        // Without the option the forward scan gives the same answer.
        EXPECT_EQ(StateAt(b, 1500, kLangC, nullptr, &used, 0), c.expect);
        EXPECT_EQ(used, 0);
        vmb_close(b, 0);
    }
}

TEST_F(LexScan, LineKeyword) {
    VMB* b = Make({"  return x;", "foo bar", "a /* b", "classy"}, kLangC);
    EXPECT_EQ(vm_line_keyword(b, 1, 1), 1);
    EXPECT_EQ(vm_line_keyword(b, 2, 1), 0);
    EXPECT_EQ(vm_line_keyword(b, 4, 1), 0);  // a keyword must be the whole word
    EXPECT_EQ(vm_line_keyword(b, 3, 0), 1);
    EXPECT_EQ(vm_line_keyword(b, 1, 0), 0);
    EXPECT_EQ(vm_line_keyword(b, 9, 1), 0);
    VMB* plain = Make({"return"}, -1);
    EXPECT_EQ(vm_line_keyword(plain, 1, 1), 0);
}

} // namespace
