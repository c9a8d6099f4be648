// The file commands and the document-side window commands.
#include "editor/doccmds.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "commands/cmdlists.h"
#include "commands/cmdtable.h"
#include "commands/dlgengine.h"
#include "commands/kbmacro.h"
#include "editor/docdialogs.h"
#include "editor/docmanager.h"
#include "editor/qwdoc.h"
#include "editor/stylesheet.h"
#include "framework/fwapp.h"
#include "framework/fwframe.h"
#include "framework/fwview.h"
#include "opsys/msgout.h"
#include "opsys/paths.h"
#include "opsys/shell_outlets.h"

namespace {

enum : int {
    kFileNew = 315,
    // The new-document dialog, its control table and its flags: placement
    // kept, centred, widened for its list.
    kNewDocumentDialog = 2200,
    kNewDocumentTable = 2201,
    kFileView = 317,
    kFileFavorites = 318,
};

enum : unsigned {
    IDS_OPEN_TITLE = 61440,
    IDS_VIEW_TITLE = 406,
    // Open-dialog flags: file and path must exist, several files, no
    // read-only box, overwrite prompt; with an open mode that offers to
    // create a missing file, a name that does not exist is let through so
    // that the open asks (once) whether to create it.
    kDialogFlagsExisting = 0x1A06,
    kDialogFlagsCreate = 0x4A06,
    // Command dialog flags: record the first name into a macro being recorded.
    kRecordFirstName = 0x1000,
    // The open log goes to output tab 5.
    kOpenLog = 0x50040,
};

constexpr unsigned kNewDocumentFlags = 0x1501000;

constexpr uint32_t kModeView = DOC_OPEN_SHARE_ALL;
constexpr uint32_t kModeEdit = DOC_OPEN_OFFER_CREATE | DOC_OPEN_DENY_WRITE | DOC_OPEN_READWRITE;

int (*g_window_list)() = nullptr;

// The editor documents in their order, copied: commands close documents
// while they walk.
std::vector<CQWDoc*> text_documents() {
    std::vector<CQWDoc*> docs;
    if (fw::MultiDocTemplate* t = EditorTextTemplate())
        for (fw::Document* d : t->documents())
            if (auto* q = fw::DynamicDowncast<CQWDoc>(d)) docs.push_back(q);
    return docs;
}

bool still_open(CQWDoc* doc) {
    fw::MultiDocTemplate* t = EditorTextTemplate();
    if (!t) return false;
    const auto& docs = t->documents();
    return std::find(docs.begin(), docs.end(), doc) != docs.end();
}

fw::FrameWindow* active_child() {
    HWND client = CommandMdiClient();
    if (!client) return nullptr;
    HWND child = reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0));
    return fw::DynamicDowncast<fw::FrameWindow>(fw::Window::FromHandlePermanent(child));
}

// The view object a command's parameters carry. Callers hand over views as
// untyped pointers of their own class, so the pointer is matched against
// every document view rather than cast.
fw::View* command_view(K_cmd_params* params) {
    void* p = params && K_cmd_params_valid(params) ? params->view : nullptr;
    if (!p) return nullptr;
    fw::Application* app = fw::Application::Current();
    if (!app) return nullptr;
    for (const auto& t : app->doc_manager()->templates())
        for (fw::Document* d : t->documents())
            for (fw::View* v : d->views())
                if (static_cast<void*>(v) == p || dynamic_cast<void*>(v) == p) return v;
    return nullptr;
}

bool recording() { return (GetMacroState() & K_MACRO_RECORDING) != 0; }

// ---- Handlers ---------------------------------------------------------------------

int FileNew_cmd(int, K_cmd_params* params) {
    NewDocumentWithStyleSheet(params);
    return 0;
}

int FileOpen_cmd(int id, K_cmd_params* params) {
    const uint32_t mode = id == kFileView ? kModeView : kModeEdit;
    char name[QW_PATH_BUF] = "";
    if (params && K_cmd_params_valid(params) && K_cmd_params_copy_string(params, name, sizeof name) > 0) {
        const bool macro = K_cmd_params_is_macro(params);
        // A text taken from the running sequence is recorded by the runner.
        const bool from_sequence = params->seq_cursor != nullptr;
        if (macro)
            MsgOut(kOpenLog, "Command line request to open file: '%s'. GetOpenMode: %x", name, GetOpenMode());
        if (!VwFileOpenEx(name, mode, 1))
            MsgOut(kOpenLog, "Couldn't open file: '%s'. GetOpenMode: %x", name, GetOpenMode());
        else if (macro)
            MsgOut(kOpenLog, "File: '%s' opened successfully", name);
        if (recording() && !from_sequence) GetMacroManager()->RecordText(name);
        return 1;
    }
    int favorites = kFileFavorites;
    OpenFilesFromDialog(id, mode, id == kFileFavorites ? 0x1101 : 0x1001,
                        id == kFileFavorites ? &favorites : nullptr);
    return 1;
}

int FileSave_cmd(int, K_cmd_params* params) {
    CQWDoc* doc = CommandDocument(params);
    return doc ? doc->SaveByCommand() : 0;
}

int FileSaveAs_cmd(int, K_cmd_params* params) {
    CQWDoc* doc = CommandDocument(params);
    return doc ? doc->SaveAsByCommand() : 0;
}

int FileSaveClose_cmd(int, K_cmd_params* params) {
    CQWDoc* doc = CommandDocument(params);
    return doc ? doc->SaveAndClose() : 0;
}

int FileClose_cmd(int, K_cmd_params* params) {
    CQWDoc* doc = CommandDocument(params);
    return doc ? doc->CloseByCommand() : 0;
}

// Every modified editor document is saved; one that fails (or whose Save
// As is cancelled) does not keep the others from being saved.
int save_all() {
    int ok = 1;
    for (CQWDoc* doc : text_documents())
        if (still_open(doc) && !doc->IsHidden() && doc->IsModified() && !doc->SaveByCommand()) ok = 0;
    return ok;
}

int FileSaveAll_cmd(int, K_cmd_params*) { return save_all(); }

int AppExit_cmd(int, K_cmd_params*) {
    // The main frame's close asks about every modified document.
    if (HWND main = CommandMainWindow()) SendMessageA(main, WM_CLOSE, 0, 0);
    return 1;
}

int AppExitSaveAll_cmd(int id, K_cmd_params* params) {
    if (!save_all()) return 0;
    return AppExit_cmd(id, params);
}

int WindowCloseAll_cmd(int, K_cmd_params*) {
    for (CQWDoc* doc : text_documents()) {
        if (!still_open(doc) || doc->IsHidden()) continue;
        // Cancel at one document's question stops the whole close.
        if (!doc->CloseByCommand()) return 0;
    }
    return 1;
}

// The window a K_WindowList call names: its argument or its number, when
// that is a document window of the MDI client.
HWND listed_window(K_cmd_params* params) {
    HWND client = CommandMdiClient();
    if (!client || !params || !K_cmd_params_valid(params)) return nullptr;
    intptr_t candidates[2] = {params->arg, 0};
    int number = -1;
    if (K_cmd_params_get_number(params, &number) && number > 0) candidates[1] = number;
    for (intptr_t c : candidates) {
        HWND h = reinterpret_cast<HWND>(c);
        if (c && IsWindow(h) && GetParent(h) == client) return h;
    }
    return nullptr;
}

int WindowList_cmd(int, K_cmd_params* params) {
    if (HWND child = listed_window(params)) {
        HWND client = CommandMdiClient();
        if (IsIconic(child)) SendMessageA(client, WM_MDIRESTORE, reinterpret_cast<WPARAM>(child), 0);
        SendMessageA(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child), 0);
        return 1;
    }
    if (g_window_list) g_window_list();
    return 1;
}

struct Binding {
    const char* slot;
    K_cmd_fn fn;
};
const Binding kBindings[] = {
    {"FileNew", FileNew_cmd},
    {"FileOpen", FileOpen_cmd},
    {"FileView", FileOpen_cmd},
    {"FileFavorites", FileOpen_cmd},
    {"FileSave", FileSave_cmd},
    {"FileSaveAs", FileSaveAs_cmd},
    {"FileSaveClose", FileSaveClose_cmd},
    {"FileSaveAll", FileSaveAll_cmd},
    {"FileClose", FileClose_cmd},
    {"AppExit", AppExit_cmd},
    {"AppExitSaveAll", AppExitSaveAll_cmd},
    {"WindowCloseAll", WindowCloseAll_cmd},
    {"WindowList", WindowList_cmd},
};

}  // namespace

void InstallDocCommands() {
    for (const Binding& b : kBindings) K_cmd_bind_function(b.slot, b.fn);
}

void RemoveDocCommands() {
    for (const Binding& b : kBindings) K_cmd_bind_function(b.slot, nullptr);
}

void SetWindowListDialog(int (*run)()) { g_window_list = run; }

fw::View* CommandView(K_cmd_params* params) {
    if (params && K_cmd_params_valid(params) && params->view) return command_view(params);
    fw::FrameWindow* child = active_child();
    if (!child) return nullptr;
    if (fw::View* v = child->GetActiveView()) return v;
    // A window whose view never took the focus: its first view.
    if (fw::Application* app = fw::Application::Current())
        for (const auto& t : app->doc_manager()->templates())
            for (fw::Document* d : t->documents())
                for (fw::View* v : d->views())
                    if (v->GetParentFrame() == child) return v;
    return nullptr;
}

CQWDoc* CommandDocument(K_cmd_params* params) {
    fw::View* view = CommandView(params);
    return view ? fw::DynamicDowncast<CQWDoc>(view->GetDocument()) : nullptr;
}

int OpenFilesFromDialog(int command, uint32_t open_mode, unsigned dialog_flags, int* type) {
    const unsigned title = command == kFileView ? IDS_VIEW_TITLE : IDS_OPEN_TITLE;
    const uint32_t flags = (open_mode & DOC_OPEN_OFFER_CREATE) ? kDialogFlagsCreate : kDialogFlagsExisting;
    std::vector<std::string> names;
    int format = vms_get_param();
    if (!Qw_DialogFileOpen(&names, title, 0, &format, flags, dialog_flags, type)) return -1;
    vms_set_param(format);
    // The dialog's area is repainted before the files take their time to open.
    if (HWND main = CommandMainWindow()) UpdateWindow(main);
    int opened = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (VwFileOpenEx(names[i].c_str(), open_mode, 1)) ++opened;
        if ((dialog_flags & kRecordFirstName) && i == 0 && recording())
            GetMacroManager()->RecordText(names[i].c_str());
    }
    return opened;
}

CQWDoc* NewDocumentWithStyleSheet(K_cmd_params* params) {
    fw::MultiDocTemplate* tpl = EditorTextTemplate();
    if (!tpl) return nullptr;
    // The names of every style sheet, the active document's first in line.
    VMB* list = nullptr;
    K_cmd_make_list(kFileNew, 0, nullptr, &list);
    if (CQWDoc* active = CommandDocument(nullptr); list && active && !active->GetStyleSheetName().empty())
        K_cmd_list_add(kFileNew, nullptr, active->GetStyleSheetName().c_str());
    char chosen[QW_PATH_BUF] = "";
    intptr_t values[10] = {reinterpret_cast<intptr_t>(list)};
    const char* labels[] = {"Select a Style Sheet", nullptr};
    DlgString strings[] = {{chosen, static_cast<int>(sizeof chosen)}, {nullptr, 0}};
    int r = dialog_manager_ex(kNewDocumentDialog, list ? values : nullptr, "New Document", nullptr, kNewDocumentFlags,
                              labels, strings, kFileNew, kNewDocumentTable, nullptr, 0, nullptr, params);
    if (r != 1) return nullptr;
    // A name that is no style sheet (a parameter text, say) gives the default.
    std::string previous = GetNewDocStyleSheetName();
    SetNewDocStyleSheetName(StyleSheetExists(chosen) ? chosen : "");
    CQWDoc* doc = fw::DynamicDowncast<CQWDoc>(tpl->OpenDocumentFile(nullptr, true));
    SetNewDocStyleSheetName(previous.c_str());
    if (doc) doc->RefreshViewWindows();
    return doc;
}

int OpenNewWindowForView(fw::View* view) {
    CQWDoc* doc = view ? fw::DynamicDowncast<CQWDoc>(view->GetDocument()) : nullptr;
    fw::MultiDocTemplate* tpl = doc ? doc->GetDocTemplate() : nullptr;
    if (!tpl || doc->IsHidden()) return 0;
    fw::FrameWindow* frame = tpl->CreateNewFrame(doc, view->GetParentFrame());
    if (!frame) return 0;
    tpl->InitialUpdateFrame(frame, doc, true);
    doc->RefreshViewWindows();
    return 1;
}

HWND CommandMainWindow() {
    QwShellOutlets o = QwGetShellOutlets();
    if (o.main_window)
        if (HWND h = static_cast<HWND>(o.main_window())) return h;
    fw::Application* app = fw::Application::Current();
    return app ? app->main_window() : nullptr;
}

HWND CommandMdiClient() {
    HWND main = CommandMainWindow();
    if (!main) return nullptr;
    if (auto* frame = fw::DynamicDowncast<fw::MDIFrameWindow>(fw::Window::FromHandlePermanent(main)))
        return frame->mdi_client();
    return FindWindowExA(main, nullptr, "MDICLIENT", nullptr);
}
