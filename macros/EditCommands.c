// Small editing commands: the case of the word at the caret (446) or of the
// selection (462), swapping the two characters before the caret (447), and
// one level of indentation off (463) or on (464) for the selected lines (the
// caret line without a selection). Text that has a lower-case letter goes
// to upper case, other text to lower case.
#include "qw_natives.h"

const K_WordCaseChange = 446;
const K_CharTranspose = 447;
const K_SelectionCaseChange = 462;
const K_SelectionUndent = 463;
const K_SelectionIndent = 464;

// Edit_Info
const I_LINE = 0;
const I_COLUMN = 1;
const I_INDENT_WIDTH = 6;

// Edit_Selection
const S_CODE = 0;
const S_TYPE = 1;
const S_START_LINE = 3;
const S_START_COLUMN = 4;
const S_END_LINE = 5;
const S_END_COLUMN = 6;
const S_START_DCOL = 7;
const S_END_DCOL = 8;

const SEL_VALID = 0;
const SEL_COLUMN = 2;
const END_OF_LINE = -3;

const LINE_SIZE = 4100;

int word_char(int c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c >= 128;
}

int has_lower(char *t, int from, int to)
{
    while (from < to) {
        if (t[from] >= 'a' && t[from] <= 'z')
            return 1;
        from++;
    }
    return 0;
}

// Columns [from, to) of t, upper-cased or lower-cased, into out.
void recase(char *t, int from, int to, int upper, char *out)
{
    int i, c;
    i = 0;
    while (from < to) {
        c = t[from];
        if (upper && c >= 'a' && c <= 'z')
            c = c - 32;
        else if (!upper && c >= 'A' && c <= 'Z')
            c = c + 32;
        out[i] = c;
        i++;
        from++;
    }
    out[i] = 0;
}

int word_case(int view)
{
    char t[LINE_SIZE];
    char out[LINE_SIZE];
    int line, col, n, a, z;
    line = Edit_Info(view, I_LINE);
    col = Edit_Info(view, I_COLUMN);
    n = Edit_GetLine(view, line, t, LINE_SIZE);
    if (n <= 0 || col > n)
        return 0;
    a = col;
    // Right after a word counts as on it.
    if (a == n || !word_char(t[a]))
        a--;
    if (a < 0 || !word_char(t[a]))
        return 0;
    while (a > 0 && word_char(t[a - 1]))
        a--;
    z = a;
    while (z < n && word_char(t[z]))
        z++;
    recase(t, a, z, has_lower(t, a, z), out);
    if (!Edit_Replace(view, line, a, z, out))
        return 0;
    Edit_SetCaret(view, line, col);
    return 1;
}

int transpose(int view)
{
    char t[LINE_SIZE];
    char out[3];
    int line, col, n;
    line = Edit_Info(view, I_LINE);
    col = Edit_Info(view, I_COLUMN);
    n = Edit_GetLine(view, line, t, LINE_SIZE);
    if (col < 2 || col > n)
        return 0;
    out[0] = t[col - 1];
    out[1] = t[col - 2];
    out[2] = 0;
    return Edit_Replace(view, line, col - 2, col, out);
}

// The selection as it stood before the command changed anything: the
// edits move its marks.
int sel_type;
int sel_start_line;
int sel_start_column;
int sel_end_line;
int sel_end_column;
int sel_start_dcol;
int sel_end_dcol;

void read_selection(int view)
{
    sel_type = Edit_Selection(view, S_TYPE);
    sel_start_line = Edit_Selection(view, S_START_LINE);
    sel_start_column = Edit_Selection(view, S_START_COLUMN);
    sel_end_line = Edit_Selection(view, S_END_LINE);
    sel_end_column = Edit_Selection(view, S_END_COLUMN);
    sel_start_dcol = Edit_Selection(view, S_START_DCOL);
    sel_end_dcol = Edit_Selection(view, S_END_DCOL);
}

// The selected columns [*from, *to) of line l (text t of n characters).
void range_of(int view, int l, char *t, int n, int *from, int *to)
{
    if (sel_type == SEL_COLUMN) {
        *from = Edit_ColumnAt(view, l, sel_start_dcol);
        *to = Edit_ColumnAt(view, l, sel_end_dcol);
    } else {
        *from = 0;
        *to = n;
        if (l == sel_start_line)
            *from = sel_start_column;
        if (l == sel_end_line && sel_end_column != END_OF_LINE)
            *to = sel_end_column;
    }
    if (*from > n)
        *from = n;
    if (*to > n)
        *to = n;
}

int selection_case(int view)
{
    char t[LINE_SIZE];
    char out[LINE_SIZE];
    int l, first, last, n, from, to, upper, line, col;
    if (Edit_Selection(view, S_CODE) != SEL_VALID)
        return 0;
    read_selection(view);
    first = sel_start_line;
    last = sel_end_line;
    line = Edit_Info(view, I_LINE);
    col = Edit_Info(view, I_COLUMN);
    // One direction for the whole selection.
    upper = 0;
    for (l = first; l <= last && !upper; l++) {
        n = Edit_GetLine(view, l, t, LINE_SIZE);
        if (n < 0)
            break;
        range_of(view, l, t, n, &from, &to);
        upper = has_lower(t, from, to);
    }
    for (l = first; l <= last; l++) {
        n = Edit_GetLine(view, l, t, LINE_SIZE);
        if (n < 0)
            break;
        range_of(view, l, t, n, &from, &to);
        if (to > from) {
            recase(t, from, to, upper, out);
            if (!Edit_Replace(view, l, from, to, out))
                return 0;
        }
    }
    Edit_SetCaret(view, line, col);
    return 1;
}

// One level of indentation on (deeper 1) or off (deeper 0) for the lines
// of the selection; a selection that ends at a line's start leaves that
// line alone.
int shift_lines(int view, int deeper)
{
    char t[LINE_SIZE];
    char blanks[124];
    int l, first, last, n, w, k, line, col, moved;
    line = Edit_Info(view, I_LINE);
    col = Edit_Info(view, I_COLUMN);
    first = line;
    last = line;
    if (Edit_Selection(view, S_CODE) == SEL_VALID) {
        first = Edit_Selection(view, S_START_LINE);
        last = Edit_Selection(view, S_END_LINE);
        if (last > first && Edit_Selection(view, S_END_COLUMN) == 0 &&
            Edit_Selection(view, S_TYPE) != SEL_COLUMN)
            last--;
    }
    w = Edit_Info(view, I_INDENT_WIDTH);
    if (w < 1 || w > 120)
        w = 8;
    for (k = 0; k < w; k++)
        blanks[k] = ' ';
    blanks[w] = 0;
    moved = 0;
    for (l = first; l <= last; l++) {
        n = Edit_GetLine(view, l, t, LINE_SIZE);
        if (n <= 0)
            continue;
        if (deeper) {
            if (!Edit_Replace(view, l, 0, 0, blanks))
                return 0;
            k = -w;
        } else {
            k = 0;
            if (t[0] == '\t')
                k = 1;
            else
                while (k < w && k < n && t[k] == ' ')
                    k++;
            if (k == 0)
                continue;
            if (!Edit_Replace(view, l, 0, k, ""))
                return 0;
        }
        if (l == line)
            moved = k;
    }
    col = col - moved;
    if (col < 0)
        col = 0;
    Edit_SetCaret(view, line, col);
    return 1;
}

int main(int id, int arg, int view, int rec, int *result)
{
    int done;
    *result = 0;
    if (Edit_Info(view, I_LINE) < 1)
        return 0;
    Edit_Group(view, id);
    if (id == K_WordCaseChange)
        done = word_case(view);
    else if (id == K_CharTranspose)
        done = transpose(view);
    else if (id == K_SelectionCaseChange)
        done = selection_case(view);
    else if (id == K_SelectionUndent)
        done = shift_lines(view, 0);
    else if (id == K_SelectionIndent)
        done = shift_lines(view, 1);
    else
        done = 0;
    Edit_Group(view, 0);
    *result = done;
    return 0;
}
