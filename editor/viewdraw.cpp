// The view-drawing thread (see viewdraw.h).
#include "editor/viewdraw.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <exception>
#include <vector>

#include "VmEngine/vm.h"
#include "editor/drawhelper.h"
#include "editor/textview.h"
#include "framework/fwthread.h"
#include "opsys/shell_outlets.h"

namespace {

enum : int { kStopCode = 10 };

struct ViewDrawState {
    CRITICAL_SECTION lock;
    HANDLE start = nullptr;
    HANDLE done = nullptr;
    fw::Thread* thread = nullptr;
    std::atomic<int> stop{0};
    std::atomic<bool> report_once{true};
    std::atomic<HWND> report_window{nullptr};
    CQWTextView* pending = nullptr;    // guarded by lock
    std::vector<CQWTextView*> views;   // guarded by lock
    ViewDrawState() {
        InitializeCriticalSection(&lock);
        start = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        done = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    }
    // Lives to the end of the process: views and the thread may still use
    // it while static objects are destroyed.
};

ViewDrawState& S() {
    static ViewDrawState* s = new ViewDrawState;
    return *s;
}

thread_local int t_draw_depth = 0;

bool Registered(CQWTextView* v) {
    auto& views = S().views;
    return std::find(views.begin(), views.end(), v) != views.end();
}

// Under the drawing lock: the view whose rows come next, null when none.
CQWTextView* NextPendingView() {
    ViewDrawState& s = S();
    if (s.pending && Registered(s.pending) && s.pending->HasPendingRows())
        return s.pending;
    for (CQWTextView* v : s.views)
        if (v->HasPendingRows())
            return v;
    return nullptr;
}

void ReportException() {
    ViewDrawState& s = S();
    if (!s.report_once.exchange(false))
        return;
    HWND w = s.report_window.load();
    if (!w) {
        QwShellOutlets o = QwGetShellOutlets();
        w = o.main_window ? static_cast<HWND>(o.main_window()) : nullptr;
    }
    if (w)
        PostMessageA(w, UWM_MSG_OUTPUT, QW_MSG_OUTPUT_ID_REQUEST, QW_IDS_VIEWDRAW_EXCEPTION);
}

// Paints the pending rows of every view, one row per lock, until none is
// left or the stop code is set.
void RunPass(RowPainter& painter) {
    ViewDrawState& s = S();
    while (s.stop.load() != kStopCode) {
        CQWTextView* view;
        {
            DrawingLockGuard g;
            view = NextPendingView();
            if (!view) {
                s.pending = nullptr;
                SetEvent(s.done); // nothing pending, decided under the lock
                return;
            }
        }
        try {
            VmGuard buffer;     // the buffer lock first,
            DrawingLockGuard g; // then the drawing lock
            if (Registered(view))
                view->PaintPendingRow(painter);
        } catch (...) {
            // The failing view's rows are dropped, so one bad row cannot
            // keep the thread busy; the other views are still served.
            {
                DrawingLockGuard g;
                if (Registered(view))
                    view->AbandonPendingRows();
            }
            ReportException();
        }
    }
}

unsigned ThreadProc(void*) {
    ViewDrawState& s = S();
    RowPainter painter; // this thread's own scratch and row bitmap
    for (;;) {
        WaitForSingleObject(s.start, INFINITE);
        if (s.stop.load() == kStopCode)
            break;
        RunPass(painter);
        if (s.stop.load() == kStopCode)
            break;
    }
    painter.Free();
    SetEvent(s.done);
    return 0;
}

} // namespace

void DrawingLock(int op) {
    if (op) {
        EnterCriticalSection(&S().lock);
        ++t_draw_depth;
    } else {
        --t_draw_depth;
        LeaveCriticalSection(&S().lock);
    }
}

int ViewDrawThreadRunning() {
    DrawingLockGuard g;
    return S().thread != nullptr;
}

int DrawingLockHeld() { return t_draw_depth > 0; }

HANDLE ViewDrawDoneEvent() { return S().done; }

void SetViewDrawReportWindow(HWND window) { S().report_window.store(window); }

int StartViewDrawThread(int op) {
    ViewDrawState& s = S();
    if (op == 1) {
        if (s.thread)
            return 1;
        s.stop.store(0);
        s.report_once.store(true);
        fw::Thread* t = new fw::Thread(&ThreadProc, nullptr);
        t->set_auto_delete(false); // joined and deleted by the stopping side
        if (!t->CreateThread(CREATE_SUSPENDED)) {
            delete t;
            return 0;
        }
        {
            DrawingLockGuard g;
            s.thread = t;
        }
        t->Resume();
        return 1;
    }
    if (!s.thread)
        return 0;
    // Joining while holding a lock the thread needs would never end.
    assert(!vm_lock_held() && !DrawingLockHeld());
    s.stop.store(kStopCode);
    SetEvent(s.start);
    WaitForSingleObject(s.thread->handle(), INFINITE);
    fw::Thread* t = s.thread;
    {
        DrawingLockGuard g;
        s.thread = nullptr;
        for (CQWTextView* v : s.views)
            v->AbandonPendingRows();
        s.pending = nullptr;
        SetEvent(s.done);
    }
    delete t;
    return 0;
}

void ViewDrawRegister(CQWTextView* view) {
    DrawingLockGuard g;
    if (!Registered(view))
        S().views.push_back(view);
}

void ViewDrawUnregister(CQWTextView* view) {
    DrawingLockGuard g;
    auto& views = S().views;
    views.erase(std::remove(views.begin(), views.end(), view), views.end());
    if (S().pending == view)
        S().pending = nullptr;
}

void ViewDrawForEach(void (*fn)(CQWTextView* view, void* data), void* data) {
    std::vector<CQWTextView*> copy;
    {
        DrawingLockGuard g;
        copy = S().views;
    }
    for (CQWTextView* v : copy) {
        bool live;
        {
            DrawingLockGuard g;
            live = Registered(v);
        }
        if (live)
            fn(v, data);
    }
}

void ViewDrawHandOver(CQWTextView* view) {
    ViewDrawState& s = S();
    DrawingLockGuard g;
    if (!s.thread) {
        // No thread (not started, or stopped): the rows stay pending until
        // the view paints them itself.
        return;
    }
    s.pending = view;
    ResetEvent(s.done);
    SetEvent(s.start);
}
