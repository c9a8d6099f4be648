// Character offsets <-> display columns (see colmap.h).
#include "editor/colmap.h"

#include <algorithm>
#include <vector>

#include "VmEngine/vm.h"

int ColumnRulesTab(const ColumnRules& rules) {
    if (rules.tab_width < 1)
        return QW_DEFAULT_TAB;
    return std::min(rules.tab_width, int(QW_MAX_COLUMNS));
}

uint32_t NextTabStop(uint32_t c, int t) {
    if (t < 1)
        t = QW_DEFAULT_TAB;
    if (c < 1)
        c = 1;
    return c + uint32_t(t) - (c - 1) % uint32_t(t);
}

uint32_t PreviousTabStop(uint32_t c, int t) {
    if (t < 1)
        t = QW_DEFAULT_TAB;
    if (c <= 1)
        return 1;
    uint32_t back = (c - 1) % uint32_t(t);
    if (back == 0)
        back = uint32_t(t);
    return c > back ? c - back : 1;
}

int CharDisplayWidth(unsigned char c, uint32_t col, const ColumnRules& rules) {
    if (c >= 32 || rules.raw)
        return 1;
    if (c == '\t')
        return int(NextTabStop(col, ColumnRulesTab(rules)) - col);
    return 2;
}

namespace {

// Walks text from column 1: calls step(offset, col, width, bytes) for each
// character (a lead byte with its trail byte as one) until step says stop.
template <class Step>
void Walk(const char* text, int len, const ColumnRules& rules, Step step) {
    uint32_t col = 1;
    for (int i = 0; i < len;) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int bytes = 1;
        int w;
        if (!rules.raw && rules.is_lead_byte && c >= 0x80 && rules.is_lead_byte(c) &&
            i + 1 < len) {
            bytes = 2;
            w = 1;
        } else {
            w = CharDisplayWidth(c, col, rules);
        }
        if (!step(i, col, w, bytes))
            return;
        col += uint32_t(w);
        i += bytes;
    }
    step(len, col, 0, 0); // the end
}

} // namespace

int ExpandText(const char* text, int len, uint32_t col, char* out, int limit,
               const ColumnRules& rules, int* consumed, uint32_t* columns) {
    int n = 0, i = 0;
    const uint32_t first = col < 1 ? 1 : col;
    if (col < 1)
        col = 1;
    const int t = ColumnRulesTab(rules);
    while (i < len && n < limit) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (rules.raw || c >= 32) {
            if (!rules.raw && rules.is_lead_byte && c >= 0x80 && rules.is_lead_byte(c) &&
                i + 1 < len) {
                if (n + 2 > limit)
                    break; // a half character is never drawn
                out[n++] = char(c);
                out[n++] = text[i + 1];
                i += 2;
                ++col;
                continue;
            }
            out[n++] = char(c);
            ++col;
        } else if (c == '\t') {
            uint32_t w = NextTabStop(col, t) - col;
            while (w-- && n < limit)
                out[n++] = ' ';
            col = NextTabStop(col, t);
        } else {
            out[n++] = '^';
            if (n < limit)
                out[n++] = char(c + 64);
            col += 2;
        }
        ++i;
    }
    if (consumed)
        *consumed = i;
    if (columns)
        *columns = col - first;
    return n;
}

uint32_t DisplayColumnAt(const char* text, int len, int offset, const ColumnRules& rules) {
    if (offset <= 0)
        return 1;
    if (rules.raw)
        return uint32_t(offset) + 1;
    if (len < 0)
        len = 0;
    uint32_t result = 1;
    Walk(text, len, rules, [&](int i, uint32_t col, int w, int bytes) {
        if (i >= offset || bytes == 0) {
            // offset reached, or the end: virtual space beyond it
            result = col + (i < offset ? uint32_t(offset - i) : 0);
            return false;
        }
        if (i + bytes > offset) { // offset inside a double-byte character
            result = col;
            return false;
        }
        (void)w;
        return true;
    });
    return result;
}

int OffsetAtDisplayColumn(const char* text, int len, uint32_t col, const ColumnRules& rules,
                          uint32_t* actual, bool past_end) {
    if (col < 1) {
        if (actual)
            *actual = 1;
        return 0;
    }
    if (len < 0)
        len = 0;
    if (rules.raw) {
        int off = int(col - 1);
        if (off > len && !past_end) {
            if (actual)
                *actual = uint32_t(len) + 1;
            return len;
        }
        if (actual)
            *actual = col;
        return off;
    }
    int result = 0;
    uint32_t got = 1;
    Walk(text, len, rules, [&](int i, uint32_t c, int w, int bytes) {
        if (bytes == 0) { // the line ended before the column
            if (past_end) {
                result = i + int(col - c);
                got = col;
            } else {
                result = i;
                got = c;
            }
            return false;
        }
        if (col < c + uint32_t(w) || (w == 0 && col == c)) {
            result = i;
            got = c;
            return false;
        }
        return true;
    });
    if (actual)
        *actual = got;
    return result;
}

uint32_t DisplayWidthOf(const char* text, int count, const ColumnRules& rules) {
    if (rules.raw)
        return count > 0 ? uint32_t(count) : 0;
    return DisplayColumnAt(text, count, count, rules) - 1;
}

namespace {

// Reads up to `want` characters of a line into `text`; the position of the
// buffer is put back. -1 for a line that does not exist.
int ReadLine(VMB* buffer, int line, int want, std::vector<char>& text) {
    want = std::clamp(want, 0, int(QW_MAX_COLUMNS));
    text.assign(size_t(want) + 1, 0);
    VmGuard guard;
    int col = 0;
    int cur = vm_get_position(buffer, &col);
    int n = vm_read_text(buffer, line, 0, text.data(), want, nullptr);
    if (cur > 0)
        vm_set_position(buffer, cur, col);
    return n;
}

} // namespace

uint32_t LineDisplayColumn(VMB* buffer, int line, int offset, const ColumnRules& rules) {
    if (offset <= 0 || line <= 0)
        return 1;
    if (rules.raw)
        return uint32_t(offset) + 1;
    std::vector<char> text;
    int n = ReadLine(buffer, line, offset, text);
    return DisplayColumnAt(text.data(), std::max(n, 0), offset, rules);
}

int LineOffsetAtColumn(VMB* buffer, int line, uint32_t col, const ColumnRules& rules,
                       uint32_t* actual, bool past_end) {
    std::vector<char> text;
    int n = line > 0 ? ReadLine(buffer, line, QW_MAX_COLUMNS, text) : 0;
    if (n < 0)
        n = 0;
    if (text.empty())
        text.assign(1, 0);
    return OffsetAtDisplayColumn(text.data(), n, col, rules, actual, past_end);
}

// ---- Context-list buffers --------------------------------------------------

int RefreshContextList(VMB* list, int kind, void* doc, bool busy, uint32_t idle_ms) {
    if (!vmb_in_use(list))
        return 0;
    void* owner = vmb_get_client_data(list);
    switch (kind) {
    case 100:
    case 101:
        if (!doc) {
            if (!owner)
                return 0;
            vm_clear(list, 0);
            vmb_set_client_data(list, nullptr);
            break;
        }
        if (kind == 100 && owner == doc)
            return 0;
        break;
    case 102:
        if (owner == doc && doc)
            vm_state_flags(list, 1, QW_CTX_STALE);
        return 0;
    case 103: {
        if (!doc || owner != doc || busy || !vm_state_flags(list, -1, QW_CTX_STALE))
            return 0;
        int lines = vm_line_count(list);
        uint32_t wait = lines < 101 ? 2000 : lines < 1001 ? 5000 : 10000;
        if (idle_ms < wait)
            return 0;
        vm_state_flags(list, 0, QW_CTX_STALE);
        break;
    }
    default:
        break;
    }
    vm_seq_next(list);
    return 1;
}

void FillViewContextList(int kind, void* doc, uint32_t view_flags, bool busy, uint32_t idle_ms) {
    if (!(view_flags & 16))
        return;
    static const char* const window_lists[] = {"Window List"};
    static const char* const doc_lists[] = {"IncludesInDoc", "FunctionsInDoc"};
    auto refresh = [&](const char* name) {
        VMB* b = vmb_open(VMB_T_TEMP, name, VMB_O_FINDONLY);
        if (b)
            RefreshContextList(b, kind, doc, busy, idle_ms);
    };
    if (kind == 1 || kind == 2) {
        for (const char* n : window_lists)
            refresh(n);
    } else if (kind >= 100 && kind <= 103) {
        for (const char* n : doc_lists)
            refresh(n);
    }
}
