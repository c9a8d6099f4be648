#pragma once
// Dialogs: modal ones with a message loop of their own (on whatever UI
// thread calls DoModal), modeless ones, from a resource template or from a
// template in memory, with data exchange between controls and members.
//
//   class CFindDlg : public fw::Dialog {
//   public:
//       CFindDlg() : fw::Dialog(2029) {}
//       std::string what;  int count = 1;
//   protected:
//       void DoDataExchange(fw::DataExchange& dx) override {
//           fw::ExchangeText(dx, 1001, what);
//           fw::ExchangeInt(dx, 1002, count);
//           fw::ValidateRange(dx, count, 1, 99);
//       }
//   };
//   CFindDlg dlg;  if (dlg.DoModal() == IDOK) use(dlg.what);
//
// The modal loop offers each message to the windows from its target up to
// the dialog (PreTranslateMessage; the default runs IsDialogMessage) and,
// whenever the queue runs empty, calls OnModalIdle, which has the dialog's
// controls updated from its update handlers. IDOK runs OnOK (UpdateData,
// then EndDialog); IDCANCEL runs OnCancel. A failed exchange reports
// through the framework's message box, puts the focus on the control and
// keeps the dialog open.
#include <windows.h>

#include <string>
#include <vector>

#include "framework/fwexport.h"
#include "framework/fwwnd.h"

namespace fw {

class Dialog;

// One pass of data exchange: save (controls to members) or load.
struct QWFW_API DataExchange {
    DataExchange(Dialog* dialog, bool save) : dialog(dialog), save(save) {}
    Dialog* dialog;
    bool save;
    bool failed = false;
    HWND last_control = nullptr;
    // Reports `text`, puts the focus on the last control and marks the pass
    // failed; later exchanges of the pass do nothing.
    void Fail(const std::string& text);
    // Looks the control up and remembers it as the one a failure points at.
    HWND Control(int id);
};

QWFW_API void ExchangeText(DataExchange& dx, int id, std::string& value);
// A whole number (an empty or non-numeric field fails on save).
QWFW_API void ExchangeInt(DataExchange& dx, int id, int& value);
// Check box state 0, 1 or 2.
QWFW_API void ExchangeCheck(DataExchange& dx, int id, int& value);
// The index of the checked radio button of the group that starts at
// `first_id` (-1 none).
QWFW_API void ExchangeRadio(DataExchange& dx, int first_id, int& value);
QWFW_API void ExchangeComboIndex(DataExchange& dx, int id, int& index);
QWFW_API void ExchangeListIndex(DataExchange& dx, int id, int& index);
// Checks after the exchange of the same control (on save only).
QWFW_API void ValidateRange(DataExchange& dx, int value, int min, int max);
QWFW_API void ValidateMaxChars(DataExchange& dx, const std::string& value, size_t max);

// A dialog template built in memory (DLGTEMPLATE with its items).
class QWFW_API DialogTemplate {
public:
    DialogTemplate(const std::string& title, DWORD style, short x, short y, short cx, short cy,
                   const std::string& font = "MS Shell Dlg", WORD point_size = 8);
    // class_name: "BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR",
    // "COMBOBOX" or any registered class name.
    void AddControl(const std::string& class_name, WORD id, const std::string& text, DWORD style,
                    short x, short y, short cx, short cy, DWORD ex_style = 0);
    const DLGTEMPLATE* get() const;

private:
    void Align();
    void PutWord(WORD w);
    void PutText(const std::string& s);
    std::vector<WORD> words_;
    WORD count_ = 0;
};

class QWFW_API Dialog : public Window {
    FW_DECLARE_DYNAMIC(Dialog)
    FW_DECLARE_MESSAGE_MAP()
public:
    explicit Dialog(UINT template_id, HWND parent = nullptr, HINSTANCE instance = nullptr);
    // The template stays the caller's and must live until the window exists.
    explicit Dialog(const DLGTEMPLATE* in_memory, HWND parent = nullptr);
    ~Dialog() override;

    // Runs the dialog modally on the calling thread; its EndDialog code, or
    // -1 when the dialog could not be created (reported).
    virtual INT_PTR DoModal();
    // Creates the dialog modeless (visible when the template says so).
    bool CreateModeless(HWND parent = nullptr);
    // Ends a modal dialog (the loop returns `code`) or destroys a modeless one.
    void EndDialog(INT_PTR code);
    bool is_modal() const { return modal_; }

    // Controls to members (save) or members to controls; false when an
    // exchange failed (already reported).
    bool UpdateData(bool save = true);
    void NextDlgCtrl() { ::SendMessageA(hwnd(), WM_NEXTDLGCTL, 0, FALSE); }
    void GotoDlgCtrl(HWND control) { ::SendMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE); }

    bool PreTranslateMessage(MSG* msg) override;

    // Modeless dialogs that own themselves delete themselves when closed.
    bool delete_on_close = false;

protected:
    virtual bool OnInitDialog();
    virtual void DoDataExchange(DataExchange& dx) { (void)dx; }
    virtual void OnOK();
    virtual void OnCancel();
    // Idle time of the modal loop; true asks for more. The default updates
    // the controls from their update handlers once.
    virtual bool OnModalIdle(long count);
    void OnIdleUpdateCmdUI(bool disable_if_no_handler) override;
    bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
    void PostNcDestroy() override;

private:
    bool CreateFromTemplate(HWND parent);
    void RunModalLoop();
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    void OnOKCommand() { OnOK(); }
    void OnCancelCommand() { OnCancel(); }

    UINT template_id_ = 0;
    HINSTANCE instance_ = nullptr;
    const DLGTEMPLATE* memory_template_ = nullptr;
    HWND parent_ = nullptr;
    bool modal_ = false;
    bool in_loop_ = false;
    INT_PTR result_ = -1;
};

} // namespace fw
