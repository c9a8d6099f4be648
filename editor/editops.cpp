// The editing engine: typing, deleting, splitting and joining, indenting,
// block insertion and the undo log. Selections are in selection.cpp.
//
// Undo log layout (one engine buffer per document, linked to it): a group
// record "class\tkind\tcmd\tline\tdcol[\textra...]" opens each group and is
// followed by the line images written before each change of the group,
// "5\tkind\tline\ttag\tflags\tstate\t<text>". Replaying a group applies its
// images in reverse order and writes the inverse images, in the order
// applied, as one group of the other log (undo <-> redo), so that replaying
// that group in reverse restores the state exactly.
#include "editor/editops.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "VmEngine/vm.h"
#include "VmEngine/vmundo.h"
#include "commands/cmdtable.h"

namespace {

bool IsBlank(int c) { return c == ' ' || c == '\t'; }

// A command stored as the last typed value (characters are 0..255).
constexpr int kCommandBase = 0x10000;

bool g_replaying = false;

std::string ReadLine(VMB* b, int line) {
    std::string s;
    int len = vm_line_length(b, line);
    if (len <= 0) return s;
    s.resize(size_t(len) + 1);
    int n = vm_read_text(b, line, 0, &s[0], len, nullptr);
    s.resize(n > 0 ? size_t(n) : 0);
    return s;
}

int LineCount(VMB* b) { return vm_line_count(b); }

void EnsureLine(EditCore& e) {
    if (LineCount(e.buffer) == 0) vm_insert_line(e.buffer, 0, "", 0);
}

VMB* UndoLog(EditCore& e, bool create) {
    VMB* log = vm_undo_buffer(e.buffer, VM_UNDO_GET);
    if (!log && create) log = vm_undo_buffer(e.buffer, VM_UNDO_CREATE);
    return log;
}

VMB* RedoLog(VMB* log, bool create) {
    if (!log) return nullptr;
    VMB* r = vm_undo_buffer(log, VM_UNDO_GET);
    if (!r && create) r = vm_undo_buffer(log, VM_UNDO_REDO);
    return r;
}

void AppendRecord(VMB* log, const std::string& rec) {
    vm_insert_line(log, LineCount(log), rec.data(), int(rec.size()));
}

int FirstField(VMB* log, int line) {
    char buf[112];
    int n = vm_read_text(log, line, 0, buf, 100, nullptr);
    if (n < 0) return -1;
    return std::atoi(buf);
}

// Removes the oldest group: from line 2 on, image records belong to it.
void TrimOldestGroup(EditCore& e, VMB* log) {
    int n = LineCount(log);
    bool noticed = false;
    for (int l = 2; l <= n; ++l) {
        if (l >= 100 && !noticed && e.trim_notice) {
            noticed = true;
            e.trim_notice(e);
        }
        if (FirstField(log, l) != QW_UNDO_CLASS_IMAGE) {
            vm_delete_lines(log, 1, l - 1, 0);
            return;
        }
    }
    // A single group: only a log of one group at most is emptied.
    if (e.undo_max == 1) vm_delete_lines(log, 1, -1, 0);
}

bool Recording(const EditCore& e) {
    return e.buffer && e.undo_max > 0 && !e.recording_off;
}

void WriteGroup(EditCore& e, int cls, int kind, int cmd, const char* extra) {
    if (!Recording(e) || e.in_group_record) return;
    e.in_group_record = true;
    VMB* log = UndoLog(e, true);
    if (log) {
        if (LineCount(log) == 0) vm_undo_enable(log, 1, 0);
        int count = vm_undo_enable(log, -1, 0);
        if (count >= e.undo_max) TrimOldestGroup(e, log);
        else vm_undo_enable(log, 1, count + 1);
        char rec[160];
        std::snprintf(rec, sizeof rec, "%u\t%u\t%u\t%u\t%u%s", unsigned(cls), unsigned(kind),
                      unsigned(cmd), unsigned(e.line), unsigned(e.dcol), extra ? extra : "");
        AppendRecord(log, rec);
        // A group's images are taken afresh: replaying one group alone must
        // restore every line it changed.
        e.doc_flags &= ~QW_DOC_IMAGE_RECORDED;
        if (!g_replaying) EditDropRedo(e);
    }
    e.in_group_record = false;
}

void WriteImage(EditCore& e, int kind, int line) {
    if (!Recording(e) || !e.record_images) return;
    VMB* log = UndoLog(e, true);
    if (!log) return;
    if (LineCount(log) == 0 && !e.in_group_record) WriteGroup(e, QW_UNDO_CLASS_START, 0, 0, nullptr);
    int tag = 0, flags = 0, state = 0;
    std::string text;
    if (kind != QW_UNDO_IMG_INSERTED && line >= 1 && line <= LineCount(e.buffer)) {
        text = ReadLine(e.buffer, line);
        flags = vm_line_flags(e.buffer, line, VM_OP_READ, 0xFF) & 0xFF;
        if (kind == QW_UNDO_IMG_DELETED) tag = int(vm_line_tag(e.buffer, line, -1, 0));
        if (kind == QW_UNDO_IMG_CHANGED && !(flags & 0x1)) {
            vm_line_flags(e.buffer, line, VM_OP_SET | VM_OP_KEEP_POS, 0x1);
            state |= 0x2;
        }
    }
    if (kind == QW_UNDO_IMG_CHANGED_KEEP) kind = QW_UNDO_IMG_CHANGED;
    char head[96];
    std::snprintf(head, sizeof head, "%u\t%u\t%u\t%u\t%u\t%d\t", 5u, unsigned(kind), unsigned(line),
                  unsigned(tag), unsigned(flags), state);
    AppendRecord(log, head + text);
}

// One engine operation is one undo group: the outermost call opens it,
// unless a command's group record was just written for it.
struct OpScope {
    explicit OpScope(EditCore& core) : e(core) {
        if (e.op_depth++ == 0) {
            if (e.group_open) e.group_open = false;
            else WriteGroup(e, QW_UNDO_CLASS_CMD, 0, 0, nullptr);
            e.last_typed = -1;
        }
    }
    ~OpScope() { --e.op_depth; }
    OpScope(const OpScope&) = delete;
    OpScope& operator=(const OpScope&) = delete;
    EditCore& e;
};

// Records the caret line's before-image once per visit.
void RecordCaretLine(EditCore& e) {
    if (e.doc_flags & QW_DOC_IMAGE_RECORDED) return;
    WriteImage(e, QW_UNDO_IMG_CHANGED, e.line);
    e.doc_flags |= QW_DOC_IMAGE_RECORDED;
}

void SetLastEdit(EditCore& e) {
    if (e.marks) e.marks->Set(QW_MARK_LAST_EDIT, e.line, e.col);
}

uint32_t DisplayOf(const EditCore& e, const std::string& text, int col) {
    return DisplayColumnAt(text.data(), int(text.size()), col, e.rules);
}

void Resync(EditCore& e) {
    std::string t = ReadLine(e.buffer, e.line);
    e.dcol = int(DisplayOf(e, t, e.col));
}

// Pads the caret line with blanks (or tabs and blanks) up to the caret's
// display column; the caret column becomes the new end.
void PadToCaret(EditCore& e, const std::string& text) {
    int len = int(text.size());
    if (e.col <= len) return;
    std::string pad;
    uint32_t at = DisplayOf(e, text, len);
    uint32_t target = uint32_t(e.dcol);
    if (e.settings.fill_with_tabs && !e.rules.raw) {
        int tab = ColumnRulesTab(e.rules);
        while (NextTabStop(at, tab) <= target) {
            pad += '\t';
            at = NextTabStop(at, tab);
        }
    }
    while (at < target) {
        pad += ' ';
        ++at;
    }
    vm_insert_text(e.buffer, e.line, len, pad.data(), int(pad.size()));
    if (e.marks) e.marks->CharsInserted(e.line, len, int(pad.size()));
    e.col = len + int(pad.size());
}

// A caret inside a tab's expansion: blanks before the tab bring the caret to
// the tab's position, so the text after the tab keeps its columns.
void SplitTabAtCaret(EditCore& e, const std::string& text) {
    if (e.col >= int(text.size()) || text[size_t(e.col)] != '\t') return;
    uint32_t start = DisplayOf(e, text, e.col);
    if (uint32_t(e.dcol) <= start) return;
    int blanks = e.dcol - int(start);
    std::string pad(size_t(blanks), ' ');
    vm_insert_text(e.buffer, e.line, e.col, pad.data(), blanks);
    if (e.marks) e.marks->CharsInserted(e.line, e.col, blanks);
    e.col += blanks;
}

int PutChar(EditCore& e, int ch, bool overtype) {
    if (!e.buffer || e.view_only) return 0;
    if (e.col >= QW_MAX_COLUMNS || e.dcol > QW_MAX_COLUMNS) return 0;
    VmGuard g;
    EnsureLine(e);
    if (e.line > LineCount(e.buffer)) return 0;
    RecordCaretLine(e);
    std::string text = ReadLine(e.buffer, e.line);
    if (e.col > int(text.size())) {
        PadToCaret(e, text);
        text = ReadLine(e.buffer, e.line);
    } else {
        SplitTabAtCaret(e, text);
        if (e.col != int(text.size())) text = ReadLine(e.buffer, e.line);
    }
    if (e.col >= QW_MAX_COLUMNS) return 0;
    int ok;
    if (overtype && e.col < int(text.size())) {
        ok = vm_replace_char(e.buffer, ch & 0xFF, e.line, e.col);
    } else {
        if (e.marks) e.marks->CharsInserted(e.line, e.col, 1);
        ok = vm_set_position(e.buffer, e.line, e.col) ? vm_put_char(e.buffer, ch & 0xFF) : 0;
    }
    if (!ok) return 0;
    ++e.col;
    e.doc_flags |= QW_DOC_LINE_EDITED;
    Resync(e);
    return ok;
}

void DeleteChars(EditCore& e, int line, int from, int count) {
    vm_set_position(e.buffer, line, from);
    vm_delete_char(e.buffer, count);
    if (e.marks) e.marks->CharsDeleted(line, from, from + count);
}

// Joins line+1 onto line, recording both; the caret goes to the joint.
int JoinAt(EditCore& e, int line) {
    if (line < 1 || line >= LineCount(e.buffer)) return 0;
    WriteImage(e, QW_UNDO_IMG_CHANGED, line);
    WriteImage(e, QW_UNDO_IMG_DELETED, line + 1);
    int col = 0;
    if (vm_join_lines(e.buffer, line, &col) < 0) return 0;
    if (e.marks) e.marks->LinesJoined(line + 1, col);
    e.line = line;
    e.col = col;
    e.doc_flags |= QW_DOC_IMAGE_RECORDED | QW_DOC_LINE_EDITED;
    Resync(e);
    return 1;
}

bool FullyRead(const EditCore& e) { return vm_is_fully_read(e.buffer) != 0; }

std::string IndentOf(const std::string& t) {
    size_t n = 0;
    while (n < t.size() && IsBlank(static_cast<unsigned char>(t[n]))) ++n;
    return t.substr(0, n);
}

} // namespace

// ---- Caret --------------------------------------------------------------------

int EditLineLength(const EditCore& e, int line) {
    int n = vm_line_length(e.buffer, line);
    return n < 0 ? 0 : n;
}

bool EditReadLine(const EditCore& e, int line, std::string* out) {
    if (!e.buffer || line < 1 || line > LineCount(e.buffer)) return false;
    *out = ReadLine(e.buffer, line);
    return true;
}

int EditLastLine(const EditCore& e) { return e.buffer ? LineCount(e.buffer) : 0; }

void EditSetCaret(EditCore& e, int line, int col) {
    if (line != e.line) EditLineLeave(e, false);
    e.line = line < 1 ? 1 : line;
    e.col = col < 0 ? 0 : col;
    Resync(e);
}

void EditSetCaretDisplay(EditCore& e, int line, int dcol) {
    if (line != e.line) EditLineLeave(e, false);
    e.line = line < 1 ? 1 : line;
    std::string t = ReadLine(e.buffer, e.line);
    uint32_t actual = 1;
    e.col = OffsetAtDisplayColumn(t.data(), int(t.size()), uint32_t(dcol < 1 ? 1 : dcol), e.rules,
                                  &actual, true);
    e.dcol = dcol < 1 ? 1 : dcol;
}

void EditLineLeave(EditCore& e, bool force) {
    if ((e.doc_flags & QW_DOC_LINE_EDITED) && (force || e.settings.strip_trailing) &&
        e.settings.strip_trailing && e.buffer && !e.view_only) {
        VmGuard g;
        EditStripTrailing(e, e.line);
    }
    e.doc_flags &= ~(QW_DOC_LINE_EDITED | QW_DOC_IMAGE_RECORDED);
}

int EditStripTrailing(EditCore& e, int line) {
    std::string t;
    if (!EditReadLine(e, line, &t)) return 0;
    size_t n = t.size();
    while (n && IsBlank(static_cast<unsigned char>(t[n - 1]))) --n;
    if (n == t.size()) return 0;
    if (line != e.line || !(e.doc_flags & QW_DOC_IMAGE_RECORDED)) WriteImage(e, QW_UNDO_IMG_CHANGED, line);
    DeleteChars(e, line, int(n), int(t.size() - n));
    return int(t.size() - n);
}

// ---- Typing ---------------------------------------------------------------------

int EditInsertChar(EditCore& e, int ch) { return PutChar(e, ch, false); }
int EditTypeChar(EditCore& e, int ch) { return PutChar(e, ch, true); }

bool EditInsertString(EditCore& e, const char* text, int length) {
    if (length < 0) length = text ? int(std::strlen(text)) : 0;
    for (int i = 0; i < length; ++i)
        if (!EditInsertChar(e, static_cast<unsigned char>(text[i]))) return false;
    return true;
}

int EditTypeKey(EditCore& e, int ch) {
    if (!e.buffer || e.view_only) return 0;
    if (!EditHasSelection(e)) {
        EditRecord(e, QW_UNDO_CLASS_CMD, 0, ch, e.line);
    } else if (EditTypingReplacesSelection(e, true)) {
        WriteGroup(e, QW_UNDO_CLASS_REPLACE, 0, 0, nullptr);
        e.group_open = true;
        EditDeleteSelection(e);
        e.group_open = false;
    } else {
        if (e.sel_state != QW_SST_CARET && e.sel_state != QW_SST_MARKS) EditSetSelection(e, 3, false);
        EditRecord(e, QW_UNDO_CLASS_CMD, 0, ch, e.line);
    }
    e.last_typed = ch & 0xFF;
    int r = e.insert_mode ? EditInsertChar(e, ch) : EditTypeChar(e, ch);
    if (r) SetLastEdit(e);
    return r;
}

int EditIndentWidth(const EditSettings& s) {
    return s.indent_width >= 1 && s.indent_width <= 120 ? s.indent_width : 8;
}

int EditTab(EditCore& e) {
    if (!e.buffer || e.view_only) return 0;
    int len = EditLineLength(e, e.line);
    if (e.settings.tab_inserts_tab) {
        if (e.settings.caret_past_end && e.col >= len) {
            e.dcol = int(NextTabStop(uint32_t(e.dcol), ColumnRulesTab(e.rules)));
            e.col = len + (e.dcol - int(DisplayOf(e, ReadLine(e.buffer, e.line), len)));
            return 1;
        }
        return EditTypeKey(e, '\t');
    }
    int stop = int(NextTabStop(uint32_t(e.dcol), ColumnRulesTab(e.rules)));
    int r = 1;
    while (r && e.dcol < stop) r = EditInsertChar(e, ' ');
    return r;
}

int EditIndent(EditCore& e, int count) {
    if (!e.buffer || e.view_only) return 0;
    OpScope op(e);
    if (EditTypingReplacesSelection(e, true)) EditDeleteSelection(e);
    else if (e.sel_state == QW_SST_HIGHLIGHT) EditSetSelection(e, 3, false);
    int w = EditIndentWidth(e.settings);
    if (count <= 0) count = w - ((e.dcol - 1) % w);
    int len = EditLineLength(e, e.line);
    if (e.col >= len && e.settings.caret_past_end) {
        e.col += count;
        e.dcol += count;
        return 1;
    }
    for (int i = 0; i < count; ++i)
        if (!EditInsertChar(e, ' ')) return 0;
    if (e.settings.fill_with_tabs && !e.rules.raw &&
        (e.dcol - 1) % ColumnRulesTab(e.rules) == 0) {
        VmGuard g;
        EditEntabLine(e, e.line);
    }
    return 1;
}

int EditUndent(EditCore& e) {
    if (!e.buffer || e.view_only || e.dcol <= 1) return 0;
    OpScope op(e);
    int w = EditIndentWidth(e.settings);
    int back = (e.dcol - 1) % w;
    if (back == 0) back = w;
    int target = e.dcol - back;
    if (target < 1) target = 1;
    VmGuard g;
    std::string t = ReadLine(e.buffer, e.line);
    int old_col = e.col;
    int old_dcol = e.dcol;
    int len = int(t.size());
    if (old_col > len) {
        // Virtual space: only the caret moves there.
        int over = old_col - len;
        int d = std::min(over, back);
        e.col -= d;
        e.dcol -= d;
        if (d == back) return 1;
        old_col = e.col;
        old_dcol = e.dcol;
        target = old_dcol - (back - d);
    }
    uint32_t actual = 1;
    int new_col = OffsetAtDisplayColumn(t.data(), len, uint32_t(target), e.rules, &actual, false);
    if (new_col >= old_col) {
        e.dcol = target;
        return 1;
    }
    RecordCaretLine(e);
    DeleteChars(e, e.line, new_col, old_col - new_col);
    e.col = new_col;
    e.doc_flags |= QW_DOC_LINE_EDITED;
    Resync(e);
    // The move landed inside a tab: the rest of the way is refilled with blanks.
    if (e.dcol < target) {
        std::string pad(size_t(target - e.dcol), ' ');
        vm_insert_text(e.buffer, e.line, e.col, pad.data(), int(pad.size()));
        if (e.marks) e.marks->CharsInserted(e.line, e.col, int(pad.size()));
        e.col += int(pad.size());
        Resync(e);
    }
    return 1;
}

// ---- Deleting, splitting, joining -------------------------------------------

int EditDeleteRange(EditCore& e, int from, int to, uint32_t flags) {
    if (!e.buffer || e.view_only) return 0;
    OpScope op(e);
    VmGuard g;
    int saved_line = -1, saved_col = -1;
    bool had_saved = e.marks && e.marks->Get(QW_MARK_SAVED_CARET, &saved_line, &saved_col);
    int n = EditLineLength(e, e.line);
    int result = 0;
    if (LineCount(e.buffer) == 0) {
        e.stop = true;
    } else if (from < n && from < to) {
        if (to > n) to = n;
        RecordCaretLine(e);
        uint32_t keep_dcol = uint32_t(e.dcol);
        std::string t = ReadLine(e.buffer, e.line);
        DeleteChars(e, e.line, from, to - from);
        e.col = from;
        e.doc_flags |= QW_DOC_LINE_EDITED;
        Resync(e);
        if ((flags & QW_DR_KEEP_DCOL) && uint32_t(e.dcol) < keep_dcol && from < int(t.size()) &&
            t[size_t(from)] == '\t' && to - from == 1) {
            int blanks = int(keep_dcol) - e.dcol;
            std::string pad(size_t(blanks), ' ');
            vm_insert_text(e.buffer, e.line, e.col, pad.data(), blanks);
            if (e.marks) e.marks->CharsInserted(e.line, e.col, blanks);
            e.col += blanks;
            Resync(e);
        }
        result = 1;
    } else if ((flags & QW_DR_JOIN) && from >= n) {
        if (e.line < LineCount(e.buffer) || !FullyRead(e)) {
            if (!FullyRead(e)) vm_map_line(e.buffer, e.line + 1);
            if (e.line < LineCount(e.buffer)) {
                if (from > n) {
                    RecordCaretLine(e);
                    e.col = from;
                    std::string t = ReadLine(e.buffer, e.line);
                    PadToCaret(e, t);
                }
                result = JoinAt(e, e.line);
            } else {
                e.stop = true;
            }
        } else {
            e.stop = true;
        }
    }
    if (had_saved && !e.marks->IsSet(QW_MARK_SAVED_CARET))
        e.marks->Set(QW_MARK_SAVED_CARET, saved_line, saved_col);
    if (result) SetLastEdit(e);
    return result;
}

int EditBackspace(EditCore& e) {
    if (!e.buffer || e.view_only) return 0;
    OpScope op(e);
    if (e.col == 0 && e.dcol <= 1) {
        if (e.line <= 1) return 0;
        VmGuard g;
        int r = JoinAt(e, e.line - 1);
        if (r) SetLastEdit(e);
        return r;
    }
    std::string t = ReadLine(e.buffer, e.line);
    if (e.col > int(t.size())) {
        // Virtual space: the caret only moves back.
        --e.col;
        --e.dcol;
        return 1;
    }
    uint32_t start = DisplayOf(e, t, e.col);
    if (uint32_t(e.dcol) > start) {
        // Inside a tab's expansion: one display column back.
        --e.dcol;
        return 1;
    }
    int from = e.col - 1;
    e.col = from;
    return EditDeleteRange(e, from, from + 1, 0);
}

int EditDeleteLine(EditCore& e) {
    if (!e.buffer || e.view_only || LineCount(e.buffer) == 0) return 0;
    OpScope op(e);
    if (EditHasSelection(e)) EditSetSelection(e, 3, false);
    VmGuard g;
    if (!FullyRead(e)) vm_map_line(e.buffer, e.line + 1);
    int last = LineCount(e.buffer);
    if (e.line >= last && FullyRead(e)) {
        e.col = 0;
        e.dcol = 1;
        int n = EditLineLength(e, e.line);
        if (n == 0) return 0;
        return EditDeleteRange(e, 0, n, 0);
    }
    if (e.line > last) return 0;
    int saved_line = -1, saved_col = -1;
    bool had_saved = e.marks && e.marks->Get(QW_MARK_SAVED_CARET, &saved_line, &saved_col);
    WriteImage(e, QW_UNDO_IMG_DELETED, e.line);
    int n = EditLineLength(e, e.line);
    vm_delete_lines(e.buffer, e.line, 1, 1);
    if (e.marks) {
        e.marks->CharsDeleted(e.line, 0, n + 1);
        e.marks->LinesShifted(e.line + 1, -1);
    }
    e.col = 0;
    e.dcol = 1;
    e.doc_flags &= ~(QW_DOC_LINE_EDITED | QW_DOC_IMAGE_RECORDED);
    SetLastEdit(e);
    if (had_saved && !e.marks->IsSet(QW_MARK_SAVED_CARET))
        e.marks->Set(QW_MARK_SAVED_CARET, saved_line, saved_col);
    return 1;
}

int EditJoinLine(EditCore& e) {
    if (!e.buffer || e.view_only || e.line <= 1) return 0;
    OpScope op(e);
    VmGuard g;
    int r = JoinAt(e, e.line - 1);
    if (r) SetLastEdit(e);
    return r;
}

int EditJoinNext(EditCore& e) {
    if (!e.buffer || e.view_only) return 0;
    OpScope op(e);
    VmGuard g;
    if (!FullyRead(e)) vm_map_line(e.buffer, e.line + 1);
    if (e.line >= LineCount(e.buffer)) {
        e.stop = true;
        return 0;
    }
    int r = JoinAt(e, e.line);
    if (r) SetLastEdit(e);
    return r;
}

namespace {
// The indentation for a new line after `line`: that of the nearest
// non-blank line at or above it within the search depth.
std::string IndentFor(const EditCore& e, int line) {
    int depth = e.settings.indent_search;
    for (int l = line; l >= 1 && depth > 0; --l, --depth) {
        std::string t = ReadLine(e.buffer, l);
        size_t n = IndentOf(t).size();
        if (n < t.size()) return t.substr(0, n);
    }
    return std::string();
}
} // namespace

int EditSplitLine(EditCore& e, int indent_mode) {
    if (!e.buffer || e.view_only) return 0;
    OpScope op(e);
    if (EditTypingReplacesSelection(e, true)) EditDeleteSelection(e);
    VmGuard g;
    EnsureLine(e);
    std::string t = ReadLine(e.buffer, e.line);
    if (e.col > int(t.size())) e.col = int(t.size());
    bool auto_indent = indent_mode != 1 && e.settings.auto_indent;
    WriteImage(e, e.col > 0 ? QW_UNDO_IMG_CHANGED : QW_UNDO_IMG_CHANGED_KEEP, e.line);
    WriteImage(e, QW_UNDO_IMG_INSERTED, e.line + 1);
    if (auto_indent) {
        // Blanks at the caret do not travel to the new line.
        size_t b = size_t(e.col);
        while (b < t.size() && IsBlank(static_cast<unsigned char>(t[b]))) ++b;
        if (b > size_t(e.col)) DeleteChars(e, e.line, e.col, int(b - size_t(e.col)));
    }
    vm_set_position(e.buffer, e.line, e.col);
    if (!vm_split_line(e.buffer, 1)) return 0;
    if (e.marks) e.marks->LineSplit(e.line, e.col);
    int old_line = e.line;
    e.line = old_line + 1;
    e.col = 0;
    e.dcol = 1;
    // The new line's image is already in this group (as inserted).
    e.doc_flags = QW_DOC_IMAGE_RECORDED | QW_DOC_LINE_EDITED;
    if (auto_indent) {
        std::string ind = IndentFor(e, old_line);
        if (!ind.empty()) {
            if (e.settings.caret_past_end && EditLineLength(e, e.line) == 0) {
                e.dcol = int(DisplayOf(e, ind, int(ind.size())));
                e.col = e.dcol - 1;
            } else {
                vm_insert_text(e.buffer, e.line, 0, ind.data(), int(ind.size()));
                if (e.marks) e.marks->CharsInserted(e.line, 0, int(ind.size()));
                e.col = int(ind.size());
                Resync(e);
            }
        }
    }
    SetLastEdit(e);
    return 1;
}

int EditOpenLine(EditCore& e, bool indent) {
    if (!e.buffer || e.view_only) return 0;
    OpScope op(e);
    VmGuard g;
    EnsureLine(e);
    EditLineLeave(e, false);
    WriteImage(e, QW_UNDO_IMG_INSERTED, e.line);
    if (e.marks) e.marks->LinesShifted(e.line, 1);
    vm_insert_line(e.buffer, e.line - 1, "", 0);
    e.col = 0;
    e.dcol = 1;
    e.doc_flags = QW_DOC_IMAGE_RECORDED | QW_DOC_LINE_EDITED;
    if (indent && e.line > 1) {
        std::string ind = IndentFor(e, e.line - 1);
        vm_insert_text(e.buffer, e.line, 0, ind.data(), int(ind.size()));
        e.col = int(ind.size());
        Resync(e);
    }
    SetLastEdit(e);
    return 1;
}

int EditDeleteToLineStart(EditCore& e) {
    if (!e.buffer || e.view_only) return 0;
    OpScope op(e);
    std::string t = ReadLine(e.buffer, e.line);
    int to = std::min(e.col, int(t.size()));
    if (to < int(t.size()) && uint32_t(e.dcol) > DisplayOf(e, t, to)) ++to; // inside a tab
    int r = EditDeleteRange(e, 0, to, 0);
    e.col = 0;
    e.dcol = 1;
    return r;
}

int EditDeleteToLineEnd(EditCore& e) {
    if (!e.buffer || e.view_only) return 0;
    OpScope op(e);
    return EditDeleteRange(e, e.col, EditLineLength(e, e.line), QW_DR_KEEP_DCOL);
}

bool EditIsWordChar(int c) {
    return c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           c >= 128;
}

int EditDeleteWord(EditCore& e, bool word_only) {
    if (!e.buffer || e.view_only) return 0;
    OpScope op(e);
    std::string t = ReadLine(e.buffer, e.line);
    int n = int(t.size());
    int c = e.col;
    if (c >= n) return EditDeleteRange(e, c, c + 1, QW_DR_JOIN);
    auto at = [&](int i) { return static_cast<unsigned char>(t[size_t(i)]); };
    int end = c;
    if (!IsBlank(at(c))) {
        if (EditIsWordChar(at(c))) {
            while (end < n && EditIsWordChar(at(end))) ++end;
        } else {
            ++end; // one punctuation character
        }
        if (!word_only)
            while (end < n && IsBlank(at(end))) ++end;
    } else {
        if (word_only) return 0;
        while (end < n && IsBlank(at(end))) ++end;
    }
    return EditDeleteRange(e, c, end, QW_DR_KEEP_DCOL);
}

int EditEntabLine(EditCore& e, int line) {
    std::string t;
    if (!EditReadLine(e, line, &t) || e.rules.raw) return 0;
    int tab = ColumnRulesTab(e.rules);
    std::string out;
    uint32_t col = 1;
    size_t i = 0;
    bool quote = false;
    char q = 0;
    while (i < t.size()) {
        char c = t[i];
        if (!quote && c == ' ') {
            size_t j = i;
            uint32_t cc = col;
            while (j < t.size() && t[j] == ' ') {
                ++j;
                ++cc;
                if ((cc - 1) % uint32_t(tab) == 0 && j - i > 1) {
                    // The run reached a stop: one tab for it.
                    out += '\t';
                    i = j;
                    col = cc;
                }
            }
            while (i < j) {
                out += ' ';
                ++i;
                ++col;
            }
            continue;
        }
        if (c == '"' || c == '\'') {
            if (!quote) {
                quote = true;
                q = c;
            } else if (c == q) {
                quote = false;
            }
        }
        col += uint32_t(CharDisplayWidth(static_cast<unsigned char>(c), col, e.rules));
        out += c;
        ++i;
    }
    if (out == t) return 0;
    int dcol = e.dcol;
    WriteImage(e, QW_UNDO_IMG_CHANGED, line);
    vm_replace_line(e.buffer, line, out.data(), int(out.size()), 1);
    if (line == e.line) EditSetCaretDisplay(e, line, dcol);
    return 1;
}

int EditDetabLine(EditCore& e, int line) {
    std::string t;
    if (!EditReadLine(e, line, &t) || t.find('\t') == std::string::npos) return 0;
    std::vector<char> out(size_t(QW_MAX_COLUMNS) * 2);
    ColumnRules plain = e.rules;
    int n = ExpandText(t.data(), int(t.size()), 1, out.data(), int(out.size()), plain);
    int dcol = e.dcol;
    WriteImage(e, QW_UNDO_IMG_CHANGED, line);
    vm_replace_line(e.buffer, line, out.data(), n, 1);
    if (line == e.line) EditSetCaretDisplay(e, line, dcol);
    return 1;
}

// ---- Blocks ---------------------------------------------------------------------

namespace {
struct PieceStepArgs {
    int column;
    bool insert;
    bool first;
    int style;
};

// One piece: pads, inserts or overtypes, and splits at its end of line.
int PieceStep(EditCore& e, const PieceStepArgs& a, const BlockPiece& p) {
    int line = vm_cur_line(e.buffer);
    if (line < 1) line = 1;
    if (a.first || !a.insert || a.style == 2) WriteImage(e, QW_UNDO_IMG_CHANGED, line);
    int len = EditLineLength(e, line);
    int col = a.column;
    if (col > len) {
        vm_set_position(e.buffer, line, -1);
        vm_pad_line(e.buffer, ' ', col);
        if (e.marks) e.marks->CharsInserted(line, len, col - len);
    }
    vm_set_position(e.buffer, line, col);
    int written = 0;
    if (a.insert) {
        if (p.length > 0 && vm_insert_text(e.buffer, line, col, p.text, p.length) == p.length)
            written = p.length;
    } else {
        int over = std::max(0, std::min(p.length, (col > len ? col : len) - col));
        for (int i = 0; i < over; ++i)
            if (vm_replace_char(e.buffer, static_cast<unsigned char>(p.text[i]), line, col + i)) ++written;
        if (written == over && p.length > over &&
            vm_insert_text(e.buffer, line, col + over, p.text + over, p.length - over) == p.length - over)
            written = p.length;
    }
    if (written != p.length) return 0;
    int end = col + p.length;
    if (p.end_of_line && a.style != 2) {
        if (e.marks) {
            if (a.first) e.marks->LineSplit(line, col);
            else e.marks->LinesShifted(line, 1);
        }
        WriteImage(e, QW_UNDO_IMG_INSERTED, line + 1);
        vm_set_position(e.buffer, line, end);
        if (!vm_split_line(e.buffer, 1)) return 0;
        vm_set_position(e.buffer, line + 1, 0);
        return 1;
    }
    if (a.insert && e.marks) e.marks->CharsInserted(line, col, p.length);
    vm_set_position(e.buffer, line, end);
    return 1;
}
} // namespace

int EditInsertBlock(EditCore& e, BlockSource source, void* context, int style, uint32_t flags,
                    int* end_line, int* end_col) {
    if (!e.buffer || e.view_only) return 0;
    OpScope op(e);
    VmGuard g;
    EditLineLeave(e, false);
    if (LineCount(e.buffer) == 0) {
        vm_insert_line(e.buffer, 0, "", 0);
        e.line = 1;
        e.col = 0;
        e.dcol = 1;
    }
    if (style == 1) {
        e.col = 0;
        e.dcol = 1;
    }
    int start_line = e.line, start_col = e.col;
    uint32_t start_dcol = uint32_t(e.dcol);
    bool insert = style != 2 || e.insert_mode;
    vm_set_position(e.buffer, e.line, std::min(e.col, EditLineLength(e, e.line)));
    // Pieces are cut at the size of a line that can be shown and edited.
    const int max_piece = QW_MAX_COLUMNS;
    BlockPiece piece;
    int result = 1, pieces = 0;
    int line = start_line, col = start_col;
    while (source(context, &piece, max_piece)) {
        if (piece.length < 0) break;
        PieceStepArgs a;
        a.insert = insert;
        a.first = pieces == 0;
        a.style = style;
        if (style == 2) {
            std::string t = ReadLine(e.buffer, line);
            uint32_t actual = 0;
            a.column = OffsetAtDisplayColumn(t.data(), int(t.size()), start_dcol, e.rules, &actual, true);
        } else {
            a.column = a.first ? start_col : 0;
            if (!a.first) a.column = vm_cur_col(e.buffer);
        }
        vm_set_position(e.buffer, line, std::min(a.column, EditLineLength(e, line)));
        result = PieceStep(e, a, piece);
        ++pieces;
        if (!result) break;
        line = vm_cur_line(e.buffer);
        col = vm_cur_col(e.buffer);
        if (style == 2) {
            if (line >= LineCount(e.buffer)) {
                WriteImage(e, QW_UNDO_IMG_INSERTED, line + 1);
                vm_set_position(e.buffer, line, -1);
                vm_split_line(e.buffer, 1);
            }
            vm_set_position(e.buffer, line + 1, 0);
            line = line + 1;
        }
    }
    int block_end_line = style == 2 ? line - 1 : line;
    int block_end_col = col;
    if (end_line) *end_line = block_end_line;
    if (end_col) *end_col = block_end_col;
    e.doc_flags &= ~(QW_DOC_LINE_EDITED | QW_DOC_IMAGE_RECORDED);
    if (pieces > 0) {
        if (flags & QW_IB_CARET_END) {
            e.line = block_end_line;
            e.col = block_end_col;
        } else {
            e.line = start_line;
            e.col = start_col;
        }
        Resync(e);
        if (flags & QW_IB_SELECT) {
            EditSelectText(e, start_line, style == 2 ? int(start_dcol) : start_col, block_end_line,
                           style == 2 ? int(DisplayOf(e, ReadLine(e.buffer, block_end_line), block_end_col))
                                      : block_end_col,
                           style == 2 ? QW_SEL_COLUMN : style == 1 ? QW_SEL_LINE : QW_SEL_CHAR,
                           QW_SST_MOUSE, !(flags & QW_IB_NO_RECORD));
        }
        if (e.marks) e.marks->Set(QW_MARK_LAST_EDIT, block_end_line, block_end_col);
        vm_set_lex_line(e.buffer, start_line > 1 ? start_line - 1 : 0);
    }
    return result;
}

namespace {
struct TextSource {
    const char* p;
    const char* end;
};

// Splits at CR LF, LF or a lone CR; a long line comes in several pieces.
bool TextPieces(void* ctx, BlockPiece* piece, int max_piece) {
    auto* s = static_cast<TextSource*>(ctx);
    if (s->p >= s->end) return false;
    const char* q = s->p;
    const char* limit = s->end - s->p > max_piece ? s->p + max_piece : s->end;
    while (q < limit && *q != '\n' && *q != '\r') ++q;
    piece->text = s->p;
    piece->length = int(q - s->p);
    piece->end_of_line = false;
    s->p = q;
    if (q < s->end && (*q == '\r' || *q == '\n')) {
        piece->end_of_line = true;
        if (*q == '\r' && q + 1 < s->end && q[1] == '\n') ++q;
        s->p = q + 1;
    }
    return true;
}

struct BufferSource {
    VMB* src;
    int line;
    int offset;
    std::string text;
};

bool BufferPieces(void* ctx, BlockPiece* piece, int max_piece) {
    auto* s = static_cast<BufferSource*>(ctx);
    int count = LineCount(s->src);
    if (s->line > count) return false;
    if (s->offset == 0) s->text = ReadLine(s->src, s->line);
    int left = int(s->text.size()) - s->offset;
    int n = std::min(left, max_piece);
    piece->text = s->text.data() + s->offset;
    piece->length = n;
    s->offset += n;
    if (s->offset < int(s->text.size())) {
        piece->end_of_line = false;
        return true;
    }
    bool last = s->line == count;
    piece->end_of_line = !last || (vm_state_flags(s->src, VM_OP_READ, VM_ST_FINAL_EOL) != 0);
    ++s->line;
    s->offset = 0;
    return true;
}
} // namespace

int EditInsertText(EditCore& e, const char* text, size_t length, int style, uint32_t flags) {
    if (!text) return 0;
    TextSource s{text, text + length};
    return EditInsertBlock(e, TextPieces, &s, style, flags, nullptr, nullptr);
}

int EditInsertBuffer(EditCore& e, VMB* source, int style, uint32_t flags) {
    if (!source || source == e.buffer) return 0;
    BufferSource s{source, 1, 0, std::string()};
    return EditInsertBlock(e, BufferPieces, &s, style, flags, nullptr, nullptr);
}

int EditDeleteBlock(EditCore& e, const SelectionBounds& b) {
    if (!e.buffer || e.view_only || LineCount(e.buffer) == 0) return 0;
    OpScope op(e);
    VmGuard g;
    EditLineLeave(e, false);
    if (b.type == QW_SEL_COLUMN) {
        for (int l = b.start_line; l <= b.end_line && l <= LineCount(e.buffer); ++l) {
            std::string t = ReadLine(e.buffer, l);
            uint32_t a1 = 0, a2 = 0;
            int from = OffsetAtDisplayColumn(t.data(), int(t.size()), uint32_t(b.start_dcol), e.rules, &a1, false);
            int to = OffsetAtDisplayColumn(t.data(), int(t.size()), uint32_t(b.end_dcol), e.rules, &a2, false);
            if (from >= int(t.size()) || to <= from) continue;
            WriteImage(e, QW_UNDO_IMG_CHANGED, l);
            DeleteChars(e, l, from, to - from);
        }
        EditSetCaretDisplay(e, b.start_line, b.start_dcol);
        return 1;
    }
    int sl = b.start_line, sc = b.start_col, el = b.end_line, ec = b.end_col;
    int count = LineCount(e.buffer);
    if (el > count) {
        el = count;
        ec = QW_SEL_END_EOL;
    }
    if (ec == QW_SEL_END_EOL) ec = EditLineLength(e, el);
    // A block ending at column 0 of the line after the last: to the end of the last.
    int sn = EditLineLength(e, sl);
    if (sc > sn) sc = sn;
    WriteImage(e, QW_UNDO_IMG_CHANGED, sl);
    if (sl == el) {
        if (ec > sc) DeleteChars(e, sl, sc, std::min(ec, sn) - sc);
    } else {
        // Lines between go whole, then the head of the last joins the first.
        for (int l = el - 1; l > sl; --l) {
            WriteImage(e, QW_UNDO_IMG_DELETED, sl + 1);
            int n = EditLineLength(e, sl + 1);
            vm_delete_lines(e.buffer, sl + 1, 1, 1);
            if (e.marks) {
                e.marks->CharsDeleted(sl + 1, 0, n + 1);
                e.marks->LinesShifted(sl + 2, -1);
            }
        }
        // Now the last line is sl + 1.
        if (sn > sc) DeleteChars(e, sl, sc, sn - sc);
        WriteImage(e, QW_UNDO_IMG_CHANGED, sl + 1);
        int en = EditLineLength(e, sl + 1);
        if (ec > en) ec = en;
        if (ec > 0) DeleteChars(e, sl + 1, 0, ec);
        WriteImage(e, QW_UNDO_IMG_DELETED, sl + 1);
        int col = 0;
        vm_join_lines(e.buffer, sl, &col);
        if (e.marks) e.marks->LinesJoined(sl + 1, col);
    }
    e.line = sl;
    e.col = sc;
    Resync(e);
    SetLastEdit(e);
    return 1;
}

bool EditCopyBlock(const EditCore& e, const SelectionBounds& b, std::string* out) {
    out->clear();
    if (!e.buffer) return false;
    VmGuard g;
    int count = LineCount(e.buffer);
    if (b.type == QW_SEL_COLUMN) {
        for (int l = b.start_line; l <= b.end_line && l <= count; ++l) {
            std::string t = ReadLine(e.buffer, l);
            uint32_t a = 0;
            int from = OffsetAtDisplayColumn(t.data(), int(t.size()), uint32_t(b.start_dcol), e.rules, &a, false);
            int to = OffsetAtDisplayColumn(t.data(), int(t.size()), uint32_t(b.end_dcol), e.rules, &a, false);
            if (to > from) out->append(t, size_t(from), size_t(to - from));
            out->append("\r\n");
        }
        return true;
    }
    int el = b.end_line, ec = b.end_col;
    if (el > count) {
        el = count;
        ec = QW_SEL_END_EOL;
    }
    for (int l = b.start_line; l <= el; ++l) {
        std::string t = ReadLine(e.buffer, l);
        int from = l == b.start_line ? std::min(b.start_col, int(t.size())) : 0;
        int to = l == el ? (ec == QW_SEL_END_EOL ? int(t.size()) : std::min(ec, int(t.size())))
                         : int(t.size());
        if (to > from) out->append(t, size_t(from), size_t(to - from));
        if (l < el) out->append("\r\n");
    }
    return true;
}

// ---- Undo -------------------------------------------------------------------------

void EditRecord(EditCore& e, int cls, int kind, int cmd, int line) {
    if (!Recording(e)) return;
    if (cls == QW_UNDO_CLASS_IMAGE) {
        WriteImage(e, kind, line);
        return;
    }
    if (cls != QW_UNDO_CLASS_CMD) {
        WriteGroup(e, cls, kind, cmd, nullptr);
        return;
    }
    // A typed character: a word and the blanks after it form one group.
    int prev = e.last_typed;
    bool prev_char = prev >= 0 && prev < 256;
    bool blank = IsBlank(cmd);
    bool start = !(e.doc_flags & QW_DOC_IMAGE_RECORDED) || !prev_char ||
                 (!blank && IsBlank(prev));
    if (start) {
        WriteGroup(e, QW_UNDO_CLASS_CMD, 0, unsigned(cmd) & 0xFF, nullptr);
        RecordCaretLine(e);
    }
}

void EditRecordCommand(EditCore& e, int id) {
    if (!Recording(e)) return;
    uint32_t attr = K_cmd_get_flags(id);
    int kind = 0;
    if (id == 449 || id == 459 || id == 607 || id == 476 || id == 474) kind = 1;
    int slot = -1;
    if ((id >= 527 && id <= 535) || id == 469 || id == 470) {
        kind = 3;
        slot = CQWMarkTable::SlotOfCommand(id);
    } else if (kind == 0 && (attr & 0x1)) {
        kind = 2;
    }
    if (e.view_only && kind != 2 && kind != 3) return;
    e.last_typed = kCommandBase + id;
    if (!(attr & 0x2)) return;
    char extra[48] = "";
    if (slot >= 0) {
        int l = 0, c = 0;
        if (!e.marks || !e.marks->Get(slot, &l, &c)) l = c = 0;
        std::snprintf(extra, sizeof extra, "\t%u\t%u", unsigned(l), unsigned(c));
    }
    WriteGroup(e, QW_UNDO_CLASS_CMD, kind, id, extra);
    e.group_open = Recording(e);
}

void EditRecordGroup(EditCore& e, int cls, int kind, int command, const char* extra) {
    WriteGroup(e, cls, kind, command, extra);
}

int EditUndoDepth(const EditCore& e) {
    VMB* log = e.buffer ? vm_undo_buffer(e.buffer, VM_UNDO_GET) : nullptr;
    return log ? LineCount(log) : 0;
}

int EditRedoDepth(const EditCore& e) {
    VMB* log = e.buffer ? vm_undo_buffer(e.buffer, VM_UNDO_GET) : nullptr;
    VMB* r = RedoLog(log, false);
    return r ? LineCount(r) : 0;
}

void EditDropRedo(EditCore& e) {
    VMB* log = vm_undo_buffer(e.buffer, VM_UNDO_GET);
    VMB* r = RedoLog(log, false);
    if (r && LineCount(r)) vm_undo_buffer(log, VM_UNDO_CLEAR);
}

namespace {
struct Image {
    int kind = 0, line = 0, tag = 0, flags = 0, state = 0;
    std::string text;
};

bool ParseImage(const std::string& rec, Image* im) {
    const char* p = rec.c_str();
    int fields[6];
    for (int i = 0; i < 6; ++i) {
        char* end = nullptr;
        fields[i] = int(std::strtol(p, &end, 10));
        if (end == p || *end != '\t') return false;
        p = end + 1;
    }
    if (fields[0] != QW_UNDO_CLASS_IMAGE) return false;
    im->kind = fields[1];
    im->line = fields[2];
    im->tag = fields[3];
    im->flags = fields[4];
    im->state = fields[5];
    im->text.assign(p, rec.data() + rec.size());
    return true;
}

std::string ImageRecord(int kind, int line, int tag, int flags, const std::string& text) {
    char head[96];
    std::snprintf(head, sizeof head, "5\t%u\t%u\t%u\t%u\t0\t", unsigned(kind), unsigned(line),
                  unsigned(tag), unsigned(flags));
    return head + text;
}

// Replays the last group of `from`, writing its inverse as a group of `to`.
// Whether any text changed.
int ReplayGroup(EditCore& e, VMB* from, VMB* to, bool* changed) {
    int n = LineCount(from);
    if (n == 0) return 0;
    int g = n;
    while (g > 1 && FirstField(from, g) == QW_UNDO_CLASS_IMAGE) --g;
    std::string group = ReadLine(from, g);
    int fields[7] = {0, 0, 0, 0, 0, 0, 0};
    {
        const char* p = group.c_str();
        for (int i = 0; i < 7 && *p; ++i) {
            char* end = nullptr;
            fields[i] = int(std::strtol(p, &end, 10));
            if (end == p) break;
            p = *end == '\t' ? end + 1 : end;
        }
    }
    if (to) AppendRecord(to, group);
    *changed = false;
    for (int i = n; i > g; --i) {
        Image im;
        if (!ParseImage(ReadLine(from, i), &im)) continue;
        int count = LineCount(e.buffer);
        switch (im.kind) {
        case QW_UNDO_IMG_INSERTED:
            if (im.line < 1 || im.line > count) break;
            if (to) AppendRecord(to, ImageRecord(QW_UNDO_IMG_DELETED, im.line,
                                                 int(vm_line_tag(e.buffer, im.line, -1, 0)),
                                                 vm_line_flags(e.buffer, im.line, VM_OP_READ, 0xFF) & 0xFF,
                                                 ReadLine(e.buffer, im.line)));
            vm_delete_lines(e.buffer, im.line, 1, 1);
            if (e.marks) e.marks->LinesShifted(im.line + 1, -1);
            *changed = true;
            break;
        case QW_UNDO_IMG_CHANGED:
            if (im.line < 1) break;
            if (im.line > count) vm_insert_line(e.buffer, count, "", 0);
            if (to) AppendRecord(to, ImageRecord(QW_UNDO_IMG_CHANGED, im.line, 0,
                                                 vm_line_flags(e.buffer, im.line, VM_OP_READ, 0xFF) & 0xFF,
                                                 ReadLine(e.buffer, im.line)));
            vm_replace_line(e.buffer, im.line, im.text.data(), int(im.text.size()), 1);
            if (im.state & 0x2) vm_line_flags(e.buffer, im.line, VM_OP_CLEAR | VM_OP_KEEP_POS, 0x1);
            *changed = true;
            break;
        case QW_UNDO_IMG_DELETED:
            if (im.line < 1 || im.line > count + 1) break;
            if (to) AppendRecord(to, ImageRecord(QW_UNDO_IMG_INSERTED, im.line, 0, 0, std::string()));
            if (e.marks) e.marks->LinesShifted(im.line, 1);
            vm_insert_line(e.buffer, im.line - 1, im.text.data(), int(im.text.size()));
            if (im.tag) vm_line_tag(e.buffer, im.line, 1, uint32_t(im.tag));
            *changed = true;
            break;
        default:
            break;
        }
    }
    vm_delete_lines(from, g, -1, 0);
    // A bookmark group puts the mark back where it stood.
    if (fields[0] == QW_UNDO_CLASS_CMD && fields[1] == 3 && e.marks) {
        int slot = CQWMarkTable::SlotOfCommand(fields[2]);
        if (fields[5] > 0) e.marks->Set(slot, fields[5], fields[6]);
        else e.marks->Reset(slot);
        *changed = true;
    }
    if (fields[3] >= 1) {
        int line = std::min(fields[3], std::max(1, LineCount(e.buffer)));
        e.doc_flags = 0;
        e.line = line;
        EditSetCaretDisplay(e, line, fields[4] >= 1 ? fields[4] : 1);
    }
    return 1;
}

int Replay(EditCore& e, bool redo) {
    if (!e.buffer || e.view_only) return 0;
    VmGuard g;
    EditLineLeave(e, false);
    VMB* undo = UndoLog(e, redo ? false : false);
    if (!undo) return 0;
    VMB* redo_log = RedoLog(undo, !redo);
    VMB* from = redo ? redo_log : undo;
    VMB* to = redo ? undo : redo_log;
    if (!from) return 0;
    g_replaying = true;
    int done = 0;
    bool changed = false;
    // Groups that changed no text (selection records) go with the next one.
    while (!changed && ReplayGroup(e, from, to, &changed)) done = 1;
    if (redo) vm_undo_enable(undo, 1, vm_undo_enable(undo, -1, 0) + 1);
    else {
        int c = vm_undo_enable(undo, -1, 0);
        vm_undo_enable(undo, 1, c > 0 ? c - 1 : 0);
    }
    g_replaying = false;
    e.doc_flags = 0;
    e.last_typed = -1;
    return done;
}
} // namespace

int EditUndo(EditCore& e) { return Replay(e, false); }
int EditRedo(EditCore& e) { return Replay(e, true); }
