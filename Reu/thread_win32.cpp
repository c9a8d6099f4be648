#include "Reu/thread.h"

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <type_traits>
#include <unordered_map>

#include "framework/fwthread.h"
#include "opsys/msgout.h"

static_assert(std::is_same_v<CRITICAL_SECTION, _RTL_CRITICAL_SECTION> &&
                  std::is_same_v<HWND, HWND__*> && std::is_same_v<UINT, unsigned> &&
                  std::is_same_v<DWORD, unsigned long> && std::is_same_v<HANDLE, void*> &&
                  sizeof(LPARAM) == sizeof(std::intptr_t) &&
                  CZQThreadExec::kNormalPriority == THREAD_PRIORITY_NORMAL,
              "the header's plain types must stay the system's");

namespace {

// Which CZQThread belongs to which framework thread, and which CZQThreads
// wait for a request right now (and whether it is being served). One lock
// for both; it is never held while a request runs or a thread is waited for.
enum class RequestState { kPending, kServing };

struct Registry {
    std::mutex lock;
    std::unordered_map<const fw::Thread*, CZQThread*> bound;
    std::unordered_map<const void*, RequestState> waiting;
};

Registry& registry() {
    static Registry r;
    return r;
}

// WM_QUIT taken by a pump that is not the thread's own loop is posted again,
// so that the loop still ends.
bool PumpQueued(bool* saw_quit) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            *saw_quit = true;
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        fw::Thread* t = fw::Thread::Current();
        if (t && t->PreTranslateMessage(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

// RAII for a duplicated thread handle.
struct OwnedHandle {
    HANDLE h;
    explicit OwnedHandle(HANDLE handle) : h(handle) {}
    ~OwnedHandle() {
        if (h) CloseHandle(h);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
};

} // namespace

// ---- CZQThread ----

CZQThread::CZQThread()
    : event_(CreateEventA(nullptr, FALSE, FALSE, nullptr)), result_(WAIT_FAILED) {}

CZQThread::CZQThread(CRITICAL_SECTION* lock, HWND window, UINT message, void* data,
                     std::intptr_t lparam)
    : CZQThread() {
    if (lock) EnterCriticalSection(lock);
    CZQThread* carrier = FromCurrentThread();
    if (!carrier) {
        // Bound for the request only; not registered as the thread's own.
        win_thread_ = fw::Thread::Current();
        carrier = this;
    }
    result_ = carrier->Request(window, message, data, lparam, 20000);
    if (lock) LeaveCriticalSection(lock);
}

CZQThread::~CZQThread() {
    if (win_thread_) {
        Registry& r = registry();
        std::lock_guard<std::mutex> g(r.lock);
        auto it = r.bound.find(win_thread_);
        if (it != r.bound.end() && it->second == this) r.bound.erase(it);
    }
    if (event_) CloseHandle(event_);
}

DWORD CZQThread::Request(HWND window, UINT message, void* data, std::intptr_t lparam,
                         DWORD timeout_ms) {
    if (!event_) return WAIT_FAILED;
    Registry& r = registry();
    // A signal left over from an earlier request must not end this wait.
    ResetEvent(event_);
    request_ = data;
    {
        std::lock_guard<std::mutex> g(r.lock);
        r.waiting[this] = RequestState::kPending;
    }
    if (!PostMessageA(window, message, reinterpret_cast<WPARAM>(this), lparam)) {
        std::lock_guard<std::mutex> g(r.lock);
        r.waiting.erase(this);
        request_ = nullptr;
        return WAIT_FAILED;
    }
    DWORD res = timeout_ms == INFINITE ? PumpUntilSignalled() : WaitForSingleObject(event_, timeout_ms);
    bool being_served = false;
    {
        std::lock_guard<std::mutex> g(r.lock);
        auto it = r.waiting.find(this);
        if (it != r.waiting.end()) {
            if (it->second == RequestState::kServing) being_served = true;
            else r.waiting.erase(it);  // given up: the receiver will skip it
        }
    }
    // Once the receiver has taken the record it writes into it; the record
    // must outlive that, so wait for the end of the service.
    if (being_served) {
        WaitForSingleObject(event_, INFINITE);
        res = WAIT_OBJECT_0;
    }
    request_ = nullptr;
    return res;
}

bool CZQThread::ServeRequest(const void* sender,
                             const std::function<void(CZQThread& thread, void* data)>& fn) {
    Registry& r = registry();
    {
        std::lock_guard<std::mutex> g(r.lock);
        auto it = r.waiting.find(sender);
        if (it == r.waiting.end() || it->second != RequestState::kPending) return false;
        it->second = RequestState::kServing;
    }
    // The sender waits until the end is signalled, so it stays alive.
    auto* thread = static_cast<CZQThread*>(const_cast<void*>(sender));
    struct Finish {
        Registry& r;
        CZQThread* t;
        ~Finish() {
            {
                std::lock_guard<std::mutex> g(r.lock);
                r.waiting.erase(t);
            }
            t->SetDoneEvent();
        }
    } finish{r, thread};
    fn(*thread, thread->request_);
    return true;
}

DWORD CZQThread::Wait(DWORD timeout_ms) {
    return WaitForSingleObject(event_, timeout_ms);
}

DWORD CZQThread::PumpUntilSignalled() {
    for (;;) {
        DWORD res = MsgWaitForMultipleObjects(1, &event_, FALSE, INFINITE, QS_ALLINPUT);
        if (res == WAIT_OBJECT_0) return 0;
        if (res != WAIT_OBJECT_0 + 1) return res;
        bool quit = false;
        PumpQueued(&quit);
        if (quit) {
            res = WaitForSingleObject(event_, 0);
            return res == WAIT_OBJECT_0 ? 0 : res;
        }
    }
}

int CZQThread::PumpMessages() {
    bool quit = false;
    PumpQueued(&quit);
    return quit ? 0 : 1;
}

void CZQThread::SetDoneEvent() {
    if (event_) SetEvent(event_);
}

void CZQThread::SetWinThread(fw::Thread* thread) {
    Registry& r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    if (win_thread_) {
        auto it = r.bound.find(win_thread_);
        if (it != r.bound.end() && it->second == this) r.bound.erase(it);
    }
    win_thread_ = thread;
    if (thread) r.bound[thread] = this;
}

CZQThread* CZQThread::FromWinThread(const fw::Thread* thread) {
    if (!thread) return nullptr;
    Registry& r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    auto it = r.bound.find(thread);
    return it == r.bound.end() ? nullptr : it->second;
}

CZQThread* CZQThread::FromCurrentThread() {
    return FromWinThread(fw::Thread::Current());
}

// ---- CZQThreadExec ----

CZQThreadExec::CZQThreadExec(int priority, unsigned stack_size) {
    auto* t = new fw::Thread(&CZQThreadExec::ThreadProc, this);
    // The owner waits for the thread and then deletes this object (and with
    // it the thread object): the handle stays valid until then.
    t->set_auto_delete(false);
    if (!t->CreateThread(CREATE_SUSPENDED, stack_size)) {
        delete t;
        return;
    }
    t->SetPriority(priority);
    own_thread_ = t;
    SetWinThread(t);
}

CZQThreadExec::~CZQThreadExec() {
    if (!own_thread_) return;
    // A thread that was never resumed has run none of our code; end it so it
    // does not hold this object.
    if (!resumed_) {
        TerminateThread(own_thread_->handle(), 0);
        WaitForSingleObject(own_thread_->handle(), 5000);
    }
    SetWinThread(nullptr);
    delete own_thread_;
}

DWORD CZQThreadExec::Resume() {
    if (!own_thread_) return static_cast<DWORD>(-1);
    resumed_ = true;
    return own_thread_->Resume();
}

unsigned CZQThreadExec::ThreadProc(void* param) {
    auto* self = static_cast<CZQThreadExec*>(param);
    return self ? self->Body() : 0;
}

// ---- stop test and closing ----

int CurrentThreadState(int test_break) {
    if (test_break && (GetAsyncKeyState(VK_CANCEL) & 0x8000)) return 1;
    if (IsAppThread()) return 0;
    CZQThread* t = CZQThread::FromCurrentThread();
    return t ? t->GetState() : 4;
}

void CWinThreadClose(fw::Thread* thread, bool for_good) {
    if (!thread) return;
    static std::mutex serial;
    std::lock_guard<std::mutex> g(serial);

    // Our own handle: the thread object may delete itself (closing its
    // handle) the moment the thread ends.
    OwnedHandle h(thread->DuplicateHandle());
    if (!h.h) return;
    if (WaitForSingleObject(h.h, 0) != WAIT_TIMEOUT) return;
    if (CZQThread* zq = CZQThread::FromWinThread(thread))
        zq->SetState(for_good ? CZQThread::kStopForGood : CZQThread::kStop);
    thread = nullptr;  // may be gone from here on

    bool quit = false;
    ULONGLONG start = GetTickCount64();
    for (;;) {
        ULONGLONG spent = GetTickCount64() - start;
        if (spent >= 7000) break;
        DWORD res = quit ? WaitForSingleObject(h.h, static_cast<DWORD>(7000 - spent))
                         : MsgWaitForMultipleObjects(1, &h.h, FALSE,
                                                     static_cast<DWORD>(7000 - spent),
                                                     QS_ALLINPUT);
        if (res == WAIT_OBJECT_0) return;
        if (res == WAIT_OBJECT_0 + 1 && !quit) {
            PumpQueued(&quit);
            continue;
        }
        if (res != WAIT_TIMEOUT) break;
    }
    if (WaitForSingleObject(h.h, 4000) == WAIT_TIMEOUT) {
        TerminateThread(h.h, static_cast<DWORD>(-1));
        WaitForSingleObject(h.h, 4000);
        // The line names the module as it always has, whatever this file
        // is called now: readers of the log look for it by that name.
        MsgOut(QW_MSG_LOG, "thread.cppIn CWinThreadClose() WaitForSingleObject() failed. "
                           "TerminateThread() was called.");
    }
}
