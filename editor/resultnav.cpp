// Going to the places that lines name (see resultnav.h).
#include "editor/resultnav.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "VmEngine/vm.h"
#include "commands/cmdexec.h"
#include "commands/cmdtable.h"
#include "commands/interp.h"
#include "editor/appview_table.h"
#include "editor/colmap.h"
#include "editor/docmanager.h"
#include "editor/jumplist.h"
#include "editor/panes.h"
#include "editor/qwdoc.h"
#include "editor/resultref.h"
#include "editor/textview.h"
#include "framework/fwview.h"
#include "opsys/msgout.h"

namespace {

// The list whose results were walked last; the next and previous result
// commands given in a document go on with it.
HWND g_last_list = nullptr;
CommandMenuChooser g_chooser = nullptr;

constexpr uint32_t kListFlags = QW_VF_LIST_MATCH_A | QW_VF_LIST_MATCH_B;

std::string ReadLine(CQWTextView* v, int line) {
    char text[QW_MAX_COLUMNS + 1];
    int n;
    {
        VmGuard g;
        n = v->GetBuffer() ? vm_read_text(v->GetBuffer(), line, 0, text, QW_MAX_COLUMNS, nullptr) : 0;
    }
    return std::string(text, size_t(std::clamp(n, 0, int(QW_MAX_COLUMNS))));
}

bool IsFile(const std::string& p) {
    DWORD a = GetFileAttributesA(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FullPath(const std::string& p) {
    char buf[MAX_PATH];
    DWORD n = GetFullPathNameA(p.c_str(), MAX_PATH, buf, nullptr);
    return n && n < MAX_PATH ? std::string(buf, n) : std::string();
}

bool IsAbsolute(const std::string& p) {
    return (p.size() > 2 && p[1] == ':') || (!p.empty() && (p[0] == '\\' || p[0] == '/'));
}

std::string DocumentFolder(CQWTextView* v) {
    auto* doc = v ? fw::DynamicDowncast<CQWDoc>(v->GetDocument()) : nullptr;
    if (!doc)
        return std::string();
    std::string path = doc->GetPathName();
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos || !IsAbsolute(path) ? std::string() : path.substr(0, slash);
}

const char* ProgramOf(CQWTextView* v) {
    uint32_t f = v ? v->ViewFlags(-1, kListFlags) : 0;
    if (f & QW_VF_LIST_MATCH_A)
        return "ProgramErrors";
    if (f & QW_VF_LIST_MATCH_B)
        return "FindInFilesUI";
    return nullptr;
}

CQWTextView* LastList() {
    if (!g_last_list || !IsWindow(g_last_list))
        return nullptr;
    auto* v = fw::DynamicDowncast<CQWTextView>(fw::Window::FromHandlePermanent(g_last_list));
    return v && !v->IsClosing() && v->GetBuffer() && ProgramOf(v) ? v : nullptr;
}

int OpenedAt(CQWTextView* v, int line, int column) {
    // A view made before its document had a buffer takes it now.
    if (!v->GetBuffer())
        v->SyncSourceWithDocument();
    ActivateViewFrame(v, true, 0);
    if (line <= 0)
        return 1;
    VMB* b = v->GetBuffer();
    if (b && !vm_is_fully_read(b) && line > v->GetLineCount()) {
        VmGuard g;
        vm_read_lines(b, uint32_t(line));
    }
    int count = v->GetLineCount();
    if (line > count) {
        MsgOutId(522, QW_IDS_PAST_END, line);
        v->GoToLine(std::max(count, 1), 0, 1, 0);
        return 0;
    }
    return v->GoToLine(line, column > 0 ? column - 1 : 0, 1, 0);
}

} // namespace

std::string ResolveResultPath(CQWTextView* from, const std::string& path) {
    std::vector<std::string> names{path};
    // "In file included from a.c": the file name is the last word.
    size_t blank = path.find_last_of(" \t");
    if (blank != std::string::npos && blank + 1 < path.size())
        names.push_back(path.substr(blank + 1));
    const std::string folder = DocumentFolder(from);
    for (const std::string& name : names) {
        if (name.empty() || name.size() >= MAX_PATH)
            continue;
        if (!IsAbsolute(name) && !folder.empty()) {
            std::string p = FullPath(folder + "\\" + name);
            if (!p.empty() && IsFile(p))
                return p;
        }
        std::string p = FullPath(name);
        if (!p.empty() && IsFile(p))
            return p;
    }
    return std::string();
}

int GoToNamedPlace(CQWTextView* from, const ResultRef& ref) {
    const std::string full = ResolveResultPath(from, ref.path);
    if (full.empty()) {
        MsgOut(522, "File not found: %s%b", ref.path.c_str());
        return 0;
    }
    // Back (510) returns to where the user was in a document.
    CQWTextView* current = GetCurrentTextView();
    if (current && !current->ViewFlags(-1, kListFlags | QW_VF_LIST))
        AddToJumpList(current);
    fw::View* opened = VwFileOpenEx(full.c_str(), uint32_t{DOC_OPEN_ACTIVATE_OPEN} | DOC_OPEN_RESTING, 1);
    auto* v = fw::DynamicDowncast<CQWTextView>(opened);
    if (!v)
        return 0;
    return OpenedAt(v, ref.line, ref.column);
}

int GoToResultLine(CQWTextView* list, int line) {
    VMB* b = list ? list->GetBuffer() : nullptr;
    if (!b)
        return 0;
    if (line <= 0)
        line = int(list->GetCurLine());
    if (line < 1 || line > list->GetLineCount())
        return 0;
    const std::string text = ReadLine(list, line);
    ResultRef ref;
    if (!ParseResultRef(text.data(), int(text.size()), &ref)) {
        MsgOut(522, "No file and line on this line%b");
        return 0;
    }
    if (ProgramOf(list))
        g_last_list = list->hwnd();
    // The mark stays on the last result gone to while this one names a
    // file that is not there.
    if (ResolveResultPath(list, ref.path).empty())
        return GoToNamedPlace(list, ref);
    list->RefreshLineMark(uint32_t(std::max(vm_mark_line(b), 0)), uint32_t(line));
    return GoToNamedPlace(list, ref);
}

int StepResult(CQWTextView* list, int dir) {
    VMB* b = list ? list->GetBuffer() : nullptr;
    if (!b || !dir)
        return 0;
    dir = dir > 0 ? 1 : -1;
    const int count = list->GetLineCount();
    const int marked = vm_mark_line(b);
    int line = marked > 0 && marked <= count ? marked + dir : int(list->GetCurLine());
    for (; line >= 1 && line <= count; line += dir) {
        const std::string text = ReadLine(list, line);
        ResultRef ref;
        // A line that only looks like a place, or names a file that is gone,
        // is passed over.
        if (!ParseResultRef(text.data(), int(text.size()), &ref) || ResolveResultPath(list, ref.path).empty())
            continue;
        list->GoToLine(line, 0, 0, 0); // the list shows the result gone to
        return GoToResultLine(list, line);
    }
    MsgOut(522, dir > 0 ? "At last match%b" : "At first match%b");
    return 0;
}

int LocateAtCaret(CQWTextView* view) {
    VMB* b = view ? view->GetBuffer() : nullptr;
    if (!b)
        return 0;
    const std::string text = ReadLine(view, int(view->GetCurLine()));
    ResultRef ref;
    if (ParseResultRef(text.data(), int(text.size()), &ref) && !ResolveResultPath(view, ref.path).empty())
        return GoToNamedPlace(view, ref);
    ResultRef file;
    file.path = FileNameAt(text.data(), int(text.size()), int(view->GetCurColumn()));
    if (!file.path.empty() && !ResolveResultPath(view, file.path).empty())
        return GoToNamedPlace(view, file);
    MsgOut(522, "No file name at the cursor%b");
    return 0;
}

int MatchNavigation(CQWTextView* view, int id, void* params) {
    CQWTextView* target = view;
    const char* program = ProgramOf(view);
    if (!program) {
        auto* doc = view ? fw::DynamicDowncast<CQWDoc>(view->GetDocument()) : nullptr;
        if (doc && doc->GetComparedDocument()) {
            program = "DiffBrowser";
        } else if ((target = LastList()) != nullptr) {
            program = ProgramOf(target);
        }
    }
    if (!program) {
        MsgOut(522, "No build or search results to go to%b");
        return 0;
    }
    if (ProgramOf(target))
        g_last_list = target->hwnd();
    int r = CExe_ExecuteByName(program, 1, id, 0, static_cast<void*>(target), params);
    return r > 0 ? r : 0;
}

int ShowCommandMenu(CQWTextView* view, const char* items) {
    if (!view || !items)
        return 0;
    std::vector<int> ids, enabled;
    std::vector<std::string> labels;
    // Lines of "label<TAB>command" or "-"; commands of the table only.
    for (const char* p = items; *p && ids.size() < 40;) {
        const char* end = p;
        while (*end && *end != '\n')
            ++end;
        std::string line(p, size_t(end - p));
        p = *end ? end + 1 : end;
        if (line == "-") {
            ids.push_back(0);
            enabled.push_back(0);
            labels.emplace_back();
            continue;
        }
        size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab > 80)
            continue;
        int id = atoi(line.c_str() + tab + 1);
        if (id < 301 || id > 693)
            continue;
        ids.push_back(id);
        enabled.push_back(cmd_available(id) != 0 ? 1 : 0);
        labels.push_back(line.substr(0, tab));
    }
    if (ids.empty())
        return 0;
    int chosen = 0;
    if (g_chooser) {
        chosen = g_chooser(ids.data(), enabled.data(), int(ids.size()));
    } else {
        HMENU menu = CreatePopupMenu();
        if (!menu)
            return 0;
        for (size_t i = 0; i < ids.size(); ++i) {
            if (!ids[i])
                AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            else
                AppendMenuA(menu, MF_STRING | (enabled[i] ? 0u : unsigned(MF_GRAYED)), UINT_PTR(ids[i]),
                            labels[i].c_str());
        }
        POINT pt;
        GetCursorPos(&pt);
        chosen = int(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, pt.x, pt.y, 0,
                                    view->hwnd(), nullptr));
        DestroyMenu(menu);
    }
    // Only what the menu offered, and could run, counts.
    for (size_t i = 0; i < ids.size(); ++i)
        if (chosen && ids[i] == chosen)
            return enabled[i] ? chosen : 0;
    return 0;
}

void SetCommandMenuChooser(CommandMenuChooser chooser) { g_chooser = chooser; }

namespace {
int H_MatchNavigation(void* pv, int id, K_cmd_params* p) {
    return MatchNavigation(static_cast<CQWTextView*>(pv), id, p);
}
void* CurrentView() { return GetCurrentTextView(); }
int PopupMenu(void* view, const char* items) { return ShowCommandMenu(static_cast<CQWTextView*>(view), items); }
} // namespace

void InstallResultNavigation() {
    for (int id : {627, 628, 682, 684})
        K_cmd_set_view_handler(id, &H_MatchNavigation);
    static const InterpViewServices services = {CurrentView, PopupMenu};
    Interp_SetViewServices(&services);
}
