#pragma once
// Frame windows: the plain frame, the MDI main frame and the MDI child.
//
//   auto* main = new CMainFrame;                 // derives fw::MDIFrameWindow
//   main->LoadFrame(130, WS_OVERLAPPEDWINDOW | fw::kAddToTitle);
//   app.set_main_window(*main);
//
// A frame is loaded from a resource id: string `id` (its first "\n" field
// is the title), menu `id` and accelerators `id`. Its client is the child
// with id kPaneFirst (a view or a splitter), made by OnCreateClient from the
// creation context, and sized to the client area by RecalcLayout.
// Commands go to the active view first, then to the frame, then (for
// top-level frames) to the application; an MDI frame asks its active child
// first. When a popup menu opens, its items are updated from the update
// handlers along the same route (items without any handler are disabled
// while auto_menu_enable is on). Frames delete themselves when their window
// goes; closing the last frame of a document closes the document.
#include <windows.h>

#include <string>
#include <vector>

#include "framework/fwexport.h"
#include "framework/fwwnd.h"

namespace fw {

class Document;
class MultiDocTemplate;
class View;
class MDIChildWindow;

// Fixed ids and styles (the system's numbers).
enum : UINT {
    kPaneFirst = 59648,            // the client pane of a frame
    kPaneLast = 59903,
    kIdWindowNew = 57648,
    kIdWindowArrange = 57649,
    kIdWindowCascade = 57650,
    kIdWindowTileHorz = 57651,
    kIdWindowTileVert = 57652,
    kIdWindowSplit = 57653,
    kIdFirstMdiChild = 0xFF00,     // ids of the window-menu entries
};
enum : DWORD { kAddToTitle = 0x00008000 };

// What a frame needs to make its client.
struct CreateContext {
    const RuntimeClass* new_view_class = nullptr;
    Document* current_doc = nullptr;
    MultiDocTemplate* new_doc_template = nullptr;
    View* last_view = nullptr;
    class FrameWindow* current_frame = nullptr;
};

// The frame of a window: itself when it is one, else its nearest frame
// ancestor; null when none.
QWFW_API FrameWindow* GetParentFrameOf(HWND hwnd);
// The paths of the files in a shell drop (an HDROP), in order.
QWFW_API std::vector<std::string> DroppedFilePaths(void* hdrop);

class QWFW_API FrameWindow : public Window {
    FW_DECLARE_DYNCREATE(FrameWindow)
    FW_DECLARE_MESSAGE_MAP()
public:
    FrameWindow();
    ~FrameWindow() override;

    // Registers the class, loads title, menu and accelerators of `id` and
    // creates the window. False (with nothing left behind) on failure.
    virtual bool LoadFrame(UINT id, DWORD style = WS_OVERLAPPEDWINDOW | kAddToTitle,
                           HWND parent = nullptr, CreateContext* context = nullptr);
    // Makes the client view from the context (kPaneFirst).
    virtual bool OnCreateClient(CREATESTRUCTA* cs, CreateContext* context);
    // A view of context->new_view_class as child `id`; null on failure.
    View* CreateView(CreateContext* context, UINT id = kPaneFirst);

    View* GetActiveView() const { return active_view_; }
    virtual void SetActiveView(View* view, bool notify = true);
    // The frame whose view is active: this one, or an MDI frame's child.
    virtual FrameWindow* GetActiveFrame() { return this; }
    virtual Document* GetActiveDocument();
    // Shows and activates the frame (show command -1: the usual one).
    virtual void ActivateFrame(int show = -1);
    virtual void InitialUpdateFrame(Document* doc, bool make_visible);

    // Sizes the client pane to the client area.
    virtual void RecalcLayout();
    virtual void OnUpdateFrameTitle(bool add_to_title);
    // "<document> - <app title>" (or only the title without a document).
    void UpdateFrameTitleForDocument(const std::string& doc_name);
    const std::string& title() const { return title_; }
    void set_title(const std::string& t) { title_ = t; }
    // 0 for the only window of its document, else its number (":2").
    int window_number() const { return window_number_; }
    void set_window_number(int n) { window_number_ = n; }

    HACCEL accelerators() const { return accel_; }
    HMENU menu() const { return menu_; }
    bool auto_menu_enable = true;

    bool OnCmdMsg(CommandCall& call) override;
    bool PreTranslateMessage(MSG* msg) override;

    // Updates the items of `popup` from the handlers reached by this frame.
    void UpdatePopupMenu(HMENU popup);

protected:
    bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
    void OnIdleUpdateCmdUI(bool disable_if_no_handler) override;
    void PostNcDestroy() override;
    // WM_CLOSE: asks the document (or, for the main window, every document).
    virtual void OnClose();
    // Creates the window for LoadFrame (MDI children override).
    virtual bool CreateFrameWindow(const char* cls, DWORD style, HWND parent, HMENU menu);

    std::string title_;
    HMENU menu_ = nullptr;       // loaded by LoadFrame, destroyed with the frame
    HACCEL accel_ = nullptr;
    View* active_view_ = nullptr;
    CreateContext* creating_context_ = nullptr;
    int window_number_ = 0;
    bool title_dirty_ = true;

private:
    LRESULT OnSize(WPARAM, LPARAM);
    LRESULT OnCreate(WPARAM, LPARAM);
    LRESULT OnSetFocus(WPARAM, LPARAM);
    LRESULT OnInitMenuPopup(WPARAM, LPARAM);
    LRESULT OnCloseMsg(WPARAM, LPARAM);
    LRESULT OnDropFiles(WPARAM, LPARAM);
};

class QWFW_API MDIFrameWindow : public FrameWindow {
    FW_DECLARE_DYNAMIC(MDIFrameWindow)
    FW_DECLARE_MESSAGE_MAP()
public:
    MDIFrameWindow();

    HWND mdi_client() const { return client_; }
    // The active child (and whether it is maximised), or null.
    MDIChildWindow* MDIGetActive(bool* maximized = nullptr) const;
    void MDIActivate(HWND child);
    void MDICascade();
    void MDITile(UINT how = MDITILE_HORIZONTAL);
    void MDIIconArrange();
    void MDINext();
    // Puts a menu (and its window menu) on the frame; null keeps the one shown.
    void MDISetMenu(HMENU frame_menu, HMENU window_menu);
    // The "Window" popup of a menu: its last popup but one... or null.
    static HMENU FindWindowMenu(HMENU menu);
    // The popup of a menu bar where the MDI client lists the document
    // windows (FindWindowMenu unless a frame knows its own menus better).
    virtual HMENU GetWindowMenuPopup(HMENU menu_bar) { return FindWindowMenu(menu_bar); }

    FrameWindow* GetActiveFrame() override;
    bool OnCmdMsg(CommandCall& call) override;
    bool PreTranslateMessage(MSG* msg) override;
    void OnUpdateFrameTitle(bool add_to_title) override;
    void RecalcLayout() override;

protected:
    bool OnCreateClient(CREATESTRUCTA* cs, CreateContext* context) override;
    LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnIdleUpdateCmdUI(bool disable_if_no_handler) override;

private:
    void OnWindowCascade() { MDICascade(); }
    void OnWindowTileHorz() { MDITile(MDITILE_HORIZONTAL); }
    void OnWindowTileVert() { MDITile(MDITILE_VERTICAL); }
    void OnWindowArrange() { MDIIconArrange(); }
    void OnWindowNew();
    HWND client_ = nullptr;
};

class QWFW_API MDIChildWindow : public FrameWindow {
    FW_DECLARE_DYNCREATE(MDIChildWindow)
    FW_DECLARE_MESSAGE_MAP()
public:
    MDIChildWindow();

    bool LoadFrame(UINT id, DWORD style = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW | kAddToTitle,
                   HWND parent = nullptr, CreateContext* context = nullptr) override;
    MDIFrameWindow* GetMDIFrame() const;
    void MDIActivate();
    void MDIDestroy();
    void MDIMaximize();
    void MDIRestore();
    void ActivateFrame(int show = -1) override;
    void OnUpdateFrameTitle(bool add_to_title) override;
    bool PreTranslateMessage(MSG* msg) override;

    // The shared menu the MDI frame shows while this child is active.
    HMENU shared_menu = nullptr;
    HACCEL shared_accel = nullptr;

protected:
    LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool CreateFrameWindow(const char* cls, DWORD style, HWND parent, HMENU menu) override;

private:
    LRESULT OnMDIActivate(WPARAM, LPARAM);
};

} // namespace fw
