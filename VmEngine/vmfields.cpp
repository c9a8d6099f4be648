// Delimited fields of the current line, read and written.
#include "VmEngine/detail/vmline.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace vmi;
using namespace vmi::lines;

int vm_get_field(VMB* b, int delimiter, char* out, int max) {
    Lock lk;
    if (!vmb_in_use(b) || !out || max < 0 || !b->cur_line || !b->page_id)
        return -1;
    int c = vm_get_char(b, 0);
    if (c < 0)
        return -1;
    int n = 0;
    while (c >= 0 && c != (delimiter & 0xFF)) {
        if (n < max)
            out[n++] = char(c);
        c = vm_get_char(b, 0);
    }
    out[n] = 0;
    return n;
}

int vm_get_field_int(VMB* b, int delimiter) {
    char buf[100];
    return vm_get_field(b, delimiter, buf, 99) > 0 ? std::atoi(buf) : 0;
}

int vm_skip_fields(VMB* b, int delimiter, int n) {
    Lock lk;
    if (!has_position(b))
        return -1;
    int left = n;
    while (left > 0) {
        int c = vm_get_char(b, 0);
        if (c < 0)
            break;
        while (c >= 0 && c != (delimiter & 0xFF))
            c = vm_get_char(b, 0);
        --left;
    }
    return left | (vm_peek_char(b) < 0 ? 0x8000 : 0);
}

int vm_put_field(VMB* b, int delimiter, int line, int n, const char* text) {
    Lock lk;
    if (!vmb_in_use(b) || !text || line < 1 || n < 0)
        return 0;
    if (!ensure_line(b, uint32_t(line)) || !position(b, line, 0))
        return 0;
    if (vm_skip_fields(b, delimiter, n) & 0x7FFF)
        return 0;
    if (vm_peek_char(b) >= 0) {
        // Field n+1 exists: it goes, with its delimiter.
        uint32_t line_no = b->cur_line, col = b->cur_col, k = 0;
        int c;
        while ((c = vm_get_char(b, 0)) >= 0) {
            ++k;
            if (c == (delimiter & 0xFF))
                break;
        }
        seek(b, line_no, col);
        del_bytes(b, k);
    }
    std::string t(text);
    t.push_back(char(delimiter));
    return ins_bytes(b, reinterpret_cast<const uint8_t*>(t.data()), uint32_t(t.size())) ? 1 : 0;
}

int vm_put_field_int(VMB* b, int delimiter, int line, int n, int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", value);
    return vm_put_field(b, delimiter, line, n, buf);
}
