// The formatter: its directives, joining into an array, bounds, and bad
// arguments.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "opsys/format.h"

namespace {

struct Case {
    const char* format;
    char kind;          // 'i' an int argument, 's' a string, '-' none
    int number;
    const char* text;
    const char* expect;
    unsigned flags;
};

const Case kCases[] = {
    {"%5d", 'i', 42, nullptr, "   42", 0},
    {"%-5d|", 'i', 42, nullptr, "42   |", 0},
    {"%05x", 'i', 255, nullptr, "000ff", 0},
    {"%05d", 'i', -42, nullptr, "-0042", 0},
    {"%-05d|", 'i', 42, nullptr, "42   |", 0},
    {"%d", 'i', -2147483647 - 1, nullptr, "-2147483648", 0},
    {"%u", 'i', -1, nullptr, "4294967295", 0},
    {"%x", 'i', -1, nullptr, "ffffffff", 0},
    {"[%3c]", 'i', 'A', nullptr, "[  A]", 0},
    {"%s", 's', 0, nullptr, "(null)", 0},
    {"%8s|", 's', 0, nullptr, "  (null)|", 0},
    {"%-6s|", 's', 0, "ab", "ab    |", 0},
    {"%2s", 's', 0, "abcdef", "abcdef", 0},   // a field is never shorter than its text
    {"a%ab%bc%hd%we%nf%kg%eh", '-', 0, nullptr, "abcdefgh", 0x10000 | 0x20000 | 0x4000 | 0x2000},
    {"Recursive Error: %s%b%e", 's', 0, "boom", "Recursive Error: boom", 0x20000},
    {"%q and %5y", '-', 0, nullptr, "%q and %5y", 0},
    {"100%% or 100%", '-', 0, nullptr, "100% or 100%", 0},
};

} // namespace

TEST(FormatStr, Directives) {
    for (const Case& c : kCases) {
        char out[64];
        out[0] = '\0';
        unsigned flags = c.kind == 'i'   ? format_strf(out, sizeof out, c.format, c.number)
                         : c.kind == 's' ? format_strf(out, sizeof out, c.format, c.text)
                                         : format_strf(out, sizeof out, c.format);
        EXPECT_STREQ(out, c.expect) << c.format;
        EXPECT_EQ(flags, c.flags) << c.format;
    }
}

TEST(FormatStr, JoinKeepsTextAlreadyInTheArray) {
    char out[32] = "abc";
    EXPECT_EQ(format_strf(out, sizeof out, "%jdef %d", 7), 0x10u);
    EXPECT_STREQ(out, "abcdef 7");

    // a full array stays as it is
    char full[6] = "abcde";
    format_strf(full, sizeof full, "%jxyz");
    EXPECT_STREQ(full, "abcde");
}

TEST(FormatStr, StopsAtTheEndOfTheArray) {
    struct Cut {
        const char* format;
        const char* arg;
        size_t size;
        const char* expect;
    };
    const Cut cuts[] = {
        {"abcdefgh", nullptr, 5, "abcd"},
        {"abc%s", "defghijkl", 8, "abc"},        // a field that does not fit ends the output
        {"%s", "abcdefg", 8, "abcdefg"},         // one that just fits is kept
        {"ab%q", nullptr, 4, "ab"},              // an unknown directive needs two places
        {"ab%%cd", nullptr, 4, "ab%"},
        {"%10d", nullptr, 6, ""},
    };
    for (const Cut& c : cuts) {
        char buf[32];
        memset(buf, 'X', sizeof buf);
        if (strcmp(c.format, "%10d") == 0) format_strf(buf, c.size, c.format, 5);
        else format_strf(buf, c.size, c.format, c.arg);
        EXPECT_STREQ(buf, c.expect) << c.format;
        for (size_t i = c.size; i < sizeof buf; ++i) ASSERT_EQ(buf[i], 'X') << c.format << " wrote past " << c.size;
    }
    char one = 'X';
    format_strf(&one, 0, "abc");
    EXPECT_EQ(one, 'X');
}

TEST(FormatStr, LongStringArgumentIsTakenUpTo1024Characters) {
    std::string big(3000, 'a');
    static char out[4096];
    format_strf(out, sizeof out, "%s|", big.c_str());
    EXPECT_EQ(strlen(out), 1025u);
    EXPECT_EQ(out[1024], '|');
}

TEST(StrPrintf, BoundsAndBadArguments) {
    char buf[16];
    memset(buf, 'X', sizeof buf);
    EXPECT_EQ(str_printf(buf, 8, "%s-%d", "abc", 12345), 4);   // "abc-" then the number does not fit
    EXPECT_STREQ(buf, "abc-");
    EXPECT_EQ(buf[8], 'X');
    EXPECT_EQ(str_printf(nullptr, 8, "x"), -1);
    EXPECT_EQ(str_printf(buf, 8, nullptr), -1);

    // never more than 1023 characters, whatever size is claimed
    static char big[4096];
    std::string text(1000, 'b');
    EXPECT_EQ(str_printf(big, sizeof big, "%s%s", text.c_str(), text.c_str()), 1000);
    EXPECT_EQ(str_printf(big, sizeof big, "%s%s", text.c_str(), "01234567890123456789012"), 1023);
}
