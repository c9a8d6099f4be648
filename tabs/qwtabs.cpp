// The tab layer over the common tab control.
#include "tabs/qwtabs.h"

#include <commctrl.h>

namespace {
const std::string kEmpty;
}

void QwTabs::SplitLabel(const std::string& text, std::string* label, std::string* tip) {
    size_t tab = text.find('\t');
    *label = text.substr(0, tab);
    *tip = tab == std::string::npos ? std::string() : text.substr(tab + 1);
}

bool QwTabs::Attach(HWND tab_control, QwTabsListener* listener) {
    tab_ = tab_control;
    listener_ = listener;
    labels_.clear();
    tips_.clear();
    return tab_ != nullptr;
}

int QwTabs::AddTab(const std::string& label_and_tip) {
    if (!tab_) return -1;
    std::string label, tip;
    SplitLabel(label_and_tip, &label, &tip);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(label.c_str());
    int at = static_cast<int>(SendMessageA(tab_, TCM_INSERTITEMA, static_cast<WPARAM>(labels_.size()),
                                           reinterpret_cast<LPARAM>(&item)));
    if (at < 0) return -1;
    labels_.insert(labels_.begin() + at, label);
    tips_.insert(tips_.begin() + at, tip);
    return at;
}

int QwTabs::Count() const { return static_cast<int>(labels_.size()); }

const std::string& QwTabs::Label(int tab) const {
    return tab >= 0 && tab < Count() ? labels_[static_cast<size_t>(tab)] : kEmpty;
}

const std::string& QwTabs::Tip(int tab) const {
    return tab >= 0 && tab < Count() ? tips_[static_cast<size_t>(tab)] : kEmpty;
}

void QwTabs::SetLabel(int tab, const std::string& label) {
    if (tab < 0 || tab >= Count()) return;
    labels_[static_cast<size_t>(tab)] = label;
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(labels_[static_cast<size_t>(tab)].c_str());
    SendMessageA(tab_, TCM_SETITEMA, static_cast<WPARAM>(tab), reinterpret_cast<LPARAM>(&item));
}

int QwTabs::Current() const { return tab_ ? static_cast<int>(SendMessageA(tab_, TCM_GETCURSEL, 0, 0)) : -1; }

bool QwTabs::Select(int tab) {
    if (tab < 0 || tab >= Count()) return false;
    int now = Current();
    if (now == tab) return true;
    if (now >= 0 && listener_ && !listener_->OnTabLeave(now)) return false;
    SendMessageA(tab_, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
    if (listener_) listener_->OnTabCurrent(tab);
    return Current() == tab;
}

int QwTabs::Rows() const { return tab_ ? static_cast<int>(SendMessageA(tab_, TCM_GETROWCOUNT, 0, 0)) : 0; }

void QwTabs::SetMultiRow(bool on) {
    LONG style = GetWindowLongA(tab_, GWL_STYLE);
    SetWindowLongA(tab_, GWL_STYLE, on ? (style | TCS_MULTILINE) : (style & ~TCS_MULTILINE));
    SetWindowPos(tab_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void QwTabs::SetRedraw(bool on) {
    SendMessageA(tab_, WM_SETREDRAW, on, 0);
    if (on) InvalidateRect(tab_, nullptr, TRUE);
}

RECT QwTabs::PageArea() const {
    RECT r{};
    GetWindowRect(tab_, &r);
    MapWindowPoints(nullptr, GetParent(tab_), reinterpret_cast<POINT*>(&r), 2);
    SendMessageA(tab_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    return r;
}

void QwTabs::Layout(const RECT& area) {
    MoveWindow(tab_, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
}

bool QwTabs::HandleNotify(const NMHDR* nm, LRESULT* result) {
    if (!nm) return false;
    if (nm->hwndFrom == tab_ && nm->code == static_cast<UINT>(TCN_SELCHANGING)) {
        leaving_ = Current();
        *result = (listener_ && leaving_ >= 0 && !listener_->OnTabLeave(leaving_)) ? TRUE : FALSE;
        return true;
    }
    if (nm->hwndFrom == tab_ && nm->code == static_cast<UINT>(TCN_SELCHANGE)) {
        if (listener_) listener_->OnTabCurrent(Current());
        *result = 0;
        return true;
    }
    HWND tips = tab_ ? reinterpret_cast<HWND>(SendMessageA(tab_, TCM_GETTOOLTIPS, 0, 0)) : nullptr;
    if (tips && nm->hwndFrom == tips && nm->code == static_cast<UINT>(TTN_GETDISPINFOA)) {
        auto* di = reinterpret_cast<NMTTDISPINFOA*>(const_cast<NMHDR*>(nm));
        di->lpszText = const_cast<char*>(Tip(static_cast<int>(nm->idFrom)).c_str());
        *result = 0;
        return true;
    }
    return false;
}
