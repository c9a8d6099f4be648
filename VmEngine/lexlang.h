#pragma once
// The language side of the engine's lexical-state scan.
//
// Language specifications live above the engine (in the editor layer), so the
// engine reaches them only through this table of functions, which the
// language module installs at start-up. Until one is installed every buffer
// counts as having no language. The scan never looks behind these calls: a
// small table written by a test drives it exactly as the real specifications
// do.

struct VMB;

// Bits of a delimiter match code (what MatchLanguageDelimiter hands out
// through its entry-out argument): the low byte is the delimiter entry.
enum : int {
    VMLEX_CODE_CLOSING = 0x8000,  // the close text matched
    VMLEX_CODE_CONFIRM = 0x4000,  // "/*"-like delimiter of a language with "//" comments
    VMLEX_CODE_KEEP    = 0x3FFF,  // low byte and bits 8-13 travel on to callers
};

// Language flags the scan reads (GetLanguageFlags).
enum : unsigned {
    VMLEX_LANG_EQUAL_DELIMS = 0x1000,  // some region opens and closes with the same text
    VMLEX_LANG_REGIONS      = 0x2000,  // the language has region delimiters
    VMLEX_LANG_SLASH_LINE   = 0x8000,  // a line comment begins "//"
};

// Delimiter entry classes, as masks of entry flags.
enum : int {
    VMLEX_MASK_SINGLE = 0x1,  // line comments and other single delimiters
    VMLEX_MASK_REGION = 0x2,  // open text ... close text
};

// Language kinds (GetLanguageParserType) that change the scan's rules.
enum : int {
    VMLEX_KIND_C         = 4,   // backslash escapes in strings
    VMLEX_KIND_CICODE    = 5,   // caret escapes in strings
    VMLEX_KIND_HTML      = 15,  // characters taken singly by the string check
    VMLEX_KIND_JAVA      = 16,  // backslash escapes in strings
    VMLEX_KIND_PLI       = 26,  // double quotes start no string
    VMLEX_KIND_RUBY      = 30,  // run-time delimiters: states are never kept across edits
    VMLEX_KIND_SMALLTALK = 31,  // double quotes start no string
};

struct VmLangSource {
    // The specification index of the buffer's document; -1 when the buffer
    // has no document or its document no language.
    int (*buffer_language)(VMB* buffer);
    // The tab size of the buffer's document; 0 when it has none (the scan
    // then uses 8).
    int (*buffer_tab_size)(VMB* buffer);
    // GetLanguageParserType: the language kind, -2 for an unknown index.
    int (*parser_type)(int lang);
    // GetLanguageFlags: 0 for an unknown index.
    unsigned (*flags)(int lang);
    // Nonzero when a region opened inside a region of the language nests.
    int (*block_nesting)(int lang);
    // MatchLanguageDelimiter (index, which, mask, entry or -1, text, token,
    // escape, column, entry out): the position after the delimiter matched
    // at `text` (a NUL-terminated line, text[-1] readable unless it is the
    // line's start), or null. `which` 1 tries open texts, 0 close texts, 2
    // open then close; `column` is the 1-based display column of `text`.
    const char* (*match_delimiter)(int lang, int which, int mask, int n, const char* text,
                                   int token, int escape, int column, int* entry_out);
    // The length of the identifier that starts at `text` (0 when none).
    int (*word_length)(int lang, const char* text);
    // Nonzero when the `len` characters at `word` are a keyword of the
    // language's dictionary.
    int (*is_keyword)(int lang, const char* word, int len);
};

// Installs the language source (null removes it); returns the previous one.
const VmLangSource* vm_set_lang_source(const VmLangSource* source);
const VmLangSource* vm_lang_source();
