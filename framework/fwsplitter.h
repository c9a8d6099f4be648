#pragma once
// The splitter window: a frame's client divided into up to 2 x 2 panes of
// views of one document, with scroll bars shared along rows and columns.
//
//   bool CChildFrame::OnCreateClient(CREATESTRUCTA*, fw::CreateContext* ctx) {
//       return splitter_.Create(hwnd(), 2, 2, fw::Size(10, 10), ctx);
//   }
//   splitter_.SplitRow(120);  splitter_.GetPane(1, 0);
//   splitter_.DoKeyboardSplit();   // arrows move, Enter splits, Esc cancels
//
// A dynamic splitter starts with one pane made from the context's view
// class and makes new panes of the same class for the same document when
// it splits. Panes have the ids IdFromRowCol (kPaneFirst + 16 * row + col);
// with WS_HSCROLL / WS_VSCROLL in its style the splitter owns one
// horizontal scroll bar per column (id kScrollHorzFirst + col) and one
// vertical per row (kScrollVertFirst + row), which the panes use instead
// of their own (View::GetScrollBarCtrl); a bar's scroll messages go to
// every pane of its column or row. The splitter object is usually a member
// of its frame and does not delete itself.
#include <windows.h>

#include <vector>

#include "framework/fwexport.h"
#include "framework/fwgdi.h"
#include "framework/fwwnd.h"

namespace fw {

struct CreateContext;
class View;

enum : UINT {
    kScrollHorzFirst = 59904,
    kScrollVertFirst = 59920,
};

class QWFW_API SplitterWindow : public Window {
    FW_DECLARE_DYNCREATE(SplitterWindow)
    FW_DECLARE_MESSAGE_MAP()
public:
    SplitterWindow();
    ~SplitterWindow() override;

    // A dynamic splitter (1 or 2 rows and columns at most) with its first
    // pane made from context->new_view_class.
    bool Create(HWND parent, int max_rows, int max_cols, SIZE min_pane, CreateContext* context,
                DWORD style = WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, UINT id = 59648);
    // A static splitter of rows x cols; the caller makes every pane with CreateView.
    bool CreateStatic(HWND parent, int rows, int cols, DWORD style = WS_CHILD | WS_VISIBLE,
                      UINT id = 59648);
    bool CreateView(int row, int col, const RuntimeClass* view_class, SIZE initial,
                    CreateContext* context);

    int GetRowCount() const { return static_cast<int>(rows_.size()); }
    int GetColumnCount() const { return static_cast<int>(cols_.size()); }
    int GetMaxRowCount() const { return max_rows_; }
    int GetMaxColumnCount() const { return max_cols_; }
    // Ideal and minimum size of a row or column; RecalcLayout applies them.
    void SetRowInfo(int row, int ideal, int min);
    void SetColumnInfo(int col, int ideal, int min);
    // Current and minimum size; false for a row or column that does not exist.
    bool GetRowInfo(int row, int& current, int& min) const;
    bool GetColumnInfo(int col, int& current, int& min) const;

    static UINT IdFromRowCol(int row, int col) { return 59648u + 16u * row + col; }
    Window* GetPane(int row, int col) const;
    bool IsChildPane(const Window* w, int* row, int* col) const;
    // The pane of the frame's active view, or null.
    Window* GetActivePane(int* row = nullptr, int* col = nullptr) const;
    void SetActivePane(int row, int col);
    bool CanActivateNext(bool previous = false) const;
    void ActivateNext(bool previous = false);

    // Splits at a position inside the splitter; false when it cannot.
    bool SplitRow(int y) { return Split(true, y); }
    bool SplitColumn(int x) { return Split(false, x); }
    // Removes a row or column (its panes are destroyed); the others move up.
    void DeleteRow(int row) { Remove(true, row); }
    void DeleteColumn(int col) { Remove(false, col); }
    // Starts keyboard tracking of the split bars (both ways while unsplit).
    bool DoKeyboardSplit();
    bool tracking() const { return tracking_; }

    void RecalcLayout();
    HWND GetScrollBarFor(const View* pane, int bar) const;
    int splitter_bar_size() const { return bar_; }

protected:
    void PostNcDestroy() override {}
    // Makes the panes of a new row or column like those beside them.
    virtual bool CreateSplitPane(int row, int col, int like_row, int like_col);

private:
    struct Track {
        int ideal = 0, min = 0, current = 0;
    };
    LRESULT OnSize(WPARAM, LPARAM);
    LRESULT OnKeyDown(WPARAM, LPARAM);
    LRESULT OnScroll(WPARAM, LPARAM);
    LRESULT OnLButtonDown(WPARAM, LPARAM);
    LRESULT OnMouseMove(WPARAM, LPARAM);
    LRESULT OnLButtonUp(WPARAM, LPARAM);
    LRESULT OnCancelMode(WPARAM, LPARAM);
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnSetCursor(WPARAM, LPARAM);
    void Layout(std::vector<Track>& tracks, int total);
    // Rows (true) or columns: `along` indexes that way, `across` the other.
    Window* PaneAt(bool rows, int along, int across) const;
    bool Split(bool rows, int pos);
    void Remove(bool rows, int index);
    // Ends a track of the bar at `pos`: split, move, or remove at an edge.
    void ApplyTrack(bool rows, int pos);
    void EndTracking(bool accept);
    Rect Inside() const;
    // The hit of a point: 1 the row bar, 2 the column bar, 3 both, 0 none.
    int HitTest(POINT p) const;

    std::vector<Track> rows_, cols_;
    std::vector<HWND> hbars_, vbars_;
    int max_rows_ = 1, max_cols_ = 1;
    Size min_pane_;
    bool dynamic_ = false;
    bool tracking_ = false;
    bool track_row_ = false, track_col_ = false;
    Point track_pos_;
    int bar_ = 6;
    const RuntimeClass* view_class_ = nullptr;
};

} // namespace fw
