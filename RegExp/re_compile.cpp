// The pattern compiler: a recursive parser (one call per group level) that
// appends nodes to a doubly linked program, wraps repetitions and
// alternations around what it has built, and finishes the program with an
// accept node and its flat form for the matchers.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "RegExp/re_internal.h"

namespace re {
namespace {

struct Parser {
    Lexer lx;
    int flags = 0;
    RE_NODE* first = nullptr;
    RE_NODE* last = nullptr;
    int groups = 0;
    int sel = -1;
    bool has_alt = false;
};

RE_NODE* NewNode(uint16_t kind) {
    RE_NODE* n = new (std::nothrow) RE_NODE;
    if (!n) return nullptr;
    n->kind = kind;
    n->prev = n->next = nullptr;
    n->arg.link = nullptr;
    n->flat = nullptr;
    return n;
}

bool IsClassNode(const RE_NODE* n) { return n->kind == RE_K_SET || n->kind == RE_K_NSET; }
bool IsBracket(const RE_NODE* n) { return (n->kind & RE_K_BRACKET) != 0; }
bool IsOpen(const RE_NODE* n) { return IsBracket(n) && (n->kind & RE_K_OPEN); }
bool IsClose(const RE_NODE* n) { return IsBracket(n) && (n->kind & RE_K_CLOSE); }
bool IsCharElement(const RE_NODE* n) {
    return !(n->kind & (RE_K_BRACKET | RE_K_CHOICE)) && n->kind >= RE_K_ANY &&
           n->kind <= RE_K_NEWLINE;
}

void FreeNodes(RE_NODE* n) {
    while (n) {
        RE_NODE* next = n->next;
        if (IsClassNode(n)) delete[] n->arg.set;
        if (n->flat) FreeFlat(n->flat);
        delete n;
        n = next;
    }
}

RE_NODE* Append(Parser& p, uint16_t kind) {
    RE_NODE* n = NewNode(kind);
    if (!n) return nullptr;
    n->prev = p.last;
    if (p.last) p.last->next = n;
    else p.first = n;
    p.last = n;
    return n;
}

void InsertBefore(Parser& p, RE_NODE* at, RE_NODE* n) {
    n->next = at;
    n->prev = at->prev;
    if (at->prev) at->prev->next = n;
    else p.first = n;
    at->prev = n;
}

// The unmatched opening bracket before `from` (inclusive), counting brackets.
RE_NODE* FindOpen(RE_NODE* from) {
    int depth = 0;
    for (RE_NODE* n = from; n; n = n->prev) {
        if (IsClose(n)) ++depth;
        else if (IsOpen(n)) {
            if (depth == 0) return n;
            --depth;
        }
    }
    return nullptr;
}

// Whether the group between `open` and `close` can match without consuming
// a character: a walk over the zero-width paths from its first inner node.
bool GroupCanBeEmpty(RE_NODE* open, RE_NODE* close) {
    std::vector<RE_NODE*> todo{open->next};
    std::vector<RE_NODE*> seen;
    while (!todo.empty()) {
        RE_NODE* n = todo.back();
        todo.pop_back();
        if (!n) continue;
        if (n == close) return true;
        bool dup = false;
        for (RE_NODE* s : seen) dup = dup || s == n;
        if (dup) continue;
        seen.push_back(n);
        if (n->kind & RE_K_CHOICE) {
            todo.push_back(n->next);
            todo.push_back(n->arg.link);
        } else if (n->kind == RE_K_JUMP || n->kind == RE_K_EXIT) {
            if (n->arg.link) todo.push_back(n->arg.link);
        } else if (IsCharElement(n) || n->kind == RE_K_ACCEPT) {
            // consumes a character (or ends the program)
        } else {
            todo.push_back(n->next);
        }
    }
    return false;
}

int ParseClass(Parser& p, RE_NODE** out) {
    unsigned char set[32] = {0};
    auto add = [&](int c) { set[c >> 3] |= static_cast<unsigned char>(1u << (c & 7)); };
    auto add_if = [&](bool (*pred)(int)) {
        for (int c = 0; c < 256; ++c)
            if (pred(c)) add(c);
    };
    bool negated = p.lx.Next(RF_IN, TK_CLS_NEG).type == TK_CLS_NEG;
    bool range_open = false;
    int range_start = 0;
    for (;;) {
        Token t = p.lx.Next(RF_IN, 0);
        int c = -1;
        switch (t.type) {
        case TK_CLS_CLOSE: {
            if (range_open) return RE_E_SET_RANGE_END;
            RE_NODE* n = NewNode(negated ? RE_K_NSET : RE_K_SET);
            unsigned char* copy = new (std::nothrow) unsigned char[32];
            if (!n || !copy) {
                delete n;
                delete[] copy;
                return RE_E_MEMORY;
            }
            memcpy(copy, set, 32);
            n->arg.set = copy;
            *out = n;
            return 0;
        }
        case TK_ELEM:
            if (range_open) return RE_E_SET_RANGE;
            switch (t.value) {
            case RE_K_BLANK: add(' '); add('\t'); break;
            case RE_K_NBLANK: add_if([](int x) { return x != ' ' && x != '\t'; }); break;
            case RE_K_UPPER: add_if([](int x) { return x >= 'A' && x <= 'Z'; }); break;
            case RE_K_LOWER: add_if([](int x) { return x >= 'a' && x <= 'z'; }); break;
            case RE_K_DIGIT: add_if([](int x) { return x >= '0' && x <= '9'; }); break;
            case RE_K_NDIGIT: add_if([](int x) { return !(x >= '0' && x <= '9'); }); break;
            case RE_K_ALPHA: add_if([](int x) { return IsWordChar(x) && x != '_' && !(x >= '0' && x <= '9'); }); break;
            case RE_K_NALPHA: add_if([](int x) { return !(IsWordChar(x) && x != '_' && !(x >= '0' && x <= '9')); }); break;
            case RE_K_ALNUM: add_if([](int x) { return IsWordChar(x) && x != '_'; }); break;
            case RE_K_NALNUM: add_if([](int x) { return !(IsWordChar(x) && x != '_'); }); break;
            }
            continue;
        case TK_LIT: c = t.value; break;
        case TK_CESC: c = t.value; break;
        case TK_DEC: case TK_OCT: case TK_HEX:
            c = ReadNumericEscape(p.lx, t.type);
            if (c < 0) return -c;
            break;
        case TK_ESC: {
            Token r = p.lx.Raw();
            if (r.type == TK_END) return RE_E_SET_END;
            if (r.type == TK_CTRL) return RE_E_ESCAPE_END;
            c = r.value;
            break;
        }
        case TK_CTRL: return RE_E_CONTROL;
        case TK_END: return RE_E_SET_END;
        default: return RE_E_SYNTAX;
        }
        if (range_open) {
            if (c < range_start) return RE_E_SET_RANGE;
            for (int x = range_start; x <= c; ++x) add(x);
            range_open = false;
        } else if (p.lx.Next(RF_IN, TK_RANGE).type == TK_RANGE) {
            range_open = true;
            range_start = c;
        } else {
            add(c);
        }
    }
}

int Repeat(Parser& p, int op) {
    if (!p.last) return RE_E_SYNTAX;
    RE_NODE* e_first = p.last;
    bool group = IsClose(p.last);
    if (group) e_first = FindOpen(p.last->prev);
    if (!e_first) return RE_E_SYNTAX;
    if (op != TK_OPT) {
        bool ok = false;
        for (RE_NODE* n = e_first;; n = n->next) {
            ok = ok || IsCharElement(n);
            if (n == p.last) break;
        }
        if (!ok) return RE_E_REPEAT;
        // A loop around a group that can match nothing would never move on.
        if (group && GroupCanBeEmpty(e_first, p.last)) return RE_E_EMPTY_GROUP;
    }
    uint16_t choice;
    switch (op) {
    case TK_OPT: choice = RE_K_CHOICE | RE_K_GREEDY | RE_C_OPT; break;
    case TK_STAR: choice = RE_K_CHOICE | RE_K_GREEDY | RE_C_STAR; break;
    case TK_MINSTAR: choice = RE_K_CHOICE | RE_C_MINSTAR; break;
    case TK_PLUS: choice = RE_K_CHOICE | RE_K_GREEDY | RE_C_PLUS; break;
    default: choice = RE_K_CHOICE | RE_C_MINPLUS; break;
    }
    RE_NODE* c = NewNode(choice);
    if (!c) return RE_E_MEMORY;
    if (op == TK_PLUS || op == TK_MINPLUS) {
        RE_NODE* j0 = NewNode(RE_K_JUMP);
        if (!j0) {
            delete c;
            return RE_E_MEMORY;
        }
        j0->arg.link = e_first;
        InsertBefore(p, e_first, j0);
    }
    InsertBefore(p, e_first, c);
    if (op != TK_OPT) {
        RE_NODE* j = Append(p, RE_K_JUMP);
        if (!j) return RE_E_MEMORY;
        j->arg.link = c;
    }
    RE_NODE* end = Append(p, RE_K_NOP);
    if (!end) return RE_E_MEMORY;
    if (op == TK_OPT) end->arg.link = c;
    c->arg.link = end;
    return 0;
}

int ParseLevel(Parser& p, RE_NODE* open);

int ParseBracketGroup(Parser& p, bool tagged) {
    int number = 0;
    if (tagged) {
        number = ++p.groups;
        if (number >= 10) return RE_E_TOO_MANY_TAGS;
    }
    uint16_t kind = RE_K_BRACKET | RE_K_OPEN | (tagged ? RE_K_TAGGED | number : 0);
    RE_NODE* open = Append(p, kind);
    if (!open) return RE_E_MEMORY;
    int err = ParseLevel(p, open);
    if (err) return err;
    uint16_t want = RE_K_BRACKET | RE_K_CLOSE | (tagged ? RE_K_TAGGED : 0);
    if (p.last == open || (p.last->kind & 0xFF00) != want) return RE_E_NO_CLOSE;
    if (tagged) p.last->kind = static_cast<uint16_t>(want | number);
    return 0;
}

int CloseGroup(Parser& p, bool tagged) {
    RE_NODE* open = p.last ? FindOpen(p.last) : nullptr;
    if (!open) return RE_E_NO_OPEN;
    RE_NODE* close = Append(p, RE_K_BRACKET | RE_K_CLOSE | (tagged ? RE_K_TAGGED : 0));
    if (!close) return RE_E_MEMORY;
    int depth = 0;
    for (RE_NODE* n = open->next; n != close; n = n->next) {
        if (IsOpen(n)) ++depth;
        else if (IsClose(n)) --depth;
        else if (depth == 0 && n->kind == RE_K_EXIT && !n->arg.link) n->arg.link = close;
    }
    return 0;
}

int ParseLevel(Parser& p, RE_NODE* open) {
    RE_NODE* alt_end = nullptr; // end marker of this level's last `|`
    // Each alternative numbers its tagged groups from where this level
    // began, so that a group inside an alternative never shares a number
    // with the group around it or with one before it; after the level the
    // numbering goes on past the most any alternative used.
    const int base = p.groups;
    int most = p.groups;
    for (;;) {
        Token t = p.lx.Next(RF_OUT, 0);
        uint16_t kind = 0xFFFF;
        int ch = -1;
        switch (t.type) {
        case TK_END:
            p.groups = std::max(p.groups, most);
            return 0;
        case TK_BOL: kind = RE_K_BOL; break;
        case TK_EOL: kind = RE_K_EOL; break;
        case TK_BOW: kind = RE_K_BOW; break;
        case TK_EOW: kind = RE_K_EOW; break;
        case TK_CASE_ON: kind = RE_K_CASE; break;
        case TK_CASE_OFF: kind = RE_K_NOCASE; break;
        case TK_NOT: kind = RE_K_NOT; break;
        case TK_ANY: kind = RE_K_ANY; break;
        case TK_ELEM: kind = static_cast<uint16_t>(t.value); break;
        case TK_NEWLINE: kind = RE_K_NEWLINE; break;
        case TK_LIT: ch = t.value; break;
        case TK_CESC: ch = t.value; break;
        case TK_DEC: case TK_OCT: case TK_HEX:
            ch = ReadNumericEscape(p.lx, t.type);
            if (ch < 0) return -ch;
            break;
        case TK_ESC: {
            Token r = p.lx.Raw();
            if (r.type != TK_LIT) return RE_E_ESCAPE_END;
            ch = r.value;
            break;
        }
        case TK_CTRL: return RE_E_CONTROL;
        case TK_SEL:
            if (p.sel != -1) return RE_E_TWO_SELECTIONS;
            p.sel = t.value;
            kind = static_cast<uint16_t>(RE_K_SELECT + t.value);
            break;
        case TK_CLS_OPEN: {
            RE_NODE* n = nullptr;
            int err = ParseClass(p, &n);
            if (err) return err;
            n->prev = p.last;
            if (p.last) p.last->next = n;
            else p.first = n;
            p.last = n;
            continue;
        }
        case TK_OPT: case TK_STAR: case TK_PLUS: case TK_MINSTAR: case TK_MINPLUS: {
            int err = Repeat(p, t.type);
            if (err) return err;
            continue;
        }
        case TK_OR: {
            if (!p.first) return RE_E_OR_FIRST;
            if (p.lx.AtEnd()) return RE_E_OR_EMPTY;
            RE_NODE* start = alt_end ? alt_end->next : open ? open->next : p.first;
            if (!start) return RE_E_OR_EMPTY;
            RE_NODE* c = NewNode(RE_K_CHOICE | RE_K_GREEDY | RE_C_ALT);
            if (!c) return RE_E_MEMORY;
            InsertBefore(p, start, c);
            if (!Append(p, RE_K_EXIT)) return RE_E_MEMORY;
            RE_NODE* end = Append(p, RE_K_NOP);
            if (!end) return RE_E_MEMORY;
            c->arg.link = end;
            alt_end = end;
            most = std::max(most, p.groups);
            p.groups = base;
            p.sel = -1;
            p.has_alt = true;
            continue;
        }
        case TK_GOPEN: case TK_TOPEN: {
            int err = ParseBracketGroup(p, t.type == TK_TOPEN);
            if (err) return err;
            continue;
        }
        case TK_GCLOSE: case TK_TCLOSE: {
            int err = CloseGroup(p, t.type == TK_TCLOSE);
            if (err) return err;
            if (!open) return RE_E_NO_OPEN;
            p.groups = std::max(p.groups, most);
            return 0;
        }
        default: return RE_E_SYNTAX;
        }
        RE_NODE* n = Append(p, ch >= 0 ? RE_K_CHAR : kind);
        if (!n) return RE_E_MEMORY;
        if (ch >= 0) n->arg.ch = ch;
    }
}

const char* const kErrorTexts[] = {
    nullptr,
    "No Find string specified.",
    "Out of memory compiling this expression.",
    "Invalid Regular Expression.\rNo closing parenthesis.",
    "Invalid Regular Expression.\nNo open parenthesis.",
    "A \\N decimal character value is invalid.\nIt must be 3 decimal digits.",
    "A \\o octal character value is invalid.\nIt must be 3 octal digits.",
    "A \\x hexadecimal character value is invalid.\nIt must be 2 hexadecimal digits.",
    "Character value is invalid. eg. \\N000 and \\N010 (0 & LF) are invalid.",
    "The RE preceeding the repetition is invalid.",
    "A regular expression cannot end with the escape character '\\'.",
    "Set End ] encountered while processing set range. eg. [a-]",
    "Set End ] is missing. eg. [a-z",
    "Set range is invalid. eg. [d-a] should be [a-d]",
    "Too many tagged expressions. ie. ()'s",
    "The Tag specifier \\0-9 does not have an associated tagged expression.",
    "Only one tag specifier \\0-9 can be used in a regular expression.",
    "No matching tagged text for the Replace Pattern.",
    "No text before OR operator.",
    "No text following OR operator.",
    "This group needs to match on at least one character.",
    "Invalid character in RE. eg. \\1 in C/QW C program instead of \\\\1",
};

const char kSyntaxText[] = "Syntax error in Regular Expression.";

} // namespace
} // namespace re

using namespace re;

const char RE_TooComplexText[] =
    "The regular expression is too complex to match here: %s\rThe search was stopped; "
    "nothing else is affected.";

const char* RE_ErrorText(int code) {
    if (code >= 1 && code <= 21) return kErrorTexts[code];
    if (code == RE_E_SYNTAX) return kSyntaxText;
    return nullptr;
}

const char* RE_StringText(unsigned id) {
    if (id > RE_IDS_ERROR_BASE && id <= RE_IDS_ERROR_BASE + 21)
        return kErrorTexts[id - RE_IDS_ERROR_BASE];
    switch (id) {
    case RE_IDS_ERROR_BASE + 30u: return kSyntaxText;
    case RE_IDS_SYNTAX: return kSyntaxText;
    case RE_IDS_INVALID: return "Invalid Regular Expression. Error: %d";
    case RE_IDS_TAG_IN_FIND:
        return "A Tag specifier \\1-9 does'nt have an associated\ntagged expression in the "
               "Find string.";
    case RE_IDS_REPLACE_SYNTAX: return "Syntax error in replace pattern.";
    case RE_IDS_REPLACE_INVALID: return "Invalid Replace pattern. Error: %d";
    }
    return nullptr;
}

RE_NODE* RE_Compile(const char* pattern, int flags, int dialect, int* error) {
    int dummy;
    if (!error) error = &dummy;
    *error = 0;
    if (!pattern || !*pattern) {
        *error = RE_E_EMPTY;
        return nullptr;
    }
    Parser p;
    p.flags = flags;
    p.lx.pos = pattern;
    p.lx.table = DialectTable(dialect);
    int err = 0;
    if (flags & RE_F_PLAIN) {
        for (const char* s = pattern; *s && !err; ++s) {
            RE_NODE* n = Append(p, RE_K_CHAR);
            if (!n) err = RE_E_MEMORY;
            else n->arg.ch = static_cast<unsigned char>(*s);
        }
    } else {
        err = ParseLevel(p, nullptr);
        if (!err && !p.has_alt && p.sel > p.groups) err = RE_E_NO_TAG;
    }
    if (!err && (flags & RE_F_CHECK)) {
        FreeNodes(p.first);
        return reinterpret_cast<RE_NODE*>(static_cast<uintptr_t>(p.has_alt ? 10 : p.groups));
    }
    if (!err && (flags & RE_F_CASE)) {
        RE_NODE* c = NewNode(RE_K_CASE);
        if (!c) err = RE_E_MEMORY;
        else if (p.first) InsertBefore(p, p.first, c);
        else {
            p.first = p.last = c;
        }
    }
    if (!err && !Append(p, RE_K_ACCEPT)) err = RE_E_MEMORY;
    if (!err) {
        p.first->flat = BuildFlat(p.first);
        if (!p.first->flat) err = RE_E_MEMORY;
    }
    if (err) {
        FreeNodes(p.first);
        *error = err;
        return nullptr;
    }
    return p.first;
}

int RE_CheckGroups(const char* pattern, int flags, int dialect, int* error) {
    return static_cast<int>(
        reinterpret_cast<uintptr_t>(RE_Compile(pattern, flags | RE_F_CHECK, dialect, error)));
}

void RegexFree(RE_NODE* program) { FreeNodes(program); }
