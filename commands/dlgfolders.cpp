// The folder tree of the dialogs.
#include "commands/dlgfolders.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "opsys/fs.h"

namespace {

constexpr char kFolderTreeProp[] = "QwFolderTree";

HTREEITEM insert(HWND tree, HTREEITEM parent, const std::string& text) {
    TVINSERTSTRUCTA ins{};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_CHILDREN;
    ins.item.pszText = const_cast<char*>(text.c_str());
    // Whether a folder has subfolders is only learnt when it is opened.
    ins.item.cChildren = 1;
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
}

HTREEITEM first_child(HWND tree, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM next_sibling(HWND tree, HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
}

// Loads the subfolders of an item once; an item without any loses its button.
void load_children(HWND tree, HTREEITEM item) {
    if (first_child(tree, item)) return;
    std::string folder = DlgFolderTreePath(tree, item);
    std::vector<std::string> names;
    if (void* listing = FsListOpen(folder.c_str())) {
        FsEntry e;
        while (FsListNext(listing, &e)) {
            if (!(e.attributes & FS_ATTR_DIRECTORY)) continue;
            if (!std::strcmp(e.name, ".") || !std::strcmp(e.name, "..")) continue;
            names.emplace_back(e.name);
        }
        FsListClose(listing);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return _stricmp(a.c_str(), b.c_str()) < 0;
    });
    for (const std::string& n : names) insert(tree, item, n);
    if (names.empty()) {
        TVITEMA tv{};
        tv.mask = TVIF_CHILDREN;
        tv.hItem = item;
        tv.cChildren = 0;
        SendMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    }
}

HTREEITEM find_child(HWND tree, HTREEITEM parent, const std::string& name) {
    HTREEITEM c = parent ? first_child(tree, parent)
                         : reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    for (; c; c = next_sibling(tree, c))
        if (_stricmp(DlgTreeItemText(tree, c).c_str(), name.c_str()) == 0) return c;
    return nullptr;
}

}  // namespace

std::string DlgTreeItemText(HWND tree, HTREEITEM item) {
    char text[MAX_PATH] = "";
    TVITEMA tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
}

std::string DlgFolderTreePath(HWND tree, HTREEITEM item) {
    std::vector<std::string> parts;
    for (HTREEITEM i = item; i;
         i = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(i))))
        parts.push_back(DlgTreeItemText(tree, i));
    std::string path;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) path += *it + "\\";
    return path;
}

std::string DlgFolderTreeFolder(HWND tree, HTREEITEM item) {
    std::string folder = DlgFolderTreePath(tree, item);
    if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
    return folder;
}

bool DlgIsFolderTree(HWND tree) { return tree && GetPropA(tree, kFolderTreeProp) != nullptr; }

void DlgFillFolderTree(HWND tree, const char* start) {
    if (!tree) return;
    SetPropA(tree, kFolderTreeProp, reinterpret_cast<HANDLE>(1));
    SendMessageA(tree, WM_SETREDRAW, FALSE, 0);
    SendMessageA(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    char drives[256] = "";
    DWORD n = GetLogicalDriveStringsA(sizeof drives - 1, drives);
    for (const char* d = drives; n && n < sizeof drives && *d; d += std::strlen(d) + 1) {
        std::string root = d;
        if (!root.empty() && root.back() == '\\') root.pop_back();
        insert(tree, nullptr, root);
    }
    char folder[MAX_PATH] = "";
    DWORD a = start && *start ? GetFileAttributesA(start) : INVALID_FILE_ATTRIBUTES;
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) GetFullPathNameA(start, MAX_PATH, folder, nullptr);
    else GetCurrentDirectoryA(MAX_PATH, folder);
    // Down the path, one folder at a time.
    HTREEITEM at = nullptr;
    std::string rest = folder;
    for (size_t pos = 0; pos < rest.size();) {
        size_t end = rest.find_first_of("\\/", pos);
        std::string part = rest.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? rest.size() : end + 1;
        if (part.empty()) continue;
        if (at) load_children(tree, at);
        HTREEITEM next = find_child(tree, at, part);
        if (!next) break;
        if (at) SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(at));
        at = next;
    }
    if (at) {
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(at));
        SendMessageA(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(at));
    }
    SendMessageA(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
}

bool DlgFolderTreeNotify(const NMHDR* nm, LRESULT* result) {
    if (!nm || !DlgIsFolderTree(nm->hwndFrom)) return false;
    if (nm->code == TVN_ITEMEXPANDINGA || nm->code == TVN_ITEMEXPANDINGW) {
        const auto* tv = reinterpret_cast<const NMTREEVIEWA*>(nm);
        if (tv->action & TVE_EXPAND) load_children(nm->hwndFrom, tv->itemNew.hItem);
        *result = 0;
        return true;
    }
    return false;
}
