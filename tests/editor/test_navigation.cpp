// Tests of moving around in a text view under Wine: go to line (centring,
// the end-of-buffer rule, refused lines, clamps), the thumb of a 200,000-line
// buffer and of a file still being read, wheel notches, clicks, the drag
// threshold and the right-button drag-type cycle, the auto-scroll step, the
// view-state stack with lines inserted above, the jump list over moved
// lines and closed views, the pane messages, the text bar's marks (recorded
// in an enhanced metafile) and its relayout at line 1000, and windows of
// no height.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"
#include "commands/cmdtable.h"
#include "editor/appview.h"
#include "editor/colortable.h"
#include "editor/editops.h"
#include "editor/jumplist.h"
#include "editor/marks.h"
#include "editor/mouse.h"
#include "editor/panes.h"
#include "editor/scrolling.h"
#include "editor/textbar.h"
#include "editor/textview.h"
#include "editor/viewdraw.h"
#include "opsys/shell_outlets.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"

namespace {

HFONT TestFont() {
    static HFONT font =
        CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, FIXED_PITCH | FF_MODERN,
                    "Courier New");
    return font;
}

// A view painting into a canvas that records what the mouse asks of the
// selection.
class NavView : public CQWTextView {
public:
    explicit NavView(HDC dc) : dc_(dc) {}
    HDC GetPaintDC() override { return dc_; }
    void ReleasePaintDC(HDC) override {}
    int MouseSelection(int op, int type) override {
        calls.push_back({op, type});
        if (op == 0)
            selected = true;
        if (op == 3)
            selected = false;
        return 1;
    }
    bool HasSelection() const override { return selected; }
    std::vector<std::pair<int, int>> calls;
    bool selected = false;

private:
    HDC dc_;
};

class NavTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(1, vms_start(200, 4096000u, tmp_.file("QW32_Swap.001").c_str(), 0, 0));
        qwtest::DibCanvas probe(8, 8);
        SetEditorFont(TestFont());
        ASSERT_TRUE(CQWTextView::MeasureFont(probe.dc()));
        cw_ = EditorCellWidth();
        ch_ = EditorCellHeight();
        QwShellOutlets o{};
        o.main_window = [] { return static_cast<void*>(GetDesktopWindow()); };
        o.app_thread_id = GetCurrentThreadId();
        o.status_set_text = [](const char* text, int, unsigned, unsigned) {
            Status().push_back(text);
        };
        QwSetShellOutlets(&o);
        Status().clear();
        InstallNavigationCommands();
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QwNavTestParent";
        RegisterClassA(&wc);
        parent_ = CreateWindowA("QwNavTestParent", "", WS_OVERLAPPEDWINDOW, 0, 0, 800, 900,
                                nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(parent_);
    }
    void TearDown() override {
        ClearJumpList();
        for (NavView* v : views_)
            if (IsWindow(v->hwnd()))
                DestroyWindow(v->hwnd());
        views_.clear();
        canvases_.clear();
        if (bar_)
            DestroyWindow(bar_);
        DestroyWindow(parent_);
        TextBarFlags(0, ~0u);
        QwSetShellOutlets(nullptr);
        vms_stop();
    }
    static std::vector<std::string>& Status() {
        static std::vector<std::string> s;
        return s;
    }
    VMB* MakeBuffer(int lines) {
        VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
        for (int i = 1; i <= lines; ++i) {
            std::string s = "line " + std::to_string(i);
            vm_insert_line(b, i - 1, s.data(), int(s.size()));
        }
        vm_line_tag(b, 0, 1, 0); // every line's original number is its number
        return b;
    }
    NavView* MakeView(VMB* b, int rows, int height_px = -1) {
        canvases_.push_back(std::make_unique<qwtest::DibCanvas>(60 * cw_ + 8, (rows + 1) * ch_ + 1));
        auto* v = new NavView(canvases_.back()->dc());
        TextViewSource src;
        src.buffer = b;
        int h = height_px >= 0 ? height_px : rows * ch_;
        RECT rc{0, 0, 60 * cw_ + 8, h};
        EXPECT_TRUE(v->CreateTextView(parent_, rc, src, false));
        SendMessageA(v->hwnd(), WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));
        views_.push_back(v);
        return v;
    }
    void AddScrollBar() {
        bar_ = CreateWindowA("SCROLLBAR", "", WS_CHILD | SBS_VERT, 0, 0, 16, 100, parent_,
                             nullptr, nullptr, nullptr);
        ASSERT_TRUE(bar_);
    }
    SCROLLINFO BarInfo() {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        GetScrollInfo(bar_, SB_CTL, &si);
        return si;
    }

    qwtest::TempDir tmp_;
    int cw_ = 0, ch_ = 0;
    HWND parent_ = nullptr;
    HWND bar_ = nullptr;
    std::vector<std::unique_ptr<qwtest::DibCanvas>> canvases_;
    std::vector<NavView*> views_; // each ends with its window
};

TEST_F(NavTest, GoToLineCentresKeepsTheLastLineDownAndRefusesBadLines) {
    NavView* v = MakeView(MakeBuffer(1000), 40);
    ASSERT_EQ(40u, v->GetLinesInWindow());
    EXPECT_EQ(1, v->GoToLine(5, 0, 1, 0));
    EXPECT_EQ(1u, v->GetTopLine());
    EXPECT_EQ(1, v->GoToLine(100, 0, 1, 0));
    EXPECT_EQ(80u, v->GetTopLine());
    EXPECT_EQ(100u, v->GetCurLine());
    // Mode 0 on a visible line does not scroll; mode 3 puts it at the caret's row.
    EXPECT_EQ(1, v->GoToLine(110, 0, 0, 0));
    EXPECT_EQ(80u, v->GetTopLine());
    EXPECT_EQ(1, v->GoToLine(115, 0, 3, 0));
    EXPECT_EQ(115u - 30u, v->GetTopLine()); // the caret stood on row 30
    // Near the end the last line stays on the last row.
    EXPECT_EQ(1, v->GoToLine(995, 0, 1, 0));
    EXPECT_EQ(961u, v->GetTopLine());
    // Line 0 and lines past the end of a fully read buffer: refused, nothing moves.
    for (int bad : {0, -3, 1001}) {
        EXPECT_EQ(0, v->GoToLine(bad, 7, 1, 0)) << bad;
        EXPECT_EQ(995u, v->GetCurLine());
        EXPECT_EQ(961u, v->GetTopLine());
    }
    // A column beyond the last one is clamped.
    EXPECT_EQ(1, v->GoToLine(10, 5000, 1, 0));
    EXPECT_EQ(uint32_t(QW_MAX_COLUMNS), v->GetCurColumn());
    // An original number that no line carries: used as it is, not exact.
    vm_line_tag(v->GetBuffer(), 20, 1, 77777);
    EXPECT_EQ(0, v->GoToLine(20, 0, 1, 0x400)); // no line carries 20 now
    EXPECT_EQ(20u, v->GetCurLine());
    EXPECT_EQ(1, v->GoToLine(77777, 0, 1, 0x400));
    EXPECT_EQ(20u, v->GetCurLine());
    // Flag 0x20 scrolls only: the caret goes back to its line.
    EXPECT_EQ(1, v->GoToLine(600, 0, 1, 0x20));
    EXPECT_EQ(20u, v->GetCurLine());
    EXPECT_EQ(580u, v->GetTopLine());
}

TEST_F(NavTest, TheThumbReachesTheEndOf200000Lines) {
    AddScrollBar();
    NavView* v = MakeView(MakeBuffer(200000), 40);
    v->UpdateScrollPos(false);
    SCROLLINFO si = BarInfo();
    EXPECT_EQ(200038, si.nMax);
    EXPECT_EQ(40u, si.nPage);
    // The thumb at its end: the message's 16-bit word cannot say where.
    si.fMask = SIF_POS;
    si.nPos = 200038 - 40 + 1;
    SetScrollInfo(bar_, SB_CTL, &si, FALSE);
    SendMessageA(v->hwnd(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0xFFFF & si.nPos), 0);
    EXPECT_EQ(200000u - 40u + 1u, v->GetTopLine());
    EXPECT_EQ(1u, v->GetCurLine()); // the thumb moves the window, not the caret
    EXPECT_EQ(int(v->GetTopLine()) - 1, BarInfo().nPos);
}

TEST_F(NavTest, TheThumbNearTheEndOfAFileBeingReadReadsItAll) {
    AddScrollBar();
    std::string path = tmp_.file("long.txt");
    {
        std::ofstream f(path, std::ios::binary);
        for (int i = 1; i <= 5000; ++i)
            f << "row " << i << "\r\n";
    }
    VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
    ASSERT_EQ(1, vmb_Stream_Open(b, path.c_str(), "r") > 0 ? 1 : 0);
    vm_read_lines(b, 100);
    ASSERT_FALSE(vm_is_fully_read(b));
    const int known = vm_line_count(b);
    ASSERT_LT(known, 5000);
    NavView* v = MakeView(b, 20);
    v->UpdateScrollPos(false);
    SCROLLINFO si = BarInfo();
    si.fMask = SIF_POS;
    si.nPos = si.nMax - 2 * int(si.nPage); // within the last two pages
    SetScrollInfo(bar_, SB_CTL, &si, FALSE);
    SendMessageA(v->hwnd(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, si.nPos), 0);
    EXPECT_TRUE(vm_is_fully_read(b));
    EXPECT_EQ(5000, vm_line_count(b));
    EXPECT_EQ(5000u - 20u + 1u, v->GetTopLine());
}

TEST_F(NavTest, WheelNotchesMoveTheTopLineAndStopAtTheEnds) {
    NavView* v = MakeView(MakeBuffer(100), 20);
    UINT lines = 3;
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (lines == WHEEL_PAGESCROLL)
        lines = 20;
    SendMessageA(v->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), 0);
    EXPECT_EQ(1u + lines, v->GetTopLine());
    SendMessageA(v->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(1u, v->GetTopLine());
    SendMessageA(v->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(1u, v->GetTopLine()); // towards line 1 from line 1
    for (int i = 0; i < 60; ++i)
        SendMessageA(v->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), 0);
    EXPECT_EQ(81u, v->GetTopLine()); // the last line on the last row
    EXPECT_EQ(1u, v->GetCurLine());
}

TEST_F(NavTest, WindowsWithoutRowsTakeEveryMoveWithoutHarm) {
    NavView* v = MakeView(MakeBuffer(50), 0, 0);
    EXPECT_EQ(0u, v->GetLinesInWindow());
    SendMessageA(v->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), 0);
    SendMessageA(v->hwnd(), WM_VSCROLL, SB_PAGEDOWN, 0);
    SendMessageA(v->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
    SendMessageA(v->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
    v->AutoScrollStep(10, 500);
    EXPECT_EQ(1, v->GoToLine(40, 3, 1, 0));
    EXPECT_EQ(40u, v->GetCurLine());
    EXPECT_GE(v->GetTopLine(), 1u);
    EXPECT_EQ(1, v->ViewState(QW_VS_PUSH | QW_VS_TRACK_CARET));
    EXPECT_EQ(1, v->ViewState(QW_VS_POP));
}

TEST_F(NavTest, ClicksTheDragThresholdAndTheRightButtonCycle) {
    NavView* v = MakeView(MakeBuffer(30), 10);
    const int bar = v->GetTextBarWidth();
    // A click on row 2, column 4 puts the caret there.
    int x = bar + 3 * cw_ + 1, y = 2 * ch_ + 1;
    SendMessageA(v->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    EXPECT_EQ(3u, v->GetCurLine());
    EXPECT_EQ(3u, v->GetCurColumn());
    EXPECT_TRUE(MouseSelecting());
    EXPECT_EQ(QW_SEL_MOUSE, MouseDragSelectionType());
    EXPECT_FALSE(v->selected); // a click alone selects nothing
    v->calls.clear();
    // Two pixels do not count as a move.
    SendMessageA(v->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 2, y + 2));
    EXPECT_TRUE(v->calls.empty());
    // The first real move starts the selection where the button went down
    // and carries its end to the pointer.
    SendMessageA(v->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 3 * cw_, y + ch_));
    EXPECT_EQ(4u, v->GetCurLine());
    ASSERT_EQ(2u, v->calls.size());
    EXPECT_EQ(std::make_pair(0, int(QW_SEL_MOUSE)), v->calls[0]);
    EXPECT_EQ(2, v->calls[1].first);
    // A further move only extends it.
    v->calls.clear();
    SendMessageA(v->hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 3 * cw_, y + 3 * ch_));
    ASSERT_EQ(1u, v->calls.size());
    EXPECT_EQ(2, v->calls[0].first);
    // The right button cycles the drag's type: mouse -> line -> column -> character.
    const int want[] = {QW_SEL_LINE, QW_SEL_COLUMN, QW_SEL_CHAR, QW_SEL_LINE};
    for (int t : want) {
        SendMessageA(v->hwnd(), WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(x, y));
        EXPECT_EQ(t, MouseDragSelectionType());
        EXPECT_EQ(std::make_pair(2, t), v->calls.back());
    }
    SendMessageA(v->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    EXPECT_FALSE(MouseSelecting());
    // Outside the text (below the last row) a click changes nothing.
    v->selected = false;
    SendMessageA(v->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 10 * ch_ + 2));
    EXPECT_EQ(6u, v->GetCurLine());
    SendMessageA(v->hwnd(), WM_LBUTTONUP, 0, 0);
    // A click in the margin starts a line selection.
    v->calls.clear();
    SendMessageA(v->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bar - 2, 5 * ch_ + 1));
    EXPECT_EQ(QW_HIT_MARGIN, MouseLastHitArea());
    EXPECT_EQ(6u, v->GetCurLine());
    ASSERT_FALSE(v->calls.empty());
    EXPECT_EQ(std::make_pair(0, int(QW_SEL_LINE)), v->calls.back());
    SendMessageA(v->hwnd(), WM_LBUTTONUP, 0, 0);
}

TEST_F(NavTest, TheAutoScrollStepMovesTheWindowAndTheCaret) {
    NavView* v = MakeView(MakeBuffer(100), 10);
    const int bar = v->GetTextBarWidth();
    v->AutoScrollStep(bar + 5, 10 * ch_ + 1); // just below the last row
    EXPECT_EQ(2u, v->GetTopLine());
    EXPECT_EQ(11u, v->GetCurLine());
    v->AutoScrollStep(bar + 5, 12 * ch_); // a row further: three at a time
    EXPECT_EQ(5u, v->GetTopLine());
    v->AutoScrollStep(bar + 5, -1);
    EXPECT_EQ(4u, v->GetTopLine());
    EXPECT_EQ(4u, v->GetCurLine());
    for (int i = 0; i < 50; ++i)
        v->AutoScrollStep(bar + 5, 20 * ch_);
    EXPECT_EQ(91u, v->GetTopLine()); // never past the last line on the last row
    EXPECT_EQ(100u, v->GetCurLine());
}

TEST_F(NavTest, ViewStatesComeBackThroughInsertedLinesAndNestPerLevel) {
    NavView* v = MakeView(MakeBuffer(200), 20);
    VMB* b = v->GetBuffer();
    CQWMarkTable* marks = MarkTableOf(b);
    EXPECT_EQ(0, v->ViewState(QW_VS_POP)); // nothing to pop
    EXPECT_EQ(0, v->ViewState(QW_VS_DROP));
    // One level: three lines inserted above the caret, as an edit does it.
    ASSERT_EQ(1, v->GoToLine(120, 2, 1, 0));
    ASSERT_EQ(1, v->ViewState(QW_VS_PUSH | QW_VS_TRACK_CARET));
    for (int i = 0; i < 3; ++i)
        vm_insert_line(b, 10, "new", 3);
    marks->LinesShifted(11, 3);
    ASSERT_EQ(1, v->GoToLine(180, 0, 1, 0));
    ASSERT_EQ(1, v->ViewState(QW_VS_POP));
    EXPECT_EQ(123u, v->GetCurLine());
    EXPECT_EQ(2u, v->GetCurColumn());
    EXPECT_FALSE(marks->IsSet(QW_MARK_VIEW_STATE));
    // Two levels: each pop gives back its own level's position and locks.
    ASSERT_EQ(1, v->GoToLine(50, 4, 1, 0));
    const uint32_t top = v->GetTopLine();
    ASSERT_EQ(1, v->ViewState(QW_VS_PUSH | QW_VS_TRACK_CARET | QW_VS_LOCK_EDITS | QW_VS_FLAGS));
    EXPECT_FALSE(v->IsImmediateUpdate());
    EXPECT_TRUE(marks->Lock(QW_MARK_LAST_EDIT, -1));
    ASSERT_EQ(1, v->GoToLine(150, 6, 1, 0));
    ASSERT_EQ(1, v->ViewState(QW_VS_PUSH | QW_VS_TRACK_CARET | QW_VS_LOCK_EDITS));
    ASSERT_EQ(1, v->GoToLine(180, 0, 1, 0));
    ASSERT_EQ(1, v->ViewState(QW_VS_POP));
    EXPECT_EQ(150u, v->GetCurLine());
    EXPECT_EQ(6u, v->GetCurColumn());
    EXPECT_TRUE(marks->Lock(QW_MARK_LAST_EDIT, -1)); // the outer level still holds it
    int line = 0, col = 0;
    ASSERT_TRUE(marks->Get(QW_MARK_VIEW_STATE, &line, &col));
    EXPECT_EQ(50, line); // the outer level's own mark is back
    ASSERT_EQ(1, v->ViewState(QW_VS_POP));
    EXPECT_EQ(50u, v->GetCurLine());
    EXPECT_EQ(4u, v->GetCurColumn());
    EXPECT_EQ(top, v->GetTopLine());
    EXPECT_TRUE(v->IsImmediateUpdate());
    EXPECT_FALSE(marks->Lock(QW_MARK_LAST_EDIT, -1));
    EXPECT_FALSE(marks->IsSet(QW_MARK_VIEW_STATE));
    EXPECT_EQ(0, v->ViewState(QW_VS_POP));
    // Lines deleted under a saved position: the pop clamps to the buffer.
    ASSERT_EQ(1, v->GoToLine(190, 3, 1, 0));
    ASSERT_EQ(1, v->ViewState(QW_VS_PUSH));
    vm_delete_lines(b, 51, v->GetLineCount() - 50, 0);
    ASSERT_EQ(1, v->ViewState(QW_VS_POP | QW_VS_REPAINT));
    EXPECT_EQ(50u, v->GetCurLine());
    EXPECT_LE(v->GetTopLine(), 50u);
}

TEST_F(NavTest, TheJumpListFollowsMovedLinesAndForgetsClosedViews) {
    NavView* v = MakeView(MakeBuffer(300), 20);
    SelectCurrentTextView(v);
    ASSERT_EQ(v, GetCurrentTextView());
    ASSERT_EQ(1, v->GoToLine(100, 0, 1, 0));
    AddToJumpList(v);
    ASSERT_EQ(1, v->GoToLine(250, 0, 1, 0));
    // Lines inserted above the recorded one: back lands on the moved line.
    for (int i = 0; i < 5; ++i)
        vm_insert_line(v->GetBuffer(), 1, "x", 1);
    ASSERT_EQ(1, K_cmd_lookup(510)->handler.view(v, 510, nullptr));
    EXPECT_EQ(105u, v->GetCurLine());
    // Without edits the position comes back as it was.
    ASSERT_EQ(1, v->GoToLine(30, 2, 1, 0));
    AddToJumpList(v);
    ASSERT_EQ(1, v->GoToLine(200, 0, 1, 0));
    vm_line_tag(v->GetBuffer(), 0, 1, 0);
    JumpListGoBack();
    EXPECT_EQ(30u, v->GetCurLine());
    EXPECT_EQ(2u, v->GetCurColumn());
    // Recorded lines that were deleted: the caret goes to the nearest line left.
    ASSERT_EQ(1, v->GoToLine(280, 0, 1, 0));
    AddToJumpList(v);
    ASSERT_EQ(1, v->GoToLine(3, 0, 1, 0));
    vm_delete_lines(v->GetBuffer(), 101, v->GetLineCount() - 100, 0);
    ASSERT_EQ(100, v->GetLineCount());
    JumpListGoBack();
    EXPECT_EQ(100u, v->GetCurLine());
    EXPECT_LE(v->GetTopLine(), 100u);
    // A closed view leaves the list.
    NavView* w = MakeView(MakeBuffer(10), 5);
    AddToJumpList(w);
    int before = JumpListSize();
    DestroyWindow(w->hwnd());
    views_.pop_back();
    EXPECT_EQ(before - 1, JumpListSize());
    for (int i = 0; i < JumpListSize(); ++i)
        EXPECT_NE(static_cast<void*>(w), JumpListEntry(i)->view());
}

TEST_F(NavTest, PaneCommandsOutsideASplitterSaySo) {
    NavView* v = MakeView(MakeBuffer(10), 5);
    ASSERT_TRUE(v->ViewFlags(-1, QW_VF_EDITABLE));
    EXPECT_EQ(0, PaneCommand(v, 377));
    EXPECT_EQ(0, PaneCommand(v, 378));
    EXPECT_EQ(0, PaneCommand(v, 379));
    std::vector<std::string> want = {"No splitter pane to close",
                                     "No next splitter pane to activate",
                                     "No previous splitter pane to activate"};
    EXPECT_EQ(want, Status());
    EXPECT_EQ(0, PaneCommand(nullptr, 377));
}

// The characters and x positions of the text records of a metafile.
struct TextOut {
    int x;
    std::string text;
};
int CALLBACK CollectText(HDC, HANDLETABLE*, const ENHMETARECORD* r, int, LPARAM data) {
    auto* out = reinterpret_cast<std::vector<TextOut>*>(data);
    if (r->iType == EMR_EXTTEXTOUTW || r->iType == EMR_EXTTEXTOUTA) {
        auto* t = reinterpret_cast<const EMREXTTEXTOUTW*>(r);
        std::string s;
        const char* base = reinterpret_cast<const char*>(r) + t->emrtext.offString;
        for (DWORD i = 0; i < t->emrtext.nChars; ++i)
            s.push_back(r->iType == EMR_EXTTEXTOUTW
                            ? char(reinterpret_cast<const WCHAR*>(base)[i] & 0xFF)
                            : base[i]);
        out->push_back({int(t->emrtext.ptlReference.x), s});
    }
    return 1;
}

TEST_F(NavTest, TheTextBarDrawsNumbersAndMarksInTheirColumns) {
    const uint32_t flags = 0x3 | 0x4 | 0x8 | 0x10 | 0x20;
    TextBarLayoutInfo L = LayoutTextBar(flags, true, 250, cw_, cw_);
    HDC ref = GetDC(nullptr);
    HDC mf = CreateEnhMetaFileA(ref, nullptr, nullptr, nullptr);
    ReleaseDC(nullptr, ref);
    ASSERT_TRUE(mf);
    RECT row{0, 0, L.width, ch_};
    DrawTextBarRow(mf, row, L, flags, 42, 0x1 | 0x2 | 0x100 | 0x80, 4, false, cw_);
    RECT row2{0, ch_, L.width, 2 * ch_};
    DrawTextBarRow(mf, row2, L, flags, 43, 0, 9, true, cw_); // bookmark 10: not drawn
    HENHMETAFILE h = CloseEnhMetaFile(mf);
    ASSERT_TRUE(h);
    std::vector<TextOut> texts;
    EnumEnhMetaFile(nullptr, h, &CollectText, &texts, nullptr);
    DeleteEnhMetaFile(h);
    std::vector<std::string> got;
    for (const auto& t : texts)
        got.push_back(t.text);
    std::vector<std::string> want = {"42", std::string(1, char(196)), "@",
                                     std::string(1, char(129 + 4)), std::string(1, char(165)),
                                     std::string(1, char(232)), "43"};
    ASSERT_EQ(want, got);
    EXPECT_EQ(L.pos[2], texts[1].x);
    EXPECT_EQ(L.pos[3], texts[2].x);
    EXPECT_EQ(L.pos[4], texts[3].x);
    EXPECT_EQ(L.pos[5], texts[4].x);
    EXPECT_EQ(L.pos[5] + cw_, texts[5].x);
}

TEST_F(NavTest, LineNumbersTakeAnotherDigitAtLine1000) {
    TextBarFlags(1, 0x3);
    NavView* v = MakeView(MakeBuffer(999), 10);
    const int w999 = v->GetTextBarWidth();
    EXPECT_EQ(3 * cw_ + 3 + 8, w999);
    vm_insert_line(v->GetBuffer(), 999, "more", 4);
    v->OnUpdate(nullptr, QW_HINT_LINE_COUNT, nullptr);
    EXPECT_EQ(w999 + cw_, v->GetTextBarWidth());
    // Painted rows carry the bar in its own colour, left of the raised edge.
    const COLORREF bar_back = RGB(10, 200, 30);
    ColourTableEntry(1, QW_KIND_TEXTBAR + 1, std::to_string(bar_back).c_str(), QW_CSW_BACK,
                     nullptr);
    v->RedrawWindowLines();
    v->WaitForDrawThread(1);
    const qwtest::DibCanvas& c = *canvases_.back();
    EXPECT_EQ(bar_back, c.pixel(1, 1));
    EXPECT_EQ(bar_back, c.pixel(1, 5 * ch_ + 1));
    EXPECT_NE(bar_back, c.pixel(v->GetTextBarWidth() + 2, 1));
    ClearColourTable();
}

} // namespace

namespace {

std::vector<std::string> g_programs;
std::vector<int> g_events;
std::vector<int> g_current_cmds;

TEST_F(NavTest, TheApplicationViewTurnsButtonsIntoBindingsAndPrograms) {
    AppViewCommandHooks h;
    h.run_program = [](const char* name, int command, void*) {
        g_programs.push_back(std::string(name) + ":" + std::to_string(command));
        return 1;
    };
    h.binding = [](int event, int, void*) {
        g_events.push_back(event);
        return int(QW_UNBOUND_EVENT);
    };
    h.set_current_command = [](int id) { g_current_cmds.push_back(id); };
    h.available = [](int id) { return id == 408 ? 0 : 1; };
    SetAppViewCommandHooks(h);
    g_programs.clear();
    g_events.clear();
    g_current_cmds.clear();

    auto* v = new CQWAppView;
    TextViewSource src;
    src.buffer = MakeBuffer(20);
    RECT rc{0, 0, 40 * cw_ + 40, 10 * ch_};
    ASSERT_TRUE(v->CreateTextView(parent_, rc, src, false));
    SendMessageA(v->hwnd(), WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));
    TextBarFlags(1, 0x1 | 0x10 | 0x4);
    SendMessageA(v->hwnd(), WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));
    const int bar = v->GetTextBarWidth();
    ASSERT_GE(bar, 9);

    // Right button up in the text, nothing bound: "locate"; with Ctrl: "WindowNew".
    SendMessageA(v->hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(bar + 5, 5));
    SendMessageA(v->hwnd(), WM_RBUTTONUP, MK_CONTROL, MAKELPARAM(bar + 5, 5));
    // Left button down in the icon strip: "TextBar" with 680, and the press ends there.
    SendMessageA(v->hwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(1, ch_ + 1));
    EXPECT_FALSE(MouseSelecting());
    std::vector<std::string> want = {"locate:684", "WindowNew:684", "TextBar:680"};
    EXPECT_EQ(want, g_programs);
    EXPECT_EQ((std::vector<int>{235, 235}), g_events);
    EXPECT_EQ(680, g_current_cmds.back());
    // Update requests take availability from the executor.
    struct UI : fw::CommandUI {
        int enabled = -1;
        void Enable(bool on) override { enabled = on ? 1 : 0; }
    } ui;
    fw::CommandCall call;
    call.id = 408;
    call.code = fw::kCodeUpdateUI;
    call.ui = &ui;
    EXPECT_TRUE(v->OnCmdMsg(call));
    EXPECT_EQ(0, ui.enabled);
    call.id = 406;
    EXPECT_TRUE(v->OnCmdMsg(call));
    EXPECT_EQ(1, ui.enabled);
    DestroyWindow(v->hwnd());
    SetAppViewCommandHooks(AppViewCommandHooks{});
}

} // namespace

namespace {

// Focus moves only within the active window: tests of focus first make
// the test's window the foreground one (other test programs of a parallel
// run may hold it for a while).
bool TakeForeground(HWND w) {
    ShowWindow(w, SW_SHOW);
    return qwtest::PumpUntil([w] {
        SetForegroundWindow(w);
        SetActiveWindow(w);
        return GetForegroundWindow() == w;
    }, 10000);
}

// Another test program of a parallel run that takes the foreground takes
// the focus from this thread's windows too: what the focus shows then says
// nothing about the code under test.
#define QW_FOCUS_IS_OURS()                                                  \
    if (GetForegroundWindow() != parent_)                                   \
    GTEST_SKIP() << "another program took the foreground during the test"

TEST_F(NavTest, WorkersActivateAViewThroughItsThread) {
    ShowWindow(parent_, SW_SHOW);
    NavView* v = MakeView(MakeBuffer(10), 5);
    NavView* other = MakeView(MakeBuffer(10), 5);
    if (!TakeForeground(parent_))
        GTEST_SKIP() << "another program keeps the foreground";
    SetFocus(other->hwnd());
    ASSERT_EQ(other, GetCurrentTextView());
    // A worker's activation runs on the view's thread while the worker
    // waits; the window it names for the focus gets it last.
    std::atomic<int> result{-1};
    std::thread worker([&] { result = ActivateViewFrameFromThread(v, true, 0, nullptr, nullptr); });
    EXPECT_TRUE(qwtest::PumpUntil([&] { return result.load() != -1; }));
    worker.join();
    EXPECT_EQ(1, result.load());
    EXPECT_EQ(v, GetCurrentTextView());
    QW_FOCUS_IS_OURS();
    EXPECT_EQ(v->hwnd(), GetFocus());
    result = -1;
    std::thread worker2([&] { result = ActivateViewFrameFromThread(v, true, 0, nullptr, other->hwnd()); });
    EXPECT_TRUE(qwtest::PumpUntil([&] { return result.load() != -1; }));
    worker2.join();
    QW_FOCUS_IS_OURS();
    EXPECT_EQ(other->hwnd(), GetFocus());
    // A hidden view answers the worker without acting.
    v->ViewFlags(1, QW_VF_HIDDEN);
    result = -1;
    std::thread worker3([&] { result = ActivateViewFrameFromThread(v, true, 0, nullptr, nullptr); });
    EXPECT_TRUE(qwtest::PumpUntil([&] { return result.load() != -1; }));
    worker3.join();
    EXPECT_EQ(1, result.load());
    QW_FOCUS_IS_OURS();
    EXPECT_EQ(other->hwnd(), GetFocus());
    v->ViewFlags(0, QW_VF_HIDDEN);
    // Deferred action 6 activates the view on its own thread, with the focus
    // when lParam asks for it.
    PostMessageA(v->hwnd(), UWM_VIEW_ACTION, 6, 1);
    bool focused = qwtest::PumpUntil([&] { return GetFocus() == v->hwnd(); });
    QW_FOCUS_IS_OURS();
    EXPECT_TRUE(focused);
}

} // namespace

namespace {

TEST_F(NavTest, CommandLineLineAndColumn) {
    ShowWindow(parent_, SW_SHOW);
    SelectCurrentTextView(nullptr);
    EXPECT_FALSE(GoToCommandLinePlace(12, 5)); // no view to move
    NavView* v = MakeView(MakeBuffer(300), 20);
    if (!TakeForeground(parent_))
        GTEST_SKIP() << "another program keeps the foreground";
    SetFocus(v->hwnd());
    ASSERT_EQ(v, GetCurrentTextView());
    EXPECT_TRUE(GoToCommandLinePlace(120, 5));
    EXPECT_EQ(120u, v->GetCurLine());
    EXPECT_EQ(4u, v->GetCurColumn());
    EXPECT_TRUE(GoToCommandLinePlace(0, 2)); // the column alone, on the same line
    EXPECT_EQ(120u, v->GetCurLine());
    EXPECT_EQ(1u, v->GetCurColumn());
    // Past the end, below 1, columns out of range: clamped.
    EXPECT_TRUE(GoToCommandLinePlace(5000, -1));
    EXPECT_EQ(300u, v->GetCurLine());
    EXPECT_TRUE(GoToCommandLinePlace(-7, 0));
    EXPECT_EQ(1u, v->GetCurLine());
    EXPECT_EQ(0u, v->GetCurColumn());
    // A view that cannot be edited is left alone.
    v->ViewFlags(0, QW_VF_EDITABLE);
    EXPECT_FALSE(GoToCommandLinePlace(50, -1));
    EXPECT_EQ(1u, v->GetCurLine());
}

} // namespace
