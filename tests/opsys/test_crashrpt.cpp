// The crash report, from a helper program that crashes on purpose (run from
// the test's temporary folder, where its report lands).
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

const char kRule[] = "//=====================================================";

std::string HelperPath() {
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string dir(exe);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + "test_crash_helper.exe";
}

// Runs exe with the arguments; its exit code.
DWORD RunProgram(const std::string& exe, const std::string& args) {
    std::string cmd = "\"" + exe + "\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << exe;
        return 0;
    }
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 120000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The report's blocks, each as its lines.
std::vector<std::vector<std::string>> Blocks(const std::string& text) {
    std::vector<std::vector<std::string>> blocks;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line == kRule) blocks.emplace_back();
        if (blocks.empty()) {
            ADD_FAILURE() << "text before the first block: " << line;
            break;
        }
        blocks.back().push_back(line);
    }
    return blocks;
}

// The name a report gives a code outside its own list.
std::string SystemName(DWORD code, const char* table_name) {
    char text[512];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_HMODULE,
                             GetModuleHandleA("NTDLL.DLL"), code, 0, text, sizeof text, nullptr);
    std::string name = n ? std::string(text, n) : table_name;
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    return name;
}

void ExpectHeader(const std::vector<std::string>& b, const std::string& code_line,
                  const std::string& module) {
    ASSERT_GE(b.size(), 7u);
    EXPECT_EQ(b[0], kRule);
    EXPECT_EQ(b[1], code_line);
    EXPECT_EQ(b[2].rfind("Fault address:  ", 0), 0u) << b[2];
    if (!module.empty()) {
        EXPECT_NE(b[2].find(module), std::string::npos) << b[2];
    }
    EXPECT_EQ(b[3], "");
    EXPECT_EQ(b[4], "Registers:");
#if defined(_M_IX86) || defined(__i386__)
    EXPECT_EQ(b[5].rfind("EAX:", 0), 0u) << b[5];
#else
    EXPECT_EQ(b[5].rfind("RAX:", 0), 0u) << b[5];
#endif
    bool has_stack = false;
    for (const std::string& l : b) has_stack = has_stack || l == "Call stack:";
    EXPECT_TRUE(has_stack);
}

class CrashReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        exe_ = dir_.file("editor.exe");
        ASSERT_TRUE(CopyFileA(HelperPath().c_str(), exe_.c_str(), FALSE)) << HelperPath();
    }
    qwtest::TempDir dir_;
    std::string exe_;
};

TEST_F(CrashReportTest, EachCrashAppendsABlockBesideTheProgram) {
    const std::string rpt = dir_.file("editor.RPT");
    EXPECT_EQ(RunProgram(exe_, "av"), 0xC0000005u);
    std::string first = qwtest::ReadFileBytes(rpt);
    auto blocks = Blocks(first);
    ASSERT_EQ(blocks.size(), 1u);
    ExpectHeader(blocks[0], "Exception code: C0000005 ACCESS_VIOLATION", "editor.exe");

    EXPECT_EQ(RunProgram(exe_, "av"), 0xC0000005u);
    std::string both = qwtest::ReadFileBytes(rpt);
    EXPECT_EQ(both.compare(0, first.size(), first), 0) << "the first report was changed";
    blocks = Blocks(both);
    ASSERT_EQ(blocks.size(), 2u);
    ExpectHeader(blocks[1], "Exception code: C0000005 ACCESS_VIOLATION", "editor.exe");
}

TEST_F(CrashReportTest, ReportsGoToTheNamedFileWithTheCodesName) {
    CreateDirectoryA(dir_.file("user").c_str(), nullptr);
    const std::string rpt = dir_.file("user\\editor.rpt");
    struct Case {
        const char* mode;
        DWORD code;
        std::string line;
    } cases[] = {
        {"overflow", 0xC00000FD, "Exception code: C00000FD STACK_OVERFLOW"},
        {"C0000017", 0xC0000017, "Exception code: C0000017 " + SystemName(0xC0000017, "No Memory")},
        {"C0000194", 0xC0000194, "Exception code: C0000194 " + SystemName(0xC0000194, "c0000194")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunProgram(exe_, std::string(c.mode) + " \"" + rpt + "\""), c.code) << c.mode;
    }
    auto blocks = Blocks(qwtest::ReadFileBytes(rpt));
    ASSERT_EQ(blocks.size(), 3u);
    for (size_t i = 0; i < 3; ++i) ExpectHeader(blocks[i], cases[i].line, "");
    // The stack overflow is reported with the module of the faulting code.
    EXPECT_NE(blocks[0][2].find("editor.exe"), std::string::npos) << blocks[0][2];
    EXPECT_FALSE(Exists(dir_.file("editor.RPT")));
}

TEST_F(CrashReportTest, AReportThatCannotBeWrittenLeavesTheFaultAsItWas) {
    const std::string rpt = dir_.file("editor.RPT");
    HANDLE held = CreateFileA(rpt.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunProgram(exe_, "av"), 0xC0000005u);
    CloseHandle(held);
    EXPECT_EQ(qwtest::ReadFileBytes(rpt), "");
    // A folder that does not exist: the same.
    EXPECT_EQ(RunProgram(exe_, "av \"" + dir_.file("missing\\editor.rpt") + "\""), 0xC0000005u);
}

} // namespace

namespace {

// A code raised inside a translator scope: the 64-bit build throws it as a
// C++ exception; the 32-bit unwinder cannot walk RaiseException's frame, so
// there the fault goes on to the report with its code instead of ending in
// std::terminate (exit code 3) with no report.
TEST_F(CrashReportTest, ARaiseInsideAScopeIsTranslatedOrReportedNeverTerminates) {
    const std::string rpt = dir_.file("raised.rpt");
    DWORD code = RunProgram(exe_, "raise-in-scope \"" + rpt + "\" C0000017");
#if defined(_M_IX86) || defined(__i386__)
    EXPECT_EQ(code, 0xC0000017u);
    auto blocks = Blocks(qwtest::ReadFileBytes(rpt));
    ASSERT_EQ(blocks.size(), 1u);
    ExpectHeader(blocks[0], "Exception code: C0000017 " + SystemName(0xC0000017, "No Memory"), "");
#else
    EXPECT_EQ(code, 7u);
    EXPECT_FALSE(Exists(rpt));
#endif
}

} // namespace
