#pragma once
// Language specifications: how each language is written (identifier
// characters, case rules, comment and string delimiters). One process-wide
// table of records, indexed by a specification index; the first record of a
// language is what a style sheet names, so callers often call the index a
// language id.
//
// Records are filled by the dictionary loader (langdict.h). Queries take no
// lock and may run on any thread; records are never moved once made and are
// only freed by FreeLanguageSpecs, which callers run while no reader does.
#include <cstdint>
#include <string>

enum : int {
    LANG_COUNT = 38,          // language ids 0..37
    LANG_NONE = 21,           // "None", the fallback language
    LANG_FORTH = 12,
    LANG_MATLAB = 19,
    LANG_RUBY = 30,
    LANG_COMMANDS = 37,       // the editor's own command dictionary; no display name
    LANG_DELIM_COUNT = 70,    // delimiter entries per record
    LANG_DELIM_FILE = 10,     // entries a dictionary file fills (0..9)
    LANG_DELIM_TEXT = 30,     // delimiter text size: 29 characters and a terminator
    LANG_NAME_SIZE = 40,      // specification name: 39 characters and a terminator
    LANG_ID_SET_SIZE = 100,   // "ID Start" and "ID Follow": 99 characters
    LANG_ID_SURROUND_SIZE = 10,
    LANG_NO_VALUE = 0x7FFFFFFF, // FindLanguageDelimiterValue: none
};

// Specification flags.
enum : uint32_t {
    LANG_F_CASE = 0x1,          // case-sensitive
    LANG_F_STANDALONE = 0x2,    // delimiters stand alone (Forth)
    LANG_F_EQUAL_REGION = 0x1000,
    LANG_F_REGIONS = 0x2000,
    LANG_F_ENTRY4 = 0x4000,
    LANG_F_SLASH_LINE = 0x8000, // a line delimiter begins "//"
    LANG_F_DEFAULTS = 0x10000,  // no usable dictionary specification
    LANG_F_HIDDEN = 0x80000,    // hidden from name lookups
};

// Delimiter entry flags.
enum : uint32_t {
    DELIM_SINGLE = 0x1,      // line comment and other single delimiters
    DELIM_REGION = 0x2,      // open text ... close text
    DELIM_PAIR = 0x4,        // bracket pair (gives the language 0x4000)
    DELIM_NO_TOKEN = 0x10,   // tried only where no token is given
    DELIM_MATLAB_REGION = 0x20,
    DELIM_MATLAB_SINGLE = 0x40,
    DELIM_VALUE = 0x100,     // answers FindLanguageDelimiterValue
    DELIM_VARIANT = 0x200,
    DELIM_EQUAL = 0x1000,    // open and close texts are equal
    DELIM_C_COMMENT = 0x8000,// "/*" ... "*/"
};

// Bits MatchLanguageDelimiter adds to the entry it hands out.
enum : int {
    DELIM_MATCH_CLOSE = 0x8000,
    DELIM_MATCH_CONFIRM = 0x4000,
};

struct CLanguageDelimiter {
    uint32_t flags;
    int32_t column;                 // -1: any column
    int32_t token;                  // -1: none
    char open[LANG_DELIM_TEXT];
    char close[LANG_DELIM_TEXT];
};

struct CLanguageSpec {
    uint32_t flags;
    int32_t language;
    char name[LANG_NAME_SIZE];      // empty when it equals the language's name
    std::string dictionary_file;
    char id_start[LANG_ID_SET_SIZE];
    char id_follow[LANG_ID_SET_SIZE];
    char id_surround[LANG_ID_SURROUND_SIZE];
    uint32_t dict_first_line;       // line of "Dicts" before the record's section
    uint32_t bucket_count;          // 997 once loaded, 0 without a dictionary
    uint32_t dict_line_count;
    CLanguageDelimiter delimiters[LANG_DELIM_COUNT];
    void* code_templates;           // owned by the skeleton pane
};

// ---- Languages --------------------------------------------------------------
// The display name of language `id` into out (size bytes); empty for 37 and
// ids out of range. Returns the name's length.
int GetLanguageName(int id, char* out, int size);
// The same as a constant text ("" for 37 and out of range).
const char* LanguageDisplayName(int id);
// The id whose display name equals `name` ignoring case; -1 when none.
int FindLanguageByName(const char* name);

// ---- Records ----------------------------------------------------------------
CLanguageSpec* FindLanguageSpec(int index);
// The highest valid index (count - 1; -1 when the table is empty).
int GetLanguageSpecCount();
// The record's language; -2 when the index is unknown.
int GetLanguageParserType(int index);
uint32_t GetLanguageFlags(int index);
// op 1 sets, 0 clears, others read; returns the flags AND mask.
uint32_t SetLanguageFlags(int op, int index, uint32_t mask);
int IsLanguageFlag1(int index);
int IsLanguageFlag2000(int index);
int IsLanguageFlag4000(int index);
int IsLanguageFlag10000(int index);
// Copies what is asked for (each out may be null; sized as the record's
// fields). 1 when the record exists.
int GetLanguageSpecInfo(int index, int* language, char* name, char* id_start,
                        char* id_follow, char* id_surround);
// Entry n (0..69): its flags, texts in upper case (LANG_DELIM_TEXT bytes
// each), column and token; 0 when out of range. Each out may be null.
uint32_t GetLanguageDelimiter(int index, int n, char* open, char* close, int* column,
                              int* token);

// ---- Matching ---------------------------------------------------------------
// Tries entry n (or 0..9 when n is -1; Ruby takes entries 10..69 as given)
// at `text`: `which` 1 the open text, 0 the close text, 2 open then close.
// `escape`: a match right after a backslash does not count (text[-1] must
// then be readable). Returns the position after the match, or null; *entry
// gets the entry index plus DELIM_MATCH_* bits.
const char* MatchLanguageDelimiter(int index, int which, int mask, int n, const char* text,
                                   int token, int escape, int column, int* entry);
// The start column of the first value entry whose 0x200 bit equals word's;
// LANG_NO_VALUE when none.
int FindLanguageDelimiterValue(int index, uint32_t word, int* token);
// 1 when a character of a region entry's texts occurs in `chars`.
int FindDelimiterCharEntry(int index, const char* chars, int* entry);
// The region entry whose open text is the shortest proper prefix of entry
// n's; n when none.
int FindShortestPrefixDelimiter(int index, int n);
// Ruby's string-like literals at `text`: makes (or finds) a run-time entry
// in 10..69 and hands out its index, the literal's opening length and its
// token. 1 when a literal was recognised with an entry, else 0.
int lang_Ruby_string(const char* text, int previous, const char* preceding_word, int index,
                     int* entry, int* length, int* token);

// ---- Names ------------------------------------------------------------------
// First visible record of the language (named when lang_name is given) whose
// name equals spec_name ignoring case (any when null or empty); -1 when none.
int FindLanguageSpecIndex(int language, const char* lang_name, const char* spec_name);
int FindLanguageSpecByName(const char* display);
// Splits "Language » Spec" or "Language<TAB>Spec". *language gets the
// language id (-1 when unknown); spec_name (size bytes) the spec's name.
int SplitLanguageSpecName(const char* display, int* language, char* spec_name, int size);
char* FormatLanguageSpecName(char* out, int size, int tab_form, const char* lang_name,
                             const char* spec_name);
// -1 (out empty) when the record does not exist.
int FormatLanguageSpecDisplay(char* out, int size, int tab_form, int index);

// ---- Building ---------------------------------------------------------------
// Appends a record; its index, -1 when the table is full.
int AddLanguageSpec(int language, const char* dictionary_file);
int SetLanguageSpecLanguage(int index, int language, const char* name);
int SetLanguageSpecFields(int index, const char* name, uint32_t flags, const char* id_start,
                          const char* id_follow, const char* id_surround);
// op 0 clears every entry; op 1 stores entry n (0..9), texts in caret
// notation. Returns 1 on success, 0 for a bad index, entry or text.
int SetLanguageDelimiter(int op, int index, int n, uint32_t flags, int column, int token,
                         const char* open, const char* close);
const char* GetLanguageSpecDictionaryFile(int index);
int SetLanguageSpecDictionaryFile(int index, const char* path);
// 1 with a file, 0 without, -1 for an unknown index.
int HasLanguageSpecDictionaryFile(int index);
int IsDictionaryFileKnown(const char* path);
// Frees every record (after deleting its code-template tree through the
// deleter below).
void FreeLanguageSpecs();
using LangTemplateTreeDeleter = void (*)(void* tree);
LangTemplateTreeDeleter SetLanguageTemplateTreeDeleter(LangTemplateTreeDeleter fn);

// ---- Identifiers ------------------------------------------------------------
// The length of the identifier that starts at `text` under the record's
// "ID Start" / "ID Follow" sets (letters, digits and "_" when a set is
// empty); 0 when none starts there.
int LanguageWordLength(int index, const char* text);
