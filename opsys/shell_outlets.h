#pragma once
// The outlets of messages that belong to the application shell (main window,
// status bar, tip, output pane) and the shell's knowledge of its folders.
// opsys sits below the shell, so it reaches them only through these hooks,
// which the shell fills in once at start-up. Until it does (and in the
// engines' own tests) a missing hook means "unreachable": the outlet is
// skipped silently and a query answers "none".
//
// Window handles travel as void* so that the portable core can hold them.

struct QwPoint {
    int x;
    int y;
};

// Status-bar request that a thread other than the main thread posts to the
// status bar window as user message 0x464 (wParam = the record, lParam 0).
// The status bar shows it and frees it with QwStatusRequestFree.
struct QwStatusRequest {
    char* text;          // heap copy
    int pane;            // status-bar pane identifier
    unsigned style;      // style bits
    unsigned flash;      // the style's 0x6000 part
};
void QwStatusRequestFree(QwStatusRequest* rec);

struct QwShellOutlets {
    // The application's main window, null before it exists (or when it has
    // no window handle yet).
    void* (*main_window)();
    // The main frame's close state: 0 normal, 1 closing runs, 2 closed.
    int (*frame_close_state)();
    // Identifier of the application's main (user-interface) thread.
    unsigned long app_thread_id;
    // Status bar on the main thread: set the pane text (style already holds
    // 0x5) and the bar's flag.
    void (*status_set_text)(const char* text, int pane, unsigned style, unsigned flash);
    // Status bar: reset the flag and leave simple mode (a message without text).
    void (*status_reset)();
    // The status bar window that receives 0x464 from other threads.
    void* (*status_bar_window)();
    // Tip: mode 0 at `at` (or the mouse position when `at` is null), 0x200 at
    // the caret of the current text view, 0x100 at the active dialog's
    // current control.
    void (*tip_show)(const char* text, unsigned mode, const QwPoint* at);
    // Output pane: print a text to the tab of `kind` (null text clears it);
    // `show_pane` shows the pane first; `flag1000` is the message's 0x1000 bit.
    void (*output_print)(const char* text, int kind, int show_pane, int flag1000);
    // The application's name and version text (message-box captions).
    void (*app_version)(char* out, int size);
    // Nonzero when the calling thread is a dialog thread whose dialog is open.
    int (*dialog_thread_open)();
    // Nonzero while the editor's beeping option is on.
    int (*beep_enabled)();
    // The user's configuration folder (flag passed through from
    // GetConfigFilePath); nonzero on success.
    int (*config_folder)(char* out, int size, int flag);
    // The folder where the application keeps its per-user files; nonzero on success.
    int (*user_files_folder)(char* out, int size);
};

// Installs the shell's outlets (copied; nullptr removes them all).
void QwSetShellOutlets(const QwShellOutlets* outlets);
// A copy of the installed outlets (all null when none).
QwShellOutlets QwGetShellOutlets();

// Nonzero when the caller runs on the application's main thread.
int IsAppThread();

// The path of `name` in the user's configuration folder (the folder itself
// when name is null or empty), written into out (261 bytes); out, or null
// (out empty) when the folder is unknown or the path would be too long.
char* GetConfigFilePath(char* out, const char* name, int flag);
// The path of `file_name` in the application's per-user folder, written into
// dest (261 bytes); dest, or null (dest empty) on failure.
char* GetLogFilePath(char* dest, const char* file_name);
