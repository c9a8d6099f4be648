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
} // namespace

void vm_lock(int enter) {
    if (enter)
        engine_lock().lock();
    else
        engine_lock().unlock();
}

void vm_guard_enter() { vm_lock(1); }
void vm_guard_leave() { vm_lock(0); }
