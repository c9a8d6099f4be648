// Saving, renaming and closing a document, and its bookmarks per file.
#include "editor/docsave.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>
#include <roaring/roaring.h>

#include "editor/fileinfo.h"
#include "editor/langdict.h"
#include "editor/qwdoc.h"
#include "framework/fwapp.h"
#include "framework/fwframe.h"
#include "framework/fwview.h"
#include "opsys/files.h"
#include "opsys/msgout.h"
#include "opsys/paths.h"
#include "opsys/setrans.h"
#include "opsys/shell_outlets.h"
#include "opsys/strlib.h"
#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"

namespace {

enum : unsigned {
    IDS_SAVE_FAILED = 46,        // "File Save Failed."
    IDS_SAVE_ERROR = 1404,       // "Error saving file '%s'%b"
    IDS_RELOCK_FAILED = 1412,    // "Can't open/lock file '%s' after save%a"
};

constexpr uint32_t DOC_ST_QUIET_SAVE = 0x10000;  // saves leave the document's state alone

DocLifecycleHooks g_hooks{};
uint32_t g_save_flags = 0;

// Sets the save flags for one call and puts the previous word back.
struct SaveFlagsScope {
    explicit SaveFlagsScope(uint32_t flags) : previous(g_save_flags) { g_save_flags = flags; }
    ~SaveFlagsScope() { g_save_flags = previous; }
    uint32_t previous;
};

bool is_engine_buffer_name(const char* path) {
    const char* file = PathFileName(path);
    return strncmp(file, "*VMB*", 5) == 0 && file[5] && StrIsDigits(file + 5);
}

bool has_text_view(CQWDoc* doc) { return doc->GetFirstTextView() != nullptr; }

// The extension after the last dot of the file-name part ("" when none).
std::string extension_of(const char* path) {
    const char* file = PathFileName(path);
    const char* dot = strrchr(file, '.');
    return dot ? dot + 1 : "";
}

std::string name_to_underscore(const char* path) {
    std::string file = PathFileName(path);
    return file.substr(0, file.find('_'));
}

}  // namespace

void SetDocLifecycleHooks(const DocLifecycleHooks* hooks) { g_hooks = hooks ? *hooks : DocLifecycleHooks{}; }
const DocLifecycleHooks& DocLifecycle() { return g_hooks; }

int DocAskNamed(const char* key, const char* caption, const char* text) {
    if (g_hooks.ask_named) return g_hooks.ask_named(key, caption, text);
    // A question known only by its name waits for the store that holds it.
    if (!text) return IDNO;
    return QwMessageBox(caption, text, QW_MB_YESNO | QW_MB_ICONQUESTION, 0) == IDYES ? IDYES : IDNO;
}

uint32_t GetSaveFlags() { return g_save_flags; }
void SetSaveFlags(uint32_t flags) { g_save_flags = flags; }

// ---- Bookmark encoding --------------------------------------------------------

std::string EncodeBookmarkLines(VMB* buffer) {
    roaring_bitmap_t* lines = roaring_bitmap_create();
    // The search starts over at line 1 when asked past the last line: the
    // walk stops at the last line itself.
    int last = vm_line_count(buffer);
    for (int line = vm_find_flagged_line(buffer, 1, 1, 0, DOC_LF_BOOKMARK, DOC_LF_BOOKMARK); line > 0;
         line = line < last ? vm_find_flagged_line(buffer, line + 1, 1, 0, DOC_LF_BOOKMARK, DOC_LF_BOOKMARK) : 0)
        roaring_bitmap_add(lines, static_cast<uint32_t>(line));
    std::string text;
    if (!roaring_bitmap_is_empty(lines)) {
        roaring_bitmap_run_optimize(lines);
        std::vector<char> bytes(roaring_bitmap_portable_size_in_bytes(lines));
        size_t n = roaring_bitmap_portable_serialize(lines, bytes.data());
        CryptoPP::StringSource(reinterpret_cast<const CryptoPP::byte*>(bytes.data()), n, true,
                               new CryptoPP::Base64Encoder(new CryptoPP::StringSink(text), false));
    }
    roaring_bitmap_free(lines);
    return text;
}

int DecodeBookmarkLines(VMB* buffer, const std::string& text) {
    if (text.empty()) return 0;
    std::string bytes;
    CryptoPP::StringSource(text, true, new CryptoPP::Base64Decoder(new CryptoPP::StringSink(bytes)));
    // History files can be edited by hand: damaged data is refused.
    if (roaring_bitmap_portable_deserialize_size(bytes.data(), bytes.size()) == 0) return -1;
    roaring_bitmap_t* lines = roaring_bitmap_portable_deserialize_safe(bytes.data(), bytes.size());
    if (!lines) return -1;
    struct Walk {
        VMB* buffer;
        int count;
    } walk{buffer, 0};
    if (!roaring_bitmap_is_empty(lines)) {
        // A file opens lazily: the marked lines are read in first.
        vm_read_lines(buffer, roaring_bitmap_maximum(lines));
        // Lines past the end of a file that shrank meanwhile end the walk.
        roaring_iterate(
            lines,
            [](uint32_t n, void* p) {
                auto* w = static_cast<Walk*>(p);
                if (n == 0) return true;
                if (n > static_cast<uint32_t>(vm_line_count(w->buffer))) return false;
                if (vm_line_flags(w->buffer, static_cast<int>(n), VM_OP_SET, DOC_LF_BOOKMARK) >= 0) ++w->count;
                return true;
            },
            &walk);
    }
    roaring_bitmap_free(lines);
    return walk.count;
}

// ---- Saving -----------------------------------------------------------------

bool CQWDoc::DoFileSave() {
    std::string path = fw::Document::GetPathName();
    if (!(g_save_flags & DOC_SAVE_AUTO)) {
        DWORD attrs = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
        if (!IsFileBuffer() || IsUnnamedFile() || path.empty() ||
            (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY)))
            return DoSave(std::string(), true);
    }
    if (path.empty()) return true;
    return DoSave(path, true);
}

bool CQWDoc::DoSave(const std::string& path, bool replace) {
    bool result = false;
    const bool save_as = path.empty();
    const bool was_non_file = save_as && !IsFileBuffer();
    const bool quiet = vm_state_flags(m_pBuffer, VM_OP_READ, DOC_ST_QUIET_SAVE) || (g_save_flags & DOC_SAVE_COPY);
    uint32_t added = 0;
    if (vm_state_flags(m_pBuffer, VM_OP_READ, DOC_ST_CREATED_EMPTY) || !DocOptionFlags(-1, 0x2))
        added |= DOC_SAVE_NO_BACKUP;
    if (DocOptionFlags(-1, 0x1)) added |= DOC_SAVE_TEMP_NAME;
    // The added bits hold for this save only, whoever called.
    SaveFlagsScope scope(g_save_flags | added);
    const uint32_t flags = g_save_flags;
    const bool auto_temp = (flags & (DOC_SAVE_AUTO | DOC_SAVE_TEMP_NAME)) == (DOC_SAVE_AUTO | DOC_SAVE_TEMP_NAME);
    if (quiet) replace = false;
    try {
        SETranslatorScope guard;
        if ((flags & DOC_SAVE_NOTICE) && g_hooks.saving_notice) g_hooks.saving_notice(path.c_str());
        // The save changes size and time: it must not look like a change on disk.
        DiskStateRecord(0);
        result = fw::Document::DoSave(path, replace);
        if (result && !quiet) {
            if (save_as) {
                vm_state_flags(m_pBuffer, VM_OP_SET, VM_ST_FULLY_READ);
                if (was_non_file) vmb_set_mode_bits(m_pBuffer, 1);
            }
            if (!auto_temp) vm_state_flags(m_pBuffer, VM_OP_CLEAR, DOC_ST_CREATED_EMPTY);
            if (flags & DOC_SAVE_CLOSING) return result;
            if (!auto_temp) {
                if (save_as) {
                    ApplyStyleSheet(0x3);
                    FreeExtraData();
                }
                int last = vm_last_ln(m_pBuffer);
                if (last > 0) vm_line_flags_range(m_pBuffer, 1, last, VM_OP_CLEAR, 0x3, !m_pComparedDoc);
                SetMissingReported(0);
            }
            UpdateAllViews(nullptr, DOC_HINT_SAVED);
        }
        if (result && (flags & DOC_SAVE_CLOSING)) return result;
        if (result && IsNamedFile() && !quiet && !auto_temp) {
            if (vms_flags(-1, VMS_F_KEEP_STREAM) && !IsViewMode() && !vmb_has_stream(m_pBuffer)) {
                std::string name = GetBufferName();
                if (vmb_Stream_OpenEx(m_pBuffer, name.c_str(), DOC_OPEN_RESTING, nullptr))
                    vmb_stream_reset(m_pBuffer);
                else
                    MsgOutId(QW_MSG_BOX, IDS_RELOCK_FAILED, name.c_str());
            }
            QueueDocInfoUpdate(this);
        }
    } catch (const se_translator::access_violation&) {
        MsgOut(QW_MSG_BOX | QW_MSG_SERIOUS,
               "An access exception error occured during file save.\n\nCopy and paste the file to another "
               "application and save it there.\n");
    } catch (...) {
        MsgOut(QW_MSG_BOX | QW_MSG_SERIOUS,
               "An unknown exception error occured during file save.\n\nCopy and paste the file to another "
               "application and save it there.\n");
    }
    return result;
}

bool CQWDoc::OnSaveDocument(const std::string& path) {
    if (!BeforeSave(path.c_str(), g_save_flags)) return false;
    int written = WriteBuffer(path.c_str(), g_save_flags);
    AfterSave(path.c_str(), g_save_flags, written);
    return written != 0;
}

int CQWDoc::BeforeSave(const char* path, uint32_t flags) {
    if (!g_hooks.fire_event) return 1;
    std::string old_path = fw::Document::GetPathName();
    std::string old_title = GetTitle();
    fw::Document::SetPathName(path, false);
    DocBeforeSaveEvent event{this, path, flags, GetActiveTextView(), m_pStyleSheet};
    int result = g_hooks.fire_event(this, DOC_EVENT_BEFORE_SAVE, &event);
    fw::Document::SetPathName(old_path, false);
    SetTitle(old_title);
    return result != 0;
}

int CQWDoc::WriteBuffer(const char* path, uint32_t flags) {
    uint32_t engine = VMB_SAVE_ALL | (flags & (VMB_SAVE_TEMP_ONLY | VMB_SAVE_NO_BACKUP | VMB_SAVE_TEMP_NAME));
    uint32_t result;
    if (g_hooks.write_file) {
        result = g_hooks.write_file(path, m_pBuffer, engine);
    } else {
        result = vmb_save(path, nullptr, nullptr, m_pBuffer, 1, 0, -1, -1, engine);
        if (result & VMB_SR_FAILURES) MsgOutId(QW_MSG_BOX, IDS_SAVE_ERROR, path);
    }
    return (result & VMB_SR_FAILURES) ? 0 : 1;
}

int CQWDoc::AfterSave(const char* path, uint32_t flags, int success) {
    if (success && !(flags & DOC_SAVE_AUTO)) {
        std::string ext = extension_of(path);
        char none_dictionary[QW_PATH_BUF] = "";
        GetLanguageDictionaryPath(none_dictionary, 21);
        std::string initials = extension_of(none_dictionary);
        if (!initials.empty() && StrEqualNoCase(ext.c_str(), initials.c_str()) &&
            StrEqualNoCase(name_to_underscore(path).c_str(), name_to_underscore(none_dictionary).c_str())) {
            ResetLanguageData(0x11);
        } else if (StrEqualNoCase(ext.c_str(), "c") || (!initials.empty() && StrEqualNoCase(ext.c_str(), initials.c_str()))) {
            if (g_hooks.keyboard_saved) g_hooks.keyboard_saved(path);
        }
    }
    DocAfterSaveEvent event{this, path, flags, success};
    return g_hooks.fire_event ? g_hooks.fire_event(this, DOC_EVENT_AFTER_SAVE, &event) : 1;
}

// ---- Names ------------------------------------------------------------------

void CQWDoc::SetPathName(const std::string& path, bool add_to_recent) {
    std::string target = path;
    if (is_engine_buffer_name(path.c_str())) target = GetBufferName();
    SetPathNameEx(target.c_str(), add_to_recent ? 1 : 0, 1);
}

int CQWDoc::SetPathNameEx(const char* path, int add_to_recent, int resolve) {
    if (!path || is_engine_buffer_name(path)) return 3;
    std::string target = path;
    if (!IsFileBuffer()) {
        target = PathFileName(path);
        add_to_recent = 0;
    } else if (resolve) {
        char full[QW_PATH_BUF];
        if (PathFullNameTrueCase(full, path)) target = full;
    }
    fw::Document::SetPathName(target, false);
    embedded = false;
    if (!IsFileBuffer() || m_Hidden) SetTitle(PathFileName(target.c_str()));
    if (add_to_recent && !m_Hidden)
        if (fw::Application* app = fw::Application::Current()) app->AddToRecentFileList(target);
    if (IsFileBuffer()) vmb_set_name(m_pBuffer, target.c_str());
    if (add_to_recent && !m_Hidden) return SaveBookmarks(0);
    return 1;
}

// ---- Command-level helpers ------------------------------------------------------

int CQWDoc::SaveByCommand() {
    SaveFlagsScope scope(0);
    if (DoFileSave()) return 1;
    MsgOutId(QW_MSG_STATUS_HOLD, IDS_SAVE_FAILED);
    return 0;
}

int CQWDoc::SaveIfModified() { return IsModified() ? SaveByCommand() : -1; }

int CQWDoc::SaveAsByCommand() {
    SaveFlagsScope scope(0);
    return DoSave(std::string(), true) ? 1 : 0;
}

int CQWDoc::SaveAndClose() {
    {
        SaveFlagsScope scope(DOC_SAVE_CLOSING);
        if (!DoFileSave()) return 0;
    }
    return CloseByCommand();
}

int CQWDoc::CloseByCommand() {
    SaveFlagsScope scope(DOC_SAVE_CLOSING);
    // The framework's file close: the last frame asks to save.
    if (!SaveModified()) return 0;
    OnCloseDocument();
    return 1;
}

int CQWDoc::DoFileSaveWithFlags(uint32_t flags) {
    SaveFlagsScope scope(flags);
    return DoFileSave() ? 1 : 0;
}

int CQWDoc::DoSaveWithFlags(const char* path, uint32_t flags) {
    SaveFlagsScope scope(flags);
    return DoSave(path ? path : "", true) ? 1 : 0;
}

// ---- Closing ----------------------------------------------------------------

bool CQWDoc::CanCloseFrame(fw::FrameWindow* frame) {
    if (!m_Hidden && g_hooks.can_close_document && !g_hooks.can_close_document(this)) return false;
    SaveFlagsScope scope(DOC_SAVE_CLOSING);
    return fw::Document::CanCloseFrame(frame);
}

void CQWDoc::OnCloseDocument() {
    if (!IsAppThread()) return;
    if (!IsTempBufferWithPath()) SaveBookmarks(1);
    bool keep = auto_delete;
    auto_delete = false;
    while (fw::View* v = GetFirstView()) {
        fw::FrameWindow* f = v->GetParentFrame();
        if (f && f->hwnd()) {
            PreCloseFrame(f);
            f->DestroyWindow();
        }
        if (GetFirstView() == v) RemoveView(v);
    }
    auto_delete = keep;
    if (IsModified()) QueueForBrowser(0);
    DeleteContents();
    if (auto_delete) delete this;
}

// ---- Bookmarks --------------------------------------------------------------

int CQWDoc::SaveBookmarks(int closing) {
    std::string path = fw::Document::GetPathName();
    if (!IsNamedFile() || path.empty() || !g_hooks.history_add) return 0;
    std::string numbered = g_hooks.numbered_text ? g_hooks.numbered_text(this, closing) : std::string();
    std::string lines = EncodeBookmarkLines(m_pBuffer);
    return g_hooks.history_add(path.c_str(), numbered.c_str(), lines.c_str());
}

int CQWDoc::RestoreBookmarks(const char* path) {
    std::string key = path ? path : fw::Document::GetPathName();
    if (key.empty()) key = GetBufferName();
    std::string numbered, lines;
    if (key.empty() || !g_hooks.history_find || !g_hooks.history_find(key.c_str(), &numbered, &lines)) return 0;
    if (m_pBookmarks && g_hooks.numbered_restore) g_hooks.numbered_restore(this, numbered.c_str());
    return DecodeBookmarkLines(m_pBuffer, lines) >= 0 ? 1 : 0;
}

void RestoreAllDocumentBookmarks() {
    ForEachDocument(
        DOC_TEMPLATE_TEXT,
        [](CQWDoc* d, void*, void*) {
            if (!d->IsHidden() && d->GetBookmarkTable()) d->RestoreBookmarks(nullptr);
            return 1;
        },
        nullptr, nullptr);
}

int SaveFlaggedDocuments(CQWDoc* doc) {
    auto flagged = [](CQWDoc* d) {
        return d->IsNamedFile() && has_text_view(d) && d->TestFlag8();
    };
    if (!doc)
        doc = ForEachDocument(
            DOC_TEMPLATE_TEXT, [](CQWDoc* d, void* f, void*) { return (*static_cast<decltype(flagged)*>(f))(d) ? 0 : 1; },
            &flagged, nullptr);
    if (!doc || !flagged(doc)) return 0;
    return doc->DoFileSaveWithFlags(DOC_SAVE_AUTO | DOC_SAVE_NOTICE);
}
