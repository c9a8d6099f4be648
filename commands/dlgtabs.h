#pragma once
// Tabbed dialogs: a sheet (a dialog holding the tab control 299) whose
// pages are child dialogs, each driven by an engine of its own. The pages
// come from the sheet's control table: every record of section 0x4000 with
// flag 16 is one; its control id is the page's template and the string whose
// text is the tab's "label<TAB>tip". Page-record flags: 32 the page may be
// activated, 64 reload its values whenever it becomes current, 128 leaving
// it validates silently and never keeps it.
#include <memory>
#include <vector>

#include "commands/dlgengine.h"
#include "tabs/qwtabs.h"

class CTab_Dlg;

class CTab_Page : public QWDialog {
public:
    CTab_Page(CTab_Dlg* sheet, int template_id, unsigned page_flags);
    CTab_Dlg* GetSheet() const { return sheet_; }
    unsigned page_flags() const { return page_flags_; }

protected:
    void OnOK() override;
    void OnCancel() override;

private:
    CTab_Dlg* sheet_;
    unsigned page_flags_;
};

class CTab_Dlg : public QWDialog, private QwTabsListener {
public:
    CTab_Dlg(int template_id, int table_id);
    ~CTab_Dlg() override;
    int initial_page = 0;
    int GetCurrentPage() const { return tabs_.Current(); }
    int PageCount() const { return static_cast<int>(pages_.size()); }
    CTab_Page* GetPageWnd(int n) const;
    // Engine of page n, the sheet's with -1.
    Dialog_UI* GetPageUI(int n) const;
    bool SelectPage(int n) { return tabs_.Select(n); }
    QwTabs& tabs() { return tabs_; }
    void SheetOK();
    void SheetCancel();

protected:
    bool OnInitDialog() override;
    void OnOK() override { SheetOK(); }
    void OnCancel() override { SheetCancel(); }
    bool OnCommand(WPARAM wp, LPARAM lp) override;
    bool OnNotify(WPARAM wp, LPARAM lp, LRESULT* result) override;
    bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

private:
    bool OnTabLeave(int tab) override;
    void OnTabCurrent(int tab) override;
    void ShowPage(int tab);
    QwTabs tabs_;
    std::vector<std::unique_ptr<CTab_Page>> pages_;
};

// The tab-sheet twin of dialog_manager_ex; *page gives the first page and
// receives the last one.
int Tab_dialog_manager_ex(int template_id, const intptr_t* values, const char* caption, DlgLineFormatter formatter,
                          unsigned flags, const char* const* labels, DlgString* strings, int command_id, int table_id,
                          const char* program, intptr_t program_arg, CDialogCallback* callback, K_cmd_params* params,
                          int* page);
