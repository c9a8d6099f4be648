// The output pane: its seven tabs, workers that claim, print and release
// tabs concurrently through the user-interface thread, a request given up
// after its time-out, clearing, held tabs and the close rule.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "Reu/thread.h"
#include "VmEngine/vm.h"
#include "opsys/shell_outlets.h"
#include "shell/outputpane.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"

namespace {

HWND g_frame = nullptr;

// The main frame's part: serves the workers' 0x46E requests.
LRESULT CALLBACK FrameProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == 0x46E && (lp == 1 || lp == 2)) {
        CZQThread::ServeRequest(reinterpret_cast<void*>(wp),
                                [&](CZQThread& t, void* data) { QwOutputServe(int(lp), data, &t); });
        return 0;
    }
    return DefWindowProcA(h, m, wp, lp);
}

class Output : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static qwtest::TempDir dir;
        ASSERT_NE(vms_start(1000, 0, dir.file("swap.tmp").c_str(), 0, 0), 0);
        WNDCLASSA wc{};
        wc.lpfnWndProc = FrameProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QwTestOutputFrame";
        RegisterClassA(&wc);
        g_frame = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 600, 300, nullptr, nullptr,
                                wc.hInstance, nullptr);
    }
    void SetUp() override {
        old = QwGetShellOutlets();
        QwShellOutlets o = old;
        o.app_thread_id = GetCurrentThreadId();
        o.main_window = [] { return static_cast<void*>(g_frame); };
        QwSetShellOutlets(&o);
        QwSetOutputRequestTimeout(10000);
    }
    void TearDown() override {
        QwDestroyOutputPane();
        QwSetOutputHooks(QwOutputHooks{});
        QwSetShellOutlets(&old);
    }
    QwShellOutlets old;
};

TEST_F(Output, SevenTabsAndTheirLabels) {
    EXPECT_FALSE(HasOutputView());
    ASSERT_NE(Output_OpenTab(2, 0, 0), 0);
    EXPECT_EQ(Output_GetTabCount(), 7);
    for (int i = 0; i < 7; ++i) {
        int label = 0;
        EXPECT_NE(Output_GetTabWnd(i, &label), nullptr) << i;
        EXPECT_EQ(label, 1211 + i);
    }
    EXPECT_EQ(Output_FindTabByLabel(1216), 5);
    EXPECT_EQ(Output_OpenTab(4, 0, 0), 1);
}

TEST_F(Output, PrintClearAndHeldTabs) {
    ASSERT_NE(Output_Print("one", 1, 1, 0), 0);
    Output_Print("two", 1, 1, 0);
    VMB* b = Output_GetTabBuffer(1);
    EXPECT_EQ(vm_line_count(b), 2);
    Output_Print(nullptr, 1, 1, 0);
    EXPECT_EQ(vm_line_count(b), 0);
    EXPECT_EQ(vm_state_flags(b, 2, VM_ST_EDIT), 0u);

    // A tab held by a worker: another thread gets 0, the owner stays; the
    // holder may ask again; the close rule asks and stops the task.
    std::atomic<DWORD> worker{0};
    std::atomic<bool> served{false};
    std::thread carried([&] {
        served = Output_OpenTab(2, 3, 0) != 0;  // carried: tab 3 is not the active one
    });
    ASSERT_TRUE(qwtest::PumpUntil([&] { return served.load(); }));
    carried.join();
    EXPECT_EQ(Output_GetActiveTab(), 3);
    std::thread([&] { EXPECT_NE(Output_OpenTab(1, 3, 0), 0); EXPECT_NE(Output_OpenTab(1, 3, 0), 0); worker = GetCurrentThreadId(); }).join();
    EXPECT_EQ(Output_GetTabOwner(3), worker.load());
    EXPECT_EQ(Output_OpenTab(1, 3, 0), 0);
    EXPECT_EQ(Output_GetTabOwner(3), worker.load());
    EXPECT_NE(Output_OpenTab(5, 3, 0), 0);

    static int asked;
    static DWORD stopped;
    QwOutputHooks h;
    h.ask_stop = [](const char*) { return asked++ == 0 ? 0 : 1; };
    h.stop_task = [](DWORD id) { stopped = id; };
    QwSetOutputHooks(h);
    EXPECT_EQ(Output_CloseTabDocument(0), 0);  // No: refused
    EXPECT_EQ(Output_CloseTabDocument(0), 1);  // Yes: stopped, allowed
    EXPECT_EQ(stopped, worker.load());
    EXPECT_EQ(Output_OpenTab(5, 3, 0), 0);
}

TEST_F(Output, TwoWorkersClaimPrintAndRelease) {
    ASSERT_NE(Output_OpenTab(2, 0, 0), 0);
    std::atomic<int> done{0}, claims{0};
    auto worker = [&](int own_tab) {
        for (int i = 0; i < 40; ++i) {
            // Its own tab, and a tab both want.
            for (int tab : {own_tab, 2}) {
                if (!Output_OpenTab(1, tab, 0)) continue;
                if (tab == 2) ++claims;
                for (int l = 0; l < 3; ++l) Output_AppendLine(tab, "line");
                Output_OpenTab(3, tab, 0);
            }
        }
        ++done;
    };
    std::thread a(worker, 0), b(worker, 1);
    bool finished = qwtest::PumpUntil([&] { return done.load() == 2; }, 60000);
    a.join();
    b.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(vm_line_count(Output_GetTabBuffer(0)), 120);
    EXPECT_EQ(vm_line_count(Output_GetTabBuffer(1)), 120);
    EXPECT_EQ(vm_line_count(Output_GetTabBuffer(2)), 3 * claims.load());
    for (int t = 0; t < 3; ++t) EXPECT_EQ(Output_GetTabOwner(t), 0u);
}

TEST_F(Output, TimedOutRequestLeavesNoTrace) {
    ASSERT_NE(Output_OpenTab(2, 0, 0), 0);
    QwSetOutputRequestTimeout(50);
    intptr_t got = -1;
    // This thread does not pump while the worker waits.
    std::thread([&] { got = Output_OpenTab(1, 4, 1); }).join();
    EXPECT_EQ(got, 0);
    qwtest::PumpPending();  // the late message finds nobody waiting
    EXPECT_EQ(Output_GetTabOwner(4), 0u);
    EXPECT_EQ(Output_GetActiveTab(), 0);
}

} // namespace
