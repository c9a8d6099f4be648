#pragma once
// Command values: every setting of the editor is the value of a command
// record, an integer or a string. Some live only in the table, some are kept
// in the profile section "K_xxx Data" under the command's name (read once, on
// the first get, and written on every set), and some are live views of state
// held elsewhere (view options, text-bar options, document options, the
// engine's file-locking flag, the style sheet being set up, ...), which the
// owning modules reach this layer through the hooks below.
//
// Also here: the command handlers that belong to the command layer itself
// (the on/off toggle, find direction and range, the repeat count) and the
// small frame handlers, which do their work through hooks the shell fills.
#include <cstdint>

#include "commands/cmdtable.h"

// ---- Values ----------------------------------------------------------------
// The integer value; -1 without a record.
int cmd_get_value(int id);
// Sets it (profile first, then the live state or the table); the new state,
// -1 without a record.
int cmd_set_value(int id, int value);
// Fills buffer (size bytes, always terminated, emptied first) with the string
// value and returns buffer; null when there is no string. The text is always
// a copy: the record's own string may be freed by the next set.
char* cmd_get_string(int id, char* buffer, int size);
// Sets the string value (a copy is kept); returns text.
const char* cmd_set_string(int id, const char* text);
// mode 2 toggles and returns the new value; -1 returns the value; any other
// mode sets 1 for nonzero and 0 for zero and returns the value before.
int K_cmd_set_bool(int mode, int id);
// Frees every string value (values become -1). Once, at exit.
void K_cmd_free_strings();
// Shows string 416 "%s: ON" or 415 "%s: OFF" with text on the status bar.
void ShowOnOffStatus(const char* text, int on);
// Installs cmd_get_value as the engines' source of command values.
void K_cmd_values_install();

// ---- Profile ----------------------------------------------------------------
// The application profile, as the framework provides it. get_int and
// get_string answer the default when the entry cannot be read; get_string
// copies at most size - 1 characters and returns nonzero when the entry exists.
struct K_cmd_profile {
    int (*get_int)(const char* section, const char* key, int default_value);
    int (*write_int)(const char* section, const char* key, int value);
    int (*get_string)(const char* section, const char* key, const char* default_value,
                      char* out, int size);
    int (*write_string)(const char* section, const char* key, const char* value);
};
// Installs the profile (copied; null removes it: values then stay in the table).
void K_cmd_set_profile(const K_cmd_profile* profile);
extern const char* const K_CMD_PROFILE_SECTION;  // "K_xxx Data"

// ---- Live values ----------------------------------------------------------
// Option words that own the state of several on/off settings.
enum K_cmd_option_word {
    K_OPTION_VIEW = 0,      // the global view-option word
    K_OPTION_TEXT_BAR = 1,  // the text-bar option word
    K_OPTION_DOCUMENT = 2,  // the document option word
    K_OPTION_WORD_COUNT = 3,
};
struct K_cmd_option_hooks {
    uint32_t (*get)();                     // the word
    void (*set)(uint32_t mask, int on);    // sets or clears the bits of mask
};
// null hooks remove the word; until a word is installed its settings live in the table.
void K_cmd_set_option_word(K_cmd_option_word word, const K_cmd_option_hooks* hooks);

// A live value of one command: get answers the state, set (null for a value
// that can only be read) changes it and answers the new state. Used for the
// insert mode, selection mode, page overlap, bookmark and macro-recording
// state, bars and panes of the frame, the window list and the skeleton pane.
struct K_cmd_live_hooks {
    int (*get)(int id);
    int (*set)(int id, int value);
};
// 0, or -1 for an identifier without a record (null removes the hooks).
int K_cmd_set_live_value(int id, const K_cmd_live_hooks* hooks);

// String values worked out by their owners: 516 (the name of the function at
// the caret line, found in the source database's "FunctionsInDoc"; the hook
// also sets the command's value to the line found) and 366 (the text of the
// window whose handle is the command's value, while that is a window). The
// hook fills out (size bytes) and returns nonzero when there is a text;
// cmd_get_string then returns the buffer, else null.
using K_cmd_string_hook = int (*)(int id, char* out, int size);
int K_cmd_set_string_hook(int id, K_cmd_string_hook hook);

// ---- Command handlers of this layer ---------------------------------------
int K_cmd_toggle_setting(int id, K_cmd_params* params);
int K_cmd_find_direction(int id, K_cmd_params* params);
int K_cmd_find_range(int id, K_cmd_params* params);
int K_cmd_set_repeat_count(int id, K_cmd_params* params);

// Frame handlers: they act through the shell's hooks and change nothing
// while the shell has not installed them.
int K_cmd_view_status_bar(int id, K_cmd_params* params);
int K_cmd_view_output(int id, K_cmd_params* params);
int K_cmd_view_workspace(int id, K_cmd_params* params);
int K_cmd_activate_document(int id, K_cmd_params* params);
int K_cmd_skeleton_bar(int id, K_cmd_params* params);
int K_cmd_full_screen(int id, K_cmd_params* params);
int K_cmd_activate_menu_bar(int id, K_cmd_params* params);
int K_cmd_stop_program(int id, K_cmd_params* params);
int K_cmd_print_setup(int id, K_cmd_params* params);
int K_cmd_activate_toolbar_button(int id);

struct K_cmd_frame_hooks {
    // Status bar: toggles it (nothing without a main frame or status bar).
    void (*toggle_status_bar)();
    // Output pane: show (1), hide (0) or toggle (-1).
    void (*show_output)(int how);
    // Shows the output pane on tab (-1: the current one) and activates it.
    void (*activate_output)(int tab);
    // Workspace bar: show (1), hide (0) or toggle (-1), keeping its page.
    void (*show_workspace)(int how);
    // Shows the workspace bar on page.
    void (*activate_workspace)(int page);
    // Gives the focus to the text view of the active child frame.
    void (*activate_document)();
    // Skeleton bar: the active page, -1 when hidden or missing.
    int (*skeleton_page)();
    // Shows the skeleton bar on page (-1: its current page), or hides it (show 0).
    void (*show_skeleton)(int show, int page);
    // Switches the main frame's full-screen state.
    void (*toggle_full_screen)();
    // Posts WM_SYSCOMMAND / SC_KEYMENU to the main window.
    void (*activate_menu_bar)();
    // Stops the running child process; its result.
    int (*stop_program)();
    // Runs the framework's print set-up dialog.
    int (*print_setup)();
    // Activates the toolbar control of a command by name; its result.
    int (*activate_toolbar_button)(const char* name);
    // Asks for a number between low and high: nonzero and *value when given.
    int (*prompt_value)(const char* caption, const char* text, const char* range, int* value);
    // Pushes a repeat count for what the key-sequence player runs next.
    void (*push_repeat_count)(int count);
    // Refreshes all views (after syntax colouring changes).
    void (*refresh_all_views)();
};
void K_cmd_set_frame_hooks(const K_cmd_frame_hooks* hooks);

// String identifiers of this layer's messages.
enum : unsigned {
    K_IDS_REPEAT_CAPTION = 411,
    K_IDS_REPEAT_TEXT = 412,
    K_IDS_STATUS_OFF = 415,
    K_IDS_STATUS_ON = 416,
    K_IDS_SS_ERROR_CAPTION = 1074,
    K_IDS_SS_MISSING = 1075,
    K_IDS_SS_BAD_LANGUAGE = 1076,
    K_IDS_SS_NO_DICTIONARY = 1077,
    K_IDS_SS_CONFLICT_CAPTION = 1081,
    K_IDS_SS_CONFLICT = 1082,
};
