// A buffer of 1,000,000 lines of 40-80 bytes: random positioning, a
// sequential read of every line, single-character inserts at random places.
// Reports bytes of pages per line of text as a counter.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include "VmEngine/pagecache.h"
#include "VmEngine/vm.h"
#include "VmEngine/vmcore.h"

namespace {

constexpr int kLines = 1000000;

struct Fixture {
    VMB* b = nullptr;
    std::string swap;
    Fixture() {
        swap = (std::filesystem::temp_directory_path() / "QW32_Swap.bench").string();
        vms_start(1000, 10240000, swap.c_str(), 0, 0);
        b = vmb_open(VMB_T_TEMP, "bench", 0);
        std::mt19937 rng(1);
        std::uniform_int_distribution<int> len(40, 80);
        std::string t;
        for (int i = 0; i < kLines; ++i) {
            t.assign(size_t(len(rng)), char('a' + i % 26));
            vm_insert_line_nomod(b, i, t.data(), int(t.size()));
        }
    }
    ~Fixture() { vms_stop(); }
};

Fixture& Buffer() {
    static Fixture f;
    return f;
}

// Data and directory pages of the buffer, in bytes, per line.
double BytesPerLine(VMB* b) {
    VmGuard g;
    uint32_t pages = 0;
    for (uint32_t d = b->dir_first; d;) {
        uint8_t* p = pc_find_page(d, 0);
        pages += 1 + vmi::rd16(p + 12);
        d = vmi::rd32(p + 8);
    }
    return double(pages) * 4096.0 / double(b->line_count);
}

void BM_GotoLineRandom(benchmark::State& state) {
    VMB* b = Buffer().b;
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> line(1, kLines);
    for (auto _ : state)
        benchmark::DoNotOptimize(vm_goto_line(b, line(rng)));
    state.counters["bytes_per_line"] = BytesPerLine(b);
}
BENCHMARK(BM_GotoLineRandom);

void BM_ReadEveryLine(benchmark::State& state) {
    VMB* b = Buffer().b;
    char buf[4097];
    for (auto _ : state) {
        int n = vm_last_ln(b);
        for (int i = 1; i <= n; ++i)
            benchmark::DoNotOptimize(vm_read_text(b, i, 0, buf, 4096, nullptr));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * vm_last_ln(b));
}
BENCHMARK(BM_ReadEveryLine)->Unit(benchmark::kMillisecond);

void BM_InsertCharRandom(benchmark::State& state) {
    VMB* b = Buffer().b;
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> line(1, kLines);
    for (auto _ : state) {
        int l = line(rng);
        benchmark::DoNotOptimize(vm_insert_text(b, l, int(rng() % 40), "x", 1));
    }
    state.counters["bytes_per_line"] = BytesPerLine(b);
}
BENCHMARK(BM_InsertCharRandom);

} // namespace

BENCHMARK_MAIN();
