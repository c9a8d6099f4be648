// The page cache: a fixed set of 4096-byte frames in most-recently-used
// order over the swap file (swapfile.h). The most recent frame is the head
// of the order, the next victim its tail. A frame is either free or holds
// one page; a pinned frame is never chosen as a victim.
//
// A victim is written only when it changed since it was last read from or
// written to the swap file (new pages always): the swap file already holds
// an unchanged page byte for byte, and reading through a large buffer
// would otherwise write every page it passes. The engine reports changes
// through pc_mark_dirty.
//
// A victim that is a new page never written yet takes along the other such
// pages near the tail whose ids continue its id on either side, written
// with a few calls: a large file being loaded (or a long insert) makes pages
// with ascending ids one after another, and they leave memory in the same
// order, so a few writes replace dozens. Frames are handed out in the order
// of their memory, so such pages mostly sit side by side and are written
// from where they are; the few out of step are gathered into one buffer.
// The pages taken along stay where they are in the order, merely clean, and
// only after their write succeeded. Only the tail half of the order is looked at, so a
// page the engine used lately (and may still be changing through an address
// it holds) is never among them. Pages read back from the swap file and
// changed are written one at a time when they leave, as before: their ids
// seldom run on, and an edit finds them changed until then.
//
// Two rules keep user text safe when the swap file misbehaves:
// - a victim whose page cannot be written keeps its page (the next frame
//   toward the head is tried; when none can be freed the request fails),
//   and the first such failure is reported;
// - a page that cannot be read back completely is not handed out.
#include "VmEngine/pagecache.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "VmEngine/swapfile.h"
#include "VmEngine/vmbytes.h"
#include "opsys/bufstream.h"
#include "opsys/msgout.h"

namespace {

enum : uint8_t {
    FR_FREE = 0x80,     // the frame holds no page
    FR_PIN_MASK = 0x7F, // pin count
};

enum : uint32_t {
    PC_RUN_MAX = 64,     // pages written with one call at most
    PC_RUN_WINDOW = 256, // frames from the tail that may join a victim's write
    PC_MEMO = 16,        // recently found pages remembered by the low bits of the id
    PC_RUN_IN_PLACE = 8, // pages side by side in memory written from where they are
};

struct Frame {
    uint32_t id = 0;      // page id; a free frame may still carry an id whose
                          // release could not be recorded (reused first)
    uint8_t* mem = nullptr;
    uint8_t state = FR_FREE;
    bool dirty = false;   // changed since it was last read from or written
                          // to the swap file
    int prev = -1;        // toward the most recent
    int next = -1;        // toward the victim
    bool fresh = false;   // made by pc_new_page and never written since
    uint32_t seen = 0;    // the write that last found it near the tail
};

struct PageCache {
    bool started = false;
    std::vector<Frame> frames;
    int head = -1;
    int tail = -1;
    // Page id -> frame + 1 (0: in no frame). Indexed by id, since ids are
    // handed out from 1 upwards and reused: 4 bytes for every id issued, a
    // megabyte per gigabyte of text, where a map cost a hash per look-up.
    std::vector<int> resident;
    SwapFile swap;
    uint32_t free_frames = 0;   // frames that hold no page
    bool write_failure_reported = false;
    std::unique_ptr<uint8_t[]> run_buf; // PC_RUN_MAX pages; null: one at a time
    uint8_t* block = nullptr; // the memory of every frame, when one allocation gave it
    uint32_t run_stamp = 0;
    int memo[PC_MEMO] = {}; // frame + 1 where a page was last found; checked before use
};

PageCache g_pc;
// Bumped by every release and by every start and stop; never reset, so a
// value taken earlier tells whether any page id may have changed hands.
uint32_t g_release_count = 0;

void unlink_frame(int f) {
    Frame& fr = g_pc.frames[f];
    if (fr.prev >= 0) g_pc.frames[fr.prev].next = fr.next;
    else g_pc.head = fr.next;
    if (fr.next >= 0) g_pc.frames[fr.next].prev = fr.prev;
    else g_pc.tail = fr.prev;
    fr.prev = fr.next = -1;
}

// Moves a frame to the head (most recent) or the tail (next victim) of the
// order.
void move_frame(int f, bool front) {
    if ((front ? g_pc.head : g_pc.tail) == f) return;
    unlink_frame(f);
    Frame& fr = g_pc.frames[f];
    int& end = front ? g_pc.head : g_pc.tail;
    int& other = front ? g_pc.tail : g_pc.head;
    (front ? fr.next : fr.prev) = end;
    if (end >= 0) (front ? g_pc.frames[end].prev : g_pc.frames[end].next) = f;
    end = f;
    if (other < 0) other = f;
}

void to_front(int f) { move_frame(f, true); }
void to_back(int f) { move_frame(f, false); }

// The frame's page is gone from memory (written out, released, or never
// read): the frame is free for the next page.
// Its id word is cleared, so that an address remembered by the engine no
// longer matches the page.
void set_free(Frame& fr) {
    if (!(fr.state & FR_FREE)) ++g_pc.free_frames;
    fr.state = FR_FREE;
    vmi::wr32(fr.mem, 0);
}

// The frame now holds page `id`.
void set_page(int f, uint32_t id) {
    Frame& fr = g_pc.frames[f];
    if (fr.state & FR_FREE) --g_pc.free_frames;
    fr.id = id;
    fr.state = 0;
    if (id >= g_pc.resident.size()) {
        size_t want = g_pc.resident.size() * 2;
        if (want <= id) want = size_t(id) + 1024;
        g_pc.resident.resize(want, 0);
    }
    g_pc.resident[id] = f + 1;
}

void report_write_failure(uint32_t id) {
    if (g_pc.write_failure_reported) return;
    g_pc.write_failure_reported = true;
    MsgOut(QW_MSG_SERIOUS | QW_MSG_BOX | QW_MSG_LOG,
           "KV: In pc_make_room() writing page %u to the swap file %s failed; "
           "the page stays in memory",
           id, g_pc.swap.name ? g_pc.swap.name : "");
}

// A new, never written, unpinned page (with near_tail: one that the current
// run search found near the tail).
int run_member(uint32_t id, bool near_tail = true) {
    if (id == 0) return -1;
    const int f = id < g_pc.resident.size() ? g_pc.resident[id] - 1 : -1;
    if (f < 0) return -1;
    const Frame& fr = g_pc.frames[f];
    if ((near_tail && fr.seen != g_pc.run_stamp) || !fr.dirty || !fr.fresh ||
        (fr.state & (FR_FREE | FR_PIN_MASK)))
        return -1;
    return f;
}

// Writes a new victim together with the new, unpinned pages near the tail
// whose ids run on from its id without a gap. True when the victim's page
// is in the swap file and marked clean (with it every page of the run whose
// write succeeded); false when there is no such run or the victim's part of
// it failed (then the victim is written alone).
bool write_run(int victim) {
    if (!g_pc.run_buf || !g_pc.frames[victim].fresh) return false;
    const uint32_t vid = g_pc.frames[victim].id;
    if (run_member(vid - 1, false) < 0 && run_member(vid + 1, false) < 0) return false;
    if (++g_pc.run_stamp == 0) {
        for (Frame& fr : g_pc.frames) fr.seen = 0;
        g_pc.run_stamp = 1;
    }
    uint32_t window = static_cast<uint32_t>(g_pc.frames.size() / 2);
    if (window > PC_RUN_WINDOW) window = PC_RUN_WINDOW;
    bool victim_seen = false;
    uint32_t n = 0;
    for (int f = g_pc.tail; f >= 0 && n < window; f = g_pc.frames[f].prev, ++n) {
        g_pc.frames[f].seen = g_pc.run_stamp;
        if (f == victim) victim_seen = true;
    }
    if (!victim_seen) return false;

    uint32_t first = vid, count = 1;
    while (count < PC_RUN_MAX && first > 1 && run_member(first - 1) >= 0) {
        --first;
        ++count;
    }
    while (count < PC_RUN_MAX && first + count > first && run_member(first + count) >= 0) ++count;
    if (count < 2) return false;

    // Pages made one after another mostly sit in frames that follow one
    // another in the one block of frame memory. Such a stretch is written
    // from where it is; pages out of step (a page read back meanwhile took
    // a frame among them) are gathered into the run buffer together with
    // their neighbours in id, as long as those stretches are short. A copy
    // of every page would cost more than the few extra writes.
    int frames[PC_RUN_MAX];
    for (uint32_t i = 0; i < count; ++i) frames[i] = first + i == vid ? victim : run_member(first + i);
    auto written = [&](uint32_t from, uint32_t n) {
        for (uint32_t i = from; i < from + n; ++i) g_pc.frames[frames[i]].dirty = g_pc.frames[frames[i]].fresh = false;
    };
    uint8_t* gather = g_pc.run_buf.get();
    uint32_t gathered = 0, gather_from = 0;
    auto flush = [&]() {
        if (!gathered) return true;
        if (!swap_write_pages(&g_pc.swap, first + gather_from, gathered, gather)) return false;
        written(gather_from, gathered);
        gathered = 0;
        return true;
    };
    for (uint32_t i = 0; i < count;) {
        uint32_t n = 1;
        const uint8_t* mem = g_pc.frames[frames[i]].mem;
        while (i + n < count && g_pc.frames[frames[i + n]].mem == mem + size_t(n) * 4096) ++n;
        if (n >= PC_RUN_IN_PLACE) {
            if (!flush() || !swap_write_pages(&g_pc.swap, first + i, n, mem)) break;
            written(i, n);
        } else {
            if (!gathered) gather_from = i;
            std::memcpy(gather + size_t(gathered) * 4096, mem, size_t(n) * 4096);
            gathered += n;
        }
        i += n;
        if (i == count) flush();
    }
    // Whatever part could not be written stays changed; the victim is
    // written alone when its part failed.
    return !g_pc.frames[victim].dirty;
}

// Puts a victim's page into the swap file unless it is there unchanged.
bool write_out(int f) {
    Frame& fr = g_pc.frames[f];
    if (!fr.dirty) return true;
    if (write_run(f)) return true;
    if (!swap_write_page(&g_pc.swap, fr.id, fr.mem)) {
        report_write_failure(fr.id);
        return false;
    }
    fr.dirty = fr.fresh = false;
    return true;
}

// A frame to hold another page: the free frame or the least recently used
// unpinned page nearest the tail (written to the swap file first). -1 when
// every frame is pinned or no victim's page could be written.
int make_room() {
    for (int f = g_pc.tail; f >= 0; f = g_pc.frames[f].prev) {
        Frame& fr = g_pc.frames[f];
        if (fr.state & FR_FREE) return f;
        if (fr.state & FR_PIN_MASK) continue;
        if (!write_out(f)) continue;
        g_pc.resident[fr.id] = 0;
        fr.id = 0;
        set_free(fr);
        return f;
    }
    return -1;
}

int find_frame(uint32_t id) {
    // The engine asks for the same few pages (a data page and its directory
    // page) many times per line; the memo spares the map those look-ups. An
    // entry is only a hint: the frame must still hold that page.
    int& memo = g_pc.memo[id & (PC_MEMO - 1)];
    if (memo > 0) {
        const Frame& fr = g_pc.frames[memo - 1];
        if (fr.id == id && !(fr.state & FR_FREE)) return memo - 1;
    }
    const int f = id < g_pc.resident.size() ? g_pc.resident[id] : 0;
    if (f == 0) return -1;
    memo = f;
    return f - 1;
}

int load_frame(uint32_t id, int touch) {
    if (!g_pc.started || id == 0 || id > g_pc.swap.highest) return -1;
    int f = find_frame(id);
    if (f >= 0) {
        if (touch) to_front(f);
        return f;
    }
    f = make_room();
    if (f < 0) return -1;
    Frame& fr = g_pc.frames[f];
    if (!swap_read_page(&g_pc.swap, id, fr.mem) || vmi::rd32(fr.mem) != id) {
        // Stale or partial bytes are never handed out as the page.
        fr.id = 0;
        vmi::wr32(fr.mem, 0);
        to_back(f);
        return -1;
    }
    set_page(f, id);
    fr.dirty = fr.fresh = false;
    if (touch) to_front(f);
    return f;
}

// "QW32_Swap." with a number nobody uses yet, in the temporary folder.
std::string own_swap_name() {
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec) dir = ".";
    static unsigned counter = 0;
    unsigned seed = static_cast<unsigned>(std::time(nullptr)) ^ (++counter * 2654435761u);
    for (int attempt = 0; attempt < 2000; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "QW32_Swap.%x", (seed + static_cast<unsigned>(attempt)) & 0xFFFFFu);
        std::string path = (dir / name).string();
        if (void* f = buf_file_open(path.c_str(), BS_WRITE | BS_CREATE | BS_FAIL_IF_EXISTS, nullptr)) {
            buf_file_close(f);
            return path;
        }
    }
    return (dir / "QW32_Swap.tmp").string();
}

} // namespace

static void free_frames_memory() {
    if (g_pc.block) std::free(g_pc.block);
    else for (Frame& fr : g_pc.frames) std::free(fr.mem);
    g_pc.block = nullptr;
}

int pc_start(uint32_t cache_bytes, const char* swap_path) {
    if (g_pc.started) pc_stop();
    ++g_release_count;
    uint32_t want = cache_bytes / 4096;
    if (want < 60) want = 60;
    g_pc.frames.reserve(want);
    g_pc.run_buf.reset(new (std::nothrow) uint8_t[size_t(PC_RUN_MAX) * 4096]);
    // One allocation for every frame: thousands of small ones cost a start
    // that only wants to show the first lines of a file. Where the block
    // cannot be had, frames are allocated one by one as far as they go.
    g_pc.block = static_cast<uint8_t*>(std::malloc(size_t(want) * 4096));
    for (uint32_t i = 0; i < want; ++i) {
        auto* mem = g_pc.block ? g_pc.block + size_t(i) * 4096 : static_cast<uint8_t*>(std::malloc(4096));
        if (!mem) break; // a smaller cache: the count is what really exists
        // Each frame goes in at the head: the first frame of the block is
        // the first taken, so pages made one after another land one after
        // another in memory and leave it with one write from where they are.
        Frame fr;
        fr.mem = mem;
        fr.next = g_pc.head;
        g_pc.frames.push_back(fr);
        ++g_pc.free_frames;
        int f = static_cast<int>(g_pc.frames.size() - 1);
        if (g_pc.head >= 0) g_pc.frames[g_pc.head].prev = f;
        else g_pc.tail = f;
        g_pc.head = f;
    }
    int os_error = 0;
    std::string own_path;
    if (!swap_path || !*swap_path) {
        // No name given (tests, tools): a swap file of our own in the
        // temporary folder, deleted at stop like any other.
        own_path = own_swap_name();
        swap_path = own_path.c_str();
    }
    if (g_pc.frames.empty() || !swap_open(&g_pc.swap, swap_path, &os_error)) {
        int cause = os_error == 0 ? 1 : os_error == 2 ? 2 : os_error == 3 ? 3 : os_error == 5 || os_error == 13 ? 5 : 1;
        MsgOut(QW_MSG_SERIOUS | QW_MSG_BOX | QW_MSG_LOG,
               "Unable to open QW Swap File: %s, Cause: %d, OsError: %d",
               swap_path ? swap_path : "", cause, os_error);
        free_frames_memory();
        g_pc = PageCache();
        return 0;
    }
    g_pc.started = true;
    return 1;
}

void pc_stop() {
    ++g_release_count;
    if (!g_pc.started) return;
    free_frames_memory();
    swap_close(&g_pc.swap);
    g_pc = PageCache();
}

uint8_t* pc_find_page(uint32_t id, int touch) {
    int f = load_frame(id, touch);
    return f < 0 ? nullptr : g_pc.frames[f].mem;
}

uint8_t* pc_new_page(uint32_t* id) {
    if (!g_pc.started) return nullptr;
    int f = make_room();
    if (f < 0) return nullptr;
    Frame& fr = g_pc.frames[f];
    uint32_t nid = fr.id != 0 ? fr.id : swap_new_id(&g_pc.swap);
    set_page(f, nid);
    fr.dirty = fr.fresh = true;
    to_front(f);
    std::memset(fr.mem, 0, 4096);
    vmi::wr32(fr.mem, nid);
    if (id) *id = nid;
    return fr.mem;
}

int pc_release_page(uint32_t id) {
    ++g_release_count;
    if (!g_pc.started || id == 0 || id > g_pc.swap.highest) return 0;
    int ok = swap_release_id(&g_pc.swap, id);
    int f = find_frame(id);
    if (f >= 0) {
        Frame& fr = g_pc.frames[f];
        g_pc.resident[id] = 0;
        set_free(fr);
        // An id whose release could not be recorded stays with the frame,
        // so that the next new page takes it back.
        fr.id = ok ? 0 : id;
        to_back(f);
        return 1;
    }
    return ok;
}

void pc_pin(uint32_t id) {
    int f = load_frame(id, 1);
    if (f >= 0 && (g_pc.frames[f].state & FR_PIN_MASK) < FR_PIN_MASK) ++g_pc.frames[f].state;
}

void pc_unpin(uint32_t id) {
    int f = g_pc.started ? find_frame(id) : -1;
    if (f >= 0 && (g_pc.frames[f].state & FR_PIN_MASK) > 0) --g_pc.frames[f].state;
}

void pc_mark_dirty(uint32_t id) {
    int f = g_pc.started ? find_frame(id) : -1;
    if (f >= 0) g_pc.frames[f].dirty = true;
}

int pc_reserve(uint32_t n) {
    if (!g_pc.started) return 0;
    int placed = -1; // the frame freed last by this call
    while (g_pc.free_frames < n) {
        // The least recently used page that is neither pinned nor unwritable
        // leaves its frame, which goes to the tail where make_room looks
        // first: behind the frames freed before it, so that they are taken
        // in the order their pages left (pages made in order then keep
        // following one another in memory).
        int f = g_pc.tail;
        for (; f >= 0; f = g_pc.frames[f].prev) {
            Frame& fr = g_pc.frames[f];
            if (fr.state & (FR_FREE | FR_PIN_MASK)) continue;
            if (write_out(f)) break;
        }
        if (f < 0) return 0;
        Frame& fr = g_pc.frames[f];
        g_pc.resident[fr.id] = 0;
        fr.id = 0;
        set_free(fr);
        if (placed < 0 || placed == f) {
            to_back(f);
        } else {
            unlink_frame(f);
            Frame& at = g_pc.frames[placed];
            fr.next = placed;
            fr.prev = at.prev;
            if (at.prev >= 0) g_pc.frames[at.prev].next = f;
            else g_pc.head = f;
            at.prev = f;
        }
        placed = f;
    }
    return 1;
}

uint32_t pc_frame_count() {
    return g_pc.started ? static_cast<uint32_t>(g_pc.frames.size()) : 0;
}

uint32_t pc_release_count() { return g_release_count; }
