// CQWTextView: window, state, columns and caret (see textview.h).
#include "editor/textview.h"

#include <algorithm>
#include <atomic>
#include <cassert>

#include "VmEngine/vm.h"
#include "editor/langdict.h"
#include "editor/qwdoc.h"
#include "editor/stylesheet.h"
#include "editor/jumplist.h"
#include "editor/panes.h"
#include "editor/textbar.h"
#include "editor/viewdraw.h"
#include "opsys/msgout.h"

namespace {

constexpr UINT kPaneFirst = 59648; // the frame's first pane

std::atomic<HFONT> g_font{nullptr};
std::atomic<int> g_cell_w{0}, g_cell_h{0};
std::atomic<bool> g_show_eof{true};
QwWindowColours g_window_colours{};
bool g_window_colours_read = false;
std::atomic<uint32_t> g_bar_flags{0};
int g_multibyte = -1; // -1 unknown, else whether the ANSI code page is multi-byte
CQWTextView* g_current = nullptr;

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != 0; }

void ReadWindowColours() {
    if (g_window_colours_read)
        return;
    g_window_colours.text = GetSysColor(COLOR_WINDOWTEXT);
    g_window_colours.back = GetSysColor(COLOR_WINDOW);
    g_window_colours.highlight_text = GetSysColor(COLOR_HIGHLIGHTTEXT);
    g_window_colours.highlight = GetSysColor(COLOR_HIGHLIGHT);
    g_window_colours_read = true;
}

bool IsLive(CQWTextView* v) {
    struct Query {
        CQWTextView* view;
        bool live;
    } q{v, false};
    ViewDrawForEach([](CQWTextView* view, void* data) {
        auto* q = static_cast<Query*>(data);
        if (view == q->view)
            q->live = true;
    }, &q);
    return q.live;
}

} // namespace

// ---- Process-wide state ------------------------------------------------------

void SetEditorFont(HFONT font) {
    g_font.store(font);
    g_cell_w.store(0);
    g_cell_h.store(0);
    RefreshViews(0x1, true);
}
HFONT GetEditorFont() { return g_font.load(); }

void DeleteEditorFont() {
    HFONT f = g_font.exchange(nullptr);
    g_cell_w.store(0);
    g_cell_h.store(0);
    if (f)
        DeleteObject(f);
}

namespace {
HWND g_main_frame = nullptr;
} // namespace

HWND EditorMainFrame() { return g_main_frame; }

int InitEditorServices(HWND main_frame, const char* style_sheet_path) {
    g_main_frame = main_frame;
    SetViewDrawReportWindow(main_frame);
    StartViewDrawThread(1);
    // The screen colours until a colour scheme of the user's is loaded.
    ApplyDefaultColourScheme();
    TextBarResources(true);
    InstallNavigationCommands();
    if (!style_sheet_path || !*style_sheet_path)
        return 1;
    return CreateStyleSheetArray(style_sheet_path);
}

void ShutdownEditorServices() {
    ClearJumpList();
    TextBarResources(false);
    DestroyStyleSheetArray();
    ResetLanguageData(0x1);
    DeleteEditorFont();
    StartViewDrawThread(0);
    SetViewDrawReportWindow(nullptr);
    g_main_frame = nullptr;
    vms_stop();
}
int EditorCellWidth() { return g_cell_w.load(); }
int EditorCellHeight() { return g_cell_h.load(); }
QwWindowColours ViewWindowColours() {
    ReadWindowColours();
    return g_window_colours;
}
void SetShowEofRow(bool on) { g_show_eof.store(on); }
bool GetShowEofRow() { return g_show_eof.load(); }

uint32_t TextBarFlags(int op, uint32_t mask) {
    uint32_t before = g_bar_flags.load();
    if (op == 1)
        g_bar_flags.fetch_or(mask);
    else if (op == 0)
        g_bar_flags.fetch_and(~mask);
    uint32_t now = g_bar_flags.load();
    if (now != before)
        RefreshViews(0x1, true);
    return now & mask;
}

int TextBarLayoutWidth(uint32_t f, bool editable, int line_count, int char_w, int bar_w) {
    return LayoutTextBar(f, editable, line_count, char_w, bar_w).width;
}

int RepaintUnderBufferLock(const char* where) {
    if (!vm_lock_held())
        return 0;
    DebugLogF("KV: In %s() the buffer lock is held by the painting thread", where);
    assert(!"repaint or wait with the buffer lock held");
    return 1;
}

bool CQWTextView::MeasureFont(HDC dc) {
    if (!dc)
        return false;
    HFONT font = g_font.load();
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font)
                                        : GetStockObject(ANSI_FIXED_FONT));
    TEXTMETRICA tm{};
    bool ok = GetTextMetricsA(dc, &tm) != 0;
    SelectObject(dc, old);
    if (!ok || tm.tmAveCharWidth <= 0 || tm.tmHeight <= 0)
        return false;
    g_cell_w.store(tm.tmAveCharWidth);
    g_cell_h.store(tm.tmHeight);
    return true;
}

CQWTextView* GetCurrentTextView() {
    CQWTextView* v = g_current;
    if (v && (!IsLive(v) || !v->hwnd() || !IsWindow(v->hwnd()) || v->IsHiddenView())) {
        SelectCurrentTextView(nullptr);
        return nullptr;
    }
    return v;
}

void SelectCurrentTextView(CQWTextView* view) {
    if (view && view->IsHiddenView())
        return; // a hidden view never becomes current
    g_current = view;
    // The document's context lists follow the current view.
    void* doc = view && view->GetBuffer() ? vmb_get_client_data(view->GetBuffer()) : nullptr;
    FillViewContextList(100, doc, view ? view->ViewFlags(-1, ~0u) : 16u, false, 0);
}

void RefreshViews(uint32_t flags, bool recompute) {
    if (!(flags & 0x1))
        return;
    struct Args {
        bool recompute;
    } args{recompute};
    ViewDrawForEach([](CQWTextView* v, void* data) {
        auto* a = static_cast<Args*>(data);
        if (!v->hwnd() || v->IsClosing())
            return;
        if (a->recompute) {
            RECT rc;
            GetClientRect(v->hwnd(), &rc);
            SendMessageA(v->hwnd(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(rc.right, rc.bottom));
        }
        v->WaitForDrawThread(1);
        v->RedrawWindowLines();
    }, &args);
}

// ---- Construction and window -----------------------------------------------------

FW_IMPLEMENT_DYNCREATE(CQWTextView, fw::View)

CQWTextView::CQWTextView() {
    ReadWindowColours();
    if (g_multibyte < 0) {
        CPINFO info{};
        g_multibyte = GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1 ? 1 : 0;
    }
    flags_ = QW_VF_IMMEDIATE;
}

CQWTextView::~CQWTextView() {
    destroyed_ = true;
    RemoveViewFromJumpList(this);
    ViewDrawUnregister(this);
    if (g_current == this)
        g_current = nullptr;
    {
        DrawingLockGuard g;
        painter_.reset();
    }
    // Deleted before its window: the window goes without the object.
    if (HWND h = Detach())
        ::DestroyWindow(h);
}

bool CQWTextView::CreateTextView(HWND parent, const RECT& rect, const TextViewSource& source,
                                 bool hidden) {
    source_ = source;
    if (hidden)
        flags_ |= QW_VF_HIDDEN;
    return CreateView(parent, kPaneFirst, nullptr, rect,
                      WS_CHILD | WS_CLIPSIBLINGS | (hidden ? 0 : WS_VISIBLE));
}

void CQWTextView::SetSource(const TextViewSource& source) {
    WaitForDrawThread(1);
    {
        DrawingLockGuard g;
        source_ = source;
        rows_left_ = 0;
    }
}

void CQWTextView::SyncSourceWithDocument() {
    auto* doc = fw::DynamicDowncast<CQWDoc>(GetDocument());
    if (!doc)
        return;
    TextViewSource s = source_;
    s.buffer = doc->GetBuffer();
    s.tab_width = doc->GetTabWidth();
    int lang = doc->GetLanguage();
    s.lang = lang >= 0 ? lang : -1;
    CStyleSheet* sheet = doc->GetStyleSheet();
    s.colouring = sheet && sheet->m_SyntaxColouring != 0;
    SetSource(s);
    if (doc->IsTempBufferWithPath()) {
        flags_ |= QW_VF_LIST;
        flags_ &= ~QW_VF_EDITABLE;
    }
}

void CQWTextView::TakeDocumentSource() {
    SyncSourceWithDocument();
    if (source_.buffer && !(flags_ & (QW_VF_LIST | QW_VF_EDITABLE))) {
        uint32_t type = vmb_type(source_.buffer);
        bool temp_with_path = (type & VMB_T_TEMP) && vmb_get_name(source_.buffer, nullptr);
        flags_ |= temp_with_path ? QW_VF_LIST : QW_VF_EDITABLE;
    }
}

void CQWTextView::OnInitialUpdate() {
    // A template makes the view before its document opens the file: the
    // buffer is there only now.
    TakeDocumentSource();
    RecomputeGeometry();
    if (hwnd()) RedrawWindowLines();
}

int CQWTextView::GetLineCount() const {
    return source_.buffer ? std::max(vm_line_count(source_.buffer), 0) : 0;
}

uint32_t CQWTextView::ViewFlags(int op, uint32_t mask) {
    if (op == 1)
        flags_.fetch_or(mask);
    else if (op == 0)
        flags_.fetch_and(~mask);
    return flags_.load() & mask;
}

bool CQWTextView::IsLineVisible(uint32_t line) const {
    return line >= top_line_ && rows_ && line <= top_line_ + rows_ - 1 &&
           int64_t(line) <= GetLineCount();
}

LRESULT CQWTextView::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT handled = 0;
    if (OnNavigationMessage(msg, wp, lp, &handled))
        return handled;
    switch (msg) {
    case WM_CREATE: {
        LRESULT r = fw::View::WindowProc(msg, wp, lp);
        if (r == -1)
            return -1;
        TakeDocumentSource();
        ViewDrawRegister(this);
        return 0;
    }
    case WM_SIZE:
        OnSize(LOWORD(lp), HIWORD(lp));
        return 0;
    case WM_ERASEBKGND:
        return 1; // every row is painted whole
    case WM_SETFOCUS:
        if (GetFocus() == hwnd() && !IsHiddenView() && !closing_ && source_.buffer) {
            fw::View::WindowProc(msg, wp, lp);
            flags_ |= QW_VF_FOCUS | QW_VF_ACTIVE;
            flags_ &= ~QW_VF_CLOSING;
            SelectCurrentTextView(this);
            UpdateCaret();
        }
        return 0;
    case WM_KILLFOCUS:
        flags_ &= ~(QW_VF_EAT_CLICK | QW_VF_FOCUS | QW_VF_CLOSING);
        if (caret_made_) {
            DestroyCaret();
            caret_made_ = false;
        }
        return fw::View::WindowProc(msg, wp, lp);
    case WM_SYSCOLORCHANGE:
        InvalidateRect(hwnd(), nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(GetEditorFont());
    case WM_DESTROY:
        OnDestroy();
        return fw::View::WindowProc(msg, wp, lp);
    case UWM_VIEW_ACTION:
        return OnViewRequest(wp, lp);
    case UWM_VIEW_THREAD_CALL:
        return OnViewThreadCall(this, wp);
    default:
        return fw::View::WindowProc(msg, wp, lp); // paint, activation, the framework's own
    }
}

void CQWTextView::OnSize(int cx, int cy) {
    WaitForDrawThread(1);
    {
        DrawingLockGuard g;
        rows_left_ = 0;
        paint_rect_ = RECT{0, 0, cx, cy};
        painter_.reset(); // the row bitmap is made again at the new width
    }
    RecomputeGeometry();
}

void CQWTextView::RecomputeGeometry() {
    int cw = g_cell_w.load(), ch = g_cell_h.load();
    if ((!cw || !ch) && hwnd()) {
        HDC dc = GetDC(hwnd());
        MeasureFont(dc);
        ReleaseDC(hwnd(), dc);
        cw = g_cell_w.load();
        ch = g_cell_h.load();
    }
    if (!cw || !ch)
        return;
    DrawingLockGuard g;
    if (hwnd()) {
        RECT rc;
        ::GetClientRect(hwnd(), &rc);
        paint_rect_ = rc;
    }
    text_bar_width_ = TextBarLayoutWidth(g_bar_flags.load(), (flags_ & QW_VF_EDITABLE) != 0,
                                         source_.buffer ? GetLineCount() : -1, cw, cw);
    int h = paint_rect_.bottom - paint_rect_.top;
    int w = paint_rect_.right - paint_rect_.left - text_bar_width_;
    rows_ = h > 0 ? uint32_t(h / ch) : 0;
    cols_ = w > 0 ? uint32_t(w / cw) : 0;
}

void CQWTextView::OnDestroy() {
    ForgetSavedSplitLayout(this);
    closing_ = true;
    flags_ |= QW_VF_CLOSING;
    if (g_current == this)
        SelectCurrentTextView(nullptr);
    // Withdrawn from the thread under the drawing lock: after this the
    // thread touches the view no more.
    ViewDrawUnregister(this);
    DrawingLockGuard g;
    rows_left_ = 0;
    painter_.reset();
}

void CQWTextView::OnDraw(fw::DC& dc) {
    if (dc.is_printing())
        return; // printing has its own draw helper
    RECT clip = dc.GetClipBox();
    if (IsRectEmpty(&clip))
        return;
    WaitForDrawThread(1);
    int ch = g_cell_h.load();
    if (!ch) {
        RecomputeGeometry();
        ch = g_cell_h.load();
        if (!ch)
            return;
    }
    uint32_t first_row = uint32_t(std::max<LONG>(clip.top, 0) / ch);
    LONG aligned = LONG(first_row) * ch;
    uint32_t count = uint32_t((clip.bottom - aligned + ch - 1) / ch);
    WinDraw(top_line_ + first_row, first_row, count);
    WaitForDrawThread(1);
}

LRESULT CQWTextView::OnViewRequest(WPARAM code, LPARAM lp) {
    if (closing_ || destroyed_ || !source_.buffer || IsHiddenView())
        return 1;
    switch (code) {
    case 0: // the view-drawing thread finished this view
        RefreshCompareMarks();
        UpdateCaret();
        break;
    case 1:
        OnUpdate(nullptr, lp, nullptr);
        break;
    case 2:
        UpdateScrollPos(lp != 0);
        break;
    case 3:
        UpdateScrollRange(lp != 0);
        break;
    case 5:
        RestoreSplitLayout(this);
        break;
    case 6:
        ActivateViewFrame(this, lp != 0, 0);
        break;
    default: // 4 and any other code do nothing
        break;
    }
    return 1;
}

void CQWTextView::OnUpdate(fw::View* /*sender*/, LPARAM lparam_hint, fw::Object* /*object*/) {
    const uint32_t hint = uint32_t(lparam_hint);
    if (IsHiddenView() || closing_)
        return;
    if (hint & QW_HINT_REPAINT)
        SyncSourceWithDocument(); // the style sheet or the buffer may have changed
    if (!source_.buffer)
        return;
    bool repaint = (hint & QW_HINT_REPAINT) != 0;
    if ((hint & QW_HINT_LINE_COUNT) && TextBarFlags(-1, 0x3) == 0x3) {
        // The line numbers may need another digit.
        int before = text_bar_width_;
        RecomputeGeometry();
        repaint |= text_bar_width_ != before;
    }
    if (!repaint && (hint & ~0x7Fu) && (flags_ & QW_VF_RESCAN) &&
        uint32_t(GetLineCount()) > rows_) {
        flags_ &= ~QW_VF_RESCAN;
        repaint = true;
    }
    if ((hint & QW_HINT_EMPTY) && GetLineCount() == 0) {
        DropPendingRows();
        top_line_ = caret_line_ = 1;
        caret_col_ = 0;
        caret_dcol_ = remembered_col_ = 1;
        first_col_ = 0;
        repaint = true;
    }
    if (repaint)
        RedrawWindowLines();
}

void CQWTextView::OnActivateView(bool activate, fw::View* activated, fw::View* deactivated) {
    if (activate)
        flags_ |= QW_VF_ACTIVE;
    else
        flags_ &= ~QW_VF_ACTIVE;
    fw::View::OnActivateView(activate, activated, deactivated);
}

void CQWTextView::UpdateCaret(bool insert) {
    if (!hwnd() || GetFocus() != hwnd())
        return;
    int cw = g_cell_w.load(), ch = g_cell_h.load();
    if (!cw || !ch)
        return;
    int w = insert || HasSelection() ? std::max(cw / 2, 1) : cw;
    if (caret_made_)
        DestroyCaret();
    caret_made_ = CreateCaret(hwnd(), nullptr, w, ch) != 0;
    if (!caret_made_)
        return;
    uint32_t dcol = GetDisplayColumn();
    int wc = WindowColumnOf(dcol);
    int row = int(caret_line_) - int(top_line_);
    caret_cell_col_ = uint32_t(std::max(wc, 0));
    caret_cell_row_ = uint32_t(std::max(row, 0));
    SetCaretPos(text_bar_width_ + wc * cw, row * ch);
    ShowCaret(hwnd());
}

HDC CQWTextView::GetPaintDC() { return hwnd() ? GetDC(hwnd()) : nullptr; }

void CQWTextView::ReleasePaintDC(HDC dc) {
    if (dc && hwnd())
        ReleaseDC(hwnd(), dc);
}

// ---- Columns and the caret ---------------------------------------------------------

ColumnRules CQWTextView::Rules() const {
    ColumnRules r;
    r.tab_width = source_.tab_width;
    r.raw = source_.raw_tabs || (flags_ & QW_VF_WHOLE_LINE);
    r.is_lead_byte = g_multibyte > 0 ? &IsLeadByte : nullptr;
    return r;
}

uint32_t CQWTextView::DisplayColumnOf(int line, int offset) {
    if (line < 0)
        line = int(caret_line_);
    if (offset <= 0 || line == 0)
        return 1;
    if (!source_.buffer)
        return uint32_t(offset) + 1;
    return LineDisplayColumn(source_.buffer, line, offset, Rules());
}

int CQWTextView::OffsetOfDisplayColumn(int line, uint32_t col, uint32_t* actual,
                                       bool past_end) {
    if (line <= 0)
        line = int(caret_line_);
    if (!source_.buffer)
        return OffsetAtDisplayColumn("", 0, col, Rules(), actual, past_end);
    return LineOffsetAtColumn(source_.buffer, line, col, Rules(), actual, past_end);
}

uint32_t CQWTextView::DisplayWidthOf(const char* text, int count) const {
    return ::DisplayWidthOf(text, count, Rules());
}

uint32_t CQWTextView::GetDisplayColumn() {
    ColumnRules r = Rules();
    if (!r.raw && source_.buffer &&
        vm_char_at(source_.buffer, int(caret_line_), int(caret_col_)) == '\t') {
        uint32_t start = DisplayColumnOf(-1, int(caret_col_));
        uint32_t end = NextTabStop(start, ColumnRulesTab(r));
        if (!(caret_dcol_ >= start && caret_dcol_ < end))
            caret_dcol_ = start;
        return caret_dcol_;
    }
    caret_dcol_ = DisplayColumnOf(-1, int(caret_col_));
    return caret_dcol_;
}

uint32_t CQWTextView::CaretDisplayColumn(int op, int64_t value) {
    if (op == 1) {
        caret_dcol_ = value == -1 ? DisplayColumnOf(-1, int(caret_col_)) : uint32_t(value);
        return caret_dcol_;
    }
    if (op == -1 && caret_dcol_ == 0)
        caret_dcol_ = DisplayColumnOf(-1, int(caret_col_));
    return caret_dcol_;
}

uint32_t CQWTextView::SetCaretToDisplayColumn(uint32_t col) {
    uint32_t actual = 1;
    int off = OffsetOfDisplayColumn(-1, col, &actual, true);
    caret_col_ = uint32_t(off);
    caret_dcol_ = actual;
    return actual;
}

bool CQWTextView::SetCaretLine(uint32_t line) {
    if (line < 1 || (source_.buffer && int64_t(line) > std::max(GetLineCount(), 1)))
        return false;
    caret_line_ = line;
    caret_dcol_ = 0;
    return true;
}

bool CQWTextView::SetCaretColumn(int col) {
    if (col < 0)
        return false;
    caret_col_ = uint32_t(col);
    caret_dcol_ = 0;
    return true;
}

bool CQWTextView::CaretRight(bool past_end) {
    uint32_t dcol = GetDisplayColumn();
    if (dcol >= uint32_t(QW_MAX_COLUMNS)) {
        MsgOutId(12, QW_IDS_BEYOND_COLUMN, int(QW_MAX_COLUMNS));
        return false;
    }
    int len = source_.buffer ? vm_line_length(source_.buffer, int(caret_line_)) : 0;
    if (!past_end && int(caret_col_) >= std::max(len, 0))
        return false;
    ++caret_col_;
    caret_dcol_ = 0;
    return true;
}

bool CQWTextView::CaretLeft(bool wrap_to_previous_line) {
    if (caret_col_ > 0) {
        --caret_col_;
        caret_dcol_ = 0;
        return true;
    }
    if (!wrap_to_previous_line || caret_line_ <= 1)
        return false;
    --caret_line_;
    int len = source_.buffer ? vm_line_length(source_.buffer, int(caret_line_)) : 0;
    caret_col_ = uint32_t(std::max(len, 0));
    caret_dcol_ = 0;
    return true;
}

void CQWTextView::TabRight() {
    uint32_t c = GetDisplayColumn();
    uint32_t next = NextTabStop(c, ColumnRulesTab(Rules()));
    if (next > uint32_t(QW_MAX_COLUMNS)) {
        MsgOutId(12, QW_IDS_BEYOND_COLUMN, int(QW_MAX_COLUMNS));
        return;
    }
    SetCaretToDisplayColumn(next);
    caret_dcol_ = next;
}

void CQWTextView::TabLeft() {
    uint32_t c = GetDisplayColumn();
    uint32_t prev = PreviousTabStop(c, ColumnRulesTab(Rules()));
    SetCaretToDisplayColumn(prev);
    caret_dcol_ = prev;
}

// ---- Two documents side by side ----------------------------------------------------

namespace {

RECT ChildRect(HWND client, HWND frame) {
    RECT r{};
    GetWindowRect(frame, &r);
    MapWindowPoints(nullptr, client, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool Near(LONG a, LONG b) { return a - b <= 1 && b - a <= 1; }

} // namespace

HWND WhichViewIsFirst(HWND a, HWND b, int orientation) {
    RECT ra{}, rb{};
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    if (orientation == 1)
        return rb.left < ra.left ? b : a;
    return rb.top < ra.top ? b : a;
}

int AreSideBySide(HWND client, HWND a, HWND b) {
    if (!IsWindow(client) || !IsWindow(a) || !IsWindow(b) || IsIconic(a) || IsIconic(b) ||
        IsZoomed(a) || IsZoomed(b))
        return 0;
    RECT c{};
    GetClientRect(client, &c);
    RECT ra = ChildRect(client, a), rb = ChildRect(client, b);
    if (rb.left < ra.left || rb.top < ra.top)
        std::swap(ra, rb);
    // Left and right, each the client's full height, meeting in the middle.
    if (Near(ra.top, c.top) && Near(rb.top, c.top) && Near(ra.bottom, c.bottom) &&
        Near(rb.bottom, c.bottom) && Near(ra.left, c.left) && Near(rb.right, c.right) &&
        Near(ra.right, rb.left))
        return 1;
    if (Near(ra.left, c.left) && Near(rb.left, c.left) && Near(ra.right, c.right) &&
        Near(rb.right, c.right) && Near(ra.top, c.top) && Near(rb.bottom, c.bottom) &&
        Near(ra.bottom, rb.top))
        return 2;
    return 0;
}

int ArrangeTwoViews(HWND client, HWND first, HWND second, int orientation, bool keep_order) {
    if (!IsWindow(client) || !IsWindow(first) || !IsWindow(second))
        return 0;
    for (HWND f : {first, second})
        if (IsIconic(f) || IsZoomed(f))
            SendMessageA(client, WM_MDIRESTORE, reinterpret_cast<WPARAM>(f), 0);
    if (orientation == -1) {
        RECT ra = ChildRect(client, first), rb = ChildRect(client, second);
        bool share_rows = ra.top == rb.top && ra.bottom == rb.bottom;
        bool beside = ra.right <= rb.left || rb.right <= ra.left;
        orientation = share_rows && beside ? 1 : 0;
    }
    HWND kids[2] = {first, second};
    if (keep_order && WhichViewIsFirst(first, second, orientation) != first)
        std::swap(kids[0], kids[1]);
    // Two halves of the client: left and right, or top and bottom.
    RECT c{};
    GetClientRect(client, &c);
    int placed = 0;
    for (int i = 0; i < 2; ++i) {
        RECT r = c;
        if (orientation == 0) {
            int mid = (c.top + c.bottom) / 2;
            (i == 0 ? r.bottom : r.top) = mid;
        } else {
            int mid = (c.left + c.right) / 2;
            (i == 0 ? r.right : r.left) = mid;
        }
        if (MoveWindow(kids[i], r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE))
            ++placed;
    }
    for (HWND f : kids) {
        BringWindowToTop(f);
        RedrawWindow(f, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    return placed == 2 ? 1 : 0;
}
