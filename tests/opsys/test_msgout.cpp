// Messages: routing by flag and quiet level, boxes and their captions,
// status lines, beeps, questions, the debug log and string-table texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "opsys/msgout.h"
#include "tests/support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>

#include "opsys/msgbox_backend.h"
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

struct Box {
    std::string text;
    std::string caption;
    unsigned style;
};

// What the outlets received; one recorder per test.
struct Recorder {
    std::vector<Box> boxes;
    std::vector<std::string> status;
    std::vector<unsigned> status_style;
    int status_resets = 0;
    std::vector<std::string> tips;
    std::vector<unsigned> tip_modes;
    std::vector<std::string> output;   // "kind:text" or "kind:<clear>"
    int beeps = 0;
    int close_state = 0;
    bool has_main_window = true;
    int answer = 1;
    // called from inside the box, as a message box's own message loop could
    void (*inside_box)() = nullptr;
};

Recorder* g_rec = nullptr;

int record_box(const char* text, const char* caption, unsigned style) {
    g_rec->boxes.push_back({text ? text : "", caption ? caption : "", style});
    if (g_rec->inside_box) {
        auto fn = g_rec->inside_box;
        g_rec->inside_box = nullptr;
        fn();
    }
    return g_rec->answer;
}

#ifdef _WIN32
int record_box_win(HWND, const char* text, const char* caption, UINT style) { return record_box(text, caption, style); }
#endif

void* main_window() { return g_rec->has_main_window ? reinterpret_cast<void*>(0x1234) : nullptr; }
int close_state() { return g_rec->close_state; }
void status_set(const char* text, int pane, unsigned style, unsigned) {
    EXPECT_EQ(pane, 43537);
    g_rec->status.push_back(text);
    g_rec->status_style.push_back(style);
}
void status_reset() { ++g_rec->status_resets; }
void tip(const char* text, unsigned mode, const QwPoint*) {
    g_rec->tips.push_back(text);
    g_rec->tip_modes.push_back(mode);
}
void output(const char* text, int kind, int, int) {
    g_rec->output.push_back(std::to_string(kind) + ":" + (text ? text : "<clear>"));
}
void version(char* out, int size) { snprintf(out, static_cast<size_t>(size), "QW 4.0"); }
int beep_on() {
    ++g_rec->beeps;
    return 0;   // counted, but silent
}

unsigned long this_thread_id() {
#ifdef _WIN32
    return GetCurrentThreadId();
#else
    return static_cast<unsigned long>(syscall(SYS_gettid));
#endif
}

class MsgOutTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_rec = &rec;
        QwShellOutlets o{};
        o.main_window = main_window;
        o.frame_close_state = close_state;
        o.app_thread_id = this_thread_id();
        o.status_set_text = status_set;
        o.status_reset = status_reset;
        o.tip_show = tip;
        o.output_print = output;
        o.app_version = version;
        o.beep_enabled = beep_on;
        QwSetShellOutlets(&o);
#ifdef _WIN32
        old_box = QwSetMessageBoxBackend(record_box_win);
#else
        old_box = QwSetHostMessageBox(record_box);
#endif
        DebugLogSetPath(log_path().c_str());
        MsgQuietLevel(0);
    }
    void TearDown() override {
        MsgQuietLevel(0);
        DebugLogSetPath(nullptr);
        QwSetShellOutlets(nullptr);
#ifdef _WIN32
        QwSetMessageBoxBackend(old_box);
#else
        QwSetHostMessageBox(old_box);
#endif
        g_rec = nullptr;
    }
    std::string log_path() const { return tmp.file("qw_dbg.log"); }

    qwtest::TempDir tmp;
    Recorder rec;
#ifdef _WIN32
    QwMessageBoxBackend old_box = nullptr;
#else
    QwHostMessageBoxFn old_box = nullptr;
#endif
};


} // namespace

TEST_F(MsgOutTest, RoutingByFlagAndQuietLevel) {
    struct C {
        unsigned flags;
        int quiet;
        int boxes, status, tips, outputs;
        bool logged;
    };
    const C cases[] = {
        {0x4, 0, 0, 1, 0, 0, false},
        {0x8, 0, 0, 1, 0, 0, false},
        {0x4, 1, 0, 0, 0, 0, false},
        {0x2, 0, 0, 0, 1, 0, false},
        {0x2, 1, 0, 0, 0, 0, false},
        {0x10, 1, 1, 0, 0, 0, false},
        {0x10, 2, 0, 0, 0, 0, false},
        {0x10, 3, 1, 0, 0, 0, false},   // at exactly 3 boxes show again
        {0x14, 3, 1, 0, 0, 0, false},   // but the status bar stays silent
        {0x10, 4, 0, 0, 0, 0, false},
        {0x20, 4, 0, 0, 0, 0, true},    // the log is never silenced
        {0x36, 0, 1, 1, 1, 0, true},
        {0x40 | (6u << 16), 2, 0, 0, 0, 1, false},
    };
    for (const C& c : cases) {
        rec = Recorder{};
        qwtest::WriteFileBytes(log_path(), "");
        MsgQuietLevel(c.quiet);
        MsgOut(c.flags, "text %d", 7);
        SCOPED_TRACE(testing::Message() << "flags " << std::hex << c.flags << " quiet " << c.quiet);
        EXPECT_EQ(static_cast<int>(rec.boxes.size()), c.boxes);
        EXPECT_EQ(static_cast<int>(rec.status.size()), c.status);
        EXPECT_EQ(static_cast<int>(rec.tips.size()), c.tips);
        EXPECT_EQ(static_cast<int>(rec.output.size()), c.outputs);
        EXPECT_EQ(qwtest::ReadFileBytes(log_path()), c.logged ? "text 7\r\n" : "");
        if (!rec.boxes.empty()) {
            EXPECT_EQ(rec.boxes[0].text, "text 7");
        }
        if (!rec.status.empty()) {
            EXPECT_EQ(rec.status[0], "text 7");
        }
    }
}

TEST_F(MsgOutTest, WithoutAMainWindowOnlyBoxesAndTheLogAreReached) {
    rec.has_main_window = false;
    EXPECT_EQ(MsgOut(0x4, "status"), 0);
    EXPECT_TRUE(rec.status.empty());
    EXPECT_EQ(MsgOut(0x30, "both"), 1);
    EXPECT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(qwtest::ReadFileBytes(log_path()), "both\r\n");

    rec.has_main_window = true;
    rec.close_state = 2;   // the frame has closed
    EXPECT_EQ(MsgOut(0x4, "late"), 0);
    EXPECT_TRUE(rec.status.empty());
    rec.close_state = 1;   // closing: the main thread may still write
    EXPECT_EQ(MsgOut(0x4, "closing"), 1);
    EXPECT_EQ(rec.status.size(), 1u);
}

TEST_F(MsgOutTest, StatusStyleOutputLinesAndEmptyTexts) {
    MsgOut(0x2008, "a%h");
    ASSERT_EQ(rec.status_style.size(), 1u);
    EXPECT_EQ(rec.status_style[0], 0x6000u | 0x10u | 0x4000u | 0x5u);

    MsgOut(0x40 | (5u << 16), "one\r\ntwo\rthree");
    EXPECT_EQ(rec.output, (std::vector<std::string>{"5:one", "5:two", "5:three"}));
    rec.output.clear();
    EXPECT_EQ(MsgOut(0x40 | (5u << 16), nullptr), 1);
    EXPECT_EQ(rec.output, (std::vector<std::string>{"5:<clear>"}));
    EXPECT_EQ(MsgOut(0x4, ""), 1);
    EXPECT_EQ(rec.status_resets, 1);

    MsgOut(0x202, "at caret");
    ASSERT_EQ(rec.tip_modes.size(), 1u);
    EXPECT_EQ(rec.tip_modes[0], 0x200u);
}

TEST_F(MsgOutTest, BoxCaptionsAndStyles) {
    struct C {
        unsigned flags;
        const char* caption;   // passed with 0x800
        const char* expect_caption;
        unsigned expect_style;
    };
#ifdef _WIN32
    const char* short_name = "QW";
#else
    const char* short_name = "Nask Error";   // no string table in the host build
#endif
    const C cases[] = {
        {0x10, nullptr, "Nask Error", 0x30},
        {0x810, "Mine", "Mine", 0x30},
        {0x410, nullptr, short_name, 0x40},
        {0x300010, nullptr, short_name, 0x30},
        {0x1010, nullptr, "QW 4.0", 0},
        {0x4010, nullptr, "Serious QW error. QW 4.0", 0x10},
        {0x240810, "Ask", "Ask", 0x24},
    };
    for (const C& c : cases) {
        rec.boxes.clear();
        if (c.caption) MsgOut(c.flags, c.caption, "body %s", "x");
        else MsgOut(c.flags, "body %s", "x");
        ASSERT_EQ(rec.boxes.size(), 1u) << std::hex << c.flags;
        EXPECT_EQ(rec.boxes[0].caption, c.expect_caption) << std::hex << c.flags;
        EXPECT_EQ(rec.boxes[0].style, c.expect_style | QW_MB_SETFOREGROUND) << std::hex << c.flags;
        EXPECT_EQ(rec.boxes[0].text.rfind("body x", 0), 0u);
    }
}

TEST_F(MsgOutTest, ASecondBoxGoesToTheStatusBar) {
    static int inner_result;
    rec.inside_box = [] { inner_result = MsgOut(0x10, "inner %d", 2); };
    inner_result = 0;
    EXPECT_EQ(MsgOut(0x10, "outer"), 1);
    EXPECT_EQ(inner_result, -1);
    ASSERT_EQ(rec.boxes.size(), 1u);
    ASSERT_EQ(rec.status.size(), 1u);
    EXPECT_EQ(rec.status[0], "Recursive Error: inner 2");   // "%e" prints nothing
    EXPECT_EQ(rec.beeps, 1);                                  // the %b of the text
    EXPECT_EQ(QwMessageBoxDepth(), 0);

    // a box allowed while another shows
    rec = Recorder{};
    rec.inside_box = [] { inner_result = MsgOut(0x2010, "nested"); };
    MsgOut(0x10, "outer");
    EXPECT_EQ(inner_result, 1);
    EXPECT_EQ(rec.boxes.size(), 2u);
    EXPECT_TRUE(rec.status.empty());
}

TEST_F(MsgOutTest, BoxesFromManyThreadsKeepTheCounterRight) {
    rec.has_main_window = false;
    std::vector<std::thread> threads;
    std::atomic<int> refused{0};
    // record_box is not thread-safe; use a back end that only counts
#ifdef _WIN32
    auto prev = QwSetMessageBoxBackend([](HWND, const char*, const char*, UINT) { return 1; });
#else
    auto prev = QwSetHostMessageBox([](const char*, const char*, unsigned) { return 1; });
#endif
    QwSetShellOutlets(nullptr);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i)
                if (QwMessageBox(nullptr, "x", 0, 0) == -1) ++refused;
        });
    for (auto& t : threads) t.join();
#ifdef _WIN32
    QwSetMessageBoxBackend(prev);
#else
    QwSetHostMessageBox(prev);
#endif
    EXPECT_EQ(QwMessageBoxDepth(), 0);
}

TEST_F(MsgOutTest, BeepsFollowTheFormatFlags) {
    MsgOut(0x4, "warn%a");
    EXPECT_EQ(rec.beeps, 1);
    MsgOut(0x10, "boxed%b");   // the box beeps, once
    EXPECT_EQ(rec.beeps, 2);
    MsgOut(0x4, "quiet");
    EXPECT_EQ(rec.beeps, 2);
}

TEST_F(MsgOutTest, AskAndWarn) {
    rec.answer = QW_IDYES;
    EXPECT_EQ(MsgAsk(1, "Title", "Delete %s?", "f.c"), 1);
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].text, "Delete f.c?");
    EXPECT_EQ(rec.boxes[0].caption, "Title");
    EXPECT_EQ(rec.boxes[0].style, 0x24u | QW_MB_SETFOREGROUND);
    rec.answer = QW_IDNO;
    EXPECT_EQ(MsgAsk(0, nullptr, "again?"), 0);
    EXPECT_EQ(rec.boxes[1].style, 0x124u | QW_MB_SETFOREGROUND);

    MsgQuietLevel(2);
    rec.answer = QW_IDYES;
    EXPECT_EQ(MsgWarn("hidden"), 1);
    EXPECT_EQ(rec.boxes.size(), 2u);
    EXPECT_EQ(MsgQuietLevel(-1), 2);
    EXPECT_EQ(MsgQuietLevel(0), 2);
    EXPECT_EQ(MsgQuietLevel(-1), 0);
}

TEST_F(MsgOutTest, MissingStringIsReported) {
    char out[16] = "stale";
    EXPECT_EQ(LoadAppString(31999, out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].text, "String: 31999 not found");
    EXPECT_EQ(MsgOutId(0x4, 31999), 1);   // no text: the status bar is reset
    EXPECT_EQ(rec.status_resets, 1);
    EXPECT_EQ(MsgAskId(1, -1, 31999), 0);
    EXPECT_EQ(LoadAppString(1, nullptr, 10), 0);
}

TEST_F(MsgOutTest, DebugLogAppendsLines) {
    DebugLog("first");
    DebugLogF("second %d %s", 2, "x");
    DebugLog(nullptr);
    EXPECT_EQ(qwtest::ReadFileBytes(log_path()), "first\r\nsecond 2 x\r\n\r\n");
    DebugLogSetPath(tmp.file("no\\such\\folder\\log").c_str());
    DebugLog("lost quietly");
}

#ifdef _WIN32
TEST_F(MsgOutTest, StringTableTexts) {
    char out[1100];
    ASSERT_EQ(LoadAppString(304, out, sizeof out), 23);
    EXPECT_STREQ(out, "Recursive Error: %s%b%e");
    ASSERT_GT(LoadAppString(1400, out, sizeof out), 0);
    EXPECT_EQ(std::string(out).rfind("%j", 0), 0u);
    EXPECT_EQ(LoadAppString(304, out, 6), 5);   // cut to the array
    EXPECT_STREQ(out, "Recur");

    rec.boxes.clear();
    MsgOut(0x4010, "KV: In f() failed: %d", 3);
    ASSERT_EQ(rec.boxes.size(), 1u);
    const std::string& text = rec.boxes[0].text;
    EXPECT_EQ(text.rfind("KV: In f() failed: 3\n\nThis is a serious error.", 0), 0u) << text;

    char fmt[64];
    EXPECT_EQ(str_printf_id(fmt, sizeof fmt, 304, "zz"), 19);
    EXPECT_STREQ(fmt, "Recursive Error: zz");
    MsgOutId(0x4, 304, "by id");
    EXPECT_EQ(rec.status.back(), "Recursive Error: by id");
}
#endif
