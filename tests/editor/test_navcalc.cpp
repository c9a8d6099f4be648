// Tests of the arithmetic of moving around, without windows: wheel notches,
// margin hit areas, the drag threshold, points to positions, word
// snapping, the drag-type cycle, auto-scroll steps, go-to-line top lines and
// the end-of-buffer rule, scroll ranges, thumb targets, the jump list's
// walk and fix-ups, the document-event hooks, go-to-line texts, the
// text-bar layout and marks, and the snapshot archive form.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "editor/appview_table.h"
#include "editor/editops.h"
#include "editor/gotoline.h"
#include "editor/jumplist.h"
#include "editor/mouse.h"
#include "editor/scrolling.h"
#include "editor/snapshots.h"
#include "editor/textbar.h"

namespace {

TEST(NavCalc, WheelNotches) {
    struct Case {
        int delta;
        unsigned lines;
        int rows;
        int want;
    } cases[] = {
        {120, 3, 40, -3},   {-120, 3, 40, 3},   {-240, 3, 40, 6},  {-60, 3, 40, 1},
        {0, 3, 40, 0},      {-120, 0, 40, 0},
        // One screen at a time: a page in the wheel's direction, never a line backwards.
        {-120, 0xFFFFFFFFu, 40, 40}, {120, 0xFFFFFFFFu, 40, -40}, {-120, 0xFFFFFFFFu, 0, 1},
        {-10, 0xFFFFFFFFu, 5, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.want, WheelScrollLines(c.delta, c.lines, c.rows))
            << c.delta << " " << c.lines << " " << c.rows;
}

TEST(NavCalc, MarginHitAreasAndTheDragThreshold) {
    struct Case {
        int x, margin, want;
    } cases[] = {{10, 30, QW_HIT_ICONS}, {25, 30, QW_HIT_MARGIN}, {21, 30, QW_HIT_ICONS},
                 {22, 30, QW_HIT_MARGIN}, {30, 30, QW_HIT_TEXT},   {5, 8, QW_HIT_MARGIN},
                 {0, 0, QW_HIT_TEXT},     {-5, 30, QW_HIT_ICONS}};
    for (const auto& c : cases)
        EXPECT_EQ(c.want, MouseHitArea(c.x, c.margin)) << c.x << " in " << c.margin;
    EXPECT_FALSE(PastDragThreshold(10, 10, 12, 12));
    EXPECT_FALSE(PastDragThreshold(10, 10, 8, 8));
    EXPECT_TRUE(PastDragThreshold(10, 10, 13, 10));
    EXPECT_TRUE(PastDragThreshold(10, 10, 10, 7));
}

TEST(NavCalc, TheRightButtonCyclesTheDragType) {
    EXPECT_EQ(QW_SEL_LINE, NextDragSelectionType(QW_SEL_CHAR));
    EXPECT_EQ(QW_SEL_COLUMN, NextDragSelectionType(QW_SEL_LINE));
    EXPECT_EQ(QW_SEL_CHAR, NextDragSelectionType(QW_SEL_COLUMN));
    EXPECT_EQ(QW_SEL_LINE, NextDragSelectionType(QW_SEL_MOUSE));
    EXPECT_EQ(7, MouseModifierCode(true, true, true));
    EXPECT_EQ(2, MouseModifierCode(false, true, false));
}

TEST(NavCalc, PointsBecomeClampedPositions) {
    PointGeometry g;
    g.margin = 20;
    g.cell_w = 8;
    g.cell_h = 16;
    g.top_line = 11;
    g.line_count = 30;
    g.first_col = 4;
    g.visible_cols = 10;
    struct Case {
        int x, y;
        uint32_t line, dcol;
        bool above;
    } cases[] = {
        {20, 0, 11, 5, false},     // first cell
        {23, 0, 11, 5, false},     // left half of a cell
        {24, 0, 11, 6, false},     // right half: the nearer boundary
        {20 + 9 * 8 + 6, 0, 11, 14, false}, // the last column is not rounded up
        {5, 16, 12, 4, false},     // left of the margin: the column before the first
        {40, 16 * 100, 30, 8, false}, // below the text: the last line
        {40, -3, 1, 1, true},      // above: line 1, column 1
    };
    for (const auto& c : cases) {
        PointPosition p = PointToPosition(g, c.x, c.y);
        EXPECT_EQ(c.line, p.line) << c.x << "," << c.y;
        EXPECT_EQ(c.dcol, p.dcol) << c.x << "," << c.y;
        EXPECT_EQ(c.above, p.above);
    }
    g.line_count = 0; // an empty buffer
    EXPECT_EQ(1u, PointToPosition(g, 40, 50).line);
    g.first_col = 0;
    EXPECT_EQ(1u, PointToPosition(g, 0, 0).dcol); // never column 0
    EXPECT_TRUE(InTextRect(g, 5, 20, 0));
    EXPECT_FALSE(InTextRect(g, 5, 20, 5 * 16));        // below the last full row
    EXPECT_FALSE(InTextRect(g, 5, 20 + 10 * 8, 0));    // the last character's width is kept free
    EXPECT_FALSE(InTextRect(g, 5, 19, 0));
}

TEST(NavCalc, AutoScrollSteps) {
    EXPECT_EQ(1, AutoScrollRows(10 * 16, 10, 16));
    EXPECT_EQ(1, AutoScrollRows(11 * 16 - 1, 10, 16));
    EXPECT_EQ(3, AutoScrollRows(11 * 16, 10, 16));
    EXPECT_EQ(-1, AutoScrollRows(-1, 10, 16));
    EXPECT_EQ(-3, AutoScrollRows(-17, 10, 16));
    EXPECT_EQ(0, AutoScrollRows(5, 10, 16));
    PointGeometry g;
    g.margin = 20;
    g.cell_w = 8;
    g.visible_cols = 10;
    EXPECT_EQ(-1, AutoScrollColumns(g, 15));
    EXPECT_EQ(-3, AutoScrollColumns(g, 5));
    EXPECT_EQ(0, AutoScrollColumns(g, 50));
    EXPECT_EQ(1, AutoScrollColumns(g, 101));
    EXPECT_EQ(3, AutoScrollColumns(g, 120));
}

TEST(NavCalc, WordsSnapAndMoveByTheDelimiters) {
    const std::string t = "foo.bar  baz";
    const int n = int(t.size());
    EXPECT_EQ(7, SnapToWord(t.data(), n, 5, true, nullptr));
    EXPECT_EQ(4, SnapToWord(t.data(), n, 5, false, nullptr));
    EXPECT_EQ(7, SnapToWord(t.data(), n, 7, true, nullptr)); // at a word's end: stays
    // An empty delimiter text means the default set: "." still separates.
    int a = 0, b = 0;
    ASSERT_TRUE(WordBoundsAt(t.data(), n, 1, "", &a, &b));
    EXPECT_EQ(0, a);
    EXPECT_EQ(3, b);
    // Delimiters of the style sheet in caret notation: without "." the dot joins.
    ASSERT_TRUE(WordBoundsAt(t.data(), n, 1, " ^I", &a, &b));
    EXPECT_EQ(7, b);
    EXPECT_FALSE(IsWordCharWith('\t', false, " "));
    EXPECT_FALSE(IsWordCharWith(-1, false, nullptr));
    EXPECT_TRUE(IsWordCharWith('_', true, nullptr));
    EXPECT_FALSE(IsWordCharWith('.', true, nullptr));
    EXPECT_EQ(9, WordRightColumn(t.data(), n, 0, " ^I")); // without "." one word, then the blanks
    EXPECT_EQ(3, WordRightColumn(t.data(), n, 0, nullptr));
    EXPECT_EQ(9, WordRightColumn(t.data(), n, 4, nullptr));
    EXPECT_EQ(-1, WordRightColumn(t.data(), n, n, nullptr));
    EXPECT_EQ(9, WordLeftColumn(t.data(), n, n, nullptr));
    EXPECT_EQ(4, WordLeftColumn(t.data(), n, 9, nullptr));
    EXPECT_EQ(-1, WordLeftColumn(t.data(), n, 0, nullptr));
    EXPECT_EQ(n, WordLeftColumn(t.data(), n, n + 5, nullptr)); // past the end: to the end first
}

TEST(NavCalc, GoToLineTopLines) {
    struct Case {
        int mode;
        uint32_t line, caret_row, rows;
        int count;
        uint32_t want;
    } cases[] = {
        {1, 5, 0, 40, 1000, 1},      // centring near the start
        {1, 100, 0, 40, 1000, 80},   // centred
        {4, 100, 7, 40, 1000, 80},   // mode 4 centres too
        {1, 30, 0, 40, 35, 1},       // a buffer shorter than... the window: line 1
        {0, 500, 10, 40, 1000, 490}, // the caret keeps its row
        {3, 500, 10, 40, 1000, 490},
        {0, 5, 10, 40, 1000, 1},     // never above line 1
        {0, 995, 0, 40, 1000, 961},  // no empty rows after the last line
        {1, 999, 0, 40, 1000, 961},
        {0, 8, 0, 40, 10, 1},        // a short buffer stays at the top
        {2, 999, 0, 40, 1000, 979},  // mode 2 centres without the end rule
    };
    for (const auto& c : cases) {
        GoToLinePlace p;
        p.mode = c.mode;
        p.line = c.line;
        p.caret_row = c.caret_row;
        p.rows = c.rows;
        p.line_count = c.count;
        EXPECT_EQ(c.want, GoToLineTop(p)) << "mode " << c.mode << " line " << c.line;
    }
    EXPECT_FALSE(GoToLineNeedsScroll(0, true));
    EXPECT_TRUE(GoToLineNeedsScroll(3, true));
    EXPECT_TRUE(GoToLineNeedsScroll(0, false));
    int tops[] = {0, 150, 60}, bottoms[] = {50, 200, 100};
    int top = -1;
    EXPECT_EQ(50, LargestFreeBand(tops, bottoms, 3, 200, &top));
    EXPECT_EQ(100, top);
    EXPECT_EQ(200, LargestFreeBand(nullptr, nullptr, 0, 200, &top));
}

TEST(NavCalc, ScrollRangesStepsAndThumbTargets) {
    QwScrollRange r = VerticalScrollRange(10, 40, 1);
    EXPECT_EQ(48, r.max);
    EXPECT_EQ(40, r.page);
    EXPECT_EQ(0, r.pos);
    r = VerticalScrollRange(200000, 40, 150000);
    EXPECT_EQ(200038, r.max);
    EXPECT_EQ(149999, r.pos);
    r = VerticalScrollRange(0, 0, 1);
    EXPECT_EQ(0, r.max);
    QwScrollRange h = HorizontalScrollRange(120, 80, 5);
    EXPECT_EQ(198, h.max);
    EXPECT_EQ(80, h.page);
    EXPECT_EQ(5, h.pos);

    EXPECT_EQ(99, HorizontalScrollBy(99, 26, 100)); // one below the width: no further
    EXPECT_EQ(99, HorizontalScrollBy(90, 26, 100));
    EXPECT_EQ(36, HorizontalScrollBy(10, 26, 100));
    EXPECT_EQ(0, HorizontalScrollBy(10, -26, 100));
    EXPECT_EQ(0, HorizontalScrollBy(0, -1, 100));
    EXPECT_EQ(150, HorizontalScrollBy(150, 1, 100)); // already past: left alone

    EXPECT_EQ(1u, LastTopLine(10, 40));
    EXPECT_EQ(199961u, LastTopLine(200000, 40));
    EXPECT_EQ(199961u, ClampTopLine(200000, 200000, 40));
    EXPECT_EQ(1u, ClampTopLine(0, 200000, 40));

    bool read_all = false;
    QwScrollRange big = VerticalScrollRange(200000, 40, 1);
    // The 32-bit position of a thumb at the end, beyond 65,535 lines.
    EXPECT_EQ(200000u, ThumbTargetLine(big.max - big.page + 1, big, true, &read_all));
    EXPECT_FALSE(read_all);
    QwScrollRange partial = VerticalScrollRange(1000, 40, 1);
    ThumbTargetLine(partial.max - 2 * partial.page, partial, false, &read_all);
    EXPECT_TRUE(read_all);
    EXPECT_EQ(101u, ThumbTargetLine(100, partial, false, &read_all));
    EXPECT_FALSE(read_all);

    char tip[64];
    FormatScrollTip(tip, int(sizeof tip), "main", 12);
    EXPECT_STREQ("main\nLine: 12", tip);
    FormatScrollTip(tip, int(sizeof tip), nullptr, 7);
    EXPECT_STREQ("Line: 7", tip);
}

// ---- Jump list over stand-in views ---------------------------------------------

struct FakeView {
    int line = 1, col = 0;
    bool live = true;
    bool editable = true;
};
FakeView* g_current = nullptr;
std::vector<std::pair<FakeView*, int>> g_restored; // view, line
std::vector<FakeView*> g_activated;

class JumpListTest : public ::testing::Test {
protected:
    void SetUp() override {
        JumpListHooks h;
        h.is_window = [](void* v) { return static_cast<FakeView*>(v)->live; };
        h.current_view = []() -> void* { return g_current; };
        h.is_editable = [](void* v) { return static_cast<FakeView*>(v)->editable; };
        h.read = [](void* v, JumpPosition* p, std::string* path) {
            auto* f = static_cast<FakeView*>(v);
            p->caret_line = f->line;
            p->caret_col = f->col;
            *path = "x.txt";
            return true;
        };
        h.activate = [](void* v) { g_activated.push_back(static_cast<FakeView*>(v)); };
        h.apply = [](void* v, const JumpPosition& p) {
            auto* f = static_cast<FakeView*>(v);
            f->line = p.caret_line;
            f->col = p.caret_col;
            g_restored.push_back({f, p.caret_line});
            return 1;
        };
        SetJumpListHooks(h);
        ClearJumpList();
        g_restored.clear();
        g_activated.clear();
        g_current = &a_;
    }
    void TearDown() override {
        ClearJumpList();
        SetJumpListHooks(JumpListHooks{});
    }
    FakeView a_, b_;
};

TEST_F(JumpListTest, AddingTheSamePositionTwiceKeepsOneEntry) {
    a_.line = 5;
    AddToJumpList(&a_);
    AddToJumpList(&a_);
    EXPECT_EQ(1, JumpListSize());
    a_.col = 3;
    AddToJumpList(&a_);
    EXPECT_EQ(2, JumpListSize());
    EXPECT_EQ(0, JumpListCanMove(1));
    EXPECT_EQ(1, JumpListCanMove(0));
}

TEST_F(JumpListTest, BackThenForwardAndAddingDropsTheForwardHistory) {
    for (int line : {10, 20, 30}) {
        a_.line = line;
        AddToJumpList(&a_);
    }
    a_.line = 40;
    ASSERT_EQ(1, JumpListGoBack()); // the newest in this view, elsewhere: restored
    EXPECT_EQ(30, a_.line);
    ASSERT_EQ(1, JumpListGoBack());
    EXPECT_EQ(20, a_.line);
    ASSERT_EQ(1, JumpListGoBack());
    EXPECT_EQ(10, a_.line);
    ASSERT_EQ(1, JumpListGoForward());
    EXPECT_EQ(20, a_.line);
    // Adding now drops the current entry and the ones after it.
    a_.line = 25;
    AddToJumpList(&a_);
    ASSERT_EQ(2, JumpListSize());
    EXPECT_EQ(10, JumpListEntry(0)->position().caret_line);
    EXPECT_EQ(25, JumpListEntry(1)->position().caret_line);
    EXPECT_EQ(-1, JumpListCurrentIndex());
    EXPECT_EQ(0, JumpListGoForward());
}

TEST_F(JumpListTest, BackWithOneEntryRestoresItAndEmptiesTheList) {
    a_.line = 7;
    AddToJumpList(&a_);
    a_.line = 70;
    EXPECT_EQ(1, JumpListGoBack());
    EXPECT_EQ(7, a_.line);
    EXPECT_EQ(0, JumpListSize());
    EXPECT_EQ(0, JumpListGoBack());
}

TEST_F(JumpListTest, BackFromAnotherViewRecordsItSoForwardReturns) {
    a_.line = 3;
    AddToJumpList(&a_);
    g_current = &b_;
    b_.line = 9;
    ASSERT_EQ(1, JumpListGoBack());
    ASSERT_EQ(2, JumpListSize());
    ASSERT_EQ(1u, g_activated.size()); // a's frame comes to the front first
    EXPECT_EQ(&a_, g_activated[0]);
    g_current = &a_;
    ASSERT_EQ(1, JumpListGoForward());
    EXPECT_EQ(&b_, g_activated.back()); // back to b
}

TEST_F(JumpListTest, ClosedViewsAreSkippedAndRemovedWithFixUps) {
    a_.line = 1;
    AddToJumpList(&a_);
    b_.line = 2;
    AddToJumpList(&b_);
    a_.line = 1; // the same position as the first entry
    a_.col = 0;
    AddToJumpList(&a_);
    b_.line = 4;
    AddToJumpList(&b_);
    ASSERT_EQ(4, JumpListSize());
    // A restore of a view that is gone does nothing.
    b_.live = false;
    EXPECT_EQ(0, const_cast<CViewJumpList*>(JumpListEntry(1))->RestoreTo());
    RemoveViewFromJumpList(&b_);
    // The two entries of a at one position are now neighbours: one stays.
    ASSERT_EQ(1, JumpListSize());
    EXPECT_EQ(&a_, JumpListEntry(0)->view());
    EXPECT_EQ(-1, JumpListCurrentIndex());
    RemoveViewFromJumpList(&a_);
    EXPECT_EQ(0, JumpListSize());
    EXPECT_EQ(0, JumpListCanMove(0));
}

TEST_F(JumpListTest, RemovingTheCurrentEntrysViewMovesTheCurrentPositionBack) {
    for (int line : {10, 20}) {
        a_.line = line;
        AddToJumpList(&a_);
    }
    b_.line = 5;
    AddToJumpList(&b_);
    a_.line = 30;
    AddToJumpList(&a_);
    g_current = &a_;
    a_.line = 99;
    JumpListGoBack();  // restores 30 (a, elsewhere)
    JumpListGoBack();  // current moves to b's entry
    ASSERT_EQ(2, JumpListCurrentIndex());
    RemoveViewFromJumpList(&b_);
    EXPECT_EQ(1, JumpListCurrentIndex()); // the nearest earlier entry
    EXPECT_EQ(20, JumpListEntry(1)->position().caret_line);
}

// ---- Document-event hooks --------------------------------------------------------

std::vector<std::string> g_ran;
int g_veto_at = -1;

int Runner(const char* name, int, int event, int arg, void* doc, DocEventRecord* rec) {
    g_ran.push_back(name);
    EXPECT_EQ(4096, arg);
    if (int(g_ran.size()) == g_veto_at)
        rec->continue_walk = 0;
    if (std::string(name) == "Reenter") {
        EXPECT_EQ(-1, FireDocumentEvent(uint32_t(event), doc, nullptr)); // busy: none ran
    }
    return int(g_ran.size());
}

TEST(DocumentHooks, RegistrationWalkVetoAndReentry) {
    RegisterNamedEntry(0, 0, nullptr, 0, 0);
    SetDocumentEventRunner(&Runner);
    EXPECT_EQ(1, RegisterNamedEntry(16 | 32, 1, "Saver", 0, 0));
    EXPECT_EQ(0, RegisterNamedEntry(16, 1, "Saver", 0, 0)); // same name, common bit
    EXPECT_EQ(1, RegisterNamedEntry(8, 1, "Saver", 0, 0));  // no common bit
    EXPECT_EQ(1, RegisterNamedEntry(16, 1, "Second", 1, 0));
    g_ran.clear();
    g_veto_at = 1;
    DocEventRecord rec;
    EXPECT_EQ(1, FireDocumentEvent(QW_DE_BEFORE_SAVE, nullptr, &rec));
    EXPECT_EQ(0, rec.continue_walk); // vetoed: the second hook did not run
    EXPECT_EQ(std::vector<std::string>{"Saver"}, g_ran);
    g_ran.clear();
    g_veto_at = -1;
    EXPECT_EQ(-1, FireDocumentEvent(QW_DE_FOCUS_LOST, nullptr, nullptr));
    EXPECT_EQ(1, RegisterNamedEntry(16, 0, "Saver", 0, 0));
    EXPECT_EQ(0, RegisterNamedEntry(16, 0, "Saver", 0, 0));
    EXPECT_EQ(1, FireDocumentEvent(QW_DE_BEFORE_SAVE, nullptr, nullptr));
    EXPECT_EQ(std::vector<std::string>{"Second"}, g_ran);
    // A hook whose program fires the same event again is busy: skipped.
    RegisterNamedEntry(0, 0, nullptr, 0, 0);
    RegisterNamedEntry(QW_DE_OPENED, 1, "Reenter", 0, 0);
    g_ran.clear();
    FireDocumentEvent(QW_DE_OPENED, nullptr, nullptr);
    EXPECT_EQ(1u, g_ran.size());
    // A full table refuses more.
    RegisterNamedEntry(0, 0, nullptr, 0, 0);
    for (int i = 0; i < QW_DOC_HOOK_SLOTS; ++i)
        ASSERT_EQ(1, RegisterNamedEntry(2, 1, ("P" + std::to_string(i)).c_str(), 0, 0));
    EXPECT_EQ(0, RegisterNamedEntry(2, 1, "OneMore", 0, 0));
    RegisterNamedEntry(0, 0, nullptr, 0, 0);
    SetDocumentEventRunner(nullptr);
}

TEST(GoToLineText, NumbersRelativeLinesAndErrors) {
    struct Case {
        const char* text;
        int caret, count;
        bool fully_read;
        int code, line;
    } cases[] = {
        {"12", 1, 100, true, 0, 12},     {" +5 ", 10, 100, true, 0, 15},
        {"-5", 10, 100, true, 0, 5},     {"-5", 3, 100, true, QW_IDS_BEFORE_START, -2},
        {"0", 3, 100, true, QW_IDS_BEFORE_START, 0},
        {"abc", 3, 100, true, QW_IDS_NOT_LINE_NUMBER, 0},
        {"12x", 3, 100, true, QW_IDS_NOT_LINE_NUMBER, 0},
        {"", 3, 100, true, QW_IDS_NOT_LINE_NUMBER, 0},
        {"99999999999999", 3, 100, true, QW_IDS_NOT_LINE_NUMBER, 0},
        {"200", 3, 100, true, QW_IDS_PAST_END, 100},
        {"200", 3, 100, false, 0, 200}, // still loading: the reader decides
    };
    for (const auto& c : cases) {
        GoToLineRequest r = ParseGoToLineText(c.text, c.caret, c.count, c.fully_read);
        EXPECT_EQ(c.code, r.code) << c.text;
        if (c.code != QW_IDS_NOT_LINE_NUMBER) {
            EXPECT_EQ(c.line, r.line) << c.text;
        }
    }
    EXPECT_EQ(-5, ParseGoToLineText("-5", 3, 100, true).relative);
    EXPECT_EQ(200, ParseGoToLineText("200", 3, 100, true).asked);
}

TEST(TextBar, LayoutWidthsAndMarks) {
    const int cw = 8, w = 12;
    EXPECT_EQ(0, LayoutTextBar(0x7F, false, 100, cw, w).width);
    EXPECT_EQ(8, LayoutTextBar(0, true, 100, cw, w).width);
    EXPECT_EQ(w + 3 + 8, LayoutTextBar(QW_TB_SHOWN, true, 100, cw, w).width);
    // Line numbers: three digits for 999 lines, four from 1000 on, six without a buffer.
    EXPECT_EQ(3 * cw + 3 + 8, LayoutTextBar(0x3, true, 999, cw, w).width);
    EXPECT_EQ(4 * cw + 3 + 8, LayoutTextBar(0x3, true, 1000, cw, w).width);
    EXPECT_EQ(6 * cw + 3 + 8, LayoutTextBar(0x3, true, -1, cw, w).width);
    TextBarLayoutInfo L = LayoutTextBar(0x7F, true, 50, cw, w);
    EXPECT_EQ(2 * cw + 6 * w + 3 + 8, L.width);
    EXPECT_EQ(0, L.pos[0]);
    EXPECT_EQ(2 * cw, L.pos[1]);
    EXPECT_EQ(2 * cw, L.pos[2]);
    EXPECT_EQ(2 * cw + w, L.pos[3]);
    EXPECT_EQ(2 * cw + 2 * w, L.pos[4]);
    EXPECT_EQ(2 * cw + 4 * w, L.pos[5]); // widened by the extra column

    unsigned char m[5];
    TextBarMarks(0x3D, 0x1 | 0x2, 3, m);
    EXPECT_EQ(196, m[0]);
    EXPECT_EQ('@', m[1]);
    EXPECT_EQ(129 + 3, m[2]);
    TextBarMarks(0x3D, 0x4 | 0x100 | 0x80, 3, m);
    EXPECT_EQ('O', m[2]); // the line bookmark wins over a numbered one
    EXPECT_EQ(165, m[3]);
    EXPECT_EQ(232, m[4]);
    TextBarMarks(0x3D, 0, 9, m); // numbers above 8 are never drawn
    EXPECT_EQ(0, m[2]);
    TextBarMarks(0x01, 0x7, 2, m); // columns that are off draw nothing
    for (unsigned char c : m) {
        EXPECT_EQ(0, c);
    }
}

TEST(Snapshots, ArchiveFormKeepsCountAndOrder) {
    std::vector<CViewSnapshot> list(3);
    for (int i = 0; i < 3; ++i) {
        list[i].top_line() = 10 * (i + 1);
        list[i].caret_line() = 100 + i;
        list[i].options() = 0x100;
        list[i].line_count() = -i;
    }
    std::vector<unsigned char> data = SerializeSnapshots(list);
    ASSERT_EQ(2u + 3 * 60, data.size());
    EXPECT_EQ(3, data[0]);
    std::vector<CViewSnapshot> back;
    ASSERT_TRUE(DeserializeSnapshots(data.data(), data.size(), &back));
    ASSERT_EQ(3u, back.size());
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 15; ++k)
            EXPECT_EQ(list[i].w[k], back[i].w[k]);
    // Short or inconsistent input appends nothing.
    EXPECT_FALSE(DeserializeSnapshots(data.data(), data.size() - 1, &back));
    unsigned char huge[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
    EXPECT_FALSE(DeserializeSnapshots(huge, sizeof huge, &back));
    EXPECT_EQ(3u, back.size());
}

} // namespace
