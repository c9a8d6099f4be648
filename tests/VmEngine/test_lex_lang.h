#pragma once
// A small language table for the lexical-scan tests and the benchmark,
// served through the engine's language interface exactly as the real
// specifications are.
#include "VmEngine/lexlang.h"

namespace lextest {

enum : int {
    kLangC = 0,       // "//" line comments, "/*" "*/" blocks that do not nest
    kLangNested = 1,  // "//" line comments, "(*" "*)" blocks that nest
    kLangRuby = 2,    // kind 30: states are dropped on every edit
};

// Installs the table (and forgets every buffer's language).
void Install();
// Removes it again.
void Uninstall();
// The language of a buffer (-1: none) and its tab size (0: none).
void SetBufferLanguage(VMB* buffer, int lang, int tab = 0);

} // namespace lextest
