// Text-bar layout and marks (see textbar.h).
#include "editor/textbar.h"

TextBarLayoutInfo LayoutTextBar(uint32_t f, bool editable, int line_count, int char_w,
                                int bar_w) {
    TextBarLayoutInfo L;
    if (!editable)
        return L;
    int width = 0;
    if (f & QW_TB_SHOWN) {
        if (f & QW_TB_NUMBERS) {
            int digits = 1;
            if (line_count < 0)
                digits = 6;
            else
                for (int n = line_count; n >= 10; n /= 10)
                    ++digits;
            width += char_w * digits;
        }
        L.pos[1] = width;
        L.pos[2] = width;
        if (f & QW_TB_FLAG2)
            width += bar_w;
        L.pos[3] = width;
        if (f & QW_TB_FLAG1)
            width += bar_w;
        L.pos[4] = width;
        if (f & QW_TB_BOOKMARKS)
            width += bar_w;
        L.pos[5] = width;
        if (f & QW_TB_COMPARE)
            width += 2 * bar_w;
        if (f & QW_TB_EXTRA) {
            width += bar_w;
            L.pos[5] += bar_w;
        }
        if (width == 0)
            width = bar_w;
        width += 3;
    }
    L.width = width + 8;
    return L;
}

void TextBarMarks(uint32_t f, int line_flags, int bookmark, unsigned char out[5]) {
    for (int i = 0; i < 5; ++i)
        out[i] = 0;
    if ((f & QW_TB_FLAG2) && (line_flags & 0x2))
        out[0] = 196;
    if ((f & QW_TB_FLAG1) && (line_flags & 0x1))
        out[1] = '@';
    if (f & QW_TB_BOOKMARKS) {
        if (line_flags & 0x4)
            out[2] = 'O';
        else if (bookmark >= 0 && bookmark <= 8)
            out[2] = static_cast<unsigned char>(129 + bookmark);
    }
    if ((f & QW_TB_COMPARE) && (line_flags & 0x100)) {
        out[3] = 165;
        if (line_flags & 0x80)
            out[4] = 232;
    }
}
