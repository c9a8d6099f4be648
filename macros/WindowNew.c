// The right button with Ctrl, Shift or Alt when nothing is bound to it:
// another window on the document (K_WindowNew).
#include "qw_natives.h"

int main(int id, int arg, int view, int rec, int *result)
{
    *result = 0;
    if (view)
        *result = View_Command(view, 363) > 0;
    return 0;
}
