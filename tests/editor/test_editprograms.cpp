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
#include "editor/dragdrop.h"
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


// ---- Drag and drop between views ---------------------------------------------------------
// The drop target's methods are driven directly with the data object a drag
// from the source view offers, as the system's drag loop would call them.
class DragDrop : public EditPrograms {
protected:
    void SetUp() override {
        EditPrograms::SetUp();
        HDC dc = GetDC(nullptr);
        CQWTextView::MeasureFont(dc);
        ReleaseDC(nullptr, dc);
    }
    void TearDown() override {
        if (other_ && IsWindow(other_->hwnd())) DestroyWindow(other_->hwnd());
        other_ = nullptr;
        TheDragState() = DragState();
        EditPrograms::TearDown();
    }
    // A second view: on a document of its own, or (lines empty) on the first one's.
    CQWEditView* OpenOther(const Lines& lines, bool same_document = false) {
        fw::Document* doc = same_document ? view_->GetDocument() : nullptr;
        if (!doc) {
            VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
            for (size_t i = 0; i < lines.size(); ++i)
                vm_insert_line(b, int(i), lines[i].data(), int(lines[i].size()));
            auto* d = new CQWDoc;
            EXPECT_EQ(1, d->BindBuffer(b));
            d->SetStyleSheetByName("EditTest", 0);
            doc = d;
        }
        other_ = new CQWEditView;
        RECT rc{0, 0, 500, 300};
        EXPECT_TRUE(other_->CreateView(parent_, 59649, doc, rc, WS_CHILD | WS_VISIBLE));
        SendMessageA(other_->hwnd(), WM_SIZE, 0, MAKELPARAM(rc.right, rc.bottom));
        return other_;
    }
    static Lines TextOf(CQWEditView* v) {
        Lines out;
        for (int l = 1; l <= vm_line_count(v->GetBuffer()); ++l) {
            std::string t;
            EditReadLine(v->LoadCore(), l, &t);
            out.push_back(t);
        }
        return out;
    }
    // The client point of a line and display column of a view.
    static POINT At(CQWEditView* v, int line, int dcol) {
        const int cw = std::max(EditorCellWidth(), 1), ch = std::max(EditorCellHeight(), 1);
        return POINT{v->GetTextBarWidth() + (dcol - 1 - int(v->GetFirstVisibleColumn())) * cw + cw / 4,
                     (line - int(v->GetTopLine())) * ch + ch / 4};
    }
    // A whole drag from `from`'s selection onto `to` at (line, dcol) with the
    // key state; the effect the drop answered.
    DWORD Drag(CQWEditView* from, CQWEditView* to, int line, int dcol, DWORD keys) {
        IDataObject* data = from->MakeSelectionDataObject();
        EXPECT_NE(data, nullptr);
        if (!data) return DROPEFFECT_NONE;
        DragState& d = TheDragState();
        from->OnDragStart();
        d.source = from;
        DWORD effect = to->OnDragEnter(data, keys, At(to, line, dcol));
        if (effect != DROPEFFECT_NONE) effect = to->OnDragOver(data, keys, At(to, line, dcol));
        if (effect != DROPEFFECT_NONE && !to->OnDrop(data, effect, At(to, line, dcol))) effect = DROPEFFECT_NONE;
        if (effect == DROPEFFECT_NONE) to->OnDragLeave();
        d.source = nullptr;
        from->OnDragEnd(effect, true);
        data->Release();
        return effect;
    }
    CQWEditView* other_ = nullptr;
};

TEST_F(DragDrop, DropsBetweenViewsWithUndoOnEachSide) {
    struct Case {
        const char* what;
        Lines source, target;
        int sl, sc, el, ec, type; // the dragged selection (column: display columns)
        int line, dcol;           // the drop point
        DWORD keys, effect;
        Lines source_after, target_after;
    };
    // A column block reaching the last line leaves an empty line after it.
    const Case cases[] = {
        {"stream move", {"hello world"}, {"abc"}, 1, 5, 1, 11, QW_SEL_CHAR, 1, 2, 0, DROPEFFECT_MOVE,
         {"hello"}, {"a worldbc"}},
        {"stream copy", {"hello world"}, {"abc"}, 1, 0, 1, 5, QW_SEL_CHAR, 1, 4, MK_CONTROL, DROPEFFECT_COPY,
         {"hello world"}, {"abchello"}},
        {"column copy", {"abcd", "efgh"}, {"12345", "67890"}, 1, 2, 2, 4, QW_SEL_COLUMN, 1, 3, MK_CONTROL,
         DROPEFFECT_COPY, {"abcd", "efgh"}, {"12bc345", "67fg890", ""}},
        {"column move", {"abcd", "efgh"}, {"12345", "67890"}, 1, 2, 2, 4, QW_SEL_COLUMN, 2, 6, 0,
         DROPEFFECT_MOVE, {"ad", "eh"}, {"12345", "67890bc", "     fg", ""}},
        {"line move", {"one", "two", "three"}, {"x", "y"}, 2, 0, 3, 0, QW_SEL_LINE, 2, 1, 0, DROPEFFECT_MOVE,
         {"one", "three"}, {"x", "two", "y"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Open(c.source);
        CQWEditView* target = OpenOther(c.target);
        ASSERT_EQ(1, view_->SelectText(c.sl, c.sc, c.el, c.ec, c.type, QW_SST_MOUSE));
        EXPECT_EQ(c.effect, Drag(view_, target, c.line, c.dcol, c.keys));
        EXPECT_EQ(c.source_after, TextOf(view_));
        EXPECT_EQ(c.target_after, TextOf(target));
        // The dropped text is selected in the target.
        EXPECT_TRUE(target->HasSelection());
        // One undo on each side takes its part back.
        EXPECT_EQ(1, target->Undo());
        EXPECT_EQ(c.target, TextOf(target));
        if (c.effect == DROPEFFECT_MOVE) {
            EXPECT_EQ(1, view_->Undo());
        }
        EXPECT_EQ(c.source, TextOf(view_));
        DestroyWindow(target->hwnd());
        other_ = nullptr;
    }
}

TEST_F(DragDrop, MoveWithinOneDocumentIsOneUndoGroup) {
    // In the same view, and from one view of a document to another of it.
    for (bool second_view : {false, true}) {
        SCOPED_TRACE(second_view ? "two views" : "one view");
        Open({"one two three", "four"});
        CQWEditView* target = second_view ? OpenOther({}, true) : view_;
        ASSERT_EQ(1, view_->SelectText(1, 4, 1, 8, QW_SEL_CHAR, QW_SST_MOUSE)); // "two "
        EXPECT_EQ(DWORD(DROPEFFECT_MOVE), Drag(view_, target, 2, 5, 0));
        EXPECT_EQ((Lines{"one three", "fourtwo "}), TextOf(view_));
        EXPECT_EQ(1, target->Undo());
        EXPECT_EQ((Lines{"one two three", "four"}), TextOf(view_));
        // A move to a place before the source on the same line.
        ASSERT_EQ(1, view_->SelectText(1, 8, 1, 13, QW_SEL_CHAR, QW_SST_MOUSE)); // "three"
        EXPECT_EQ(DWORD(DROPEFFECT_MOVE), Drag(view_, target, 1, 1, 0));
        EXPECT_EQ((Lines{"threeone two ", "four"}), TextOf(view_));
        EXPECT_EQ(1, target->Undo());
        EXPECT_EQ((Lines{"one two three", "four"}), TextOf(view_));
        if (second_view) {
            DestroyWindow(target->hwnd());
            other_ = nullptr;
        }
    }
}

TEST_F(DragDrop, RefusedDrops) {
    Open({"one two three"});
    // Onto the dragged text itself: nothing changes, for a move or a copy.
    for (DWORD keys : {DWORD(0), DWORD(MK_CONTROL)}) {
        ASSERT_EQ(1, view_->SelectText(1, 4, 1, 7, QW_SEL_CHAR, QW_SST_MOUSE));
        const int depth = view_->GetUndoDepth();
        EXPECT_EQ(DWORD(DROPEFFECT_NONE), Drag(view_, view_, 1, 6, keys));
        EXPECT_EQ((Lines{"one two three"}), TextOf(view_));
        EXPECT_EQ(depth, view_->GetUndoDepth());
    }
    // Ctrl and Shift together.
    CQWEditView* target = OpenOther({"x"});
    ASSERT_EQ(1, view_->SelectText(1, 4, 1, 7, QW_SEL_CHAR, QW_SST_MOUSE));
    EXPECT_EQ(DWORD(DROPEFFECT_NONE), Drag(view_, target, 1, 1, MK_CONTROL | MK_SHIFT));
    EXPECT_EQ((Lines{"x"}), TextOf(target));
    EXPECT_EQ((Lines{"one two three"}), TextOf(view_));
    // A view-only document takes nothing.
    vm_state_flags(target->GetBuffer(), VM_OP_SET, DOC_ST_VIEW_MODE);
    ASSERT_EQ(1, view_->SelectText(1, 4, 1, 7, QW_SEL_CHAR, QW_SST_MOUSE));
    EXPECT_EQ(DWORD(DROPEFFECT_NONE), Drag(view_, target, 1, 1, 0));
    EXPECT_EQ((Lines{"x"}), TextOf(target));
    EXPECT_EQ((Lines{"one two three"}), TextOf(view_));
    // Data without text.
    IDataObject* none = MakeTextDataObject("", 0);
    FORMATETC f{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_NE(S_OK, none->QueryGetData(&f));
    none->Release();
}

TEST_F(DragDrop, DataObjectOffersBothTextFormats) {
    Open({"abcd", "efgh"});
    ASSERT_EQ(1, view_->SelectText(1, 2, 2, 4, QW_SEL_COLUMN, QW_SST_MOUSE));
    IDataObject* data = view_->MakeSelectionDataObject();
    ASSERT_NE(data, nullptr);
    IEnumFORMATETC* formats = nullptr;
    ASSERT_EQ(S_OK, data->EnumFormatEtc(DATADIR_GET, &formats));
    std::vector<UINT> seen;
    FORMATETC f;
    while (formats->Next(1, &f, nullptr) == S_OK) seen.push_back(f.cfFormat);
    formats->Release();
    EXPECT_EQ((std::vector<UINT>{RegisterTextFormat(), CF_TEXT}), seen);
    auto read = [&](UINT cf) {
        FORMATETC fe{CLIPFORMAT(cf), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM m{};
        std::string out;
        if (data->GetData(&fe, &m) != S_OK) return std::string("(none)");
        out = static_cast<const char*>(GlobalLock(m.hGlobal));
        GlobalUnlock(m.hGlobal);
        ReleaseStgMedium(&m);
        return out;
    };
    EXPECT_EQ("bc\r\nfg\r\n", read(CF_TEXT));
    EXPECT_EQ("Sel_Style=2,how=1\r\nbc\r\nfg\r\n", read(RegisterTextFormat()));
    TheDragState().drop_handled = true;
    EXPECT_EQ("Sel_Style=2,how=0\r\nbc\r\nfg\r\n", read(RegisterTextFormat()));
    EXPECT_EQ("(none)", read(CF_UNICODETEXT));
    // What a reader of the data makes of it: the private format's style.
    std::string text;
    int style = -1;
    EXPECT_TRUE(ReadDataObjectText(data, &text, &style));
    EXPECT_EQ(2, style);
    EXPECT_EQ("bc\r\nfg\r\n", text);
    data->Release();
}

// Near an edge of the window a drag scrolls the view, a line or a column at
// a time, only after the pointer has stayed there a moment.
TEST_F(DragDrop, DragNearTheEdgesScrollsAfterADelay) {
    Lines lines;
    for (int i = 1; i <= 200; ++i) lines.push_back("line " + std::to_string(i));
    Open(lines);
    view_->SetTopLine(50);
    const int ch = std::max(EditorCellHeight(), 1);
    const int rows_y = int(view_->GetLinesInWindow()) * ch;
    struct Case {
        const char* what;
        POINT pt;
        int top_after;
    } cases[] = {
        {"top edge", POINT{view_->GetTextBarWidth() + 40, 2}, 49},
        {"below the last row", POINT{view_->GetTextBarWidth() + 40, rows_y + 1}, 51},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        view_->SetTopLine(50);
        DWORD e = view_->OnDragScroll(0, c.pt);
        EXPECT_EQ(DWORD(DROPEFFECT_MOVE | DROPEFFECT_SCROLL), e);
        EXPECT_EQ(50u, view_->GetTopLine()); // not at once
        Sleep(kDragScrollDelayMs + 20);
        view_->OnDragScroll(0, c.pt);
        EXPECT_EQ(uint32_t(c.top_after), view_->GetTopLine());
        view_->OnDragScroll(0, c.pt); // the next step waits for the interval
        EXPECT_EQ(uint32_t(c.top_after), view_->GetTopLine());
        // Back in the middle: no scrolling, the key effect alone.
        EXPECT_EQ(DWORD(DROPEFFECT_COPY), view_->OnDragScroll(MK_CONTROL, At(view_, 55, 3)));
    }
}

// A press on the selection and a release without a move is a click: the
// selection ends and the caret goes to the point.
TEST_F(DragDrop, ClickOnTheSelectionEndsIt) {
    Open({"one two three"});
    ASSERT_EQ(1, view_->SelectText(1, 4, 1, 7, QW_SEL_CHAR, QW_SST_MOUSE));
    POINT p = At(view_, 1, 6);
    EXPECT_TRUE(view_->PointOnSelection(p.x, p.y));
    POINT outside = At(view_, 1, 10);
    EXPECT_FALSE(view_->PointOnSelection(outside.x, outside.y));
    SendMessageA(view_->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    EXPECT_TRUE(view_->HasSelection()); // a drag may still follow
    SendMessageA(view_->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    EXPECT_FALSE(view_->HasSelection());
    EXPECT_EQ(std::make_pair(1, 5), CaretAt());
}

// ---- Typing and paste with the caret away from the selection ------------------------------
TEST_F(EditPrograms, SelectionIsReplacedOnlyWhereTheCaretIs) {
    struct Case {
        const char* what;
        int caret_line, caret_col;
        Lines after;
        bool selection_left;
    };
    const Case cases[] = {
        {"caret at the end", 1, 7, {"one X three"}, false},
        {"caret at the start", 1, 4, {"one X three"}, false},
        {"caret elsewhere", 2, 2, {"one two three", "fiXve"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Open({"one two three", "five"});
        ASSERT_EQ(1, view_->SelectText(1, 4, 1, 7, QW_SEL_CHAR, QW_SST_MOUSE));
        Caret(c.caret_line, c.caret_col);
        view_->TypingStateCommand('X');
        Lines want = c.after;
        if (want.size() == 1) want.push_back("five");
        EXPECT_EQ(want, Text());
        EXPECT_EQ(c.selection_left, view_->HasSelection());
        // Paste the same way.
        Open({"one two three", "five"});
        PutTextOnClipboard(view_->hwnd(), "X", 0, 1);
        ASSERT_EQ(1, view_->SelectText(1, 4, 1, 7, QW_SEL_CHAR, QW_SST_MOUSE));
        Caret(c.caret_line, c.caret_col);
        EXPECT_EQ(1, Cmd(457));
        EXPECT_EQ(want, Text());
    }
}

// ---- Lists of the named buffers --------------------------------------------------------------
TEST_F(EditPrograms, ListsTheNamedBuffers) {
    Open({"alpha beta"});
    ASSERT_EQ(1, view_->SelectText(1, 0, 1, 5, QW_SEL_CHAR, QW_SST_MOUSE));
    ASSERT_EQ(1, Cmd(459, "first"));
    ASSERT_EQ(1, Cmd(459, "second"));
    ASSERT_EQ(1, Cmd(459, "gone"));
    vmb_close(vmb_find(VMB_T_TEMP, "gone"), 0);
    struct Request {
        uint32_t tag;
        int32_t id;
        VMB* list;
        uint32_t flags;
    };
    VMB* list = vmb_open(VMB_T_TEMP, "TestList", 0);
    auto names = [&](int id) {
        vm_clear(list, 0);
        Request r{0x5F1967EAu, id, list, 0};
        CExe_ExecuteByName("Qw_TextSel", 1, id, 8, nullptr, &r);
        Lines out;
        for (int l = 1; l <= vm_line_count(list); ++l) {
            char t[300];
            int n = vm_read_text(list, l, 0, t, 299, nullptr);
            out.emplace_back(t, size_t(std::max(n, 0)));
        }
        return out;
    };
    for (int id : {380, 382, 383, 384, 459, 460, 461}) {
        SCOPED_TRACE(id);
        Lines got = names(id);
        // The scrap may exist from an earlier copy; the named ones follow in order.
        if (!got.empty() && got[0] == "Scrap") got.erase(got.begin());
        EXPECT_EQ((Lines{"first", "second"}), got);
    }
    EXPECT_TRUE(names(455).empty()); // copy has no list
    vmb_close(list, 0);
}

} // namespace
