// Replacement templates: expansion into a buffer at its current position
// (through the buffer's character insertion, which applies the case bits),
// validation against a pattern, and expansion into a heap string.
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "RegExp/re_internal.h"
#include "VmEngine/vm.h"
#ifdef _WIN32
#include "opsys/systime.h"
#endif

namespace re {
namespace {

RegexUserTextFn g_user_text = nullptr;

constexpr uint32_t kCaseBits =
    VM_ST_UPPER | VM_ST_LOWER | VM_ST_UPPER_ONCE | VM_ST_LOWER_ONCE;
constexpr size_t kMaxDateFormat = 259;
constexpr size_t kDateResult = 200; // including the terminator

// Only conversions every C runtime knows: the Windows one ends the program
// on an unknown conversion, so a user's format is checked before it is used.
bool ValidDateFormat(const std::string& fmt) {
    static const char kConversions[] = "aAbBcdHIjmMpSUwWxXyYZ%";
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%') continue;
        if (++i < fmt.size() && fmt[i] == '#') ++i;
        if (i >= fmt.size() || !strchr(kConversions, fmt[i])) return false;
    }
    return true;
}

std::string FormatNow(const char* fmt) {
    time_t now = time(nullptr);
    struct tm tmv;
#ifdef _WIN32
    struct tm* lt = localtime(&now);
    if (!lt) return std::string();
    tmv = *lt;
#else
    if (!localtime_r(&now, &tmv)) return std::string();
#endif
    char out[kDateResult];
    size_t n = strftime(out, sizeof out, fmt, &tmv);
    return std::string(out, n);
}

std::string NowText(int kind) {
#ifdef _WIN32
    char out[kDateResult] = "";
    if (kind == TK_T_DATE) DateFormatLocale(out, sizeof out, 1);
    else if (kind == TK_T_TIME) TimeFormatLocale(out, sizeof out, 0);
    else TimeFormatLocale(out, sizeof out, 0x8 /*24-hour*/ | 0x2 /*no AM/PM*/);
    return out;
#else
    // The host build has no user locale settings; the C locale's forms.
    if (kind == TK_T_DATE) return FormatNow("%x");
    if (kind == TK_T_TIME) return FormatNow("%X");
    return FormatNow("%H:%M:%S");
#endif
}

std::string UserText(int which) {
    const char* s = g_user_text ? g_user_text(which) : nullptr;
    return s ? s : "";
}

// After `$d`: a double-quoted format directly following, up to the closing
// quote or the end of the template. 0, or an error code.
int ReadDateFormat(Lexer& lx, std::string& fmt, bool& has) {
    has = false;
    if (lx.macro || !lx.pos || *lx.pos != '"') return 0;
    const char* p = lx.pos + 1;
    const char* q = strchr(p, '"');
    size_t len = q ? size_t(q - p) : strlen(p);
    if (len > kMaxDateFormat) return RE_E_SYNTAX;
    fmt.assign(p, len);
    lx.pos = q ? q + 1 : p + len;
    has = true;
    return ValidDateFormat(fmt) ? 0 : RE_E_SYNTAX;
}

std::string DateText(const std::string& fmt, bool has) {
    return has ? FormatNow(fmt.c_str()) : NowText(TK_T_DATE);
}

// Text of a range of lines, line breaks as '\n'.
std::string ReadRange(VMB* src, const RE_MATCH_REC& r) {
    std::string out;
    if (!vmb_in_use(src)) return out;
    for (int ln = r.start_line; ln <= r.end_line; ++ln) {
        int len = vm_line_length(src, ln);
        if (len < 0) break;
        int from = ln == r.start_line ? r.start_col : 0;
        int to = ln == r.end_line ? r.end_col : len;
        if (from < 0) from = 0;
        if (to > len) to = len;
        if (to > from) {
            std::string piece(size_t(to - from) + 1, '\0');
            int n = vm_read_text(src, ln, from, &piece[0], to - from, nullptr);
            if (n > 0) out.append(piece.data(), size_t(n));
        }
        if (ln < r.end_line) out.push_back('\n');
    }
    return out;
}

struct Writer {
    VMB* buffer;
    bool validate;
    int error = 0;
    void Put(int c) {
        if (validate) return;
        if (vm_put_char(buffer, c) <= 0) error = RE_E_MEMORY;
    }
    void Break() {
        if (validate) return;
        if (vm_split_line(buffer, 1) <= 0) error = RE_E_MEMORY;
    }
    void Text(const std::string& s) {
        for (char c : s) {
            if (c == '\n') Break();
            else Put(static_cast<unsigned char>(c));
            if (error) return;
        }
    }
    void Case(uint32_t set, uint32_t clear) {
        if (validate) return;
        if (clear) vm_state_flags(buffer, VM_OP_CLEAR, clear);
        if (set) vm_state_flags(buffer, VM_OP_SET, set);
    }
};

} // namespace
} // namespace re

using namespace re;

RegexUserTextFn RegexSetUserTextSource(RegexUserTextFn fn) {
    RegexUserTextFn old = g_user_text;
    g_user_text = fn;
    return old;
}

int RegexExpandReplacement(RE_TEMPLATE* state, VMB* source, const RE_MATCH* match,
                           VMB* buffer) {
    if (!state || !state->text) return 0;
    const bool validate = state->validate != 0;
    if (!validate && !vmb_in_use(buffer)) return RE_E_MEMORY;

    // Group texts are read before anything is written, so that writing into
    // the buffer the match lies in cannot move them.
    std::string groups[10];
    if (!validate && match) {
        bool used[10] = {false};
        Lexer scan;
        scan.pos = state->text;
        scan.table = DialectTable(RE_DIALECT_TEMPLATE);
        for (Token t = scan.Next(RF_OUT, 0); t.type != TK_END; t = scan.Next(RF_OUT, 0))
            if (t.type == TK_T_GROUP) used[t.value] = true;
        // Reading moves a buffer's current position; the writing starts
        // where the caller left it.
        int col = 0;
        int line = vm_get_position(buffer, &col);
        for (int g = 0; g < 10; ++g) {
            const RE_MATCH_REC& r = match->rec[g];
            if (used[g] && r.start_line >= 0 && r.end_line >= 0) groups[g] = ReadRange(source, r);
        }
        if (line > 0) vm_set_position(buffer, line, col);
    }

    Writer w{buffer, validate};
    w.Case(0, kCaseBits);
    Lexer lx;
    lx.pos = state->text;
    lx.table = DialectTable(RE_DIALECT_TEMPLATE);
    int err = 0;
    while (!err) {
        Token t = lx.Next(RF_OUT, 0);
        if (t.type == TK_END) break;
        switch (t.type) {
        case TK_T_UPPER: w.Case(VM_ST_UPPER, VM_ST_LOWER); break;
        case TK_T_LOWER: w.Case(VM_ST_LOWER, VM_ST_UPPER); break;
        case TK_T_UPPER1: w.Case(VM_ST_UPPER_ONCE, VM_ST_LOWER_ONCE); break;
        case TK_T_LOWER1: w.Case(VM_ST_LOWER_ONCE, VM_ST_UPPER_ONCE); break;
        case TK_T_CASE_END: w.Case(0, VM_ST_UPPER | VM_ST_LOWER); break;
        case TK_T_GROUP:
            if (validate) {
                if (t.value > state->group_count) err = RE_E_NO_TAG;
                break;
            }
            if (!match || match->rec[t.value].end_line < 0) err = RE_E_NO_TAG_TEXT;
            else if (match->rec[t.value].start_line >= 0) w.Text(groups[t.value]);
            break;
        case TK_DEC: case TK_OCT: case TK_HEX: {
            int v = ReadNumericEscape(lx, t.type);
            if (v < 0) err = -v;
            else if (v == 0 || v == 10) err = RE_E_CHAR_VALUE;
            else w.Put(v);
            break;
        }
        case TK_CESC: w.Put(t.value); break;
        case TK_NEWLINE: w.Break(); break;
        case TK_ESC: {
            Token r = lx.Raw();
            if (r.type != TK_LIT) err = RE_E_ESCAPE_END;
            else w.Put(r.value);
            break;
        }
        case TK_LIT: w.Put(t.value); break;
        case TK_CTRL: err = RE_E_CONTROL; break;
        case TK_T_DATE: {
            std::string fmt;
            bool has = false;
            err = ReadDateFormat(lx, fmt, has);
            if (!err && !validate) w.Text(DateText(fmt, has));
            break;
        }
        case TK_T_TIME: case TK_T_TIME24:
            if (!validate) w.Text(NowText(t.type));
            break;
        case TK_T_INITIALS: w.Text(UserText('i')); break;
        case TK_T_USER: w.Text(UserText('u')); break;
        case TK_T_COMPANY: w.Text(UserText('c')); break;
        default: err = RE_E_SYNTAX; break;
        }
        if (!err) err = w.error;
    }
    w.Case(0, kCaseBits);
    return err;
}

int RegexCheckReplacement(const char* pattern, const char* replacement, int dialect) {
    int err = 0;
    int count = RE_CheckGroups(pattern, 0, dialect, &err);
    RE_TEMPLATE state{replacement, 1, count};
    return RegexExpandReplacement(&state, nullptr, nullptr, nullptr);
}

int RegexInsertReplacement(const char* replacement, int flags, VMB* source,
                           const RE_MATCH* match, VMB* buffer) {
    if (!vmb_in_use(buffer)) return RE_E_MEMORY;
    if (vm_cur_line(buffer) == 0) {
        if (vm_last_ln(buffer) == 0 && !vm_insert_empty_line(buffer, 0)) return RE_E_MEMORY;
        vm_set_position(buffer, 1, 0);
    }
    vm_user_value(buffer, 3);
    if (flags & 0x1) {
        vm_state_flags(buffer, VM_OP_CLEAR, kCaseBits);
        int err = 0;
        for (const char* s = replacement ? replacement : ""; *s; ++s)
            if (vm_put_char(buffer, static_cast<unsigned char>(*s)) <= 0) err = RE_E_MEMORY;
        return err;
    }
    RE_TEMPLATE state{replacement, 0, 10};
    return RegexExpandReplacement(&state, source, match, buffer);
}

int RegexExpandToString(const char* replacement, const char* text, const int* groups,
                        char** out, int* out_length) {
    if (out) *out = nullptr;
    if (out_length) *out_length = 0;
    if (!out) return RE_E_MEMORY;
    std::string result;
    int whole_case = 0;  // 'U', 'L' or 0
    int next_case = 0;   // 'u', 'l' or 0
    auto piece = [&](std::string s) {
        if (s.empty()) return;
        for (char& c : s) {
            if (whole_case == 'U') c = static_cast<char>(Upper(static_cast<unsigned char>(c)));
            else if (whole_case == 'L') c = static_cast<char>(Lower(static_cast<unsigned char>(c)));
        }
        if (next_case == 'u') s[0] = static_cast<char>(Upper(static_cast<unsigned char>(s[0])));
        else if (next_case == 'l') s[0] = static_cast<char>(Lower(static_cast<unsigned char>(s[0])));
        next_case = 0;
        result += s;
    };
    Lexer lx;
    lx.pos = replacement ? replacement : "";
    lx.table = DialectTable(RE_DIALECT_TEMPLATE);
    int err = 0;
    try {
        while (!err) {
            Token t = lx.Next(RF_OUT, 0);
            if (t.type == TK_END) break;
            switch (t.type) {
            case TK_T_UPPER: whole_case = 'U'; break;
            case TK_T_LOWER: whole_case = 'L'; break;
            case TK_T_UPPER1: next_case = 'u'; break;
            case TK_T_LOWER1: next_case = 'l'; break;
            case TK_T_CASE_END: whole_case = 0; break;
            case TK_T_GROUP: {
                int g = t.value;
                if (text && groups && groups[g] >= 0 && groups[10 + g] >= groups[g])
                    piece(std::string(text + groups[g], size_t(groups[10 + g] - groups[g])));
                break;
            }
            case TK_DEC: case TK_OCT: case TK_HEX: {
                int v = ReadNumericEscape(lx, t.type);
                if (v < 0) err = -v;
                else if (v == 0 || v == 10) err = RE_E_CHAR_VALUE;
                else piece(std::string(1, static_cast<char>(v)));
                break;
            }
            case TK_CESC: piece(std::string(1, static_cast<char>(t.value))); break;
            case TK_LIT: piece(std::string(1, static_cast<char>(t.value))); break;
            case TK_CTRL: err = RE_E_CONTROL; break;
            default: err = RE_E_SYNTAX; break; // \n, `\` with a character, `$` directives
            }
        }
    } catch (...) {
        err = RE_E_MEMORY;
    }
    if (err) return err;
    char* s = static_cast<char*>(malloc(result.size() + 1));
    if (!s) return RE_E_MEMORY;
    memcpy(s, result.data(), result.size());
    s[result.size()] = '\0';
    *out = s;
    if (out_length) *out_length = static_cast<int>(result.size());
    return 0;
}
