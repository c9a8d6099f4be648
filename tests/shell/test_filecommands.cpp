// Tests the file and window commands as the user runs them: through the
// command executor, on real documents in an MDI frame, with the message
// boxes, the Save As name and the Open dialog played by the test.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commands/cmdexec.h"
#include "commands/cmdtable.h"
#include "editor/docdialogs.h"
#include "editor/doccmds.h"
#include "editor/docmanager.h"
#include "editor/docsave.h"
#include "editor/clipboard.h"
#include "editor/editview.h"
#include "commands/cmdlists.h"
#include "editor/fileinfo.h"
#include "editor/qwdoc.h"
#include "editor/stylesheet.h"
#include "framework/fwapp.h"
#include "framework/fwframe.h"
#include "framework/fwmsgbox.h"
#include "framework/fwview.h"
#include "opsys/msgbox_backend.h"
#include "opsys/paths.h"
#include "opsys/shell_outlets.h"
#include "opsys/strlib.h"
#include "shell/windowcmds.h"
#include "tests/editor/doc_frame_fixture.h"
#include "tests/editor/doc_test_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"
#include "VmEngine/vm.h"

namespace {

enum : int {
    K_FileNew = 315, K_FileOpen = 316, K_FileView = 317, K_InsertFilename = 321, K_FileSave = 322,
    K_FileSaveClose = 323, K_FileSaveAs = 324, K_FileSaveAll = 325, K_FileClose = 326,
    K_AppExitSaveAll = 327, K_AppExit = 328, K_WindowNew = 363, K_WindowClose = 364,
    K_WindowCloseAll = 365, K_WindowList = 366, K_WindowNext = 367, K_WindowPrevious = 368,
    K_WindowZoom = 369, K_WindowSize = 370, K_WindowTileVertically = 373, K_WindowCascade = 374,
    K_HelpAbout = 311,
};

std::vector<std::string> g_boxes;          // texts of the framework's and the editor's boxes
std::vector<int> g_answers;                // the answers to the next save questions, in order
std::string g_save_as;                     // the Save As dialog's answer (empty: cancelled)
std::vector<std::string> g_open_names;     // the Open dialog's answer (empty: cancelled)
std::vector<uint32_t> g_open_flags;
std::map<std::string, std::pair<std::string, std::string>> g_history;
HWND g_main = nullptr;

int EditorBox(HWND, const char* text, const char*, UINT) {
    g_boxes.push_back(text ? text : "");
    return IDOK;
}
// The save-changes question: Yes, No or Cancel as the test set it.
int FrameworkBox(HWND__*, const char* text, const char*, unsigned style) {
    g_boxes.push_back(text ? text : "");
    if ((style & 0xF) != MB_YESNOCANCEL) return IDOK;
    if (g_answers.empty()) return IDCANCEL;
    int answer = g_answers.front();
    g_answers.erase(g_answers.begin());
    return answer;
}

std::vector<std::string> g_open_titles;
int g_open_format = -1;                    // the open-as choice the dialog makes (-1: left as offered)
int OpenPrompt(std::vector<std::string>* names, const char* title, uint32_t flags, int* format) {
    g_open_flags.push_back(flags);
    g_open_titles.push_back(title ? title : "");
    if (g_open_format >= 0) *format = g_open_format;
    *names = g_open_names;
    return g_open_names.empty() ? 0 : 1;
}

// A document window that notes the keyboard size and move requests instead
// of entering their modal loops.
class Child : public fw::MDIChildWindow {
    FW_DECLARE_DYNCREATE(Child)
public:
    static std::vector<WPARAM> syscommands;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_SYSCOMMAND && ((wp & 0xFFF0) == SC_SIZE || (wp & 0xFFF0) == SC_MOVE)) {
            syscommands.push_back(wp & 0xFFF0);
            return 0;
        }
        return fw::MDIChildWindow::WindowProc(msg, wp, lp);
    }
};
std::vector<WPARAM> Child::syscommands;
FW_IMPLEMENT_DYNCREATE(Child, fw::MDIChildWindow)

class PlainView : public fw::View {
    FW_DECLARE_DYNCREATE(PlainView)
};
FW_IMPLEMENT_DYNCREATE(PlainView, fw::View)

using MainFrame = doctest::WorkerOpenFrame;

class FileCommands : public doctest::LangTest {
protected:
    void SetUp() override {
        doctest::LangTest::SetUp();
        QwShellOutlets o = QwGetShellOutlets();
        o.app_thread_id = GetCurrentThreadId();
        o.main_window = []() -> void* { return g_main; };
        QwSetShellOutlets(&o);
        QwSetMessageBoxBackend(EditorBox);
        fw::SetMessageBoxHandler(FrameworkBox);
        g_boxes.clear();
        g_answers.clear();
        g_save_as.clear();
        g_open_names.clear();
        g_open_flags.clear();
        g_open_titles.clear();
        g_open_format = -1;
        g_history.clear();
        Child::syscommands.clear();
        SetFileOpenPrompt(OpenPrompt);
        DocOptionFlags(0, 0xFF);
        CreateStyleSheetArray(dir.file("StyleSheets.JS").c_str());
        RunThreadPool(1);
        QWDocHooks doc_hooks{};
        doc_hooks.queue_doc_info = QueueDocInfoUpdate;
        SetQWDocHooks(&doc_hooks);
        DocLifecycleHooks hooks{};
        hooks.history_add = [](const char* path, const char* numbered, const char* lines) {
            g_history[path] = {numbered, lines};
            return 1;
        };
        SetDocLifecycleHooks(&hooks);
        app = std::make_unique<fw::Application>();
        app->SetDocManager(std::make_unique<doctest::SaveAsAnswerManager>(&g_save_as));
        app->AddDocTemplate(new fw::MultiDocTemplate(DOC_TEMPLATE_TEXT, FW_RUNTIME_CLASS(CQWDoc),
                                                     FW_RUNTIME_CLASS(Child), FW_RUNTIME_CLASS(PlainView)));
        main = new MainFrame;
        ASSERT_TRUE(main->LoadFrame(130, WS_OVERLAPPEDWINDOW));
        app->set_main_window(main->hwnd());
        g_main = main->hwnd();
        ShowWindow(g_main, SW_SHOW);
        InstallDocCommands();
        InstallWindowCommands();
        g_boxes.clear();
    }
    void TearDown() override {
        RemoveWindowCommands();
        RemoveDocDialogs();
        RemoveDocCommands();
        SetFileOpenPrompt(nullptr);
        vms_set_param(0);
        if (app) app->CloseAllDocuments(false);
        if (g_main && IsWindow(g_main)) DestroyWindow(g_main);
        g_main = nullptr;
        qwtest::PumpPending();
        MSG m;
        PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        WaitFileInfoIdle(5000);
        RunThreadPool(0);
        app.reset();
        DocOptionFlags(0, 0xFF);
        SetDocLifecycleHooks(nullptr);
        SetQWDocHooks(nullptr);
        DestroyStyleSheetArray();
        fw::SetMessageBoxHandler(nullptr);
        QwSetMessageBoxBackend(nullptr);
        doctest::LangTest::TearDown();
    }

    CQWDoc* Open(const std::string& path, const std::string& text) {
        qwtest::WriteFileBytes(path, text);
        fw::View* v = VwFileOpenEx(path.c_str(), DOC_OPEN_RESTING, 1);
        return v ? static_cast<CQWDoc*>(v->GetDocument()) : nullptr;
    }
    std::vector<CQWDoc*> Docs() {
        std::vector<CQWDoc*> r;
        for (fw::Document* d : app->doc_manager()->templates().front()->documents())
            r.push_back(static_cast<CQWDoc*>(d));
        return r;
    }
    bool IsOpen(CQWDoc* d) {
        std::vector<CQWDoc*> docs = Docs();
        return std::find(docs.begin(), docs.end(), d) != docs.end();
    }
    // Runs a command as a menu does: on the document's view, or with none.
    static int Run(int id, CQWDoc* d = nullptr, const char* text = nullptr, intptr_t arg = 0) {
        K_cmd_params p;
        K_cmd_params_init(&p, 1, id, text, arg, 0);
        return Do_k_cmd(id, 0, d ? static_cast<void*>(d->GetFirstView()) : nullptr, &p);
    }
    HWND Client() { return main->mdi_client(); }
    HWND Active() { return reinterpret_cast<HWND>(SendMessageA(Client(), WM_MDIGETACTIVE, 0, 0)); }
    static HWND FrameOf(CQWDoc* d) { return d->GetFirstView()->GetParentFrame()->hwnd(); }

    std::unique_ptr<fw::Application> app;
    MainFrame* main = nullptr;
};

// An untitled document, the new-document dialog answered by the command's text.
CQWDoc* NewUntitled() {
    K_cmd_params p;
    K_cmd_params_init(&p, 1, K_FileNew, "C/C++", 0, 0);
    return NewDocumentWithStyleSheet(&p);
}

// Replaces the document's text by one line.
void Edit(CQWDoc* d, const char* text) {
    VMB* b = d->GetBuffer();
    vm_read_lines(b, 0xFFFFFFFFu);
    if (vm_line_count(b) > 0)
        ASSERT_EQ(vm_replace_line(b, 1, text, static_cast<int>(strlen(text)), 1), 1);
    else
        ASSERT_GT(vm_insert_line(b, 0, text, static_cast<int>(strlen(text))), 0);
    ASSERT_TRUE(d->IsModified());
}

TEST_F(FileCommands, SlotsAreBoundUntilRemoved) {
    CQWDoc* d = Open(dir.file("a.txt"), "a\r\n");
    ASSERT_NE(d, nullptr);
    void* view = d->GetFirstView();
    // The insert-file-name command belongs to the editing view: not bound here.
    EXPECT_EQ(Run_k_cmd(K_InsertFilename, K_STATE_EDITABLE, view, nullptr), K_RESULT_NO_HANDLER);
    EXPECT_EQ(Run(K_FileSave, d), 1);
    RemoveWindowCommands();
    RemoveDocCommands();
    for (int id : {K_FileNew, K_FileOpen, K_FileSave, K_FileSaveAs, K_FileClose, K_FileSaveAll, K_AppExit,
                   K_WindowCloseAll, K_WindowList, K_WindowNext, K_WindowCascade, K_HelpAbout}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(Run_k_cmd(id, K_STATE_READ_ONLY, view, nullptr), K_RESULT_NO_HANDLER);
    }
    EXPECT_TRUE(IsOpen(d));
}

TEST_F(FileCommands, SaveWritesTheFileAndRotatesTheBackupAsSet) {
    for (uint32_t backups : {0u, 0x2u}) {
        SCOPED_TRACE(backups);
        DocOptionFlags(0, 0xFF);
        DocOptionFlags(1, backups);
        std::string path = dir.file("save" + std::to_string(backups) + ".txt");
        CQWDoc* d = Open(path, "one\r\n");
        ASSERT_NE(d, nullptr);
        Edit(d, "two");
        EXPECT_EQ(Run(K_FileSave, d), 1);
        EXPECT_FALSE(d->IsModified());
        EXPECT_EQ(qwtest::ReadFileBytes(path), "two\r\n");
        Edit(d, "three");
        EXPECT_EQ(Run(K_FileSave, d), 1);
        EXPECT_EQ(qwtest::ReadFileBytes(path), "three\r\n");
        EXPECT_EQ(std::filesystem::exists(path + ".BAK"), backups != 0);
        if (backups) {
            EXPECT_EQ(qwtest::ReadFileBytes(path + ".BAK"), "two\r\n");
        }
        EXPECT_TRUE(g_boxes.empty());
    }
}

TEST_F(FileCommands, SaveOfAnUntitledDocumentAsksForANameAndCancelLosesNothing) {
    // The new-document dialog answered by the command's text.
    ASSERT_EQ(Run(K_FileNew, nullptr, "C/C++"), 0);
    ASSERT_EQ(Docs().size(), 1u);
    CQWDoc* d = Docs().front();
    Edit(d, "fresh");
    std::string path = dir.file("named.txt");
    // Cancelled: no file, still modified and open.
    EXPECT_EQ(Run(K_FileSave, d), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(d->IsModified());
    g_save_as = path;
    EXPECT_EQ(Run(K_FileSave, d), 1);
    EXPECT_EQ(qwtest::ReadFileBytes(path), "fresh\r\n");
    EXPECT_FALSE(d->IsModified());
    EXPECT_TRUE(StrEqualNoCase(d->GetPathName().c_str(), path.c_str()));
}

TEST_F(FileCommands, SaveAsWritesANewFileAndLeavesTheOldOne) {
    std::string path = dir.file("old.txt"), renamed = dir.file("new.txt");
    CQWDoc* d = Open(path, "old\r\n");
    ASSERT_NE(d, nullptr);
    Edit(d, "changed");
    g_save_as = renamed;
    EXPECT_EQ(Run(K_FileSaveAs, d), 1);
    EXPECT_EQ(qwtest::ReadFileBytes(renamed), "changed\r\n");
    EXPECT_EQ(qwtest::ReadFileBytes(path), "old\r\n");
    EXPECT_TRUE(StrEqualNoCase(d->GetPathName().c_str(), renamed.c_str()));
    EXPECT_FALSE(d->IsModified());
}

TEST_F(FileCommands, CloseOfAModifiedDocumentFollowsTheAnswer) {
    struct Case {
        const char* name;
        int command;
        std::vector<int> answers;
        bool untitled;
        bool closed;
        const char* on_disk;  // null: untitled, no file
        size_t questions;
    } cases[] = {
        {"cancel keeps it", K_FileClose, {IDCANCEL}, false, false, "old\r\n", 1},
        {"no discards", K_FileClose, {IDNO}, false, true, "old\r\n", 1},
        {"yes saves", K_FileClose, {IDYES}, false, true, "new\r\n", 1},
        {"yes on untitled, Save As cancelled, keeps it", K_FileClose, {IDYES}, true, false, nullptr, 1},
        {"save and close asks nothing", K_FileSaveClose, {}, false, true, "new\r\n", 0},
        {"window close asks too", K_WindowClose, {IDCANCEL}, false, false, "old\r\n", 1},
    };
    int n = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::string path = dir.file("close" + std::to_string(++n) + ".txt");
        CQWDoc* d = nullptr;
        if (k.untitled) {
            d = NewUntitled();
        } else {
            d = Open(path, "old\r\n");
        }
        ASSERT_NE(d, nullptr);
        Edit(d, "new");
        g_boxes.clear();
        g_answers = k.answers;
        Run(k.command, d);
        qwtest::PumpPending();
        EXPECT_EQ(g_boxes.size(), k.questions);
        EXPECT_EQ(IsOpen(d), !k.closed);
        if (k.on_disk) {
            EXPECT_EQ(qwtest::ReadFileBytes(path), k.on_disk);
        }
        if (!k.closed) {
            EXPECT_TRUE(d->IsModified());
            d->SetModifiedFlag(false);
            d->CloseByCommand();
        }
    }
}

TEST_F(FileCommands, SaveAllSavesEveryModifiedDocumentAndNoOther) {
    DocOptionFlags(1, 0x2);
    std::string a = dir.file("a.txt"), b = dir.file("b.txt"), c = dir.file("c.txt");
    CQWDoc* da = Open(a, "a\r\n");
    CQWDoc* db = Open(b, "b\r\n");
    CQWDoc* dc = Open(c, "c\r\n");
    ASSERT_TRUE(da && db && dc);
    Edit(da, "A");
    Edit(dc, "C");
    EXPECT_EQ(Run(K_FileSaveAll), 1);
    EXPECT_EQ(qwtest::ReadFileBytes(a), "A\r\n");
    EXPECT_EQ(qwtest::ReadFileBytes(c), "C\r\n");
    EXPECT_FALSE(std::filesystem::exists(b + ".BAK"));
    EXPECT_TRUE(std::filesystem::exists(a + ".BAK"));
    // An untitled document whose Save As is cancelled fails the command but
    // does not keep the others from being saved.
    CQWDoc* untitled = NewUntitled();
    ASSERT_NE(untitled, nullptr);
    Edit(untitled, "u");
    Edit(db, "B");
    EXPECT_EQ(Run(K_FileSaveAll), 0);
    EXPECT_EQ(qwtest::ReadFileBytes(b), "B\r\n");
    EXPECT_TRUE(untitled->IsModified());
    untitled->SetModifiedFlag(false);
}

TEST_F(FileCommands, ExitAsksForEveryModifiedDocument) {
    std::string a = dir.file("a.txt"), b = dir.file("b.txt");
    CQWDoc* da = Open(a, "a\r\n");
    CQWDoc* db = Open(b, "b\r\n");
    ASSERT_TRUE(da && db);
    Edit(da, "A");
    Edit(db, "B");
    g_answers = {IDCANCEL};
    EXPECT_EQ(Run(K_AppExit), 1);
    EXPECT_TRUE(IsWindow(g_main));
    EXPECT_EQ(Docs().size(), 2u);
    EXPECT_EQ(g_boxes.size(), 1u);
    g_boxes.clear();
    g_answers = {IDNO, IDNO};
    EXPECT_EQ(Run(K_AppExit), 1);
    qwtest::PumpPending();
    EXPECT_EQ(g_boxes.size(), 2u);
    EXPECT_FALSE(IsWindow(g_main));
    EXPECT_TRUE(Docs().empty());
    EXPECT_EQ(qwtest::ReadFileBytes(a), "a\r\n");
    EXPECT_EQ(qwtest::ReadFileBytes(b), "b\r\n");
}

TEST_F(FileCommands, ExitSaveAllSavesThenClosesWithoutAsking) {
    std::string a = dir.file("a.txt"), b = dir.file("b.txt");
    CQWDoc* da = Open(a, "a\r\n");
    CQWDoc* db = Open(b, "b\r\n");
    ASSERT_TRUE(da && db);
    Edit(da, "A");
    Edit(db, "B");
    EXPECT_EQ(Run(K_AppExitSaveAll), 1);
    qwtest::PumpPending();
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_FALSE(IsWindow(g_main));
    EXPECT_EQ(qwtest::ReadFileBytes(a), "A\r\n");
    EXPECT_EQ(qwtest::ReadFileBytes(b), "B\r\n");
}

TEST_F(FileCommands, CloseAllStopsAtCancel) {
    CQWDoc* da = Open(dir.file("a.txt"), "a\r\n");
    CQWDoc* db = Open(dir.file("b.txt"), "b\r\n");
    CQWDoc* dc = Open(dir.file("c.txt"), "c\r\n");
    ASSERT_TRUE(da && db && dc);
    Edit(db, "B");
    g_answers = {IDCANCEL};
    EXPECT_EQ(Run(K_WindowCloseAll), 0);
    EXPECT_FALSE(IsOpen(da));
    EXPECT_TRUE(IsOpen(db));
    EXPECT_TRUE(IsOpen(dc));
    g_answers = {IDNO};
    EXPECT_EQ(Run(K_WindowCloseAll), 1);
    EXPECT_TRUE(Docs().empty());
    EXPECT_EQ(qwtest::ReadFileBytes(dir.file("b.txt")), "b\r\n");
}

TEST_F(FileCommands, OpenAndViewTakeTheDialogsFilesOrTheGivenName) {
    std::string a = dir.file("a.txt"), b = dir.file("b.txt"), c = dir.file("c.txt");
    qwtest::WriteFileBytes(a, "a\r\n");
    qwtest::WriteFileBytes(b, "b\r\n");
    qwtest::WriteFileBytes(c, "c\r\n");
    // Cancelled: nothing opens.
    EXPECT_EQ(Run(K_FileOpen), 1);
    EXPECT_TRUE(Docs().empty());
    g_open_names = {a, b};
    EXPECT_EQ(Run(K_FileOpen), 1);
    ASSERT_EQ(Docs().size(), 2u);
    for (CQWDoc* d : Docs()) EXPECT_FALSE(d->IsViewMode());
    g_open_names = {c};
    EXPECT_EQ(Run(K_FileView), 1);
    ASSERT_EQ(Docs().size(), 3u);
    EXPECT_TRUE(Docs().back()->IsViewMode());
    // Open offers to create a missing file, so its dialog lets a new name through.
    EXPECT_EQ(g_open_flags, (std::vector<uint32_t>{0x4A06, 0x4A06, 0x1A06}));
    // A name given with the command opens without a dialog.
    std::string d = dir.file("d.txt");
    qwtest::WriteFileBytes(d, "d\r\n");
    EXPECT_EQ(Run(K_FileOpen, nullptr, d.c_str()), 1);
    EXPECT_EQ(g_open_flags.size(), 3u);
    ASSERT_EQ(Docs().size(), 4u);
    EXPECT_TRUE(StrEqualNoCase(Docs().back()->GetPathName().c_str(), d.c_str()));
}

TEST_F(FileCommands, WindowCommandsWorkOnTheDocumentWindows) {
    CQWDoc* da = Open(dir.file("a.txt"), "a\r\n");
    CQWDoc* db = Open(dir.file("b.txt"), "b\r\n");
    ASSERT_TRUE(da && db);
    HWND fa = FrameOf(da), fb = FrameOf(db);
    ASSERT_EQ(Active(), fb);
    EXPECT_EQ(Run(K_WindowNext, db), 1);
    EXPECT_EQ(Active(), fa);
    EXPECT_EQ(Run(K_WindowPrevious, da), 1);
    EXPECT_EQ(Active(), fb);
    // The window list activates the window it is given.
    EXPECT_EQ(Run(K_WindowList, nullptr, nullptr, reinterpret_cast<intptr_t>(fa)), 1);
    EXPECT_EQ(Active(), fa);

    EXPECT_EQ(Run(K_WindowZoom, da), 1);
    EXPECT_TRUE(IsZoomed(fa));
    EXPECT_EQ(Run(K_WindowZoom, da), 1);
    EXPECT_FALSE(IsZoomed(fa));

    RECT ra, rb, client;
    EXPECT_EQ(Run(K_WindowCascade), 1);
    GetWindowRect(fa, &ra);
    GetWindowRect(fb, &rb);
    EXPECT_NE(ra.left, rb.left);
    EXPECT_NE(ra.top, rb.top);
    EXPECT_EQ(Run(K_WindowTileVertically), 1);
    GetWindowRect(fa, &ra);
    GetWindowRect(fb, &rb);
    GetClientRect(Client(), &client);
    // Side by side: one row, each the client's height.
    EXPECT_EQ(ra.top, rb.top);
    EXPECT_NE(ra.left, rb.left);
    EXPECT_EQ(ra.bottom - ra.top, client.bottom);

    EXPECT_EQ(Run(K_WindowSize, da), 1);
    qwtest::PumpPending();
    EXPECT_EQ(Child::syscommands, (std::vector<WPARAM>{SC_SIZE}));

    // Another window on a document; closing one of its windows keeps it open.
    EXPECT_EQ(Run(K_WindowNew, da), 1);
    ASSERT_EQ(da->GetViewCount(), 2);
    EXPECT_EQ(Run(K_WindowClose, da), 1);
    EXPECT_TRUE(IsOpen(da));
    EXPECT_EQ(da->GetViewCount(), 1);
    EXPECT_EQ(Run(K_WindowClose, da), 1);
    EXPECT_FALSE(IsOpen(da));
}

TEST_F(FileCommands, AboutShowsTheProgramsVersion) {
    EXPECT_EQ(Run(K_HelpAbout), 1);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], AboutText());
    EXPECT_NE(g_boxes[0].find("Version: 4.0.0.1"), std::string::npos) << g_boxes[0];
    EXPECT_NE(g_boxes[0].find("Copyright"), std::string::npos);
}

TEST_F(FileCommands, OpenTakesTheDialogsTitleAndOpenAsChoice) {
    std::string a = dir.file("unix.txt"), b = dir.file("b.txt");
    qwtest::WriteFileBytes(a, "one\ntwo\nthree\n");
    qwtest::WriteFileBytes(b, "b\r\n");
    vms_set_param(QW_OPEN_AS_AUTO);
    // Open as DOS: an LF-only file is not taken as Unix text.
    g_open_names = {a};
    g_open_format = QW_OPEN_AS_DOS;
    EXPECT_EQ(Run(K_FileOpen), 1);
    EXPECT_EQ(vms_get_param(), QW_OPEN_AS_DOS);
    ASSERT_EQ(Docs().size(), 1u);
    VMB* buf = Docs()[0]->GetBuffer();
    vm_read_lines(buf, 0xFFFFFFFFu);
    EXPECT_EQ(vm_state_flags(buf, VM_OP_READ, VM_ST_LF), 0u);
    EXPECT_EQ(app->profile().GetInt("File Open", "OpenOSType", -1), QW_OPEN_AS_DOS);
    // The view command has its own title; the choice is offered as it stands.
    g_open_names = {b};
    g_open_format = -1;
    EXPECT_EQ(Run(K_FileView), 1);
    EXPECT_EQ(g_open_titles, (std::vector<std::string>{"Open", "View File"}));
    EXPECT_TRUE(g_boxes.empty());  // the titles load without a missing-string box
    EXPECT_EQ(vms_get_param(), QW_OPEN_AS_DOS);
    // Cancelled: the choice made in it is dropped.
    g_open_names.clear();
    g_open_format = QW_OPEN_AS_UNIX;
    EXPECT_EQ(Run(K_FileOpen), 1);
    EXPECT_EQ(vms_get_param(), QW_OPEN_AS_DOS);
    EXPECT_EQ(app->profile().GetInt("File Open", "OpenOSType", -1), QW_OPEN_AS_DOS);
}

std::vector<std::string> ListBoxItems(HWND list) {
    std::vector<std::string> out;
    for (LRESULT i = 0, n = SendMessageA(list, LB_GETCOUNT, 0, 0); i < n; ++i) {
        char t[300] = "";
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(t));
        out.emplace_back(t);
    }
    return out;
}

TEST_F(FileCommands, NewDocumentTakesTheStyleSheetChosenInItsDialog) {
    InstallDocDialogs();
    SetNewDocStyleSheetName("Before");
    // Answered by the command's text: no window, the named sheet.
    EXPECT_EQ(Run(K_FileNew, nullptr, "Cobol"), 0);
    ASSERT_EQ(Docs().size(), 1u);
    CQWDoc* cobol = Docs()[0];
    EXPECT_EQ(cobol->GetStyleSheetName(), "Cobol");
    EXPECT_EQ(GetNewDocStyleSheetName(), "Before");

    // Shown: every sheet, the active document's chosen; the user picks Ada.
    std::vector<std::string> shown;
    std::string selected, prompt, caption;
    {
        qwtest::WhenDialogShows user([&](HWND dlg) {
            HWND list = GetDlgItem(dlg, 280);
            shown = ListBoxItems(list);
            char t[300] = "";
            LRESULT sel = SendMessageA(list, LB_GETCURSEL, 0, 0);
            if (sel >= 0) SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(sel), reinterpret_cast<LPARAM>(t));
            selected = t;
            GetDlgItemTextA(dlg, 160, t, sizeof t);
            prompt = t;
            GetWindowTextA(dlg, t, sizeof t);
            caption = t;
            LRESULT ada = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Ada"));
            SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(ada), 0);
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(280, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        });
        EXPECT_EQ(Run(K_FileNew), 0);
        EXPECT_TRUE(user.done());
    }
    EXPECT_EQ(caption, "New Document");
    EXPECT_EQ(prompt, "Select a Style Sheet");
    EXPECT_EQ(static_cast<int>(shown.size()), GetStyleSheetArray()->GetSize());
    EXPECT_EQ(selected, "Cobol");
    ASSERT_EQ(Docs().size(), 2u);
    EXPECT_EQ(Docs()[1]->GetStyleSheetName(), "Ada");
    EXPECT_EQ(GetNewDocStyleSheetName(), "Before");

    // Cancelled: no document.
    {
        qwtest::WhenDialogShows user([](HWND dlg) { PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0); });
        EXPECT_EQ(Run(K_FileNew), 0);
        EXPECT_TRUE(user.done());
    }
    EXPECT_EQ(Docs().size(), 2u);
    SetNewDocStyleSheetName("");
}

TEST_F(FileCommands, WindowListActsOnTheChosenWindows) {
    InstallDocDialogs();
    CQWDoc* da = Open(dir.file("a.txt"), "a\r\n");
    CQWDoc* db = Open(dir.file("b.txt"), "b\r\n");
    CQWDoc* dc = Open(dir.file("c.txt"), "c\r\n");
    ASSERT_TRUE(da && db && dc);
    HWND fa = FrameOf(da), fb = FrameOf(db), fc = FrameOf(dc);
    ASSERT_EQ(Active(), fc);
    // The command list of the open windows, in z-order.
    VMB* list = nullptr;
    ASSERT_EQ(K_cmd_make_list(K_WindowList, 0, nullptr, &list), 3);
    auto title = [](HWND w) {
        char t[300] = "";
        GetWindowTextA(w, t, sizeof t);
        return std::string(t);
    };
    EXPECT_EQ(reutest::Lines(list), (std::vector<std::string>{title(fc), title(fb), title(fa)}));

    // The dialog lists them with the active one selected; Activate takes the chosen one.
    std::vector<std::string> shown;
    std::vector<int> selected;
    BOOL activate_enabled = FALSE;
    {
        qwtest::WhenDialogShows user([&](HWND dlg) {
            HWND lb = GetDlgItem(dlg, 2057);
            shown = ListBoxItems(lb);
            int items[8];
            LRESULT n = SendMessageA(lb, LB_GETSELITEMS, 8, reinterpret_cast<LPARAM>(items));
            selected.assign(items, items + std::max<LRESULT>(n, 0));
            SendMessageA(lb, LB_SETSEL, FALSE, -1);
            for (int i = 0; i < static_cast<int>(shown.size()); ++i)
                if (reinterpret_cast<HWND>(SendMessageA(lb, LB_GETITEMDATA, i, 0)) == fa) SendMessageA(lb, LB_SETSEL, TRUE, i);
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(2057, LBN_SELCHANGE), reinterpret_cast<LPARAM>(lb));
            activate_enabled = IsWindowEnabled(GetDlgItem(dlg, 2050));
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(2050, BN_CLICKED), 0);
        });
        EXPECT_EQ(Run(K_WindowList), 1);
        EXPECT_TRUE(user.done());
    }
    std::vector<std::string> sorted = {title(fa), title(fb), title(fc)};
    std::sort(sorted.begin(), sorted.end(), [](const std::string& x, const std::string& y) {
        return _stricmp(x.c_str(), y.c_str()) < 0;
    });
    EXPECT_EQ(shown, sorted);
    ASSERT_EQ(selected.size(), 1u);
    EXPECT_EQ(shown[static_cast<size_t>(selected[0])], title(fc));
    EXPECT_TRUE(activate_enabled);
    EXPECT_EQ(Active(), fa);

    // A window closed behind the dialog's back is never acted on: the list
    // is refreshed and the dialog stays; then closing two chosen windows.
    bool still_open = false;
    std::vector<std::string> after_refresh;
    {
        qwtest::WhenDialogShows user([&](HWND dlg) {
            HWND lb = GetDlgItem(dlg, 2057);
            SendMessageA(lb, LB_SETSEL, FALSE, -1);
            for (int i = 0; i < 3; ++i)
                if (reinterpret_cast<HWND>(SendMessageA(lb, LB_GETITEMDATA, i, 0)) == fc) SendMessageA(lb, LB_SETSEL, TRUE, i);
            dc->CloseByCommand();
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(2050, BN_CLICKED), 0);
            still_open = IsWindowVisible(dlg) != FALSE;
            after_refresh = ListBoxItems(lb);
            // Close Window(s) with both remaining windows chosen.
            SendMessageA(lb, LB_SETSEL, TRUE, -1);
            SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(2051, BN_CLICKED), 0);
            after_refresh.push_back(std::to_string(SendMessageA(lb, LB_GETCOUNT, 0, 0)));
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(Run(K_WindowList), 1);
        EXPECT_TRUE(user.done());
    }
    EXPECT_TRUE(still_open);
    ASSERT_EQ(after_refresh.size(), 3u);
    EXPECT_EQ(after_refresh[2], "0");
    EXPECT_TRUE(Docs().empty());
}

TEST_F(FileCommands, InsertFilenameInsertsOrCopiesThePartAsked) {
    InstallDocDialogs();
    std::string path = dir.file("names.txt");
    CQWDoc* d = Open(path, "x\r\n");
    ASSERT_NE(d, nullptr);
    auto* view = new CQWEditView;
    RECT rc{0, 0, 400, 200};
    ASSERT_TRUE(view->CreateView(FrameOf(d), 59649, d, rc, WS_CHILD | WS_VISIBLE));
    std::string full = d->GetPathName();
    std::string folder = full.substr(0, full.find_last_of('\\'));
    auto run = [&](const char* text) {
        K_cmd_params p;
        K_cmd_params_init(&p, 1, K_InsertFilename, text, 0, 0);
        return Run_k_cmd(K_InsertFilename, K_STATE_EDITABLE, static_cast<fw::View*>(view), &p);
    };
    auto first_line = [&] {
        char t[600] = "";
        vm_read_text(d->GetBuffer(), 1, 0, t, 599, nullptr);
        return std::string(t);
    };
    struct Case {
        const char* param;
        std::string inserted;
    } cases[] = {{"name", "names.txt"}, {"Path", folder}, {nullptr, full}, {"other", full}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.param ? c.param : "(none)");
        std::string before = first_line();
        EXPECT_EQ(run(c.param), 1);
        EXPECT_EQ(first_line(), c.inserted + before);
    }
    // To the clipboard: the text stays as it is.
    std::string before = first_line();
    struct Clip {
        const char* param;
        std::string copied;
    } clips[] = {{"ClipBoard=Name", "names.txt"}, {"clipboard", full}, {"ClipBoard=Path", folder}};
    for (const Clip& c : clips) {
        SCOPED_TRACE(c.param);
        EXPECT_EQ(run(c.param), 1);
        EXPECT_EQ(first_line(), before);
        std::string text;
        int style = -1;
        ASSERT_TRUE(GetTextFromClipboard(nullptr, &text, &style));
        EXPECT_EQ(text, c.copied);
    }
    // A view-only document is refused.
    CQWDoc* ro = nullptr;
    {
        std::string rpath = dir.file("ro.txt");
        qwtest::WriteFileBytes(rpath, "r\r\n");
        fw::View* v = VwFileOpenEx(rpath.c_str(), 0x40, 1);
        ASSERT_NE(v, nullptr);
        ro = static_cast<CQWDoc*>(v->GetDocument());
    }
    ASSERT_TRUE(ro->IsViewMode());
    auto* ro_view = new CQWEditView;
    ASSERT_TRUE(ro_view->CreateView(FrameOf(ro), 59649, ro, rc, WS_CHILD | WS_VISIBLE));
    K_cmd_params p;
    K_cmd_params_init(&p, 1, K_InsertFilename, nullptr, 0, 0);
    EXPECT_EQ(Run_k_cmd(K_InsertFilename, K_STATE_EDITABLE, static_cast<fw::View*>(ro_view), &p), 0);
    char t[100] = "";
    vm_read_lines(ro->GetBuffer(), 0xFFFFFFFFu);
    vm_read_text(ro->GetBuffer(), 1, 0, t, 99, nullptr);
    EXPECT_STREQ(t, "r");
}

}  // namespace
