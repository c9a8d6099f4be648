// The top-line rules of going to a line (see gotoline.h).
#include "editor/gotoline.h"

#include <algorithm>
#include <vector>

#include "editor/scrolling.h"

uint32_t GoToLineTop(const GoToLinePlace& p) {
    int64_t top;
    const int mode = p.mode == 4 ? 1 : p.mode;
    if (mode == 1 || mode == 2) {
        uint32_t half = p.rows / 2;
        top = (p.line_count >= int64_t(p.rows) && p.line > half) ? int64_t(p.line) - half : 1;
    } else {
        top = int64_t(p.line) - int64_t(p.caret_row);
    }
    top = std::max<int64_t>(top, 1);
    if (p.end_rule && mode != 2)
        top = std::min<int64_t>(top, LastTopLine(p.line_count, int(p.rows)));
    return uint32_t(top);
}

bool GoToLineNeedsScroll(int mode, bool visible) { return !visible || mode == 3 || mode == 4; }

int LargestFreeBand(const int* tops, const int* bottoms, int count, int height, int* band_top) {
    std::vector<std::pair<int, int>> spans;
    for (int i = 0; i < count; ++i) {
        int a = std::max(std::min(tops[i], bottoms[i]), 0);
        int b = std::min(std::max(tops[i], bottoms[i]), height);
        if (a < b)
            spans.emplace_back(a, b);
    }
    std::sort(spans.begin(), spans.end());
    int best = 0, best_top = 0, at = 0;
    for (const auto& s : spans) {
        if (s.first - at > best) {
            best = s.first - at;
            best_top = at;
        }
        at = std::max(at, s.second);
    }
    if (height - at > best) {
        best = height - at;
        best_top = at;
    }
    if (band_top)
        *band_top = best_top;
    return best;
}
