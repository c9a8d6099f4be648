#pragma once
// The folder tree of the dialogs (a tree view whose value source has flag
// 0x2000): the drives, with the folders of each loaded as it is expanded,
// opened down to a starting folder.
#include <windows.h>
#include <commctrl.h>

#include <string>

// Fills `tree` with the drives and opens it down to `start` (the current
// folder when empty or missing), which is selected. Marks the tree as a
// folder tree.
void DlgFillFolderTree(HWND tree, const char* start);
// Whether `tree` was filled as a folder tree.
bool DlgIsFolderTree(HWND tree);
// The text of a tree item.
std::string DlgTreeItemText(HWND tree, HTREEITEM item);
// The folder of a tree item ("" for none).
std::string DlgFolderTreePath(HWND tree, HTREEITEM item);
// The same as the answer a folder tree gives: "C:\" keeps its separator,
// deeper folders lose theirs.
std::string DlgFolderTreeFolder(HWND tree, HTREEITEM item);
// A folder tree's notification: loads a folder's subfolders when it is
// expanded. True when handled (result set).
bool DlgFolderTreeNotify(const NMHDR* nm, LRESULT* result);
