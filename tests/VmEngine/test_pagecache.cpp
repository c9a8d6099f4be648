// The page cache and the swap file: spilling and fetching pages, pinning,
// failed writes and short reads, and the swap file's free-page chain.
#include "VmEngine/pagecache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "VmEngine/swapfile.h"
#include "VmEngine/vmbytes.h"
#include "opsys/bufstream.h"
#include "opsys/msgout.h"
#include "tests/support/fs_faults.h"
#include "tests/support/temp_dir.h"
#ifdef _WIN32
#include <windows.h>

#include "opsys/msgbox_backend.h"
#endif

using qwtest::ReadFileBytes;
using qwtest::ScopedFsFaults;
using qwtest::TempDir;

namespace {

// Counts the message boxes the cache shows (the host build's stand-in).
int g_boxes = 0;
std::string g_last_box;
#ifndef _WIN32
int CountBox(const char* text, const char*, unsigned) {
    // Only the cache's own reports count (a missing string resource of the
    // host build may show a box of its own).
    std::string t = text ? text : "";
    if (t.find("KV: ") != std::string::npos || t.find("Swap File") != std::string::npos) {
        ++g_boxes;
        g_last_box = t;
    }
    return 1;
}
#else
int CountBox(HWND, const char* text, const char*, UINT) {
    // Only the cache's own reports count (a missing string resource of the
    // host build may show a box of its own).
    std::string t = text ? text : "";
    if (t.find("KV: ") != std::string::npos || t.find("Swap File") != std::string::npos) {
        ++g_boxes;
        g_last_box = t;
    }
    return 1;
}
#endif

class PageCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_boxes = 0;
        g_last_box.clear();
#ifndef _WIN32
        old_ = QwSetHostMessageBox(CountBox);
#else
        old_ = QwSetMessageBoxBackend(CountBox);
#endif
        swap_ = dir_.file("QW32_Swap.001");
    }
    void TearDown() override {
        pc_stop();
#ifndef _WIN32
        QwSetHostMessageBox(old_);
#else
        QwSetMessageBoxBackend(old_);
#endif
    }

    static uint8_t Pattern(uint32_t id, int i) { return uint8_t(id * 31 + i * 7 + (i >> 8)); }
    static void Fill(uint8_t* page, uint32_t id) {
        for (int i = 4; i < 4096; ++i) page[i] = Pattern(id, i);
    }
    static bool Intact(const uint8_t* page, uint32_t id) {
        if (!page || page[0] != uint8_t(id) || page[1] != uint8_t(id >> 8)) return false;
        for (int i = 4; i < 4096; ++i)
            if (page[i] != Pattern(id, i)) return false;
        return true;
    }

    TempDir dir_;
    std::string swap_;
#ifndef _WIN32
    QwHostMessageBoxFn old_ = nullptr;
#else
    QwMessageBoxBackend old_ = nullptr;
#endif
};

TEST_F(PageCacheTest, SpillAndReturnWithSmallCache) {
    ASSERT_EQ(1, pc_start(1000, swap_.c_str())); // below the minimum: 60 frames
    EXPECT_EQ(60u, pc_frame_count());
    std::vector<uint32_t> ids;
    for (int i = 0; i < 3000; ++i) {
        uint32_t id = 0;
        uint8_t* p = pc_new_page(&id);
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(uint32_t(i + 1), id);
        Fill(p, id);
        ids.push_back(id);
    }
    std::mt19937 rng(5);
    for (int round = 0; round < 3; ++round) {
        std::shuffle(ids.begin(), ids.end(), rng);
        for (uint32_t id : ids) ASSERT_TRUE(Intact(pc_find_page(id, 1), id)) << id;
    }
    EXPECT_EQ(nullptr, pc_find_page(0, 1));
    EXPECT_EQ(nullptr, pc_find_page(3001, 1)); // never handed out
    EXPECT_EQ(0, g_boxes);

    // Released ids come back before the file grows; the memory is zeroed.
    EXPECT_EQ(1, pc_release_page(17));
    uint32_t id = 0;
    uint8_t* p = pc_new_page(&id);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(17u, id);
    EXPECT_EQ(0, p[100]);
}

TEST_F(PageCacheTest, PinnedPageStaysAndAllPinnedFails) {
    ASSERT_EQ(1, pc_start(0, swap_.c_str()));
    uint32_t pinned = 0;
    uint8_t* addr = pc_new_page(&pinned);
    ASSERT_NE(nullptr, addr);
    Fill(addr, pinned);
    pc_pin(pinned);
    pc_pin(pinned); // pins nest
    for (int i = 0; i < 500; ++i) {
        uint32_t id;
        uint8_t* p = pc_new_page(&id);
        ASSERT_NE(nullptr, p);
        Fill(p, id);
    }
    EXPECT_EQ(addr, pc_find_page(pinned, 0));
    EXPECT_TRUE(Intact(addr, pinned));
    pc_unpin(pinned);
    for (int i = 0; i < 200; ++i) pc_new_page(nullptr);
    EXPECT_EQ(addr, pc_find_page(pinned, 0)); // still one pin
    pc_unpin(pinned);

    // Pin every frame: making room must fail, never evict a pinned page.
    std::vector<uint32_t> ids;
    for (uint32_t i = 0; i < pc_frame_count(); ++i) {
        uint32_t id;
        uint8_t* p = pc_new_page(&id);
        ASSERT_NE(nullptr, p);
        Fill(p, id);
        pc_pin(id);
        ids.push_back(id);
    }
    EXPECT_EQ(nullptr, pc_new_page(nullptr));
    EXPECT_EQ(nullptr, pc_find_page(pinned, 1));
    for (uint32_t id : ids) EXPECT_TRUE(Intact(pc_find_page(id, 0), id));
    pc_unpin(ids[0]);
    EXPECT_NE(nullptr, pc_find_page(pinned, 1));
    EXPECT_TRUE(Intact(pc_find_page(pinned, 1), pinned));
}

TEST_F(PageCacheTest, FailedWriteKeepsPageAndIsReportedOnce) {
    ScopedFsFaults layer;
    ASSERT_EQ(1, pc_start(0, swap_.c_str()));
    std::vector<uint32_t> ids;
    for (int i = 0; i < 100; ++i) {
        uint32_t id;
        uint8_t* p = pc_new_page(&id);
        ASSERT_NE(nullptr, p);
        Fill(p, id);
        ids.push_back(id);
    }
    // Every page in memory changed (new pages may have been written ahead
    // of their turn), so each needs the swap file before it can leave.
    for (uint32_t id : ids) pc_mark_dirty(id);
    layer.state.write_budget = 0; // the disk is full
    EXPECT_EQ(nullptr, pc_new_page(nullptr));
    EXPECT_EQ(nullptr, pc_find_page(ids[0], 1)); // in the swap file; no room
    EXPECT_EQ(nullptr, pc_new_page(nullptr));
    EXPECT_EQ(1, g_boxes);
    EXPECT_NE(std::string::npos, g_last_box.find("KV: "));
    layer.state.write_budget = -1; // room again: nothing was lost
    for (uint32_t id : ids) ASSERT_TRUE(Intact(pc_find_page(id, 1), id)) << id;
    EXPECT_EQ(1, g_boxes);
}

// Pages made one after another leave memory in runs written with one call;
// a run whose write stops part-way loses nothing and marks nothing clean.
TEST_F(PageCacheTest, ConsecutivePagesAreWrittenTogether) {
    ScopedFsFaults layer;
    ASSERT_EQ(1, pc_start(0, swap_.c_str()));
    std::vector<uint32_t> ids;
    for (int i = 0; i < 1000; ++i) {
        uint32_t id = 0;
        uint8_t* p = pc_new_page(&id);
        ASSERT_NE(nullptr, p);
        Fill(p, id);
        ids.push_back(id);
    }
    // 940 pages left memory; one write each would be 940 writes.
    EXPECT_GT(layer.state.writes, 0);
    EXPECT_LT(layer.state.writes, 100);

    // The disk fills in the middle of a run: the run's pages stay changed in
    // memory, so each is written again once there is room.
    for (uint32_t i = 0; i < 200; ++i) {
        uint32_t id = 0;
        uint8_t* p = pc_new_page(&id);
        if (i == 60) layer.state.write_budget = 3 * 4096 + 100;
        if (!p) break;
        Fill(p, id);
        ids.push_back(id);
    }
    EXPECT_EQ(1, g_boxes);
    layer.state.write_budget = -1;
    std::mt19937 rng(11);
    std::shuffle(ids.begin(), ids.end(), rng);
    for (uint32_t id : ids) ASSERT_TRUE(Intact(pc_find_page(id, 1), id)) << id;
    EXPECT_EQ(1, g_boxes);
}

// A loader makes pages in order while older pages come back from the swap
// file and frames are reserved ahead: the frames of a run are then no longer
// side by side. Such runs still leave in few writes, and every page stays
// intact wherever in a run the disk fills (each byte budget below stops the
// writes at another place of one).
TEST_F(PageCacheTest, RunsAmongPagesReadBackAndReservedFrames) {
    ScopedFsFaults layer;
    std::vector<uint32_t> ids;
    auto make = [&](int i) {
        if (i % 13 == 3 && !pc_reserve(2)) return false;
        if (i % 29 == 5 && ids.size() > 100) {
            const uint32_t old = ids[ids.size() - 90 + size_t(i % 50)];
            if (!Intact(pc_find_page(old, 1), old)) return false;
        }
        uint32_t id = 0;
        uint8_t* p = pc_new_page(&id);
        if (!p) return false;
        Fill(p, id);
        ids.push_back(id);
        return true;
    };
    for (int64_t budget = 0; budget <= 24 * 4096; budget += 4096 + 1365) {
        SCOPED_TRACE(budget);
        pc_stop();
        ids.clear();
        g_boxes = 0;
        layer.state.writes = 0;
        ASSERT_EQ(1, pc_start(0, swap_.c_str()));
        for (int i = 0; i < 1000; ++i) ASSERT_TRUE(make(i)) << i;
        // About 940 pages left memory: one write each would be as many.
        EXPECT_GT(layer.state.writes, 0);
        EXPECT_LT(layer.state.writes, 200);
        EXPECT_EQ(0, g_boxes);

        layer.state.write_budget = budget;
        int failed_at = -1;
        for (int i = 1000; i < 1200 && failed_at < 0; ++i)
            if (!make(i)) failed_at = i;
        EXPECT_GE(failed_at, 1000);
        EXPECT_EQ(1, g_boxes);
        layer.state.write_budget = -1;
        std::vector<uint32_t> order = ids;
        std::mt19937 rng(7);
        std::shuffle(order.begin(), order.end(), rng);
        for (uint32_t id : order) ASSERT_TRUE(Intact(pc_find_page(id, 1), id)) << id;
        EXPECT_EQ(1, g_boxes);
    }
}

TEST_F(PageCacheTest, ShortReadFailsTheFetch) {
    ScopedFsFaults layer;
    ASSERT_EQ(1, pc_start(0, swap_.c_str()));
    for (int i = 0; i < 100; ++i) {
        uint32_t id = 0;
        uint8_t* p = pc_new_page(&id);
        ASSERT_NE(nullptr, p);
        Fill(p, id);
    }
    layer.state.short_read_at = 0; // the swap file ends early
    EXPECT_EQ(nullptr, pc_find_page(1, 1));
    layer.state.short_read_at = -1;
    EXPECT_TRUE(Intact(pc_find_page(1, 1), 1));
}

TEST_F(PageCacheTest, SwapFileLifecycle) {
    ASSERT_EQ(1, pc_start(0, swap_.c_str()));
    EXPECT_TRUE(buf_file_exists(swap_.c_str()));
    pc_stop();
    EXPECT_FALSE(buf_file_exists(swap_.c_str()));
    EXPECT_EQ(0u, pc_frame_count());

    std::string bad = dir_.file("missing-folder/QW32_Swap.002");
    EXPECT_EQ(0, pc_start(0, bad.c_str()));
    EXPECT_EQ(1, g_boxes);
    EXPECT_NE(std::string::npos, g_last_box.find("Unable to open QW Swap File: " + bad));
    EXPECT_EQ(0u, pc_frame_count());
    EXPECT_EQ(nullptr, pc_new_page(nullptr));
}

uint32_t Get32(const std::string& s, size_t at) {
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 |
           uint32_t(uint8_t(s[at + 2])) << 16 | uint32_t(uint8_t(s[at + 3])) << 24;
}

TEST(SwapFile, FreeIdStackAndChain) {
    TempDir dir;
    std::string path = dir.file("QW32_Swap.003");
    SwapFile sw;
    ASSERT_EQ(1, swap_open(&sw, path.c_str(), nullptr));
    for (uint32_t i = 1; i <= 300; ++i) ASSERT_EQ(i, swap_new_id(&sw));
    for (uint32_t id = 1; id <= 253; ++id) ASSERT_EQ(1, swap_release_id(&sw, id));
    EXPECT_EQ(250u, sw.stack_count);
    EXPECT_EQ(253u, sw.chain_head);

    // The chain lives in the released pages' own slots (the newest records
    // wait in memory until written together).
    ASSERT_EQ(1, swap_write_chain(&sw));
    buf_file_close(sw.file);
    std::string bytes = ReadFileBytes(path);
    sw.file = buf_file_open(path.c_str(), BS_READWRITE, nullptr);
    ASSERT_NE(nullptr, sw.file);
    for (uint32_t id = 251, next = 0; id <= 253; next = id, ++id) {
        ASSERT_GE(bytes.size(), size_t(id) * 4096 + 12);
        EXPECT_EQ(id, Get32(bytes, id * 4096));
        EXPECT_EQ(0xABCDEF04u, Get32(bytes, id * 4096 + 4));
        EXPECT_EQ(next, Get32(bytes, id * 4096 + 8));
    }

    // All 253 come back (stack first, then the chain) before the file grows.
    std::vector<uint32_t> got;
    for (int i = 0; i < 253; ++i) got.push_back(swap_new_id(&sw));
    std::sort(got.begin(), got.end());
    for (uint32_t i = 0; i < 253; ++i) EXPECT_EQ(i + 1, got[i]);
    EXPECT_EQ(301u, swap_new_id(&sw));

    // Pages past 4 GB of file.
    uint8_t page[4096], back[4096];
    for (int i = 0; i < 4096; ++i) page[i] = uint8_t(i * 13);
    uint32_t far_id = 1048600; // offset 4 GB + 24 pages
    sw.highest = far_id;
    ASSERT_EQ(1, swap_write_page(&sw, far_id, page));
    ASSERT_EQ(1, swap_read_page(&sw, far_id, back));
    EXPECT_EQ(0, memcmp(page, back, 4096));
    EXPECT_EQ(0, swap_read_page(&sw, far_id + 1, back)); // beyond the end: short

    swap_close(&sw);
    EXPECT_FALSE(buf_file_exists(path.c_str()));
    EXPECT_EQ(0, swap_release_id(&sw, 5)); // closed
}

TEST(SwapFile, ReadingOnServesWhatWasLastWritten) {
    // A reader going through the pages in order is served from slots read
    // ahead; a write into those slots (a page changed and evicted again, a
    // released id's chain record) must be what the next read returns.
    TempDir dir;
    std::string path = dir.file("QW32_Swap.004");
    SwapFile sw;
    ASSERT_EQ(1, swap_open(&sw, path.c_str(), nullptr));
    uint8_t page[4096], back[4096];
    auto fill = [&](uint32_t id, uint8_t salt) {
        for (int i = 0; i < 4096; ++i) page[i] = uint8_t(i * 7 + id + salt);
        vmi::wr32(page, id);
    };
    for (uint32_t i = 1; i <= 200; ++i) ASSERT_EQ(i, swap_new_id(&sw));
    for (uint32_t id = 1; id <= 200; ++id) {
        fill(id, 0);
        ASSERT_EQ(1, swap_write_page(&sw, id, page));
    }
    for (uint32_t id = 1; id <= 200; id += (id % 5 == 0 ? 3 : 1)) {
        SCOPED_TRACE(id);
        ASSERT_EQ(1, swap_read_page(&sw, id, back));
        if (id == 100) {
            EXPECT_EQ(100u, vmi::rd32(back)); // the chain record
            EXPECT_EQ(SWAP_FREE_MAGIC, vmi::rd32(back + 4));
        } else {
            fill(id, id == 23 ? 99 : 0);
            ASSERT_EQ(0, memcmp(page, back, 4096));
        }
        if (id == 20) { // rewrite a slot ahead of the reader
            fill(23, 99);
            ASSERT_EQ(1, swap_write_pages(&sw, 23, 1, page));
        }
        if (id == 90) { // release one: its chain record goes into its slot
            for (uint32_t k = 0; k <= SWAP_STACK_MAX; ++k) ASSERT_EQ(1, swap_release_id(&sw, 100));
            ASSERT_EQ(100u, sw.chain_head);
            ASSERT_EQ(1, swap_write_chain(&sw));
        }
    }
    // Ids issued but never written: nothing past the end of the file is
    // handed out, read ahead or not.
    sw.highest = 210;
    ASSERT_EQ(1, swap_read_page(&sw, 199, back));
    ASSERT_EQ(1, swap_read_page(&sw, 200, back));
    EXPECT_EQ(0, swap_read_page(&sw, 201, back));
    swap_close(&sw);
}

// Closing a large buffer releases long runs of neighbouring ids between ids
// still in use. The chain records beyond the stack go into the file a batch
// at a time, a run of free slots per write: the pages still in use beside
// them must come through untouched, and every released id must come back
// once, newest first, before the file grows.
TEST(SwapFile, ReleasedRunsAreRecordedAroundPagesInUse) {
    TempDir dir;
    std::string path = dir.file("QW32_Swap.005");
    SwapFile sw;
    ASSERT_EQ(1, swap_open(&sw, path.c_str(), nullptr));
    const uint32_t n = 2 * SWAP_RELEASE_BATCH + 1500;
    // In use: every 7th id of the first part (runs of 6 free ids between
    // them), a few single ones further on (runs longer than one write).
    auto in_use = [](uint32_t id) { return (id < 3000 && id % 7 == 0) || id % 1000 == 999 || id == n; };
    uint8_t page[4096], back[4096];
    auto fill = [&](uint32_t id) {
        for (int i = 0; i < 4096; ++i) page[i] = uint8_t(i * 11 + id * 3 + 1);
        vmi::wr32(page, id);
    };
    std::vector<uint32_t> released;
    for (uint32_t id = 1; id <= n; ++id) {
        ASSERT_EQ(id, swap_new_id(&sw));
        fill(id);
        ASSERT_EQ(1, swap_write_page(&sw, id, page)); // every slot held a page once
        if (!in_use(id)) released.push_back(id);
    }
    // Not quite in order, as pages of a buffer are.
    std::mt19937 rng(26);
    for (size_t i = 0; i + 40 <= released.size(); i += 40) std::shuffle(released.begin() + i, released.begin() + i + 40, rng);
    for (uint32_t id : released) ASSERT_EQ(1, swap_release_id(&sw, id)) << id;
    EXPECT_EQ(uint32_t(SWAP_STACK_MAX), sw.stack_count);
    EXPECT_LT(sw.batch_count, uint32_t(SWAP_RELEASE_BATCH)); // full batches went out on their own
    ASSERT_EQ(1, swap_write_chain(&sw));
    EXPECT_EQ(0u, sw.batch_count);

    for (uint32_t id = 1; id <= n; ++id) {
        if (!in_use(id)) continue;
        ASSERT_EQ(1, swap_read_page(&sw, id, back)) << id;
        fill(id);
        ASSERT_EQ(0, memcmp(page, back, 4096)) << id;
    }
    // The chain in the file, from its head: the released ids past the stack,
    // newest first.
    buf_file_close(sw.file);
    std::string bytes = ReadFileBytes(path);
    sw.file = buf_file_open(path.c_str(), BS_READWRITE, nullptr);
    sw.pos = -1;
    ASSERT_NE(nullptr, sw.file);
    std::vector<uint32_t> chain;
    for (uint32_t id = sw.chain_head; id && chain.size() <= released.size(); id = Get32(bytes, size_t(id) * 4096 + 8)) {
        ASSERT_GE(bytes.size(), size_t(id) * 4096 + 12);
        ASSERT_EQ(id, Get32(bytes, size_t(id) * 4096));
        ASSERT_EQ(SWAP_FREE_MAGIC, Get32(bytes, size_t(id) * 4096 + 4));
        chain.push_back(id);
    }
    std::vector<uint32_t> expect(released.rbegin(), released.rend() - SWAP_STACK_MAX);
    EXPECT_EQ(expect, chain);

    // Taken again: the stack's (the first released) newest first, then the chain.
    std::vector<uint32_t> got;
    for (size_t i = 0; i < released.size(); ++i) got.push_back(swap_new_id(&sw));
    expect.assign(released.rend() - SWAP_STACK_MAX, released.rend());
    expect.insert(expect.end(), released.rbegin(), released.rend() - SWAP_STACK_MAX);
    EXPECT_EQ(expect, got);
    EXPECT_EQ(n + 1, swap_new_id(&sw));
    swap_close(&sw);
}

// A batch that cannot be written (the disk is full) stays in memory: the
// release that needed its room fails (its page keeps the id), the ids held
// still come back, and once there is room again nothing was lost, however
// far the failed write had got.
TEST(SwapFile, ChainRecordsThatCannotBeWrittenAreKept) {
    for (int64_t budget : {int64_t(0), int64_t(5000), int64_t(300000)}) {
        SCOPED_TRACE(budget);
        ScopedFsFaults layer;
        TempDir dir;
        std::string path = dir.file("QW32_Swap.006");
        SwapFile sw;
        ASSERT_EQ(1, swap_open(&sw, path.c_str(), nullptr));
        const uint32_t held = SWAP_STACK_MAX + SWAP_RELEASE_BATCH;
        for (uint32_t id = 1; id <= held + 10; ++id) ASSERT_EQ(id, swap_new_id(&sw));
        for (uint32_t id = 1; id <= held; ++id) ASSERT_EQ(1, swap_release_id(&sw, id));
        layer.state.write_budget = budget;
        EXPECT_EQ(0, swap_release_id(&sw, held + 1));
        EXPECT_EQ(0, swap_write_chain(&sw));
        EXPECT_EQ(uint32_t(SWAP_RELEASE_BATCH), sw.batch_count);
        EXPECT_EQ(held, sw.chain_head);
        if (budget == 0) {
            // Taken back from memory alone (the stack, then the batch), then a new id.
            for (uint32_t id = SWAP_STACK_MAX; id >= 1; --id) ASSERT_EQ(id, swap_new_id(&sw));
            for (uint32_t id = held; id > SWAP_STACK_MAX; --id) ASSERT_EQ(id, swap_new_id(&sw));
            EXPECT_EQ(held + 11, swap_new_id(&sw));
        } else {
            layer.state.write_budget = -1;
            ASSERT_EQ(1, swap_release_id(&sw, held + 1)); // writes the batch
            ASSERT_EQ(1, swap_release_id(&sw, held + 2));
            EXPECT_EQ(2u, sw.batch_count);
            std::vector<uint32_t> got;
            for (uint32_t i = 0; i < held + 2; ++i) got.push_back(swap_new_id(&sw));
            std::sort(got.begin(), got.end());
            for (uint32_t i = 0; i < held + 2; ++i) ASSERT_EQ(i + 1, got[i]);
            EXPECT_EQ(held + 11, swap_new_id(&sw));
        }
        swap_close(&sw);
    }
}

// The ids of a closed buffer, released in order, come back down the chain
// one by one: their records are read a window of slots at a time, not one
// call each. Pages written meanwhile into the ids taken (the page cache
// writing them out) must not be mistaken for records, nor records for pages.
TEST(SwapFile, ARunReleasedInOrderComesBackThroughFewReads) {
    ScopedFsFaults layer;
    TempDir dir;
    std::string path = dir.file("QW32_Swap.007");
    SwapFile sw;
    ASSERT_EQ(1, swap_open(&sw, path.c_str(), nullptr));
    const uint32_t n = SWAP_STACK_MAX + 600;
    uint8_t page[4096], back[4096];
    auto fill = [&](uint32_t id, uint8_t salt) {
        for (int i = 0; i < 4096; ++i) page[i] = uint8_t(i * 5 + id + salt);
        vmi::wr32(page, id);
    };
    for (uint32_t id = 1; id <= n; ++id) ASSERT_EQ(id, swap_new_id(&sw));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        for (uint32_t id = 1; id <= n; ++id) {
            fill(id, 0);
            ASSERT_EQ(1, swap_write_page(&sw, id, page));
        }
        for (uint32_t id = 1; id <= n; ++id) ASSERT_EQ(1, swap_release_id(&sw, id));
        ASSERT_EQ(1, swap_write_chain(&sw));
        for (uint32_t id = SWAP_STACK_MAX; id >= 1; --id) ASSERT_EQ(id, swap_new_id(&sw));
        const int reads = layer.state.reads;
        for (uint32_t id = n; id > SWAP_STACK_MAX; --id) {
            ASSERT_EQ(id, swap_new_id(&sw));
            if (round == 1 && id % 3 == 0) { // a page written into an id just taken
                fill(id, 7);
                ASSERT_EQ(1, swap_write_page(&sw, id, page));
                ASSERT_EQ(1, swap_read_page(&sw, id, back));
                ASSERT_EQ(0, memcmp(page, back, 4096));
            }
        }
        if (round == 0) {
            EXPECT_LT(layer.state.reads - reads, 20);
        }
        EXPECT_EQ(n + 1, swap_new_id(&sw));
        sw.highest = n; // the same ids again next round
    }
    swap_close(&sw);
}

} // namespace
