#pragma once
// From a key message to commands: the translator turns a key message into a
// modifier state and a key, the binding matcher (keybind.h) turns keys into a
// command or a list of commands, and the sequence runner runs them through
// Do_k_cmd; a key that is not bound and gives a character is typed. Also the
// repeat count, the stop flag and Ctrl+Break polling of running sequences.
//
// The platform's keyboard calls come through K_key_platform, which the
// Windows build fills by default; tests give synthetic answers.
#include <cstdint>

#include "commands/cmdtable.h"

// Key messages (the platform's numbers).
enum : unsigned {
    K_WM_KEYDOWN = 0x100,
    K_WM_KEYUP = 0x101,
    K_WM_CHAR = 0x102,
    K_WM_DEADCHAR = 0x103,
    K_WM_SYSKEYDOWN = 0x104,
    K_WM_SYSKEYUP = 0x105,
    K_WM_SYSCHAR = 0x106,
    K_WM_SYSDEADCHAR = 0x107,
};

struct K_key_platform {
    int (*key_down)(int vk);            // the key is down (GetKeyState)
    // ToAscii of the key with the keyboard state: -1 a dead key, 0 no
    // character, else the number of characters.
    int (*to_ascii)(int vk, unsigned scan);
    int (*to_oem)(int c);               // a character in the OEM code page
    int (*font_charset)();              // the editor font's character set
    int (*key_up_waiting)();            // a WM_KEYUP or WM_SYSKEYUP waits in the queue
    int (*ctrl_break_down)();           // Ctrl+Break is down right now
    void (*beep)(unsigned type);        // 0 MB_OK, 0x20 question
    // Posts a user message to the main frame.
    void (*post_main)(unsigned msg, uintptr_t w, intptr_t l);
};
void K_key_set_platform(const K_key_platform* platform);  // null: the build's default
const K_key_platform& K_key_get_platform();

// The main frame's key filter: nonzero when the message was consumed.
int TranslateKeyMessage(unsigned message, uintptr_t key, int repeat, unsigned scan);

// Builds a record of `kind` (0 keys, 5 mouse events), matches and runs on the
// view (the current text view when null); 1 when something ran or was
// consumed, 0 when the key is not bound.
int K_cmd_from_input(int state, int key, bool quiet, int repeat, int kind, void* view);

// The sequence state: a cursor into a -1-terminated list.
struct K_cmd_sequence {
    const int32_t* start;
    const int32_t* cursor;
};
// Runs the list: 1 when it ran to its end, 0 when it was stopped.
int K_cmd_run_sequence(K_cmd_sequence* seq, void* view, K_cmd_params* params);
// True when the latest K_cmd_run_sequence of a playing macro stopped at K_MacroPlay.
bool K_cmd_sequence_hit_macro_play();
// Runs the identifier at the cursor.
int K_cmd_run_step(K_cmd_sequence* seq, void* view, K_cmd_params* params);

// Repeat counts: K_SetRepeatCount pushes one; the next step runs that often.
void K_cmd_push_repeat_count(int count);
int K_cmd_repeat_depth();           // entries above the base
void K_cmd_reset_repeat_counts();

// Ctrl+Break: polled while sequences run (nonzero when down or pending), and
// read with the pending flag cleared.
int IsKeyDownCtrlBreak();
int ReadCtrlBreak();
// -1 reads; any other value sets the flag to value != 0. The flag's value.
int K_cmd_stop_flag(int value);
int K_cmd_get_previous();
int K_cmd_get_current();
void K_cmd_set_current(int id);     // the previous becomes -1
int GetKeyTranslateState();         // 1 while Ctrl stays down after Ctrl+Tab
int K_cmd_input_flags();            // 256 while a sequence of a record of kind > 0 runs

// The key-help entry: runs "Key_help" for K_HelpOnKeys (307); for another
// identifier ends a waiting "Key_help" (-3: asks the main frame to show
// " Key is not bound"). Returns 1.
int Key_help_cmd(int id);

// Lines a wheel step scrolls (read once until ResetMouseWheel).
int InitMouseWheel();
void ResetMouseWheel();
