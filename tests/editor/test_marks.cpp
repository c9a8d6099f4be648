// Tests of the mark table: edit notifications moving and clearing marks,
// locked slots, refused slot numbers, the disabled table and the text form.
#include <gtest/gtest.h>

#include "editor/marks.h"

namespace {

TEST(MarkTable, EditNotificationsMoveMarks) {
    CQWMarkTable t;
    // Deleting columns 3..7 removes a mark at 5 and moves one at 9 to 5.
    t.Set(0, 4, 5);
    t.Set(1, 4, 9);
    t.Set(2, 4, 2);
    uint32_t moved = t.CharsDeleted(4, 3, 7);
    EXPECT_FALSE(t.IsSet(0));
    int l = 0, c = 0;
    ASSERT_TRUE(t.Get(1, &l, &c));
    EXPECT_EQ(5, c);
    ASSERT_TRUE(t.Get(2, &l, &c));
    EXPECT_EQ(2, c);
    EXPECT_EQ(0x3u, moved);
    EXPECT_TRUE(t.Moved(1, -1));
    EXPECT_FALSE(t.Moved(2, -1));

    // Split at column 10: a mark at 12 goes to column 2 of the next line,
    // one at 4 stays, one on a later line moves down.
    t.ResetAll();
    t.Set(0, 7, 12);
    t.Set(1, 7, 4);
    t.Set(2, 9, 0);
    t.LineSplit(7, 10);
    ASSERT_TRUE(t.Get(0, &l, &c));
    EXPECT_EQ(8, l);
    EXPECT_EQ(2, c);
    ASSERT_TRUE(t.Get(1, &l, &c));
    EXPECT_EQ(7, l);
    EXPECT_EQ(4, c);
    ASSERT_TRUE(t.Get(2, &l, &c));
    EXPECT_EQ(10, l);

    // Joining line 8 onto line 7 of length 20.
    t.ResetAll();
    t.Set(0, 8, 3);
    t.Set(1, 12, 1);
    t.LinesJoined(8, 20);
    ASSERT_TRUE(t.Get(0, &l, &c));
    EXPECT_EQ(7, l);
    EXPECT_EQ(23, c);
    ASSERT_TRUE(t.Get(1, &l, &c));
    EXPECT_EQ(11, l);

    // Insertions move marks at or after the column; line shifts from a line.
    t.ResetAll();
    t.Set(0, 2, 5);
    t.Set(1, 2, 4);
    t.Set(2, 2, 6);
    t.CharsInserted(2, 5, 3);
    t.Get(0, &l, &c);
    EXPECT_EQ(8, c);
    t.Get(1, &l, &c);
    EXPECT_EQ(4, c);
    t.LinesShifted(2, 2);
    t.Get(1, &l, &c);
    EXPECT_EQ(4, l);
}

TEST(MarkTable, DisabledLockedAndInvalidSlots) {
    CQWMarkTable t;
    t.Set(0, 3, 3);
    t.Enable(false);
    EXPECT_EQ(0u, t.CharsInserted(3, 0, 5));
    EXPECT_EQ(0u, t.LinesShifted(1, 4));
    int l = 0, c = 0;
    t.Get(0, &l, &c);
    EXPECT_EQ(3, l);
    EXPECT_EQ(3, c);
    t.Enable(true);

    EXPECT_TRUE(t.Set(13, 40, 0));
    t.Lock(13, 1);
    EXPECT_FALSE(t.Set(13, 41, 1));
    t.Get(13, &l, &c);
    EXPECT_EQ(40, l);
    t.Lock(13, 0);
    EXPECT_TRUE(t.Set(13, 41, 1));

    for (int bad : {16, -1, 1000}) {
        EXPECT_FALSE(t.Set(bad, 1, 1));
        EXPECT_FALSE(t.IsSet(bad));
        EXPECT_FALSE(t.Lock(bad, 1));
        EXPECT_FALSE(t.CachedColumn(bad, 5, nullptr, nullptr));
        t.Reset(bad);
    }
    uint32_t mask = 0;
    t.Set(4, 41, 9);
    EXPECT_EQ(4, t.FindByLine(41, &mask));
    EXPECT_EQ(1u << 13, mask);
    EXPECT_EQ(-1, t.FindByLine(2, &mask));
}

TEST(MarkTable, TextFormRoundTripAndBadNumbers) {
    CQWMarkTable t;
    EXPECT_EQ("", t.Serialise());
    t.Set(0, 12, 4);
    t.Set(13, 40, 0);
    EXPECT_EQ("m0,l12,c4,m13,l40,c0", t.Serialise());
    CQWMarkTable u;
    EXPECT_EQ(2, u.Parse(t.Serialise().c_str()));
    EXPECT_EQ(t.Serialise(), u.Serialise());

    struct Case {
        const char* text;
        const char* result;
    } cases[] = {
        {"m1,l4294967296,c3,m2,l5,c6", "m2,l5,c6"},      // line beyond 32 bits: slot ignored
        {"m3,l2,c99999999999999999999999999999", ""},       // 29 digits
        {"m16,l1,c1,m99999999999,l1,c1,m4,l1,c1", "m4,l1,c1"},
        {"m5,l7", ""},                                     // no column
        {"x,,m6,l2,c1", "m6,l2,c1"},
    };
    for (const Case& k : cases) {
        CQWMarkTable v;
        v.Parse(k.text);
        EXPECT_EQ(k.result, v.Serialise()) << k.text;
    }
    // A locked slot keeps its place through a parse.
    CQWMarkTable w;
    w.Set(13, 1, 1);
    w.Lock(13, 1);
    w.Parse("m13,l9,c9");
    EXPECT_EQ("m13,l1,c1", w.Serialise());
}

} // namespace
