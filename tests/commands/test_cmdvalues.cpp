// Tests of command values: profile persistence (read once, written on set),
// integer, decimal and string values, live values through the owners' hooks,
// the on/off toggle and the other handlers of the command layer, and the
// style-sheet setup values with their validation.
#include <algorithm>
#include <map>
#include <vector>

#include "cmd_fixture.h"
#include "commands/cmdstylesheet.h"

using cmdtest::CommandTest;

namespace {

// An in-memory profile that counts its reads.
struct MemProfile {
    std::map<std::string, std::string> values;  // "section/key" -> text
    int reads = 0, writes = 0;
};
MemProfile* g_mem = nullptr;

std::string key_of(const char* s, const char* k) { return std::string(s) + "/" + k; }
int mem_get_int(const char* s, const char* k, int def) {
    ++g_mem->reads;
    auto it = g_mem->values.find(key_of(s, k));
    return it == g_mem->values.end() ? def : std::atoi(it->second.c_str());
}
int mem_write_int(const char* s, const char* k, int v) {
    ++g_mem->writes;
    g_mem->values[key_of(s, k)] = std::to_string(v);
    return 1;
}
int mem_get_string(const char* s, const char* k, const char* def, char* out, int size) {
    ++g_mem->reads;
    auto it = g_mem->values.find(key_of(s, k));
    std::snprintf(out, size_t(size), "%s", it == g_mem->values.end() ? def : it->second.c_str());
    return it != g_mem->values.end();
}
int mem_write_string(const char* s, const char* k, const char* v) {
    ++g_mem->writes;
    g_mem->values[key_of(s, k)] = v;
    return 1;
}

class ValueTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        g_mem = &mem;
        static const K_cmd_profile ops = {mem_get_int, mem_write_int, mem_get_string, mem_write_string};
        K_cmd_set_profile(&ops);
    }
    void TearDown() override {
        K_cmd_set_stylesheet_ops(nullptr);
        for (int id : {522, 554, 449})
            K_cmd_set_live_value(id, nullptr);
        CommandTest::TearDown();
        g_mem = nullptr;
    }
    MemProfile mem;
};

// A view-option word owned by "the view layer".
uint32_t g_view_word = 0;
uint32_t view_word() { return g_view_word; }
void set_view_word(uint32_t mask, int on) { g_view_word = on ? g_view_word | mask : g_view_word & ~mask; }
int g_refreshes = 0;
void refresh_views() { ++g_refreshes; }

} // namespace

TEST_F(ValueTest, ProfileIsReadOnceAndWrittenOnSet) {
    // Asked before the profile is there, a value comes from the table and the
    // entry is read once the profile is installed.
    K_cmd_set_profile(nullptr);
    mem.values["K_xxx Data/K_BeepsToggle"] = "0";
    EXPECT_EQ(K_cmd_lookup(646)->value, 1);
    EXPECT_EQ(cmd_get_value(646), 1);
    static const K_cmd_profile ops = {mem_get_int, mem_write_int, mem_get_string, mem_write_string};
    K_cmd_set_profile(&ops);
    EXPECT_EQ(cmd_get_value(646), 0);
    mem.reads = 0;

    EXPECT_EQ(cmd_get_value(630), 1);  // K_OneInstance: no entry, the table's default
    EXPECT_EQ(mem.reads, 1);
    EXPECT_EQ(mem.values["K_xxx Data/K_OneInstance"], "1");  // written back
    EXPECT_EQ(cmd_get_value(630), 1);
    EXPECT_EQ(mem.reads, 1);
    EXPECT_EQ(cmd_set_value(630, 0), 0);
    EXPECT_EQ(mem.values["K_xxx Data/K_OneInstance"], "0");
    // A stored entry wins over the default; -1 defaults read as 0.
    mem.values["K_xxx Data/K_FindMatchCase"] = "1";
    EXPECT_EQ(cmd_get_value(492), 1);
    EXPECT_EQ(cmd_get_value(491), 0);  // K_RegExp_Dialect, initial -1
    // A value without the profile bit never touches it.
    int reads = mem.reads, writes = mem.writes;
    cmd_set_value(487, 1);
    EXPECT_EQ(cmd_get_value(487), 1);
    EXPECT_EQ(mem.reads, reads);
    EXPECT_EQ(mem.writes, writes);
    // A set before any get counts as the read: the profile is not read later.
    cmd_set_value(493, 1);
    reads = mem.reads;
    EXPECT_EQ(cmd_get_value(493), 1);
    EXPECT_EQ(mem.reads, reads);
}

TEST_F(ValueTest, DecimalAndStringValues) {
    // K_HistorySize keeps its text as an integer.
    EXPECT_STREQ(cmd_set_string(631, "200"), "200");
    EXPECT_EQ(cmd_get_value(631), 200);
    char buf[16];
    EXPECT_STREQ(cmd_get_string(631, buf, sizeof buf), "200");
    EXPECT_EQ(K_cmd_get_flags(631) & K_ATTR_STRING, 0u);
    cmd_set_string(631, nullptr);
    EXPECT_EQ(cmd_get_value(631), 0);
    cmd_set_value(631, -5);
    EXPECT_STREQ(cmd_get_string(631, buf, sizeof buf), "-5");

    // A string value is handed out as a bounded copy.
    cmd_set_string(573, "Default C/C++");
    char small[5] = "????";
    char* got = cmd_get_string(573, small, sizeof small);
    EXPECT_EQ(got, small);
    EXPECT_STREQ(small, "Defa");
    cmd_set_string(573, "Other");
    EXPECT_STREQ(small, "Defa");
    EXPECT_EQ(cmd_get_string(573, small, 0), nullptr);
    EXPECT_EQ(cmd_get_string(573, nullptr, 10), nullptr);
    EXPECT_EQ(cmd_get_value(573), 0);  // the decimal value of a string
    cmd_set_string(573, "12 sheets");
    EXPECT_EQ(cmd_get_value(573), 12);
    cmd_set_value(573, 3);  // an integer replaces (and frees) the string
    EXPECT_EQ(K_cmd_get_flags(573) & K_ATTR_STRING, 0u);
    EXPECT_EQ(cmd_get_string(573, buf, sizeof buf), nullptr);
    EXPECT_EQ(buf[0], '\0');
    cmd_set_string(573, "x");
    cmd_set_string(573, nullptr);
    EXPECT_EQ(K_cmd_lookup(573)->value, -1);

    // A profile string is read on the first string get and written on set.
    mem.values["K_xxx Data/K_FontSelect"] = "Courier New,10";
    char font[64];
    EXPECT_STREQ(cmd_get_string(657, font, sizeof font), "Courier New,10");
    cmd_set_string(632, "keys.JS");
    EXPECT_EQ(mem.values["K_xxx Data/K_KeyboardFile"], "keys.JS");

    K_cmd_free_strings();
    EXPECT_EQ(K_cmd_lookup(657)->value, -1);
    EXPECT_EQ(K_cmd_get_flags(657) & K_ATTR_STRING, 0u);
}

TEST_F(ValueTest, IdentifiersWithoutRecord) {
    char buf[8] = "junk";
    for (int id : {0, 300, 694, -7}) {
        EXPECT_EQ(cmd_get_value(id), -1);
        EXPECT_EQ(cmd_set_value(id, 1), -1);
        EXPECT_EQ(cmd_get_string(id, buf, sizeof buf), nullptr);
        EXPECT_EQ(buf[0], '\0');
        EXPECT_EQ(cmd_set_string(id, "x"), nullptr);
        EXPECT_EQ(K_cmd_set_live_value(id, nullptr), -1);
    }
    EXPECT_TRUE(mem.values.empty());
}

TEST_F(ValueTest, SetBoolModes) {
    struct { int mode, before, result, after; } cases[] = {
        {2, 0, 1, 1}, {2, 1, 0, 0}, {2, -1, 1, 1}, {-1, 1, 1, 1},
        {5, 0, 0, 1}, {0, 1, 1, 0}, {1, -1, -1, 1},
    };
    for (const auto& c : cases) {
        cmd_set_value(487, c.before);
        EXPECT_EQ(K_cmd_set_bool(c.mode, 487), c.result) << c.mode << " " << c.before;
        EXPECT_EQ(cmd_get_value(487), c.after);
    }
}

TEST_F(ValueTest, LiveOptionWordsAndTheToggle) {
    // Without the owner the value lives in the table.
    EXPECT_EQ(cmd_set_value(658, 0), 0);
    EXPECT_EQ(K_cmd_lookup(658)->value, 0);

    g_view_word = 0x2;  // K_CursorHugEOL on, syntax colouring off
    K_cmd_option_hooks hooks = {view_word, set_view_word};
    K_cmd_set_option_word(K_OPTION_VIEW, &hooks);
    K_cmd_frame_hooks frame{};
    frame.refresh_all_views = refresh_views;
    K_cmd_set_frame_hooks(&frame);
    g_refreshes = 0;

    // The first get reads the profile and applies it to the live word.
    mem.values["K_xxx Data/K_CursorHugEOL"] = "0";
    EXPECT_EQ(cmd_get_value(633), 0);
    EXPECT_EQ(g_view_word & 0x2, 0u);

    struct { const char* param; int value; const char* status; } steps[] = {
        {"ON", 1, "Toggles syntax highlighting on and off: ON"},
        {"on", 1, "Toggles syntax highlighting on and off: ON"},
        {nullptr, 0, "Toggles syntax highlighting on and off: OFF"},
        {"maybe", 1, "Toggles syntax highlighting on and off: ON"},
        {"Off", 0, "Toggles syntax highlighting on and off: OFF"},
    };
    for (const auto& s : steps) {
        K_cmd_params p;
        K_cmd_params_init(&p, 1, 658, s.param, 0, 0);
        messages.status.clear();
        EXPECT_EQ(K_cmd_toggle_setting(658, &p), s.value);
        EXPECT_EQ((g_view_word & 0x40) != 0, s.value == 1);
        EXPECT_EQ(cmd_get_value(658), s.value);
        EXPECT_EQ(K_cmd_set_bool(-1, 658), s.value);
#ifdef _WIN32
        // The status texts come from the program's string table.
        ASSERT_EQ(messages.status.size(), 1u);
        EXPECT_EQ(messages.status[0], s.status);
#else
        (void)s.status;
#endif
    }
    EXPECT_EQ(g_refreshes, 5);
    EXPECT_EQ(mem.values["K_xxx Data/K_SyntaxHighlighting"], "0");
    // The toggle run as kind 4 keeps quiet.
    K_cmd_params quiet;
    K_cmd_params_init(&quiet, 4, 646, nullptr, 0, 0);
    messages.status.clear();
    EXPECT_EQ(K_cmd_toggle_setting(646, &quiet), (g_view_word & 0x800) ? 1 : 0);
    EXPECT_TRUE(messages.status.empty());
}

namespace {
int g_bookmark = 0;
int bookmark_get(int) { return g_bookmark; }
} // namespace

TEST_F(ValueTest, ReadOnlyLiveValues) {
    EXPECT_EQ(cmd_get_value(522), -1);  // no owner: the table
    K_cmd_live_hooks h = {bookmark_get, nullptr};
    ASSERT_EQ(K_cmd_set_live_value(522, &h), 0);
    g_bookmark = 1;
    EXPECT_EQ(cmd_get_value(522), 1);
    EXPECT_EQ(cmd_set_value(522, 0), 1);  // a value that can only be read stays
    g_bookmark = 0;
    EXPECT_EQ(cmd_get_value(522), 0);
}

namespace {
struct FrameLog {
    std::vector<std::string> calls;
    int prompt_answer = 0;
    bool prompt_given = false;
    std::string range;
    int skeleton_page = -1;
};
FrameLog* g_frame = nullptr;
void show_output(int how) { g_frame->calls.push_back("output " + std::to_string(how)); }
void activate_output(int tab) { g_frame->calls.push_back("output tab " + std::to_string(tab)); }
int skeleton_page() { return g_frame->skeleton_page; }
void show_skeleton(int show, int page) {
    g_frame->calls.push_back("skeleton " + std::to_string(show) + " " + std::to_string(page));
}
int prompt(const char*, const char*, const char* range, int* value) {
    g_frame->range = range;
    *value = g_frame->prompt_answer;
    return g_frame->prompt_given;
}
void push_repeat(int n) { g_frame->calls.push_back("repeat " + std::to_string(n)); }
} // namespace

TEST_F(ValueTest, FrameHandlersFindRangeAndRepeatCount) {
    // Without the shell's hooks nothing happens and nothing breaks.
    K_cmd_params none;
    K_cmd_params_init(&none, 1, 348, nullptr, 0, 0);
    EXPECT_EQ(K_cmd_view_output(348, &none), 1);
    EXPECT_EQ(K_cmd_set_repeat_count(557, &none), 0);

    FrameLog log;
    g_frame = &log;
    K_cmd_frame_hooks f{};
    f.show_output = show_output;
    f.activate_output = activate_output;
    f.skeleton_page = skeleton_page;
    f.show_skeleton = show_skeleton;
    f.prompt_value = prompt;
    f.push_repeat_count = push_repeat;
    K_cmd_set_frame_hooks(&f);

    struct { int id; const char* param; int page; const char* call; } cases[] = {
        {348, "on", -1, "output 1"},     {348, "OFF", -1, "output 0"},
        {348, nullptr, -1, "output -1"}, {361, "3", -1, "output tab 3"},
        {361, nullptr, -1, "output tab -1"},
        {547, nullptr, -1, "skeleton 1 0"},  // hidden: show page 0
        {547, nullptr, 0, "skeleton 0 0"},   // page 0 already active: hide
        {569, nullptr, 0, "skeleton 1 1"},   // charts are page 1
        {569, "2", 2, "skeleton 0 2"},
        {547, "off", 0, "skeleton 0 -1"},
    };
    for (const auto& c : cases) {
        log.calls.clear();
        log.skeleton_page = c.page;
        K_cmd_params p;
        K_cmd_params_init(&p, 1, c.id, c.param, 0, 0);
        K_cmd_fn fn = K_cmd_lookup(c.id)->handler.fn;
        EXPECT_EQ(fn(c.id, &p), 1);
        ASSERT_EQ(log.calls.size(), 1u) << c.id;
        EXPECT_EQ(log.calls[0], c.call) << c.id << " " << (c.param ? c.param : "");
    }
    log.skeleton_page = 0;
    EXPECT_EQ(cmd_get_value(547), 1);
    EXPECT_EQ(cmd_get_value(569), 0);
    log.skeleton_page = -1;
    EXPECT_EQ(cmd_get_value(569), 0);

    // The repeat count: the number given goes to the key-sequence player.
    log.calls.clear();
    log.prompt_answer = 12;
    log.prompt_given = true;
    EXPECT_EQ(K_cmd_set_repeat_count(557, &none), 1);
    EXPECT_EQ(log.range, "1,65535,1");
    EXPECT_EQ(log.calls, std::vector<std::string>{"repeat 12"});
    log.prompt_given = false;
    log.calls.clear();
    EXPECT_EQ(K_cmd_set_repeat_count(557, &none), 0);
    EXPECT_TRUE(log.calls.empty());
    g_frame = nullptr;

    // Find range and direction.
    struct { const char* param; int result, value; } ranges[] = {
        {"selection", 1, 2}, {"EntireFile", 1, 0}, {"StopAtEndOfFile", 1, 1},
        {"bogus", 1, 1}, {nullptr, 0, 1},
    };
    for (const auto& r : ranges) {
        K_cmd_params p;
        K_cmd_params_init(&p, 6, 489, r.param, 0, 0);
        EXPECT_EQ(K_cmd_find_range(489, &p), r.result);
        EXPECT_EQ(cmd_get_value(489), r.value) << (r.param ? r.param : "null");
    }
    cmd_set_value(487, 0);
    K_cmd_find_direction(487, &none);
    EXPECT_EQ(cmd_get_value(487), 1);
    K_cmd_find_direction(487, &none);
    EXPECT_EQ(cmd_get_value(487), 0);
    K_cmd_find_direction(488, &none);
    K_cmd_find_direction(488, &none);
    EXPECT_EQ(cmd_get_value(487), 1);
}

namespace {
// Two style sheets of "the editor layer".
struct Sheet {
    std::string name;
    int flags[16] = {};
    std::map<int, int> fields;
    std::map<int, std::string> texts;
    int language_check = 0;
    int repaired = 0;
    bool assistant = true;
};
std::map<std::string, Sheet>* g_sheets = nullptr;
Sheet* g_current = nullptr;

void* ss_find(const char* name) {
    auto it = g_sheets->find(name);
    return it == g_sheets->end() ? nullptr : &it->second;
}
void* ss_current() { return g_current; }
int ss_name(void* ss, char* out, int size) {
    std::snprintf(out, size_t(size), "%s", static_cast<Sheet*>(ss)->name.c_str());
    return 1;
}
int ss_get_flag(void* ss, int i) { return static_cast<Sheet*>(ss)->flags[i]; }
void ss_set_flag(void* ss, int i, int v) { static_cast<Sheet*>(ss)->flags[i] = v; }
int ss_get_field(void* ss, K_ss_field f) { return static_cast<Sheet*>(ss)->fields[f]; }
void ss_set_field(void* ss, K_ss_field f, int v) { static_cast<Sheet*>(ss)->fields[f] = v; }
int ss_get_text(void* ss, K_ss_text t, char* out, int size) {
    auto& texts = static_cast<Sheet*>(ss)->texts;
    if (!texts.count(t)) return 0;
    std::snprintf(out, size_t(size), "%s", texts[t].c_str());
    return 1;
}
void ss_set_text(void* ss, K_ss_text t, const char* text) { static_cast<Sheet*>(ss)->texts[t] = text; }
int ss_last_change(void*) { return 1; }
int ss_assistant(void* ss) { return static_cast<Sheet*>(ss)->assistant; }
int ss_check(void* ss, int repair) {
    Sheet* s = static_cast<Sheet*>(ss);
    if (repair) ++s->repaired;
    return s->language_check;
}
} // namespace

TEST_F(ValueTest, StyleSheetSetupValues) {
    // Without a style sheet: -2 for the language fields, 0 for the others.
    EXPECT_EQ(cmd_get_value(574), -2);
    EXPECT_EQ(cmd_get_value(575), -2);
    EXPECT_EQ(cmd_get_value(578), 0);
    EXPECT_EQ(cmd_set_value(578, 1), 0);
    char buf[64];
    EXPECT_EQ(cmd_get_string(606, buf, sizeof buf), nullptr);

    std::map<std::string, Sheet> sheets;
    sheets["Default"].name = "Default";
    sheets["C/C++"].name = "C/C++";
    g_sheets = &sheets;
    g_current = &sheets["Default"];
    K_stylesheet_ops ops{};
    ops.find = ss_find;
    ops.current = ss_current;
    ops.current_editable = ss_current;
    ops.get_name = ss_name;
    ops.get_flag = ss_get_flag;
    ops.set_flag = ss_set_flag;
    ops.get_field = ss_get_field;
    ops.set_field = ss_set_field;
    ops.get_text = ss_get_text;
    ops.set_text = ss_set_text;
    ops.last_change = ss_last_change;
    ops.has_param_assistant = ss_assistant;
    ops.check_language = ss_check;
    K_cmd_set_stylesheet_ops(&ops);

    // Value 573 chooses the sheet; otherwise the current document's.
    cmd_set_string(573, "  C/C++ ");
    Sheet& c = sheets["C/C++"];
    struct { int id; int set; int get; } ints[] = {
        {578, 5, 1}, {604, 1, 1}, {582, 32, 32}, {587, 2, 2},
        {577, 1, 1}, {579, 40, 40}, {583, 3, 3}, {596, 7, 1}, {603, 0, 1},
    };
    for (const auto& i : ints) EXPECT_EQ(cmd_set_value(i.id, i.set), i.get) << i.id;
    EXPECT_EQ(c.flags[1], 1);   // 578: flag 1 as 1 or 0
    EXPECT_EQ(c.flags[14], 1);  // 604
    EXPECT_EQ(c.flags[4], 32);  // 582 as given
    EXPECT_EQ(c.flags[0], 0);   // 577 is the inverse of flag 0
    EXPECT_EQ(c.fields[K_SS_INDENT_SCAN], 3);  // the integer set stores 583 too
    EXPECT_EQ(sheets["Default"].flags[1], 0);
    EXPECT_STREQ(cmd_get_string(579, buf, sizeof buf), "40");
    cmd_set_string(588, "8");
    EXPECT_EQ(cmd_get_value(588), 8);
    EXPECT_EQ(cmd_get_string(581, buf, sizeof buf), nullptr);  // no text form
    cmd_set_string(606, "_$");
    EXPECT_STREQ(cmd_get_string(606, buf, sizeof buf), "_$");
    EXPECT_EQ(c.texts[K_SS_WORD_DELIMITERS], "_$");
    // 602 reads 0, and is cleared, when the language has no assistant.
    cmd_set_value(602, 1);
    EXPECT_EQ(cmd_get_value(602), 1);
    c.assistant = false;
    EXPECT_EQ(cmd_get_value(602), 0);
    EXPECT_EQ(c.fields[K_SS_PARAM_ASSIST_ON_EDIT], 0);

    // Validation by name (trimmed), by value 573, and of a missing sheet.
    EXPECT_EQ(StyleSheetSetup_Validate(" C/C++", 0, 1), 0);
    c.language_check = -3;
    EXPECT_EQ(StyleSheetSetup_Validate(nullptr, 1, 0), -3);
    EXPECT_EQ(c.repaired, 1);
    messages.boxes.clear();
    EXPECT_EQ(StyleSheetSetup_Validate("  Missing ", 0, 1), -1);
#ifdef _WIN32
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0], "Style Sheet Error|Style Sheet 'Missing' doesn't exist!!");
#endif
    messages.boxes.clear();
    EXPECT_EQ(StyleSheetSetup_Validate("Missing", 0, 0), -1);
    EXPECT_TRUE(messages.boxes.empty());

    // Begin takes the current editable view's sheet; Clear forgets it.
    c.language_check = 0;
    EXPECT_EQ(StyleSheetSetup_Begin(0), 0);
    EXPECT_STREQ(cmd_get_string(573, buf, sizeof buf), "Default");
    g_current = nullptr;
    cmd_set_string(573, "Gone");
    EXPECT_EQ(StyleSheetSetup_Begin(0), 0);
    EXPECT_STREQ(cmd_get_string(573, buf, sizeof buf), "Default");
    StyleSheetSetup_Clear();
    EXPECT_EQ(cmd_get_string(573, buf, sizeof buf), nullptr);
    EXPECT_EQ(StyleSheetSetup_Delete(), 0);  // no sheet and no remove op
    g_sheets = nullptr;
}

namespace {
// Style sheets with extension claims, and the setup dialog's list.
struct ClaimSheet {
    std::string name, language_text;
    int language = 0;
    std::vector<std::string> extensions;
    int associated = 1;
};
std::vector<ClaimSheet>* g_claims = nullptr;
std::vector<std::string> g_rows;      // the list's rows, by name
std::vector<bool> g_checked;
std::vector<int> g_answers;           // the boxes' answers, in turn

ClaimSheet* claim(void* ss) { return static_cast<ClaimSheet*>(ss); }
void* cs_find(const char* name) {
    for (ClaimSheet& s : *g_claims)
        if (s.name == name) return &s;
    return nullptr;
}
int cs_name(void* ss, char* out, int size) {
    std::snprintf(out, size_t(size), "%s", claim(ss)->name.c_str());
    return 1;
}
void cs_set_name(void* ss, const char* name) { claim(ss)->name = name; }
void cs_set_text(void* ss, K_ss_text t, const char* text) {
    if (t == K_SS_LANGUAGE_TEXT) claim(ss)->language_text = text;
}
void cs_set_field(void* ss, K_ss_field f, int v) {
    if (f == K_SS_LANGUAGE_INDEX) claim(ss)->language = v;
}
int cs_associated(void* ss) { return claim(ss)->associated; }
void cs_set_associated(void* ss, int v) { claim(ss)->associated = v; }
void* cs_conflict(void* ss, char* other, int other_size, char* ext, int ext_size) {
    for (const std::string& e : claim(ss)->extensions)
        for (ClaimSheet& s : *g_claims)
            if (&s != ss && s.associated && std::count(s.extensions.begin(), s.extensions.end(), e)) {
                std::snprintf(other, size_t(other_size), "%s", s.name.c_str());
                std::snprintf(ext, size_t(ext_size), "%s", e.c_str());
                return &s;
            }
    return nullptr;
}
void* cs_unique(void* ss, const char* name) {
    ClaimSheet copy = *claim(ss);
    copy.name = std::string(name) + " (1)";
    copy.associated = 0;
    g_claims->push_back(copy);
    return &g_claims->back();
}
int cs_row(void*, int count, const char* name) {
    for (int i = 0; i < count; ++i)
        if (g_rows[size_t(i)] == name) return i;
    return -1;
}
void cs_uncheck(void*, int row) { g_checked[size_t(row)] = false; }
int answer(const char* text, const char* caption, unsigned) {
    cmdtest::g_messages->boxes.push_back(std::string(caption ? caption : "") + "|" + (text ? text : ""));
    int a = g_answers.empty() ? 0 : g_answers.front();
    if (!g_answers.empty()) g_answers.erase(g_answers.begin());
    return a;
}
#ifdef _WIN32
int answer_win(HWND, const char* text, const char* caption, UINT style) { return answer(text, caption, style); }
#endif
} // namespace

TEST_F(ValueTest, StyleSheetSetupApply) {
#ifdef _WIN32
    QwSetMessageBoxBackend(answer_win);
#else
    QwSetHostMessageBox(answer);
#endif
    std::vector<ClaimSheet> sheets;
    sheets.reserve(8);  // the copies must not move the others
    g_claims = &sheets;
    K_stylesheet_ops ops{};
    ops.find = cs_find;
    ops.get_name = cs_name;
    ops.set_name = cs_set_name;
    ops.set_text = cs_set_text;
    ops.set_field = cs_set_field;
    ops.get_associated = cs_associated;
    ops.set_associated = cs_set_associated;
    ops.extension_conflict = cs_conflict;
    ops.make_unique = cs_unique;
    ops.list_row = cs_row;
    ops.list_uncheck = cs_uncheck;
    K_cmd_set_stylesheet_ops(&ops);
    int list = 0;
    // The edited sheet shares "h" with C/C++ and "inc" with Assembler.
    auto reset = [&] {
        sheets = {{"C/C++", "", 1, {"c", "h"}, 1},
                  {"Assembler", "", 2, {"asm", "inc"}, 1},
                  {"Mine", "", 0, {"h", "inc", "x"}, 1}};
        g_rows = {"Assembler", "C/C++", "Mine"};
        g_checked = {true, true, true};
        cmd_set_string(573, "Mine");
        messages.boxes.clear();
    };

    // Nothing to apply: an empty name, or no sheet.
    reset();
    EXPECT_EQ(StyleSheetSetup_Apply(0, "  ", "C/C++", 1, &list, 3), 0);
    cmd_set_string(573, "Gone");
    EXPECT_EQ(StyleSheetSetup_Apply(0, "New", "C/C++", 1, &list, 3), 0);
    EXPECT_EQ(sheets[2].name, "Mine");

    // Rename 1 adds a copy and leaves the sheet as it was.
    reset();
    EXPECT_EQ(StyleSheetSetup_Apply(1, "Mine", "", 0, &list, 3), 1);
    ASSERT_EQ(sheets.size(), 4u);
    EXPECT_EQ(sheets[3].name, "Mine (1)");
    EXPECT_EQ(sheets[2].name, "Mine");
    EXPECT_TRUE(messages.boxes.empty());

#ifdef _WIN32
    // Yes for both: the others leave file-name matching and their rows are unchecked.
    reset();
    char buf[64];
    g_answers = {QW_IDYES, QW_IDYES};
    EXPECT_EQ(StyleSheetSetup_Apply(0, " Headers ", "C/C++\tMFC", 1, &list, 3), 1);
    EXPECT_EQ(sheets[2].name, "Headers");
    EXPECT_EQ(sheets[2].language_text, "C/C++\tMFC");
    EXPECT_EQ(sheets[2].language, 1);
    EXPECT_STREQ(cmd_get_string(573, buf, sizeof buf), "Headers");
    ASSERT_EQ(messages.boxes.size(), 2u);
    EXPECT_EQ(messages.boxes[0], "Style Sheet Conflict|The extension 'h' is also claimed by Style Sheet "
                                 "'C/C++'.\r\rShould files with this extension use this Style Sheet instead?");
    EXPECT_NE(messages.boxes[1].find("'inc'"), std::string::npos);
    EXPECT_EQ(sheets[0].associated + sheets[1].associated, 0);
    EXPECT_EQ(sheets[2].associated, 1);
    EXPECT_EQ(g_checked, (std::vector<bool>{false, false, true}));

    // No: this sheet leaves matching, its row is unchecked and the asking ends.
    reset();
    g_answers = {QW_IDNO};
    EXPECT_EQ(StyleSheetSetup_Apply(0, "Mine", "", 0, &list, 3), 1);
    EXPECT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(sheets[2].associated, 0);
    EXPECT_EQ(sheets[0].associated + sheets[1].associated, 2);
    EXPECT_EQ(g_checked, (std::vector<bool>{true, true, false}));
#endif

    // A question without an answer (the box could not be shown, or was
    // dismissed) ends the asking with every claim kept.
    reset();
    g_answers = {0};
    EXPECT_EQ(StyleSheetSetup_Apply(0, "Mine", "", 0, &list, 3), 1);
    EXPECT_LE(messages.boxes.size(), 1u);
    EXPECT_EQ(sheets[0].associated + sheets[1].associated + sheets[2].associated, 3);
    EXPECT_EQ(g_checked, (std::vector<bool>{true, true, true}));
    // A sheet out of matching claims nothing: no question.
    reset();
    sheets[2].associated = 0;
    EXPECT_EQ(StyleSheetSetup_Apply(0, "Mine", "", 0, &list, 3), 1);
    EXPECT_TRUE(messages.boxes.empty());
    g_claims = nullptr;
}
