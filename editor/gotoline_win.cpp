// CQWTextView::GoToLine and MakeCaretVisible: where the caret and the window
// go (the top-line rules are in gotoline.cpp).
#include <algorithm>

#include "VmEngine/vm.h"
#include "editor/gotoline.h"
#include "editor/scrolling.h"
#include "editor/textview.h"

namespace {

// Reads the document further until it has `line` lines or ends; the lines known.
int ReadUpTo(VMB* b, int64_t line) {
    if (!vm_is_fully_read(b) && line > vm_line_count(b)) {
        VmGuard g;
        vm_read_lines(b, uint32_t(std::min<int64_t>(line, 0x7FFFFFFF)));
    }
    return std::max(vm_line_count(b), 0);
}

} // namespace

int CQWTextView::GoToLine(int line_in, int column, int mode, uint32_t flags) {
    VMB* b = source_.buffer;
    if (!b)
        return 0;
    int64_t line = line_in;
    bool exact = true;
    if ((flags & QW_GL_ORIGINAL_LINE) && line > 0) {
        int found;
        {
            VmGuard g;
            int count = std::max(vm_line_count(b), 0);
            int start = int(std::clamp<int64_t>(line, 1, std::max(count, 1)));
            found = count > 0 ? vm_line_tag(b, start, 0, uint32_t(line)) : 0;
        }
        if (found > 0)
            line = found;
        else
            exact = false; // no line carries the number: used as it is
    }
    int count = GetLineCount();
    if (line < 1 || (vm_is_fully_read(b) && line > count))
        return 0;
    count = ReadUpTo(b, line);
    if (line > count)
        return 0;

    const uint32_t old_line = caret_line_;
    const bool visible = IsLineVisible(uint32_t(line));
    const bool scroll = GoToLineNeedsScroll(mode, visible);
    uint32_t caret_row = 0;
    if (rows_ && old_line >= top_line_ && old_line - top_line_ < rows_)
        caret_row = old_line - top_line_;
    caret_line_ = uint32_t(line);
    caret_dcol_ = 0;
    if (flags & QW_GL_MARK_LINE)
        vm_set_mark_line(b, int(line));

    bool scrolled = false;
    if (scroll && rows_) {
        // No empty rows after the last line: what follows the target is
        // read first, as far as the window reaches.
        count = ReadUpTo(b, line + rows_);
        GoToLinePlace p;
        p.mode = mode;
        p.line = uint32_t(line);
        p.caret_row = caret_row;
        p.rows = rows_;
        p.line_count = count;
        uint32_t top = GoToLineTop(p);
        scrolled = top != top_line_;
        top_line_ = top;
    } else if (!scroll && (flags & QW_GL_REPAINT_LINE)) {
        RedrawLine(uint32_t(line), uint32_t(line) - top_line_, 1, 0);
    }
    if (flags & QW_GL_SCROLL_ONLY)
        caret_line_ = old_line;

    if (!(flags & QW_GL_KEEP_COLUMN)) {
        if (flags & QW_GL_REMEMBERED_COL)
            SetCaretToDisplayColumn(std::max<uint32_t>(remembered_col_, 1));
        else if (flags & QW_GL_DISPLAY_COLUMN)
            SetCaretToDisplayColumn(uint32_t(std::clamp(column, 1, int(QW_MAX_COLUMNS))));
        else
            SetCaretColumn(std::clamp(column, 0, int(QW_MAX_COLUMNS)));
    }
    if (!(flags & QW_GL_SCROLL_ONLY))
        scrolled |= MakeCaretVisible(-1, 0x1); // horizontally: the line is in view now

    if (scrolled)
        RedrawWindowLines();
    else
        UpdateCaret();
    UpdateScrollPos(false);
    if (flags & QW_GL_REMEMBER_COL)
        RememberColumn();
    if (flags & QW_GL_WAIT_DRAWING)
        WaitForDrawThread(1);
    bool landed = (flags & QW_GL_SCROLL_ONLY) ? true : int64_t(caret_line_) == line;
    return landed && exact ? 1 : 0;
}

bool CQWTextView::MakeCaretVisible(int row, uint32_t flags) {
    if (!(flags_ & QW_VF_IMMEDIATE) || IsHiddenView() || !source_.buffer || !rows_)
        return false;
    (void)row; // the caret row follows from the caret line here
    bool scrolled = false;
    if (!(flags & 0x1) && !IsLineVisible(caret_line_) && GetLineCount() > 0) {
        GoToLinePlace p;
        p.mode = 1;
        p.line = caret_line_;
        p.rows = rows_;
        p.line_count = GetLineCount();
        uint32_t top = GoToLineTop(p);
        scrolled = top != top_line_;
        top_line_ = top;
    }
    uint32_t c = GetDisplayColumn();
    if (cols_ && (int64_t(c) - int64_t(first_col_) > int64_t(cols_) || c <= first_col_)) {
        int64_t first = int64_t(c) - int64_t(cols_) + int64_t(cols_) / 6;
        first_col_ = uint32_t(std::max<int64_t>(first, 0));
        scrolled = true;
        UpdateScrollRange(false);
    }
    if (scrolled && !(flags & 0x1))
        RedrawWindowLines();
    return scrolled;
}
