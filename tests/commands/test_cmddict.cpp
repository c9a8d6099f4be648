// Tests of command names through the real command dictionary: the master
// copy built from the command table compiles as language dictionary 37 and
// every command name finds its identifier there.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "commands/cmdtable.h"
#include "editor/langdict.h"
#include "editor/langspec.h"
#include "tests/editor/doc_test_env.h"

namespace {

// What the editor installs: a lookup of class-c words in dictionary 37.
int lookup_command_word(const char* word, char* text, int size) {
    int index = -1;
    if (!FindOrLoadLanguageSpec(&index, LANG_COMMANDS, nullptr, nullptr)) return -1;
    char copy[K_CMD_NAME_MAX + 1];
    std::snprintf(copy, sizeof copy, "%s", word);
    return LookupLanguageKeyword(copy, index, 0, text, size) == TOKEN_KEYWORD ? 1 : 0;
}

class CommandDictionary : public doctest::LangTest {
protected:
    void TearDown() override {
        K_cmd_set_dictionary_lookup(nullptr);
        doctest::LangTest::TearDown();
    }
};

} // namespace

TEST_F(CommandDictionary, EveryNameFindsItsIdentifier) {
    std::filesystem::copy_file(std::string(QW_SOURCE_DIR) + "/config/lang_qwk.xxx",
                               master() + "lang_qwk.xxx");
    K_cmd_set_dictionary_lookup(lookup_command_word);
    int found = 0;
    for (int id = K_CMD_FIRST; id <= K_CMD_LAST; ++id) {
        char name[K_CMD_NAME_BUF];
        if (!K_cmd_get_name(name, id)) continue;
        EXPECT_EQ(K_cmd_id_from_name(name[0] == '\t' ? name + 1 : name), id) << name;
        ++found;
    }
    EXPECT_EQ(found, 376);
    EXPECT_EQ(K_cmd_id_from_name("K_M_HEAD"), 300);
    EXPECT_EQ(K_cmd_id_from_name("k_fileopen"), 316);  // the dictionary ignores case
    EXPECT_EQ(K_cmd_id_from_name("K_NoSuchCommand"), -1);
    EXPECT_TRUE(doctest::Output(6).empty());  // the file compiled without a complaint
}

TEST_F(CommandDictionary, MissingDictionary) {
    K_cmd_set_dictionary_lookup(lookup_command_word);
    EXPECT_EQ(K_cmd_id_from_name("K_FileOpen"), -1);
}
