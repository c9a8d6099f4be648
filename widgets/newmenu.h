#pragma once
// CNewMenu: Win32 menus turned owner-drawn, with icons beside the commands,
// drawn in one look chosen once per process (classic 3-D, flat XP-style or
// plain). Every item has a CNewMenuItemData record (text, flags, command,
// image, a caller's value); the Win32 item's data points at it, so the
// owner window gets WM_MEASUREITEM / WM_DRAWITEM and hands them back through
// the static functions below.
//
//   CNewMenu bar;  bar.CreateMenu();                   // a menu bar
//   CNewMenu* file = bar.AddPopupMenu("&File");
//   file->AppendOwnerDrawItem("&Open\tCtrl+O", MF_STRING, 302);
//   // frame:  WM_MEASUREITEM -> CNewMenu::OnMeasureItem(&msg)
//   //         WM_DRAWITEM    -> CNewMenu::OnDrawItem(dis)
//   //         WM_MENUCHAR    -> CNewMenu::OnMenuChar(ch, flags, menu)
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

class CNewMenu;

struct CNewMenuItemData {
    std::string text;        // shown text; "\t" separates the accelerator
    UINT title_flags = 0;
    UINT menu_flags = MF_OWNERDRAW;
    UINT_PTR command = 0;    // command id, or the popup's menu handle
    int image_index = -1;    // index in the menu's image list, -1 none
    intptr_t user_value = 0; // a caller's value (GetItemValue gives -1 when missing)
    void* user_data = nullptr; // a caller's record (owned by the caller)
};

// Looks (SetMenuDrawMode): 1 classic, 2 and 3 flat XP-style, 4 and 5 plain.
enum : UINT { NEWMENU_CLASSIC = 1, NEWMENU_XP = 2, NEWMENU_XP2 = 3, NEWMENU_PLAIN = 4, NEWMENU_PLAIN2 = 5 };

class CNewMenu {
public:
    explicit CNewMenu(HMENU parent = nullptr);
    ~CNewMenu();
    CNewMenu(const CNewMenu&) = delete;
    CNewMenu& operator=(const CNewMenu&) = delete;

    HMENU m_hMenu = nullptr;
    HMENU GetSafeHmenu() const { return m_hMenu; }

    // A new empty menu bar (popup 0) or popup menu.
    bool CreateMenu();
    bool CreatePopupMenu();
    // Takes over a menu handle and its sub-menus, converting them.
    bool LoadMenu(HMENU menu);
    // Releases everything and destroys the Win32 menu.
    void DestroyMenu();
    // Gives up the handle without destroying it (records are dropped).
    HMENU Detach();

    // Appends an owner-drawn item; id 0 (or MF_SEPARATOR) makes a separator.
    bool AppendOwnerDrawItem(const char* text, UINT flags, UINT_PTR id, int image = -1);
    // A popup that shares this menu's looks; owned by this menu.
    CNewMenu* AddPopupMenu(const char* text);

    UINT GetItemCount() const { return UINT(::GetMenuItemCount(m_hMenu)); }
    CNewMenuItemData* FindItem(UINT id, CNewMenu** holder = nullptr);
    CNewMenuItemData* ItemAt(UINT position);
    const std::vector<std::unique_ptr<CNewMenu>>& SubMenus() const { return subs_; }
    bool SetItemValue(UINT id, intptr_t value);
    intptr_t GetItemValue(UINT id);
    bool IsPopupMenu() const { return popup_ != 0; }
    HMENU GetParentMenu() const { return parent_; }
    UINT GetFlags() const { return user_flags_; }
    void SetFlags(UINT flags) { user_flags_ = flags; }

    // Icons: an image list of cx x cy images from a bitmap (mask colour
    // -1: the button face), each (command, image index) pair gives that
    // command the image, anywhere in this menu tree.
    static bool LoadToolBarImages(CNewMenu* menu, HBITMAP bitmap, int cx, int cy, COLORREF mask,
                                  const std::vector<std::pair<UINT, int>>& pairs);

    virtual void MeasureItem(MEASUREITEMSTRUCT* mis);
    virtual void DrawItem(DRAWITEMSTRUCT* dis);

    // ---- Static functions the frames call ----
    static UINT SetMenuDrawMode(UINT mode);
    static UINT GetMenuDrawMode();
    // WM_MEASUREITEM of a menu item of `msg->hwnd`'s menus: true when measured.
    static bool OnMeasureItem(const MSG* msg);
    // WM_DRAWITEM of a menu item: true when drawn.
    static bool OnDrawItem(DRAWITEMSTRUCT* dis);
    // MAKELRESULT(position, MNC_EXECUTE) for the first item whose "&"
    // mnemonic is the typed character (case ignored), else 0.
    static LRESULT OnMenuChar(UINT ch, UINT flags, CNewMenu* menu);
    static void OnInitMenuPopup(HWND owner, HMENU popup, UINT index, BOOL sys_menu);
    // The CNewMenu object of a handle, or null.
    static CNewMenu* FromHandle(HMENU menu);
    // Starts a timer with the first free identifier 31..99; 0 when none.
    static UINT SetMenuTimer(HWND hwnd, UINT elapse);

private:
    void ConvertItems();
    CNewMenuItemData* Record(UINT position);
    void DrawXP(DRAWITEMSTRUCT* dis, CNewMenuItemData* item, bool bar);
    void DrawClassic(DRAWITEMSTRUCT* dis, CNewMenuItemData* item, bool bar);
    void DrawPlain(DRAWITEMSTRUCT* dis, CNewMenuItemData* item, bool bar);
    void DrawText(HDC dc, RECT r, CNewMenuItemData* item, bool bar, COLORREF colour, bool bold);

    std::vector<std::unique_ptr<CNewMenuItemData>> items_;
    std::vector<std::unique_ptr<CNewMenu>> subs_;
    HMENU parent_;
    int popup_ = 1;
    UINT user_flags_ = 0;
    HIMAGELIST images_ = nullptr;
    bool own_images_ = false;
    int icon_cx_ = 16, icon_cy_ = 15;
};
