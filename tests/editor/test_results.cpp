// Tests going to what lines name, under Wine, with the compiled programs:
// a results list walked by its program (double click, next and previous
// error, and next error given in a document), lines naming missing files
// passed over, "locate" on an #include line and on a line with nothing to
// locate, and the right-button programs "OnRClickSel" (its menu answered
// by the test) and "WindowNew".
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "VmEngine/vm.h"
#include "commands/cmdexec.h"
#include "commands/cmdtable.h"
#include "commands/interp.h"
#include "editor/appview.h"
#include "editor/docmanager.h"
#include "editor/panes.h"
#include "editor/qwdoc.h"
#include "editor/resultnav.h"
#include "editor/stylesheet.h"
#include "editor/textview.h"
#include "framework/fwapp.h"
#include "framework/fwframe.h"
#include "framework/fwmsgbox.h"
#include "opsys/msgbox_backend.h"
#include "opsys/shell_outlets.h"
#include "tests/Reu/reu_test_env.h"
#include "tests/editor/doc_test_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"

namespace {

std::vector<std::string> g_status;
std::vector<std::string> g_boxes;
HWND g_main = nullptr;
InterpPaths g_paths;
std::vector<int> g_window_new;
std::vector<int> g_menu_ids;
std::vector<int> g_menu_enabled;
int g_menu_pick = 0;

int Box(HWND, const char* text, const char*, UINT) {
    g_boxes.push_back(text ? text : "");
    return IDNO;
}
int FrameworkBox(HWND__*, const char* text, const char*, unsigned) {
    g_boxes.push_back(text ? text : "");
    return IDOK;
}

HFONT TestFont() {
    static HFONT font =
        CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, FIXED_PITCH | FF_MODERN,
                    "Courier New");
    return font;
}

class ResultsTest : public doctest::LangTest {
protected:
    void SetUp() override {
        doctest::LangTest::SetUp();
        QwShellOutlets o = QwGetShellOutlets();
        o.status_set_text = [](const char* text, int, unsigned, unsigned) {
            g_status.push_back(text ? text : "");
        };
        o.app_thread_id = GetCurrentThreadId();
        o.main_window = []() -> void* { return g_main; };
        QwSetShellOutlets(&o);
        QwSetMessageBoxBackend(Box);
        fw::SetMessageBoxHandler(FrameworkBox);
        g_status.clear();
        g_boxes.clear();
        g_window_new.clear();
        g_menu_ids.clear();
        g_menu_pick = 0;
        CreateStyleSheetArray(dir.file("StyleSheets.JS").c_str());
        qwtest::DibCanvas probe(8, 8);
        SetEditorFont(TestFont());
        ASSERT_TRUE(CQWTextView::MeasureFont(probe.dc()));

        // The programs the build compiled, run by an editor older than they are.
        const std::string editor = dir.file("QW32.exe");
        qwtest::WriteFileBytes(editor, "editor");
        std::filesystem::last_write_time(
            editor, std::filesystem::last_write_time(QW_MACRO_DIR "/locate.ces") - std::chrono::hours(24));
        g_paths = InterpPaths{};
        g_paths.macro_folder = QW_MACRO_DIR;
        g_paths.working_folder = dir.path();
        g_paths.editor_file = editor;
        InterpHooks ih;
        ih.paths = [](InterpPaths& out) { out = g_paths; };
        Interp_SetHooks(&ih);
        InstallNavigationCommands();
        memcpy(saved_, K_cmd_table, sizeof saved_);

        app = std::make_unique<fw::Application>();
        app->SetDocManager(std::make_unique<CMultiOpenDocManager>());
        app->AddDocTemplate(new fw::MultiDocTemplate(DOC_TEMPLATE_TEXT, FW_RUNTIME_CLASS(CQWDoc),
                                                     FW_RUNTIME_CLASS(fw::MDIChildWindow),
                                                     FW_RUNTIME_CLASS(CQWAppView)));
        main = new fw::MDIFrameWindow;
        ASSERT_TRUE(main->LoadFrame(130, WS_OVERLAPPEDWINDOW));
        app->set_main_window(main->hwnd());
        g_main = main->hwnd();

        // The files the results name: one beside the test's current folder,
        // one in a folder of its own.
        std::filesystem::create_directories(dir.file("src"));
        std::string text;
        for (int i = 1; i <= 30; ++i)
            text += "line " + std::to_string(i) + " of a.c\r\n";
        Write(dir.file("src\\a.c"), text);
        Write(dir.file("b.h"), "one\r\ntwo\r\nthree\r\nfour\r\nfive\r\nsix\r\n\tseven x\r\n");
        Write(dir.file("src\\main.c"), "#include \"a.c\"\r\nint main;\r\n#include \"gone.h\"\r\n");
        char cwd[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, cwd);
        cwd_ = cwd;
        SetCurrentDirectoryA(dir.path().c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryA(cwd_.c_str());
        SetCommandMenuChooser(nullptr);
        for (HWND w : lists_)
            if (IsWindow(w))
                DestroyWindow(w);
        if (app)
            app->CloseAllDocuments(false);
        if (g_main)
            DestroyWindow(g_main);
        g_main = nullptr;
        qwtest::PumpPending();
        app.reset();
        memcpy(K_cmd_table, saved_, sizeof saved_);
        CInterpreterManager::Instance(0);
        Interp_SetHooks(nullptr);
        Interp_SetViewServices(nullptr);
        Interp_SetViewCallHook(nullptr);
        DestroyStyleSheetArray();
        fw::SetMessageBoxHandler(nullptr);
        QwSetMessageBoxBackend(nullptr);
        doctest::LangTest::TearDown();
    }

    // A list as the output pane makes it: a named type-2 buffer in a view
    // with the list flag of its tab.
    CQWTextView* MakeList(const char* name, const std::vector<std::string>& lines, uint32_t flag) {
        VMB* b = reutest::MakeList(name, lines);
        auto* v = new CQWAppView;
        TextViewSource src;
        src.buffer = b;
        RECT rc{0, 0, 600, 200};
        EXPECT_TRUE(v->CreateTextView(g_main, rc, src, false));
        v->ViewFlags(1, flag);
        lists_.push_back(v->hwnd());
        return v;
    }
    // The view of an open file (null when it is not open).
    CQWTextView* ViewOf(const std::string& path) {
        fw::View* view = nullptr;
        if (!MatchOpenDocument(path.c_str(), nullptr, nullptr, &view, 1))
            return nullptr;
        return fw::DynamicDowncast<CQWTextView>(view);
    }
    // Boxes other than the one about the missing style-sheet file of the
    // test's empty configuration.
    int RealBoxes() {
        int n = 0;
        for (const std::string& b : g_boxes)
            n += b.find("Style Sheet file") == std::string::npos;
        return n;
    }
    bool StatusSaid(const std::string& text) {
        for (const std::string& s : g_status)
            if (s.find(text) != std::string::npos)
                return true;
        return false;
    }

    std::unique_ptr<fw::Application> app;
    fw::MDIFrameWindow* main = nullptr;
    std::vector<HWND> lists_;
    std::string cwd_;
    K_cmd_record saved_[sizeof K_cmd_table / sizeof K_cmd_table[0]];
};

TEST_F(ResultsTest, AListIsWalkedByItsProgram) {
    const std::string a = dir.file("src\\a.c");
    CQWTextView* list = MakeList("Find in Files 1",
                                 {"Searching for 'x' in *.c", a + "(12): line 12 of a.c",
                                  "nothing to see here", "src\\gone.c(3): a file since deleted",
                                  "b.h:7:3: seven x", "2 matches"},
                                 QW_VF_LIST_MATCH_B);
    ASSERT_TRUE(list->ViewFlags(-1, QW_VF_LIST));

    // A double click on the second line: the file opens with the caret on line 12.
    list->GoToLine(2, 0, 0, 0);
    EXPECT_EQ(1, MatchNavigation(list, 682, nullptr));
    CQWTextView* va = ViewOf(a);
    ASSERT_NE(nullptr, va);
    EXPECT_EQ(12u, va->GetCurLine());
    EXPECT_EQ(2, vm_mark_line(list->GetBuffer()));

    // Next error from the document goes on in the list: the deleted file is
    // passed over, b.h opens at line 7, column 3.
    EXPECT_EQ(1, MatchNavigation(va, 627, nullptr));
    CQWTextView* vb = ViewOf(dir.file("b.h"));
    ASSERT_NE(nullptr, vb);
    EXPECT_EQ(7u, vb->GetCurLine());
    EXPECT_EQ(2u, vb->GetCurColumn());
    EXPECT_EQ(5, vm_mark_line(list->GetBuffer()));
    EXPECT_EQ(5u, list->GetCurLine());

    // Nothing after it; previous goes back to a.c, and then nothing before.
    g_status.clear();
    EXPECT_EQ(0, MatchNavigation(list, 627, nullptr));
    EXPECT_TRUE(StatusSaid("At last match"));
    va->GoToLine(1, 0, 0, 0);
    EXPECT_EQ(1, MatchNavigation(list, 628, nullptr));
    EXPECT_EQ(12u, va->GetCurLine());
    EXPECT_EQ(0, MatchNavigation(list, 628, nullptr));
    EXPECT_TRUE(StatusSaid("At first match"));

    // A double click on a line naming a missing file or no place says so
    // and leaves the mark where it was.
    g_status.clear();
    list->GoToLine(4, 0, 0, 0);
    EXPECT_EQ(0, MatchNavigation(list, 682, nullptr));
    EXPECT_TRUE(StatusSaid("File not found: src\\gone.c"));
    list->GoToLine(3, 0, 0, 0);
    EXPECT_EQ(0, MatchNavigation(list, 682, nullptr));
    EXPECT_TRUE(StatusSaid("No file and line"));
    EXPECT_EQ(2, vm_mark_line(list->GetBuffer()));
    EXPECT_EQ(0, RealBoxes()) << g_boxes.back();
}

TEST_F(ResultsTest, BuildOutputGoesThroughTheCommandTable) {
    // A build list (flag 0x80) answers the double-click command 682 run as the
    // view runs it; a line past the end of the file leaves the caret on the
    // last line.
    const std::string a = dir.file("src\\a.c");
    CQWTextView* list = MakeList("Build", {"src\\a.c(29) : error C1: x", "src\\a.c(99) : error C2: y"},
                                 QW_VF_LIST_MATCH_A);
    list->GoToLine(1, 0, 0, 0);
    EXPECT_EQ(1, Do_k_cmd(682, 0, list, nullptr));
    CQWTextView* va = ViewOf(a);
    ASSERT_NE(nullptr, va);
    EXPECT_EQ(29u, va->GetCurLine());
    g_status.clear();
    list->GoToLine(2, 0, 0, 0);
    EXPECT_EQ(0, Do_k_cmd(682, 0, list, nullptr));
    EXPECT_EQ(30u, va->GetCurLine());
    EXPECT_TRUE(StatusSaid("is past the end")) << (g_status.empty() ? "" : g_status.back());
    EXPECT_EQ(0, RealBoxes()) << g_boxes.back();
}

TEST_F(ResultsTest, LocateAndTheRightButtonPrograms) {
    fw::View* opened = VwFileOpenEx(dir.file("src\\main.c").c_str(), 0x22, 1);
    auto* vm = fw::DynamicDowncast<CQWTextView>(opened);
    ASSERT_NE(nullptr, vm);
    vm->SyncSourceWithDocument(); // the view was made before the document had its buffer
    // An #include name opens beside the document, not from the current folder.
    vm->GoToLine(1, 12, 0, 0);
    EXPECT_EQ(1, CExe_ExecuteByName("locate", 1, 509, 0, static_cast<void*>(vm), nullptr));
    EXPECT_NE(nullptr, ViewOf(dir.file("src\\a.c")));
    // Nothing to find: said on the status bar, no box.
    g_status.clear();
    vm->GoToLine(2, 0, 0, 0);
    EXPECT_EQ(0, CExe_ExecuteByName("locate", 1, 509, 0, static_cast<void*>(vm), nullptr));
    vm->GoToLine(3, 12, 0, 0);
    EXPECT_EQ(0, CExe_ExecuteByName("locate", 1, 509, 0, static_cast<void*>(vm), nullptr));
    EXPECT_TRUE(StatusSaid("No file name at the cursor"));

    // "WindowNew" runs K_WindowNew on the view.
    K_cmd_bind_function("WindowNew", [](int id, K_cmd_params*) {
        g_window_new.push_back(id);
        return 1;
    });
    EXPECT_EQ(1, CExe_ExecuteByName("WindowNew", 1, 684, 0, static_cast<void*>(vm), nullptr));
    EXPECT_EQ(std::vector<int>{363}, g_window_new);

    // "OnRClickSel" offers its menu of the commands that can run on the
    // view; what is chosen runs; nothing chosen, a command the menu does not
    // hold, or one that cannot run now runs nothing.
    static void* s_current = nullptr;
    static std::vector<int> s_ran;
    s_current = vm;
    s_ran.clear();
    K_cmd_exec_hooks eh{};
    eh.current_view = [] { return s_current; };
    K_cmd_set_exec_hooks(&eh);
    K_cmd_set_view_handler(479, [](void*, int id, K_cmd_params*) {
        s_ran.push_back(id);
        return 1;
    });
    SetCommandMenuChooser([](const int* ids, const int* enabled, int count) {
        g_menu_ids.assign(ids, ids + count);
        g_menu_enabled.assign(enabled, enabled + count);
        return g_menu_pick;
    });
    g_menu_pick = 479;
    EXPECT_EQ(1, CExe_ExecuteByName("OnRClickSel", 1, 684, 0, static_cast<void*>(vm), nullptr))
        << (g_boxes.empty() ? std::string() : g_boxes.back());
    EXPECT_EQ(std::vector<int>{479}, s_ran);
    EXPECT_EQ((std::vector<int>{456, 455, 457, 0, 464, 463, 462, 0, 479, 481}), g_menu_ids);
    // Greyed as the executor answers (the copy and case commands need a
    // selection, which this view has none of).
    ASSERT_EQ(g_menu_ids.size(), g_menu_enabled.size());
    for (size_t i = 0; i < g_menu_ids.size(); ++i)
        EXPECT_EQ(g_menu_ids[i] && cmd_available(g_menu_ids[i]) != 0 ? 1 : 0, g_menu_enabled[i]) << g_menu_ids[i];
    EXPECT_EQ(1, g_menu_enabled[8]);
    for (int pick : {0, 363}) {
        g_menu_pick = pick;
        EXPECT_EQ(0, CExe_ExecuteByName("OnRClickSel", 1, 684, 0, static_cast<void*>(vm), nullptr));
    }
    EXPECT_EQ(std::vector<int>{363}, g_window_new);
    s_current = nullptr; // no view: 479 cannot run
    g_menu_pick = 479;
    EXPECT_EQ(0, CExe_ExecuteByName("OnRClickSel", 1, 684, 0, static_cast<void*>(vm), nullptr));
    EXPECT_EQ(0, g_menu_enabled[8]);
    EXPECT_EQ(std::vector<int>{479}, s_ran);
    K_cmd_set_exec_hooks(nullptr);
    EXPECT_EQ(0, RealBoxes()) << g_boxes.back();
}

} // namespace
