// The matcher over memory: a table of pattern x text x expected match and
// group, the fast paths, and the faults a pattern must never cause.
#include <gtest/gtest.h>

#include <string>

#include "RegExp/regexp.h"

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

} // namespace
