// Opens a large file as the editor does and reports the time to the first
// screen (the document made and its first 60 lines read), the time until the
// read thread has read it to its end, the process's peak memory, and the time
// closing the document takes.
// Run: bench_docopen.exe FILE [direct|reuse]   (FILE: a Windows path, e.g. Z:\tmp\big.txt)
// With "reuse" the file is also read straight through the engine twice: into
// new page ids before the document closes, and into the released ones after.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <memory>
#include <string>

#include "editor/docmanager.h"
#include "editor/docread.h"
#include "editor/fileinfo.h"
#include "editor/qwdoc.h"
#include "framework/fwapp.h"
#include "framework/fwframe.h"
#include "framework/fwview.h"
#include "framework/fwmsgbox.h"
#include "opsys/msgbox_backend.h"
#include "opsys/shell_outlets.h"
#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"

namespace {
class BenchView : public fw::View {
    FW_DECLARE_DYNCREATE(BenchView)
};
FW_IMPLEMENT_DYNCREATE(BenchView, fw::View)

double now_ms() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// CPU time of the whole process (every thread, user and kernel): on a busy
// machine it says more than the elapsed time, which waits for the CPU too.
double cpu_ms() {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}
}  // namespace

// A message would wait for a click nobody gives: it is printed instead.
int PrintBox(HWND, const char* text, const char*, UINT) {
    std::fprintf(stderr, "message: %s\n", text ? text : "");
    return IDNO;
}
int PrintFrameworkBox(HWND__* w, const char* text, const char* caption, unsigned style) {
    return PrintBox(w, text, caption, style);
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_docopen FILE\n");
        return 2;
    }
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    // Its own name, so that runs side by side do not share one.
    std::string swap = std::string(temp) + "bench_docopen." + std::to_string(GetCurrentProcessId()) + ".swp";
    // The program's start-up: the largest page cache it ever uses.
    if (!vms_start(1000, 10240000, swap.c_str(), 0, 0)) return 1;
    QwShellOutlets o = QwGetShellOutlets();
    o.app_thread_id = GetCurrentThreadId();
    QwSetShellOutlets(&o);
    QwSetMessageBoxBackend(PrintBox);
    fw::SetMessageBoxHandler(PrintFrameworkBox);
    auto app = std::make_unique<fw::Application>();
    CreateDocManager(1);
    app->AddDocTemplate(new fw::MultiDocTemplate(DOC_TEMPLATE_TEXT, FW_RUNTIME_CLASS(CQWDoc),
                                                 FW_RUNTIME_CLASS(fw::MDIChildWindow), FW_RUNTIME_CLASS(BenchView)));
    auto* main = new fw::MDIFrameWindow;
    if (!main->LoadFrame(130, WS_OVERLAPPEDWINDOW)) {
        std::fprintf(stderr, "no main frame\n");
        return 1;
    }
    app->set_main_window(main->hwnd());
    RunThreadPool(1);
    StartDocReadThread(1);

    PROCESS_MEMORY_COUNTERS base{};
    base.cb = sizeof base;
    GetProcessMemoryInfo(GetCurrentProcess(), &base, sizeof base);
    double t0 = now_ms(), c0 = cpu_ms();
    fw::View* view = VwFileOpenEx(argv[1], 0x22, 1);
    if (!view) {
        std::fprintf(stderr, "not opened\n");
        return 1;
    }
    auto* doc = static_cast<CQWDoc*>(view->GetDocument());
    vm_read_lines(doc->GetBuffer(), 60);
    double first = now_ms() - t0;
    // With a second argument "direct" the rest is read here, without the
    // read thread, to tell the engine's share from the thread's.
    if (argc > 2 && std::string(argv[2]) == "direct") vm_read_lines(doc->GetBuffer(), 0xFFFFFFFFu);
    // The read thread goes on; messages to the view are taken as they come.
    while (!vm_is_fully_read(doc->GetBuffer())) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    double full = now_ms() - t0, full_cpu = cpu_ms() - c0;
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    std::printf("before_open_working_set_mb %.1f\nbefore_open_pagefile_mb %.1f\n", base.WorkingSetSize / 1048576.0,
                base.PagefileUsage / 1048576.0);
    std::printf("lines %d\nfirst_screen_ms %.1f\nfully_read_ms %.1f\nfully_read_cpu_ms %.1f\n"
                "peak_working_set_mb %.1f\npeak_pagefile_mb %.1f\n",
                vm_line_count(doc->GetBuffer()), first, full, full_cpu, pmc.PeakWorkingSetSize / 1048576.0,
                pmc.PeakPagefileUsage / 1048576.0);
    StartDocReadThread(0);
    bool reuse = argc > 2 && std::string(argv[2]) == "reuse";
    auto engine_read = [&](const char* label) {
        double r0 = now_ms();
        VMB* b = vmb_open(VMB_T_FILE, argv[1], VMB_O_NOFIND);
        if (!b || !vmb_Stream_Open(b, argv[1], "r")) return;
        vm_read_lines(b, 0xFFFFFFFFu);
        double r1 = now_ms();
        vmb_close(b, 0);
        std::printf("%s_ms %.1f\n%s_close_ms %.1f\n", label, r1 - r0, label, now_ms() - r1);
    };
    if (reuse) engine_read("engine_read_new_ids");
    double c1 = now_ms();
    app->CloseAllDocuments(false);
    std::printf("close_ms %.1f\n", now_ms() - c1);
    if (reuse) engine_read("engine_read_reused_ids");
    DestroyWindow(main->hwnd());
    RunThreadPool(0);
    app.reset();
    vms_stop();
    DeleteFileA(swap.c_str());
    return 0;
}
