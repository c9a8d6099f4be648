// The edit view's side of the editing programs: what their Edit_* calls do
// on the view they run on. Each call copies the caret into the engine, runs
// one engine operation and puts the caret back; the programs decide what to
// change, the engine records the undo images and moves the marks.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "VmEngine/vm.h"
#include "commands/cmdlists.h"
#include "commands/interp_edit.h"
#include "editor/clipboard.h"
#include "editor/editview.h"
#include "editor/langdict.h"
#include "editor/qwdoc.h"
#include "editor/stylesheet.h"
#include "opsys/msgout.h"

namespace {

constexpr int kTemplateLine = 4096;

CQWEditView* Edit(void* pv) {
    CQWEditView* v = CQWEditView::FromProgramView(pv);
    return v && v->HasBuffer() ? v : nullptr;
}

// The programs change text only where a user could.
CQWEditView* Changeable(void* pv) {
    CQWEditView* v = Edit(pv);
    if (v && v->IsViewOnly()) {
        MsgBeep(0x10000);
        return nullptr;
    }
    return v;
}

int Info(void* pv, int what) {
    CQWEditView* v = Edit(pv);
    if (!v) return -1;
    EditCore& e = v->LoadCore();
    CQWDoc* doc = v->GetQWDoc();
    CStyleSheet* sheet = doc ? doc->GetStyleSheet() : nullptr;
    switch (what) {
    case QW_EI_LINE: return e.line;
    case QW_EI_COLUMN: return e.col;
    case QW_EI_DISPLAY_COLUMN: return e.dcol;
    case QW_EI_LINE_COUNT: return EditLastLine(e);
    case QW_EI_VIEW_ONLY: return e.view_only ? 1 : 0;
    case QW_EI_INSERT_MODE: return GetInsertMode();
    case QW_EI_INDENT_WIDTH: return EditIndentWidth(e.settings);
    case QW_EI_TAB_WIDTH: return ColumnRulesTab(e.rules);
    case QW_EI_RIGHT_MARGIN: return e.settings.right_margin;
    case QW_EI_AUTO_WRAP: return e.settings.auto_wrap ? 1 : 0;
    case QW_EI_AUTO_INDENT: return e.settings.auto_indent ? 1 : 0;
    case QW_EI_SMART_INDENT: return sheet && sheet->m_Flags[SSF_SMART_INDENT] ? 1 : 0;
    case QW_EI_UNDO_DEPTH: return EditUndoDepth(e);
    case QW_EI_REDO_DEPTH: return EditRedoDepth(e);
    case QW_EI_FILL_WITH_TABS: return e.settings.fill_with_tabs ? 1 : 0;
    default: return -1;
    }
}

int GetLine(void* pv, int line, std::string* out) {
    CQWEditView* v = Edit(pv);
    if (!v) return -1;
    return EditReadLine(v->LoadCore(), line, out) ? int(out->size()) : -1;
}

int SetCaret(void* pv, int line, int col) {
    CQWEditView* v = Edit(pv);
    if (!v) return -1;
    EditCore& e = v->LoadCore();
    int last = std::max(EditLastLine(e), 1);
    if (line < 1 || line > last || col < 0) return 0;
    EditSetCaret(e, line, col);
    v->StoreCore(false);
    return 1;
}

bool HasLineBreak(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

int Replace(void* pv, int line, int from, int to, const char* text) {
    CQWEditView* v = Changeable(pv);
    if (!v) return 0;
    EditCore& e = v->LoadCore();
    if (line < 1 || line > std::max(EditLastLine(e), 1) || from < 0 || to < from ||
        HasLineBreak(text))
        return 0;
    EditSetCaret(e, line, from);
    int r = 1;
    if (to > from && from < EditLineLength(e, line)) r = EditDeleteRange(e, from, to, 0);
    if (r && *text) r = EditInsertString(e, text, -1) ? 1 : 0;
    v->StoreCore(true);
    return r;
}

int Insert(void* pv, const char* text, int style) {
    CQWEditView* v = Changeable(pv);
    if (!v || style < 0 || style > 2) return 0;
    EditCore& e = v->LoadCore();
    int r = EditInsertText(e, text, std::strlen(text), style, QW_IB_CARET_END);
    v->StoreCore(true);
    return r;
}

int InsertLine(void* pv, int before, const char* text) {
    CQWEditView* v = Changeable(pv);
    if (!v || HasLineBreak(text)) return 0;
    EditCore& e = v->LoadCore();
    int last = EditLastLine(e);
    if (before < 1 || before > last + 1) return 0;
    std::string t(text);
    int r;
    if (before <= last) {
        // The text and a line break at the start of the line push it down.
        EditSetCaret(e, before, 0);
        t += "\r\n";
        r = EditInsertText(e, t.data(), t.size(), 0, 0);
    } else {
        // After the last line: a line break at its end, then the text.
        EditSetCaret(e, last, EditLineLength(e, last));
        t.insert(0, "\r\n");
        r = EditInsertText(e, t.data(), t.size(), 0, 0);
    }
    EditSetCaret(e, before, 0);
    v->StoreCore(true);
    return r;
}

int DeleteLines(void* pv, int line, int count) {
    CQWEditView* v = Changeable(pv);
    if (!v) return 0;
    EditCore& e = v->LoadCore();
    int last = EditLastLine(e);
    if (line < 1 || line > last || count < 1) return 0;
    int end = std::min(line + count - 1, last);
    SelectionBounds b;
    b.code = QW_SB_VALID;
    b.type = QW_SEL_CHAR;
    if (end < last) {
        b.start_line = line;
        b.start_col = 0;
        b.end_line = end + 1;
        b.end_col = 0;
    } else if (line > 1) {
        // The last lines go with the line break before them.
        b.start_line = line - 1;
        b.start_col = EditLineLength(e, line - 1);
        b.end_line = last;
        b.end_col = QW_SEL_END_EOL;
    } else {
        // Every line: one empty line stays.
        b.start_line = 1;
        b.start_col = 0;
        b.end_line = last;
        b.end_col = QW_SEL_END_EOL;
    }
    int r = EditDeleteBlock(e, b);
    EditSetCaret(e, std::min(line, std::max(EditLastLine(e), 1)), 0);
    v->StoreCore(true);
    return r;
}

int SplitLine(void* pv, int mode) {
    CQWEditView* v = Changeable(pv);
    return v ? v->SplitLine(mode == 1 ? 1 : 0) : 0;
}

int OpenLine(void* pv, int indent) {
    CQWEditView* v = Changeable(pv);
    return v ? v->OpenLine(indent != 0) : 0;
}

int Indent(void* pv, int count) {
    CQWEditView* v = Changeable(pv);
    return v && count >= 0 ? v->Indent(count) : 0;
}

int Undent(void* pv) {
    CQWEditView* v = Changeable(pv);
    return v ? v->Undent() : 0;
}

int Selection(void* pv, int what) {
    CQWEditView* v = Edit(pv);
    if (!v) return -1;
    EditCore& e = v->LoadCore();
    SelectionBounds b = EditGetSelectionBounds(e, false);
    bool valid = b.code == QW_SB_VALID;
    switch (what) {
    case QW_ES_CODE: return b.code;
    case QW_ES_TYPE: return e.sel_type;
    case QW_ES_STATE: return e.sel_state;
    case QW_ES_START_LINE: return valid ? b.start_line : 0;
    case QW_ES_START_COLUMN: return valid ? b.start_col : 0;
    case QW_ES_END_LINE: return valid ? b.end_line : 0;
    case QW_ES_END_COLUMN: return valid ? b.end_col : 0;
    case QW_ES_START_DCOL: return valid ? b.start_dcol : 0;
    case QW_ES_END_DCOL: return valid ? b.end_dcol : 0;
    case QW_ES_TYPING_REPLACES: return EditTypingReplacesSelection(e, true) ? 1 : 0;
    default: return -1;
    }
}

int ColumnAt(void* pv, int line, int dcol) {
    CQWEditView* v = Edit(pv);
    if (!v) return -1;
    EditCore& e = v->LoadCore();
    std::string t;
    if (!EditReadLine(e, line, &t)) return -1;
    uint32_t actual = 1;
    return OffsetAtDisplayColumn(t.data(), int(t.size()), uint32_t(std::max(dcol, 1)), e.rules,
                                 &actual, false);
}

int Clipboard(void* pv, int op) {
    CQWEditView* v = Edit(pv);
    if (!v) return -1;
    switch (op) {
    case 0: return v->Copy();
    case 1: return v->Cut();
    case 2: return v->Paste();
    default: return 0;
    }
}

int Undo(void* pv, int redo) {
    CQWEditView* v = Changeable(pv);
    if (!v) return 0;
    return redo ? v->Redo() : v->Undo();
}

int Group(void* pv, int id) {
    CQWEditView* v = Edit(pv);
    return v ? v->HoldUndoGroup(id) : -1;
}

int FindTemplateOf(void* pv, const char* name, std::string* out) {
    CQWEditView* v = Edit(pv);
    int lang = v ? v->source().lang : -1;
    if (lang < 0 || !*name) return -1;
    std::string line(kTemplateLine + 1, '\0');
    if (FindTemplate(lang, &line[0], kTemplateLine, name, 0) < 0) return -1;
    line.resize(std::strlen(line.c_str()));
    // "name TAB expansion [TAB skeleton group]": only the exact name counts.
    size_t tab = line.find('\t');
    if (tab == std::string::npos) return -1;
    std::string abbrev = line.substr(0, tab);
    if (abbrev.size() != std::strlen(name) || _strnicmp(abbrev.c_str(), name, abbrev.size()) != 0)
        return -1;
    size_t end = line.find('\t', tab + 1);
    *out = line.substr(tab + 1, end == std::string::npos ? std::string::npos : end - tab - 1);
    return int(out->size());
}

// ---- Named buffers and files -------------------------------------------------------------

// A buffer's text as one block: lines joined by CR LF, a final one when the
// buffer's text ends with a line break.
std::string BufferText(VMB* b) {
    std::string text;
    VmGuard g;
    int n = vm_line_count(b);
    for (int l = 1; l <= n; ++l) {
        int len = vm_line_length(b, l);
        if (len > 0) {
            std::string line(size_t(len) + 1, '\0');
            int got = vm_read_text(b, l, 0, &line[0], len, nullptr);
            text.append(line.data(), got > 0 ? size_t(got) : 0);
        }
        if (l < n || (vm_state_flags(b, VM_OP_READ, VM_ST_FINAL_EOL) & VM_ST_FINAL_EOL)) text += "\r\n";
    }
    return text;
}

// The names the programs have used for named buffers, in order of first
// use; a list of them shows the ones that still exist.
std::vector<std::string> g_named_buffers;

VMB* NamedBuffer(const char* name, bool create) {
    if (!*name || !std::strcmp(name, "Scrap")) {
        if (!create) return vmb_find(VMB_T_TEMP, "Scrap");
        return ScrapBuffer();
    }
    VMB* b = vmb_find(VMB_T_TEMP, name);
    if (!b && create) b = vmb_open(VMB_T_TEMP, name, 0);
    if (b && std::find(g_named_buffers.begin(), g_named_buffers.end(), name) == g_named_buffers.end())
        g_named_buffers.push_back(name);
    return b;
}

// Fills the list of a list request (argument 8 of a list-building program).
int BufferNames(void* record) {
    auto* r = static_cast<K_list_request*>(record);
    if (!r || r->tag != 0x5F1967EAu || !r->list || !vmb_check(r->list)) return -1;
    std::vector<std::string> names;
    if (vmb_find(VMB_T_TEMP, "Scrap")) names.push_back("Scrap");
    for (const std::string& n : g_named_buffers)
        if (vmb_find(VMB_T_TEMP, n.c_str())) names.push_back(n);
    VmGuard g;
    for (const std::string& n : names)
        vm_insert_line(r->list, vm_line_count(r->list), n.data(), int(n.size()));
    return int(names.size());
}

bool SelectedText(CQWEditView* v, std::string* text, int* style) {
    EditCore& e = v->LoadCore();
    SelectionBounds b = EditGetSelectionBounds(e, false);
    if (b.code != QW_SB_VALID || !EditCopyBlock(e, b, text)) return false;
    *style = b.type == QW_SEL_COLUMN ? 2 : b.type == QW_SEL_LINE ? 1 : 0;
    return true;
}

std::string WordAtCaret(EditCore& e) {
    std::string t;
    if (!EditReadLine(e, e.line, &t)) return std::string();
    int a = std::min(e.col, int(t.size())), z = a;
    while (a > 0 && EditIsWordChar(static_cast<unsigned char>(t[size_t(a - 1)]))) --a;
    while (z < int(t.size()) && EditIsWordChar(static_cast<unsigned char>(t[size_t(z)]))) ++z;
    return t.substr(size_t(a), size_t(z - a));
}

int FillSelection(CQWEditView* v, char fill) {
    EditCore& e = v->LoadCore();
    SelectionBounds b = EditGetSelectionBounds(e, false);
    if (b.code != QW_SB_VALID) return 0;
    int saved_line = e.line, saved_col = e.col;
    for (int l = b.start_line; l <= b.end_line && l <= EditLastLine(e); ++l) {
        std::string t;
        EditReadLine(e, l, &t);
        int n = int(t.size()), from, to;
        if (b.type == QW_SEL_COLUMN) {
            uint32_t a1 = 0, a2 = 0;
            from = OffsetAtDisplayColumn(t.data(), n, uint32_t(b.start_dcol), e.rules, &a1, false);
            to = OffsetAtDisplayColumn(t.data(), n, uint32_t(b.end_dcol), e.rules, &a2, false);
        } else {
            from = l == b.start_line ? b.start_col : 0;
            to = l == b.end_line ? (b.end_col == QW_SEL_END_EOL ? n : b.end_col) : n;
        }
        from = std::min(from, n);
        to = std::min(to, n);
        if (to <= from) continue;
        EditSetCaret(e, l, from);
        if (!EditDeleteRange(e, from, to, 0) ||
            !EditInsertString(e, std::string(size_t(to - from), fill).c_str(), to - from))
            return 0;
    }
    EditSetCaret(e, saved_line, saved_col);
    return 1;
}

int Buffer(void* pv, int op, const char* name) {
    CQWEditView* v = Edit(pv);
    if (!v) return -1;
    bool changes = op == QW_EB_PASTE || op == QW_EB_INSERT_FILE || op == QW_EB_FILL;
    if (changes && !Changeable(pv)) return 0;
    std::string text;
    int style = 0;
    switch (op) {
    case QW_EB_COPY:
    case QW_EB_APPEND: {
        if (!SelectedText(v, &text, &style)) return 0;
        VMB* b = NamedBuffer(name, true);
        if (!b) return 0;
        if (op == QW_EB_APPEND && vm_line_count(b) > 0) {
            std::string old = BufferText(b);
            if (!old.empty() && (old.size() < 2 || old.compare(old.size() - 2, 2, "\r\n") != 0))
                old += "\r\n";
            text = old + text;
            style = vm_user_value(b, -1);
        }
        return SetBufferText(b, text, style) ? 1 : 0;
    }
    case QW_EB_PASTE: {
        VMB* b = NamedBuffer(name, false);
        if (!b || vm_line_count(b) == 0) return 0;
        int s = vm_user_value(b, -1);
        int r = EditInsertBuffer(v->LoadCore(), b, s >= 0 && s <= 2 ? s : 0, QW_IB_CARET_END);
        v->StoreCore(true);
        return r;
    }
    case QW_EB_ADD_WORD: {
        std::string word = WordAtCaret(v->LoadCore());
        VMB* b = NamedBuffer(name, true);
        if (word.empty() || !b) return 0;
        VmGuard g;
        return vm_insert_line(b, vm_line_count(b), word.data(), int(word.size())) ? 1 : 0;
    }
    case QW_EB_INSERT_FILE: {
        std::ifstream in(name, std::ios::binary);
        if (!*name || !in) {
            MsgOut(QW_MSG_STATUS, "Unable to open '%s'", name);
            return 0;
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        int r = EditInsertText(v->LoadCore(), text.data(), text.size(), 0, QW_IB_CARET_END);
        v->StoreCore(true);
        return r;
    }
    case QW_EB_SAVE_SELECTION: {
        if (!*name || !SelectedText(v, &text, &style)) return 0;
        std::ofstream out(name, std::ios::binary | std::ios::trunc);
        if (out) out.write(text.data(), std::streamsize(text.size()));
        if (!out) {
            MsgOut(QW_MSG_STATUS, "Unable to write '%s'", name);
            return 0;
        }
        return 1;
    }
    case QW_EB_FILL: {
        if (!*name) return 0;
        int r = FillSelection(v, name[0]);
        v->StoreCore(true);
        return r;
    }
    default:
        return 0;
    }
}

} // namespace

void InstallEditProgramHooks() {
    InterpEditHooks h;
    h.info = &Info;
    h.get_line = &GetLine;
    h.set_caret = &SetCaret;
    h.replace = &Replace;
    h.insert = &Insert;
    h.insert_line = &InsertLine;
    h.delete_lines = &DeleteLines;
    h.split_line = &SplitLine;
    h.open_line = &OpenLine;
    h.indent = &Indent;
    h.undent = &Undent;
    h.selection = &Selection;
    h.column_at = &ColumnAt;
    h.clipboard = &Clipboard;
    h.undo = &Undo;
    h.group = &Group;
    h.find_template = &FindTemplateOf;
    h.buffer = &Buffer;
    h.buffer_names = &BufferNames;
    Interp_SetEditHooks(&h);
}
