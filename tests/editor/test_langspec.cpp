// Tests the language table: names, record building, the delimiter matching
// primitives (case rules, stand-alone delimiters, regions, word delimiters),
// name split and format, and Ruby's run-time string entries.
#include "editor/langspec.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

class LangSpec : public ::testing::Test {
protected:
    void TearDown() override { FreeLanguageSpecs(); }
    // A record of `language` with the given delimiter entries already set.
    int Make(int language, uint32_t flags = 0) {
        int i = AddLanguageSpec(language, nullptr);
        SetLanguageSpecFields(i, "", flags, "", "", "");
        SetLanguageDelimiter(0, i, 0, 0, 0, 0, nullptr, nullptr);
        return i;
    }
};

TEST_F(LangSpec, LanguageNamesAndLookup) {
    char name[64];
    EXPECT_EQ(GetLanguageName(23, name, sizeof name), 13);
    EXPECT_STREQ(name, "Delphi/Pascal");
    EXPECT_EQ(GetLanguageName(37, name, sizeof name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(GetLanguageName(-1, name, sizeof name), 0);
    EXPECT_EQ(FindLanguageByName("ini (WINDOWS)"), 36);
    EXPECT_EQ(FindLanguageByName("ada"), 0);
    EXPECT_EQ(FindLanguageByName("Klingon"), -1);
    EXPECT_EQ(FindLanguageByName(""), -1);
}

TEST_F(LangSpec, UnknownIndexAnswersItsFailureValues) {
    EXPECT_EQ(FindLanguageSpec(0), nullptr);
    EXPECT_EQ(GetLanguageSpecCount(), -1);
    EXPECT_EQ(GetLanguageParserType(5), -2);
    EXPECT_EQ(GetLanguageFlags(5), 0u);
    EXPECT_EQ(FindLanguageDelimiterValue(5, 0, nullptr), LANG_NO_VALUE);
    EXPECT_EQ(HasLanguageSpecDictionaryFile(5), -1);
    int e = -7;
    EXPECT_EQ(MatchLanguageDelimiter(5, 1, 3, -1, "//", -1, 0, 1, &e), nullptr);
    EXPECT_EQ(GetLanguageDelimiter(5, 0, nullptr, nullptr, nullptr, nullptr), 0u);
}

TEST_F(LangSpec, NewRecordAndLanguageChanges) {
    int i = AddLanguageSpec(LANG_FORTH, "x/lang_fth.JS");
    ASSERT_EQ(i, 0);
    EXPECT_EQ(GetLanguageSpecCount(), 0);
    EXPECT_STREQ(FindLanguageSpec(i)->name, " *Unknown* ");
    EXPECT_TRUE(GetLanguageFlags(i) & LANG_F_STANDALONE);
    EXPECT_EQ(HasLanguageSpecDictionaryFile(i), 1);
    EXPECT_TRUE(IsDictionaryFileKnown("X/LANG_FTH.js"));
    EXPECT_FALSE(IsDictionaryFileKnown("x/lang_c.JS"));
    // Leaving Forth drops the stand-alone rule; a name equal to the
    // language's own is stored empty.
    SetLanguageSpecLanguage(i, 4, "c/c++");
    EXPECT_FALSE(GetLanguageFlags(i) & LANG_F_STANDALONE);
    EXPECT_STREQ(FindLanguageSpec(i)->name, "");
    SetLanguageSpecLanguage(i, -1, "Win32");
    EXPECT_EQ(GetLanguageParserType(i), 4);
    EXPECT_STREQ(FindLanguageSpec(i)->name, "Win32");
    // The defaults flag survives a field store; other old flags do not.
    SetLanguageFlags(1, i, LANG_F_DEFAULTS | LANG_F_REGIONS);
    SetLanguageSpecFields(i, "Win32", LANG_F_CASE, "a", "b", "c");
    EXPECT_EQ(GetLanguageFlags(i), LANG_F_DEFAULTS | LANG_F_CASE);
}

TEST_F(LangSpec, OverLongTextsAreRefusedNotCut) {
    int i = Make(4);
    std::string long_name(60, 'n');
    SetLanguageSpecLanguage(i, -1, long_name.c_str());
    EXPECT_EQ(strlen(FindLanguageSpec(i)->name), 39u);
    std::string d29(29, '#'), d30(30, '#');
    EXPECT_EQ(SetLanguageDelimiter(1, i, 0, 1, -1, 301, d29.c_str(), ""), 1);
    EXPECT_STREQ(FindLanguageSpec(i)->delimiters[0].open, d29.c_str());
    EXPECT_EQ(SetLanguageDelimiter(1, i, 1, 1, -1, 301, d30.c_str(), ""), 0);
    EXPECT_EQ(FindLanguageSpec(i)->delimiters[1].flags, 0u);
    EXPECT_EQ(SetLanguageDelimiter(1, i, 10, 1, -1, 301, "x", ""), 0);
}

TEST_F(LangSpec, DelimiterFlagsFromEntries) {
    int c = Make(4, LANG_F_CASE);
    SetLanguageDelimiter(1, c, 0, DELIM_REGION, -1, 301, "/*", "*/");
    SetLanguageDelimiter(1, c, 1, DELIM_SINGLE, -1, 302, "//", "");
    SetLanguageDelimiter(1, c, 2, DELIM_REGION, -1, 311, "\"", "\"");
    EXPECT_TRUE(FindLanguageSpec(c)->delimiters[0].flags & DELIM_C_COMMENT);
    EXPECT_TRUE(FindLanguageSpec(c)->delimiters[2].flags & DELIM_EQUAL);
    EXPECT_EQ(GetLanguageFlags(c) & (LANG_F_REGIONS | LANG_F_SLASH_LINE | LANG_F_EQUAL_REGION),
              LANG_F_REGIONS | LANG_F_SLASH_LINE | LANG_F_EQUAL_REGION);
    // "/*" in a language with "//" comments is confirmed; closes are marked.
    int e = 0;
    const char* text = "/* x */";
    EXPECT_EQ(MatchLanguageDelimiter(c, 1, DELIM_REGION, -1, text, -1, 0, 1, &e), text + 2);
    EXPECT_EQ(e, 0 | DELIM_MATCH_CONFIRM);
    EXPECT_EQ(MatchLanguageDelimiter(c, 2, DELIM_REGION, -1, text + 5, -1, 0, 6, &e), text + 7);
    EXPECT_EQ(e, 0 | DELIM_MATCH_CLOSE | DELIM_MATCH_CONFIRM);
    // Escaped quote does not close the string.
    const char* s = "a\\\"b";
    EXPECT_EQ(MatchLanguageDelimiter(c, 0, DELIM_REGION, 2, s + 2, -1, 1, 3, &e), nullptr);
    EXPECT_EQ(MatchLanguageDelimiter(c, 0, DELIM_REGION, 2, s + 2, -1, 0, 3, &e), s + 3);
    // Matlab marks its entries.
    int m = Make(LANG_MATLAB);
    SetLanguageDelimiter(1, m, 0, DELIM_REGION, -1, 301, "%{", "%}");
    SetLanguageDelimiter(1, m, 1, DELIM_SINGLE, -1, 302, "%", "");
    EXPECT_TRUE(FindLanguageSpec(m)->delimiters[0].flags & DELIM_MATLAB_REGION);
    EXPECT_TRUE(FindLanguageSpec(m)->delimiters[1].flags & DELIM_MATLAB_SINGLE);
    EXPECT_EQ(MatchLanguageDelimiter(m, 1, DELIM_REGION, -1, "%{  ", -1, 0, 1, &e) != nullptr, true);
    EXPECT_EQ(MatchLanguageDelimiter(m, 1, DELIM_REGION, -1, "%{ x", -1, 0, 1, &e), nullptr);
}

TEST_F(LangSpec, MatchingTable) {
    int forth = Make(LANG_FORTH);
    SetLanguageDelimiter(1, forth, 0, DELIM_REGION, -1, 301, "(", ")");
    SetLanguageDelimiter(1, forth, 1, DELIM_SINGLE, -1, 302, "\\", "");
    int basic = Make(2);
    SetLanguageDelimiter(1, basic, 0, DELIM_SINGLE, -1, 302, "REM", "");
    SetLanguageDelimiter(1, basic, 1, DELIM_SINGLE | DELIM_VARIANT, 1, 303, "^I*", "");
    SetLanguageDelimiter(1, basic, 2, DELIM_SINGLE | DELIM_NO_TOKEN, -1, 304, "'", "");
    int pas = Make(23);
    SetLanguageDelimiter(1, pas, 0, DELIM_REGION | DELIM_SINGLE | 0x40, -1, 301, "(*", "*)");
    SetLanguageDelimiter(1, pas, 1, DELIM_REGION, -1, 301, "{", "}");
    struct Case {
        int index; int which; int mask; const char* text; int token; int column;
        int consumed; int entry;  // consumed -1: no match
    } cases[] = {
        {forth, 1, DELIM_REGION, "( comment )", -1, 1, 1, 0},
        {forth, 1, DELIM_REGION, "(", -1, 1, 1, 0},
        {forth, 1, DELIM_REGION, "(x", -1, 1, -1, 0},
        {forth, 1, DELIM_REGION, "( x", 309, 1, 1, 0},
        {forth, 1, DELIM_REGION, "( x", 320, 1, -1, 0},
        {forth, 0, DELIM_REGION, ") x", -1, 5, 1, 0},
        {forth, 1, DELIM_SINGLE, "\\ rest", -1, 1, 1, 1},
        {basic, 1, DELIM_SINGLE, "Rem note", -1, 1, 3, 0},
        {basic, 1, DELIM_SINGLE, "rem", -1, 1, 3, 0},
        {basic, 1, DELIM_SINGLE, "remark", -1, 1, -1, 0},
        {basic, 1, DELIM_SINGLE, "'note", -1, 1, 1, 2},
        {basic, 1, DELIM_SINGLE, "'note", 320, 1, -1, 0},
        {basic, 1, DELIM_SINGLE | DELIM_VARIANT, "\t*x", -1, 1, 2, 1},
        {basic, 1, DELIM_SINGLE, "\t*x", -1, 1, -1, 0},
        {basic, 1, DELIM_SINGLE | DELIM_VARIANT, "\t*x", -1, 2, -1, 0},
        {pas, 1, DELIM_REGION, "(* c *)", -1, 1, 2, 0},
        {pas, 1, DELIM_REGION, "(*}", -1, 1, -1, 0},
        {pas, 2, DELIM_REGION, "} x", -1, 4, 1, 1 | DELIM_MATCH_CLOSE},
        {pas, 1, DELIM_SINGLE, "{", -1, 1, -1, 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.text) + " in " + std::to_string(k.index));
        int e = -1;
        const char* r = MatchLanguageDelimiter(k.index, k.which, k.mask, -1, k.text, k.token, 0,
                                               k.column, &e);
        if (k.consumed < 0) {
            EXPECT_EQ(r, nullptr);
        } else {
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(r - k.text, k.consumed);
            EXPECT_EQ(e, k.entry);
        }
    }
    // Stored lower case, handed out upper case.
    char open[LANG_DELIM_TEXT];
    EXPECT_STREQ(FindLanguageSpec(basic)->delimiters[0].open, "rem");
    EXPECT_EQ(GetLanguageDelimiter(basic, 0, open, nullptr, nullptr, nullptr), DELIM_SINGLE);
    EXPECT_STREQ(open, "REM");
}

TEST_F(LangSpec, ValuePrefixAndCharQueries) {
    int i = Make(4);
    SetLanguageDelimiter(1, i, 0, DELIM_REGION | DELIM_PAIR, -1, 301, "<!--", "-->");
    SetLanguageDelimiter(1, i, 1, DELIM_REGION, -1, 311, "<", ">");
    SetLanguageDelimiter(1, i, 2, DELIM_REGION, -1, 312, "<!", ">");
    SetLanguageDelimiter(1, i, 3, DELIM_SINGLE | DELIM_VALUE | DELIM_VARIANT, 7, 305, "x", "");
    EXPECT_TRUE(GetLanguageFlags(i) & LANG_F_ENTRY4);
    EXPECT_EQ(FindShortestPrefixDelimiter(i, 0), 1);
    EXPECT_EQ(FindShortestPrefixDelimiter(i, 1), 1);
    int token = 0;
    EXPECT_EQ(FindLanguageDelimiterValue(i, DELIM_VARIANT, &token), 7);
    EXPECT_EQ(token, 305);
    EXPECT_EQ(FindLanguageDelimiterValue(i, 0, &token), LANG_NO_VALUE);
    int e = -1;
    EXPECT_EQ(FindDelimiterCharEntry(i, "ab>", &e), 1);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(FindDelimiterCharEntry(i, "xyz", &e), 0);
}

TEST_F(LangSpec, NamesSplitFormatAndFind) {
    int c = Make(4);
    int w = AddLanguageSpec(4, "lang_c-win.JS");
    SetLanguageSpecLanguage(w, -1, "Win32");
    int hidden = AddLanguageSpec(4, nullptr);
    SetLanguageSpecLanguage(hidden, -1, "Secret");
    SetLanguageFlags(1, hidden, LANG_F_HIDDEN);
    struct Case { const char* text; int language; const char* spec; int index; } cases[] = {
        {"C/C++ \xBB Win32", 4, "Win32", w},
        {"  c/c++\twin32  ", 4, "win32", w},
        {"C/C++", 4, "", c},
        {"C/C++ \xBB Secret", 4, "Secret", -1},
        {"Klingon \xBB x", -1, "x", -1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        int language;
        char spec[64];
        SplitLanguageSpecName(k.text, &language, spec, sizeof spec);
        EXPECT_EQ(language, k.language);
        EXPECT_STREQ(spec, k.spec);
        EXPECT_EQ(FindLanguageSpecByName(k.text), k.index);
    }
    char out[100];
    EXPECT_STREQ(FormatLanguageSpecName(out, sizeof out, 0, "C/C++", "Win32"), "C/C++ \xBB Win32");
    EXPECT_STREQ(FormatLanguageSpecName(out, sizeof out, 1, "C/C++", "Win32"), "C/C++\tWin32");
    EXPECT_STREQ(FormatLanguageSpecName(out, sizeof out, 0, "C/C++", "c/c++"), "C/C++");
    EXPECT_EQ(FormatLanguageSpecDisplay(out, sizeof out, 1, w), w);
    EXPECT_STREQ(out, "C/C++\tWin32");
    EXPECT_EQ(FormatLanguageSpecDisplay(out, sizeof out, 1, 99), -1);
    EXPECT_STREQ(out, "");
}

TEST_F(LangSpec, RubyRunTimeEntries) {
    int r = Make(LANG_RUBY);
    struct Case {
        const char* text; int previous; const char* word;
        int result; int length; int token; uint32_t flags; int column; const char* open; const char* close;
    } cases[] = {
        {"%q(abc)", ' ', "", 1, 3, 312, DELIM_REGION | DELIM_PAIR, -1, "(", ")"},
        {"%Q[abc]", ' ', "", 1, 3, 311, DELIM_REGION | DELIM_PAIR, -1, "[", "]"},
        {"%w|a b|", ' ', "", 1, 3, 312, DELIM_REGION, -1, "", "|"},
        {"%{x}", ' ', "", 1, 2, 311, DELIM_REGION | DELIM_PAIR, -1, "{", "}"},
        {"% x", ' ', "", 0, 0, 0, 0, 0, "", ""},
        {"%d", ' ', "", 0, 0, 0, 0, 0, "", ""},
        {"\"s\"", ' ', "", 1, 1, 311, DELIM_REGION, -1, "", "\""},
        {"'s'", ' ', "", 1, 1, 312, DELIM_REGION, -1, "", "'"},
        {"'s'", '$', "", 0, 0, 0, 0, 0, "", ""},
        {"`ls`", '?', "", 0, 0, 0, 0, 0, "", ""},
        {"<<EOS", ' ', "", 1, 5, 311, DELIM_REGION | DELIM_NO_TOKEN, 1, "", "EOS"},
        {"<<-EOS  ", ' ', "x", 1, 6, 311, DELIM_REGION | DELIM_NO_TOKEN, -1, "", "EOS"},
        {"<<'END X')", ' ', "", 1, 9, 312, DELIM_REGION | DELIM_NO_TOKEN, 1, "", "END X"},
        {"<<' END'", ' ', "", 0, 0, 0, 0, 0, "", ""},
        {"<<Foo", ' ', "class", 0, 0, 0, 0, 0, "", ""},
        {"<<123", ' ', "", 0, 0, 0, 0, 0, "", ""},
        {"<<EOS x", ' ', "", 0, 0, 0, 0, 0, "", ""},
        {"<<ABCDEFGHIJKLMNOPQRSTUVWXYZABCD", ' ', "", 0, 0, 0, 0, 0, "", ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        int e = -5, len = 0, token = 0;
        ASSERT_EQ(lang_Ruby_string(k.text, k.previous, k.word, r, &e, &len, &token), k.result);
        if (!k.result) {
            EXPECT_EQ(e, -1);
            continue;
        }
        EXPECT_EQ(len, k.length);
        EXPECT_EQ(token, k.token);
        ASSERT_GE(e, LANG_DELIM_FILE);
        char open[LANG_DELIM_TEXT], close[LANG_DELIM_TEXT];
        int column;
        EXPECT_EQ(GetLanguageDelimiter(r, e, open, close, &column, nullptr), k.flags);
        EXPECT_EQ(column, k.column);
        EXPECT_STREQ(open, k.open);
        EXPECT_STREQ(close, k.close);
    }
    EXPECT_EQ(GetLanguageFlags(r) & 0x7000u, 0x7000u);
    // An equal literal reuses its entry; the close text of a here-document
    // matches at the start of a line only.
    int a = -1, b = -1, len, token;
    lang_Ruby_string("<<EOS", ' ', "", r, &a, &len, &token);
    lang_Ruby_string("<<EOS", ' ', "", r, &b, &len, &token);
    EXPECT_EQ(a, b);
    int e = -1;
    EXPECT_NE(MatchLanguageDelimiter(r, 0, DELIM_REGION, a, "EOS", -1, 0, 1, &e), nullptr);
    EXPECT_EQ(MatchLanguageDelimiter(r, 0, DELIM_REGION, a, "EOS", -1, 0, 3, &e), nullptr);
}

TEST_F(LangSpec, RubyTableFullLeavesLiteralUnrecognised) {
    int r = Make(LANG_RUBY);
    // Sixty distinct here-documents fill entries 10..69.
    for (int i = 0; i < LANG_DELIM_COUNT - LANG_DELIM_FILE; ++i) {
        std::string text = "<<ID" + std::to_string(i);
        int e = -1, len, token;
        ASSERT_EQ(lang_Ruby_string(text.c_str(), ' ', "", r, &e, &len, &token), 1);
        EXPECT_EQ(e, LANG_DELIM_FILE + i);
    }
    int e = -3, len = 0, token = 0;
    EXPECT_EQ(lang_Ruby_string("<<ONEMORE", ' ', "", r, &e, &len, &token), 0);
    EXPECT_EQ(e, -1);
    // An existing literal still finds its entry.
    EXPECT_EQ(lang_Ruby_string("<<ID7", ' ', "", r, &e, &len, &token), 1);
    EXPECT_EQ(e, LANG_DELIM_FILE + 7);
}

TEST_F(LangSpec, WordLengthUsesIdentifierSets) {
    int a = Make(4);
    int b = AddLanguageSpec(18, nullptr);
    SetLanguageSpecFields(b, "", 0, "abcdefghijklmnopqrstuvwxyz*", "abcdefghijklmnopqrstuvwxyz-*", "");
    EXPECT_EQ(LanguageWordLength(a, "foo_1+x"), 5);
    EXPECT_EQ(LanguageWordLength(a, "1abc"), 0);
    EXPECT_EQ(LanguageWordLength(b, "*a-b* c"), 5);
    EXPECT_EQ(LanguageWordLength(b, "_x"), 0);
}

}  // namespace
