#pragma once
// A C language for the view's lexer tests (kept apart from <windows.h>,
// whose names clash with the dictionary header's).
#include <string>

struct VmLangSource;

// Writes the C dictionary into the configuration folder and loads it; the
// language index, -1 on failure.
int LoadTestCLanguage(const std::string& config_folder);
// The engine's language table over that language (the document layer
// installs the real one).
const VmLangSource* TestLangSource();
// The same outside the tests' fixture (the benchmark): the folder becomes
// the configuration and master folder. The language index, -1 on failure.
int LoadStandaloneCLanguage(const std::string& folder);
