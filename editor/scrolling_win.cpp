// The text view's scroll bars, scroll commands, wheel and thumb tracking
// (the arithmetic is in scrolling.cpp).
#include <algorithm>

#include "VmEngine/vm.h"
#include "editor/colmap.h"
#include "editor/gotoline.h"
#include "editor/scrolling.h"
#include "editor/snapshots.h"
#include "editor/textview.h"
#include "framework/fwsplitter.h"
#include "framework/fwsync.h"
#include "opsys/msgout.h"

namespace {

// Lines per wheel notch from the system: the wheel driver's window when one
// runs, else the system setting (default 3). Looked up once.
unsigned WheelLinesSetting() {
    static unsigned lines = [] {
        unsigned n = 3;
        if (HWND w = FindWindowA("MouseZ", "Magellan MSWHEEL")) {
            UINT msg = RegisterWindowMessageA("MSH_SCROLL_LINES_MSG");
            DWORD_PTR r = 0;
            if (msg && SendMessageTimeoutA(w, msg, 0, 0, SMTO_ABORTIFHUNG, 1000, &r))
                return unsigned(r);
        }
        UINT sys = 0;
        if (SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &sys, 0))
            n = sys;
        return n;
    }();
    return lines;
}

bool OnUiThread(HWND w) { return GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId(); }

} // namespace

HWND CQWTextView::GetScrollBarCtrl(int bar) const {
    if (HWND h = fw::View::GetScrollBarCtrl(bar))
        return h; // the splitter's shared bars
    // Otherwise a scroll bar among the parent's children whose direction matches.
    HWND parent = hwnd() ? ::GetParent(hwnd()) : nullptr;
    if (!parent)
        return nullptr;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[16] = {};
        GetClassNameA(c, cls, int(sizeof cls));
        if (lstrcmpiA(cls, "ScrollBar") != 0)
            continue;
        bool vert = (GetWindowLongA(c, GWL_STYLE) & SBS_VERT) != 0;
        if (vert == (bar == SB_VERT))
            return c;
    }
    return nullptr;
}

bool CQWTextView::HasSplitColumns() const {
    auto* splitter = fw::DynamicDowncast<fw::SplitterWindow>(
        fw::Window::FromHandlePermanent(hwnd() ? ::GetParent(hwnd()) : nullptr));
    return splitter && splitter->GetColumnCount() > 1;
}

int CQWTextView::MaxLineWidth() {
    int count = GetLineCount();
    if (max_width_ >= 0 && max_width_lines_ == count)
        return max_width_;
    int widest = 0;
    if (VMB* b = source_.buffer) {
        uint32_t frames = 0, page = 0;
        vms_page_info(&frames, &page);
        VmGuard g;
        // Measuring every line costs a seek per line, and once the text no
        // longer fits the page cache it reads the whole swap file back, on
        // every change of the line count (a file still being read changes
        // it all the time). Such a buffer takes the engine's longest line
        // read from the file; the lines in the window below add what edits
        // and tabs made wider there. A smaller one is measured whole, so that
        // edited lines anywhere count.
        const uint64_t bytes = uint64_t(b->char_count) + uint64_t(VM_LINE_HDR) * uint32_t(std::max(count, 0));
        if (bytes > uint64_t(frames) * page / 2) {
            widest = int(std::min<uint32_t>(b->longest_line, QW_MAX_COLUMNS));
        } else {
            for (int l = 1; l <= count; ++l)
                widest = std::max(widest, vm_line_length(b, l));
        }
    }
    // Tabs widen lines on screen: the lines in the window are measured.
    for (uint32_t r = 0; r < rows_ && int64_t(top_line_) + r <= count; ++r) {
        int l = int(top_line_ + r);
        int len = source_.buffer ? vm_line_length(source_.buffer, l) : 0;
        widest = std::max(widest, int(DisplayColumnOf(l, len)) - 1);
    }
    max_width_ = std::min(widest, int(QW_MAX_COLUMNS));
    max_width_lines_ = count;
    return max_width_;
}

void CQWTextView::UpdateScrollPos(bool move_caret) {
    if (!hwnd() || IsHiddenView() || !(flags_ & QW_VF_IMMEDIATE))
        return;
    if (!OnUiThread(hwnd())) {
        PostMessageA(hwnd(), UWM_VIEW_ACTION, 2, move_caret ? 1 : 0);
        return;
    }
    QwScrollRange r = VerticalScrollRange(GetLineCount(), int(rows_), top_line_);
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = r.min;
    si.nMax = r.max;
    si.nPage = UINT(r.page);
    si.nPos = r.pos;
    if (HWND bar = GetScrollBarCtrl(SB_VERT))
        SetScrollInfo(bar, SB_CTL, &si, TRUE);
    if (move_caret)
        UpdateCaret();
}

void CQWTextView::UpdateScrollRange(bool move_caret) {
    if (!hwnd() || IsHiddenView() || !(flags_ & QW_VF_IMMEDIATE))
        return;
    if (!OnUiThread(hwnd())) {
        PostMessageA(hwnd(), UWM_VIEW_ACTION, 3, move_caret ? 1 : 0);
        return;
    }
    QwScrollRange r = HorizontalScrollRange(MaxLineWidth(), int(cols_), int(first_col_));
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = r.min;
    si.nMax = r.max;
    si.nPage = UINT(r.page);
    si.nPos = r.pos;
    if (HWND bar = GetScrollBarCtrl(SB_HORZ))
        SetScrollInfo(bar, SB_CTL, &si, TRUE);
    if (move_caret)
        UpdateCaret();
}

bool CQWTextView::ScrollTopTo(uint32_t top) {
    top = ClampTopLine(top, GetLineCount(), int(rows_));
    if (top == top_line_)
        return false;
    top_line_ = top;
    RedrawWindowLines();
    UpdateScrollPos(false);
    return true;
}

int CQWTextView::ScrollLineEarlier(int arg) {
    if (top_line_ <= 1)
        return 0;
    if (arg > 0 && rows_ && caret_line_ == top_line_ + rows_ - 1)
        return WindowScrollKeepRow(false);
    --top_line_;
    ScrollOneLine(0, true, 1);
    UpdateScrollPos(false);
    UpdateCaret();
    return 1;
}

int CQWTextView::ScrollLineLater(int arg) {
    if (int64_t(top_line_) >= GetLineCount())
        return 0;
    if (arg > 0 && caret_line_ == top_line_)
        return WindowScrollKeepRow(true);
    ++top_line_;
    ScrollOneLine(0, false, 1);
    UpdateScrollPos(false);
    UpdateCaret();
    return 1;
}

int CQWTextView::WindowScrollKeepRow(bool down) {
    int count = GetLineCount();
    if (down ? int64_t(top_line_) >= count || int64_t(caret_line_) >= count
             : top_line_ <= 1 || caret_line_ <= 1)
        return 0;
    if (down) {
        ++top_line_;
        ++caret_line_;
    } else {
        --top_line_;
        --caret_line_;
    }
    SetCaretToDisplayColumn(std::max<uint32_t>(remembered_col_, 1));
    ScrollOneLine(0, !down, 1);
    UpdateScrollPos(false);
    UpdateCaret();
    return 1;
}

int CQWTextView::ScrollColumns(int n) {
    int offset = HorizontalScrollBy(int(first_col_), n, MaxLineWidth());
    if (offset == int(first_col_))
        return 0;
    first_col_ = uint32_t(offset);
    RedrawWindowLines();
    UpdateScrollRange(true);
    return 1;
}

void CQWTextView::OnVScroll(int code) {
    if (flags_ & QW_VF_EAT_CLICK) {
        flags_ &= ~QW_VF_EAT_CLICK; // the click that switched the view to editing
        return;
    }
    switch (code) {
    case SB_LINEUP:
        ScrollLineEarlier(0);
        break;
    case SB_LINEDOWN:
        ScrollLineLater(0);
        break;
    case SB_PAGEUP:
    case SB_PAGEDOWN: {
        // A page less the overlap; the caret keeps its row.
        int page = std::max<int>(int(rows_) - GetPageOverlap(), 1);
        int64_t row = int64_t(caret_line_) - int64_t(top_line_);
        int64_t top = int64_t(top_line_) + (code == SB_PAGEUP ? -page : page);
        if (ScrollTopTo(uint32_t(std::max<int64_t>(top, 1)))) {
            caret_line_ = uint32_t(
                std::clamp<int64_t>(int64_t(top_line_) + row, 1, std::max(GetLineCount(), 1)));
            SetCaretToDisplayColumn(std::max<uint32_t>(remembered_col_, 1));
            UpdateCaret();
        }
        break;
    }
    case SB_THUMBTRACK: {
        VMB* b = source_.buffer;
        if (!b || GetLineCount() == 0)
            break;
        HWND bar = GetScrollBarCtrl(SB_VERT);
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        if (!bar || !GetScrollInfo(bar, SB_CTL, &si))
            break;
        QwScrollRange r;
        r.min = si.nMin;
        r.max = si.nMax;
        r.page = int(si.nPage);
        bool read_all = false;
        // The 32-bit track position: the message's word holds only 16 bits.
        uint32_t target = ThumbTargetLine(si.nTrackPos, r, vm_is_fully_read(b) != 0, &read_all);
        if (read_all) {
            fw::WaitCursor wait;
            {
                VmGuard g;
                vm_read_lines(b, 0x7FFFFFFF);
            }
            target = LastTopLine(GetLineCount(), int(rows_));
        }
        ScrollTopTo(target);
        if (ScrollTips(-1)) {
            char tip[300];
            FormatScrollTip(tip, int(sizeof tip), nullptr, int(top_line_));
            MsgOut(2, "%s", tip);
        }
        break;
    }
    default:
        break;
    }
}

void CQWTextView::OnHScroll(int code, int position) {
    switch (code) {
    case SB_LINELEFT:
        ScrollColumns(-1);
        break;
    case SB_LINERIGHT:
        ScrollColumns(1);
        break;
    case SB_PAGELEFT:
        ScrollColumns(-std::max<int>(int(cols_) / 3, 1));
        break;
    case SB_PAGERIGHT:
        ScrollColumns(std::max<int>(int(cols_) / 3, 1));
        break;
    case SB_THUMBTRACK: {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_TRACKPOS;
        HWND bar = GetScrollBarCtrl(SB_HORZ);
        if (bar && GetScrollInfo(bar, SB_CTL, &si))
            position = si.nTrackPos;
        first_col_ = uint32_t(std::clamp(position, 0, int(QW_MAX_COLUMNS)));
        RedrawWindowLines();
        UpdateScrollRange(true);
        break;
    }
    default:
        break;
    }
}

void CQWTextView::OnMouseWheel(int delta) {
    VMB* b = source_.buffer;
    if (!b)
        return;
    int lines = WheelScrollLines(delta, WheelLinesSetting(), int(rows_));
    if (!lines)
        return;
    int64_t top = int64_t(top_line_) + lines;
    if (lines > 0) {
        VmGuard g;
        if (!vm_is_fully_read(b))
            vm_read_lines(b, uint32_t(std::min<int64_t>(top + rows_, 0x7FFFFFFF)));
    }
    // Past either end the window stops at the last line or at line 1.
    ScrollTopTo(uint32_t(std::max<int64_t>(top, 1)));
}
