#pragma once
// Interim stand-in: joins the editor's document (CQWDoc) and text view
// (CQWTextView) to the framework's document, view and template, so that the
// framework's document manager opens files into document windows. The
// document-lifecycle work replaces both classes (and the document manager)
// with its own; the text template (131) is the only user, set up in
// CQWApp::InitInstance.
#include "editor/qwdoc.h"
#include "editor/textview.h"
#include "framework/fwdoc.h"
#include "framework/fwview.h"

class CQWShellDoc : public fw::Document {
    FW_DECLARE_DYNCREATE(CQWShellDoc)
public:
    CQWDoc& editor_doc() { return doc_; }
    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& path) override;
    bool OnSaveDocument(const std::string& path) override;
    bool IsModified() override { return doc_.IsModified() != 0; }
    void SetModifiedFlag(bool modified = true) override { doc_.SetModifiedFlag(modified ? 1 : 0); }
    // Reads the rest of the file a block at a time (the editor services'
    // document read thread takes this over when it is started).
    void OnIdle() override;

private:
    enum : uint32_t { kFirstLines = 500, kIdleLines = 20000 };
    CQWDoc doc_;
};

class CQWAppView : public fw::View {
    FW_DECLARE_DYNCREATE(CQWAppView)
public:
    ~CQWAppView() override;
    CQWTextView* text_view() const { return text_; }
    void OnInitialUpdate() override;
    void OnUpdate(fw::View* sender, LPARAM hint, fw::Object* obj) override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    TextViewSource Source();
    CQWTextView* text_ = nullptr;
};
