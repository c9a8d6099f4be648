// The control wrappers: where each kind of control gets and puts its value,
// how it is enabled with its companions, how it tests an enable rule and
// how lists are filled and given back.
#include "commands/dlgcontrols.h"
#include "commands/dlgfolders.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Reu/history.h"
#include "VmEngine/vm.h"
#include "commands/cmdtable.h"
#include "commands/cmdvalues.h"
#include "commands/dlgengine.h"
#include "framework/fwprofile.h"

namespace {

constexpr size_t kTextMax = 1023;  // a control's text value
constexpr size_t kLineMax = 1024;  // one list line

bool InRange(int id, int lo, int hi) { return id >= lo && id <= hi; }

// The string value a control's identifier names, {nullptr, 0} when none.
DlgString StringOf(Dialog_UI* ui, int id) {
    if (InRange(id, 250, 259)) return ui->string_value(id - 250);
    if (InRange(id, 270, 279)) return ui->string_value(id - 270);
    if (InRange(id, 280, 284)) return ui->string_value(id - 280);
    return {nullptr, 0};
}

bool ProfileBound(Dialog_UI* ui, int id) { return (DlgQueryTable(ui->table(), DLG_SEC_PROFILE, id, 0x1) & 0x1) != 0; }

std::string ProfileSection(Dialog_UI* ui, int id) {
    unsigned f = DlgQueryTable(ui->table(), DLG_SEC_PROFILE, id, -1);
    return (f & 0x2) ? "Dialog " + std::to_string(ui->template_id()) : ui->profile_section();
}

std::vector<HWND> RadioGroup(HWND first) {
    std::vector<HWND> g;
    for (HWND w = first; w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w != first && (GetWindowLongA(w, GWL_STYLE) & WS_GROUP)) break;
        g.push_back(w);
    }
    return g;
}

HWND GroupStart(HWND w) {
    HWND first = w;
    while (first && !(GetWindowLongA(first, GWL_STYLE) & WS_GROUP)) first = GetWindow(first, GW_HWNDPREV);
    return first ? first : w;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> cells;
    size_t at = 0;
    for (;;) {
        size_t tab = line.find('\t', at);
        cells.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
        if (tab == std::string::npos) return cells;
        at = tab + 1;
    }
}

// The lines of a list buffer with their line flags.
std::vector<std::pair<std::string, int>> ReadLines(VMB* list) {
    std::vector<std::pair<std::string, int>> lines;
    if (!list) return lines;
    VmGuard guard;
    char line[kLineMax + 1];
    for (int n = 1, last = vm_last_ln(list); n <= last; ++n) {
        int flags = 0;
        if (vm_read_text(list, n, 0, line, static_cast<int>(kLineMax), &flags) >= 0) lines.emplace_back(line, flags);
    }
    return lines;
}

VMB* CallerList(Dialog_UI* ui, int n) {
    if (n < 0 || n >= 10) return nullptr;
    return reinterpret_cast<VMB*>(ui->value(n));
}

int ListCount(HWND w, bool list) { return static_cast<int>(SendMessageA(w, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0)); }

std::string ListLine(HWND w, bool list, LRESULT at) {
    LRESULT n = SendMessageA(w, list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, static_cast<WPARAM>(at), 0);
    if (n < 0) return {};
    std::string t(static_cast<size_t>(n) + 1, '\0');
    SendMessageA(w, list ? LB_GETTEXT : CB_GETLBTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&t[0]));
    t.resize(strlen(t.c_str()));
    return t;
}

} // namespace

int DlgKindOf(HWND w) {
    if (!w || !IsWindow(w)) return DLG_KIND_NONE;
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    return DlgClassifyControl(cls, static_cast<uint32_t>(GetWindowLongA(w, GWL_STYLE)), GetDlgCtrlID(w));
}

std::string DlgWindowText(HWND w, size_t max) {
    int n = GetWindowTextLengthA(w);
    if (n <= 0) return {};
    std::string s(static_cast<size_t>(n) + 1, '\0');
    int got = GetWindowTextA(w, &s[0], n + 1);
    s.resize(static_cast<size_t>(std::max(got, 0)));
    if (s.size() > max) s.resize(max);
    return s;
}

// ---- Base -------------------------------------------------------------------------

CDlgControl::CDlgControl(Dialog_UI* ui, HWND w, int kind) : w_(w), id_(GetDlgCtrlID(w)), kind_(kind) { (void)ui; }

bool CDlgControl::Exchange(Dialog_UI*, int, const DlgRecord*, int) { return false; }
bool CDlgControl::StoreInt(Dialog_UI*, int, int) { return false; }
bool CDlgControl::StoreText(Dialog_UI*, const std::string&, int) { return false; }
void CDlgControl::Enable(bool on) { EnableWindow(w_, on); }
bool CDlgControl::TestEnable(Dialog_UI*, const DlgRecord&, HWND) { return true; }
void CDlgControl::EnableCompanions(bool) {}
bool CDlgControl::LoadSource(Dialog_UI*, const DlgRecord&, HWND, int) { return false; }
bool CDlgControl::WriteBack(Dialog_UI*, const DlgRecord&, HWND) { return false; }
bool CDlgControl::CopyToPartner(Dialog_UI*, const DlgRecord&, HWND) { return false; }
bool CDlgControl::DoubleClick(Dialog_UI*, const DlgRecord&, HWND) { return false; }
bool CDlgControl::Click(Dialog_UI*, const DlgRecord&, HWND) { return true; }
int CDlgControl::SetSel(DWORD, DWORD, bool) { return 0; }
int CDlgControl::NotifyChange() { return 0; }
int CDlgControl::Cleanup(Dialog_UI*) { return 0; }

bool CDlgControl::LoadStoredText(Dialog_UI* ui, std::string* out, size_t max) const {
    if (InRange(id_, 250, 284)) {
        DlgString s = StringOf(ui, id_);
        if (!s.text || s.size <= 0) return false;
        out->assign(s.text, strnlen(s.text, static_cast<size_t>(s.size)));
    } else if (is_setting_id(id_)) {
        char buf[kTextMax + 1] = "";
        cmd_get_string(id_, buf, sizeof buf);
        *out = buf;
    } else if (const fw::Profile* p = DlgGetProfile(); p && ProfileBound(ui, id_)) {
        *out = p->GetString(ProfileSection(ui, id_), std::to_string(id_), "");
    } else {
        return false;
    }
    if (out->size() > max) out->resize(max);
    return true;
}

bool CDlgControl::LoadStoredInt(Dialog_UI* ui, int* out) const {
    if (is_setting_id(id_)) {
        *out = cmd_get_value(id_);
        return true;
    }
    if (const fw::Profile* p = DlgGetProfile(); p && ProfileBound(ui, id_)) {
        int extra = 0;
        DlgQueryTable(ui->table(), DLG_SEC_PROFILE, id_, -1, nullptr, &extra);
        *out = p->GetInt(ProfileSection(ui, id_), std::to_string(id_), extra);
        return true;
    }
    int v = ui->Call_Attached_Cexe(id_, DLG_EV_VALUE_QUERY);
    if (v < 0) return false;
    *out = v;
    return true;
}

bool CDlgControl::SaveStored(Dialog_UI* ui, const std::string& text, int value, bool is_int) {
    if (!is_int && InRange(id_, 250, 284)) {
        // A text longer than its buffer is never cut into it: validation
        // reports it and the old value stays.
        DlgString s = StringOf(ui, id_);
        if (!s.text || text.size() >= static_cast<size_t>(s.size)) return false;
        DlgCopyToString(s, text.c_str());
    } else if (is_setting_id(id_)) {
        if (is_int) cmd_set_value(id_, value);
        else cmd_set_string(id_, text.c_str());
    } else if (const fw::Profile* p = DlgGetProfile(); p && ProfileBound(ui, id_)) {
        if (is_int) p->WriteInt(ProfileSection(ui, id_), std::to_string(id_), value);
        else p->WriteString(ProfileSection(ui, id_), std::to_string(id_), text);
    }
    if (kind_ == DLG_KIND_CHECK || kind_ == DLG_KIND_RADIO || kind_ == DLG_KIND_EDIT || kind_ == DLG_KIND_COMBO ||
        kind_ == DLG_KIND_DROPLIST)
        ui->Call_Attached_Cexe(id_, DLG_EV_VALUE_STORED, is_int ? std::to_string(value).c_str() : text.c_str());
    return true;
}

void CDlgControl::LoadText(Dialog_UI* ui, const std::string& text) {
    if (kind_ == DLG_KIND_DROPLIST) {
        SendMessageA(w_, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
    } else {
        SetWindowTextA(w_, text.c_str());
    }
    ui->RecordUndo(w_, -2, text);
}

void CDlgControl::LoadInt(Dialog_UI* ui, int value) {
    SetInt(value);
    ui->RecordUndo(w_, value, {});
}

namespace {

// Availability of the record's identifier inverted by flag 0x1: statics and
// push buttons.
bool AvailabilityRule(Dialog_UI* ui, const DlgRecord& r) { return ui->Available(r.control) != ((r.flags & 0x1) != 0); }

// ---- Static, progress ---------------------------------------------------------------

class CDlg_Static : public CDlgControl {
public:
    using CDlgControl::CDlgControl;
    bool Exchange(Dialog_UI* ui, int mode, const DlgRecord*, int) override {
        if (mode == DLG_LOAD && !(ui->state() & DLG_ST_INITIALISED)) MakeLabel(ui);
        if (mode != DLG_LOAD || !InRange(id_, 160, 199)) return false;
        const std::string* label = ui->label(id_ - 160);
        if (!label) return false;
        SetWindowTextA(w_, label->c_str());
        return true;
    }
    bool TestEnable(Dialog_UI* ui, const DlgRecord& r, HWND) override { return AvailabilityRule(ui, r); }

private:
    // A label control: its link text from the string table, and the
    // notify style so that the pointer over it can become a hand.
    void MakeLabel(Dialog_UI* ui) {
        const DlgRecord* r = DlgFindTableEntry(ui->table(), DLG_SEC_VISUAL, id_, -1, 0x80);
        if (!r) return;
        if (r->key) {
            char text[141] = "";
            if (LoadStringA(GetModuleHandleA(nullptr), r->key, text, sizeof text) > 0) SetWindowTextA(w_, text);
        }
        if (r->flags & 0x400) SetWindowLongA(w_, GWL_STYLE, GetWindowLongA(w_, GWL_STYLE) | SS_NOTIFY);
    }
};

class CDlg_ProgressCtrl : public CDlgControl {
public:
    using CDlgControl::CDlgControl;
    // The label text reads "shown text|low|high|position".
    bool Exchange(Dialog_UI* ui, int mode, const DlgRecord*, int) override {
        if (mode != DLG_LOAD || !InRange(id_, 160, 199)) return false;
        const std::string* label = ui->label(id_ - 160);
        if (!label) return false;
        std::vector<std::string> items;
        size_t at = 0;
        for (;;) {
            size_t bar = label->find('|', at);
            items.push_back(label->substr(at, bar == std::string::npos ? std::string::npos : bar - at));
            if (bar == std::string::npos) break;
            at = bar + 1;
        }
        SetWindowTextA(w_, items[0].c_str());
        if (items.size() >= 3) {
            long lo = std::strtol(items[1].c_str(), nullptr, 10), hi = std::strtol(items[2].c_str(), nullptr, 10);
            SendMessageA(w_, PBM_SETRANGE32, static_cast<WPARAM>(lo), static_cast<LPARAM>(hi));
        }
        if (items.size() >= 4)
            SendMessageA(w_, PBM_SETPOS, static_cast<WPARAM>(std::strtol(items[3].c_str(), nullptr, 10)), 0);
        return true;
    }
};

// ---- Buttons ----------------------------------------------------------------------

class CDlg_PushButton : public CDlgControl {
public:
    using CDlgControl::CDlgControl;
    bool TestEnable(Dialog_UI* ui, const DlgRecord& r, HWND) override { return AvailabilityRule(ui, r); }
    bool Click(Dialog_UI* ui, const DlgRecord& r, HWND kw) override;
};

bool CDlg_PushButton::Click(Dialog_UI* ui, const DlgRecord& r, HWND kw) {
    int kkind = ui->kind_of(kw);
    if (r.key != r.control && (kkind == DLG_KIND_EDIT || kkind == DLG_KIND_COMBO)) {
        // The callback may change the text (a folder picker, say) and
        // answers 1 to have it put back.
        std::string t = DlgWindowText(kw);
        if (ui->Call_Attached_Cexe(r.control, DLG_EV_CLICK, t.c_str()) == 1) {
            std::string back = ui->callback() ? ui->callback()->text : t;
            if (back.size() > kTextMax) back.resize(kTextMax);
            SetWindowTextA(kw, back.c_str());
        }
        if (r.flags & 0x3000) PostMessageA(ui->hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(kw), TRUE);
        return true;
    }
    if (r.key != r.control && (kkind == DLG_KIND_LISTBOX || kkind == DLG_KIND_DROPLIST) && (r.flags & 0x3000)) {
        Dlg_ListRemove(ui, &r, kw, (r.flags & 0x1000) != 0, ui->Info(kw, false) ? ui->Info(kw, false)->list : nullptr);
        return true;
    }
    if (r.key != r.control && kkind == DLG_KIND_LISTVIEW && r.flags >= 0x4000) {
        int n = static_cast<int>(SendMessageA(kw, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) ListView_SetCheckState(kw, i, TRUE);
        return true;
    }
    if ((r.flags & 0x1) && ui->Call_Attached_Cexe(r.control, DLG_EV_CLICK) == 0) return false;
    if (r.flags & 0x1000) ui->EndDialog(r.control);
    return true;
}

class CDlg_CheckBox : public CDlgControl {
public:
    using CDlgControl::CDlgControl;
    int GetInt() const override { return static_cast<int>(SendMessageA(w_, BM_GETCHECK, 0, 0)); }
    void SetInt(int v) override { SendMessageA(w_, BM_SETCHECK, static_cast<WPARAM>(v), 0); }
    bool Exchange(Dialog_UI* ui, int mode, const DlgRecord*, int) override {
        if (mode == DLG_SAVE) return SaveStored(ui, {}, GetInt(), true);
        int v = 0;
        if (!LoadStoredInt(ui, &v)) return false;
        LoadInt(ui, v);
        return true;
    }
    bool StoreInt(Dialog_UI* ui, int v, int) override {
        SetInt(v);
        return SaveStored(ui, {}, v, true);
    }
    bool TestEnable(Dialog_UI* ui, const DlgRecord& r, HWND) override {
        bool v = r.control == r.key ? ui->Available(r.control)
                                    : GetInt() == BST_CHECKED && IsWindowEnabled(w_) && ui->Available(r.key);
        return v != ((r.flags & 0x1) != 0);
    }
};

class CDlg_RadioButton : public CDlgControl {
public:
    using CDlgControl::CDlgControl;
    bool first() const { return (GetWindowLongA(w_, GWL_STYLE) & WS_GROUP) != 0; }
    int GetInt() const override {
        std::vector<HWND> g = RadioGroup(GroupStart(w_));
        for (size_t i = 0; i < g.size(); ++i)
            if (SendMessageA(g[i], BM_GETCHECK, 0, 0) == BST_CHECKED) return static_cast<int>(i);
        return -1;
    }
    void SetInt(int v) override {
        std::vector<HWND> g = RadioGroup(GroupStart(w_));
        for (size_t i = 0; i < g.size(); ++i)
            SendMessageA(g[i], BM_SETCHECK, static_cast<int>(i) == v ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    bool Exchange(Dialog_UI* ui, int mode, const DlgRecord*, int) override {
        if (!first()) return false;  // the group's first button speaks for it
        if (mode == DLG_SAVE) return SaveStored(ui, {}, GetInt(), true);
        int v = 0;
        if (!LoadStoredInt(ui, &v)) return false;
        LoadInt(ui, v);
        return true;
    }
    bool StoreInt(Dialog_UI* ui, int v, int) override {
        SetInt(v);
        return SaveStored(ui, {}, v, true);
    }
    bool TestEnable(Dialog_UI* ui, const DlgRecord& r, HWND) override {
        bool v = r.control == r.key || ((GetInt() == r.extra) != ((r.flags & 0x1) != 0));
        return v && IsWindowEnabled(w_) && ui->Available(r.key);
    }
    void Enable(bool on) override {
        for (HWND b : RadioGroup(GroupStart(w_))) EnableWindow(b, on);
    }
    void EnableCompanions(bool on) override { Enable(on); }
    bool LoadSource(Dialog_UI* ui, const DlgRecord& r, HWND, int) override {
        CCtrl_Info* info = ui->Info(w_, false);
        if (!info) {
            info = ui->Info(w_, true);
            info->source = r.extra;
        } else if (GetFocus() == w_ && info->source != r.extra) {
            info->source = r.extra;
        }
        Exchange(ui, DLG_LOAD, &r, 0);
        return true;
    }
};

// ---- Edit, spin ---------------------------------------------------------------------

class CDlg_Edit : public CDlgControl {
public:
    using CDlgControl::CDlgControl;
    int GetInt() const override {
        long v = -1;
        return DlgReadSpinValue(DlgWindowText(w_).c_str(), &v) ? static_cast<int>(v) : -1;
    }
    bool Exchange(Dialog_UI* ui, int mode, const DlgRecord*, int) override {
        if (mode == DLG_SAVE) return SaveStored(ui, DlgWindowText(w_, SIZE_MAX), 0, false);
        if (ui->flags() & DLG_F_CHANGE_POSTS_OK) {
            SetWindowTextA(w_, "");
            return true;
        }
        std::string t;
        if (!LoadStoredText(ui, &t, kTextMax)) return false;
        LoadText(ui, t);
        return true;
    }
    bool StoreText(Dialog_UI* ui, const std::string& text, int) override {
        SetWindowTextA(w_, text.c_str());
        return SaveStored(ui, text, 0, false);
    }
    bool TestEnable(Dialog_UI*, const DlgRecord&, HWND) override {
        return GetWindowTextLengthA(w_) > 0 && IsWindowEnabled(w_);
    }
    void EnableCompanions(bool on) override {
        HWND prev = GetWindow(w_, GW_HWNDPREV);
        if (prev && DlgKindOf(prev) == DLG_KIND_STATIC) EnableWindow(prev, on);
        HWND spin = GetWindow(w_, GW_HWNDNEXT);
        if (spin && DlgKindOf(spin) == DLG_KIND_SPIN) {
            EnableWindow(spin, on);
            HWND after = GetWindow(spin, GW_HWNDNEXT);
            if (after && GetDlgCtrlID(after) == 65527) EnableWindow(after, on);
        }
    }
    bool LoadSource(Dialog_UI* ui, const DlgRecord& r, HWND, int) override {
        CCtrl_Info* info = ui->Info(w_, false);
        if (!info) {
            info = ui->Info(w_, true);
            info->source = r.extra;
        } else if (GetFocus() == w_ && info->source != r.extra) {
            info->source = r.extra;
        }
        Exchange(ui, DLG_LOAD, &r, 0);
        return true;
    }
    int SetSel(DWORD start, DWORD end, bool keep_scroll) override {
        SendMessageA(w_, EM_SETSEL, start, static_cast<LPARAM>(end));
        if (!keep_scroll) SendMessageA(w_, EM_SCROLLCARET, 0, 0);
        return 1;
    }
    int NotifyChange() override {
        SendMessageA(GetParent(w_), WM_COMMAND, MAKEWPARAM(id_, EN_CHANGE), reinterpret_cast<LPARAM>(w_));
        return 1;
    }
};

class CDlg_SpinButton : public CDlgControl {
public:
    using CDlgControl::CDlgControl;
    // Range and position from the spin's parameters and its edit partner,
    // whose text is rewritten in the display format.
    bool Exchange(Dialog_UI*, int mode, const DlgRecord*, int) override {
        if (mode != DLG_LOAD) return false;
        DlgSpinParams p = DlgParseSpinParams(DlgWindowText(w_).c_str());
        SendMessageA(w_, UDM_SETRANGE32, static_cast<WPARAM>(p.minimum), static_cast<LPARAM>(p.maximum));
        HWND edit = GetWindow(w_, GW_HWNDPREV);
        if (!edit || DlgKindOf(edit) != DLG_KIND_EDIT) return true;
        long v = 0;
        if (DlgReadSpinValue(DlgWindowText(edit).c_str(), &v)) {
            SendMessageA(w_, UDM_SETPOS32, 0, static_cast<LPARAM>(v));
            SetWindowTextA(edit, DlgFormatSpinValue(p, v).c_str());
        }
        return true;
    }
};

// ---- Lists ----------------------------------------------------------------------------

class CDlg_ListBox : public CDlgControl {
public:
    using CDlgControl::CDlgControl;
    int GetInt() const override { return static_cast<int>(SendMessageA(w_, LB_GETCURSEL, 0, 0)); }
    bool Exchange(Dialog_UI* ui, int mode, const DlgRecord*, int) override {
        if (mode == DLG_LOAD) {
            // Without a table the list is caller value id-280.
            if (ui->has_table() || !InRange(id_, 280, 284) || !CallerList(ui, id_ - 280)) return false;
            DlgRecord r{DLG_SEC_VALUE, static_cast<uint16_t>(id_), static_cast<uint16_t>(id_), 0,
                        static_cast<uint16_t>(id_ - 280)};
            ui->LoadList(r, w_);
            return true;
        }
        LRESULT sel = SendMessageA(w_, LB_GETCURSEL, 0, 0);
        if (sel < 0) return false;
        return SaveStored(ui, ListLine(w_, true, sel), static_cast<int>(sel), false);
    }
    bool TestEnable(Dialog_UI* ui, const DlgRecord& r, HWND) override {
        return (SendMessageA(w_, LB_GETCOUNT, 0, 0) > 0 || (r.flags & 0x2)) && ui->Available(r.key);
    }
    bool LoadSource(Dialog_UI* ui, const DlgRecord& r, HWND, int) override {
        ui->LoadList(r, w_);
        return true;
    }
    bool WriteBack(Dialog_UI* ui, const DlgRecord& r, HWND) override;
    bool CopyToPartner(Dialog_UI*, const DlgRecord&, HWND kw) override {
        LRESULT sel = SendMessageA(w_, LB_GETCURSEL, 0, 0);
        if (sel < 0) return false;
        SetWindowTextA(kw, ListLine(w_, true, sel).c_str());
        return true;
    }
    bool DoubleClick(Dialog_UI* ui, const DlgRecord& r, HWND kw) override {
        if (!IsWindowEnabled(kw)) return false;
        PostMessageA(ui->hwnd(), WM_COMMAND, MAKEWPARAM(r.key, BN_CLICKED), reinterpret_cast<LPARAM>(kw));
        return true;
    }
};

bool CDlg_ListBox::WriteBack(Dialog_UI* ui, const DlgRecord& r, HWND) {
    bool modeless = (ui->flags() & DLG_F_MODELESS) != 0;
    if (!(ui->state() & DLG_ST_CONFIRMED) && !modeless) return false;
    if (r.flags & 0x80) {
        // The partner's text joins the list buffer.
        int partner_id = id_;
        if (const DlgRecord* a = DlgFindTableEntry(ui->table(), DLG_SEC_ACTION, id_, -1, -1)) partner_id = a->key;
        HWND partner = ui->Item(partner_id);
        VMB* list = CallerList(ui, r.extra);
        if (!partner || !list) return false;
        std::string t = DlgWindowText(partner, kLineMax);
        if (t.empty()) return false;
        VmGuard guard;
        return vm_append_line_ex(list, t.c_str(), 0) > 0;
    }
    CCtrl_Info* info = ui->Info(w_, false);
    if (is_setting_id(id_) || !info || info->source != r.extra) return false;
    LRESULT sel = SendMessageA(w_, LB_GETCURSEL, 0, 0);
    if (sel < 0) return false;
    std::string t = ListLine(w_, true, sel);
    if (t.size() > kLineMax) t.resize(kLineMax);
    DlgString s = ui->string_value(r.extra);
    return s.text && DlgCopyToString(s, t.c_str());
}

// The edit of a combo box whose list record asks for it (mode 0x2: Delete
// removes the selected entry; 0x4: Delete and Enter ask for validation).
struct ComboEdit {
    Dialog_UI* ui;
    HWND combo;
    unsigned mode;
};

constexpr const char* kComboEditProp = "QwComboEdit";

LRESULT CALLBACK ComboEditProc(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
    auto* ce = reinterpret_cast<ComboEdit*>(ref);
    switch (m) {
    case WM_GETDLGCODE:
        if ((ce->mode & 0x4) && lp && reinterpret_cast<const MSG*>(lp)->message == WM_KEYDOWN &&
            reinterpret_cast<const MSG*>(lp)->wParam == VK_RETURN)
            return DLGC_WANTALLKEYS;  // Enter does not press the default button
        break;
    case WM_SYSKEYDOWN:
    case WM_SYSCHAR:
        if ((ce->mode & 0x4) && wp == VK_RETURN) return 0;
        break;
    case WM_CHAR:
        if ((ce->mode & 0x4) && wp == '\r') return 0;
        break;
    case WM_KEYDOWN: {
        bool shift = GetKeyState(VK_SHIFT) < 0;
        HWND dlg = ce->ui->hwnd();
        if (wp == VK_DELETE) {
            ce->ui->SetState(DLG_ST_ALL_PASSED | DLG_ST_ALL_RAN, false);
            if ((ce->mode & 0x2) && !shift && SendMessageA(ce->combo, CB_GETCURSEL, 0, 0) >= 0) {
                CCtrl_Info* info = ce->ui->Info(ce->combo, false);
                Dlg_ListRemove(ce->ui, nullptr, ce->combo, false, info ? info->list : nullptr);
                return 0;
            }
            if (ce->mode & 0x4)
                PostMessageA(dlg, UWM_DLG_VALIDATE, reinterpret_cast<WPARAM>(ce->combo), shift ? 0x802E : 46);
        } else if (wp == VK_RETURN && (ce->mode & 0x4)) {
            std::string keep = DlgWindowText(ce->combo);
            SendMessageA(ce->combo, CB_SHOWDROPDOWN, FALSE, 0);
            SetWindowTextA(ce->combo, keep.c_str());
            PostMessageA(dlg, UWM_DLG_VALIDATE, reinterpret_cast<WPARAM>(ce->combo), 13);
            return 0;
        }
        break;
    }
    case WM_NCDESTROY:
        RemovePropA(w, kComboEditProp);
        RemoveWindowSubclass(w, ComboEditProc, id);
        delete ce;
        break;
    default: break;
    }
    return DefSubclassProc(w, m, wp, lp);
}

void SubclassComboEdit(Dialog_UI* ui, HWND combo, unsigned mode) {
    HWND edit = GetDlgItem(combo, 1001);
    if (!edit) edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
    if (!edit || GetPropA(edit, kComboEditProp)) return;  // once per edit
    auto* ce = new ComboEdit{ui, combo, mode};
    if (SetWindowSubclass(edit, ComboEditProc, 1, reinterpret_cast<DWORD_PTR>(ce))) SetPropA(edit, kComboEditProp, ce);
    else delete ce;
}

class CDlg_ComboBox : public CDlgControl {
public:
    using CDlgControl::CDlgControl;
    int GetInt() const override { return static_cast<int>(SendMessageA(w_, CB_GETCURSEL, 0, 0)); }
    bool Exchange(Dialog_UI* ui, int mode, const DlgRecord*, int reason) override;
    bool StoreText(Dialog_UI* ui, const std::string& text, int) override {
        LoadTextOnly(text);
        return SaveStored(ui, text, 0, false);
    }
    bool TestEnable(Dialog_UI* ui, const DlgRecord& r, HWND) override {
        bool same = r.control == r.key;
        if (!same && GetWindowTextLengthA(w_) == 0) return false;
        if (!ui->Available(r.key)) return false;
        return IsWindowEnabled(w_) || !DlgIsTarget(ui->table(), DLG_SEC_ENABLE, r.control);
    }
    void EnableCompanions(bool on) override {
        HWND prev = GetWindow(w_, GW_HWNDPREV);
        if (prev && DlgKindOf(prev) == DLG_KIND_STATIC) EnableWindow(prev, on);
    }
    bool LoadSource(Dialog_UI* ui, const DlgRecord& r, HWND, int) override {
        if (!(ui->state() & DLG_ST_INITIALISED) && (r.flags & 0x6)) SubclassComboEdit(ui, w_, r.flags & 0x6);
        LoadList(ui, r);
        return true;
    }
    int SetSel(DWORD start, DWORD end, bool) override {
        SendMessageA(w_, CB_SETEDITSEL, 0, MAKELPARAM(start, end));
        return 1;
    }
    int NotifyChange() override {
        SendMessageA(GetParent(w_), WM_COMMAND, MAKEWPARAM(id_, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(w_));
        return 1;
    }
    // A list unpacked from a line of a record buffer goes back into that
    // line when the dialog was confirmed; otherwise the engine drops it.
    bool WriteBack(Dialog_UI* ui, const DlgRecord& r, HWND) override {
        CCtrl_Info* info = ui->Info(w_, false);
        if (!(r.flags & 0x10) || !info || !info->list || !info->temp_list) return false;
        VMB* record = CallerList(ui, r.extra & 0xFF);
        bool keep = (ui->state() & DLG_ST_CONFIRMED) || (ui->flags() & DLG_F_MODELESS);
        if (!keep || !record) return false;
        VMB* list = info->list;
        info->list = nullptr;
        info->temp_list = false;
        return HistoryListPack(list, record, r.extra >> 8, HL_OP_READ, 0) != nullptr;
    }

private:
    // The list, then a drop-down list's selection by its stored text.
    void LoadList(Dialog_UI* ui, const DlgRecord& r) {
        ui->LoadList(r, w_);
        std::string t;
        if (kind_ == DLG_KIND_DROPLIST && LoadStoredText(ui, &t, kTextMax)) LoadText(ui, t);
    }
    void LoadTextOnly(const std::string& t) {
        if (kind_ == DLG_KIND_DROPLIST)
            SendMessageA(w_, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(t.c_str()));
        else
            SetWindowTextA(w_, t.c_str());
    }
};

bool CDlg_ComboBox::Exchange(Dialog_UI* ui, int mode, const DlgRecord*, int reason) {
    if (mode == DLG_SAVE) {
        std::string t;
        LRESULT sel = SendMessageA(w_, CB_GETCURSEL, 0, 0);
        if (kind_ == DLG_KIND_DROPLIST || (reason == DLG_R_SEL_CHANGED && sel >= 0)) {
            if (sel < 0) return false;
            t = ListLine(w_, false, sel);
            if (t.size() > kTextMax) t.resize(kTextMax);
        } else {
            t = DlgWindowText(w_, SIZE_MAX);
        }
        return SaveStored(ui, t, static_cast<int>(sel), false);
    }
    if (kind_ == DLG_KIND_COMBO && (ui->flags() & DLG_F_CHANGE_POSTS_OK)) ui->SetState(DLG_ST_COMBO_POSTS_OK, true);
    if (!ui->has_table() && InRange(id_, 270, 279) && CallerList(ui, id_ - 270) && !ui->Info(w_, false)) {
        // Without a table the list is caller value id-270.
        DlgRecord r{DLG_SEC_VALUE, static_cast<uint16_t>(id_), static_cast<uint16_t>(id_), 0,
                    static_cast<uint16_t>(id_ - 270)};
        LoadList(ui, r);
        return true;
    }
    std::string t;
    if (!LoadStoredText(ui, &t, kTextMax)) return false;
    LoadText(ui, t);
    return true;
}

// The list view: a report list whose rows come from a list buffer, one line
// each, cells separated by tabs, the check mark from line flag 0x8.
// Columns: the control's section 0x8000 records, one per column in order
// (key: heading string id, 0 none; extra: width in percent of the client
// width, 0 an even share; flags 0x1 check boxes, 0x2 full-row selection);
// without records, as many even columns as the widest row has cells.
class CDlg_ListCtrl : public CDlgControl {
public:
    using CDlgControl::CDlgControl;
    int GetInt() const override {
        return static_cast<int>(SendMessageA(w_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    bool LoadSource(Dialog_UI* ui, const DlgRecord& r, HWND, int) override;
    bool Exchange(Dialog_UI* ui, int mode, const DlgRecord*, int) override;
    bool TestEnable(Dialog_UI* ui, const DlgRecord& r, HWND) override {
        if (SendMessageA(w_, LVM_GETITEMCOUNT, 0, 0) <= 0 && !(r.flags & 0x2)) return false;
        if ((r.flags & 0x4) && GetInt() < 0) return false;
        return ui->Available(id_);
    }
    bool WriteBack(Dialog_UI* ui, const DlgRecord&, HWND) override {
        (void)ui;
        return false;  // the rows stay in the control until it goes
    }

private:
    std::string Cell(int row, int col) const {
        char buf[kLineMax + 1] = "";
        LVITEMA it{};
        it.iSubItem = col;
        it.pszText = buf;
        it.cchTextMax = sizeof buf;
        SendMessageA(w_, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
        return buf;
    }
};

bool CDlg_ListCtrl::LoadSource(Dialog_UI* ui, const DlgRecord& r, HWND, int) {
    CCtrl_Info* info = ui->Info(w_, true);
    info->source = r.extra;
    VMB* list = is_setting_id(r.extra) ? nullptr : CallerList(ui, r.extra);
    info->list = list;
    std::vector<std::pair<std::string, int>> lines = ReadLines(list);
    std::vector<const DlgRecord*> cols;
    for (const DlgRecord& c : ui->table().records())
        if (c.section == DLG_SEC_COLUMN_LIST && c.control == id_) cols.push_back(&c);
    size_t ncols = cols.size();
    unsigned options = 0;
    for (const DlgRecord* c : cols) options |= c->flags;
    if (!ncols)
        for (auto& l : lines) ncols = std::max(ncols, SplitTabs(l.first).size());
    ncols = std::max<size_t>(ncols, 1);
    SendMessageA(w_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(w_, LVM_DELETEALLITEMS, 0, 0);
    while (SendMessageA(w_, LVM_DELETECOLUMN, 0, 0)) {}
    DWORD ex = 0;
    if (options & 0x1) ex |= LVS_EX_CHECKBOXES;
    if (options & 0x2) ex |= LVS_EX_FULLROWSELECT;
    SendMessageA(w_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT, ex);
    RECT cr{};
    GetClientRect(w_, &cr);
    for (size_t i = 0; i < ncols; ++i) {
        char heading[256] = "";
        int pct = 0;
        if (i < cols.size()) {
            if (cols[i]->key) LoadStringA(GetModuleHandleA(nullptr), cols[i]->key, heading, sizeof heading);
            pct = std::min<int>(cols[i]->extra, 100);
        }
        LVCOLUMNA c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.pszText = heading;
        c.cx = pct ? cr.right * pct / 100 : cr.right / static_cast<int>(ncols);
        SendMessageA(w_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&c));
    }
    int row = 0;
    for (auto& l : lines) {
        std::vector<std::string> cells = SplitTabs(l.first);
        LVITEMA it{};
        it.mask = LVIF_TEXT;
        it.iItem = row;
        it.pszText = const_cast<char*>(cells[0].c_str());
        int at = static_cast<int>(SendMessageA(w_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
        if (at < 0) break;
        for (size_t c = 1; c < cells.size() && c < ncols; ++c) {
            LVITEMA sub{};
            sub.iSubItem = static_cast<int>(c);
            sub.pszText = const_cast<char*>(cells[c].c_str());
            SendMessageA(w_, LVM_SETITEMTEXTA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&sub));
        }
        if (options & 0x1) ListView_SetCheckState(w_, at, (l.second & 0x8) != 0);
        ++row;
    }
    SendMessageA(w_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(w_, nullptr, TRUE);
    // A setting named by the control's section 0x4 record (flag 0x100)
    // selects the row whose first cell is its current string.
    DlgRecord a{};
    if (DlgFindTableEntryN(ui->table(), id_, DLG_SEC_ACTION, 0x100, -1, &a) && is_setting_id(a.key)) {
        char cur[kTextMax + 1] = "";
        cmd_get_string(a.key, cur, sizeof cur);
        int found = -1;
        for (int i = 0; i < row && found < 0; ++i)
            if (Cell(i, 0) == cur) found = i;
        if (found >= 0) {
            ListView_SetItemState(w_, found, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            ListView_EnsureVisible(w_, found, FALSE);
        }
        if (a.flags & 0x80) {
            if (found >= 0) cmd_set_string(a.key, Cell(found, 0).c_str());
        } else if (a.flags & 0x1) {
            ui->Call_Attached_Cexe(id_, DLG_EV_CLICK);
        }
    }
    return true;
}

bool CDlg_ListCtrl::Exchange(Dialog_UI* ui, int mode, const DlgRecord*, int) {
    if (mode != DLG_SAVE) return false;
    DlgRecord r{};
    if (!DlgFindTableEntryN(ui->table(), id_, DLG_SEC_LIST_ACTION, -1, -1, &r)) return false;
    bool done = false;
    CCtrl_Info* info = ui->Info(w_, false);
    if ((r.flags & 0x80) && info && info->list) {
        // The rows go back into their buffer, the check marks as line flag 0x8.
        int n = static_cast<int>(SendMessageA(w_, LVM_GETITEMCOUNT, 0, 0));
        int ncols = static_cast<int>(SendMessageA(reinterpret_cast<HWND>(SendMessageA(w_, LVM_GETHEADER, 0, 0)),
                                                  HDM_GETITEMCOUNT, 0, 0));
        bool checks = (SendMessageA(w_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES) != 0;
        VmGuard guard;
        vm_clear(info->list, 0);
        for (int i = 0; i < n; ++i) {
            std::string line = Cell(i, 0);
            for (int c = 1; c < ncols; ++c) line += "\t" + Cell(i, c);
            if (line.size() > kLineMax) line.resize(kLineMax);
            int at = vm_append_line_ex(info->list, line.c_str(), 0);
            if (at > 0 && checks) vm_line_flags(info->list, at, ListView_GetCheckState(w_, i) ? 1 : 0, 0x8);
        }
        done = true;
    }
    if ((r.flags & 0x2001) == 0x2001) {
        ui->Call_Attached_Cexe(id_, DLG_EV_LIST_ACTION);
        done = true;
    }
    return done;
}

// The folder tree (dlgfolders): the selection's path is the value.
class CDlg_TreeCtrl : public CDlgControl {
public:
    using CDlgControl::CDlgControl;
    bool LoadSource(Dialog_UI* ui, const DlgRecord& r, HWND, int) override {
        CCtrl_Info* info = ui->Info(w_, true);
        info->source = r.extra;
        std::string start;
        DlgString s = ui->string_value(r.extra);
        if ((r.flags & 0x2000) && s.text) start.assign(s.text, strnlen(s.text, static_cast<size_t>(s.size)));
        DlgFillFolderTree(w_, start.c_str());  // the current folder when empty
        return true;
    }
    bool Exchange(Dialog_UI* ui, int mode, const DlgRecord*, int) override {
        if (mode != DLG_SAVE) return false;
        auto item = reinterpret_cast<HTREEITEM>(SendMessageA(w_, TVM_GETNEXTITEM, TVGN_CARET, 0));
        std::string path = DlgFolderTreeFolder(w_, item);
        if (path.empty()) return false;
        return SaveStored(ui, path, 0, false);
    }
    bool StoreText(Dialog_UI* ui, const std::string& text, int) override { return SaveStored(ui, text, 0, false); }
};

} // namespace

bool DlgLabelColour(Dialog_UI* ui, HWND w, COLORREF* out) {
    static const COLORREF kColours[13] = {0xFFFFFF, 0x000000, 0x808080, 0xC0C0C0, 0xA9A9A9, 0x008000, 0x00FF00,
                                          0x800000, 0xFF0000, 0x0000FF, 0x000080, 0x00FFFF, 0xFFFF00};
    if (!ui || DlgKindOf(w) != DLG_KIND_STATIC) return false;
    const DlgRecord* r = DlgFindTableEntry(ui->table(), DLG_SEC_VISUAL, GetDlgCtrlID(w), -1, 0x80);
    if (!r || !(r->flags & 0x800) || r->extra >= 13) return false;  // only the table's 13 colours
    *out = kColours[r->extra];
    return true;
}

bool DlgLabelHandCursor(Dialog_UI* ui, HWND w) {
    if (!ui || DlgKindOf(w) != DLG_KIND_STATIC) return false;
    const DlgRecord* r = DlgFindTableEntry(ui->table(), DLG_SEC_VISUAL, GetDlgCtrlID(w), -1, 0x80);
    return r && (r->flags & 0x400);
}

std::unique_ptr<CDlgControl> DlgMakeControl(Dialog_UI* ui, HWND w) {
    if (!ui || !w || !IsWindow(w)) return nullptr;
    int kind = DlgKindOf(w);
    switch (kind) {
    case DLG_KIND_STATIC: return std::make_unique<CDlg_Static>(ui, w, kind);
    case DLG_KIND_PUSH: return std::make_unique<CDlg_PushButton>(ui, w, kind);
    case DLG_KIND_CHECK: return std::make_unique<CDlg_CheckBox>(ui, w, kind);
    case DLG_KIND_RADIO: return std::make_unique<CDlg_RadioButton>(ui, w, kind);
    case DLG_KIND_EDIT: return std::make_unique<CDlg_Edit>(ui, w, kind);
    case DLG_KIND_SPIN: return std::make_unique<CDlg_SpinButton>(ui, w, kind);
    case DLG_KIND_LISTBOX: return std::make_unique<CDlg_ListBox>(ui, w, kind);
    case DLG_KIND_DROPLIST:
    case DLG_KIND_COMBO: return std::make_unique<CDlg_ComboBox>(ui, w, kind);
    case DLG_KIND_LISTVIEW: return std::make_unique<CDlg_ListCtrl>(ui, w, kind);
    case DLG_KIND_TREE: return std::make_unique<CDlg_TreeCtrl>(ui, w, kind);
    case DLG_KIND_PROGRESS: return std::make_unique<CDlg_ProgressCtrl>(ui, w, kind);
    default: return nullptr;
    }
}

// ---- Helpers ---------------------------------------------------------------------------

int Dlg_GetListSel(HWND w, int column, char* buf, int size) {
    if (buf && size > 0) buf[0] = 0;
    int kind = DlgKindOf(w);
    std::string text;
    int sel = -1;
    if (kind == DLG_KIND_LISTBOX || kind == DLG_KIND_DROPLIST || kind == DLG_KIND_COMBO) {
        bool list = kind == DLG_KIND_LISTBOX;
        sel = static_cast<int>(SendMessageA(w, list ? LB_GETCURSEL : CB_GETCURSEL, 0, 0));
        if (sel >= 0) text = ListLine(w, list, sel);
    } else if (kind == DLG_KIND_LISTVIEW) {
        sel = static_cast<int>(SendMessageA(w, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        if (sel >= 0 && column == -1) {
            text = ListView_GetCheckState(w, sel) ? "1" : "0";
        } else if (sel >= 0) {
            char cell[kLineMax + 1] = "";
            LVITEMA it{};
            it.iSubItem = column;
            it.pszText = cell;
            it.cchTextMax = sizeof cell;
            SendMessageA(w, LVM_GETITEMTEXTA, static_cast<WPARAM>(sel), reinterpret_cast<LPARAM>(&it));
            text = cell;
        }
    } else {
        return -1;
    }
    if (buf && size > 0 && text.size() < static_cast<size_t>(size)) memcpy(buf, text.c_str(), text.size() + 1);
    return sel;
}

int Dlg_GetItemText(Dialog_UI* ui, int id, int column, char* buf, int size) {
    HWND w = ui ? ui->Item(id) : nullptr;
    if (!w) return -1;
    int kind = DlgKindOf(w);
    if (kind == DLG_KIND_EDIT || kind == DLG_KIND_STATIC || kind == DLG_KIND_COMBO) {
        std::string t = DlgWindowText(w, SIZE_MAX);
        if (buf && size > 0) DlgCopyToString({buf, size}, t.c_str());
        return static_cast<int>(t.size());
    }
    if (kind == DLG_KIND_LISTBOX || kind == DLG_KIND_DROPLIST || kind == DLG_KIND_LISTVIEW)
        return Dlg_GetListSel(w, column, buf, size);
    return -1;
}

int Dlg_SetItemText(Dialog_UI* ui, int id, const char* text) {
    HWND w = ui ? ui->Item(id) : nullptr;
    if (!w || !text) return 0;
    switch (DlgKindOf(w)) {
    case DLG_KIND_STATIC:
    case DLG_KIND_PUSH:
    case DLG_KIND_EDIT:
    case DLG_KIND_COMBO:
    case DLG_KIND_PROGRESS: {
        std::string t(text, strnlen(text, kTextMax));
        return SetWindowTextA(w, t.c_str()) ? 1 : 0;
    }
    default: return 0;
    }
}

int Dlg_GetItemInt(Dialog_UI* ui, int id) {
    HWND w = ui ? ui->Item(id) : nullptr;
    int kind = DlgKindOf(w);
    if (kind != DLG_KIND_CHECK && kind != DLG_KIND_RADIO && kind != DLG_KIND_EDIT) return -1;
    std::unique_ptr<CDlgControl> c = DlgMakeControl(ui, w);
    return c ? c->GetInt() : -1;
}

int Dlg_SetCheck(Dialog_UI* ui, int id, int value) {
    HWND w = ui ? ui->Item(id) : nullptr;
    int kind = DlgKindOf(w);
    if (kind != DLG_KIND_CHECK && kind != DLG_KIND_RADIO) return 0;
    DlgMakeControl(ui, w)->SetInt(value);
    return 1;
}

VMB* Dlg_GetItemListBuffer(Dialog_UI* ui, int id) {
    if (!ui || !(ui->state() & DLG_ST_INITIALISED)) return nullptr;
    HWND w = ui->Item(id);
    CCtrl_Info* info = w ? ui->Info(w, false) : nullptr;
    return info ? info->list : nullptr;
}

int Dlg_FillListFromArgs(Dialog_UI* ui, int id, int line) {
    VMB* list = Dlg_GetItemListBuffer(ui, id);
    HWND w = ui ? ui->Item(id) : nullptr;
    if (!list || !w) return 0;
    std::vector<std::string> lines;
    for (auto& l : ReadLines(list)) lines.push_back(l.first);
    int select = -1;
    {
        VmGuard guard;
        if (line > 0 && line <= vm_last_ln(list)) vm_set_mark_line(list, line);
        select = vm_mark_line(list) - 1;
    }
    ui->PopulateListFromStrings(w, lines, select);
    return 1;
}

int Dlg_ValidateText(Dialog_UI* ui, HWND combo, const std::string& text) {
    DlgRecord r{};
    if (!ui || DlgKindOf(combo) != DLG_KIND_COMBO ||
        !DlgFindTableEntryN(ui->table(), GetDlgCtrlID(combo), DLG_SEC_VALUE, 0x2, -1, &r))
        return 0;
    if ((r.flags & 0x800) || (text.empty() && !(r.flags & 0x200))) return 0;
    if (!(r.flags & 0x400) &&
        SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str())) >= 0)
        return 0;
    std::string entry = text.substr(0, kLineMax);
    bool top = (r.flags & 0x20) != 0;
    CCtrl_Info* info = ui->Info(combo, false);
    if (!info || !info->list) {
        SendMessageA(combo, CB_INSERTSTRING, top ? 0 : static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(entry.c_str()));
        return 1;
    }
    {
        VmGuard guard;
        if (top) vm_insert_line(info->list, 0, entry.c_str(), static_cast<int>(entry.size()));
        else vm_append_line_ex(info->list, entry.c_str(), 0);
    }
    std::vector<std::string> lines;
    for (auto& l : ReadLines(info->list)) lines.push_back(l.first);
    info->min_width = ui->PopulateListFromStrings(combo, lines, top ? 0 : static_cast<int>(lines.size()) - 1);
    SetWindowTextA(combo, entry.c_str());
    return 1;
}

int Dlg_ListRemove(Dialog_UI* ui, const DlgRecord* record, HWND w, bool clear, VMB* buffer) {
    int kind = DlgKindOf(w);
    if (!ui || (kind != DLG_KIND_LISTBOX && kind != DLG_KIND_DROPLIST && kind != DLG_KIND_COMBO)) return 0;
    bool list = kind == DLG_KIND_LISTBOX;
    int sel = static_cast<int>(SendMessageA(w, list ? LB_GETCURSEL : CB_GETCURSEL, 0, 0));
    if (clear) {
        SendMessageA(w, list ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
        if (buffer) {
            VmGuard guard;
            vm_clear(buffer, 0);
        }
    } else if (sel >= 0) {
        SendMessageA(w, list ? LB_DELETESTRING : CB_DELETESTRING, static_cast<WPARAM>(sel), 0);
        if (buffer) {
            VmGuard guard;
            if (sel + 1 <= vm_last_ln(buffer)) vm_delete_lines(buffer, sel + 1, 1, 0);
        }
        int count = ListCount(w, list);
        if (count > 0) SendMessageA(w, list ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(std::min(sel, count - 1)), 0);
    }
    if (record) {
        ui->DlgApplyTable(DLG_SEC_ACTION, record->key);
        bool empty = ListCount(w, list) <= 0;
        HWND focus = empty && record->extra ? ui->Item(record->extra) : w;
        if (focus) PostMessageA(ui->hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
        PostMessageA(ui->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), list ? LBN_SELCHANGE : CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(w));
    }
    return 1;
}
