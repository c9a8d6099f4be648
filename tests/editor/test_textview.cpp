// Tests of the text view's painting under Wine: the cells of a row (tabs,
// control characters, long lines, horizontal offset), fills and the
// end-of-file row, colours per kind, grey printing on a two-colour DC and
// print wrapping, the view-drawing thread (caret row at once, the rest
// later, ranges replaced before the thread starts, exceptions reported
// once), a stress run of editing threads against painting, and the view's
// caret columns. Rows are painted into a DIB section and read back by pixel.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"
#include "editor/colortable.h"
#include "editor/drawhelper.h"
#include "editor/textview.h"
#include "editor/viewdraw.h"
#include "opsys/msgout.h"
#include "opsys/shell_outlets.h"
#include "tests/support/temp_dir.h"
#include <fstream>
#include <sstream>
#include "tests/support/win_test.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kInk = RGB(200, 0, 0);
constexpr COLORREF kLineBack = RGB(255, 255, 200);
constexpr COLORREF kFillBack = RGB(200, 255, 255);

// A fixed-pitch font drawn without anti-aliasing, so text pixels are exact.
HFONT TestFont() {
    static HFONT font =
        CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, FIXED_PITCH | FF_MODERN,
                    "Courier New");
    return font;
}

void SetKind(int kind, COLORREF text, COLORREF back) {
    ColourTableEntry(1, kind, std::to_string(text).c_str(), QW_CSW_TEXT, nullptr);
    ColourTableEntry(1, kind + 1, std::to_string(back).c_str(), QW_CSW_BACK, nullptr);
}

// A cell's pixels holding `colour`.
int CountInCell(const qwtest::DibCanvas& c, const RowLayout& L, int row, int wcol,
                COLORREF colour) {
    int n = 0;
    int x0 = L.text_x + wcol * L.cell_w;
    for (int y = row * L.cell_h; y < (row + 1) * L.cell_h && y < c.height(); ++y)
        for (int x = x0; x < x0 + L.cell_w && x < c.width(); ++x)
            n += c.pixel(x, y) == colour;
    return n;
}

bool RowsEqual(const qwtest::DibCanvas& c, int cell_h, int row_a, int row_b) {
    for (int y = 0; y < cell_h; ++y)
        for (int x = 0; x < c.width(); ++x)
            if (c.pixel(x, row_a * cell_h + y) != c.pixel(x, row_b * cell_h + y))
                return false;
    return true;
}

// Letters in kind 40, digits in 26, anything else in 44.
class ClassColourer : public LineColourer {
public:
    int ColourLine(VMB*, int, const char* text, int len, TokenSpan* out, int max) override {
        int n = 0;
        for (int i = 0; i < len && n < max;) {
            int kind = Kind(text[i]);
            int j = i + 1;
            while (j < len && Kind(text[j]) == kind)
                ++j;
            out[n++] = TokenSpan{i, j, kind};
            i = j;
        }
        return n;
    }
    static int Kind(char c) {
        if (c >= '0' && c <= '9')
            return QW_KIND_NUMBER;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            return QW_KIND_TEXT;
        return QW_KIND_OPERATOR;
    }
};

class PaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearColourTable();
        canvas_probe_ = std::make_unique<qwtest::DibCanvas>(8, 8);
        SetEditorFont(TestFont());
        ASSERT_TRUE(CQWTextView::MeasureFont(canvas_probe_->dc()));
        L_.cell_w = EditorCellWidth();
        L_.cell_h = EditorCellHeight();
        L_.text_x = 0;
        L_.visible_cols = 40;
        L_.width = L_.cell_w * 40;
        L_.font = TestFont();
        L_.window = QwWindowColours{RGB(0, 0, 0), kWhite, kWhite, RGB(0, 0, 128)};
        SetKind(QW_KIND_TEXT, kInk, kLineBack);
        SetKind(QW_KIND_FILL, RGB(0, 0, 0), kFillBack);
    }
    void TearDown() override { ClearColourTable(); }
    std::unique_ptr<qwtest::DibCanvas> canvas_probe_;
    RowLayout L_;
    RowPainter painter_;
};

// Each case paints its input in row 0 and the expected cells as literal
// text in row 1: the two rows must be the same pixels.
TEST_F(PaintTest, RowCellsMatchTheirExpansion) {
    struct Case {
        std::string input;
        int tab;
        bool raw;
        std::string cells;
    } cases[] = {
        {"a\tb", 8, false, "a       b"},
        {"\x01", 8, false, "^A"},
        {"\x1b", 8, false, "^["},
        {std::string("a\0b", 3), 8, false, "a^@b"},
        {"x\ry", 8, false, "x^My"},
        {"\tz", 0, false, "        z"},          // tab width 0 counts as 8
        {"\tz", 1000000, false, std::string(40, ' ')}, // a huge tab runs off the row
        {"a\tb", 8, true, "a\tb"},                // raw: three cells
    };
    qwtest::DibCanvas c(L_.width, L_.cell_h * 2, kWhite);
    for (const Case& k : cases) {
        RowLayout L = L_;
        L.rules.tab_width = k.tab;
        L.rules.raw = k.raw;
        CDrawHelper h(painter_, c.dc(), L);
        ASSERT_TRUE(h.valid());
        h.PaintLineRow(0, k.input.data(), int(k.input.size()), nullptr, 0);
        RowLayout literal = L;
        literal.rules.raw = true;
        CDrawHelper h2(painter_, c.dc(), literal);
        h2.PaintLineRow(1, k.cells.data(), int(k.cells.size()), nullptr, 0);
        EXPECT_TRUE(RowsEqual(c, L.cell_h, 0, 1)) << "input of " << k.input.size() << " bytes, tab "
                                                  << k.tab;
    }
    // "a\tb": b stands in window cell 8 (display column 9), cells 1-7 are blank.
    CDrawHelper h(painter_, c.dc(), L_);
    h.PaintLineRow(0, "a\tb", 3, nullptr, 0);
    EXPECT_GT(CountInCell(c, L_, 0, 0, kInk), 0);
    for (int cell = 1; cell < 8; ++cell)
        EXPECT_EQ(0, CountInCell(c, L_, 0, cell, kInk)) << cell;
    EXPECT_GT(CountInCell(c, L_, 0, 8, kInk), 0);
    EXPECT_EQ(L_.cell_w * L_.cell_h, CountInCell(c, L_, 0, 9, kLineBack));
}

TEST_F(PaintTest, LongLinesStopAtColumn4096AndScrolledRowsShowOnlyTheFill) {
    qwtest::DibCanvas c(L_.width, L_.cell_h, kWhite);
    std::string line(5000, 'x');
    RowLayout L = L_;
    L.first_col = 4090; // cells 0-5 show columns 4091-4096
    CDrawHelper h(painter_, c.dc(), L);
    h.PaintLineRow(0, line.data(), int(line.size()), nullptr, 0);
    for (int cell = 0; cell < 6; ++cell)
        EXPECT_GT(CountInCell(c, L, 0, cell, kInk), 0) << cell;
    for (int cell = 6; cell < 40; ++cell)
        EXPECT_EQ(0, CountInCell(c, L, 0, cell, kInk)) << cell;

    // A short line scrolled past its end: nothing but the fill.
    L.first_col = 10;
    L.colouring = true;
    CDrawHelper h2(painter_, c.dc(), L);
    TokenSpan word{0, 3, QW_KIND_TEXT};
    h2.PaintLineRow(0, "abc", 3, &word, 1);
    EXPECT_EQ(0, c.CountNot(kFillBack));
    // A tab that straddles the first visible column leaves its right cells.
    L.first_col = 3;
    L.colouring = false;
    CDrawHelper h3(painter_, c.dc(), L);
    h3.PaintLineRow(0, "a\tb", 3, nullptr, 0);
    EXPECT_GT(CountInCell(c, L, 0, 5, kInk), 0); // b at column 9 = cell 9 - 3 - 1
    for (int cell = 0; cell < 5; ++cell)
        EXPECT_EQ(0, CountInCell(c, L, 0, cell, kInk)) << cell;
}

TEST_F(PaintTest, EveryKindPaintsInItsOwnColours) {
    const int kinds = 43;
    RowLayout L = L_;
    L.visible_cols = kinds;
    L.width = kinds * L.cell_w;
    qwtest::DibCanvas c(L.width, L.cell_h, kWhite);
    std::string spaces(kinds, ' ');
    std::vector<TokenSpan> spans;
    for (int i = 0; i < kinds; ++i) {
        SetKind(2 * i, RGB(0, 0, 0), RGB(10 + 5 * i, 250 - 5 * i, 40 + 3 * i));
        spans.push_back(TokenSpan{i, i + 1, 2 * i});
    }
    CDrawHelper h(painter_, c.dc(), L);
    h.PaintLineRow(0, spaces.data(), kinds, spans.data(), int(spans.size()));
    for (int i = 0; i < kinds; ++i) {
        COLORREF want = RGB(10 + 5 * i, 250 - 5 * i, 40 + 3 * i);
        EXPECT_EQ(want, c.pixel(i * L.cell_w + L.cell_w / 2, L.cell_h / 2)) << "kind " << 2 * i;
    }
}

TEST_F(PaintTest, PrintingGreysOnTwoColourDevicesAndWrapsLongLines) {
    SetKind(QW_KIND_STRING, RGB(255, 0, 0), RGB(0, 0, 255));
    HDC mono = CreateCompatibleDC(nullptr); // holds its one-bit stock bitmap
    ASSERT_TRUE(IsTwoColourDC(mono));
    RECT page{0, 0, 200, 200};
    {
        CDrawHelper p(mono, L_, page, false);
        ASSERT_TRUE(p.valid());
        uint32_t text = 0;
        EXPECT_EQ(GreyOf(RGB(0, 0, 255)), p.ItemColours(QW_KIND_STRING, &text));
        EXPECT_EQ(GreyOf(RGB(255, 0, 0)), text);
    }
    DeleteDC(mono);

    qwtest::DibCanvas c(L_.cell_w * 12, L_.cell_h * 4, kWhite);
    ASSERT_FALSE(IsTwoColourDC(c.dc()));
    RECT narrow{0, 0, L_.cell_w * 4, L_.cell_h * 4};
    CDrawHelper p(c.dc(), L_, narrow, false);
    uint32_t text = 0;
    EXPECT_EQ(uint32_t(RGB(0, 0, 255)), p.ItemColours(QW_KIND_STRING, &text));
    const char* line = "abcdefghij";
    EXPECT_EQ(4, p.PrintLine(0, line, 10, nullptr, 0, 0));
    EXPECT_EQ(8, p.PrintLine(L_.cell_h, line, 10, nullptr, 0, 4));
    EXPECT_EQ(-1, p.PrintLine(2 * L_.cell_h, line, 10, nullptr, 0, 8));
    // Nothing was drawn right of the page.
    for (int y = 0; y < c.height(); ++y)
        for (int x = narrow.right; x < c.width(); ++x)
            ASSERT_EQ(kWhite, c.pixel(x, y)) << x << "," << y;
    EXPECT_GT(CountInCell(c, L_, 2, 0, kInk), 0);
    EXPECT_EQ(0, CountInCell(c, L_, 2, 2, kInk)); // "ij" ends the third printed row
}

// ---- Views -----------------------------------------------------------------

// A view whose rows go to a DIB section instead of the window.
class CanvasView : public CQWTextView {
public:
    explicit CanvasView(HDC dc) : dc_(dc) {}
    HDC GetPaintDC() override { return dc_; }
    void ReleasePaintDC(HDC) override {}
    void UpdateCaret(bool insert) override {
        ++caret_updates;
        CQWTextView::UpdateCaret(insert);
    }
    std::atomic<int> caret_updates{0};

private:
    HDC dc_;
};

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearColourTable();
        ASSERT_EQ(1, vms_start(200, 2048000u, tmp_.file("QW32_Swap.001").c_str(), 0, 0));
        qwtest::DibCanvas probe(8, 8);
        SetEditorFont(TestFont());
        ASSERT_TRUE(CQWTextView::MeasureFont(probe.dc()));
        cw_ = EditorCellWidth();
        ch_ = EditorCellHeight();
        SetKind(QW_KIND_TEXT, kInk, kLineBack);
        SetKind(QW_KIND_FILL, RGB(0, 0, 0), kFillBack);
        SetKind(QW_KIND_NUMBER, RGB(0, 0, 200), RGB(220, 220, 255));
        SetKind(QW_KIND_OPERATOR, RGB(0, 120, 0), RGB(230, 255, 230));
        QwShellOutlets o{};
        o.main_window = [] { return static_cast<void*>(GetDesktopWindow()); };
        o.app_thread_id = GetCurrentThreadId();
        o.status_set_text = [](const char* text, int, unsigned, unsigned) {
            Status().push_back(text);
        };
        QwSetShellOutlets(&o);
        Status().clear();
    }
    void TearDown() override {
        StartViewDrawThread(0);
        DropView();
        canvas_.reset();
        SetViewDrawReportWindow(nullptr);
        QwSetShellOutlets(nullptr);
        vms_stop();
        ClearColourTable();
    }
    void DropView() {
        if (view_ && view_->hwnd())
            ::DestroyWindow(view_->hwnd()); // the view goes with its window
        else
            delete view_;
        view_ = nullptr;
    }
    static std::vector<std::string>& Status() {
        static std::vector<std::string> s;
        return s;
    }
    VMB* MakeBuffer(int lines, const std::string& prefix = "line ") {
        VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
        for (int i = 1; i <= lines; ++i) {
            std::string s = prefix + std::to_string(i);
            vm_insert_line(b, i - 1, s.data(), int(s.size()));
        }
        return b;
    }
    // A view of `rows` rows and 40 columns painting into the canvas.
    void MakeView(VMB* b, int rows, bool colouring = false, bool hidden = false,
                  HWND parent = HWND_MESSAGE) {
        DropView();
        canvas_ = std::make_unique<qwtest::DibCanvas>(40 * cw_ + 8, (rows + 1) * ch_, kWhite);
        view_ = new CanvasView(canvas_->dc());
        TextViewSource src;
        src.buffer = b;
        src.colouring = colouring;
        src.colourer = colouring ? &colourer_ : nullptr;
        RECT rc{0, 0, 40 * cw_ + 8, rows * ch_};
        ASSERT_TRUE(view_->CreateTextView(parent, rc, src, hidden));
        SendMessageA(view_->hwnd(), WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));
        ASSERT_EQ(uint32_t(rows), view_->GetLinesInWindow());
        ASSERT_EQ(view_->ViewFlags(-1, QW_VF_EDITABLE) ? 8 : 0, view_->GetTextBarWidth());
    }
    // A row counts as painted when its right-most pixel is no longer white.
    bool RowPainted(int row) const {
        return canvas_->pixel(canvas_->width() - 1, row * ch_ + 1) != kWhite;
    }
    std::vector<int> PaintedRows(int rows) const {
        std::vector<int> out;
        for (int r = 0; r < rows; ++r)
            if (RowPainted(r))
                out.push_back(r);
        return out;
    }
    bool WaitDone() { return WaitForSingleObject(ViewDrawDoneEvent(), 20000) == WAIT_OBJECT_0; }

    qwtest::TempDir tmp_;
    int cw_ = 0, ch_ = 0;
    ClassColourer colourer_;
    std::unique_ptr<qwtest::DibCanvas> canvas_;
    CanvasView* view_ = nullptr; // ends with its window
};

TEST_F(ViewTest, RowsShowLinesThenTheEndOfFileRowThenFills) {
    MakeView(MakeBuffer(3), 10);
    view_->RedrawWindowLines(); // no thread: every row at once
    const int mid = 20;         // a text column left of any glyph's reach
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(kLineBack, canvas_->pixel(canvas_->width() - 1, r * ch_ + 1)) << r;
    // Row 3: the fill with the end-of-file band across its middle.
    EXPECT_EQ(kLineBack, canvas_->pixel(mid, 3 * ch_));
    EXPECT_NE(kLineBack, canvas_->pixel(mid, 3 * ch_ + ch_ / 2));
    for (int r = 4; r < 10; ++r)
        for (int y = 0; y < ch_; ++y)
            ASSERT_EQ(kLineBack, canvas_->pixel(mid, r * ch_ + y)) << r;
    EXPECT_EQ(kLineBack, canvas_->pixel(mid, 10 * ch_ + 1)); // the partial row below

    // With colouring on, fills take kind 20; without the option, no band.
    SetShowEofRow(false);
    TextViewSource src = view_->source();
    src.colouring = true;
    src.colourer = &colourer_;
    view_->SetSource(src);
    view_->RedrawWindowLines();
    SetShowEofRow(true);
    EXPECT_EQ(kFillBack, canvas_->pixel(canvas_->width() - 1, 1));
    for (int y = 0; y < ch_; ++y)
        EXPECT_EQ(kFillBack, canvas_->pixel(mid, 3 * ch_ + y));
}

TEST_F(ViewTest, ThreadPaintsTheRestAfterTheCaretRowThenTellsTheView) {
    MakeView(MakeBuffer(40), 30);
    ASSERT_TRUE(view_->SetCaretLine(5));
    ASSERT_EQ(1, StartViewDrawThread(1));
    DrawingLock(1); // the thread waits at its first look for pending rows
    view_->WinDraw(1, 0, 30);
    EXPECT_EQ(std::vector<int>{4}, PaintedRows(30));
    EXPECT_TRUE(view_->HasPendingRows());
    EXPECT_TRUE(view_->IsRowPending(29));
    EXPECT_FALSE(view_->RowsPendingAfter(0));
    EXPECT_FALSE(view_->RowsPendingAfter(1)); // line 1 is the next one pending
    int updates = view_->caret_updates;
    DrawingLock(0);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(30u, PaintedRows(30).size());
    EXPECT_FALSE(view_->HasPendingRows());
    EXPECT_TRUE(view_->RowsPendingAfter(0));
    EXPECT_TRUE(qwtest::PumpUntil([&] { return view_->caret_updates > updates; }));

    // The rows the thread drew are the rows the view draws itself.
    qwtest::DibCanvas copy(canvas_->width(), canvas_->height(), kWhite);
    BitBlt(copy.dc(), 0, 0, copy.width(), copy.height(), canvas_->dc(), 0, 0, SRCCOPY);
    StartViewDrawThread(0);
    view_->RedrawWindowLines();
    for (int y = 0; y < 30 * ch_; ++y)
        for (int x = 0; x < copy.width(); ++x)
            ASSERT_EQ(copy.pixel(x, y), canvas_->pixel(x, y)) << x << "," << y;
}

TEST_F(ViewTest, ASecondRangeBeforeTheThreadStartsReplacesTheFirst) {
    MakeView(MakeBuffer(40), 30);
    ASSERT_TRUE(view_->SetCaretLine(5));
    ASSERT_EQ(1, StartViewDrawThread(1));
    DrawingLock(1);
    view_->WinDraw(1, 0, 30);
    view_->WinDraw(11, 10, 5); // caret not in range: row 10 now, 11-14 later
    EXPECT_EQ((std::vector<int>{4, 10}), PaintedRows(30));
    DrawingLock(0);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ((std::vector<int>{4, 10, 11, 12, 13, 14}), PaintedRows(30));
}

// Throws on the drawing thread only, `failures` times.
class FailingColourer : public ClassColourer {
public:
    int ColourLine(VMB* b, int line, const char* text, int len, TokenSpan* out,
                   int max) override {
        if (GetCurrentThreadId() != ui_thread && line == 12 && failures.fetch_sub(1) > 0)
            throw std::runtime_error("lexer failed");
        return ClassColourer::ColourLine(b, line, text, len, out, max);
    }
    DWORD ui_thread = GetCurrentThreadId();
    std::atomic<int> failures{2};
};

LRESULT CALLBACK RecordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    static std::vector<std::pair<WPARAM, LPARAM>>* seen = nullptr;
    if (m == WM_NCCREATE)
        seen = static_cast<std::vector<std::pair<WPARAM, LPARAM>>*>(
            reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    if (m == UWM_MSG_OUTPUT && seen) {
        seen->push_back({wp, lp});
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

TEST_F(ViewTest, AnExceptionInTheThreadIsReportedOnceAndLaterPaintsWork) {
    std::vector<std::pair<WPARAM, LPARAM>> seen;
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QwTestMainFrame";
    RegisterClassA(&wc);
    HWND frame = CreateWindowA("QwTestMainFrame", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               wc.hInstance, &seen);
    ASSERT_NE(nullptr, frame);
    SetViewDrawReportWindow(frame);

    FailingColourer failing;
    MakeView(MakeBuffer(40), 30, true);
    TextViewSource src = view_->source();
    src.colourer = &failing;
    view_->SetSource(src);
    ASSERT_EQ(1, StartViewDrawThread(1));
    for (int round = 0; round < 2; ++round) {
        view_->WinDraw(1, 0, 30);
        ASSERT_TRUE(WaitDone());
        EXPECT_FALSE(RowPainted(20)) << "round " << round; // the range after the fault is dropped
        RECT all{0, 0, canvas_->width(), canvas_->height()};
        FillRect(canvas_->dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    view_->WinDraw(1, 0, 30);
    ASSERT_TRUE(WaitDone());
    EXPECT_EQ(30u, PaintedRows(30).size());
    qwtest::PumpPending();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(WPARAM(QW_MSG_OUTPUT_ID_REQUEST), seen[0].first);
    EXPECT_EQ(LPARAM(QW_IDS_VIEWDRAW_EXCEPTION), seen[0].second);
    DestroyWindow(frame);
}

TEST_F(ViewTest, HiddenViewsPaintNothing) {
    MakeView(MakeBuffer(5), 10, false, true);
    view_->RedrawWindowLines();
    view_->RedrawLine(1, 0, 1, 0);
    EXPECT_EQ(0, canvas_->CountNot(kWhite));
    EXPECT_FALSE(view_->HasPendingRows());
    SelectCurrentTextView(view_);
    EXPECT_EQ(nullptr, GetCurrentTextView());
}

// Two threads change the buffer while the view scrolls and repaints with the
// drawing thread at work: nothing hangs, and once they stop, every row on
// screen is exactly the row of a fresh synchronous paint.
TEST_F(ViewTest, EditingThreadsAgainstPaintingNeitherHangNorGarbleRows) {
    VMB* b = MakeBuffer(200, "alpha 123 + beta ");
    MakeView(b, 30, true);
    ASSERT_EQ(1, StartViewDrawThread(1));
    std::atomic<bool> stop{false};
    auto editor = [&](int seed) {
        unsigned r = unsigned(seed);
        while (!stop.load()) {
            r = r * 1103515245u + 12345u;
            int line = int(1 + (r >> 8) % 150);
            std::string s = "edit" + std::to_string(r % 1000) + " =" + std::string(r % 50, 'x');
            {
                VmGuard g;
                switch ((r >> 4) % 3) {
                case 0: vm_replace_line(b, line, s.data(), int(s.size()), 0); break;
                case 1: vm_insert_line(b, line, s.data(), int(s.size())); break;
                default:
                    if (vm_line_count(b) > 120)
                        vm_delete_line(b, line);
                    break;
                }
            }
            std::this_thread::yield(); // let the painters at the lock between edits
        }
    };
    std::thread t1(editor, 1), t2(editor, 2);
    for (int round = 0; round < 300; ++round) {
        if (round % 3 == 0) {
            view_->SetTopLine(1 + round % 40);
            view_->WinDraw(view_->GetTopLine(), 0, 30);
        } else {
            bool down = round % 2 == 0;
            uint32_t top = view_->GetTopLine();
            view_->SetTopLine(down ? std::max(1u, top - 1) : top + 1);
            view_->ScrollOneLine(0, down, 1);
        }
        qwtest::PumpPending();
    }
    stop.store(true);
    t1.join();
    t2.join();
    view_->RedrawWindowLines();
    view_->WaitForDrawThread(1);
    ASSERT_FALSE(view_->HasPendingRows());
    qwtest::DibCanvas seen(canvas_->width(), canvas_->height(), kWhite);
    BitBlt(seen.dc(), 0, 0, seen.width(), seen.height(), canvas_->dc(), 0, 0, SRCCOPY);
    StartViewDrawThread(0);
    view_->RedrawWindowLines();
    for (int y = 0; y < 30 * ch_; ++y)
        for (int x = 0; x < seen.width(); ++x)
            ASSERT_EQ(canvas_->pixel(x, y), seen.pixel(x, y)) << "row " << y / ch_;
}

TEST_F(ViewTest, OneLineScrollsMoveRowsAndPaintTheUncoveredOne) {
    MakeView(MakeBuffer(60), 10);
    view_->RedrawWindowLines();
    qwtest::DibCanvas before(canvas_->width(), canvas_->height(), kWhite);
    BitBlt(before.dc(), 0, 0, before.width(), before.height(), canvas_->dc(), 0, 0, SRCCOPY);
    view_->SetTopLine(2);
    view_->ScrollOneLine(0, false, 1);
    // After a scroll up, the screen equals a fresh paint from line 2.
    qwtest::DibCanvas scrolled(canvas_->width(), canvas_->height(), kWhite);
    BitBlt(scrolled.dc(), 0, 0, scrolled.width(), scrolled.height(), canvas_->dc(), 0, 0, SRCCOPY);
    view_->RedrawWindowLines();
    for (int y = 0; y < 10 * ch_; ++y)
        for (int x = 0; x < scrolled.width(); ++x)
            ASSERT_EQ(canvas_->pixel(x, y), scrolled.pixel(x, y)) << "row " << y / ch_;
    // And a scroll back down gives the first picture again.
    view_->SetTopLine(1);
    view_->ScrollOneLine(0, true, 1);
    for (int y = 0; y < 10 * ch_; ++y)
        for (int x = 0; x < before.width(); ++x)
            ASSERT_EQ(before.pixel(x, y), canvas_->pixel(x, y)) << "row " << y / ch_;
}

TEST_F(ViewTest, BadBuffersPaintWithoutHarm) {
    VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes.push_back(char(i));
    std::string huge(20000, '\t');
    vm_insert_line(b, 0, bytes.data(), int(bytes.size()));
    vm_insert_line(b, 1, huge.data(), int(huge.size()));
    vm_insert_line(b, 2, "\r", 1);
    MakeView(b, 6);
    for (int tab : {0, 1, 7, 100, 1000000}) {
        TextViewSource src = view_->source();
        src.tab_width = tab;
        view_->SetSource(src);
        for (uint32_t first : {0u, 100u, 4095u, 4096u, 100000u}) {
            view_->SetFirstVisibleColumn(first);
            view_->RedrawWindowLines();
        }
    }
    EXPECT_EQ(6u, PaintedRows(6).size());
    view_->WinDraw(1, 0, 0xFFFFFFFFu); // a huge range ends at the window's last row
    EXPECT_FALSE(view_->HasPendingRows());
    // An empty buffer: the end-of-file row first, then fills.
    VMB* empty = vmb_open(VMB_T_TEMP, nullptr, 0);
    MakeView(empty, 4);
    view_->RedrawWindowLines();
    EXPECT_EQ(4u, PaintedRows(4).size());
    EXPECT_NE(kLineBack, canvas_->pixel(20, ch_ / 2));
}

TEST_F(ViewTest, CaretColumnsTabStopsAndTheLastColumn) {
    VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
    vm_insert_line(b, 0, "x\ty", 3);
    std::string longline(5000, 'z');
    vm_insert_line(b, 1, longline.data(), int(longline.size()));
    MakeView(b, 5);
    TextViewSource src = view_->source();
    src.tab_width = 4;
    view_->SetSource(src);
    EXPECT_EQ(2u, view_->DisplayColumnOf(1, 1));
    EXPECT_EQ(5u, view_->DisplayColumnOf(1, 2));
    uint32_t actual = 0;
    EXPECT_EQ(1, view_->OffsetOfDisplayColumn(1, 3, &actual, true));
    EXPECT_EQ(2u, actual);
    // The caret may sit anywhere inside a tab.
    view_->SetCaretColumn(1);
    view_->CaretDisplayColumn(1, 3);
    EXPECT_EQ(3u, view_->GetDisplayColumn());
    view_->CaretDisplayColumn(1, 7);
    EXPECT_EQ(2u, view_->GetDisplayColumn());

    src.tab_width = 8;
    view_->SetSource(src);
    ASSERT_TRUE(view_->SetCaretLine(2));
    struct Move {
        uint32_t from;
        bool right;
        uint32_t to;
    } moves[] = {{1, true, 9}, {8, true, 9}, {9, true, 17}, {1, false, 1}, {10, false, 9}};
    for (const Move& m : moves) {
        view_->SetCaretToDisplayColumn(m.from);
        if (m.right)
            view_->TabRight();
        else
            view_->TabLeft();
        EXPECT_EQ(m.to, view_->GetDisplayColumn()) << m.from;
    }
    view_->SetCaretToDisplayColumn(4095);
    EXPECT_TRUE(view_->CaretRight());
    EXPECT_EQ(4096u, view_->GetDisplayColumn());
    EXPECT_TRUE(Status().empty());
    EXPECT_FALSE(view_->CaretRight());
    EXPECT_EQ(4096u, view_->GetDisplayColumn());
    ASSERT_EQ(1u, Status().size());
    EXPECT_EQ(0u, Status()[0].find("Can't go beyond column: 4096")) << Status()[0];
}

TEST_F(ViewTest, ListViewsDrawTheMarkedLineInItsOwnKind) {
    const COLORREF marked = RGB(255, 210, 120), list = RGB(230, 230, 230);
    SetKind(QW_KIND_MARKED, RGB(0, 0, 0), marked);
    SetKind(QW_KIND_LIST, RGB(0, 0, 0), list);
    VMB* b = vmb_open(VMB_T_TEMP, "Search Results", 0);
    for (int i = 0; i < 5; ++i)
        vm_insert_line(b, i, "match", 5);
    MakeView(b, 6);
    EXPECT_FALSE(view_->ViewFlags(-1, QW_VF_EDITABLE));
    EXPECT_TRUE(view_->ViewFlags(-1, QW_VF_LIST));
    vm_set_mark_line(b, 1);
    view_->RedrawWindowLines();
    const int x = canvas_->width() - 1;
    EXPECT_EQ(marked, canvas_->pixel(x, 1));
    view_->RefreshLineMark(1, 3);
    EXPECT_EQ(3, vm_mark_line(b));
    EXPECT_EQ(list, canvas_->pixel(x, 1));
    EXPECT_EQ(list, canvas_->pixel(x, 1 * ch_ + 1));
    EXPECT_EQ(marked, canvas_->pixel(x, 2 * ch_ + 1));
    view_->RefreshLineMark(3, 5);
    EXPECT_EQ(list, canvas_->pixel(x, 2 * ch_ + 1));
    EXPECT_EQ(marked, canvas_->pixel(x, 4 * ch_ + 1));
}

TEST_F(ViewTest, WaitingUnderTheBufferLockTakesTheRowsBackAndIsLogged) {
    std::string log = tmp_.file("qw_dbg.log");
    DebugLogSetPath(log.c_str());
    MakeView(MakeBuffer(40), 30);
    ASSERT_EQ(1, StartViewDrawThread(1));
    DrawingLock(1);
    view_->WinDraw(1, 0, 30);
    DrawingLock(0);
    {
        VmGuard g; // the thread cannot paint a row while this is held
        view_->WaitForDrawThread(1);
        EXPECT_FALSE(view_->HasPendingRows());
    }
    ASSERT_TRUE(WaitDone());
    DebugLogSetPath(nullptr);
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(std::string::npos, text.str().find("KV: In CQWTextView::WaitForDrawThread()"));
}

TEST(TextBar, WidthFollowsTheOptions) {
    struct Case {
        uint32_t flags;
        bool editable;
        int lines;
        int width;
    } cases[] = {
        {0x0, true, 10, 8},         {0x1, true, 10, 7 + 3 + 8},  {0x1, false, 10, 0},
        {0x3, true, 999, 3 * 6 + 3 + 8}, {0x3, true, 1000, 4 * 6 + 3 + 8},
        {0x3, true, -1, 6 * 6 + 3 + 8},  {0x1D, true, 5, 3 * 7 + 3 + 8},
        {0x61, true, 5, 3 * 7 + 3 + 8},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.width, TextBarLayoutWidth(c.flags, c.editable, c.lines, 6, 7))
            << std::hex << c.flags << std::dec << " " << c.lines;
}

TEST(SideBySide, TwoFramesAreTiledAndRecognised) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QwTestMdiFrame";
    RegisterClassA(&wc);
    WNDCLASSA cc = wc;
    cc.lpfnWndProc = DefMDIChildProcA;
    cc.lpszClassName = "QwTestMdiChild";
    RegisterClassA(&cc);
    HWND frame = CreateWindowA("QwTestMdiFrame", "", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr,
                               nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, frame);
    CLIENTCREATESTRUCT ccs{nullptr, 1000};
    HWND client = CreateWindowA("MDICLIENT", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                600, 400, frame, nullptr, wc.hInstance, &ccs);
    ASSERT_NE(nullptr, client);
    HWND a = CreateMDIWindowA("QwTestMdiChild", "a", WS_VISIBLE, 10, 10, 100, 100, client,
                              wc.hInstance, 0);
    HWND b = CreateMDIWindowA("QwTestMdiChild", "b", WS_VISIBLE, 50, 50, 100, 100, client,
                              wc.hInstance, 0);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(0, AreSideBySide(client, a, b));
    for (int orientation : {1, 0}) {
        for (bool b_first : {false, true}) {
            HWND first = b_first ? b : a, second = b_first ? a : b;
            ASSERT_EQ(1, ArrangeTwoViews(client, first, second, orientation, false));
            EXPECT_EQ(orientation == 1 ? 1 : 2, AreSideBySide(client, a, b)) << orientation;
            EXPECT_EQ(first, WhichViewIsFirst(a, b, orientation)) << orientation;
            // Keeping the order leaves the frame that stands first in front.
            ASSERT_EQ(1, ArrangeTwoViews(client, second, first, orientation, true));
            EXPECT_EQ(first, WhichViewIsFirst(a, b, orientation)) << orientation;
        }
    }
    // -1 keeps the arrangement they stand in.
    ASSERT_EQ(1, ArrangeTwoViews(client, a, b, 1, true));
    ASSERT_EQ(1, ArrangeTwoViews(client, a, b, -1, true));
    EXPECT_EQ(1, AreSideBySide(client, a, b));
    SendMessageA(client, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(a), 0);
    EXPECT_EQ(0, AreSideBySide(client, a, b));
    ASSERT_EQ(1, ArrangeTwoViews(client, a, b, 0, true)); // restored first
    EXPECT_EQ(2, AreSideBySide(client, a, b));
    DestroyWindow(frame);
}

TEST_F(ViewTest, DeferredRequestsActOnlyOnLiveVisibleViews) {
    MakeView(MakeBuffer(5), 6);
    struct Case {
        WPARAM code;
        LPARAM hint;
        bool repaints;
    } cases[] = {{1, QW_HINT_REPAINT, true}, {1, 0x20, false}, {4, 1, false}, {7, 1, false}};
    for (const Case& c : cases) {
        RECT all{0, 0, canvas_->width(), canvas_->height()};
        FillRect(canvas_->dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        PostMessageA(view_->hwnd(), UWM_VIEW_ACTION, c.code, c.hint);
        qwtest::PumpPending();
        EXPECT_EQ(c.repaints, !PaintedRows(6).empty()) << c.code << "/" << c.hint;
    }
    // The current view goes with its window.
    SelectCurrentTextView(view_);
    EXPECT_EQ(view_, GetCurrentTextView());
    HWND gone = view_->hwnd();
    DropView();
    EXPECT_EQ(nullptr, GetCurrentTextView());
    EXPECT_FALSE(IsWindow(gone));
}

int UpperFilter(const char* in, int len, char* out, int size, int mode) {
    if (mode != 1)
        return 0;
    int n = std::min(len, size);
    for (int i = 0; i < n; ++i)
        out[i] = char(toupper(static_cast<unsigned char>(in[i])));
    return n;
}

TEST_F(ViewTest, TheTextFilterShapesEveryPaintedLine) {
    VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
    vm_insert_line(b, 0, "abc def", 7);
    vm_insert_line(b, 1, "ABC DEF", 7);
    MakeView(b, 3);
    view_->RedrawWindowLines();
    EXPECT_FALSE(RowsEqual(*canvas_, ch_, 0, 1));
    view_->SetTextFilter(&UpperFilter);
    view_->RedrawWindowLines();
    EXPECT_TRUE(RowsEqual(*canvas_, ch_, 0, 1));
}

TEST_F(ViewTest, StoppingTheThreadWithRowsPendingJoinsItAndLaterStartsWork) {
    MakeView(MakeBuffer(40), 30);
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(1, StartViewDrawThread(1));
        ASSERT_TRUE(ViewDrawThreadRunning());
        view_->WinDraw(1, 0, 30);
        EXPECT_EQ(0, StartViewDrawThread(0)); // stops at its stop code and is joined
        EXPECT_FALSE(ViewDrawThreadRunning());
        EXPECT_FALSE(view_->HasPendingRows());
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ViewDrawDoneEvent(), 0));
    }
    // Without the thread a range is painted whole at once.
    RECT all{0, 0, canvas_->width(), canvas_->height()};
    FillRect(canvas_->dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    view_->WinDraw(1, 0, 30);
    EXPECT_EQ(30u, PaintedRows(30).size());
}

TEST_F(ViewTest, APaintMessagePaintsTheInvalidRowsWhole) {
    // Paint messages need a visible window: a small top-level one holds the view.
    HWND top = CreateWindowA("STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 400, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, top);
    MakeView(MakeBuffer(20), 10, false, false, top);
    ValidateRect(view_->hwnd(), nullptr);
    RECT rows{0, 2 * ch_ + 3, 10, 4 * ch_ + 1}; // parts of rows 2, 3 and 4
    InvalidateRect(view_->hwnd(), &rows, FALSE);
    UpdateWindow(view_->hwnd());
    EXPECT_EQ((std::vector<int>{2, 3, 4}), PaintedRows(10));
    DropView();
    DestroyWindow(top);
}

TEST(EditorServices, StartAndEndOfTheEditorSide) {
    qwtest::TempDir tmp;
    ASSERT_EQ(1, vms_start(100, 2048000u, tmp.file("QW32_Swap.001").c_str(), 0, 0));
    ClearColourTable();
    SetEditorFont(CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH, "Courier New"));
    EXPECT_EQ(1, InitEditorServices(nullptr, nullptr));
    EXPECT_TRUE(ViewDrawThreadRunning());
    QwColourEntry e{};
    ASSERT_EQ(1, ColourTableEntry(-1, QW_KIND_KEYWORD, nullptr, 0, &e));
    EXPECT_TRUE(e.switches & QW_CSW_TEXT); // the default screen colours are in
    ShutdownEditorServices();
    EXPECT_FALSE(ViewDrawThreadRunning());
    EXPECT_EQ(nullptr, GetEditorFont());
    EXPECT_FALSE(vms_is_started());
    ClearColourTable();
}

// A buffer still loading: rows past the lines read so far are empty (no
// end-of-file row yet), and they show their lines once read.
TEST_F(ViewTest, ABufferStillLoadingPaintsWhatIsRead) {
    std::string text;
    for (int i = 1; i <= 3000; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    std::string path = tmp_.file("long.txt");
    qwtest::WriteFileBytes(path, text);
    VMB* b = vmb_open(VMB_T_FILE, path.c_str(), VMB_O_NOFIND);
    ASSERT_NE(nullptr, b);
    ASSERT_EQ(1, vmb_Stream_Open(b, path.c_str(), "r"));
    vm_read_lines(b, 10);
    ASSERT_FALSE(vm_is_fully_read(b));
    int known = vm_line_count(b);
    ASSERT_LT(known, 3000);
    MakeView(b, 10);
    view_->SetTopLine(uint32_t(known) - 2); // three lines read, then nothing yet
    view_->RedrawWindowLines();
    const int mid = 20;
    for (int r = 3; r < 10; ++r)
        for (int y = 0; y < ch_; ++y)
            ASSERT_EQ(kLineBack, canvas_->pixel(mid, r * ch_ + y)) << "row " << r;
    vm_read_lines(b, 3000);
    view_->RedrawWindowLines();
    bool ink = false;
    for (int y = 3 * ch_; y < 4 * ch_; ++y)
        for (int x = 8; x < 8 + 6 * cw_; ++x)
            ink = ink || canvas_->pixel(x, y) == kInk;
    EXPECT_TRUE(ink) << "the row of a line read later shows its text";
}

// The horizontal scroll range's width. A buffer that fits the page cache is
// measured line by line, so that lines typed or pasted anywhere count; a
// larger one takes the engine's longest line read from its file instead of
// reading every page back. In both the rows in the window add their tabs.
TEST_F(ViewTest, TheScrollWidthIsTheLongestLine) {
    VMB* small = vmb_open(VMB_T_TEMP, nullptr, 0);
    vm_append_line(small, "x\ty");
    for (int i = 2; i <= 40; ++i) vm_append_line(small, i == 30 ? std::string(60, 'w').c_str() : "short");
    MakeView(small, 5);
    const int tabbed = int(view_->DisplayColumnOf(1, 3)) - 1;
    ASSERT_GT(tabbed, 5);
    EXPECT_EQ(60, view_->MaxLineWidth()); // line 30 is out of the window
    vm_append_line(small, std::string(70, 'v').c_str());
    EXPECT_EQ(70, view_->MaxLineWidth());
    ASSERT_EQ(1, vm_delete_line(small, 41));
    ASSERT_EQ(1, vm_delete_line(small, 30));
    EXPECT_EQ(tabbed, view_->MaxLineWidth());

    // Larger than half the page cache (2,048,000 bytes here).
    std::string text = std::string(40, '\t') + "\r\n";
    for (int i = 2; i <= 16000; ++i) {
        std::string line = i == 9000 ? std::string(300, 'L') : "line " + std::to_string(i);
        text += line + std::string(70 - std::min<size_t>(line.size(), 70), '.') + "\r\n";
    }
    std::string path = tmp_.file("wide.txt");
    qwtest::WriteFileBytes(path, text);
    VMB* big = vmb_open(VMB_T_FILE, path.c_str(), VMB_O_NOFIND);
    ASSERT_NE(nullptr, big);
    ASSERT_EQ(1, vmb_Stream_Open(big, path.c_str(), "r"));
    vm_read_lines(big, 100);
    MakeView(big, 5);
    TextViewSource src = view_->source();
    src.tab_width = 8;
    view_->SetSource(src);
    ASSERT_EQ(40u * 8 + 1, view_->DisplayColumnOf(1, 40));
    EXPECT_EQ(40 * 8, view_->MaxLineWidth()); // the tabs of line 1; line 9000 not read yet
    vm_read_lines(big, 0xFFFFFFFFu);
    ASSERT_TRUE(vm_is_fully_read(big));
    EXPECT_EQ(40 * 8, view_->MaxLineWidth());
    view_->SetTopLine(100);
    ASSERT_EQ(1, vm_delete_line(big, 1));
    EXPECT_EQ(300, view_->MaxLineWidth());
    // The engine's figure stays when that line goes: a range a little too
    // wide, never one that hides text.
    ASSERT_EQ(1, vm_delete_line(big, 8999));
    EXPECT_EQ(300, view_->MaxLineWidth());
}

TEST_F(ViewTest, ANewCurrentViewHasItsDocumentsListsRefilled) {
    int doc_a = 0, doc_b = 0;
    VMB* list = vmb_open(VMB_T_TEMP, "IncludesInDoc", 0);
    vmb_set_client_data(list, &doc_a);
    VMB* b = MakeBuffer(3);
    vmb_set_client_data(b, &doc_a);
    MakeView(b, 4);
    uint32_t seq = vm_seq_get(list);
    SelectCurrentTextView(view_); // the list is this document's already
    EXPECT_EQ(seq, vm_seq_get(list));
    vmb_set_client_data(b, &doc_b);
    SelectCurrentTextView(view_);
    EXPECT_EQ(seq + 1, vm_seq_get(list));
    vmb_set_client_data(b, nullptr);
}

} // namespace
