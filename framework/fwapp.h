#pragma once
// The application object: the user-interface thread object of the main
// thread, with the module instance and the whole life of the program.
//
// Its message loop is the thread loop of fw::Thread: before each message is
// dispatched it is offered to PreTranslateMessage, and whenever the queue
// runs empty OnIdle is called with a rising count until it says it needs no
// more idle time.
#include <windows.h>

#include "framework/fwexport.h"
#include "framework/fwthread.h"

namespace fw {

class QWFW_API Application : public Thread {
    FW_DECLARE_DYNAMIC(Application)
public:
    Application();
    ~Application() override;

    // The process's application object, or null.
    static Application* Current();

    // Start-up returns false to end the program before the loop.
    bool InitInstance() override { return true; }

    HINSTANCE instance() const { return instance_; }

    // Runs the whole life of the application on the calling (main) thread:
    // InitInstance, then Run, or ExitInstance when start-up fails.
    int Main();

private:
    HINSTANCE instance_;
};

} // namespace fw
