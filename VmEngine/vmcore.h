#pragma once
// Internal to the buffer engine (and its tests): page access, the storage
// primitives every line operation is built from, and the structure checker.
// All of these run under vm_lock and take a handle already validated.
#include "VmEngine/vm.h"

#include <cstring>
#include <string>

namespace vmi {

inline uint16_t rd16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t rd32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void wr16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void wr32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

VM_LINE rd_hdr(const uint8_t* rec);
void wr_hdr(uint8_t* rec, const VM_LINE& h);

// A page by id, made the most recently used.
uint8_t* pg(uint32_t id);

// Where a data page's entry stands in the directory.
struct Loc {
    uint32_t dir = 0;
    int idx = -1;
};

// The whole current position of a handle, for restoring it after a failure.
struct PosSave {
    uint32_t line, col, page, rec, chr, dir;
    uint8_t* page_addr;
    uint8_t* dir_entry;
};
PosSave save_pos(const VMB* b);
void restore_pos(VMB* b, const PosSave& s);
void clear_pos(VMB* b);

// Positions at (line, column); column < 0 is the end of the line. False
// (handle fields unspecified; callers restore) when the place does not exist.
bool seek(VMB* b, uint32_t line, int64_t column);

// Storage primitives at the current position. Each keeps the line and
// character counts, the directory copies and the position consistent.
bool ins_bytes(VMB* b, const uint8_t* s, uint32_t n);
bool ins_record(VMB* b);                 // line break at the position
uint32_t del_bytes(VMB* b, uint32_t n);  // within the line; returns count
bool join_next(VMB* b);                  // position must be at the line end
bool del_line(VMB* b, uint32_t line);    // text and line break; position at the line after
bool truncate_from(VMB* b, uint32_t line); // deletes line..last
void free_all(VMB* b);                   // releases every page, no lines left
// A new line after `after` (0: before line 1) reserving room for `room`
// bytes in one record; the position is at its (empty) text. False when no
// page could be made.
bool new_line(VMB* b, uint32_t after, uint32_t room);

// The first record of the current line: page id and offset.
void line_head(VMB* b, uint32_t* page, uint32_t* off);

// Copies the line's text from the position on (at most max bytes, following
// continuation records) and moves the position past it; returns the count.
uint32_t copy_out(VMB* b, char* out, uint32_t max);

// Checks the page structure of a buffer; empty string when sound, else what
// is wrong.
std::string check_structure(VMB* b);

} // namespace vmi
