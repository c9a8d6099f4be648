#pragma once
// Where the window goes when the caret goes to a line: the top-line rule of
// each positioning mode and the rule that keeps the last line on the last
// row. Portable; CQWTextView::GoToLine (gotoline_win.cpp) applies it.
#include <cstdint>

// GoToLine flag bits.
enum : uint32_t {
    QW_GL_FOLLOW_COMPARE = 0x3,
    QW_GL_REMEMBERED_COL = 0x10,
    QW_GL_SCROLL_ONLY = 0x20,
    QW_GL_KEEP_COLUMN = 0x40,
    QW_GL_DROP_TIP = 0x80,
    QW_GL_AVOID_COVERED = 0x100,
    QW_GL_REPAINT_LINE = 0x200,
    QW_GL_ORIGINAL_LINE = 0x400,
    QW_GL_DISPLAY_COLUMN = 0x800,
    QW_GL_SELECT_MOVE = 0x1000,
    QW_GL_FINISH_SELECT = 0x2000,
    QW_GL_WAIT_DRAWING = 0x4000,
    QW_GL_MARK_LINE = 0x8000,
    QW_GL_REFRESH_MARGIN = 0x10000,
    QW_GL_REMEMBER_COL = 0x20000,
};

struct GoToLinePlace {
    int mode = 0;            // 0..4
    uint32_t line = 1;       // the target line
    uint32_t caret_row = 0;  // the caret's row before the move
    uint32_t rows = 0;       // full rows of the window
    int line_count = 0;      // lines known
    bool end_rule = true;    // keep empty rows from showing after the last line
};

// The new top line (at least 1).
uint32_t GoToLineTop(const GoToLinePlace& p);

// Whether the move needs a scroll: a line out of view, or modes 3 and 4.
bool GoToLineNeedsScroll(int mode, bool visible);

// The largest uncovered band of a window `height` pixels high, given the
// covering rectangles' vertical extents (top, bottom pairs, any order and
// overlap): its top in *band_top and its height returned (0: no gap).
int LargestFreeBand(const int* tops, const int* bottoms, int count, int height, int* band_top);
