#pragma once
// Row painting: one row of a text window composed in a memory bitmap one
// cell tall and copied to the window in one BitBlt, so a window never shows
// a half-drawn row. Also the printing variant, which draws straight onto the
// printer DC and wraps a long line instead of clipping it.
//
// Who owns what: a RowPainter is the scratch of one painter (the row bitmap
// with its memory DC, the expansion array, the token spans and the line
// text); the user-interface thread keeps one per view and the view-drawing
// thread one of its own, so the two never share scratch. A CDrawHelper binds
// a painter to a target DC and the layout of one view for one paint.
#include <windows.h>

#include <cstdint>
#include <memory>

#include "editor/colmap.h"
#include "editor/colortable.h"
#include "editor/lexer.h"

struct VMB;

// One coloured piece of a line: text offsets [start, end) in colour kind.
struct TokenSpan {
    int start;
    int end;
    int kind;
};

// What splits a line into coloured pieces when the view's document has no
// language of its own (a list with its own colouring; tests). A view with a
// language colours through the lexer of the painter instead. Called by both
// painters, possibly at once: an implementation keeps its per-line state on
// the caller's stack (or per thread).
class LineColourer {
public:
    virtual ~LineColourer() = default;
    // Spans of text[0..len) of `line`, in order, at most `max`; their count.
    // Gaps and a tail left uncovered are drawn in the plain kind (40).
    virtual int ColourLine(VMB* buffer, int line, const char* text, int len, TokenSpan* out,
                           int max) = 0;
};

// The scratch of one painter.
class RowPainter {
public:
    RowPainter() = default;
    ~RowPainter();
    RowPainter(const RowPainter&) = delete;
    RowPainter& operator=(const RowPainter&) = delete;

    // A memory DC compatible with `target` holding a bitmap of at least
    // width x height; false when GDI refuses. The bitmap is kept between
    // paints and made again only when it is too small.
    bool Prepare(HDC target, int width, int height);
    // Frees the bitmap and the memory DC (on resize and destroy).
    void Free();

    HDC dc() const { return dc_; }

    CLexer lexer;                       // this painter's scanner and its per-line state
    LexToken tokens[QW_MAX_COLUMNS + 1];
    char line[QW_MAX_COLUMNS + 1];      // a line read for painting, with its terminator
    char draw[QW_MAX_COLUMNS + 1];      // an item expanded to cells
    TokenSpan spans[QW_MAX_COLUMNS + 1];
    int dx[QW_MAX_COLUMNS + 1];          // cell advances for ExtTextOut

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_bitmap_ = nullptr;
    int width_ = 0, height_ = 0;
};

// The layout of a view that painting needs.
struct RowLayout {
    int cell_w = 8, cell_h = 16;
    int text_x = 0;           // left edge of the text (the text bar's width)
    int width = 0;            // right edge of the painted area, in pixels
    uint32_t first_col = 0;   // horizontal offset: display column c shows in cell c - first_col - 1
    uint32_t visible_cols = 0;
    ColumnRules rules;
    int line_kind = QW_KIND_TEXT; // kind of a line drawn in one colour (40, 82 or 84)
    bool colouring = false;       // fills take kind 20
    bool immediate = true;        // immediate update: items are drawn
    HFONT font = nullptr;
    QwWindowColours window{0x000000, 0xFFFFFF, 0xFFFFFF, 0x800000};
};

// Draw-item flags.
enum : unsigned {
    QW_DI_LAST = 0x1,     // last item of the row: its rectangle runs to the right edge
    QW_DI_DRAW = 0x2,
    QW_DI_EXPANDED = 0x4, // text already expanded
    QW_DI_LEXER = 0x8,
    QW_DI_MEASURE = 0x10, // measure only
};

class CDrawHelper {
public:
    // A window draw helper: rows are composed in the painter's bitmap and
    // copied to `target` (not owned) at y = row * cell height.
    CDrawHelper(RowPainter& painter, HDC target, const RowLayout& layout);
    // A printing draw helper: draws onto `printer` (not owned) inside `page`,
    // one printed row per cell height, wrapping long lines. On a two-colour
    // device every colour is turned to grey; with `transparent_default` the
    // kinds without a background of their own are drawn transparent.
    CDrawHelper(HDC printer, const RowLayout& layout, const RECT& page, bool transparent_default);
    ~CDrawHelper();
    CDrawHelper(const CDrawHelper&) = delete;
    CDrawHelper& operator=(const CDrawHelper&) = delete;

    bool valid() const { return valid_; }
    bool screen() const { return screen_; }
    const RowLayout& layout() const { return layout_; }
    RowPainter* painter() const { return painter_; }

    // The colours of an item of kind k on this helper's device: the
    // background is returned, the text colour written to *text.
    uint32_t ItemColours(int kind, uint32_t* text, bool* default_back = nullptr) const;

    // Draws text[start, end) of kind at display column `col` of the row;
    // returns the display column after it, or 0 when it reached the right
    // edge. An item left of the first visible column is walked to it.
    uint32_t DrawTextItem(int row, uint32_t col, const char* start, const char* end, int kind,
                          unsigned flags);
    // Fills the row from window column `wcol` to the right edge in the fill
    // kind (or in `kind` when it is given).
    void FillRestOfRow(int row, uint32_t wcol, int kind = -1);
    // Copies the composed row to the target.
    void CopyRowToWindow(int row);

    // A whole row: the line's text (len characters, at most 4096 are used)
    // in the given spans, the fill after it, then the copy to the target.
    // Without spans the line is one item of `kind` (-1: the layout's line
    // kind) that runs to the right edge.
    void PaintLineRow(int row, const char* text, int len, const TokenSpan* spans, int count,
                      int kind = -1);
    // An empty row in the fill kind.
    void PaintEmptyRow(int row);
    // The end-of-file marker row: the fill, then a band from a quarter to
    // three quarters of the cell height across the text area.
    void PaintEofRow(int row);

    // Printing: draws the line from character `from` at printed row y (pixels
    // from the page's top); returns the character at which the line goes on
    // in the next printed row, or -1 when it was printed whole.
    int PrintLine(int y, const char* text, int len, const TokenSpan* spans, int count, int from);

private:
    void FillCells(int row, int x0, int x1, int kind);
    int FillKind() const;
    void SetItemColours(int kind, bool* default_back);

    RowPainter* painter_ = nullptr;
    HDC target_ = nullptr;
    HDC dc_ = nullptr; // where items are drawn: the painter's memory DC or the printer DC
    RowLayout layout_;
    RECT page_{};
    bool screen_ = true;
    bool valid_ = false;
    bool grey_ = false;
    bool transparent_default_ = false;
    HGDIOBJ old_font_ = nullptr;
    // Printing state.
    int print_x_ = 0, print_y_ = 0;
    bool continues_ = false;
    int next_start_ = -1;
    std::unique_ptr<RowPainter> own_painter_; // printing: scratch only, no bitmap
};

// True when a DC draws in two colours only (a monochrome printer, or a
// memory DC holding a one-bit bitmap).
bool IsTwoColourDC(HDC dc);
