// The mark table and its text form.
#include "editor/marks.h"

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

int CQWMarkTable::SlotOfCommand(int id) {
    if (id >= 527 && id <= 535) return id - 527;
    if (id >= 536 && id <= 544) return id - 536;
    if (id == 469) return QW_MARK_SEL_START;
    if (id == 470) return QW_MARK_SEL_END;
    if (id == 545) return QW_MARK_LAST_EDIT;
    return -1;
}

void CQWMarkTable::Reset(int n) {
    if (!ValidSlot(n)) return;
    uint32_t lock = slots_[n].flags & QW_MARK_LOCKED;
    slots_[n] = Slot();
    slots_[n].flags = lock;
}

void CQWMarkTable::ResetAll() {
    for (auto& s : slots_) s = Slot();
    moved_mask_ = 0;
}

bool CQWMarkTable::IsSet(int n) const { return ValidSlot(n) && slots_[n].column != -1; }

bool CQWMarkTable::Get(int n, int* line, int* column) const {
    if (!IsSet(n)) return false;
    if (line) *line = slots_[n].line;
    if (column) *column = slots_[n].column;
    return true;
}

bool CQWMarkTable::Set(int n, int line, int column) {
    if (!ValidSlot(n) || (slots_[n].flags & QW_MARK_LOCKED)) return false;
    slots_[n].line = line;
    slots_[n].column = column;
    slots_[n].display_column = -1;
    return true;
}

static bool FlagOp(uint32_t& flags, uint32_t bit, int op) {
    if (op == 1) flags |= bit;
    else if (op == 0) flags &= ~bit;
    return (flags & bit) != 0;
}

bool CQWMarkTable::Lock(int n, int op) {
    return ValidSlot(n) && FlagOp(slots_[n].flags, QW_MARK_LOCKED, op);
}

bool CQWMarkTable::Moved(int n, int op) {
    return ValidSlot(n) && FlagOp(slots_[n].flags, QW_MARK_MOVED, op);
}

bool CQWMarkTable::CachedColumn(int n, int op, int* line, int* display_column) {
    if (!ValidSlot(n)) return false;
    Slot& s = slots_[n];
    if (line) *line = s.line;
    if (op == -1) {
        if (display_column) *display_column = s.display_column;
        return s.display_column != -1;
    }
    s.display_column = display_column ? *display_column : -1;
    return true;
}

int CQWMarkTable::FindByLine(int line, uint32_t* mask) const {
    int first = -1;
    uint32_t m = 0;
    for (int n = 0; n < QW_MARK_SLOTS; ++n) {
        if (slots_[n].column == -1 || slots_[n].line != line) continue;
        if (first < 0) first = n;
        else m |= 1u << n;
    }
    if (mask) *mask = m;
    return first;
}

void CQWMarkTable::MarkMoved(int n) {
    slots_[n].flags |= QW_MARK_MOVED;
    slots_[n].display_column = -1;
    moved_mask_ |= 1u << n;
}

uint32_t CQWMarkTable::CharsInserted(int line, int column, int count) {
    moved_mask_ = 0;
    if (!enabled_ || count == 0) return 0;
    for (int n = 0; n < QW_MARK_SLOTS; ++n) {
        Slot& s = slots_[n];
        if (s.column == -1 || s.line != line || s.column < column) continue;
        s.column += count;
        MarkMoved(n);
    }
    return moved_mask_;
}

uint32_t CQWMarkTable::CharsDeleted(int line, int from, int to) {
    moved_mask_ = 0;
    if (!enabled_ || to <= from) return 0;
    for (int n = 0; n < QW_MARK_SLOTS; ++n) {
        Slot& s = slots_[n];
        if (s.column == -1 || s.line != line || s.column < from) continue;
        if (s.column < to) {
            // The text it stood on is gone.
            uint32_t lock = s.flags & QW_MARK_LOCKED;
            s = Slot();
            s.flags = lock;
            moved_mask_ |= 1u << n;
            continue;
        }
        s.column -= to - from;
        MarkMoved(n);
    }
    return moved_mask_;
}

uint32_t CQWMarkTable::LinesShifted(int from_line, int delta) {
    moved_mask_ = 0;
    if (!enabled_ || delta == 0) return 0;
    for (int n = 0; n < QW_MARK_SLOTS; ++n) {
        Slot& s = slots_[n];
        if (s.column == -1 || s.line < from_line) continue;
        s.line += delta;
        if (s.line < 1) s.line = 1;
        MarkMoved(n);
    }
    return moved_mask_;
}

uint32_t CQWMarkTable::LineSplit(int line, int column) {
    moved_mask_ = 0;
    if (!enabled_) return 0;
    for (int n = 0; n < QW_MARK_SLOTS; ++n) {
        Slot& s = slots_[n];
        if (s.column == -1) continue;
        if (s.line > line) {
            s.line += 1;
        } else if (s.line == line && s.column >= column) {
            s.line += 1;
            s.column -= column;
        } else {
            continue;
        }
        MarkMoved(n);
    }
    return moved_mask_;
}

uint32_t CQWMarkTable::LinesJoined(int line, int previous_length) {
    moved_mask_ = 0;
    if (!enabled_) return 0;
    for (int n = 0; n < QW_MARK_SLOTS; ++n) {
        Slot& s = slots_[n];
        if (s.column == -1) continue;
        if (s.line == line) {
            s.line -= 1;
            s.column += previous_length;
        } else if (s.line > line) {
            s.line -= 1;
        } else {
            continue;
        }
        MarkMoved(n);
    }
    return moved_mask_;
}

std::string CQWMarkTable::Serialise() const {
    std::string out;
    char piece[64];
    for (int n = 0; n < QW_MARK_SLOTS; ++n) {
        const Slot& s = slots_[n];
        if (s.column == -1) continue;
        std::snprintf(piece, sizeof piece, "m%u,l%u,c%u,", unsigned(n), unsigned(s.line),
                      unsigned(s.column));
        out += piece;
    }
    if (!out.empty()) out.pop_back();
    return out;
}

int CQWMarkTable::Parse(const char* text) {
    if (!text) return 0;
    int set = 0;
    int64_t slot = -1, line = -1;
    const char* p = text;
    while (*p) {
        char letter = *p++;
        // A number of at most 29 digits; one beyond 32 bits spoils its slot.
        uint64_t value = 0;
        bool overflow = false;
        int digits = 0;
        while (*p >= '0' && *p <= '9' && digits < 29) {
            value = value * 10 + unsigned(*p - '0');
            if (value > 0xFFFFFFFFull) overflow = true;
            if (overflow) value = 0xFFFFFFFFull + 1;
            ++p;
            ++digits;
        }
        if (*p == ',') ++p;
        if (digits == 0) continue;
        int64_t v = overflow || value > 0x7FFFFFFFull ? -1 : int64_t(value);
        if (letter == 'm') {
            slot = v;
            line = -1;
        } else if (letter == 'l') {
            line = v;
        } else {
            if (slot >= 0 && slot < QW_MARK_SLOTS && line > 0 && v >= 0 &&
                Set(int(slot), int(line), int(v)))
                ++set;
            slot = -1;
            line = -1;
        }
    }
    return set;
}

// ---- Per-buffer tables ---------------------------------------------------------

namespace {
std::mutex g_tables_lock;
std::map<const VMB*, std::unique_ptr<CQWMarkTable>>& Tables() {
    static std::map<const VMB*, std::unique_ptr<CQWMarkTable>> tables;
    return tables;
}
} // namespace

CQWMarkTable* MarkTableOf(VMB* buffer) {
    if (!buffer) return nullptr;
    std::lock_guard<std::mutex> g(g_tables_lock);
    auto& t = Tables()[buffer];
    if (!t) t.reset(new CQWMarkTable());
    return t.get();
}

void ReleaseMarkTable(VMB* buffer) {
    std::lock_guard<std::mutex> g(g_tables_lock);
    Tables().erase(buffer);
}
