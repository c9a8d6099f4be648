// Tests of the shell's smaller pieces: version words and the module check,
// the caption, initials and file names, the file history, the key rule of
// panes.
#include <windows.h>

#include <gtest/gtest.h>

#include "VmEngine/vm.h"
#include "shell/filehistory.h"
#include "shell/mainframe.h"
#include "shell/qwfolders.h"
#include "shell/qwtitle.h"
#include "shell/qwversion.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"

TEST(Versions, CompareHighWordsSignedThenLowWords) {
    struct Case {
        uint32_t ha, la, hb, lb;
        int want;
    } cases[] = {
        {MakeVersionWord(6, 0), MakeVersionWord(8665, 0), MakeVersionWord(6, 0), MakeVersionWord(8665, 0), 0},
        {MakeVersionWord(6, 0), MakeVersionWord(8664, 9), MakeVersionWord(6, 0), MakeVersionWord(8665, 0), -1},
        {MakeVersionWord(1, 0), MakeVersionWord(0, 4), MakeVersionWord(1, 0), MakeVersionWord(0, 3), 1},
        {0xFFFF0000u, 0, MakeVersionWord(1, 0), 0, -1},  // the high words are signed
        {MakeVersionWord(1, 0), 0xFFFF0000u, MakeVersionWord(1, 0), 1, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(CompareVersions(c.ha, c.la, c.hb, c.lb), c.want);
}

TEST(Versions, BuildDateAtTheEndOfTheProductVersion) {
    time_t t = ParseVersionDate("4.0.0.1 10.12.2026");
    ASSERT_NE(t, 0);
    struct tm* tm = localtime(&t);
    EXPECT_EQ(tm->tm_mday, 10);
    EXPECT_EQ(tm->tm_mon, 11);
    EXPECT_EQ(tm->tm_year, 126);
    for (const char* bad : std::initializer_list<const char*>{"", "1.0", "4.0.0.1", "4.0.0.1 xx.12.2026", "4.0.0.1 40.13.2026", nullptr})
        EXPECT_EQ(ParseVersionDate(bad), 0) << (bad ? bad : "(null)");
}

TEST(Versions, ProgramAndLibrariesOfThisBuild) {
    uint32_t high = 0, low = 0;
    time_t date = 0;
    ASSERT_EQ(GetVersionNumbers(&high, &low, &date), 1);
    EXPECT_EQ(high, MakeVersionWord(4, 0));
    EXPECT_EQ(low, MakeVersionWord(0, 1));
    EXPECT_NE(date, 0);
    qwtest::MessageBoxRecorder boxes;
    EXPECT_EQ(CheckModuleVersions(nullptr), 1);
    EXPECT_EQ(CheckModuleVersions("VoroSpell.dll"), 1);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST(Versions, CheckRefusesOldAndUnversionedLibraries) {
    struct Case {
        QwModuleRow row;
        const char* module;
        int want;
        const char* box;  // the box's text up to its first line break; null: none
    } cases[] = {
        {{"QWControls.dll", {1, 0, 0, 3}, 32, 0}, nullptr, 1, nullptr},
        {{"QWControls.dll", {1, 0, 0, 4}, 32, 0}, nullptr, 0,
         "QW cannot be started because an outdated DLL is installed on this computer."},
        {{"QWControls.dll", {1, 0, 0, 4}, 34, 1}, nullptr, 1, "Spell Checking cannot be used"},
        {{"QWControls.dll", {1, 0, 0, 4}, 34, 1}, "qwcontrols.dll", 0, "Spell Checking cannot be used"},
        {{"NoSuchLibrary.dll", {1, 0, 0, 0}, 32, 0}, nullptr, 0,
         "QW cannot be started because an outdated DLL is installed on this computer."},
        {{"NoSuchLibrary.dll", {1, 0, 0, 0}, 34, 1}, "NoSuchLibrary.dll", 1, nullptr},
        {{"NoSuchLibrary.dll", {1, 0, 0, 0}, 34, 1}, nullptr, 1, nullptr},
        {{"NoSuchLibrary.dll", {1, 0, 0, 0}, 32, 0}, "QWControls.dll", 1, nullptr},  // not the row asked for
    };
    for (const Case& c : cases) {
        qwtest::MessageBoxRecorder boxes;
        EXPECT_EQ(CheckModuleVersions(c.module, &c.row, 1), c.want) << c.row.name;
        if (!c.box) {
            EXPECT_TRUE(boxes.boxes().empty()) << c.row.name;
            continue;
        }
        ASSERT_EQ(boxes.boxes().size(), 1u) << c.row.name;
        EXPECT_EQ(boxes.boxes()[0].text.rfind(c.box, 0), 0u) << boxes.boxes()[0].text;
    }
    qwtest::MessageBoxRecorder boxes;
    QwModuleRow old{"QWControls.dll", {1, 0, 0, 4}, 32, 0};
    CheckModuleVersions(nullptr, &old, 1);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_NE(boxes.boxes()[0].text.find("'QWControls.dll' is Version: 1.0.0.3 and QW requires Version: 1.0.0.4"),
              std::string::npos)
        << boxes.boxes()[0].text;
}

TEST(Caption, PartsInOrder) {
    auto parts = [](const char* project, bool modified, const char* doc, const char* tab, bool version) {
        QwCaptionParts p;
        p.project = project;
        p.project_modified = modified;
        p.document = doc;
        p.output_tab = tab;
        p.has_version = version;
        p.version_high = MakeVersionWord(4, 3);
        p.version_low = MakeVersionWord(12, 7);
        return BuildFrameCaption(p);
    };
    EXPECT_EQ(parts("", false, "", "", true), "Quedra Ver 4.03.12.7");
    EXPECT_EQ(parts("", false, "", "", false), "Quedra");
    EXPECT_EQ(parts("", false, "C:\\a.c", "Build", true), "C:\\a.c [Build] - Quedra Ver 4.03.12.7");
    EXPECT_EQ(parts("Proj", true, "C:\\a.c", "", true), "Proj * - C:\\a.c - Quedra Ver 4.03.12.7");
    EXPECT_EQ(parts("Proj", false, "", "", false), "Proj -  - Quedra");

    EXPECT_EQ(DocumentCaptionPart("C:\\a.c", 2, true, false, QW_COMPARE_NONE, ""), "C:\\a.c:2 *");
    EXPECT_EQ(DocumentCaptionPart("b.c", 0, false, true, QW_COMPARE_NEWER, "1 Jan 2026"),
              "b.c [view]  (Newer) 1 Jan 2026");
    EXPECT_EQ(DocumentCaptionPart(std::string(300, 'x'), 0, false, false, QW_COMPARE_OLDER, ""),
              std::string(260, 'x') + " (Older) ");
}

TEST(Folders, InitialsAndFileNames) {
    struct Case {
        const char* user;
        const char* want;
    } users[] = {{"js", "js"}, {"John Smith", "JohnSmith"}, {"a.b-c_d", "abcd"},
                 {"averyveryverylongname", "averyveryvery"}, {"", "QW"}, {"...", "QW"}};
    for (const Case& c : users) EXPECT_EQ(InitialsFromUserName(c.user), c.want) << c.user;

    SetUserInitials("JS");
    EXPECT_EQ(WithInitialsExtension("Menu_NoWin"), "Menu_NoWin.JS");
    EXPECT_EQ(WithInitialsExtension("lang_c.xxx"), "lang_c.JS");
    EXPECT_EQ(WithInitialsExtension("dir.x\\file"), "dir.x\\file.JS");
    EXPECT_TRUE(HasInitialsExtension("C:\\cfg\\Menu_NoWin.js"));
    EXPECT_FALSE(HasInitialsExtension("C:\\cfg\\Menu_NoWin.xxx"));
    EXPECT_TRUE(HasCExtension("x.C"));
    EXPECT_FALSE(HasCExtension("x.cpp"));
    SetUserInitials("ABCDEFGHIJKLMNOPQ");
    char buf[QW_INITIALS_MAX + 1];
    EXPECT_EQ(UserInitials(buf, -1), 13);
    EXPECT_STREQ(buf, "ABCDEFGHIJKLM");
    SetUserInitials(nullptr);
}

TEST(Folders, ConfigurationFilesAreCopiedWithoutReplacingTheUsers) {
    qwtest::TempDir dir;
    std::string cfg = dir.file("cfg");
    EXPECT_EQ(ConfigurationFilesExist(cfg.c_str(), "JS"), 0);  // the folder is made on the way
    qwtest::WriteFileBytes(cfg + "\\Menu_TextL.JS", "mine");
    EXPECT_EQ(CopyConfigurationFiles(cfg.c_str(), "JS"), 1);
    EXPECT_EQ(ConfigurationFilesExist(cfg.c_str(), "JS"), 1);
    EXPECT_EQ(qwtest::ReadFileBytes(cfg + "\\Menu_TextL.JS"), "mine");
    EXPECT_EQ(qwtest::ReadFileBytes(cfg + "\\lang_c.JS"), qwtest::ReadFileBytes(GetMasterFilePath("lang_c", 1)));
}

class History : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(vms_start(100, 2048000, dir.file("swap.tmp").c_str(), 0, 0), 0); }
    void TearDown() override { vms_stop(); }
    qwtest::TempDir dir;
};

TEST_F(History, MostRecentFirstWithoutDuplicatesFoundInAnyCase) {
    EXPECT_EQ(FileHistory_Add("C:\\src\\a.c", "12", "bookmarks a"), 1);
    EXPECT_EQ(FileHistory_Add("C:\\src\\b.c", "", ""), 1);
    EXPECT_EQ(FileHistory_Add("c:\\SRC\\A.C", "40", "bookmarks A"), 1);
    EXPECT_EQ(FileHistory_Add("   ", "x", "y"), 0);
    EXPECT_EQ(vm_line_count(FileHistory_Buffer()), 2);
    char text[1025];
    char* data = nullptr;
    EXPECT_EQ(FileHistory_Find(text, &data, "C:\\Src\\a.c"), 1);
    EXPECT_STREQ(text, "40");
    ASSERT_NE(data, nullptr);
    EXPECT_STREQ(data, "bookmarks A");
    delete[] data;
    char path[261];
    EXPECT_EQ(FileHistory_Get(path, text, sizeof text, nullptr, 2), 1);
    EXPECT_STREQ(path, "C:\\src\\b.c");
    EXPECT_EQ(FileHistory_Get(path, text, sizeof text, nullptr, 3), 0);
    EXPECT_EQ(FileHistory_Find(nullptr, nullptr, "C:\\src\\none.c"), 0);

    EXPECT_EQ(FileHistory_Append("C:\\src\\z.c", "1", "d"), 1);
    EXPECT_EQ(FileHistory_Get(path, text, sizeof text, nullptr, 3), 1);
    EXPECT_STREQ(path, "C:\\src\\z.c");
    FileHistory_Append(nullptr, nullptr, nullptr);
    EXPECT_EQ(vm_line_count(FileHistory_Buffer()), 0);
}

TEST(PaneKeys, WhatAPaneKeeps) {
    struct Case {
        UINT msg;
        WPARAM key;
        const char* cls;
        bool ctrl, alt, kept;
    } cases[] = {
        {WM_KEYDOWN, 'A', "Edit", true, false, true},
        {WM_KEYDOWN, VK_LEFT, "Button", false, false, true},
        {WM_KEYDOWN, VK_SPACE, "Button", false, false, true},
        {WM_KEYDOWN, VK_UP, "Button", false, false, true},
        {WM_SYSKEYDOWN, VK_UP, "Button", false, true, false},
        {WM_KEYDOWN, VK_DOWN, "Button", false, true, false},
        {WM_KEYDOWN, VK_RETURN, "Button", false, false, true},
        {WM_KEYDOWN, VK_DELETE, "Button", false, false, true},
        {WM_KEYDOWN, VK_BACK, "Button", false, false, true},
        {WM_KEYDOWN, VK_F5, "Button", false, false, true},
        {WM_KEYDOWN, VK_F6, "Button", false, false, false},
        {WM_KEYDOWN, 'A', "Button", true, false, false},
        {WM_CHAR, 'a', "Button", false, false, true},
        {WM_CHAR, 1, "Button", true, false, false},
        {WM_KEYUP, VK_LEFT, "Button", false, false, false},
    };
    for (const Case& c : cases) {
        MSG m{nullptr, c.msg, c.key, 0, 0, {0, 0}};
        EXPECT_EQ(PaneKeepsKey(m, c.cls, c.ctrl, c.alt), c.kept) << c.msg << " " << c.key;
    }
}
