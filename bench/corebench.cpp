// One engine operation per process, for whole-process timing beside the
// usual command-line tools (scripts/bench-core.sh runs both and compares):
//   qw_corebench gen FILE BYTES            a file of 40-120-byte lines
//   qw_corebench search FILE PATTERN       lines of a lazily loaded buffer that
//                                          hold a match (RegexSearchLines)
//   qw_corebench match FILE PATTERN        the same over the mapped file
//                                          (RegexMatchRange)
//   qw_corebench read FILE                 open and read to the end
//   qw_corebench save FILE OUT             read, save unchanged
//   qw_corebench sort FILE OUT             read, sort every line, save
//   qw_corebench head FILE N               open, write the first N lines
// Patterns are case-sensitive. The engine runs with the application's
// largest page cache (10,240,000 bytes); the swap file goes beside OUT, or
// beside FILE for the operations without one.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "RegExp/regexp.h"
#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"
#include "VmEngine/vmlex.h"

namespace {

constexpr uint32_t kCacheBytes = 10240000;

int usage() {
    std::fprintf(stderr, "usage: qw_corebench gen|search|match|read|save|sort|head ...\n");
    return 2;
}

// Deterministic lines of words, 40-120 bytes each, LF line ends.
int generate(const char* path, unsigned long long bytes) {
    static const char* const words[] = {
        "the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog", "alpha", "beta",
        "gamma", "delta", "kernel", "buffer", "window", "thread", "return", "static", "value",
        "index", "common", "lorem", "ipsum", "dolor", "sit", "amet", "while", "struct", "token",
        "stream", "record", "page", "cache", "swap", "editor", "sorting", "number", "letter",
        "Sherlock", "Holmes", "Watson", "Moriarty", "Baker", "Street", "London", "England",
        "question", "answer", "because", "between"};
    const unsigned nwords = sizeof words / sizeof words[0];
    FILE* f = std::fopen(path, "wb");
    if (!f) return 1;
    std::string line;
    unsigned long long written = 0;
    uint64_t x = 88172645463325252ull;
    auto rnd = [&x]() {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return x;
    };
    while (written < bytes) {
        size_t want = 40 + rnd() % 81;
        line.clear();
        while (line.size() < want) {
            if (!line.empty()) line += ' ';
            line += words[rnd() % nwords];
        }
        line.resize(want);
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), f);
        written += line.size();
    }
    return std::fclose(f) == 0 ? 0 : 1;
}

std::string swap_path(const char* near) {
    std::string dir = near ? near : "/tmp/x";
    size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
    return dir + "/QW32_Swap.core" + std::to_string(getpid());
}

VMB* open_file(const char* path) {
    VMB* b = vmb_open(VMB_T_FILE, path, 0);
    if (!b || !vmb_Stream_Open(b, path, "r")) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return nullptr;
    }
    return b;
}

RE_NODE* compile(const char* pattern) {
    int err = 0;
    RE_NODE* p = RE_Compile(pattern, RE_F_CASE, RE_DIALECT_NATIVE, &err);
    if (!p) std::fprintf(stderr, "pattern error %d\n", err);
    return p;
}

int search_lines(const char* path, const char* pattern) {
    RE_NODE* p = compile(pattern);
    VMB* b = p ? open_file(path) : nullptr;
    if (!b) return 1;
    long count = 0;
    int line = 1;
    RE_MATCH m;
    while (vm_map_line(b, line)) {
        int r = RegexSearchLines(b, 1, 0, RE_LINE_TO_END, RE_LINE_TO_END, line, 0, 1, p, RE_S_CASE,
                                 &m, nullptr);
        if (r != 1) break;
        ++count;
        line = m.rec[0].start_line + 1;
    }
    std::printf("%ld\n", count);
    RegexFree(p);
    return 0;
}

int match_mapped(const char* path, const char* pattern) {
    RE_NODE* p = compile(pattern);
    int fd = p ? open(path, O_RDONLY) : -1;
    struct stat st{};
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_size <= 0 || st.st_size > 0x7FFFFFFF) return 1;
    const int len = int(st.st_size);
    void* map = mmap(nullptr, size_t(len), PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED) return 1;
    madvise(map, size_t(len), MADV_SEQUENTIAL);
    const char* text = static_cast<const char*>(map);
    long count = 0;
    int groups[RE_RANGE_GROUPS];
    for (int s = 0; s < len && RegexMatchRange(p, text, len, s, groups, RE_S_CASE);) {
        ++count;
        // Lines, not matches: go on at the next line.
        const void* nl = std::memchr(text + groups[0], '\n', size_t(len - groups[0]));
        if (!nl) break;
        s = int(static_cast<const char*>(nl) - text) + 1;
    }
    std::printf("%ld\n", count);
    munmap(map, size_t(len));
    close(fd);
    RegexFree(p);
    return 0;
}

int save_to(VMB* b, const char* out) {
    uint32_t r = vmb_save(out, nullptr, nullptr, b, 1, 0, -1, -1, VMB_SAVE_ALL | VMB_SAVE_NO_BACKUP);
    if (r & VMB_SR_FAILURES) std::fprintf(stderr, "save failed: 0x%x\n", r);
    return (r & VMB_SR_FAILURES) ? 1 : 0;
}

int head(const char* path, int n) {
    VMB* b = open_file(path);
    if (!b || !vm_goto_line(b, 1)) return 1;
    std::string text;
    for (int i = 1; i <= n && vm_map_line(b, i); ++i) {
        int len = vm_line_length(b, i);
        size_t at = text.size();
        text.resize(at + size_t(len) + 1);
        vm_read_text(b, i, 0, &text[at], len, nullptr);
        text[at + size_t(len)] = '\n';
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    std::string cmd = argv[1];
    if (cmd == "gen") return argc > 3 ? generate(argv[2], std::strtoull(argv[3], nullptr, 10)) : usage();
    // Beside OUT where there is one, else beside FILE (never where the
    // pattern or a count would name a folder: the current one).
    const bool has_out = (cmd == "save" || cmd == "sort") && argc > 3;
    std::string swap = swap_path(has_out ? argv[3] : argv[2]);
    if (!vms_start(1000, kCacheBytes, swap.c_str(), 0, 0)) return 1;
    int rc = 1;
    if (cmd == "search" && argc > 3) {
        rc = search_lines(argv[2], argv[3]);
    } else if (cmd == "match" && argc > 3) {
        rc = match_mapped(argv[2], argv[3]);
    } else if (cmd == "head" && argc > 3) {
        rc = head(argv[2], std::atoi(argv[3]));
    } else if (VMB* b = open_file(argv[2])) {
        vm_read_lines(b, 0xFFFFFFFFu);
        if (cmd == "read") {
            std::printf("%d\n", vm_last_ln(b));
            rc = 0;
        } else if (cmd == "save" && argc > 3) {
            rc = save_to(b, argv[3]);
        } else if (cmd == "sort" && argc > 3) {
            rc = vm_sort_all(b, 0) ? save_to(b, argv[3]) : 1;
        } else {
            rc = usage();
        }
    }
    vms_stop();
    return rc;
}
