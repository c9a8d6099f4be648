// Loading: attaching a file stream to a buffer and reading its lines lazily.
//
// Line ends while reading: LF ends a line; CR LF ends it and counts as a
// CR LF line; CR at the end of the file ends the line; any other CR is text.
// Each loaded line gets flags 0 and its line number in the file as its tag.
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "VmEngine/pagecache.h"
#include "VmEngine/vmcore.h"
#include "VmEngine/vmfile.h"
#include "opsys/bufstream.h"

namespace {

VmEofNotice g_eof_notice = nullptr;

// The next line feed. The C runtime's memchr under some Windows runtimes
// looks at one byte at a time, and every byte of a file passes through here.
const unsigned char* find_lf(const unsigned char* p, size_t n) {
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    while (n >= 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(v, lf))) return p + __builtin_ctz(unsigned(mask));
        p += 16;
        n -= 16;
    }
#endif
    return static_cast<const unsigned char*>(std::memchr(p, '\n', n));
}

// The line feeds of the stream's buffer, looked for 64 bytes at a time and
// kept as a bit mask, so that a block holding the ends of several short
// lines is compared once. Only valid while the buffer's bytes stay the same:
// forget() after anything that may refill it.
class LfScan {
public:
    void forget() { block_ = nullptr; }

    // The first line feed in [p, end), or null.
    const unsigned char* next(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
        if (block_ && p >= block_ && p < block_ + 64) {
            if (uint64_t m = mask_ & (~uint64_t(0) << (p - block_))) return block_ + __builtin_ctzll(m);
            p = block_ + 64;
        }
        block_ = nullptr;
        while (end - p >= 64) {
            const uint64_t m = lf_mask(p);
            if (m) {
                block_ = p;
                mask_ = m;
                return p + __builtin_ctzll(m);
            }
            p += 64;
        }
#endif
        return find_lf(p, static_cast<size_t>(end - p));
    }

private:
#if defined(__SSE2__)
    static uint64_t lf_mask(const unsigned char* p) {
        const __m128i lf = _mm_set1_epi8('\n');
        auto bits = [&](int at) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
            return uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf))));
        };
        return bits(0) | bits(16) << 16 | bits(32) << 32 | bits(48) << 48;
    }
#endif
    const unsigned char* block_ = nullptr;
    uint64_t mask_ = 0;
};

// Where the last read of a buffer ended: its last directory page. A reader
// that reads on block by block goes back to its own place between blocks,
// and finding the end again from there sums the directory from that place
// on: with a large file, every block would cost a walk over most of it.
// The hint is trusted only while no page id was released since (so the page
// is still a directory page of the same chain) and the chain is the
// buffer's own; everything else is checked on the pages themselves.
struct EndHint {
    VMB* b = nullptr;
    uint32_t dir_first = 0;
    uint32_t dir = 0;
    uint32_t releases = 0;
};
EndHint g_end_hints[8];
unsigned g_end_hint_next = 0;

EndHint* end_hint_of(VMB* b) {
    for (EndHint& h : g_end_hints)
        if (h.b == b) return &h;
    return nullptr;
}

// Remembers the directory page of the current position when it is the last
// one of the buffer and holds the current page as its last entry.
void note_end(VMB* b) {
    EndHint* h = end_hint_of(b);
    if (!h) h = &g_end_hints[g_end_hint_next++ % (sizeof g_end_hints / sizeof g_end_hints[0])];
    h->b = nullptr;
    uint8_t* d = b->dir_cur && b->page_id ? vmi::pg(b->dir_cur) : nullptr;
    if (!d || vmi::rd32(d) != b->dir_cur || vmi::rd32(d + 8) != 0) return;
    uint32_t n = vmi::rd16(d + 12);
    if (n == 0 || n > VM_DIR_MAX || vmi::rd32(d + VM_DIR_HDR + VM_DIR_ENTRY * (n - 1)) != b->page_id) return;
    *h = EndHint{b, b->dir_first, b->dir_cur, pc_release_count()};
}

// Puts the position at the start of the last line straight from the hint,
// when the line begins in the last page; false (nothing changed) when the
// hint cannot be trusted or the line begins further back.
bool to_last_line_by_hint(VMB* b) {
    EndHint* h = end_hint_of(b);
    if (!h || h->releases != pc_release_count() || h->dir_first != b->dir_first || !b->line_count) return false;
    const uint32_t dir = h->dir;
    uint8_t* d = vmi::pg(dir);
    if (!d || vmi::rd32(d) != dir || vmi::rd32(d + 8) != 0) return false;
    const uint32_t n = vmi::rd16(d + 12);
    if (n == 0 || n > VM_DIR_MAX) return false;
    const uint32_t page = vmi::rd32(d + VM_DIR_HDR + VM_DIR_ENTRY * (n - 1));
    uint8_t* p = page ? vmi::pg(page) : nullptr;
    // The directory page was the most recent one: fetching the data page
    // cannot have taken its frame, and fetching it again takes nothing.
    d = vmi::pg(dir);
    if (!p || !d || vmi::rd32(p) != page) return false;
    const uint32_t used = vmi::rd16(p + 4);
    uint32_t off = VM_PAGE_HDR, last = 0;
    while (off < used) {
        last = off;
        off += VM_LINE_HDR + vmi::rd32(p + off + 1);
    }
    // Only the first record of a page can be a continuation of a line that
    // began in an earlier page.
    if (!last || off != used || (last == VM_PAGE_HDR && (p[last] & 1))) return false;
    b->cur_line = b->line_count;
    b->cur_col = 0;
    b->page_id = page;
    b->rec_off = last;
    b->char_off = last + VM_LINE_HDR;
    b->dir_cur = dir;
    b->page_addr = p;
    b->dir_entry = d + VM_DIR_HDR + VM_DIR_ENTRY * (n - 1);
    return true;
}

// Gives the current (new, empty) line its load header: flags 0, the tag.
void stamp_line(VMB* b, uint32_t tag) {
    uint32_t page = 0, off = 0;
    uint8_t* p = vmi::line_head(b, &page, &off) ? vmi::pg(page) : nullptr;
    if (!p) return;
    VM_LINE h = vmi::rd_hdr(p + off);
    h.flags = 0;
    h.tag = tag;
    vmi::wr_hdr(p + off, h);
    pc_mark_dirty(page);
}

struct ReadResult {
    bool eof = false;
    bool failed = false;
};

// Reads one line's bytes into the current line. Consumes only what was stored.
ReadResult read_one_line(VMB* b, buf_stream* s, uint32_t* len, bool* terminated, bool* crlf) {
    ReadResult r;
    bool pending_cr = false;
    *len = 0;
    *terminated = *crlf = false;
    for (;;) {
        if (s->cur >= s->end && buf_stream_fill(s) < 0) {
            r.eof = true; // a CR just before the end is dropped
            return r;
        }
        if (pending_cr) {
            if (*s->cur == '\n') {
                ++s->cur;
                *terminated = *crlf = true;
                return r;
            }
            static const uint8_t cr = '\r';
            if (!vmi::ins_bytes(b, &cr, 1)) {
                r.failed = true;
                return r;
            }
            ++*len;
            pending_cr = false;
        }
        unsigned char* start = s->cur;
        size_t avail = static_cast<size_t>(s->end - start);
        auto* lf = const_cast<unsigned char*>(find_lf(start, avail));
        unsigned char* stop = lf ? lf : s->end;
        size_t n = static_cast<size_t>(stop - start);
        bool cr_before = n > 0 && stop[-1] == '\r';
        size_t text = cr_before ? n - 1 : n;
        if (text > 0 && !vmi::ins_bytes(b, start, static_cast<uint32_t>(text))) {
            r.failed = true;
            return r;
        }
        *len += static_cast<uint32_t>(text);
        if (lf) {
            s->cur = lf + 1;
            *terminated = true;
            *crlf = cr_before;
            return r;
        }
        s->cur = s->end;
        pending_cr = cr_before;
    }
}

int read_lines_locked(VMB* b, uint32_t up_to) {
    if (b->state & VM_ST_FULLY_READ) return 1;
    buf_stream* s = b->stream;
    if (!s) {
        b->state |= VM_ST_FULLY_READ;
        return 1;
    }
    const bool was_empty = b->line_count == 0;
    vmi::PosSave saved = vmi::save_pos(b);
    uint32_t lines = 0, terminated_lines = 0, crlf_lines = 0;
    uint32_t last_len = 0;
    bool eof = false, failed = false;
    // The quick way appends at the end of the last line.
    // With the hint the seek starts at the last line's head and only walks
    // that line.
    if (b->line_count) {
        to_last_line_by_hint(b);
        vmi::seek(b, b->line_count, -1);
    }
    // Consecutive quick appends make no other engine call, so they can share
    // one fetch of the page and its entry; anything else clears the run. A
    // line that does not fit in the last page runs on into a new one, also
    // the quick way when it can.
    vmi::AppendRun run;
    LfScan scan;
    while (b->line_count < up_to) {
        // A whole line in the stream's buffer that fits in the last page
        // goes in with one call.
        if (s->cur < s->end) {
            auto* lf = const_cast<unsigned char*>(scan.next(s->cur, s->end));
            if (lf) {
                uint32_t n = static_cast<uint32_t>(lf - s->cur);
                bool cr = n > 0 && lf[-1] == '\r';
                uint32_t text = cr ? n - 1 : n;
                if (vmi::append_line_fast(b, &run, s->cur, text, b->line_count + 1) ||
                    (run.clear(), vmi::append_line_spill(b, s->cur, text, b->line_count + 1))) {
                    s->cur = lf + 1;
                    ++lines;
                    ++terminated_lines;
                    if (cr) ++crlf_lines;
                    last_len = text;
                    if (text > b->longest_line) b->longest_line = text;
                    continue;
                }
            }
        }
        run.clear();
        scan.forget(); // the line may refill the stream's buffer
        if (!vmi::new_line(b, b->line_count, 0)) {
            failed = true;
            break;
        }
        stamp_line(b, b->line_count);
        ++lines;
        bool terminated = false, crlf = false;
        ReadResult r = read_one_line(b, s, &last_len, &terminated, &crlf);
        if (last_len > b->longest_line) b->longest_line = last_len;
        if (terminated) ++terminated_lines;
        if (crlf) ++crlf_lines;
        if (r.failed) {
            failed = true;
            break;
        }
        if (r.eof) {
            eof = true;
            break;
        }
    }
    if (failed) b->state |= VM_ST_FULLY_READ | VM_ST_LOAD_FAILED;

    int param = vms_get_param();
    if (param == 2) {
        b->state |= VM_ST_LF;
    } else if (param == 0 && was_empty && lines > 0 && crlf_lines <= terminated_lines / 2) {
        // Only lines that ended with a line break vote: the last, unterminated
        // line of "a\r\nb" says nothing about the file's line ends.
        b->state |= VM_ST_LF;
    }

    if (eof) {
        if (last_len == 0) b->state |= VM_ST_FINAL_EOL;
        else b->state &= ~VM_ST_FINAL_EOL;
        b->state |= VM_ST_FULLY_READ;
        if (last_len == 0 && !(b->state & VM_ST_LOAD_FAILED) && b->line_count > 0)
            vmi::truncate_from(b, b->line_count);
        if ((vms_flags(-1, VMS_F_KEEP_STREAM) & VMS_F_KEEP_STREAM) &&
            !(b->state & VM_ST_CLOSE_AT_EOF)) {
            buf_stream_reset(s);
        } else {
            buf_stream_close(s);
            b->stream = nullptr;
        }
    }
    if (!eof && !failed && b->line_count) note_end(b);
    // A reader elsewhere (the view) keeps its place while lines arrive.
    if (saved.line != 0 && saved.line <= b->line_count) vmi::restore_pos(b, saved);
    if (eof && g_eof_notice) g_eof_notice(b);
    return (b->state & VM_ST_FULLY_READ) ? 1 : 0;
}

} // namespace

VmEofNotice vm_set_eof_notice(VmEofNotice fn) {
    VmEofNotice old = g_eof_notice;
    g_eof_notice = fn;
    return old;
}

int vm_read_lines(VMB* buffer, uint32_t up_to_line) {
    vmi::BufferGuard g(buffer);
    return g ? read_lines_locked(buffer, up_to_line) : 0;
}

int vmb_Stream_OpenEx(VMB* buffer, const char* path, uint32_t access, int* error) {
    if (error) *error = 0;
    if (!vmb_in_use(buffer) || !path) return 0;
    buf_stream* s = buf_stream_create(path, access, error);
    if (!s) return 0;
    // The file is opened outside the lock; the buffer may have been closed
    // meanwhile.
    vmi::BufferGuard g(buffer);
    if (!g) {
        buf_stream_close(s);
        return 0;
    }
    if (buffer->stream) buf_stream_close(buffer->stream);
    buffer->stream = s;
    buffer->type |= VMB_T_FILE;
    buffer->state &= ~(VM_ST_FULLY_READ | VM_ST_LOAD_FAILED);
    return 1;
}

int vmb_Stream_Open(VMB* buffer, const char* path, const char* mode) {
    uint32_t access = 0;
    if (!buf_stream_parse_mode(mode, &access)) return 0;
    return vmb_Stream_OpenEx(buffer, path, access, nullptr);
}

int vmb_stream_close(VMB* buffer) {
    vmi::BufferGuard g(buffer);
    if (!g) return 0;
    buf_stream* s = buffer->stream;
    buffer->stream = nullptr;
    return s ? buf_stream_close(s) : 1;
}

int vmb_has_stream(VMB* buffer) {
    vmi::BufferGuard g(buffer);
    return g && buffer->stream != nullptr ? 1 : 0;
}

int vmb_stream_reset(VMB* buffer) {
    vmi::BufferGuard g(buffer);
    if (!g) return 0;
    if (buffer->stream) buf_stream_reset(buffer->stream);
    return 1;
}
