// Tests of menu bars built from menu files: items and key texts, separators,
// nested popups, multi-command items with their identifiers and prompts,
// skipped and reported lines, and the owner-drawn menu's mnemonics.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "VmEngine/vm.h"
#include "commands/cmdtable.h"
#include "shell/qwmenus.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"
#include "widgets/newmenu.h"

namespace {

int FakeDictionary(const char* word, char* text, int size) {
    static const struct {
        const char* name;
        int id;
    } kWords[] = {{"K_M_HEAD", 300},         {"K_M_SEP", 299},        {"K_FileOpen", 316},
                  {"K_FileSave", 322},       {"K_Copy", 455},         {"K_Paste", 457},
                  {"K_HelpInContext", 304},  {"K_BookmarkToggle", 522}, {"K_BookmarkNext", 523},
                  {"K_WindowCascade", 374},  {"K_SelectAll", 471}};
    for (const auto& w : kWords)
        if (_stricmp(word, w.name) == 0) {
            std::snprintf(text, size_t(size), "%d", w.id);
            return 1;
        }
    return 0;
}

std::string FakeKeys(int id) { return id == 316 ? "Ctrl+O" : ""; }

class MenuFiles : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = K_cmd_set_dictionary_lookup(FakeDictionary);
        SetMenuKeyTextSource(FakeKeys);
        bar.CreateMenu();
    }
    void TearDown() override {
        ReleaseMenuItemData(&bar);
        SetMenuKeyTextSource(nullptr);
        K_cmd_set_dictionary_lookup(previous_);
    }
    // "text|kind" of every item of a popup: kind "-" separator, ">" popup, else the id.
    static std::vector<std::string> Items(CNewMenu* m) {
        std::vector<std::string> out;
        for (UINT i = 0; i < m->GetItemCount(); ++i) {
            CNewMenuItemData* d = m->ItemAt(i);
            if (!d) continue;
            if (d->menu_flags & MF_SEPARATOR) out.push_back("-");
            else if (d->menu_flags & MF_POPUP) out.push_back(d->text + "|>");
            else out.push_back(d->text + "|" + std::to_string(d->command));
        }
        return out;
    }
    CNewMenu* Popup(CNewMenu* m, UINT i) { return CNewMenu::FromHandle(GetSubMenu(m->m_hMenu, int(i))); }

    CNewMenu bar;
    K_cmd_dict_lookup_fn previous_ = nullptr;
    qwtest::TempDir dir_;
    qwtest::MessageBoxRecorder boxes;
};

const std::vector<std::string> kFixture = {
    "# a comment",
    "rem another\tK_Copy",
    "// and another",
    "Early\tK_Copy",
    "&File\tK_M_HEAD",
    "\tK_M_SEP",
    "&Open...\tK_FileOpen",
    "  &Save  \tK_FileSave",
    "\tK_M_SEP",
    "\tK_M_SEP",
    "Context help\tK_HelpInContext",
    "+\"&Bookmarks\"",
    ">&Toggle\tK_BookmarkToggle",
    ">\"&Next\"\tK_BookmarkNext",
    "Copy &all\tK_SelectAll,K_Copy\tCopies the whole text",
    "",
    "&Edit\tK_M_HEAD",
    "Bad\tK_NoSuch",
    "&Paste\tK_Paste",
    "&Window\tK_M_HEAD",
    "&Cascade\tK_WindowCascade",
};

} // namespace

TEST_F(MenuFiles, BuildsPopupsItemsAndNestedPopups) {
    int next = QW_MENU_MULTI_FIRST;
    ASSERT_EQ(ParseMenuFile(&bar, kFixture, "fixture", &next), 1);
    EXPECT_EQ(Items(&bar), (std::vector<std::string>{"&File|>", "&Edit|>", "&Window|>"}));
    CNewMenu* file = Popup(&bar, 0);
    ASSERT_NE(file, nullptr);
    // A separator first in a popup or after another separator is dropped; a
    // command without an implementation is left out.
    EXPECT_EQ(Items(file), (std::vector<std::string>{"&Open...\tCtrl+O|316", "&Save|322", "-", "&Bookmarks|>",
                                                     "Copy &all|33536"}));
    EXPECT_EQ(Items(Popup(file, 3)), (std::vector<std::string>{"&Toggle|522", "&Next|523"}));
    EXPECT_EQ(Items(Popup(&bar, 1)), (std::vector<std::string>{"Bad|" + std::to_string(QW_MENU_NO_COMMAND), "&Paste|457"}));
    EXPECT_EQ(next, QW_MENU_MULTI_FIRST + 1);
    EXPECT_EQ(GetWindowMenuPopup(&bar), reinterpret_cast<void*>(GetSubMenu(bar.m_hMenu, 2)));

    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].text, "Error: No K_M_HEAD spec'd before first menu item\rFile: fixture\rLine: 4");
    EXPECT_EQ(boxes.boxes()[1].text, "Unknown K_xx command: K_NoSuch\rFile: fixture\rLine: 18");
}

TEST_F(MenuFiles, MultiCommandItemsCarryTheirSequenceAndPrompt) {
    int next = QW_MENU_MULTI_FIRST;
    ASSERT_EQ(ParseMenuFile(&bar, kFixture, "fixture", &next), 1);
    const QwMenuItemData* d = GetMenuItemSequence(&bar, QW_MENU_MULTI_FIRST);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->sequence, (std::vector<int32_t>{471, 455, -1}));
    std::string prompt;
    EXPECT_EQ(GetMenuItemPrompt(QW_MENU_MULTI_FIRST, &bar, &prompt), 1);
    EXPECT_EQ(prompt, "Copies the whole text");
    EXPECT_EQ(GetMenuItemPrompt(QW_MENU_MULTI_LAST, &bar, &prompt), 1);  // in the range, no such item
    EXPECT_EQ(prompt, "");
    EXPECT_EQ(GetMenuItemPrompt(316, &bar, &prompt), 0);
    ReleaseMenuItemData(&bar);
    EXPECT_EQ(GetMenuItemSequence(&bar, QW_MENU_MULTI_FIRST), nullptr);
}

TEST_F(MenuFiles, IdentifiersBeyondTheRoutedRangeAreRefused) {
    int next = QW_MENU_MULTI_LAST;
    std::vector<std::string> lines = {"&Edit\tK_M_HEAD", "One\tK_SelectAll,K_Copy", "Two\tK_SelectAll,K_Paste"};
    ASSERT_EQ(ParseMenuFile(&bar, lines, "full", &next), 1);
    EXPECT_EQ(Items(Popup(&bar, 0)), (std::vector<std::string>{"One|" + std::to_string(QW_MENU_MULTI_LAST),
                                                               "Two|" + std::to_string(QW_MENU_NO_COMMAND)}));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Too many menu items with several commands\rFile: full\rLine: 3");
}

TEST_F(MenuFiles, MissingFileIsReported) {
    qwtest::TempDir dir;
    std::string path = dir.file("Menu_NoWin.TS");
    int next = QW_MENU_MULTI_FIRST;
    EXPECT_EQ(LoadMenuFile(&bar, path.c_str(), &next), 0);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Menu file: " + path +
                                         " not found.\n\nQW cannot be used without this file.\n\nEither restore it "
                                         "from a backup or reinstall Quedra.");
}

TEST(OwnerDrawnMenu, MnemonicsChooseTheFirstMatchingItem) {
    CNewMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    menu.AppendOwnerDrawItem("Fish && &Chips", MF_STRING, 10);
    menu.AppendOwnerDrawItem(nullptr, MF_SEPARATOR, 0);
    menu.AppendOwnerDrawItem("&copy", MF_STRING, 11);
    menu.AppendOwnerDrawItem("&Cut", MF_STRING, 12);
    EXPECT_EQ(CNewMenu::OnMenuChar('c', 0, &menu), MAKELRESULT(0, MNC_EXECUTE));
    EXPECT_EQ(CNewMenu::OnMenuChar('C', 0, &menu), MAKELRESULT(0, MNC_EXECUTE));
    EXPECT_EQ(CNewMenu::OnMenuChar('&', 0, &menu), 0);
    EXPECT_EQ(CNewMenu::OnMenuChar('u', 0, &menu), 0);
    // Every item is owner-drawn and carries its record.
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_FTYPE | MIIM_DATA;
    ASSERT_TRUE(GetMenuItemInfoA(menu.m_hMenu, 3, TRUE, &mii));
    EXPECT_TRUE(mii.fType & MFT_OWNERDRAW);
    EXPECT_EQ(reinterpret_cast<CNewMenuItemData*>(mii.dwItemData)->text, "&Cut");
}

TEST_F(MenuFiles, ContextMenusFromAStringOrAList) {
    std::unique_ptr<CNewMenu> menu(BuildListPopupMenu(QW_POPUP_FROM_STRING, 1109, nullptr, nullptr));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Items(menu.get()), (std::vector<std::string>{"&Refresh|1", "-", "&Float/Dock|3", "&Hide|4"}));

    ASSERT_NE(vms_start(100, 2048000, dir_.file("swap.tmp").c_str(), 0, 0), 0);
    VMB* list = vmb_create_temp();
    for (const char* line : {"First", "+More", ">One", ">Two", "Last"}) vm_append_line(list, line);
    menu.reset(BuildListPopupMenu(QW_POPUP_FROM_LIST, 0, list, nullptr));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Items(menu.get()), (std::vector<std::string>{"First|1", "More|>", "Last|5"}));
    EXPECT_EQ(Items(Popup(menu.get(), 1)), (std::vector<std::string>{"One|3", "Two|4"}));

    vm_append_line(list, "+Again");
    menu.reset(BuildListPopupMenu(QW_POPUP_FROM_LIST, 0, list, nullptr));
    EXPECT_EQ(menu, nullptr);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Popup menus currently only support a single nested menu.");
    vmb_close(list, 0);
    vms_stop();
}
