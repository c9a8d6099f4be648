#pragma once
// What editing programs ask of the edit view they run on: the Edit_* methods
// of the include header. The interpreter sits below the editor, so the
// editor fills these hooks when its editing commands are installed; a hook
// left unset (or a view that is not an edit view) answers -1.
#include <string>

// Edit_Info (view, what).
enum : int {
    QW_EI_LINE = 0,          // caret line (1-based)
    QW_EI_COLUMN = 1,        // caret buffer column (0-based)
    QW_EI_DISPLAY_COLUMN = 2,// caret display column (1-based)
    QW_EI_LINE_COUNT = 3,
    QW_EI_VIEW_ONLY = 4,
    QW_EI_INSERT_MODE = 5,
    QW_EI_INDENT_WIDTH = 6,
    QW_EI_TAB_WIDTH = 7,
    QW_EI_RIGHT_MARGIN = 8,
    QW_EI_AUTO_WRAP = 9,
    QW_EI_AUTO_INDENT = 10,
    QW_EI_SMART_INDENT = 11,
    QW_EI_UNDO_DEPTH = 12,
    QW_EI_REDO_DEPTH = 13,
    QW_EI_FILL_WITH_TABS = 14,
};

// Edit_Selection (view, what).
enum : int {
    QW_ES_CODE = 0,          // the classification (0 a valid range, 1 none, ...)
    QW_ES_TYPE = 1,
    QW_ES_STATE = 2,
    QW_ES_START_LINE = 3,
    QW_ES_START_COLUMN = 4,  // buffer columns
    QW_ES_END_LINE = 5,
    QW_ES_END_COLUMN = 6,    // -3: the end of the line
    QW_ES_START_DCOL = 7,    // column selections: display columns [start, end)
    QW_ES_END_DCOL = 8,
    QW_ES_TYPING_REPLACES = 9,
};

// Edit_Buffer (view, op, name): the named buffers ("scraps") and files.
enum : int {
    QW_EB_COPY = 0,          // the selection into the named buffer
    QW_EB_APPEND = 1,        // the selection after the named buffer's text
    QW_EB_PASTE = 2,         // the named buffer's text at the caret
    QW_EB_ADD_WORD = 3,      // the word at the caret as a new line of the named buffer
    QW_EB_INSERT_FILE = 4,   // the file's text at the caret
    QW_EB_SAVE_SELECTION = 5,// the selection into the file
    QW_EB_FILL = 6,          // every selected character becomes the first character of name
};

struct InterpEditHooks {
    int (*info)(void* view, int what) = nullptr;
    // The text of a line; -1 when there is no such line.
    int (*get_line)(void* view, int line, std::string* out) = nullptr;
    int (*set_caret)(void* view, int line, int column) = nullptr;
    // Columns [from, to) of the line become text (no line breaks); the
    // caret ends after it.
    int (*replace)(void* view, int line, int from, int to, const char* text) = nullptr;
    // Block insertion at the caret (style 0 stream, 1 line, 2 column); the
    // caret ends after the block.
    int (*insert)(void* view, const char* text, int style) = nullptr;
    int (*insert_line)(void* view, int before, const char* text) = nullptr;
    int (*delete_lines)(void* view, int line, int count) = nullptr;
    int (*split_line)(void* view, int mode) = nullptr;
    int (*open_line)(void* view, int indent) = nullptr;
    int (*indent)(void* view, int count) = nullptr;
    int (*undent)(void* view) = nullptr;
    int (*selection)(void* view, int what) = nullptr;
    int (*column_at)(void* view, int line, int display_column) = nullptr;
    int (*clipboard)(void* view, int op) = nullptr; // 0 copy, 1 cut, 2 paste
    int (*undo)(void* view, int redo) = nullptr;
    // id > 0: one undo group for the command from here on; 0: the group ends.
    int (*group)(void* view, int id) = nullptr;
    // The expansion of the template named exactly `abbrev` in the view's
    // language; -1 when there is none.
    int (*find_template)(void* view, const char* abbrev, std::string* out) = nullptr;
    int (*buffer)(void* view, int op, const char* name) = nullptr;
    // Appends the names of the named buffers to the list of a list request
    // record; the count, -1 when the record is not one.
    int (*buffer_names)(void* request) = nullptr;
};
void Interp_SetEditHooks(const InterpEditHooks* hooks);
