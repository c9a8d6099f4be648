#include "opsys/crashrpt.h"

#include <windows.h>
#include <imagehlp.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "opsys/paths.h"
#include "opsys/setrans.h"

#if defined(_M_IX86) || defined(__i386__)
#define QW_CR_X86 1
#endif

namespace {

// The report state of the process. Not locked: two threads crashing at once
// are rare, and the second one then finds the file in use and skips.
struct ReportState {
    char path[QW_PATH_BUF];
    HANDLE file = INVALID_HANDLE_VALUE;
    LPTOP_LEVEL_EXCEPTION_FILTER previous = nullptr;
    bool installed = false;
    char message[512];
    // The thread that writes a stack overflow's report, made at install time
    // because little can be done on a used-up stack: the filter only hands
    // the job over and waits.
    HANDLE writer = nullptr;
    HANDLE job_ready = nullptr;  // auto reset
    HANDLE job_done = nullptr;   // auto reset
    EXCEPTION_POINTERS* job_info = nullptr;
    HANDLE job_thread = nullptr;
    volatile bool writer_quit = false;
    void* overflow_handler = nullptr;
    volatile DWORD overflow_reported = 0;  // thread whose overflow was reported
};
ReportState g_state;

// The image-help entry points (the 64-bit forms on x86_64).
struct ImageHelp {
    decltype(&::SymInitialize) init;
    decltype(&::SymCleanup) cleanup;
    decltype(&::StackWalk) walk;
    decltype(&::SymFunctionTableAccess) table_access;
    decltype(&::SymGetModuleBase) module_base;
    decltype(&::SymGetSymFromAddr) symbol;
};

#ifdef QW_CR_X86
#define QW_CR_SUFFIX ""
#define QW_CR_MACHINE IMAGE_FILE_MACHINE_I386
#define QW_CR_PTR "%08X"
using Word = unsigned;
#else
#define QW_CR_SUFFIX "64"
#define QW_CR_MACHINE IMAGE_FILE_MACHINE_AMD64
#define QW_CR_PTR "%08llX"
using Word = unsigned long long;
#endif

Word W(uintptr_t v) { return static_cast<Word>(v); }

void __attribute__((format(gnu_printf, 1, 2))) Line(const char* format, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, format);
    int n = std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (n < 0) return;
    if (n >= static_cast<int>(sizeof buf)) n = sizeof buf - 1;
    DWORD written = 0;
    WriteFile(g_state.file, buf, static_cast<DWORD>(n), &written, nullptr);
}

const char* ReportCodeName(unsigned long code) {
    static const struct {
        unsigned long code;
        const char* name;
    } kNames[] = {
        {0xC0000005, "ACCESS_VIOLATION"},      {0x80000002, "DATATYPE_MISALIGNMENT"},
        {0x80000003, "BREAKPOINT"},            {0x80000004, "SINGLE_STEP"},
        {0xC000008C, "ARRAY_BOUNDS_EXCEEDED"}, {0xC000008D, "FLT_DENORMAL_OPERAND"},
        {0xC000008E, "FLT_DIVIDE_BY_ZERO"},    {0xC000008F, "FLT_INEXACT_RESULT"},
        {0xC0000090, "FLT_INVALID_OPERATION"}, {0xC0000091, "FLT_OVERFLOW"},
        {0xC0000092, "FLT_STACK_CHECK"},       {0xC0000093, "FLT_UNDERFLOW"},
        {0xC0000094, "INT_DIVIDE_BY_ZERO"},    {0xC0000095, "INT_OVERFLOW"},
        {0xC0000096, "PRIV_INSTRUCTION"},      {0xC0000006, "IN_PAGE_ERROR"},
        {0xC000001D, "ILLEGAL_INSTRUCTION"},   {0xC0000025, "NONCONTINUABLE_EXCEPTION"},
        {0xC00000FD, "STACK_OVERFLOW"},        {0xC0000026, "INVALID_DISPOSITION"},
        {0x80000001, "GUARD_PAGE"},            {0xC0000008, "INVALID_HANDLE"},
    };
    for (const auto& e : kNames)
        if (e.code == code) return e.name;
    // The system's text for the code; where it has none (Wine), the
    // translator's name for it.
    DWORD n = FormatMessageA(FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_HMODULE,
                             GetModuleHandleA("NTDLL.DLL"), code, 0, g_state.message,
                             sizeof g_state.message, nullptr);
    if (n) {
        // One line in the report: no line break of the text's own at its end.
        while (n && (g_state.message[n - 1] == '\n' || g_state.message[n - 1] == '\r'))
            g_state.message[--n] = '\0';
        return g_state.message;
    }
    if (const char* name = ExceptionCodeTableName(code)) return name;
    std::snprintf(g_state.message, sizeof g_state.message, "%lx", code);
    return g_state.message;
}

// The module that holds addr, with the section (counted from 1) and the
// offset in it. False (section and offset 0, module empty) when unknown.
bool LogicalAddress(const void* addr, char* module, DWORD size, DWORD* section, uintptr_t* offset) {
    module[0] = '\0';
    *section = 0;
    *offset = 0;
    MEMORY_BASIC_INFORMATION mbi;
    if (!VirtualQuery(addr, &mbi, sizeof mbi) || !mbi.AllocationBase) return false;
    auto base = static_cast<const BYTE*>(mbi.AllocationBase);
    if (!GetModuleFileNameA(reinterpret_cast<HMODULE>(const_cast<BYTE*>(base)), module, size)) {
        module[0] = '\0';
        return false;
    }
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* sec = IMAGE_FIRST_SECTION(nt);
    uintptr_t rva = reinterpret_cast<uintptr_t>(addr) - reinterpret_cast<uintptr_t>(base);
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++sec) {
        uintptr_t start = sec->VirtualAddress;
        uintptr_t len = sec->SizeOfRawData > sec->Misc.VirtualSize ? sec->SizeOfRawData
                                                                   : sec->Misc.VirtualSize;
        if (rva >= start && rva <= start + len) {
            *section = i + 1;
            *offset = rva - start;
            return true;
        }
    }
    return false;
}

bool Writable(uintptr_t p, size_t n) {
    const DWORD kWrite = PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE |
                         PAGE_EXECUTE_WRITECOPY;
    for (uintptr_t at : {p, p + n - 1}) {
        MEMORY_BASIC_INFORMATION mbi;
        if (!VirtualQuery(reinterpret_cast<const void*>(at), &mbi, sizeof mbi)) return false;
        if (mbi.State != MEM_COMMIT || !(mbi.Protect & kWrite) || (mbi.Protect & PAGE_GUARD))
            return false;
    }
    return true;
}

bool LoadImageHelp(ImageHelp* ih) {
    HMODULE dll = LoadLibraryA("IMAGEHLP.DLL");
    if (!dll) return false;
    // Through void (*)(), the one function type any other converts from.
    auto get = [dll](auto* slot, const char* name) {
        *slot = reinterpret_cast<std::remove_reference_t<decltype(*slot)>>(
            reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
    };
    get(&ih->init, "SymInitialize");
    get(&ih->cleanup, "SymCleanup");
    get(&ih->walk, "StackWalk" QW_CR_SUFFIX);
    get(&ih->table_access, "SymFunctionTableAccess" QW_CR_SUFFIX);
    get(&ih->module_base, "SymGetModuleBase" QW_CR_SUFFIX);
    get(&ih->symbol, "SymGetSymFromAddr" QW_CR_SUFFIX);
    return ih->init && ih->cleanup && ih->walk && ih->table_access && ih->module_base &&
           ih->symbol;
}

void ImageHelpWalk(const ImageHelp& ih, const CONTEXT* context, HANDLE thread) {
    Line("\nCall stack:\n");
    Line("Address   Frame\n");
    HANDLE process = GetCurrentProcess();
    CONTEXT ctx = *context;  // the walk changes it
    STACKFRAME frame;
    std::memset(&frame, 0, sizeof frame);
#ifdef QW_CR_X86
    frame.AddrPC.Offset = ctx.Eip;
    frame.AddrStack.Offset = ctx.Esp;
    frame.AddrFrame.Offset = ctx.Ebp;
#else
    frame.AddrPC.Offset = ctx.Rip;
    frame.AddrStack.Offset = ctx.Rsp;
    frame.AddrFrame.Offset = ctx.Rbp;
#endif
    frame.AddrPC.Mode = frame.AddrStack.Mode = frame.AddrFrame.Mode = AddrModeFlat;
    alignas(8) char symbol_buf[sizeof(IMAGEHLP_SYMBOL) + 512];
    auto* symbol = reinterpret_cast<IMAGEHLP_SYMBOL*>(symbol_buf);
    char module[MAX_PATH];
    for (;;) {
        if (!ih.walk(QW_CR_MACHINE, process, thread, &frame, &ctx, nullptr, ih.table_access,
                     ih.module_base, nullptr))
            break;
        if (frame.AddrFrame.Offset == 0) break;
        Line(QW_CR_PTR "  " QW_CR_PTR "  ", W(frame.AddrPC.Offset), W(frame.AddrFrame.Offset));
        std::memset(symbol_buf, 0, sizeof symbol_buf);
        symbol->SizeOfStruct = sizeof(IMAGEHLP_SYMBOL);
        symbol->MaxNameLength = 512;
        decltype(frame.AddrPC.Offset) displacement = 0;
        if (ih.symbol(process, frame.AddrPC.Offset, &displacement, symbol)) {
            Line("%s+%X\n", symbol->Name, static_cast<unsigned>(displacement));
        } else {
            DWORD section;
            uintptr_t offset;
            LogicalAddress(reinterpret_cast<const void*>(static_cast<uintptr_t>(frame.AddrPC.Offset)),
                           module, sizeof module, &section, &offset);
            Line("%04X:%08X %s\n", static_cast<unsigned>(section), static_cast<unsigned>(offset),
                 module);
        }
    }
    ih.cleanup(process);
    Line("\n");
}

void FrameChainWalk(uintptr_t pc, uintptr_t frame) {
    Line("\nCall stack:\n");
    Line("Address   Frame     Logical addr  Module\n");
    char module[MAX_PATH];
    uintptr_t previous = 0;
    for (;;) {
        DWORD section;
        uintptr_t offset;
        LogicalAddress(reinterpret_cast<const void*>(pc), module, sizeof module, &section, &offset);
        Line(QW_CR_PTR "  " QW_CR_PTR "  %04X:%08X %s\n", W(pc), W(frame),
             static_cast<unsigned>(section), static_cast<unsigned>(offset), module);
        // Read a frame only once it is known to be stack memory.
        if (frame % sizeof(void*) != 0 || frame <= previous ||
            !Writable(frame, 2 * sizeof(void*)))
            break;
        const uintptr_t* words = reinterpret_cast<const uintptr_t*>(frame);
        pc = words[1];
        previous = frame;
        frame = words[0];
    }
}

void __attribute__((noinline)) WriteReport(EXCEPTION_POINTERS* info, HANDLE thread) {
    if (!g_state.path[0] || !info || !info->ExceptionRecord || !info->ContextRecord) return;
    g_state.file = CreateFileA(g_state.path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                               FILE_FLAG_WRITE_THROUGH, nullptr);
    if (g_state.file == INVALID_HANDLE_VALUE) return;
    SetFilePointer(g_state.file, 0, nullptr, FILE_END);

    const EXCEPTION_RECORD* rec = info->ExceptionRecord;
    const CONTEXT* c = info->ContextRecord;
    Line("//=====================================================\n");
    Line("Exception code: %08lX %s\n", rec->ExceptionCode, ReportCodeName(rec->ExceptionCode));
    char module[MAX_PATH];
    DWORD section;
    uintptr_t offset;
    LogicalAddress(rec->ExceptionAddress, module, sizeof module, &section, &offset);
    Line("Fault address:  " QW_CR_PTR " %02X:%08X %s\n",
         W(reinterpret_cast<uintptr_t>(rec->ExceptionAddress)), static_cast<unsigned>(section),
         static_cast<unsigned>(offset), module);

    Line("\nRegisters:\n");
#ifdef QW_CR_X86
    Line("EAX:%08lX\nEBX:%08lX\nECX:%08lX\nEDX:%08lX\nESI:%08lX\nEDI:%08lX\n", c->Eax, c->Ebx,
         c->Ecx, c->Edx, c->Esi, c->Edi);
    Line("CS:EIP:%04lX:%08lX\n", c->SegCs, c->Eip);
    Line("SS:ESP:%04lX:%08lX  EBP:%08lX\n", c->SegSs, c->Esp, c->Ebp);
    uintptr_t pc = c->Eip, fp = c->Ebp;
#else
    Line("RAX:%08llX\nRBX:%08llX\nRCX:%08llX\nRDX:%08llX\nRSI:%08llX\nRDI:%08llX\n", c->Rax,
         c->Rbx, c->Rcx, c->Rdx, c->Rsi, c->Rdi);
    Line("CS:RIP:%04X:%08llX\n", c->SegCs, c->Rip);
    Line("SS:RSP:%04X:%08llX  RBP:%08llX\n", c->SegSs, c->Rsp, c->Rbp);
    uintptr_t pc = c->Rip, fp = c->Rbp;
#endif
    Line("DS:%04X  ES:%04X  FS:%04X  GS:%04X\n", static_cast<unsigned>(c->SegDs),
         static_cast<unsigned>(c->SegEs), static_cast<unsigned>(c->SegFs),
         static_cast<unsigned>(c->SegGs));
    Line("Flags:%08X\n", static_cast<unsigned>(c->EFlags));

    ImageHelp ih;
    if (LoadImageHelp(&ih) && ih.init(GetCurrentProcess(), nullptr, TRUE)) {
        ImageHelpWalk(ih, c, thread);
    } else {
        OutputDebugStringA("IMAGEHLP.DLL or its exported procs not found");
        FrameChainWalk(pc, fp);
    }
    CloseHandle(g_state.file);
    g_state.file = INVALID_HANDLE_VALUE;
}

DWORD WINAPI OverflowReportWriter(void*) {
    for (;;) {
        WaitForSingleObject(g_state.job_ready, INFINITE);
        if (g_state.writer_quit) return 0;
        WriteReport(g_state.job_info, g_state.job_thread);
        SetEvent(g_state.job_done);
        // One report only: a thread left waiting here would keep the process
        // alive after the system has ended the overflowing thread.
        return 0;
    }
}

void StartWriter() {
    if (g_state.writer) return;
    g_state.job_ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    g_state.job_done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (g_state.job_ready && g_state.job_done)
        g_state.writer = CreateThread(nullptr, 256 * 1024, &OverflowReportWriter, nullptr, 0, nullptr);
}

LONG CALLBACK OverflowHandler(EXCEPTION_POINTERS* info);

void StopWriter() {
    if (g_state.writer) {
        g_state.writer_quit = true;
        SetEvent(g_state.job_ready);
        WaitForSingleObject(g_state.writer, 5000);
        CloseHandle(g_state.writer);
        g_state.writer = nullptr;
        g_state.writer_quit = false;
    }
    for (HANDLE* h : {&g_state.job_ready, &g_state.job_done}) {
        if (*h) CloseHandle(*h);
        *h = nullptr;
    }
}

} // namespace

void InstallCrashHandler() {
    char path[QW_PATH_BUF];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    const char* ext = n && n < sizeof path ? PathExtension(path) : nullptr;
    if (ext && std::strlen(ext) >= 3 && PathSetExtension(path, "RPT"))
        std::memcpy(g_state.path, path, sizeof path);
    else
        g_state.path[0] = '\0';
    if (!g_state.installed) {
        StartWriter();
        g_state.overflow_handler = AddVectoredExceptionHandler(0, &OverflowHandler);
        g_state.previous = SetUnhandledExceptionFilter(&CrashReportFilter);
        g_state.installed = true;
    }
}

void RemoveCrashHandler() {
    if (!g_state.installed) return;
    SetUnhandledExceptionFilter(g_state.previous);
    if (g_state.overflow_handler) RemoveVectoredExceptionHandler(g_state.overflow_handler);
    g_state.overflow_handler = nullptr;
    StopWriter();
    g_state.previous = nullptr;
    g_state.installed = false;
}

void CrashReportInit(const char* path) {
    if (!path || std::strlen(path) > QW_PATH_MAX) {
        g_state.path[0] = '\0';
        return;
    }
    std::memcpy(g_state.path, path, std::strlen(path) + 1);
}

namespace {

// A stack overflow is reported at the start of its dispatch: further on, the
// search for a handler itself may need more stack than is left (Wine then
// ends the thread without calling any filter). Registered last, so that the
// translator's handler sees it first and a guarded call still gets it.
LONG CALLBACK OverflowHandler(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != EXCEPTION_STACK_OVERFLOW || !g_state.writer ||
        g_state.overflow_reported)
        return EXCEPTION_CONTINUE_SEARCH;
    g_state.overflow_reported = GetCurrentThreadId();
    HANDLE self = GetCurrentProcess();
    g_state.job_thread = nullptr;
    DuplicateHandle(self, GetCurrentThread(), self, &g_state.job_thread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    g_state.job_info = info;
    SetEvent(g_state.job_ready);
    WaitForSingleObject(g_state.job_done, 60000);
    if (g_state.job_thread) CloseHandle(g_state.job_thread);
    if (g_state.previous) g_state.previous(info);
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

static_assert(std::is_same_v<decltype(&CrashReportFilter), LPTOP_LEVEL_EXCEPTION_FILTER>,
              "the filter must stay what SetUnhandledExceptionFilter takes");

LONG WINAPI CrashReportFilter(EXCEPTION_POINTERS* info) {
    bool overflow = info && info->ExceptionRecord &&
                    info->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW;
    if (overflow && g_state.overflow_reported == GetCurrentThreadId()) {
        // Reported and handed on when it was raised.
        return EXCEPTION_CONTINUE_SEARCH;
    }
    if (!overflow) WriteReport(info, GetCurrentThread());
    if (g_state.previous) return g_state.previous(info);
    return EXCEPTION_CONTINUE_SEARCH;
}
