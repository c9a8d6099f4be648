// The XML archive helper: creating, saving and opening an archive with its
// version, saving only when changed, a failed save keeping the old file,
// node lookups and copies.
#include "Reu/xml_archive.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/support/fs_faults.h"
#include "tests/support/temp_dir.h"

namespace {

using qwtest::ReadFileBytes;
using qwtest::WriteFileBytes;

TEST(XmlArchive, CreateSaveOpenKeepsFrameVersionAndValues) {
    qwtest::TempDir dir;
    const std::string path = dir.file("ruler.xml");
    {
        pug::xml_archive_parser a;
        a.Create(path.c_str(), 3, true, true);
        a.GetRoot().AddChild("Marker", "Pos", 17);
        a.GetRoot().AddChildEx("Name", "Text", "a<b&\"c\"");
        ASSERT_EQ(a.Save(), 1);
    }
    const std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << bytes;
    EXPECT_NE(bytes.find("<Archive Version=\"3\">"), std::string::npos) << bytes;

    pug::xml_archive_parser b;
    ASSERT_EQ(b.Open(path.c_str()), 1);
    EXPECT_EQ(b.GetVersion(), 3);
    EXPECT_TRUE(b.IsOpenedFromFile());
    EXPECT_FALSE(b.IsChanged());
    int found = -1;
    EXPECT_EQ(b.GetRoot().ReadValue("Marker", "Pos", -5, &found), 17);
    EXPECT_EQ(found, 1);
    EXPECT_STREQ(b.GetRoot().GetChild("Name").node().attribute("Text").value(), "a<b&\"c\"");
    // Missing attribute and missing element both give the default.
    EXPECT_EQ(b.GetRoot().ReadValue("Marker", "Width", -5, &found), -5);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(b.GetRoot().ReadValue("Nothing", "Pos", 9, &found), 9);
    EXPECT_EQ(found, 0);
}

TEST(XmlArchive, OpenResults) {
    qwtest::TempDir dir;
    struct Case { const char* name; const char* text; int result; int version; };
    const Case cases[] = {
        {"noroot.xml", "<?xml version=\"1.0\"?><Store Version=\"2\"/>", -1, -1},
        {"broken.xml", "<Archive Version=\"2\"><a></Archive>", 0, -1},
        {"empty.xml", "", 0, -1},
        {"nover.xml", "<Archive><x/></Archive>", 1, -1},
        {"ok.xml", "<Archive Version=\"7\"/>", 1, 7},
    };
    for (const Case& c : cases) {
        WriteFileBytes(dir.file(c.name), c.text);
        pug::xml_archive_parser a;
        EXPECT_EQ(a.Open(dir.file(c.name).c_str()), c.result) << c.name;
        EXPECT_EQ(a.GetVersion(), c.version) << c.name;
    }
    pug::xml_archive_parser a;
    EXPECT_EQ(a.Open(dir.file("missing.xml").c_str()), 0);
}

TEST(XmlArchive, SaveWritesOnlyWhenChanged) {
    qwtest::TempDir dir;
    const std::string path = dir.file("store.xml");
    const std::string original = "<Archive Version=\"1\">\n<Keep  A=\"1\"/>\n</Archive>\n";
    WriteFileBytes(path, original);
    pug::xml_archive_parser a;
    ASSERT_EQ(a.Open(path.c_str()), 1);
    a.GetRoot().AddChild("New", "B", 2);  // changed in memory, flag not set
    EXPECT_EQ(a.Save(), 1);
    EXPECT_EQ(ReadFileBytes(path), original);

    a.SetChanged(true);
    EXPECT_EQ(a.Save(), 1);
    pug::xml_archive_parser b;
    ASSERT_EQ(b.Open(path.c_str()), 1);
    EXPECT_EQ(b.GetRoot().ReadValue("New", "B", 0), 2);
    EXPECT_EQ(b.GetRoot().ReadValue("Keep", "A", 0), 1);
}

TEST(XmlArchive, FailedSaveKeepsOldFile) {
    qwtest::TempDir dir;
    const std::string path = dir.file("store.xml");
    const std::string original = "<Archive Version=\"1\"/>";
    WriteFileBytes(path, original);
    pug::xml_archive_parser a;
    a.Create(path.c_str(), 2, true, false);
    qwtest::ScopedFsFaults faults;
    faults.state.next_file_budget = 5; // the disk fills up after 5 bytes of the new file
    EXPECT_EQ(a.Save(), 0);
    EXPECT_EQ(ReadFileBytes(path), original);
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1u);  // the temporary file is gone
    // The fault hit that one file: the next save has room.
    EXPECT_EQ(a.Save(), 1);
    EXPECT_NE(ReadFileBytes(path).find("Version=\"2\""), std::string::npos);
}

TEST(XmlArchive, NodeLookups) {
    pug::xml_archive_parser a;
    a.Create("unused.xml", 1, false, true);
    pug::xml_archive_node root = a.GetRoot();
    root.AddChild("Item", "Other", 1);
    root.AddChild("Item", "Id", 2);
    root.AddChild("Item", "Id", 3);

    EXPECT_EQ(root.FindChild("Item", "Id").node().attribute("Id").as_int(), 2);
    EXPECT_FALSE(root.FindChild("Item", "Nope"));
    EXPECT_FALSE(root.GetChild("Missing"));

    pug::xml_archive_node walker(root.node(), "Item");
    ASSERT_TRUE(walker.First());
    EXPECT_EQ(walker.node().attribute("Other").as_int(), 1);
    EXPECT_FALSE(walker.First());  // an Item has no Item children
}

TEST(XmlArchive, CloneCopiesWholeSubtree) {
    pugi::xml_document src;
    ASSERT_TRUE(src.load_string(
        "<r><a x=\"1\" y=\"2\">text<b><![CDATA[raw<]]></b><!--note--><?pi go?></a><c/></r>",
        pugi::parse_default | pugi::parse_comments | pugi::parse_pi));
    pugi::xml_node a = src.child("r").child("a");
    auto copy = CloneXmlSubtree(a);
    ASSERT_TRUE(copy);

    struct collect : pugi::xml_writer {
        std::string s;
        void write(const void* d, size_t n) override { s.append(static_cast<const char*>(d), n); }
    } want, got;
    a.print(want, "", pugi::format_raw);
    copy->print(got, "", pugi::format_raw | pugi::format_no_declaration);
    EXPECT_EQ(got.s, want.s);
    EXPECT_EQ(got.s, "<a x=\"1\" y=\"2\">text<b><![CDATA[raw<]]></b><!--note--><?pi go?></a>");
    // The copy is independent of the source.
    src.reset();
    EXPECT_STREQ(copy->first_child().attribute("y").value(), "2");
}

} // namespace
