// The status bar: pane texts for the view's state, the message pane and the
// full-width message at its width limit, keys and clicks that end a message,
// colours, messages from other threads.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <thread>

#include "opsys/msgout.h"
#include "opsys/shell_outlets.h"
#include "shell/statusbar.h"
#include "tests/support/win_test.h"

namespace {

TEST(StatusPaneTexts, ViewStates) {
    auto text = [](const QwStatusViewInfo& v, int id) {
        return QwStatusPaneTexts(v, "12:00  1/1/26")[size_t(id - kPaneMode)];
    };
    QwStatusViewInfo none;
    none.folder = "C:\\work";
    EXPECT_EQ(text(none, kPaneMode), "view");
    EXPECT_EQ(text(none, kPaneClock), "12:00  1/1/26");
    EXPECT_EQ(text(none, kPanePath), "C:\\work");
    EXPECT_EQ(text(none, kPaneLine), "");

    QwStatusViewInfo v;
    v.has_view = v.editable = v.has_lines = true;
    v.line = 12;
    v.line_count = 300;
    v.column = 7;
    v.path = "C:\\a.c";
    EXPECT_EQ(text(v, kPaneMode), "insert");
    EXPECT_EQ(text(v, kPaneLine), "ln 12");
    v.read_complete = true;
    EXPECT_EQ(text(v, kPaneLine), "ln 12/300");
    EXPECT_EQ(text(v, kPaneColumn), "clm 7");
    EXPECT_EQ(text(v, kPaneModified), "");
    EXPECT_EQ(text(v, kPaneFlags), " ");
    v.edited = v.overtype = v.wraps = true;
    v.macro = 1;
    EXPECT_EQ(text(v, kPaneModified), "+");
    EXPECT_EQ(text(v, kPaneMode), "overtype");
    EXPECT_EQ(text(v, kPaneFlags), "wr");
    v.view_only = true;
    EXPECT_EQ(text(v, kPaneMode), "view");
    v.has_lines = false;
    EXPECT_EQ(text(v, kPaneLine), "empty");
    EXPECT_EQ(text(v, kPaneColumn), "");

    struct { int kind, lines, cols, chars, run_off, run_len; const char* want; } sel[] = {
        {1, 4, 9, 0, -1, 0, "4 lines, 9 clms"},
        {2, 3, 0, 0, -1, 0, "3 lines"},
        {3, 5, 0, 0, -1, 0, "5 lines "},
        {3, 1, 0, 17, -1, 0, "17 characters"},
        {0, 0, 0, 0, 3, 10, "Char: 3 of 8"},
        {0, 0, 0, 0, 0, 10, "Char: - of 8"},
        {0, 0, 0, 0, 9, 10, "Char: - of 8"},
    };
    for (auto& s : sel) {
        QwStatusViewInfo i;
        i.sel_kind = s.kind;
        i.sel_lines = s.lines;
        i.sel_columns = s.cols;
        i.sel_chars = s.chars;
        i.run_offset = s.run_off;
        i.run_length = s.run_len;
        EXPECT_EQ(text(i, kPaneClock), s.want);
    }
}

class Bar : public ::testing::Test {
protected:
    void SetUp() override {
        parent = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 800, 30, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(bar.Create(parent, QwStatusPaneTable()));
        MoveWindow(bar.hwnd(), 0, 0, 800, 22, FALSE);
        mode = bar.CommandToIndex(kPaneMode);
    }
    void TearDown() override { DestroyWindow(parent); }
    MSG Msg(HWND h, UINT m, WPARAM wp = 0) {
        MSG msg{};
        msg.hwnd = h;
        msg.message = m;
        msg.wParam = wp;
        return msg;
    }
    HWND parent = nullptr;
    QWCustomStatusBar bar;
    int mode = -1;
};

TEST_F(Bar, SimpleModeAtTheWidthLimit) {
    int limit = bar.PaneWidth(mode) - 6;
    // The widest text that still fits, and one a pixel or more wider.
    std::string fits;
    while (bar.TextWidth(fits + "i") <= limit) fits += "i";
    std::string wider = fits + "i";
    ASSERT_LE(bar.TextWidth(fits), limit);
    ASSERT_GT(bar.TextWidth(wider), limit);
    EXPECT_EQ(bar.Bar_SetPaneText(fits.c_str(), mode, kSbApplyNow | kSbMeasure, 0), 2);
    EXPECT_FALSE(bar.InSimpleMode());
    EXPECT_EQ(bar.Bar_SetPaneText(wider.c_str(), mode, kSbApplyNow | kSbMeasure, 0), 2 | kSbTooWide);
    EXPECT_TRUE(bar.InSimpleMode());
    EXPECT_EQ(bar.SimpleText(), wider);

    // Same text again: 1. An invalid index: 0. Line breaks become spaces;
    // a very long text is cut, never overflows.
    EXPECT_EQ(bar.Bar_SetPaneText(wider.c_str(), mode, 0, -1), 1);
    EXPECT_EQ(bar.Bar_SetPaneText("x", 99, kSbApplyNow, 0), 0);
    EXPECT_EQ(bar.Bar_SetPaneText("a\nb\rc", mode, kSbApplyNow, 0), 2);
    EXPECT_EQ(bar.PaneText(mode), "a b c");
    std::string huge(1 << 20, 'x');
    bar.Bar_SetPaneText(huge.c_str(), mode, kSbApplyNow | kSbMeasure, 0);
    EXPECT_EQ(bar.PaneText(mode).size(), 299u);
}

TEST_F(Bar, KeysAndClicksEndAMessage) {
    struct { UINT msg; WPARAM wp; bool on_bar; bool ends; } cases[] = {
        {WM_KEYDOWN, VK_SHIFT, false, false},
        {WM_KEYDOWN, VK_CONTROL, false, false},
        {WM_SYSKEYDOWN, VK_MENU, false, false},
        {WM_KEYDOWN, 'A', false, true},
        {WM_SYSKEYDOWN, VK_F4, false, true},
        {WM_LBUTTONDOWN, 0, true, false},   // a click on the bar itself
        {WM_LBUTTONDOWN, 0, false, true},
        {WM_RBUTTONDOWN, 0, false, true},
        {WM_MBUTTONDOWN, 0, false, true},
        {WM_MOUSEMOVE, 0, true, true},      // moving over the bar
        {WM_MOUSEMOVE, 0, false, false},
        {WM_NCLBUTTONDOWN, 0, false, true},
    };
    for (auto& c : cases) {
        bar.SetPaneTextAt(0, "A long message", true);
        ASSERT_TRUE(bar.InSimpleMode());
        MSG m = Msg(c.on_bar ? bar.hwnd() : parent, c.msg, c.wp);
        bar.FilterMessage(&m);
        EXPECT_EQ(!bar.InSimpleMode(), c.ends) << c.msg << " " << c.wp;
        EXPECT_EQ(bar.SetFlag(-1, 2) == 0, c.ends);
        bar.Bar_Simple(0, 0);
    }
}

TEST_F(Bar, Colours) {
    bar.Bar_SetPaneText("+", mode, kSbApplyNow, 0x6000);
    EXPECT_EQ(bar.PaneTextColour(mode), RGB(255, 255, 255));
    EXPECT_EQ(bar.PaneBackColour(mode), COLORREF(0x800000));
    bar.Bar_SetPaneText("+", mode, kSbApplyNow, -1);  // kept
    EXPECT_EQ(bar.PaneBackColour(mode), COLORREF(0x800000));
    bar.Bar_SetPaneText("+", mode, kSbApplyNow, 0x1000);
    EXPECT_EQ(bar.PaneTextColour(mode), COLORREF(0x00FFFF));
    bar.Bar_SetPaneText("+", mode, kSbApplyNow, 0);  // reset
    EXPECT_EQ(bar.PaneTextColour(mode), GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(bar.PaneBackColour(mode), GetSysColor(COLOR_BTNFACE));
}

TEST_F(Bar, OtherThreadsPostTheirTexts) {
    // Two threads write many texts at once; only the bar's thread applies them.
    auto writer = [this](char c) {
        for (int i = 0; i < 200; ++i) {
            std::string t(size_t(1 + i % 5), c);
            bar.Bar_SetPaneText(t.c_str(), mode, kSbApplyNow, -1);
        }
        bar.Bar_SetPaneText("done", mode + 0, kSbApplyNow, -1);
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    EXPECT_TRUE(qwtest::PumpUntil([&] { return bar.PaneText(mode) == "done"; }));
}

TEST_F(Bar, MessageFunctionReachesTheMessagePane) {
    struct Guard {
        QwShellOutlets old = QwGetShellOutlets();
        ~Guard() { QwSetShellOutlets(&old); }
    } guard;
    // The outlets the shell installs at start-up, with this bar as the frame's.
    ASSERT_TRUE(QwCreateStatusBar(parent));
    QwShellOutlets o = guard.old;
    o.app_thread_id = GetCurrentThreadId();
    static HWND main;
    main = parent;
    o.main_window = [] { return static_cast<void*>(main); };
    o.status_set_text = QwStatusSetTextOutlet;
    o.status_reset = QwStatusResetOutlet;
    o.status_bar_window = QwStatusBarWindowOutlet;
    QwSetShellOutlets(&o);
    QWCustomStatusBar* frame_bar = QwGetStatusBar();
    int i = frame_bar->CommandToIndex(kPaneMode);
    MsgOut(QW_MSG_STATUS, "Saved %s", "a.c");
    EXPECT_EQ(frame_bar->PaneText(i), "Saved a.c");
    std::thread([] { MsgOut(QW_MSG_STATUS, "From a worker %d", 7); }).join();
    EXPECT_TRUE(qwtest::PumpUntil([&] { return frame_bar->PaneText(i) == "From a worker 7"; }));
    EXPECT_EQ(frame_bar->SetFlag(-1, 2), 2u);
    MsgOut(QW_MSG_STATUS, nullptr);  // reset
    EXPECT_EQ(frame_bar->SetFlag(-1, 2), 0u);
    QwDestroyStatusBar();
}

} // namespace

namespace {

// The tip a pane shows: the bar answers the tip window's request for it.
std::string TipOf(QWCustomStatusBar& bar, int id, bool wide = false) {
    if (wide) {
        NMTTDISPINFOW di{};
        di.hdr.hwndFrom = bar.TooltipWindow();
        di.hdr.idFrom = UINT_PTR(id);
        di.hdr.code = TTN_GETDISPINFOW;
        SendMessageA(bar.hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&di));
        char out[2048] = "";
        if (di.lpszText)
            WideCharToMultiByte(CP_ACP, 0, di.lpszText, -1, out, sizeof out, nullptr, nullptr);
        return out;
    }
    NMTTDISPINFOA di{};
    di.hdr.hwndFrom = bar.TooltipWindow();
    di.hdr.idFrom = UINT_PTR(id);
    di.hdr.code = TTN_GETDISPINFOA;
    SendMessageA(bar.hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&di));
    return di.lpszText ? di.lpszText : "";
}

QwStatusViewInfo g_tip_info;

TEST_F(Bar, TooltipsOfThePanes) {
    // A tool for every pane, as wide as 1024 pixels.
    ASSERT_NE(nullptr, bar.TooltipWindow());
    EXPECT_EQ(bar.PaneCount(), int(SendMessageA(bar.TooltipWindow(), TTM_GETTOOLCOUNT, 0, 0)));
    EXPECT_EQ(1024, int(SendMessageA(bar.TooltipWindow(), TTM_GETMAXTIPWIDTH, 0, 0)));

    QwStatusHooks h;
    h.view_info = [](QwStatusViewInfo* out) {
        *out = g_tip_info;
        return true;
    };
    QwSetStatusHooks(h);
    g_tip_info = QwStatusViewInfo{};
    g_tip_info.folder = "C:\\work";
    // Without a view: no tips for the view's panes.
    for (int id : {kPaneMode, kPaneFlags, kPaneLine, kPaneColumn, kPaneGap1, kPaneClock})
        EXPECT_EQ("", TipOf(bar, id)) << id;
    EXPECT_EQ("Document edited indicator", TipOf(bar, kPaneModified));
    EXPECT_EQ("Current Directory: C:\\work\nProject: (none)", TipOf(bar, kPanePath));

    g_tip_info.has_view = g_tip_info.edited = true;
    g_tip_info.path = "C:\\work\\a.c";
    g_tip_info.project = "Tools";
    EXPECT_EQ("Click to toggle between insert and overtype", TipOf(bar, kPaneMode));
    EXPECT_EQ("Click to toggle word wrap off/on", TipOf(bar, kPaneFlags));
    EXPECT_EQ("Click to go to a line", TipOf(bar, kPaneLine));
    EXPECT_EQ("Click to go to a column", TipOf(bar, kPaneColumn, true));
    EXPECT_EQ("Document edited.\nClick to Save.", TipOf(bar, kPaneModified));
    EXPECT_EQ("Current Directory: C:\\work\nProject: Tools\nDocument: C:\\work\\a.c", TipOf(bar, kPanePath, true));
    g_tip_info.special = true;
    g_tip_info.file_date = "1/2/26 10:00";
    EXPECT_EQ("Current Directory: C:\\work\nProject: Tools\nFile: C:\\work\\a.c\nModified: 1/2/26 10:00",
              TipOf(bar, kPanePath));

    // A message across the bar: no tips until it ends.
    bar.SetPaneTextAt(0, "A long message", true);
    ASSERT_TRUE(bar.InSimpleMode());
    EXPECT_EQ("", TipOf(bar, kPaneLine));
    bar.Bar_Simple(0, 0);
    EXPECT_EQ("Click to go to a line", TipOf(bar, kPaneLine));
    QwSetStatusHooks(QwStatusHooks{});
}

} // namespace
