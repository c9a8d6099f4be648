// The tab-separated data table: escaping, the column map, cursors and their
// moves, searching and ordered inserts, long rows, opening and saving.
#include "Reu/datatable.h"

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/Reu/reu_test_env.h"

namespace {

using qwtest::ReadFileBytes;
using qwtest::WriteFileBytes;
using reutest::Lines;
using Strings = std::vector<std::string>;

TEST(DataTableText, EscapesRoundTrip) {
    struct Case { std::string value; bool raw; std::string stored; };
    const Case cases[] = {
        {"a\tb\\c", false, "a\\tb\\\\c"},
        {"\\t", false, "\\\\t"},          // a backslash before t is not a TAB
        {"end\\", false, "end\\\\"},
        {"\t\t", false, "\\t\\t"},
        {"plain", false, "plain"},
        {"a\tb\\c", true, "a\\tb\\c"},     // raw: the backslash is stored as it is
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CZQDataTable::Escape(c.value, c.raw), c.stored) << c.value;
        EXPECT_EQ(CZQDataTable::Unescape(c.stored, c.raw), c.value) << c.stored;
    }
    // Other backslash pairs and a lone trailing backslash stay as they are.
    EXPECT_EQ(CZQDataTable::Unescape("\\n\\", false), "\\n\\");
}

TEST(DataTableText, ColumnMapCopiesTheCallersArray) {
    int cols[] = {3, 0, 5, -1, 7};
    CZQColumnMap map(cols);
    cols[0] = 9;
    EXPECT_EQ(map.GetCount(), 3);
    EXPECT_EQ(map.Map(0), 3);
    EXPECT_EQ(map.Map(2), 5);
    EXPECT_EQ(map.Map(3), -1);
    EXPECT_EQ(map.GetColumns()[3], -1);
    EXPECT_EQ(CZQColumnMap(nullptr).GetCount(), 0);
}

class DataTable : public reutest::EngineTest {};

TEST_F(DataTable, CursorBuildsAndReadsRows) {
    CZQDataTable t(true);
    ASSERT_NE(t.GetVMB(), nullptr);
    CZQDataTableCursor c;
    ASSERT_EQ(c.Set(&t, -1, true), 1);
    EXPECT_EQ(c.GetRow(), 1);
    EXPECT_EQ(c.AddColumn(""), 1);
    EXPECT_EQ(c.AddColumn("a\tb\\"), 1);
    EXPECT_EQ(c.AddColumnInt(-42), 1);
    EXPECT_EQ(Lines(t.GetVMB()), (Strings{"\ta\\tb\\\\\t-42"}));

    char out[16];
    EXPECT_EQ(c.GetColumn(0, out, 15), 0);
    EXPECT_EQ(c.GetColumn(1, out, 15), 4);
    EXPECT_STREQ(out, "a\tb\\");
    EXPECT_EQ(c.GetColumn(1, out, 2), 2);  // cut at max
    EXPECT_STREQ(out, "a\t");
    EXPECT_EQ(c.GetColumn(3, out, 15), -1);
    int v = 0;
    EXPECT_EQ(c.GetColumnInt(2, &v), 1);
    EXPECT_EQ(v, -42);
    EXPECT_TRUE(c.ColumnEquals(2, -42));
    EXPECT_FALSE(c.ColumnEquals(3, 0));

    std::string s;
    EXPECT_EQ(c.GetColumnStr(7, s, "dflt", true), 1);
    EXPECT_EQ(s, "dflt");
    EXPECT_EQ(c.GetColumnStr(7, s, "dflt", false), 0);

    EXPECT_EQ(c.SetColumn(1, "x"), 1);
    EXPECT_EQ(c.SetColumnInt(0, 7), 1);
    EXPECT_EQ(c.SetColumn(3, "no"), 0);
    EXPECT_EQ(Lines(t.GetVMB()), (Strings{"7\tx\t-42"}));

    // A row that was not empty gets a TAB before its first added column.
    CZQDataTableCursor d;
    ASSERT_EQ(d.Set(&t, 1, false), 1);
    d.AddColumn("y");
    EXPECT_EQ(Lines(t.GetVMB()), (Strings{"7\tx\t-42\ty"}));

    // Integers out of range clamp instead of overflowing.
    d.SetColumn(0, "99999999999");
    d.SetColumn(1, "-99999999999");
    EXPECT_EQ((d.GetColumnInt(0, &v), v), INT_MAX);
    EXPECT_EQ((d.GetColumnInt(1, &v), v), INT_MIN);

    d.SetRowFlagA();
    d.SetRowFlagB(true);
    EXPECT_TRUE(d.IsRowFlagA());
    EXPECT_TRUE(d.IsRowFlagB());
    d.ClearRowFlagA();
    d.SetRowFlagB(false);
    EXPECT_FALSE(d.IsRowFlagA());
    EXPECT_FALSE(d.IsRowFlagB());
}

TEST_F(DataTable, CursorMoves) {
    CZQDataTable t(true);
    CZQDataTableCursor c;
    for (const char* v : {"r1", "r2", "r3"}) {
        c.Set(&t, -1, true);
        c.AddColumn(v);
    }
    c.Set(&t, 2, true);  // an empty row before row 2
    c.AddColumn("new");
    EXPECT_EQ(Lines(t.GetVMB()), (Strings{"r1", "new", "r2", "r3"}));
    EXPECT_EQ(c.Set(&t, 9, true), 0);
    EXPECT_FALSE(c.IsValid());

    Strings seen;
    std::string s;
    for (c.Set(&t, 1, false); c.IsValid(); c.Next()) seen.push_back((c.GetColumnEx(0, s), s));
    EXPECT_EQ(seen, (Strings{"r1", "new", "r2", "r3"}));

    ASSERT_TRUE(c.GotoRow(2));
    CZQDataTableCursor e = c;
    EXPECT_TRUE(e == c);
    EXPECT_TRUE(e.Prev());
    EXPECT_EQ(e.GetRow(), 1);
    EXPECT_FALSE(e == c);
    EXPECT_FALSE(e.Prev());
    EXPECT_FALSE(e.IsValid());
    EXPECT_FALSE(c.RowExists(5));
    EXPECT_TRUE(c.RowExists(4));
    EXPECT_EQ(c.Set(&t, 5, false), 0);
}

// A table sorted by its first column (text) with an integer second column.
void Fill(CZQDataTable& t, const Strings& rows) {
    CZQDataTableCursor c;
    for (const std::string& r : rows) {
        c.Set(&t, -1, true);
        size_t tab = r.find('\t');
        c.AddColumn(r.substr(0, tab).c_str());
        if (tab != std::string::npos) c.AddColumn(r.substr(tab + 1).c_str());
    }
}

TEST_F(DataTable, BinarySearchAndOrderedInsert) {
    CZQDataTable t(true);
    CZQDataTableKey key;
    key.text = "m";
    int code = 9;
    EXPECT_EQ(t.FindRow(key), -1);
    EXPECT_EQ(t.BSearch(1, 0, key, &code), 0);
    EXPECT_EQ(code, -2);

    Fill(t, {"Alpha\t1", "beta\t2", "beta\t3", "Delta\t4"});
    struct Case { const char* text; int row; int code; int find; };
    const Case cases[] = {
        {"BETA", 2, 0, 4},   // equal ignoring case; FindRow goes past all equal rows
        {"alpha", 1, 0, 2},
        {"a", 1, -1, 1},
        {"c", 4, -1, 4},
        {"zulu", 4, 1, 5},
    };
    for (const Case& c : cases) {
        key.text = c.text;
        EXPECT_EQ(t.BSearch(1, 4, key, &code), c.row) << c.text;
        EXPECT_EQ(code, c.code) << c.text;
        EXPECT_EQ(t.FindRow(key), c.find) << c.text;
    }

    // Inserting keeps the order; equal keys go after the rows already there.
    CZQDataTable src(true);
    Fill(src, {"charlie\t9"});
    CZQDataTableCursor s;
    s.Set(&src, 1, false);
    key.text = "charlie";
    const int cols[] = {0, 1, 5, -1};
    EXPECT_EQ(t.InsertRow(s, cols, key), 4);
    key.text = "beta";
    const char* specs[] = {"0", "lit\\x", "1", nullptr};
    EXPECT_EQ(t.InsertRowEx(s, specs, key), 4);
    EXPECT_EQ(Lines(t.GetVMB()), (Strings{"Alpha\t1", "beta\t2", "beta\t3", "charlie\tlit\\\\x\t9",
                                          "charlie\t9\t", "Delta\t4"}));
}

TEST_F(DataTable, IntegerKeysCompareWithoutOverflow) {
    CZQDataTable t(true);
    CZQDataTableCursor c;
    for (int v : {INT_MIN, -1, 0, INT_MAX}) {
        c.Set(&t, -1, true);
        c.AddColumnInt(v);
    }
    CZQDataTableKey key;
    key.kind = CZQDataTableKey::Integer;
    struct Case { int value; int find; };
    const Case cases[] = {{INT_MIN, 2}, {INT_MAX, 5}, {INT_MAX - 1, 4}, {-2, 2}, {1, 4}};
    for (const Case& k : cases) {
        key.value = k.value;
        EXPECT_EQ(t.FindRow(key), k.find) << k.value;
    }
}

TEST_F(DataTable, CopyRowsKeepsLongRowsWhole) {
    CZQDataTable src(true), dst(true);
    const std::string big(10000, 'q');
    Fill(src, {"a", big});
    Fill(dst, {"x", "y"});
    EXPECT_EQ(dst.CopyRows(2, src), 1);
    EXPECT_EQ(Lines(dst.GetVMB()), (Strings{"x", "a", big, "y"}));
    dst.DeleteRows(2, 2);
    EXPECT_EQ(dst.GetSize(), 2);
    dst.RemoveAll();
    EXPECT_EQ(dst.GetSize(), 0);
}

TEST_F(DataTable, OpenAndSave) {
    const std::string path = dir.file("db.txt");
    WriteFileBytes(path, "k1\t1\r\nk2\t2\r\n");
    CZQDataTable t;
    EXPECT_EQ(t.Open(dir.file("missing").c_str(), true), 0);
    ASSERT_EQ(t.Open(path.c_str(), false), 1);
    t.ReadAll();  // the whole file is in; its stream is closed
    EXPECT_EQ(t.GetSize(), 2);

    // Nothing changed: the file is not written.
    WriteFileBytes(path, "changed behind our back");
    EXPECT_EQ(t.Save(), 1);
    EXPECT_EQ(ReadFileBytes(path), "changed behind our back");

    CZQDataTableCursor c;
    c.Set(&t, 2, false);
    c.SetColumn(0, "K2");
    EXPECT_EQ(t.Save(), 1);
    EXPECT_EQ(ReadFileBytes(path), "k1\t1\r\nK2\t2\r\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".BAK"));
    t.Close();

    // LF files stay LF; a read-only table file still opens.
    WriteFileBytes(path, "a\nb\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    CZQDataTable u;
    ASSERT_EQ(u.Open(path.c_str(), true), 1);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    c.Set(&u, -1, true);
    c.AddColumn("c");
    EXPECT_EQ(u.Save(), 1);
    EXPECT_EQ(ReadFileBytes(path), "a\nb\nc\n");

    // An in-memory table has no file to save to.
    CZQDataTable mem(true);
    c.Set(&mem, -1, true);
    c.AddColumn("m");
    EXPECT_EQ(mem.Save(), 0);
}

TEST_F(DataTable, OwnershipAndHandleInit) {
    VMB* b = vmb_open(VMB_T_TEMP, "Shared", 0);
    {
        CZQDataTable t;
        t.Attach(b);
        EXPECT_EQ(t.GetVMB(), b);
    }
    EXPECT_TRUE(vmb_in_use(b));  // attached, not owned: still open
    VMB* owned;
    {
        CZQDataTable t(true);
        owned = t.GetVMB();
        EXPECT_TRUE(vmb_in_use(owned));
    }
    EXPECT_FALSE(vmb_in_use(owned));
    CZQDataTable h;
    DataTableHandleInit(&h);
    EXPECT_EQ(h.GetVMB(), nullptr);
    EXPECT_EQ(h.GetSize(), 0);
}

} // namespace
