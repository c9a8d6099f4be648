#pragma once
// Macro programs the editor runs, by title: what the editor passes them and
// what it relies on in their result. Programs live outside the program (files
// "<title>.ces" or ".cex" compiled from "<title>.c"); everything the editor
// fixes about them is gathered here for the interpreter host and for the
// authors of the programs.
//
// Every program runs through CExe_ExecuteByName (title, run flags, identifier,
// argument, object, record). The result is -1 when the program could not be
// loaded or run, else the program's result word, 1 unless the program sets it.
// The record is a K_cmd_params (tag 0x2E855029) or a request record tagged
// 0x5F1967EA, or none.
#include <cstdint>

enum : unsigned {
    QW_PRG_RUN_CES = 0x1,          // bit 1: the ".ces" file, else ".cex"
    QW_PRG_RUN_QUIET_MISSING = 0x4,
    QW_PRG_RUN_LOAD_ONLY = 0x10,
    QW_PRG_RUN_UNLOAD_AFTER = 0x20,
};
enum : int {
    QW_PRG_RESULT_FAILED = -1,     // could not be loaded or run
    QW_PRG_RESULT_DEFAULT = 1,     // what a program returns unless it sets its result
};
enum : uint32_t { QW_PRG_REQUEST_TAG = 0x5F1967EAu };

// What the program receives as its record.
enum QwPrgRecord {
    QW_PRG_REC_NONE,
    QW_PRG_REC_PARAMS,   // a K_cmd_params
    QW_PRG_REC_REQUEST,  // a request record tagged 0x5F1967EA
    QW_PRG_REC_OTHER,    // a record of its own kind (described in `call`)
};

// What the editor does with the result.
enum QwPrgResult {
    QW_PRG_RESULT_IGNORED,   // nothing
    QW_PRG_RESULT_COMMAND,   // the command's result (executor)
    QW_PRG_RESULT_HANDLED,   // 1: the program handled it; else the editor's own way
    QW_PRG_RESULT_VETO,      // a document event's continue word (0 vetoes a save)
    QW_PRG_RESULT_ANSWER,    // a dialog event's or availability query's answer
    QW_PRG_RESULT_START,     // not 1 ends start-up silently
    QW_PRG_RESULT_OUTPUT,    // the editor relies on what the program writes into the record
};

struct QwProgramTitle {
    const char* title;       // compared without regard to case
    unsigned run_flags;      // the flags the editor passes
    QwPrgRecord record;
    QwPrgResult result;
    const char* call;        // who runs it and with which identifier, argument and object
};

// Every title the editor runs (the command table's titles included), in no
// particular order; *count gets their number.
const QwProgramTitle* QwProgramTitles(int* count);
// The entry of a title (ignoring case), null when the editor never runs it.
const QwProgramTitle* QwFindProgramTitle(const char* title);
// The program title of a command of the table, null when it has none; *run_flag
// gets the executor flag (1 for bit 0x100, else 0).
const char* K_cmd_get_title(int id, int* run_flag);
