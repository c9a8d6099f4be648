// File-information queries and disk-state updates on the application's pool.
#include "editor/fileinfo.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "editor/qwdoc.h"
#include "opsys/paths.h"
#include "Reu/threadpool.h"
#include "VmEngine/vm.h"

namespace {

struct InfoEntry {
    DocDiskState state;
    std::string true_case;
    int exists = 0;
    bool done = false;
};

std::mutex g_map_lock;
std::map<std::string, InfoEntry> g_map;

// Requests handed to the pool and not yet finished; the event is set while
// there are none.
std::atomic<int> g_in_flight{0};
HANDLE idle_event() {
    static HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    return event;
}
void request_started() {
    if (g_in_flight.fetch_add(1) == 0) ResetEvent(idle_event());
}
void request_finished() {
    if (g_in_flight.fetch_sub(1) == 1) SetEvent(idle_event());
}

// Hands a request to the pool; a pool that does not run drops it.
bool queue(ThreadRequest* request) {
    request_started();
    try {
        GetAppThreadPool()->AddRequest(request);
        return true;
    } catch (const ThreadPoolShutdownException&) {
        delete request;
        return false;
    }
}

class Counted : public ThreadRequest {
public:
    ~Counted() override { request_finished(); }
};

class CFile_InfoT : public Counted {
public:
    explicit CFile_InfoT(std::string name) : name_(std::move(name)) {}
    void Execute(DWORD) override {
        InfoEntry answer;
        answer.exists = ReadDiskState(name_.c_str(), &answer.state, &answer.true_case);
        std::lock_guard<std::mutex> hold(g_map_lock);
        auto it = g_map.find(name_);
        if (it == g_map.end()) return;  // dropped meanwhile
        answer.done = true;
        it->second = answer;
    }

private:
    std::string name_;
};

class CUpdateDocInfo : public Counted {
public:
    CUpdateDocInfo(VMB* buffer, std::string name) : buffer_(buffer), name_(std::move(name)) {}
    void Execute(DWORD) override {
        DocDiskState state;
        std::string true_case;
        int found = ReadDiskState(name_.c_str(), &state, &true_case);
        vm_lock(1);
        // Under the lock a buffer still in use names its owning document,
        // which cannot go before it has let go of the buffer.
        if (vmb_in_use(buffer_)) {
            auto* doc = static_cast<CQWDoc*>(vmb_get_client_data(buffer_));
            const char* now = vmb_get_name(buffer_, nullptr);
            if (doc && doc->GetBuffer() == buffer_ && now && name_ == now) {
                if (found) doc->SetDiskState(state);
                else doc->DiskStateRecord(0);
            }
        }
        vm_lock(0);
    }

private:
    VMB* buffer_;
    std::string name_;
};

}  // namespace

int ReadDiskState(const char* path, DocDiskState* state, std::string* true_case) {
    if (!path || !*path) return 0;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path, &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    FindClose(find);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    if (state) {
        state->size = data.nFileSizeLow;
        state->time_low = data.ftLastWriteTime.dwLowDateTime;
        state->time_high = data.ftLastWriteTime.dwHighDateTime;
        state->extra = data.nFileSizeHigh;
    }
    if (true_case) {
        const char* file = PathFileName(path);
        *true_case = std::string(path, static_cast<size_t>(file - path)) + data.cFileName;
    }
    return 1;
}

ThreadPool* GetAppThreadPool() {
    static ThreadPool pool(20, 100);
    return &pool;
}

int RunThreadPool(int op) {
    if (op == 1) return GetAppThreadPool()->Start() > 0 ? 1 : 0;
    GetAppThreadPool()->Stop();
    return 1;
}

int GetFileInfoAsync(const char* name, DocDiskState* state, std::string* true_case, int* exists) {
    if (!name) return 0;
    std::string key(name);
    bool ask = false;
    {
        std::lock_guard<std::mutex> hold(g_map_lock);
        auto it = g_map.find(key);
        if (it == g_map.end()) {
            g_map.emplace(key, InfoEntry{});
            ask = true;
        } else if (it->second.done) {
            if (state) *state = it->second.state;
            if (true_case) *true_case = it->second.true_case;
            if (exists) *exists = it->second.exists;
            g_map.erase(it);
            return 1;
        }
    }
    if (ask && !queue(new CFile_InfoT(key))) RemoveFileInfo(name);
    return 0;
}

void RemoveFileInfo(const char* name) {
    if (!name) return;
    std::lock_guard<std::mutex> hold(g_map_lock);
    g_map.erase(name);
}

void ClearFileInfoMap() {
    std::lock_guard<std::mutex> hold(g_map_lock);
    g_map.clear();
}

void QueueDocInfoUpdate(CQWDoc* doc) {
    if (!doc || !doc->IsNamedFile()) return;
    queue(new CUpdateDocInfo(doc->GetBuffer(), doc->GetBufferName()));
}

int WaitFileInfoIdle(unsigned timeout_ms) {
    return WaitForSingleObject(idle_event(), timeout_ms) == WAIT_OBJECT_0 ? 1 : 0;
}
