#pragma once
// Key bindings: a stack of at most six tables of key sequences, each sorted
// byte-wise (a shorter sequence before a longer one with the same start),
// bound to one command or to a list of commands; the matcher that walks a
// sequence one key at a time; the key texts of a command's bindings.
//
// Key sequence bytes: a typed character is its character; any other key is
// its modifier state (1 Ctrl, 2 Shift, 4 Alt, 8 mouse, 16 Ctrl on a
// character) followed by its key code. No sequence of a table is a prefix of
// another one.
#include <cstdint>

enum : int {
    KB_MAX_KEYS = 31,
    KB_MAX_TABLES = 6,
    KB_TABLE_GROW = 50,
    KB_INLINE_KEYS = 4,
};

// KeyBinding_Set / KeyBinding_Assign results.
enum : int {
    KB_DONE = 0,
    KB_STACK_FULL = 1,
    KB_CANNOT_GROW = 2,
    KB_NO_MEMORY = 3,
    KB_NOT_BOUND = 4,
    KB_TEXT_ERROR = 5,   // Assign: the text translates to an error
    KB_NO_COMMAND = 6,
    KB_NO_KEYS = 7,      // the text (or the byte string) holds no key
    KB_PREFIX = 8,
    KB_BOUND = 9,
    KB_TOO_LONG = 10,
};

// KeyBinding_Match results besides a command identifier or a typed character.
enum : int {
    KB_MATCH_LIST = -1,
    KB_MATCH_UNBOUND = -3,
    KB_MATCH_CANCELLED = -4,
    KB_MATCH_MORE = -5,
};

// Entry flags (the byte beside the target).
enum : uint8_t {
    KB_F_COUNT = 0x1F,
    KB_F_PRIMARY = 0x20,  // the command had no other binding when this one was made
    KB_F_OUTLINE = 0x40,  // keys held in a heap copy
    KB_F_LIST = 0x80,     // the target is a -1-terminated heap list
};

// One binding. Only the in-memory form: it holds heap pointers, so it never
// leaves the process.
struct KeyBindingEntry {
    union {
        int32_t command;
        int32_t* list;
    } target;
    uint8_t flags;
    union {
        uint8_t in_line[KB_INLINE_KEYS];
        uint8_t* out_of_line;
    } keys;

    int key_count() const { return flags & KB_F_COUNT; }
    const uint8_t* key_bytes() const { return (flags & KB_F_OUTLINE) ? keys.out_of_line : keys.in_line; }
    bool is_list() const { return (flags & KB_F_LIST) != 0; }
};

// ---- Tables ------------------------------------------------------------------
// Pushes an empty table of that capacity (at least 1): 0, KB_STACK_FULL with
// six tables stacked, KB_NO_MEMORY.
int KeyTable_Push(int capacity);
// Pops the top table (all: every table); the new top index, -1 when none is left.
int KeyTable_Pop(int all);
// The index of the top table, -1 without one.
int KeyTable_Top();
// A counter of the users of the table stack: op 1 adds one, 0 removes one
// (never below 0), any other reads; the count after the operation.
int KeyTable_Count(int op);
// The entries of the top table (null without one).
const KeyBindingEntry* KeyTable_Entries(int* count);
// True when the top table is sorted, holds no prefix of another sequence and
// every entry is whole (key count 1..31, lists terminated).
bool KeyTable_CheckInvariant();

// ---- Bindings ----------------------------------------------------------------
// Binds keys (key_count bytes) to a list of command_count values (command
// identifiers, typed characters, -3 text -4); a null list removes the
// binding. KB_* result.
int KeyBinding_Set(const uint8_t* keys, int key_count, const int* commands, int command_count,
                   int replace);
// Translates the key text through "Key_Translate" (operation 0) and sets the
// binding with replace; 8 is reported with string 442 and the key text.
int KeyBinding_Assign(const char* key_text, const int* commands, int command_count);
int KeyBinding_AssignOne(const char* key_text, int command);
// The keys of a key text through "Key_Translate" (keys: max bytes, at least
// 62): their number (counted past max), or -1 when the text is not keys.
int KeyBinding_TextToKeys(const char* key_text, uint8_t* keys, int max);

// The next single-command entry of `command` from index start; its index, or
// -1. *key_count, keys (31 bytes) and *flags get its data (each may be null).
int KeyBinding_FindCommand(int start, int command, int* key_count, uint8_t* keys, int* flags);

// Writes the text of the command's binding(s) into out (size bytes): all of
// them joined by " and ", or the preferred one. True when there is one.
bool KeyBindingText(char* out, int size, int command, bool all);

// ---- Matcher -----------------------------------------------------------------
// Matches one key (state -1: a typed character). Returns a command
// identifier, KB_MATCH_LIST with *entry set, KB_MATCH_UNBOUND,
// KB_MATCH_CANCELLED, KB_MATCH_MORE, or the key itself for an unbound typed
// character. Unless quiet, the keys of a pending sequence and the " Key is
// not bound" message go to the status bar.
int KeyBinding_Match(int state, int key, const KeyBindingEntry** entry, bool quiet);
// True while a sequence is pending.
bool KeyBinding_Pending();
// Back to idle.
void KeyBinding_Reset();
// Typed upper-case letters in a pending sequence match as lower case.
void KeyBinding_SetCaseFolding(bool on);

// ---- Programs ----------------------------------------------------------------
// Pops the top table and runs "OnKeyboardOpen" with (a, b, c).
int RunKeyboardOpenHook(int a, int b, int c);
// Runs "key_asgn" with operation 1 (add) or 2 (remove) and (a, b).
int KeyAssignHook_Add(int a, int b);
int KeyAssignHook_Remove(int a, int b);

// Connects the interpreter's key natives and "Key_Translate" to these
// tables (at start-up; tests call it too).
void KeyBinding_InstallInterpHooks();

// Strings.
enum : unsigned {
    KB_IDS_PART_OF_LONGER = 442,
    KB_IDS_NOT_BOUND = 443,
};
