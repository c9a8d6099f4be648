// The jump list (see jumplist.h).
#include "editor/jumplist.h"

#include <iterator>
#include <list>
#include <memory>
#include <new>

namespace {

using Entry = std::unique_ptr<CViewJumpList>;
std::list<Entry> g_list;
std::list<Entry>::iterator g_cur = g_list.end(); // end(): none
JumpListHooks g_hooks;

bool Live(void* v) { return v && g_hooks.is_window && g_hooks.is_window(v); }

bool Read(void* v, JumpPosition* pos, std::string* path) {
    return g_hooks.read && g_hooks.read(v, pos, path);
}

bool SamePosition(const CViewJumpList& e, void* view, const JumpPosition& p) {
    return e.view() == view && e.position().caret_line == p.caret_line &&
           e.position().caret_col == p.caret_col;
}

// Whether entry e belongs to v and v now stands elsewhere.
bool InViewElsewhere(const CViewJumpList& e, void* v) {
    if (e.view() != v)
        return false;
    JumpPosition now;
    std::string path;
    return Read(v, &now, &path) && !SamePosition(e, v, now);
}

} // namespace

void SetJumpListHooks(const JumpListHooks& hooks) { g_hooks = hooks; }

int CViewJumpList::RestoreTo() {
    if (!Live(view_))
        return 0;
    void* current = g_hooks.current_view ? g_hooks.current_view() : nullptr;
    if (current != view_) {
        if (g_hooks.activate)
            g_hooks.activate(view_);
        return 1;
    }
    return g_hooks.apply ? g_hooks.apply(view_, pos_) : 0;
}

int AddToJumpList(void* view) {
    JumpPosition pos;
    std::string path;
    bool readable = Live(view) && Read(view, &pos, &path);
    if (readable && !g_list.empty() && SamePosition(*g_list.back(), view, pos))
        return 1;
    g_list.erase(g_cur, g_list.end());
    if (readable) {
        try {
            g_list.push_back(std::make_unique<CViewJumpList>(view, std::move(path), pos));
        } catch (const std::bad_alloc&) {
            ClearJumpList();
            if (g_hooks.out_of_memory)
                g_hooks.out_of_memory();
        }
    }
    g_cur = g_list.end();
    return 1;
}

int JumpListCanMove(int forward) {
    if (g_list.empty())
        return 0;
    if (forward)
        return g_cur != g_list.end() ? 1 : 0;
    return g_cur != g_list.begin() ? 1 : 0;
}

int JumpListGoBack() {
    if (!JumpListCanMove(0))
        return 0;
    void* v = g_hooks.current_view ? g_hooks.current_view() : nullptr;
    bool restored = false;
    if (g_cur != g_list.end()) {
        if (InViewElsewhere(**g_cur, v)) {
            (*g_cur)->RestoreTo();
            restored = true;
        } else if (g_cur != g_list.begin()) {
            --g_cur;
        }
    } else {
        auto newest = std::prev(g_list.end());
        if (InViewElsewhere(**newest, v)) {
            (*newest)->RestoreTo();
            restored = true;
        } else if (v && g_hooks.is_editable && g_hooks.is_editable(v) && (*newest)->view() != v) {
            // Forward comes back to where the user stands now.
            AddToJumpList(v);
            g_cur = newest;
        } else if (newest != g_list.begin()) {
            g_cur = std::prev(newest);
        }
    }
    if (!restored && g_cur != g_list.end())
        (*g_cur)->RestoreTo();
    if (g_list.size() == 1)
        ClearJumpList();
    return 1;
}

int JumpListGoForward() {
    if (!JumpListCanMove(1))
        return 0;
    auto next = std::next(g_cur);
    if (next == g_list.end()) {
        g_cur = g_list.end();
        return 0;
    }
    CViewJumpList* e = next->get();
    g_cur = std::next(next) == g_list.end() ? g_list.end() : next;
    e->RestoreTo();
    return 1;
}

void RemoveViewFromJumpList(void* view) {
    bool had_current = g_cur != g_list.end();
    // The current position moves to the nearest earlier entry that stays,
    // or else the next one that stays.
    if (had_current && (*g_cur)->view() == view) {
        auto it = g_cur;
        auto keep = g_list.end();
        while (it != g_list.begin()) {
            --it;
            if ((*it)->view() != view) {
                keep = it;
                break;
            }
        }
        if (keep == g_list.end())
            for (it = std::next(g_cur); it != g_list.end(); ++it)
                if ((*it)->view() != view) {
                    keep = it;
                    break;
                }
        g_cur = keep;
    }
    for (auto it = g_list.begin(); it != g_list.end();) {
        if ((*it)->view() == view)
            it = g_list.erase(it);
        else
            ++it;
    }
    // Neighbours that are now the same position: the earlier goes.
    for (auto it = g_list.begin(); it != g_list.end();) {
        auto next = std::next(it);
        if (next == g_list.end())
            break;
        if (SamePosition(**next, (*it)->view(), (*it)->position())) {
            if (g_cur == it)
                g_cur = next;
            it = g_list.erase(it);
        } else {
            it = next;
        }
    }
    if (g_list.empty() || (g_cur != g_list.end() && std::next(g_cur) == g_list.end()))
        g_cur = g_list.end();
}

void ClearJumpList() {
    g_list.clear();
    g_cur = g_list.end();
}

int JumpListSize() { return int(g_list.size()); }

int JumpListCurrentIndex() {
    if (g_cur == g_list.end())
        return -1;
    return int(std::distance(g_list.begin(), g_cur));
}

const CViewJumpList* JumpListEntry(int index) {
    if (index < 0 || index >= int(g_list.size()))
        return nullptr;
    auto it = g_list.begin();
    std::advance(it, index);
    return it->get();
}
