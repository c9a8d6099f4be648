// Paragraph reformat: the lines around the caret up to the blank lines
// before and after it are refilled with their words, at most the right
// margin wide (552, and typing past the margin with word wrap on) or as wide
// as the columns left of the caret (553). The first line keeps its
// indentation, the others take the second line's. The caret stays with the
// text it stood in.
#include "qw_natives.h"

const K_ParaReformat = 552;
const K_ParaReformatClm = 553;

// Edit_Info
const I_LINE = 0;
const I_COLUMN = 1;
const I_DISPLAY_COLUMN = 2;
const I_LINE_COUNT = 3;
const I_TAB_WIDTH = 7;
const I_RIGHT_MARGIN = 8;

const LINE_SIZE = 4100;
const LINE_MAX = 4090;

int blank(int c)
{
    return c == ' ' || c == '\t';
}

int blank_line(int view, int l)
{
    char t[LINE_SIZE];
    int n, i;
    n = Edit_GetLine(view, l, t, LINE_SIZE);
    for (i = 0; i < n; i++)
        if (!blank(t[i]))
            return 0;
    return 1;
}

// The leading blanks of line l into ind; their display width.
int indentation(int view, int l, char *ind, int tab)
{
    char t[LINE_SIZE];
    int n, i, w;
    n = Edit_GetLine(view, l, t, LINE_SIZE);
    i = 0;
    w = 0;
    while (i < n && blank(t[i])) {
        if (t[i] == '\t')
            w = w + tab - w % tab;
        else
            w++;
        ind[i] = t[i];
        i++;
    }
    ind[i] = 0;
    return w;
}

int main(int id, int arg, int view, int rec, int *result)
{
    char t[LINE_SIZE];
    char cur[LINE_SIZE];
    char ind1[LINE_SIZE];
    char ind2[LINE_SIZE];
    int width, tab, line, col, count, first, last, lines, made;
    int w1, w2, used, len, words, n, i, j, wl, k, seen, blank_before;
    int cline, ccol, l;
    *result = 0;
    line = Edit_Info(view, I_LINE);
    col = Edit_Info(view, I_COLUMN);
    count = Edit_Info(view, I_LINE_COUNT);
    if (line < 1 || line > count || blank_line(view, line))
        return 0;
    if (id == K_ParaReformatClm)
        width = Edit_Info(view, I_DISPLAY_COLUMN) - 1;
    else
        width = Edit_Info(view, I_RIGHT_MARGIN);
    if (width > LINE_MAX)
        width = LINE_MAX;
    if (width < 1)
        return 0;
    tab = Edit_Info(view, I_TAB_WIDTH);
    if (tab < 1)
        tab = 8;
    first = line;
    while (first > 1 && !blank_line(view, first - 1))
        first--;
    last = line;
    while (last < count && !blank_line(view, last + 1))
        last++;
    lines = last - first + 1;
    w1 = indentation(view, first, ind1, tab);
    if (lines > 1)
        w2 = indentation(view, first + 1, ind2, tab);
    else
        w2 = indentation(view, first, ind2, tab);

    // Where the caret stands: after `seen` characters of the words before it.
    seen = 0;
    blank_before = 0;
    for (l = first; l <= line; l++) {
        n = Edit_GetLine(view, l, t, LINE_SIZE);
        if (l == line && col < n)
            n = col;
        for (i = 0; i < n; i++)
            if (!blank(t[i]))
                seen++;
        if (l == line)
            blank_before = col > 0 && col <= n && blank(t[col - 1]);
    }
    cline = -1;
    ccol = 0;

    // Typing past the margin reformats as 552 does, in a group of its own.
    if (id == K_ParaReformatClm)
        Edit_Group(view, id);
    else
        Edit_Group(view, K_ParaReformat);
    // New lines go in above the old ones, which move down as they are read.
    made = 0;
    StrCopy(cur, ind1, LINE_SIZE);
    len = StrLen(cur);
    used = w1;
    words = 0;
    for (l = 0; l < lines; l++) {
        n = Edit_GetLine(view, first + made + l, t, LINE_SIZE);
        i = 0;
        while (i < n) {
            while (i < n && blank(t[i]))
                i++;
            if (i >= n)
                break;
            wl = 0;
            while (i + wl < n && !blank(t[i + wl]))
                wl++;
            if (words > 0 && (used + 1 + wl > width || len + 1 + wl > LINE_MAX)) {
                cur[len] = 0;
                Edit_InsertLine(view, first + made, cur);
                made++;
                StrCopy(cur, ind2, LINE_SIZE);
                len = StrLen(cur);
                used = w2;
                words = 0;
            }
            if (words > 0) {
                cur[len++] = ' ';
                used++;
            }
            // The caret's place in this word (or right after it).
            if (cline < 0 && seen <= wl) {
                cline = first + made;
                ccol = len + seen;
                if (seen == wl && blank_before)
                    ccol++;
            }
            seen = seen - wl;
            for (j = 0; j < wl && len < LINE_MAX; j++)
                cur[len++] = t[i + j];
            used = used + wl;
            words++;
            i = i + wl;
        }
    }
    if (words > 0) {
        cur[len] = 0;
        Edit_InsertLine(view, first + made, cur);
        made++;
    }
    Edit_DeleteLines(view, first + made, lines);
    if (cline < 0) {
        cline = first + made - 1;
        ccol = len;
    }
    Edit_SetCaret(view, cline, ccol);
    Edit_Group(view, 0);
    *result = 1;
    return 0;
}
