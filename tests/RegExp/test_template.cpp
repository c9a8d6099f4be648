// Replacement templates: into strings, into buffers with case changes,
// groups across lines and the date formats, and their validation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "RegExp/regexp.h"
#include "tests/RegExp/regexp_test_support.h"

namespace {

struct StringCase {
    const char* tmpl;
    const char* text;
    int error;
    const char* expected;
};

const StringCase kStringCases[] = {
    {"\\U\\1\\e-\\u\\2", "foo-bar", 0, "FOO-Bar"},
    {"\\2\\1", "foo-bar", 0, "barfoo"},
    {"\\L\\0!", "FOO-BAR", 0, "foo-bar!"},
    {"\\l\\1\\u", "FOO-BAR", 0, "fOO"},
    {"<\\3>", "foo-bar", 0, "<>"},
    {"\\d065\\x42\\o103\\t", "foo-bar", 0, "ABC\t"},
    {"\\d010", "foo-bar", RE_E_CHAR_VALUE, nullptr},
    {"\\d000", "foo-bar", RE_E_CHAR_VALUE, nullptr},
    {"\\d12", "foo-bar", RE_E_DECIMAL, nullptr},
    {"\\xZZ", "foo-bar", RE_E_HEX, nullptr},
    {"a\\nb", "foo-bar", RE_E_SYNTAX, nullptr},
    {"\\q", "foo-bar", RE_E_SYNTAX, nullptr},
    {"$d", "foo-bar", RE_E_SYNTAX, nullptr},
    {"a\tb", "foo-bar", RE_E_CONTROL, nullptr},
    {"", "foo-bar", 0, ""},
};

TEST(RegexTemplate, ExpandToString) {
    int err;
    RE_NODE* p = RE_Compile("{:a+}-{:a+}", 0, 3, &err);
    for (const StringCase& c : kStringCases) {
        SCOPED_TRACE(c.tmpl);
        int g[RE_RANGE_GROUPS];
        ASSERT_EQ(RegexMatchRange(p, c.text, static_cast<int>(strlen(c.text)), 0, g, 0), 1);
        char* out = reinterpret_cast<char*>(1);
        int len = -1;
        EXPECT_EQ(RegexExpandToString(c.tmpl, c.text, g, &out, &len), c.error);
        if (c.expected) {
            ASSERT_NE(out, nullptr);
            EXPECT_STREQ(out, c.expected);
            EXPECT_EQ(len, static_cast<int>(strlen(c.expected)));
        } else {
            EXPECT_EQ(out, nullptr);
        }
        free(out);
    }
    RegexFree(p);
}

struct CheckCase {
    const char* pattern;
    const char* tmpl;
    int error;
};

const CheckCase kCheckCases[] = {
    {"{a}", "\\1", 0},
    {"{a}", "\\2", RE_E_NO_TAG},
    {"{a}|b", "\\9", 0},
    {"a", "x\\", RE_E_ESCAPE_END},
    {"a", "x\\\x01", RE_E_ESCAPE_END},
    {"a", "x\x01", RE_E_CONTROL},
    {"a", "\\d010", RE_E_CHAR_VALUE},
    {"a", "$d$t$T$i$nu$nc\\U\\L\\u\\l\\e\\E\\n\\r\\b\\a\\t\\f", 0},
    {"a", "$d\"%Y-%m-%d %#H\"", 0},
    {"a", "$d\"%Q\"", RE_E_SYNTAX},
    {"a", "$d\"%", RE_E_SYNTAX},
    {"a", "$d\"%n\"", RE_E_SYNTAX},
};

TEST(RegexTemplate, CheckAgainstPattern) {
    for (const CheckCase& c : kCheckCases) {
        SCOPED_TRACE(c.tmpl);
        EXPECT_EQ(RegexCheckReplacement(c.pattern, c.tmpl, 3), c.error);
    }
    std::string long_format = "$d\"" + std::string(300, 'x') + "\"";
    EXPECT_EQ(RegexCheckReplacement("a", long_format.c_str(), 3), RE_E_SYNTAX);
}

const char* UserText(int which) {
    return which == 'i' ? "JD" : which == 'u' ? "Jane Doe" : "Acme";
}

class TemplateBuffer : public BufferTest {
protected:
    // Finds `pattern` in `src` and writes `tmpl` into a new buffer.
    int Replace(const char* pattern, VMB* src, const char* tmpl, VMB** dst, int flags = 0) {
        int err;
        RE_NODE* p = RE_Compile(pattern, 0, 3, &err);
        EXPECT_NE(p, nullptr);
        RE_MATCH m;
        int sel;
        EXPECT_EQ(RegexSearchLines(src, 1, 0, -3, -3, 1, 0, 1, p, RE_S_KEEP_WHOLE, &m, &sel), 1);
        RegexFree(p);
        *dst = Make({});
        return RegexInsertReplacement(tmpl, flags, src, &m, *dst);
    }
};

TEST_F(TemplateBuffer, CaseChangesGroupsAndUserTexts) {
    RegexSetUserTextSource(UserText);
    VMB* src = Make({"foo bar"});
    VMB* dst;
    EXPECT_EQ(Replace("{:a+} {:a+}", src, "\\U\\1\\e-\\u\\2\\n$i $nu/$nc", &dst), 0);
    EXPECT_EQ(Lines(dst), (std::vector<std::string>{"FOO-Bar", "JD Jane Doe/Acme"}));
    EXPECT_EQ(vm_state_flags(dst, VM_OP_READ, 0xF000000), 0u);
    EXPECT_EQ(vm_user_value(dst, -1), 3);
    RegexSetUserTextSource(nullptr);
}

TEST_F(TemplateBuffer, GroupAcrossLinesIntoTheSameBuffer) {
    VMB* src = Make({"ab", "cd"});
    int err;
    RE_NODE* p = RE_Compile("{b\\nc}", 0, 3, &err);
    RE_MATCH m;
    int sel;
    ASSERT_EQ(RegexSearchLines(src, 1, 0, -3, -3, 1, 0, 1, p, 0, &m, &sel), 1);
    RegexFree(p);
    // Written before the group's own text: the group is read first.
    vm_set_position(src, 1, 0);
    EXPECT_EQ(RegexInsertReplacement("<\\1>", 0, src, &m, src), 0);
    EXPECT_EQ(Lines(src), (std::vector<std::string>{"<b", "c>ab", "cd"}));
}

TEST_F(TemplateBuffer, ErrorsAndLiteralMode) {
    VMB* src = Make({"b"});
    VMB* dst;
    EXPECT_EQ(Replace("{x}?b", src, "\\1", &dst), RE_E_NO_TAG_TEXT);
    EXPECT_EQ(Replace("b", src, "$d\"%Q\"", &dst), RE_E_SYNTAX);
    EXPECT_EQ(Replace("b", src, "\\U\\d000", &dst), RE_E_CHAR_VALUE);
    EXPECT_EQ(vm_state_flags(dst, VM_OP_READ, 0xF000000), 0u); // case bits cleared on error
    EXPECT_EQ(Replace("b", src, "\\1$d", &dst, 1), 0);
    EXPECT_EQ(Lines(dst), (std::vector<std::string>{"\\1$d"}));
}

TEST_F(TemplateBuffer, DateFormats) {
    VMB* src = Make({"b"});
    VMB* dst;
    ASSERT_EQ(Replace("b", src, "$d\"%Y-%m-%d\"", &dst), 0);
    std::string date = Lines(dst)[0];
    int err;
    RE_NODE* iso = RE_Compile("^:d:d:d:d-:d:d-:d:d$", 0, 3, &err);
    EXPECT_EQ(RegexMatchRange(iso, date.c_str(), static_cast<int>(date.size()), 0, nullptr, 0), 1)
        << date;
    RegexFree(iso);
    ASSERT_EQ(Replace("b", src, "[$d][$t][$T]", &dst), 0);
    EXPECT_GT(Lines(dst)[0].size(), 8u);
}

} // namespace
