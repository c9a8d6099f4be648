// The editor functions that macro programs call (the rows of
// interp_natives.inc). Each checks its argument words against the run's
// regions through InterpCall; a bad argument ends the run with a data error
// that names the function.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <algorithm>
#include <cctype>

#include "commands/cmdtable.h"
#include "commands/interp.h"
#include "commands/interp_edit.h"
#include "commands/interp_keys.h"
#include "commands/interp_vm.h"
#include "opsys/msgout.h"

namespace {

int ci_compare(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int x = std::tolower(static_cast<unsigned char>(*a)), y = std::tolower(static_cast<unsigned char>(*b));
        if (x != y || !x)
            return x - y;
    }
}

int32_t n_Interp_ArgCount(InterpCall&) { return Interp_ArgCount(); }

int32_t n_StrLen(InterpCall& c) {
    const char* s = c.str(0);
    return s ? int32_t(std::strlen(s)) : 0;
}

int32_t n_StrCopy(InterpCall& c) {
    const char* s = c.str(1);
    int32_t size = c.a[2];
    if (!s)
        return 0;
    if (size < 1)
        return c.fail(INTERP_DATA, "StrCopy: size below 1");
    uint8_t* d = c.mem(0, uint32_t(size), true);
    if (!d)
        return 0;
    size_t n = std::min(std::strlen(s), size_t(size - 1));
    std::memmove(d, s, n);
    d[n] = 0;
    return int32_t(n);
}

int32_t n_StrCmp(InterpCall& c) {
    const char* a = c.str(0);
    const char* b = c.str(1);
    return a && b ? std::strcmp(a, b) : 0;
}

int32_t n_StrCmpNoCase(InterpCall& c) {
    const char* a = c.str(0);
    const char* b = c.str(1);
    return a && b ? ci_compare(a, b) : 0;
}

int32_t n_MsgText(InterpCall& c) {
    const char* t = c.str(1);
    if (!t)
        return 0;
    return MsgOut(unsigned(c.a[0]) & ~unsigned(QW_MSG_ID), "%s", t);
}

int32_t n_RunProgram(InterpCall& c) {
    const char* t = c.str(0);
    if (!t)
        return 0;
    std::string title(t); // the program's memory may move under a nested run
    return CExe_ExecuteByName(title.c_str(), c.a[1], c.a[2], c.a[3], nullptr, nullptr);
}

int32_t n_KeyboardOpen(InterpCall& c) {
    if (c.a[0] != 2 && c.a[0] != 3)
        return c.fail(INTERP_DATA, "KeyboardOpen: operation must be 2 or 3");
    KeyTranslateRequest req;
    req.op = c.a[0];
    return Key_Translate(req);
}

// The key-binding table belongs to the key bindings; until they fill the
// hooks these report that the service is missing and answer -1.
int32_t missing(const char* what) {
    MsgOut(QW_MSG_LOG, "KV: %s called before the key-binding table exists", what);
    return -1;
}

int32_t n_KeyBinding_Set(InterpCall& c) {
    InterpKeyHooks h = Interp_GetKeyHooks();
    int32_t count = c.a[1], ncmd = c.a[3];
    if (count < 0 || count > 64 || ncmd < 0 || ncmd > 256)
        return c.fail(INTERP_DATA, "KeyBinding_Set: key or command count out of range");
    const uint8_t* keys = count ? c.mem(0, uint32_t(count), false) : nullptr;
    const uint8_t* cmds = ncmd ? c.mem(2, uint32_t(ncmd) * 4, false) : nullptr;
    if ((count && !keys) || (ncmd && !cmds))
        return 0;
    if (!h.binding_set)
        return missing("KeyBinding_Set");
    std::vector<int> list(static_cast<size_t>(ncmd));
    if (ncmd)
        std::memcpy(list.data(), cmds, size_t(ncmd) * 4);
    return h.binding_set(keys, count, ncmd ? list.data() : nullptr, ncmd, c.a[4]);
}

int32_t n_KeyTable_Push(InterpCall& c) {
    InterpKeyHooks h = Interp_GetKeyHooks();
    return h.table_push ? h.table_push(c.a[0]) : missing("KeyTable_Push");
}

int32_t n_KeyTable_Pop(InterpCall& c) {
    InterpKeyHooks h = Interp_GetKeyHooks();
    return h.table_pop ? h.table_pop(c.a[0]) : missing("KeyTable_Pop");
}

int32_t n_CommandIdByName(InterpCall& c) {
    const char* name = c.str(0);
    if (!name)
        return 0;
    InterpKeyHooks h = Interp_GetKeyHooks();
    return h.command_id ? h.command_id(name) : K_cmd_id_from_name(name);
}

KeyTranslateRequest& req_of(InterpCall& c) { return *static_cast<KeyTranslateRequest*>(c.self); }

int32_t m_KeyReq_Op(InterpCall& c) { return req_of(c).op; }

int32_t m_KeyReq_TextToKeys(InterpCall& c) {
    KeyTranslateRequest& r = req_of(c);
    if (!r.text || !r.keys_out || r.keys_max < 1)
        return -1;
    return Key_TextToBytes(r.text, r.keys_out, r.keys_max);
}

int32_t m_KeyReq_KeysToText(InterpCall& c) {
    KeyTranslateRequest& r = req_of(c);
    std::string t;
    if (!r.keys || !r.text_out || r.text_max < 1 || !Key_BytesToText(r.keys, r.key_count, t))
        return -1;
    size_t n = std::min(t.size(), size_t(r.text_max - 1));
    std::memcpy(r.text_out, t.data(), n);
    r.text_out[n] = '\0';
    return int32_t(n);
}

int32_t m_KeyReq_OpenKeyboard(InterpCall& c) {
    KeyTranslateRequest& r = req_of(c);
    std::string path;
    if (r.text && *r.text) {
        path = r.text;
    } else {
        InterpKeyHooks h = Interp_GetKeyHooks();
        if (h.keyboard_file)
            path = h.keyboard_file();
        else
            path = Interp_ProgramFolder() + "/CONFIG/Keyboard.xxx";
    }
    if (path.empty()) {
        MsgOut(QW_MSG_LOG, "KV: no keyboard definition file is named");
        return -1;
    }
    return Key_LoadDefinition(path.c_str());
}

K_cmd_params* params_of(InterpCall& c) { return static_cast<K_cmd_params*>(c.self); }

InterpViewCallFn g_view_call = nullptr;

int32_t m_View_Call(InterpCall& c) {
    if (!g_view_call || !c.self)
        return -1;
    return g_view_call(c.self, c.a[0], c.a[1], c.a[2]);
}

// Results navigation and the mouse programs: the view layer answers the
// operations (3 go to a result line, 4 step through the results, 5 locate,
// 6 run a command) through the same hook as View_Call.
InterpViewServices g_view_services;

int32_t view_op(InterpCall& c, int op, int a) {
    if (!g_view_call || !c.self)
        return -1;
    return g_view_call(c.self, op, a, 0);
}

int32_t n_View_Current(InterpCall& c) {
    void* v = g_view_services.current_view ? g_view_services.current_view() : nullptr;
    return v ? c.give_object(v, IC_VIEW) : 0;
}
int32_t m_View_GoToResult(InterpCall& c) { return view_op(c, 3, c.a[0]); }
int32_t m_View_StepResult(InterpCall& c) { return view_op(c, 4, c.a[0]); }
int32_t m_View_Locate(InterpCall& c) { return view_op(c, 5, 0); }
int32_t m_View_Command(InterpCall& c) { return view_op(c, 6, c.a[0]); }

int32_t m_View_PopupMenu(InterpCall& c) {
    const char* items = c.str(0);
    if (!items || !c.self || !g_view_services.popup_menu)
        return 0;
    std::string copy(items); // the program's memory may move under a nested run
    return g_view_services.popup_menu(c.self, copy.c_str());
}

int32_t m_Cmd_Kind(InterpCall& c) { return params_of(c)->kind; }
int32_t m_Cmd_Id(InterpCall& c) { return params_of(c)->id; }

int32_t m_Cmd_Text(InterpCall& c) {
    int32_t size = c.a[1];
    if (size < 1)
        return c.fail(INTERP_DATA, "Cmd_Text: size below 1");
    uint8_t* out = c.mem(0, uint32_t(size), true);
    if (!out)
        return 0;
    return K_cmd_params_copy_string(params_of(c), reinterpret_cast<char*>(out), size);
}

int32_t m_Cmd_Number(InterpCall& c) {
    int n = -1;
    K_cmd_params_get_number(params_of(c), &n);
    return n;
}

// ---- Editing programs: the edit view's hooks ---------------------------------

InterpEditHooks g_edit;

// A text the program passes; null (a zero word) reads as the empty text.
const char* text_arg(InterpCall& c, int i) {
    if (!c.a[i])
        return "";
    return c.str(i);
}

// Copies a text into the program's buffer of `size` bytes; the length copied.
int32_t give_text(InterpCall& c, int i, int32_t size, const std::string& text) {
    if (size < 1)
        return c.fail(INTERP_DATA, "Edit: size below 1");
    uint8_t* d = c.mem(i, uint32_t(size), true);
    if (!d)
        return 0;
    size_t n = std::min(text.size(), size_t(size - 1));
    std::memcpy(d, text.data(), n);
    d[n] = 0;
    return int32_t(n);
}

int32_t m_Edit_Info(InterpCall& c) { return g_edit.info ? g_edit.info(c.self, c.a[0]) : -1; }

int32_t m_Edit_GetLine(InterpCall& c) {
    std::string t;
    if (!g_edit.get_line || g_edit.get_line(c.self, c.a[0], &t) < 0)
        return -1;
    return give_text(c, 1, c.a[2], t);
}

int32_t m_Edit_SetCaret(InterpCall& c) {
    return g_edit.set_caret ? g_edit.set_caret(c.self, c.a[0], c.a[1]) : -1;
}

int32_t m_Edit_Replace(InterpCall& c) {
    const char* t = text_arg(c, 3);
    if (!t)
        return 0;
    return g_edit.replace ? g_edit.replace(c.self, c.a[0], c.a[1], c.a[2], t) : -1;
}

int32_t m_Edit_Insert(InterpCall& c) {
    const char* t = text_arg(c, 0);
    if (!t)
        return 0;
    return g_edit.insert ? g_edit.insert(c.self, t, c.a[1]) : -1;
}

int32_t m_Edit_InsertLine(InterpCall& c) {
    const char* t = text_arg(c, 1);
    if (!t)
        return 0;
    return g_edit.insert_line ? g_edit.insert_line(c.self, c.a[0], t) : -1;
}

int32_t m_Edit_DeleteLines(InterpCall& c) {
    return g_edit.delete_lines ? g_edit.delete_lines(c.self, c.a[0], c.a[1]) : -1;
}

int32_t m_Edit_SplitLine(InterpCall& c) {
    return g_edit.split_line ? g_edit.split_line(c.self, c.a[0]) : -1;
}

int32_t m_Edit_OpenLine(InterpCall& c) {
    return g_edit.open_line ? g_edit.open_line(c.self, c.a[0]) : -1;
}

int32_t m_Edit_Indent(InterpCall& c) { return g_edit.indent ? g_edit.indent(c.self, c.a[0]) : -1; }
int32_t m_Edit_Undent(InterpCall& c) { return g_edit.undent ? g_edit.undent(c.self) : -1; }

int32_t m_Edit_Selection(InterpCall& c) {
    return g_edit.selection ? g_edit.selection(c.self, c.a[0]) : -1;
}

int32_t m_Edit_ColumnAt(InterpCall& c) {
    return g_edit.column_at ? g_edit.column_at(c.self, c.a[0], c.a[1]) : -1;
}

int32_t m_Edit_Clipboard(InterpCall& c) {
    return g_edit.clipboard ? g_edit.clipboard(c.self, c.a[0]) : -1;
}

int32_t m_Edit_Undo(InterpCall& c) { return g_edit.undo ? g_edit.undo(c.self, c.a[0]) : -1; }
int32_t m_Edit_Group(InterpCall& c) { return g_edit.group ? g_edit.group(c.self, c.a[0]) : -1; }

int32_t m_Edit_FindTemplate(InterpCall& c) {
    const char* name = c.str(0);
    std::string t;
    if (!name || !g_edit.find_template || g_edit.find_template(c.self, name, &t) < 0)
        return -1;
    return give_text(c, 1, c.a[2], t);
}

int32_t m_Edit_Buffer(InterpCall& c) {
    const char* name = text_arg(c, 1);
    if (!name)
        return 0;
    return g_edit.buffer ? g_edit.buffer(c.self, c.a[0], name) : -1;
}

int32_t m_List_AddBufferNames(InterpCall& c) {
    return g_edit.buffer_names ? g_edit.buffer_names(c.self) : -1;
}

#define QW_NATIVE(name, argc, desc) {#name, argc, IC_NONE, n_##name},
const InterpNativeEntry kNatives[] = {
#include "commands/interp_natives.inc"
};
#undef QW_NATIVE

#define QW_METHOD(cls, name, argc, desc) {#name, argc, IC_##cls, m_##name},
const InterpNativeEntry kMethods[] = {
#include "commands/interp_natives.inc"
};
#undef QW_METHOD

} // namespace

void Interp_SetViewCallHook(InterpViewCallFn fn) { g_view_call = fn; }
void Interp_SetViewServices(const InterpViewServices* services) {
    g_view_services = services ? *services : InterpViewServices{};
}

void Interp_SetEditHooks(const InterpEditHooks* hooks) { g_edit = hooks ? *hooks : InterpEditHooks(); }

const InterpNativeEntry* interp_natives(int* count) {
    *count = int(sizeof kNatives / sizeof kNatives[0]);
    return kNatives;
}

const InterpNativeEntry* interp_methods(int* count) {
    *count = int(sizeof kMethods / sizeof kMethods[0]);
    return kMethods;
}
