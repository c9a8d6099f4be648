// Lexical-state scan: which multi-line construct (block comment, region)
// each line starts in, kept in the lexical bytes of the line records.
//
// Stored per line (state at the END of the line):
//   byte A  0 = outside any construct, else the nesting depth (at most 255)
//   byte B  the delimiter entry that opened the construct (low byte of the
//           language's match code)
// Line flags: 0x08 the state was settled by the backward search; 0x10 and
// 0x20 are read by the backward search's checks; all three (0x38) go when a
// line is invalidated.
#include "VmEngine/vmlex.h"

#include "opsys/command_value_source.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

namespace {

std::atomic<const VmLangSource*> g_source{nullptr};
std::atomic<int> g_input_pending{0};

constexpr int kBackwardGap = 500;   // lines without state that the backward search bridges
constexpr int kAdvanceLines = 400;  // lines per background advance
constexpr int kStopMinLines = 100;  // an early stop is worth it only with this many left
constexpr int kRemarkLines = 250;   // lines re-marked one by one after an edit
constexpr int kShowControlCharsCmd = 655;  // control characters take one cell
constexpr int kDefaultTab = 8;

// What one scan needs to know about the language, fetched once per call.
struct Lang {
    const VmLangSource* src = nullptr;
    int lang = -1;
    int kind = -2;
    unsigned flags = 0;
    bool nests = false;
    int tab = kDefaultTab;
    bool raw = false;

    bool quote(char c) const {
        return c == '\'' || (c == '"' && kind != VMLEX_KIND_SMALLTALK && kind != VMLEX_KIND_PLI);
    }
    char escape() const {
        if (kind == VMLEX_KIND_C || kind == VMLEX_KIND_JAVA)
            return '\\';
        if (kind == VMLEX_KIND_CICODE)
            return '^';
        return 0;
    }
    int width(unsigned char c, int col) const {
        if (raw)
            return 1;
        if (c == '\t')
            return tab - ((col - 1) % tab);
        return c < 32 ? 2 : 1;
    }
    // The delimiter of `mask` matching at text[i], or -1; its end in *end
    // and the match code in *code. A callback that claims a match without
    // consuming anything is not believed (the scan must always move on).
    bool match(int which, int mask, int n, const char* text, int i, int len, int col, int* end,
               int* code) const {
        if (!src->match_delimiter)
            return false;
        int entry = 0;
        const char* e = src->match_delimiter(lang, which, mask, n, text + i, -1, 0, col, &entry);
        if (!e || e <= text + i)
            return false;
        *end = static_cast<int>(std::min<ptrdiff_t>(e - text, len));
        *code = entry;
        return true;
    }
};

int buffer_language(const VmLangSource* s, VMB* buffer) {
    return s && s->buffer_language ? s->buffer_language(buffer) : -1;
}

bool load_lang(VMB* buffer, int lang, Lang& L) {
    const VmLangSource* s = g_source.load();
    if (!s || lang < 0)
        return false;
    L.src = s;
    L.lang = lang;
    L.kind = s->parser_type ? s->parser_type(lang) : -2;
    if (L.kind == -2)
        return false;
    L.flags = s->flags ? s->flags(lang) : 0;
    L.nests = s->block_nesting && s->block_nesting(lang);
    int tab = buffer && s->buffer_tab_size ? s->buffer_tab_size(buffer) : 0;
    L.tab = tab > 0 ? tab : kDefaultTab;
    L.raw = QwCommandValue(kShowControlCharsCmd, 0) > 0;
    return true;
}

// The language of a valid buffer as its language source names it; false
// for an invalid handle or a language that cannot be loaded.
bool buffer_lang(VMB* buffer, Lang& L) {
    return vmb_in_use(buffer) && load_lang(buffer, buffer_language(g_source.load(), buffer), L);
}

// A line's text, NUL-terminated, however long.
struct LineText {
    std::vector<char> buf;
    int len = 0;
    int flags = 0;
    const char* text() const { return buf.data(); }
};

bool read_line(VMB* buffer, int line, LineText& out) {
    int len = vm_line_length(buffer, line);
    if (len < 0)
        return false;
    out.buf.resize(static_cast<size_t>(len) + 1);
    int n = vm_read_text(buffer, line, 0, out.buf.data(), len, &out.flags);
    if (n < 0)
        return false;
    out.len = n;
    out.buf[static_cast<size_t>(n)] = 0;
    return true;
}

// Index after the string that opens at text[i]; the end of the line ends it.
int skip_string(const Lang& L, const char* text, int len, int i) {
    char q = text[i];
    char esc = L.escape();
    for (int j = i + 1; j < len; ++j) {
        if (esc && text[j] == esc) {
            ++j;
            continue;
        }
        if (text[j] == q)
            return j + 1;
    }
    return len;
}

int advance_cols(const Lang& L, const char* text, int from, int to, int col) {
    for (int k = from; k < to; ++k)
        col += L.width(static_cast<unsigned char>(text[k]), col);
    return col;
}

bool is_word_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Carries the state (a, b) across one line.
void scan_line(const Lang& L, const char* text, int len, int& a, int& b) {
    int i = 0, col = 1;
    // "class <<" in Ruby is no here-document: take the keyword as one token.
    if (L.kind == VMLEX_KIND_RUBY && len >= 5 && std::memcmp(text, "class", 5) == 0 &&
        (len == 5 || !is_word_char(text[5]))) {
        col = advance_cols(L, text, 0, 5, col);
        i = 5;
    }
    while (i < len) {
        int end = 0, code = 0;
        if (a > 0) {
            if (L.match(0, VMLEX_MASK_REGION, b, text, i, len, col, &end, &code)) {
                --a;
                col = advance_cols(L, text, i, end, col);
                i = end;
                continue;
            }
            if (L.nests && L.match(1, VMLEX_MASK_REGION, b, text, i, len, col, &end, &code)) {
                a = std::min(a + 1, 255);
                col = advance_cols(L, text, i, end, col);
                i = end;
                continue;
            }
        } else {
            // Quotes open strings only outside a construct: an apostrophe in
            // a comment ("don't") must not hide the comment's end.
            if (L.quote(text[i])) {
                int j = skip_string(L, text, len, i);
                col = advance_cols(L, text, i, j, col);
                i = j;
                continue;
            }
            if (L.match(2, VMLEX_MASK_REGION, -1, text, i, len, col, &end, &code)) {
                if (!(code & VMLEX_CODE_CLOSING)) {
                    a = 1;
                    b = code & 0xFF;
                }
                col = advance_cols(L, text, i, end, col);
                i = end;
                continue;
            }
            // A line comment hides the rest of the line.
            if (L.match(1, VMLEX_MASK_SINGLE, -1, text, i, len, col, &end, &code))
                break;
        }
        col += L.width(static_cast<unsigned char>(text[i]), col);
        ++i;
    }
}

bool has_block_delimiter(const Lang& L, const char* text, int len) {
    int col = 1;
    for (int i = 0; i < len; ++i) {
        int end = 0, code = 0;
        if (L.match(2, VMLEX_MASK_REGION, -1, text, i, len, col, &end, &code))
            return true;
        col += L.width(static_cast<unsigned char>(text[i]), col);
    }
    return false;
}

// Scans lines from+1..to forward from the stored state of line `from`.
// Stops early (setting *stopped) when asked to and the user acts.
int scan_forward(VMB* buffer, const Lang& L, int from, int to, unsigned options, int* state_b,
                 bool* stopped) {
    int a = 0, b = 0;
    if (from > 0)
        a = vm_line_lex_state(buffer, from, -1, &b);
    if (a < 0)
        a = b = 0;
    LineText lt;
    for (int line = from + 1; line <= to; ++line) {
        if ((options & VMLEX_OPT_STOP_ON_INPUT) && to - line + 1 >= kStopMinLines &&
            vm_input_pending()) {
            *stopped = true;
            break;
        }
        if (!read_line(buffer, line, lt))
            break;
        scan_line(L, lt.text(), lt.len, a, b);
        int bb = b;
        vm_line_lex_state(buffer, line, a, &bb);
        vm_set_lex_line(buffer, line);
    }
    *state_b = b;
    return a;
}

int line_flags(VMB* buffer, int line, int mask) {
    if (line < 1)
        return 0;
    int f = vm_line_flags(buffer, line, VM_OP_READ, mask);
    return f < 0 ? 0 : f;
}

void settle(VMB* buffer, int from, int to, int code) {
    for (int line = from; line <= to; ++line) {
        vm_line_flags(buffer, line, VM_OP_SET, VMLEX_LF_SETTLED);
        int b = code & 0xFF;
        vm_line_lex_state(buffer, line, 1, &b);
    }
}

enum CommentCheck { kInComment, kOpening, kAsIs };

// Is the delimiter at text[pos] outside a "//" comment?
CommentCheck line_comment_check(VMB* buffer, int line, const char* text, int pos) {
    bool above_in = (line_flags(buffer, line - 1, 0x18) & 0x18) == 0x18;
    for (int k = pos - 1; k >= 1; --k) {
        if (text[k] == '/' && text[k - 1] == '/') {
            if (!(k >= 2 && text[k - 2] == '*' && above_in))
                return kInComment;
            break;
        }
    }
    if (pos >= 2 && text[pos - 2] == '*' && text[pos - 1] == '/' && above_in)
        return kAsIs;
    return kOpening;
}

// Does the delimiter at text[pos] count, i.e. does it stand outside a string?
bool string_check(VMB* buffer, const Lang& L, int line, const char* text, int len, int pos) {
    int above = line_flags(buffer, line - 1, VMLEX_LF_MASK);
    if (above == 0x18 || above == 0x28)
        return true;
    int i = 0, col = 1;
    while (i < pos) {
        if (L.kind == VMLEX_KIND_HTML) {
            col += L.width(static_cast<unsigned char>(text[i]), col);
            ++i;
            continue;
        }
        if (L.quote(text[i])) {
            int j = skip_string(L, text, len, i);
            if (j > pos)
                return false;
            col = advance_cols(L, text, i, j, col);
            i = j;
            continue;
        }
        int end = 0, code = 0;
        if (L.match(1, VMLEX_MASK_REGION, -1, text, i, len, col, &end, &code)) {
            // Quotes inside a construct are no strings: skip to its closer.
            int entry = code & 0xFF;
            col = advance_cols(L, text, i, end, col);
            i = end;
            bool closed = false;
            while (i < pos) {
                int e2 = 0, c2 = 0;
                if (L.match(0, VMLEX_MASK_REGION, entry, text, i, len, col, &e2, &c2)) {
                    col = advance_cols(L, text, i, e2, col);
                    i = e2;
                    closed = true;
                    break;
                }
                col += L.width(static_cast<unsigned char>(text[i]), col);
                ++i;
            }
            if (!closed)
                return true;
            continue;
        }
        col += L.width(static_cast<unsigned char>(text[i]), col);
        ++i;
    }
    return true;
}

// Reads lines from `start` upward (never above `lowest`) from their ends
// towards their starts for the nearest region delimiter that counts.
// 1 (inside, code through *code_out) or 0 (outside). Every line it reads is
// marked settled, so no line is read twice.
int backward_search(VMB* buffer, const Lang& L, int start, int lowest, int* code_out) {
    *code_out = 0;
    LineText lt;
    std::vector<int> cols;
    for (int line = start; line >= lowest && line >= 1; --line) {
        if (line_flags(buffer, line, VMLEX_LF_SETTLED)) {
            int b = 0;
            int a = vm_line_lex_state(buffer, line, -1, &b);
            if (a <= 0)
                return 0;
            // The lines read so far held no delimiter: they are inside too.
            settle(buffer, line + 1, start, b);
            *code_out = b;
            return 1;
        }
        vm_line_flags(buffer, line, VM_OP_SET, VMLEX_LF_SETTLED);
        int zero = 0;
        vm_line_lex_state(buffer, line, 0, &zero);
        if (!read_line(buffer, line, lt))
            return 0;
        const char* text = lt.text();
        int len = lt.len;
        cols.resize(static_cast<size_t>(len) + 1);
        int col = 1;
        for (int k = 0; k < len; ++k) {
            cols[static_cast<size_t>(k)] = col;
            col += L.width(static_cast<unsigned char>(text[k]), col);
        }
        for (int pos = len - 1; pos >= 0; --pos) {
            int end = 0, code = 0;
            if (!L.match(2, VMLEX_MASK_REGION, -1, text, pos, len, cols[static_cast<size_t>(pos)],
                         &end, &code))
                continue;
            bool closing = (code & VMLEX_CODE_CLOSING) != 0;
            if (code & VMLEX_CODE_CONFIRM) {
                if (!closing) {
                    if (line_comment_check(buffer, line, text, pos) == kInComment)
                        continue;
                } else if (pos > 0 && text[pos - 1] == '/') {
                    CommentCheck c = line_comment_check(buffer, line, text, pos);
                    if (c == kInComment)
                        continue;
                    if (c == kOpening)
                        closing = false;  // "/*/": an opener followed by a slash
                }
            }
            if (string_check(buffer, L, line, text, len, pos)) {
                if (closing)
                    return 0;
                settle(buffer, line, start, code);
                *code_out = code & VMLEX_CODE_KEEP;
                return 1;
            }
            // A closer inside a string still ends a construct that the
            // lines above leave open.
            if (closing && line - 1 >= lowest && line - 1 >= 1 &&
                !line_flags(buffer, line - 1, VMLEX_LF_SETTLED)) {
                int c2 = 0;
                if (backward_search(buffer, L, line - 1, lowest, &c2) == 1)
                    return 0;
            }
        }
    }
    return 0;
}

// Clears the lexical flags of `line` and of the lines after it up to the
// next block delimiter; without one close by, of every line to the end.
void remark(VMB* buffer, const Lang& L, int line) {
    int last = vm_last_ln(buffer);
    if (line < 1 || line > last)
        return;
    vm_line_flags(buffer, line, VM_OP_CLEAR, VMLEX_LF_MASK);
    if ((L.flags & VMLEX_LANG_EQUAL_DELIMS) || L.nests)
        return;
    LineText lt;
    int next = line + 1;
    for (int n = 0; n < kRemarkLines && next <= last; ++n, ++next) {
        vm_line_flags(buffer, next, VM_OP_CLEAR, VMLEX_LF_MASK);
        if (read_line(buffer, next, lt) && has_block_delimiter(L, lt.text(), lt.len))
            return;
    }
    if (next <= last)
        vm_line_flags_range(buffer, next, last, VM_OP_CLEAR, VMLEX_LF_MASK, 0);
}

// Keeps the buffer's current position across a scan.
class PositionKeeper {
public:
    explicit PositionKeeper(VMB* buffer) : buffer_(buffer) {
        line_ = vm_get_position(buffer, &col_);
    }
    ~PositionKeeper() {
        if (line_ > 0)
            vm_set_position(buffer_, line_, col_);
    }
    PositionKeeper(const PositionKeeper&) = delete;
    PositionKeeper& operator=(const PositionKeeper&) = delete;

private:
    VMB* buffer_;
    int line_ = 0;
    int col_ = 0;
};

} // namespace

const VmLangSource* vm_set_lang_source(const VmLangSource* source) {
    return g_source.exchange(source);
}

const VmLangSource* vm_lang_source() {
    return g_source.load();
}

void vm_set_input_pending(int pending) {
    g_input_pending.store(pending ? 1 : 0, std::memory_order_relaxed);
}

int vm_input_pending() {
    return g_input_pending.load(std::memory_order_relaxed);
}

int vm_scan_lex_state(VMB* buffer, int line, int lang, int* state_b, int* used_backward,
                      unsigned options) {
    int dummy_b = 0, dummy_used = 0;
    if (!state_b)
        state_b = &dummy_b;
    if (!used_backward)
        used_backward = &dummy_used;
    *state_b = 0;
    *used_backward = 0;
    if (line < 2 || !vmb_in_use(buffer))
        return 0;
    VmGuard guard;
    int lex = vm_lex_line(buffer);
    if (lex >= line - 1) {
        int a = vm_line_lex_state(buffer, line - 1, -1, state_b);
        return a < 0 ? 0 : a;
    }
    Lang L;
    if (!load_lang(buffer, lang, L))
        return 0;
    int target = std::min(line - 1, vm_last_ln(buffer));
    if (target <= lex) {
        int a = lex > 0 ? vm_line_lex_state(buffer, lex, -1, state_b) : 0;
        return a < 0 ? 0 : a;
    }
    PositionKeeper keep(buffer);
    if (target - lex >= kBackwardGap && !(L.flags & VMLEX_LANG_EQUAL_DELIMS) &&
        (options & VMLEX_OPT_BACKWARD)) {
        *used_backward = 1;
        return backward_search(buffer, L, target, std::max(1, target - kBackwardGap + 1), state_b);
    }
    bool stopped = false;
    int a = scan_forward(buffer, L, lex, target, options, state_b, &stopped);
    if (stopped)
        *used_backward = 1;  // provisional: the caller asks again later
    return a;
}

int vm_lex_advance(VMB* buffer) {
    VmGuard guard;
    Lang L;
    if (!buffer_lang(buffer, L))
        return -1;
    PositionKeeper keep(buffer);
    int lex = vm_lex_line(buffer);
    int target = lex + kAdvanceLines;
    if (!vm_is_fully_read(buffer))
        vm_map_line(buffer, target);
    target = std::min(target, vm_last_ln(buffer));
    if (target <= lex)
        return 0;
    int b = 0;
    bool stopped = false;
    scan_forward(buffer, L, lex, target, VMLEX_OPT_STOP_ON_INPUT, &b, &stopped);
    return 1;
}

int vm_lex_invalidate(VMB* buffer, int kind, int line) {
    VmGuard guard;
    Lang L;
    if (!buffer_lang(buffer, L))
        return -1;
    if (L.kind == VMLEX_KIND_RUBY) {
        vm_set_lex_line(buffer, 0);
        return 1;
    }
    int lex = vm_lex_line(buffer);
    if (kind == 1 || kind == 2) {
        bool beyond = line > lex;
        if (!beyond)
            vm_set_lex_line(buffer, std::max(line - 1, 0));
        if (kind == 1 || beyond)
            remark(buffer, L, line);
    } else if (kind == 3) {
        remark(buffer, L, std::max(lex, 1));
    }
    return 1;
}

void vms_lex_invalidate_all(int lang) {
    struct Ctx {
        const VmLangSource* src;
        int lang;
    } ctx{g_source.load(), lang};
    VmGuard guard;
    vms_for_each_buffer(
        [](VMB* b, void* a, void*) -> int {
            auto* c = static_cast<Ctx*>(a);
            if (c->lang == -1 || buffer_language(c->src, b) == c->lang)
                vm_set_lex_line(b, 0);
            return 0;
        },
        &ctx, nullptr);
}

int vm_line_keyword(VMB* buffer, int line, int mode) {
    VmGuard guard;
    Lang L;
    if (!buffer_lang(buffer, L))
        return 0;
    PositionKeeper keep(buffer);
    LineText lt;
    if (!read_line(buffer, line, lt))
        return 0;
    if (mode == 0)
        return has_block_delimiter(L, lt.text(), lt.len) ? 1 : 0;
    if (!L.src->word_length || !L.src->is_keyword)
        return 0;
    const char* text = lt.text();
    int i = 0;
    while (i < lt.len) {
        int n = L.src->word_length(L.lang, text + i);
        if (n <= 0) {
            ++i;
            continue;
        }
        n = std::min(n, lt.len - i);
        if (L.src->is_keyword(L.lang, text + i, n))
            return 1;
        i += n;
    }
    return 0;
}
