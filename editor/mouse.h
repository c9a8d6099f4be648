#pragma once
// Mouse arithmetic of the text view: hit areas of the left margin, the drag
// threshold, the text position under a point, the drag selection type that
// the right button cycles, the auto-scroll steps and word boundaries with
// the style sheet's delimiters. Portable; the window handlers are in
// mouse_win.cpp.
#include <cstdint>

enum : int {
    QW_HIT_ICONS = 1,  // the icon strip of the left margin
    QW_HIT_MARGIN = 2, // the rest of the margin
    QW_HIT_TEXT = 3,
};

// The auto-scroll timer's identifier and period.
enum : unsigned { QW_AUTOSCROLL_TIMER = 40962, QW_AUTOSCROLL_MS = 100 };

// Modifier code of mouse bindings: Ctrl 1, Shift 2, Alt 4.
int MouseModifierCode(bool ctrl, bool shift, bool alt);

int MouseHitArea(int x, int margin_width);

// A point counts as a move only when it leaves the 2-pixel square around the last one.
bool PastDragThreshold(int last_x, int last_y, int x, int y);

// The drag type after a right-button press: character -> line -> column -> character.
int NextDragSelectionType(int type);

struct PointGeometry {
    int margin = 0;          // text-bar width in pixels
    int cell_w = 1, cell_h = 1;
    uint32_t top_line = 1;
    int line_count = 0;
    uint32_t first_col = 0;  // horizontal offset
    uint32_t visible_cols = 0;
};
struct PointPosition {
    uint32_t line = 1;      // clamped to the buffer (1 in an empty one)
    uint32_t dcol = 1;      // display column, 1-based
    bool above = false;     // the point lay above the text: column 0 of line 1
};
PointPosition PointToPosition(const PointGeometry& g, int x, int y);

// Whether (x, y) lies in the text rectangle: the margin to the right edge
// of the text columns less one character, top to the last full row.
bool InTextRect(const PointGeometry& g, uint32_t rows, int x, int y);

// Auto-scroll steps for a pointer at (x, y) outside the text: rows (+ down)
// and columns (+ right).
int AutoScrollRows(int y, uint32_t rows, int cell_h);
int AutoScrollColumns(const PointGeometry& g, int x);

// Word characters: with alnum letters, digits and '_'; otherwise anything
// but blanks and the delimiters (" ^I." in caret notation when the style
// sheet gives none or an empty text). A negative character never is one.
bool IsWordCharWith(int ch, bool alnum, const char* delimiters);
// Decodes a delimiter text in caret notation ("^I" is a tab) into out.
void DecodeDelimiters(const char* caret_text, char* out, int size);

// Word bounds around `col` of a line: [*start, *end). False when col is not
// on a word character.
bool WordBoundsAt(const char* text, int len, int col, const char* delimiters, int* start,
                  int* end);
// Where a word selection's caret snaps when it moves to col: the start of
// the word when moving back, its end when moving forward.
int SnapToWord(const char* text, int len, int col, bool forward, const char* delimiters);

// The process-wide mouse state (mouse_win.cpp): the drag selection type,
// the hit area of the last press, whether a drag is on, the busy flag.
int MouseDragSelectionType();
int MouseLastHitArea();
bool MouseSelecting();
void MouseSetBusy(bool busy);

// Word moves within a line: the column a word move right from col reaches
// (-1: at the line end, the move goes on to the next line), and left (-1:
// at column 0, the move goes to the previous line's end).
int WordRightColumn(const char* text, int len, int col, const char* delimiters);
int WordLeftColumn(const char* text, int len, int col, const char* delimiters);
