// Mouse arithmetic (see mouse.h).
#include "editor/mouse.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "editor/editops.h"

int MouseModifierCode(bool ctrl, bool shift, bool alt) {
    return (ctrl ? 1 : 0) | (shift ? 2 : 0) | (alt ? 4 : 0);
}

int MouseHitArea(int x, int margin_width) {
    if (margin_width >= 9 && x < margin_width - 8)
        return QW_HIT_ICONS;
    if (x < margin_width)
        return QW_HIT_MARGIN;
    return QW_HIT_TEXT;
}

bool PastDragThreshold(int last_x, int last_y, int x, int y) {
    return x - last_x > 2 || last_x - x > 2 || y - last_y > 2 || last_y - y > 2;
}

int NextDragSelectionType(int type) {
    switch (type) {
    case QW_SEL_LINE:
        return QW_SEL_COLUMN;
    case QW_SEL_COLUMN:
        return QW_SEL_CHAR;
    default:
        return QW_SEL_LINE; // the character kinds, the mouse's own and the word kind
    }
}

PointPosition PointToPosition(const PointGeometry& g, int x, int y) {
    PointPosition p;
    const int cw = std::max(g.cell_w, 1), ch = std::max(g.cell_h, 1);
    if (y < 0 || g.line_count <= 0) {
        p.above = y < 0;
        p.line = 1;
        p.dcol = 1;
        if (y < 0)
            return p;
    } else {
        int64_t line = int64_t(g.top_line) + y / ch;
        p.line = uint32_t(std::clamp<int64_t>(line, 1, g.line_count));
    }
    int dx = x - g.margin;
    int64_t col;
    if (dx < 0) {
        col = -1;
    } else {
        col = dx / cw;
        // Rounded to the nearer column boundary, except in the last column.
        if (uint32_t(col) + 1 < g.visible_cols && dx % cw >= cw / 2)
            ++col;
    }
    p.dcol = uint32_t(std::max<int64_t>(col + int64_t(g.first_col) + 1, 1));
    return p;
}

bool InTextRect(const PointGeometry& g, uint32_t rows, int x, int y) {
    int right = g.margin + int(g.visible_cols) * g.cell_w - g.cell_w;
    return x >= g.margin && x <= right && y >= 0 && y < int(rows) * g.cell_h;
}

int AutoScrollRows(int y, uint32_t rows, int cell_h) {
    const int bottom = int(rows) * cell_h;
    if (y >= bottom)
        return y >= bottom + cell_h ? 3 : 1;
    if (y < 0)
        return y < -cell_h ? -3 : -1;
    return 0;
}

int AutoScrollColumns(const PointGeometry& g, int x) {
    if (x < g.margin)
        return x < g.margin - g.cell_w ? -3 : -1;
    int right = g.margin + int(g.visible_cols) * g.cell_w;
    if (x > right)
        return x > right + g.cell_w ? 3 : 1;
    return 0;
}

void DecodeDelimiters(const char* text, char* out, int size) {
    if (!out || size <= 0)
        return;
    if (!text || !*text)
        text = " ^I.";
    int n = 0;
    for (const char* p = text; *p && n < size - 1; ++p) {
        if (p[0] == '^' && p[1] && p[1] != '^') {
            out[n++] = char(toupper(static_cast<unsigned char>(p[1])) & 0x1F);
            ++p;
        } else if (p[0] == '^' && p[1] == '^') {
            out[n++] = '^';
            ++p;
        } else {
            out[n++] = *p;
        }
    }
    out[n] = 0;
}

bool IsWordCharWith(int ch, bool alnum, const char* delimiters) {
    if (ch < 0)
        return false;
    if (alnum)
        return isalnum(ch) || ch == '_';
    if (ch == ' ' || ch == '\t' || ch == 0)
        return false;
    char decoded[200];
    DecodeDelimiters(delimiters, decoded, int(sizeof decoded));
    return strchr(decoded, ch) == nullptr;
}

bool WordBoundsAt(const char* text, int len, int col, const char* delimiters, int* start,
                  int* end) {
    char decoded[200];
    DecodeDelimiters(delimiters, decoded, int(sizeof decoded));
    auto word = [&](int i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        return c != ' ' && c != '\t' && c != 0 && !strchr(decoded, c);
    };
    if (!text || col < 0 || col >= len || !word(col))
        return false;
    int a = col, b = col;
    while (a > 0 && word(a - 1))
        --a;
    while (b < len && word(b))
        ++b;
    *start = a;
    *end = b;
    return true;
}

int SnapToWord(const char* text, int len, int col, bool forward, const char* delimiters) {
    int a = 0, b = 0;
    int probe = forward && col > 0 ? col - 1 : col;
    if (!WordBoundsAt(text, len, probe, delimiters, &a, &b) &&
        !WordBoundsAt(text, len, col, delimiters, &a, &b))
        return col;
    return forward ? b : a;
}

int WordRightColumn(const char* text, int len, int col, const char* delimiters) {
    if (col >= len)
        return -1;
    char d[200];
    DecodeDelimiters(delimiters, d, int(sizeof d));
    auto word = [&](int i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        return c != ' ' && c != '\t' && c != 0 && !strchr(d, c);
    };
    int i = col;
    if (word(i))
        while (i < len && word(i))
            ++i;
    else
        ++i; // past a delimiter
    while (i < len && !word(i) && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    return i;
}

int WordLeftColumn(const char* text, int len, int col, const char* delimiters) {
    if (col <= 0)
        return -1;
    char d[200];
    DecodeDelimiters(delimiters, d, int(sizeof d));
    auto word = [&](int i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        return c != ' ' && c != '\t' && c != 0 && !strchr(d, c);
    };
    int i = std::min(col, len);
    if (col > len)
        return len; // past the end: to the end first
    while (i > 0 && (text[i - 1] == ' ' || text[i - 1] == '\t'))
        --i;
    if (i > 0 && word(i - 1))
        while (i > 0 && word(i - 1))
            --i;
    else if (i > 0)
        --i;
    return i;
}
