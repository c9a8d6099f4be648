#include "opsys/bufstream.h"

#include <cstdlib>
#include <cstring>

// ---------------------------------------------------------------------------
// The stream
// ---------------------------------------------------------------------------
namespace {

struct ModeEntry {
    const char* base;
    uint32_t access;
};
const ModeEntry kModes[] = {
    {"r", 0x0},          {"r+", 0x2},         {"w", 0x1001},       {"w+", 0x1002},
    {"a", 0x20003001},   {"a+", 0x20003002},  {"x", 0x10003001},   {"x+", 0x10003002},
};

bool ensure_buffer(buf_stream* s) {
    if (s->buffer) return true;
    s->buffer = static_cast<unsigned char*>(std::malloc(s->capacity));
    s->cur = s->end = s->buffer;
    return s->buffer != nullptr;
}

bool in_write_mode(const buf_stream* s) { return (s->flags & BS_F_DIRTY) != 0; }

// Writes the buffered bytes. `stay` keeps the stream in write mode with the
// pointers over the whole buffer; otherwise write mode is left. 1 on success.
int flush(buf_stream* s, bool stay) {
    if (s->flags & BS_F_WERR) return 0;
    if (in_write_mode(s) && s->buffer) {
        const unsigned char* p = s->buffer;
        uint32_t n = static_cast<uint32_t>(s->cur - s->buffer);
        while (n > 0) {
            int32_t w = buf_file_write(s->file, p, n);
            if (w <= 0) {
                s->flags |= BS_F_WERR;
                s->flags &= ~BS_F_DIRTY;
                s->cur = s->end = s->buffer;
                s->offset = -1;
                return 0;
            }
            s->file_pos += w;
            p += w;
            n -= static_cast<uint32_t>(w);
        }
    }
    if (stay) {
        if (!ensure_buffer(s)) {
            s->flags |= BS_F_WERR;
            return 0;
        }
        s->offset = s->file_pos;
        s->cur = s->buffer;
        s->end = s->buffer + s->capacity;
        s->flags |= BS_F_DIRTY;
    } else {
        s->cur = s->end = s->buffer;
        s->flags &= ~BS_F_DIRTY;
        s->offset = -1;
    }
    return 1;
}

// Moves from reading to writing: bytes read ahead are given back to the file
// first, so that the write lands where the reader stood.
int enter_write_mode(buf_stream* s) {
    if (s->flags & BS_F_WERR) return 0;
    int64_t ahead = s->end - s->cur;
    if (ahead > 0) {
        int64_t pos = 0;
        if (!buf_file_seek(s->file, s->file_pos - ahead, 0, &pos)) {
            s->flags |= BS_F_WERR;
            return 0;
        }
        s->file_pos = pos;
    }
    s->cur = s->end = s->buffer;
    return flush(s, true);
}

} // namespace

int buf_stream_parse_mode(const char* mode, uint32_t* access) {
    if (!mode) return 0;
    size_t len = std::strlen(mode);
    if (len > 11) return 0;
    static const char kShare[] = "awrn";
    uint32_t share = 0;
    const char* p = mode;
    if (p[0] == 'd') { // sharing part first
        if (!p[1]) return 0;
        const char* hit = std::strchr(kShare, p[1]);
        if (!hit) return 0;
        share = 0x10u * static_cast<uint32_t>(hit - kShare + 1);
        p += 2;
    }
    char base[12];
    size_t n = 0;
    while (p[n] && p[n] != 'd') {
        base[n] = p[n];
        ++n;
    }
    base[n] = 0;
    if (p[n] == 'd') {
        if (share || !p[n + 1] || p[n + 2]) return 0;
        const char* hit = std::strchr(kShare, p[n + 1]);
        if (!hit) return 0;
        share = 0x10u * static_cast<uint32_t>(hit - kShare + 1);
    }
    for (const ModeEntry& m : kModes) {
        if (std::strcmp(m.base, base) == 0) {
            *access = m.access | share;
            return 1;
        }
    }
    return 0;
}

buf_stream* buf_stream_open(const char* path, const char* mode) {
    uint32_t access = 0;
    if (!buf_stream_parse_mode(mode, &access)) return nullptr;
    return buf_stream_create(path, access, nullptr);
}

buf_stream* buf_stream_create(const char* path, uint32_t access, int* error) {
    if (error) *error = 0;
    if (!path) return nullptr;
    auto* s = static_cast<buf_stream*>(std::calloc(1, sizeof(buf_stream)));
    if (!s) return nullptr;
    s->capacity = BS_CAPACITY;
    s->offset = -1;
    if (!ensure_buffer(s)) {
        std::free(s);
        return nullptr;
    }
    s->file = buf_file_open(path, access, error);
    if (!s->file) {
        std::free(s->buffer);
        std::free(s);
        return nullptr;
    }
    int64_t pos = 0;
    if (access & BS_AT_END) buf_file_seek(s->file, 0, 1, &pos);
    s->file_pos = pos;
    return s;
}

int buf_stream_close(buf_stream* s) {
    if (!s) return 1;
    int r = 1;
    if (in_write_mode(s)) r = flush(s, false);
    if (s->flags & BS_F_WERR) r = 0;
    if (s->file && !buf_file_close(s->file)) r = 0;
    std::free(s->buffer);
    std::free(s);
    return r;
}

int buf_stream_fill(buf_stream* s) {
    if (in_write_mode(s)) {
        if (!flush(s, false)) return -1;
    } else if (s->cur < s->end) {
        return *s->cur;
    }
    if (s->flags & (BS_F_EOF | BS_F_WERR)) return -1;
    if (!ensure_buffer(s)) { // a stream past end of file has no buffer
        s->flags |= BS_F_EOF;
        return -1;
    }
    s->offset = s->file_pos;
    int32_t got = buf_file_read(s->file, s->buffer, s->capacity);
    if (got <= 0) {
        s->flags |= BS_F_EOF;
        std::free(s->buffer);
        s->buffer = s->cur = s->end = nullptr;
        s->offset = -1;
        return -1;
    }
    s->file_pos += got;
    s->cur = s->buffer;
    s->end = s->buffer + got;
    return *s->cur;
}

int buf_stream_getc(buf_stream* s, int consume) {
    if (!s) return -1;
    if (in_write_mode(s) || s->cur >= s->end) {
        if (buf_stream_fill(s) < 0) return -1;
    }
    int c = *s->cur;
    if (consume) ++s->cur;
    return c;
}

int buf_stream_gets(buf_stream* s, char* out, int max) {
    if (!s || (s->flags & BS_F_EOF) || max < 0) return -1;
    int n = 0;
    bool any = false;
    while (n < max) {
        int c = buf_stream_getc(s, 1);
        if (c < 0) break;
        any = true;
        if (c == '\n') break;
        if (c == '\r') {
            int next = buf_stream_getc(s, 0);
            if (next == '\n') {
                ++s->cur;
                break;
            }
            if (next < 0) break;
        }
        out[n++] = static_cast<char>(c);
    }
    out[n] = 0;
    return any ? n : -1;
}

int buf_stream_eof(const buf_stream* s) { return !s || (s->flags & BS_F_EOF) ? 1 : 0; }

int buf_stream_putc(int c, buf_stream* s) {
    if (!s) return -1;
    if (!in_write_mode(s) && !enter_write_mode(s)) return -1;
    if (s->cur >= s->end && !flush(s, true)) return -1;
    *s->cur++ = static_cast<unsigned char>(c);
    return c & 0xFF;
}

int buf_stream_write(buf_stream* s, const void* data, uint32_t n) {
    if (!s) return 0;
    if (!in_write_mode(s) && !enter_write_mode(s)) return 0;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (n > 0) {
        if (s->cur >= s->end && !flush(s, true)) return 0;
        uint32_t room = static_cast<uint32_t>(s->end - s->cur);
        uint32_t k = n < room ? n : room;
        std::memcpy(s->cur, p, k);
        s->cur += k;
        p += k;
        n -= k;
    }
    return 1;
}

int buf_stream_puts(const char* text, buf_stream* s) {
    if (!text) return 0;
    return buf_stream_write(s, text, static_cast<uint32_t>(std::strlen(text)));
}

int64_t buf_stream_tell(const buf_stream* s) {
    if (!s) return -1;
    if (in_write_mode(s)) return s->file_pos + (s->cur - s->buffer);
    return s->file_pos - (s->end - s->cur);
}

int buf_stream_seek(buf_stream* s, int64_t offset, int origin) {
    if (!s) return 0;
    s->flags &= ~(BS_F_EOF | BS_F_SEEKMARK);
    if (in_write_mode(s)) {
        if (!flush(s, false)) return 0;
        int64_t pos = 0;
        if (!buf_file_seek(s->file, offset, origin, &pos)) return 0;
        s->file_pos = pos;
        return 1;
    }
    int64_t target = offset;
    if (origin == 1) {
        target = buf_stream_tell(s) + offset;
        origin = 0;
    }
    if (origin == 0 && s->offset >= 0 && s->buffer && target >= s->offset &&
        target <= s->offset + (s->end - s->buffer)) {
        s->cur = s->buffer + (target - s->offset);
        return 1;
    }
    s->cur = s->end = s->buffer;
    s->offset = -1;
    int64_t pos = 0;
    if (!buf_file_seek(s->file, target, origin, &pos)) return 0;
    s->file_pos = pos;
    return 1;
}

void buf_stream_reset(buf_stream* s) {
    if (!s) return;
    if (in_write_mode(s)) flush(s, false);
    // Keep the logical position: bytes read ahead go back to the file.
    int64_t pos = buf_stream_tell(s);
    if (s->cur != s->end) {
        int64_t np = 0;
        if (buf_file_seek(s->file, pos, 0, &np)) s->file_pos = np;
    }
    std::free(s->buffer);
    s->buffer = s->cur = s->end = nullptr;
    s->offset = -1;
}
