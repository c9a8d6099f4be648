// The editing programs on a real edit view of a document under Wine, run
// through the command layer as a key or menu would run them: copy, cut and
// paste through the Windows clipboard, undo and redo, Enter with smart
// indentation, paragraph reformat, templates, the small editing commands
// and the named buffers.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "VmEngine/vm.h"
#include "commands/cmdexec.h"
#include "commands/cmdtable.h"
#include "commands/interp.h"
#include "editor/clipboard.h"
#include "editor/editview.h"
#include "editor/langdict.h"
#include "editor/panes.h"
#include "editor/qwdoc.h"
#include "editor/stylesheet.h"
#include "opsys/shell_outlets.h"
#include "tests/commands/interp_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

using Lines = std::vector<std::string>;

std::string g_config;

int ConfigFolder(char* out, int size, int) {
    if (int(g_config.size()) >= size) return 0;
    std::copy(g_config.begin(), g_config.end(), out);
    out[g_config.size()] = '\0';
    return 1;
}

class EditPrograms : public itest::InterpTest {
protected:
    void SetUp() override {
        itest::InterpTest::SetUp();
        paths_.macro_folder = QW_MACRO_DIR;
        paths_.compiler.clear();
        // The stand-in editor is older than the programs the build compiled.
        std::filesystem::last_write_time(
            editor_, std::filesystem::last_write_time(QW_MACRO_DIR "/Qw_TextSel.ces") - std::chrono::hours(24));
        g_config = tmp_.file("config/");
        std::filesystem::create_directories(g_config);
        std::filesystem::create_directories(tmp_.file("master"));
        QwShellOutlets o = QwGetShellOutlets();
        o.config_folder = ConfigFolder;
        QwSetShellOutlets(&o);
        SetLanguageDictionaryFolders(tmp_.file("master/").c_str(), "JS");
        qwtest::WriteFileBytes(g_config + "lang_c.JS",
                               "[Keywords]\nif\n[Templates]\nfor\tfor () {\\n}\nst\tstruct  {\\n};\n");
        ASSERT_EQ(1, CreateStyleSheetArray(tmp_.file("sheets.xxx").c_str()));
        ASSERT_EQ(1, FindOrLoadLanguageSpec(&lang_, 4, nullptr, nullptr));
        sheet_ = GetStyleSheetArray()->AddStyleSheet("EditTest", "c", 4);
        ASSERT_NE(sheet_, nullptr);
        sheet_->m_IndentSize = 4;
        sheet_->m_RightMargin = 20;
        sheet_->m_Flags[SSF_AUTO_INDENT] = 1;
        sheet_->m_Flags[SSF_SMART_INDENT] = 1;
        sheet_->m_Flags[SSF_WORD_WRAP] = 0;
        sheet_->m_Flags[SSF_VIRTUAL_FILLER] = 0;
        sheet_->m_Flags[SSF_STRIP_TRAILING] = 0;
        sheet_->m_LanguageIndex = lang_;
        InstallEditCommands();
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QwEditProgramsParent";
        RegisterClassA(&wc);
        parent_ = CreateWindowA("QwEditProgramsParent", "", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr,
                                nullptr, nullptr, nullptr);
        ASSERT_TRUE(parent_);
    }

    void TearDown() override {
        if (view_ && IsWindow(view_->hwnd())) DestroyWindow(view_->hwnd());
        view_ = nullptr;
        DestroyWindow(parent_);
        DestroyStyleSheetArray();
        ResetLanguageData(0x1);
        SetLanguageDictionaryFolders(nullptr, nullptr);
        itest::InterpTest::TearDown();
    }

    // A document of these lines shown in an edit view.
    CQWEditView* Open(const Lines& lines) {
        if (view_ && IsWindow(view_->hwnd())) DestroyWindow(view_->hwnd());
        VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
        for (size_t i = 0; i < lines.size(); ++i)
            vm_insert_line(b, int(i), lines[i].data(), int(lines[i].size()));
        auto* doc = new CQWDoc; // goes with its last view
        EXPECT_EQ(1, doc->BindBuffer(b));
        doc->SetStyleSheetByName("EditTest", 0);
        view_ = new CQWEditView;
        RECT rc{0, 0, 500, 300};
        EXPECT_TRUE(view_->CreateView(parent_, 59648, doc, rc, WS_CHILD | WS_VISIBLE));
        SendMessageA(view_->hwnd(), WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));
        return view_;
    }

    Lines Text() {
        Lines out;
        VMB* b = view_->GetBuffer();
        for (int l = 1; l <= vm_line_count(b); ++l) {
            std::string t;
            EditReadLine(view_->LoadCore(), l, &t);
            out.push_back(t);
        }
        return out;
    }

    // Runs a command of the table on the view, with a parameter text or none.
    int Cmd(int id, const char* text = nullptr) {
        K_cmd_params p;
        K_cmd_params_init(&p, 1, id, text, 0, 0);
        return Run_k_cmd(id, K_STATE_EDITABLE, static_cast<fw::View*>(view_), &p);
    }

    void Caret(int line, int col) {
        EditCore& e = view_->LoadCore();
        EditSetCaret(e, line, col);
        view_->StoreCore(false);
    }
    std::pair<int, int> CaretAt() {
        EditCore& e = view_->LoadCore();
        return {e.line, e.col};
    }

    void Type(const std::string& s) {
        for (char c : s) view_->TypingStateCommand(static_cast<unsigned char>(c));
    }

    static std::string ClipboardText(int* style) {
        std::string t;
        EXPECT_TRUE(GetTextFromClipboard(nullptr, &t, style));
        return t;
    }

    int lang_ = -1;
    CStyleSheet* sheet_ = nullptr;
    HWND parent_ = nullptr;
    CQWEditView* view_ = nullptr;
};

// Copy puts the block on the Windows clipboard with its style; paste
// brings it back as the same kind of block; cut removes it.
TEST_F(EditPrograms, CopyCutAndPasteThroughTheClipboard) {
    struct Case {
        const char* what;
        int type, sl, sc, el, ec;
        std::string clip;
        int style;
        int paste_line, paste_col;
        Lines pasted, cut;
    } cases[] = {
        {"stream", QW_SEL_CHAR, 1, 2, 2, 3, "cdef\r\nABC", 0, 3, 1,
         {"abcdef", "ABCDEF", "xcdef", "ABCyz"}, {"abDEF", "xyz"}},
        {"column", QW_SEL_COLUMN, 1, 2, 2, 4, "bc\r\nBC\r\n", 2, 3, 0,
         {"abcdef", "ABCDEF", "bcxyz", "BC", ""}, {"adef", "ADEF", "xyz"}},
        {"line", QW_SEL_LINE, 2, 0, 3, 0, "ABCDEF\r\n", 1, 1, 0,
         {"ABCDEF", "abcdef", "ABCDEF", "xyz"}, {"abcdef", "xyz"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Open({"abcdef", "ABCDEF", "xyz"});
        ASSERT_EQ(1, view_->SelectText(c.sl, c.sc, c.el, c.ec, c.type, QW_SST_MOUSE));
        EXPECT_EQ(1, Cmd(455));
        int style = -1;
        EXPECT_EQ(c.clip, ClipboardText(&style));
        EXPECT_EQ(c.style, style);
        EXPECT_EQ((Lines{"abcdef", "ABCDEF", "xyz"}), Text()); // copy changes nothing
        view_->SetSelection(3);
        Caret(c.paste_line, c.paste_col);
        EXPECT_EQ(1, Cmd(457));
        EXPECT_EQ(c.pasted, Text());
        // One undo takes the whole paste back.
        EXPECT_EQ(1, Cmd(450));
        EXPECT_EQ((Lines{"abcdef", "ABCDEF", "xyz"}), Text());
        ASSERT_EQ(1, view_->SelectText(c.sl, c.sc, c.el, c.ec, c.type, QW_SST_MOUSE));
        EXPECT_EQ(1, Cmd(456));
        EXPECT_EQ(c.cut, Text());
        EXPECT_EQ(c.clip, ClipboardText(&style));
    }
    // Without a selection there is nothing to copy or cut.
    Open({"abc"});
    EXPECT_EQ(0, Cmd(455));
    EXPECT_EQ(0, Cmd(456));
    EXPECT_EQ((Lines{"abc"}), Text());
}

// The Shift+move commands start a selection at the caret and carry its end
// with the caret; what they select is what Copy puts on the clipboard.
TEST_F(EditPrograms, ShiftMovesSelectWhatCopyTakes) {
    InstallNavigationCommands();
    struct Case {
        const char* what;
        std::vector<int> moves;
        std::string clip;
    } cases[] = {
        {"right twice", {413, 413}, "cd"},
        {"down then end", {409, 417}, "cdef\r\nABCDEF"},
        {"right then back left", {413, 413, 411}, "c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Open({"abcdef", "ABCDEF", "xyz"});
        Caret(1, 2);
        for (int id : c.moves) Cmd(id);
        ASSERT_TRUE(view_->HasSelection());
        EXPECT_EQ(1, Cmd(455));
        int style = -1;
        EXPECT_EQ(c.clip, ClipboardText(&style));
        EXPECT_EQ(0, style);
    }
}

// Text another program put on the clipboard (no private format) pastes as
// a stream; NULs end it and lone CRs break lines.
TEST_F(EditPrograms, PastesPlainClipboardText) {
    Open({"<>"});
    ASSERT_TRUE(OpenClipboard(view_->hwnd()));
    EmptyClipboard();
    const char data[] = "one\rtwo\r\nthree\0hidden";
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, sizeof data);
    std::memcpy(GlobalLock(h), data, sizeof data);
    GlobalUnlock(h);
    SetClipboardData(CF_TEXT, h);
    CloseClipboard();
    Caret(1, 1);
    EXPECT_EQ(1, Cmd(457));
    EXPECT_EQ((Lines{"<one", "two", "three>"}), Text());
    EXPECT_EQ(std::make_pair(3, 5), CaretAt());
}

// Typed words and a paste are undone group by group and redone again.
TEST_F(EditPrograms, UndoAndRedoOfTypingAndPaste) {
    Open({"start"});
    EXPECT_EQ(0, Cmd(450));
    EXPECT_EQ("Nothing to undo", Status().back());
    Caret(1, 5);
    Type(" ab cd");
    PutTextOnClipboard(view_->hwnd(), "X\r\nY", 0, 1);
    EXPECT_EQ(1, Cmd(457));
    const Lines edited = {"start ab cdX", "Y"};
    ASSERT_EQ(edited, Text());
    EXPECT_EQ(1, Cmd(450));
    EXPECT_EQ((Lines{"start ab cd"}), Text());
    EXPECT_EQ(1, Cmd(450));
    EXPECT_EQ((Lines{"start ab "}), Text());
    while (Cmd(450) == 1) {
    }
    EXPECT_EQ((Lines{"start"}), Text());
    while (Cmd(451) == 1) {
    }
    EXPECT_EQ(edited, Text());
    EXPECT_EQ("Nothing to redo", Status().back());
}

// Enter after "{" indents a level deeper, between "{" and "}" opens a line
// with the brace a level out; one undo takes a smart Enter back. Without
// smart indentation the view's own split runs.
TEST_F(EditPrograms, EnterWithSmartIndent) {
    Open({"int f(void) {", "    if (x) {}"});
    Caret(1, 13);
    EXPECT_EQ(1, Cmd(433));
    EXPECT_EQ((Lines{"int f(void) {", "    ", "    if (x) {}"}), Text());
    EXPECT_EQ(std::make_pair(2, 4), CaretAt());
    Caret(3, 12);
    EXPECT_EQ(1, Cmd(433));
    EXPECT_EQ((Lines{"int f(void) {", "    ", "    if (x) {", "        ", "    }"}), Text());
    EXPECT_EQ(std::make_pair(4, 8), CaretAt());
    EXPECT_EQ(1, Cmd(450));
    EXPECT_EQ((Lines{"int f(void) {", "    ", "    if (x) {}"}), Text());
    // The open-line commands keep the indentation too.
    Caret(3, 2);
    EXPECT_EQ(1, Cmd(432));
    EXPECT_EQ("    if (x) {}", Text()[2]);
    EXPECT_EQ("    ", Text()[3]);
    EXPECT_EQ(1, Cmd(431));
    EXPECT_EQ((Lines{"int f(void) {", "    ", "    if (x) {}", "    ", "    "}), Text());

    sheet_->m_Flags[SSF_SMART_INDENT] = 0;
    Open({"    a {"});
    Caret(1, 7);
    EXPECT_EQ(1, Cmd(433));
    EXPECT_EQ((Lines{"    a {", "    "}), Text());
}

// A paragraph refills between blank lines at the margin or at the caret's
// column, keeps its indentation and the caret's place in the text, and is
// undone in one step.
TEST_F(EditPrograms, ParagraphReformat) {
    const Lines before = {"head", "", "  one two three four", "  five six seven eight nine", "", "tail"};
    Open(before);
    Caret(4, 10); // after "six"
    EXPECT_EQ(1, Cmd(552));
    EXPECT_EQ((Lines{"head", "", "  one two three four", "  five six seven", "  eight nine", "", "tail"}),
              Text());
    EXPECT_EQ(std::make_pair(4, 10), CaretAt());
    EXPECT_EQ(1, Cmd(450));
    EXPECT_EQ(before, Text());
    // To the caret's column: 12 columns wide.
    Caret(3, 12);
    EXPECT_EQ(1, Cmd(553));
    EXPECT_EQ((Lines{"head", "", "  one two", "  three four", "  five six", "  seven", "  eight nine", "",
                     "tail"}),
              Text());
    // A blank line is no paragraph; the last paragraph refills up to the end.
    Caret(2, 0);
    EXPECT_EQ(0, Cmd(552));
    Open({"a b", "c"});
    Caret(2, 1);
    EXPECT_EQ(1, Cmd(552));
    EXPECT_EQ((Lines{"a b c"}), Text());
    EXPECT_EQ(std::make_pair(1, 5), CaretAt());
}

// A template name before the caret becomes its expansion (Space is
// consumed); another word is left for the Space to follow.
TEST_F(EditPrograms, TemplateExpansion) {
    Open({"  for", "  x"});
    K_cmd_params p;
    K_cmd_params_init(&p, 0, ' ', nullptr, 0, 0);
    Caret(1, 5);
    EXPECT_EQ(1, CExe_ExecuteByName("template", 1, ' ', 0, static_cast<fw::View*>(view_), &p));
    EXPECT_EQ((Lines{"  for () {", "  }", "  x"}), Text());
    EXPECT_EQ(std::make_pair(1, 7), CaretAt());
    Caret(3, 3);
    EXPECT_EQ(0, CExe_ExecuteByName("template", 1, ' ', 0, static_cast<fw::View*>(view_), &p));
    EXPECT_EQ("  x", Text()[2]);
    // 546 with no "()": the caret ends after the expansion.
    Open({"st"});
    Caret(1, 2);
    EXPECT_EQ(1, Cmd(546));
    EXPECT_EQ((Lines{"struct  {", "};"}), Text());
    EXPECT_EQ(std::make_pair(2, 2), CaretAt());
    EXPECT_EQ(1, Cmd(450));
    EXPECT_EQ((Lines{"st"}), Text());
}

TEST_F(EditPrograms, WordCaseTransposeAndSelectedLines) {
    Open({"hello World", "  two", "three"});
    Caret(1, 2);
    EXPECT_EQ(1, Cmd(446));
    EXPECT_EQ("HELLO World", Text()[0]);
    EXPECT_EQ(std::make_pair(1, 2), CaretAt());
    EXPECT_EQ(1, Cmd(446));
    EXPECT_EQ("hello World", Text()[0]);
    Caret(1, 11); // right after "World"
    EXPECT_EQ(1, Cmd(446));
    EXPECT_EQ("hello WORLD", Text()[0]);
    Caret(1, 2);
    EXPECT_EQ(1, Cmd(447));
    EXPECT_EQ("ehllo WORLD", Text()[0]);
    Caret(1, 1);
    EXPECT_EQ(0, Cmd(447));
    // Lines 1 and 2 selected (the selection ends at line 3's start).
    ASSERT_EQ(1, view_->SelectText(1, 0, 3, 0, QW_SEL_CHAR, QW_SST_MOUSE));
    EXPECT_EQ(1, Cmd(464));
    EXPECT_EQ((Lines{"    ehllo WORLD", "      two", "three"}), Text());
    EXPECT_EQ(1, Cmd(463));
    EXPECT_EQ(1, Cmd(463));
    EXPECT_EQ((Lines{"ehllo WORLD", "two", "three"}), Text());
    ASSERT_EQ(1, view_->SelectText(1, 2, 2, 3, QW_SEL_COLUMN, QW_SST_MOUSE));
    EXPECT_EQ(1, Cmd(462));
    EXPECT_EQ((Lines{"eHllo WORLD", "tWo", "three"}), Text());
    EXPECT_EQ(1, Cmd(450));
    EXPECT_EQ((Lines{"ehllo WORLD", "two", "three"}), Text());
}

TEST_F(EditPrograms, NamedBuffersAndFiles) {
    Open({"alpha beta", "gamma"});
    ASSERT_EQ(1, view_->SelectText(1, 0, 1, 5, QW_SEL_CHAR, QW_SST_MOUSE));
    EXPECT_EQ(1, Cmd(459, "keep"));
    ASSERT_EQ(1, view_->SelectText(2, 0, 2, 5, QW_SEL_CHAR, QW_SST_MOUSE));
    EXPECT_EQ(1, Cmd(460, "keep"));
    view_->SetSelection(3);
    Caret(2, 5);
    EXPECT_EQ(1, Cmd(382, "keep"));
    EXPECT_EQ((Lines{"alpha beta", "gammaalpha", "gamma"}), Text());
    EXPECT_EQ(0, Cmd(382, "no such buffer"));
    // The selection to a file and the file back in.
    const std::string path = tmp_.file("part.txt");
    ASSERT_EQ(1, view_->SelectText(1, 6, 1, 10, QW_SEL_CHAR, QW_SST_MOUSE));
    EXPECT_EQ(1, Cmd(458, path.c_str()));
    EXPECT_EQ("beta", qwtest::ReadFileBytes(path));
    EXPECT_EQ(1, Cmd(461, "*"));
    EXPECT_EQ("alpha ****", Text()[0]);
    view_->SetSelection(3);
    Caret(3, 0);
    EXPECT_EQ(1, Cmd(320, path.c_str()));
    EXPECT_EQ("betagamma", Text()[2]);
    EXPECT_EQ(0, Cmd(320, tmp_.file("missing.txt").c_str()));
    EXPECT_EQ(0, Cmd(461));
}

// Matching brace: from a bracket at the caret or right before it to its
// partner, nesting counted per kind and across lines.
TEST_F(EditPrograms, MatchingBrace) {
    Open({"f(a[1], (b)) {", "  { x[0]; }", "}", "(unclosed"});
    struct Case { int line, col, ok; std::pair<int, int> to; } cases[] = {
        {1, 1, 1, {1, 11}},  // "(" -> its ")" past the nested pair
        {1, 12, 1, {1, 1}},  // right after ")" -> back to "("
        {1, 3, 1, {1, 5}},   // "[" -> "]"
        {1, 13, 1, {3, 0}},  // "{" -> "}" two lines down, past the inner pair
        {3, 0, 1, {1, 13}},  // and back
        {2, 4, 0, {2, 4}},   // no bracket here: the caret stays
        {4, 0, 0, {4, 0}},   // no partner
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line * 100 + c.col);
        Caret(c.line, c.col);
        EXPECT_EQ(c.ok, Cmd(508));
        EXPECT_EQ(c.to, CaretAt());
    }
}

} // namespace
