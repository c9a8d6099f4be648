// The colouring lexer's driver and token scanner: blanks, words and their
// dictionary classes, directive marks, labels, strings, comments and the
// other delimiters of the language table, open multi-line constructs.
// Numbers are read in lexnum.cpp.
#include "editor/lexer_impl.h"

#include "VmEngine/vmlex.h"
#include "editor/langdict.h"
#include "editor/langspec.h"
#include "opsys/strlib.h"

#include <algorithm>
#include <atomic>
#include <cstring>

using namespace lexrules;

namespace {

constexpr int kMaxDepth = 255;  // the engine keeps depths in one byte
constexpr int kNoLimit = 0x7FFFFFFF;

bool InList(int c, const char* list) { return c && std::strchr(list, c) != nullptr; }

// The operator characters of C/C++ and Java.
struct CharSet {
    bool has[256] = {};
    constexpr explicit CharSet(const char* list) {
        for (; *list; ++list)
            has[static_cast<unsigned char>(*list)] = true;
    }
};
constexpr CharSet kCOperators("&|+-=<>[](){}!~^,;*/%:?.");
bool IsPunctChar(int c) { return c > 32 && c < 127 && !IsAsciiAlpha(c) && !IsDigit(c); }
bool IsPrintableChar(int c) { return c > 32 && c != 127; }

// Mixed-case compare of a word with a lower-case text of the same length.
bool WordIs(const char* w, int n, const char* lower) {
    int k = 0;
    for (; k < n && lower[k]; ++k)
        if (Lower(static_cast<unsigned char>(w[k])) != lower[k])
            return false;
    return k == n && !lower[k];
}

} // namespace

bool lexrules::IsLetter(unsigned char c) {
    if (c < 128)
        return IsAsciiAlpha(c);
    return CharIsAlpha(c) != 0;
}

int lexrules::ClassifyTokenChar(int c) {
    if (c == 0)
        return -1;
    return IsBlank(c) ? LEX_TOK_BLANK : LEX_TOK_WORD;
}

int LexColourKind(int code) {
    code &= ~LEX_TOK_RUNS_ON;
    return code >= 300 && code <= 334 ? 2 * (code - 300) : 0;
}

// ---- helpers ---------------------------------------------------------------

int CLexer::Impl::Advance(const CLexer& lx, int col, int from, int to) {
    const unsigned char* t = reinterpret_cast<const unsigned char*>(lx.text_);
    for (int k = from; k < to; ++k)
        col += t[k] >= 32 ? 1 : Width(lx, t[k], col);
    return col;
}

int CLexer::Impl::MatchAt(const CLexer& lx, int which, int mask, int n, int pos, int end,
                          int col, int* entry, int escape) {
    if (!lx.spec_)
        return -1;
    // What stands before the position: nothing but blanks counts as the
    // line's start (a token-less place), else the class of the character.
    int token = pos <= lx.lead_ ? -1 : ClassifyTokenChar(static_cast<unsigned char>(lx.text_[pos - 1]));
    int e = 0;
    const char* hit =
        MatchLanguageDelimiter(lx.lang_, which, mask, n, lx.text_ + pos, token, escape, col, &e);
    if (!hit)
        return -1;
    int after = static_cast<int>(hit - lx.text_);
    if (after <= pos || after > end)
        return -1;
    *entry = e;
    return after;
}

void CLexer::Impl::Record(CLexer& lx, int entry) {
    entry &= 0xFF;
    if (entry >= LANG_DELIM_COUNT) {
        lx.entry_ = -1;
        lx.entry_flags_ = 0;
        return;
    }
    lx.entry_ = entry;
    lx.entry_flags_ = lx.spec_ ? static_cast<int>(lx.spec_->delimiters[entry].flags) : 0;
}

int CLexer::Impl::EntryToken(const CLexer& lx, int entry) {
    entry &= 0xFF;
    if (!lx.spec_ || entry >= LANG_DELIM_COUNT)
        return LEX_TOK_OTHER;
    int t = lx.spec_->delimiters[entry].token;
    return t < 0 ? LEX_TOK_OTHER : t;
}

// ---- open constructs -------------------------------------------------------

int CLexer::Impl::ScanConstruct(CLexer& lx, int from, int to, int col, int start_entry) {
    int n = start_entry < 0 ? -1 : FindShortestPrefixDelimiter(lx.lang_, start_entry);
    const int which = lx.nests_ ? 2 : 0;
    // Ruby's run-time strings honour backslash escapes (here-documents end
    // at their terminator line whatever it holds).
    bool escapes = false;
    if (lx.ptype_ == kRuby && n >= LANG_DELIM_FILE && n < LANG_DELIM_COUNT && lx.spec_)
        escapes = !(lx.spec_->delimiters[n].flags & DELIM_NO_TOKEN);
    const char* t = lx.text_;
    int k = from;
    while (k < to) {
        if (escapes && t[k] == '\\') {
            int step = std::min(2, to - k);
            col = Advance(lx, col, k, k + step);
            k += step;
            continue;
        }
        int e = 0;
        int after = Match(lx, which, DELIM_REGION, n, k, to, col, &e);
        if (after > 0) {
            if (lx.nests_ && !(e & DELIM_MATCH_CLOSE))
                lx.depth_ = std::min(lx.depth_ + 1, kMaxDepth);
            else
                --lx.depth_;
            col = Advance(lx, col, k, after);
            k = after;
            if (lx.depth_ <= 0) {
                lx.depth_ = 0;
                break;
            }
            continue;
        }
        col += Width(lx, static_cast<unsigned char>(t[k]), col);
        ++k;
    }
    return k;
}

// ---- words -----------------------------------------------------------------

bool CLexer::Impl::WordStart(const CLexer& lx, int pos, int end) {
    const char* t = lx.text_;
    const int pt = lx.ptype_;
    const int c = static_cast<unsigned char>(t[pos]);
    const int n1 = pos + 1 < end ? static_cast<unsigned char>(t[pos + 1]) : 0;
    const int n2 = pos + 2 < end ? static_cast<unsigned char>(t[pos + 2]) : 0;
    if (pt == kForth)
        return lx.last_tok_ == -1 || lx.last_tok_ == LEX_TOK_BLANK;
    if (IsLetter(static_cast<unsigned char>(c)))
        return true;
    switch (c) {
    case '_': return pt != kMatlab;
    case '.': return !IsDigit(n1) && (lx.rtype_ == kXBase || pt == kFortran);
    case '?':
    case '!': return pt == kRexx;
    case '/': return pt == kHtml;
    case '\'': return (pt == kAda || pt == kVhdl) && n2 != '\'';
    case '\\': return pt == kVerilog;
    case '$':
        if (pt == kPerl)
            return n1 != '{';
        if (pt == kPhp)
            return IsLetter(static_cast<unsigned char>(n1)) || n1 == '_' ||
                   (n1 == '$' && (IsLetter(static_cast<unsigned char>(n2)) || n2 == '_'));
        return pt == kRuby;
    case '@':
        if (pt == kPerl)
            return IsLetter(static_cast<unsigned char>(n1)) || n1 == '_';
        return pt == kSql || pt == kRuby;
    case '&':
    case '%': return pt == kPerl && (IsLetter(static_cast<unsigned char>(n1)) || n1 == '_');
    default: return false;
    }
}

int CLexer::Impl::ReadWord(const CLexer& lx, int pos, int end) {
    const char* t = lx.text_;
    const int pt = lx.ptype_;
    const int c0 = static_cast<unsigned char>(t[pos]);
    int k = pos + 1;
    if (pt == kVerilog && c0 == '\\') {
        while (k < end && !IsBlank(t[k]))
            ++k;
        return k;
    }
    if (pt == kRuby && c0 == '$' && k < end) {
        int n1 = static_cast<unsigned char>(t[k]);
        if (InList(n1, "!@&`'+123456789~=/\\,;.<>_0*$?:\""))
            return k + 1;
        if (n1 == '-') {
            if (k + 1 < end && InList(static_cast<unsigned char>(t[k + 1]), "0adFiIlpvw"))
                return k + 2;
            ++k;
        }
    }
    if (((pt == kRuby || pt == kSql) && c0 == '@' && k < end && t[k] == '@') ||
        (pt == kPhp && c0 == '$' && k < end && t[k] == '$'))
        ++k;
    if (pt == kPerl && !IsLetter(static_cast<unsigned char>(c0)) && k < end &&
        IsPunctChar(static_cast<unsigned char>(t[k])))
        ++k;
    const bool dotted = c0 == '.';
    while (k < end) {
        const int ch = static_cast<unsigned char>(t[k]);
        if (pt == kForth) {
            if (IsPrintableChar(ch) && ch != '"') {
                ++k;
                continue;
            }
            break;
        }
        if (IsAlnum(static_cast<unsigned char>(ch)) || ch == '_') {
            ++k;
            continue;
        }
        if (dotted && ch == '.')
            return k + 1;
        bool more = false;
        switch (pt) {
        case kCobol: more = ch == '-'; break;
        case kProgress: more = InList(ch, "-#$%&"); break;
        case kDataFlex: more = ch == '.' || ch == '$'; break;
        case kRexx: more = ch == '?' || ch == '!'; break;
        case kPl1: more = InList(ch, "@#$"); break;
        case kVerilog: more = ch == '$'; break;
        case kRuby:
            if (ch == '?' && !(k + 1 < end && IsLetter(static_cast<unsigned char>(t[k + 1]))))
                return k + 1;
            break;
        default: break;
        }
        if (!more)
            break;
        ++k;
    }
    return k;
}

int CLexer::Impl::Lookup(CLexer& lx, int pos, int wend, int prev) {
    const int n = wend - pos;
    const char* w = lx.text_ + pos;
    // Words met before are answered from the lexer's own table, unless the
    // caller wants the stored spelling reported.
    CLexer::CachedWord* slot = nullptr;
    if (!lx.report_ && n < int(sizeof slot->word) && !lx.words_.empty()) {
        unsigned h = 2166136261u ^ static_cast<unsigned>(prev);
        for (int k = 0; k < n; ++k)
            h = (h ^ static_cast<unsigned char>(w[k])) * 16777619u;
        slot = &lx.words_[h & (lx.words_.size() - 1)];
        if (slot->len == n && slot->prev == prev && std::memcmp(slot->word, w, size_t(n)) == 0)
            return slot->code;
    }
    int code = 0;
    if (n <= DICT_WORD_MAX)
        code = LookupLanguageKeywordN(w, n, lx.lang_, prev, lx.report_,
                                      lx.report_ ? lx.report_size_ : 0);
    if (code <= 0)
        code = LEX_TOK_WORD;
    if (slot) {
        std::memcpy(slot->word, w, size_t(n));
        slot->len = static_cast<unsigned char>(n);
        slot->prev = prev;
        slot->code = code;
    }
    if (code == LEX_TOK_WORD && lx.report_ && lx.report_plain_)
        CopyStringBounded(lx.report_, lx.text_ + pos,
                          static_cast<size_t>(std::min(n, lx.report_size_ - 1)));
    return code;
}

int CLexer::Impl::WordToken(CLexer& lx, int pos, int wend, int col, int prev, int* out_end) {
    const char* t = lx.text_;
    const int pt = lx.ptype_;
    const int end = lx.lim_end_;
    *out_end = wend;
    if (pt == kBasic || pt == kBatch || pt == kSql) {
        int e = 0;
        if (Match(lx, 1, DELIM_SINGLE, -1, pos, end, col, &e) > 0) {
            Record(lx, e);
            *out_end = end;
            return EntryToken(lx, e) | LEX_TOK_RUNS_ON;
        }
    }
    if (pt == kRuby) {
        size_t n = static_cast<size_t>(std::min(wend - pos, int(sizeof lx.last_word_) - 1));
        std::memcpy(lx.last_word_, t + pos, n);
        lx.last_word_[n] = 0;
    }
    if (prev != LEX_TOK_DIRECTIVE) {
        if (wend < lx.first_ && pt != kForth && pt != kPerl)
            return LEX_TOK_WORD;
        if (pt == kHtml && lx.depth_ == 0)
            return LEX_TOK_WORD;
    }
    int code = Lookup(lx, pos, wend, prev);
    if (code == LEX_TOK_WORD) {
        if (pt == kForth) {
            int e = 0;
            const int c0 = static_cast<unsigned char>(t[pos]);
            if (IsDigit(c0) || !IsPrintableChar(c0) ||
                Match(lx, 1, DELIM_SINGLE | DELIM_REGION, -1, pos, end, col, &e) > 0)
                return -1;
        }
        if (prev == LEX_TOK_DIRECTIVE)
            return code;
        return Labels(lx, pos, wend, out_end);
    }
    if (code == LEX_TOK_DIRECTIVE) {
        if (prev == LEX_TOK_DIRECTIVE) {
            if (pt == kC && wend - pos >= 7 && StrCmpNoCaseN(t + pos, "include", 7) == 0)
                lx.after_include_ = true;
            return code;
        }
        if ((pt == kCobol && WordIs(t + pos, wend - pos, "copy")) ||
            (pt == kDataFlex && WordIs(t + pos, wend - pos, "use")))
            return code;
        if (lx.hash_dirs_ || pt == kCobol || pt == kProgress || pt == kPl1 || pt == kVerilog)
            return Labels(lx, pos, wend, out_end);
        if (pt == kHtml)
            return LEX_TOK_OTHER;
        return code;
    }
    if (code == LEX_TOK_VARIABLE && pt == kPerl) {
        const int n = wend - pos;
        const bool two = WordIs(t + pos, n, "s") || WordIs(t + pos, n, "tr") || WordIs(t + pos, n, "y");
        int q = FindQuoteLikeEnd(t, wend, end, 0, two ? 2 : 1);
        if (q > 0)
            *out_end = q;
    }
    return code;
}

int CLexer::Impl::Labels(CLexer& lx, int pos, int wend, int* out_end) {
    const char* t = lx.text_;
    const int pt = lx.ptype_;
    const int end = lx.lim_end_;
    if (lx.depth_ > 0)
        return LEX_TOK_OTHER;  // inside an HTML tag
    const int nc = wend < end ? static_cast<unsigned char>(t[wend]) : 0;
    const int nc2 = wend + 1 < end ? static_cast<unsigned char>(t[wend + 1]) : 0;
    if (pt == kBatch && pos > 0 && t[pos - 1] == ':')
        return LEX_TOK_LABEL;
    if (nc == ':' && (lx.last_tok_ == -1 || pt == kSmalltalk)) {
        switch (pt) {
        case kC:
            if (nc2 != ':')
                return LEX_TOK_LABEL;
            break;
        case kAsm:
        case kDataFlex:
        case kRexx:
        case kPl1:
        case kSmalltalk:
        case kPerl: return LEX_TOK_LABEL;
        case kProgress:
            if (!IsAlnum(static_cast<unsigned char>(nc2)))
                return LEX_TOK_LABEL;
            break;
        default: break;
        }
    }
    if (pt == kIni && pos > 0 && t[pos - 1] == '[') {
        const void* close = std::memchr(t + pos, ']', static_cast<size_t>(end - pos));
        if (!close)
            return LEX_TOK_OPERATOR;
        *out_end = static_cast<int>(static_cast<const char*>(close) - t);
        return LEX_TOK_LABEL;
    }
    if (pt == kRuby) {
        const int c0 = static_cast<unsigned char>(t[pos]);
        if (c0 >= 'A' && c0 <= 'Z' && lx.last_nb_ == -1)
            return LEX_TOK_LABEL;
        if (c0 == '$' || c0 == '@') {
            const int n = wend - pos;
            if (c0 == '$' && n >= 2 && t[pos + 1] == '-' &&
                !(n == 3 && InList(static_cast<unsigned char>(t[pos + 2]), "0adFiIlpvw")))
                return LEX_TOK_MALFORMED;
            if (n == 2 && t[pos + 1] == '@')
                return LEX_TOK_MALFORMED;
            return LEX_TOK_VARIABLE;
        }
    }
    return LEX_TOK_WORD;
}

// ---- directive marks, strings, delimiters ----------------------------------

int CLexer::Impl::Directive(CLexer& lx, int pos, int col, int* out_end) {
    const char* t = lx.text_;
    const int pt = lx.ptype_;
    const int end = lx.lim_end_;
    const bool html = pt == kHtml;
    if (lx.last_tok_ != -1 && pt != kCobol && !html && pt != kProgress) {
        if (pt == kC) {
            if (pos + 1 < end && t[pos + 1] == '#') {
                *out_end = pos + 2;
                return LEX_TOK_DIRECTIVE;
            }
            *out_end = pos + 1;
            return LEX_TOK_OTHER;
        }
        *out_end = pos + 1;
        return LEX_TOK_OPERATOR;
    }
    int k = pos + 1;
    const bool hash = html && k < end && t[k] == '#';
    if (hash)
        ++k;
    int w = k;
    while (w < end && IsBlank(t[w]))
        ++w;
    // The word after the mark, read as a directive word: nothing else
    // changes the lexer's state here, since what is read may be dropped.
    int code = -1, wend = w;
    if (w < end) {
        const int wcol = Advance(lx, col, pos, w);
        if (WordStart(lx, w, end)) {
            wend = ReadWord(lx, w, end);
            code = WordToken(lx, w, wend, wcol, LEX_TOK_DIRECTIVE, &wend);
        } else if (html && IsDigit(t[w])) {
            code = ScanNumber(lx, w, end, true, &wend);
        }
    }
    if (!html) {
        if (code == LEX_TOK_DIRECTIVE) {
            *out_end = wend;
            return code;
        }
        *out_end = pos + 1;
        return LEX_TOK_OPERATOR;
    }
    if (code < 0) {
        *out_end = k;
        return LEX_TOK_OPERATOR;
    }
    if (wend >= end || t[wend] != ';') {
        *out_end = wend;
        return LEX_TOK_MALFORMED;
    }
    *out_end = wend + 1;
    if ((hash && code == LEX_TOK_DECIMAL) || (!hash && code == LEX_TOK_DIRECTIVE))
        return LEX_TOK_DIRECTIVE;
    return LEX_TOK_OTHER;
}

// The string that opens at text[pos], or -1 when none opens there.
int CLexer::Impl::StringAt(CLexer& lx, int pos, int col, int* out_end) {
    const char* t = lx.text_;
    const int pt = lx.ptype_;
    const int end = lx.lim_end_;
    const int c = static_cast<unsigned char>(t[pos]);
    if (pt == kRuby)
        return -1;
    if (c == '\'' && pt == kMatlab) {
        const int before = pos > 0 ? static_cast<unsigned char>(t[pos - 1]) : 0;
        if (before && !InList(before, "{[( \t,;=")) {
            *out_end = pos + 1;
            return LEX_TOK_OPERATOR;  // transpose
        }
        int k = pos + 1;
        while (k < end) {
            if (t[k] == '\'') {
                if (k + 1 < end && t[k + 1] == '\'') {
                    k += 2;
                    continue;
                }
                *out_end = k + 1;
                return LEX_TOK_STRING;
            }
            ++k;
        }
        *out_end = end;
        return LEX_TOK_OTHER;
    }
    bool opens = false;
    if (c == '\'') {
        if (!lx.quote_strings_ || pt == kCicode || pt == kForth || pt == kLisp ||
            pt == kVerilog || pt == kBasic)
            opens = false;
        else if (pt == kAda || pt == kVhdl)
            opens = pos + 2 < end && t[pos + 2] == '\'';
        else
            opens = true;
    } else if (c == '"') {
        opens = pt != kPl1 && pt != kMatlab && (pt != kHtml || lx.depth_ > 0);
    } else if (c == '<') {
        opens = lx.after_include_;
    } else if (c == '`') {
        opens = pt == kPerl || pt == kPhp;
    }
    if (!opens)
        return -1;

    const int close = c == '<' ? '>' : c;
    int esc = 0;
    if (pt == kC || pt == kEiffel || pt == kJava || pt == kLimbo || pt == kLisp || pt == kPhp ||
        (pt == kPerl && c != '\''))
        esc = '\\';
    else if (pt == kCicode)
        esc = '^';
    int k = pos + 1;
    bool closed = false;
    while (k < end) {
        if (esc && t[k] == esc) {
            k += 2;
            continue;
        }
        if (t[k] == close) {
            ++k;
            closed = true;
            break;
        }
        ++k;
    }
    k = std::min(k, end);
    int code;
    if (c == '<')
        code = closed ? LEX_TOK_DIRECTIVE : LEX_TOK_WORD;
    else if (c == '\'')
        code = pt == kSmalltalk ? LEX_TOK_STRING : LEX_TOK_CHAR_STRING;
    else if (c == '"')
        code = pt == kSmalltalk ? LEX_TOK_SMALLTALK_TEXT : LEX_TOK_STRING;
    else
        code = LEX_TOK_STRING;
    lx.after_include_ = false;
    if (closed && k < end) {
        const int s = static_cast<unsigned char>(t[k]);
        if (pt == kRexx && (s == 'x' || s == 'X')) {
            ++k;
            code = LEX_TOK_HEX;
        } else if ((pt == kRexx && (s == 'b' || s == 'B')) || (pt == kPl1 && s == 'B')) {
            ++k;
            code = LEX_TOK_BINARY;
        }
    }
    if (!closed) {
        int e = 0;
        if (pt == kSmalltalk) {
            lx.depth_ = 1;
            if (Match(lx, 1, DELIM_REGION, -1, pos, lx.len_, col, &e) > 0)
                Record(lx, e);
            code |= LEX_TOK_RUNS_ON;
        } else if (Match(lx, 1, DELIM_SINGLE, -1, pos, lx.len_, col, &e) > 0) {
            Record(lx, e);
            code |= LEX_TOK_RUNS_ON;
        }
    }
    *out_end = k;
    return code;
}

// Comments and the other delimiters; -1 when none applies.
int CLexer::Impl::Delimiters(CLexer& lx, int pos, int col, int* out_end) {
    const char* t = lx.text_;
    const int pt = lx.ptype_;
    const int end = lx.lim_end_;
    int e = 0;
    const int mask = lx.fixed_ ? DELIM_SINGLE | DELIM_VARIANT : DELIM_SINGLE;
    const int escape = pt == kC || pt == kEiffel || pt == kJava || pt == kLimbo || pt == kLisp ||
                       pt == kPhp || pt == kPerl;
    int after = Match(lx, 1, mask, -1, pos, end, col, &e);
    if (after > 0) {
        Record(lx, e);
        const int code = EntryToken(lx, e) | LEX_TOK_RUNS_ON;
        const CLanguageDelimiter& d = lx.spec_->delimiters[lx.entry_ >= 0 ? lx.entry_ : 0];
        if (lx.entry_ < 0 || !d.close[0]) {
            *out_end = end;
            return code;
        }
        const bool form_feed = (d.flags & 0x400) != 0;
        int k = after;
        int c = Advance(lx, col, pos, k);
        while (k < end) {
            if (form_feed && t[k] == '\f') {
                *out_end = k;
                return code;
            }
            int e2 = 0;
            int close = Match(lx, 0, mask, lx.entry_, k, end, c, &e2, escape);
            if (close > 0) {
                *out_end = close;
                return code;
            }
            c += Width(lx, static_cast<unsigned char>(t[k]), c);
            ++k;
        }
        *out_end = end;
        return form_feed ? code : (LEX_TOK_OTHER | LEX_TOK_RUNS_ON);
    }
    after = Match(lx, 1, DELIM_REGION, -1, pos, end, col, &e);
    if (after > 0) {
        lx.depth_ = 1;
        Record(lx, e);
        *out_end = ScanConstruct(lx, after, end, Advance(lx, col, pos, after), lx.entry_);
        int code = EntryToken(lx, e);
        return lx.depth_ > 0 ? code | LEX_TOK_RUNS_ON : code;
    }
    return -1;
}

int CLexer::Impl::Rest(CLexer& lx, int pos, int col, int prev, int* out_end) {
    const char* t = lx.text_;
    const int pt = lx.ptype_;
    const int end = lx.lim_end_;
    const bool html = pt == kHtml;
    const int c = static_cast<unsigned char>(t[pos]);
    const int n1 = pos + 1 < end ? static_cast<unsigned char>(t[pos + 1]) : 0;
    const int n2 = pos + 2 < end ? static_cast<unsigned char>(t[pos + 2]) : 0;
    *out_end = pos + 1;

    // Numbers.
    bool number = IsDigit(c) || (c == '.' && IsDigit(n1) && pt != kRuby) ||
                  (c == '$' && IsHexDigit(n1) &&
                   (pt == kPascal ||
                    (pt == kAsm && (IsHexDigit(n2) || IsBlank(n2) || pos + 2 >= end)))) ||
                  (c == '\'' && pt == kVerilog && InList(Lower(n1), "bodh"));
    if (number)
        return ScanNumber(lx, pos, end, prev == LEX_TOK_DIRECTIVE, out_end);

    // Directive marks.
    if (prev == 0) {
        bool mark = false;
        switch (c) {
        case '#': mark = lx.hash_dirs_; break;
        case '&':
            mark = pt == kProgress ||
                   (html && lx.depth_ == 0 && pos + 1 < end && !IsBlank(n1));
            break;
        case '$':
            mark = (pt == kCobol && col == (lx.fixed_ ? 7 : 1)) || pt == kAsm;
            break;
        case '%': mark = pt == kPl1 || pt == kAsm; break;
        case '`': mark = pt == kVerilog; break;
        default: break;
        }
        if (mark)
            return Directive(lx, pos, col, out_end);
    }

    int code = StringAt(lx, pos, col, out_end);
    if (code >= 0)
        return code;

    if (pt == kSmalltalk && c == '$') {
        *out_end = std::min(pos + 2, end);
        return LEX_TOK_CHAR_STRING;
    }
    if (!html) {
        code = Delimiters(lx, pos, col, out_end);
        if (code >= 0)
            return code;
    }
    if (pt == kRuby) {
        if (c == '?' && pos + 1 < end) {
            if (IsBlank(n1))
                return LEX_TOK_OPERATOR;  // the conditional operator
            int k = pos + 1;
            for (int i = 0; i < 2 && k + 2 < end && t[k] == '\\' &&
                            (t[k + 1] == 'C' || t[k + 1] == 'M') && t[k + 2] == '-';
                 ++i)
                k += 3;
            if (t[k] == '\\') {
                if (k + 1 >= end) {
                    *out_end = end;
                    return LEX_TOK_MALFORMED;
                }
                *out_end = k + 2;
                return LEX_TOK_DECIMAL;
            }
            *out_end = k + 1;
            return LEX_TOK_DECIMAL;
        }
        int e = -1, length = 0, token = 0;
        const int before = pos > 0 ? static_cast<unsigned char>(t[pos - 1]) : 0;
        if (lang_Ruby_string(t + pos, before, lx.last_word_, lx.lang_, &e, &length, &token) &&
            e >= LANG_DELIM_FILE && e < LANG_DELIM_COUNT) {
            // Making the entry may have switched nesting on for the language.
            lx.nests_ = (lx.spec_->flags & LANG_F_ENTRY4) != 0;
            lx.depth_ = 1;
            Record(lx, e);
            const int from = std::min(pos + std::max(length, 1), end);
            *out_end = ScanConstruct(lx, from, end, Advance(lx, col, pos, from), e);
            code = token < 0 ? LEX_TOK_OTHER : token;
            return lx.depth_ > 0 ? code | LEX_TOK_RUNS_ON : code;
        }
    }
    if (pt == kNone || pt == kText)
        return LEX_TOK_WORD;
    if (pt == kForth)
        return LEX_TOK_OTHER;
    if ((pt == kCobol || pt == kSmalltalk) && c == '.' && (pos + 1 >= end || IsBlank(n1)))
        return LEX_TOK_OTHER;
    if (pt == kPerl && c == '/') {
        const int last = lx.last_nb_ & ~LEX_TOK_RUNS_ON;
        if (lx.last_nb_ == -1 || last == LEX_TOK_OPEN_BLANK ||
            (last == LEX_TOK_OPERATOR && !(pos > 0 && t[pos - 1] == '<'))) {
            int q = FindQuoteLikeEnd(t, pos + 1, end, '/', 1);
            if (q > 0) {
                *out_end = q;
                return LEX_TOK_VARIABLE;
            }
        }
        return LEX_TOK_OPERATOR;
    }
    int e = 0;
    if (!html) {
        int after = Match(lx, 0, DELIM_REGION, -1, pos, end, col, &e);
        if (after > 0) {
            *out_end = after;
            return LEX_TOK_OTHER;
        }
    } else {
        if (Match(lx, 1, DELIM_REGION, -1, pos, end, col, &e) > 0) {
            lx.depth_ = 1;
            Record(lx, e);
            return LEX_TOK_OPEN_BLANK;
        }
        int after = Match(lx, 0, DELIM_REGION, -1, pos, end, col, &e);
        if (after > 0) {
            lx.depth_ = 0;
            *out_end = after;
            return LEX_TOK_OPEN_BLANK;
        }
        if (c == '"' && lx.depth_ == 0)
            return LEX_TOK_MALFORMED;
        return lx.depth_ > 0 ? LEX_TOK_OPERATOR : LEX_TOK_WORD;
    }

    if (c == 127)
        return LEX_TOK_OTHER;
    if (pt == kC || pt == kJava) {
        if (kCOperators.has[c])
            return LEX_TOK_OPERATOR;
        if (c == '\\') {
            int k = pos + 1;
            while (k < end && IsBlank(t[k]))
                ++k;
            if (k >= end)
                return LEX_TOK_OPERATOR;
        }
        return LEX_TOK_OTHER;
    }
    if (pt == kPhp)
        return InList(c, "&|+-=<>[](){}!~^,;*/%:?.@") ? LEX_TOK_OPERATOR : LEX_TOK_OTHER;
    if (pt == kMatlab)
        return InList(c, "*@:,{}.!()%;\\/[]+-^'<>=~&|") ? LEX_TOK_OPERATOR : LEX_TOK_OTHER;
    return LEX_TOK_OPERATOR;
}

int CLexer::Impl::Scan(CLexer& lx, int pos, int col, int prev, int* out_end) {
    const char* t = lx.text_;
    if (pos >= lx.len_) {
        *out_end = lx.len_;
        return LEX_TOK_END;
    }
    if (pos >= lx.lim_end_) {
        *out_end = lx.len_;
        return lx.limit_kind_ | LEX_TOK_RUNS_ON;
    }
    const int end = lx.lim_end_;
    if (lx.depth_ > 0 && lx.ptype_ != kHtml) {
        *out_end = ScanConstruct(lx, pos, end, col, lx.entry_);
        Record(lx, lx.entry_);
        int code = EntryToken(lx, lx.entry_);
        return lx.depth_ > 0 ? code | LEX_TOK_RUNS_ON : code;
    }
    if (lx.fixed_ && col == 1) {
        const int mask = DELIM_SINGLE | DELIM_VARIANT;
        int e = 0;
        if (Match(lx, 1, mask, -1, pos, end, col, &e) > 0) {
            Record(lx, e);
            *out_end = end;
            return EntryToken(lx, e) | LEX_TOK_RUNS_ON;
        }
        // The prefix holds the characters in columns 1 to 6, counted as
        // painted, so a tab-indented line splits where its expansion does.
        int k = pos + 1, c = Advance(lx, col, pos, k);
        while (k < end && c <= 6 && Match(lx, 1, mask, -1, k, end, c, &e) < 0) {
            c += Width(lx, static_cast<unsigned char>(t[k]), c);
            ++k;
        }
        *out_end = k;
        return LEX_TOK_LABEL;
    }
    const int c = static_cast<unsigned char>(t[pos]);
    if (IsBlank(c)) {
        int k = pos + 1;
        while (k < end && IsBlank(t[k]))
            ++k;
        *out_end = k;
        return lx.depth_ > 0 ? LEX_TOK_OPEN_BLANK : LEX_TOK_BLANK;
    }
    if (WordStart(lx, pos, end)) {
        int wend = ReadWord(lx, pos, end);
        int code = WordToken(lx, pos, wend, col, prev, out_end);
        if (code >= 0)
            return code;
    }
    return Rest(lx, pos, col, prev, out_end);
}

// ---- Perl quote-likes --------------------------------------------------------

namespace {
int ClosingOf(int c) {
    switch (c) {
    case '[': return ']';
    case '(': return ')';
    case '{': return '}';
    case '<': return '>';
    default: return c;
    }
}
} // namespace

int FindQuoteLikeEnd(const char* t, int from, int end, int delim, int parts) {
    int k = from;
    int open = delim;
    if (!delim) {
        while (k < end && IsBlank(t[k]))
            ++k;
        if (k >= end || !IsPunctChar(static_cast<unsigned char>(t[k])))
            return -1;
        open = static_cast<unsigned char>(t[k]);
        ++k;
    }
    int close = ClosingOf(open);
    for (int part = 1; part <= parts; ++part) {
        int depth = 1;
        for (;; ++k) {
            if (k >= end)
                return -1;
            const int ch = static_cast<unsigned char>(t[k]);
            if (ch == '\\') {
                ++k;
                continue;
            }
            if (open != close && ch == open) {
                ++depth;
            } else if (ch == close && --depth == 0) {
                break;
            }
        }
        ++k;  // past the closing delimiter
        if (part < parts && open != close) {
            // s{a}{b}: the second part has brackets of its own.
            while (k < end && IsBlank(t[k]))
                ++k;
            if (k >= end)
                return -1;
            open = static_cast<unsigned char>(t[k]);
            close = ClosingOf(open);
            ++k;
        }
    }
    while (k < end && IsAsciiAlpha(t[k]))
        ++k;
    return k;
}

// ---- the driver --------------------------------------------------------------

namespace {
std::atomic<unsigned> g_dict_epoch{0};
constexpr size_t kCachedWords = 512;  // a power of two
// Lines after which remembered keyword classes are dropped anyway.
constexpr int kCacheLines = 4096;
} // namespace

void LexDictionariesChanged() { g_dict_epoch.fetch_add(1, std::memory_order_release); }

CLexer::CLexer() { buf_.reserve(4098); }

void CLexer::Impl::PrepareLine(CLexer& lx) {
    std::memset(lx.delim_first_, 0, sizeof lx.delim_first_);
    if (!lx.spec_)
        return;
    if (lx.ptype_ == kRuby) {
        // Run-time entries come and go while a line is read.
        std::memset(lx.delim_first_, 0xFF, sizeof lx.delim_first_);
    } else {
        const bool fold = !(lx.spec_->flags & LANG_F_CASE);
        for (int i = 0; i < LANG_DELIM_FILE; ++i) {
            const CLanguageDelimiter& d = lx.spec_->delimiters[i];
            if (!d.flags)
                break;
            for (const char* text : {d.open, d.close}) {
                const unsigned char c = static_cast<unsigned char>(text[0]);
                if (!c)
                    continue;
                lx.delim_first_[c >> 3] |= static_cast<unsigned char>(1u << (c & 7));
                if (fold) {
                    const unsigned char u = static_cast<unsigned char>(CharToUpper(c));
                    lx.delim_first_[u >> 3] |= static_cast<unsigned char>(1u << (u & 7));
                }
            }
        }
    }
    const unsigned epoch = g_dict_epoch.load(std::memory_order_acquire);
    if (lx.words_.empty())
        lx.words_.resize(kCachedWords);
    if (lx.words_spec_ != lx.spec_ || lx.words_epoch_ != epoch || ++lx.words_lines_ > kCacheLines) {
        for (CachedWord& w : lx.words_)
            w.len = 0;
        lx.words_spec_ = lx.spec_;
        lx.words_epoch_ = epoch;
        lx.words_lines_ = 0;
    }
}

void CLexer::ReportTokenText(char* text, int size, bool plain_words) {
    report_ = text && size > 0 ? text : nullptr;
    report_size_ = report_ ? size : 0;
    report_plain_ = plain_words;
    if (report_)
        report_[0] = 0;
}

void CLexer::Begin(const LexLineSetup& s, const char* text, int len) {
    if (!text || len < 0)
        len = 0;
    lang_ = s.lang;
    spec_ = FindLanguageSpec(lang_);
    ptype_ = spec_ ? spec_->language : -2;
    rtype_ = (ptype_ == kClipper5 || ptype_ == kClipperS87 || ptype_ == kDBase ||
              ptype_ == kFoxPro)
                 ? kXBase
                 : ptype_;
    hash_dirs_ = rtype_ == kC || rtype_ == kDataFlex || rtype_ == kXBase;
    quote_strings_ = !(ptype_ == kNone || ptype_ == kText || ptype_ == kHtml);
    fixed_ = s.fixed_columns && (ptype_ == kCobol || ptype_ == kFortran);
    nests_ = spec_ && (spec_->flags & LANG_F_ENTRY4);
    tab_ = s.tab_width >= 1 && s.tab_width <= 100 ? s.tab_width : 8;
    raw_ = s.raw_columns;
    int token = -1;
    limit_col_ = spec_ ? FindLanguageDelimiterValue(lang_, fixed_ ? uint32_t{DELIM_VARIANT} : 0u, &token)
                       : kNoLimit;
    if (limit_col_ < 1)
        limit_col_ = kNoLimit;
    limit_kind_ = token < 0 ? LEX_TOK_OTHER : token;

    buf_.resize(static_cast<size_t>(len) + 2);
    buf_[0] = 0;
    if (len)
        std::memcpy(buf_.data() + 1, text, static_cast<size_t>(len));
    buf_[static_cast<size_t>(len) + 1] = 0;
    text_ = buf_.data() + 1;
    len_ = len;
    first_ = std::clamp(s.first, 0, len);
    lim_end_ = len;
    if (limit_col_ != kNoLimit) {
        int k = 0, c = 1;
        while (k < len && c <= limit_col_) {
            c += Impl::Width(*this, static_cast<unsigned char>(text_[k]), c);
            ++k;
        }
        lim_end_ = k;
    }
    Impl::PrepareLine(*this);
    lead_ = 0;
    while (lead_ < len && IsBlank(text_[lead_]))
        ++lead_;

    depth_ = s.depth > 0 ? std::min(s.depth, kMaxDepth) : 0;
    entry_ = -1;
    entry_flags_ = 0;
    if (depth_ > 0 && s.entry >= 0 && s.entry < LANG_DELIM_COUNT)
        Impl::Record(*this, s.entry);
    pos_ = 0;
    col_ = 1;
    last_tok_ = last_nb_ = -1;
    after_include_ = false;
    ended_ = false;
    end_state_ = -1;
    last_word_[0] = 0;
}

int CLexer::Next(LexToken* tk) {
    if (report_)
        report_[0] = 0;
    int end = len_;
    int code = ended_ ? LEX_TOK_END : Impl::Scan(*this, pos_, col_, 0, &end);
    if (code == LEX_TOK_END) {
        if (!ended_) {
            ended_ = true;
            if (depth_ > 0)
                end_state_ = LEX_END_CONSTRUCT;
            else if ((last_tok_ != -1 && (last_tok_ & LEX_TOK_RUNS_ON)) || col_ - 1 > limit_col_)
                end_state_ = LEX_END_RUNS_ON;
            else
                end_state_ = LEX_TOK_NONE;
        }
        if (tk)
            *tk = LexToken{len_, len_, col_, LEX_TOK_END};
        return LEX_TOK_END;
    }
    // A token always moves on and never crosses the end of the text.
    end = std::clamp(end, pos_ + 1, len_);
    if (tk)
        *tk = LexToken{pos_, end, col_, code};
    col_ = Impl::Advance(*this, col_, pos_, end);
    pos_ = end;
    const int bare = code & ~LEX_TOK_RUNS_ON;
    if (!(bare == LEX_TOK_BLANK && last_tok_ == -1))
        last_tok_ = code;
    if (bare != LEX_TOK_BLANK)
        last_nb_ = code;
    return code;
}

int CLexer::EndState() const { return end_state_; }

int LexLine(CLexer& lexer, const LexLineSetup& setup, const char* text, int len, LexToken* out,
            int max) {
    lexer.Begin(setup, text, len);
    int count = 0;
    LexToken t;
    while (lexer.Next(&t) != LEX_TOK_END) {
        if (out && count < max)
            out[count] = t;
        ++count;
    }
    return count;
}

int LexTokenAt(CLexer& lexer, const LexLineSetup& setup, const char* line, int len, int column,
               LexTokenInfo* info, char* text, int size, bool plain_words) {
    LexTokenInfo dummy;
    if (!info)
        info = &dummy;
    lexer.Begin(setup, line, len);
    lexer.ReportTokenText(text, size, plain_words);
    LexToken t;
    int code;
    while ((code = lexer.Next(&t)) != LEX_TOK_END) {
        const int after = lexer.Column();
        if (column < after) {
            *info = LexTokenInfo{code,  t.start, t.end, t.column, after, code & ~LEX_TOK_RUNS_ON,
                                 lexer.Entry(), lexer.EntryFlags()};
            lexer.ReportTokenText(nullptr, 0, false);
            return code;
        }
    }
    *info = LexTokenInfo{LEX_TOK_END, t.start, t.end, t.column, t.column, lexer.EndState(),
                         lexer.Entry(), lexer.EntryFlags()};
    lexer.ReportTokenText(nullptr, 0, false);
    return LEX_TOK_END;
}

// ---- engine state ------------------------------------------------------------

int LexStartState(VMB* buffer, int line, int lang, bool allow_backward, LexLineSetup* setup) {
    if (!setup)
        return 0;
    setup->depth = 0;
    setup->entry = -1;
    if (!IsLanguageFlag2000(lang))
        return 0;
    int b = 0, used = 0;
    int a = vm_scan_lex_state(buffer, line, lang, &b, &used,
                              allow_backward ? VMLEX_OPT_BACKWARD : 0u);
    if (a > 0) {
        setup->depth = a;
        setup->entry = b & 0xFF;
    }
    return used ? 1 : 0;
}
