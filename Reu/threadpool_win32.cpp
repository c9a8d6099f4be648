#include "Reu/threadpool.h"

#include <windows.h>

#include <memory>
#include <new>
#include <type_traits>

#include "opsys/msgout.h"

namespace {

// Ends the worker that takes it.
struct SuicideException {};

class StopRequest : public ThreadRequest {
public:
    void Execute(DWORD) override { throw SuicideException{}; }
};

} // namespace

static_assert(std::is_same_v<CRITICAL_SECTION, _RTL_CRITICAL_SECTION> &&
                  std::is_same_v<DWORD, unsigned long> && std::is_same_v<HANDLE, void*>,
              "the header's plain types must stay the system's");
struct ThreadPool::WorkerRecord {
    ThreadPool* pool;
    DWORD thread_id;
};

CRITICAL_SECTION* ThreadPool::lock() {
    static_assert(sizeof(lock_) == sizeof(CRITICAL_SECTION) &&
                      alignof(CRITICAL_SECTION) == alignof(void*),
                  "the lock's room must match the system's critical section");
    return std::launder(reinterpret_cast<CRITICAL_SECTION*>(lock_));
}

ThreadPool::ThreadPool(int worker_count, int max_queued)
    : worker_count_(worker_count > 0 ? worker_count : 1),
      max_queued_(max_queued > 0 ? max_queued : 1) {
    semaphore_ = CreateSemaphoreA(nullptr, 0, max_queued_, nullptr);
    room_ = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (!semaphore_ || !room_) {
        if (semaphore_) CloseHandle(semaphore_);
        if (room_) CloseHandle(room_);
        throw std::runtime_error("thread pool: cannot create its semaphore or event");
    }
    ::new (static_cast<void*>(lock_)) CRITICAL_SECTION;
    InitializeCriticalSection(lock());
}

ThreadPool::~ThreadPool() {
    if (started_ || !workers_.empty()) Stop();
    for (ThreadRequest* r : queue_) delete r;
    CloseHandle(room_);
    CloseHandle(semaphore_);
    DeleteCriticalSection(lock());
}

int ThreadPool::Start() {
    if (started_) return static_cast<int>(workers_.size());
    for (int i = 0; i < worker_count_; ++i) {
        auto rec = std::make_unique<WorkerRecord>(WorkerRecord{this, 0});
        HANDLE h = CreateThread(nullptr, 0, &ThreadPool::WorkerMain, rec.get(), CREATE_SUSPENDED,
                                &rec->thread_id);
        if (!h) continue;
        rec.release();  // the worker frees it
        workers_.push_back(h);
    }
    for (HANDLE h : workers_) ResumeThread(h);
    started_ = !workers_.empty();
    return static_cast<int>(workers_.size());
}

bool ThreadPool::Enqueue(ThreadRequest* request, bool check_started) {
    for (;;) {
        WaitForSingleObject(room_, INFINITE);
        EnterCriticalSection(lock());
        struct Leave {
            CRITICAL_SECTION* cs;
            ~Leave() { LeaveCriticalSection(cs); }
        } leave{lock()};
        if (check_started && !started_) return false;
        // Another producer may have filled the last slot since the event
        // was seen: queue only while there is room, so the semaphore never
        // passes its maximum and no request is stranded.
        if (static_cast<int>(queue_.size()) >= max_queued_) {
            ResetEvent(room_);
            continue;
        }
        queue_.push_back(request);
        if (static_cast<int>(queue_.size()) >= max_queued_) ResetEvent(room_);
        ReleaseSemaphore(semaphore_, 1, nullptr);
        return true;
    }
}

void ThreadPool::AddRequest(ThreadRequest* request) {
    if (!started_ || !Enqueue(request, true)) throw ThreadPoolShutdownException();
}

void ThreadPool::Stop() {
    // Cleared first: a request accepted before this point is queued ahead
    // of the stop requests, so it still runs.
    started_ = false;
    for (size_t i = 0; i < workers_.size(); ++i) Enqueue(new StopRequest, false);
    for (HANDLE h : workers_) {
        if (WaitForSingleObject(h, 10000) == WAIT_TIMEOUT) {
            TerminateThread(h, 1);
            WaitForSingleObject(h, 1000);
        }
        CloseHandle(h);
    }
    workers_.clear();
    // What terminated workers left behind (stop requests included).
    EnterCriticalSection(lock());
    std::deque<ThreadRequest*> left;
    left.swap(queue_);
    while (WaitForSingleObject(semaphore_, 0) == WAIT_OBJECT_0) {
    }
    SetEvent(room_);
    LeaveCriticalSection(lock());
    for (ThreadRequest* r : left) delete r;
}

int ThreadPool::QueuedCount() {
    EnterCriticalSection(lock());
    int n = static_cast<int>(queue_.size());
    LeaveCriticalSection(lock());
    return n;
}

DWORD WINAPI ThreadPool::WorkerMain(void* param) {
    std::unique_ptr<WorkerRecord> rec(static_cast<WorkerRecord*>(param));
    ThreadPool* pool = rec->pool;
    for (;;) {
        WaitForSingleObject(pool->semaphore_, INFINITE);
        EnterCriticalSection(pool->lock());
        if (pool->queue_.empty()) {
            LeaveCriticalSection(pool->lock());
            continue;
        }
        std::unique_ptr<ThreadRequest> request(pool->queue_.front());
        pool->queue_.pop_front();
        SetEvent(pool->room_);
        LeaveCriticalSection(pool->lock());
        try {
            request->Execute(rec->thread_id);
        } catch (const SuicideException&) {
            return 0;
        } catch (const std::exception& e) {
            // A failed work item must not take the worker (and the program)
            // with it.
            MsgOut(QW_MSG_LOG, "KV: In ThreadPool::WorkerMain() a request failed: %s", e.what());
        } catch (...) {
            MsgOut(QW_MSG_LOG, "KV: In ThreadPool::WorkerMain() a request failed.");
        }
    }
}
