// Runs when the keyboard definition is to be read again (the file was
// saved, or a command asked for it): reads it through "Key_Translate".
#include "qw_natives.h"

int main(int a, int b, int c, int rec, int *result)
{
    *result = KeyboardOpen(3) >= 0;
    return 0;
}
