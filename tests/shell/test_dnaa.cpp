// The do-not-ask-again store: saved answers, hidden check boxes, status-bar
// answers, the first answer recorded and saved, styles, entities, the
// master merge, damaged files, and questions from two threads at once.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "shell/dnaa.h"
#include "tests/support/temp_dir.h"

namespace {

struct Shown {
    std::string caption, text, check;
    bool has_check;
    unsigned style;
};
std::mutex g_mu;
std::vector<Shown> g_shown;
std::vector<std::string> g_status;
int g_answer = IDYES;
int g_tick = 0;

int FakeBox(const char* caption, const char* text, unsigned style, const char* check, int* checked) {
    std::lock_guard<std::mutex> g(g_mu);
    g_shown.push_back({caption, text, check ? check : "", check != nullptr, style});
    if (checked) *checked = g_tick;
    return g_answer;
}
void FakeStatus(const char* text) {
    std::lock_guard<std::mutex> g(g_mu);
    g_status.push_back(text);
}

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}
void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

const char kStore[] = R"(<?xml version="1.0"?>
<!DOCTYPE DNAA [
  <!ENTITY lt "&#38;#60;">
  <!ENTITY app "Quedra">
  <!ENTITY loop "&loop;x">
]>
<DNAA Version="1">
  <MsgBoxConstants MB_YESNO="4" MB_OK="0" MB_ICONSTOP="16" MB_ICONQUESTION="0x20"/>
  <MsgBoxDefaults flags="MB_YESNO MB_ICONQUESTION"/>
  <MsgBoxes>
    <MsgBox id="Plain" flags="MB_YESNO, MB_ICONSTOP">
      <Caption>Plain &app;</Caption><Message>File %s line %d?</Message><AAMsg/><Prompt>Plain</Prompt>
    </MsgBox>
    <MsgBox id="Bar" flags="MB_YESNO|MB_ICONSTOP">
      <Caption>c</Caption><Message>Gone
%s</Message><AAMsg/><Prompt>p</Prompt>
      <State askagain="false" result="6" statusbar="true"/>
    </MsgBox>
    <MsgBox id="Hidden"><Caption>c</Caption><Message>always</Message><AAMsg hide="true"/></MsgBox>
    <MsgBox id="Startup"><Caption>c</Caption><Message>m</Message><AAMsg/><Prompt/>
      <State askagain="false" result="7" setaaonappstart="1"/></MsgBox>
    <MsgBox id="Empty"><Caption>c</Caption><Message></Message></MsgBox>
    <MsgBox id="Ents"><Caption>c</Caption><Message>&lt;&app;&#x41;&#65;&nope;&loop;</Message></MsgBox>
  </MsgBoxes>
</DNAA>
)";

class Dnaa : public ::testing::Test {
protected:
    void SetUp() override {
        QwSetDnaaOutlets(FakeBox, FakeStatus);
        g_shown.clear();
        g_status.clear();
        g_answer = IDYES;
        g_tick = 0;
        path = dir.file("QWDNAA.abc");
        WriteAll(path, kStore);
    }
    void TearDown() override { QwSetDnaaOutlets(nullptr, nullptr); }
    qwtest::TempDir dir;
    std::string path;
};

TEST_F(Dnaa, FirstAnswerIsAppendedAndSavedAtOnce) {
    CDNAA_MsgBox s(path.c_str(), nullptr, nullptr, true, false, true);
    g_answer = IDNO;
    g_tick = 1;
    DnaaArg args[] = {"a.c", 12};
    EXPECT_EQ(s.MessageBox("Plain", args, 2), IDNO);
    ASSERT_EQ(g_shown.size(), 1u);
    EXPECT_EQ(g_shown[0].text, "File a.c line 12?");
    EXPECT_EQ(g_shown[0].caption, "Plain Quedra");
    EXPECT_TRUE(g_shown[0].has_check);
    EXPECT_EQ(g_shown[0].style, 4u | 16u);
    EXPECT_NE(ReadAll(path).find(R"(<State askagain="false" result="7")"), std::string::npos);

    // A new store over the written file answers without asking.
    CDNAA_MsgBox again(path.c_str(), nullptr, nullptr, true, false, true);
    EXPECT_EQ(again.MessageBox("Plain", args, 2), IDNO);
    EXPECT_EQ(g_shown.size(), 1u);
}

TEST_F(Dnaa, SameAnswerWritesNothing) {
    CDNAA_MsgBox s(path.c_str(), nullptr, nullptr, true, false, true);
    g_answer = IDYES;
    EXPECT_EQ(s.MessageBox("Plain", nullptr, 0), IDYES);  // records askagain true, 6
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(s.MessageBox("Plain", nullptr, 0), IDYES);  // no save, so no save-error box
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(g_shown.size(), 2u);
    EXPECT_EQ(s.save_status(), 1);
}

TEST_F(Dnaa, HiddenStatusBarAndMissing) {
    CDNAA_MsgBox s(path.c_str(), nullptr, nullptr, true, false, true);
    std::string before = ReadAll(path);
    g_answer = IDOK;
    EXPECT_EQ(s.MessageBox("Hidden", nullptr, 0), IDOK);
    EXPECT_EQ(s.MessageBox("Hidden", nullptr, 0), IDOK);
    ASSERT_EQ(g_shown.size(), 2u);
    EXPECT_FALSE(g_shown[0].has_check);
    EXPECT_EQ(ReadAll(path), before);

    DnaaArg arg[] = {"x.c"};
    EXPECT_EQ(s.MessageBox("Bar", arg, 1), 6);
    EXPECT_EQ(g_shown.size(), 2u);
    ASSERT_EQ(g_status.size(), 1u);
    EXPECT_EQ(g_status[0], "Gone x.c");

    EXPECT_EQ(s.MessageBox("NoSuch", nullptr, 0), -3);
    EXPECT_EQ(s.MessageBox("Empty", nullptr, 0), -3);
    EXPECT_EQ(g_shown.size(), 2u);
}

TEST_F(Dnaa, StylesFromConstantsAndDefaults) {
    const char* no_constants =
        R"(<DNAA Version="1"><MsgBoxes><MsgBox id="A" flags="MB_OK"><Message>m</Message></MsgBox></MsgBoxes></DNAA>)";
    const char* no_flags =
        R"(<DNAA Version="1"><MsgBoxConstants MB_OK="0"/><MsgBoxes><MsgBox id="A"><Message>m</Message></MsgBox></MsgBoxes></DNAA>)";
    for (const char* text : {no_constants, no_flags}) {
        WriteAll(path, text);
        g_shown.clear();
        CDNAA_MsgBox s(path.c_str(), nullptr, nullptr, true, false, true);
        s.MessageBox("A", nullptr, 0);
        ASSERT_EQ(g_shown.size(), 1u);
        EXPECT_EQ(g_shown[0].style, 36u);
    }
}

TEST_F(Dnaa, EntityForms) {
    CDNAA_MsgBox s(path.c_str(), nullptr, nullptr, true, false, true);
    std::string text;
    ASSERT_EQ(s.GetMessageText(&text, "Ents", nullptr, 0), 1);
    // lt -> "<"; app -> Quedra; hex and decimal A; an unknown reference stays;
    // a self-referring entity stops at the bound instead of running for ever.
    EXPECT_EQ(text.substr(0, 22), "<QuedraAA&nope;&loop;x");
    EXPECT_LE(text.size(), 200u);

    std::string doctype = "DNAA [ <!ENTITY a \"&b;&b;\"> <!ENTITY b \"&a;&a;\"> ]";
    std::string big = DnaaExpandEntities("&a;", doctype, 1000);
    EXPECT_LE(big.size(), 1000u);
}

TEST_F(Dnaa, FormatTakesOnlyTheArgumentsGiven) {
    DnaaArg one[] = {"x"};
    EXPECT_EQ(DnaaFormat("%s and %s %d", one, 1), "x and  0");
    DnaaArg wrong[] = {5, "t"};
    EXPECT_EQ(DnaaFormat("%s-%d", wrong, 2), "5-0");
    EXPECT_EQ(DnaaFormat("100%% %j%x", nullptr, 0), "100% 0");
    EXPECT_EQ(DnaaFormat(std::string(20000, 'q').c_str(), nullptr, 0).size(), 10239u);
}

TEST_F(Dnaa, MasterMessagesAreMergedAndSaved) {
    std::string master = dir.file("QWDNAA.xxx");
    WriteAll(master, R"(<DNAA Version="1"><MsgBoxes>
      <MsgBox id="Plain"><Message>master text</Message></MsgBox>
      <MsgBox id="New1"><Message>one</Message></MsgBox>
      <MsgBox id="New2"><Message>two</Message><State askagain="true" result="1"/></MsgBox>
    </MsgBoxes></DNAA>)");
    CDNAA_MsgBox s(path.c_str(), master.c_str(), nullptr, true, false, true);
    ASSERT_TRUE(s.EnsureOpen());
    std::string saved = ReadAll(path);
    size_t n1 = saved.find("id=\"New1\""), n2 = saved.find("id=\"New2\""), ents = saved.find("id=\"Ents\"");
    ASSERT_NE(n1, std::string::npos);
    EXPECT_LT(ents, n1);
    EXPECT_LT(n1, n2);
    EXPECT_EQ(saved.find("master text"), std::string::npos);  // the user's entry is kept
    EXPECT_NE(saved.find("<!ENTITY app"), std::string::npos);  // DOCTYPE written back
}

TEST_F(Dnaa, DamagedFileIsKeptReportedOnceAndDefaultsUsed) {
    const char* damaged[] = {"<DNAA Version=\"1\"><MsgBoxes>", "<Other/>", "<DNAA Version=\"2\"/>", ""};
    int codes[] = {2, 3, 4, 2};
    for (int i = 0; i < 4; ++i) {
        WriteAll(path, damaged[i]);
        g_shown.clear();
        CDNAA_MsgBox s(path.c_str(), nullptr, nullptr, true, false, true);
        EXPECT_EQ(s.MessageBox("Plain", nullptr, 0), -2);
        EXPECT_EQ(s.MessageBox("Plain", nullptr, 0), -2);
        EXPECT_EQ(s.open_status(), codes[i]);
        ASSERT_EQ(g_shown.size(), 1u) << i;
        EXPECT_EQ(g_shown[0].caption, "File open error");
        EXPECT_EQ(ReadAll(path), damaged[i]);
    }
    // No store at all.
    EXPECT_EQ(DNAA_MessageBoxByName("Plain"), -2);
}

TEST_F(Dnaa, StartupReenablesFlaggedMessages) {
    std::unique_ptr<CDNAA_MsgBox> s = DNAA_CreateStore(path.c_str(), path.c_str());
    DNAA_SetStore(s.get());
    g_answer = IDYES;
    EXPECT_EQ(DNAA_MessageBoxByName("Startup"), IDYES);
    EXPECT_EQ(g_shown.size(), 1u);
    EXPECT_EQ(DNAA_MessageBoxByName("Bar", nullptr, 0), 6);  // not flagged: still answered
    DNAA_SetStore(nullptr);

    // A missing user's copy is made from the master.
    std::string fresh = dir.file("QWDNAA.new");
    auto t = DNAA_CreateStore(fresh.c_str(), path.c_str());
    EXPECT_TRUE(t->EnsureOpen());
    EXPECT_NE(ReadAll(fresh).find("id=\"Plain\""), std::string::npos);
}

TEST_F(Dnaa, QuestionsFromTwoThreads) {
    std::string many = "<DNAA Version=\"1\"><MsgBoxes>";
    for (int i = 0; i < 40; ++i)
        many += "<MsgBox id=\"Q" + std::to_string(i) + "\"><Message>q %d</Message><AAMsg/></MsgBox>";
    many += "</MsgBoxes></DNAA>";
    WriteAll(path, many);
    CDNAA_MsgBox s(path.c_str(), nullptr, nullptr, true, false, true);
    g_tick = 1;
    g_answer = IDNO;
    auto worker = [&](int first) {
        for (int round = 0; round < 3; ++round)
            for (int i = first; i < 40; i += 2) {
                DnaaArg a[] = {i};
                s.MessageBox(("Q" + std::to_string(i)).c_str(), a, 1);
            }
    };
    std::thread a(worker, 0), b(worker, 1);
    a.join();
    b.join();
    EXPECT_EQ(g_shown.size(), 40u);  // each asked once, then answered from the store
    std::string saved = ReadAll(path);
    size_t states = 0;
    for (size_t p = saved.find("<State"); p != std::string::npos; p = saved.find("<State", p + 1)) ++states;
    EXPECT_EQ(states, 40u);
}

} // namespace

namespace {

// The shipped master: it parses, and every question the editor asks by name
// is there with a text whose directives are all text or number arguments.
TEST(DnaaMaster, HoldsEveryNamedQuestion) {
    qwtest::TempDir dir;
    std::string user = dir.file("QWDNAA.abc");
    CDNAA_MsgBox s(user.c_str(), nullptr, nullptr, false, false, true);
    ASSERT_TRUE(CopyFileA(QW_SOURCE_DIR "/config/QWDNAA.xxx", user.c_str(), FALSE));
    ASSERT_TRUE(s.EnsureOpen());
    const char* names[] = {"CmdLineFileNotFound", "FileAlreadyOpen", "Project_AlreadyOpen", "TraceSDBProgress",
                           "TryEditMode", "OpenA_MAK_file", "SyncProjectItemFilenameCase", "SDBOpenFailed",
                           "HowToBreakOutOfReplace", "FindMatchedZeroCharacters", "QWCompInThread"};
    for (const char* n : names) {
        std::string text;
        EXPECT_EQ(s.GetMessageText(&text, n, nullptr, 0), 1) << n;
        EXPECT_FALSE(text.empty()) << n;
    }
}

} // namespace

namespace {

// The setup dialog: its rows leave out hidden prompts and check boxes;
// "Disable All" then OK turns every listed message off and saves.
class DnaaSetup : public Dnaa {};

void CALLBACK PressDisableAllThenOk(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dlg = FindWindowA("#32770", "\"Do not ask again\" message box setup");
    if (!dlg) return;
    KillTimer(nullptr, id);
    SendMessageA(dlg, WM_COMMAND, 263, 0);
    PostMessageA(dlg, WM_COMMAND, IDOK, 0);
}

TEST_F(DnaaSetup, RowsAndDisableAll) {
    CDNAA_MsgBox s(path.c_str(), nullptr, nullptr, true, false, true);
    std::vector<CDNAA_MsgBox::SetupRow> rows = s.GetSetupRows();
    ASSERT_EQ(rows.size(), 2u);  // Plain and Bar; Hidden, Startup (empty prompt), Empty, Ents are not listed
    EXPECT_EQ(rows[0].id, "Plain");
    EXPECT_EQ(rows[0].image, 0);  // stop icon
    EXPECT_TRUE(rows[0].checked);
    EXPECT_FALSE(rows[1].checked);

    SetTimer(nullptr, 0, 10, PressDisableAllThenOk);
    EXPECT_EQ(s.ShowSetupDialog(nullptr), 1);
    for (auto& r : s.GetSetupRows()) EXPECT_FALSE(r.checked) << r.id;
    CDNAA_MsgBox reread(path.c_str(), nullptr, nullptr, true, false, true);
    for (auto& r : reread.GetSetupRows()) EXPECT_FALSE(r.checked) << r.id;
}

} // namespace
