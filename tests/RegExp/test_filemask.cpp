// File-mask lists: the expression built, name matching, and the folder scan
// into a sorted list buffer with its stop request.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "RegExp/filemask.h"
#include "tests/RegExp/regexp_test_support.h"

namespace {

TEST(FileMask, Expression) {
    char expr[300];
    FileMaskExpression("*.c *.h", expr, sizeof expr);
    EXPECT_STREQ(expr, "^*.c$|^*.h$");
    FileMaskExpression("  \"my file.txt\"\t*.c  ", expr, sizeof expr);
    EXPECT_STREQ(expr, "^my file.txt$|^*.c$");
    std::string many;
    for (int i = 0; i < 60; ++i) many += "*.ext" + std::to_string(i) + " ";
    FileMaskExpression(many.c_str(), expr, sizeof expr);
    EXPECT_LE(strlen(expr), 261u);
    EXPECT_EQ(expr[strlen(expr) - 1], '$');
    EXPECT_EQ(std::string(expr).find("ext59"), std::string::npos); // later masks dropped
}

struct NameCase {
    const char* list;
    const char* name;
    int match;
};

const NameCase kNameCases[] = {
    {"*.c *.h", "MAIN.C", 1},
    {"*.c *.h", "main.cpp", 0},
    {"*.c *.h", "x.h", 1},
    {"*.c;*.h", "a.h", 0},
    {"*.c;*.h", "a.c;b.h", 1},
    {"*.*", "a.b", 1},
    {"*.*", "Makefile", 1},
    {"*.c", "Makefile", 0},
    {"Make*.*", "Makefile", 1},
    {"Makefile *.c", "Makefile", 1},
    {"abc*.", "abcd", 1},
    {"abc*.", "abcd.x", 0},
    {"\"my file.txt\"", "My File.TXT", 1},
    {"?.c", "ab.c", 0},
    {"?.c", "a.c", 1},
    {"*", "anything.at.all", 1},
};

TEST(FileMask, NameMatching) {
    for (const NameCase& c : kNameCases) {
        SCOPED_TRACE(testing::Message() << c.list << " / " << c.name);
        int err = -1;
        RE_NODE* p = FileMaskToRegex(c.list, 0, &err);
        ASSERT_NE(p, nullptr) << err;
        EXPECT_EQ(FileMaskMatchList(c.name, p, c.list) != 0, c.match != 0);
        RegexFree(p);
    }
    int err = 0;
    EXPECT_EQ(FileMaskToRegex("*.c (", 0, &err), nullptr);
    EXPECT_EQ(err, RE_E_NO_CLOSE);
    EXPECT_EQ(FileMaskToRegex("  ", 0, &err), nullptr);
    EXPECT_EQ(err, RE_E_EMPTY);
}

class FolderScan : public BufferTest {
protected:
    void Tree() {
        namespace fs = std::filesystem;
        root_ = dir_.file("tree");
        fs::create_directories(root_ + "/sub/deeper");
        for (const char* f : {"a.c", "b.h", "c.txt", ".hidden.c", "sub/d.c", "sub/deeper/e.C",
                              "sub/deeper/f.cpp"})
            qwtest::WriteFileBytes(root_ + "/" + f, "x");
    }
    std::string root_;
};

int g_stop_after = -1;
int StopHook() { return g_stop_after >= 0 && g_stop_after-- == 0; }
int g_breaks = 0;
void BreakHook() { ++g_breaks; }

TEST_F(FolderScan, RecursiveSortedAndStoppable) {
    Tree();
    int err;
    RE_NODE* p = FileMaskToRegex("*.c *.h", 0, &err);
    VMB* list = Make({});
    FileMaskSetStopHooks(StopHook, BreakHook);
    g_stop_after = -1;
    EXPECT_EQ(FileMaskMatch(root_.c_str(), p, "*.c *.h", 1, list), 1);
    EXPECT_EQ(g_breaks, 1);
    std::vector<std::string> got = Lines(list);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_NE(got[0].find("a.c"), std::string::npos); // shorter folders first
    EXPECT_NE(got[1].find("b.h"), std::string::npos);
    EXPECT_NE(got[2].find("d.c"), std::string::npos);
    EXPECT_NE(got[3].find("e.C"), std::string::npos);
    EXPECT_EQ(got[0].rfind(root_, 0), 0u);

    // Scanning again adds nothing twice; without recursion only the top.
    EXPECT_EQ(FileMaskMatch(root_.c_str(), p, "*.c *.h", 0, list), 1);
    EXPECT_EQ(Lines(list).size(), 4u);
    VMB* top = Make({});
    EXPECT_EQ(FileMaskMatch(root_.c_str(), p, "*.c *.h", 0, top), 1);
    EXPECT_EQ(Lines(top).size(), 2u);

    // A stop request ends the scan with 0; what was added stays.
    VMB* partial = Make({});
    g_stop_after = 3;
    EXPECT_EQ(FileMaskMatch(root_.c_str(), p, "*.c *.h", 1, partial), 0);
    EXPECT_LT(Lines(partial).size(), 4u);
    FileMaskSetStopHooks(nullptr, nullptr);
    RegexFree(p);
}

} // namespace
