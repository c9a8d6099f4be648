// Dialogs: the modal loop on the main thread and on a second UI thread
// (pre-translation and idle updates inside it, ended by a posted command),
// data exchange with its validate-and-fail path, resource, in-memory and
// missing templates, modeless dialogs, and the control wrappers.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "framework/fwapp.h"
#include "framework/fwctrl.h"
#include "framework/fwdialog.h"
#include "framework/fwmsgbox.h"
#include "framework/fwthread.h"
#include "opsys/msgbox_backend.h"
#include "tests/support/win_test.h"

namespace {

constexpr WORD kIdNumber = 1001, kIdCheck = 1002, kIdApply = 1003;

fw::DialogTemplate MakeTemplate() {
    fw::DialogTemplate t("In memory", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 160, 80);
    t.AddControl("EDIT", kIdNumber, "", WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 5, 5, 60, 12);
    t.AddControl("BUTTON", kIdCheck, "Check", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 5, 20, 60, 12);
    t.AddControl("BUTTON", kIdApply, "Apply", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 5, 40, 40, 14);
    t.AddControl("BUTTON", IDOK, "OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 100, 5, 40, 14);
    t.AddControl("BUTTON", IDCANCEL, "Cancel", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 100, 22, 40, 14);
    return t;
}

// A dialog that runs a script: one step each time its loop goes idle.
class ScriptedDialog : public fw::Dialog {
    FW_DECLARE_MESSAGE_MAP()
public:
    using fw::Dialog::Dialog;
    int number = 7;
    int checked = 1;
    bool apply_allowed = false;
    bool apply_was_enabled = false;
    int idle_passes = 0;
    int keys_seen = 0;
    DWORD thread_seen = 0;
    std::vector<std::function<void(ScriptedDialog&)>> script;
    std::function<void(ScriptedDialog&)> on_init;

    void PostCommand(UINT id) { Post(WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    void SetNumberText(const char* text) { SetDlgItemTextA(hwnd(), kIdNumber, text); }

protected:
    bool OnInitDialog() override {
        bool r = fw::Dialog::OnInitDialog();
        thread_seen = GetCurrentThreadId();
        if (on_init) on_init(*this);
        return r;
    }
    void DoDataExchange(fw::DataExchange& dx) override {
        fw::ExchangeInt(dx, kIdNumber, number);
        fw::ValidateRange(dx, number, 1, 99);
        fw::ExchangeCheck(dx, kIdCheck, checked);
    }
    bool OnModalIdle(long count) override {
        fw::Dialog::OnModalIdle(count);
        if (count == 0) {
            ++idle_passes;
            apply_was_enabled = IsWindowEnabled(GetDlgItem(kIdApply)) != 0;
            if (!script.empty()) {
                auto step = script.front();
                script.erase(script.begin());
                step(*this);
            }
        }
        return false;
    }
    bool PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN && msg->hwnd == GetDlgItem(kIdNumber)) ++keys_seen;
        return fw::Dialog::PreTranslateMessage(msg);
    }

private:
    void OnApply() {}
    void OnUpdateApply(fw::CommandUI* ui) { ui->Enable(apply_allowed); }
};
FW_BEGIN_MESSAGE_MAP(ScriptedDialog, fw::Dialog)
    FW_ON_COMMAND(kIdApply, OnApply)
    FW_ON_UPDATE_COMMAND_UI(kIdApply, OnUpdateApply)
FW_END_MESSAGE_MAP()

class FwDialog : public ::testing::Test {
protected:
    void SetUp() override { previous_ = fw::SetMessageBoxHandler(&QwPlatformMessageBox); }
    void TearDown() override {
        fw::SetMessageBoxHandler(previous_);
        EXPECT_TRUE(unexpected_.boxes().empty()) << unexpected_.boxes()[0].text;
    }
    fw::MessageBoxHandler previous_ = nullptr;
    // A box nobody expected is recorded here rather than shown.
    qwtest::MessageBoxRecorder unexpected_;
};

TEST_F(FwDialog, ModalLoopPreTranslatesUpdatesWhenIdleAndEndsOnAPostedCommand) {
    fw::DialogTemplate tpl = MakeTemplate();
    ScriptedDialog dlg(tpl.get());
    dlg.on_init = [](ScriptedDialog& d) {
        d.SetNumberText("42");
        // A key that types nothing, so the field keeps its number.
        PostMessageA(d.GetDlgItem(kIdNumber), WM_KEYDOWN, VK_F5, 0);
    };
    dlg.script.push_back([](ScriptedDialog& d) {
        d.apply_allowed = true;  // seen at the next idle pass
        d.Post(WM_NULL);
    });
    dlg.script.push_back([](ScriptedDialog& d) { d.PostCommand(IDOK); });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.hwnd(), nullptr);
    EXPECT_EQ(dlg.keys_seen, 1);
    EXPECT_GE(dlg.idle_passes, 2);
    EXPECT_TRUE(dlg.apply_was_enabled) << "the update handler enabled the button when idle";
    EXPECT_EQ(dlg.number, 42) << "OK stored the controls";
    EXPECT_EQ(dlg.checked, 1) << "the check box was loaded from the member";
}

TEST_F(FwDialog, NestedModalDialogDisablesTheDialogThatOpenedIt) {
    fw::DialogTemplate tpl = MakeTemplate();
    ScriptedDialog outer(tpl.get());
    bool outer_enabled_inside = true;
    INT_PTR inner_result = 0;
    outer.script.push_back([&](ScriptedDialog& d) {
        ScriptedDialog inner(tpl.get());
        inner.script.push_back([&](ScriptedDialog& i) {
            outer_enabled_inside = IsWindowEnabled(d.hwnd()) != 0;
            i.PostCommand(IDCANCEL);
        });
        inner_result = inner.DoModal();
        d.PostCommand(IDCANCEL);
    });
    EXPECT_EQ(outer.DoModal(), IDCANCEL);
    EXPECT_EQ(inner_result, IDCANCEL);
    EXPECT_FALSE(outer_enabled_inside);
}

TEST_F(FwDialog, ModalDialogRunsOnASecondUserInterfaceThread) {
    struct DialogThread : fw::Thread {
        INT_PTR result = 0;
        int keys = 0;
        int idle_passes = 0;
        DWORD dialog_thread = 0;
        std::atomic<HWND> dialog{nullptr};
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ~DialogThread() override { CloseHandle(ready); }
        bool InitInstance() override {
            fw::DialogTemplate tpl = MakeTemplate();
            ScriptedDialog dlg(tpl.get());
            // Ready once the loop has gone idle the first time.
            dlg.script.push_back([this](ScriptedDialog& d) {
                dialog = d.hwnd();
                SetEvent(ready);
            });
            result = dlg.DoModal();
            keys = dlg.keys_seen;
            idle_passes = dlg.idle_passes;
            dialog_thread = dlg.thread_seen;
            return false;
        }
    } t;
    t.set_auto_delete(false);
    ASSERT_TRUE(t.CreateThread());
    ASSERT_EQ(WaitForSingleObject(t.ready, 5000), WAIT_OBJECT_0);
    HWND dlg = t.dialog;
    PostMessageA(GetDlgItem(dlg, kIdNumber), WM_KEYDOWN, VK_F5, 0);
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    ASSERT_EQ(WaitForSingleObject(t.handle(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(t.result, IDCANCEL);
    EXPECT_EQ(t.keys, 1);
    EXPECT_GE(t.idle_passes, 1);
    EXPECT_EQ(t.dialog_thread, t.id());
    EXPECT_FALSE(IsWindow(dlg));
}

TEST_F(FwDialog, FailedExchangeReportsAndKeepsTheDialogOpen) {
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"abc", "Please enter a whole number."},
        {"500", "Please enter a number between 1 and 99."},
    };
    for (const Case& c : cases) {
        fw::DialogTemplate tpl = MakeTemplate();
        ScriptedDialog dlg(tpl.get());
        qwtest::MessageBoxRecorder rec;
        std::string text = c.text;
        HWND focus_after_failure = nullptr;
        bool focus_is_ours = true;
        dlg.script.push_back([&](ScriptedDialog& d) {
            d.SetNumberText(text.c_str());
            d.PostCommand(IDOK);  // fails: the dialog stays
        });
        dlg.script.push_back([&](ScriptedDialog& d) {
            focus_after_failure = GetFocus();
            focus_is_ours = qwtest::ThisProcessHasTheForeground();
            d.SetNumberText("12");
            d.PostCommand(IDOK);
        });
        EXPECT_EQ(dlg.DoModal(), IDOK) << c.text;
        ASSERT_EQ(rec.boxes().size(), 1u) << c.text;
        EXPECT_EQ(rec.boxes()[0].text, c.message);
        EXPECT_EQ(dlg.number, 12);
        if (focus_is_ours) {
            EXPECT_NE(focus_after_failure, nullptr);
        }
    }
}

TEST_F(FwDialog, ModelessDialogControlsFollowTheApplicationsIdlePass) {
    fw::Application app;
    fw::DialogTemplate tpl = MakeTemplate();
    ScriptedDialog dlg(tpl.get());
    ASSERT_TRUE(dlg.CreateModeless());
    dlg.ShowWindow(SW_SHOWNA);
    for (bool allowed : {true, false}) {
        dlg.apply_allowed = allowed;
        long count = 0;
        while (app.OnIdle(count)) ++count;
        EXPECT_EQ(IsWindowEnabled(dlg.GetDlgItem(kIdApply)) != 0, allowed);
    }
    EXPECT_TRUE(IsWindowEnabled(dlg.GetDlgItem(kIdCheck))) << "a control without handlers stays";
}

TEST_F(FwDialog, ResourceModelessAndMissingTemplates) {
    // A modeless dialog from the resource template, deleting itself on close.
    struct Modeless : fw::Dialog {
        bool* gone;
        explicit Modeless(bool* g) : fw::Dialog(200), gone(g) {}
        ~Modeless() override { *gone = true; }
    };
    bool gone = false;
    auto* m = new Modeless(&gone);
    m->delete_on_close = true;
    ASSERT_TRUE(m->CreateModeless());
    EXPECT_FALSE(m->is_modal());
    EXPECT_EQ(m->GetText(), "Resource dialog");
    ASSERT_NE(m->GetDlgItem(1001), nullptr);
    m->Send(WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    EXPECT_TRUE(gone);

    qwtest::MessageBoxRecorder rec;
    fw::Dialog missing(999);
    EXPECT_EQ(missing.DoModal(), -1);
    ASSERT_EQ(rec.boxes().size(), 1u);
    EXPECT_NE(rec.boxes()[0].text.find("could not be created"), std::string::npos);
}

TEST(FwControls, WrappersDriveTheirControls) {
    ASSERT_TRUE(fw::Window::RegisterClass("QWTestControlParent"));
    fw::Window parent;
    ASSERT_TRUE(parent.Create("QWTestControlParent", "", WS_POPUP, 0, 0, 0, 300, 300, HWND_MESSAGE));
    RECT r{0, 0, 200, 100};

    fw::ComboBox combo;
    ASSERT_TRUE(combo.Create(parent, 10, r));
    combo.AddString("one");
    combo.AddString("two");
    combo.SetCurSel(1);
    EXPECT_EQ(combo.GetCount(), 2);
    EXPECT_EQ(combo.GetLBText(combo.GetCurSel()), "two");
    EXPECT_EQ(combo.FindStringExact("one"), 0);

    fw::ListView list;
    ASSERT_TRUE(list.Create(parent, 11, r));
    list.InsertColumn(0, "Name", 80);
    list.InsertColumn(1, "Size", 40);
    EXPECT_EQ(list.InsertItem(0, "a.txt", 77), 0);
    EXPECT_TRUE(list.SetItemText(0, 1, "12"));
    EXPECT_EQ(list.GetItemText(0, 0), "a.txt");
    EXPECT_EQ(list.GetItemText(0, 1), "12");
    EXPECT_EQ(list.GetItemData(0), 77);
    list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(list.GetSelectedItem(), 0);

    fw::TreeView tree;
    ASSERT_TRUE(tree.Create(parent, 12, r));
    HTREEITEM root = tree.InsertItem("root");
    HTREEITEM child = tree.InsertItem("child", root, TVI_LAST, 5);
    EXPECT_EQ(tree.GetChild(root), child);
    EXPECT_EQ(tree.GetParentItem(child), root);
    EXPECT_EQ(tree.GetItemText(child), "child");
    EXPECT_EQ(tree.GetItemData(child), 5);

    fw::TabControl tabs;
    ASSERT_TRUE(tabs.Create(parent, 13, r));
    tabs.InsertItem(0, "First");
    tabs.InsertItem(1, "Second");
    tabs.SetCurSel(1);
    EXPECT_EQ(tabs.GetItemCount(), 2);
    EXPECT_EQ(tabs.GetCurSel(), 1);

    fw::ProgressBar progress;
    ASSERT_TRUE(progress.Create(parent, 14, r));
    progress.SetRange(0, 10);
    progress.SetStep(3);
    progress.StepIt();
    EXPECT_EQ(progress.GetPos(), 3);

    fw::SpinButton spin;
    ASSERT_TRUE(spin.Create(parent, 15, r));
    spin.SetRange(1, 100);
    spin.SetPos(250);
    EXPECT_EQ(spin.GetPos(), 100) << "clamped to the range";

    fw::Edit edit;
    ASSERT_TRUE(edit.Create(parent, 16, r));
    edit.SetText("hello");
    edit.SetSel(1, 3);
    edit.ReplaceSel("EL");
    EXPECT_EQ(edit.GetText(), "hELlo");
    parent.DestroyWindow();
}

} // namespace
