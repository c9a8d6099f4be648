// Documents, views, templates, frames and splitters: command routing from
// view to document to frame to application, menu updates when a popup
// opens, templates making document, child frame and view, closing frames
// and documents, the idle pass, failures that leave nothing behind, and
// the splitter's panes, shared scroll bars and keyboard split; files
// dropped on the main frame.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/fwapp.h"
#include "framework/fwarchive.h"
#include "framework/fwdoc.h"
#include "framework/fwframe.h"
#include "framework/fwmsgbox.h"
#include "framework/fwsplitter.h"
#include "framework/fwview.h"
#include "opsys/msgbox_backend.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"

namespace {

constexpr UINT kIdShared = 650;
constexpr UINT kIdViewCmd = 700, kIdDocCmd = 701, kIdNoHandler = 702;
constexpr UINT kIdModeFirst = 710, kIdModeLast = 712;

// Who took the shared command, in order.
std::vector<std::string> g_route;
struct Takers {
    bool view = false, doc = false, frame = false, app = false;
} g_takes;
int g_docs_alive = 0;

class TestDoc : public fw::Document {
    FW_DECLARE_DYNCREATE(TestDoc)
    FW_DECLARE_MESSAGE_MAP()
public:
    TestDoc() { ++g_docs_alive; }
    ~TestDoc() override { --g_docs_alive; }
    std::string text;
    int idle_calls = 0;
    UINT mode = kIdModeFirst + 1;
    void OnIdle() override { ++idle_calls; }
    void Serialize(fw::Archive& ar) override {
        if (ar.IsStoring()) ar << text;
        else ar >> text;
    }

private:
    bool OnShared(UINT) { g_route.push_back("doc"); return g_takes.doc; }
    void OnDocCmd() {}
    void OnUpdateMode(fw::CommandUI* ui) {
        ui->SetRadio(ui->id == mode);
        if (ui->id == kIdModeLast) ui->SetText("Mode three");
    }
};
FW_IMPLEMENT_DYNCREATE(TestDoc, fw::Document)
FW_BEGIN_MESSAGE_MAP(TestDoc, fw::Document)
    FW_ON_COMMAND_EX(kIdShared, OnShared)
    FW_ON_COMMAND(kIdDocCmd, OnDocCmd)
    FW_ON_UPDATE_COMMAND_UI_RANGE(kIdModeFirst, kIdModeLast, OnUpdateMode)
FW_END_MESSAGE_MAP()

class TestView : public fw::View {
    FW_DECLARE_DYNCREATE(TestView)
    FW_DECLARE_MESSAGE_MAP()
public:
    int initial_updates = 0;
    int vscrolls = 0;
    LPARAM last_hint = -1;
    void OnInitialUpdate() override { ++initial_updates; }
    void OnUpdate(fw::View*, LPARAM hint, fw::Object*) override { last_hint = hint; }

private:
    bool OnShared(UINT) { g_route.push_back("view"); return g_takes.view; }
    void OnViewCmd() { g_route.push_back("view command"); }
    void OnUpdateViewCmd(fw::CommandUI* ui) {
        ui->Enable(false);
        ui->SetCheck(1);
    }
    LRESULT OnVScroll(WPARAM, LPARAM) { ++vscrolls; return 0; }
};
FW_IMPLEMENT_DYNCREATE(TestView, fw::View)
FW_BEGIN_MESSAGE_MAP(TestView, fw::View)
    FW_ON_COMMAND_EX(kIdShared, OnShared)
    FW_ON_COMMAND(kIdViewCmd, OnViewCmd)
    FW_ON_UPDATE_COMMAND_UI(kIdViewCmd, OnUpdateViewCmd)
    FW_ON_MESSAGE(WM_VSCROLL, OnVScroll)
FW_END_MESSAGE_MAP()

// A view whose window refuses to be created.
class BrokenView : public fw::View {
    FW_DECLARE_DYNCREATE(BrokenView)
    FW_DECLARE_MESSAGE_MAP()
    LRESULT OnCreate(WPARAM, LPARAM) { return -1; }
};
FW_IMPLEMENT_DYNCREATE(BrokenView, fw::View)
FW_BEGIN_MESSAGE_MAP(BrokenView, fw::View)
    FW_ON_MESSAGE(WM_CREATE, OnCreate)
FW_END_MESSAGE_MAP()

class TestChild : public fw::MDIChildWindow {
    FW_DECLARE_DYNCREATE(TestChild)
    FW_DECLARE_MESSAGE_MAP()
    bool OnShared(UINT) { g_route.push_back("child frame"); return g_takes.frame; }
};
FW_IMPLEMENT_DYNCREATE(TestChild, fw::MDIChildWindow)
FW_BEGIN_MESSAGE_MAP(TestChild, fw::MDIChildWindow)
    FW_ON_COMMAND_EX(kIdShared, OnShared)
FW_END_MESSAGE_MAP()

class SplitChild : public fw::MDIChildWindow {
    FW_DECLARE_DYNCREATE(SplitChild)
public:
    fw::SplitterWindow splitter;

protected:
    bool OnCreateClient(CREATESTRUCTA*, fw::CreateContext* ctx) override {
        return splitter.Create(hwnd(), 2, 2, fw::Size(10, 10), ctx);
    }
};
FW_IMPLEMENT_DYNCREATE(SplitChild, fw::MDIChildWindow)

class MainFrame : public fw::MDIFrameWindow {
    FW_DECLARE_MESSAGE_MAP()
    bool OnShared(UINT) { g_route.push_back("main frame"); return false; }
};
FW_BEGIN_MESSAGE_MAP(MainFrame, fw::MDIFrameWindow)
    FW_ON_COMMAND_EX(kIdShared, OnShared)
FW_END_MESSAGE_MAP()

class TestApp : public fw::Application {
    FW_DECLARE_MESSAGE_MAP()
    bool OnShared(UINT) { g_route.push_back("app"); return g_takes.app; }
};
FW_BEGIN_MESSAGE_MAP(TestApp, fw::Application)
    FW_ON_COMMAND_EX(kIdShared, OnShared)
FW_END_MESSAGE_MAP()

// A document manager that answers file-name prompts without a dialog.
class QuietDocManager : public fw::DocManager {
public:
    std::string answer;
    bool DoPromptFileName(std::string& path, const std::string&, DWORD, bool,
                          fw::MultiDocTemplate*) override {
        if (answer.empty()) return false;
        path = answer;
        return true;
    }
};

class FwDocView : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = fw::SetMessageBoxHandler(&QwPlatformMessageBox);
        g_route.clear();
        g_takes = Takers{};
        auto dm = std::make_unique<QuietDocManager>();
        docs_ = dm.get();
        app_.SetDocManager(std::move(dm));
        text_ = new fw::MultiDocTemplate(131, FW_RUNTIME_CLASS(TestDoc), FW_RUNTIME_CLASS(TestChild),
                                         FW_RUNTIME_CLASS(TestView));
        app_.AddDocTemplate(text_);
        main_ = new MainFrame;
        ASSERT_TRUE(main_->LoadFrame(130, WS_OVERLAPPEDWINDOW | fw::kAddToTitle));
        app_.set_main_window(main_->hwnd());
        MoveWindow(main_->hwnd(), 0, 0, 800, 600, FALSE);
    }
    void TearDown() override {
        if (app_.main_window()) {
            app_.CloseAllDocuments(false);
            DestroyWindow(app_.main_window());
        }
        qwtest::PumpPending();  // the main window's end posts WM_QUIT
        MSG m;
        PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        fw::SetMessageBoxHandler(previous_);
        EXPECT_TRUE(unexpected_.boxes().empty()) << unexpected_.boxes()[0].text;
    }
    int ChildFrameCount() {
        int n = 0;
        for (HWND h = GetWindow(main_->mdi_client(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) ++n;
        return n;
    }
    TestView* ActiveView() {
        fw::MDIChildWindow* child = main_->MDIGetActive();
        return child ? dynamic_cast<TestView*>(child->GetActiveView()) : nullptr;
    }

    fw::MessageBoxHandler previous_ = nullptr;
    // A box nobody expected is recorded here rather than shown.
    qwtest::MessageBoxRecorder unexpected_;
    TestApp app_;
    QuietDocManager* docs_ = nullptr;
    fw::MultiDocTemplate* text_ = nullptr;
    MainFrame* main_ = nullptr;
};

TEST_F(FwDocView, TemplateMakesDocumentChildFrameAndViewWithTitles) {
    fw::Document* doc = text_->OpenDocumentFile(nullptr);
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(doc->IsKindOf(FW_RUNTIME_CLASS(TestDoc)));
    EXPECT_EQ(doc->GetTitle(), "Text1");
    EXPECT_EQ(doc->GetDocTemplate(), text_);
    ASSERT_EQ(doc->views().size(), 1u);
    auto* view = dynamic_cast<TestView*>(doc->views()[0]);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->initial_updates, 1);
    fw::FrameWindow* frame = view->GetParentFrame();
    ASSERT_TRUE(frame && frame->IsKindOf(FW_RUNTIME_CLASS(TestChild)));
    EXPECT_EQ(frame->GetActiveView(), view);
    EXPECT_EQ(frame->GetText(), "Text1");
    EXPECT_EQ(main_->MDIGetActive(), frame);
    EXPECT_EQ(GetMenu(main_->hwnd()), text_->menu()) << "the active child's shared menu shows";

    fw::Document* second = text_->OpenDocumentFile(nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetTitle(), "Text2");
    EXPECT_EQ(text_->documents().size(), 2u);

    // A new window of the active document numbers both frames.
    main_->Send(WM_COMMAND, fw::kIdWindowNew);
    ASSERT_EQ(second->views().size(), 2u);
    EXPECT_EQ(second->views()[0]->GetParentFrame()->GetText(), "Text2:1");
    EXPECT_EQ(second->views()[1]->GetParentFrame()->GetText(), "Text2:2");
    doc->UpdateAllViews(nullptr, 77);
    EXPECT_EQ(view->last_hint, 77);
}

TEST_F(FwDocView, CommandGoesToViewElseDocumentElseFrameElseApplication) {
    ASSERT_NE(text_->OpenDocumentFile(nullptr), nullptr);
    struct Case {
        Takers takes;
        std::vector<std::string> route;
    } cases[] = {
        {{true, true, true, true}, {"view"}},
        {{false, true, true, true}, {"view", "doc"}},
        {{false, false, true, true}, {"view", "doc", "child frame"}},
        {{false, false, false, true}, {"view", "doc", "child frame", "main frame", "app"}},
        {{false, false, false, false}, {"view", "doc", "child frame", "main frame", "app"}},
    };
    for (const Case& c : cases) {
        g_takes = c.takes;
        g_route.clear();
        main_->Send(WM_COMMAND, MAKEWPARAM(kIdShared, 0), 0);
        EXPECT_EQ(g_route, c.route);
    }
}

TEST_F(FwDocView, OpeningAPopupUpdatesItsItemsFromTheHandlers) {
    fw::Document* doc = text_->OpenDocumentFile(nullptr);
    ASSERT_NE(doc, nullptr);
    HMENU edit = GetSubMenu(GetMenu(main_->hwnd()), 0);
    ASSERT_NE(edit, nullptr);
    main_->Send(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), 0);
    auto state = [&](UINT id) { return GetMenuState(edit, id, MF_BYCOMMAND); };
    EXPECT_TRUE(state(kIdViewCmd) & MF_GRAYED) << "the view's update handler disabled it";
    EXPECT_TRUE(state(kIdViewCmd) & MF_CHECKED);
    EXPECT_FALSE(state(kIdDocCmd) & MF_GRAYED) << "a command handler and no update handler";
    EXPECT_TRUE(state(kIdNoHandler) & MF_GRAYED) << "nobody handles it";
    EXPECT_FALSE(state(kIdModeFirst) & MF_CHECKED);
    EXPECT_TRUE(state(kIdModeFirst + 1) & MF_CHECKED) << "the range handler got its id";
    char text[64] = "";
    GetMenuStringA(edit, kIdModeLast, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "Mode three");
    // The disabled command does not run from an accelerator either.
    g_route.clear();
    main_->Send(WM_COMMAND, MAKEWPARAM(kIdViewCmd, 1), 0);
    EXPECT_TRUE(g_route.empty());
    // Without automatic disabling, items nobody handles stay as they are.
    EnableMenuItem(edit, kIdNoHandler, MF_BYCOMMAND | MF_ENABLED);
    main_->auto_menu_enable = false;
    main_->Send(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(edit), 0);
    EXPECT_FALSE(state(kIdNoHandler) & MF_GRAYED);
}

TEST_F(FwDocView, ClosingTheFrameClosesTheDocumentAfterAskingToSave) {
    fw::Document* doc = text_->OpenDocumentFile(nullptr);
    ASSERT_NE(doc, nullptr);
    HWND frame = doc->views()[0]->GetParentFrame()->hwnd();
    doc->SetModifiedFlag(true);
    {
        qwtest::MessageBoxRecorder rec(IDCANCEL);
        SendMessageA(frame, WM_CLOSE, 0, 0);
        ASSERT_EQ(rec.boxes().size(), 1u);
        EXPECT_EQ(rec.boxes()[0].text, "Save changes to Text1?");
        EXPECT_TRUE(IsWindow(frame)) << "cancel keeps the frame";
        EXPECT_EQ(g_docs_alive, 1);
    }
    {
        qwtest::MessageBoxRecorder rec(IDNO);
        SendMessageA(frame, WM_CLOSE, 0, 0);
        EXPECT_EQ(rec.boxes().size(), 1u);
    }
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(g_docs_alive, 0);
    EXPECT_TRUE(text_->documents().empty());
    EXPECT_EQ(ChildFrameCount(), 0);
}

TEST_F(FwDocView, IdlePassReachesEveryDocumentOfEveryTemplate) {
    auto* output = new fw::MultiDocTemplate(132, FW_RUNTIME_CLASS(TestDoc), FW_RUNTIME_CLASS(fw::FrameWindow),
                                            FW_RUNTIME_CLASS(TestView));
    app_.AddDocTemplate(output);
    auto* a = dynamic_cast<TestDoc*>(text_->OpenDocumentFile(nullptr));
    auto* b = dynamic_cast<TestDoc*>(text_->OpenDocumentFile(nullptr));
    auto* c = dynamic_cast<TestDoc*>(output->OpenDocumentFile(nullptr, false));
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(c->GetTitle(), "Output1");
    EXPECT_EQ(docs_->GetOpenDocumentCount(), 3u);
    long count = 0;
    while (app_.OnIdle(count)) ++count;
    for (TestDoc* d : {a, b, c}) EXPECT_EQ(d->idle_calls, 1);
}

TEST_F(FwDocView, DocumentsSaveAndOpenThroughTheArchive) {
    qwtest::TempDir dir;
    std::string path = dir.file("note.txt");
    auto* doc = dynamic_cast<TestDoc*>(text_->OpenDocumentFile(nullptr));
    ASSERT_NE(doc, nullptr);
    doc->text = "hello";
    doc->SetModifiedFlag(true);
    docs_->answer = path;
    ASSERT_TRUE(doc->DoSave(""));  // save-as asks the manager for the name
    EXPECT_EQ(doc->GetPathName(), path);
    EXPECT_EQ(doc->GetTitle(), "note.txt");
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(qwtest::ReadFileBytes(path), std::string("\x05hello"));
    EXPECT_EQ(app_.recent_files(), nullptr);

    // The same path opens the document that is already open.
    EXPECT_EQ(app_.OpenDocumentFile(path), doc);
    doc->OnCloseDocument();
    auto* again = dynamic_cast<TestDoc*>(app_.OpenDocumentFile(path));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->text, "hello");
}

// Files dropped from the shell on the main frame open as documents; one
// already open is not opened twice.
TEST_F(FwDocView, FilesDroppedOnTheFrameOpenAsDocuments) {
    qwtest::TempDir dir;
    const std::vector<std::string> paths = {dir.file("a.txt"), dir.file("b.txt")};
    for (const std::string& p : paths) {
        auto* doc = dynamic_cast<TestDoc*>(text_->OpenDocumentFile(nullptr));
        ASSERT_NE(doc, nullptr);
        doc->text = p;
        docs_->answer = p;
        ASSERT_TRUE(doc->DoSave(""));
        doc->OnCloseDocument();
    }
    ASSERT_EQ(ChildFrameCount(), 0);
    std::string list;
    for (const std::string& p : {paths[0], paths[1], paths[0]}) list += p + '\0';
    list += '\0';
    HGLOBAL h = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
    ASSERT_NE(h, nullptr);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(h));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = FALSE;
    memcpy(drop + 1, list.data(), list.size());
    GlobalUnlock(h);
    SendMessageA(main_->hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(h), 0);  // the frame frees it
    EXPECT_EQ(ChildFrameCount(), 2);
    for (const std::string& p : paths) {
        auto* doc = dynamic_cast<TestDoc*>(app_.OpenDocumentFile(p));
        ASSERT_NE(doc, nullptr) << p;
        EXPECT_EQ(doc->text, p);
    }
    EXPECT_EQ(ChildFrameCount(), 2);
}

TEST_F(FwDocView, FailuresReportAndLeaveNothingBehind) {
    qwtest::TempDir dir;
    std::string damaged = dir.file("damaged.txt");
    qwtest::WriteFileBytes(damaged, "\x09" "abc");  // promises 9 characters, holds 3
    auto* broken = new fw::MultiDocTemplate(131, FW_RUNTIME_CLASS(TestDoc), FW_RUNTIME_CLASS(TestChild),
                                            FW_RUNTIME_CLASS(BrokenView));
    auto* missing = new fw::MultiDocTemplate(999, FW_RUNTIME_CLASS(TestDoc), FW_RUNTIME_CLASS(TestChild),
                                             FW_RUNTIME_CLASS(TestView));
    app_.AddDocTemplate(broken);
    app_.AddDocTemplate(missing);
    struct Case {
        const char* what;
        std::function<fw::Document*()> open;
        const char* text;
    } cases[] = {
        {"missing file", [&] { return text_->OpenDocumentFile(dir.file("none.txt").c_str()); }, "was not found"},
        {"damaged file", [&] { return text_->OpenDocumentFile(damaged.c_str()); }, "past its end"},
        {"view window fails", [&] { return broken->OpenDocumentFile(nullptr); }, "could not be created"},
        {"template resources missing", [&] { return missing->OpenDocumentFile(nullptr); }, "could not be created"},
    };
    for (const Case& c : cases) {
        qwtest::MessageBoxRecorder rec;
        EXPECT_EQ(c.open(), nullptr) << c.what;
        ASSERT_EQ(rec.boxes().size(), 1u) << c.what;
        EXPECT_NE(rec.boxes()[0].text.find(c.text), std::string::npos) << c.what << ": " << rec.boxes()[0].text;
        EXPECT_EQ(g_docs_alive, 0) << c.what;
        EXPECT_EQ(ChildFrameCount(), 0) << c.what;
    }
}

class FwSplitter : public FwDocView {
protected:
    void SetUp() override {
        FwDocView::SetUp();
        split_ = new fw::MultiDocTemplate(131, FW_RUNTIME_CLASS(TestDoc), FW_RUNTIME_CLASS(SplitChild),
                                          FW_RUNTIME_CLASS(TestView));
        app_.AddDocTemplate(split_);
        doc_ = split_->OpenDocumentFile(nullptr);
        ASSERT_NE(doc_, nullptr);
        frame_ = dynamic_cast<SplitChild*>(doc_->views()[0]->GetParentFrame());
        ASSERT_NE(frame_, nullptr);
        frame_->MDIRestore();
        MoveWindow(frame_->hwnd(), 0, 0, 400, 300, TRUE);
    }
    fw::SplitterWindow& splitter() { return frame_->splitter; }
    TestView* Pane(int r, int c) { return dynamic_cast<TestView*>(splitter().GetPane(r, c)); }
    fw::MultiDocTemplate* split_ = nullptr;
    fw::Document* doc_ = nullptr;
    SplitChild* frame_ = nullptr;
};

TEST_F(FwSplitter, SplitByCallMakesFourPanesOfTheDocumentWithSharedScrollBars) {
    EXPECT_EQ(splitter().GetRowCount(), 1);
    EXPECT_EQ(splitter().GetDlgCtrlID(), static_cast<int>(fw::kPaneFirst));
    ASSERT_TRUE(splitter().SplitRow(100));
    ASSERT_TRUE(splitter().SplitColumn(150));
    EXPECT_FALSE(splitter().SplitRow(50)) << "two rows at most";
    ASSERT_EQ(splitter().GetRowCount(), 2);
    ASSERT_EQ(splitter().GetColumnCount(), 2);
    EXPECT_EQ(doc_->views().size(), 4u);
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 2; ++c) {
            TestView* v = Pane(r, c);
            ASSERT_NE(v, nullptr) << r << c;
            EXPECT_EQ(v->GetDocument(), doc_);
            EXPECT_EQ(v->GetDlgCtrlID(), static_cast<int>(fw::SplitterWindow::IdFromRowCol(r, c)));
            EXPECT_EQ(v->initial_updates, 1);
            int row = -1, col = -1;
            EXPECT_TRUE(splitter().IsChildPane(v, &row, &col));
            EXPECT_EQ(row * 10 + col, r * 10 + c);
        }
    }
    int cur = 0, min = 0;
    ASSERT_TRUE(splitter().GetRowInfo(0, cur, min));
    EXPECT_EQ(cur, 100);
    ASSERT_TRUE(splitter().GetColumnInfo(0, cur, min));
    EXPECT_EQ(cur, 150);

    // One horizontal bar per column, one vertical per row.
    HWND h00 = Pane(0, 0)->GetScrollBarCtrl(SB_HORZ), h10 = Pane(1, 0)->GetScrollBarCtrl(SB_HORZ);
    HWND v00 = Pane(0, 0)->GetScrollBarCtrl(SB_VERT), v01 = Pane(0, 1)->GetScrollBarCtrl(SB_VERT);
    HWND v10 = Pane(1, 0)->GetScrollBarCtrl(SB_VERT);
    ASSERT_TRUE(h00 && v00 && v10);
    EXPECT_EQ(h00, h10);
    EXPECT_EQ(v00, v01);
    EXPECT_NE(v00, v10);
    EXPECT_NE(h00, Pane(0, 1)->GetScrollBarCtrl(SB_HORZ));
    EXPECT_EQ(GetDlgCtrlID(v10), static_cast<int>(fw::kScrollVertFirst + 1));
    splitter().Send(WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(v10));
    EXPECT_EQ(Pane(1, 0)->vscrolls + Pane(1, 1)->vscrolls, 2);
    EXPECT_EQ(Pane(0, 0)->vscrolls + Pane(0, 1)->vscrolls, 0);

    // Deleting the top row moves the bottom one up.
    TestView* bottom_left = Pane(1, 0);
    splitter().DeleteRow(0);
    EXPECT_EQ(splitter().GetRowCount(), 1);
    EXPECT_EQ(Pane(0, 0), bottom_left);
    EXPECT_EQ(doc_->views().size(), 2u);
}

TEST_F(FwSplitter, KeyboardSplitMovesWithArrowsAndSplitsOnEnter) {
    struct Case {
        std::vector<WPARAM> keys;
        int rows, cols;
    } cases[] = {
        {{VK_ESCAPE}, 1, 1},
        {{VK_DOWN, VK_RIGHT, VK_RETURN}, 2, 2},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(splitter().DoKeyboardSplit());
        EXPECT_TRUE(splitter().tracking());
        for (WPARAM k : c.keys) splitter().Send(WM_KEYDOWN, k, 0);
        EXPECT_FALSE(splitter().tracking());
        EXPECT_EQ(splitter().GetRowCount(), c.rows);
        EXPECT_EQ(splitter().GetColumnCount(), c.cols);
    }
    // The split went where the arrows moved it: 10 pixels past the middle.
    RECT client;
    GetClientRect(splitter().hwnd(), &client);
    int inside = client.bottom - GetSystemMetrics(SM_CYHSCROLL);
    int cur = 0, min = 0;
    splitter().GetRowInfo(0, cur, min);
    EXPECT_EQ(cur, inside / 2 + 10);
    EXPECT_EQ(doc_->views().size(), 4u);
    // Moving the bar to the edge removes the split.
    ASSERT_TRUE(splitter().DoKeyboardSplit());
    for (int i = 0; i < 60; ++i) splitter().Send(WM_KEYDOWN, VK_UP, 0);
    splitter().Send(WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(splitter().GetRowCount(), 1);
}

TEST_F(FwSplitter, NextPaneCyclesThroughThePanes) {
    ASSERT_TRUE(splitter().SplitColumn(200));
    splitter().SetActivePane(0, 0);
    int row = -1, col = -1;
    ASSERT_TRUE(splitter().CanActivateNext());
    splitter().ActivateNext();
    ASSERT_NE(splitter().GetActivePane(&row, &col), nullptr);
    EXPECT_EQ(col, 1);
    splitter().ActivateNext(true);
    splitter().GetActivePane(&row, &col);
    EXPECT_EQ(col, 0);
}

} // namespace
