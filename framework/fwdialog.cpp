#include "framework/fwdialog.h"

#include <cstdlib>

#include "framework/fwapp.h"
#include "framework/fwmsgbox.h"

namespace fw {

namespace {
constexpr unsigned kIdsWindowFailed = 61703;
constexpr unsigned kIdsEnterNumber = 61704;
constexpr unsigned kIdsEnterRange = 61705;
constexpr unsigned kIdsEnterMaxChars = 61706;

// The dialog object whose window this thread is creating right now.
thread_local Dialog* t_creating_dialog = nullptr;
// The innermost modal dialog running on this thread: a dialog opened from it
// without a parent belongs to it, whichever window the desktop calls active
// (activation is shared with other processes and can lag behind).
thread_local Dialog* t_modal_top = nullptr;
} // namespace

// ---- data exchange ----

HWND DataExchange::Control(int id) {
    HWND h = ::GetDlgItem(dialog->hwnd(), id);
    if (h) last_control = h;
    return h;
}

void DataExchange::Fail(const std::string& text) {
    if (failed) return;
    failed = true;
    ShowMessageBox(text, MB_OK | MB_ICONEXCLAMATION, nullptr, dialog->hwnd());
    if (last_control) {
        dialog->GotoDlgCtrl(last_control);
        ::SendMessageA(last_control, EM_SETSEL, 0, -1);
    }
}

void ExchangeText(DataExchange& dx, int id, std::string& value) {
    if (dx.failed) return;
    HWND h = dx.Control(id);
    if (!h) return;
    if (dx.save) {
        int n = ::GetWindowTextLengthA(h);
        std::string s(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
        int got = ::GetWindowTextA(h, &s[0], static_cast<int>(s.size()));
        s.resize(static_cast<size_t>(got > 0 ? got : 0));
        value = s;
    } else {
        ::SetWindowTextA(h, value.c_str());
    }
}

void ExchangeInt(DataExchange& dx, int id, int& value) {
    if (dx.failed) return;
    if (!dx.save) {
        std::string text = std::to_string(value);
        ExchangeText(dx, id, text);
        return;
    }
    std::string text;
    ExchangeText(dx, id, text);
    if (dx.failed || !dx.last_control) return;
    const char* p = text.c_str();
    while (*p == ' ') ++p;
    char* end = nullptr;
    long v = std::strtol(p, &end, 10);
    while (end && *end == ' ') ++end;
    if (end == p || !end || *end || v < INT_MIN || v > INT_MAX) {
        dx.Fail(LoadFrameworkString(kIdsEnterNumber));
        return;
    }
    value = static_cast<int>(v);
}

namespace {
// A value that one message reads from the control and another writes.
void ExchangeByMessage(DataExchange& dx, int id, int& value, UINT get, UINT set) {
    if (dx.failed) return;
    HWND h = dx.Control(id);
    if (!h) return;
    if (dx.save) value = static_cast<int>(::SendMessageA(h, get, 0, 0));
    else ::SendMessageA(h, set, static_cast<WPARAM>(value), 0);
}
} // namespace

void ExchangeCheck(DataExchange& dx, int id, int& value) {
    ExchangeByMessage(dx, id, value, BM_GETCHECK, BM_SETCHECK);
}

void ExchangeRadio(DataExchange& dx, int first_id, int& value) {
    if (dx.failed) return;
    HWND h = dx.Control(first_id);
    if (!h) return;
    if (dx.save) value = -1;
    // The group runs from the first button to the next control with WS_GROUP.
    int index = 0;
    for (HWND b = h; b; b = ::GetWindow(b, GW_HWNDNEXT), ++index) {
        if (b != h && (::GetWindowLongA(b, GWL_STYLE) & WS_GROUP)) break;
        if (!(::SendMessageA(b, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)) continue;
        if (dx.save) {
            if (::SendMessageA(b, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
        } else {
            ::SendMessageA(b, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
}

void ExchangeComboIndex(DataExchange& dx, int id, int& index) {
    ExchangeByMessage(dx, id, index, CB_GETCURSEL, CB_SETCURSEL);
}

void ExchangeListIndex(DataExchange& dx, int id, int& index) {
    ExchangeByMessage(dx, id, index, LB_GETCURSEL, LB_SETCURSEL);
}

void ValidateRange(DataExchange& dx, int value, int min, int max) {
    if (dx.failed || !dx.save || (value >= min && value <= max)) return;
    dx.Fail(FormatOne(LoadFrameworkString(kIdsEnterRange),
                      std::to_string(min) + " and " + std::to_string(max)));
}

void ValidateMaxChars(DataExchange& dx, const std::string& value, size_t max) {
    if (dx.failed) return;
    if (!dx.save) {
        if (dx.last_control) ::SendMessageA(dx.last_control, EM_LIMITTEXT, max, 0);
        return;
    }
    if (value.size() > max) dx.Fail(FormatOne(LoadFrameworkString(kIdsEnterMaxChars), std::to_string(max)));
}

// ---- DialogTemplate ----
//
// Layout (all WORD-aligned, text in UTF-16):
//   DLGTEMPLATE, menu (0), class (0), title, point size, font name,
//   then per item: DWORD-aligned DLGITEMTEMPLATE, class name, text, extra (0).

DialogTemplate::DialogTemplate(const std::string& title, DWORD style, short x, short y, short cx,
                               short cy, const std::string& font, WORD point_size) {
    if (!font.empty()) style |= DS_SETFONT;
    words_.resize(sizeof(DLGTEMPLATE) / sizeof(WORD));
    DLGTEMPLATE t{};
    t.style = style;
    t.x = x;
    t.y = y;
    t.cx = cx;
    t.cy = cy;
    memcpy(words_.data(), &t, sizeof t);
    PutWord(0);  // no menu
    PutWord(0);  // the standard dialog class
    PutText(title);
    if (style & DS_SETFONT) {
        PutWord(point_size);
        PutText(font);
    }
}

void DialogTemplate::Align() {
    // Items start on DWORD boundaries.
    if (words_.size() % 2) words_.push_back(0);
}

void DialogTemplate::PutWord(WORD w) { words_.push_back(w); }

void DialogTemplate::PutText(const std::string& s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    if (n) MultiByteToWideChar(CP_ACP, 0, s.c_str(), static_cast<int>(s.size()), &w[0], n);
    for (wchar_t c : w) words_.push_back(static_cast<WORD>(c));
    words_.push_back(0);
}

void DialogTemplate::AddControl(const std::string& class_name, WORD id, const std::string& text,
                                DWORD style, short x, short y, short cx, short cy, DWORD ex_style) {
    Align();
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD;
    item.dwExtendedStyle = ex_style;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = id;
    size_t at = words_.size();
    words_.resize(at + sizeof item / sizeof(WORD));
    memcpy(&words_[at], &item, sizeof item);
    PutText(class_name);
    PutText(text);
    PutWord(0);  // no creation data
    ++count_;
    // The item count lives in the header.
    DLGTEMPLATE t;
    memcpy(&t, words_.data(), sizeof t);
    t.cdit = count_;
    memcpy(words_.data(), &t, sizeof t);
}

const DLGTEMPLATE* DialogTemplate::get() const {
    return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
}

// ---- Dialog ----

FW_IMPLEMENT_DYNAMIC(Dialog, Window)
FW_BEGIN_MESSAGE_MAP(Dialog, Window)
    FW_ON_COMMAND(IDOK, OnOKCommand)
    FW_ON_COMMAND(IDCANCEL, OnCancelCommand)
FW_END_MESSAGE_MAP()

Dialog::Dialog(UINT template_id, HWND parent, HINSTANCE instance)
    : template_id_(template_id), instance_(instance ? instance : GetModuleHandleA(nullptr)),
      parent_(parent) {}

Dialog::Dialog(const DLGTEMPLATE* in_memory, HWND parent)
    : memory_template_(in_memory), parent_(parent) {}

Dialog::~Dialog() {
    // The object is going already: its window must not delete it again.
    delete_on_close = false;
    if (hwnd()) ::DestroyWindow(hwnd());
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT msg, WPARAM, LPARAM) {
    // The first message the dialog procedure sees binds the object: from
    // then on the window's messages come through the object first.
    if (!FromHandlePermanent(hwnd) && t_creating_dialog && !t_creating_dialog->hwnd()) {
        Dialog* d = t_creating_dialog;
        t_creating_dialog = nullptr;
        d->SubclassWindow(hwnd);
        if (msg == WM_INITDIALOG) return d->OnInitDialog();
    }
    return FALSE;
}

bool Dialog::CreateFromTemplate(HWND parent) {
    if (hwnd()) return false;
    const DLGTEMPLATE* tpl = memory_template_;
    if (!tpl) {
        HRSRC res = FindResourceA(instance_, MAKEINTRESOURCEA(template_id_), MAKEINTRESOURCEA(5));
        HGLOBAL mem = res ? LoadResource(instance_, res) : nullptr;
        tpl = mem ? static_cast<const DLGTEMPLATE*>(LockResource(mem)) : nullptr;
    }
    if (!tpl) return false;
    Dialog* outer = t_creating_dialog;
    t_creating_dialog = this;
    HWND h = CreateDialogIndirectParamA(instance_ ? instance_ : GetModuleHandleA(nullptr), tpl, parent,
                                        &Dialog::DialogProc, 0);
    t_creating_dialog = outer;
    if (!h) {
        if (hwnd()) Detach();
        return false;
    }
    return hwnd() == h;
}

bool Dialog::CreateModeless(HWND parent) {
    modal_ = false;
    return CreateFromTemplate(parent ? parent : parent_);
}

INT_PTR Dialog::DoModal() {
    HWND owner = parent_;
    if (!owner) {
        // The window the user works in (a dialog that opens this one, say),
        // else the thread's main window.
        HWND active = t_modal_top && t_modal_top->hwnd() ? t_modal_top->hwnd() : GetActiveWindow();
        Thread* t = Thread::Current();
        Application* app = Application::Current();
        owner = active && IsWindowEnabled(active) ? active
              : t ? t->main_window() : app ? app->main_window() : nullptr;
        // Only a window of this thread can own a modal dialog of it.
        if (owner && GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId()) owner = nullptr;
    }
    if (owner) owner = GetAncestor(owner, GA_ROOT);
    modal_ = true;
    result_ = -1;
    if (!CreateFromTemplate(owner)) {
        modal_ = false;
        ShowMessageBox(LoadFrameworkString(kIdsWindowFailed), MB_OK | MB_ICONEXCLAMATION);
        return -1;
    }
    bool disabled_owner = owner && ::IsWindowEnabled(owner);
    if (disabled_owner) ::EnableWindow(owner, FALSE);
    if (hwnd() && modal_) ShowWindow(SW_SHOWNORMAL);
    in_loop_ = true;
    Dialog* outer = t_modal_top;
    t_modal_top = this;
    // EndDialog in OnInitDialog has ended it already.
    if (hwnd() && modal_) RunModalLoop();
    t_modal_top = outer;
    in_loop_ = false;
    if (disabled_owner) {
        ::EnableWindow(owner, TRUE);
        if (hwnd() && ::GetActiveWindow() == hwnd()) ::SetActiveWindow(owner);
    }
    if (hwnd()) DestroyWindow();
    modal_ = false;
    return result_;
}

void Dialog::RunModalLoop() {
    Thread* t = Thread::Current();
    if (!t) t = Application::Current();
    bool idle = true;
    long count = 0;
    MSG msg;
    while (modal_ && hwnd()) {
        while (idle && modal_ && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
            if (!OnModalIdle(count++)) idle = false;
        if (!modal_) break;
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) continue;
        if (!got) {
            // The thread is quitting: the dialog ends and the loop outside
            // must see WM_QUIT too.
            PostQuitMessage(static_cast<int>(msg.wParam));
            result_ = IDCANCEL;
            modal_ = false;
            break;
        }
        bool ours = msg.hwnd && (msg.hwnd == hwnd() || IsChild(hwnd(), msg.hwnd));
        bool used = ours ? WalkPreTranslateTree(hwnd(), &msg) : (t && t->PreTranslateMessage(&msg));
        if (!used) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (!t || t->IsIdleMessage(&msg)) {
            idle = true;
            count = 0;
        }
    }
}

void Dialog::EndDialog(INT_PTR code) {
    result_ = code;
    if (modal_) {
        modal_ = false;  // the loop ends and DoModal destroys the window
        // Wake the loop should it be waiting for a message.
        if (hwnd()) ::PostMessageA(hwnd(), WM_NULL, 0, 0);
    } else if (hwnd()) {
        DestroyWindow();
    }
}

bool Dialog::UpdateData(bool save) {
    DataExchange dx(this, save);
    DoDataExchange(dx);
    return !dx.failed;
}

bool Dialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void Dialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

bool Dialog::OnModalIdle(long count) {
    if (count == 0 && hwnd()) ::SendMessageA(hwnd(), IdleUpdateMessage(), FALSE, 0);
    return false;
}

void Dialog::OnIdleUpdateCmdUI(bool) {
    // A dialog's buttons may be served outside the maps (by WindowProc):
    // only update handlers change them, never the lack of a handler.
    UpdateDialogControls(this, false);
}

bool Dialog::PreTranslateMessage(MSG* msg) {
    if (!hwnd()) return false;
    // Keys move between controls and press buttons; other messages are left.
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST)
        return IsDialogMessageA(hwnd(), msg) != 0;
    return false;
}

bool Dialog::OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    if (msg == WM_INITDIALOG) {
        *result = OnInitDialog() ? TRUE : FALSE;
        return true;
    }
    return Window::OnWndMsg(msg, wp, lp, result);
}

void Dialog::PostNcDestroy() {
    if (!modal_ && !in_loop_ && delete_on_close) delete this;
}

} // namespace fw
