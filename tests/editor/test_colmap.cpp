// Tests of the column mapping (offsets <-> display columns, tab and control
// character expansion, tab stops) and of the colour table with its kinds,
// defaults, grey conversion and the default scheme. Portable: run in the
// host build and under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "VmEngine/vm.h"
#include "editor/colmap.h"
#include "editor/colortable.h"
#include "tests/support/temp_dir.h"

namespace {

ColumnRules Tabs(int t, bool raw = false) {
    ColumnRules r;
    r.tab_width = t;
    r.raw = raw;
    return r;
}

std::string Expand(const std::string& s, int tab, int limit = QW_MAX_COLUMNS, bool raw = false,
                   uint32_t col = 1) {
    std::string out(size_t(limit) + 1, '\0');
    int n = ExpandText(s.data(), int(s.size()), col, out.data(), limit, Tabs(tab, raw));
    out.resize(size_t(n));
    return out;
}

bool FakeLead(unsigned char c) { return c == 0x81; }

TEST(ColumnMapping, OffsetsToColumns) {
    struct Case {
        const char* text;
        int tab;
        bool raw;
        int offset;
        uint32_t col;
    } cases[] = {
        {"x\ty", 4, false, 0, 1},  {"x\ty", 4, false, 1, 2},  {"x\ty", 4, false, 2, 5},
        {"x\ty", 4, false, 3, 6},  {"x\ty", 4, true, 2, 3},   // raw: one column each
        {"ab", 8, false, 5, 6},                               // virtual space past the end
        {"a\x01" "b", 8, false, 2, 4},                        // ^A takes two cells
        {"\t\t", 8, false, 2, 17}, {"a\tb", 8, false, 2, 9},
        {"\tx", 0, false, 1, 9},                              // tab width 0 counts as 8
        {"\tx", 1000000, false, 1, 4097},                     // huge widths are held to 4096
        {"", 8, false, 0, 1},
    };
    for (const Case& c : cases) {
        std::string t(c.text);
        EXPECT_EQ(c.col, DisplayColumnAt(t.data(), int(t.size()), c.offset, Tabs(c.tab, c.raw)))
            << "text '" << c.text << "' tab " << c.tab << " offset " << c.offset;
    }
}

TEST(ColumnMapping, ColumnsToOffsets) {
    struct Case {
        const char* text;
        int tab;
        bool raw;
        uint32_t col;
        bool past_end;
        int offset;
        uint32_t actual;
    } cases[] = {
        {"x\ty", 4, false, 3, true, 1, 2},  // inside the tab: the tab, at its first cell
        {"x\ty", 4, false, 2, true, 1, 2},  {"x\ty", 4, false, 5, true, 2, 5},
        {"x\ty", 4, false, 8, true, 5, 8},  // past the end: missing characters
        {"x\ty", 4, false, 8, false, 3, 6}, // not allowed: the end of the line
        {"x\ty", 4, true, 3, true, 2, 3},   {"a\x01" "b", 8, false, 3, true, 1, 2},
        {"abc", 8, false, 0, true, 0, 1},
    };
    for (const Case& c : cases) {
        std::string t(c.text);
        uint32_t actual = 0;
        EXPECT_EQ(c.offset, OffsetAtDisplayColumn(t.data(), int(t.size()), c.col,
                                                  Tabs(c.tab, c.raw), &actual, c.past_end))
            << "text '" << c.text << "' col " << c.col;
        EXPECT_EQ(c.actual, actual) << "text '" << c.text << "' col " << c.col;
    }
}

TEST(ColumnMapping, ExpansionOfTabsAndControlCharacters) {
    EXPECT_EQ("a       b", Expand("a\tb", 8));
    EXPECT_EQ("a\tb", Expand("a\tb", 8, QW_MAX_COLUMNS, true)); // raw: three cells
    EXPECT_EQ("^A", Expand("\x01", 8));
    EXPECT_EQ("^[", Expand("\x1b", 8));
    EXPECT_EQ("x^", Expand("x\x01", 8, 2));     // the limit falls between ^ and A
    EXPECT_EQ("a   ", Expand("a\tb", 8, 4));    // a tab cut at the limit
    EXPECT_EQ("  b", Expand("\tb", 8, 8, false, 7)); // laid out from column 7
    EXPECT_EQ(std::string(4096, ' '), Expand(std::string(3, '\t'), 1000000));
    std::string nul("a\0b", 3);
    EXPECT_EQ(std::string("a^@b"), Expand(nul, 8));
    EXPECT_EQ("\xff", Expand("\xff", 8)); // bytes from 128 up are one cell
    EXPECT_EQ("^M", Expand("\r", 8));             // a lone CR is a control character
}

TEST(ColumnMapping, MultiByteLeadAndTrailShareAColumn) {
    ColumnRules r = Tabs(8);
    r.is_lead_byte = &FakeLead;
    std::string t("\x81\x40x");
    EXPECT_EQ(2u, DisplayColumnAt(t.data(), 3, 2, r));
    EXPECT_EQ(1u, DisplayColumnAt(t.data(), 3, 1, r)); // inside the pair
    uint32_t actual = 0;
    EXPECT_EQ(2, OffsetAtDisplayColumn(t.data(), 3, 2, r, &actual, true));
    EXPECT_EQ(2u, actual);
    char out[4] = {};
    int consumed = -1;
    EXPECT_EQ(0, ExpandText(t.data(), 3, 1, out, 1, r, &consumed)); // never half a pair
    EXPECT_EQ(0, consumed);
    EXPECT_EQ(3, ExpandText(t.data(), 3, 1, out, 4, r, &consumed));
}

TEST(ColumnMapping, TabStopsAndWidths) {
    struct Case {
        uint32_t from;
        uint32_t right, left;
    } cases[] = {{1, 9, 1}, {8, 9, 1}, {9, 17, 1}, {10, 17, 9}, {17, 25, 9}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.right, NextTabStop(c.from, 8)) << c.from;
        EXPECT_EQ(c.left, PreviousTabStop(c.from, 8)) << c.from;
    }
    EXPECT_EQ(8u, DisplayWidthOf("a\tb", 2, Tabs(8)));
    EXPECT_EQ(2u, DisplayWidthOf("a\tb", 2, Tabs(8, true)));
}

class LineColumns : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(1, vms_start(100, 2048000u, tmp_.file("QW32_Swap.001").c_str(), 0, 0));
        b_ = vmb_open(VMB_T_TEMP, nullptr, 0);
        ASSERT_NE(nullptr, b_);
        vm_insert_line(b_, 0, "x\ty", 3);
        std::string longline(5000, '\t');
        vm_insert_line(b_, 1, longline.data(), int(longline.size()));
    }
    void TearDown() override { vms_stop(); }
    qwtest::TempDir tmp_;
    VMB* b_ = nullptr;
};

TEST_F(LineColumns, BufferLinesMapAndKeepTheBufferPosition) {
    vm_set_position(b_, 2, 7);
    EXPECT_EQ(5u, LineDisplayColumn(b_, 1, 2, Tabs(4)));
    EXPECT_EQ(7u, LineDisplayColumn(b_, 1, 4, Tabs(4))); // virtual space
    uint32_t actual = 0;
    EXPECT_EQ(1, LineOffsetAtColumn(b_, 1, 3, Tabs(4), &actual, true));
    EXPECT_EQ(2u, actual);
    EXPECT_EQ(1u, LineDisplayColumn(b_, 99, 0, Tabs(4)));
    EXPECT_EQ(3u, LineDisplayColumn(b_, 99, 2, Tabs(4))); // no such line: empty
    // A line of 5000 tabs: only the first 4096 characters are read.
    EXPECT_EQ(4u * 3 + 1, LineDisplayColumn(b_, 2, 3, Tabs(4)));
    EXPECT_EQ(1023, LineOffsetAtColumn(b_, 2, 4093, Tabs(4), &actual, false));
    int col = 0;
    EXPECT_EQ(2, vm_get_position(b_, &col));
    EXPECT_EQ(7, col);
}

// ---- Colour table ----------------------------------------------------------

class ColourTable : public ::testing::Test {
protected:
    void SetUp() override { ClearColourTable(); }
    void TearDown() override { ClearColourTable(); }
    QwWindowColours win_{0x000000, 0xFFFFFF, 0xFFFFFE, 0x800000};
};

TEST_F(ColourTable, DefaultsAreTheWindowAndHighlightColours) {
    struct Case {
        int kind;
        uint32_t text, back;
    } cases[] = {
        {0, 0x000000, 0xFFFFFF},  {40, 0x000000, 0xFFFFFF}, {70, 0xFFFFFE, 0x800000},
        {76, 0xFFFFFE, 0x800000}, {78, 0x000000, 0xFFFFFF}, {80, 0x000000, 0x800000},
        {84, 0x000000, 0xFFFFFF}, {85, 0x000000, 0xFFFFFF}, {-2, 0x000000, 0xFFFFFF},
    };
    for (const Case& c : cases) {
        uint32_t text = 1;
        bool def = false;
        EXPECT_EQ(c.back, ColourOfKind(c.kind, win_, &text, &def)) << c.kind;
        EXPECT_EQ(c.text, text) << c.kind;
        EXPECT_TRUE(def) << c.kind;
    }
}

TEST_F(ColourTable, SwitchesChooseTheKindsOwnColours) {
    ASSERT_EQ(1, ColourTableEntry(1, 22, "255", QW_CSW_TEXT, nullptr));
    ASSERT_EQ(1, ColourTableEntry(1, 23, "65280", QW_CSW_BACK, nullptr));
    ASSERT_EQ(1, ColourTableEntry(1, 40, "16711680", 0, nullptr)); // switch off: not used
    uint32_t text = 0;
    bool def = true;
    EXPECT_EQ(0x00FF00u, ColourOfKind(22, win_, &text, &def));
    EXPECT_EQ(0x0000FFu, text);
    EXPECT_FALSE(def);
    EXPECT_EQ(0xFFFFFFu, ColourOfKind(40, win_, &text));
    EXPECT_EQ(0x000000u, text);
    QwColourEntry e{};
    ASSERT_EQ(1, ColourTableEntry(-1, 22, nullptr, 0, &e));
    EXPECT_EQ(255u, e.colour);
    EXPECT_EQ(uint32_t(QW_CSW_TEXT), e.switches);
    // Bad indexes and colour texts are refused and change nothing.
    EXPECT_EQ(0, ColourTableEntry(1, 86, "1", 1, nullptr));
    EXPECT_EQ(0, ColourTableEntry(-1, -1, nullptr, 0, &e));
    for (const char* bad : {"", "12x", "-1", "16777216", "99999999999999999999"})
        EXPECT_EQ(0, ColourTableEntry(1, 22, bad, 1, nullptr)) << bad;
    ASSERT_EQ(1, ColourTableEntry(-1, 22, nullptr, 0, &e));
    EXPECT_EQ(255u, e.colour);
}

TEST_F(ColourTable, TokenKindsAndGrey) {
    EXPECT_EQ(0, TokenColourKind(299));
    EXPECT_EQ(18, TokenColourKind(309));
    EXPECT_EQ(40, TokenColourKind(320));
    EXPECT_EQ(68, TokenColourKind(334));
    EXPECT_EQ(0, TokenColourKind(335));
    EXPECT_EQ(0x4C4C4Cu, GreyOf(0x0000FF)); // red: 30 %
    EXPECT_EQ(0x969696u, GreyOf(0x00FF00)); // green: 59 %
    EXPECT_EQ(0x1C1C1Cu, GreyOf(0xFF0000)); // blue: 11 %
    EXPECT_EQ(0xFFFFFFu, GreyOf(0xFFFFFF));
}

// The default scheme must leave every coloured kind readable on the window
// colours: its own text colour, distinct from the background it is drawn on.
TEST_F(ColourTable, DefaultSchemeColoursTheLexicalAndInterfaceKinds) {
    ApplyDefaultColourScheme();
    auto luminance = [](uint32_t c) {
        auto lin = [](double v) {
            v /= 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(c & 0xFF) + 0.7152 * lin((c >> 8) & 0xFF) +
               0.0722 * lin((c >> 16) & 0xFF);
    };
    for (int kind : {2, 16, 22, 24, 26, 32, 34, 36, 38, 42, 46, 50, 68, 70, 72, 74, 76, 78, 80}) {
        QwColourEntry e{};
        ASSERT_EQ(1, ColourTableEntry(-1, kind, nullptr, 0, &e));
        EXPECT_TRUE(e.switches & QW_CSW_TEXT) << kind;
        uint32_t text = 0;
        uint32_t back = ColourOfKind(kind, win_, &text);
        double l1 = luminance(text), l2 = luminance(back);
        double contrast = (std::max(l1, l2) + 0.05) / (std::min(l1, l2) + 0.05);
        EXPECT_GE(contrast, 4.5) << "kind " << kind;
        if (kind < 70) {
            EXPECT_NE(win_.text, text) << "kind " << kind << " is not coloured";
        }
    }
    // Selections and the text bar have backgrounds of their own.
    for (int kind : {70, 72, 74, 76, 78, 80}) {
        bool def = true;
        ColourOfKind(kind, win_, nullptr, &def);
        EXPECT_FALSE(def) << kind;
    }
    // Fills and plain text keep the window colours.
    uint32_t text = 1;
    EXPECT_EQ(win_.back, ColourOfKind(QW_KIND_FILL, win_, &text));
    EXPECT_EQ(win_.text, text);
    EXPECT_EQ(win_.back, ColourOfKind(QW_KIND_TEXT, win_, &text));
}

} // namespace

namespace {

class ContextLists : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(1, vms_start(100, 2048000u, tmp_.file("QW32_Swap.001").c_str(), 0, 0));
        list_ = vmb_open(VMB_T_TEMP, "FunctionsInDoc", 0);
        ASSERT_NE(nullptr, list_);
        Fill(50);
        vmb_set_client_data(list_, &doc_a_);
    }
    void TearDown() override { vms_stop(); }
    void Fill(int lines) {
        vm_clear(list_, 0);
        for (int i = 0; i < lines; ++i)
            vm_insert_line(list_, i, "f", 1);
    }
    uint32_t Seq() { return vm_seq_get(list_); }
    qwtest::TempDir tmp_;
    VMB* list_ = nullptr;
    int doc_a_ = 0, doc_b_ = 0;
};

TEST_F(ContextLists, ListsFollowTheCurrentDocument) {
    uint32_t s = Seq();
    FillViewContextList(100, &doc_a_, 0, false, 0); // not an editable view: nothing
    EXPECT_EQ(s, Seq());
    FillViewContextList(100, &doc_a_, 16, false, 0); // already this document's
    EXPECT_EQ(s, Seq());
    FillViewContextList(100, &doc_b_, 16, false, 0); // another document: refill
    EXPECT_EQ(s + 1, Seq());
    FillViewContextList(101, &doc_a_, 16, false, 0); // always
    EXPECT_EQ(s + 2, Seq());
    FillViewContextList(100, nullptr, 16, false, 0); // no view: cleared and unbound
    EXPECT_EQ(s + 3, Seq());
    EXPECT_EQ(0, vm_line_count(list_));
    EXPECT_EQ(nullptr, vmb_get_client_data(list_));
}

TEST_F(ContextLists, StaleListsWaitForIdleTimeBySize) {
    struct Case {
        int lines;
        uint32_t wait;
    } cases[] = {{50, 2000}, {500, 5000}, {2000, 10000}};
    for (const Case& c : cases) {
        Fill(c.lines);
        FillViewContextList(102, &doc_a_, 16, false, 0);
        ASSERT_TRUE(vm_state_flags(list_, -1, QW_CTX_STALE)) << c.lines;
        uint32_t s = Seq();
        FillViewContextList(103, &doc_b_, 16, false, c.wait); // not its document
        FillViewContextList(103, &doc_a_, 16, true, c.wait);  // in a link update
        FillViewContextList(103, &doc_a_, 16, false, c.wait - 1);
        EXPECT_EQ(s, Seq()) << c.lines;
        FillViewContextList(103, &doc_a_, 16, false, c.wait);
        EXPECT_EQ(s + 1, Seq()) << c.lines;
        EXPECT_FALSE(vm_state_flags(list_, -1, QW_CTX_STALE)) << c.lines;
        FillViewContextList(103, &doc_a_, 16, false, c.wait); // no longer stale
        EXPECT_EQ(s + 1, Seq()) << c.lines;
    }
}

} // namespace
