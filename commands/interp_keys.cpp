// Key names, key texts and the keyboard-definition file.
#include "commands/interp_keys.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <vector>

#include "commands/cmdtable.h"
#include "opsys/msgout.h"

namespace {

struct KeyName {
    const char* name;
    uint8_t vk;
    uint8_t mouse; // 1: a mouse key (state bit 8)
};

const KeyName kNames[] = {
    {"Backspace", 8, 0}, {"Tab", 9, 0}, {"Enter", 13, 0}, {"Pause", 19, 0}, {"Esc", 27, 0},
    {"Space", 32, 0}, {"PgUp", 33, 0}, {"PgDn", 34, 0}, {"End", 35, 0}, {"Home", 36, 0},
    {"Left", 37, 0}, {"Up", 38, 0}, {"Right", 39, 0}, {"Down", 40, 0}, {"Insert", 45, 0},
    {"Delete", 46, 0}, {"Apps", 93, 0}, {"Break", 3, 0},
    {"Num0", 96, 0}, {"Num1", 97, 0}, {"Num2", 98, 0}, {"Num3", 99, 0}, {"Num4", 100, 0},
    {"Num5", 101, 0}, {"Num6", 102, 0}, {"Num7", 103, 0}, {"Num8", 104, 0}, {"Num9", 105, 0},
    {"Gray*", 106, 0}, {"Gray+", 107, 0}, {"Gray-", 109, 0}, {"Num.", 110, 0}, {"Gray/", 111, 0},
    {";", 186, 0}, {"=", 187, 0}, {",", 188, 0}, {"-", 189, 0}, {".", 190, 0}, {"/", 191, 0},
    {"`", 192, 0}, {"[", 219, 0}, {"\\", 220, 0}, {"]", 221, 0}, {"'", 222, 0},
    {"MouseLeft", 1, 1}, {"MouseRight", 2, 1}, {"MouseMiddle", 4, 1},
    {"MouseLeftDouble", 234, 1}, {"MouseRightDouble", 235, 1}, {"MouseMiddleDouble", 236, 1},
    {"MouseLeftUp", 237, 1}, {"MouseRightUp", 238, 1}, {"MouseMiddleUp", 239, 1},
};

bool iequal(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// One key of a text (without blanks): the bytes it becomes, or 0. `later`
// is set for the keys after the first of a sequence, which the matcher sees
// as typed characters where the keyboard gives one.
int one_key(const char* k, size_t n, uint8_t* out, bool later) {
    int state = 0;
    for (;;) {
        static const struct {
            const char* p;
            int bit;
        } mods[] = {{"ctrl+", 1}, {"shift+", 2}, {"alt+", 4}};
        bool found = false;
        for (auto& m : mods) {
            size_t len = std::strlen(m.p);
            if (n > len && iequal(k, m.p, len)) {
                state |= m.bit;
                k += len;
                n -= len;
                found = true;
            }
        }
        if (!found)
            break;
    }
    if (n == 0)
        return 0;
    unsigned char c1 = static_cast<unsigned char>(*k);
    if (n == 1 && state == 0 && std::isprint(c1) && *k != ' ') {
        out[0] = uint8_t(later && std::isalpha(c1) ? std::tolower(c1) : c1);
        return 1;
    }
    if (n == 1 && std::isalpha(c1) && !(state & 4) && (state & 1)) {
        // Ctrl and a letter reaches the editor as its control character
        // (Shift makes no difference); later in a sequence, as the letter.
        if (later) {
            out[0] = uint8_t(std::tolower(c1));
            return 1;
        }
        out[0] = 16;
        out[1] = uint8_t(std::toupper(c1) - 64);
        return 2;
    }
    if (n == 1 && later && std::isalnum(c1) && (state == 2 || (state == 1 && std::isdigit(c1)))) {
        out[0] = uint8_t(state == 2 ? std::toupper(c1) : c1);
        return 1;
    }
    for (const KeyName& e : kNames)
        if (std::strlen(e.name) == n && iequal(e.name, k, n)) {
            out[0] = uint8_t(state | (e.mouse ? 8 : 0));
            out[1] = e.vk;
            return 2;
        }
    if (n == 1 && std::isalnum(static_cast<unsigned char>(*k))) {
        out[0] = uint8_t(state);
        out[1] = uint8_t(std::toupper(static_cast<unsigned char>(*k)));
        return 2;
    }
    if ((k[0] == 'F' || k[0] == 'f') && n >= 2 && n <= 3) {
        int f = std::atoi(std::string(k + 1, n - 1).c_str());
        if (f >= 1 && f <= 24) {
            out[0] = uint8_t(state);
            out[1] = uint8_t(111 + f);
            return 2;
        }
    }
    return 0;
}

std::mutex g_key_mutex;
InterpKeyHooks g_key_hooks;

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

} // namespace

int Key_TextToBytes(const char* text, uint8_t* out, int max) {
    if (!text)
        return -1;
    int count = 0;
    const char* p = text;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            break;
        const char* e = p;
        while (*e && *e != ' ' && *e != '\t')
            ++e;
        uint8_t k[2];
        int n = one_key(p, size_t(e - p), k, p != text && count > 0);
        if (!n)
            return -1;
        for (int i = 0; i < n; ++i, ++count)
            if (out && count < max)
                out[count] = k[i];
        p = e;
    }
    return count;
}

bool Key_BytesToText(const uint8_t* keys, int count, std::string& out) {
    out.clear();
    int i = 0;
    while (i < count) {
        if (!out.empty())
            out += ' ';
        uint8_t b = keys[i];
        if (b == 16 && i + 1 < count && keys[i + 1] >= 1 && keys[i + 1] <= 26) {
            out += "Ctrl+";
            out += char(keys[i + 1] + 64);
            i += 2;
            continue;
        }
        if (b >= 16) {
            if (i > 0 && b >= 'A' && b <= 'Z')
                out += "Shift+";  // a later key reads back as typed
            out += char(b);
            ++i;
            continue;
        }
        if (i + 1 >= count)
            return false;
        uint8_t vk = keys[i + 1];
        if (b & 1)
            out += "Ctrl+";
        if (b & 2)
            out += "Shift+";
        if (b & 4)
            out += "Alt+";
        const char* name = nullptr;
        for (const KeyName& e : kNames)
            if (e.vk == vk && bool(e.mouse) == bool(b & 8)) {
                name = e.name;
                break;
            }
        if (name)
            out += name;
        else if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
            out += char(vk);
        else if (vk >= 112 && vk <= 135)
        {
            char f[8];
            std::snprintf(f, sizeof f, "F%d", vk - 111);
            out += f;
        }
        else
            return false;
        i += 2;
    }
    return true;
}

void Interp_SetKeyHooks(const InterpKeyHooks* hooks) {
    std::lock_guard<std::mutex> lk(g_key_mutex);
    g_key_hooks = hooks ? *hooks : InterpKeyHooks();
}

InterpKeyHooks Interp_GetKeyHooks() {
    std::lock_guard<std::mutex> lk(g_key_mutex);
    return g_key_hooks;
}

int Key_LoadDefinition(const char* path) {
    std::ifstream in(path ? path : "", std::ios::binary);
    if (!in) {
        MsgOut(QW_MSG_STATUS | QW_MSG_LOG, "Keyboard definition '%s' cannot be read", path ? path : "");
        return -1;
    }
    InterpKeyHooks h = Interp_GetKeyHooks();
    std::string line;
    int number = 0, set = 0;
    auto bad = [&](const char* why) {
        MsgOut(QW_MSG_OUTPUT | QW_MSG_LOG, "Keyboard definition '%s' line %d: %s", path, number, why);
    };
    while (std::getline(in, line)) {
        ++number;
        std::string t = trim(line);
        if (t.empty() || t[0] == ';')
            continue;
        // The key text may itself hold '=' (the key "="): split at the last " = ".
        size_t eq = t.rfind(" = ");
        if (eq == std::string::npos) {
            bad("no \" = \" between the keys and the commands");
            continue;
        }
        std::string keys_text = trim(t.substr(0, eq)), cmds_text = t.substr(eq + 3);
        uint8_t keys[64];
        int nkeys = Key_TextToBytes(keys_text.c_str(), keys, sizeof keys);
        if (nkeys <= 0) {
            bad("unknown key name");
            continue;
        }
        if (nkeys > int(sizeof keys)) {
            bad("too many keys");
            continue;
        }
        std::vector<int> cmds;
        bool ok = true;
        size_t start = 0;
        while (start <= cmds_text.size()) {
            size_t comma = cmds_text.find(',', start);
            std::string c = trim(cmds_text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            char* end = nullptr;
            long v = std::strtol(c.c_str(), &end, 10);
            int id = -1;
            if (!c.empty() && end && *end == '\0')
                id = int(v);
            else if (!c.empty())
                id = h.command_id ? h.command_id(c.c_str()) : K_cmd_id_from_name(c.c_str());
            if (id < 0) {
                bad("unknown command");
                ok = false;
                break;
            }
            cmds.push_back(id);
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
        if (!ok)
            continue;
        if (!h.binding_set) {
            bad("no key-binding table to set");
            continue;
        }
        int r = h.binding_set(keys, nkeys, cmds.data(), int(cmds.size()), 1);
        if (r != 0) {
            char why[64];
            std::snprintf(why, sizeof why, "binding refused with code %d", r);
            bad(why);
            continue;
        }
        ++set;
    }
    return set;
}
