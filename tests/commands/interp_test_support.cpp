#include "tests/commands/interp_test_support.h"

#include "VmEngine/vm.h"
#include "opsys/msgout.h"
#include "opsys/shell_outlets.h"
#ifdef _WIN32
#include <windows.h>

#include "opsys/msgbox_backend.h"
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace itest {

namespace {
InterpPaths* g_paths = nullptr;
void TestPaths(InterpPaths& out) { out = *g_paths; }

#ifdef _WIN32
int CaptureBox(HWND, const char* text, const char*, UINT) {
    InterpTest::Boxes().push_back(text ? text : "");
    return InterpTest::AnswerYes() ? IDYES : IDNO;
}
#else
int CaptureBox(const char* text, const char*, unsigned) {
    InterpTest::Boxes().push_back(text ? text : "");
    return InterpTest::AnswerYes() ? int(QW_IDYES) : int(QW_IDNO);
}
#endif
void CaptureStatus(const char* text, int, unsigned, unsigned) { InterpTest::Status().push_back(text ? text : ""); }
void CaptureOutput(const char* text, int, int, int) { InterpTest::Output().push_back(text ? text : ""); }
} // namespace

unsigned long CurrentThreadId() {
#ifdef _WIN32
    return GetCurrentThreadId();
#else
    return static_cast<unsigned long>(syscall(SYS_gettid));
#endif
}

std::string Asm::Image(const std::vector<int32_t>& data, int version) const {
    std::string s;
    auto put16 = [&](uint32_t v) {
        s += char(v & 0xFF);
        s += char(v >> 8 & 0xFF);
    };
    put16(0xF4E9);
    put16(uint32_t(code.size()));
    put16(uint32_t(data.size()));
    put16(uint32_t(version));
    put16(0);
    s.append(code.begin(), code.end());
    for (int32_t w : data)
        for (int i = 0; i < 4; ++i)
            s += char(uint32_t(w) >> (8 * i) & 0xFF);
    return s;
}

std::vector<std::string>& InterpTest::Boxes() {
    static std::vector<std::string> v;
    return v;
}
std::vector<std::string>& InterpTest::Status() {
    static std::vector<std::string> v;
    return v;
}
std::vector<std::string>& InterpTest::Output() {
    static std::vector<std::string> v;
    return v;
}

bool& InterpTest::AnswerYes() {
    static bool yes = true;
    return yes;
}

void InterpTest::SetUp() {
    AnswerYes() = true;
    Boxes().clear();
    Status().clear();
    Output().clear();
    DebugLogSetPath(tmp_.file("qw_dbg.log").c_str());
#ifdef _WIN32
    QwSetMessageBoxBackend(CaptureBox);
#else
    QwSetHostMessageBox(CaptureBox);
#endif
    QwShellOutlets o{};
    o.app_thread_id = CurrentThreadId();
    o.main_window = [] { static int window; return static_cast<void*>(&window); };
    o.status_set_text = CaptureStatus;
    o.output_print = CaptureOutput;
    QwSetShellOutlets(&o);
    ASSERT_EQ(1, vms_start(1000, CacheBytes(), tmp_.file("QW32_Swap.001").c_str(), 0, 0));
    editor_ = tmp_.file("QW32.exe");
    qwtest::WriteFileBytes(editor_, "editor");
    paths_.macro_folder = tmp_.path();
    paths_.compiler = tmp_.file("qw_comp4.exe");
    paths_.include_path = tmp_.path() + ";" + tmp_.path();
    paths_.working_folder = tmp_.path();
    paths_.editor_file = editor_;
    g_paths = &paths_;
    InterpHooks h;
    h.paths = TestPaths;
    Interp_SetHooks(&h);
}

void InterpTest::TearDown() {
    CInterpreterManager::Instance(0);
    Interp_SetHooks(nullptr);
    vms_stop();
    QwSetShellOutlets(nullptr);
    DebugLogSetPath(nullptr);
#ifdef _WIN32
    QwSetMessageBoxBackend(nullptr);
#else
    QwSetHostMessageBox(nullptr);
#endif
}

CInterpreterManager* InterpTest::Manager() {
    CInterpreterManager* m = CInterpreterManager::Instance(1);
    EXPECT_NE(m, nullptr);
    return m;
}

CInterpreterInstance* InterpTest::Load(const std::string& file, const std::string& image) {
    return Manager()->AddProgramImage(file.c_str(), 0, reinterpret_cast<const uint8_t*>(image.data()),
                                      image.size());
}

int InterpTest::Run(const Asm& a, const std::vector<InterpValue>& args, const std::vector<int32_t>& data) {
    CInterpreterInstance* p = Load("t" + std::to_string(++serial_) + ".cex", a.Image(data));
    EXPECT_NE(p, nullptr);
    if (!p)
        return -1;
    char why[200];
    return Manager()->interpret(p, int(args.size()), args.data(), why);
}

int32_t InterpTest::Eval(const Asm& body, int* code) {
    int32_t out = 0x5A5A5A5A;
    Asm a = Asm::Main();
    a.op5(LOAD | F, -5); // the address of the result word
    a.code.insert(a.code.end(), body.code.begin(), body.code.end());
    a.op(STOREW).op(RET);
    int c = Run(a, {InterpValue::Mem(&out, 4, true)});
    if (code)
        *code = c;
    else
        EXPECT_EQ(c, INTERP_OK);
    return out;
}

} // namespace itest
