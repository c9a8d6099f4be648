// History lists and the configuration files: header lines, ordering and
// limits of the lists, packing, and saving and loading the files (damaged,
// read-only, missing, and a write that fails part way).
#include "Reu/history.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "opsys/shell_outlets.h"
#include "Reu/config_format.h"
#include "tests/Reu/reu_test_env.h"
#include "tests/support/fs_faults.h"

namespace {

using qwtest::ReadFileBytes;
using qwtest::WriteFileBytes;
using reutest::Lines;
using reutest::MakeList;
using Strings = std::vector<std::string>;

// ---- the text form ----------------------------------------------------------

TEST(ConfigFormat, ClassifiesHeaderLines) {
    struct Case { std::string line; ConfigLineKind kind; const char* name; int ref; };
    const Case cases[] = {
        {"%%V4BUFFER Buffer f\t3", kConfigLineSection, "Buffer f", 3},
        {"%%V4BUFFER Data File History\t12", kConfigLineSection, "Data File History", 12},
        {"%%V4BUFFER NoTab", kConfigLineSection, "NoTab", 1},
        {"%%V4BUFFER Buffer f\tjunk", kConfigLineSection, "Buffer f", 1},
        {"%%V4BUFFER \t3", kConfigLineDamaged, "", 0},
        {std::string("%%V4BUFFER \0abc\t3", 18), kConfigLineDamaged, "", 0},
        {std::string("%%V4BUFFER ab\0cd\t3", 19), kConfigLineSection, "ab", 3},
        {std::string("%%BUFFER \0" "1", 11), kConfigLineDamaged, "", 0},
        {"%%BUFFER f3", kConfigLineSection, "Buffer f", 3},
        {"%%BUFFER r7", kConfigLineSection, "Buffer r", 7},
        {"%%BUFFER o1", kConfigLineSection, "Buffer o", 1},
        {"%%BUFFER n1", kConfigLineSection, "Buffer n", 1},
        {"%%BUFFER c1", kConfigLineSection, "Buffer c", 1},
        {std::string("%%BUFFER \x0d" "2", 11), kConfigLineSection, "Data File History", 2},
        {"%%BUFFER \x0e" "4", kConfigLineSection, "Configuration", 4},
        {"%%BUFFER \x13" "5", kConfigLineSection, "Program Titles", 5},
        {"%%BUFFER z9", kConfigLineSection, "z", 9},
        {"%%BUFFER \x03" "1", kConfigLineSkipped, "", 0},
        {"%%BUFFER \x06" "1", kConfigLineSkipped, "", 0},
        {"%%BUFFER \x11" "1", kConfigLineSkipped, "", 0},
        {"%%BUFFER \x12" "1", kConfigLineSkipped, "", 0},
        {"%%BUFFER ", kConfigLineDamaged, "", 0},
        {"%%%V4BUFFER Buffer f\t3", kConfigLineData, "", 0},
        {"%%V4BUFFERBuffer f\t3", kConfigLineData, "", 0},
        {"plain text", kConfigLineData, "", 0},
    };
    for (const Case& c : cases) {
        std::string name;
        int ref = 0;
        EXPECT_EQ(ConfigParseLine(c.line, name, ref), c.kind) << c.line;
        if (c.kind == kConfigLineSection) {
            EXPECT_EQ(name, c.name) << c.line;
            EXPECT_EQ(ref, c.ref) << c.line;
        }
    }
    EXPECT_EQ(ConfigHeaderLine("Buffer f", 3), "%%V4BUFFER Buffer f\t3");
}

TEST(ConfigFormat, EntriesThatLookLikeHeadersRoundTrip) {
    const char* entries[] = {"%%V4BUFFER Buffer f\t1", "%%BUFFER f3", "%%%x", "%%", "%x", "plain", ""};
    for (const char* e : entries) {
        std::string stored = ConfigEscapeLine(e);
        std::string name;
        int ref;
        EXPECT_EQ(ConfigParseLine(stored, name, ref), kConfigLineData) << e;
        EXPECT_EQ(ConfigUnescapeLine(stored), e);
    }
}

TEST(ConfigFormat, SplitsLinesLikeTheLoader) {
    struct Case { std::string text; Strings lines; };
    const Case cases[] = {
        {"", {}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\r", {"a"}},
        {"a\rb\r\n\r\n", {"a\rb", ""}},
        {"a\r\r\n", {"a\r"}},
    };
    for (const Case& c : cases) {
        Strings got;
        for (std::string_view l : ConfigSplitLines(c.text)) got.emplace_back(l);
        EXPECT_EQ(got, c.lines);
    }
}

// ---- history lists ----------------------------------------------------------

class History : public reutest::EngineTest {};

int Add(const char* name, const char* text, int flags) {
    std::string t(text);
    return HistoryListAccess(name, t.data(), HL_OP_ADD, flags);
}

Strings Numbered(const char* prefix, int n) {
    Strings s;
    for (int i = 1; i <= n; ++i) s.push_back(prefix + std::to_string(i));
    return s;
}

TEST_F(History, MostRecentFirstRules) {
    reutest::SetHistorySize(10);
    Add("Buffer f", "a", HL_TOP);
    Add("Buffer f", "b", HL_TOP);
    Add("Buffer f", "c", HL_TOP);
    VMB* f = vmb_find(VMB_T_TEMP, "Buffer f");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Lines(f), (Strings{"c", "b", "a"}));

    uint32_t seq = vm_seq_get(f);
    Add("Buffer f", "c", HL_TOP);  // already the newest: nothing changes
    EXPECT_EQ(vm_seq_get(f), seq);
    EXPECT_EQ(Lines(f), (Strings{"c", "b", "a"}));

    Add("Buffer f", "a", HL_TOP);  // further down: moves to the top
    EXPECT_EQ(Lines(f), (Strings{"a", "c", "b"}));
    EXPECT_GT(vm_seq_get(f), seq);
    EXPECT_EQ(vm_mark_line(f), 1);

    // At the maximum (10) with 11 entries, a new entry drops the far end.
    MakeList("Buffer f", Numbered("e", 11));
    Add("Buffer f", "new", HL_TOP);
    Strings want = Numbered("e", 10);
    want.insert(want.begin(), "new");
    EXPECT_EQ(Lines(f), want);

    // An entry already in a full list only moves; nothing else is lost.
    MakeList("Buffer f", Numbered("e", 11));
    Add("Buffer f", "e5", HL_TOP);
    EXPECT_EQ(Lines(f).size(), 11u);
    EXPECT_EQ(Lines(f)[0], "e5");
    EXPECT_EQ(Lines(f)[10], "e11");

    // Adding at the bottom drops line 1 and leaves the reference on the new entry.
    MakeList("Buffer f", Numbered("e", 11));
    Add("Buffer f", "new", 0);
    want = Numbered("e", 11);
    want.erase(want.begin());
    want.push_back("new");
    EXPECT_EQ(Lines(f), want);
    EXPECT_EQ(vm_mark_line(f), 11);

    // A maximum lowered below the list's size is honoured on the next add.
    reutest::SetHistorySize(3);
    Add("Buffer f", "x", HL_TOP);
    EXPECT_EQ(Lines(f), (Strings{"x", "e2", "e3", "e4"}));
}

TEST_F(History, DefaultMaximumIsTheTableDefault) {
    MakeList("Buffer r", Numbered("e", 160));
    Add("Buffer r", "new", HL_TOP);
    EXPECT_EQ(HistoryListCount("Buffer r"), HL_HISTORY_SIZE_DEFAULT + 1);
}

TEST_F(History, ComparisonFlags) {
    struct Case { int flags; size_t count; };
    const Case cases[] = {
        {HL_TOP, 3},                                      // exact: nothing equal
        {HL_TOP | HL_CMP_NOCASE, 3},                      // differs after the TAB
        {HL_TOP | HL_CMP_FIRST_TAB, 3},                   // "Foo" != "foo"
        {HL_TOP | HL_CMP_FIRST_TAB | HL_CMP_NOCASE, 2},
        {HL_TOP | HL_CMP_FIRST_TAB | HL_CMP_NOCASE2, 2},
    };
    for (const Case& c : cases) {
        VMB* b = MakeList("Buffer o", {"bar", "Foo\tx"});
        Add("Buffer o", "foo\ty", c.flags);
        Strings lines = Lines(b);
        EXPECT_EQ(lines.size(), c.count) << c.flags;
        EXPECT_EQ(lines[0], "foo\ty") << c.flags;
    }
}

TEST_F(History, ReadingEntries) {
    char out[HL_ENTRY_MAX + 1];
    std::strcpy(out, "stale");
    EXPECT_EQ(HistoryListAccess("Nothing", out, HL_OP_READ, HL_TOP), 1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(HistoryListCount("Nothing"), 0);

    VMB* b = MakeList("Buffer n", {"first", "mid", std::string(2000, 'x')});
    vm_set_mark_line(b, 2);
    HistoryListAccess("Buffer n", out, HL_OP_READ, HL_TOP);
    EXPECT_STREQ(out, "first");
    HistoryListAccess("Buffer n", out, HL_OP_READ, 0);
    EXPECT_EQ(std::strlen(out), static_cast<size_t>(HL_ENTRY_MAX));
    EXPECT_EQ(HistoryListCount("buffer N"), 3);

    char small[8];
    EXPECT_EQ(HistoryListReadLine("Buffer n", 0, small, 7), 1);
    EXPECT_STREQ(small, "mid");
    EXPECT_EQ(HistoryListReadLine("Buffer n", 3, small, 7), 1);
    EXPECT_STREQ(small, "xxxxxxx");
    EXPECT_EQ(HistoryListReadLine("Buffer n", 4, small, 7), 0);
    EXPECT_EQ(HistoryListReadLine("Missing", 1, small, 7), 0);

    EXPECT_GT(HistoryListInsert("Buffer c", 99, "a"), 0);  // after-line clamped
    EXPECT_GT(HistoryListInsert("Buffer c", 0, "b"), 0);
    EXPECT_GT(HistoryListSetLine("Buffer c", 4, "d"), 0);  // missing lines made
    EXPECT_EQ(Lines(vmb_find(VMB_T_TEMP, "Buffer c")), (Strings{"b", "a", "", "d"}));
}

TEST_F(History, ReadingByControlIdentifier) {
    MakeList("Buffer f", {"one", "two"});
    char out[16];
    EXPECT_EQ(HistoryListReadLine(300, 1, out, 15), 0);  // no resolver yet
    HistoryControlListFn old = HistoryListSetControlResolver([](int id, char* name, int size) {
        if (id != 300) return 0;
        std::snprintf(name, static_cast<size_t>(size), "Buffer f");
        return 1;
    });
    EXPECT_EQ(HistoryListReadLine(300, 2, out, 15), 1);
    EXPECT_STREQ(out, "two");
    EXPECT_EQ(HistoryListReadLine(301, 1, out, 15), 0);  // names no list
    EXPECT_STREQ(out, "");
    EXPECT_EQ(HistoryListReadLine(256, 1, out, 15), 0);  // below the control range
    HistoryListSetControlResolver(old);
}

TEST_F(History, PackAndUnpack) {
    VMB* record = MakeList("Record", {"keep", "old"});
    VMB* list = MakeList("Packed", {"one", "two", "three"});
    EXPECT_EQ(HistoryListPack(list, record, 2, HL_OP_READ, 0), list);
    EXPECT_EQ(Lines(record), (Strings{"keep", "one\ttwo\tthree"}));
    EXPECT_FALSE(vmb_in_use(list));  // closed without HL_KEEP_LIST

    VMB* kept = MakeList("Kept", {"k"});
    HistoryListPack(kept, record, 3, HL_OP_READ, HL_KEEP_LIST);
    EXPECT_TRUE(vmb_in_use(kept));
    EXPECT_EQ(Lines(record)[2], "k");

    VMB* bottom = HistoryListPack(nullptr, record, 2, HL_OP_ADD, 0);
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(Lines(bottom), (Strings{"one", "two", "three"}));

    VMB* top = HistoryListPack(nullptr, record, 2, HL_OP_ADD, HL_TOP);
    EXPECT_EQ(Lines(top), (Strings{"three", "two", "one"}));

    vm_replace_line(record, 1, "b\tA\tc", 5, 1);
    HistoryListPack(top, record, 1, HL_OP_ADD, HL_SORTED);  // given list emptied first
    EXPECT_EQ(Lines(top), (Strings{"A", "b", "c"}));

    HistoryListPack(top, record, 9, HL_OP_ADD, 0);  // a missing line: an empty list
    EXPECT_EQ(vm_last_ln(top), 0);
}

// ---- configuration files ----------------------------------------------------

std::string g_config_dir;
int TestConfigFolder(char* out, int size, int) {
    std::snprintf(out, static_cast<size_t>(size), "%s", g_config_dir.c_str());
    return 1;
}

class ConfigFiles : public reutest::EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        g_config_dir = dir.path();
        QwShellOutlets outlets{};
        outlets.config_folder = TestConfigFolder;
        QwSetShellOutlets(&outlets);
    }
    void TearDown() override {
        QwSetShellOutlets(nullptr);
        EngineTest::TearDown();
    }
    void MakeAllLists() {
        VMB* cfg = MakeList("Configuration", {"cfg1", "cfg2"});
        vm_set_mark_line(cfg, 2);
        MakeList("Program Titles", {"prog\tA"});
        MakeList("Buffer m", {});  // empty: no section
        MakeList("Buffer c", {"%%V4BUFFER Buffer c\t1", "%%odd"});
        MakeList("Favorites", {"C:\\fav.txt"});
        Add("Buffer f", "find1", HL_TOP);
        Add("Buffer f", "find2", HL_TOP);
    }
    Strings Files() const {
        Strings names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

const char kQwConfig[] =
    "%%V4BUFFER Configuration\t2\r\ncfg1\r\ncfg2\r\n"
    "%%V4BUFFER Program Titles\t1\r\nprog\tA\r\n"
    "%%V4BUFFER Buffer c\t1\r\n%%%V4BUFFER Buffer c\t1\r\n%%%odd\r\n";
const char kQwHistory[] =
    "%%V4BUFFER Favorites\t1\r\nC:\\fav.txt\r\n"
    "%%V4BUFFER Buffer f\t1\r\nfind2\r\nfind1\r\n";

TEST_F(ConfigFiles, SaveWritesSectionsInOrderAndLoadReadsThemBack) {
    MakeAllLists();
    ASSERT_EQ(SaveHistoryFiles(), 1);
    EXPECT_EQ(ReadFileBytes(dir.file("QwConfig")), kQwConfig);
    EXPECT_EQ(ReadFileBytes(dir.file("QWHistory")), kQwHistory);
    EXPECT_EQ(ReadFileBytes(dir.file("QWBuildSetup")), "");

    // Throw the lists away and read them back.
    for (const char* n : {"Configuration", "Program Titles", "Buffer m", "Buffer c", "Favorites", "Buffer f"})
        vmb_close(vmb_find(VMB_T_TEMP, n), 0);
    EXPECT_EQ(LoadConfigFiles(), 1);
    EXPECT_EQ(LoadConfigFile(dir.file("QWHistory").c_str()), 1);

    VMB* cfg = vmb_find(VMB_T_TEMP, "Configuration");
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(Lines(cfg), (Strings{"cfg1", "cfg2"}));
    EXPECT_EQ(vm_mark_line(cfg), 2);
    EXPECT_EQ(vm_state_flags(cfg, VM_OP_READ, VM_ST_EDIT), 0u);
    EXPECT_EQ(Lines(vmb_find(VMB_T_TEMP, "Buffer c")), (Strings{"%%V4BUFFER Buffer c\t1", "%%odd"}));
    EXPECT_EQ(vmb_find(VMB_T_TEMP, "Buffer m"), nullptr);
    EXPECT_EQ(Lines(vmb_find(VMB_T_TEMP, "Buffer f")), (Strings{"find2", "find1"}));
    EXPECT_EQ(Lines(vmb_find(VMB_T_TEMP, "Program Titles")), (Strings{"prog\tA"}));

    // Written again unchanged, the files come out byte for byte the same.
    ASSERT_EQ(SaveHistoryFiles(), 1);
    EXPECT_EQ(ReadFileBytes(dir.file("QwConfig")), kQwConfig);
    EXPECT_EQ(ReadFileBytes(dir.file("QWHistory")), kQwHistory);
    EXPECT_TRUE(reutest::Boxes().empty());
}

TEST_F(ConfigFiles, ReadsOldHeadersSkipsCodesAndReplacesExistingLists) {
    MakeList("Buffer f", {"stale"});
    const std::string text =
        "ignored before the first header\r\n"
        "%%BUFFER f3\r\nold1\r\nold2\r\nold3\r\n"
        "%%BUFFER \x03" "1\r\nskipped\r\n"
        "%%BUFFER \x0d" "2\r\ndata\r\n"
        "%%BUFFER z1\r\nzz\n"
        "%%V4BUFFER Buffer r\t1\r\nr1";
    WriteFileBytes(dir.file("old"), text);
    ASSERT_EQ(LoadConfigFile(dir.file("old").c_str()), 1);

    VMB* f = vmb_find(VMB_T_TEMP, "Buffer f");
    EXPECT_EQ(Lines(f), (Strings{"old1", "old2", "old3"}));
    EXPECT_EQ(vm_mark_line(f), 3);
    EXPECT_EQ(vm_state_flags(f, VM_OP_READ, VM_ST_EDIT), 0u);
    VMB* d = vmb_find(VMB_T_TEMP, "Data File History");
    EXPECT_EQ(Lines(d), (Strings{"data"}));
    EXPECT_EQ(vm_mark_line(d), 2);
    EXPECT_EQ(Lines(vmb_find(VMB_T_TEMP, "z")), (Strings{"zz"}));
    EXPECT_EQ(Lines(vmb_find(VMB_T_TEMP, "Buffer r")), (Strings{"r1"}));
    EXPECT_EQ(vmb_find(VMB_T_TEMP, "\x03"), nullptr);
}

const char kBinary[] = "\0\xff\r\n%%V4BUFFER Buffer f\t1\r\na\0b\r\n";

TEST_F(ConfigFiles, DamagedFilesLoadWhatCanBeRead) {
    struct Case { const char* name; std::string text; const char* list; Strings lines; };
    const Case cases[] = {
        {"empty", "", "Buffer f", {}},
        {"truncated", "%%V4BUFFER Buffer f\t2\r\nf1\r\nf", "Buffer f", {"f1", "f"}},
        {"badheader", "%%V4BUFFER \t5\r\nlost\r\n%%V4BUFFER Buffer f\t1\r\nn1\r\n", "Buffer f", {"n1"}},
        {"binary", std::string(kBinary, sizeof kBinary - 1), "Buffer f",
         {std::string("a\0b", 3)}},
    };
    for (const Case& c : cases) {
        vmb_close(vmb_find(VMB_T_TEMP, "Buffer f"), 0);
        WriteFileBytes(dir.file(c.name), c.text);
        EXPECT_EQ(LoadConfigFile(dir.file(c.name).c_str()), 1) << c.name;
        VMB* b = vmb_find(VMB_T_TEMP, c.list);
        EXPECT_EQ(b ? Lines(b) : Strings{}, c.lines) << c.name;
        EXPECT_EQ(ReadFileBytes(dir.file(c.name)), c.text) << c.name;
    }
    EXPECT_NE(ReadFileBytes(dir.file("qw_dbg.log")).find("damaged section header"), std::string::npos);
    EXPECT_EQ(LoadConfigFile(dir.file("missing").c_str()), 0);
}

// A section whose name is empty up to a NUL byte would make a buffer no name
// can reach, and enough of them would fill the buffer table.
TEST_F(ConfigFiles, UnnamedSectionsAreSkippedAndReportedOnce) {
    std::string text;
    const char unnamed[] = "%%V4BUFFER \0x\t1\r\nlost\r\n";
    for (int i = 0; i < 25; ++i) text.append(unnamed, sizeof unnamed - 1);
    text += "%%V4BUFFER Buffer f\t1\r\nkept\r\n";
    WriteFileBytes(dir.file("unnamed.cfg"), text);
    ASSERT_EQ(LoadConfigFile(dir.file("unnamed.cfg").c_str()), 1);
    EXPECT_TRUE(reutest::Boxes().empty());
    EXPECT_EQ(vmb_find(VMB_T_TEMP, ""), nullptr);
    EXPECT_EQ(Lines(vmb_find(VMB_T_TEMP, "Buffer f")), (Strings{"kept"}));
    const std::string log = ReadFileBytes(dir.file("qw_dbg.log"));
    size_t at = log.find("25 damaged section header(s)");
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find("damaged", at + 10), std::string::npos) << log;
}

TEST_F(ConfigFiles, ReadOnlyFileLoads) {
    const std::string path = dir.file("QwConfig");
    WriteFileBytes(path, "%%V4BUFFER Buffer o\t1\r\nro\r\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_EQ(LoadConfigFiles(), 1);
    EXPECT_EQ(Lines(vmb_find(VMB_T_TEMP, "Buffer o")), (Strings{"ro"}));
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

TEST_F(ConfigFiles, QwbufferIsReadWhenQwConfigIsMissing) {
    EXPECT_EQ(LoadConfigFiles(), 0);
    WriteFileBytes(dir.file("qwbuffer"), "%%V4BUFFER Buffer o\t1\r\nfallback\r\n");
    EXPECT_EQ(LoadConfigFiles(), 1);
    EXPECT_EQ(Lines(vmb_find(VMB_T_TEMP, "Buffer o")), (Strings{"fallback"}));
    WriteFileBytes(dir.file("QwConfig"), "%%V4BUFFER Buffer m\t1\r\nmain\r\n");
    vmb_close(vmb_find(VMB_T_TEMP, "Buffer o"), 0);
    EXPECT_EQ(LoadConfigFiles(), 1);
    EXPECT_EQ(vmb_find(VMB_T_TEMP, "Buffer o"), nullptr);
    EXPECT_EQ(Lines(vmb_find(VMB_T_TEMP, "Buffer m")), (Strings{"main"}));
}

TEST_F(ConfigFiles, FailedWriteKeepsTheOldFile) {
    const std::string old = "%%V4BUFFER Configuration\t1\r\nprevious\r\n";
    WriteFileBytes(dir.file("QwConfig"), old);
    MakeAllLists();
    qwtest::ScopedFsFaults faults;
    faults.state.next_file_budget = 10;  // the first file written fails part way
    EXPECT_EQ(SaveHistoryFiles(), 0);
    EXPECT_EQ(ReadFileBytes(dir.file("QwConfig")), old);
    EXPECT_EQ(ReadFileBytes(dir.file("QWHistory")), kQwHistory);  // the others still go out
    EXPECT_EQ(reutest::Boxes().size(), 1u);
    for (const std::string& f : Files()) EXPECT_EQ(f.find(".~"), std::string::npos) << f;  // no temporary left
}

} // namespace
