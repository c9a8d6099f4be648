// Positioning a buffer handle: lines, columns, the mark line and byte offsets.
#include "VmEngine/detail/vmline.h"

using namespace vmi;
using namespace vmi::lines;

int vm_set_position(VMB* b, int line, int column) {
    Lock lk;
    return vmb_in_use(b) && position(b, line, column) ? 1 : 0;
}

int vm_set_position_eol(VMB* b, int line) { return vm_set_position(b, line, -1); }

int vm_map_line(VMB* b, int line) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    uint32_t l = uint32_t(line);
    if (!fully_read(b) && l > b->line_count)
        vm_read_lines(b, l >= 0xFFFFFFFFu - 1002 ? 0xFFFFFFFFu : l + 1000);
    return l >= 1 && l <= b->line_count ? line : 0;
}

int vm_goto(VMB* b, int line, int column) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    vm_map_line(b, line);
    return position(b, line, column) ? 1 : 0;
}

int vm_goto_line(VMB* b, int line) { return vm_goto(b, line, 0); }

int vm_get_position(VMB* b, int* column) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    if (column)
        *column = int(b->cur_col);
    return int(b->cur_line);
}

int vm_cur_line(VMB* b) {
    Lock lk;
    return vmb_in_use(b) ? int(b->cur_line) : 0;
}

int vm_cur_col(VMB* b) {
    Lock lk;
    return vmb_in_use(b) ? int(b->cur_col) : -1;
}

int vm_goto_mark_line(VMB* b, int line) {
    Lock lk;
    if (!vm_goto_line(b, line))
        return 0;
    b->mark_line = uint32_t(line);
    return 1;
}

int vm_mark_line(VMB* b) { return line_field(b, &VMB::mark_line); }

int vm_set_mark_line(VMB* b, int line) { return set_line_field(b, &VMB::mark_line, line); }

uint32_t vm_position_offset(VMB* b) {
    Lock lk;
    if (!vmb_in_use(b) || !b->cur_line)
        return 0;
    PosSave s = save_pos(b);
    uint32_t eol = uint32_t(vm_line_break_size(b)), sum = 1;
    for (uint32_t l = 1; l < s.line; ++l) {
        seek(b, l, -1);
        sum += b->cur_col + eol;
    }
    restore_pos(b, s);
    return sum + s.col;
}
