// Line sort: case options, ranges, sort columns, flags that follow their
// lines, view notifications, and lines far longer than a page.
#include "VmEngine/vmlex.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

class SortLines : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(vms_start(100, 2048000, dir_.file("swap.tmp").c_str(), 0, 0), 0);
    }
    void TearDown() override { vms_stop(); }

    static VMB* Make(const std::vector<std::string>& lines, const char* name = nullptr) {
        VMB* b = vmb_open(VMB_T_TEMP, name, 0);
        EXPECT_NE(b, nullptr);
        for (const auto& l : lines)
            EXPECT_GT(vm_insert_line(b, vm_last_ln(b), l.c_str(), int(l.size())), 0);
        return b;
    }
    static std::vector<std::string> Lines(VMB* b) {
        std::vector<std::string> out;
        for (int line = 1; line <= vm_last_ln(b); ++line) {
            std::string s(size_t(vm_line_length(b, line)) + 1, '\0');
            int n = vm_read_text(b, line, 0, s.data(), int(s.size()) - 1, nullptr);
            s.resize(size_t(n < 0 ? 0 : n));
            out.push_back(s);
        }
        return out;
    }

    qwtest::TempDir dir_;
};

using Strings = std::vector<std::string>;

TEST_F(SortLines, CaseOptionsAndRanges) {
    struct Case {
        const char* name;
        int first, last;
        unsigned options;
        Strings expect;
    } cases[] = {
        {"whole, with case", 0, 0, 0, {"A", "B", "a", "b", "c"}},
        {"whole, ignoring case (stable)", 0, 0, VM_CMP_NOCASE, {"A", "a", "b", "B", "c"}},
        {"range 2..4", 2, 4, 0, {"b", "A", "B", "a", "c"}},
        {"range past the end is cut", 4, 99, 0, {"b", "A", "a", "B", "c"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VMB* b = Make({"b", "A", "a", "B", "c"});
        EXPECT_EQ(vm_sort_lines(b, c.first, c.last, nullptr, 1, c.options), 1);
        EXPECT_EQ(Lines(b), c.expect);
        vmb_close(b, 0);
    }
    VMB* b = Make({"b", "a"});
    vm_state_flags(b, VM_OP_CLEAR, VM_ST_EDIT);
    EXPECT_EQ(vm_sort_all(b, 0), 1);
    EXPECT_EQ(Lines(b), (Strings{"a", "b"}));
    EXPECT_TRUE(vm_state_flags(b, VM_OP_READ, VM_ST_MODIFIED));
    // Refused: empty range, inverted range, column without a view, bad handle.
    VMB* empty = Make({});
    EXPECT_EQ(vm_sort_all(empty, 0), 0);
    EXPECT_EQ(vm_sort_lines(b, 2, 1, nullptr, 1, 0), 0);
    EXPECT_EQ(vm_sort_lines(b, 0, 0, nullptr, 3, 0), 0);
    EXPECT_EQ(vm_sort_all(nullptr, 0), 0);
}

struct Recorder {
    std::vector<std::tuple<int, int, int>> calls;
    static void Notify(void* self, int cls, int kind, int line) {
        static_cast<Recorder*>(self)->calls.emplace_back(cls, kind, line);
    }
};

TEST_F(SortLines, ColumnKeysFlagsAndViewNotifications) {
    // Keys after a tab: display column 9 with tab width 8.
    VMB* b = Make({"x\t3", "yy\t1", "z\t2"}, "list");
    vm_line_flags(b, 1, VM_OP_SET, 0x04);
    vm_line_flags(b, 2, VM_OP_SET, 0x08);
    Recorder rec;
    VmSortView view{&rec, &Recorder::Notify, VM_TABS{8, 0}};
    EXPECT_EQ(vm_sort_lines(b, 0, 0, &view, 9, 0), 1);
    EXPECT_EQ(Lines(b), (Strings{"yy\t1", "z\t2", "x\t3"}));
    // The settled flag follows its line; moved lines carry the changed mark.
    EXPECT_EQ(vm_line_flags(b, 1, VM_OP_READ, 0x08 | 0x01), 0x08 | 0x01);
    EXPECT_EQ(vm_line_flags(b, 2, VM_OP_READ, 0x08), 0);
    EXPECT_EQ(vm_line_flags(b, 3, VM_OP_READ, 0x0C), 0x04);  // never moved
    // Every move was told before it happened: an insertion, then the removal
    // of the old copy, which the insertion above it pushed down.
    ASSERT_FALSE(rec.calls.empty());
    EXPECT_EQ(rec.calls.size() % 2, 0u);
    EXPECT_EQ(rec.calls[0], std::make_tuple(5, 9, 1));
    EXPECT_EQ(rec.calls[1], std::make_tuple(5, 11, 3));

    // An unnamed list buffer tells no view.
    VMB* anon = Make({"b", "a"});
    Recorder quiet;
    VmSortView qv{&quiet, &Recorder::Notify, VM_TABS{8, 0}};
    EXPECT_EQ(vm_sort_lines(anon, 0, 0, &qv, 1, 0), 1);
    EXPECT_TRUE(quiet.calls.empty());
    EXPECT_EQ(Lines(anon), (Strings{"a", "b"}));
}

TEST_F(SortLines, LongLinesMoveWhole) {
    const std::string longz = "z" + std::string(9000, 'q') + "END";
    const std::string longa = "a" + std::string(5000, 'r') + "TAIL";
    VMB* b = Make({longz, "m", longa, "b"});
    EXPECT_EQ(vm_sort_all(b, 0), 1);
    EXPECT_EQ(Lines(b), (Strings{longa, "b", "m", longz}));
    EXPECT_EQ(vm_last_ln(b), 4);
}

} // namespace
