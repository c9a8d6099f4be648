// Fuzz target: the regular-expression engine. One input is a dialect and
// flags, a pattern, a replacement template and a text. The pattern is
// compiled (and checked the same way in check-only mode); the text is
// searched in memory and, split at line feeds, in the lines of a buffer in
// both directions; each result is compared with the reference walk of
// tests/RegExp/re_model.h, which remembers nothing between tries, and a
// one-line text without `\n` in the pattern must give the same match in
// memory and in the buffer. The template is expanded into a string and
// into a buffer.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "RegExp/re_internal.h"
#include "RegExp/regexp.h"
#include "tests/RegExp/re_model.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Where {
    int found = 0; // 1 found, 0 none, -1 unknown (the reference ran out of steps)
    int line = 0, col = 0, end_line = 0, end_col = 0;
};

// The flat text of the lines as the line matcher sees it: each line
// followed by a separator position.
struct Flat {
    std::string buf;
    std::vector<int> starts, ends;
};

Flat Join(const std::vector<std::string>& lines) {
    Flat f;
    for (const std::string& l : lines) {
        f.starts.push_back(static_cast<int>(f.buf.size()));
        f.buf += l;
        f.ends.push_back(static_cast<int>(f.buf.size()));
        f.buf += '\n';
    }
    return f;
}

// The first (forward) or last (backward) try position, line by line, where
// the reference walk matches; the whole match as a line record.
Where Expect(const re::Flat& prog, const Flat& t, int mode, bool forward) {
    Where w;
    const int n = static_cast<int>(t.starts.size());
    remodel::Model model(prog, t.buf, t.starts, t.ends, true, 400000);
    for (int k = 0; k < n; ++k) {
        int li = forward ? k : n - 1 - k;
        int len = t.ends[li] - t.starts[li];
        for (int j = 0; j <= len; ++j) {
            int col = forward ? j : len - j;
            if (prog.anchored && col != 0) continue;
            remodel::Outcome o;
            int r = model.Try(t.starts[li] + col, li, mode, o);
            if (r < 0) {
                w.found = -1;
                return w;
            }
            if (r > 0) {
                w.found = 1;
                w.line = li + 1;
                w.col = col;
                w.end_line = o.end_line + 1;
                w.end_col = o.end - t.starts[o.end_line];
                return w;
            }
        }
    }
    return w;
}

int CountKind(const re::Flat& prog, uint16_t kind) {
    int n = 0;
    for (const re::Op& op : prog.ops) n += op.kind == kind;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietMessages();
    fuzz::StartEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in{data, size};
    const uint8_t head = in.Byte();
    const int dialect = 3 + (head & 3);
    const int sflags = (head & 4) ? RE_S_CASE : 0;
    const int cflags = (head & 8) ? RE_F_CASE : 0;
    const std::string pattern = in.Text(80);
    const std::string tmpl = in.Text(80);
    const std::string text = in.Rest(400);

    int err = -1, check_err = -1;
    RE_NODE* prog = RE_Compile(pattern.c_str(), cflags, dialect, &err);
    int groups = RE_CheckGroups(pattern.c_str(), cflags, dialect, &check_err);
    FUZZ_CHECK((prog != nullptr) == (err == 0) && err == check_err,
               "compile error %d, check-only error %d", err, check_err);
    FUZZ_CHECK(err || (groups >= 0 && groups <= 10), "check-only group count %d", groups);
    RegexCheckReplacement(pattern.c_str(), tmpl.c_str(), dialect);
    if (!prog) return 0;
    const re::Flat& flat = *static_cast<const re::Flat*>(prog->flat);
    const int mode = (sflags & RE_S_CASE) ? 1 : 0; // a compiled-in switch is a node

    // In memory.
    const int tlen = static_cast<int>(text.size());
    int g[RE_RANGE_GROUPS];
    int mem = RegexMatchRange(prog, text.data(), tlen, 0, g, sflags);
    if (mem) {
        FUZZ_CHECK(g[0] >= -1 && g[10] <= tlen, "memory match %d-%d of %d", g[0], g[10], tlen);
        char* out = nullptr;
        int out_len = 0;
        if (RegexExpandToString(tmpl.c_str(), text.data(), g, &out, &out_len) == 0) {
            FUZZ_CHECK(out && out_len >= 0, "expansion without a string");
        }
        std::free(out);
    }
    if (tlen >= 1 && tlen <= 48) { // an empty range is never searched
        remodel::Model model(flat, text, {0}, {tlen}, false, 400000);
        remodel::Outcome o;
        int at;
        if (flat.anchored) {
            int r = model.Try(0, 0, mode, o);
            at = r > 0 ? 0 : r < 0 ? -2 : -1;
        } else {
            at = model.First(0, mode, o);
        }
        if (at != -2) {
            FUZZ_CHECK(mem == (at >= 0 ? 1 : 0), "memory search %d, reference %d", mem, at);
            if (mem && o.sel <= 0) {
                FUZZ_CHECK(g[0] == at && g[10] == o.end, "memory match %d-%d, reference %d-%d",
                           g[0], g[10], at, o.end);
            }
        }
    }

    // In buffer lines.
    std::vector<std::string> lines;
    size_t from = 0;
    for (;;) {
        size_t lf = text.find('\n', from);
        lines.push_back(text.substr(from, lf == std::string::npos ? std::string::npos : lf - from));
        if (lf == std::string::npos) break;
        from = lf + 1;
    }
    VMB* b = vmb_create_temp();
    FUZZ_CHECK(b, "no buffer");
    for (const std::string& l : lines) {
        FUZZ_CHECK(vm_insert_line(b, vm_last_ln(b), l.data(), static_cast<int>(l.size())) > 0,
                   "line not inserted");
    }
    const Flat joined = Join(lines);
    for (int forward : {1, 0}) {
        RE_MATCH m;
        int sel = 0;
        const int last = static_cast<int>(lines.size());
        int r = forward ? RegexSearchLines(b, 1, 0, -3, -3, 1, 0, 1, prog,
                                           sflags | RE_S_KEEP_WHOLE, &m, &sel)
                        : RegexSearchLines(b, 1, 0, -3, -3, last, -1, 0, prog,
                                           sflags | RE_S_KEEP_WHOLE, &m, &sel);
        FUZZ_CHECK(r == 0 || r == 1 || r == RE_SEARCH_TOO_COMPLEX, "line search result %d", r);
        if (r == 1 && forward && !tmpl.empty()) {
            VMB* dest = vmb_create_temp();
            RegexInsertReplacement(tmpl.c_str(), head & 16 ? 1 : 0, b, &m, dest);
            vmb_close(dest, 0);
        }
        if (joined.buf.size() > 64) continue;
        Where w = Expect(flat, joined, mode, forward != 0);
        if (w.found < 0) continue;
        FUZZ_CHECK(r == w.found, "%s line search %d, reference %d", forward ? "forward" : "backward",
                   r, w.found);
        if (r == 1) {
            const RE_MATCH_REC& rec = m.rec[0];
            FUZZ_CHECK(rec.start_line == w.line && rec.start_col == w.col &&
                           rec.end_line == w.end_line && rec.end_col == w.end_col,
                       "%s line match %d:%d-%d:%d, reference %d:%d-%d:%d",
                       forward ? "forward" : "backward", rec.start_line, rec.start_col,
                       rec.end_line, rec.end_col, w.line, w.col, w.end_line, w.end_col);
        }
    }
    // One line, no `\n` in the program: the buffer and memory agree.
    if (lines.size() == 1 && tlen >= 1 && CountKind(flat, RE_K_NEWLINE) == 0) {
        RE_MATCH m;
        int sel = 0;
        int r = RegexSearchLines(b, 1, 0, -3, -3, 1, 0, 1, prog, sflags | RE_S_KEEP_WHOLE, &m, &sel);
        int g2[RE_RANGE_GROUPS];
        int whole = RegexMatchRange(prog, text.data(), tlen, 0, g2, sflags);
        if (r != RE_SEARCH_TOO_COMPLEX) {
            FUZZ_CHECK(r == whole, "line search %d, memory %d", r, whole);
        }
    }
    vmb_close(b, 0);
    RegexFree(prog);
    return 0;
}
