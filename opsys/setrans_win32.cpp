#include "opsys/setrans.h"

#include <windows.h>
#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#if defined(_M_IX86) || defined(__i386__)
#include <intrin.h>
#define QW_SE_X86 1
// The 32-bit unwinder walks frames by their DWARF unwind data, which only our
// own modules have. This is how it looks a frame up.
struct qw_dwarf_eh_bases {
    void* tbase;
    void* dbase;
    void* func;
};
extern "C" const void* _Unwind_Find_FDE(void* pc, qw_dwarf_eh_bases* bases);
#endif

namespace {

#define QW_SE_TABLE(X)                                                                          \
    X(access_violation, 0xC0000005, "Access Violation",                                         \
      "The thread attempted to read from or write to a virtual address for which it does not "  \
      "have the appropriate access")                                                            \
    X(datatype_misalignment, 0x80000002, "Datatype Misalignment",                               \
      "The thread attempted to read or write data that is misaligned on hardware that does "    \
      "not provide alignment. For example, 16-bit values must be aligned on 2-byte "            \
      "boundaries, 32-bit values on 4-byte boundaries, and so on")                              \
    X(breakpoint, 0x80000003, "Breakpoint", "A breakpoint was encountered")                     \
    X(single_step, 0x80000004, "Single Step",                                                   \
      "A trace trap or other single-instruction mechanism signaled that one instruction has "   \
      "been executed")                                                                          \
    X(array_bounds_exceeded, 0xC000008C, "Array Bounds Exceeded",                               \
      "The thread attempted to access an array element that is out of bounds, and the "         \
      "underlying hardware supports bounds checking")                                           \
    X(flt_denormal_operand, 0xC000008D, "Float Denormal Operand",                               \
      "One of the operands in a floating-point operation is denormal. A denormal value is one " \
      "that is too small to represent as a standard floating-point value")                      \
    X(flt_divide_by_zero, 0xC000008E, "Float Divide by Zero",                                   \
      "The thread attempted to divide a floating-point value by a floating-point divisor of "   \
      "zero")                                                                                   \
    X(flt_inexact_result, 0xC000008F, "Float Inexact Result",                                   \
      "The result of a floating-point operation cannot be represented exactly as a decimal "    \
      "fraction")                                                                               \
    X(flt_invalid_operation, 0xC0000090, "Float Invalid Operation",                             \
      "This exception represents any floating-point exception not included in this list")       \
    X(flt_overflow, 0xC0000091, "Float Overflow",                                               \
      "The exponent of a floating-point operation is greater than the magnitude allowed by "    \
      "the corresponding type")                                                                 \
    X(flt_stack_check, 0xC0000092, "Float Stack Check",                                         \
      "The stack overflowed or underflowed as the result of a floating-point operation")        \
    X(flt_underflow, 0xC0000093, "Float Underflow",                                             \
      "The exponent of a floating-point operation is less than the magnitude allowed by the "   \
      "corresponding type")                                                                     \
    X(int_divide_by_zero, 0xC0000094, "Integer Divide by Zero",                                 \
      "The thread attempted to divide an integer value by an integer divisor of zero")          \
    X(int_overflow, 0xC0000095, "Integer Overflow",                                             \
      "The result of an integer operation caused a carry out of the most significant bit of "   \
      "the result")                                                                             \
    X(priv_instruction, 0xC0000096, "Privileged Instruction",                                   \
      "The thread attempted to execute an instruction whose operation is not allowed in the "   \
      "current machine mode")                                                                   \
    X(in_page_error, 0xC0000006, "In Page Error",                                               \
      "The thread tried to access a page that was not present, and the system was unable to "   \
      "load the page. For example, this exception might occur if a network connection is lost " \
      "while running a program over the network")                                               \
    X(illegal_instruction, 0xC000001D, "Illegal Instruction",                                   \
      "The thread tried to execute an invalid instruction")                                     \
    X(noncontinuable_exception, 0xC0000025, "Noncontinuable Exception",                         \
      "The thread attempted to continue execution after a noncontinuable exception occurred")   \
    X(stack_overflow, 0xC00000FD, "Stack Overflow", "The thread used up its stack")             \
    X(invalid_disposition, 0xC0000026, "Invalid Disposition",                                   \
      "An exception handler returned an invalid disposition to the exception dispatcher. "      \
      "Programmers using a high-level language such as C should never encounter this "          \
      "exception")                                                                              \
    X(guard_page, 0x80000001, "Guard Page", "Guard Page Exception")                             \
    X(invalid_handle, 0xC0000008, "Invalid Handle", "Invalid Handle Exception")                 \
    X(no_memory, 0xC0000017, "No Memory",                                                       \
      "The allocation attempt failed because of a lack of available memory or heap "            \
      "corruption.")                                                                            \
    X(microsoft_cpp, 0xE06D7363, "Microsoft C++ Exception", "Microsoft C++ Exception")          \
    X(delay_load_no_dll, 0xC06D007E, "DLL Not Found", "Delay Loading failed because DLL Not Found") \
    X(delay_load_no_proc, 0xC06D007F, "DLL Procedure Not Found",                                \
      "Delay Loading failed because DLL Procedure Not Found")

struct CodeEntry {
    unsigned long code;
    const char* name;
    const char* description;
    void (*raise)(const EXCEPTION_POINTERS* info);  // throws
};

#define QW_SE_ENTRY(cls, code, name, desc) \
    {code, name, desc, [](const EXCEPTION_POINTERS* i) { throw se_translator::cls(i); }},
const CodeEntry kCodes[] = {QW_SE_TABLE(QW_SE_ENTRY)};
#undef QW_SE_ENTRY

const CodeEntry* FindCode(unsigned long code) {
    for (const CodeEntry& e : kCodes)
        if (e.code == code) return &e;
    return nullptr;
}

constexpr unsigned long kMicrosoftCpp = 0xE06D7363;

// The way back to a guarded call after a stack overflow below it.
struct JumpPoint {
    void* buf[5];            // __builtin_setjmp's buffer
    uintptr_t safe_sp;       // a stack address below the guarded call's frame
    JumpPoint* prev;
#ifdef QW_SE_X86
    unsigned long seh_head;  // the thread's SEH chain when the call began
#endif
};

// Per thread, made by the first translator installed and freed when none is
// left. Reached through a TLS slot, which never allocates, so the handler
// can look at it on an exhausted stack.
struct ThreadState {
    se_translator_function translator;
    JumpPoint* jump;
    bool reraising;            // the translator returned: let the fault pass
    EXCEPTION_RECORD record;   // the fault being translated
    CONTEXT context;
};

DWORD g_tls = TLS_OUT_OF_INDEXES;

ThreadState* State() {
    return g_tls == TLS_OUT_OF_INDEXES ? nullptr : static_cast<ThreadState*>(TlsGetValue(g_tls));
}

void FreeStateIfIdle(ThreadState* s) {
    if (s && !s->translator && !s->jump) {
        TlsSetValue(g_tls, nullptr);
        delete s;
    }
}

bool Translatable(unsigned long code) {
    if (code == kMicrosoftCpp) return false;
    return (code >> 28) == 0xC || FindCode(code) != nullptr;
}

} // namespace

// Runs on the faulting thread where the fault was, as if called from the
// faulting instruction.
extern "C" [[noreturn]] void __attribute__((noinline, used)) qw_se_throw_pending() {
    ThreadState* s = State();
    // Own copies: a fault inside the translator would overwrite the state.
    EXCEPTION_RECORD rec = s->record;
    CONTEXT* ctx = static_cast<CONTEXT*>(_alloca(sizeof(CONTEXT) + 16));
    ctx = reinterpret_cast<CONTEXT*>((reinterpret_cast<uintptr_t>(ctx) + 15) & ~uintptr_t(15));
    std::memcpy(ctx, &s->context, sizeof(CONTEXT));
    EXCEPTION_POINTERS info{&rec, ctx};
    s->translator(static_cast<unsigned int>(rec.ExceptionCode), &info);
    // The translator declined: raise the fault again, past the translator.
    s->reraising = true;
    RaiseException(rec.ExceptionCode, EXCEPTION_NONCONTINUABLE, rec.NumberParameters,
                   rec.ExceptionInformation);
    for (;;) {
    }
}

#ifndef QW_SE_X86
// A fault in a leaf function leaves the stack 8 bytes off the alignment a
// called function expects; this stub (with unwind data of its own) puts it
// right before it calls the thrower.
extern "C" void qw_se_throw_pending_realigned();
asm(R"(
    .text
    .globl qw_se_throw_pending_realigned
    .def qw_se_throw_pending_realigned; .scl 2; .type 32; .endef
    .seh_proc qw_se_throw_pending_realigned
qw_se_throw_pending_realigned:
    subq $16, %rsp
    .seh_stackalloc 16
    .seh_endprologue
    call qw_se_throw_pending
    nop
    .seh_endproc
)");
#endif

namespace {

[[noreturn]] void __attribute__((noinline)) OverflowJump() {
    JumpPoint* j = State()->jump;
#ifdef QW_SE_X86
    // The abandoned frames may have registered handlers of their own.
    __writefsdword(0, j->seh_head);
#endif
    __builtin_longjmp(j->buf, 1);
}

LONG CALLBACK VectoredHandler(EXCEPTION_POINTERS* ep) {
    unsigned long code = ep->ExceptionRecord->ExceptionCode;
    if (!Translatable(code)) return EXCEPTION_CONTINUE_SEARCH;
    ThreadState* s = State();
    if (!s || !s->translator) return EXCEPTION_CONTINUE_SEARCH;
    if (s->reraising) {
        s->reraising = false;
        return EXCEPTION_CONTINUE_SEARCH;
    }
    CONTEXT* c = ep->ContextRecord;
#ifdef QW_SE_X86
    // A fault inside a system module (RaiseException itself, a system routine
    // given a bad pointer) has no unwind data the 32-bit unwinder can use: a
    // throw from there would end in std::terminate. Such a fault is handed on
    // untranslated, as outside every scope, so that it reaches the handlers
    // and the crash report with its own code.
    if (code != EXCEPTION_STACK_OVERFLOW) {
        qw_dwarf_eh_bases bases{};
        if (!_Unwind_Find_FDE(reinterpret_cast<void*>(static_cast<uintptr_t>(c->Eip)), &bases))
            return EXCEPTION_CONTINUE_SEARCH;
    }
#endif
    if (code == EXCEPTION_STACK_OVERFLOW) {
        if (!s->jump) return EXCEPTION_CONTINUE_SEARCH;
        s->record = *ep->ExceptionRecord;
        s->record.ExceptionRecord = nullptr;
        s->context = *c;
        uintptr_t sp = (s->jump->safe_sp - 512) & ~uintptr_t(15);
#ifdef QW_SE_X86
        c->Esp = static_cast<DWORD>(sp - 4);
        c->Eip = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&OverflowJump));
#else
        c->Rsp = sp - 8;
        c->Rip = reinterpret_cast<DWORD64>(&OverflowJump);
#endif
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    s->record = *ep->ExceptionRecord;
    s->record.ExceptionRecord = nullptr;
    s->context = *c;
    // Make it look as if the faulting instruction had called ThrowPending:
    // the return address points just past the start of that instruction, so
    // the unwinder looks the faulting frame up at the fault itself.
#ifdef QW_SE_X86
    c->Esp -= 4;
    *reinterpret_cast<DWORD*>(static_cast<uintptr_t>(c->Esp)) = c->Eip + 1;
    c->Eip = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&qw_se_throw_pending));
#else
    bool aligned = (c->Rsp & 15) == 0;
    c->Rsp -= 8;
    *reinterpret_cast<DWORD64*>(c->Rsp) = c->Rip + 1;
    c->Rip = aligned ? reinterpret_cast<DWORD64>(&qw_se_throw_pending)
                     : reinterpret_cast<DWORD64>(&qw_se_throw_pending_realigned);
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

void InstallOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_tls = TlsAlloc();
        AddVectoredExceptionHandler(1, VectoredHandler);
    });
}

uintptr_t __attribute__((noinline)) StackMark() {
    volatile int mark = 0;
    return reinterpret_cast<uintptr_t>(&mark);
}

} // namespace

namespace se_translator {

exception::exception(const EXCEPTION_POINTERS* info) {
    static_assert(sizeof(EXCEPTION_RECORD) == kRecordSize &&
                      alignof(EXCEPTION_RECORD) == alignof(void*),
                  "the exception record's room must match the system's record");
    static_assert(sizeof(CONTEXT) == kContextSize && alignof(CONTEXT) == kContextAlign,
                  "the context's room must match the system's context");
    auto* rec = ::new (static_cast<void*>(record_)) EXCEPTION_RECORD{};
    auto* ctx = ::new (static_cast<void*>(context_)) CONTEXT{};
    if (info && info->ExceptionRecord) {
        *rec = *info->ExceptionRecord;
        rec->ExceptionRecord = nullptr;  // the chain lives on a stack that is gone
    }
    if (info && info->ContextRecord) *ctx = *info->ContextRecord;
}

unsigned long exception::code() const { return record().ExceptionCode; }

void* exception::address() const { return record().ExceptionAddress; }

const EXCEPTION_RECORD& exception::record() const {
    return *std::launder(reinterpret_cast<const EXCEPTION_RECORD*>(record_));
}

const CONTEXT& exception::context() const {
    return *std::launder(reinterpret_cast<const CONTEXT*>(context_));
}

std::string exception::name() const { return ExceptionCodeName(code()); }

const char* exception::description() const { return ExceptionCodeDescription(code()); }

void GuardedCall(void (*fn)(void*), void* arg) {
    SETranslatorScope scope;
    ThreadState* s = State();
    if (!s) {  // no TLS slot: translate nothing rather than fail the call
        fn(arg);
        return;
    }
    JumpPoint jp{};
    jp.prev = s->jump;
    jp.safe_sp = StackMark();
#ifdef QW_SE_X86
    jp.seh_head = __readfsdword(0);
#endif
    struct Pop {
        JumpPoint* jp;
        ~Pop() { State()->jump = jp->prev; }
    } pop{&jp};
    s->jump = &jp;
    if (__builtin_setjmp(jp.buf) == 0) {
        fn(arg);
        return;
    }
    // Back from a stack overflow further down.
    s = State();
    s->jump = &jp;  // abandoned inner guarded calls are gone
    EXCEPTION_RECORD rec = s->record;
    CONTEXT* ctx = static_cast<CONTEXT*>(_alloca(sizeof(CONTEXT) + 16));
    ctx = reinterpret_cast<CONTEXT*>((reinterpret_cast<uintptr_t>(ctx) + 15) & ~uintptr_t(15));
    std::memcpy(ctx, &s->context, sizeof(CONTEXT));
    _resetstkoflw();
    EXCEPTION_POINTERS info{&rec, ctx};
    throw stack_overflow(&info);
}

} // namespace se_translator

void TranslateStructuredException(unsigned int code, EXCEPTION_POINTERS* info) {
    if (const CodeEntry* e = FindCode(code)) e->raise(info);
    throw se_translator::exception(info);
}

se_translator_function SetSETranslator(se_translator_function fn) {
    InstallOnce();
    if (g_tls == TLS_OUT_OF_INDEXES) return nullptr;
    ThreadState* s = State();
    if (!s) {
        if (!fn) return nullptr;
        s = new ThreadState{};
        TlsSetValue(g_tls, s);
    }
    se_translator_function previous = s->translator;
    s->translator = fn;
    FreeStateIfIdle(s);
    return previous;
}

std::string ExceptionCodeName(unsigned long code) {
    if (const char* name = ExceptionCodeTableName(code)) return name;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%lx", code);
    return hex;
}

const char* ExceptionCodeDescription(unsigned long code) {
    const CodeEntry* e = FindCode(code);
    return e ? e->description : "Unknown Exception";
}

const char* ExceptionCodeTableName(unsigned long code) {
    const CodeEntry* e = FindCode(code);
    return e ? e->name : nullptr;
}

SETranslatorScope::SETranslatorScope()
    : previous_(SetSETranslator(&TranslateStructuredException)) {}

SETranslatorScope::~SETranslatorScope() { SetSETranslator(previous_); }
