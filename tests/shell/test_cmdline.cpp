// Command-line words, the hand-off block (packing, hostile blocks refused),
// the sender/receiver pair in one process, DDE open requests, and carrying
// a command line out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/cmdline.h"
#include "shell/cmdline_block.h"
#include "tests/support/temp_dir.h"

namespace {

CQWCmdLineInfo Parse(const std::vector<std::string>& words) {
    CQWCmdLineInfo info;
    ParseCmdLineWords(&info, words);
    return info;
}

TEST(CmdLine, KeywordsAndValues) {
    CQWCmdLineInfo a = Parse({"-l", "120", "/C", "5", "a.c", "b.c"});
    EXPECT_EQ(a.line, 120);
    EXPECT_EQ(a.column, 5);
    EXPECT_EQ(a.file_name, "a.c");
    EXPECT_EQ(a.further_files, std::vector<std::string>{"b.c"});

    CQWCmdLineInfo d = Parse({"-diff", "x.c", "y.c", "-dir", "D:\\w", "-k", "Save"});
    EXPECT_EQ(d.compare1, "x.c");
    EXPECT_EQ(d.compare2, "y.c");
    EXPECT_TRUE(d.restore_layout_cleared);
    EXPECT_EQ(d.directory, "D:\\w");
    EXPECT_EQ(d.command, "Save");
    EXPECT_TRUE(d.file_name.empty());

    struct { const char* flag; int CQWCmdLineInfo::*field; int value; } flags[] = {
        {"-1", &CQWCmdLineInfo::use_running_instance, 1},
        {"-1-", &CQWCmdLineInfo::new_instance, 1},
        {"-NF", &CQWCmdLineInfo::restore_project_docs, 0},
        {"-np", &CQWCmdLineInfo::restore_last_project, 0},
        {"/r-", &CQWCmdLineInfo::no_directory_restore, 1},
        {"-r", &CQWCmdLineInfo::directory_restore_unconditional, 0},
    };
    for (auto& f : flags) {
        CQWCmdLineInfo i = Parse({"a.c", f.flag, "b.c"});
        EXPECT_EQ(i.*(f.field), f.value) << f.flag;
        // The word after a keyword without value is a file, never lost.
        EXPECT_EQ(i.further_files, std::vector<std::string>{"b.c"}) << f.flag;
    }
}

TEST(HandOffBlock, PackKeepsWithinLimitAndCountsWhatWasPacked) {
    std::string block;
    EXPECT_EQ(PackHandOffBlock({"a.c", "-l", "12"}, &block), 4u);
    EXPECT_EQ(block, std::string("a.c\0-l\0" "12\0", 10));

    std::vector<std::string> big = {std::string(4000, 'x'), std::string(95, 'y'), "z"};
    EXPECT_EQ(PackHandOffBlock(big, &block), 2u);  // 4001 + 96 = 4097 > 4096: stops at y
    EXPECT_EQ(block.size(), 4001u);
    std::vector<std::string> words;
    // What was packed comes back whole.
    ASSERT_TRUE(SplitHandOffBlock(2, block.data(), block.size(), &words));
    EXPECT_EQ(words, std::vector<std::string>{std::string(4000, 'x')});
}

TEST(HandOffBlock, HostileBlocksAreRefused) {
    std::vector<std::string> words;
    std::string mb(1 << 20, 'a');
    std::string ok("a\0b\0", 4);
    struct { unsigned long long count; const char* data; size_t size; bool accepted; } cases[] = {
        {3, ok.data(), 4, true},
        {0, ok.data(), 4, false},            // no program name even
        {4, ok.data(), 4, false},            // more words than the block holds
        {0xFFFFFFFFull, ok.data(), 4, false},
        {3, ok.data(), 3, false},            // last terminator outside the block
        {2, "abc", 3, false},                // no terminator at all
        {2, nullptr, 0, false},              // 0 bytes, one word expected
        {1, nullptr, 0, true},               // nothing but the program
        {2, mb.data(), mb.size(), false},    // 1 MB
    };
    for (auto& c : cases) {
        bool r = SplitHandOffBlock(c.count, c.data, c.size, &words);
        EXPECT_EQ(r, c.accepted) << c.count << " " << c.size;
        if (!r) {
            EXPECT_TRUE(words.empty());
        }
    }
    EXPECT_EQ(ParseCommandLineBlock(5, ok.data(), 4), nullptr);
}

TEST(HandOffBlock, SenderMakesFilesAndFolderValuesAbsolute) {
    std::vector<std::string> w = {"file.c", "-l", "12", "-dir", "sub", "-diff", "a", "b", "-k", "Save", "-1", "c.c"};
    AbsolutizeHandOffWords(&w, [](const std::string& s) { return "C:\\base\\" + s; });
    std::vector<std::string> want = {"C:\\base\\file.c", "-l", "12", "-dir", "C:\\base\\sub", "-diff",
                                     "C:\\base\\a", "C:\\base\\b", "-k", "Save", "-1", "C:\\base\\c.c"};
    EXPECT_EQ(w, want);
}

// The receiving window of the in-process pair: keeps what arrived.
std::unique_ptr<CQWCmdLineInfo> g_received;
LRESULT CALLBACK ReceiverProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_COPYDATA) {
        auto* cds = reinterpret_cast<COPYDATASTRUCT*>(lp);
        g_received = ParseCommandLineBlock(cds->dwData, cds->lpData, cds->cbData);
        return 1;
    }
    return DefWindowProcA(h, m, wp, lp);
}

TEST(HandOff, SenderAndReceiverInOneProcess) {
    qwtest::TempDir dir;
    WNDCLASSA wc{};
    wc.lpfnWndProc = ReceiverProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QwTestHandOffReceiver";
    RegisterClassA(&wc);
    HWND wnd = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(wnd);

    char old[MAX_PATH];
    GetCurrentDirectoryA(sizeof old, old);
    SetCurrentDirectoryA(dir.path().c_str());
    ASSERT_EQ(SendCommandLineBlock(wnd, {"file.c", "-l", "12"}), 1);
    SetCurrentDirectoryA(old);
    ASSERT_TRUE(g_received);
    EXPECT_EQ(g_received->file_name, dir.file("file.c"));
    EXPECT_EQ(g_received->line, 12);

    // A window that is gone: nothing sent, and the checker says so.
    DestroyWindow(wnd);
    EXPECT_EQ(SendCommandLineBlock(wnd, {"x"}), 0);
    CInstanceChecker checker("QwTestChecker");
    ASSERT_TRUE(checker.ActivateChecker());
    EXPECT_EQ(HandOffCommandLine(&checker, {"x"}), -1);
    ASSERT_TRUE(checker.ActivateChecker());
    ASSERT_TRUE(checker.TrackFirstInstanceRunning(wnd));
    CInstanceChecker second("QwTestChecker");
    EXPECT_TRUE(second.PreviousInstanceRunning());
    EXPECT_EQ(HandOffCommandLine(&second, {"x"}), 0);
}

TEST(CmdLine, DdeOpenRequests) {
    bool handled = false;
    auto a = ParseDdeOpenRequest("[open(\"C:\\my files\\a b.c\" -l 7)]", &handled);
    ASSERT_TRUE(a);
    EXPECT_TRUE(handled);
    EXPECT_EQ(a->file_name, "C:\\my files\\a b.c");
    EXPECT_EQ(a->line, 7);
    EXPECT_EQ(a->from_dde, 1);

    auto b = ParseDdeOpenRequest("[open(\"no closing quote", &handled);
    ASSERT_TRUE(b);
    EXPECT_FALSE(handled);
    EXPECT_EQ(ParseDdeOpenRequest("[print(\"x\")]", &handled), nullptr);
    EXPECT_EQ(ParseDdeOpenRequest(nullptr, &handled), nullptr);
    std::string huge = "[open(\"" + std::string(100000, 'x') + "\" " + std::string(5000, 'y') + ")]";
    auto c = ParseDdeOpenRequest(huge.c_str(), &handled);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->file_name.size(), 100000u);
}

// What carrying out did, for the action table.
struct Log {
    std::vector<std::string> events;
} g_log;
std::vector<std::string> g_existing;

QwCmdLineActions RecordingActions() {
    QwCmdLineActions a;
    a.file_exists = [](const char* p) {
        for (auto& e : g_existing)
            if (std::string(p).find(e) != std::string::npos) return true;
        return false;
    };
    a.shell_command = [](const CQWCmdLineInfo& i) {
        g_log.events.push_back("shell " + i.file_name.substr(i.file_name.rfind('\\') + 1));
        return i.shell_command == fw::CommandLineInfo::kFilePrint ? 0 : 1;
    };
    a.open_file = [](const char* p) { g_log.events.push_back(std::string("open ") + (strrchr(p, '\\') + 1)); return true; };
    a.file_not_found = [](const char* p) { g_log.events.push_back(std::string("missing ") + (strrchr(p, '\\') + 1)); };
    a.go_to = [](int l, int c) { g_log.events.push_back("goto " + std::to_string(l) + "," + std::to_string(c)); return true; };
    a.compare = [](const char* x, const char* y) { g_log.events.push_back(std::string("compare ") + x + " " + y); };
    a.close_main_frame = [] { g_log.events.push_back("close"); };
    return a;
}

TEST(CmdLine, CarryingOut) {
    struct {
        std::vector<std::string> words, existing;
        bool from_elsewhere;
        std::vector<std::string> want;
    } cases[] = {
        {{"a.c", "-l", "120", "-c", "5"}, {"a.c"}, false, {"shell a.c", "goto 120,5"}},
        {{"a.c", "b.c", "c.c"}, {"a.c", "c.c"}, false, {"shell a.c", "open c.c", "missing b.c"}},
        {{"a.c", "b.c"}, {}, false, {"missing a.c"}},
        {{"-p", "a.c"}, {}, false, {"missing a.c", "close"}},
        // A handed-off command line that fails never closes the running editor.
        {{"-p", "a.c"}, {}, true, {"missing a.c"}},
        {{"-diff", "x", "y"}, {}, false, {"compare x y"}},
    };
    for (auto& c : cases) {
        g_log.events.clear();
        g_existing = c.existing;
        CQWCmdLineInfo info = Parse(c.words);
        ProcessCmdLine(&info, RecordingActions(), c.from_elsewhere);
        EXPECT_EQ(g_log.events, c.want) << c.words[0] << " " << c.words.size();
    }
}

} // namespace
