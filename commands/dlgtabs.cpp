// Tabbed dialogs over the tab layer and the dialog engine.
#include "commands/dlgtabs.h"

#include <commctrl.h>

#include "opsys/msgout.h"

bool DlgStartDialogThread(QWDialog* dialog, int template_id);

CTab_Page::CTab_Page(CTab_Dlg* sheet, int template_id, unsigned page_flags)
    : QWDialog(template_id, 0), sheet_(sheet), page_flags_(page_flags) {}

// The buttons of a page act for the sheet.
void CTab_Page::OnOK() { sheet_->SheetOK(); }
void CTab_Page::OnCancel() { sheet_->SheetCancel(); }

CTab_Dlg::CTab_Dlg(int template_id, int table_id) : QWDialog(template_id, table_id) {}

CTab_Dlg::~CTab_Dlg() = default;

CTab_Page* CTab_Dlg::GetPageWnd(int n) const {
    return n >= 0 && n < PageCount() ? pages_[static_cast<size_t>(n)].get() : nullptr;
}

Dialog_UI* CTab_Dlg::GetPageUI(int n) const {
    if (n == -1) return ui();
    CTab_Page* p = GetPageWnd(n);
    return p ? p->ui() : nullptr;
}

bool CTab_Dlg::OnInitDialog() {
    QWDialog::OnInitDialog();
    Dialog_UI* sheet = ui();
    tabs_.Attach(::GetDlgItem(hwnd(), 299), this);
    tabs_.SetRedraw(false);
    std::vector<DlgString> strings;
    for (int i = 0; sheet->string_value(i).text; ++i) strings.push_back(sheet->string_value(i));
    strings.push_back({nullptr, 0});
    intptr_t values[10];
    for (int i = 0; i < 10; ++i) values[i] = sheet->value(i);
    unsigned page_flags = (sheet->flags() | DLG_F_SIZE_ONLY) & ~DLG_F_KEEP_PLACEMENT & ~DLG_F_MODELESS;
    RECT area{};
    for (const DlgRecord& r : sheet->table().records()) {
        if (r.section != DLG_SEC_TAB_SHEET || !(r.flags & 16)) continue;
        char label[512] = "";
        LoadStringA(GetModuleHandleA(nullptr), r.control, label, sizeof label);  // none: an empty label
        if (tabs_.AddTab(label) < 0) continue;
        if (pages_.empty()) area = tabs_.PageArea();
        auto page = std::make_unique<CTab_Page>(this, r.control, r.flags);
        page->ui()->Init(sheet->command_id(), page_flags, nullptr, nullptr, strings.data(), values, nullptr, nullptr, 0,
                         nullptr);
        page->ui()->ShareCallback(sheet->callback());
        if (!page->CreateModeless(hwnd())) {
            MsgOut(QW_MSG_LOG, "KV: CTab_Dlg: page %d could not be created", r.control);
        } else {
            ::SetWindowPos(page->hwnd(), HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                           SWP_HIDEWINDOW | SWP_NOACTIVATE);
        }
        pages_.push_back(std::move(page));
    }
    tabs_.SetRedraw(true);
    int first = initial_page >= 0 && initial_page < PageCount() ? initial_page : 0;
    if (PageCount()) {
        ::SendMessageA(tabs_.hwnd(), TCM_SETCURSEL, static_cast<WPARAM>(first), 0);
        ShowPage(first);
    }
    return true;
}

void CTab_Dlg::ShowPage(int tab) {
    for (int i = 0; i < PageCount(); ++i)
        if (HWND w = pages_[static_cast<size_t>(i)]->hwnd()) ::ShowWindow(w, i == tab ? SW_SHOW : SW_HIDE);
}

bool CTab_Dlg::OnTabLeave(int tab) {
    CTab_Page* p = GetPageWnd(tab);
    if (!p || !p->hwnd()) return true;
    ui()->Call_Attached_Cexe(8, DLG_EV_STATE);
    bool silent = (p->page_flags() & 128) != 0;
    return p->ui()->ValidateAll(silent) || silent;
}

void CTab_Dlg::OnTabCurrent(int tab) {
    CTab_Page* p = GetPageWnd(tab);
    if (!p) return;
    if (p->page_flags() & 64) {
        p->ui()->DlgApplyTable(DLG_SEC_VALUE);
        p->ui()->DlgApplyTable(DLG_SEC_ENABLE);
    }
    ShowPage(tab);
    ui()->Call_Attached_Cexe(9, DLG_EV_STATE);
}

void CTab_Dlg::SheetOK() {
    int current = GetCurrentPage();
    CTab_Page* p = GetPageWnd(current);
    if (!ui()->ValidateAll() || (p && p->hwnd() && !p->ui()->ValidateAll())) return;
    for (auto& page : pages_) {
        if (!page->hwnd()) continue;
        page->ui()->SetState(DLG_ST_CONFIRMED | DLG_ST_ENDING, true);
        page->ui()->StoreAll();
    }
    ui()->SetState(DLG_ST_CONFIRMED | DLG_ST_ENDING, true);
    ui()->StoreAll();
    initial_page = current;
    if (modeless) CUIThreads::Get().EndThreadOf(hwnd());
    EndDialog(IDOK);
}

void CTab_Dlg::SheetCancel() {
    for (auto& page : pages_) page->ui()->SetState(DLG_ST_ENDING, true);
    ui()->SetState(DLG_ST_ENDING, true);
    initial_page = GetCurrentPage();
    if (modeless) CUIThreads::Get().EndThreadOf(hwnd());
    EndDialog(IDCANCEL);
}

bool CTab_Dlg::OnCommand(WPARAM wp, LPARAM lp) {
    if (LOWORD(wp) == IDOK && !::GetDlgItem(hwnd(), IDOK)) {
        // The sheet has no OK: the current page's default push button takes it.
        auto default_button = [](HWND dlg) -> HWND {
            for (HWND w = ::GetWindow(dlg, GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT))
                if ((::GetWindowLongA(w, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON) return w;
            return nullptr;
        };
        CTab_Page* p = GetPageWnd(GetCurrentPage());
        HWND def = default_button(hwnd());
        if (!def && p && p->hwnd()) def = default_button(p->hwnd());
        if (!def) {
            MsgOut(QW_MSG_BOX, "KV: No Default Pushbutton found on Dialog Sheet or Current Page!!");
            return true;
        }
        ::SendMessageA(::GetParent(def), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(def), BN_CLICKED),
                       reinterpret_cast<LPARAM>(def));
        return true;
    }
    return QWDialog::OnCommand(wp, lp);
}

bool CTab_Dlg::OnNotify(WPARAM wp, LPARAM lp, LRESULT* result) {
    if (tabs_.HandleNotify(reinterpret_cast<NMHDR*>(lp), result)) return true;
    return QWDialog::OnNotify(wp, lp, result);
}

bool CTab_Dlg::OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    if (msg == UWM_DLG_SELECT_PAGE) {
        *result = SelectPage(static_cast<int>(wp));
        return true;
    }
    if (msg == WM_DESTROY) {
        initial_page = GetCurrentPage();
        ui()->Call_Attached_Cexe(10, DLG_EV_STATE);
    }
    return QWDialog::OnWndMsg(msg, wp, lp, result);
}

int Tab_dialog_manager_ex(int template_id, const intptr_t* values, const char* caption, DlgLineFormatter formatter,
                          unsigned flags, const char* const* labels, DlgString* strings, int command_id, int table_id,
                          const char* program, intptr_t program_arg, CDialogCallback* callback, K_cmd_params* params,
                          int* page) {
    if (DlgCheckCommandList(nullptr, flags, strings, params) == 1) {
        delete callback;
        return 1;
    }
    auto make = [&](CTab_Dlg* dlg) {
        dlg->initial_page = page ? *page : 0;
        dlg->ui()->Init(command_id, flags, caption, labels, strings, values, formatter, program, program_arg, callback);
    };
    if (flags & DLG_F_MODELESS) {
        auto* dlg = new CTab_Dlg(template_id, table_id);
        make(dlg);
        if (!DlgStartDialogThread(dlg, template_id)) {
            delete dlg;
            return -1;
        }
        return 1;
    }
    HWND focus = GetFocus();
    INT_PTR result;
    {
        CTab_Dlg dlg(template_id, table_id);
        make(&dlg);
        result = dlg.DoModal();
        if (page) *page = dlg.initial_page;
    }
    MsgOut(QW_MSG_STATUS, nullptr);
    if (focus && IsWindow(focus) && GetFocus() != focus) SetFocus(focus);
    return static_cast<int>(result);
}
