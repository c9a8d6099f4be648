// Engine start-up of the Windows build: cache size, swap file, failures.
#include "tests/VmEngine/vm_test_support.h"

#include <windows.h>

#include "VmEngine/create_vms.h"
#include "opsys/msgbox_backend.h"

namespace {

using vmtest::EngineTest;

TEST(CreateVms, CacheIsATenthOfMemoryClamped) {
    const struct {
        unsigned long long total;
        unsigned cache;
    } cases[] = {{0, 2048000}, {20480000, 2048000}, {50000000, 5000000}, {102400000, 10240000},
                 {8ULL << 30, 10240000}};
    for (auto c : cases)
        EXPECT_EQ(c.cache, VmCacheSizeFor(c.total)) << c.total;
}

class CreateVmsStart : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        vms_stop();
        GetEnvironmentVariableA("TMP", saved_tmp_, sizeof saved_tmp_);
        GetEnvironmentVariableA("TEMP", saved_temp_, sizeof saved_temp_);
    }
    void TearDown() override {
        SetEnvironmentVariableA("TMP", saved_tmp_);
        SetEnvironmentVariableA("TEMP", saved_temp_);
        EngineTest::TearDown();
    }
    void UseTemp(const std::string& folder) {
        SetEnvironmentVariableA("TMP", folder.c_str());
        SetEnvironmentVariableA("TEMP", folder.c_str());
    }
    char saved_tmp_[MAX_PATH + 1] = "";
    char saved_temp_[MAX_PATH + 1] = "";
};

TEST_F(CreateVmsStart, MakesTheSwapFileInTheTemporaryFolder) {
    UseTemp(tmp_.path());
    ASSERT_EQ(1, Create_VMS("QW32 test"));
    uint32_t slots = 0, cache = 0;
    vms_get_limits(&slots, &cache);
    EXPECT_EQ(1000u, slots);
    EXPECT_GE(cache, 2048000u);
    EXPECT_LE(cache, 10240000u);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(tmp_.file("QW32_Swap.*").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    FindClose(h);
    vms_stop();
    // The swap file goes with the engine.
    h = FindFirstFileA(tmp_.file("QW32_Swap.*").c_str(), &fd);
    EXPECT_EQ(INVALID_HANDLE_VALUE, h);
    if (h != INVALID_HANDLE_VALUE)
        FindClose(h);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(CreateVmsStart, ReportsWhenNoSwapFileCanBeMade) {
    UseTemp(tmp_.file("missing\\folder\\"));
    EXPECT_EQ(0, Create_VMS("QW32 test"));
    EXPECT_FALSE(vms_is_started());
    ASSERT_EQ(1u, Messages().size());
    EXPECT_NE(std::string::npos, Messages()[0].find("QW cannot be started because it cannot create its swap file."));
    EXPECT_NE(std::string::npos, Messages()[0].find("QW32_Swap.*"));
}

TEST_F(CreateVmsStart, ProfileIntegers) {
    HKEY h;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Kelvora\\QW32 test\\File Open", 0,
                                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr));
    DWORD v = 2;
    RegSetValueExA(h, "OpenOSType", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    RegSetValueExA(h, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>("17"), 3);
    RegCloseKey(h);
    EXPECT_EQ(2, VmProfileInt("QW32 test", "File Open", "OpenOSType", 0));
    EXPECT_EQ(17, VmProfileInt("QW32 test", "File Open", "Text", 0));
    EXPECT_EQ(-5, VmProfileInt("QW32 test", "File Open", "Missing", -5));
    UseTemp(tmp_.path());
    ASSERT_EQ(1, Create_VMS("QW32 test"));
    EXPECT_EQ(2, vms_get_param());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kelvora\\QW32 test\\File Open");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kelvora\\QW32 test");
}

} // namespace
