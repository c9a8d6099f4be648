// The swap file.
//
// Page id n occupies bytes [n * 4096, n * 4096 + 4096). Bytes 0..4095 are
// never used. A released id that does not fit on the in-memory stack is
// recorded in its own page slot, little-endian:
//
//   Offset  Size  Field
//   0       4     the page id
//   4       4     0xABCDEF04
//   8       4     the next released id of the chain (0 = end)
//   12      2     not written
//
// The chain head lives only in memory: the file is scratch space for one
// run and is deleted when the engine stops.
//
// Closing a large buffer releases hundreds of thousands of ids in a row, one
// small write each if every record went straight to its slot. So the newest
// records wait in memory (they are the front of the chain, and an id taken
// again from there needs no record at all), and a full batch is written run
// by run: the slots of neighbouring ids are free, so one write can cover a
// run of them, each slot getting its record and zeros after it.
#include "VmEngine/swapfile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "VmEngine/vmbytes.h"
#include "opsys/bufstream.h"

namespace {

using vmi::rd32;
using vmi::wr32;

int64_t slot_offset(uint32_t id) { return static_cast<int64_t>(id) * 4096; }

// Reads or writes exactly n bytes at an offset. 1 on success. The file's
// offset is remembered, so that pages taken in order need no seek.
int transfer(SwapFile* sw, int64_t offset, void* buf, uint32_t n, bool write) {
    if (write && sw->ahead_count && offset < slot_offset(sw->ahead_first + sw->ahead_count) &&
        offset + n > slot_offset(sw->ahead_first))
        sw->ahead_count = 0; // what was read ahead no longer mirrors the file
    if (sw->pos != offset) {
        int64_t pos = 0;
        sw->pos = -1;
        if (!buf_file_seek(sw->file, offset, 0, &pos) || pos != offset) return 0;
    }
    sw->pos = -1; // unknown until the transfer is complete
    auto* p = static_cast<uint8_t*>(buf);
    for (uint32_t left = n; left > 0;) {
        int32_t k = write ? buf_file_write(sw->file, p, left) : buf_file_read(sw->file, p, left);
        if (k <= 0) return 0;
        p += k;
        left -= static_cast<uint32_t>(k);
    }
    sw->pos = offset + n;
    return 1;
}

// Reads the slots from `id` on, as many as the file holds up to `count`,
// into the read-ahead store. The number of whole slots read.
uint32_t read_ahead(SwapFile* sw, uint32_t id, uint32_t count) {
    sw->ahead_count = 0;
    if (!sw->ahead) {
        sw->ahead = static_cast<uint8_t*>(std::malloc(size_t(SWAP_AHEAD_PAGES) * 4096));
        if (!sw->ahead) return 0;
    }
    const int64_t offset = slot_offset(id);
    if (sw->pos != offset) {
        int64_t pos = 0;
        sw->pos = -1;
        if (!buf_file_seek(sw->file, offset, 0, &pos) || pos != offset) return 0;
    }
    sw->pos = -1;
    uint32_t got = 0;
    const uint32_t want = count * 4096;
    while (got < want) {
        int32_t k = buf_file_read(sw->file, sw->ahead + got, want - got);
        if (k <= 0) break; // the end of the file, or a failure: keep what came
        got += static_cast<uint32_t>(k);
    }
    if (got == want) sw->pos = offset + got;
    sw->ahead_first = id;
    sw->ahead_count = got / 4096;
    return sw->ahead_count;
}

uint32_t batch_id(uint64_t e) { return static_cast<uint32_t>(e >> 32); }
uint32_t batch_next(uint64_t e) { return static_cast<uint32_t>(e); }

// Writes the records of the ids first .. first + count - 1 (the sorted
// entries `e`) with one call per SWAP_AHEAD_PAGES slots, staged in the
// read-ahead store. 1 on success.
int write_records(SwapFile* sw, const uint64_t* e, uint32_t count) {
    if (count == 1) {
        uint8_t rec[12];
        wr32(rec, batch_id(e[0]));
        wr32(rec + 4, SWAP_FREE_MAGIC);
        wr32(rec + 8, batch_next(e[0]));
        return transfer(sw, slot_offset(batch_id(e[0])), rec, 12, true);
    }
    sw->ahead_count = 0; // the store is about to hold other bytes
    if (!sw->ahead) {
        sw->ahead = static_cast<uint8_t*>(std::malloc(size_t(SWAP_AHEAD_PAGES) * 4096));
        if (!sw->ahead) return 0;
    }
    while (count > 0) {
        const uint32_t n = count < SWAP_AHEAD_PAGES ? count : uint32_t(SWAP_AHEAD_PAGES);
        const uint32_t len = (n - 1) * 4096 + 12;
        std::memset(sw->ahead, 0, len);
        for (uint32_t k = 0; k < n; ++k) {
            uint8_t* rec = sw->ahead + size_t(k) * 4096;
            wr32(rec, batch_id(e[k]));
            wr32(rec + 4, SWAP_FREE_MAGIC);
            wr32(rec + 8, batch_next(e[k]));
        }
        if (!transfer(sw, slot_offset(batch_id(e[0])), sw->ahead, len, true)) return 0;
        e += n;
        count -= n;
    }
    return 1;
}

} // namespace

int swap_write_chain(SwapFile* sw) {
    if (sw->batch_count == 0) return 1;
    if (!sw->file) return 0;
    // Sorted by id (a copy: the held order is the chain's), then run by run.
    uint64_t* sorted = sw->batch + SWAP_RELEASE_BATCH;
    std::memcpy(sorted, sw->batch, sizeof(uint64_t) * sw->batch_count);
    std::sort(sorted, sorted + sw->batch_count);
    int ok = 1;
    for (uint32_t i = 0; i < sw->batch_count && ok;) {
        uint32_t j = i + 1;
        while (j < sw->batch_count && batch_id(sorted[j]) == batch_id(sorted[j - 1]) + 1) ++j;
        ok = write_records(sw, sorted + i, j - i);
        i = j;
    }
    // After a failure every record stays held: the chain still leads
    // through memory, and writing one again later writes the same bytes.
    if (ok) sw->batch_count = 0;
    return ok;
}

int swap_open(SwapFile* sw, const char* path, int* os_error) {
    int err = 0;
    *sw = SwapFile();
    if (path && *path)
        sw->file = buf_file_open(path, BS_READWRITE | BS_CREATE | BS_SHARE_EXCLUSIVE, &err);
    if (os_error) *os_error = err;
    if (!sw->file) return 0;
    size_t len = std::strlen(path);
    sw->name = static_cast<char*>(std::malloc(len + 1));
    if (sw->name) std::memcpy(sw->name, path, len + 1);
    return 1;
}

void swap_close(SwapFile* sw) {
    sw->chain_head = 0;
    if (sw->file) {
        buf_file_close(sw->file);
        if (sw->name) buf_file_remove(sw->name);
    }
    std::free(sw->name);
    std::free(sw->ahead);
    std::free(sw->batch);
    *sw = SwapFile();
}

int swap_write_page(SwapFile* sw, uint32_t id, const uint8_t* page) {
    return swap_write_pages(sw, id, 1, page);
}

int swap_write_pages(SwapFile* sw, uint32_t first_id, uint32_t count, const uint8_t* pages) {
    if (!sw->file || first_id == 0 || count == 0 || count > 0x7FFFFFFFu / 4096 ||
        first_id - 1 > 0xFFFFFFFFu - count)
        return 0;
    if (!transfer(sw, slot_offset(first_id), const_cast<uint8_t*>(pages), count * 4096, true)) return 0;
    sw->written = true;
    return 1;
}

int swap_read_page(SwapFile* sw, uint32_t id, uint8_t* page) {
    if (!sw->file || id == 0) return 0;
    const uint32_t last = sw->last_read;
    sw->last_read = id;
    if (sw->ahead_count && id >= sw->ahead_first && id - sw->ahead_first < sw->ahead_count) {
        std::memcpy(page, sw->ahead + size_t(id - sw->ahead_first) * 4096, 4096);
        return 1;
    }
    // Reading on: the page a few ids past the last one read (the pages
    // between are mostly still in memory). Slots past the highest id were
    // never written.
    if (last && id > last && id - last <= 8 && id < sw->highest) {
        uint32_t count = sw->highest - id + 1;
        if (count > SWAP_AHEAD_PAGES) count = SWAP_AHEAD_PAGES;
        if (read_ahead(sw, id, count) >= 1) {
            std::memcpy(page, sw->ahead, 4096);
            return 1;
        }
        sw->ahead_count = 0;
    }
    return transfer(sw, slot_offset(id), page, 4096, false);
}

uint32_t swap_new_id(SwapFile* sw) {
    if (sw->stack_count > 0) return sw->stack[--sw->stack_count];
    if (sw->batch_count > 0) {
        const uint64_t e = sw->batch[--sw->batch_count];
        sw->chain_head = batch_next(e);
        return batch_id(e);
    }
    if (sw->chain_head != 0 && sw->file) {
        uint8_t own[SWAP_FREE_RECORD];
        const uint8_t* rec = nullptr;
        uint32_t head = sw->chain_head;
        const uint32_t last = sw->last_chained;
        sw->last_chained = 0;
        if (sw->ahead_count && head >= sw->ahead_first && head - sw->ahead_first < sw->ahead_count) {
            rec = sw->ahead + size_t(head - sw->ahead_first) * 4096;
        } else if (last == head + 1 && head > 1) {
            // A run released in order comes back down the chain one id at a
            // time: the slots below the head are taken in with one call.
            const uint32_t first = head > SWAP_AHEAD_PAGES ? head - SWAP_AHEAD_PAGES + 1 : 1;
            if (read_ahead(sw, first, head - first + 1) == head - first + 1)
                rec = sw->ahead + size_t(head - first) * 4096;
            else
                sw->ahead_count = 0;
        }
        if (!rec && transfer(sw, slot_offset(head), own, 12, false)) rec = own;
        // A record that cannot be read back (or is not one) ends the chain:
        // the ids behind it are lost for reuse, but no live page is handed
        // out twice.
        if (rec && rd32(rec) == head && rd32(rec + 4) == SWAP_FREE_MAGIC) {
            sw->chain_head = rd32(rec + 8);
            sw->last_chained = head;
            return head;
        }
        sw->chain_head = 0;
    }
    return ++sw->highest;
}

int swap_release_id(SwapFile* sw, uint32_t id) {
    if (id == 0 || id > sw->highest) return 0;
    if (sw->stack_count < SWAP_STACK_MAX) {
        sw->stack[sw->stack_count++] = id;
        return 1;
    }
    if (!sw->file) return 0;
    const uint64_t e = uint64_t(id) << 32 | sw->chain_head;
    if (!sw->batch) {
        sw->batch = static_cast<uint64_t*>(std::malloc(sizeof(uint64_t) * 2 * SWAP_RELEASE_BATCH));
        if (!sw->batch) { // no room to hold it: straight into its slot
            if (!write_records(sw, &e, 1)) return 0;
            sw->chain_head = id;
            return 1;
        }
    }
    if (sw->batch_count == SWAP_RELEASE_BATCH && !swap_write_chain(sw)) return 0;
    sw->batch[sw->batch_count++] = e;
    sw->chain_head = id;
    return 1;
}
