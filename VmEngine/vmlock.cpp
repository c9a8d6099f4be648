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

// Engine calls nest deeply (a line read inside a search inside a guard), so
// a thread that already holds the lock only counts; the mutex is taken and
// given back at the outermost level alone.
void vm_lock(int enter) {
    if (enter) {
        if (t_depth <= 0) {
            engine_lock().lock();
            t_depth = 0;
        }
        ++t_depth;
    } else if (t_depth > 0 && --t_depth == 0) {
        engine_lock().unlock(); // a leave without an enter gives back nothing
    }
}

int vm_lock_held() { return t_depth > 0; }

void vm_guard_enter() { vm_lock(1); }
void vm_guard_leave() { vm_lock(0); }
