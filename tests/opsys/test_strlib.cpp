// String helpers: delimited lists, quoted texts and tokens, version texts,
// caret notation, blanks and tabs, copies and comparisons, character classes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "opsys/strlib.h"

TEST(StrLib, FindInDelimitedList) {
    char item[32], value[32];
    EXPECT_EQ(FindInDelimitedList(item, sizeof item, value, sizeof value, '=', "name=a|size=10", "size=", 0, '|'), 1);
    EXPECT_STREQ(item, "size=10");
    EXPECT_STREQ(value, "10");
    EXPECT_EQ(FindInDelimitedList(item, sizeof item, value, sizeof value, '=', "name=a|size=10", "size", 0, '|'), -1);
    EXPECT_EQ(FindInDelimitedList(item, sizeof item, nullptr, 0, 0, "a|Bee|c", "bee", 1, '|'), 1);
    EXPECT_STREQ(item, "Bee");
    EXPECT_EQ(FindInDelimitedList(item, sizeof item, nullptr, 0, 0, "a|Bee|c", "bee", 0, '|'), -1);
    EXPECT_EQ(FindInDelimitedList(item, 4, nullptr, 0, 0, "a|longitem", "longitem", 0, '|'), 1);
    EXPECT_STREQ(item, "lon");   // cut to the caller's array
    EXPECT_EQ(FindInDelimitedList(item, sizeof item, nullptr, 0, 0, nullptr, "a", 0, '|'), -1);
    EXPECT_EQ(FindInBarList("x||z", "", 0), 1);
    EXPECT_EQ(FindInBarList("x|y|z", "Z", 1), 2);
}

TEST(StrLib, DelimitedListItems) {
    char item[8] = "junk";
    EXPECT_EQ(GetDelimitedListItem(item, sizeof item, "a|b|c", 3), 0);
    EXPECT_STREQ(item, "");
    EXPECT_EQ(GetDelimitedListItem(item, sizeof item, "a|bb|c", 1), 2);
    EXPECT_STREQ(item, "bb");
    EXPECT_EQ(GetDelimitedListItem(item, 3, "abcdef", 0), 2);
    EXPECT_STREQ(item, "ab");
    int v = -1;
    EXPECT_EQ(GetDelimitedListInt(&v, "1|22|x", 1), 1);
    EXPECT_EQ(v, 22);
    EXPECT_EQ(GetDelimitedListInt(&v, "1|22", 5), 0);
    EXPECT_EQ(v, 0);
}

TEST(StrLib, ParseQuotedAndTokens) {
    const char* cursor = "\"a \\\"b\\\"\" c";
    char arg[32];
    ASSERT_EQ(StrParseQuoted(arg, sizeof arg, &cursor), 1);
    EXPECT_STREQ(arg, "a \"b\"");
    ASSERT_EQ(StrParseQuoted(arg, sizeof arg, &cursor), 1);
    EXPECT_STREQ(arg, "c");
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(StrParseQuoted(arg, sizeof arg, &cursor), 0);

    cursor = "abcdefgh rest";
    ASSERT_EQ(StrParseQuoted(arg, 4, &cursor), 1);
    EXPECT_STREQ(arg, "abc");
    EXPECT_STREQ(cursor, "defgh rest");   // a cut argument leaves the cursor where it stopped

    char tok[8];
    const char* rest = StrNextToken(tok, 7, "  \"two words\"  next");
    EXPECT_STREQ(tok, "two wor");   // at most max characters
    EXPECT_STREQ(rest, "next");
    rest = StrNextToken(tok, 7, "abc\tdef");
    EXPECT_STREQ(tok, "abc");
    EXPECT_STREQ(rest, "def");
}

TEST(StrLib, VersionTexts) {
    struct V {
        const char* text;
        const char* normal;
        int value;
    };
    const V cases[] = {{"2", "2.00", 200}, {".5", "0.50", 50}, {"1.2", "1.20", 120},
                       {" 1.234 ", "1.23", 123}, {"", "0.00", 0}};
    for (const V& c : cases) {
        char out[48];
        EXPECT_STREQ(VersionStrNormalize(out, sizeof out, c.text), c.normal) << c.text;
        EXPECT_EQ(VersionStrToInt(c.text), c.value) << c.text;
    }
    char out[16];
    EXPECT_STREQ(UIntToHundredthsText(123, out, sizeof out), "1.23");
    EXPECT_STREQ(UIntToHundredthsText(5, out, sizeof out), "0.05");
    EXPECT_STREQ(UIntToHundredthsText(120, out, sizeof out), "1.20");
    EXPECT_EQ(VersionStrToInt(UIntToHundredthsText(4711, out, sizeof out)), 4711);
    EXPECT_STREQ(UIntToStr(255, out, sizeof out, 16), "ff");
    EXPECT_STREQ(UIntToStrSigned(5, out, sizeof out, 2, 1), "-101");
    EXPECT_STREQ(UIntToStr(123456, out, 4, 10), "");   // never a cut number
}

TEST(StrLib, CaretNotation) {
    char out[32], back[32];
    EXPECT_STREQ(StrToCaret(out, sizeof out, "a\tb^c\x1b"), "a^Ib^^c^[");
    EXPECT_STREQ(StrFromCaret(back, sizeof back, out), "a\tb^c\x1b");
    EXPECT_STREQ(StrToCaret(out, sizeof out, nullptr), "");
    EXPECT_STREQ(StrToCaret(out, 3, "a\t"), "a");   // never half a pair
    EXPECT_STREQ(StrFromCaret(back, sizeof back, "^a^"), "^a^");
}

TEST(StrLib, QuotesTabsAndBlanks) {
    char buf[32];
    EXPECT_STREQ(StrQuote(buf, sizeof buf, "a b", 1), "\"a b\"");
    EXPECT_STREQ(StrQuote(buf, sizeof buf, "\"a b\"", 1), "\"a b\"");
    EXPECT_STREQ(StrQuote(buf, sizeof buf, "\"a b\"", 0), "a b");
    strcpy(buf, "x");
    EXPECT_STREQ(StrQuote(buf, sizeof buf, buf, 1), "\"x\"");   // in place
    EXPECT_STREQ(StrQuote(buf, 4, "abc", 1), "");                // does not fit

    char rec[32] = "name\t12\trest";
    char first[8];
    char* after = StrSplitTab(first, sizeof first, rec);
    EXPECT_STREQ(first, "name");
    EXPECT_STREQ(after, "12\trest");
    int n = 0;
    EXPECT_STREQ(StrSplitTabInt(&n, after), "rest");
    EXPECT_EQ(n, 12);
    EXPECT_EQ(StrSplitTabInt(&n, nullptr), nullptr);
    EXPECT_EQ(n, 0);

    EXPECT_STREQ(StrCopyToTab(buf, sizeof buf, "a\tb\tc"), "a");
    EXPECT_STREQ(StrCopyToSecondTab(buf, sizeof buf, "a\tb\tc"), "a\tb");
    EXPECT_STREQ(StrCopyCutAtDoubleTab(buf, sizeof buf, "a\t\tb\t\tc"), "a\t\tb");
    EXPECT_STREQ(StrCopyCutAtLastBackslash(buf, sizeof buf, "C:\\d\\f"), "C:\\d");

    strcpy(buf, "  \"q x\"  ");
    EXPECT_STREQ(StrTrimBlanks(buf, 1), "q x");
    EXPECT_TRUE(StrIsEmptyOrBlank(" \t"));
    EXPECT_FALSE(StrIsEmptyOrBlank(" x"));
    strcpy(buf, "ab");
    StrAppendSpaces(buf, 6, 10);
    EXPECT_STREQ(buf, "ab   ");
}

TEST(StrLib, CopiesAndComparisons) {
    char buf[16] = "0123456789";
    CopyStringBounded(buf + 2, buf, 5);   // overlapping
    EXPECT_STREQ(buf, "0101234");
    char small[4];
    EXPECT_STREQ(CopyStringBounded(small, "abcdef", 3), "abc");
    EXPECT_STREQ(CopyStringBounded(small, nullptr, 3), "");

    char cat[8] = "abc";
    EXPECT_NE(StrCatAlloc(cat, "def", sizeof cat), nullptr);
    EXPECT_EQ(StrCatAlloc(cat, "gh", sizeof cat), nullptr);
    EXPECT_STREQ(cat, "abcdef");

    EXPECT_EQ(StrCmpNoCase("abc", "ABC"), 0);
    EXPECT_LT(StrCmpNoCase("abc", "ABD"), 0);
    EXPECT_EQ(StrCmpNoCase(nullptr, "a"), -1);
    EXPECT_EQ(StrCmpNoCaseN("abcX", "ABCy", 3), 0);
    EXPECT_TRUE(StrEqualNoCase2("\xe9t\xe9", "\xc9T\xc9"));   // Windows-1252 letters
    EXPECT_FALSE(StrEqualNoCase(nullptr, nullptr));
    EXPECT_STREQ(StrFindSub("Hello World", "WORLD", 1), "World");
    EXPECT_EQ(StrFindSub("Hello", "WORLD", 1), nullptr);

    char* held = nullptr;
    char io[8] = "text";
    EXPECT_TRUE(StrHolder(io, sizeof io, &held, 1));
    io[0] = '\0';
    EXPECT_TRUE(StrHolder(io, 3, &held, -1));
    EXPECT_STREQ(io, "te");
    StrFree(&held);
    EXPECT_EQ(held, nullptr);
}

TEST(StrLib, CharacterClasses) {
    EXPECT_STREQ(StrSkipDigits("123abc"), "abc");
    EXPECT_EQ(StrSkipDigits("123"), nullptr);
    EXPECT_TRUE(StrIsDigits("123"));
    EXPECT_FALSE(StrIsDigits(""));
    EXPECT_STREQ(StrFindAlnum("--a1"), "a1");
    EXPECT_TRUE(StrHasNoLower("ABC 1"));
    EXPECT_FALSE(StrHasNoLower("ABc"));
    EXPECT_TRUE(CharIsAlpha(0xe9));
    EXPECT_FALSE(CharIsDigit(0xb2));   // superscript two is no digit here
    EXPECT_TRUE(CharIsPunct('!'));
    EXPECT_FALSE(CharIsPunct(0xa1));
    EXPECT_FALSE(CharIsPrintable('\t'));
    EXPECT_FALSE(CharIsPrintable(256));
    EXPECT_EQ(StrIndexOfChar("abc", 'c'), 2);
    EXPECT_EQ(StrIndexOfChar("abc", 0), -1);
}
