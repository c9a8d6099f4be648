// The message box with the check box: its caption by box type, the check box
// ticked by the user and read back, the initial state, the box without it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "controls/nbmsgbox.h"
#include "framework/fwmsgbox.h"
#include "tests/support/win_test.h"

namespace {

struct Seen {
    std::string check_text;
    bool had_separator = false;
    bool found = false;
};

// Plays the user from a timer of this thread, which the box's own modal
// loop dispatches: finds the box by its caption, reads its check box, ticks
// it `clicks` times and presses `button`.
struct Play {
    const char* caption;
    int clicks, button;
    Seen* seen;
} g_play;

void CALLBACK PlayUser(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowA("#32770", g_play.caption);
    HWND check = box ? GetDlgItem(box, CnbMessageBox::kCheckId) : nullptr;
    if (!check) return;  // not up yet: the next tick
    KillTimer(nullptr, id);
    Seen* seen = g_play.seen;
    seen->found = true;
    seen->had_separator = GetDlgItem(box, CnbMessageBox::kSeparatorId) != nullptr;
    char text[128] = "";
    GetWindowTextA(check, text, sizeof text);
    seen->check_text = text;
    for (int i = 0; i < g_play.clicks; ++i) PostMessageA(box, WM_COMMAND, CnbMessageBox::kCheckId, 0);
    PostMessageA(box, WM_COMMAND, g_play.button, 0);
}

void User(const char* caption, int clicks, int button, Seen* seen) {
    g_play = {caption, clicks, button, seen};
    SetTimer(nullptr, 0, 10, PlayUser);
}

TEST(CnbMessageBox, CheckBoxCaptionStateAndButton) {
    fw::SetAppTitle("QwBoxTest");
    struct {
        UINT type;
        int initial, clicks, button;
        const char* caption_text;
        int want_checked;
    } cases[] = {
        {MB_YESNO | MB_ICONQUESTION, 0, 1, IDNO, "Do not ask again", 1},
        {MB_OK, 0, 0, IDOK, "Do not show again", 0},
        {MB_YESNO, 1, 0, IDYES, "Do not ask again", 1},
        {MB_YESNO, 1, 1, IDYES, "Do not ask again", 0},
    };
    for (auto& c : cases) {
        CnbMessageBox::ResetDoNotAgainStrings();
        Seen seen;
        User("QwBoxTest - Q", c.clicks, c.button, &seen);
        CnbMessageBox box(nullptr);
        box.SetChecked(c.initial);
        int r = box.MessageBoxA("Q", "Question?", c.type, 0);
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(r, c.button);
        EXPECT_EQ(seen.check_text, c.caption_text);
        EXPECT_TRUE(seen.had_separator);
        EXPECT_EQ(box.GetChecked(), c.want_checked);
    }
    // The store's entry: its own caption for the check box.
    Seen seen;
    User("QwBoxTest - S", 1, IDYES, &seen);
    int checked = 0;
    EXPECT_EQ(QwCtlCheckMessageBox("S", "text", MB_YESNO, "Never again", &checked), IDYES);
    EXPECT_EQ(seen.check_text, "Never again");
    EXPECT_EQ(checked, 1);
}

TEST(CnbMessageBox, WithoutCheckBoxGoesThroughTheHandler) {
    fw::SetAppTitle("QwBoxTest");
    static std::string caption;
    static unsigned style;
    auto prev = fw::SetMessageBoxHandler([](HWND__*, const char*, const char* c, unsigned s) {
        caption = c;
        style = s;
        return IDRETRY;
    });
    int checked = 1;
    EXPECT_EQ(QwCtlCheckMessageBox("", "t", MB_YESNO, nullptr, &checked), IDRETRY);
    EXPECT_EQ(caption, "QwBoxTest");
    EXPECT_EQ(style, unsigned(MB_YESNO | MB_ICONEXCLAMATION));  // a question gets an icon
    EXPECT_EQ(checked, 0);
    CnbMessageBox::DoMessageBox("x", "t", MB_ABORTRETRYIGNORE, 0);
    EXPECT_EQ(style, unsigned(MB_ABORTRETRYIGNORE));  // keeps none
    fw::SetMessageBoxHandler(prev);
}

} // namespace
