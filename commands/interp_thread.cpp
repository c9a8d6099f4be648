// Programs on worker threads.
#include "commands/interp_thread.h"

#include <cstring>
#include <mutex>
#include <thread>

#include "commands/cmdtable.h"
#include "commands/interp.h"
#include "opsys/msgout.h"
#include "opsys/shell_outlets.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
std::mutex g_output_mutex;
InterpOutputHooks g_output;
std::mutex g_request_mutex; // one request at a time through the checks and the start
} // namespace

void Interp_SetOutputHooks(const InterpOutputHooks* hooks) {
    std::lock_guard<std::mutex> lk(g_output_mutex);
    g_output = hooks ? *hooks : InterpOutputHooks();
}

static InterpOutputHooks output_hooks() {
    std::lock_guard<std::mutex> lk(g_output_mutex);
    return g_output;
}

size_t Interp_RecordSize(const void* record) {
    switch (Interp_RecordClass(record)) {
    case IC_CMD_PARAMS: return sizeof(K_cmd_params);
    default: return 0;
    }
}

bool Interp_CopyRecord(const void* record, std::vector<unsigned char>& out) {
    size_t n = Interp_RecordSize(record);
    if (!n)
        return false;
    const auto* src = static_cast<const K_cmd_params*>(record);
    // The parameter text belongs to the caller and may be gone before the
    // worker reads it: it travels behind the record, which points to it.
    std::string text = src->text ? src->text : "";
    out.resize(n + text.size() + 1);
    std::memcpy(out.data(), record, n);
    std::memcpy(out.data() + n, text.c_str(), text.size() + 1);
    auto* copy = reinterpret_cast<K_cmd_params*>(out.data());
    copy->text = src->text ? reinterpret_cast<const char*>(out.data() + n) : nullptr;
    copy->seq = nullptr; // the caller's key sequence is not the worker's
    copy->seq_cursor = nullptr;
    return true;
}

void CInterpCallParams::Work(std::promise<int> done) {
#ifdef _WIN32
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#endif
    InterpOutputHooks h = output_hooks();
    void* on = view;
    if (output_view) {
        if (h.own_tab)
            h.own_tab(output_tab, 1);
        on = output_view;
    }
    int r = CExe_ExecuteByName(title.c_str(), flag, id, arg, on, record.empty() ? nullptr : record.data());
    if (output_view && h.own_tab)
        h.own_tab(output_tab, 0);
    done.set_value(r);
    delete this;
}

std::shared_future<int> CInterpCallParams::Start() {
    void* rec = record.empty() ? nullptr : record.data();
    if (CExe_ExecuteByName(title.c_str(), flag | CEXE_LOAD_ONLY, id, arg, view, rec) == -1) {
        InterpOutputHooks h = output_hooks();
        if (output_view && h.own_tab)
            h.own_tab(output_tab, 0);
        return std::shared_future<int>();
    }
    std::promise<int> done;
    std::shared_future<int> result = done.get_future().share();
    std::thread(&CInterpCallParams::Work, this, std::move(done)).detach();
    return result;
}

std::shared_future<int> CExe_k_cmd_ExecuteInThread(const char* title, int flag, int id, int arg, void* view,
                                                   const void* record, int output_tab) {
    std::lock_guard<std::mutex> lk(g_request_mutex);
    InterpOutputHooks h = output_hooks();
    void* tab_view = nullptr;
    if (output_tab != -1) {
        int tabs = h.tab_count ? h.tab_count() : 0;
        if (output_tab < 0 || output_tab >= tabs) {
            MsgOut(QW_MSG_BOX | QW_MSG_LOG, "In CExe_k_cmd_ExecuteInThread( nOutputTab: %d ) is invalid.",
                   output_tab);
            return std::shared_future<int>();
        }
        char path[300] = "";
        if (h.tab_busy && h.tab_busy(output_tab, path, sizeof path)) {
            MsgOut(QW_MSG_STATUS_HOLD, "Output View: %s is currently in use.%b", path);
            return std::shared_future<int>();
        }
        tab_view = h.open_tab ? h.open_tab(output_tab) : nullptr;
        if (!tab_view) {
            MsgOut(QW_MSG_BOX | QW_MSG_LOG, "KV: In CExe_k_cmd_ExecuteInThread( nOutputTab: %d ) OV_OPEN failed.",
                   output_tab);
            return std::shared_future<int>();
        }
    }
    auto* req = new CInterpCallParams();
    req->title = title ? title : "";
    req->flag = flag;
    req->id = id;
    req->arg = arg;
    req->view = view;
    if (record && !Interp_CopyRecord(record, req->record))
        MsgOut(QW_MSG_LOG, "KV: In CExe_k_cmd_ExecuteInThread() a record of unknown kind is not passed on");
    req->output_tab = output_tab;
    req->output_view = tab_view;
    std::shared_future<int> started;
    if (IsAppThread() || !h.run_on_ui) {
        started = req->Start();
    } else if (!h.run_on_ui([&] { started = req->Start(); })) {
        started = std::shared_future<int>();
    }
    if (!started.valid())
        delete req;
    return started;
}
