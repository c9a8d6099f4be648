#include "tests/VmEngine/vm_test_support.h"

#include "VmEngine/pagecache.h"
#include "opsys/msgout.h"
#ifdef _WIN32
#include <windows.h>

#include "opsys/msgbox_backend.h"
#endif

#include <cstdio>

namespace vmtest {

namespace {
#ifdef _WIN32
int CaptureBox(HWND, const char* text, const char*, UINT) {
    EngineTest::Messages().push_back(text ? text : "");
    return 1;
}
#else
int CaptureBox(const char* text, const char*, unsigned) {
    EngineTest::Messages().push_back(text ? text : "");
    return 1;
}
#endif
} // namespace

std::vector<std::string>& EngineTest::Messages() {
    static std::vector<std::string> m;
    return m;
}

void EngineTest::SetUp() {
    Messages().clear();
    DebugLogSetPath(tmp_.file("qw_dbg.log").c_str());
#ifdef _WIN32
    QwSetMessageBoxBackend(CaptureBox);
#else
    QwSetHostMessageBox(CaptureBox);
#endif
    ASSERT_EQ(1, vms_start(1000, CacheBytes(), SwapPath().c_str(), 0, 0));
}

void EngineTest::TearDown() {
    vms_stop();
    DebugLogSetPath(nullptr);
#ifdef _WIN32
    QwSetMessageBoxBackend(nullptr);
#else
    QwSetHostMessageBox(nullptr);
#endif
}

std::vector<std::string> Lines(VMB* b) {
    std::vector<std::string> out;
    int n = vm_last_ln(b);
    for (int i = 1; i <= n; ++i) {
        int len = vm_line_length(b, i);
        std::string s(size_t(len < 0 ? 0 : len) + 1, '\0');
        int got = vm_read_text(b, i, 0, s.data(), len, nullptr);
        s.resize(size_t(got < 0 ? 0 : got));
        out.push_back(s);
    }
    return out;
}

VMB* MakeBuffer(const std::vector<std::string>& lines, const char* name) {
    VMB* b = vmb_open(VMB_T_TEMP, name, 0);
    for (const std::string& s : lines)
        vm_insert_line(b, vm_last_ln(b), s.data(), int(s.size()));
    return b;
}

std::vector<uint32_t> DirPages(VMB* b) {
    VmGuard g;
    std::vector<uint32_t> out;
    for (uint32_t d = b->dir_first; d; d = vmi::rd32(pc_find_page(d, 0) + 8))
        out.push_back(d);
    return out;
}

std::vector<uint32_t> DataPages(VMB* b) {
    VmGuard g;
    std::vector<uint32_t> out;
    for (uint32_t d : DirPages(b)) {
        uint8_t* p = pc_find_page(d, 0);
        for (uint32_t i = 0, n = vmi::rd16(p + 12); i < n; ++i)
            out.push_back(vmi::rd32(p + 14 + 8 * i));
    }
    return out;
}

std::string PageHex(uint32_t id, uint32_t n) {
    VmGuard g;
    uint8_t* p = pc_find_page(id, 0);
    std::string s;
    char buf[4];
    for (uint32_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", p[i]);
        s += buf;
        if (i + 1 < n)
            s += ' ';
    }
    return s;
}

} // namespace vmtest
