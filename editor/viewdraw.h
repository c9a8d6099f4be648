#pragma once
// The one view-drawing thread of the process: a view paints its caret row at
// once and hands the other rows of a range to this thread, which paints
// them row by row and tells the view when it is done (user message 0x478,
// wParam 0).
//
// Locks: the buffer lock (vm_lock) comes before the drawing lock, always.
// The thread takes both for each row it paints and lets go between rows, so
// the user-interface thread is never kept waiting longer than one row. The
// pending-row state of every view and the list of live views are guarded by
// the drawing lock. The done event is set only while no view has rows
// pending (the check and the set happen under the drawing lock, as do the
// hand-over's reset and start), so whoever waits for it sees the rows drawn.
#include <windows.h>

class CQWTextView;

// op 1 starts the thread (nothing when it runs) and returns whether it runs;
// op 0 stops it: the stop code is set, the thread wakes, finishes the row it
// paints, and is joined. The caller must hold neither lock.
int StartViewDrawThread(int op);

// Whether the thread runs (without it a view paints whole ranges itself).
int ViewDrawThreadRunning();

// The drawing lock: op 1 enters, op 0 leaves. Re-entrant.
void DrawingLock(int op);
// Nonzero when the calling thread holds the drawing lock.
int DrawingLockHeld();

class DrawingLockGuard {
public:
    DrawingLockGuard() { DrawingLock(1); }
    ~DrawingLockGuard() { DrawingLock(0); }
    DrawingLockGuard(const DrawingLockGuard&) = delete;
    DrawingLockGuard& operator=(const DrawingLockGuard&) = delete;
};

// The done event (manual reset): set while no view has rows pending.
HANDLE ViewDrawDoneEvent();

// Where an exception in the thread is reported: user message 0x464 with
// wParam 0x4031 and lParam the string id 1485, once per run of the thread.
// Null (the default) takes the shell's main window.
void SetViewDrawReportWindow(HWND window);

// The message of that report.
enum : unsigned {
    UWM_MSG_OUTPUT = 0x464,
    QW_MSG_OUTPUT_ID_REQUEST = 0x4031,
    QW_IDS_VIEWDRAW_EXCEPTION = 1485,
};

// ---- Used by the views -------------------------------------------------------

// Live views that the thread may paint; a view joins when its window is
// made and leaves before it is gone.
void ViewDrawRegister(CQWTextView* view);
void ViewDrawUnregister(CQWTextView* view);
// Every live view (under the drawing lock): fn(view, data).
void ViewDrawForEach(void (*fn)(CQWTextView* view, void* data), void* data);

// Hands a view's pending rows to the thread: the done event is reset, the
// view becomes the pending view and the thread is woken.
void ViewDrawHandOver(CQWTextView* view);
