// Undo (450) and redo (451): one group of the undo log, or of the redo log,
// replayed by the edit view.
#include "qw_natives.h"

const K_Undo = 450;
const K_Redo = 451;

int main(int id, int arg, int view, int rec, int *result)
{
    int done;
    if (id == K_Redo) {
        done = Edit_Undo(view, 1);
        if (done == 0)
            MsgText(4, "Nothing to redo");
    } else {
        done = Edit_Undo(view, 0);
        if (done == 0)
            MsgText(4, "Nothing to undo");
    }
    *result = done > 0;
    return 0;
}
