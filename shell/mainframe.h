#pragma once
// CMainFrame: the program's one top-level window, the MDI frame that holds
// the document windows and the menus built from the menu files. Worker
// threads never touch windows: they post the user messages below to it, and
// it carries them out on the user-interface thread. Its message filter hands
// keys to the key translator.
#include <windows.h>

#include <cstdint>
#include <string>

#include "editor/viewdraw.h"
#include "framework/fwframe.h"
#include "widgets/newmenu.h"

// Cross-thread requests (system-wide numbers; UWM_MSG_OUTPUT 0x464 comes
// with the view-drawing thread, its first sender).
enum : UINT {
    UWM_FRAME_CALLBACK = 0x465,
    UWM_VIEW_REQUEST = 0x466,
    UWM_PROJECT_HISTORY = 0x467,
    UWM_OPEN_FILE = 0x46E,
    UWM_INTERP_CALL_DONE = 0x470,
    UWM_VERSION_INFO = 0x472,
};

// The request of a worker (0x46E with lParam 0): open a file.
struct QwOpenFileRequest {
    const char* name;
    uint32_t flags;
    int mode;
    intptr_t result;
};

// Posts an open-file request for `path` to the main frame from any thread:
// the message carries a heap copy of the path that the frame frees. False
// when there is no main frame or the post failed (the copy is freed then).
bool QwPostOpenFile(const char* path, uint32_t open_flags);

// The pieces of other parts the frame calls; each may be null (then the
// frame does without).
struct QwFrameHooks {
    // Creation of the status bar and the output pane (one call each).
    bool (*create_status_bar)(class CMainFrame* frame) = nullptr;
    bool (*create_output_pane)(class CMainFrame* frame) = nullptr;
    // The status bar's message filter; true when it took the message.
    bool (*status_filter)(MSG* msg) = nullptr;
    // The key translator: (message, key, repeat count, key flags); nonzero
    // when it consumed the key. Start-up installs the key bindings' one.
    int (*translate_key)(UINT msg, WPARAM key, int repeat, unsigned flags) = nullptr;
    // Opens a file in an editor window: (path, open flags, mode); the view or null.
    void* (*open_file)(const char* path, uint32_t flags, int mode) = nullptr;
    // 0x465 step 1 and 2, 0x467, 0x472.
    void (*program_run_done)(void* record) = nullptr;
    void (*open_file_request)(void* record) = nullptr;
    void (*project_history)(WPARAM event, LPARAM value) = nullptr;
    void (*version_info)(void* reader) = nullptr;
    // Worker requests 1 (output tab) and 2 (show the output pane); the result.
    intptr_t (*output_request)(int kind, void* record, void* thread) = nullptr;
    // A second instance's command line (WM_COPYDATA).
    void (*command_line_block)(ULONG_PTR data_word, const void* data, DWORD size) = nullptr;
    // Asks the project manager to close the project; false: cancelled.
    bool (*close_project)(int flag) = nullptr;
    // Runs a command sequence from a menu or button (kind 1 record); null:
    // the command layer's sequence runner.
    int (*run_sequence)(const int32_t* sequence) = nullptr;
};
void SetFrameHooks(const QwFrameHooks* hooks);
QwFrameHooks GetFrameHooks();

// Whether a pane keeps a key typed while the focus is in it (and so the key
// translator is not asked): edit controls keep everything; navigation keys,
// Enter, Delete, Backspace and F5 stay; typed characters stay unless Ctrl is
// down. `ctrl` and `alt` are the modifier states.
bool PaneKeepsKey(const MSG& msg, const char* focus_class, bool ctrl, bool alt);

class CMainFrame : public fw::MDIFrameWindow {
    FW_DECLARE_DYNAMIC(CMainFrame)
public:
    CMainFrame();
    ~CMainFrame() override;

    int GetCloseState() const { return close_state_; }
    CNewMenu& default_menu() { return default_menu_; }
    CNewMenu& text_menu() { return text_menu_; }
    CNewMenu& output_menu() { return output_menu_; }
    // The menu bar shown now (the default or a document's shared menu).
    CNewMenu* current_menu();

    // Builds the three menu bars from the menu files; 0 when one is missing.
    int BuildFrameMenus();

    // A window whose focus area counts as a pane for the key rule (the
    // Workspace Bar, the Skeleton Bar, the output pane).
    void AddKeyPane(HWND pane) { panes_[pane_count_ < 8 ? pane_count_++ : 7] = pane; }

    // The prompt of a menu item or command id (empty when none).
    std::string GetMessageString(UINT id);
    // Runs a menu item: a command id as {id, -1}, else the item's sequence.
    bool OnCommandRange(UINT id);

    bool PreTranslateMessage(MSG* msg) override;
    bool OnCmdMsg(fw::CommandCall& call) override;
    void OnUpdateFrameTitle(bool add_to_title) override;
    // The popup that holds the window commands (363-375): the menus are
    // the editor's own, not the framework's.
    HMENU GetWindowMenuPopup(HMENU menu_bar) override;
    // The caption the frame shows for its current state.
    std::string BuildCaption();

    fw::CommandTarget* first_command_target = nullptr;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnClose() override;
    void OnIdleUpdateCmdUI(bool disable_if_no_handler) override;
    // The frame has a window class of its own, so that other programs (a
    // second instance, tools) find the editor's main window by its class.
    bool CreateFrameWindow(const char* cls, DWORD style, HWND parent, HMENU menu) override;

private:
    int OnCreateSteps();
    bool KeyGoesToTranslator(MSG* msg);
    LRESULT OnOpenFile(WPARAM wp, LPARAM lp);
    void ReleaseMenus();

    CNewMenu default_menu_, text_menu_, output_menu_;
    int close_state_ = 0;
    int next_multi_ = 0;
    bool in_menu_loop_ = false;
    HWND panes_[8] = {};
    int pane_count_ = 0;
};

CMainFrame* GetMainFrame();

// The main frame's window class.
extern const char kMainFrameClass[];
