// Tests style sheets: the style-sheet file byte for byte (current and older
// versions, the shipped master), missing and damaged files, choosing a sheet
// by file name, unique copy names, language validation messages, extension
// lists and filters, and the widths the views read.
#include "editor/stylesheet.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/langdict.h"
#include "editor/langspec.h"
#include "framework/fwarchive.h"
#include "framework/fwfile.h"
#include "framework/fwmsgbox.h"
#include "tests/editor/doc_test_env.h"
#include "tests/Reu/reu_test_env.h"

namespace {

std::vector<std::string> g_fw_boxes;

int RecordFrameworkBox(HWND__*, const char* text, const char*, unsigned) {
    g_fw_boxes.push_back(text ? text : "");
    return 1;
}

class StyleSheets : public doctest::LangTest {
protected:
    void SetUp() override {
        doctest::LangTest::SetUp();
        SetLanguageDictionaryFolders(QW_CONFIG_DIR "/", "JS");
        g_fw_boxes.clear();
        fw::SetMessageBoxHandler(RecordFrameworkBox);
        path = dir.file("StyleSheets.JS");
    }
    void TearDown() override {
        DestroyStyleSheetArray();
        fw::SetMessageBoxHandler(nullptr);
        doctest::LangTest::TearDown();
    }
    // The archive bytes of a sheet written by hand for an older version.
    static std::string OldSheetFile(int32_t version) {
        fw::MemFile mem;
        {
            fw::Archive ar(mem, fw::Archive::kStore);
            ar << int32_t{SS_MAGIC} << int32_t{1} << version << int32_t{1};
            int strings = version == SS_VERSION_OLDEST ? 16 : 22;
            for (int i = 0; i < strings; ++i) {
                const char* texts[] = {"Old", "old", "C/C++", "", ". ,"};
                ar << std::string(i < 5 ? texts[i] : "t" + std::to_string(i + 1));
                if (i == 12 && version != SS_VERSION_OLDEST) ar << int32_t{1};  // member 81
            }
            int words = version == SS_VERSION ? 81 : 78;
            for (int i = 0; i < words; ++i) ar << int32_t{i == 1 ? 3 : 0};  // tab size 3
            ar.Close();
        }
        mem.SeekToBegin();
        std::string bytes(static_cast<size_t>(mem.GetLength()), '\0');
        mem.Read(bytes.data(), bytes.size());
        return bytes;
    }
    std::string path;
};

TEST_F(StyleSheets, MissingFileGivesSavedDefaults) {
    ASSERT_EQ(CreateStyleSheetArray(path.c_str()), 1);
    CStyleSheet_Array* a = GetStyleSheetArray();
    EXPECT_EQ(a->GetSize(), 38);
    ASSERT_EQ(reutest::Boxes().size(), 1u);
    EXPECT_NE(reutest::Boxes()[0].find("not found, using defaults"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(path));
    // Rows: fixed format only for Cobol and Fortran, no last-change stamp.
    for (int i = 0; i < a->GetSize(); ++i) {
        const CStyleSheet* s = a->GetAt(i);
        bool fixed = s->m_SSName == "Cobol" || s->m_SSName == "Fortran";
        EXPECT_EQ(s->m_Flags[SSF_FIXED_FORMAT], fixed ? 1 : 0) << s->m_SSName;
        EXPECT_EQ(s->m_Flags[SSF_LAST_CHANGE_STAMP], 0);
    }
    const CStyleSheet* c = a->FindByName("c/c++", nullptr, -1, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->m_WordDelimiters, ". ,=([^I:>-");
    EXPECT_EQ(c->m_LanguageName, "C/C++");
    EXPECT_EQ(c->m_IndentSize, 4);
    EXPECT_EQ(c->GetTabWidth(), 8);
}

TEST_F(StyleSheets, FileRoundTripIsByteExact) {
    CreateStyleSheetArray(path.c_str());
    CStyleSheet_Array* a = GetStyleSheetArray();
    CStyleSheet* c = a->FindByName("C/C++", nullptr, -1, nullptr);
    c->m_TextSettings[16] = std::string(300, 'x');  // a long string takes the 0xFF form
    c->m_Reserved85[18] = -5;
    ASSERT_EQ(a->Save(), 1);
    std::string first = qwtest::ReadFileBytes(path);
    // Header and the first sheet's opening words, little-endian.
    ASSERT_GT(first.size(), 20u);
    EXPECT_EQ(first.substr(0, 16), std::string("\x94\x04\x00\x00" "\x26\x00\x00\x00" "\x6D\x63\x00\x00"
                                               "\x01\x00\x00\x00", 16));
    EXPECT_EQ(first.substr(16, 4), std::string("\x03" "Ada", 4));

    CStyleSheet_Array b(path);
    ASSERT_EQ(b.Load(), 1);
    EXPECT_EQ(b.GetSize(), 38);
    EXPECT_EQ(b.FindByName("C/C++", nullptr, -1, nullptr)->m_TextSettings[16], std::string(300, 'x'));
    EXPECT_EQ(b.GetAt(0)->m_LanguageIndex, SS_LANGUAGE_UNRESOLVED);
    // What was read is written again unchanged.
    std::string copy = dir.file("copy.JS");
    std::filesystem::copy_file(path, copy);
    CStyleSheet_Array same(copy);
    ASSERT_EQ(same.Load(), 1);
    ASSERT_EQ(same.Save(), 1);
    EXPECT_EQ(qwtest::ReadFileBytes(copy), first);
    // A sheet without a name is not written, and the count says so.
    same.AddStyleSheet("", "zz", 4);
    ASSERT_EQ(same.Save(), 1);
    EXPECT_EQ(qwtest::ReadFileBytes(copy), first);
}

TEST_F(StyleSheets, OlderVersionsLoadWithTheirDefaults) {
    for (int32_t version : {SS_VERSION_OLDEST, SS_VERSION_NO_LOOKUP}) {
        SCOPED_TRACE(version);
        qwtest::WriteFileBytes(path, OldSheetFile(version));
        CStyleSheet_Array a(path);
        ASSERT_EQ(a.Load(), 1);
        ASSERT_EQ(a.GetSize(), 1);
        const CStyleSheet* s = a.GetAt(0);
        EXPECT_EQ(s->m_SSName, "Old");
        EXPECT_EQ(s->m_TabSize, 3);
        EXPECT_EQ(s->m_SDBLookupTrigger, 3);
        EXPECT_EQ(s->m_SDBLookupOnSpace, 1);
        EXPECT_EQ(s->m_ParamAssistOnEdit, 1);
        for (int n = 5; n <= 10; ++n)  // text settings 7 to 12
            EXPECT_EQ(s->m_TextSettings[n].empty(), version == SS_VERSION_OLDEST) << n;
        EXPECT_EQ(s->m_TextSettings[16], version == SS_VERSION_OLDEST ? "t16" : "t22");
    }
}

TEST_F(StyleSheets, DamagedFileIsReportedAndKept) {
    CreateStyleSheetArray(path.c_str());
    DestroyStyleSheetArray();
    std::string good = qwtest::ReadFileBytes(path);
    struct Case { const char* name; std::string bytes; int sheets; } cases[] = {
        {"cut short", good.substr(0, good.size() / 2), 18},
        {"bad magic", std::string("\x95\x04\x00\x00", 4) + good.substr(4), 0},
        {"bad version", good.substr(0, 8) + std::string("\x00\x00\x00\x00", 4) + good.substr(12), 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        reutest::Boxes().clear();
        qwtest::WriteFileBytes(path, k.bytes);
        ASSERT_EQ(CreateStyleSheetArray(path.c_str()), 1);
        CStyleSheet_Array* a = GetStyleSheetArray();
        EXPECT_TRUE(a->IsDamaged());
        ASSERT_EQ(reutest::Boxes().size(), 1u);
        EXPECT_NE(reutest::Boxes()[0].find("is damaged"), std::string::npos);
        // Sheets read before the damage stay; the defaults fill in the rest.
        EXPECT_EQ(a->GetSize(), 38);
        if (k.sheets) {
            EXPECT_NE(a->FindByName("Ada", nullptr, -1, nullptr), nullptr);
        }
        std::string name;
        a->GetDefault(&name);
        AddDefaultStyleSheets(-1);
        DestroyStyleSheetArray();
        EXPECT_EQ(qwtest::ReadFileBytes(path), k.bytes);
    }
}

TEST_F(StyleSheets, ChoosingBySheetFileName) {
    CreateStyleSheetArray(path.c_str());
    CStyleSheet_Array* a = GetStyleSheetArray();
    a->AddDefaultRow("Make", "makefile, mak", 21, 1, 0);
    a->AddDefaultRow("Hidden", "zzz", 21, 0, 0);
    struct Case { const char* path; const char* sheet; int language; } cases[] = {
        {"C:\\src\\main.CPP", "C/C++", 4},
        {"x.m", "Matlab", 19},
        {"unit.pas", "Delphi", 23},
        {"dir/Makefile", "Make", 21},
        {"a.mak", "Make", 21},
        {"notes.txt", "Text files", 33},
        {"res.rc", "Resource Scripts", 4},
        {"x.zzz", nullptr, -1},
        {"README", nullptr, -1},
        {"archive.tar.gz", nullptr, -1},
        {"", nullptr, -1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.path);
        CStyleSheet* s = FindStyleSheetForFile(k.path);
        if (!k.sheet) {
            EXPECT_EQ(s, nullptr);
        } else {
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(s->m_SSName, k.sheet);
        }
        EXPECT_EQ(GetLanguageForFile(k.path), k.language);
    }
    std::string other, ext;
    EXPECT_EQ(a->FindExtensionConflict(a->FindByName("Pascal", nullptr, -1, nullptr), &other, &ext),
              a->FindByName("Delphi", nullptr, -1, nullptr));
    EXPECT_EQ(other, "Delphi");
    EXPECT_EQ(ext, "pas");
    EXPECT_EQ(a->FindExtensionConflict(a->FindByName("Ada", nullptr, -1, nullptr), nullptr, nullptr), nullptr);
    EXPECT_TRUE(StyleSheetExists("perl"));
    EXPECT_FALSE(StyleSheetExists(""));
}

TEST_F(StyleSheets, DefaultSheetAndUniqueCopies) {
    CreateStyleSheetArray(path.c_str());
    CStyleSheet_Array* a = GetStyleSheetArray();
    std::string name;
    CStyleSheet* d = a->GetDefault(&name);
    EXPECT_EQ(name, "Default");
    EXPECT_EQ(d->m_LanguageName, "None");
    EXPECT_EQ(d->m_Flags[SSF_AUTO_INDENT] + d->m_Flags[SSF_SMART_INDENT] + d->m_Flags[SSF_TEMPLATE_EDITING], 0);
    EXPECT_EQ(d->m_Associated, 1);
    EXPECT_EQ(a->GetDefault(nullptr), d);
    EXPECT_EQ(a->FindByName(nullptr, "", 1, nullptr), nullptr);  // "Default" never matches by extension

    CStyleSheet* c = a->FindByName("C/C++", nullptr, -1, nullptr);
    c->m_TabSize = 3;
    c->m_TextSettings[11] = "13";
    c->m_TextSettings[10] = "12";
    CStyleSheet* one = a->MakeUniqueName(*c, "C/C++");
    CStyleSheet* two = a->MakeUniqueName(*c, "C/C++");
    CStyleSheet* three = a->MakeUniqueName(*c, "Mine (9)");
    EXPECT_EQ(one->m_SSName, "C/C++ (1)");
    EXPECT_EQ(two->m_SSName, "C/C++ (2)");
    EXPECT_EQ(three->m_SSName, "Mine (9)");
    EXPECT_EQ(a->MakeUniqueName(*c, "Mine (9)")->m_SSName, "Mine (10)");
    EXPECT_EQ(two->m_TabSize, 3);
    EXPECT_EQ(two->m_TextSettings[10], "12");
    EXPECT_EQ(two->m_TextSettings[11], "");
    EXPECT_EQ(two->m_Associated, 0);
    EXPECT_EQ(a->Remove(two), 1);
    EXPECT_EQ(a->Remove(two), 0);
}

TEST_F(StyleSheets, ValidationMessages) {
    CreateStyleSheetArray(path.c_str());
    reutest::Boxes().clear();
    CStyleSheet bad("Odd", "odd", 4);
    bad.m_LanguageName = "Klingon";
    bad.m_Flavour = "Warrior";
    int index = bad.ValidateLanguage(1, "C:\\a.odd");
    EXPECT_EQ(GetLanguageParserType(index), LANG_NONE);
    EXPECT_EQ(bad.m_LanguageName, "None");
    EXPECT_EQ(bad.m_Flavour, "");

    CStyleSheet flavour("Win", "w", 4);
    flavour.m_Flavour = "Win32";
    index = flavour.ValidateLanguage(1, "C:\\b.w");
    EXPECT_EQ(GetLanguageParserType(index), 4);
    EXPECT_EQ(flavour.m_Flavour, "");
    EXPECT_EQ(flavour.m_LanguageIndex, index);

    CStyleSheet quiet("Q", "q", 24);
    quiet.m_Flavour = "Missing";
    EXPECT_EQ(GetLanguageParserType(quiet.ValidateLanguage(0, "q")), 24);

    ASSERT_EQ(reutest::Boxes().size(), 2u);
    EXPECT_NE(reutest::Boxes()[0].find(
                  "The Style Sheet 'Odd' for Document 'C:\\a.odd' specifies Language 'Klingon' which is "
                  "invalid."),
              std::string::npos);
    EXPECT_NE(reutest::Boxes()[1].find("specifies Language 'C/C++' and Flavour 'Win32'"), std::string::npos);
    EXPECT_NE(reutest::Boxes()[1].find("Dictionary for 'C/C++ \xBB Win32' could not"), std::string::npos);
}

TEST_F(StyleSheets, WidthsOutOfRangeReadAsDefaults) {
    CStyleSheet s("T", "t", 33);
    struct Case { int stored; int tab; int indent; } cases[] = {
        {0, 8, 8}, {-3, 8, 8}, {1, 1, 1}, {100, 100, 100}, {101, 8, 101}, {120, 8, 120}, {121, 8, 8},
    };
    for (const Case& k : cases) {
        s.m_TabSize = s.m_IndentSize = k.stored;
        EXPECT_EQ(s.GetTabWidth(), k.tab) << k.stored;
        EXPECT_EQ(s.GetIndentSize(), k.indent) << k.stored;
    }
    s.SetTabWidth(0);
    EXPECT_EQ(s.m_TabSize, 8);
    s.SetTabWidth(42);
    EXPECT_EQ(s.m_TabSize, 42);
    EXPECT_EQ(s.BracketFlag(0x2, 1), 1);
    EXPECT_EQ(s.BracketFlag(0x1, -1), 1);
    EXPECT_EQ(s.BracketFlag(0x1, 0), 0);
    EXPECT_EQ(s.m_BracketFlags, 0x2u);
    EXPECT_EQ(s.ExtraSwitch(5), 0);
    EXPECT_EQ(s.ExtraSwitch(1), 1);
    EXPECT_EQ(s.ExtraSwitch(-1), 1);
    char out[4];
    s.SetTextSetting(7, "abcdef");
    EXPECT_STREQ(s.GetTextSetting(7, out, sizeof out), "abc");
    EXPECT_STREQ(s.GetTextSetting(12, out, sizeof out), "");
}

TEST(StyleSheetLists, ItemsAndFilters) {
    struct Case { std::string text; std::vector<std::string> items; } cases[] = {
        {"c cpp h inl cxx", {"c", "cpp", "h", "inl", "cxx"}},
        {"c,  cpp ,h", {"c", "cpp", "h"}},
        {" c cpp", {}},
        {",c", {}},
        {"", {""}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        std::vector<std::string> got;
        std::string item;
        size_t pos = 0;
        int n;
        while ((n = NextListItem(&item, k.text, &pos)) >= 0) {
            got.push_back(item);
            if (n == 0) {
                EXPECT_EQ(NextListItem(&item, k.text, &pos), -1);
            }
            if (n == 0) break;
        }
        EXPECT_EQ(got, k.items);
    }
    EXPECT_EQ(BuildExtensionFilter("c cpp h inl cxx"), "*.c;*.cpp;*.h;*.inl;*.cxx");
    EXPECT_EQ(BuildExtensionFilter(""), "");
}

TEST_F(StyleSheets, ListOfSheets) {
    CreateStyleSheetArray(path.c_str());
    VMB* list = vmb_open(VMB_T_TEMP, "SSList", VMB_O_FILE);
    EXPECT_EQ(FillStyleSheetList(list, 0x30, 0), 5);
    EXPECT_EQ(reutest::Lines(list),
              (std::vector<std::string>{"Assembler (Hitec)\tasm", "Assembler (TMS320)\tasm",
                                        "Clipper S87\tprg ch", "Limbo\tm", "Pascal\tpas"}));
    vm_clear(list, 0);
    EXPECT_EQ(FillStyleSheetList(list, 0x10, -1), 38);
    EXPECT_EQ(vm_line_flags(list, 1, VM_OP_READ, 0x8), 0x8);  // "Ada" is associated
    EXPECT_EQ(vm_line_flags(list, 2, VM_OP_READ, 0x8), 0);    // "Assembler (Hitec)" is not
    EXPECT_GE(GetStyleSheetArray()->GetAt(0)->m_LanguageIndex, 0);
}

// The shipped master is what a first start writes. Set QW_WRITE_MASTERS to
// write it afresh into the source tree.
TEST_F(StyleSheets, MasterFileMatchesTheDefaults) {
    CreateStyleSheetArray(path.c_str());
    std::string made = qwtest::ReadFileBytes(path);
    std::string master = QW_CONFIG_DIR "/StyleSheets.xxx";
    if (std::getenv("QW_WRITE_MASTERS")) qwtest::WriteFileBytes(master, made);
    EXPECT_EQ(qwtest::ReadFileBytes(master), made);
}

}  // namespace
