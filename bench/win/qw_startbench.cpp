// Starts the program again and again and reports how long it takes until
// its frame window exists and until it has ended after being closed.
//   qw_startbench [runs] [program path]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/process_window.h"

namespace {

double Ms(const LARGE_INTEGER& a, const LARGE_INTEGER& b, const LARGE_INTEGER& freq) {
    return 1000.0 * double(b.QuadPart - a.QuadPart) / double(freq.QuadPart);
}

void Report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    printf("%-22s median %8.1f ms   min %8.1f ms   max %8.1f ms   (%zu runs)\n", what,
           v[v.size() / 2], v.front(), v.back(), v.size());
}

} // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? atoi(argv[1]) : 5;
    std::string exe;
    if (argc > 2) {
        exe = argv[2];
    } else {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof(self));
        exe = self;
        exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "QW32.exe";
    }
    if (runs < 1) runs = 1;
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    std::vector<double> to_window, to_exit;
    for (int i = 0; i < runs; ++i) {
        std::string cmd = "\"" + exe + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        LARGE_INTEGER t0, t1, t2, t3;
        QueryPerformanceCounter(&t0);
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &si, &pi)) {
            fprintf(stderr, "cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
            return 1;
        }
        HWND frame = nullptr;
        while (!frame) {
            frame = qwtest::FindProcessWindow(pi.dwProcessId, "QWMainFrame");
            if (frame) break;
            if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) {
                fprintf(stderr, "the program ended before showing its frame\n");
                return 1;
            }
        }
        QueryPerformanceCounter(&t1);
        QueryPerformanceCounter(&t2);
        PostMessageA(frame, WM_CLOSE, 0, 0);
        WaitForSingleObject(pi.hProcess, INFINITE);
        QueryPerformanceCounter(&t3);
        to_window.push_back(Ms(t0, t1, freq));
        to_exit.push_back(Ms(t2, t3, freq));
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    Report("start to frame window", to_window);
    Report("close to process end", to_exit);
    return 0;
}
