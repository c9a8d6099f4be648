// In-memory back end of the page cache: every page stays in memory, indexed
// by its id. The swap file is only created (so that a start with a path that
// cannot be opened fails as it will with the real back end) and deleted at
// stop; nothing is written to it.
//
// Page memory is never freed before pc_stop: a released page's block goes
// back to a pool, so a remembered address always points at readable memory
// whose first word tells whether it still holds the expected page.
#include "VmEngine/pagecache.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct MemCache {
    bool started = false;
    uint32_t frames = 0;
    std::vector<uint8_t*> pages;    // index = id; [0] unused
    std::vector<uint16_t> pins;     // per id
    std::vector<uint32_t> free_ids; // released ids, reused last-in first-out
    std::vector<uint8_t*> pool;     // memory of released pages
    std::string swap_path;
};

MemCache g_pc;

void put_id(uint8_t* page, uint32_t id) {
    page[0] = uint8_t(id);
    page[1] = uint8_t(id >> 8);
    page[2] = uint8_t(id >> 16);
    page[3] = uint8_t(id >> 24);
}

} // namespace

int pc_start(uint32_t cache_bytes, const char* swap_path) {
    if (g_pc.started)
        pc_stop();
    if (swap_path && *swap_path) {
        FILE* f = std::fopen(swap_path, "wb");
        if (!f)
            return 0;
        std::fclose(f);
        g_pc.swap_path = swap_path;
    }
    g_pc.frames = cache_bytes / 4096 < 60 ? 60 : cache_bytes / 4096;
    g_pc.pages.assign(1, nullptr);
    g_pc.pins.assign(1, 0);
    g_pc.started = true;
    return 1;
}

void pc_stop() {
    if (!g_pc.started)
        return;
    for (uint8_t* p : g_pc.pages)
        std::free(p);
    for (uint8_t* p : g_pc.pool)
        std::free(p);
    if (!g_pc.swap_path.empty())
        std::remove(g_pc.swap_path.c_str());
    g_pc = MemCache();
}

uint8_t* pc_find_page(uint32_t id, int /*touch*/) {
    if (!g_pc.started || id == 0 || id >= g_pc.pages.size())
        return nullptr;
    return g_pc.pages[id];
}

uint8_t* pc_new_page(uint32_t* id) {
    if (!g_pc.started)
        return nullptr;
    uint8_t* mem;
    if (!g_pc.pool.empty()) {
        mem = g_pc.pool.back();
        g_pc.pool.pop_back();
    } else {
        mem = static_cast<uint8_t*>(std::malloc(4096));
        if (!mem)
            return nullptr;
    }
    std::memset(mem, 0, 4096);
    uint32_t nid;
    if (!g_pc.free_ids.empty()) {
        nid = g_pc.free_ids.back();
        g_pc.free_ids.pop_back();
        g_pc.pages[nid] = mem;
    } else {
        nid = uint32_t(g_pc.pages.size());
        g_pc.pages.push_back(mem);
        g_pc.pins.push_back(0);
    }
    g_pc.pins[nid] = 0;
    put_id(mem, nid);
    if (id)
        *id = nid;
    return mem;
}

int pc_release_page(uint32_t id) {
    if (!g_pc.started || id == 0 || id >= g_pc.pages.size() || !g_pc.pages[id])
        return 0;
    uint8_t* mem = g_pc.pages[id];
    put_id(mem, 0); // a remembered address no longer matches any page
    g_pc.pool.push_back(mem);
    g_pc.pages[id] = nullptr;
    g_pc.pins[id] = 0;
    g_pc.free_ids.push_back(id);
    return 1;
}

void pc_pin(uint32_t id) {
    if (pc_find_page(id, 1) && g_pc.pins[id] < 127)
        ++g_pc.pins[id];
}

void pc_unpin(uint32_t id) {
    if (pc_find_page(id, 0) && g_pc.pins[id] > 0)
        --g_pc.pins[id];
}

void pc_mark_dirty(uint32_t) {}

uint32_t pc_frame_count() { return g_pc.started ? g_pc.frames : 0; }
