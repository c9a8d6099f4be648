#pragma once
// The editor's document: one per open file, named internal buffer or
// attached engine buffer. It owns no text: it holds the engine buffer, binds
// itself to it as its owner, chooses the buffer's style sheet, and maps the
// framework's path, title and modified state onto the buffer's name and
// state flags, so that every view of the document and the engine see one
// state.
//
// Open-mode word: the low 16 bits are file-open flags handed to the
// engine's stream open; the high bits are the DOC_OPEN_* bits below.
#include <cstdint>
#include <string>
#include <vector>

#include "editor/fileinfo.h"
#include "framework/fwdoc.h"

struct VMB;
class CStyleSheet;
class CQWDoc;

enum : uint32_t {
    DOC_OPEN_READWRITE = 0x2,
    DOC_OPEN_DENY_WRITE = 0x20,
    DOC_OPEN_SHARE_ALL = 0x40,
    DOC_OPEN_CREATE = 0x1000,
    DOC_OPEN_NO_REPORT = 0x10000,     // no not-found message and no error report
    DOC_OPEN_OFFER_CREATE = 0x20000,  // offer to create a missing file
    DOC_OPEN_QUIET = 0x40000,         // no question, no report (with 0x20000: create)
    DOC_OPEN_NO_READONLY = 0x80000,   // no read-only fallback when writing is refused
    DOC_OPEN_HIDDEN = 0x100000,       // hidden document, no recent-file entry
    DOC_OPEN_NO_BOOKMARKS = 0x200000, // do not restore the file's bookmarks
    DOC_OPEN_EDITOR_BITS = 0x7FF0000,
    DOC_OPEN_RESTING = 0x22,          // the open mode between opens
};

// Buffer state flags the document reads and writes (the others are the
// engine's: 0x100 read to the end, 0x200 final line break, 0x400 LF ends).
enum : uint32_t {
    DOC_ST_EDITED = 0x1,
    DOC_ST_SAVE_FLAGGED = 0x8,
    DOC_ST_REMOVE_BACKUP = 0x10,
    DOC_ST_VIEW_MODE = 0x20,
    DOC_ST_CREATED_EMPTY = 0x1000,    // created empty on open; deleted unless saved
    DOC_ST_IDLE_WORK = 0x8000,
    DOC_ST_TYPED = 0x20000,
    DOC_ST_LOCK_RELEASED = 0x40000,
    DOC_ST_WAS_VIEW_MODE = 0x80000,
};

enum : int {
    DOC_TEMPLATE_TEXT = 131,
    DOC_TEMPLATE_OUTPUT = 132,
    DOC_HINT_STYLE = 1,               // view update hints
    DOC_HINT_CLEARED = 4,
    DOC_HINT_LEXICAL = 128,
    DOC_EVENT_OPENED = 8,
};

// The opened event's record.
struct DocOpenedEvent {
    CQWDoc* document;
    const char* path;
    uint32_t open_mode;
    int hidden;
};

// The services of other parts the document calls; each may be null.
struct QWDocHooks {
    // Document events of interpreter programs (8 opened).
    void (*fire_event)(CQWDoc* doc, int event, const void* record);
    // View flag word of a view (0x1: a view of a hidden open); the current
    // active text view; hides the mouse pointer while typing.
    unsigned (*view_flags)(fw::View* view);
    fw::View* (*current_text_view)();
    void (*hide_pointer)(fw::View* view);
    // Numbered-bookmark table of a document: create and free.
    void* (*bookmarks_create)(CQWDoc* doc);
    void (*bookmarks_free)(void* table);
    void (*restore_bookmarks)(CQWDoc* doc);
    // The document-information worker and the source browser.
    void (*queue_doc_info)(CQWDoc* doc);
    int (*browser_queue)(const char* path, int partial);
    int (*browser_queue_file_id)(void* database, int file_id);
    int (*is_browsable_language)(int language);
    void (*browser_build)(int start);
    // Refills a context list of the active view (kinds 102, 103).
    void (*refill_context_list)(CQWDoc* doc, int kind);
    // Seconds on the start-up stopwatch.
    int (*stopwatch)();
};
void SetQWDocHooks(const QWDocHooks* hooks);

class CQWDoc : public fw::Document {
    FW_DECLARE_DYNCREATE(CQWDoc)
public:
    CQWDoc();
    ~CQWDoc() override;

    // ---- Framework slots ----
    bool IsModified() override;
    void SetModifiedFlag(bool modified = true) override;
    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& path) override;
    void OnIdle() override;
    // The document's template resource (the text template when it has none).
    int TemplateId() const;

    // ---- The buffer ----
    VMB* GetBuffer() const { return m_pBuffer; }
    std::string GetBufferName() const;
    // The framework path for a named file, else the buffer's name.
    std::string GetPathName() const;
    int IsFileBuffer() const;
    int IsUnnamedFile() const;
    int IsNamedFile() const;
    int IsTempBufferWithPath() const;
    int IsEdited() const;
    int IsViewMode() const;
    int TestFlag8() const;
    int TestFlag40() const;
    // For a named file the read-only attribute of its path (-1 missing), else 0.
    int FileReadOnlyState() const;
    int GotoLine(int line, int column);
    int LineFlags(int line, int count, int mask, int op);
    void ClearContents();

    // ---- Opening ----
    int OpenWithMode(const char* path, uint32_t mode);
    int LoadFile(const char* path, uint32_t mode);
    int AttachNewBuffer(uint32_t type, const char* name, uint32_t flags);
    int BindBuffer(VMB* buffer);
    void FinishOpen(const char* path, uint32_t mode);
    void ReleaseBuffer();

    // ---- Saving, closing and bookmarks (docsave.cpp) ----
    bool DoFileSave() override;
    // An empty path is "Save As".
    bool DoSave(const std::string& path, bool replace = true) override;
    bool OnSaveDocument(const std::string& path) override;
    void SetPathName(const std::string& path, bool add_to_recent = true) override;
    bool CanCloseFrame(fw::FrameWindow* frame) override;
    void OnCloseDocument() override;
    int SetPathNameEx(const char* path, int add_to_recent, int resolve);
    int BeforeSave(const char* path, uint32_t flags);
    int WriteBuffer(const char* path, uint32_t flags);
    int AfterSave(const char* path, uint32_t flags, int success);
    int SaveByCommand();
    int SaveIfModified();
    int SaveAsByCommand();
    int SaveAndClose();
    int CloseByCommand();
    int DoFileSaveWithFlags(uint32_t flags);
    int DoSaveWithFlags(const char* path, uint32_t flags);
    int SaveBookmarks(int closing);
    int RestoreBookmarks(const char* path);
    void* GetBookmarkTable() const { return m_pBookmarks; }

    // ---- Modes, locking and reload (docmodes.cpp) ----
    int ToggleEditMode(int quiet);
    int MakeEditable(uint32_t* error_out);
    int MakeReadOnly();
    int ReloadDoc(int how, int relock, int* exists_out, int* reloaded_out, int ask, int force);
    int ReloadDocument(uint32_t mode);
    int Relock(uint32_t mode, const char* name);
    int DiskImageChanged(int* exists_out, int force);
    // op 0 resets the record (and drops a named file's map entry), -1 reads
    // it (null when nothing is recorded).
    const DocDiskState* DiskStateRecord(int op);
    // Called by the file-information worker under the engine's lock.
    void SetDiskState(const DocDiskState& state) { m_DiskState = state; }

    // ---- View notification (docread.cpp) ----
    // Posts the deferred-update request (hint) to every view but `except`;
    // callable from any thread.
    void PostToViews(fw::View* except, int hint);
    // OnUpdate on every view but the sender; UI thread only.
    void UpdateViewsExcept(fw::View* sender, int hint, fw::Object* object);
    // Renews the window list PostToViews uses off the UI thread.
    void RefreshViewWindows();
    void OnChangedViewList() override;

    // ---- Style sheet and language ----
    // flags 0x1 and 0x2 choose, 0x10 notifies the views.
    void ApplyStyleSheet(unsigned flags);
    void SetStyleSheetByName(const char* name, int refresh);
    void RefreshLanguage();
    CStyleSheet* GetStyleSheet() const { return m_pStyleSheet; }
    const std::string& GetStyleSheetName() const { return m_StyleSheetName; }
    int GetTabWidth() const;
    // The style sheet's specification index; -2 without one or while unresolved.
    int GetLanguage() const;

    // ---- Small state ----
    int IsHidden() const { return m_Hidden; }
    void SetHidden(int hidden) { m_Hidden = hidden ? 1 : 0; }
    int IsMissingReported() const { return m_MissingReported; }
    void SetMissingReported(int reported) { m_MissingReported = reported ? 1 : 0; }
    fw::View* GetComparisonView() const { return m_pComparisonView; }
    void SetComparisonView(fw::View* view) { m_pComparisonView = view; }
    CQWDoc* GetComparedDocument() const { return m_pComparedDoc; }
    void SetComparedDocument(CQWDoc* doc) { m_pComparedDoc = doc; }
    int GetViewCount() const { return static_cast<int>(views().size()); }
    fw::View* GetFirstTextView() const;
    fw::View* GetFirstView() const;
    fw::View* GetActiveTextView() const;
    void SetSourceDBLink(void* database, int file_id);
    void FreeExtraData();
    void QueueForBrowser(int start);
    int IsBrowserQueued() const { return m_BrowserQueued; }

private:
    struct SourceDBLink {
        void* database;
        int file_id;
    };
    VMB* m_pBuffer = nullptr;
    CStyleSheet* m_pStyleSheet = nullptr;
    void* m_pBookmarks = nullptr;
    std::string m_StyleSheetName;
    int32_t m_Hidden = 0;
    uint8_t m_MissingReported = 0;
    fw::View* m_pComparisonView = nullptr;
    SourceDBLink* m_pSourceDB = nullptr;
    uint8_t m_BrowserQueued = 0;
    CQWDoc* m_pComparedDoc = nullptr;
    DocDiskState m_DiskState;
    std::vector<void*> m_ViewWindows;  // window handles PostToViews uses
};

// The view flag word of a view (0x1: a view of a hidden open), 0 without the hook.
unsigned DocViewFlags(fw::View* view);

// ---- Module state -----------------------------------------------------------
uint32_t GetOpenMode();
void SetOpenMode(uint32_t mode);
// op 1 sets the bits (returns the set bits of mask), 0 clears, others read.
uint32_t DocOptionFlags(int op, uint32_t mask);
void SetNewDocStyleSheetName(const char* name);
std::string GetNewDocStyleSheetName();
// Signalled whenever a document's file is not yet read to its end; the
// document read thread waits on it (a Win32 event handle).
void* GetDocReadEvent();

// Opens a file into a buffer (a new one when null) with the open-mode
// fallbacks: read-only on a refused write, an offer to create a missing
// file. The buffer, or null; *cause gets the failure's file-exception cause.
VMB* OpenFileIntoBuffer(VMB* buffer, const char* path, uint32_t mode, int* cause);
// The language of the buffer's owning document; -2 when none.
int GetBufferLanguage(VMB* buffer);

// ---- Walkers (documents of the application's template, in their order) -------
using DocCallback = int (*)(CQWDoc* doc, void* a, void* b);
CQWDoc* ForEachDocument(int template_id, DocCallback callback, void* a, void* b);
CQWDoc* FindDocumentByPath(const char* path, fw::View** view_out);
CQWDoc* FindOtherDocumentWithView(CQWDoc* doc);
CQWDoc* FindBufferlessViewOnlyDocument();
int ListOpenDocuments(VMB* list);
CQWDoc* FindDocumentUsingStyleSheet(const char* name);
void FreeAllDocumentsExtraData();
void UpdateAllFrameCounts();

// Every open editor document over a file re-applies its style sheet (after
// the language data or the style sheets were reset).
void ReapplyDocumentStyleSheets();

// Installs the engine's language source (lexical scan) over the documents.
void InstallDocumentLanguageSource();
