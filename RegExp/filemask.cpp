// File-mask lists over the regular-expression engine, and the folder scan.
#include "RegExp/filemask.h"

#include <cstring>
#include <string>

#include "VmEngine/vm.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

constexpr size_t kMaxExpression = 261;
FileMaskStopFn g_stop = nullptr;
FileMaskBreakFn g_break = nullptr;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The list's next token: blanks skipped, a token in double quotes runs to
// the closing quote (which is dropped), otherwise to the next blank.
const char* NextToken(const char* s, std::string& tok) {
    tok.clear();
    while (IsBlank(*s)) ++s;
    if (*s == '"') {
        ++s;
        while (*s && *s != '"') tok.push_back(*s++);
        if (*s == '"') ++s;
    } else {
        while (*s && !IsBlank(*s)) tok.push_back(*s++);
    }
    while (IsBlank(*s)) ++s;
    return s;
}

bool Stopped() { return g_stop && g_stop(); }

#ifdef _WIN32
constexpr char kSep = '\\';
#else
constexpr char kSep = '/';
#endif

std::string Join(const std::string& dir, const char* name) {
    std::string out = dir;
    if (!out.empty() && out.back() != '\\' && out.back() != '/' && out.back() != ':')
        out.push_back(kSep);
    return out + name;
}

// One folder entry as the scan needs it.
struct Entry {
    const char* name;
    bool folder;
};

// Enumerates the entries of a folder that the attribute mask 17 (read-only
// and folder) admits: hidden and system entries are skipped, and so are
// links to folders, which could lead the scan round in a circle.
class FolderReader {
public:
    explicit FolderReader(const std::string& folder) {
#ifdef _WIN32
        handle_ = FindFirstFileA(Join(folder, "*.*").c_str(), &data_);
        pending_ = handle_ != INVALID_HANDLE_VALUE;
#else
        folder_ = folder;
        dir_ = opendir(folder.c_str());
#endif
    }
    ~FolderReader() {
#ifdef _WIN32
        if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
#else
        if (dir_) closedir(dir_);
#endif
    }
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    bool Next(Entry& e) {
#ifdef _WIN32
        while (pending_ || (handle_ != INVALID_HANDLE_VALUE && FindNextFileA(handle_, &data_))) {
            pending_ = false;
            DWORD a = data_.dwFileAttributes;
            if (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | 0x8)) continue;
            bool folder = (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (folder && (a & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
            e.name = data_.cFileName;
            e.folder = folder;
            return true;
        }
        return false;
#else
        if (!dir_) return false;
        while (struct dirent* d = readdir(dir_)) {
            // Dot files are the hidden entries here; `.` and `..` pass as folders.
            bool dots = !strcmp(d->d_name, ".") || !strcmp(d->d_name, "..");
            if (d->d_name[0] == '.' && !dots) continue;
            struct stat st;
            if (!dots && lstat(Join(folder_, d->d_name).c_str(), &st) != 0) continue;
            if (!dots && !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) continue;
            e.name = d->d_name;
            e.folder = dots || S_ISDIR(st.st_mode);
            return true;
        }
        return false;
#endif
    }

private:
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA data_;
    bool pending_ = false;
#else
    std::string folder_;
    DIR* dir_ = nullptr;
#endif
};

int Scan(const std::string& folder, const RE_NODE* program, const char* list, int recurse,
         VMB* destination) {
    if (Stopped()) return 0;
    FolderReader reader(folder);
    Entry e;
    while (reader.Next(e)) {
        if (Stopped()) return 0;
        if (e.folder) {
            if (!recurse || !strcmp(e.name, ".") || !strcmp(e.name, "..")) continue;
            int r = Scan(Join(folder, e.name), program, list, recurse, destination);
            if (r != 1) return r;
        } else if (FileMaskMatchList(e.name, program, list)) {
            if (destination &&
                vm_find_line(destination, Join(folder, e.name).c_str(),
                             VM_CMP_NO_DUP | VM_CMP_PATH | VM_CMP_NOCASE) <= 0)
                return -1;
        }
    }
    return 1;
}

} // namespace

void FileMaskExpression(const char* list, char* out, size_t size) {
    if (!out || size == 0) return;
    std::string expr, tok;
    const char* s = list ? list : "";
    while (*s) {
        s = NextToken(s, tok);
        if (tok.empty() && !*s) break;
        std::string alt = (expr.empty() ? "^" : "|^") + tok + "$";
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
