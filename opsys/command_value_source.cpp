#include "opsys/command_value_source.h"

#include <atomic>

namespace {
std::atomic<QwCommandValueFn> g_source{nullptr};
}

QwCommandValueFn QwSetCommandValueSource(QwCommandValueFn fn) {
    return g_source.exchange(fn);
}

int QwCommandValue(int id, int table_default) {
    QwCommandValueFn fn = g_source.load();
    if (!fn) return table_default;
    int v = fn(id);
    return v == -1 ? table_default : v;
}
