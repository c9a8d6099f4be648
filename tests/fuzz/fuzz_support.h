#pragma once
// Shared by the fuzz targets: a private temporary folder, whole-file helpers,
// a started buffer engine, and the check that turns a wrong result into a
// crash libFuzzer records (with the input that caused it).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "opsys/msgout.h"
#include "VmEngine/vm.h"

#define FUZZ_CHECK(cond, ...)                                                          \
    do {                                                                               \
        if (!(cond)) {                                                                 \
            std::fprintf(stderr, "FUZZ_CHECK failed at %s:%d: %s\n", __FILE__, __LINE__, \
                         #cond);                                                       \
            std::fprintf(stderr, __VA_ARGS__);                                         \
            std::fputc('\n', stderr);                                                  \
            std::abort();                                                              \
        }                                                                              \
    } while (0)

namespace fuzz {

// A folder of this process's own under $TMPDIR, made once (removed at a
// normal exit; the fuzz script empties its $TMPDIR before each run).
inline const std::string& Folder() {
    static const std::string dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/qwfuzz.XXXXXX";
        if (!mkdtemp(tmpl.data())) std::abort();
        std::string d = tmpl + "/";
        static std::string remove = d;
        std::atexit([] { std::system(("rm -rf '" + remove + "'").c_str()); });
        return d;
    }();
    return dir;
}

inline std::string File(const char* name) { return Folder() + name; }

inline void WriteFile(const std::string& path, std::string_view bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
}

inline bool ReadFile(const std::string& path, std::string& out) {
    out.clear();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return true;
}

// Message boxes are counted, never shown; the debug log goes to the
// private folder.
inline int& BoxCount() {
    static int n = 0;
    return n;
}
inline void QuietMessages() {
    static bool done = [] {
        QwSetHostMessageBox([](const char*, const char*, unsigned) {
            ++BoxCount();
            return 1;
        });
        DebugLogSetPath(File("qw_dbg.log").c_str());
        return true;
    }();
    (void)done;
}

// Starts the buffer engine once, with a swap file in the private folder and
// a small cache, so that larger inputs reach the swap file too.
inline void StartEngine() {
    static bool started = [] {
        if (!vms_start(100, 0, File("swap.0a1").c_str(), 0, 0)) return false;
        std::atexit(vms_stop); // the leak check at exit sees only real leaks
        return true;
    }();
    if (!started) std::abort();
}

// The text of a buffer line ("" when it cannot be read).
inline std::string Line(VMB* b, int line) {
    int len = vm_line_length(b, line);
    if (len < 0) return std::string();
    std::string s(size_t(len) + 1, '\0');
    int n = vm_read_text(b, line, 0, s.data(), len, nullptr);
    s.resize(n < 0 ? 0 : size_t(n));
    return s;
}

// Reads input bytes front to back; past the end everything is zero.
struct Reader {
    const uint8_t* p;
    size_t n;
    uint8_t Byte() {
        if (!n) return 0;
        --n;
        return *p++;
    }
    // Up to the next NUL (taken off), or the rest; at most `max` bytes.
    std::string Text(size_t max) {
        std::string s;
        while (n && *p && s.size() < max) s += static_cast<char>(Byte());
        if (n && *p == 0) Byte();
        return s;
    }
    std::string Rest(size_t max) {
        size_t k = n < max ? n : max;
        std::string s(reinterpret_cast<const char*>(p), k);
        p += k;
        n -= k;
        return s;
    }
};

} // namespace fuzz

namespace fuzz {

// The lines a file loads as: LF ends a line, CR LF ends a line, a CR at the
// end of the file ends the last line, any other CR is text; a break at the
// very end of the file makes no extra empty line. `offsets` holds where
// each line begins in the file, and one more entry: where what follows the
// last line begins (the end of the file, or a lone CR before it).
struct LoadedLines {
    std::vector<std::string> lines;
    std::vector<size_t> offsets;
    bool final_break = true;
};

inline LoadedLines LoadModel(std::string_view bytes) {
    LoadedLines m;
    size_t i = 0;
    for (;;) {
        m.offsets.push_back(i);
        std::string line;
        bool ended = false;
        while (i < bytes.size()) {
            char c = bytes[i++];
            if (c == '\n') {
                ended = true;
                break;
            }
            if (c == '\r' && (i == bytes.size() || bytes[i] == '\n')) {
                if (i < bytes.size()) {
                    ++i;
                    ended = true;
                }
                break;
            }
            line += c;
        }
        if (!ended) {
            // The end of the file: an empty last line is no line, and what
            // follows the lines (a lone CR at most) begins where it does.
            m.final_break = line.empty();
            if (!line.empty()) {
                m.lines.push_back(line);
                m.offsets.push_back(bytes.size());
            }
            break;
        }
        m.lines.push_back(line);
    }
    return m;
}

} // namespace fuzz
