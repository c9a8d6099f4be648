#pragma once
// Synchronisation objects: thin owners of the Win32 objects.
//
//   fw::CriticalSection cs;                 // recursive: the owner may re-enter
//   { fw::ScopedLock lock(cs); ... }        // any lockable: Lock()/Unlock()
//   fw::Event done(fw::Event::kManualReset);
//   done.Set();  done.Wait(5000);
//   fw::Mutex m(false, "Name");  if (m.Lock(1000)) { ...; m.Unlock(); }
//   { fw::WaitCursor busy; ... }            // hourglass while alive
#include <windows.h>

#include "framework/fwexport.h"

namespace fw {

class QWFW_API CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&cs_); }
    ~CriticalSection() { DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Lock() { EnterCriticalSection(&cs_); }
    bool TryLock() { return TryEnterCriticalSection(&cs_) != 0; }
    void Unlock() { LeaveCriticalSection(&cs_); }
    CRITICAL_SECTION* get() { return &cs_; }

private:
    CRITICAL_SECTION cs_;
};

// Waitable kernel objects share this base: the handle and the waits.
class QWFW_API SyncObject {
public:
    SyncObject(const SyncObject&) = delete;
    SyncObject& operator=(const SyncObject&) = delete;
    virtual ~SyncObject();
    HANDLE handle() const { return handle_; }
    bool valid() const { return handle_ != nullptr; }
    // WAIT_OBJECT_0, WAIT_TIMEOUT, WAIT_ABANDONED or WAIT_FAILED.
    DWORD Wait(DWORD timeout_ms = INFINITE) const;
    // True when the object was acquired (an abandoned mutex counts: its
    // previous owner died, the caller owns it now).
    bool Lock(DWORD timeout_ms = INFINITE) {
        DWORD r = Wait(timeout_ms);
        return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    }
    virtual bool Unlock() = 0;

protected:
    SyncObject() = default;
    HANDLE handle_ = nullptr;
};

class QWFW_API Event : public SyncObject {
public:
    enum ResetMode { kAutoReset, kManualReset };
    explicit Event(ResetMode reset = kAutoReset, bool initially_set = false, const char* name = nullptr);
    bool Set() { return SetEvent(handle_) != 0; }
    bool Reset() { return ResetEvent(handle_) != 0; }
    // Tests the state without waiting. Like any wait, it consumes the
    // signal of an auto-reset event.
    bool IsSet() const { return Wait(0) == WAIT_OBJECT_0; }
    bool Unlock() override { return true; }
};

class QWFW_API Mutex : public SyncObject {
public:
    explicit Mutex(bool initially_owned = false, const char* name = nullptr);
    // Whether a named mutex existed before this object opened it.
    bool existed() const { return existed_; }
    bool Unlock() override { return ReleaseMutex(handle_) != 0; }

private:
    bool existed_ = false;
};

// Holds a lock for its scope. Works with anything that has Lock()/Unlock().
template <class Lockable>
class ScopedLock {
public:
    explicit ScopedLock(Lockable& l) : l_(l) { l_.Lock(); }
    ~ScopedLock() { l_.Unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    Lockable& l_;
};
template <class Lockable>
ScopedLock(Lockable&) -> ScopedLock<Lockable>;

// Shows the wait cursor while alive and restores the one before.
class QWFW_API WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    // Shows the wait cursor again (after a box may have changed it).
    void Restore();

private:
    HCURSOR previous_;
};

} // namespace fw
