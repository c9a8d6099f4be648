// File-mask lists over the regular-expression engine, and the folder scan.
#include "RegExp/filemask.h"

#include <cstring>
#include <string>

#include "VmEngine/vm.h"
#include "opsys/fs.h"
#include "opsys/strlib.h"

namespace {

constexpr size_t kMaxExpression = 261;
FileMaskStopFn g_stop = nullptr;
FileMaskBreakFn g_break = nullptr;

bool Stopped() { return g_stop && g_stop(); }

// Hidden, system and volume entries are skipped (the attribute mask 17:
// read-only and folder), and so are links to folders, which could lead the
// scan round in a circle.
bool Skipped(const FsEntry& e) {
    if (e.attributes & (FS_ATTR_HIDDEN | FS_ATTR_SYSTEM | FS_ATTR_VOLUME)) return true;
    return (e.attributes & FS_ATTR_DIRECTORY) && (e.attributes & FS_ATTR_LINK);
}

int Scan(const std::string& folder, const RE_NODE* program, const char* list, int recurse,
         VMB* destination) {
    if (Stopped()) return 0;
    void* listing = FsListOpen(folder.c_str());
    FsEntry e;
    int result = 1;
    while (result == 1 && FsListNext(listing, &e)) {
        if (Stopped()) {
            result = 0;
        } else if (Skipped(e)) {
            continue;
        } else if (e.attributes & FS_ATTR_DIRECTORY) {
            if (!recurse || !strcmp(e.name, ".") || !strcmp(e.name, "..")) continue;
            result = Scan(FsEntryPath(folder, e.name), program, list, recurse, destination);
        } else if (FileMaskMatchList(e.name, program, list)) {
            if (destination &&
                vm_find_line(destination, FsEntryPath(folder, e.name).c_str(),
                             VM_CMP_NO_DUP | VM_CMP_PATH | VM_CMP_NOCASE) <= 0)
                result = -1;
        }
    }
    FsListClose(listing);
    return result;
}

} // namespace

void FileMaskExpression(const char* list, char* out, size_t size) {
    if (!out || size == 0) return;
    std::string expr;
    char tok[kMaxExpression + 1];
    const char* s = list ? list : "";
    while (*s) {
        s = StrNextToken(tok, kMaxExpression, s);
        if (!tok[0] && !*s) break;
        std::string alt = (expr.empty() ? "^" : "|^") + std::string(tok) + "$";
        if (expr.size() + alt.size() > kMaxExpression) {
            // A first mask too long for the expression is cut to fit.
            if (expr.empty()) expr = alt.substr(0, kMaxExpression - 1) + "$";
            break;
        }
        expr += alt;
    }
    size_t n = std::min(expr.size(), size - 1);
    memcpy(out, expr.data(), n);
    out[n] = '\0';
}

RE_NODE* FileMaskToRegex(const char* list, int flags, int* error) {
    char expr[kMaxExpression + 1];
    FileMaskExpression(list, expr, sizeof expr);
    return RE_Compile(expr, flags, RE_DIALECT_ORIGINAL, error);
}

int FileMaskMatchList(const char* name, const RE_NODE* program, const char* list) {
    if (!name || !program) return 0;
    int len = static_cast<int>(strlen(name));
    if (len > 0 && RegexMatchRange(program, name, len, 0, nullptr, 0)) return 1;
    const char* base = name;
    for (const char* p = name; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':') base = p + 1;
    if (strchr(base, '.') || !list || !strchr(list, '.')) return 0;
    std::string dotted = std::string(name) + ".";
    return RegexMatchRange(program, dotted.c_str(), static_cast<int>(dotted.size()), 0, nullptr,
                           0);
}

int FileMaskMatch(const char* folder, const RE_NODE* program, const char* list, int recurse,
                  VMB* destination) {
    if (g_break) g_break();
    if (!folder || !program) return 1;
    return Scan(folder, program, list, recurse, destination);
}

void FileMaskSetStopHooks(FileMaskStopFn stop_requested, FileMaskBreakFn clear_break) {
    g_stop = stop_requested;
    g_break = clear_break;
}
