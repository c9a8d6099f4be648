// Tests of lexer-coloured rows: a view of a C buffer paints each token in
// the colours of its kind, carries a block comment from the line before,
// and paints the same when scrolled sideways.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "VmEngine/lexlang.h"
#include "VmEngine/vm.h"
#include "editor/colortable.h"
#include "editor/qwdoc.h"
#include "editor/textview.h"
#include "tests/editor/doc_test_env.h"
#include "tests/editor/view_lexer_lang.h"
#include "tests/support/win_test.h"

namespace {

class CanvasView : public CQWTextView {
public:
    explicit CanvasView(HDC dc) : dc_(dc) {}
    HDC GetPaintDC() override { return dc_; }
    void ReleasePaintDC(HDC) override {}

private:
    HDC dc_;
};

COLORREF Back(int kind) { return RGB(100 + kind, 255 - kind, 60 + 2 * kind); }

class LexedRows : public doctest::LangTest {
protected:
    void SetUp() override {
        doctest::LangTest::SetUp();
        lang_ = LoadTestCLanguage(config());
        ASSERT_GE(lang_, 0);
        previous_ = vm_set_lang_source(TestLangSource());
        ClearColourTable();
        for (int kind = 0; kind <= 48; kind += 2)
            ColourTableEntry(1, kind + 1, std::to_string(Back(kind)).c_str(), QW_CSW_BACK,
                             nullptr);
    }
    void DropView() {
        if (view_ && view_->hwnd())
            ::DestroyWindow(view_->hwnd());
        else
            delete view_;
        view_ = nullptr;
    }
    void TearDown() override {
        DropView();
        canvas_.reset();
        ClearColourTable();
        vm_set_lang_source(previous_);
        doctest::LangTest::TearDown();
    }
    void Show(const std::vector<std::string>& lines, uint32_t first_col = 0) {
        VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
        for (size_t i = 0; i < lines.size(); ++i)
            vm_insert_line(b, int(i), lines[i].data(), int(lines[i].size()));
        qwtest::DibCanvas probe(8, 8);
        ASSERT_TRUE(CQWTextView::MeasureFont(probe.dc()));
        cw_ = EditorCellWidth();
        ch_ = EditorCellHeight();
        canvas_ = std::make_unique<qwtest::DibCanvas>(40 * cw_ + 8, 6 * ch_);
        view_ = new CanvasView(canvas_->dc());
        TextViewSource src;
        src.buffer = b;
        src.colouring = true;
        src.lang = lang_;
        RECT rc{0, 0, 40 * cw_ + 8, 5 * ch_};
        ASSERT_TRUE(view_->CreateTextView(HWND_MESSAGE, rc, src));
        SendMessageA(view_->hwnd(), WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));
        view_->SetFirstVisibleColumn(first_col);
        view_->RedrawWindowLines();
    }
    // Whether the window cell shows the background of `kind`.
    bool CellIs(int row, int cell, int kind) const {
        int x0 = view_->GetTextBarWidth() + cell * cw_;
        int n = 0;
        for (int y = row * ch_; y < (row + 1) * ch_; ++y)
            for (int x = x0; x < x0 + cw_; ++x)
                n += canvas_->pixel(x, y) == Back(kind);
        return n > cw_ * ch_ / 3;
    }
    const VmLangSource* previous_ = nullptr;
    int lang_ = -1;
    int cw_ = 0, ch_ = 0;
    std::unique_ptr<qwtest::DibCanvas> canvas_;
    CanvasView* view_ = nullptr; // ends with its window
};

TEST_F(LexedRows, TokensPaintInTheColoursOfTheirKinds) {
    Show({"int x = 42; /* open", "still */ return \"s\";", "x"});
    struct Cell {
        int row, cell, kind;
    } cells[] = {
        {0, 0, 36},  {0, 3, 18}, {0, 4, 40}, {0, 6, 44}, {0, 8, 26}, {0, 12, 2}, {0, 18, 2},
        {0, 25, 20},                          // the fill after the text, colouring on
        {1, 0, 2},   {1, 7, 2},               // the comment carried from line 1
        {1, 9, 38},  {1, 16, 22}, {1, 19, 44},
    };
    for (const Cell& c : cells)
        EXPECT_TRUE(CellIs(c.row, c.cell, c.kind))
            << "row " << c.row << " cell " << c.cell << " kind " << c.kind;
}

TEST_F(LexedRows, AScrolledRowShowsTheTokensAtTheirColumns) {
    Show({"int x = 42; /* open", "still */ return \"s\";"}, 6);
    // Column 9 ("42") is window cell 2; column 18 ("return") of line 2 is cell 11.
    EXPECT_TRUE(CellIs(0, 2, 26));
    EXPECT_TRUE(CellIs(0, 6, 2));
    EXPECT_TRUE(CellIs(1, 0, 2));
    EXPECT_TRUE(CellIs(1, 3, 38));
}

// A view joined to a document takes its buffer and settings from it.
TEST_F(LexedRows, AViewOfADocumentShowsTheDocumentsBuffer) {
    struct Case {
        const char* name;
        uint32_t flag;
    } cases[] = {{nullptr, QW_VF_EDITABLE}, {"Results", QW_VF_LIST}};
    for (const Case& c : cases) {
        VMB* b = vmb_open(VMB_T_TEMP, c.name, 0);
        for (int i = 0; i < 3; ++i)
            vm_insert_line(b, i, "abc", 3);
        auto* doc = new CQWDoc; // goes with its last view
        ASSERT_EQ(1, doc->BindBuffer(b));
        qwtest::DibCanvas probe(8, 8);
        ASSERT_TRUE(CQWTextView::MeasureFont(probe.dc()));
        cw_ = EditorCellWidth();
        ch_ = EditorCellHeight();
        DropView();
        canvas_ = std::make_unique<qwtest::DibCanvas>(20 * cw_, 5 * ch_);
        view_ = new CanvasView(canvas_->dc());
        RECT rc{0, 0, 20 * cw_, 4 * ch_};
        ASSERT_TRUE(view_->CreateView(HWND_MESSAGE, 59648, doc, rc, WS_CHILD));
        SendMessageA(view_->hwnd(), WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));
        EXPECT_EQ(b, view_->GetBuffer());
        EXPECT_EQ(8, view_->source().tab_width);
        EXPECT_EQ(-1, view_->source().lang);
        EXPECT_EQ(c.flag, view_->ViewFlags(-1, QW_VF_EDITABLE | QW_VF_LIST));
        view_->RedrawWindowLines();
        EXPECT_GT(canvas_->CountNot(RGB(255, 255, 255)), 0) << "nothing painted";
    }
}

} // namespace
