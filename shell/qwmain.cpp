// Entry of the editor program.
#include <windows.h>
#include <shlwapi.h>

#include "controls/qwcontrols.h"
#include "framework/fwapp.h"
#include "framework/fwwnd.h"
#include "res/resource.h"

namespace {

const char kFrameClass[] = "QWMainFrame";

// The program's top-level frame window.
class MainFrame : public fw::Window {
protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return DefaultProc(msg, wp, lp);
    }
};

class QWApp : public fw::Application {
public:
    bool InitInstance() override {
        // The controls library must be the one the program was built with.
        DLLVERSIONINFO dvi{};
        dvi.cbSize = sizeof(dvi);
        if (FAILED(DllGetVersion(&dvi))) return false;

        char title[256] = "";
        if (!LoadStringA(instance(), IDR_MAINFRAME, title, sizeof(title))) return false;
        if (!fw::Window::RegisterClass(kFrameClass, CS_DBLCLKS,
                                       reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1)))
            return false;
        if (!frame_.Create(kFrameClass, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT))
            return false;
        set_main_window(frame_.hwnd());
        ShowWindow(frame_.hwnd(), SW_SHOWDEFAULT);
        UpdateWindow(frame_.hwnd());
        return true;
    }

private:
    MainFrame frame_;
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    QWApp app;
    return app.Main();
}
