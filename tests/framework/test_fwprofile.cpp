// Profile settings in the registry (integers, strings, binary) and the
// recent-file list that is kept there.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/fwprofile.h"

namespace {

class FwProfile : public ::testing::Test {
protected:
    void SetUp() override {
        app_ = "QWFramework test " + std::to_string(GetCurrentProcessId());
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, fw::ProfileKeyPath(app_).c_str());
    }
    std::string app_;
};

TEST_F(FwProfile, ValuesRoundTripUnderTheCompanyKey) {
    fw::Profile p(app_);
    EXPECT_EQ(fw::ProfileKeyPath(app_, "Settings"), "Software\\Kelvora\\" + app_ + "\\Settings");
    // Missing values give the defaults.
    EXPECT_EQ(p.GetInt("Settings", "Width", -7), -7);
    EXPECT_EQ(p.GetString("Settings", "Name", "none"), "none");
    std::vector<uint8_t> blob;
    EXPECT_FALSE(p.GetBinary("Settings", "Blob", blob));

    const uint8_t bytes[] = {0, 1, 0xFF, 0, 42};
    ASSERT_TRUE(p.WriteInt("Settings", "Width", -123456));
    ASSERT_TRUE(p.WriteString("Settings", "Name", "C:\\a b\\c.txt"));
    ASSERT_TRUE(p.WriteString("Settings", "Empty", ""));
    ASSERT_TRUE(p.WriteBinary("Settings", "Blob", bytes, sizeof bytes));
    ASSERT_TRUE(p.WriteString("Settings", "Number", "77"));

    EXPECT_EQ(p.GetInt("Settings", "Width", 0), -123456);
    EXPECT_EQ(p.GetString("Settings", "Name"), "C:\\a b\\c.txt");
    EXPECT_EQ(p.GetString("Settings", "Empty", "def"), "");
    ASSERT_TRUE(p.GetBinary("Settings", "Blob", blob));
    EXPECT_EQ(blob, std::vector<uint8_t>(bytes, bytes + sizeof bytes));
    EXPECT_EQ(p.GetInt("Settings", "Number", 0), 77) << "a number stored as text reads";
    EXPECT_FALSE(p.GetBinary("Settings", "Name", blob)) << "a string is not binary";

    // Stored in the registry where other readers of the profile look.
    DWORD v = 0, size = sizeof v;
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, fw::ProfileKeyPath(app_, "Settings").c_str(), "Width",
                           RRF_RT_REG_DWORD, nullptr, &v, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(static_cast<int>(v), -123456);

    EXPECT_TRUE(p.DeleteEntry("Settings", "Width"));
    EXPECT_EQ(p.GetInt("Settings", "Width", 5), 5);
    EXPECT_TRUE(p.DeleteSection("Settings"));
    EXPECT_EQ(p.GetString("Settings", "Name", "gone"), "gone");
}

TEST_F(FwProfile, RecentFilesKeepNewestFirstWithoutDuplicates) {
    fw::Profile p(app_);
    fw::RecentFileList mru(4);
    for (const char* f : {"C:\\a.txt", "C:\\b.txt", "C:\\c.txt", "c:\\A.TXT", "C:\\d.txt", "C:\\e.txt"})
        mru.Add(f);
    std::vector<std::string> expected = {"C:\\e.txt", "C:\\d.txt", "c:\\A.TXT", "C:\\c.txt"};
    EXPECT_EQ(mru.files(), expected);
    mru.Save(p);
    EXPECT_EQ(p.GetString("Recent File List", "File1"), "C:\\e.txt");

    fw::RecentFileList loaded(4);
    loaded.Load(p);
    EXPECT_EQ(loaded.files(), expected);
    // A shorter list leaves no stale entries behind.
    loaded.Remove(0);
    loaded.Remove(0);
    loaded.Save(p);
    fw::RecentFileList again(4);
    again.Load(p);
    EXPECT_EQ(again.files(), std::vector<std::string>(expected.begin() + 2, expected.end()));
    EXPECT_EQ(p.GetString("Recent File List", "File4", "none"), "none");
}

} // namespace
