#pragma once
// Reading a place out of a line of text: the lines that compilers, tools
// and searches write into the output pane name a file and a line
// ("file.c(12): error ...", "src/a.c:12:5: warning ...", "C:\x\b.h(7,3) :
// ..."), and a line of source may name a file to open (#include "x.h").
// Portable; the views use it to go to what a line names.
#include <string>

struct ResultRef {
    std::string path;  // as written in the line (trimmed)
    int line = 0;      // 1-based
    int column = -1;   // 1-based, -1 when the line names none
};

// The first "path(line[,col])" or "path:line[:col]" of the text; false
// when the text names no such place. A path is never empty and holds no
// character that file names cannot hold.
bool ParseResultRef(const char* text, int length, ResultRef* out);

// The name between the quotes or angle brackets of an #include line, or
// else the run of file-name characters around column `col` (0-based) that
// holds a dot or a path separator. Empty when there is none.
std::string FileNameAt(const char* text, int length, int col);
