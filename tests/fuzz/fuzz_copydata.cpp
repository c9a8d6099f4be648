// Fuzz target: the hand-off block a second start sends (WM_COPYDATA). The
// first 8 bytes are the data word, the rest the block. The parser must
// never read outside the block, must refuse what it cannot split whole, and
// what it accepts must pack back to the same words.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/cmdline_block.h"

#define COPYDATA_CHECK(cond)                                                        \
    do {                                                                            \
        if (!(cond)) {                                                              \
            std::fprintf(stderr, "check failed at %s:%d: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                           \
        }                                                                           \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    uint64_t count = 0;
    std::memcpy(&count, data, 8);
    // An exact-size copy, so that a read past the block is caught.
    std::vector<uint8_t> block(data + 8, data + size);
    std::vector<std::string> words;
    bool ok = SplitHandOffBlock(count, block.empty() ? nullptr : block.data(), block.size(), &words);
    if (!ok) {
        COPYDATA_CHECK(words.empty());
        return 0;
    }
    COPYDATA_CHECK(words.size() + 1 == count);
    size_t used = 0;
    for (const std::string& w : words) {
        COPYDATA_CHECK(w.find('\0') == std::string::npos);
        used += w.size() + 1;
    }
    COPYDATA_CHECK(used <= block.size());
    std::string packed;
    uint32_t n = PackHandOffBlock(words, &packed);
    COPYDATA_CHECK(n == count);
    // An empty block has no storage to compare (memcmp must not get null).
    COPYDATA_CHECK(packed.empty() || std::memcmp(packed.data(), block.data(), packed.size()) == 0);
    std::vector<std::string> again;
    COPYDATA_CHECK(SplitHandOffBlock(n, packed.data(), packed.size(), &again) && again == words);
    return 0;
}
