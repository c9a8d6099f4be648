// Looks up what is named at the cursor and goes to it: a "file(line)" or
// "file:line" reference on the caret line, an #include name, or a file name
// under the caret (K_BrowseAndLocate, and the right button in a view
// without a selection). From the status bar there is no view: the current
// one is used.
#include "qw_natives.h"

int main(int id, int arg, int view, int rec, int *result)
{
    if (!view)
        view = View_Current();
    if (!view) {
        *result = 0;
        return 0;
    }
    *result = View_Locate(view) > 0;
    return 0;
}
