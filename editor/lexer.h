#pragma once
// The syntax-colouring lexer: splits one line of text into tokens of its
// language, starting from the lexical state at the line's start (the depth
// and entry of an open multi-line construct, which the engine's lexical-state
// scan works out from the lines before it).
//
// One hand-written scanner serves every language: the language table gives
// the language number, the comment and string delimiters and the keyword
// dictionary; the language number switches per-language character rules on
// and off. Everything a scan needs lives in the caller's CLexer, so the UI
// thread and the view-drawing thread can colour lines at the same time, each
// with its own object. Nothing here needs a window: the painter consumes the
// token spans, and measure mode (LexLine, LexTokenAt) serves the token
// queries of brackets, search filters and parameter assistants.
#include <vector>

struct VMB;
struct CLanguageSpec;

// Token codes. Codes 300..334 choose colour kind 2 * (code - 300); the
// keyword classes of the dictionaries (319 keywords, 318 types, 308
// preprocessor words, 325..334 user groups) and the tokens of the language's
// delimiter entries (comments) come back as they are.
enum : int {
    LEX_TOK_SMALLTALK_TEXT = 300,  // Smalltalk text in double quotes
    LEX_TOK_DIRECTIVE = 308,       // directive mark and word, include file name, "##", HTML entity
    LEX_TOK_BLANK = 309,           // run of spaces and tabs
    LEX_TOK_NONE = 310,            // end state of a line that ends outside any token
    LEX_TOK_STRING = 311,          // double quotes, backquotes; Matlab and Smalltalk apostrophes
    LEX_TOK_CHAR_STRING = 312,     // apostrophes; Smalltalk character literal
    LEX_TOK_DECIMAL = 313,         // decimal number; Ruby character constant
    LEX_TOK_BINARY = 314,
    LEX_TOK_OCTAL = 315,
    LEX_TOK_HEX = 316,
    LEX_TOK_REAL = 317,            // fraction or exponent; every Matlab number
    LEX_TOK_VARIABLE = 318,        // Perl and Ruby variables and quote-likes; type words
    LEX_TOK_OPEN_BLANK = 319,      // blanks inside an open construct; HTML tag delimiter; keywords
    LEX_TOK_WORD = 320,            // word that is no keyword; plain text
    LEX_TOK_LABEL = 321,           // label; fixed-column prefix; Ini section; Ruby constant
    LEX_TOK_OPERATOR = 322,
    LEX_TOK_MALFORMED = 323,
    LEX_TOK_OTHER = 324,           // any other character
    LEX_TOK_END = 335,             // end of the text (no token)

    // Added to a token that runs on past the end of the line (an open
    // comment, a line comment, text past the column limit). Strip it before
    // choosing a colour (LexColourKind does).
    LEX_TOK_RUNS_ON = 0x8000,

    // End states of a whole line (LexLine, LexTokenAt past the text).
    LEX_END_RUNS_ON = 0x4136,     // class 1: the last token ran on, or passed the column limit
    LEX_END_CONSTRUCT = 0x8136,   // class 2: a multi-line construct is still open
};

// The colour kind of a token code: 2 * (code - 300) for 300..334 (after
// the 0x8000 mark is stripped), 0 for any other code.
int LexColourKind(int code);

// One token: text[start, end) of the line, starting at display column
// `column` (1-based, tabs and control characters expanded as painted), and
// its code (with LEX_TOK_RUNS_ON where it applies).
struct LexToken {
    int start;
    int end;
    int column;
    int code;
};

// What the caller knows about a line before it is scanned.
struct LexLineSetup {
    int lang = -1;           // language-specification index (the document's)
    int depth = 0;           // open construct at the line's start: nesting depth (0: none)
    int entry = -1;          // and the delimiter entry that opened it
    int tab_width = 8;       // for display columns (1..100, else 8)
    bool raw_columns = false;   // every byte takes one cell (raw-tabs option)
    bool fixed_columns = false; // the style sheet's fixed-column switch (Cobol, Fortran)
    int first = 0;           // offset of the first character to be drawn: words that end
                             // before it are not looked up (painting a scrolled row)
};

// Tells every lexer that keyword dictionaries were reloaded or changed:
// each drops the keyword classes it remembers before its next line. The
// path that resets the language data calls it.
void LexDictionariesChanged();

// Asks the engine for the lexical state at the start of `line` of `buffer`
// (only for languages with region delimiters; else depth 0) and stores it in
// setup->depth and setup->entry. `allow_backward`: a long stretch of unknown
// states may be bridged by the engine's bounded backward search. Returns 1
// when the answer is provisional (the view paints the line again once the
// states are known), else 0.
int LexStartState(VMB* buffer, int line, int lang, bool allow_backward, LexLineSetup* setup);

// The scanner of one painter or query. Not shared between threads: keep one
// per thread and reuse it, line after line (it holds a copy of the line, the
// per-line state, and the keyword classes of the words it has met).
class CLexer {
public:
    CLexer();

    // Starts a line: text[0, len) with the start state of `setup`. The text
    // is copied; any bytes are allowed, NUL included.
    void Begin(const LexLineSetup& setup, const char* text, int len);

    // The next token; LEX_TOK_END (token empty, at the line's end) when the
    // line is used up. Tokens cover the line exactly, in order.
    int Next(LexToken* token);

    // The end state after Next returned LEX_TOK_END: LEX_END_CONSTRUCT,
    // LEX_END_RUNS_ON or LEX_TOK_NONE.
    int EndState() const;
    // The open construct at the current position (after the last token):
    // its nesting depth (0 when none) and entry (the entry of the construct
    // or of the comment last found, -1 when none) and that entry's flags.
    int Depth() const { return depth_; }
    int Entry() const { return entry_; }
    int EntryFlags() const { return entry_flags_; }
    // The display column after the last token (1 before the first).
    int Column() const { return col_; }

    // While set, the word of each token is reported into text (size bytes):
    // cleared at every token, the stored spelling of a keyword, and with
    // `plain_words` a plain word (320) as written. Null stops it.
    void ReportTokenText(char* text, int size, bool plain_words);

    // The scanner's functions, shared by its source files.
    struct Impl;

private:
    friend struct Impl;
    // Per-line settings.
    const CLanguageSpec* spec_ = nullptr;
    int lang_ = -1, ptype_ = -2, rtype_ = -2;
    bool nests_ = false;
    bool hash_dirs_ = false, quote_strings_ = true, fixed_ = false;
    int limit_col_ = 0x7FFFFFFF, limit_kind_ = 0;
    int tab_ = 8;
    bool raw_ = false;
    int first_ = 0;
    // The line: buf_[0] is a NUL before the text, so text_[-1] is readable.
    std::vector<char> buf_;
    const char* text_ = nullptr;
    int len_ = 0;
    int lim_end_ = 0;  // offset of the first character past the column limit
    int lead_ = 0;     // offset of the first character that is not a blank
    bool narrow_ = false;  // every character takes one cell (no tabs, no controls)
    // Scan state.
    int pos_ = 0, col_ = 1;
    int depth_ = 0, entry_ = -1, entry_flags_ = 0;
    int last_tok_ = -1, last_nb_ = -1;
    bool after_include_ = false;
    bool ended_ = false;
    int end_state_ = -1;
    char last_word_[100] = {};
    char word_[1025] = {};
    // Characters that can begin a delimiter text of the line's language
    // (a bit set; all set where the entries change during a scan).
    unsigned char delim_first_[32] = {};
    // Keyword classes of words already looked up (see LexDictionariesChanged).
    struct CachedWord {
        char word[31];
        unsigned char len;  // 0: empty slot
        int prev;
        int code;
    };
    std::vector<CachedWord> words_;
    const CLanguageSpec* words_spec_ = nullptr;
    unsigned words_epoch_ = 0;
    int words_lines_ = 0;
    // Token text report.
    char* report_ = nullptr;
    int report_size_ = 0;
    bool report_plain_ = false;
};

// Scans a whole line in measure mode: stores up to `max` tokens in `out`
// and returns how many the line has (which may be more than max). The
// lexer's EndState, Depth and Entry then describe the line's end.
int LexLine(CLexer& lexer, const LexLineSetup& setup, const char* text, int len,
            LexToken* out, int max);

// What LexTokenAt reports.
struct LexTokenInfo {
    int code;         // the token's code with its 0x8000 mark; LEX_TOK_END past the text
    int start, end;   // the token's offsets in the line (both len past the text)
    int start_column; // display columns: the token's first, and the one after it
    int end_column;
    int end_state;    // the token's code without its mark; past the text the line's
                      // end state (LEX_END_CONSTRUCT, LEX_END_RUNS_ON or 310)
    int entry;        // construct entry and its flags at that point (-1 and 0: none)
    int entry_flags;
};

// The token at display column `column` (1-based) of a line: runs the line
// in measure mode up to that column. With `text` (size bytes) the token's
// word is reported as ReportTokenText says. Returns info->code.
int LexTokenAt(CLexer& lexer, const LexLineSetup& setup, const char* line, int len, int column,
               LexTokenInfo* info, char* text = nullptr, int size = 0, bool plain_words = false);
