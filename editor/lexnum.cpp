// Number grammars of the colouring lexer, one reader for all language
// families: C-like suffixes, based numbers of Ada and VHDL, Verilog sized
// numbers, Assembler suffixes, radix numbers, ranges such as 1..5, Fortran's
// dotted operators after a number.
#include "editor/lexer_impl.h"

#include <cstring>

using namespace lexrules;

namespace {

enum Base { kDec = 0, kBin = 1, kOct = 2, kHex = 3, kReal = 4 };

bool ValidDigit(int c, int base) {
    c = Lower(c);
    switch (base) {
    case kBin: return c == '0' || c == '1';
    case kOct: return c >= '0' && c <= '7';
    case kHex: return IsHexDigit(c);
    default: return IsDigit(c);
    }
}

// The base named by the number's first digits ("16" in 16#FF# or 16rFF).
int BaseFromPrefix(const char* t, int from, int to) {
    int v = 0;
    for (int k = from; k < to && k < from + 6 && IsDigit(t[k]); ++k)
        v = v * 10 + (t[k] - '0');
    return v == 2 ? kBin : v == 8 ? kOct : v == 16 ? kHex : kDec;
}

} // namespace

int CLexer::Impl::ScanNumber(const CLexer& lx, int pos, int end, bool mark, int* out_end) {
    const char* t = lx.text_;
    const int pt = lx.ptype_;
    const bool c_like = pt == kC || pt == kJava || pt == kPerl || pt == kPhp;
    const bool ada_like = pt == kAda || pt == kVhdl;
    const bool e_list = pt == kSmalltalk || pt == kEiffel || pt == kRexx || pt == kPl1 ||
                        pt == kCicode || ada_like || pt == kVerilog || pt == kFortran ||
                        pt == kLimbo || pt == kMatlab || pt == kRuby;
    const bool ranges = pt == kProgress || pt == kPascal || ada_like || pt == kPerl || pt == kRuby;
    const bool dot_needs_digit = pt == kCobol || pt == kProgress || pt == kSmalltalk ||
                                 lx.rtype_ == kXBase || pt == kPascal || pt == kRuby;

    int base = kDec;
    bool bad = false, based = false, seen_dot = false;
    int i = pos;
    int verilog_base_end = -1;
    bool done = false;  // the end is fixed (Assembler suffix)

    const int c0 = static_cast<unsigned char>(t[i]);
    if (c0 == '.') {
        base = kReal;
        ++i;
    } else if (c0 == '$') {
        base = kHex;
        ++i;
    } else if (c0 == '\'' && pt == kVerilog) {
        int b = Lower(t[i + 1]);
        base = b == 'b' ? kBin : b == 'o' ? kOct : b == 'h' ? kHex : kDec;
        i += 2;
        verilog_base_end = i;
    } else if (c0 == '0' && (c_like || pt == kRuby)) {
        base = kOct;
        ++i;
    } else if (pt == kAsm) {
        // A suffix after the hex digits names the base: 0FFh, 17o, 101b.
        int j = i;
        while (j < end && IsHexDigit(t[j]))
            ++j;
        int s = j < end ? Lower(t[j]) : 0;
        int body_end = -1;
        if (s == 'h' || s == 'o') {
            base = s == 'h' ? kHex : kOct;
            body_end = j;
            i = j + 1;
        } else if (j > i && Lower(t[j - 1]) == 'b') {
            base = kBin;
            body_end = j - 1;
            i = j;
        }
        if (body_end >= 0) {
            for (int k = pos; k < body_end; ++k)
                if (!ValidDigit(t[k], base))
                    bad = true;
            done = true;
        }
    }

    int p = i > pos ? Lower(t[i - 1]) : 0;  // the character taken last
    for (; !done && i < end; p = Lower(t[i]), ++i) {
        const int ch = static_cast<unsigned char>(t[i]);
        const int c = Lower(ch);
        const int next = i + 1 < end ? static_cast<unsigned char>(t[i + 1]) : 0;
        const bool at_end_next = i + 1 >= end;

        if (IsDigit(c)) {
            if (p == 'l' || (p == 'u' && pt == kC))
                break;  // a digit after a suffix
            if ((base == kOct && c >= '8') || (base == kBin && c >= '2')) {
                bad = true;
                break;
            }
            continue;
        }
        if (pt == kVerilog) {
            if (c == '\'')
                break;
            if (c == 'z' || c == 'x' || c == '?') {
                if (i == verilog_base_end) {
                    ++i;
                    break;
                }
                bad = true;
                break;
            }
            if (base == kHex && c >= 'a' && c <= 'f')
                continue;
            if (c != '.' && c != 'e' && c != '-' && c != '_') {
                if (IsAsciiAlpha(c))
                    bad = true;
                break;
            }
        }
        // Digit separators of Verilog, Ada and VHDL; two in a row are wrong.
        if (c == '_' && (pt == kVerilog || ada_like)) {
            if (p == '_') {
                bad = true;
                break;
            }
            continue;
        }
        if (pt == kAsm && base == kHex && c >= 'a' && c <= 'f')
            continue;
        if (based && ada_like && c == '#') {
            ++i;  // the closing mark of a based number
            break;
        }
        if ((base == kBin || base == kHex) && ada_like) {
            if (base == kHex && c >= 'a' && c <= 'f')
                continue;
            if (c == '.') {
                if (seen_dot) {
                    bad = true;
                    break;
                }
                seen_dot = true;
                continue;
            }
            bad = true;
            break;
        }
        if (base == kBin || base == kHex) {
            if (pt == kRuby && c == '_' && ValidDigit(p, base) && ValidDigit(next, base))
                continue;
            if (base == kHex && c >= 'a' && c <= 'f' && p != 'l' && p != 'u')
                continue;
            if (c == 'l' || (c == 'u' && pt == kC))
                continue;
            break;
        }
        // Decimal, octal and real numbers.
        if (c == '.') {
            if (ranges && (next == '.' || p == '.'))
                continue;  // a range such as 1..5 stays one number
            bool goes;
            if (pt == kFortran)
                goes = IsDigit(next) || InList(next, "eEdD+- ") || at_end_next;
            else if (dot_needs_digit)
                goes = IsDigit(next);
            else
                goes = true;
            if (!goes)
                break;
            if (base == kReal)
                bad = true;
            base = kReal;
            continue;
        }
        if (pt == kPl1 && ch == 'B') {
            base = kBin;
            continue;
        }
        if (ada_like && c == '#' && !based) {
            const void* second = std::memchr(t + i + 1, '#', static_cast<size_t>(end - i - 1));
            if (second) {
                base = BaseFromPrefix(t, pos, i);
                based = true;
                continue;
            }
        }
        if ((pt == kLimbo || pt == kSmalltalk) && c == 'r' && base == kDec) {
            base = BaseFromPrefix(t, pos, i);
            continue;
        }
        // An exponent's sign goes on only right after its letter: in
        // "2.0-1.0" the minus is an operator.
        const bool exp_letter = p == 'e' || (pt == kFortran && p == 'd');
        if (e_list) {
            if (base == kReal) {
                if (c == 'e' || ((c == '-' || c == '+') && exp_letter))
                    continue;
                if (pt == kFortran && c == 'd')
                    continue;
                if (pt == kMatlab && (c == 'j' || c == 'i'))
                    continue;
                if (pt == kRuby && c == '_' && IsDigit(p) && IsDigit(next))
                    continue;
                break;
            }
            if (c == 'e' || (pt == kFortran && c == 'd') ||
                (pt == kMatlab && (c == 'j' || c == 'i'))) {
                base = kReal;
                continue;
            }
            if (pt == kRuby) {
                if (i == pos + 1 && t[pos] == '0' && (c == 'x' || c == 'b')) {
                    base = c == 'x' ? kHex : kBin;
                    continue;
                }
                if (c == '_' && IsDigit(p) && IsDigit(next))
                    continue;
            }
            break;
        }
        if (c_like) {
            if (base == kReal) {
                if (c == 'e' || c == 'f' || c == 'l' || c == 'd' ||
                    ((c == '-' || c == '+') && exp_letter))
                    continue;
            } else if (c == 'e' || c == 'f' || c == 'd') {
                base = kReal;
                continue;
            } else if (c == 'x' && i == pos + 1 && t[pos] == '0') {
                base = kHex;
                continue;
            }
            if (c == 'l' || (c == 'u' && pt == kC))
                continue;
            break;
        }
        break;
    }
    if (i > end)
        i = end;
    *out_end = i;

    if (pt == kMatlab && base == kDec)
        base = kReal;
    if (!lx.quote_strings_) {
        if (pt == kHtml && mark && base == kDec && !bad)
            return LEX_TOK_DECIMAL;
        return pt == kHtml && lx.depth_ > 0 ? LEX_TOK_OTHER : LEX_TOK_WORD;
    }
    const int stop = i < end ? static_cast<unsigned char>(t[i]) : 0;
    if (c_like || pt == kRuby) {
        if (stop && IsAlnum(static_cast<unsigned char>(stop)))
            bad = true;
        if (base == kOct && i == pos + 1)
            base = kDec;  // a lone 0
    } else if (stop && IsAlnum(static_cast<unsigned char>(stop)) && !ValidDigit(stop, base)) {
        const int s = Lower(stop);
        if (!(pt == kAsm && (s == 'h' || s == 'o' || s == 'b')))
            bad = true;
    }
    return bad ? LEX_TOK_MALFORMED : LEX_TOK_DECIMAL + base;
}
