#pragma once
// The editing engine behind the edit view: typed characters, deletes,
// splits and joins, indent and undent, block insertion, the undo records
// and their replay, and the selection held as marks. It works on a plain
// EditCore (buffer, mark table, caret, settings) so that it runs the same
// in the view and in tests without a window; the view copies its caret in,
// calls these, copies the caret back and repaints what the result says.
//
// Every function takes the buffer lock itself for its engine calls.
#include <cstdint>
#include <string>

#include "editor/colmap.h"
#include "editor/marks.h"

struct VMB;

// What the style sheet tells the editing code (defaults: no style sheet).
struct EditSettings {
    int indent_width = 8;        // 1..120; anything else counts as 8
    bool tab_inserts_tab = true;
    bool caret_past_end = false; // the caret may stand past the end of a line
    bool fill_with_tabs = false; // indentation made of tabs where stops are reached
    bool strip_trailing = false; // trailing blanks go when the caret leaves an edited line
    bool auto_indent = true;
    int indent_search = 10;      // lines searched back for an indentation; 0 off
    bool auto_wrap = false;
    int right_margin = 30000;
};

// Document flags the engine keeps per buffer line visit.
enum : uint32_t {
    QW_DOC_LINE_EDITED = 0x2,    // the current line changed
    QW_DOC_IMAGE_RECORDED = 0x4, // its before-image is in the undo log
};

// Undo record classes and kinds.
enum : int {
    QW_UNDO_CLASS_START = 0,
    QW_UNDO_CLASS_CMD = 1,       // typed character or command (grouping rule)
    QW_UNDO_CLASS_REPLACE = 2,   // typing replaced a selection
    QW_UNDO_CLASS_SEL = 3,
    QW_UNDO_CLASS_IMAGE = 5,
    QW_UNDO_KIND_SEL_START = 6,
    QW_UNDO_KIND_SEL_CLEAR = 7,
    QW_UNDO_IMG_INSERTED = 9,
    QW_UNDO_IMG_CHANGED = 10,
    QW_UNDO_IMG_DELETED = 11,
    QW_UNDO_IMG_CHANGED_KEEP = 12,
};

// Selection types and states.
enum : int {
    QW_SEL_CHAR_INCL = 0,
    QW_SEL_LINE = 1,
    QW_SEL_COLUMN = 2,
    QW_SEL_CHAR = 3,
    QW_SEL_WORD = 4,
    QW_SEL_MOUSE = 5,
    QW_SST_NONE = 0,
    QW_SST_CARET = 1,     // started by a mode command, extended by caret moves
    QW_SST_MARKS = 2,     // made by the selection start and end commands
    QW_SST_MOUSE = 3,
    QW_SST_ALL = 4,
    QW_SST_HIGHLIGHT = 5, // set by another part; dropped by the next click or typing
    QW_SEL_END_EOL = -3,  // an end column meaning end of line
};

// Selection classification.
enum : int {
    QW_SB_VALID = 0,
    QW_SB_NONE = 1,
    QW_SB_NO_MARKS = 3,
    QW_SB_REVERSED = 4,
    QW_SB_COLUMN_MODE = 5,
    QW_SB_OUTSIDE = 6,
    QW_SB_EMPTY = 7,
};

struct SelectionBounds {
    int code = QW_SB_NONE;
    int type = 0;
    int start_line = 0, start_col = 0, end_line = 0, end_col = 0; // buffer columns
    int start_dcol = 0, end_dcol = 0; // column selections: display columns [start, end)
};

struct EditCore {
    VMB* buffer = nullptr;
    CQWMarkTable* marks = nullptr;
    ColumnRules rules;
    EditSettings settings;
    bool view_only = false;
    bool insert_mode = true;
    // Caret: line 1-based, buffer column 0-based (past the end: virtual
    // space, one column per missing character), display column 1-based
    // (inside a tab's expansion it lies past the tab's first column).
    int line = 1;
    int col = 0;
    int dcol = 1;
    int last_typed = -1;   // last typed character or command (-1 none)
    uint32_t doc_flags = 0; // QW_DOC_*
    bool stop = false;     // a repeating command or macro must stop
    bool typing_replaces = true; // view option: typing replaces the selection
    // Selection.
    bool sel_on = false;
    int sel_type = QW_SEL_CHAR;
    int sel_state = QW_SST_NONE;
    // Undo recording: maximum groups (0 off), line images on, re-entry guard.
    int undo_max = 500;
    bool record_images = true;
    bool in_group_record = false;
    bool recording_off = false; // the view's flag word asks for none
    bool group_open = false;    // a command's group record is written; its change follows
    int op_depth = 0;           // nesting of engine operations (one group each)
    // Called once when a trim has to scan 100 records (message 356).
    void (*trim_notice)(EditCore&) = nullptr;
};

// ---- Caret ------------------------------------------------------------------
int EditLineLength(const EditCore& e, int line);
bool EditReadLine(const EditCore& e, int line, std::string* out);
int EditLastLine(const EditCore& e);
// Puts the caret at a buffer column (display column follows) or a display column.
void EditSetCaret(EditCore& e, int line, int col);
void EditSetCaretDisplay(EditCore& e, int line, int dcol);

// ---- Typing -------------------------------------------------------------------
// Typed character through the grouping rule and the selection (what a key
// not bound to a command does). 0 when refused.
int EditTypeKey(EditCore& e, int ch);
int EditInsertChar(EditCore& e, int ch);  // insert mode
int EditTypeChar(EditCore& e, int ch);    // overtype
bool EditInsertString(EditCore& e, const char* text, int length);
// Tab key in insert mode; indent (count 0: to the next stop) and undent.
int EditTab(EditCore& e);
int EditIndent(EditCore& e, int count);
int EditUndent(EditCore& e);
int EditIndentWidth(const EditSettings& s);

// ---- Deleting, splitting, joining -------------------------------------------
enum : uint32_t {
    QW_DR_JOIN = 0x1,      // at or past the end: join the next line
    QW_DR_KEEP_DCOL = 0x2,
    QW_DR_NO_SEL_PAINT = 0x4,
    QW_DR_NO_PAINT = 0x8,
};
int EditDeleteRange(EditCore& e, int from, int to, uint32_t flags);
int EditBackspace(EditCore& e);
int EditDeleteLine(EditCore& e);
int EditJoinLine(EditCore& e);          // caret line onto the previous one
int EditJoinNext(EditCore& e);          // next line onto the caret line
int EditSplitLine(EditCore& e, int indent_mode);
int EditOpenLine(EditCore& e, bool indent);
int EditDeleteToLineStart(EditCore& e);
int EditDeleteToLineEnd(EditCore& e);
int EditDeleteWord(EditCore& e, bool word_only);
// Word characters: letters, digits, '_' and bytes from 128 (no style sheet delimiters here).
bool EditIsWordChar(int c);
// Blanks at a tab stop become tabs (entab) or tabs become blanks (detab) on one line.
int EditEntabLine(EditCore& e, int line);
int EditDetabLine(EditCore& e, int line);
// Trailing blanks of a line go; the count removed.
int EditStripTrailing(EditCore& e, int line);
// The caret leaves its line: strip trailing blanks when asked, clear the line flags.
void EditLineLeave(EditCore& e, bool force);

// ---- Blocks -----------------------------------------------------------------
// One piece of a block: its text, length and whether a line break follows.
struct BlockPiece {
    const char* text = nullptr;
    int length = 0;
    bool end_of_line = false;
};
// A source of pieces: fills *piece and returns false when nothing is left.
// Pieces are never longer than `max_piece` (longer lines come in several).
using BlockSource = bool (*)(void* context, BlockPiece* piece, int max_piece);
enum : uint32_t {
    QW_IB_CARET_END = 0x1,
    QW_IB_SELECT = 0x2,
    QW_IB_NO_RECORD = 0x8,
};
// style: 0 stream, 1 line, 2 column. Result of the last piece step (1 when
// the source gave nothing); *end_line / *end_col the end of the block.
int EditInsertBlock(EditCore& e, BlockSource source, void* context, int style, uint32_t flags,
                    int* end_line, int* end_col);
// A text in memory split at CR LF, LF or lone CR; style as above. NULs are
// kept as characters.
int EditInsertText(EditCore& e, const char* text, size_t length, int style, uint32_t flags);
// The lines of another buffer (refuses the editing buffer itself).
int EditInsertBuffer(EditCore& e, VMB* source, int style, uint32_t flags);
// Deletes a block (type 2: display columns [start_dcol, end_dcol) of each line).
int EditDeleteBlock(EditCore& e, const SelectionBounds& b);
// Copies a block into `out` as text (lines joined by CR LF; a line or
// stream block ending at a line start ends with a line break).
bool EditCopyBlock(const EditCore& e, const SelectionBounds& b, std::string* out);

// ---- Selection ----------------------------------------------------------------
// op 0 start at the caret, 1 select all, 2 extend to the caret, 3 clear,
// 4 clear keeping the on flag. Op 2: whether the selection is non-empty.
int EditSetSelection(EditCore& e, int op, bool record);
int EditSelectText(EditCore& e, int start_line, int start_col, int end_line, int end_col,
                   int type, int state, bool record);
// The selection-mode commands (type 0..3): toggle, start, extend.
int EditSelectionMode(EditCore& e, int type);
int EditSelectAll(EditCore& e);
SelectionBounds EditGetSelectionBounds(const EditCore& e, bool column_mode);
bool EditHasSelection(const EditCore& e);
bool EditTypingReplacesSelection(const EditCore& e, bool check_caret);
// Whether a position (line, buffer column, display column) lies on the
// selected text: inside the columns of a column selection, inside the range
// of the others; past the end of a line of a character selection (type 3)
// only when past_end_counts.
bool EditSelectionContains(const EditCore& e, int line, int col, int dcol, bool past_end_counts);
// Deletes the selection (nothing in an empty buffer); 1 when deleted.
int EditDeleteSelection(EditCore& e);
// Column-select mode: 1 or 0 sets, -1 reads.
int ColumnSelectMode(int op);

// ---- Undo -----------------------------------------------------------------------
// The undo recorder: class 0..4 group records (class 1 through the grouping
// rule with the command id or character), class 5 line images of `line`.
void EditRecord(EditCore& e, int cls, int kind, int command_or_char, int line);
// A group record with further tab-separated fields (extra begins with a tab).
void EditRecordGroup(EditCore& e, int cls, int kind, int command, const char* extra);
// A command's group record (kind from the command table's attributes).
void EditRecordCommand(EditCore& e, int command_id);
// Depths: records in the undo log / in the redo log.
int EditUndoDepth(const EditCore& e);
int EditRedoDepth(const EditCore& e);
// Replays the last group of the undo log (or of the redo log); the inverse
// goes to the other log. 1 done, 0 nothing to undo.
int EditUndo(EditCore& e);
int EditRedo(EditCore& e);
// A new change empties the redo log.
void EditDropRedo(EditCore& e);
