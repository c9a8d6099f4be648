// A click in the icon strip of the left margin: the left button (680)
// toggles the caret line's bookmark, the right button (684) goes to the
// next one.
#include "qw_natives.h"

int main(int id, int arg, int view, int rec, int *result)
{
    if (id == 680)
        *result = View_Call(view, 2, 522, 0) > 0;
    else if (id == 684)
        *result = View_Call(view, 2, 523, 0) > 0;
    else
        *result = 0;
    return 0;
}
