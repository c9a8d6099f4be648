#include "framework/fwsync.h"

namespace fw {

SyncObject::~SyncObject() {
    if (handle_) CloseHandle(handle_);
}

DWORD SyncObject::Wait(DWORD timeout_ms) const {
    return handle_ ? WaitForSingleObject(handle_, timeout_ms) : WAIT_FAILED;
}

Event::Event(ResetMode reset, bool initially_set, const char* name) {
    handle_ = CreateEventA(nullptr, reset == kManualReset, initially_set, name);
}

Mutex::Mutex(bool initially_owned, const char* name) {
    handle_ = CreateMutexA(nullptr, initially_owned, name);
    existed_ = handle_ && GetLastError() == ERROR_ALREADY_EXISTS;
}

WaitCursor::WaitCursor() : previous_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}

WaitCursor::~WaitCursor() { SetCursor(previous_); }

void WaitCursor::Restore() { SetCursor(LoadCursor(nullptr, IDC_WAIT)); }

} // namespace fw
