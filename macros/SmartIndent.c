// Enter (433) and the open-line commands (431 above, 432 below) with smart
// indentation: a line that ends in "{" indents the next one a level deeper,
// and a "}" that starts the new line goes back a level. Without smart
// indentation in the style sheet, Enter is left to the view (result 0) and
// the open-line commands only copy the indentation.
#include "qw_natives.h"

const K_LineOpenAbove = 431;
const K_LineOpenBelow = 432;
const K_LineSplit = 433;

// Edit_Info
const I_LINE = 0;
const I_COLUMN = 1;
const I_AUTO_INDENT = 10;
const I_SMART = 11;

const LINE_SIZE = 4100;

int blank(int c)
{
    return c == ' ' || c == '\t';
}

// The last character before column `col` that is not blank, 0 when none.
int last_before(char *t, int col)
{
    while (col > 0 && blank(t[col - 1]))
        col--;
    if (col == 0)
        return 0;
    return t[col - 1];
}

// The first character from column `col` on that is not blank, 0 when none.
int first_from(char *t, int col, int n)
{
    while (col < n && blank(t[col]))
        col++;
    if (col >= n)
        return 0;
    return t[col];
}

// Splits the caret line with the style sheet's auto indentation, then
// deepens or reduces the new line's indentation by the braces around it.
int smart_split(int view)
{
    char t[LINE_SIZE];
    int line, col, n, opens, closes, l2, c2;
    line = Edit_Info(view, I_LINE);
    col = Edit_Info(view, I_COLUMN);
    n = Edit_GetLine(view, line, t, LINE_SIZE);
    if (n < 0)
        n = 0;
    if (col > n)
        col = n;
    opens = last_before(t, col) == '{';
    closes = first_from(t, col, n) == '}';
    if (!Edit_SplitLine(view, 0))
        return 0;
    if (opens) {
        Edit_Indent(view, 0);
        if (closes) {
            // "{" and "}" were together: the brace gets a line of its own
            // at the outer level, the caret stays on the deeper one.
            l2 = Edit_Info(view, I_LINE);
            c2 = Edit_Info(view, I_COLUMN);
            Edit_SplitLine(view, 0);
            Edit_SetCaret(view, l2, c2);
        }
    } else if (closes && Edit_Info(view, I_COLUMN) > 0) {
        Edit_Undent(view);
    }
    return 1;
}

// The leading blanks and tabs of line into ind.
void indentation(int view, int line, char *ind)
{
    char t[LINE_SIZE];
    int n, i;
    n = Edit_GetLine(view, line, t, LINE_SIZE);
    i = 0;
    while (i < n && blank(t[i])) {
        ind[i] = t[i];
        i++;
    }
    ind[i] = 0;
}

int main(int id, int arg, int view, int rec, int *result)
{
    char t[LINE_SIZE];
    char ind[LINE_SIZE];
    int smart, line, n, done;
    *result = 0;
    smart = Edit_Info(view, I_SMART) == 1;
    if (id == K_LineSplit) {
        if (!smart)
            return 0;
        Edit_Group(view, id);
        done = smart_split(view);
        Edit_Group(view, 0);
        *result = done;
        return 0;
    }
    line = Edit_Info(view, I_LINE);
    if (line < 1)
        return 0;
    Edit_Group(view, id);
    if (id == K_LineOpenBelow) {
        n = Edit_GetLine(view, line, t, LINE_SIZE);
        if (n < 0)
            n = 0;
        Edit_SetCaret(view, line, n);
        if (smart)
            done = smart_split(view);
        else
            done = Edit_SplitLine(view, 0);
    } else if (id == K_LineOpenAbove) {
        // The new line takes the indentation of the line it opens above.
        indentation(view, line, ind);
        done = Edit_OpenLine(view, 0);
        if (done && Edit_Info(view, I_AUTO_INDENT) == 1 && ind[0])
            Edit_Replace(view, line, 0, 0, ind);
    } else {
        done = 0;
    }
    Edit_Group(view, 0);
    *result = done > 0;
    return 0;
}
