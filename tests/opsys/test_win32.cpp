// The Windows-only services, under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "opsys/files.h"
#include "opsys/msgout.h"
#include "opsys/strlib.h"
#include "opsys/systime.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"

namespace {

std::string ExeFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    *strrchr(path, '\\') = '\0';
    return path;
}

std::vector<std::string> FindAll(const std::string& pattern, unsigned mask, unsigned flags = 0) {
    std::vector<std::string> names;
    for (QwFileFinder* f = FileFind(flags, nullptr, nullptr, pattern.c_str(), mask); f;
         f = FileFind(flags, nullptr, f, nullptr, mask)) {
        char name[QW_PATH_BUF];
        names.push_back(FileFindName(f, name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(Win32Files, FinderSkipsWhatTheMaskDoesNotAllow) {
    qwtest::TempDir tmp;
    qwtest::WriteFileBytes(tmp.file("a.txt"), "a");
    qwtest::WriteFileBytes(tmp.file("b.txt"), "bb");
    qwtest::WriteFileBytes(tmp.file("h.txt"), "h");
    ASSERT_TRUE(SetFileAttributesA(tmp.file("h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(CreateDirectoryA(tmp.file("d.txt").c_str(), nullptr));
    std::string pattern = tmp.file("*.txt");

    EXPECT_EQ(FindAll(pattern, 0), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(FindAll(pattern, QW_ATTR_HIDDEN | QW_ATTR_DIRECTORY),
              (std::vector<std::string>{"a.txt", "b.txt", "d.txt", "h.txt"}));
    EXPECT_EQ(FindAll(pattern, 0, QW_FIND_ONE_SHOT).size(), 1u);
    EXPECT_TRUE(FindAll(tmp.file("*.none"), 0).empty());

    QwFileInfo info{};
    char path[QW_PATH_BUF];
    ASSERT_TRUE(FileGetInfo(tmp.file("b.txt").c_str(), &info, path));
    EXPECT_EQ(info.size, 2u);
    EXPECT_TRUE(PathCompareFileNames(path, "b.txt"));
    EXPECT_TRUE(PathSameDir(path, tmp.file("b.txt").c_str()));
    EXPECT_FALSE(FileExists(tmp.file("d.txt").c_str()));   // a folder is no file
    EXPECT_TRUE(FileExists(tmp.file("h.txt").c_str()));    // hidden files are files

    char text[64];
    ASSERT_GT(FileTimeText(text, sizeof text, tmp.file("b.txt").c_str(), 0x10), 0);
    EXPECT_EQ(std::stoull(text), info.write_time);
    ASSERT_GT(FileTimeText(text, sizeof text, tmp.file("b.txt").c_str(), 0x20), 0);
    EXPECT_EQ(std::stoull(text, nullptr, 16), info.write_time);
    ASSERT_GT(FileTimeText(text, sizeof text, tmp.file("b.txt").c_str(), 0x3), 0);
    EXPECT_NE(strstr(text, ", "), nullptr) << text;
}

TEST(Win32Files, ShellCopyMoveDelete) {
    qwtest::TempDir tmp;
    std::string a = tmp.file("a.c"), b = tmp.file("b.c");
    qwtest::WriteFileBytes(a, "alpha");
    qwtest::WriteFileBytes(b, "beta");
    std::string out = tmp.file("out");
    ASSERT_TRUE(CreateDirectoryA(out.c_str(), nullptr));

    ShellFileOperation copy;
    copy.Setup(ShellFileOperation::Copy, nullptr, 1, 0, 1, 1, 1, 0, 0);
    copy.AddSource(a.c_str());
    copy.AddSource(b.c_str());
    copy.AddDestination((out + "\\a2.c").c_str());
    copy.AddDestination((out + "\\b2.c").c_str());
    int started = 0, result = -1, aborted = -1;
    ASSERT_TRUE(copy.Execute(&started, &result, &aborted));
    EXPECT_EQ(started, 1);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(aborted, 0);
    EXPECT_EQ(qwtest::ReadFileBytes(out + "\\a2.c"), "alpha");
    EXPECT_EQ(qwtest::ReadFileBytes(out + "\\b2.c"), "beta");

    ShellFileOperation move;
    move.Setup(ShellFileOperation::Move, nullptr, 1, 0, 1, 1, 1, 0, 0);
    move.AddSource(a.c_str());
    move.AddDestination(out.c_str());
    ASSERT_TRUE(move.Execute(nullptr, nullptr, nullptr));
    EXPECT_FALSE(FileExists(a.c_str()));
    EXPECT_EQ(qwtest::ReadFileBytes(out + "\\a.c"), "alpha");

    ShellFileOperation del;
    del.Setup(ShellFileOperation::Delete, nullptr, 1, 0, 1, 1, 1, 0, 0);
    del.AddSource((out + "\\a2.c").c_str());
    ASSERT_TRUE(del.Execute(nullptr, nullptr, nullptr));
    EXPECT_FALSE(FileExists((out + "\\a2.c").c_str()));
    EXPECT_TRUE(FileExists((out + "\\b2.c").c_str()));

    // ShellCopyFiles and the per-file copy with a new extension
    ASSERT_TRUE(ShellCopyFiles(b.c_str(), tmp.file("b3.c").c_str(), 0));
    EXPECT_EQ(qwtest::ReadFileBytes(tmp.file("b3.c")), "beta");
    std::string baks = tmp.file("baks");
    ASSERT_TRUE(CreateDirectoryA(baks.c_str(), nullptr));
    ASSERT_TRUE(ShellCopyFilesEx(baks.c_str(), "bak", tmp.file("*.c").c_str(), 0));
    EXPECT_EQ(qwtest::ReadFileBytes(baks + "\\b.bak"), "beta");
    EXPECT_EQ(qwtest::ReadFileBytes(baks + "\\b3.bak"), "beta");
    EXPECT_FALSE(FileExists((baks + "\\a.bak").c_str()));   // moved away before
}

TEST(Win32Files, ShellOperationRefusesWhatItCannotDoRight) {
    qwtest::TempDir tmp;
    std::string a = tmp.file("a.c");
    qwtest::WriteFileBytes(a, "alpha");
    std::string too_long = tmp.path() + std::string(280, 'x');
    struct C {
        int op;
        int sources;
        int dests;
        bool long_path;
    };
    const C cases[] = {
        {0, 1, 1, false},                               // not set up
        {ShellFileOperation::Copy, 0, 1, false},        // no source
        {ShellFileOperation::Copy, 1, 0, false},        // no destination
        {ShellFileOperation::Copy, 2, 3, false},        // destinations do not pair with sources
        {ShellFileOperation::Delete, 1, 0, true},       // a cut name would delete another file
        {5, 1, 1, false},
    };
    for (const C& c : cases) {
        ShellFileOperation op;
        if (c.op) op.Setup(c.op, nullptr, 1, 0, 1, 1, 1, 0, 0);
        for (int i = 0; i < c.sources; ++i) op.AddSource(c.long_path ? too_long.c_str() : a.c_str());
        for (int i = 0; i < c.dests; ++i) op.AddDestination(tmp.file("d" + std::to_string(i)).c_str());
        int started = -1;
        EXPECT_EQ(op.Execute(&started, nullptr, nullptr), 0) << c.op << " " << c.sources << " " << c.dests;
        EXPECT_EQ(started, 0);
    }
    EXPECT_EQ(qwtest::ReadFileBytes(a), "alpha");
    ShellFileOperation reused;
    reused.Setup(ShellFileOperation::Copy, nullptr, 1, 0, 1, 1, 1, 0, 0);
    reused.AddSource(a.c_str());
    reused.Reset();
    EXPECT_EQ(reused.Execute(nullptr, nullptr, nullptr), 0);
}

TEST(Win32Files, NamesDrivesAndDevices) {
    qwtest::TempDir tmp;
    qwtest::WriteFileBytes(tmp.file("MixedCase.TXT"), "x");
    char out[QW_PATH_BUF];
    ASSERT_EQ(PathFullNameTrueCase(out, tmp.file("mixedcase.txt").c_str()), 1);
    EXPECT_STREQ(PathFileName(out), "MixedCase.TXT");

    char shortname[QW_PATH_BUF], longname[QW_PATH_BUF];
    ASSERT_TRUE(PathShortName(shortname, tmp.file("MixedCase.TXT").c_str()));
    ASSERT_GT(PathLongName(shortname, longname, sizeof longname), 0u);
    EXPECT_TRUE(StrEqualNoCase(longname, tmp.file("MixedCase.TXT").c_str())) << longname;
    EXPECT_EQ(PathLongName(tmp.file("missing.txt").c_str(), longname, sizeof longname), 0u);

    unsigned type = 0;
    EXPECT_EQ(DriveIsReady("C:\\", &type), 1);
    EXPECT_EQ(type, static_cast<unsigned>(DRIVE_FIXED));
    EXPECT_EQ(DriveIsReady("rel\\x", nullptr), -1);
    EXPECT_EQ(DriveIsReady("\\\\srv\\sh", nullptr), -1);
    EXPECT_TRUE(DirExists("\"C:\\\""));

    EXPECT_NE(FileIsDevice("NUL"), 0);
    EXPECT_EQ(FileIsDevice(tmp.file("MixedCase.TXT").c_str()), 0);
    EXPECT_EQ(FileIsDevice(tmp.file("missing").c_str()), 0);

    int txt = FileGetIcon("a.txt");
    EXPECT_GE(txt, 0);
    EXPECT_EQ(FileGetIcon("C:\\other\\B.TXT"), txt);   // one entry per extension
    EXPECT_EQ(FileGetIcon(nullptr), -1);
    EXPECT_GE(WindowsDirIcon(0), 0);
}

TEST(Win32Version, ReadFromAFileThatIsNotLoaded) {
    CModuleVersion v;
    EXPECT_EQ(v.GetValue("FileVersion"), "");   // nothing loaded yet
    EXPECT_EQ(v.FileVersionText(), "");
    std::string dll = ExeFolder() + "\\" + QW_VERSION_DLL;
    ASSERT_EQ(GetModuleHandleA(QW_VERSION_DLL), nullptr);
    ASSERT_TRUE(v.GetFileVersionInfo(dll.c_str())) << dll;
    EXPECT_EQ(v.FileVersionText(), "1.0.0.3");
    EXPECT_EQ(v.GetValue("FileVersion").rfind("1.0.0.3", 0), 0u) << v.GetValue("FileVersion");
    EXPECT_EQ(v.GetValue("NoSuchKey"), "");
    EXPECT_EQ(GetModuleHandleA(QW_VERSION_DLL), nullptr);   // still not loaded

    CModuleVersion k;
    EXPECT_TRUE(k.GetFileVersionInfo("kernel32.dll"));   // a loaded module
    CModuleVersion none;
    EXPECT_FALSE(none.GetFileVersionInfo("C:\\no\\such.dll"));
    EXPECT_EQ(none.FileVersionText(), "");

    DWORD record[5];
    EXPECT_FALSE(CModuleVersion::DllGetVersion("no_such_module.dll", record, sizeof record));
    EXPECT_FALSE(CModuleVersion::DllGetVersion(dll.c_str(), record, sizeof record));   // no export
}

TEST(Win32System, VersionFlagsAndKeys) {
    unsigned major = 0, minor = 0;
    int nt = 0;
    OSVersionGet(&major, &minor, &nt);
    EXPECT_TRUE(nt);
    EXPECT_GE(major, 5u);
    EXPECT_EQ(OSVersionFlags(), 0x20u);
    EXPECT_TRUE(OSIsNTFamily());
    EXPECT_TRUE(OSHasFeature());

    char buf[64];
    EXPECT_GT(DateFormatLocale(buf, sizeof buf, 1), 0);
    EXPECT_GT(GetTimeText(buf, sizeof buf, 0), 0);
    EXPECT_EQ(DateFormatLocale(buf, 2, 0), 0);   // does not fit: empty, no overrun
    EXPECT_STREQ(buf, "");

    if (CharBaseKeyChar('1', 0) != '1') GTEST_SKIP() << "no keyboard layout";
    EXPECT_EQ(CharBaseKeyChar('!', 0x2), '1');
    EXPECT_EQ(CharBaseKeyChar('a', 0), 'a');
}

namespace {

struct WindowLog {
    std::vector<std::pair<WPARAM, LPARAM>> dir_changes;
    std::string status_text;
    int status_pane = 0;
    unsigned status_style = 0;
    bool got_status = false;
};
WindowLog* g_log = nullptr;

LRESULT CALLBACK LogProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == 0x467 && g_log) {
        g_log->dir_changes.emplace_back(wp, lp);
        return 0;
    }
    if (msg == 0x464 && g_log) {
        auto* rec = reinterpret_cast<QwStatusRequest*>(wp);
        g_log->status_text = rec->text;
        g_log->status_pane = rec->pane;
        g_log->status_style = rec->style;
        g_log->got_status = true;
        QwStatusRequestFree(rec);
        return 0;
    }
    return DefWindowProcA(h, msg, wp, lp);
}

HWND g_window = nullptr;
void* window_fn() { return g_window; }

} // namespace

TEST(Win32Shell, WorkerStatusIsPostedAndDirectoryChangesAreAnnounced) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = LogProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QwOpsysTestLog";
    RegisterClassA(&wc);
    g_window = CreateWindowA("QwOpsysTestLog", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(g_window, nullptr);
    WindowLog log;
    g_log = &log;
    QwShellOutlets o{};
    o.main_window = window_fn;
    o.status_bar_window = window_fn;
    o.app_thread_id = GetCurrentThreadId();
    QwSetShellOutlets(&o);

    std::thread worker([] { MsgOut(0x2004, "from worker %d", 5); });
    worker.join();
    EXPECT_TRUE(qwtest::PumpUntil([&] { return log.got_status; }));
    EXPECT_EQ(log.status_text, "from worker 5");
    EXPECT_EQ(log.status_pane, 43537);
    EXPECT_EQ(log.status_style, 0x10u);

    qwtest::TempDir tmp;
    char old[QW_PATH_BUF];
    ASSERT_TRUE(CurrentDirGet(old));
    ASSERT_TRUE(CurrentDirSet(tmp.path().c_str()));
    EXPECT_FALSE(CurrentDirSet(tmp.file("missing").c_str()));
    ASSERT_TRUE(CurrentDirSet(old));
    using P = std::pair<WPARAM, LPARAM>;
    EXPECT_EQ(log.dir_changes, (std::vector<P>{{1, 0}, {2, 1}, {1, 0}, {2, 0}, {1, 0}, {2, 1}}));

    // from another thread nothing is sent
    log.dir_changes.clear();
    std::thread other([&] { CurrentDirSet(old); });
    other.join();
    EXPECT_TRUE(log.dir_changes.empty());

    QwSetShellOutlets(nullptr);
    g_log = nullptr;
    DestroyWindow(g_window);
    g_window = nullptr;
}
