// Start-up program: runs once the editor's services are up. Start-up goes
// on only when this program leaves 1 in its result word.
#include "qw_natives.h"

int main(int id, int arg, int view, int rec, int *result)
{
    // The keyboard: "Key_Translate" reads the definition and binds its keys.
    // A keyboard that cannot be read is reported there and does not stop
    // start-up.
    KeyboardOpen(2);
    *result = 1;
    return 0;
}
