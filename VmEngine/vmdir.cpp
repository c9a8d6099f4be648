// The directory of a buffer: keeping the entries' counts, and making and
// dropping data and directory pages (the lookups are in detail/vmpage.h).
#include "VmEngine/detail/vmpage.h"

#include <algorithm>
#include <cstring>

namespace vmi {

namespace {

void unlink_dir(VMB* b, uint32_t dir) {
    uint8_t* d = pg(dir);
    if (!d)
        return;
    uint32_t prev = d_prev(d), next = d_next(d);
    // Both neighbours are fetched before either link changes, so the chain
    // is never left half relinked.
    uint8_t* pd = prev ? pg(prev) : nullptr;
    uint8_t* nd = next ? pg(next) : nullptr;
    if ((prev && !pd) || (next && !nd))
        return;
    if (pd) {
        wr32(pd + 8, next);
        pc_mark_dirty(prev);
    } else {
        b->dir_first = next;
    }
    if (nd) {
        wr32(nd + 4, prev);
        pc_mark_dirty(next);
    }
    if (b->dir_cur == dir)
        b->dir_cur = prev ? prev : b->dir_first;
    b->dir_entry = nullptr;
    pc_release_page(dir);
}

void put_entry(uint8_t* e, uint32_t page, uint32_t lines, uint32_t used) {
    wr32(e, page);
    wr16(e + 4, lines);
    wr16(e + 6, used);
}

// Inserts an entry behind `at` (idx -1: at the front of that directory page).
bool dir_insert_after(VMB* b, Loc at, uint32_t page, uint32_t lines, uint32_t used, Loc* out) {
    uint8_t* d = pg(at.dir);
    if (!d)
        return false;
    if (at.idx < 0 && d_prev(d)) {
        uint32_t p = d_prev(d);
        uint8_t* pd = pg(p);
        if (!pd)
            return false;
        at.dir = p;
        at.idx = int(d_count(pd)) - 1;
        d = pd;
    }
    b->dir_entry = nullptr;
    int n = int(d_count(d));
    if (n >= int(VM_DIR_MAX)) {
        // A neighbour that cannot be fetched counts as full.
        uint32_t prev = d_prev(d), next = d_next(d);
        uint8_t* pd = prev ? pg(prev) : nullptr;
        uint8_t* nd = next ? pg(next) : nullptr;
        d = pg(at.dir);
        if (!d)
            return false;
        if (pd && d_count(pd) < VM_DIR_MAX) {
            // Leading entries (up to the insertion point) move to the previous page.
            int pn = int(d_count(pd));
            int m = std::min(int(VM_DIR_MAX) - pn, at.idx + 1);
            if (m <= 0) {
                // Inserting in front of the first entry: append to the previous page.
                put_entry(d_ent(pd, pn), page, lines, used);
                wr16(pd + 12, uint32_t(pn + 1));
                pc_mark_dirty(prev);
                *out = Loc{prev, pn};
                return true;
            }
            std::memcpy(d_ent(pd, pn), d_ent(d, 0), size_t(VM_DIR_ENTRY) * m);
            wr16(pd + 12, uint32_t(pn + m));
            std::memmove(d_ent(d, 0), d_ent(d, m), size_t(VM_DIR_ENTRY) * (n - m));
            n -= m;
            wr16(d + 12, uint32_t(n));
            at.idx -= m;
            pc_mark_dirty(prev);
        } else if (nd && d_count(nd) < VM_DIR_MAX) {
            // Trailing entries (behind the insertion point) move to the next page.
            int nn = int(d_count(nd));
            int t = std::min(int(VM_DIR_MAX) - nn, n - (at.idx + 1));
            std::memmove(d_ent(nd, t > 0 ? t : 1), d_ent(nd, 0), size_t(VM_DIR_ENTRY) * nn);
            wr16(nd + 12, uint32_t(nn + (t > 0 ? t : 1)));
            pc_mark_dirty(next);
            if (t <= 0) {
                put_entry(d_ent(nd, 0), page, lines, used);
                *out = Loc{next, 0};
                return true;
            }
            std::memcpy(d_ent(nd, 0), d_ent(d, n - t), size_t(VM_DIR_ENTRY) * t);
            n -= t;
            wr16(d + 12, uint32_t(n));
        } else {
            // A new directory page behind this one takes the entries behind
            // the insertion point.
            pc_pin(at.dir);
            uint32_t nid = 0;
            uint8_t* nw = pc_new_page(&nid);
            pc_unpin(at.dir);
            d = nw ? pg(at.dir) : nullptr;
            nd = nw && next ? pg(next) : nullptr;
            if (!d || (next && !nd)) {
                if (nw)
                    pc_release_page(nid);
                return false;
            }
            wr32(nw + 4, at.dir);
            wr32(nw + 8, next);
            if (nd) {
                wr32(nd + 4, nid);
                pc_mark_dirty(next);
            }
            wr32(d + 8, nid);
            pc_mark_dirty(nid);
            pc_mark_dirty(at.dir);
            int t = n - (at.idx + 1);
            if (t <= 0) {
                put_entry(d_ent(nw, 0), page, lines, used);
                wr16(nw + 12, 1);
                *out = Loc{nid, 0};
                return true;
            }
            std::memcpy(d_ent(nw, 0), d_ent(d, at.idx + 1), size_t(VM_DIR_ENTRY) * t);
            n -= t;
            wr16(d + 12, uint32_t(n));
            wr16(nw + 12, uint32_t(t));
        }
        d = pg(at.dir);
        if (!d)
            return false;
    }
    std::memmove(d_ent(d, at.idx + 2), d_ent(d, at.idx + 1), size_t(VM_DIR_ENTRY) * (n - (at.idx + 1)));
    put_entry(d_ent(d, at.idx + 1), page, lines, used);
    wr16(d + 12, uint32_t(n + 1));
    pc_mark_dirty(at.dir);
    *out = Loc{at.dir, at.idx + 1};
    return true;
}

} // namespace

// The directory entry of a data page, or null when it cannot be reached.
uint8_t* entry_of(VMB* b, uint32_t page, uint32_t* dir) {
    Loc l;
    uint8_t* d = find_entry(b, page, &l) ? pg(l.dir) : nullptr;
    if (!d)
        return nullptr;
    *dir = l.dir;
    return d_ent(d, l.idx);
}

void ent_add_lines(VMB* b, uint32_t page, int delta) {
    uint32_t dir = 0;
    if (uint8_t* e = entry_of(b, page, &dir)) {
        wr16(e + 4, uint32_t(int(rd16(e + 4)) + delta));
        pc_mark_dirty(dir);
    }
}

void set_used(VMB* b, uint32_t page, uint8_t* p, uint32_t used) {
    wr16(p + 4, used);
    pc_mark_dirty(page);
    uint32_t dir = 0;
    if (uint8_t* e = entry_of(b, page, &dir)) {
        wr16(e + 6, used);
        pc_mark_dirty(dir);
    }
}

// Removes an entry; an emptied directory page is released, one whose
// entries fit into the previous page is merged into it.
void dir_remove(VMB* b, Loc l) {
    uint8_t* d = pg(l.dir);
    if (!d)
        return;
    int n = int(d_count(d));
    std::memmove(d_ent(d, l.idx), d_ent(d, l.idx + 1), size_t(VM_DIR_ENTRY) * (n - 1 - l.idx));
    --n;
    wr16(d + 12, uint32_t(n));
    pc_mark_dirty(l.dir);
    b->dir_entry = nullptr;
    if (n == 0) {
        unlink_dir(b, l.dir);
        return;
    }
    uint32_t prev = d_prev(d);
    uint8_t* pd = prev ? pg(prev) : nullptr; // merging is optional
    if (pd) {
        int pn = int(d_count(pd));
        d = pg(l.dir);
        if (d && n <= int(VM_DIR_MAX) - pn) {
            std::memcpy(d_ent(pd, pn), d_ent(d, 0), size_t(VM_DIR_ENTRY) * n);
            wr16(pd + 12, uint32_t(pn + n));
            pc_mark_dirty(prev);
            unlink_dir(b, l.dir);
        }
    }
}

// Releases a data page and its directory entry.
void drop_page(VMB* b, uint32_t page) {
    Loc l;
    if (find_entry(b, page, &l))
        dir_remove(b, l);
    if (b->page_id == page) {
        b->page_id = 0;
        b->page_addr = nullptr;
    }
    pc_release_page(page);
}

// A new empty data page behind `after` (null: the buffer's first page).
uint32_t new_page_after(VMB* b, const Loc* after) {
    if (!b->dir_first) {
        uint32_t did = 0;
        uint8_t* d = pc_new_page(&did);
        if (!d)
            return 0;
        b->dir_first = did;
        b->dir_cur = did;
        b->dir_entry = nullptr;
    }
    Loc at;
    if (after) {
        at = *after;
    } else {
        at.dir = b->dir_first;
        at.idx = -1;
    }
    pc_pin(at.dir);
    uint32_t id = 0;
    uint8_t* p = pc_new_page(&id);
    pc_unpin(at.dir);
    Loc out;
    if (p) {
        wr16(p + 4, VM_PAGE_HDR);
        if (dir_insert_after(b, at, id, 0, VM_PAGE_HDR, &out)) {
            remember(b, out);
            return id;
        }
        pc_release_page(id);
    }
    // A directory page made for this page alone goes again.
    uint8_t* first = pg(b->dir_first);
    if (first && !d_count(first) && !d_next(first)) {
        pc_release_page(b->dir_first);
        b->dir_first = 0;
        b->dir_cur = 0;
    }
    return 0;
}

// The page after `page` when it begins with a continuation of the record
// ending `page`, else 0 in *next. False when a page cannot be fetched.
bool continuation_after(VMB* b, uint32_t page, uint32_t* next) {
    *next = 0;
    Loc l;
    if (!find_entry(b, page, &l))
        return false;
    uint8_t* d = pg(l.dir);
    if (!d)
        return false;
    if (l.idx + 1 >= int(d_count(d)) && !d_next(d))
        return true; // the last page of the buffer
    if (!next_loc(l))
        return false;
    uint32_t nid = loc_page(l);
    uint8_t* np = nid ? pg(nid) : nullptr;
    if (!np)
        return false;
    if (np[VM_PAGE_HDR] & 1)
        *next = nid;
    return true;
}

} // namespace vmi
