// Walks the messages of a build or a tool in the Build and Debug lists: a
// double click (682) or the right button (684) on a message goes to the
// file and line it names ("file(line)", "file(line,col)", "file:line" and
// "file:line:col"); Next and Previous Error (627, 628) go to the next and
// previous one. Other commands are not answered here.
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
