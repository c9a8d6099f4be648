#pragma once
// Command lists: the list buffers that belong to commands (file history,
// find history, open windows, style-sheet names, ...) as dialogs, combo
// boxes and toolbar list controls show them; the stamp lists of initials,
// date and time; and the names of documents that are buffers, not files.
//
// A command's list is either kept (a history that lives across calls) and
// copied into the target, or built afresh into the target on each call by
// its builder. Builders that need layers above this one (style sheets, the
// open windows) are installed by those layers.
#include <cstdint>

#include "VmEngine/vm.h"

// K_cmd_make_list flags.
enum : unsigned {
    KL_NO_KEPT = 0x1,    // a kept list gives no list (-1)
    KL_DIRECT = 0x2,     // the source list itself is the result, no copy
    KL_REVERSE = 0x4,    // copy in reverse order
    KL_DISPLAY_CUT = 0x8 // cut each line as the list shows it
};

// Results besides an entry count.
enum : int { KL_NONE = -1, KL_NO_EDIT_VIEW = -2 };

// The record a list-building program receives in place of a command record.
struct K_list_request {
    uint32_t tag;  // 0x5F1967EA
    int32_t id;    // the command whose list is built
    VMB* list;     // the target list buffer
    uint32_t flags;
};

// Builds command `id`'s list into `target` (already emptied); the number of
// entries, KL_NO_EDIT_VIEW when it needs an editable view and there is none.
using K_list_builder = int (*)(int id, VMB* target, unsigned flags);
// Installs the builder of a per-call list (null removes it); the previous one.
K_list_builder K_cmd_set_list_builder(int id, K_list_builder fn);
// Whether an editable view has the focus (the include-file and function
// lists are built from it). Installed by the editor; none: no view.
void K_cmd_set_list_view_test(int (*has_edit_view)());

// The entry count of the resulting list, KL_NONE when there is none, or
// KL_NO_EDIT_VIEW. `name` names the target (null: "DispList"); *out gets the
// list buffer when asked.
int K_cmd_make_list(int id, unsigned flags, const char* name, VMB** out);
// The command's list buffer (opened or created), or null for a command
// without a list. *limit and *per_call (each optional) are set.
VMB* K_cmd_list_source(int id, int* limit, int* per_call);
// How many tab-separated fields of a line the command's list shows: 1 or 2,
// 0 for whole lines.
int K_cmd_list_display_func(int id);
// Copies `source` into `target` as step 3 of K_cmd_make_list does; the
// number of lines copied.
int K_cmd_list_copy(VMB* target, VMB* source, unsigned flags, int id);
// Looks `text` (null: the command's string value) up in `list` (null: the
// existing "DispList", else -1). With "DispList" the line found becomes
// current and is returned; with a given list the result is 0.
int K_cmd_list_add(int id, VMB* list, const char* text);

// The stamp lists "Buffer i", "Buffer d" and "Buffer t" (any case).
int IsStampListBufferName(const char* name);
// Fills the stamp list of that name with one line (initials, today's short
// date, the time) and returns it; null for other names.
VMB* FillStampListBuffer(const char* name);

// 1 pseudo name ending in "(" (or "( "), 2 "buffer x" (the first eight
// characters copied out), 3 "*VMB*n" (the digits copied out), 0 a file path.
// `out` (optional) holds at least 261 bytes.
int classify_doc_path(const char* name, char* out);
// A file path (not a buffer name) holding "*" or "?".
int IsWildcardPath(const char* name);

// Installs the stamp-list filler for the history lists and the source of
// the user's initials (null: none); called once at start-up.
void InstallCommandLists(int (*initials)(char* out, int size));
