// Framework thread objects: worker and user-interface threads, their message
// loop, self-deletion and the current-thread lookup.
#include <windows.h>

#include <gtest/gtest.h>

#include "framework/fwthread.h"

namespace {

constexpr UINT kPing = WM_APP + 1;

struct Seen {
    int pings = 0;
    bool saw_itself = false;
    bool deleted = false;
    HANDLE ready = nullptr;
};

class UiThread : public fw::Thread {
public:
    Seen* seen;
    bool init_ok = true;
    explicit UiThread(Seen* s) : seen(s) {}
    ~UiThread() override { seen->deleted = true; }

    bool InitInstance() override {
        // Make the queue exist before anyone posts to it.
        MSG m;
        PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);
        SetEvent(seen->ready);
        return init_ok;
    }
    int ExitInstance() override { return init_ok ? exit_code_ + 100 : 7; }
    bool PreTranslateMessage(MSG* msg) override {
        if (msg->message == kPing) {
            ++seen->pings;
            seen->saw_itself = fw::Thread::Current() == this;
            if (msg->wParam) PostQuitMessage(static_cast<int>(msg->wParam));
            return true;
        }
        return false;
    }
};

DWORD WaitExit(HANDLE h) {
    EXPECT_EQ(WaitForSingleObject(h, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(h, &code);
    CloseHandle(h);
    return code;
}

TEST(FwThread, UserInterfaceThreadRunsItsOwnLoopAndDeletesItself) {
    EXPECT_EQ(fw::Thread::Current(), nullptr);  // the test's own thread
    struct Case {
        bool init_ok;
        int pings;
        DWORD exit;
    } cases[] = {{true, 2, 103}, {false, 0, 7}};
    for (const Case& c : cases) {
        Seen seen;
        seen.ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        auto* t = new UiThread(&seen);
        t->init_ok = c.init_ok;
        ASSERT_TRUE(t->CreateThread(CREATE_SUSPENDED));
        HANDLE h = t->DuplicateHandle();  // t deletes itself when it ends
        DWORD id = t->id();
        ASSERT_NE(h, nullptr);
        t->Resume();
        ASSERT_EQ(WaitForSingleObject(seen.ready, 5000), WAIT_OBJECT_0);
        if (c.init_ok) {
            PostThreadMessageA(id, kPing, 0, 0);
            PostThreadMessageA(id, kPing, 3, 0);  // ends the loop with 3
        }
        EXPECT_EQ(WaitExit(h), c.exit);
        EXPECT_EQ(seen.pings, c.pings);
        EXPECT_EQ(seen.saw_itself, c.init_ok);
        EXPECT_TRUE(seen.deleted);
        CloseHandle(seen.ready);
    }
}

unsigned WorkerBody(void* param) {
    fw::Thread* self = fw::Thread::Current();
    return self && self->param() == param ? 11 : 12;
}

TEST(FwThread, WorkerThreadRunsItsFunctionAndFindsItself) {
    int token = 0;
    fw::Thread* t = fw::BeginThread(WorkerBody, &token, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(t, nullptr);
    HANDLE h = t->DuplicateHandle();
    t->Resume();
    EXPECT_EQ(WaitExit(h), 11u);
}

} // namespace
