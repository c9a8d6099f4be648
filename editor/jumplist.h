#pragma once
// The jump list: a process-wide history of view positions that Go Back and
// Go Forward walk. Positions are recorded before jumps; an entry remembers
// the caret line's original number so that it survives edits above it.
//
// The list knows views only as opaque pointers; the view layer installs the
// calls that read, test, activate and restore them (jumplist_win.cpp does
// so for text views). Everything runs on the user-interface thread.
#include <cstdint>
#include <string>

// Nine 32-bit values of a view's position.
struct JumpPosition {
    int32_t top_line = 1;
    int32_t caret_line = 1;
    int32_t caret_col = 0;
    int32_t caret_dcol = 1;
    int32_t bar_width = 0;
    int32_t first_col = 0;
    int32_t caret_x = 0;
    int32_t caret_y = 0;
    int32_t remembered_col = 1;
};

class CViewJumpList {
public:
    CViewJumpList(void* view, std::string path, const JumpPosition& pos)
        : view_(view), path_(std::move(path)), pos_(pos) {}
    virtual ~CViewJumpList() = default;
    // Puts the view back at the recorded position (or activates its frame
    // when it is not the current view). 0 when its view is gone.
    int RestoreTo();
    void* view() const { return view_; }
    const std::string& path() const { return path_; }
    const JumpPosition& position() const { return pos_; }

private:
    void* view_;
    std::string path_;
    JumpPosition pos_;
};

struct JumpListHooks {
    bool (*is_window)(void* view) = nullptr;
    void* (*current_view)() = nullptr;
    bool (*is_editable)(void* view) = nullptr;
    // The view's position and its document's path; false when it has none.
    bool (*read)(void* view, JumpPosition* pos, std::string* path) = nullptr;
    // Brings the view's frame to the front (a view that is not current).
    void (*activate)(void* view) = nullptr;
    // Applies a recorded position to the current view; 1 when it landed.
    int (*apply)(void* view, const JumpPosition& pos) = nullptr;
    // Out of memory while recording (the list has been emptied).
    void (*out_of_memory)() = nullptr;
};
void SetJumpListHooks(const JumpListHooks& hooks);

int AddToJumpList(void* view);
// forward 0: back is possible; 1: forward is possible.
int JumpListCanMove(int forward);
int JumpListGoBack();
int JumpListGoForward();
void RemoveViewFromJumpList(void* view);
void ClearJumpList();
// For tests and the status of the commands: entries and the current index
// (-1: none, past the newest).
int JumpListSize();
int JumpListCurrentIndex();
const CViewJumpList* JumpListEntry(int index);
