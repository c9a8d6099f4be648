#include "tests/shell/shell_fixture.h"

#include "opsys/msgout.h"
#include "shell/mainframe.h"
#include "shell/qwfiletypes.h"
#include "shell/qwfolders.h"

namespace {

std::string ProfileKey(const std::string& profile) { return "Software\\Kelvora\\" + profile; }

} // namespace

void ShellTest::SetUp() {
    profile = "QWShellTest" + std::to_string(GetCurrentProcessId());
    RegDeleteTreeA(HKEY_CURRENT_USER, ProfileKey(profile).c_str());
    SetInstallDetails(cfg(), "TS");
    RegCreateKeyExA(HKEY_CURRENT_USER, (ProfileKey(profile) + "\\Classes").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &classes, nullptr);
    SetClassesRootForTests(classes);
    DebugLogSetPath(dir.file("log.txt").c_str());
}

void ShellTest::TearDown() {
    SetClassesRootForTests(nullptr);
    if (classes) RegCloseKey(classes);
    RegDeleteTreeA(HKEY_CURRENT_USER, ProfileKey(profile).c_str());
    SetSourceFolderOverride(nullptr);
    DebugLogSetPath(nullptr);
}

void ShellTest::SetInstallDetails(const std::string& folder, const std::string& initials) {
    HKEY k;
    std::string key = ProfileKey(profile) + "\\Install Details";
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    if (!folder.empty())
        RegSetValueExA(k, "Config folder", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       DWORD(folder.size() + 1));
    if (!initials.empty())
        RegSetValueExA(k, "Initials", 0, REG_SZ, reinterpret_cast<const BYTE*>(initials.c_str()),
                       DWORD(initials.size() + 1));
    RegCloseKey(k);
}

bool ShellTest::Start(CQWApp& app, const std::string& args) {
    app.SetProfileName(profile);
    app.use_process_command_line = false;
    app.command_line = args;
    return app.InitInstance();
}

void ShellTest::Stop(CQWApp& app) {
    if (CMainFrame* f = GetMainFrame())
        if (f->hwnd()) SendMessageA(f->hwnd(), WM_CLOSE, 0, 0);
    qwtest::PumpPending();
    app.ExitInstance();
    // The main window's end asks the loop to stop; this thread has none.
    MSG m;
    while (PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

std::string ShellTest::Log() const { return qwtest::ReadFileBytes(dir.file("log.txt")); }

std::string ShellTest::ClassValue(const std::string& key, const char* value) const {
    char buf[512] = "";
    DWORD size = sizeof buf;
    if (RegGetValueA(classes, key.c_str(), value, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS) return "<none>";
    return buf;
}
