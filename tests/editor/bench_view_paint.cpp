// Timing of the row painter under Wine: a full repaint of a 60-row window of
// C source in colour, and a one-line scroll (1000 times), into a DIB
// section, coloured by the lexer. Prints the medians and the split of a
// repaint between reading the lines, lexing them and drawing the rows.
//
// Run: bench_view_paint.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "VmEngine/vm.h"
#include "editor/colortable.h"
#include "editor/drawhelper.h"
#include "editor/textview.h"
#include "editor/viewdraw.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"
#include "tests/editor/view_lexer_lang.h"
#include "VmEngine/lexlang.h"

namespace {

class CanvasView : public CQWTextView {
public:
    explicit CanvasView(HDC dc) : dc_(dc) {}
    HDC GetPaintDC() override { return dc_; }
    void ReleasePaintDC(HDC) override {}

private:
    HDC dc_;
};

double Now() {
    static LARGE_INTEGER f{};
    if (!f.QuadPart)
        QueryPerformanceFrequency(&f);
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) * 1000.0 / double(f.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 200;
    qwtest::TempDir tmp;
    if (!vms_start(200, 4096000u, tmp.file("QW32_Swap.001").c_str(), 0, 0))
        return 1;
    ApplyDefaultColourScheme();
    std::string folder = tmp.file("config/");
    CreateDirectoryA(folder.c_str(), nullptr);
    const int lang = LoadStandaloneCLanguage(folder);
    if (lang < 0)
        return 3;
    vm_set_lang_source(TestLangSource());
    VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
    const char* src[] = {
        "static int count_words(const char* text, int len) {",
        "\tint n = 0; // words seen so far",
        "\tfor (int i = 0; i < len; ++i) {",
        "\t\tif (text[i] == ' ' && i + 1 < len && text[i + 1] != ' ')",
        "\t\t\t++n;",
        "\t}",
        "\treturn n + 0x10 - 16; /* \"quoted\" */",
        "}",
        "const char* names[] = {\"alpha\", \"beta\", \"gamma\", \"delta\"};",
        "",
    };
    for (int i = 0; i < 2000; ++i) {
        const char* s = src[i % 10];
        vm_insert_line(b, i, s, int(strlen(s)));
    }
    // An editor-sized font, drawn as the system draws it (smoothing included).
    SetEditorFont(CreateFontA(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN,
                              "Courier New"));
    qwtest::DibCanvas probe(8, 8);
    CQWTextView::MeasureFont(probe.dc());
    const int cw = EditorCellWidth(), ch = EditorCellHeight();
    const int rows = 60, width = 100 * cw + 24;
    qwtest::DibCanvas canvas(width, (rows + 1) * ch);
    CanvasView& view = *new CanvasView(canvas.dc()); // ends with its window
    TextViewSource s;
    s.buffer = b;
    s.tab_width = 4;
    s.colouring = true;
    s.lang = lang;
    RECT rc{0, 0, width, rows * ch};
    if (!view.CreateTextView(HWND_MESSAGE, rc, s))
        return 2;
    SendMessageA(view.hwnd(), WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));

    // Full repaints, all rows on this thread (no drawing thread).
    std::vector<double> full;
    for (int r = 0; r < rounds; ++r) {
        view.SetTopLine(1 + (r * 7) % 1000);
        double t0 = Now();
        view.RedrawWindowLines();
        full.push_back(Now() - t0);
    }
    // One-line scrolls.
    std::vector<double> scroll;
    view.SetTopLine(1);
    view.RedrawWindowLines();
    for (int r = 0; r < 1000; ++r) {
        bool down = (r / 100) % 2 == 1;
        view.SetTopLine(down ? view.GetTopLine() - 1 : view.GetTopLine() + 1);
        double t0 = Now();
        view.ScrollOneLine(0, down, 1);
        scroll.push_back(Now() - t0);
    }
    // Where a repaint goes: reading 60 lines, colouring them, drawing rows.
    std::vector<double> read, colour, draw;
    RowPainter painter;
    for (int r = 0; r < rounds; ++r) {
        double t0 = Now();
        int lens[rows];
        std::vector<std::string> lines(rows);
        for (int i = 0; i < rows; ++i) {
            lens[i] = vm_read_text(b, 1 + i, 0, painter.line, QW_MAX_COLUMNS, nullptr);
            lines[i].assign(painter.line, size_t(std::max(lens[i], 0)));
        }
        double t1 = Now();
        std::vector<std::vector<TokenSpan>> spans(rows);
        for (int i = 0; i < rows; ++i) {
            LexLineSetup setup;
            setup.lang = lang;
            setup.tab_width = 4;
            LexStartState(b, i + 1, lang, true, &setup);
            int n = LexLine(painter.lexer, setup, lines[i].data(), int(lines[i].size()),
                            painter.tokens, QW_MAX_COLUMNS);
            for (int k = 0; k < n; ++k)
                spans[i].push_back(TokenSpan{painter.tokens[k].start, painter.tokens[k].end,
                                             LexColourKind(painter.tokens[k].code)});
        }
        double t2 = Now();
        CDrawHelper h(painter, canvas.dc(), view.Layout());
        for (int i = 0; i < rows; ++i)
            h.PaintLineRow(i, lines[i].data(), int(lines[i].size()), spans[i].data(),
                           int(spans[i].size()));
        GdiFlush();
        double t3 = Now();
        read.push_back(t1 - t0);
        colour.push_back(t2 - t1);
        draw.push_back(t3 - t2);
    }
    std::printf("cell %dx%d, %d rows, %d rounds\n", cw, ch, rows, rounds);
    std::printf("full repaint (60 rows): median %.3f ms\n", Median(full));
    std::printf("one-line scroll:        median %.3f ms\n", Median(scroll));
    std::printf("  of a repaint: read %.3f ms, lex %.3f ms, draw %.3f ms\n", Median(read),
                Median(colour), Median(draw));
    ::DestroyWindow(view.hwnd());
    vms_stop();
    return 0;
}
