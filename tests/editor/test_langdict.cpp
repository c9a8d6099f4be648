// Tests the language dictionaries: the word hash, the compiled form (bucket
// lines, templates, specification lines), loading into "Dicts", lookups by
// class, completion lists and templates, master copies, recompiling, and
// damaged sources reported with their file and line.
#include "editor/langdict.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "editor/langspec.h"
#include "tests/editor/doc_test_env.h"
#include "tests/Reu/reu_test_env.h"

namespace {

using doctest::Output;

// A small C dictionary: specification first so the words after it keep their case.
const char kCSource[] =
    "; C/C++ words\n"
    "[Language Specification]\n"
    "; change only through the language setup\n"
    "Version=1\n"
    "Name=C/C++\n"
    "Case Sensitive=1\n"
    "ID Start=_abc\n"
    "ID Follow=_abc0\n"
    "Comment=1\n"
    "Style=2\n"
    "Token=301\n"
    "Open=/*\n"
    "Close=*/\n"
    "Comment=2\n"
    "Style=1\n"
    "Token=302\n"
    "Open=//\n"
    "[Keywords]\n"
    "  if\n"
    "while\n"
    "[Types]\n"
    "int\n"
    "[Preprocessor]\n"
    "#define\n"
    "[Templates]\n"
    "if\tif (^) {   \n"
    "SkeletonC\tFunctions\n"
    "wh\twhile (^)\n"
    "[User 1]\n"
    "a\n";

class LangDict : public doctest::LangTest {
protected:
    std::string UserPath(const char* name) { return config() + name + ".JS"; }
    int Load(int language) {
        int index = -1;
        EXPECT_EQ(FindOrLoadLanguageSpec(&index, language, nullptr, nullptr), 1);
        return index;
    }
};

TEST(LangDictHash, KnownWords) {
    struct Case { const char* word; unsigned hash; } cases[] = {
        {"if", 522}, {"while", 9821}, {"int", 2236}, {"#define", 1897},
        {"zzzzzzzzzz", 15898}, {"\xE9t\xE9", 777}, {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(LangDictHash(c.word), c.hash) << c.word;
    EXPECT_EQ(LangDictHash("whilex", 5), 9821u);
}

TEST_F(LangDict, CompiledFormIsExact) {
    Write(UserPath("lang_c"), kCSource);
    int c = Load(4);
    ASSERT_GE(c, 0);
    std::vector<std::string> lines = FileLines(config() + "lang$c.JS");
    ASSERT_EQ(lines.size(), 997u + 3 + 1 + 5 + 2);
    std::vector<std::string> expected(997);
    expected[522] = "Kif";
    expected[9821 % 997] = "Kwhile";
    expected[2236 % 997] = "Tint";
    expected[1897 % 997] = "P#define";
    expected[97] = "0a";
    expected.insert(expected.end(), {
        "tif\tif (^) { ", "tSkeletonC\tFunctions", "twh\twhile (^)", "",
        "Version\t1", "Name\tC/C++", "Case Sensitive\t1", "ID Start\t_abc", "ID Follow\t_abc0",
        "1\t2\t-1\t-1\t301\t/*\t*/", "2\t1\t-1\t-1\t302\t//\t"});
    EXPECT_EQ(lines, expected);
    // Loaded: the specification is in the record, its lines are gone from "Dicts".
    const CLanguageSpec* s = FindLanguageSpec(c);
    EXPECT_EQ(s->bucket_count, 997u);
    EXPECT_EQ(s->dict_line_count, 1000u);
    EXPECT_EQ(vm_last_ln(GetDictsBuffer()), 1000);
    EXPECT_TRUE(s->flags & LANG_F_CASE);
    EXPECT_FALSE(s->flags & LANG_F_DEFAULTS);
    EXPECT_STREQ(s->name, "");
    EXPECT_STREQ(s->id_start, "_abc");
    EXPECT_EQ(s->delimiters[0].token, 301);
    EXPECT_TRUE(s->delimiters[0].flags & DELIM_C_COMMENT);
    EXPECT_TRUE(s->flags & LANG_F_SLASH_LINE);
}

TEST_F(LangDict, LookupClassesAndCase) {
    Write(UserPath("lang_c"), kCSource);
    Write(UserPath("lang_pas"),
          "[Keywords]\nBegin\nEnd\n[Types]\nInteger\nReal\r\t\n\r\t\n[User 3]\nWriteLn\n[QW Commands]\n"
          "K_Save Saves the file\n[Preprocessor]\n{$ifdef\n");
    int c = Load(4), p = Load(23);
    struct Case { int index; const char* word; int cls; int token; const char* stored; } cases[] = {
        {c, "while", 0, TOKEN_KEYWORD, "while"},
        {c, "While", 0, TOKEN_NOT_FOUND, ""},
        {c, "int", 0, TOKEN_TYPENAME, "int"},
        {c, "int", TOKEN_KEYWORD, TOKEN_NOT_FOUND, ""},
        {c, "int", TOKEN_TYPENAME, TOKEN_TYPENAME, "int"},
        {c, "#define", 0, TOKEN_PREPROCESSOR, "#define"},
        {c, "a", 0, TOKEN_USER_1, "a"},
        {c, "whil", 0, TOKEN_NOT_FOUND, ""},
        {p, "BEGIN", 0, TOKEN_KEYWORD, "begin"},
        {p, "integer", TOKEN_TYPENAME, TOKEN_TYPENAME, "integer"},
        {p, "real", TOKEN_TYPENAME, TOKEN_TYPENAME, "real"}, // a CR before the blanks is no part of it
        {p, "writeln", TOKEN_USER_1 + 2, TOKEN_USER_1 + 2, "writeln"},
        {p, "k_save", 0, TOKEN_KEYWORD, "Saves the file"},
        {p, "{$IFDEF", 0, TOKEN_PREPROCESSOR, "{$ifdef"},
        {p, "k_sav", 0, TOKEN_NOT_FOUND, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.word);
        char word[64], text[64] = "";
        strcpy(word, k.word);
        EXPECT_EQ(LookupLanguageKeyword(word, k.index, k.cls, text, sizeof text), k.token);
        EXPECT_STREQ(text, k.stored);
    }
    // The word passed in is lower-cased in place for a case-insensitive language.
    char word[] = "BeGiN";
    LookupLanguageKeyword(word, p, 0, nullptr, 0);
    EXPECT_STREQ(word, "begin");
    EXPECT_EQ(LookupLanguageKeywordN("endless", 3, p, 0, nullptr, 0), TOKEN_KEYWORD);
    EXPECT_EQ(LookupLanguageKeyword(word, 99, 0, nullptr, 0), 0);
    // A language on defaults has no dictionary.
    int none = Load(LANG_NONE);
    EXPECT_TRUE(IsLanguageFlag10000(none));
    EXPECT_EQ(LookupLanguageKeyword(word, none, 0, nullptr, 0), TOKEN_NOT_FOUND);
}

TEST_F(LangDict, ListsAndTemplates) {
    Write(UserPath("lang_c"), kCSource);
    Write(UserPath("lang_pas"), "[Keywords]\nwith\nwhile\nwrite\n[Types]\nword\n[Templates]\nWh\twhile do\n");
    int c = Load(4), p = Load(23);
    char prefix[64] = "W";
    EXPECT_EQ(ListKeywordMatches(p, prefix, sizeof prefix, 0, "TestList"), 4);
    VMB* list = vmb_open(VMB_T_TEMP, "TestList", VMB_O_FINDONLY);
    EXPECT_EQ(reutest::Lines(list), (std::vector<std::string>{"while\t319", "with\t319", "word\t318",
                                                              "write\t319"}));
    EXPECT_EQ(ListKeywordMatches(p, prefix, sizeof prefix, TOKEN_TYPENAME, "TestList"), 1);
    strcpy(prefix, "wor");
    EXPECT_EQ(ListKeywordMatches(p, prefix, sizeof prefix, -1, nullptr), 1);
    EXPECT_STREQ(prefix, "word");
    EXPECT_EQ(ListKeywordMatches(LANG_COUNT + 5, prefix, sizeof prefix, 0, nullptr), -1);

    char line[128];
    EXPECT_EQ(FindTemplate(c, line, sizeof line, "wh", 0), 3);
    EXPECT_STREQ(line, "wh\twhile (^)");
    EXPECT_EQ(FindTemplate(c, line, sizeof line, "i", 0), 1);
    EXPECT_EQ(FindTemplate(c, line, sizeof line, "WH", 0), -1);   // case-sensitive language
    EXPECT_EQ(FindTemplate(p, line, sizeof line, "wh", 0), 1);    // case-insensitive
    EXPECT_EQ(FindTemplate(c, line, sizeof line, "i ", 32), -1);
    EXPECT_EQ(FindTemplate(c, line, sizeof line, "x", 0), -1);
    EXPECT_EQ(GetLanguageDictionaryLine(c, 2, line, sizeof line), 1);
    EXPECT_STREQ(line, "SkeletonC\tFunctions");
    EXPECT_EQ(GetLanguageDictionaryLine(c, 4, line, sizeof line), 0);
    VMB* skeletons = vmb_open(VMB_T_TEMP, "Skel", VMB_O_FILE);
    EXPECT_EQ(ListLanguageSkeletons(c, skeletons), 2);
    EXPECT_EQ(reutest::Lines(skeletons), (std::vector<std::string>{"if", "wh"}));
}

TEST_F(LangDict, TemplateWithoutTabStopsWithFileAndLine) {
    std::string path = UserPath("lang_c");
    Write(path, "[Keywords]\nif\n[Templates]\nok\tfine\nbroken line\nlater\tnever\n");
    int c = Load(4);
    ASSERT_GE(c, 0);
    EXPECT_TRUE(IsLanguageFlag10000(c));
    EXPECT_EQ(FindLanguageSpec(c)->bucket_count, 0u);
    EXPECT_FALSE(std::filesystem::exists(config() + "lang$c.JS"));
    ASSERT_EQ(Output(6).size(), 1u);
    EXPECT_EQ(Output(6)[0].rfind(path + "(5) : ", 0), 0u) << Output(6)[0];
#ifdef _WIN32
    EXPECT_NE(Output(6)[0].find("Expansion missing."), std::string::npos);
#endif
    // The user's file is left as it was.
    EXPECT_EQ(qwtest::ReadFileBytes(path), "[Keywords]\nif\n[Templates]\nok\tfine\nbroken line\nlater\tnever\n");
}

TEST_F(LangDict, DamagedSpecificationsAreReportedPerLine) {
    std::string path = UserPath("lang_bas");
    Write(path,
          "[Nonsense]\n"
          "[Language Specification]\n"
          "Version=1\n"
          "Colour=3\n"
          "Name=" + std::string(45, 'n') + "\n"
          "Comment=1\n"
          "Style=1\n"
          "Token=302\n"
          "Open=" + std::string(30, '#') + "\n"
          "Comment=2\n"
          "Style=1\n"
          "Token=302\n"
          "Open=REM\n"
          "[Keywords]\n"
          "Print\n" + std::string(151, 'w') + "\n");
    int b = Load(2);
    std::vector<std::string> lines = Output(6);
    ASSERT_EQ(lines.size(), 5u);
    const int expected_lines[] = {1, 4, 5, 9, 16};
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].rfind(path + "(" + std::to_string(expected_lines[i]) + ") : ", 0), 0u) << lines[i];
    // The good parts still load: the name is cut to 39, the long delimiter dropped.
    const CLanguageSpec* s = FindLanguageSpec(b);
    EXPECT_EQ(strlen(s->name), 39u);
    EXPECT_EQ(s->delimiters[0].flags, 0u);
    EXPECT_STREQ(s->delimiters[1].open, "rem");
    char word[] = "PRINT";
    EXPECT_EQ(LookupLanguageKeyword(word, b, 0, nullptr, 0), TOKEN_KEYWORD);
}

TEST_F(LangDict, FatalSpecificationErrorsFallBackToDefaults) {
    // box: the string shown in a box, 0 for none. The host build has no
    // string table, so there the box says which string it could not load.
    struct Case { const char* name; std::string text; unsigned box; } cases[] = {
        {"comment number", "[Language Specification]\nComment=11\nStyle=1\n[Keywords]\nx\n", 0},
        {"old version", "[Language Specification]\nVersion=0\n[Keywords]\nx\n", 912},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        reutest::Boxes().clear();
        Write(UserPath("lang_ada"), k.text);
        int i = Load(0);
        EXPECT_TRUE(IsLanguageFlag10000(i));
        std::vector<std::string> shown;
        for (const std::string& b : reutest::Boxes())
            if (b.rfind("String: ", 0) != 0 || (k.box && b.find(std::to_string(k.box)) != std::string::npos))
                shown.push_back(b);
        ASSERT_EQ(shown.size(), k.box ? 1u : 0u);
#ifdef _WIN32
        if (k.box) {
            EXPECT_NE(shown[0].find("version is incorrect"), std::string::npos);
        }
#endif
        ResetLanguageData(0x1);
        std::filesystem::remove(config() + "lang$ada.JS");
    }
}

TEST_F(LangDict, MasterCopyRecompileAndEmptyDictionary) {
    std::vector<int> copied;
    static std::vector<int>* sink;
    sink = &copied;
    LangDictHooks hooks{};
    hooks.master_copied = [](int language) { sink->push_back(language); };
    SetLangDictHooks(&hooks);
    Write(master() + "lang_prl.xxx", "[Keywords]\nmy\n");
    int p = Load(24);
    EXPECT_TRUE(std::filesystem::exists(UserPath("lang_prl")));
    EXPECT_EQ(copied, std::vector<int>{24});
    ASSERT_FALSE(Output(0).empty());
    EXPECT_EQ(Output(0)[0].rfind("Copied master language dictionary: ", 0), 0u);
    char word[] = "my";
    EXPECT_EQ(LookupLanguageKeyword(word, p, 0, nullptr, 0), TOKEN_KEYWORD);

    // A source newer than its compiled form is compiled again.
    ResetLanguageData(0x1);
    Write(UserPath("lang_prl"), "[Keywords]\nour\n");
    auto later = std::filesystem::last_write_time(config() + "lang$prl.JS") + std::chrono::seconds(5);
    std::filesystem::last_write_time(UserPath("lang_prl"), later);
    p = Load(24);
    char our[] = "our";
    EXPECT_EQ(LookupLanguageKeyword(our, p, 0, nullptr, 0), TOKEN_KEYWORD);
    EXPECT_EQ(LookupLanguageKeyword(word, p, 0, nullptr, 0), TOKEN_NOT_FOUND);

    // An empty dictionary removes its compiled file; the language runs on defaults.
    ResetLanguageData(0x1);
    Write(UserPath("lang_prl"), "; nothing\n");
    std::filesystem::last_write_time(UserPath("lang_prl"), later + std::chrono::seconds(5));
    p = Load(24);
    EXPECT_FALSE(std::filesystem::exists(config() + "lang$prl.JS"));
    EXPECT_TRUE(IsLanguageFlag10000(p));
}

TEST_F(LangDict, FurtherDictionariesAndCommandDictionary) {
    Write(UserPath("lang_c"), kCSource);
    Write(config() + "lang_c-win.JS", "[Language Specification]\nVersion=1\nName=Win32\n[Types]\nHWND\n");
    Write(UserPath("lang_qwk"), "[QW Commands]\nK_Save Saves\nbadline\n");
    int win = -1;
    ASSERT_EQ(FindOrLoadLanguageSpec(&win, 4, nullptr, "Win32"), 1);
    EXPECT_STREQ(FindLanguageSpec(win)->name, "Win32");
    int c = FindLanguageSpecIndex(4, nullptr, nullptr);
    EXPECT_NE(c, win);
    char hwnd[] = "hwnd";
    EXPECT_EQ(LookupLanguageKeyword(hwnd, win, 0, nullptr, 0), TOKEN_TYPENAME);
    int dummy;
    EXPECT_EQ(FindOrLoadLanguageSpec(&dummy, 4, nullptr, "Nope"), 0);
    // The command dictionary loads with its bad line reported, and never on defaults.
    int k = -1;
    ASSERT_EQ(FindOrLoadLanguageSpec(&k, LANG_COMMANDS, nullptr, nullptr), 1);
    EXPECT_FALSE(IsLanguageFlag10000(k));
    char text[64];
    char name[] = "K_Save";
    EXPECT_EQ(LookupLanguageKeyword(name, k, 0, text, sizeof text), TOKEN_KEYWORD);
    EXPECT_STREQ(text, "Saves");
    EXPECT_EQ(Output(6).size(), 1u);
    char path[300];
    ASSERT_EQ(GetLanguageDictionaryPath(path, LANG_COMMANDS), 1);
    EXPECT_EQ(std::string(path), UserPath("lang_qwk"));
    EXPECT_EQ(GetLanguageDictionaryPath(path, 38), 0);
}

TEST_F(LangDict, TemplateTreesAreAskedForOnceAndFreed) {
    static int asked = 0, freed = 0;
    static int tree = 0;
    asked = freed = 0;
    LangDictHooks hooks{};
    hooks.template_tree = [](int language, int) -> void* {
        ++asked;
        return language == 4 ? &tree : nullptr;
    };
    SetLangDictHooks(&hooks);
    LangTemplateTreeDeleter old = SetLanguageTemplateTreeDeleter([](void* t) { freed += t == &tree; });
    Write(UserPath("lang_c"), kCSource);
    int c = Load(4);
    EXPECT_EQ(FindLanguageSpec(c)->code_templates, &tree);
    EXPECT_EQ(Load(4), c);
    EXPECT_EQ(asked, 1);
    ResetLanguageData(0x1);
    EXPECT_EQ(freed, 1);
    SetLanguageTemplateTreeDeleter(old);
}

TEST_F(LangDict, LookupsFromManyThreadsWhileLoading) {
    Write(UserPath("lang_c"), kCSource);
    Write(UserPath("lang_pas"), "[Keywords]\nbegin\n");
    int c = Load(4);
    std::vector<std::thread> threads;
    std::atomic<int> bad{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i)
                if (LookupLanguageKeywordN("while", 5, c, 0, nullptr, 0) != TOKEN_KEYWORD) ++bad;
        });
    int p = Load(23);
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(LookupLanguageKeywordN("BEGIN", 5, p, 0, nullptr, 0), TOKEN_KEYWORD);
}

}  // namespace

namespace {

// The shipped master dictionaries, compiled and loaded as a new user's copies.
class MasterDictionaries : public doctest::LangTest {
protected:
    void SetUp() override {
        doctest::LangTest::SetUp();
        SetLanguageDictionaryFolders(QW_CONFIG_DIR "/", "JS");
    }
};

TEST_F(MasterDictionaries, EveryLanguageCompilesCleanly) {
    for (int id = 0; id < LANG_COMMANDS; ++id) {
        SCOPED_TRACE(LanguageDisplayName(id));
        int index = -1;
        ASSERT_EQ(FindOrLoadLanguageSpec(&index, id, nullptr, nullptr), 1);
        EXPECT_EQ(GetLanguageParserType(index), id);
        EXPECT_FALSE(IsLanguageFlag10000(index));
        EXPECT_EQ(FindLanguageSpec(index)->bucket_count, 997u);
    }
    EXPECT_TRUE(doctest::Output(6).empty()) << doctest::Output(6)[0];
}

TEST_F(MasterDictionaries, CommonLanguagesColourKeywordsCommentsAndStrings) {
    // keyword, a text opening a comment, a text opening a string (null: none).
    struct Case { int id; const char* keyword; const char* comment; const char* string; } cases[] = {
        {4, "while", "/* x */", "\"s\""},
        {4, "int", "// x", "'c'"},
        {23, "BEGIN", "{ x }", "'s'"},
        {23, "procedure", "(* x *)", nullptr},
        {24, "foreach", "# x", "\"s\""},
        {15, "TABLE", "<!-- x -->", "\"v\""},
        {36, nullptr, "; x", nullptr},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(LanguageDisplayName(k.id));
        int index = -1;
        ASSERT_EQ(FindOrLoadLanguageSpec(&index, k.id, nullptr, nullptr), 1);
        if (k.keyword) {
            char word[32];
            strcpy(word, k.keyword);
            EXPECT_NE(LookupLanguageKeyword(word, index, 0, nullptr, 0), TOKEN_NOT_FOUND);
        }
        int e = -1, column = -1, token = 0;
        ASSERT_NE(MatchLanguageDelimiter(index, 1, DELIM_SINGLE | DELIM_REGION, -1, k.comment, -1, 0, 1, &e), nullptr);
        GetLanguageDelimiter(index, e & 0xFF, nullptr, nullptr, &column, &token);
        EXPECT_EQ(token, 301);
        if (k.string) {
            ASSERT_NE(MatchLanguageDelimiter(index, 1, DELIM_REGION, -1, k.string, -1, 0, 5, &e), nullptr);
            GetLanguageDelimiter(index, e & 0xFF, nullptr, nullptr, nullptr, &token);
            EXPECT_TRUE(token == 311 || token == 312) << token;
        }
    }
}

}  // namespace
