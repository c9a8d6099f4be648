#include "framework/fwframe.h"

#include "framework/fwapp.h"
#include "framework/fwdoc.h"
#include "framework/fwmsgbox.h"
#include "framework/fwsplitter.h"
#include "framework/fwview.h"

#include <shellapi.h>

namespace fw {

namespace {
const char kFrameClass[] = "QWFrameworkFrame";
const char kMdiChildClass[] = "QWFrameworkMDIChild";

// The command target after a top-level frame: its thread's object.
CommandTarget* ThreadTarget() {
    Thread* t = Thread::Current();
    if (t) return t;
    return Application::Current();
}

bool IsMainWindowOfThread(HWND hwnd) {
    Thread* t = Thread::Current();
    if (t && t->main_window() == hwnd) return true;
    Application* app = Application::Current();
    return !t && app && app->main_window() == hwnd;
}

void ForgetMainWindow(HWND hwnd) {
    Thread* t = Thread::Current();
    if (t && t->main_window() == hwnd) t->set_main_window(nullptr);
    Application* app = Application::Current();
    if (app && app->main_window() == hwnd) app->set_main_window(nullptr);
}

void InitialUpdateDescendants(HWND parent) {
    for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (View* v = DynamicDowncast<View>(Window::FromHandlePermanent(h))) v->OnInitialUpdate();
        InitialUpdateDescendants(h);
    }
}

// The first view of a frame's client: the pane itself, or a splitter's first.
View* FirstPaneView(HWND frame) {
    Window* pane = Window::FromHandlePermanent(GetDlgItem(frame, kPaneFirst));
    if (View* v = DynamicDowncast<View>(pane)) return v;
    if (auto* s = DynamicDowncast<SplitterWindow>(pane)) return DynamicDowncast<View>(s->GetPane(0, 0));
    return nullptr;
}
} // namespace

FrameWindow* GetParentFrameOf(HWND hwnd) {
    for (HWND h = hwnd; h; h = GetParent(h))
        if (auto* f = DynamicDowncast<FrameWindow>(Window::FromHandlePermanent(h))) return f;
    return nullptr;
}

// ---- FrameWindow ----

FW_IMPLEMENT_DYNCREATE(FrameWindow, Window)
FW_BEGIN_MESSAGE_MAP(FrameWindow, Window)
    FW_ON_MESSAGE(WM_CREATE, OnCreate)
    FW_ON_MESSAGE(WM_SIZE, OnSize)
    FW_ON_MESSAGE(WM_SETFOCUS, OnSetFocus)
    FW_ON_MESSAGE(WM_INITMENUPOPUP, OnInitMenuPopup)
    FW_ON_MESSAGE(WM_CLOSE, OnCloseMsg)
    FW_ON_MESSAGE(WM_DROPFILES, OnDropFiles)
FW_END_MESSAGE_MAP()

FrameWindow::FrameWindow() = default;

FrameWindow::~FrameWindow() {
    if (menu_) DestroyMenu(menu_);
    if (accel_) DestroyAcceleratorTable(accel_);
}

bool FrameWindow::LoadFrame(UINT id, DWORD style, HWND parent, CreateContext* context) {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    if (!RegisterClass(kFrameClass, CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1),
                       LoadIconA(inst, MAKEINTRESOURCEA(id))))
        return false;
    char buf[512];
    int n = LoadStringA(inst, id, buf, sizeof buf);
    title_ = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    size_t nl = title_.find('\n');
    if (nl != std::string::npos) title_.erase(nl);
    if (!menu_) menu_ = LoadMenuA(inst, MAKEINTRESOURCEA(id));
    if (!accel_) accel_ = LoadAcceleratorsA(inst, MAKEINTRESOURCEA(id));
    creating_context_ = context;
    bool ok = CreateFrameWindow(kFrameClass, style, parent, (style & WS_CHILD) ? nullptr : menu_);
    creating_context_ = nullptr;
    return ok;
}

bool FrameWindow::CreateFrameWindow(const char* cls, DWORD style, HWND parent, HMENU menu) {
    return Create(cls, title_.c_str(), style, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, parent, menu);
}

LRESULT FrameWindow::OnCreate(WPARAM wp, LPARAM lp) {
    if (DefaultProc(WM_CREATE, wp, lp) == -1) return -1;
    if (!OnCreateClient(reinterpret_cast<CREATESTRUCTA*>(lp), creating_context_)) return -1;
    RecalcLayout();
    return 0;
}

bool FrameWindow::OnCreateClient(CREATESTRUCTA*, CreateContext* context) {
    if (context && context->new_view_class) return CreateView(context) != nullptr;
    return true;
}

View* FrameWindow::CreateView(CreateContext* context, UINT id) {
    if (!context || !context->new_view_class) return nullptr;
    Object* obj = context->new_view_class->CreateObject();
    View* view = DynamicDowncast<View>(obj);
    if (!view) {
        delete obj;
        return nullptr;
    }
    if (!view->CreateView(hwnd(), id, context->current_doc, Rect(0, 0, 0, 0))) {
        delete view;  // a window that failed in creation leaves its object to us
        return nullptr;
    }
    context->last_view = view;
    return view;
}

void FrameWindow::SetActiveView(View* view, bool notify) {
    View* old = active_view_;
    if (view == old) return;
    active_view_ = view;
    if (!notify) return;
    if (old) old->OnActivateView(false, view, old);
    if (view) view->OnActivateView(true, view, old);
}

Document* FrameWindow::GetActiveDocument() {
    FrameWindow* f = GetActiveFrame();
    View* v = f ? f->GetActiveView() : nullptr;
    return v ? v->GetDocument() : nullptr;
}

void FrameWindow::ActivateFrame(int show) {
    if (show == -1) show = IsWindowVisible() ? SW_SHOWNORMAL : SW_SHOW;
    if (IsIconic(hwnd())) show = SW_RESTORE;
    ShowWindow(show);
    BringWindowToTop(hwnd());
}

void FrameWindow::InitialUpdateFrame(Document* doc, bool make_visible) {
    if (!active_view_) {
        View* first = FirstPaneView(hwnd());
        if (first) SetActiveView(first, false);
    }
    InitialUpdateDescendants(hwnd());
    if (make_visible) {
        ActivateFrame(-1);
        if (active_view_) active_view_->OnActivateView(true, active_view_, active_view_);
    }
    if (doc) doc->UpdateFrameCounts();
    OnUpdateFrameTitle(true);
}

void FrameWindow::RecalcLayout() {
    HWND pane = GetDlgItem(kPaneFirst);
    if (!pane) return;
    Rect r = Rect::Client(hwnd());
    MoveWindow(pane, r.left, r.top, r.Width(), r.Height(), TRUE);
}

void FrameWindow::UpdateFrameTitleForDocument(const std::string& doc_name) {
    std::string text = doc_name.empty() ? title_ : doc_name + " - " + title_;
    if (window_number_ > 0 && !doc_name.empty())
        text = doc_name + ":" + std::to_string(window_number_) + " - " + title_;
    if (GetText() != text) SetText(text);
}

void FrameWindow::OnUpdateFrameTitle(bool add_to_title) {
    if (!hwnd() || !(GetWindowLongA(hwnd(), GWL_STYLE) & kAddToTitle)) return;
    Document* doc = GetActiveDocument();
    UpdateFrameTitleForDocument(add_to_title && doc ? doc->GetTitle() : std::string());
}

bool FrameWindow::OnCmdMsg(CommandCall& call) {
    if (active_view_ && active_view_->OnCmdMsg(call)) return true;
    if (DispatchCommand(call)) return true;
    // Child frames leave the application to their top-level frame.
    if (hwnd() && (GetWindowLongA(hwnd(), GWL_STYLE) & WS_CHILD)) return false;
    CommandTarget* app = ThreadTarget();
    return app && app->OnCmdMsg(call);
}

bool FrameWindow::PreTranslateMessage(MSG* msg) {
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && accel_)
        return TranslateAcceleratorA(hwnd(), accel_, msg) != 0;
    return false;
}

void FrameWindow::UpdatePopupMenu(HMENU popup) {
    CommandUI ui;
    int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        UINT id = GetMenuItemID(popup, i);
        // Separators, submenus and the MDI window list are not commands.
        if (id == 0 || id == static_cast<UINT>(-1) || (id >= kIdFirstMdiChild && id < 0xF000)) continue;
        ui.id = id;
        ui.menu = popup;
        ui.index = static_cast<UINT>(i);
        ui.DoUpdate(this, auto_menu_enable);
    }
}

LRESULT FrameWindow::OnInitMenuPopup(WPARAM wp, LPARAM lp) {
    if (!HIWORD(lp)) UpdatePopupMenu(reinterpret_cast<HMENU>(wp));
    return DefaultProc(WM_INITMENUPOPUP, wp, lp);
}

LRESULT FrameWindow::OnSize(WPARAM wp, LPARAM lp) {
    LRESULT r = DefaultProc(WM_SIZE, wp, lp);
    if (wp != SIZE_MINIMIZED) RecalcLayout();
    return r;
}

LRESULT FrameWindow::OnSetFocus(WPARAM wp, LPARAM lp) {
    if (active_view_ && active_view_->hwnd()) {
        ::SetFocus(active_view_->hwnd());
        return 0;
    }
    return DefaultProc(WM_SETFOCUS, wp, lp);
}

// Files dropped from the shell on a frame that accepts them open as
// documents, as File > Open would open them, the frame first made active.
LRESULT FrameWindow::OnDropFiles(WPARAM wp, LPARAM) {
    HDROP drop = reinterpret_cast<HDROP>(wp);
    ::SetActiveWindow(hwnd());
    if (Application* app = Application::Current())
        for (const std::string& path : DroppedFilePaths(drop)) app->OpenDocumentFile(path);
    DragFinish(drop);
    return 0;
}

std::vector<std::string> DroppedFilePaths(void* hdrop) {
    HDROP drop = static_cast<HDROP>(hdrop);
    std::vector<std::string> paths;
    const UINT n = drop ? DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) : 0;
    for (UINT i = 0; i < n; ++i) {
        char path[MAX_PATH];
        if (DragQueryFileA(drop, i, path, sizeof path)) paths.push_back(path);
    }
    return paths;
}

LRESULT FrameWindow::OnCloseMsg(WPARAM, LPARAM) {
    OnClose();
    return 0;
}

void FrameWindow::OnClose() {
    Application* app = Application::Current();
    if (IsMainWindowOfThread(hwnd())) {
        // The main window closes every document first; any may refuse.
        if (app && app->main_window() == hwnd()) {
            if (!app->SaveAllModified()) return;
            app->CloseAllDocuments(false);
        }
        DestroyWindow();
        return;
    }
    Document* doc = GetActiveDocument();
    if (doc && !doc->CanCloseFrame(this)) return;
    if (doc) doc->PreCloseFrame(this);
    // The view goes with the window; the document closes with its last view.
    DestroyWindow();
}

bool FrameWindow::OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    if (msg == WM_DESTROY && menu_ && !(GetWindowLongA(hwnd(), GWL_STYLE) & WS_CHILD) &&
        GetMenu(hwnd()) != menu_) {
        // A shared menu shown at the end belongs to its template: put the
        // frame's own back, so that the system destroys that one.
        ::SetMenu(hwnd(), menu_);
    }
    if (msg == WM_NCDESTROY) {
        if (menu_ && GetMenu(hwnd()) == menu_) menu_ = nullptr;  // gone with the window
        if (IsMainWindowOfThread(hwnd())) {
            ForgetMainWindow(hwnd());
            PostQuitMessage(0);
        }
    }
    return Window::OnWndMsg(msg, wp, lp, result);
}

void FrameWindow::OnIdleUpdateCmdUI(bool) { OnUpdateFrameTitle(true); }

void FrameWindow::PostNcDestroy() { delete this; }

// ---- MDIFrameWindow ----

FW_IMPLEMENT_DYNAMIC(MDIFrameWindow, FrameWindow)
FW_BEGIN_MESSAGE_MAP(MDIFrameWindow, FrameWindow)
    FW_ON_COMMAND(kIdWindowCascade, OnWindowCascade)
    FW_ON_COMMAND(kIdWindowTileHorz, OnWindowTileHorz)
    FW_ON_COMMAND(kIdWindowTileVert, OnWindowTileVert)
    FW_ON_COMMAND(kIdWindowArrange, OnWindowArrange)
    FW_ON_COMMAND(kIdWindowNew, OnWindowNew)
FW_END_MESSAGE_MAP()

MDIFrameWindow::MDIFrameWindow() = default;

bool MDIFrameWindow::OnCreateClient(CREATESTRUCTA*, CreateContext*) {
    CLIENTCREATESTRUCT ccs{};
    ccs.hWindowMenu = GetWindowMenuPopup(menu_);
    ccs.idFirstChild = kIdFirstMdiChild;
    client_ = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                              WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE, 0, 0,
                              0, 0, hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPaneFirst)),
                              GetModuleHandleA(nullptr), &ccs);
    return client_ != nullptr;
}

LRESULT MDIFrameWindow::DefaultProc(UINT msg, WPARAM wp, LPARAM lp) {
    return DefFrameProcA(hwnd(), client_, msg, wp, lp);
}

HMENU MDIFrameWindow::FindWindowMenu(HMENU menu) {
    if (!menu) return nullptr;
    int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        HMENU sub = GetSubMenu(menu, i);
        if (!sub) continue;
        int m = GetMenuItemCount(sub);
        for (int j = 0; j < m; ++j) {
            UINT id = GetMenuItemID(sub, j);
            if (id == kIdWindowCascade || id == kIdWindowTileHorz || id == kIdWindowArrange ||
                id == kIdWindowNew)
                return sub;
        }
    }
    return nullptr;
}

MDIChildWindow* MDIFrameWindow::MDIGetActive(bool* maximized) const {
    BOOL max = FALSE;
    HWND h = client_ ? reinterpret_cast<HWND>(SendMessageA(client_, WM_MDIGETACTIVE, 0,
                                                           reinterpret_cast<LPARAM>(&max)))
                     : nullptr;
    if (maximized) *maximized = h && max;
    return DynamicDowncast<MDIChildWindow>(FromHandlePermanent(h));
}

void MDIFrameWindow::MDIActivate(HWND child) {
    SendMessageA(client_, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child), 0);
}
void MDIFrameWindow::MDICascade() { SendMessageA(client_, WM_MDICASCADE, 0, 0); }
void MDIFrameWindow::MDITile(UINT how) { SendMessageA(client_, WM_MDITILE, how, 0); }
void MDIFrameWindow::MDIIconArrange() { SendMessageA(client_, WM_MDIICONARRANGE, 0, 0); }
void MDIFrameWindow::MDINext() { SendMessageA(client_, WM_MDINEXT, 0, 0); }

void MDIFrameWindow::MDISetMenu(HMENU frame_menu, HMENU window_menu) {
    if (!client_) return;
    SendMessageA(client_, WM_MDISETMENU, reinterpret_cast<WPARAM>(frame_menu),
                 reinterpret_cast<LPARAM>(window_menu));
    DrawMenuBar(hwnd());
}

FrameWindow* MDIFrameWindow::GetActiveFrame() {
    MDIChildWindow* child = MDIGetActive();
    return child ? static_cast<FrameWindow*>(child) : this;
}

bool MDIFrameWindow::OnCmdMsg(CommandCall& call) {
    MDIChildWindow* child = MDIGetActive();
    if (child && child->OnCmdMsg(call)) return true;
    return FrameWindow::OnCmdMsg(call);
}

bool MDIFrameWindow::PreTranslateMessage(MSG* msg) {
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST && client_ &&
        TranslateMDISysAccel(client_, msg))
        return true;
    return FrameWindow::PreTranslateMessage(msg);
}

void MDIFrameWindow::OnUpdateFrameTitle(bool add_to_title) {
    if (!hwnd() || !(GetWindowLongA(hwnd(), GWL_STYLE) & kAddToTitle)) return;
    MDIChildWindow* child = MDIGetActive();
    Document* doc = child ? child->GetActiveDocument() : nullptr;
    std::string text = title_;
    if (add_to_title && doc) {
        text += " - " + doc->GetTitle();
        if (child->window_number() > 0) text += ":" + std::to_string(child->window_number());
    }
    if (GetText() != text) SetText(text);
}

void MDIFrameWindow::RecalcLayout() {
    if (!client_) return;
    Rect r = Rect::Client(hwnd());
    MoveWindow(client_, r.left, r.top, r.Width(), r.Height(), TRUE);
}

void MDIFrameWindow::OnIdleUpdateCmdUI(bool) { OnUpdateFrameTitle(true); }

void MDIFrameWindow::OnWindowNew() {
    MDIChildWindow* child = MDIGetActive();
    Document* doc = child ? child->GetActiveDocument() : nullptr;
    MultiDocTemplate* tpl = doc ? doc->GetDocTemplate() : nullptr;
    if (!tpl) return;
    FrameWindow* frame = tpl->CreateNewFrame(doc, child);
    if (!frame) {
        ShowMessageBox(LoadFrameworkString(61703), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    tpl->InitialUpdateFrame(frame, doc, true);
}

// ---- MDIChildWindow ----

FW_IMPLEMENT_DYNCREATE(MDIChildWindow, FrameWindow)
FW_BEGIN_MESSAGE_MAP(MDIChildWindow, FrameWindow)
    FW_ON_MESSAGE(WM_MDIACTIVATE, OnMDIActivate)
FW_END_MESSAGE_MAP()

MDIChildWindow::MDIChildWindow() = default;

bool MDIChildWindow::LoadFrame(UINT id, DWORD style, HWND parent, CreateContext* context) {
    if (!RegisterClass(kMdiChildClass, CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1),
                       LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id))))
        return false;
    return FrameWindow::LoadFrame(id, style | WS_CHILD, parent, context);
}

bool MDIChildWindow::CreateFrameWindow(const char*, DWORD style, HWND parent, HMENU) {
    auto* frame = DynamicDowncast<MDIFrameWindow>(FromHandlePermanent(parent));
    if (!frame || !frame->mdi_client()) return false;
    bool visible = (style & WS_VISIBLE) != 0;
    bool ok = Create(kMdiChildClass, title_.c_str(), style & ~static_cast<DWORD>(WS_VISIBLE | WS_MAXIMIZE),
                     WS_EX_MDICHILD, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                     frame->mdi_client(), nullptr);
    if (ok && visible) ActivateFrame(-1);
    return ok;
}

MDIFrameWindow* MDIChildWindow::GetMDIFrame() const {
    HWND client = hwnd() ? ::GetParent(hwnd()) : nullptr;
    return DynamicDowncast<MDIFrameWindow>(FromHandlePermanent(client ? ::GetParent(client) : nullptr));
}

LRESULT MDIChildWindow::DefaultProc(UINT msg, WPARAM wp, LPARAM lp) {
    return DefMDIChildProcA(hwnd(), msg, wp, lp);
}

void MDIChildWindow::MDIActivate() {
    if (MDIFrameWindow* f = GetMDIFrame()) f->MDIActivate(hwnd());
}

void MDIChildWindow::MDIDestroy() {
    if (MDIFrameWindow* f = GetMDIFrame())
        SendMessageA(f->mdi_client(), WM_MDIDESTROY, reinterpret_cast<WPARAM>(hwnd()), 0);
}

void MDIChildWindow::MDIMaximize() {
    if (MDIFrameWindow* f = GetMDIFrame())
        SendMessageA(f->mdi_client(), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(hwnd()), 0);
}

void MDIChildWindow::MDIRestore() {
    if (MDIFrameWindow* f = GetMDIFrame())
        SendMessageA(f->mdi_client(), WM_MDIRESTORE, reinterpret_cast<WPARAM>(hwnd()), 0);
}

void MDIChildWindow::ActivateFrame(int show) {
    MDIFrameWindow* f = GetMDIFrame();
    bool maximized = false;
    if (f) f->MDIGetActive(&maximized);
    if (show == -1) show = maximized ? SW_SHOWMAXIMIZED : SW_SHOW;
    ShowWindow(show);
    MDIActivate();
    if (f) SendMessageA(f->mdi_client(), WM_MDIREFRESHMENU, 0, 0);
}

void MDIChildWindow::OnUpdateFrameTitle(bool add_to_title) {
    if (!hwnd() || !(GetWindowLongA(hwnd(), GWL_STYLE) & kAddToTitle)) return;
    Document* doc = GetActiveDocument();
    std::string text = add_to_title && doc ? doc->GetTitle() : title_;
    if (add_to_title && doc && window_number_ > 0) text += ":" + std::to_string(window_number_);
    if (GetText() == text) return;
    SetText(text);
    // The window menu's entry for this window was made with the old title.
    if (MDIFrameWindow* f = GetMDIFrame()) SendMessageA(f->mdi_client(), WM_MDIREFRESHMENU, 0, 0);
}

bool MDIChildWindow::PreTranslateMessage(MSG* msg) {
    // The child's accelerators act on the MDI frame, which receives menu
    // commands and routes them back here.
    MDIFrameWindow* f = GetMDIFrame();
    if (f && shared_accel && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST)
        return TranslateAcceleratorA(f->hwnd(), shared_accel, msg) != 0;
    return false;
}

LRESULT MDIChildWindow::OnMDIActivate(WPARAM wp, LPARAM lp) {
    HWND activated = reinterpret_cast<HWND>(lp);
    HWND deactivated = reinterpret_cast<HWND>(wp);
    MDIFrameWindow* f = GetMDIFrame();
    if (activated == hwnd()) {
        if (f && shared_menu) f->MDISetMenu(shared_menu, f->GetWindowMenuPopup(shared_menu));
        if (active_view_) active_view_->OnActivateView(true, active_view_, active_view_);
    } else if (deactivated == hwnd()) {
        if (active_view_) active_view_->OnActivateView(false, active_view_, active_view_);
        // The last child going: the frame's own menu comes back.
        if (f && !activated && f->menu()) f->MDISetMenu(f->menu(), f->GetWindowMenuPopup(f->menu()));
    }
    return DefaultProc(WM_MDIACTIVATE, wp, lp);
}

} // namespace fw
