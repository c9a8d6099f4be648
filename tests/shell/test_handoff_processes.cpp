// The hand-off between two processes: a second start hands "file.c -l 12",
// relative to its own folder, to the first and exits; the first receives
// the file as an absolute path in the second's folder, and line 12.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

std::string PeerPath() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string s(self);
    return s.substr(0, s.find_last_of("\\/") + 1) + "handoff_peer.exe";
}

HANDLE Start(const std::string& cmd, const std::string& folder) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = cmd;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

TEST(HandOffProcesses, SecondStartHandsItsCommandLineToTheFirst) {
    qwtest::TempDir dir;
    const std::string name = "QwHandOffTest" + std::to_string(GetCurrentProcessId());
    std::string result = dir.file("result.txt");
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (name + "_ready").c_str());
    HANDLE first = Start("\"" + PeerPath() + "\" first \"" + result + "\" " + name, "");
    ASSERT_TRUE(first);
    ASSERT_EQ(WaitForSingleObject(ready, 30000), WAIT_OBJECT_0);

    CreateDirectoryA(dir.file("sub").c_str(), nullptr);
    HANDLE second = Start("\"" + PeerPath() + "\" second " + name + " file.c -l 12", dir.file("sub"));
    ASSERT_TRUE(second);
    ASSERT_EQ(WaitForSingleObject(second, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(second, &code);
    EXPECT_EQ(code, 11u);  // handed over
    ASSERT_EQ(WaitForSingleObject(first, 30000), WAIT_OBJECT_0);

    std::ifstream f(result, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    EXPECT_EQ(s.str(), dir.file("sub\\file.c") + "|12");

    // The first has gone: a later start finds no one and goes on by itself.
    HANDLE third = Start("\"" + PeerPath() + "\" second " + name + " x.c", dir.file("sub"));
    ASSERT_TRUE(third);
    ASSERT_EQ(WaitForSingleObject(third, 30000), WAIT_OBJECT_0);
    GetExitCodeProcess(third, &code);
    EXPECT_EQ(code, 9u);  // -1: no first instance
    CloseHandle(first);
    CloseHandle(second);
    CloseHandle(third);
    CloseHandle(ready);
}

} // namespace
