// Matching brace (508): from a bracket at the caret, or right before it, to
// the bracket that pairs with it — ( ), [ ], { } — counting the nesting of
// that kind only, across lines. Brackets inside strings and comments count
// too: the program does not know the document's language.
#include "qw_natives.h"

const K_MatchPair = 508;

// Edit_Info
const I_LINE = 0;
const I_COLUMN = 1;
const I_LINE_COUNT = 3;

const LINE_SIZE = 4100;
// A search gives up after this many lines rather than walk a huge file.
const MAX_LINES = 200000;

int match_line;
int match_column;

// The partner of a bracket, 0 for anything else; *forward is set to 1 for
// an opening one.
int partner(int c, int *forward)
{
    *forward = 1;
    if (c == '(')
        return ')';
    if (c == '[')
        return ']';
    if (c == '{')
        return '}';
    *forward = 0;
    if (c == ')')
        return '(';
    if (c == ']')
        return '[';
    if (c == '}')
        return '{';
    return 0;
}

// Looks for the partner of the bracket `c` at (line, col); 1 when found, in
// match_line and match_column.
int find_match(int view, int line, int col, int c)
{
    char t[LINE_SIZE];
    int other, forward, step, depth, n, k, last, walked;
    other = partner(c, &forward);
    step = 1;
    if (!forward)
        step = -1;
    last = Edit_Info(view, I_LINE_COUNT);
    depth = 0;
    n = Edit_GetLine(view, line, t, LINE_SIZE);
    k = col;
    for (walked = 0; walked < MAX_LINES; walked++) {
        while (k >= 0 && k < n) {
            if (t[k] == c)
                depth++;
            else if (t[k] == other) {
                depth--;
                if (depth == 0) {
                    match_line = line;
                    match_column = k;
                    return 1;
                }
            }
            k = k + step;
        }
        line = line + step;
        if (line < 1 || line > last)
            return 0;
        n = Edit_GetLine(view, line, t, LINE_SIZE);
        if (n < 0)
            return 0;
        k = 0;
        if (!forward)
            k = n - 1;
    }
    return 0;
}

int match_pair(int view)
{
    char t[LINE_SIZE];
    int line, col, n, forward, at;
    line = Edit_Info(view, I_LINE);
    col = Edit_Info(view, I_COLUMN);
    n = Edit_GetLine(view, line, t, LINE_SIZE);
    if (n < 0)
        return 0;
    at = -1;
    if (col < n && partner(t[col], &forward))
        at = col;
    else if (col > 0 && col <= n && partner(t[col - 1], &forward))
        at = col - 1;
    if (at < 0) {
        MsgText(4, "No bracket at the cursor%b");
        return 0;
    }
    if (!find_match(view, line, at, t[at])) {
        MsgText(4, "No matching bracket%b");
        return 0;
    }
    Edit_SetCaret(view, match_line, match_column);
    return 1;
}

int main(int id, int arg, int view, int rec, int *result)
{
    *result = 0;
    if (id != K_MatchPair || Edit_Info(view, I_LINE) < 1)
        return 0;
    *result = match_pair(view);
    return 0;
}
