// The three deliverables: their version resources, the controls library's
// version export, and the program starting and closing cleanly.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "tests/support/process_window.h"

namespace {

const std::string kBin = QW_BIN_DIR;

std::string WinPath(const std::string& name) {
    std::string p = kBin + "/" + name;
    // Wine maps the Unix root to drive Z:.
    if (!p.empty() && p[0] == '/') p = "Z:" + p;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}

struct FileVersion {
    WORD v[4];
    std::string product;
};

bool ReadFileVersion(const std::string& path, FileVersion* out) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (!size) return false;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len)) return false;
    out->v[0] = HIWORD(fixed->dwFileVersionMS);
    out->v[1] = LOWORD(fixed->dwFileVersionMS);
    out->v[2] = HIWORD(fixed->dwFileVersionLS);
    out->v[3] = LOWORD(fixed->dwFileVersionLS);
    char* text = nullptr;
    if (VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\ProductVersion",
                       reinterpret_cast<void**>(&text), &len) && text)
        out->product = text;
    return true;
}

TEST(Binaries, CarryVersionResourcesReadableBeforeLoading) {
    struct Row {
        const char* file;
        WORD v[4];
    } rows[] = {
        {"QW32.exe", {4, 0, 0, 1}},
        {"QWControls.dll", {1, 0, 0, 3}},
        {"VoroSpell.dll", {1, 0, 0, 3}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        FileVersion fv{};
        ASSERT_TRUE(ReadFileVersion(WinPath(row.file), &fv));
        for (int i = 0; i < 4; ++i) EXPECT_EQ(fv.v[i], row.v[i]);
    }
    // Reading the version did not load the spell library.
    EXPECT_EQ(GetModuleHandleA("VoroSpell.dll"), nullptr);

    // The program's product version ends with its build date, dd.mm.yyyy.
    FileVersion qw{};
    ASSERT_TRUE(ReadFileVersion(WinPath("QW32.exe"), &qw));
    ASSERT_GE(qw.product.size(), 10u);
    std::string date = qw.product.substr(qw.product.size() - 10);
    EXPECT_EQ(date[2], '.');
    EXPECT_EQ(date[5], '.');
}

TEST(Binaries, ControlsLibraryAnswersDllGetVersion) {
    HMODULE lib = LoadLibraryA(WinPath("QWControls.dll").c_str());
    ASSERT_NE(lib, nullptr);
    auto get = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(GetProcAddress(lib, "DllGetVersion")));
    ASSERT_NE(get, nullptr);
    DLLVERSIONINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_EQ(get(&info), S_OK);
    EXPECT_EQ(info.dwMajorVersion, 1u);
    EXPECT_EQ(info.dwMinorVersion, 0u);
    EXPECT_EQ(info.dwBuildNumber, 0u);
    info.cbSize = 4;
    EXPECT_EQ(get(&info), E_INVALIDARG);
    FreeLibrary(lib);
}

TEST(Binaries, ProgramShowsItsFrameAndEndsWithZeroOnClose) {
    std::string exe = WinPath("QW32.exe");
    std::vector<char> cmd(exe.begin(), exe.end());
    cmd.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &si, &pi));
    ASSERT_EQ(WaitForInputIdle(pi.hProcess, 30000), 0u);

    HWND frame = nullptr;
    for (int i = 0; i < 300 && !frame; ++i) {
        frame = qwtest::FindProcessWindow(pi.dwProcessId, "QWMainFrame");
        if (!frame) WaitForSingleObject(pi.hProcess, 100);
    }
    ASSERT_NE(frame, nullptr) << "no frame window";
    // Without a document the caption is the program's title and version.
    char title[64] = "";
    GetWindowTextA(frame, title, sizeof(title));
    EXPECT_EQ(std::string(title).rfind("Quedra Ver ", 0), 0u) << title;

    PostMessageA(frame, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

} // namespace
