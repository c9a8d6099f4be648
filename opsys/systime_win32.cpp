#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "opsys/systime.h"

namespace {

bool file_time_to_system(uint64_t ft, SYSTEMTIME* st) {
    FILETIME f;
    f.dwLowDateTime = static_cast<DWORD>(ft);
    f.dwHighDateTime = static_cast<DWORD>(ft >> 32);
    return FileTimeToSystemTime(&f, st) != 0;
}

int finish(char* dst, int size, int n) {
    if (n <= 0) {
        if (dst && size > 0) dst[0] = '\0';
        return 0;
    }
    return n - 1;   // the platform counts the terminator
}

} // namespace

int TimeFormatLocale(char* dst, int size, unsigned flags) {
    if (!dst || size <= 0) return 0;
    return finish(dst, size, GetTimeFormatA(LOCALE_USER_DEFAULT, flags, nullptr, nullptr, dst, size));
}

int FileTimeFormatLocale(char* dst, int size, uint64_t file_time, unsigned flags) {
    SYSTEMTIME st;
    if (!dst || size <= 0) return 0;
    if (!file_time_to_system(file_time, &st)) return finish(dst, size, 0);
    return finish(dst, size, GetTimeFormatA(LOCALE_USER_DEFAULT, flags, &st, nullptr, dst, size));
}

int DateFormatLocale(char* dst, int size, int short_form) {
    if (!dst || size <= 0) return 0;
    DWORD f = short_form ? DATE_SHORTDATE : DATE_LONGDATE;
    return finish(dst, size, GetDateFormatA(LOCALE_USER_DEFAULT, f, nullptr, nullptr, dst, size));
}

int FileDateFormatLocale(char* dst, int size, uint64_t file_time, int short_form) {
    SYSTEMTIME st;
    if (!dst || size <= 0) return 0;
    if (!file_time_to_system(file_time, &st)) return finish(dst, size, 0);
    DWORD f = short_form ? DATE_SHORTDATE : DATE_LONGDATE;
    return finish(dst, size, GetDateFormatA(LOCALE_USER_DEFAULT, f, &st, nullptr, dst, size));
}

int GetTimeText(char* dst, int size, int) { return TimeFormatLocale(dst, size, 0); }
int GetDateText(char* dst, int size, int option) { return DateFormatLocale(dst, size, option == 1); }

void OSVersionGet(unsigned* major, unsigned* minor, int* is_nt) {
    OSVERSIONINFOA vi;
    memset(&vi, 0, sizeof vi);
    vi.dwOSVersionInfoSize = sizeof vi;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = GetVersionExA(&vi);
#pragma GCC diagnostic pop
    if (major) *major = ok ? vi.dwMajorVersion : 0;
    if (minor) *minor = ok ? vi.dwMinorVersion : 0;
    if (is_nt) *is_nt = ok && vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

unsigned OSVersionFlags() {
    static std::atomic<unsigned> flags{0};
    unsigned f = flags.load();
    if (!f) {
        unsigned major = 0, minor = 0;
        int nt = 0;
        OSVersionGet(&major, &minor, &nt);
        f = OSVersionFlagsFor(major, minor, nt);
        flags.store(f);
    }
    return f;
}

int OSIsNTFamily() { return (OSVersionFlags() & (0x08 | 0x10 | 0x20)) != 0; }
int OSHasFeature() { return (OSVersionFlags() & (0x04 | 0x10 | 0x20 | 0x40)) != 0; }

CModuleVersion::CModuleVersion() : fixed{}, language(0), code_page(1252), block_(nullptr) {}

CModuleVersion::~CModuleVersion() { delete[] block_; }

int CModuleVersion::GetFileVersionInfo(const char* module_name) {
    delete[] block_;
    block_ = nullptr;
    memset(fixed, 0, sizeof fixed);
    language = 0;
    code_page = 1252;

    char path[MAX_PATH + 1];
    HMODULE mod = GetModuleHandleA(module_name);
    if (mod) {
        DWORD n = GetModuleFileNameA(mod, path, sizeof path);
        if (n == 0 || n >= sizeof path) return 0;
    } else if (module_name && strlen(module_name) <= MAX_PATH) {
        strcpy(path, module_name);   // a file that is not loaded
    } else {
        return 0;
    }
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (!size) return 0;
    block_ = new (std::nothrow) unsigned char[size];
    if (!block_) return 0;
    if (!::GetFileVersionInfoA(path, 0, size, block_)) {
        delete[] block_;
        block_ = nullptr;
        return 0;
    }
    VS_FIXEDFILEINFO* ffi = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(block_, "\\", reinterpret_cast<void**>(&ffi), &len) || !ffi ||
        len < sizeof(VS_FIXEDFILEINFO))
        return 0;
    memcpy(fixed, ffi, sizeof fixed);
    struct Translation {
        WORD language;
        WORD code_page;
    };
    Translation* tr = nullptr;
    if (VerQueryValueA(block_, "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr), &len) && tr &&
        len >= sizeof(Translation)) {
        language = tr->language;
        code_page = tr->code_page;
    }
    return ffi->dwSignature == 0xFEEF04BD;
}

std::string CModuleVersion::GetValue(const char* key) const {
    if (!block_ || !key) return std::string();
    char query[128];
    snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", language, code_page, key);
    char* value = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(block_, query, reinterpret_cast<void**>(&value), &len) || !value || !len)
        return std::string();
    return std::string(value, strnlen(value, len));
}

std::string CModuleVersion::FileVersionText() const {
    if (fixed[0] != 0xFEEF04BD) return std::string();
    // fixed[2] and fixed[3] are the file version, most significant first
    char buf[48];
    snprintf(buf, sizeof buf, "%u.%u.%u.%u", static_cast<unsigned>(fixed[2] >> 16),
             static_cast<unsigned>(fixed[2] & 0xFFFF), static_cast<unsigned>(fixed[3] >> 16),
             static_cast<unsigned>(fixed[3] & 0xFFFF));
    return buf;
}

int CModuleVersion::DllGetVersion(const char* module, void* version_record, unsigned record_size) {
    if (!module || !version_record || record_size < sizeof(DWORD)) return 0;
    HMODULE mod = LoadLibraryA(module);
    if (!mod) return 0;
    using Fn = HRESULT(CALLBACK*)(void*);
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(mod, "DllGetVersion")));
    int ok = 0;
    if (fn) {
        memset(version_record, 0, record_size);
        *static_cast<DWORD*>(version_record) = record_size;
        ok = SUCCEEDED(fn(version_record));
    }
    FreeLibrary(mod);
    return ok;
}

int CharBaseKeyChar(int ch, unsigned modifiers) {
    BYTE state[256];
    memset(state, 0, sizeof state);
    if (modifiers & 0x1) state[VK_CONTROL] = 0x80;
    if (modifiers & 0x2) state[VK_SHIFT] = 0x80;
    BYTE clean[256];
    memset(clean, 0, sizeof clean);
    WORD out[2];
    UINT space_scan = MapVirtualKeyA(VK_SPACE, 0 /* MAPVK_VK_TO_VSC */);
    ToAscii(VK_SPACE, space_scan, clean, out, 0);   // flush a pending dead key
    for (UINT scan = 1; scan <= 149; ++scan) {
        UINT vk = MapVirtualKeyA(scan, 1 /* MAPVK_VSC_TO_VK */);
        if (vk < 48) continue;
        out[0] = out[1] = 0;
        int n = ToAscii(vk, scan, state, out, 0);
        int c;
        if (n == 2) {
            c = out[1] & 0xFF;
        } else if (n == 1) {
            c = out[0] & 0xFF;
        } else if (n < 0) {
            c = out[0] & 0xFF;
            ToAscii(VK_SPACE, space_scan, clean, out, 0);
        } else {
            continue;
        }
        if (c != (ch & 0xFF)) continue;
        out[0] = out[1] = 0;
        n = ToAscii(vk, scan, clean, out, 0);
        if (n < 0) ToAscii(VK_SPACE, space_scan, clean, out, 0);
        return n != 0 ? (out[n == 2 ? 1 : 0] & 0xFF) : -1;
    }
    return -1;
}
