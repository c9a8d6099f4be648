#include "framework/fwdoc.h"

#include <commdlg.h>

#include <algorithm>

#include "framework/fwapp.h"
#include "framework/fwarchive.h"
#include "framework/fwfile.h"
#include "framework/fwframe.h"
#include "framework/fwmsgbox.h"
#include "framework/fwview.h"

namespace fw {

namespace {
constexpr unsigned kIdsSaveChanges = 61701;
constexpr unsigned kIdsUntitled = 61702;
constexpr unsigned kIdsCreateFailed = 61703;

std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionOf(const std::string& path) {
    std::string name = FileNameOf(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

// Runs the document's Serialize through an archive on `file`; a failure is
// reported with `prompt` when it has no text of its own.
bool SerializeThrough(Document& doc, File& file, Archive::Mode mode, unsigned prompt) {
    try {
        Archive ar(file, mode);
        doc.Serialize(ar);
        ar.Close();
        return true;
    } catch (const Exception& e) {
        e.ReportError(0, prompt);
        return false;
    }
}

MDIFrameWindow* MainMDIFrame() {
    Thread* t = Thread::Current();
    Application* app = Application::Current();
    HWND main = t && t->main_window() ? t->main_window() : app ? app->main_window() : nullptr;
    return DynamicDowncast<MDIFrameWindow>(Window::FromHandlePermanent(main));
}
} // namespace

// ---- Document ----

FW_IMPLEMENT_DYNCREATE(Document, CommandTarget)

Document::Document() = default;

Document::~Document() {
    // Views that outlive their document must not reach it.
    for (View* v : views_) v->document_ = nullptr;
    if (template_) template_->RemoveDocument(this);
}

void Document::SetTitle(const std::string& title) {
    title_ = title;
    UpdateFrameCounts();
}

void Document::SetPathName(const std::string& path, bool add_to_recent) {
    char full[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    path_ = (n > 0 && n < sizeof full) ? std::string(full, n) : path;
    SetTitle(FileNameOf(path_));
    if (add_to_recent && Application::Current()) Application::Current()->AddToRecentFileList(path_);
}

void Document::AddView(View* view) {
    if (!view || view->document_ == this) return;
    if (view->document_) view->document_->RemoveView(view);
    views_.push_back(view);
    view->document_ = this;
    OnChangedViewList();
}

void Document::RemoveView(View* view) {
    auto it = std::find(views_.begin(), views_.end(), view);
    if (it == views_.end()) return;
    views_.erase(it);
    view->document_ = nullptr;
    OnChangedViewList();
}

void Document::OnChangedViewList() {
    // A document nobody shows any more goes, unless it is kept on purpose.
    if (views_.empty() && auto_delete) {
        OnCloseDocument();
        return;
    }
    UpdateFrameCounts();
}

void Document::UpdateAllViews(View* sender, LPARAM hint, Object* hint_object) {
    // A view may close the document's other views in its update: walk a copy.
    std::vector<View*> copy = views_;
    for (View* v : copy)
        if (v != sender && std::find(views_.begin(), views_.end(), v) != views_.end())
            v->OnUpdate(sender, hint, hint_object);
}

void Document::UpdateFrameCounts() {
    // Number the frames when the document shows in more than one.
    std::vector<FrameWindow*> frames;
    for (View* v : views_) {
        FrameWindow* f = v->GetParentFrame();
        if (f && std::find(frames.begin(), frames.end(), f) == frames.end()) frames.push_back(f);
    }
    int n = 1;
    for (FrameWindow* f : frames) {
        f->set_window_number(frames.size() > 1 ? n++ : 0);
        f->OnUpdateFrameTitle(true);
    }
}

bool Document::OnNewDocument() {
    DeleteContents();
    path_.clear();
    SetModifiedFlag(false);
    return true;
}

bool Document::OnOpenDocument(const std::string& path) {
    File file;
    FileException error;
    if (!file.Open(path, File::kRead | File::kShareDenyWrite, &error)) {
        error.ReportError(0, kIdsFailedToOpenDocument);
        return false;
    }
    DeleteContents();
    if (!SerializeThrough(*this, file, Archive::kLoad, kIdsFailedToOpenDocument)) {
        DeleteContents();
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool Document::OnSaveDocument(const std::string& path) {
    MemFile mem(65536);
    if (!SerializeThrough(*this, mem, Archive::kStore, kIdsFailedToSaveDocument)) return false;
    // The new contents go to a file beside the target, which replaces the
    // target only when it is complete: a failed save leaves the old file.
    std::string temp = path + ".~qw";
    {
        File out;
        FileException error;
        if (!out.Open(temp, File::kCreate | File::kWrite | File::kShareExclusive, &error)) {
            error.file_name = path;
            error.ReportError(0, kIdsFailedToSaveDocument);
            return false;
        }
        try {
            std::vector<uint8_t> bytes = mem.Detach();
            out.Write(bytes.data(), bytes.size());
            out.Flush();
            out.Close();
        } catch (FileException& e) {
            out.Abort();
            DeleteFileA(temp.c_str());
            e.file_name = path;
            e.ReportError(0, kIdsFailedToSaveDocument);
            return false;
        }
    }
    if (!MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        long err = static_cast<long>(GetLastError());
        DeleteFileA(temp.c_str());
        FileException(FileException::CauseFromOsError(err), err, path).ReportError(0, kIdsFailedToSaveDocument);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

void Document::OnCloseDocument() {
    // Closing frames removes views, which must not close the document again.
    bool keep = auto_delete;
    auto_delete = false;
    while (!views_.empty()) {
        View* v = views_.front();
        FrameWindow* f = v->GetParentFrame();
        if (f && f->hwnd()) {
            PreCloseFrame(f);
            f->DestroyWindow();
        } else {
            RemoveView(v);
        }
        // A frame that did not take the view with it: drop it ourselves.
        if (!views_.empty() && views_.front() == v) RemoveView(v);
    }
    auto_delete = keep;
    DeleteContents();
    if (auto_delete) delete this;
}

bool Document::SaveModified() {
    if (!IsModified()) return true;
    std::string name = path_.empty() ? title_ : FileNameOf(path_);
    if (name.empty()) name = LoadFrameworkString(kIdsUntitled);
    std::string text = FormatOne(LoadFrameworkString(kIdsSaveChanges), name);
    switch (ShowMessageBox(text, MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDCANCEL:
        return false;
    case IDYES:
        return DoFileSave();
    default:
        return true;
    }
}

bool Document::CanCloseFrame(FrameWindow* frame) {
    // Another frame still shows the document: this one may go freely.
    for (View* v : views_) {
        FrameWindow* f = v->GetParentFrame();
        if (f && f != frame) return true;
    }
    return SaveModified();
}

bool Document::DoFileSave() {
    DWORD attrs = path_.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path_.c_str());
    // A read-only or missing target asks for a new name.
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY)) return DoSave({}, true);
    return DoSave(path_, true);
}

bool Document::DoSave(const std::string& path, bool replace) {
    std::string target = path;
    if (target.empty()) {
        target = path_.empty() ? title_ : path_;
        Application* app = Application::Current();
        if (!app || !app->doc_manager()->DoPromptFileName(target, "Save As",
                                                          OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                                                          false, template_))
            return false;
    }
    if (!OnSaveDocument(target)) return false;
    if (replace) SetPathName(target);
    return true;
}

bool Document::OnCmdMsg(CommandCall& call) {
    if (DispatchCommand(call)) return true;
    return template_ && template_->OnCmdMsg(call);
}

// ---- MultiDocTemplate ----

FW_IMPLEMENT_DYNAMIC(MultiDocTemplate, CommandTarget)

MultiDocTemplate::MultiDocTemplate(UINT id, const RuntimeClass* doc_class,
                                   const RuntimeClass* frame_class, const RuntimeClass* view_class)
    : resource_id_(id), doc_class_(doc_class), frame_class_(frame_class), view_class_(view_class) {}

MultiDocTemplate::~MultiDocTemplate() {
    // Documents still open belong to no template any more.
    for (Document* d : docs_) d->template_ = nullptr;
    if (menu_) DestroyMenu(menu_);
    if (accel_) DestroyAcceleratorTable(accel_);
}

bool MultiDocTemplate::LoadTemplate(HINSTANCE instance) {
    if (!instance) instance = GetModuleHandleA(nullptr);
    char buf[1024];
    int n = LoadStringA(instance, resource_id_, buf, sizeof buf);
    loaded_ = n > 0;
    doc_string_ = loaded_ ? std::string(buf, static_cast<size_t>(n)) : std::string();
    if (!menu_) menu_ = LoadMenuA(instance, MAKEINTRESOURCEA(resource_id_));
    if (!accel_) accel_ = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(resource_id_));
    return loaded_;
}

std::string MultiDocTemplate::GetDocString(DocStringIndex index) const {
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        size_t nl = doc_string_.find('\n', start);
        if (nl == std::string::npos) return {};
        start = nl + 1;
    }
    size_t end = doc_string_.find('\n', start);
    return doc_string_.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void MultiDocTemplate::SetSharedMenu(HMENU menu, HACCEL accel) {
    if (menu_ && menu_ != menu) DestroyMenu(menu_);
    menu_ = menu;
    if (accel) {
        if (accel_ && accel_ != accel) DestroyAcceleratorTable(accel_);
        accel_ = accel;
    }
}

void MultiDocTemplate::AddDocument(Document* doc) {
    if (!doc || doc->template_ == this) return;
    docs_.push_back(doc);
    doc->template_ = this;
}

void MultiDocTemplate::RemoveDocument(Document* doc) {
    auto it = std::find(docs_.begin(), docs_.end(), doc);
    if (it == docs_.end()) return;
    docs_.erase(it);
    doc->template_ = nullptr;
}

Document* MultiDocTemplate::CreateNewDocument() {
    Document* doc = DynamicDowncast<Document>(doc_class_ ? doc_class_->CreateObject() : nullptr);
    if (doc) AddDocument(doc);
    return doc;
}

FrameWindow* MultiDocTemplate::CreateNewFrame(Document* doc, FrameWindow* other) {
    Object* obj = frame_class_ ? frame_class_->CreateObject() : nullptr;
    FrameWindow* frame = DynamicDowncast<FrameWindow>(obj);
    if (!frame) {
        delete obj;
        return nullptr;
    }
    CreateContext ctx;
    ctx.current_frame = other;
    ctx.current_doc = doc;
    ctx.new_view_class = view_class_;
    ctx.new_doc_template = this;
    MDIFrameWindow* main = MainMDIFrame();
    bool ok;
    if (auto* child = DynamicDowncast<MDIChildWindow>(frame)) {
        child->shared_menu = menu_;
        child->shared_accel = accel_;
        ok = main && child->LoadFrame(resource_id_, WS_CHILD | WS_OVERLAPPEDWINDOW | kAddToTitle,
                                      main->hwnd(), &ctx);
    } else {
        ok = frame->LoadFrame(resource_id_, WS_OVERLAPPEDWINDOW | kAddToTitle,
                              main ? main->hwnd() : nullptr, &ctx);
    }
    // A frame whose window failed has deleted itself (or never had one).
    if (!ok) {
        if (!frame->hwnd()) delete frame;
        return nullptr;
    }
    return frame;
}

void MultiDocTemplate::InitialUpdateFrame(FrameWindow* frame, Document* doc, bool make_visible) {
    frame->InitialUpdateFrame(doc, make_visible);
}

void MultiDocTemplate::SetDefaultTitle(Document* doc) {
    std::string name = GetDocString(kDocName);
    if (name.empty()) name = LoadFrameworkString(kIdsUntitled);
    doc->SetTitle(name + std::to_string(++untitled_count_));
}

int MultiDocTemplate::MatchDocType(const std::string& path, Document** open) const {
    *open = nullptr;
    for (Document* d : docs_) {
        if (!d->GetPathName().empty() && lstrcmpiA(d->GetPathName().c_str(), path.c_str()) == 0) {
            *open = d;
            return 3;
        }
    }
    std::string filter = GetDocString(kFilterExt);
    std::string ext = ExtensionOf(path);
    // The filter may list several extensions separated by ";".
    size_t start = 0;
    while (!ext.empty() && start <= filter.size()) {
        size_t end = filter.find(';', start);
        std::string one = filter.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!one.empty() && one[0] == '*') one.erase(0, 1);
        if (!one.empty() && lstrcmpiA(one.c_str(), ext.c_str()) == 0) return 2;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return 1;
}

Document* MultiDocTemplate::OpenDocumentFile(const char* path, bool make_visible) {
    if (!loaded_ && !LoadTemplate()) {
        // A template without its resources cannot name or frame anything.
        ShowMessageBox(LoadFrameworkString(kIdsCreateFailed), MB_OK | MB_ICONEXCLAMATION);
        return nullptr;
    }
    Document* doc = CreateNewDocument();
    if (!doc) {
        ShowMessageBox(LoadFrameworkString(kIdsCreateFailed), MB_OK | MB_ICONEXCLAMATION);
        return nullptr;
    }
    // The document must not close itself while it has no view yet.
    bool auto_delete = doc->auto_delete;
    doc->auto_delete = false;
    FrameWindow* frame = CreateNewFrame(doc, nullptr);
    doc->auto_delete = auto_delete;
    if (!frame) {
        ShowMessageBox(LoadFrameworkString(kIdsCreateFailed), MB_OK | MB_ICONEXCLAMATION);
        delete doc;
        return nullptr;
    }
    if (!path || !*path) {
        SetDefaultTitle(doc);
        if (!doc->OnNewDocument()) {
            frame->DestroyWindow();  // takes the view and the document with it
            return nullptr;
        }
    } else {
        if (!doc->OnOpenDocument(path)) {
            frame->DestroyWindow();
            return nullptr;
        }
        doc->SetPathName(path);
    }
    InitialUpdateFrame(frame, doc, make_visible);
    return doc;
}

bool MultiDocTemplate::SaveAllModified() {
    std::vector<Document*> copy = docs_;
    for (Document* d : copy)
        if (!d->SaveModified()) return false;
    return true;
}

void MultiDocTemplate::CloseAllDocuments(bool) {
    std::vector<Document*> copy = docs_;
    for (Document* d : copy) d->OnCloseDocument();
}

void MultiDocTemplate::OnIdle() {
    // A document may close during its idle time: walk a copy, skip the gone.
    std::vector<Document*> copy = docs_;
    for (Document* d : copy)
        if (std::find(docs_.begin(), docs_.end(), d) != docs_.end()) d->OnIdle();
}

// ---- DocManager ----

DocManager::DocManager() = default;
DocManager::~DocManager() = default;

void DocManager::AddDocTemplate(MultiDocTemplate* tpl) {
    if (!tpl) return;
    if (!tpl->loaded()) tpl->LoadTemplate();
    templates_.emplace_back(tpl);
}

Document* DocManager::OpenDocumentFile(const std::string& path) {
    MultiDocTemplate* best = nullptr;
    int best_match = 0;
    for (auto& t : templates_) {
        Document* open = nullptr;
        int m = t->MatchDocType(path, &open);
        if (m == 3) {
            // Already open: bring its first view's frame forward.
            if (!open->views().empty()) {
                FrameWindow* f = open->views().front()->GetParentFrame();
                if (f) f->ActivateFrame();
            }
            return open;
        }
        if (m > best_match) {
            best_match = m;
            best = t.get();
        }
    }
    return best ? best->OpenDocumentFile(path.c_str()) : nullptr;
}

void DocManager::OnFileNew() {
    if (!templates_.empty()) templates_.front()->OpenDocumentFile(nullptr);
}

void DocManager::OnFileOpen() {
    std::string path;
    if (DoPromptFileName(path, "Open", OFN_HIDEREADONLY | OFN_FILEMUSTEXIST, true, nullptr))
        OpenDocumentFile(path);
}

bool DocManager::DoPromptFileName(std::string& path, const std::string& title, DWORD flags,
                                  bool open, MultiDocTemplate*) {
    char buf[MAX_PATH * 2] = "";
    lstrcpynA(buf, path.c_str(), sizeof buf);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    Application* app = Application::Current();
    ofn.hwndOwner = app ? app->main_window() : nullptr;
    ofn.lpstrFile = buf;
    ofn.nMaxFile = sizeof buf;
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = flags | OFN_EXPLORER;
    BOOL ok = open ? GetOpenFileNameA(&ofn) : GetSaveFileNameA(&ofn);
    if (!ok) return false;
    path = buf;
    return true;
}

bool DocManager::SaveAllModified() {
    for (auto& t : templates_)
        if (!t->SaveAllModified()) return false;
    return true;
}

void DocManager::CloseAllDocuments(bool end_session) {
    for (auto& t : templates_) t->CloseAllDocuments(end_session);
}

size_t DocManager::GetOpenDocumentCount() const {
    size_t n = 0;
    for (auto& t : templates_) n += t->documents().size();
    return n;
}

void DocManager::OnIdle() {
    for (auto& t : templates_) t->OnIdle();
}

} // namespace fw
