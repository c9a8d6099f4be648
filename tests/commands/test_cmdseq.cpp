// Tests of command lists read from text: command names, quoted typed text,
// parameter texts, escapes and unknown names.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands/cmdseq.h"
#include "commands/cmdtable.h"

namespace {

// A command dictionary of three names.
int FakeLookup(const char* word, char* text, int size) {
    static const struct { const char* name; int id; } kWords[] = {
        {"K_LineStart", 414}, {"K_Find", 476}, {"K_Copy", 455}};
    for (const auto& w : kWords)
        if (std::strcmp(word, w.name) == 0) {
            std::snprintf(text, size_t(size), "%d", w.id);
            return 1;
        }
    return 0;
}

class CommandLists : public ::testing::Test {
protected:
    void SetUp() override { previous_ = K_cmd_set_dictionary_lookup(FakeLookup); }
    void TearDown() override { K_cmd_set_dictionary_lookup(previous_); }
    K_cmd_dict_lookup_fn previous_ = nullptr;
};

} // namespace

TEST_F(CommandLists, ReadsNamesTextAndParameters) {
    struct Case {
        const char* text;
        std::vector<int32_t> want;  // without the terminator
    } cases[] = {
        {"K_Copy", {455}},
        {"K_LineStart,\"ab\",K_Find,\"param=x\"", {414, 'a', 'b', 476, -3, 'x', -4}},
        {"K_Find,\"PARAM=a,b\"", {476, -3, 'a', ',', 'b', -4}},    // a comma inside quotes stays text
        {"\"say \\\"hi\\\"\"", {'s', 'a', 'y', ' ', '"', 'h', 'i', '"'}},
        {"K_Copy K_Find", {455}},                                   // a blank ends the list
        {"\\,K_Copy", {',', 455}},                                  // an escaped comma is text
        {"", {}},
    };
    for (const Case& c : cases) {
        std::vector<int32_t> seq;
        std::string error;
        EXPECT_EQ(ParseKeyCommandList(&seq, c.text, &error), int(c.want.size())) << c.text;
        std::vector<int32_t> want = c.want;
        want.push_back(K_SEQ_END);
        EXPECT_EQ(seq, want) << c.text;
        EXPECT_TRUE(error.empty()) << c.text;
    }
}

TEST_F(CommandLists, UnknownNameIsReportedAndTheRestIsRead) {
    std::vector<int32_t> seq;
    std::string error;
    EXPECT_EQ(ParseKeyCommandList(&seq, "K_Copy,K_Nothing,K_Find", &error), -1);
    EXPECT_EQ(error, "EUnknown K_xx command: K_Nothing,K_Find");
    EXPECT_EQ(seq, (std::vector<int32_t>{455, 476, K_SEQ_END}));
    EXPECT_EQ(K_cmd_seq_command_count(seq.data()), 2);
}
