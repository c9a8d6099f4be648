// The right button on a selection: a menu of what can be done with it.
#include "qw_natives.h"

int main(int id, int arg, int view, int rec, int *result)
{
    int cmd;
    *result = 0;
    if (!view)
        return 0;
    cmd = View_PopupMenu(view, "Cu&t\t456\n&Copy\t455\n&Paste\t457\n-\n&Indent\t464\n&Outdent\t463\nC&hange Case\t462\n-\nFind &Next\t479\nFind Pre&vious\t481");
    if (cmd > 0)
        *result = View_Command(view, cmd) > 0;
    return 0;
}
