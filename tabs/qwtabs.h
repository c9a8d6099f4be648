#pragma once
// A strip of tabs over the common tab control. Each tab has a label and an
// optional tip; a listener hears that the current tab is about to be left
// (and may keep it) and that another tab became current.
//
//   QwTabs tabs;  tabs.Attach(GetDlgItem(sheet, 299), &listener);
//   tabs.AddTab("Find\tSearch the current file");
//   tabs.Select(1);   // asks the listener first
#include <windows.h>

#include <string>
#include <vector>

class QwTabsListener {
public:
    virtual ~QwTabsListener() = default;
    // The current tab is about to be left: false keeps it.
    virtual bool OnTabLeave(int tab) = 0;
    virtual void OnTabCurrent(int tab) = 0;
};

class QwTabs {
public:
    // Works on an existing tab control; tips need its tool-tip style.
    bool Attach(HWND tab_control, QwTabsListener* listener);
    HWND hwnd() const { return tab_; }
    // "label" or "label<TAB>tip"; the new tab's index, -1 on failure.
    int AddTab(const std::string& label_and_tip);
    int Count() const;
    const std::string& Label(int tab) const;
    const std::string& Tip(int tab) const;
    void SetLabel(int tab, const std::string& label);
    int Current() const;
    // Makes a tab current as a user's click would: the listener may keep
    // the current one. True when `tab` is current afterwards.
    bool Select(int tab);
    int Rows() const;
    void SetMultiRow(bool on);
    void SetRedraw(bool on);
    // The page area inside the control, in the parent's coordinates.
    RECT PageArea() const;
    // Fits the control to `area` (parent coordinates).
    void Layout(const RECT& area);
    // The parent passes its WM_NOTIFY here; true when it was the strip's
    // (selection changes and tip requests), with the answer in *result.
    bool HandleNotify(const NMHDR* nm, LRESULT* result);

    // Splits "label<TAB>tip".
    static void SplitLabel(const std::string& text, std::string* label, std::string* tip);

private:
    HWND tab_ = nullptr;
    QwTabsListener* listener_ = nullptr;
    std::vector<std::string> labels_, tips_;
    int leaving_ = -1;
};
