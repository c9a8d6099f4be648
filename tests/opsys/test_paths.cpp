// Path texts: taking apart and joining, extensions, roots, validity,
// relative and absolute forms, common prefixes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "opsys/paths.h"

namespace {
std::string S(const char* p) { return p ? p : "<none>"; }
} // namespace

TEST(Paths, TakingApart) {
    struct C {
        const char* path;
        const char* name;
        const char* dir;
        const char* ext;
    };
    const C cases[] = {
        {"C:name.txt", "name.txt", "C:", "txt"},
        {"dir/sub\\x.c", "x.c", "dir/sub", "c"},
        {"C:\\a.txt", "a.txt", "C:\\", "txt"},
        {"C:\\dir\\a.txt", "a.txt", "C:\\dir", "txt"},
        {"C:\\dir.v2\\file", "file", "C:\\dir.v2", "<none>"},
        {"\\\\srv\\share\\a.b.c", "a.b.c", "\\\\srv\\share", "c"},
        {"\\top.txt", "top.txt", "\\", "txt"},
        {"plain", "plain", "", "<none>"},
        {"", "", "", "<none>"},
    };
    for (const C& c : cases) {
        char dir[QW_PATH_BUF];
        EXPECT_STREQ(PathFileName(c.path), c.name) << c.path;
        EXPECT_STREQ(PathDirectory(dir, c.path), c.dir) << c.path;
        EXPECT_EQ(S(PathExtension(c.path)), c.ext) << c.path;
        EXPECT_EQ(PathHasDir(c.path) != 0, strcmp(c.name, c.path) != 0) << c.path;
    }
    EXPECT_EQ(PathFileNameNoExtStr("C:\\d\\a.b.c"), "a.b");
    EXPECT_EQ(PathExtensionStd("x"), "");
}

TEST(Paths, Joining) {
    struct C {
        const char* dir;
        const char* name;
        const char* expect;
    };
    const C cases[] = {
        {"C:\\", "a", "C:\\a"},
        {"C:\\dir", "a", "C:\\dir\\a"},
        {"C:\\dir/", "a", "C:\\dir/a"},
        {"C:", "a", "C:a"},
        {"\\\\srv\\share", "a", "\\\\srv\\share\\a"},
        {"rel", "a.c", "rel\\a.c"},
        {"", "a.c", "a.c"},
        {"C:\\dir", "", "C:\\dir"},
        {nullptr, "a", "a"},
    };
    for (const C& c : cases) {
        char out[QW_PATH_BUF];
        EXPECT_STREQ(PathJoin(out, c.dir, c.name), c.expect) << S(c.dir) << " + " << c.name;
    }
    // a joined name that would be longer than a path may be: no cut name
    std::string dir = "C:\\" + std::string(250, 'd');
    char out[QW_PATH_BUF] = "stale";
    EXPECT_EQ(PathJoin(out, dir.c_str(), "0123456789.txt"), nullptr);
    EXPECT_STREQ(out, "");
    // the destination may be the folder itself
    char inplace[QW_PATH_BUF] = "C:\\x";
    EXPECT_STREQ(PathJoin(inplace, inplace, "y"), "C:\\x\\y");
}

TEST(Paths, Extensions) {
    char p[QW_PATH_BUF] = "C:\\dir.v2\\file";
    EXPECT_TRUE(PathSetExtension(p, ".txt"));
    EXPECT_STREQ(p, "C:\\dir.v2\\file.txt");
    EXPECT_TRUE(PathSetExtension(p, "bak"));
    EXPECT_STREQ(p, "C:\\dir.v2\\file.bak");
    EXPECT_TRUE(PathSetExtension(p, nullptr));
    EXPECT_STREQ(p, "C:\\dir.v2\\file");

    std::string longname = "C:\\" + std::string(254, 'f');
    char q[QW_PATH_BUF];
    strcpy(q, longname.c_str());
    EXPECT_FALSE(PathSetExtension(q, "toolong"));
    EXPECT_EQ(std::string(q), longname);   // unchanged

    EXPECT_TRUE(PathSameExtension("a.C", "b.c"));
    EXPECT_TRUE(PathSameExtension("dir\\a.qwp", "QWP"));
    EXPECT_FALSE(PathSameExtension("a.c", "b.h"));
    EXPECT_TRUE(PathSameNameNoExt("C:\\D\\File.c", "c:\\d\\file.h"));
    EXPECT_TRUE(PathSameDir("C:\\D\\a.c", "c:\\d\\b.c"));
    EXPECT_TRUE(PathCompareFileNames("x\\A.c", "y/A.c"));
    EXPECT_FALSE(PathCompareFileNames("x\\A.c", "y/a.c"));
}

TEST(Paths, Roots) {
    struct C {
        const char* path;
        int kind;
        const char* root;
        const char* server;
        int equals_root;
    };
    const C cases[] = {
        {"C:\\dir", 0, "C:", "C:", 0},
        {"C:", 0, "C:", "C:", 1},
        {"C:\\", 0, "C:", "C:", 1},
        {"\\\\srv\\sh\\dir", 1, "\\\\srv\\sh", "\\\\srv", 0},
        {"\\\\srv\\sh\\", 1, "\\\\srv\\sh", "\\\\srv", 1},
        {"rel\\x", -1, "<none>", "<none>", 0},
        {"\\x", -1, "<none>", "<none>", 0},
    };
    for (const C& c : cases) {
        char root[QW_PATH_BUF];
        int share = -1;
        EXPECT_EQ(PathRootKind(c.path), c.kind) << c.path;
        EXPECT_EQ(S(PathGetRoot(root, c.path, 0, &share)), c.root) << c.path;
        EXPECT_EQ(share, c.kind == 1 ? 1 : 0) << c.path;
        EXPECT_EQ(S(PathGetRoot(root, c.path, 1, nullptr)), c.server) << c.path;
        EXPECT_EQ(PathEqualsRoot(c.path) != 0, c.equals_root != 0) << c.path;
    }
    char share[QW_PATH_BUF] = "\\\\srv\\sh";
    EXPECT_TRUE(PathIsUNCShare(share));
    EXPECT_STREQ(share, "\\\\srv\\sh\\");
    char deeper[QW_PATH_BUF] = "\\\\srv\\sh\\x";
    EXPECT_FALSE(PathIsUNCShare(deeper));
    EXPECT_STREQ(PathSkipUNCPrefix("\\\\srv\\sh"), "srv\\sh");
    EXPECT_EQ(PathSameRoot("c:\\a", "C:\\b"), 1);
    EXPECT_EQ(PathSameRoot("c:\\a", "D:\\b"), 0);
    EXPECT_EQ(PathSameRoot("a", "C:\\b"), -1);

    char p[QW_PATH_BUF] = "C:\\dir\\\\";
    EXPECT_STREQ(PathStripTrailingSep(p), "C:\\dir");
    strcpy(p, "C:\\");
    EXPECT_STREQ(PathStripTrailingSep(p), "C:\\");
}

TEST(Paths, Validity) {
    struct C {
        const char* path;
        int check;
    };
    std::string p260 = "C:\\" + std::string(257, 'a');
    std::string p261 = p260 + "b";
    const C cases[] = {
        {"C:\\ok\\name.txt", 0},
        {"\\\\srv\\share\\x", 0},
        {"\"C:\\quoted name\"", 0},
        {"C:\\a\"b", 2},
        {"C:\\a|b", 2},
        {"C:\\a<b>", 2},
        {"C:\\a\\\\b", 2},
        {"C:/a//b", 2},
        {p260.c_str(), 0},
        {p261.c_str(), 1},
        {nullptr, 2},
    };
    for (const C& c : cases) EXPECT_EQ(PathCheck(c.path), c.check) << S(c.path);

    const char* rest = nullptr;
    EXPECT_TRUE(PathIsRelative(".\\x\\y", &rest));
    EXPECT_STREQ(rest, "x\\y");
    EXPECT_FALSE(PathIsRelative("\\x", nullptr));
    EXPECT_FALSE(PathIsRelative("C:x", nullptr));
}

TEST(Paths, RelativeAndAbsolute) {
    struct Rel {
        const char* dir;
        const char* file;
        const char* expect;
        int relative;
    };
    const Rel rels[] = {
        {"C:\\a\\b", "C:\\a\\c\\f.txt", "..\\c\\f.txt", 1},
        {"C:\\a", "C:\\a\\f.txt", ".\\f.txt", 1},
        {"C:\\a\\", "c:\\A\\sub\\f.txt", ".\\sub\\f.txt", 1},
        {"C:\\a\\b\\c", "C:\\x.txt", "..\\..\\..\\x.txt", 1},
        {"C:\\ab", "C:\\a\\f.txt", "..\\a\\f.txt", 1},
        {"C:\\a", "D:\\a\\f.txt", "D:\\a\\f.txt", 0},
        {"\\\\srv\\sh\\d", "\\\\srv\\sh\\e\\f", "..\\e\\f", 1},
        {"\\\\srv\\sh\\d", "\\\\other\\sh\\d\\f", "\\\\other\\sh\\d\\f", 0},
    };
    for (const Rel& r : rels) {
        char out[QW_PATH_BUF];
        EXPECT_EQ(PathRelative(out, r.dir, r.file), r.relative) << r.dir << " " << r.file;
        EXPECT_STREQ(out, r.expect) << r.dir << " " << r.file;
        EXPECT_EQ(PathRelative(r.dir, r.file), r.expect);
    }
    struct Abs {
        const char* base;
        const char* rel;
        const char* expect;
    };
    const Abs abss[] = {
        {"C:\\a\\b", "..\\c\\f.txt", "C:\\a\\c\\f.txt"},
        {"C:\\a\\b", ".\\f.txt", "C:\\a\\b\\f.txt"},
        {"C:\\a", "..\\..\\..\\f", "C:\\f"},
        {"C:\\a", "\\x\\y", "C:\\x\\y"},
        {"C:\\a", "D:\\y\\..\\z", "D:\\y\\..\\z"},   // a rooted path is kept as it is
        {"\\\\srv\\sh\\d", "..\\e", "\\\\srv\\sh\\e"},
    };
    for (const Abs& a : abss) {
        char out[QW_PATH_BUF];
        EXPECT_STREQ(S(PathMakeAbsolute(out, a.base, a.rel)).c_str(), a.expect) << a.base << " " << a.rel;
    }
    // relative and back again
    char rel[QW_PATH_BUF], back[QW_PATH_BUF];
    PathRelative(rel, "C:\\proj\\src", "C:\\proj\\inc\\x.h");
    EXPECT_STREQ(PathMakeAbsolute(back, "C:\\proj\\src", rel), "C:\\proj\\inc\\x.h");
}

TEST(Paths, CommonPrefixAndContainment) {
    struct C {
        const char* a;
        const char* b;
        const char* prefix;
        int under;
    };
    const C cases[] = {
        {"C:\\dir", "C:\\dir\\x.c", "C:\\dir", 1},
        {"C:\\dir\\", "c:\\DIR\\sub\\x.c", "C:\\dir", 1},
        {"C:\\dir", "C:\\dir2\\x.c", "C:\\", 0},
        {"C:\\", "C:\\x", "C:\\", 1},
        {"C:\\a", "D:\\a", "", 0},
        {"\\\\s1\\x", "\\\\s2\\x", "", 0},
    };
    for (const C& c : cases) {
        char out[QW_PATH_BUF];
        PathCommonPrefix(c.a, c.b, out);
        EXPECT_STREQ(out, c.prefix) << c.a << " " << c.b;
        EXPECT_EQ(PathIsUnder(c.a, c.b) != 0, c.under != 0) << c.a << " " << c.b;
        EXPECT_EQ(PathSameDirectory(c.a, c.b) != 0, c.under != 0) << c.a << " " << c.b;
    }
}
