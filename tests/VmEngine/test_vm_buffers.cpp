// The buffer table: opening, finding and closing buffers, the slot limit,
// engine flags, and what invalid handles get.
#include "tests/VmEngine/vm_test_support.h"

#include "VmEngine/pagecache.h"

namespace {

using vmtest::EngineTest;
using vmtest::Lines;
using vmtest::MakeBuffer;

using BufferTable = EngineTest;

TEST_F(BufferTable, OpenFlagsWithAnExistingName) {
    enum Expect { Found, Emptied, Fresh, Null };
    const struct {
        uint32_t flags;
        Expect expect;
    } cases[] = {
        {0x100, Found}, {0x0, Found},  {0x2, Null},    {0x40, Fresh}, {0x20, Emptied},
        {0x60, Fresh},  {0x10, Found}, {0x12, Found},  {0x30, Emptied},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        VMB* old = MakeBuffer({"a", "b"}, "List");
        vm_state_flags(old, 0, 0xFFFFFFFF);
        VMB* got = vmb_open(VMB_T_TEMP, "LIST", c.flags);
        switch (c.expect) {
        case Null:
            EXPECT_EQ(nullptr, got);
            break;
        case Found:
            EXPECT_EQ(old, got);
            EXPECT_EQ(2, vm_last_ln(got));
            break;
        case Emptied:
            EXPECT_EQ(old, got);
            EXPECT_EQ(0, vm_last_ln(got));
            EXPECT_EQ(0x9u, vm_state_flags(got, -1, 0x9));
            break;
        case Fresh: // closed and made anew (in the slot just freed)
            ASSERT_NE(nullptr, got);
            EXPECT_EQ(0, vm_last_ln(got));
            EXPECT_EQ(0u, vm_state_flags(got, -1, 0xFFFFFFFF));
            EXPECT_EQ(1u, vm_seq_get(got));
            break;
        }
        while (VMB* b = vmb_find(2, "list"))
            vmb_close(b, 0);
    }
    // Flag 0x1: no lookup, a second buffer of the same name.
    VMB* first = MakeBuffer({"a"}, "dup");
    VMB* second = vmb_open(2, "dup", 0x1);
    ASSERT_NE(nullptr, second);
    EXPECT_NE(first, second);
    EXPECT_EQ(first, vmb_find(2, "DUP"));
    // Absent name: 0x100 never creates, anything else does.
    EXPECT_EQ(nullptr, vmb_open(2, "none", 0x100));
    EXPECT_EQ(nullptr, vmb_find(2, "none"));
    EXPECT_NE(nullptr, vmb_open(2, "none", 0x2));
}

TEST_F(BufferTable, FindIgnoresCaseAndBitZero) {
    VMB* f = vmb_open(VMB_T_FILE, "C:\\Src\\Main.c", 0);
    ASSERT_NE(nullptr, f);
    EXPECT_EQ(f, vmb_find(0x10, "c:\\src\\MAIN.C"));
    EXPECT_EQ(f, vmb_find(0x11, "c:\\src\\main.c"));
    EXPECT_EQ(f, vmb_find(0x12, "c:\\src\\main.c")); // shares 0x10
    EXPECT_EQ(nullptr, vmb_find(0x1, "c:\\src\\main.c")); // only bit 0
    EXPECT_EQ(nullptr, vmb_find(0x2, "c:\\src\\main.c"));
    EXPECT_EQ(nullptr, vmb_find(0x10, "c:\\src\\main.cc")); // same length required
    EXPECT_EQ(nullptr, vmb_find(0x10, ""));
    EXPECT_EQ(nullptr, vmb_find(0x10, nullptr));
}

TEST_F(BufferTable, ThousandSlotsAndTheHighestInUse) {
    std::vector<VMB*> all;
    for (int i = 0; i < 1000; ++i) {
        VMB* b = vmb_open(2, nullptr, 0);
        ASSERT_NE(nullptr, b) << i;
        all.push_back(b);
    }
    EXPECT_EQ(nullptr, vmb_open(2, nullptr, 0));
    EXPECT_EQ(nullptr, vmb_create_temp());
    ASSERT_EQ(1u, Messages().size()); // "VM buffer create failed!!" box
    EXPECT_EQ(all.back(), g_vms->highest);
    vmb_close(all.back(), 0);
    EXPECT_EQ(all[998], g_vms->highest);
    // A freed slot in the middle is reused first; the highest stays.
    vmb_close(all[10], 0);
    VMB* again = vmb_open(2, "x", 0);
    EXPECT_EQ(all[10], again);
    EXPECT_EQ(all[998], g_vms->highest);
    for (VMB* b : all)
        vmb_close(b, 0);
    EXPECT_EQ(nullptr, g_vms->highest);
    EXPECT_EQ(nullptr, vms_next_buffer(nullptr));
}

TEST_F(BufferTable, ForEachAndNextStopAtTheHighestSlot) {
    VMB* a = vmb_open(2, "a", 0);
    VMB* b = vmb_open(2, "b", 0);
    VMB* c = vmb_open(2, "c", 0);
    vmb_close(b, 0);
    int visits = 0;
    auto count = [](VMB*, void* n, void*) -> int {
        ++*static_cast<int*>(n);
        return 0;
    };
    EXPECT_EQ(nullptr, vms_for_each_buffer(count, &visits, nullptr));
    EXPECT_EQ(3, visits); // a, the free slot, c
    auto is_c = [](VMB* s, void* want, void*) -> int { return s == want; };
    EXPECT_EQ(c, vms_for_each_buffer(is_c, c, nullptr));
    EXPECT_EQ(a, vms_next_buffer(nullptr));
    EXPECT_EQ(c, vms_next_buffer(vms_next_buffer(a)));
    EXPECT_EQ(nullptr, vms_next_buffer(c));
}

TEST_F(BufferTable, ClosingAnOwnerClosesItsLogs) {
    VMB* doc = MakeBuffer({"text"}, "doc");
    VMB* undo = vmb_open(VMB_T_LOG, "Undo 1", 0);
    VMB* redo = vmb_open(VMB_T_LOG, "Redo 1", 0);
    VMB* second = vmb_open(2, "second", 0);
    doc->log = undo;
    undo->log = redo;
    doc->log2 = second;
    EXPECT_EQ(1, vmb_close(doc, 0));
    EXPECT_FALSE(vmb_in_use(undo));
    EXPECT_FALSE(vmb_in_use(redo));
    EXPECT_FALSE(vmb_in_use(second));
}

// A log keeps its second link open: that buffer is not the log's to close.
// Closing a log on its own clears its owner's link, so that closing the
// owner later cannot close whatever reuses the log's slot.
TEST_F(BufferTable, ClosingALogOnItsOwn) {
    VMB* doc = MakeBuffer({"text"}, "doc");
    VMB* undo = vmb_open(VMB_T_LOG, "Undo 1", 0);
    VMB* other = vmb_open(2, "other", 0);
    doc->log = undo;
    undo->log2 = other;
    EXPECT_EQ(1, vmb_close(undo, 0));
    EXPECT_TRUE(vmb_in_use(other));
    EXPECT_EQ(nullptr, doc->log);
    VMB* reuse = vmb_open(2, "reuses the slot", 0);
    ASSERT_EQ(undo, reuse);
    vmb_close(doc, 0);
    EXPECT_TRUE(vmb_in_use(reuse));
    EXPECT_EQ((std::vector<std::string>{}), Lines(reuse));
}

TEST_F(BufferTable, CloseWithKeepLeavesTheTextButDropsTheLogs) {
    VMB* doc = MakeBuffer({"one", "two"}, "doc");
    VMB* undo = vmb_open(VMB_T_LOG, "Undo 1", 0);
    doc->log = undo;
    EXPECT_EQ(1, vmb_close(doc, 1));
    EXPECT_TRUE(vmb_in_use(doc));
    EXPECT_FALSE(vmb_in_use(undo));
    EXPECT_EQ(nullptr, doc->log);
    EXPECT_EQ((std::vector<std::string>{"one", "two"}), Lines(doc));
}

TEST_F(BufferTable, NamesTypesAndModeBits) {
    VMB* b = vmb_open(VMB_T_FILE, nullptr, 0);
    EXPECT_TRUE(vmb_is_unnamed_file(b));
    EXPECT_FALSE(vmb_is_file_or_named(nullptr));
    EXPECT_TRUE(vmb_is_file_or_named(b));
    EXPECT_FALSE(vmb_has_content(b));
    vm_append_line(b, "x");
    EXPECT_TRUE(vmb_has_content(b));
    char out[VM_NAME_MAX + 1];
    EXPECT_STREQ("", vmb_get_name(b, out));
    EXPECT_EQ(nullptr, vmb_get_name(b, nullptr));
    std::string longname(300, 'n');
    ASSERT_EQ(1, vmb_set_name(b, longname.c_str()));
    EXPECT_EQ(std::string(VM_NAME_MAX, 'n'), vmb_get_name(b, out));
    EXPECT_EQ(longname, vmb_get_name(b, nullptr));
    vmb_set_mode_bits(b, 0);
    EXPECT_EQ(VMB_T_INUSE | VMB_T_TEMP, vmb_type(b));
    EXPECT_TRUE(vmb_is_file_or_named(b)); // named type-2
    vmb_set_mode_bits(b, 1);
    EXPECT_EQ(VMB_T_INUSE | VMB_T_FILE, vmb_type(b));
    int doc = 0;
    vmb_set_client_data(b, &doc);
    EXPECT_EQ(&doc, vmb_get_client_data(b));
}

TEST_F(BufferTable, EngineFlagsAndParameters) {
    EXPECT_EQ(0x1u, vms_flags(1, 0x1));
    EXPECT_EQ(0x1u, vms_flags(-1, 0xFF));
    EXPECT_EQ(0x0u, vms_flags(0, 0x1));
    vms_set_param(2);
    EXPECT_EQ(2, vms_get_param());
    uint32_t slots = 0, cache = 0, frames = 0, size = 0;
    vms_get_limits(&slots, &cache);
    vms_page_info(&frames, &size);
    EXPECT_EQ(1000u, slots);
    EXPECT_EQ(2048000u, cache);
    EXPECT_EQ(500u, frames);
    EXPECT_EQ(4096u, size);
    EXPECT_EQ(0, vms_start(10, 0, SwapPath().c_str(), 0, 0)); // already started
}

TEST_F(BufferTable, StoppingClosesEverything) {
    MakeBuffer({"a"}, "a");
    MakeBuffer({"b"}, "b");
    vms_stop();
    EXPECT_FALSE(vms_is_started());
    EXPECT_EQ(0u, vms_flags(1, 1));
    EXPECT_EQ(nullptr, vmb_open(2, "x", 0));
    ASSERT_EQ(1, vms_start(1000, 0, SwapPath().c_str(), 0, 0));
    EXPECT_EQ(nullptr, vmb_find(2, "a"));
}

TEST_F(BufferTable, StartFailsWhenTheSwapFileCannotBeOpened) {
    vms_stop();
    EXPECT_EQ(0, vms_start(1000, 2048000, "/nonexistent-folder/x/QW32_Swap.001", 0, 0));
    EXPECT_FALSE(vms_is_started());
    ASSERT_EQ(1, vms_start(1000, 0, SwapPath().c_str(), 0, 0));
}

// Invalid handles: a null pointer, a pointer outside the table, a slot
// that is not in use and a pointer inside a slot all get the failure value.
TEST_F(BufferTable, InvalidHandlesGetFailureValues) {
    VMB* live = MakeBuffer({"keep"});
    VMB* freed = vmb_open(2, nullptr, 0);
    vm_append_line(freed, "x");
    vmb_close(freed, 0);
    VMB outside{};
    VMB* inside = reinterpret_cast<VMB*>(reinterpret_cast<char*>(live) + 4);
    char buf[16] = "unchanged";
    int col = 0;
    for (VMB* b : {static_cast<VMB*>(nullptr), &outside, freed, inside}) {
        EXPECT_EQ(0, vmb_in_use(b));
        EXPECT_EQ(0, vm_set_position(b, 1, 0));
        EXPECT_EQ(0, vm_goto_line(b, 1));
        EXPECT_EQ(-1, vm_get_char(b, 0));
        EXPECT_EQ(-1, vm_char_at(b, 1, 0));
        EXPECT_EQ(-1, vm_read_text(b, 1, 0, buf, 8, nullptr));
        EXPECT_EQ(-1, vm_line_length(b, 1));
        EXPECT_EQ(nullptr, vm_line_ptr(b, 1, 0));
        EXPECT_EQ(0, vm_insert_line(b, 0, "x", 1));
        EXPECT_EQ(nullptr, vm_insert_line(b, 0, nullptr, 4));
        EXPECT_EQ(0, vm_append_line(b, "x"));
        EXPECT_EQ(-1, vm_insert_text(b, 1, 0, "x", 1));
        EXPECT_EQ(0, vm_put_char(b, 'x'));
        EXPECT_EQ(0, vm_replace_line(b, 1, "x", 1, 1));
        EXPECT_EQ(0, vm_split_line(b, 1));
        EXPECT_EQ(0, vm_delete_char(b, 1));
        EXPECT_EQ(0, vm_delete_line(b, 1));
        EXPECT_EQ(-1, vm_join_lines(b, 1, &col));
        EXPECT_EQ(-1, vm_delete_lines(b, 1, -1, 1));
        EXPECT_EQ(0, vm_copy_block(b, 1, 0, live, 1, 0, 1, -3));
        EXPECT_EQ(0, vm_copy_block(live, 1, 0, b, 1, 0, 1, -3));
        EXPECT_EQ(0, vm_copy_buffer(live, b));
        EXPECT_EQ(-1, vm_get_field(b, ';', buf, 8));
        EXPECT_EQ(0, vm_put_field(b, ';', 1, 0, "x"));
        EXPECT_EQ(-1, vm_line_flags(b, 1, 1, 0xFF));
        EXPECT_EQ(0, vm_line_tag(b, 1, -1, 0));
        EXPECT_EQ(0u, vm_state_flags(b, 1, 0x1));
        EXPECT_EQ(-1, vm_user_value(b, 5));
        EXPECT_EQ(0, vmb_close(b, 0));
        EXPECT_EQ(0, vm_last_ln(b));
    }
    EXPECT_STREQ("unchanged", buf);
    EXPECT_EQ((std::vector<std::string>{"keep"}), Lines(live));
    // vm_last_ln reports each invalid handle.
    ASSERT_EQ(4u, Messages().size());
    EXPECT_NE(std::string::npos, Messages()[0].find("KV: Invalid 'vmf' parameter for vm_last_ln( vmf: 0 )"));
}

} // namespace
