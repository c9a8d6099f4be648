#pragma once
// A fixed pool of native worker threads fed from a bounded first-in,
// first-out queue of work items. The application runs one pool of 20
// workers with room for 100 queued requests.
#include <windows.h>

#include <atomic>
#include <deque>
#include <stdexcept>
#include <vector>

// A work item. The pool owns it from AddRequest until it has run, and
// deletes it then (also when Execute throws).
class ThreadRequest {
public:
    virtual ~ThreadRequest() = default;
    // Runs on a pool worker; thread_id is that worker's thread id.
    virtual void Execute(DWORD thread_id) = 0;
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
    static DWORD WINAPI WorkerMain(void* record);
    // Appends under the lock; with check_started, refuses (false) when the
    // pool does not run.
    bool Enqueue(ThreadRequest* request, bool check_started);

    std::atomic<bool> started_{false};
    int worker_count_;
    int max_queued_;
    std::vector<HANDLE> workers_;
    std::deque<ThreadRequest*> queue_;
    HANDLE semaphore_ = nullptr;   // counts queued requests
    CRITICAL_SECTION lock_;        // guards queue_
    HANDLE room_ = nullptr;        // manual reset; set while the queue has room
};
