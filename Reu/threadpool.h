#pragma once
// A fixed pool of native worker threads fed from a bounded first-in,
// first-out queue of work items. The application runs one pool of 20
// workers with room for 100 queued requests.
#include <atomic>
#include <deque>
#include <stdexcept>
#include <vector>

// The system's critical section (CRITICAL_SECTION), kept in place below.
struct _RTL_CRITICAL_SECTION;

// A work item. The pool owns it from AddRequest until it has run, and
// deletes it then (also when Execute throws).
class ThreadRequest {
public:
    virtual ~ThreadRequest() = default;
    // Runs on a pool worker; thread_id is that worker's thread id (a DWORD).
    virtual void Execute(unsigned long thread_id) = 0;
};

// AddRequest on a pool that is not started (or stopped).
class ThreadPoolShutdownException : public std::runtime_error {
public:
    ThreadPoolShutdownException() : std::runtime_error("thread pool is not running") {}
};

class ThreadPool {
public:
    // Throws std::runtime_error when its semaphore or event cannot be made.
    ThreadPool(int worker_count, int max_queued);
    // Stops a pool that still runs, then frees everything.
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Creates and resumes the workers (once; again after Stop). Returns the
    // number of workers running.
    int Start();
    // Queues a request; waits while the queue is full. Throws
    // ThreadPoolShutdownException (the request not taken) when the pool does
    // not run.
    void AddRequest(ThreadRequest* request);
    // Lets every worker finish what was queued before, then ends it; a
    // worker that has not ended after 10000 ms is terminated (exit code 1).
    void Stop();

    bool Started() const { return started_; }
    int QueuedCount();

private:
    struct WorkerRecord;
    // The workers' thread procedure (DWORD WINAPI).
    static unsigned long __stdcall WorkerMain(void* record);
    _RTL_CRITICAL_SECTION* lock();
    // Appends under the lock; with check_started, refuses (false) when the
    // pool does not run.
    bool Enqueue(ThreadRequest* request, bool check_started);

    std::atomic<bool> started_{false};
    int worker_count_;
    int max_queued_;
    std::vector<void*> workers_;   // thread handles
    std::deque<ThreadRequest*> queue_;
    void* semaphore_ = nullptr;    // counts queued requests
    void* room_ = nullptr;         // event, manual reset; set while the queue has room
    // The critical section guarding queue_, in place: every request takes it,
    // so it costs no allocation or indirection. Its size (that of the six
    // pointer and LONG fields) is checked against the real type.
    alignas(void*) unsigned char lock_[4 * sizeof(void*) + 2 * sizeof(long)];
};
