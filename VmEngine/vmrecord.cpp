// The record primitives every line operation is built from: positioning,
// inserting and deleting text and line breaks, appending lines as the
// loader does, and copying text out.
#include "VmEngine/detail/vmpage.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vmi {

namespace {

int g_edit_depth = 0; // edits in progress (nested primitives count each)

uint8_t* cur_page(VMB* b) {
    uint8_t* p = b->page_addr;
    if (!p || rd32(p) != b->page_id)
        p = pg(b->page_id);
    b->page_addr = p;
    return p;
}

// Offset of the last record of a page.
uint32_t last_rec(const uint8_t* p) {
    uint32_t used = used_of(p), off = VM_PAGE_HDR;
    while (off + kHdr + len_of(p, off) < used)
        off += kHdr + len_of(p, off);
    return off;
}

// At the start of a continuation's text: the same place is the end of the
// record before it, which is where inserts must happen. False when a page
// on the way cannot be fetched (the position is then unchanged).
bool normalize_back(VMB* b) {
    uint8_t* p = cur_page(b);
    if (!p)
        return false;
    if (b->rec_off != VM_PAGE_HDR || !(p[VM_PAGE_HDR] & 1) || b->char_off != VM_PAGE_HDR + kHdr)
        return true;
    Loc l;
    if (!find_entry(b, b->page_id, &l) || !prev_loc(l))
        return false;
    uint32_t pid = loc_page(l);
    uint8_t* pp = pid ? pg(pid) : nullptr;
    if (!pp)
        return false;
    b->page_id = pid;
    b->page_addr = pp;
    b->rec_off = last_rec(pp);
    b->char_off = used_of(pp);
    remember(b, l);
    return true;
}

// Pages an edit keeps in memory until it is done, so that every page it
// fetched before its first change is still there while it changes them.
// While one is alive an edit is running, and every page it fetches counts
// as changed (beside the marks the primitives set themselves), so that no
// change can be dropped when its page leaves memory.
class PinSet {
public:
    PinSet() { ++g_edit_depth; }
    PinSet(const PinSet&) = delete;
    PinSet& operator=(const PinSet&) = delete;
    ~PinSet() {
        for (int i = 0; i < n_; ++i)
            pc_unpin(ids_[i]);
        --g_edit_depth;
    }
    // Fetches and pins a page; id 0 is nothing. False when it cannot be had.
    bool add(uint32_t id) {
        if (!id)
            return true;
        for (int i = 0; i < n_; ++i)
            if (ids_[i] == id)
                return true;
        if (!pg(id))
            return false;
        if (n_ < kMax) {
            pc_pin(id);
            ids_[n_++] = id;
        }
        return true;
    }

private:
    static constexpr int kMax = 12;
    uint32_t ids_[kMax] = {};
    int n_ = 0;
};

// Before an edit at the current position changes anything: fetches and pins
// the pages it may touch (the current data page and its neighbours, the
// line's first page, the directory page and its neighbours) and makes room
// for `new_pages` fresh pages. False, with nothing changed, when the page
// cache cannot deliver them (swap file failing, every frame pinned).
bool prepare_edit(VMB* b, PinSet& ps, uint32_t new_pages) {
    if (b->page_id) {
        Loc l;
        if (!ps.add(b->page_id) || !find_entry(b, b->page_id, &l))
            return false;
        uint8_t* d = pg(l.dir);
        if (!d || !ps.add(l.dir))
            return false;
        uint32_t dprev = d_prev(d), dnext = d_next(d);
        if (!ps.add(dprev) || !ps.add(dnext))
            return false;
        Loc pl = l, nl = l;
        if ((prev_loc(pl) && !ps.add(loc_page(pl))) || (next_loc(nl) && !ps.add(loc_page(nl))))
            return false;
        uint32_t hp = 0, ho = 0;
        if (!line_head(b, &hp, &ho) || !ps.add(hp))
            return false;
    } else if (!ps.add(b->dir_first)) {
        return false;
    }
    return new_pages == 0 || pc_reserve(new_pages) != 0;
}

// Splits the current page at `at` (inside or at the end of the current
// record's text, before the page end): everything behind moves to a new page.
bool split_page(VMB* b, uint32_t at) {
    uint8_t* p = cur_page(b);
    if (!p)
        return false;
    uint32_t used = used_of(p), rec = b->rec_off;
    uint32_t rend = rec + kHdr + len_of(p, rec);
    uint32_t moved = 0;
    for (uint32_t o = rend; o < used; o += kHdr + len_of(p, o))
        ++moved;
    Loc cl;
    if (!find_entry(b, b->page_id, &cl))
        return false;
    pc_pin(b->page_id);
    uint32_t nid = new_page_after(b, &cl);
    uint8_t* np = nid ? pg(nid) : nullptr;
    p = np ? cur_page(b) : nullptr;
    pc_unpin(b->page_id);
    if (!p)
        return false; // an empty page may be left behind: that is sound
    uint32_t w = VM_PAGE_HDR;
    if (at < rend) {
        VM_LINE h{1, rend - at, 0, 0, 0, 0};
        wr_hdr(np + w, h);
        std::memcpy(np + w + kHdr, p + at, rend - at);
        w += kHdr + (rend - at);
    }
    std::memcpy(np + w, p + rend, used - rend);
    w += used - rend;
    set_len(p, rec, at - (rec + kHdr));
    set_used(b, b->page_id, p, at);
    set_used(b, nid, np, w);
    if (moved) {
        ent_add_lines(b, b->page_id, -int(moved));
        ent_add_lines(b, nid, int(moved));
    }
    b->dir_entry = nullptr;
    return true;
}

// Removes the record at `off` of a page (header and text).
void remove_record(VMB* b, uint32_t page, uint8_t* p, uint32_t off) {
    uint32_t used = used_of(p), size = kHdr + len_of(p, off);
    std::memmove(p + off, p + off + size, used - off - size);
    set_used(b, page, p, used - size);
}

} // namespace

VM_LINE rd_hdr(const uint8_t* r) {
    VM_LINE h;
    h.kind = r[0];
    h.length = rd32(r + 1);
    h.flags = rd16(r + 5);
    h.lex_a = r[7];
    h.lex_b = r[8];
    h.tag = rd32(r + 9);
    return h;
}

void wr_hdr(uint8_t* r, const VM_LINE& h) {
    r[0] = h.kind;
    wr32(r + 1, h.length);
    wr16(r + 5, h.flags);
    r[7] = h.lex_a;
    r[8] = h.lex_b;
    wr32(r + 9, h.tag);
}

uint8_t* pg(uint32_t id) {
    uint8_t* p = pc_find_page(id, 1);
    if (p && g_edit_depth)
        pc_mark_dirty(id);
    return p;
}

PosSave save_pos(const VMB* b) {
    return PosSave{b->cur_line, b->cur_col, b->page_id, b->rec_off, b->char_off,
                   b->dir_cur, b->page_addr, b->dir_entry};
}

void restore_pos(VMB* b, const PosSave& s) {
    b->cur_line = s.line;
    b->cur_col = s.col;
    b->page_id = s.page;
    b->rec_off = s.rec;
    b->char_off = s.chr;
    b->dir_cur = s.dir;
    b->page_addr = s.page_addr;
    b->dir_entry = s.dir_entry;
}

void clear_pos(VMB* b) {
    b->cur_line = 0;
    b->cur_col = 0;
    b->page_id = 0;
    b->rec_off = 0;
    b->char_off = 0;
    b->dir_cur = b->dir_first;
    b->page_addr = nullptr;
    b->dir_entry = nullptr;
}

namespace {

// The first record of the line after the one ending at the end of `page`:
// the first line start in the pages behind it. False when none can be
// reached.
bool next_line_start(VMB* b, uint32_t page, uint32_t* pid, uint32_t* off) {
    Loc l;
    if (!find_entry(b, page, &l))
        return false;
    while (next_loc(l)) {
        uint32_t id = loc_page(l);
        uint8_t* p = id ? pg(id) : nullptr;
        if (!p)
            return false;
        uint32_t o = VM_PAGE_HDR;
        if (p[o] & 1)
            o += kHdr + len_of(p, o);
        if (o < used_of(p)) {
            remember(b, l);
            *pid = id;
            *off = o;
            return true;
        }
    }
    return false;
}

} // namespace

namespace {

// Lines that begin in the pages of one directory page.
uint32_t dir_lines(const uint8_t* d) {
    uint32_t total = 0;
    const uint8_t* e = d + VM_DIR_HDR;
    for (uint32_t i = 0, n = d_count(d); i < n; ++i, e += VM_DIR_ENTRY)
        total += rd16(e + 4);
    return total;
}

// The directory page of the current data page and the number of lines that
// begin before its first entry, from the current line. Leaves *dir and
// *before alone when a page cannot be fetched.
void dir_base_of_current(VMB* b, uint32_t* dir, uint32_t* before) {
    uint8_t* p = cur_page(b);
    Loc l;
    if (!p || !find_entry(b, b->page_id, &l))
        return;
    p = cur_page(b); // finding the entry may have fetched pages
    uint8_t* d = p ? pg(l.dir) : nullptr;
    if (!d || !(p = cur_page(b)))
        return;
    // Lines that begin in this page before the current record.
    uint32_t starts = 0;
    for (uint32_t o = VM_PAGE_HDR; o < b->rec_off; o += kHdr + len_of(p, o))
        starts += (p[o] & 1) ? 0 : 1;
    // A continuation record belongs to a line that began in an earlier page.
    uint32_t page_before = (p[b->rec_off] & 1) ? b->cur_line : b->cur_line - 1 - starts;
    const uint8_t* e = d + VM_DIR_HDR;
    for (int i = 0; i < l.idx; ++i, e += VM_DIR_ENTRY)
        page_before -= rd16(e + 4);
    *dir = l.dir;
    *before = page_before;
}

// The record of a line that begins in the current page (p, its memory):
// a reader that goes back a few lines, or skips ahead within the page,
// needs no directory.
bool in_current_page(const VMB* b, const uint8_t* p, uint32_t line, uint32_t* off) {
    const uint32_t used = used_of(p);
    if (line > b->cur_line) {
        uint32_t o = b->rec_off, ln = b->cur_line;
        while (ln < line) {
            o += kHdr + len_of(p, o);
            if (o >= used)
                return false;
            ++ln; // only the first record of a page can be a continuation
        }
        *off = o;
        return true;
    }
    if (p[b->rec_off] & 1)
        return false; // the current line began in an earlier page
    uint32_t starts = 0;
    for (uint32_t o = VM_PAGE_HDR; o < b->rec_off; o += kHdr + len_of(p, o))
        starts += (p[o] & 1) ? 0 : 1;
    if (b->cur_line - line > starts)
        return false;
    uint32_t o = VM_PAGE_HDR;
    if (p[o] & 1)
        o += kHdr + len_of(p, o);
    for (uint32_t k = starts - (b->cur_line - line); k; --k)
        o += kHdr + len_of(p, o);
    *off = o;
    return true;
}

} // namespace

bool seek(VMB* b, uint32_t line, int64_t column) {
    if (line == 0 || !b->dir_first || line > b->line_count)
        return false;
    uint32_t pid = 0, off = 0, startcol = 0;
    uint8_t* p = nullptr;
    if (b->page_id && b->cur_line) {
        p = cur_page(b);
        if (!p)
            return false;
        if (line == b->cur_line) {
            uint32_t textpos = b->rec_off + kHdr;
            uint32_t rs = b->cur_col - (b->char_off - textpos);
            if (column < 0 || column >= int64_t(rs)) {
                pid = b->page_id;
                off = b->rec_off;
                startcol = rs;
            } else if (!line_head(b, &pid, &off)) {
                return false;
            } else {
                // An earlier column of this line: from its first record.
                p = pg(pid);
                if (!p)
                    return false;
            }
        } else if (line == b->cur_line + 1) {
            // Reading on: the next record of this page, or the first line
            // start in the pages behind it (past the continuations of a
            // long line), without summing the directory from its start.
            uint32_t end = b->rec_off + kHdr + len_of(p, b->rec_off);
            if (end < used_of(p)) {
                pid = b->page_id;
                off = end;
            } else if (next_line_start(b, b->page_id, &pid, &off)) {
                p = pg(pid);
                if (!p)
                    return false;
            } else {
                pid = 0;
            }
        }
    }
    if (!pid && b->page_id && b->cur_line) {
        p = cur_page(b); // looking for the next line may have fetched pages
        if (!p)
            return false;
        if (in_current_page(b, p, line, &off))
            pid = b->page_id;
    }
    if (!pid) {
        // The directory is summed from the current directory page when the
        // line is nearer to the current line than to line 1: a reader that
        // comes back after the loader appended at the end, or a search that
        // moves on by a few lines, then touches one or two directory pages
        // instead of every one before the line.
        uint32_t dir = b->dir_first, before = 0;
        if (b->page_id && b->cur_line && (line >= b->cur_line || line > b->cur_line - line))
            dir_base_of_current(b, &dir, &before);
        while (line <= before) {
            uint8_t* d = pg(dir);
            uint32_t prev = d ? d_prev(d) : 0;
            uint8_t* pd = prev ? pg(prev) : nullptr;
            if (!pd)
                return false;
            before -= dir_lines(pd);
            dir = prev;
        }
        Loc found;
        while (dir && !found.dir) {
            uint8_t* d = pg(dir);
            if (!d)
                return false;
            uint32_t total = dir_lines(d);
            if (before + total < line) {
                before += total;
                dir = d_next(d);
                continue;
            }
            int n = int(d_count(d));
            const uint8_t* e = d + VM_DIR_HDR;
            for (int i = 0; i < n; ++i, e += VM_DIR_ENTRY) {
                uint32_t c = rd16(e + 4);
                if (before + c >= line) {
                    found.dir = dir;
                    found.idx = i;
                    pid = rd32(e);
                    break;
                }
                before += c;
            }
            if (!found.dir)
                return false; // the counts say otherwise: never guess
        }
        if (!pid)
            return false;
        remember(b, found); // before the data page: fetching may evict
        p = pg(pid);
        if (!p)
            return false;
        off = VM_PAGE_HDR;
        if (p[off] & 1)
            off += kHdr + len_of(p, off);
        for (uint32_t k = line - before - 1; k; --k)
            off += kHdr + len_of(p, off);
    } else if (pid != b->page_id) {
        p = pg(pid);
        if (!p)
            return false;
    }
    // Walk the line from (pid, off), at column startcol of it.
    uint64_t remaining = column < 0 ? 0 : uint64_t(column) - startcol;
    for (;;) {
        uint32_t len = len_of(p, off);
        if (column < 0 || remaining >= len) {
            uint32_t next = 0;
            if (off + kHdr + len == used_of(p) && !continuation_after(b, pid, &next))
                return false;
            if (next) {
                if (column >= 0)
                    remaining -= len;
                startcol += len;
                pid = next;
                p = pg(pid);
                if (!p)
                    return false;
                off = VM_PAGE_HDR;
                continue;
            }
            if (column < 0)
                remaining = len;
            else if (remaining > len)
                return false;
        }
        break;
    }
    b->page_id = pid;
    b->page_addr = p;
    b->rec_off = off;
    b->char_off = off + kHdr + uint32_t(remaining);
    b->cur_line = line;
    b->cur_col = startcol + uint32_t(remaining);
    return true;
}

bool line_head(VMB* b, uint32_t* page, uint32_t* off) {
    uint8_t* p = cur_page(b);
    if (!p)
        return false;
    if (!(p[b->rec_off] & 1)) {
        *page = b->page_id;
        *off = b->rec_off;
        return true;
    }
    Loc l;
    if (!find_entry(b, b->page_id, &l))
        return false;
    while (prev_loc(l)) {
        uint32_t pid = loc_page(l);
        uint8_t* pp = pid ? pg(pid) : nullptr;
        if (!pp)
            return false;
        uint32_t lr = last_rec(pp);
        if (!(pp[lr] & 1)) {
            *page = pid;
            *off = lr;
            return true;
        }
    }
    return false; // unreachable in a sound buffer
}

bool ins_bytes(VMB* b, const uint8_t* s, uint32_t n) {
    if (!n)
        return true;
    // Room for the pages a long text fills (a larger text makes its later
    // pages as it goes).
    uint32_t pages = std::min<uint32_t>(n / (VM_PAGE_SIZE - VM_PAGE_HDR - kHdr) + 3, 16);
    PinSet ps;
    if (!prepare_edit(b, ps, pages) || !normalize_back(b))
        return false;
    const PosSave start = save_pos(b);
    uint32_t done = 0;
    while (done < n) {
        uint8_t* p = cur_page(b);
        if (!p)
            break;
        uint32_t used = used_of(p), co = b->char_off;
        if (used < VM_PAGE_SIZE) {
            uint32_t k = std::min(n - done, VM_PAGE_SIZE - used);
            std::memmove(p + co + k, p + co, used - co);
            std::memcpy(p + co, s + done, k);
            set_len(p, b->rec_off, len_of(p, b->rec_off) + k);
            set_used(b, b->page_id, p, used + k);
            b->char_off += k;
            b->cur_col += k;
            b->char_count += k;
            done += k;
        } else if (co == used) {
            Loc cl;
            if (!find_entry(b, b->page_id, &cl))
                break;
            uint32_t nid = new_page_after(b, &cl);
            uint8_t* np = nid ? pg(nid) : nullptr;
            if (!np)
                break;
            VM_LINE h{1, 0, 0, 0, 0, 0};
            wr_hdr(np + VM_PAGE_HDR, h);
            set_used(b, nid, np, VM_PAGE_HDR + kHdr);
            b->page_id = nid;
            b->page_addr = np;
            b->rec_off = VM_PAGE_HDR;
            b->char_off = VM_PAGE_HDR + kHdr;
        } else if (!split_page(b, co)) {
            break;
        }
    }
    if (done == n)
        return true;
    // A text that does not fit goes out again: a failed insert leaves the
    // line as it was (the place it started at is still valid, as nothing
    // before it moved).
    restore_pos(b, start);
    b->cur_col = start.col;
    if (done)
        del_bytes(b, done);
    restore_pos(b, start);
    return false;
}

namespace {

// Line break at the position. With move_attrs a break at column 0 hands
// the line's tag, flags and lexical bytes to the line below (which keeps
// the text); otherwise the new line gets flags 0x2, tag 0 and the lexical
// bytes of the line it came from.
bool ins_record_ex(VMB* b, bool move_attrs) {
    PinSet ps;
    if (!prepare_edit(b, ps, 4))
        return false;
    bool at_start = b->cur_col == 0;
    uint32_t hp, ho;
    uint8_t* hpp = line_head(b, &hp, &ho) ? pg(hp) : nullptr;
    if (!hpp || !normalize_back(b))
        return false;
    VM_LINE head = rd_hdr(hpp + ho);
    bool fresh = false;
    for (;;) {
        uint8_t* p = cur_page(b);
        if (!p)
            return false;
        uint32_t used = used_of(p);
        if (used < VM_HDR_LIMIT)
            break;
        if (b->char_off < used) {
            if (!split_page(b, b->char_off))
                return false;
            continue;
        }
        Loc cl;
        if (!find_entry(b, b->page_id, &cl))
            return false;
        uint32_t nid = new_page_after(b, &cl);
        if (!nid)
            return false;
        b->page_id = nid;
        b->rec_off = VM_PAGE_HDR;
        b->char_off = VM_PAGE_HDR;
        fresh = true;
        break;
    }
    uint8_t* p = cur_page(b);
    if (!p)
        return false;
    uint32_t used = used_of(p), co = b->char_off, newlen = 0;
    if (!fresh) {
        uint32_t rec = b->rec_off, rend = rec + kHdr + len_of(p, rec);
        newlen = rend - co;
        set_len(p, rec, co - (rec + kHdr));
    }
    std::memmove(p + co + kHdr, p + co, used - co);
    VM_LINE h{0, newlen, VM_LF_SPLIT, head.lex_a, head.lex_b, 0};
    if (at_start && move_attrs) {
        h.flags = uint16_t(head.flags | VM_LF_SPLIT);
        h.tag = head.tag;
    }
    wr_hdr(p + co, h);
    set_used(b, b->page_id, p, used + kHdr);
    ent_add_lines(b, b->page_id, 1);
    if (at_start && move_attrs && (hpp = pg(hp)) != nullptr) {
        wr16(hpp + ho + 5, head.flags & VM_LF_SPLIT);
        wr32(hpp + ho + 9, 0);
        pc_mark_dirty(hp);
    }
    b->line_count += 1;
    b->cur_line += 1;
    b->cur_col = 0;
    b->rec_off = co;
    b->char_off = co + kHdr;
    b->page_addr = p;
    return true;
}

} // namespace

bool ins_record(VMB* b) { return ins_record_ex(b, true); }

uint32_t del_bytes(VMB* b, uint32_t n) {
    PinSet ps;
    if (!prepare_edit(b, ps, 0))
        return 0;
    uint32_t done = 0;
    while (n) {
        uint8_t* p = cur_page(b);
        if (!p)
            break;
        uint32_t used = used_of(p), rec = b->rec_off, len = len_of(p, rec);
        uint32_t rend = rec + kHdr + len, co = b->char_off;
        if (co < rend) {
            uint32_t k = std::min(n, rend - co);
            uint32_t page = b->page_id, prev = 0;
            uint8_t* pp = nullptr;
            if (len == k && (p[rec] & 1)) {
                // The continuation will be empty: it goes, and the position
                // goes to the end of the record before, the same place.
                Loc l;
                if (!find_entry(b, page, &l) || !prev_loc(l) || !(prev = loc_page(l)) || !(pp = pg(prev)))
                    break;
                p = cur_page(b);
                if (!p)
                    break;
            }
            std::memmove(p + co, p + co + k, used - co - k);
            set_len(p, rec, len - k);
            set_used(b, page, p, used - k);
            b->char_count -= k;
            n -= k;
            done += k;
            if (pp) {
                remove_record(b, page, p, rec);
                if (used_of(p) == VM_PAGE_HDR)
                    drop_page(b, page);
                pp = pg(prev);
                if (!pp)
                    break;
                b->page_id = prev;
                b->page_addr = pp;
                b->rec_off = last_rec(pp);
                b->char_off = used_of(pp);
                b->dir_entry = nullptr;
            }
            continue;
        }
        if (rend == used) {
            uint32_t next = 0;
            if (!continuation_after(b, b->page_id, &next))
                break;
            uint8_t* np = next ? pg(next) : nullptr;
            if (np) {
                b->page_id = next;
                b->page_addr = np;
                b->rec_off = VM_PAGE_HDR;
                b->char_off = VM_PAGE_HDR + kHdr;
                b->dir_entry = nullptr;
                continue;
            }
        }
        break;
    }
    return done;
}

bool join_next(VMB* b) {
    PinSet ps;
    if (!prepare_edit(b, ps, 0))
        return false;
    uint8_t* p = cur_page(b);
    if (!p)
        return false;
    uint32_t used = used_of(p), rec = b->rec_off, len = len_of(p, rec);
    uint32_t rend = rec + kHdr + len;
    if (rend < used) {
        uint32_t nlen = len_of(p, rend);
        std::memmove(p + rend, p + rend + kHdr, used - rend - kHdr);
        set_len(p, rec, len + nlen);
        set_used(b, b->page_id, p, used - kHdr);
        ent_add_lines(b, b->page_id, -1);
    } else {
        Loc l;
        if (!find_entry(b, b->page_id, &l) || !next_loc(l))
            return false;
        uint32_t nid = loc_page(l);
        uint8_t* np = nid ? pg(nid) : nullptr;
        if (!np)
            return false;
        VM_LINE h = rd_hdr(np + VM_PAGE_HDR);
        VM_LINE c{1, h.length, 0, 0, 0, 0};
        wr_hdr(np + VM_PAGE_HDR, c);
        pc_mark_dirty(nid);
        ent_add_lines(b, nid, -1);
        if (h.length == 0) {
            remove_record(b, nid, np, VM_PAGE_HDR);
            if (used_of(np) == VM_PAGE_HDR)
                drop_page(b, nid);
        }
        b->page_addr = nullptr;
    }
    b->line_count -= 1;
    b->dir_entry = nullptr;
    return true;
}

bool del_line(VMB* b, uint32_t line) {
    if (!seek(b, line, 0))
        return false;
    PinSet ps;
    uint32_t hp, ho;
    if (!prepare_edit(b, ps, 0) || !line_head(b, &hp, &ho))
        return false;
    uint8_t* p = pg(hp);
    if (!p)
        return false;
    // The pages holding the line's continuations, found before anything
    // changes; they go last first, so that a page that cannot be fetched
    // half-way leaves the line shorter, never its tail on another line.
    std::vector<uint32_t> conts;
    for (uint32_t page = hp, next = 0;; page = next) {
        uint8_t* q = pg(page);
        if (!q)
            return false;
        bool ends_page = page == hp ? ho + kHdr + len_of(q, ho) == used_of(q)
                                    : VM_PAGE_HDR + kHdr + len_of(q, VM_PAGE_HDR) == used_of(q);
        if (!ends_page || !continuation_after(b, page, &next))
            break;
        if (!next)
            break;
        conts.push_back(next);
    }
    while (!conts.empty()) {
        uint32_t id = conts.back();
        uint8_t* q = pg(id);
        if (!q)
            return false;
        b->char_count -= len_of(q, VM_PAGE_HDR);
        remove_record(b, id, q, VM_PAGE_HDR);
        if (used_of(q) == VM_PAGE_HDR)
            drop_page(b, id);
        conts.pop_back();
    }
    p = pg(hp);
    if (!p)
        return false;
    b->char_count -= len_of(p, ho);
    remove_record(b, hp, p, ho);
    ent_add_lines(b, hp, -1);
    b->line_count -= 1;
    uint32_t after = 0;
    bool in_place = ho < used_of(p);
    if (!in_place) {
        Loc l;
        if (find_entry(b, hp, &l) && next_loc(l))
            after = loc_page(l);
    }
    if (used_of(p) == VM_PAGE_HDR) {
        drop_page(b, hp);
        in_place = false;
    }
    if (b->line_count == 0) {
        free_all(b);
        return true;
    }
    b->dir_entry = nullptr;
    uint8_t* at = in_place ? pg(hp) : after ? pg(after) : nullptr;
    if (line <= b->line_count && at) {
        b->page_id = in_place ? hp : after;
        b->page_addr = at;
        b->rec_off = in_place ? ho : VM_PAGE_HDR;
        b->char_off = b->rec_off + kHdr;
        b->cur_line = line;
        b->cur_col = 0;
        return true;
    }
    b->page_id = 0;
    b->cur_line = 0;
    seek(b, std::min(line, b->line_count), line <= b->line_count ? 0 : -1);
    return true;
}

namespace {
bool g_stopping = false;
} // namespace

void set_stopping(bool stopping) { g_stopping = stopping; }

void free_all(VMB* b) {
    // A directory page that cannot be fetched keeps its pages in the swap
    // file until the engine stops; the buffer is empty all the same. While
    // the engine stops, the swap file and every frame go anyway: releasing
    // page by page would only record each id in a file about to be deleted.
    std::vector<uint32_t> pages;
    for (uint32_t dir = g_stopping ? 0 : b->dir_first; dir;) {
        uint8_t* d = pg(dir);
        if (!d)
            break;
        for (int i = 0, n = int(d_count(d)); i < n; ++i)
            pages.push_back(rd32(d_ent(d, i)));
        pages.push_back(dir);
        dir = d_next(d);
    }
    for (uint32_t id : pages)
        pc_release_page(id);
    b->dir_first = 0;
    b->line_count = 0;
    b->char_count = 0;
    clear_pos(b);
}

bool truncate_from(VMB* b, uint32_t line) {
    if (line == 1) {
        free_all(b);
        return true;
    }
    if (!seek(b, line, 0))
        return false;
    uint32_t hp, ho;
    if (!line_head(b, &hp, &ho))
        return false;
    b->page_id = 0;
    b->cur_line = 0;
    b->dir_entry = nullptr;
    // The pages behind the head page go last first, each leaving the counts
    // right, so that a page that cannot be fetched stops the deletion with a
    // sound (shorter) buffer.
    bool ok = true;
    for (;;) {
        uint32_t dir = b->dir_first;
        uint8_t* d = pg(dir);
        while (d && d_next(d)) {
            dir = d_next(d);
            d = pg(dir);
        }
        if (!d) {
            ok = false;
            break;
        }
        Loc last{dir, int(d_count(d)) - 1};
        uint32_t id = rd32(d_ent(d, last.idx));
        if (id == hp)
            break;
        uint8_t* q = pg(id);
        if (!q) {
            ok = false;
            break;
        }
        uint32_t chars = 0, lines = 0;
        for (uint32_t o = VM_PAGE_HDR, u = used_of(q); o < u; o += kHdr + len_of(q, o)) {
            chars += len_of(q, o);
            lines += (q[o] & 1) ? 0 : 1;
        }
        dir_remove(b, last);
        pc_release_page(id);
        b->line_count -= lines;
        b->char_count -= chars;
    }
    if (ok) {
        uint8_t* p = pg(hp);
        if (!p) {
            ok = false;
        } else {
            uint32_t used = used_of(p), lines = 0, chars = 0;
            for (uint32_t o = ho; o < used; o += kHdr + len_of(p, o)) {
                ++lines;
                chars += len_of(p, o);
            }
            set_used(b, hp, p, ho);
            ent_add_lines(b, hp, -int(lines));
            if (ho == VM_PAGE_HDR)
                drop_page(b, hp);
            b->line_count -= lines;
            b->char_count -= chars;
        }
    }
    if (b->line_count)
        seek(b, b->line_count, -1);
    else
        free_all(b);
    return ok;
}

bool new_line(VMB* b, uint32_t after, uint32_t room) {
    if (!b->dir_first) {
        if (!pc_reserve(2))
            return false;
        uint32_t id = new_page_after(b, nullptr);
        uint8_t* p = id ? pg(id) : nullptr;
        if (!p)
            return false;
        VM_LINE h{0, 0, 0, 0, 0, 0};
        wr_hdr(p + VM_PAGE_HDR, h);
        set_used(b, id, p, VM_PAGE_HDR + kHdr);
        ent_add_lines(b, id, 1);
        b->line_count = 1;
        b->page_id = id;
        b->page_addr = p;
        b->rec_off = VM_PAGE_HDR;
        b->char_off = VM_PAGE_HDR + kHdr;
        b->cur_line = 1;
        b->cur_col = 0;
        return true;
    }
    if (after == 0) {
        if (!seek(b, 1, 0) || !ins_record_ex(b, true) || !seek(b, 1, -1))
            return false;
    } else if (!seek(b, after, -1) || !ins_record_ex(b, false)) {
        return false;
    }
    if (!room)
        return true;
    // The caller writes `room` bytes straight into the record: make them fit
    // in this page.
    PinSet ps;
    uint8_t* p = nullptr;
    if (!prepare_edit(b, ps, 3) || !normalize_back(b) || !(p = cur_page(b)))
        return false;
    if (VM_PAGE_SIZE - used_of(p) >= room)
        return true;
    if (b->char_off < used_of(p) && !split_page(b, b->char_off))
        return false;
    p = cur_page(b);
    if (!p)
        return false;
    if (VM_PAGE_SIZE - used_of(p) >= room)
        return true;
    // Move the empty record to a page of its own behind this one.
    uint32_t page = b->page_id;
    Loc cl;
    if (!find_entry(b, page, &cl))
        return false;
    uint32_t nid = new_page_after(b, &cl);
    uint8_t* np = nid ? pg(nid) : nullptr;
    p = np ? pg(page) : nullptr;
    if (!p)
        return false;
    VM_LINE h = rd_hdr(p + b->rec_off);
    remove_record(b, page, p, b->rec_off);
    ent_add_lines(b, page, -1);
    wr_hdr(np + VM_PAGE_HDR, h);
    set_used(b, nid, np, VM_PAGE_HDR + kHdr);
    ent_add_lines(b, nid, 1);
    b->page_id = nid;
    b->page_addr = np;
    b->rec_off = VM_PAGE_HDR;
    b->char_off = VM_PAGE_HDR + kHdr;
    return true;
}

namespace {

// The lexical bytes of the current line (from its first record).
bool head_lex(VMB* b, uint8_t* lex_a, uint8_t* lex_b) {
    uint32_t hp = 0, ho = 0;
    const uint8_t* h = line_head(b, &hp, &ho) ? pg(hp) : nullptr;
    if (!h)
        return false;
    *lex_a = h[ho + 7];
    *lex_b = h[ho + 8];
    return true;
}

} // namespace

bool append_line_spill(VMB* b, const uint8_t* text, uint32_t n, uint32_t tag) {
    if (!b->page_id || b->cur_line != b->line_count)
        return false;
    uint8_t* p = cur_page(b);
    if (!p)
        return false;
    const uint32_t used = used_of(p), rec = b->rec_off, page = b->page_id;
    if (b->char_off != used || rec + kHdr + len_of(p, rec) != used)
        return false;
    // A header is started here only while the page has room for one; the
    // text this page cannot take goes on in a continuation record.
    const bool head_here = used < VM_HDR_LIMIT;
    const uint32_t room = head_here ? VM_PAGE_SIZE - used - kHdr : 0;
    const uint32_t rest = n - std::min(n, room);
    if ((head_here && n <= room) || kHdr + rest > VM_PAGE_SIZE - VM_PAGE_HDR)
        return false;
    uint8_t lex_a = p[rec + 7], lex_b = p[rec + 8];
    Loc cl;
    if (((p[rec] & 1) && !head_lex(b, &lex_a, &lex_b)) || !find_entry(b, page, &cl) || !(p = cur_page(b)))
        return false;
    // The part in this page first, while its directory entry is the one
    // remembered (taken back when no page can be made); the new page's
    // entry is remembered once it is made.
    if (head_here) {
        wr_hdr(p + used, VM_LINE{0, room, 0, lex_a, lex_b, tag});
        std::memcpy(p + used + kHdr, text, room);
        set_used(b, page, p, VM_PAGE_SIZE);
        ent_add_lines(b, page, 1);
    }
    pc_pin(page);
    const uint32_t nid = new_page_after(b, &cl);
    pc_unpin(page);
    uint8_t* np = nid ? pg(nid) : nullptr;
    if (!np) {
        if (nid)
            drop_page(b, nid);
        if (head_here && (p = pg(page)) != nullptr) {
            set_used(b, page, p, used);
            ent_add_lines(b, page, -1);
        }
        return false;
    }
    if (head_here) {
        wr_hdr(np + VM_PAGE_HDR, VM_LINE{1, rest, 0, 0, 0, 0});
        std::memcpy(np + VM_PAGE_HDR + kHdr, text + room, rest);
    } else {
        wr_hdr(np + VM_PAGE_HDR, VM_LINE{0, n, 0, lex_a, lex_b, tag});
        std::memcpy(np + VM_PAGE_HDR + kHdr, text, n);
        ent_add_lines(b, nid, 1);
    }
    set_used(b, nid, np, VM_PAGE_HDR + kHdr + rest);
    b->line_count += 1;
    b->char_count += n;
    b->cur_line += 1;
    b->cur_col = n;
    b->page_id = nid;
    b->page_addr = np;
    b->rec_off = VM_PAGE_HDR;
    b->char_off = VM_PAGE_HDR + kHdr + rest;
    return true;
}

bool append_line_fast(VMB* b, AppendRun* run, const uint8_t* text, uint32_t n, uint32_t tag,
                      const VM_LINE* hdr) {
    if (!b->page_id || b->cur_line != b->line_count) {
        run->clear();
        return false;
    }
    uint8_t* p = nullptr;
    uint8_t* e = nullptr;
    if (run->b == b && run->page == b->page_id && run->p == b->page_addr &&
        rd32(run->p) == run->page) {
        // Nothing was asked of the cache since the last append: the page and
        // its entry are where they were and still marked changed.
        p = run->p;
        e = run->ent;
    } else {
        run->clear();
        p = cur_page(b);
        if (!p)
            return false;
    }
    uint32_t used = used_of(p), rec = b->rec_off;
    if (b->char_off != used || used >= VM_HDR_LIMIT || used + kHdr + n > VM_PAGE_SIZE ||
        rec + kHdr + len_of(p, rec) != used) {
        run->clear();
        return false;
    }
    uint8_t lex_a = p[rec + 7], lex_b = p[rec + 8];
    if (!e) {
        // After a line that ran on into this page, its lexical bytes are in
        // its first record, in an earlier page.
        if ((p[rec] & 1) && !head_lex(b, &lex_a, &lex_b))
            return false;
        uint32_t dir = 0;
        e = entry_of(b, b->page_id, &dir);
        // entry_of may have fetched the directory page and pushed the data
        // page out; check its address again before writing through it.
        if (!e || rd32(p) != b->page_id || b->page_addr != p)
            return false;
        pc_mark_dirty(b->page_id);
        pc_mark_dirty(dir);
        run->b = b;
        run->page = b->page_id;
        run->p = p;
        run->ent = e;
    }
    // The header a line break at the end of the line would make, with the
    // loader's flags and tag: lexical bytes of the line before.
    VM_LINE h{0, n, 0, lex_a, lex_b, tag};
    if (hdr)
        h = VM_LINE{0, n, hdr->flags, hdr->lex_a, hdr->lex_b, hdr->tag};
    wr_hdr(p + used, h);
    std::memcpy(p + used + kHdr, text, n);
    uint32_t nused = used + kHdr + n;
    wr16(p + 4, nused);
    wr16(e + 4, rd16(e + 4) + 1u);
    wr16(e + 6, nused);
    b->line_count += 1;
    b->char_count += n;
    b->cur_line += 1;
    b->cur_col = n;
    b->rec_off = used;
    b->char_off = nused;
    return true;
}

bool append_line(VMB* b, AppendRun* run, const uint8_t* text, uint32_t n, const VM_LINE& hdr) {
    if (append_line_fast(b, run, text, n, hdr.tag, &hdr))
        return true;
    if (!new_line(b, b->line_count, 0) || (n && !ins_bytes(b, text, n)))
        return false;
    uint32_t page = 0, off = 0;
    uint8_t* p = line_head(b, &page, &off) ? pg(page) : nullptr;
    if (!p)
        return false;
    VM_LINE h = rd_hdr(p + off);
    h.flags = hdr.flags;
    h.lex_a = hdr.lex_a;
    h.lex_b = hdr.lex_b;
    h.tag = hdr.tag;
    wr_hdr(p + off, h);
    pc_mark_dirty(page);
    return true;
}

void swap_text(VMB* a, VMB* b) {
    std::swap(a->dir_first, b->dir_first);
    std::swap(a->line_count, b->line_count);
    std::swap(a->char_count, b->char_count);
    PosSave pa = save_pos(a), pb = save_pos(b);
    restore_pos(a, pb);
    restore_pos(b, pa);
}

bool continued(VMB* b, uint32_t page, bool* yes) {
    uint32_t next = 0;
    pc_pin(page);
    bool ok = continuation_after(b, page, &next);
    pc_unpin(page);
    *yes = next != 0;
    return ok;
}

bool copy_out(VMB* b, char* out, uint32_t max, uint32_t* got) {
    struct Into {
        char* at;
        static bool put(void* ctx, const uint8_t* text, uint32_t n) {
            char*& at = static_cast<Into*>(ctx)->at;
            std::memcpy(at, text, n);
            at += n;
            return true;
        }
    } into{out};
    return text_out(b, max, &Into::put, &into, got);
}

bool text_out(VMB* b, uint32_t max, TextSink sink, void* ctx, uint32_t* got) {
    uint32_t done = 0;
    *got = 0;
    uint8_t* p = cur_page(b);
    if (!p)
        return false;
    for (;;) {
        uint32_t rec = b->rec_off, rend = rec + kHdr + len_of(p, rec);
        uint32_t k = std::min(max - done, rend - b->char_off);
        if (k && !sink(ctx, p + b->char_off, k))
            return false;
        done += k;
        b->char_off += k;
        b->cur_col += k;
        *got = done;
        if (done == max || rend != used_of(p))
            return true;
        uint32_t next = 0;
        if (!continuation_after(b, b->page_id, &next))
            return false;
        if (!next)
            return true;
        p = pg(next);
        if (!p)
            return false;
        b->page_id = next;
        b->page_addr = p;
        b->rec_off = VM_PAGE_HDR;
        b->char_off = VM_PAGE_HDR + kHdr;
        b->dir_entry = nullptr;
    }
}

} // namespace vmi
