// Snapshot records and their archive form (see snapshots.h).
#include "editor/snapshots.h"

#include <atomic>

namespace {
std::atomic<int> g_page_overlap{0};

void Put32(std::vector<unsigned char>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
uint32_t Get32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
} // namespace

int GetPageOverlap() { return g_page_overlap.load(); }
void SetPageOverlap(int lines) { g_page_overlap.store(lines); }

std::vector<unsigned char> SerializeSnapshots(const std::vector<CViewSnapshot>& list) {
    std::vector<unsigned char> out;
    const size_t n = list.size();
    if (n < 0xFFFF) {
        out.push_back(static_cast<unsigned char>(n));
        out.push_back(static_cast<unsigned char>(n >> 8));
    } else {
        out.push_back(0xFF);
        out.push_back(0xFF);
        Put32(out, uint32_t(n));
    }
    for (const auto& s : list)
        for (int32_t w : s.w)
            Put32(out, uint32_t(w));
    return out;
}

bool DeserializeSnapshots(const unsigned char* data, size_t size,
                          std::vector<CViewSnapshot>* list) {
    if (!data || size < 2 || !list)
        return false;
    size_t at = 2;
    uint32_t n = uint32_t(data[0]) | uint32_t(data[1]) << 8;
    if (n == 0xFFFF) {
        if (size < 6)
            return false;
        n = Get32(data + 2);
        at = 6;
    }
    if ((size - at) / sizeof(CViewSnapshot) < n || size - at != size_t(n) * 60)
        return false;
    for (uint32_t i = 0; i < n; ++i) {
        CViewSnapshot s;
        for (int k = 0; k < 15; ++k, at += 4)
            s.w[k] = int32_t(Get32(data + at));
        list->push_back(s);
    }
    return true;
}
