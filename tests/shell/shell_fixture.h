#pragma once
// Fixture of the shell tests: a profile of the test's own under the maker's
// key, a fresh configuration folder in the test's temporary folder, the
// shell's classes written under the profile instead of the machine's, the
// debug log in the temporary folder and message boxes recorded.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "shell/qwapp.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

public:

    // Writes "Install Details" (an empty value is left out).
    void SetInstallDetails(const std::string& folder, const std::string& initials);
    // Starts the application with `args` as its command line.
    bool Start(CQWApp& app, const std::string& args = {});
    // Closes the main frame (when there is one) and runs the exit.
    void Stop(CQWApp& app);
    std::string Log() const;
    std::string cfg(const std::string& name = {}) const { return dir.file("cfg\\" + name); }
    std::string ClassValue(const std::string& key, const char* value = nullptr) const;

    qwtest::TempDir dir;
    qwtest::MessageBoxRecorder boxes;
    std::string profile;
    HKEY classes = nullptr;
};
