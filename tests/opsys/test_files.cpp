// File services: comparing times, unique names, creating, opening, moving
// and deleting files, folders and the current directory, and bad input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "opsys/files.h"
#include "opsys/msgout.h"
#include "tests/support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>

#include "opsys/msgbox_backend.h"
#else
#include <sys/time.h>
#endif

namespace {

// The texts of the message boxes shown while one of these is alive.
std::vector<std::string>* g_boxes = nullptr;

class BoxRecorder {
public:
    BoxRecorder() {
        g_boxes = &texts;
#ifdef _WIN32
        old_ = QwSetMessageBoxBackend([](HWND, const char* text, const char*, UINT) {
            g_boxes->push_back(text ? text : "");
            return 1;
        });
#else
        old_ = QwSetHostMessageBox([](const char* text, const char*, unsigned) {
            g_boxes->push_back(text ? text : "");
            return 1;
        });
#endif
    }
    ~BoxRecorder() {
#ifdef _WIN32
        QwSetMessageBoxBackend(old_);
#else
        QwSetHostMessageBox(old_);
#endif
        g_boxes = nullptr;
    }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;
    std::vector<std::string> texts;

private:
#ifdef _WIN32
    QwMessageBoxBackend old_;
#else
    QwHostMessageBoxFn old_;
#endif
};

// Sets a file's last-write time to `seconds` after a fixed day.
void SetWriteTime(const std::string& path, long seconds) {
#ifdef _WIN32
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ULONGLONG t = 132000000000000000ull + static_cast<ULONGLONG>(seconds) * 10000000ull;
    FILETIME ft{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
    CloseHandle(h);
#else
    struct timeval tv[2] = {{1600000000 + seconds, 0}, {1600000000 + seconds, 0}};
    ASSERT_EQ(utimes(path.c_str(), tv), 0);
#endif
}

} // namespace

TEST(Files, CompareTimes) {
    qwtest::TempDir tmp;
    std::string a = tmp.file("a.txt"), b = tmp.file("b.txt"), c = tmp.file("c.txt");
    for (const std::string& p : {a, b, c}) qwtest::WriteFileBytes(p, "x");
    SetWriteTime(a, 100);
    SetWriteTime(b, 200);
    SetWriteTime(c, 100);
    std::string missing = tmp.file("missing.txt");
    struct C {
        const std::string& x;
        const std::string& y;
        int expect;
    };
    const C cases[] = {{b, a, 1}, {a, b, -1}, {a, c, 0}, {missing, a, -2}, {a, missing, -3}, {missing, missing, -2}};
    for (const C& k : cases) EXPECT_EQ(FileCompareTimes(k.x.c_str(), k.y.c_str()), k.expect) << k.x << " " << k.y;
    EXPECT_EQ(FileCompareTimes(nullptr, a.c_str()), -2);
    EXPECT_EQ(FileCompareTimes(tmp.path().c_str(), a.c_str()), -2);   // a folder is no file
}

TEST(Files, UniqueNameCreatesANewFile) {
    qwtest::TempDir tmp;
    char path[QW_PATH_BUF];
    ASSERT_TRUE(PathJoin(path, tmp.path().c_str(), "QW32_Swap.*"));
    unsigned err = 99;
    ASSERT_EQ(FileUniqueName(path, 0, &err), 1);
    EXPECT_EQ(err, 0u);
    const char* ext = PathExtension(path);
    ASSERT_NE(ext, nullptr);
    unsigned long v = strtoul(ext, nullptr, 16);
    EXPECT_LE(v, 254u);
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(qwtest::ReadFileBytes(path), "");
    EXPECT_EQ(std::string(PathFileName(path)).rfind("QW32_Swap.", 0), 0u);

    // a second name is a different file
    char second[QW_PATH_BUF];
    ASSERT_TRUE(PathJoin(second, tmp.path().c_str(), "QW32_Swap.*"));
    ASSERT_EQ(FileUniqueName(second, 0, nullptr), 1);
    EXPECT_STRNE(second, path);
}

TEST(Files, UniqueNameNeverTakesAnExistingFile) {
    qwtest::TempDir tmp;
    for (unsigned i = 0; i < 255; ++i) {
        char name[32];
        snprintf(name, sizeof name, "Swap.%x", i);
        qwtest::WriteFileBytes(tmp.file(name), "keep");
    }
    char path[QW_PATH_BUF];
    ASSERT_TRUE(PathJoin(path, tmp.path().c_str(), "Swap.*"));
    std::string before = path;
    EXPECT_EQ(FileUniqueName(path, 0, nullptr), 0);
    EXPECT_EQ(before, path);   // the pattern is given back
    EXPECT_EQ(qwtest::ReadFileBytes(tmp.file("Swap.0")), "keep");
    EXPECT_EQ(qwtest::ReadFileBytes(tmp.file("Swap.fe")), "keep");
    EXPECT_EQ(FileUniqueExtension(path, 50), 0);
}

TEST(Files, UniqueNameInAMissingFolderFails) {
    qwtest::TempDir tmp;
    char path[QW_PATH_BUF];
    ASSERT_TRUE(PathJoin(path, tmp.path().c_str(), "no/such/folder/x.*"));
    unsigned err = 0;
    EXPECT_EQ(FileUniqueName(path, 0, &err), 0);
    EXPECT_NE(err, 0u);
    std::string longpath = tmp.path() + std::string(300, 'x') + ".*";
    char buf[512];
    strcpy(buf, longpath.c_str());
    EXPECT_EQ(FileUniqueName(buf, 0, &err), 0);
    EXPECT_EQ(err, static_cast<unsigned>(QW_ERR_FILENAME_TOO_LONG));
}

TEST(Files, CreateOpenMoveDelete) {
    qwtest::TempDir tmp;
    std::string a = tmp.file("a.txt"), b = tmp.file("b.txt");
    qwtest::WriteFileBytes(a, "original");
    unsigned err = 0;
    {
        // An existing file is never truncated; the failure is reported in a
        // box unless the caller asks for silence.
        BoxRecorder boxes;
        EXPECT_EQ(FileCreateExclusive(a.c_str(), QW_OPEN_NO_ERROR_BOX, &err), 0);
        EXPECT_TRUE(boxes.texts.empty());
        EXPECT_EQ(FileCreateExclusive(a.c_str(), 0, &err), 0);
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_NE(boxes.texts[0].find(a), std::string::npos) << boxes.texts[0];
    }
    EXPECT_EQ(qwtest::ReadFileBytes(a), "original");

    QwFile* f = FileOpen(a.c_str(), QW_OPEN_READ | QW_OPEN_SHARE_DENY_NONE, &err);
    ASSERT_NE(f, nullptr);
    char buf[16] = {};
    EXPECT_EQ(FileRead(f, buf, sizeof buf), 8);
    EXPECT_STREQ(buf, "original");
    FileClose(f);

    f = FileOpen(a.c_str(), QW_OPEN_WRITE | QW_OPEN_CREATE | QW_OPEN_NO_TRUNCATE | QW_OPEN_AT_END, &err);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(FileWrite(f, "+", 1), 1);
    FileClose(f);
    EXPECT_EQ(qwtest::ReadFileBytes(a), "original+");
    EXPECT_EQ(FileOpen(a.c_str(), QW_OPEN_WRITE | QW_OPEN_CREATE | QW_OPEN_NEW_ONLY, &err), nullptr);

    qwtest::WriteFileBytes(b, "other");
    EXPECT_FALSE(FileMove(a.c_str(), b.c_str()));   // never replaces
    EXPECT_EQ(qwtest::ReadFileBytes(b), "other");
    EXPECT_TRUE(FileDelete(b.c_str()));
    EXPECT_TRUE(FileMove(a.c_str(), b.c_str()));
    EXPECT_FALSE(FileExists(a.c_str()));
    EXPECT_EQ(qwtest::ReadFileBytes(b), "original+");
    EXPECT_FALSE(FileDelete(a.c_str()));
    EXPECT_EQ(FileIsReadOnly(a.c_str()), -1);
    EXPECT_EQ(FileIsReadOnly(b.c_str()), 0);
}

TEST(Files, BadInput) {
    qwtest::TempDir tmp;
    std::string longpath = tmp.path() + std::string(300, 'x');
    unsigned err = 0;
    EXPECT_EQ(FileOpen(longpath.c_str(), QW_OPEN_WRITE | QW_OPEN_CREATE, &err), nullptr);
    EXPECT_EQ(err, static_cast<unsigned>(QW_ERR_FILENAME_TOO_LONG));
    EXPECT_EQ(FileOpen(nullptr, 0, &err), nullptr);
    EXPECT_EQ(FileOpen("", 0, &err), nullptr);
    EXPECT_FALSE(FileExists(nullptr));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(longpath.c_str()));
    EXPECT_FALSE(DirExists(nullptr));
    EXPECT_FALSE(FileDelete(longpath.c_str()));
    EXPECT_FALSE(FileMove(nullptr, "x"));
    EXPECT_EQ(FileRead(nullptr, nullptr, 4), -1);
    FileClose(nullptr);
    QwFileInfo info{};
    char found[QW_PATH_BUF] = "stale";
    EXPECT_FALSE(FileGetInfo(tmp.file("none").c_str(), &info, found));
    EXPECT_STREQ(found, "");
    char text[32] = "stale";
    EXPECT_EQ(FileTimeText(text, sizeof text, tmp.file("none").c_str(), 0x10), 0);
    EXPECT_STREQ(text, "");
}

TEST(Files, FoldersAndCurrentDirectory) {
    qwtest::TempDir tmp;
    std::string deep = tmp.file("a") + "/b/c";
#ifdef _WIN32
    for (char& ch : deep)
        if (ch == '/') ch = '\\';
#endif
    EXPECT_FALSE(DirExists(deep.c_str()));
    EXPECT_TRUE(AppFolderCreate(deep.c_str(), 1));
    EXPECT_TRUE(DirExists(deep.c_str()));
    EXPECT_TRUE(DirExists(("\"" + deep + "\"").c_str()));
    EXPECT_FALSE(FileExists(deep.c_str()));

    char old[QW_PATH_BUF], now[QW_PATH_BUF];
    ASSERT_TRUE(CurrentDirGet(old));
    ASSERT_TRUE(CurrentDirSet(deep.c_str()));
    ASSERT_TRUE(CurrentDirGet(now));
    qwtest::WriteFileBytes(deep + "/f.txt", "x");
    EXPECT_TRUE(PathIsInCurrentDir("f.txt"));
    char full[QW_PATH_BUF];
    EXPECT_TRUE(PathFullName(full, "\"f.txt\""));
    EXPECT_TRUE(FileExists(full));
    EXPECT_STREQ(PathDisplayName(full, 1), "f.txt");
    EXPECT_STREQ(PathDisplayName(full, 0), full);
    EXPECT_TRUE(CurrentDirSet(old));
    EXPECT_FALSE(CurrentDirSet(tmp.file("missing").c_str()));
    EXPECT_FALSE(PathIsInCurrentDir(full));
    ASSERT_TRUE(CurrentDirGet(now));
    EXPECT_STREQ(now, old);
}

TEST(Files, FullNameOfAnOverLongPathFails) {
    std::string longpath = "\"" + std::string(300, 'y') + "\"";
    char out[QW_PATH_BUF];
    EXPECT_EQ(PathFullName(out, longpath.c_str()), 0);
    EXPECT_EQ(strlen(out), static_cast<size_t>(QW_PATH_MAX));
}
