// The document manager, open requests and worker-thread opens.
#include "editor/docmanager.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "editor/docsave.h"
#include "editor/qwdoc.h"
#include "framework/fwapp.h"
#include "framework/fwview.h"
#include "opsys/msgout.h"
#include "opsys/paths.h"
#include "opsys/shell_outlets.h"
#include "opsys/files.h"
#include "VmEngine/vm.h"

namespace {

enum : unsigned {
    IDS_OPEN_CHOICES_FILE = 1090,
    IDS_OPEN_CHOICES_BUFFER = 1091,
    IDS_CAUTION = 1092,
    IDS_OPEN_ANOTHER_COPY = 1093,
    kWorkerOpenTimeout = 60000,
};

DocManagerHooks g_hooks{};
unsigned g_worker_timeout = kWorkerOpenTimeout;

std::string load(unsigned id) {
    char text[1024];
    return LoadAppString(id, text, sizeof text) ? text : "";
}

bool is_engine_buffer_name(const char* path) {
    const char* file = PathFileName(path);
    return strncmp(file, "*VMB*", 5) == 0 && file[5];
}

void add_recent(const char* path) {
    if (fw::Application* app = fw::Application::Current()) app->AddToRecentFileList(path);
}

CQWDoc* activate(CQWDoc* doc, fw::View* view, const char* path) {
    if (view && g_hooks.activate_view) g_hooks.activate_view(view);
    add_recent(path);
    return doc;
}

// A request a worker thread hands to the UI thread. Both sides hold it; a
// request is withdrawn by the worker at its time-out only while the UI
// thread has not taken it, and the UI thread carries out only requests it
// could take, so a timed-out request is never carried out later.
struct WorkerOpen {
    std::string path;
    uint32_t mode;
    int flags;
    fw::View* view = nullptr;
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    enum State { kQueued, kTaken, kDone } state = kQueued;
    ~WorkerOpen() { CloseHandle(done); }
};
std::mutex g_requests_lock;
std::map<uintptr_t, std::shared_ptr<WorkerOpen>> g_requests;
uintptr_t g_next_request = 1;
std::mutex g_worker_serial;  // one outstanding worker request at a time

void post_to_ui(unsigned msg, WPARAM wp, LPARAM lp) {
    QwShellOutlets o = QwGetShellOutlets();
    HWND main = o.main_window ? static_cast<HWND>(o.main_window()) : nullptr;
    if (main) PostMessageA(main, msg, wp, lp);
    else PostThreadMessageA(o.app_thread_id, msg, wp, lp);
}

fw::View* worker_open(const char* path, uint32_t mode, int flags) {
    std::lock_guard<std::mutex> serial(g_worker_serial);
    // The file is opened on the UI thread, which owns the document list and
    // so sees a copy already open: a worker opening it here would hold a
    // second handle that blocks the open copy's saves. Files are read
    // lazily, so the open itself is short.
    char resolved[QW_PATH_BUF];
    std::string name = PathFullName(resolved, path) ? resolved : path;
    if (!FileExists(name.c_str())) return nullptr;
    auto request = std::make_shared<WorkerOpen>();
    request->path = name;
    request->mode = mode;
    request->flags = flags;
    uintptr_t id;
    {
        std::lock_guard<std::mutex> hold(g_requests_lock);
        id = g_next_request++;
        g_requests[id] = request;
    }
    post_to_ui(WM_QW_WORKER_OPEN, static_cast<WPARAM>(id), 0);
    if (WaitForSingleObject(request->done, g_worker_timeout) != WAIT_OBJECT_0) {
        std::unique_lock<std::mutex> hold(g_requests_lock);
        if (request->state == WorkerOpen::kQueued) {
            // Withdrawn: the UI thread will find nothing under the id.
            g_requests.erase(id);
            return nullptr;
        }
        // The UI thread is carrying it out now: its answer is near.
        hold.unlock();
        WaitForSingleObject(request->done, INFINITE);
    }
    return request->view;
}

}  // namespace

void SetDocManagerHooks(const DocManagerHooks* hooks) { g_hooks = hooks ? *hooks : DocManagerHooks{}; }
void SetWorkerOpenTimeout(unsigned ms) { g_worker_timeout = ms ? ms : kWorkerOpenTimeout; }

void DoWorkerOpenRequest(uintptr_t id) {
    std::shared_ptr<WorkerOpen> request;
    {
        std::lock_guard<std::mutex> hold(g_requests_lock);
        auto it = g_requests.find(id);
        if (it == g_requests.end()) return;  // withdrawn at its time-out
        request = it->second;
        g_requests.erase(it);
        request->state = WorkerOpen::kTaken;
    }
    fw::View* view = VwFileOpenEx(request->path.c_str(), request->mode, request->flags);
    std::lock_guard<std::mutex> hold(g_requests_lock);
    request->view = view;
    request->state = WorkerOpen::kDone;
    SetEvent(request->done);
}

// ---- Matching ----------------------------------------------------------------------

CQWDoc* MatchOpenDocument(const char* path, std::string* full_out, fw::MultiDocTemplate** template_out,
                          fw::View** view_out, int resolve) {
    if (view_out) *view_out = nullptr;
    if (template_out) *template_out = EditorTextTemplate();
    if (!path) return nullptr;
    if (is_engine_buffer_name(path)) {
        if (full_out) *full_out = path;
        return nullptr;
    }
    std::string name = path;
    if (!name.empty() && name[0] == '"') name.erase(0, 1);
    size_t quote = name.rfind('"');
    if (quote != std::string::npos) name.erase(quote);
    if (name.size() > QW_PATH_MAX) name.resize(QW_PATH_MAX);
    char full[QW_PATH_BUF];
    bool ok = resolve ? PathFullNameTrueCase(full, name.c_str()) != 0 : PathFullName(full, name.c_str()) != 0;
    if (!ok && resolve) ok = PathFullName(full, name.c_str()) != 0;
    std::string result = ok ? full : name;
    if (full_out) *full_out = result;
    CQWDoc* doc = FindDocumentByPath(result.c_str(), view_out);
    if (!doc && PathFileName(name.c_str()) == name.c_str()) doc = FindDocumentByPath(name.c_str(), view_out);
    return doc;
}

// ---- The manager -------------------------------------------------------------------

fw::Document* CMultiOpenDocManager::OpenDocumentFile(const std::string& path) {
    return OpenDocumentFileEx(path.c_str(), 1);
}

void CMultiOpenDocManager::OnFileNew() {
    if (fw::MultiDocTemplate* t = EditorTextTemplate()) t->OpenDocumentFile(nullptr, true);
}

void CMultiOpenDocManager::ClearAllModified() {
    for (const auto& t : templates())
        for (fw::Document* d : t->documents()) d->SetModifiedFlag(false);
}

CQWDoc* CMultiOpenDocManager::OpenDocumentFileEx(const char* path, int make_visible) {
    uint32_t mode = GetOpenMode();
    std::string full;
    fw::MultiDocTemplate* tpl = nullptr;
    fw::View* view = nullptr;
    CQWDoc* open = MatchOpenDocument(path, &full, &tpl, &view, !(mode & DOC_OPEN_RESOLVED));
    if (open && !(mode & DOC_OPEN_HIDDEN)) {
        if (mode & DOC_OPEN_ACTIVATE_OPEN) return activate(open, view, full.c_str());
        int choice = -1;
        if (mode & DOC_OPEN_ATTACH) {
            choice = 1;
        } else if (DocAskNamed("FileAlreadyOpen", nullptr, nullptr) == IDYES) {
            choice = 0;
        } else if (DocLifecycle().choose_open_copy) {
            choice = DocLifecycle().choose_open_copy(open->IsFileBuffer() ? IDS_OPEN_CHOICES_FILE
                                                                           : IDS_OPEN_CHOICES_BUFFER);
        }
        switch (choice) {
        case 0:
            return activate(open, view, full.c_str());
        case 1:
            if (g_hooks.open_new_window && g_hooks.open_new_window(view)) {
                add_recent(full.c_str());
                return open;
            }
            return nullptr;
        case 2:
            SetOpenMode(DOC_OPEN_SHARE_ALL);
            break;
        case 3: {
            std::string text = load(IDS_OPEN_ANOTHER_COPY), caption = load(IDS_CAUTION);
            if (DocAskNamed(nullptr, caption.c_str(), text.c_str()) != IDYES) return nullptr;
            break;
        }
        case 4:
            while (CQWDoc* copy = MatchOpenDocument(path, nullptr, nullptr, nullptr, !(mode & DOC_OPEN_RESOLVED))) {
                copy->CloseByCommand();
                if (MatchOpenDocument(path, nullptr, nullptr, nullptr, !(mode & DOC_OPEN_RESOLVED)) == copy) {
                    MsgOut(QW_MSG_STATUS, "File not opened because dirty buffer wasn't discarded%b");
                    return nullptr;
                }
            }
            SetOpenMode(mode);
            break;
        default:
            return nullptr;
        }
    }
    if (!tpl) {
        MsgOutId(QW_MSG_BOX, 61697);
        return nullptr;
    }
    return fw::DynamicDowncast<CQWDoc>(tpl->OpenDocumentFile(full.c_str(), make_visible != 0));
}

CMultiOpenDocManager* CreateDocManager(int op) {
    fw::Application* app = fw::Application::Current();
    if (!app) return nullptr;
    if (op != 1) {
        app->SetDocManager(std::make_unique<fw::DocManager>());
        return nullptr;
    }
    auto manager = std::make_unique<CMultiOpenDocManager>();
    CMultiOpenDocManager* result = manager.get();
    app->SetDocManager(std::move(manager));
    return result;
}

fw::View* VwFileOpenEx(const char* path, uint32_t mode, int flags) {
    if (!path || !*path) return nullptr;
    if (!IsAppThread()) return worker_open(path, mode, flags);
    fw::Application* app = fw::Application::Current();
    auto* manager = app ? dynamic_cast<CMultiOpenDocManager*>(app->doc_manager()) : nullptr;
    if (!manager) return nullptr;
    if (mode & DOC_OPEN_HIDDEN) mode |= DOC_OPEN_NO_BOOKMARKS;
    fw::View* view = nullptr;
    if (mode & DOC_OPEN_ACTIVATE_OPEN) {
        std::string full;
        if (CQWDoc* open = MatchOpenDocument(path, &full, nullptr, &view, 0)) activate(open, view, full.c_str());
    }
    if (!view) {
        SetOpenMode(mode);
        CQWDoc* doc = manager->OpenDocumentFileEx(path, flags);
        SetOpenMode(DOC_OPEN_RESTING);
        if (doc) {
            // The views' windows exist now: the read thread may post to them.
            doc->RefreshViewWindows();
            view = doc->GetFirstTextView() ? doc->GetFirstTextView() : doc->GetFirstView();
        }
    }
    return view;
}

// ---- Command-line comparison request ---------------------------------------------

namespace {
struct OpenFileRequest {
    std::string path, second;
    uint32_t flags;
};
}  // namespace

int RequestOpenFile(const char* path, const char* second, uint32_t flags) {
    auto* record = new OpenFileRequest{path ? path : "", second ? second : "", flags};
    if (IsAppThread()) return DoOpenFileRequest(record);
    post_to_ui(0x465, 2, reinterpret_cast<LPARAM>(record));
    return 1;
}

int DoOpenFileRequest(void* record) {
    std::unique_ptr<OpenFileRequest> request(static_cast<OpenFileRequest*>(record));
    fw::View* first = VwFileOpenEx(request->path.c_str(), uint32_t{DOC_OPEN_ACTIVATE_OPEN} | DOC_OPEN_SHARE_ALL, 1);
    if (!first) {
        MsgOut(QW_MSG_STATUS_HOLD, "Couldn't open file: %s%b", request->path.c_str());
        return 1;
    }
    fw::View* second = VwFileOpenEx(request->second.c_str(), uint32_t{DOC_OPEN_ACTIVATE_OPEN} | DOC_OPEN_SHARE_ALL, 1);
    if (!second) {
        MsgOut(QW_MSG_STATUS_HOLD, "Couldn't open file: %s%b", request->second.c_str());
        return 1;
    }
    if (g_hooks.compare_views) g_hooks.compare_views(first, second, request->flags | 0x2000);
    return 1;
}

fw::MultiDocTemplate* EditorTextTemplate() {
    fw::Application* app = fw::Application::Current();
    if (!app) return nullptr;
    for (const auto& t : app->doc_manager()->templates())
        if (t->resource_id() == DOC_TEMPLATE_TEXT) return t.get();
    return nullptr;
}
