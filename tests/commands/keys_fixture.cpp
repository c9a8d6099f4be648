// The fixture of the key, execution and macro tests.
#include "tests/commands/keys_fixture.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "commands/cmdvalues.h"
#include "commands/interp_keys.h"
#include "opsys/msgout.h"

namespace keytest {

FakeView* g_view = nullptr;
FakeKeyboard g_keys;
std::vector<int> g_runs;
int g_answer = QW_IDNO;
int g_result = 7;

namespace {

FakeView* V(void* v) { return static_cast<FakeView*>(v); }

bool same_nocase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

int scan_names(const char* word, char* text, int size) {
    for (int id = K_CMD_FIRST; id <= K_CMD_LAST; ++id) {
        char name[K_CMD_NAME_BUF];
        if (!K_cmd_get_name(name, id))
            continue;
        const char* n = name[0] == '\t' ? name + 1 : name;
        if (same_nocase(n, word)) {
            std::snprintf(text, size_t(size), "%d", id);
            return 1;
        }
    }
    return 0;
}

void status(const char* text, int, unsigned style, unsigned) {
    auto& lines = KeysTest::StatusLines();
    if ((style & 0x10) && !lines.empty())
        lines.back() += text ? text : "";
    else
        lines.push_back(text ? text : "");
    itest::InterpTest::Status().push_back(text ? text : "");
}

int handler(int id, K_cmd_params*) {
    g_runs.push_back(id);
    if (g_keys.break_after >= 0 && int(g_runs.size()) >= g_keys.break_after)
        g_keys.break_after = 0;
    return g_result;
}

int key_down(int vk) {
    return (vk == 17 && g_keys.ctrl) || (vk == 16 && g_keys.shift) || (vk == 18 && g_keys.alt);
}
int to_ascii(int, unsigned) { return g_keys.to_ascii; }
int key_up_waiting() { return g_keys.key_up_waiting; }
int ctrl_break_down() { return g_keys.break_after == 0; }
void beep(unsigned t) { g_keys.beeps.push_back(t); }

K_cmd_exec_hooks view_hooks() {
    K_cmd_exec_hooks h{};
    h.is_minimized = [](void* v) { return int(V(v)->minimized); };
    h.is_special = [](void* v) { return int(V(v)->special); };
    h.is_read_only = [](void* v) { return int(V(v)->read_only); };
    h.is_editable = [](void* v) { return int(V(v)->editable); };
    h.is_named_file = [](void* v) { return int(V(v)->named); };
    h.ask = [](const char*, unsigned) { return g_answer; };
    h.file_read_only = [](void* v) { return int(V(v)->file_read_only); };
    h.buffer_name = [](void*, char* out, int size) {
        std::snprintf(out, size_t(size), "%s", "C:\\src\\a.c");
        return int(std::strlen(out));
    };
    h.set_edit_mode = [](void* v) {
        if (!V(v)->edit_mode_ok)
            return 0;
        V(v)->read_only = false;
        return 1;
    };
    h.note_command = [](void* v, int, int id, int) { V(v)->steps.push_back("note " + std::to_string(id)); };
    h.caret_visible = [](void* v) { V(v)->steps.push_back("caret"); };
    h.line_mark = [](void* v, int on) { V(v)->steps.push_back("mark " + std::to_string(on)); };
    h.window_of = [](void* v) { return reinterpret_cast<uintptr_t>(v); };
    h.window_is_view = [](uintptr_t w, void* v) { return int(w == reinterpret_cast<uintptr_t>(v) && V(v)->alive); };
    h.clear_pending_action = [](void* v) { V(v)->pending = 0; };
    h.remember_column = [](void* v) { V(v)->steps.push_back("column"); };
    h.match_bracket = [](void* v) { V(v)->steps.push_back("bracket"); };
    h.current_view = [] { return static_cast<void*>(g_view); };
    h.undo_lines = [](void* v) { return V(v)->undo_lines; };
    h.has_selection = [](void* v) { return int(V(v)->has_selection); };
    h.type_char = [](void* v, int c, K_cmd_params*) { V(v)->typed += char(c); };
    return h;
}

} // namespace

std::vector<std::string>& KeysTest::StatusLines() {
    static std::vector<std::string> lines;
    return lines;
}

std::string KeysTest::Said(unsigned id, const char* text) {
#ifdef _WIN32
    (void)id;
    return text;
#else
    (void)text;
    return "String: " + std::to_string(id) + " not found";
#endif
}

bool KeysTest::Shown(const std::string& text) {
    for (auto& s : StatusLines())
        if (s == text)
            return true;
    for (auto& b : Boxes())
        if (b == text)
            return true;
    return false;
}

void KeysTest::Handle(int id, uint32_t attr, int result) {
    g_result = result;
    K_cmd_set_handler(id, handler);
    K_cmd_lookup(id)->attr = attr;
}

void KeysTest::SetUp() {
    itest::InterpTest::SetUp();
    std::memcpy(saved_, K_cmd_table, sizeof saved_);
    StatusLines().clear();
    QwShellOutlets o = QwGetShellOutlets();
    o.status_set_text = status;
    QwSetShellOutlets(&o);
    paths_.macro_folder = QW_MACRO_DIR;
    paths_.compiler.clear();
    // The stand-in editor is older than the programs the build compiled.
    std::filesystem::last_write_time(editor_, std::filesystem::last_write_time(QW_MACRO_DIR "/Key_Translate.ces") -
                                                  std::chrono::hours(24));
    K_cmd_set_dictionary_lookup(scan_names);
    K_cmd_keys_install();
    static K_key_platform platform = {key_down, to_ascii, nullptr, nullptr, key_up_waiting, ctrl_break_down, beep, nullptr};
    K_key_set_platform(&platform);
    static K_cmd_exec_hooks hooks = view_hooks();
    K_cmd_set_exec_hooks(&hooks);
    g_keys = FakeKeyboard();
    g_runs.clear();
    g_answer = QW_IDNO;
    g_view = nullptr;
}

void KeysTest::TearDown() {
    KeyTable_Pop(1);
    KeyBinding_SetCaseFolding(false);
    K_cmd_reset_repeat_counts();
    K_cmd_set_current(-1);
    K_cmd_stop_flag(0);
    ReadCtrlBreak();
    if (GetMacroManager()->IsRecording())
        GetMacroManager()->StopRecording();
    GetMacroManager()->Clear();
    K_cmd_set_exec_hooks(nullptr);
    K_key_set_platform(nullptr);
    K_cmd_set_dictionary_lookup(nullptr);
    Interp_SetKeyHooks(nullptr);
    K_cmd_set_live_value(554, nullptr);
    std::memcpy(K_cmd_table, saved_, sizeof saved_);
    g_view = nullptr;
    itest::InterpTest::TearDown();
}

std::vector<uint8_t> Keys(const char* text) {
    uint8_t keys[64];
    int n = KeyBinding_TextToKeys(text, keys, int(sizeof keys));
    EXPECT_GT(n, 0) << text;
    return n > 0 ? std::vector<uint8_t>(keys, keys + n) : std::vector<uint8_t>();
}

int Bind(const std::vector<uint8_t>& keys, int command, int replace) {
    return KeyBinding_Set(keys.data(), int(keys.size()), &command, 1, replace);
}

} // namespace keytest
