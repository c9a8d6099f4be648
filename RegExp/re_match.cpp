// The matcher. The linked program is flattened once, at compile time, into
// an array the walker indexes. The walker backtracks with an explicit stack
// on the heap (never on the machine stack) and a failure memo of (choice
// point, position) pairs, so every search is linear in the text, a loop
// iteration that consumed nothing is refused, and a search that would need
// more memory than the bounds below stops with "too complex" instead of
// exhausting the process.
#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>

#include "RegExp/re_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace re {
namespace {

constexpr size_t kMaxFrames = size_t(1) << 22;          // backtracking entries
constexpr size_t kMaxMemoBytes = size_t(64) << 20;       // failure memo
constexpr int kMaxNotDepth = 8;                          // nested `~(...)`
constexpr int kSelFrame = -100;
constexpr int kPathFrame = -101; // a `~` check's choice state on the current path

bool ElementAccepts(unsigned kind, int c) {
    bool digit = c >= '0' && c <= '9';
    bool alpha = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    switch (kind) {
    case RE_K_BLANK: return c == ' ' || c == '\t';
    case RE_K_NBLANK: return !(c == ' ' || c == '\t');
    case RE_K_UPPER: return c >= 'A' && c <= 'Z';
    case RE_K_LOWER: return c >= 'a' && c <= 'z';
    case RE_K_DIGIT: return digit;
    case RE_K_NDIGIT: return !digit;
    case RE_K_ALPHA: return alpha;
    case RE_K_NALPHA: return !alpha;
    case RE_K_ALNUM: return alpha || digit;
    case RE_K_NALNUM: return !(alpha || digit);
    }
    return false;
}

unsigned OtherCase(unsigned c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 'A' && c <= 'Z') return c + 32;
    return c;
}

bool InSet(const unsigned char* set, unsigned c) { return (set[c >> 3] >> (c & 7)) & 1; }

// The consuming elements reachable from `start` without consuming a
// character, each with its case mode; false when a match can end (or
// leave the filter's view) on the way.
bool Closure(const Flat& f, int start, int mode0, std::vector<std::pair<int, int>>& elems) {
    std::vector<uint8_t> seen(f.ops.size() * 2, 0);
    std::vector<std::pair<int, int>> todo{{start, mode0}};
    while (!todo.empty()) {
        auto [i, mode] = todo.back();
        todo.pop_back();
        if (i < 0 || i >= static_cast<int>(f.ops.size()) || seen[i * 2 + mode]) continue;
        seen[i * 2 + mode] = 1;
        const Op& op = f.ops[i];
        unsigned k = op.kind;
        if (k & RE_K_CHOICE) {
            todo.push_back({i + 1, mode});
            todo.push_back({op.link, mode});
        } else if (k & RE_K_BRACKET) {
            todo.push_back({i + 1, mode});
        } else if (k == RE_K_JUMP) {
            todo.push_back({op.link, mode});
        } else if (k == RE_K_EXIT) {
            if (op.link < 0) return false;
            todo.push_back({op.link, mode});
        } else if (k == RE_K_CASE || k == RE_K_NOCASE) {
            todo.push_back({i + 1, k == RE_K_CASE ? 1 : 0});
        } else if (k >= RE_K_ANY && k <= RE_K_NALNUM) {
            elems.push_back({i, mode});
        } else if (k == RE_K_NOT || k == RE_K_ACCEPT || k == RE_K_NEWLINE) {
            return false;
        } else {
            todo.push_back({i + 1, mode}); // anchors, selections, no-ops
        }
    }
    return true;
}

void ElementChars(const Flat& f, int i, int mode, uint8_t* out) {
    const Op& op = f.ops[i];
    if (op.kind == RE_K_CHAR) {
        out[op.ch] = 1;
        if (!mode) out[OtherCase(op.ch)] = 1;
    } else if (op.kind == RE_K_ANY) {
        memset(out, 1, 256);
    } else {
        const uint8_t* tab = &f.tables[op.tab + (mode ? 0 : 256)];
        for (int c = 0; c < 256; ++c) out[c] |= tab[c];
    }
}

void AnalysePairs(Flat& f, int mode0) {
    std::vector<std::pair<int, int>> firsts;
    f.pair_ok[mode0] = false;
    if (!Closure(f, 0, mode0, firsts)) return;
    f.pairs[mode0].assign(256 * 4, 0);
    for (auto [i, mode] : firsts) {
        std::vector<std::pair<int, int>> seconds;
        if (!Closure(f, i + 1, mode, seconds)) return;
        uint8_t c1s[256] = {0}, c2s[256] = {0};
        ElementChars(f, i, mode, c1s);
        for (auto [j, m2] : seconds) ElementChars(f, j, m2, c2s);
        for (int c1 = 0; c1 < 256; ++c1) {
            if (!c1s[c1]) continue;
            for (int c2 = 0; c2 < 256; ++c2)
                if (c2s[c2]) f.pairs[mode0][c1 * 4 + (c2 >> 6)] |= uint64_t(1) << (c2 & 63);
        }
    }
    f.pair_ok[mode0] = true;
}

void AnalyseFirst(Flat& f, int mode0) {
    // Every character element reachable without consuming a character adds
    // the characters it accepts; a path that can match without a character
    // (accept, `\n`, `~`) disables the filter.
    uint8_t* first = f.first[mode0];
    memset(first, 0, 256);
    std::vector<std::pair<int, int>> firsts;
    f.first_ok[mode0] = Closure(f, 0, mode0, firsts);
    for (auto [i, mode] : firsts) ElementChars(f, i, mode, first);
    int n = 0;
    for (int c = 0; c < 256; ++c) {
        if (first[c]) {
            if (n < 2) f.first_chars[mode0][n] = static_cast<uint8_t>(c);
            ++n;
        }
    }
    f.first_count[mode0] = n;
    // The bytes the scanner compares against, as they stand or folded.
    f.scan_count[mode0] = 0;
    if (n <= 2) return;
    for (int fold = 0; fold < 2; ++fold) {
        uint8_t seen[256] = {0};
        int k = 0;
        for (int c = 0; c < 256 && k <= Flat::kScanChars; ++c) {
            if (!first[c]) continue;
            uint8_t v = static_cast<uint8_t>(fold ? c | 0x20 : c);
            if (seen[v]) continue;
            seen[v] = 1;
            if (k < Flat::kScanChars) f.scan_chars[mode0][k] = v;
            ++k;
        }
        if (k <= Flat::kScanChars) {
            f.scan_count[mode0] = k;
            f.scan_fold[mode0] = fold != 0;
            return;
        }
    }
}

bool SameStart(const Flat::Literal& shorter, const Flat::Literal& longer) {
    if (shorter.length > longer.length) return false;
    uint16_t mask = static_cast<uint16_t>((1u << shorter.length) - 1);
    return (shorter.fold & mask) == (longer.fold & mask) &&
           memcmp(shorter.ch, longer.ch, shorter.length) == 0;
}

// Adds a literal unless one already kept is a prefix of it (that one
// admits every position this one does); drops the kept ones it is a
// prefix of. False when the set would grow too large.
bool AddLiteral(std::vector<Flat::Literal>& lits, const Flat::Literal& lit) {
    for (const Flat::Literal& k : lits)
        if (SameStart(k, lit)) return true;
    std::erase_if(lits, [&](const Flat::Literal& k) { return SameStart(lit, k); });
    if (static_cast<int>(lits.size()) >= Flat::kMaxLiterals) return false;
    lits.push_back(lit);
    return true;
}

void AnalyseLiterals(Flat& f, int mode0) {
    // Walks every path from the first node, spelling the characters of
    // literal elements; a path ends at the first element that is not a
    // literal (or at the end of the program, or at the length limit), and
    // what it spelled so far is one literal. Zero-width conditions are
    // passed over: they only narrow where a match may begin. An empty
    // literal, too many of them or too long a walk disables the filter.
    struct State {
        int node;
        int mode;
        Flat::Literal lit;
    };
    std::vector<Flat::Literal>& lits = f.lits[mode0];
    lits.clear();
    f.lits_ok[mode0] = false;
    std::vector<State> todo{{0, mode0, {}}};
    int budget = 4096;
    const int n = static_cast<int>(f.ops.size());
    while (!todo.empty()) {
        if (--budget < 0) {
            lits.clear();
            return;
        }
        State st = todo.back();
        todo.pop_back();
        bool end = st.node < 0 || st.node >= n;
        if (!end) {
            const Op& op = f.ops[st.node];
            unsigned k = op.kind;
            if (k & RE_K_CHOICE) {
                todo.push_back({st.node + 1, st.mode, st.lit});
                todo.push_back({op.link, st.mode, st.lit});
                continue;
            }
            if (k & RE_K_BRACKET) {
                ++st.node;
            } else if (k == RE_K_JUMP || (k == RE_K_EXIT && op.link >= 0)) {
                st.node = op.link;
            } else if (k == RE_K_CASE || k == RE_K_NOCASE) {
                st.mode = k == RE_K_CASE ? 1 : 0;
                ++st.node;
            } else if (k == RE_K_CHAR && st.lit.length < Flat::kMaxLiteralLength) {
                Flat::Literal& l = st.lit;
                l.ch[l.length] = st.mode ? op.ch : op.chu;
                if (!st.mode) l.fold = static_cast<uint16_t>(l.fold | (1u << l.length));
                ++l.length;
                ++st.node;
            } else if (k == RE_K_EXIT || k == RE_K_CHAR || (k >= RE_K_ANY && k <= RE_K_NALNUM) ||
                       k == RE_K_NOT || k == RE_K_ACCEPT || k == RE_K_NEWLINE) {
                end = true;
            } else {
                ++st.node; // anchors, selections, no-ops
            }
            if (!end) {
                todo.push_back(st);
                continue;
            }
        }
        if (st.lit.length == 0 || !AddLiteral(lits, st.lit)) {
            lits.clear();
            return;
        }
    }
    f.lits_ok[mode0] = !lits.empty();
}

void AnalyseWords(Flat& f, int mode0) {
    // Follows every path in the order the walker tries them: a choice's
    // first branch now, its second below it on the stack. Anything but a
    // character, a branch, a jump, an untagged bracket or a case switch
    // makes the program more than words; so does a path longer than the
    // program (a repetition) or one that never spells a character.
    std::vector<Flat::Word>& words = f.words[mode0];
    words.clear();
    f.words_ok[mode0] = false;
    if (f.has_not) return;
    struct State {
        int node;
        int mode;
        int steps;
        Flat::Word w;
    };
    const int n = static_cast<int>(f.ops.size());
    std::vector<State> todo{{0, mode0, 0, {}}};
    while (!todo.empty()) {
        State st = todo.back();
        todo.pop_back();
        for (;;) {
            if (st.node < 0 || st.node >= n || ++st.steps > n) return;
            const Op& op = f.ops[st.node];
            const unsigned k = op.kind;
            if (k & RE_K_CHOICE) {
                State other = st;
                if (k & RE_K_GREEDY) {
                    other.node = op.link;
                    ++st.node;
                } else {
                    other.node = st.node + 1;
                    st.node = op.link;
                }
                if (static_cast<int>(todo.size()) > 4 * Flat::kMaxWords) return;
                todo.push_back(other);
            } else if (k & RE_K_BRACKET) {
                if (k & RE_K_TAGGED) return;
                ++st.node;
            } else if (k == RE_K_CHAR) {
                Flat::Word& w = st.w;
                if (w.length >= Flat::kMaxWordLength) return;
                w.ch[w.length] = st.mode ? op.ch : op.chu;
                if (!st.mode) w.fold |= uint64_t(1) << w.length;
                ++w.length;
                ++st.node;
            } else if (k == RE_K_CASE || k == RE_K_NOCASE) {
                st.mode = k == RE_K_CASE ? 1 : 0;
                ++st.node;
            } else if (k == RE_K_JUMP || (k == RE_K_EXIT && op.link >= 0)) {
                st.node = op.link;
            } else if (k == RE_K_NOP) {
                ++st.node;
            } else if (k == RE_K_EXIT || k == RE_K_ACCEPT) {
                if (st.w.length == 0 || static_cast<int>(words.size()) >= Flat::kMaxWords) return;
                words.push_back(st.w);
                break;
            } else {
                return;
            }
        }
    }
    f.words_ok[mode0] = !words.empty();
}

} // namespace

bool WordMatch(const Flat& f, int mode, const char* buf, int s, int end, Result& out) {
    const int len = f.WordAt(mode, buf, s, end);
    if (!len) return false;
    out.end = s + len;
    out.end_line = 0;
    for (int& c : out.cap) c = -1;
    out.sel = -1;
    return true;
}

namespace {

// The length of the first text of the list (a literal or a word) that
// stands at `s` and ends by `end`; 0 when none does.
template <class Spelled>
int FirstStanding(const std::vector<Spelled>& list, const char* buf, int s, int end) {
    const uint8_t* b = reinterpret_cast<const uint8_t*>(buf) + s;
    for (const Spelled& w : list) {
        if (w.length > end - s) continue;
        int j = 0;
        for (; j < w.length; ++j) {
            unsigned c = b[j];
            if (((w.fold >> j) & 1) ? Upper(c) != w.ch[j] : c != w.ch[j]) break;
        }
        if (j == w.length) return w.length;
    }
    return 0;
}

} // namespace

int Flat::WordAt(int mode, const char* buf, int s, int end) const {
    return FirstStanding(words[mode], buf, s, end);
}

bool Flat::LiteralAt(int mode, const char* buf, int s, int end) const {
    return FirstStanding(lits[mode], buf, s, end) != 0;
}

bool Flat::MayBeginAt(int mode, const char* buf, int s, int end) const {
    const uint8_t* b = reinterpret_cast<const uint8_t*>(buf);
    if (first_ok[mode] && !first[mode][b[s]]) return false;
    if (pair_ok[mode] && s + 1 < end && !PairPossible(mode, b[s], b[s + 1])) return false;
    return !lits_ok[mode] || LiteralAt(mode, buf, s, end);
}

Flat* BuildFlat(const RE_NODE* first) {
    Flat* f = new (std::nothrow) Flat;
    if (!f) return nullptr;
    std::unordered_map<const RE_NODE*, int> index;
    int n = 0;
    for (const RE_NODE* x = first; x; x = x->next) index[x] = n++;
    f->ops.resize(n);
    int i = 0;
    for (const RE_NODE* x = first; x; x = x->next, ++i) {
        Op& op = f->ops[i];
        op.kind = x->kind;
        op.ch = op.chu = 0;
        op.link = -1;
        op.memo = -1;
        op.tab = -1;
        unsigned k = x->kind;
        if (k & RE_K_CHOICE) {
            op.link = x->arg.link ? index[x->arg.link] : -1;
            op.memo = f->memo_points++;
        } else if (k == RE_K_JUMP || k == RE_K_EXIT) {
            op.link = x->arg.link ? index[x->arg.link] : -1;
        } else if (k == RE_K_CHAR) {
            op.ch = static_cast<uint8_t>(x->arg.ch);
            op.chu = static_cast<uint8_t>(Upper(op.ch));
        } else if (k >= RE_K_SET && k <= RE_K_NALNUM && k != RE_K_CHAR) {
            op.tab = static_cast<int32_t>(f->tables.size());
            f->tables.resize(f->tables.size() + 512);
            uint8_t* cs = &f->tables[op.tab];
            uint8_t* ci = cs + 256;
            for (unsigned c = 0; c < 256; ++c) {
                if (k == RE_K_SET || k == RE_K_NSET) {
                    bool in = InSet(x->arg.set, c);
                    bool in_any = in || InSet(x->arg.set, OtherCase(c));
                    cs[c] = (k == RE_K_SET) ? in : !in;
                    ci[c] = (k == RE_K_SET) ? in_any : !in_any;
                } else {
                    cs[c] = ci[c] = ElementAccepts(k, c);
                }
            }
        } else if (k == RE_K_CASE || k == RE_K_NOCASE) {
            f->has_case = true;
        } else if (k == RE_K_NOT) {
            f->has_not = true;
        }
    }
    for (const Op& op : f->ops) {
        if (op.kind == RE_K_CASE || op.kind == RE_K_NOCASE) continue;
        f->anchored = op.kind == RE_K_BOL;
        break;
    }
    AnalyseFirst(*f, 0);
    AnalyseFirst(*f, 1);
    AnalysePairs(*f, 0);
    AnalysePairs(*f, 1);
    AnalyseLiterals(*f, 0);
    AnalyseLiterals(*f, 1);
    AnalyseWords(*f, 0);
    AnalyseWords(*f, 1);
    return f;
}

void FreeFlat(void* flat) { delete static_cast<Flat*>(flat); }

void Memo::Reset(int new_base) {
    Slide(new_base);
    ++epoch;
}

void Memo::Slide(int new_base) {
    base = new_base;
    if (touched >= 0) {
        size_t words = std::min(bits.size(), (size_t(touched + 1) * per_pos + 63) / 64);
        std::fill(bits.begin(), bits.begin() + words, 0);
    }
    touched = -1;
}

void Memo::BeginTry(int start) {
    if (cap == 0 || start < base || start - base >= cap / 2) Slide(start);
}

bool Memo::Has(int pos, int index) const {
    int off = pos - base;
    if (off < 0 || off >= cap) return false;
    size_t bit = size_t(off) * per_pos + index;
    return (bits[bit >> 6] >> (bit & 63)) & 1;
}

void Memo::Set(int pos, int index) {
    int off = pos - base;
    if (off < 0 || off >= cap) return;
    if (off > touched) touched = off;
    size_t bit = size_t(off) * per_pos + index;
    bits[bit >> 6] |= uint64_t(1) << (bit & 63);
}

int Memo::Visit(int pos, int index) {
    int off = pos - base;
    if (off < 0) return -1;
    if (off >= cap) {
        size_t want = std::max<size_t>({size_t(cap) * 2, size_t(off) + 1, 256});
        size_t words = (want * per_pos + 63) / 64;
        if (words * 8 > kMaxMemoBytes) return -1;
        try {
            bits.resize(words, 0);
        } catch (...) {
            return -1;
        }
        cap = static_cast<int>(want);
    }
    if (off > touched) touched = off;
    size_t bit = size_t(off) * per_pos + index;
    uint64_t& w = bits[bit >> 6];
    uint64_t m = uint64_t(1) << (bit & 63);
    if (w & m) return 1;
    w |= m;
    return 0;
}

int Walker::Try(int start, int line, int mode0, Result& out) {
    return TryFrom(0, start, line, mode0, out);
}

bool Walker::Push(int op, int pos, int aux) {
    if (stack.size() >= kMaxFrames) return false;
    try {
        stack.push_back({op, pos, aux});
    } catch (...) {
        return false;
    }
    return true;
}

// A character element: consumes one character, or with `~` fails where the
// element matches (and passes at the line end, consuming nothing).
inline Walker::Step Walker::Element(const Op& op, WalkState& st) const {
    const Text& t = *text;
    const unsigned k = op.kind;
    const bool atend = st.pos >= t.ends[st.line];
    bool hit = false;
    if (!atend) {
        unsigned c = static_cast<uint8_t>(t.buf[st.pos]);
        if (k == RE_K_CHAR) hit = st.mode ? c == op.ch : Upper(c) == op.chu;
        else if (k == RE_K_ANY) hit = true;
        else hit = flat->tables[op.tab + (st.mode ? 0 : 256) + c];
    }
    if (st.notf) {
        st.notf = 0;
        if (atend) {
            ++st.node;
            return Step::kNext;
        }
        if (hit) return Step::kFail;
    } else if (!hit) {
        return Step::kFail;
    }
    ++st.pos;
    ++st.node;
    return Step::kNext;
}

// A choice point: refused when its state was seen before (failed, or on the
// current path), else one branch now and the other kept on the stack.
inline Walker::Step Walker::Choice(const Op& op, WalkState& st) {
    const int casef = flat->has_case ? 2 : 1;
    const int notm = flat->has_not ? 2 : 1;
    const int idx =
        (op.memo * casef + (casef > 1 ? st.mode : 0)) * notm + (notm > 1 ? st.notf : 0);
    if (depth) {
        // A `~` check keeps three bits per state: visited, known to reach
        // accept, known to fail (see GroupMatches).
        const int vb = idx * 3;
        if (memo.Has(st.pos, vb + 1)) return Step::kSuccess;
        int v = memo.Visit(st.pos, vb);
        if (v < 0) return Step::kTooComplex;
        if (v) {
            if (!memo.Has(st.pos, vb + 2)) looped = true;
            return Step::kFail;
        }
        if (!Push(kPathFrame, st.pos, vb)) return Step::kTooComplex;
    } else {
        int v = memo.Visit(st.pos, idx);
        if (v < 0) return Step::kTooComplex;
        if (v) return Step::kFail;
    }
    const int aux = st.Packed();
    if (op.kind & RE_K_GREEDY) {
        if (!Push(op.link, st.pos, aux)) return Step::kTooComplex;
        ++st.node;
    } else {
        if (!Push(st.node + 1, st.pos, aux)) return Step::kTooComplex;
        st.node = op.link;
    }
    return Step::kNext;
}

// A group's bracket: records a tagged group's edge, or answers `~(...)`.
inline Walker::Step Walker::Bracket(const Op& op, WalkState& st) {
    const unsigned k = op.kind;
    if (st.notf) {
        // `~(...)`: the try succeeds here, consuming nothing, exactly when
        // the group with the rest of the program cannot match.
        st.notf = 0;
        int res = GroupMatches(st.node, st.pos, st.line, st.mode);
        if (res < 0) return Step::kTooComplex;
        return res > 0 ? Step::kFail : Step::kSuccess;
    }
    if (k & RE_K_TAGGED) {
        int g = k & 0xFF;
        int slot = (k & RE_K_OPEN) ? g : 10 + g;
        if (g >= 1 && g <= 9 && st.cap[slot] < 0) {
            if (!Push(-1 - slot, -1, 0)) return Step::kTooComplex;
            st.cap[slot] = st.pos;
        }
    }
    ++st.node;
    return Step::kNext;
}

// Every other node: jumps, anchors, case switches, `~`, `\n`, selections.
inline Walker::Step Walker::Control(const Op& op, WalkState& st) {
    Text& t = *text;
    const unsigned k = op.kind;
    bool cond = false;
    switch (k) {
    case RE_K_NOP: ++st.node; return Step::kNext;
    case RE_K_JUMP: st.node = op.link; return Step::kNext;
    case RE_K_EXIT:
        if (op.link < 0) return Step::kSuccess;
        st.node = op.link;
        return Step::kNext;
    case RE_K_BOL: cond = st.pos == t.starts[st.line]; break;
    case RE_K_EOL: cond = st.pos >= t.ends[st.line]; break;
    case RE_K_BOW:
    case RE_K_EOW: {
        const int p = st.pos;
        bool cur = p < t.ends[st.line] && IsWordChar(static_cast<uint8_t>(t.buf[p]));
        bool prev = p > t.starts[st.line] && IsWordChar(static_cast<uint8_t>(t.buf[p - 1]));
        cond = k == RE_K_BOW ? (cur && !prev) : (prev && !cur);
        break;
    }
    case RE_K_CASE: st.mode = 1; ++st.node; return Step::kNext;
    case RE_K_NOCASE: st.mode = 0; ++st.node; return Step::kNext;
    case RE_K_NOT: st.notf ^= 1; ++st.node; return Step::kNext;
    case RE_K_ACCEPT: return Step::kSuccess;
    case RE_K_NEWLINE: {
        if (!t.lines) {
            ++st.node;
            return Step::kNext;
        }
        bool atend = st.pos >= t.ends[st.line];
        if (st.notf) {
            st.notf = 0;
            if (atend) return Step::kFail;
            ++st.pos;
            ++st.node;
            return Step::kNext;
        }
        if (!atend) return Step::kFail;
        if (st.line + 1 >= static_cast<int>(t.ends.size())) {
            if (!t.more || !t.more(t.ctx, &t)) return Step::kFail;
        }
        ++st.line;
        st.pos = t.starts[st.line];
        ++st.node;
        return Step::kNext;
    }
    default:
        if (k >= RE_K_SELECT && k <= RE_K_SELECT + 9) {
            if (!Push(kSelFrame, st.sel, 0)) return Step::kTooComplex;
            st.sel = static_cast<int>(k) - RE_K_SELECT;
        }
        ++st.node;
        return Step::kNext;
    }
    // Anchors.
    if (st.notf) {
        cond = !cond;
        st.notf = 0;
    }
    if (!cond) return Step::kFail;
    ++st.node;
    return Step::kNext;
}

inline bool Walker::Backtrack(WalkState& st) {
    while (!stack.empty()) {
        const Frame f = stack.back();
        stack.pop_back();
        if (f.op >= 0) {
            st.node = f.op;
            st.pos = f.pos;
            st.Unpack(f.aux);
            return true;
        }
        if (f.op == kPathFrame) memo.Set(f.pos, f.aux + 2);
        else if (f.op == kSelFrame) st.sel = f.pos;
        else st.cap[-1 - f.op] = f.pos;
    }
    return false;
}

void Walker::Succeed(const WalkState& st, Result& out) {
    if (depth) {
        // Every choice state on the path that got here reaches accept. The
        // states that failed stay known as failed, unless one of them
        // failed only because it led back onto this path: then what failed
        // is not known for certain, and the memo starts afresh.
        if (looped) {
            memo.Reset(memo.base);
        } else {
            for (const Frame& f : stack)
                if (f.op == kPathFrame) memo.Set(f.pos, f.aux + 1);
        }
    }
    out.end = st.pos;
    out.end_line = st.line;
    memcpy(out.cap, st.cap, sizeof st.cap);
    out.sel = st.sel;
}

int Walker::TryFrom(int node, int start, int line, int mode0, Result& out) {
    const Op* ops = flat->ops.data();
    WalkState st;
    for (int& c : st.cap) c = -1;
    st.node = node;
    st.pos = start;
    st.line = line;
    st.mode = mode0;
    stack.clear();
    for (;;) {
        const Op& op = ops[st.node];
        const unsigned k = op.kind;
        Step step;
        if (k >= RE_K_ANY && k <= RE_K_NALNUM) step = Element(op, st);
        else if (k & RE_K_CHOICE) step = Choice(op, st);
        else if (k & RE_K_BRACKET) step = Bracket(op, st);
        else step = Control(op, st);
        if (step == Step::kNext) continue;
        if (step == Step::kFail) {
            if (!Backtrack(st)) return 0;
            continue;
        }
        if (step == Step::kTooComplex) return -1;
        Succeed(st, out);
        return 1;
    }
}

int Walker::GroupMatches(int node, int pos, int line, int mode) {
    // Whether a group with the rest of the program can match at a position
    // depends on nothing but the state (node, position, case mode), so one
    // walker per level answers every check of that level and keeps its memo
    // from one check to the next, as long as the text under it stays the
    // same. Besides the failures it remembers the states known to reach
    // accept: checks at neighbouring positions mostly pass through the same
    // states, and without both kinds each check would walk the rest of the
    // text again, making the search quadratic.
    if (depth >= kMaxNotDepth) return -1;
    if (!sub) {
        sub.reset(new (std::nothrow) Walker(flat, text));
        if (!sub) return -1;
        sub->depth = depth + 1;
        sub->memo.per_pos = depth ? memo.per_pos : memo.per_pos * 3;
    }
    Memo& m = sub->memo;
    if (sub->stale || sub->synced != memo.epoch || pos < m.base ||
        (pos - m.base >= m.cap / 2 && memo.base > m.base)) {
        m.Reset(memo.base);
        sub->synced = memo.epoch;
        sub->stale = false;
    }
    sub->looped = false;
    Result r;
    int res = sub->TryFrom(node, pos, line, mode, r);
    // Half-done marks: start afresh. A flag, not an epoch that cannot
    // match: this walker's next Reset would make any such epoch current.
    if (res < 0) sub->stale = true;
    return res;
}

int Scanner::FirstChar(int s) {
#if defined(__SSE2__)
    if (lit_last) return LiteralEnds(s);
#endif
    if (count == 1) {
        const void* hit = memchr(buf + s, c0, end - s);
        return hit ? static_cast<int>(static_cast<const char*>(hit) - buf) : end;
    }
    if (count == 2) {
        if (next0 < s) {
            const void* hit = memchr(buf + s, c0, end - s);
            next0 = hit ? static_cast<int>(static_cast<const char*>(hit) - buf) : end;
        }
        if (next1 < s) {
            const void* hit = memchr(buf + s, c1, end - s);
            next1 = hit ? static_cast<int>(static_cast<const char*>(hit) - buf) : end;
        }
        return std::min(next0, next1);
    }
    const uint8_t* b = reinterpret_cast<const uint8_t*>(buf);
    auto pair_at = [&](int i) {
        unsigned x = b[i], y = b[i + 1];
        return (pairs[x * 4 + (y >> 6)] >> (y & 63)) & 1;
    };
#if defined(__SSE2__)
    if (vcount) {
        // Candidates are found sixteen bytes at a time, so stopping at each
        // of them for its pair costs less than the pair scan below.
        for (;; ++s) {
            s = NextInSet(s);
            if (s + 1 >= end || !pairs || pair_at(s)) return s;
        }
    }
#endif
    // Rare first characters are skipped fastest by the table alone. Once
    // first characters keep turning up close together but fail the pair
    // check (an alternation of words over ordinary text), one lookup of the
    // pair at each position costs less than stopping at each of them.
    while (pairs && dense < kDenseMisses) {
        int from = s;
        while (s < end && !set[b[s]]) ++s;
        if (s + 1 >= end || pair_at(s)) return s;
        dense = s - from < kDenseGap ? dense + 1 : 0;
        ++s;
    }
    if (pairs) {
        for (; s + 1 < end; ++s)
            if (pair_at(s)) return s;
    }
    while (s < end && !set[b[s]]) ++s;
    return s;
}

#if defined(__SSE2__)
int Scanner::LiteralEnds(int s) {
    // Where the literal's first and last characters both stand, sixteen
    // positions at a time: far fewer stops than at every first character
    // (a capital that begins a name stands at the start of many words).
    // A folded character is compared with bit 0x20 set on both sides,
    // which lets through at least every byte that matches it.
    const uint8_t* b = reinterpret_cast<const uint8_t*>(buf);
    const int last = lit_last;
    const __m128i f0 = _mm_set1_epi8(static_cast<char>(lit_fold0));
    const __m128i f1 = _mm_set1_epi8(static_cast<char>(lit_fold1));
    const __m128i w0 = _mm_set1_epi8(static_cast<char>(lit_c0));
    const __m128i w1 = _mm_set1_epi8(static_cast<char>(lit_c1));
    for (; s + last + 16 <= end; s += 16) {
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + s)), f0);
        const __m128i z =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + s + last)), f1);
        const unsigned m = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, w0), _mm_cmpeq_epi8(z, w1))));
        if (m) return s + __builtin_ctz(m);
    }
    for (; s + last < end; ++s) {
        if ((b[s] | lit_fold0) == lit_c0 && (b[s + last] | lit_fold1) == lit_c1) return s;
    }
    return end;
}
#endif

int Scanner::NextInSet(int s) {
    const uint8_t* b = reinterpret_cast<const uint8_t*>(buf);
#if defined(__SSE2__)
    if (vcount && s + 16 <= end) {
        const __m128i fold = _mm_set1_epi8(static_cast<char>(vfold ? 0x20 : 0));
        __m128i want[Flat::kScanChars];
        for (int j = 0; j < vcount; ++j) want[j] = _mm_set1_epi8(static_cast<char>(vchars[j]));
        for (; s + 16 <= end; s += 16) {
            const __m128i v =
                _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + s)), fold);
            __m128i hit = _mm_cmpeq_epi8(v, want[0]);
            for (int j = 1; j < vcount; ++j) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, want[j]));
            for (unsigned m = static_cast<unsigned>(_mm_movemask_epi8(hit)); m; m &= m - 1) {
                const int i = s + __builtin_ctz(m);
                if (set[b[i]]) return i;
            }
        }
    }
#endif
    while (s < end && !set[b[s]]) ++s;
    return s;
}

int Scanner::Find(int s) {
    for (;; ++s) {
        s = FirstChar(s);
        if (s >= end || flat->MayBeginAt(mode, buf, s, end)) return s;
    }
}

void Scanner::Init(const Flat& f, int m, const char* text, int length) {
    flat = &f;
    mode = m;
    buf = text;
    end = length;
    set = f.first[m];
    pairs = f.pair_ok[m] && f.first_count[m] > 2 ? f.pairs[m].data() : nullptr;
    count = f.first_count[m];
    c0 = f.first_chars[m][0];
    c1 = f.first_chars[m][1];
    next0 = next1 = -1;
    dense = 0;
    vchars = f.scan_chars[m];
    vcount = f.scan_count[m];
    vfold = f.scan_fold[m];
    lit_last = 0;
#if defined(__SSE2__)
    // Every match begins with the one literal: look for both its ends.
    if (f.lits_ok[m] && f.lits[m].size() == 1 && f.lits[m][0].length >= 2) {
        const Flat::Literal& l = f.lits[m][0];
        const int j = l.length - 1;
        lit_fold0 = (l.fold & 1) ? 0x20 : 0;
        lit_fold1 = ((l.fold >> j) & 1) ? 0x20 : 0;
        lit_c0 = static_cast<uint8_t>(l.ch[0] | lit_fold0);
        lit_c1 = static_cast<uint8_t>(l.ch[j] | lit_fold1);
        lit_last = j;
    }
#endif
}

void InitMemo(Walker& w) {
    const Flat& f = *w.flat;
    w.memo.per_pos = std::max(1, f.memo_points) * (f.has_case ? 2 : 1) * (f.has_not ? 2 : 1);
}

} // namespace re

using namespace re;

namespace {

// The storage of the last search on this thread: a caller that searches
// line after line makes no allocation per call.
struct SearchStorage {
    std::vector<int> starts, ends;
    std::vector<uint64_t> memo;
    std::vector<Walker::Frame> stack;
    std::vector<char> window;
};
thread_local SearchStorage g_search_storage;

void swap_storage(Text& t, Walker& w, std::vector<char>* window) {
    SearchStorage& s = g_search_storage;
    t.starts.swap(s.starts);
    t.ends.swap(s.ends);
    w.memo.bits.swap(s.memo);
    w.stack.swap(s.stack);
    if (window) window->swap(s.window);
}

} // namespace

LentStorage::LentStorage(Text& text, Walker& walker, std::vector<char>* window)
    : t(text), w(walker), win(window) {
    swap_storage(t, w, win);
    t.starts.clear();
    t.ends.clear();
    w.memo.bits.clear();
    w.stack.clear();
    if (win) win->clear();
}

LentStorage::~LentStorage() {
    swap_storage(t, w, win);
    // What one large search grew is not kept for all later ones.
    constexpr size_t kKeepBytes = size_t(1) << 20;
    SearchStorage& s = g_search_storage;
    if (s.window.capacity() > kKeepBytes) std::vector<char>().swap(s.window);
    if (s.memo.capacity() * sizeof(uint64_t) > kKeepBytes) std::vector<uint64_t>().swap(s.memo);
    if (s.stack.capacity() * sizeof(Walker::Frame) > kKeepBytes) std::vector<Walker::Frame>().swap(s.stack);
    if (s.starts.capacity() * sizeof(int) > kKeepBytes) {
        std::vector<int>().swap(s.starts);
        std::vector<int>().swap(s.ends);
    }
}

int RegexMatchRange(const RE_NODE* program, const char* text, int length, int scan_start,
                    int* groups, int flags) {
    if (!program || !text || length < 1) return 0;
    const Flat* f = static_cast<const Flat*>(program->flat);
    if (!f || scan_start < 0 || scan_start > length) return 0;
    int mode = (flags & RE_S_CASE) ? 1 : 0;
    Text t;
    Walker w(f, &t);
    LentStorage lent(t, w);
    t.buf = text;
    t.starts.push_back(0);
    t.ends.push_back(length);
    InitMemo(w);
    Result r;
    int found = 0, s = scan_start;
    if (f->anchored) {
        if (scan_start == 0) {
            w.memo.BeginTry(0);
            found = w.Try(0, 0, mode, r); // at position 0
        }
    } else {
        Scanner sc;
        sc.Init(*f, mode, text, length);
        for (; s <= length; ++s) {
            if (f->first_ok[mode]) {
                s = sc.Find(s);
                if (s >= length) break;
            }
            if (f->words_ok[mode]) {
                found = WordMatch(*f, mode, text, s, length, r) ? 1 : 0;
            } else {
                w.memo.BeginTry(s);
                found = w.Try(s, 0, mode, r);
            }
            if (found) break;
        }
    }
    if (found <= 0) return 0;
    if (groups) {
        memcpy(groups, r.cap, sizeof r.cap);
        if (r.sel > 0) {
            groups[0] = r.cap[r.sel];
            groups[10] = r.cap[10 + r.sel];
        } else {
            groups[0] = s;
            groups[10] = r.end;
        }
    }
    return 1;
}
