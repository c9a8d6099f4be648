// A C language for the view's lexer tests (see view_lexer_lang.h).
#include "tests/editor/view_lexer_lang.h"

#include <cstdio>

#include "VmEngine/lexlang.h"
#include "editor/langdict.h"
#include "editor/langspec.h"
#include "opsys/shell_outlets.h"
#include "tests/support/temp_dir.h"

namespace {

const char kC[] =
    "[Language Specification]\nVersion=1\nCase Sensitive=1\n"
    "Comment=1\nStyle=2\nToken=301\nOpen=/*\nClose=*/\n"
    "Comment=2\nStyle=1\nToken=302\nOpen=//\n"
    "[Keywords]\nif\nreturn\nwhile\n[Types]\nint\nchar\n";

int g_lang = -1;
int BufferLanguage(VMB*) { return g_lang; }
int BufferTab(VMB*) { return 0; }
unsigned Flags(int lang) { return GetLanguageFlags(lang); }
int Nesting(int lang) { return IsLanguageFlag4000(lang); }
int WordLength(int lang, const char* text) { return LanguageWordLength(lang, text); }
int IsKeyword(int lang, const char* word, int len) {
    int code = LookupLanguageKeywordN(word, len, lang, 0, nullptr, 0);
    return code > 0 && code != 320;
}
const VmLangSource kSource = {BufferLanguage, BufferTab, GetLanguageParserType, Flags,
                              Nesting,        MatchLanguageDelimiter, WordLength, IsKeyword};

} // namespace

int LoadTestCLanguage(const std::string& config_folder) {
    qwtest::WriteFileBytes(config_folder + "lang_c.JS", kC);
    g_lang = -1;
    if (FindOrLoadLanguageSpec(&g_lang, 4, nullptr, nullptr) != 1)
        return -1;
    return g_lang;
}

const VmLangSource* TestLangSource() { return &kSource; }

namespace {
std::string g_folder;
int FolderOutlet(char* out, int size, int) {
    if (int(g_folder.size()) >= size)
        return 0;
    std::snprintf(out, size_t(size), "%s", g_folder.c_str());
    return 1;
}
} // namespace

int LoadStandaloneCLanguage(const std::string& folder) {
    g_folder = folder;
    QwShellOutlets o = QwGetShellOutlets();
    o.config_folder = FolderOutlet;
    QwSetShellOutlets(&o);
    SetLanguageDictionaryFolders(folder.c_str(), "JS");
    return LoadTestCLanguage(folder);
}
