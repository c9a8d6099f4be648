// Tests the document's life cycle: the save matrix (backup, veto, locked,
// read-only and full targets, Save As), bookmarks kept across close and open,
// the already-open choices, opens requested by worker threads (with the
// time-out path), the read thread's notifications, edit and view modes with
// another holder of the file, reload after an outside change, and a stress
// run of opens, saves and closes from two threads.
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <gtest/gtest.h>
#include <roaring/roaring.h>

#include "editor/docmanager.h"
#include "editor/docmodes.h"
#include "editor/docread.h"
#include "editor/docsave.h"
#include "editor/fileinfo.h"
#include "editor/qwdoc.h"
#include "editor/stylesheet.h"
#include "framework/fwapp.h"
#include "framework/fwframe.h"
#include "framework/fwmsgbox.h"
#include "framework/fwview.h"
#include "opsys/bufstream.h"
#include "opsys/msgbox_backend.h"
#include "opsys/shell_outlets.h"
#include "opsys/paths.h"
#include "opsys/strlib.h"
#include "tests/editor/doc_frame_fixture.h"
#include "tests/editor/doc_test_env.h"
#include "tests/support/fs_faults.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"
#include "VmEngine/vm.h"

namespace {

std::vector<std::string> g_boxes, g_status, g_asked;
int g_answer = IDNO;
int g_veto = 0;
int g_choice = -1;
std::string g_save_as;
std::map<std::string, std::pair<std::string, std::string>> g_history;
HWND g_main = nullptr;

int Box(HWND, const char* text, const char*, UINT) {
    g_boxes.push_back(text ? text : "");
    return g_answer;
}
int FrameworkBox(HWND__*, const char* text, const char*, unsigned) {
    g_boxes.push_back(text ? text : "");
    return IDOK;
}
void Status(const char* text, int, unsigned, unsigned) { g_status.push_back(text ? text : ""); }

// Every view counts the deferred updates it is sent, by hint.
class CountingView : public fw::View {
    FW_DECLARE_DYNCREATE(CountingView)
public:
    std::map<int, int> deferred;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_QW_VIEW_DEFERRED && wp == 1) ++deferred[static_cast<int>(lp)];
        return fw::View::WindowProc(msg, wp, lp);
    }
};
FW_IMPLEMENT_DYNCREATE(CountingView, fw::View)

using MainFrame = doctest::WorkerOpenFrame;

class Lifecycle : public doctest::LangTest {
protected:
    void SetUp() override {
        doctest::LangTest::SetUp();
        QwShellOutlets o = QwGetShellOutlets();
        o.status_set_text = Status;
        o.app_thread_id = GetCurrentThreadId();
        o.main_window = []() -> void* { return g_main; };
        QwSetShellOutlets(&o);
        QwSetMessageBoxBackend(Box);
        fw::SetMessageBoxHandler(FrameworkBox);
        g_boxes.clear();
        g_status.clear();
        g_asked.clear();
        g_history.clear();
        g_answer = IDNO;
        g_veto = 0;
        g_choice = -1;
        g_save_as.clear();
        CreateStyleSheetArray(dir.file("StyleSheets.JS").c_str());
        RunThreadPool(1);
        QWDocHooks doc_hooks{};
        doc_hooks.queue_doc_info = QueueDocInfoUpdate;
        doc_hooks.restore_bookmarks = [](CQWDoc* d) { d->RestoreBookmarks(nullptr); };
        SetQWDocHooks(&doc_hooks);
        DocLifecycleHooks hooks{};
        hooks.ask_named = [](const char* key, const char*, const char* text) {
            g_asked.push_back(key ? key : (text ? text : ""));
            return key ? IDNO : g_answer;
        };
        hooks.fire_event = [](CQWDoc*, int event, const void*) { return event == DOC_EVENT_BEFORE_SAVE && g_veto ? 0 : 1; };
        hooks.history_add = [](const char* path, const char* numbered, const char* lines) {
            g_history[path] = {numbered, lines};
            return 1;
        };
        hooks.history_find = [](const char* path, std::string* numbered, std::string* lines) {
            auto it = g_history.find(path);
            if (it == g_history.end()) return 0;
            *numbered = it->second.first;
            *lines = it->second.second;
            return 1;
        };
        hooks.choose_open_copy = [](unsigned) { return g_choice; };
        SetDocLifecycleHooks(&hooks);
        app = std::make_unique<fw::Application>();
        app->SetDocManager(std::make_unique<doctest::SaveAsAnswerManager>(&g_save_as));
        app->AddDocTemplate(new fw::MultiDocTemplate(DOC_TEMPLATE_TEXT, FW_RUNTIME_CLASS(CQWDoc),
                                                     FW_RUNTIME_CLASS(fw::MDIChildWindow),
                                                     FW_RUNTIME_CLASS(CountingView)));
        main = new MainFrame;
        ASSERT_TRUE(main->LoadFrame(130, WS_OVERLAPPEDWINDOW));
        app->set_main_window(main->hwnd());
        g_main = main->hwnd();
    }
    void TearDown() override {
        StartDocReadThread(0);
        if (app) app->CloseAllDocuments(false);
        if (g_main) DestroyWindow(g_main);
        g_main = nullptr;
        qwtest::PumpPending();
        MSG m;
        PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        WaitFileInfoIdle(5000);
        RunThreadPool(0);
        app.reset();
        SetDocLifecycleHooks(nullptr);
        SetQWDocHooks(nullptr);
        DestroyStyleSheetArray();
        fw::SetMessageBoxHandler(nullptr);
        doctest::LangTest::TearDown();
    }
    CQWDoc* Open(const std::string& path, uint32_t mode = 0x22) {
        fw::View* v = VwFileOpenEx(path.c_str(), mode, 1);
        return v ? static_cast<CQWDoc*>(v->GetDocument()) : nullptr;
    }
    size_t DocCount() { return app->doc_manager()->GetOpenDocumentCount(); }
    static std::string Lines(int n) {
        std::string s;
        for (int i = 1; i <= n; ++i) s += "line " + std::to_string(i) + "\r\n";
        return s;
    }
    std::unique_ptr<fw::Application> app;
    MainFrame* main = nullptr;
};

// Replaces line 1 (read from the file first).
int Edit(CQWDoc* d, const char* text) {
    vm_read_lines(d->GetBuffer(), 1);
    return vm_replace_line(d->GetBuffer(), 1, text, static_cast<int>(strlen(text)), 1);
}

// The bookmarked lines of a buffer (of those read).
std::vector<int> Marked(VMB* b) {
    std::vector<int> r;
    for (int l = 1, n = vm_line_count(b); l <= n; ++l)
        if (vm_line_flags(b, l, VM_OP_READ, DOC_LF_BOOKMARK) & DOC_LF_BOOKMARK) r.push_back(l);
    return r;
}

TEST_F(Lifecycle, SaveMatrix) {
    struct Case {
        const char* name;
        uint32_t options;      // document option bits (0x2: keep backups)
        int veto, locked, read_only, full_disk, vanished;
        bool ok;
        const char* on_disk;   // the target afterwards
        const char* backup;    // the ".BAK" afterwards, null when none
    } cases[] = {
        {"backup kept", 0x2, 0, 0, 0, 0, 0, true, "new\r\n", "old\r\n"},
        {"no backup", 0, 0, 0, 0, 0, 0, true, "new\r\n", nullptr},
        {"vetoed", 0x2, 1, 0, 0, 0, 0, false, "old\r\n", nullptr},
        {"locked by another", 0x2, 0, 1, 0, 0, 0, false, "old\r\n", nullptr},
        {"full disk", 0x2, 0, 0, 0, 1, 0, false, "old\r\n", nullptr},
        {"read-only runs Save As", 0x2, 0, 0, 1, 0, 0, true, "old\r\n", nullptr},
        {"file vanished", 0x2, 0, 0, 0, 0, 1, true, "new\r\n", nullptr},
    };
    int n = 0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::string path = dir.file("save" + std::to_string(++n) + ".txt");
        qwtest::WriteFileBytes(path, "old\r\n");
        DocOptionFlags(0, 0xFF);
        DocOptionFlags(1, k.options);
        g_veto = k.veto;
        g_boxes.clear();
        g_save_as = k.read_only ? dir.file("copy" + std::to_string(n) + ".txt") : "";
        CQWDoc* d = Open(path);
        ASSERT_NE(d, nullptr);
        ASSERT_EQ(Edit(d, "new"), 1);
        ASSERT_TRUE(d->IsModified());
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (k.read_only) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        qwtest::ScopedFsFaults faults;
        if (k.full_disk) faults.state.write_budget = 0; // every write fails, as on a full disk
        if (k.vanished) {
            vm_read_lines(d->GetBuffer(), 0xFFFFFFFFu);
            vmb_stream_close(d->GetBuffer());
            ASSERT_TRUE(DeleteFileA(path.c_str()));
        }
        if (k.locked) {
            // The editor lets go of its own lock while saving; another program then takes the file.
            vm_read_lines(d->GetBuffer(), 0xFFFFFFFFu);
            vmb_stream_close(d->GetBuffer());
            holder = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        }
        EXPECT_EQ(d->SaveByCommand(), k.ok ? 1 : 0);
        faults.state.write_budget = -1;
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        EXPECT_EQ(d->IsModified(), !k.ok);
        if (!k.ok && !k.veto) {
            EXPECT_FALSE(g_boxes.empty());
        }
        if (k.veto) {
            EXPECT_TRUE(g_boxes.empty());
        }
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(qwtest::ReadFileBytes(path), k.on_disk);
        EXPECT_EQ(std::filesystem::exists(path + ".BAK"), k.backup != nullptr);
        if (k.backup) {
            EXPECT_EQ(qwtest::ReadFileBytes(path + ".BAK"), k.backup);
        }
        if (k.read_only) {
            EXPECT_EQ(qwtest::ReadFileBytes(g_save_as), "new\r\n");
            EXPECT_TRUE(StrEqualNoCase(PathFileName(d->GetPathName().c_str()), PathFileName(g_save_as.c_str())));
        }
        d->SetModifiedFlag(false);
        d->CloseByCommand();
    }
    DocOptionFlags(0, 0xFF);
}

TEST_F(Lifecycle, BookmarksSurviveCloseAndOpenAndFollowSaveAs) {
    std::string path = dir.file("marks.txt"), renamed = dir.file("renamed.txt");
    qwtest::WriteFileBytes(path, Lines(3000));
    CQWDoc* d = Open(path);
    ASSERT_NE(d, nullptr);
    vm_read_lines(d->GetBuffer(), 0xFFFFFFFFu);
    // The last line too: the walk over marked lines must end there.
    for (int line : {2, 7, 2500, 3000}) vm_line_flags(d->GetBuffer(), line, VM_OP_SET, DOC_LF_BOOKMARK);
    ASSERT_EQ(d->CloseByCommand(), 1);
    EXPECT_EQ(DocCount(), 0u);
    ASSERT_EQ(g_history.count(path), 1u);
    EXPECT_FALSE(g_history[path].second.empty());

    d = Open(path);
    ASSERT_NE(d, nullptr);
    vm_read_lines(d->GetBuffer(), 0xFFFFFFFFu);
    EXPECT_EQ(Marked(d->GetBuffer()), (std::vector<int>{2, 7, 2500, 3000}));
    // Save As keeps the bookmarks under the new name.
    g_save_as = renamed;
    ASSERT_EQ(d->SaveAsByCommand(), 1);
    EXPECT_EQ(g_history.count(renamed), 1u);
    EXPECT_EQ(g_history[renamed].second, g_history[path].second);
    // No bookmarks: an empty text; damaged text sets nothing and is refused.
    vm_line_flags_range(d->GetBuffer(), 1, vm_last_ln(d->GetBuffer()), VM_OP_CLEAR, DOC_LF_BOOKMARK, 0);
    EXPECT_EQ(EncodeBookmarkLines(d->GetBuffer()), "");
    EXPECT_EQ(DecodeBookmarkLines(d->GetBuffer(), "bm90IGEgYml0bWFw"), -1);
    EXPECT_TRUE(Marked(d->GetBuffer()).empty());
    // A hand-made entry naming four billion lines marks only the file's own.
    roaring_bitmap_t* huge = roaring_bitmap_create();
    roaring_bitmap_add_range(huge, 2999, 0xFFFFFFF0ull);
    std::vector<char> bytes(roaring_bitmap_portable_size_in_bytes(huge));
    roaring_bitmap_portable_serialize(huge, bytes.data());
    roaring_bitmap_free(huge);
    std::string text;
    CryptoPP::StringSource(reinterpret_cast<const CryptoPP::byte*>(bytes.data()), bytes.size(), true,
                           new CryptoPP::Base64Encoder(new CryptoPP::StringSink(text), false));
    EXPECT_EQ(DecodeBookmarkLines(d->GetBuffer(), text), 2);
    EXPECT_EQ(Marked(d->GetBuffer()), (std::vector<int>{2999, 3000}));
}

TEST_F(Lifecycle, AlreadyOpenChoices) {
    std::string path = dir.file("twice.txt");
    qwtest::WriteFileBytes(path, "a\r\n");
    CQWDoc* first = Open(path);
    ASSERT_NE(first, nullptr);
    struct Case {
        const char* name;
        uint32_t mode;
        int choice, answer;
        int result;  // 0 null, 1 the open copy, 2 a further copy
        int view_mode;
    } cases[] = {
        {"activate only", 0x22 | DOC_OPEN_ACTIVATE_OPEN, -1, IDNO, 1, 0},
        {"goto existing", 0x22, 0, IDNO, 1, 0},
        {"menu dismissed", 0x22, -1, IDNO, 0, 0},
        {"edit copy refused", 0x22, 3, IDNO, 0, 0},
        {"view mode copy", 0x22, 2, IDNO, 2, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        g_choice = k.choice;
        g_answer = k.answer;
        size_t before = DocCount();
        CQWDoc* d = Open(path, k.mode);
        EXPECT_EQ(d == nullptr, k.result == 0);
        if (k.result == 1) {
            EXPECT_EQ(d, first);
        }
        EXPECT_EQ(DocCount(), before + (k.result == 2 ? 1 : 0));
        if (k.result == 2) {
            EXPECT_NE(d, first);
            EXPECT_EQ(d->IsViewMode(), k.view_mode);
            EXPECT_NE(d->GetBuffer(), first->GetBuffer());
        }
    }
    // Discarding the open copies closes every copy and opens afresh.
    g_choice = 4;
    CQWDoc* fresh = Open(path);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(DocCount(), 1u);
    EXPECT_FALSE(fresh->IsViewMode());
}

TEST_F(Lifecycle, WorkerThreadOpens) {
    std::string path = dir.file("worker.txt");
    qwtest::WriteFileBytes(path, "w\r\n");
    // A worker asking for a missing file gets null and posts nothing.
    fw::View* result = reinterpret_cast<fw::View*>(1);
    std::thread missing([&] { result = VwFileOpenEx(dir.file("none.txt").c_str(), 0x22, 1); });
    missing.join();
    EXPECT_EQ(result, nullptr);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, g_main, WM_QW_WORKER_OPEN, WM_QW_WORKER_OPEN, PM_NOREMOVE));

    // The UI thread carries the request out while the worker waits.
    std::atomic<bool> done{false};
    DWORD ui = GetCurrentThreadId();
    std::thread worker([&] {
        result = VwFileOpenEx(path.c_str(), 0x22, 1);
        done = true;
        PostThreadMessageA(ui, WM_NULL, 0, 0);  // wakes the pump to see it
    });
    ASSERT_TRUE(qwtest::PumpUntil([&] { return done.load(); }));
    worker.join();
    ASSERT_NE(result, nullptr);
    auto* doc = static_cast<CQWDoc*>(result->GetDocument());
    EXPECT_TRUE(StrEqualNoCase(doc->GetPathName().c_str(), path.c_str()));
    EXPECT_EQ(vm_line_count(doc->GetBuffer()) >= 0, true);

    // The UI thread answers after the worker's time-out: the request was
    // withdrawn and is not carried out; nothing is left behind.
    SetWorkerOpenTimeout(50);
    std::string late = dir.file("late.txt");
    qwtest::WriteFileBytes(late, "late\r\n");
    std::thread slow([&] { result = VwFileOpenEx(late.c_str(), 0x22, 1); });
    slow.join();
    EXPECT_EQ(result, nullptr);
    size_t before = DocCount();
    qwtest::PumpPending();
    EXPECT_EQ(DocCount(), before);
    SetWorkerOpenTimeout(0);
    EXPECT_EQ(FindDocumentByPath(late.c_str(), nullptr), nullptr);
}

TEST_F(Lifecycle, ReadThreadFinishesTwoFilesAndNotifiesTheirViews) {
    std::string a = dir.file("big_a.txt"), b = dir.file("big_b.txt");
    qwtest::WriteFileBytes(a, Lines(3500));
    qwtest::WriteFileBytes(b, Lines(2200));
    CQWDoc* da = Open(a, 0x40);
    CQWDoc* db = Open(b, 0x40);
    ASSERT_TRUE(da && db);
    auto* va = static_cast<CountingView*>(da->GetFirstView());
    auto* vb = static_cast<CountingView*>(db->GetFirstView());
    int read_a = vm_line_count(da->GetBuffer()), read_b = vm_line_count(db->GetBuffer());
    ASSERT_EQ(StartDocReadThread(1), 1);
    SetEvent(static_cast<HANDLE>(GetDocReadEvent()));
    ASSERT_TRUE(qwtest::PumpUntil([&] { return vm_is_fully_read(da->GetBuffer()) && vm_is_fully_read(db->GetBuffer()); }));
    qwtest::PumpUntil([&] { return false; }, 50);  // let the last posts arrive
    EXPECT_EQ(vm_line_count(da->GetBuffer()), 3500);
    EXPECT_EQ(vm_line_count(db->GetBuffer()), 2200);
    // One message per block read, and one more when the file's end is reached.
    auto blocks = [](int read, int total) { return (total - read + 999) / 1000; };
    EXPECT_EQ(va->deferred[DOC_HINT_MORE_LINES], blocks(read_a, 3500) + 1);
    EXPECT_EQ(vb->deferred[DOC_HINT_MORE_LINES], blocks(read_b, 2200) + 1);
    EXPECT_EQ(StartDocReadThread(0), 0);
}

TEST_F(Lifecycle, EditAndViewModesWithAnotherHolder) {
    std::string path = dir.file("mode.txt");
    qwtest::WriteFileBytes(path, "m\r\n");
    CQWDoc* d = Open(path);
    ASSERT_NE(d, nullptr);
    ASSERT_FALSE(d->IsViewMode());
    // In edit mode the file is locked against writers.
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    // An edited document refuses view mode.
    Edit(d, "edited");
    EXPECT_EQ(d->ToggleEditMode(0), 0);
    d->SetModifiedFlag(false);
    // View mode lets go of the file; another program takes it with no sharing.
    EXPECT_EQ(d->ToggleEditMode(0), 1);
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    // Back to edit mode fails while it is held.
    EXPECT_EQ(d->ToggleEditMode(1), 1);
    CloseHandle(holder);
    EXPECT_EQ(d->ToggleEditMode(1), 0);
    EXPECT_FALSE(d->IsViewMode());
    // A named buffer only flips its flag.
    CQWDoc* named = Open("Buffer scratch");
    ASSERT_NE(named, nullptr);
    int before = named->IsViewMode();
    EXPECT_EQ(named->ToggleEditMode(0), before ? 0 : 1);
}

TEST_F(Lifecycle, ReloadAfterOutsideChangeAndMissingFile) {
    std::string path = dir.file("outside.txt");
    qwtest::WriteFileBytes(path, "one\r\n");
    CQWDoc* d = Open(path, 0x40);
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(WaitFileInfoIdle(5000));
    ASSERT_NE(d->DiskStateRecord(-1), nullptr);
    int exists = 0, reloaded = 0;
    EXPECT_EQ(d->DiskImageChanged(&exists, 1), 0);
    qwtest::WriteFileBytes(path, "two lines\r\nnow\r\n");
    // Answered No: nothing reloaded, and the new state is recorded.
    g_answer = IDNO;
    EXPECT_EQ(d->ReloadDoc(0, 0, &exists, &reloaded, 1, 1), 1);
    EXPECT_EQ(reloaded, 0);
    ASSERT_TRUE(WaitFileInfoIdle(5000));
    EXPECT_EQ(d->DiskImageChanged(&exists, 1), 0);
    // Unsaved edits are asked about even when the caller asked no question.
    qwtest::WriteFileBytes(path, "three\r\n");
    Edit(d, "mine");
    size_t asked = g_asked.size();
    EXPECT_EQ(d->ReloadDoc(0, 0, &exists, &reloaded, 0, 1), 1);
    EXPECT_EQ(g_asked.size(), asked + 1);
    EXPECT_EQ(reloaded, 0);
    EXPECT_EQ(std::string(vm_line_ptr(d->GetBuffer(), 1, 0), 4), "mine");
    ASSERT_TRUE(WaitFileInfoIdle(5000));  // the declined state is recorded
    // Yes reloads.
    g_answer = IDYES;
    qwtest::WriteFileBytes(path, "four\r\n");
    EXPECT_EQ(d->ReloadDoc(0, 0, &exists, &reloaded, 1, 1), 1);
    EXPECT_EQ(reloaded, 1);
    EXPECT_FALSE(d->IsEdited());
    vm_read_lines(d->GetBuffer(), 1);
    EXPECT_EQ(vm_line_length(d->GetBuffer(), 1), 4);
    EXPECT_EQ(std::string(vm_line_ptr(d->GetBuffer(), 1, 0), 4), "four");
    // The file goes: changed, not existing; toggling to edit mode says so.
    ASSERT_TRUE(WaitFileInfoIdle(5000));
    vm_read_lines(d->GetBuffer(), 0xFFFFFFFFu);  // lets go of the file
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_EQ(d->DiskImageChanged(&exists, 1), 1);
    EXPECT_EQ(exists, 0);
    g_boxes.clear();
    d->ToggleEditMode(0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_NE(g_boxes[0].find("no longer exists"), std::string::npos);
}

TEST_F(Lifecycle, UnlockWhileAwayAndRelockOnReturn) {
    std::string same = dir.file("same.txt"), changed = dir.file("changed.txt"), gone = dir.file("gone.txt"),
                edited = dir.file("edited.txt");
    for (const std::string& p : {same, changed, gone, edited}) qwtest::WriteFileBytes(p, "old\r\n");
    vms_flags(VM_OP_SET, VMS_F_KEEP_STREAM);  // files in edit mode stay locked
    CQWDoc* d_same = Open(same);
    CQWDoc* d_changed = Open(changed);
    CQWDoc* d_gone = Open(gone);
    CQWDoc* d_edited = Open(edited);
    ASSERT_TRUE(d_same && d_changed && d_gone && d_edited);
    ASSERT_TRUE(WaitFileInfoIdle(5000));
    // Leaving the application: edited files are saved, then all are unlocked.
    ASSERT_EQ(Edit(d_edited, "mine"), 1);
    DocBatchOptions all{3, 1, nullptr, 0};
    EXPECT_EQ(SaveEditedDocuments(all, nullptr), 1);
    EXPECT_FALSE(d_edited->IsEdited());
    EXPECT_EQ(qwtest::ReadFileBytes(edited), "mine\r\n");
    EXPECT_EQ(UnlockDocuments(all, nullptr), 1);
    for (CQWDoc* d : {d_same, d_changed, d_gone, d_edited}) {
        EXPECT_TRUE(d->IsViewMode());
        EXPECT_TRUE(vm_state_flags(d->GetBuffer(), VM_OP_READ, DOC_ST_LOCK_RELEASED));
    }
    // Meanwhile another program changes one file and deletes another.
    qwtest::WriteFileBytes(changed, "theirs, longer\r\n");
    ASSERT_TRUE(DeleteFileA(gone.c_str()));
    g_boxes.clear();
    g_status.clear();
    StartRelockTimer(0);
    auto unlocked = [&] {
        for (CQWDoc* d : {d_same, d_changed, d_gone, d_edited})
            if (vm_state_flags(d->GetBuffer(), VM_OP_READ, DOC_ST_LOCK_RELEASED)) return true;
        return false;
    };
    ASSERT_TRUE(qwtest::PumpUntil([&] { return !unlocked(); }, 10000));
    StopRelockTimer();
    EXPECT_FALSE(d_same->IsViewMode());
    EXPECT_FALSE(d_changed->IsViewMode());
    vm_read_lines(d_changed->GetBuffer(), 1);
    EXPECT_EQ(std::string(vm_line_ptr(d_changed->GetBuffer(), 1, 0), 6), "theirs");
    // The missing file is reported once, not at every return.
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_NE(g_boxes[0].find("no longer exists"), std::string::npos);
    EXPECT_TRUE(d_gone->IsMissingReported());
    // Edit mode locks again: another writer is refused.
    HANDLE writer = CreateFileA(same.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    // An edited file is not unlocked: it must be saved first.
    ASSERT_EQ(Edit(d_same, "unsaved"), 1);
    EXPECT_EQ(UnlockDocuments(DocBatchOptions{1, 0, nullptr, 0}, d_same), 0);
    EXPECT_FALSE(d_same->IsViewMode());
    vms_flags(VM_OP_CLEAR, VMS_F_KEEP_STREAM);
}

TEST_F(Lifecycle, FileInformationAnswersOnceThenAsksAgain) {
    std::string path = dir.file("Info.txt");
    qwtest::WriteFileBytes(path, "12345");
    DocDiskState state;
    std::string true_case;
    int exists = -1;
    EXPECT_EQ(GetFileInfoAsync(path.c_str(), &state, &true_case, &exists), 0);
    ASSERT_TRUE(WaitFileInfoIdle(5000));
    ASSERT_EQ(GetFileInfoAsync(path.c_str(), &state, &true_case, &exists), 1);
    EXPECT_EQ(exists, 1);
    EXPECT_EQ(state.size, 5u);
    EXPECT_TRUE(state.Recorded());
    EXPECT_EQ(true_case, path);
    // Used once: the next call asks afresh; a cleared map drops the answer.
    EXPECT_EQ(GetFileInfoAsync(path.c_str(), &state, &true_case, &exists), 0);
    ASSERT_TRUE(WaitFileInfoIdle(5000));
    ClearFileInfoMap();
    EXPECT_EQ(GetFileInfoAsync(path.c_str(), &state, &true_case, &exists), 0);
    ASSERT_TRUE(WaitFileInfoIdle(5000));
    std::string missing = dir.file("missing.txt");
    GetFileInfoAsync(missing.c_str(), &state, &true_case, &exists);
    ASSERT_TRUE(WaitFileInfoIdle(5000));
    ASSERT_EQ(GetFileInfoAsync(missing.c_str(), &state, &true_case, &exists), 1);
    EXPECT_EQ(exists, 0);
    // Documents closed while their updates wait are skipped.
    for (int i = 0; i < 20; ++i) {
        CQWDoc* d = Open(path);
        ASSERT_NE(d, nullptr);
        QueueDocInfoUpdate(d);
        d->CloseByCommand();
    }
    EXPECT_TRUE(WaitFileInfoIdle(5000));
    EXPECT_EQ(DocCount(), 0u);
}

TEST_F(Lifecycle, BadPathsFailCleanly) {
    std::string long_name = dir.file(std::string(300, 'x') + ".txt");
    for (const std::string& p : {long_name, std::string("\\\\nohost\\share\\file.txt"), dir.file("")}) {
        SCOPED_TRACE(p);
        EXPECT_EQ(Open(p), nullptr);
    }
    EXPECT_EQ(DocCount(), 0u);
    // Save As to a name past the length limit fails and keeps everything.
    std::string path = dir.file("keep.txt");
    qwtest::WriteFileBytes(path, "old\r\n");
    CQWDoc* d = Open(path);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(Edit(d, "new"), 1);
    g_boxes.clear();
    g_save_as = long_name;
    EXPECT_EQ(d->SaveAsByCommand(), 0);
    EXPECT_FALSE(g_boxes.empty());
    EXPECT_TRUE(d->IsModified());
    EXPECT_EQ(qwtest::ReadFileBytes(path), "old\r\n");
    EXPECT_TRUE(StrEqualNoCase(d->GetPathName().c_str(), path.c_str()));
}

TEST_F(Lifecycle, StressOpensSavesAndClosesFromTwoThreads) {
    const int kFiles = 12;
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        paths.push_back(dir.file("stress" + std::to_string(i) + ".txt"));
        qwtest::WriteFileBytes(paths.back(), Lines(50 + i));
    }
    std::atomic<bool> done{false};
    DWORD ui = GetCurrentThreadId();
    std::atomic<int> opened{0};
    // A worker asks for every file while the UI thread saves and closes.
    std::thread worker([&] {
        for (int round = 0; round < 3; ++round)
            for (const std::string& p : paths)
                if (VwFileOpenEx(p.c_str(), 0x22 | DOC_OPEN_ACTIVATE_OPEN, 1)) ++opened;
        done = true;
        PostThreadMessageA(ui, WM_NULL, 0, 0);  // wakes the pump to see it
    });
    int round = 0;
    qwtest::PumpUntil([&] {
        if (++round % 7 == 0) {
            CQWDoc* d = FindDocumentByPath(paths[round % kFiles].c_str(), nullptr);
            if (d && Edit(d, "saved") == 1) {
                EXPECT_EQ(d->SaveByCommand(), 1);
                d->CloseByCommand();
            }
        }
        return done.load();
    }, 60000);
    worker.join();
    EXPECT_EQ(opened.load(), 3 * kFiles);
    app->CloseAllDocuments(false);
    for (int i = 0; i < kFiles; ++i) {
        std::string bytes = qwtest::ReadFileBytes(paths[i]);
        std::string expect = Lines(50 + i);
        if (bytes.compare(0, 7, "saved\r\n") == 0) expect.replace(0, expect.find("\r\n") + 2, "saved\r\n");
        EXPECT_EQ(bytes, expect) << paths[i];
    }
}

}  // namespace
