// Changing a buffer: inserting, replacing and deleting characters and lines,
// and copying text between buffers.
#include "VmEngine/detail/vmline.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace vmi;
using namespace vmi::lines;

namespace {

constexpr uint32_t kMaxReserve = VM_PAGE_SIZE - VM_PAGE_HDR - VM_LINE_HDR;

int apply_case(VMB* b, int c) {
    if (b->state & (VM_ST_UPPER | VM_ST_UPPER_ONCE)) {
        c = std::toupper(c & 0xFF);
        b->state &= ~VM_ST_UPPER_ONCE;
    } else if (b->state & (VM_ST_LOWER | VM_ST_LOWER_ONCE)) {
        c = std::tolower(c & 0xFF);
        b->state &= ~VM_ST_LOWER_ONCE;
    }
    return c;
}

bool insert_cased(VMB* b, const char* text, uint32_t n) {
    if (!(b->state & (VM_ST_UPPER | VM_ST_LOWER | VM_ST_UPPER_ONCE | VM_ST_LOWER_ONCE)))
        return ins_bytes(b, reinterpret_cast<const uint8_t*>(text), n);
    std::string t(text, n);
    for (char& c : t)
        c = char(apply_case(b, static_cast<unsigned char>(c)));
    return ins_bytes(b, reinterpret_cast<const uint8_t*>(t.data()), n);
}


} // namespace

int vm_insert_line(VMB* b, int after, const char* text, int length) {
    Lock lk;
    return insert_line(b, after, text, length, true) ? after + 1 : 0;
}

char* vm_insert_line(VMB* b, int after, std::nullptr_t, int length) {
    Lock lk;
    // The caller writes the text in place, so it has to fit in one record.
    if (vmb_in_use(b))
        read_up_to(b, after);
    if (!vmb_in_use(b) || length < 0 || uint32_t(length) > kMaxReserve || after < 0 ||
        uint32_t(after) > b->line_count)
        return nullptr;
    if (!new_line(b, uint32_t(after), uint32_t(length)))
        return nullptr;
    uint32_t at = b->char_off;
    std::vector<uint8_t> zeros(size_t(length) + 1, 0);
    if (!ins_bytes(b, zeros.data(), uint32_t(length)))
        return nullptr;
    uint8_t* p = pg(b->page_id);
    if (!p)
        return nullptr;
    mark(b);
    return reinterpret_cast<char*>(p + at);
}

int vm_insert_line_nomod(VMB* b, int after, const char* text, int length) {
    Lock lk;
    return insert_line(b, after, text, length, false) ? after + 1 : 0;
}

int vm_append_line_ex(VMB* b, const char* text, int do_mark) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    // The end of the buffer is the end of the file.
    if (!fully_read(b))
        vm_read_lines(b, 0xFFFFFFFFu);
    int after = int(b->line_count);
    return insert_line(b, after, text, -1, do_mark != 0) ? after + 1 : 0;
}

int vm_append_line(VMB* b, const char* text) { return vm_append_line_ex(b, text, 1); }

int vm_insert_empty_line(VMB* b, int after) { return vm_insert_line(b, after, "", 0); }

int vm_insert_text(VMB* b, int line, int column, const char* text, int length) {
    Lock lk;
    if (!vmb_in_use(b) || !text || !position(b, line, column))
        return -1;
    uint32_t n = length < 0 ? uint32_t(std::strlen(text)) : uint32_t(length);
    if (!insert_cased(b, text, n))
        return -1;
    return int(n);
}

int vm_put_char(VMB* b, int c) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    if (!b->line_count) {
        if (!new_line(b, 0, 0))
            return 0;
    } else if (!b->cur_line || !b->page_id) {
        return 0;
    }
    uint8_t ch = uint8_t(apply_case(b, c & 0xFF));
    if (!ins_bytes(b, &ch, 1))
        return 0;
    mark(b);
    return 1;
}

int vm_put_string(VMB* b, const char* text, int trailing) {
    Lock lk;
    if (!vmb_in_use(b) || !text)
        return 0;
    for (const char* p = text; *p; ++p)
        if (!vm_put_char(b, static_cast<unsigned char>(*p)))
            return 0;
    if (trailing && !vm_put_char(b, trailing))
        return 0;
    return 1;
}

int vm_put_int(VMB* b, int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", value);
    return vm_put_string(b, buf, 0);
}

int vm_replace_char(VMB* b, int c, int line, int column) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    if (line == 0) {
        if (!b->cur_line || !b->page_id)
            return 0;
    } else if (!position(b, line, column)) {
        return 0;
    }
    if (peek(b) < 0)
        return 0;
    uint8_t* p = pg(b->page_id);
    if (!p)
        return 0;
    p[b->char_off] = uint8_t(c);
    pc_mark_dirty(b->page_id);
    ++b->char_off;
    ++b->cur_col;
    mark(b);
    return 1;
}

int vm_pad_line(VMB* b, int fill, int column) {
    Lock lk;
    if (!vmb_in_use(b) || !b->cur_line || !seek(b, b->cur_line, -1))
        return -1;
    if (column <= int(b->cur_col))
        return 0;
    uint32_t n = uint32_t(column) - b->cur_col;
    std::string pad(n, char(fill));
    return ins_bytes(b, reinterpret_cast<const uint8_t*>(pad.data()), n) ? int(n) : -1;
}

int vm_replace_line(VMB* b, int line, const char* text, int length, int do_mark) {
    Lock lk;
    if (!vmb_in_use(b) || !text || line < 1)
        return 0;
    uint32_t n = length < 0 ? uint32_t(std::strlen(text)) : uint32_t(length);
    if (!ensure_line(b, uint32_t(line)))
        return 0;
    int old = length_of(b, uint32_t(line));
    if (old < 0 || !seek(b, uint32_t(line), 0))
        return 0;
    // The new text goes in before the old goes out, so that a failed insert
    // leaves the line as it was.
    if (n && !ins_bytes(b, reinterpret_cast<const uint8_t*>(text), n))
        return 0;
    del_bytes(b, uint32_t(old));
    if (old > 0 && do_mark)
        mark(b);
    return 1;
}

int vm_split_line(VMB* b, int do_mark) {
    Lock lk;
    if (!has_position(b))
        return 0;
    if (!ins_record(b))
        return 0;
    if (do_mark)
        mark(b);
    return 1;
}

int vm_delete_char(VMB* b, int count) {
    Lock lk;
    if (!has_position(b))
        return 0;
    if (count > 0)
        return int(del_bytes(b, uint32_t(count)));
    if (count == VM_DEL_EOL) {
        if (b->cur_line >= b->line_count)
            return 0;
        uint32_t line = b->cur_line;
        if (!seek(b, line, -1) || !join_next(b))
            return 0;
        return 1;
    }
    if (count == VM_DEL_TO_END) {
        uint32_t line = b->cur_line, col = b->cur_col;
        uint32_t done = del_bytes(b, 0xFFFFFFFFu);
        if (line < b->line_count) {
            uint32_t chars = b->char_count, lines = b->line_count - line;
            truncate_from(b, line + 1);
            done += (chars - b->char_count) + lines;
        }
        seek(b, line, col);
        return int(done);
    }
    return 0;
}

int vm_delete_to_eol(VMB* b, int line, int column) {
    Lock lk;
    if (!vmb_in_use(b))
        return -1;
    if (line == -1) {
        if (!b->cur_line || !b->page_id)
            return -1;
    } else if (!position(b, line, column)) {
        return -1;
    }
    return int(del_bytes(b, 0xFFFFFFFFu));
}

int vm_delete_line(VMB* b, int line) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    uint32_t l = line == -1 ? b->cur_line : uint32_t(line);
    if (l == 0 || l > b->line_count)
        return 0;
    return del_line(b, l) ? 1 : 0;
}

int vm_join_lines(VMB* b, int line, int* column) {
    Lock lk;
    if (!vmb_in_use(b) || line < 1 || uint32_t(line) >= b->line_count)
        return -1;
    uint8_t* nh = position(b, line + 1, 0) ? head_ptr(b) : nullptr;
    if (!nh)
        return -1;
    VM_LINE next = rd_hdr(nh);
    if (!position(b, line, -1))
        return -1;
    uint32_t hp;
    uint8_t* h = head_ptr(b, &hp);
    if (!h)
        return -1;
    VM_LINE cur = rd_hdr(h);
    VM_LINE old = cur;
    cur.flags = uint16_t((next.flags & ~VM_LF_SPLIT) | cur.flags);
    cur.lex_a |= next.lex_a;
    cur.lex_b |= next.lex_b;
    wr_hdr(h, cur);
    pc_mark_dirty(hp);
    int col = int(b->cur_col);
    if (!join_next(b)) {
        if ((h = head_ptr(b)) != nullptr)
            wr_hdr(h, old); // the lines stay apart with their own flags
        return -1;
    }
    if (column)
        *column = col;
    return col;
}

int vm_delete_lines(VMB* b, int first, int count, int do_mark) {
    Lock lk;
    if (!vmb_in_use(b) || first < 1 || !b->line_count)
        return -1;
    uint32_t f = uint32_t(first);
    if (count == -1) {
        if (f <= b->line_count)
            truncate_from(b, f);
        if (f == 1) {
            b->mark_line = 1;
            b->lex_line = 0;
            b->attachment = 0;
        }
    } else {
        for (int i = 0; i < count && f <= b->line_count; ++i)
            del_line(b, f);
    }
    if (do_mark)
        set_state(b, VM_ST_MODIFIED | VM_ST_UNSAVED);
    return b->line_count ? 0 : 1;
}

int vm_clear(VMB* b, int do_mark) { return vm_delete_lines(b, 1, -1, do_mark); }

int vm_copy_block(VMB* dest, int line, int column, VMB* src, int from_line, int from_col, int to_line,
                  int to_col) {
    Lock lk;
    if (!vmb_in_use(dest) || !vmb_in_use(src) || from_line < 1 || to_line < from_line || from_col < 0)
        return 0;
    if (dest == src && line <= from_line)
        return 0;
    // The range is read whole before anything is written, so a destination
    // inside the range cannot copy its own output.
    std::vector<std::string> parts;
    for (int l = from_line; l <= to_line; ++l) {
        int len = length_of(src, uint32_t(l));
        if (len < 0)
            return 0;
        int start = l == from_line ? from_col : 0;
        int end = l == to_line && to_col != VM_COL_EOL_COPY ? to_col : len;
        if (start > len || end > len || end < start)
            return 0;
        std::string t;
        if (!read_line(src, uint32_t(l), uint32_t(start), t, uint32_t(end - start)))
            return 0;
        parts.push_back(std::move(t));
    }
    if (!position(dest, line, column))
        return 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i && !ins_record(dest))
            return 0;
        if (!parts[i].empty() &&
            !ins_bytes(dest, reinterpret_cast<const uint8_t*>(parts[i].data()), uint32_t(parts[i].size())))
            return 0;
    }
    mark(dest);
    return 1;
}

int vm_copy_buffer(VMB* dest, VMB* src) {
    Lock lk;
    if (!vmb_in_use(dest) || !vmb_in_use(src) || dest == src)
        return 0;
    free_all(dest);
    std::string t;
    for (uint32_t l = 1; l <= src->line_count; ++l) {
        if (!read_line(src, l, 0, t))
            return 0;
        uint8_t* sh = seek(src, l, 0) ? head_ptr(src) : nullptr;
        if (!sh)
            return 0;
        VM_LINE h = rd_hdr(sh);
        if (!new_line(dest, dest->line_count, 0) ||
            (!t.empty() && !ins_bytes(dest, reinterpret_cast<const uint8_t*>(t.data()), uint32_t(t.size()))))
            return 0;
        uint32_t hp;
        uint8_t* dh = head_ptr(dest, &hp);
        if (!dh)
            return 0;
        VM_LINE d = rd_hdr(dh);
        d.flags = h.flags;
        d.lex_a = h.lex_a;
        d.lex_b = h.lex_b;
        d.tag = h.tag;
        wr_hdr(dh, d);
        pc_mark_dirty(hp);
    }
    return 1;
}

int vm_append_copy(VMB* dest, int after, VMB* src, int src_line) {
    Lock lk;
    if (!vmb_in_use(dest) || !vmb_in_use(src))
        return 0;
    if (after == -1)
        after = int(dest->line_count);
    if (dest == src && after < src_line)
        return 0;
    std::string t;
    if (!read_line(src, uint32_t(src_line), 0, t))
        return 0;
    return insert_line(dest, after, t.data(), int(t.size()), false) ? after + 1 : 0;
}
