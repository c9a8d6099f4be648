// Tests of keyboard macros: the text form both ways (typed quotes and
// backslashes, parameter texts, an open final parameter, typed "param=",
// unknown names, characters from 128 up), recording and playing through the
// key translator, the list "Buffer m" with its one "## last recorded ##"
// line, named macros and a macro that plays itself.
#include "VmEngine/vm.h"
#include "Reu/history.h"
#include "commands/cmdseq.h"
#include "tests/commands/keys_fixture.h"

using namespace keytest;

namespace {

using Macro = KeysTest;

std::vector<int32_t> Parse(const char* text, int* count = nullptr, std::string* error = nullptr) {
    std::vector<int32_t> ids;
    int n = ParseKeyCommandList(&ids, text, error);
    if (count)
        *count = n;
    return ids;
}

std::string Build(std::vector<int32_t> ids) {
    CMacroMgr m;
    // Through the manager's own recording calls.
    m.StartRecording();
    for (size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] == -3) {
            std::string t;
            for (++i; ids[i] != -4; ++i)
                t += char(ids[i]);
            m.RecordText(t.c_str());
        } else {
            m.Record(ids[i]);
        }
    }
    return m.BuildText();
}

TEST_F(Macro, TextRoundTrips) {
    struct Case {
        std::vector<int32_t> ids;
        const char* text;
    } cases[] = {
        {{414, 'a', 'b', 476, -3, 'x', -4}, "K_LineStart,\"ab\",K_Find,\"param=x\""},
        {{'a', '"', 'b'}, "\"a\\\"b\""},
        {{'a', '\\'}, "\"a\"\\\\"},
        {{476, -3, 'c', ':', '\\', -4, 412}, "K_Find,\"param=c:\"\\\\,K_CharRight"},
        {{'P', 'a', 'r', 'a', 'm', '=', '1'}, "\\P\"aram=1\""},  // typed, not a parameter
        {{0xE9, 0xFF, 0xFD}, "\"\xE9\xFF\xFD\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<int32_t> want = c.ids;
        want.push_back(-1);
        std::string built = Build(c.ids);
        EXPECT_EQ(built, c.text);
        int n = 0;
        EXPECT_EQ(Parse(built.c_str(), &n), want) << built;
        EXPECT_EQ(n, int(c.ids.size()));
    }
}

TEST_F(Macro, ParsingMends) {
    // An open final parameter is closed; "param=" inside typed text stays text;
    // a blank outside quotes ends the list.
    EXPECT_EQ(Parse("K_Find,\"param=x"), (std::vector<int32_t>{476, -3, 'x', -4, -1}));
    EXPECT_EQ(Parse("\"a param=b\""), (std::vector<int32_t>{'a', ' ', 'p', 'a', 'r', 'a', 'm', '=', 'b', -1}));
    EXPECT_EQ(Parse("K_CharLeft K_CharRight"), (std::vector<int32_t>{410, -1}));
    EXPECT_EQ(Parse("K_Find,\"PARAM=x\",\"y\""), (std::vector<int32_t>{476, -3, 'x', -4, 'y', -1}));
    // An unknown name: -1 and the error text; the names after it are read.
    std::string error;
    int n = 0;
    EXPECT_EQ(Parse("K_Bogus,K_CharLeft", &n, &error), (std::vector<int32_t>{410, -1}));
    EXPECT_EQ(n, -1);
    EXPECT_EQ(error, "EUnknown K_xx command: K_Bogus,K_CharLeft");
}

// The lines of "Buffer m".
std::vector<std::string> MacroLines() {
    std::vector<std::string> lines;
    VMB* b = vmb_find(VMB_T_TEMP, "Buffer m");
    for (int i = 1; b && i <= vm_line_count(b); ++i) {
        char text[4097];
        int flags = 0;
        int n = vm_read_text(b, i, 0, text, 4096, &flags);
        lines.push_back(std::string(text, size_t(n > 0 ? n : 0)));
    }
    return lines;
}

TEST_F(Macro, RecordAndPlay) {
    Handle(410, K_ATTR_NO_VIEW | K_ATTR_MINIMIZED | K_ATTR_READ_ONLY | K_ATTR_EDITABLE);
    ASSERT_EQ(Bind(Keys("F2"), 410), 0);
    ASSERT_EQ(Bind(Keys("F7"), 554), 0);
    ASSERT_EQ(Bind(Keys("F8"), 555), 0);
    HistoryListInsert("Buffer m", 0, "zz other\tK_CharRight");
    FakeView v;
    g_view = &v;
    for (int round = 0; round < 2; ++round) {
        TranslateKeyMessage(K_WM_KEYDOWN, 118, 1, 0);  // F7: record
        EXPECT_EQ(GetMacroState(), K_MACRO_RECORDING);
        TranslateKeyMessage(K_WM_KEYDOWN, 113, 1, 0);  // F2
        TranslateKeyMessage(K_WM_CHAR, '"', 1, 0);
        TranslateKeyMessage(K_WM_KEYDOWN, 118, 1, 0);  // F7: stop
        EXPECT_EQ(GetMacroState(), 0);
    }
    EXPECT_EQ(GetMacroManager()->Text(), "K_CharLeft,\"\\\"\"");
    EXPECT_EQ(MacroLines(), (std::vector<std::string>{"## last recorded ##\tK_CharLeft,\"\\\"\"",
                                                      "zz other\tK_CharRight"}))
        << "exactly one last recording";
    g_runs.clear();
    v.typed.clear();
    TranslateKeyMessage(K_WM_KEYDOWN, 119, 1, 0);  // F8: play
    EXPECT_EQ(g_runs, (std::vector<int>{410}));
    EXPECT_EQ(v.typed, "\"");
    // Recording only Play keeps nothing.
    TranslateKeyMessage(K_WM_KEYDOWN, 118, 1, 0);
    Boxes().clear();
    StatusLines().clear();
    TranslateKeyMessage(K_WM_KEYDOWN, 119, 1, 0);
    EXPECT_TRUE(GetMacroManager()->Ids().empty());
    EXPECT_FALSE(GetMacroManager()->IsRecording());
    EXPECT_TRUE(Shown("Macro recorded stopped. No macro was recorded as Macro|Play\nmust be preceeded by other commands."));
    EXPECT_EQ(MacroLines().size(), 2u);
    StatusLines().clear();
    TranslateKeyMessage(K_WM_KEYDOWN, 119, 1, 0);
    EXPECT_TRUE(Shown("No macro to play"));
}

TEST_F(Macro, NamedMacros) {
    Handle(412, K_ATTR_NO_VIEW | K_ATTR_MINIMIZED | K_ATTR_READ_ONLY | K_ATTR_EDITABLE);
    HistoryListInsert("Buffer m", 0, "bad\tK_Bogus");
    HistoryListInsert("Buffer m", 1, "mine\tK_CharRight,K_CharRight");
    HistoryListInsert("Buffer m", 2, "notab");
    FakeView v;
    g_view = &v;
    K_cmd_params p;
    K_cmd_params_init(&p, 1, 555, "mine", 0, 0);
    EXPECT_EQ(PlayMacro(555, &p), 1);
    EXPECT_EQ(g_runs, (std::vector<int>{412, 412}));
    K_cmd_params_init(&p, 1, 555, "nowhere", 0, 0);
    EXPECT_EQ(PlayMacro(555, &p), 0);
    EXPECT_TRUE(Shown("Macro: 'nowhere' doesn't exist."));
    K_cmd_params_init(&p, 1, 555, "bad", 0, 0);
    EXPECT_EQ(PlayMacro(555, &p), 0);
    EXPECT_TRUE(Shown("Error reading macro: bad\tK_Bogus.\n\nUnknown K_xx command: K_Bogus"));
    K_cmd_params_init(&p, 3, 555, "mine", 0, 0);
    EXPECT_EQ(PlayMacro(555, &p), 0) << "not from within a macro";
    std::string name;
    EXPECT_FALSE(GetMacroManager()->LoadLine(3, &name));
    EXPECT_TRUE(Shown("Macro: notab is invalid."));
    // The manager is refused while recording.
    GetMacroManager()->StartRecording();
    EXPECT_EQ(K_MacroManager_cmd(556, nullptr), 0);
    EXPECT_TRUE(Shown("This action is not allowed while Macro Recording is in progress."));
}

TEST_F(Macro, PlaysItselfUntilCtrlBreak) {
    Handle(410, K_ATTR_NO_VIEW | K_ATTR_MINIMIZED | K_ATTR_READ_ONLY | K_ATTR_EDITABLE);
    ASSERT_EQ(Bind(Keys("F2"), 410), 0);
    ASSERT_EQ(Bind(Keys("F7"), 554), 0);
    ASSERT_EQ(Bind(Keys("F8"), 555), 0);
    FakeView v;
    g_view = &v;
    TranslateKeyMessage(K_WM_KEYDOWN, 118, 1, 0);
    TranslateKeyMessage(K_WM_KEYDOWN, 113, 1, 0);
    StatusLines().clear();
    TranslateKeyMessage(K_WM_KEYDOWN, 119, 1, 0);  // Play ends the recording
    EXPECT_TRUE(Shown("Macro recorded stopped. This macro will play itself.\nUse Ctrl+Break to stop it, if necessary."));
    EXPECT_EQ(GetMacroManager()->Text(), "K_CharLeft,K_MacroPlay");
    g_runs.clear();
    g_keys.break_after = 50;
    TranslateKeyMessage(K_WM_KEYDOWN, 119, 1, 0);
    EXPECT_EQ(g_runs.size(), 50u);
    EXPECT_FALSE(GetMacroManager()->IsPlaying());
}

} // namespace
