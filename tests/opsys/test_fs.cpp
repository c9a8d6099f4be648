// The file-system seam: its fault table (locked and read-only files, a full
// disk for all files or for one, short reads), the search for a free name,
// replacing against renaming, and folder listings.
#include "opsys/fs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/fs_faults.h"
#include "tests/support/temp_dir.h"

namespace {

using qwtest::ReadFileBytes;
using qwtest::WriteFileBytes;

// Opens, and closes again at once; the error of a failed open.
bool Opens(const std::string& path, uint32_t access, int* error) {
    void* f = FsOpen(path.c_str(), access, error);
    if (f) FsClose(f);
    return f != nullptr;
}

TEST(FsFaultTable, LockedAndReadOnlyFiles) {
    qwtest::TempDir dir;
    const std::string file = dir.file("held.txt"), other = dir.file("other.txt");
    const std::string missing = dir.file("missing.txt");
    struct Case {
        const char* name;
        bool locked;
        std::string path;
        bool read, write, create, remove, rename_from, replace_onto;
        int error; // of the refused open
    } cases[] = {
        {"locked", true, file, false, false, false, false, false, false, FS_ERR_LOCKED},
        {"read-only", false, file, true, false, false, false, true, false, FS_ERR_ACCESS_DENIED},
        // No file can be made there; opening it to read fails as for any missing file.
        {"read-only place", false, missing, false, false, false, false, false, false, FS_ERR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.path == file) WriteFileBytes(file, "old");
        WriteFileBytes(other, "new");
        qwtest::ScopedFsFaults faults;
        (c.locked ? faults.state.locked : faults.state.readonly).insert(c.path);
        int error = 0;
        EXPECT_EQ(Opens(c.path, FS_READ, &error), c.read);
        if (!c.read && c.path == file) {
            EXPECT_EQ(error, c.error);
        }
        error = 0;
        EXPECT_EQ(Opens(c.path, FS_WRITE, &error), c.write);
        if (c.path == file) {
            EXPECT_EQ(error, c.error);
        }
        error = 0;
        EXPECT_EQ(Opens(c.path, FS_WRITE | FS_CREATE, &error), c.create);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(FsRemove(c.path.c_str()) != 0, c.remove);
        EXPECT_EQ(FsReplace(other.c_str(), c.path.c_str()) != 0, c.replace_onto);
        if (c.replace_onto) {
            WriteFileBytes(other, "new");
        } else if (c.path == file) {
            EXPECT_EQ(ReadFileBytes(file), "old");
        }
        const std::string moved = dir.file("moved.txt");
        bool renamed = c.path == file && FsRename(file.c_str(), moved.c_str());
        EXPECT_EQ(renamed, c.rename_from);
        if (renamed) std::filesystem::rename(moved, file);
    }
    // Without the table the same calls reach the disk.
    EXPECT_TRUE(Opens(file, FS_WRITE, nullptr));
    EXPECT_TRUE(FsRemove(file.c_str()));
}

TEST(FsFaultTable, FullDiskAndShortReads) {
    qwtest::TempDir dir;
    const std::string a = dir.file("a.bin"), b = dir.file("b.bin");
    const std::string ten = "0123456789";
    auto write = [&](const std::string& path) {
        void* f = FsOpen(path.c_str(), FS_WRITE | FS_CREATE, nullptr);
        EXPECT_NE(f, nullptr);
        int ok = f ? FsWriteAll(f, ten.data(), ten.size()) : 0;
        if (f) FsClose(f);
        return ok;
    };
    {
        // The disk fills up: a write comes up short, the next fails, for every file.
        qwtest::ScopedFsFaults faults;
        faults.state.write_budget = 4;
        EXPECT_EQ(write(a), 0);
        EXPECT_EQ(write(b), 0);
        EXPECT_EQ(ReadFileBytes(a), "0123");
        EXPECT_EQ(ReadFileBytes(b), "");
    }
    {
        // One file fails part way; the files after it are written whole.
        qwtest::ScopedFsFaults faults;
        faults.state.next_file_budget = 3;
        EXPECT_EQ(write(a), 0);
        EXPECT_EQ(write(b), 1);
        EXPECT_EQ(ReadFileBytes(a), "012");
        EXPECT_EQ(ReadFileBytes(b), ten);
        EXPECT_EQ(faults.state.writes, 3); // 3 bytes, the refused rest, then b at once
    }
    {
        // The file ends early after the first read.
        qwtest::ScopedFsFaults faults;
        faults.state.short_read_at = 1;
        void* f = FsOpen(b.c_str(), FS_READ, nullptr);
        ASSERT_NE(f, nullptr);
        char buf[4];
        EXPECT_EQ(FsRead(f, buf, 4), 4);
        EXPECT_EQ(FsRead(f, buf, 4), 0);
        FsClose(f);
    }
}

// Hands out the names of a list, one an attempt; counts the calls.
struct NameList {
    std::vector<std::string> names;
    int calls = 0;
    static int Make(void* ctx, unsigned attempt, char* out, size_t size) {
        auto* l = static_cast<NameList*>(ctx);
        ++l->calls;
        if (attempt >= l->names.size() || l->names[attempt].size() >= size) return 0;
        std::snprintf(out, size, "%s", l->names[attempt].c_str());
        return 1;
    }
};

TEST(FsUniqueName, TakesTheFirstFreeNameAndNeverATakenOne) {
    qwtest::TempDir dir;
    std::filesystem::create_directory(dir.file("folder.1"));
    WriteFileBytes(dir.file("file.2"), "keep");
    NameList l{{dir.file("folder.1"), dir.file("file.2"), dir.file("free.3"), dir.file("free.4")}};
    char out[1024];
    for (int create : {0, 1}) {
        SCOPED_TRACE(create);
        l.calls = 0;
        int error = -1;
        ASSERT_EQ(FsUniqueName(NameList::Make, &l, 10, create, out, sizeof out, &error), 1);
        EXPECT_EQ(std::string(out), dir.file("free.3"));
        EXPECT_EQ(std::filesystem::exists(out), create == 1); // made only when asked
        EXPECT_EQ(ReadFileBytes(dir.file("file.2")), "keep");
    }
    // Every name taken, or the tries used up.
    EXPECT_EQ(FsUniqueName(NameList::Make, &l, 2, 1, out, sizeof out, nullptr), 0);
    EXPECT_EQ(FsUniqueName(NameList::Make, &l, 10, 1, out, sizeof out, nullptr), 1); // free.4
    EXPECT_EQ(FsUniqueName(NameList::Make, &l, 10, 1, out, sizeof out, nullptr), 0); // list ends
    // A folder that does not exist is not a taken name: no second try.
    NameList nowhere{{dir.file("no/such/a.1"), dir.file("no/such/a.2")}};
    int error = 0;
    EXPECT_EQ(FsUniqueName(NameList::Make, &nowhere, 10, 1, out, sizeof out, &error), 0);
    EXPECT_NE(error, 0);
    EXPECT_EQ(nowhere.calls, 1);
}

TEST(FsFiles, ReplaceTakesTheTargetsPlaceRenameNever) {
    qwtest::TempDir dir;
    const std::string src = dir.file("new.txt"), dst = dir.file("target.txt");
    WriteFileBytes(src, "new");
    WriteFileBytes(dst, "old");
    EXPECT_EQ(FsRename(src.c_str(), dst.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(dst), "old");
    EXPECT_EQ(FsReplace(src.c_str(), dst.c_str()), 1);
    EXPECT_EQ(ReadFileBytes(dst), "new");
    EXPECT_FALSE(FsExists(src.c_str()));
    unsigned a = 0;
    EXPECT_EQ(FsAttributes(dir.path().c_str(), &a), 1);
    EXPECT_TRUE(a & FS_ATTR_DIRECTORY);
    EXPECT_FALSE(FsExists(dir.path().c_str())); // a folder is not a file
    EXPECT_EQ(FsAttributes(src.c_str(), &a), 0);
}

TEST(FsFiles, ListingGivesEntriesWithTheirKinds) {
    qwtest::TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    WriteFileBytes(FsEntryPath(dir.file("sub"), "inner.txt"), "x");
    WriteFileBytes(dir.file("plain.txt"), "x");
    std::vector<std::pair<std::string, unsigned>> seen;
    void* l = FsListOpen(dir.file("sub").c_str());
    ASSERT_NE(l, nullptr);
    FsEntry e;
    while (FsListNext(l, &e)) seen.emplace_back(e.name, e.attributes);
    FsListClose(l);
    std::sort(seen.begin(), seen.end());
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].first, ".");
    EXPECT_EQ(seen[1].first, "..");
    EXPECT_TRUE(seen[0].second & seen[1].second & FS_ATTR_DIRECTORY);
    EXPECT_EQ(seen[2].first, "inner.txt");
    EXPECT_FALSE(seen[2].second & (FS_ATTR_DIRECTORY | FS_ATTR_HIDDEN | FS_ATTR_SYSTEM));
    EXPECT_EQ(FsListOpen(dir.file("missing").c_str()), nullptr);
    // A folder given with its separator gets no second one.
    EXPECT_EQ(FsEntryPath(dir.path(), "plain.txt"), dir.file("plain.txt"));
    EXPECT_TRUE(FsExists(FsEntryPath(dir.path(), "plain.txt").c_str()));
}

#ifndef _WIN32
TEST(FsFiles, HostListingMarksDotFilesHiddenAndLinksAsSystem) {
    qwtest::TempDir dir;
    WriteFileBytes(dir.file(".hidden"), "x");
    std::filesystem::create_directory(dir.file("real"));
    std::filesystem::create_directory_symlink(dir.file("real"), dir.file("loop"));
    unsigned hidden = 0, link = 0, real = 0;
    void* l = FsListOpen(dir.path().c_str());
    ASSERT_NE(l, nullptr);
    FsEntry e;
    while (FsListNext(l, &e)) {
        std::string n = e.name;
        if (n == ".hidden") hidden = e.attributes;
        if (n == "loop") link = e.attributes;
        if (n == "real") real = e.attributes;
    }
    FsListClose(l);
    EXPECT_TRUE(hidden & FS_ATTR_HIDDEN);
    EXPECT_TRUE((link & FS_ATTR_SYSTEM) && (link & FS_ATTR_LINK));
    EXPECT_EQ(real & (FS_ATTR_DIRECTORY | FS_ATTR_HIDDEN | FS_ATTR_SYSTEM), unsigned(FS_ATTR_DIRECTORY));
}
#endif

} // namespace
