// Tests the control wrappers in real dialogs: which wrapper each kind of
// window gets, the load and store of every kind (text with its capacity,
// combo boxes and list boxes bound to caller lists, list views with check
// marks, folder trees, check boxes and radio groups through the callback,
// spins, progress bars), the helpers by control and their refusals, the
// size grip and the rounded region, a dialog's attached program and the
// history of a combo box read by control identifier.
#include "commands/dlgcontrols.h"

#include <commctrl.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Reu/history.h"
#include "VmEngine/vm.h"
#include "commands/cmdvalues.h"
#include "commands/dlgengine.h"
#include "commands/dlgfolders.h"
#include "tests/commands/interp_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"

using namespace itest;

namespace {

using Step = std::function<void(HWND dlg, Dialog_UI* ui)>;

BOOL CALLBACK FindDialogProc(HWND w, LPARAM lp) {
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0 && pDialog_UI(w)) {
        *reinterpret_cast<HWND*>(lp) = w;
        return FALSE;
    }
    return TRUE;
}

// Runs steps one by one from the modal loop of the dialog of this thread,
// each from a posted message, after whatever the previous step posted.
class Steps {
public:
    explicit Steps(std::vector<Step> steps) : steps_(std::move(steps)) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QwDlgSteps";
        RegisterClassA(&wc);
        helper_ = CreateWindowA("QwDlgSteps", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrA(helper_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        PostMessageA(helper_, WM_APP, 0, 0);
    }
    ~Steps() { DestroyWindow(helper_); }
    size_t done() const { return next_; }

private:
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        auto* s = reinterpret_cast<Steps*>(GetWindowLongPtrA(w, GWLP_USERDATA));
        if (m != WM_APP || !s) return DefWindowProcA(w, m, wp, lp);
        HWND dlg = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), FindDialogProc, reinterpret_cast<LPARAM>(&dlg));
        if (!dlg) {
            if (++s->waits_ < 1000) PostMessageA(w, WM_APP, 0, 0);
            return 0;
        }
        if (s->next_ < s->steps_.size()) {
            s->steps_[s->next_++](dlg, pDialog_UI(dlg));
            if (s->next_ < s->steps_.size()) PostMessageA(w, WM_APP, 0, 0);
        }
        return 0;
    }
    std::vector<Step> steps_;
    size_t next_ = 0;
    int waits_ = 0;
    HWND helper_ = nullptr;
};

// Answers value queries from a table and records stores.
class Answers : public CDialogCallback {
public:
    explicit Answers(std::map<int, int> values) : values_(std::move(values)) {}
    int OnEvent(int event, int id) override {
        if (event == DLG_EV_VALUE_QUERY) {
            auto it = values_.find(id);
            return it == values_.end() ? -1 : it->second;
        }
        if (event == DLG_EV_VALUE_STORED) (*stored)[id] = text;
        if (event == DLG_EV_SPIN_LIST) spun.push_back(id);
        return CDialogCallback::OnEvent(event, id);
    }
    std::map<int, std::string>* stored = nullptr;
    std::vector<int> spun;

private:
    std::map<int, int> values_;
};

void Press(HWND dlg, int id) {
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

std::string Text(HWND w) { return DlgWindowText(w, SIZE_MAX); }

// A list buffer of the engine with the lines.
VMB* MakeList(const char* name, const std::vector<const char*>& lines) {
    VmGuard guard;
    VMB* b = vmb_open(VMB_T_TEMP, name, 0);
    EXPECT_NE(b, nullptr);
    for (const char* l : lines) vm_append_line_ex(b, l, 0);
    return b;
}

std::string Line(VMB* b, int n, int* flags = nullptr) {
    VmGuard guard;
    char buf[1025] = "";
    vm_read_text(b, n, 0, buf, 1024, flags);
    return buf;
}

std::string Cell(HWND lv, int row, int col) {
    char buf[256] = "";
    ListView_GetItemText(lv, row, col, buf, sizeof buf);
    return buf;
}

class DlgControls : public InterpTest {
protected:
    void SetUp() override {
        InterpTest::SetUp();
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS |
                                                 ICC_UPDOWN_CLASS};
        InitCommonControlsEx(&icc);
        K_cmd_values_install();
        DlgSetWorkAreaProvider([] { return DlgRect{0, 0, 1600, 1200}; });
    }
    void TearDown() override {
        DlgSetWorkAreaProvider(nullptr);
        InterpTest::TearDown();
    }
    int Run(int tmpl, const intptr_t* values, DlgString* strings, const char* const* labels, CDialogCallback* cb,
            std::vector<Step> steps, const char* program = nullptr, intptr_t program_arg = 0) {
        Steps s(std::move(steps));
        return dialog_manager_ex(tmpl, values, nullptr, nullptr, 0, labels, strings, 0x7AB, 0, program, program_arg,
                                 cb, nullptr);
    }
};

TEST_F(DlgControls, EachKindGetsItsWrapper) {
    HWND parent = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 300, 300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(parent);
    Dialog_UI ui(nullptr, nullptr, 0, 0);
    struct Case {
        const char* cls;
        DWORD style;
        int id;
        int kind;  // DLG_KIND_NONE: no wrapper
    } cases[] = {
        {"STATIC", 0, 170, DLG_KIND_STATIC},
        {"BUTTON", BS_PUSHBUTTON, 600, DLG_KIND_PUSH},
        {"BUTTON", BS_DEFPUSHBUTTON, 1, DLG_KIND_PUSH},
        {"BUTTON", BS_OWNERDRAW, 485, DLG_KIND_CHECK},
        {"BUTTON", BS_OWNERDRAW, 486, DLG_KIND_CHECK},
        {"BUTTON", BS_OWNERDRAW, 487, DLG_KIND_PUSH},
        {"BUTTON", BS_AUTOCHECKBOX, 220, DLG_KIND_CHECK},
        {"BUTTON", BS_AUTORADIOBUTTON, 230, DLG_KIND_RADIO},
        {"BUTTON", BS_GROUPBOX, 240, DLG_KIND_NONE},
        {"BUTTON", BS_AUTO3STATE, 241, DLG_KIND_NONE},
        {"EDIT", 0, 250, DLG_KIND_EDIT},
        {UPDOWN_CLASSA, 0, 290, DLG_KIND_SPIN},
        {"LISTBOX", 0, 280, DLG_KIND_LISTBOX},
        {"COMBOBOX", CBS_DROPDOWNLIST, 271, DLG_KIND_DROPLIST},
        {"COMBOBOX", CBS_DROPDOWN, 270, DLG_KIND_COMBO},
        {"COMBOBOX", CBS_SIMPLE, 272, DLG_KIND_COMBO},
        {WC_LISTVIEWA, LVS_REPORT, 286, DLG_KIND_LISTVIEW},
        {WC_TREEVIEWA, 0, 281, DLG_KIND_TREE},
        {PROGRESS_CLASSA, 0, 171, DLG_KIND_PROGRESS},
        {"SCROLLBAR", 0, 300, DLG_KIND_NONE},
    };
    for (const Case& c : cases) {
        HWND w = CreateWindowA(c.cls, "", WS_CHILD | c.style, 0, 0, 50, 20, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), nullptr, nullptr);
        ASSERT_TRUE(w) << c.cls;
        std::unique_ptr<CDlgControl> wrapper = DlgMakeControl(&ui, w);
        EXPECT_EQ(wrapper ? wrapper->kind() : DLG_KIND_NONE, c.kind) << c.cls << " " << c.id;
        if (wrapper) {
            EXPECT_EQ(wrapper->id(), c.id);
        }
        DestroyWindow(w);
    }
    EXPECT_EQ(DlgMakeControl(&ui, nullptr), nullptr);
    EXPECT_EQ(DlgMakeControl(nullptr, parent), nullptr);
    DestroyWindow(parent);
}

// Load and store of each kind without a control table: caller lists, string
// values with their capacity, the callback for controls without storage.
TEST_F(DlgControls, ValuesLoadAndStoreByKind) {
    VMB* colours = MakeList("colours", {"red", "green", "blue"});
    VMB* numbers = MakeList("numbers", {"one", "two"});
    VMB* letters = MakeList("letters", {"x", "y", "z"});
    intptr_t values[10] = {0, 0, reinterpret_cast<intptr_t>(colours), reinterpret_cast<intptr_t>(numbers),
                           reinterpret_cast<intptr_t>(letters)};
    char s0[8] = "abc", s2[32] = "green", s3[32] = "two", s4[32] = "", s5[32] = "1234", unused[8] = "";
    DlgString strings[] = {{s0, sizeof s0}, {unused, sizeof unused}, {s2, sizeof s2}, {s3, sizeof s3},
                           {s4, sizeof s4}, {s5, sizeof s5}, {nullptr, 0}};
    const char* labels[] = {"", "", "", "", "", "", "", "", "", "", "Copying|0|200|50", nullptr};
    std::map<int, std::string> stored;
    auto* cb = new Answers({{220, 1}, {230, 2}});
    cb->stored = &stored;
    int r = Run(9101, values, strings, labels, cb, {
        [](HWND d, Dialog_UI* ui) {
            ASSERT_TRUE(ui);
            EXPECT_EQ(Text(GetDlgItem(d, 250)), "abc");
            // The spin takes its range from its text and rewrites its
            // partner in the grouped format.
            EXPECT_EQ(Text(GetDlgItem(d, 255)), "1,234");
            int lo = 0, hi = 0;
            SendDlgItemMessageA(d, 290, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
            EXPECT_EQ(lo, 1);
            EXPECT_EQ(hi, 5000);
            EXPECT_EQ(SendDlgItemMessageA(d, 290, UDM_GETPOS32, 0, 0), 1234);
            EXPECT_EQ(Dlg_GetItemInt(ui, 255), 1234);
            // Lists bound to caller values, their text from the string value.
            EXPECT_EQ(SendDlgItemMessageA(d, 272, CB_GETCOUNT, 0, 0), 3);
            EXPECT_EQ(Text(GetDlgItem(d, 272)), "green");
            EXPECT_EQ(SendDlgItemMessageA(d, 273, CB_GETCOUNT, 0, 0), 2);
            EXPECT_EQ(SendDlgItemMessageA(d, 284, LB_GETCOUNT, 0, 0), 3);
            char sel[16] = "";
            EXPECT_EQ(Dlg_GetItemText(ui, 273, 0, sel, sizeof sel), 1);
            EXPECT_STREQ(sel, "two");
            // No storage: the callback answered 1 and 2.
            EXPECT_EQ(Dlg_GetItemInt(ui, 220), 1);
            EXPECT_EQ(Dlg_GetItemInt(ui, 230), 2);
            EXPECT_EQ(SendDlgItemMessageA(d, 232, BM_GETCHECK, 0, 0), BST_CHECKED);
            EXPECT_EQ(Dlg_GetItemInt(ui, 284), -1);  // not a kind with an integer
            // The progress bar reads its label as text|low|high|position.
            EXPECT_EQ(Text(GetDlgItem(d, 170)), "Copying");
            EXPECT_EQ(SendDlgItemMessageA(d, 170, PBM_GETRANGE, FALSE, 0), 200);
            EXPECT_EQ(SendDlgItemMessageA(d, 170, PBM_GETPOS, 0, 0), 50);

            // The spin beside the list moves the selected line up, in the
            // list's buffer too, and tells the callback.
            SendDlgItemMessageA(d, 284, LB_SETCURSEL, 1, 0);
            NMUPDOWN nm{};
            nm.hdr.hwndFrom = GetDlgItem(d, 291);
            nm.hdr.idFrom = 291;
            nm.hdr.code = UDN_DELTAPOS;
            nm.iDelta = -1;  // the up arrow
            SendMessageA(d, WM_NOTIFY, 291, reinterpret_cast<LPARAM>(&nm));
            EXPECT_EQ(SendDlgItemMessageA(d, 284, LB_GETCURSEL, 0, 0), 0);
            char first[8] = "";
            SendDlgItemMessageA(d, 284, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(first));
            EXPECT_STREQ(first, "y");
            EXPECT_EQ(static_cast<Answers*>(ui->callback())->spun, std::vector<int>{284});
            nm.iDelta = 1;  // down from the last line: nothing moves
            SendDlgItemMessageA(d, 284, LB_SETCURSEL, 2, 0);
            SendMessageA(d, WM_NOTIFY, 291, reinterpret_cast<LPARAM>(&nm));
            EXPECT_EQ(SendDlgItemMessageA(d, 284, LB_GETCURSEL, 0, 0), 2);

            SetWindowTextA(GetDlgItem(d, 250), "abcdefg");
            SetWindowTextA(GetDlgItem(d, 272), "purple");
            SendDlgItemMessageA(d, 273, CB_SETCURSEL, 0, 0);
            EXPECT_EQ(Dlg_SetCheck(ui, 220, 0), 1);
            EXPECT_EQ(Dlg_SetCheck(ui, 231, 1), 1);  // any button of the group sets the group
            EXPECT_EQ(SendDlgItemMessageA(d, 231, BM_GETCHECK, 0, 0), BST_CHECKED);
            EXPECT_EQ(SendDlgItemMessageA(d, 232, BM_GETCHECK, 0, 0), BST_UNCHECKED);
            Press(d, IDOK);
        },
    });
    EXPECT_EQ(r, IDOK);
    EXPECT_STREQ(s0, "abcdefg");
    EXPECT_STREQ(s2, "purple");
    EXPECT_STREQ(s3, "one");
    EXPECT_STREQ(s4, "z");
    EXPECT_EQ(Line(letters, 1), "y");
    EXPECT_EQ(Line(letters, 2), "x");
    EXPECT_STREQ(s5, "1,234");
    EXPECT_EQ(stored[220], "0");
    EXPECT_EQ(stored[230], "1");
    EXPECT_EQ(stored[250], "abcdefg");
}

// Bad input: missing controls, small buffers, over-long texts. Every
// refusal is clear and nothing is written past a buffer.
TEST_F(DlgControls, HelpersRefuseMissingControlsAndNeverOverrun) {
    VMB* numbers = MakeList("numbers", {"one", "two"});
    intptr_t values[10] = {0, 0, 0, reinterpret_cast<intptr_t>(numbers)};
    char s0[8] = "abc", s3[32] = "two", other[8] = "";
    DlgString strings[] = {{s0, sizeof s0}, {other, sizeof other}, {other, sizeof other}, {s3, sizeof s3},
                           {nullptr, 0}};
    int r = Run(9101, values, strings, nullptr, nullptr, {
        [](HWND d, Dialog_UI* ui) {
            char buf[8];
            EXPECT_EQ(Dlg_GetItemText(ui, 999, 0, buf, sizeof buf), -1);
            EXPECT_EQ(Dlg_SetItemText(ui, 999, "x"), 0);
            EXPECT_EQ(Dlg_GetItemInt(ui, 999), -1);
            EXPECT_EQ(Dlg_SetCheck(ui, 999, 1), 0);
            EXPECT_EQ(Dlg_SetCheck(ui, 250, 1), 0);  // an edit has no check
            EXPECT_EQ(Dlg_GetListSel(nullptr, 0, buf, sizeof buf), -1);
            EXPECT_EQ(Dlg_GetItemListBuffer(ui, 999), nullptr);
            EXPECT_EQ(Dlg_FillListFromArgs(ui, 999, 1), 0);
            EXPECT_EQ(Dlg_GetItemText(nullptr, 250, 0, buf, sizeof buf), -1);

            // A text is cut to the buffer and terminated; the bytes after stay.
            std::memset(buf, 'Z', sizeof buf);
            EXPECT_EQ(Dlg_GetItemText(ui, 250, 0, buf, 3), 3);
            EXPECT_STREQ(buf, "ab");
            EXPECT_EQ(buf[3], 'Z');
            // A list selection that does not fit is not cut: the buffer is emptied.
            std::memset(buf, 'Z', sizeof buf);
            EXPECT_EQ(Dlg_GetListSel(GetDlgItem(d, 273), 0, buf, 3), 1);
            EXPECT_STREQ(buf, "");
            EXPECT_EQ(buf[1], 'Z');

            // A control takes at most 1023 characters from a helper.
            std::string huge(5000, 'h');
            EXPECT_EQ(Dlg_SetItemText(ui, 255, huge.c_str()), 1);
            EXPECT_EQ(GetWindowTextLengthA(GetDlgItem(d, 255)), 1023);
            // An over-long text is refused by the store, the value kept.
            SetWindowTextA(GetDlgItem(d, 250), "12345678");
            EXPECT_FALSE(ui->StoreControl(GetDlgItem(d, 250)));
            SetWindowTextA(GetDlgItem(d, 255), "");
            Press(d, IDCANCEL);
        },
    });
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_STREQ(s0, "abc");
}

// List view rows with check marks and a folder tree, stored back at OK;
// the history of a combo box is read by its control identifier.
TEST_F(DlgControls, ListViewTreeAndHistoryByControl) {
    qwtest::TempDir tmp;
    CreateDirectoryA((tmp.path() + "\\sub1").c_str(), nullptr);
    CreateDirectoryA((tmp.path() + "\\sub2").c_str(), nullptr);
    VMB* rows = MakeList("rows", {"a\t1", "b\t2", "c\t3"});
    {
        VmGuard guard;
        vm_line_flags(rows, 2, 1, 0x8);
    }
    VMB* history = MakeList("Buffer f", {"first", "second"});
    intptr_t values[10] = {reinterpret_cast<intptr_t>(history), reinterpret_cast<intptr_t>(rows)};
    char s0[64] = "", s1[64] = "", s2[64] = "", s3[MAX_PATH] = "";
    DlgCopyToString({s3, sizeof s3}, tmp.path().c_str());
    DlgString strings[] = {{s0, sizeof s0}, {s1, sizeof s1}, {s2, sizeof s2}, {s3, sizeof s3}, {nullptr, 0}};
    std::string root = tmp.path();
    if (root.back() == '\\') root.pop_back();
    int r = Run(9102, values, strings, nullptr, nullptr, {
        [&](HWND d, Dialog_UI* ui) {
            HWND lv = GetDlgItem(d, 286);
            ASSERT_EQ(ListView_GetItemCount(lv), 3);
            EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(lv)), 2);
            EXPECT_EQ(Cell(lv, 1, 0), "b");
            EXPECT_EQ(Cell(lv, 1, 1), "2");
            EXPECT_FALSE(ListView_GetCheckState(lv, 0));
            EXPECT_TRUE(ListView_GetCheckState(lv, 1));
            ListView_SetCheckState(lv, 0, TRUE);
            ListView_SetCheckState(lv, 1, FALSE);
            ListView_SetItemText(lv, 2, 1, const_cast<char*>("33"));

            // The tree opens at string value 3; open it and pick its child "sub2".
            HWND tree = GetDlgItem(d, 283);
            HTREEITEM at = TreeView_GetSelection(tree);
            ASSERT_TRUE(at);
            TreeView_Expand(tree, at, TVE_EXPAND);
            HTREEITEM pick = nullptr;
            for (HTREEITEM c = TreeView_GetChild(tree, at); c; c = TreeView_GetNextSibling(tree, c)) {
                if (DlgTreeItemText(tree, c) == "sub2") pick = c;
            }
            ASSERT_TRUE(pick);
            TreeView_SelectItem(tree, pick);
            EXPECT_EQ(std::string(s3), root + "\\sub2");  // its action record stores it at once

            // The resolver asks the dialog that holds the focus; another
            // test's window may have taken it since the dialog opened.
            SetFocus(GetDlgItem(d, 270));
            char line[64] = "";
            EXPECT_EQ(HistoryListReadLine(270, 2, line, sizeof line), 1);
            EXPECT_STREQ(line, "second");
            EXPECT_EQ(HistoryListReadLine(283, 1, line, sizeof line), 0);  // shows no list
            EXPECT_EQ(Dlg_GetItemListBuffer(ui, 270), history);
            Press(d, IDOK);
        },
    });
    EXPECT_EQ(r, IDOK);
    int flags = 0;
    EXPECT_EQ(Line(rows, 1, &flags), "a\t1");
    EXPECT_TRUE(flags & 0x8);
    EXPECT_EQ(Line(rows, 2, &flags), "b\t2");
    EXPECT_FALSE(flags & 0x8);
    EXPECT_EQ(Line(rows, 3), "c\t33");
    EXPECT_EQ(std::string(s3), root + "\\sub2");
    char line[64] = "";
    EXPECT_EQ(HistoryListReadLine(270, 1, line, sizeof line), 0);  // no dialog: nothing to resolve
}

// The size grip: present only with a sizing border, kept in the corner as
// the dialog grows; the table's visual options: rounded region, labels.
TEST_F(DlgControls, SizeGripAndVisualOptions) {
    char s0[8] = "", s1[MAX_PATH] = "";
    DlgString strings[] = {{s0, sizeof s0}, {s1, sizeof s1}, {nullptr, 0}};
    auto corner_matches = [](HWND d) {
        HWND grip = GetDlgItem(d, DLG_ID_SIZE_GRIP);
        RECT g{}, c{};
        GetWindowRect(grip, &g);
        MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&g), 2);
        GetClientRect(d, &c);
        EXPECT_EQ(g.right, c.right);
        EXPECT_EQ(g.bottom, c.bottom);
        EXPECT_EQ(g.right - g.left, 12);
    };
    int r = Run(9102, nullptr, strings, nullptr, nullptr, {
        [&](HWND d, Dialog_UI* ui) {
            ASSERT_TRUE(GetDlgItem(d, DLG_ID_SIZE_GRIP));
            EXPECT_EQ(GetWindowLongA(GetDlgItem(d, DLG_ID_SIZE_GRIP), GWL_STYLE) & 0x5000000E, 0x5000000E);
            corner_matches(d);
            HRGN rgn = CreateRectRgn(0, 0, 0, 0);
            EXPECT_NE(GetWindowRgn(d, rgn), ERROR);
            DeleteObject(rgn);
            // The label takes its text from the string table and colour 9.
            EXPECT_EQ(Text(GetDlgItem(d, 400)), "Visit the site");
            EXPECT_TRUE(GetWindowLongA(GetDlgItem(d, 400), GWL_STYLE) & SS_NOTIFY);  // for the hand
            HDC dc = CreateCompatibleDC(nullptr);
            SendMessageA(d, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(GetDlgItem(d, 400)));
            EXPECT_EQ(GetTextColor(dc), 0x0000FFu);
            DeleteDC(dc);
            EXPECT_TRUE(DlgLabelHandCursor(ui, GetDlgItem(d, 400)));
            // A colour index past the 13 colours is no colour at all.
            COLORREF c = 0x123456;
            EXPECT_FALSE(DlgLabelColour(ui, GetDlgItem(d, 401), &c));
            EXPECT_EQ(c, 0x123456u);
            EXPECT_FALSE(DlgLabelHandCursor(ui, GetDlgItem(d, 401)));
            EXPECT_EQ(Text(GetDlgItem(d, 401)), "plain");
            RECT w{};
            GetWindowRect(d, &w);
            SetWindowPos(d, nullptr, 0, 0, w.right - w.left + 40, w.bottom - w.top + 30, SWP_NOMOVE | SWP_NOZORDER);
        },
        [&](HWND d, Dialog_UI*) {
            corner_matches(d);
            Press(d, IDCANCEL);
        },
    });
    EXPECT_EQ(r, IDCANCEL);
    r = Run(9101, nullptr, strings, nullptr, nullptr, {
        [](HWND d, Dialog_UI*) {
            EXPECT_EQ(GetDlgItem(d, DLG_ID_SIZE_GRIP), nullptr);
            HRGN rgn = CreateRectRgn(0, 0, 0, 0);
            EXPECT_EQ(GetWindowRgn(d, rgn), ERROR);
            DeleteObject(rgn);
            Press(d, IDCANCEL);
        },
    });
    EXPECT_EQ(r, IDCANCEL);
}

// The edit of a combo box: Enter and Delete ask for validation with their
// own reasons (mode 0x4); Delete removes the selected entry (mode 0x2).
TEST_F(DlgControls, ComboEditKeys) {
    struct Reasons : CDialogCallback {
        int OnEvent(int event, int id) override {
            if (event == DLG_EV_VALIDATE) seen.emplace_back(id, owner->reason());
            return CDialogCallback::OnEvent(event, id);
        }
        std::vector<std::pair<int, int>> seen;
    };
    VMB* asked = MakeList("asked", {"p", "q"});
    VMB* kept = MakeList("kept", {"u", "v", "w"});
    intptr_t values[10] = {0, 0, reinterpret_cast<intptr_t>(asked), reinterpret_cast<intptr_t>(kept)};
    char s0[64] = "", s1[MAX_PATH] = "", s2[64] = "";
    DlgString strings[] = {{s0, sizeof s0}, {s1, sizeof s1}, {s2, sizeof s2}, {nullptr, 0}};
    auto* cb = new Reasons;
    auto edit = [](HWND d, int id) { return FindWindowExA(GetDlgItem(d, id), nullptr, "Edit", nullptr); };
    auto reasons_of_271 = [cb] {
        std::vector<int> r;
        for (auto& e : cb->seen)
            if (e.first == 271) r.push_back(e.second);
        return r;
    };
    int r = Run(9102, values, strings, nullptr, cb, {
        [&](HWND d, Dialog_UI*) {
            HWND e = edit(d, 271);
            ASSERT_TRUE(e);
            MSG enter{e, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
            EXPECT_EQ(SendMessageA(e, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) & DLGC_WANTALLKEYS,
                      DLGC_WANTALLKEYS);
            SetWindowTextA(GetDlgItem(d, 271), "typed");
            SendMessageA(e, WM_KEYDOWN, VK_RETURN, 0);
            EXPECT_EQ(Text(GetDlgItem(d, 271)), "typed");
        },
        [&](HWND d, Dialog_UI*) {
            EXPECT_EQ(reasons_of_271(), std::vector<int>{13});
            SendMessageA(edit(d, 271), WM_KEYDOWN, VK_DELETE, 0);
        },
        [&](HWND d, Dialog_UI* ui) {
            EXPECT_EQ(reasons_of_271(), (std::vector<int>{13, 46}));
            HWND combo = GetDlgItem(d, 272);
            SendMessageA(combo, CB_SETCURSEL, 1, 0);
            SendMessageA(edit(d, 272), WM_KEYDOWN, VK_DELETE, 0);
            EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 2);
            // An accepted entry joins the list and its buffer, once; an
            // empty one does not.
            SetWindowTextA(combo, "new");
            EXPECT_TRUE(ui->ValidateControl(combo, DLG_R_FOCUS_LOST));
            EXPECT_TRUE(ui->ValidateControl(combo, DLG_R_FOCUS_LOST));
            SetWindowTextA(combo, "");
            EXPECT_TRUE(ui->ValidateControl(combo, DLG_R_FOCUS_LOST));
            EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3);
            Press(d, IDCANCEL);
        },
    });
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_EQ(Line(kept, 1), "u");
    EXPECT_EQ(Line(kept, 2), "w");
    EXPECT_EQ(Line(kept, 3), "new");
    VmGuard guard;
    EXPECT_EQ(vm_last_ln(kept), 3);
}

// A combo box's list unpacked from a record line goes back into that line
// at OK, and is only closed at Cancel. (The list source binds the unpacked
// list; the test binds it here.)
TEST_F(DlgControls, ComboListGoesBackIntoItsRecordLine) {
    VMB* record = MakeList("record", {"x", "a\tb"});
    intptr_t values[10] = {0, 0, 0, 0, 0, reinterpret_cast<intptr_t>(record)};
    char s[5][64] = {};
    DlgString strings[] = {{s[0], 64}, {s[1], 64}, {s[2], 64}, {s[3], 64}, {s[4], 64}, {nullptr, 0}};
    for (auto [answer, entry] : {std::pair<int, const char*>{IDOK, "new"}, {IDCANCEL, "more"}}) {
        int r = Run(9103, values, strings, nullptr, nullptr, {
            [&, answer = answer, entry = entry](HWND d, Dialog_UI* ui) {
                HWND combo = GetDlgItem(d, 274);
                ui->Info(combo, true)->list = HistoryListPack(nullptr, record, 2, HL_OP_ADD, 0);
                SetWindowTextA(combo, entry);
                EXPECT_TRUE(ui->ValidateControl(combo, DLG_R_FOCUS_LOST));
                EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), answer == IDOK ? 3 : 4);  // after "new" went back
                Press(d, answer);
            },
        });
        EXPECT_EQ(r, answer);
        EXPECT_EQ(Line(record, 2), "a\tb\tnew") << entry;
        EXPECT_EQ(Line(record, 1), "x");
    }
}

// A program attached to the dialog answers its events in place of a
// callback. This one answers event * 1000 + control - 4250: 0 (invalid)
// for the validation of control 250 only.
TEST_F(DlgControls, AttachedProgramAnswersEvents) {
    Asm a = Asm::Main();
    a.op5(LOAD | F, -5);                                 // the result word
    a.op5(LOAD | F, -8).op5(PUSH, 1000).op(MUL);         // event * 1000
    a.op5(LOAD | F, -9).op(ADD).op5(PUSH, 4250).op(SUB); // + control - 4250
    a.op(STOREW).op(RET);
    qwtest::WriteFileBytes(tmp_.file("dlgprog.ces"), a.Image());
    std::filesystem::last_write_time(tmp_.file("dlgprog.ces"),
                                     std::filesystem::last_write_time(editor_) + std::chrono::seconds(10));
    char s0[8] = "ok", s5[32] = "";
    DlgString strings[] = {{s0, sizeof s0}, {s0, sizeof s0}, {s0, sizeof s0}, {s0, sizeof s0},
                           {s0, sizeof s0}, {s5, sizeof s5}, {nullptr, 0}};
    bool stayed = false;
    int r = Run(9101, nullptr, strings, nullptr, nullptr, {
        [](HWND d, Dialog_UI* ui) {
            EXPECT_EQ(ui->Call_Attached_Cexe(600, DLG_EV_CLICK), 32 * 1000 + 600 - 4250);
            Press(d, IDOK);
        },
        [](HWND, Dialog_UI*) {},  // the focus goes back by a posted message
        [&](HWND d, Dialog_UI*) {
            stayed = IsWindow(d) != 0;  // the program refused control 250
            Press(d, IDCANCEL);
        },
    }, "dlgprog", CEXE_KIND1);
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
}

} // namespace
