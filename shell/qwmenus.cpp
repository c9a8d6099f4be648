#include "shell/qwmenus.h"

#include <windows.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <memory>

#include "commands/cmdseq.h"
#include "commands/cmdtable.h"
#include "VmEngine/vm.h"
#include "commands/cmdvalues.h"
#include "opsys/msgout.h"
#include "shell/shellstrings.h"
#include "widgets/newmenu.h"

namespace {

QwMenuKeyTextFn g_key_text = nullptr;

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n"), b = s.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

bool IsComment(const std::string& f1) {
    if (f1.empty()) return false;
    if (f1[0] == '#' || f1.compare(0, 2, "//") == 0) return true;
    return f1.size() >= 3 && _strnicmp(f1.c_str(), "rem", 3) == 0;
}

std::string Unquote(std::string s) {
    s = Trim(s);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    return s;
}

} // namespace

void SetMenuKeyTextSource(QwMenuKeyTextFn fn) { g_key_text = fn; }

int ParseMenuFile(CNewMenu* bar, const std::vector<std::string>& lines, const char* path, int* next_multi) {
    CNewMenu* top = nullptr;
    CNewMenu* nested = nullptr;
    int position = 1;
    bool last_separator = false;
    int line_no = 0;
    for (const std::string& raw : lines) {
        ++line_no;
        std::string line = raw;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t t1 = line.find('\t');
        std::string f1 = Trim(line.substr(0, t1)).substr(0, QW_MENU_TEXT_MAX);
        std::string rest = t1 == std::string::npos ? std::string() : line.substr(t1 + 1);
        size_t t2 = rest.find('\t');
        std::string f2 = Trim(rest.substr(0, t2)).substr(0, QW_MENU_COMMANDS_MAX);
        std::string f3 = t2 == std::string::npos ? std::string() : Trim(rest.substr(t2 + 1));
        if (f3.size() > QW_MENU_PROMPT_MAX) f3.resize(QW_MENU_PROMPT_MAX);
        if (IsComment(f1) || (f1.empty() && f2.empty())) continue;

        std::vector<int32_t> seq;
        std::string error;
        int count = ParseKeyCommandList(&seq, f2.c_str(), &error);
        int commands = count < 0 ? 0 : K_cmd_seq_command_count(seq.data());
        UINT id = QW_MENU_NO_COMMAND;
        QwMenuItemData* data = nullptr;
        int single = -1;
        std::string text = f1;
        if (count < 0) {
            if (f1.empty() || f1[0] != '+')
                MsgWarn("%s\rFile: %s\rLine: %d", error.c_str() + 1, path, line_no);
        } else if (count > 1 || commands > 1) {
            if (*next_multi > QW_MENU_MULTI_LAST) {
                MsgWarn("%s\rFile: %s\rLine: %d", "Too many menu items with several commands", path, line_no);
            } else {
                data = new QwMenuItemData{std::move(seq), f3};
                id = UINT((*next_multi)++);
            }
        } else if (count == 1) {
            single = seq[0];
            if (single != 300 && single != 299) {
                if (!K_cmd_is_implemented(single)) continue;
                if (g_key_text) {
                    std::string keys = g_key_text(single);
                    if (!keys.empty()) text += "\t" + keys;
                }
            }
            id = UINT(single);
            if (single == 300) {
                CNewMenu* popup = bar->AddPopupMenu(f1.c_str());
                top = popup;
                nested = nullptr;
                position = 1;
                last_separator = false;
                continue;
            }
        }
        if (!top) {
            MsgWarn("%s\rFile: %s\rLine: %d", "Error: No K_M_HEAD spec'd before first menu item", path, line_no);
            delete data;
            continue;
        }
        if (single == 299) {
            if (f1.empty() || f1[0] != '>') nested = nullptr;
            CNewMenu* target = nested ? nested : top;
            if (position > 1 && !last_separator && target->GetItemCount() > 0) {
                target->AppendOwnerDrawItem(nullptr, MF_SEPARATOR, 0);
                last_separator = true;
            }
            continue;
        }
        if (text.empty()) {
            delete data;
            continue;
        }
        if (text[0] == '+') {
            nested = top->AddPopupMenu(Unquote(text.substr(1)).c_str());
            delete data;
            ++position;
            last_separator = false;
            continue;
        }
        CNewMenu* target = top;
        if (text[0] == '>' && nested) {
            target = nested;
            text = Unquote(text.substr(1));
        } else {
            nested = nullptr;
            if (text[0] == '>') text = Unquote(text.substr(1));
        }
        target->AppendOwnerDrawItem(text.c_str(), MF_STRING, id);
        if (data) {
            target->FindItem(id)->user_data = data;
        } else if (single > 0 && K_cmd_is_checkable(single) && cmd_get_value(single) == 1) {
            CheckMenuItem(target->m_hMenu, target->GetItemCount() - 1, MF_BYPOSITION | MF_CHECKED);
        }
        ++position;
        last_separator = false;
    }
    return 1;
}

int LoadMenuFile(CNewMenu* bar, const char* path, int* next_multi) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        MsgOutId(QW_MSG_ID | QW_MSG_BOX, IDS_QW_MENU_FILE_MISSING, path);
        return 0;
    }
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return ParseMenuFile(bar, lines, path, next_multi);
}

const QwMenuItemData* GetMenuItemSequence(CNewMenu* menu, int id) {
    if (!menu || id < QW_MENU_MULTI_FIRST || id > QW_MENU_MULTI_LAST) return nullptr;
    CNewMenuItemData* rec = menu->FindItem(UINT(id));
    return rec ? static_cast<const QwMenuItemData*>(rec->user_data) : nullptr;
}

int GetMenuItemPrompt(int id, CNewMenu* menu, std::string* text) {
    if (id < QW_MENU_MULTI_FIRST || id > QW_MENU_MULTI_LAST) return 0;
    if (text) text->clear();
    if (const QwMenuItemData* d = GetMenuItemSequence(menu, id))
        if (text) *text = d->prompt;
    return 1;
}

void ReleaseMenuItemData(CNewMenu* menu) {
    if (!menu || !menu->m_hMenu) return;
    UINT n = menu->GetItemCount();
    for (UINT i = 0; i < n; ++i) {
        CNewMenuItemData* rec = menu->ItemAt(i);
        if (!rec) continue;
        if (rec->menu_flags & MF_POPUP) {
            ReleaseMenuItemData(CNewMenu::FromHandle(reinterpret_cast<HMENU>(rec->command)));
        } else if (rec->user_data) {
            delete static_cast<QwMenuItemData*>(rec->user_data);
            rec->user_data = nullptr;
        }
    }
}

HMENU WindowMenuPopupOf(HMENU bar) {
    if (!bar) return nullptr;
    for (int i = GetMenuItemCount(bar) - 1; i >= 0; --i) {
        HMENU sub = GetSubMenu(bar, i);
        if (!sub) continue;
        for (UINT id = 363; id <= 375; ++id)
            if (GetMenuState(sub, id, MF_BYCOMMAND) != UINT(-1)) return sub;
    }
    return nullptr;
}

void* GetWindowMenuPopup(CNewMenu* bar) { return bar ? WindowMenuPopupOf(bar->m_hMenu) : nullptr; }

CNewMenu* BuildListPopupMenu(unsigned flags, unsigned string_id, VMB* list, std::vector<std::string>* texts) {
    std::vector<std::string> items;
    if (flags & QW_POPUP_FROM_STRING) {
        char buf[1024] = "";
        LoadAppString(string_id, buf, sizeof buf);
        std::string s = buf;
        size_t start = 0;
        for (;;) {
            size_t cr = s.find('\r', start);
            items.push_back(s.substr(start, cr == std::string::npos ? std::string::npos : cr - start));
            if (cr == std::string::npos) break;
            start = cr + 1;
        }
    } else if ((flags & QW_POPUP_FROM_LIST) && list) {
        int n = vm_line_count(list);
        for (int i = 1; i <= n; ++i) {
            char line[81] = "";
            if (vm_read_text(list, i, 0, line, 80, nullptr) < 0) line[0] = 0;
            items.push_back(line);
        }
    }
    auto menu = std::make_unique<CNewMenu>();
    if (!menu->CreatePopupMenu()) return nullptr;
    CNewMenu* nested = nullptr;
    bool had_nested = false;
    for (size_t i = 0; i < items.size(); ++i) {
        std::string text = items[i].substr(0, 79);
        UINT id = UINT(i + 1);
        if (text.empty()) {
            (nested ? nested : menu.get())->AppendOwnerDrawItem(nullptr, MF_SEPARATOR, 0);
            continue;
        }
        if (text[0] == '+') {
            if (had_nested) {
                MsgOut(QW_MSG_BOX, "Popup menus currently only support a single nested menu.");
                return nullptr;
            }
            nested = menu->AddPopupMenu(text.c_str() + 1);
            had_nested = true;
            continue;
        }
        if (text[0] == '>' && nested) {
            nested->AppendOwnerDrawItem(text.c_str() + 1, MF_STRING, id);
            continue;
        }
        nested = nullptr;
        menu->AppendOwnerDrawItem(text.c_str(), MF_STRING, id);
    }
    if (texts) *texts = items;
    return menu.release();
}

int TrackListPopupMenuEx(HWND owner, unsigned flags, unsigned string_id, VMB* list, std::string* chosen) {
    std::vector<std::string> items;
    std::unique_ptr<CNewMenu> menu(BuildListPopupMenu(flags, string_id, list, &items));
    if (!menu) return -1;
    POINT pt;
    GetCursorPos(&pt);
    UINT id = UINT(TrackPopupMenu(menu->m_hMenu, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, owner, nullptr));
    if (id == 0 || id > items.size()) return -1;
    std::string text = items[id - 1];
    if (!text.empty() && text[0] == '>') text.erase(0, 1);
    if (chosen) *chosen = text;
    return int(id - 1);
}

int TrackListPopupMenu(HWND owner, unsigned string_id, std::string* chosen) {
    return TrackListPopupMenuEx(owner, QW_POPUP_FROM_STRING, string_id, nullptr, chosen);
}
