#include "framework/fwview.h"

#include "framework/fwdoc.h"
#include "framework/fwframe.h"
#include "framework/fwsplitter.h"

namespace fw {

FW_IMPLEMENT_DYNAMIC(View, Window)
FW_BEGIN_MESSAGE_MAP(View, Window)
    FW_ON_MESSAGE(WM_PAINT, OnPaint)
    FW_ON_MESSAGE(WM_MOUSEACTIVATE, OnMouseActivate)
    FW_ON_MESSAGE(WM_SETFOCUS, OnSetFocus)
    FW_ON_MESSAGE(WM_DESTROY, OnDestroy)
FW_END_MESSAGE_MAP()

namespace {
const char kViewClass[] = "QWFrameworkView";
} // namespace

View::View() = default;

View::~View() {
    if (document_) document_->RemoveView(this);
}

FrameWindow* View::GetParentFrame() const {
    return hwnd() ? GetParentFrameOf(::GetParent(hwnd())) : nullptr;
}

bool View::CreateView(HWND parent, UINT id, Document* doc, const RECT& rect, DWORD style) {
    if (!RegisterClass(kViewClass, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
                       reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)))
        return false;
    if (doc) doc->AddView(this);
    bool ok = Create(kViewClass, "", style | WS_CHILD, 0, rect.left, rect.top, rect.right - rect.left,
                     rect.bottom - rect.top, parent,
                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
    if (!ok && doc && document_ == doc) {
        // The view never came to be: the document must not keep it.
        bool keep = doc->auto_delete;
        doc->auto_delete = false;
        doc->RemoveView(this);
        doc->auto_delete = keep;
    }
    return ok;
}

void View::OnUpdate(View*, LPARAM, Object*) {
    if (hwnd()) Invalidate(true);
}

void View::OnActivateView(bool activate, View* activated, View*) {
    if (activate && activated == this && hwnd() && ::GetFocus() != hwnd()) ::SetFocus(hwnd());
}

HWND View::GetScrollBarCtrl(int bar) const {
    auto* splitter = DynamicDowncast<SplitterWindow>(FromHandlePermanent(::GetParent(hwnd())));
    return splitter ? splitter->GetScrollBarFor(this, bar) : nullptr;
}

bool View::OnCmdMsg(CommandCall& call) {
    if (DispatchCommand(call)) return true;
    return document_ && document_->OnCmdMsg(call);
}

bool View::PrintTo(DC& printer, PrintInfo& info, const char* doc_name) {
    if (!OnPreparePrinting(&info)) return false;
    DOCINFOA di{};
    di.cbSize = sizeof di;
    di.lpszDocName = doc_name;
    printer.set_printing(true);
    OnBeginPrinting(printer, &info);
    if (StartDocA(printer, &di) <= 0) {
        OnEndPrinting(printer, &info);
        return false;
    }
    info.draw_rect = Rect(0, 0, GetDeviceCaps(printer, HORZRES), GetDeviceCaps(printer, VERTRES));
    bool ok = true;
    for (info.current_page = info.min_page; info.current_page <= info.max_page; ++info.current_page) {
        OnPrepareDC(printer, &info);
        if (!info.continue_printing) break;
        if (StartPage(printer) <= 0) {
            ok = false;
            break;
        }
        OnPrint(printer, &info);
        if (EndPage(printer) <= 0) {
            ok = false;
            break;
        }
    }
    if (ok) EndDoc(printer);
    else AbortDoc(printer);
    OnEndPrinting(printer, &info);
    return ok;
}

LRESULT View::OnPaint(WPARAM, LPARAM) {
    PaintDC dc(hwnd());
    OnPrepareDC(dc, nullptr);
    OnDraw(dc);
    return 0;
}

LRESULT View::OnMouseActivate(WPARAM wp, LPARAM lp) {
    LRESULT r = DefaultProc(WM_MOUSEACTIVATE, wp, lp);
    if (r == MA_NOACTIVATE || r == MA_NOACTIVATEANDEAT) return r;
    FrameWindow* frame = GetParentFrame();
    if (frame) frame->SetActiveView(this);
    return r;
}

LRESULT View::OnSetFocus(WPARAM wp, LPARAM lp) {
    FrameWindow* frame = GetParentFrame();
    if (frame && frame->GetActiveView() != this) frame->SetActiveView(this, false);
    return DefaultProc(WM_SETFOCUS, wp, lp);
}

LRESULT View::OnDestroy(WPARAM wp, LPARAM lp) {
    // The frame must not keep pointing at a view that is going.
    FrameWindow* frame = GetParentFrame();
    if (frame && frame->GetActiveView() == this) frame->SetActiveView(nullptr, false);
    return DefaultProc(WM_DESTROY, wp, lp);
}

void View::PostNcDestroy() { delete this; }

} // namespace fw
