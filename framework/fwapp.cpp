#include "framework/fwapp.h"

namespace fw {

FW_IMPLEMENT_DYNAMIC(Application, Thread)

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

int Application::Main() {
    if (!InitInstance()) {
        int code = ExitInstance();
        return code ? code : 1;
    }
    return Run();
}

} // namespace fw
