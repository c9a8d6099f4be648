#pragma once
// Window objects over HWND.
//
// One object per window, found from its handle through a per-thread map.
// Every window class registered by the framework uses one window procedure
// that looks the object up and calls its virtual WindowProc; an object that
// is being created is bound to its handle on the first message the window
// receives (before WM_NCCREATE), so it sees its own creation messages.
// A foreign window can be subclassed: its previous procedure is kept and
// called for everything the object does not handle.
#include <windows.h>

#include "framework/fwexport.h"

namespace fw {

class QWFW_API Window {
public:
    Window();
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }
    operator HWND() const { return hwnd_; }

    // Registers (once per process) a window class served by the framework.
    static bool RegisterClass(const char* name, UINT style = CS_DBLCLKS,
                              HBRUSH background = nullptr, HICON icon = nullptr,
                              HCURSOR cursor = nullptr);

    // Creates the window of a framework class and binds this object to it.
    bool Create(const char* class_name, const char* title, DWORD style,
                DWORD ex_style, int x, int y, int cx, int cy,
                HWND parent = nullptr, HMENU menu = nullptr);

    // Binds this object to an existing window without changing its procedure
    // (messages are not routed to the object) / releases the binding.
    bool Attach(HWND hwnd);
    HWND Detach();

    // Binds this object to an existing window and routes its messages here;
    // the previous procedure handles what the object passes on.
    bool SubclassWindow(HWND hwnd);
    HWND UnsubclassWindow();

    // The object bound to a window on this thread, or null.
    static Window* FromHandlePermanent(HWND hwnd);

    bool DestroyWindow();

protected:
    // Handles one message; the default passes it to DefaultProc.
    virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
    // The previous procedure of a subclassed window, or DefWindowProc.
    LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp);
    // Called once the window is gone (after WM_NCDESTROY); an object that
    // owns itself deletes itself here.
    virtual void PostNcDestroy() {}

private:
    static LRESULT CALLBACK StaticWndProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);

    HWND hwnd_ = nullptr;
    WNDPROC prev_proc_ = nullptr;
};

} // namespace fw
