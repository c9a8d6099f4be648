#pragma once
// CQWEditView: the text view that changes text. Typed characters in insert
// and overtype mode, tab, indent and undent, the editing operations, the
// selection, the clipboard and the undo log all go through the editing
// engine (editops.h) over the document's buffer; this class copies the
// caret between the view and the engine and repaints what changed.
//
// Movement, scrolling and the command dispatch live in the class derived
// from this one; what they need from here is public below.
#include <mutex>
#include <string>

#include "editor/editops.h"
#include "editor/textview.h"

class CQWDoc;
struct IDataObject;
struct IDropTarget;

// The global typing mode: insert (1) or overtype (0). Setting it re-creates
// the caret of the current text view so its shape follows the mode.
int GetInsertMode();
int SetInsertMode(int mode);
int ToggleInsertMode();

class CQWEditView : public CQWTextView {
    FW_DECLARE_DYNCREATE(CQWEditView)
public:
    CQWEditView();
    ~CQWEditView() override;

    // ---- Typing --------------------------------------------------------------
    // A typed key not bound to a command; 0 when refused.
    int TypingStateCommand(int ch, bool notify = true, int extra = 0);
    int InsertChar(int ch);
    int TypeChar(int ch);
    bool InsertString(const char* text);
    // Deletes columns [start, end) of the caret line (or the selection when
    // start < 0), inserts text, repaints the line.
    int ReplaceAndInsert(const char* text, int start_column, int end_column);
    void TabRight() override;
    void TabLeft() override;
    virtual int Indent(int count);
    virtual int Undent();
    virtual bool IsAutoWrap();
    int IsViewOnly() override;
    // Last typed character or command; -1 only reads.
    int LastTyped(int value);

    // ---- Editing operations ------------------------------------------------------
    int DeleteRange(int from_column, int to_column, uint32_t flags);
    int Backspace();
    int DeleteLine(bool repaint = true);
    int JoinLine();
    int JoinNext();
    int SplitLine(int indent_mode = 0, bool clear_selection = true);
    int OpenLine(bool indent = false);
    int DeleteToLineStart();
    int DeleteToLineEnd();
    int DeleteWord(bool word_only, bool to_start = false);
    int DeleteSelection(bool repaint = true);
    // Block insertion from text in memory (style 0 stream, 1 line, 2 column).
    int InsertText(const char* text, size_t length, int style, uint32_t flags);
    int InsertBuffer(VMB* buffer, int style, uint32_t flags);

    // ---- Selection -------------------------------------------------------------
    bool HasSelection() const override;
    // The mouse and the Shift+move commands: op 0 starts a selection of the
    // type at the caret, 2 extends it to the caret, 3 clears it.
    int MouseSelection(int op, int type) override;
    bool SelectedPart(uint32_t line, const char* text, int len, int* from, int* to,
                      int* kind) const override;
    int SetSelection(int op, bool repaint = true, bool record = true);
    int SelectText(int start_line, int start_col, int end_line, int end_col, int type, int state,
                   bool repaint = true, bool record = true);
    // op 1 sets the state to value, -1 reads.
    int SelectState(int op, int value);
    int SelectionType() const { return core_.sel_type; }
    int SelectionMode(int type);
    int SelectAll();
    SelectionBounds GetSelectionBounds();
    bool IsTypingReplacingSelection(bool check_caret);
    // Called by caret moves: a selection in state 1 follows the caret.
    void ExtendSelectionToCaret();

    // ---- Clipboard ---------------------------------------------------------------
    int Copy();
    int Cut();
    int Paste();

    // ---- Drag and drop (dragdrop_win32.cpp) ------------------------------------------
    // The source side: the effects a drag from here allows, the hooks around
    // the drag, and the drag itself from a press at a client point on the
    // selection (true when a drag ran).
    DWORD GetDragEffects();
    void OnDragStart();
    void OnDragEnd(DWORD effect, bool handled);
    bool TryDragSelection(UINT msg, int x, int y) override;
    bool PointOnSelection(int x, int y) override;
    // A data object of the selection (null without one); reference count 1.
    IDataObject* MakeSelectionDataObject();
    // The drop target side, points in client coordinates. OnDropEx answers
    // (DWORD)-1 when OnDrop is to run with the effect as it stands.
    DWORD OnDragEnter(IDataObject* data, DWORD key_state, POINT pt);
    // The effect a drop of the data with the key state would have here.
    DWORD DropEffectFor(IDataObject* data, DWORD key_state);
    DWORD OnDragOver(IDataObject* data, DWORD key_state, POINT pt);
    void OnDragLeave();
    DWORD OnDragScroll(DWORD key_state, POINT pt);
    DWORD OnDropEx(IDataObject* data, DWORD effect, DWORD allowed, POINT pt);
    bool OnDrop(IDataObject* data, DWORD effect, POINT pt);

    // ---- Undo ------------------------------------------------------------------------
    int Undo();
    int Redo();
    int GetUndoDepth();
    int GetRedoDepth();
    // The undo recorder: a group (class 0..4) or a line image (class 5).
    void OnEditNotify(int cls, int kind, int line);

    // ---- Line changes the caret moves report -------------------------------------------
    void OnLineLeave(bool force);
    void OnLineEnter() {}

    // Runs an editing command by its command-table id with its string
    // parameter (or null); -1 when the id is not one of the editing commands.
    int RunEditCommand(int command_id, const char* param);
    // Whether the last operation asked a repeating command or a running
    // macro to stop (a delete at the end of the buffer); clears the request.
    bool TakeCommandStop();

    // The document's mark table (null without a buffer).
    CQWMarkTable* Marks();
    CQWDoc* GetQWDoc();

    // ---- Editing programs ----------------------------------------------------------
    // id > 0: the changes that follow form one undo group of command id until
    // HoldUndoGroup(0). A hold that a program left open ends at the next
    // command or typed key.
    int HoldUndoGroup(int id);
    // The live edit view behind a program's view word, or null (the word
    // may stand for another kind of view or a dialog).
    static CQWEditView* FromProgramView(void* view);

    // The engine state with the view's caret copied in, and back.
    EditCore& LoadCore();
    void StoreCore(bool repaint_all);
    EditCore& core() { return core_; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void ApplySettings();
    void DropHeldGroup();
    EditCore core_;
    // What painting threads read of the selection, taken by StoreCore.
    mutable std::mutex painted_selection_lock_;
    SelectionBounds painted_selection_;
    int painted_selection_kind_ = 0;
    ColumnRules painted_rules_;
    bool group_held_ = false;
    void DestroyDropCaret();
    int drag_key_state_ = 0;
    bool caret_created_ = false;
    bool drag_entered_ = false;  // a drag from this view entered it
    bool drop_caret_ = false;
    IDropTarget* drop_target_ = nullptr;
    DWORD scroll_zone_since_ = 0; // when the pointer entered a scroll zone (0: outside)
    DWORD scroll_last_step_ = 0;
};

// Registers the editing commands' view handlers with the command table and
// answers the editing programs' calls (InstallEditProgramHooks).
void InstallEditCommands();
void InstallEditProgramHooks();
