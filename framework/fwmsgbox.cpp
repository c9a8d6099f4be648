#include "framework/fwmsgbox.h"

#include <windows.h>

#include <atomic>
#include <mutex>

namespace fw {

namespace {
std::atomic<MessageBoxHandler> g_handler{nullptr};
std::mutex g_title_lock;
std::string g_title;

HMODULE FrameworkModule() {
    HMODULE mod = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&FrameworkModule), &mod);
    return mod;
}
} // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return g_handler.exchange(handler);
}

int ShowMessageBox(const std::string& text, unsigned style, const char* caption, HWND owner) {
    std::string title = caption ? std::string(caption) : AppTitle();
    MessageBoxHandler h = g_handler.load();
    if (h) return h(owner, text.c_str(), title.c_str(), style);
    return MessageBoxA(owner, text.c_str(), title.c_str(), style);
}

void SetAppTitle(const std::string& title) {
    std::lock_guard<std::mutex> lock(g_title_lock);
    g_title = title;
}

std::string AppTitle() {
    {
        std::lock_guard<std::mutex> lock(g_title_lock);
        if (!g_title.empty()) return g_title;
    }
    char path[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name(path, n < sizeof path ? n : 0);
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

std::string LoadFrameworkString(unsigned id) {
    char buf[1024];
    int n = LoadStringA(FrameworkModule(), id, buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string FormatOne(const std::string& pattern, const std::string& arg) {
    std::string out = pattern;
    size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, arg);
    return out;
}

} // namespace fw
