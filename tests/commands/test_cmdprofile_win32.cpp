// Tests of command values kept in the registry profile of the application.
#include "cmd_fixture.h"
#include "commands/cmdprofile_win32.h"
#include "framework/fwprofile.h"

using cmdtest::CommandTest;

TEST_F(CommandTest, ValuesPersistInTheRegistryProfile) {
    fw::Profile profile("QwCmdTest" + std::to_string(GetCurrentProcessId()));
    ASSERT_TRUE(profile.WriteInt("K_xxx Data", "K_OneInstance", 0));
    ASSERT_TRUE(profile.WriteString("K_xxx Data", "K_FontSelect", "Lucida Console,9"));
    K_cmd_use_profile(&profile);

    EXPECT_EQ(cmd_get_value(630), 0);
    EXPECT_EQ(cmd_set_value(630, 1), 1);
    EXPECT_EQ(profile.GetInt("K_xxx Data", "K_OneInstance", -9), 1);
    char font[64];
    EXPECT_STREQ(cmd_get_string(657, font, sizeof font), "Lucida Console,9");
    // A missing entry gives the table's default and is written back.
    EXPECT_EQ(cmd_get_value(631), 150);
    EXPECT_EQ(profile.GetInt("K_xxx Data", "K_HistorySize", -9), 150);

    K_cmd_use_profile(nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, fw::ProfileKeyPath(profile.app()).c_str());
}
