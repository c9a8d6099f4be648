// Document modes, locking and reload.
#include "editor/docmodes.h"

#include <windows.h>

#include <string>

#include "editor/docsave.h"
#include "editor/fileinfo.h"
#include "editor/qwdoc.h"
#include "framework/fwfile.h"
#include "opsys/msgout.h"
#include "opsys/paths.h"
#include "opsys/shell_outlets.h"
#include "opsys/strlib.h"
#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"

namespace {

enum : unsigned {
    IDS_EDITED_NO_VIEW = 44,
    IDS_UNLOCKED_COMPILE = 51,
    IDS_UNLOCKED_TASK = 112,
    IDS_MUST_SAVE_UNLOCK = 324,
    IDS_UNLOCKED = 325,
    IDS_REFRESHED = 326,
    IDS_CANT_RELOCK = 327,
    IDS_IGNORED = 329,
    IDS_NO_LONGER_EXISTS = 330,
    IDS_MODIFIED_CAPTION = 331,
    IDS_MODIFIED = 332,
    IDS_MODIFIED_EDITED = 333,
    IDS_TOGGLE_FAILED = 1475,
};

constexpr uint32_t kUnlockMarks = DOC_ST_LOCK_RELEASED | DOC_ST_WAS_VIEW_MODE;

struct RelockClock {
    UINT_PTR timer = 0;
    DWORD started = 0;
    int forced = 0;
    bool running = false;
} g_clock;
int g_try_editable = 1;

DWORD since_start() { return GetTickCount() - g_clock.started; }

std::string load(unsigned id) {
    char text[1024];
    return LoadAppString(id, text, sizeof text) ? text : "";
}

void clear_unlock_marks(CQWDoc* doc) { vm_state_flags(doc->GetBuffer(), VM_OP_CLEAR, kUnlockMarks); }

// Reads the rest of the file into the buffer and lets go of the file.
void release_file(VMB* buffer) {
    vm_lock(1);
    vm_read_lines(buffer, 0xFFFFFFFFu);
    vmb_stream_close(buffer);
    vm_lock(0);
}

bool matches(const DocBatchOptions& o, CQWDoc* d) {
    if (o.mode != 2) return true;
    const char* file = PathFileName(d->GetPathName().c_str());
    const char* dot = strrchr(file, '.');
    const char* want = o.extension ? o.extension : "";
    return dot ? StrEqualNoCase(dot + 1, want) != 0 : *want == 0;
}

bool visible_file(CQWDoc* d) { return d->IsFileBuffer() && !d->IsHidden() && d->GetFirstTextView(); }

int relock_document(CQWDoc* d) {
    if (!vm_state_flags(d->GetBuffer(), VM_OP_READ, DOC_ST_LOCK_RELEASED)) return 0;
    int was_view = vm_state_flags(d->GetBuffer(), VM_OP_READ, DOC_ST_WAS_VIEW_MODE) != 0;
    int how = !was_view ? 1 : (g_try_editable ? 2 : 0);
    int ask = d->IsEdited() || g_clock.forced;
    int exists = 0, reloaded = 0;
    int r = d->ReloadDoc(how, 1, &exists, &reloaded, ask, 0);
    std::string path = d->GetPathName();
    if (r == 0) {
        if (since_start() < 25000) return 1;
        clear_unlock_marks(d);
        if (how == 1 && d->IsViewMode()) MsgOutId(QW_MSG_BOX | QW_MSG_INFO, IDS_CANT_RELOCK, path.c_str());
        return 0;
    }
    if (exists) {
        clear_unlock_marks(d);
        if (reloaded) MsgOutId(QW_MSG_STATUS, IDS_REFRESHED, path.c_str());
        else MsgOutId(QW_MSG_STATUS_HOLD, IDS_IGNORED, path.c_str());
        return 0;
    }
    if (since_start() < 750) return 1;
    clear_unlock_marks(d);
    if (!d->IsMissingReported()) {
        MsgOutId(QW_MSG_BOX | QW_MSG_INFO, IDS_NO_LONGER_EXISTS, path.c_str());
        d->SetMissingReported(1);
    }
    return 0;
}

void CALLBACK relock_timer(HWND, UINT, UINT_PTR, DWORD) { RelockTick(); }

}  // namespace

void SetTryMakeEditable(int on) { g_try_editable = on ? 1 : 0; }

// ---- CQWDoc ---------------------------------------------------------------------

const DocDiskState* CQWDoc::DiskStateRecord(int op) {
    if (op == 0) {
        vm_lock(1);
        m_DiskState = DocDiskState{};
        vm_lock(0);
        if (IsNamedFile()) RemoveFileInfo(GetBufferName().c_str());
        return &m_DiskState;
    }
    if (op == -1) return m_DiskState.Recorded() ? &m_DiskState : nullptr;
    return nullptr;
}

int CQWDoc::DiskImageChanged(int* exists_out, int force) {
    int exists = 0;
    int changed = 0;
    vm_lock(1);
    DocDiskState recorded = m_DiskState;
    vm_lock(0);
    std::string name = GetBufferName();
    if (!recorded.Recorded()) {
        changed = 0;
    } else if (force) {
        DocDiskState now;
        exists = ReadDiskState(name.c_str(), &now, nullptr);
        changed = !exists || !now.SameAs(recorded);
    } else {
        DocDiskState now;
        std::string true_case;
        if (!GetFileInfoAsync(name.c_str(), &now, &true_case, &exists)) {
            exists = 1;
        } else if (exists) {
            changed = !now.SameAs(recorded);
            if (!true_case.empty() && true_case != name && StrEqualNoCase(true_case.c_str(), name.c_str()))
                SetPathNameEx(true_case.c_str(), 0, 0);
        } else {
            changed = 1;
        }
    }
    if (exists_out) *exists_out = exists;
    return changed;
}

int CQWDoc::ToggleEditMode(int quiet) {
    if (!vmb_in_use(m_pBuffer)) return -1;
    if (m_Hidden) {
        MsgOut(QW_MSG_BOX | (QW_MB_ICONERROR << 16),
               "An internal error has occured and this document can't be toggled into edit mode.\n\nWe hope to "
               "have this problem resolved soon.\n\nRestart QW now, or at a minimum close and reopen this file.");
        return IsViewMode();
    }
    if (!IsNamedFile()) {
        vm_state_flags(m_pBuffer, IsViewMode() ? VM_OP_CLEAR : VM_OP_SET, DOC_ST_VIEW_MODE);
        return IsViewMode();
    }
    if (!IsViewMode()) {
        if (IsEdited()) {
            MsgOutId(QW_MSG_STATUS_HOLD, IDS_EDITED_NO_VIEW);
            return 0;
        }
        vm_state_flags(m_pBuffer, VM_OP_SET, DOC_ST_VIEW_MODE);
        release_file(m_pBuffer);
        clear_unlock_marks(this);
        return 1;
    }
    if (!quiet && vm_state_flags(m_pBuffer, VM_OP_READ, DOC_ST_LOCK_RELEASED) && !g_clock.running) {
        int compile = DocLifecycle().child_process_running && DocLifecycle().child_process_running();
        std::string text = load(compile ? IDS_UNLOCKED_COMPILE : IDS_UNLOCKED_TASK);
        if (DocAskNamed(nullptr, "QW", text.c_str()) != IDYES) return 1;
        clear_unlock_marks(this);
    }
    int exists = 0, reloaded = 0;
    std::string path = GetPathName();
    if (ReloadDoc(1, quiet, &exists, &reloaded, 0, 1) == 1 && !exists && !quiet)
        MsgOutId(QW_MSG_BOX | QW_MSG_INFO, IDS_NO_LONGER_EXISTS, path.c_str());
    clear_unlock_marks(this);
    return IsViewMode();
}

int CQWDoc::MakeEditable(uint32_t* error_out) {
    std::string path = GetPathName();
    DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        MsgOut(QW_MSG_LOG | QW_MSG_BOX,
               "KV: %s\nIn CQWDoc::MakeEditable() and GetFileAttributes() failed with Error: %x for File: %s",
               __FILE__, static_cast<unsigned>(GetLastError()), path.c_str());
        if (error_out) *error_out = 0xFFFFFFFFu;
        return 0;
    }
    if (error_out) *error_out = 1;
    if (!(attrs & FILE_ATTRIBUTE_READONLY)) return 0;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ToggleEditMode(0);
    if (IsViewMode()) {
        SetFileAttributesA(path.c_str(), attrs);
        return 0;
    }
    return 1;
}

int CQWDoc::MakeReadOnly() {
    std::string path = GetPathName();
    DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return 0;
    return SetFileAttributesA(path.c_str(), attrs | FILE_ATTRIBUTE_READONLY) ? 1 : 0;
}

int CQWDoc::ReloadDoc(int how, int relock, int* exists_out, int* reloaded_out, int ask, int force) {
    int exists = 0;
    if (reloaded_out) *reloaded_out = 0;
    std::string name = GetBufferName();
    if (m_Hidden)
        MsgOut(QW_MSG_LOG | QW_MSG_SERIOUS, "KV: In CQWDoc::ReloadDoc() and Doc: %s IsHidden at Start.", name.c_str());
    uint32_t mode = how ? DOC_OPEN_RESTING : DOC_OPEN_SHARE_ALL;
    if (relock) mode |= DOC_OPEN_NO_REPORT | DOC_OPEN_QUIET;
    int changed = DiskImageChanged(&exists, force);
    if (exists_out) *exists_out = exists;
    if (!changed) {
        if (how == 1 && IsViewMode() && (force || since_start() >= 750)) Relock(mode, name.c_str());
        return 0;
    }
    if (!exists) return 1;
    clear_unlock_marks(this);
    // Unsaved edits are never dropped without the user's answer.
    if (ask || IsEdited()) {
        char text[2048];
        std::string format = load(IsEdited() ? IDS_MODIFIED_EDITED : IDS_MODIFIED);
        snprintf(text, sizeof text, format.c_str(), name.c_str());
        std::string caption = load(IDS_MODIFIED_CAPTION);
        if (DocAskNamed(nullptr, caption.c_str(), text) != IDYES) {
            if (how == 1 && IsViewMode()) Relock(mode, name.c_str());
            // The new disk state is recorded, so the question is not asked again.
            QueueDocInfoUpdate(this);
            return 1;
        }
    }
    ReloadDocument(mode);
    if (reloaded_out) *reloaded_out = 1;
    return 1;
}

int CQWDoc::ReloadDocument(uint32_t mode) {
    SaveBookmarks(0);
    QueueForBrowser(0);
    std::string name = GetBufferName();
    vm_lock(1);
    vmb_stream_close(m_pBuffer);
    vm_clear(m_pBuffer, 0);
    vm_state_flags(m_pBuffer, VM_OP_CLEAR, 0xF20 | DOC_ST_EDITED);
    vm_lock(0);
    // Outside the lock: the open queues pool work that itself takes the lock.
    LoadFile(name.c_str(), mode);
    if (m_Hidden)
        MsgOut(QW_MSG_LOG | QW_MSG_SERIOUS, "KV: In CQWDoc::ReloadDocument()() and Doc: %s IsHidden after OnOpenDocument().",
               name.c_str());
    if (IsAppThread()) UpdateViewsExcept(nullptr, DOC_HINT_RELOADED, nullptr);
    else PostToViews(nullptr, DOC_HINT_RELOADED);
    return 1;
}

int CQWDoc::Relock(uint32_t mode, const char* name) {
    int cause = 0;
    vm_lock(1);
    vm_read_lines(m_pBuffer, 0xFFFFFFFFu);
    vmb_stream_close(m_pBuffer);
    vm_state_flags(m_pBuffer, VM_OP_CLEAR, DOC_ST_VIEW_MODE);
    bool opened = OpenFileIntoBuffer(m_pBuffer, name, mode | DOC_OPEN_NO_REPORT | DOC_OPEN_QUIET, &cause) != nullptr;
    bool refused = !opened && (cause == fw::FileException::kSharingViolation || cause == fw::FileException::kAccessDenied);
    // The text was read before and is unchanged by the reopen; a refused
    // write makes the reopen fall back to view mode.
    if (opened && vms_flags(-1, VMS_F_KEEP_STREAM) && !IsViewMode()) vmb_stream_reset(m_pBuffer);
    else vmb_stream_close(m_pBuffer);
    vm_state_flags(m_pBuffer, VM_OP_SET, VM_ST_FULLY_READ);
    if (!opened) vm_state_flags(m_pBuffer, VM_OP_SET, DOC_ST_VIEW_MODE);
    vm_lock(0);
    if (refused) {
        fw::FileException(cause, 0, name ? name : "").ReportError(MB_ICONEXCLAMATION, fw::kIdsFailedToOpenDocument);
        clear_unlock_marks(this);
        return 0;
    }
    if (!opened || IsViewMode()) return 0;
    // Locked again: done, unless the file changed since it was read, which
    // the next check reloads.
    DocDiskState now;
    if (name && ReadDiskState(name, &now, nullptr) && m_DiskState.Recorded() && now.SameAs(m_DiskState))
        clear_unlock_marks(this);
    return 1;
}

// ---- Batch calls ------------------------------------------------------------------

int SaveEditedDocuments(const DocBatchOptions& options, CQWDoc* doc) {
    StopRelockTimer();
    struct Walk {
        const DocBatchOptions* o;
        int result = 1;
    } walk{&options};
    auto step = [](CQWDoc* d, void* w, void*) {
        auto* k = static_cast<Walk*>(w);
        if (!d->IsEdited() || !visible_file(d) || !matches(*k->o, d)) return 1;
        uint32_t flags = 0;
        if (d->IsUnnamedFile()) {
            if (!k->o->include_unnamed && !d->TestFlag8()) return 1;
            if (!k->o->include_unnamed) flags = DOC_SAVE_AUTO | DOC_SAVE_NO_BACKUP;
        }
        if (d->DoFileSaveWithFlags(flags)) return 1;
        k->result = 0;
        return k->o->continue_after_failure ? 1 : 0;
    };
    if (options.mode == 1) {
        if (doc) step(doc, &walk, nullptr);
    } else {
        ForEachDocument(DOC_TEMPLATE_TEXT, step, &walk, nullptr);
    }
    return walk.result;
}

int UnlockDocuments(const DocBatchOptions& options, CQWDoc* doc) {
    StopRelockTimer();
    auto step = [](CQWDoc* d, void* o, void*) {
        auto* opt = static_cast<const DocBatchOptions*>(o);
        if (!d->IsNamedFile() || !visible_file(d) || !matches(*opt, d) || !vmb_has_content(d->GetBuffer())) return 1;
        VMB* b = d->GetBuffer();
        std::string path = d->GetPathName();
        if (d->IsViewMode()) {
            release_file(b);
            if (!vm_state_flags(b, VM_OP_READ, DOC_ST_LOCK_RELEASED)) vm_state_flags(b, VM_OP_SET, kUnlockMarks);
            return 1;
        }
        if (opt->mode == 0) {
            vm_state_flags(b, VM_OP_SET, DOC_ST_LOCK_RELEASED);
            return 1;
        }
        if (d->IsEdited()) {
            MsgOutId(QW_MSG_STATUS_HOLD, IDS_MUST_SAVE_UNLOCK, path.c_str());
            return 0;
        }
        if (d->ToggleEditMode(1) > 0) {
            vm_state_flags(b, VM_OP_SET, DOC_ST_LOCK_RELEASED);
            MsgOutId(QW_MSG_STATUS, IDS_UNLOCKED, path.c_str());
            return 1;
        }
        MsgOutId(QW_MSG_BOX, IDS_TOGGLE_FAILED, PathFileName(path.c_str()));
        return 0;
    };
    if (options.mode == 1) return doc ? step(doc, const_cast<DocBatchOptions*>(&options), nullptr) : 0;
    return ForEachDocument(DOC_TEMPLATE_TEXT, step, const_cast<DocBatchOptions*>(&options), nullptr) ? 0 : 1;
}

void StartRelockTimer(int forced) {
    g_clock.forced = forced;
    ClearFileInfoMap();
    StopRelockTimer();
    g_clock.started = GetTickCount();
    g_clock.running = true;
    g_clock.timer = SetTimer(nullptr, 0, 250, relock_timer);
}

void StopRelockTimer() {
    if (g_clock.timer) KillTimer(nullptr, g_clock.timer);
    g_clock.timer = 0;
    g_clock.running = false;
}

int RelockTick() {
    if (since_start() >= 30000) {
        StopRelockTimer();
        return 0;
    }
    int waiting = 0;
    ForEachDocument(
        DOC_TEMPLATE_TEXT,
        [](CQWDoc* d, void* n, void*) {
            *static_cast<int*>(n) += relock_document(d);
            return 1;
        },
        &waiting, nullptr);
    return waiting;
}
