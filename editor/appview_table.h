#pragma once
// The application view's process-wide pieces that need no window: the
// document-event hook table through which macro programs hear of opened,
// saved and focused documents, and the reading of a go-to-line request.
#include <cstdint>

// Document events.
enum : uint32_t {
    QW_DE_BEFORE_COMMAND = 2,
    QW_DE_OPENED = 8,
    QW_DE_BEFORE_SAVE = 16, // a hook may veto the save
    QW_DE_AFTER_SAVE = 32,
    QW_DE_FOCUS_GAINED = 1024,
    QW_DE_FOCUS_GAINED_ZERO = 2048,
    QW_DE_FOCUS_LOST = 4096,
};
enum : int { QW_DOC_HOOK_SLOTS = 32 };

// op 1 adds (refused when an entry with a common mask bit has the same
// name, or no slot is free); op 0 removes the entry of that name with a
// common mask bit; op 0 with a null name clears the table. 1 on success.
int RegisterNamedEntry(uint32_t mask, int op, const char* name, int flag, int value);

// The record a hook may change: clearing `continue_walk` stops the walk
// (and vetoes a save).
struct DocEventRecord {
    int32_t continue_walk = 1;
};
// Runs a program by name for an event: (name, flag, event, 4096, document,
// record); the program's result. The shell installs the interpreter's runner.
using DocEventRunner = int (*)(const char* name, int flag, int event, int arg, void* document,
                               DocEventRecord* record);
void SetDocumentEventRunner(DocEventRunner runner);
// The last program's result, -1 when none ran. A busy entry is skipped.
int FireDocumentEvent(uint32_t event, void* document, DocEventRecord* record);

// A go-to-line text: a number, or "+n"/"-n" relative to the caret line.
struct GoToLineRequest {
    int code = 0;  // 0 go, else the string of the error (367, 368, 365)
    int line = 0;  // target (for 365 the last line, where the caret goes)
    int relative = 0;
    int asked = 0; // the line asked for
};
// line_count: lines known; fully_read: whether more may come.
GoToLineRequest ParseGoToLineText(const char* text, int caret_line, int line_count,
                                  bool fully_read);

enum : unsigned {
    QW_IDS_NOT_LINE_NUMBER = 367,   // "'%s' is not a valid line number%b"
    QW_IDS_BEFORE_START = 368,      // "Target line number: %d%d is before the start of the file%b"
    QW_IDS_ORIGINAL_NOT_FOUND = 364,
    QW_IDS_PAST_END = 365,          // "Line: %d is past the end of this file%b"
};
