// The message box with the do-not-ask-again check box.
#include "controls/nbmsgbox.h"

#include <mutex>

#include "framework/fwmsgbox.h"

namespace {

const char kDefaultAsk[] = "Do not ask again";
const char kDefaultShow[] = "Do not show again";
std::mutex g_strings_lock;
std::string g_ask = kDefaultAsk;
std::string g_show = kDefaultShow;

// The box being created on this thread (between the hook and WM_CREATE).
thread_local CnbMessageBox* t_pending = nullptr;
const char kSelfProp[] = "QwCnbMessageBox";

// Visual styles, looked up by name so the library loads without them.
struct Theme {
    HMODULE dll = LoadLibraryA("UxTheme.dll");
    ~Theme() {
        if (dll) FreeLibrary(dll);
    }
    template <typename F> F Get(const char* name) {
        return dll ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name))) : nullptr;
    }
};
Theme& theme() {
    static Theme t;
    return t;
}

LRESULT CALLBACK SeparatorProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_PAINT) return DefWindowProcA(wnd, msg, wp, lp);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(wnd, &ps);
    RECT rc;
    GetClientRect(wnd, &rc);
    bool horizontal = rc.right - rc.left > rc.bottom - rc.top;
    using IsThemed = BOOL(WINAPI*)();
    using Open = HANDLE(WINAPI*)(HWND, LPCWSTR);
    using Close = HRESULT(WINAPI*)(HANDLE);
    using Draw = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);
    auto is_themed = theme().Get<IsThemed>("IsAppThemed");
    auto open = theme().Get<Open>("OpenThemeData");
    auto close = theme().Get<Close>("CloseThemeData");
    auto draw = theme().Get<Draw>("DrawThemeBackground");
    bool drawn = false;
    if (is_themed && open && close && draw && is_themed()) {
        if (HANDLE t = open(wnd, L"TOOLBAR")) {
            drawn = SUCCEEDED(draw(t, dc, horizontal ? 6 : 5, 1, &rc, nullptr));
            close(t);
        }
    }
    if (!drawn) {
        HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
        HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
        HGDIOBJ old = SelectObject(dc, shadow);
        if (horizontal) {
            int y = (rc.top + rc.bottom) / 2;
            MoveToEx(dc, rc.left + 2, y, nullptr);
            LineTo(dc, rc.right - 2, y);
            SelectObject(dc, light);
            MoveToEx(dc, rc.left + 2, y + 1, nullptr);
            LineTo(dc, rc.right - 2, y + 1);
        } else {
            int x = (rc.left + rc.right) / 2;
            MoveToEx(dc, x, rc.top + 2, nullptr);
            LineTo(dc, x, rc.bottom - 2);
            SelectObject(dc, light);
            MoveToEx(dc, x + 1, rc.top + 2, nullptr);
            LineTo(dc, x + 1, rc.bottom - 2);
        }
        SelectObject(dc, old);
        DeleteObject(shadow);
        DeleteObject(light);
    }
    EndPaint(wnd, &ps);
    return 0;
}

const char* SeparatorClass() {
    static const char kName[] = "QwCnbSeparator";
    static bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = SeparatorProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kName;
        return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    (void)registered;
    return kName;
}

std::string FullCaption(const char* suffix) {
    std::string caption = fw::AppTitle();
    if (suffix && *suffix) caption += " - " + std::string(suffix);
    return caption;
}

UINT WithDefaultIcon(UINT type) {
    UINT buttons = type & 0xF;
    if (!(type & MB_ICONMASK) && !(buttons == 2 || buttons >= 5)) type |= MB_ICONEXCLAMATION;
    return type;
}

std::string LoadText(UINT id) {
    char buf[1024] = "";
    LoadStringA(GetModuleHandleA(nullptr), id, buf, sizeof buf);
    return buf;
}

} // namespace

CnbMessageBox::CnbMessageBox(HWND parent) : parent_(parent) {}

CnbMessageBox::~CnbMessageBox() {
    if (hook_) UnhookWindowsHookEx(hook_);
}

void CnbMessageBox::SetDoNotAgainStrings(const char* show_again, const char* ask_again) {
    std::lock_guard<std::mutex> g(g_strings_lock);
    g_show = show_again ? show_again : "";
    g_ask = ask_again ? ask_again : "";
}

void CnbMessageBox::SetDoNotAgainStrings(UINT show_again_id, UINT ask_again_id) {
    SetDoNotAgainStrings(LoadText(show_again_id).c_str(), LoadText(ask_again_id).c_str());
}

void CnbMessageBox::ResetDoNotAgainStrings() { SetDoNotAgainStrings(kDefaultShow, kDefaultAsk); }

std::string CnbMessageBox::CheckCaptionFor(UINT type) {
    std::lock_guard<std::mutex> g(g_strings_lock);
    return (type & 0xF) != 0 ? g_ask : g_show;
}

int CnbMessageBox::DoMessageBox(const char* caption_suffix, const char* text, UINT type, UINT) {
    return fw::ShowMessageBox(text ? text : "", WithDefaultIcon(type), FullCaption(caption_suffix).c_str());
}

int CnbMessageBox::MessageBoxA(UINT caption_id, UINT text_id, UINT type, UINT help_id) {
    std::string caption = caption_id ? LoadText(caption_id) : std::string();
    return MessageBoxA(caption.c_str(), LoadText(text_id).c_str(), type, help_id);
}

int CnbMessageBox::MessageBoxA(const char* caption_suffix, const char* text, UINT type, UINT) {
    type_ = type;
    t_pending = this;
    hook_ = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
    HWND owner = parent_ ? GetAncestor(parent_, GA_ROOT) : GetActiveWindow();
    bool reenable = owner && IsWindowEnabled(owner);
    if (reenable) EnableWindow(owner, FALSE);
    int r = ::MessageBoxA(owner, text ? text : "", FullCaption(caption_suffix).c_str(), WithDefaultIcon(type));
    if (reenable) EnableWindow(owner, TRUE);
    if (hook_) UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    t_pending = nullptr;
    return r;
}

LRESULT CALLBACK CnbMessageBox::CbtHook(int code, WPARAM wp, LPARAM lp) {
    CnbMessageBox* self = t_pending;
    if (code == HCBT_CREATEWND && self && !self->box_) {
        auto* cw = reinterpret_cast<CBT_CREATEWNDA*>(lp);
        // The box is the first dialog-class window the call creates.
        LPCSTR cls = cw->lpcs->lpszClass;
        bool dialog = IS_INTRESOURCE(cls) ? cls == reinterpret_cast<LPCSTR>(WC_DIALOG)
                                          : lstrcmpiA(cls, "#32770") == 0;
        if (dialog) {
            HWND wnd = reinterpret_cast<HWND>(wp);
            self->box_ = wnd;
            SetPropA(wnd, kSelfProp, self);
            self->old_proc_ = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BoxProc)));
            t_pending = nullptr;
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

LRESULT CALLBACK CnbMessageBox::BoxProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<CnbMessageBox*>(GetPropA(wnd, kSelfProp));
    if (!self) return DefWindowProcA(wnd, msg, wp, lp);
    WNDPROC old = self->old_proc_;
    switch (msg) {
    case WM_INITDIALOG: {
        LRESULT r = CallWindowProcA(old, wnd, msg, wp, lp);
        self->OnSubclassedInit(wnd);
        return r;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == kCheckId) {
            self->checked_ = !self->checked_;
            SendDlgItemMessageA(wnd, kCheckId, BM_SETCHECK, self->checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        RemovePropA(wnd, kSelfProp);
        self->box_ = nullptr;
        return CallWindowProcA(old, wnd, msg, wp, lp);
    }
    return CallWindowProcA(old, wnd, msg, wp, lp);
}

void CnbMessageBox::OnSubclassedInit(HWND box) {
    static const int caption_h = GetSystemMetrics(SM_CYCAPTION);
    static const int edge_y = GetSystemMetrics(SM_CYEDGE);
    static const int edge_x = GetSystemMetrics(SM_CXEDGE);
    std::string label = CheckCaptionFor(type_);
    HWND text_ctl = GetDlgItem(box, 0xFFFF);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(text_ctl ? text_ctl : box, WM_GETFONT, 0, 0));
    HDC dc = GetDC(box);
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SIZE ext{0, 0};
    GetTextExtentPoint32A(dc, label.c_str(), int(label.size()), &ext);
    if (old) SelectObject(dc, old);
    ReleaseDC(box, dc);
    int label_h = ext.cy > 13 || ext.cy <= 0 ? 13 : ext.cy;

    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(box, &wp);
    RECT rc = wp.rcNormalPosition;
    rc.bottom -= 7;
    int width = rc.right - rc.left;
    int need = ext.cx + 2 * edge_x + 33;
    if (width < need) {
        int grow = need - width;
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            char cls[16] = "";
            GetClassNameA(c, cls, sizeof cls);
            if (lstrcmpiA(cls, "Button") != 0) continue;
            RECT cr;
            GetWindowRect(c, &cr);
            MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&cr), 2);
            SetWindowPos(c, nullptr, cr.left + grow / 2, cr.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        }
        width = need;
    }
    int old_h = rc.bottom - rc.top;
    int add = label_h + 13;
    int top = rc.top - add / 2;
    int height = old_h + add + 7;
    RECT parent_rc;
    HWND parent = GetParent(box);
    if (parent && GetWindowRect(parent, &parent_rc)) {
        int cx = (parent_rc.left + parent_rc.right) / 2;
        int cy = (parent_rc.top + parent_rc.bottom) / 2;
        SetWindowPos(box, nullptr, cx - width / 2, cy - height / 2, width, height, SWP_NOZORDER);
    } else {
        SetWindowPos(box, nullptr, rc.left, top, width, height, SWP_NOZORDER);
    }
    int sep_top = old_h - 7 - caption_h - edge_y;
    CreateWindowExA(0, SeparatorClass(), "", WS_CHILD | WS_VISIBLE, -1, sep_top, width + 1, 3, box,
                    reinterpret_cast<HMENU>(intptr_t(kSeparatorId)), GetModuleHandleA(nullptr), nullptr);
    HWND check = CreateWindowExA(0, "Button", label.c_str(), WS_CHILD | WS_VISIBLE | BS_CHECKBOX, 7,
                                 sep_top + 6, width - 7, label_h, box,
                                 reinterpret_cast<HMENU>(intptr_t(kCheckId)), GetModuleHandleA(nullptr), nullptr);
    if (check) {
        if (font) SendMessageA(check, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SendMessageA(check, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

extern "C" int QwCtlCheckMessageBox(const char* caption_suffix, const char* text, UINT type,
                                    const char* check_caption, int* checked) {
    if (!check_caption) {
        if (checked) *checked = 0;
        return CnbMessageBox::DoMessageBox(caption_suffix, text, type, 0);
    }
    if (*check_caption) CnbMessageBox::SetDoNotAgainStrings(check_caption, check_caption);
    else CnbMessageBox::ResetDoNotAgainStrings();
    CnbMessageBox box(nullptr);
    box.SetChecked(checked ? *checked : 0);
    int r = box.MessageBoxA(caption_suffix, text, type, 0);
    if (checked) *checked = box.GetChecked();
    return r;
}
