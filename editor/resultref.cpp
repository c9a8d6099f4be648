// Places named by lines of text (see resultref.h).
#include "editor/resultref.h"

#include <cctype>
#include <cstring>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads 1 to 9 digits at text[*i] as a positive number; 0 when there are none.
int Number(const char* text, int length, int* i) {
    int start = *i, value = 0;
    while (*i < length && IsDigit(text[*i]) && *i - start < 9)
        value = value * 10 + (text[(*i)++] - '0');
    if (*i < length && IsDigit(text[*i]))
        return 0; // longer than any line number
    return value;
}

// A path of the line: what names a file, written as the tools write it.
bool PathOk(const std::string& p) {
    if (p.empty())
        return false;
    // Words of a message ("Build started at 12:30") are no file name: a name
    // with blanks must look like one.
    if (p.find_first_of(" \t") != std::string::npos && p.find_first_of("./\\") == std::string::npos)
        return false;
    for (size_t k = 0; k < p.size(); ++k) {
        unsigned char c = static_cast<unsigned char>(p[k]);
        if (c < 32 || std::strchr("<>\"|?*", c))
            return false;
        // A colon only after a drive letter.
        if (c == ':' && !(k == 1 && std::isalpha(static_cast<unsigned char>(p[0]))))
            return false;
    }
    return true;
}

std::string Trimmed(const char* text, int from, int to) {
    while (from < to && IsBlank(text[from]))
        ++from;
    while (to > from && IsBlank(text[to - 1]))
        --to;
    return std::string(text + from, size_t(to - from));
}

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("_.-\\/:~+$", c) != nullptr;
}

} // namespace

bool ParseResultRef(const char* text, int length, ResultRef* out) {
    if (!text || length <= 0 || !out)
        return false;
    int start = 0;
    while (start < length && IsBlank(text[start]))
        ++start;
    // A parallel build numbers its lines: "2>file.c(3): ...".
    int k = start;
    while (k < length && IsDigit(text[k]))
        ++k;
    if (k > start && k < length && text[k] == '>')
        start = k + 1;

    // The text before `end` names the file: taken when it looks like a path.
    auto accept = [&](int end, int line, int col) {
        std::string path = Trimmed(text, start, end);
        if (!PathOk(path))
            return false;
        out->path = path;
        out->line = line;
        out->column = col;
        return true;
    };
    for (int i = start; i < length; ++i) {
        const char c = text[i];
        if (c == '(') {
            int j = i + 1;
            int line = Number(text, length, &j);
            int col = -1;
            if (line > 0 && j < length && text[j] == ',') {
                ++j;
                col = Number(text, length, &j);
                if (col <= 0)
                    continue;
            }
            if (line <= 0 || j >= length || text[j] != ')')
                continue;
            if (accept(i, line, col))
                return true;
        }
        if (c == ':') {
            bool drive = i == start + 1 && std::isalpha(static_cast<unsigned char>(text[start])) &&
                         i + 1 < length && (text[i + 1] == '\\' || text[i + 1] == '/');
            if (drive)
                continue;
            int j = i + 1;
            int line = Number(text, length, &j);
            if (line <= 0)
                continue;
            int col = -1;
            if (j + 1 < length && text[j] == ':' && IsDigit(text[j + 1])) {
                int m = j + 1;
                int n = Number(text, length, &m);
                if (n > 0 && (m >= length || !IsDigit(text[m]))) {
                    col = n;
                    j = m;
                }
            }
            if (j < length && !(text[j] == ':' || IsBlank(text[j]) || text[j] == ',' ||
                                text[j] == ')' || text[j] == ']'))
                continue;
            if (accept(i, line, col))
                return true;
        }
    }
    return false;
}

std::string FileNameAt(const char* text, int length, int col) {
    if (!text || length <= 0)
        return std::string();
    int i = 0;
    while (i < length && IsBlank(text[i]))
        ++i;
    if (i < length && text[i] == '#') {
        ++i;
        while (i < length && IsBlank(text[i]))
            ++i;
        if (length - i >= 7 && std::strncmp(text + i, "include", 7) == 0) {
            i += 7;
            while (i < length && IsBlank(text[i]))
                ++i;
            if (i < length && (text[i] == '"' || text[i] == '<')) {
                const char close = text[i] == '"' ? '"' : '>';
                int from = ++i;
                while (i < length && text[i] != close)
                    ++i;
                if (i < length && i > from)
                    return std::string(text + from, size_t(i - from));
            }
            return std::string();
        }
    }
    if (col < 0)
        col = 0;
    if (col >= length)
        col = length - 1;
    if (!IsNameChar(text[col]))
        return std::string();
    int from = col, to = col + 1;
    while (from > 0 && IsNameChar(text[from - 1]))
        --from;
    while (to < length && IsNameChar(text[to]))
        ++to;
    // Punctuation that ends a sentence or a reference is not part of the name.
    while (to > from && std::strchr(".:,", text[to - 1]))
        --to;
    std::string name(text + from, size_t(to - from));
    if (name.find_first_of("./\\") == std::string::npos)
        return std::string();
    return name;
}
