#pragma once
// Window-level services of the text view: bringing a view's frame to the
// front, the pane commands of a split frame, and the movement, scrolling,
// jump-list and pane commands bound to the command table.
#include <windows.h>

#include <cstdint>

class CQWTextView;

// Activates the view's frame (restored when iconic) and, with set_focus,
// gives the view the focus; posts the activation record (kind 3, flag) to
// the main frame as 0x466. 0 when the view's window is gone.
int ActivateViewFrame(CQWTextView* view, bool set_focus, int flag);

// The activation record posted with 0x466 (28 bytes; the main frame frees it).
struct ViewActivationRecord {
    int32_t size = 28;
    int32_t kind = 3;
    int32_t flag = 0;
    int32_t reserved[4] = {};
};
static_assert(sizeof(ViewActivationRecord) == 28, "activation record is 28 bytes");
enum : UINT { UWM_MAIN_ACTIVATE_VIEW = 0x466 };

// ActivateViewFrame from any thread: on the view's own thread at once, then
// `foreground` (when given) comes to the front and `focus` (when given) gets
// the focus; from another thread the view is sent 0x47A and the caller waits
// (one such call at a time). 1 when it was carried out.
int ActivateViewFrameFromThread(CQWTextView* view, bool set_focus, int flag, HWND foreground, HWND focus);
// The view's handler of 0x47A (wParam: the waiting thread's CZQThread).
LRESULT OnViewThreadCall(CQWTextView* view, WPARAM wp);

// The split positions a view's frame gets back when it is laid out again
// (0x478 code 5): the sizes of column 0 and row 0 in `first`, of column 1
// and row 1 in `second`. A view's positions are dropped with the view.
void SetSavedSplitLayout(CQWTextView* view, POINT first, POINT second);
// 0x478 code 5: for an editable view, arranges the MDI icons and, when its
// frame is maximised and split and the view is pane (0, 0), gives the
// splitter the saved positions (at least 10 pixels each).
void RestoreSplitLayout(CQWTextView* view);
void ForgetSavedSplitLayout(CQWTextView* view);

// Pane commands (364, 376-379); 1 when they acted.
int PaneCommand(CQWTextView* view, int id);

// The go-to-line prompt until the dialog host is joined: shows the prompt
// with `initial` and writes the answer; 1 on OK. Without one installed the
// command needs its parameter text.
using GoToLinePromptFn = int (*)(int command_id, const char* initial, char* out, int size);
void SetGoToLinePrompt(GoToLinePromptFn fn);

// Runs a go-to-line text on the view ("+n"/"-n" relative); 1 when it went.
int GoToLineFromText(CQWTextView* view, const char* text, bool original, bool extend);

// The line ("-l", 0 none) and column ("-c", -1 none) of a command line, on
// the current text view when it is editable; false when there is none. A
// line past the end goes to the last line.
bool GoToCommandLinePlace(int line, int column);
// The current text view, as the command layer is handed a view (null: none).
void* CurrentViewForCommands();

// Registers the view handlers of the movement, scrolling, jump-list, pane
// and line-bookmark commands with the command table, and the jump list's
// view calls.
void InstallNavigationCommands();
