#include "framework/fwapp.h"

#include "framework/fwwnd.h"

namespace fw {

namespace {
Application* g_app = nullptr;
}

Application::Application() : instance_(GetModuleHandleA(nullptr)) {
    g_app = this;
}

Application::~Application() {
    if (g_app == this) g_app = nullptr;
}

Application* Application::Current() { return g_app; }

bool Application::PreTranslateMessage(MSG* msg) {
    (void)msg;
    return false;
}

bool Application::OnIdle(long count) {
    (void)count;
    return false;
}

bool Application::IsIdleMessage(const MSG* msg) {
    switch (msg->message) {
    case WM_TIMER:
    case WM_PAINT:
    case 0x0118:  // the system caret's blink timer
        return false;
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE: {
        // A mouse that did not really move does not end idleness.
        static POINT last{-1, -1};
        bool same = last.x == msg->pt.x && last.y == msg->pt.y;
        last = msg->pt;
        return !same;
    }
    default:
        return true;
    }
}

int Application::Run() {
    bool idle = true;
    long idle_count = 0;
    MSG msg;
    for (;;) {
        while (idle && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idle_count++)) idle = false;
        }
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) continue;
        if (!got) {
            exit_code_ = static_cast<int>(msg.wParam);
            return ExitInstance();
        }
        if (!PreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (IsIdleMessage(&msg)) {
            idle = true;
            idle_count = 0;
        }
    }
}

int Application::Main() {
    if (!InitInstance()) {
        ExitInstance();
        return exit_code_ ? exit_code_ : 1;
    }
    return Run();
}

} // namespace fw
