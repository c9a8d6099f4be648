// The text view's mouse, wheel, timer and cursor handlers (the arithmetic
// is in mouse.cpp).
#include <algorithm>
#include <cstdlib>

#include "VmEngine/vm.h"
#include "editor/editops.h"
#include "editor/mouse.h"
#include "editor/scrolling.h"
#include "editor/textview.h"

namespace {

// Signed client coordinates of a mouse message (what windowsx.h gives,
// whose macros clash with the framework's names).
int XOf(LPARAM lp) { return int(short(LOWORD(lp))); }
int YOf(LPARAM lp) { return int(short(HIWORD(lp))); }

// Process-wide mouse state.
struct MouseState {
    int hit_area = QW_HIT_TEXT;
    bool selecting = false;
    bool busy = false;
    int drag_type = QW_SEL_CHAR;
    bool pointer_hidden = false;
    // A press on the selection waits for a move past the drag threshold
    // (a drag of the selection) or a release (a click).
    bool drag_pending = false;
    UINT press_message = 0; // the button that went down
    int press_x = 0, press_y = 0;
};
MouseState g_mouse;

int KeyFlags(WPARAM wp) {
    int k = int(wp & 0xFFFF);
    if (GetKeyState(VK_MENU) < 0)
        k |= 0x20;
    return k;
}

} // namespace

int MouseDragSelectionType() { return g_mouse.drag_type; }
int MouseLastHitArea() { return g_mouse.hit_area; }
bool MouseSelecting() { return g_mouse.selecting; }
void MouseSetBusy(bool busy) { g_mouse.busy = busy; }

bool CQWTextView::OnViewMouseEvent(UINT msg, int hit, int, int, int, int) {
    return msg == WM_LBUTTONDOWN && hit == QW_HIT_ICONS;
}

void CQWTextView::MoveToPoint(int x, int y, uint32_t move_flags) {
    PointGeometry g;
    g.margin = text_bar_width_;
    g.cell_w = std::max(EditorCellWidth(), 1);
    g.cell_h = std::max(EditorCellHeight(), 1);
    g.top_line = top_line_;
    g.line_count = GetLineCount();
    g.first_col = first_col_;
    g.visible_cols = cols_;
    if (move_flags & 0x4)
        g_mouse.hit_area = MouseHitArea(x, text_bar_width_);
    PointPosition p = PointToPosition(g, x, y);
    VMB* b = source_.buffer;
    if (!b)
        return;
    uint32_t dcol = p.dcol;
    if ((move_flags & 0x40) && g_mouse.drag_type != QW_SEL_COLUMN) {
        int len = std::max(vm_line_length(b, int(p.line)), 0);
        dcol = std::min(dcol, DisplayColumnOf(int(p.line), len));
    }
    if (!(flags_ & QW_VF_EDITABLE)) {
        // List views: only the marked line moves.
        uint32_t old = uint32_t(std::max(vm_mark_line(b), 0));
        if (old != p.line)
            RefreshLineMark(old, p.line);
        caret_line_ = p.line;
        return;
    }
    if (caret_line_ == p.line && GetDisplayColumn() == dcol)
        return;
    if (move_flags & 0x1)
        MouseSelection(0, g_mouse.drag_type);
    caret_line_ = p.line;
    SetCaretToDisplayColumn(p.above ? 1 : dcol);
    if (HasSelection() && g_mouse.drag_type == QW_SEL_WORD && !(move_flags & 0x10)) {
        char text[QW_MAX_COLUMNS + 1];
        int n;
        {
            VmGuard guard;
            n = std::max(vm_read_text(b, int(caret_line_), 0, text, QW_MAX_COLUMNS, nullptr), 0);
        }
        bool forward = mouse_x_ <= x || y > mouse_y_;
        SetCaretColumn(SnapToWord(text, n, int(caret_col_), forward, nullptr));
    }
    MakeCaretVisible(-1, 0);
    RememberColumn();
    if ((move_flags & 0x2) && HasSelection())
        MouseSelection(2, g_mouse.drag_type);
    UpdateCaret();
}

void CQWTextView::HideMouseWhileTyping(CQWTextView* view, int show) {
    if (show == 0) {
        if (g_mouse.pointer_hidden || !view || !view->hwnd() ||
            !(view->flags_ & QW_VF_EDITABLE) || !(view->flags_ & QW_VF_IMMEDIATE) ||
            GetFocus() != view->hwnd())
            return;
        POINT pt{};
        RECT rc{};
        GetCursorPos(&pt);
        ScreenToClient(view->hwnd(), &pt);
        ::GetClientRect(view->hwnd(), &rc);
        if (!PtInRect(&rc, pt))
            return;
        ShowCursor(FALSE);
        g_mouse.pointer_hidden = true;
        return;
    }
    if (show == 2 && view && view->source_.buffer)
        vm_state_flags(view->source_.buffer, 0, 0x20000);
    if (g_mouse.pointer_hidden) {
        ShowCursor(TRUE);
        g_mouse.pointer_hidden = false;
    }
}

void CQWTextView::RememberColumn() { remembered_col_ = std::max<uint32_t>(GetDisplayColumn(), 1); }

void CQWTextView::AutoScrollStep(int x, int y) {
    WaitForDrawThread(1);
    PointGeometry g;
    g.margin = text_bar_width_;
    g.cell_w = std::max(EditorCellWidth(), 1);
    g.cell_h = std::max(EditorCellHeight(), 1);
    g.visible_cols = cols_;
    const int count = GetLineCount();
    int drow = AutoScrollRows(y, rows_, g.cell_h);
    int dcol = AutoScrollColumns(g, x);
    uint32_t line = caret_line_;
    uint32_t target_col = GetDisplayColumn();
    bool moved = false;
    if (drow > 0) {
        uint32_t top = ClampTopLine(uint32_t(int64_t(top_line_) + drow), count, int(rows_));
        moved |= top != top_line_;
        top_line_ = top;
        line = uint32_t(std::min<int64_t>(int64_t(top_line_) + rows_ - 1, std::max(count, 1)));
    } else if (drow < 0) {
        uint32_t top = uint32_t(std::max<int64_t>(int64_t(top_line_) + drow, 1));
        moved |= top != top_line_;
        top_line_ = top;
        line = rows_ <= 1 ? 1 : top_line_;
    } else if (y >= 0) {
        line = uint32_t(std::clamp<int64_t>(int64_t(top_line_) + y / g.cell_h, 1, std::max(count, 1)));
    }
    if (dcol < 0) {
        int off = HorizontalScrollBy(int(first_col_), dcol, MaxLineWidth());
        moved |= off != int(first_col_);
        first_col_ = uint32_t(off);
        target_col = first_col_ + 1;
    } else if (dcol > 0) {
        int off = HorizontalScrollBy(int(first_col_), dcol, MaxLineWidth());
        moved |= off != int(first_col_);
        first_col_ = uint32_t(off);
        target_col = first_col_ + cols_;
    }
    bool caret_moved = line != caret_line_ || target_col != GetDisplayColumn();
    caret_line_ = line;
    SetCaretToDisplayColumn(std::max<uint32_t>(target_col, 1));
    if (caret_moved || moved) {
        MouseSelection(2, g_mouse.drag_type);
        RedrawWindowLines();
        UpdateScrollPos(false);
    }
}

bool CQWTextView::OnNavigationMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    const int x = XOf(lp), y = YOf(lp);
    *result = 0;
    switch (msg) {
    case WM_VSCROLL:
        OnVScroll(LOWORD(wp));
        return true;
    case WM_HSCROLL:
        OnHScroll(LOWORD(wp), int(HIWORD(wp)));
        return true;
    case WM_MOUSEWHEEL:
        OnMouseWheel(int(short(HIWORD(wp))));
        return true;
    case WM_LBUTTONDOWN: {
        g_mouse.selecting = false;
        if (g_mouse.busy || !source_.buffer)
            return true;
        const bool shift = (wp & MK_SHIFT) != 0, ctrl = (wp & MK_CONTROL) != 0;
        if (hwnd() && GetFocus() != hwnd())
            SetFocus(hwnd());
        bool had_selection = HasSelection();
        if (had_selection && !shift && PointOnSelection(x, y)) {
            g_mouse.drag_pending = true;
            g_mouse.press_message = WM_LBUTTONDOWN;
            g_mouse.press_x = x;
            g_mouse.press_y = y;
            SetCapture(hwnd());
            return true;
        }
        if (had_selection && !shift) {
            MouseSelection(3, 0);
            had_selection = false;
        }
        uint32_t mf = shift ? (had_selection ? 0x2 : 0x3) : 0;
        if (had_selection)
            mf |= 0x40;
        g_mouse.hit_area = MouseHitArea(x, text_bar_width_);
        PointGeometry g;
        g.margin = text_bar_width_;
        g.cell_w = std::max(EditorCellWidth(), 1);
        g.cell_h = std::max(EditorCellHeight(), 1);
        g.visible_cols = cols_;
        // Below the last row or right of the text columns nothing happens.
        if (y < 0 || y >= int(rows_) * g.cell_h ||
            x > g.margin + int(cols_) * g.cell_w - g.cell_w)
            return true;
        MoveToPoint(x, y, mf | 0x4);
        if (!shift && OnViewMouseEvent(WM_LBUTTONDOWN, g_mouse.hit_area, 0, g_mouse.busy, 0,
                                       KeyFlags(wp)))
            return true;
        if (GetLineCount() > 0 && !HasSelection()) {
            if (g_mouse.hit_area == QW_HIT_MARGIN) {
                MouseSelection(0, QW_SEL_LINE);
                g_mouse.drag_type = QW_SEL_LINE;
            } else if (ctrl) {
                SelectWordAtCaret();
            } else {
                g_mouse.drag_type = QW_SEL_MOUSE;
            }
        }
        mouse_x_ = x;
        mouse_y_ = y;
        if (wp & MK_LBUTTON) {
            SetCapture(hwnd());
            SetTimer(hwnd(), QW_AUTOSCROLL_TIMER, QW_AUTOSCROLL_MS, nullptr);
            g_mouse.selecting = true;
        }
        return true;
    }
    case WM_LBUTTONDBLCLK: {
        if (!source_.buffer)
            return true;
        MouseSelection(3, 0);
        MoveToPoint(x, y, 0x4);
        if (OnViewMouseEvent(msg, g_mouse.hit_area, 0, g_mouse.busy, 0, KeyFlags(wp)))
            return true;
        if (g_mouse.hit_area == QW_HIT_TEXT && !(wp & (MK_SHIFT | MK_CONTROL)) &&
            (flags_ & QW_VF_EDITABLE) && SelectWordAtCaret()) {
            g_mouse.drag_type = QW_SEL_WORD;
            SetCapture(hwnd());
            SetTimer(hwnd(), QW_AUTOSCROLL_TIMER, QW_AUTOSCROLL_MS, nullptr);
            g_mouse.selecting = true;
        }
        return true;
    }
    case WM_LBUTTONUP:
        if (g_mouse.drag_pending && g_mouse.press_message == WM_LBUTTONDOWN) {
            // A click on the selection: it ends and the caret goes there.
            g_mouse.drag_pending = false;
            ReleaseCapture();
            MouseSelection(3, 0);
            MoveToPoint(x, y, 0x4);
            return true;
        }
        if (g_mouse.selecting) {
            ReleaseCapture();
            KillTimer(hwnd(), QW_AUTOSCROLL_TIMER);
            g_mouse.selecting = false;
        }
        return true;
    case WM_MOUSEMOVE: {
        if (g_mouse.pointer_hidden) {
            ShowCursor(TRUE);
            g_mouse.pointer_hidden = false;
        }
        if (g_mouse.drag_pending) {
            const WPARAM button = g_mouse.press_message == WM_RBUTTONDOWN ? MK_RBUTTON : MK_LBUTTON;
            if (!(wp & button)) {
                g_mouse.drag_pending = false;
                ReleaseCapture();
            } else if (std::abs(x - g_mouse.press_x) > GetSystemMetrics(SM_CXDRAG) / 2 ||
                       std::abs(y - g_mouse.press_y) > GetSystemMetrics(SM_CYDRAG) / 2) {
                g_mouse.drag_pending = false;
                ReleaseCapture();
                TryDragSelection(g_mouse.press_message, g_mouse.press_x, g_mouse.press_y);
            }
            return true;
        }
        if (!g_mouse.selecting)
            return true;
        PointGeometry g;
        g.margin = text_bar_width_;
        g.cell_w = std::max(EditorCellWidth(), 1);
        g.cell_h = std::max(EditorCellHeight(), 1);
        g.visible_cols = cols_;
        if (!InTextRect(g, rows_, x, y) || !PastDragThreshold(mouse_x_, mouse_y_, x, y))
            return true;
        // The first move of a drag starts its selection where the button
        // went down; later moves carry its end.
        const bool had = HasSelection();
        MoveToPoint(x, y, (had ? 0x2 : 0x3) | ((had || (flags_ & 0x10)) ? 0x40 : 0));
        mouse_x_ = x;
        mouse_y_ = y;
        return true;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: {
        const bool mods = (wp & (MK_SHIFT | MK_CONTROL)) || GetKeyState(VK_MENU) < 0;
        if (g_mouse.selecting && HasSelection() && !mods) {
            g_mouse.drag_type = NextDragSelectionType(g_mouse.drag_type);
            MouseSelection(2, g_mouse.drag_type);
        } else if (!g_mouse.busy) {
            if (msg == WM_RBUTTONDOWN && HasSelection() && PointOnSelection(x, y)) {
                // Offered as a drag with the right button; a release
                // without a move is the button's own click.
                g_mouse.drag_pending = true;
                g_mouse.press_message = WM_RBUTTONDOWN;
                g_mouse.press_x = x;
                g_mouse.press_y = y;
                SetCapture(hwnd());
                return true;
            }
            OnViewMouseEvent(msg == WM_RBUTTONDOWN ? 516 : 518, g_mouse.hit_area, 0, 0, 0,
                             KeyFlags(wp));
        }
        return true;
    }
    case WM_RBUTTONUP:
        if (g_mouse.drag_pending && g_mouse.press_message == WM_RBUTTONDOWN) {
            g_mouse.drag_pending = false;
            ReleaseCapture();
        }
        if (!(flags_ & QW_VF_EAT_CLICK) && !g_mouse.selecting) {
            MouseSelection(3, 0);
            MoveToPoint(x, y, 0x4);
            OnViewMouseEvent(517, g_mouse.hit_area, 0, 0, 0, KeyFlags(wp));
        }
        flags_ &= ~QW_VF_EAT_CLICK;
        return true;
    case WM_CONTEXTMENU:
        if (x != -1 || y != -1) {
            POINT pt{x, y};
            ScreenToClient(hwnd(), &pt);
            g_mouse.hit_area = MouseHitArea(pt.x, text_bar_width_);
        }
        OnViewMouseEvent(517, g_mouse.hit_area, 0, 0, 0, 0);
        return true;
    case WM_TIMER:
        if (wp != QW_AUTOSCROLL_TIMER)
            return false;
        if (g_mouse.selecting) {
            POINT pt{};
            GetCursorPos(&pt);
            ScreenToClient(hwnd(), &pt);
            bool was = IsImmediateUpdate();
            AutoScrollStep(pt.x, pt.y);
            SetImmediateUpdate(was);
        }
        return true;
    case WM_SETCURSOR: {
        if (LOWORD(lp) != HTCLIENT || !(flags_ & QW_VF_EDITABLE))
            return false;
        POINT pt{};
        GetCursorPos(&pt);
        ScreenToClient(hwnd(), &pt);
        int area = MouseHitArea(pt.x, text_bar_width_);
        HCURSOR c = nullptr;
        if (area == QW_HIT_MARGIN)
            c = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(108));
        if (!c)
            c = LoadCursorA(nullptr, area == QW_HIT_TEXT && GetLineCount() > 0 && !HasSelection()
                                         ? IDC_IBEAM
                                         : IDC_ARROW);
        SetCursor(c);
        *result = TRUE;
        return true;
    }
    default:
        return false;
    }
}
