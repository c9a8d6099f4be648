// A start-up program that refuses: start-up must end when it does not leave 1.
#include "qw_natives.h"

int main(int id, int arg, int view, int rec, int *result)
{
    *result = 0;
    return 0;
}
