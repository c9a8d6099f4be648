// Stand-in for loading while the loader (vmload.cpp) is not part of the
// build: a buffer never has lines to read from a stream, and closing just
// forgets the stream. The CMakeLists links this file only when vmload.cpp
// is absent.
#include "VmEngine/vm.h"

int vm_read_lines(VMB* buffer, uint32_t) {
    if (!vmb_in_use(buffer))
        return 0;
    vm_lock(1);
    buffer->state |= VM_ST_FULLY_READ;
    vm_lock(0);
    return 1;
}

int vmb_stream_close(VMB* buffer) {
    if (!vmb_in_use(buffer))
        return 0;
    buffer->stream = nullptr;
    return 1;
}
