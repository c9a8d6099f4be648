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

// Pane commands (364, 376-379); 1 when they acted.
int PaneCommand(CQWTextView* view, int id);

// The go-to-line prompt until the dialog host is joined: shows the prompt
// with `initial` and writes the answer; 1 on OK. Without one installed the
// command needs its parameter text.
using GoToLinePromptFn = int (*)(int command_id, const char* initial, char* out, int size);
void SetGoToLinePrompt(GoToLinePromptFn fn);

// Runs a go-to-line text on the view ("+n"/"-n" relative); 1 when it went.
int GoToLineFromText(CQWTextView* view, const char* text, bool original, bool extend);

// Registers the view handlers of the movement, scrolling, jump-list, pane
// and line-bookmark commands with the command table, and the jump list's
// view calls.
void InstallNavigationCommands();
