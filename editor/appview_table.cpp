// Document-event hooks and go-to-line requests (see appview_table.h).
#include "editor/appview_table.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <algorithm>

namespace {

struct HookEntry {
    uint32_t mask = 0; // 0: free
    int busy = 0;
    std::string name;
    int flag = 0;
    int value = 0;
};
HookEntry g_hooks[QW_DOC_HOOK_SLOTS];
DocEventRunner g_runner = nullptr;

bool SameName(const std::string& a, const char* b) { return a == b; }

} // namespace

int RegisterNamedEntry(uint32_t mask, int op, const char* name, int flag, int value) {
    if (op == 0 && !name) {
        for (auto& e : g_hooks)
            e = HookEntry{};
        return 1;
    }
    if (!name)
        return 0;
    if (op == 0) {
        for (auto& e : g_hooks)
            if (e.mask & mask && SameName(e.name, name)) {
                e = HookEntry{};
                return 1;
            }
        return 0;
    }
    if (op != 1 || mask == 0)
        return 0;
    for (const auto& e : g_hooks)
        if ((e.mask & mask) && SameName(e.name, name))
            return 0;
    for (auto& e : g_hooks)
        if (!e.mask) {
            e.mask = mask;
            e.busy = 0;
            e.name = name;
            e.flag = flag & 1;
            e.value = value;
            return 1;
        }
    return 0;
}

void SetDocumentEventRunner(DocEventRunner runner) { g_runner = runner; }

int FireDocumentEvent(uint32_t event, void* document, DocEventRecord* record) {
    int result = -1;
    DocEventRecord local;
    if (!record)
        record = &local;
    for (auto& e : g_hooks) {
        if (!(e.mask & event) || e.busy || !g_runner)
            continue;
        e.busy = 1;
        std::string name = e.name; // the program may change the table
        result = g_runner(name.c_str(), e.flag, int(event), 4096, document, record);
        e.busy = 0;
        if (!record->continue_walk)
            break;
    }
    return result;
}

GoToLineRequest ParseGoToLineText(const char* text, int caret_line, int line_count,
                                  bool fully_read) {
    GoToLineRequest r;
    const char* p = text ? text : "";
    while (*p == ' ' || *p == '\t')
        ++p;
    int sign = 0;
    if (*p == '+' || *p == '-')
        sign = *p++ == '+' ? 1 : -1;
    if (!isdigit(static_cast<unsigned char>(*p))) {
        r.code = QW_IDS_NOT_LINE_NUMBER;
        return r;
    }
    errno = 0;
    char* end = nullptr;
    long n = strtol(p, &end, 10);
    while (end && (*end == ' ' || *end == '\t'))
        ++end;
    if (errno || !end || *end || n > INT_MAX / 2) {
        r.code = QW_IDS_NOT_LINE_NUMBER;
        return r;
    }
    long long target = sign ? (long long)caret_line + sign * (long long)n : n;
    r.relative = sign * int(n);
    r.asked = int(std::max<long long>(std::min<long long>(target, INT_MAX), INT_MIN));
    if (target < 1) {
        r.code = QW_IDS_BEFORE_START;
        r.line = int(target);
        return r;
    }
    if (fully_read && target > line_count) {
        r.code = QW_IDS_PAST_END;
        r.line = line_count > 0 ? line_count : 1;
        return r;
    }
    r.line = int(target);
    return r;
}
