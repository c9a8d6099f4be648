// The macro-program machine: a loop of 10,000,000 iterations of arithmetic
// and an editor-function call. Reports executed instructions per second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "VmEngine/vm.h"
#include "commands/interp.h"

namespace {

constexpr int32_t kIterations = 10000000;
constexpr int64_t kPerIteration = 13; // instructions in the loop body below

std::vector<uint8_t> LoopProgram() {
    std::vector<uint8_t> c;
    auto op = [&](uint8_t o) { c.push_back(o); };
    auto op5 = [&](uint8_t o, int32_t k) {
        c.push_back(o);
        for (int i = 0; i < 4; ++i)
            c.push_back(uint8_t(uint32_t(k) >> (8 * i)));
    };
    auto op6 = [&](uint8_t o, int32_t k, uint8_t n) {
        op5(o, k);
        c.push_back(n);
    };
    const uint8_t F = 0x40, R = 0x80;
    op6(23, 11, 0); // OP_CALL body
    op5(17, 0);     // OP_JMP 0: the end
    // body: locals i (1) and acc (2)
    op5(15, 2);                    // OP_ADJSP 2
    op5(12, 0), op5(7 | F, 1);     // i = 0
    op5(12 | R, 0), op5(7 | F, 2); // acc = 0
    size_t top = c.size();
    op5(9 | F | R, 1), op5(12, kIterations), op(48); // i < N
    size_t exit = c.size();
    op6(20, 0, 1);                                                 // OP_JZPOP end
    op5(9 | F, 2), op5(9 | F, 1), op5(12, 3), op(41), op(44), op5(7 | F, 2); // acc += i * 3
    op6(21 | R, 0, 0);                                             // Interp_ArgCount()
    op5(1 | F | R, 1);                                             // ++i
    op5(17, int32_t(top));                                         // loop
    size_t end = c.size();
    for (int i = 0; i < 4; ++i)
        c[exit + 1 + size_t(i)] = uint8_t(uint32_t(end) >> (8 * i));
    op5(9 | F | R, 2), op(25); // return acc
    // Header: magic, code size, no data, version 300.
    const uint8_t head[10] = {0xE9, 0xF4, uint8_t(c.size()), uint8_t(c.size() >> 8), 0, 0, 0x2C, 0x01, 0, 0};
    c.insert(c.begin(), head, head + sizeof head);
    return c;
}

void BM_InterpLoop(benchmark::State& state) {
    std::string swap = (std::filesystem::temp_directory_path() / "QW32_Swap.interp").string();
    vms_start(1000, 10240000, swap.c_str(), 0, 0);
    CInterpreterManager* m = CInterpreterManager::Instance(1);
    std::vector<uint8_t> image = LoopProgram();
    CInterpreterInstance* p = m->AddProgramImage("loop.cex", 0, image.data(), image.size());
    char why[200];
    for (auto _ : state) {
        int code = m->interpret(p, 0, nullptr, why);
        if (code != INTERP_OK)
            state.SkipWithError("the loop did not end normally");
    }
    state.SetItemsProcessed(state.iterations() * kIterations * kPerIteration);
    CInterpreterManager::Instance(0);
    vms_stop();
}
BENCHMARK(BM_InterpLoop)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
