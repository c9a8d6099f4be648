// qw_comp4: the macro-program compiler's command line.
#include "tools/qw_comp4/qwc.h"

int main(int argc, char** argv) { return QwcMain(argc, argv); }
