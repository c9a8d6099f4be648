// Drawing wrappers and the application's command line: a memory DC drawn
// and copied to a DIB, objects selected for a scope, the printing hooks of
// a view on a DC that cannot print, and command-line words and flags.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/fwapp.h"
#include "framework/fwgdi.h"
#include "framework/fwview.h"
#include "tests/support/win_test.h"

namespace {

TEST(FwGdi, MemoryDCDrawsAndCopiesExactPixelsAndSelectionsRestore) {
    qwtest::DibCanvas canvas(40, 20, RGB(255, 255, 255));
    {
        fw::MemoryDC mem(canvas.dc(), 10, 10);
        ASSERT_NE(mem.get(), nullptr);
        ASSERT_NE(mem.bitmap(), nullptr);
        mem.FillSolidRect(fw::Rect(0, 0, 10, 10), RGB(0, 0, 255));
        EXPECT_TRUE(mem.BlitTo(canvas.dc(), 5, 5));
        EXPECT_FALSE(mem.is_printing());
    }
    EXPECT_EQ(canvas.pixel(5, 5), RGB(0, 0, 255));
    EXPECT_EQ(canvas.pixel(14, 14), RGB(0, 0, 255));
    EXPECT_EQ(canvas.pixel(15, 15), RGB(255, 255, 255));
    EXPECT_EQ(canvas.CountNot(RGB(255, 255, 255)), 100);

    fw::Pen pen(CreatePen(PS_SOLID, 1, RGB(255, 0, 0)));
    HGDIOBJ before = GetCurrentObject(canvas.dc(), OBJ_PEN);
    {
        fw::SelectObject keep(canvas.dc(), pen);
        EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_PEN), pen.get());
    }
    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_PEN), before);
    fw::Pen moved(std::move(pen));
    EXPECT_EQ(pen.get(), nullptr);
    EXPECT_NE(moved.get(), nullptr);

    fw::Rect r(0, 0, 10, 20);
    r.Deflate(2, 3);
    EXPECT_EQ(r, fw::Rect(2, 3, 8, 17));
    EXPECT_EQ(r.Width(), 6);
    EXPECT_TRUE(r.Contains(fw::Point(2, 3)));
    EXPECT_FALSE(r.Contains(fw::Point(8, 3)));
}

TEST(FwGdi, PrintingHooksRunInOrderAndAFailedJobStillEnds) {
    struct PrintView : fw::View {
        std::vector<std::string> calls;
        bool OnPreparePrinting(fw::PrintInfo*) override { calls.push_back("prepare"); return true; }
        void OnBeginPrinting(fw::DC& dc, fw::PrintInfo*) override {
            calls.push_back(dc.is_printing() ? "begin printing" : "begin");
        }
        void OnEndPrinting(fw::DC&, fw::PrintInfo*) override { calls.push_back("end"); }
    } view;
    qwtest::DibCanvas canvas(10, 10);
    fw::DC screen(canvas.dc());
    fw::PrintInfo info;
    // A memory DC has no printer to start a document on.
    EXPECT_FALSE(view.PrintTo(screen, info, "doc"));
    EXPECT_EQ(view.calls, (std::vector<std::string>{"prepare", "begin printing", "end"}));
}

TEST(FwCommandLine, WordsAndFlagsReachTheParser) {
    struct Case {
        const char* line;
        fw::CommandLineInfo::ShellCommand command;
        const char* file;
        bool splash;
    } cases[] = {
        {"qw32.exe", fw::CommandLineInfo::kFileNew, "", true},
        {"\"C:\\Program Files\\qw32.exe\" \"C:\\a b\\c.txt\"", fw::CommandLineInfo::kFileOpen, "C:\\a b\\c.txt", true},
        {"qw32 /nologo -p x.txt", fw::CommandLineInfo::kFilePrint, "x.txt", false},
    };
    for (const Case& c : cases) {
        fw::Application app;
        fw::CommandLineInfo info;
        app.ParseCommandLine(info, c.line);
        EXPECT_EQ(info.shell_command, c.command) << c.line;
        EXPECT_EQ(info.file_name, c.file) << c.line;
        EXPECT_EQ(info.show_splash, c.splash) << c.line;
    }
    EXPECT_EQ(fw::SplitCommandLine("p  a\t\"b c\"\"d\" "), (std::vector<std::string>{"a", "b cd"}));
}

} // namespace
