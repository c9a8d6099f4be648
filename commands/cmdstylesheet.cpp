// The style-sheet setup values and the setup operations behind them.
#include "commands/cmdstylesheet.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "commands/cmdvalues.h"
#include "opsys/msgout.h"
#include "opsys/strlib.h"

namespace {

std::mutex g_ops_mutex;
K_stylesheet_ops g_ops{};

constexpr int kSetupName = 573;
constexpr int kLanguageSetup = 571;
constexpr int kFirstField = 574;
constexpr int kLastField = 606;
constexpr int kFreeFormat = 577;
constexpr int kLastChange = 603;
constexpr int kParamAssistOnEdit = 602;
constexpr char kDefaultSheet[] = "Default";

// How a setup command maps onto the style sheet.
enum Kind { NONE, FLAG_BOOL, FLAG_RAW, FLAG_INVERSE, FIELD_INT, FIELD_BOOL, TEXT_ONLY };
struct Binding {
    int id;
    Kind kind;
    int index;           // flag index or K_ss_field
    int text;            // K_ss_text, -1 none, -2 decimal text of the integer
};
constexpr Binding kBindings[] = {
    {574, FIELD_INT, K_SS_LANGUAGE_INDEX, K_SS_LANGUAGE_TEXT},
    {575, FIELD_INT, K_SS_PARSER_TYPE, K_SS_LANGUAGE_NAME},
    {576, FIELD_INT, K_SS_LANGUAGE_OPTIONS, -1},
    {577, FLAG_INVERSE, 0, -1},
    {578, FLAG_BOOL, 1, -1},
    {579, FIELD_INT, K_SS_COMMENT_COLUMN, -2},
    {580, FLAG_BOOL, 2, -1},
    {581, FIELD_INT, K_SS_INDENT_HOW, -1},
    {582, FLAG_RAW, 4, -1},
    {583, FIELD_INT, K_SS_INDENT_SCAN, -2},
    {584, FLAG_BOOL, 6, -1},
    {585, FLAG_BOOL, 5, -1},
    {586, FIELD_INT, K_SS_INDENT_SIZE, -2},
    {587, FLAG_RAW, 3, -1},
    {588, FIELD_INT, K_SS_TAB_SIZE, -2},
    {589, FLAG_BOOL, 7, -1},
    {590, FLAG_BOOL, 8, -1},
    {591, FIELD_INT, K_SS_TEMPLATE_AFTER, -2},
    {592, FLAG_BOOL, 13, -1},
    {593, FIELD_INT, K_SS_AUTOCORRECT_AFTER, -2},
    {594, FLAG_BOOL, 12, -1},
    {595, FIELD_INT, K_SS_SMARTYPE_AFTER, -2},
    {596, FIELD_BOOL, K_SS_SDB_LOOKUP_ON_SPACE, -1},
    {597, FIELD_INT, K_SS_SDB_LOOKUP_AFTER, -2},
    {598, FLAG_BOOL, 9, -1},
    {599, FLAG_BOOL, 10, -1},
    {600, FIELD_BOOL, K_SS_CASE_TRACK_FIRST, -1},
    {601, FLAG_BOOL, 11, -1},
    {602, FIELD_BOOL, K_SS_PARAM_ASSIST_ON_EDIT, -1},
    {603, FLAG_BOOL, 15, -1},
    {604, FLAG_BOOL, 14, -1},
    {605, FIELD_INT, K_SS_RIGHT_MARGIN, -2},
    {606, TEXT_ONLY, 0, K_SS_WORD_DELIMITERS},
};

const Binding* binding(int id) {
    for (const Binding& b : kBindings)
        if (b.id == id) return &b;
    return nullptr;
}

K_stylesheet_ops ops() {
    std::lock_guard<std::mutex> lock(g_ops_mutex);
    return g_ops;
}

// Value 573 as a trimmed name (empty when it has none).
void setup_name(char* out, int size) {
    char raw[K_CMD_NAME_BUF + 100];
    if (!cmd_get_string(kSetupName, raw, int(sizeof raw))) raw[0] = '\0';
    CopyStringBounded(out, StrTrimBlanks(raw, 0), size_t(size - 1));
}

// The style sheet being set up, null when none.
void* sheet(const K_stylesheet_ops& o) {
    char name[K_CMD_NAME_BUF + 100];
    setup_name(name, int(sizeof name));
    void* ss = (o.find && name[0]) ? o.find(name) : nullptr;
    if (!ss && o.current) ss = o.current();
    return ss;
}

void report(unsigned text_id, const char* name) {
    char caption[256];
    if (!LoadAppString(K_IDS_SS_ERROR_CAPTION, caption, int(sizeof caption))) return;
    MsgOut(QW_MSG_CAPTION | QW_MSG_BOX | QW_MSG_ID, caption, text_id, name);
}

} // namespace

void K_cmd_set_stylesheet_ops(const K_stylesheet_ops* o) {
    std::lock_guard<std::mutex> lock(g_ops_mutex);
    g_ops = o ? *o : K_stylesheet_ops{};
}

bool StyleSheetSetup_IsField(int id) { return id >= kFirstField && id <= kLastField; }
bool StyleSheetSetup_HasText(int id) { return id == kLanguageSetup || StyleSheetSetup_IsField(id); }

int StyleSheetSetup_GetInt(int id) {
    const Binding* b = binding(id);
    K_stylesheet_ops o = ops();
    void* ss = b ? sheet(o) : nullptr;
    if (!ss) return (id == 574 || id == 575) ? -2 : 0;
    switch (b->kind) {
    case FLAG_BOOL:
        if (id == kLastChange && o.last_change) return o.last_change(ss) ? 1 : 0;
        return o.get_flag && o.get_flag(ss, b->index) ? 1 : 0;
    case FLAG_RAW:
        return o.get_flag ? o.get_flag(ss, b->index) : 0;
    case FLAG_INVERSE:
        return o.get_flag && o.get_flag(ss, b->index) ? 0 : 1;
    case FIELD_BOOL:
        if (id == kParamAssistOnEdit && o.has_param_assistant && !o.has_param_assistant(ss)) {
            if (o.set_field) o.set_field(ss, K_ss_field(b->index), 0);
            return 0;
        }
        return o.get_field && o.get_field(ss, K_ss_field(b->index)) ? 1 : 0;
    case FIELD_INT:
        return o.get_field ? o.get_field(ss, K_ss_field(b->index)) : 0;
    default:
        return 0;
    }
}

int StyleSheetSetup_SetInt(int id, int value) {
    const Binding* b = binding(id);
    K_stylesheet_ops o = ops();
    void* ss = b ? sheet(o) : nullptr;
    if (!ss) return StyleSheetSetup_GetInt(id);
    switch (b->kind) {
    case FLAG_BOOL:
        if (o.set_flag) o.set_flag(ss, b->index, value ? 1 : 0);
        break;
    case FLAG_RAW:
        if (o.set_flag) o.set_flag(ss, b->index, value);
        break;
    case FLAG_INVERSE:
        if (o.set_flag) o.set_flag(ss, b->index, value ? 0 : 1);
        break;
    case FIELD_BOOL:
        if (o.set_field) o.set_field(ss, K_ss_field(b->index), value ? 1 : 0);
        break;
    case FIELD_INT:
        if (o.set_field) o.set_field(ss, K_ss_field(b->index), value);
        break;
    default:
        break;
    }
    return StyleSheetSetup_GetInt(id);
}

char* StyleSheetSetup_GetText(int id, char* buffer, int size) {
    if (!buffer || size <= 0) return nullptr;
    buffer[0] = '\0';
    K_stylesheet_ops o = ops();
    const Binding* b = binding(id);
    int text = id == kLanguageSetup ? K_SS_SETUP_TEXT : b ? b->text : -1;
    if (text == -1) return nullptr;
    void* ss = sheet(o);
    if (!ss) return nullptr;
    if (text == -2) {
        int v = StyleSheetSetup_GetInt(id);
        format_strf(buffer, size_t(size), "%d", v);
        return buffer;
    }
    if (!o.get_text || !o.get_text(ss, K_ss_text(text), buffer, size)) {
        buffer[0] = '\0';
        return nullptr;
    }
    buffer[size - 1] = '\0';
    return buffer;
}

void StyleSheetSetup_SetText(int id, const char* text) {
    const Binding* b = binding(id);
    if (!b || b->text == -1) return;
    if (b->text == -2) {
        StyleSheetSetup_SetInt(id, text ? std::atoi(text) : 0);
        return;
    }
    K_stylesheet_ops o = ops();
    void* ss = sheet(o);
    if (ss && o.set_text) o.set_text(ss, K_ss_text(b->text), text ? text : "");
}

int StyleSheetSetup_Validate(const char* name, int repair, int report_faults) {
    char wanted[K_CMD_NAME_BUF + 100];
    if (name) {
        char copy[sizeof wanted];
        CopyStringBounded(copy, name, sizeof copy - 1);
        CopyStringBounded(wanted, StrTrimBlanks(copy, 0), sizeof wanted - 1);
    } else {
        setup_name(wanted, int(sizeof wanted));
    }
    K_stylesheet_ops o = ops();
    void* ss = (o.find && wanted[0]) ? o.find(wanted) : nullptr;
    if (!ss) {
        if (report_faults) report(K_IDS_SS_MISSING, wanted);
        return -1;
    }
    int r = o.check_language ? o.check_language(ss, repair) : 0;
    if (r == -2 || r == -3) {
        if (report_faults) report(r == -2 ? K_IDS_SS_BAD_LANGUAGE : K_IDS_SS_NO_DICTIONARY, wanted);
        return r;
    }
    return 0;
}

int StyleSheetSetup_Begin(int report_faults) {
    K_stylesheet_ops o = ops();
    char name[K_CMD_NAME_BUF + 100] = "";
    void* ss = o.current_editable ? o.current_editable() : nullptr;
    if (ss && o.get_name && o.get_name(ss, name, int(sizeof name))) {
        cmd_set_string(kSetupName, name);
    } else {
        setup_name(name, int(sizeof name));
        if (!(o.find && name[0] && o.find(name))) {
            void* def = o.find ? o.find(kDefaultSheet) : nullptr;
            if (!(def && o.get_name && o.get_name(def, name, int(sizeof name))))
                CopyStringBounded(name, kDefaultSheet, sizeof name - 1);
            cmd_set_string(kSetupName, name);
        }
    }
    if (o.refresh_languages) o.refresh_languages();
    return StyleSheetSetup_Validate(nullptr, 1, report_faults);
}

namespace {

// Asks whether the extension goes to the style sheet being applied; the
// box's answer, 0 when no box could be shown.
int ask_conflict(const char* extension, const char* other) {
    char caption[256];
    if (!LoadAppString(K_IDS_SS_CONFLICT_CAPTION, caption, int(sizeof caption))) return 0;
    unsigned style = (QW_MB_YESNO | QW_MB_ICONQUESTION) << 16;
    return MsgOut(style | QW_MSG_CAPTION | QW_MSG_BOX | QW_MSG_ID, caption, K_IDS_SS_CONFLICT, extension,
                  other);
}

void uncheck(const K_stylesheet_ops& o, void* list, int row) {
    if (o.list_uncheck && list && row >= 0) o.list_uncheck(list, row);
}

} // namespace

int StyleSheetSetup_Apply(int rename, const char* name, const char* language_text, int language,
                          void* list, int count) {
    char wanted[K_CMD_NAME_BUF + 100] = "";
    if (name) {
        char copy[sizeof wanted];
        CopyStringBounded(copy, name, sizeof copy - 1);
        CopyStringBounded(wanted, StrTrimBlanks(copy, 0), sizeof wanted - 1);
    }
    if (!wanted[0]) return 0;
    K_stylesheet_ops o = ops();
    void* ss = sheet(o);
    if (!ss) return 0;
    if (rename) return o.make_unique && o.make_unique(ss, wanted) ? 1 : 0;

    if (o.set_name) o.set_name(ss, wanted);
    if (o.set_text) o.set_text(ss, K_SS_LANGUAGE_TEXT, language_text ? language_text : "");
    if (o.set_field) o.set_field(ss, K_SS_LANGUAGE_INDEX, language);
    cmd_set_string(kSetupName, wanted);

    // Only an associated sheet claims its extensions. Every answer takes one
    // sheet out of matching, so the asking ends; without the means to do
    // that it is not started.
    if (!o.extension_conflict || !o.get_associated || !o.set_associated) return 1;
    while (o.get_associated(ss)) {
        char other_name[K_CMD_NAME_BUF + 100] = "", extension[256] = "";
        void* other = o.extension_conflict(ss, other_name, int(sizeof other_name), extension,
                                           int(sizeof extension));
        if (!other || other == ss) break;
        int answer = ask_conflict(extension, other_name);
        if (answer == QW_IDYES) {
            o.set_associated(other, 0);
            uncheck(o, list, o.list_row ? o.list_row(list, count, other_name) : -1);
            if (o.get_associated(other)) break;
        } else if (answer == QW_IDNO) {
            o.set_associated(ss, 0);
            uncheck(o, list, count - 1);
        } else {
            break;
        }
    }
    return 1;
}

int StyleSheetSetup_Delete() {
    K_stylesheet_ops o = ops();
    void* ss = sheet(o);
    return ss && o.remove ? o.remove(ss) : 0;
}

void StyleSheetSetup_Clear() { cmd_set_string(kSetupName, nullptr); }
