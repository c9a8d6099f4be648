// The Win32 side of the file services.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "opsys/files.h"
#include "opsys/msgout.h"
#include "opsys/platform_internal.h"
#include "opsys/shell_outlets.h"
#include "opsys/strlib.h"
#include "opsys/systime.h"

struct QwFileFinder {
    int mode;             // 0 finished, 1 the next call is the first, 2 continues
    HANDLE search;
    char pattern[QW_PATH_BUF];
    WIN32_FIND_DATAA entry;
    unsigned mask;
    int one_shot;
};

namespace {

bool usable(const char* p) { return p && *p && PathCheck(p) != 1; }

void unquote(char* dst, const char* p) {
    char tmp[QW_PATH_BUF * 2];
    StrQuote(tmp, sizeof tmp, p ? p : "", 0);
    CopyStringBounded(dst, tmp, QW_PATH_MAX);
}

// Critical-error boxes ("insert a disk") must never block a query.
class QuietErrors {
public:
    QuietErrors() : old_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~QuietErrors() { SetErrorMode(old_); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    UINT old_;
};

class SearchHandle {
public:
    explicit SearchHandle(HANDLE h) : h_(h) {}
    ~SearchHandle() {
        if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
    }
    SearchHandle(const SearchHandle&) = delete;
    SearchHandle& operator=(const SearchHandle&) = delete;
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

uint64_t local_time(const FILETIME& ft) {
    FILETIME local;
    if (!FileTimeToLocalFileTime(&ft, &local)) local = ft;
    return (static_cast<uint64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
}

void* main_window() {
    QwShellOutlets o = QwGetShellOutlets();
    return o.main_window ? o.main_window() : nullptr;
}

} // namespace

// ---- file finder ----

QwFileFinder* FileFind(unsigned flags, unsigned* attributes, QwFileFinder* finder, const char* pattern,
                       unsigned mask) {
    if (attributes) *attributes = 0;
    if (!finder) {
        if (!usable(pattern)) return nullptr;
        finder = new QwFileFinder{};
        finder->mode = 1;
        finder->search = INVALID_HANDLE_VALUE;
        strcpy(finder->pattern, pattern);
        finder->mask = mask;
        finder->one_shot = (flags & QW_FIND_ONE_SHOT) != 0;
    }
    for (;;) {
        if (finder->mode == 1) {
            QuietErrors quiet;
            finder->search = FindFirstFileA(finder->pattern, &finder->entry);
            if (finder->search == INVALID_HANDLE_VALUE) break;
            finder->mode = 2;
        } else if (finder->mode == 2 && finder->search != INVALID_HANDLE_VALUE) {
            if (!FindNextFileA(finder->search, &finder->entry)) break;
        } else {
            break;
        }
        unsigned a = finder->entry.dwFileAttributes;
        unsigned special = a & (QW_ATTR_HIDDEN | QW_ATTR_SYSTEM | QW_ATTR_VOLUME | QW_ATTR_DIRECTORY);
        if (special & ~finder->mask) continue;
        if (attributes) *attributes = a;
        if (finder->one_shot) {
            FindClose(finder->search);
            finder->search = INVALID_HANDLE_VALUE;
            finder->mode = 0;
        }
        return finder;
    }
    FileFindClose(finder);
    return nullptr;
}

char* FileFindName(QwFileFinder* finder, char* dst) {
    if (!dst) return dst;
    dst[0] = '\0';
    if (finder) CopyStringBounded(dst, finder->entry.cFileName, QW_PATH_MAX);
    return dst;
}

char* FileFindPath(QwFileFinder* finder, char* dst) {
    if (!dst) return dst;
    dst[0] = '\0';
    if (!finder) return dst;
    char dir[QW_PATH_BUF];
    strcpy(dir, finder->pattern);
    *PathFileName(dir) = '\0';
    return PathJoin(dst, dir, finder->entry.cFileName);
}

void FileFindInfo(QwFileFinder* finder, QwFileInfo* info) {
    if (!finder || !info) return;
    info->attributes = finder->entry.dwFileAttributes;
    info->write_time = local_time(finder->entry.ftLastWriteTime);
    info->size = finder->entry.nFileSizeLow;
}

void FileFindClose(QwFileFinder* finder) {
    if (!finder) return;
    if (finder->search != INVALID_HANDLE_VALUE) FindClose(finder->search);
    delete finder;
}

// ---- existence and attributes ----

int FileGetInfo(const char* p, QwFileInfo* info, char* path_out) {
    if (path_out) path_out[0] = '\0';
    QwFileFinder* f = FileFind(QW_FIND_ONE_SHOT, nullptr, nullptr, p, 7);
    if (!f) return 0;
    if (info) FileFindInfo(f, info);
    if (path_out) FileFindPath(f, path_out);
    FileFindClose(f);
    return 1;
}

int FileExists(const char* p) { return FileGetInfo(p, nullptr, nullptr); }

int DriveIsReady(const char* p, unsigned* type) {
    if (!p || !((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) || p[1] != ':') return -1;
    int bit = CharToUpper(static_cast<unsigned char>(p[0])) - 'A';
    if (!(GetLogicalDrives() & (1u << bit))) return 0;
    if (type) {
        char root[4] = {p[0], ':', '\\', '\0'};
        *type = GetDriveTypeA(root);
    }
    return 1;
}

int DirExists(const char* p) {
    char path[QW_PATH_BUF];
    if (!p) return 0;
    if (strlen(p) > QW_PATH_MAX + 2) return 0;
    unquote(path, p);
    if (!*path || DriveIsReady(path, nullptr) == 0) return 0;
    QuietErrors quiet;
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

int FileIsDevice(const char* p) {
    char name[QW_PATH_BUF];
    if (!p) return 0;
    unquote(name, p);
    size_t n = strlen(name);
    if (n && name[n - 1] == ':') name[n - 1] = '\0';
    if (!*name) return 0;
    QuietErrors quiet;
    HANDLE h = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    DWORD type = GetFileType(h);
    CloseHandle(h);
    return type != FILE_TYPE_DISK;
}

namespace qw_platform {

int file_date_text(char* dst, int size, uint64_t file_time, int short_form) {
    return FileDateFormatLocale(dst, size, file_time, short_form);
}

int file_time_text(char* dst, int size, uint64_t file_time, int hours24) {
    return FileTimeFormatLocale(dst, size, file_time, hours24 ? TIME_FORCE24HOURFORMAT : 0);
}

bool make_dir(const char* path) { return CreateDirectoryA(path, nullptr) || DirExists(path); }

unsigned file_error(int system_error) { return static_cast<unsigned>(system_error); }

} // namespace qw_platform

// ---- current directory ----

int CurrentDirGet(char* dst) {
    if (!dst) return 0;
    QuietErrors quiet;
    DWORD n = GetCurrentDirectoryA(QW_PATH_BUF, dst);
    if (n == 0 || n > QW_PATH_MAX) {
        dst[0] = '\0';
        return 0;
    }
    return 1;
}

int CurrentDirSet(const char* p) {
    bool ui = IsAppThread();
    void* main = ui ? main_window() : nullptr;
    if (main) qw_platform::send_message(main, 0x467, 1, 0);
    int ok;
    {
        QuietErrors quiet;
        ok = usable(p) && SetCurrentDirectoryA(p);
    }
    if (main) qw_platform::send_message(main, 0x467, 2, ok ? 1 : 0);
    return ok;
}

// ---- full, true-case, long and short names ----

int PathFullName(char* dst, const char* p) {
    if (!dst) return 0;
    char unq[QW_PATH_BUF];
    unquote(unq, p);
    char buf[QW_PATH_BUF];
    char* part = nullptr;
    DWORD n = (p && strlen(p) <= QW_PATH_MAX + 2 && *unq) ? GetFullPathNameA(unq, QW_PATH_BUF, buf, &part) : 0;
    if (n > 0 && n < QW_PATH_MAX) {
        strcpy(dst, buf);
        return 1;
    }
    strcpy(dst, unq);
    return 0;
}

int PathFullNameTrueCase(char* dst, const char* p) {
    if (!dst) return 0;
    char buf[QW_PATH_BUF];
    char* part = nullptr;
    DWORD n = p && *p && strlen(p) <= QW_PATH_MAX ? GetFullPathNameA(p, QW_PATH_BUF, buf, &part) : 0;
    if (n == 0 || n > QW_PATH_MAX) {
        CopyStringBounded(dst, p ? p : "", QW_PATH_MAX);
        return 0;
    }
    strcpy(dst, buf);
    WIN32_FIND_DATAA fd;
    HANDLE h;
    {
        QuietErrors quiet;
        h = FindFirstFileA(p, &fd);
    }
    SearchHandle guard(h);
    if (guard.ok()) {
        char* name = PathFileName(dst);
        size_t keep = static_cast<size_t>(name - dst);
        if (keep + strlen(fd.cFileName) <= QW_PATH_MAX) strcpy(name, fd.cFileName);
    }
    return 1;
}

namespace {

using LongPathFn = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);

DWORD WINAPI long_path_fallback(LPCSTR src, LPSTR dst, DWORD size) {
    if (!FileExists(src) && !DirExists(src)) return 0;
    char full[MAX_PATH * 2];
    char* part = nullptr;
    DWORD n = GetFullPathNameA(src, sizeof full, full, &part);
    if (n == 0) return 0;
    if (n >= MAX_PATH) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return 0;
    }
    WCHAR wide[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, full, -1, wide, MAX_PATH)) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return 0;
    }
    IShellFolder* desktop = nullptr;
    HRESULT hr = SHGetDesktopFolder(&desktop);
    if (FAILED(hr) || !desktop) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    LPITEMIDLIST pidl = nullptr;
    hr = desktop->ParseDisplayName(nullptr, nullptr, wide, nullptr, &pidl, nullptr);
    desktop->Release();
    if (FAILED(hr)) {
        SetLastError(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_INVALID_DATA);
        return 0;
    }
    char out[MAX_PATH];
    BOOL ok = SHGetPathFromIDListA(pidl, out);
    CoTaskMemFree(pidl);
    if (!ok) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    DWORD len = static_cast<DWORD>(strlen(out));
    if (!dst || len + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return len + 1;
    }
    memcpy(dst, out, len + 1);
    return len;
}

std::atomic<LongPathFn> g_long_path{nullptr};

} // namespace

unsigned PathLongName(const char* src, char* dst, unsigned size) {
    if (!src) return 0;
    LongPathFn fn = g_long_path.load();
    if (!fn) {
        HMODULE k = GetModuleHandleA("KERNEL32");
        fn = k ? reinterpret_cast<LongPathFn>(reinterpret_cast<void*>(GetProcAddress(k, "GetLongPathNameA")))
               : nullptr;
        if (!fn) fn = long_path_fallback;
        g_long_path.store(fn);
    }
    DWORD n = fn(src, dst, size);
    if (n == 0 && fn != long_path_fallback && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
        g_long_path.store(long_path_fallback);
        n = long_path_fallback(src, dst, size);
    }
    return n;
}

int PathShortName(char* dst, const char* src) {
    if (!dst) return 0;
    DWORD n = src && *src ? GetShortPathNameA(src, dst, QW_PATH_BUF) : 0;
    if (n == 0 || n > QW_PATH_MAX) {
        CopyStringBounded(dst, src ? src : "", QW_PATH_MAX);
        return 0;
    }
    return 1;
}

// ---- shell icons ----

namespace {
struct IconEntry {
    HICON icon;
    int index;
};
std::mutex g_icon_mutex;
std::unordered_map<std::string, IconEntry>* g_icons = nullptr;
} // namespace

int FileGetIcon(const char* p, void** icon) {
    if (icon) *icon = nullptr;
    std::lock_guard<std::mutex> lock(g_icon_mutex);
    if (!p) {
        if (g_icons) {
            for (auto& e : *g_icons)
                if (e.second.icon) DestroyIcon(e.second.icon);
            delete g_icons;
            g_icons = nullptr;
        }
        return -1;
    }
    if (!g_icons) g_icons = new std::unordered_map<std::string, IconEntry>(10);
    const char* ext = PathExtension(p);
    std::string key = ext ? std::string(".") + ext : std::string(p);
    for (char& c : key) c = static_cast<char>(CharToLower(static_cast<unsigned char>(c)));
    auto it = g_icons->find(key);
    if (it != g_icons->end() && (!icon || it->second.icon)) {
        if (icon) *icon = it->second.icon;
        return it->second.index;
    }
    SHFILEINFOA sfi;
    memset(&sfi, 0, sizeof sfi);
    UINT flags = SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (icon ? SHGFI_ICON : 0);
    if (!SHGetFileInfoA(p, FILE_ATTRIBUTE_NORMAL, &sfi, sizeof sfi, flags)) return -1;
    IconEntry& e = (*g_icons)[key];
    if (e.icon && sfi.hIcon) DestroyIcon(e.icon);
    if (sfi.hIcon) e.icon = sfi.hIcon;
    e.index = sfi.iIcon;
    if (icon) *icon = e.icon;
    return e.index;
}

int WindowsDirIcon(int open) {
    char dir[MAX_PATH];
    if (!GetWindowsDirectoryA(dir, sizeof dir)) return -1;
    SHFILEINFOA sfi;
    memset(&sfi, 0, sizeof sfi);
    UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (open ? SHGFI_OPENICON : 0);
    if (!SHGetFileInfoA(dir, 0, &sfi, sizeof sfi, flags)) return -1;
    return sfi.iIcon;
}

// ---- shell file operations ----

struct ShellFileOperation::Impl {
    std::vector<std::string> sources;
    std::vector<std::string> destinations;
    std::string title;
    int operation = 0;
    HWND owner = nullptr;
    unsigned flags = 0;
};

ShellFileOperation::ShellFileOperation() : impl_(new Impl) {}
ShellFileOperation::~ShellFileOperation() { delete impl_; }

void ShellFileOperation::Setup(int operation, void* owner, int silent, int allow_undo, int files_only,
                               int no_confirmation, int no_confirm_mkdir, int rename_on_collision,
                               int simple_progress) {
    unsigned f = 0;
    if (silent) f |= FOF_SILENT;
    if (allow_undo) f |= FOF_ALLOWUNDO;
    if (files_only) f |= FOF_FILESONLY;
    if (no_confirmation) f |= FOF_NOCONFIRMATION;
    if (no_confirm_mkdir) f |= FOF_NOCONFIRMMKDIR;
    if (rename_on_collision) f |= FOF_RENAMEONCOLLISION;
    if (simple_progress) f |= FOF_SIMPLEPROGRESS;
    SetupFlags(operation, owner, f);
}

void ShellFileOperation::SetupFlags(int operation, void* owner, unsigned flags) {
    impl_->operation = operation;
    impl_->owner = static_cast<HWND>(owner);
    impl_->flags = flags;
}

void ShellFileOperation::AddSource(const char* p) { impl_->sources.emplace_back(p ? p : ""); }
void ShellFileOperation::AddDestination(const char* p) { impl_->destinations.emplace_back(p ? p : ""); }
void ShellFileOperation::SetProgressTitle(const char* t) { impl_->title = t ? t : ""; }

void ShellFileOperation::Reset() {
    Impl* fresh = new Impl;
    delete impl_;
    impl_ = fresh;
}

namespace {
// Texts separated by NUL and ended by two NULs; false when a path is empty
// or too long (the shell would act on a cut name).
bool build_list(const std::vector<std::string>& paths, std::string& out) {
    out.clear();
    for (const std::string& p : paths) {
        if (p.empty() || p.size() > QW_PATH_MAX) return false;
        out += p;
        out += '\0';
    }
    out += '\0';
    return true;
}
} // namespace

int ShellFileOperation::Execute(int* started, int* result, int* aborted) {
    if (started) *started = 0;
    if (result) *result = 0;
    if (aborted) *aborted = 0;
    Impl& m = *impl_;
    if (m.operation < Move || m.operation > Rename || m.sources.empty()) return 0;
    if (m.operation != Delete) {
        if (m.destinations.empty()) return 0;
        if (m.destinations.size() > 1 && m.destinations.size() != m.sources.size()) return 0;
    }
    std::string from, to;
    if (!build_list(m.sources, from)) return 0;
    if (m.operation != Delete && !build_list(m.destinations, to)) return 0;
    SHFILEOPSTRUCTA op;
    memset(&op, 0, sizeof op);
    op.hwnd = m.owner;
    op.wFunc = m.operation == Move ? FO_MOVE : m.operation == Copy ? FO_COPY
             : m.operation == Delete ? FO_DELETE : FO_RENAME;
    op.pFrom = from.c_str();
    op.pTo = m.operation != Delete ? to.c_str() : nullptr;
    op.fFlags = static_cast<FILEOP_FLAGS>(m.flags);
    if (m.destinations.size() > 1) op.fFlags |= FOF_MULTIDESTFILES;
    op.lpszProgressTitle = m.title.c_str();
    int r = SHFileOperationA(&op);
    if (started) *started = 1;
    if (result) *result = r;
    if (aborted) *aborted = op.fAnyOperationsAborted ? 1 : 0;
    return r == 0;
}

int ShellCopyFiles(const char* from, const char* to, int show_progress) {
    ShellFileOperation op;
    op.Setup(ShellFileOperation::Copy, main_window(), !show_progress, 0, 1, 1, 1, 0, 0);
    op.AddSource(from);
    op.AddDestination(to);
    return op.Execute(nullptr, nullptr, nullptr);
}

int ShellCopyFilesEx(const char* dest_folder, const char* new_ext, const char* pattern, int show_progress) {
    ShellFileOperation op;
    op.Setup(ShellFileOperation::Copy, main_window(), !show_progress, 0, 1, 1, 1, 0, 0);
    QwFileFinder* f = FileFind(0, nullptr, nullptr, pattern, 0);
    for (; f; f = FileFind(0, nullptr, f, nullptr, 0)) {
        char src[QW_PATH_BUF], name[QW_PATH_BUF], dst[QW_PATH_BUF];
        FileFindPath(f, src);
        FileFindName(f, name);
        if (!PathSetExtension(name, new_ext) || !PathJoin(dst, dest_folder, name)) {
            FileFindClose(f);
            return 0;
        }
        op.AddSource(src);
        op.AddDestination(dst);
    }
    return op.Execute(nullptr, nullptr, nullptr);
}
