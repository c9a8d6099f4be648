#pragma once
// The application's document manager: every way of opening a file ends
// here. It finds an already open copy of a file and asks what to do with
// it, and carries out opens that worker threads request.
//
// The shell's entry for command-line files and any caller that wants "open
// this file, in a window": VwFileOpenEx (any thread).
#include <cstdint>
#include <string>

#include "framework/fwdoc.h"

class CQWDoc;
namespace fw { class View; }

enum : uint32_t {
    DOC_OPEN_ACTIVATE_OPEN = 0x400000,  // already open: only activate it
    DOC_OPEN_ATTACH = 0x800000,         // already open: another window, no question
    DOC_OPEN_KEEP_CARET = 0x1000000,
    DOC_OPEN_RESOLVED = 0x4000000,      // the name is resolved already (worker requests)
};
enum : unsigned {
    WM_QW_WORKER_OPEN = 0x46E,          // wParam: request id; carried out on the UI thread
};

class CMultiOpenDocManager : public fw::DocManager {
public:
    fw::Document* OpenDocumentFile(const std::string& path) override;
    void OnFileNew() override;
    CQWDoc* OpenDocumentFileEx(const char* path, int make_visible);
    // SetModifiedFlag(false) on every document.
    void ClearAllModified();
};

// op 1 makes the manager the application's (returns it); any other op
// puts the framework's plain manager back.
CMultiOpenDocManager* CreateDocManager(int op);

// The editor's text template (resource id DOC_TEMPLATE_TEXT) of the running
// application, or null before it is registered.
fw::MultiDocTemplate* EditorTextTemplate();

// The document open for `path` (or null); the full path, the text template
// and the view showing it when asked.
CQWDoc* MatchOpenDocument(const char* path, std::string* full_out, fw::MultiDocTemplate** template_out,
                          fw::View** view_out, int resolve);

// Opens a file in a window and returns the view that shows it, or null.
// From another thread the file is read there into a buffer and the UI
// thread is asked to make the document; the caller waits at most the
// worker time-out (60000 ms), and a request that timed out is withdrawn:
// it is never carried out later.
fw::View* VwFileOpenEx(const char* path, uint32_t mode, int flags);
// The main frame's handler of WM_QW_WORKER_OPEN.
void DoWorkerOpenRequest(uintptr_t request_id);
// Tests shorten the worker's wait.
void SetWorkerOpenTimeout(unsigned ms);

// Opens two files for the command line's comparison request (on the UI
// thread at once, else posted as 0x465 with wParam 2).
int RequestOpenFile(const char* path, const char* second, uint32_t flags);
int DoOpenFileRequest(void* record);

// The services the manager needs from the main frame and the views.
struct DocManagerHooks {
    void (*activate_view)(fw::View* view);               // bring its frame to the front
    int (*open_new_window)(fw::View* view);              // attach: another frame on the document
    void (*compare_views)(fw::View* a, fw::View* b, uint32_t flags);
};
void SetDocManagerHooks(const DocManagerHooks* hooks);
