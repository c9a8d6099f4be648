// The view-state stack of CQWTextView: push, pop and drop around bulk work.
#include <algorithm>

#include "VmEngine/vm.h"
#include "editor/marks.h"
#include "editor/snapshots.h"
#include "editor/textview.h"

CViewSnapshot CQWTextView::TakeSnapshot() const {
    CViewSnapshot s;
    s.top_line() = int32_t(top_line_);
    s.caret_line() = int32_t(caret_line_);
    s.caret_col() = int32_t(caret_col_);
    s.caret_dcol() = int32_t(caret_dcol_);
    s.page_overlap() = GetPageOverlap();
    s.bar_width() = text_bar_width_;
    s.first_col() = int32_t(first_col_);
    s.cell_col() = int32_t(caret_cell_col_);
    s.cell_row() = int32_t(caret_cell_row_);
    s.remembered_col() = int32_t(remembered_col_);
    return s;
}

int CQWTextView::ViewState(uint32_t flags) {
    VMB* b = source_.buffer;
    CQWMarkTable* marks = b ? MarkTableOf(b) : nullptr;
    if (flags & QW_VS_PUSH) {
        ViewStateFrame f;
        if (flags & QW_VS_TRACK_CARET)
            CaretDisplayColumn(-1, 0);
        f.snap = TakeSnapshot();
        f.snap.options() = int32_t(flags & ~uint32_t(QW_VS_PUSH));
        if ((flags & QW_VS_TRACK_CARET) && marks) {
            // Slot 15 is the stack's: the outer level's position is kept
            // in this frame and comes back on pop.
            const auto& s = marks->slot(QW_MARK_VIEW_STATE);
            f.mark15_line = s.line;
            f.mark15_col = s.column;
            bool locked = marks->Lock(QW_MARK_VIEW_STATE, -1);
            marks->Lock(QW_MARK_VIEW_STATE, 0);
            marks->Set(QW_MARK_VIEW_STATE, int(caret_line_), int(caret_col_));
            marks->Lock(QW_MARK_VIEW_STATE, locked ? 1 : 0);
            f.snap.line_count() = GetLineCount();
        }
        if (flags & QW_VS_LOCK_EDITS) {
            if (b) {
                f.snap.line_edited() = int32_t(vm_state_flags(b, -1, 0x2));
                vm_state_flags(b, 0, 0x2);
            }
            if (marks) {
                f.mark13_was_locked = marks->Lock(QW_MARK_LAST_EDIT, -1);
                marks->Lock(QW_MARK_LAST_EDIT, 1);
            }
        }
        if (flags & QW_VS_FLAGS) {
            f.snap.view_flags() = int32_t(flags_.load());
            flags_ &= ~QW_VF_IMMEDIATE;
        }
        view_states_.push_back(f);
        return 1;
    }
    if (view_states_.empty())
        return 0;
    ViewStateFrame f = view_states_.back();
    view_states_.pop_back();
    if (flags & QW_VS_DROP) {
        if (marks && (uint32_t(f.snap.options()) & QW_VS_TRACK_CARET)) {
            marks->Reset(QW_MARK_VIEW_STATE);
            if (f.mark15_line > 0)
                marks->Set(QW_MARK_VIEW_STATE, f.mark15_line, f.mark15_col);
        }
        if (uint32_t(f.snap.options()) & QW_VS_FLAGS)
            flags_ |= uint32_t(f.snap.view_flags()) & QW_VF_IMMEDIATE;
        return 1;
    }
    if (!(flags & QW_VS_POP))
        return 0;
    CViewSnapshot& s = f.snap;
    const uint32_t saved = uint32_t(s.options());
    const int count = GetLineCount();
    top_line_ = uint32_t(std::clamp<int64_t>(s.top_line(), 1, std::max(count, 1)));
    caret_line_ = uint32_t(std::clamp<int64_t>(s.caret_line(), 1, std::max(count, 1)));
    caret_col_ = uint32_t(std::max(s.caret_col(), 0));
    caret_dcol_ = uint32_t(std::max(s.caret_dcol(), 0));
    SetPageOverlap(s.page_overlap());
    first_col_ = uint32_t(std::max(s.first_col(), 0));
    caret_cell_col_ = uint32_t(std::max(s.cell_col(), 0));
    caret_cell_row_ = uint32_t(std::max(s.cell_row(), 0));
    remembered_col_ = uint32_t(std::max(s.remembered_col(), 1));
    if ((saved & QW_VS_LOCK_EDITS) && b)
        vm_state_flags(b, 0, 0x2);
    if (saved & QW_VS_TRACK_CARET) {
        int line = s.caret_line(), col = -1;
        if (marks && marks->IsSet(QW_MARK_VIEW_STATE))
            marks->Get(QW_MARK_VIEW_STATE, &line, &col);
        line = std::clamp(line, 1, std::max(count, 1));
        if (!IsLineVisible(uint32_t(line)) && count != s.line_count() &&
            line >= int(top_line_)) {
            int64_t top = int64_t(top_line_) + (count - s.line_count());
            top_line_ = uint32_t(std::clamp<int64_t>(top, 1, std::max(count, 1)));
        }
        caret_line_ = uint32_t(line);
        SetCaretToDisplayColumn(uint32_t(std::max(s.caret_dcol(), 1)));
        if (marks) {
            marks->Reset(QW_MARK_VIEW_STATE);
            if (f.mark15_line > 0)
                marks->Set(QW_MARK_VIEW_STATE, f.mark15_line, f.mark15_col);
        }
    }
    if (saved & QW_VS_LOCK_EDITS) {
        if (b && s.line_edited())
            vm_state_flags(b, 1, 0x2);
        if (marks && !f.mark13_was_locked)
            marks->Lock(QW_MARK_LAST_EDIT, 0);
    }
    if ((saved & QW_VS_FLAGS) && (uint32_t(s.view_flags()) & QW_VF_IMMEDIATE))
        flags_ |= QW_VF_IMMEDIATE;
    if (b) {
        VmGuard g;
        vm_set_position(b, int(caret_line_), int(caret_col_));
    }
    if (flags & QW_VS_REFRESH_ALL)
        RefreshViews(0x1, false);
    else if (flags & QW_VS_REPAINT)
        RedrawWindowLines();
    if (flags & (QW_VS_REFRESH_ALL | QW_VS_REPAINT | QW_VS_TRACK_CARET))
        MakeCaretVisible(-1, 0);
    return 1;
}
