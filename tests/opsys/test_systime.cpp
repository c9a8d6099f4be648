// Times: elapsed-time texts, the stopwatch, version flags of the system, and
// texts of the current time.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "opsys/systime.h"

TEST(SysTime, ElapsedTimeTexts) {
    struct C {
        long long seconds;
        const char* text;
    };
    const C cases[] = {
        {0, "Secs: 00"},
        {59, "Secs: 59"},
        {61, "Mins: 01, Secs: 01"},
        {3600, "Hours: 01, Mins: 00, Secs: 00"},
        {86399, "Hours: 23, Mins: 59, Secs: 59"},
        {90061, "Days: 1, Hours: 01, Mins: 01, Secs: 01"},
        {12 * 86400, "Days: 12, Hours: 00, Mins: 00, Secs: 00"},
    };
    for (const C& c : cases) {
        char out[64];
        EXPECT_EQ(FormatElapsedTime(out, sizeof out, c.seconds), c.seconds);
        EXPECT_STREQ(out, c.text);
    }
    char small[6];
    FormatElapsedTime(small, sizeof small, 59);
    EXPECT_STREQ(small, "Secs:");
    EXPECT_EQ(FormatElapsedTime(nullptr, 0, 5), 5);
    char out[64];
    FormatElapsedTime(out, sizeof out, 1000, 1061);
    EXPECT_STREQ(out, "Mins: 01, Secs: 01");
}

TEST(SysTime, Stopwatch) {
    Stopwatch w;
    char text[64] = "stale";
    EXPECT_FALSE(w.IsRunning());
    EXPECT_EQ(w.Elapsed(text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(w.Start(), 0);
    long long start = w.StartTime();
    EXPECT_NE(start, 0);
    EXPECT_EQ(w.Start(), 1);
    EXPECT_EQ(w.StartTime(), start);
    EXPECT_GE(w.Elapsed(text, sizeof text), 0);
    EXPECT_EQ(std::string(text).rfind("Secs: ", 0), 0u);
    w.Reset();
    EXPECT_FALSE(w.IsRunning());
}

TEST(SysTime, OsVersionFlags) {
    struct C {
        unsigned major, minor;
        int nt;
        unsigned flags;
    };
    const C cases[] = {
        {5, 0, 1, 0x20}, {5, 1, 1, 0x20}, {6, 1, 1, 0x20}, {10, 0, 1, 0x20},   // every NT from 5 on
        {4, 0, 1, 0x10}, {3, 51, 1, 0x08},
        {4, 0, 0, 0x04}, {4, 10, 0, 0x40}, {4, 90, 0, 0x40}, {3, 0, 0, 0x01}, {3, 95, 0, 0x04}, {3, 10, 0, 0x02},
    };
    for (const C& c : cases)
        EXPECT_EQ(OSVersionFlagsFor(c.major, c.minor, c.nt), c.flags) << c.major << "." << c.minor << " " << c.nt;
}

TEST(SysTime, NowTexts) {
    char t[32], t12[32], d[32];
    TimeNowText(t, sizeof t);
    TimeNowText12(t12, sizeof t12);
    DateNowText(d, sizeof d);
    int h, m, s;
    EXPECT_EQ(sscanf(t, "%d:%d:%d", &h, &m, &s), 3) << t;
    EXPECT_TRUE(h >= 0 && h < 24 && !(t[0] == '0' && t[1] != ':')) << t;   // no leading zero
    EXPECT_TRUE(std::string(t12).find(" AM") != std::string::npos || std::string(t12).find(" PM") != std::string::npos);
    int day, year;
    char mon[8];
    EXPECT_EQ(sscanf(d, "%d %3s %d", &day, mon, &year), 3) << d;
    EXPECT_GE(year, 2020);
    char tiny[4];
    TimeNowText(tiny, sizeof tiny);
    EXPECT_EQ(strlen(tiny), 3u);
}
