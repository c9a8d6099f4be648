#pragma once
// Thread objects of the framework: worker threads that run one function, and
// user-interface threads with a message loop of their own.
//
// A thread object owns its thread's handle. By default it deletes itself when
// its thread ends (and closes the handle then), so whoever waits for the end
// of a thread from outside waits on a handle of its own (DuplicateHandle),
// never on handle(), which may be closed and its value reused meanwhile.
// A thread that must be waited for by an owner who also deletes the object
// clears auto-delete and keeps the object until the thread has ended.
#include <windows.h>

#include "framework/fwexport.h"
#include "framework/fwmsgmap.h"

namespace fw {

// A thread object is a command target: the application's handlers are the
// last stop of command routing.
class QWFW_API Thread : public CommandTarget {
    FW_DECLARE_DYNAMIC(Thread)
public:
    using WorkerProc = unsigned (*)(void* param);

    // A user-interface thread; derive and override InitInstance and friends.
    Thread();
    // A worker thread that runs proc(param) and ends with its result.
    Thread(WorkerProc proc, void* param);
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts the thread (flags: CREATE_SUSPENDED or 0; stack size 0 for the
    // default). False when the thread could not be made or already exists.
    bool CreateThread(DWORD flags = 0, unsigned stack_size = 0);
    // ResumeThread / SuspendThread results; (DWORD)-1 without a thread.
    DWORD Resume();
    DWORD Suspend();
    bool SetPriority(int priority);

    HANDLE handle() const { return handle_; }
    DWORD id() const { return id_; }
    void* param() const { return param_; }
    bool auto_delete() const { return auto_delete_; }
    void set_auto_delete(bool on) { auto_delete_ = on; }

    // A new handle to this thread (synchronise and terminate access) that the
    // caller closes; null when the thread has not been created.
    HANDLE DuplicateHandle() const;

    // The thread object of the calling thread; null on a thread that the
    // framework did not start (the main thread, native worker threads).
    static Thread* Current();

    // User-interface threads. InitInstance false ends the thread at once
    // (ExitInstance still runs); ExitInstance's result is the exit code.
    virtual bool InitInstance() { return false; }
    virtual int ExitInstance() { return exit_code_; }
    // The message loop; returns ExitInstance's result after WM_QUIT.
    virtual int Run();
    // True when the message was handled and must not be dispatched. The
    // default offers it to the windows from its target up to the main
    // window (then to the main window, for windows outside it).
    virtual bool PreTranslateMessage(MSG* msg);
    // Idle work; return true to be called again (count rises each call).
    // The default, at count 0, has the main window and its descendants
    // update their controls and bars from the command handlers.
    virtual bool OnIdle(long count);
    // Messages that end an idle period (timer ticks, paints and mouse moves
    // to where the mouse already was do not).
    virtual bool IsIdleMessage(const MSG* msg);
    // Takes one message (waiting for it), pre-translates and dispatches it.
    // False after WM_QUIT, whose exit code is kept for ExitInstance.
    bool PumpMessage();

    HWND main_window() const { return main_window_; }
    void set_main_window(HWND hwnd) { main_window_ = hwnd; }

protected:
    int exit_code_ = 0;

private:
    static unsigned __stdcall Entry(void* self);
    unsigned RunThread();

    WorkerProc proc_ = nullptr;
    void* param_ = nullptr;
    HANDLE handle_ = nullptr;
    DWORD id_ = 0;
    bool auto_delete_ = true;
    HWND main_window_ = nullptr;
    POINT last_mouse_{-1, -1};
};

// Makes and starts a worker thread object (auto-deleting); null on failure.
QWFW_API Thread* BeginThread(Thread::WorkerProc proc, void* param,
                             int priority = THREAD_PRIORITY_NORMAL,
                             unsigned stack_size = 0, DWORD flags = 0);

} // namespace fw
