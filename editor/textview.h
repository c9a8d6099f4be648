#pragma once
// CQWTextView: the base editor view over one document's buffer. It owns no
// text; it keeps the caret and the window geometry, paints rows through the
// row painter (drawhelper.h), hands long repaints to the view-drawing
// thread (viewdraw.h) and takes deferred requests of other threads as user
// messages.
//
// The painting routines (WinDraw, PaintRow, DrawLine, RedrawLine, the
// one-line scrolls and the waits) live in redraw.cpp; column mapping and
// caret moves in textview.cpp over colmap.h.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "editor/colmap.h"
#include "editor/drawhelper.h"
#include "editor/snapshots.h"
#include "framework/fwview.h"

struct VMB;

// The view flag word (CQWTextView::ViewFlags).
enum : uint32_t {
    QW_VF_HIDDEN = 0x1,           // opened without display: never current, paints nothing
    QW_VF_IMMEDIATE = 0x2,        // edits repaint at once
    QW_VF_RESCAN = 0x4,           // painted before the lexical states were known
    QW_VF_EDITABLE = 0x10,
    QW_VF_WHOLE_LINE = 0x20,      // whole lines in kind 84, no tab expansion
    QW_VF_LIST = 0x40,            // list of a temporary buffer: kind 82, marked line 76
    QW_VF_LIST_MATCH_A = 0x80,
    QW_VF_LIST_MATCH_B = 0x100,
    QW_VF_FOCUS = 0x10000,
    QW_VF_ACTIVE = 0x20000,
    QW_VF_EAT_CLICK = 0x40000,
    QW_VF_THREAD_PAINTING = 0x80000, // the view-drawing thread paints this view
    QW_VF_CLOSING = 0x100000,
};

// User messages of the view.
enum : UINT {
    UWM_VIEW_ACTION = 0x478,        // posted by any thread; wParam the action
    UWM_VIEW_THREAD_REQUEST = 0x479,
    UWM_VIEW_THREAD_CALL = 0x47A,
};

// Update hints (OnUpdate).
enum : uint32_t {
    QW_HINT_REPAINT = 0x1,
    QW_HINT_LINE_COUNT = 0x2, // the line count changed
    QW_HINT_EMPTY = 0x4,
};

// Redraw-line flags.
enum : uint32_t {
    QW_RL_HIDE_CARET = 0x1000000,
    QW_RL_PLACE_CARET = 0x2000000,
};

// The string of a refused caret move past the last column.
enum : unsigned { QW_IDS_BEYOND_COLUMN = 64 };

// What a view shows and how. It stands in for the view's document and its
// style sheet until the document class is joined to the view: the buffer,
// the tab width, the raw-tabs option, the syntax-colouring switch, the
// document's language (coloured by the lexer) or a line colourer of its own.
struct TextViewSource {
    VMB* buffer = nullptr;
    int tab_width = QW_DEFAULT_TAB;
    bool raw_tabs = false;       // every character one column
    bool colouring = false;      // syntax colouring in force
    int lang = -1;               // language-specification index; -1: none
    bool fixed_columns = false;  // the style sheet's fixed-column switch
    LineColourer* colourer = nullptr; // used when there is no language
};

// A view goes with its window: DestroyWindow ends it (the framework deletes
// the object after WM_NCDESTROY).
class CQWTextView : public fw::View {
    FW_DECLARE_DYNCREATE(CQWTextView)
public:
    CQWTextView();
    ~CQWTextView() override;

    // Makes the view window (pane id 59648) as a child of `parent`, showing
    // `source`; a hidden view is made invisible and paints nothing.
    bool CreateTextView(HWND parent, const RECT& rect, const TextViewSource& source,
                        bool hidden = false);
    using fw::View::CreateView;
    void SetSource(const TextViewSource& source);
    // Takes buffer, tab width, language and colouring switch from the view's
    // document (a CQWDoc); a view without one keeps the source it was given.
    void SyncSourceWithDocument();
    const TextViewSource& source() const { return source_; }

    // ---- Accessors -------------------------------------------------------
    VMB* GetBuffer() const { return source_.buffer; }
    bool HasBuffer() const { return source_.buffer != nullptr; }
    uint32_t GetCurLine() const { return caret_line_; }
    uint32_t GetCurColumn() const { return caret_col_; }
    uint32_t GetTopLine() const { return top_line_; }
    uint32_t GetLinesInWindow() const { return rows_; }
    uint32_t GetVisibleColumns() const { return cols_; }
    uint32_t GetFirstVisibleColumn() const { return first_col_; }
    int GetLineCount() const;
    // op 1 sets the mask bits, 0 clears them, -1 only tests; flags AND mask.
    uint32_t ViewFlags(int op, uint32_t mask);
    void SetImmediateUpdate(bool on) { ViewFlags(on ? 1 : 0, QW_VF_IMMEDIATE); }
    bool IsImmediateUpdate() { return ViewFlags(-1, QW_VF_IMMEDIATE) != 0; }
    bool IsHiddenView() { return ViewFlags(-1, QW_VF_HIDDEN) != 0; }
    bool IsClosing() const { return closing_; }
    // top <= line <= top + rows - 1 and line <= line count.
    bool IsLineVisible(uint32_t line) const;
    // Window cell of a display column (display column - first visible - 1).
    int WindowColumnOf(uint32_t display_col) const {
        return int(display_col) - int(first_col_) - 1;
    }
    // A filter every line read for painting passes through (mode 1): the
    // text in, the filtered text out (at most `size` characters), its
    // length returned. Null: none.
    using TextFilter = int (*)(const char* in, int len, char* out, int size, int mode);
    void SetTextFilter(TextFilter filter) { text_filter_ = filter; }
    // Geometry (the scrolling code moves these).
    void SetTopLine(uint32_t line) { top_line_ = line ? line : 1; }
    void SetFirstVisibleColumn(uint32_t col) { first_col_ = col; }
    int GetTextBarWidth() const { return text_bar_width_; }

    // ---- Columns and the caret ---------------------------------------------
    ColumnRules Rules() const;
    // Display column of an offset in a line (-1: the caret line); 1 for
    // offset 0 or line 0; past the end, one column per missing character.
    uint32_t DisplayColumnOf(int line, int offset);
    // Offset of a display column of a line (0: the caret line).
    int OffsetOfDisplayColumn(int line, uint32_t col, uint32_t* actual, bool past_end);
    uint32_t DisplayWidthOf(const char* text, int count) const;
    // Whether `offset` of `line` stands at display column `col`.
    bool IsDisplayColumn(int line, int offset, uint32_t col) {
        return DisplayColumnOf(line, offset) == col;
    }
    // The caret's display column (kept inside a tab while the caret stays on it).
    uint32_t GetDisplayColumn();
    // op 1 sets (value -1: recompute), -1 returns (recomputed when 0), other: the cached value.
    uint32_t CaretDisplayColumn(int op, int64_t value);
    // Puts the caret at a display column (past the end allowed); the actual column.
    uint32_t SetCaretToDisplayColumn(uint32_t col);
    // Caret placement without painting (the positioning code calls these).
    bool SetCaretLine(uint32_t line);
    bool SetCaretColumn(int col);
    // One character right (refused at display column 4096 with string 64)
    // or left (at column 0 to the end of the line before when allowed).
    bool CaretRight(bool past_end = true);
    bool CaretLeft(bool wrap_to_previous_line = false);
    virtual void TabRight();
    virtual void TabLeft();
    virtual int IsViewOnly() { return 1; }
    // (Re)creates the caret when the view has the focus.
    virtual void UpdateCaret(bool insert = true);

    // ---- Painting (redraw.cpp) -------------------------------------------
    // Paints count rows from first_row, starting with first_line: the caret
    // row at once, the rest by the view-drawing thread.
    void WinDraw(uint32_t first_line, uint32_t first_row, uint32_t count);
    void RedrawWindowLines();
    // Makes new_line the buffer's marked line (0: none) and repaints the
    // old and the new line where they are visible.
    void RefreshLineMark(uint32_t old_line, uint32_t new_line);
    void RedrawLine(uint32_t line, uint32_t row, uint32_t count, uint32_t flags);
    // Paints one row and advances the pending state; the rows left.
    uint32_t PaintRow(CDrawHelper& helper, uint32_t line, uint32_t row, uint32_t count);
    // Draws a line (text null: read from the buffer) into a row.
    void DrawLine(CDrawHelper& helper, const char* text, uint32_t line, int first_col, int length,
                  uint32_t row, unsigned flags);
    // Waits for the view-drawing thread while this view has rows pending:
    // mode 1 always, 2 only with a selection, 3 only without; others not.
    void WaitForDrawThread(int mode);
    void DropPendingRows();
    // With line 0: nothing pending; else nothing pending or the next pending line lies beyond it.
    bool RowsPendingAfter(uint32_t line);
    bool HasPendingRows() const { return rows_left_ != 0; }
    // Whether a row is still to be painted by the thread.
    bool IsRowPending(uint32_t row);
    // Scrolls the rows from `row` down (or up) by one cell and paints the
    // uncovered row.
    void ScrollOneLine(uint32_t row, bool down, int wait_mode);
    // The layout the row painter works with.
    RowLayout Layout();
    // Whether the view has a selection (the selection code overrides).
    virtual bool HasSelection() const { return false; }
    // The selected part of line `line` (its text given) for painting: buffer
    // offsets [*from, *to) and the colour kind; false when nothing of the
    // line is selected. Called by painting threads.
    virtual bool SelectedPart(uint32_t line, const char* text, int len, int* from, int* to,
                              int* kind) const {
        (void)line, (void)text, (void)len, (void)from, (void)to, (void)kind;
        return false;
    }

    // ---- Positioning and scrolling (gotoline_win.cpp, scrolling_win.cpp) ----
    // The one routine that puts the view on a line and column (flags
    // QW_GL_*, modes 0..4, gotoline.h); 1 when the caret landed on the line.
    int GoToLine(int line, int column, int mode, uint32_t flags);
    // Scrolls so the caret shows; whether the window scrolled.
    bool MakeCaretVisible(int row, uint32_t flags);
    // Puts the line at the top (clamped so no empty rows show below the
    // last line), repaints and updates the scroll bar; whether it moved.
    bool ScrollTopTo(uint32_t top);
    void UpdateScrollPos(bool move_caret);
    void UpdateScrollRange(bool move_caret);
    // One line earlier / later (arg > 0: for the caret's sake); 1 when scrolled.
    int ScrollLineEarlier(int arg);
    int ScrollLineLater(int arg);
    // n columns right (negative: left); 1 when the offset changed.
    int ScrollColumns(int n);
    // The window moves a row and the caret a line with it (down: towards the end).
    int WindowScrollKeepRow(bool down);
    void OnVScroll(int code);
    void OnHScroll(int code, int position);
    void OnMouseWheel(int delta);
    // Width of the longest line in display columns (cached per line count).
    int MaxLineWidth();
    void RememberColumn();
    uint32_t GetRememberedColumn() const { return remembered_col_; }
    HWND GetScrollBarCtrl(int bar) const override;
    bool HasSplitColumns() const;

    // ---- Mouse (mouse_win.cpp) -------------------------------------------------
    // The mouse-event slot: (message, hit area, selecting flag with the
    // button flags above it, busy, 0, key flags with 0x20 for Alt). True ends
    // the handling; the text view's own answer: a press in the icon strip.
    virtual bool OnViewMouseEvent(UINT msg, int hit, int selecting, int busy, int reserved,
                                  int keys);
    // Moves the caret to a client point (move flags: 0x1 start a selection,
    // 0x2 extend, 0x4 record the hit area, 0x40 clip to the line end).
    void MoveToPoint(int x, int y, uint32_t move_flags);
    // The pointer while typing: 0 hides it (an editable view with immediate
    // update, the focus and the pointer over its client area), 1 shows it,
    // 2 also clears the buffer's state flag 0x20000. The hidden state is
    // process-wide so the system's show count stays balanced.
    static void HideMouseWhileTyping(CQWTextView* view, int show);
    // One tick of the auto-scroll timer for a pointer at a client point.
    void AutoScrollStep(int x, int y);
    // The selection side of the mouse (the edit view overrides): op 0
    // start, 2 extend, 3 clear; type the selection type. 1 when done.
    virtual int MouseSelection(int op, int type) { (void)op; (void)type; return 0; }
    // Selects the word at the caret (double click); 1 when selected.
    virtual int SelectWordAtCaret() { return 0; }
    // Drag and drop of the selection (the edit view overrides): whether a
    // client point lies on the selected text, and the drag started by a
    // press there (true when a drag ran).
    virtual bool PointOnSelection(int x, int y) { (void)x; (void)y; return false; }
    virtual bool TryDragSelection(UINT msg, int x, int y) { (void)msg; (void)x; (void)y; return false; }

    // ---- View state (snapshots.cpp) -------------------------------------------
    // Push 0x1, pop 0x2, drop 0x4 with the options of CViewSnapshot; 0 when
    // there is nothing to pop or drop.
    int ViewState(uint32_t flags);
    size_t ViewStateDepth() const { return view_states_.size(); }
    CViewSnapshot TakeSnapshot() const;

    // The DC rows are copied to (default: the window's client DC).
    virtual HDC GetPaintDC();
    virtual void ReleasePaintDC(HDC dc);

    // ---- Updates -----------------------------------------------------------
    void OnUpdate(fw::View* sender, LPARAM hint, fw::Object* object) override;
    void OnInitialUpdate() override;
    // Activation in the frame sets the active flag (0x20000), deactivation clears it.
    void OnActivateView(bool activate, fw::View* activated, fw::View* deactivated) override;

    // ---- Used by the view-drawing thread (drawing lock held) ----------------
    // Paints the next pending row with the thread's painter; posts 0x478
    // wParam 0 when the last one is done.
    void PaintPendingRow(RowPainter& painter);
    void AbandonPendingRows();

    // Metrics of the editor font, measured on first paint.
    static bool MeasureFont(HDC dc);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
    virtual LRESULT OnViewRequest(WPARAM code, LPARAM lp);
    void OnDraw(fw::DC& dc) override;
    void OnSize(int cx, int cy);
    void OnDestroy();
    // Mouse, wheel, scroll and timer messages; true when handled.
    virtual bool OnNavigationMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
    // File-comparison marks of the view (the comparison code fills it in).
    virtual void RefreshCompareMarks() {}

private:
    friend class ViewTestAccess;
    void RecomputeGeometry();
    // The document's buffer and style, and the editable or list flag its kind gives.
    void TakeDocumentSource();
    // Draws the left margin of a row (line -1: past the text) when the bar is shown.
    void PaintTextBar(CDrawHelper& helper, int line, uint32_t row);
    void ReadLineForPaint(CDrawHelper& helper, uint32_t line, int length, const char** text,
                          int* len, int* line_flags);

    TextViewSource source_;
    TextFilter text_filter_ = nullptr;
    uint32_t top_line_ = 1;
    uint32_t caret_line_ = 1;
    uint32_t caret_col_ = 0;
    uint32_t caret_dcol_ = 1;
    uint32_t remembered_col_ = 1;
    uint32_t cols_ = 0;
    uint32_t rows_ = 0;
    int text_bar_width_ = 0;
    uint32_t first_col_ = 0;
    uint32_t caret_cell_col_ = 0, caret_cell_row_ = 0;
    std::atomic<uint32_t> flags_{0}; // also read and changed by the drawing thread
    // Pending-row state, guarded by the drawing lock.
    uint32_t skip_line_ = 0, next_line_ = 0, next_row_ = 0, rows_left_ = 0;
    RECT paint_rect_{};
    std::unique_ptr<RowPainter> painter_; // the UI thread's row bitmap and scratch
    bool closing_ = false;
    bool destroyed_ = false;
    bool caret_made_ = false;
    std::vector<ViewStateFrame> view_states_; // last pushed at the back
    int max_width_ = -1, max_width_lines_ = -1;
    int mouse_x_ = 0, mouse_y_ = 0;
};

// ---- Process-wide view state --------------------------------------------------

// The editor side of start-up and exit. Start: keeps the main frame (where
// the drawing thread reports), starts the view-drawing thread, sets the
// default screen colours and, with a path, loads the style sheets (their
// result; 1 without a path). Exit: frees the style sheets and the language
// data, deletes the editor font, stops the drawing thread and the buffer
// engine. The document read thread, the text bar's resources and the jump
// list join these two as their parts arrive.
int InitEditorServices(HWND main_frame, const char* style_sheet_path);
void ShutdownEditorServices();
HWND EditorMainFrame();

// The editor font and its cell metrics (0 until measured). The font set
// last is owned: DeleteEditorFont deletes it.
void SetEditorFont(HFONT font);
void DeleteEditorFont();
HFONT GetEditorFont();
int EditorCellWidth();
int EditorCellHeight();
// The window colours (read from the system when the first view is made).
QwWindowColours ViewWindowColours();
// The display option "show the end-of-buffer row" (on at start).
void SetShowEofRow(bool on);
bool GetShowEofRow();

// The text-bar option word: op 1 sets, 0 clears, -1 tests; flags AND mask.
// A change lays out every view again and repaints it.
uint32_t TextBarFlags(int op, uint32_t mask);
// The text bar's width in pixels: 0 for a view that is not editable; else 8,
// plus (when the bar is shown, bit 0x1) the line numbers (0x2: char_w per
// digit of the line count, 6 digits when line_count < 0), a mark column
// of bar_w each for 0x4, 0x8 and 0x10, two for 0x20, one for 0x40, at least
// one column, and a 3-pixel edge.
int TextBarLayoutWidth(uint32_t bar_flags, bool editable, int line_count, int char_w, int bar_w);

// Nonzero (and a "KV:" line in the debug log, an assertion in debug builds)
// when the calling thread holds the buffer lock on its way into a repaint
// or a wait for the drawing thread.
int RepaintUnderBufferLock(const char* where);

// ---- Two documents side by side (file comparison) -----------------------------

// Places two MDI child frames in the two halves of the MDI client (what the
// system's tiling of two windows gives): orientation 1 side by side,
// 0 one above the other, -1 as they stand now (side by side when they share
// top and bottom and one lies left of the other). Maximised or minimised
// frames are restored first; with keep_order the first frame keeps the first
// place. 1 when both were placed.
int ArrangeTwoViews(HWND mdi_client, HWND first, HWND second, int orientation, bool keep_order);
// The frame further left (orientation 1) or further up (0).
HWND WhichViewIsFirst(HWND a, HWND b, int orientation);
// 1 when the frames fill the MDI client side by side (a gap of at most one
// pixel), 2 when one above the other, 0 otherwise or when one is minimised
// or maximised.
int AreSideBySide(HWND mdi_client, HWND a, HWND b);

CQWTextView* GetCurrentTextView();
void SelectCurrentTextView(CQWTextView* view);
// Repaints every live view (flag 0x1); recompute first measures again.
void RefreshViews(uint32_t flags, bool recompute);
