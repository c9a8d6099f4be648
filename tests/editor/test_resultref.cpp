// Tests the reading of places out of lines: the forms that compilers, tools
// and searches write, lines that only look like references, and file names
// at a column.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "editor/resultref.h"

namespace {

struct RefCase {
    const char* text;
    bool found;
    const char* path;
    int line, column;
};

TEST(ResultRef, FormsOfCompilersAndSearches) {
    const RefCase cases[] = {
        {"a.c(12): error C2065: 'x': undeclared", true, "a.c", 12, -1},
        {"C:\\src\\b.h(7,3) : warning C4100", true, "C:\\src\\b.h", 7, 3},
        {"  2>C:\\src\\c.cpp(40): note: see", true, "C:\\src\\c.cpp", 40, -1},
        {"src/a.c:12:5: warning: unused variable 'y'", true, "src/a.c", 12, 5},
        {"C:\\x\\d.c:9: int z;", true, "C:\\x\\d.c", 9, -1},
        {"C:/x/e.c:3", true, "C:/x/e.c", 3, -1},
        {"My Documents\\f.txt(2): found here", true, "My Documents\\f.txt", 2, -1},
        {"g.c:10: call to h(3)", true, "g.c", 10, -1},
        {"In file included from k.c:4:", true, "In file included from k.c", 4, -1},
        {"Makefile:12: *** missing separator", true, "Makefile", 12, -1},
        // Not places: no number, a zero, a message before the parenthesis,
        // characters no file name holds, a time of day, an empty path.
        {"Searching for 'x'...", false, "", 0, 0},
        {"a.c(0): nothing", false, "", 0, 0},
        {"warning: unused variable (12)", false, "", 0, 0},
        {"<stdin>(3): here", false, "", 0, 0},
        {"Build started at 12:30", false, "", 0, 0},
        {"(12): no file", false, "", 0, 0},
        {"a.c(1234567890): too long", false, "", 0, 0},
        {"a.c:12x", false, "", 0, 0},
        {"", false, "", 0, 0},
    };
    for (const RefCase& c : cases) {
        ResultRef r;
        bool got = ParseResultRef(c.text, int(std::strlen(c.text)), &r);
        EXPECT_EQ(c.found, got) << c.text;
        if (!got || !c.found)
            continue;
        EXPECT_EQ(c.path, r.path) << c.text;
        EXPECT_EQ(c.line, r.line) << c.text;
        EXPECT_EQ(c.column, r.column) << c.text;
    }
    // Only the given length is read: the number beyond it is not seen.
    const char* cut = "a.c(12): x";
    ResultRef r;
    EXPECT_FALSE(ParseResultRef(cut, 5, &r));
}

TEST(ResultRef, FileNamesAtTheCaret) {
    struct Case {
        const char* text;
        int col;
        const char* name;
    } cases[] = {
        {"#include \"sub/b.h\"", 0, "sub/b.h"},
        {"  #  include <stdio.h>", 30, "stdio.h"},
        {"#include", 3, ""},
        {"see notes.txt, then", 6, "notes.txt"},
        {"see notes.txt.", 12, "notes.txt"},
        {"open ..\\up\\x.c now", 8, "..\\up\\x.c"},
        {"plain words only", 2, ""},
        {"a.c", 99, "a.c"}, // a column past the end reads the last character
        {"", 0, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.name, FileNameAt(c.text, int(std::strlen(c.text)), c.col)) << c.text;
}

} // namespace
