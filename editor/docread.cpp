// The document read thread and the views' notification.
#include "editor/docread.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "editor/qwdoc.h"
#include "framework/fwview.h"
#include "opsys/shell_outlets.h"
#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"

namespace {

enum : uint32_t { kBlockLines = 1000 };

HANDLE g_thread = nullptr;
std::atomic<int> g_quit{0}, g_pause{0}, g_released{0};
// Guards every document's list of view windows.
std::mutex g_view_windows_lock;

// The documents with partly read buffers, found under the engine's lock.
int collect_unfinished(VMB* b, void* out, void*) {
    if (!vmb_in_use(b) || vm_is_fully_read(b) || !b->stream) return 0;
    auto* doc = static_cast<CQWDoc*>(vmb_get_client_data(b));
    if (doc && doc->GetBuffer() == b) static_cast<std::vector<VMB*>*>(out)->push_back(b);
    return 0;
}

// One block of every partly read document; the number still unfinished,
// or -1 when the pass was abandoned or the thread must end.
int read_pass() {
    g_released = 0;
    std::vector<VMB*> buffers;
    vms_for_each_buffer(collect_unfinished, &buffers, nullptr);
    int unfinished = 0;
    for (VMB* b : buffers) {
        if (g_released || g_quit) return -1;
        if (g_pause) {
            do {
                g_pause = 0;
                Sleep(500);
            } while (g_pause && !g_quit);
            if (g_quit) return -1;
        }
        vm_lock(1);
        // A closed document's buffer slot may be free or reused by now.
        auto* doc = vmb_in_use(b) ? static_cast<CQWDoc*>(vmb_get_client_data(b)) : nullptr;
        if (g_released || !doc || doc->GetBuffer() != b) {
            vm_lock(0);
            return -1;
        }
        if (!vm_is_fully_read(b) && b->stream) {
            vm_read_lines(b, b->line_count + kBlockLines);
            if (!vm_is_fully_read(b)) ++unfinished;
            if (!doc->IsHidden()) doc->PostToViews(nullptr, DOC_HINT_MORE_LINES);
        }
        vm_lock(0);
    }
    return unfinished;
}

DWORD WINAPI DocRead_Threadfunc(void*) {
    HANDLE wake = static_cast<HANDLE>(GetDocReadEvent());
    for (;;) {
        WaitForSingleObject(wake, INFINITE);
        if (g_quit) return 0;
        g_pause = 0;
        while (read_pass() != 0) {
            if (g_quit) return 0;
        }
        if (g_quit) return 0;
    }
}

}  // namespace

int StartDocReadThread(int op) {
    if (op == 1) {
        if (!g_thread) {
            g_quit = 0;
            vm_set_eof_notice(PostBufferUpdateToViews);
            g_thread = CreateThread(nullptr, 0, DocRead_Threadfunc, nullptr, 0, nullptr);
            if (g_thread) SetThreadPriority(g_thread, THREAD_PRIORITY_BELOW_NORMAL);
        }
    } else if (op == 0) {
        if (g_thread) {
            g_quit = 1;
            SetEvent(static_cast<HANDLE>(GetDocReadEvent()));
            if (WaitForSingleObject(g_thread, 2000) != WAIT_OBJECT_0) TerminateThread(g_thread, 1);
            CloseHandle(g_thread);
            g_thread = nullptr;
            vm_set_eof_notice(nullptr);
        }
    } else if (op == -1) {
        if (!g_quit) g_pause = 1;
    }
    return g_thread ? 1 : 0;
}

void PostBufferUpdateToViews(VMB* buffer) {
    if (!vmb_in_use(buffer)) return;
    auto* doc = static_cast<CQWDoc*>(vmb_get_client_data(buffer));
    if (doc && doc->GetBuffer() == buffer && !doc->IsHidden()) doc->PostToViews(nullptr, DOC_HINT_MORE_LINES);
}

void NoteDocBufferReleased() { g_released = 1; }

// ---- CQWDoc's view notification ------------------------------------------------

void CQWDoc::RefreshViewWindows() {
    std::vector<void*> windows;
    for (fw::View* v : views())
        if (v->hwnd() && !(DocViewFlags(v) & 0x1)) windows.push_back(v->hwnd());
    std::lock_guard<std::mutex> hold(g_view_windows_lock);
    m_ViewWindows.swap(windows);
}

void CQWDoc::OnChangedViewList() {
    RefreshViewWindows();
    fw::Document::OnChangedViewList();  // may close and delete the document
}

void CQWDoc::PostToViews(fw::View* except, int hint) {
    if (m_Hidden) return;
    // Off the UI thread the view objects may change under us: only the
    // window handles kept by the UI thread are used, and a handle whose
    // window went simply refuses the message.
    if (IsAppThread()) RefreshViewWindows();
    void* skip = except ? except->hwnd() : nullptr;
    std::lock_guard<std::mutex> hold(g_view_windows_lock);
    for (void* w : m_ViewWindows)
        if (w != skip) PostMessageA(static_cast<HWND>(w), WM_QW_VIEW_DEFERRED, 1, hint);
}

void CQWDoc::UpdateViewsExcept(fw::View* sender, int hint, fw::Object* object) {
    if (m_Hidden || !IsAppThread()) return;
    // OnUpdate may close views: walk a copy, skipping those gone since.
    std::vector<fw::View*> list = views();
    for (fw::View* v : list) {
        const auto& now = views();
        if (v == sender || std::find(now.begin(), now.end(), v) == now.end() || (DocViewFlags(v) & 0x1)) continue;
        v->OnUpdate(sender, hint, object);
    }
}
