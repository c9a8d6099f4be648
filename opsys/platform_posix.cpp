#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "opsys/msgout.h"
#include "opsys/platform_internal.h"

namespace {

int stderr_box(const char* text, const char* caption, unsigned) {
    fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
    return 1;
}

std::atomic<QwHostMessageBoxFn> g_box{nullptr};

} // namespace

QwHostMessageBoxFn QwSetHostMessageBox(QwHostMessageBoxFn fn) { return g_box.exchange(fn); }

namespace qw_platform {

unsigned long current_thread_id() { return static_cast<unsigned long>(syscall(SYS_gettid)); }

int message_box(void*, const char* text, const char* caption, unsigned style) {
    QwHostMessageBoxFn fn = g_box.load();
    return (fn ? fn : stderr_box)(text, caption, style);
}

void* active_window() { return nullptr; }
void beep(unsigned) {}
// The host build carries no resources.
int load_string(unsigned, char* out, int size) {
    if (out && size > 0) out[0] = '\0';
    return 0;
}
int load_rcdata(unsigned, void*, unsigned* size) {
    if (size) *size = 0;
    return 0;
}
bool post_status(void*, QwStatusRequest*) { return false; }
void send_message(void*, unsigned, uintptr_t, intptr_t) {}

bool program_dir(char* out, size_t size) {
    ssize_t n = readlink("/proc/self/exe", out, size - 1);
    if (n <= 0 || static_cast<size_t>(n) >= size - 1) return false;
    out[n] = '\0';
    char* slash = strrchr(out, '/');
    if (!slash) return false;
    *slash = '\0';
    return true;
}

bool temp_dir(char* out, size_t size) {
    const char* t = getenv("TMPDIR");
    if (!t || !*t) t = "/tmp";
    if (strlen(t) >= size) return false;
    strcpy(out, t);
    return true;
}

// The host build has no code-page functions: it follows Windows-1252, the
// code page the program is pinned to.
int char_upper(int c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 16;
    if (c == 0xFF) return 0x9F;
    return c;
}

int char_lower(int c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c == 0x8A || c == 0x8C || c == 0x8E) return c + 16;
    if (c == 0x9F) return 0xFF;
    return c;
}

int char_is_lower(int c) { return char_upper(c) != c || c == 0xDF ? 1 : 0; }
int char_is_upper(int c) { return char_lower(c) != c ? 1 : 0; }
int char_is_alpha(int c) { return char_is_lower(c) || char_is_upper(c) || c == 0xAA || c == 0xBA ? 1 : 0; }
int char_is_alnum(int c) { return (c >= '0' && c <= '9') || char_is_alpha(c) ? 1 : 0; }

void oem_to_ansi(char*, size_t) {}
void ansi_to_oem(char*, size_t) {}

} // namespace qw_platform
