#pragma once
// Interim stand-in for what the document-lifecycle work brings: the editor
// document as the text template's document, with the two duties it does not
// have yet. It saves through the engine (the framework's own save would
// write the document's archive form, which the editor document has not),
// and it reads the rest of a file a block at a time in idle time (the
// editor services' document read thread takes this over). The text template
// (131) uses it, set up in CQWApp::InitInstance.
#include "editor/qwdoc.h"

class CQWShellDoc : public CQWDoc {
    FW_DECLARE_DYNCREATE(CQWShellDoc)
public:
    CQWDoc& editor_doc() { return *this; }
    bool OnOpenDocument(const std::string& path) override;
    bool OnSaveDocument(const std::string& path) override;
    void OnIdle() override;

private:
    enum : uint32_t { kFirstLines = 500, kIdleLines = 20000 };
};
