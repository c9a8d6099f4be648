#include "framework/fwwnd.h"

#include <unordered_map>

namespace fw {

namespace {

// Windows belong to the thread that created them; so does the map.
thread_local std::unordered_map<HWND, Window*>* t_map = nullptr;
// The object whose window this thread is creating right now.
thread_local Window* t_creating = nullptr;

std::unordered_map<HWND, Window*>& handle_map() {
    if (!t_map) t_map = new std::unordered_map<HWND, Window*>();
    return *t_map;
}

} // namespace

Window::Window() = default;

Window::~Window() {
    if (hwnd_) {
        // An object that dies before its window must not be reached again.
        if (prev_proc_) UnsubclassWindow();
        else Detach();
    }
}

bool Window::RegisterClass(const char* name, UINT style, HBRUSH background,
                           HICON icon, HCURSOR cursor) {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(inst, name, &existing)) return true;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = &Window::StaticWndProc;
    wc.hInstance = inst;
    wc.hIcon = icon;
    wc.hCursor = cursor ? cursor : LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassExA(&wc) != 0;
}

bool Window::Create(const char* class_name, const char* title, DWORD style,
                    DWORD ex_style, int x, int y, int cx, int cy, HWND parent,
                    HMENU menu) {
    if (hwnd_) return false;
    Window* outer = t_creating;
    t_creating = this;
    HWND h = CreateWindowExA(ex_style, class_name, title, style, x, y, cx, cy,
                             parent, menu, GetModuleHandleA(nullptr), nullptr);
    t_creating = outer;
    if (!h) {
        // A window that failed during WM_NCCREATE/WM_CREATE is gone already.
        if (hwnd_) Detach();
        return false;
    }
    return hwnd_ == h;
}

bool Window::Attach(HWND hwnd) {
    if (hwnd_ || !hwnd || !IsWindow(hwnd)) return false;
    auto& map = handle_map();
    if (map.count(hwnd)) return false;
    map[hwnd] = this;
    hwnd_ = hwnd;
    return true;
}

HWND Window::Detach() {
    HWND h = hwnd_;
    if (h) handle_map().erase(h);
    hwnd_ = nullptr;
    return h;
}

bool Window::SubclassWindow(HWND hwnd) {
    if (!Attach(hwnd)) return false;
    prev_proc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::StaticWndProc)));
    if (!prev_proc_) {
        Detach();
        return false;
    }
    return true;
}

HWND Window::UnsubclassWindow() {
    if (!hwnd_ || !prev_proc_) return nullptr;
    SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prev_proc_));
    prev_proc_ = nullptr;
    return Detach();
}

Window* Window::FromHandlePermanent(HWND hwnd) {
    if (!t_map || !hwnd) return nullptr;
    auto it = t_map->find(hwnd);
    return it == t_map->end() ? nullptr : it->second;
}

bool Window::DestroyWindow() {
    return hwnd_ && ::DestroyWindow(hwnd_);
}

LRESULT Window::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    return DefaultProc(msg, wp, lp);
}

LRESULT Window::DefaultProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (prev_proc_) return CallWindowProcA(prev_proc_, hwnd_, msg, wp, lp);
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

LRESULT Window::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT r = WindowProc(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        // Restore the original procedure so that the window's last messages
        // do not come back to an object that is about to go.
        if (prev_proc_) UnsubclassWindow();
        else Detach();
        PostNcDestroy();
    }
    return r;
}

LRESULT CALLBACK Window::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = FromHandlePermanent(hwnd);
    if (!w && t_creating && !t_creating->hwnd_) {
        w = t_creating;
        w->Attach(hwnd);
    }
    if (w) return w->Dispatch(msg, wp, lp);
    return DefWindowProcA(hwnd, msg, wp, lp);
}

} // namespace fw
