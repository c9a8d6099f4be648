#pragma once
// Per-line lexical state (what multi-line construct a line starts in) and
// the line sort. The states live in the two lexical bytes of each line
// record; a buffer's lexical line says up to where they are valid. The
// delimiters come from the buffer's language through lexlang.h.
#include "VmEngine/lexlang.h"
#include "VmEngine/vm.h"

// vm_scan_lex_state options.
enum : unsigned {
    VMLEX_OPT_BACKWARD = 0x1,      // a long gap may be bridged by the backward search
    VMLEX_OPT_STOP_ON_INPUT = 0x10000, // give up early while the user acts
};

// Line flags of the scan.
enum : int {
    VMLEX_LF_SETTLED = 0x08,  // state settled by the backward search
    VMLEX_LF_MASK = 0x38,     // cleared when a line is invalidated
};

// The state at the start of `line` (the state at the end of the line before
// it): byte A is returned (0 outside any construct, else the nesting depth),
// the state code through *state_b. *used_backward is set when the answer is
// provisional: it came from the bounded backward search, or the scan stopped
// early for user input; the caller asks again once more states are known.
// Returns 0 for line 1, an invalid buffer or a line that does not exist.
int vm_scan_lex_state(VMB* buffer, int line, int lang, int* state_b, int* used_backward,
                      unsigned options);

// Extends the known states by up to 400 lines. 1 when it scanned, 0 when
// everything is known, -1 when the buffer has no language.
int vm_lex_advance(VMB* buffer);

// After an edit at `line`: kinds 1 and 2 drop the known states from the
// line on, kind 3 re-marks from the lexical line, 0 and -1 do nothing.
// 1, or -1 when the buffer has no language.
int vm_lex_invalidate(VMB* buffer, int kind, int line);

// Forgets the known states of every buffer of `lang` (of every buffer for -1).
void vms_lex_invalidate_all(int lang);

// 1 when the line holds a keyword (mode nonzero) or a block delimiter
// (mode 0) of the buffer's language; 0 otherwise or without a language.
int vm_line_keyword(VMB* buffer, int line, int mode);

// "The user is acting": the user-interface thread's message filter sets this
// while a key or mouse-button message waits, so that a long scan on another
// thread gives the buffer lock up early.
void vm_set_input_pending(int pending);
int vm_input_pending();

// The view a sort reports its line moves to (so that they can be undone),
// and whose tab settings find the sort column.
struct VmSortView {
    void* view;
    // Called before each change: class 5, kind 11 (line removed) or 9 (line
    // inserted), and the line.
    void (*line_change)(void* view, int cls, int kind, int line);
    VM_TABS tabs;
};

// Sorts lines first..last (first 0: the whole buffer) by the text from
// display column `column` (1 = the whole line; above 1 needs a view), with
// the compare options of vm_bsearch_range. 1 on success, 0 when refused or
// when a line could not be moved (no line is lost then).
int vm_sort_lines(VMB* buffer, int first, int last, const VmSortView* view, int column,
                  unsigned options);
int vm_sort_all(VMB* buffer, unsigned options);
