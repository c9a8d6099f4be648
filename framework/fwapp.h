#pragma once
// The application object and the user-interface thread's message loop.
//
// One application object per process. Run() pumps messages; before each
// message is dispatched it is offered to PreTranslateMessage, and whenever
// the queue runs empty OnIdle is called with a rising count until it says it
// needs no more idle time.
#include <windows.h>

#include "framework/fwexport.h"

namespace fw {

class QWFW_API Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The process's application object, or null.
    static Application* Current();

    // Start-up; false ends the program before the loop.
    virtual bool InitInstance() { return true; }
    // Clean-up; the result is the process exit code.
    virtual int ExitInstance() { return exit_code_; }
    // The message loop; returns ExitInstance's result.
    virtual int Run();
    // True when the message was handled and must not be dispatched.
    virtual bool PreTranslateMessage(MSG* msg);
    // Idle work; return true to be called again (count rises each call).
    virtual bool OnIdle(long count);
    // Messages that do not end an idle period (timer ticks, cursor blinks...).
    virtual bool IsIdleMessage(const MSG* msg);

    HINSTANCE instance() const { return instance_; }
    HWND main_window() const { return main_window_; }
    void set_main_window(HWND hwnd) { main_window_ = hwnd; }

    // Runs the whole life of the application: InitInstance, Run, and
    // ExitInstance when start-up fails.
    int Main();

protected:
    int exit_code_ = 0;

private:
    HINSTANCE instance_;
    HWND main_window_ = nullptr;
};

} // namespace fw
