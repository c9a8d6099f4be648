#pragma once
// Saving, closing and the bookmarks kept with each file, and the services
// of other parts the document's life cycle calls (all optional).
//
// Save-flags word: set by a caller around one save, 0 at rest.
#include <cstdint>
#include <string>

struct VMB;
class CQWDoc;
namespace fw { class View; }

enum : uint32_t {
    DOC_SAVE_CLOSING = 0x1,
    DOC_SAVE_AUTO = 0x2,       // no read-only check, no Save As prompt, no after-work
    DOC_SAVE_NO_BACKUP = 0x4,
    DOC_SAVE_TEMP_NAME = 0x8,  // write a temporary name (with 0x2: the copy only)
    DOC_SAVE_COPY = 0x100,     // the document keeps its name and state
    DOC_SAVE_NOTICE = 0x1000,  // saving notice on the status bar
};

enum : int {
    DOC_EVENT_BEFORE_SAVE = 16,  // a zero result vetoes the save
    DOC_EVENT_AFTER_SAVE = 32,
    DOC_HINT_RELOADED = 33,
    DOC_HINT_SAVED = 65,
    DOC_LF_BOOKMARK = 0x4,       // line flag of a bookmarked line
};

struct DocBeforeSaveEvent {
    CQWDoc* document;
    const char* path;
    uint32_t save_flags;
    fw::View* view;
    const void* style_sheet;
};
struct DocAfterSaveEvent {
    CQWDoc* document;
    const char* path;
    uint32_t save_flags;
    int success;
};

struct DocLifecycleHooks {
    // A yes/no question the user may have told not to ask again (`key`
    // names it; null key: always asked). Answers IDYES / IDNO. Null: the
    // replaceable message box.
    int (*ask_named)(const char* key, const char* caption, const char* text);
    // Document events that answer (16 before a save, 32 after). Null: 1.
    int (*fire_event)(CQWDoc* doc, int event, const void* record);
    // The per-file history: the numbered bookmarks as text and the
    // bookmarked lines' text, stored and found by path.
    int (*history_add)(const char* path, const char* numbered, const char* lines);
    int (*history_find)(const char* path, std::string* numbered, std::string* lines);
    // The document's numbered bookmarks as text (closing: the caret is
    // kept as bookmark 12 first) and their restore.
    std::string (*numbered_text)(CQWDoc* doc, int closing);
    void (*numbered_restore)(CQWDoc* doc, const char* text);
    // The buffer write that reports each failure bit. Null: the engine's
    // save with one message on failure.
    uint32_t (*write_file)(const char* path, VMB* buffer, uint32_t flags);
    // Whether the main frame lets the document close. Null: yes.
    int (*can_close_document)(CQWDoc* doc);
    // After a successful save: a keyboard definition or macro source saved.
    void (*keyboard_saved)(const char* path);
    // The choice menu for a file that is already open (string 1090 or
    // 1091): the chosen index, -1 when dismissed. Null: dismissed.
    int (*choose_open_copy)(unsigned menu_string);
    // Whether a child process (a compile) runs.
    int (*child_process_running)();
    // The status-bar notice while saving.
    void (*saving_notice)(const char* path);
};
void SetDocLifecycleHooks(const DocLifecycleHooks* hooks);
const DocLifecycleHooks& DocLifecycle();
// The named question through the hook or the message box.
int DocAskNamed(const char* key, const char* caption, const char* text);

uint32_t GetSaveFlags();
void SetSaveFlags(uint32_t flags);

// Saves one named file document that carries state flag 0x8 (the given one,
// else the first such) as an automatic save.
int SaveFlaggedDocuments(CQWDoc* doc);
void RestoreAllDocumentBookmarks();

// The bookmarked lines of a buffer as text and back (empty: none).
std::string EncodeBookmarkLines(VMB* buffer);
// Sets the bookmark flag on every listed line; the number of lines set, -1
// when the text cannot be decoded.
int DecodeBookmarkLines(VMB* buffer, const std::string& text);
