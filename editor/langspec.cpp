// Language specification table and the delimiter matching primitives used by
// the lexer, the engine's lexical scan and the tag parser.
#include "editor/langspec.h"

#include <atomic>
#include <cctype>
#include <cstring>
#include <memory>
#include <mutex>

#include "opsys/format.h"
#include "opsys/msgout.h"
#include "opsys/strlib.h"

namespace {

const char* const kLanguageNames[LANG_COMMANDS] = {
    "Ada",       "Assembler", "Basic",     "DOS Batch", "C/C++",         "Cicode",
    "Clipper 5", "Clipper S87", "Cobol",   "DataFlex",  "dBase",         "Eiffel",
    "Forth",     "Fortran",   "FoxPro",    "HTML",      "Java",          "Limbo",
    "Lisp",      "Matlab",    "Modula",    "None",      "Paradox",       "Delphi/Pascal",
    "Perl",      "PHP",       "PL/1",      "Progress",  "Prolog",        "Rexx",
    "Ruby",      "Smalltalk", "SQL",       "Text",      "Verilog",       "VHDL",
    "Ini (Windows)",
};

// Records live in fixed slots so that readers on other threads never see a
// record move; the count is published after the slot is filled.
constexpr int kMaxSpecs = 256;
std::atomic<CLanguageSpec*> g_specs[kMaxSpecs];
std::atomic<int> g_count{0};
std::mutex g_ruby_mutex;
LangTemplateTreeDeleter g_tree_deleter = nullptr;

int lower(int c) { return CharToLower(static_cast<unsigned char>(c)); }
bool is_blank(int c) { return c == ' ' || c == '\t'; }
bool is_word_char(int c) {
    return c == '_' || std::isalnum(static_cast<unsigned char>(c)) ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Copies src into a fixed field; 0 (field left empty) when it does not fit.
bool copy_field(char* dst, size_t size, const char* src) {
    if (!src) src = "";
    size_t n = strlen(src);
    if (n >= size) {
        dst[0] = '\0';
        return false;
    }
    memcpy(dst, src, n + 1);
    return true;
}

void store_name(CLanguageSpec* s, const char* name) {
    if (!name || StrEqualNoCase(name, LanguageDisplayName(s->language)))
        s->name[0] = '\0';
    else
        CopyStringBounded(s->name, name, LANG_NAME_SIZE - 1);
}

bool case_sensitive(const CLanguageSpec* s) { return s->flags & LANG_F_CASE; }

// One delimiter text at `text`: the position after it, or null.
const char* match_text(const CLanguageSpec* s, const CLanguageDelimiter& e, const char* delim,
                       const char* text, int escape) {
    if (!delim[0]) return nullptr;
    bool cs = case_sensitive(s);
    size_t i = 0;
    for (; delim[i] && i < LANG_DELIM_TEXT - 1; ++i) {
        int c = static_cast<unsigned char>(text[i]);
        if (!c) return nullptr;
        if (!cs) c = lower(c);
        if (c != static_cast<unsigned char>(delim[i])) return nullptr;
    }
    if (escape && text[-1] == '\\') return nullptr;
    const char* after = text + i;
    int next = static_cast<unsigned char>(*after);
    if ((s->flags & LANG_F_STANDALONE) && next && !is_blank(next)) return nullptr;
    if ((e.flags & 0x41) == 0x41 && (next == '{' || next == '}')) return nullptr;
    if (e.flags & DELIM_MATLAB_REGION) {
        for (const char* p = after; *p; ++p)
            if (!is_blank(*p)) return nullptr;
    }
    // A word-like delimiter ("REM", "end") must not run on into a longer word.
    int first = static_cast<unsigned char>(delim[0]);
    if (!std::ispunct(first) && first >= 32 && !(e.flags & DELIM_VARIANT) && is_word_char(next))
        return nullptr;
    return after;
}

bool entry_applies(const CLanguageSpec* s, const CLanguageDelimiter& e, int mask, int token,
                   int column) {
    if (!(e.flags & static_cast<uint32_t>(mask))) return false;
    if ((e.flags & DELIM_NO_TOKEN) && token != -1) return false;
    if ((s->flags & LANG_F_STANDALONE) && token != -1 && token != 309) return false;
    if (e.column != -1 &&
        (e.column != column || (e.flags & DELIM_VARIANT) != (static_cast<uint32_t>(mask) & DELIM_VARIANT)))
        return false;
    return true;
}

void clear_entry(CLanguageDelimiter& e) {
    e.flags = 0;
    e.column = -1;
    e.token = -1;
    e.open[0] = e.close[0] = '\0';
}

}  // namespace

// ---- Languages --------------------------------------------------------------

const char* LanguageDisplayName(int id) {
    return id >= 0 && id < LANG_COMMANDS ? kLanguageNames[id] : "";
}

int GetLanguageName(int id, char* out, int size) {
    if (!out || size <= 0) return 0;
    CopyStringBounded(out, LanguageDisplayName(id), static_cast<size_t>(size - 1));
    return static_cast<int>(strlen(out));
}

int FindLanguageByName(const char* name) {
    if (!name) return -1;
    for (int i = 0; i < LANG_COMMANDS; ++i)
        if (StrEqualNoCase(name, kLanguageNames[i])) return i;
    return -1;
}

// ---- Records ----------------------------------------------------------------

CLanguageSpec* FindLanguageSpec(int index) {
    if (index < 0 || index >= g_count.load(std::memory_order_acquire)) return nullptr;
    return g_specs[index].load(std::memory_order_acquire);
}

int GetLanguageSpecCount() { return g_count.load(std::memory_order_acquire) - 1; }

int GetLanguageParserType(int index) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    return s ? s->language : -2;
}

uint32_t GetLanguageFlags(int index) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    return s ? s->flags : 0;
}

uint32_t SetLanguageFlags(int op, int index, uint32_t mask) {
    CLanguageSpec* s = FindLanguageSpec(index);
    if (!s) return 0;
    if (op == 1)
        s->flags |= mask;
    else if (op == 0)
        s->flags &= ~mask;
    return s->flags & mask;
}

int IsLanguageFlag1(int index) { return (GetLanguageFlags(index) & LANG_F_CASE) != 0; }
int IsLanguageFlag2000(int index) { return (GetLanguageFlags(index) & LANG_F_REGIONS) != 0; }
int IsLanguageFlag4000(int index) { return (GetLanguageFlags(index) & LANG_F_ENTRY4) != 0; }
int IsLanguageFlag10000(int index) { return (GetLanguageFlags(index) & LANG_F_DEFAULTS) != 0; }

int GetLanguageSpecInfo(int index, int* language, char* name, char* id_start, char* id_follow,
                        char* id_surround) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (!s) return 0;
    if (language) *language = s->language;
    if (name) memcpy(name, s->name, sizeof s->name);
    if (id_start) memcpy(id_start, s->id_start, sizeof s->id_start);
    if (id_follow) memcpy(id_follow, s->id_follow, sizeof s->id_follow);
    if (id_surround) memcpy(id_surround, s->id_surround, sizeof s->id_surround);
    return 1;
}

uint32_t GetLanguageDelimiter(int index, int n, char* open, char* close, int* column,
                              int* token) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (!s || n < 0 || n >= LANG_DELIM_COUNT) return 0;
    const CLanguageDelimiter& e = s->delimiters[n];
    if (open) StrToUpper(static_cast<char*>(memcpy(open, e.open, LANG_DELIM_TEXT)));
    if (close) StrToUpper(static_cast<char*>(memcpy(close, e.close, LANG_DELIM_TEXT)));
    if (column) *column = e.column;
    if (token) *token = e.token;
    return e.flags;
}

// ---- Matching ---------------------------------------------------------------

const char* MatchLanguageDelimiter(int index, int which, int mask, int n, const char* text,
                                   int token, int escape, int column, int* entry) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (!s || !text) return nullptr;
    int first = 0, last = LANG_DELIM_FILE - 1;
    if (n != -1) {
        int limit = s->language == LANG_RUBY ? LANG_DELIM_COUNT : LANG_DELIM_FILE;
        if (n < 0 || n >= limit) return nullptr;
        first = last = n;
    }
    for (int i = first; i <= last; ++i) {
        const CLanguageDelimiter& e = s->delimiters[i];
        if (n == -1 && e.flags == 0) break;
        if (!entry_applies(s, e, mask, token, column)) continue;
        const char* hit = nullptr;
        int code = i;
        if (which == 1 || which == 2) hit = match_text(s, e, e.open, text, escape);
        if (which == 2 && hit && strlen(e.close) > strlen(e.open)) {
            if (const char* longer = match_text(s, e, e.close, text, escape)) {
                hit = longer;
                code |= DELIM_MATCH_CLOSE;
            }
        }
        if (!hit && (which == 0 || which == 2)) {
            hit = match_text(s, e, e.close, text, escape);
            if (hit && which == 2) code |= DELIM_MATCH_CLOSE;
        }
        if (!hit) continue;
        if ((s->flags & LANG_F_SLASH_LINE) && (e.flags & DELIM_C_COMMENT))
            code |= DELIM_MATCH_CONFIRM;
        if (entry) *entry = code;
        return hit;
    }
    return nullptr;
}

int FindLanguageDelimiterValue(int index, uint32_t word, int* token) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (!s) return LANG_NO_VALUE;
    for (int i = 0; i < LANG_DELIM_FILE; ++i) {
        const CLanguageDelimiter& e = s->delimiters[i];
        if ((e.flags & DELIM_VALUE) && (e.flags & DELIM_VARIANT) == (word & DELIM_VARIANT)) {
            if (token) *token = e.token;
            return e.column;
        }
    }
    return LANG_NO_VALUE;
}

int FindDelimiterCharEntry(int index, const char* chars, int* entry) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (!s || !chars) return 0;
    if (s->language == LANG_RUBY) return 1;
    char set[256];
    CopyStringBounded(set, chars, sizeof set - 1);
    if (!case_sensitive(s)) StrToLower(set);
    for (int i = 0; i < LANG_DELIM_FILE; ++i) {
        const CLanguageDelimiter& e = s->delimiters[i];
        if (e.flags == 0) break;
        if (!(e.flags & DELIM_REGION)) continue;
        for (const char* t : {e.open, e.close})
            for (const char* p = t; *p; ++p)
                if (strchr(set, *p)) {
                    if (entry) *entry = i;
                    return 1;
                }
    }
    return 0;
}

int FindShortestPrefixDelimiter(int index, int n) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (!s || !(s->flags & LANG_F_ENTRY4) || n < 0 || n >= LANG_DELIM_FILE) return n;
    const char* target = s->delimiters[n].open;
    size_t target_len = strlen(target);
    int best = n;
    size_t best_len = target_len;
    for (int i = 0; i < LANG_DELIM_FILE; ++i) {
        const CLanguageDelimiter& e = s->delimiters[i];
        if (e.flags == 0) break;
        if (i == n || !(e.flags & DELIM_REGION)) continue;
        size_t len = strlen(e.open);
        if (len && len < best_len && strncmp(e.open, target, len) == 0) {
            best = i;
            best_len = len;
        }
    }
    return best;
}

int lang_Ruby_string(const char* text, int previous, const char* preceding_word, int index,
                     int* entry, int* length, int* token) {
    CLanguageSpec* s = FindLanguageSpec(index);
    if (entry) *entry = -1;
    if (!s || !text || !text[0]) return 0;
    CLanguageDelimiter made{};
    made.column = -1;
    made.flags = DELIM_REGION;
    int len = 0;
    auto bracket_close = [](char c) {
        switch (c) {
        case '[': return ']';
        case '(': return ')';
        case '{': return '}';
        case '<': return '>';
        default: return '\0';
        }
    };
    auto percent_form = [&](char delim) {
        char closing = bracket_close(delim);
        if (closing) {
            made.flags |= DELIM_PAIR;
            made.open[0] = delim;
            made.close[0] = closing;
        } else {
            made.close[0] = delim;
        }
    };
    unsigned char c1 = static_cast<unsigned char>(text[1]);
    if (text[0] == '%' && c1 && strchr("qQwrx", c1) && text[2] && !is_blank(text[2]) &&
        !std::isalnum(static_cast<unsigned char>(text[2]))) {
        len = 3;
        made.token = c1 == 'Q' ? 311 : 312;
        percent_form(text[2]);
    } else if (text[0] == '%' && c1 && !is_blank(c1) && !std::isalnum(c1)) {
        len = 2;
        made.token = 311;
        percent_form(text[1]);
    } else if (previous != '$' && previous != '?' && strchr("'\"/`", text[0])) {
        len = 1;
        made.token = text[0] == '"' ? 311 : 312;
        made.close[0] = text[0];
    } else if (text[0] == '<' && c1 == '<' &&
               !(preceding_word && strcmp(preceding_word, "class") == 0)) {
        const char* p = text + 2;
        made.column = 1;
        if (*p == '-') {
            made.column = -1;
            ++p;
        }
        const char* id = p;
        const char* id_end;
        if (*p == '\'') {
            id = ++p;
            if (is_blank(*id)) return 0;
            while (*p && *p != '\'') ++p;
            if (*p != '\'') return 0;
            id_end = p++;
            made.token = 312;
        } else {
            while (is_word_char(*p) && static_cast<unsigned char>(*p) < 0x80) ++p;
            id_end = p;
            if (*p && !is_blank(*p) && *p != ')') return 0;
            made.token = 311;
        }
        size_t id_len = static_cast<size_t>(id_end - id);
        if (id_len == 0 || id_len >= LANG_DELIM_TEXT) return 0;
        bool digits = true;
        for (const char* q = id; q < id_end; ++q) digits = digits && std::isdigit(static_cast<unsigned char>(*q));
        if (digits) return 0;
        for (const char* q = p; *q && *q != ')'; ++q)
            if (!is_blank(*q)) return 0;
        memcpy(made.close, id, id_len);
        made.flags |= DELIM_NO_TOKEN;
        len = static_cast<int>(p - text);
    } else {
        return 0;
    }
    if (!case_sensitive(s)) {
        StrToLower(made.open);
        StrToLower(made.close);
    }
    int found = -1;
    {
        std::lock_guard<std::mutex> lock(g_ruby_mutex);
        for (int i = LANG_DELIM_FILE; i < LANG_DELIM_COUNT && found < 0; ++i) {
            CLanguageDelimiter& e = s->delimiters[i];
            if (e.flags == made.flags && e.column == made.column && e.token == made.token &&
                strcmp(e.open, made.open) == 0 && strcmp(e.close, made.close) == 0)
                found = i;
        }
        for (int i = LANG_DELIM_FILE; i < LANG_DELIM_COUNT && found < 0; ++i) {
            CLanguageDelimiter& e = s->delimiters[i];
            if (e.flags != 0) continue;
            e.column = made.column;
            e.token = made.token;
            memcpy(e.open, made.open, sizeof e.open);
            memcpy(e.close, made.close, sizeof e.close);
            // Readers skip an entry whose flags are 0, so they go last.
            std::atomic_ref<uint32_t>(e.flags).store(made.flags, std::memory_order_release);
            found = i;
        }
        if (found >= 0) s->flags |= LANG_F_EQUAL_REGION | LANG_F_REGIONS | LANG_F_ENTRY4;
    }
    if (found < 0) {
        // A literal with no entry would have no closing delimiter: leave it
        // unrecognised rather than hand out an entry nobody can match.
        MsgOut(QW_MSG_LOG | QW_MSG_OUTPUT, "In lang_Ruby_string() comments[] full!!");
        return 0;
    }
    if (entry) *entry = found;
    if (length) *length = len;
    if (token) *token = made.token;
    return 1;
}

// ---- Names ------------------------------------------------------------------

int FindLanguageSpecIndex(int language, const char* lang_name, const char* spec_name) {
    if (lang_name) language = FindLanguageByName(lang_name);
    int count = g_count.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i) {
        const CLanguageSpec* s = FindLanguageSpec(i);
        if (!s || (s->flags & LANG_F_HIDDEN) || s->language != language) continue;
        if (spec_name && spec_name[0] && StrCmpNoCaseN(s->name, spec_name, strlen(spec_name)) != 0)
            continue;
        return i;
    }
    return -1;
}

int SplitLanguageSpecName(const char* display, int* language, char* spec_name, int size) {
    if (language) *language = -1;
    if (spec_name && size > 0) spec_name[0] = '\0';
    if (!display) return 0;
    char lang[256];
    CopyStringBounded(lang, display, sizeof lang - 1);
    char* sep = strchr(lang, '\xBB');
    if (!sep) sep = strchr(lang, '\t');
    const char* spec = "";
    if (sep) {
        *sep = '\0';
        spec = sep + 1;
    }
    auto trim = [](char* t) {
        while (is_blank(*t)) ++t;
        char* e = t + strlen(t);
        while (e > t && is_blank(e[-1])) *--e = '\0';
        return t;
    };
    char spec_buf[256];
    CopyStringBounded(spec_buf, spec, sizeof spec_buf - 1);
    int id = FindLanguageByName(trim(lang));
    if (language) *language = id;
    if (spec_name && size > 0) CopyStringBounded(spec_name, trim(spec_buf), static_cast<size_t>(size - 1));
    return id >= 0;
}

int FindLanguageSpecByName(const char* display) {
    int language;
    char spec[LANG_NAME_SIZE * 2];
    SplitLanguageSpecName(display, &language, spec, sizeof spec);
    if (language < 0) return -1;
    return FindLanguageSpecIndex(language, nullptr, spec);
}

char* FormatLanguageSpecName(char* out, int size, int tab_form, const char* lang_name,
                             const char* spec_name) {
    if (!out || size <= 0) return out;
    CopyStringBounded(out, lang_name ? lang_name : "", static_cast<size_t>(size - 1));
    if (spec_name && spec_name[0] && !StrEqualNoCase(spec_name, lang_name))
        format_strf(out, static_cast<size_t>(size), tab_form ? "%j\t%s" : "%j \xBB %s", spec_name);
    return out;
}

int FormatLanguageSpecDisplay(char* out, int size, int tab_form, int index) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (out && size > 0) out[0] = '\0';
    if (!s) return -1;
    FormatLanguageSpecName(out, size, tab_form, LanguageDisplayName(s->language), s->name);
    return index;
}

// ---- Building ---------------------------------------------------------------

int AddLanguageSpec(int language, const char* dictionary_file) {
    static std::mutex add_mutex;
    std::lock_guard<std::mutex> lock(add_mutex);
    int index = g_count.load(std::memory_order_relaxed);
    if (index >= kMaxSpecs) return -1;
    auto s = std::make_unique<CLanguageSpec>();
    s->flags = 0;
    s->language = language;
    strcpy(s->name, " *Unknown* ");
    s->dictionary_file = dictionary_file ? dictionary_file : "";
    s->id_start[0] = s->id_follow[0] = s->id_surround[0] = '\0';
    s->dict_first_line = s->bucket_count = s->dict_line_count = 0;
    for (CLanguageDelimiter& e : s->delimiters) clear_entry(e);
    s->code_templates = nullptr;
    if (language == LANG_FORTH) s->flags |= LANG_F_STANDALONE;
    g_specs[index].store(s.release(), std::memory_order_release);
    g_count.store(index + 1, std::memory_order_release);
    return index;
}

int SetLanguageSpecLanguage(int index, int language, const char* name) {
    CLanguageSpec* s = FindLanguageSpec(index);
    if (!s) return 0;
    if (language != -1) {
        s->language = language;
        if (language == LANG_FORTH)
            s->flags |= LANG_F_STANDALONE;
        else
            s->flags &= ~LANG_F_STANDALONE;
    }
    store_name(s, name);
    return 1;
}

int SetLanguageSpecFields(int index, const char* name, uint32_t flags, const char* id_start,
                          const char* id_follow, const char* id_surround) {
    CLanguageSpec* s = FindLanguageSpec(index);
    if (!s) return 0;
    // The stand-alone rule belongs to the language, not to the file's flags.
    s->flags = (s->flags & LANG_F_DEFAULTS) | (flags & ~LANG_F_STANDALONE) |
               (s->language == LANG_FORTH ? uint32_t{LANG_F_STANDALONE} : 0u);
    store_name(s, name);
    CopyStringBounded(s->id_start, id_start ? id_start : "", LANG_ID_SET_SIZE - 1);
    CopyStringBounded(s->id_follow, id_follow ? id_follow : "", LANG_ID_SET_SIZE - 1);
    CopyStringBounded(s->id_surround, id_surround ? id_surround : "", LANG_ID_SURROUND_SIZE - 1);
    return 1;
}

int SetLanguageDelimiter(int op, int index, int n, uint32_t flags, int column, int token,
                         const char* open, const char* close) {
    CLanguageSpec* s = FindLanguageSpec(index);
    if (!s) return 0;
    if (op == 0) {
        for (CLanguageDelimiter& e : s->delimiters) clear_entry(e);
        return 1;
    }
    if (op != 1 || n < 0 || n >= LANG_DELIM_FILE) return 0;
    CLanguageDelimiter e;
    clear_entry(e);
    char text[2][128];
    StrFromCaret(text[0], sizeof text[0], open ? open : "");
    StrFromCaret(text[1], sizeof text[1], close ? close : "");
    for (char* t : text) {
        if (!case_sensitive(s)) StrToLower(t);
    }
    if (!copy_field(e.open, sizeof e.open, text[0]) || !copy_field(e.close, sizeof e.close, text[1]))
        return 0;
    e.flags = flags;
    e.column = column;
    e.token = token;
    bool matlab = s->language == LANG_MATLAB;
    if (flags & DELIM_REGION) {
        s->flags |= LANG_F_REGIONS;
        if (strncmp(e.open, "/*", 2) == 0 || strncmp(e.close, "*/", 2) == 0) e.flags |= DELIM_C_COMMENT;
        if (strcmp(e.open, e.close) == 0) {
            e.flags |= DELIM_EQUAL;
            s->flags |= LANG_F_EQUAL_REGION;
        }
        if (matlab) e.flags |= DELIM_MATLAB_REGION;
    } else {
        if (strncmp(e.open, "//", 2) == 0) s->flags |= LANG_F_SLASH_LINE;
        if (matlab) e.flags |= DELIM_MATLAB_SINGLE;
    }
    if (flags & DELIM_PAIR) s->flags |= LANG_F_ENTRY4;
    s->delimiters[n] = e;
    return 1;
}

const char* GetLanguageSpecDictionaryFile(int index) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    return s ? s->dictionary_file.c_str() : nullptr;
}

int SetLanguageSpecDictionaryFile(int index, const char* path) {
    CLanguageSpec* s = FindLanguageSpec(index);
    if (!s) return 0;
    s->dictionary_file = path ? path : "";
    return 1;
}

int HasLanguageSpecDictionaryFile(int index) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (!s) return -1;
    return s->dictionary_file.empty() ? 0 : 1;
}

int IsDictionaryFileKnown(const char* path) {
    if (!path || !path[0]) return 0;
    int count = g_count.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i) {
        const CLanguageSpec* s = FindLanguageSpec(i);
        if (s && StrEqualNoCase(s->dictionary_file.c_str(), path)) return 1;
    }
    return 0;
}

void FreeLanguageSpecs() {
    int count = g_count.exchange(0, std::memory_order_acq_rel);
    for (int i = 0; i < count; ++i) {
        CLanguageSpec* s = g_specs[i].exchange(nullptr, std::memory_order_acq_rel);
        if (!s) continue;
        if (s->code_templates && g_tree_deleter) g_tree_deleter(s->code_templates);
        delete s;
    }
}

LangTemplateTreeDeleter SetLanguageTemplateTreeDeleter(LangTemplateTreeDeleter fn) {
    LangTemplateTreeDeleter old = g_tree_deleter;
    g_tree_deleter = fn;
    return old;
}

// ---- Identifiers ------------------------------------------------------------

int LanguageWordLength(int index, const char* text) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (!s || !text) return 0;
    auto in_set = [](const char* set, char c, bool start) {
        if (!c) return false;
        if (set[0]) return strchr(set, c) != nullptr;
        unsigned char u = static_cast<unsigned char>(c);
        return u == '_' || std::isalpha(u) || (!start && std::isdigit(u));
    };
    if (!in_set(s->id_start, text[0], true)) return 0;
    int n = 1;
    while (in_set(s->id_follow, text[n], false)) ++n;
    return n;
}
