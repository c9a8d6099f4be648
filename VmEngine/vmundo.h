#pragma once
// Undo and redo logs: ordinary engine buffers of type 0x20 linked to the
// buffer whose edits they record. A text buffer's linked log is its undo
// log; the undo log's own linked log is the redo log. The edit view writes
// and replays the records; the engine only keeps the logs.
#include "VmEngine/vm.h"

// vm_undo_buffer ops.
enum : int {
    VM_UNDO_CLEAR = 0,  // empty the linked log and reset its switch
    VM_UNDO_CREATE = 1, // make the undo log ("Undo <handle>")
    VM_UNDO_REDO = 2,   // make the redo log ("Redo <handle>"), called on the undo log
    VM_UNDO_GET = -1,   // the linked log or null
};

// op 1 / 2: a new log named after the buffer, linked to it and returned;
// null when a buffer of that name exists already or none can be made.
// op 0: empties the linked log (marked modified), sets its switch to 0 and
// returns it; null when no log is linked. Other ops: the linked log or null.
VMB* vm_undo_buffer(VMB* buffer, int op);

// op -1 reads the buffer's undo switch, op 1 stores `value`, any other op
// stores 0. Returns the switch; 0 for an invalid buffer.
int vm_undo_enable(VMB* buffer, int op, int value);
