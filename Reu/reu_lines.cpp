#include "Reu/reu_lines.h"

#include <cctype>
#include <climits>

bool ReuReadLine(VMB* buffer, int line, std::string& out) {
    int len = vm_line_length(buffer, line);
    if (len < 0) {
        out.clear();
        return false;
    }
    out.assign(static_cast<size_t>(len) + 1, '\0');
    int got = vm_read_text(buffer, line, 0, out.data(), len, nullptr);
    out.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return got >= 0;
}

int ReuWriteLine(VMB* buffer, int line, const std::string& text) {
    int r = vm_replace_line(buffer, line, text.c_str(), static_cast<int>(text.size()), 1);
    if (r > 0) vm_state_flags(buffer, VM_OP_SET, VM_ST_EDIT);
    return r;
}

int ReuParseInt(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) break;
    }
    if (neg) v = -v;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

int ReuCompareNoCase(std::string_view a, std::string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i]));
        int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
