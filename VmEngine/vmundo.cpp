// Undo and redo logs. The log's name ties it to its owner: "Undo" or "Redo",
// a blank and the owner's handle in hexadecimal, so that a log can be found
// by name while its owner is open and no log outlives its owner (closing a
// buffer closes its linked log, and through it the redo log).
#include "VmEngine/vmundo.h"

#include <cinttypes>
#include <cstdio>

namespace {

// The linked log, when it is still a live buffer.
VMB* linked_log(VMB* buffer) {
    VMB* log = buffer->log;
    return log && vmb_in_use(log) ? log : nullptr;
}

VMB* create_log(VMB* buffer, const char* word) {
    char name[64];
    std::snprintf(name, sizeof name, "%s %" PRIxPTR, word, reinterpret_cast<uintptr_t>(buffer));
    VMB* log = vmb_open(VMB_T_LOG, name, VMB_O_EXCL);
    if (log)
        buffer->log = log;
    return log;
}

} // namespace

VMB* vm_undo_buffer(VMB* buffer, int op) {
    if (!vmb_in_use(buffer))
        return nullptr;
    VmGuard guard;
    switch (op) {
    case VM_UNDO_CREATE:
        return create_log(buffer, "Undo");
    case VM_UNDO_REDO:
        return create_log(buffer, "Redo");
    case VM_UNDO_CLEAR: {
        VMB* log = linked_log(buffer);
        if (log) {
            vm_clear(log, 1);
            log->undo_switch = 0;
        }
        return log;
    }
    default:
        return linked_log(buffer);
    }
}

int vm_undo_enable(VMB* buffer, int op, int value) {
    if (!vmb_in_use(buffer))
        return 0;
    VmGuard guard;
    if (op != -1)
        buffer->undo_switch = op == 1 ? static_cast<uint32_t>(value) : 0u;
    return static_cast<int>(buffer->undo_switch);
}
