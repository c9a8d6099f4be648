// Drawing the text bar: font, pens, one row's numbers and marks, the
// raised edge and the right-margin line.
#include <cstdio>

#include "editor/colortable.h"
#include "editor/textbar.h"
#include "editor/textview.h"
#include "opsys/msgout.h"

namespace {
HFONT g_bar_font = nullptr;
HPEN g_pens[3] = {}; // face, highlight, shadow
} // namespace

HFONT TextBarFont(int op) {
    if (op == 0) {
        if (g_bar_font)
            DeleteObject(g_bar_font);
        g_bar_font = nullptr;
        return nullptr;
    }
    if (op == 1 && g_bar_font) {
        DeleteObject(g_bar_font);
        g_bar_font = nullptr;
    }
    if (!g_bar_font) {
        LOGFONTA lf{};
        lf.lfHeight = EditorCellHeight() ? EditorCellHeight() : 16;
        lf.lfCharSet = SYMBOL_CHARSET;
        lf.lfPitchAndFamily = VARIABLE_PITCH;
        lstrcpyA(lf.lfFaceName, "Wingdings");
        g_bar_font = CreateFontIndirectA(&lf);
        if (!g_bar_font)
            MsgOut(32, "TextBarFont() failed to create font: %s, lfHeight: %d", lf.lfFaceName,
                   int(lf.lfHeight));
    }
    return g_bar_font;
}

void TextBarResources(bool make) {
    for (HPEN& p : g_pens)
        if (p) {
            DeleteObject(p);
            p = nullptr;
        }
    if (!make) {
        TextBarFont(0);
        return;
    }
    g_pens[0] = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DFACE));
    g_pens[1] = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DHILIGHT));
    g_pens[2] = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DSHADOW));
}

void DrawTextBarEdge(HDC dc, int x, int top, int bottom, int mode) {
    if (!g_pens[0])
        TextBarResources(true);
    HGDIOBJ old = SelectObject(dc, g_pens[mode == 0 ? 1 : 0]);
    if (mode == 0) {
        // Three lines: highlight, face, shadow.
        for (int i = 0; i < 3; ++i) {
            SelectObject(dc, g_pens[i == 0 ? 1 : i == 1 ? 0 : 2]);
            MoveToEx(dc, x + i, top, nullptr);
            LineTo(dc, x + i, bottom);
        }
    } else {
        MoveToEx(dc, x, top, nullptr);
        LineTo(dc, x, bottom);
    }
    SelectObject(dc, old);
}

void DrawTextBarRow(HDC dc, const RECT& row, const TextBarLayoutInfo& L, uint32_t flags,
                    int line, int line_flags, int bookmark, bool focus, int cell_w) {
    if (!dc || L.width <= 0)
        return;
    const QwWindowColours wc = ViewWindowColours();
    RECT bar{row.left, row.top, row.left + L.width - 8, row.bottom};
    uint32_t text = 0;
    HBRUSH back = CreateSolidBrush(ColourOfKind(QW_KIND_FILL, wc, &text));
    FillRect(dc, &bar, back);
    DeleteObject(back);
    if (!(flags & QW_TB_SHOWN))
        return;
    const int edge = row.left + L.width - 11;
    RECT area{row.left, row.top, edge, row.bottom};
    uint32_t ink = 0;
    uint32_t fill = ColourOfKind(focus ? QW_KIND_TEXTBAR_CARET : QW_KIND_TEXTBAR, wc, &ink);
    HBRUSH b = CreateSolidBrush(fill);
    FillRect(dc, &area, b);
    DeleteObject(b);
    DrawTextBarEdge(dc, edge, row.top, row.bottom, 0);
    if (line < 0)
        return;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ink);
    if ((flags & QW_TB_NUMBERS) && line > 0) {
        char num[16];
        int n = snprintf(num, sizeof num, "%d", line);
        RECT r{row.left + L.pos[0], row.top, row.left + L.pos[1], row.bottom};
        HGDIOBJ old = SelectObject(dc, GetEditorFont() ? static_cast<HGDIOBJ>(GetEditorFont())
                                                       : GetStockObject(ANSI_FIXED_FONT));
        DrawTextA(dc, num, n, &r, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, old);
    }
    unsigned char marks[5];
    TextBarMarks(flags, line_flags, bookmark, marks);
    HFONT f = TextBarFont(-1);
    if (!f)
        return; // the layout still keeps the room
    HGDIOBJ old = SelectObject(dc, f);
    const int xs[5] = {L.pos[2], L.pos[3], L.pos[4], L.pos[5], L.pos[5] + cell_w};
    for (int i = 0; i < 5; ++i)
        if (marks[i]) {
            char c = static_cast<char>(marks[i]);
            TextOutA(dc, row.left + xs[i], row.top, &c, 1);
        }
    SelectObject(dc, old);
}
