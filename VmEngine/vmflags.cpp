// Line flags, tags and lexical states, and the per-buffer state values.
#include "VmEngine/detail/vmline.h"

using namespace vmi;
using namespace vmi::lines;

int vm_line_flags(VMB* b, int line, int op, int mask) {
    Lock lk;
    if (!vmb_in_use(b))
        return -1;
    PosSave s = save_pos(b);
    uint32_t hp;
    uint8_t* h = line_hdr(b, line, &hp);
    if (!h)
        return -1;
    uint16_t f = rd16(h + 5);
    int kind = op & ~VM_OP_KEEP_POS;
    if (op >= 0 && kind == VM_OP_SET)
        f = uint16_t(f | mask);
    else if (op >= 0 && kind == VM_OP_CLEAR)
        f = uint16_t(f & ~mask);
    if (op >= 0 && (kind == VM_OP_SET || kind == VM_OP_CLEAR)) {
        wr16(h + 5, f);
        pc_mark_dirty(hp);
    }
    if (op >= 0 && (op & VM_OP_KEEP_POS))
        restore_pos(b, s);
    return f & mask;
}

int vm_line_flags_range(VMB* b, int first, int last, int op, int mask, int renumber) {
    Lock lk;
    if (!vmb_in_use(b))
        return -1;
    if (first == 0) {
        first = 1;
        last = int(b->line_count);
    }
    if (last > int(b->line_count))
        last = int(b->line_count);
    int n = 0;
    for (int l = first; l >= 1 && l <= last; ++l, ++n) {
        uint32_t hp;
        uint8_t* h = line_hdr(b, l, &hp);
        if (!h)
            break;
        uint16_t f = rd16(h + 5);
        if (op == VM_OP_SET)
            wr16(h + 5, f | uint32_t(mask));
        else if (op == VM_OP_CLEAR)
            wr16(h + 5, f & ~uint32_t(mask));
        if (renumber)
            wr32(h + 9, uint32_t(l));
        pc_mark_dirty(hp);
    }
    return n;
}

int vm_find_flagged_line(VMB* b, int start, int forward, int wrap, int mask, int want) {
    Lock lk;
    if (!vmb_in_use(b) || !b->line_count)
        return 0;
    int count = int(b->line_count);
    if (start == 0)
        start = int(b->cur_line) + (forward ? 1 : -1);
    if (start < 1)
        start = count;
    if (start > count)
        start = 1;
    int step = forward ? 1 : -1;
    bool wrapped = false;
    for (int l = start;;) {
        uint8_t* h = line_hdr(b, l);
        if (!h)
            return 0;
        bool has = (rd16(h + 5) & mask) != 0;
        if (has == (want != 0))
            return l;
        l += step;
        if (l < 1 || l > count) {
            if (!wrap || wrapped)
                return 0;
            wrapped = true;
            l = forward ? 1 : count;
        }
        if (wrapped && l == start)
            return 0;
    }
}

int vm_line_tag(VMB* b, int line, int op, uint32_t value) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    if (op == 1 && line == 0 && value == 0) {
        vm_line_flags_range(b, 0, 0, -1, 0, 1);
        return 1;
    }
    uint32_t hp;
    uint8_t* h = line_hdr(b, line, &hp);
    if (!h)
        return 0;
    if (op == -1)
        return int(rd32(h + 9));
    if (op == 1) {
        wr32(h + 9, value);
        pc_mark_dirty(hp);
        return 1;
    }
    if (op != 0)
        return 0;
    uint32_t tag = rd32(h + 9);
    if (tag == value)
        return line;
    int count = int(b->line_count);
    int first_dir = value <= tag ? -1 : 1;
    for (int dir : {first_dir, -first_dir})
        for (int l = line + dir; l >= 1 && l <= count; l += dir) {
            uint8_t* lh = line_hdr(b, l);
            if (!lh)
                break;
            if (rd32(lh + 9) == value)
                return l;
        }
    return 0;
}

int vm_line_lex_state(VMB* b, int line, int value_a, int* value_b) {
    Lock lk;
    uint32_t hp;
    uint8_t* h = vmb_in_use(b) ? line_hdr(b, line, &hp) : nullptr;
    if (!h)
        return -1;
    if (value_a == -1) {
        if (value_b)
            *value_b = h[8];
        return h[7];
    }
    h[7] = uint8_t(value_a);
    if (value_b)
        h[8] = uint8_t(*value_b);
    pc_mark_dirty(hp);
    return value_a & 0xFF;
}

uint32_t vm_state_flags(VMB* b, int op, uint32_t mask) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    if (op == 1)
        set_state(b, mask);
    else if (op == 0)
        b->state &= ~mask;
    return b->state & mask;
}

uint32_t vm_seq_get(VMB* b) {
    Lock lk;
    return vmb_in_use(b) ? b->seq : 0;
}

uint32_t vm_seq_next(VMB* b) {
    Lock lk;
    return vmb_in_use(b) ? ++b->seq : 0;
}

int vm_user_value(VMB* b, int value) {
    Lock lk;
    if (!vmb_in_use(b))
        return -1;
    if (value != -1)
        b->user_value = value;
    return b->user_value;
}

intptr_t vm_aux_value(VMB* b, int op, intptr_t value) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    if (op == 1)
        b->attachment = value;
    return b->attachment;
}

int vm_lex_line(VMB* b) { return line_field(b, &VMB::lex_line); }

int vm_set_lex_line(VMB* b, int line) { return set_line_field(b, &VMB::lex_line, line); }

int vm_is_fully_read(VMB* b) {
    Lock lk;
    return vmb_in_use(b) && fully_read(b) ? 1 : 0;
}

int vm_has_attachment(VMB* b) {
    Lock lk;
    return vmb_in_use(b) && b->attachment ? 1 : 0;
}
