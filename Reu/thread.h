#pragma once
// Worker threads with a stop request, and requests that a worker hands to
// the user-interface thread and waits for.
//
// A CZQThread belongs to one framework thread. Worker bodies poll
// CurrentThreadState() and stop when it is not 0; the owner ends a thread
// with CWinThreadClose, which asks it to stop, waits while pumping messages
// and terminates it only after the time-outs.
//
// Cross-thread request: the worker stores the address of a request record in
// its CZQThread, posts a user message (wParam = the CZQThread) to a window of
// the UI thread and waits on the CZQThread's event. The window serves it with
// CZQThread::ServeRequest, which hands out the record only while the worker
// still waits; a request given up after its time-out is skipped, so the UI
// thread never writes into a record that is gone, and a late signal never
// satisfies a later wait.
#include <atomic>
#include <cstdint>
#include <functional>

namespace fw {
class Thread;
}

// The system's types in their plain spelling, so that this header does not
// need <windows.h>: CRITICAL_SECTION is _RTL_CRITICAL_SECTION, HWND is
// HWND__*, UINT unsigned, LPARAM pointer-sized, DWORD unsigned long (wait
// results and time-outs: WAIT_OBJECT_0, WAIT_TIMEOUT, INFINITE, ...).
struct _RTL_CRITICAL_SECTION;
struct HWND__;

class CZQThread {
public:
    // Stop states.
    enum : int {
        kRunning = 0,
        kStop = 2,        // asked to stop
        kStopForGood = 3, // asked to stop for good
    };

    CZQThread();
    // The cross-thread request: under `lock` (may be null), posts
    // (message, CZQThread, lparam) to `window` with `data` as the request
    // record and waits up to 20000 ms for it to be served. The CZQThread of
    // the calling thread carries it; on a thread without one this object
    // does, bound to the calling framework thread. result() tells how it went.
    CZQThread(_RTL_CRITICAL_SECTION* lock, HWND__* window, unsigned message, void* data,
              std::intptr_t lparam);
    virtual ~CZQThread();
    CZQThread(const CZQThread&) = delete;
    CZQThread& operator=(const CZQThread&) = delete;

    // Posts a request as above (without a lock) and waits up to timeout_ms;
    // INFINITE pumps this thread's messages while it waits. WAIT_OBJECT_0
    // once served, WAIT_TIMEOUT when given up (the request is then never
    // carried out), WAIT_FAILED when it could not be posted.
    unsigned long Request(HWND__* window, unsigned message, void* data, std::intptr_t lparam,
                          unsigned long timeout_ms);
    // The wait result of the cross-thread request constructor.
    unsigned long result() const { return result_; }

    // Serving side, on the thread that owns the window: when the CZQThread
    // at `sender` (the message's wParam) still waits for its request, calls
    // fn(thread, record) and signals it; false (nothing called) otherwise.
    // `sender` is never dereferenced unless it is a waiting CZQThread.
    static bool ServeRequest(const void* sender,
                             const std::function<void(CZQThread& thread, void* data)>& fn);

    unsigned long Wait(unsigned long timeout_ms);
    // Pumps the thread's messages until the event is signalled: 0 once
    // signalled, else the wait result after a failure or when the pump saw
    // WM_QUIT (which is posted again for the thread's own loop).
    unsigned long PumpUntilSignalled();
    // Dispatches the queued messages of the calling thread; 0 after WM_QUIT
    // (posted again), else 1.
    int PumpMessages();
    void SetDoneEvent();

    void* GetRequest() const { return request_; }
    void SetState(int state) { state_.store(state); }
    int GetState() const { return state_.load(); }
    // Binds this object to the framework thread that runs it (null unbinds);
    // the thread then finds it through FromWinThread.
    void SetWinThread(fw::Thread* thread);
    fw::Thread* GetWinThread() const { return win_thread_; }

    // The CZQThread bound to a framework thread / to the calling thread; null
    // when there is none.
    static CZQThread* FromWinThread(const fw::Thread* thread);
    static CZQThread* FromCurrentThread();

private:
    void* request_ = nullptr;
    void* event_ = nullptr;  // HANDLE
    fw::Thread* win_thread_ = nullptr;
    std::atomic<int> state_{kRunning};
    unsigned long result_;   // WAIT_FAILED until a request has run (set in the .cpp)
};

// A CZQThread with a framework worker thread of its own that runs Body().
// The thread starts suspended; Resume starts the body. The owner closes the
// thread (CWinThreadClose) before it deletes this object.
class CZQThreadExec : public CZQThread {
public:
    static constexpr int kNormalPriority = 0;  // THREAD_PRIORITY_NORMAL
    explicit CZQThreadExec(int priority = kNormalPriority, unsigned stack_size = 0);
    ~CZQThreadExec() override;

    unsigned long Resume();
    // True when the thread was created.
    bool Started() const { return GetWinThread() != nullptr; }

protected:
    // The thread body; its result is the thread's exit code.
    virtual unsigned Body() = 0;

private:
    static unsigned ThreadProc(void* param);
    fw::Thread* own_thread_ = nullptr;
    bool resumed_ = false;
};

// The stop test of worker bodies: 1 when test_break is set and Ctrl+Break is
// down; 0 on the application's main thread; 4 on a thread without a
// CZQThread; else that thread's state.
int CurrentThreadState(int test_break = 0);

// Closes a framework thread: asks its CZQThread to stop (for good or not),
// pumps the calling thread's messages for up to 7 seconds while waiting for
// the thread to end, waits 4 seconds more and then terminates it (exit code
// -1) with a line in the debug log. Calls are serialised process-wide.
void CWinThreadClose(fw::Thread* thread, bool for_good);
