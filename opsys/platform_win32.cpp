#include <windows.h>

#include <cstring>

#include "opsys/msgbox_backend.h"
#include "opsys/platform_internal.h"
#include "opsys/shell_outlets.h"

namespace qw_platform {

unsigned long current_thread_id() { return GetCurrentThreadId(); }

int message_box(void* owner, const char* text, const char* caption, unsigned style) {
    return QwPlatformMessageBox(static_cast<HWND>(owner), text, caption, style);
}

void* active_window() { return GetActiveWindow(); }

void beep(unsigned sound) { MessageBeep(sound); }

int load_string(unsigned id, char* out, int size) {
    if (!out || size <= 0) return 0;
    out[0] = '\0';
    int n = LoadStringA(GetModuleHandleA(nullptr), id, out, size);
    return n > 0 ? n : 0;
}

int load_rcdata(unsigned id, void* out, unsigned* size) {
    HMODULE mod = GetModuleHandleA(nullptr);
    HRSRC res = FindResourceA(mod, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (!res) {
        if (size) *size = 0;
        return 0;
    }
    DWORD n = SizeofResource(mod, res);
    unsigned room = size ? *size : 0;
    if (size) *size = n;
    HGLOBAL h = LoadResource(mod, res);
    const void* data = h ? LockResource(h) : nullptr;
    if (!data || !out || n > room) return 0;
    memcpy(out, data, n);
    return 1;
}

bool post_status(void* window, QwStatusRequest* rec) {
    return PostMessageA(static_cast<HWND>(window), 0x464, reinterpret_cast<WPARAM>(rec), 0) != 0;
}

void send_message(void* window, unsigned msg, uintptr_t wparam, intptr_t lparam) {
    if (window) SendMessageA(static_cast<HWND>(window), msg, wparam, lparam);
}

bool program_dir(char* out, size_t size) {
    DWORD n = GetModuleFileNameA(nullptr, out, static_cast<DWORD>(size));
    if (n == 0 || n >= size) return false;
    char* slash = strrchr(out, '\\');
    if (!slash) return false;
    *slash = '\0';
    return true;
}

bool temp_dir(char* out, size_t size) {
    DWORD n = GetTempPathA(static_cast<DWORD>(size), out);
    if (n == 0 || n >= size) return false;
    while (n > 3 && (out[n - 1] == '\\' || out[n - 1] == '/')) out[--n] = '\0';
    return true;
}

// CharUpperA and CharLowerA take a single character in the low word of
// their pointer.
int char_upper(int c) {
    return static_cast<int>(reinterpret_cast<uintptr_t>(CharUpperA(reinterpret_cast<LPSTR>(static_cast<uintptr_t>(c))))) &
           0xFF;
}

int char_lower(int c) {
    return static_cast<int>(reinterpret_cast<uintptr_t>(CharLowerA(reinterpret_cast<LPSTR>(static_cast<uintptr_t>(c))))) &
           0xFF;
}

int char_is_lower(int c) { return IsCharLowerA(static_cast<CHAR>(c)) ? 1 : 0; }
int char_is_upper(int c) { return IsCharUpperA(static_cast<CHAR>(c)) ? 1 : 0; }
int char_is_alpha(int c) { return IsCharAlphaA(static_cast<CHAR>(c)) ? 1 : 0; }
int char_is_alnum(int c) { return IsCharAlphaNumericA(static_cast<CHAR>(c)) ? 1 : 0; }

void oem_to_ansi(char* s, size_t n) { OemToCharBuffA(s, s, static_cast<DWORD>(n)); }
void ansi_to_oem(char* s, size_t n) { CharToOemBuffA(s, s, static_cast<DWORD>(n)); }

} // namespace qw_platform
