// Engine operations when the page cache cannot deliver a page: the swap
// file refuses writes (a full disk) or reads, or every frame is pinned.
// Each operation either does its work or returns its failure value with the
// text unchanged; the page structure stays sound either way, and once the
// swap file works again every line reads back as expected.
#include "tests/VmEngine/vm_test_support.h"

#include <functional>
#include <string>
#include <vector>

#include "VmEngine/pagecache.h"
#include "VmEngine/vmfile.h"
#include "opsys/bufstream.h"
#include "tests/support/fs_faults.h"

namespace {

using Model = std::vector<std::string>;

// The smallest cache (60 frames) under a file layer whose failures the test
// switches on and off; the swap file is opened through it.
class PageFailures : public vmtest::EngineTest {
protected:
    uint32_t CacheBytes() const override { return 0; }

    // 6000 lines of 50-69 bytes: about 90 data pages, so that the pages of
    // the first lines are in the swap file once the last ones are written.
    void Fill() {
        b_ = vmb_open(VMB_T_TEMP, "f", 0);
        ASSERT_NE(nullptr, b_);
        for (int i = 0; i < 6000; ++i) {
            std::string t = "line " + std::to_string(i + 1) + " ";
            t.append(size_t(45 + i % 20), char('a' + i % 26));
            ASSERT_EQ(i + 1, vm_insert_line(b_, i, t.data(), int(t.size())));
            model_.push_back(t);
        }
    }
    // Changes a line flag on every page of the end of the buffer, so that
    // the pages in memory are the last ones and all of them must be written
    // before their frames can take other pages (a page read back unchanged
    // would not need the swap file).
    void DirtyTheEnd() {
        int n = vm_last_ln(b_);
        for (int l = n - 4000; l <= n; l += 20)
            vm_line_flags(b_, l, VM_OP_SET, 0x80);
    }
    void Healthy() {
        fault_.state.write_budget = -1;
        fault_.state.short_read_at = -1;
    }
    // The buffer is sound and holds exactly the model.
    void Verify(const std::string& what) {
        Healthy();
        ASSERT_EQ("", vmtest::Structure(b_)) << what;
        Model got = vmtest::Lines(b_);
        ASSERT_EQ(model_.size(), got.size()) << what;
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(model_[i], got[i]) << what << ", line " << i + 1;
    }

    qwtest::ScopedFsFaults fault_;
    VMB* b_ = nullptr;
    Model model_;
};

// One operation: runs it, and on success applies it to the model. Returns
// whether the engine reported success.
struct Op {
    const char* name;
    std::function<bool(VMB*, Model&, int line)> run;
};

const std::vector<Op>& Ops() {
    static const std::vector<Op> ops = {
        {"insert line",
         [](VMB* b, Model& m, int l) {
             int r = vm_insert_line(b, l, "inserted", -1);
             if (r == 0) return false;
             EXPECT_EQ(l + 1, r);
             m.insert(m.begin() + l, "inserted");
             return true;
         }},
        {"insert text",
         [](VMB* b, Model& m, int l) {
             int r = vm_insert_text(b, l, 3, "XYZ", 3);
             if (r == -1) return false;
             EXPECT_EQ(3, r);
             m[size_t(l - 1)].insert(3, "XYZ");
             return true;
         }},
        {"insert 30000 bytes",
         [](VMB* b, Model& m, int l) {
             std::string t(30000, 'Q');
             int r = vm_insert_text(b, l, 2, t.data(), int(t.size()));
             if (r == -1) return false;
             EXPECT_EQ(30000, r);
             m[size_t(l - 1)].insert(2, t);
             return true;
         }},
        {"delete line",
         [](VMB* b, Model& m, int l) {
             if (!vm_delete_line(b, l)) return false;
             m.erase(m.begin() + (l - 1));
             return true;
         }},
        {"join lines",
         [](VMB* b, Model& m, int l) {
             int col = vm_join_lines(b, l, nullptr);
             if (col < 0) return false;
             EXPECT_EQ(int(m[size_t(l - 1)].size()), col);
             m[size_t(l - 1)] += m[size_t(l)];
             m.erase(m.begin() + l);
             return true;
         }},
        {"split line",
         [](VMB* b, Model& m, int l) {
             if (!vm_set_position(b, l, 4) || !vm_split_line(b, 1)) return false;
             std::string& s = m[size_t(l - 1)];
             m.insert(m.begin() + l, s.substr(4));
             s.resize(4);
             return true;
         }},
        {"replace line",
         [](VMB* b, Model& m, int l) {
             if (!vm_replace_line(b, l, "replaced", -1, 1)) return false;
             m[size_t(l - 1)] = "replaced";
             return true;
         }},
        {"delete characters",
         [](VMB* b, Model& m, int l) {
             if (!vm_set_position(b, l, 2)) return false;
             int n = vm_delete_char(b, 5);
             if (n == 0) return false;
             EXPECT_EQ(5, n);
             m[size_t(l - 1)].erase(2, 5);
             return true;
         }},
        {"read text",
         [](VMB* b, Model& m, int l) {
             char buf[200];
             int n = vm_read_text(b, l, 0, buf, 199, nullptr);
             if (n < 0) return false;
             EXPECT_EQ(m[size_t(l - 1)], std::string(buf, size_t(n)));
             return true;
         }},
        {"line flags",
         [](VMB* b, Model&, int l) { return vm_line_flags(b, l, VM_OP_SET, 0x40) == 0x40; }},
    };
    return ops;
}

// With the swap file refusing every write, operations on the lines whose
// pages were spilled fail, those on the pages still in memory work, and
// neither loses or garbles a line.
TEST_F(PageFailures, SwapWritesFailing) {
    Fill();
    int failed = 0, done = 0;
    for (const Op& op : Ops()) {
        for (int line : {3, 1500, 5990}) {
            Verify(std::string(op.name) + " before");
            DirtyTheEnd();
            fault_.state.write_budget = 0;
            bool ok = op.run(b_, model_, line);
            (ok ? done : failed) += 1;
            Verify(std::string(op.name) + " at line " + std::to_string(line) + (ok ? " (done)" : " (failed)"));
        }
    }
    // Both kinds of outcome were exercised.
    EXPECT_GT(failed, 5);
    EXPECT_GT(done, 3);
}

// A long insert that gets some pages and then no more is taken back whole.
TEST_F(PageFailures, LongInsertRunningOutOfPagesIsTakenBack) {
    Fill();
    const std::string text(200000, 'L'); // about 50 pages of one line
    int failed = 0;
    for (int64_t budget_pages : {0, 8, 20, 30, 45}) {
        Verify("before budget " + std::to_string(budget_pages));
        DirtyTheEnd();
        fault_.state.write_budget = budget_pages * 4096;
        int r = vm_insert_text(b_, 5990, 1, text.data(), int(text.size()));
        if (r == -1) {
            ++failed;
        } else {
            EXPECT_EQ(int(text.size()), r);
            model_[5989].insert(1, text);
        }
        Verify("budget " + std::to_string(budget_pages) + (r == -1 ? " (failed)" : " (done)"));
    }
    EXPECT_GT(failed, 2);
}

// A swap file whose reads come up short: a spilled page is never handed out
// (its bytes would be garbage), and the operations that need it fail.
TEST_F(PageFailures, SwapReadsFailing) {
    Fill();
    int failed = 0;
    for (const Op& op : Ops()) {
        Verify(std::string(op.name) + " before");
        char tmp[8];
        for (int l = vm_last_ln(b_) - 120; l <= vm_last_ln(b_); ++l)
            vm_read_text(b_, l, 0, tmp, 0, nullptr);
        fault_.state.reads = 0;
        fault_.state.short_read_at = 0;
        if (!op.run(b_, model_, 10))
            ++failed;
        Verify(std::string(op.name) + " with reads failing");
    }
    EXPECT_GT(failed, 5);
}

// Every frame pinned (by callers that keep line addresses): nothing can be
// fetched or made, so every operation on a line whose page is not in
// memory fails cleanly, and works again once the pins are gone.
TEST_F(PageFailures, EveryFramePinned) {
    Fill();
    uint32_t frames = 0, size = 0;
    vms_page_info(&frames, &size);
    std::vector<uint32_t> pages = vmtest::DataPages(b_);
    ASSERT_GT(pages.size(), size_t(frames) + 10);
    {
        VmGuard g;
        for (size_t i = pages.size() - frames; i < pages.size(); ++i)
            pc_pin(pages[i]);
    }
    int failed = 0;
    for (const Op& op : Ops())
        if (!op.run(b_, model_, 3))
            ++failed;
    EXPECT_EQ(int(Ops().size()), failed);
    {
        VmGuard g;
        for (size_t i = pages.size() - frames; i < pages.size(); ++i)
            pc_unpin(pages[i]);
    }
    Verify("after unpinning");
    for (const Op& op : Ops())
        EXPECT_TRUE(op.run(b_, model_, 3)) << op.name;
    Verify("after the edits");
}

// Loading that stopped because the swap file refused to take pages leaves
// the rest of the file out of the buffer: a save that reaches the end is
// refused (0x100) and touches no file, whatever the flags; a range within
// the lines read still saves.
TEST_F(PageFailures, SaveAfterLoadStoppedEarlyIsRefused) {
    std::string original;
    for (int i = 1; i <= 30000; ++i)
        original += "line " + std::to_string(i) + "\r\n";
    std::string target = tmp_.file("cut.txt");
    qwtest::WriteFileBytes(target, original);
    b_ = vmb_open(VMB_T_FILE, target.c_str(), 0);
    ASSERT_EQ(1, vmb_Stream_Open(b_, target.c_str(), "r"));
    ASSERT_NE(0, vm_goto_line(b_, 5));
    fault_.state.write_budget = 0;
    vm_read_lines(b_, 0xFFFFFFFFu);
    Healthy();
    ASSERT_NE(0u, vm_state_flags(b_, -1, VM_ST_LOAD_FAILED));
    ASSERT_LT(vm_last_ln(b_), 30000);
    vm_replace_line(b_, 1, "EDITED", 6, 1);

    const uint32_t flag_cases[] = {0u, VMB_SAVE_ALL, VMB_SAVE_NO_BACKUP, VMB_SAVE_FORCE,
                                   VMB_SAVE_TEMP_NAME, VMB_SAVE_TEMP_NAME | VMB_SAVE_ALL,
                                   VMB_SAVE_TEMP_NAME | VMB_SAVE_TEMP_ONLY};
    for (uint32_t flags : flag_cases) {
        SCOPED_TRACE(flags);
        EXPECT_EQ(VMB_SR_LINE, vmb_save(target.c_str(), nullptr, nullptr, b_, 1, 0, -1, -1, flags));
        EXPECT_EQ(VMB_SR_LINE,
                  vmb_save(target.c_str(), nullptr, nullptr, b_, 1, 0, vm_last_ln(b_), -1, flags));
        EXPECT_FALSE(buf_file_exists((target + ".BAK").c_str()));
        EXPECT_NE(0u, vm_state_flags(b_, -1, VM_ST_UNSAVED));
    }
    // The buffer's stream holds the file (not shared under Windows).
    vmb_stream_close(b_);
    EXPECT_TRUE(qwtest::ReadFileBytes(target) == original);
    std::string part = tmp_.file("part.txt");
    EXPECT_EQ(0u, vmb_save(part.c_str(), nullptr, nullptr, b_, 1, 0, 3, -1, VMB_SAVE_NO_BACKUP));
    // A range ends without a line break of its own.
    EXPECT_TRUE(qwtest::ReadFileBytes(part) == "EDITED\r\nline 2\r\nline 3");
}

} // namespace
