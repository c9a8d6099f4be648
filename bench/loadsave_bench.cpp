// Opens a generated text file the way the editor does (lazily), and reports:
// the time until the first 1000 lines are in the buffer, the time to read
// the whole file, the time to save it (and whether the copy is the same
// bytes), the peak memory, and `wc -l` on the same file in the same run for
// comparison.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"

namespace {

double now_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

long peak_rss_kb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

bool generate(const std::string& path, uint64_t bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::string line;
    uint64_t written = 0;
    for (uint64_t n = 1; written < bytes; ++n) {
        line = "line " + std::to_string(n) + ": the quick brown fox jumps over the lazy dog";
        line.append(n % 7 * 5, '.');
        line += "\r\n";
        std::fwrite(line.data(), 1, line.size(), f);
        written += line.size();
    }
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv) {
    uint64_t bytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : (1ull << 30);
    std::string dir = argc > 2 ? argv[2] : "/tmp";
    std::string src = dir + "/qw_bench_loadsave.txt";
    std::string dst = dir + "/qw_bench_loadsave.out";
    std::string swap = dir + "/QW32_Swap.bench";
    std::printf("generating %llu bytes in %s\n", static_cast<unsigned long long>(bytes), src.c_str());
    if (!generate(src, bytes)) return 1;

    double t0 = now_ms();
    std::string cmd = "wc -l < '" + src + "'";
    FILE* p = popen(cmd.c_str(), "r");
    char wc_out[64] = "";
    if (p) {
        if (!std::fgets(wc_out, sizeof wc_out, p)) wc_out[0] = 0;
        pclose(p);
    }
    double wc_ms = now_ms() - t0;

    // The application's largest cache: 10,240,000 bytes.
    if (!vms_start(1000, 10240000, swap.c_str(), 0, 0)) return 1;
    VMB* b = vmb_open(VMB_T_FILE, src.c_str(), 0);
    t0 = now_ms();
    vmb_Stream_Open(b, src.c_str(), "r");
    vm_goto_line(b, 1); // the first view: up to 1000 lines more
    double first_ms = now_ms() - t0;
    int first_lines = vm_last_ln(b);

    t0 = now_ms();
    vm_read_lines(b, 0xFFFFFFFFu);
    double all_ms = now_ms() - t0;
    int lines = vm_last_ln(b);

    t0 = now_ms();
    uint32_t r = vmb_save(dst.c_str(), nullptr, nullptr, b, 1, 0, -1, -1,
                          VMB_SAVE_ALL | VMB_SAVE_NO_BACKUP | VMB_SAVE_FORCE);
    double save_ms = now_ms() - t0;
    vms_stop();
    bool same = false;
    if (FILE* a = std::fopen(src.c_str(), "rb")) {
        if (FILE* c = std::fopen(dst.c_str(), "rb")) {
            std::string x(1 << 16, '\0'), y(1 << 16, '\0');
            for (same = true; same;) {
                size_t n = std::fread(&x[0], 1, x.size(), a), m = std::fread(&y[0], 1, y.size(), c);
                same = n == m && x.compare(0, n, y, 0, m) == 0;
                if (n == 0) break;
            }
            std::fclose(c);
        }
        std::fclose(a);
    }

    std::printf("wc -l:            %.1f ms (%s lines)\n", wc_ms, wc_out[0] ? wc_out : "?\n");
    std::printf("first %d lines:  %.3f ms\n", first_lines, first_ms);
    std::printf("whole read:       %.1f ms, %d lines (%.2f x the time of wc -l)\n", all_ms, lines,
                wc_ms > 0 ? all_ms / wc_ms : 0.0);
    std::printf("save:             %.1f ms, result 0x%x, %s\n", save_ms, r,
                same ? "the same bytes" : "NOT the same bytes");
    std::printf("peak memory:      %.1f MB\n", peak_rss_kb() / 1024.0);
    std::remove(src.c_str());
    std::remove(dst.c_str());
    return r == 0 && same ? 0 : 1;
}
