// The command values' profile over the framework's registry profile.
#include "commands/cmdprofile_win32.h"

#include <memory>
#include <mutex>

#include "commands/cmdvalues.h"
#include "framework/fwprofile.h"
#include "opsys/strlib.h"

namespace {

std::mutex g_mutex;
std::shared_ptr<const fw::Profile> g_profile;

std::shared_ptr<const fw::Profile> current() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_profile;
}

int get_int(const char* section, const char* key, int def) {
    auto p = current();
    return p ? p->GetInt(section, key, def) : def;
}

int write_int(const char* section, const char* key, int value) {
    auto p = current();
    return p && p->WriteInt(section, key, value) ? 1 : 0;
}

int get_string(const char* section, const char* key, const char* def, char* out, int size) {
    if (!out || size <= 0) return 0;
    out[0] = '\0';
    auto p = current();
    // A marker default tells a missing entry from an empty one.
    static const char kMissing[] = "\x01missing";
    std::string v = p ? p->GetString(section, key, kMissing) : std::string(kMissing);
    bool found = v != kMissing;
    CopyStringBounded(out, found ? v.c_str() : (def ? def : ""), size_t(size - 1));
    return found ? 1 : 0;
}

int write_string(const char* section, const char* key, const char* value) {
    auto p = current();
    return p && p->WriteString(section, key, value ? value : "") ? 1 : 0;
}

} // namespace

void K_cmd_use_profile(const fw::Profile* profile) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_profile = profile ? std::make_shared<const fw::Profile>(*profile) : nullptr;
    }
    if (!profile) {
        K_cmd_set_profile(nullptr);
        return;
    }
    static const K_cmd_profile ops = {&get_int, &write_int, &get_string, &write_string};
    K_cmd_set_profile(&ops);
}
