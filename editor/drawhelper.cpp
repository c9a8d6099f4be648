// Row painting and its printing variant (see drawhelper.h).
#include "editor/drawhelper.h"

#include <algorithm>

// ---- RowPainter ------------------------------------------------------------

RowPainter::~RowPainter() { Free(); }

bool RowPainter::Prepare(HDC target, int width, int height) {
    if (!target || width <= 0 || height <= 0)
        return false;
    if (!dc_) {
        dc_ = CreateCompatibleDC(target);
        if (!dc_)
            return false;
    }
    if (!bitmap_ || width > width_ || height > height_) {
        HBITMAP bm = CreateCompatibleBitmap(target, std::max(width, width_),
                                            std::max(height, height_));
        if (!bm)
            return false;
        HGDIOBJ old = SelectObject(dc_, bm);
        if (bitmap_)
            DeleteObject(bitmap_);
        else
            old_bitmap_ = old;
        bitmap_ = bm;
        width_ = std::max(width, width_);
        height_ = std::max(height, height_);
    }
    return true;
}

void RowPainter::Free() {
    if (dc_ && old_bitmap_)
        SelectObject(dc_, old_bitmap_);
    if (bitmap_)
        DeleteObject(bitmap_);
    if (dc_)
        DeleteDC(dc_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    old_bitmap_ = nullptr;
    width_ = height_ = 0;
}

// ---- CDrawHelper -----------------------------------------------------------

bool IsTwoColourDC(HDC dc) {
    if (!dc)
        return false;
    if (GetDeviceCaps(dc, NUMCOLORS) == 2)
        return true;
    if (GetObjectType(dc) == OBJ_MEMDC) {
        BITMAP bm{};
        HGDIOBJ cur = GetCurrentObject(dc, OBJ_BITMAP);
        if (cur && GetObjectA(cur, sizeof bm, &bm) && bm.bmBitsPixel * bm.bmPlanes == 1)
            return true;
    }
    return false;
}

CDrawHelper::CDrawHelper(RowPainter& painter, HDC target, const RowLayout& layout)
    : painter_(&painter), target_(target), layout_(layout), screen_(true) {
    if (layout_.cell_w <= 0 || layout_.cell_h <= 0 || layout_.width <= 0)
        return;
    if (!painter.Prepare(target, layout_.width, layout_.cell_h))
        return;
    dc_ = painter.dc();
    if (layout_.font)
        old_font_ = SelectObject(dc_, layout_.font);
    SetBkMode(dc_, OPAQUE);
    SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    std::fill(std::begin(painter.dx), std::end(painter.dx), layout_.cell_w);
    valid_ = true;
}

CDrawHelper::CDrawHelper(HDC printer, const RowLayout& layout, const RECT& page,
                         bool transparent_default)
    : target_(printer), dc_(printer), layout_(layout), page_(page), screen_(false),
      transparent_default_(transparent_default) {
    if (!printer || layout_.cell_h <= 0 || page.right <= page.left)
        return;
    own_painter_ = std::make_unique<RowPainter>();
    painter_ = own_painter_.get();
    layout_.first_col = 0; // a printed line always starts at its first column
    grey_ = IsTwoColourDC(printer);
    if (layout_.font)
        old_font_ = SelectObject(dc_, layout_.font);
    SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    valid_ = true;
}

CDrawHelper::~CDrawHelper() {
    if (dc_ && old_font_)
        SelectObject(dc_, old_font_);
}

uint32_t CDrawHelper::ItemColours(int kind, uint32_t* text, bool* default_back) const {
    uint32_t fg = 0;
    uint32_t bg = ColourOfKind(kind, layout_.window, &fg, default_back);
    if (grey_) {
        fg = GreyOf(fg);
        bg = GreyOf(bg);
    }
    if (text)
        *text = fg;
    return bg;
}

void CDrawHelper::SetItemColours(int kind, bool* default_back) {
    uint32_t fg = 0;
    bool def = false;
    uint32_t bg = ItemColours(kind, &fg, &def);
    SetTextColor(dc_, fg);
    SetBkColor(dc_, bg);
    SetBkMode(dc_, !screen_ && transparent_default_ && def ? TRANSPARENT : OPAQUE);
    if (default_back)
        *default_back = def;
}

int CDrawHelper::FillKind() const {
    return layout_.colouring ? QW_KIND_FILL : layout_.line_kind;
}

void CDrawHelper::FillCells(int /*row*/, int x0, int x1, int kind) {
    if (x1 <= x0)
        return;
    SetItemColours(kind, nullptr);
    RECT rc{x0, 0, x1, layout_.cell_h};
    ExtTextOutA(dc_, x0, 0, ETO_OPAQUE, &rc, "", 0, nullptr);
}

uint32_t CDrawHelper::DrawTextItem(int row, uint32_t col, const char* start, const char* end,
                                   int kind, unsigned flags) {
    if (!valid_ || !screen_ || !start || end < start)
        return col;
    const RowLayout& L = layout_;
    const bool raw = L.rules.raw || (flags & QW_DI_EXPANDED);
    const uint32_t first = L.first_col;
    if (col < 1)
        col = 1;

    // Walk the part left of the first visible column; a tab or a two-cell
    // character that straddles it leaves its right-hand cells.
    const char* p = start;
    char lead_cells[1] = {0};
    int lead_spaces = 0, lead_n = 0;
    while (p < end && col <= first) {
        unsigned char c = static_cast<unsigned char>(*p);
        int bytes = 1;
        int w = raw ? 1 : CharDisplayWidth(c, col, L.rules);
        if (!raw && L.rules.is_lead_byte && c >= 0x80 && L.rules.is_lead_byte(c) && p + 1 < end) {
            bytes = 2;
            w = 1;
        }
        if (col + uint32_t(w) > first + 1) {
            if (c == '\t')
                lead_spaces = int(col + uint32_t(w) - (first + 1));
            else
                lead_cells[lead_n++] = char(c + 64);
            col += uint32_t(w);
            p += bytes;
            break;
        }
        col += uint32_t(w);
        p += bytes;
    }
    if (p >= end && lead_spaces == 0 && lead_n == 0)
        return col; // the item ends before the first visible column
    const uint32_t dcol = (lead_spaces || lead_n) ? first + 1 : col;

    if (!L.immediate || (flags & QW_DI_MEASURE)) {
        uint32_t c = col;
        for (const char* q = p; q < end; ++q)
            c += raw ? 1 : uint32_t(CharDisplayWidth(static_cast<unsigned char>(*q), c, L.rules));
        return c;
    }

    const uint32_t wcol = dcol - first - 1;
    int avail = int(std::clamp<int64_t>(int64_t(L.visible_cols) - int64_t(wcol), 0,
                                        QW_MAX_COLUMNS));
    if (avail == 0)
        return 0;

    char* out = painter_->draw;
    int n = 0;
    uint32_t cols = 0;
    while (lead_spaces > 0 && n < avail) {
        out[n++] = ' ';
        --lead_spaces;
        ++cols;
    }
    if (lead_n && n < avail) {
        out[n++] = lead_cells[0];
        ++cols;
    }
    int consumed = 0;
    if (n < avail) {
        if (raw) {
            int k = int(std::min<int64_t>(end - p, avail - n));
            std::copy(p, p + k, out + n);
            n += k;
            cols += uint32_t(k);
            consumed = k;
        } else {
            uint32_t c2 = 0;
            n += ExpandText(p, int(end - p), col, out + n, avail - n, L.rules, &consumed, &c2);
            cols += c2;
        }
    }
    const bool full = n >= avail;
    if (full)
        flags |= QW_DI_LAST;

    bool default_back = false;
    SetItemColours(kind, &default_back);
    const int x = L.text_x + int(wcol) * L.cell_w;
    RECT rc{x, 0, (flags & QW_DI_LAST) ? L.width : x + int(cols) * L.cell_w, L.cell_h};
    rc.right = std::min<LONG>(rc.right, L.width);
    ExtTextOutA(dc_, x, 0, ETO_OPAQUE | ETO_CLIPPED, &rc, out, UINT(n), painter_->dx);
    (void)row;
    return full ? 0 : dcol + cols;
}

void CDrawHelper::FillRestOfRow(int row, uint32_t wcol, int kind) {
    if (!valid_ || !screen_)
        return;
    int64_t x = int64_t(layout_.text_x) + int64_t(wcol) * layout_.cell_w;
    if (x < layout_.width)
        FillCells(row, int(x), layout_.width, kind >= 0 ? kind : FillKind());
}

void CDrawHelper::CopyRowToWindow(int row) {
    if (!valid_ || !screen_)
        return;
    BitBlt(target_, 0, row * layout_.cell_h, layout_.width, layout_.cell_h, dc_, 0, 0, SRCCOPY);
}

void CDrawHelper::PaintLineRow(int row, const char* text, int len, const TokenSpan* spans,
                               int count, int kind) {
    if (!valid_ || !screen_)
        return;
    len = std::clamp(len, 0, int(QW_MAX_COLUMNS));
    if (!text)
        len = 0;
    // The text bar draws over this part of the row.
    FillCells(row, 0, std::min(layout_.text_x, layout_.width), QW_KIND_FILL);
    uint32_t col = 1;
    int fill = -1;
    if (!spans) {
        // One item that runs to the right edge: the whole row in its kind.
        fill = kind >= 0 ? kind : layout_.line_kind;
        col = DrawTextItem(row, 1, text, text + len, fill, QW_DI_LAST | QW_DI_DRAW);
    } else {
        int pos = 0;
        for (int i = 0; i < count && col && pos < len; ++i) {
            int s = std::clamp(spans[i].start, pos, len);
            int e = std::clamp(spans[i].end, s, len);
            if (s > pos)
                col = DrawTextItem(row, col, text + pos, text + s, QW_KIND_TEXT, QW_DI_DRAW);
            if (col && e > s)
                col = DrawTextItem(row, col, text + s, text + e, spans[i].kind, QW_DI_DRAW);
            pos = std::max(pos, e);
        }
        if (col && pos < len)
            col = DrawTextItem(row, col, text + pos, text + len, QW_KIND_TEXT, QW_DI_DRAW);
    }
    if (col > 0) {
        uint32_t wcol = col > layout_.first_col ? col - layout_.first_col - 1 : 0;
        FillRestOfRow(row, wcol, fill);
    }
    CopyRowToWindow(row);
}

void CDrawHelper::PaintEmptyRow(int row) {
    if (!valid_ || !screen_)
        return;
    FillCells(row, 0, std::min(layout_.text_x, layout_.width), QW_KIND_FILL);
    FillRestOfRow(row, 0);
    CopyRowToWindow(row);
}

void CDrawHelper::PaintEofRow(int row) {
    if (!valid_ || !screen_)
        return;
    FillCells(row, 0, std::min(layout_.text_x, layout_.width), QW_KIND_FILL);
    FillRestOfRow(row, 0);
    RECT band{layout_.text_x, layout_.cell_h / 4, layout_.width - 2, layout_.cell_h * 3 / 4};
    if (band.right > band.left && band.bottom > band.top) {
        HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_3DSHADOW));
        FillRect(dc_, &band, brush);
        DeleteObject(brush);
    }
    CopyRowToWindow(row);
}

int CDrawHelper::PrintLine(int y, const char* text, int len, const TokenSpan* spans, int count,
                           int from) {
    if (!valid_ || screen_)
        return -1;
    len = std::clamp(len, 0, int(QW_MAX_COLUMNS));
    if (!text)
        len = 0;
    from = std::clamp(from, 0, len);
    const int left = page_.left + layout_.text_x;
    const int top = page_.top + y;
    int x = left;
    uint32_t col = DisplayColumnAt(text, len, from, layout_.rules);
    char* out = painter_->draw;
    TokenSpan whole{0, len, layout_.line_kind};
    if (!spans) {
        spans = &whole;
        count = 1;
    }
    int pos = from;
    // Walks the items; kind 40 covers gaps between spans.
    auto print_piece = [&](int s, int e, int kind) -> bool {
        SetItemColours(kind, nullptr);
        int n = 0, run_w = 0;
        for (int i = s; i < e;) {
            int consumed = 0;
            uint32_t cols = 0;
            char cell[QW_MAX_COLUMNS];
            // One character at a time, so a cut falls between characters.
            int k = ExpandText(text + i, std::min(e - i, 1), col, cell, QW_MAX_COLUMNS,
                           layout_.rules, &consumed, &cols);
            SIZE sz{};
            GetTextExtentPoint32A(dc_, cell, k, &sz);
            if (x + run_w + sz.cx > page_.right && x + run_w > left) {
                if (n)
                    TextOutA(dc_, x, top, out, n);
                next_start_ = i;
                continues_ = true;
                return false;
            }
            if (n + k > QW_MAX_COLUMNS) { // flush a full run
                TextOutA(dc_, x, top, out, n);
                x += run_w;
                n = run_w = 0;
            }
            std::copy(cell, cell + k, out + n);
            n += k;
            run_w += sz.cx;
            col += cols;
            i += std::max(consumed, 1);
        }
        if (n) {
            TextOutA(dc_, x, top, out, n);
            x += run_w;
        }
        return true;
    };
    continues_ = false;
    next_start_ = -1;
    for (int i = 0; i < count && pos < len; ++i) {
        int s = std::clamp(spans[i].start, pos, len);
        int e = std::clamp(spans[i].end, s, len);
        if (s > pos && !print_piece(pos, s, QW_KIND_TEXT))
            return next_start_;
        if (e > s && !print_piece(s, e, spans[i].kind))
            return next_start_;
        pos = std::max(pos, e);
    }
    if (pos < len && !print_piece(pos, len, QW_KIND_TEXT))
        return next_start_;
    return -1;
}
