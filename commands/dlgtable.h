#pragma once
// Dialog control tables and the pure rules of the dialog engine that need no
// window: table queries, control classification, spin parameters, placement
// arithmetic and the preset answer of a dialog. Portable (host-tested).
//
// A control table is a run of ten-byte records, five little-endian 16-bit
// words, ended by a record whose control id is 0:
//   offset 0 section   one bit: the kind of record (DLG_SEC_*)
//   offset 2 control   the control the record belongs to
//   offset 4 key       a second control, a command, a string or a bitmap id
//   offset 6 flags     meaning by section
//   offset 8 extra     an index, a value or an identifier
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct K_cmd_params;

enum : unsigned {
    DLG_SEC_ENABLE = 0x1,
    DLG_SEC_VALUE = 0x2,
    DLG_SEC_ACTION = 0x4,
    DLG_SEC_LIST_ACTION = 0x8,
    DLG_SEC_DOUBLE_CLICK = 0x10,
    DLG_SEC_ACTIVATION = 0x20,
    DLG_SEC_VALIDATION = 0x40,
    DLG_SEC_INPLACE_EDIT = 0x80,
    DLG_SEC_PROFILE = 0x100,
    DLG_SEC_VISUAL = 0x1000,
    DLG_SEC_TAB_SHEET = 0x4000,
    DLG_SEC_COLUMN_LIST = 0x8000,
    // Every section a record may name.
    DLG_SEC_ALL = 0x1 | 0x2 | 0x4 | 0x8 | 0x10 | 0x20 | 0x40 | 0x80 | 0x100 | 0x1000 | 0x4000 | 0x8000,
    // Sections that are only queried, never applied.
    DLG_SEC_QUERY_ONLY = 0x40 | 0x80 | 0x1000 | 0x2000 | 0x4000 | 0x8000,
};

// Validation flags of section 0x40.
enum : unsigned {
    DLG_VAL_STORE_ON_LEAVE = 0x4,
    DLG_VAL_NO_DEFERRED = 0x2,
    DLG_VAL_OPEN_FILE = 0x100,
    DLG_VAL_FILE_NAME = 0x200,
    DLG_VAL_NO_WILDCARDS = 0x400,
    DLG_VAL_FOLDER = 0x800,
};

// Message string identifiers of the engine.
enum : unsigned {
    DLG_IDS_NAME_TOO_LONG = 53,
    DLG_IDS_NAME_INVALID = 54,
    DLG_IDS_NO_WILDCARDS = 55,
    DLG_IDS_NO_FOLDER = 57,
    DLG_IDS_NO_FILE = 68,
    DLG_IDS_LIST_FULL = 96,
    DLG_IDS_BELOW_MIN = 537,
    DLG_IDS_ABOVE_MAX = 538,
    DLG_IDS_SELECT_FOLDER = 1227,
};

struct DlgRecord {
    uint16_t section, control, key, flags, extra;
};

// The records of one table, checked when it is read.
class DlgTable {
public:
    DlgTable() = default;
    // Reads `size` bytes. A table that is truncated (no terminator within the
    // bytes) or holds a record with no section bit or more than one is
    // refused whole: the dialog then runs without table behaviour, as it
    // would without a table. `error` (optional) says why.
    bool Load(const void* bytes, size_t size, std::string* error = nullptr);
    bool empty() const { return records_.empty(); }
    size_t size() const { return records_.size(); }
    const DlgRecord& operator[](size_t i) const { return records_[i]; }
    const std::vector<DlgRecord>& records() const { return records_; }

private:
    std::vector<DlgRecord> records_;
};

// The first record with a section bit of `mask`, whose control equals
// `control` or whose key equals `key` (both -1: any record), and whose flags
// share a bit with `flag_mask` (-1: any). Null when none.
const DlgRecord* DlgFindTableEntry(const DlgTable& t, unsigned mask, int control, int key, int flag_mask);
// The flags word of the first match by control (0 none); key and extra out.
unsigned DlgQueryTable(const DlgTable& t, unsigned mask, int control, int flag_mask, int* key = nullptr,
                       int* extra = nullptr);
// The control id of the first match, 0 when none.
int DlgFindControl(const DlgTable& t, unsigned mask, int control, int key, int flag_mask);
// Record n of `control` in the sections and flags (-1 the first, 0 the
// second, ...): 1 with *out filled, 0 when there are fewer.
int DlgFindTableEntryN(const DlgTable& t, int control, unsigned mask, int flag_mask, int n, DlgRecord* out);
// Whether a record of the sections has `id` as its key under another control.
bool DlgIsTarget(const DlgTable& t, unsigned mask, int id);

// ---- Control kinds -----------------------------------------------------------
enum DlgKind : int {
    DLG_KIND_NONE = -1,
    DLG_KIND_OTHER_BUTTON = 0,
    DLG_KIND_STATIC = 5,
    DLG_KIND_PUSH = 6,
    DLG_KIND_CHECK = 7,
    DLG_KIND_RADIO = 8,
    DLG_KIND_GROUP = 9,
    DLG_KIND_EDIT = 10,
    DLG_KIND_SPIN = 11,
    DLG_KIND_LISTBOX = 12,
    DLG_KIND_DROPLIST = 13,
    DLG_KIND_COMBO = 14,
    DLG_KIND_LISTVIEW = 16,
    DLG_KIND_TREE = 17,
    DLG_KIND_PROGRESS = 18,
};
// From the window class name (any case, at most 31 characters are looked
// at), the window style and the control id. Null class: no window.
int DlgClassifyControl(const char* class_name, uint32_t style, int id);

// ---- Spin parameters -----------------------------------------------------------
// The spin control's text "min,max,(unused),display,step"; a missing or
// empty field keeps its default (1, 100, -, 0, 1).
struct DlgSpinParams {
    long minimum = 1;
    long maximum = 100;
    int display = 0;  // 2: grouped thousands
    long step = 1;
};
DlgSpinParams DlgParseSpinParams(const char* text);
// The partner's value after a spin delta (`system_delta` from the spin),
// clamped to the range.
long DlgSpinStep(const DlgSpinParams& p, long value, int system_delta);
// Writes the value in the display format ("1,234,567" when grouped).
std::string DlgFormatSpinValue(const DlgSpinParams& p, long value);
// Reads a value in either format; false for text that is no number.
bool DlgReadSpinValue(const char* text, long* out);

// ---- Placement arithmetic --------------------------------------------------------
struct DlgRect {
    int left, top, right, bottom;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};
// Keeps a window within the work area: no larger than it, moved back inside
// edge by edge.
DlgRect DlgClampToWorkArea(DlgRect window, const DlgRect& work);

enum : unsigned {
    DLG_ANCHOR_MOVE_X = 0x1,
    DLG_ANCHOR_MOVE_Y = 0x2,
    DLG_ANCHOR_STRETCH_X = 0x4,
    DLG_ANCHOR_STRETCH_Y = 0x8,
};
// A control's rectangle (client coordinates) after the client grew by dx,
// dy. bottom_margin > 0 keeps the bottom that far above client_height.
DlgRect DlgApplyAnchor(DlgRect r, unsigned anchors, int dx, int dy, int bottom_margin, int client_height);
// The automatic anchor of a control beside the main list.
unsigned DlgAutoAnchor(const DlgRect& list, const DlgRect& control, bool is_edit);

// ---- String values ------------------------------------------------------------------
// A caller's text buffer with its capacity in bytes (terminator included).
// Every copy into one is bounded by that capacity and terminated.
struct DlgString {
    char* text;
    int size;
};
// Copies at most size-1 bytes and terminates; returns whether it all fitted.
bool DlgCopyToString(const DlgString& s, const char* text);

// The preset answer of a dialog: when `params` carries a parameter text,
// it goes into string value 0 (at most 1024 characters, and never past that
// buffer's capacity) and the result is 1; otherwise -1 (show the dialog).
int DlgCheckCommandList(const int32_t* values, unsigned flags, DlgString* strings, K_cmd_params* params);

// The profile section of a dialog: "Dialog " and the command's name, or its
// number in hexadecimal when it has none.
std::string DlgProfileSection(int command_id);
