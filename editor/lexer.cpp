// The colouring lexer's driver and token scanner: the line and its state,
// the order in which tokens are tried, blanks, fixed-column prefixes and
// column limits, open multi-line constructs. Words are read in lexword.cpp,
// strings and delimiters in lexdelim.cpp, numbers in lexnum.cpp.
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

} // namespace

bool lexrules::IsHighLetter(unsigned char c) { return CharIsAlpha(c) != 0; }

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
    if (lx.narrow_)
        return col + (to - from);
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

// ---- the token scanner ---------------------------------------------------------

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
    if ((IsAsciiAlpha(c) && lx.ptype_ != kForth) || WordStart(lx, pos, end)) {
        int wend = ReadWord(lx, pos, end);
        int code = WordToken(lx, pos, wend, col, prev, out_end);
        if (code >= 0)
            return code;
    }
    return Rest(lx, pos, col, prev, out_end);
}

// ---- the driver --------------------------------------------------------------

namespace {
std::atomic<unsigned> g_dict_epoch{0};
constexpr size_t kCachedWords = 1024;  // a power of two
// Lines after which remembered keyword classes are dropped anyway.
constexpr int kCacheLines = 16384;
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

    if (buf_.size() < static_cast<size_t>(len) + 2)
        buf_.resize(static_cast<size_t>(len) + 2);
    buf_[0] = 0;
    // The copy also finds whether every character takes one cell.
    unsigned char low = 0xFF;
    unsigned char* dst = reinterpret_cast<unsigned char*>(buf_.data()) + 1;
    const unsigned char* src = reinterpret_cast<const unsigned char*>(text);
    for (int k = 0; k < len; ++k) {
        dst[k] = src[k];
        low = std::min(low, src[k]);
    }
    dst[len] = 0;
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
    narrow_ = raw_ || low >= 32;
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
