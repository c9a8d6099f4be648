#pragma once
// Documents, the multi-document template and the document manager.
//
// A document holds the data of one file and the list of views that show it.
// A template ties a document class, a child-frame class and a view class to
// a resource id: string `id` holds "\n"-separated fields (window title,
// document name, new-file name, filter name, filter extension, file-type id,
// file-type name), menu and accelerators `id` are shared by all its frames.
//
//   auto* tpl = new fw::MultiDocTemplate(131, FW_RUNTIME_CLASS(CQWDoc),
//       FW_RUNTIME_CLASS(CChildFrame), FW_RUNTIME_CLASS(CQWAppView));
//   app.AddDocTemplate(tpl);                 // the manager owns it
//   fw::Document* doc = tpl->OpenDocumentFile("C:\\a.txt");   // or nullptr: new
//
// Opening makes the document, a frame (under the application's main MDI
// frame) and the view, then sends the view its initial update. Closing the
// last frame of a document closes the document. The document manager is
// replaceable (Application::SetDocManager); it prompts for file names and
// finds documents that are already open. Command routing: a view passes
// commands to its document, the document to its template.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/fwexport.h"
#include "framework/fwmsgmap.h"

namespace fw {

class Archive;
class FrameWindow;
class MultiDocTemplate;
class View;

class QWFW_API Document : public CommandTarget {
    FW_DECLARE_DYNCREATE(Document)
public:
    Document();
    ~Document() override;

    const std::string& GetTitle() const { return title_; }
    virtual void SetTitle(const std::string& title);
    const std::string& GetPathName() const { return path_; }
    // Sets the path and the title (the path's file name); adds it to the
    // application's recent-file list when asked.
    virtual void SetPathName(const std::string& path, bool add_to_recent = true);

    virtual bool IsModified() { return modified_; }
    virtual void SetModifiedFlag(bool modified = true) { modified_ = modified; }

    MultiDocTemplate* GetDocTemplate() const { return template_; }
    const std::vector<View*>& views() const { return views_; }
    void AddView(View* view);
    void RemoveView(View* view);
    // Calls OnUpdate of every view but `sender`.
    void UpdateAllViews(View* sender, LPARAM hint = 0, Object* hint_object = nullptr);
    // Refreshes the titles of the frames that show this document.
    virtual void UpdateFrameCounts();

    // Life cycle, called by the template and the commands.
    virtual bool OnNewDocument();
    // Reads the file through an archive (Serialize); reports failures.
    virtual bool OnOpenDocument(const std::string& path);
    // Writes through an archive into a new file that replaces the old one
    // only when complete; reports failures.
    virtual bool OnSaveDocument(const std::string& path);
    // Closes every frame of the document, then the document.
    virtual void OnCloseDocument();
    virtual void DeleteContents() {}
    virtual void Serialize(Archive& ar) { (void)ar; }
    // Asks to save a modified document: Yes saves, No discards, Cancel
    // (false) keeps it open.
    virtual bool SaveModified();
    // Whether `frame` may close: the last frame of a document asks SaveModified.
    virtual bool CanCloseFrame(FrameWindow* frame);
    virtual void PreCloseFrame(FrameWindow* frame) { (void)frame; }
    // Save (replace = true) or save-as; an empty path asks for one.
    virtual bool DoSave(const std::string& path, bool replace = true);
    virtual bool DoFileSave();
    virtual void OnChangedViewList();
    // Idle time, once per idle pass.
    virtual void OnIdle() {}

    bool OnCmdMsg(CommandCall& call) override;

    bool auto_delete = true;
    bool embedded = false;

private:
    friend class MultiDocTemplate;
    std::string title_, path_;
    bool modified_ = false;
    MultiDocTemplate* template_ = nullptr;
    std::vector<View*> views_;
};

// Field indexes of the template string.
enum DocStringIndex {
    kWindowTitle = 0,
    kDocName,
    kFileNewName,
    kFilterName,
    kFilterExt,
    kRegFileTypeId,
    kRegFileTypeName,
};

class QWFW_API MultiDocTemplate : public CommandTarget {
    FW_DECLARE_DYNAMIC(MultiDocTemplate)
public:
    MultiDocTemplate(UINT resource_id, const RuntimeClass* doc_class,
                     const RuntimeClass* frame_class, const RuntimeClass* view_class);
    ~MultiDocTemplate() override;

    UINT resource_id() const { return resource_id_; }
    // Loads the string, menu and accelerators from `instance` (the program's
    // module by default). False when the string is missing.
    virtual bool LoadTemplate(HINSTANCE instance = nullptr);
    bool loaded() const { return loaded_; }
    std::string GetDocString(DocStringIndex index) const;

    HMENU menu() const { return menu_; }
    HACCEL accelerators() const { return accel_; }
    // Replaces the shared menu (destroying the old one unless it is `menu`).
    void SetSharedMenu(HMENU menu, HACCEL accel = nullptr);

    const std::vector<Document*>& documents() const { return docs_; }
    void AddDocument(Document* doc);
    void RemoveDocument(Document* doc);

    // A new document (path null or empty) or the document of a file, with a
    // frame and a view. Null on failure, with the failure reported.
    virtual Document* OpenDocumentFile(const char* path, bool make_visible = true);
    virtual Document* CreateNewDocument();
    // A frame for `doc` (made from the frame class, loaded from the
    // template's resources under the main window). Null on failure.
    virtual FrameWindow* CreateNewFrame(Document* doc, FrameWindow* other);
    virtual void InitialUpdateFrame(FrameWindow* frame, Document* doc, bool make_visible = true);
    virtual void SetDefaultTitle(Document* doc);
    // How well this template fits a path: 0 no, 1 maybe, 2 by extension,
    // 3 the document is open already (then *open is it).
    virtual int MatchDocType(const std::string& path, Document** open) const;
    virtual bool SaveAllModified();
    virtual void CloseAllDocuments(bool end_session);
    // Gives idle time to every document.
    virtual void OnIdle();

    const RuntimeClass* doc_class() const { return doc_class_; }
    const RuntimeClass* frame_class() const { return frame_class_; }
    const RuntimeClass* view_class() const { return view_class_; }

private:
    UINT resource_id_;
    const RuntimeClass* doc_class_;
    const RuntimeClass* frame_class_;
    const RuntimeClass* view_class_;
    bool loaded_ = false;
    std::string doc_string_;
    HMENU menu_ = nullptr;
    HACCEL accel_ = nullptr;
    UINT untitled_count_ = 0;
    std::vector<Document*> docs_;
};

// Owns the templates; opens, saves and closes documents across them.
class QWFW_API DocManager {
public:
    DocManager();
    virtual ~DocManager();
    DocManager(const DocManager&) = delete;
    DocManager& operator=(const DocManager&) = delete;

    virtual void AddDocTemplate(MultiDocTemplate* tpl);
    const std::vector<std::unique_ptr<MultiDocTemplate>>& templates() const { return templates_; }

    // Opens a file with the template that fits it best; a document already
    // open is activated and returned instead.
    virtual Document* OpenDocumentFile(const std::string& path);
    virtual void OnFileNew();
    virtual void OnFileOpen();
    // Asks for a file name (the common dialogs by default). False on cancel.
    virtual bool DoPromptFileName(std::string& path, const std::string& title, DWORD flags,
                                  bool open, MultiDocTemplate* tpl);
    virtual bool SaveAllModified();
    virtual void CloseAllDocuments(bool end_session);
    size_t GetOpenDocumentCount() const;
    // Idle time for every document of every template.
    virtual void OnIdle();

private:
    std::vector<std::unique_ptr<MultiDocTemplate>> templates_;
};

} // namespace fw
