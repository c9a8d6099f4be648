// Sorted line lists: comparing keys with lines and searching by halves.
#include "VmEngine/detail/vmline.h"

#include <cctype>
#include <cstring>
#include <string>

using namespace vmi;
using namespace vmi::lines;

namespace {

constexpr uint32_t kCompareMax = 4096;

int fold(int c, bool nocase) { return nocase ? std::tolower(c & 0xFF) : (c & 0xFF); }

int cmp_text(const char* a, size_t na, const char* b, size_t nb, bool nocase) {
    size_t n = std::min(na, nb);
    if (!nocase) {
        // Bytes compare unsigned, as memcmp does.
        int d = n ? std::memcmp(a, b, n) : 0;
        if (d)
            return d;
        return na < nb ? -1 : na > nb ? 1 : 0;
    }
    for (size_t i = 0; i < n; ++i) {
        int d = fold(a[i], nocase) - fold(b[i], nocase);
        if (d)
            return d;
    }
    return na < nb ? -1 : na > nb ? 1 : 0;
}

size_t dir_part(const std::string& s) {
    size_t p = s.find_last_of("\\/");
    return p == std::string::npos ? 0 : p;
}

} // namespace

int vmi::compare_keys(const char* a, size_t na, const char* b, size_t nb, uint32_t options) {
    const bool nocase = options & VM_CMP_NOCASE;
    if (options & VM_CMP_PATH) {
        auto dir_len = [](const char* t, size_t n) {
            while (n && t[n - 1] != '\\' && t[n - 1] != '/')
                --n;
            return n ? n - 1 : 0;
        };
        size_t da = dir_len(a, na), db = dir_len(b, nb);
        if (da != db)
            return da < db ? -1 : 1;
        int c = cmp_text(a, da, b, db, nocase);
        if (c)
            return c;
    }
    return cmp_text(a, na, b, nb, nocase);
}

namespace {

// Key against a line's compared text; the sign orders the key.
int compare(const std::string& key, const std::string& line, uint32_t options) {
    bool nocase = options & VM_CMP_NOCASE;
    std::string l = line;
    if (options & VM_CMP_FIRST_TAB) {
        size_t t = l.find('\t');
        if (t != std::string::npos)
            l.resize(t);
    } else if (options & VM_CMP_LAST_TAB) {
        size_t t = l.rfind('\t');
        if (t != std::string::npos)
            l.resize(t);
    }
    if (options & VM_CMP_PATH) {
        size_t dk = dir_part(key), dl = dir_part(l);
        if (dk != dl)
            return dk < dl ? -1 : 1;
        int c = cmp_text(key.data(), dk, l.data(), dl, nocase);
        if (c)
            return c;
        return cmp_text(key.data(), key.size(), l.data(), l.size(), nocase);
    }
    if (options & VM_CMP_PREFIX) {
        size_t n = l.size();
        int c = cmp_text(key.data(), std::min(n, key.size()), l.data(), n, nocase);
        if (key.size() < n)
            return c ? c : -1;
        if (c)
            return c;
        size_t kpos = key.size();
        if (options & VM_CMP_FIRST_TAB) {
            size_t t = key.find('\t');
            if (t != std::string::npos)
                kpos = t;
        } else if (options & VM_CMP_LAST_TAB) {
            size_t t = key.rfind('\t');
            if (t != std::string::npos)
                kpos = t;
        }
        return kpos < n ? -1 : kpos > n ? 1 : 0;
    }
    return cmp_text(key.data(), key.size(), l.data(), l.size(), nocase);
}

// The line's text from display column `column` (1-based) on.
std::string from_column(const std::string& t, int column, const VM_TABS* tabs) {
    if (column <= 1)
        return t;
    int col = 1;
    size_t i = 0;
    int width = tabs->width > 0 ? tabs->width : 1;
    for (; i < t.size() && col < column; ++i) {
        unsigned char c = static_cast<unsigned char>(t[i]);
        if (tabs->raw || c >= 32)
            col += 1;
        else if (c == '\t')
            col += width - ((col - 1) % width);
        else
            col += 2;
    }
    return t.substr(i);
}

} // namespace

int vm_bsearch_range(VMB* b, int first, int last, const char* key, const VM_TABS* tabs, int column,
                     uint32_t options, int* code) {
    Lock lk;
    int dummy;
    if (!code)
        code = &dummy;
    if (!vmb_in_use(b) || !key) {
        *code = -3;
        return -1;
    }
    if (column > 1 && !tabs) {
        *code = -3;
        return -1;
    }
    if (first == 0) {
        first = 1;
        last = int(b->line_count);
    }
    if (last > int(b->line_count))
        last = int(b->line_count);
    if (first < 1 || last < first) {
        *code = -2;
        return first - 1;
    }
    std::string k(key), t;
    int lo = first, hi = last, probe = first, c = 0;
    while (lo <= hi) {
        probe = lo + (hi - lo) / 2;
        if (!read_line(b, uint32_t(probe), 0, t, kCompareMax)) {
            *code = -3;
            return -1;
        }
        c = compare(k, from_column(t, column, tabs), options);
        if (c == 0)
            break;
        if (c > 0)
            lo = probe + 1;
        else
            hi = probe - 1;
    }
    *code = c == 0 ? 0 : c > 0 ? 1 : -1;
    return probe;
}

int vm_bsearch(VMB* b, const char* key, uint32_t options, int* code) {
    return vm_bsearch_range(b, 0, 0, key, nullptr, 1, options, code);
}

int vm_find_line(VMB* b, const char* key, uint32_t options) {
    Lock lk;
    if (!vmb_in_use(b) || !key)
        return 0;
    int code = 0;
    int line = vm_bsearch(b, key, options, &code);
    if (code == -3)
        return 0;
    if (code == 0 && (options & VM_CMP_NO_DUP))
        return line;
    int after = code == -2 ? 0 : code == -1 ? line - 1 : line;
    return vm_insert_line(b, after, key, -1);
}

int vm_insert_sorted(VMB* b, const char* key, uint32_t options) { return vm_find_line(b, key, options); }

int vm_bsearch_named(const char* name, const char* key, uint32_t options, int* code) {
    Lock lk;
    VMB* b = vmb_find(VMB_T_FILE, name);
    if (!b) {
        if (code)
            *code = -3;
        return -1;
    }
    return vm_bsearch(b, key, options, code);
}
