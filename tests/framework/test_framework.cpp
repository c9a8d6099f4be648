// The window layer and the harness it is tested with: handle maps, message
// routing, subclassing, self-deletion, string resources, drawing into DIBs.
#include <gtest/gtest.h>

#include "framework/fwapp.h"
#include "framework/fwwnd.h"
#include "opsys/msgbox_backend.h"
#include "tests/support/win_test.h"

namespace {

const char kClass[] = "QWTestWindow";
// Message-only windows: they dispatch like any other but never involve the
// desktop shell, which a parallel test run (with processes that crash on
// purpose) can keep busy for a long time.
const HWND kParent = HWND_MESSAGE;
constexpr UINT kPing = WM_USER + 0x10;

class RecordingWindow : public fw::Window {
public:
    std::vector<UINT> seen;
    LPARAM ping_value = 0;
    bool* deleted_flag = nullptr;
    bool self_delete = false;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_NCCREATE || msg == WM_CREATE || msg == kPing || msg == WM_NCDESTROY)
            seen.push_back(msg);
        if (msg == kPing) {
            ping_value = lp;
            return 42;
        }
        return DefaultProc(msg, wp, lp);
    }
    void PostNcDestroy() override {
        if (self_delete) {
            if (deleted_flag) *deleted_flag = true;
            delete this;
        }
    }
};

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fw::Window::RegisterClass(kClass)); }
};

TEST_F(FrameworkTest, ObjectSeesItsOwnCreationAndIsFoundFromItsHandle) {
    RecordingWindow w;
    ASSERT_TRUE(w.Create(kClass, "t", WS_OVERLAPPEDWINDOW, 0, 0, 0, 100, 100, kParent));
    ASSERT_NE(w.hwnd(), nullptr);
    ASSERT_GE(w.seen.size(), 2u);
    EXPECT_EQ(w.seen[0], static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(w.seen[1], static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(fw::Window::FromHandlePermanent(w.hwnd()), &w);

    HWND h = w.hwnd();
    EXPECT_TRUE(w.DestroyWindow());
    EXPECT_EQ(w.hwnd(), nullptr);
    EXPECT_EQ(fw::Window::FromHandlePermanent(h), nullptr);
    EXPECT_EQ(w.seen.back(), static_cast<UINT>(WM_NCDESTROY));
}

TEST_F(FrameworkTest, PostedUserMessageReachesTheWindowProcedure) {
    RecordingWindow w;
    ASSERT_TRUE(w.Create(kClass, "t", WS_OVERLAPPEDWINDOW, 0, 0, 0, 100, 100, kParent));
    ASSERT_TRUE(PostMessageA(w.hwnd(), kPing, 0, 1234));
    EXPECT_TRUE(qwtest::PumpUntil([&] { return w.ping_value == 1234; }, 5000));
    EXPECT_EQ(SendMessageA(w.hwnd(), kPing, 0, 5), 42);
    w.DestroyWindow();
}

TEST_F(FrameworkTest, SubclassRoutesToObjectAndRestoresThePreviousProcedure) {
    HWND h = CreateWindowExA(0, "STATIC", "x", WS_CHILD, 0, 0, 10, 10, kParent,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(h, nullptr);
    LONG_PTR original = GetWindowLongPtrA(h, GWLP_WNDPROC);
    {
        RecordingWindow w;
        ASSERT_TRUE(w.SubclassWindow(h));
        EXPECT_FALSE(RecordingWindow().SubclassWindow(h)) << "one object per window";
        EXPECT_EQ(SendMessageA(h, kPing, 0, 7), 42);
        EXPECT_EQ(w.ping_value, 7);
        // Unhandled messages still reach the static control's own procedure.
        char text[8] = "";
        GetWindowTextA(h, text, sizeof(text));
        EXPECT_STREQ(text, "x");
    }  // the object goes first: the window must get its old procedure back
    EXPECT_EQ(GetWindowLongPtrA(h, GWLP_WNDPROC), original);
    EXPECT_EQ(fw::Window::FromHandlePermanent(h), nullptr);
    DestroyWindow(h);
}

TEST_F(FrameworkTest, SelfOwnedObjectDeletesItselfAfterItsWindowIsGone) {
    bool deleted = false;
    auto* w = new RecordingWindow;
    w->self_delete = true;
    w->deleted_flag = &deleted;
    ASSERT_TRUE(w->Create(kClass, "t", WS_OVERLAPPEDWINDOW, 0, 0, 0, 50, 50, kParent));
    DestroyWindow(w->hwnd());
    EXPECT_TRUE(deleted);
}

TEST(Harness, StringResourceLoadsFromTheModule) {
    char text[64] = "";
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), 101, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "Text from the string table");
}

TEST(Harness, DrawnTextPutsForegroundPixelsIntoTheDib) {
    qwtest::DibCanvas canvas(120, 40, RGB(255, 255, 255));
    EXPECT_EQ(canvas.CountNot(RGB(255, 255, 255)), 0);
    // The editor draws with fonts that ask for no anti-aliasing.
    HFONT font = CreateFontA(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, FIXED_PITCH,
                             "Courier New");
    ASSERT_NE(font, nullptr);
    HGDIOBJ old = SelectObject(canvas.dc(), font);
    SetTextColor(canvas.dc(), RGB(0, 0, 0));
    SetBkMode(canvas.dc(), TRANSPARENT);
    ASSERT_TRUE(TextOutA(canvas.dc(), 2, 2, "Quedra", 6));
    SelectObject(canvas.dc(), old);
    DeleteObject(font);
    int ink = canvas.CountNot(RGB(255, 255, 255));
    EXPECT_GT(ink, 20);
    // No anti-aliasing: every drawn pixel is exactly the text colour.
    int black = 0;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (canvas.pixel(x, y) == RGB(0, 0, 0)) ++black;
    EXPECT_EQ(black, ink);
}

TEST(Harness, MessageBoxesAreRecordedNotShown) {
    qwtest::MessageBoxRecorder rec(IDYES);
    EXPECT_EQ(QwPlatformMessageBox(nullptr, "Save changes?", "Quedra", MB_YESNO), IDYES);
    ASSERT_EQ(rec.boxes().size(), 1u);
    EXPECT_EQ(rec.boxes()[0].text, "Save changes?");
    EXPECT_EQ(rec.boxes()[0].caption, "Quedra");
    EXPECT_EQ(rec.boxes()[0].style, static_cast<UINT>(MB_YESNO));
}

// The loop hands idle time out while the queue is empty and stops on WM_QUIT.
TEST(Application, RunCallsIdleAndEndsWithTheQuitCode) {
    struct App : fw::Application {
        long idle_calls = 0;
        bool OnIdle(long count) override {
            ++idle_calls;
            if (count == 2) PostQuitMessage(9);
            return count < 2;
        }
    } app;
    EXPECT_EQ(fw::Application::Current(), &app);
    EXPECT_EQ(app.Run(), 9);
    EXPECT_EQ(app.idle_calls, 3);
}

} // namespace
