// Walks the results of Find in Files and Replace in Files: a double click
// (682) or the right button (684) on a result goes to the file and line it
// names; Next and Previous Error (627, 628) go to the next and previous one.
#include "qw_natives.h"

int main(int id, int arg, int view, int rec, int *result)
{
    *result = 0;
    if (!view)
        return 0;
    if (id == 682 || id == 684)
        *result = View_GoToResult(view, 0) > 0;
    else if (id == 627)
        *result = View_StepResult(view, 1) > 0;
    else if (id == 628)
        *result = View_StepResult(view, -1) > 0;
    return 0;
}
