// Command lists, stamp lists and buffer-name classification.
#include "commands/cmdlists.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "Reu/history.h"
#include "commands/cmdtable.h"
#include "commands/cmdvalues.h"
#include "commands/interp.h"
#include "commands/progtitles.h"
#include "opsys/msgout.h"
#include "opsys/systime.h"
#include "opsys/strlib.h"

namespace {

struct ListSource {
    int id;
    const char* name;
    bool per_call;
    int limit;  // 0: the whole list
};

const ListSource kSources[] = {
    {316, "File History", false, 0},     {317, "File History", false, 0},
    {318, "Favorites", false, 0},        {476, "Buffer f", false, 0},
    {477, "Buffer r", false, 0},         {556, "Buffer m", false, 0},
    {610, "Buffer o", false, 0},         {611, "Buffer n", false, 0},
    {512, "Include History", false, 0},  {515, "Configuration", false, 30},
    {613, "Program Titles", false, 0},   {497, "FIFFileTypes", false, 0},
    {513, "IncludesInDoc", true, 0},     {516, "FunctionsInDoc", true, 0},
    {366, "Window List", true, 0},       {331, "Project History", true, 0},
    {622, "Error Track Types", true, 0}, {546, "Templates", true, 0},
};

const ListSource* find_source(int id) {
    for (const ListSource& s : kSources)
        if (s.id == id) return &s;
    return nullptr;
}

constexpr const char kDispList[] = "DispList";
constexpr int kCopyLineMax = 499;
constexpr int kAddTextMax = 1024;
constexpr int kStampTextMax = 199;
constexpr int kInitialsMax = 13;

std::mutex g_builders_lock;
std::map<int, K_list_builder> g_builders;
std::atomic<int (*)()> g_has_edit_view{nullptr};
std::atomic<int (*)(char*, int)> g_initials{nullptr};

bool has_edit_view() {
    int (*f)() = g_has_edit_view.load();
    return f && f();
}

// Lists built by interpreter programs, which fill the target named in the
// request record.
int run_list_program(const char* program, int id, VMB* target, unsigned flags) {
    K_list_request req{QW_PRG_REQUEST_TAG, id, target, flags};
    int r = CExe_ExecuteByName(program, 1, id, 8, nullptr, &req);
    if (r == KL_NO_EDIT_VIEW) return r;
    VmGuard guard;
    return vm_last_ln(target);
}

const char* list_program(int id) {
    switch (id) {
    case 380: case 382: case 383: case 384: case 459: case 460: case 461: return "Qw_TextSel";
    case 513: return "IncludeFiles";
    case 516: return "BrowseFunctions";
    case 571: case 572: case 574: return "LanguageSel";
    case 622: return "ProgramErrors";
    case 632: return "Config";
    default: return nullptr;
    }
}

// Names from a run of string-table entries; missing entries are skipped.
int append_strings(VMB* target, unsigned first, unsigned last, bool sorted) {
    char text[256];
    VmGuard guard;
    for (unsigned id = first; id <= last; ++id) {
        if (!LoadAppString(id, text, sizeof text) || !text[0]) continue;
        if (sorted) vm_insert_sorted(target, text, VM_CMP_NOCASE);
        else vm_append_line(target, text);
    }
    return vm_last_ln(target);
}

// A per-call list (or one of a command without a list source); KL_NONE when
// no builder knows the command.
int build_list(int id, VMB* target, unsigned flags) {
    K_list_builder installed = nullptr;
    {
        std::lock_guard<std::mutex> g(g_builders_lock);
        auto it = g_builders.find(id);
        if (it != g_builders.end()) installed = it->second;
    }
    if (installed) return installed(id, target, flags);
    if (const char* program = list_program(id)) {
        if ((id == 513 || id == 516) && !has_edit_view()) return KL_NO_EDIT_VIEW;
        return run_list_program(program, id, target, flags);
    }
    switch (id) {
    case 495: return append_strings(target, 930, 964, false);
    case 659: return append_strings(target, 930, 972, false);
    case 575: return append_strings(target, 750, 786, true);
    case 497: return 0;
    default: return KL_NONE;
    }
}

// Text up to the n-th tab (n 1 or 2) of a line; the whole line when it has fewer.
void display_cut(char* line, int fields) {
    char* p = line;
    for (int i = 0; i < fields; ++i) {
        p = std::strchr(p, '\t');
        if (!p) return;
        if (i + 1 < fields) ++p;
    }
    *p = 0;
}

bool same_name(const char* a, const char* b) { return _stricmp(a, b) == 0; }

}  // namespace

K_list_builder K_cmd_set_list_builder(int id, K_list_builder fn) {
    std::lock_guard<std::mutex> g(g_builders_lock);
    K_list_builder previous = nullptr;
    auto it = g_builders.find(id);
    if (it != g_builders.end()) previous = it->second;
    if (fn) g_builders[id] = fn;
    else if (it != g_builders.end()) g_builders.erase(it);
    return previous;
}

void K_cmd_set_list_view_test(int (*has_edit)()) { g_has_edit_view.store(has_edit); }

VMB* K_cmd_list_source(int id, int* limit, int* per_call) {
    if (limit) *limit = 0;
    if (per_call) *per_call = 0;
    const ListSource* s = find_source(id);
    if (!s) return nullptr;
    if (limit) *limit = s->limit;
    if (per_call) *per_call = s->per_call ? 1 : 0;
    return vmb_open(VMB_T_TEMP, s->name, VMB_O_FILE);
}

int K_cmd_list_display_func(int id) {
    switch (id) {
    case 556: case 316: case 317: case 516: case 622: return 1;
    case 613: return 2;
    default: return 0;
    }
}

int K_cmd_list_copy(VMB* target, VMB* source, unsigned flags, int id) {
    if (!target || !source || target == source) return 0;
    int cut = (flags & KL_DISPLAY_CUT) ? K_cmd_list_display_func(id) : 0;
    int limit = 0;
    if (const ListSource* s = find_source(id)) limit = s->limit;
    VmGuard guard;
    int last = vm_last_ln(source);
    int count = limit > 0 ? std::min(last, limit) : last;
    char line[kCopyLineMax + 1];
    for (int i = 0; i < count; ++i) {
        int n = (flags & KL_REVERSE) ? count - i : i + 1;
        if (vm_read_text(source, n, 0, line, kCopyLineMax, nullptr) < 0) line[0] = 0;
        line[kCopyLineMax] = 0;
        if (cut) display_cut(line, cut);
        vm_append_line(target, line);
    }
    return count;
}

int K_cmd_make_list(int id, unsigned flags, const char* name, VMB** out) {
    if (out) *out = nullptr;
    int limit = 0, per_call = 0;
    VMB* source = K_cmd_list_source(id, &limit, &per_call);
    bool kept = source && !per_call;
    if (kept && (flags & KL_NO_KEPT)) return KL_NONE;
    VMB* target = nullptr;
    if (source && (flags & KL_DIRECT)) {
        target = source;
        // A per-call list is built afresh into itself.
        if (per_call) {
            VmGuard guard;
            vm_clear(target, 0);
        }
    } else {
        target = vmb_open(VMB_T_TEMP, name && name[0] ? name : kDispList, VMB_O_FILE | VMB_O_EMPTY);
    }
    if (!target) return KL_NONE;
    int count;
    if (kept) {
        count = target == source ? ([&] { VmGuard g; return vm_last_ln(source); })()
                                 : K_cmd_list_copy(target, source, flags, id);
    } else {
        count = build_list(id, target, flags);
        if (count == KL_NONE) {
            MsgOut(QW_MSG_LOG, "K_cmd_make_list( k_cmd: %d ) called for unimplemented command.", id);
            if (target != source) vmb_close(target, 0);
            return KL_NONE;
        }
        if (count < 0) return count;
    }
    if (target != source) {
        // A list made to be offered starts at its first entry (for the colour
        // lists too: the element under the caret is the colour dialog's own
        // choice); copying and building left it at the last.
        VmGuard guard;
        if (vm_last_ln(target) > 0) vm_goto_line(target, 1);
    }
    if (out) *out = target;
    return count;
}

int K_cmd_list_add(int id, VMB* list, const char* text) {
    bool disp = list == nullptr;
    if (!list) list = vmb_find(VMB_T_TEMP, kDispList);
    if (!list) return -1;
    char value[kAddTextMax + 1] = "";
    if (text) {
        std::strncpy(value, text, kAddTextMax);
        value[kAddTextMax] = 0;
    } else {
        cmd_get_string(id, value, sizeof value);
    }
    VmGuard guard;
    // A list with its index word set compares only up to the first tab.
    uint32_t options = vm_user_value(list, -1) > 0 ? 3 : 1;
    const int current = vm_cur_line(list);
    int found = 0;
    for (int n = 1, last = vm_last_ln(list); n <= last && !found; ++n) {
        char line[kAddTextMax + 1];
        if (vm_read_text(list, n, 0, line, kAddTextMax, nullptr) < 0) continue;
        line[kAddTextMax] = 0;
        if (options & 2) display_cut(line, 1);
        if ((options & 1) ? _stricmp(line, value) == 0 : std::strcmp(line, value) == 0) found = n;
    }
    // The search moved the list's position; only a find in "DispList" keeps it.
    vm_goto_line(list, disp && found ? found : current);
    return disp ? found : 0;
}

int IsStampListBufferName(const char* name) {
    return name && (same_name(name, "Buffer i") || same_name(name, "Buffer d") || same_name(name, "Buffer t"));
}

VMB* FillStampListBuffer(const char* name) {
    if (!IsStampListBufferName(name)) return nullptr;
    char text[kStampTextMax + 1] = "";
    switch (name[7] | 0x20) {
    case 'i':
        if (int (*initials)(char*, int) = g_initials.load()) initials(text, kInitialsMax + 1);
        break;
    case 'd': DateFormatLocale(text, sizeof text, 1); break;
    default: TimeFormatLocale(text, sizeof text, 0); break;
    }
    VMB* list = vmb_open(VMB_T_TEMP, name, VMB_O_FILE | VMB_O_EMPTY);
    if (!list) return nullptr;
    VmGuard guard;
    vm_append_line(list, text);
    vm_state_flags(list, VM_OP_CLEAR, VM_ST_FINAL_EOL);
    return list;
}

int classify_doc_path(const char* name, char* out) {
    if (!name) return 0;
    size_t n = std::strlen(name);
    if ((n >= 1 && name[n - 1] == '(') || (n >= 2 && name[n - 2] == '(')) return 1;
    if (n >= 8 && _strnicmp(name, "buffer ", 7) == 0 && static_cast<unsigned char>(name[7]) > ' ') {
        if (out) {
            std::memcpy(out, name, 8);
            out[8] = 0;
        }
        return 2;
    }
    if (n >= 6 && _strnicmp(name, "*VMB*", 5) == 0 && name[5] >= '0' && name[5] <= '9') {
        if (out) {
            std::strncpy(out, name + 5, 260);
            out[260] = 0;
        }
        return 3;
    }
    return 0;
}

int IsWildcardPath(const char* name) {
    return name && classify_doc_path(name, nullptr) == 0 && std::strpbrk(name, "*?") != nullptr;
}

void InstallCommandLists(int (*initials)(char* out, int size)) {
    g_initials.store(initials);
    HistoryListSetStampFiller(FillStampListBuffer);
}
