// Tests of the editing engine over a real engine buffer: typing limits and
// padding, undo groups and the trim of the undo log, indent and undent
// stops, deletes at the buffer's ends, word deletes, splits and joins
// moving marks, block insertion (stream, column, long lines, NULs and lone
// CRs), selections by type and state, and a randomised edit/undo/redo run
// against a model string.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "VmEngine/vm.h"
#include "VmEngine/vmundo.h"
#include "editor/editops.h"
#include "tests/support/temp_dir.h"

namespace {

class Edit : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(1, vms_start(200, 4096000u, tmp_.file("QW32_Swap.001").c_str(), 0, 0));
        b_ = vmb_open(VMB_T_TEMP, "edit test", 0);
        ASSERT_NE(nullptr, b_);
        vm_state_flags(b_, VM_OP_SET, VM_ST_FULLY_READ);
        e_.buffer = b_;
        e_.marks = &marks_;
    }
    void TearDown() override { vms_stop(); }

    void Load(std::initializer_list<const char*> lines) {
        vm_clear(b_, 0);
        int n = 0;
        for (const char* l : lines) vm_insert_line(b_, n++, l, -1);
        EditSetCaret(e_, 1, 0);
    }
    std::string Text() const {
        std::string out;
        for (int l = 1; l <= vm_line_count(b_); ++l) {
            std::string t;
            EditReadLine(e_, l, &t);
            if (l > 1) out += '\n';
            out += t;
        }
        return out;
    }
    void Type(const char* s) {
        for (; *s; ++s) ASSERT_TRUE(EditTypeKey(e_, static_cast<unsigned char>(*s))) << *s;
    }
    int GroupRecords() const {
        VMB* log = vm_undo_buffer(b_, VM_UNDO_GET);
        int groups = 0;
        for (int l = 1; log && l <= vm_line_count(log); ++l) {
            char buf[8];
            vm_read_text(log, l, 0, buf, 2, nullptr);
            if (buf[0] != '5') ++groups;
        }
        return groups;
    }

    qwtest::TempDir tmp_;
    VMB* b_ = nullptr;
    CQWMarkTable marks_;
    EditCore e_;
};

TEST_F(Edit, TypingStopsAtTheLastColumnAndPadsPastTheEnd) {
    std::string full(4095, 'x');
    Load({full.c_str()});
    EditSetCaret(e_, 1, 4095);
    EXPECT_EQ(1, EditTypeKey(e_, 'y'));
    EXPECT_EQ(0, EditTypeKey(e_, 'z')); // column 4096
    EXPECT_EQ(full + "y", Text());

    Load({"ab"});
    EditSetCaretDisplay(e_, 1, 6); // past the end
    Type("c");
    EXPECT_EQ("ab   c", Text());
    e_.settings.fill_with_tabs = true;
    Load({"ab"});
    EditSetCaretDisplay(e_, 1, 12);
    Type("c");
    EXPECT_EQ("ab\t   c", Text());
    // A caret inside a tab keeps the text after the tab in its columns.
    Load({"a\tb"});
    EditSetCaretDisplay(e_, 1, 4);
    Type("X");
    EXPECT_EQ("a  X\tb", Text());
}

TEST_F(Edit, AWordAndItsBlanksFormOneUndoGroup) {
    Load({""});
    Type("ab  cd");
    EXPECT_EQ(2, GroupRecords());
    EXPECT_EQ(1, EditUndo(e_));
    EXPECT_EQ("ab  ", Text());
    EXPECT_EQ(1, EditUndo(e_));
    EXPECT_EQ("", Text());
    EXPECT_EQ(0, EditUndo(e_));
    EXPECT_EQ(1, EditRedo(e_));
    EXPECT_EQ(1, EditRedo(e_));
    EXPECT_EQ("ab  cd", Text());
    // A new change drops what could be redone.
    EditUndo(e_);
    Type("x");
    EXPECT_EQ(0, EditRedo(e_));
    EXPECT_EQ("ab  x", Text());
}

TEST_F(Edit, UndoLogKeepsTheNewestGroups) {
    e_.undo_max = 2;
    Load({""});
    Type("aa bb cc dd");
    EXPECT_EQ(2, GroupRecords());
    EXPECT_EQ(1, EditUndo(e_));
    EXPECT_EQ(1, EditUndo(e_));
    EXPECT_EQ(0, EditUndo(e_));
    EXPECT_EQ("aa bb ", Text());
    e_.undo_max = 0; // recording off
    Type("zz");
    EXPECT_EQ(0, EditUndoDepth(e_));
}

TEST_F(Edit, IndentAndUndentStops) {
    struct Case {
        int width;
        int from_dcol;
        int after_indent;
        int after_undent;
    } cases[] = {
        {4, 1, 5, 1}, {4, 3, 5, 1}, {4, 6, 9, 5}, {0, 1, 9, 1}, {121, 2, 9, 1}, {1, 3, 4, 3},
    };
    for (const Case& c : cases) {
        e_.settings.indent_width = c.width;
        Load({"                    x"});
        EditSetCaretDisplay(e_, 1, c.from_dcol);
        ASSERT_EQ(1, EditIndent(e_, 0));
        EXPECT_EQ(c.after_indent, e_.dcol) << c.width << " " << c.from_dcol;
        ASSERT_EQ(1, EditUndent(e_));
        EXPECT_EQ(c.after_undent, e_.dcol) << c.width << " " << c.from_dcol;
        std::string t;
        EditReadLine(e_, 1, &t);
        EXPECT_EQ(21u + (c.after_indent - c.from_dcol) - (c.after_indent - c.after_undent), t.size());
    }
    Load({"abc"});
    EXPECT_EQ(0, EditUndent(e_)); // column 1
    // Caret past the end with a free caret: only the caret moves.
    e_.settings.caret_past_end = true;
    e_.settings.indent_width = 4;
    EditSetCaret(e_, 1, 3);
    EditIndent(e_, 0);
    EXPECT_EQ("abc", Text());
    EXPECT_EQ(5, e_.dcol);
}

TEST_F(Edit, DeletesAtTheBufferEnds) {
    Load({"one", "two"});
    EditSetCaret(e_, 2, 1);
    EXPECT_EQ(1, EditDeleteLine(e_)); // last line: emptied, kept
    EXPECT_EQ("one\n", Text());
    EXPECT_EQ(0, EditDeleteLine(e_)); // already empty
    e_.stop = false;
    EditSetCaret(e_, 2, 0);
    EXPECT_EQ(0, EditDeleteRange(e_, 0, 1, QW_DR_JOIN)); // end of the last line
    EXPECT_TRUE(e_.stop);
    EXPECT_EQ("one\n", Text());
    EditSetCaret(e_, 1, 3);
    EXPECT_EQ(1, EditDeleteRange(e_, 3, 4, QW_DR_JOIN)); // joins the next line
    EXPECT_EQ("one", Text());
    EditSetCaret(e_, 1, 0);
    EXPECT_EQ(0, EditBackspace(e_)); // start of the buffer
    EXPECT_EQ(0, EditJoinLine(e_));
    EXPECT_EQ(0, EditJoinNext(e_));
    // Empty buffer: nothing happens, nothing breaks.
    vm_clear(b_, 0);
    EditSetCaret(e_, 1, 0);
    EXPECT_EQ(0, EditDeleteLine(e_));
    EXPECT_EQ(0, EditDeleteRange(e_, 0, 1, QW_DR_JOIN));
    EXPECT_EQ(0, EditDeleteSelection(e_));
    // A view-only document refuses every change.
    Load({"keep"});
    e_.view_only = true;
    EXPECT_EQ(0, EditTypeKey(e_, 'x'));
    EXPECT_EQ(0, EditDeleteLine(e_));
    EXPECT_EQ(0, EditSplitLine(e_, 1));
    EXPECT_EQ(0, EditInsertText(e_, "a\nb", 3, 0, 0));
    EXPECT_EQ("keep", Text());
}

TEST_F(Edit, WordDelete) {
    struct Case {
        int col;
        bool word_only;
        const char* result;
    } cases[] = {
        {0, false, "bar  baz"}, {0, true, "  bar  baz"}, {3, false, "foobar  baz"},
        {3, true, "foo  bar  baz"}, {1, false, "fbar  baz"}, {5, false, "foo  baz"},
    };
    for (const Case& c : cases) {
        Load({"foo  bar  baz"});
        EditSetCaret(e_, 1, c.col);
        EditDeleteWord(e_, c.word_only);
        EXPECT_EQ(c.result, Text()) << c.col << c.word_only;
    }
}

TEST_F(Edit, SplitAndJoinKeepMarksAndIndentation) {
    Load({"    int x = 1;"});
    marks_.Set(0, 1, 12);
    marks_.Set(1, 1, 2);
    EditSetCaret(e_, 1, 11);
    ASSERT_EQ(1, EditSplitLine(e_, 0));
    EXPECT_EQ("    int x =\n    1;", Text());
    int l = 0, c = 0;
    // The blank at the split went with the auto-indent; the mark follows its text.
    marks_.Get(0, &l, &c);
    EXPECT_EQ(2, l);
    EXPECT_EQ(4, c);
    marks_.Get(1, &l, &c);
    EXPECT_EQ(1, l);
    EXPECT_EQ(4, e_.col);
    EditSetCaret(e_, 2, 0);
    ASSERT_EQ(1, EditJoinLine(e_));
    EXPECT_EQ("    int x =    1;", Text());
    marks_.Get(0, &l, &c);
    EXPECT_EQ(1, l);
    EXPECT_EQ(15, c);
    EditUndo(e_);
    EditUndo(e_);
    EXPECT_EQ("    int x = 1;", Text());
}

TEST_F(Edit, BlockInsertion) {
    // Stream with CR LF, lone CR, NULs and a line longer than a line can show.
    Load({"[]"});
    EditSetCaret(e_, 1, 1);
    std::string text("a\r\nb\rc");
    text += std::string("\0d", 2);
    ASSERT_EQ(1, EditInsertText(e_, text.data(), text.size(), 0, 0));
    EXPECT_EQ(std::string("[a\nb\nc\0d]", 9), Text());
    std::string big(10000, 'q');
    Load({""});
    ASSERT_EQ(1, EditInsertText(e_, big.data(), big.size(), 0, 0));
    EXPECT_EQ(big, Text());
    EditUndo(e_);
    EXPECT_EQ("", Text());

    // Column paste over short lines and at the buffer's end.
    Load({"abcdef", "ab", "abcdef"});
    EditSetCaret(e_, 1, 4);
    ASSERT_EQ(1, EditInsertText(e_, "X\r\nY\r\nZ", 7, 2, 0));
    EXPECT_EQ("abcdXef\nab  Y\nabcdZef\n", Text());
    EditUndo(e_);
    // At the end of the buffer a column paste makes the lines it needs.
    EditSetCaret(e_, 2, 4);
    ASSERT_EQ(1, EditInsertText(e_, "X\r\nY\r\nZ", 7, 2, 0));
    EXPECT_EQ("abcdef\nab  X\nabcdYef\n    Z\n", Text());
    EditUndo(e_);
    EXPECT_EQ("abcdef\nab\nabcdef", Text());
    // Line style goes in at the start of the caret line.
    EditSetCaret(e_, 2, 1);
    EditInsertText(e_, "L\r\n", 3, 1, 0);
    EXPECT_EQ("abcdef\nL\nab\nabcdef", Text());
    // Overtype column paste writes over.
    e_.insert_mode = false;
    Load({"abcdef", "abcdef"});
    EditSetCaret(e_, 1, 1);
    EditInsertText(e_, "XY\r\nZW", 6, 2, 0);
    EXPECT_EQ("aXYdef\naZWdef\n", Text());
}

TEST_F(Edit, ColumnSelectionOverShortLines) {
    Load({"abcdefgh", "ab", "abcdefgh"});
    EditSetCaretDisplay(e_, 1, 3);
    EditSelectionMode(e_, QW_SEL_COLUMN);
    EditSetCaretDisplay(e_, 3, 6);
    EditSetSelection(e_, 2, false);
    SelectionBounds b = EditGetSelectionBounds(e_, false);
    ASSERT_EQ(QW_SB_VALID, b.code);
    EXPECT_EQ(3, b.start_dcol);
    EXPECT_EQ(6, b.end_dcol);
    std::string copy;
    EditCopyBlock(e_, b, &copy);
    EXPECT_EQ("cde\r\n\r\ncde\r\n", copy);
    ASSERT_EQ(1, EditDeleteSelection(e_));
    EXPECT_EQ("abfgh\nab\nabfgh", Text());
    EditUndo(e_);
    EXPECT_EQ("abcdefgh\nab\nabcdefgh", Text());
}

TEST_F(Edit, SelectionTypesAndStates) {
    Load({"one", "two", "three"});
    // Mode command twice toggles off.
    EditSetCaret(e_, 1, 1);
    EditSelectionMode(e_, QW_SEL_LINE);
    EXPECT_TRUE(EditHasSelection(e_));
    EXPECT_EQ(QW_SST_CARET, e_.sel_state);
    EditSelectionMode(e_, QW_SEL_LINE);
    EXPECT_FALSE(EditHasSelection(e_));

    struct Case {
        int type;
        int caret_line, caret_col;
        int code;
        const char* copy;
    } cases[] = {
        {QW_SEL_CHAR, 2, 1, QW_SB_VALID, "ne\r\nt"},
        {QW_SEL_CHAR_INCL, 2, 1, QW_SB_VALID, "ne\r\ntw"},
        {QW_SEL_LINE, 2, 1, QW_SB_VALID, "one\r\ntwo\r\n"},
        {QW_SEL_LINE, 3, 0, QW_SB_VALID, "one\r\ntwo\r\nthree"}, // last line to its end
        {QW_SEL_CHAR, 1, 1, QW_SB_EMPTY, ""},
        {QW_SEL_COLUMN, 3, 3, QW_SB_VALID, "ne\r\nwo\r\nhr\r\n"},
    };
    for (const Case& c : cases) {
        EditSetSelection(e_, 3, false);
        EditSetCaret(e_, 1, 1);
        EditSelectionMode(e_, c.type);
        EditSetCaret(e_, c.caret_line, c.caret_col);
        EditSetSelection(e_, 2, false);
        SelectionBounds b = EditGetSelectionBounds(e_, false);
        EXPECT_EQ(c.code, b.code) << c.type;
        if (b.code != QW_SB_VALID) continue;
        std::string copy;
        EditCopyBlock(e_, b, &copy);
        EXPECT_EQ(c.copy, copy) << c.type;
    }
    // Typing ends states 0, 3, 4, 5 and keeps 1 and 2 (when not replacing).
    e_.typing_replaces = false;
    for (int state : {0, 1, 2, 3, 4, 5}) {
        Load({"abc"});
        EditSelectText(e_, 1, 0, 1, 2, QW_SEL_CHAR, state, false);
        EditSetCaret(e_, 1, 3);
        EditTypeKey(e_, 'x');
        EXPECT_EQ(state == 1 || state == 2, EditHasSelection(e_)) << state;
    }
    // Typing replaces a selection in the other states, except the highlight.
    e_.typing_replaces = true;
    Load({"abc"});
    EditSelectText(e_, 1, 0, 1, 2, QW_SEL_CHAR, QW_SST_MOUSE, false);
    EditSetCaret(e_, 1, 2);
    EditTypeKey(e_, 'x');
    EXPECT_EQ("xc", Text());
    EditUndo(e_);
    EXPECT_EQ("abc", Text());
    EXPECT_EQ(0, EditSelectText(e_, 0, 0, 1, 1, QW_SEL_CHAR, 3, false));
    // Select-all reaches the end and typing replaces it all.
    Load({"one", "two"});
    EditSelectAll(e_);
    EXPECT_EQ(QW_SST_ALL, e_.sel_state);
    EditTypeKey(e_, 'z');
    EXPECT_EQ("z", Text());
}

// Which positions lie on a selection (a drag starts there, a drop there is
// refused) and where the caret may stand for typing to replace it.
TEST_F(Edit, PositionsOnTheSelection) {
    struct Case {
        int type, sl, sc, el, ec; // column type: display columns
        int line, col, dcol;
        bool on, on_past_end, replaces;
    } cases[] = {
        // "two three" of line 1 to "fo" of line 2 (stream, type 3).
        {QW_SEL_CHAR, 1, 4, 2, 2, 1, 3, 4, false, false, false},
        {QW_SEL_CHAR, 1, 4, 2, 2, 1, 4, 5, true, true, true},   // its first character
        {QW_SEL_CHAR, 1, 4, 2, 2, 1, 13, 14, false, true, true}, // past the end of line 1
        {QW_SEL_CHAR, 2, 0, 2, 2, 2, 1, 2, true, true, true},
        {QW_SEL_CHAR, 1, 4, 2, 2, 2, 2, 3, false, false, true}, // just after its end: replaces
        {QW_SEL_CHAR, 1, 4, 2, 2, 2, 3, 4, false, false, false},
        // Line selection of line 2 (ends at column 0 of line 3).
        {QW_SEL_LINE, 2, 0, 3, 0, 2, 6, 7, true, true, true},
        {QW_SEL_LINE, 2, 0, 3, 0, 3, 0, 1, false, false, true},
        {QW_SEL_LINE, 2, 0, 3, 0, 1, 2, 3, false, false, false},
        // Columns 2 to 4 of lines 1 and 2.
        {QW_SEL_COLUMN, 1, 2, 2, 4, 2, 2, 3, true, true, true},
        {QW_SEL_COLUMN, 1, 2, 2, 4, 2, 3, 4, false, false, true},
        {QW_SEL_COLUMN, 1, 2, 2, 4, 1, 0, 1, false, false, false},
        {QW_SEL_COLUMN, 1, 2, 2, 4, 3, 2, 3, false, false, false},
    };
    for (const Case& c : cases) {
        Load({"one two three", "four", "five"});
        ASSERT_EQ(1, EditSelectText(e_, c.sl, c.sc, c.el, c.ec, c.type, QW_SST_MOUSE, false));
        EditSetCaret(e_, c.line, c.col);
        EXPECT_EQ(c.dcol, e_.dcol);
        SCOPED_TRACE(testing::Message() << c.type << " at " << c.line << "," << c.col);
        EXPECT_EQ(c.on, EditSelectionContains(e_, c.line, c.col, c.dcol, false));
        EXPECT_EQ(c.on_past_end, EditSelectionContains(e_, c.line, c.col, c.dcol, true));
        EXPECT_EQ(c.replaces, EditTypingReplacesSelection(e_, true));
    }
}

// Random edits on the buffer and on a model; undo all restores the original
// bytes and redo all the edited ones.
TEST_F(Edit, RandomEditsUndoAndRedo) {
    std::mt19937 rng(12345);
    auto pick = [&](int n) { return n <= 0 ? 0 : int(rng() % unsigned(n)); };
    for (int round = 0; round < 4; ++round) {
        Load({"alpha beta", "\tgamma", "", "delta  epsilon"});
        e_.settings.auto_indent = round % 2 == 0;
        std::string original = Text();
        for (int step = 0; step < 300; ++step) {
            int lines = vm_line_count(b_);
            EditSetCaret(e_, 1 + pick(lines), 0);
            EditSetCaret(e_, e_.line, pick(EditLineLength(e_, e_.line) + 2));
            switch (pick(10)) {
            case 0: case 1: case 2: EditTypeKey(e_, "ab \tXY"[pick(6)]); break;
            case 3: EditBackspace(e_); break;
            case 4: EditDeleteRange(e_, e_.col, e_.col + 1, QW_DR_JOIN); break;
            case 5: EditSplitLine(e_, pick(3)); break;
            case 6: EditDeleteLine(e_); break;
            case 7: EditDeleteWord(e_, pick(2) == 0); break;
            case 8: EditInsertText(e_, "p\r\nq\rr", 7, pick(3), 0); break;
            case 9:
                EditSelectText(e_, e_.line, 0, std::min(lines, e_.line + pick(3)), pick(4),
                               pick(2) ? QW_SEL_CHAR : QW_SEL_LINE, QW_SST_MOUSE, false);
                EditDeleteSelection(e_);
                break;
            }
        }
        std::string edited = Text();
        int undone = 0;
        while (EditUndo(e_)) ++undone;
        EXPECT_EQ(original, Text()) << round;
        while (EditRedo(e_)) --undone;
        EXPECT_EQ(edited, Text()) << round;
        EXPECT_EQ(0, undone);
        // A fresh undo log for the next round.
        vm_undo_buffer(b_, VM_UNDO_CLEAR);
        if (VMB* log = vm_undo_buffer(b_, VM_UNDO_GET)) vm_undo_buffer(log, VM_UNDO_CLEAR);
    }
}

} // namespace
