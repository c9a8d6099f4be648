// Strings, comments and the other delimiters of the language table, Ruby's
// character constants and run-time literals, Perl's quote-likes, and the
// characters that are none of these.
#include "editor/lexer_impl.h"

#include "editor/langdict.h"
#include "editor/langspec.h"
#include "opsys/strlib.h"

#include <algorithm>
#include <cstring>

using namespace lexrules;

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
    if ((pt == kC || pt == kJava) && kCPlainOperators.has[c] &&
        !(lx.delim_first_[c >> 3] & (1u << (c & 7))))
        return LEX_TOK_OPERATOR;

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
            if (k >= end) {
                *out_end = end;
                return LEX_TOK_MALFORMED;
            }
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
