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
//
// WindowProc first offers a message to the class's message map (fwmsgmap.h):
// WM_COMMAND becomes a command routed through OnCmdMsg (menu and
// accelerator commands only when their update handler leaves them enabled);
// notifications and owner-draw messages are first reflected to the child
// control that sent them, whose own map may take them. Before a message is
// dispatched, the thread offers it to PreTranslateMessage of each window
// from the target up to the main window (WalkPreTranslateTree).
#include <windows.h>

#include <string>

#include "framework/fwexport.h"
#include "framework/fwmsgmap.h"

namespace fw {

// The registered message that asks windows to update their controls and
// bars from the command handlers during idle time (wParam: disable items
// that have no handler).
QWFW_API UINT IdleUpdateMessage();

class QWFW_API Window : public CommandTarget {
    FW_DECLARE_DYNAMIC(Window)
    FW_DECLARE_MESSAGE_MAP()
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
    // Subclasses the control `id` of a dialog or other parent.
    bool SubclassDlgItem(int id, HWND parent) { return SubclassWindow(::GetDlgItem(parent, id)); }

    // The object bound to a window on this thread, or null.
    static Window* FromHandlePermanent(HWND hwnd);

    // The permanent object of a window, or null (no temporary wrappers).
    static Window* FromHandle(HWND hwnd) { return FromHandlePermanent(hwnd); }

    bool DestroyWindow();

    // Thin helpers over the handle.
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
        return ::SendMessageA(hwnd_, msg, wp, lp);
    }
    bool Post(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
        return ::PostMessageA(hwnd_, msg, wp, lp) != 0;
    }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(hwnd_, id); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(hwnd_); }
    HWND GetParent() const { return ::GetParent(hwnd_); }
    std::string GetText() const;
    void SetText(const std::string& text) { ::SetWindowTextA(hwnd_, text.c_str()); }
    RECT GetClientRect() const;
    bool ShowWindow(int cmd) { return ::ShowWindow(hwnd_, cmd) != 0; }
    bool EnableWindow(bool on = true) { return ::EnableWindow(hwnd_, on) != 0; }
    void Invalidate(bool erase = true) { ::InvalidateRect(hwnd_, nullptr, erase); }
    bool IsWindowVisible() const { return ::IsWindowVisible(hwnd_) != 0; }

    // Offers a message to this window before it is dispatched; true when
    // the message was used up here.
    virtual bool PreTranslateMessage(MSG* msg);
    // Offers msg to every framework window from its target up to `stop`
    // (inclusive); true when one of them used it.
    static bool WalkPreTranslateTree(HWND stop, MSG* msg);

    // Updates the child controls from the handlers of `target` (each
    // control's id is its command), as dialogs and bars do when idle.
    void UpdateDialogControls(CommandTarget* target, bool disable_if_no_handler);
    void SendMessageToDescendants(UINT msg, WPARAM wp, LPARAM lp, bool deep = true);

protected:
    // Handles one message; the default offers it to OnWndMsg (the map and
    // the standard routes), then to DefaultProc.
    virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
    // True when the map or a standard route handled the message.
    virtual bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
    virtual bool OnCommand(WPARAM wp, LPARAM lp);
    virtual bool OnNotify(WPARAM wp, LPARAM lp, LRESULT* result);
    // A message the parent reflected to this control; true when handled.
    virtual bool OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
    // The idle update of this window's controls or bars; wParam of
    // IdleUpdateMessage. The default does nothing.
    virtual void OnIdleUpdateCmdUI(bool disable_if_no_handler) { (void)disable_if_no_handler; }
    // The previous procedure of a subclassed window, or DefWindowProc
    // (frames override it with the MDI default procedures).
    virtual LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp);
    // Called once the window is gone (after WM_NCDESTROY); an object that
    // owns itself deletes itself here. A window that fails while Create
    // runs does not come here: the caller of Create still owns the object.
    virtual void PostNcDestroy() {}

private:
    static LRESULT CALLBACK StaticWndProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
    bool ReflectToChild(HWND child, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
    bool MapMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

    HWND hwnd_ = nullptr;
    WNDPROC prev_proc_ = nullptr;
    bool in_create_ = false;
};

} // namespace fw
