// The wiring's outlets on the shell's message side: named questions, the
// output pane, and the status bar's view panes.
#include <windows.h>

#include "VmEngine/vm.h"
#include "commands/kbmacro.h"
#include "opsys/msgbox_backend.h"
#include "opsys/msgout.h"
#include "editor/editview.h"
#include "editor/qwdoc.h"
#include "shell/dnaa.h"
#include "shell/outputpane.h"
#include "shell/qwwiring.h"
#include "shell/statusbar.h"

namespace {

// The stored question, or (when the user's store lacks it) its string as a
// plain Yes/No question.
int AskByName(const char* name, unsigned string_id) {
    int r = DNAA_MessageBoxByName(name, nullptr, 0);
    if (r >= 0) return r;
    char text[512] = "";
    if (!LoadAppString(string_id, text, sizeof text)) return IDNO;
    return QwPlatformMessageBox(nullptr, text, nullptr, MB_YESNO | MB_ICONQUESTION);
}

void ShowOutput(int how) {
    bool show = how < 0 ? !Output_IsVisible() : how != 0;
    Output_ShowPane(show, 0);
}

void ActivateOutput(int tab) { Output_Show(1, 1, tab, 0); }

} // namespace

QwWiringOutlets QwOutputWiringOutlets() {
    QwWiringOutlets o;
    o.ask = AskByName;
    o.ask_named = DNAA_AskNamedHook;
    o.show_output = ShowOutput;
    o.activate_output = ActivateOutput;
    return o;
}

bool QwStatusViewInfoOfActiveView(QwStatusViewInfo* info) {
    if (!info) return false;
    QwActiveView a = QwActiveViewInfo();
    if (!a.view) return false;
    CQWTextView* v = a.view;
    info->has_view = true;
    info->editable = v->ViewFlags(-1, QW_VF_EDITABLE) != 0;
    info->view_only = v->IsViewOnly() != 0;
    info->overtype = GetInsertMode() == 0;
    CMacroMgr* macros = GetMacroManager();
    info->macro = macros && macros->IsRecording() ? 1 : macros && macros->IsPlaying() ? 2 : 0;
    int lines = v->GetLineCount();
    info->has_lines = lines > 0;
    info->line = v->GetCurLine();
    info->line_count = unsigned(lines > 0 ? lines : 0);
    info->column = v->GetDisplayColumn();
    info->read_complete = v->GetBuffer() && vm_is_fully_read(v->GetBuffer());
    if (auto* e = fw::DynamicDowncast<CQWEditView>(v)) {
        if (e->HasSelection()) {
            SelectionBounds b = e->GetSelectionBounds();
            info->sel_lines = b.end_line - b.start_line;
            if (b.type == QW_SEL_COLUMN) {
                info->sel_kind = 1;
                info->sel_lines += 1;
                info->sel_columns = b.end_dcol - b.start_dcol;
            } else if (b.type == QW_SEL_LINE) {
                info->sel_kind = 2;
            } else {
                info->sel_kind = 3;
                if (b.start_line == b.end_line) info->sel_chars = b.end_col - b.start_col;
            }
        }
    }
    if (a.doc) {
        info->edited = a.doc->IsEdited() != 0;
        info->autosave = a.doc->TestFlag8() != 0;
        info->path = a.doc->GetPathName();
    }
    char folder[MAX_PATH] = "";
    if (GetCurrentDirectoryA(sizeof folder, folder)) info->folder = folder;
    return true;
}

