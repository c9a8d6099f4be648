// Lexical-state scan over a 1,000,000-line C-like buffer: a full forward
// scan from line 1, and finding the state of a middle line after an edit
// near the top (by the backward search and by the forward scan).
#include "VmEngine/vmlex.h"
#include "tests/VmEngine/test_lex_lang.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr int kLines = 1000000;
constexpr int kMiddle = kLines / 2;

const char* const kPattern[] = {
    "int function_name(int argument, const char* text) {",
    "    // a line comment with a /* that opens nothing",
    "    const char* s = \"a string with /* inside\";",
    "    /* a block comment",
    "       that runs over",
    "       three lines */",
    "    return argument + 1; /* short */",
    "}",
    "",
    "\tx = y * z;",
};

struct Engine {
    VMB* buffer = nullptr;
    std::string swap;
    Engine() {
        char tmpl[] = "/tmp/bench_vmlex_XXXXXX";
        int fd = mkstemp(tmpl);
        if (fd >= 0)
            close(fd);
        swap = tmpl;
        if (!vms_start(100, 256u * 1024 * 1024, swap.c_str(), 0, 0)) {
            std::fprintf(stderr, "vms_start failed\n");
            return;
        }
        lextest::Install();
        buffer = vmb_open(VMB_T_TEMP, "bench", 0);
        const int n = int(sizeof kPattern / sizeof kPattern[0]);
        for (int i = 0; i < kLines; ++i) {
            const char* t = kPattern[i % n];
            vm_insert_line_nomod(buffer, i, t, int(std::strlen(t)));
        }
        lextest::SetBufferLanguage(buffer, lextest::kLangC);
    }
    ~Engine() {
        lextest::Uninstall();
        vms_stop();
        std::remove(swap.c_str());
    }
};

Engine& engine() {
    static Engine e;
    return e;
}

void BM_FullScan(benchmark::State& state) {
    VMB* b = engine().buffer;
    if (!b) {
        state.SkipWithError("no buffer");
        return;
    }
    for (auto _ : state) {
        vm_set_lex_line(b, 0);
        int sb = 0, used = 0;
        benchmark::DoNotOptimize(
            vm_scan_lex_state(b, kLines + 1, lextest::kLangC, &sb, &used, 0));
    }
    state.SetItemsProcessed(state.iterations() * kLines);
    state.SetLabel("items = lines scanned");
}

// Edit line 10, invalidate, then ask for the state of the middle line.
void EditThenAsk(benchmark::State& state, unsigned options) {
    VMB* b = engine().buffer;
    if (!b) {
        state.SkipWithError("no buffer");
        return;
    }
    vm_set_lex_line(b, 0);
    int sb = 0, used = 0;
    vm_scan_lex_state(b, kLines + 1, lextest::kLangC, &sb, &used, 0);
    const char* edits[] = {"int a; /* edited", "int a; // edited"};
    int k = 0;
    for (auto _ : state) {
        const char* t = edits[k++ & 1];
        vm_replace_line(b, 10, t, int(std::strlen(t)), 1);
        vm_lex_invalidate(b, 1, 10);
        benchmark::DoNotOptimize(
            vm_scan_lex_state(b, kMiddle, lextest::kLangC, &sb, &used, options));
    }
    state.SetItemsProcessed(state.iterations() * (kMiddle - 10));
    state.SetLabel("items = lines between the edit and the asked line");
}

void BM_EditThenMiddle_Backward(benchmark::State& state) {
    EditThenAsk(state, VMLEX_OPT_BACKWARD);
}
void BM_EditThenMiddle_Forward(benchmark::State& state) {
    EditThenAsk(state, 0);
}

// The backward search with nothing settled near the asked line: the states
// of the 600 lines above it are forgotten before each question (untimed).
void BM_MiddleBackwardCold(benchmark::State& state) {
    VMB* b = engine().buffer;
    if (!b) {
        state.SkipWithError("no buffer");
        return;
    }
    int sb = 0, used = 0;
    for (auto _ : state) {
        state.PauseTiming();
        vm_set_lex_line(b, 0);
        vm_line_flags_range(b, kMiddle - 600, kMiddle, VM_OP_CLEAR, VMLEX_LF_MASK, 0);
        state.ResumeTiming();
        benchmark::DoNotOptimize(
            vm_scan_lex_state(b, kMiddle, lextest::kLangC, &sb, &used, VMLEX_OPT_BACKWARD));
    }
    state.SetLabel("one question, at most 500 lines read backward");
}

BENCHMARK(BM_FullScan)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EditThenMiddle_Backward)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MiddleBackwardCold)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditThenMiddle_Forward)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
