// The matcher over memory: a table of pattern x text x expected match and
// group, the fast paths, and the faults a pattern must never cause.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "RegExp/re_internal.h"
#include "RegExp/regexp.h"
#include "tests/RegExp/re_model.h"

namespace {

struct MatchCase {
    int dialect;
    const char* pattern;
    const char* text;
    int flags;
    int start, end;   // group 0, -1 when no match is expected
    int g1s, g1e;     // group 1
};

const MatchCase kMatchCases[] = {
    {3, "abc", "xxabcxx", 0, 2, 5, -1, -1},
    {3, "a.c", "abc", 0, 0, 3, -1, -1},
    {3, "ABC", "xabc", 0, 1, 4, -1, -1},
    {3, "ABC", "xabc", RE_S_CASE, -1, -1, -1, -1},
    {3, ":Cabc", "ABC abc", 0, 4, 7, -1, -1},
    {3, "x:ca", "xA", RE_S_CASE, 0, 2, -1, -1},
    {3, "^abc", "xabc", 0, -1, -1, -1, -1},
    {3, "^abc", "abcx", 0, 0, 3, -1, -1},
    {3, "abc$", "abcabc", 0, 3, 6, -1, -1},
    {3, "a*", "aaab", 0, 0, 3, -1, -1},
    {3, "a@", "aaab", 0, 0, 0, -1, -1},
    {3, "a#", "aaab", 0, 0, 1, -1, -1},
    {3, "a@b", "aaab", 0, 0, 4, -1, -1},
    {3, "ba?", "ba", 0, 0, 2, -1, -1},
    {3, "{a+}b", "xaab", 0, 1, 4, 1, 3},
    {3, "{a}|{b}", "b", 0, 0, 1, 0, 1},
    {3, "{:d}+", "x123", 0, 1, 4, 1, 2}, // a group in a loop keeps its first pass
    {3, "(ab)*c", "ababc", 0, 0, 5, -1, -1},
    {3, "<foo>", "xfoo foo", 0, 5, 8, -1, -1},
    {3, "foo>", "foo_x foo", 0, 6, 9, -1, -1},
    {3, "[a-c]+", "xxbca", 0, 2, 5, -1, -1},
    {3, "[^a-c]", "ABCd", 0, 3, 4, -1, -1},
    {3, "[^a-c]", "ABCd", RE_S_CASE, 0, 1, -1, -1},
    {3, "[]", "abc", 0, -1, -1, -1, -1},
    {3, ":d+", "ab123", 0, 2, 5, -1, -1},
    {3, ":n+:s", "a1 ", 0, 0, 3, -1, -1},
    {3, "~ab", "aaxb", 0, 2, 4, -1, -1},
    {3, "a~.", "ab a", 0, 3, 4, -1, -1},
    {3, "x~(y)", "xy xz", 0, 3, 4, -1, -1},
    {3, "~^a", "aa", 0, 1, 2, -1, -1},
    {3, "{a}b\\1", "xab", 0, 1, 2, 1, 2},
    {3, "{a}{b}\\2", "ab", 0, 1, 2, 0, 1},
    {3, "\\N065\\x42\\o103", "xABC", 0, 1, 4, -1, -1},
    {3, "\\N321", "A", 0, 0, 1, -1, -1}, // 321 wraps to 65
    {3, "a\\nb", "ab", 0, 0, 2, -1, -1}, // no line ends in memory
    {3, "\\:kc", "  int foo;", 0, 2, 5, 2, 5},
    {3, "\\:n", "v=12.5e3;", 0, 2, 8, -1, -1},
    {3, "\\:q", "say 'hi' \"x\"", 0, 4, 8, -1, -1},
    {3, "\\:h", "0xBEEF", 0, 0, 1, -1, -1},
    {3, "x(~a)*", "x", 0, 0, 1, -1, -1}, // an empty iteration is refused, not repeated
    {4, "^*.c$", "MAIN.C", 0, 0, 6, -1, -1},
    {4, "^*.c$", "main.cpp", 0, -1, -1, -1, -1},
    {4, "a-b", "b", 0, 0, 1, -1, -1},
    {4, "[!a]", "ab", 0, 1, 2, -1, -1},
    {5, "\\d+\\s\\a", "x 12 y", 0, 2, 6, -1, -1},
    {5, ":d", "x:d", 0, 1, 3, -1, -1},
    {6, "\\(a\\)b", "ab", 0, 0, 2, 0, 1},
    {6, "(a)", "(a)", 0, 0, 3, -1, -1},
    {6, "a\\!b", "b", 0, 0, 1, -1, -1},
    {6, "\\:d+\\:z", "1234", 0, 0, 4, -1, -1},
};

TEST(RegexMatch, TableOfMatches) {
    for (const MatchCase& c : kMatchCases) {
        SCOPED_TRACE(testing::Message() << "pattern '" << c.pattern << "' text '" << c.text << "'");
        int err = -1;
        RE_NODE* p = RE_Compile(c.pattern, 0, c.dialect, &err);
        ASSERT_NE(p, nullptr) << err;
        int g[RE_RANGE_GROUPS];
        int found = RegexMatchRange(p, c.text, static_cast<int>(strlen(c.text)), 0, g, c.flags);
        EXPECT_EQ(found, c.start >= 0 ? 1 : 0);
        if (found && c.start >= 0) {
            EXPECT_EQ(g[0], c.start);
            EXPECT_EQ(g[10], c.end);
            EXPECT_EQ(g[1], c.g1s);
            EXPECT_EQ(g[11], c.g1e);
        }
        RegexFree(p);
    }
}

TEST(RegexMatch, ScanStartAndBadArguments) {
    int err;
    RE_NODE* p = RE_Compile("ab", 0, 3, &err);
    int g[RE_RANGE_GROUPS];
    ASSERT_EQ(RegexMatchRange(p, "abab", 4, 1, g, 0), 1);
    EXPECT_EQ(g[0], 2);
    EXPECT_EQ(g[10], 4);
    EXPECT_EQ(RegexMatchRange(p, "abab", 4, 3, g, 0), 0);
    EXPECT_EQ(RegexMatchRange(p, "abab", 0, 0, g, 0), 0);
    EXPECT_EQ(RegexMatchRange(p, nullptr, 4, 0, g, 0), 0);
    EXPECT_EQ(RegexMatchRange(nullptr, "abab", 4, 0, g, 0), 0);
    EXPECT_EQ(RegexMatchRange(p, "abab", 4, 9, g, 0), 0);
    EXPECT_EQ(RegexMatchRange(p, "abab", 4, 0, nullptr, 0), 1);
    RegexFree(p);
    // `^` holds only at the start of the range, whatever the scan start.
    p = RE_Compile("^ab", 0, 3, &err);
    EXPECT_EQ(RegexMatchRange(p, "abab", 4, 2, g, 0), 0);
    RegexFree(p);
}

TEST(RegexMatch, PathologicalPatternsEndQuickly) {
    int err;
    const std::string million(1000000, 'a');
    // A nested alternation in a loop would be exponential for a plain
    // backtracker; here it is linear and simply fails.
    RE_NODE* p = RE_Compile("(a|aa)*b", 0, 3, &err);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(RegexMatchRange(p, million.data(), static_cast<int>(million.size()), 0, nullptr, 0), 0);
    RegexFree(p);
    // `.*` over a million characters needs no machine stack.
    p = RE_Compile(".*$", 0, 3, &err);
    int g[RE_RANGE_GROUPS];
    ASSERT_EQ(RegexMatchRange(p, million.data(), static_cast<int>(million.size()), 0, g, 0), 1);
    EXPECT_EQ(g[10], 1000000);
    RegexFree(p);
    p = RE_Compile("{(a#)+}b", 0, 3, &err);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(RegexMatchRange(p, million.data(), 20000, 0, nullptr, 0), 0);
    RegexFree(p);
}

// The search filters (first characters, character pairs, literal texts)
// only skip positions where no match can begin: over random texts every
// result must equal that of a plain try at every position.
int PlainSearch(const RE_NODE* p, const std::string& text, int scan_start, int flags, int* g) {
    const re::Flat* f = static_cast<const re::Flat*>(p->flat);
    re::Text t;
    t.buf = text.data();
    t.starts.push_back(0);
    t.ends.push_back(static_cast<int>(text.size()));
    for (int s = scan_start; s <= static_cast<int>(text.size()); ++s) {
        re::Walker w(f, &t);
        re::InitMemo(w);
        w.memo.Reset(s);
        re::Result r;
        if (w.Try(s, 0, (flags & RE_S_CASE) ? 1 : 0, r) > 0) {
            // A selection `\N` reports tagged group N as the match.
            g[0] = r.sel > 0 ? r.cap[r.sel] : s;
            g[10] = r.sel > 0 ? r.cap[10 + r.sel] : r.end;
            g[1] = r.cap[1];
            g[11] = r.cap[11];
            return 1;
        }
    }
    return 0;
}

TEST(RegexMatch, FiltersNeverChangeTheResult) {
    const char* patterns[] = {
        "alpha|bravo|charlie|delta|echo", "ab|abc|b", "(ab)*c",  "a(b|c)d|x",
        "foo|:Cbar",  ":Cab|cd",  "<ab>|<ba>", "ab~c|d",  "a?bc",  "{ab}|{cd}e",
        "[ab]c|dd",   "abc$|^ab", "aa#b|ab",   "(a|b)(c|d)", "AB|cd", "a:cB|Dc",
        "ab\\ncd|ba",  "{a}b\\1|cc", "cAd",      "a:CBc",     "d a",
    };
    std::mt19937 rng(7);
    const char alphabet[] = "abcdABCD x";
    std::vector<std::string> texts;
    for (int i = 0; i < 200; ++i) {
        std::string t(5 + rng() % 40, ' ');
        for (char& c : t) c = alphabet[rng() % (sizeof alphabet - 1)];
        texts.push_back(t);
    }
    texts.push_back("charlie");
    texts.push_back("xx ECHO");
    for (const char* pat : patterns) {
        int err;
        std::unique_ptr<RE_NODE, void (*)(RE_NODE*)> owner(
            RE_Compile(pat, 0, RE_DIALECT_NATIVE, &err), RegexFree);
        const RE_NODE* p = owner.get();
        ASSERT_NE(p, nullptr) << pat;
        for (const std::string& t : texts) {
            for (int flags : {0, int(RE_S_CASE)}) {
                for (int start : {0, 3}) {
                    if (start > static_cast<int>(t.size())) continue;
                    SCOPED_TRACE(testing::Message() << "pattern '" << pat << "' text '" << t
                                                    << "' flags " << flags << " start " << start);
                    int want[RE_RANGE_GROUPS], got[RE_RANGE_GROUPS];
                    int expected = PlainSearch(p, t, start, flags, want);
                    ASSERT_EQ(RegexMatchRange(p, t.data(), static_cast<int>(t.size()), start, got,
                                              flags),
                              expected);
                    if (!expected) continue;
                    EXPECT_EQ(got[0], want[0]);
                    EXPECT_EQ(got[10], want[10]);
                    EXPECT_EQ(got[1], want[1]);
                    EXPECT_EQ(got[11], want[11]);
                }
            }
        }
    }
}

// The texts of a program's literals or words, as the matcher compares them.
template <class Texts>
std::vector<std::string> Spelled(const std::vector<Texts>& list) {
    std::vector<std::string> out;
    for (const Texts& t : list) out.emplace_back(reinterpret_cast<const char*>(t.ch), t.length);
    return out;
}

// Which patterns get a literal-text filter, and with which texts: an
// alternation of words is the case it is for; anything that can begin with
// a class or the empty string gets none.
TEST(RegexMatch, LiteralFilterTexts) {
    struct Case {
        const char* pattern;
        int mode;                        // 1 case-sensitive search
        std::vector<std::string> texts;  // sorted; empty: no filter
    } cases[] = {
        {"alpha|bravo|charlie|delta|echo", 1, {"alpha", "bravo", "charlie", "delta", "echo"}},
        {"alpha|bravo", 0, {"ALPHA", "BRAVO"}},
        {"ab|abc|b", 1, {"ab", "b"}},          // "abc" adds nothing beyond "ab"
        {"a(b|c)d:d", 1, {"abd", "acd"}},
        {"<if>|x?yz", 1, {"if", "xyz", "yz"}},
        {"a~bc", 1, {"a"}},
        {"[ab]c|d", 1, {}},
        {"a*b", 1, {}},
        {":Cabc|def", 0, {"DEF", "abc"}},
        {"abcdefghijklmnopqrstuvwxyz", 1, {"abcdefghijklmnop"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        int err;
        RE_NODE* p = RE_Compile(c.pattern, 0, RE_DIALECT_NATIVE, &err);
        ASSERT_NE(p, nullptr);
        const re::Flat* f = static_cast<const re::Flat*>(p->flat);
        EXPECT_EQ(f->lits_ok[c.mode], !c.texts.empty());
        std::vector<std::string> texts = Spelled(f->lits[c.mode]);
        std::sort(texts.begin(), texts.end());
        if (f->lits_ok[c.mode]) {
            EXPECT_EQ(texts, c.texts);
        }
        RegexFree(p);
    }
}

// Which programs are found to be nothing but words, with the words in the
// order the walker tries them (the first that stands at a position is the
// match there); anything that records a group, tests a condition or
// repeats is not.
TEST(RegexMatch, WordPrograms) {
    struct Case {
        const char* pattern;
        int mode;                        // 1 case-sensitive search
        std::vector<std::string> words;  // in order; empty: not words
    } cases[] = {
        {"alpha|bravo|charlie", 1, {"alpha", "bravo", "charlie"}},
        {"ab|abc|b", 1, {"ab", "abc", "b"}},
        {"a(b|c)d", 1, {"abd", "acd"}},
        {"a?bc", 1, {"abc", "bc"}},
        {"a:Cb|c", 0, {"Ab", "C"}},  // upper case where compared without case
        {"(ab)*c", 1, {}},
        {"{a}b", 1, {}},
        {"<if>", 1, {}},
        {"a@bc", 1, {}},
        {"a~b", 1, {}},
        {"a.c", 1, {}},
        {"ab\\ncd", 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        int err;
        RE_NODE* p = RE_Compile(c.pattern, 0, RE_DIALECT_NATIVE, &err);
        ASSERT_NE(p, nullptr);
        const re::Flat* f = static_cast<const re::Flat*>(p->flat);
        EXPECT_EQ(f->words_ok[c.mode], !c.words.empty());
        if (f->words_ok[c.mode]) {
            EXPECT_EQ(Spelled(f->words[c.mode]), c.words);
        }
        RegexFree(p);
    }
}

// A `|` inside a group numbers the groups of its alternatives on from the
// group around it, so every \N is the text of one group.
TEST(RegexMatch, TaggedGroupsInsideAlternatives) {
    struct Case {
        const char* pattern;
        const char* text;
        const char* replacement;
        const char* expected;
    } cases[] = {
        {"{x|y{b}c}", "ybc", "[\\1][\\2]", "[ybc][b]"},
        {"{a}({b}|{c})", "ac", "[\\1][\\2]", "[a][c]"},
        {"({a}{b}|{c}){d}", "abd", "[\\1][\\2][\\3]", "[a][b][d]"},
        {"({a}{b}|{c}){d}", "cd", "[\\1][\\2][\\3]", "[c][][d]"},
        {"{a}|{b}", "b", "[\\1]", "[b]"}, // each top-level alternative starts at 1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        int err;
        RE_NODE* p = RE_Compile(c.pattern, 0, RE_DIALECT_NATIVE, &err);
        ASSERT_NE(p, nullptr) << err;
        int g[RE_RANGE_GROUPS];
        ASSERT_EQ(RegexMatchRange(p, c.text, static_cast<int>(strlen(c.text)), 0, g, 0), 1);
        char* out = nullptr;
        int len = 0;
        ASSERT_EQ(RegexExpandToString(c.replacement, c.text, g, &out, &len), 0);
        EXPECT_STREQ(out, c.expected);
        free(out);
        RegexFree(p);
    }
}

// `~(...)` checks at neighbouring positions pass through the same states;
// each used to walk the rest of the text again, so these took minutes.
TEST(RegexMatch, NotChecksStayLinear) {
    struct Case {
        const char* pattern;
        int length;    // of a text of 'a'
        int start;     // expected match, from the end of the text
        int end;
    } cases[] = {
        {"a~(.*a)", 40000, -1, 0},    // the last 'a': no 'a' after it
        {"~(.*~(.*)|a)", 20000, 0, 0}, // only at the end, where no 'a' stands
        {"~(.*a~(.*a))", 20000, 0, 0}, // only at the end, where no 'a' follows
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        int err;
        RE_NODE* p = RE_Compile(c.pattern, 0, RE_DIALECT_NATIVE, &err);
        ASSERT_NE(p, nullptr) << err;
        const std::string text(size_t(c.length), 'a');
        int g[RE_RANGE_GROUPS];
        auto t0 = std::chrono::steady_clock::now();
        ASSERT_EQ(RegexMatchRange(p, text.data(), c.length, 0, g, 0), 1);
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_EQ(g[0], c.length + c.start);
        EXPECT_EQ(g[10], c.length + c.end);
        // Linear work takes milliseconds; the quadratic walk took far longer.
        EXPECT_LT(secs, 3.0);
        RegexFree(p);
    }
}

// What the matcher remembers between tries and between `~(...)` checks
// must never change a result: over random texts every search equals the
// reference walk, which remembers nothing.
TEST(RegexMatch, RememberedStatesNeverChangeTheResult) {
    const char* patterns[] = {
        "a~(.*a)",     "~(a|b)",       "(a~(b)|c)*d",  "x~(.*~(y)|z)", ":C~(A|b)x",
        "{a}~(.*a)",   "~(a~(b~(c)))", "a(~(b)c|.)*",  "~(b@c)a",      "(~(ab).)+$",
        "<a~(b+)",     "~(a)|b~(c)",   "(ab|~(a)c)*b", "~({a}b)\\1",  "a:C~(B)b",
        "(a~)*b",
    };
    std::mt19937 rng(11);
    const char alphabet[] = "abcAB";
    std::vector<std::string> texts;
    for (int i = 0; i < 300; ++i) {
        std::string t(1 + rng() % 12, ' ');
        for (char& ch : t) ch = alphabet[rng() % (sizeof alphabet - 1)];
        texts.push_back(t);
    }
    for (const char* pat : patterns) {
        int err;
        std::unique_ptr<RE_NODE, void (*)(RE_NODE*)> owner(
            RE_Compile(pat, 0, RE_DIALECT_NATIVE, &err), RegexFree);
        ASSERT_NE(owner.get(), nullptr) << pat;
        const re::Flat& f = *static_cast<const re::Flat*>(owner->flat);
        for (const std::string& t : texts) {
            for (int flags : {0, int(RE_S_CASE)}) {
                SCOPED_TRACE(testing::Message() << "pattern '" << pat << "' text '" << t
                                                << "' flags " << flags);
                const int n = static_cast<int>(t.size());
                remodel::Model model(f, t, {0}, {n}, false, 1000000);
                remodel::Outcome want;
                int at = model.First(0, flags & RE_S_CASE ? 1 : 0, want);
                ASSERT_NE(at, -2);
                int got[RE_RANGE_GROUPS];
                ASSERT_EQ(RegexMatchRange(owner.get(), t.data(), n, 0, got, flags), at >= 0 ? 1 : 0);
                if (at < 0) continue;
                EXPECT_EQ(got[0], want.sel > 0 ? want.cap[want.sel] : at);
                EXPECT_EQ(got[10], want.sel > 0 ? want.cap[10 + want.sel] : want.end);
                EXPECT_EQ(got[1], want.cap[1]);
                EXPECT_EQ(got[11], want.cap[11]);
            }
        }
    }
}

} // namespace
