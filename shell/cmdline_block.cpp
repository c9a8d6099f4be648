// The hand-off block of a second start, and the command-line keywords.
#include "shell/cmdline_block.h"

#include <cstring>

#include "opsys/strlib.h"

namespace {

struct Keyword {
    const char* name;
    int pending;  // the pending-keyword number
    int values;
};
// Compared in this order: "1-" before "1", "r-" before "r".
const Keyword kKeywords[] = {
    {"l", 0, 1},   {"c", 1, 1},  {"1-", 3, 0},  {"1", 2, 0},    {"nf", 4, 0}, {"np", 5, 0},
    {"r-", 6, 0},  {"r", 7, 0},  {"dir", 8, 1}, {"diff", 9, 2}, {"k", 10, 1},
};

} // namespace

int FindCmdLineKeyword(const char* word) {
    if (!word) return -1;
    for (const Keyword& k : kKeywords)
        if (StrCmpNoCase(word, k.name) == 0) return k.pending;
    return -1;
}

int CmdLineKeywordValues(int keyword) {
    for (const Keyword& k : kKeywords)
        if (k.pending == keyword) return k.values;
    return 0;
}

uint32_t PackHandOffBlock(const std::vector<std::string>& words, std::string* block) {
    block->clear();
    uint32_t packed = 0;
    for (const std::string& w : words) {
        // A word with a NUL inside would split into two on the other side.
        size_t len = strnlen(w.c_str(), w.size());
        if (block->size() + len + 1 > kHandOffBlockMax) break;
        block->append(w.c_str(), len);
        block->push_back('\0');
        ++packed;
    }
    return packed + 1;
}

bool SplitHandOffBlock(uint64_t count, const void* data, size_t size,
                       std::vector<std::string>* words) {
    words->clear();
    if (count == 0 || count > kHandOffBlockMax || size > kHandOffBlockMax) return false;
    if (count == 1) return true;
    if (!data || size == 0) return false;
    const char* p = static_cast<const char*>(data);
    const char* end = p + size;
    for (uint64_t i = 1; i < count; ++i) {
        const void* nul = memchr(p, 0, size_t(end - p));
        if (!nul) {
            words->clear();
            return false;
        }
        words->emplace_back(p, static_cast<const char*>(nul));
        p = static_cast<const char*>(nul) + 1;
    }
    return true;
}

void AbsolutizeHandOffWords(std::vector<std::string>* words,
                            const std::function<std::string(const std::string&)>& full_path) {
    int pending = -1;
    int values_left = 0;
    for (std::string& w : *words) {
        bool flag = !w.empty() && (w[0] == '-' || w[0] == '/');
        if (flag) {
            int k = FindCmdLineKeyword(w.c_str() + 1);
            pending = k;
            values_left = k < 0 ? 0 : CmdLineKeywordValues(k);
            continue;
        }
        if (values_left > 0) {
            --values_left;
            if (pending == 8 || pending == 9) w = full_path(w);
            continue;
        }
        if (!w.empty()) w = full_path(w);
    }
}
