// Key translation, the sequence runner and the repeat count.
#include "commands/keytrans.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "commands/cmdexec.h"
#include "commands/cmdvalues.h"
#include "commands/interp.h"
#include "commands/kbmacro.h"
#include "commands/keybind.h"
#include "opsys/msgout.h"

namespace {

K_key_platform g_platform{};
bool g_platform_set = false;

int g_current = -1, g_previous = -1;
bool g_stop = false;
bool g_break_pending = false;
bool g_ctrl_released = false;
int g_ctrl_tab = 0;
int g_input_flags = 0;
bool g_hit_macro_play = false;

struct RepeatEntry {
    int count;
    bool armed;
};
std::vector<RepeatEntry> g_repeat{{0, false}};

enum : int {
    K_CharVerbatim = 448,
    K_InsertToggle = 449,
    K_MacroPlay = 555,
    K_TemplateToggle = 589,
    K_CaseConvertOnSymbol = 599,
    K_HelpOnKeys = 307,
};

int platform_key_down(int vk) {
    const K_key_platform& p = K_key_get_platform();
    return p.key_down ? p.key_down(vk) : 0;
}

void beep(unsigned type) {
    const K_key_platform& p = K_key_get_platform();
    if (p.beep)
        p.beep(type);
}

void* target_view(void* view) {
    if (view)
        return view;
    const K_cmd_exec_hooks& h = K_cmd_get_exec_hooks();
    return h.current_view ? h.current_view() : nullptr;
}

bool value_on(int id) { return cmd_get_value(id) > 0; }

// Moves past the identifier at the cursor and a parameter text after it.
const int32_t* past_step(const int32_t* p) {
    if (*p == -1)
        return p;
    ++p;
    if (*p == -3) {
        while (*p != -4 && *p != -1)
            ++p;
        if (*p == -4)
            ++p;
    }
    return p;
}

} // namespace

#ifndef _WIN32
const K_key_platform& K_key_default_platform() {
    static const K_key_platform none{};
    return none;
}
// Without a platform the wheel scrolls the default three lines.
int InitMouseWheel() { return 3; }
void ResetMouseWheel() {}
#else
const K_key_platform& K_key_default_platform();
#endif

void K_key_set_platform(const K_key_platform* platform) {
    g_platform_set = platform != nullptr;
    g_platform = platform ? *platform : K_key_platform{};
}

const K_key_platform& K_key_get_platform() { return g_platform_set ? g_platform : K_key_default_platform(); }

// ---- Flags -------------------------------------------------------------------

int IsKeyDownCtrlBreak() {
    const K_key_platform& p = K_key_get_platform();
    if (p.ctrl_break_down && p.ctrl_break_down())
        g_break_pending = true;
    return g_break_pending ? 1 : 0;
}

int ReadCtrlBreak() {
    int r = IsKeyDownCtrlBreak();
    g_break_pending = false;
    return r;
}

int K_cmd_stop_flag(int value) {
    if (value != -1)
        g_stop = value != 0;
    return g_stop ? 1 : 0;
}

int K_cmd_get_previous() { return g_previous; }
int K_cmd_get_current() { return g_current; }
void K_cmd_set_current(int id) {
    g_current = id;
    g_previous = -1;
}
int GetKeyTranslateState() { return g_ctrl_tab; }
int K_cmd_input_flags() { return g_input_flags; }

void K_cmd_push_repeat_count(int count) { g_repeat.push_back({count, true}); }
int K_cmd_repeat_depth() { return int(g_repeat.size()) - 1; }
void K_cmd_reset_repeat_counts() { g_repeat.resize(1); }

bool K_cmd_sequence_hit_macro_play() { return g_hit_macro_play; }

// ---- Sequences ---------------------------------------------------------------

int K_cmd_run_step(K_cmd_sequence* seq, void* view, K_cmd_params* params) {
    const K_cmd_exec_hooks& h = K_cmd_get_exec_hooks();
    int id = *seq->cursor;
    view = target_view(view);
    if (params) {
        params->id = id;
        params->text = nullptr;
        params->number = -1;
        params->seq = seq->cursor + 1;
        params->seq_cursor = nullptr;
    }
    if (h.stopwatch_restart)
        h.stopwatch_restart();
    if (h.document_event && h.document_event(view, 2, params) == 1) {
        if (params)
            params->char_flag = 0;
        return 1;
    }
    if (view && params && params->kind == 0 && h.is_special && h.is_special(view) && h.child_input &&
        h.child_input(view, id))
        return 1;
    int r = Do_k_cmd(id, K_DO_NOTE, view, params);
    if (r != K_RESULT_REFUSED || !view || !is_char_cmd_id(id))
        return r;
    // A typed character.
    int state = K_cmd_view_state(view);
    if (state != K_STATE_EDITABLE) {
        bool macro_on_uneditable = params && params->kind == 8 && !(h.is_editable && h.is_editable(view));
        if (!macro_on_uneditable) {
            beep(0);
            return r;
        }
    }
    if (id == 27 && g_previous != K_CharVerbatim)
        return r;
    bool outside = g_input_flags == 0;
    bool templates = value_on(K_TemplateToggle);
    if (templates && outside && id == ' ' && g_previous != K_CharVerbatim && g_previous != g_current) {
        if (CExe_ExecuteByName("template", 1, id, 0, view, params) == 1)
            return 1;
    }
    if (h.type_char)
        h.type_char(view, id, params);
    if (templates && value_on(K_CaseConvertOnSymbol) && outside && id < 128 &&
        std::ispunct(static_cast<unsigned char>(id))) {
        CExe_ExecuteByName("template", 1, id, 0, view, params);
        return 1;
    }
    if (params && params->kind == 0) {
        if (std::strchr("([{)]}", id) && h.match_bracket)
            h.match_bracket(view);
        if (h.remember_column)
            h.remember_column(view);
    }
    return 1;
}

int K_cmd_run_sequence(K_cmd_sequence* seq, void* view, K_cmd_params* params) {
    CMacroMgr* macros = GetMacroManager();
    g_hit_macro_play = false;
    struct Restore {
        int saved;
        ~Restore() { g_input_flags = saved; }
    } restore{g_input_flags};
    if (params) {
        params->char_flag = 1;
        g_input_flags = params->kind > 0 ? 256 : 0;
    }
    seq->cursor = seq->start;
    while (*seq->cursor != -1) {
        int id = *seq->cursor;
        g_previous = g_current;
        g_current = id;
        if (params && params->kind == 3 && id == K_MacroPlay) {
            g_hit_macro_play = true;
            return 0;
        }
        if (macros->IsRecording()) {
            macros->Record(id);
            if (seq->cursor[1] == -3) {
                std::string text;
                for (const int32_t* p = seq->cursor + 2; *p != -4 && *p != -1; ++p)
                    text += char(*p);
                macros->RecordText(text.c_str());
            }
        }
        RepeatEntry& top = g_repeat.back();
        if (top.armed && top.count >= 2) {
            top.armed = false;
            int n = top.count;
            size_t depth = g_repeat.size();
            while (n-- > 0) {
                if (IsKeyDownCtrlBreak()) {
                    K_cmd_reset_repeat_counts();
                    break;
                }
                if (g_stop)
                    break;
                K_cmd_run_step(seq, view, params);
                if (params && !params->char_flag)
                    break;
            }
            if (g_repeat.size() == depth)
                g_repeat.pop_back();
        } else {
            if (top.armed)
                g_repeat.pop_back();
            K_cmd_run_step(seq, view, params);
        }
        if (IsKeyDownCtrlBreak() || g_stop || (params && !params->char_flag))
            return 0;
        seq->cursor = past_step(seq->cursor);
    }
    return 1;
}

int K_cmd_from_input(int state, int key, bool quiet, int repeat, int kind, void* view) {
    K_cmd_params params;
    K_cmd_params_init(&params, kind, 0, nullptr, 0, 0);
    view = target_view(view);
    int32_t one[2] = {0, -1};
    const int32_t* list = one;
    if (g_current == K_CharVerbatim) {
        if (key == 0 || key == 10) {
            beep(0x20);
            return 1;
        }
        one[0] = key;
    } else {
        const KeyBindingEntry* entry = nullptr;
        int r = KeyBinding_Match(state, key, &entry, quiet);
        if (r < -1) {
            if (r == KB_MATCH_UNBOUND) {
                if (state != 4)
                    Key_help_cmd(0);
                return 0;
            }
            return 1;
        }
        if (r == KB_MATCH_LIST && entry) {
            list = entry->target.list;
        } else {
            one[0] = r;
            if (r == K_InsertToggle)
                MsgOut(QW_MSG_STATUS, "");
        }
    }
    // The list belongs to the table, which a command may change: run a copy.
    std::vector<int32_t> copy;
    for (const int32_t* p = list; *p != -1; ++p)
        copy.push_back(*p);
    copy.push_back(-1);
    if (!GetMacroManager()->IsPlaying())
        g_stop = false;
    K_cmd_sequence seq{copy.data(), copy.data()};
    K_cmd_run_sequence(&seq, view, &params);
    for (int i = 1; i < repeat; ++i) {
        const K_key_platform& p = K_key_get_platform();
        if (p.key_up_waiting && p.key_up_waiting())
            break;
        K_cmd_params_init(&params, kind, 0, nullptr, 0, 0);
        seq.cursor = seq.start;
        K_cmd_run_sequence(&seq, view, &params);
    }
    return 1;
}

// ---- The translator ----------------------------------------------------------

namespace {

bool printing_key(int vk, bool alt) {
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9') || (vk >= 96 && vk <= 105))
        return true;
    if (((vk >= 186 && vk <= 192) || (vk >= 219 && vk <= 223)) && !alt)
        return true;
    return (vk >= 128 && vk <= 143) || (vk >= 146 && vk <= 185) || (vk >= 193 && vk <= 218) ||
           (vk >= 224 && vk <= 255);
}

} // namespace

int TranslateKeyMessage(unsigned message, uintptr_t key_word, int repeat, unsigned scan) {
    int key = int(key_word & 0xFF);
    if (key_word > 0xFF)
        key = int(key_word);
    switch (message) {
    case K_WM_KEYUP:
    case K_WM_SYSKEYUP:
        if (key == 17)
            g_ctrl_released = true;
        return 0;
    case K_WM_DEADCHAR:
    case K_WM_SYSDEADCHAR:
        return 0;
    default:
        break;
    }
    bool keydown = message == K_WM_KEYDOWN || message == K_WM_SYSKEYDOWN;
    bool is_char = message == K_WM_CHAR || message == K_WM_SYSCHAR;
    if (!keydown && !is_char)
        return 0;
    if (keydown && (key == 16 || key == 17 || key == 18))
        return 0;
    if (KeyTable_Top() < 0)
        return 0;
    int state = 0;
    if (platform_key_down(18))
        state |= 4;
    if (platform_key_down(17))
        state |= keydown ? 1 : 16;
    if (platform_key_down(16))
        state |= 2;
    g_break_pending = false;
    if (keydown && state == 1 && key == 9) {
        g_ctrl_tab = g_ctrl_released ? 0 : 1;
        g_ctrl_released = false;
    }
    if (keydown && state == 1 && key == 3) {
        const K_cmd_exec_hooks& h = K_cmd_get_exec_hooks();
        void* v = target_view(nullptr);
        if (v && h.is_special && h.is_special(v) && h.child_break)
            h.child_break(v);
        g_break_pending = true;
        return 1;
    }
    if (is_char) {
        if (!(state & (16 | 4)) && key >= 32) {
            int c = key;
            const K_key_platform& p = K_key_get_platform();
            if (p.font_charset && p.font_charset() > 254 && p.to_oem)
                c = p.to_oem(c) & 0xFF;
            return K_cmd_from_input(-1, c, false, repeat, 0, nullptr);
        }
        if (key < 32) {
            int st = state & ~(4 | 2);
            if (st == 0 && key == 9)
                return K_cmd_from_input(-1, 9, true, repeat, 0, nullptr);
            return K_cmd_from_input(st, key, false, repeat, 0, nullptr);
        }
        bool quiet = (state & 4) != 0;
        if (state == 4 && key < 128 && std::isalpha(key))
            key = std::toupper(key);
        return K_cmd_from_input(state, key, quiet, repeat, 0, nullptr);
    }
    // Key-down.
    bool letter_digit = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
    if (letter_digit && (state == 0 || state == 2))
        return 0;
    if (key >= 96 && key <= 105 && state == 4)
        return 0;
    if (printing_key(key, (state & 4) != 0)) {
        const K_key_platform& p = K_key_get_platform();
        int n = p.to_ascii ? p.to_ascii(key, scan) : 0;
        if (n < 0)
            return 1;
        if (n > 0)
            return 0;
        K_cmd_from_input(state, key, false, repeat, 0, nullptr);
        return 1;
    }
    if ((key >= 106 && key <= 111) || key == 9 || key == 32 || ((state & 4) && (key == 189 || key == 109)))
        return K_cmd_from_input(state, key, true, repeat, 0, nullptr);
    if (key == 20 || key == 144 || key == 145 || (key >= 91 && key <= 93)) {
        K_cmd_from_input(state, key, true, repeat, 0, nullptr);
        return 0;
    }
    K_cmd_from_input(state, key, false, repeat, 0, nullptr);
    return 1;
}

int Key_help_cmd(int id) {
    if (id == K_HelpOnKeys) {
        CExe_ExecuteByName("Key_help", 1, K_HelpOnKeys, 0, nullptr, nullptr);
        return 1;
    }
    const K_cmd_exec_hooks& h = K_cmd_get_exec_hooks();
    if (h.key_help_waiting && h.key_help_waiting() && id == -3) {
        const K_key_platform& p = K_key_get_platform();
        if (p.post_main)
            p.post_main(0x464, 9, 443);
    }
    return 1;
}
