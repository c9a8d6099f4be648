#include "framework/fwsplitter.h"

#include <algorithm>

#include "framework/fwdoc.h"
#include "framework/fwframe.h"
#include "framework/fwview.h"

namespace fw {

namespace {
const char kSplitterClass[] = "QWFrameworkSplitter";
constexpr int kKeyStep = 10;
} // namespace

FW_IMPLEMENT_DYNCREATE(SplitterWindow, Window)
FW_BEGIN_MESSAGE_MAP(SplitterWindow, Window)
    FW_ON_MESSAGE(WM_SIZE, OnSize)
    FW_ON_MESSAGE(WM_KEYDOWN, OnKeyDown)
    FW_ON_MESSAGE(WM_HSCROLL, OnScroll)
    FW_ON_MESSAGE(WM_VSCROLL, OnScroll)
    FW_ON_MESSAGE(WM_LBUTTONDOWN, OnLButtonDown)
    FW_ON_MESSAGE(WM_MOUSEMOVE, OnMouseMove)
    FW_ON_MESSAGE(WM_LBUTTONUP, OnLButtonUp)
    FW_ON_MESSAGE(WM_CANCELMODE, OnCancelMode)
    FW_ON_MESSAGE(WM_PAINT, OnPaint)
    FW_ON_MESSAGE(WM_SETCURSOR, OnSetCursor)
FW_END_MESSAGE_MAP()

SplitterWindow::SplitterWindow() = default;
SplitterWindow::~SplitterWindow() = default;

bool SplitterWindow::CreateStatic(HWND parent, int rows, int cols, DWORD style, UINT id) {
    if (rows < 1 || cols < 1 || rows > 16 || cols > 16) return false;
    if (!RegisterClass(kSplitterClass, CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
        return false;
    max_rows_ = rows;
    max_cols_ = cols;
    rows_.assign(static_cast<size_t>(rows), Track{});
    cols_.assign(static_cast<size_t>(cols), Track{});
    bar_ = std::max(4, GetSystemMetrics(SM_CXEDGE) * 2 + 2);
    DWORD own = style & ~static_cast<DWORD>(WS_HSCROLL | WS_VSCROLL);
    if (!Window::Create(kSplitterClass, "", own | WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, 0, parent,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id))))
        return false;
    // The scroll bars the panes share: one per column and one per row.
    auto make_bar = [&](bool horz, int i) {
        return CreateWindowExA(0, "SCROLLBAR", nullptr, WS_CHILD | WS_VISIBLE | (horz ? SBS_HORZ : SBS_VERT),
                               0, 0, 0, 0, hwnd(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(
                                   (horz ? kScrollHorzFirst : kScrollVertFirst) + i)),
                               GetModuleHandleA(nullptr), nullptr);
    };
    if (style & WS_HSCROLL)
        for (int c = 0; c < max_cols_; ++c) hbars_.push_back(make_bar(true, c));
    if (style & WS_VSCROLL)
        for (int r = 0; r < max_rows_; ++r) vbars_.push_back(make_bar(false, r));
    return true;
}

bool SplitterWindow::Create(HWND parent, int max_rows, int max_cols, SIZE min_pane,
                            CreateContext* context, DWORD style, UINT id) {
    if (max_rows < 1 || max_rows > 2 || max_cols < 1 || max_cols > 2 || !context ||
        !context->new_view_class)
        return false;
    if (!CreateStatic(parent, max_rows, max_cols, style, id)) return false;
    dynamic_ = true;
    min_pane_ = min_pane;
    view_class_ = context->new_view_class;
    rows_.resize(1);
    cols_.resize(1);
    if (!CreateView(0, 0, view_class_, Size(0, 0), context)) {
        DestroyWindow();
        return false;
    }
    return true;
}

bool SplitterWindow::CreateView(int row, int col, const RuntimeClass* view_class, SIZE initial,
                                CreateContext* context) {
    if (row < 0 || col < 0 || row >= GetRowCount() || col >= GetColumnCount() || !view_class) return false;
    if (GetPane(row, col)) return false;
    Object* obj = view_class->CreateObject();
    View* view = DynamicDowncast<View>(obj);
    if (!view) {
        delete obj;
        return false;
    }
    Document* doc = context ? context->current_doc : nullptr;
    if (!view->CreateView(hwnd(), IdFromRowCol(row, col), doc, Rect(0, 0, initial.cx, initial.cy))) {
        delete view;
        return false;
    }
    if (context) context->last_view = view;
    if (initial.cx > 0) cols_[static_cast<size_t>(col)].ideal = initial.cx;
    if (initial.cy > 0) rows_[static_cast<size_t>(row)].ideal = initial.cy;
    RecalcLayout();
    return true;
}

void SplitterWindow::SetRowInfo(int row, int ideal, int min) {
    if (row < 0 || row >= GetRowCount()) return;
    rows_[static_cast<size_t>(row)].ideal = ideal;
    rows_[static_cast<size_t>(row)].min = min;
}

void SplitterWindow::SetColumnInfo(int col, int ideal, int min) {
    if (col < 0 || col >= GetColumnCount()) return;
    cols_[static_cast<size_t>(col)].ideal = ideal;
    cols_[static_cast<size_t>(col)].min = min;
}

bool SplitterWindow::GetRowInfo(int row, int& current, int& min) const {
    if (row < 0 || row >= GetRowCount()) return false;
    current = rows_[static_cast<size_t>(row)].current;
    min = rows_[static_cast<size_t>(row)].min;
    return true;
}

bool SplitterWindow::GetColumnInfo(int col, int& current, int& min) const {
    if (col < 0 || col >= GetColumnCount()) return false;
    current = cols_[static_cast<size_t>(col)].current;
    min = cols_[static_cast<size_t>(col)].min;
    return true;
}

Window* SplitterWindow::GetPane(int row, int col) const {
    if (!hwnd() || row < 0 || col < 0 || row >= GetRowCount() || col >= GetColumnCount()) return nullptr;
    return FromHandlePermanent(::GetDlgItem(hwnd(), static_cast<int>(IdFromRowCol(row, col))));
}

bool SplitterWindow::IsChildPane(const Window* w, int* row, int* col) const {
    if (!w || !w->hwnd() || ::GetParent(w->hwnd()) != hwnd()) return false;
    int id = ::GetDlgCtrlID(w->hwnd()) - static_cast<int>(IdFromRowCol(0, 0));
    int r = id / 16, c = id % 16;
    if (id < 0 || r >= GetRowCount() || c >= GetColumnCount()) return false;
    if (row) *row = r;
    if (col) *col = c;
    return true;
}

Window* SplitterWindow::GetActivePane(int* row, int* col) const {
    FrameWindow* frame = GetParentFrameOf(::GetParent(hwnd()));
    Window* view = frame ? frame->GetActiveView() : nullptr;
    if (!IsChildPane(view, row, col)) {
        // Without an active view, the pane that has the focus.
        view = FromHandlePermanent(::GetFocus());
        if (!IsChildPane(view, row, col)) return nullptr;
    }
    return view;
}

void SplitterWindow::SetActivePane(int row, int col) {
    View* view = DynamicDowncast<View>(GetPane(row, col));
    if (!view) return;
    FrameWindow* frame = GetParentFrameOf(::GetParent(hwnd()));
    if (frame) frame->SetActiveView(view);
    else ::SetFocus(view->hwnd());
}

bool SplitterWindow::CanActivateNext(bool) const {
    return GetRowCount() * GetColumnCount() > 1 && GetActivePane() != nullptr;
}

void SplitterWindow::ActivateNext(bool previous) {
    int row = 0, col = 0;
    if (!GetActivePane(&row, &col)) return;
    int n = GetRowCount() * GetColumnCount();
    int at = row * GetColumnCount() + col;
    at = (at + (previous ? n - 1 : 1)) % n;
    SetActivePane(at / GetColumnCount(), at % GetColumnCount());
}

Rect SplitterWindow::Inside() const {
    Rect r = Rect::Client(hwnd());
    if (!vbars_.empty()) r.right -= GetSystemMetrics(SM_CXVSCROLL);
    if (!hbars_.empty()) r.bottom -= GetSystemMetrics(SM_CYHSCROLL);
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

void SplitterWindow::Layout(std::vector<Track>& tracks, int total) {
    // Every track but the last gets its ideal size (within what is left);
    // the last takes the rest.
    int left = total - bar_ * static_cast<int>(tracks.size() - 1);
    for (size_t i = 0; i < tracks.size(); ++i) {
        int size;
        if (i + 1 == tracks.size()) size = left;
        else size = std::clamp(tracks[i].ideal, 0, std::max(0, left));
        tracks[i].current = std::max(0, size);
        left -= tracks[i].current;
    }
}

void SplitterWindow::RecalcLayout() {
    if (!hwnd() || rows_.empty() || cols_.empty()) return;
    Rect in = Inside();
    Layout(rows_, in.Height());
    Layout(cols_, in.Width());
    int cx_v = GetSystemMetrics(SM_CXVSCROLL), cy_h = GetSystemMetrics(SM_CYHSCROLL);
    int y = in.top;
    for (int r = 0; r < GetRowCount(); ++r) {
        int x = in.left;
        int h = rows_[static_cast<size_t>(r)].current;
        for (int c = 0; c < GetColumnCount(); ++c) {
            int w = cols_[static_cast<size_t>(c)].current;
            if (Window* pane = GetPane(r, c)) MoveWindow(pane->hwnd(), x, y, w, h, TRUE);
            if (r == 0 && static_cast<size_t>(c) < hbars_.size())
                MoveWindow(hbars_[static_cast<size_t>(c)], x, in.bottom, w, cy_h, TRUE);
            x += w + bar_;
        }
        if (static_cast<size_t>(r) < vbars_.size()) MoveWindow(vbars_[static_cast<size_t>(r)], in.right, y, cx_v, h, TRUE);
        y += h + bar_;
    }
    // Bars of rows and columns that do not exist stay out of sight.
    for (size_t c = cols_.size(); c < hbars_.size(); ++c) ::ShowWindow(hbars_[c], SW_HIDE);
    for (size_t r = rows_.size(); r < vbars_.size(); ++r) ::ShowWindow(vbars_[r], SW_HIDE);
    for (size_t c = 0; c < std::min(cols_.size(), hbars_.size()); ++c) ::ShowWindow(hbars_[c], SW_SHOWNA);
    for (size_t r = 0; r < std::min(rows_.size(), vbars_.size()); ++r) ::ShowWindow(vbars_[r], SW_SHOWNA);
    Invalidate(true);
}

bool SplitterWindow::CreateSplitPane(int row, int col, int like_row, int like_col) {
    Window* like = GetPane(like_row, like_col);
    View* like_view = DynamicDowncast<View>(like);
    CreateContext ctx;
    ctx.new_view_class = like ? like->GetRuntimeClass() : view_class_;
    ctx.current_doc = like_view ? like_view->GetDocument() : nullptr;
    if (!CreateView(row, col, ctx.new_view_class, Size(0, 0), &ctx)) return false;
    if (View* v = DynamicDowncast<View>(ctx.last_view)) v->OnInitialUpdate();
    return true;
}

Window* SplitterWindow::PaneAt(bool rows, int along, int across) const {
    return rows ? GetPane(along, across) : GetPane(across, along);
}

bool SplitterWindow::Split(bool rows, int pos) {
    std::vector<Track>& tracks = rows ? rows_ : cols_;
    if (!dynamic_ || static_cast<int>(tracks.size()) >= (rows ? max_rows_ : max_cols_)) return false;
    Rect in = Inside();
    int first = pos - (rows ? in.top : in.left);
    int extent = rows ? in.Height() : in.Width();
    int min = rows ? min_pane_.cy : min_pane_.cx;
    if (first < min || extent - first - bar_ < min) return false;
    tracks[0].ideal = first;
    tracks.push_back(Track{0, min, 0});
    int across = rows ? GetColumnCount() : GetRowCount();
    for (int i = 0; i < across; ++i) {
        bool made = rows ? CreateSplitPane(1, i, 0, i) : CreateSplitPane(i, 1, i, 0);
        if (!made) {
            Remove(rows, 1);
            return false;
        }
    }
    RecalcLayout();
    return true;
}

void SplitterWindow::Remove(bool rows, int index) {
    std::vector<Track>& tracks = rows ? rows_ : cols_;
    if (index < 0 || index >= static_cast<int>(tracks.size()) || tracks.size() < 2) return;
    int other = index == 0 ? 1 : 0;
    Window* active = GetActivePane();
    int across = rows ? GetColumnCount() : GetRowCount();
    for (int i = 0; i < across; ++i) {
        Window* gone = PaneAt(rows, index, i);
        Window* keep = PaneAt(rows, other, i);
        if (active && active == gone) {
            if (rows) SetActivePane(other, i);
            else SetActivePane(i, other);
        }
        if (gone) gone->DestroyWindow();
        // The panes that stay take the ids of the first row or column.
        if (keep && other == 1)
            SetWindowLongPtrA(keep->hwnd(), GWLP_ID, rows ? IdFromRowCol(0, i) : IdFromRowCol(i, 0));
    }
    int keep_min = tracks[static_cast<size_t>(other)].min;
    tracks.resize(1);
    tracks[0] = Track{0, keep_min, 0};
    RecalcLayout();
}

void SplitterWindow::ApplyTrack(bool rows, int pos) {
    std::vector<Track>& tracks = rows ? rows_ : cols_;
    Rect in = Inside();
    int first = pos - (rows ? in.top : in.left);
    int second = (rows ? in.Height() : in.Width()) - first - bar_;
    if (tracks.size() == 1) Split(rows, pos);
    else if (first < std::max(1, tracks[0].min)) Remove(rows, 0);  // dragged to an edge: that pane goes
    else if (second < std::max(1, tracks[1].min)) Remove(rows, 1);
    else tracks[0].ideal = first;
}

bool SplitterWindow::DoKeyboardSplit() {
    if (!hwnd() || tracking_) return false;
    Rect in = Inside();
    track_row_ = GetRowCount() > 1 || (dynamic_ && max_rows_ > 1);
    track_col_ = GetColumnCount() > 1 || (dynamic_ && max_cols_ > 1);
    if (!track_row_ && !track_col_) return false;
    // Unsplit ways start in the middle; split ones at their bar.
    track_pos_.y = GetRowCount() > 1 ? in.top + rows_[0].current : in.top + in.Height() / 2;
    track_pos_.x = GetColumnCount() > 1 ? in.left + cols_[0].current : in.left + in.Width() / 2;
    tracking_ = true;
    ::SetFocus(hwnd());
    ::SetCapture(hwnd());
    return true;
}

void SplitterWindow::EndTracking(bool accept) {
    if (!tracking_) return;
    tracking_ = false;
    if (::GetCapture() == hwnd()) ::ReleaseCapture();
    if (accept) {
        if (track_row_) ApplyTrack(true, track_pos_.y);
        if (track_col_) ApplyTrack(false, track_pos_.x);
        RecalcLayout();
    }
    Window* active = GetActivePane();
    if (!active) active = GetPane(0, 0);
    if (active) ::SetFocus(active->hwnd());
}

LRESULT SplitterWindow::OnKeyDown(WPARAM wp, LPARAM lp) {
    if (!tracking_) return DefaultProc(WM_KEYDOWN, wp, lp);
    int step = (GetKeyState(VK_CONTROL) < 0) ? 1 : kKeyStep;
    Rect in = Inside();
    switch (wp) {
    case VK_RETURN: EndTracking(true); return 0;
    case VK_ESCAPE: EndTracking(false); return 0;
    case VK_UP: if (track_row_) track_pos_.y -= step; break;
    case VK_DOWN: if (track_row_) track_pos_.y += step; break;
    case VK_LEFT: if (track_col_) track_pos_.x -= step; break;
    case VK_RIGHT: if (track_col_) track_pos_.x += step; break;
    default: return 0;
    }
    track_pos_.y = std::clamp<LONG>(track_pos_.y, in.top, in.bottom);
    track_pos_.x = std::clamp<LONG>(track_pos_.x, in.left, in.right);
    Invalidate(true);
    return 0;
}

LRESULT SplitterWindow::OnScroll(WPARAM wp, LPARAM lp) {
    // A shared bar speaks for every pane of its column (horizontal) or row
    // (vertical).
    HWND bar = reinterpret_cast<HWND>(lp);
    int id = bar ? ::GetDlgCtrlID(bar) : 0;
    bool horz = id >= static_cast<int>(kScrollHorzFirst) && id < static_cast<int>(kScrollHorzFirst) + 16;
    bool vert = id >= static_cast<int>(kScrollVertFirst) && id < static_cast<int>(kScrollVertFirst) + 16;
    if (!horz && !vert) return 0;
    UINT msg = horz ? WM_HSCROLL : WM_VSCROLL;
    int index = id - static_cast<int>(horz ? kScrollHorzFirst : kScrollVertFirst);
    int n = horz ? GetRowCount() : GetColumnCount();
    for (int i = 0; i < n; ++i) {
        Window* pane = horz ? GetPane(i, index) : GetPane(index, i);
        if (pane) ::SendMessageA(pane->hwnd(), msg, wp, lp);
    }
    return 0;
}

HWND SplitterWindow::GetScrollBarFor(const View* pane, int bar) const {
    int row = 0, col = 0;
    if (!IsChildPane(pane, &row, &col)) return nullptr;
    if (bar == SB_HORZ && static_cast<size_t>(col) < hbars_.size()) return hbars_[static_cast<size_t>(col)];
    if (bar == SB_VERT && static_cast<size_t>(row) < vbars_.size()) return vbars_[static_cast<size_t>(row)];
    return nullptr;
}

int SplitterWindow::HitTest(POINT p) const {
    Rect in = Inside();
    int hit = 0;
    if (GetRowCount() > 1) {
        int y = in.top + rows_[0].current;
        if (p.y >= y && p.y < y + bar_) hit |= 1;
    }
    if (GetColumnCount() > 1) {
        int x = in.left + cols_[0].current;
        if (p.x >= x && p.x < x + bar_) hit |= 2;
    }
    return hit;
}

LRESULT SplitterWindow::OnLButtonDown(WPARAM, LPARAM lp) {
    POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    int hit = HitTest(p);
    if (!hit || tracking_) return 0;
    track_row_ = (hit & 1) != 0;
    track_col_ = (hit & 2) != 0;
    track_pos_ = Point(p);
    tracking_ = true;
    ::SetCapture(hwnd());
    return 0;
}

LRESULT SplitterWindow::OnMouseMove(WPARAM, LPARAM lp) {
    if (!tracking_) return 0;
    Rect in = Inside();
    POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    if (track_row_) track_pos_.y = std::clamp<LONG>(p.y, in.top, in.bottom);
    if (track_col_) track_pos_.x = std::clamp<LONG>(p.x, in.left, in.right);
    Invalidate(true);
    return 0;
}

LRESULT SplitterWindow::OnLButtonUp(WPARAM, LPARAM) {
    if (tracking_) EndTracking(true);
    return 0;
}

LRESULT SplitterWindow::OnCancelMode(WPARAM wp, LPARAM lp) {
    if (tracking_) EndTracking(false);
    return DefaultProc(WM_CANCELMODE, wp, lp);
}

LRESULT SplitterWindow::OnSetCursor(WPARAM wp, LPARAM lp) {
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(hwnd(), &p);
    int hit = tracking_ ? (track_row_ ? 1 : 0) | (track_col_ ? 2 : 0) : HitTest(p);
    if (reinterpret_cast<HWND>(wp) == hwnd() && hit) {
        SetCursor(LoadCursor(nullptr, hit == 3 ? IDC_SIZEALL : hit == 1 ? IDC_SIZENS : IDC_SIZEWE));
        return TRUE;
    }
    return DefaultProc(WM_SETCURSOR, wp, lp);
}

LRESULT SplitterWindow::OnPaint(WPARAM, LPARAM) {
    PaintDC dc(hwnd());
    Rect client = Rect::Client(hwnd());
    dc.FillSolidRect(client, GetSysColor(COLOR_BTNFACE));
    if (tracking_) {
        // The tracker: a dark line where the split will go.
        Rect in = Inside();
        COLORREF c = GetSysColor(COLOR_BTNSHADOW);
        if (track_row_) dc.FillSolidRect(Rect(in.left, track_pos_.y, in.right, track_pos_.y + bar_), c);
        if (track_col_) dc.FillSolidRect(Rect(track_pos_.x, in.top, track_pos_.x + bar_, in.bottom), c);
    }
    return 0;
}

LRESULT SplitterWindow::OnSize(WPARAM wp, LPARAM lp) {
    RecalcLayout();
    return DefaultProc(WM_SIZE, wp, lp);
}

} // namespace fw
