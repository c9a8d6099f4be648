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
#include "VmEngine/vm.h"
#include "commands/cmdlists.h"
#include "commands/dlgfolders.h"
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

int Dialog_UI::kind_of(HWND w) const {
    if (!w || !IsWindow(w)) return DLG_KIND_NONE;
    return DlgClassifyControl(ClassOf(w).c_str(), static_cast<uint32_t>(GetWindowLongA(w, GWL_STYLE)),
                              GetDlgCtrlID(w));
}

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

// Radio groups: the value is the index of the checked button among the
// buttons from the group's first one up to the next group start.
static std::vector<HWND> RadioGroup(HWND first) {
    std::vector<HWND> g;
    for (HWND w = first; w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w != first && (GetWindowLongA(w, GWL_STYLE) & WS_GROUP)) break;
        g.push_back(w);
    }
    return g;
}

int Dialog_UI::IntValue(HWND w) const {
    switch (kind_of(w)) {
    case DLG_KIND_CHECK: return static_cast<int>(SendMessageA(w, BM_GETCHECK, 0, 0));
    case DLG_KIND_RADIO: {
        std::vector<HWND> g = RadioGroup(w);
        for (size_t i = 0; i < g.size(); ++i)
            if (SendMessageA(g[i], BM_GETCHECK, 0, 0) == BST_CHECKED) return static_cast<int>(i);
        return -1;
    }
    case DLG_KIND_EDIT: {
        long v = -1;
        return DlgReadSpinValue(Text(w).c_str(), &v) ? static_cast<int>(v) : -1;
    }
    default: return -1;
    }
}

void Dialog_UI::SetIntValue(HWND w, int v) {
    if (kind_of(w) == DLG_KIND_CHECK) {
        SendMessageA(w, BM_SETCHECK, static_cast<WPARAM>(v), 0);
    } else if (kind_of(w) == DLG_KIND_RADIO) {
        std::vector<HWND> g = RadioGroup(w);
        for (size_t i = 0; i < g.size(); ++i)
            SendMessageA(g[i], BM_SETCHECK, static_cast<int>(i) == v ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

int Dialog_UI::ProfileInt(int id, int def) const {
    const fw::Profile* p = g_profile.load();
    int key = 0, extra = def;
    unsigned f = DlgQueryTable(table_, DLG_SEC_PROFILE, id, -1, &key, &extra);
    if (!p || !(f & 0x1)) return def;
    std::string sec = section_;
    if (f & 0x2) sec = "Dialog " + std::to_string(template_id_);
    return p->GetInt(sec, std::to_string(id), extra);
}

bool Dialog_UI::LoadControl(HWND w) {
    int kind = kind_of(w), id = GetDlgCtrlID(w);
    if (kind == DLG_KIND_RADIO && !(GetWindowLongA(w, GWL_STYLE) & WS_GROUP)) return false;  // not the group's first
    bool record = !(state_ & DLG_ST_INITIALISED) && undo_.size() < kMaxUndo;
    auto set_text = [&](const std::string& t) {
        if (kind == DLG_KIND_DROPLIST) {
            SendMessageA(w, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(t.c_str()));
        } else {
            SetWindowTextA(w, t.c_str());
        }
        if (record) undo_.push_back({w, -2, t});
    };
    auto set_int = [&](int v) {
        SetIntValue(w, v);
        if (record) undo_.push_back({w, v, {}});
    };
    if (id >= 160 && id <= 199) {
        if (kind == DLG_KIND_STATIC && static_cast<size_t>(id - 160) < labels_.size())
            SetWindowTextA(w, labels_[static_cast<size_t>(id - 160)].c_str());
        return true;
    }
    bool text_kind = kind == DLG_KIND_EDIT || kind == DLG_KIND_COMBO || kind == DLG_KIND_DROPLIST;
    if (kind == DLG_KIND_EDIT && (flags_ & DLG_F_CHANGE_POSTS_OK)) {
        SetWindowTextA(w, "");
        return true;
    }
    if (kind == DLG_KIND_COMBO && (flags_ & DLG_F_CHANGE_POSTS_OK)) state_ |= DLG_ST_COMBO_POSTS_OK;
    if ((id >= 250 && id <= 259 && kind == DLG_KIND_EDIT) || (id >= 270 && id <= 279 && text_kind)) {
        DlgString s = string_value(id - (id >= 270 ? 270 : 250));
        if (!s.text) return false;
        std::string t(s.text, strnlen(s.text, static_cast<size_t>(s.size)));
        set_text(t);
        return true;
    }
    if (is_setting_id(id)) {
        if (kind == DLG_KIND_CHECK || kind == DLG_KIND_RADIO) {
            set_int(cmd_get_value(id));
            return true;
        }
        if (text_kind) {
            char buf[1024] = "";
            cmd_get_string(id, buf, sizeof buf);
            set_text(buf);
            return true;
        }
        return false;
    }
    if (kind == DLG_KIND_CHECK || kind == DLG_KIND_RADIO) {
        int v = (DlgQueryTable(table_, DLG_SEC_PROFILE, id, 0x1) & 0x1) ? ProfileInt(id, 0)
                                                                         : Call_Attached_Cexe(id, DLG_EV_VALUE_QUERY);
        if (v >= 0) set_int(v);
        return true;
    }
    return false;
}

bool Dialog_UI::StoreValue(HWND w, int kind, int id, const std::string& text, int v) {
    bool is_int = kind == DLG_KIND_CHECK || kind == DLG_KIND_RADIO;
    if (!is_int && id >= 250 && id <= 284) {
        // A text longer than its buffer is never cut into it: validation
        // reports it and the old value stays.
        DlgString s = string_value(id - (id >= 280 ? 280 : id >= 270 ? 270 : 250));
        if (s.text && text.size() >= static_cast<size_t>(s.size)) return false;
    }
    if (id >= 250 && id <= 259 && kind == DLG_KIND_EDIT) {
        DlgCopyToString(string_value(id - 250), text.c_str());
    } else if (id >= 270 && id <= 279) {
        DlgCopyToString(string_value(id - 270), text.c_str());
    } else if (id >= 280 && id <= 284) {
        DlgCopyToString(string_value(id - 280), text.c_str());
    } else if (is_setting_id(id)) {
        if (is_int) cmd_set_value(id, v);
        else cmd_set_string(id, text.c_str());
    } else if (const fw::Profile* p = g_profile.load(); p && (DlgQueryTable(table_, DLG_SEC_PROFILE, id, 0x1) & 0x1)) {
        int key = 0;
        unsigned f = DlgQueryTable(table_, DLG_SEC_PROFILE, id, -1, &key);
        std::string sec = (f & 0x2) ? "Dialog " + std::to_string(template_id_) : section_;
        if (is_int) p->WriteInt(sec, std::to_string(id), v);
        else p->WriteString(sec, std::to_string(id), text);
    }
    (void)w;
    if (kind == DLG_KIND_CHECK || kind == DLG_KIND_RADIO || kind == DLG_KIND_EDIT || kind == DLG_KIND_COMBO ||
        kind == DLG_KIND_DROPLIST)
        Call_Attached_Cexe(id, DLG_EV_VALUE_STORED, is_int ? std::to_string(v).c_str() : text.c_str());
    return true;
}

bool Dialog_UI::StoreControl(HWND w) {
    int kind = kind_of(w), id = GetDlgCtrlID(w);
    switch (kind) {
    case DLG_KIND_CHECK: return StoreValue(w, kind, id, {}, IntValue(w));
    case DLG_KIND_RADIO:
        if (!(GetWindowLongA(w, GWL_STYLE) & WS_GROUP)) return false;
        return StoreValue(w, kind, id, {}, IntValue(w));
    case DLG_KIND_EDIT:
    case DLG_KIND_COMBO:
        return StoreValue(w, kind, id, Text(w), 0);
    case DLG_KIND_DROPLIST:
    case DLG_KIND_LISTBOX: {
        bool list = kind == DLG_KIND_LISTBOX;
        LRESULT sel = SendMessageA(w, list ? LB_GETCURSEL : CB_GETCURSEL, 0, 0);
        if (sel < 0) return false;
        LRESULT n = SendMessageA(w, list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, static_cast<WPARAM>(sel), 0);
        if (n < 0) return false;
        std::string t(static_cast<size_t>(n) + 1, '\0');
        SendMessageA(w, list ? LB_GETTEXT : CB_GETLBTEXT, static_cast<WPARAM>(sel), reinterpret_cast<LPARAM>(&t[0]));
        t.resize(strlen(t.c_str()));
        return StoreValue(w, kind, id, t, static_cast<int>(sel));
    }
    default: return false;
    }
}

void Dialog_UI::StoreAll() {
    for (HWND w = GetWindow(hwnd(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        // Combo boxes whose table stores them on change or on leaving are
        // stored there, not by the pass over all controls.
        int id = GetDlgCtrlID(w);
        if (kind_of(w) == DLG_KIND_COMBO && ((DlgQueryTable(table_, DLG_SEC_ACTION, id, -1) & 0x80) ||
                                             (DlgQueryTable(table_, DLG_SEC_VALIDATION, id, -1) & 0x8)))
            continue;
        StoreControl(w);
    }
}

int Dialog_UI::Call_Attached_CexeEx(int id, int event, const char* text, intptr_t a1, intptr_t a2, intptr_t a3,
                                    intptr_t a4) {
    CDialogCallback* cb = callback_;
    if (!cb) return -1;
    if (cb->nesting > 0 && !cb->reentry_allowed) return 1;
    HWND w = event == DLG_EV_STATE ? nullptr : Item(id);
    cb->control = w;
    cb->rect = RECT{};
    if (w) GetWindowRect(w, &cb->rect);
    cb->text = text ? text : (w && kind_of(w) == DLG_KIND_EDIT ? Text(w) : std::string());
    cb->value = text ? std::strtol(text, nullptr, 10) : (w ? IntValue(w) : 0);
    cb->arg1 = a1, cb->arg2 = a2, cb->arg3 = a3, cb->arg4 = a4;
    ++cb->nesting;
    int answer = cb->OnEvent(event, id);
    --cb->nesting;
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
static bool Available(Dialog_UI* ui, int id) {
    if (!is_setting_id(id)) return true;
    int a = ui->Call_Attached_Cexe(id, DLG_EV_AVAILABLE);
    return a != 0;
}

bool Dialog_UI::TestEnable(const DlgRecord& r, HWND control, HWND key) {
    bool invert = (r.flags & 0x1) != 0;
    int kind = kind_of(control);
    bool same = r.control == r.key;
    switch (kind) {
    case DLG_KIND_CHECK: {
        bool v = same ? Available(this, r.control)
                      : (IntValue(control) == BST_CHECKED && Enabled(control) && Available(this, r.key));
        return v != invert;
    }
    case DLG_KIND_RADIO: {
        HWND first = control;
        while (first && !(GetWindowLongA(first, GWL_STYLE) & WS_GROUP)) first = GetWindow(first, GW_HWNDPREV);
        int idx = IntValue(first ? first : control);
        bool v = same || ((idx == r.extra) != invert);
        return v && Enabled(control) && Available(this, r.key);
    }
    case DLG_KIND_EDIT: return !Text(control).empty() && Enabled(control);
    case DLG_KIND_COMBO:
    case DLG_KIND_DROPLIST:
        if (!same && Text(control).empty()) return false;
        if (!Available(this, r.key)) return false;
        return Enabled(control) || !DlgIsTarget(table_, DLG_SEC_ENABLE, r.control);
    case DLG_KIND_LISTBOX:
        return (SendMessageA(control, LB_GETCOUNT, 0, 0) > 0 || (r.flags & 0x2)) && Available(this, r.key);
    case DLG_KIND_STATIC:
    case DLG_KIND_PUSH: return Available(this, r.control) != invert;
    default: (void)key; return true;
    }
}

void Dialog_UI::EnableWithCompanions(HWND key, bool on) {
    EnableWindow(key, on);
    int kind = kind_of(key);
    if (kind == DLG_KIND_EDIT || kind == DLG_KIND_COMBO || kind == DLG_KIND_DROPLIST) {
        HWND prev = GetWindow(key, GW_HWNDPREV);
        if (prev && kind_of(prev) == DLG_KIND_STATIC) EnableWindow(prev, on);
    }
    if (kind == DLG_KIND_EDIT) {
        if (HWND spin = SpinPartnerOf(key)) {
            EnableWindow(spin, on);
            HWND after = GetWindow(spin, GW_HWNDNEXT);
            if (after && GetDlgCtrlID(after) == 65527) EnableWindow(after, on);
        }
    }
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
            bool v = TestEnable(r, cw, kw);
            if (key) {
                verdict = v;
                if (!v) stop = true;
                break;
            }
            if (v && r.key != r.control) v = DlgApplyTable(DLG_SEC_ENABLE, 0, r.key, &r) != 0;
            verdict = v;
            EnableWindow(kw, v);
            if (r.key != r.control) {
                EnableWithCompanions(kw, v);
                DlgApplyTable(DLG_SEC_ENABLE, r.key);
            }
            break;
        }
        case DLG_SEC_VALUE:
            if (state_ & DLG_ST_CLOSING) {
                WriteBackList(r, kw);
                break;
            }
            if (kind_of(kw) == DLG_KIND_LISTBOX || kind_of(kw) == DLG_KIND_DROPLIST || kind_of(kw) == DLG_KIND_COMBO) {
                LoadList(r, kw);
            } else if (kind_of(kw) == DLG_KIND_TREE && (r.flags & 0x2000)) {
                DlgString s = string_value(r.key - 280);
                DlgFillFolderTree(kw, s.text ? std::string(s.text, strnlen(s.text, size_t(s.size))).c_str() : nullptr);
            } else {
                LoadControl(kw);
            }
            if (state_ & DLG_ST_INITIALISED) DlgApplyTable(DLG_SEC_ENABLE, r.key);
            break;
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
            if (kind_of(cw) == DLG_KIND_LISTBOX && Enabled(kw))
                PostMessageA(hwnd(), WM_COMMAND, MAKEWPARAM(r.key, BN_CLICKED), reinterpret_cast<LPARAM>(kw));
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
        if (r.key != r.control && (kkind == DLG_KIND_EDIT || kkind == DLG_KIND_COMBO)) {
            std::string t = Text(kw);
            if (Call_Attached_Cexe(r.control, DLG_EV_CLICK, t.c_str()) == 1) {
                std::string back = callback_ ? callback_->text : t;
                SetWindowTextA(kw, back.c_str());
            }
            if (r.flags & 0x3000) PostMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(kw), TRUE);
        } else if ((r.key != r.control) && (kkind == DLG_KIND_LISTBOX || kkind == DLG_KIND_DROPLIST) &&
                   (r.flags & 0x3000)) {
            bool list = kkind == DLG_KIND_LISTBOX;
            if (r.flags & 0x1000) {
                SendMessageA(kw, list ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
            } else {
                LRESULT sel = SendMessageA(kw, list ? LB_GETCURSEL : CB_GETCURSEL, 0, 0);
                if (sel >= 0) SendMessageA(kw, list ? LB_DELETESTRING : CB_DELETESTRING, static_cast<WPARAM>(sel), 0);
            }
            DlgApplyTable(DLG_SEC_ACTION, r.key);
            bool empty = SendMessageA(kw, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0) <= 0;
            HWND focus = empty && r.extra ? Item(r.extra) : kw;
            if (focus) PostMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
        } else {
            if ((r.flags & 0x1) && Call_Attached_Cexe(r.control, DLG_EV_CLICK) == 0) return false;
            if (r.flags & 0x1000) EndDialog(r.control);
        }
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
    if ((r.flags & 0x20) && kind == DLG_KIND_LISTBOX) {
        LRESULT sel = SendMessageA(cw, LB_GETCURSEL, 0, 0);
        LRESULT n = sel >= 0 ? SendMessageA(cw, LB_GETTEXTLEN, static_cast<WPARAM>(sel), 0) : -1;
        if (n >= 0) {
            std::string t(static_cast<size_t>(n) + 1, '\0');
            SendMessageA(cw, LB_GETTEXT, static_cast<WPARAM>(sel), reinterpret_cast<LPARAM>(&t[0]));
            SetWindowTextA(kw, t.c_str());
        }
    }
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
    CCtrl_Info* info = Info(key, true);
    if (info->temp_list && info->list) vmb_close(info->list, 0);
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

// Closing: a list unpacked from a record line goes back into that line when
// the dialog was confirmed (or is modeless); otherwise it is dropped.
void Dialog_UI::WriteBackList(const DlgRecord& r, HWND key) {
    CCtrl_Info* info = Info(key, false);
    if (!info || !info->temp_list || !info->list) return;
    VMB* list = info->list;
    info->list = nullptr;
    info->temp_list = false;
    bool keep = (state_ & DLG_ST_CONFIRMED) || (host_ && host_->modeless);
    int slot = r.extra & 0xFF;
    VMB* record = slot < 10 ? reinterpret_cast<VMB*>(values_[slot]) : nullptr;
    if (keep && (r.flags & 0x10) && record && vmb_in_use(record)) {
        if (kind_of(key) == DLG_KIND_COMBO) {
            // The accepted text leads the list that goes back.
            std::string text = Text(key);
            if (!text.empty()) HistoryListEntry(list, &text[0], HL_OP_ADD, (r.flags & 0x20) ? HL_TOP : 0);
        }
        HistoryListPack(list, record, r.extra >> 8, HL_OP_READ, 0);
    } else {
        vmb_close(list, 0);
    }
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

void Dialog_UI::SpinDelta(HWND spin, int delta) {
    HWND edit = GetWindow(spin, GW_HWNDPREV);
    if (!edit || kind_of(edit) != DLG_KIND_EDIT) return;
    DlgSpinParams p = DlgParseSpinParams(Text(spin).c_str());
    long v = 0;
    if (!DlgReadSpinValue(Text(edit).c_str(), &v)) v = p.minimum;
    v = DlgSpinStep(p, v, delta);
    SetFocus(edit);
    SetWindowTextA(edit, DlgFormatSpinValue(p, v).c_str());
    SendMessageA(edit, EM_SETSEL, 0, -1);
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
    if (ok && kind == DLG_KIND_COMBO && !(flags_ & DLG_F_CHANGE_POSTS_OK) && !text.empty()) {
        DlgRecord r{};
        if (DlgFindTableEntryN(table_, id, DLG_SEC_VALUE, 0x2, -1, &r) &&
            SendMessageA(w, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str())) < 0 &&
            !(r.flags & 0x800))
            SendMessageA(w, CB_INSERTSTRING, (r.flags & 0x20) ? 0 : static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(text.c_str()));
    }
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
    for (HWND w = GetWindow(dlg, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) LoadControl(w);
    DlgApplyTable(DLG_SEC_VALUE);
    DlgApplyTable(DLG_SEC_ENABLE);
    sizing_ = (GetWindowLongA(dlg, GWL_STYLE) & WS_THICKFRAME) != 0;
    if (sizing_) AutoAnchors();
    RestorePlacement();
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

void Dialog_UI::RestorePlacement() {
    HWND dlg = hwnd();
    RECT wr{}, cr{};
    GetWindowRect(dlg, &wr);
    GetClientRect(dlg, &cr);
    initial_ = {wr.right - wr.left, wr.bottom - wr.top};
    client_ = {cr.right, cr.bottom};
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

void Dialog_UI::OnTeardown() {
    state_ |= DLG_ST_CLOSING;
    bool modeless = host_ && host_->modeless;
    if (!(state_ & DLG_ST_CONFIRMED) && !modeless) {
        // Cancel: the first values go back, immediate-apply settings too.
        for (const Undo& u : undo_) {
            if (!IsWindow(u.window)) continue;
            int kind = kind_of(u.window);
            StoreValue(u.window, kind, GetDlgCtrlID(u.window), u.text, u.value);
        }
    }
    undo_.clear();
    DlgApplyTable(DLG_SEC_VALUE);
    SavePlacement();
    infos_.clear();
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

bool QWDialog::OnNotify(WPARAM wp, LPARAM lp, LRESULT* result) {
    auto* nm = reinterpret_cast<NMHDR*>(lp);
    if (DlgFolderTreeNotify(nm, result)) return true;
    if (nm && nm->code == TVN_SELCHANGEDA && DlgIsFolderTree(nm->hwndFrom) &&
        reinterpret_cast<NMTREEVIEWA*>(lp)->action != TVC_UNKNOWN) {
        std::string folder = DlgFolderTreePath(nm->hwndFrom, reinterpret_cast<NMTREEVIEWA*>(lp)->itemNew.hItem);
        // "C:\" keeps its separator; deeper folders lose theirs.
        if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
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
    default: break;
    }
    return fw::Dialog::OnWndMsg(msg, wp, lp, result);
}
