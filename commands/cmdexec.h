#pragma once
// Running a command: Do_k_cmd works out the state of the target view (and
// may offer to switch a viewed file into edit mode), Run_k_cmd checks that
// state against the command's attribute word, calls the handler in its
// calling form and runs the view's steps before and after it;
// dlg_cmd_available answers whether a command can run now.
//
// The view, its document and the application's other state belong to the
// layers above; they reach this layer through K_cmd_exec_hooks. A missing
// hook answers "no" (or does nothing).
#include <cstdint>

#include "commands/cmdtable.h"

// View states.
enum : int {
    K_STATE_NO_VIEW = 128,
    K_STATE_MINIMIZED = 4,
    K_STATE_SPECIAL = 40,
    K_STATE_READ_ONLY = 32,
    K_STATE_EDITABLE = 16,
};

// Results the executor adds to a handler's own.
enum : int {
    K_RESULT_NO_HANDLER = -2,
    K_RESULT_REFUSED = -3,
    K_RESULT_READ_ONLY = -4,
};

// Do_k_cmd flag: the view notes the command for undo grouping.
enum : int { K_DO_NOTE = 2 };

// Strings.
enum : unsigned {
    K_IDS_READ_ONLY_ALLOWED = 43,
    K_IDS_NEEDS_WINDOW = 230,
    K_IDS_MINIMIZED = 231,
    K_IDS_FILE_READ_ONLY = 323,
    K_IDS_TRY_EDIT_MODE = 7115,
};

struct K_cmd_exec_hooks {
    // ---- The view's state ---------------------------------------------------
    int (*is_minimized)(void* view);     // its child frame is minimised
    int (*is_special)(void* view);       // a special-buffer view (state bit 0x40)
    int (*is_read_only)(void* view);     // the view's read-only test
    int (*is_editable)(void* view);      // view state bit 0x10
    // ---- Edit-mode offer ----------------------------------------------------
    int (*is_named_file)(void* view);    // its document is a named file
    // Asks the do-not-ask-again question of that name and string; the answer
    // (6 Yes). Null: an interim plain Yes/No question.
    int (*ask)(const char* name, unsigned id);
    // 1 when the file is read-only on disk or its attributes cannot be read.
    int (*file_read_only)(void* view);
    // Copies the document's buffer name; its length.
    int (*buffer_name)(void* view, char* out, int size);
    // Switches the document into edit mode; nonzero on success.
    int (*set_edit_mode)(void* view);
    // The view notes a command for undo grouping: (1, identifier, 0).
    void (*note_command)(void* view, int a, int id, int b);
    // ---- Steps around the handler --------------------------------------------
    // Makes the caret visible when its line is off screen and the document has lines.
    void (*caret_visible)(void* view);
    // The special-buffer line-mark step (1 before, 0 after a command).
    void (*line_mark)(void* view, int on);
    // The view's window handle, and whether that window still exists and the
    // framework still maps it to this view object.
    uintptr_t (*window_of)(void* view);
    int (*window_is_view)(uintptr_t window, void* view);
    void (*clear_pending_action)(void* view);
    int (*flag64)(void* view);           // bit 64 of the view's flag word
    int (*edit_state20)(void* view);     // the edit view's state 0x20
    void (*assist_event)(void* view, int event);
    void (*edit_notify)(void* view, int code);
    void (*remember_column)(void* view);
    int (*bracket_highlight)(void* view);
    void (*match_bracket)(void* view);
    // ---- Availability -------------------------------------------------------
    void* (*current_view)();             // the current text view, null without one
    int (*any_document)(int flag);
    int (*frames_with_view)();           // child frames with a live text view
    int (*project_open)();
    int (*project_can_save)();
    int (*undo_lines)(void* view);
    int (*redo_steps)(void* view);
    int (*selection_state)(void* view);
    int (*has_selection)(void* view);    // the selection query at (0, 0)
    int (*scrap_exists)();
    int (*buffer_empty)(void* view);
    int (*jump_can_move)(int forward);
    int (*bookmark_set)(void* view, int id);
    int (*is_main_view)(void* view);
    int (*any_editor_view)();
    int (*language_flags)(int language);
    // A dialog engine with an attached program or a callback, and its answer.
    int (*dialog_has_handler)(void* dialog);
    int (*dialog_answer)(void* dialog, int id, int event);
    // ---- Typed characters and sequence steps ----------------------------------
    // Types a character into the view.
    void (*type_char)(void* view, int c, K_cmd_params* params);
    // The document-event hook with event 2; 1 consumes the step.
    int (*document_event)(void* view, int event, K_cmd_params* params);
    // A running child program of a special-buffer view: takes a key (nonzero
    // when taken) and Ctrl+Break.
    int (*child_input)(void* view, int id);
    void (*child_break)(void* view);
    void (*stopwatch_restart)();
    // "Key_help" registered itself as waiting: clears it and answers nonzero.
    int (*key_help_waiting)();
};
// Installs the hooks (copied; null removes them).
void K_cmd_set_exec_hooks(const K_cmd_exec_hooks* hooks);
const K_cmd_exec_hooks& K_cmd_get_exec_hooks();

// The view state of a view (128 for none).
int K_cmd_view_state(void* view);

int Do_k_cmd(int id, int flags, void* view, K_cmd_params* params);
int Run_k_cmd(int id, int state, void* view, K_cmd_params* params);

// 1 when the command can run, 0 when not, or another answer of an attached program.
int dlg_cmd_available(int id, void* dialog);
int cmd_available(int id);
