#include "framework/fwwnd.h"

#include <unordered_map>

#include "framework/fwfile.h"
#include "framework/fwmsgbox.h"

namespace fw {

namespace {

constexpr unsigned kIdsCommandFailed = 61707;

// Windows belong to the thread that created them; so does the map.
thread_local std::unordered_map<HWND, Window*>* t_map = nullptr;
// The object whose window this thread is creating right now.
thread_local Window* t_creating = nullptr;

std::unordered_map<HWND, Window*>& handle_map() {
    if (!t_map) t_map = new std::unordered_map<HWND, Window*>();
    return *t_map;
}

} // namespace

FW_IMPLEMENT_DYNAMIC(Window, CommandTarget)
FW_BEGIN_MESSAGE_MAP(Window, CommandTarget)
FW_END_MESSAGE_MAP()

UINT IdleUpdateMessage() {
    static const UINT msg = RegisterWindowMessageA("QWFramework.IdleUpdateCmdUI");
    return msg;
}

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
    in_create_ = true;
    HWND h = CreateWindowExA(ex_style, class_name, title, style, x, y, cx, cy,
                             parent, menu, GetModuleHandleA(nullptr), nullptr);
    in_create_ = false;
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
    LRESULT result = 0;
    if (OnWndMsg(msg, wp, lp, &result)) return result;
    return DefaultProc(msg, wp, lp);
}

bool Window::MapMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    const MessageMapEntry* e = FindEntry([msg](const MessageMapEntry& x) {
        return (x.kind == MapKind::kMessage && x.message == msg) ||
               (x.kind == MapKind::kRegistered && x.registered && *x.registered == msg && msg);
    });
    if (!e) return false;
    MapCall mc{msg, wp, lp, 0, nullptr, nullptr, nullptr};
    *result = e->fn(this, mc);
    return true;
}

bool Window::OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    *result = 0;
    switch (msg) {
    case WM_COMMAND:
        if (OnCommand(wp, lp)) return true;
        break;
    case WM_NOTIFY:
        if (OnNotify(wp, lp, result)) return true;
        break;
    case WM_DRAWITEM:
        // Menus have no window to reflect to.
        if (wp && ReflectToChild(reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem, msg, wp, lp, result))
            return true;
        break;
    case WM_MEASUREITEM:
        if (wp && ReflectToChild(GetDlgItem(static_cast<int>(wp)), msg, wp, lp, result)) return true;
        break;
    case WM_COMPAREITEM:
        if (ReflectToChild(reinterpret_cast<COMPAREITEMSTRUCT*>(lp)->hwndItem, msg, wp, lp, result))
            return true;
        break;
    case WM_DELETEITEM:
        if (ReflectToChild(reinterpret_cast<DELETEITEMSTRUCT*>(lp)->hwndItem, msg, wp, lp, result))
            return true;
        break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
        if (lp && ReflectToChild(reinterpret_cast<HWND>(lp), msg, wp, lp, result)) return true;
        break;
    default:
        if (msg && msg == IdleUpdateMessage()) {
            OnIdleUpdateCmdUI(wp != 0);
            MapMessage(msg, wp, lp, result);
            return true;
        }
        break;
    }
    return MapMessage(msg, wp, lp, result);
}

bool Window::ReflectToChild(HWND child, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    if (!child || child == hwnd_) return false;
    Window* w = FromHandlePermanent(child);
    return w && w->OnChildNotify(msg, wp, lp, result);
}

bool Window::OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    const MessageMapEntry* e = nullptr;
    MapCall mc{msg, wp, lp, 0, nullptr, nullptr, result};
    if (msg == WM_NOTIFY) {
        auto* nm = reinterpret_cast<NMHDR*>(lp);
        int code = static_cast<int>(nm->code);
        mc.nmhdr = nm;
        e = FindEntry([code](const MessageMapEntry& x) {
            return x.kind == MapKind::kReflectNotify && x.code == code;
        });
    } else if (msg == WM_COMMAND) {
        int code = HIWORD(wp);
        e = FindEntry([code](const MessageMapEntry& x) {
            return x.kind == MapKind::kReflectControl && x.code == code;
        });
    } else {
        e = FindEntry([msg](const MessageMapEntry& x) {
            return x.kind == MapKind::kReflectMessage && x.message == msg;
        });
    }
    if (!e) return false;
    LRESULT r = e->fn(this, mc);
    if (msg != WM_NOTIFY) *result = r;
    return true;
}

bool Window::OnCommand(WPARAM wp, LPARAM lp) {
    UINT id = LOWORD(wp);
    int code = HIWORD(wp);
    HWND control = reinterpret_cast<HWND>(lp);
    if (control) {
        LRESULT ignored = 0;
        if (ReflectToChild(control, WM_COMMAND, wp, lp, &ignored)) return true;
    } else {
        // Menus send 0, accelerators 1: both are commands. A command whose
        // update handler has disabled it must not run, however it came.
        code = kCodeCommand;
        CommandUI state;
        state.id = id;
        state.enable_changed = false;
        RouteUpdate(state);
        if (state.enable_changed && !state.enabled) return true;
    }
    CommandCall call;
    call.id = id;
    call.code = code;
    return OnCmdMsg(call);
}

bool Window::OnNotify(WPARAM, LPARAM lp, LRESULT* result) {
    auto* nm = reinterpret_cast<NMHDR*>(lp);
    if (!nm) return false;
    if (ReflectToChild(nm->hwndFrom, WM_NOTIFY, 0, lp, result)) return true;
    UINT id = static_cast<UINT>(nm->idFrom);
    int code = static_cast<int>(nm->code);
    const MessageMapEntry* e = FindEntry([id, code](const MessageMapEntry& x) {
        return x.kind == MapKind::kNotify && x.code == code && id >= x.first && id <= x.last;
    });
    if (!e) return false;
    MapCall mc{WM_NOTIFY, 0, lp, id, nullptr, nm, result};
    e->fn(this, mc);
    return true;
}

bool Window::PreTranslateMessage(MSG*) { return false; }

bool Window::WalkPreTranslateTree(HWND stop, MSG* msg) {
    for (HWND h = msg->hwnd; h; h = ::GetParent(h)) {
        Window* w = FromHandlePermanent(h);
        if (w && w->PreTranslateMessage(msg)) return true;
        if (h == stop) break;
    }
    return false;
}

void Window::UpdateDialogControls(CommandTarget* target, bool disable_if_no_handler) {
    CommandUI ui;
    for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        int id = ::GetDlgCtrlID(child);
        // Static texts and controls without an id take no commands.
        if (id <= 0 || id == 0xFFFF) continue;
        ui.id = static_cast<UINT>(id);
        ui.control = child;
        // Buttons without a handler are disabled like menu items; other
        // controls are left as they are.
        bool is_button = (::SendMessageA(child, WM_GETDLGCODE, 0, 0) &
                          (DLGC_BUTTON | DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
        ui.DoUpdate(target, disable_if_no_handler && is_button);
    }
}

namespace {
void SendToDescendants(HWND parent, UINT msg, WPARAM wp, LPARAM lp, bool deep) {
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        ::SendMessageA(child, msg, wp, lp);
        if (deep) SendToDescendants(child, msg, wp, lp, true);
    }
}
} // namespace

void Window::SendMessageToDescendants(UINT msg, WPARAM wp, LPARAM lp, bool deep) {
    SendToDescendants(hwnd_, msg, wp, lp, deep);
}

std::string Window::GetText() const {
    int n = ::GetWindowTextLengthA(hwnd_);
    std::string s(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
    int got = ::GetWindowTextA(hwnd_, &s[0], static_cast<int>(s.size()));
    s.resize(static_cast<size_t>(got > 0 ? got : 0));
    return s;
}

RECT Window::GetClientRect() const {
    RECT r{};
    ::GetClientRect(hwnd_, &r);
    return r;
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
        if (!in_create_) PostNcDestroy();
    }
    return r;
}

LRESULT CALLBACK Window::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = FromHandlePermanent(hwnd);
    if (!w && t_creating && !t_creating->hwnd_) {
        w = t_creating;
        w->Attach(hwnd);
    }
    if (!w) return DefWindowProcA(hwnd, msg, wp, lp);
    // No exception may cross the system's call back into us: a handler's
    // failure is reported and the message ends as failed.
    try {
        return w->Dispatch(msg, wp, lp);
    } catch (const Exception& e) {
        e.ReportError(MB_OK | MB_ICONSTOP, kIdsCommandFailed);
    } catch (const std::exception& e) {
        ShowMessageBox(e.what(), MB_OK | MB_ICONSTOP);
    } catch (...) {
        ShowMessageBox(LoadFrameworkString(kIdsCommandFailed), MB_OK | MB_ICONSTOP);
    }
    return msg == WM_CREATE ? -1 : 0;
}

} // namespace fw
