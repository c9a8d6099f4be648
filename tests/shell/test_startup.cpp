// Tests of the running editor: start-up in order on a user's first and
// later starts, the start-up failures, exit, the main frame's requests and
// key routing, and the frame title.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <ios>
#include <thread>

#include "Reu/history.h"
#include "VmEngine/vm.h"
#include "editor/docmanager.h"
#include "editor/qwdoc.h"
#include "editor/textview.h"
#include "framework/fwdoc.h"
#include "opsys/shell_outlets.h"
#include "shell/mainframe.h"
#include "shell/qwfolders.h"
#include "shell/qwmenus.h"
#include "shell/qwwiring.h"
#include "shell/statusbar.h"
#include "tests/shell/shell_fixture.h"

namespace {

std::string Sample(const qwtest::TempDir& dir) {
    std::string path = dir.file("sample.c");
    qwtest::WriteFileBytes(path, "/* sample */\r\nint main(void)\r\n{\r\n    return 0;\r\n}\r\n");
    return path;
}

size_t OpenDocuments() {
    size_t n = 0;
    if (fw::Application* app = fw::Application::Current())
        for (auto& t : app->doc_manager()->templates()) n += t->documents().size();
    return n;
}

BOOL CALLBACK FindTextView(HWND h, LPARAM lp) {
    if (dynamic_cast<CQWTextView*>(fw::Window::FromHandlePermanent(h))) {
        *reinterpret_cast<HWND*>(lp) = h;
        return FALSE;
    }
    return TRUE;
}

std::string BoxTexts(const qwtest::MessageBoxRecorder& r) {
    std::string s;
    for (auto& b : r.boxes()) s += b.text + "\n---\n";
    return s;
}

} // namespace

using StartUp = ShellTest;

TEST_F(StartUp, FirstStartProvidesTheUsersFilesAndOpensTheFile) {
    std::string file = Sample(dir);
    CQWApp app;
    ASSERT_TRUE(Start(app, "\"" + file + "\"")) << BoxTexts(boxes);
    EXPECT_TRUE(boxes.boxes().empty()) << BoxTexts(boxes);
    EXPECT_TRUE(app.startup_complete());
    for (const char* name : {"Menu_NoWin.TS", "Menu_TextL.TS", "Menu_TextS.TS", "Menu_Output.TS", "lang_qwk.TS",
                             "lang_c.TS", "StyleSheets.TS", "Keyboard.TS"})
        EXPECT_NE(GetFileAttributesA(cfg(name).c_str()), INVALID_FILE_ATTRIBUTES) << name;

    // The running program's main thread and window reach the message outlets.
    CMainFrame* frame = GetMainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(IsAppThread());
    EXPECT_EQ(QwGetShellOutlets().main_window(), reinterpret_cast<void*>(frame->hwnd()));

    // The file is open in a document window whose view shows its lines, and
    // named in the caption.
    EXPECT_EQ(OpenDocuments(), 1u);
    HWND view = nullptr;
    EnumChildWindows(frame->hwnd(), FindTextView, reinterpret_cast<LPARAM>(&view));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(static_cast<CQWTextView*>(fw::Window::FromHandlePermanent(view))->GetLineCount(), 5);
    std::string caption = frame->GetText();
    EXPECT_NE(caption.find("sample.c - Quedra Ver 4.00.0.1"), std::string::npos) << caption;
    EXPECT_NE(GetMenu(frame->hwnd()), nullptr);
    // The Window menu (the popup of the window commands) lists the window.
    HMENU window_menu = WindowMenuPopupOf(GetMenu(frame->hwnd()));
    ASSERT_NE(window_menu, nullptr);
    std::string items;
    for (int i = 0; i < GetMenuItemCount(window_menu); ++i) {
        char text[260] = "";
        GetMenuStringA(window_menu, UINT(i), text, sizeof text, MF_BYPOSITION);
        items += std::string(text) + "|";
    }
    EXPECT_NE(items.find("sample.c|"), std::string::npos) << items;
    // A caption that only extends the right one is replaced too.
    SetWindowTextA(frame->hwnd(), (caption + " (stale)").c_str());
    frame->OnUpdateFrameTitle(true);
    EXPECT_EQ(frame->GetText(), caption);

    std::string log = Log();
    for (const char* line : {"QW started on: ", "Version: 4.0.0.1 ", "Physical Memory: ",
                             "VM Cache details: Max Memory: ", "Processor"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;

    // The shell's own file types, opened through DDE.
    EXPECT_EQ(ClassValue("QW.Workspace"), "Quedra Workspace");
    EXPECT_EQ(ClassValue(".qwp"), "QW.Project");
    EXPECT_EQ(ClassValue("QW.Project\\shell\\open\\ddeexec"), "[open(\"%1\")]");
    EXPECT_EQ(ClassValue(".qww\\ShellNew", "NullFile"), "");
    Stop(app);
    EXPECT_EQ(GetMainFrame(), nullptr);
}

TEST_F(StartUp, LaterStartKeepsTheUsersFilesAndReadsTheHistoryWrittenAtExit) {
    {
        CQWApp app;
        ASSERT_TRUE(Start(app)) << BoxTexts(boxes);
        char fav[] = "C:\\work\\favourite.c";
        ASSERT_EQ(HistoryListAccess("Favorites", fav, HL_OP_ADD, HL_TOP), 1);
        Stop(app);
    }
    EXPECT_NE(qwtest::ReadFileBytes(cfg("QWHistory")).find("favourite.c"), std::string::npos);
    // The user changes a menu file; a master must never replace it.
    std::string menu = qwtest::ReadFileBytes(cfg("Menu_NoWin.TS")) + "# my own line\r\n";
    qwtest::WriteFileBytes(cfg("Menu_NoWin.TS"), menu);
    std::string workspace_type = ClassValue("QW.Workspace\\shell\\open\\command");
    {
        CQWApp app;
        ASSERT_TRUE(Start(app)) << BoxTexts(boxes);
        EXPECT_EQ(HistoryListCount("Favorites"), 1);
        Stop(app);
    }
    EXPECT_EQ(qwtest::ReadFileBytes(cfg("Menu_NoWin.TS")), menu);
    EXPECT_EQ(ClassValue("QW.Workspace\\shell\\open\\command"), workspace_type);
    EXPECT_TRUE(boxes.boxes().empty()) << BoxTexts(boxes);
}

TEST_F(StartUp, InitialsAreCutToThirteenCharacters) {
    SetInstallDetails(cfg(), "ABCDEFGHIJKLMNOPQ");
    CQWApp app;
    ASSERT_TRUE(Start(app)) << BoxTexts(boxes);
    EXPECT_NE(GetFileAttributesA(cfg("Menu_NoWin.ABCDEFGHIJKLM").c_str()), INVALID_FILE_ATTRIBUTES);
    Stop(app);
}

TEST_F(StartUp, FailuresEndStartUpWithTheirMessage) {
    struct Case {
        const char* name;
        void (*arrange)(ShellTest& t);
        std::vector<const char*> messages;  // the beginning of each box
    } cases[] = {
        {"swap file",
         [](ShellTest& t) {
             std::string none = t.dir.file("no such folder");
             SetEnvironmentVariableA("TMP", none.c_str());
             SetEnvironmentVariableA("TEMP", none.c_str());
         },
         {"QW cannot be started because it cannot create its swap file."}},
        {"missing menu file", [](ShellTest& t) { DeleteFileA(t.cfg("Menu_TextL.TS").c_str()); }, {"Menu file: "}},
        {"configuration folder cannot be made",
         [](ShellTest& t) {
             qwtest::WriteFileBytes(t.dir.file("plain"), "x");
             t.SetInstallDetails(t.dir.file("plain\\cfg"), "TS");
         },
         {"Unable to Create Folder: "}},
        {"start-up program refuses", [](ShellTest&) { SetSourceFolderOverride(QW_SHELL_TEST_PROGRAMS); }, {}},
        {"command dictionary cannot be replaced",
         [](ShellTest& t) {
             DeleteFileA(t.cfg("lang_qwk.TS").c_str());
             CreateDirectoryA(t.cfg("lang_qwk.TS").c_str(), nullptr);
         },
         {"KV: QW_Install\nCopyFiles() failed in Open_QW_KCmds_Dictionary().", "Unable to open QW Command file: "}},
        {"command dictionary damaged",
         [](ShellTest& t) {
             RemoveDirectoryA(t.cfg("lang_qwk.TS").c_str());
             qwtest::WriteFileBytes(t.cfg("lang_qwk.TS"), std::string("\x01\x02garbage\r\n[Keywords\r\n\xff\xfe", 22));
         },
         {"Unable to open QW Command file: "}},
    };
    {
        CQWApp app;
        ASSERT_TRUE(Start(app)) << BoxTexts(boxes);
        char fav[] = "C:\\work\\favourite.c";
        HistoryListAccess("Favorites", fav, HL_OP_ADD, HL_TOP);
        Stop(app);
    }
    const std::string history = qwtest::ReadFileBytes(cfg("QWHistory"));
    ASSERT_NE(history.find("favourite.c"), std::string::npos);
    char tmp[MAX_PATH] = "", temp[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
    GetEnvironmentVariableA("TEMP", temp, sizeof temp);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qwtest::MessageBoxRecorder recorder;
        c.arrange(*this);
        CQWApp app;
        EXPECT_FALSE(Start(app));
        Stop(app);
        ASSERT_EQ(recorder.boxes().size(), c.messages.size()) << BoxTexts(recorder);
        for (size_t i = 0; i < c.messages.size(); ++i)
            EXPECT_EQ(recorder.boxes()[i].text.rfind(c.messages[i], 0), 0u) << recorder.boxes()[i].text;
        EXPECT_EQ(GetMainFrame(), nullptr);
        SetEnvironmentVariableA("TMP", tmp);
        SetEnvironmentVariableA("TEMP", temp);
        SetSourceFolderOverride(nullptr);
        SetInstallDetails(cfg(), "TS");
        CopyFileA((GetProgramFolder() + "\\CONFIG\\Menu_TextL.xxx").c_str(), cfg("Menu_TextL.TS").c_str(), TRUE);
        // A start that ended before the history was read leaves the user's lists alone.
        EXPECT_EQ(qwtest::ReadFileBytes(cfg("QWHistory")), history);
    }
}

namespace {

std::vector<std::string> g_status;
void RecordStatus(const char* text, int, unsigned, unsigned) { g_status.push_back(text ? text : ""); }

std::vector<UINT> g_translated;
int RecordKey(UINT msg, WPARAM key, int, unsigned) {
    g_translated.push_back(msg);
    (void)key;
    return 1;
}

} // namespace

TEST_F(StartUp, OpenFileRequestsFromOtherThreads) {
    QwAppHooks hooks;
    hooks.status_set_text = RecordStatus;
    SetAppHooks(&hooks);
    g_status.clear();
    CQWApp app;
    ASSERT_TRUE(Start(app)) << BoxTexts(boxes);
    std::string file = Sample(dir), missing = dir.file("missing.c");
    std::thread worker([&] {
        EXPECT_TRUE(QwPostOpenFile(missing.c_str(), 0));
        EXPECT_TRUE(QwPostOpenFile(file.c_str(), 0));
    });
    worker.join();
    EXPECT_TRUE(qwtest::PumpUntil([] { return OpenDocuments() == 1; }));
    EXPECT_NE(std::find(g_status.begin(), g_status.end(), "File: " + missing + "\ndoesn't exist."), g_status.end());
    Stop(app);
    SetAppHooks(nullptr);
}

TEST_F(StartUp, WorkerOpensGoThroughTheFrameAndFindTheOpenCopy) {
    CQWApp app;
    ASSERT_TRUE(Start(app)) << BoxTexts(boxes);
    std::string file = Sample(dir);
    SetWorkerOpenTimeout(20000);
    std::atomic<fw::View*> first{nullptr}, again{nullptr};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        first = VwFileOpenEx(file.c_str(), DOC_OPEN_RESTING, 1);
        again = VwFileOpenEx(file.c_str(), uint32_t{DOC_OPEN_ACTIVATE_OPEN} | DOC_OPEN_RESTING, 1);
        done = true;
    });
    EXPECT_TRUE(qwtest::PumpUntil([&] { return done.load(); }));
    worker.join();
    SetWorkerOpenTimeout(0);
    ASSERT_NE(first.load(), nullptr);
    EXPECT_EQ(again.load(), first.load());
    EXPECT_EQ(OpenDocuments(), 1u);

    // The status bar's view panes follow the view the open made active.
    QwStatusViewInfo info;
    ASSERT_TRUE(QwStatusViewInfoOfActiveView(&info));
    EXPECT_TRUE(info.has_view && info.editable);
    EXPECT_EQ(info.line, 1u);
    EXPECT_EQ(info.line_count, 5u);
    EXPECT_EQ(info.path, file);
    Stop(app);
}

TEST_F(StartUp, KeysGoToTheTranslatorUnlessAPaneKeepsThem) {
    CQWApp app;
    ASSERT_TRUE(Start(app, "\"" + Sample(dir) + "\"")) << BoxTexts(boxes);
    CMainFrame* frame = GetMainFrame();
    QwFrameHooks fh = GetFrameHooks();
    fh.translate_key = RecordKey;
    SetFrameHooks(&fh);
    HWND pane = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, frame->hwnd(), nullptr, nullptr, nullptr);
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, pane, nullptr, nullptr, nullptr);
    HWND button = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE, 0, 20, 40, 20, pane, nullptr, nullptr, nullptr);
    frame->AddKeyPane(pane);
    HWND other = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE, 60, 0, 40, 20, frame->hwnd(), nullptr, nullptr, nullptr);

    // The document's text view has the focus after the open.
    HWND text = nullptr;
    EnumChildWindows(frame->hwnd(), FindTextView, reinterpret_cast<LPARAM>(&text));
    ASSERT_NE(text, nullptr);
    struct Case {
        HWND focus;
        UINT msg;
        WPARAM key;
        bool translated;
    } cases[] = {
        {text, WM_KEYDOWN, VK_LEFT, true},
        {text, WM_CHAR, 'a', true},
        {edit, WM_CHAR, 'a', false},        // an edit control keeps everything
        {button, WM_KEYDOWN, VK_LEFT, false},
        {button, WM_KEYDOWN, 'Q', true},
        {button, WM_CHAR, 'q', false},
        {other, WM_KEYDOWN, 'Q', false},    // outside the panes and views
    };
    for (const Case& c : cases) {
        SetFocus(c.focus);
        g_translated.clear();
        MSG m{c.focus, c.msg, c.key, 1, 0, {0, 0}};
        bool taken = frame->PreTranslateMessage(&m);
        EXPECT_EQ(!g_translated.empty(), c.translated) << c.msg << " " << c.key;
        EXPECT_EQ(taken, c.translated);
    }
    fh.translate_key = nullptr;
    SetFrameHooks(&fh);
    Stop(app);
}

TEST_F(StartUp, InputRestartsTheIdleClockAndUserMessagesAreNotIdle) {
    CQWApp app;
    ASSERT_TRUE(Start(app)) << BoxTexts(boxes);
    HWND frame = GetMainFrame()->hwnd();
    struct Case {
        UINT msg;
        bool idle, resets;
    } cases[] = {
        {WM_KEYDOWN, true, true},   {WM_CHAR, true, true},      {WM_LBUTTONDOWN, true, true},
        {0x400, false, false},      {0x464, false, false},      {0x590, false, false},
        {0x591, true, false},       {WM_COMMAND, true, false},  {WM_PAINT, false, false},
    };
    for (const Case& c : cases) {
        GetAppStopwatch()->Reset();
        GetAppStopwatch()->Start();
        MSG m{frame, c.msg, 0, 0, 0, {0, 0}};
        EXPECT_EQ(app.IsIdleMessage(&m), c.idle) << std::hex << c.msg;
        EXPECT_EQ(GetAppStopwatch()->IsRunning() == 0, c.resets) << std::hex << c.msg;
    }
    Stop(app);
}

TEST_F(StartUp, AutomaticSavingSavesOnlyEditedDocuments) {
    std::string file = Sample(dir);
    CQWApp app;
    ASSERT_TRUE(Start(app, "\"" + file + "\"")) << BoxTexts(boxes);
    fw::MultiDocTemplate* text = GetDocTemplateById(131);
    ASSERT_NE(text, nullptr);
    ASSERT_EQ(text->documents().size(), 1u);
    auto* doc = dynamic_cast<CQWDoc*>(text->documents()[0]);
    ASSERT_NE(doc, nullptr);
    VMB* b = doc->GetBuffer();
    vm_read_lines(b, 1000);
    vm_state_flags(b, VM_OP_SET, DOC_ST_SAVE_FLAGGED);
    const std::string before = qwtest::ReadFileBytes(file);

    // Unchanged since it was opened: nothing is written, no backup rotated.
    EXPECT_EQ(AutoSaveEditedDocuments(nullptr), 0);
    EXPECT_EQ(qwtest::ReadFileBytes(file), before);
    EXPECT_EQ(GetFileAttributesA(dir.file("sample.BAK").c_str()), INVALID_FILE_ATTRIBUTES);

    ASSERT_GT(vm_append_line(b, "/* added */"), 0);
    EXPECT_EQ(AutoSaveEditedDocuments(doc), 1);
    EXPECT_NE(qwtest::ReadFileBytes(file).find("/* added */"), std::string::npos);
    EXPECT_EQ(AutoSaveEditedDocuments(nullptr), 0);  // saved: no longer edited
    Stop(app);
}
