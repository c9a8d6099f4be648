#pragma once
// File-mask lists: the text a user types to choose files ("*.c *.h"),
// wildcard masks separated by blanks, a mask with blanks in double quotes.
// The list becomes one dialect-4 expression in which `*` is any run of
// characters, `?` any one character and `.` an ordinary character; names
// are matched against it without regard to case.
#include "RegExp/regexp.h"

// Builds and compiles the expression (compile flags as RE_Compile). The
// program, or null with the compile error in *error; free with RegexFree.
RE_NODE* FileMaskToRegex(const char* list, int flags, int* error);
// The expression text FileMaskToRegex compiles ("^*.c$|^*.h$"), at most
// 261 characters; masks that do not fit are dropped.
void FileMaskExpression(const char* list, char* out, size_t size);

// Nonzero when the file name matches. A name without an extension also
// matches the masks that match it with a '.' appended ("Makefile" is
// chosen by "*.*" and by "Make*.").
int FileMaskMatchList(const char* name, const RE_NODE* program, const char* list);

// Scans `folder` (and its subfolders with `recurse`) and puts the full path
// of every matching file into `destination` at its sorted place. 1 when the
// scan completed, 0 when it was stopped, -1 when a name could not be added.
// Hidden and system entries are skipped.
int FileMaskMatch(const char* folder, const RE_NODE* program, const char* list, int recurse,
                  VMB* destination);

// The thread layer and the key translator sit above this module: they
// install how a scan learns that its thread has been asked to stop, and how
// the Ctrl+Break key state is read (and so cleared) when a scan starts.
using FileMaskStopFn = int (*)();
using FileMaskBreakFn = void (*)();
void FileMaskSetStopHooks(FileMaskStopFn stop_requested, FileMaskBreakFn clear_break);
