#include "widgets/newmenu.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <map>

namespace {

UINT g_mode = NEWMENU_XP;
std::map<HMENU, CNewMenu*>& Registry() {
    static std::map<HMENU, CNewMenu*> map;
    return map;
}

COLORREF Mix(COLORREF a, COLORREF b, int percent_a) {
    auto ch = [&](int shift) {
        int x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
        return ((x * percent_a + y * (100 - percent_a)) / 100) & 0xFF;
    };
    return RGB(ch(0), ch(8), ch(16));
}

HFONT MenuFont(bool bold) {
    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof ncm;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0))
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (bold) ncm.lfMenuFont.lfWeight = FW_BOLD;
    return CreateFontIndirectA(&ncm.lfMenuFont);
}

void Fill(HDC dc, const RECT& r, COLORREF c) {
    SetBkColor(dc, c);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// Label and accelerator of an item text: before the first tab, after the last.
void SplitText(const std::string& text, std::string& label, std::string& accel) {
    size_t first = text.find('\t');
    label = text.substr(0, first);
    accel = first == std::string::npos ? std::string() : text.substr(text.rfind('\t') + 1);
}

// A tick drawn with lines: a symbol font's glyph is not there on every
// system, and a missing one shows as a box or a letter.
void DrawCheckMark(HDC dc, RECT r, COLORREF colour) {
    int h = r.bottom - r.top, w = r.right - r.left;
    int size = (h < w ? h : w) - 6;
    if (size < 6) size = 6;
    int x = r.left + (w - size) / 2, y = r.top + (h - size) / 2;
    HPEN pen = CreatePen(PS_SOLID, size >= 10 ? 2 : 1, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    POINT tick[3] = {{x, y + size / 2}, {x + size / 3, y + size - 1}, {x + size, y}};
    Polyline(dc, tick, 3);
    SelectObject(dc, old);
    DeleteObject(pen);
}

} // namespace

CNewMenu::CNewMenu(HMENU parent) : parent_(parent) {}

CNewMenu::~CNewMenu() { DestroyMenu(); }

CNewMenu* CNewMenu::FromHandle(HMENU menu) {
    auto it = Registry().find(menu);
    return it == Registry().end() ? nullptr : it->second;
}

bool CNewMenu::CreateMenu() {
    DestroyMenu();
    m_hMenu = ::CreateMenu();
    popup_ = 0;
    if (m_hMenu) Registry()[m_hMenu] = this;
    return m_hMenu != nullptr;
}

bool CNewMenu::CreatePopupMenu() {
    DestroyMenu();
    m_hMenu = ::CreatePopupMenu();
    popup_ = 1;
    if (m_hMenu) Registry()[m_hMenu] = this;
    return m_hMenu != nullptr;
}

bool CNewMenu::LoadMenu(HMENU menu) {
    if (!IsMenu(menu)) return false;
    DestroyMenu();
    m_hMenu = menu;
    Registry()[m_hMenu] = this;
    popup_ = 0;
    int n = ::GetMenuItemCount(menu);
    for (int i = 0; i < n; ++i) {
        HMENU sub = ::GetSubMenu(menu, i);
        if (!sub) continue;
        auto child = std::make_unique<CNewMenu>(m_hMenu);
        child->LoadMenu(sub);
        child->popup_ = 1;
        subs_.push_back(std::move(child));
    }
    ConvertItems();
    return true;
}

HMENU CNewMenu::Detach() {
    HMENU h = m_hMenu;
    for (auto& s : subs_) s->Detach();
    subs_.clear();
    items_.clear();
    if (h) Registry().erase(h);
    m_hMenu = nullptr;
    return h;
}

void CNewMenu::DestroyMenu() {
    while (!subs_.empty()) {
        subs_.back()->Detach();
        subs_.pop_back();
    }
    items_.clear();
    if (own_images_ && images_) ImageList_Destroy(images_);
    images_ = nullptr;
    own_images_ = false;
    if (m_hMenu) {
        Registry().erase(m_hMenu);
        ::DestroyMenu(m_hMenu);
        m_hMenu = nullptr;
    }
}

// Every item owner-drawn with a record of its own, in menu order.
void CNewMenu::ConvertItems() {
    int n = ::GetMenuItemCount(m_hMenu);
    std::vector<std::unique_ptr<CNewMenuItemData>> old;
    old.swap(items_);
    for (int i = 0; i < n; ++i) {
        MENUITEMINFOA mii{};
        char text[512] = "";
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_DATA | MIIM_STATE;
        mii.dwTypeData = text;
        mii.cch = sizeof text;
        if (!GetMenuItemInfoA(m_hMenu, UINT(i), TRUE, &mii)) continue;
        UINT_PTR key = mii.hSubMenu ? reinterpret_cast<UINT_PTR>(mii.hSubMenu) : mii.wID;
        bool sep = (mii.fType & MFT_SEPARATOR) != 0;
        std::unique_ptr<CNewMenuItemData> rec;
        for (auto& o : old)
            if (o && o->command == (sep ? 0 : key)) {
                rec = std::move(o);
                break;
            }
        if (!rec) rec = std::make_unique<CNewMenuItemData>();
        rec->command = sep ? 0 : key;
        rec->menu_flags = MF_OWNERDRAW | (sep ? MF_SEPARATOR : 0) | (mii.hSubMenu ? MF_POPUP : 0);
        if (!sep && text[0] && !(mii.fType & MFT_OWNERDRAW)) rec->text = text;
        MENUITEMINFOA set{};
        set.cbSize = sizeof set;
        set.fMask = MIIM_FTYPE | MIIM_DATA;
        set.fType = (mii.fType & ~MFT_STRING) | MFT_OWNERDRAW;
        set.dwItemData = reinterpret_cast<ULONG_PTR>(rec.get());
        SetMenuItemInfoA(m_hMenu, UINT(i), TRUE, &set);
        items_.push_back(std::move(rec));
    }
}

bool CNewMenu::AppendOwnerDrawItem(const char* text, UINT flags, UINT_PTR id, int image) {
    auto rec = std::make_unique<CNewMenuItemData>();
    bool sep = id == 0 || (flags & MF_SEPARATOR);
    rec->text = sep || !text ? "" : text;
    rec->command = sep ? 0 : id;
    rec->menu_flags = flags | MF_OWNERDRAW | (sep ? MF_SEPARATOR : 0);
    rec->image_index = image;
    UINT f = (flags & ~(MF_STRING | MF_BITMAP)) | MF_OWNERDRAW | (sep ? MF_SEPARATOR : 0);
    if (!::AppendMenuA(m_hMenu, f, sep ? 0 : id, reinterpret_cast<LPCSTR>(rec.get()))) return false;
    items_.push_back(std::move(rec));
    return true;
}

CNewMenu* CNewMenu::AddPopupMenu(const char* text) {
    auto sub = std::make_unique<CNewMenu>(m_hMenu);
    if (!sub->CreatePopupMenu()) return nullptr;
    sub->images_ = images_;
    if (!AppendOwnerDrawItem(text, MF_POPUP, reinterpret_cast<UINT_PTR>(sub->m_hMenu))) return nullptr;
    subs_.push_back(std::move(sub));
    return subs_.back().get();
}

CNewMenuItemData* CNewMenu::Record(UINT position) {
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_DATA;
    if (!GetMenuItemInfoA(m_hMenu, position, TRUE, &mii)) return nullptr;
    auto* rec = reinterpret_cast<CNewMenuItemData*>(mii.dwItemData);
    for (auto& r : items_)
        if (r.get() == rec) return rec;
    return nullptr;
}

CNewMenuItemData* CNewMenu::ItemAt(UINT position) { return Record(position); }

CNewMenuItemData* CNewMenu::FindItem(UINT id, CNewMenu** holder) {
    UINT n = GetItemCount();
    for (UINT i = 0; i < n; ++i) {
        CNewMenuItemData* rec = Record(i);
        if (!rec) continue;
        if (rec->menu_flags & MF_POPUP) {
            if (CNewMenu* sub = FromHandle(reinterpret_cast<HMENU>(rec->command)))
                if (CNewMenuItemData* found = sub->FindItem(id, holder)) return found;
        } else if (!(rec->menu_flags & MF_SEPARATOR) && rec->command == id) {
            if (holder) *holder = this;
            return rec;
        }
    }
    return nullptr;
}

bool CNewMenu::SetItemValue(UINT id, intptr_t value) {
    CNewMenuItemData* rec = FindItem(id);
    if (!rec) return false;
    rec->user_value = value;
    return true;
}

intptr_t CNewMenu::GetItemValue(UINT id) {
    CNewMenuItemData* rec = FindItem(id);
    return rec ? rec->user_value : -1;
}

bool CNewMenu::LoadToolBarImages(CNewMenu* menu, HBITMAP bitmap, int cx, int cy, COLORREF mask,
                                 const std::vector<std::pair<UINT, int>>& pairs) {
    if (!menu || !bitmap) return false;
    HIMAGELIST list = ImageList_Create(cx, cy, ILC_COLOR24 | ILC_MASK, 16, 16);
    if (!list) return false;
    ImageList_AddMasked(list, bitmap, mask == COLORREF(-1) ? GetSysColor(COLOR_3DFACE) : mask);
    if (menu->own_images_ && menu->images_) ImageList_Destroy(menu->images_);
    menu->images_ = list;
    menu->own_images_ = true;
    menu->icon_cx_ = cx;
    menu->icon_cy_ = cy;
    std::vector<CNewMenu*> all{menu};
    for (size_t i = 0; i < all.size(); ++i) {
        all[i]->images_ = list;
        for (auto& s : all[i]->subs_) all.push_back(s.get());
    }
    for (auto& [id, index] : pairs)
        for (CNewMenu* m : all)
            for (auto& rec : m->items_)
                if (!(rec->menu_flags & (MF_POPUP | MF_SEPARATOR)) && rec->command == id)
                    rec->image_index = index;
    return true;
}

UINT CNewMenu::SetMenuDrawMode(UINT mode) {
    if (mode >= NEWMENU_CLASSIC && mode <= NEWMENU_PLAIN2) g_mode = mode;
    return g_mode;
}

UINT CNewMenu::GetMenuDrawMode() { return g_mode; }

void CNewMenu::MeasureItem(MEASUREITEMSTRUCT* mis) {
    auto* item = reinterpret_cast<CNewMenuItemData*>(mis->itemData);
    if (!item) return;
    if (item->menu_flags & MF_SEPARATOR) {
        mis->itemWidth = 0;
        mis->itemHeight = 3;
        return;
    }
    // An item of a menu bar is a popup item whose menu is not a popup.
    bool bar = (item->menu_flags & MF_POPUP) && !popup_;
    HDC dc = GetDC(nullptr);
    HFONT font = MenuFont((item->menu_flags & 0x20) != 0);
    HGDIOBJ old = SelectObject(dc, font);
    std::string label, accel;
    SplitText(item->text, label, accel);
    RECT r{0, 0, 0, 0};
    ::DrawTextA(dc, label.c_str(), int(label.size()), &r, DT_SINGLELINE | DT_CALCRECT);
    int width = r.right;
    if (!accel.empty()) {
        RECT a{0, 0, 0, 0};
        ::DrawTextA(dc, accel.c_str(), int(accel.size()), &a, DT_SINGLELINE | DT_CALCRECT);
        width += a.right + 15;
    }
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    if (!bar) width += 2 * icon_cx_ + 2;
    mis->itemWidth = UINT(width);
    int extra = (g_mode == NEWMENU_XP || g_mode == NEWMENU_XP2) ? 8 : 4;
    mis->itemHeight = UINT(std::max(GetSystemMetrics(SM_CYMENU), icon_cy_ + extra));
}

void CNewMenu::DrawItem(DRAWITEMSTRUCT* dis) {
    auto* item = reinterpret_cast<CNewMenuItemData*>(dis->itemData);
    if (!item) return;
    bool bar = !parent_ && !popup_;
    if (g_mode == NEWMENU_CLASSIC)
        DrawClassic(dis, item, bar);
    else if (g_mode == NEWMENU_PLAIN || g_mode == NEWMENU_PLAIN2)
        DrawPlain(dis, item, bar);
    else
        DrawXP(dis, item, bar);
}

void CNewMenu::DrawText(HDC dc, RECT r, CNewMenuItemData* item, bool bar, COLORREF colour, bool bold) {
    HFONT font = MenuFont(bold);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    std::string label, accel;
    SplitText(item->text, label, accel);
    if (bar) {
        ::DrawTextA(dc, label.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    } else {
        ::DrawTextA(dc, label.c_str(), -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        if (!accel.empty())
            ::DrawTextA(dc, accel.c_str(), -1, &r, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    }
    SelectObject(dc, old);
    DeleteObject(font);
}

void CNewMenu::DrawXP(DRAWITEMSTRUCT* dis, CNewMenuItemData* item, bool bar) {
    HDC dc = dis->hDC;
    RECT r = dis->rcItem;
    COLORREF window = GetSysColor(COLOR_WINDOW), menu = GetSysColor(COLOR_MENU);
    COLORREF back = Mix(window, menu, 86), column = Mix(menu, window, 86);
    COLORREF select = Mix(window, GetSysColor(COLOR_HIGHLIGHT), 70);
    bool selected = (dis->itemState & (ODS_SELECTED | ODS_HOTLIGHT)) != 0;
    bool grayed = (dis->itemState & ODS_GRAYED) != 0;
    int w = icon_cx_;
    if (bar) {
        Fill(dc, r, menu);
    } else {
        RECT col = r, rest = r;
        col.right = r.left + w + 8;
        rest.left = col.right;
        Fill(dc, col, column);
        Fill(dc, rest, back);
    }
    if (item->menu_flags & MF_SEPARATOR) {
        RECT line = r;
        line.left += w + 12;
        line.top = (r.top + r.bottom) / 2;
        line.bottom = line.top + 1;
        Fill(dc, line, GetSysColor(COLOR_GRAYTEXT));
        return;
    }
    if (selected && !(grayed && !bar)) {
        HBRUSH brush = CreateSolidBrush(bar ? column : select);
        HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_HIGHLIGHT));
        HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, pen);
        Rectangle(dc, r.left, r.top, bar ? r.right - 4 : r.right, r.bottom);
        SelectObject(dc, ob);
        SelectObject(dc, op);
        DeleteObject(brush);
        DeleteObject(pen);
    }
    RECT text = r;
    if (!bar) {
        text.left = r.left + w + 8 + 4;
        text.right = r.right - 15;
    }
    DrawText(dc, text, item, bar, GetSysColor(grayed ? COLOR_GRAYTEXT : COLOR_MENUTEXT),
             (dis->itemState & ODS_DEFAULT) != 0);
    if (bar) return;
    RECT icon{r.left + 3, r.top + 4, r.left + 3 + w, r.top + 4 + icon_cy_};
    if (item->image_index >= 0 && images_) {
        ImageList_Draw(images_, item->image_index, dc, icon.left, icon.top,
                       grayed ? ILD_BLEND50 : ILD_TRANSPARENT);
    } else if (dis->itemState & ODS_CHECKED) {
        DrawCheckMark(dc, icon, GetSysColor(COLOR_MENUTEXT));
    }
}

void CNewMenu::DrawClassic(DRAWITEMSTRUCT* dis, CNewMenuItemData* item, bool bar) {
    HDC dc = dis->hDC;
    RECT r = dis->rcItem;
    COLORREF back = GetSysColor(COLOR_MENU);
    bool selected = (dis->itemState & ODS_SELECTED) != 0;
    bool grayed = (dis->itemState & ODS_GRAYED) != 0;
    int w = icon_cx_;
    Fill(dc, r, back);
    if (item->menu_flags & MF_SEPARATOR) {
        RECT e = r;
        e.left += 1;
        e.top = (r.top + r.bottom) / 2;
        DrawEdge(dc, &e, EDGE_ETCHED, BF_TOP);
        return;
    }
    RECT text = r;
    if (bar) {
        if (dis->itemState & (ODS_SELECTED | ODS_HOTLIGHT))
            DrawEdge(dc, &r, selected ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        if (selected) OffsetRect(&text, 1, 1);
        DrawText(dc, text, item, true, GetSysColor(grayed ? COLOR_GRAYTEXT : COLOR_MENUTEXT), false);
        return;
    }
    if (selected) {
        RECT s = r;
        s.left = r.left + 1 + w + 6;
        Fill(dc, s, GetSysColor(COLOR_HIGHLIGHT));
    }
    text.left = r.left + w + 12;
    text.right -= 6;
    OffsetRect(&text, 0, -1);
    COLORREF colour = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
    if (grayed) {
        if (!selected) {
            RECT emboss = text;
            OffsetRect(&emboss, 1, 1);
            DrawText(dc, emboss, item, false, GetSysColor(COLOR_3DHILIGHT), false);
        }
        colour = selected ? back : GetSysColor(COLOR_GRAYTEXT);
    }
    DrawText(dc, text, item, false, colour, (dis->itemState & ODS_DEFAULT) != 0);
    int top = r.top + (r.bottom - r.top - icon_cy_) / 4 + 1;
    RECT icon{r.left + 3, top, r.left + 3 + w, top + icon_cy_};
    if (item->image_index >= 0 && images_) {
        RECT frame = icon;
        InflateRect(&frame, 1, 1);
        if (dis->itemState & ODS_CHECKED)
            DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
        else if (selected && !grayed)
            DrawEdge(dc, &frame, BDR_RAISEDINNER, BF_RECT);
        ImageList_Draw(images_, item->image_index, dc, icon.left, icon.top,
                       grayed ? ILD_BLEND50 : ILD_TRANSPARENT);
    } else if (dis->itemState & ODS_CHECKED) {
        DrawEdge(dc, &icon, BDR_SUNKENOUTER, BF_RECT);
        DrawCheckMark(dc, icon, GetSysColor(COLOR_MENUTEXT));
    }
}

void CNewMenu::DrawPlain(DRAWITEMSTRUCT* dis, CNewMenuItemData* item, bool bar) {
    bool hot = (dis->itemState & (ODS_SELECTED | ODS_HOTLIGHT)) != 0;
    Fill(dis->hDC, dis->rcItem, GetSysColor(hot ? COLOR_HIGHLIGHT : COLOR_MENU));
    if (item->menu_flags & MF_SEPARATOR) return;
    RECT text = dis->rcItem;
    if (!bar) text.left += icon_cx_ + 8;
    int colour = (dis->itemState & ODS_GRAYED) ? COLOR_GRAYTEXT : hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT;
    DrawText(dis->hDC, text, item, bar, GetSysColor(colour), false);
}

bool CNewMenu::OnMeasureItem(const MSG* msg) {
    auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(msg->lParam);
    if (!mis || mis->CtlType != ODT_MENU) return false;
    auto* item = reinterpret_cast<CNewMenuItemData*>(mis->itemData);
    if (!item) return false;
    // The menu that holds the record measures it.
    for (auto& [h, m] : Registry())
        for (auto& rec : m->items_)
            if (rec.get() == item) {
                m->MeasureItem(mis);
                return true;
            }
    return false;
}

bool CNewMenu::OnDrawItem(DRAWITEMSTRUCT* dis) {
    if (!dis || dis->CtlType != ODT_MENU) return false;
    CNewMenu* m = FromHandle(reinterpret_cast<HMENU>(dis->hwndItem));
    if (!m) return false;
    m->DrawItem(dis);
    return true;
}

LRESULT CNewMenu::OnMenuChar(UINT ch, UINT flags, CNewMenu* menu) {
    (void)flags;
    if (!menu) return 0;
    int lower = std::tolower(int(ch & 0xFF));
    UINT n = menu->GetItemCount();
    for (UINT i = 0; i < n; ++i) {
        CNewMenuItemData* rec = menu->Record(i);
        if (!rec) continue;
        size_t amp = rec->text.find('&');
        while (amp != std::string::npos && amp + 1 < rec->text.size() && rec->text[amp + 1] == '&')
            amp = rec->text.find('&', amp + 2);
        if (amp != std::string::npos && amp + 1 < rec->text.size() &&
            std::tolower(static_cast<unsigned char>(rec->text[amp + 1])) == lower)
            return MAKELRESULT(i, MNC_EXECUTE);
    }
    return 0;
}

void CNewMenu::OnInitMenuPopup(HWND owner, HMENU popup, UINT index, BOOL sys_menu) {
    (void)owner;
    (void)index;
    if (sys_menu) return;
    // Items added to a popup behind the menu's back become owner-drawn too.
    if (CNewMenu* m = FromHandle(popup))
        if (int(m->items_.size()) != ::GetMenuItemCount(popup)) m->ConvertItems();
}

UINT CNewMenu::SetMenuTimer(HWND hwnd, UINT elapse) {
    if (!IsWindow(hwnd)) return 0;
    for (UINT id = 31; id <= 99; ++id)
        if (SetTimer(hwnd, id, elapse, nullptr)) return id;
    return 0;
}
