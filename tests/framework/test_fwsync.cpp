// Synchronisation wrappers: the recursive critical section against another
// thread, events of both kinds, named mutexes and the scoped lock.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "framework/fwsync.h"

namespace {

TEST(FwSync, CriticalSectionIsRecursiveForItsOwnerOnly) {
    fw::CriticalSection cs;
    bool other_got_it = true;
    {
        fw::ScopedLock outer(cs);
        fw::ScopedLock inner(cs);  // the owner re-enters
        std::thread([&] { other_got_it = cs.TryLock(); }).join();
    }
    EXPECT_FALSE(other_got_it);
    bool after = false;
    std::thread([&] {
        after = cs.TryLock();
        if (after) cs.Unlock();
    }).join();
    EXPECT_TRUE(after) << "both levels were released";
}

TEST(FwSync, EventsAndMutexes) {
    fw::Event manual(fw::Event::kManualReset);
    fw::Event automatic(fw::Event::kAutoReset, true);
    EXPECT_FALSE(manual.IsSet());
    manual.Set();
    EXPECT_TRUE(manual.IsSet());
    EXPECT_TRUE(manual.IsSet()) << "a manual-reset event stays set";
    EXPECT_EQ(automatic.Wait(0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(automatic.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT)) << "an auto-reset event resets";

    std::string name = "QWFrameworkTestMutex" + std::to_string(GetCurrentProcessId());
    fw::Mutex first(false, name.c_str());
    fw::Mutex second(false, name.c_str());
    EXPECT_FALSE(first.existed());
    EXPECT_TRUE(second.existed());
    ASSERT_TRUE(first.Lock(0));
    bool other = true;
    std::thread([&] { other = second.Lock(0); }).join();
    EXPECT_FALSE(other);
    EXPECT_TRUE(first.Unlock());
}

} // namespace
