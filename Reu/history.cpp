#include "Reu/history.h"

#include <atomic>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "opsys/command_value_source.h"
#include "opsys/msgout.h"
#include "opsys/shell_outlets.h"
#include "Reu/config_format.h"
#include "Reu/reu_file.h"
#include "Reu/reu_lines.h"

namespace {

// String-table identifiers of the messages reported here.
enum : unsigned {
    IDS_VM_CREATE_FAILED = 1403, // "VM buffer create failed!!"
    IDS_SAVE_FAILED = 1404,      // "Error saving file '%s'%b"
    IDS_HISTORY_FULL = 1405,     // "VM buffer full in History_List_Access()"
};
constexpr unsigned kSerious = QW_MSG_SERIOUS | QW_MSG_LOG | QW_MSG_BOX; // 0x4030

std::atomic<HistoryStampFillFn> g_stamp_filler{nullptr};

struct ConfigFileGroup {
    const char* file;
    const char* sections[7];
};

// The files and their sections, in the order they are written.
const ConfigFileGroup kConfigGroups[] = {
    {"QwConfig", {"Configuration", "Program Titles", "Buffer m", "Buffer o", "Buffer c", nullptr}},
    {"QWHistory", {"Favorites", "Buffer n", "Buffer f", "Buffer r", "Include History",
                   "Data File History", nullptr}},
    {"QWBuildSetup", {"Error Track Types", nullptr}},
};

int MaxEntries() {
    int n = QwCommandValue(HL_HISTORY_SIZE_ID, HL_HISTORY_SIZE_DEFAULT);
    return n < 0 ? 0 : n;
}

bool ReadLine(VMB* b, int line, std::string& out) { return ReuReadLine(b, line, out); }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool EntriesEqual(std::string_view entry, std::string_view text, int flags) {
    if (flags & HL_CMP_FIRST_TAB) {
        entry = entry.substr(0, entry.find('\t'));
        text = text.substr(0, text.find('\t'));
    }
    if (flags & (HL_CMP_NOCASE | HL_CMP_NOCASE2)) return EqualNoCase(entry, text);
    return entry == text;
}

bool IsStampListName(const char* name) {
    return EqualNoCase(name, "Buffer i") || EqualNoCase(name, "Buffer d") ||
           EqualNoCase(name, "Buffer t");
}

std::string ConfigPath(const char* name) {
    char out[264] = "";
    if (GetConfigFilePath(out, name, 0)) return out;
    return name;
}

int AddEntry(VMB* list, const char* text, int flags) {
    const bool top = (flags & HL_TOP) != 0;
    const std::string_view t(text);
    std::string line;
    int last = vm_last_ln(list);

    // The newest entry is already this text: nothing changes.
    if (last > 0 && ReadLine(list, top ? 1 : last, line) && line == t) return 1;

    for (int i = last; i >= 1; --i) {
        if (ReadLine(list, i, line) && EntriesEqual(line, t, flags)) vm_delete_lines(list, i, 1, 1);
    }
    const int max = MaxEntries();
    for (last = vm_last_ln(list); last > max; last = vm_last_ln(list)) {
        if (vm_delete_lines(list, top ? last : 1, 1, 1) < 0) break;
    }

    int added = vm_insert_line(list, top ? 0 : vm_last_ln(list), text, static_cast<int>(t.size()));
    if (added <= 0) {
        MsgOutId(kSerious, IDS_HISTORY_FULL);
        return 0;
    }
    vm_set_mark_line(list, added);
    vm_seq_next(list);
    return 1;
}

int CopyEntryOut(VMB* list, char* out, int flags) {
    out[0] = '\0';
    int last = list ? vm_last_ln(list) : 0;
    if (last <= 0) return 1;
    int got = vm_read_text(list, (flags & HL_TOP) ? 1 : last, 0, out, HL_ENTRY_MAX, nullptr);
    if (got < 0) out[0] = '\0';
    return 1;
}

} // namespace

// ---- History lists ---------------------------------------------------------

int HistoryListCount(const char* name) {
    VMB* b = vmb_find(VMB_T_TEMP, name);
    return b ? vm_last_ln(b) : 0;
}

int HistoryListEntry(VMB* list, char* text, int op, int flags) {
    if (!text) return 0;
    VmGuard guard;
    if (op == HL_OP_ADD) {
        if (!vmb_in_use(list)) return 0;
        return AddEntry(list, text, flags);
    }
    return CopyEntryOut(vmb_in_use(list) ? list : nullptr, text, flags);
}

int HistoryListAccess(const char* name, char* text, int op, int flags) {
    if (!name || !*name || !text) return 0;
    VmGuard guard;
    VMB* list = vmb_find(VMB_T_TEMP, name);
    if (op == HL_OP_ADD && !list) {
        list = vmb_open(VMB_T_TEMP, name, VMB_O_EXCL);
        if (!list) {
            MsgOutId(kSerious, IDS_VM_CREATE_FAILED, __FILE__);
            return 0;
        }
    }
    return HistoryListEntry(list, text, op, flags);
}

VMB* HistoryListPack(VMB* list, VMB* record, int line, int op, int flags) {
    VmGuard guard;
    if (!vmb_in_use(record)) return nullptr;
    if (op == HL_OP_ADD) {
        if (list && !vmb_in_use(list)) return nullptr;
        if (list) {
            vm_clear(list, 0);
        } else if (!(list = vmb_create_temp())) {
            return nullptr;
        }
        std::string text;
        if (!ReadLine(record, line, text) || text.empty()) return list;
        size_t start = 0;
        for (;;) {
            size_t tab = text.find('\t', start);
            std::string entry = text.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
            if (entry.size() > HL_ENTRY_MAX + 1) entry.resize(HL_ENTRY_MAX + 1);
            if (flags & HL_SORTED) vm_find_line(list, entry.c_str(), VM_CMP_NOCASE);
            else AddEntry(list, entry.c_str(), flags);
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        return list;
    }

    if (!vmb_in_use(list)) return nullptr;
    std::string joined, entry;
    const int last = vm_last_ln(list);
    for (int i = 1; i <= last; ++i) {
        ReadLine(list, i, entry);
        if (i > 1) joined += '\t';
        joined += entry;
    }
    vm_replace_line(record, line, joined.c_str(), static_cast<int>(joined.size()), 1);
    if (!(flags & HL_KEEP_LIST)) vmb_close(list, 0);
    return list;
}

HistoryStampFillFn HistoryListSetStampFiller(HistoryStampFillFn fn) {
    return g_stamp_filler.exchange(fn);
}

int HistoryListReadLine(const char* name, int n, char* out, int max) {
    if (!out || max < 0) return 0;
    out[0] = '\0';
    if (!name || !*name) return 0;
    VmGuard guard;
    VMB* list = nullptr;
    HistoryStampFillFn fill = g_stamp_filler.load();
    if (fill && IsStampListName(name)) list = fill(name);
    if (!list) list = vmb_find(VMB_T_TEMP, name);
    if (!list) return 0;
    if (n == 0) n = vm_mark_line(list);
    if (n < 1 || n > vm_last_ln(list)) return 0;
    int got = vm_read_text(list, n, 0, out, max, nullptr);
    if (got < 0) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

namespace {
std::atomic<HistoryControlListFn> g_control_resolver{nullptr};
}

HistoryControlListFn HistoryListSetControlResolver(HistoryControlListFn fn) {
    return g_control_resolver.exchange(fn);
}

int HistoryListReadLine(int control_id, int n, char* out, int max) {
    if (out && max > 0) out[0] = '\0';
    HistoryControlListFn resolve = g_control_resolver.load();
    char name[128];
    if (control_id < 257 || !resolve || !resolve(control_id, name, static_cast<int>(sizeof name)) || !name[0])
        return 0;
    name[sizeof name - 1] = '\0';
    return HistoryListReadLine(name, n, out, max);
}

int HistoryListInsert(const char* name, int after_line, const char* text) {
    if (!name || !*name || !text) return 0;
    VmGuard guard;
    VMB* list = vmb_open(VMB_T_TEMP, name, VMB_O_FILE);
    if (!list) return 0;
    int last = vm_last_ln(list);
    if (after_line > last) after_line = last;
    if (after_line < 0) after_line = 0;
    return vm_insert_line(list, after_line, text, static_cast<int>(std::strlen(text)));
}

int HistoryListSetLine(const char* name, int line, const char* text) {
    if (!name || !*name || !text || line < 1) return 0;
    VmGuard guard;
    VMB* list = vmb_open(VMB_T_TEMP, name, VMB_O_FILE);
    if (!list) return 0;
    return vm_replace_line(list, line, text, static_cast<int>(std::strlen(text)), 1);
}

// ---- Configuration files ---------------------------------------------------

int SaveHistoryFiles() {
    int all_ok = 1;
    std::string line;
    for (const ConfigFileGroup& group : kConfigGroups) {
        const std::string path = ConfigPath(group.file);
        std::string text;
        {
            VmGuard guard;
            for (const char* const* s = group.sections; *s; ++s) {
                VMB* b = vmb_find(VMB_T_TEMP, *s);
                if (!b) continue;
                const int last = vm_last_ln(b);
                if (last <= 0) continue;
                text += ConfigHeaderLine(*s, vm_mark_line(b));
                text += "\r\n";
                for (int i = 1; i <= last; ++i) {
                    ReadLine(b, i, line);
                    text += ConfigEscapeLine(line);
                    text += "\r\n";
                }
            }
        }
        if (!ReuReplaceFileContents(path.c_str(), text)) {
            MsgWarnId(IDS_SAVE_FAILED, path.c_str());
            all_ok = 0;
        }
    }
    return all_ok;
}

int LoadConfigFile(const char* path) {
    std::string bytes;
    if (!path || !ReuReadFileContents(path, bytes)) return 0;

    VmGuard guard;
    VMB* current = nullptr;
    auto end_section = [&current] {
        if (current) vm_state_flags(current, VM_OP_CLEAR, VM_ST_EDIT);
        current = nullptr;
    };

    std::string name;
    int reference_line = 1;
    int line_no = 0;
    int damaged = 0, first_damaged = 0;
    for (std::string_view line : ConfigSplitLines(bytes)) {
        ++line_no;
        switch (ConfigParseLine(line, name, reference_line)) {
        case kConfigLineSection:
            end_section();
            current = vmb_open(VMB_T_TEMP, name.c_str(), VMB_O_FILE | VMB_O_EMPTY);
            if (!current) {
                MsgOutId(kSerious, IDS_VM_CREATE_FAILED, __FILE__);
                break;
            }
            vm_set_mark_line(current, reference_line);
            vm_seq_next(current);
            break;
        case kConfigLineSkipped:
            end_section();
            break;
        case kConfigLineDamaged:
            end_section();
            if (damaged++ == 0) first_damaged = line_no;
            break;
        case kConfigLineData:
            if (!current) break; // lines before the first header, or of a skipped section
            std::string_view text = ConfigUnescapeLine(line);
            if (vm_insert_line_nomod(current, vm_last_ln(current), text.data(),
                                     static_cast<int>(text.size())) <= 0) {
                MsgOut(QW_MSG_LOG | QW_MSG_BOX, "KV: In LoadConfigFile() the buffer is full: "
                       "'%s' was read up to line %d.", path, line_no);
                end_section();
                return 1;
            }
            break;
        }
    }
    end_section();
    // One line for the whole file: a damaged file may hold thousands.
    if (damaged) {
        MsgOut(QW_MSG_LOG, "KV: In LoadConfigFile() %d damaged section header(s) in '%s', the first "
                           "in line %d; their sections are skipped.", damaged, path, first_damaged);
    }
    return 1;
}

int LoadConfigFiles() {
    if (LoadConfigFile(ConfigPath("QwConfig").c_str())) return 1;
    return LoadConfigFile(ConfigPath("qwbuffer").c_str());
}
