#include "tests/Reu/reu_test_env.h"

#include "opsys/command_value_source.h"
#include "opsys/msgout.h"
#include "Reu/reu_lines.h"
#ifdef _WIN32
#include <windows.h>

#include "opsys/msgbox_backend.h"
#endif

namespace reutest {

namespace {
int g_history_size = -1;

int CommandValues(int id) { return id == 631 ? g_history_size : -1; }

#ifdef _WIN32
int CountBox(HWND, const char* text, const char*, UINT) {
    Boxes().push_back(text ? text : "");
    return 1;
}
#else
int CountBox(const char* text, const char*, unsigned) {
    Boxes().push_back(text ? text : "");
    return 1;
}
#endif
} // namespace

std::vector<std::string>& Boxes() {
    static std::vector<std::string> boxes;
    return boxes;
}

void SetHistorySize(int n) { g_history_size = n; }

void EngineTest::SetUp() {
    Boxes().clear();
    g_history_size = -1;
    QwSetCommandValueSource(CommandValues);
#ifdef _WIN32
    QwSetMessageBoxBackend(CountBox);
#else
    QwSetHostMessageBox(CountBox);
#endif
    DebugLogSetPath(dir.file("qw_dbg.log").c_str());
    ASSERT_NE(vms_start(1000, 2048000, dir.file("swap.tmp").c_str(), 0, 0), 0);
}

void EngineTest::TearDown() {
    vms_stop();
    DebugLogSetPath(nullptr);
    QwSetCommandValueSource(nullptr);
}

std::vector<std::string> Lines(VMB* b) {
    std::vector<std::string> out;
    std::string line;
    for (int i = 1, n = vm_last_ln(b); i <= n; ++i) {
        ReuReadLine(b, i, line);
        out.push_back(line);
    }
    return out;
}

VMB* MakeList(const char* name, const std::vector<std::string>& lines) {
    VMB* b = vmb_open(VMB_T_TEMP, name, VMB_O_FILE | VMB_O_EMPTY);
    if (!b) return nullptr;
    for (const std::string& l : lines) vm_insert_line(b, vm_last_ln(b), l.data(), static_cast<int>(l.size()));
    return b;
}

} // namespace reutest
