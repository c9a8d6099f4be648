// Command lists (kept lists copied, per-call lists built, refusals), stamp
// lists, buffer-name classification, and dialogs whose lists come from
// command lists, record lines and caller buffers.
#include "commands/cmdlists.h"

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Reu/history.h"
#include "commands/cmdtable.h"
#include "commands/cmdvalues.h"
#include "commands/dlgengine.h"
#include "commands/dlgfolders.h"
#include "framework/fwmsgbox.h"
#include "opsys/msgbox_backend.h"
#include "opsys/shell_outlets.h"
#include "opsys/systime.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"

namespace {

std::vector<std::string> Lines(VMB* b) {
    std::vector<std::string> out;
    VmGuard guard;
    char line[1100];
    for (int n = 1, last = vm_last_ln(b); n <= last; ++n) {
        vm_read_text(b, n, 0, line, 1024, nullptr);
        out.emplace_back(line);
    }
    return out;
}

VMB* MakeList(const char* name, const std::vector<std::string>& lines) {
    VMB* b = vmb_open(VMB_T_TEMP, name, VMB_O_FILE | VMB_O_EMPTY);
    VmGuard guard;
    for (const std::string& l : lines) vm_append_line(b, l.c_str());
    return b;
}

std::string g_initials = "JQS";
int Initials(char* out, int size) {
    std::snprintf(out, static_cast<size_t>(size), "%s", g_initials.c_str());
    return static_cast<int>(std::strlen(out));
}

class CmdLists : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(vms_start(200, 2048000, dir.file("swap.tmp").c_str(), 0, 0), 0);
        QwShellOutlets o{};
        o.main_window = [] { return static_cast<void*>(GetDesktopWindow()); };
        QwSetShellOutlets(&o);
        fw::SetMessageBoxHandler(&QwPlatformMessageBox);
        K_cmd_values_install();
        InstallCommandLists(Initials);
    }
    void TearDown() override {
        InstallCommandLists(nullptr);
        HistoryListSetStampFiller(nullptr);
        QwSetShellOutlets(nullptr);
        vms_stop();
    }
    qwtest::TempDir dir;
    qwtest::MessageBoxRecorder boxes_;
};

TEST_F(CmdLists, DocumentNamesThatAreBuffers) {
    struct Case {
        const char* name;
        int kind;
        const char* out;
    } cases[] = {
        {"*VMB*7", 3, "7"},          {"*vmb*123", 3, "123"},       {"*VMB*x", 0, ""},
        {"buffer 12", 2, "buffer 1"}, {"Buffer f", 2, "Buffer f"}, {"buffer ", 0, ""},
        {"buffer  x", 0, ""},         {"lookup (", 1, ""},          {"lookup( ", 1, ""},
        {"c:\\src\\a.c", 0, ""},      {"", 0, ""},
    };
    for (const Case& c : cases) {
        char out[300] = "";
        EXPECT_EQ(classify_doc_path(c.name, out), c.kind) << c.name;
        EXPECT_STREQ(out, c.out) << c.name;
    }
    EXPECT_EQ(classify_doc_path(nullptr, nullptr), 0);
    EXPECT_TRUE(IsWildcardPath("c:\\src\\*.c"));
    EXPECT_FALSE(IsWildcardPath("c:\\src\\a.c"));
    EXPECT_FALSE(IsWildcardPath("*VMB*3"));
}

TEST_F(CmdLists, KeptListsAreCopiedAsAsked) {
    MakeList("File History", {"c:\\a.c\t1\t2", "c:\\b.c\t3", "c:\\c.c"});
    VMB* out = nullptr;
    EXPECT_EQ(K_cmd_make_list(316, 0, nullptr, &out), 3);
    ASSERT_NE(out, nullptr);
    {
        VmGuard guard;
        EXPECT_EQ(vm_cur_line(out), 1);
    }
    EXPECT_EQ(out, vmb_find(VMB_T_TEMP, "DispList"));
    EXPECT_EQ(Lines(out), (std::vector<std::string>{"c:\\a.c\t1\t2", "c:\\b.c\t3", "c:\\c.c"}));
    // The display cut, the reverse order, a named target (cleared first).
    MakeList("Mine", {"old"});
    EXPECT_EQ(K_cmd_make_list(317, KL_DISPLAY_CUT | KL_REVERSE, "Mine", &out), 3);
    EXPECT_EQ(Lines(out), (std::vector<std::string>{"c:\\c.c", "c:\\b.c", "c:\\a.c"}));
    // Program titles show two fields.
    MakeList("Program Titles", {"a\tb\tc"});
    EXPECT_EQ(K_cmd_make_list(613, KL_DISPLAY_CUT, nullptr, &out), 1);
    EXPECT_EQ(Lines(out), (std::vector<std::string>{"a\tb"}));
    // Direct use hands out the kept list itself.
    VMB* history = vmb_find(VMB_T_TEMP, "File History");
    EXPECT_EQ(K_cmd_make_list(316, KL_DIRECT, nullptr, &out), 3);
    EXPECT_EQ(out, history);
    // A caller that refuses kept lists gets none.
    out = history;
    EXPECT_EQ(K_cmd_make_list(316, KL_NO_KEPT, nullptr, &out), KL_NONE);
    EXPECT_EQ(out, nullptr);
    // A limited list copies only its first entries; long lines are cut.
    std::vector<std::string> many;
    for (int i = 0; i < 40; ++i) many.push_back(std::string(600, char('a' + i % 26)));
    MakeList("Configuration", many);
    EXPECT_EQ(K_cmd_make_list(515, 0, nullptr, &out), 30);
    std::vector<std::string> copied = Lines(out);
    ASSERT_EQ(copied.size(), 30u);
    EXPECT_EQ(copied[0].size(), 499u);
}

TEST_F(CmdLists, PerCallListsAreBuiltByTheirBuilders) {
    static int calls;
    calls = 0;
    K_cmd_set_list_builder(366, [](int, VMB* target, unsigned) {
        ++calls;
        VmGuard guard;
        vm_append_line(target, "one.c");
        vm_append_line(target, "two.c");
        return 2;
    });
    VMB* stale = MakeList("DispList", {"stale"});
    VMB* out = nullptr;
    EXPECT_EQ(K_cmd_make_list(366, KL_NO_KEPT, nullptr, &out), 2);
    EXPECT_EQ(out, stale);
    {
        VmGuard guard;
        EXPECT_EQ(vm_cur_line(out), 1);  // a list to offer starts at its first entry
    }
    EXPECT_EQ(Lines(out), (std::vector<std::string>{"one.c", "two.c"}));
    // Direct use rebuilds the command's own buffer.
    EXPECT_EQ(K_cmd_make_list(366, KL_DIRECT, nullptr, &out), 2);
    EXPECT_EQ(out, vmb_find(VMB_T_TEMP, "Window List"));
    EXPECT_EQ(Lines(out).size(), 2u);
    EXPECT_EQ(calls, 2);
    K_cmd_set_list_builder(366, nullptr);

    // Language names from the string table, in sorted order, first current.
    EXPECT_GT(K_cmd_make_list(575, 0, nullptr, &out), 30);
    {
        VmGuard guard;
        EXPECT_EQ(vm_cur_line(out), 1);
    }
    std::vector<std::string> langs = Lines(out);
    for (size_t i = 1; i < langs.size(); ++i) EXPECT_LE(_stricmp(langs[i - 1].c_str(), langs[i].c_str()), 0);

    // The lists taken from the focused view need one.
    K_cmd_set_list_view_test([] { return 0; });
    EXPECT_EQ(K_cmd_make_list(516, 0, nullptr, &out), KL_NO_EDIT_VIEW);
    EXPECT_EQ(K_cmd_make_list(513, 0, nullptr, &out), KL_NO_EDIT_VIEW);
    K_cmd_set_list_view_test(nullptr);
}

TEST_F(CmdLists, CommandsWithoutAListGiveNone) {
    for (int id : {999, 331, 315}) {
        VMB* out = reinterpret_cast<VMB*>(1);
        EXPECT_EQ(K_cmd_make_list(id, 0, "Nothing", &out), KL_NONE) << id;
        EXPECT_EQ(out, nullptr);
        // The target made for it is not left behind.
        EXPECT_EQ(vmb_find(VMB_T_TEMP, "Nothing"), nullptr) << id;
    }
    EXPECT_EQ(K_cmd_list_source(999, nullptr, nullptr), nullptr);
    int limit = -1, per_call = -1;
    EXPECT_NE(K_cmd_list_source(515, &limit, &per_call), nullptr);
    EXPECT_EQ(limit, 30);
    EXPECT_EQ(per_call, 0);
    EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(CmdLists, AddFindsTheEntryInTheDisplayList) {
    EXPECT_EQ(K_cmd_list_add(316, nullptr, "x"), -1);  // no "DispList" yet
    VMB* disp = MakeList("DispList", {"C/C++", "Java", "Perl"});
    EXPECT_EQ(K_cmd_list_add(315, nullptr, "java"), 2);
    {
        VmGuard guard;
        EXPECT_EQ(vm_cur_line(disp), 2);
    }
    EXPECT_EQ(K_cmd_list_add(315, nullptr, "Ruby"), 0);
    VMB* other = MakeList("Other", {"a"});
    EXPECT_EQ(K_cmd_list_add(315, other, "a"), 0);
    // A text longer than an entry can be is cut, never overrun.
    std::string huge(5000, 'z');
    EXPECT_EQ(K_cmd_list_add(315, nullptr, huge.c_str()), 0);
}

TEST_F(CmdLists, StampListsAreFilledOnDemand) {
    char date[200] = "", time_before[200] = "";
    DateFormatLocale(date, sizeof date, 1);
    TimeFormatLocale(time_before, sizeof time_before, 0);
    VMB* d = FillStampListBuffer("bUFFER D");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(Lines(d), (std::vector<std::string>{date}));
    EXPECT_EQ(vm_state_flags(d, VM_OP_READ, VM_ST_FINAL_EOL), 0u);
    VMB* t = FillStampListBuffer("Buffer t");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(Lines(t).size(), 1u);
    EXPECT_FALSE(Lines(t)[0].empty());
    g_initials = std::string(20, 'K');
    VMB* i = FillStampListBuffer("Buffer i");
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(Lines(i), (std::vector<std::string>{std::string(13, 'K')}));
    g_initials = "JQS";
    EXPECT_EQ(FillStampListBuffer("Buffer x"), nullptr);
    EXPECT_EQ(FillStampListBuffer(nullptr), nullptr);
    EXPECT_FALSE(IsStampListBufferName("Buffer ii"));
    // The history lists read a stamp list fresh.
    char out[64] = "";
    EXPECT_EQ(HistoryListReadLine("Buffer i", 1, out, sizeof out - 1), 1);
    EXPECT_STREQ(out, "JQS");
}

// ---- Dialogs whose lists come from list sources ------------------------------

// Runs `inspect` once the dialog is initialised, then ends it with `end`.
class ListCallback : public CDialogCallback {
public:
    ListCallback(std::function<void(HWND)> inspect, int end) : inspect_(std::move(inspect)), end_(end) {}
    int OnEvent(int event, int id) override {
        if (event == DLG_EV_STATE && id == 1) {
            HWND dlg = owner->hwnd();
            inspect_(dlg);
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(end_, BN_CLICKED), 0);
        }
        return CDialogCallback::OnEvent(event, id);
    }

private:
    std::function<void(HWND)> inspect_;
    int end_;
};

std::vector<std::string> ListItems(HWND w) {
    char cls[32] = "";
    GetClassNameA(w, cls, sizeof cls);
    bool list = _stricmp(cls, "ListBox") == 0;
    std::vector<std::string> out;
    LRESULT n = SendMessageA(w, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        char t[1100] = "";
        SendMessageA(w, list ? LB_GETTEXT : CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(t));
        out.emplace_back(t);
    }
    return out;
}

TEST_F(CmdLists, DialogListsComeFromTheirSources) {
    MakeList("File History", {"c:\\a.c\tx", "c:\\b.c\ty"});
    VMB* folders = MakeList("Buffer n", {"c:\\one", "c:\\two"});
    VMB* record = MakeList("Record", {"first", "red\tgreen\tblue"});
    VMB* caller = MakeList("Caller", {"alpha", "beta"});
    vm_goto_line(caller, 2);
    char picked[64] = "", folder[64] = "", colour[64] = "cyan";
    DlgString strings[] = {{picked, sizeof picked}, {colour, sizeof colour}, {folder, sizeof folder}, {nullptr, 0}};
    intptr_t values[10] = {0, reinterpret_cast<intptr_t>(record), reinterpret_cast<intptr_t>(caller)};
    std::vector<std::string> history, direct, unpacked, from_caller, missing;
    int caller_sel = -1;
    auto* cb = new ListCallback(
        [&](HWND dlg) {
            history = ListItems(GetDlgItem(dlg, 280));
            direct = ListItems(GetDlgItem(dlg, 272));
            unpacked = ListItems(GetDlgItem(dlg, 271));
            from_caller = ListItems(GetDlgItem(dlg, 282));
            caller_sel = static_cast<int>(SendMessageA(GetDlgItem(dlg, 282), LB_GETCURSEL, 0, 0));
            missing = ListItems(GetDlgItem(dlg, 283));
            SetWindowTextA(GetDlgItem(dlg, 271), "magenta");
        },
        IDOK);
    EXPECT_EQ(dialog_manager_ex(9301, values, nullptr, nullptr, 0, nullptr, strings, 0, 0, nullptr, 0, cb, nullptr), 1);
    EXPECT_EQ(history, (std::vector<std::string>{"c:\\a.c", "c:\\b.c"}));  // cut at the tab
    EXPECT_EQ(direct, (std::vector<std::string>{"c:\\one", "c:\\two"}));
    // The caller's current text leads the unpacked record line.
    EXPECT_EQ(unpacked, (std::vector<std::string>{"cyan", "red", "green", "blue"}));
    EXPECT_EQ(from_caller, (std::vector<std::string>{"alpha", "beta"}));
    EXPECT_EQ(caller_sel, 1);
    EXPECT_TRUE(missing.empty());
    // Confirmed: the record line holds the list again, the accepted text first.
    EXPECT_EQ(Lines(record)[1], "magenta\tcyan\tred\tgreen\tblue");
    EXPECT_EQ(Lines(folders).size(), 2u);
    // The temporary list is gone.
    EXPECT_EQ(Lines(record)[0], "first");

    // Cancelled: the record line stays as it was.
    auto* cancel = new ListCallback([](HWND dlg) { SetWindowTextA(GetDlgItem(dlg, 271), "black"); }, IDCANCEL);
    EXPECT_EQ(dialog_manager_ex(9301, values, nullptr, nullptr, 0, nullptr, strings, 0, 0, nullptr, 0, cancel, nullptr),
              2);
    EXPECT_EQ(Lines(record)[1], "magenta\tcyan\tred\tgreen\tblue");
}

TEST_F(CmdLists, ChangeFolderKeepsTheFolderHistory) {
    VMB* folders = MakeList("Buffer n", {"c:\\one"});
    std::string chosen = dir.path();
    if (chosen.size() > 3 && (chosen.back() == '\\' || chosen.back() == '/')) chosen.pop_back();
    std::vector<std::string> shown;
    char path[MAX_PATH] = "";
    {
        qwtest::WhenDialogShows user([&](HWND dlg) {
            HWND combo = GetDlgItem(dlg, 270);
            shown = ListItems(combo);
            SetWindowTextA(combo, chosen.c_str());
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(270, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(combo));
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        });
        EXPECT_EQ(ChangeFolderDialog({path, sizeof path}, 0x2, 1, 611), 1);
        EXPECT_TRUE(user.done());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"c:\\one"}));
    EXPECT_EQ(std::string(path), chosen);
    EXPECT_EQ(Lines(folders), (std::vector<std::string>{chosen, "c:\\one"}));
    // Without option 0x2 the call adds nothing itself; the combo box's own
    // list record still takes an accepted entry into the history it shows.
    qwtest::WhenDialogShows user([&](HWND dlg) {
        HWND combo = GetDlgItem(dlg, 270);
        SetWindowTextA(combo, "c:\\");
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(270, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(combo));
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    EXPECT_EQ(ChangeFolderDialog({path, sizeof path}, 0, 1, 611), 1);
    EXPECT_EQ(Lines(folders), (std::vector<std::string>{"c:\\", chosen, "c:\\one"}));
}

TEST_F(CmdLists, ChangeFolderTreeOpensAtTheFolderAndAnswersTheChosenOne) {
    CreateDirectoryA(dir.file("outer").c_str(), nullptr);
    CreateDirectoryA(dir.file("outer\\inner").c_str(), nullptr);
    CreateDirectoryA(dir.file("outer\\other").c_str(), nullptr);
    std::string start = dir.file("outer");
    std::string selected, siblings;
    char path[MAX_PATH] = "";
    std::snprintf(path, sizeof path, "%s", start.c_str());
    {
        qwtest::WhenDialogShows user([&](HWND dlg) {
            HWND tree = GetDlgItem(dlg, 280);
            auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
            selected = DlgFolderTreePath(tree, item);
            // Opening the folder loads its subfolders, in order.
            SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
            auto child = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
            HTREEITEM inner = child;
            for (HTREEITEM c = child; c; c = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(c)))) {
                siblings += DlgTreeItemText(tree, c) + ";";
            }
            // The user clicks "inner".
            SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(inner));
            NMTREEVIEWA nm{};
            nm.hdr.hwndFrom = tree;
            nm.hdr.idFrom = 280;
            nm.hdr.code = TVN_SELCHANGEDA;
            nm.action = TVC_BYMOUSE;
            nm.itemNew.hItem = inner;
            SendMessageA(dlg, WM_NOTIFY, 280, reinterpret_cast<LPARAM>(&nm));
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        });
        EXPECT_EQ(ChangeFolderDialog({path, sizeof path}, 0x4, 1, 611), 1);
        EXPECT_TRUE(user.done());
    }
    EXPECT_EQ(_stricmp(selected.c_str(), (start + "\\").c_str()), 0) << selected;
    EXPECT_EQ(siblings, "inner;other;");
    EXPECT_EQ(_stricmp(path, dir.file("outer\\inner").c_str()), 0) << path;
}

}  // namespace
