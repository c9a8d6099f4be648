#pragma once
// Shared between the lexer's source files: the language numbers its rules
// name, character tests, and the scanner's functions.
#include "editor/lexer.h"

#include <cstring>

namespace lexrules {

// Language numbers (the parser type of a specification).
enum : int {
    kAda = 0, kAsm = 1, kBasic = 2, kBatch = 3, kC = 4, kCicode = 5, kClipper5 = 6,
    kClipperS87 = 7, kCobol = 8, kDataFlex = 9, kDBase = 10, kEiffel = 11, kForth = 12,
    kFortran = 13, kFoxPro = 14, kHtml = 15, kJava = 16, kLimbo = 17, kLisp = 18,
    kMatlab = 19, kModula = 20, kNone = 21, kParadox = 22, kPascal = 23, kPerl = 24,
    kPhp = 25, kPl1 = 26, kProgress = 27, kProlog = 28, kRexx = 29, kRuby = 30,
    kSmalltalk = 31, kSql = 32, kText = 33, kVerilog = 34, kVhdl = 35, kIni = 36,
    kCommands = 37,
    kXBase = kDBase,  // the rule type of Clipper 5, Clipper S87, dBase and FoxPro
};

inline bool IsDigit(int c) { return c >= '0' && c <= '9'; }
inline bool IsHexDigit(int c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
inline bool IsAsciiAlpha(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline int Lower(int c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
inline bool IsBlank(int c) { return c == ' ' || c == '\t'; }

inline bool InList(int c, const char* list) { return c && std::strchr(list, c) != nullptr; }
inline bool IsPunctChar(int c) { return c > 32 && c < 127 && !IsAsciiAlpha(c) && !IsDigit(c); }
inline bool IsPrintableChar(int c) { return c > 32 && c != 127; }

// A set of characters for quick tests.
struct CharSet {
    bool has[256] = {};
    constexpr explicit CharSet(const char* list) {
        for (; *list; ++list)
            has[static_cast<unsigned char>(*list)] = true;
    }
};
// The operator characters of C/C++ and Java, and those of them that can
// start nothing else there (no number, string, directive mark) unless a
// delimiter of the language begins with it.
inline constexpr CharSet kCOperators("&|+-=<>[](){}!~^,;*/%:?.");
inline constexpr CharSet kCPlainOperators("&|+-=>[](){}!~^,;*/%:?");
inline constexpr CharSet kAsciiWordChars(
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_");

// Mixed-case compare of a word with a lower-case text of the same length.
inline bool WordIs(const char* w, int n, const char* lower) {
    int k = 0;
    for (; k < n && lower[k]; ++k)
        if (Lower(static_cast<unsigned char>(w[k])) != lower[k])
            return false;
    return k == n && !lower[k];
}

// A letter in the ANSI code page (the editor font's OEM characters are
// converted first); bytes below 128 take the quick path.
bool IsHighLetter(unsigned char c);
inline bool IsLetter(unsigned char c) { return c < 128 ? IsAsciiAlpha(c) : IsHighLetter(c); }
inline bool IsAlnum(unsigned char c) { return IsDigit(c) || IsLetter(c); }

// 309 for a space or TAB, 320 for any other character, -1 for NUL.
int ClassifyTokenChar(int c);

} // namespace lexrules

struct CLexer::Impl {
    // The token at text[pos] (display column col); its end through *out_end.
    // prev is 0 from the driver, 308 for the word after a directive mark.
    static int Scan(CLexer& lx, int pos, int col, int prev, int* out_end);
    // The number that starts at text[pos] (the caller has checked that one
    // starts there); its end (never past `end`) through *out_end. `mark`:
    // read for an HTML character reference.
    static int ScanNumber(const CLexer& lx, int pos, int end, bool mark, int* out_end);

    static bool WordStart(const CLexer& lx, int pos, int end);
    static int ReadWord(const CLexer& lx, int pos, int end);
    // Steps after a word is read: keyword lookup, directives, labels. -1
    // when the word is to be read again as something else (Forth).
    static int WordToken(CLexer& lx, int pos, int wend, int col, int prev, int* out_end);
    // The dictionary class of the n characters at w (320 when none).
    static int Lookup(CLexer& lx, const char* w, int n, int prev);
    static int Labels(CLexer& lx, int pos, int wend, int* out_end);
    // Numbers, directive marks, strings, comments and single characters.
    static int Rest(CLexer& lx, int pos, int col, int prev, int* out_end);
    static int Directive(CLexer& lx, int pos, int col, int* out_end);
    static int StringAt(CLexer& lx, int pos, int col, int* out_end);
    static int Delimiters(CLexer& lx, int pos, int col, int* out_end);
    // Walks an open construct from `from` to its end delimiter (counting
    // nesting), or to `to`; the position after it.
    static int ScanConstruct(CLexer& lx, int from, int to, int col, int start_entry);

    // The delimiter of entry n (-1: any) matching at text[pos]; its end, or
    // -1 (also for a match that would pass `end`).
    static int Match(const CLexer& lx, int which, int mask, int n, int pos, int end, int col,
                     int* entry, int escape = 0) {
        if (pos >= end)
            return -1;
        const unsigned char c = static_cast<unsigned char>(lx.text_[pos]);
        if (!(lx.delim_first_[c >> 3] & (1u << (c & 7))))
            return -1;
        return MatchAt(lx, which, mask, n, pos, end, col, entry, escape);
    }
    static int MatchAt(const CLexer& lx, int which, int mask, int n, int pos, int end, int col,
                       int* entry, int escape);
    static void Record(CLexer& lx, int entry);
    static int EntryToken(const CLexer& lx, int entry);
    static int Width(const CLexer& lx, unsigned char c, int col) {
        if (lx.raw_ || c >= 32)
            return 1;
        return c == '\t' ? lx.tab_ - ((col - 1) % lx.tab_) : 2;
    }
    static void PrepareLine(CLexer& lx);
    static int Advance(const CLexer& lx, int col, int from, int to);
};

// Perl quote-likes: the end (exclusive, modifiers taken) of the construct
// whose delimiter follows `from` (blanks skipped) when `delim` is 0, or of
// the pattern closed by `delim` searched from `from`; `parts` delimited
// parts (2 for s, tr and y). -1 when it is not closed before `end`.
int FindQuoteLikeEnd(const char* text, int from, int end, int delim, int parts);
