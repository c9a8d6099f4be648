#pragma once
// The view: a child window that shows a document inside a frame.
//
//   class CQWTextView : public fw::View {
//       FW_DECLARE_DYNCREATE(CQWTextView)
//       void OnDraw(fw::DC& dc) override;
//       void OnUpdate(fw::View* sender, LPARAM hint, fw::Object* obj) override;
//   };
//
// Views are made by templates (by class) or by splitters, belong to one
// document, and delete themselves when their window goes. WM_PAINT runs
// OnPrepareDC then OnDraw; printing runs the OnPreparePrinting ...
// OnEndPrinting hooks with a printer DC and OnPrint (OnDraw by default).
// Commands the view does not handle go on to its document.
#include <windows.h>

#include "framework/fwexport.h"
#include "framework/fwgdi.h"
#include "framework/fwwnd.h"

namespace fw {

class Document;
class FrameWindow;

// Commands the view base handles (the system's numbers).
enum : UINT {
    kIdFilePrint = 57607,
    kIdFilePrintDirect = 57608,
    kIdFilePrintPreview = 57609,
};

// What a print job knows about itself, handed to the printing hooks.
struct PrintInfo {
    bool direct = false;          // no print dialog
    bool preview = false;
    bool continue_printing = true;
    UINT min_page = 1, max_page = 0xFFFF;
    UINT current_page = 1;
    Rect draw_rect;               // the page's printable area
    void* user_data = nullptr;
};

class QWFW_API View : public Window {
    FW_DECLARE_DYNAMIC(View)
    FW_DECLARE_MESSAGE_MAP()
public:
    View();
    ~View() override;

    Document* GetDocument() const { return document_; }
    // The frame that holds this view (through splitters), or null.
    FrameWindow* GetParentFrame() const;

    // Creates the view window as a child with the given id; the view joins
    // `doc` (which may be null).
    virtual bool CreateView(HWND parent, UINT id, Document* doc, const RECT& rect,
                            DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER);

    virtual void OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }
    // The default repaints the whole view.
    virtual void OnUpdate(View* sender, LPARAM hint, Object* hint_object);
    virtual void OnDraw(DC& dc) { (void)dc; }
    virtual void OnPrepareDC(DC& dc, PrintInfo* info) { (void)dc; (void)info; }
    virtual void OnActivateView(bool activate, View* activated, View* deactivated);
    virtual void OnActivateFrame(UINT state, FrameWindow* frame) { (void)state; (void)frame; }

    // Printing hooks, in the order a job calls them.
    virtual bool OnPreparePrinting(PrintInfo* info) { (void)info; return true; }
    virtual void OnBeginPrinting(DC& dc, PrintInfo* info) { (void)dc; (void)info; }
    virtual void OnPrint(DC& dc, PrintInfo* info) { (void)info; OnDraw(dc); }
    virtual void OnEndPrinting(DC& dc, PrintInfo* info) { (void)dc; (void)info; }
    // Runs a print job on `printer` (a printer DC): pages min..max while
    // the hooks let it continue. False when the job could not start.
    bool PrintTo(DC& printer, PrintInfo& info, const char* doc_name);

    // The scroll bar a view scrolls with: the splitter's shared one for its
    // row or column when it is a pane, else null (its own).
    virtual HWND GetScrollBarCtrl(int bar) const;

    bool OnCmdMsg(CommandCall& call) override;

protected:
    void PostNcDestroy() override;

private:
    friend class Document;
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnMouseActivate(WPARAM, LPARAM);
    LRESULT OnSetFocus(WPARAM, LPARAM);
    LRESULT OnDestroy(WPARAM, LPARAM);
    Document* document_ = nullptr;
};

} // namespace fw
