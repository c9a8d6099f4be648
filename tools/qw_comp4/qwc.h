#pragma once
// The macro-program compiler: a small C-like language compiled into the
// program files the interpreter loads.
//
// The language: `int` and `char` (a byte, in arrays and through pointers),
// pointers (one word), arrays, global and local variables, functions with
// parameters, if/else, while, for, break, continue, return, the C operators
// of integers and pointers (with && and ||, ++ and --, compound assignment),
// string and character literals, `const NAME = value;`, `#include "file"`,
// and calls of the editor's functions declared in the include header:
//   native NAME = INDEX (ARGC);
//   method NAME = INDEX (ARGC);   called as NAME(object, args...)
// A program's entry is `main`; it receives the words the host passes (the
// missing ones read as 0) and its return value is ignored by the host, which
// reads the result word the program writes through its fifth argument.
#include <string>

struct QwcOptions {
    std::string source;   // the source file
    std::string include;  // folders separated by ';'
    std::string output;   // the program file
    std::string map;      // the map file, empty for none
};

// Compiles; true on success. errors receives the messages, one a line, each
// "file(line): error: text". On failure no program file is left behind.
bool QwcCompile(const QwcOptions& opt, std::string& errors);

// The include header that declares the editor's functions.
std::string QwcNativesHeader();

// The command line: qw_comp4 [-s map] [-i include] source -o program, or
// qw_comp4 -h header. Returns the process exit code.
int QwcMain(int argc, char** argv);
