#pragma once
// The page cache: how the buffer engine reaches its 4096-byte pages. The
// engine never touches the swap file; it asks for pages by id here.
//
// The fixed set of frames in most-recently-used order lives in
// pagecache.cpp; the pages no frame holds are in the swap file
// (swapfile.cpp).
//
// What each call guarantees (the engine relies on nothing more):
// - pc_start (cache bytes, swap path): builds the frames (cache bytes / 4096,
//   at least 60) and opens the swap file at the path. 1 on success; 0 when
//   the swap file cannot be opened (reported by the back end), and then
//   nothing is left allocated.
// - pc_stop: frees every frame and closes and deletes the swap file. Calls
//   before pc_start or after pc_stop do nothing.
// - pc_find_page (id, touch): the address of the page's 4096 bytes, loaded
//   if needed; with touch the page becomes the most recently used. Null for
//   id 0 or an id never handed out. The address stays valid (and keeps the
//   page) while the page is pinned, or until the next pc_find_page /
//   pc_new_page call that has to make room; the page's first 4 bytes are
//   always its id, so a caller can check a remembered address by comparing
//   them with the id it expects.
// - pc_new_page (out id): a page with a fresh id, zero-filled except for the
//   id in its first 4 bytes, most recently used; returns its address, null
//   when no page can be made. Ids start at 1 and released ids are reused.
// - pc_release_page (id): the id becomes free for reuse; the page's memory
//   may be reused at once. 1 on success, 0 otherwise.
// - pc_pin (id) / pc_unpin (id): raise / lower the page's pin count (loading
//   the page for pc_pin). A pinned page is not evicted unless every frame is
//   pinned, so its address stays valid. Pins nest.
// - pc_mark_dirty (id): the caller changed the page (or holds its address
//   to change it before its next call). A page never marked since it was
//   read from the swap file is not written again when it leaves memory;
//   new pages always are.
// - pc_reserve (n): makes at least n frames free now, writing out the least
//   recently used unpinned pages, so that the next n new or fetched pages
//   need no write. 1 on success; 0 when not enough pages can be written out
//   or every frame is pinned (the frames freed so far stay free). An edit
//   that reserves before changing anything cannot be stopped half-way by a
//   swap file that refuses writes.
// - pc_frame_count: the number of page frames (for vms_page_info); 0 before
//   pc_start.
// - pc_release_count: a number that changes whenever a page id is released
//   (so may be handed out again) and at every start and stop. While it stays
//   the same, every page id a caller saw in use still names the same page.
// All of these are called only under vm_lock; nothing here locks itself.
#include <cstdint>

int pc_start(uint32_t cache_bytes, const char* swap_path);
void pc_stop();
uint8_t* pc_find_page(uint32_t id, int touch);
uint8_t* pc_new_page(uint32_t* id);
int pc_release_page(uint32_t id);
void pc_pin(uint32_t id);
void pc_unpin(uint32_t id);
void pc_mark_dirty(uint32_t id);
int pc_reserve(uint32_t n);
uint32_t pc_frame_count();
uint32_t pc_release_count();
