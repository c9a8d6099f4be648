// Fuzz target: the message formatter. One input is an output size, a
// format and the arguments its directives take (numbers and texts). The
// output is compared with a model of the directives written here; with a
// smaller output array the result must be a prefix of the whole result,
// always terminated inside the array.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "opsys/format.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int kMaxArgs = 4;

struct Arg {
    bool text = false;
    unsigned number = 0;
    std::string str;
};

// The directives that take an argument, in order: 's' for a text, 'n' for
// a number; false when there are more than kMaxArgs.
bool ArgKinds(const std::string& f, std::string& kinds) {
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%') continue;
        ++i;
        if (i < f.size() && f[i] == '-') ++i;
        while (i < f.size() && f[i] >= '0' && f[i] <= '9') ++i;
        if (i >= f.size()) break;
        char c = f[i];
        if (c == 's') kinds += 's';
        else if (c == 'c' || c == 'd' || c == 'u' || c == 'x') kinds += 'n';
    }
    return kinds.size() <= kMaxArgs;
}

std::string Pad(const std::string& s, size_t width, bool left, bool zero) {
    if (s.size() >= width) return s;
    std::string fill(width - s.size(), zero ? '0' : ' ');
    if (left) return s + fill;
    if (zero && !s.empty() && s[0] == '-') return "-" + fill + s.substr(1);
    return fill + s;
}

// What the whole result must be, given room for everything.
std::string Model(const std::string& f, const std::vector<Arg>& args, const std::string& before,
                  unsigned* flags) {
    std::string out;
    size_t a = 0;
    *flags = 0;
    for (size_t i = 0; i < f.size();) {
        if (f[i] != '%') {
            out += f[i++];
            continue;
        }
        size_t start = i++;
        bool left = false, zero = false;
        size_t width = 0;
        if (i < f.size() && f[i] == '-') {
            left = true;
            ++i;
        }
        if (i < f.size() && f[i] == '0') zero = true;
        while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
            if (width < 100000) width = width * 10 + size_t(f[i] - '0');
            ++i;
        }
        if (left) zero = false;
        char c = i < f.size() ? f[i] : '\0';
        if (c) ++i;
        switch (c) {
        case 'c': out += Pad(std::string(1, char(args[a++].number)), width, left, false); break;
        case 'd': out += Pad(std::to_string(int(args[a++].number)), width, left, zero); break;
        case 'u': out += Pad(std::to_string(args[a++].number), width, left, zero); break;
        case 'x': {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%x", args[a++].number);
            out += Pad(hex, width, left, zero);
            break;
        }
        case 's': out += Pad(args[a++].str.substr(0, 1024), width, left, false); break;
        case 'j':
            *flags |= QW_FMT_JOIN;
            if (out.empty()) out = before;
            break;
        case 'a': *flags |= QW_FMT_BEEP_WARN; break;
        case 'b': *flags |= QW_FMT_BEEP; break;
        case 'h': *flags |= QW_FMT_STATUS_HOLD; break;
        case 'w': *flags |= QW_FMT_STATUS_FRESH; break;
        case 'n': case 'k': case 'e': break;
        case '%': out += '%'; break;
        default: out += f.substr(start, i - start); break;
        }
    }
    return out;
}

template <typename... A>
unsigned Call(char* out, size_t size, const char* f, const std::vector<Arg>& args, size_t i,
              A... a) {
    if constexpr (sizeof...(A) < kMaxArgs) {
        if (i < args.size()) {
            if (args[i].text) return Call(out, size, f, args, i + 1, a..., args[i].str.c_str());
            return Call(out, size, f, args, i + 1, a..., args[i].number);
        }
    }
    return format_strf(out, size, f, a...);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in{data, size};
    const size_t small = in.Byte();
    const std::string before = in.Text(16); // what %j continues after
    const std::string format = in.Text(200);
    std::string kinds;
    if (!ArgKinds(format, kinds)) return 0;
    std::vector<Arg> args;
    for (char k : kinds) {
        Arg a;
        a.text = k == 's';
        if (a.text) {
            a.str = in.Text(40);
        } else {
            for (int b = 0; b < 4; ++b) a.number = (a.number << 8) | in.Byte();
        }
        args.push_back(a);
    }
    unsigned want_flags = 0;
    std::string want = Model(format, args, before, &want_flags);
    const size_t whole = want.size() + before.size() + 1;
    // A %c of code 0 ends the text where it stands.
    want.resize(std::min(want.size(), want.find('\0')));
    for (size_t room : {whole, small}) {
        // Exactly the array the call is given, so a write past it is caught.
        std::vector<char> out(room ? room : 1, '\x7f');
        std::memcpy(out.data(), before.c_str(), std::min(out.size(), before.size() + 1));
        unsigned flags = Call(out.data(), room, format.c_str(), args, 0);
        if (room == 0) {
            FUZZ_CHECK(flags == 0 && out[0] == before.c_str()[0], "size 0 wrote something");
            continue;
        }
        size_t len = strnlen(out.data(), room);
        FUZZ_CHECK(len < room, "no terminator inside %zu bytes", room);
        const std::string got(out.data(), len);
        if (room == whole) {
            FUZZ_CHECK(got == want && flags == want_flags, "got '%s' flags %x, model '%s' flags %x",
                       got.c_str(), flags, want.c_str(), want_flags);
        } else {
            FUZZ_CHECK(want.compare(0, len, got) == 0, "'%s' is no prefix of '%s'", got.c_str(),
                       want.c_str());
        }
    }
    return 0;
}
