// The editor's document over an engine buffer.
#include "editor/qwdoc.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "editor/docread.h"
#include "editor/langdict.h"
#include "editor/langspec.h"
#include "editor/stylesheet.h"
#include "framework/fwapp.h"
#include "framework/fwfile.h"
#include "framework/fwview.h"
#include "opsys/files.h"
#include "opsys/msgout.h"
#include "opsys/paths.h"
#include "opsys/strlib.h"
#include "VmEngine/lexlang.h"
#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"
#include "VmEngine/vmlex.h"

namespace {

enum : unsigned {
    IDS_CREATE_IT = 40,          // "File '%s' doesn't exist - Create it ?"
    IDS_NOT_FOUND = 70,          // "File '%s' not found%b"
    IDS_LOCKED = 322,
    IDS_READ_ONLY = 323,
    IDS_OUTPUT_FRAME = 1210,     // "<Output~Window~Frame>"
};

constexpr uint32_t kBufferFile = VMB_T_FILE;  // type of a file buffer
constexpr uint32_t kBufferNamed = VMB_T_TEMP; // type of a named internal buffer
constexpr uint32_t kCreateMode = 0x1021;      // create, write, deny write
constexpr uint32_t kListNoDupPath = 273;      // sorted list options: no case, path, no duplicates

QWDocHooks g_hooks{};
uint32_t g_open_mode = DOC_OPEN_RESTING;
uint32_t g_option_flags = 0;
std::string g_new_doc_sheet;
HANDLE g_read_event = nullptr;

// Kinds of the file-name part of an open request.
enum OpenKind { kOpenFile, kOpenNamedBuffer, kOpenEngineBuffer };

OpenKind classify_open_path(const char* path, std::string* name) {
    const char* file = PathFileName(path);
    if (StrCmpNoCaseN(file, "buffer ", 7) == 0 && static_cast<unsigned char>(file[7]) > ' ') {
        *name = std::string(file, 8);
        return kOpenNamedBuffer;
    }
    if (strncmp(file, "*VMB*", 5) == 0 && file[5] && StrIsDigits(file + 5)) {
        *name = file + 5;
        return kOpenEngineBuffer;
    }
    return kOpenFile;
}

int cause_of(int os_error) { return fw::FileException::CauseFromOsError(os_error); }

void report_file_error(int cause, int os_error, const char* path, unsigned prompt) {
    fw::FileException(cause, os_error, path ? path : "").ReportError(MB_ICONEXCLAMATION, prompt);
}

void internal_failure(const char* what) {
    MsgOut(QW_MSG_BOX, "KV: %s\n%s", __FILE__, what);
}

}  // namespace

void SetQWDocHooks(const QWDocHooks* hooks) { g_hooks = hooks ? *hooks : QWDocHooks{}; }

unsigned DocViewFlags(fw::View* view) { return view && g_hooks.view_flags ? g_hooks.view_flags(view) : 0; }

// ---- Module state -----------------------------------------------------------

uint32_t GetOpenMode() { return g_open_mode; }
void SetOpenMode(uint32_t mode) { g_open_mode = mode; }

uint32_t DocOptionFlags(int op, uint32_t mask) {
    if (op == 1) {
        g_option_flags |= mask;
        return g_option_flags & mask;
    }
    if (op == 0) {
        g_option_flags &= ~mask;
        return 0;
    }
    return g_option_flags & mask;
}

void SetNewDocStyleSheetName(const char* name) { g_new_doc_sheet = name ? name : ""; }
std::string GetNewDocStyleSheetName() { return g_new_doc_sheet; }

void* GetDocReadEvent() {
    if (!g_read_event) g_read_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return g_read_event;
}

VMB* OpenFileIntoBuffer(VMB* buffer, const char* path, uint32_t mode, int* cause_out) {
    if (cause_out) *cause_out = 0;
    if (!path) return nullptr;
    bool own = false;
    if (!buffer) {
        buffer = vmb_open(kBufferFile, path, VMB_O_NOFIND);
        if (!buffer) return nullptr;
        own = true;
    }
    auto opened = [&](uint32_t set) {
        vm_state_flags(buffer, VM_OP_SET, set);
        vm_state_flags(buffer, VM_OP_CLEAR, DOC_ST_EDITED);
        return buffer;
    };
    int error = 0;
    if (vmb_Stream_OpenEx(buffer, path, mode & ~DOC_OPEN_EDITOR_BITS, &error))
        return opened((mode & DOC_OPEN_READWRITE) ? 0u : uint32_t{DOC_ST_VIEW_MODE});
    int cause = cause_of(error);
    bool write_refused = cause == fw::FileException::kSharingViolation ||
                         cause == fw::FileException::kAccessDenied;
    if (write_refused && (mode & DOC_OPEN_READWRITE) &&
        !(mode & (DOC_OPEN_CREATE | DOC_OPEN_NO_READONLY))) {
        int retry_error = 0;
        if (vmb_Stream_OpenEx(buffer, path, DOC_OPEN_SHARE_ALL, &retry_error)) {
            if (!(mode & DOC_OPEN_QUIET))
                MsgOutId(QW_MSG_STATUS_HOLD,
                         cause == fw::FileException::kSharingViolation ? IDS_LOCKED : IDS_READ_ONLY, path);
            return opened(DOC_ST_VIEW_MODE);
        }
    }
    unsigned prompt = fw::kIdsFailedToOpenDocument;
    bool not_found = cause == fw::FileException::kFileNotFound;
    bool report = !not_found;
    if (not_found && (mode & DOC_OPEN_OFFER_CREATE)) {
        bool quiet = (mode & DOC_OPEN_QUIET) != 0;
        if (quiet || MsgAskId(0, -1, IDS_CREATE_IT, path)) {
            int create_error = 0;
            if (vmb_Stream_OpenEx(buffer, path, kCreateMode, &create_error)) {
                uint32_t set = uint32_t{DOC_ST_CREATED_EMPTY} | VM_ST_FULLY_READ | VM_ST_FINAL_EOL;
                if (vms_get_param() == 2) set |= VM_ST_LF;
                return opened(set);
            }
            error = create_error;
            cause = cause_of(create_error);
            prompt = fw::kIdsFailedToSaveDocument;
            report = true;
        }
    } else if (not_found) {
        if (!(mode & (DOC_OPEN_NO_REPORT | DOC_OPEN_CREATE))) MsgOutId(QW_MSG_STATUS_HOLD, IDS_NOT_FOUND, path);
        report = (mode & DOC_OPEN_CREATE) != 0;
    }
    if (report && !(mode & (DOC_OPEN_NO_REPORT | DOC_OPEN_QUIET))) report_file_error(cause, error, path, prompt);
    if (cause_out) *cause_out = cause;
    if (own) vmb_close(buffer, 0);
    return nullptr;
}

int GetBufferLanguage(VMB* buffer) {
    if (!vmb_in_use(buffer)) return -2;
    auto* doc = static_cast<CQWDoc*>(vmb_get_client_data(buffer));
    return doc ? doc->GetLanguage() : -2;
}

// ---- CQWDoc -------------------------------------------------------------------

FW_IMPLEMENT_DYNCREATE(CQWDoc, fw::Document)

CQWDoc::CQWDoc() = default;

CQWDoc::~CQWDoc() { ReleaseBuffer(); }

int CQWDoc::TemplateId() const {
    return GetDocTemplate() ? static_cast<int>(GetDocTemplate()->resource_id()) : DOC_TEMPLATE_TEXT;
}

std::string CQWDoc::GetBufferName() const {
    const char* name = m_pBuffer ? vmb_get_name(m_pBuffer, nullptr) : nullptr;
    return name ? name : "";
}

std::string CQWDoc::GetPathName() const { return IsNamedFile() ? fw::Document::GetPathName() : GetBufferName(); }

int CQWDoc::IsFileBuffer() const { return vmb_in_use(m_pBuffer) && vmb_is_file(m_pBuffer) ? 1 : 0; }
int CQWDoc::IsUnnamedFile() const { return IsFileBuffer() && vmb_is_unnamed_file(m_pBuffer) ? 1 : 0; }
int CQWDoc::IsNamedFile() const { return IsFileBuffer() && !vmb_is_unnamed_file(m_pBuffer) ? 1 : 0; }
int CQWDoc::IsTempBufferWithPath() const {
    return !fw::Document::GetPathName().empty() && vmb_in_use(m_pBuffer) && vmb_is_type2(m_pBuffer) && !IsUnnamedFile();
}
int CQWDoc::IsEdited() const { return vm_state_flags(m_pBuffer, VM_OP_READ, DOC_ST_EDITED) ? 1 : 0; }
int CQWDoc::IsViewMode() const { return vm_state_flags(m_pBuffer, VM_OP_READ, DOC_ST_VIEW_MODE) ? 1 : 0; }
int CQWDoc::TestFlag8() const { return vm_state_flags(m_pBuffer, VM_OP_READ, DOC_ST_SAVE_FLAGGED) ? 1 : 0; }
int CQWDoc::TestFlag40() const { return vm_state_flags(m_pBuffer, VM_OP_READ, VM_ST_DOC) ? 1 : 0; }

int CQWDoc::FileReadOnlyState() const {
    if (!IsNamedFile()) return 0;
    std::string path = GetPathName();
    if (!FileExists(path.c_str())) return -1;
    return FileIsReadOnly(path.c_str()) ? 1 : 0;
}

int CQWDoc::GotoLine(int line, int column) { return vm_goto(m_pBuffer, line, column); }
int CQWDoc::LineFlags(int line, int count, int mask, int op) {
    return vm_line_flags_range(m_pBuffer, line, line + count - 1, op, mask, 0);
}

void CQWDoc::ClearContents() {
    vm_clear(m_pBuffer, 1);
    UpdateAllViews(nullptr, DOC_HINT_CLEARED);
}

bool CQWDoc::IsModified() { return IsFileBuffer() && IsEdited(); }

void CQWDoc::SetModifiedFlag(bool modified) {
    vm_state_flags(m_pBuffer, modified ? VM_OP_SET : VM_OP_CLEAR, DOC_ST_EDITED);
}

bool CQWDoc::OnNewDocument() {
    if (TemplateId() == DOC_TEMPLATE_OUTPUT) return true;
    if (!AttachNewBuffer(kBufferFile, nullptr, VMB_O_NOFIND)) {
        MsgOut(QW_MSG_BOX | (QW_MB_ICONWARNING << 16), "KV: CQWDoc::OnNewDocument failed");
        return false;
    }
    // A new text ends in a line break, with LF line ends where the engine's
    // start parameter asks for them.
    uint32_t eol = uint32_t{VM_ST_FINAL_EOL} | (vms_get_param() == 2 ? uint32_t{VM_ST_LF} : 0u);
    vm_state_flags(m_pBuffer, VM_OP_SET, eol);
    SetStyleSheetByName(g_new_doc_sheet.c_str(), 0);
    // The views colour by the sheet's language index, so it is resolved now.
    if (m_pStyleSheet && m_pStyleSheet->m_LanguageIndex == SS_LANGUAGE_UNRESOLVED)
        m_pStyleSheet->ValidateLanguage(0, "");
    // The framework's new document clears the modified state, which lives in the buffer.
    return fw::Document::OnNewDocument();
}

bool CQWDoc::OnOpenDocument(const std::string& path_name) {
    struct Resting {
        ~Resting() { SetOpenMode(DOC_OPEN_RESTING); }
    } resting;
    const char* path = path_name.c_str();
    uint32_t mode = GetOpenMode();
    if (mode & DOC_OPEN_HIDDEN) {
        m_Hidden = 1;
        mode |= DOC_OPEN_NO_REPORT | DOC_OPEN_QUIET;
        SetOpenMode(mode);
    }
    std::string name;
    switch (classify_open_path(path, &name)) {
    case kOpenNamedBuffer:
        if (!AttachNewBuffer(kBufferNamed, name.c_str(), VMB_O_FILE)) {
            internal_failure("CQWDoc::OnOpenDocument() -> BUFF_FNM -> Create() failed.");
            return 0;
        }
        return 1;
    case kOpenEngineBuffer: {
        auto* buffer = reinterpret_cast<VMB*>(static_cast<uintptr_t>(strtoull(name.c_str(), nullptr, 10)));
        if (!vmb_check(buffer)) return 0;
        int bound = BindBuffer(buffer);
        std::string buffer_name = GetBufferName();
        FinishOpen(buffer_name.c_str(), mode);
        DocOpenedEvent event{this, buffer_name.c_str(), mode, m_Hidden};
        if (g_hooks.fire_event) g_hooks.fire_event(this, DOC_EVENT_OPENED, &event);
        return bound;
    }
    case kOpenFile:
        break;
    }
    IsModified();
    DeleteContents();
    char frame_name[64];
    if (LoadAppString(IDS_OUTPUT_FRAME, frame_name, sizeof frame_name) && strcmp(PathFileName(path), frame_name) == 0)
        return 1;
    if (!AttachNewBuffer(kBufferFile, path, VMB_O_NOFIND)) {
        internal_failure("CQWDoc::OnOpenDocument() -> VMT_FILE -> Create() failed.");
        return 0;
    }
    if (LoadFile(path, mode)) {
        DocOpenedEvent event{this, path, mode, m_Hidden};
        if (g_hooks.fire_event) g_hooks.fire_event(this, DOC_EVENT_OPENED, &event);
        return 1;
    }
    if (m_Hidden && GetViewCount() == 1) ReleaseBuffer();
    return 0;
}

int CQWDoc::OpenWithMode(const char* path, uint32_t mode) {
    SetOpenMode(mode);
    if (!path || !OnOpenDocument(path)) return 0;
    SetPathName(GetBufferName(), !(mode & DOC_OPEN_HIDDEN));
    return 1;
}

int CQWDoc::LoadFile(const char* path, uint32_t mode) {
    if (!OpenFileIntoBuffer(m_pBuffer, path, mode, nullptr)) return 0;
    FinishOpen(path, mode);
    return 1;
}

int CQWDoc::AttachNewBuffer(uint32_t type, const char* name, uint32_t flags) {
    VMB* buffer = vmb_open(type, name, flags);
    if (!buffer) return 0;
    m_pBuffer = buffer;
    return BindBuffer(buffer);
}

int CQWDoc::BindBuffer(VMB* buffer) {
    m_pBuffer = buffer;
    if (!vmb_in_use(buffer)) return 0;
    vmb_set_client_data(buffer, this);
    if (vmb_is_file_or_named(buffer) && !m_pBookmarks && g_hooks.bookmarks_create)
        m_pBookmarks = g_hooks.bookmarks_create(this);
    if (!(vmb_type(buffer) & VMB_T_TEMP))
        ApplyStyleSheet(0x3);
    else
        m_pStyleSheet = nullptr;
    return 1;
}

void CQWDoc::FinishOpen(const char* path, uint32_t mode) {
    if (!m_Hidden && g_hooks.queue_doc_info) g_hooks.queue_doc_info(this);
    if (!(mode & DOC_OPEN_NO_BOOKMARKS) && g_hooks.restore_bookmarks) g_hooks.restore_bookmarks(this);
    if (!vm_is_fully_read(m_pBuffer)) SetEvent(static_cast<HANDLE>(GetDocReadEvent()));
    if (!m_Hidden && g_hooks.browser_queue) g_hooks.browser_queue(path, 1);
}

void CQWDoc::ApplyStyleSheet(unsigned flags) {
    CStyleSheet_Array* sheets = GetStyleSheetArray();
    if (!sheets || !m_pBuffer) return;
    if (flags & 0x2) {
        std::string name = GetBufferName();
        if (!name.empty()) {
            m_pStyleSheet = FindStyleSheetForFile(name.c_str());
            if (!m_pStyleSheet) m_pStyleSheet = sheets->GetDefault(nullptr);
        } else if (!m_StyleSheetName.empty()) {
            SetStyleSheetByName(m_StyleSheetName.c_str(), 0);
        }
    }
    if ((flags & 0x3) && m_pStyleSheet) RefreshLanguage();
    if ((flags & 0x10) && !m_Hidden) UpdateAllViews(nullptr, DOC_HINT_STYLE);
}

void CQWDoc::SetStyleSheetByName(const char* name, int refresh) {
    m_StyleSheetName = name ? name : "";
    m_pStyleSheet = nullptr;
    if (CStyleSheet_Array* sheets = GetStyleSheetArray()) {
        for (int i = 0; i < sheets->GetSize() && !m_pStyleSheet; ++i)
            if (sheets->GetAt(i)->m_SSName == m_StyleSheetName) m_pStyleSheet = sheets->GetAt(i);
    }
    if (refresh) RefreshLanguage();
}

void CQWDoc::RefreshLanguage() {
    if (!m_pStyleSheet) return;
    std::string shown = fw::Document::GetPathName().empty() ? GetBufferName() : fw::Document::GetPathName();
    m_pStyleSheet->ValidateLanguage(!m_Hidden, shown.c_str());
    vm_set_lex_line(m_pBuffer, 0);
}

int CQWDoc::GetTabWidth() const { return m_pStyleSheet ? m_pStyleSheet->GetTabWidth() : SS_DEFAULT_TAB; }

int CQWDoc::GetLanguage() const {
    // No loading here: the engine asks from inside its lock, and loading a
    // dictionary takes the loader's lock before the engine's.
    return m_pStyleSheet ? m_pStyleSheet->m_LanguageIndex : -2;
}

void CQWDoc::ReleaseBuffer() {
    vm_lock(1);
    if (m_pBuffer) NoteDocBufferReleased();
    if (m_pBookmarks && g_hooks.bookmarks_free) g_hooks.bookmarks_free(m_pBookmarks);
    m_pBookmarks = nullptr;
    if (IsFileBuffer()) {
        uint32_t state = vm_state_flags(m_pBuffer, VM_OP_READ, DOC_ST_CREATED_EMPTY | DOC_ST_REMOVE_BACKUP);
        std::string path = IsNamedFile() ? GetBufferName() : std::string();
        if (state & DOC_ST_REMOVE_BACKUP) vmb_backup_cleanup(m_pBuffer, 1);
        vmb_close(m_pBuffer, 0);
        if ((state & DOC_ST_CREATED_EMPTY) && !path.empty()) FileDelete(path.c_str());
    } else if (vmb_in_use(m_pBuffer)) {
        vmb_set_client_data(m_pBuffer, nullptr);
    }
    m_StyleSheetName.clear();
    m_pBuffer = nullptr;
    m_pStyleSheet = nullptr;
    FreeExtraData();
    vm_lock(0);
}

void CQWDoc::OnIdle() {
    if (m_pBuffer && vm_state_flags(m_pBuffer, VM_OP_READ, DOC_ST_TYPED)) {
        if (g_hooks.hide_pointer) g_hooks.hide_pointer(GetActiveTextView());
        vm_state_flags(m_pBuffer, VM_OP_CLEAR, DOC_ST_TYPED);
    }
    if (!m_Hidden && m_pBuffer && vm_lex_advance(m_pBuffer) == 1) UpdateAllViews(nullptr, DOC_HINT_LEXICAL);
    int clock = g_hooks.stopwatch ? g_hooks.stopwatch() : 0;
    if (IsFileBuffer() && clock >= 1 && vm_state_flags(m_pBuffer, VM_OP_READ, DOC_ST_IDLE_WORK)) {
        vm_state_flags(m_pBuffer, VM_OP_CLEAR, DOC_ST_IDLE_WORK);
        if (!IsUnnamedFile()) QueueForBrowser(1);
        if (g_hooks.refill_context_list) g_hooks.refill_context_list(this, 102);
    }
    if (IsFileBuffer() && clock >= 2 && g_hooks.refill_context_list) g_hooks.refill_context_list(this, 103);
    fw::Document::OnIdle();
}

void CQWDoc::QueueForBrowser(int start) {
    if (!IsNamedFile() || m_Hidden) return;
    if (!g_hooks.is_browsable_language || !g_hooks.is_browsable_language(GetLanguageParserType(GetLanguage())))
        return;
    if (!m_pSourceDB) {
        if (!g_hooks.browser_queue || !g_hooks.browser_queue(GetPathName().c_str(), 0)) return;
    } else if (g_hooks.browser_queue_file_id) {
        g_hooks.browser_queue_file_id(m_pSourceDB->database, m_pSourceDB->file_id);
    }
    m_BrowserQueued = 1;
    if (start && g_hooks.browser_build) g_hooks.browser_build(1);
}

fw::View* CQWDoc::GetFirstView() const { return views().empty() ? nullptr : views().front(); }

fw::View* CQWDoc::GetFirstTextView() const {
    for (fw::View* v : views())
        if (!g_hooks.view_flags || !(g_hooks.view_flags(v) & 0x1)) return v;
    return nullptr;
}

fw::View* CQWDoc::GetActiveTextView() const {
    fw::View* current = g_hooks.current_text_view ? g_hooks.current_text_view() : nullptr;
    if (current && current->GetDocument() == this &&
        !(g_hooks.view_flags && (g_hooks.view_flags(current) & 0x1)))
        return current;
    if (fw::View* v = GetFirstTextView()) return v;
    return GetFirstView();
}

void CQWDoc::SetSourceDBLink(void* database, int file_id) {
    FreeExtraData();
    m_pSourceDB = new SourceDBLink{database, file_id};
}

void CQWDoc::FreeExtraData() {
    delete m_pSourceDB;
    m_pSourceDB = nullptr;
}

// ---- Walkers ------------------------------------------------------------------

CQWDoc* ForEachDocument(int template_id, DocCallback callback, void* a, void* b) {
    fw::Application* app = fw::Application::Current();
    if (!app) return nullptr;
    for (const auto& tpl : app->doc_manager()->templates()) {
        if (static_cast<int>(tpl->resource_id()) != template_id) continue;
        // A callback may close documents: walk a copy and skip those gone since.
        std::vector<fw::Document*> docs = tpl->documents();
        for (fw::Document* d : docs) {
            const auto& now = tpl->documents();
            if (std::find(now.begin(), now.end(), d) == now.end()) continue;
            auto* doc = fw::DynamicDowncast<CQWDoc>(d);
            if (doc && !callback(doc, a, b)) return doc;
        }
    }
    return nullptr;
}

CQWDoc* FindDocumentByPath(const char* path, fw::View** view_out) {
    if (view_out) *view_out = nullptr;
    if (!path) return nullptr;
    return ForEachDocument(
        DOC_TEMPLATE_TEXT,
        [](CQWDoc* d, void* p, void* out) {
            if (d->IsHidden() || !StrEqualNoCase(d->GetPathName().c_str(), static_cast<const char*>(p))) return 1;
            auto** view = static_cast<fw::View**>(out);
            if (!view) return 0;
            fw::View* current = g_hooks.current_text_view ? g_hooks.current_text_view() : nullptr;
            bool shows = current && current->GetDocument() == d &&
                         !(g_hooks.view_flags && (g_hooks.view_flags(current) & 0x1));
            *view = shows ? current : d->GetFirstTextView();
            return *view ? 0 : 1;
        },
        const_cast<char*>(path), view_out);
}

CQWDoc* FindOtherDocumentWithView(CQWDoc* doc) {
    return ForEachDocument(
        DOC_TEMPLATE_TEXT,
        [](CQWDoc* d, void* other, void*) { return d != other && d->GetComparisonView() ? 0 : 1; }, doc,
        nullptr);
}

CQWDoc* FindBufferlessViewOnlyDocument() {
    return ForEachDocument(
        DOC_TEMPLATE_TEXT,
        [](CQWDoc* d, void*, void*) {
            fw::View* v = d->GetFirstView();
            return !d->GetBuffer() && v && g_hooks.view_flags && (g_hooks.view_flags(v) & 0x1) ? 0 : 1;
        },
        nullptr, nullptr);
}

int ListOpenDocuments(VMB* list) {
    if (!vmb_in_use(list)) return 0;
    ForEachDocument(
        DOC_TEMPLATE_TEXT,
        [](CQWDoc* d, void* l, void*) {
            if (!d->IsHidden() && d->GetBuffer() && d->GetFirstTextView())
                vm_insert_sorted(static_cast<VMB*>(l), d->GetPathName().c_str(), kListNoDupPath);
            return 1;
        },
        list, nullptr);
    return vm_last_ln(list);
}

CQWDoc* FindDocumentUsingStyleSheet(const char* name) {
    CStyleSheet_Array* sheets = GetStyleSheetArray();
    if (!sheets || !name) return nullptr;
    CStyleSheet* sheet = sheets->FindByName(name, nullptr, -1, nullptr);
    if (!sheet) return nullptr;
    return ForEachDocument(
        DOC_TEMPLATE_TEXT, [](CQWDoc* d, void* s, void*) { return d->GetStyleSheet() == s ? 0 : 1; }, sheet,
        nullptr);
}

void FreeAllDocumentsExtraData() {
    ForEachDocument(
        DOC_TEMPLATE_TEXT,
        [](CQWDoc* d, void*, void*) {
            d->FreeExtraData();
            return 1;
        },
        nullptr, nullptr);
}

void UpdateAllFrameCounts() {
    ForEachDocument(
        DOC_TEMPLATE_TEXT,
        [](CQWDoc* d, void*, void*) {
            d->UpdateFrameCounts();
            return 1;
        },
        nullptr, nullptr);
}

void ReapplyDocumentStyleSheets() {
    ForEachDocument(
        DOC_TEMPLATE_TEXT,
        [](CQWDoc* d, void*, void*) {
            if (vmb_in_use(d->GetBuffer()) && !(vmb_type(d->GetBuffer()) & VMB_T_TEMP)) d->ApplyStyleSheet(0x13);
            return 1;
        },
        nullptr, nullptr);
}

void InstallDocumentLanguageSource() {
    static const VmLangSource source = {
        [](VMB* buffer) {
            int language = GetBufferLanguage(buffer);
            return language < 0 ? -1 : language;
        },
        [](VMB* buffer) {
            auto* doc = vmb_in_use(buffer) ? static_cast<CQWDoc*>(vmb_get_client_data(buffer)) : nullptr;
            return doc && doc->GetStyleSheet() ? doc->GetTabWidth() : 0;
        },
        GetLanguageParserType,
        GetLanguageFlags,
        [](int) { return 0; },
        MatchLanguageDelimiter,
        LanguageWordLength,
        [](int lang, const char* word, int len) {
            int token = LookupLanguageKeywordN(word, len, lang, 0, nullptr, 0);
            return token != 0 && token != TOKEN_NOT_FOUND ? 1 : 0;
        },
    };
    vm_set_lang_source(&source);
}
