// Starts the program again and again with a 1 MB C file on its command line
// and reports how long it takes until the file's document window has been
// painted, and until the process has ended after its frame was closed.
//   qw_startbench [runs] [file] [program path]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/process_window.h"

namespace {

const char kFrameClass[] = "QWMainFrame";
const char kViewClass[] = "QWFrameworkView";  // the document windows' views

double Ms(const LARGE_INTEGER& a, const LARGE_INTEGER& b, const LARGE_INTEGER& freq) {
    return 1000.0 * double(b.QuadPart - a.QuadPart) / double(freq.QuadPart);
}

void Report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    printf("%-32s median %8.1f ms   min %8.1f ms   max %8.1f ms   (%zu runs)\n", what, v[v.size() / 2],
           v.front(), v.back(), v.size());
}

// A C file of about 1 MB: functions with comments, strings and numbers.
std::string MakeSample() {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    std::string path = std::string(temp) + "qw_startbench.c";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return {};
    long written = 0;
    for (int i = 0; written < 1024 * 1024; ++i)
        written += fprintf(f,
                           "/* function %d: adds the numbers of a table */\r\n"
                           "static int sum_%d(const int *table, int count)\r\n{\r\n"
                           "    int total = 0; // running total\r\n"
                           "    for (int k = 0; k < count; ++k) total += table[k] * %d;\r\n"
                           "    printf(\"sum %%d\\n\", total);\r\n    return total;\r\n}\r\n\r\n",
                           i, i, i % 97);
    fclose(f);
    return path;
}

struct FindView {
    HWND found = nullptr;
};

BOOL CALLBACK FindViewProc(HWND hwnd, LPARAM lp) {
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (strcmp(cls, kViewClass) == 0 && IsWindowVisible(hwnd)) {
        reinterpret_cast<FindView*>(lp)->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? atoi(argv[1]) : 5;
    std::string file = argc > 2 ? argv[2] : MakeSample();
    std::string exe;
    if (argc > 3) {
        exe = argv[3];
    } else {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof(self));
        exe = self;
        exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "QW32.exe";
    }
    if (runs < 1) runs = 1;
    if (file.empty()) {
        fprintf(stderr, "cannot write the sample file\n");
        return 1;
    }
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    std::vector<double> to_paint, to_exit;
    for (int i = 0; i < runs; ++i) {
        std::string cmd = "\"" + exe + "\" \"" + file + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        LARGE_INTEGER t0, t1, t2, t3;
        QueryPerformanceCounter(&t0);
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            fprintf(stderr, "cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
            return 1;
        }
        HWND frame = nullptr;
        for (;;) {
            if (!frame) frame = qwtest::FindProcessWindow(pi.dwProcessId, kFrameClass);
            if (frame) {
                // Painted: the document's view is visible with nothing left to paint.
                FindView v;
                EnumChildWindows(frame, FindViewProc, reinterpret_cast<LPARAM>(&v));
                if (v.found && !GetUpdateRect(v.found, nullptr, FALSE)) break;
            }
            if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) {
                fprintf(stderr, "the program ended before showing the document\n");
                return 1;
            }
        }
        QueryPerformanceCounter(&t1);
        QueryPerformanceCounter(&t2);
        PostMessageA(frame, WM_CLOSE, 0, 0);
        WaitForSingleObject(pi.hProcess, INFINITE);
        QueryPerformanceCounter(&t3);
        to_paint.push_back(Ms(t0, t1, freq));
        to_exit.push_back(Ms(t2, t3, freq));
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    Report("start to painted document", to_paint);
    Report("close to process end", to_exit);
    return 0;
}
