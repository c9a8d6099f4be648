// Templates: the word before the caret, when the view's language has a
// template of that name, becomes the template's expansion. Runs for Space
// with template editing on (the Space is consumed when a template was
// expanded) and for 546. In an expansion "\n" starts a new line, which gets
// the indentation of the line the template was typed on; the caret goes
// between the first "()" of the expansion, else to its end.
#include "qw_natives.h"

const K_TemplateComplete = 546;

// Edit_Info
const I_LINE = 0;
const I_COLUMN = 1;

const LINE_SIZE = 4100;
const OUT_SIZE = 8200;
const NAME_SIZE = 64;

int blank(int c)
{
    return c == ' ' || c == '\t';
}

int main(int id, int arg, int view, int rec, int *result)
{
    char t[LINE_SIZE];
    char name[NAME_SIZE];
    char exp[LINE_SIZE];
    char out[OUT_SIZE];
    int line, col, n, start, i, o, k, ind, target, tline, tcol, c;
    *result = 0;
    if (id != ' ' && id != K_TemplateComplete)
        return 0;
    line = Edit_Info(view, I_LINE);
    col = Edit_Info(view, I_COLUMN);
    n = Edit_GetLine(view, line, t, LINE_SIZE);
    if (n < 0 || col > n)
        return 0;
    start = col;
    while (start > 0 && !blank(t[start - 1]))
        start--;
    if (start == col || col - start >= NAME_SIZE)
        return 0;
    for (i = start; i < col; i++)
        name[i - start] = t[i];
    name[col - start] = 0;
    if (Edit_FindTemplate(view, name, exp, LINE_SIZE) < 0)
        return 0;
    ind = 0;
    while (ind < start && blank(t[ind]))
        ind++;
    // The expansion with its line breaks and indentation; where the caret goes.
    o = 0;
    target = -1;
    tline = line;
    tcol = start;
    for (i = 0; exp[i] && o < OUT_SIZE - ind - 3; i++) {
        c = exp[i];
        if (c == '\\' && exp[i + 1] == 'n') {
            i++;
            out[o++] = '\r';
            out[o++] = '\n';
            for (k = 0; k < ind; k++)
                out[o++] = t[k];
            if (target < 0) {
                tline++;
                tcol = ind;
            }
            continue;
        }
        if (c == '\\' && exp[i + 1] == 't') {
            i++;
            c = '\t';
        } else if (c == '\\' && exp[i + 1] == '\\') {
            i++;
        }
        if (target < 0 && c == '(' && exp[i + 1] == ')') {
            target = o + 1;
            tcol++;
        }
        out[o++] = c;
        if (target < 0)
            tcol++;
    }
    out[o] = 0;
    Edit_Group(view, K_TemplateComplete);
    if (Edit_Replace(view, line, start, col, "") && Edit_Insert(view, out, 0)) {
        if (target >= 0)
            Edit_SetCaret(view, tline, tcol);
        *result = 1;
    }
    Edit_Group(view, 0);
    return 0;
}
