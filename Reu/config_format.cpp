#include "Reu/config_format.h"

#include <cstdio>

const char kConfigHeaderV4[] = "%%V4BUFFER ";
const char kConfigHeaderOld[] = "%%BUFFER ";

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// Decimal reference line as the old reader took it: leading blanks, an
// optional sign, digits; anything unreadable or out of range gives 1.
int ParseReferenceLine(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
    long long v = 0;
    size_t digits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits) {
        v = v * 10 + (s[i] - '0');
        if (v > 0x7FFFFFFF) return 1;
    }
    if (digits == 0 || neg || v < 1) return 1;
    return static_cast<int>(v);
}

// Buffer names of the old header's codes; nullptr for a skipped section.
bool OldCodeName(unsigned char code, std::string& name) {
    switch (code) {
    case 3: case 6: case 17: case 18: return false;
    case 13: name = "Data File History"; return true;
    case 14: name = "Configuration"; return true;
    case 19: name = "Program Titles"; return true;
    case 'f': name = "Buffer f"; return true;
    case 'r': name = "Buffer r"; return true;
    case 'o': name = "Buffer o"; return true;
    case 'n': name = "Buffer n"; return true;
    case 'c': name = "Buffer c"; return true;
    default: name.assign(1, static_cast<char>(code)); return true;
    }
}

} // namespace

std::string ConfigHeaderLine(std::string_view name, int reference_line) {
    char num[16];
    std::snprintf(num, sizeof num, "%d", reference_line);
    std::string s(kConfigHeaderV4);
    s.append(name);
    s += '\t';
    s += num;
    return s;
}

// A buffer name ends at a NUL byte; a name that is empty up to there would
// make a buffer that no name can reach.
bool TakeName(std::string_view n, std::string& name) {
    n = n.substr(0, n.find('\0'));
    if (n.empty()) return false;
    name.assign(n);
    return true;
}

ConfigLineKind ConfigParseLine(std::string_view line, std::string& name, int& reference_line) {
    if (StartsWith(line, kConfigHeaderV4)) {
        std::string_view rest = line.substr(sizeof kConfigHeaderV4 - 1);
        size_t tab = rest.rfind('\t');
        std::string_view n = tab == std::string_view::npos ? rest : rest.substr(0, tab);
        if (!TakeName(n, name)) return kConfigLineDamaged;
        reference_line = tab == std::string_view::npos ? 1 : ParseReferenceLine(rest.substr(tab + 1));
        return kConfigLineSection;
    }
    if (StartsWith(line, kConfigHeaderOld)) {
        std::string_view rest = line.substr(sizeof kConfigHeaderOld - 1);
        if (rest.empty() || rest[0] == '\0') return kConfigLineDamaged;
        if (!OldCodeName(static_cast<unsigned char>(rest[0]), name)) return kConfigLineSkipped;
        reference_line = ParseReferenceLine(rest.substr(1));
        return kConfigLineSection;
    }
    return kConfigLineData;
}

std::string ConfigEscapeLine(std::string_view line) {
    std::string s;
    if (StartsWith(line, "%%")) s += '%';
    s.append(line);
    return s;
}

std::string_view ConfigUnescapeLine(std::string_view line) {
    return StartsWith(line, "%%%") ? line.substr(1) : line;
}

std::vector<std::string_view> ConfigSplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        size_t end = lf == std::string_view::npos ? text.size() : lf;
        size_t len = end - start;
        if (len > 0 && text[end - 1] == '\r') --len;
        lines.push_back(text.substr(start, len));
        if (lf == std::string_view::npos) break;
        start = lf + 1;
    }
    return lines;
}
