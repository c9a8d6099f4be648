#include "framework/fwctrl.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace fw {

namespace {
void InitCommonControlsOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        INITCOMMONCONTROLSEX icc{};
        icc.dwSize = sizeof icc;
        icc.dwICC = ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
                    ICC_UPDOWN_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES;
        InitCommonControlsEx(&icc);
    });
}

std::string TextOf(const std::vector<char>& buf) { return std::string(buf.data()); }

// The text of an item of a list box or of a combo box's list.
std::string ItemText(HWND h, UINT len_msg, UINT text_msg, int at) {
    LRESULT n = SendMessageA(h, len_msg, static_cast<WPARAM>(at), 0);
    if (n < 0) return {};  // LB_ERR and CB_ERR
    std::vector<char> buf(static_cast<size_t>(n) + 1, '\0');
    SendMessageA(h, text_msg, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(buf.data()));
    return TextOf(buf);
}
} // namespace

bool Control::CreateControl(const char* cls, HWND parent, UINT id, const RECT& r, DWORD style,
                            DWORD ex_style, const char* text) {
    InitCommonControlsOnce();
    if (hwnd()) return false;
    HWND h = CreateWindowExA(ex_style, cls, text, style | WS_CHILD, r.left, r.top, r.right - r.left,
                             r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleA(nullptr), nullptr);
    if (!h) return false;
    // Bound like a dialog's control, so reflected messages reach this object.
    if (!SubclassWindow(h)) {
        ::DestroyWindow(h);
        return false;
    }
    return true;
}

void Edit::GetSel(int& start, int& end) const {
    DWORD s = 0, e = 0;
    Send(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    start = static_cast<int>(s);
    end = static_cast<int>(e);
}

std::string ListBox::GetText(int at) const { return ItemText(hwnd(), LB_GETTEXTLEN, LB_GETTEXT, at); }

std::string ComboBox::GetLBText(int at) const { return ItemText(hwnd(), CB_GETLBTEXTLEN, CB_GETLBTEXT, at); }

int ListView::InsertColumn(int at, const std::string& heading, int width, int format) {
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    col.fmt = format;
    col.cx = width;
    col.pszText = const_cast<char*>(heading.c_str());
    return static_cast<int>(Send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&col)));
}

int ListView::InsertItem(int at, const std::string& text, LPARAM data) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = at;
    item.pszText = const_cast<char*>(text.c_str());
    item.lParam = data;
    return static_cast<int>(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

bool ListView::SetItemText(int at, int sub, const std::string& text) {
    LVITEMA item{};
    item.iSubItem = sub;
    item.pszText = const_cast<char*>(text.c_str());
    return Send(LVM_SETITEMTEXTA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item)) != 0;
}

std::string ListView::GetItemText(int at, int sub) const {
    // The control copies at most the buffer's size: grow until it fits.
    for (size_t size = 256; size <= 65536; size *= 4) {
        std::vector<char> buf(size, '\0');
        LVITEMA item{};
        item.iSubItem = sub;
        item.pszText = buf.data();
        item.cchTextMax = static_cast<int>(size);
        LRESULT n = Send(LVM_GETITEMTEXTA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
        if (static_cast<size_t>(n) + 1 < size) return TextOf(buf);
    }
    return {};
}

bool ListView::SetItemState(int at, UINT state, UINT mask) {
    LVITEMA item{};
    item.state = state;
    item.stateMask = mask;
    return Send(LVM_SETITEMSTATE, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item)) != 0;
}

LPARAM ListView::GetItemData(int at) const {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = at;
    return Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

HTREEITEM TreeView::InsertItem(const std::string& text, HTREEITEM parent, HTREEITEM after, LPARAM data) {
    TVINSERTSTRUCTA ins{};
    ins.hParent = parent;
    ins.hInsertAfter = after;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM;
    ins.item.pszText = const_cast<char*>(text.c_str());
    ins.item.lParam = data;
    return reinterpret_cast<HTREEITEM>(Send(TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
}

std::string TreeView::GetItemText(HTREEITEM h) const {
    std::vector<char> buf(1024, '\0');
    TVITEMA item{};
    item.mask = TVIF_TEXT;
    item.hItem = h;
    item.pszText = buf.data();
    item.cchTextMax = static_cast<int>(buf.size());
    return Send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? TextOf(buf) : std::string();
}

LPARAM TreeView::GetItemData(HTREEITEM h) const {
    TVITEMA item{};
    item.mask = TVIF_PARAM;
    item.hItem = h;
    return Send(TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

int TabControl::InsertItem(int at, const std::string& text, LPARAM data) {
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = const_cast<char*>(text.c_str());
    item.lParam = data;
    return static_cast<int>(Send(TCM_INSERTITEMA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item)));
}

} // namespace fw
