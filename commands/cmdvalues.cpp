// Command values: table, profile and live values; the on/off toggle and the
// other handlers of the command layer.
#include "commands/cmdvalues.h"
#include "commands/keytrans.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "VmEngine/vm.h"
#include "commands/cmdstylesheet.h"
#include "opsys/command_value_source.h"
#include "opsys/msgout.h"
#include "opsys/strlib.h"

const char* const K_CMD_PROFILE_SECTION = "K_xxx Data";

namespace {

// Table values and strings are guarded by this lock. It is never held while
// a hook of another module runs, because those may take the buffer lock that
// a drawing thread holds while it asks for a value.
std::mutex g_values;

K_cmd_profile g_profile{};
bool g_has_profile = false;
K_cmd_option_hooks g_words[K_OPTION_WORD_COUNT]{};
K_cmd_live_hooks g_live[K_CMD_COUNT]{};
K_cmd_string_hook g_string_hooks[K_CMD_COUNT]{};
K_cmd_frame_hooks g_frame{};

// Settings whose state is a bit of an option word.
struct OptionBit {
    int id;
    K_cmd_option_word word;
    uint32_t mask;
};
constexpr OptionBit kOptionBits[] = {
    {633, K_OPTION_VIEW, 0x2},     {634, K_OPTION_VIEW, 0x10},
    {635, K_OPTION_VIEW, 0x4},     {636, K_OPTION_VIEW, 0x8},
    {637, K_OPTION_VIEW, 0x10000}, {638, K_OPTION_VIEW, 0x1000},
    {655, K_OPTION_VIEW, 0x80},    {646, K_OPTION_VIEW, 0x800},
    {358, K_OPTION_VIEW, 0x400},   {560, K_OPTION_VIEW, 0x2000},
    {658, K_OPTION_VIEW, 0x40},    {652, K_OPTION_VIEW, 0x100},
    {653, K_OPTION_VIEW, 0x200},
    {353, K_OPTION_TEXT_BAR, 0x1}, {357, K_OPTION_TEXT_BAR, 0x2},
    {355, K_OPTION_TEXT_BAR, 0x4}, {354, K_OPTION_TEXT_BAR, 0x8},
    {356, K_OPTION_TEXT_BAR, 0x10},
    {643, K_OPTION_DOCUMENT, 0x1}, {642, K_OPTION_DOCUMENT, 0x2},
    {645, K_OPTION_DOCUMENT, 0x4},
};
constexpr int kFileLocking = 647;
constexpr int kSyntaxHighlighting = 658;
constexpr int kFindDirection = 487;
constexpr int kFindDirectionNext = 488;
constexpr int kFindRange = 489;
constexpr int kBrowseFunctions = 516;
constexpr int kWindowList = 366;
constexpr int kSkeletons = 547;
constexpr int kCharts = 569;

K_cmd_frame_hooks frame();

const OptionBit* option_bit(int id) {
    for (const OptionBit& b : kOptionBits)
        if (b.id == id) return &b;
    return nullptr;
}

K_cmd_record* record(int id) { return K_cmd_lookup(id); }
int slot(int id) { return id - K_CMD_FIRST; }

// A live value that someone currently answers for: get it. False when the
// value lives in the table (no owner installed yet).
bool live_get(int id, int* out) {
    if (const OptionBit* b = option_bit(id)) {
        K_cmd_option_hooks h;
        {
            std::lock_guard<std::mutex> lock(g_values);
            h = g_words[b->word];
        }
        if (!h.get) return false;
        *out = (h.get() & b->mask) ? 1 : 0;
        return true;
    }
    if (id == kFileLocking) {
        if (!vms_is_started()) return false;
        *out = (vms_flags(-1, VMS_F_KEEP_STREAM) & VMS_F_KEEP_STREAM) ? 1 : 0;
        return true;
    }
    if (StyleSheetSetup_IsField(id)) {
        *out = StyleSheetSetup_GetInt(id);
        return true;
    }
    if (id == kSkeletons || id == kCharts) {
        // 547 answers for the skeleton page (0), 569 for the others; a
        // hidden bar answers 0 for both.
        auto page_of = frame().skeleton_page;
        if (!page_of) return false;
        int page = page_of();
        *out = page < 0 ? 0 : (id == kSkeletons) == (page == 0) ? 1 : 0;
        return true;
    }
    K_cmd_live_hooks h;
    {
        std::lock_guard<std::mutex> lock(g_values);
        h = g_live[slot(id)];
    }
    if (!h.get) return false;
    *out = h.get(id);
    return true;
}

bool live_set(int id, int value, int* out) {
    if (const OptionBit* b = option_bit(id)) {
        K_cmd_option_hooks h;
        {
            std::lock_guard<std::mutex> lock(g_values);
            h = g_words[b->word];
        }
        if (!h.get || !h.set) return false;
        h.set(b->mask, value != 0);
        *out = (h.get() & b->mask) ? 1 : 0;
        return true;
    }
    if (id == kFileLocking) {
        if (!vms_is_started()) return false;
        *out = (vms_flags(value ? 1 : 0, VMS_F_KEEP_STREAM) & VMS_F_KEEP_STREAM) ? 1 : 0;
        return true;
    }
    if (StyleSheetSetup_IsField(id)) {
        *out = StyleSheetSetup_SetInt(id, value);
        return true;
    }
    if (id == kSkeletons || id == kCharts) return live_get(id, out);  // read only
    K_cmd_live_hooks h;
    {
        std::lock_guard<std::mutex> lock(g_values);
        h = g_live[slot(id)];
    }
    if (!h.get) return false;
    *out = h.set ? h.set(id, value) : h.get(id);
    return true;
}

// The table's integer (the decimal value of a string value). Lock held.
int table_int(const K_cmd_record* r) {
    if (r->attr & K_ATTR_STRING) {
        const char* s = reinterpret_cast<const char*>(r->value);
        return s ? std::atoi(s) : 0;
    }
    return int(r->value);
}

// Replaces the table value by an integer. Lock held.
void store_int(K_cmd_record* r, int value) {
    if (r->attr & K_ATTR_STRING) std::free(reinterpret_cast<char*>(r->value));
    r->attr &= ~K_ATTR_STRING;
    r->value = value;
}

bool profile_copy(K_cmd_profile* out) {
    std::lock_guard<std::mutex> lock(g_values);
    *out = g_profile;
    return g_has_profile;
}

// The profile key of a command, false when it has no name.
bool profile_key(int id, char* key) {
    if (!K_cmd_get_name(key, id)) return false;
    return key[0] != '\0';
}

// Marks the profile entry as read; true when it was still unread.
bool claim_profile_read(K_cmd_record* r) {
    std::lock_guard<std::mutex> lock(g_values);
    if (!(r->attr & K_ATTR_PROFILE) || (r->attr & K_ATTR_PROFILE_READ)) return false;
    r->attr |= K_ATTR_PROFILE_READ;
    return true;
}

// Values asked for before the profile is installed come from the table and
// leave the entry unread, so that the first get after installing reads it.
void read_profile_int(int id, K_cmd_record* r) {
    K_cmd_profile p;
    char key[K_CMD_NAME_BUF];
    if (!profile_copy(&p) || !p.get_int || !profile_key(id, key)) return;
    if (!claim_profile_read(r)) return;
    int def;
    {
        std::lock_guard<std::mutex> lock(g_values);
        def = table_int(r);
    }
    if (def == -1) def = 0;
    cmd_set_value(id, p.get_int(K_CMD_PROFILE_SECTION, key, def));
}

void read_profile_string(int id, K_cmd_record* r) {
    K_cmd_profile p;
    char key[K_CMD_NAME_BUF];
    if (!profile_copy(&p) || !p.get_string || !profile_key(id, key)) return;
    if (!claim_profile_read(r)) return;
    char text[1024] = "";
    p.get_string(K_CMD_PROFILE_SECTION, key, "", text, int(sizeof text));
    text[sizeof text - 1] = '\0';
    cmd_set_string(id, text);
}

void write_profile_int(int id, K_cmd_record* r, int value) {
    if (!(r->attr & K_ATTR_PROFILE)) return;
    {
        std::lock_guard<std::mutex> lock(g_values);
        r->attr |= K_ATTR_PROFILE_READ;
    }
    K_cmd_profile p;
    char key[K_CMD_NAME_BUF];
    if (profile_copy(&p) && p.write_int && profile_key(id, key))
        p.write_int(K_CMD_PROFILE_SECTION, key, value);
}

void write_profile_string(int id, K_cmd_record* r, const char* text) {
    if (!(r->attr & K_ATTR_PROFILE)) return;
    {
        std::lock_guard<std::mutex> lock(g_values);
        r->attr |= K_ATTR_PROFILE_READ;
    }
    K_cmd_profile p;
    char key[K_CMD_NAME_BUF];
    if (profile_copy(&p) && p.write_string && profile_key(id, key))
        p.write_string(K_CMD_PROFILE_SECTION, key, text ? text : "");
}

int value_source(int id) { return cmd_get_value(id); }

} // namespace

// ---- Values -----------------------------------------------------------------

int cmd_get_value(int id) {
    K_cmd_record* r = record(id);
    if (!r) return -1;
    read_profile_int(id, r);
    int v;
    if (live_get(id, &v)) return v;
    std::lock_guard<std::mutex> lock(g_values);
    return table_int(r);
}

int cmd_set_value(int id, int value) {
    K_cmd_record* r = record(id);
    if (!r) return -1;
    write_profile_int(id, r, value);
    int state;
    if (live_set(id, value, &state)) return state;
    std::lock_guard<std::mutex> lock(g_values);
    store_int(r, value);
    return value;
}

char* cmd_get_string(int id, char* buffer, int size) {
    if (!buffer || size <= 0) return nullptr;
    buffer[0] = '\0';
    K_cmd_record* r = record(id);
    if (!r) return nullptr;
    if (id == kBrowseFunctions || id == kWindowList) {
        K_cmd_string_hook hook;
        {
            std::lock_guard<std::mutex> lock(g_values);
            hook = g_string_hooks[slot(id)];
        }
        if (!hook || !hook(id, buffer, size)) {
            buffer[0] = '\0';
            return nullptr;
        }
        buffer[size - 1] = '\0';
        return buffer;
    }
    if (StyleSheetSetup_HasText(id)) return StyleSheetSetup_GetText(id, buffer, size);
    if (r->attr & K_ATTR_DECIMAL) {
        char digits[16];
        int v = cmd_get_value(id);
        UIntToStrSigned(static_cast<unsigned long>(v < 0 ? -static_cast<long>(v) : v), digits,
                        sizeof digits, 10, v < 0);
        CopyStringBounded(buffer, digits, size_t(size - 1));
        return buffer;
    }
    read_profile_string(id, r);
    std::lock_guard<std::mutex> lock(g_values);
    if (!(r->attr & K_ATTR_STRING) || !r->value) return nullptr;
    CopyStringBounded(buffer, reinterpret_cast<const char*>(r->value), size_t(size - 1));
    return buffer;
}

const char* cmd_set_string(int id, const char* text) {
    K_cmd_record* r = record(id);
    if (!r) return nullptr;
    if (StyleSheetSetup_IsField(id)) {
        StyleSheetSetup_SetText(id, text);
        return text;
    }
    if (r->attr & K_ATTR_DECIMAL) {
        cmd_set_value(id, text ? std::atoi(text) : 0);
        return text;
    }
    char* copy = nullptr;
    if (text && !(copy = StrMallocCopy(text))) return text;  // out of memory: value unchanged
    {
        std::lock_guard<std::mutex> lock(g_values);
        store_int(r, -1);
        if (copy) {
            r->value = reinterpret_cast<intptr_t>(copy);
            r->attr |= K_ATTR_STRING;
        }
    }
    write_profile_string(id, r, text);
    return text;
}

int K_cmd_set_bool(int mode, int id) {
    int v = cmd_get_value(id);
    if (mode == -1) return v;
    if (mode == 2) return cmd_set_value(id, v > 0 ? 0 : 1);
    cmd_set_value(id, mode ? 1 : 0);
    return v;
}

void K_cmd_free_strings() {
    std::lock_guard<std::mutex> lock(g_values);
    for (K_cmd_record& r : K_cmd_table)
        if (r.attr & K_ATTR_STRING) store_int(&r, -1);
}

void ShowOnOffStatus(const char* text, int on) {
    MsgOut(QW_MSG_ID | QW_MSG_STATUS, QwMsgId(on ? K_IDS_STATUS_ON : K_IDS_STATUS_OFF),
           text ? text : "");
}

void K_cmd_values_install() { QwSetCommandValueSource(&value_source); }

void K_cmd_set_profile(const K_cmd_profile* profile) {
    std::lock_guard<std::mutex> lock(g_values);
    g_has_profile = profile != nullptr;
    g_profile = profile ? *profile : K_cmd_profile{};
}

void K_cmd_set_option_word(K_cmd_option_word word, const K_cmd_option_hooks* hooks) {
    if (word < 0 || word >= K_OPTION_WORD_COUNT) return;
    std::lock_guard<std::mutex> lock(g_values);
    g_words[word] = hooks ? *hooks : K_cmd_option_hooks{};
}

int K_cmd_set_live_value(int id, const K_cmd_live_hooks* hooks) {
    if (!record(id)) return -1;
    std::lock_guard<std::mutex> lock(g_values);
    g_live[slot(id)] = hooks ? *hooks : K_cmd_live_hooks{};
    return 0;
}

int K_cmd_set_string_hook(int id, K_cmd_string_hook hook) {
    if (!record(id)) return -1;
    std::lock_guard<std::mutex> lock(g_values);
    g_string_hooks[slot(id)] = hook;
    return 0;
}

void K_cmd_set_frame_hooks(const K_cmd_frame_hooks* hooks) {
    std::lock_guard<std::mutex> lock(g_values);
    g_frame = hooks ? *hooks : K_cmd_frame_hooks{};
}

// ---- Handlers ----------------------------------------------------------------

namespace {
K_cmd_frame_hooks frame() {
    std::lock_guard<std::mutex> lock(g_values);
    return g_frame;
}

// "on" 1, "off" 0, no or another text -1.
int show_hide(K_cmd_params* p) {
    int o = K_cmd_params_get_onoff(p);
    return o == 2 ? 1 : o == 1 ? 0 : -1;
}
} // namespace

int K_cmd_toggle_setting(int id, K_cmd_params* params) {
    int onoff = K_cmd_params_get_onoff(params);
    int now;
    if (onoff == 1 || onoff == 2)
        now = cmd_set_value(id, onoff == 2 ? 1 : 0);
    else
        now = K_cmd_set_bool(2, id);
    if (!K_cmd_params_valid(params) || params->kind != 4) {
        char desc[K_CMD_NAME_BUF];
        ShowOnOffStatus(K_cmd_get_description(desc, id) ? desc : "", now > 0);
    }
    if (id == kSyntaxHighlighting) {
        if (auto refresh = frame().refresh_all_views) refresh();
    }
    return now;
}

int K_cmd_find_direction(int id, K_cmd_params*) {
    if (id == kFindDirectionNext)
        cmd_set_value(kFindDirection, 1);
    else
        K_cmd_set_bool(2, kFindDirection);
    return 1;
}

int K_cmd_find_range(int, K_cmd_params* params) {
    const char* t = K_cmd_params_get_string(params);
    if (!t) return 0;
    int i = FindInBarList("EntireFile|StopAtEndOfFile|Selection", t, 1);
    if (i >= 0) cmd_set_value(kFindRange, i);
    return 1;
}

int K_cmd_set_repeat_count(int, K_cmd_params*) {
    K_cmd_frame_hooks f = frame();
    if (!f.prompt_value) return 0;
    char caption[256], text[1025], range[32];
    LoadAppString(K_IDS_REPEAT_CAPTION, caption, int(sizeof caption));
    LoadAppString(K_IDS_REPEAT_TEXT, text, int(sizeof text));
    format_strf(range, sizeof range, "1,%u,1", 65535u);
    int count = 0;
    if (!f.prompt_value(caption, text, range, &count)) return 0;
    if (f.push_repeat_count) f.push_repeat_count(count);
    else K_cmd_push_repeat_count(count);
    return 1;
}

int K_cmd_view_status_bar(int, K_cmd_params*) {
    if (auto fn = frame().toggle_status_bar) fn();
    return 1;
}

int K_cmd_view_output(int id, K_cmd_params* params) {
    K_cmd_frame_hooks f = frame();
    if (id == 361) {
        int tab = -1;
        K_cmd_params_get_number(params, &tab);
        if (f.activate_output) f.activate_output(tab);
    } else if (f.show_output) {
        f.show_output(show_hide(params));
    }
    return 1;
}

int K_cmd_view_workspace(int id, K_cmd_params* params) {
    K_cmd_frame_hooks f = frame();
    if (id == 362) {
        int page = -1;
        K_cmd_params_get_number(params, &page);
        if (f.activate_workspace) f.activate_workspace(page);
    } else if (f.show_workspace) {
        f.show_workspace(show_hide(params));
    }
    return 1;
}

int K_cmd_activate_document(int, K_cmd_params*) {
    if (auto fn = frame().activate_document) fn();
    return 1;
}

int K_cmd_skeleton_bar(int id, K_cmd_params* params) {
    K_cmd_frame_hooks f = frame();
    if (!f.show_skeleton) return 1;
    int how = show_hide(params);
    if (how != -1) {
        f.show_skeleton(how, -1);
        return 1;
    }
    int page = -1;
    if (!K_cmd_params_get_number(params, &page)) page = id == kSkeletons ? 0 : 1;
    int active = f.skeleton_page ? f.skeleton_page() : -1;
    if (active == page)
        f.show_skeleton(0, page);
    else
        f.show_skeleton(1, page);
    return 1;
}

int K_cmd_full_screen(int, K_cmd_params*) {
    if (auto fn = frame().toggle_full_screen) fn();
    return 1;
}

int K_cmd_activate_menu_bar(int, K_cmd_params*) {
    if (auto fn = frame().activate_menu_bar) fn();
    return 1;
}

int K_cmd_stop_program(int, K_cmd_params*) {
    auto fn = frame().stop_program;
    return fn ? fn() : 0;
}

int K_cmd_print_setup(int, K_cmd_params*) {
    if (auto fn = frame().print_setup) fn();
    return 1;
}

int K_cmd_activate_toolbar_button(int id) {
    auto fn = frame().activate_toolbar_button;
    char name[K_CMD_NAME_BUF];
    if (!fn || !K_cmd_get_name(name, id)) return 0;
    return fn(name);
}
