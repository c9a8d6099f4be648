// Tests the window-free rules of the dialog engine: control-table reading and
// queries, control classification, spin parameters, placement arithmetic and
// the preset answer with bounded copies.
#include "commands/dlgtable.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commands/cmdtable.h"

namespace {

std::vector<unsigned char> Bytes(const std::vector<DlgRecord>& recs, bool terminate = true) {
    std::vector<unsigned char> b;
    auto put = [&](uint16_t w) { b.push_back(static_cast<unsigned char>(w & 0xFF)), b.push_back(static_cast<unsigned char>(w >> 8)); };
    for (const DlgRecord& r : recs) put(r.section), put(r.control), put(r.key), put(r.flags), put(r.extra);
    if (terminate) for (int i = 0; i < 5; ++i) put(0);
    return b;
}

// The change-folder table as shipped.
const std::vector<DlgRecord> k2005 = {{0x2, 270, 270, 0x62, 611}, {0x2, 280, 280, 0x2000, 0}, {0x4, 270, 270, 0x80, 0},
                                      {0x4, 280, 280, 0x80, 0},   {0x40, 270, 270, 0x4, 0},  {0x40, 280, 280, 0x4, 0}};

TEST(DlgTable, ReadsRecordsUpToTheTerminator) {
    auto b = Bytes(k2005);
    b.resize(b.size() + 7, 0xEE);  // bytes after the terminator are ignored
    DlgTable t;
    ASSERT_TRUE(t.Load(b.data(), b.size()));
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[0].extra, 611);
    EXPECT_EQ(t[5].section, 0x40);
}

TEST(DlgTable, DamagedTablesAreRefusedWhole) {
    struct Case { std::vector<unsigned char> bytes; bool ok; const char* why; } cases[] = {
        {Bytes(k2005, false), false, "no terminating record"},
        {[] { auto b = Bytes(k2005); b.erase(b.end() - 3, b.end()); return b; }(), false, "no terminating record"},
        {Bytes({{0x3, 250, 250, 0, 0}}), false, "record 0 has section 0x3"},
        {Bytes({{0x1, 250, 251, 0, 0}, {0x0, 251, 251, 0, 0}}), false, "record 1 has section 0x0"},
        {Bytes({{0x2000, 250, 251, 0, 0}}), false, "record 0 has section 0x2000"},
        {Bytes({}), true, ""},  // first record ends it: no table behaviour
        {{}, false, "no terminating record"},
    };
    for (const Case& c : cases) {
        DlgTable t;
        std::string why;
        EXPECT_EQ(t.Load(c.bytes.data(), c.bytes.size(), &why), c.ok) << c.why;
        EXPECT_TRUE(t.empty());
        if (!c.ok) {
            EXPECT_EQ(why, c.why);
        }
    }
    DlgTable t;
    EXPECT_FALSE(t.Load(nullptr, 40));
}

TEST(DlgTable, Queries) {
    DlgTable t;
    auto b = Bytes({{0x1, 220, 250, 0x0, 0}, {0x1, 221, 250, 0x1, 0}, {0x4, 220, 220, 0x80, 0},
                    {0x4, 220, 221, 0x1, 5}, {0x40, 250, 250, 0x200, 0}});
    ASSERT_TRUE(t.Load(b.data(), b.size()));
    EXPECT_EQ(DlgFindTableEntry(t, 0x1, 221, -2, -1), &t[1]);
    EXPECT_EQ(DlgFindTableEntry(t, 0x1, -2, 250, -1), &t[0]);    // by key
    EXPECT_EQ(DlgFindTableEntry(t, 0x4, -1, -1, -1), &t[2]);     // any
    EXPECT_EQ(DlgFindTableEntry(t, 0x4, 220, -2, 0x1), &t[3]);   // by flags
    EXPECT_EQ(DlgFindTableEntry(t, 0x8, -1, -1, -1), nullptr);
    int key = 0, extra = 0;
    EXPECT_EQ(DlgQueryTable(t, 0x4, 220, 0x1, &key, &extra), 0x1u);
    EXPECT_EQ(key, 221);
    EXPECT_EQ(extra, 5);
    EXPECT_EQ(DlgQueryTable(t, 0x40, 251, -1), 0u);
    EXPECT_EQ(DlgFindControl(t, 0x1, -2, 250, -1), 220);
    DlgRecord r{};
    EXPECT_EQ(DlgFindTableEntryN(t, 220, 0x4, -1, -1, &r), 1);
    EXPECT_EQ(r.key, 220);
    EXPECT_EQ(DlgFindTableEntryN(t, 220, 0x4, -1, 0, &r), 1);
    EXPECT_EQ(r.key, 221);
    EXPECT_EQ(DlgFindTableEntryN(t, 220, 0x4, -1, 1, &r), 0);
    EXPECT_TRUE(DlgIsTarget(t, 0x1, 250));
    EXPECT_FALSE(DlgIsTarget(t, 0x4, 220));  // only its own key
    DlgTable none;
    EXPECT_EQ(DlgQueryTable(none, 0xFFFF, -1, -1), 0u);
}

TEST(DlgKinds, Classification) {
    struct Case { const char* cls; uint32_t style; int id; int kind; } cases[] = {
        {"Static", 0, 160, DLG_KIND_STATIC},     {"BUTTON", 0x0, 1, DLG_KIND_PUSH},
        {"button", 0x1, 1, DLG_KIND_PUSH},       {"button", 0xB, 485, DLG_KIND_CHECK},
        {"button", 0xB, 486, DLG_KIND_CHECK},    {"button", 0xB, 487, DLG_KIND_PUSH},
        {"button", 0x3, 300, DLG_KIND_CHECK},    {"button", 0x2, 300, DLG_KIND_CHECK},
        {"button", 0x9, 300, DLG_KIND_RADIO},    {"button", 0x4, 300, DLG_KIND_RADIO},
        {"button", 0x7, 300, DLG_KIND_GROUP},    {"button", 0x8, 300, DLG_KIND_OTHER_BUTTON},
        {"edit", 0, 250, DLG_KIND_EDIT},         {"msctls_updown32", 0, 0, DLG_KIND_SPIN},
        {"ListBox", 0, 280, DLG_KIND_LISTBOX},   {"combobox", 0x3, 270, DLG_KIND_DROPLIST},
        {"combobox", 0x2, 270, DLG_KIND_COMBO},  {"combobox", 0x1, 270, DLG_KIND_COMBO},
        {"SysListView32", 0, 280, DLG_KIND_LISTVIEW}, {"systreeview32", 0, 280, DLG_KIND_TREE},
        {"msctls_progress32", 0, 160, DLG_KIND_PROGRESS}, {"RichEdit20A", 0, 250, DLG_KIND_NONE},
        {"staticXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX", 0, 0, DLG_KIND_NONE}, {nullptr, 0, 0, DLG_KIND_NONE},
    };
    for (const Case& c : cases) EXPECT_EQ(DlgClassifyControl(c.cls, c.style, c.id), c.kind) << (c.cls ? c.cls : "null");
}

TEST(DlgSpin, ParametersLimitsAndFormat) {
    struct Case { const char* text; long min, max; int display; long step; } cases[] = {
        {"", 1, 100, 0, 1},        {nullptr, 1, 100, 0, 1},  {"1,700,10", 1, 700, 0, 1},
        {"0,,,2,5", 0, 100, 2, 5}, {"-10,10,x,0,0", -10, 10, 0, 1}, {",50", 1, 50, 0, 1},
    };
    for (const Case& c : cases) {
        DlgSpinParams p = DlgParseSpinParams(c.text);
        EXPECT_EQ(p.minimum, c.min) << (c.text ? c.text : "null");
        EXPECT_EQ(p.maximum, c.max);
        EXPECT_EQ(p.display, c.display);
        EXPECT_EQ(p.step, c.step);
    }
    DlgSpinParams p = DlgParseSpinParams("1,100,,0,5");
    EXPECT_EQ(DlgSpinStep(p, 10, 1), 15);   // the step wins over a small delta
    EXPECT_EQ(DlgSpinStep(p, 10, -1), 5);
    EXPECT_EQ(DlgSpinStep(p, 10, 20), 30);  // a larger delta wins
    EXPECT_EQ(DlgSpinStep(p, 98, 1), 100);  // clamped
    EXPECT_EQ(DlgSpinStep(p, 3, -1), 1);
    DlgSpinParams g = DlgParseSpinParams("0,9999999,,2");
    EXPECT_EQ(DlgFormatSpinValue(g, 1234567), "1,234,567");
    EXPECT_EQ(DlgFormatSpinValue(g, 123), "123");
    EXPECT_EQ(DlgFormatSpinValue(g, -1234), "-1,234");
    EXPECT_EQ(DlgFormatSpinValue(p, 1234), "1234");
    long v = 0;
    EXPECT_TRUE(DlgReadSpinValue("1,234", &v));
    EXPECT_EQ(v, 1234);
    EXPECT_FALSE(DlgReadSpinValue("12a", &v));
    EXPECT_FALSE(DlgReadSpinValue("", &v));
    EXPECT_FALSE(DlgReadSpinValue("99999999999", &v));
}

TEST(DlgPlacement, ClampAndAnchors) {
    const DlgRect work{0, 0, 1000, 700};
    struct Case { DlgRect in, out; } cases[] = {
        {{100, 100, 400, 300}, {100, 100, 400, 300}},        // inside: untouched
        {{900, 650, 1200, 850}, {700, 500, 1000, 700}},       // off the bottom right
        {{-3000, -50, -2700, 150}, {0, 0, 300, 200}},         // on no monitor
        {{-10, 10, 1490, 1010}, {0, 0, 1000, 700}},           // larger than the area
    };
    for (const Case& c : cases) {
        DlgRect r = DlgClampToWorkArea(c.in, work);
        EXPECT_EQ(r.left, c.out.left);
        EXPECT_EQ(r.top, c.out.top);
        EXPECT_EQ(r.right, c.out.right);
        EXPECT_EQ(r.bottom, c.out.bottom);
    }
    DlgRect offset_work{-1280, 0, 0, 1024};
    EXPECT_EQ(DlgClampToWorkArea({100, 10, 300, 110}, offset_work).left, -200);

    const DlgRect c{10, 20, 110, 60};
    EXPECT_EQ(DlgApplyAnchor(c, DLG_ANCHOR_MOVE_X, 30, 40, 0, 0).left, 40);
    EXPECT_EQ(DlgApplyAnchor(c, DLG_ANCHOR_MOVE_X | DLG_ANCHOR_STRETCH_X, 30, 40, 0, 0).left, 10);  // stretch wins
    EXPECT_EQ(DlgApplyAnchor(c, DLG_ANCHOR_MOVE_X | DLG_ANCHOR_STRETCH_X, 30, 40, 0, 0).right, 140);
    EXPECT_EQ(DlgApplyAnchor(c, DLG_ANCHOR_MOVE_Y, 30, 40, 0, 0).bottom, 100);
    EXPECT_EQ(DlgApplyAnchor(c, DLG_ANCHOR_STRETCH_Y, 30, 40, 0, 0).bottom, 100);
    EXPECT_EQ(DlgApplyAnchor(c, DLG_ANCHOR_STRETCH_Y, 30, 40, 15, 300).bottom, 285);  // fixed margin
    EXPECT_EQ(DlgApplyAnchor(c, 0, 30, 40, 0, 0).right, 110);

    const DlgRect list{10, 40, 200, 200};
    EXPECT_EQ(DlgAutoAnchor(list, {210, 40, 270, 60}, false), DLG_ANCHOR_MOVE_X);
    EXPECT_EQ(DlgAutoAnchor(list, {10, 210, 80, 230}, false), DLG_ANCHOR_MOVE_Y);
    EXPECT_EQ(DlgAutoAnchor(list, {10, 10, 200, 30}, true), DLG_ANCHOR_STRETCH_X);
    EXPECT_EQ(DlgAutoAnchor(list, {10, 10, 200, 30}, false), 0u);
}

TEST(DlgPreset, ParameterTextAnswersTheDialogWithinTheBuffer) {
    K_cmd_params p;
    std::string long_text(2000, 'q');
    K_cmd_params_init(&p, 1, 430, long_text.c_str(), 0, 0);
    std::vector<char> big(1100, 'z');
    DlgString strings[] = {{big.data(), static_cast<int>(big.size())}, {nullptr, 0}};
    EXPECT_EQ(DlgCheckCommandList(nullptr, 0, strings, &p), 1);
    EXPECT_EQ(std::strlen(big.data()), 1024u);  // at most 1024 characters

    char small[16];
    std::memset(small, 'z', sizeof small);
    char guard[8] = "guard";
    DlgString one[] = {{small, 10}};
    EXPECT_EQ(DlgCheckCommandList(nullptr, 0, one, &p), 1);
    EXPECT_EQ(std::strlen(small), 9u);  // bounded by the capacity
    EXPECT_EQ(small[10], 'z');
    EXPECT_STREQ(guard, "guard");

    K_cmd_params empty;
    K_cmd_params_init(&empty, 1, 430, "", 0, 0);
    DlgString none[] = {{nullptr, 0}};
    EXPECT_EQ(DlgCheckCommandList(nullptr, 0, one, &empty), -1);
    EXPECT_EQ(DlgCheckCommandList(nullptr, 0, one, nullptr), -1);
    EXPECT_EQ(DlgCheckCommandList(nullptr, 0, none, &p), -1);
    EXPECT_EQ(DlgCheckCommandList(nullptr, 0, nullptr, &p), -1);
    K_cmd_params bad{};
    EXPECT_EQ(DlgCheckCommandList(nullptr, 0, one, &bad), -1);  // not a params record
}

TEST(DlgPreset, ProfileSectionNames) {
    // Without a string table the command has no name: its number in hex.
    std::string s = DlgProfileSection(0x7AB);
    EXPECT_EQ(s, "Dialog 7AB");
}

} // namespace
