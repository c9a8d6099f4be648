#pragma once
// The swap file: where pages live that no frame of the page cache holds.
// Page id n is stored at byte offset n * 4096 (64-bit offsets, so the file
// may pass 4 GB); the first 4096 bytes are never used. Released ids are kept
// on a small stack and, when it is full, chained through the file itself
// (the record layout is at the top of swapfile.cpp).
#include <cstdint>

enum : uint32_t {
    SWAP_STACK_MAX = 250,
    SWAP_FREE_MAGIC = 0xABCDEF04u,
    SWAP_FREE_RECORD = 14,
    SWAP_AHEAD_PAGES = 64,
    SWAP_RELEASE_BATCH = 4096,
};

struct SwapFile {
    void* file = nullptr;     // file layer object, read and write, not shared
    bool written = false;     // set after the first complete page write
    char* name = nullptr;     // heap copy
    uint32_t highest = 0;     // highest id issued so far
    uint32_t stack[SWAP_STACK_MAX] = {};
    uint32_t stack_count = 0;
    uint32_t chain_head = 0;  // first released id of the chain
    // The front of the chain whose records are not in the file yet, oldest
    // first: (id << 32) | next. They are written together, a run of
    // neighbouring ids with one call, when the batch is full; an id taken
    // again before that never costs a write. Made on first use, with as much
    // room again to sort a copy in.
    uint64_t* batch = nullptr;
    uint32_t batch_count = 0;
    int64_t pos = -1;         // the file's offset, -1 when unknown
    // Slots read ahead of a reader that goes through the pages in order,
    // as the file held them: any write that touches them drops them all.
    uint8_t* ahead = nullptr; // SWAP_AHEAD_PAGES pages, made on first use
    uint32_t ahead_first = 0; // id of the first slot held
    uint32_t ahead_count = 0; // slots held
    uint32_t last_read = 0;   // id of the last page read
    uint32_t last_chained = 0; // the last id taken from the chain in the file
};

// Opens (creates or truncates) the file. 1 on success; 0 with the system
// error number in *os_error.
int swap_open(SwapFile* sw, const char* path, int* os_error);
// Clears the chain, closes and deletes the file, frees the name.
void swap_close(SwapFile* sw);
// 1 only when all 4096 bytes were written / read.
int swap_write_page(SwapFile* sw, uint32_t id, const uint8_t* page);
// Writes `count` pages held one after another in `pages` to the ids
// first_id .. first_id + count - 1 with one call. 1 only when every byte was
// written; after a failure any of those slots may hold part of the new bytes.
int swap_write_pages(SwapFile* sw, uint32_t first_id, uint32_t count, const uint8_t* pages);
// A page read soon after one a few ids before it takes the slots behind it
// into memory with the same call, so that reading through a large buffer
// is not one call per page.
int swap_read_page(SwapFile* sw, uint32_t id, uint8_t* page);
// A free id: from the stack, else from the chain, else a new one.
uint32_t swap_new_id(SwapFile* sw);
// 1 when the id is recorded for reuse; 0 when the file is not open (or the
// chain records could not be written).
int swap_release_id(SwapFile* sw, uint32_t id);
// Writes the chain records still held in memory into their slots. 1 when
// all are in the file (or none was held); after a failure they stay held.
int swap_write_chain(SwapFile* sw);
