// Undo and redo logs: creation, names, the switch, emptying, and closing
// with their owner.
#include "VmEngine/vmundo.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>

namespace {

class UndoLogs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(vms_start(100, 2048000, dir_.file("swap.tmp").c_str(), 0, 0), 0);
        text_ = vmb_open(VMB_T_TEMP, "text", 0);
        ASSERT_NE(text_, nullptr);
    }
    void TearDown() override { vms_stop(); }

    static std::string LogName(const char* word, VMB* owner) {
        char name[64];
        std::snprintf(name, sizeof name, "%s %" PRIxPTR, word, reinterpret_cast<uintptr_t>(owner));
        return name;
    }

    qwtest::TempDir dir_;
    VMB* text_ = nullptr;
};

TEST_F(UndoLogs, CreateLinksNamedLogs) {
    EXPECT_EQ(vm_undo_buffer(text_, VM_UNDO_GET), nullptr);
    VMB* undo = vm_undo_buffer(text_, VM_UNDO_CREATE);
    ASSERT_NE(undo, nullptr);
    EXPECT_TRUE(vmb_type(undo) & VMB_T_LOG);
    EXPECT_EQ(vmb_find(VMB_T_LOG, LogName("Undo", text_).c_str()), undo);
    EXPECT_EQ(vm_undo_buffer(text_, VM_UNDO_GET), undo);
    // A second undo log of the same owner is refused; the first stays linked.
    EXPECT_EQ(vm_undo_buffer(text_, VM_UNDO_CREATE), nullptr);
    EXPECT_EQ(vm_undo_buffer(text_, VM_UNDO_GET), undo);

    VMB* redo = vm_undo_buffer(undo, VM_UNDO_REDO);
    ASSERT_NE(redo, nullptr);
    EXPECT_NE(redo, undo);
    EXPECT_EQ(vmb_find(VMB_T_LOG, LogName("Redo", undo).c_str()), redo);
    EXPECT_EQ(vm_undo_buffer(undo, VM_UNDO_GET), redo);
    EXPECT_EQ(vm_undo_buffer(nullptr, VM_UNDO_CREATE), nullptr);
}

TEST_F(UndoLogs, ClearEmptiesTheLogAndResetsItsSwitch) {
    // Without a log, clearing creates nothing.
    EXPECT_EQ(vm_undo_buffer(text_, VM_UNDO_CLEAR), nullptr);
    EXPECT_EQ(vmb_find(VMB_T_LOG, LogName("Undo", text_).c_str()), nullptr);

    VMB* undo = vm_undo_buffer(text_, VM_UNDO_CREATE);
    ASSERT_NE(undo, nullptr);
    ASSERT_GT(vm_append_line(undo, "1\t0\t3\t4\t5"), 0);
    ASSERT_GT(vm_append_line(undo, "5\t10\t3\t0\t0"), 0);
    EXPECT_EQ(vm_undo_enable(undo, 1, 2), 2);
    vm_state_flags(undo, VM_OP_CLEAR, VM_ST_MODIFIED);

    EXPECT_EQ(vm_undo_buffer(text_, VM_UNDO_CLEAR), undo);
    EXPECT_EQ(vm_last_ln(undo), 0);
    EXPECT_EQ(vm_undo_enable(undo, -1, 0), 0);
    EXPECT_TRUE(vm_state_flags(undo, VM_OP_READ, VM_ST_MODIFIED));
    EXPECT_EQ(vm_undo_buffer(text_, VM_UNDO_GET), undo);  // emptied, not closed
}

TEST_F(UndoLogs, SwitchOps) {
    EXPECT_EQ(vm_undo_enable(text_, -1, 0), 0);
    EXPECT_EQ(vm_undo_enable(text_, 1, 500), 500);
    EXPECT_EQ(vm_undo_enable(text_, -1, 7), 500);
    EXPECT_EQ(vm_undo_enable(text_, 2, 7), 0);  // any other op stores 0
    EXPECT_EQ(vm_undo_enable(nullptr, 1, 5), 0);
}

TEST_F(UndoLogs, LogsCloseWithTheirOwner) {
    for (int keep : {0, 1}) {
        SCOPED_TRACE(keep);
        VMB* undo = vm_undo_buffer(text_, VM_UNDO_CREATE);
        ASSERT_NE(undo, nullptr);
        VMB* redo = vm_undo_buffer(undo, VM_UNDO_REDO);
        ASSERT_NE(redo, nullptr);
        const std::string undo_name = LogName("Undo", text_), redo_name = LogName("Redo", undo);
        vmb_close(text_, keep);
        EXPECT_EQ(vmb_find(VMB_T_LOG, undo_name.c_str()), nullptr);
        EXPECT_EQ(vmb_find(VMB_T_LOG, redo_name.c_str()), nullptr);
        EXPECT_FALSE(vmb_in_use(undo));
        EXPECT_FALSE(vmb_in_use(redo));
        if (keep) {
            // The kept buffer has no log left and can make a new one.
            EXPECT_EQ(vm_undo_buffer(text_, VM_UNDO_GET), nullptr);
            EXPECT_NE(vm_undo_buffer(text_, VM_UNDO_CREATE), nullptr);
        } else {
            text_ = vmb_open(VMB_T_TEMP, "text", 0);
            ASSERT_NE(text_, nullptr);
        }
    }
}

} // namespace
