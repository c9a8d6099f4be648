#include "framework/fwthread.h"

#include <process.h>

#include "framework/fwwnd.h"

namespace fw {

FW_IMPLEMENT_DYNAMIC(Thread, CommandTarget)

namespace {
// The framework thread object of each thread it started.
thread_local Thread* t_current = nullptr;
}

Thread::Thread() = default;

Thread::Thread(WorkerProc proc, void* param) : proc_(proc), param_(param) {}

Thread::~Thread() {
    if (t_current == this) t_current = nullptr;
    if (handle_) CloseHandle(handle_);
}

bool Thread::CreateThread(DWORD flags, unsigned stack_size) {
    if (handle_) return false;
    // Always start suspended: an auto-deleting thread could otherwise end
    // and free this object before the handle is stored.
    unsigned id = 0;
    uintptr_t h = _beginthreadex(nullptr, stack_size, &Thread::Entry, this,
                                 CREATE_SUSPENDED, &id);
    if (!h) return false;
    handle_ = reinterpret_cast<HANDLE>(h);
    id_ = id;
    if (!(flags & CREATE_SUSPENDED)) ResumeThread(handle_);
    return true;
}

DWORD Thread::Resume() {
    return handle_ ? ResumeThread(handle_) : static_cast<DWORD>(-1);
}

DWORD Thread::Suspend() {
    return handle_ ? SuspendThread(handle_) : static_cast<DWORD>(-1);
}

bool Thread::SetPriority(int priority) {
    return handle_ && SetThreadPriority(handle_, priority);
}

HANDLE Thread::DuplicateHandle() const {
    if (!handle_) return nullptr;
    HANDLE dup = nullptr;
    HANDLE self = GetCurrentProcess();
    if (!::DuplicateHandle(self, handle_, self, &dup, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return dup;
}

Thread* Thread::Current() { return t_current; }

unsigned __stdcall Thread::Entry(void* self) {
    return static_cast<Thread*>(self)->RunThread();
}

unsigned Thread::RunThread() {
    t_current = this;
    unsigned code;
    if (proc_) {
        code = proc_(param_);
    } else if (InitInstance()) {
        code = static_cast<unsigned>(Run());
    } else {
        code = static_cast<unsigned>(ExitInstance());
    }
    t_current = nullptr;
    if (auto_delete_) delete this;
    return code;
}

bool Thread::PreTranslateMessage(MSG* msg) {
    if (!msg->hwnd) return false;
    if (Window::WalkPreTranslateTree(main_window_, msg)) return true;
    // A window outside the main window (a modeless dialog, say) still gets
    // the main window's accelerators.
    if (main_window_ && GetAncestor(msg->hwnd, GA_ROOT) != main_window_) {
        Window* main = Window::FromHandlePermanent(main_window_);
        return main && main->PreTranslateMessage(msg);
    }
    return false;
}

namespace {
// Other visible framework windows of the thread (modeless dialogs, floating
// bars) get the idle update too, without disabling what has no handler.
BOOL CALLBACK UpdateTopLevel(HWND hwnd, LPARAM main) {
    if (hwnd != reinterpret_cast<HWND>(main) && IsWindowVisible(hwnd) && Window::FromHandlePermanent(hwnd))
        SendMessageA(hwnd, IdleUpdateMessage(), FALSE, 0);
    return TRUE;
}
} // namespace

bool Thread::OnIdle(long count) {
    if (count != 0) return false;
    if (main_window_ && IsWindow(main_window_)) {
        UINT msg = IdleUpdateMessage();
        SendMessageA(main_window_, msg, TRUE, 0);
        Window* main = Window::FromHandlePermanent(main_window_);
        if (main) main->SendMessageToDescendants(msg, TRUE, 0, true);
    }
    EnumThreadWindows(GetCurrentThreadId(), &UpdateTopLevel, reinterpret_cast<LPARAM>(main_window_));
    return false;
}

bool Thread::IsIdleMessage(const MSG* msg) {
    switch (msg->message) {
    case WM_TIMER:
    case WM_PAINT:
    case 0x0118:  // the system caret's blink timer
        return false;
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE: {
        // A mouse that did not really move does not end idleness.
        bool same = last_mouse_.x == msg->pt.x && last_mouse_.y == msg->pt.y;
        last_mouse_ = msg->pt;
        return !same;
    }
    default:
        return true;
    }
}

bool Thread::PumpMessage() {
    MSG msg;
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) return true;
    if (!got) {
        exit_code_ = static_cast<int>(msg.wParam);
        return false;
    }
    if (!PreTranslateMessage(&msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

int Thread::Run() {
    bool idle = true;
    long idle_count = 0;
    MSG msg;
    for (;;) {
        while (idle && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idle_count++)) idle = false;
        }
        do {
            if (!PumpMessage()) return ExitInstance();
            if (IsIdleMessage(&msg)) {
                idle = true;
                idle_count = 0;
            }
        } while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    }
}

Thread* BeginThread(Thread::WorkerProc proc, void* param, int priority,
                    unsigned stack_size, DWORD flags) {
    Thread* t = new Thread(proc, param);
    if (!t->CreateThread(flags | CREATE_SUSPENDED, stack_size)) {
        delete t;
        return nullptr;
    }
    t->SetPriority(priority);
    if (!(flags & CREATE_SUSPENDED)) t->Resume();
    return t;
}

} // namespace fw
