// The small language table the lexical-scan tests and the benchmark use.
#include "tests/VmEngine/test_lex_lang.h"

#include <cctype>
#include <cstring>
#include <map>
#include <string>

namespace lextest {
namespace {

struct Entry {
    int flags;
    const char* open;
    const char* close;
};

struct Spec {
    int kind;
    unsigned flags;
    bool nests;
    Entry entries[3];
};

// Entry flags: 0x1 single delimiter, 0x2 region, 0x8000 "/*"-like region.
const Spec kSpecs[] = {
    {4, 0x2000 | 0x8000, false, {{0x1, "//", ""}, {0x2 | 0x8000, "/*", "*/"}, {0, "", ""}}},
    {20, 0x2000 | 0x8000, true, {{0x1, "//", ""}, {0x2, "(*", "*)"}, {0, "", ""}}},
    {30, 0x2000, false, {{0x1, "#", ""}, {0x2, "=begin", "=end"}, {0, "", ""}}},
};
constexpr int kSpecCount = int(sizeof kSpecs / sizeof kSpecs[0]);

struct BufferInfo {
    int lang;
    int tab;
};
std::map<VMB*, BufferInfo> g_buffers;

const Spec* spec(int lang) {
    return lang >= 0 && lang < kSpecCount ? &kSpecs[lang] : nullptr;
}

const char* match_text(const char* delim, const char* text) {
    size_t n = std::strlen(delim);
    if (n == 0 || std::strncmp(delim, text, n) != 0)
        return nullptr;
    return text + n;
}

const char* match(int lang, int which, int mask, int n, const char* text, int /*token*/,
                  int /*escape*/, int /*column*/, int* entry_out) {
    const Spec* s = spec(lang);
    if (!s)
        return nullptr;
    int from = n < 0 ? 0 : n, to = n < 0 ? 2 : n;
    for (int i = from; i <= to && i < 3 && s->entries[i].flags; ++i) {
        const Entry& e = s->entries[i];
        if (!(e.flags & mask))
            continue;
        const char* end = nullptr;
        int code = i;
        if (which != 0)
            end = match_text(e.open, text);
        if (!end && which != 1) {
            end = match_text(e.close, text);
            if (end && which == 2)
                code |= 0x8000;
        }
        if (!end)
            continue;
        if ((s->flags & 0x8000) && (e.flags & 0x8000))
            code |= 0x4000;
        if (entry_out)
            *entry_out = code;
        return end;
    }
    return nullptr;
}

int buffer_language(VMB* b) {
    auto it = g_buffers.find(b);
    return it == g_buffers.end() ? -1 : it->second.lang;
}

int buffer_tab(VMB* b) {
    auto it = g_buffers.find(b);
    return it == g_buffers.end() ? 0 : it->second.tab;
}

int parser_type(int lang) {
    const Spec* s = spec(lang);
    return s ? s->kind : -2;
}

unsigned flags(int lang) {
    const Spec* s = spec(lang);
    return s ? s->flags : 0;
}

int nesting(int lang) {
    const Spec* s = spec(lang);
    return s && s->nests;
}

int word_length(int, const char* text) {
    if (!(std::isalpha(static_cast<unsigned char>(*text)) || *text == '_'))
        return 0;
    int n = 1;
    while (std::isalnum(static_cast<unsigned char>(text[n])) || text[n] == '_')
        ++n;
    return n;
}

int is_keyword(int, const char* word, int len) {
    static const char* const kWords[] = {"int", "return", "while", "class"};
    for (const char* k : kWords)
        if (int(std::strlen(k)) == len && std::strncmp(k, word, size_t(len)) == 0)
            return 1;
    return 0;
}

const VmLangSource kSource = {buffer_language, buffer_tab, parser_type, flags,
                              nesting,         match,      word_length, is_keyword};

} // namespace

void Install() {
    g_buffers.clear();
    vm_set_lang_source(&kSource);
}

void Uninstall() {
    vm_set_lang_source(nullptr);
    g_buffers.clear();
}

void SetBufferLanguage(VMB* buffer, int lang, int tab) {
    g_buffers[buffer] = BufferInfo{lang, tab};
}

} // namespace lextest
