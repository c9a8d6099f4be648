// The main frame's status bar.
#include "shell/statusbar.h"

#include <commctrl.h>

#include <cstring>
#include <mutex>

#include "opsys/format.h"
#include "opsys/msgout.h"
#include "opsys/shell_outlets.h"

namespace {

const char kBarClass[] = "QWCustomStatusBar";
constexpr UINT kMsgStatusRequest = 0x464;
constexpr unsigned kNoBorders = 0x100;
constexpr unsigned kStretch = 0x8000000;
constexpr unsigned kMessageShowing = 0x2;

QwPaneSpec g_table[] = {
    {kPaneGap0, 3, 0, kNoBorders, 6},  {kPaneMode, 63, 10, 0, 4},  {kPaneFlags, 17, 2, 0, 4},
    {kPaneGap1, 3, 0, kNoBorders, 6},  {kPaneClock, 126, 0, 0, 4}, {kPaneGap2, 3, 0, kNoBorders, 6},
    {kPaneLine, 101, 16, 0, 4},        {kPaneColumn, 55, 9, 0, 4}, {kPaneGap3, 3, 0, kNoBorders, 6},
    {kPaneModified, 6, 1, 0, 4},       {kPanePath, 109, 18, kStretch, 6},
    {-1, 0, 0, 0, 0},
};

// Entering and leaving simple mode, for the whole process.
std::timed_mutex& SimpleLock() {
    static std::timed_mutex m;
    return m;
}

QWCustomStatusBar* g_bar = nullptr;
QwStatusHooks g_hooks;

std::string LoadText(unsigned id) {
    char buf[260] = "";
    LoadAppString(id, buf, sizeof buf);
    return buf;
}

std::string Cut(const char* text, size_t max) {
    std::string s(text, strnlen(text, max));
    for (char& c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return s;
}

} // namespace

const QwPaneSpec* QwStatusPaneTable() { return g_table; }

std::string QwStatusClockText() {
    char t[64] = "", d[64] = "";
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, t, sizeof t);
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, d, sizeof d);
    return std::string(t) + "  " + d;
}

std::vector<std::string> QwStatusPaneTexts(const QwStatusViewInfo& v, const std::string& clock) {
    std::vector<std::string> out(kPanePath - kPaneMode + 1);
    char buf[260];
    auto at = [&](int id) -> std::string& { return out[size_t(id - kPaneMode)]; };
    if (!v.has_view || v.view_only) at(kPaneMode) = LoadText(426);
    else at(kPaneMode) = LoadText(v.overtype ? 424 : 425);
    if (v.has_view) {
        at(kPaneFlags) = v.wraps ? "w" : " ";
        if (v.macro == 1) at(kPaneFlags) += "r";
        if (v.macro == 2) at(kPaneFlags) += "p";
    }
    switch (v.sel_kind) {
    case 1: format_strf(buf, sizeof buf, "%d lines, %d clms", v.sel_lines, v.sel_columns); break;
    case 2: format_strf(buf, sizeof buf, "%d lines", v.sel_lines); break;
    case 3:
        if (v.sel_lines > 1) format_strf(buf, sizeof buf, "%d lines ", v.sel_lines);
        else format_strf(buf, sizeof buf, "%d characters", v.sel_chars);
        break;
    default:
        if (v.run_offset >= 0 && v.run_length >= 2) {
            if (v.run_offset == 0 || v.run_offset >= v.run_length - 1)
                format_strf(buf, sizeof buf, "Char: - of %d", v.run_length - 2);
            else
                format_strf(buf, sizeof buf, "Char: %d of %d", v.run_offset, v.run_length - 2);
        } else {
            format_strf(buf, sizeof buf, "%s", clock.c_str());
        }
    }
    at(kPaneClock) = buf;
    if (v.has_view) {
        if (!v.has_lines) {
            at(kPaneLine) = "empty";
        } else {
            format_strf(buf, sizeof buf, "ln %u", v.line);
            if (v.read_complete) format_strf(buf, sizeof buf, "%j/%u", v.line_count);
            at(kPaneLine) = buf;
            format_strf(buf, sizeof buf, "clm %u", v.column);
            at(kPaneColumn) = buf;
        }
        at(kPaneModified) = v.edited ? "+" : "";
    }
    at(kPanePath) = Cut(v.path.empty() ? v.folder.c_str() : v.path.c_str(), 259);
    return out;
}

// --- the bar -----------------------------------------------------------------

QWCustomStatusBar::QWCustomStatusBar() = default;

std::string QwStatusTooltipText(int id, const QwStatusViewInfo& v) {
    switch (id) {
    case kPaneMode: return v.has_view ? "Click to toggle between insert and overtype" : "";
    case kPaneFlags: return v.has_view ? "Click to toggle word wrap off/on" : "";
    case kPaneLine: return v.has_view ? "Click to go to a line" : "";
    case kPaneColumn: return v.has_view ? "Click to go to a column" : "";
    case kPaneModified: return v.edited ? "Document edited.\nClick to Save." : "Document edited indicator";
    case kPanePath: {
        std::string t = "Current Directory: " + v.folder + "\nProject: " +
                        (v.project.empty() ? std::string("(none)") : v.project);
        if (v.has_view && v.special)
            t += "\nFile: " + v.path + "\nModified: " + v.file_date;
        else if (v.has_view)
            t += "\nDocument: " + v.path;
        return t;
    }
    default: return "";
    }
}

QWCustomStatusBar::~QWCustomStatusBar() {
    if (tips_) DestroyWindow(tips_);
    if (wnd_) DestroyWindow(wnd_);
    delete simple_;
}

bool QWCustomStatusBar::Create(HWND parent, const QwPaneSpec* table) {
    static bool registered = [] {
        WNDCLASSA wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kBarClass;
        return RegisterClassA(&wc) != 0;
    }();
    if (!registered) return false;
    if (!wnd_) {
        font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        wnd_ = CreateWindowExA(0, kBarClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(intptr_t(0xE801)), GetModuleHandleA(nullptr), this);
        if (!wnd_) return false;
        HDC dc = GetDC(wnd_);
        HGDIOBJ old = SelectObject(dc, font_);
        TEXTMETRICA tm;
        if (GetTextMetricsA(dc, &tm)) avg_char_ = tm.tmAveCharWidth;
        SelectObject(dc, old);
        ReleaseDC(wnd_, dc);
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        tips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, wnd_, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        if (tips_) SendMessageA(tips_, TTM_SETMAXTIPWIDTH, 0, 1024);
    } else {
        SendMessageA(wnd_, WM_SETREDRAW, FALSE, 0);
    }
    delete simple_;
    simple_ = nullptr;
    panes_.clear();
    int clock_chars = int(QwStatusClockText().size()) + 1;
    for (const QwPaneSpec* s = table; s->id != -1; ++s) {
        Pane p;
        p.id = s->id;
        p.style = s->style;
        int chars = s->id == kPaneClock && s->chars == 0 ? clock_chars : s->chars;
        int w = avg_char_ * chars + (chars < 13 ? 8 : 2);
        p.width = w > s->min_width ? w : s->min_width;
        p.flags = s->flags;
        panes_.push_back(p);
    }
    SendMessageA(wnd_, WM_SETREDRAW, TRUE, 0);
    Layout();
    InvalidateRect(wnd_, nullptr, TRUE);
    return true;
}

int QWCustomStatusBar::CommandToIndex(int id) const {
    for (size_t i = 0; i < panes_.size(); ++i)
        if (panes_[i].id == id) return int(i);
    return -1;
}

std::string QWCustomStatusBar::PaneText(int i) const {
    return i >= 0 && i < PaneCount() ? panes_[size_t(i)].text : std::string();
}
COLORREF QWCustomStatusBar::PaneTextColour(int i) const {
    const Pane& p = panes_[size_t(i)];
    return (p.flags & 0x20) ? p.fg : GetSysColor(COLOR_BTNTEXT);
}
COLORREF QWCustomStatusBar::PaneBackColour(int i) const {
    const Pane& p = panes_[size_t(i)];
    return (p.flags & 0x40) ? p.bg : GetSysColor(COLOR_BTNFACE);
}
int QWCustomStatusBar::PaneWidth(int i) const { return panes_[size_t(i)].width; }
RECT QWCustomStatusBar::PaneRect(int i) const {
    return i >= 0 && size_t(i) < rects_.size() ? rects_[size_t(i)] : RECT{0, 0, 0, 0};
}
std::string QWCustomStatusBar::SimpleText() const {
    if (!simple_) return std::string();
    int id = simple_->id;
    return id > 0 && id < PaneCount() ? panes_[size_t(id)].text : simple_->text;
}

int QWCustomStatusBar::TextWidth(const std::string& text) const {
    HDC dc = GetDC(wnd_);
    HGDIOBJ old = SelectObject(dc, font_);
    SIZE sz{0, 0};
    GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &sz);
    SelectObject(dc, old);
    ReleaseDC(wnd_, dc);
    return sz.cx;
}

int QWCustomStatusBar::HitTest(POINT pt) const {
    for (size_t i = 0; i < rects_.size(); ++i)
        if (PtInRect(&rects_[i], pt)) return int(i);
    return -1;
}

void QWCustomStatusBar::Layout() {
    if (!wnd_) return;
    RECT client;
    GetClientRect(wnd_, &client);
    int fixed = 0;
    for (const Pane& p : panes_)
        if (!(p.style & kStretch)) fixed += p.width;
    rects_.assign(panes_.size(), RECT{});
    int x = 0;
    for (size_t i = 0; i < panes_.size(); ++i) {
        int w = panes_[i].width;
        if (panes_[i].style & kStretch) {
            int rest = client.right - fixed;
            if (rest > w) w = rest;
            panes_[i].width = w;
        }
        rects_[i] = RECT{x, 0, x + w, client.bottom};
        x += w;
    }
    if (simple_) simple_->width = client.right;
    UpdateTools();
}

// Each pane is a tool of the tip window, placed over the pane.
void QWCustomStatusBar::UpdateTools() {
    if (!tips_) return;
    while (SendMessageA(tips_, TTM_GETTOOLCOUNT, 0, 0) > 0) {
        TTTOOLINFOA ti{};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        if (!SendMessageA(tips_, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&ti))) break;
        SendMessageA(tips_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    }
    for (size_t i = 0; i < panes_.size() && i < rects_.size(); ++i) {
        TTTOOLINFOA ti{};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.uFlags = TTF_SUBCLASS;
        ti.hwnd = wnd_;
        ti.uId = UINT_PTR(panes_[i].id);
        ti.rect = rects_[i];
        ti.lpszText = LPSTR_TEXTCALLBACKA;
        SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

// The text of a pane's tip, asked for when it shows; none in simple mode.
LRESULT QWCustomStatusBar::OnTipText(NMHDR* hdr) {
    const int id = int(hdr->idFrom);
    tip_.clear();
    if (!simple_) {
        if (g_hooks.tooltip) {
            tip_ = g_hooks.tooltip(id);
        } else {
            QwStatusViewInfo info;
            if (g_hooks.view_info) g_hooks.view_info(&info);
            if (info.folder.empty()) {
                char cwd[MAX_PATH] = "";
                DWORD n = GetCurrentDirectoryA(MAX_PATH, cwd);
                if (n && n < MAX_PATH) info.folder = cwd;
            }
            tip_ = QwStatusTooltipText(id, info);
        }
    }
    if (hdr->code == TTN_GETDISPINFOW) {
        auto* di = reinterpret_cast<NMTTDISPINFOW*>(hdr);
        int n = MultiByteToWideChar(CP_ACP, 0, tip_.c_str(), -1, nullptr, 0);
        wtip_.assign(size_t(n > 0 ? n : 1), L'\0');
        if (n > 0) MultiByteToWideChar(CP_ACP, 0, tip_.c_str(), -1, &wtip_[0], n);
        di->lpszText = &wtip_[0];
        di->hinst = nullptr;
    } else {
        auto* di = reinterpret_cast<NMTTDISPINFOA*>(hdr);
        di->lpszText = &tip_[0];
        di->hinst = nullptr;
    }
    return 0;
}

int QWCustomStatusBar::Bar_SetPaneText(const char* text, int index, unsigned draw, int colour) {
    if (index < 0 || index >= PaneCount()) {
        MsgOut(QW_MSG_LOG, "In QWCustomStatusBar::Bar_SetPaneText() and !Pain_Valid( %d ) drawflag: %x, pszText: %s",
               index, draw, text ? text : "zilch");
        return 0;
    }
    if (wnd_ && GetWindowThreadProcessId(wnd_, nullptr) != GetCurrentThreadId()) {
        // Another thread never touches the panes: the bar's thread does it.
        auto* rec = new QwStatusRequest{nullptr, panes_[size_t(index)].id, draw, unsigned(colour)};
        if (text) {
            rec->text = static_cast<char*>(malloc(strnlen(text, 299) + 1));
            if (rec->text) {
                memcpy(rec->text, text, strnlen(text, 299));
                rec->text[strnlen(text, 299)] = 0;
            }
        }
        if (!PostMessageA(wnd_, kMsgStatusRequest, reinterpret_cast<WPARAM>(rec), 1)) QwStatusRequestFree(rec);
        return 1;
    }
    if (draw & kSbLeaveSimple) Bar_Simple(0, 0);
    else if (draw & kSbEnterSimple) Bar_Simple(1, index);
    Pane& p = panes_[size_t(index)];
    int result = 1;
    std::string t;
    if (text) {
        t = Cut(text, 299);
        if (t != p.text || (draw & kSbAppend)) {
            if ((draw & kSbAppend) && !p.text.empty()) {
                p.text = Cut((p.text + t).c_str(), 299);
                if (p.flags & 0x60) colour = -1;
            } else {
                p.text = t;
            }
            result = 2;
        }
    }
    if ((draw & kSbMeasure) && TextWidth(p.text) > p.width - 6) result |= kSbTooWide;
    if ((draw & kSbApplyNow) || ((draw & kSbApplyIfChanged) && (result & 2))) {
        unsigned before = p.flags;
        COLORREF fg = p.fg, bg = p.bg;
        if (colour == 0) {
            p.flags &= ~0x60u;
        } else if (colour != -1) {
            if (colour & 0x2000) { p.fg = RGB(255, 255, 255); p.flags |= 0x20; }
            else if (colour & 0x1000) { p.fg = 0x00FFFF; p.flags |= 0x20; }
            if (colour & 0x4000) { p.bg = 0x800000; p.flags |= 0x40; }
        }
        if (result & kSbTooWide) Bar_Simple(1, index);
        if (text) {
            p.flags |= 0x8;
            if (wnd_) {
                InvalidateRect(wnd_, nullptr, FALSE);
                UpdateWindow(wnd_);
            }
        } else if (wnd_ && (before != p.flags || fg != p.fg || bg != p.bg)) {
            InvalidateRect(wnd_, nullptr, FALSE);
        }
    }
    return result;
}

bool QWCustomStatusBar::Bar_Simple(int mode, int id) {
    if (mode == -1) return simple_ != nullptr;
    std::unique_lock<std::timed_mutex> lock(SimpleLock(), std::defer_lock);
    if (!lock.try_lock_for(std::chrono::milliseconds(500))) {
        MsgOut(QW_MSG_LOG, "In QWCustomStatusBar::Bar_Simple() and Mutex timed out!!");
        return simple_ != nullptr;
    }
    if (mode == 1 && !simple_) {
        simple_ = new Pane;
        simple_->id = id;
        simple_->style = id == 0 ? kNoBorders : 0;
        RECT rc{};
        if (wnd_) GetClientRect(wnd_, &rc);
        simple_->width = rc.right;
        if (wnd_) InvalidateRect(wnd_, nullptr, TRUE);
    } else if (mode == 0 && simple_) {
        if (simple_->id == 0) simple_->text.clear();
        state_ &= ~kMessageShowing;
        delete simple_;
        simple_ = nullptr;
        if (wnd_) InvalidateRect(wnd_, nullptr, TRUE);
    }
    return simple_ != nullptr;
}

void QWCustomStatusBar::SetPaneTextAt(int index, const char* text, bool update) {
    if (index == 0 && text && *text) {
        Bar_Simple(1, 1);
        state_ |= kMessageShowing;
        Bar_SetPaneText(text, 1, update ? unsigned(kSbApplyNow) : 0u, -1);
        return;
    }
    Bar_SetPaneText(text, index, update ? unsigned(kSbApplyNow) : 0u, -1);
}

unsigned QWCustomStatusBar::SetFlag(int mode, unsigned bits) {
    if (mode == 1) state_ |= bits;
    else if (mode == 0) state_ &= ~bits;
    return state_ & bits;
}

void QWCustomStatusBar::FilterMessage(const MSG* m) {
    if (!(state_ & kMessageShowing) && !simple_) return;
    bool end = false;
    switch (m->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        end = m->wParam != VK_SHIFT && m->wParam != VK_CONTROL && m->wParam != VK_MENU;
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        end = m->hwnd != wnd_;
        break;
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN: {
        char cls[16] = "";
        GetClassNameA(m->hwnd, cls, sizeof cls);
        end = strcmp(cls, "#32770") != 0;
        break;
    }
    case WM_MOUSEMOVE:
        end = m->hwnd == wnd_ && simple_;
        break;
    }
    if (end) {
        state_ &= ~kMessageShowing;
        Bar_Simple(0, 0);
    }
}

void QWCustomStatusBar::UpdatePanes(const QwStatusViewInfo& info) {
    if (simple_) return;
    std::vector<std::string> texts = QwStatusPaneTexts(info, QwStatusClockText());
    for (int id = kPaneMode; id <= kPanePath; ++id) {
        int index = CommandToIndex(id);
        if (index < 0) continue;
        const std::string& t = texts[size_t(id - kPaneMode)];
        if (id == kPaneMode) {
            if (state_ & kMessageShowing) continue;
            Bar_SetPaneText(t.c_str(), index, kSbApplyIfChanged, 0);
        } else if (id == kPaneModified) {
            Bar_SetPaneText(t.c_str(), index, kSbApplyNow, info.edited && info.autosave ? 0x6000 : 0);
        } else if (id == kPanePath) {
            // Shortened with an ellipsis to the pane's width.
            std::string s = t;
            int limit = PaneWidth(index) - 6;
            if (TextWidth(s) > limit) {
                while (!s.empty() && TextWidth(s + "...") > limit) s.pop_back();
                s += "...";
            }
            Bar_SetPaneText(s.c_str(), index, kSbApplyIfChanged, -1);
        } else if (id != kPaneGap1 && id != kPaneGap2 && id != kPaneGap3) {
            Bar_SetPaneText(t.c_str(), index, kSbApplyIfChanged, -1);
        }
    }
}

void QWCustomStatusBar::DrawPane(HDC dc, const Pane& p, RECT rc) {
    SetBkColor(dc, (p.flags & 0x40) ? p.bg : GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, (p.flags & 0x20) ? p.fg : GetSysColor(COLOR_BTNTEXT));
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    if (!(p.style & kNoBorders)) DrawEdge(dc, &rc, BDR_SUNKENOUTER, BF_RECT);
    RECT text = rc;
    InflateRect(&text, -3, -1);
    DrawTextA(dc, p.text.c_str(), int(p.text.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void QWCustomStatusBar::Paint(HDC dc) {
    HGDIOBJ old = SelectObject(dc, font_);
    if (simple_) {
        RECT rc;
        GetClientRect(wnd_, &rc);
        Pane shown = *simple_;
        shown.text = SimpleText();
        int id = simple_->id;
        if (id > 0 && id < PaneCount()) {
            shown.flags = panes_[size_t(id)].flags;
            shown.fg = panes_[size_t(id)].fg;
            shown.bg = panes_[size_t(id)].bg;
        }
        DrawPane(dc, shown, rc);
    } else {
        for (size_t i = 0; i < panes_.size() && i < rects_.size(); ++i) DrawPane(dc, panes_[i], rects_[i]);
    }
    SelectObject(dc, old);
}

LRESULT CALLBACK QWCustomStatusBar::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<QWCustomStatusBar*>(cs->lpCreateParams)->wnd_ = wnd;
    }
    auto* self = reinterpret_cast<QWCustomStatusBar*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(wnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        self->wnd_ = nullptr;
        self->tips_ = nullptr; // an owned window: gone with the bar
        SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
        return DefWindowProcA(wnd, msg, wp, lp);
    }
    return self->WindowProc(msg, wp, lp);
}

LRESULT QWCustomStatusBar::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd_, &ps);
        Paint(dc);
        EndPaint(wnd_, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lp);
        if (hdr && (hdr->code == TTN_GETDISPINFOA || hdr->code == TTN_GETDISPINFOW))
            return OnTipText(hdr);
        break;
    }
    case WM_SIZE:
        Layout();
        InvalidateRect(wnd_, nullptr, FALSE);
        return 0;
    case WM_TIMER:
        if (wp == 1) {
            QwStatusViewInfo info;
            if (g_hooks.view_info) g_hooks.view_info(&info);
            UpdatePanes(info);
        }
        return 0;
    case WM_MOUSEMOVE:
        if (simple_) {
            state_ &= ~kMessageShowing;
            Bar_Simple(0, 0);
        }
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
        if (simple_) return 0;
        POINT pt{short(LOWORD(lp)), short(HIWORD(lp))};
        int i = HitTest(pt);
        if (i >= 0 && g_hooks.pane_click) {
            int id = panes_[size_t(i)].id;
            bool right = msg == WM_RBUTTONDOWN;
            if (!right || id == kPanePath) g_hooks.pane_click(id, right);
        }
        return 0;
    }
    case kMsgStatusRequest: {
        auto* rec = reinterpret_cast<QwStatusRequest*>(wp);
        if (!rec) return 0;
        int index = CommandToIndex(rec->pane);
        // From the message function (lParam 0): apply now and measure, and
        // the message pane then shows a message.
        unsigned draw = lp == 0 ? (rec->style | kSbApplyNow | kSbMeasure) : rec->style;
        int colour = int(rec->flash);
        if (index >= 0) Bar_SetPaneText(rec->text ? rec->text : "", index, draw, colour);
        if (lp == 0) state_ |= kMessageShowing;
        QwStatusRequestFree(rec);
        return 0;
    }
    }
    return DefWindowProcA(wnd_, msg, wp, lp);
}

// --- the frame's seams and the outlets ------------------------------------

void QwSetStatusHooks(const QwStatusHooks& hooks) { g_hooks = hooks; }

bool QwCreateStatusBar(HWND frame) {
    auto* bar = new QWCustomStatusBar;
    if (!bar->Create(frame, g_table)) {
        delete bar;
        return false;
    }
    SetTimer(bar->hwnd(), 1, 1000, nullptr);
    g_bar = bar;
    return true;
}

QWCustomStatusBar* QwGetStatusBar() { return g_bar; }

void QwDestroyStatusBar() {
    delete g_bar;
    g_bar = nullptr;
}

void QwStatusSetTextOutlet(const char* text, int pane, unsigned style, unsigned flash) {
    QWCustomStatusBar* bar = g_bar;
    if (!bar) return;
    int index = pane >= kPaneGap0 ? bar->CommandToIndex(pane) : pane;
    bar->Bar_SetPaneText(text, index, style | kSbApplyNow | kSbMeasure, int(flash));
    bar->SetFlag(1, kMessageShowing);
}

void QwStatusResetOutlet() {
    if (QWCustomStatusBar* bar = g_bar) {
        bar->SetFlag(0, kMessageShowing);
        bar->Bar_Simple(0, 0);
    }
}

void* QwStatusBarWindowOutlet() { return g_bar ? g_bar->hwnd() : nullptr; }

void QwStatusShowMessage(const char* text) {
    QWCustomStatusBar* bar = g_bar;
    if (!bar || !text) return;
    if (IsAppThread() || GetWindowThreadProcessId(bar->hwnd(), nullptr) == GetCurrentThreadId())
        bar->SetPaneTextAt(0, text, true);
    else
        MsgOut(QW_MSG_STATUS, "%s", text);
}

bool QwStatusFilter(MSG* msg) {
    if (g_bar) g_bar->FilterMessage(msg);
    return false;
}
