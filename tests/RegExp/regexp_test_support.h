#pragma once
// A started buffer engine for the tests that search or write buffer lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VmEngine/vm.h"
#include "tests/support/temp_dir.h"

class BufferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(vms_start(100, 2048000, dir_.file("swap.tmp").c_str(), 0, 0), 0);
    }
    void TearDown() override { vms_stop(); }

    VMB* Make(const std::vector<std::string>& lines) {
        VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
        EXPECT_NE(b, nullptr);
        for (const auto& l : lines) EXPECT_GT(vm_append_line(b, l.c_str()), 0);
        return b;
    }

    static std::vector<std::string> Lines(VMB* b) {
        std::vector<std::string> out;
        for (int ln = 1; ln <= vm_last_ln(b); ++ln) {
            int len = vm_line_length(b, ln);
            std::string s(size_t(len) + 1, '\0');
            vm_read_text(b, ln, 0, &s[0], len, nullptr);
            s.resize(size_t(len));
            out.push_back(s);
        }
        return out;
    }

    qwtest::TempDir dir_;
};
