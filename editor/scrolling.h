#pragma once
// Scrolling arithmetic of the text view: the scroll-bar ranges for a buffer
// that may still be loading, wheel turns, horizontal steps, thumb targets
// and the rule that keeps empty rows from showing after the last line.
// Portable; the view applies the results (scrolling_win.cpp).
#include <cstdint>

struct QwScrollRange {
    int min = 0;
    int max = 0;
    int page = 0;
    int pos = 0;
};

// Vertical: 0 .. line count + rows - 2, a page of rows, position top - 1.
QwScrollRange VerticalScrollRange(int line_count, int rows, uint32_t top_line);
// Horizontal: 0 .. longest + visible - 2, a page of the visible columns.
QwScrollRange HorizontalScrollRange(int longest, int visible_cols, int offset);

// Lines one wheel movement of `delta` scrolls (positive: towards the end).
// `wheel_lines` is the system's lines per notch; the "one screen at a time"
// setting (0xFFFFFFFF) scrolls a page per notch in the wheel's direction.
int WheelScrollLines(int delta, unsigned wheel_lines, int rows);

// The horizontal offset after scrolling n columns (negative: left). Never
// below 0; to the right never beyond the longest line's last column.
int HorizontalScrollBy(int offset, int n, int longest);

// The highest top line that shows no empty rows after the last line (1 when
// the buffer is shorter than the window).
uint32_t LastTopLine(int line_count, int rows);
uint32_t ClampTopLine(uint32_t top, int line_count, int rows);

// The top line a thumb at `pos` asks for. When the thumb is within two
// pages of the end of a buffer that is still loading, *read_all is set:
// the rest must be read first and the view go to the end.
uint32_t ThumbTargetLine(int32_t pos, const QwScrollRange& range, bool fully_read,
                         bool* read_all);

// The scroll tip: "%s\nLine: %d" with the enclosing function, or "Line: %d".
int FormatScrollTip(char* out, int size, const char* function, int line);

// The display setting "scroll tips" (on at start): op 1/0 sets, -1 reads.
bool ScrollTips(int op);
