// The structure checker: walks every directory and data page of a buffer
// and says what does not agree with the layout or the handle.
#include "VmEngine/detail/vmpage.h"

#include <set>
#include <string>

namespace vmi {

std::string check_structure(VMB* b) {
    auto fail = [](const std::string& s) { return s; };
    if (!b->dir_first) {
        if (b->line_count || b->char_count || b->page_id)
            return fail("no directory but lines, characters or a current page");
        return {};
    }
    std::set<uint32_t> seen;
    uint32_t prev = 0, lines = 0, chars = 0;
    bool first_page = true, pos_found = b->page_id == 0;
    uint32_t pos_line = 0, pos_col = 0, line_col = 0;
    for (uint32_t dir = b->dir_first; dir;) {
        uint8_t* d = pg(dir);
        if (!d || rd32(d) != dir)
            return fail("directory page id mismatch " + std::to_string(dir));
        if (!seen.insert(dir).second)
            return fail("directory page used twice");
        if (d_prev(d) != prev)
            return fail("directory back link broken at " + std::to_string(dir));
        int n = int(d_count(d));
        if (n < 1 || n > int(VM_DIR_MAX))
            return fail("directory entry count " + std::to_string(n));
        for (int i = 0; i < n; ++i) {
            // Walking the data pages may push the directory page out of the
            // cache: fetch it again for every entry.
            d = pg(dir);
            if (!d)
                return fail("directory page cannot be fetched " + std::to_string(dir));
            uint32_t id = rd32(d_ent(d, i));
            uint8_t* p = pg(id);
            d = pg(dir);
            if (!d)
                return fail("directory page cannot be fetched " + std::to_string(dir));
            uint8_t* e = d_ent(d, i);
            if (!p || rd32(p) != id)
                return fail("data page id mismatch " + std::to_string(id));
            if (!seen.insert(id).second)
                return fail("data page used twice");
            uint32_t used = used_of(p);
            if (rd16(e + 6) != used)
                return fail("bytes-used copy differs for page " + std::to_string(id) + ": entry " +
                            std::to_string(rd16(e + 6)) + ", page " + std::to_string(used));
            if (used <= VM_PAGE_HDR || used > VM_PAGE_SIZE)
                return fail("empty or overfull data page " + std::to_string(id));
            uint32_t starts = 0, off = VM_PAGE_HDR;
            while (off < used) {
                if (off + kHdr > used)
                    return fail("record header crosses the page end");
                uint8_t kind = p[off];
                uint32_t len = len_of(p, off);
                if (kind > 1)
                    return fail("bad record kind");
                if (kind & 1) {
                    if (off != VM_PAGE_HDR || first_page)
                        return fail("continuation record not at a page start");
                    if (len == 0)
                        return fail("empty continuation record");
                } else {
                    ++starts;
                    ++lines;
                    line_col = 0;
                }
                if (off + kHdr + len > used)
                    return fail("record text crosses the bytes used");
                if (id == b->page_id && off == b->rec_off) {
                    if (b->char_off < off + kHdr || b->char_off > off + kHdr + len)
                        return fail("current character outside the current record");
                    pos_found = true;
                    pos_line = lines;
                    pos_col = line_col + (b->char_off - off - kHdr);
                }
                line_col += len;
                chars += len;
                off += kHdr + len;
            }
            if (rd16(e + 4) != starts)
                return fail("line count of page " + std::to_string(id) + " is " + std::to_string(rd16(e + 4)) +
                            ", records say " + std::to_string(starts));
            first_page = false;
        }
        prev = dir;
        d = pg(dir);
        if (!d)
            return fail("directory page cannot be fetched " + std::to_string(dir));
        dir = d_next(d);
    }
    if (lines != b->line_count)
        return fail("line count " + std::to_string(b->line_count) + ", pages hold " + std::to_string(lines));
    if (chars != b->char_count)
        return fail("character count " + std::to_string(b->char_count) + ", pages hold " + std::to_string(chars));
    if (!pos_found)
        return fail("current record not found");
    if (b->page_id && (pos_line != b->cur_line || pos_col != b->cur_col))
        return fail("position fields say line " + std::to_string(pos_line) + " column " + std::to_string(pos_col) +
                    ", handle says " + std::to_string(b->cur_line) + ":" + std::to_string(b->cur_col));
    return {};
}

} // namespace vmi
