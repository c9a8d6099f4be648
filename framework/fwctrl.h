#pragma once
// Thin wrappers of the standard and common controls. Each is a Window:
// make one with Create (a child of `parent` with an id), or bind it to a
// control of a dialog with SubclassDlgItem. They add no state of their own.
//
//   fw::ComboBox kinds;
//   kinds.SubclassDlgItem(1003, dlg.hwnd());
//   kinds.AddString("C/C++");  kinds.SetCurSel(0);
//
// Common controls register their classes on first use.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/fwexport.h"
#include "framework/fwwnd.h"

namespace fw {

// A child control of a system class; the common ones are initialised first.
class QWFW_API Control : public Window {
public:
    bool CreateControl(const char* cls, HWND parent, UINT id, const RECT& rect, DWORD style,
                       DWORD ex_style = 0, const char* text = "");
    // The control's font (WM_GETFONT / WM_SETFONT).
    void SetFont(HFONT font, bool redraw = true) { Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw); }
};

class QWFW_API Edit : public Control {
public:
    bool Create(HWND parent, UINT id, const RECT& r, DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL) {
        return CreateControl("EDIT", parent, id, r, style);
    }
    void SetSel(int start, int end) { Send(EM_SETSEL, static_cast<WPARAM>(start), end); }
    void GetSel(int& start, int& end) const;
    void ReplaceSel(const std::string& text, bool can_undo = true) {
        Send(EM_REPLACESEL, can_undo, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void LimitText(int n) { Send(EM_LIMITTEXT, static_cast<WPARAM>(n), 0); }
    int GetLineCount() const { return static_cast<int>(Send(EM_GETLINECOUNT)); }
    void SetReadOnly(bool on = true) { Send(EM_SETREADONLY, on, 0); }
    bool GetModify() const { return Send(EM_GETMODIFY) != 0; }
    void SetModify(bool on = true) { Send(EM_SETMODIFY, on, 0); }
};

class QWFW_API Button : public Control {
public:
    bool Create(HWND parent, UINT id, const RECT& r, const char* text,
                DWORD style = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON) {
        return CreateControl("BUTTON", parent, id, r, style, 0, text);
    }
    int GetCheck() const { return static_cast<int>(Send(BM_GETCHECK)); }
    void SetCheck(int state) { Send(BM_SETCHECK, static_cast<WPARAM>(state), 0); }
    void Click() { Send(BM_CLICK); }
};

class QWFW_API Static : public Control {
public:
    bool Create(HWND parent, UINT id, const RECT& r, const char* text,
                DWORD style = WS_CHILD | WS_VISIBLE | SS_LEFT) {
        return CreateControl("STATIC", parent, id, r, style, 0, text);
    }
    HICON SetIcon(HICON icon) { return reinterpret_cast<HICON>(Send(STM_SETICON, reinterpret_cast<WPARAM>(icon), 0)); }
    HBITMAP SetBitmap(HBITMAP bmp) {
        return reinterpret_cast<HBITMAP>(Send(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bmp)));
    }
};

class QWFW_API ListBox : public Control {
public:
    bool Create(HWND parent, UINT id, const RECT& r,
                DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY) {
        return CreateControl("LISTBOX", parent, id, r, style);
    }
    int AddString(const std::string& s) { return static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()))); }
    int InsertString(int at, const std::string& s) {
        return static_cast<int>(Send(LB_INSERTSTRING, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(s.c_str())));
    }
    int DeleteString(int at) { return static_cast<int>(Send(LB_DELETESTRING, static_cast<WPARAM>(at), 0)); }
    void ResetContent() { Send(LB_RESETCONTENT); }
    int GetCount() const { return static_cast<int>(Send(LB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(Send(LB_GETCURSEL)); }
    int SetCurSel(int at) { return static_cast<int>(Send(LB_SETCURSEL, static_cast<WPARAM>(at), 0)); }
    std::string GetText(int at) const;
    int FindStringExact(const std::string& s, int after = -1) const {
        return static_cast<int>(Send(LB_FINDSTRINGEXACT, static_cast<WPARAM>(after), reinterpret_cast<LPARAM>(s.c_str())));
    }
    LRESULT GetItemData(int at) const { return Send(LB_GETITEMDATA, static_cast<WPARAM>(at), 0); }
    void SetItemData(int at, LPARAM data) { Send(LB_SETITEMDATA, static_cast<WPARAM>(at), data); }
};

class QWFW_API ComboBox : public Control {
public:
    bool Create(HWND parent, UINT id, const RECT& r,
                DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST) {
        return CreateControl("COMBOBOX", parent, id, r, style);
    }
    int AddString(const std::string& s) { return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()))); }
    int InsertString(int at, const std::string& s) {
        return static_cast<int>(Send(CB_INSERTSTRING, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(s.c_str())));
    }
    int DeleteString(int at) { return static_cast<int>(Send(CB_DELETESTRING, static_cast<WPARAM>(at), 0)); }
    void ResetContent() { Send(CB_RESETCONTENT); }
    int GetCount() const { return static_cast<int>(Send(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(Send(CB_GETCURSEL)); }
    int SetCurSel(int at) { return static_cast<int>(Send(CB_SETCURSEL, static_cast<WPARAM>(at), 0)); }
    std::string GetLBText(int at) const;
    int FindStringExact(const std::string& s, int after = -1) const {
        return static_cast<int>(Send(CB_FINDSTRINGEXACT, static_cast<WPARAM>(after), reinterpret_cast<LPARAM>(s.c_str())));
    }
    LRESULT GetItemData(int at) const { return Send(CB_GETITEMDATA, static_cast<WPARAM>(at), 0); }
    void SetItemData(int at, LPARAM data) { Send(CB_SETITEMDATA, static_cast<WPARAM>(at), data); }
    void SetDroppedWidth(int w) { Send(CB_SETDROPPEDWIDTH, static_cast<WPARAM>(w), 0); }
};

class QWFW_API ListView : public Control {
public:
    bool Create(HWND parent, UINT id, const RECT& r,
                DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT) {
        return CreateControl(WC_LISTVIEWA, parent, id, r, style);
    }
    int InsertColumn(int at, const std::string& heading, int width, int format = LVCFMT_LEFT);
    int InsertItem(int at, const std::string& text, LPARAM data = 0);
    bool SetItemText(int item, int sub, const std::string& text);
    std::string GetItemText(int item, int sub) const;
    int GetItemCount() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
    bool DeleteItem(int item) { return Send(LVM_DELETEITEM, static_cast<WPARAM>(item), 0) != 0; }
    bool DeleteAllItems() { return Send(LVM_DELETEALLITEMS) != 0; }
    int GetNextItem(int start, UINT flags) const {
        return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
    }
    int GetSelectedItem() const { return GetNextItem(-1, LVNI_SELECTED); }
    bool SetItemState(int item, UINT state, UINT mask);
    void SetExtendedStyle(DWORD style) { Send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)); }
    bool EnsureVisible(int item) { return Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE) != 0; }
    LPARAM GetItemData(int item) const;
};

class QWFW_API TreeView : public Control {
public:
    bool Create(HWND parent, UINT id, const RECT& r,
                DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_HASLINES | TVS_HASBUTTONS) {
        return CreateControl(WC_TREEVIEWA, parent, id, r, style);
    }
    HTREEITEM InsertItem(const std::string& text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST,
                         LPARAM data = 0);
    HTREEITEM GetChild(HTREEITEM item) const { return Next(item, TVGN_CHILD); }
    HTREEITEM GetNextSibling(HTREEITEM item) const { return Next(item, TVGN_NEXT); }
    HTREEITEM GetParentItem(HTREEITEM item) const { return Next(item, TVGN_PARENT); }
    HTREEITEM GetRootItem() const { return Next(nullptr, TVGN_ROOT); }
    HTREEITEM GetSelection() const { return Next(nullptr, TVGN_CARET); }
    bool SelectItem(HTREEITEM item) { return Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0; }
    bool Expand(HTREEITEM item, UINT code = TVE_EXPAND) {
        return Send(TVM_EXPAND, code, reinterpret_cast<LPARAM>(item)) != 0;
    }
    std::string GetItemText(HTREEITEM item) const;
    LPARAM GetItemData(HTREEITEM item) const;
    bool DeleteItem(HTREEITEM item) { return Send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item)) != 0; }
    bool DeleteAllItems() { return Send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT)) != 0; }
    int GetCount() const { return static_cast<int>(Send(TVM_GETCOUNT)); }

private:
    HTREEITEM Next(HTREEITEM item, UINT code) const {
        return reinterpret_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, code, reinterpret_cast<LPARAM>(item)));
    }
};

class QWFW_API TabControl : public Control {
public:
    bool Create(HWND parent, UINT id, const RECT& r, DWORD style = WS_CHILD | WS_VISIBLE) {
        return CreateControl(WC_TABCONTROLA, parent, id, r, style);
    }
    int InsertItem(int at, const std::string& text, LPARAM data = 0);
    int GetItemCount() const { return static_cast<int>(Send(TCM_GETITEMCOUNT)); }
    int GetCurSel() const { return static_cast<int>(Send(TCM_GETCURSEL)); }
    int SetCurSel(int at) { return static_cast<int>(Send(TCM_SETCURSEL, static_cast<WPARAM>(at), 0)); }
    bool DeleteAllItems() { return Send(TCM_DELETEALLITEMS) != 0; }
    // The display area for a window rectangle (larger = false), or back.
    void AdjustRect(bool larger, RECT* r) const { Send(TCM_ADJUSTRECT, larger, reinterpret_cast<LPARAM>(r)); }
};

class QWFW_API ProgressBar : public Control {
public:
    bool Create(HWND parent, UINT id, const RECT& r, DWORD style = WS_CHILD | WS_VISIBLE) {
        return CreateControl(PROGRESS_CLASSA, parent, id, r, style);
    }
    void SetRange(int low, int high) { Send(PBM_SETRANGE32, static_cast<WPARAM>(low), high); }
    int SetPos(int pos) { return static_cast<int>(Send(PBM_SETPOS, static_cast<WPARAM>(pos), 0)); }
    int GetPos() const { return static_cast<int>(Send(PBM_GETPOS)); }
    int SetStep(int step) { return static_cast<int>(Send(PBM_SETSTEP, static_cast<WPARAM>(step), 0)); }
    int StepIt() { return static_cast<int>(Send(PBM_STEPIT)); }
};

class QWFW_API SpinButton : public Control {
public:
    bool Create(HWND parent, UINT id, const RECT& r,
                DWORD style = WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS) {
        return CreateControl(UPDOWN_CLASSA, parent, id, r, style);
    }
    void SetRange(int low, int high) { Send(UDM_SETRANGE32, static_cast<WPARAM>(low), high); }
    int SetPos(int pos) { return static_cast<int>(Send(UDM_SETPOS32, 0, pos)); }
    int GetPos() const { return static_cast<int>(Send(UDM_GETPOS32)); }
    HWND SetBuddy(HWND buddy) { return reinterpret_cast<HWND>(Send(UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0)); }
};

} // namespace fw
