#pragma once
// Control wrappers of the dialog engine. The engine never handles a control
// itself: it classifies the window, makes a short-lived wrapper of the
// matching kind (DlgMakeControl), calls one operation and drops it. Whatever
// must outlive a wrapper lives in the engine's CCtrl_Info of the control.
//
//   if (auto c = DlgMakeControl(ui, GetDlgItem(dlg, 250))) c->Exchange(ui, DLG_LOAD, nullptr, 0);
//
// Values move by control identifier, the same rule both ways:
//   160-199 label text (load only), 250-259 string value id-250 (edits),
//   270-279 string value id-270 (combo boxes), 280-284 string value id-280
//   (list boxes, tree views: the selection), 300-999 the command value,
//   others the profile (section 0x100 record) or the callback (event 256
//   at load, 512 after a store).
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "commands/dlgtable.h"

class Dialog_UI;
struct VMB;

enum DlgExchangeMode : int {
    DLG_LOAD = 0,
    DLG_SAVE = 1,
};

class CDlgControl {
public:
    CDlgControl(Dialog_UI* ui, HWND w, int kind);
    virtual ~CDlgControl() = default;

    HWND window() const { return w_; }
    int id() const { return id_; }
    int kind() const { return kind_; }

    // Moves the value between the control and its storage. `record` is the
    // table record being applied (null when none). False when nothing moved.
    virtual bool Exchange(Dialog_UI* ui, int mode, const DlgRecord* record, int reason);
    // Put a first value back (Cancel) and report it stored.
    virtual bool StoreInt(Dialog_UI* ui, int value, int reason);
    virtual bool StoreText(Dialog_UI* ui, const std::string& text, int reason);
    virtual void Enable(bool on);
    // An enable rule of `record` with this control as its control.
    virtual bool TestEnable(Dialog_UI* ui, const DlgRecord& record, HWND key);
    virtual void EnableCompanions(bool on);
    // Fills the control from the source the section 0x2 record names.
    virtual bool LoadSource(Dialog_UI* ui, const DlgRecord& record, HWND key, int key_kind);
    // Section 0x2 record while the dialog closes: lists give their content back.
    virtual bool WriteBack(Dialog_UI* ui, const DlgRecord& record, HWND key);
    virtual bool CopyToPartner(Dialog_UI* ui, const DlgRecord& record, HWND key);
    virtual bool DoubleClick(Dialog_UI* ui, const DlgRecord& record, HWND key);
    // A push button's section 0x4 record; false stops the record's other steps.
    virtual bool Click(Dialog_UI* ui, const DlgRecord& record, HWND key);
    virtual int SetSel(DWORD start, DWORD end, bool keep_scroll);
    virtual int NotifyChange();
    // Drops what the wrapper put in place of the plain control; 1 when it did.
    virtual int Cleanup(Dialog_UI* ui);

    // The integer value (check state, radio index, decimal text), -1 none.
    virtual int GetInt() const { return -1; }
    virtual void SetInt(int value) { (void)value; }

protected:
    // The storage rule by identifier. Text values are cut to `max` bytes.
    bool LoadStoredText(Dialog_UI* ui, std::string* out, size_t max) const;
    bool LoadStoredInt(Dialog_UI* ui, int* out) const;
    bool SaveStored(Dialog_UI* ui, const std::string& text, int value, bool is_int);
    // Sets the text, recording the first value for Cancel.
    void LoadText(Dialog_UI* ui, const std::string& text);
    void LoadInt(Dialog_UI* ui, int value);

    HWND w_;
    int id_;
    int kind_;
};

// The wrapper of a window's kind; null for kinds without one (group boxes,
// unknown classes, no window).
std::unique_ptr<CDlgControl> DlgMakeControl(Dialog_UI* ui, HWND w);

// The kind of a window (DlgClassifyControl of its class and style).
int DlgKindOf(HWND w);
// Label controls (a static with a section 0x1000 record with flag 0x80):
// the text colour its record picks (flag 0x800, extra 0 to 12), and
// whether the pointer over it is a hand (flag 0x400).
bool DlgLabelColour(Dialog_UI* ui, HWND w, COLORREF* out);
bool DlgLabelHandCursor(Dialog_UI* ui, HWND w);
// The text of a window, at most `max` bytes.
std::string DlgWindowText(HWND w, size_t max = 1023);

// ---- Helpers by control, for the engine and for callbacks ------------------------
// Copies the control's text (edit, static, editable combo) or list selection
// into buf (when given); its length, or the selected index for lists; -1
// for other kinds or a missing control.
int Dlg_GetItemText(Dialog_UI* ui, int id, int column, char* buf, int size);
// 1 when the control took the text.
int Dlg_SetItemText(Dialog_UI* ui, int id, const char* text);
int Dlg_GetItemInt(Dialog_UI* ui, int id);
int Dlg_SetCheck(Dialog_UI* ui, int id, int value);
// The selected index of a list box, combo box or list view (-1 none); the
// selected text (a list view: the cell of `column`, or with column -1 its
// check state) goes into buf when it fits, else buf is emptied.
int Dlg_GetListSel(HWND w, int column, char* buf, int size);
// The list buffer bound to a control once the dialog is initialised.
VMB* Dlg_GetItemListBuffer(Dialog_UI* ui, int id);
// Makes `line` (1-based, -1 keeps it) current in that buffer and refills.
int Dlg_FillListFromArgs(Dialog_UI* ui, int id, int line);
// Empties a list box or combo box and its buffer (clear), or deletes the
// selected entry from both; refills. With a button record, then applies the
// key's section 0x4 records and moves the focus.
int Dlg_ListRemove(Dialog_UI* ui, const DlgRecord* record, HWND w, bool clear, VMB* buffer);

// An accepted entry of an editable combo box joins its list when the
// control's section 0x2 record has flag 0x2: not when already there (unless
// 0x400), not when empty (unless 0x200), never with 0x800; at the top with
// 0x20. The list buffer gets it too, and the control is refilled. 1 when added.
int Dlg_ValidateText(Dialog_UI* ui, HWND combo, const std::string& text);

// The record that an attached program receives with each dialog event.
struct DlgEventRecord {
    uint32_t tag;  // 0x5F1967EA
    HWND dialog;
    int template_id;
    int command_id;
    DlgString* strings;
    unsigned flags;
    const intptr_t* values;
    RECT context;  // the control's screen rectangle
    HWND control;
    const char* text;
    intptr_t arg1, arg2;
    VMB* list;
    long value;
    intptr_t reserved;  // after the last clicked id; never set
    int reason;
    intptr_t arg3, arg4;
};
