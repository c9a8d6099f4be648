// Worker threads, their stop states and closing, cross-thread requests, and
// the thread pool.
#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Reu/thread.h"
#include "Reu/threadpool.h"
#include "framework/fwthread.h"
#include "opsys/msgout.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// ---- the pool ----

struct Counting : ThreadRequest {
    std::atomic<int>* count;
    explicit Counting(std::atomic<int>* c) : count(c) {}
    void Execute(DWORD) override { ++*count; }
};

// Holds its worker until the gate opens.
struct Gated : ThreadRequest {
    HANDLE started, gate;
    Gated(HANDLE s, HANDLE g) : started(s), gate(g) {}
    void Execute(DWORD) override {
        SetEvent(started);
        WaitForSingleObject(gate, 10000);
    }
};

struct Throwing : ThreadRequest {
    void Execute(DWORD) override { throw std::runtime_error("request failed"); }
};

TEST(ThreadPool, RefusesRequestsWhenNotRunning) {
    ThreadPool pool(2, 100);
    std::atomic<int> count{0};
    auto r = std::make_unique<Counting>(&count);
    EXPECT_THROW(pool.AddRequest(r.get()), ThreadPoolShutdownException);
    ASSERT_EQ(pool.Start(), 2);
    EXPECT_EQ(pool.Start(), 2);  // a second start adds no workers
    pool.Stop();
    EXPECT_THROW(pool.AddRequest(r.get()), ThreadPoolShutdownException);
    EXPECT_EQ(count.load(), 0);
}

TEST(ThreadPool, FullQueueBlocksTheProducerAndEveryQueuedRequestRuns) {
    HANDLE started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE added = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> count{0};
    {
        ThreadPool pool(1, 100);
        ASSERT_EQ(pool.Start(), 1);
        pool.AddRequest(new Gated(started, gate));
        ASSERT_EQ(WaitForSingleObject(started, 5000), WAIT_OBJECT_0);
        // A failing request must not end the worker.
        pool.AddRequest(new Throwing);
        for (int i = 0; i < 99; ++i) pool.AddRequest(new Counting(&count));
        ASSERT_EQ(pool.QueuedCount(), 100);

        std::thread producer([&] {
            pool.AddRequest(new Counting(&count));
            SetEvent(added);
        });
        EXPECT_EQ(WaitForSingleObject(added, 300), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_EQ(pool.QueuedCount(), 100);
        SetEvent(gate);
        EXPECT_EQ(WaitForSingleObject(added, 5000), WAIT_OBJECT_0);
        producer.join();
        pool.Stop();
    }
    EXPECT_EQ(count.load(), 100);
    CloseHandle(started);
    CloseHandle(gate);
    CloseHandle(added);
}

// Keeps each of `n` workers busy until all n have started, so every worker
// runs exactly one, and records what the worker sees.
struct Roll : ThreadRequest {
    struct Shared {
        std::atomic<int> arrived{0};
        int n;
        HANDLE all;
        std::vector<HANDLE> threads;
        std::vector<int> states;
        std::atomic<int> id_mismatch{0};
        CRITICAL_SECTION cs;
    };
    Shared* s;
    explicit Roll(Shared* sh) : s(sh) {}
    void Execute(DWORD thread_id) override {
        if (thread_id != GetCurrentThreadId()) ++s->id_mismatch;
        EnterCriticalSection(&s->cs);
        s->threads.push_back(OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, thread_id));
        s->states.push_back(CurrentThreadState());
        LeaveCriticalSection(&s->cs);
        if (++s->arrived == s->n) SetEvent(s->all);
        WaitForSingleObject(s->all, 10000);
    }
};

TEST(ThreadPool, StopEndsEveryWorkerThroughItsStopRequest) {
    Roll::Shared sh;
    sh.n = 20;
    sh.all = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    InitializeCriticalSection(&sh.cs);
    ThreadPool pool(20, 100);
    ASSERT_EQ(pool.Start(), 20);
    for (int i = 0; i < 20; ++i) pool.AddRequest(new Roll(&sh));
    ASSERT_EQ(WaitForSingleObject(sh.all, 10000), WAIT_OBJECT_0);

    auto t0 = Clock::now();
    pool.Stop();
    EXPECT_LT(MsSince(t0), 5000);  // far below the 10 s after which it terminates
    ASSERT_EQ(sh.threads.size(), 20u);
    for (size_t i = 0; i < sh.threads.size(); ++i) {
        DWORD code = 99;
        ASSERT_NE(sh.threads[i], nullptr);
        EXPECT_EQ(WaitForSingleObject(sh.threads[i], 0), WAIT_OBJECT_0);
        GetExitCodeThread(sh.threads[i], &code);
        EXPECT_EQ(code, 0u) << "worker " << i << " was terminated";
        EXPECT_EQ(sh.states[i], 4) << "a native worker has no CZQThread";
        CloseHandle(sh.threads[i]);
    }
    EXPECT_EQ(sh.id_mismatch.load(), 0);
    CloseHandle(sh.all);
    DeleteCriticalSection(&sh.cs);
}

// ---- worker threads and their closing ----

class Worker : public CZQThreadExec {
public:
    bool obey = true;               // stops when asked
    std::atomic<bool>* release = nullptr;  // else ends once this is set
    std::atomic<int> seen_state{-1};

protected:
    unsigned Body() override {
        for (;;) {
            int s = CurrentThreadState();
            if (obey && s != 0) {
                seen_state = s;
                return 5;
            }
            if (release && release->load()) return 6;
            Sleep(5);
        }
    }
};

DWORD ExitCodeOf(CZQThread& t) {
    DWORD code = 0;
    GetExitCodeThread(t.GetWinThread()->handle(), &code);
    return code;
}

class ThreadCloseTest : public ::testing::Test {
protected:
    void SetUp() override {
        QwShellOutlets o{};
        o.app_thread_id = GetCurrentThreadId();
        QwSetShellOutlets(&o);
        log_ = dir_.file("qw_dbg.log");
        DebugLogSetPath(log_.c_str());
    }
    void TearDown() override {
        DebugLogSetPath(nullptr);
        QwSetShellOutlets(nullptr);
    }
    qwtest::TempDir dir_;
    std::string log_;
};

TEST_F(ThreadCloseTest, StateOfTheMainThreadAndOfAWorkerAskedToStop) {
    EXPECT_EQ(CurrentThreadState(), 0);
    struct Case {
        bool for_good;
        int state;
    } cases[] = {{true, CZQThread::kStopForGood}, {false, CZQThread::kStop}};
    for (const Case& c : cases) {
        Worker w;
        ASSERT_TRUE(w.Started());
        w.Resume();
        auto t0 = Clock::now();
        CWinThreadClose(w.GetWinThread(), c.for_good);
        EXPECT_LT(MsSince(t0), 3000);
        EXPECT_EQ(w.seen_state.load(), c.state);
        EXPECT_EQ(ExitCodeOf(w), 5u);
    }
    EXPECT_EQ(GetFileAttributesA(log_.c_str()), INVALID_FILE_ATTRIBUTES) << "nothing logged";
}

// The closing thread keeps pumping its messages: a worker that waits for the
// UI thread to handle a message still ends in time.
std::atomic<bool>* g_release;

LRESULT CALLBACK CloserWndProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_USER + 1) *g_release = true;
    return DefWindowProcA(h, m, wp, lp);
}

TEST_F(ThreadCloseTest, ClosingPumpsTheCallersMessages) {
    std::atomic<bool> release{false};
    g_release = &release;
    WNDCLASSA wc{};
    wc.lpfnWndProc = CloserWndProc;
    wc.lpszClassName = "QWTestCloserWnd";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowA("QWTestCloserWnd", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    Worker w;
    w.obey = false;
    w.release = &release;
    w.Resume();
    PostMessageA(hwnd, WM_USER + 1, 0, 0);
    auto t0 = Clock::now();
    CWinThreadClose(w.GetWinThread(), true);
    EXPECT_LT(MsSince(t0), 3000);
    EXPECT_EQ(ExitCodeOf(w), 6u);
    DestroyWindow(hwnd);
}

TEST_F(ThreadCloseTest, AThreadThatIgnoresItsStopStateIsTerminatedAndLogged) {
    Worker w;
    w.obey = false;
    w.Resume();
    auto t0 = Clock::now();
    CWinThreadClose(w.GetWinThread(), true);
    long long ms = MsSince(t0);
    EXPECT_GE(ms, 10500);  // 7 s pumping + 4 s waiting
    EXPECT_LT(ms, 16000);
    EXPECT_EQ(WaitForSingleObject(w.GetWinThread()->handle(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(w), static_cast<DWORD>(-1));
    EXPECT_EQ(qwtest::ReadFileBytes(log_),
              "thread.cppIn CWinThreadClose() WaitForSingleObject() failed. "
              "TerminateThread() was called.\r\n");
}

// ---- cross-thread requests ----

constexpr UINT kRequestMsg = WM_USER + 0x7A;

struct Served {
    int calls = 0;
    const void* last_sender = nullptr;
};
Served g_served;

LRESULT CALLBACK RequestWndProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == kRequestMsg) {
        CZQThread::ServeRequest(reinterpret_cast<const void*>(wp), [&](CZQThread& t, void* data) {
            ++g_served.calls;
            g_served.last_sender = &t;
            *static_cast<int*>(data) = static_cast<int>(lp);
        });
        return 0;
    }
    return DefWindowProcA(h, m, wp, lp);
}

class RequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_served = Served{};
        WNDCLASSA wc{};
        wc.lpfnWndProc = RequestWndProc;
        wc.lpszClassName = "QWTestRequestWnd";
        RegisterClassA(&wc);
        hwnd_ = CreateWindowA("QWTestRequestWnd", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              nullptr, nullptr);
        ASSERT_NE(hwnd_, nullptr);
    }
    void TearDown() override { DestroyWindow(hwnd_); }
    HWND hwnd_ = nullptr;
};

class Requester : public CZQThreadExec {
public:
    HWND target = nullptr;
    int record = 0;
    DWORD result = 0;

protected:
    unsigned Body() override {
        CZQThread request(nullptr, target, kRequestMsg, &record, 42);
        result = request.result();
        return 0;
    }
};

TEST_F(RequestTest, AWorkerRequestIsCarriedByItsOwnThreadObjectAndServed) {
    Requester w;
    w.target = hwnd_;
    w.Resume();
    HANDLE h = w.GetWinThread()->handle();
    ASSERT_TRUE(qwtest::PumpUntil([&] { return g_served.calls > 0; }));
    ASSERT_EQ(WaitForSingleObject(h, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(w.result, WAIT_OBJECT_0);
    EXPECT_EQ(w.record, 42);
    EXPECT_EQ(g_served.calls, 1);
    EXPECT_EQ(g_served.last_sender, static_cast<CZQThread*>(&w));
    EXPECT_EQ(w.GetRequest(), nullptr);
}

TEST_F(RequestTest, ATimedOutRequestIsNeverCarriedOutAndALateSignalEndsNoWait) {
    CZQThread carrier;  // used from a plain thread without one of its own
    auto request = [&](int* record, LPARAM value, DWORD timeout) {
        DWORD r = 0;
        std::thread t([&] { r = carrier.Request(hwnd_, kRequestMsg, record, value, timeout); });
        if (timeout == INFINITE || timeout > 1000) {
            EXPECT_TRUE(qwtest::PumpUntil([&] { return g_served.calls > 0; }));
        }
        t.join();
        return r;
    };
    auto first = std::make_unique<int>(0);
    EXPECT_EQ(request(first.get(), 1, 100), static_cast<DWORD>(WAIT_TIMEOUT));
    first.reset();  // the record is gone once the requester gave up
    qwtest::PumpPending();
    EXPECT_EQ(g_served.calls, 0);

    carrier.SetDoneEvent();  // a stray signal from an earlier service
    int second = 0;
    EXPECT_EQ(request(&second, 2, 100), static_cast<DWORD>(WAIT_TIMEOUT));
    qwtest::PumpPending();
    EXPECT_EQ(g_served.calls, 0);
    EXPECT_EQ(second, 0);

    int third = 0;
    EXPECT_EQ(request(&third, 3, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(g_served.calls, 1);
    EXPECT_EQ(third, 3);
    EXPECT_EQ(carrier.GetRequest(), nullptr);
}

} // namespace
#endif // _WIN32
