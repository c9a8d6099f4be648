// Words of the colouring lexer: where a word starts and how far it goes in
// each language, its dictionary class, labels, and directive marks with the
// word after them.
#include "editor/lexer_impl.h"

#include "editor/langdict.h"
#include "editor/langspec.h"
#include "opsys/strlib.h"

#include <algorithm>
#include <cstring>

using namespace lexrules;

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
    if (pt != kForth)
        while (k < end && kAsciiWordChars.has[static_cast<unsigned char>(t[k])])
            ++k;
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

int CLexer::Impl::Lookup(CLexer& lx, const char* w, int n, int prev) {
    // Words met before are answered from the lexer's own table, unless the
    // caller wants the stored spelling reported.
    // Two places per hash: words that share one do not push each other out.
    CLexer::CachedWord* slot = nullptr;
    if (!lx.report_ && n < int(sizeof slot->word) && !lx.words_.empty()) {
        unsigned h = 2166136261u ^ static_cast<unsigned>(prev);
        for (int k = 0; k < n; ++k)
            h = (h ^ static_cast<unsigned char>(w[k])) * 16777619u;
        slot = &lx.words_[(h & (lx.words_.size() / 2 - 1)) * 2];
        for (int way = 0; way < 2; ++way)
            if (slot[way].len == n && slot[way].prev == prev &&
                std::memcmp(slot[way].word, w, size_t(n)) == 0)
                return slot[way].code;
        slot[1] = slot[0];
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
        CopyStringBounded(lx.report_, w,
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
    int code = Lookup(lx, t + pos, wend - pos, prev);
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
        if (prev == LEX_TOK_DIRECTIVE)
            return code;
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
            // Dictionaries may list a directive word with its mark, as
            // "#include" or "`define": look that form up too.
            const int m = k - pos, n = wend - w;
            char marked[DICT_WORD_MAX + 1];
            if (code != LEX_TOK_DIRECTIVE && m + n <= DICT_WORD_MAX) {
                std::memcpy(marked, t + pos, size_t(m));
                std::memcpy(marked + m, t + w, size_t(n));
                if (Lookup(lx, marked, m + n, LEX_TOK_DIRECTIVE) == LEX_TOK_DIRECTIVE)
                    code = LEX_TOK_DIRECTIVE;
            }
            // "include" opens a file name in angle brackets.
            if (code == LEX_TOK_DIRECTIVE && pt == kC && n >= 7 &&
                StrCmpNoCaseN(t + w, "include", 7) == 0)
                lx.after_include_ = true;
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
