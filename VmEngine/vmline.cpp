// The line and position operations of a buffer: positioning, reading,
// changing text and lines, fields, sorted lists, line flags and tags, and
// the per-buffer state values. Each enters vm_lock and validates its handle.
#include "VmEngine/vm.h"

#include "VmEngine/pagecache.h"
#include "VmEngine/vmcore.h"
#include "opsys/msgout.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace vmi;

namespace {

struct Lock {
    Lock() { vm_lock(1); }
    ~Lock() { vm_lock(0); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

constexpr uint32_t kMaxReserve = VM_PAGE_SIZE - VM_PAGE_HDR - VM_LINE_HDR;
constexpr uint32_t kCompareMax = 4096;

void set_state(VMB* b, uint32_t mask) {
    if (mask & VM_ST_MODIFIED) {
        mask |= VM_ST_VIEW | VM_ST_VIEW2 | VM_ST_UNSAVED | VM_ST_DOC | VM_ST_BROWSER;
        if (b->type & VMB_T_FILE)
            mask |= VM_ST_FILE_MOD;
    }
    b->state |= mask;
}

void mark(VMB* b) { set_state(b, VM_ST_EDIT); }

// A valid buffer with a current position to work at.
bool has_position(VMB* b) { return vmb_in_use(b) && b->cur_line && b->page_id; }

bool fully_read(const VMB* b) { return (b->state & VM_ST_FULLY_READ) || !b->stream; }

// Positions, restoring the whole handle on failure.
bool position(VMB* b, int line, int column) {
    if (column < -2)
        return false;
    PosSave s = save_pos(b);
    if (seek(b, uint32_t(line), column < 0 ? -1 : column))
        return true;
    restore_pos(b, s);
    return false;
}

int length_of(VMB* b, uint32_t line) {
    if (!position(b, int(line), -1))
        return -1;
    return int(b->cur_col);
}

// The header of the current line's first record, or null when its page
// cannot be fetched. Callers write flags, tags and lexical bytes through
// it, so the page counts as changed.
uint8_t* head_ptr(VMB* b, uint32_t* page = nullptr) {
    uint32_t hp, ho;
    if (!line_head(b, &hp, &ho))
        return nullptr;
    uint8_t* p = pg(hp);
    if (!p)
        return nullptr;
    pc_mark_dirty(hp);
    if (page)
        *page = hp;
    return p + ho;
}

// Positions at the start of a line and returns its first record's header;
// null when the line does not exist or its page cannot be fetched.
uint8_t* line_hdr(VMB* b, int line, uint32_t* page = nullptr) {
    return position(b, line, 0) ? head_ptr(b, page) : nullptr;
}

// Text of a line (from column on), position left after it.
bool read_line(VMB* b, uint32_t line, uint32_t column, std::string& out, uint32_t max = 0xFFFFFFFFu) {
    if (!position(b, int(line), -1))
        return false;
    uint32_t len = b->cur_col, got = 0;
    if (column > len || !seek(b, line, column))
        return false;
    uint32_t n = std::min(len - column, max);
    out.resize(n);
    return copy_out(b, out.data(), n, &got) && got == n;
}

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

// The character at the position (following a continuation), or -2 at the
// end of the line.
// -1 when the page cannot be fetched.
int peek(VMB* b) {
    uint8_t* p = b->page_addr;
    if (!p || rd32(p) != b->page_id)
        p = b->page_addr = pg(b->page_id);
    if (!p)
        return -1;
    uint32_t rend = b->rec_off + VM_LINE_HDR + rd32(p + b->rec_off + 1);
    if (b->char_off < rend)
        return p[b->char_off];
    if (!seek(b, b->cur_line, b->cur_col))
        return -2;
    p = b->page_addr;
    rend = b->rec_off + VM_LINE_HDR + rd32(p + b->rec_off + 1);
    return b->char_off < rend ? p[b->char_off] : -2;
}

// A per-buffer line number (reference line, lexical line): 0 for an
// invalid handle.
int line_field(VMB* b, uint32_t VMB::*field) {
    Lock lk;
    return vmb_in_use(b) ? int(b->*field) : 0;
}

int set_line_field(VMB* b, uint32_t VMB::*field, int line) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    b->*field = uint32_t(line);
    return line;
}

bool insert_line(VMB* b, int after, const char* text, int length, bool do_mark) {
    if (!vmb_in_use(b) || !text || after < 0 || uint32_t(after) > b->line_count)
        return false;
    uint32_t n = length < 0 ? uint32_t(std::strlen(text)) : uint32_t(length);
    if (!new_line(b, uint32_t(after), 0))
        return false;
    if (n && !ins_bytes(b, reinterpret_cast<const uint8_t*>(text), n)) {
        del_line(b, b->cur_line); // the empty line made for the text
        return false;
    }
    if (do_mark)
        mark(b);
    return true;
}

bool ensure_line(VMB* b, uint32_t line) {
    // The file's own lines come first: an empty line appended in front of
    // lines still to be read would push them all down.
    if (!fully_read(b) && line > b->line_count)
        vm_map_line(b, int(line));
    while (b->line_count < line)
        if (!insert_line(b, int(b->line_count), "", 0, true))
            return false;
    return true;
}

} // namespace

// ---- Positioning -----------------------------------------------------------

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

// ---- Reading ---------------------------------------------------------------

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

// ---- Changing --------------------------------------------------------------

int vm_insert_line(VMB* b, int after, const char* text, int length) {
    Lock lk;
    return insert_line(b, after, text, length, true) ? after + 1 : 0;
}

char* vm_insert_line(VMB* b, int after, std::nullptr_t, int length) {
    Lock lk;
    // The caller writes the text in place, so it has to fit in one record.
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

// ---- Fields ----------------------------------------------------------------

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

// ---- Sorted line lists -----------------------------------------------------

namespace {

int fold(int c, bool nocase) { return nocase ? std::tolower(c & 0xFF) : (c & 0xFF); }

int cmp_text(const char* a, size_t na, const char* b, size_t nb, bool nocase) {
    size_t n = std::min(na, nb);
    if (!nocase) {
        // Bytes compare unsigned, as memcmp does.
        int d = n ? std::memcmp(a, b, n) : 0;
        if (d)
            return d;
        return na < nb ? -1 : na > nb ? 1 : 0;
    }
    for (size_t i = 0; i < n; ++i) {
        int d = fold(a[i], nocase) - fold(b[i], nocase);
        if (d)
            return d;
    }
    return na < nb ? -1 : na > nb ? 1 : 0;
}

size_t dir_part(const std::string& s) {
    size_t p = s.find_last_of("\\/");
    return p == std::string::npos ? 0 : p;
}

} // namespace

int vmi::compare_keys(const char* a, size_t na, const char* b, size_t nb, uint32_t options) {
    const bool nocase = options & VM_CMP_NOCASE;
    if (options & VM_CMP_PATH) {
        auto dir_len = [](const char* t, size_t n) {
            while (n && t[n - 1] != '\\' && t[n - 1] != '/')
                --n;
            return n ? n - 1 : 0;
        };
        size_t da = dir_len(a, na), db = dir_len(b, nb);
        if (da != db)
            return da < db ? -1 : 1;
        int c = cmp_text(a, da, b, db, nocase);
        if (c)
            return c;
    }
    return cmp_text(a, na, b, nb, nocase);
}

namespace {

// Key against a line's compared text; the sign orders the key.
int compare(const std::string& key, const std::string& line, uint32_t options) {
    bool nocase = options & VM_CMP_NOCASE;
    std::string l = line;
    if (options & VM_CMP_FIRST_TAB) {
        size_t t = l.find('\t');
        if (t != std::string::npos)
            l.resize(t);
    } else if (options & VM_CMP_LAST_TAB) {
        size_t t = l.rfind('\t');
        if (t != std::string::npos)
            l.resize(t);
    }
    if (options & VM_CMP_PATH) {
        size_t dk = dir_part(key), dl = dir_part(l);
        if (dk != dl)
            return dk < dl ? -1 : 1;
        int c = cmp_text(key.data(), dk, l.data(), dl, nocase);
        if (c)
            return c;
        return cmp_text(key.data(), key.size(), l.data(), l.size(), nocase);
    }
    if (options & VM_CMP_PREFIX) {
        size_t n = l.size();
        int c = cmp_text(key.data(), std::min(n, key.size()), l.data(), n, nocase);
        if (key.size() < n)
            return c ? c : -1;
        if (c)
            return c;
        size_t kpos = key.size();
        if (options & VM_CMP_FIRST_TAB) {
            size_t t = key.find('\t');
            if (t != std::string::npos)
                kpos = t;
        } else if (options & VM_CMP_LAST_TAB) {
            size_t t = key.rfind('\t');
            if (t != std::string::npos)
                kpos = t;
        }
        return kpos < n ? -1 : kpos > n ? 1 : 0;
    }
    return cmp_text(key.data(), key.size(), l.data(), l.size(), nocase);
}

// The line's text from display column `column` (1-based) on.
std::string from_column(const std::string& t, int column, const VM_TABS* tabs) {
    if (column <= 1)
        return t;
    int col = 1;
    size_t i = 0;
    int width = tabs->width > 0 ? tabs->width : 1;
    for (; i < t.size() && col < column; ++i) {
        unsigned char c = static_cast<unsigned char>(t[i]);
        if (tabs->raw || c >= 32)
            col += 1;
        else if (c == '\t')
            col += width - ((col - 1) % width);
        else
            col += 2;
    }
    return t.substr(i);
}

} // namespace

int vm_bsearch_range(VMB* b, int first, int last, const char* key, const VM_TABS* tabs, int column,
                     uint32_t options, int* code) {
    Lock lk;
    int dummy;
    if (!code)
        code = &dummy;
    if (!vmb_in_use(b) || !key) {
        *code = -3;
        return -1;
    }
    if (column > 1 && !tabs) {
        *code = -3;
        return -1;
    }
    if (first == 0) {
        first = 1;
        last = int(b->line_count);
    }
    if (last > int(b->line_count))
        last = int(b->line_count);
    if (first < 1 || last < first) {
        *code = -2;
        return first - 1;
    }
    std::string k(key), t;
    int lo = first, hi = last, probe = first, c = 0;
    while (lo <= hi) {
        probe = lo + (hi - lo) / 2;
        if (!read_line(b, uint32_t(probe), 0, t, kCompareMax)) {
            *code = -3;
            return -1;
        }
        c = compare(k, from_column(t, column, tabs), options);
        if (c == 0)
            break;
        if (c > 0)
            lo = probe + 1;
        else
            hi = probe - 1;
    }
    *code = c == 0 ? 0 : c > 0 ? 1 : -1;
    return probe;
}

int vm_bsearch(VMB* b, const char* key, uint32_t options, int* code) {
    return vm_bsearch_range(b, 0, 0, key, nullptr, 1, options, code);
}

int vm_find_line(VMB* b, const char* key, uint32_t options) {
    Lock lk;
    if (!vmb_in_use(b) || !key)
        return 0;
    int code = 0;
    int line = vm_bsearch(b, key, options, &code);
    if (code == -3)
        return 0;
    if (code == 0 && (options & VM_CMP_NO_DUP))
        return line;
    int after = code == -2 ? 0 : code == -1 ? line - 1 : line;
    return vm_insert_line(b, after, key, -1);
}

int vm_insert_sorted(VMB* b, const char* key, uint32_t options) { return vm_find_line(b, key, options); }

int vm_bsearch_named(const char* name, const char* key, uint32_t options, int* code) {
    Lock lk;
    VMB* b = vmb_find(VMB_T_FILE, name);
    if (!b) {
        if (code)
            *code = -3;
        return -1;
    }
    return vm_bsearch(b, key, options, code);
}

// ---- Flags, tags and state -------------------------------------------------

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
