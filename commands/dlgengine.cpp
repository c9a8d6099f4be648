// The dialog engine: values by control identifier, table sections, enable
// rules, validation, the undo list, placement and the host window.
#include "commands/dlgengine.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "commands/cmdtable.h"
#include "commands/cmdvalues.h"
#include "Reu/history.h"
#include "commands/dlgcontrols.h"
#include "commands/interp.h"
#include "VmEngine/vm.h"
#include "commands/cmdlists.h"
#include "commands/dlgfolders.h"
#include "commands/dlgtabs.h"
#include "framework/fwprofile.h"
#include "opsys/msgout.h"
#include "opsys/shell_outlets.h"

namespace {

std::atomic<DlgCommandRunner> g_runner{nullptr};
std::atomic<const fw::Profile*> g_profile{nullptr};
std::atomic<DlgWorkAreaFn> g_work_area{nullptr};
std::atomic<DlgDocumentOpenFn> g_doc_open{nullptr};

constexpr size_t kMaxUndo = 1024;
constexpr int kMaxApplyDepth = 8;

int RunCommandDirect(int id, K_cmd_params* params) {
    K_cmd_record* r = K_cmd_lookup(id);
    if (!r) return -3;
    if (r->attr & (K_ATTR_VIEW_METHOD | K_ATTR_VIEW_NOARGS | K_ATTR_TITLE | K_ATTR_TITLE_FLAG0)) return -2;
    return r->handler.fn ? r->handler.fn(id, params) : -2;
}

bool FileExists(const std::string& p) {
    DWORD a = GetFileAttributesA(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& p) {
    DWORD a = GetFileAttributesA(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool HasBadPathChars(const std::string& p) {
    for (unsigned char c : p)
        if (c < 32 || c == '<' || c == '>' || c == '|' || c == '"') return true;
    return false;
}

DlgRect DefaultWorkArea() {
    QwShellOutlets o = QwGetShellOutlets();
    HWND main = o.main_window ? static_cast<HWND>(o.main_window()) : nullptr;
    HMONITOR mon = MonitorFromWindow(main, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    if (!GetMonitorInfoA(mon, &mi)) SystemParametersInfoA(SPI_GETWORKAREA, 0, &mi.rcWork, 0);
    return {mi.rcWork.left, mi.rcWork.top, mi.rcWork.right, mi.rcWork.bottom};
}

std::string ClassOf(HWND w) {
    char cls[64] = "";
    if (w) GetClassNameA(w, cls, sizeof cls);
    return cls;
}

struct FindChild {
    int id;
    HWND found;
};

BOOL CALLBACK FindChildProc(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<FindChild*>(lp);
    if (GetDlgCtrlID(w) == f->id) {
        f->found = w;
        return FALSE;
    }
    return TRUE;
}

} // namespace

DlgCommandRunner DlgSetCommandRunner(DlgCommandRunner fn) { return g_runner.exchange(fn); }
void DlgSetProfile(const fw::Profile* profile) { g_profile.store(profile); }
const fw::Profile* DlgGetProfile() { return g_profile.load(); }
DlgWorkAreaFn DlgSetWorkAreaProvider(DlgWorkAreaFn fn) { return g_work_area.exchange(fn); }
void DlgSetDocumentOpenTest(DlgDocumentOpenFn fn) { g_doc_open.store(fn); }

// ---- Callback -----------------------------------------------------------------------

int CDialogCallback::OnEvent(int event, int id) {
    if (event == DLG_EV_CLICK && is_setting_id(id)) {
        K_cmd_params p;
        K_cmd_params_init(&p, 6, id, nullptr, 0, 0);
        DlgCommandRunner run = g_runner.load();
        (run ? run : RunCommandDirect)(id, &p);
    }
    return 1;
}

int CDialogCallback::QueryValue(int id) {
    (void)id;
    return -1;
}

// ---- Engine -------------------------------------------------------------------------

Dialog_UI::Dialog_UI(HWND parent, QWDialog* host, int template_id, int table_id)
    : parent_(parent), host_(host), template_id_(template_id) {
    DlgInstallHistoryResolver();
    int id = table_id ? table_id : (template_id & 0xFFFF);
    HMODULE mod = GetModuleHandleA(nullptr);
    HRSRC res = FindResourceA(mod, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));
    if (!res) return;
    HGLOBAL g = LoadResource(mod, res);
    const void* bytes = g ? LockResource(g) : nullptr;
    std::string why;
    if (bytes && table_.Load(bytes, SizeofResource(mod, res), &why)) {
        has_table_ = !table_.empty();
    } else if (bytes) {
        MsgOut(QW_MSG_LOG, "KV: Dialog_UI: control table %d refused: %s", id, why.c_str());
    }
}

Dialog_UI::~Dialog_UI() {
    Call_Attached_Cexe(7, DLG_EV_STATE);
    if (owns_callback_) delete callback_;
    if (grip_bitmap_) DeleteObject(grip_bitmap_);
    if (background_) DeleteObject(background_);
}

void Dialog_UI::Init(int command_id, unsigned flags, const char* caption, const char* const* labels,
                     DlgString* strings, const intptr_t* values, DlgLineFormatter formatter, const char* program,
                     intptr_t program_arg, CDialogCallback* callback) {
    command_id_ = command_id;
    flags_ = flags;
    caption_ = caption ? caption : "";
    labels_.clear();
    for (int i = 0; labels && labels[i] && i < 40; ++i) labels_.emplace_back(labels[i]);
    strings_.clear();
    for (int i = 0; strings && strings[i].text && i < 10; ++i) strings_.push_back(strings[i]);
    for (int i = 0; i < 10; ++i) values_[i] = values ? values[i] : 0;
    formatter_ = formatter;
    program_ = program ? program : "";
    program_arg_ = program_arg;
    callback_ = callback ? callback : new CDialogCallback;
    callback_->owner = this;
    section_ = DlgProfileSection(command_id);
    int key = 0;
    if (!background_ && (DlgQueryTable(table_, DLG_SEC_VISUAL, template_id_ & 0xFFFF, 0x80, &key) & 0x80) && key)
        background_ = static_cast<HBITMAP>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(key), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

HWND Dialog_UI::hwnd() const { return host_ ? host_->hwnd() : nullptr; }

DlgString Dialog_UI::string_value(int n) const {
    if (n < 0 || n >= static_cast<int>(strings_.size())) return {nullptr, 0};
    return strings_[static_cast<size_t>(n)];
}

int Dialog_UI::GetRecordField(int k) const {
    if (!current_) return 0;
    switch (k) {
    case 0: return current_->section;
    case 1: return current_->control;
    case 2: return current_->key;
    case 3: return current_->flags;
    case 4: return current_->extra;
    default: return 0;
    }
}

HWND Dialog_UI::Item(int id) const {
    HWND dlg = hwnd();
    if (!dlg || id <= 0) return nullptr;
    if (HWND w = GetDlgItem(dlg, id)) return w;
    FindChild f{id, nullptr};
    EnumChildWindows(dlg, FindChildProc, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

int Dialog_UI::kind_of(HWND w) const { return DlgKindOf(w); }

std::string Dialog_UI::Text(HWND w) const {
    int n = GetWindowTextLengthA(w);
    std::string s(static_cast<size_t>(std::max(n, 0)) + 1, '\0');
    int got = GetWindowTextA(w, &s[0], n + 1);
    s.resize(static_cast<size_t>(std::max(got, 0)));
    return s;
}

CCtrl_Info* Dialog_UI::Info(HWND control, bool create) {
    for (CCtrl_Info& i : infos_)
        if (i.window == control) return &i;
    if (!create) return nullptr;
    CCtrl_Info i;
    i.window = control;
    infos_.push_back(i);
    return &infos_.back();
}

void Dialog_UI::SetAnchor(HWND control, unsigned bits) {
    if (CCtrl_Info* i = Info(control, true)) i->anchors = bits;
}

void Dialog_UI::RecordUndo(HWND control, int value, const std::string& text) {
    if (!(state_ & DLG_ST_INITIALISED) && undo_.size() < kMaxUndo) undo_.push_back({control, value, text});
}

int Dialog_UI::IntValue(HWND w) const {
    std::unique_ptr<CDlgControl> c = DlgMakeControl(const_cast<Dialog_UI*>(this), w);
    return c ? c->GetInt() : -1;
}

bool Dialog_UI::LoadControl(HWND w) {
    std::unique_ptr<CDlgControl> c = DlgMakeControl(this, w);
    return c && c->Exchange(this, DLG_LOAD, current_, reason_);
}

bool Dialog_UI::StoreControl(HWND w) {
    std::unique_ptr<CDlgControl> c = DlgMakeControl(this, w);
    return c && c->Exchange(this, DLG_SAVE, current_, reason_);
}

void Dialog_UI::StoreAll() {
    for (HWND w = GetWindow(hwnd(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        // Combo boxes whose table stores them on change or on leaving are
        // stored there, not by the pass over all controls. So is a folder
        // tree stored on each selection: storing its selection again here
        // would overwrite a folder typed after it into the same value.
        int id = GetDlgCtrlID(w);
        int kind = kind_of(w);
        bool stored_on_change = (DlgQueryTable(table_, DLG_SEC_ACTION, id, -1) & 0x80) != 0;
        if (kind == DLG_KIND_COMBO &&
            (stored_on_change || (DlgQueryTable(table_, DLG_SEC_VALIDATION, id, -1) & 0x8)))
            continue;
        if (kind == DLG_KIND_TREE && stored_on_change) continue;
        StoreControl(w);
    }
}

namespace {
thread_local Dialog_UI* t_event_engine = nullptr;
}

Dialog_UI* DlgCurrentEngine() { return t_event_engine ? t_event_engine : pDialog_UI(nullptr); }

int Dialog_UI::Call_Attached_CexeEx(int id, int event, const char* text, intptr_t a1, intptr_t a2, intptr_t a3,
                                    intptr_t a4) {
    CDialogCallback* cb = callback_;
    if (program_.empty() && !cb) return -1;
    // The context of the event: the control, its text and its value.
    HWND w = event == DLG_EV_STATE || !hwnd() ? nullptr : Item(id);
    RECT rect{};
    std::string ctext = text ? text : "";
    long value = 0;
    VMB* list = nullptr;
    if (w) {
        GetWindowRect(w, &rect);
        int kind = kind_of(w);
        CCtrl_Info* info = Info(w, false);
        list = info ? info->list : nullptr;
        if (list) {
            char sel[250] = "";
            value = Dlg_GetListSel(w, 0, sel, sizeof sel) + 1;
            if (!text) ctext = reason_ == DLG_R_TEXT_CHANGED ? Text(w) : sel;
        } else if (kind == DLG_KIND_CHECK || kind == DLG_KIND_RADIO || kind == DLG_KIND_EDIT) {
            value = text ? std::strtol(text, nullptr, 10) : IntValue(w);
            if (kind == DLG_KIND_EDIT && !text) ctext = Text(w);
        }
    }
    int answer;
    struct Current {
        Dialog_UI* saved = t_event_engine;
        explicit Current(Dialog_UI* ui) { t_event_engine = ui; }
        ~Current() { t_event_engine = saved; }
    } current(this);
    if (!program_.empty()) {
        DlgEventRecord rec{};
        rec.tag = 0x5F1967EAu;
        rec.dialog = hwnd();
        rec.template_id = template_id_;
        rec.command_id = command_id_;
        rec.strings = strings_.empty() ? nullptr : strings_.data();
        rec.flags = flags_;
        rec.values = values_;
        rec.context = rect;
        rec.control = w;
        rec.text = ctext.c_str();
        rec.arg1 = a1, rec.arg2 = a2, rec.arg3 = a3, rec.arg4 = a4;
        rec.list = list;
        rec.value = value;
        rec.reason = reason_;
        ++running_;
        answer = ::Call_Attached_CexeEx(program_.c_str(), static_cast<int>(program_arg_), id, event, this, &rec);
        --running_;
    } else {
        if (cb->nesting > 0 && !cb->reentry_allowed) return 1;
        cb->control = w;
        cb->rect = rect;
        cb->text = ctext;
        cb->value = value;
        cb->arg1 = a1, cb->arg2 = a2, cb->arg3 = a3, cb->arg4 = a4;
        ++cb->nesting;
        ++running_;
        answer = cb->OnEvent(event, id);
        --running_;
        --cb->nesting;
    }
    if (answer == 2 && event == DLG_EV_VALIDATE && (kind_of(w) == DLG_KIND_COMBO || kind_of(w) == DLG_KIND_DROPLIST))
        DlgApplyTable(0x6, id);
    if (answer == 4 && event == DLG_EV_STATE && id == 3) {
        int saved = reason_;
        reason_ = DLG_R_FOCUS_GAINED;
        DlgApplyTable(DLG_SEC_ENABLE);
        reason_ = saved;
    }
    return answer;
}

// Availability of an identifier inside the dialog: the callback decides.
bool Dialog_UI::Available(int id) {
    if (!is_setting_id(id)) return true;
    return Call_Attached_Cexe(id, DLG_EV_AVAILABLE) != 0;
}

int Dialog_UI::DlgApplyTable(unsigned mask, int control, int key, const DlgRecord* skip) {
    static thread_local int depth = 0;
    if (!has_table_ || !hwnd()) return -1;
    if (depth >= kMaxApplyDepth) return -1;
    ++depth;
    mask &= ~DLG_SEC_QUERY_ONLY;
    int verdict = -1;
    for (const DlgRecord& r : table_.records()) {
        if (&r == skip || !(r.section & mask)) continue;
        if (control && r.control != control) continue;
        if (key && r.key != key) continue;
        HWND cw = Item(r.control), kw = Item(r.key);
        if (!cw || !kw) continue;
        const DlgRecord* saved = current_;
        current_ = &r;
        bool stop = false;
        switch (r.section) {
        case DLG_SEC_ENABLE: {
            if (r.key == r.control && kind_of(cw) == DLG_KIND_RADIO) {
                HWND k = cw;
                for (int i = 0; i < r.extra && k; ++i) k = GetWindow(k, GW_HWNDNEXT);
                if (k) kw = k;
            }
            std::unique_ptr<CDlgControl> c = DlgMakeControl(this, cw);
            bool v = c ? c->TestEnable(this, r, kw) : true;
            if (key) {
                verdict = v;
                if (!v) stop = true;
                break;
            }
            if (v && r.key != r.control) v = DlgApplyTable(DLG_SEC_ENABLE, 0, r.key, &r) != 0;
            verdict = v;
            std::unique_ptr<CDlgControl> k = DlgMakeControl(this, kw);
            if (!k) EnableWindow(kw, v);
            else if (r.key == r.control) EnableWindow(kw, v);
            else k->Enable(v);
            if (r.key != r.control) {
                if (k) k->EnableCompanions(v);
                DlgApplyTable(DLG_SEC_ENABLE, r.key);
            }
            break;
        }
        case DLG_SEC_VALUE: {
            std::unique_ptr<CDlgControl> k = DlgMakeControl(this, kw);
            if (state_ & DLG_ST_CLOSING) {
                // Lists give their content back.
                if (k) k->WriteBack(this, r, cw);
                DropTempList(kw);
                break;
            }
            if (!k || !k->LoadSource(this, r, cw, kind_of(cw))) LoadControl(kw);
            if (state_ & DLG_ST_INITIALISED) DlgApplyTable(DLG_SEC_ENABLE, r.key);
            break;
        }
        case DLG_SEC_ACTION:
            if (!ApplyAction(r, cw, kw)) stop = true;
            break;
        case DLG_SEC_LIST_ACTION:
            if ((r.flags & 0x2000) && r.extra <= 1) {
                if (ValidateAll()) StoreAll();
            } else if (r.flags & 0x1) {
                Call_Attached_Cexe(r.control, DLG_EV_LIST_ACTION);
            }
            break;
        case DLG_SEC_DOUBLE_CLICK:
            if (std::unique_ptr<CDlgControl> c = DlgMakeControl(this, cw)) c->DoubleClick(this, r, kw);
            break;
        default: break;
        }
        current_ = saved;
        if (stop) break;
    }
    --depth;
    return verdict;
}

bool Dialog_UI::ApplyAction(const DlgRecord& r, HWND cw, HWND kw) {
    int kind = kind_of(cw), kkind = kind_of(kw);
    bool key_button = kkind == DLG_KIND_PUSH || kkind == DLG_KIND_CHECK || kkind == DLG_KIND_RADIO;
    if ((r.flags & 0x4000) && key_button) SetAnchorPoint(kw);
    if ((r.flags & 0x2000) && r.control == r.key) {
        if (!ValidateAll()) return false;
        StoreAll();
    }
    if (kind == DLG_KIND_PUSH) {
        std::unique_ptr<CDlgControl> c = DlgMakeControl(this, cw);
        if (c && !c->Click(this, r, kw)) return false;
    } else if (r.flags & 0x1) {
        Call_Attached_Cexe(r.control, DLG_EV_CLICK);
    }
    if ((r.flags & 0x400) && host_ && !host_->modeless && callback_) callback_->OnEvent(DLG_EV_CLICK, r.control);
    if ((r.flags & 0x4) && r.extra == 0) LoadControl(kw);
    if ((r.flags & 0x10) && (state_ & DLG_ST_INITIALISED)) DlgApplyTable(DLG_SEC_VALUE, 0, r.key);
    if ((r.flags & 0x8) && (state_ & DLG_ST_INITIALISED) && r.extra <= 1) {
        for (HWND w = GetWindow(hwnd(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) LoadControl(w);
        DlgApplyTable(DLG_SEC_ENABLE);
    }
    if (r.flags & 0x2) InvalidateRect(cw, nullptr, TRUE);
    if (r.flags & 0x20)
        if (std::unique_ptr<CDlgControl> c = DlgMakeControl(this, cw)) c->CopyToPartner(this, r, kw);
    if ((r.flags & 0x40) && r.key != r.control) DlgApplyTable(DLG_SEC_ACTION, r.key);
    if (r.flags & 0x80) StoreControl(cw);
    return true;
}

// The list buffer a value-source record names: a record line of a caller
// value unpacked into a temporary list (flag 0x10), a command's list (extra
// a setting identifier; flag 0x40 its own buffer, else a copy in
// "DispList"), or a caller value that is a list buffer.
VMB* Dialog_UI::ListSourceBuffer(const DlgRecord& r, HWND key, bool* temp) {
    *temp = false;
    if (r.flags & 0x10) {
        int slot = r.extra & 0xFF, line = r.extra >> 8;
        VMB* record = slot < 10 ? reinterpret_cast<VMB*>(values_[slot]) : nullptr;
        if (!record || !vmb_in_use(record)) return nullptr;
        VMB* list = HistoryListPack(nullptr, record, line, HL_OP_ADD, 0);
        if (!list) return nullptr;
        *temp = true;
        if (kind_of(key) == DLG_KIND_COMBO) {
            DlgString s = string_value(slot);
            if (s.text && s.text[0]) {
                std::string text(s.text, strnlen(s.text, static_cast<size_t>(s.size)));
                HistoryListEntry(list, &text[0], HL_OP_ADD, (r.flags & 0x20) ? HL_TOP : 0);
            }
        }
        if (r.flags & 0x20) {
            VmGuard guard;
            if (vm_last_ln(list) > 0) vm_goto_line(list, 1);
        }
        return list;
    }
    if (is_setting_id(r.extra)) {
        // A list written back needs whole lines; one only shown is cut.
        unsigned f = (r.flags & 0x40) ? KL_DIRECT : (r.flags & 0x1000) ? 0u : unsigned(KL_DISPLAY_CUT);
        VMB* list = nullptr;
        if (K_cmd_make_list(r.extra, f, nullptr, &list) < 0 || !list) return nullptr;
        if (r.flags & 0x8) {
            char text[HL_ENTRY_MAX + 1] = "";
            if (cmd_get_string(r.extra, text, sizeof text) && text[0]) HistoryListEntry(list, text, HL_OP_ADD, HL_TOP);
        }
        return list;
    }
    if (r.extra < 10 && values_[r.extra]) {
        VMB* list = reinterpret_cast<VMB*>(values_[r.extra]);
        return vmb_in_use(list) ? list : nullptr;
    }
    return nullptr;
}

void Dialog_UI::LoadList(const DlgRecord& r, HWND key) {
    DropTempList(key);  // a reload unpacks the record line afresh
    CCtrl_Info* info = Info(key, true);
    info->source = r.extra;
    info->list = ListSourceBuffer(r, key, &info->temp_list);
    std::vector<std::string> lines;
    std::string current;
    int kind = kind_of(key);
    int select = -1;
    if (VMB* list = info->list) {
        VmGuard guard;
        // Reading the lines moves the list's current line: take it first.
        int current_line = vm_cur_line(list);
        char line[1025];
        for (int n = 1, last = vm_last_ln(list); n <= last; ++n)
            if (vm_read_text(list, n, 0, line, 1024, nullptr) >= 0) lines.emplace_back(line);
        if (!lines.empty()) select = std::clamp(current_line, 1, static_cast<int>(lines.size())) - 1;
        vm_goto_line(list, current_line);
    }
    if (kind == DLG_KIND_COMBO) {
        DlgString s = string_value(GetDlgCtrlID(key) - 270);
        if (s.text) current.assign(s.text, strnlen(s.text, static_cast<size_t>(s.size)));
        else if (is_setting_id(GetDlgCtrlID(key))) {
            char buf[1024] = "";
            cmd_get_string(GetDlgCtrlID(key), buf, sizeof buf);
            current = buf;
        }
    }
    info->min_width = std::max(info->min_width, PopulateListFromStrings(key, lines, select));
    if (kind == DLG_KIND_COMBO) {
        SetWindowTextA(key, current.c_str());
        if (!(state_ & DLG_ST_INITIALISED) && undo_.size() < kMaxUndo) undo_.push_back({key, -2, current});
    }
}

void Dialog_UI::FolderTreeChanged(HWND tree, const std::string& folder) {
    int slot = GetDlgCtrlID(tree) - 280;
    if (slot < 0 || slot > 4) return;
    if (HWND combo = Item(270 + slot); combo && kind_of(combo) == DLG_KIND_COMBO) {
        // As if typed: the combo box's own rules store it.
        SetWindowTextA(combo, folder.c_str());
        SendMessageA(hwnd(), WM_COMMAND, MAKEWPARAM(270 + slot, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(combo));
    } else {
        DlgCopyToString(string_value(slot), folder.c_str());
    }
}

// Closing: a temporary list that no wrapper took back is dropped.
void Dialog_UI::DropTempList(HWND key) {
    CCtrl_Info* info = Info(key, false);
    if (!info || !info->temp_list || !info->list) return;
    VmGuard guard;
    vmb_close(info->list, 0);
    info->list = nullptr;
    info->temp_list = false;
}

int Dialog_UI::PopulateListFromStrings(HWND w, const std::vector<std::string>& lines, int select) {
    int kind = kind_of(w);
    bool list = kind == DLG_KIND_LISTBOX;
    if (!list && kind != DLG_KIND_COMBO && kind != DLG_KIND_DROPLIST) return 0;
    SendMessageA(w, WM_SETREDRAW, FALSE, 0);
    SendMessageA(w, list ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
    HDC dc = GetDC(w);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0)));
    int widest = 0;
    char formatted[1025];
    for (const std::string& line : lines) {
        std::string entry = line.substr(0, 1024);
        if (formatter_) {
            formatted[0] = 0;
            formatter_(formatted, entry.c_str(), 2);
            formatted[sizeof formatted - 1] = 0;
            entry = formatted;
        }
        LRESULT at = SendMessageA(w, list ? LB_ADDSTRING : CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        if (at < 0) {
            MsgOutId(QW_MSG_BOX, DLG_IDS_LIST_FULL);
            break;
        }
        SIZE sz{};
        if (GetTextExtentPoint32A(dc, entry.c_str(), static_cast<int>(entry.size()), &sz)) widest = std::max<int>(widest, sz.cx);
    }
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(w, dc);
    int width = widest + tm.tmAveCharWidth;
    if (!list) SendMessageA(w, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width + GetSystemMetrics(SM_CXVSCROLL) + 6), 0);
    SendMessageA(w, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(w, nullptr, TRUE);
    LRESULT count = SendMessageA(w, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
    if (select >= 0 && count > 0)
        SendMessageA(w, list ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(std::min<LRESULT>(select, count - 1)), 0);
    return width;
}

HWND Dialog_UI::SpinPartnerOf(HWND edit) const {
    HWND next = GetWindow(edit, GW_HWNDNEXT);
    if (next && kind_of(next) == DLG_KIND_SPIN) return next;
    return nullptr;
}

bool Dialog_UI::CheckSpin(HWND edit) {
    HWND spin = SpinPartnerOf(edit);
    if (!spin) return true;
    std::string t = Text(edit);
    if (t.empty()) return true;
    DlgSpinParams p = DlgParseSpinParams(Text(spin).c_str());
    long v = 0;
    if (!DlgReadSpinValue(t.c_str(), &v)) v = std::strtol(t.c_str(), nullptr, 10);
    if (v < p.minimum) {
        Message(DLG_IDS_BELOW_MIN, t.c_str(), DlgFormatSpinValue(p, p.minimum).c_str());
        return false;
    }
    if (v > p.maximum) {
        Message(DLG_IDS_ABOVE_MAX, t.c_str(), DlgFormatSpinValue(p, p.maximum).c_str());
        return false;
    }
    return true;
}

// A spin beside a list box moves the selected line up (delta > 0) or down
// by one, in the list buffer when the list shows one.
static void MoveListLine(Dialog_UI* ui, HWND list, int delta) {
    int sel = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    int to = delta > 0 ? sel - 1 : sel + 1;
    if (sel < 0 || to < 0 || to >= count || !delta) return;
    CCtrl_Info* info = ui->Info(list, false);
    std::vector<std::string> lines;
    if (info && info->list) {
        VmGuard guard;
        VMB* b = info->list;
        if (to + 1 > vm_last_ln(b) || sel + 1 > vm_last_ln(b)) return;
        char a[1025] = "", c[1025] = "";
        vm_read_text(b, sel + 1, 0, a, 1024, nullptr);
        vm_read_text(b, to + 1, 0, c, 1024, nullptr);
        vm_replace_line(b, sel + 1, c, static_cast<int>(strlen(c)), 0);
        vm_replace_line(b, to + 1, a, static_cast<int>(strlen(a)), 0);
        for (int n = 1, last = vm_last_ln(b); n <= last; ++n)
            if (vm_read_text(b, n, 0, a, 1024, nullptr) >= 0) lines.emplace_back(a);
    } else {
        auto line = [&](int i) {
            LRESULT n = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
            std::string t(static_cast<size_t>(std::max<LRESULT>(n, 0)) + 1, '\0');
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&t[0]));
            t.resize(strlen(t.c_str()));
            return t;
        };
        for (int i = 0; i < count; ++i) lines.push_back(line(i));
        std::swap(lines[static_cast<size_t>(sel)], lines[static_cast<size_t>(to)]);
    }
    ui->Call_Attached_Cexe(GetDlgCtrlID(list), DLG_EV_SPIN_LIST);
    ui->PopulateListFromStrings(list, lines, to);
}

void Dialog_UI::SpinDelta(HWND spin, int delta) {
    HWND edit = GetWindow(spin, GW_HWNDPREV);
    if (edit && kind_of(edit) == DLG_KIND_LISTBOX) {
        MoveListLine(this, edit, delta);
        return;
    }
    if (!edit || kind_of(edit) != DLG_KIND_EDIT) return;
    DlgSpinParams p = DlgParseSpinParams(Text(spin).c_str());
    long v = 0;
    if (!DlgReadSpinValue(Text(edit).c_str(), &v)) v = p.minimum;
    v = DlgSpinStep(p, v, delta);
    SetFocus(edit);
    SetWindowTextA(edit, DlgFormatSpinValue(p, v).c_str());
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(spin, UDM_SETPOS32, 0, static_cast<LPARAM>(v));
}

void Dialog_UI::SetAnchorPoint(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    anchor_.x = r.left + (r.right - r.left) / 3;
    anchor_.y = r.bottom;
}

void Dialog_UI::Message(unsigned id, const char* a1, const char* a2) {
    if (state_ & DLG_ST_SILENT) return;
    QwPoint at{anchor_.x, anchor_.y};
    MsgOutEx(at, 258, id, a1 ? a1 : "", a2 ? a2 : "");
}

bool Dialog_UI::CheckRecordRules(HWND control, const std::string& text) {
    unsigned f = DlgQueryTable(table_, DLG_SEC_VALIDATION, GetDlgCtrlID(control), -1);
    if (!f || text.empty()) return true;
    if (f & DLG_VAL_FILE_NAME) {
        if (text.size() >= MAX_PATH) {
            Message(DLG_IDS_NAME_TOO_LONG, text.c_str());
            return false;
        }
        if (HasBadPathChars(text)) {
            Message(DLG_IDS_NAME_INVALID, text.c_str());
            return false;
        }
    }
    if (f & DLG_VAL_OPEN_FILE) {
        DlgDocumentOpenFn open = g_doc_open.load();
        if (!(open && open(text.c_str())) && !FileExists(text)) {
            Message(DLG_IDS_NO_FILE, text.c_str());
            return false;
        }
    }
    if ((f & DLG_VAL_FOLDER) && !FolderExists(text)) {
        Message(DLG_IDS_NO_FOLDER, text.c_str());
        return false;
    }
    if ((f & DLG_VAL_NO_WILDCARDS) && text.find_first_of("*?") != std::string::npos) {
        Message(DLG_IDS_NO_WILDCARDS);
        return false;
    }
    return true;
}

bool Dialog_UI::ValidateControl(HWND w, int reason) {
    int kind = kind_of(w), id = GetDlgCtrlID(w);
    bool checked = kind == DLG_KIND_EDIT || kind == DLG_KIND_COMBO || kind == DLG_KIND_TREE ||
                   (kind == DLG_KIND_STATIC && id > 0 && id != 0xFFFF);
    if (!checked || !IsWindowEnabled(w)) return true;
    int saved = reason_;
    reason_ = reason;
    state_ |= DLG_ST_VALIDATING_ONE;
    std::string text = Text(w);
    SetAnchorPoint(w);
    bool ok = true;
    // A string value takes no more than its buffer holds.
    DlgString s = id >= 250 && id <= 259 ? string_value(id - 250) : id >= 270 && id <= 279 ? string_value(id - 270)
                                                                                            : DlgString{nullptr, 0};
    if (s.text && text.size() >= static_cast<size_t>(s.size)) {
        Message(DLG_IDS_NAME_TOO_LONG, text.c_str());
        ok = false;
    }
    if (ok) ok = CheckRecordRules(w, text);
    if (ok && Call_Attached_Cexe(id, DLG_EV_VALIDATE, text.c_str()) == 0) ok = false;
    if (ok && kind == DLG_KIND_EDIT) ok = CheckSpin(w);
    if (ok && kind == DLG_KIND_COMBO && !(flags_ & DLG_F_CHANGE_POSTS_OK)) Dlg_ValidateText(this, w, text);
    if (!ok && !(state_ & DLG_ST_SILENT)) {
        state_ |= DLG_ST_FAILED;
        PostMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(w), TRUE);
        if (kind == DLG_KIND_EDIT) PostMessageA(w, EM_SETSEL, 0, -1);
        else if (kind == DLG_KIND_COMBO) PostMessageA(w, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    }
    state_ &= ~DLG_ST_VALIDATING_ONE;
    reason_ = saved;
    return ok;
}

bool Dialog_UI::ValidateAll(bool silent) {
    state_ |= DLG_ST_VALIDATING_ALL | (silent ? DLG_ST_SILENT : 0u);
    bool ok = true;
    for (HWND w = GetWindow(hwnd(), GW_CHILD); w && ok; w = GetWindow(w, GW_HWNDNEXT))
        ok = ValidateControl(w, DLG_R_VALIDATE_ALL);
    state_ &= ~(DLG_ST_VALIDATING_ALL | DLG_ST_FAILED | DLG_ST_SILENT);
    if (ok) state_ |= DLG_ST_ALL_PASSED;
    state_ |= DLG_ST_ALL_RAN;
    return ok;
}

void Dialog_UI::ShareCallback(CDialogCallback* cb) {
    if (owns_callback_) delete callback_;
    callback_ = cb;
    owns_callback_ = false;
}

void Dialog_UI::OnInitDialog() {
    HWND dlg = hwnd();
    if (!dlg) return;
    int corner = 0;
    if (DlgQueryTable(table_, DLG_SEC_VISUAL, template_id_ & 0xFFFF, 0x20, nullptr, &corner) & 0x20) {
        RECT wr{};
        GetWindowRect(dlg, &wr);
        if (HRGN rgn = CreateRoundRectRgn(0, 0, wr.right - wr.left + 1, wr.bottom - wr.top + 1, corner, corner))
            if (!SetWindowRgn(dlg, rgn, TRUE)) DeleteObject(rgn);  // the window owns it once set
    }
    for (HWND w = GetWindow(dlg, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) LoadControl(w);
    DlgApplyTable(DLG_SEC_VALUE);
    DlgApplyTable(DLG_SEC_ENABLE);
    sizing_ = (GetWindowLongA(dlg, GWL_STYLE) & WS_THICKFRAME) != 0;
    if (sizing_) AutoAnchors();
    RestorePlacement(true);
    if (!caption_.empty()) SetWindowTextA(dlg, caption_.c_str());
    state_ |= DLG_ST_INITIALISED;
    Call_Attached_Cexe(1, DLG_EV_STATE);
}

void Dialog_UI::AutoAnchors() {
    HWND list = Item(280);
    if (!list) list = Item(287);
    if (!list) return;
    auto client_rect = [&](HWND w) {
        RECT r{};
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return DlgRect{r.left, r.top, r.right, r.bottom};
    };
    DlgRect lr = client_rect(list);
    for (HWND w = GetWindow(hwnd(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        unsigned a = w == list ? (DLG_ANCHOR_STRETCH_X | DLG_ANCHOR_STRETCH_Y)
                               : DlgAutoAnchor(lr, client_rect(w), kind_of(w) == DLG_KIND_EDIT);
        if (a) SetAnchor(w, a);
        // A list of whole lines would not stretch evenly: it keeps its
        // distance to the bottom edge instead.
        if (w == list && kind_of(w) == DLG_KIND_LISTBOX && !(GetWindowLongA(w, GWL_STYLE) & LBS_NOINTEGRALHEIGHT)) {
            RECT c{};
            GetClientRect(hwnd(), &c);
            Info(w, true)->bottom_margin = c.bottom - lr.bottom;
        }
    }
}

void Dialog_UI::CreateSizeGrip() {
    HWND dlg = hwnd();
    if (grip_ || !dlg) return;
    HINSTANCE mod = GetModuleHandleA(nullptr);
    auto bmp = static_cast<HBITMAP>(
        LoadImageA(mod, MAKEINTRESOURCEA(DLG_IDB_SIZE_GRIP), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (!bmp) return;
    BITMAP bm{};
    GetObjectA(bmp, sizeof bm, &bm);
    RECT cr{};
    GetClientRect(dlg, &cr);
    grip_ = CreateWindowExA(WS_EX_TRANSPARENT, "STATIC", "", 0x5000000E, cr.right - bm.bmWidth,
                            cr.bottom - bm.bmHeight, bm.bmWidth, bm.bmHeight, dlg,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(DLG_ID_SIZE_GRIP)), mod, nullptr);
    if (!grip_) {
        DeleteObject(bmp);
        return;
    }
    grip_bitmap_ = bmp;
    SendMessageA(grip_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bmp));
    // The static may have sized itself to the image: back into the corner.
    SetWindowPos(grip_, HWND_TOP, cr.right - bm.bmWidth, cr.bottom - bm.bmHeight, bm.bmWidth, bm.bmHeight,
                 SWP_NOACTIVATE);
    SetAnchor(grip_, DLG_ANCHOR_MOVE_X | DLG_ANCHOR_MOVE_Y);
}

bool Dialog_UI::EraseBackground(HDC dc) {
    if (!background_ || !hwnd()) return false;
    BITMAP bm{};
    if (!GetObjectA(background_, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0) return false;
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, background_);
    RECT cr{};
    GetClientRect(hwnd(), &cr);
    for (int y = 0; y < cr.bottom; y += bm.bmHeight)
        for (int x = 0; x < cr.right; x += bm.bmWidth) BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    return true;
}

void Dialog_UI::RestorePlacement(bool with_grip) {
    HWND dlg = hwnd();
    RECT wr{}, cr{};
    GetWindowRect(dlg, &wr);
    GetClientRect(dlg, &cr);
    initial_ = {wr.right - wr.left, wr.bottom - wr.top};
    client_ = {cr.right, cr.bottom};
    if (with_grip && sizing_) CreateSizeGrip();
    DlgWorkAreaFn area_fn = g_work_area.load();
    DlgRect work = area_fn ? area_fn() : DefaultWorkArea();
    DlgRect r{wr.left, wr.top, wr.right, wr.bottom};
    int x = r.left, y = r.top, cx = r.width(), cy = r.height();
    if (flags_ & DLG_F_CENTRE) x = work.left + (work.width() - cx) / 2, y = work.top + (work.height() - cy) / 2;
    const fw::Profile* p = g_profile.load();
    bool section = (flags_ & DLG_F_KEEP_PLACEMENT) && p;
    if (section) {
        x = p->GetInt(section_, "X", x);
        y = p->GetInt(section_, "Y", y);
        cy = p->GetInt(section_, "CY", cy);
        if (!(flags_ & DLG_F_WIDEN)) cx = p->GetInt(section_, "CX", cx);
    }
    if (flags_ & DLG_F_WIDEN)
        for (const CCtrl_Info& i : infos_) {
            RECT c{};
            GetClientRect(i.window, &c);
            if (i.min_width > c.right) cx += i.min_width - c.right;
        }
    if (flags_ & DLG_F_RIGHT_EDGE) x = work.right - cx - GetSystemMetrics(SM_CXVSCROLL);
    if (!section && !(flags_ & (DLG_F_WIDEN | DLG_F_RIGHT_EDGE | DLG_F_CENTRE))) return;
    DlgRect placed = DlgClampToWorkArea({x, y, x + cx, y + cy}, work);
    if (placed.width() && placed.height()) {
        UINT swp = SWP_NOZORDER | SWP_NOACTIVATE;
        if (!sizing_ && !(flags_ & DLG_F_WIDEN)) swp |= SWP_NOSIZE;
        if (flags_ & DLG_F_SIZE_ONLY) swp |= SWP_NOMOVE;
        SetWindowPos(dlg, nullptr, placed.left, placed.top, placed.width(), placed.height(), swp);
    }
    moved_ = false;  // our own placing is no move by the user
}

void Dialog_UI::SavePlacement() {
    const fw::Profile* p = g_profile.load();
    if (p && (flags_ & DLG_F_KEEP_PLACEMENT) && moved_ && initial_.cx > 0) {
        RECT wr{};
        GetWindowRect(hwnd(), &wr);
        p->WriteInt(section_, "X", wr.left);
        p->WriteInt(section_, "Y", wr.top);
        p->WriteInt(section_, "CX", wr.right - wr.left);
        p->WriteInt(section_, "CY", wr.bottom - wr.top);
    }
    moved_ = false;
}

void Dialog_UI::OnSize(int cx, int cy) {
    if (client_.cx < 0) return;  // not placed yet: nothing moves
    int dx = cx - client_.cx, dy = cy - client_.cy;
    client_ = {cx, cy};
    if (!dx && !dy) return;
    moved_ = true;
    HWND dlg = hwnd();
    SendMessageA(dlg, WM_SETREDRAW, FALSE, 0);
    for (const CCtrl_Info& i : infos_) {
        if (!i.anchors || !IsWindow(i.window)) continue;
        RECT r{};
        GetWindowRect(i.window, &r);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
        DlgRect n = DlgApplyAnchor({r.left, r.top, r.right, r.bottom}, i.anchors, dx, dy, i.bottom_margin, cy);
        MoveWindow(i.window, n.left, n.top, n.width(), n.height(), FALSE);
    }
    SendMessageA(dlg, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(dlg, nullptr, TRUE);
}

void Dialog_UI::OnMinMax(MINMAXINFO* mmi) {
    if (initial_.cx > 0) mmi->ptMinTrackSize = {initial_.cx, initial_.cy};
}

void Dialog_UI::FilterMessage(const MSG* msg) {
    if (msg->message == WM_LBUTTONDOWN) {
        if (last_clicked_ != 299) state_ &= ~(DLG_ST_ALL_PASSED | DLG_ST_ALL_RAN);
        last_clicked_ = GetDlgCtrlID(msg->hwnd);
    } else if (msg->message == WM_KEYDOWN) {
        WPARAM k = msg->wParam;
        if (!(k >= VK_LEFT && k <= VK_DOWN) && k != VK_CONTROL && k != VK_SHIFT)
            state_ &= ~(DLG_ST_ALL_PASSED | DLG_ST_ALL_RAN);
        if (k == VK_ESCAPE && msg->hwnd != hwnd() && ClassOf(GetParent(msg->hwnd)) != WC_LISTVIEWA) last_clicked_ = 2;
    } else if (msg->message == WM_SYSCHAR) {
        state_ &= ~(DLG_ST_ALL_PASSED | DLG_ST_ALL_RAN);
    }
}

bool Dialog_UI::OnCommand(int id, int code, HWND control) {
    HWND w = control ? control : Item(id);
    if (!w || w == hwnd()) return false;
    int kind = kind_of(w);
    auto pass = [&](int reason, unsigned first, unsigned second) {
        int saved = reason_;
        reason_ = reason;
        if (first) DlgApplyTable(first, id);
        if (second) DlgApplyTable(second, id);
        reason_ = saved;
    };
    auto deferred = [&]() {
        int lc = last_clicked_;
        last_clicked_ = 0;
        if (lc == 1 || lc == 2 || (lc >= 260 && lc <= 267) || lc == 304) return;
        if (!(state_ & DLG_ST_ACTIVE) || (state_ & (DLG_ST_FAILED | DLG_ST_ALL_PASSED | DLG_ST_CLOSING))) return;
        if (DlgQueryTable(table_, DLG_SEC_VALIDATION, id, -1) & DLG_VAL_NO_DEFERRED) return;
        PostMessageA(hwnd(), UWM_DLG_VALIDATE, reinterpret_cast<WPARAM>(w), DLG_R_FOCUS_LOST);
    };
    switch (kind) {
    case DLG_KIND_PUSH:
        if (code != BN_CLICKED || id == IDOK || id == IDCANCEL) return false;
        if (!IsWindowEnabled(w)) return true;
        if (DlgFindTableEntry(table_, DLG_SEC_ACTION, id, -2, -1)) {
            DlgApplyTable(DLG_SEC_ACTION, id);
        } else if (host_ && host_->modeless) {
            if (ValidateAll()) {
                StoreAll();
                Call_Attached_Cexe(id, DLG_EV_CLICK);
            }
        }
        if (id == 304) RunHelp();
        DlgApplyTable(DLG_SEC_ENABLE, id);
        return true;
    case DLG_KIND_CHECK:
    case DLG_KIND_RADIO: {
        if (code != BN_CLICKED) return false;
        if (kind == DLG_KIND_RADIO) {
            HWND first = w;
            while (first && !(GetWindowLongA(first, GWL_STYLE) & WS_GROUP)) first = GetWindow(first, GW_HWNDPREV);
            if (first && first != w) {
                id = GetDlgCtrlID(first);
                w = first;
            }
        }
        DlgApplyTable(DLG_SEC_ENABLE, id);
        if (kind == DLG_KIND_RADIO) DlgApplyTable(DLG_SEC_VALUE | DLG_SEC_ENABLE, 0, 0);
        if (DlgFindTableEntry(table_, DLG_SEC_ACTION, id, -2, -1)) {
            DlgApplyTable(DLG_SEC_ACTION, id);
        } else if (const DlgRecord* def = DlgFindTableEntry(table_, DLG_SEC_ACTION, kind, -2, -1)) {
            if (def->flags & 0x80) StoreControl(w);
            if (def->flags & 0x1) Call_Attached_Cexe(id, DLG_EV_CLICK);
            if (def->flags & 0x800) DlgApplyTable(DLG_SEC_ENABLE);
        }
        return true;
    }
    case DLG_KIND_EDIT:
        if (code == EN_CHANGE) {
            if ((flags_ & DLG_F_CHANGE_POSTS_OK) && (state_ & DLG_ST_INITIALISED))
                PostMessageA(hwnd(), WM_COMMAND, IDOK, 0);
            pass(DLG_R_TEXT_CHANGED, DLG_SEC_ENABLE, DLG_SEC_ACTION);
        } else if (code == EN_SETFOCUS) {
            pass(DLG_R_FOCUS_GAINED, DLG_SEC_ENABLE, 0);
        } else if (code == EN_KILLFOCUS) {
            if (CCtrl_Info* i = Info(w, true)) SendMessageA(w, EM_GETSEL, reinterpret_cast<WPARAM>(&i->sel_start),
                                                            reinterpret_cast<LPARAM>(&i->sel_end));
            deferred();
            last_focus_ = w;
            pass(DLG_R_FOCUS_LOST, DLG_SEC_ENABLE, 0);
        } else {
            return false;
        }
        return true;
    case DLG_KIND_COMBO:
    case DLG_KIND_DROPLIST:
        if (code == CBN_EDITCHANGE || code == CBN_CLOSEUP) {
            if ((flags_ & DLG_F_CHANGE_POSTS_OK) && (state_ & DLG_ST_INITIALISED))
                PostMessageA(hwnd(), WM_COMMAND, IDOK, 0);
            if (code == CBN_EDITCHANGE) pass(DLG_R_TEXT_CHANGED, DLG_SEC_ENABLE, DLG_SEC_ACTION);
        } else if (code == CBN_SELCHANGE) {
            pass(DLG_R_SEL_CHANGED, DLG_SEC_ACTION, DLG_SEC_ENABLE);
        } else if (code == CBN_KILLFOCUS) {
            if (DlgQueryTable(table_, DLG_SEC_VALIDATION, id, -1) & DLG_VAL_STORE_ON_LEAVE) StoreControl(w);
            deferred();
            last_focus_ = w;
            pass(DLG_R_FOCUS_LOST, DLG_SEC_ENABLE, 0);
        } else {
            return false;
        }
        return true;
    case DLG_KIND_LISTBOX:
        if (code == LBN_SELCHANGE) pass(DLG_R_SEL_CHANGED, DLG_SEC_ENABLE, DLG_SEC_ACTION);
        else if (code == LBN_DBLCLK) DlgApplyTable(DLG_SEC_DOUBLE_CLICK, id);
        else if (code == LBN_SETFOCUS || code == LBN_KILLFOCUS) DlgApplyTable(DLG_SEC_ENABLE, id);
        else return false;
        return true;
    default: return false;
    }
}

// Help: the focus goes back to where the user was, and the help command
// gets the most specific context the dialog knows.
void Dialog_UI::RunHelp() {
    HWND back = last_focus_ && IsWindow(last_focus_) && IsChild(hwnd(), last_focus_) ? last_focus_ : nullptr;
    if (back) SetFocus(back);
    int context = back ? GetDlgCtrlID(back) : 0;
    if (!is_setting_id(context)) {
        context = -1;
        const DlgRecord* r = DlgFindTableEntry(table_, DLG_SEC_ACTION, 304, -2, 0x8000);
        if (!r) {
            auto* page = dynamic_cast<CTab_Page*>(host_);
            if (Dialog_UI* sheet = page && page->GetSheet() ? page->GetSheet()->ui() : nullptr)
                r = DlgFindTableEntry(sheet->table(), DLG_SEC_ACTION, 304, -2, 0x8000);
        }
        if (r) context = r->key;
        else if (is_setting_id(command_id_)) context = command_id_;
    }
    K_cmd_params p;
    K_cmd_params_init(&p, 6, 304, nullptr, context, 0);
    DlgCommandRunner run = g_runner.load();
    (run ? run : RunCommandDirect)(304, &p);
}

void Dialog_UI::UpdatePass(int id) {
    if (!host_ || !host_->modeless || !hwnd() || CallbackRunning()) return;
    if ((state_ & (DLG_ST_INITIALISED | DLG_ST_ACTIVE | DLG_ST_CLOSING | DLG_ST_ENDING)) != DLG_ST_INITIALISED) return;
    int saved = reason_;
    reason_ = DLG_R_UPDATE;
    DlgApplyTable(DLG_SEC_ENABLE, id);
    reason_ = saved;
    // Settings changed elsewhere show up while the dialog waits in the background.
    if (DlgFindTableEntry(table_, DLG_SEC_ACTION, id, -2, 0x80))
        if (HWND w = Item(id)) LoadControl(w);
    Call_Attached_Cexe(id, DLG_EV_UPDATE);
}

bool Dialog_UI::OnControlNotify(HWND w, UINT code) {
    if (kind_of(w) != DLG_KIND_TREE || !IsChild(hwnd(), w)) return false;
    int id = GetDlgCtrlID(w);
    if (code == TVN_SELCHANGEDA || code == TVN_SELCHANGEDW) {
        int saved = reason_;
        reason_ = DLG_R_SEL_CHANGED;
        DlgApplyTable(DLG_SEC_ENABLE, id);
        DlgApplyTable(DLG_SEC_ACTION, id);
        reason_ = saved;
        return true;
    }
    if (code == static_cast<UINT>(NM_KILLFOCUS)) {
        if (DlgQueryTable(table_, DLG_SEC_VALIDATION, id, -1) & DLG_VAL_STORE_ON_LEAVE) StoreControl(w);
        return true;
    }
    return false;
}

void Dialog_UI::OnTeardown() {
    state_ |= DLG_ST_CLOSING;
    bool modeless = host_ && host_->modeless;
    DlgApplyTable(DLG_SEC_VALUE);  // closing: lists give their content back
    if (!(state_ & DLG_ST_CONFIRMED) && !modeless) {
        // Cancel: the first values go back, immediate-apply settings too.
        for (const Undo& u : undo_) {
            std::unique_ptr<CDlgControl> c = DlgMakeControl(this, u.window);
            if (!c) continue;
            if (u.value == -2) c->StoreText(this, u.text, 0);
            else c->StoreInt(this, u.value, 0);
        }
    }
    undo_.clear();
    SavePlacement();
    infos_.clear();
    grip_ = nullptr;  // goes with the window
    // A clean-up may change the child list: the walk then starts again.
    for (HWND w = GetWindow(hwnd(), GW_CHILD); w;) {
        std::unique_ptr<CDlgControl> c = DlgMakeControl(this, w);
        w = c && c->Cleanup(this) ? GetWindow(hwnd(), GW_CHILD) : GetWindow(w, GW_HWNDNEXT);
    }
}

void Dialog_UI::OnActivateApp(bool active) {
    if (active) {
        state_ |= DLG_ST_APP_ACTIVE;
        if ((state_ & DLG_ST_APP_WAS_DEACTIVATED) &&
            (DlgQueryTable(table_, DLG_SEC_ACTIVATION, template_id_, -1) & 0x8000)) {
            for (HWND w = GetWindow(hwnd(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) LoadControl(w);
            DlgApplyTable(DLG_SEC_VALUE);
            DlgApplyTable(DLG_SEC_ENABLE);
        }
        Call_Attached_Cexe(3, DLG_EV_STATE);
    } else {
        state_ = (state_ & ~DLG_ST_APP_ACTIVE) | DLG_ST_APP_WAS_DEACTIVATED;
        last_focus_ = GetFocus();
        if ((DlgQueryTable(table_, DLG_SEC_ACTIVATION, template_id_, -1) & 0x4000) &&
            (state_ & DLG_ST_INITIALISED) && !(state_ & DLG_ST_ALL_PASSED) && ValidateAll(true))
            StoreAll();
        Call_Attached_Cexe(6, DLG_EV_STATE);
    }
}

void Dialog_UI::EndDialog(int code) {
    if (host_) host_->EndDialogChecked(code);
}

// ---- Host window ----------------------------------------------------------------------

namespace {
// The engines of the dialog windows of the process, for pDialog_UI.
CRITICAL_SECTION* EngineLock() {
    static CRITICAL_SECTION cs;
    static bool once = [] {
        InitializeCriticalSection(&cs);
        return true;
    }();
    (void)once;
    return &cs;
}
std::vector<std::pair<HWND, Dialog_UI*>>& Engines() {
    static std::vector<std::pair<HWND, Dialog_UI*>> v;
    return v;
}
void RegisterEngine(HWND w, Dialog_UI* ui) {
    EnterCriticalSection(EngineLock());
    auto& v = Engines();
    v.erase(std::remove_if(v.begin(), v.end(), [&](auto& e) { return e.first == w || e.second == ui; }), v.end());
    if (w) v.emplace_back(w, ui);
    LeaveCriticalSection(EngineLock());
}
} // namespace

Dialog_UI* pDialog_UI(HWND window) {
    if (!window) window = GetFocus() ? GetAncestor(GetFocus(), GA_ROOT) : nullptr;
    if (!window) return nullptr;
    Dialog_UI* found = nullptr;
    EnterCriticalSection(EngineLock());
    for (auto& e : Engines())
        if (e.first == window) found = e.second;
    LeaveCriticalSection(EngineLock());
    return found;
}

QWDialog::QWDialog(int template_id, int table_id)
    : fw::Dialog(static_cast<UINT>(template_id)), ui_(new Dialog_UI(nullptr, this, template_id, table_id)) {}

QWDialog::~QWDialog() { RegisterEngine(nullptr, ui_.get()); }

bool QWDialog::OnInitDialog() {
    fw::Dialog::OnInitDialog();
    RegisterEngine(hwnd(), ui_.get());
    void DlgRequestsOpen(HWND);
    DlgRequestsOpen(hwnd());
    ui_->OnInitDialog();
    if (modeless) {
        HWND focus = ::GetFocus();
        ::SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        LONG ex = ::GetWindowLongA(hwnd(), GWL_EXSTYLE);
        if (!(ex & WS_EX_TOOLWINDOW)) ::SetWindowLongA(hwnd(), GWL_EXSTYLE, (ex & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
        ::SetForegroundWindow(hwnd());
        if (focus) ::SetFocus(focus);
        void DlgThreadWindowCreated(HWND);
        DlgThreadWindowCreated(hwnd());
    }
    return true;
}

void QWDialog::OnOK() {
    if (!ui_->ValidateAll()) return;
    ui_->SetState(DLG_ST_CONFIRMED | DLG_ST_ENDING, true);
    ui_->StoreAll();
    if (modeless) CUIThreads::Get().EndThreadOf(hwnd());
    EndDialog(IDOK);
}

void QWDialog::OnCancel() {
    ui_->SetState(DLG_ST_ENDING, true);
    if (modeless) CUIThreads::Get().EndThreadOf(hwnd());
    EndDialog(IDCANCEL);
}

void QWDialog::EndDialogChecked(int code) {
    if (!(ui_->state() & DLG_ST_ALL_PASSED) && !ui_->ValidateAll()) return;
    ui_->SetState(DLG_ST_CONFIRMED | DLG_ST_ENDING, true);
    ui_->StoreAll();
    if (modeless) CUIThreads::Get().EndThreadOf(hwnd());
    EndDialog(code);
}

void QWDialog::DoDataExchange(fw::DataExchange& dx) {
    // Values move through the engine (OnInitDialog, OnOK); nothing here.
    (void)dx;
}

bool QWDialog::PreTranslateMessage(MSG* msg) {
    if (msg->hwnd == hwnd() || ::IsChild(hwnd(), msg->hwnd)) ui_->FilterMessage(msg);
    return fw::Dialog::PreTranslateMessage(msg);
}

bool QWDialog::OnCommand(WPARAM wp, LPARAM lp) {
    int id = LOWORD(wp), code = HIWORD(wp);
    if (id == IDOK && !::GetDlgItem(hwnd(), IDOK)) {
        // The default push button stands for OK.
        HWND def = nullptr;
        for (HWND w = ::GetWindow(hwnd(), GW_CHILD); w && !def; w = ::GetWindow(w, GW_HWNDNEXT))
            if (ui_->kind_of(w) == DLG_KIND_PUSH && (::GetWindowLongA(w, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON) def = w;
        if (!def) {
            if (const DlgRecord* r = DlgFindTableEntry(ui_->table(), DLG_SEC_VISUAL, -1, -1, 0x10))
                def = ::GetDlgItem(hwnd(), r->control);
        }
        if (!def) return true;
        return ui_->OnCommand(::GetDlgCtrlID(def), BN_CLICKED, def) || fw::Dialog::OnCommand(wp, lp);
    }
    if (lp && ui_->OnCommand(id, code, reinterpret_cast<HWND>(lp))) return true;
    return fw::Dialog::OnCommand(wp, lp);
}

bool QWDialog::OnCmdMsg(fw::CommandCall& call) {
    if (call.code == fw::kCodeUpdateUI && !call.probe && call.id <= 5000) ui_->UpdatePass(static_cast<int>(call.id));
    return fw::Dialog::OnCmdMsg(call);
}

void QWDialog::OnIdleUpdateCmdUI(bool disable_if_no_handler) {
    // A callback that waits in a message loop of its own must not see its
    // controls change under it.
    if (ui_->CallbackRunning()) return;
    fw::Dialog::OnIdleUpdateCmdUI(disable_if_no_handler);
}

bool QWDialog::OnNotify(WPARAM wp, LPARAM lp, LRESULT* result) {
    auto* nm = reinterpret_cast<NMHDR*>(lp);
    if (DlgFolderTreeNotify(nm, result)) return true;
    if (nm && nm->code == TVN_SELCHANGEDA && DlgIsFolderTree(nm->hwndFrom) &&
        reinterpret_cast<NMTREEVIEWA*>(lp)->action != TVC_UNKNOWN) {
        std::string folder = DlgFolderTreeFolder(nm->hwndFrom, reinterpret_cast<NMTREEVIEWA*>(lp)->itemNew.hItem);
        ui_->FolderTreeChanged(nm->hwndFrom, folder);
    }
    if (nm && nm->code == UDN_DELTAPOS) {
        auto* ud = reinterpret_cast<NMUPDOWN*>(lp);
        // Up arrows count up: the control's own delta is negative for them
        // with the default (inverted) range.
        ui_->SpinDelta(nm->hwndFrom, -ud->iDelta);
        *result = 1;  // the engine set the partner itself
        return true;
    }
    if (nm && ui_->OnControlNotify(nm->hwndFrom, nm->code)) {
        *result = 0;
        return true;
    }
    return fw::Dialog::OnNotify(wp, lp, result);
}

bool QWDialog::OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    switch (msg) {
    case UWM_DLG_VALIDATE: {
        auto* w = reinterpret_cast<HWND>(wp);
        bool ok = true;
        if (!(ui_->state() & (DLG_ST_CLOSING | DLG_ST_ENDING)) && ::IsWindow(w) && ::IsChild(hwnd(), w))
            ok = ui_->ValidateControl(w, static_cast<int>(lp));
        *result = ok;
        return true;
    }
    case UWM_DLG_ACTIVATE:
        ui_->Call_Attached_Cexe(4, DLG_EV_STATE);
        *result = 0;
        return true;
    case UWM_DLG_EVENT:
        if (!(ui_->state() & (DLG_ST_CLOSING | DLG_ST_ENDING)))
            ui_->DlgApplyTable(static_cast<unsigned>(wp), static_cast<int>(lp));
        *result = 0;
        return true;
    case UWM_DLG_REQUEST:
        ui_->HandleRequest(reinterpret_cast<void*>(wp));
        *result = 0;
        return true;
    case WM_ACTIVATE:
        ui_->SetState(DLG_ST_ACTIVE, LOWORD(wp) != WA_INACTIVE);
        if (LOWORD(wp) != WA_INACTIVE) ::PostMessageA(hwnd(), UWM_DLG_ACTIVATE, 0, 0);
        break;
    case WM_ACTIVATEAPP:
        ui_->OnActivateApp(wp != 0);
        break;
    case WM_DESTROY: {
        void DlgRequestsClose(HWND);
        DlgRequestsClose(hwnd());
        ui_->OnTeardown();
        RegisterEngine(nullptr, ui_.get());
        break;
    }
    case WM_SIZE:
        ui_->OnSize(LOWORD(lp), HIWORD(lp));
        break;
    case WM_MOVE:
        ui_->OnMove();
        break;
    case WM_GETMINMAXINFO:
        ui_->OnMinMax(reinterpret_cast<MINMAXINFO*>(lp));
        break;
    case WM_CTLCOLORSTATIC: {
        COLORREF colour = 0;
        if (DlgLabelColour(ui_.get(), reinterpret_cast<HWND>(lp), &colour)) {
            auto dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, colour);
            SetBkMode(dc, TRANSPARENT);
            *result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            return true;
        }
        break;
    }
    case WM_SETCURSOR:
        if (DlgLabelHandCursor(ui_.get(), reinterpret_cast<HWND>(wp))) {
            HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(109));
            SetCursor(hand ? hand : LoadCursorA(nullptr, IDC_HAND));
            *result = TRUE;
            return true;
        }
        break;
    case WM_ERASEBKGND:
        if (ui_->EraseBackground(reinterpret_cast<HDC>(wp))) {
            *result = 1;
            return true;
        }
        break;
    default: break;
    }
    return fw::Dialog::OnWndMsg(msg, wp, lp, result);
}
