// Scrolls the caret line to the top, the centre or the bottom of the window
// (commands 403, 404 and 405).
#include "qw_natives.h"

int main(int id, int arg, int view, int rec, int *result)
{
    int where;
    where = id - 403;
    if (where < 0 || where > 2) {
        *result = 0;
        return 0;
    }
    *result = View_Call(view, 1, where, 0) > 0;
    return 0;
}
