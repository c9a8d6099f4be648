// The selection of an edit: held as marks 9 (start), 10 (end) and 11
// (anchor) of the document's mark table, which moves them with edits, plus
// the type, state and on flag of the editing core.
#include <algorithm>
#include <cstdio>
#include <string>

#include "VmEngine/vm.h"
#include "editor/editops.h"

namespace {

int g_column_mode = 0;

uint32_t DcolOf(const EditCore& e, int line, int col) {
    std::string t;
    EditReadLine(e, line, &t);
    return DisplayColumnAt(t.data(), int(t.size()), col, e.rules);
}

int OffsetOf(const EditCore& e, int line, uint32_t dcol) {
    std::string t;
    EditReadLine(e, line, &t);
    uint32_t actual = 0;
    return OffsetAtDisplayColumn(t.data(), int(t.size()), dcol, e.rules, &actual, true);
}

bool Before(int l1, int c1, int l2, int c2) { return l1 < l2 || (l1 == l2 && c1 < c2); }

void RecordSelection(EditCore& e, int kind) {
    if (kind == QW_UNDO_KIND_SEL_START) {
        EditRecord(e, QW_UNDO_CLASS_SEL, kind, 0, e.line);
        return;
    }
    // The cleared selection's classification, type, state and marks.
    SelectionBounds b = EditGetSelectionBounds(e, true);
    int al = 0, ac = 0;
    if (e.marks && e.marks->Get(QW_MARK_SEL_ANCHOR, &al, &ac) && e.sel_type == QW_SEL_COLUMN)
        ac = int(DcolOf(e, al, ac));
    bool valid = b.code == QW_SB_VALID || b.code == QW_SB_COLUMN_MODE;
    int sl = 0, sc = 0, el = 0, ec = 0;
    if (valid && e.marks) {
        e.marks->Get(QW_MARK_SEL_START, &sl, &sc);
        e.marks->Get(QW_MARK_SEL_END, &el, &ec);
    }
    char extra[160];
    std::snprintf(extra, sizeof extra, "\t%u\t%u\t%u\t%u\t%u\t%u\t%u\t%u\t%u", unsigned(b.code),
                  unsigned(e.sel_type), unsigned(e.sel_state), unsigned(sl), unsigned(sc),
                  unsigned(el), unsigned(ec), unsigned(al), unsigned(ac));
    EditRecordGroup(e, QW_UNDO_CLASS_SEL, kind, 0, extra);
}

} // namespace

int ColumnSelectMode(int op) {
    if (op == 0 || op == 1) g_column_mode = op;
    return g_column_mode;
}

bool EditHasSelection(const EditCore& e) { return e.sel_on && e.marks && e.marks->IsSet(QW_MARK_SEL_START); }

SelectionBounds EditGetSelectionBounds(const EditCore& e, bool column_mode) {
    SelectionBounds b;
    b.type = e.sel_type;
    if (!e.sel_on || !e.marks) return b;
    int l9, c9, l10, c10;
    if (!e.marks->Get(QW_MARK_SEL_START, &l9, &c9) || !e.marks->Get(QW_MARK_SEL_END, &l10, &c10)) {
        b.code = QW_SB_NO_MARKS;
        return b;
    }
    b.start_line = l9;
    b.start_col = c9;
    b.end_line = l10;
    b.end_col = c10;
    if (e.sel_type == QW_SEL_COLUMN) {
        b.start_dcol = int(DcolOf(e, l9, c9));
        b.end_dcol = int(DcolOf(e, l10, c10));
        if (l10 < l9 || b.end_dcol < b.start_dcol) b.code = QW_SB_REVERSED;
        else if (b.end_dcol == b.start_dcol) b.code = QW_SB_EMPTY;
        else b.code = QW_SB_VALID;
    } else if (e.sel_type == QW_SEL_LINE) {
        b.start_col = 0;
        if (l10 < l9) b.code = QW_SB_REVERSED;
        else if (l10 == l9 && c10 != QW_SEL_END_EOL) b.code = QW_SB_EMPTY;
        else b.code = QW_SB_VALID;
    } else {
        if (c10 != QW_SEL_END_EOL && Before(l10, c10, l9, c9)) b.code = QW_SB_REVERSED;
        else if (l9 == l10 && c9 == c10) {
            if (e.sel_type == QW_SEL_CHAR_INCL) {
                b.end_col = c10 + 1;
                b.code = QW_SB_VALID;
            } else {
                b.code = QW_SB_EMPTY;
            }
        } else {
            if (e.sel_type == QW_SEL_CHAR_INCL && c10 != QW_SEL_END_EOL) b.end_col = c10 + 1;
            b.code = QW_SB_VALID;
        }
    }
    if (b.code == QW_SB_VALID && column_mode && g_column_mode) b.code = QW_SB_COLUMN_MODE;
    return b;
}

int EditSetSelection(EditCore& e, int op, bool record) {
    if (!e.marks) return -1;
    switch (op) {
    case 0:
    case 1: {
        if (op == 0) {
            e.marks->Set(QW_MARK_SEL_START, e.line, e.col);
            e.marks->Set(QW_MARK_SEL_END, e.line, e.col);
            e.marks->Set(QW_MARK_SEL_ANCHOR, e.line, e.col);
        } else {
            if (!vm_is_fully_read(e.buffer)) vm_map_line(e.buffer, VM_LINE_READ_ALL);
            int last = std::max(1, EditLastLine(e));
            e.marks->Set(QW_MARK_SEL_START, 1, 0);
            e.marks->Set(QW_MARK_SEL_ANCHOR, 1, 0);
            e.marks->Set(QW_MARK_SEL_END, last, EditLineLength(e, last));
        }
        e.sel_on = true;
        g_column_mode = 0;
        if (record) RecordSelection(e, QW_UNDO_KIND_SEL_START);
        return 1;
    }
    case 2: {
        int al, ac;
        if (!e.marks->Get(QW_MARK_SEL_ANCHOR, &al, &ac)) return 0;
        if (e.sel_type == QW_SEL_COLUMN) {
            uint32_t ad = DcolOf(e, al, ac);
            uint32_t cd = uint32_t(e.dcol);
            int l1 = std::min(al, e.line), l2 = std::max(al, e.line);
            uint32_t d1 = std::min(ad, cd), d2 = std::max(ad, cd);
            e.marks->Set(QW_MARK_SEL_START, l1, OffsetOf(e, l1, d1));
            e.marks->Set(QW_MARK_SEL_END, l2, OffsetOf(e, l2, d2));
        } else if (e.sel_type == QW_SEL_LINE) {
            int l1 = std::min(al, e.line), l2 = std::max(al, e.line);
            e.marks->Set(QW_MARK_SEL_START, l1, 0);
            if (l2 < EditLastLine(e)) e.marks->Set(QW_MARK_SEL_END, l2 + 1, 0);
            else e.marks->Set(QW_MARK_SEL_END, std::max(1, EditLastLine(e)), QW_SEL_END_EOL);
        } else if (!Before(e.line, e.col, al, ac)) {
            e.marks->Set(QW_MARK_SEL_START, al, ac);
            e.marks->Set(QW_MARK_SEL_END, e.line, e.col);
        } else {
            e.marks->Set(QW_MARK_SEL_START, e.line, e.col);
            e.marks->Set(QW_MARK_SEL_END, al, ac);
        }
        SelectionBounds b = EditGetSelectionBounds(e, false);
        return b.code == QW_SB_VALID ? 1 : 0;
    }
    case 3:
    case 4:
        if (record && e.sel_on) RecordSelection(e, QW_UNDO_KIND_SEL_CLEAR);
        e.marks->Reset(QW_MARK_SEL_START);
        e.marks->Reset(QW_MARK_SEL_END);
        if (op == 3) {
            e.sel_on = false;
            e.sel_state = QW_SST_NONE;
        }
        return 1;
    default:
        return -1;
    }
}

int EditSelectText(EditCore& e, int sl, int sc, int el, int ec, int type, int state, bool record) {
    if (sl == 0 || !e.marks) return 0;
    EditSetSelection(e, 3, record);
    e.sel_type = type;
    e.sel_state = state;
    int last = std::max(1, EditLastLine(e));
    if (type == QW_SEL_COLUMN) {
        // Columns given as display columns.
        sc = OffsetOf(e, sl, uint32_t(sc));
        ec = OffsetOf(e, el, uint32_t(ec));
    }
    if (type == QW_SEL_LINE && el > last) {
        el = last;
        ec = QW_SEL_END_EOL;
    }
    e.marks->Set(QW_MARK_SEL_ANCHOR, sl, sc);
    e.marks->Set(QW_MARK_SEL_START, sl, sc);
    e.marks->Set(QW_MARK_SEL_END, el, ec);
    e.sel_on = true;
    return 1;
}

int EditSelectionMode(EditCore& e, int type) {
    if (!e.buffer || EditLastLine(e) == 0 || !e.marks) return 0;
    if (e.sel_on && (e.sel_state == QW_SST_MARKS || e.sel_state == QW_SST_HIGHLIGHT))
        EditSetSelection(e, 3, true);
    if (e.sel_on && e.sel_type == type) {
        EditSetSelection(e, 3, true);
        return 1;
    }
    e.sel_type = type;
    if (!e.sel_on) EditSetSelection(e, 0, true);
    EditSetSelection(e, 2, false);
    e.sel_state = QW_SST_CARET;
    return 1;
}

int EditSelectAll(EditCore& e) {
    if (!e.buffer || !e.marks) return 0;
    EditSetSelection(e, 3, true);
    e.sel_type = QW_SEL_CHAR;
    e.sel_state = QW_SST_ALL;
    return EditSetSelection(e, 1, true);
}

bool EditTypingReplacesSelection(const EditCore& e, bool check_caret) {
    if (!EditHasSelection(e) || !e.typing_replaces || e.sel_state == QW_SST_HIGHLIGHT) return false;
    if (!check_caret) return true;
    // Only a caret on the selection or at one of its ends: a caret moved
    // away leaves the selection to be ended, not replaced out of sight.
    SelectionBounds b = EditGetSelectionBounds(e, false);
    if (b.code != QW_SB_VALID) return false;
    if (e.line < b.start_line || e.line > b.end_line) return false;
    if (b.type == QW_SEL_COLUMN) return e.dcol >= b.start_dcol && e.dcol <= b.end_dcol;
    if (e.line == b.start_line && e.col < b.start_col) return false;
    if (e.line == b.end_line && b.end_col != QW_SEL_END_EOL && e.col > b.end_col) return false;
    return true;
}

int EditDeleteSelection(EditCore& e) {
    if (!e.buffer || e.view_only || EditLastLine(e) == 0) return 0;
    SelectionBounds b = EditGetSelectionBounds(e, false);
    e.doc_flags &= ~QW_DOC_IMAGE_RECORDED;
    if (b.code != QW_SB_VALID) {
        EditSetSelection(e, 3, false);
        return 0;
    }
    if (e.marks) e.marks->Set(QW_MARK_SEL_DELETING, b.start_line, b.start_col);
    EditSetSelection(e, 3, false);
    int r = EditDeleteBlock(e, b);
    if (e.marks) e.marks->Reset(QW_MARK_SEL_DELETING);
    return r;
}

bool EditSelectionContains(const EditCore& e, int line, int col, int dcol, bool past_end_counts) {
    SelectionBounds b = EditGetSelectionBounds(e, false);
    if (b.code != QW_SB_VALID || line < b.start_line || line > b.end_line) return false;
    if (b.type == QW_SEL_COLUMN) return dcol >= b.start_dcol && dcol < b.end_dcol;
    if (line == b.start_line && col < b.start_col) return false;
    if (line == b.end_line && b.end_col != QW_SEL_END_EOL && col >= b.end_col) return false;
    // Past the end of its line a point lies beside a character selection.
    if (!past_end_counts && b.type == QW_SEL_CHAR && col >= EditLineLength(e, line)) return false;
    return true;
}
