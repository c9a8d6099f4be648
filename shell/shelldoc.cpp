#include "shell/shelldoc.h"

#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"

FW_IMPLEMENT_DYNCREATE(CQWShellDoc, fw::Document)
FW_IMPLEMENT_DYNCREATE(CQWAppView, fw::View)

bool CQWShellDoc::OnNewDocument() {
    if (!fw::Document::OnNewDocument()) return false;
    return doc_.OnNewDocument() != 0;
}

bool CQWShellDoc::OnOpenDocument(const std::string& path) {
    if (!doc_.OnOpenDocument(path.c_str())) return false;
    doc_.SetModifiedFlag(0);
    // The first screens now; the rest of the file in idle time.
    if (VMB* b = doc_.GetBuffer()) vm_read_lines(b, kFirstLines);
    return true;
}

void CQWShellDoc::OnIdle() {
    doc_.OnIdle();
    VMB* b = doc_.GetBuffer();
    if (!b || vm_is_fully_read(b)) return;
    vm_read_lines(b, uint32_t(vm_line_count(b)) + kIdleLines);
    UpdateAllViews(nullptr, QW_HINT_REPAINT);
}

bool CQWShellDoc::OnSaveDocument(const std::string& path) {
    VMB* b = doc_.GetBuffer();
    if (!b) return false;
    uint32_t rc = vmb_save(path.c_str(), nullptr, nullptr, b, 1, 0, vm_line_count(b), -1,
                           VMB_SAVE_ALL | VMB_SAVE_TEMP_NAME);
    if (rc & 0xFFF0u) return false;
    doc_.SetModifiedFlag(0);
    return true;
}

CQWAppView::~CQWAppView() { delete text_; }

TextViewSource CQWAppView::Source() {
    TextViewSource s;
    auto* d = static_cast<CQWShellDoc*>(GetDocument());
    if (!d) return s;
    CQWDoc& doc = d->editor_doc();
    s.buffer = doc.GetBuffer();
    s.tab_width = doc.GetTabWidth();
    s.lang = doc.GetLanguage();
    s.colouring = s.lang >= 0;
    return s;
}

void CQWAppView::OnInitialUpdate() {
    if (text_) return;
    text_ = new CQWTextView;
    RECT rc = GetClientRect();
    TextViewSource src = Source();
    if (!text_->CreateView(hwnd(), rc, src)) {
        delete text_;
        text_ = nullptr;
    }
}

void CQWAppView::OnUpdate(fw::View*, LPARAM, fw::Object*) {
    if (!text_) return;
    text_->SetSource(Source());
    text_->Invalidate(false);
}

LRESULT CQWAppView::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:
        if (text_ && text_->hwnd()) MoveWindow(text_->hwnd(), 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        break;
    case WM_SETFOCUS:
        if (text_ && text_->hwnd()) ::SetFocus(text_->hwnd());
        return 0;
    case WM_ERASEBKGND:
        return 1;
    }
    return fw::View::WindowProc(msg, wp, lp);
}
