#pragma once
// The left margin of editable views: its layout (portable, textbar.cpp) and
// its drawing into a row (textbar_win.cpp): line numbers, one-character
// marks in the "Wingdings" font for line flags and numbered bookmarks, the
// raised edge between margin and text and the right-margin line.
#include <cstdint>

// Option bits of TextBarFlags.
enum : uint32_t {
    QW_TB_SHOWN = 0x1,
    QW_TB_NUMBERS = 0x2,
    QW_TB_FLAG2 = 0x4,     // column of line flag 0x2
    QW_TB_FLAG1 = 0x8,     // column of line flag 0x1
    QW_TB_BOOKMARKS = 0x10,
    QW_TB_COMPARE = 0x20,  // two columns: line flags 0x100 and 0x80
    QW_TB_EXTRA = 0x40,
};

struct TextBarLayoutInfo {
    int width = 0;
    // Start and end of the numbers, then the left edges of the mark columns
    // of 0x4, 0x8, 0x10 and 0x20.
    int pos[6] = {0, 0, 0, 0, 0, 0};
};

// line_count < 0: no buffer yet (room for 6 digits).
TextBarLayoutInfo LayoutTextBar(uint32_t flags, bool editable, int line_count, int char_w,
                                int bar_w);

// The mark characters of a row, in column order (0 where a column shows
// nothing): [0] flag 0x2 mark, [1] flag 0x1 mark, [2] bookmark, [3] and [4]
// the comparison marks. `bookmark` is the numbered bookmark on the line
// (-1 none; numbers above 8 are never drawn).
void TextBarMarks(uint32_t flags, int line_flags, int bookmark, unsigned char out[5]);

#ifdef _WIN32
#include <windows.h>
class CQWTextView;

// The text-bar font: op 1 makes it, -1 returns it (making it when missing),
// 0 deletes it. Height is the editor's cell height.
HFONT TextBarFont(int op);
// Draws one row's bar into dc: `row_rect` is the row's rectangle (its left
// is the bar's left), line -1 for a row past the text. `focus` marks the
// caret line of a view with the focus.
void DrawTextBarRow(HDC dc, const RECT& row_rect, const TextBarLayoutInfo& layout,
                    uint32_t flags, int line, int line_flags, int bookmark, bool focus,
                    int cell_w);
// Mode 0 the raised edge at x; mode 1 a line at x (the right margin).
void DrawTextBarEdge(HDC dc, int x, int top, int bottom, int mode);
// Makes and deletes the three edge pens and the font (editor start and exit).
void TextBarResources(bool make);
#endif
