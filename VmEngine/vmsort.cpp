// Line sort: an insertion sort over a range of buffer lines, placing each
// line with the binary search of the sorted-list calls, so that a view can
// record every move for undo.
//
// A line is copied to its new place before its old copy is deleted: when
// the copy cannot be made, the line is still where it was and nothing is
// lost. Lines are moved whole, however long.
#include "VmEngine/vmlex.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int kSettledFlag = 0x08;  // follows its line to the new place
constexpr int kChangedFlag = 0x01;  // marks a line the view was told about
constexpr int kLineImage = 5;
constexpr int kLineInserted = 9;
constexpr int kLineDeleted = 11;

// The offset of display column `column` in the text (tabs expanded).
int offset_of_column(const char* text, int len, int column, const VM_TABS* tabs) {
    if (tabs->raw)
        return std::min(column - 1, len);
    int tab = tabs->width > 0 ? tabs->width : 1;
    int col = 1;
    for (int i = 0; i < len; ++i) {
        if (col >= column)
            return i;
        unsigned char c = static_cast<unsigned char>(text[i]);
        col += c == '\t' ? tab - ((col - 1) % tab) : (c < 32 ? 2 : 1);
    }
    return len;
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
    const VM_TABS* tabs = view ? &view->tabs : nullptr;
    std::vector<char> text;
    for (int i = first; i <= last; ++i) {
        int len = vm_line_length(buffer, i);
        if (len < 0)
            return 0;
        text.resize(static_cast<size_t>(len) + 1);
        int flags = 0;
        len = vm_read_text(buffer, i, 0, text.data(), len, &flags);
        if (len < 0)
            return 0;
        text[static_cast<size_t>(len)] = 0;
        const char* key = text.data();
        if (column > 1)
            key += offset_of_column(text.data(), len, column, tabs);

        int code = 0;
        int found = vm_bsearch_range(buffer, first, i - 1, key, tabs, column, options, &code);
        if (code == -3)
            return 0;
        int after = code == -2 ? first - 1 : (code == -1 ? found - 1 : found);
        if (after == i - 1)
            continue;  // already in its place

        if (tell)
            view->line_change(view->view, kLineImage, kLineInserted, after + 1);
        int moved = vm_insert_line(buffer, after, text.data(), len);
        if (moved == 0)
            return 0;  // the line is still where it was
        int keep = (flags & kSettledFlag) | (tell ? kChangedFlag : 0);
        if (keep)
            vm_line_flags(buffer, moved, VM_OP_SET, keep);
        // The old copy moved down by the insertion above it.
        if (tell)
            view->line_change(view->view, kLineImage, kLineDeleted, i + 1);
        if (vm_delete_lines(buffer, i + 1, 1, 1) < 0)
            return 0;
        vm_state_flags(buffer, VM_OP_SET, VM_ST_EDIT);
    }
    return 1;
}

int vm_sort_all(VMB* buffer, unsigned options) {
    return vm_sort_lines(buffer, 0, 0, nullptr, 1, options);
}
