// Randomised differential test: the line operations against a vector of
// strings, with the page-structure checker after every step.
#include "tests/VmEngine/vm_test_support.h"

#include <random>

namespace {

using vmtest::EngineTest;
using vmtest::Lines;
using vmtest::Structure;

class RandomOps : public EngineTest {
protected:
    // The smallest cache (60 frames): with a swap-file back end the pages
    // the operations hold are evicted and read back all the time.
    uint32_t CacheBytes() const override { return 0; }

    std::mt19937 rng;
    std::vector<std::string> model;
    VMB* b = nullptr;

    int Rand(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    std::string Text(int len) {
        std::string s(size_t(len), ' ');
        for (char& c : s)
            c = char('a' + Rand(0, 25));
        return s;
    }

    // Mostly short lines, now and then one longer than a page.
    int Length() {
        int r = Rand(0, 99);
        return r < 70 ? Rand(0, 80) : r < 95 ? Rand(80, 1500) : Rand(4000, 10000);
    }

    int Line() { return Rand(1, int(model.size())); }
    int Col(int line) { return Rand(0, int(model[size_t(line - 1)].size())); }

    void Step(int op) {
        int n = int(model.size());
        switch (op) {
        case 0: { // insert a line
            int after = Rand(0, n);
            std::string t = Text(Length());
            ASSERT_EQ(after + 1, vm_insert_line(b, after, t.data(), int(t.size())));
            model.insert(model.begin() + after, t);
            break;
        }
        case 1: { // insert text
            if (!n) return;
            int l = Line(), c = Col(l);
            std::string t = Text(Rand(0, 3) == 0 ? Rand(100, 5000) : Rand(1, 20));
            ASSERT_EQ(int(t.size()), vm_insert_text(b, l, c, t.data(), int(t.size())));
            model[size_t(l - 1)].insert(size_t(c), t);
            break;
        }
        case 2: { // delete characters
            if (!n) return;
            int l = Line(), c = Col(l), k = Rand(1, Rand(0, 4) == 0 ? 6000 : 30);
            ASSERT_EQ(1, vm_set_position(b, l, c));
            std::string& s = model[size_t(l - 1)];
            int expect = std::min(k, int(s.size()) - c);
            ASSERT_EQ(expect, vm_delete_char(b, k));
            s.erase(size_t(c), size_t(expect));
            break;
        }
        case 3: { // line break
            if (!n) return;
            int l = Line(), c = Col(l);
            ASSERT_EQ(1, vm_set_position(b, l, c));
            ASSERT_EQ(1, vm_split_line(b, 1));
            std::string& s = model[size_t(l - 1)];
            std::string tail = s.substr(size_t(c));
            s.resize(size_t(c));
            model.insert(model.begin() + l, tail);
            EXPECT_EQ(l + 1, vm_cur_line(b));
            EXPECT_EQ(0, vm_cur_col(b));
            break;
        }
        case 4: { // join
            if (n < 2) return;
            int l = Rand(1, n - 1), col = -1;
            ASSERT_EQ(int(model[size_t(l - 1)].size()), vm_join_lines(b, l, &col));
            model[size_t(l - 1)] += model[size_t(l)];
            model.erase(model.begin() + l);
            break;
        }
        case 5: { // delete a line
            if (!n) return;
            int l = Line();
            ASSERT_EQ(1, vm_delete_line(b, l));
            model.erase(model.begin() + (l - 1));
            break;
        }
        case 6: { // delete a run of lines
            if (!n) return;
            int l = Line(), k = Rand(1, 5);
            int r = vm_delete_lines(b, l, k, 0);
            model.erase(model.begin() + (l - 1), model.begin() + std::min(n, l - 1 + k));
            ASSERT_EQ(model.empty() ? 1 : 0, r);
            break;
        }
        case 7: { // replace a line
            if (!n) return;
            int l = Line();
            std::string t = Text(Length());
            ASSERT_EQ(1, vm_replace_line(b, l, t.data(), int(t.size()), 1));
            model[size_t(l - 1)] = t;
            break;
        }
        case 8: { // delete to the end of the line
            if (!n) return;
            int l = Line(), c = Col(l);
            std::string& s = model[size_t(l - 1)];
            ASSERT_EQ(int(s.size()) - c, vm_delete_to_eol(b, l, c));
            s.resize(size_t(c));
            break;
        }
        case 9: { // put characters at a position
            if (!n) return;
            int l = Line(), c = Col(l);
            ASSERT_EQ(1, vm_set_position(b, l, c));
            ASSERT_EQ(1, vm_put_string(b, "xy", 'z'));
            model[size_t(l - 1)].insert(size_t(c), "xyz");
            break;
        }
        case 10: { // join through vm_delete_char(-2)
            if (n < 2) return;
            int l = Rand(1, n - 1);
            ASSERT_EQ(1, vm_set_position_eol(b, l));
            ASSERT_EQ(1, vm_delete_char(b, VM_DEL_EOL));
            model[size_t(l - 1)] += model[size_t(l)];
            model.erase(model.begin() + l);
            break;
        }
        }
    }

    void Verify(int step) {
        ASSERT_EQ("", Structure(b)) << "after step " << step;
        ASSERT_EQ(int(model.size()), vm_last_ln(b)) << "after step " << step;
        ASSERT_TRUE(Lines(b) == model) << "content differs after step " << step;
    }
};

TEST_F(RandomOps, LineOperationsMatchAModel) {
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(seed);
        rng.seed(seed);
        model.clear();
        b = vmb_open(VMB_T_TEMP, nullptr, 0);
        ASSERT_NE(nullptr, b);
        for (int step = 0; step < 1500; ++step) {
            int op = Rand(0, 10);
            if (model.size() < 5)
                op = 0;
            ASSERT_NO_FATAL_FAILURE(Step(op)) << "step " << step << " op " << op;
            ASSERT_EQ("", Structure(b)) << "step " << step << " op " << op;
            if (step % 100 == 0) {
                ASSERT_NO_FATAL_FAILURE(Verify(step));
            }
        }
        ASSERT_NO_FATAL_FAILURE(Verify(-1));
        vmb_close(b, 0);
    }
}

// Enough pages for the directory to overflow its 510 entries, then
// deletions until directory pages merge again.
TEST_F(RandomOps, DirectoryOverflowsAndMergesBack) {
    rng.seed(7);
    b = vmb_open(VMB_T_TEMP, nullptr, 0);
    // Lines of 2000-4500 bytes: about a page each, some spanning two.
    for (int i = 0; i < 1400; ++i) {
        int after = Rand(0, int(model.size()));
        std::string t = Text(Rand(2000, 4500));
        ASSERT_EQ(after + 1, vm_insert_line(b, after, t.data(), int(t.size())));
        model.insert(model.begin() + after, t);
        if (i % 25 == 0) {
            ASSERT_EQ("", Structure(b)) << i;
        }
    }
    ASSERT_NO_FATAL_FAILURE(Verify(0));
    size_t dirs = vmtest::DirPages(b).size();
    EXPECT_GE(dirs, 3u);
    // Edits in the middle split pages inside full directory pages.
    for (int i = 0; i < 300; ++i) {
        ASSERT_NO_FATAL_FAILURE(Step(Rand(0, 3)));
        ASSERT_EQ("", Structure(b)) << i;
    }
    ASSERT_NO_FATAL_FAILURE(Verify(1));
    while (model.size() > 40) {
        int l = Line();
        ASSERT_EQ(1, vm_delete_line(b, l));
        model.erase(model.begin() + (l - 1));
        if (model.size() % 37 == 0) {
            ASSERT_EQ("", Structure(b)) << model.size();
        }
    }
    ASSERT_NO_FATAL_FAILURE(Verify(2));
    EXPECT_EQ(1u, vmtest::DirPages(b).size());
    ASSERT_EQ(1, vm_clear(b, 0));
    EXPECT_EQ(0u, b->dir_first);
    EXPECT_EQ(0u, b->page_id);
    EXPECT_EQ("", Structure(b));
}

// Positioning from wherever the last call left the position: to lines
// before and after it, in other directory pages, from the middle of a line
// that runs over several pages, and next to it.
TEST_F(RandomOps, PositioningFromAnyPlace) {
    rng.seed(11);
    b = vmb_open(VMB_T_TEMP, nullptr, 0);
    for (int i = 0; i < 6000; ++i) {
        std::string t = Text(i % 97 == 0 ? Rand(5000, 12000) : Rand(0, 700));
        ASSERT_EQ(i + 1, vm_insert_line(b, i, t.data(), int(t.size())));
        model.push_back(t);
    }
    ASSERT_GE(vmtest::DirPages(b).size(), 2u);
    std::vector<char> out;
    for (int i = 0; i < 3000; ++i) {
        int from = Line(), col = Col(from);
        ASSERT_EQ(1, vm_set_position(b, from, col));
        int r = Rand(0, 3);
        int to = r == 0 ? from + Rand(-2, 2) : r == 1 ? Rand(1, 3) : Line();
        to = std::max(1, std::min(int(model.size()), to));
        const std::string& want = model[size_t(to - 1)];
        out.assign(want.size() + 1, 0);
        ASSERT_EQ(int(want.size()), vm_read_text(b, to, 0, out.data(), int(want.size()), nullptr))
            << from << ":" << col << " -> " << to;
        ASSERT_EQ(want, std::string(out.data(), want.size())) << from << ":" << col << " -> " << to;
    }
    EXPECT_EQ("", Structure(b));
}

} // namespace
