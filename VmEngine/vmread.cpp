// Reading a buffer: characters, line texts and lengths, line counts and sizes.
#include "VmEngine/detail/vmline.h"

#include "opsys/msgout.h"

#include <cstring>
#include <string>

using namespace vmi;
using namespace vmi::lines;

int vm_get_char(VMB* b, int op) {
    Lock lk;
    if (!vmb_in_use(b) || !b->page_id || !b->cur_line)
        return -1;
    if (op & VM_GC_BACK) {
        if (b->cur_col == 0)
            return -2;
        if (!position(b, int(b->cur_line), int(b->cur_col - 1)))
            return -1;
        return peek(b);
    }
    int c = peek(b);
    if (c >= 0 && !(op & VM_GC_PEEK)) {
        ++b->char_off;
        ++b->cur_col;
    }
    return c;
}

int vm_peek_char(VMB* b) { return vm_get_char(b, VM_GC_PEEK); }

int vm_char_at(VMB* b, int line, int column) {
    Lock lk;
    if (!vmb_in_use(b) || column < 0 || !position(b, line, column))
        return -1;
    int c = peek(b);
    return c < 0 ? -1 : c;
}

int vm_read_text(VMB* b, int line, int column, char* out, int max, int* flags) {
    Lock lk;
    if (!vmb_in_use(b) || !out || max < 0 || !position(b, line, column))
        return -1;
    uint8_t* h = flags ? head_ptr(b) : nullptr;
    if (flags && !h)
        return -1;
    if (flags)
        *flags = rd_hdr(h).flags;
    uint32_t n = 0;
    bool ok = copy_out(b, out, uint32_t(max), &n);
    out[n] = 0;
    return ok ? int(n) : -1;
}

int vm_line_length(VMB* b, int line) {
    Lock lk;
    return vmb_in_use(b) ? length_of(b, uint32_t(line)) : -1;
}

int vm_col_past_end(VMB* b, int line, int column) {
    Lock lk;
    if (!vmb_in_use(b))
        return -1;
    int len = length_of(b, uint32_t(line));
    return len < 0 || column >= len ? 1 : 0;
}

int vm_line_span(VMB* b, int mode) {
    Lock lk;
    if (!vmb_in_use(b) || !b->cur_line)
        return -1;
    PosSave s = save_pos(b);
    if (!seek(b, s.line, -1)) {
        restore_pos(b, s);
        return -1;
    }
    int len = int(b->cur_col);
    if (mode != 2)
        restore_pos(b, s);
    return mode == 0 ? len : len - int(s.col);
}

char* vm_line_ptr(VMB* b, int line, int mode) {
    Lock lk;
    if (!vmb_in_use(b) || !position(b, line, 0))
        return nullptr;
    uint32_t page;
    uint8_t* h = head_ptr(b, &page);
    if (!h)
        return nullptr;
    if (mode == 2)
        pc_pin(page);
    else if (mode == 3)
        pc_unpin(page);
    return reinterpret_cast<char*>(h + VM_LINE_HDR);
}

int vm_line_texts(VMB* b, int line, int max, const char** texts, int* lengths) {
    Lock lk;
    if (!vmb_in_use(b) || !texts || !lengths || max < 1 || !position(b, line, 0))
        return 0;
    const uint8_t* p = pg(b->page_id);
    uint32_t rec = b->rec_off;
    if (!p || (p[rec] & 1))
        return 0;
    const uint32_t used = rd16(p + 4);
    int n = 0;
    uint32_t last = rec;
    while (n < max && rec < used) {
        const uint32_t len = rd32(p + rec + 1), end = rec + VM_LINE_HDR + len;
        // A record that ends its page may go on in the next one.
        bool more = false;
        if (end >= used && (!continued(b, b->page_id, &more) || more))
            break;
        texts[n] = reinterpret_cast<const char*>(p + rec + VM_LINE_HDR);
        lengths[n] = int(len);
        ++n;
        last = rec;
        rec = end;
    }
    // A batch that took the page's last line leaves the position at the
    // start of that line, so that asking for the lines after it goes on into
    // the next page from here; one that stopped short stays at its first
    // line, from which both its lines and the ones after are a walk within
    // the page.
    if (n > 0 && rec >= used) {
        b->cur_line += uint32_t(n - 1);
        b->cur_col = 0;
        b->rec_off = last;
        b->char_off = last + VM_LINE_HDR;
    }
    return n;
}

int vm_line_equals(VMB* b, int line, const char* text) {
    Lock lk;
    if (!vmb_in_use(b) || !text)
        return 0;
    std::string t;
    if (!read_line(b, uint32_t(line), 0, t))
        return 0;
    return t == text ? 1 : 0;
}

int vm_last_ln(VMB* b) {
    Lock lk;
    if (!vmb_in_use(b)) {
        MsgOut(QW_MSG_LOG | QW_MSG_BOX,
               "KV: Invalid 'vmf' parameter for vm_last_ln( vmf: %x ), vmbName: '%s'",
               unsigned(uintptr_t(b)), "");
        return 0;
    }
    return int(b->line_count);
}

int vm_line_count(VMB* b) { return vm_last_ln(b); }

int vm_line_break_size(VMB* b) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    return (b->state & (VM_ST_LF | VM_ST_ONE_BYTE_EOL)) ? 1 : 2;
}

uint32_t vm_size_estimate(VMB* b) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    if (!fully_read(b))
        vm_read_lines(b, 0xFFFFFFFFu);
    if (!b->line_count)
        return 0;
    uint32_t breaks = (b->state & VM_ST_FINAL_EOL) ? b->line_count : b->line_count - 1;
    return b->char_count + breaks * uint32_t(vm_line_break_size(b));
}
