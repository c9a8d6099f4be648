// The file-open dialog, the window list, the lists built from documents and
// windows, and K_InsertFilename.
#include "editor/docdialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cstring>

#include "commands/cmdlists.h"
#include "commands/cmdtable.h"
#include "editor/clipboard.h"
#include "editor/doccmds.h"
#include "editor/docmanager.h"
#include "editor/editview.h"
#include "editor/qwdoc.h"
#include "editor/stylesheet.h"
#include "framework/fwapp.h"
#include "framework/fwdialog.h"
#include "framework/fwframe.h"
#include "framework/fwview.h"
#include "opsys/msgout.h"
#include "opsys/paths.h"

namespace {

enum : int {
    kStyleSheetNew = 315,
    kStyleSheetSetup = 573,
    kWindowList = 366,
    kWindowTitleMax = 260,
    kOpenBufferChars = 32000,
};

// Window-list dialog controls.
enum : int {
    IDD_WINDOWS = 2049,
    IDC_ACTIVATE = 2050,
    IDC_CLOSE = 2051,
    IDC_SAVE = 2052,
    IDC_TILE_H = 2053,
    IDC_MINIMIZE = 2054,
    IDC_CASCADE = 2055,
    IDC_TILE_V = 2056,
    IDC_WINDOWS = 2057,
};

// The custom part of the file-open dialog and its options button.
enum : int { IDD_FILE_OPEN_PART = 2001, IDC_OPTIONS = 202 };

constexpr char kOpenSection[] = "File Open";
constexpr char kOpenTypeKey[] = "OpenOSType";
constexpr unsigned kReadOnlyMessage = 323;  // "File '%s' is Read Only - Write access denied"

QwFileOpenPrompt g_open_prompt = nullptr;

// ---- Lists --------------------------------------------------------------------

int style_sheet_names(int id, VMB* target, unsigned) {
    return FillStyleSheetList(target, id == kStyleSheetSetup ? 0x30 : 0x10, -1);
}

int window_names(int, VMB* target, unsigned) {
    std::vector<QwListedWindow> windows = ListDocumentWindows();
    VmGuard guard;
    for (const QwListedWindow& w : windows) vm_append_line(target, w.title.c_str());
    return static_cast<int>(windows.size());
}

int has_edit_view() {
    auto* view = fw::DynamicDowncast<CQWEditView>(CommandView(nullptr));
    return view && !view->IsViewOnly();
}

const fw::Profile* app_profile() {
    fw::Application* app = fw::Application::Current();
    return app ? &app->profile() : nullptr;
}

// ---- The window list ---------------------------------------------------------

class CWindowDlg : public fw::Dialog {
public:
    CWindowDlg(HWND parent) : fw::Dialog(IDD_WINDOWS, parent) {}

protected:
    bool OnInitDialog() override {
        fw::Dialog::OnInitDialog();
        Refresh();
        return true;
    }

    bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override {
        if (msg == WM_MEASUREITEM && wp == IDC_WINDOWS) {
            auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
            mi->itemHeight = std::max<UINT>(16, static_cast<UINT>(GetSystemMetrics(SM_CYSMICON) + 2));
            *result = TRUE;
            return true;
        }
        if (msg == WM_DRAWITEM && wp == IDC_WINDOWS) {
            DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lp));
            *result = TRUE;
            return true;
        }
        if (msg == WM_COMMAND && OnCommand(LOWORD(wp), HIWORD(wp))) {
            *result = 0;
            return true;
        }
        return fw::Dialog::OnWndMsg(msg, wp, lp, result);
    }

private:
    HWND List() const { return ::GetDlgItem(hwnd(), IDC_WINDOWS); }
    HWND Client() const { return CommandMdiClient(); }

    // A window chosen in the list that was closed since it was listed is
    // no longer a document window: such an item is never acted on.
    bool Live(HWND frame) const { return frame && IsWindow(frame) && ::GetParent(frame) == Client(); }

    std::vector<HWND> Selected() const {
        HWND list = List();
        LRESULT n = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
        std::vector<int> items(n > 0 ? static_cast<size_t>(n) : 0);
        if (n > 0) SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(items.data()));
        std::vector<HWND> frames;
        for (int i : items)
            frames.push_back(reinterpret_cast<HWND>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0)));
        return frames;
    }

    void Refresh() {
        HWND list = List();
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        HWND active = reinterpret_cast<HWND>(SendMessageA(Client(), WM_MDIGETACTIVE, 0, 0));
        for (const QwListedWindow& w : ListDocumentWindows()) {
            LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.title.c_str()));
            if (at >= 0) SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(w.window));
        }
        SendMessageA(list, LB_SETSEL, FALSE, -1);
        for (int i = 0, n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)); i < n; ++i)
            if (reinterpret_cast<HWND>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0)) == active)
                SendMessageA(list, LB_SETSEL, TRUE, i);
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
        EnableButtons();
    }

    void EnableButtons() {
        size_t n = Selected().size();
        auto enable = [&](int id, bool on) { ::EnableWindow(::GetDlgItem(hwnd(), id), on); };
        enable(IDC_ACTIVATE, n == 1);
        enable(IDC_CLOSE, n >= 1);
        enable(IDC_SAVE, n >= 1);
        enable(IDC_MINIMIZE, n >= 1);
        enable(IDC_TILE_H, n >= 2);
        enable(IDC_TILE_V, n >= 2);
        enable(IDC_CASCADE, n >= 2);
    }

    bool OnCommand(int id, int code) {
        switch (id) {
        case IDC_WINDOWS:
            if (code == LBN_SELCHANGE) EnableButtons();
            else if (code == LBN_DBLCLK) Activate();
            return code == LBN_SELCHANGE || code == LBN_DBLCLK;
        case IDC_ACTIVATE: Activate(); return true;
        case IDC_CLOSE: CloseChosen(); return true;
        case IDC_SAVE: SaveChosen(); return true;
        case IDC_MINIMIZE: {
            std::vector<HWND> frames = Selected();
            for (auto it = frames.rbegin(); it != frames.rend(); ++it)
                if (Live(*it)) ::ShowWindow(*it, SW_MINIMIZE);
            return true;
        }
        case IDC_TILE_H: Arrange(WM_MDITILE, MDITILE_HORIZONTAL); return true;
        case IDC_TILE_V: Arrange(WM_MDITILE, MDITILE_VERTICAL); return true;
        case IDC_CASCADE: Arrange(WM_MDICASCADE, 0); return true;
        default: return false;
        }
    }

    void Activate() {
        std::vector<HWND> frames = Selected();
        if (frames.size() != 1) return;
        if (!Live(frames[0])) {
            Refresh();
            return;
        }
        if (IsIconic(frames[0])) SendMessageA(Client(), WM_MDIRESTORE, reinterpret_cast<WPARAM>(frames[0]), 0);
        SendMessageA(Client(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(frames[0]), 0);
        EndDialog(IDOK);
    }

    void CloseChosen() {
        HWND list = List();
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        std::vector<HWND> frames = Selected();
        for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
            if (!Live(*it)) continue;
            SendMessageA(*it, WM_CLOSE, 0, 0);
            // A close the user refused stops the rest.
            if (Live(*it)) break;
        }
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        Refresh();
    }

    void SaveChosen() {
        for (HWND frame : Selected()) {
            if (!Live(frame)) continue;
            auto* f = fw::DynamicDowncast<fw::FrameWindow>(fw::Window::FromHandlePermanent(frame));
            fw::View* view = f ? f->GetActiveView() : nullptr;
            if (!view) continue;
            if (fw::Document* doc = view->GetDocument(); doc && doc->IsModified()) doc->SaveModified();
        }
        Refresh();
    }

    void Arrange(UINT message, WPARAM how) {
        HWND client = Client(), list = List();
        LockWindowUpdate(client);
        for (int i = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)) - 1; i >= 0; --i) {
            HWND frame = reinterpret_cast<HWND>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0));
            if (!Live(frame)) continue;
            ::ShowWindow(frame, SendMessageA(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0 ? SW_RESTORE : SW_MINIMIZE);
        }
        LockWindowUpdate(nullptr);
        SendMessageA(client, message, how, 0);
    }

    void DrawItem(DRAWITEMSTRUCT* di) {
        if (static_cast<int>(di->itemID) < 0) return;
        HDC dc = di->hDC;
        RECT r = di->rcItem;
        bool selected = (di->itemState & ODS_SELECTED) != 0;
        if ((di->itemAction & ODA_DRAWENTIRE) || selected || (di->itemAction & ODA_SELECT))
            FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        COLORREF old_text = SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        int old_mode = SetBkMode(dc, TRANSPARENT);
        HWND frame = reinterpret_cast<HWND>(di->itemData);
        int side = r.bottom - r.top;
        if (IsWindow(frame)) {
            HICON icon = reinterpret_cast<HICON>(SendMessageA(frame, WM_GETICON, ICON_SMALL, 0));
            if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrA(frame, GCLP_HICONSM));
            if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrA(frame, GCLP_HICON));
            if (icon) DrawIconEx(dc, r.left + 2, r.top, icon, side, side, 0, nullptr, DI_NORMAL);
        }
        char title[kWindowTitleMax + 1] = "";
        SendMessageA(di->hwndItem, LB_GETTEXT, di->itemID, reinterpret_cast<LPARAM>(title));
        RECT t = r;
        t.left += side + 4;
        DrawTextA(dc, title, -1, &t, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (di->itemState & ODS_FOCUS) DrawFocusRect(dc, &r);
        SetBkMode(dc, old_mode);
        SetTextColor(dc, old_text);
    }
};

// ---- The file-open dialog --------------------------------------------------------

struct OpenState {
    int format;
};

// The options button of the custom part offers the open-as choice.
UINT_PTR CALLBACK OpenHook(HWND part, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        auto* ofn = reinterpret_cast<OPENFILENAMEA*>(lp);
        SetWindowLongPtrA(part, GWLP_USERDATA, static_cast<LONG_PTR>(ofn->lCustData));
        return TRUE;
    }
    if (msg == WM_COMMAND && LOWORD(wp) == IDC_OPTIONS) {
        auto* state = reinterpret_cast<OpenState*>(GetWindowLongPtrA(part, GWLP_USERDATA));
        if (!state) return FALSE;
        HMENU menu = CreatePopupMenu();
        const char* items[] = {"Open as &Auto", "Open as &DOS", "Open as &Unix"};
        for (int i = 0; i < 3; ++i)
            AppendMenuA(menu, MF_STRING | (state->format == i ? MF_CHECKED : 0), static_cast<UINT_PTR>(i + 1), items[i]);
        RECT r{};
        GetWindowRect(GetDlgItem(part, IDC_OPTIONS), &r);
        int chosen = static_cast<int>(
            TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN, r.left, r.bottom, 0, part, nullptr));
        DestroyMenu(menu);
        if (chosen > 0) state->format = chosen - 1;
        return TRUE;
    }
    return FALSE;
}

int RealOpenDialog(std::vector<std::string>* names, const char* title, uint32_t flags, int* format) {
    std::vector<char> buffer(kOpenBufferChars, '\0');
    std::string filter;
    if (fw::MultiDocTemplate* t = EditorTextTemplate()) {
        std::string name = t->GetDocString(fw::kFilterName), ext = t->GetDocString(fw::kFilterExt);
        if (!name.empty() && !ext.empty()) filter += name + '\0' + ext + '\0';
    }
    filter += std::string("All Files (*.*)") + '\0' + "*.*" + '\0';
    OpenState state{*format};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = CommandMainWindow();
    ofn.hInstance = GetModuleHandleA(nullptr);
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrTitle = title;
    ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLEHOOK;
    ofn.lpfnHook = OpenHook;
    ofn.lCustData = reinterpret_cast<LPARAM>(&state);
    // Without the custom part (a module that lacks it) the dialog still runs,
    // only without the open-as choice.
    if (FindResourceA(ofn.hInstance, MAKEINTRESOURCEA(IDD_FILE_OPEN_PART), MAKEINTRESOURCEA(5))) {
        ofn.Flags |= OFN_ENABLETEMPLATE;
        ofn.lpTemplateName = MAKEINTRESOURCEA(IDD_FILE_OPEN_PART);
    }
    if (!GetOpenFileNameA(&ofn)) {
        if (DWORD error = CommDlgExtendedError())
            MsgOut(QW_MSG_BOX | QW_MSG_LOG | QW_MSG_SERIOUS,
                   "Creation of the File Open dialog failed.\nCommDlgExtendedError: %x", static_cast<unsigned>(error));
        return 0;
    }
    *format = state.format;
    // One file: its full path. Several: the folder, then each name, each
    // ended by a zero, the list by a second one.
    const char* p = buffer.data();
    std::string first = p;
    p += first.size() + 1;
    if (!*p) {
        names->push_back(first);
        return 1;
    }
    for (; *p; p += strlen(p) + 1) {
        std::string path = first;
        if (!path.empty() && path.back() != '\\') path += '\\';
        names->push_back(path + p);
    }
    return 1;
}

// ---- K_InsertFilename ----------------------------------------------------------

// The name the parameter asks for: "Name" the file name, "Path" the folder,
// anything else the full path.
std::string chosen_part(const std::string& path, const char* choice) {
    if (_stricmp(choice, "Name") == 0) return PathFileName(path.c_str());
    if (_stricmp(choice, "Path") == 0) {
        char folder[QW_PATH_MAX + 1];
        return PathDirectory(folder, path.c_str()) ? folder : std::string();
    }
    return path;
}

int InsertFilename_cmd(int, K_cmd_params* params) {
    CQWDoc* doc = CommandDocument(params);
    if (!doc) return 0;
    std::string path = doc->GetPathName();
    if (path.empty()) path = doc->GetTitle();
    char param[64] = "";
    if (params && K_cmd_params_valid(params)) K_cmd_params_copy_string(params, param, sizeof param);
    const bool clipboard = _strnicmp(param, "ClipBoard", 9) == 0;
    const char* choice = param;
    if (clipboard) {
        const char* eq = std::strchr(param, '=');
        choice = eq ? eq + 1 : param + 9;
    }
    std::string text = chosen_part(path, choice);
    if (clipboard) return PutTextOnClipboard(CommandMainWindow(), text, 0, 0) ? 1 : 0;
    auto* view = fw::DynamicDowncast<CQWEditView>(CommandView(params));
    if (!view) return 0;
    if (doc->IsViewMode() || view->IsViewOnly()) {
        char name[VM_NAME_MAX + 1] = "";
        MsgOutId(QW_MSG_STATUS_HOLD, kReadOnlyMessage, vmb_get_name(doc->GetBuffer(), name));
        MessageBeep(MB_OK);
        return 0;
    }
    return view->InsertText(text.c_str(), text.size(), 0, 0) ? 1 : 0;
}

}  // namespace

void InstallDocDialogs() {
    K_cmd_set_list_builder(kStyleSheetNew, style_sheet_names);
    K_cmd_set_list_builder(kStyleSheetSetup, style_sheet_names);
    K_cmd_set_list_builder(kWindowList, window_names);
    K_cmd_set_list_view_test(has_edit_view);
    K_cmd_bind_function("InsertFilename", InsertFilename_cmd);
    SetWindowListDialog([] { return ShowWindowListDialog(CommandMainWindow()); });
}

void RemoveDocDialogs() {
    K_cmd_set_list_builder(kStyleSheetNew, nullptr);
    K_cmd_set_list_builder(kStyleSheetSetup, nullptr);
    K_cmd_set_list_builder(kWindowList, nullptr);
    K_cmd_set_list_view_test(nullptr);
    K_cmd_bind_function("InsertFilename", nullptr);
    SetWindowListDialog(nullptr);
}

QwFileOpenPrompt SetFileOpenPrompt(QwFileOpenPrompt prompt) {
    QwFileOpenPrompt previous = g_open_prompt;
    g_open_prompt = prompt;
    return previous;
}

int Qw_DialogFileOpen(std::vector<std::string>* names, unsigned title_id, int, int* format, uint32_t ofn_flags,
                      unsigned, int* type) {
    if (!names) return 0;
    // The titles are the framework's prompts: loaded quietly, none when missing.
    char title[256] = "";
    if (title_id && LoadStringA(GetModuleHandleA(nullptr), title_id, title, sizeof title) <= 0) title[0] = 0;
    const fw::Profile* profile = app_profile();
    int chosen = format ? *format : profile ? profile->GetInt(kOpenSection, kOpenTypeKey, QW_OPEN_AS_AUTO)
                                            : QW_OPEN_AS_AUTO;
    if (chosen < QW_OPEN_AS_AUTO || chosen > QW_OPEN_AS_UNIX) chosen = QW_OPEN_AS_AUTO;
    QwFileOpenPrompt prompt = g_open_prompt ? g_open_prompt : RealOpenDialog;
    if (!prompt(names, title[0] ? title : nullptr, ofn_flags, &chosen)) return 0;
    if (chosen < QW_OPEN_AS_AUTO || chosen > QW_OPEN_AS_UNIX) chosen = QW_OPEN_AS_AUTO;
    if (profile) profile->WriteInt(kOpenSection, kOpenTypeKey, chosen);
    if (format) *format = chosen;
    // The dialog shows the files on disk only: the list it ends on is the
    // one it was given.
    (void)type;
    return 1;
}

std::vector<QwListedWindow> ListDocumentWindows() {
    std::vector<QwListedWindow> out;
    HWND client = CommandMdiClient();
    if (!client) return out;
    for (HWND w = GetWindow(client, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (!IsWindowVisible(w) || GetParent(w) != client) continue;
        char title[kWindowTitleMax + 1] = "";
        GetWindowTextA(w, title, sizeof title);
        out.push_back({w, title});
    }
    return out;
}

int ShowWindowListDialog(HWND frame) {
    CWindowDlg dlg(frame);
    return static_cast<int>(dlg.DoModal());
}
