// CQWEditView: copies the caret into the editing engine, runs the
// operation, copies the caret back and repaints; the editing commands'
// view handlers.
#include "editor/editview.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "VmEngine/vm.h"
#include "commands/cmdtable.h"
#include "commands/interp.h"
#include "editor/clipboard.h"
#include "editor/dragdrop.h"
#include "editor/qwdoc.h"
#include "editor/stylesheet.h"
#include "opsys/msgout.h"

namespace {
int g_insert_mode = 1;
constexpr unsigned kIdsRemovingUndo = 356;

void TrimNotice(EditCore&) { MsgOutId(QW_MSG_STATUS, kIdsRemovingUndo); }

// The live edit views, so that a program's view word is checked before use.
std::mutex g_views_mutex;
std::vector<const void*> g_views;
} // namespace

int GetInsertMode() { return g_insert_mode; }

int SetInsertMode(int mode) {
    g_insert_mode = mode ? 1 : 0;
    if (CQWTextView* v = GetCurrentTextView()) v->UpdateCaret(g_insert_mode != 0);
    return g_insert_mode;
}

int ToggleInsertMode() { return SetInsertMode(!g_insert_mode); }

FW_IMPLEMENT_DYNCREATE(CQWEditView, CQWTextView)

CQWEditView::CQWEditView() {
    core_.trim_notice = &TrimNotice;
    std::lock_guard<std::mutex> lock(g_views_mutex);
    g_views.push_back(static_cast<const fw::View*>(this));
}

CQWEditView::~CQWEditView() {
    ReleaseViewDropTarget(drop_target_);
    DragState& d = TheDragState();
    if (d.source == this) d.source = nullptr;
    if (d.feedback == this) d.feedback = nullptr;
    std::lock_guard<std::mutex> lock(g_views_mutex);
    g_views.erase(std::remove(g_views.begin(), g_views.end(), static_cast<const fw::View*>(this)),
                  g_views.end());
}

CQWEditView* CQWEditView::FromProgramView(void* view) {
    if (!view) return nullptr;
    std::lock_guard<std::mutex> lock(g_views_mutex);
    if (std::find(g_views.begin(), g_views.end(), view) == g_views.end()) return nullptr;
    return static_cast<CQWEditView*>(static_cast<fw::View*>(view));
}

int CQWEditView::HoldUndoGroup(int id) {
    if (!HasBuffer()) return 0;
    EditCore& e = LoadCore();
    if (id <= 0) {
        DropHeldGroup();
        return 1;
    }
    if (group_held_) return 0;
    EditRecordCommand(e, id);
    // A command without the group attribute still gets one group here: the
    // program's changes are undone together.
    if (!e.group_open) EditRecordGroup(e, QW_UNDO_CLASS_CMD, 0, id, nullptr);
    e.group_open = false;
    ++e.op_depth;
    group_held_ = true;
    return 1;
}

void CQWEditView::DropHeldGroup() {
    if (!group_held_) return;
    group_held_ = false;
    if (core_.op_depth > 0) --core_.op_depth;
}

CQWDoc* CQWEditView::GetQWDoc() { return fw::DynamicDowncast<CQWDoc>(GetDocument()); }

CQWMarkTable* CQWEditView::Marks() { return MarkTableOf(GetBuffer()); }

int CQWEditView::IsViewOnly() {
    CQWDoc* doc = GetQWDoc();
    if (doc) return doc->IsViewMode() ? 1 : 0;
    return ViewFlags(-1, QW_VF_EDITABLE) ? 0 : 1;
}

void CQWEditView::ApplySettings() {
    EditSettings s;
    CQWDoc* doc = GetQWDoc();
    if (CStyleSheet* sheet = doc ? doc->GetStyleSheet() : nullptr) {
        s.indent_width = sheet->GetIndentSize();
        s.tab_inserts_tab = sheet->m_Flags[SSF_TAB_KEY_USE] != 0;
        s.caret_past_end = sheet->m_Flags[SSF_VIRTUAL_FILLER] != 0;
        s.strip_trailing = sheet->m_Flags[SSF_STRIP_TRAILING] != 0;
        s.auto_indent = sheet->m_Flags[SSF_AUTO_INDENT] != 0;
        s.auto_wrap = sheet->m_Flags[SSF_WORD_WRAP] != 0;
        s.indent_search = sheet->m_AutoIndentScan > 0 ? sheet->m_AutoIndentScan : 0;
        s.right_margin = sheet->m_RightMargin > 0 ? sheet->m_RightMargin : 30000;
    }
    core_.settings = s;
}

EditCore& CQWEditView::LoadCore() {
    VMB* b = GetBuffer();
    if (core_.buffer != b) {
        core_.buffer = b;
        core_.doc_flags = 0;
        core_.sel_on = false;
    }
    core_.marks = Marks();
    core_.rules = Rules();
    ApplySettings();
    core_.view_only = IsViewOnly() != 0;
    core_.insert_mode = g_insert_mode != 0;
    core_.recording_off = ViewFlags(-1, QW_VF_WHOLE_LINE | QW_VF_LIST) != 0;
    int line = int(GetCurLine());
    if (line != core_.line) EditLineLeave(core_, false); // the caret moved to another line
    core_.line = line;
    core_.col = int(GetCurColumn());
    core_.dcol = int(GetDisplayColumn());
    return core_;
}

void CQWEditView::StoreCore(bool repaint_all) {
    (void)repaint_all;
    {
        SelectionBounds b;
        if (EditHasSelection(core_)) b = EditGetSelectionBounds(core_, false);
        std::lock_guard<std::mutex> hold(painted_selection_lock_);
        painted_selection_ = b;
        painted_selection_kind_ = core_.sel_state == QW_SST_HIGHLIGHT ? QW_KIND_MARKED
                                  : b.type == QW_SEL_LINE             ? QW_KIND_SEL_LINE
                                  : b.type == QW_SEL_COLUMN           ? QW_KIND_SEL_COLUMN
                                                                      : QW_KIND_SEL_STREAM;
        painted_rules_ = core_.rules;
    }
    SetCaretLine(uint32_t(std::max(core_.line, 1)));
    SetCaretColumn(std::max(core_.col, 0));
    CaretDisplayColumn(1, core_.dcol);
    // Keep the caret's line in the window.
    uint32_t top = GetTopLine(), rows = std::max(GetLinesInWindow(), 1u);
    if (uint32_t(core_.line) < top) SetTopLine(uint32_t(core_.line));
    else if (uint32_t(core_.line) >= top + rows) SetTopLine(uint32_t(core_.line) - rows + 1);
    if (hwnd()) {
        RedrawWindowLines();
        UpdateCaret(g_insert_mode != 0);
    }
}

int CQWEditView::LastTyped(int value) {
    if (value != -1) core_.last_typed = value;
    return core_.last_typed;
}

// ---- Typing ----------------------------------------------------------------------

int CQWEditView::TypingStateCommand(int ch, bool notify, int extra) {
    (void)extra;
    if (!HasBuffer()) return 0;
    DropHeldGroup();
    EditCore& e = LoadCore();
    bool saved = e.recording_off;
    if (!notify) e.recording_off = true;
    int r = EditTypeKey(e, ch);
    e.recording_off = saved;
    StoreCore(false);
    if (r && IsImmediateUpdate() && IsAutoWrap()) {
        // Typing past the right margin refills the paragraph.
        std::string t;
        EditReadLine(core_, core_.line, &t);
        int end = int(DisplayColumnAt(t.data(), int(t.size()), int(t.size()), core_.rules));
        if (end > core_.settings.right_margin + 1)
            CExe_ExecuteByName("para_rfm", 1, ch, 0, static_cast<fw::View*>(this), nullptr);
    }
    return r;
}

int CQWEditView::InsertChar(int ch) {
    if (!HasBuffer()) return 0;
    int r = EditInsertChar(LoadCore(), ch);
    StoreCore(false);
    return r;
}

int CQWEditView::TypeChar(int ch) {
    if (!HasBuffer()) return 0;
    int r = EditTypeChar(LoadCore(), ch);
    StoreCore(false);
    return r;
}

bool CQWEditView::InsertString(const char* text) {
    if (!HasBuffer() || !text) return false;
    bool r = EditInsertString(LoadCore(), text, -1);
    StoreCore(false);
    return r;
}

int CQWEditView::ReplaceAndInsert(const char* text, int start, int end) {
    if (!HasBuffer()) return 0;
    EditCore& e = LoadCore();
    bool immediate = IsImmediateUpdate();
    SetImmediateUpdate(false);
    if (start < 0) EditDeleteSelection(e);
    else if (end > start) EditDeleteRange(e, start, end, 0);
    int r = text ? (EditInsertString(e, text, -1) ? 1 : 0) : 1;
    SetImmediateUpdate(immediate);
    StoreCore(false);
    return r;
}

void CQWEditView::TabRight() {
    if (!g_insert_mode) {
        CQWTextView::TabRight();
        return;
    }
    if (!HasBuffer()) return;
    EditTab(LoadCore());
    StoreCore(false);
}

void CQWEditView::TabLeft() { CQWTextView::TabLeft(); }

int CQWEditView::Indent(int count) {
    if (!HasBuffer()) return 0;
    int r = EditIndent(LoadCore(), count);
    StoreCore(false);
    return r;
}

int CQWEditView::Undent() {
    if (!HasBuffer()) return 0;
    int r = EditUndent(LoadCore());
    StoreCore(false);
    return r;
}

bool CQWEditView::IsAutoWrap() {
    ApplySettings();
    return core_.settings.auto_wrap;
}

// ---- Editing operations -----------------------------------------------------------

#define QW_EDIT_OP(call)               \
    if (!HasBuffer()) return 0;        \
    EditCore& e = LoadCore();          \
    int r = call;                      \
    StoreCore(true);                   \
    return r

int CQWEditView::DeleteRange(int from, int to, uint32_t flags) { QW_EDIT_OP(EditDeleteRange(e, from, to, flags)); }
int CQWEditView::Backspace() { QW_EDIT_OP(EditBackspace(e)); }
int CQWEditView::DeleteLine(bool) { QW_EDIT_OP(EditDeleteLine(e)); }
int CQWEditView::JoinLine() { QW_EDIT_OP(EditJoinLine(e)); }
int CQWEditView::JoinNext() { QW_EDIT_OP(EditJoinNext(e)); }
int CQWEditView::SplitLine(int indent_mode, bool) { QW_EDIT_OP(EditSplitLine(e, indent_mode)); }
int CQWEditView::OpenLine(bool indent) { QW_EDIT_OP(EditOpenLine(e, indent)); }
int CQWEditView::DeleteToLineStart() { QW_EDIT_OP(EditDeleteToLineStart(e)); }
int CQWEditView::DeleteToLineEnd() { QW_EDIT_OP(EditDeleteToLineEnd(e)); }
int CQWEditView::DeleteSelection(bool) { QW_EDIT_OP(EditDeleteSelection(e)); }
int CQWEditView::InsertText(const char* text, size_t length, int style, uint32_t flags) {
    QW_EDIT_OP(EditInsertText(e, text, length, style, flags));
}
int CQWEditView::InsertBuffer(VMB* buffer, int style, uint32_t flags) {
    QW_EDIT_OP(EditInsertBuffer(e, buffer, style, flags));
}

int CQWEditView::DeleteWord(bool word_only, bool to_start) {
    if (!HasBuffer()) return 0;
    EditCore& e = LoadCore();
    if (to_start) {
        // One word left first: over blanks, then over the word.
        std::string t;
        EditReadLine(e, e.line, &t);
        int c = std::min(e.col, int(t.size()));
        while (c > 0 && (t[size_t(c - 1)] == ' ' || t[size_t(c - 1)] == '\t')) --c;
        if (c > 0 && EditIsWordChar(static_cast<unsigned char>(t[size_t(c - 1)])))
            while (c > 0 && EditIsWordChar(static_cast<unsigned char>(t[size_t(c - 1)]))) --c;
        else if (c > 0)
            --c;
        if (c == e.col && e.col == 0) {
            StoreCore(false);
            return EditBackspace(e);
        }
        int from = c, to = e.col;
        EditSetCaret(e, e.line, from);
        int r = EditDeleteRange(e, from, to, 0);
        StoreCore(true);
        return r;
    }
    int r = EditDeleteWord(e, word_only);
    StoreCore(true);
    return r;
}

// ---- Selection -------------------------------------------------------------------

bool CQWEditView::HasSelection() const { return EditHasSelection(core_); }

int CQWEditView::SetSelection(int op, bool repaint, bool record) {
    if (!HasBuffer()) return -1;
    EditCore& e = LoadCore();
    int r = EditSetSelection(e, op, record);
    if (repaint) StoreCore(true);
    return r;
}

int CQWEditView::SelectText(int sl, int sc, int el, int ec, int type, int state, bool repaint,
                            bool record) {
    if (sl == 0) {
        MsgOut(QW_MSG_LOG, "KV: CQWTextView::SelectText() and ln_num_start eq 0");
        return 0;
    }
    if (!HasBuffer()) return 0;
    int r = EditSelectText(LoadCore(), sl, sc, el, ec, type, state, record);
    if (repaint) StoreCore(true);
    return r;
}

int CQWEditView::SelectState(int op, int value) {
    if (op == 1) core_.sel_state = value;
    return core_.sel_state;
}

int CQWEditView::SelectionMode(int type) {
    if (!HasBuffer()) return 0;
    int r = EditSelectionMode(LoadCore(), type);
    StoreCore(true);
    return r;
}

bool CQWEditView::SelectedPart(uint32_t line, const char* text, int len, int* from, int* to,
                               int* kind) const {
    std::lock_guard<std::mutex> hold(painted_selection_lock_);
    const SelectionBounds& b = painted_selection_;
    const int l = int(line);
    if (b.code != QW_SB_VALID || l < b.start_line || l > b.end_line) return false;
    int a, e;
    if (b.type == QW_SEL_COLUMN) {
        a = OffsetAtDisplayColumn(text, len, uint32_t(std::max(b.start_dcol, 1)), painted_rules_,
                                  nullptr, false);
        e = OffsetAtDisplayColumn(text, len, uint32_t(std::max(b.end_dcol, 1)), painted_rules_,
                                  nullptr, false);
    } else {
        // An end at column 0 of a later line takes nothing of that line.
        if (l == b.end_line && b.end_col == 0 && b.end_line > b.start_line) return false;
        a = l == b.start_line ? b.start_col : 0;
        e = l == b.end_line && b.end_col >= 0 ? b.end_col : len;
    }
    a = std::clamp(a, 0, len);
    e = std::clamp(e, 0, len);
    if (e <= a) return false;
    *from = a;
    *to = e;
    *kind = painted_selection_kind_;
    return true;
}

int CQWEditView::MouseSelection(int op, int type) {
    if (!HasBuffer()) return 0;
    EditCore& e = LoadCore();
    int r = 0;
    switch (op) {
    case 0:
        if (e.sel_on) EditSetSelection(e, 3, false);
        // A word drag selects characters; the drag itself widens to words.
        e.sel_type = type == QW_SEL_WORD || type == QW_SEL_MOUSE ? QW_SEL_CHAR : type;
        r = EditSetSelection(e, 0, true);
        e.sel_state = QW_SST_MOUSE;
        break;
    case 2:
        r = EditSetSelection(e, 2, false);
        break;
    case 3:
        r = EditSetSelection(e, 3, true);
        break;
    default:
        return 0;
    }
    StoreCore(true);
    return r;
}

int CQWEditView::SelectAll() {
    if (!HasBuffer()) return 0;
    int r = EditSelectAll(LoadCore());
    StoreCore(true);
    return r;
}

SelectionBounds CQWEditView::GetSelectionBounds() {
    if (!HasBuffer()) return SelectionBounds();
    return EditGetSelectionBounds(LoadCore(), true);
}

bool CQWEditView::IsTypingReplacingSelection(bool check_caret) {
    if (!HasBuffer()) return false;
    return EditTypingReplacesSelection(LoadCore(), check_caret);
}

void CQWEditView::ExtendSelectionToCaret() {
    if (!HasBuffer() || !core_.sel_on || core_.sel_state != QW_SST_CARET) return;
    EditSetSelection(LoadCore(), 2, false);
    StoreCore(true);
}

// ---- Clipboard ------------------------------------------------------------------------

int CQWEditView::Copy() {
    if (!HasBuffer()) return 0;
    EditCore& e = LoadCore();
    SelectionBounds b = EditGetSelectionBounds(e, false);
    if (b.code != QW_SB_VALID) return 0;
    std::string text;
    if (!EditCopyBlock(e, b, &text)) return 0;
    int style = b.type == QW_SEL_COLUMN ? 2 : b.type == QW_SEL_LINE ? 1 : 0;
    return PutTextOnClipboard(EditorMainFrame() ? EditorMainFrame() : hwnd(), text, style, 1) ? 1 : 0;
}

int CQWEditView::Cut() {
    if (!HasBuffer()) return 0;
    if (IsViewOnly()) {
        MsgBeep(0x10000);
        return 0;
    }
    if (!Copy()) return 0;
    return DeleteSelection(true);
}

int CQWEditView::Paste() {
    if (!HasBuffer()) return 0;
    std::string text;
    int style = 0;
    if (!GetTextFromClipboard(EditorMainFrame() ? EditorMainFrame() : hwnd(), &text, &style))
        return 0;
    EditCore& e = LoadCore();
    if (e.view_only) {
        MsgBeep(0x10000);
        return 0;
    }
    if (EditTypingReplacesSelection(e, true)) EditDeleteSelection(e);
    else if (e.sel_on && e.sel_state != QW_SST_CARET && e.sel_state != QW_SST_MARKS)
        EditSetSelection(e, 3, false); // pasted away from it, as typing ends it
    int r = EditInsertText(e, text.data(), text.size(), style, QW_IB_CARET_END);
    StoreCore(true);
    return r;
}

// ---- Undo ------------------------------------------------------------------------------

int CQWEditView::Undo() {
    if (!HasBuffer()) return 0;
    EditCore& e = LoadCore();
    if (e.sel_on) EditSetSelection(e, 3, false);
    int r = EditUndo(e);
    StoreCore(true);
    return r;
}

int CQWEditView::Redo() {
    if (!HasBuffer()) return 0;
    EditCore& e = LoadCore();
    if (e.sel_on) EditSetSelection(e, 3, false);
    int r = EditRedo(e);
    StoreCore(true);
    return r;
}

int CQWEditView::GetUndoDepth() { return HasBuffer() ? EditUndoDepth(LoadCore()) : 0; }
int CQWEditView::GetRedoDepth() { return HasBuffer() ? EditRedoDepth(LoadCore()) : 0; }

void CQWEditView::OnEditNotify(int cls, int kind, int line) {
    if (!HasBuffer()) return;
    EditRecord(LoadCore(), cls, kind, 0, line);
}

void CQWEditView::OnLineLeave(bool force) {
    if (!HasBuffer()) return;
    EditCore& e = core_;
    e.buffer = GetBuffer();
    e.marks = Marks();
    e.view_only = IsViewOnly() != 0;
    ApplySettings();
    EditLineLeave(e, force);
}

bool CQWEditView::TakeCommandStop() {
    bool stop = core_.stop;
    core_.stop = false;
    return stop;
}

LRESULT CQWEditView::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE: {
        LRESULT r = CQWTextView::WindowProc(msg, wp, lp);
        if (r == 0 && !drop_target_) {
            // Without OLE on this thread the view simply takes no drops.
            drop_target_ = MakeViewDropTarget(this);
            if (FAILED(RegisterDragDrop(hwnd(), drop_target_))) {
                drop_target_->Release();
                drop_target_ = nullptr;
            }
        }
        return r;
    }
    case WM_DESTROY:
        if (drop_target_) {
            RevokeDragDrop(hwnd());
            ReleaseViewDropTarget(drop_target_);
            drop_target_ = nullptr;
        }
        break;
    default:
        break;
    }
    return CQWTextView::WindowProc(msg, wp, lp);
}

// ---- Commands ----------------------------------------------------------------------------

int CQWEditView::RunEditCommand(int id, const char* param) {
    if (!HasBuffer()) return 0;
    DropHeldGroup();
    EditCore& e = LoadCore();
    bool refuse_view_only = K_cmd_get_flags(id) & 0x10 && !(K_cmd_get_flags(id) & 0x20);
    if (e.view_only && refuse_view_only) {
        MsgBeep(0x10000);
        return 0;
    }
    if (id != 450 && id != 451) EditRecordCommand(e, id);
    bool replaces = EditTypingReplacesSelection(e, true);
    int r = -1;
    switch (id) {
    case 433: r = EditSplitLine(e, 0); break;                   // K_LineSplit
    case 434: r = EditJoinNext(e); break;                       // K_LineJoinNext
    case 435: r = replaces ? EditDeleteSelection(e) : EditBackspace(e); break;
    case 436: r = replaces ? EditDeleteSelection(e) : EditDeleteRange(e, e.col, e.col + 1, QW_DR_JOIN | QW_DR_KEEP_DCOL); break;
    case 437: r = EditDeleteLine(e); break;
    case 438: r = EditDeleteToLineStart(e); break;
    case 439: r = EditDeleteToLineEnd(e); break;
    case 440:
        r = EditDeleteWord(e, param && _strnicmp(param, "WordOnly", 8) == 0);
        break;
    case 441:
        StoreCore(false);
        return DeleteWord(false, true);
    case 442:                                                    // K_Tab
        if (g_insert_mode) r = EditTab(e);
        else {
            StoreCore(false);
            CQWTextView::TabRight();
            return 1;
        }
        break;
    case 443:
        StoreCore(false);
        CQWTextView::TabLeft();
        return 1;
    case 444: r = EditUndent(e); break;
    case 445: r = EditIndent(e, 0); break;
    case 449: r = ToggleInsertMode(); e.insert_mode = r != 0; break;
    case 450: r = EditUndo(e); break;
    case 451: r = EditRedo(e); break;
    case 455: StoreCore(false); return Copy();
    case 456: StoreCore(false); return Cut();
    case 457: StoreCore(false); return Paste();
    case 465: r = EditSelectionMode(e, QW_SEL_CHAR); break;
    case 466: r = EditSelectionMode(e, QW_SEL_CHAR_INCL); break;
    case 467: r = EditSelectionMode(e, QW_SEL_LINE); break;
    case 468: r = EditSelectionMode(e, QW_SEL_COLUMN); break;
    case 469:
    case 470: {                                                   // K_SelectionStart / End
        int slot = id == 469 ? QW_MARK_SEL_START : QW_MARK_SEL_END;
        if (!e.sel_on) {
            EditSetSelection(e, 0, false);
            e.sel_type = QW_SEL_CHAR;
        }
        e.marks->Set(slot, e.line, e.col);
        e.sel_state = QW_SST_MARKS;
        r = 1;
        break;
    }
    case 471: r = EditSelectAll(e); break;
    case 473: r = ColumnSelectMode(!ColumnSelectMode(-1)); break;
    case 474: r = EditSetSelection(e, 3, true); break;           // K_SelectionHide
    case 545: {                                                   // K_GotoLastEdit
        int l, c;
        if (!e.marks->Get(QW_MARK_LAST_EDIT, &l, &c)) return 0;
        EditSetCaret(e, std::min(l, std::max(1, EditLastLine(e))), c);
        r = 1;
        break;
    }
    default:
        if (id >= 527 && id <= 535) {                             // bookmarks
            r = e.marks->Set(id - 527, e.line, e.col) ? 1 : 0;
        } else if (id >= 536 && id <= 544) {
            int l, c;
            if (!e.marks->Get(id - 536, &l, &c)) return 0;
            EditSetCaret(e, std::min(l, std::max(1, EditLastLine(e))), c);
            r = 1;
        }
        break;
    }
    if (r == -1) return -1;
    StoreCore(true);
    return r;
}

namespace {
int EditViewHandler(void* view, int arg, K_cmd_params* params) {
    (void)arg;
    auto* v = fw::DynamicDowncast<CQWEditView>(static_cast<fw::View*>(view));
    if (!v || !params) return 0;
    const char* text = K_cmd_params_has_string(params) ? K_cmd_params_get_string(params) : nullptr;
    // Enter is the program's first ("SmartIndent"); when it does not take
    // it, the plain split runs.
    if (params->id == 433 && v->HasBuffer() && !v->IsViewOnly() &&
        CExe_ExecuteByName("SmartIndent", 1, 433, 0, view, params) == 1)
        return 1;
    return v->RunEditCommand(params->id, text);
}
} // namespace

void InstallEditCommands() {
    static const int ids[] = {433, 434, 435, 436, 437, 438, 439, 440, 441, 442, 443, 444, 445,
                              449, 465, 466, 467, 468, 469, 470, 471, 473, 474, 545};
    for (int id : ids) K_cmd_set_view_handler(id, &EditViewHandler);
    for (int id = 527; id <= 544; ++id) K_cmd_set_view_handler(id, &EditViewHandler);
    InstallEditProgramHooks();
}
