// The one process-wide lock of the buffer engine. Every engine call enters
// it; it is re-entrant on the same thread, because engine calls call each
// other while holding it. Made on first use, destroyed at process exit.
#include "VmEngine/vm.h"

#include <mutex>

namespace {
std::recursive_mutex& engine_lock() {
    static std::recursive_mutex m;
    return m;
}
// How deep the calling thread holds the lock (for vm_lock_held).
thread_local int t_depth = 0;
} // namespace

void vm_lock(int enter) {
    if (enter) {
        engine_lock().lock();
        ++t_depth;
    } else {
        --t_depth;
        engine_lock().unlock();
    }
}

int vm_lock_held() { return t_depth > 0; }

void vm_guard_enter() { vm_lock(1); }
void vm_guard_leave() { vm_lock(0); }
