// Scrolling arithmetic (see scrolling.h).
#include "editor/scrolling.h"

#include <algorithm>
#include <cstdio>

QwScrollRange VerticalScrollRange(int line_count, int rows, uint32_t top_line) {
    QwScrollRange r;
    r.max = std::max(line_count + rows - 2, 0);
    r.page = std::max(rows, 0);
    r.pos = top_line ? int(top_line) - 1 : 0;
    return r;
}

QwScrollRange HorizontalScrollRange(int longest, int visible_cols, int offset) {
    QwScrollRange r;
    r.max = std::max(longest + visible_cols - 2, 0);
    r.page = std::max(visible_cols, 0);
    r.pos = std::max(offset, 0);
    return r;
}

int WheelScrollLines(int delta, unsigned wheel_lines, int rows) {
    if (delta == 0)
        return 0;
    int64_t per_notch = wheel_lines == 0xFFFFFFFFu ? std::max(rows, 1) : int64_t(wheel_lines);
    int64_t lines = -int64_t(delta) * per_notch / 120;
    if (lines == 0 && wheel_lines == 0xFFFFFFFFu)
        lines = delta > 0 ? -1 : 1; // a part notch still moves in its direction
    return int(std::clamp<int64_t>(lines, -0x3FFFFFFF, 0x3FFFFFFF));
}

int HorizontalScrollBy(int offset, int n, int longest) {
    if (n < 0)
        return offset > 0 ? std::max(offset + n, 0) : offset;
    if (offset + n < longest)
        return offset + n;
    return offset < longest ? longest - 1 : offset;
}

uint32_t LastTopLine(int line_count, int rows) {
    if (rows <= 0 || line_count <= rows)
        return 1;
    return uint32_t(line_count + 1 - rows);
}

uint32_t ClampTopLine(uint32_t top, int line_count, int rows) {
    return std::clamp<uint32_t>(top, 1, LastTopLine(line_count, rows));
}

uint32_t ThumbTargetLine(int32_t pos, const QwScrollRange& range, bool fully_read,
                         bool* read_all) {
    *read_all = false;
    pos = std::max(pos, 0);
    if (!fully_read && int64_t(pos) + 2 * int64_t(range.page) >= range.max) {
        *read_all = true;
        return 0;
    }
    return uint32_t(pos) + 1;
}

int FormatScrollTip(char* out, int size, const char* function, int line) {
    if (!out || size <= 0)
        return 0;
    int n = function && *function ? snprintf(out, size_t(size), "%s\nLine: %d", function, line)
                                  : snprintf(out, size_t(size), "Line: %d", line);
    return std::clamp(n, 0, size - 1);
}

bool ScrollTips(int op) {
    static bool on = true;
    if (op == 0 || op == 1)
        on = op == 1;
    return on;
}
