#pragma once
// History lists and the configuration files that keep them.
//
// Every history list (find texts, file names, favourites, program titles,
// error-track types and others) is a type-0x2 buffer named after the list,
// one entry per line, most recent first unless the caller adds at the
// bottom. The buffer's reference line is the entry added last. Dialogs pack
// a list into one TAB-separated line of a record buffer and unpack it again.
//
// At exit the named lists are written, grouped, into the configuration files
// "QwConfig", "QWHistory" and "QWBuildSetup" in the user's configuration
// folder (the text form is described in config_format.h); at start-up they
// are read back into buffers.
#include "VmEngine/vm.h"

// Entry comparison flags (the flags argument of the operations below).
enum : int {
    HL_TOP = 0x1,            // add at the top (else the bottom); read the first (else the last) entry
    HL_SORTED = 0x4,         // unpacking: insert in sorted order, ignoring case
    HL_CMP_FIRST_TAB = 0x10, // compare entries only up to their first TAB
    HL_CMP_NOCASE = 0x20,    // compare ignoring case
    HL_CMP_NOCASE2 = 0x40,   // compare ignoring case
    HL_KEEP_LIST = 0x80,     // packing: keep the list buffer
};

// Operations of HistoryListAccess / HistoryListEntry / HistoryListPack.
enum : int {
    HL_OP_ADD = 1,    // add an entry / unpack a record line into a list
    HL_OP_READ = 0,   // copy an entry out / pack a list into a record line
};

// The longest entry copied out by a read (the out array holds this + 1).
enum : int { HL_ENTRY_MAX = 1024 };

// The command value that holds the maximum (K_HistorySize) and its default
// in the command table.
enum : int { HL_HISTORY_SIZE_ID = 631, HL_HISTORY_SIZE_DEFAULT = 150 };

// The number of entries of the named list, 0 when it does not exist.
int HistoryListCount(const char* name);

// op HL_OP_ADD adds `text` to the named list, creating the list when it is
// missing; any other op copies the first (HL_TOP) or last entry into `text`
// (at most HL_ENTRY_MAX characters), or "" when the list does not exist.
// Returns 1 on success, 0 on failure (reported).
int HistoryListAccess(const char* name, char* text, int op, int flags);

// The same on a list buffer.
int HistoryListEntry(VMB* list, char* text, int op, int flags);

// op HL_OP_ADD: reads `line` of `record` as TAB-separated entries into
// `list` (emptied first), or into a new temporary list when `list` is null.
// Any other op: replaces `line` of `record` with the entries of `list`
// joined by TAB, then closes the list unless HL_KEEP_LIST.
// Returns the list (null when none could be made).
VMB* HistoryListPack(VMB* list, VMB* record, int line, int op, int flags);

// Copies entry n of the named list (0: its reference line) into out (at most
// max characters and a terminator). The stamp lists ("Buffer i", "Buffer d",
// "Buffer t") are filled first through the installed filler. 1 when the
// entry exists.
int HistoryListReadLine(const char* name, int n, char* out, int max);
// The same for the list that a dialog control shows (history combo boxes):
// identifiers of 257 or more name a list through the resolver that the
// dialog layer installs; 0 for lower identifiers, without a resolver, or
// when the identifier names no list.
int HistoryListReadLine(int control_id, int n, char* out, int max);
// Writes the list name of a control id into out (size bytes); 1 when it has one.
using HistoryControlListFn = int (*)(int control_id, char* out, int size);
HistoryControlListFn HistoryListSetControlResolver(HistoryControlListFn fn);

// Fills a stamp list on demand; the command layer installs it.
using HistoryStampFillFn = VMB* (*)(const char* name);
HistoryStampFillFn HistoryListSetStampFiller(HistoryStampFillFn fn);

// Opens or creates the named list and inserts `text` after `after_line`
// (clamped to the last line). Returns the new line, 0 on failure.
int HistoryListInsert(const char* name, int after_line, const char* text);
// Opens or creates the named list and replaces `line` (making missing lines).
int HistoryListSetLine(const char* name, int line, const char* text);

// ---- Configuration files ---------------------------------------------------

// The files live in the user's configuration folder (GetConfigFilePath);
// while that folder is unknown, their names are used as they are.

// Writes "QwConfig", "QWHistory" and "QWBuildSetup", in this order. Each file
// is complete or untouched: a failure reports string 1404 and keeps the old
// file. Returns 1 when all three were written.
int SaveHistoryFiles();

// Reads one configuration file into buffers: 1 when the file could be read
// (sections that cannot be used are skipped and reported), 0 when it cannot
// be opened. The file is opened for reading only.
int LoadConfigFile(const char* path);

// "QwConfig", or "qwbuffer" when that cannot be read; 1 when one was read.
int LoadConfigFiles();
