#pragma once
// What the line operations of the engine share (vmposition.cpp, vmread.cpp,
// vmchange.cpp, vmfields.cpp, vmsorted.cpp, vmflags.cpp): positioning that
// restores the handle on failure, the current line's header, and inserting
// lines. All of it runs under vm_lock with a handle already validated; the
// public calls built on it each enter vm_lock and validate their handle.
#include "VmEngine/vm.h"

#include "VmEngine/pagecache.h"
#include "VmEngine/vmcore.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vmi::lines {

using Lock = VmGuard;

inline void set_state(VMB* b, uint32_t mask) {
    if (mask & VM_ST_MODIFIED) {
        mask |= VM_ST_VIEW | VM_ST_VIEW2 | VM_ST_UNSAVED | VM_ST_DOC | VM_ST_BROWSER;
        if (b->type & VMB_T_FILE)
            mask |= VM_ST_FILE_MOD;
    }
    b->state |= mask;
}

inline void mark(VMB* b) { set_state(b, VM_ST_EDIT); }

// A valid buffer with a current position to work at.
inline bool has_position(VMB* b) { return vmb_in_use(b) && b->cur_line && b->page_id; }

inline bool fully_read(const VMB* b) { return (b->state & VM_ST_FULLY_READ) || !b->stream; }

// Positions, restoring the whole handle on failure.
inline bool position(VMB* b, int line, int column) {
    if (column < -2)
        return false;
    PosSave s = save_pos(b);
    if (seek(b, uint32_t(line), column < 0 ? -1 : column))
        return true;
    restore_pos(b, s);
    return false;
}

inline int length_of(VMB* b, uint32_t line) {
    if (!position(b, int(line), -1))
        return -1;
    return int(b->cur_col);
}

// The header of the current line's first record, or null when its page
// cannot be fetched. Callers write flags, tags and lexical bytes through
// it, so the page counts as changed.
inline uint8_t* head_ptr(VMB* b, uint32_t* page = nullptr) {
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
inline uint8_t* line_hdr(VMB* b, int line, uint32_t* page = nullptr) {
    return position(b, line, 0) ? head_ptr(b, page) : nullptr;
}

// Text of a line (from column on), position left after it.
inline bool read_line(VMB* b, uint32_t line, uint32_t column, std::string& out, uint32_t max = 0xFFFFFFFFu) {
    if (!position(b, int(line), -1))
        return false;
    uint32_t len = b->cur_col, got = 0;
    if (column > len || !seek(b, line, column))
        return false;
    uint32_t n = std::min(len - column, max);
    out.resize(n);
    return copy_out(b, out.data(), n, &got) && got == n;
}

// The character at the position (following a continuation), or -2 at the
// end of the line.
// -1 when the page cannot be fetched.
inline int peek(VMB* b) {
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
inline int line_field(VMB* b, uint32_t VMB::*field) {
    Lock lk;
    return vmb_in_use(b) ? int(b->*field) : 0;
}

inline int set_line_field(VMB* b, uint32_t VMB::*field, int line) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    b->*field = uint32_t(line);
    return line;
}

// A line inserted after one the file has not reached yet would land in
// front of the lines still to be read: read the file up to it first.
inline void read_up_to(VMB* b, int after) {
    if (after > 0 && !fully_read(b) && uint32_t(after) > b->line_count)
        vm_map_line(b, after);
}

inline bool insert_line(VMB* b, int after, const char* text, int length, bool do_mark) {
    if (!vmb_in_use(b))
        return false;
    read_up_to(b, after);
    if (!text || after < 0 || uint32_t(after) > b->line_count)
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

inline bool ensure_line(VMB* b, uint32_t line) {
    // The file's own lines come first: an empty line appended in front of
    // lines still to be read would push them all down.
    if (!fully_read(b) && line > b->line_count)
        vm_map_line(b, int(line));
    while (b->line_count < line)
        if (!insert_line(b, int(b->line_count), "", 0, true))
            return false;
    return true;
}

} // namespace vmi::lines
