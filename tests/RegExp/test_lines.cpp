// The matcher over buffer lines: matches across line ends, both directions,
// the skip and wrap flags, the range limits, group selection, and a search
// that is too complex failing alone.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "RegExp/regexp.h"
#include "opsys/format.h"
#include "VmEngine/vmfile.h"
#include "tests/RegExp/regexp_test_support.h"

namespace {

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return bool(out);
}

struct LineCase {
    const char* name;
    const char* pattern;
    std::vector<std::string> lines;
    int first_line, first_col, last_line, last_col;
    int line, col, forward, flags;
    int result;
    RE_MATCH_REC rec0;
    int wrapped;
};

const LineCase kLineCases[] = {
    {"across a line end", "abc\\ndef", {"xxabc", "defyy"}, 1, 0, -3, -3, 1, 0, 1, 0, 1, {1, 2, 2, 3}, 0},
    {"across two line ends", "c\\n\\nd", {"abc", "", "de"}, 1, 0, -3, -3, 1, 0, 1, 0, 1, {1, 2, 3, 1}, 0},
    {"newline needs the line end", "a\\nb", {"ab", "b"}, 1, 0, -3, -3, 1, 0, 1, 0, 0, {}, 0},
    {"anchor forward tries column 0 only", "^abc", {"abc abc", "zabc"}, 1, 0, -3, -3, 1, 1, 1, 0, 0, {}, 0},
    {"anchor backward", "^abc", {"abc abc"}, 1, 0, -3, -3, 1, 6, 0, 0, 1, {1, 0, 1, 3}, 0},
    {"backward from a later line", "ab", {"ab ab", "x"}, 1, 0, -3, -3, 2, 0, 0, 0, 1, {1, 3, 1, 5}, 0},
    {"backward from a column", "ab", {"ab ab"}, 1, 0, -3, -3, 1, 2, 0, 0, 1, {1, 0, 1, 2}, 0},
    {"skip forward", "ab", {"ab ab"}, 1, 0, -3, -3, 1, 0, 1, RE_S_SKIP, 1, {1, 3, 1, 5}, 0},
    {"skip past the line end", "ab", {"ab", "ab"}, 1, 0, -3, -3, 1, 2, 1, RE_S_SKIP, 1, {2, 0, 2, 2}, 0},
    {"skip backward at column 0", "ab", {"ab", "ab"}, 1, 0, -3, -3, 2, 0, 0, RE_S_SKIP, 1, {1, 0, 1, 2}, 0},
    {"no wrap", "ab", {"ab", "x"}, 1, 0, -3, -3, 2, 0, 1, 0, 0, {}, 0},
    {"wrap forward", "ab", {"ab", "x"}, 1, 0, -3, -3, 2, 0, 1, RE_S_WRAP, 1, {1, 0, 1, 2}, 1},
    {"wrap backward", "x", {"ab", "x"}, 1, 0, -3, -3, 1, 0, 0, RE_S_WRAP, 1, {2, 0, 2, 1}, 1},
    {"at or after the last column", "ab", {"x ab"}, 1, 0, 1, 2, 1, 0, 1, 0, 0, {}, 0},
    {"before the first column", "ab", {"ab x"}, 1, 1, 1, 4, 1, 4, 0, 0, 0, {}, 0},
    {"outside the range", "ab", {"ab", "ab", "ab"}, 1, 0, 2, -3, 3, 0, 1, 0, -1, {}, 0},
    {"empty range", "ab", {"ab", "ab"}, 2, 0, 1, -3, 2, 0, 1, 0, -1, {}, 0},
    {"case-sensitive", "AB", {"ab"}, 1, 0, -3, -3, 1, 0, 1, RE_S_CASE, 0, {}, 0},
    {"case-insensitive", "AB", {"ab"}, 1, 0, -3, -3, 1, 0, 1, 0, 1, {1, 0, 1, 2}, 0},
    {"selection", "{a}b\\1", {"xab"}, 1, 0, -3, -3, 1, 0, 1, 0, 1, {1, 1, 1, 2}, 0},
    {"alternation of words forward", "alpha|cd", {"xalph cD alpha"}, 1, 0, -3, -3, 1, 0, 1, 0, 1, {1, 6, 1, 8}, 0},
    {"alternation of words backward", "alpha|cd", {"cd alpha alp"}, 1, 0, -3, -3, 1, 11, 0, RE_S_CASE, 1, {1, 3, 1, 8}, 0},
    {"selection of an unset group", "{x}?b\\1", {"ab"}, 1, 0, -3, -3, 1, 0, 1, 0, 1, {1, 1, 1, 1}, 0},
    // A failed try that runs through the line end grows the window (and may
    // move its storage) before the scan for the next start goes on.
    // Lines are searched where they stand in their pages; a try that needs
    // the next line takes its line to the window from that try's start, and
    // an alternative that passes through the line end still comes first.
    {"line-end alternative comes first", "b\\nc|b", {"ab", "cd"}, 1, 0, -3, -3, 1, 0, 1, 0, 1, {1, 1, 2, 1}, 0},
    {"later start needs the next line", "b\\nc|bd", {"bx b", "cz"}, 1, 0, -3, -3, 1, 0, 1, 0, 1, {1, 3, 2, 1}, 0},
    {"line end at a later line of a batch", "b\\nc|bd", {"xx", "yy", "ab", "c"}, 1, 0, -3, -3, 1, 0, 1, 0, 1, {3, 1, 4, 1}, 0},
    {"scan goes on after the window grew", "a(.*\\nQ|x)", {"a-----ax", std::string(40, 'z')}, 1, 0, -3, -3, 1, 0, 1, 0, 1, {1, 6, 1, 8}, 0},
};

class LineSearch : public BufferTest {};

TEST_F(LineSearch, TableOfSearches) {
    for (const LineCase& c : kLineCases) {
        SCOPED_TRACE(c.name);
        VMB* b = Make(c.lines);
        int err;
        RE_NODE* p = RE_Compile(c.pattern, 0, 3, &err);
        ASSERT_NE(p, nullptr) << err;
        RE_MATCH m;
        m.wrapped = 9;
        int sel = -1;
        int r = RegexSearchLines(b, c.first_line, c.first_col, c.last_line, c.last_col, c.line,
                                 c.col, c.forward, p, c.flags, &m, &sel);
        EXPECT_EQ(r, c.result);
        if (r == 1) {
            EXPECT_EQ(m.rec[0].start_line, c.rec0.start_line);
            EXPECT_EQ(m.rec[0].start_col, c.rec0.start_col);
            EXPECT_EQ(m.rec[0].end_line, c.rec0.end_line);
            EXPECT_EQ(m.rec[0].end_col, c.rec0.end_col);
            EXPECT_EQ(m.wrapped, c.wrapped);
        }
        RegexFree(p);
        vmb_close(b, 0);
    }
}

TEST_F(LineSearch, GroupsAndKeepWhole) {
    VMB* b = Make({"xab", "b"});
    int err;
    RE_NODE* p = RE_Compile("{a}b\\1", 0, 3, &err);
    RE_MATCH m;
    int sel = 0;
    ASSERT_EQ(RegexSearchLines(b, 1, 0, -3, -3, 1, 0, 1, p, RE_S_KEEP_WHOLE, &m, &sel), 1);
    EXPECT_EQ(sel, 1);
    EXPECT_EQ(m.rec[0].start_col, 1);
    EXPECT_EQ(m.rec[0].end_col, 3);
    EXPECT_EQ(m.rec[1].start_col, 1);
    EXPECT_EQ(m.rec[1].end_col, 2);
    EXPECT_EQ(m.rec[2].start_line, -1);
    RegexFree(p);
    // The end of a group is recorded through its closing bracket.
    p = RE_Compile("{a}|{b}", 0, 3, &err);
    ASSERT_EQ(RegexSearchLines(b, 1, 0, -3, -3, 2, 0, 1, p, 0, &m, &sel), 1);
    EXPECT_EQ(sel, 0);
    EXPECT_EQ(m.rec[1].start_line, 2);
    EXPECT_EQ(m.rec[1].end_col, 1);
    RegexFree(p);
}

TEST_F(LineSearch, LongLinesAndTooComplexFailsAlone) {
    const std::string million(1000000, 'a');
    VMB* b = Make({"x", million, "y"});
    int err;
    RE_NODE* all = RE_Compile("a.*$", 0, 3, &err);
    RE_MATCH m;
    int sel;
    ASSERT_EQ(RegexSearchLines(b, 1, 0, -3, -3, 1, 0, 1, all, 0, &m, &sel), 1);
    EXPECT_EQ(m.rec[0].start_line, 2);
    EXPECT_EQ(m.rec[0].end_col, 1000000);
    RE_NODE* patho = RE_Compile("(a|aa)*b", 0, 3, &err);
    EXPECT_EQ(RegexSearchLines(b, 1, 0, -3, -3, 1, 0, 1, patho, 0, &m, &sel), 0);
    RegexFree(patho);
    vmb_close(b, 0);

    // Five million characters of `.*` need more backtracking entries than
    // one search may take: this search fails, the next one works.
    b = Make({std::string(5000000, 'a'), "b"});
    EXPECT_EQ(RegexSearchLines(b, 1, 0, -3, -3, 1, 0, 1, all, 0, &m, &sel), RE_SEARCH_TOO_COMPLEX);
    RE_NODE* p = RE_Compile("b", 0, 3, &err);
    EXPECT_EQ(RegexSearchLines(b, 1, 0, -3, -3, 1, 0, 1, p, 0, &m, &sel), 1);
    EXPECT_EQ(m.rec[0].start_line, 2);
    RegexFree(p);
    RegexFree(all);
    vmb_close(b, 0);

    // `~` checks nested deeper than the matcher follows: the try is too
    // complex however often it is repeated (the line is tried in place,
    // then again in a window), never a match that half-done checks made.
    RE_NODE* deep = RE_Compile("(a~)*b", 0, 3, &err);
    for (int n : {9, 10}) {
        b = Make({std::string(n, 'a')});
        EXPECT_EQ(RegexSearchLines(b, 1, 0, -3, -3, 1, 0, 1, deep, 0, &m, &sel),
                  RE_SEARCH_TOO_COMPLEX) << n;
        vmb_close(b, 0);
    }
    RegexFree(deep);

    // What the user is told: the message formatter fills in the pattern
    // (itself never read as a format) and leaves no directive behind.
    char text[1024];
    ASSERT_GT(str_printf(text, sizeof text, RE_TooComplexText, "a%d.*$"), 0);
    const std::string shown = text;
    EXPECT_NE(shown.find("too complex"), std::string::npos) << shown;
    EXPECT_NE(shown.find(": a%d.*$\r"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("%s"), std::string::npos) << shown;
}

// `~(...)` checks remember what they learned from one to the next: over a
// long line the search stays linear in both directions, and nothing
// learned on one line is taken for the next, whose text differs.
TEST_F(LineSearch, NotChecksStayLinearAndForgetEachLine) {
    const int n = 40000;
    VMB* b = Make({std::string(size_t(n), 'a'), "ab", "ac"});
    int err;
    RE_NODE* p = RE_Compile("a~(.*a)", 0, 3, &err);
    ASSERT_NE(p, nullptr);
    RE_MATCH m;
    int sel;
    for (int forward : {1, 0}) {
        SCOPED_TRACE(forward ? "forward" : "backward");
        auto t0 = std::chrono::steady_clock::now();
        ASSERT_EQ(RegexSearchLines(b, 1, 0, 1, -3, 1, forward ? 0 : -1, forward, p, 0, &m, &sel), 1);
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_EQ(m.rec[0].start_col, n - 1);
        EXPECT_EQ(m.rec[0].end_col, n);
        EXPECT_LT(secs, 3.0); // milliseconds when linear; the quadratic walk took minutes
    }
    RegexFree(p);
    // "ab": at column 1 the check finds "b"; on "ac" the same column must be
    // checked afresh.
    p = RE_Compile("a~(.*b)", 0, 3, &err);
    ASSERT_EQ(RegexSearchLines(b, 2, 0, -3, -3, 2, 0, 1, p, 0, &m, &sel), 1);
    EXPECT_EQ(m.rec[0].start_line, 3);
    EXPECT_EQ(m.rec[0].start_col, 0);
    EXPECT_EQ(m.rec[0].end_col, 1);
    RegexFree(p);
}

// Many lines over many pages, with matches in lines whose text runs on into
// the next page, at a page's last record, and in the middle of ordinary
// lines: searching on from each match finds every one, in order, and no
// other, from both ends of a range.
TEST_F(LineSearch, EveryMatchOverManyPages) {
    std::vector<std::string> lines;
    std::vector<std::pair<int, int>> want; // line, column
    for (int i = 1; i <= 6000; ++i) {
        std::string t = "filler " + std::to_string(i) + std::string(size_t(i % 90), '.');
        if (i % 997 == 0) {
            t += std::string(9000, 'q') + "needle"; // found in a later page of the line
            want.push_back({i, int(t.size()) - 6});
        } else if (i % 613 == 0) {
            want.push_back({i, int(t.size())});
            t += "needle!";
        }
        lines.push_back(t);
    }
    VMB* b = Make(lines);
    int err;
    RE_NODE* p = RE_Compile("needle", 0, 3, &err);
    ASSERT_NE(p, nullptr);
    struct Range {
        int first, last;
    } ranges[] = {{1, -3}, {1000, 4000}};
    for (const Range& r : ranges) {
        SCOPED_TRACE(r.first);
        std::vector<std::pair<int, int>> got;
        RE_MATCH m;
        for (int line = r.first, col = 0;;) {
            int res = RegexSearchLines(b, r.first, 0, r.last, -3, line, col, 1, p, 0, &m, nullptr);
            if (res != 1) break;
            got.push_back({m.rec[0].start_line, m.rec[0].start_col});
            line = m.rec[0].start_line;
            col = m.rec[0].start_col + 1;
        }
        std::vector<std::pair<int, int>> expect;
        for (auto w : want)
            if (w.first >= r.first && (r.last < 0 || w.first <= r.last)) expect.push_back(w);
        EXPECT_EQ(expect, got);
    }
    RegexFree(p);
    vmb_close(b, 0);
}

// Every match found over many pages is the one a search of its line alone
// finds: lines searched where they stand in their pages (one scan over a
// page's lines, so starts next to the line ends matter), lines copied out
// because they run over several records, and first characters the scanner
// looks for sixteen bytes at a time (as they stand, folded to one case, or
// too many for that).
TEST_F(LineSearch, EveryMatchIsTheOneOfItsLineAlone) {
    const char* const words[] = {"alpha", "Bravo", "charlie", "DELTA", "echo",
                                 "fox",   "golf",  "hotel",   "x",     "ab"};
    std::mt19937 rng(11);
    std::vector<std::string> lines;
    for (int i = 0; i < 2000; ++i) {
        std::string t;
        const size_t want = i % 400 == 7 ? 9000 : 10 + rng() % 110;
        while (t.size() < want) {
            t += words[rng() % 10];
            t += " .,:"[rng() % 4];
        }
        // Lines that end in a word put matches against the next record's
        // header; empty lines and single words leave little between starts.
        if (i % 3 == 0) t.pop_back();
        if (i % 50 == 1) t.clear();
        if (i % 50 == 2) t = words[rng() % 10];
        lines.push_back(t);
    }
    VMB* b = Make(lines);
    const char* const patterns[] = {
        "alpha|bravo|charlie|delta|echo", // five first characters, eight more when folded
        "[a-h]o",                         // eight as they stand, sixteen folded
        "[a-z]l|x:",                      // too many for the wide compare
        "<(fox|golf)>",
        "{h}otel|{e}cho",
        "a~(.*e)",
        "Bravo",                          // one literal: both its ends looked for
    };
    using Hit = std::array<int, 3>; // line, start column, end column
    for (const char* pat : patterns) {
        int err;
        RE_NODE* p = RE_Compile(pat, 0, 3, &err);
        ASSERT_NE(p, nullptr) << pat;
        for (int flags : {0, int(RE_S_CASE)}) {
            SCOPED_TRACE(testing::Message() << "pattern '" << pat << "' flags " << flags);
            std::vector<Hit> want, got;
            for (size_t i = 0; i < lines.size(); ++i) {
                const std::string& t = lines[i];
                int g[RE_RANGE_GROUPS];
                for (int s = 0; s < int(t.size()) &&
                                RegexMatchRange(p, t.data(), int(t.size()), s, g, flags);
                     s = g[0] + 1)
                    want.push_back({int(i) + 1, g[0], g[10]});
            }
            RE_MATCH m;
            for (int line = 1, col = 0;
                 RegexSearchLines(b, 1, 0, -3, -3, line, col, 1, p, flags, &m, nullptr) == 1;) {
                ASSERT_EQ(m.rec[0].start_line, m.rec[0].end_line);
                got.push_back({m.rec[0].start_line, m.rec[0].start_col, m.rec[0].end_col});
                line = m.rec[0].start_line;
                col = m.rec[0].start_col + 1;
            }
            EXPECT_GT(want.size(), 100u);
            EXPECT_EQ(want, got);
        }
        RegexFree(p);
    }
    vmb_close(b, 0);
}

TEST_F(LineSearch, BadArguments) {
    VMB* b = Make({"ab"});
    int err;
    RE_NODE* p = RE_Compile("ab", 0, 3, &err);
    RE_MATCH m;
    int sel;
    EXPECT_EQ(RegexSearchLines(nullptr, 1, 0, -3, -3, 1, 0, 1, p, 0, &m, &sel), -1);
    EXPECT_EQ(RegexSearchLines(b, 1, 0, -3, -3, 1, 0, 1, nullptr, 0, &m, &sel), -1);
    EXPECT_EQ(RegexSearchLines(b, 1, 0, -3, -3, 7, 0, 1, p, 0, &m, &sel), -1);
    VMB* empty = Make({});
    EXPECT_EQ(RegexSearchLines(empty, 1, 0, -3, -3, 1, 0, 1, p, 0, &m, &sel), 0);
    // A file buffer of which nothing has been read yet holds its lines all
    // the same; an empty file holds none.
    struct FileCase {
        const char* text;
        int result, line;
    } files[] = {{"x\nyab\n", 1, 2}, {"", 0, 0}};
    for (const FileCase& fc : files) {
        SCOPED_TRACE(fc.text);
        const std::string path = dir_.file("unread.txt");
        ASSERT_TRUE(WriteFile(path, fc.text));
        VMB* f = vmb_open(VMB_T_FILE, path.c_str(), 0);
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(vmb_Stream_Open(f, path.c_str(), "r"), 1);
        EXPECT_EQ(RegexSearchLines(f, 1, 0, -3, -3, 1, 0, 1, p, 0, &m, &sel), fc.result);
        if (fc.result == 1) {
            EXPECT_EQ(m.rec[0].start_line, fc.line);
            EXPECT_EQ(m.rec[0].start_col, 1);
        }
        vmb_close(f, 0);
    }
    RegexFree(p);
}

} // namespace
