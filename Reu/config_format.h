#pragma once
// The text form of the configuration and history files: plain lines with
// CR LF breaks; each list is a section that starts with a header line
//
//   "%%V4BUFFER " <buffer name> TAB <reference line in decimal>
//
// followed by the list's lines. An older header, "%%BUFFER " + one code
// character + the reference line in decimal, is still read (the code picks
// the buffer name; a few codes mark sections that are no longer loaded).
//
// A stored line that itself begins with "%%" is written with one more "%"
// in front, so that no entry can ever read back as a header; reading takes
// that "%" off again. Headers never begin with "%%%".
#include <string>
#include <string_view>
#include <vector>

extern const char kConfigHeaderV4[];   // "%%V4BUFFER "
extern const char kConfigHeaderOld[];  // "%%BUFFER "

enum ConfigLineKind {
    kConfigLineData = 0,      // an ordinary stored line
    kConfigLineSection = 1,   // a header: name and reference line are set
    kConfigLineSkipped = 2,   // an old header of a section that is not loaded
    kConfigLineDamaged = 3,   // looks like a header but cannot be used
};

// The header line of a section, without its line break.
std::string ConfigHeaderLine(std::string_view name, int reference_line);

// Classifies one line (without its line break).
ConfigLineKind ConfigParseLine(std::string_view line, std::string& name, int& reference_line);

// A list line as written to the file, and back.
std::string ConfigEscapeLine(std::string_view line);
std::string_view ConfigUnescapeLine(std::string_view line);

// Splits file contents into lines: LF ends a line; a CR before LF or at the
// end of the file is dropped; any other CR stays in the text. A final line
// without a break still counts; an empty text has no lines.
std::vector<std::string_view> ConfigSplitLines(std::string_view text);
