#pragma once
// The virtual-memory buffer engine: every text of the editor (files, lists,
// tables, undo logs) is a named buffer of line records kept in 4096-byte
// pages. Pages are reached only through the page cache (pagecache.h), so the
// engine does not care whether they sit in memory or in the swap file.
//
// Conventions of every call below:
// - lines are numbered from 1, columns are character offsets from 0, a
//   line's text never holds its line break;
// - every call validates its handle first (vmb_in_use) and returns its
//   failure value (0, -1 or -2 as noted) for an invalid one;
// - every call runs inside vm_lock; callers that need several calls to see a
//   consistent buffer hold vm_guard_enter / vm_guard_leave (or VmGuard);
// - an editing call that marks the buffer modified sets the state bits
//   VM_ST_EDIT (0x1000000F) through vm_state_flags.
//
// The page, record and directory layouts are described at the top of
// VmEngine/detail/vmpage.h, which owns them.
#include <cstddef>
#include <cstdint>

struct buf_stream; // opsys/bufstream.h

enum : uint32_t {
    VM_PAGE_SIZE = 4096,
    VM_PAGE_HDR = 6,       // data page header: id, bytes used
    VM_LINE_HDR = 13,      // line record header
    VM_HDR_LIMIT = 4084,   // a page this full takes no new record header
    VM_DIR_HDR = 14,       // directory page header
    VM_DIR_ENTRY = 8,      // directory entry size
    VM_DIR_MAX = 510,      // entries per directory page
    VM_NAME_MAX = 260,     // vmb_get_name copies at most this many characters
};

// Buffer type bits (the VMB type word).
enum : uint32_t {
    VMB_T_INUSE = 0x1,
    VMB_T_TEMP = 0x2,  // temporary or list buffer
    VMB_T_FILE = 0x10, // a file stream was attached
    VMB_T_LOG = 0x20,  // undo or redo log
};

// vmb_open flags.
enum : uint32_t {
    VMB_O_NOFIND = 0x1,   // do not look the name up, always create
    VMB_O_EXCL = 0x2,     // an existing buffer of that name is a failure
    VMB_O_FILE = 0x10,    // an existing buffer is returned as it is
    VMB_O_EMPTY = 0x20,   // an existing buffer is returned with its lines deleted
    VMB_O_RECREATE = 0x40,// an existing buffer is closed and a new one created
    VMB_O_FINDONLY = 0x100, // never create
};

// Buffer state flags (vm_state_flags).
enum : uint32_t {
    VM_ST_MODIFIED = 0x1,
    VM_ST_VIEW = 0x2,
    VM_ST_VIEW2 = 0x4,
    VM_ST_UNSAVED = 0x8,      // changed since the last write
    VM_ST_TEMPCOPY = 0x10,    // save bookkeeping
    VM_ST_CLOSE_AT_EOF = 0x20,
    VM_ST_DOC = 0x40,
    VM_ST_WRITTEN = 0x80,
    VM_ST_FULLY_READ = 0x100,
    VM_ST_FINAL_EOL = 0x200,
    VM_ST_LF = 0x400,
    VM_ST_ONE_BYTE_EOL = 0x800,
    VM_ST_LOAD_FAILED = 0x2000,
    VM_ST_FILE_MOD = 0x8000,
    VM_ST_BROWSER = 0x20000,
    VM_ST_UPPER = 0x1000000,
    VM_ST_LOWER = 0x2000000,
    VM_ST_UPPER_ONCE = 0x4000000,
    VM_ST_LOWER_ONCE = 0x8000000,
    VM_ST_CHANGE = 0x10000000,
    VM_ST_EDIT = 0x1000000F, // what every marking edit sets
};

// Line flags the engine itself gives.
enum : uint16_t {
    VM_LF_SPLIT = 0x2, // made by a line break
};

// Compare options of the sorted-list calls.
enum : uint32_t {
    VM_CMP_NOCASE = 0x1,
    VM_CMP_FIRST_TAB = 0x2,
    VM_CMP_PREFIX = 0x4,
    VM_CMP_LAST_TAB = 0x8,
    VM_CMP_PATH = 0x10,
    VM_CMP_NO_DUP = 0x100, // vm_find_line: an equal line is returned, nothing inserted
};

// vm_get_char op bits.
enum : int {
    VM_GC_BACK = 1,
    VM_GC_PEEK = 0x8000,
};

// The line record as a caller sees it (the stored form is packed; see detail/vmpage.h).
struct VM_LINE {
    uint8_t kind;      // bit 0: continues the line of the record before it
    uint32_t length;   // text bytes in this record
    uint16_t flags;
    uint8_t lex_a;
    uint8_t lex_b;
    uint32_t tag;
};

// The buffer handle: one slot of the engine's buffer table. A handle is the
// slot's address and stays valid until the buffer is closed.
struct VMB {
    uint32_t type;        // VMB_T_*; 0 = slot free
    uint32_t cur_line;    // 1-based, 0 = none
    uint32_t cur_col;     // 0-based
    uint32_t line_count;
    uint32_t char_count;  // text bytes of all lines
    uint32_t longest_line;
    uint32_t lex_line;    // lexical state known up to this line
    uint32_t mark_line;   // reference line
    uint32_t state;       // VM_ST_*
    int32_t user_value;
    uint32_t seq;         // change sequence number
    char* name;           // heap copy or null
    char* temp_name;      // recorded temporary copy of the file, or null
    buf_stream* stream;   // attached read stream
    buf_stream* out_stream; // output stream of a save in progress
    VMB* log;             // linked undo (or, for a log, redo) log
    uint32_t undo_switch;
    VMB* log2;            // second linked buffer
    intptr_t attachment;  // caller object or value (vm_aux_value)
    void* client_data;    // owning document
    // Current position (with cur_line and cur_col).
    uint32_t page_id;     // current data page, 0 = no page
    uint32_t rec_off;     // current record in that page
    uint32_t char_off;    // current character in that page
    uint32_t dir_first;   // first directory page
    uint32_t dir_cur;     // current directory page
    uint8_t* page_addr;   // cached page memory, valid while its first word is page_id
    uint8_t* dir_entry;   // cached address of the current directory entry
};

// The one engine object of the process.
struct VMS {
    uint32_t table_size;
    VMB* highest;         // last slot in use, null when none
    uint32_t flags;       // system flags (vms_flags)
    uint32_t cache_bytes;
    VMB* table;
};

extern VMS* g_vms; // null while the engine is stopped

// ---- System ----------------------------------------------------------------
enum : uint32_t { VMS_F_KEEP_STREAM = 0x1 };

// Nonzero on success; 0 when the page cache or swap file cannot be made.
int vms_start(uint32_t table_size, uint32_t cache_bytes, const char* swap_path,
              uint32_t sys_flags, int line_end_param);
void vms_stop();
int vms_is_started();
void vms_get_limits(uint32_t* table_size, uint32_t* cache_bytes);
void vms_page_info(uint32_t* frame_count, uint32_t* page_size);
// op 1 sets, op 0 clears, other ops read; returns flags & mask.
uint32_t vms_flags(int op, uint32_t mask);
void vms_set_param(int value);
int vms_get_param();
using VmsBufferFn = int (*)(VMB* buffer, void* a, void* b);
VMB* vms_for_each_buffer(VmsBufferFn fn, void* a, void* b);
VMB* vms_next_buffer(VMB* slot);

// ---- Buffers ---------------------------------------------------------------
VMB* vmb_open(uint32_t type, const char* name, uint32_t flags);
VMB* vmb_create_temp();
VMB* vmb_find(uint32_t type, const char* name);
int vmb_close(VMB* buffer, int keep);
int vmb_delete(VMB* buffer);
int vmb_in_use(const void* p);
int vmb_check(const void* p);
int vmb_set_name(VMB* buffer, const char* name);
// With out: copies the name (at most VM_NAME_MAX characters, "" when none)
// and returns out. Without: returns the stored name (null when none).
const char* vmb_get_name(VMB* buffer, char* out);
uint32_t vmb_type(VMB* buffer);
int vmb_is_file(VMB* buffer);
int vmb_is_type2(VMB* buffer);
int vmb_is_unnamed_file(VMB* buffer);
int vmb_is_file_or_named(VMB* buffer);
int vmb_has_content(VMB* buffer);
int vmb_set_mode_bits(VMB* buffer, int mode);
void vmb_set_client_data(VMB* buffer, void* data);
void* vmb_get_client_data(VMB* buffer);

// ---- The lock --------------------------------------------------------------
void vm_lock(int enter);
// Nonzero when the calling thread holds the lock (code that must never wait
// for another thread while holding it asserts on this).
int vm_lock_held();
void vm_guard_enter();
void vm_guard_leave();
// Scope form of vm_guard_enter / vm_guard_leave.
class VmGuard {
public:
    VmGuard() { vm_guard_enter(); }
    ~VmGuard() { vm_guard_leave(); }
    VmGuard(const VmGuard&) = delete;
    VmGuard& operator=(const VmGuard&) = delete;
};

// ---- Positioning -----------------------------------------------------------
enum : int {
    VM_COL_EOL = -1,       // also -2
    VM_COL_EOL_COPY = -3,  // end of a copied range
    VM_LINE_READ_ALL = -3, // vm_goto / vm_goto_line: read the whole file first
};
int vm_set_position(VMB* buffer, int line, int column);
int vm_set_position_eol(VMB* buffer, int line);
int vm_goto(VMB* buffer, int line, int column);
int vm_goto_line(VMB* buffer, int line);
int vm_map_line(VMB* buffer, int line);
int vm_get_position(VMB* buffer, int* column);
int vm_cur_line(VMB* buffer);
int vm_cur_col(VMB* buffer);
int vm_goto_mark_line(VMB* buffer, int line);
int vm_mark_line(VMB* buffer);
int vm_set_mark_line(VMB* buffer, int line);
uint32_t vm_position_offset(VMB* buffer);

// ---- Reading ---------------------------------------------------------------
int vm_get_char(VMB* buffer, int op);
int vm_peek_char(VMB* buffer);
int vm_char_at(VMB* buffer, int line, int column);
int vm_read_text(VMB* buffer, int line, int column, char* out, int max, int* flags);
int vm_line_length(VMB* buffer, int line);
int vm_col_past_end(VMB* buffer, int line, int column);
int vm_line_span(VMB* buffer, int mode);
// mode 0/1: address only; 2: also pins the page; 3: unpins it.
char* vm_line_ptr(VMB* buffer, int line, int mode);
// The texts of up to `max` lines from `line` on that follow one another in
// one page, each whole in its record, where they stand in the cached page
// (valid until the next engine call): addresses in texts[], lengths in
// lengths[]. Returns how many; 0 when the line does not exist or continues
// in another page (read it with vm_read_text then).
int vm_line_texts(VMB* buffer, int line, int max, const char** texts, int* lengths);
int vm_line_equals(VMB* buffer, int line, const char* text);
int vm_last_ln(VMB* buffer);
int vm_line_count(VMB* buffer);
uint32_t vm_size_estimate(VMB* buffer);
int vm_line_break_size(VMB* buffer);

// ---- Changing --------------------------------------------------------------
// length -1: text is NUL-terminated. Returns the new line's number, 0 on failure.
int vm_insert_line(VMB* buffer, int after_line, const char* text, int length);
// Reserves a line of `length` bytes and returns the address of its text for
// the caller to fill (before any other engine call); null when the length
// does not fit in one record of a page or on failure.
char* vm_insert_line(VMB* buffer, int after_line, std::nullptr_t, int length);
int vm_insert_line_nomod(VMB* buffer, int after_line, const char* text, int length);
int vm_append_line(VMB* buffer, const char* text);
int vm_append_line_ex(VMB* buffer, const char* text, int mark);
int vm_insert_empty_line(VMB* buffer, int after_line);
int vm_insert_text(VMB* buffer, int line, int column, const char* text, int length);
int vm_put_char(VMB* buffer, int c);
int vm_put_string(VMB* buffer, const char* text, int trailing);
int vm_put_int(VMB* buffer, int value);
int vm_replace_char(VMB* buffer, int c, int line, int column);
int vm_pad_line(VMB* buffer, int fill, int column);
int vm_replace_line(VMB* buffer, int line, const char* text, int length, int mark);
int vm_split_line(VMB* buffer, int mark);
enum : int { VM_DEL_TO_END = -1, VM_DEL_EOL = -2 };
int vm_delete_char(VMB* buffer, int count);
int vm_delete_to_eol(VMB* buffer, int line, int column);
int vm_delete_line(VMB* buffer, int line);
int vm_join_lines(VMB* buffer, int line, int* column);
int vm_delete_lines(VMB* buffer, int first, int count, int mark);
int vm_clear(VMB* buffer, int mark);
int vm_copy_block(VMB* dest, int line, int column, VMB* src, int from_line,
                  int from_col, int to_line, int to_col);
int vm_copy_buffer(VMB* dest, VMB* src);
int vm_append_copy(VMB* dest, int after_line, VMB* src, int src_line);

// ---- Fields ----------------------------------------------------------------
int vm_get_field(VMB* buffer, int delimiter, char* out, int max);
int vm_get_field_int(VMB* buffer, int delimiter);
int vm_skip_fields(VMB* buffer, int delimiter, int n);
int vm_put_field(VMB* buffer, int delimiter, int line, int n, const char* text);
int vm_put_field_int(VMB* buffer, int delimiter, int line, int n, int value);

// ---- Sorted line lists -----------------------------------------------------
// The view's tab settings used to find a display column in a compared line.
struct VM_TABS {
    int width; // tab width, at least 1
    int raw;   // nonzero: every character is one column
};
int vm_bsearch_range(VMB* buffer, int first, int last, const char* key,
                     const VM_TABS* tabs, int column, uint32_t options, int* code);
int vm_bsearch(VMB* buffer, const char* key, uint32_t options, int* code);
int vm_find_line(VMB* buffer, const char* key, uint32_t options);
int vm_insert_sorted(VMB* buffer, const char* key, uint32_t options);
int vm_bsearch_named(const char* name, const char* key, uint32_t options, int* code);

// ---- Flags, tags and state -------------------------------------------------
enum : int { VM_OP_CLEAR = 0, VM_OP_SET = 1, VM_OP_READ = -1, VM_OP_KEEP_POS = 0x8000 };
int vm_line_flags(VMB* buffer, int line, int op, int mask);
int vm_line_flags_range(VMB* buffer, int first, int last, int op, int mask, int renumber);
int vm_find_flagged_line(VMB* buffer, int start, int forward, int wrap, int mask, int want);
// op -1 reads, 1 writes, 0 finds the line whose tag is `value`.
int vm_line_tag(VMB* buffer, int line, int op, uint32_t value);
// value_a -1 reads both bytes (A returned, B into *b); else writes A and *b.
int vm_line_lex_state(VMB* buffer, int line, int value_a, int* b);
uint32_t vm_state_flags(VMB* buffer, int op, uint32_t mask);
uint32_t vm_seq_get(VMB* buffer);
uint32_t vm_seq_next(VMB* buffer);
int vm_user_value(VMB* buffer, int value);
intptr_t vm_aux_value(VMB* buffer, int op, intptr_t value);
int vm_lex_line(VMB* buffer);
int vm_set_lex_line(VMB* buffer, int line);
int vm_is_fully_read(VMB* buffer);
int vm_has_attachment(VMB* buffer);

// ---- Provided by loading and saving (vmload.cpp) ---------------------------
// Reads lines from the attached stream until the buffer has `up_to_line`
// lines or the file ends; nonzero once the file is fully read.
int vm_read_lines(VMB* buffer, uint32_t up_to_line);
// Detaches and closes the attached stream; the close result, 1 when none.
int vmb_stream_close(VMB* buffer);
