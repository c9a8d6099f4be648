// Tests the dialog engine in real windows: the entry's preset answer, OK and
// Cancel, validation and its messages, the undo list of immediate-apply
// settings, enable rules, the default callback, placement and anchors, list
// filling, modeless dialogs on their threads with requests from workers, and
// bad input (missing templates, damaged tables, over-long values), and tab
// sheets with pages from their table.
#include "commands/dlgengine.h"
#include "commands/dlgtabs.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "commands/cmdtable.h"
#include "commands/cmdvalues.h"
#include "framework/fwmsgbox.h"
#include "framework/fwprofile.h"
#include "opsys/msgbox_backend.h"
#include "opsys/shell_outlets.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"

namespace {

std::vector<std::string> g_tips;

void RecordTip(const char* text, unsigned, const QwPoint*) { g_tips.emplace_back(text ? text : ""); }

// Runs test steps inside a dialog's modal loop: each step runs from a
// posted message, after whatever the previous step posted.
class Script {
public:
    using Step = std::function<void(HWND dlg)>;
    explicit Script(std::vector<Step> steps) : steps_(std::move(steps)) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QwDlgScript";
        RegisterClassA(&wc);
        helper_ = CreateWindowA("QwDlgScript", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrA(helper_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Script() { DestroyWindow(helper_); }
    void Start(HWND dlg) {
        if (dlg_) return;  // a sheet's pages share its callback
        dlg_ = dlg;
        PostMessageA(helper_, WM_APP, 0, 0);
    }
    size_t done() const { return next_; }

private:
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        auto* s = reinterpret_cast<Script*>(GetWindowLongPtrA(w, GWLP_USERDATA));
        if (m == WM_APP && s && s->next_ < s->steps_.size()) {
            s->steps_[s->next_++](s->dlg_);
            if (s->next_ < s->steps_.size()) PostMessageA(w, WM_APP, 0, 0);
            return 0;
        }
        return DefWindowProcA(w, m, wp, lp);
    }
    std::vector<Step> steps_;
    size_t next_ = 0;
    HWND helper_ = nullptr;
    HWND dlg_ = nullptr;
};

// Starts the script when the dialog is initialised; records events.
class ScriptCallback : public CDialogCallback {
public:
    ScriptCallback(Script* s, bool* deleted = nullptr) : script_(s), deleted_(deleted) {}
    ~ScriptCallback() override {
        if (deleted_) *deleted_ = true;
    }
    int OnEvent(int event, int id) override {
        events.emplace_back(event, id);
        if (event == DLG_EV_STATE && id == 1 && script_) script_->Start(owner->hwnd());
        return CDialogCallback::OnEvent(event, id);
    }
    std::vector<std::pair<int, int>> events;

private:
    Script* script_;
    bool* deleted_;
};

void SetText(HWND dlg, int id, const std::string& t) { SetWindowTextA(GetDlgItem(dlg, id), t.c_str()); }
void Press(HWND dlg, int id) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id))); }

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        g_tips.clear();
        QwShellOutlets o{};
        o.tip_show = RecordTip;
        o.main_window = [] { return static_cast<void*>(GetDesktopWindow()); };
        QwSetShellOutlets(&o);
        fw::SetMessageBoxHandler(&QwPlatformMessageBox);
        K_cmd_values_install();
    }
    void TearDown() override {
        QwSetShellOutlets(nullptr);
        DlgSetProfile(nullptr);
        DlgSetWorkAreaProvider(nullptr);
    }
    int Run(int tmpl, Script& s, DlgString* strings, unsigned flags = 0, int command = 0x7AB,
            ScriptCallback** cb_out = nullptr) {
        auto* cb = new ScriptCallback(&s);
        if (cb_out) *cb_out = cb;
        return dialog_manager_ex(tmpl, nullptr, nullptr, nullptr, flags, nullptr, strings, command, 0, nullptr, 0, cb,
                                 nullptr);
    }
    qwtest::MessageBoxRecorder boxes_;
};

TEST_F(Dialogs, PresetAnswersWithoutAWindow) {
    std::string text(2000, 'p');
    K_cmd_params p;
    K_cmd_params_init(&p, 1, 430, text.c_str(), 0, 0);
    char small[32];
    DlgString strings[] = {{small, sizeof small}, {nullptr, 0}};
    for (unsigned flags : {0u, unsigned(DLG_F_MODELESS)}) {
        bool deleted = false;
        auto* cb = new ScriptCallback(nullptr, &deleted);
        EXPECT_EQ(dialog_manager_ex(9001, nullptr, nullptr, nullptr, flags, nullptr, strings, 430, 0, nullptr, 0, cb, &p),
                  1);
        EXPECT_TRUE(deleted);  // the callback is taken over even then
        EXPECT_EQ(std::strlen(small), sizeof small - 1);
        EXPECT_EQ(CUIThreads::Get().Count(), 0);
    }
    K_cmd_params_init(&p, 1, 430, "42", 0, 0);
    char value[16] = "";
    EXPECT_EQ(DlgPromptValue({value, sizeof value}, "Go", "Line:", 430, 0, &p), 42);
}

TEST_F(Dialogs, OkStoresAndCancelLeavesStringValues) {
    char buf[260] = "start";
    DlgString strings[] = {{buf, sizeof buf}, {nullptr, 0}};
    Script ok({[](HWND d) { SetText(d, 250, "c:\\new"); }, [](HWND d) { Press(d, IDOK); }});
    EXPECT_EQ(Run(9001, ok, strings), IDOK);
    EXPECT_STREQ(buf, "c:\\new");
    Script cancel({[](HWND d) {
        EXPECT_EQ(GetWindowTextLengthA(GetDlgItem(d, 250)), 6);  // loaded from the value
        SetText(d, 250, "other");
    }, [](HWND d) { Press(d, IDCANCEL); }});
    EXPECT_EQ(Run(9001, cancel, strings), IDCANCEL);
    EXPECT_STREQ(buf, "c:\\new");
    EXPECT_TRUE(g_tips.empty());
}

TEST_F(Dialogs, OkWithAnInvalidFieldKeepsTheDialogOnThatField) {
    char buf[260] = "";
    DlgString strings[] = {{buf, sizeof buf}, {nullptr, 0}};
    Script s({[](HWND d) { SetText(d, 250, "a*b"); },
              [](HWND d) { Press(d, IDOK); },
              [](HWND) {},  // the focus moves back by a posted message
              [](HWND d) {
                  EXPECT_TRUE(IsWindow(d));
                  if (qwtest::ThisProcessHasTheForeground()) {
                      EXPECT_EQ(GetFocus(), GetDlgItem(d, 250));
                  }
                  DWORD a = 0, b = 0;
                  SendMessageA(GetDlgItem(d, 250), EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
                  EXPECT_EQ(a, 0u);
                  EXPECT_EQ(b, 3u);
                  SetText(d, 250, "ab");
              },
              [](HWND d) { Press(d, IDOK); }});
    EXPECT_EQ(Run(9001, s, strings), IDOK);
    ASSERT_EQ(g_tips.size(), 1u);
    EXPECT_EQ(g_tips[0], "Wildcards not allowed");
    EXPECT_STREQ(buf, "ab");
}

TEST_F(Dialogs, ValidationMessages) {
    qwtest::TempDir tmp;
    std::string file = tmp.path() + "\\f.txt";
    FILE* f = fopen(file.c_str(), "w");
    ASSERT_TRUE(f);
    fclose(f);
    char b0[260] = "", b5[260] = "";
    DlgString strings[] = {{b0, sizeof b0}, {b0, sizeof b0}, {b0, sizeof b0}, {b0, sizeof b0}, {b0, sizeof b0},
                           {b5, sizeof b5}, {nullptr, 0}};
    std::string long_path = "c:\\" + std::string(297, 'x');
    struct Case { int id; std::string text; const char* message; } cases[] = {
        {250, long_path, nullptr},  // filled below: the too-long message
        {250, "a|b", "Invalid characters in filename 'a|b'"},
        {250, "*.c", "Wildcards not allowed"},
        {250, "c:\\ok.c", ""},
        {252, "c:\\no\\such\\folder", "Drive or directory 'c:\\no\\such\\folder' doesn't exist"},
        {252, tmp.path(), ""},
        {253, tmp.path() + "\\missing.txt", ""},
        {253, file, ""},
        {251, "0", "0 is less than the minimum allowed value of 1"},
        {251, "51", "51 is greater than the maximum allowed value of 50"},
        {251, "50", ""},
        {251, "", ""},
        {255, long_path, nullptr},  // no rule: still no more than its buffer holds
        {255, std::string(259, 'y'), ""},
    };
    cases[6].message = nullptr;
    std::vector<std::string> want;
    for (const Case& c : cases)
        want.push_back(c.message ? c.message
                       : c.id == 253 ? "File: '" + c.text + "' doesn't exist"
                                     : "Filename '" + c.text + "' too long");
    Script s({[&](HWND d) {
        for (size_t i = 0; i < std::size(cases); ++i) {
            g_tips.clear();
            HWND w = GetDlgItem(d, cases[i].id);
            SetWindowTextA(w, cases[i].text.c_str());
            LRESULT ok = SendMessageA(d, UWM_DLG_VALIDATE, reinterpret_cast<WPARAM>(w), DLG_R_FOCUS_LOST);
            EXPECT_EQ(ok != 0, want[i].empty()) << i;
            EXPECT_EQ(g_tips.empty() ? "" : g_tips[0], want[i]) << i;
            SetWindowTextA(w, "");
        }
    }, [](HWND d) { Press(d, IDCANCEL); }});
    EXPECT_EQ(Run(9001, s, strings), IDCANCEL);
    EXPECT_STREQ(b5, "");  // nothing ever ran over
}

TEST_F(Dialogs, CancelPutsImmediateSettingsBackAndOkKeepsThem) {
    char b[8] = "";
    DlgString strings[] = {{b, sizeof b}, {nullptr, 0}};
    for (int answer : {IDCANCEL, IDOK}) {
        cmd_set_value(487, 0);
        Script s({[](HWND d) { SendMessageA(GetDlgItem(d, 487), BM_CLICK, 0, 0); },
                  [](HWND) { EXPECT_EQ(cmd_get_value(487), 1); },  // applied at once
                  [answer](HWND d) { Press(d, answer); }});
        EXPECT_EQ(Run(9001, s, strings), answer);
        EXPECT_EQ(cmd_get_value(487), answer == IDOK ? 1 : 0);
    }
}

TEST_F(Dialogs, EscOnAnInvalidFieldClosesWithoutAMessage) {
    char b[260] = "";
    DlgString strings[] = {{b, sizeof b}, {nullptr, 0}};
    Script s({[](HWND d) {
                  SetText(d, 250, "bad*");
                  SendMessageA(d, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(d, 250)), TRUE);
              },
              [](HWND d) {
                  HWND e = GetDlgItem(d, 250);
                  PostMessageA(e, WM_KEYDOWN, VK_ESCAPE, 0);
              }});
    EXPECT_EQ(Run(9001, s, strings), IDCANCEL);
    qwtest::PumpPending();
    EXPECT_TRUE(g_tips.empty());
    EXPECT_STREQ(b, "");
}

TEST_F(Dialogs, EnableRulesWithOneKeyMustAllHold) {
    char b[8] = "";
    DlgString strings[] = {{b, sizeof b}, {nullptr, 0}};
    auto enabled = [](HWND d) { return IsWindowEnabled(GetDlgItem(d, 254)) != 0; };
    auto checked = [](HWND d, int id) { return IsDlgButtonChecked(d, id) == BST_CHECKED; };
    Script s({[&](HWND d) {
        // Without storage the default callback's answer 1 loads them checked.
        EXPECT_TRUE(checked(d, 221) && checked(d, 222));
        EXPECT_TRUE(enabled(d));
        SendMessageA(GetDlgItem(d, 221), BM_CLICK, 0, 0);
        EXPECT_FALSE(enabled(d));
        SendMessageA(GetDlgItem(d, 221), BM_CLICK, 0, 0);
        EXPECT_TRUE(enabled(d));
        SendMessageA(GetDlgItem(d, 222), BM_CLICK, 0, 0);
        EXPECT_FALSE(enabled(d));  // one of two is not enough
    }, [](HWND d) { Press(d, IDCANCEL); }});
    EXPECT_EQ(Run(9001, s, strings), IDCANCEL);
}

std::vector<std::pair<int, int>> g_ran;
int RecordRun(int id, K_cmd_params* p) {
    g_ran.emplace_back(id, p ? p->kind : -1);
    return 0;
}

TEST_F(Dialogs, DefaultCallbackRunsClickedSettingsAsCommands) {
    g_ran.clear();
    DlgCommandRunner old = DlgSetCommandRunner(RecordRun);
    char b[8] = "";
    DlgString strings[] = {{b, sizeof b}, {nullptr, 0}};
    // No callback of the caller: a timer of this thread drives the dialog.
    qwtest::WhenDialogShows user([](HWND d) {
        SendMessageA(GetDlgItem(d, 600), BM_CLICK, 0, 0);
        PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(dialog_manager_ex(9001, nullptr, nullptr, nullptr, 0, nullptr, strings, 0x7AB, 0, nullptr, 0, nullptr,
                                nullptr),
              IDCANCEL);
    ASSERT_EQ(g_ran.size(), 1u);
    EXPECT_EQ(g_ran[0], std::make_pair(600, 6));
    DlgSetCommandRunner(old);
}

DlgRect SmallArea() { return {0, 0, 640, 480}; }

TEST_F(Dialogs, PlacementIsClampedAndKeptOnlyAfterAMove) {
    fw::Profile profile("QwDlgTest");
    profile.DeleteSection("Dialog 7AB");
    DlgSetProfile(&profile);
    DlgSetWorkAreaProvider(SmallArea);
    char b[8] = "";
    DlgString strings[] = {{b, sizeof b}, {nullptr, 0}};
    Script still({[](HWND d) { Press(d, IDCANCEL); }});
    Run(9001, still, strings, DLG_F_KEEP_PLACEMENT);
    EXPECT_EQ(profile.GetInt("Dialog 7AB", "X", -999), -999);  // no move, nothing kept

    Script moved({[](HWND d) { SetWindowPos(d, nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER); },
                  [](HWND d) { Press(d, IDCANCEL); }});
    Run(9001, moved, strings, DLG_F_KEEP_PLACEMENT);
    EXPECT_EQ(profile.GetInt("Dialog 7AB", "X", -999), 33);
    EXPECT_EQ(profile.GetInt("Dialog 7AB", "Y", -999), 44);
    EXPECT_GT(profile.GetInt("Dialog 7AB", "CX", 0), 0);
    EXPECT_GT(profile.GetInt("Dialog 7AB", "CY", 0), 0);

    profile.WriteInt("Dialog 7AB", "X", 5000);  // on no monitor
    profile.WriteInt("Dialog 7AB", "Y", -300);
    RECT r{};
    Script check({[&](HWND d) { GetWindowRect(d, &r); }, [](HWND d) { Press(d, IDCANCEL); }});
    Run(9001, check, strings, DLG_F_KEEP_PLACEMENT);
    EXPECT_LE(r.right, 640);
    EXPECT_GE(r.left, 0);
    EXPECT_EQ(r.top, 0);
    profile.DeleteSection("Dialog 7AB");
}

TEST_F(Dialogs, AnchorsFollowTheSizeAndListsMeasureTheirLines) {
    char b[8] = "";
    DlgString strings[] = {{b, sizeof b}, {nullptr, 0}};
    RECT list0{}, list1{}, add0{}, add1{};
    auto rect = [](HWND d, int id, RECT* r) {
        GetWindowRect(GetDlgItem(d, id), r);
        MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(r), 2);
    };
    ScriptCallback* cb = nullptr;
    Script s({[&](HWND d) {
                  rect(d, 280, &list0);
                  rect(d, 260, &add0);
                  RECT w{};
                  GetWindowRect(d, &w);
                  SetWindowPos(d, nullptr, 0, 0, w.right - w.left + 40, w.bottom - w.top + 30, SWP_NOMOVE | SWP_NOZORDER);
              },
              [&](HWND d) {
                  rect(d, 280, &list1);
                  rect(d, 260, &add1);
                  Dialog_UI* ui = pDialog_UI(d);
                  ASSERT_TRUE(ui);
                  HWND list = GetDlgItem(d, 280);
                  int narrow = ui->PopulateListFromStrings(list, {"a", "b"}, 0);
                  int wide = ui->PopulateListFromStrings(list, {"a", "a much longer line of text"}, 5);
                  EXPECT_GT(narrow, 0);
                  EXPECT_GT(wide, narrow);
                  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1);  // clamped to the last line
                  Press(d, IDCANCEL);
              }});
    Run(9002, s, strings, 0, 0x7AB, &cb);
    EXPECT_EQ(list1.right - list1.left, list0.right - list0.left + 40)  // stretched
        << list0.left << "," << list0.right << " -> " << list1.left << "," << list1.right << " add " << add0.left << "->" << add1.left;
    EXPECT_EQ(list1.bottom - list1.top, list0.bottom - list0.top + 30);
    EXPECT_EQ(add1.left, add0.left + 40);  // moved right
    EXPECT_EQ(add1.top, add0.top);
}

// A list box that has room for three entries only.
WNDPROC g_list_proc;
LRESULT CALLBACK FullList(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == LB_ADDSTRING && CallWindowProcA(g_list_proc, w, LB_GETCOUNT, 0, 0) >= 3) return LB_ERRSPACE;
    return CallWindowProcA(g_list_proc, w, m, wp, lp);
}

TEST_F(Dialogs, AFullListSaysSoAndStops) {
    char b[8] = "";
    DlgString strings[] = {{b, sizeof b}, {nullptr, 0}};
    Script s({[&](HWND d) {
        HWND list = GetDlgItem(d, 280);
        g_list_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FullList)));
        pDialog_UI(d)->PopulateListFromStrings(list, {"1", "2", "3", "4", "5"}, 0);
        EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
        Press(d, IDCANCEL);
    }});
    Run(9002, s, strings);
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, "Windows list box has run out of space, some items will not be displayed.");
}

TEST_F(Dialogs, BadInputIsRefusedClearly) {
    char b[8] = "";
    DlgString strings[] = {{b, sizeof b}, {nullptr, 0}};
    EXPECT_EQ(dialog_manager_ex(4242, nullptr, nullptr, nullptr, 0, nullptr, strings, 0, 0, nullptr, 0, nullptr, nullptr),
              -1);  // no template
    EXPECT_FALSE(boxes_.boxes().empty());
    // A damaged table is refused: no rule disables Cancel.
    Script s({[](HWND d) {
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDCANCEL)));
        Press(d, IDCANCEL);
    }});
    EXPECT_EQ(Run(9003, s, strings), IDCANCEL);
}

TEST_F(Dialogs, PromptAndChangeFolder) {
    {
        char value[16] = "";
        qwtest::WhenDialogShows prompt([](HWND d) {
            SetWindowTextA(GetDlgItem(d, 250), "17");
            PostMessageA(d, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(DlgPromptValue({value, sizeof value}, "Go", "Line:", 430, 0, nullptr), 17);
        EXPECT_STREQ(value, "17");
    }

    qwtest::TempDir tmp;
    char path[MAX_PATH];
    std::strcpy(path, "keep");
    std::string s_long = "c:\\" + std::string(296, 'z');
    std::string s_folder = tmp.path();
    qwtest::WhenDialogShows user([&](HWND d) {
        char caption[64] = "";
        GetWindowTextA(d, caption, sizeof caption);
        EXPECT_STREQ(caption, "Select Folder");
        HWND combo = GetDlgItem(d, 270);
        SetWindowTextA(combo, s_long.c_str());  // typed: the change is applied at once
        SendMessageA(d, WM_COMMAND, MAKEWPARAM(270, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(combo));
        SendMessageA(d, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(IsWindow(d));  // too long for the folder buffer
        SetWindowTextA(combo, s_folder.c_str());
        SendMessageA(d, WM_COMMAND, MAKEWPARAM(270, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(combo));
        PostMessageA(d, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(ChangeFolderDialog({path, sizeof path}, 0, 1, 0x7AB), IDOK);
    EXPECT_EQ(path, s_folder);
    ASSERT_FALSE(g_tips.empty());
    EXPECT_EQ(g_tips[0], "Filename '" + s_long + "' too long");
}

TEST_F(Dialogs, MessageBoxWithListShowsFifteenItems) {
    std::vector<std::string> items;
    for (int i = 0; i < 20; ++i) items.push_back("f" + std::to_string(i));
    boxes_.set_answer(IDNO);
    EXPECT_EQ(MessageBoxWithList(9100, items, MB_YESNO << 16, 0), IDNO);
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    std::string want = "These files are open:";
    for (int i = 0; i < 15; ++i) want += "\rf" + std::to_string(i);
    want += "\r....";
    EXPECT_EQ(boxes_.boxes()[0].text, want);
    EXPECT_EQ(boxes_.boxes()[0].style & 0x1F4, unsigned(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
}

// ---- Modeless ---------------------------------------------------------------------------

int OpenTool(DlgString* strings) {
    return dialog_manager_ex(9003, nullptr, nullptr, nullptr, DLG_F_MODELESS, nullptr, strings, 0, 0, nullptr, 0, nullptr,
                             nullptr);
}

HWND WaitForTool() {
    HWND w = nullptr;
    qwtest::PumpUntil([&] { return CUIThreads::Get().FindModelessDialog(9003, false, &w) == 1; });
    return w;
}

TEST_F(Dialogs, ModelessDialogsAreFoundServedAndClosed) {
    char b[64] = "";
    DlgString strings[] = {{b, sizeof b}, {nullptr, 0}};
    ASSERT_EQ(OpenTool(strings), 1);
    HWND first = WaitForTool();
    ASSERT_TRUE(first);
    HWND again = nullptr;
    EXPECT_EQ(CUIThreads::Get().FindModelessDialog(9003, true, &again), 1);  // the caller asks first
    EXPECT_EQ(again, first);
    EXPECT_NE(GetWindowThreadProcessId(first, nullptr), GetCurrentThreadId());

    std::thread worker([] {
        for (int i = 0; i < 50; ++i) {
            auto* r = new DlgControlRequest;
            r->control = 250;
            r->kind = i % 2 ? 12 : 99;  // unknown kinds are freed too
            r->text = "line " + std::to_string(i);
            CUIThreads::Get().PostRequest(9003, r);
        }
    });
    worker.join();
    char text[32] = "";
    EXPECT_TRUE(qwtest::PumpUntil([&] {
        GetWindowTextA(GetDlgItem(first, 250), text, sizeof text);
        return DlgPendingRequests() == 0 && std::strcmp(text, "line 49") == 0;
    }));
    EXPECT_EQ(CUIThreads::Get().PostMessage(9003, UWM_DLG_EVENT, DLG_SEC_ENABLE, 0), 1);

    CUIThreads::Get().CloseAll(nullptr);
    EXPECT_TRUE(CUIThreads::Get().WaitAll(10000));
    EXPECT_EQ(CUIThreads::Get().FindModelessDialog(9003, false, &again), 0);
    auto* late = new DlgControlRequest;
    late->kind = 12;
    EXPECT_FALSE(DlgPostRequest(first, late));  // closed: refused and freed
    EXPECT_EQ(DlgPendingRequests(), 0);
}

// Records the update pass from the dialog's thread; a click on 600 changes
// the setting and asks for an update pass while the callback still runs.
class WatchCallback : public CDialogCallback {
public:
    int OnEvent(int event, int id) override {
        if (event == DLG_EV_CLICK && id == 600) {
            HWND d = owner->hwnd();
            LRESULT before = SendDlgItemMessageA(d, 487, BM_GETCHECK, 0, 0);
            cmd_set_value(487, before == BST_CHECKED ? 0 : 1);
            SendMessageA(d, fw::IdleUpdateMessage(), TRUE, 0);
            touched_in_callback = SendDlgItemMessageA(d, 487, BM_GETCHECK, 0, 0) != before;
            clicked = true;
            return 1;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (event == DLG_EV_STATE && id == 1) initialised = true;
        if (event == DLG_EV_UPDATE) updates.push_back(id);
        return CDialogCallback::OnEvent(event, id);
    }
    std::vector<int> Updates() {
        std::lock_guard<std::mutex> lock(mutex_);
        return updates;
    }
    void ClearUpdates() {
        std::lock_guard<std::mutex> lock(mutex_);
        updates.clear();
    }
    std::atomic<bool> initialised{false}, clicked{false}, touched_in_callback{false};

private:
    std::mutex mutex_;
    std::vector<int> updates;
};

// A dialog thread starts slowly on a loaded machine.
constexpr DWORD kSlow = 15000;

TEST_F(Dialogs, ModelessDialogInTheBackgroundFollowsItsSettingsAtIdleTime) {
    cmd_set_value(487, 0);
    auto* cb = new WatchCallback;
    ASSERT_EQ(dialog_manager_ex(9004, nullptr, nullptr, nullptr, DLG_F_MODELESS, nullptr, nullptr, 0, 0, nullptr, 0, cb,
                                nullptr),
              1);
    HWND d = nullptr;
    ASSERT_TRUE(qwtest::PumpUntil([&] { return CUIThreads::Get().FindModelessDialog(9004, false, &d) == 1; }, kSlow));
    ASSERT_TRUE(qwtest::PumpUntil([&] { return cb->initialised.load(); }, kSlow));
    HWND check = GetDlgItem(d, 487), edit = GetDlgItem(d, 250);
    EXPECT_FALSE(IsWindowEnabled(edit));
    UINT idle = fw::IdleUpdateMessage();

    // In the background: the value comes back from storage, then the rule
    // of the check box enables the edit on the next pass.
    cmd_set_value(487, 1);
    EXPECT_TRUE(qwtest::PumpUntil([&] {
        SendMessageA(d, WM_ACTIVATE, WA_INACTIVE, 0);
        EXPECT_EQ(CUIThreads::Get().PostMessage(-1, idle, TRUE, 0), 1);
        return SendMessageA(check, BM_GETCHECK, 0, 0) == BST_CHECKED && IsWindowEnabled(edit);
    }, kSlow));
    std::vector<int> seen = cb->Updates();
    for (int id : {487, 250, 600, 2}) EXPECT_NE(std::find(seen.begin(), seen.end(), id), seen.end()) << id;

    // The active dialog belongs to the user: nothing changes under them.
    SendMessageA(d, WM_ACTIVATE, WA_ACTIVE, 0);
    cb->ClearUpdates();
    cmd_set_value(487, 0);
    SendMessageA(d, idle, TRUE, 0);
    // Another test's window on the shared desktop may really deactivate the
    // dialog meanwhile; then the pass is right to run.
    if (pDialog_UI(d)->state() & DLG_ST_ACTIVE) {
        EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_CHECKED);
        EXPECT_TRUE(cb->Updates().empty());
    }

    // Nor while its callback runs, even in the background.
    SendMessageA(d, WM_ACTIVATE, WA_INACTIVE, 0);
    PostMessageA(d, WM_COMMAND, MAKEWPARAM(600, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(d, 600)));
    EXPECT_TRUE(qwtest::PumpUntil([&] { return cb->clicked.load(); }, kSlow));
    EXPECT_FALSE(cb->touched_in_callback.load());

    CUIThreads::Get().CloseAll(nullptr);
    EXPECT_TRUE(CUIThreads::Get().WaitAll(10000));
}

struct HelpRun {
    int id, kind;
    intptr_t context;
};
std::vector<HelpRun> g_help;
int RecordHelp(int id, K_cmd_params* p) {
    g_help.push_back({id, p ? p->kind : -1, p ? p->arg : -2});
    return 0;
}

TEST_F(Dialogs, HelpRunsWithTheMostSpecificContext) {
    DlgCommandRunner old = DlgSetCommandRunner(RecordHelp);
    struct Case {
        int table, left, command;  // left: the field the user was in (0 none)
        intptr_t context;
    } cases[] = {
        {9006, 620, 611, 620},     // a field bound to a setting
        {9006, 250, 611, 777},     // the table names the context
        {0, 250, 611, 611},        // the command that opened the dialog
        {0, 0, 0x7AB, -1},         // nothing known
    };
    for (const Case& c : cases) {
        g_help.clear();
        bool focus_back = true;
        Script s({[&](HWND d) {
                      if (c.left)
                          SendMessageA(d, WM_COMMAND, MAKEWPARAM(c.left, EN_KILLFOCUS),
                                       reinterpret_cast<LPARAM>(GetDlgItem(d, c.left)));
                      Press(d, 304);
                  },
                  [&](HWND d) {
                      if (c.left && qwtest::ThisProcessHasTheForeground())
                          focus_back = GetFocus() == GetDlgItem(d, c.left);
                      Press(d, IDCANCEL);
                  }});
        auto* cb = new ScriptCallback(&s);
        EXPECT_EQ(dialog_manager_ex(9005, nullptr, nullptr, nullptr, 0, nullptr, nullptr, c.command, c.table, nullptr,
                                    0, cb, nullptr),
                  IDCANCEL);
        ASSERT_EQ(g_help.size(), 1u) << c.table << " " << c.left;
        EXPECT_EQ(g_help[0].id, 304);
        EXPECT_EQ(g_help[0].kind, 6);
        EXPECT_EQ(g_help[0].context, c.context) << c.table << " " << c.left;
        EXPECT_TRUE(focus_back) << c.left;
    }
    DlgSetCommandRunner(old);
}

TEST_F(Dialogs, ModelessOpenAndCloseFromSeveralThreads) {
    char b[64] = "";
    DlgString strings[] = {{b, sizeof b}, {nullptr, 0}};
    std::atomic<int> opened{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 8; ++i) {
                if (OpenTool(strings) == 1) ++opened;
                auto* r = new DlgControlRequest;
                r->control = 250;
                r->kind = 12;
                r->text = "x";
                CUIThreads::Get().PostRequest(9003, r);
                CUIThreads::Get().CloseAll(nullptr);
                std::vector<RECT> rects;
                CUIThreads::Get().GetDialogRects(RECT{-10000, -10000, 10000, 10000}, &rects);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(opened.load(), 32);
    // Dialogs that opened after the last CloseAll are closed now.
    for (int round = 0; round < 200 && CUIThreads::Get().Count(); ++round) {
        CUIThreads::Get().CloseAll(nullptr);
        CUIThreads::Get().WaitAll(100);
    }
    EXPECT_EQ(CUIThreads::Get().Count(), 0);
    EXPECT_EQ(DlgPendingRequests(), 0);
}

} // namespace

// ---- Tab sheets ----------------------------------------------------------------------------

namespace {

TEST_F(Dialogs, TabSheetPagesFromTheTable) {
    char b0[64] = "", b1[64] = "";
    DlgString strings[] = {{b0, sizeof b0}, {b1, sizeof b1}, {nullptr, 0}};
    Script s({[&](HWND d) {
                  Dialog_UI* ui = pDialog_UI(d);
                  ASSERT_TRUE(ui);
                  HWND tab = GetDlgItem(d, 299);
                  ASSERT_EQ(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0), 3);
                  char text[32] = "";
                  TCITEMA item{};
                  item.mask = TCIF_TEXT;
                  item.pszText = text;
                  item.cchTextMax = sizeof text;
                  SendMessageA(tab, TCM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
                  EXPECT_STREQ(text, "First");
                  SendMessageA(tab, TCM_GETITEMA, 2, reinterpret_cast<LPARAM>(&item));
                  EXPECT_STREQ(text, "");  // no string: an empty label
                  EXPECT_EQ(SendMessageA(tab, TCM_GETCURSEL, 0, 0), 1);  // the caller's first page
              },
              [](HWND d) {
                  // Page 2 (flag 128) is left even when invalid, silently.
                  HWND tab = GetDlgItem(d, 299);
                  HWND edit = nullptr;
                  for (HWND w = GetWindow(d, GW_CHILD); w && !edit; w = GetWindow(w, GW_HWNDNEXT))
                      if (IsWindowVisible(w) && GetDlgItem(w, 251)) edit = GetDlgItem(w, 251);
                  ASSERT_TRUE(edit);
                  SetWindowTextA(edit, "x*");
                  NMHDR nm{tab, 299, static_cast<UINT>(TCN_SELCHANGING)};
                  EXPECT_EQ(SendMessageA(d, WM_NOTIFY, 299, reinterpret_cast<LPARAM>(&nm)), FALSE);
                  SendMessageA(tab, TCM_SETCURSEL, 0, 0);
                  nm.code = static_cast<UINT>(TCN_SELCHANGE);
                  SendMessageA(d, WM_NOTIFY, 299, reinterpret_cast<LPARAM>(&nm));
                  EXPECT_TRUE(g_tips.empty());
                  // Page 1 keeps the focus while its field is invalid.
                  HWND first = nullptr;
                  for (HWND w = GetWindow(d, GW_CHILD); w && !first; w = GetWindow(w, GW_HWNDNEXT))
                      if (IsWindowVisible(w) && GetDlgItem(w, 250)) first = GetDlgItem(w, 250);
                  ASSERT_TRUE(first);
                  SetWindowTextA(first, "a?");
                  nm.code = static_cast<UINT>(TCN_SELCHANGING);
                  EXPECT_EQ(SendMessageA(d, WM_NOTIFY, 299, reinterpret_cast<LPARAM>(&nm)), TRUE);
                  ASSERT_EQ(g_tips.size(), 1u);
                  EXPECT_EQ(g_tips[0], "Wildcards not allowed");
                  SetWindowTextA(first, "fine");
                  EXPECT_EQ(SendMessageA(d, WM_NOTIFY, 299, reinterpret_cast<LPARAM>(&nm)), FALSE);
                  // Page 3 current: neither the sheet nor the page has a default button.
                  SendMessageA(tab, TCM_SETCURSEL, 2, 0);
                  nm.code = static_cast<UINT>(TCN_SELCHANGE);
                  SendMessageA(d, WM_NOTIFY, 299, reinterpret_cast<LPARAM>(&nm));
                  SendMessageA(d, WM_COMMAND, IDOK, 0);
              },
              [](HWND d) {
                  EXPECT_TRUE(IsWindow(d));
                  HWND tab = GetDlgItem(d, 299);
                  SendMessageA(tab, TCM_SETCURSEL, 0, 0);
                  NMHDR nm{tab, 299, static_cast<UINT>(TCN_SELCHANGE)};
                  SendMessageA(d, WM_NOTIFY, 299, reinterpret_cast<LPARAM>(&nm));
                  PostMessageA(d, WM_COMMAND, IDOK, 0);  // the first page's default button
              }});
    int page = 1;
    auto* cb = new ScriptCallback(&s);
    EXPECT_EQ(Tab_dialog_manager_ex(9010, nullptr, nullptr, nullptr, 0, nullptr, strings, 0x7AB, 0, nullptr, 0, cb,
                                    nullptr, &page),
              IDOK);
    EXPECT_EQ(page, 0);
    EXPECT_STREQ(b0, "fine");
    EXPECT_STREQ(b1, "x*");  // the silent page stored what it held
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, "KV: No Default Pushbutton found on Dialog Sheet or Current Page!!");
}

} // namespace

namespace {

// Enter presses the default button and Esc cancels, as in any dialog: the
// go-to-line dialog, whose OK is enabled only once a number is typed.
TEST_F(Dialogs, EnterAndEscFromTheKeyboard) {
    for (int key : {VK_RETURN, VK_ESCAPE}) {
        SCOPED_TRACE(key);
        char b[64] = "";
        DlgString strings[] = {{b, sizeof b}, {nullptr, 0}};
        Script s({[](HWND d) {
                      HWND e = GetDlgItem(d, 250);
                      SendMessageA(d, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(e), TRUE);
                      for (char c : std::string("50")) PostMessageA(e, WM_CHAR, static_cast<WPARAM>(c), 0);
                  },
                  [key](HWND d) {
                      EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDOK)));
                      PostMessageA(GetDlgItem(d, 250), WM_KEYDOWN, static_cast<WPARAM>(key), 0);
                  }});
        EXPECT_EQ(Run(2582, s, strings), key == VK_RETURN ? IDOK : IDCANCEL);
        EXPECT_STREQ(b, key == VK_RETURN ? "50" : "");
    }
}

}  // namespace
