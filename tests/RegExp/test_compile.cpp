// The compiler: every dialect's table, every error code, the program
// structures, and the string-table texts kept byte for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "RegExp/regexp.h"

namespace {

struct CompileCase {
    int dialect;
    const char* pattern;
    int error;
    int groups; // check-only result when error is 0
};

const CompileCase kCompileCases[] = {
    // Native dialect.
    {3, "", RE_E_EMPTY, 0},
    {3, "a**", RE_E_REPEAT, 0},
    {3, "a*?", 0, 0},
    {3, "{a}|{b}", 0, 10},
    {3, "{a}{b}", 0, 2},
    {3, "\\:kc", 0, 10}, // its `|` makes the count 10
    {3, "\\:kc\\2", RE_E_TWO_SELECTIONS, 0},
    {3, "[a-]", RE_E_SET_RANGE_END, 0},
    {3, "[a-z", RE_E_SET_END, 0},
    {3, "[d-a]", RE_E_SET_RANGE, 0},
    {3, "[]", 0, 0},
    {3, "[^a-z:d]", 0, 0},
    {3, "\\N300", 0, 0},
    {3, "\\N12", RE_E_DECIMAL, 0},
    {3, "\\x4g", RE_E_HEX, 0},
    {3, "\\o8", RE_E_OCTAL, 0},
    {3, "a\tb", RE_E_CONTROL, 0},
    {3, "a\\tb", 0, 0},
    {3, "(a|)", 0, 10},
    {3, "(|a)", RE_E_OR_EMPTY, 0},
    {3, "a|", RE_E_OR_EMPTY, 0},
    {3, "|a", RE_E_OR_FIRST, 0},
    {3, "(a", RE_E_NO_CLOSE, 0},
    {3, "(a}", RE_E_NO_CLOSE, 0},
    {3, "{a)", RE_E_NO_CLOSE, 0},
    {3, "a)", RE_E_NO_OPEN, 0},
    {3, "*a", RE_E_SYNTAX, 0},
    {3, "(*a)", RE_E_REPEAT, 0},
    {3, "^*", RE_E_REPEAT, 0},
    {3, "()*", RE_E_REPEAT, 0},
    {3, "{a}{b}{c}{d}{e}{f}{g}{h}{i}", 0, 9},
    {3, "{a}{b}{c}{d}{e}{f}{g}{h}{i}{j}", RE_E_TOO_MANY_TAGS, 0},
    {3, "\\1", RE_E_NO_TAG, 0},
    {3, "{a}\\1", 0, 1},
    {3, "{a}\\2|b", 0, 10}, // an alternation lifts the check
    {3, "a\\", RE_E_ESCAPE_END, 0},
    {3, "a\\\x01", RE_E_ESCAPE_END, 0},
    {3, "\\:n", 0, 10},
    {3, "\\:q", 0, 10},
    {3, "\\:fq", 0, 0},
    // Empty groups under every loop, and alternatives that can be empty.
    {3, "(a*)*", RE_E_EMPTY_GROUP, 0},
    {3, "(a*)+", RE_E_EMPTY_GROUP, 0},
    {3, "(a*)@", RE_E_EMPTY_GROUP, 0},
    {3, "(a?)#", RE_E_EMPTY_GROUP, 0},
    {3, "(a|)*", RE_E_EMPTY_GROUP, 0},
    {3, "({a*}(b)?)*", RE_E_EMPTY_GROUP, 0},
    {3, "(a*b)*", 0, 0}, // needs its b: never empty
    {3, "(ab*)*", 0, 0},
    {3, "(a+)*", 0, 0},
    {3, "(a*)?", 0, 0},
    // Original dialect: ? any, * any run, - optional, % fewest, @ most.
    {4, "^*.c$|^*.h$", 0, 10},
    {4, "a-b%c@", 0, 0},
    {4, "[!a-c]", 0, 0},
    {4, "[^]", 0, 0},
    {4, "a-@", RE_E_REPEAT, 0},
    // Posix dialect.
    {5, "\\s\\d+\\w*\\a", 0, 0},
    {5, "[\\d\\U]", 0, 0},
    {5, ":s:d", 0, 0},
    {5, "\\h\\H", 0, 0},
    // Developer-studio dialect.
    {6, "(a)", 0, 0},
    {6, "\\(a\\)", 0, 1},
    {6, "\\{a\\}\\(b\\)", 0, 1},
    {6, "a\\!b", 0, 10},
    {6, "a|b~{}", 0, 0},
    {6, "\\:z\\:i\\:x", 0, 0},
    {6, "\\(a\\}", RE_E_NO_CLOSE, 0},
};

TEST(RegexCompile, TableOfPatterns) {
    for (const CompileCase& c : kCompileCases) {
        SCOPED_TRACE(testing::Message() << "dialect " << c.dialect << " pattern '" << c.pattern << "'");
        int err = -1;
        RE_NODE* prog = RE_Compile(c.pattern, 0, c.dialect, &err);
        EXPECT_EQ(err, c.error);
        EXPECT_EQ(prog != nullptr, c.error == 0);
        RegexFree(prog);
        err = -1;
        int groups = RE_CheckGroups(c.pattern, 0, c.dialect, &err);
        EXPECT_EQ(err, c.error);
        if (!c.error) {
            EXPECT_EQ(groups, c.groups);
        }
    }
}

TEST(RegexCompile, MissingPatternAndPlainText) {
    int err = 0;
    EXPECT_EQ(RE_Compile(nullptr, 0, 3, &err), nullptr);
    EXPECT_EQ(err, RE_E_EMPTY);
    // Plain text: metacharacters and control characters are literals.
    RE_NODE* p = RE_Compile("(*\t", RE_F_PLAIN, 3, &err);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(err, 0);
    int n = 0;
    for (RE_NODE* x = p; x; x = x->next) {
        if (x->kind == RE_K_CHAR) ++n;
        else EXPECT_EQ(x->kind, RE_K_ACCEPT);
    }
    EXPECT_EQ(n, 3);
    RegexFree(p);
}

std::string Kinds(const RE_NODE* p) {
    std::ostringstream s;
    for (const RE_NODE* x = p; x; x = x->next) s << std::hex << x->kind << (x->next ? " " : "");
    return s.str();
}

TEST(RegexCompile, ProgramStructures) {
    int err;
    RE_NODE* p = RE_Compile("a*", RE_F_CASE, 3, &err);
    // case switch, choice(most, greedy), a, jump back, end, accept
    EXPECT_EQ(Kinds(p), "7 18d0 17 1 0 a");
    RE_NODE* choice = p->next;
    EXPECT_EQ(choice->arg.link, choice->next->next->next);        // END
    EXPECT_EQ(choice->next->next->arg.link, choice);               // jump back
    RegexFree(p);

    p = RE_Compile("a#", 0, 3, &err);
    EXPECT_EQ(Kinds(p), "1 10cf 17 1 0 a"); // jump into the element, choice(fewest)
    EXPECT_EQ(p->arg.link, p->next->next);
    RegexFree(p);

    p = RE_Compile("(a|b)", 0, 3, &err);
    EXPECT_EQ(Kinds(p), "300 18cd 17 2 0 17 500 a");
    RE_NODE* exit = p->next->next->next;
    EXPECT_EQ(exit->arg.link, p->next->next->next->next->next->next); // closing bracket
    RegexFree(p);

    p = RE_Compile("{x}", 0, 3, &err);
    EXPECT_EQ(Kinds(p), "b01 17 d01 a");
    RegexFree(p);

    p = RE_Compile("a|b", 0, 3, &err);
    EXPECT_EQ(p->next->next->arg.link, nullptr); // a top-level alternative succeeds
    RegexFree(p);
}

// Decodes a string of the resource script: \\ \n \r \" and "" escapes.
std::string RcString(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char c = s[++i];
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        } else if (s[i] == '"' && i + 1 < s.size() && s[i + 1] == '"') {
            out += '"';
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

TEST(RegexCompile, StringTableMatchesEngineTexts) {
    // The build may compile with relative source paths, so the folder comes
    // from the build's absolute data folder, <root>/tests/data.
    std::string root = QW_TEST_DATA_DIR;
    root = root.substr(0, root.rfind("/tests/data"));
    std::ifstream in(root + "/res/strings_regexp.rc");
    ASSERT_TRUE(in.good());
    std::string line;
    int seen = 0;
    while (std::getline(in, line)) {
        size_t comma = line.find(", \"");
        if (comma == std::string::npos || line.find("//") == 0) continue;
        unsigned id = static_cast<unsigned>(std::stoul(line));
        std::string text = RcString(line.substr(comma + 3, line.rfind('"') - comma - 3));
        const char* mine = RE_StringText(id);
        ASSERT_NE(mine, nullptr) << id;
        EXPECT_EQ(text, mine) << id;
        ++seen;
    }
    EXPECT_EQ(seen, 27);
    for (int code = 1; code <= 21; ++code) EXPECT_STREQ(RE_ErrorText(code), RE_StringText(1315 + code));
    EXPECT_STREQ(RE_ErrorText(3), "Invalid Regular Expression.\rNo closing parenthesis.");
    EXPECT_STREQ(RE_ErrorText(21), "Invalid character in RE. eg. \\1 in C/QW C program instead of \\\\1");
    EXPECT_STREQ(RE_ErrorText(30), "Syntax error in Regular Expression.");
    EXPECT_EQ(RE_ErrorText(22), nullptr);
}

} // namespace
