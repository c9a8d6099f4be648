// Control tables and the window-free rules of the dialog engine.
#include "commands/dlgtable.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands/cmdtable.h"

namespace {

uint16_t Word(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool OneBit(unsigned v) { return v != 0 && (v & (v - 1)) == 0; }

bool Matches(const DlgRecord& r, unsigned mask, int control, int key, int flag_mask) {
    if (!(r.section & mask)) return false;
    bool any = control == -1 && key == -1;
    if (!any && r.control != control && r.key != key) return false;
    return flag_mask == -1 || (r.flags & static_cast<unsigned>(flag_mask)) != 0;
}

} // namespace

bool DlgTable::Load(const void* bytes, size_t size, std::string* error) {
    records_.clear();
    const auto* p = static_cast<const unsigned char*>(bytes);
    std::vector<DlgRecord> out;
    char why[96];
    for (size_t at = 0; p && at + 10 <= size; at += 10) {
        DlgRecord r{Word(p + at), Word(p + at + 2), Word(p + at + 4), Word(p + at + 6), Word(p + at + 8)};
        if (r.control == 0) {
            records_ = std::move(out);
            return true;
        }
        if (!OneBit(r.section) || !(r.section & DLG_SEC_ALL)) {
            std::snprintf(why, sizeof why, "record %u has section 0x%X", static_cast<unsigned>(at / 10), r.section);
            if (error) *error = why;
            return false;
        }
        out.push_back(r);
    }
    if (error) *error = "no terminating record";
    return false;
}

const DlgRecord* DlgFindTableEntry(const DlgTable& t, unsigned mask, int control, int key, int flag_mask) {
    for (const DlgRecord& r : t.records())
        if (Matches(r, mask, control, key, flag_mask)) return &r;
    return nullptr;
}

unsigned DlgQueryTable(const DlgTable& t, unsigned mask, int control, int flag_mask, int* key, int* extra) {
    const DlgRecord* r = DlgFindTableEntry(t, mask, control, -2, flag_mask);
    if (!r) return 0;
    if (key) *key = r->key;
    if (extra) *extra = r->extra;
    return r->flags;
}

int DlgFindControl(const DlgTable& t, unsigned mask, int control, int key, int flag_mask) {
    const DlgRecord* r = DlgFindTableEntry(t, mask, control, key, flag_mask);
    return r ? r->control : 0;
}

int DlgFindTableEntryN(const DlgTable& t, int control, unsigned mask, int flag_mask, int n, DlgRecord* out) {
    int seen = -1;
    for (const DlgRecord& r : t.records()) {
        if (r.control != control || !Matches(r, mask, control, -2, flag_mask)) continue;
        if (seen++ == n) {
            if (out) *out = r;
            return 1;
        }
    }
    return 0;
}

bool DlgIsTarget(const DlgTable& t, unsigned mask, int id) {
    for (const DlgRecord& r : t.records())
        if ((r.section & mask) && r.key == id && r.control != id) return true;
    return false;
}

int DlgClassifyControl(const char* class_name, uint32_t style, int id) {
    if (!class_name) return DLG_KIND_NONE;
    char cls[32];
    size_t n = 0;
    for (; n < sizeof cls - 1 && class_name[n]; ++n)
        cls[n] = static_cast<char>(std::tolower(static_cast<unsigned char>(class_name[n])));
    cls[n] = 0;
    auto is = [&](const char* name) { return std::strcmp(cls, name) == 0; };
    if (is("static")) return DLG_KIND_STATIC;
    if (is("button")) {
        switch (style & 0xF) {
        case 0x0: case 0x1: return DLG_KIND_PUSH;                       // push, default push
        case 0xB: return (id == 485 || id == 486) ? DLG_KIND_CHECK : DLG_KIND_PUSH;  // owner-drawn
        case 0x2: case 0x3: return DLG_KIND_CHECK;                      // check, auto check
        case 0x4: case 0x9: return DLG_KIND_RADIO;                      // radio, auto radio
        case 0x7: return DLG_KIND_GROUP;
        default: return DLG_KIND_OTHER_BUTTON;
        }
    }
    if (is("edit")) return DLG_KIND_EDIT;
    if (is("msctls_updown32")) return DLG_KIND_SPIN;
    if (is("listbox")) return DLG_KIND_LISTBOX;
    if (is("combobox")) return (style & 0x3) == 0x3 ? DLG_KIND_DROPLIST : DLG_KIND_COMBO;
    if (is("syslistview32")) return DLG_KIND_LISTVIEW;
    if (is("systreeview32")) return DLG_KIND_TREE;
    if (is("msctls_progress32")) return DLG_KIND_PROGRESS;
    return DLG_KIND_NONE;
}

bool DlgReadSpinValue(const char* text, long* out) {
    if (!text) return false;
    while (*text == ' ') ++text;
    bool neg = *text == '-';
    if (neg) ++text;
    if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
    long v = 0;
    for (; *text; ++text) {
        if (*text == ',') continue;
        if (!std::isdigit(static_cast<unsigned char>(*text))) break;
        if (v > (2147483647L - 9) / 10) return false;
        v = v * 10 + (*text - '0');
    }
    while (*text == ' ') ++text;
    if (*text) return false;
    *out = neg ? -v : v;
    return true;
}

DlgSpinParams DlgParseSpinParams(const char* text) {
    DlgSpinParams p;
    if (!text) return p;
    std::string s(text);
    size_t field = 0, start = 0;
    while (start <= s.size()) {
        size_t comma = s.find(',', start);
        std::string f = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        long v;
        if (!f.empty() && DlgReadSpinValue(f.c_str(), &v)) {
            if (field == 0) p.minimum = v;
            else if (field == 1) p.maximum = v;
            else if (field == 3) p.display = static_cast<int>(v);
            else if (field == 4 && v > 0) p.step = v;
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
        ++field;
    }
    return p;
}

long DlgSpinStep(const DlgSpinParams& p, long value, int system_delta) {
    long delta = system_delta >= 0 ? std::max<long>(p.step, system_delta) : std::min<long>(-p.step, system_delta);
    long v = value + delta;
    return std::clamp(v, p.minimum, std::max(p.minimum, p.maximum));
}

std::string DlgFormatSpinValue(const DlgSpinParams& p, long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (p.display == 2)
        for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
    return value < 0 ? "-" + digits : digits;
}

DlgRect DlgClampToWorkArea(DlgRect w, const DlgRect& work) {
    int cx = std::min(w.width(), work.width()), cy = std::min(w.height(), work.height());
    int x = w.left, y = w.top;
    if (x + cx > work.right) x = work.right - cx;
    if (x < work.left) x = work.left;
    if (y + cy > work.bottom) y = work.bottom - cy;
    if (y < work.top) y = work.top;
    return {x, y, x + cx, y + cy};
}

DlgRect DlgApplyAnchor(DlgRect r, unsigned a, int dx, int dy, int bottom_margin, int client_height) {
    if (a & DLG_ANCHOR_STRETCH_X) r.right += dx;
    else if (a & DLG_ANCHOR_MOVE_X) r.left += dx, r.right += dx;
    if (a & DLG_ANCHOR_STRETCH_Y) r.bottom = bottom_margin > 0 ? client_height - bottom_margin : r.bottom + dy;
    else if (a & DLG_ANCHOR_MOVE_Y) r.top += dy, r.bottom += dy;
    return r;
}

unsigned DlgAutoAnchor(const DlgRect& list, const DlgRect& c, bool is_edit) {
    if (c.left >= list.right) return DLG_ANCHOR_MOVE_X;
    if (c.top >= list.bottom) return DLG_ANCHOR_MOVE_Y;
    if (is_edit && c.bottom <= list.top) return DLG_ANCHOR_STRETCH_X;
    return 0;
}

bool DlgCopyToString(const DlgString& s, const char* text) {
    if (!s.text || s.size <= 0) return false;
    size_t n = std::strlen(text ? text : "");
    size_t room = static_cast<size_t>(s.size) - 1;
    size_t k = std::min(n, room);
    if (k) std::memmove(s.text, text, k);
    s.text[k] = 0;
    return k == n;
}

int DlgCheckCommandList(const int32_t* values, unsigned flags, DlgString* strings, K_cmd_params* params) {
    (void)values;
    (void)flags;
    if (!params || !K_cmd_params_valid(params) || !strings || !strings[0].text || strings[0].size <= 0) return -1;
    const char* text = K_cmd_params_get_string(params);
    if (!text || !*text) return -1;
    DlgString s = strings[0];
    s.size = std::min(s.size, 1025);  // at most 1024 characters
    DlgCopyToString(s, text);
    return 1;
}

std::string DlgProfileSection(int command_id) {
    char name[K_CMD_NAME_BUF];
    if (K_cmd_get_name(name, command_id) && name[0]) {
        const char* n = name;
        while (*n == '\t') ++n;  // a few names begin with a tab
        if (*n) return std::string("Dialog ") + n;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(command_id));
    return std::string("Dialog ") + hex;
}
