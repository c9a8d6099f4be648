#pragma once
// The command table: every command of the editor (menu item, key, toolbar
// button, macro step, dialog setting) is one record of one static table,
// indexed by its identifier minus 301. The table's data is generated at build
// time from commands/cmdtable.def, together with the string-table entries of
// the names and descriptions and the command dictionary.
//
// Also here: K_cmd_params, the record that carries one execution of a command
// to its handler, and its accessors.
#include <cstddef>
#include <cstdint>

struct K_cmd_params;

// Handler forms. A view method is reached through a plain function that the
// view layer supplies, so that this layer needs no view class.
using K_cmd_fn = int (*)(int id, K_cmd_params* params);
// 0x8000: (view, identifier, params), or with 0x2000 (view, extend flag, params).
using K_view_fn = int (*)(void* view, int arg, K_cmd_params* params);
// 0x10000: (view).
using K_view_noargs_fn = int (*)(void* view);

// Which member is in force follows from the attribute word.
union K_cmd_handler {
    K_cmd_fn fn;
    K_view_fn view;
    K_view_noargs_fn view_noargs;
    const char* title;
};

struct K_cmd_record {
    K_cmd_handler handler;
    intptr_t value;   // integer value (-1 none), or with K_ATTR_STRING a heap string
    uint32_t attr;
};

enum : uint32_t {
    K_ATTR_CARET_VISIBLE = 0x1,
    K_ATTR_UNDO_GROUP = 0x2,
    K_ATTR_MINIMIZED = 0x4,
    K_ATTR_SPECIAL_BUFFER = 0x8,
    K_ATTR_EDITABLE = 0x10,
    K_ATTR_READ_ONLY = 0x20,
    K_ATTR_LISTED = 0x40,
    K_ATTR_NO_VIEW = 0x80,
    K_ATTR_TITLE = 0x100,          // program title, run with executor flag 1
    K_ATTR_TITLE_FLAG0 = 0x200,    // program title, run with executor flag 0
    K_ATTR_TITLE_OWNED = 0x400,    // with a title bit: the title is a heap copy of the record's
    K_ATTR_KEEP_COLUMN = 0x800,
    K_ATTR_ASSIST = 0x1000,
    K_ATTR_VIEW_EXTEND = 0x2000,
    K_ATTR_EXTEND = 0x4000,
    K_ATTR_VIEW_METHOD = 0x8000,
    K_ATTR_VIEW_NOARGS = 0x10000,
    K_ATTR_STRING = 0x20000,
    K_ATTR_CATEGORY_START = 0x40000,
    K_ATTR_LIST_STYLE2 = 0x80000,
    K_ATTR_LIST_STYLE1 = 0x100000,
    K_ATTR_LIST_STYLE32 = 0x400000,
    K_ATTR_CHECKABLE = 0x800000,
    K_ATTR_PROFILE = 0x1000000,
    K_ATTR_PROFILE_READ = 0x2000000,
    K_ATTR_DECIMAL = 0x4000000,
};

enum : int {
    K_CMD_FIRST = 301,
    K_CMD_LAST = 693,
    K_CMD_COUNT = K_CMD_LAST - K_CMD_FIRST + 1,
    K_CMD_STRING_BASE = 1199,     // string id of a command's entry = id + 1199
    K_CMD_CATEGORY_STRING = 1280, // string id of category n = 1280 + n
    K_CMD_NAME_BUF = 201,         // buffer for K_cmd_get_name / K_cmd_get_description
    K_CMD_NAME_MAX = 99,          // characters of a name that K_cmd_id_from_name looks at
};

// The table itself (generated). Handlers and values change in place at run time.
extern K_cmd_record K_cmd_table[K_CMD_COUNT];

// ---- Identifier ranges ----------------------------------------------------
inline bool is_char_cmd_id(int id) { return id >= 1 && id <= 299; }
inline bool is_printable_char_id(int id) { return id >= 32 && id <= 126; }
inline bool is_setting_id(int id) { return id >= 300 && id <= 999; }

// ---- Records --------------------------------------------------------------
// The record of id, or null outside 301..693.
K_cmd_record* K_cmd_lookup(int id);
// The attribute word, 0 without a record.
uint32_t K_cmd_get_flags(int id);
bool K_cmd_is_checkable(int id);

// Names and descriptions come from the command's "description<TAB>name"
// entry (at most 200 characters; buffer of K_CMD_NAME_BUF). Both return the
// buffer, or null with the buffer emptied for an identifier without an entry.
// Seven names (684, 687, 689..693) begin with a tab.
char* K_cmd_get_name(char* buffer, int id);
char* K_cmd_get_description(char* buffer, int id);
// The identifier of a command name (at most 99 characters are looked at),
// found in the command dictionary; -1 when the dictionary is missing or the
// word is not a command name.
int K_cmd_id_from_name(const char* name);

// The command dictionary is the editor's language dictionary 37, which the
// layer above opens. It installs this lookup: on a hit the text after the
// word (the identifier in decimal) goes to `text` and the result is 1; 0 for
// a word that is not there, -1 when the dictionary is missing.
using K_cmd_dict_lookup_fn = int (*)(const char* word, char* text, int size);
K_cmd_dict_lookup_fn K_cmd_set_dictionary_lookup(K_cmd_dict_lookup_fn fn);

// ---- Handlers -------------------------------------------------------------
// Each first clears the record's handler kind: a title record loses its title
// bits (and its owned title is freed); any other loses the view-method bits.
// 0, or 5 when the identifier has no record.
int K_cmd_set_handler(int id, K_cmd_fn fn);
int K_cmd_set_view_handler(int id, K_view_fn fn);
int K_cmd_set_view_handler_noargs(int id, K_view_noargs_fn fn);
// Gives the record a program title of its own (a heap copy, freed when the
// handler is replaced); run_flag 1 sets bit 0x100, 0 bit 0x200. 0, or 5.
int K_cmd_set_title(int id, const char* title, int run_flag);
// False only for the commands without an implementation.
bool K_cmd_is_implemented(int id);
// The shared handler of the commands without an implementation: says so on
// the status bar and returns 0.
int K_cmd_placeholder(int id, K_cmd_params* params);

// Functions of modules above this layer sit in named slots of the static
// table; the owner binds them at start-up. A slot left unbound answers -2,
// as a command without a handler does. 0, or -1 for an unknown slot name.
int K_cmd_bind_function(const char* slot, K_cmd_fn fn);
// The slot names, for the modules that bind them (null past the end).
const char* K_cmd_slot_name(int index);
// Used by the generated table.
int K_cmd_call_slot(int slot, int id, K_cmd_params* params);

// ---- Categories -----------------------------------------------------------
int K_cmd_category_count();
// The first identifier of category n, -1 outside.
int K_cmd_category_first(int n);
// Its name (the text of string 1280 + n), null outside.
const char* K_cmd_category_name(int n);
// The category of id, -1 without a record.
int K_cmd_category_of(int id);
// The commands listed under category n: its records with bit 0x40 that have
// an implementation, in table order. Writes at most max identifiers and
// returns how many there are.
int K_cmd_category_commands(int n, int* ids, int max);

// ---- K_cmd_params ---------------------------------------------------------
enum : uint32_t { K_CMD_PARAMS_TAG = 0x2E855029u };
enum : int { K_CMD_SEQ_TEXT_MAX = 519 };

struct K_cmd_params {
    uint32_t tag;               // K_CMD_PARAMS_TAG while valid
    int32_t kind;               // who issued the command (0 keys, 1 menus, ... 9 executor)
    int32_t id;
    const char* text;           // parameter text, owned by the caller, or null
    intptr_t arg;               // key-state byte of a mouse event, list index, ...
    intptr_t zero;
    intptr_t extra;             // a view event's own word
    intptr_t minus_one;
    int32_t number;             // decimal value of a text beginning with a digit, else -1
    const int32_t* seq;         // running key sequence, positioned after the command, or null
    const int32_t* seq_cursor;  // position in the sequence after its parameter text
    int32_t char_flag;          // 1; cleared when the typed-character handler takes over
    void* view;                 // the view the command runs on
    // The parameter text taken from the sequence lives here, so that the
    // record never owns heap memory.
    char seq_text[K_CMD_SEQ_TEXT_MAX + 1];
};

void K_cmd_params_init(K_cmd_params* p, int kind, int id, const char* text, intptr_t arg,
                       intptr_t extra);
// The parameter text, null when there is none or it is empty. With no text
// and a sequence whose next entries are -3 characters -4, that text (at most
// 519 characters) becomes the parameter text and seq_cursor moves past -4.
const char* K_cmd_params_get_string(K_cmd_params* p);
bool K_cmd_params_has_string(K_cmd_params* p);
// Copies the text into buffer (at most size - 1 characters, always
// terminated); its length, 0 when there is none.
int K_cmd_params_copy_string(K_cmd_params* p, char* buffer, int size);
// True when there is a numeric parameter; *out gets it (-1 without one).
bool K_cmd_params_get_number(K_cmd_params* p, int* out = nullptr);
// 1 for "off", 2 for "on" (any case), 0 for another text, -1 without a text.
int K_cmd_params_get_onoff(K_cmd_params* p);
bool K_cmd_params_is_on(K_cmd_params* p);
bool K_cmd_params_is_macro(const K_cmd_params* p);  // kind 8
bool K_cmd_params_is_kind0(const K_cmd_params* p);
intptr_t K_cmd_params_get_arg(const K_cmd_params* p);
bool K_cmd_params_in_sequence(const K_cmd_params* p);
// True for a record with the tag.
bool K_cmd_params_valid(const K_cmd_params* p);
