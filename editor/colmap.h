#pragma once
// Character offsets <-> display columns.
//
// A line's characters are addressed by 0-based offsets; the window shows
// 1-based display columns: a tab runs to the next tab stop, any other
// character below 32 takes two cells ("^" and the character + 64), a lead
// byte of a multi-byte code page and its trail byte share one column, and
// every other character is one column. In raw mode every character is one
// column. Display columns end at 4096 (QW_MAX_COLUMNS).
//
// Everything here is portable; the view side (caret, buffer position) calls
// it with the rules of its document.
#include <cstdint>

struct VMB;

enum : int {
    QW_MAX_COLUMNS = 4096, // display columns a row can hold; also the longest line read
    QW_DEFAULT_TAB = 8,
};

// The rules a text is laid out with.
struct ColumnRules {
    // Normalised by ColumnRulesTab: below 1 counts as 8, above 4096 as 4096.
    int tab_width = QW_DEFAULT_TAB;
    bool raw = false;               // raw-tabs option or whole-line kind: one column per character
    // Multi-byte code page: true for a lead byte; null on single-byte pages.
    bool (*is_lead_byte)(unsigned char c) = nullptr;
};

// The tab width the rules really use.
int ColumnRulesTab(const ColumnRules& rules);

// Width of character c standing at display column `col` (1-based).
int CharDisplayWidth(unsigned char c, uint32_t col, const ColumnRules& rules);

// Expands text[0..len) laid out from display column `col` into `out`,
// writing at most `limit` cells (out needs no terminator room; none is
// written). Tabs become spaces up to the next stop (cut at the limit); a
// control character becomes "^" and the character + 64 (a lone "^" when the
// limit falls between them); a lead byte and its trail byte are copied
// together when both fit. Raw mode copies. Returns the cells written;
// *consumed (optional) the characters used up, a character cut at the limit
// counting as used; *columns (optional) the display columns the cells take
// (a double-byte character is two cells in one column).
int ExpandText(const char* text, int len, uint32_t col, char* out, int limit,
               const ColumnRules& rules, int* consumed = nullptr, uint32_t* columns = nullptr);

// The display column of `offset` in text[0..len): 1 for offset 0; past the
// end one column per missing character (virtual space). Raw: offset + 1.
uint32_t DisplayColumnAt(const char* text, int len, int offset, const ColumnRules& rules);

// The offset of the character that covers display column `col` of
// text[0..len); *actual (optional) gets that character's first column.
// Past the end: with past_end the missing columns become missing characters
// and *actual is `col`; without it the result is len and *actual the column
// after the text. A column below 1 gives 0 (actual 1).
int OffsetAtDisplayColumn(const char* text, int len, uint32_t col, const ColumnRules& rules,
                          uint32_t* actual, bool past_end);

// Display width of text[0..count) from column 1 (raw: count).
uint32_t DisplayWidthOf(const char* text, int count, const ColumnRules& rules);

// Tab stops around display column c (1-based) for tab width t.
uint32_t NextTabStop(uint32_t c, int t);
uint32_t PreviousTabStop(uint32_t c, int t);

// The same over a buffer line (read under the buffer lock, at most
// QW_MAX_COLUMNS characters): the display column of `offset` in `line`, and
// the offset of display column `col`. The buffer's current position is
// restored afterwards. A line that does not exist counts as empty.
uint32_t LineDisplayColumn(VMB* buffer, int line, int offset, const ColumnRules& rules);
int LineOffsetAtColumn(VMB* buffer, int line, uint32_t col, const ColumnRules& rules,
                       uint32_t* actual, bool past_end);

// ---- Context-list buffers --------------------------------------------------
// The named lists that follow the current view: "Window List" (the open
// windows), "IncludesInDoc" and "FunctionsInDoc" (of the current view's
// document). A list belongs to a document through its client data; the
// list sources refill a list when its change sequence moved.

enum : uint32_t { QW_CTX_STALE = 0x8000 }; // buffer state: the list wants refilling

// Refreshes one context list for `kind` (see FillViewContextList): `doc` is
// the current view's document (null for no view), `busy` says the document
// is in a source-database link update, `idle_ms` is the application's idle
// stopwatch. 1 when the list's sequence moved, else 0.
int RefreshContextList(VMB* list, int kind, void* doc, bool busy, uint32_t idle_ms);

// Refreshes the lists of a kind (found by name; a missing list is skipped):
// kinds 1 and 2 "Window List", 100-103 "IncludesInDoc" and "FunctionsInDoc".
// Acts only when view_flags carry 16 (an editable view; 16 is passed for no
// view).
void FillViewContextList(int kind, void* doc, uint32_t view_flags, bool busy, uint32_t idle_ms);
