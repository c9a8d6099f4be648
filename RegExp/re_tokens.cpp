// Token tables of the pattern dialects and of replacement templates, and
// the tokenizer that reads them. Rows are tried in table order and the first
// row whose whole text stands at the input wins, so a row must come before
// any shorter row that is its prefix; the lone escape `\` is always last.
#include <cstring>

#include "RegExp/re_internal.h"

namespace re {
namespace {

constexpr unsigned O = RF_OUT;
constexpr unsigned I = RF_IN;
constexpr unsigned A = RF_ASKED;
constexpr unsigned M = RF_OUT | RF_MACRO;

// Macro texts; always read with the native table.
constexpr const char kCtrl[] = "[\\x00-\\x1F]";
constexpr const char kNotCtrl[] = "[^\\x00-\\x1F]";
constexpr const char kHex[] = "[0-9a-fA-F]";
constexpr const char kNotHex[] = "[^0-9a-fA-F]";
constexpr const char kHexRun[] = "[0-9a-fA-F]+";
constexpr const char kInt[] = ":d+";
constexpr const char kQuoted[] = "(\".@\")|('.@')";
constexpr const char kWord[] = ":a+";
constexpr const char kNumber[] = "((:d+\\.:d*)|(\\.:d+)|(:d+))([Ee](\\+|-)?:d+)*";
constexpr const char kIdent[] = "(^|[^A-Za-z0-9_$@#]){[A-Za-z_$][A-Za-z0-9_$]*}\\1";
constexpr const char kFileQuoted[] =
    "\"(:a:)?[^\\x00-\\x1f\"|<>]+\\.?[^\\x00-\\x1f\"|<>]*\"";
constexpr const char kFileSpaced[] = "(:a:)?[^\\x00-\\x1f\"|<>]+\\.?[^\\x00-\\x1f\"|<>]*";
constexpr const char kFileName[] = "(:a:)?[^\\x00-\\x20\"|<>]+\\.?[^\\x00-\\x20\"|<>]*";
constexpr const char kAnyRun[] = ".*";
constexpr const char kDevIdent[] = "([A-Za-z_$][A-Za-z0-9_$]*)";

#define RE_SELECTION_ROWS                                                               \
    {"\\0", TK_SEL, 0, O, nullptr}, {"\\1", TK_SEL, 1, O, nullptr},                     \
        {"\\2", TK_SEL, 2, O, nullptr}, {"\\3", TK_SEL, 3, O, nullptr},                 \
        {"\\4", TK_SEL, 4, O, nullptr}, {"\\5", TK_SEL, 5, O, nullptr},                 \
        {"\\6", TK_SEL, 6, O, nullptr}, {"\\7", TK_SEL, 7, O, nullptr},                 \
        {"\\8", TK_SEL, 8, O, nullptr}, { "\\9", TK_SEL, 9, O, nullptr }

#define RE_COLON_CLASS_ROWS                                                             \
    {": ", TK_ELEM, RE_K_BLANK, 0, nullptr}, {":s", TK_ELEM, RE_K_BLANK, 0, nullptr},   \
        {":S", TK_ELEM, RE_K_NBLANK, 0, nullptr}, {":a", TK_ELEM, RE_K_ALPHA, 0, nullptr}, \
        {":A", TK_ELEM, RE_K_NALPHA, 0, nullptr}, {":n", TK_ELEM, RE_K_ALNUM, 0, nullptr}, \
        {":N", TK_ELEM, RE_K_NALNUM, 0, nullptr}, {":d", TK_ELEM, RE_K_DIGIT, 0, nullptr}, \
        {":D", TK_ELEM, RE_K_NDIGIT, 0, nullptr}, {":U", TK_ELEM, RE_K_UPPER, 0, nullptr}, \
        {":L", TK_ELEM, RE_K_LOWER, 0, nullptr}, {":C", TK_CASE_ON, 0, O, nullptr},     \
    {                                                                                   \
        ":c", TK_CASE_OFF, 0, O, nullptr                                                \
    }

#define RE_CODE_ROWS                                                                    \
    {"\\N", TK_DEC, 0, 0, nullptr}, {"\\o", TK_OCT, 0, 0, nullptr},                     \
    {                                                                                   \
        "\\x", TK_HEX, 0, 0, nullptr                                                    \
    }

// Control escapes after \a (which dialect 5 lacks).
#define RE_CONTROL_ROWS_AFTER_BELL                                                      \
    {"\\b", TK_CESC, 8, 0, nullptr}, {"\\e", TK_CESC, 27, 0, nullptr},                  \
        {"\\f", TK_CESC, 12, 0, nullptr}, {"\\n", TK_NEWLINE, 0, O, nullptr},           \
        {"\\r", TK_CESC, 13, 0, nullptr}, {"\\t", TK_CESC, 9, 0, nullptr},              \
    {                                                                                   \
        "\\v", TK_CESC, 11, 0, nullptr                                                  \
    }

#define RE_GROUP_ROWS                                                                   \
    {"(", TK_GOPEN, 0, O, nullptr}, {")", TK_GCLOSE, 0, O, nullptr},                    \
        {"{", TK_TOPEN, 0, O, nullptr}, {"}", TK_TCLOSE, 0, O, nullptr},                \
        {"<", TK_BOW, 0, O, nullptr}, {                                                 \
        ">", TK_EOW, 0, O, nullptr                                                      \
    }

// The anchors, class brackets and operators the native, original and POSIX
// dialects share; they differ only in the characters of these five.
#define RE_OPERATOR_ROWS(ANY, CLS_NEG, OPT, STAR, MINSTAR)                              \
    {"^", TK_BOL, 0, O, nullptr}, {"$", TK_EOL, 0, O, nullptr},                         \
        {ANY, TK_ANY, 0, O, nullptr}, {"~", TK_NOT, 0, O, nullptr},                     \
        {"[", TK_CLS_OPEN, 0, O, nullptr}, {"]", TK_CLS_CLOSE, 0, I, nullptr},          \
        {CLS_NEG, TK_CLS_NEG, 0, I | A, nullptr}, {"-", TK_RANGE, 0, I | A, nullptr},   \
        {"|", TK_OR, 0, O, nullptr}, {OPT, TK_OPT, 0, O, nullptr},                      \
        {STAR, TK_STAR, 0, O, nullptr}, {"+", TK_PLUS, 0, O, nullptr},                  \
        {MINSTAR, TK_MINSTAR, 0, O, nullptr}, {                                         \
        "#", TK_MINPLUS, 0, O, nullptr                                                  \
    }

// Macros shared by the native table and dialect 4 after its `*` macro, and
// (but for the hexadecimal-class rows, HEX and NOT_HEX) by dialect 5.
#define RE_MACRO_ROWS(HEX, NOT_HEX)                                                     \
    {"\\:c", TK_MACRO, 0, M, kCtrl}, {"\\:C", TK_MACRO, 0, M, kNotCtrl},                \
        {HEX, TK_MACRO, 0, M, kHex}, {NOT_HEX, TK_MACRO, 0, M, kNotHex},                \
        {"\\:h", TK_MACRO, 0, M, kHexRun}, {"\\:i", TK_MACRO, 0, M, kInt},              \
        {"\\:q", TK_MACRO, 0, M, kQuoted}, {"\\:w", TK_MACRO, 0, M, kWord},             \
        {"\\:n", TK_MACRO, 0, M, kNumber}, {"\\:kc", TK_MACRO, 0, M, kIdent},           \
        {"\\:fq", TK_MACRO, 0, M, kFileQuoted}, {"\\:fs", TK_MACRO, 0, M, kFileSpaced}, \
    {                                                                                   \
        "\\:fn", TK_MACRO, 0, M, kFileName                                              \
    }

const ReRow kNative[] = {
    RE_OPERATOR_ROWS(".", "^", "?", "*", "@"),
    RE_GROUP_ROWS,
    RE_COLON_CLASS_ROWS,
    RE_CODE_ROWS,
    {"\\a", TK_CESC, 7, 0, nullptr},
    RE_CONTROL_ROWS_AFTER_BELL,
    RE_SELECTION_ROWS,
    RE_MACRO_ROWS(":h", ":H"),
    {"\\", TK_ESC, 0, 0, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

const ReRow kOriginal[] = {
    RE_OPERATOR_ROWS("?", "!", "-", "@", "%"),
    RE_GROUP_ROWS,
    RE_COLON_CLASS_ROWS,
    RE_CODE_ROWS,
    {"\\a", TK_CESC, 7, 0, nullptr},
    RE_CONTROL_ROWS_AFTER_BELL,
    RE_SELECTION_ROWS,
    {"*", TK_MACRO, 0, M, kAnyRun},
    RE_MACRO_ROWS(":h", ":H"),
    {"\\", TK_ESC, 0, 0, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

const ReRow kPosix[] = {
    RE_OPERATOR_ROWS(".", "^", "?", "*", "@"),
    RE_GROUP_ROWS,
    {"\\s", TK_ELEM, RE_K_BLANK, 0, nullptr},
    {"\\S", TK_ELEM, RE_K_NBLANK, 0, nullptr},
    {"\\a", TK_ELEM, RE_K_ALPHA, 0, nullptr},
    {"\\A", TK_ELEM, RE_K_NALPHA, 0, nullptr},
    {"\\w", TK_ELEM, RE_K_ALNUM, 0, nullptr},
    {"\\W", TK_ELEM, RE_K_NALNUM, 0, nullptr},
    {"\\d", TK_ELEM, RE_K_DIGIT, 0, nullptr},
    {"\\D", TK_ELEM, RE_K_NDIGIT, 0, nullptr},
    {"\\U", TK_ELEM, RE_K_UPPER, 0, nullptr},
    {"\\L", TK_ELEM, RE_K_LOWER, 0, nullptr},
    {"\\C", TK_CASE_ON, 0, O, nullptr},
    {"\\c", TK_CASE_OFF, 0, O, nullptr},
    RE_CODE_ROWS,
    RE_CONTROL_ROWS_AFTER_BELL,
    RE_SELECTION_ROWS,
    RE_MACRO_ROWS("\\h", "\\H"),
    {"\\", TK_ESC, 0, 0, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

const ReRow kDevStudio[] = {
    {"^", TK_BOL, 0, O, nullptr},
    {"$", TK_EOL, 0, O, nullptr},
    {".", TK_ANY, 0, O, nullptr},
    {"[", TK_CLS_OPEN, 0, O, nullptr},
    {"]", TK_CLS_CLOSE, 0, I, nullptr},
    {"^", TK_CLS_NEG, 0, I | A, nullptr},
    {"-", TK_RANGE, 0, I | A, nullptr},
    {"?", TK_OPT, 0, O, nullptr},
    {"*", TK_STAR, 0, O, nullptr},
    {"+", TK_PLUS, 0, O, nullptr},
    {"@", TK_MINSTAR, 0, O, nullptr},
    {"#", TK_MINPLUS, 0, O, nullptr},
    {"<", TK_BOW, 0, O, nullptr},
    {">", TK_EOW, 0, O, nullptr},
    {"\\~", TK_NOT, 0, O, nullptr},
    {"\\!", TK_OR, 0, O, nullptr},
    {"\\{", TK_GOPEN, 0, O, nullptr},
    {"\\}", TK_GCLOSE, 0, O, nullptr},
    {"\\(", TK_TOPEN, 0, O, nullptr},
    {"\\)", TK_TCLOSE, 0, O, nullptr},
    {"\\:b", TK_ELEM, RE_K_BLANK, 0, nullptr},
    {"\\:B", TK_ELEM, RE_K_NBLANK, 0, nullptr},
    {"\\:c", TK_ELEM, RE_K_ALPHA, 0, nullptr},
    {"\\:C", TK_ELEM, RE_K_NALPHA, 0, nullptr},
    {"\\:a", TK_ELEM, RE_K_ALNUM, 0, nullptr},
    {"\\:A", TK_ELEM, RE_K_NALNUM, 0, nullptr},
    {"\\:d", TK_ELEM, RE_K_DIGIT, 0, nullptr},
    {"\\:D", TK_ELEM, RE_K_NDIGIT, 0, nullptr},
    {"\\U", TK_ELEM, RE_K_UPPER, 0, nullptr},
    {"\\L", TK_ELEM, RE_K_LOWER, 0, nullptr},
    {"\\C", TK_CASE_ON, 0, O, nullptr},
    {"\\c", TK_CASE_OFF, 0, O, nullptr},
    RE_CODE_ROWS,
    {"\\a", TK_CESC, 7, 0, nullptr},
    RE_CONTROL_ROWS_AFTER_BELL,
    RE_SELECTION_ROWS,
    {"\\:t", TK_MACRO, 0, M, kCtrl},
    {"\\:T", TK_MACRO, 0, M, kNotCtrl},
    {"\\:x", TK_MACRO, 0, M, kHex},
    {"\\:X", TK_MACRO, 0, M, kNotHex},
    {"\\:z", TK_MACRO, 0, M, kInt},
    {"\\:i", TK_MACRO, 0, M, kDevIdent},
    {"\\:h", TK_MACRO, 0, M, kHexRun},
    {"\\:q", TK_MACRO, 0, M, kQuoted},
    {"\\:w", TK_MACRO, 0, M, kWord},
    {"\\:n", TK_MACRO, 0, M, kNumber},
    {"\\:kc", TK_MACRO, 0, M, kIdent},
    {"\\:fq", TK_MACRO, 0, M, kFileQuoted},
    {"\\:fs", TK_MACRO, 0, M, kFileSpaced},
    {"\\:fn", TK_MACRO, 0, M, kFileName},
    {"\\", TK_ESC, 0, 0, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

const ReRow kTemplate[] = {
    {"\\U", TK_T_UPPER, 0, 0, nullptr},
    {"\\u", TK_T_UPPER1, 0, 0, nullptr},
    {"\\L", TK_T_LOWER, 0, 0, nullptr},
    {"\\l", TK_T_LOWER1, 0, 0, nullptr},
    {"\\e", TK_T_CASE_END, 0, 0, nullptr},
    {"\\E", TK_T_CASE_END, 0, 0, nullptr},
    {"\\0", TK_T_GROUP, 0, 0, nullptr},
    {"\\1", TK_T_GROUP, 1, 0, nullptr},
    {"\\2", TK_T_GROUP, 2, 0, nullptr},
    {"\\3", TK_T_GROUP, 3, 0, nullptr},
    {"\\4", TK_T_GROUP, 4, 0, nullptr},
    {"\\5", TK_T_GROUP, 5, 0, nullptr},
    {"\\6", TK_T_GROUP, 6, 0, nullptr},
    {"\\7", TK_T_GROUP, 7, 0, nullptr},
    {"\\8", TK_T_GROUP, 8, 0, nullptr},
    {"\\9", TK_T_GROUP, 9, 0, nullptr},
    {"\\d", TK_DEC, 0, 0, nullptr},
    {"\\o", TK_OCT, 0, 0, nullptr},
    {"\\x", TK_HEX, 0, 0, nullptr},
    {"\\r", TK_CESC, 13, 0, nullptr},
    {"\\n", TK_NEWLINE, 0, 0, nullptr},
    {"\\b", TK_CESC, 8, 0, nullptr},
    {"\\a", TK_CESC, 7, 0, nullptr},
    {"\\t", TK_CESC, 9, 0, nullptr},
    {"\\f", TK_CESC, 12, 0, nullptr},
    {"\\", TK_ESC, 0, 0, nullptr},
    {"$d", TK_T_DATE, 0, 0, nullptr},
    {"$t", TK_T_TIME, 0, 0, nullptr},
    {"$T", TK_T_TIME24, 0, 0, nullptr},
    {"$i", TK_T_INITIALS, 0, 0, nullptr},
    {"$nu", TK_T_USER, 0, 0, nullptr},
    {"$nc", TK_T_COMPANY, 0, 0, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

bool StartsWith(const char* s, const char* prefix) {
    while (*prefix) {
        if (*s++ != *prefix++) return false;
    }
    return true;
}

} // namespace

const ReRow* NativeTable() { return kNative; }

const ReRow* DialectTable(int dialect) {
    switch (dialect) {
    case RE_DIALECT_ORIGINAL: return kOriginal;
    case RE_DIALECT_POSIX: return kPosix;
    case RE_DIALECT_DEVSTUDIO: return kDevStudio;
    case RE_DIALECT_TEMPLATE: return kTemplate;
    default: return kNative;
    }
}

bool Lexer::AtEnd() {
    if (macro && *macro) return false;
    return !pos || !*pos;
}

Token Lexer::Next(unsigned context, int want) {
    for (;;) {
        if (macro && !*macro) macro = nullptr;
        const char*& src = macro ? macro : pos;
        if (!src || !*src) return {want ? TK_NONE : TK_END, 0};
        const ReRow* row = macro ? kNative : table;
        bool restarted = false;
        for (; row->text; ++row) {
            if ((row->flags & (RF_OUT | RF_IN)) && !(row->flags & context)) continue;
            if (!StartsWith(src, row->text)) continue;
            if (want) {
                if (row->meaning != want) continue;
                src += strlen(row->text);
                return {row->meaning, row->value};
            }
            if (row->flags & RF_MACRO) {
                if (macro) continue; // macro texts hold no macros
                src += strlen(row->text);
                macro = row->macro;
                restarted = true;
                break;
            }
            if ((row->flags & RF_ASKED) && (context & RF_IN)) {
                unsigned char c = static_cast<unsigned char>(*src++);
                return {TK_LIT, c};
            }
            src += strlen(row->text);
            return {row->meaning, row->value};
        }
        if (restarted) continue;
        if (want) return {TK_NONE, 0};
        unsigned char c = static_cast<unsigned char>(*src++);
        return {IsCtrl(c) ? TK_CTRL : TK_LIT, c};
    }
}

Token Lexer::Raw() {
    if (macro && !*macro) macro = nullptr;
    const char*& src = macro ? macro : pos;
    if (!src || !*src) return {TK_END, 0};
    unsigned char c = static_cast<unsigned char>(*src++);
    return {IsCtrl(c) ? TK_CTRL : TK_LIT, c};
}

int ReadNumericEscape(Lexer& lx, int type) {
    int digits = type == TK_HEX ? 2 : 3;
    int err = type == TK_DEC ? RE_E_DECIMAL : type == TK_OCT ? RE_E_OCTAL : RE_E_HEX;
    int value = 0;
    for (int i = 0; i < digits; ++i) {
        Token t = lx.Raw();
        if (t.type != TK_LIT) return -err;
        int c = t.value, d;
        if (type == TK_DEC) {
            if (c < '0' || c > '9') return -err;
            d = c - '0';
            value = value * 10 + d;
        } else if (type == TK_OCT) {
            if (c < '0' || c > '7') return -err;
            value = value * 8 + (c - '0');
        } else {
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else return -err;
            value = value * 16 + d;
        }
    }
    return value % 256;
}

} // namespace re
