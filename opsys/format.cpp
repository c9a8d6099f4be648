#include "opsys/format.h"

#include <cstring>

namespace {

// Writes a field of `text` (len characters) padded to `width`; false when it
// does not fit in the space left (the output then ends).
bool put_field(char* out, size_t limit, size_t& pos, const char* text, size_t len,
               size_t width, bool left, bool zero) {
    size_t field = len > width ? len : width;
    if (pos + field > limit) return false;
    size_t pad = field - len;
    if (left) {
        memcpy(out + pos, text, len);
        memset(out + pos + len, ' ', pad);
    } else if (zero && len && text[0] == '-') {
        // the sign stays in front of the zeros
        out[pos] = '-';
        memset(out + pos + 1, '0', pad);
        memcpy(out + pos + 1 + pad, text + 1, len - 1);
    } else {
        memset(out + pos, zero ? '0' : ' ', pad);
        memcpy(out + pos + pad, text, len);
    }
    pos += field;
    return true;
}

size_t unsigned_text(char* buf, unsigned long long v, unsigned radix) {
    char tmp[32];
    size_t n = 0;
    do {
        unsigned d = static_cast<unsigned>(v % radix);
        tmp[n++] = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
        v /= radix;
    } while (v);
    for (size_t i = 0; i < n; ++i) buf[i] = tmp[n - 1 - i];
    return n;
}

} // namespace

unsigned format_str(char* out, size_t size, const char* format, va_list args) {
    if (!out || size == 0) return 0;
    unsigned flags = 0;
    const size_t limit = size - 1;   // characters that fit before the terminator
    size_t pos = 0;
    const char* f = format ? format : "";
    va_list ap;
    va_copy(ap, args);
    while (*f) {
        if (*f != '%') {
            if (pos >= limit) break;
            out[pos++] = *f++;
            continue;
        }
        const char* start = f++;
        bool left = false, zero = false;
        size_t width = 0;
        if (*f == '-') {
            left = true;
            ++f;
        }
        if (*f == '0') zero = true;
        while (*f >= '0' && *f <= '9') {
            if (width < 100000) width = width * 10 + static_cast<size_t>(*f - '0');
            ++f;
        }
        if (left) zero = false;   // zeros after a number would change its value
        char c = *f;
        if (c) ++f;
        char num[40];
        bool ok = true;
        switch (c) {
        case 'c':
            num[0] = static_cast<char>(va_arg(ap, int));
            ok = put_field(out, limit, pos, num, 1, width, left, false);
            break;
        case 'd': {
            int v = va_arg(ap, int);
            long long w = v;
            size_t n = 0;
            if (w < 0) {
                num[n++] = '-';
                w = -w;
            }
            n += unsigned_text(num + n, static_cast<unsigned long long>(w), 10);
            ok = put_field(out, limit, pos, num, n, width, left, zero);
            break;
        }
        case 'u':
        case 'x': {
            unsigned v = va_arg(ap, unsigned);
            size_t n = unsigned_text(num, v, c == 'u' ? 10 : 16);
            ok = put_field(out, limit, pos, num, n, width, left, zero);
            break;
        }
        case 's': {
            const char* s = va_arg(ap, const char*);
            if (!s) s = "(null)";
            size_t n = strnlen(s, 1024);
            ok = put_field(out, limit, pos, s, n, width, left, false);
            break;
        }
        case 'j':
            flags |= QW_FMT_JOIN;
            if (pos == 0) pos = strnlen(out, limit);
            break;
        case 'a': flags |= QW_FMT_BEEP_WARN; break;
        case 'b': flags |= QW_FMT_BEEP; break;
        case 'h': flags |= QW_FMT_STATUS_HOLD; break;
        case 'w': flags |= QW_FMT_STATUS_FRESH; break;
        case 'n':
        case 'k':
        case 'e':   // no directive of ours, but stored texts carry it: print nothing
            break;
        case '%':
            if (pos >= limit) ok = false;
            else out[pos++] = '%';
            break;
        default: {
            // not a directive: copied as it stands (it needs two free places)
            size_t n = static_cast<size_t>(f - start);
            if (pos + n > limit) {
                ok = false;
            } else {
                memcpy(out + pos, start, n);
                pos += n;
            }
            break;
        }
        }
        if (!ok) break;
    }
    va_end(ap);
    out[pos] = '\0';
    return flags;
}

unsigned format_strf(char* out, size_t size, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    unsigned r = format_str(out, size, format, ap);
    va_end(ap);
    return r;
}

int str_printf(char* out, size_t size, const char* format, ...) {
    if (!out || !format || size == 0) return -1;
    if (size > 1024) size = 1024;
    va_list ap;
    va_start(ap, format);
    format_str(out, size, format, ap);
    va_end(ap);
    return static_cast<int>(strlen(out));
}
