#pragma once
// Finds the top-level window of a given class that belongs to a process:
// how the tests and the start-up benchmark see that the program is up.
#include <windows.h>

#include <cstring>

namespace qwtest {

namespace detail {
struct FindWindowOf {
    DWORD pid;
    const char* cls;
    HWND found;
};

inline BOOL CALLBACK FindWindowOfProc(HWND hwnd, LPARAM lp) {
    auto* f = reinterpret_cast<FindWindowOf*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (owner == f->pid && std::strcmp(cls, f->cls) == 0) {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
} // namespace detail

inline HWND FindProcessWindow(DWORD pid, const char* class_name) {
    detail::FindWindowOf f{pid, class_name, nullptr};
    EnumWindows(detail::FindWindowOfProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

} // namespace qwtest
