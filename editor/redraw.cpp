// Repainting rows of a text view: a range with its caret row at once and
// the rest by the view-drawing thread, one row, one line, the one-line
// scrolls and the waits.
//
// Lock order, everywhere: the buffer lock, then the drawing lock. A painter
// holds both while it paints one row. The user-interface thread never
// starts a repaint while it holds the buffer lock: a wait for the drawing
// thread from there could never end.
#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "VmEngine/vm.h"
#include "editor/marks.h"
#include "editor/textbar.h"
#include "editor/textview.h"
#include "editor/viewdraw.h"

RowLayout CQWTextView::Layout() {
    RowLayout L;
    L.cell_w = EditorCellWidth();
    L.cell_h = EditorCellHeight();
    L.text_x = text_bar_width_;
    L.width = paint_rect_.right - paint_rect_.left;
    L.first_col = first_col_;
    L.visible_cols = cols_;
    L.rules = Rules();
    uint32_t f = flags_;
    L.line_kind = (f & QW_VF_WHOLE_LINE) ? QW_KIND_WHOLE_LINE
                  : (f & QW_VF_LIST)     ? QW_KIND_LIST
                                         : QW_KIND_TEXT;
    L.colouring = source_.colouring && (source_.lang >= 0 || source_.colourer);
    L.immediate = (f & QW_VF_IMMEDIATE) != 0;
    HFONT font = GetEditorFont();
    L.font = font ? font : static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
    L.window = ViewWindowColours();
    return L;
}

namespace {

// The spans of a line with [from, to) drawn in `kind` over whatever colours
// they gave it; pieces outside keep their own kinds.
std::vector<TokenSpan> OverlaySpan(const TokenSpan* spans, int n, int len, int from, int to,
                                   int kind) {
    std::vector<TokenSpan> out;
    out.reserve(size_t(n) + 3);
    bool placed = false;
    auto place = [&] {
        if (!placed) out.push_back(TokenSpan{from, to, kind});
        placed = true;
    };
    int at = 0;
    for (int i = 0; i < n; ++i) {
        int a = std::max(spans[i].start, at), b = std::min(spans[i].end, len);
        if (b <= a) continue;
        if (a < from) out.push_back(TokenSpan{a, std::min(b, from), spans[i].kind});
        if (b > from) place();
        if (b > to) out.push_back(TokenSpan{std::max(a, to), b, spans[i].kind});
        at = b;
    }
    place();
    return out;
}

} // namespace

void CQWTextView::DrawLine(CDrawHelper& helper, const char* text, uint32_t line,
                           int /*first_col*/, int length, uint32_t row, unsigned flags) {
    VMB* b = source_.buffer;
    RowPainter* p = helper.painter();
    if (!b || !p || (flags & QW_DI_MEASURE))
        return;
    const char* t = text;
    int len;
    if (!t) {
        VmGuard guard;
        int col = 0;
        int cur = vm_get_position(b, &col);
        // The line is read whole up to its 4096th character; the array has
        // room for the terminator the engine writes.
        int n = vm_read_text(b, int(line), 0, p->line, QW_MAX_COLUMNS, nullptr);
        if (cur > 0)
            vm_set_position(b, cur, col); // painting leaves the buffer's position alone
        if (n < 0)
            return;
        if (text_filter_) {
            int m = text_filter_(p->line, n, p->draw, QW_MAX_COLUMNS, 1);
            n = std::clamp(m, 0, int(QW_MAX_COLUMNS));
            std::copy(p->draw, p->draw + n, p->line);
            p->line[n] = 0;
        }
        t = p->line;
        len = n;
        if (length >= 0 && length <= len)
            len = length;
    } else {
        len = length >= 0 ? std::min(length, int(QW_MAX_COLUMNS))
                          : int(strnlen(text, QW_MAX_COLUMNS));
    }
    const uint32_t f = flags_;
    if (f & QW_VF_LIST) {
        helper.PaintLineRow(int(row), t, len, nullptr, 0,
                            vm_mark_line(b) == int(line) ? QW_KIND_MARKED : QW_KIND_LIST);
    } else if (!(f & QW_VF_WHOLE_LINE) && helper.layout().colouring) {
        int n = 0;
        if (source_.lang >= 0) {
            const RowLayout& L = helper.layout();
            LexLineSetup setup;
            setup.lang = source_.lang;
            setup.tab_width = source_.tab_width;
            setup.raw_columns = L.rules.raw;
            setup.fixed_columns = source_.fixed_columns;
            // Words that end left of the window are not looked up.
            setup.first = OffsetAtDisplayColumn(t, len, L.first_col + 1, L.rules, nullptr, false);
            if (LexStartState(b, int(line), source_.lang, true, &setup))
                flags_ |= QW_VF_RESCAN; // painted again once the states are known
            n = std::min(LexLine(p->lexer, setup, t, len, p->tokens, QW_MAX_COLUMNS + 1),
                         int(QW_MAX_COLUMNS) + 1);
            for (int i = 0; i < n; ++i)
                p->spans[i] = TokenSpan{p->tokens[i].start, p->tokens[i].end,
                                        LexColourKind(p->tokens[i].code)};
        } else {
            n = std::clamp(source_.colourer->ColourLine(b, int(line), t, len, p->spans,
                                                        QW_MAX_COLUMNS + 1),
                           0, int(QW_MAX_COLUMNS) + 1);
        }
        int from = 0, to = 0, kind = 0;
        if (SelectedPart(line, t, len, &from, &to, &kind)) {
            std::vector<TokenSpan> marked = OverlaySpan(p->spans, n, len, from, to, kind);
            helper.PaintLineRow(int(row), t, len, marked.data(), int(marked.size()));
        } else {
            helper.PaintLineRow(int(row), t, len, p->spans, n);
        }
    } else {
        int from = 0, to = 0, kind = 0;
        if (SelectedPart(line, t, len, &from, &to, &kind)) {
            const int plain = helper.layout().line_kind;
            TokenSpan whole{0, len, plain};
            std::vector<TokenSpan> marked = OverlaySpan(&whole, 1, len, from, to, kind);
            helper.PaintLineRow(int(row), t, len, marked.data(), int(marked.size()));
        } else {
            helper.PaintLineRow(int(row), t, len, nullptr, 0);
        }
    }
}

uint32_t CQWTextView::PaintRow(CDrawHelper& helper, uint32_t line, uint32_t row,
                               uint32_t count) {
    if (closing_)
        return 0;
    if (count > 0 && skip_line_ && line == skip_line_) {
        next_line_ = line + 1;
        next_row_ = row + 1;
        return rows_left_;
    }
    if (count > 0)
        rows_left_ = count - 1;
    if (row < rows_) {
        VMB* b = source_.buffer;
        int64_t known = b ? std::max(vm_line_count(b), 0) : 0;
        bool fully_read = b && vm_is_fully_read(b);
        if (int64_t(line) > known) {
            if (fully_read && int64_t(line) == known + 1 && (flags_ & QW_VF_EDITABLE) &&
                GetShowEofRow())
                helper.PaintEofRow(int(row));
            else
                helper.PaintEmptyRow(int(row));
        } else {
            DrawLine(helper, nullptr, line, -1, -1, row, 0);
        }
        PaintTextBar(helper, int64_t(line) > known ? -1 : int(line), row);
        if (row + 1 == rows_)
            helper.PaintEmptyRow(int(rows_)); // the partial row below the last whole one
    } else if (row == rows_) {
        helper.PaintEmptyRow(int(row));
    }
    if (count > 0) {
        next_line_ = line + 1;
        next_row_ = row + 1;
    }
    return rows_left_;
}

void CQWTextView::PaintTextBar(CDrawHelper& helper, int line, uint32_t row) {
    const uint32_t bar = TextBarFlags(-1, ~0u);
    RowPainter* p = helper.painter();
    if (!(bar & QW_TB_SHOWN) || text_bar_width_ <= 8 || !helper.screen() || !p || !p->dc())
        return;
    VMB* b = source_.buffer;
    const int cw = EditorCellWidth();
    int line_flags = 0, bookmark = -1;
    if (b && line > 0) {
        line_flags = std::max(vm_line_flags(b, line, -1, 0xFFFF), 0);
        if (CQWMarkTable* marks = (bar & QW_TB_BOOKMARKS) ? MarkTableOf(b) : nullptr) {
            uint32_t more = 0;
            int slot = marks->FindByLine(line, &more);
            bookmark = slot >= 0 && slot <= QW_MARK_BOOKMARK_LAST ? slot : -1;
        }
    }
    TextBarLayoutInfo L = LayoutTextBar(bar, true, GetLineCount(), cw, cw);
    RECT rc{0, 0, text_bar_width_, EditorCellHeight()};
    bool focus = (flags_ & QW_VF_FOCUS) && line == int(caret_line_);
    DrawTextBarRow(p->dc(), rc, L, bar, line, line_flags, bookmark, focus, cw);
    helper.CopyRowToWindow(int(row));
}

void CQWTextView::WinDraw(uint32_t first_line, uint32_t first_row, uint32_t count) {
    RepaintUnderBufferLock("CQWTextView::WinDraw");
    if (!(flags_ & QW_VF_IMMEDIATE) || (flags_ & QW_VF_HIDDEN) || !hwnd() || closing_)
        return;
    {
        DrawingLockGuard g;
        rows_left_ = 0;
    }
    if (!EditorCellWidth() || !EditorCellHeight() || !rows_)
        RecomputeGeometry();
    if (!rows_)
        return;
    // Rows past the partial one are never painted: a larger count only costs time.
    count = std::min(count, rows_ + 1);
    HDC dc = GetPaintDC();
    if (!dc)
        return;
    bool pending = false;
    {
        VmGuard buffer;
        DrawingLockGuard g;
        if (!painter_)
            painter_ = std::make_unique<RowPainter>();
        CDrawHelper h(*painter_, dc, Layout());
        if (h.valid()) {
            if (caret_made_)
                HideCaret(hwnd());
            if (caret_line_ >= first_line && caret_line_ - first_line < count) {
                PaintRow(h, caret_line_, first_row + (caret_line_ - first_line), 0);
                next_line_ = first_line;
                next_row_ = first_row;
                if (h.layout().colouring && count >= 2) {
                    // Colouring may carry from the caret line to the rows after it.
                    skip_line_ = 0;
                    rows_left_ = count;
                } else {
                    skip_line_ = caret_line_;
                    rows_left_ = count - 1;
                }
            } else if (!(count == 0 && first_row > rows_)) {
                skip_line_ = 0;
                PaintRow(h, first_line, first_row, count);
            }
            if (rows_left_ && !ViewDrawThreadRunning()) {
                // No thread to hand the rows to: they are painted now.
                while (rows_left_ && !closing_)
                    PaintRow(h, next_line_, next_row_, rows_left_);
            }
            pending = rows_left_ != 0;
        }
    }
    ReleasePaintDC(dc);
    if (pending) {
        ViewDrawHandOver(this);
    } else {
        RefreshCompareMarks();
        UpdateCaret();
    }
}

void CQWTextView::RedrawWindowLines() { WinDraw(top_line_, 0, rows_); }

void CQWTextView::RedrawLine(uint32_t line, uint32_t row, uint32_t /*count*/, uint32_t flags) {
    RepaintUnderBufferLock("CQWTextView::RedrawLine");
    if (!(flags_ & QW_VF_IMMEDIATE) || (flags_ & QW_VF_HIDDEN) || !hwnd() || closing_)
        return;
    if (!EditorCellHeight() || !rows_)
        RecomputeGeometry();
    HDC dc = GetPaintDC();
    if (!dc)
        return;
    const bool hide = (flags & QW_RL_HIDE_CARET) && caret_made_;
    if (hide)
        HideCaret(hwnd());
    {
        VmGuard buffer;
        DrawingLockGuard g;
        if (!painter_)
            painter_ = std::make_unique<RowPainter>();
        CDrawHelper h(*painter_, dc, Layout());
        if (h.valid())
            PaintRow(h, line, row, 0);
    }
    ReleasePaintDC(dc);
    if (hide)
        ShowCaret(hwnd());
    if (flags & QW_RL_PLACE_CARET)
        UpdateCaret();
}

void CQWTextView::RefreshLineMark(uint32_t old_line, uint32_t new_line) {
    if (!source_.buffer)
        return;
    vm_set_mark_line(source_.buffer, int(new_line));
    for (uint32_t line : {old_line, new_line})
        if (line && IsLineVisible(line))
            RedrawLine(line, line - top_line_, 1, 0);
}

void CQWTextView::DropPendingRows() {
    DrawingLockGuard g;
    rows_left_ = 0;
}

bool CQWTextView::IsRowPending(uint32_t row) {
    DrawingLockGuard g;
    return rows_left_ != 0 && row >= next_row_;
}

bool CQWTextView::RowsPendingAfter(uint32_t line) {
    DrawingLockGuard g;
    if (line == 0)
        return rows_left_ == 0;
    return rows_left_ == 0 || next_line_ > line;
}

void CQWTextView::WaitForDrawThread(int mode) {
    if (mode < 1 || mode > 3 || (mode == 2 && !HasSelection()) || (mode == 3 && HasSelection()))
        return;
    {
        DrawingLockGuard g;
        if (!rows_left_)
            return;
    }
    // The thread needs both locks for every row: a caller holding one would
    // wait in vain, so the rows are taken back from the thread instead.
    bool locked = RepaintUnderBufferLock("CQWTextView::WaitForDrawThread") || DrawingLockHeld();
    if (locked || WaitForSingleObject(ViewDrawDoneEvent(), 5000) != WAIT_OBJECT_0) {
        // The thread is held up elsewhere: the rows are taken back from it
        // under the lock, so whoever paints next paints alone.
        DrawingLockGuard g;
        AbandonPendingRows();
    }
}

void CQWTextView::ScrollOneLine(uint32_t row, bool down, int wait_mode) {
    WaitForDrawThread(wait_mode);
    if (!(flags_ & QW_VF_IMMEDIATE) || (flags_ & QW_VF_HIDDEN) || !hwnd() || closing_ || !rows_)
        return;
    const int ch = EditorCellHeight();
    if (row + 1 >= rows_ || !ch) {
        RedrawLine(top_line_ + row, row, 1, 0);
        return;
    }
    HDC dc = GetPaintDC();
    if (!dc)
        return;
    const uint32_t uncovered = down ? row : rows_ - 1;
    HRGN update = CreateRectRgn(0, 0, 0, 0);
    {
        VmGuard buffer;
        DrawingLockGuard g;
        RECT area{0, LONG(row) * ch, paint_rect_.right - paint_rect_.left, LONG(rows_) * ch};
        ScrollDC(dc, 0, down ? ch : -ch, &area, &area, update, nullptr);
        if (!painter_)
            painter_ = std::make_unique<RowPainter>();
        CDrawHelper h(*painter_, dc, Layout());
        if (h.valid())
            PaintRow(h, top_line_ + uncovered, uncovered, 0);
    }
    ReleasePaintDC(dc);
    // What the scroll uncovered besides that row (parts that were hidden
    // by other windows) is left to the paint message.
    HRGN painted = CreateRectRgn(0, LONG(uncovered) * ch, paint_rect_.right,
                                 LONG(uncovered + 1) * ch);
    if (update && painted && CombineRgn(update, update, painted, RGN_DIFF) > NULLREGION)
        InvalidateRgn(hwnd(), update, FALSE);
    if (painted)
        DeleteObject(painted);
    if (update)
        DeleteObject(update);
}

void CQWTextView::PaintPendingRow(RowPainter& painter) {
    if (!rows_left_)
        return;
    if (closing_) {
        AbandonPendingRows();
        return;
    }
    if (!(flags_ & QW_VF_THREAD_PAINTING)) {
        flags_ |= QW_VF_THREAD_PAINTING;
        if (hwnd())
            ValidateRect(hwnd(), nullptr); // a paint message would paint these rows again
    }
    HDC dc = GetPaintDC();
    {
        CDrawHelper h(painter, dc, Layout());
        if (h.valid())
            PaintRow(h, next_line_, next_row_, rows_left_);
        else
            rows_left_ = 0; // a helper that cannot paint drops the range
    }
    GdiFlush(); // the row is on screen before the locks go
    ReleasePaintDC(dc);
    if (!rows_left_) {
        flags_ &= ~QW_VF_THREAD_PAINTING;
        if (!closing_ && hwnd())
            PostMessageA(hwnd(), UWM_VIEW_ACTION, 0, 0);
    }
}

void CQWTextView::AbandonPendingRows() {
    rows_left_ = 0;
    flags_ &= ~QW_VF_THREAD_PAINTING;
}
