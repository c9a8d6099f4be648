#pragma once
// The editor's own regular-expression engine: one compiler for four pattern
// dialects and the replacement-template language, a matcher over a character
// range in memory and one over the lines of a text buffer (where a match may
// run across line ends), and the expansion of replacement templates.
//
// A compiled program is a doubly linked list of small nodes; the caller
// holds the first node and frees the list with RegexFree. The program is
// read-only once compiled, so several threads may match with it at once.
#include <cstddef>
#include <cstdint>

struct VMB; // VmEngine/vm.h

// ---- Dialects ----------------------------------------------------------------
enum : int {
    RE_DIALECT_NATIVE = 3,   // "QW RE" (also every value other than 4-7)
    RE_DIALECT_ORIGINAL = 4, // "QW Original RE"
    RE_DIALECT_POSIX = 5,    // "Posix RE"
    RE_DIALECT_DEVSTUDIO = 6,// "MS Visual Developer RE"
    RE_DIALECT_TEMPLATE = 7, // replacement templates
};

// ---- Program nodes -------------------------------------------------------------
constexpr uint16_t RE_K_NOP = 0; // end marker of a repetition or alternation
constexpr uint16_t RE_K_JUMP = 1; // continue at the linked node
constexpr uint16_t RE_K_EXIT = 2; // end of an alternative: continue at the link, or succeed
constexpr uint16_t RE_K_BOL = 3;
constexpr uint16_t RE_K_EOL = 4;
constexpr uint16_t RE_K_BOW = 5;
constexpr uint16_t RE_K_EOW = 6;
constexpr uint16_t RE_K_CASE = 7; // case-sensitive from here
constexpr uint16_t RE_K_NOCASE = 8; // case-insensitive from here
constexpr uint16_t RE_K_NOT = 9;
constexpr uint16_t RE_K_ACCEPT = 10;
constexpr uint16_t RE_K_ANY = 20;
constexpr uint16_t RE_K_SET = 21; // argument: owned 32-byte bitmap
constexpr uint16_t RE_K_NSET = 22;
constexpr uint16_t RE_K_CHAR = 23; // argument: the character
constexpr uint16_t RE_K_BLANK = 24; constexpr uint16_t RE_K_NBLANK = 25;
constexpr uint16_t RE_K_UPPER = 26; constexpr uint16_t RE_K_LOWER = 27;
constexpr uint16_t RE_K_DIGIT = 28; constexpr uint16_t RE_K_NDIGIT = 29;
constexpr uint16_t RE_K_ALPHA = 30; constexpr uint16_t RE_K_NALPHA = 31;
constexpr uint16_t RE_K_ALNUM = 32; constexpr uint16_t RE_K_NALNUM = 33;
constexpr uint16_t RE_K_NEWLINE = 34;
constexpr uint16_t RE_K_SELECT = 40; // 40-49: the reported match is tagged group 0-9
constexpr uint16_t RE_K_BRACKET = 0x100;
constexpr uint16_t RE_K_OPEN = 0x200;
constexpr uint16_t RE_K_CLOSE = 0x400;
// TAGGED and GREEDY are one bit on purpose: a kind is either a bracket
// (0x100) or a choice point (0x1000), never both, and the bit is read only
// after the group is known, so each group gives it its own meaning.
constexpr uint16_t RE_K_TAGGED = 0x800; // bracket: low byte is the group number 1-9
constexpr uint16_t RE_K_CHOICE = 0x1000;
constexpr uint16_t RE_K_GREEDY = 0x800; // choice: try the element first

// Low byte of a choice point.
constexpr uint16_t RE_C_OPT = 204;
constexpr uint16_t RE_C_ALT = 205;
constexpr uint16_t RE_C_MINSTAR = 206;
constexpr uint16_t RE_C_MINPLUS = 207;
constexpr uint16_t RE_C_STAR = 208;
constexpr uint16_t RE_C_PLUS = 209;

struct RE_NODE {
    uint16_t kind;
    RE_NODE* prev;
    RE_NODE* next;
    union {
        int ch;             // RE_K_CHAR
        unsigned char* set; // RE_K_SET, RE_K_NSET
        RE_NODE* link;      // repetitions, alternations, jumps
    } arg;
    // First node only: the matcher's flat form of the whole program, built
    // once by RE_Compile and freed by RegexFree.
    void* flat;
};

// ---- Compiling ---------------------------------------------------------------
enum : int {
    RE_F_PLAIN = 0x1, // every character a literal
    RE_F_CHECK = 0x2, // validate only; the result is the number of tagged groups
    RE_F_CASE = 0x4,  // case-sensitive
};

// Error codes (string 1315 + code holds the text shown for codes 1-21).
enum : int {
    RE_E_EMPTY = 1,
    RE_E_MEMORY = 2,
    RE_E_NO_CLOSE = 3,
    RE_E_NO_OPEN = 4,
    RE_E_DECIMAL = 5,
    RE_E_OCTAL = 6,
    RE_E_HEX = 7,
    RE_E_CHAR_VALUE = 8,
    RE_E_REPEAT = 9,
    RE_E_ESCAPE_END = 10,
    RE_E_SET_RANGE_END = 11,
    RE_E_SET_END = 12,
    RE_E_SET_RANGE = 13,
    RE_E_TOO_MANY_TAGS = 14,
    RE_E_NO_TAG = 15,
    RE_E_TWO_SELECTIONS = 16,
    RE_E_NO_TAG_TEXT = 17,
    RE_E_OR_FIRST = 18,
    RE_E_OR_EMPTY = 19,
    RE_E_EMPTY_GROUP = 20,
    RE_E_CONTROL = 21,
    RE_E_SYNTAX = 30,
};

// String-table identifiers of the compiler's texts.
enum : unsigned {
    RE_IDS_ERROR_BASE = 1315,        // + code, codes 1-21 and 30
    RE_IDS_SYNTAX = 1337,            // "Syntax error in Regular Expression."
    RE_IDS_INVALID = 1338,           // "Invalid Regular Expression. Error: %d"
    RE_IDS_TAG_IN_FIND = 1339,
    RE_IDS_REPLACE_SYNTAX = 1340,
    RE_IDS_REPLACE_INVALID = 1341,
};

// Compiles `pattern` in `dialect`. Returns the first node, or null with the
// error code in *error (0 on success). With RE_F_CHECK the program is freed
// and the result is the group count cast to a pointer (use RE_CheckGroups).
RE_NODE* RE_Compile(const char* pattern, int flags, int dialect, int* error);
// RE_Compile with RE_F_CHECK: the number of tagged groups, 10 when the
// pattern holds an alternation.
int RE_CheckGroups(const char* pattern, int flags, int dialect, int* error);
void RegexFree(RE_NODE* program);

// The text of an error code (the string-table text for codes 1-21 and 30,
// null for others). The host build has no resources, so the engine keeps them.
const char* RE_ErrorText(int code);
// The string-table text of any identifier listed above (null when unknown).
const char* RE_StringText(unsigned id);

// ---- Matching in memory -----------------------------------------------------
// Range groups: entries 0-9 the start offsets of groups 0-9, 10-19 their ends
// (exclusive); -1 when not set.
enum : int { RE_RANGE_GROUPS = 20 };

// 1 when a match is found from scan_start on, else 0 (also for a search too
// complex to finish). Flags: 0x4 case-sensitive. `groups` may be null.
int RegexMatchRange(const RE_NODE* program, const char* text, int length,
                    int scan_start, int* groups, int flags);

// ---- Matching over buffer lines ---------------------------------------------
enum : int {
    RE_S_CASE = 0x4,
    RE_S_SKIP = 0x8,       // begin one column past the position
    RE_S_WRAP = 0x10,      // wrap around once
    RE_S_KEEP_WHOLE = 0x20,// keep the whole match in record 0 with a selection
};

enum : int {
    RE_LINE_TO_END = -3,         // last line: the end of the buffer
    RE_SEARCH_TOO_COMPLEX = -100,// this search needed more memory than allowed
};

struct RE_MATCH_REC {
    int32_t start_line; // -1: not set
    int32_t start_col;
    int32_t end_line;   // -1: not set
    int32_t end_col;
};

struct RE_MATCH {
    RE_MATCH_REC rec[10]; // 0 the match, 1-9 tagged groups
    uint8_t wrapped;      // 1 when the search wrapped around
};

// Searches `buffer` from (line, column) inside the range [(first_line,
// first_col), (last_line, last_col)]. 1 found, 0 not found, -1 position
// outside the range (or empty range, or unreachable start line),
// RE_SEARCH_TOO_COMPLEX when this search needed more than the matcher's
// memory bounds allow; nothing else is affected by it.
int RegexSearchLines(VMB* buffer, int first_line, int first_col, int last_line,
                     int last_col, int line, int column, int forward,
                     const RE_NODE* program, int flags, RE_MATCH* match,
                     int* selected_group);

// A clear text for RE_SEARCH_TOO_COMPLEX (%s: the pattern).
extern const char RE_TooComplexText[];

// ---- Replacement templates --------------------------------------------------
struct RE_TEMPLATE {
    const char* text;  // the template
    int validate;      // nonzero: check only, write nothing
    int group_count;   // validate: groups the pattern has (10 with an alternation)
};

// 0 when the template is valid for the pattern, else its error code.
int RegexCheckReplacement(const char* pattern, const char* replacement, int dialect);
// Writes the replacement at the buffer's current position; flag 0x1 writes
// the template as it stands. Group texts are read from `source` (the view's
// buffer) as the match record gives them. 0 or an error code.
int RegexInsertReplacement(const char* replacement, int flags, VMB* source,
                           const RE_MATCH* match, VMB* buffer);
int RegexExpandReplacement(RE_TEMPLATE* state, VMB* source, const RE_MATCH* match,
                           VMB* buffer);
// Builds a heap string (free with free()) from the template and the range
// groups of a RegexMatchRange match in `text`. 0, or an error code with
// *out null.
int RegexExpandToString(const char* replacement, const char* text, const int* groups,
                        char** out, int* out_length);

// Where `$i` (which 'i'), `$nu` ('u') and `$nc` ('c') get their texts: the
// application installs a source; without one they expand to nothing.
using RegexUserTextFn = const char* (*)(int which);
RegexUserTextFn RegexSetUserTextSource(RegexUserTextFn fn);
