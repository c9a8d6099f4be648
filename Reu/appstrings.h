#pragma once
// Program strings into buffers: a string-table text of several lines, its
// lines separated by CR, appended as lines of a buffer (lists and short help
// texts are filled this way).
#include "VmEngine/vm.h"

// Loads string `id` (at most 1023 characters), splits it at each CR (an LF
// right after a CR belongs to that line break; a CR at the very end adds no
// empty line) and appends each part, cut to 99 characters, as a line at the
// end of `buffer`. 1 on success. 0 when the buffer is not open, when the
// string is missing (LoadAppString reports that) or when a line cannot be
// appended; in that last case the lines appended so far are removed again,
// so the buffer is left as it was.
int LoadAppStringLines(VMB* buffer, unsigned id);
