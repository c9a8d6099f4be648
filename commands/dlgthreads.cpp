// Modeless dialogs on threads of their own, their registry, and the requests
// that other threads post to open dialogs.
//
// The registry and the table of pending requests are each guarded by a lock;
// walks copy a snapshot under the lock and make their window calls after
// releasing it, so a dialog thread that is sending to the main thread can
// never wait on a lock that the main thread holds.
#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

#include "commands/dlgengine.h"

#include <commctrl.h>
#include "opsys/msgout.h"
#include "opsys/shell_outlets.h"

struct CUIThreads::Entry {
    DWORD thread_id = 0;
    HANDLE thread = nullptr;
    std::atomic<HWND> window{nullptr};
    int template_id = 0;
    std::atomic<bool> ending{false};
    QWDialog* dialog = nullptr;  // owned by the thread
    ~Entry() {
        if (thread) CloseHandle(thread);
    }
};

namespace {

std::mutex g_threads_lock;
std::vector<std::shared_ptr<CUIThreads::Entry>> g_threads;

// Requests posted and not yet carried out, and windows that take no more.
std::mutex g_requests_lock;
std::vector<std::pair<HWND, DlgControlRequest*>> g_pending;
std::vector<HWND> g_closed;

bool Live(const std::shared_ptr<CUIThreads::Entry>& e) {
    HWND w = e->window.load();
    return w && !e->ending.load() && IsWindow(w);
}

} // namespace

// Called by the host when its window starts and when it is destroyed.
void DlgRequestsOpen(HWND w) {
    std::lock_guard<std::mutex> lock(g_requests_lock);
    g_closed.erase(std::remove(g_closed.begin(), g_closed.end(), w), g_closed.end());
}

void DlgRequestsClose(HWND w) {
    std::vector<DlgControlRequest*> orphans;
    {
        std::lock_guard<std::mutex> lock(g_requests_lock);
        if (std::find(g_closed.begin(), g_closed.end(), w) == g_closed.end()) g_closed.push_back(w);
        for (auto it = g_pending.begin(); it != g_pending.end();) {
            if (it->first == w) {
                orphans.push_back(it->second);
                it = g_pending.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (DlgControlRequest* r : orphans) delete r;
}

bool DlgPostRequest(HWND dialog, DlgControlRequest* request) {
    if (!request) return false;
    {
        std::lock_guard<std::mutex> lock(g_requests_lock);
        if (!dialog || std::find(g_closed.begin(), g_closed.end(), dialog) != g_closed.end()) {
            delete request;
            return false;
        }
        g_pending.emplace_back(dialog, request);
    }
    if (::PostMessageA(dialog, UWM_DLG_REQUEST, reinterpret_cast<WPARAM>(request), 0)) return true;
    bool mine = false;
    {
        std::lock_guard<std::mutex> lock(g_requests_lock);
        auto it = std::find(g_pending.begin(), g_pending.end(), std::make_pair(dialog, request));
        if (it != g_pending.end()) {
            g_pending.erase(it);
            mine = true;
        }
    }
    if (mine) delete request;
    return false;
}

int DlgPendingRequests() {
    std::lock_guard<std::mutex> lock(g_requests_lock);
    return static_cast<int>(g_pending.size());
}

void Dialog_UI::HandleRequest(void* record) {
    auto* req = static_cast<DlgControlRequest*>(record);
    HWND dlg = hwnd();
    {
        // Only a request still in the table is ours to carry out and free.
        std::lock_guard<std::mutex> lock(g_requests_lock);
        auto it = std::find(g_pending.begin(), g_pending.end(), std::make_pair(dlg, req));
        if (it == g_pending.end()) return;
        g_pending.erase(it);
    }
    std::unique_ptr<DlgControlRequest> own(req);
    if (state() & (DLG_ST_CLOSING | DLG_ST_ENDING)) return;
    HWND item = GetDlgItem(dlg, req->control);
    switch (req->kind) {
    case 12:
        if (item) SetWindowTextA(item, req->text.c_str());
        break;
    case 7:
        if (item) SendMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
        break;
    case 1224:
        if (item) {
            SendMessageA(item, PBM_SETRANGE32, static_cast<WPARAM>(req->low), req->high);
            SendMessageA(item, PBM_SETPOS, static_cast<WPARAM>(req->pos), 0);
        }
        break;
    default: break;
    }
}

// ---- Registry -----------------------------------------------------------------------

CUIThreads& CUIThreads::Get() {
    static CUIThreads registry;
    return registry;
}

void CUIThreads::Add(const std::shared_ptr<Entry>& e) {
    std::lock_guard<std::mutex> lock(g_threads_lock);
    if (std::find(g_threads.begin(), g_threads.end(), e) == g_threads.end()) g_threads.push_back(e);
}

void CUIThreads::Remove(const std::shared_ptr<Entry>& e) {
    std::lock_guard<std::mutex> lock(g_threads_lock);
    g_threads.erase(std::remove(g_threads.begin(), g_threads.end(), e), g_threads.end());
}

std::vector<std::shared_ptr<CUIThreads::Entry>> CUIThreads::Snapshot() {
    std::lock_guard<std::mutex> lock(g_threads_lock);
    return g_threads;
}

int CUIThreads::Count() { return static_cast<int>(Snapshot().size()); }

bool CUIThreads::EndThreadOf(HWND window) {
    for (auto& e : Snapshot())
        if (e->window.load() == window) {
            e->ending = true;
            return true;
        }
    return false;
}

int CUIThreads::FindModelessDialog(int template_id, bool activate, HWND* out) {
    for (auto& e : Snapshot()) {
        if (e->template_id != template_id || !Live(e)) continue;
        HWND w = e->window.load();
        if (activate) SetForegroundWindow(w);
        if (out) *out = w;
        return 1;
    }
    if (out) *out = nullptr;
    return 0;
}

int CUIThreads::PostMessage(int template_id, UINT msg, WPARAM wp, LPARAM lp) {
    int n = 0;
    for (auto& e : Snapshot())
        if ((template_id == -1 || e->template_id == template_id) && Live(e) &&
            ::PostMessageA(e->window.load(), msg, wp, lp))
            ++n;
    return n;
}

bool CUIThreads::PostRequest(int template_id, DlgControlRequest* request) {
    HWND w = nullptr;
    if (!FindModelessDialog(template_id, false, &w)) {
        delete request;
        return false;
    }
    return DlgPostRequest(w, request);
}

void CUIThreads::CloseAll(HWND except) {
    for (auto& e : Snapshot()) {
        HWND w = e->window.load();
        if (w != except && Live(e)) ::PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
    }
}

void CUIThreads::ShowDialogs(bool show, DWORD except_thread) {
    for (auto& e : Snapshot()) {
        if (!Live(e)) continue;
        HWND w = e->window.load();
        if (!show && e->thread_id != except_thread) {
            SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        } else if (show && w != GetForegroundWindow()) {
            SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
}

bool CUIThreads::IsDialogOpen(DWORD thread_id) {
    for (auto& e : Snapshot())
        if (e->thread_id == thread_id && Live(e)) return true;
    return false;
}

int CUIThreads::GetDialogRects(const RECT& area, std::vector<RECT>* out) {
    int n = 0;
    for (auto& e : Snapshot()) {
        RECT r{}, x{};
        if (!Live(e) || !GetWindowRect(e->window.load(), &r) || !IntersectRect(&x, &r, &area)) continue;
        if (out) out->push_back(r);
        ++n;
    }
    return n;
}

bool CUIThreads::WaitAll(DWORD timeout_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        auto snap = Snapshot();
        if (snap.empty()) return true;
        DWORD spent = GetTickCount() - start;
        if (spent >= timeout_ms) return false;
        // Wait on the first thread; the rest follow on the next round.
        WaitForSingleObject(snap.front()->thread, timeout_ms - spent);
        if (WaitForSingleObject(snap.front()->thread, 0) == WAIT_OBJECT_0) Remove(snap.front());
    }
}

// ---- Dialog threads -------------------------------------------------------------------

namespace {

DWORD WINAPI DialogThreadMain(LPVOID p) {
    auto* holder = static_cast<std::shared_ptr<CUIThreads::Entry>*>(p);
    std::shared_ptr<CUIThreads::Entry> e = *holder;
    delete holder;
    QWDialog* dlg = e->dialog;
    dlg->DoModal();
    e->ending = true;
    e->window = nullptr;
    delete dlg;
    e->dialog = nullptr;
    CUIThreads::Get().Remove(e);
    QwShellOutlets o = QwGetShellOutlets();
    if (HWND main = o.main_window ? static_cast<HWND>(o.main_window()) : nullptr) SetForegroundWindow(main);
    return 0;
}

} // namespace

// Starts a modeless dialog on a thread of its own; the thread owns it.
bool DlgStartDialogThread(QWDialog* dialog, int template_id) {
    auto e = std::make_shared<CUIThreads::Entry>();
    e->dialog = dialog;
    e->template_id = template_id;
    dialog->modeless = true;
    auto* holder = new std::shared_ptr<CUIThreads::Entry>(e);
    CUIThreads::Get().Add(e);
    DWORD tid = 0;
    // Suspended, so that the entry knows its thread before the dialog runs.
    HANDLE h = CreateThread(nullptr, 0, DialogThreadMain, holder, CREATE_SUSPENDED, &tid);
    if (!h) {
        CUIThreads::Get().Remove(e);
        delete holder;
        return false;
    }
    e->thread = h;
    e->thread_id = tid;
    ResumeThread(h);
    return true;
}

// The host tells the registry its window once it exists.
void DlgThreadWindowCreated(HWND w) {
    DWORD tid = GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(g_threads_lock);
    for (auto& e : g_threads)
        if (e->thread_id == tid && !e->window.load()) e->window = w;
}
