// Machine faults inside a translator scope arrive as typed C++ exceptions and
// the program goes on. Built with -fnon-call-exceptions, as guarded code must be.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "opsys/setrans.h"

namespace {

volatile int g_zero = 0;
volatile bool g_keep_going = true;
volatile int g_sink = 0;

void __attribute__((noinline)) DivideByZero() { g_sink = 7 / g_zero; }

void __attribute__((noinline)) ReadBadAddress() {
    volatile int* p = reinterpret_cast<volatile int*>(static_cast<uintptr_t>(0x10) + g_zero);
    g_sink = *p;
}

int __attribute__((noinline)) Recurse(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    int below = g_keep_going ? Recurse(depth + 1) : 0;
    return below + frame[0];
}

[[maybe_unused]] void RaiseCode(DWORD code) { RaiseException(code, 0, 0, nullptr); }

// What a call raised: the class it was caught as, its code and name.
struct Caught {
    std::string as;
    unsigned long code = 0;
    std::string name;
    std::string description;
};

template <class E>
bool Is(const se_translator::exception& e) {
    return dynamic_cast<const E*>(&e) != nullptr;
}

Caught InScope(const std::function<void()>& fn) {
    Caught c;
    SETranslatorScope scope;
    try {
        fn();
        c.as = "nothing";
    } catch (const se_translator::int_divide_by_zero& e) {
        c = {"int_divide_by_zero", e.code(), e.name(), e.description()};
    } catch (const se_translator::access_violation& e) {
        c = {"access_violation", e.code(), e.name(), e.description()};
    } catch (const se_translator::no_memory& e) {
        c = {"no_memory", e.code(), e.name(), e.description()};
    } catch (const se_translator::exception& e) {
        c = {"exception", e.code(), e.name(), e.description()};
    }
    return c;
}

TEST(SETranslator, FaultsInsideAScopeArriveAsTheirClass) {
    struct Case {
        const char* what;
        std::function<void()> fn;
        const char* as;
        unsigned long code;
        const char* name;
        const char* description;
    } cases[] = {
        {"divide", [] { DivideByZero(); }, "int_divide_by_zero", 0xC0000094,
         "Integer Divide by Zero",
         "The thread attempted to divide an integer value by an integer divisor of zero"},
        {"read", [] { ReadBadAddress(); }, "access_violation", 0xC0000005, "Access Violation",
         "The thread attempted to read from or write to a virtual address for which it does "
         "not have the appropriate access"},
#if !(defined(_M_IX86) || defined(__i386__))
        // Raised inside RaiseException: only the 64-bit unwinder walks that
        // frame (the 32-bit case is in the crash-report tests).
        {"raised no-memory", [] { RaiseCode(0xC0000017); }, "no_memory", 0xC0000017, "No Memory",
         "The allocation attempt failed because of a lack of available memory or heap "
         "corruption."},
        {"unknown code", [] { RaiseCode(0xC0000194); }, "exception", 0xC0000194, "c0000194",
         "Unknown Exception"},
#endif
    };
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            Caught got = InScope(c.fn);
            EXPECT_EQ(got.as, c.as) << c.what;
            EXPECT_EQ(got.code, c.code) << c.what;
            EXPECT_EQ(got.name, c.name) << c.what;
            EXPECT_EQ(got.description, c.description) << c.what;
        }
    }
}

TEST(SETranslator, TheExceptionKeepsItsOwnRecordAfterTheFaultIsGone) {
    std::optional<se_translator::access_violation> kept;
    {
        SETranslatorScope scope;
        try {
            ReadBadAddress();
        } catch (const se_translator::access_violation& e) {
            kept.emplace(e);
        }
        // Another fault reuses whatever the first one left behind.
        EXPECT_THROW(DivideByZero(), se_translator::int_divide_by_zero);
    }
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->code(), 0xC0000005ul);
    ASSERT_GE(kept->record().NumberParameters, 2u);
    EXPECT_EQ(kept->record().ExceptionInformation[1], 0x10u);  // the address read
    EXPECT_EQ(kept->record().ExceptionRecord, nullptr);
#if defined(_M_IX86) || defined(__i386__)
    EXPECT_EQ(reinterpret_cast<void*>(static_cast<uintptr_t>(kept->context().Eip)), kept->address());
#else
    EXPECT_EQ(reinterpret_cast<void*>(kept->context().Rip), kept->address());
#endif
}

TEST(SETranslator, StackOverflowInAGuardedCallArrivesAndTheProgramGoesOn) {
    for (int round = 0; round < 3; ++round) {
        bool caught = false;
        try {
            se_translator::guarded_call([] { g_sink = Recurse(0); });
        } catch (const se_translator::stack_overflow& e) {
            caught = true;
            EXPECT_EQ(e.code(), 0xC00000FDul);
            EXPECT_EQ(e.name(), "Stack Overflow");
        }
        EXPECT_TRUE(caught) << "round " << round;
        // The thread's translator is back to none, and other faults still
        // arrive in a later scope (the guard page is set again each time).
        EXPECT_EQ(SetSETranslator(nullptr), nullptr);
        EXPECT_EQ(InScope([] { DivideByZero(); }).as, "int_divide_by_zero");
    }
    // A guarded call that does not fault returns normally.
    int ran = 0;
    se_translator::guarded_call([&] { ran = 1; });
    EXPECT_EQ(ran, 1);
}

struct CustomFault {
    unsigned code;
};
void CustomTranslator(unsigned int code, EXCEPTION_POINTERS*) { throw CustomFault{code}; }

TEST(SETranslator, NestedScopesPutBackTheTranslatorTheyFound) {
    EXPECT_EQ(SetSETranslator(&CustomTranslator), nullptr);
    {
        SETranslatorScope outer;
        {
            SETranslatorScope inner;
            EXPECT_THROW(DivideByZero(), se_translator::int_divide_by_zero);
        }
        EXPECT_THROW(ReadBadAddress(), se_translator::access_violation);
    }
    // The translator in force before the scopes is in force again.
    try {
        DivideByZero();
        ADD_FAILURE() << "no fault";
    } catch (const CustomFault& f) {
        EXPECT_EQ(f.code, 0xC0000094u);
    }
    EXPECT_EQ(SetSETranslator(nullptr), &CustomTranslator);
}

// Each thread has its own translator: a scope on a fresh thread works there.
struct ThreadResult {
    std::string as;
};

DWORD WINAPI FaultInScopeThread(void* p) {
    static_cast<ThreadResult*>(p)->as = InScope([] { DivideByZero(); }).as;
    return SetSETranslator(nullptr) == nullptr ? 0 : 1;
}

TEST(SETranslator, AScopeWorksOnAnyThread) {
    ThreadResult result;
    HANDLE t = CreateThread(nullptr, 0, FaultInScopeThread, &result, 0, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    DWORD code = 9;
    GetExitCodeThread(t, &code);
    CloseHandle(t);
    EXPECT_EQ(result.as, "int_divide_by_zero");
    EXPECT_EQ(code, 0u);
}

} // namespace
