// The matcher over the lines of a text buffer. Lines are searched where they
// stand in their pages; a line kept in several records, or a try that runs
// across the line end through `\n`, is searched in a window instead: the
// line copied out as one text, which grows by the following lines only
// while a match runs across line ends.
#include <algorithm>
#include <vector>

#include "RegExp/re_internal.h"
#include "VmEngine/vm.h"

namespace re {
namespace {

constexpr size_t kMaxWindowBytes = size_t(64) << 20;

struct LineWindow {
    VMB* buffer = nullptr;
    int first_line = 0; // buffer line of window line 0
    std::vector<char> flat; // lines, each followed by a separator
    bool overflow = false;
};

bool AppendLine(LineWindow& w, Text& t, int line) {
    int len = vm_line_length(w.buffer, line);
    if (len < 0) return false;
    if (w.flat.size() + size_t(len) + 1 > kMaxWindowBytes) {
        w.overflow = true;
        return false;
    }
    size_t start = w.flat.size();
    try {
        w.flat.resize(start + size_t(len) + 1);
    } catch (...) {
        w.overflow = true;
        return false;
    }
    if (len > 0 && vm_read_text(w.buffer, line, 0, &w.flat[start], len, nullptr) < 0) {
        w.flat.resize(start);
        return false;
    }
    w.flat[start + len] = '\n';
    t.buf = w.flat.data();
    t.starts.push_back(static_cast<int>(start));
    t.ends.push_back(static_cast<int>(start) + len);
    return true;
}

bool MoreLines(void* ctx, Text* t) {
    LineWindow& w = *static_cast<LineWindow*>(ctx);
    int next = w.first_line + static_cast<int>(t->ends.size());
    if (next > vm_last_ln(w.buffer) && !vm_map_line(w.buffer, next)) return false;
    return AppendLine(w, *t, next);
}

struct Found {
    int start_col = 0;
    Result r;
};

struct LineSearch {
    // Members are set, not zeroed first: a search per match (counting)
    // would pay for clearing the whole object each time.
    LineSearch(VMB* b, const Flat* f, int m) : buffer(b), flat(f), mode(m) {}
    VMB* buffer;
    const Flat* flat;
    int mode;
    LineWindow win;
    Text text;
    Walker walker{nullptr, nullptr};

    // Searches one line from `col` (-1: its end). 1 found, 0 none, -1 the
    // line cannot be read, RE_SEARCH_TOO_COMPLEX.
    int Line(int line, int col, bool forward, Found& found) {
        VmGuard guard;
        win.buffer = buffer;
        win.first_line = line;
        win.flat.clear();
        win.overflow = false;
        text.starts.clear();
        text.ends.clear();
        text.lines = true;
        text.more = MoreLines;
        text.ctx = &win;
        if (!AppendLine(win, text, line)) return win.overflow ? RE_SEARCH_TOO_COMPLEX : -1;
        int len = text.ends[0];
        if (col < 0 || col > len) col = len;
        walker.flat = flat;
        walker.text = &text;
        walker.memo.Reset(0);
        auto attempt = [&](int s) -> int {
            int r = walker.Try(s, 0, mode, found.r);
            if (r < 0 || win.overflow) return RE_SEARCH_TOO_COMPLEX;
            if (r > 0) found.start_col = s;
            return r;
        };
        if (flat->anchored) return col == 0 || !forward ? attempt(0) : 0;
        const bool filter = flat->first_ok[mode];
        if (forward) {
            Scanner sc;
            sc.Init(*flat, mode, text.buf, len);
            for (int s = col; s <= len; ++s) {
                if (filter) {
                    s = sc.Find(s);
                    if (s >= len) break;
                }
                walker.memo.BeginTry(s);
                int r = attempt(s);
                if (r) return r;
                // A try that ran through the line end appended lines to
                // the window, whose storage may have moved.
                sc.buf = text.buf;
            }
        } else {
            for (int s = col; s >= 0; --s) {
                if (filter && (s >= len || !flat->MayBeginAt(mode, text.buf, s, len))) continue;
                int r = attempt(s);
                if (r) return r;
            }
        }
        return 0;
    }

    void ToLineCol(int pos, int* line, int* col) const {
        auto it = std::upper_bound(text.starts.begin(), text.starts.end(), pos);
        int li = static_cast<int>(it - text.starts.begin()) - 1;
        if (li < 0) li = 0;
        *line = win.first_line + li;
        *col = pos - text.starts[li];
    }
};

void FillRecord(const LineSearch& ls, int line, const Found& f, int flags, RE_MATCH* m,
                int* selected) {
    RE_MATCH_REC whole{line, f.start_col, ls.win.first_line + f.r.end_line,
                       f.r.end - ls.text.starts[f.r.end_line]};
    for (int g = 1; g <= 9; ++g) {
        RE_MATCH_REC& rec = m->rec[g];
        rec = {-1, -1, -1, -1};
        if (f.r.cap[g] >= 0) ls.ToLineCol(f.r.cap[g], &rec.start_line, &rec.start_col);
        if (f.r.cap[10 + g] >= 0) ls.ToLineCol(f.r.cap[10 + g], &rec.end_line, &rec.end_col);
    }
    int sel = f.r.sel;
    m->rec[0] = whole;
    if (sel > 0) {
        RE_MATCH_REC& chosen = m->rec[sel];
        bool set = chosen.start_line >= 0 && chosen.end_line >= 0;
        if (!set) {
            RE_MATCH_REC empty{line, f.start_col, line, f.start_col};
            if (flags & RE_S_KEEP_WHOLE) chosen = empty;
            else m->rec[0] = empty;
        } else if (!(flags & RE_S_KEEP_WHOLE)) {
            m->rec[0] = chosen;
        }
    }
    if (selected) *selected = sel > 0 ? sel : 0;
}

} // namespace
} // namespace re

using namespace re;

int RegexSearchLines(VMB* buffer, int first_line, int first_col, int last_line, int last_col,
                     int line, int column, int forward, const RE_NODE* program, int flags,
                     RE_MATCH* match, int* selected_group) {
    // The search holds the engine's lock throughout, so that its many
    // engine calls are cheap re-entries (counting matches makes one search
    // per match); it lets other threads in every few thousand lines.
    VmGuard held;
    int work = 0;
    auto let_others_in = [&work](int lines) {
        if ((work += lines) < 4096) return;
        work = 0;
        vm_guard_leave();
        vm_guard_enter();
    };
    if (!vmb_in_use(buffer) || !program || !program->flat) return -1;
    int lines_read = vm_last_ln(buffer);
    // A file of which no line has been read yet is not empty: read its first.
    if (lines_read == 0) {
        if (!vm_map_line(buffer, 1)) return 0;
        lines_read = vm_last_ln(buffer);
    }
    RE_MATCH local;
    if (!match) match = &local;
    match->wrapped = 0;
    if (first_line < 1) first_line = 1;
    // Only a column in the last line makes its number matter.
    if (last_line == RE_LINE_TO_END && last_col >= 0 && vm_is_fully_read(buffer))
        last_line = lines_read;
    const bool to_end = last_line == RE_LINE_TO_END;
    if (!to_end && first_line > last_line) return -1;
    if (line < first_line || (!to_end && line > last_line)) return -1;
    if (line > lines_read) {
        if (!vm_map_line(buffer, line)) return -1;
        lines_read = vm_last_ln(buffer);
    }

    LineSearch ls(buffer, static_cast<const Flat*>(program->flat), (flags & RE_S_CASE) ? 1 : 0);
    ls.walker.flat = ls.flat;
    ls.walker.text = &ls.text;
    LentStorage lent(ls.text, ls.walker, &ls.win.flat);
    InitMemo(ls.walker);

    int col = column;
    // Column 0 is in every line; the line's length only places the others.
    if (col != 0 || (flags & RE_S_SKIP)) {
        int len = vm_line_length(buffer, line);
        if (len < 0) return -1;
        if (col < 0 || col > len) col = len;
        if (flags & RE_S_SKIP) {
            if (forward) {
                if (++col > len) {
                    ++line;
                    col = 0;
                }
            } else if (col == 0) {
                --line;
                col = -1;
            } else {
                --col;
            }
        }
    }
    const int start_line = line;
    Found f;
    auto accept = [&](int ln, bool wrapped) {
        if (!wrapped && !(flags & RE_S_WRAP)) {
            if (forward && !to_end && ln == last_line && last_col >= 0 && f.start_col >= last_col)
                return 0;
            if (!forward && ln == first_line && f.start_col < first_col) return 0;
        }
        FillRecord(ls, ln, f, flags, match, selected_group);
        return 1;
    };
    auto exists = [&](int ln) {
        if (!to_end) return ln <= last_line;
        if (ln <= lines_read) return true;
        if (!vm_map_line(buffer, ln)) return false;
        lines_read = vm_last_ln(buffer);
        return true;
    };

    // Lines are searched where they stand in their pages, a batch at a
    // time, without copying them into the window: most lines hold no
    // possible start, and a match that stays within its line needs nothing
    // else. Only a try that runs through the line end (`\n`), or one too
    // large for the memo, sends its line to the window, from the start that
    // needed it: the tries before it failed within the line, as they would
    // have there.
    // Where possible starts are frequent, the batches stay short, so that
    // each line is not looked at once per line before it.
    const bool quick = !ls.flat->anchored && ls.flat->first_ok[ls.mode];
    constexpr int kBatch = 256;
    int batch = 8;
    enum class Outcome { kPassed, kFound, kWindow };
    struct InPlace {
        int passed = 0;   // lines before the one the outcome is about
        Outcome outcome = Outcome::kPassed;
        int col = 0;      // kWindow: where that line's search goes on
    };
    // The texts stay where they are while the lock is held.
    auto search_in_place = [&](int ln, int from, int limit) {
        const char* texts[kBatch];
        int lengths[kBatch];
        const InPlace res;
        const int n = quick ? vm_line_texts(buffer, ln, std::min(limit, batch), texts, lengths) : 0;
        auto done = [&](InPlace r) {
            if (r.outcome == Outcome::kPassed) r.passed = n;
            batch = r.passed == n ? std::min(kBatch, batch * 2) : std::max(4, 2 * r.passed);
            return r;
        };
        if (n == 0) return done(res);
        if (from > lengths[0]) return done({0, Outcome::kWindow, from});
        // The lines stand one after another in their page, each behind its
        // record's header, so one scan over the whole stretch finds the
        // possible starts of all of them: a per-line scan would pay its
        // set-up (and a few calls to memchr) for every line of the file.
        // A start the scan reports in a header is skipped. The pair filter
        // may look one byte past a line's last character into the next
        // header; that only refuses a start at the last character, where a
        // program with pairs cannot match (it needs two characters of the
        // line), and the literal filter reading on can only let more through.
        const char* const base = texts[0];
        const int span = static_cast<int>(texts[n - 1] - base) + lengths[n - 1];
        auto at = [&](int k) { return static_cast<int>(texts[k] - base); };
        Scanner sc;
        sc.Init(*ls.flat, ls.mode, base, span);
        bool needs_window = false;
        Text& t = ls.text;
        t.starts.assign(1, 0);
        t.ends.assign(1, 0);
        t.lines = true;
        t.more = [](void* ctx, Text*) {
            *static_cast<bool*>(ctx) = true;
            return false;
        };
        t.ctx = &needs_window;
        int k = 0, tried = -1;
        for (int s = sc.Find(from); s < span;) {
            while (k < n && s >= at(k) + lengths[k]) ++k;
            if (k == n) break;
            if (s < at(k)) {
                s = sc.Find(at(k));
                continue;
            }
            const int col = s - at(k);
            int r;
            if (ls.flat->words_ok[ls.mode]) {
                r = WordMatch(*ls.flat, ls.mode, texts[k], col, lengths[k], f.r) ? 1 : 0;
            } else {
                if (tried != k) {
                    // What the memo learned belongs to the line it learned it on.
                    t.buf = texts[k];
                    t.ends[0] = lengths[k];
                    ls.walker.memo.Reset(0);
                    tried = k;
                }
                ls.walker.memo.BeginTry(col);
                r = ls.walker.Try(col, 0, ls.mode, f.r);
                if (needs_window || r < 0) return done({k, Outcome::kWindow, col});
            }
            if (r > 0) {
                f.start_col = col;
                ls.win.first_line = ln + k;
                return done({k, Outcome::kFound, col});
            }
            s = sc.Find(s + 1);
        }
        return done(res);
    };
    const int max_lines = 0x7FFFFFFF;
    if (forward) {
        for (int ln = start_line; exists(ln); ++ln) {
            int limit = to_end ? max_lines : last_line - ln + 1;
            int from = ln == start_line ? col : 0;
            InPlace ip = search_in_place(ln, from, limit);
            let_others_in(ip.passed + 1);
            if (ip.outcome == Outcome::kFound) return accept(ln + ip.passed, false);
            if (ip.outcome == Outcome::kPassed && ip.passed) {
                ln += ip.passed - 1;
                continue;
            }
            ln += ip.passed;
            if (ip.outcome == Outcome::kWindow) from = ip.col;
            int r = ls.Line(ln, from, true, f);
            if (r == RE_SEARCH_TOO_COMPLEX) return r;
            if (r < 0) return ln == start_line && (flags & RE_S_SKIP) == 0 ? -1 : 0;
            if (r > 0) return accept(ln, false);
        }
    } else {
        for (int ln = start_line; ln >= first_line; --ln) {
            let_others_in(1);
            int r = ls.Line(ln, ln == start_line ? col : -1, false, f);
            if (r == RE_SEARCH_TOO_COMPLEX) return r;
            if (r < 0) return ln == start_line ? -1 : 0;
            if (r > 0) return accept(ln, false);
        }
    }
    if (!(flags & RE_S_WRAP)) return 0;
    match->wrapped = 1;
    if (forward) {
        for (int ln = first_line; ln <= start_line && exists(ln); ++ln) {
            int from = ln == first_line ? first_col : 0;
            InPlace ip = search_in_place(ln, from, start_line - ln + 1);
            let_others_in(ip.passed + 1);
            if (ip.outcome == Outcome::kFound) return accept(ln + ip.passed, true);
            if (ip.outcome == Outcome::kPassed && ip.passed) {
                ln += ip.passed - 1;
                continue;
            }
            ln += ip.passed;
            if (ip.outcome == Outcome::kWindow) from = ip.col;
            int r = ls.Line(ln, from, true, f);
            if (r == RE_SEARCH_TOO_COMPLEX) return r;
            if (r < 0) return 0;
            if (r > 0) return accept(ln, true);
        }
    } else {
        vm_map_line(buffer, RE_LINE_TO_END);
        int last = to_end ? vm_last_ln(buffer) : last_line;
        for (int ln = last; ln >= start_line && ln >= first_line; --ln) {
            let_others_in(1);
            int c = ln == last ? (last_col == RE_LINE_TO_END ? -1 : last_col) : -1;
            int r = ls.Line(ln, c, false, f);
            if (r == RE_SEARCH_TOO_COMPLEX) return r;
            if (r < 0) return 0;
            if (r > 0) return accept(ln, true);
        }
    }
    return 0;
}
