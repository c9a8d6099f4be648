#pragma once
// Fixture of the engine tests: a started engine with the in-memory (or swap)
// page cache, message boxes captured instead of shown, and helpers that read
// a buffer back and check its page structure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VmEngine/vm.h"
#include "VmEngine/vmcore.h"
#include "tests/support/temp_dir.h"

namespace vmtest {

class EngineTest : public ::testing::Test {
public:
    // Messages shown while the test ran (text only).
    static std::vector<std::string>& Messages();

protected:
    void SetUp() override;
    void TearDown() override;
    // Page-cache size of the engine this fixture starts.
    virtual uint32_t CacheBytes() const { return 2048000u; }
    // The swap file of the engine this fixture starts.
    std::string SwapPath() const { return tmp_.file("QW32_Swap.001"); }
    qwtest::TempDir tmp_; // the swap file and the debug log go here
};

// Every line of the buffer.
std::vector<std::string> Lines(VMB* b);
// A buffer holding the given lines (appended).
VMB* MakeBuffer(const std::vector<std::string>& lines, const char* name = nullptr);
// The structure checker's verdict, for EXPECT_EQ("", ...).
inline std::string Structure(VMB* b) {
    VmGuard g;
    return vmi::check_structure(b);
}
// Data page ids of the buffer in text order.
std::vector<uint32_t> DataPages(VMB* b);
// Directory page ids in chain order.
std::vector<uint32_t> DirPages(VMB* b);
// Hex dump of the first `n` bytes of a page.
std::string PageHex(uint32_t id, uint32_t n);

} // namespace vmtest
