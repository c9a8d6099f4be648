// A program that crashes on purpose, for the crash-report tests.
//   test_crash_helper <mode> [report path]
// mode: "av" (an access violation just after a translator scope has ended),
// "overflow" (unbounded recursion), "raise-in-scope" (the code given after the
// report path, raised inside a translator scope), or a hexadecimal code to raise.
// The system's own crash handling (debugger, error box) is switched off: the
// filter before the report's ends the process with the exception code, so
// the exit code also shows that the report handed the fault on.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "opsys/crashrpt.h"
#include "opsys/setrans.h"

namespace {

volatile int g_zero = 0;
volatile int g_sink = 0;
volatile bool g_keep_going = true;

void __attribute__((noinline)) DivideByZero() { g_sink = 7 / g_zero; }

void __attribute__((noinline)) ReadBadAddress() {
    g_sink = *reinterpret_cast<volatile int*>(static_cast<uintptr_t>(0x10) + g_zero);
}

int __attribute__((noinline)) Recurse(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    int below = g_keep_going ? Recurse(depth + 1) : 0;
    return below + frame[0];
}

LONG WINAPI EndWithTheCode(EXCEPTION_POINTERS* info) {
    TerminateProcess(GetCurrentProcess(), info->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(EndWithTheCode);
    InstallCrashHandler();
    if (argc < 2) return 2;
    if (argc > 2) CrashReportInit(argv[2]);
    const char* mode = argv[1];
    if (std::strcmp(mode, "av") == 0) {
        {
            SETranslatorScope scope;
            try {
                DivideByZero();
                return 3;
            } catch (const se_translator::int_divide_by_zero&) {
            }
        }
        ReadBadAddress();  // outside every scope: not translated
        return 4;
    }
    if (std::strcmp(mode, "raise-in-scope") == 0 && argc > 3) {
        // Translated (7), or handed on to the filter with its own code; never
        // std::terminate (3).
        SETranslatorScope scope;
        try {
            RaiseException(static_cast<DWORD>(std::strtoul(argv[3], nullptr, 16)), 0, 0, nullptr);
            return 8;
        } catch (const se_translator::exception& e) {
            return e.code() == std::strtoul(argv[3], nullptr, 16) ? 7 : 9;
        }
    }
    if (std::strcmp(mode, "overflow") == 0) {
        g_sink = Recurse(0);
        return 5;
    }
    RaiseException(static_cast<DWORD>(std::strtoul(mode, nullptr, 16)), 0, 0, nullptr);
    return 6;
}
