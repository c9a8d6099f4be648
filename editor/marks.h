#pragma once
// The mark table: sixteen positions in a document's text that follow edits.
// Slots 0-8 are the numbered bookmarks 1 to 9; the others are positions the
// editor keeps for itself (selection bounds, last edit, saved caret). The
// editing operations tell the table of every insertion, deletion, split and
// join so the marks stay on their text. Portable: no window involved.
#include <cstdint>
#include <string>

struct VMB;

enum : int {
    QW_MARK_SLOTS = 16,
    QW_MARK_BOOKMARK_FIRST = 0, // bookmarks 1..9 are slots 0..8
    QW_MARK_BOOKMARK_LAST = 8,
    QW_MARK_SEL_START = 9,
    QW_MARK_SEL_END = 10,
    QW_MARK_SEL_ANCHOR = 11,
    QW_MARK_SEL_DELETING = 12,  // start of a selection being deleted
    QW_MARK_LAST_EDIT = 13,     // locked while a bulk operation runs with the view state pushed
    QW_MARK_SAVED_CARET = 14,   // kept across one deletion; never held across a view-state push
    QW_MARK_VIEW_STATE = 15,    // owned by the view-state stack (see below)
};

// Slot flags.
enum : uint32_t {
    QW_MARK_LOCKED = 0x1,
    QW_MARK_MOVED = 0x2,
};

// Slot ownership, so nested users cannot clobber each other: slot 14 is used
// only inside one deleting operation (remembered at its start and put back
// at its end, never across a call that may push the view state); slot 15
// belongs to the view-state stack alone, which saves the slot's previous
// contents in its own frame before it writes it and restores them on pop, so
// nested pushes each get their position back. Nothing else writes slot 15.
class CQWMarkTable {
public:
    struct Slot {
        int32_t line = -1;   // 1-based
        int32_t column = -1; // buffer column; -1: not set
        int32_t display_column = -1; // cached; -1 unknown
        uint32_t flags = 0;
    };

    CQWMarkTable() { ResetAll(); }

    // Slot numbers outside 0..15 are refused by every call.
    static bool ValidSlot(int slot) { return slot >= 0 && slot < QW_MARK_SLOTS; }
    // The slot a command sets or goes to (bookmark set 527..535, go 536..544,
    // selection start 469, end 470, last edit 545); -1 for any other.
    static int SlotOfCommand(int command_id);

    void Reset(int slot);   // locked slots too (the lock stays)
    void ResetAll();
    bool IsSet(int slot) const;
    bool Get(int slot, int* line, int* column) const;
    // Refused (false) for a locked or invalid slot; clears the cached display column.
    bool Set(int slot, int line, int column);
    // op 1 sets the flag, 0 clears it, other values only read; the flag's state.
    bool Lock(int slot, int op);
    bool Moved(int slot, int op);
    // op -1 reads (true when known), else stores display_column for line.
    bool CachedColumn(int slot, int op, int* line, int* display_column);
    // The first set slot on the line (-1: none); *mask gets the bits of the
    // further set slots on that line.
    int FindByLine(int line, uint32_t* mask) const;

    // ---- Edit notifications: each returns the moved-mask (also kept). ----
    uint32_t CharsInserted(int line, int column, int count);
    uint32_t CharsDeleted(int line, int from_column, int to_column);
    uint32_t LinesShifted(int from_line, int delta);
    uint32_t LineSplit(int line, int column);
    uint32_t LinesJoined(int line, int previous_length);
    // While disabled the notifications change nothing.
    void Enable(bool on) { enabled_ = on ? 1 : 0; }
    bool IsEnabled() const { return enabled_ != 0; }
    uint32_t MovedMask() const { return moved_mask_; }

    // Text form "m0,l12,c4,m13,l40,c0" (set slots in slot order).
    std::string Serialise() const;
    // Reads the text form; malformed pieces and numbers beyond 32 bits are
    // skipped, the rest is set. Returns the number of slots set.
    int Parse(const char* text);

    const Slot& slot(int n) const { return slots_[n]; }

private:
    void MarkMoved(int n);
    Slot slots_[QW_MARK_SLOTS];
    int32_t enabled_ = 1;
    uint32_t moved_mask_ = 0;
};

// The mark table of a buffer (one per document buffer), made on first use;
// null for a null buffer. Released with the buffer's document.
CQWMarkTable* MarkTableOf(VMB* buffer);
void ReleaseMarkTable(VMB* buffer);
