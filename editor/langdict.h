#pragma once
// Language dictionaries: per language a text file of keyword groups,
// templates, command words and the language specification, compiled on first
// use into a hashed form beside the source ("lang_c" -> "lang$c") and held,
// one section per loaded specification, in the engine buffer "Dicts".
//
// Section layout (also the compiled file's): lines 1..997 hash buckets, each
// holding TAB-separated entries of a class letter and a word; then template
// lines "t" abbreviation TAB expansion; in the file, an empty line and the
// specification lines follow (they are parsed and dropped on loading).
//
// Lookups run under the engine's lock and may come from any thread; loading
// is serialised by FindOrLoadLanguageSpec.
#include <cstdint>

struct VMB;

enum : int {
    DICT_BUCKETS = 997,
    DICT_LINE_MAX = 4095,      // characters of a source line
    DICT_WORD_MAX = 150,       // characters of a word
};

// Token classes of dictionary words.
enum : int {
    TOKEN_PREPROCESSOR = 308,
    TOKEN_TYPENAME = 318,      // "Types" (the platform headers own the name TOKEN_TYPE)
    TOKEN_KEYWORD = 319,
    TOKEN_NOT_FOUND = 320,
    TOKEN_OTHER_CLASS = 324,
    TOKEN_USER_1 = 325,        // ... TOKEN_USER_1 + 9 for "User 10"
};

// The word hash of the compiled form (0..0x3FFF); the bucket is hash % 997.
unsigned LangDictHash(const char* word, int length = -1);

// Where the dictionaries live: the user's copies are "<name>.<extension>" in
// the configuration folder (GetConfigFilePath), masters "<name>.xxx" in the
// master folder. The shell sets both at start-up.
void SetLanguageDictionaryFolders(const char* master_folder, const char* user_extension);
// The user's dictionary of language id (0..37) into out (261 bytes); 0 for
// other ids or when the configuration folder is unknown.
int GetLanguageDictionaryPath(char* out, int id);
// The compiled file's path of a dictionary path ("_" -> "$" in the file name).
int GetCompiledDictionaryPath(char* out, const char* source);

// Services of other layers the loader calls; each may be null.
struct LangDictHooks {
    // Runs the interpreter program "LanguageDefault" for a record that has
    // no usable dictionary specification.
    void (*language_default)(int index);
    // A master dictionary of `language` was copied: refresh the style sheets
    // of that language.
    void (*master_copied)(int language);
    // Errors were listed in output tab 6: select it and go to the first.
    void (*errors_listed)();
    // ResetLanguageData's neighbours: stop (0) or restart (1) the source
    // browser's builds; drop (0x1) or reload (0x2) the style sheets'
    // language data; re-apply every editor document's style sheet.
    void (*browser_builds)(int start);
    void (*style_sheets)(unsigned flags);
    void (*documents_reapply)();
    // Opens a dictionary file in an editor window (EditLanguageDictionary);
    // nonzero on success.
    int (*open_file)(const char* path);
    // The skeleton pane's code-template tree of a language, asked for once
    // a record's dictionary is loaded (the pane owns it).
    void* (*template_tree)(int language, int index);
};
void SetLangDictHooks(const LangDictHooks* hooks);

// 1 and the specification index when the language's specification exists or
// could be loaded or made; 0 otherwise (*index -1).
int FindOrLoadLanguageSpec(int* index, int language, const char* lang_name,
                           const char* spec_name);
// 0x1 drop all loaded data; 0x2 reload the style sheets; 0x4 load "None";
// 0x10 from the save path.
void ResetLanguageData(unsigned flags);

// The token class of `word`: TOKEN_* or 0 when the record does not exist.
// `cls` picks a class (0 any). The word is lower-cased in place unless the
// language is case-sensitive. text_out (text_size bytes, may be null) gets
// the stored spelling, or a command word's text.
int LookupLanguageKeyword(char* word, int index, int cls, char* text_out, int text_size);
// The same for `length` characters at `word`, which stays untouched.
int LookupLanguageKeywordN(const char* word, int length, int index, int cls, char* text_out,
                           int text_size);
// Fills the list buffer (default "DispList") with "word TAB token" lines of
// the words beginning with prefix; its line count, -1 without a dictionary.
// cls -1: copies the first matching word over prefix (prefix_size bytes)
// and returns 1 (0 when none).
int ListKeywordMatches(int index, char* prefix, int prefix_size, int cls, const char* list_name);
// The first template whose abbreviation equals abbrev, else the first that
// begins with it (mode 32: a longer one only when abbrev does not end in a
// blank). Its number (1-based) with "abbreviation TAB expansion" in line_out;
// -1 when none.
int FindTemplate(int index, char* line_out, int size, const char* abbrev, int mode);
// Template line n (1-based) into out; 0 past the end.
int GetLanguageDictionaryLine(int index, int n, char* out, int size);
// Empties the list and adds every template abbreviation that does not begin
// with "Skeleton"; the list's line count.
int ListLanguageSkeletons(int index, VMB* list);
// Opens the record's dictionary file for editing; nonzero on success.
int EditLanguageDictionary(int index, int quiet);

// The steps below FindOrLoadLanguageSpec, for the loader's callers and tests.
int LoadLanguageDictionary(int language);
int LoadDictionaryFile(const char* path, int index, int language);
int CompileDictionary(const char* source, const char* compiled, int buckets, int index,
                      int language);
void ApplyLanguageDefault(int index, int language);
// The "Dicts" buffer, null when none is open.
VMB* GetDictsBuffer();
