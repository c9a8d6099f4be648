#pragma once
// A view's saved state: fifteen 32-bit words that the view-state stack
// pushes and pops around bulk work, and their archive form (a count, then
// each record's sixty bytes in list order).
#include <cstddef>
#include <cstdint>
#include <vector>

// Word offsets (0-based) of the record:
//   0 reserved        1 top line          2 caret line      3 caret column
//   4 display column  5 page overlap      6 text-bar width  7 first column
//   8 caret cell col  9 caret cell row   10 remembered col 11 push options
//  12 view flags     13 line-edited flag 14 line count
struct CViewSnapshot {
    int32_t w[15] = {};
    int32_t& top_line() { return w[1]; }
    int32_t& caret_line() { return w[2]; }
    int32_t& caret_col() { return w[3]; }
    int32_t& caret_dcol() { return w[4]; }
    int32_t& page_overlap() { return w[5]; }
    int32_t& bar_width() { return w[6]; }
    int32_t& first_col() { return w[7]; }
    int32_t& cell_col() { return w[8]; }
    int32_t& cell_row() { return w[9]; }
    int32_t& remembered_col() { return w[10]; }
    int32_t& options() { return w[11]; }
    int32_t& view_flags() { return w[12]; }
    int32_t& line_edited() { return w[13]; }
    int32_t& line_count() { return w[14]; }
};
static_assert(sizeof(CViewSnapshot) == 60, "a snapshot is fifteen 32-bit words");

// Push options.
enum : uint32_t {
    QW_VS_PUSH = 0x1,
    QW_VS_POP = 0x2,
    QW_VS_DROP = 0x4,
    QW_VS_REPAINT = 0x40,
    QW_VS_REFRESH_ALL = 0x80,
    QW_VS_TRACK_CARET = 0x100, // mark 15 follows the caret through edits
    QW_VS_LOCK_EDITS = 0x200,  // lock mark 13, line-edited flag saved, no line images
    QW_VS_FLAGS = 0x400,       // view flags saved, immediate update off
};

// One level of the view-state stack: the record and what the push took
// over, so nested pushes each get their own back.
struct ViewStateFrame {
    CViewSnapshot snap;
    int32_t mark15_line = -1, mark15_col = -1; // slot 15 before this push
    bool mark13_was_locked = false;
};

// The process-wide lines-kept-when-paging count.
int GetPageOverlap();
void SetPageOverlap(int lines);

// Archive form: the count as the framework archive writes counts (16 bits,
// or 0xFFFF and 32 bits from 0xFFFF on), then each record's 60 bytes
// little-endian, in list order.
std::vector<unsigned char> SerializeSnapshots(const std::vector<CViewSnapshot>& list);
// Appends the records of `data` to `list`; false (nothing appended) for a
// short or inconsistent input.
bool DeserializeSnapshots(const unsigned char* data, size_t size,
                          std::vector<CViewSnapshot>* list);
