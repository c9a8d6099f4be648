#include "opsys/strlib.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "opsys/platform_internal.h"

namespace {

std::atomic<int> g_oem_font{0};

// Copies src into dst of `size` bytes, cut to fit; returns dst. Handles
// overlap. Nothing is written when size is 0.
char* copy_cut(char* dst, size_t size, const char* src, size_t len) {
    if (!dst || size == 0) return dst;
    if (len > size - 1) len = size - 1;
    if (src && len) memmove(dst, src, len);
    dst[len] = '\0';
    return dst;
}

} // namespace

// ---- characters ----

int CharToUpper(int c) { return qw_platform::char_upper(c & 0xFF); }

int CharToLower(int c) { return qw_platform::char_lower(c & 0xFF); }

int CharIsLower(int c) { return qw_platform::char_is_lower(c & 0xFF); }

int CharIsUpper(int c) { return qw_platform::char_is_upper(c & 0xFF); }

// With an OEM font the characters above 126 are OEM ones: the program's
// own first.
static int oem_to_ansi_char(int c) {
    if (c >= 127 && g_oem_font.load()) {
        char one = static_cast<char>(c);
        qw_platform::oem_to_ansi(&one, 1);
        return static_cast<unsigned char>(one);
    }
    return c;
}

int CharIsAlpha(int c) { return qw_platform::char_is_alpha(oem_to_ansi_char(c & 0xFF)); }

int CharIsAlphaNumeric(int c) { return qw_platform::char_is_alnum(oem_to_ansi_char(c & 0xFF)); }

void CharSetOemFont(int oem) { g_oem_font.store(oem ? 1 : 0); }

int CharIsDigit(int c) { return c >= '0' && c <= '9'; }

int CharIsCntrl(int c) { return (c >= 0 && c < 32) || c == 127; }

int CharIsPunct(int c) {
    if (c < 33 || c > 126) return 0;
    return !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
}

int CharIsPrintable(int c) { return c >= 0 && c <= 255 && !CharIsCntrl(c); }

int IsBlankChar(int c) { return c == ' ' || c == '\t'; }
int IsWhiteChar(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// ---- copies and heap strings ----

char* CopyStringBounded(char* dst, const char* src, size_t n) {
    if (!dst) return dst;
    size_t len = src ? strnlen(src, n) : 0;
    if (len && src) memmove(dst, src, len);
    dst[len] = '\0';
    return dst;
}

char* StrCatAlloc(char* dst, const char* src, size_t size) {
    if (!dst || !src || size == 0) return nullptr;
    size_t a = strnlen(dst, size);
    size_t b = strlen(src);
    if (a >= size || a + b + 1 > size) return nullptr;
    memmove(dst + a, src, b + 1);
    return dst;
}

char* StrMallocCopy(const char* s) {
    if (!s) return nullptr;
    size_t n = strlen(s) + 1;
    char* p = static_cast<char*>(malloc(n));
    if (p) memcpy(p, s, n);
    return p;
}

void StrFree(char** holder) {
    if (!holder) return;
    free(*holder);
    *holder = nullptr;
}

int StrHolder(char* buffer, size_t size, char** holder, int mode) {
    if (!holder) return 0;
    if (mode == 1) {
        char* copy = StrMallocCopy(buffer ? buffer : "");
        if (!copy) return 0;
        free(*holder);
        *holder = copy;
        return 1;
    }
    if (mode == 0) {
        StrFree(holder);
        return 1;
    }
    if (!buffer || size == 0) return 0;
    const char* s = *holder ? *holder : "";
    copy_cut(buffer, size, s, strlen(s));
    return 1;
}

// ---- comparisons ----

int StrCmpNoCaseN(const char* a, const char* b, size_t n) {
    if (!a || !b) return -1;
    for (size_t i = 0; i < n; ++i) {
        int ca = CharToUpper(static_cast<unsigned char>(a[i]));
        int cb = CharToUpper(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) return 0;
    }
    return 0;
}

int StrCmpNoCase(const char* a, const char* b) { return StrCmpNoCaseN(a, b, static_cast<size_t>(-1)); }
int StrCmpNoCaseMax(const char* a, const char* b) { return StrCmpNoCaseN(a, b, 65535); }
int StrEqualNoCase(const char* a, const char* b) { return a && b && StrCmpNoCase(a, b) == 0; }
int StrEqualNoCase2(const char* a, const char* b) { return StrEqualNoCase(a, b); }

char* StrEnd(char* s) { return s ? s + strlen(s) : nullptr; }
const char* StrEnd(const char* s) { return s ? s + strlen(s) : nullptr; }

int StrIndexOfChar(const char* s, int c) {
    if (!s) return -1;
    const char* p = strchr(s, c & 0xFF);
    return p && c ? static_cast<int>(p - s) : -1;
}

// ---- delimited lists ----

int FindInDelimitedList(char* item, size_t item_size, char* value, size_t value_size,
                        int separator, const char* list, const char* key,
                        int ignore_case, int delimiter) {
    if (item && item_size) item[0] = '\0';
    if (value && value_size) value[0] = '\0';
    if (!list || !key || !delimiter) return -1;
    size_t klen = strlen(key);
    bool prefix = separator && klen && static_cast<unsigned char>(key[klen - 1]) == (separator & 0xFF);
    int index = 0;
    const char* p = list;
    for (;;) {
        const char* end = strchr(p, delimiter & 0xFF);
        size_t len = end ? static_cast<size_t>(end - p) : strlen(p);
        bool match;
        if (prefix) {
            match = len >= klen && (ignore_case ? StrCmpNoCaseN(p, key, klen) == 0
                                                : strncmp(p, key, klen) == 0);
        } else {
            match = len == klen && (ignore_case ? StrCmpNoCaseN(p, key, klen) == 0
                                                : strncmp(p, key, klen) == 0);
        }
        if (match) {
            if (item) copy_cut(item, item_size, p, len);
            if (value && separator) {
                const char* sep = static_cast<const char*>(memchr(p, separator & 0xFF, len));
                if (sep) copy_cut(value, value_size, sep + 1, len - static_cast<size_t>(sep + 1 - p));
            }
            return index;
        }
        if (!end) return -1;
        p = end + 1;
        ++index;
    }
}

int FindInBarList(const char* list, const char* key, int ignore_case) {
    return FindInDelimitedList(nullptr, 0, nullptr, 0, 0, list, key, ignore_case, '|');
}

// The start of item n (from 0) of a "|"-separated list; null when the list
// has fewer items.
static const char* bar_list_item(const char* list, int n) {
    if (!list || n < 0) return nullptr;
    const char* p = list;
    for (int i = 0; i < n; ++i) {
        p = strchr(p, '|');
        if (!p) return nullptr;
        ++p;
    }
    return p;
}

int GetDelimitedListItem(char* dst, size_t size, const char* list, int n) {
    if (dst && size) dst[0] = '\0';
    const char* p = bar_list_item(list, n);
    if (!p) return 0;
    const char* end = strchr(p, '|');
    size_t len = end ? static_cast<size_t>(end - p) : strlen(p);
    if (!dst || !size) return 0;
    copy_cut(dst, size, p, len);
    return static_cast<int>(strlen(dst));
}

int GetDelimitedListInt(int* out, const char* list, int n) {
    char item[64];
    if (out) *out = 0;
    const char* p = bar_list_item(list, n);
    if (!p) return 0;
    GetDelimitedListItem(item, sizeof item, p, 0);
    if (out) *out = atoi(item);
    return 1;
}

const char* StrFindSub(const char* s, const char* sub, int ignore_case) {
    if (!s || !sub) return nullptr;
    if (!ignore_case) return strstr(s, sub);
    size_t n = strlen(sub);
    for (const char* p = s; *p; ++p)
        if (StrCmpNoCaseN(p, sub, n) == 0) return p;
    return n == 0 ? s : nullptr;
}

// ---- character classes over texts ----

namespace {
template <typename Pred>
const char* skip_class(const char* s, Pred pred) {
    if (!s || !*s) return nullptr;
    while (*s && pred(static_cast<unsigned char>(*s))) ++s;
    return *s ? s : nullptr;
}
template <typename Pred>
const char* find_class(const char* s, Pred pred) {
    if (!s) return nullptr;
    while (*s && !pred(static_cast<unsigned char>(*s))) ++s;
    return *s ? s : nullptr;
}
} // namespace

const char* StrSkipAlpha(const char* s) { return skip_class(s, CharIsAlpha); }
int StrIsAlpha(const char* s) { return s && *s && !StrSkipAlpha(s); }
const char* StrSkipAlnum(const char* s) { return skip_class(s, CharIsAlphaNumeric); }
int StrIsAlnum(const char* s) { return s && *s && !StrSkipAlnum(s); }
const char* StrFindAlnum(const char* s) { return find_class(s, CharIsAlphaNumeric); }
const char* StrSkipDigits(const char* s) { return skip_class(s, CharIsDigit); }
int StrIsDigits(const char* s) { return s && *s && !StrSkipDigits(s); }
const char* StrFindDigit(const char* s) { return find_class(s, CharIsDigit); }

int StrHasNoLower(const char* s) {
    if (!s) return 1;
    for (; *s; ++s)
        if (CharIsLower(static_cast<unsigned char>(*s))) return 0;
    return 1;
}

// ---- caret notation ----

char* StrToCaret(char* dst, size_t size, const char* src) {
    if (!dst || size == 0) return dst;
    size_t o = 0;
    for (; src && *src; ++src) {
        unsigned char c = static_cast<unsigned char>(*src);
        bool two = c < 32 || c == '^';
        if (o + (two ? 2 : 1) > size - 1) break;
        if (c == '^') {
            dst[o++] = '^';
            dst[o++] = '^';
        } else if (c < 32) {
            dst[o++] = '^';
            dst[o++] = static_cast<char>(c + 64);
        } else {
            dst[o++] = static_cast<char>(c);
        }
    }
    dst[o] = '\0';
    return dst;
}

char* StrFromCaret(char* dst, size_t size, const char* src) {
    if (!dst || size == 0) return dst;
    size_t o = 0;
    while (src && *src && o < size - 1) {
        unsigned char c = static_cast<unsigned char>(*src);
        if (c == '^' && src[1] == '^') {
            dst[o++] = '^';
            src += 2;
        } else if (c == '^' && src[1] &&
                   static_cast<unsigned char>(src[1]) >= 64 && static_cast<unsigned char>(src[1]) < 96) {
            dst[o++] = static_cast<char>(static_cast<unsigned char>(src[1]) - 64);
            src += 2;
        } else {
            dst[o++] = static_cast<char>(c);
            ++src;
        }
    }
    dst[o] = '\0';
    return dst;
}

char* StrToUpper(char* s) {
    for (char* p = s; p && *p; ++p) *p = static_cast<char>(CharToUpper(static_cast<unsigned char>(*p)));
    return s;
}

char* StrToLower(char* s) {
    for (char* p = s; p && *p; ++p) *p = static_cast<char>(CharToLower(static_cast<unsigned char>(*p)));
    return s;
}

char* StrAnsiToOem(char* s) {
    if (s) qw_platform::ansi_to_oem(s, strlen(s));
    return s;
}

char* StrOemToAnsi(char* s) {
    if (s) qw_platform::oem_to_ansi(s, strlen(s));
    return s;
}

// ---- numbers ----

char* UIntToStrSigned(unsigned long n, char* dst, size_t size, int radix, int negative) {
    if (!dst || size == 0) return dst;
    if (radix < 2 || radix > 36) radix = 10;
    char tmp[80];
    size_t len = 0;
    do {
        unsigned d = static_cast<unsigned>(n % static_cast<unsigned>(radix));
        tmp[len++] = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
        n /= static_cast<unsigned>(radix);
    } while (n);
    if (negative) tmp[len++] = '-';
    size_t o = 0;
    if (len > size - 1) {   // does not fit: an empty text, never a wrong number
        dst[0] = '\0';
        return dst;
    }
    while (len) dst[o++] = tmp[--len];
    dst[o] = '\0';
    return dst;
}

char* UIntToStr(unsigned long n, char* dst, size_t size, int radix) {
    return UIntToStrSigned(n, dst, size, radix, 0);
}

int StrToIntOut(const char* s, int* out) {
    int v = s ? atoi(s) : 0;
    if (out) *out = v;
    return v;
}

char* UIntToHundredthsText(unsigned n, char* dst, size_t size) {
    if (!dst || size == 0) return dst;
    char digits[24];
    UIntToStr(n, digits, sizeof digits, 10);
    char padded[24];
    size_t len = strlen(digits);
    size_t pad = len < 3 ? 3 - len : 0;
    memset(padded, '0', pad);
    memcpy(padded + pad, digits, len + 1);
    len += pad;
    char out[32];
    memcpy(out, padded, len - 2);
    out[len - 2] = '.';
    memcpy(out + len - 1, padded + len - 2, 3);
    return copy_cut(dst, size, out, strlen(out));
}

char* VersionStrNormalize(char* dst, size_t size, const char* src) {
    char buf[48];
    const char* s = StrSkipBlanks(src ? src : "");
    size_t len = strnlen(s, 39);
    memcpy(buf, s, len);
    buf[len] = '\0';
    StrTrimRight(buf);
    char* dot = strchr(buf, '.');
    if (!dot) {
        len = strlen(buf);
        buf[len] = '.';
        buf[len + 1] = '\0';
        dot = buf + len;
    }
    // exactly two decimals
    size_t dec = strlen(dot + 1);
    if (dec >= 2) {
        dot[3] = '\0';
    } else {
        memset(dot + 1 + dec, '0', 2 - dec);
        dot[3] = '\0';
    }
    char out[48];
    if (buf[0] == '.') {
        out[0] = '0';
        memcpy(out + 1, buf, strlen(buf) + 1);
    } else {
        memcpy(out, buf, strlen(buf) + 1);
    }
    return copy_cut(dst, size, out, strlen(out));
}

int VersionStrToInt(const char* s) {
    char norm[48];
    VersionStrNormalize(norm, sizeof norm, s);
    char digits[48];
    size_t o = 0;
    for (const char* p = norm; *p; ++p)
        if (*p != '.') digits[o++] = *p;
    digits[o] = '\0';
    return atoi(digits);
}

// ---- quotes, cut points, tab records ----

char* StrQuote(char* dst, size_t size, const char* src, int add) {
    if (!dst || size == 0) return dst;
    if (!src) src = "";
    size_t len = strlen(src);
    if (add) {
        bool lead = len && src[0] == '"';
        bool trail = len > (lead ? 1u : 0u) && src[len - 1] == '"';
        size_t total = len + (lead ? 0 : 1) + (trail ? 0 : 1);
        if (total > size - 1) {   // a half-quoted text would be worse than none
            dst[0] = '\0';
            return dst;
        }
        memmove(dst + (lead ? 0 : 1), src, len);
        if (!lead) dst[0] = '"';
        size_t o = len + (lead ? 0 : 1);
        if (!trail) dst[o++] = '"';
        dst[o] = '\0';
        return dst;
    }
    if (len >= 2 && src[0] == '"' && src[len - 1] == '"')
        return copy_cut(dst, size, src + 1, len - 2);
    return copy_cut(dst, size, src, len);
}

char* StrCutAtLastBackslash(char* s) {
    char* p = s ? strrchr(s, '\\') : nullptr;
    if (p) *p = '\0';
    return p;
}

char* StrFindLastDoubleTab(char* s) {
    if (!s) return nullptr;
    char* found = nullptr;
    for (char* p = s; *p; ++p)
        if (p[0] == '\t' && p[1] == '\t') found = p;
    return found;
}

char* StrCopyCutAtLastBackslash(char* dst, size_t size, const char* src) {
    if (!dst || size == 0) return dst;
    copy_cut(dst, size, src, src ? strlen(src) : 0);
    StrCutAtLastBackslash(dst);
    return dst;
}

char* StrCopyCutAtDoubleTab(char* dst, size_t size, const char* src) {
    if (!dst || size == 0) return dst;
    copy_cut(dst, size, src, src ? strlen(src) : 0);
    char* p = StrFindLastDoubleTab(dst);
    if (p) *p = '\0';
    return dst;
}

char* StrCopyToTab(char* dst, size_t size, const char* src) {
    if (!src) src = "";
    const char* t = strchr(src, '\t');
    return copy_cut(dst, size, src, t ? static_cast<size_t>(t - src) : strlen(src));
}

char* StrCopyToSecondTab(char* dst, size_t size, const char* src) {
    if (!src) src = "";
    const char* t = strchr(src, '\t');
    if (t) t = strchr(t + 1, '\t');
    return copy_cut(dst, size, src, t ? static_cast<size_t>(t - src) : strlen(src));
}

char* StrFindTab(char* s) { return s ? strchr(s, '\t') : nullptr; }

char* StrCutAtTab(char* s) {
    char* t = StrFindTab(s);
    if (t) *t = '\0';
    return s;
}

char* StrSplitTab(char* first, size_t first_size, char* text) {
    if (!text) {
        if (first && first_size) first[0] = '\0';
        return nullptr;
    }
    char* t = strchr(text, '\t');
    if (!t) return nullptr;
    *t = '\0';
    if (first) copy_cut(first, first_size, text, strlen(text));
    return t + 1;
}

char* StrSplitTabInt(int* number, char* text) {
    if (!text) {
        if (number) *number = 0;
        return nullptr;
    }
    char* t = strchr(text, '\t');
    if (!t) return nullptr;
    *t = '\0';
    if (number) *number = atoi(text);
    return t + 1;
}

// ---- blanks and tokens ----

const char* StrSkipBlanks(const char* s) {
    while (s && IsBlankChar(static_cast<unsigned char>(*s))) ++s;
    return s;
}
char* StrSkipBlanks(char* s) { return const_cast<char*>(StrSkipBlanks(static_cast<const char*>(s))); }

const char* StrSkipToBlank(const char* s) {
    while (s && *s && !IsBlankChar(static_cast<unsigned char>(*s))) ++s;
    return s;
}
char* StrSkipToBlank(char* s) { return const_cast<char*>(StrSkipToBlank(static_cast<const char*>(s))); }

char* StrTrimRight(char* s) {
    if (!s) return s;
    char* e = s + strlen(s);
    while (e > s && IsBlankChar(static_cast<unsigned char>(e[-1]))) --e;
    *e = '\0';
    return e;
}

char* StrTrimBlanks(char* s, int unquote) {
    if (!s) return s;
    char* b = StrSkipBlanks(s);
    size_t len = strlen(b);
    memmove(s, b, len + 1);
    StrTrimRight(s);
    len = strlen(s);
    if (unquote && len >= 2 && s[0] == '"' && s[len - 1] == '"') {
        memmove(s, s + 1, len - 2);
        s[len - 2] = '\0';
    }
    return s;
}

int StrIsEmptyOrBlank(const char* s) { return !s || *StrSkipBlanks(s) == '\0'; }

char* StrAppendSpaces(char* s, size_t size, int n) {
    if (!s || size == 0) return s;
    size_t len = strnlen(s, size - 1);
    while (n-- > 0 && len < size - 1) s[len++] = ' ';
    s[len] = '\0';
    return s + len;
}

const char* StrNextToken(char* dst, size_t max, const char* text) {
    if (dst) dst[0] = '\0';
    if (!text) return text;
    const char* p = StrSkipBlanks(text);
    const char* start;
    const char* end;
    const char* after;
    if (*p == '"') {
        start = p + 1;
        end = strchr(start, '"');
        if (!end) end = start + strlen(start);
        after = *end ? end + 1 : end;
    } else {
        start = p;
        end = StrSkipToBlank(p);
        after = end;
    }
    if (dst) copy_cut(dst, max + 1, start, static_cast<size_t>(end - start));
    return StrSkipBlanks(after);
}

int StrParseQuoted(char* dst, size_t size, const char** cursor) {
    if (dst && size) dst[0] = '\0';
    if (!cursor || !*cursor) return 0;
    const char* p = StrSkipBlanks(*cursor);
    if (!*p) {
        *cursor = nullptr;
        return 0;
    }
    size_t o = 0;
    bool cut = false;
    auto put = [&](char c) {
        if (dst && o + 1 < size) dst[o++] = c;
        else cut = true;
    };
    if (*p == '"') {
        ++p;
        while (*p && *p != '"' && !cut) {
            if (p[0] == '\\' && p[1] == '"') {
                put('"');
                if (!cut) p += 2;
            } else {
                put(*p);
                if (!cut) ++p;
            }
        }
        if (!cut && *p == '"') ++p;
    } else {
        while (*p && *p != ' ' && !cut) {
            put(*p);
            if (!cut) ++p;
        }
    }
    if (dst && size) dst[o < size ? o : size - 1] = '\0';
    if (!cut) p = StrSkipBlanks(p);
    *cursor = *p ? p : nullptr;
    return 1;
}
