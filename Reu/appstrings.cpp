#include "Reu/appstrings.h"

#include <cstring>

#include "opsys/msgout.h"

namespace {
constexpr int kStringSize = 1024; // 1023 characters and the terminator
constexpr int kLineMax = 99;
} // namespace

int LoadAppStringLines(VMB* buffer, unsigned id) {
    if (!vmb_in_use(buffer)) return 0;
    char text[kStringSize];
    if (!LoadAppString(id, text, sizeof text)) return 0;
    // All lines or none: other threads never see half a text, and a failed
    // append leaves the buffer as it was.
    VmGuard guard;
    const int before = vm_last_ln(buffer);
    if (before < 0) return 0;
    const char* p = text;
    for (;;) {
        const char* cr = strchr(p, '\r');
        size_t len = cr ? static_cast<size_t>(cr - p) : strlen(p);
        char line[kLineMax + 1];
        if (len > kLineMax) len = kLineMax;
        memcpy(line, p, len);
        line[len] = '\0';
        if (vm_append_line(buffer, line) <= 0) {
            int added = vm_last_ln(buffer) - before;
            if (added > 0) vm_delete_lines(buffer, before + 1, added, 0);
            return 0;
        }
        if (!cr) break;
        p = cr + 1;
        if (*p == '\n') ++p;
        if (!*p) break;
    }
    return 1;
}
