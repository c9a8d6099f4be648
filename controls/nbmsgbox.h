#pragma once
// The platform's message box with a separator and a "Do not ask again"
// (questions) or "Do not show again" (notices) check box below its text.
#include <windows.h>

#include <string>

#include "controls/qwcontrols.h"

class QWCTL_API CnbMessageBox {
public:
    explicit CnbMessageBox(HWND parent = nullptr);
    ~CnbMessageBox();
    CnbMessageBox(const CnbMessageBox&) = delete;
    CnbMessageBox& operator=(const CnbMessageBox&) = delete;

    // Shows the box with the check box; the pressed button. The caption is
    // the application's name, then " - " and the suffix when it has one.
    int MessageBoxA(const char* caption_suffix, const char* text, UINT type, UINT help_id = 0);
    int MessageBoxA(UINT caption_id, UINT text_id, UINT type, UINT help_id = 0);
    // The same box without the check box.
    static int DoMessageBox(const char* caption_suffix, const char* text, UINT type, UINT help_id = 0);

    int GetChecked() const { return checked_; }
    void SetChecked(int checked) { checked_ = checked; }

    static void SetDoNotAgainStrings(const char* show_again, const char* ask_again);
    static void SetDoNotAgainStrings(UINT show_again_id, UINT ask_again_id);
    static void ResetDoNotAgainStrings();
    // The caption the check box of a box of `type` gets.
    static std::string CheckCaptionFor(UINT type);

    // Control identifiers inside the box.
    enum : int { kSeparatorId = 111, kCheckId = 666 };

private:
    static LRESULT CALLBACK CbtHook(int code, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK BoxProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    void OnSubclassedInit(HWND box);

    HWND parent_;
    HWND box_ = nullptr;
    WNDPROC old_proc_ = nullptr;
    HHOOK hook_ = nullptr;
    int checked_ = 0;
    UINT type_ = 0;
};

// The flat entry the shell's store calls: shows the box of `type`;
// `check_caption` null: no check box, empty: the library's own caption.
// *checked: the state before (in) and when the box closed (out).
extern "C" QWCTL_API int QwCtlCheckMessageBox(const char* caption_suffix, const char* text, UINT type,
                                              const char* check_caption, int* checked);
