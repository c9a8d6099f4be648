// Editing engine: typing 100,000 characters at random places of a
// 1,000,000-line buffer, then undoing them step by step (time per step).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "VmEngine/vm.h"
#include "VmEngine/vmundo.h"
#include "editor/editops.h"

static void BM_TypeThenUndo(benchmark::State& state) {
    std::string swap = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                       "/qw_edit_bench.swp";
    for (auto _ : state) {
        state.PauseTiming();
        vms_start(200, 64u << 20, swap.c_str(), 0, 0);
        VMB* b = vmb_open(VMB_T_TEMP, "bench", 0);
        const int lines = 1000000;
        for (int i = 0; i < lines; ++i) vm_insert_line(b, i, "int value = compute(a, b) + 42;", -1);
        vm_state_flags(b, VM_OP_SET, VM_ST_FULLY_READ);
        CQWMarkTable marks;
        EditCore e;
        e.buffer = b;
        e.marks = &marks;
        std::mt19937 rng(7);
        const int chars = int(state.range(0));
        state.ResumeTiming();
        for (int i = 0; i < chars; ++i) {
            if (i % 8 == 0) EditSetCaret(e, 1 + int(rng() % lines), int(rng() % 30));
            EditTypeKey(e, "abc def "[i % 8]);
        }
        while (EditUndo(e)) {
        }
        state.PauseTiming();
        vms_stop();
        std::remove(swap.c_str());
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TypeThenUndo)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_MAIN();
