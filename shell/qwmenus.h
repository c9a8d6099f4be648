#pragma once
// Menu bars built from menu files. Each line of a menu file is
//   item text <TAB> command list [<TAB> status prompt]
// where a single K_M_HEAD starts a top-level popup, a single separator
// command makes a separator, "+Text" opens a nested popup whose items begin
// with ">", and an item running several commands gets an identifier from
// QW_MENU_MULTI_FIRST upward with its command sequence and prompt attached.
#include <cstdint>
#include <string>
#include <vector>

class CNewMenu;
struct HWND__;
struct HMENU__;

enum : int {
    QW_MENU_MULTI_FIRST = 33536,
    QW_MENU_MULTI_LAST = 33660,   // routed, prompted and given out up to here
    QW_MENU_NO_COMMAND = 33535,   // an item whose command list was bad
    QW_MENU_TEXT_MAX = 148,
    QW_MENU_COMMANDS_MAX = 998,
    QW_MENU_PROMPT_MAX = 248,
};

// The record of a multi-command item.
struct QwMenuItemData {
    std::vector<int32_t> sequence;  // ends with -1
    std::string prompt;
};

// The key text of a command for the menus (empty when unbound); installed by
// the key bindings. Null: no key texts.
using QwMenuKeyTextFn = std::string (*)(int id);
void SetMenuKeyTextSource(QwMenuKeyTextFn fn);

// Parses the lines of a menu file into `bar` (a menu bar). `next_multi` is
// the next free multi-command identifier, advanced as items take them.
// Reports bad lines with the file path and line number. 1 when done.
int ParseMenuFile(CNewMenu* bar, const std::vector<std::string>& lines, const char* path, int* next_multi);
// Reads the file and parses it; string 30 and 0 when it cannot be read.
int LoadMenuFile(CNewMenu* bar, const char* path, int* next_multi);

// The prompt of a multi-command id into `text`; 1 when the id is in the
// multi-command range (also when no item has it), 0 otherwise.
int GetMenuItemPrompt(int id, CNewMenu* menu, std::string* text);
const QwMenuItemData* GetMenuItemSequence(CNewMenu* menu, int id);
// Frees the records of every multi-command item of the menu tree.
void ReleaseMenuItemData(CNewMenu* menu);
// The popup of a menu bar that holds a window command (363-375), searched
// from the last popup to the first; null when none. The frame hands it to
// the MDI client, which lists the document windows there.
HMENU__* WindowMenuPopupOf(HMENU__* bar);
void* GetWindowMenuPopup(CNewMenu* bar);

// Context menus built from a list: flag QW_POPUP_FROM_STRING takes the items
// from a string-table text split at carriage returns (an empty piece is a
// separator), QW_POPUP_FROM_LIST from the lines of a list buffer. A "+"
// item opens one nested popup whose items follow with ">"; a second nested
// popup is refused. Items of at most 79 characters; item n has identifier
// n + 1 (in list order). Returns the menu, or null (after the message).
enum : unsigned {
    QW_POPUP_FROM_LIST = 0x40000,
    QW_POPUP_FROM_STRING = 0x80000,
};
struct VMB;
CNewMenu* BuildListPopupMenu(unsigned flags, unsigned string_id, VMB* list, std::vector<std::string>* texts);
// Shows the menu at the cursor over `owner` and returns the chosen item's
// index in the list (from 0) with its text, or -1.
int TrackListPopupMenu(HWND__* owner, unsigned string_id, std::string* chosen);
int TrackListPopupMenuEx(HWND__* owner, unsigned flags, unsigned string_id, VMB* list, std::string* chosen);
