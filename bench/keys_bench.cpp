// Key-to-command dispatch: a key message through the translator, the
// matcher over a table of 500 bindings, the sequence runner and the
// executor to a trivial handler. Reported per key.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "commands/cmdtable.h"
#include "commands/keybind.h"
#include "commands/keytrans.h"

namespace {

int g_runs = 0;
int handler(int, K_cmd_params*) { return ++g_runs; }

void Load500() {
    KeyTable_Pop(1);
    int id = 410;
    K_cmd_set_handler(id, handler);
    K_cmd_lookup(id)->attr |= K_ATTR_NO_VIEW;
    // 497 single keys and sequences over every modifier state, then the two measured.
    int n = 0;
    for (int state = 0; state < 8 && n < 497; ++state)
        for (int vk = 33; vk < 100 && n < 497; ++vk, ++n) {
            uint8_t k[4] = {uint8_t(state), uint8_t(vk), 0, uint8_t(vk)};
            KeyBinding_Set(k, (n % 3) ? 2 : 4, &id, 1, 0);
        }
    uint8_t f2[] = {0, 113};
    uint8_t seq[] = {0, 114, 0, 115, 0, 116};
    uint8_t other[] = {0, 114, 0, 115, 0, 117};
    KeyBinding_Set(f2, 2, &id, 1, 0);
    KeyBinding_Set(seq, 6, &id, 1, 0);
    KeyBinding_Set(other, 6, &id, 1, 0);
}

void BM_BoundKey(benchmark::State& state) {
    Load500();
    for (auto _ : state)
        benchmark::DoNotOptimize(TranslateKeyMessage(K_WM_KEYDOWN, 113, 1, 0));
    state.SetItemsProcessed(state.iterations());
    state.counters["bindings"] = 500;
}
BENCHMARK(BM_BoundKey);

void BM_ThreeKeySequence(benchmark::State& state) {
    Load500();
    for (auto _ : state) {
        TranslateKeyMessage(K_WM_KEYDOWN, 114, 1, 0);
        TranslateKeyMessage(K_WM_KEYDOWN, 115, 1, 0);
        benchmark::DoNotOptimize(TranslateKeyMessage(K_WM_KEYDOWN, 116, 1, 0));
    }
    state.SetItemsProcessed(state.iterations() * 3);
}
BENCHMARK(BM_ThreeKeySequence);

} // namespace

BENCHMARK_MAIN();
