// Tests of command execution (the state gate, the edit-mode offer, the steps
// around a handler, availability), the key-binding tables and matcher, the
// key translator on synthetic key messages, command sequences with repeat
// counts and Ctrl+Break, key texts and the shipped default keyboard.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "opsys/msgout.h"
#include "tests/commands/keys_fixture.h"

using namespace keytest;

namespace {

constexpr uint32_t A_ALL = uint32_t(K_ATTR_NO_VIEW) | K_ATTR_MINIMIZED | K_ATTR_READ_ONLY | K_ATTR_EDITABLE;
constexpr uint32_t A_EDIT = K_ATTR_EDITABLE;  // a command that changes text

using Exec = KeysTest;

TEST_F(Exec, StateGateResultsAndMessages) {
    struct Case {
        const char* what;
        uint32_t attr;
        int state;
        int kind;
        bool special;
        int result;
        unsigned msg;   // 0: none
        const char* text;
    } cases[] = {
        {"allowed", A_ALL, 16, 1, false, 7, 0, nullptr},
        {"no view", A_EDIT, 128, 6, false, 0, 230, "this command can only be used when files/windows are open"},
        {"minimised", A_EDIT, 4, 1, false, 0, 231, "Command invalid in minimized window"},
        {"read-only", A_EDIT, 32, 1, false, -4, 43, "Read Only Allowed"},
        {"special buffer", A_EDIT, 40, 1, true, -4, 43, "Read Only Allowed"},
        {"editable refused", K_ATTR_READ_ONLY, 16, 1, false, -3, 0, nullptr},
        {"macro on a special view", A_EDIT, 40, 8, true, 7, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Handle(410, c.attr);
        FakeView v;
        v.special = c.special;
        StatusLines().clear();
        Boxes().clear();
        g_runs.clear();
        K_cmd_params p;
        K_cmd_params_init(&p, c.kind, 410, nullptr, 0, 0);
        EXPECT_EQ(Run_k_cmd(410, c.state, c.state == 128 ? nullptr : &v, &p), c.result);
        EXPECT_EQ(g_runs.size(), c.result == 7 ? 1u : 0u);
        if (c.msg)
            EXPECT_TRUE(Shown(Said(c.msg, c.text)));
        else
            EXPECT_TRUE(StatusLines().empty() && Boxes().empty());
    }
    EXPECT_EQ(Run_k_cmd(694, 16, nullptr, nullptr), -3);
    K_cmd_lookup(411)->handler.fn = nullptr;
    K_cmd_lookup(411)->attr = A_ALL;
    EXPECT_EQ(Run_k_cmd(411, 128, nullptr, nullptr), -2);
}

int g_view_calls = 0;
int view_method(void* v, int arg, K_cmd_params*) {
    ++g_view_calls;
    return v ? arg : -100;
}

TEST_F(Exec, HandlerForms) {
    // A view method without a view ends before the call.
    K_cmd_record* r = K_cmd_lookup(410);
    K_cmd_set_view_handler(410, view_method);
    r->attr = A_ALL | K_ATTR_VIEW_METHOD;
    EXPECT_EQ(Run_k_cmd(410, 128, nullptr, nullptr), -3);
    EXPECT_EQ(g_view_calls, 0);
    FakeView v;
    EXPECT_EQ(Run_k_cmd(410, 16, &v, nullptr), 410);
    r->attr |= K_ATTR_VIEW_EXTEND | K_ATTR_EXTEND;
    EXPECT_EQ(Run_k_cmd(410, 16, &v, nullptr), 1);
    // A title record whose handler is the placeholder runs as a function.
    r->handler.fn = K_cmd_placeholder;
    r->attr = A_ALL | K_ATTR_TITLE;
    StatusLines().clear();
    EXPECT_EQ(Run_k_cmd(410, 16, &v, nullptr), 0);
    ASSERT_FALSE(StatusLines().empty());
    EXPECT_EQ(StatusLines()[0], "K_CharLeft is not available in this version");
}

TEST_F(Exec, EditModeOffer) {
    Handle(436, A_EDIT);  // K_Delete changes text
    struct Case {
        const char* what;
        int answer;
        bool file_read_only;
        int result;
        const char* message;
    } cases[] = {
        {"no", QW_IDNO, false, -4, "Read Only Allowed"},
        {"yes, read-only file", QW_IDYES, true, -4, "File 'C:\\src\\a.c' is Read Only - Write access denied"},
        {"yes", QW_IDYES, false, 7, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeView v;
        v.read_only = v.named = true;
        v.file_read_only = c.file_read_only;
        g_answer = c.answer;
        StatusLines().clear();
        Boxes().clear();
        g_keys.beeps.clear();
        EXPECT_EQ(Do_k_cmd(436, K_DO_NOTE, &v, nullptr), c.result);
        if (c.message) {
            size_t shown = StatusLines().size() + Boxes().size();
            EXPECT_EQ(shown, 1u) << "one message only";
            EXPECT_TRUE(Shown(Said(c.file_read_only ? 323 : 43, c.message)));
        } else {
            EXPECT_FALSE(v.read_only);
            EXPECT_EQ(v.steps.front(), "note 436");
        }
    }
    // A command allowed on read-only views is not offered.
    Handle(410, A_ALL);
    FakeView v;
    v.read_only = v.named = true;
    g_answer = QW_IDYES;
    EXPECT_EQ(Do_k_cmd(410, 0, &v, nullptr), 7);
    EXPECT_TRUE(v.read_only);
}

// The handler closes the view: nothing may touch it afterwards.
FakeView* g_closing = nullptr;
int closing_handler(int, K_cmd_params*) {
    g_closing->alive = false;
    return 1;
}

TEST_F(Exec, StepsAroundTheHandler) {
    Handle(410, A_ALL | K_ATTR_CARET_VISIBLE | K_ATTR_KEEP_COLUMN);
    FakeView v;
    K_cmd_params p;
    K_cmd_params_init(&p, 0, 410, nullptr, 0, 0);
    EXPECT_EQ(Run_k_cmd(410, 16, &v, &p), 7);
    EXPECT_EQ(v.steps, (std::vector<std::string>{"caret", "column", "bracket"}));
    EXPECT_EQ(v.pending, 0);
    // On a special-buffer view the line mark runs before; after only with the flag bit.
    FakeView s;
    s.special = true;
    K_cmd_params_init(&p, 1, 410, nullptr, 0, 0);
    Run_k_cmd(410, 40, &s, &p);
    EXPECT_EQ(s.steps, (std::vector<std::string>{"caret", "mark 1"}));
    // A closed view: no post-step at all.
    K_cmd_set_handler(410, closing_handler);
    FakeView c;
    g_closing = &c;
    K_cmd_params_init(&p, 0, 410, nullptr, 0, 0);
    EXPECT_EQ(Run_k_cmd(410, 16, &c, &p), 1);
    EXPECT_EQ(c.steps, (std::vector<std::string>{"caret"}));
    EXPECT_EQ(c.pending, 1);
}

int g_dialog_answer = 0;
TEST_F(Exec, Availability) {
    K_cmd_exec_hooks h = K_cmd_get_exec_hooks();
    h.dialog_has_handler = [](void* d) { return d ? 1 : 0; };
    h.dialog_answer = [](void*, int, int event) { return event == 2 ? g_dialog_answer : 0; };
    K_cmd_set_exec_hooks(&h);
    FakeView v;
    struct Case {
        const char* what;
        int id;
        bool view;
        int undo;
        int expect;
    } cases[] = {
        {"undo with an empty log", 450, true, 0, 0},
        {"undo with a line", 450, true, 1, 1},
        {"undo without a view", 450, false, 1, 0},
        {"macro play", 555, false, 0, 1},
        {"macro manager with no macro", 556, true, 0, 0},
        {"debugger", 675, true, 0, 0},
        {"save on an editable view", 322, true, 0, 1},
        {"save without a view", 322, false, 0, 0},
        {"outside the ranges", 1000, false, 0, 1},
        {"needs a view", 410, false, 0, 0},       // K_CharLeft lacks 0x80
        {"allowed without a view", 316, false, 0, 1},
        {"character id", 65, false, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        v.undo_lines = c.undo;
        g_view = c.view ? &v : nullptr;
        EXPECT_EQ(cmd_available(c.id), c.expect);
    }
    g_view = &v;
    v.read_only = true;
    EXPECT_EQ(cmd_available(436), 0) << "a read-only view needs 0x20";
    EXPECT_EQ(cmd_available(410), 1);
    // A dialog's attached program decides; -1 means available, others are the answer.
    int dialog;
    v.read_only = false;
    for (int answer : {0, -1, 5}) {
        g_dialog_answer = answer;
        EXPECT_EQ(dlg_cmd_available(410, &dialog), answer == -1 ? 1 : answer);
    }
    g_dialog_answer = 1;
    g_view = nullptr;
    EXPECT_EQ(dlg_cmd_available(410, &dialog), 0) << "then the view state decides";
}

// ---- Bindings --------------------------------------------------------------

using Bindings = KeysTest;

TEST_F(Bindings, SetResults) {
    const int one = 410, two[] = {410, 412};
    std::vector<uint8_t> ck = {16, 11}, ckb = {16, 11, 'b'}, f5 = {0, 116};
    std::vector<uint8_t> long32(32, 'x');
    struct Case {
        const char* what;
        std::vector<uint8_t> keys;
        const int* cmds;
        int n;
        int replace;
        int result;
    } cases[] = {
        {"remove from no table", f5, nullptr, 0, 0, 4},
        {"bind", f5, &one, 1, 0, 0},
        {"bound, no replace", f5, &one, 1, 0, 9},
        {"bound, replace with a list", f5, two, 2, 1, 0},
        {"sequence", ckb, &one, 1, 0, 0},
        {"prefix of a bound one", ck, &one, 1, 1, 8},
        {"extends a bound one", {16, 11, 'b', 'c'}, &one, 1, 1, 8},
        {"no command", {0, 117}, two, 0, 0, 6},
        {"no keys", {}, &one, 1, 0, 7},
        {"too long", long32, &one, 1, 0, 10},
        {"remove unbound", {0, 118}, nullptr, 0, 0, 4},
        {"remove", f5, nullptr, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(KeyBinding_Set(c.keys.data(), int(c.keys.size()), c.cmds, c.n, c.replace), c.result);
        EXPECT_TRUE(KeyTable_CheckInvariant());
    }
    int count = 0;
    KeyTable_Entries(&count);
    EXPECT_EQ(count, 1);
}

TEST_F(Bindings, SortedWithKeysInAndOutOfLine) {
    std::mt19937 rng(7);
    std::vector<std::vector<uint8_t>> bound;
    for (int i = 0; i < 300; ++i) {
        std::vector<uint8_t> k(size_t(1 + rng() % 8));
        for (auto& b : k)
            b = uint8_t(20 + rng() % 6);
        if (Bind(k, 300 + i % 390) == 0)
            bound.push_back(k);
        ASSERT_TRUE(KeyTable_CheckInvariant());
    }
    int count = 0;
    const KeyBindingEntry* e = KeyTable_Entries(&count);
    ASSERT_EQ(size_t(count), bound.size());
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(bool(e[i].flags & KB_F_OUTLINE), e[i].key_count() > 4);
    // Every bound sequence still matches its command.
    for (auto& k : bound) {
        int r = KB_MATCH_MORE;
        for (size_t j = 0; j < k.size() && r == KB_MATCH_MORE; ++j)
            r = KeyBinding_Match(-1, k[j], nullptr, true);
        EXPECT_GE(r, 300);
    }
    uint8_t four[] = {30, 31, 32, 33}, five[] = {30, 31, 32, 33, 34};
    KeyTable_Pop(1);
    EXPECT_EQ(KeyBinding_Set(four, 4, &count, 1, 0), 0);
    EXPECT_EQ(KeyTable_Entries(&count)[0].flags & KB_F_OUTLINE, 0);
    EXPECT_EQ(KeyBinding_Set(four, 4, nullptr, 0, 0), 0);
    EXPECT_EQ(KeyBinding_Set(five, 5, &count, 1, 0), 0);
    EXPECT_NE(KeyTable_Entries(&count)[0].flags & KB_F_OUTLINE, 0);
}

TEST_F(Bindings, TableStackHoldsSix) {
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(KeyTable_Push(10), 0);
    EXPECT_EQ(KeyTable_Push(10), 1) << "a seventh table";
    EXPECT_EQ(KeyTable_Top(), 5);
    EXPECT_EQ(Bind({0, 116}, 410), 0);
    EXPECT_EQ(KeyTable_Pop(0), 4);
    int count = 0;
    KeyTable_Entries(&count);
    EXPECT_EQ(count, 0) << "the top table went with its bindings";
    EXPECT_EQ(KeyTable_Pop(1), -1);
}

TEST_F(Bindings, SequenceOnTheStatusBarAndEsc) {
    ASSERT_EQ(Bind(Keys("Ctrl+K B"), 410), 0);
    ASSERT_EQ(Bind(Keys("Ctrl+K Ctrl+C"), 412), 0);
    EXPECT_EQ(KeyBinding_Match(16, 11, nullptr, false), KB_MATCH_MORE);
    EXPECT_EQ(StatusLines().back(), "^K");
    EXPECT_EQ(KeyBinding_Match(0, 27, nullptr, false), KB_MATCH_CANCELLED);
    EXPECT_FALSE(KeyBinding_Pending());
    EXPECT_EQ(KeyBinding_Match(16, 11, nullptr, false), KB_MATCH_MORE);
    EXPECT_EQ(KeyBinding_Match(-1, 'b', nullptr, false), 410);
    EXPECT_EQ(StatusLines().back(), "^Kb");
    // Ctrl and a letter later in a sequence is the letter.
    KeyBinding_Match(16, 11, nullptr, true);
    EXPECT_EQ(KeyBinding_Match(16, 3, nullptr, true), 412);
    // A typed upper-case letter matches only with case folding.
    KeyBinding_Match(16, 11, nullptr, true);
    EXPECT_EQ(KeyBinding_Match(-1, 'B', nullptr, true), KB_MATCH_UNBOUND);
    KeyBinding_SetCaseFolding(true);
    KeyBinding_Match(16, 11, nullptr, true);
    EXPECT_EQ(KeyBinding_Match(-1, 'B', nullptr, true), 410);
}

TEST_F(Bindings, UnboundKeys) {
    ASSERT_EQ(Bind(Keys("F2"), 410), 0);
    EXPECT_EQ(KeyBinding_Match(-1, 'a', nullptr, false), 'a') << "a typed letter";
    EXPECT_TRUE(StatusLines().empty());
    EXPECT_EQ(KeyBinding_Match(0, 116, nullptr, false), KB_MATCH_UNBOUND);
    EXPECT_TRUE(Shown(Said(443, " Key is not bound")));
    EXPECT_EQ(KeyBinding_Match(0, 116, nullptr, true), KB_MATCH_UNBOUND);
}

TEST_F(Bindings, AssignAndKeyTexts) {
    EXPECT_EQ(KeyBinding_AssignOne("Ctrl+K Ctrl+B", 410), 0);
    EXPECT_EQ(KeyBinding_AssignOne("Ctrl+K", 412), 8);
    EXPECT_TRUE(Shown(Said(442, "Ctrl+K forms part of longer key sequence and cannot be used on its own.")));
    EXPECT_EQ(KeyBinding_AssignOne("Ctrl+Nowhere", 412), 5);
    EXPECT_EQ(KeyBinding_AssignOne("   ", 412), 7);
    char text[128];
    EXPECT_FALSE(KeyBindingText(text, sizeof text, 412, true));
    // Texts: the primary binding first; else the shortest that is not "Gray".
    EXPECT_EQ(KeyBinding_AssignOne("Gray+", 412), 0);
    EXPECT_EQ(KeyBinding_AssignOne("Ctrl+Shift+F12", 412), 0);
    EXPECT_EQ(KeyBinding_AssignOne("F9", 412), 0);
    EXPECT_EQ(KeyBinding_AssignOne("MouseRight", 412), 0);
    ASSERT_TRUE(KeyBindingText(text, sizeof text, 412, false));
    EXPECT_STREQ(text, "Gray+") << "the primary one";
    EXPECT_EQ(KeyBinding_Set(Keys("Gray+").data(), 2, nullptr, 0, 0), 0);
    ASSERT_TRUE(KeyBindingText(text, sizeof text, 412, false));
    EXPECT_STREQ(text, "F9");
    ASSERT_TRUE(KeyBindingText(text, sizeof text, 412, true));
    EXPECT_STREQ(text, "F9 and Ctrl+Shift+F12") << "in table order, the mouse left out";
    ASSERT_TRUE(KeyBindingText(text, sizeof text, 410, false));
    EXPECT_STREQ(text, "Ctrl+K b");
}

// ---- Translator and sequences -------------------------------------------------

using Translate = KeysTest;

TEST_F(Translate, SyntheticKeyMessages) {
    Handle(410, A_ALL);
    Handle(412, A_ALL);
    ASSERT_EQ(Bind(Keys("Ctrl+K B"), 410), 0);
    ASSERT_EQ(Bind(Keys("Shift+F3"), 412), 0);
    FakeView v;
    g_view = &v;
    // A letter: left to its character message, which types it.
    EXPECT_EQ(TranslateKeyMessage(K_WM_KEYDOWN, 'A', 1, 0), 0);
    EXPECT_EQ(TranslateKeyMessage(K_WM_CHAR, 'a', 1, 0), 1);
    EXPECT_EQ(v.typed, "a");
    // Ctrl+K, B.
    g_keys.ctrl = true;
    EXPECT_EQ(TranslateKeyMessage(K_WM_KEYDOWN, 'K', 1, 0), 0) << "ToAscii gives a character";
    EXPECT_EQ(TranslateKeyMessage(K_WM_CHAR, 11, 1, 0), 1);
    EXPECT_EQ(StatusLines().back(), "^K");
    g_keys.ctrl = false;
    EXPECT_EQ(TranslateKeyMessage(K_WM_KEYDOWN, 'B', 1, 0), 0);
    EXPECT_EQ(TranslateKeyMessage(K_WM_CHAR, 'b', 1, 0), 1);
    EXPECT_EQ(g_runs, (std::vector<int>{410}));
    EXPECT_EQ(v.typed, "a");
    // A bound virtual key with Shift.
    g_keys.shift = true;
    EXPECT_EQ(TranslateKeyMessage(K_WM_KEYDOWN, 114, 1, 0), 1);
    g_keys.shift = false;
    EXPECT_EQ(g_runs.back(), 412);
    // An unbound F-key is reported and consumed; Alt and an unbound letter
    // goes to the system menu.
    StatusLines().clear();
    EXPECT_EQ(TranslateKeyMessage(K_WM_KEYDOWN, 118, 1, 0), 1);
    EXPECT_TRUE(Shown(Said(443, " Key is not bound")));
    g_keys.alt = true;
    EXPECT_EQ(TranslateKeyMessage(K_WM_SYSKEYDOWN, 'X', 1, 0), 0);
    EXPECT_EQ(TranslateKeyMessage(K_WM_SYSCHAR, 'x', 1, 0), 0);
    g_keys.alt = false;
    // A dead key is consumed; key-ups and modifier keys are not.
    g_keys.to_ascii = -1;
    EXPECT_EQ(TranslateKeyMessage(K_WM_KEYDOWN, 222, 1, 0), 1);
    EXPECT_EQ(TranslateKeyMessage(K_WM_KEYUP, 'A', 1, 0), 0);
    EXPECT_EQ(TranslateKeyMessage(K_WM_KEYDOWN, 17, 1, 0), 0);
    // Without a table nothing is consumed.
    KeyTable_Pop(1);
    EXPECT_EQ(TranslateKeyMessage(K_WM_KEYDOWN, 118, 1, 0), 0);
}

TEST_F(Translate, RepeatCountAndCtrlBreak) {
    Handle(410, A_ALL);
    ASSERT_EQ(Bind(Keys("F2"), 410), 0);
    FakeView v;
    g_view = &v;
    K_cmd_push_repeat_count(3);
    EXPECT_EQ(TranslateKeyMessage(K_WM_KEYDOWN, 113, 1, 0), 1);
    EXPECT_EQ(g_runs.size(), 3u);
    EXPECT_EQ(K_cmd_repeat_depth(), 0);
    TranslateKeyMessage(K_WM_KEYDOWN, 113, 1, 0);
    EXPECT_EQ(g_runs.size(), 4u) << "the count is used once";
    // Ctrl+Break after the first run stops the rest and resets the counts.
    g_runs.clear();
    K_cmd_push_repeat_count(2);
    K_cmd_push_repeat_count(3);
    g_keys.break_after = 1;
    TranslateKeyMessage(K_WM_KEYDOWN, 113, 1, 0);
    EXPECT_EQ(g_runs.size(), 1u);
    EXPECT_EQ(K_cmd_repeat_depth(), 0);
    // The message's own repeat count runs the sequence again, unless a key-up waits.
    g_keys.break_after = -1;
    g_runs.clear();
    TranslateKeyMessage(K_WM_KEYDOWN, 113, 3, 0);
    EXPECT_EQ(g_runs.size(), 3u);
    g_keys.key_up_waiting = true;
    TranslateKeyMessage(K_WM_KEYDOWN, 113, 3, 0);
    EXPECT_EQ(g_runs.size(), 4u);
}

TEST_F(Translate, ListWithParameterText) {
    Handle(410, A_ALL);
    const int list[] = {410, -3, 'x', 'y', -4, 'q', 410};
    uint8_t keys[] = {0, 113};
    ASSERT_EQ(KeyBinding_Set(keys, 2, list, 7, 0), 0);
    FakeView v;
    g_view = &v;
    std::string seen;
    EXPECT_EQ(TranslateKeyMessage(K_WM_KEYDOWN, 113, 1, 0), 1);
    EXPECT_EQ(g_runs, (std::vector<int>{410, 410}));
    EXPECT_EQ(v.typed, "q") << "the parameter text is not typed";
    EXPECT_EQ(K_cmd_get_previous(), 'q');
    EXPECT_EQ(K_cmd_get_current(), 410);
}

TEST_F(Translate, DefaultKeyboardMovesTheCaret) {
    // The start-up program reads the shipped keyboard into the tables.
    EXPECT_EQ(CExe_ExecuteByName("qw_start.ces", CEXE_KIND1, 1, 0, nullptr, nullptr), 1);
    EXPECT_TRUE(Output().empty()) << Output()[0];
    EXPECT_TRUE(KeyTable_CheckInvariant());
    const struct {
        int vk;
        int id;
    } arrows[] = {{37, 410}, {39, 412}, {38, 406}, {40, 408}};
    for (auto a : arrows) {
        uint8_t k[2] = {0, uint8_t(a.vk)};
        int n = 0;
        uint8_t got[KB_MAX_KEYS];
        int at = KeyBinding_FindCommand(0, a.id, &n, got, nullptr);
        ASSERT_GE(at, 0) << a.id;
        EXPECT_EQ(std::vector<uint8_t>(got, got + n), std::vector<uint8_t>(k, k + 2));
    }
    Handle(408, A_ALL);
    FakeView v;
    g_view = &v;
    EXPECT_EQ(TranslateKeyMessage(K_WM_KEYDOWN, 40, 1, 0), 1);
    EXPECT_EQ(g_runs, (std::vector<int>{408}));
    // Ctrl+Z is bound as its control character.
    Handle(450, A_ALL);
    g_keys.ctrl = true;
    EXPECT_EQ(TranslateKeyMessage(K_WM_CHAR, 26, 1, 0), 1);
    EXPECT_EQ(g_runs.back(), 450);
    // Reading the keyboard again replaces the top table: a binding made
    // since (on F24, which the file leaves free) is gone, the file's are back.
    g_keys.ctrl = false;
    ASSERT_EQ(Bind({0, 135}, 412), 0);
    EXPECT_EQ(RunKeyboardOpenHook(0, 0, 0), 1);
    EXPECT_EQ(KeyTable_Top(), 0);
    uint8_t f24[] = {0, 135};
    EXPECT_EQ(KeyBinding_Set(f24, 2, nullptr, 0, 0), KB_NOT_BOUND);
    EXPECT_GE(KeyBinding_FindCommand(0, 408, nullptr, nullptr, nullptr), 0);
}

// The binding lines of the shipped keyboard file.
int KeyboardFileBindings() {
    std::ifstream in(QW_KEYBOARD_FILE);
    int n = 0;
    for (std::string line; std::getline(in, line);) {
        size_t b = line.find_first_not_of(" \t\r");
        if (b != std::string::npos && line[b] != ';')
            ++n;
    }
    return n;
}

TEST_F(Translate, ShippedKeyboardIsWhole) {
    EXPECT_EQ(CExe_ExecuteByName("qw_start.ces", CEXE_KIND1, 1, 0, nullptr, nullptr), 1);
    // Every line reads: an unknown key or command, or a sequence that is the
    // start of another, is reported and left out.
    ASSERT_TRUE(Output().empty()) << Output()[0];
    ASSERT_TRUE(KeyTable_CheckInvariant());
    // A key written twice replaces the earlier binding without a word, so a
    // line lost that way shows only in the count.
    int count = 0;
    const KeyBindingEntry* entries = KeyTable_Entries(&count);
    int lines = KeyboardFileBindings();
    EXPECT_GT(lines, 150);
    EXPECT_EQ(count, lines) << "a key is bound twice";
    // No key leads to a command that does nothing.
    for (int i = 0; i < count; ++i) {
        if (entries[i].is_list())
            continue;
        int id = entries[i].target.command;
        EXPECT_TRUE(id >= K_CMD_FIRST && id <= K_CMD_LAST && K_cmd_is_implemented(id)) << id;
    }

    // Keys as the translator gets them from the keyboard.
    FakeView v;
    g_view = &v;
    struct Case {
        const char* what;
        bool ctrl, shift, alt;
        int to_ascii;       // characters the key-down gives
        unsigned msg;
        int key;
        int id;
    } cases[] = {
        {"Ctrl+S", true, false, false, 1, K_WM_CHAR, 19, 322},
        {"Ctrl+Shift+S is Ctrl+S", true, true, false, 1, K_WM_CHAR, 19, 322},
        {"Ctrl+Z", true, false, false, 1, K_WM_CHAR, 26, 450},
        {"Alt+Backspace", false, false, true, 0, K_WM_SYSKEYDOWN, 8, 450},
        {"Ctrl+Y", true, false, false, 1, K_WM_CHAR, 25, 451},
        {"Shift+End", false, true, false, 0, K_WM_KEYDOWN, 35, 417},
        {"Ctrl+Shift+Home", true, true, false, 0, K_WM_KEYDOWN, 36, 386},
        {"Enter", false, false, false, 0, K_WM_KEYDOWN, 13, 433},
        {"Tab", false, false, false, 0, K_WM_KEYDOWN, 9, 442},
        {"Shift+Insert", false, true, false, 0, K_WM_KEYDOWN, 45, 457},
        {"Ctrl+F3", true, false, false, 0, K_WM_KEYDOWN, 114, 479},
        {"Ctrl+Tab", true, false, false, 0, K_WM_KEYDOWN, 9, 367},
        {"Ctrl+Shift+Tab", true, true, false, 0, K_WM_KEYDOWN, 9, 368},
        {"Ctrl+]", true, false, false, 0, K_WM_KEYDOWN, 221, 508},
        {"Ctrl+Shift+3", true, true, false, 0, K_WM_KEYDOWN, '3', 529},
        {"Ctrl+3", true, false, false, 0, K_WM_KEYDOWN, '3', 538},
        {"Alt+F4", false, false, true, 0, K_WM_SYSKEYDOWN, 115, 328},
        {"Alt+Shift+F", false, true, true, 1, K_WM_SYSCHAR, 'F', 497},
        {"F10", false, false, false, 0, K_WM_SYSKEYDOWN, 121, 359},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Handle(c.id, A_ALL);
        g_runs.clear();
        g_keys.ctrl = c.ctrl;
        g_keys.shift = c.shift;
        g_keys.alt = c.alt;
        g_keys.to_ascii = c.to_ascii;
        EXPECT_EQ(TranslateKeyMessage(c.msg, uintptr_t(c.key), 1, 0), 1);
        EXPECT_EQ(g_runs, std::vector<int>{c.id});
    }
    // A sequence: Ctrl+K waits for the next key, which may come with or
    // without Ctrl.
    Handle(545, A_ALL);
    for (bool ctrl : {false, true}) {
        g_runs.clear();
        g_keys = FakeKeyboard();
        g_keys.ctrl = true;
        EXPECT_EQ(TranslateKeyMessage(K_WM_CHAR, 11, 1, 0), 1);
        EXPECT_TRUE(g_runs.empty() && KeyBinding_Pending());
        g_keys.ctrl = ctrl;
        EXPECT_EQ(TranslateKeyMessage(K_WM_CHAR, ctrl ? 12 : 'l', 1, 0), 1);
        EXPECT_EQ(g_runs, std::vector<int>{545});
    }
    // Letters, digits and Space still type.
    g_keys = FakeKeyboard();
    g_runs.clear();
    for (int c : {'a', 'Z', '1', ' ', '{'})
        EXPECT_EQ(TranslateKeyMessage(K_WM_CHAR, uintptr_t(c), 1, 0), 1);
    EXPECT_EQ(v.typed, "aZ1 {");
    EXPECT_TRUE(g_runs.empty());
}

} // namespace
