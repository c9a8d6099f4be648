#pragma once
// Internal to the buffer engine (and its tests): page access, the storage
// primitives every line operation is built from, and the structure checker.
// All of these run under vm_lock and take a handle already validated.
#include "VmEngine/vm.h"
#include "VmEngine/vmbytes.h"

#include <cstring>
#include <string>

namespace vmi {

VM_LINE rd_hdr(const uint8_t* rec);
void wr_hdr(uint8_t* rec, const VM_LINE& h);

// A page by id, made the most recently used; null when the page cache
// cannot deliver it (the swap file failed, or every frame is pinned). Every
// caller checks, and fails without having changed anything where it can.
uint8_t* pg(uint32_t id);

// Where a data page's entry stands in the directory.
struct Loc {
    uint32_t dir = 0;
    int idx = -1;
};

// The whole current position of a handle, for restoring it after a failure.
struct PosSave {
    uint32_t line, col, page, rec, chr, dir;
    uint8_t* page_addr;
    uint8_t* dir_entry;
};
PosSave save_pos(const VMB* b);
void restore_pos(VMB* b, const PosSave& s);
void clear_pos(VMB* b);

// Positions at (line, column); column < 0 is the end of the line. False
// (handle fields unspecified; callers restore) when the place does not exist.
bool seek(VMB* b, uint32_t line, int64_t column);

// Storage primitives at the current position. Each keeps the line and
// character counts, the directory copies and the position consistent, and
// each fetches (and pins) the pages it will change and makes room for the
// pages it will make before its first change, so that a page cache that
// cannot deliver a page makes it fail with the text unchanged. ins_bytes
// takes back what it inserted when a long text runs out of pages; the
// deletions that span pages (del_bytes, del_line, truncate_from) stop with
// fewer characters or lines deleted, never with text of a kept line gone.
bool ins_bytes(VMB* b, const uint8_t* s, uint32_t n);
bool ins_record(VMB* b);                 // line break at the position
uint32_t del_bytes(VMB* b, uint32_t n);  // within the line; returns count
bool join_next(VMB* b);                  // position must be at the line end
bool del_line(VMB* b, uint32_t line);    // text and line break; position at the line after
bool truncate_from(VMB* b, uint32_t line); // deletes line..last
void free_all(VMB* b);                   // releases every page, no lines left
// While set (only by the engine's stop), free_all forgets pages instead of
// releasing them one by one.
void set_stopping(bool stopping);
// A new line after `after` (0: before line 1) reserving room for `room`
// bytes in one record; the position is at its (empty) text. False when no
// page could be made.
bool new_line(VMB* b, uint32_t after, uint32_t room);

// What the loader's quick way keeps between appends to the same data page:
// the page's address and its directory entry, both fetched and marked
// changed once. Sound only while no page-cache call at all has been made
// since the append that filled it in (no call, no eviction: the addresses
// hold and the pages stay marked); whoever makes any other engine or cache
// call in between clears it first. A cleared one (b null) is always safe.
struct AppendRun {
    VMB* b = nullptr;
    uint32_t page = 0;
    uint8_t* p = nullptr;
    uint8_t* ent = nullptr;
    void clear() { b = nullptr; }
};

// The loader's quick way: with the position at the end of the last line and
// room for the whole line in its page, appends a line of n bytes with flags
// 0 and the given tag, as new_line and ins_bytes would (the lexical bytes
// of the line before). False, with nothing changed and the run cleared,
// when the slow way must be taken.
bool append_line_fast(VMB* b, AppendRun* run, const uint8_t* text, uint32_t n, uint32_t tag,
                      const VM_LINE* hdr = nullptr);

// The loader's quick way for a line that does not fit in the rest of the
// last page (and whose rest fits in one new page): as new_line and
// ins_bytes would, the line begins in the last page when a header still
// fits there and runs on in a continuation record at the start of a new
// page behind it (or begins there). False, with nothing changed, when the
// slow way must be taken.
bool append_line_spill(VMB* b, const uint8_t* text, uint32_t n, uint32_t tag);

// Appends a line after the last one with the flags, lexical bytes and tag of
// `hdr` (its kind and length are ignored), the quick way when it can. The
// position is left at the end of the new line. False when no page could be
// made (the buffer may then end with a shorter last line; callers that must
// not change a buffer on failure append to a buffer of their own).
bool append_line(VMB* b, AppendRun* run, const uint8_t* text, uint32_t n, const VM_LINE& hdr);

// Exchanges the text (every page, the counts and the position) of two
// buffers; names, state and streams stay with their handles.
void swap_text(VMB* a, VMB* b);

// Orders two sort keys (already cut as the compare options say) the way the
// sorted-list search orders a key against a line: the sign orders a.
int compare_keys(const char* a, size_t na, const char* b, size_t nb, uint32_t options);

// Whether the last record of a data page of the buffer goes on in the next
// page (*yes). The page stays in memory meanwhile. False when a page cannot
// be fetched.
bool continued(VMB* b, uint32_t page, bool* yes);

// The first record of the current line: page id and offset. False when a
// page cannot be fetched.
bool line_head(VMB* b, uint32_t* page, uint32_t* off);

// Copies the line's text from the position on (at most max bytes, following
// continuation records) and moves the position past it; *got is the count.
// False when a page of the line cannot be fetched (*got then says how much
// was copied).
bool copy_out(VMB* b, char* out, uint32_t max, uint32_t* got);
// The same, handing the text to `sink` piece by piece straight from the
// pages (the sink must make no engine or page-cache call). False also when
// the sink returns false.
using TextSink = bool (*)(void* ctx, const uint8_t* text, uint32_t n);
bool text_out(VMB* b, uint32_t max, TextSink sink, void* ctx, uint32_t* got);

// Checks the page structure of a buffer; empty string when sound, else what
// is wrong.
std::string check_structure(VMB* b);

} // namespace vmi
