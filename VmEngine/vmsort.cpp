// Line sort: a stable sort of a range of buffer lines by the order of the
// sorted-list search, in O(n log n) and bounded memory.
//
// The range is read once; runs of at most kRunBytes of text are sorted in
// memory and, when there is more than one, kept in temporary buffers (whose
// pages go to the swap file like any others) and merged. The result is the
// same as placing each line, in turn, after the lines before it that do not
// sort after it: equal keys keep their order; a line that is already in its
// place relative to the lines before it (it sorts at or after all of them)
// stays as it is, flags, tag and all, while a moved line is a new line
// that keeps only the 0x08 flag of the old.
//
// Without a view to tell, the sorted text is built in a buffer of its own and
// exchanged with the buffer's text at the end, so a failure leaves the
// buffer as it was. With a view, every move is made and told in turn (line
// inserted, then the old copy removed), as the view records each for undo;
// the places come from the sorted order, not from a search per line.
#include "VmEngine/vmlex.h"

#include "VmEngine/vmcore.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <queue>
#include <string>
#include <vector>

namespace {

constexpr int kSettledFlag = 0x08;  // follows its line to the new place
constexpr int kChangedFlag = 0x01;  // marks a line the view was told about
constexpr int kLineImage = 5;
constexpr int kLineInserted = 9;
constexpr int kLineDeleted = 11;
constexpr size_t kCompareMax = 4096;       // characters of a line compared
constexpr size_t kRunBytes = size_t(8) << 20; // text sorted in memory at once

// The offset of display column `column` in the text (tabs expanded).
size_t offset_of_column(const char* text, size_t len, int column, const VM_TABS* tabs) {
    if (tabs->raw)
        return std::min(size_t(column - 1), len);
    int tab = tabs->width > 0 ? tabs->width : 1;
    int col = 1;
    for (size_t i = 0; i < len; ++i) {
        if (col >= column)
            return i;
        unsigned char c = static_cast<unsigned char>(text[i]);
        col += c == '\t' ? tab - ((col - 1) % tab) : (c < 32 ? 2 : 1);
    }
    return len;
}

struct KeyRule {
    int column;
    const VM_TABS* tabs;
    unsigned options;
};

// The part of a line the order looks at: its first 4096 characters from the
// sort column, up to a NUL, cut at the first or last TAB as the options say.
void key_of(const char* t, size_t len, const KeyRule& r, size_t* off, size_t* n) {
    len = std::min(len, kCompareMax);
    size_t o = r.column > 1 ? offset_of_column(t, len, r.column, r.tabs) : 0;
    size_t k = len - o;
    if (const void* z = std::memchr(t + o, 0, k))
        k = size_t(static_cast<const char*>(z) - (t + o));
    if (r.options & VM_CMP_FIRST_TAB) {
        if (const void* tab = std::memchr(t + o, '\t', k))
            k = size_t(static_cast<const char*>(tab) - (t + o));
    } else if (r.options & VM_CMP_LAST_TAB) {
        for (size_t i = k; i > 0; --i)
            if (t[o + i - 1] == '\t') {
                k = i - 1;
                break;
            }
    }
    *off = o;
    *n = k;
}

// A whole line and its header; the position is left after it.
bool read_line(VMB* b, uint32_t line, std::string& text, VM_LINE* hdr) {
    uint32_t page = 0, off = 0;
    const uint8_t* p = vmi::seek(b, line, 0) && vmi::line_head(b, &page, &off) ? vmi::pg(page) : nullptr;
    if (!p)
        return false;
    *hdr = vmi::rd_hdr(p + off);
    // The first record's text, then whatever continues it in later pages.
    size_t have = 0, want = std::max<size_t>(hdr->length, 1);
    for (;;) {
        text.resize(have + want);
        uint32_t got = 0;
        if (!vmi::copy_out(b, &text[have], uint32_t(want), &got))
            return false;
        have += got;
        if (got < want)
            break;
        // More follows within this record, or in a continuation when the
        // record ends its page; a record that ends inside its page ends the
        // line.
        const uint8_t* q = vmi::pg(b->page_id);
        if (!q)
            return false;
        uint32_t rend = b->rec_off + VM_LINE_HDR + vmi::rd32(q + b->rec_off + 1);
        if (b->char_off == rend && rend < vmi::rd16(q + 4))
            break;
        want = VM_PAGE_SIZE;
    }
    text.resize(have);
    return true;
}

struct Entry {
    uint64_t prefix; // the key's first 8 bytes as the order sees them
    size_t off;   // text in the run's arena
    uint32_t len;
    uint32_t koff, klen;
    uint32_t idx; // place in the range
};

// One sorted run as the merge reads it: in memory, or in a buffer whose
// line tags hold the lines' places in the range.
struct Run {
    VMB* buffer = nullptr;
    uint32_t next = 1; // next line of the buffer
    std::string text;
    const std::vector<Entry>* entries = nullptr;
    const std::string* arena = nullptr;
    size_t at = 0;
    // The current line.
    const char* t = nullptr;
    uint32_t len = 0, koff = 0, klen = 0, idx = 0;

    // False at the end of the run; *failed when a page could not be read.
    bool advance(const KeyRule& rule, bool* failed) {
        if (!buffer) {
            if (at >= entries->size())
                return false;
            const Entry& e = (*entries)[at++];
            t = arena->data() + e.off;
            len = e.len;
            koff = e.koff;
            klen = e.klen;
            idx = e.idx;
            return true;
        }
        if (next > buffer->line_count)
            return false;
        VM_LINE h;
        if (!read_line(buffer, next++, text, &h)) {
            *failed = true;
            return false;
        }
        t = text.data();
        len = uint32_t(text.size());
        size_t o, n;
        key_of(t, len, rule, &o, &n);
        koff = uint32_t(o);
        klen = uint32_t(n);
        idx = h.tag;
        return true;
    }
};

struct Header {
    uint32_t tag;
    uint16_t flags;
    uint8_t lex_a, lex_b;
};

class Sorter {
public:
    Sorter(VMB* b, uint32_t first, uint32_t last, const KeyRule& rule)
        : b_(b), first_(first), n_(last - first + 1), rule_(rule) {}
    ~Sorter() {
        for (Run& r : runs_)
            if (r.buffer)
                vmb_close(r.buffer, 0);
    }

    // Reads the range into sorted runs. False when a line cannot be read or
    // a run buffer cannot be made.
    bool Read() {
        hdr_.resize(n_);
        kept_.assign(n_, false);
        std::string text, max_key;
        for (uint32_t i = 0; i < n_; ++i) {
            VM_LINE h;
            if (!read_line(b_, first_ + i, text, &h))
                return false;
            hdr_[i] = Header{h.tag, h.flags, h.lex_a, h.lex_b};
            size_t o, k;
            key_of(text.data(), text.size(), rule_, &o, &k);
            // In its place when it sorts at or after every line before it.
            if (i == 0 || Compare(text.data() + o, k, max_key.data(), max_key.size()) >= 0) {
                kept_[i] = true;
                max_key.assign(text.data() + o, k);
            } else {
                all_kept_ = false;
            }
            if (!arena_.empty() && arena_.size() + text.size() > kRunBytes && !Spill())
                return false;
            entries_.push_back(Entry{Prefix(text.data() + o, k), arena_.size(), uint32_t(text.size()),
                                     uint32_t(o), uint32_t(k), i});
            arena_ += text;
        }
        if (all_kept_)
            return true;
        SortEntries();
        Run r;
        r.entries = &entries_;
        r.arena = &arena_;
        runs_.push_back(r);
        return true;
    }

    bool AllInPlace() const { return all_kept_; }
    const Header& Original(uint32_t idx) const { return hdr_[idx]; }
    bool Kept(uint32_t idx) const { return kept_[idx]; }

    // Calls emit(text, len, idx) for every line in sorted order. False when
    // a run cannot be read or emit fails.
    template <class Emit> bool Merge(Emit emit) {
        bool failed = false;
        auto later = [this](const Run* a, const Run* b) {
            int c = Compare(a->t + a->koff, a->klen, b->t + b->koff, b->klen);
            return c != 0 ? c > 0 : a->idx > b->idx;
        };
        std::priority_queue<Run*, std::vector<Run*>, decltype(later)> heap(later);
        for (Run& r : runs_)
            if (r.advance(rule_, &failed))
                heap.push(&r);
        while (!heap.empty() && !failed) {
            Run* r = heap.top();
            heap.pop();
            if (!emit(r->t, r->len, r->idx))
                return false;
            if (r->advance(rule_, &failed))
                heap.push(r);
        }
        return !failed;
    }

private:
    int Compare(const char* a, size_t na, const char* b, size_t nb) const {
        return vmi::compare_keys(a, na, b, nb, rule_.options);
    }

    // Most comparisons are settled by the first bytes of the keys, kept in
    // the entries, without reaching for the texts. Keys hold no NUL, so a
    // short key's zero padding sorts it before its longer extensions. The
    // path order looks at the whole text first and takes no prefix.
    uint64_t Prefix(const char* k, size_t n) const {
        if (rule_.options & VM_CMP_PATH)
            return 0;
        const bool nocase = rule_.options & VM_CMP_NOCASE;
        uint64_t v = 0;
        for (size_t i = 0; i < 8; ++i) {
            unsigned c = i < n ? static_cast<unsigned char>(k[i]) : 0;
            if (nocase)
                c = unsigned(std::tolower(int(c)));
            v = (v << 8) | c;
        }
        return v;
    }

    void SortEntries() {
        std::stable_sort(entries_.begin(), entries_.end(), [this](const Entry& x, const Entry& y) {
            if (x.prefix != y.prefix)
                return x.prefix < y.prefix;
            return Compare(arena_.data() + x.off + x.koff, x.klen, arena_.data() + y.off + y.koff, y.klen) < 0;
        });
    }

    // The run in memory goes to a buffer of its own.
    bool Spill() {
        SortEntries();
        VMB* rb = vmb_open(VMB_T_TEMP, nullptr, 0);
        if (!rb)
            return false;
        Run r;
        r.buffer = rb;
        runs_.push_back(r);
        for (const Entry& e : entries_) {
            vmi::AppendRun run;
            VM_LINE h{0, 0, 0, 0, 0, e.idx};
            if (!vmi::append_line(rb, &run, reinterpret_cast<const uint8_t*>(arena_.data() + e.off), e.len, h))
                return false;
        }
        entries_.clear();
        arena_.clear();
        return true;
    }

    VMB* b_;
    uint32_t first_, n_;
    KeyRule rule_;
    std::vector<Header> hdr_;
    std::vector<bool> kept_;
    bool all_kept_ = true;
    std::string arena_;
    std::vector<Entry> entries_;
    std::vector<Run> runs_;
};

// Copies lines from..to of `src` with their headers to the end of `dst`.
bool copy_lines(VMB* src, uint32_t from, uint32_t to, VMB* dst) {
    std::string text;
    for (uint32_t line = from; line <= to; ++line) {
        VM_LINE h;
        vmi::AppendRun run;
        if (!read_line(src, line, text, &h) ||
            !vmi::append_line(dst, &run, reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), h))
            return false;
    }
    return true;
}

// Without a view: the sorted text is built in a buffer of its own, then
// exchanged with the buffer's.
bool sort_quietly(VMB* b, uint32_t first, uint32_t last, Sorter& s) {
    VMB* out = vmb_open(VMB_T_TEMP, nullptr, 0);
    if (!out)
        return false;
    bool ok = copy_lines(b, 1, first - 1, out) &&
              s.Merge([&](const char* t, uint32_t len, uint32_t idx) {
                  const Header& o = s.Original(idx);
                  // A moved line is a line made by editing.
                  VM_LINE h{0, 0, uint16_t(VM_LF_SPLIT | (o.flags & kSettledFlag)), 0, 0, 0};
                  if (s.Kept(idx))
                      h = VM_LINE{0, 0, o.flags, o.lex_a, o.lex_b, o.tag};
                  vmi::AppendRun run;
                  return vmi::append_line(out, &run, reinterpret_cast<const uint8_t*>(t), len, h);
              }) &&
              copy_lines(b, last + 1, b->line_count, out);
    if (ok)
        vmi::swap_text(b, out);
    vmb_close(out, 0); // the old text when exchanged, else the partial copy
    if (!ok)
        return false;
    vm_set_position(b, int(first), 0);
    if (b->lex_line >= first)
        b->lex_line = first - 1;
    vm_state_flags(b, VM_OP_SET, VM_ST_EDIT);
    return true;
}

// With a view: every move in turn, told before it is made.
bool sort_told(VMB* b, uint32_t first, uint32_t n, const VmSortView* view, Sorter& s) {
    std::vector<uint32_t> rank(n);
    uint32_t pos = 0;
    if (!s.Merge([&](const char*, uint32_t, uint32_t idx) {
            rank[idx] = pos++;
            return true;
        }))
        return false;
    // Lines before i that sort before it (a Fenwick tree over the ranks).
    std::vector<uint32_t> tree(n + 1, 0);
    std::string text;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t before = 0;
        for (uint32_t k = rank[i]; k > 0; k -= k & (0u - k))
            before += tree[k];
        for (uint32_t k = rank[i] + 1; k <= n; k += k & (0u - k))
            ++tree[k];
        if (before == i)
            continue; // already in its place
        const int line = int(first + i);
        const int after = int(first) - 1 + int(before);
        int len = vm_line_length(b, line);
        int flags = 0;
        text.resize(size_t(len < 0 ? 0 : len) + 1);
        if (len < 0 || vm_read_text(b, line, 0, &text[0], len, &flags) != len)
            return false;
        view->line_change(view->view, kLineImage, kLineInserted, after + 1);
        int moved = vm_insert_line(b, after, text.data(), len);
        if (moved == 0)
            return false; // the line is still where it was
        vm_line_flags(b, moved, VM_OP_SET, (flags & kSettledFlag) | kChangedFlag);
        // The old copy moved down by the insertion above it.
        view->line_change(view->view, kLineImage, kLineDeleted, line + 1);
        if (vm_delete_lines(b, line + 1, 1, 1) < 0)
            return false;
        vm_state_flags(b, VM_OP_SET, VM_ST_EDIT);
    }
    return true;
}

} // namespace

int vm_sort_lines(VMB* buffer, int first, int last, const VmSortView* view, int column,
                  unsigned options) {
    if (!vmb_in_use(buffer))
        return 0;
    if (column > 1 && !view)
        return 0;
    VmGuard guard;
    int count = vm_last_ln(buffer);
    if (first == 0) {
        first = 1;
        last = count;
    }
    if (last > count)
        last = count;
    if (first < 1 || first > last)
        return 0;
    const bool tell = view && view->line_change && vmb_is_file_or_named(buffer);
    vmi::PosSave saved = vmi::save_pos(buffer);
    Sorter s(buffer, uint32_t(first), uint32_t(last), KeyRule{column, view ? &view->tabs : nullptr, options});
    if (!s.Read()) {
        vmi::restore_pos(buffer, saved);
        return 0;
    }
    if (s.AllInPlace()) {
        vmi::restore_pos(buffer, saved);
        return 1;
    }
    bool ok = tell ? sort_told(buffer, uint32_t(first), uint32_t(last - first + 1), view, s)
                   : sort_quietly(buffer, uint32_t(first), uint32_t(last), s);
    if (!ok && !tell)
        vmi::restore_pos(buffer, saved);
    return ok ? 1 : 0;
}

int vm_sort_all(VMB* buffer, unsigned options) {
    return vm_sort_lines(buffer, 0, 0, nullptr, 1, options);
}
