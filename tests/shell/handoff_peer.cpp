// Helper program of the hand-off test: "first RESULT NAME" publishes a
// window as the first instance NAME and writes the command line it is
// handed ("file|line") to RESULT; "second NAME words..." hands its words
// over and exits with HandOffCommandLine's result.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "shell/cmdline.h"

namespace {
const char* g_result = nullptr;

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_COPYDATA) {
        auto* cds = reinterpret_cast<COPYDATASTRUCT*>(lp);
        auto info = ParseCommandLineBlock(cds->dwData, cds->lpData, cds->cbData);
        if (FILE* f = fopen(g_result, "wb")) {
            if (info) fprintf(f, "%s|%d", info->file_name.c_str(), info->line);
            fclose(f);
        }
        PostQuitMessage(0);
        return 1;
    }
    return DefWindowProcA(h, m, wp, lp);
}
} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && strcmp(argv[1], "first") == 0) {
        g_result = argv[2];
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QwHandOffPeer";
        RegisterClassA(&wc);
        HWND w = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
        CInstanceChecker checker(argv[3]);
        checker.ActivateChecker();
        if (!w || !checker.TrackFirstInstanceRunning(w)) return 2;
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (std::string(argv[3]) + "_ready").c_str());
        SetEvent(ready);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "second") == 0) {
        CInstanceChecker checker(argv[2]);
        checker.ActivateChecker();
        std::vector<std::string> words(argv + 3, argv + argc);
        return HandOffCommandLine(&checker, words) + 10;
    }
    return 3;
}
