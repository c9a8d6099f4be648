// The output and results pane.
#include "shell/outputpane.h"

#include <commctrl.h>

#include <atomic>
#include <mutex>

#include "Reu/thread.h"
#include "VmEngine/vm.h"
#include "editor/textview.h"
#include "opsys/msgbox_backend.h"
#include "opsys/msgout.h"
#include "opsys/shell_outlets.h"
#include "shell/dnaa.h"

namespace {

constexpr UINT kMsgWorkerRequest = 0x46E;
constexpr UINT kMsgSelectTab = 0x482;
const char kPaneClass[] = "QwDockTabsView";
const char kStandInClass[] = "QwOutputStandInView";
const int kTabCtlId = 132;

struct Tab {
    int label_id;
    unsigned view_flag;
    VMB* buffer = nullptr;
    std::atomic<DWORD> owner{0};
    std::atomic<HWND> view{nullptr};
};
Tab g_tabs[kOutputTabCount] = {{1211, 0x80}, {1212, 0x80}, {1213, 0x100}, {1214, 0x100},
                               {1215, 0x100}, {1216, 0x100}, {1217, 0}};

// Claims and releases of tabs.
std::mutex g_tab_lock;
// Serialises workers' show requests.
std::mutex g_show_lock;
std::atomic<HWND> g_pane{nullptr};
std::atomic<int> g_active{0};
HWND g_tabctl = nullptr;
QwOutputHooks g_hooks;
std::atomic<DWORD> g_timeout{10000};

std::string Label(int id) {
    char buf[64] = "";
    LoadAppString(unsigned(id), buf, 60);
    return buf;
}

bool ValidTab(int& tab) {
    if (tab < 0) tab = g_active.load();
    return tab >= 0 && tab < kOutputTabCount;
}

HWND MainWindow() {
    QwShellOutlets o = QwGetShellOutlets();
    return o.main_window ? static_cast<HWND>(o.main_window()) : nullptr;
}

void TellView(int tab) {
    if (HWND v = g_tabs[tab].view.load()) PostMessageA(v, UWM_VIEW_ACTION, 1, 8);
}

void ClearTab(int tab) {
    if (VMB* b = g_tabs[tab].buffer) {
        vm_clear(b, 0);
        vm_state_flags(b, 0, VM_ST_EDIT);
    }
    TellView(tab);
}

// Interim stand-in for the tab's text view until the shell installs its
// own: shows the end of the tab's buffer.
LRESULT CALLBACK StandInProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case UWM_VIEW_ACTION:
        InvalidateRect(wnd, nullptr, TRUE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(wnd, &ps);
        auto* buffer = reinterpret_cast<VMB*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
        RECT rc;
        GetClientRect(wnd, &rc);
        HGDIOBJ old = SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
        TEXTMETRICA tm;
        GetTextMetricsA(dc, &tm);
        int rows = tm.tmHeight > 0 ? rc.bottom / tm.tmHeight + 1 : 1;
        int count = buffer ? vm_line_count(buffer) : 0;
        int first = count - rows + 1 > 1 ? count - rows + 1 : 1;
        char line[512];
        for (int l = first, y = 0; l <= count; ++l, y += tm.tmHeight) {
            int flags = 0;
            int n = vm_read_text(buffer, l, 0, line, sizeof line - 1, &flags);
            if (n < 0) n = 0;
            TextOutA(dc, 2, y, line, n);
        }
        SelectObject(dc, old);
        EndPaint(wnd, &ps);
        return 0;
    }
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

void ShowOnly(int index) {
    for (int i = 0; i < kOutputTabCount; ++i)
        if (HWND v = g_tabs[i].view.load()) ShowWindow(v, i == index ? SW_SHOW : SW_HIDE);
}

void SelectTabNow(int index) {
    if (index < 0 || index >= kOutputTabCount) return;
    if (g_tabctl) TabCtrl_SetCurSel(g_tabctl, index);
    g_active = index;
    ShowOnly(index);
}

void LayoutPane(HWND pane) {
    RECT rc;
    GetClientRect(pane, &rc);
    if (g_tabctl) {
        SetWindowPos(g_tabctl, HWND_TOP, 0, 0, rc.right, rc.bottom, SWP_SHOWWINDOW);
        RECT inner = rc;
        TabCtrl_AdjustRect(g_tabctl, FALSE, &inner);
        for (Tab& t : g_tabs)
            if (HWND v = t.view.load())
                MoveWindow(v, inner.left, inner.top, inner.right - inner.left, inner.bottom - inner.top, TRUE);
    }
}

LRESULT CALLBACK PaneProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:
        LayoutPane(wnd);
        return 0;
    case WM_NOTIFY: {
        auto* nm = reinterpret_cast<NMHDR*>(lp);
        if (nm->hwndFrom == g_tabctl && nm->code == TCN_SELCHANGE) SelectTabNow(TabCtrl_GetCurSel(g_tabctl));
        return 0;
    }
    case kMsgSelectTab:
        SelectTabNow(int(wp));
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

bool RegisterClasses() {
    static bool ok = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES};
        InitCommonControlsEx(&icc);
        WNDCLASSA wc{};
        wc.lpfnWndProc = PaneProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kPaneClass;
        if (!RegisterClassA(&wc)) return false;
        wc.lpfnWndProc = StandInProc;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kStandInClass;
        return RegisterClassA(&wc) != 0;
    }();
    return ok;
}

// Kinds 1 and 2 on the user-interface thread for `requester`.
intptr_t ServeTabRequest(int kind, int tab, int reset, DWORD requester) {
    bool existed = g_pane.load() != nullptr;
    if (!existed) {
        if (!QwCreateOutputPane(MainWindow())) return 0;
        if (g_hooks.show_host) g_hooks.show_host(true, 0);
    }
    HWND view = g_tabs[tab].view.load();
    if (!view) return 0;
    {
        std::lock_guard<std::mutex> g(g_tab_lock);
        DWORD owner = g_tabs[tab].owner.load();
        if (owner && owner != requester) return 0;
        if (kind == 1) g_tabs[tab].owner = requester;
    }
    SelectTabNow(tab);
    if (existed && reset) ClearTab(tab);
    if (!existed) SetFocus(view);
    return reinterpret_cast<intptr_t>(view);
}

void ServeShow(const OutputShowRequest& r);

} // namespace

void QwSetOutputHooks(const QwOutputHooks& hooks) { g_hooks = hooks; }
void QwSetOutputRequestTimeout(DWORD ms) { g_timeout = ms; }

bool QwCreateOutputPane(HWND parent) {
    if (g_pane.load()) return true;
    if (!RegisterClasses()) return false;
    RECT rc{0, 0, 400, 200};
    if (parent) GetClientRect(parent, &rc);
    HWND pane = CreateWindowExA(0, kPaneClass, "", (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE | WS_CLIPCHILDREN,
                                0, 0, rc.right, rc.bottom, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!pane) return false;
    g_tabctl = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_BOTTOM, 0, 0,
                               rc.right, rc.bottom, pane, reinterpret_cast<HMENU>(intptr_t(kTabCtlId)),
                               GetModuleHandleA(nullptr), nullptr);
    for (int i = 0; i < kOutputTabCount; ++i) {
        Tab& t = g_tabs[i];
        std::string label = Label(t.label_id);
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = &label[0];
        TabCtrl_InsertItem(g_tabctl, i, &item);
        HWND view = nullptr;
        if (i == kOutputBrowseTab) {
            // The browse-results tree comes with the source browser; until
            // then the tab holds an empty window.
            view = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 0, 0, pane, nullptr, GetModuleHandleA(nullptr),
                                   nullptr);
        } else {
            if (!t.buffer && vms_is_started()) t.buffer = vmb_open(2, label.c_str(), 0x10);
            if (!t.buffer) continue;  // no buffer: no tab view; lookups yield 0
            view = g_hooks.create_view ? g_hooks.create_view(pane, t.buffer, label.c_str(), t.view_flag)
                                       : CreateWindowExA(0, kStandInClass, "", WS_CHILD | WS_VSCROLL, 0, 0, 0, 0, pane,
                                                         nullptr, GetModuleHandleA(nullptr), nullptr);
            if (view && !g_hooks.create_view) SetWindowLongPtrA(view, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(t.buffer));
        }
        t.view = view;
    }
    g_pane = pane;
    LayoutPane(pane);
    SelectTabNow(0);
    return true;
}

void QwDestroyOutputPane() {
    HWND pane = g_pane.exchange(nullptr);
    {
        std::lock_guard<std::mutex> g(g_tab_lock);
        for (Tab& t : g_tabs) {
            t.view = nullptr;
            t.owner = 0;
        }
    }
    if (pane) DestroyWindow(pane);
    g_tabctl = nullptr;
    g_active = 0;
}

intptr_t Output_OpenTab(int kind, int tab, int reset) {
    if (kind == 4) return g_pane.load() ? 1 : 0;
    if (!ValidTab(tab)) return 0;
    Tab& t = g_tabs[tab];
    switch (kind) {
    case 3: {
        std::lock_guard<std::mutex> g(g_tab_lock);
        t.owner = 0;
        return reinterpret_cast<intptr_t>(t.view.load());
    }
    case 5: return t.owner.load() ? reinterpret_cast<intptr_t>(t.view.load()) : 0;
    case 6: return reinterpret_cast<intptr_t>(t.view.load());
    case 7:
        if (!t.view.load()) return 0;
        ClearTab(tab);
        return reinterpret_cast<intptr_t>(t.view.load());
    case 1:
    case 2: break;
    default: return 0;
    }
    DWORD me = GetCurrentThreadId();
    if (IsAppThread()) return ServeTabRequest(kind, tab, reset, me);
    {
        std::lock_guard<std::mutex> g(g_tab_lock);
        HWND view = t.view.load();
        DWORD owner = t.owner.load();
        if (owner && owner != me) return 0;
        if (g_pane.load() && view && g_active.load() == tab) {
            if (reset) ClearTab(tab);
            if (kind == 1) t.owner = me;
            return reinterpret_cast<intptr_t>(view);
        }
    }
    // Carried to the user-interface thread; the tab lock is not held while
    // this thread waits. The record lives on this stack: a request given
    // up after the time-out is never served, so nothing writes into it late.
    HWND frame = MainWindow();
    if (!frame) return 0;
    OutputTabRequest rec{kind, tab, reset, 0, me};
    CZQThread* carrier = CZQThread::FromCurrentThread();
    CZQThread temp;
    if (!carrier) carrier = &temp;
    DWORD r = carrier->Request(frame, kMsgWorkerRequest, &rec, 1, g_timeout.load());
    return r == WAIT_OBJECT_0 ? rec.result : 0;
}

intptr_t QwOutputServe(int kind, void* record, void* /*thread*/) {
    if (!record) return 0;
    if (kind == 1) {
        auto* r = static_cast<OutputTabRequest*>(record);
        int tab = r->tab;
        r->result = ValidTab(tab) && (r->kind == 1 || r->kind == 2)
                        ? ServeTabRequest(r->kind, tab, r->reset, r->requester)
                        : 0;
        return r->result;
    }
    if (kind == 2) ServeShow(*static_cast<OutputShowRequest*>(record));
    return 0;
}

int Output_AppendLine(int tab, const char* text) {
    if (!ValidTab(tab) || !g_tabs[tab].buffer || !text) return 0;
    vm_append_line_ex(g_tabs[tab].buffer, text, 0);
    TellView(tab);
    return 1;
}

intptr_t Output_Print(const char* text, int tab, int create, int show) {
    if (!ValidTab(tab)) return 0;
    int kind = create == 0 && g_pane.load() ? 6 : 2;
    intptr_t view = Output_OpenTab(kind, tab, 0);
    if (!view) return 0;
    if (show) Output_ShowPane(1, 0);
    if (!text) ClearTab(tab);
    else Output_AppendLine(tab, text);
    return view;
}

namespace {

void ServeShow(const OutputShowRequest& r) {
    if (!g_pane.load()) Output_OpenTab(2, 0, 1);
    bool visible = g_hooks.host_visible ? g_hooks.host_visible() : g_pane.load() && IsWindowVisible(g_pane.load());
    if (visible != (r.show != 0)) {
        if (g_hooks.show_host) g_hooks.show_host(r.show != 0, r.delay);
        else if (HWND p = g_pane.load()) ShowWindow(p, r.show ? SW_SHOW : SW_HIDE);
    }
    if (r.show) {
        if (r.tab != -1) SelectTabNow(r.tab);
        if (r.activate)
            if (HWND v = g_tabs[g_active.load()].view.load()) SetFocus(v);
    }
}

} // namespace

void Output_Show(int show, int activate, int tab, int delay) {
    OutputShowRequest rec{show, activate, tab, delay};
    if (IsAppThread()) {
        ServeShow(rec);
        return;
    }
    std::lock_guard<std::mutex> g(g_show_lock);
    CZQThread* carrier = CZQThread::FromCurrentThread();
    HWND frame = MainWindow();
    if (!carrier || !frame) return;
    carrier->Request(frame, kMsgWorkerRequest, &rec, 2, g_timeout.load());
}

void Output_ShowPane(int show, int activate) { Output_Show(show, activate, -1, show != 0); }
bool HasOutputView() { return g_pane.load() != nullptr; }
bool Output_IsVisible() {
    if (g_hooks.host_visible) return g_hooks.host_visible();
    HWND p = g_pane.load();
    return p && IsWindowVisible(p);
}
void Output_CloseAll() { QwDestroyOutputPane(); }

HWND Output_PaneWindow() { return g_pane.load(); }
int Output_GetTabCount() { return g_tabctl ? TabCtrl_GetItemCount(g_tabctl) : 0; }
int Output_GetActiveTab() { return g_pane.load() ? g_active.load() : 0; }

void Output_SelectTab(int index) {
    HWND pane = g_pane.load();
    if (!pane) return;
    if (IsAppThread()) SelectTabNow(index);
    else PostMessageA(pane, kMsgSelectTab, WPARAM(index), 0);
}

HWND Output_GetTabWnd(int index, int* label_id) {
    if (!ValidTab(index) || !g_pane.load()) {
        if (label_id) *label_id = -1;
        return nullptr;
    }
    if (label_id) *label_id = g_tabs[index].label_id;
    return g_tabs[index].view.load();
}

int Output_FindTabByLabel(int label_id) {
    for (int i = 0; i < kOutputTabCount; ++i)
        if (g_tabs[i].label_id == label_id && g_tabs[i].view.load()) return i;
    return -1;
}

VMB* Output_GetTabBuffer(int index) { return ValidTab(index) ? g_tabs[index].buffer : nullptr; }
DWORD Output_GetTabOwner(int index) { return ValidTab(index) ? g_tabs[index].owner.load() : 0; }

int Output_FindBusyTab(int* index) {
    for (int i = 0; i < kOutputBrowseTab; ++i)
        if (g_tabs[i].owner.load()) {
            if (index) *index = i;
            return 1;
        }
    return 0;
}

int Output_CloseTabDocument(int /*exiting*/) {
    int busy = -1;
    while (Output_FindBusyTab(&busy)) {
        std::string label = Label(g_tabs[busy].label_id);
        int yes;
        if (g_hooks.ask_stop) {
            yes = g_hooks.ask_stop(label.c_str());
        } else {
            char text[600];
            str_printf_id(text, sizeof text, 646, label.c_str());
            yes = QwPlatformMessageBox(nullptr, text, nullptr, MB_YESNO | MB_ICONQUESTION) == IDYES;
        }
        if (!yes) return 0;
        DWORD owner = g_tabs[busy].owner.exchange(0);
        if (g_hooks.stop_task) g_hooks.stop_task(owner);
    }
    return 1;
}

void QwOutputPrintOutlet(const char* text, int kind, int show_pane, int /*flag1000*/) {
    Output_Print(text, kind, 1, show_pane);
}
