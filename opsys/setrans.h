#pragma once
// Machine faults as C++ exceptions.
//
// Inside a SETranslatorScope a fault of the calling thread (access
// violation, division by zero, ...) is thrown as the matching
// se_translator::exception subclass, so that a risky call can be caught and
// reported instead of ending the program. Outside every scope a fault is not
// translated (it reaches the crash report). Scopes nest; each puts back the
// translator it found.
//
// How: mingw g++ has no _set_se_translator, so a vectored exception handler
// looks at the faulting thread's translator and, when one is installed,
// resumes the thread in a function that calls it (the translator throws from
// there, and the C++ unwinder walks on through the faulting frame). Code
// that may fault inside a scope must be compiled with -fnon-call-exceptions,
// or the unwinder cannot leave the faulting frame. In the 32-bit build the
// unwinder can only walk frames of our own modules, so a fault that happens
// inside a system module (RaiseException included) is handed on untranslated;
// the 64-bit unwinder walks system frames too. A stack overflow cannot
// throw on the exhausted stack: it is translated only inside guarded_call,
// which jumps back to its own frame first.
//
// The handler sees a fault before any handler of the called code does, so a
// scope should stay tight around the risky call: a system routine that
// expects to catch a fault of its own inside the scope would see it thrown.
// C++ exceptions of other compilers (microsoft_cpp) are therefore never
// translated by the handler.
#include <cstddef>
#include <string>
#include <type_traits>

// The system's records (EXCEPTION_POINTERS, EXCEPTION_RECORD, CONTEXT): a
// caller that looks inside them includes <windows.h> itself.
struct _EXCEPTION_POINTERS;
struct _EXCEPTION_RECORD;
struct _CONTEXT;

namespace se_translator {

// A translated fault. Keeps its own copy of the exception record and the
// processor context, so it stays valid wherever it is caught or copied.
class exception {
public:
    explicit exception(const _EXCEPTION_POINTERS* info);

    unsigned long code() const;
    void* address() const;
    const _EXCEPTION_RECORD& record() const;
    const _CONTEXT& context() const;
    // The name and description of the code (see ExceptionCodeName).
    std::string name() const;
    const char* description() const;

private:
    // The copies live in place, as the records themselves did: sizes and
    // alignments are checked against the real types where they are filled.
#ifdef _WIN64
    static constexpr std::size_t kRecordSize = 152, kContextSize = 1232, kContextAlign = 16;
#else
    static constexpr std::size_t kRecordSize = 80, kContextSize = 716, kContextAlign = 4;
#endif
    alignas(void*) unsigned char record_[kRecordSize];
    alignas(kContextAlign) unsigned char context_[kContextSize];
};

#define QW_SE_CLASS(cls)                     \
    class cls : public exception {           \
    public:                                  \
        using exception::exception;          \
    };
QW_SE_CLASS(access_violation)
QW_SE_CLASS(datatype_misalignment)
QW_SE_CLASS(breakpoint)
QW_SE_CLASS(single_step)
QW_SE_CLASS(array_bounds_exceeded)
QW_SE_CLASS(flt_denormal_operand)
QW_SE_CLASS(flt_divide_by_zero)
QW_SE_CLASS(flt_inexact_result)
QW_SE_CLASS(flt_invalid_operation)
QW_SE_CLASS(flt_overflow)
QW_SE_CLASS(flt_stack_check)
QW_SE_CLASS(flt_underflow)
QW_SE_CLASS(int_divide_by_zero)
QW_SE_CLASS(int_overflow)
QW_SE_CLASS(priv_instruction)
QW_SE_CLASS(in_page_error)
QW_SE_CLASS(illegal_instruction)
QW_SE_CLASS(noncontinuable_exception)
QW_SE_CLASS(stack_overflow)
QW_SE_CLASS(invalid_disposition)
QW_SE_CLASS(guard_page)
QW_SE_CLASS(invalid_handle)
QW_SE_CLASS(no_memory)
QW_SE_CLASS(microsoft_cpp)
QW_SE_CLASS(delay_load_no_dll)
QW_SE_CLASS(delay_load_no_proc)
#undef QW_SE_CLASS

// Runs fn() inside a translator scope with a way back for a stack overflow:
// an overflow anywhere below arrives as stack_overflow (the frames between
// are abandoned without their destructors) and the stack's guard page is
// set again. Other faults arrive as in any scope.
void GuardedCall(void (*fn)(void*), void* arg);
template <class F>
void guarded_call(F&& fn) {
    using Fn = std::remove_reference_t<F>;
    GuardedCall([](void* p) { (*static_cast<Fn*>(p))(); }, &fn);
}

} // namespace se_translator

// A translator: called on the faulting thread with the code and the fault's
// information; it throws. One that returns leaves the fault untranslated.
using se_translator_function = void (*)(unsigned int code, _EXCEPTION_POINTERS* info);

// Throws the subclass that matches the code (the base class for a code not
// in the table), constructed from info.
[[noreturn]] void TranslateStructuredException(unsigned int code, _EXCEPTION_POINTERS* info);

// Installs fn as the calling thread's translator (null: none); returns the
// one it replaces.
se_translator_function SetSETranslator(se_translator_function fn);

// The name and description columns of the code table: for a code not in it,
// the code in lower-case hexadecimal and "Unknown Exception".
std::string ExceptionCodeName(unsigned long code);
const char* ExceptionCodeDescription(unsigned long code);
// The name from the table, or null for a code not in it (never allocates).
const char* ExceptionCodeTableName(unsigned long code);

class SETranslatorScope {
public:
    SETranslatorScope();
    ~SETranslatorScope();
    SETranslatorScope(const SETranslatorScope&) = delete;
    SETranslatorScope& operator=(const SETranslatorScope&) = delete;

private:
    se_translator_function previous_;
};
