#pragma once
// A reference walk of a compiled program for the tests and the fuzz
// targets: plain recursion, every choice tried in turn, each `~(...)` check
// a walk of its own from scratch, nothing remembered between tries; only a
// state already on the current path is refused (a loop that consumed
// nothing). Exponential in the worst case, so it runs on short texts under
// a step budget and a bound on its own recursion; like the matcher it gives
// up on more than kMaxNested `~(...)` checks inside each other.
#include <cstring>
#include <string>
#include <vector>

#include "RegExp/re_internal.h"

namespace remodel {

struct Outcome {
    int end = 0;
    int end_line = 0;
    int cap[20];
    int sel = -1;
};

class Model {
public:
    static constexpr int kMaxNested = 8;
    static constexpr int kMaxRecursion = 2000;

    // `starts`/`ends`: the lines of `buf` (one line for a memory text);
    // `lines`: `\n` crosses line ends (else it matches nothing).
    Model(const re::Flat& f, const std::string& buf, std::vector<int> starts,
          std::vector<int> ends, bool lines, long budget)
        : f_(f), buf_(buf), starts_(std::move(starts)), ends_(std::move(ends)), lines_(lines),
          budget_(budget) {}

    // One try at `start` (in line `line`): 1 match, 0 none, -1 out of budget.
    int Try(int start, int line, int mode, Outcome& out) {
        State st;
        std::vector<Key> path;
        return Walk(0, start, line, mode, 0, st, out, path);
    }

    // The first match from `from` on of a memory text (one line): the try
    // position, or -1 none, -2 out of budget.
    int First(int from, int mode, Outcome& out) {
        for (int s = from; s <= ends_[0]; ++s) {
            int r = Try(s, 0, mode, out);
            if (r < 0) return -2;
            if (r > 0) return s;
        }
        return -1;
    }

private:
    struct State {
        int cap[20];
        int sel = -1;
        State() { for (int& c : cap) c = -1; }
    };
    struct Key {
        int node, pos, mode, notf;
    };

    int Walk(int i, int p, int li, int mode, int notf, State st, Outcome& out,
             std::vector<Key>& path) {
        if (recursion_ >= kMaxRecursion) return -1;
        ++recursion_;
        int r = Steps(i, p, li, mode, notf, st, out, path);
        --recursion_;
        return r;
    }

    int Steps(int i, int p, int li, int mode, int notf, State& st, Outcome& out,
              std::vector<Key>& path) {
        const std::vector<re::Op>& ops = f_.ops;
        for (;;) {
            if (--budget_ < 0) return -1;
            const re::Op& op = ops[i];
            const unsigned k = op.kind;
            if (k >= RE_K_ANY && k <= RE_K_NALNUM) {
                bool atend = p >= ends_[li];
                bool hit = false;
                if (!atend) {
                    unsigned c = static_cast<unsigned char>(buf_[p]);
                    if (k == RE_K_CHAR) hit = mode ? c == op.ch : re::Upper(c) == op.chu;
                    else if (k == RE_K_ANY) hit = true;
                    else hit = f_.tables[op.tab + (mode ? 0 : 256) + c] != 0;
                }
                if (notf) {
                    notf = 0;
                    if (atend) {
                        ++i;
                        continue;
                    }
                    if (hit) return 0;
                } else if (!hit) {
                    return 0;
                }
                ++p;
                ++i;
                continue;
            }
            if (k & RE_K_CHOICE) {
                for (const Key& key : path)
                    if (key.node == i && key.pos == p && key.mode == mode && key.notf == notf)
                        return 0;
                path.push_back({i, p, mode, notf});
                int first = (k & RE_K_GREEDY) ? i + 1 : op.link;
                int second = (k & RE_K_GREEDY) ? op.link : i + 1;
                int r = Walk(first, p, li, mode, notf, st, out, path);
                if (r == 0) r = Walk(second, p, li, mode, notf, st, out, path);
                path.pop_back();
                return r;
            }
            if (k & RE_K_BRACKET) {
                if (notf) {
                    if (nested_ >= kMaxNested) return -1;
                    std::vector<Key> fresh;
                    Outcome ignored;
                    ++nested_;
                    int r = Walk(i, p, li, mode, 0, State(), ignored, fresh);
                    --nested_;
                    if (r != 0) return r > 0 ? 0 : -1;
                    return Success(p, li, st, out);
                }
                if (k & RE_K_TAGGED) {
                    int g = k & 0xFF;
                    int slot = (k & RE_K_OPEN) ? g : 10 + g;
                    if (g >= 1 && g <= 9 && st.cap[slot] < 0) st.cap[slot] = p;
                }
                ++i;
                continue;
            }
            bool cond = false;
            switch (k) {
            case RE_K_NOP: ++i; continue;
            case RE_K_JUMP: i = op.link; continue;
            case RE_K_EXIT:
                if (op.link < 0) return Success(p, li, st, out);
                i = op.link;
                continue;
            case RE_K_ACCEPT: return Success(p, li, st, out);
            case RE_K_CASE: mode = 1; ++i; continue;
            case RE_K_NOCASE: mode = 0; ++i; continue;
            case RE_K_NOT: notf ^= 1; ++i; continue;
            case RE_K_BOL: cond = p == starts_[li]; break;
            case RE_K_EOL: cond = p >= ends_[li]; break;
            case RE_K_BOW:
            case RE_K_EOW: {
                bool cur = p < ends_[li] && re::IsWordChar(static_cast<unsigned char>(buf_[p]));
                bool prev =
                    p > starts_[li] && re::IsWordChar(static_cast<unsigned char>(buf_[p - 1]));
                cond = k == RE_K_BOW ? (cur && !prev) : (prev && !cur);
                break;
            }
            case RE_K_NEWLINE: {
                if (!lines_) {
                    ++i;
                    continue;
                }
                bool atend = p >= ends_[li];
                if (notf) {
                    notf = 0;
                    if (atend) return 0;
                    ++p;
                    ++i;
                    continue;
                }
                if (!atend || li + 1 >= static_cast<int>(ends_.size())) return 0;
                ++li;
                p = starts_[li];
                ++i;
                continue;
            }
            default:
                if (k >= RE_K_SELECT && k <= RE_K_SELECT + 9) st.sel = static_cast<int>(k) - RE_K_SELECT;
                ++i;
                continue;
            }
            if (notf) {
                cond = !cond;
                notf = 0;
            }
            if (!cond) return 0;
            ++i;
        }
    }

    static int Success(int p, int li, const State& st, Outcome& out) {
        out.end = p;
        out.end_line = li;
        memcpy(out.cap, st.cap, sizeof st.cap);
        out.sel = st.sel;
        return 1;
    }

    const re::Flat& f_;
    const std::string& buf_;
    std::vector<int> starts_, ends_;
    bool lines_;
    long budget_;
    int recursion_ = 0;
    int nested_ = 0;
};

} // namespace remodel
