// Key-binding tables and the sequence matcher.
#include "commands/keybind.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "commands/cmdtable.h"
#include "commands/interp.h"
#include "commands/interp_keys.h"
#include "opsys/msgout.h"

namespace {

struct KeyTable {
    KeyBindingEntry* entries = nullptr;
    int count = 0;
    int capacity = 0;
};

KeyTable g_tables[KB_MAX_TABLES];
int g_top = -1;
int g_users = 0;

// The matcher: the range of entries still matching and the keys matched.
struct Matcher {
    int first = 0, last = -1;
    int matched = 0;
    bool virtual_key = false;
    bool first_display = true;
    bool pending = false;
} g_match;
bool g_case_folding = false;

void free_entry(KeyBindingEntry& e) {
    if (e.flags & KB_F_OUTLINE)
        std::free(e.keys.out_of_line);
    if (e.flags & KB_F_LIST)
        std::free(e.target.list);
    e.flags = 0;
}

void free_table(KeyTable& t) {
    for (int i = 0; i < t.count; ++i)
        free_entry(t.entries[i]);
    std::free(t.entries);
    t = KeyTable();
}

// Byte-wise order, a shorter sequence before a longer one with the same start.
int compare_keys(const uint8_t* a, int na, const uint8_t* b, int nb) {
    int n = na < nb ? na : nb;
    int c = n ? std::memcmp(a, b, size_t(n)) : 0;
    if (c)
        return c;
    return na - nb;
}

bool is_prefix(const uint8_t* p, int np, const uint8_t* s, int ns) {
    return np <= ns && std::memcmp(p, s, size_t(np)) == 0;
}

// The first entry not below the keys; *exact when it is equal.
int lower_bound(const KeyTable& t, const uint8_t* keys, int n, bool* exact) {
    int lo = 0, hi = t.count;
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        const KeyBindingEntry& e = t.entries[mid];
        if (compare_keys(e.key_bytes(), e.key_count(), keys, n) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    *exact = lo < t.count &&
             compare_keys(t.entries[lo].key_bytes(), t.entries[lo].key_count(), keys, n) == 0;
    return lo;
}

bool has_single_binding(const KeyTable& t, int command, int except) {
    for (int i = 0; i < t.count; ++i)
        if (i != except && !t.entries[i].is_list() && t.entries[i].target.command == command)
            return true;
    return false;
}

// Sets the target of e from the list; false when out of memory.
bool set_target(KeyBindingEntry& e, const int* commands, int n) {
    if (n == 1) {
        e.target.command = commands[0];
        return true;
    }
    auto* list = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * size_t(n + 1)));
    if (!list)
        return false;
    for (int i = 0; i < n; ++i)
        list[i] = commands[i];
    list[n] = -1;
    e.target.list = list;
    e.flags |= KB_F_LIST;
    return true;
}

std::string status_text_of_key(int key) {
    std::string s;
    unsigned char c = static_cast<unsigned char>(key);
    if (c < 32) {
        s += '^';
        s += char(c + 64);
    } else {
        s += char(c);
    }
    return s;
}

void clear_matcher() { g_match = Matcher(); }

} // namespace

int KeyTable_Push(int capacity) {
    if (g_top >= KB_MAX_TABLES - 1)
        return KB_STACK_FULL;
    if (capacity < 1)
        capacity = 1;
    auto* e = static_cast<KeyBindingEntry*>(std::calloc(size_t(capacity), sizeof(KeyBindingEntry)));
    if (!e)
        return KB_NO_MEMORY;
    clear_matcher();
    ++g_top;
    g_tables[g_top].entries = e;
    g_tables[g_top].count = 0;
    g_tables[g_top].capacity = capacity;
    return KB_DONE;
}

int KeyTable_Pop(int all) {
    clear_matcher();
    while (g_top >= 0) {
        free_table(g_tables[g_top--]);
        if (!all)
            break;
    }
    return g_top;
}

int KeyTable_Top() { return g_top; }

int KeyTable_Count(int op) {
    if (op == 1)
        ++g_users;
    else if (op == 0 && g_users > 0)
        --g_users;
    return g_users;
}

const KeyBindingEntry* KeyTable_Entries(int* count) {
    if (count)
        *count = g_top >= 0 ? g_tables[g_top].count : 0;
    return g_top >= 0 ? g_tables[g_top].entries : nullptr;
}

bool KeyTable_CheckInvariant() {
    if (g_top < 0)
        return true;
    const KeyTable& t = g_tables[g_top];
    if (t.count < 0 || t.count > t.capacity)
        return false;
    for (int i = 0; i < t.count; ++i) {
        const KeyBindingEntry& e = t.entries[i];
        int n = e.key_count();
        if (n < 1 || n > KB_MAX_KEYS || bool(e.flags & KB_F_OUTLINE) != (n > KB_INLINE_KEYS))
            return false;
        if (e.is_list()) {
            int k = 0;
            while (k < 4096 && e.target.list[k] != -1)
                ++k;
            if (k == 4096)
                return false;
        }
        if (i > 0) {
            const KeyBindingEntry& p = t.entries[i - 1];
            if (compare_keys(p.key_bytes(), p.key_count(), e.key_bytes(), n) >= 0)
                return false;
            if (is_prefix(p.key_bytes(), p.key_count(), e.key_bytes(), n))
                return false;
        }
    }
    return true;
}

int KeyBinding_Set(const uint8_t* keys, int key_count, const int* commands, int command_count,
                   int replace) {
    if (key_count > KB_MAX_KEYS)
        return KB_TOO_LONG;
    if (key_count < 1 || !keys)
        return KB_NO_KEYS;
    if (commands && command_count < 1)
        return KB_NO_COMMAND;
    if (g_top < 0) {
        if (!commands)
            return KB_NOT_BOUND;
        int r = KeyTable_Push(KB_TABLE_GROW);
        if (r)
            return r;
    }
    clear_matcher();
    KeyTable& t = g_tables[g_top];
    bool exact = false;
    int at = lower_bound(t, keys, key_count, &exact);
    if (!commands) {
        if (!exact)
            return KB_NOT_BOUND;
        free_entry(t.entries[at]);
        std::memmove(t.entries + at, t.entries + at + 1, sizeof(KeyBindingEntry) * size_t(t.count - at - 1));
        --t.count;
        return KB_DONE;
    }
    if (exact) {
        if (!replace)
            return KB_BOUND;
        KeyBindingEntry& e = t.entries[at];
        KeyBindingEntry fresh = e;
        fresh.flags &= uint8_t(KB_F_COUNT | KB_F_OUTLINE);
        if (!set_target(fresh, commands, command_count))
            return KB_NO_MEMORY;
        if (command_count == 1 && !has_single_binding(t, commands[0], at))
            fresh.flags |= KB_F_PRIMARY;
        if (e.flags & KB_F_LIST)
            std::free(e.target.list);
        e = fresh;
        return KB_DONE;
    }
    // A bound sequence that is a prefix of the new one sorts just before it;
    // one that the new one is a prefix of, just after it.
    if (at > 0 && is_prefix(t.entries[at - 1].key_bytes(), t.entries[at - 1].key_count(), keys, key_count))
        return KB_PREFIX;
    if (at < t.count && is_prefix(keys, key_count, t.entries[at].key_bytes(), t.entries[at].key_count()))
        return KB_PREFIX;
    if (t.count == t.capacity) {
        auto* grown = static_cast<KeyBindingEntry*>(
            std::realloc(t.entries, sizeof(KeyBindingEntry) * size_t(t.capacity + KB_TABLE_GROW)));
        if (!grown)
            return KB_CANNOT_GROW;
        t.entries = grown;
        t.capacity += KB_TABLE_GROW;
    }
    KeyBindingEntry e{};
    e.flags = uint8_t(key_count);
    if (key_count > KB_INLINE_KEYS) {
        e.keys.out_of_line = static_cast<uint8_t*>(std::malloc(size_t(key_count)));
        if (!e.keys.out_of_line)
            return KB_NO_MEMORY;
        std::memcpy(e.keys.out_of_line, keys, size_t(key_count));
        e.flags |= KB_F_OUTLINE;
    } else {
        std::memcpy(e.keys.in_line, keys, size_t(key_count));
    }
    if (!set_target(e, commands, command_count)) {
        free_entry(e);
        return KB_NO_MEMORY;
    }
    if (command_count == 1 && !has_single_binding(t, commands[0], -1))
        e.flags |= KB_F_PRIMARY;
    std::memmove(t.entries + at + 1, t.entries + at, sizeof(KeyBindingEntry) * size_t(t.count - at));
    t.entries[at] = e;
    ++t.count;
    return KB_DONE;
}

int KeyBinding_TextToKeys(const char* key_text, uint8_t* keys, int max) {
    KeyTranslateRequest req;
    req.op = 0;
    req.text = key_text;
    req.keys_out = keys;
    req.keys_max = max;
    return Key_Translate(req);
}

int KeyBinding_Assign(const char* key_text, const int* commands, int command_count) {
    uint8_t keys[64];
    int n = KeyBinding_TextToKeys(key_text, keys, int(sizeof keys));
    if (n < 0)
        return KB_TEXT_ERROR;
    if (n == 0)
        return KB_NO_KEYS;
    if (n > KB_MAX_KEYS)
        return KB_TOO_LONG;
    int r = KeyBinding_Set(keys, n, commands, command_count, 1);
    if (r == KB_PREFIX)
        MsgOut(QW_MSG_ID | QW_MSG_BOX, QwMsgId(KB_IDS_PART_OF_LONGER), key_text ? key_text : "");
    return r;
}

int KeyBinding_AssignOne(const char* key_text, int command) {
    return KeyBinding_Assign(key_text, &command, 1);
}

int KeyBinding_FindCommand(int start, int command, int* key_count, uint8_t* keys, int* flags) {
    if (g_top < 0)
        return -1;
    const KeyTable& t = g_tables[g_top];
    for (int i = start < 0 ? 0 : start; i < t.count; ++i) {
        const KeyBindingEntry& e = t.entries[i];
        if (e.is_list() || e.target.command != command)
            continue;
        if (key_count)
            *key_count = e.key_count();
        if (keys)
            std::memcpy(keys, e.key_bytes(), size_t(e.key_count()));
        if (flags)
            *flags = e.flags;
        return i;
    }
    return -1;
}

bool KeyBindingText(char* out, int size, int command, bool all) {
    if (!out || size < 1)
        return false;
    out[0] = '\0';
    std::string joined, primary, best, best_gray;
    bool found = false;
    uint8_t keys[KB_MAX_KEYS];
    int n = 0, flags = 0;
    for (int i = KeyBinding_FindCommand(0, command, &n, keys, &flags); i >= 0;
         i = KeyBinding_FindCommand(i + 1, command, &n, keys, &flags)) {
        // Mouse bindings are not keys a user reads in a menu.
        if (n == 2 && keys[0] < 16 && (keys[0] & 8) &&
            (keys[1] == 1 || keys[1] == 2 || keys[1] == 4 || (keys[1] >= 234 && keys[1] <= 239)))
            continue;
        char text[256];
        KeyTranslateRequest req;
        req.op = 1;
        req.keys = keys;
        req.key_count = n;
        req.text_out = text;
        req.text_max = int(sizeof text);
        if (Key_Translate(req) < 0)
            continue;
        std::string s(text);
        found = true;
        if (all) {
            if (!joined.empty())
                joined += " and ";
            joined += s;
            continue;
        }
        if (flags & KB_F_PRIMARY) {
            primary = s;
            break;
        }
        bool gray = s.size() >= 4 && std::tolower(static_cast<unsigned char>(s[0])) == 'g' &&
                    std::tolower(static_cast<unsigned char>(s[1])) == 'r' &&
                    std::tolower(static_cast<unsigned char>(s[2])) == 'a' &&
                    std::tolower(static_cast<unsigned char>(s[3])) == 'y';
        if (gray) {
            if (best_gray.empty() || s.size() < best_gray.size())
                best_gray = s;
        } else if (s.size() < 50 && (best.empty() || s.size() < best.size())) {
            best = s;
        }
    }
    if (!found)
        return false;
    const std::string& pick = all ? joined : !primary.empty() ? primary : !best.empty() ? best : best_gray;
    if (pick.empty())
        return false;
    size_t m = pick.size() < size_t(size - 1) ? pick.size() : size_t(size - 1);
    std::memcpy(out, pick.data(), m);
    out[m] = '\0';
    return true;
}

bool KeyBinding_Pending() { return g_match.pending; }
void KeyBinding_Reset() { clear_matcher(); }
void KeyBinding_SetCaseFolding(bool on) { g_case_folding = on; }

namespace {

// One match step on byte b at position g_match.matched. Returns -5 to go on,
// or a final result.
int match_byte(const KeyTable& t, uint8_t b, int key, const KeyBindingEntry** entry) {
    int n = g_match.matched;
    int first = -1, last = -1;
    for (int i = g_match.first; i <= g_match.last; ++i) {
        const KeyBindingEntry& e = t.entries[i];
        if (e.key_count() <= n)
            continue;
        uint8_t eb = e.key_bytes()[n];
        if (eb < b)
            continue;
        if (eb > b)
            break;
        if (first < 0)
            first = i;
        last = i;
    }
    if (first < 0)
        return (n > 0 || g_match.virtual_key) ? KB_MATCH_UNBOUND : key;
    if (first == last && t.entries[first].key_count() <= n + 1) {
        const KeyBindingEntry& e = t.entries[first];
        if (e.is_list()) {
            if (entry)
                *entry = &e;
            return KB_MATCH_LIST;
        }
        return e.target.command;
    }
    g_match.first = first;
    g_match.last = last;
    g_match.matched = n + 1;
    return KB_MATCH_MORE;
}

} // namespace

int KeyBinding_Match(int state, int key, const KeyBindingEntry** entry, bool quiet) {
    if (entry)
        *entry = nullptr;
    if (g_top < 0)
        return KB_MATCH_UNBOUND;
    const KeyTable& t = g_tables[g_top];
    if (g_match.pending) {
        if (key == 27 && state == 0) {
            clear_matcher();
            return KB_MATCH_CANCELLED;
        }
        if (state == 16 && key >= 1 && key <= 26) {
            state = -1;
            key = 'a' + key - 1;
        } else if (state == 1 && key >= '0' && key <= '9') {
            state = -1;
        } else if (state == -1 && g_case_folding && key >= 'A' && key <= 'Z') {
            key = key - 'A' + 'a';
        }
    } else {
        g_match = Matcher();
        g_match.first = 0;
        g_match.last = t.count - 1;
        g_match.pending = true;
    }
    int was_matched = g_match.matched;
    int r;
    if (state != -1) {
        if (g_match.matched == 0)
            g_match.virtual_key = true;
        r = match_byte(t, uint8_t(state), key, entry);
        if (r == KB_MATCH_MORE)
            r = match_byte(t, uint8_t(key), key, entry);
    } else {
        r = match_byte(t, uint8_t(key), key, entry);
    }
    // The keys of a sequence go to the status bar while it is pending.
    if (!quiet && (r == KB_MATCH_MORE || was_matched > 0)) {
        std::string s = status_text_of_key(key);
        if (g_match.first_display) {
            MsgOut(QW_MSG_STATUS, "%s", s.c_str());
            g_match.first_display = false;
        } else {
            MsgOut(QW_MSG_STATUS, "%j%s", s.c_str());
        }
    }
    if (r == KB_MATCH_UNBOUND && !quiet)
        MsgOut(QW_MSG_ID | (was_matched > 0 ? 0x2008u : 0x8u), QwMsgId(KB_IDS_NOT_BOUND));
    if (r != KB_MATCH_MORE)
        clear_matcher();
    return r;
}

int RunKeyboardOpenHook(int a, int b, int c) {
    KeyTable_Pop(0);
    int32_t result = 1;
    InterpValue args[5] = {InterpValue::W(a), InterpValue::W(b), InterpValue::W(c),
                           InterpValue::Obj(nullptr, 0), InterpValue::Mem(&result, sizeof result, true)};
    if (!CExe_Call("OnKeyboardOpen", CEXE_KIND1, 0, 5, args))
        return -1;
    return result;
}

namespace {
int run_key_asgn(int op, int a, int b) {
    int32_t result = 1;
    InterpValue args[5] = {InterpValue::W(op), InterpValue::W(a), InterpValue::W(b),
                           InterpValue::Obj(nullptr, 0), InterpValue::Mem(&result, sizeof result, true)};
    if (!CExe_Call("key_asgn", CEXE_KIND1, 0, 5, args))
        return -1;
    return result;
}

int hook_push(int capacity) { return KeyTable_Push(capacity); }
int hook_pop(int all) { return KeyTable_Pop(all); }
} // namespace

int KeyAssignHook_Add(int a, int b) { return run_key_asgn(1, a, b); }
int KeyAssignHook_Remove(int a, int b) { return run_key_asgn(2, a, b); }

void KeyBinding_InstallInterpHooks() {
    InterpKeyHooks h = Interp_GetKeyHooks();
    h.binding_set = KeyBinding_Set;
    h.table_push = hook_push;
    h.table_pop = hook_pop;
    Interp_SetKeyHooks(&h);
}
