#pragma once
// What the page primitives of the engine share: the byte fields of data and
// directory pages, and the directory walk and upkeep (vmdir.cpp) that the
// record primitives (vmrecord.cpp) and the structure checker (vmcheck.cpp)
// are built on. All of it runs under vm_lock with a handle already validated.
//
// Page layouts of the buffer engine and the storage primitives on them.
//
// Every page is 4096 bytes and begins with its own 32-bit id. All fields are
// little-endian and are read and written byte by byte (these bytes are what
// the swap file holds).
//
// Data page
//   off  size  field
//     0     4  page id
//     4     2  bytes used, including this header (6 = empty, 4096 = full)
//     6   ...  line records, packed, up to the bytes used
//
// Line record (VM_LINE): 13-byte header, then the text (no terminator)
//   off  size  field
//     0     1  kind: bit 0 = continues the line of the record before it
//     1     4  text bytes in this record
//     5     2  line flags
//     7     1  lexical state byte A
//     8     1  lexical state byte B
//     9     4  line tag
//   A continuation record stands only at offset 6 of a page, never is empty,
//   and carries zero flags, lexical bytes and tag (the line's own are in its
//   first record). A new header is started only while the page has fewer
//   than 4084 bytes used.
//
// Directory page (doubly linked chain of the buffer's data pages, text order)
//   off  size  field
//     0     4  page id
//     4     4  previous directory page (0 = first)
//     8     4  next directory page (0 = last)
//    12     2  entry count (1..510)
//    14   8*n  entries:
//                +0 4  data page id
//                +4 2  lines that begin in that page
//                +6 2  copy of the data page's bytes used
//
// The current position of a handle is (page_id, rec_off, char_off) with
// cur_line / cur_col; char_off may stand at the end of a record that is
// continued in the next page (the same place as the start of that
// continuation), and the primitives accept both forms.
#include "VmEngine/vmcore.h"

#include "VmEngine/pagecache.h"

namespace vmi {

constexpr uint32_t kHdr = VM_LINE_HDR;

inline uint32_t used_of(const uint8_t* p) { return rd16(p + 4); }
inline uint32_t len_of(const uint8_t* p, uint32_t off) { return rd32(p + off + 1); }
inline void set_len(uint8_t* p, uint32_t off, uint32_t v) { wr32(p + off + 1, v); }

inline uint32_t d_prev(const uint8_t* d) { return rd32(d + 4); }
inline uint32_t d_next(const uint8_t* d) { return rd32(d + 8); }
inline uint32_t d_count(const uint8_t* d) { return rd16(d + 12); }
inline uint8_t* d_ent(uint8_t* d, int i) { return d + VM_DIR_HDR + VM_DIR_ENTRY * i; }

// The directory lookups are on every seek: they stay inline.

inline bool scan_dir(uint32_t dir, uint32_t page, Loc* out) {
    uint8_t* d = dir ? pg(dir) : nullptr;
    if (!d)
        return false;
    int n = int(d_count(d));
    for (int i = 0; i < n; ++i)
        if (rd32(d_ent(d, i)) == page) {
            out->dir = dir;
            out->idx = i;
            return true;
        }
    return false;
}

// The data page of a directory entry; 0 when the directory page cannot be
// fetched.
inline uint32_t loc_page(const Loc& l) {
    uint8_t* d = pg(l.dir);
    return d ? rd32(d_ent(d, l.idx)) : 0;
}

inline void remember(VMB* b, const Loc& l) {
    uint8_t* d = pg(l.dir);
    b->dir_cur = l.dir;
    b->dir_entry = d ? d_ent(d, l.idx) : nullptr;
}

// The directory entry of a data page of this buffer; tries the remembered
// entry, its directory page and the neighbours before walking the chain.
inline bool find_entry(VMB* b, uint32_t page, Loc* out) {
    if (!page || !b->dir_first)
        return false;
    if (uint8_t* d = b->dir_cur ? pg(b->dir_cur) : nullptr) {
        uintptr_t base = uintptr_t(d + VM_DIR_HDR);
        uintptr_t e = uintptr_t(b->dir_entry);
        uint32_t n = d_count(d);
        if (b->dir_entry && e >= base && e < base + VM_DIR_ENTRY * n && (e - base) % VM_DIR_ENTRY == 0) {
            // The remembered entry, or (a reader moving on page by page)
            // one of its neighbours.
            int idx = int((e - base) / VM_DIR_ENTRY);
            for (int k : {idx, idx + 1, idx - 1})
                if (k >= 0 && k < int(n) && rd32(d_ent(d, k)) == page) {
                    out->dir = b->dir_cur;
                    out->idx = k;
                    if (k != idx)
                        remember(b, *out);
                    return true;
                }
        }
        uint32_t prev = d_prev(d), next = d_next(d);
        if (scan_dir(b->dir_cur, page, out) || scan_dir(next, page, out) || scan_dir(prev, page, out)) {
            remember(b, *out);
            return true;
        }
    }
    for (uint32_t dir = b->dir_first; dir;) {
        if (scan_dir(dir, page, out)) {
            remember(b, *out);
            return true;
        }
        uint8_t* d = pg(dir);
        if (!d)
            return false;
        dir = d_next(d);
    }
    return false;
}

inline bool next_loc(Loc& l) {
    uint8_t* d = pg(l.dir);
    if (!d)
        return false;
    if (l.idx + 1 < int(d_count(d))) {
        ++l.idx;
        return true;
    }
    uint32_t n = d_next(d);
    if (!n)
        return false;
    l.dir = n;
    l.idx = 0;
    return true;
}

inline bool prev_loc(Loc& l) {
    if (l.idx > 0) {
        --l.idx;
        return true;
    }
    uint8_t* d = pg(l.dir);
    uint32_t p = d ? d_prev(d) : 0;
    uint8_t* pd = p ? pg(p) : nullptr;
    if (!pd)
        return false;
    l.dir = p;
    l.idx = int(d_count(pd)) - 1;
    return true;
}



// The directory entry of a data page, or null when it cannot be reached.
uint8_t* entry_of(VMB* b, uint32_t page, uint32_t* dir);
void ent_add_lines(VMB* b, uint32_t page, int delta);
void set_used(VMB* b, uint32_t page, uint8_t* p, uint32_t used);

// Removes an entry; an emptied directory page is released, one whose
// entries fit into the previous page is merged into it.
void dir_remove(VMB* b, Loc l);

// Releases a data page and its directory entry.
void drop_page(VMB* b, uint32_t page);

// A new empty data page behind `after` (null: the buffer's first page).
uint32_t new_page_after(VMB* b, const Loc* after);

// The page after `page` when it begins with a continuation of the record
// ending `page`, else 0 in *next. False when a page cannot be fetched.
bool continuation_after(VMB* b, uint32_t page, uint32_t* next);

} // namespace vmi
