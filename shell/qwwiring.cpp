#include "shell/qwwiring.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "VmEngine/vm.h"
#include "commands/cmdexec.h"
#include "commands/cmdlists.h"
#include "commands/cmdseq.h"
#include "commands/cmdtable.h"
#include "commands/cmdvalues.h"
#include "commands/dlgengine.h"
#include "commands/interp_vm.h"
#include "commands/keytrans.h"
#include "editor/appview.h"
#include "editor/clipboard.h"
#include "editor/docdialogs.h"
#include "editor/doccmds.h"
#include "editor/docmanager.h"
#include "editor/docsave.h"
#include "editor/editview.h"
#include "editor/fileinfo.h"
#include "editor/panes.h"
#include "editor/qwdoc.h"
#include "editor/textview.h"
#include "framework/fwapp.h"
#include "framework/fwdoc.h"
#include "framework/fwframe.h"
#include "shell/mainframe.h"
#include "shell/qwapp.h"
#include "shell/qwfolders.h"
#include "shell/windowcmds.h"

namespace {

QwWiringOutlets g_outlets;

CQWTextView* TextView(void* v) {
    return v ? fw::DynamicDowncast<CQWTextView>(static_cast<fw::View*>(v)) : nullptr;
}
CQWEditView* EditView(void* v) {
    return v ? fw::DynamicDowncast<CQWEditView>(static_cast<fw::View*>(v)) : nullptr;
}
CQWDoc* DocOf(void* v) {
    CQWTextView* t = TextView(v);
    return t ? fw::DynamicDowncast<CQWDoc>(t->GetDocument()) : nullptr;
}

// The active document window's view, when the focus has not named one yet
// (a menu command right after an open, before the view took the focus).
CQWTextView* ActiveFrameView() {
    CMainFrame* main = GetMainFrame();
    if (!main || !main->hwnd()) return nullptr;
    fw::FrameWindow* f = main->GetActiveFrame();
    if (!f || f == main) return nullptr;
    auto* v = fw::DynamicDowncast<CQWTextView>(f->GetActiveView());
    return v && !v->IsHiddenView() ? v : nullptr;
}

CQWTextView* CurrentView() {
    if (CQWTextView* v = GetCurrentTextView()) return v;
    return ActiveFrameView();
}

// ---- The executor's view hooks ----------------------------------------------------

int IsMinimized(void* v) {
    CQWTextView* t = TextView(v);
    fw::FrameWindow* f = t ? t->GetParentFrame() : nullptr;
    return f && f->hwnd() && IsIconic(f->hwnd()) ? 1 : 0;
}
int IsSpecial(void* v) {
    CQWTextView* t = TextView(v);
    return t && t->ViewFlags(-1, QW_VF_LIST) ? 1 : 0;
}
int IsReadOnly(void* v) {
    CQWTextView* t = TextView(v);
    return t ? t->IsViewOnly() : 1;
}
int IsEditable(void* v) {
    CQWTextView* t = TextView(v);
    return t && t->ViewFlags(-1, QW_VF_EDITABLE) ? 1 : 0;
}
int IsNamedFile(void* v) {
    CQWDoc* d = DocOf(v);
    return d && d->IsNamedFile() ? 1 : 0;
}
int FileReadOnly(void* v) {
    CQWDoc* d = DocOf(v);
    return !d || d->FileReadOnlyState() != 0 ? 1 : 0;
}
int BufferName(void* v, char* out, int size) {
    CQWDoc* d = DocOf(v);
    if (!out || size <= 0) return 0;
    std::snprintf(out, size_t(size), "%s", d ? d->GetBufferName().c_str() : "");
    return int(std::strlen(out));
}
int SetEditMode(void* v) {
    CQWDoc* d = DocOf(v);
    if (!d) return 0;
    if (d->IsViewMode()) d->ToggleEditMode(1);
    return d->IsViewMode() ? 0 : 1;
}
uintptr_t WindowOf(void* v) {
    CQWTextView* t = TextView(v);
    return t ? reinterpret_cast<uintptr_t>(t->hwnd()) : 0;
}
int WindowIsView(uintptr_t window, void* v) {
    HWND w = reinterpret_cast<HWND>(window);
    return w && IsWindow(w) && fw::Window::FromHandlePermanent(w) == static_cast<fw::View*>(v) ? 1 : 0;
}
void* CurrentViewHook() { return static_cast<fw::View*>(CurrentView()); }

// Bit 1: a document of the text template is open; bit 2: an output view
// exists. Save As (flag 3) is offered wherever either has a view to save.
int AnyDocument(int flag) {
    auto has_document = [](unsigned id) {
        fw::MultiDocTemplate* t = GetDocTemplateById(id);
        if (!t) return false;
        for (fw::Document* d : t->documents()) {
            auto* doc = fw::DynamicDowncast<CQWDoc>(d);
            if (doc && !doc->IsHidden()) return true;
        }
        return false;
    };
    if ((flag & 1) && has_document(DOC_TEMPLATE_TEXT)) return 1;
    if ((flag & 2) && has_document(DOC_TEMPLATE_OUTPUT)) return 1;
    return 0;
}
BOOL CALLBACK CountFrame(HWND child, LPARAM lp) {
    auto* f = fw::DynamicDowncast<fw::FrameWindow>(fw::Window::FromHandlePermanent(child));
    if (f && fw::DynamicDowncast<CQWTextView>(f->GetActiveView())) ++*reinterpret_cast<int*>(lp);
    return TRUE;
}
int FramesWithView() {
    CMainFrame* main = GetMainFrame();
    if (!main || !main->mdi_client()) return 0;
    int n = 0;
    for (HWND c = GetWindow(main->mdi_client(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        CountFrame(c, reinterpret_cast<LPARAM>(&n));
    return n;
}
int UndoLines(void* v) {
    CQWEditView* e = EditView(v);
    return e ? e->GetUndoDepth() : 0;
}
int RedoSteps(void* v) {
    CQWEditView* e = EditView(v);
    return e ? e->GetRedoDepth() : 0;
}
int SelectionState(void* v) {
    CQWEditView* e = EditView(v);
    return e ? e->SelectState(-1, 0) : 0;
}
int HasSelection(void* v) {
    CQWTextView* t = TextView(v);
    return t && t->HasSelection() ? 1 : 0;
}
// Paste has something to paste: the "Scrap" buffer exists, or the clipboard
// holds text that would fill it.
int ScrapExists() {
    if (vmb_find(VMB_T_TEMP, "Scrap")) return 1;
    UINT own = RegisterTextFormat();
    return IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(CF_UNICODETEXT) ||
                   IsClipboardFormatAvailable(CF_OEMTEXT) || (own && IsClipboardFormatAvailable(own))
               ? 1 : 0;
}
int BufferEmpty(void* v) {
    CQWTextView* t = TextView(v);
    return !t || t->GetLineCount() == 0 ? 1 : 0;
}
int IsMainView(void* v) {
    CQWTextView* t = TextView(v);
    return t && t->ViewFlags(-1, QW_VF_EDITABLE) && !t->ViewFlags(-1, QW_VF_LIST) ? 1 : 0;
}
int AnyEditorView() { return FramesWithView() > 0 ? 1 : 0; }
void TypeChar(void* v, int c, K_cmd_params*) {
    if (CQWEditView* e = EditView(v)) e->TypingStateCommand(c);
}
void RememberColumn(void* v) {
    if (CQWTextView* t = TextView(v)) t->RememberColumn();
}
void RestartStopwatch() {
    if (Stopwatch* w = GetAppStopwatch()) w->Reset();
}

K_cmd_exec_hooks ExecHooks() {
    K_cmd_exec_hooks h{};
    h.is_minimized = IsMinimized;
    h.is_special = IsSpecial;
    h.is_read_only = IsReadOnly;
    h.is_editable = IsEditable;
    h.is_named_file = IsNamedFile;
    h.ask = g_outlets.ask;
    h.file_read_only = FileReadOnly;
    h.buffer_name = BufferName;
    h.set_edit_mode = SetEditMode;
    h.window_of = WindowOf;
    h.window_is_view = WindowIsView;
    h.current_view = CurrentViewHook;
    h.any_document = AnyDocument;
    h.frames_with_view = FramesWithView;
    h.undo_lines = UndoLines;
    h.redo_steps = RedoSteps;
    h.selection_state = SelectionState;
    h.has_selection = HasSelection;
    h.buffer_empty = BufferEmpty;
    h.scrap_exists = ScrapExists;
    h.is_main_view = IsMainView;
    h.any_editor_view = AnyEditorView;
    h.type_char = TypeChar;
    h.remember_column = RememberColumn;
    h.stopwatch_restart = RestartStopwatch;
    return h;
}

// ---- The application view's command hooks --------------------------------------

int RunViewSequence(const int* ids, int count, void* view) {
    if (!ids || count <= 0) return 0;
    std::vector<int32_t> seq(ids, ids + count);
    seq.push_back(K_SEQ_END);
    K_cmd_sequence state{seq.data(), seq.data()};
    K_cmd_params params;
    K_cmd_params_init(&params, 1, seq[0], nullptr, 0, 0);
    return K_cmd_run_sequence(&state, view, &params);
}

AppViewCommandHooks ViewHooks() {
    AppViewCommandHooks h;
    h.run_sequence = RunViewSequence;
    // Menu items of several commands stay with the frame, which runs their
    // whole sequence: menu_command stays unset.
    h.available = cmd_available;
    h.value = cmd_get_value;
    h.set_current_command = K_cmd_set_current;
    return h;
}

// ---- The document manager and the document ---------------------------------------

void ActivateView(fw::View* view) {
    if (CQWTextView* t = fw::DynamicDowncast<CQWTextView>(view)) ActivateViewFrame(t, true, 0);
}

// Another document window on the document of `view`.
int OpenNewWindow(fw::View* view) {
    fw::Document* doc = view ? view->GetDocument() : nullptr;
    fw::MultiDocTemplate* t = doc ? doc->GetDocTemplate() : nullptr;
    if (!t) return 0;
    fw::FrameWindow* frame = t->CreateNewFrame(doc, view->GetParentFrame());
    if (!frame) return 0;
    t->InitialUpdateFrame(frame, doc, true);
    if (auto* d = fw::DynamicDowncast<CQWDoc>(doc)) d->RefreshViewWindows();
    return 1;
}

unsigned ViewFlagsOf(fw::View* view) {
    CQWTextView* t = fw::DynamicDowncast<CQWTextView>(view);
    return t ? t->ViewFlags(-1, ~0u) : 0;
}
fw::View* CurrentTextView() { return CurrentView(); }
void HidePointer(fw::View* view) {
    if (CQWTextView* t = fw::DynamicDowncast<CQWTextView>(view)) CQWTextView::HideMouseWhileTyping(t, 0);
}

// ---- The frame's open requests --------------------------------------------------

void* FrameOpenFile(const char* path, uint32_t flags, int mode) {
    return VwFileOpenEx(path, flags, mode);
}
void FrameOpenFileRequest(void* record) { DoOpenFileRequest(record); }

// ---- Commands the frame runs ---------------------------------------------------------

void ActivateDocument() {
    if (CQWTextView* v = CurrentView()) ActivateViewFrame(v, true, 0);
}
void ActivateMenuBar() {
    if (CMainFrame* f = GetMainFrame()) PostMessageA(f->hwnd(), WM_SYSCOMMAND, SC_KEYMENU, 0);
}
void RefreshAllViews() { RefreshViews(0x1, false); }

// Go to line (389, 390) asks in its own dialog, whose table lets OK through
// only with a number; go to column (430) in the plain one-value prompt.
int GoToPrompt(int command_id, const char* initial, char* out, int size) {
    DlgString text{out, size};
    DlgCopyToString(text, initial ? initial : "");
    if (command_id == 430)
        return DlgPromptValue(text, "Go To Column", "Column (1 to 4096):", command_id, 0x1, nullptr) >= 0 ? 1 : 0;
    const char* labels[] = {"Line number (+n or -n counts from the caret line):", nullptr};
    DlgString strings[] = {text, {nullptr, 0}};
    return dialog_manager_ex(2582, nullptr, command_id == 390 ? "Go To Original Line" : nullptr, nullptr, 0, labels,
                             strings, command_id, 2582, nullptr, 0, nullptr, nullptr) == 1
               ? 1
               : 0;
}

}  // namespace

void QwSetWiringOutlets(const QwWiringOutlets& outlets) { g_outlets = outlets; }

QwActiveView QwActiveViewInfo() {
    QwActiveView a;
    a.view = CurrentView();
    if (!a.view) return a;
    a.doc = fw::DynamicDowncast<CQWDoc>(a.view->GetDocument());
    a.frame = a.view->GetParentFrame();
    return a;
}

void QwInstallEditorWiring() {
    K_cmd_exec_hooks exec = ExecHooks();
    K_cmd_set_exec_hooks(&exec);
    SetAppViewCommandHooks(ViewHooks());

    DocManagerHooks dm{};
    dm.activate_view = ActivateView;
    dm.open_new_window = OpenNewWindow;
    SetDocManagerHooks(&dm);

    QWDocHooks doc{};
    doc.view_flags = ViewFlagsOf;
    doc.current_text_view = CurrentTextView;
    doc.hide_pointer = HidePointer;
    doc.queue_doc_info = QueueDocInfoUpdate;
    SetQWDocHooks(&doc);

    DocLifecycleHooks life{};
    life.ask_named = g_outlets.ask_named;
    SetDocLifecycleHooks(&life);

    QwFrameHooks fh = GetFrameHooks();
    fh.open_file = FrameOpenFile;
    fh.open_file_request = FrameOpenFileRequest;
    SetFrameHooks(&fh);

    K_cmd_frame_hooks frame{};
    frame.show_output = g_outlets.show_output;
    frame.activate_output = g_outlets.activate_output;
    frame.activate_document = ActivateDocument;
    frame.activate_menu_bar = ActivateMenuBar;
    frame.refresh_all_views = RefreshAllViews;
    K_cmd_set_frame_hooks(&frame);

    InstallEditCommands();
    InstallNavigationCommands();
    SetGoToLinePrompt(GoToPrompt);

    InstallDocCommands();
    InstallDocDialogs();
    InstallWindowCommands();
    InstallCommandLists(UserInitials);

    // A program caught in a loop is stopped by Ctrl+Break, as command
    // sequences are; without a poll it would hang the editor for good.
    interp_set_poll([](const char*) { return ReadCtrlBreak() == 0; });
}

void QwRemoveEditorWiring() {
    interp_set_poll(nullptr);
    SetGoToLinePrompt(nullptr);
    RemoveWindowCommands();
    RemoveDocDialogs();
    RemoveDocCommands();
    K_cmd_set_frame_hooks(nullptr);
    QwFrameHooks fh = GetFrameHooks();
    fh.open_file = nullptr;
    fh.open_file_request = nullptr;
    SetFrameHooks(&fh);
    SetDocLifecycleHooks(nullptr);
    SetQWDocHooks(nullptr);
    SetDocManagerHooks(nullptr);
    SetAppViewCommandHooks(AppViewCommandHooks{});
    K_cmd_set_exec_hooks(nullptr);
}
