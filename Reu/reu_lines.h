#pragma once
// Small helpers over buffer lines shared by the lists and the data table.
#include <string>
#include <string_view>

#include "VmEngine/vm.h"

// The whole text of a line, however long; false (and "") when it is missing.
bool ReuReadLine(VMB* buffer, int line, std::string& out);

// Replaces a line's text and marks the buffer modified, also when the line
// was empty before (the engine does not mark that case by itself).
int ReuWriteLine(VMB* buffer, int line, const std::string& text);

// Decimal text as atoi reads it (leading blanks, a sign, digits), but clamped
// to the int range instead of overflowing.
int ReuParseInt(std::string_view text);

// Ordering of two texts ignoring case: <0, 0, >0.
int ReuCompareNoCase(std::string_view a, std::string_view b);
