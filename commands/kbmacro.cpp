// Keyboard macros: recording, playing, the text form and "Buffer m".
#include "commands/kbmacro.h"

#include <cctype>
#include <cstring>

#include "VmEngine/vm.h"
#include "commands/cmdseq.h"
#include "commands/cmdvalues.h"
#include "commands/interp.h"
#include "commands/keybind.h"
#include "commands/keytrans.h"
#include "opsys/msgout.h"

namespace {

enum : int { K_MacroRecord = 554, K_MacroPlay = 555 };
enum : int { kMacroLineMax = 4096, kCurrentFlag = 8 };

// Compare options: the name before the tab, any case (and no duplicate on insert).
enum : uint32_t {
    kFindOptions = VM_CMP_NOCASE | VM_CMP_FIRST_TAB,
    kInsertOptions = VM_CMP_NOCASE | VM_CMP_FIRST_TAB | VM_CMP_NO_DUP,
};

bool starts_param(const std::vector<int32_t>& chars) {
    static const char kParam[] = "param=";
    if (chars.size() < 6)
        return false;
    for (size_t i = 0; i < 6; ++i)
        if (std::tolower(chars[i] & 0xFF) != kParam[i])
            return false;
    return true;
}

// A quoted run of characters. Typed text that begins with "param=" starts
// with its first character escaped outside the quotes, so that it does not
// read back as a parameter text.
void quote_text(std::string& out, const std::vector<int32_t>& chars, bool typed) {
    size_t i = 0;
    if (typed && starts_param(chars)) {
        out += '\\';
        out += char(chars[0]);
        i = 1;
    }
    out += '"';
    for (; i < chars.size(); ++i) {
        char c = char(chars[i]);
        if (c == '"') {
            out += "\\\"";
        } else if (c == '\\' && i + 1 == chars.size()) {
            // A backslash before the closing quote would read as an escaped
            // quote: close first and write it escaped outside the quotes.
            out += "\"\\\\";
            return;
        } else {
            out += c;
        }
    }
    out += '"';
}

} // namespace

CMacroMgr* GetMacroManager() {
    static CMacroMgr manager;
    return &manager;
}

int GetMacroState() {
    CMacroMgr* m = GetMacroManager();
    return (m->IsRecording() ? K_MACRO_RECORDING : 0) | (m->IsPlaying() ? K_MACRO_PLAYING : 0);
}

void CMacroMgr::Clear() {
    ids_.clear();
    text_.clear();
    name_.clear();
}

void CMacroMgr::StartRecording() {
    ids_.clear();
    recording_ = true;
}

void CMacroMgr::Record(int id) {
    if (id == K_MacroRecord)
        return;
    if (!ids_.empty() && ids_.back() == -1)
        ids_.pop_back();
    ids_.push_back(id);
}

void CMacroMgr::RecordText(const char* text) {
    ids_.push_back(K_SEQ_PARAM_OPEN);
    for (const char* p = text ? text : ""; *p; ++p)
        ids_.push_back(static_cast<unsigned char>(*p));
    ids_.push_back(K_SEQ_PARAM_CLOSE);
}

void CMacroMgr::StopRecording() {
    recording_ = false;
    bool only_play = ids_.size() == 1 && ids_[0] == K_MacroPlay;
    if (ids_.empty() || only_play) {
        Clear();
        return;
    }
    ids_.push_back(K_SEQ_END);
    BuildText();
    SaveAsLast();
}

int CMacroMgr::Play() {
    if (recording_) {
        StopRecording();
        return -1;
    }
    if (ids_.empty() || ids_[0] == K_SEQ_END)
        return 0;
    playing_ = true;
    // The list may be replaced by a command it runs: play a copy.
    std::vector<int32_t> list = ids_;
    if (list.back() != K_SEQ_END)
        list.push_back(K_SEQ_END);
    for (;;) {
        K_cmd_params params;
        K_cmd_params_init(&params, 3, 0, nullptr, 0, 0);
        K_cmd_sequence seq{list.data(), list.data()};
        int done = K_cmd_run_sequence(&seq, nullptr, &params);
        if (done || !K_cmd_sequence_hit_macro_play())
            break;
        if (IsKeyDownCtrlBreak() || K_cmd_stop_flag(-1))
            break;
    }
    playing_ = false;
    return 1;
}

const std::string& CMacroMgr::BuildText() {
    text_.clear();
    std::vector<int32_t> run;
    auto item = [&](const std::string& s) {
        if (!text_.empty())
            text_ += ',';
        text_ += s;
    };
    auto flush = [&] {
        if (run.empty())
            return;
        std::string q;
        quote_text(q, run, true);
        item(q);
        run.clear();
    };
    for (size_t i = 0; i < ids_.size() && ids_[i] != K_SEQ_END; ++i) {
        int32_t v = ids_[i];
        if (v == K_SEQ_PARAM_OPEN) {
            flush();
            std::vector<int32_t> param;
            for (++i; i < ids_.size() && ids_[i] != K_SEQ_PARAM_CLOSE && ids_[i] != K_SEQ_END; ++i)
                param.push_back(ids_[i]);
            std::string q;
            quote_text(q, param, false);
            item("\"param=" + q.substr(1));
            if (i < ids_.size() && ids_[i] == K_SEQ_END)
                break;
            continue;
        }
        if (v >= 1 && v <= 255) {
            run.push_back(v);
            continue;
        }
        flush();
        char name[K_CMD_NAME_BUF];
        if (K_cmd_get_name(name, v)) {
            const char* n = name;
            while (*n == '\t')
                ++n;
            item(n);
        }
    }
    flush();
    return text_;
}

VMB* CMacroMgr::list(bool create) {
    VMB* b = vmb_find(VMB_T_TEMP, kListName);
    if (!b && create)
        b = vmb_open(VMB_T_TEMP, kListName, VMB_O_FILE);
    return b;
}

int CMacroMgr::line_of(const char* name) {
    VMB* b = list(false);
    if (!b || !name)
        return 0;
    int code = 0;
    int line = vm_bsearch(b, name, kFindOptions, &code);
    return code == 0 ? line : 0;
}

void CMacroMgr::SaveAsLast() {
    BuildText();
    name_ = kLastName;
    VMB* b = list(true);
    if (!b)
        return;
    int old = line_of(kLastName);
    if (old > 0)
        vm_delete_line(b, old);
    std::string line = name_ + "\t" + text_;
    int at = vm_insert_sorted(b, line.c_str(), kInsertOptions);
    if (at > 0) {
        vm_set_position(b, at, 0);
        MarkCurrent();
    }
}

bool CMacroMgr::LoadLine(int line, std::string* name) {
    VMB* b = list(false);
    if (!b)
        return false;
    char text[kMacroLineMax + 1];
    int flags = 0;
    int n = vm_read_text(b, line, 0, text, kMacroLineMax, &flags);
    if (n < 0)
        return false;
    text[n < kMacroLineMax ? n : kMacroLineMax] = '\0';
    char* tab = std::strchr(text, '\t');
    if (!tab) {
        MsgOut(QW_MSG_BOX, "Macro: %s is invalid.", text);
        return false;
    }
    std::vector<int32_t> ids;
    std::string error;
    if (ParseKeyCommandList(&ids, tab + 1, &error) < 0) {
        MsgOut(QW_MSG_BOX, "Error reading macro: %s.\n\n%s", text, error.empty() ? "" : error.c_str() + 1);
        return false;
    }
    *tab = '\0';
    if (name)
        *name = text;
    ids_ = std::move(ids);  // already -1-terminated
    text_ = tab + 1;
    return true;
}

bool CMacroMgr::LoadByName(const char* name) {
    std::string n;
    int line = line_of(name);
    if (line > 0 && LoadLine(line, &n)) {
        name_ = n;
        return true;
    }
    Clear();
    return false;
}

bool CMacroMgr::LoadCurrent() {
    VMB* b = list(false);
    if (!b)
        return false;
    int line = vm_find_flagged_line(b, 1, 1, 0, kCurrentFlag, kCurrentFlag);
    std::string n;
    if (line > 0 && LoadLine(line, &n)) {
        name_ = n;
        return true;
    }
    return false;
}

void CMacroMgr::MarkCurrent() {
    VMB* b = list(false);
    if (!b || !vm_line_count(b))
        return;
    vm_line_flags_range(b, 1, vm_line_count(b), VM_OP_CLEAR, kCurrentFlag, 0);
    int line = line_of(name_.c_str());
    if (line > 0)
        vm_line_flags(b, line, VM_OP_SET, kCurrentFlag);
}

// ---- Handlers ----------------------------------------------------------------

int K_MacroRecord_cmd(int, K_cmd_params*) {
    CMacroMgr* m = GetMacroManager();
    if (m->IsRecording())
        m->StopRecording();
    else
        m->StartRecording();
    return 1;
}

int PlayMacro(int, K_cmd_params* params) {
    CMacroMgr* m = GetMacroManager();
    char name[K_CMD_SEQ_TEXT_MAX + 1] = "";
    bool named = K_cmd_params_copy_string(params, name, int(sizeof name)) > 0;
    if (named) {
        if (params && params->kind == 3) {
            MsgOut(522, "A named macro can't be played from within a macro.");
            return 0;
        }
        if (!m->LoadByName(name)) {
            MsgOut(QW_MSG_BOX, "Macro: '%s' doesn't exist.", name);
            m->LoadCurrent();
            return 0;
        }
    }
    bool was_recording = m->IsRecording();
    int r = m->Play();
    if (was_recording) {
        if (!m->Ids().empty())
            MsgOut(522, "Macro recorded stopped. This macro will play itself.\nUse Ctrl+Break to stop it, if necessary.");
        else
            MsgOut(522, "Macro recorded stopped. No macro was recorded as Macro|Play\nmust be preceeded by other commands.");
    } else if (r == 0) {
        MsgOut(QW_MSG_STATUS_HOLD, "No macro to play");
    }
    if (named)
        m->LoadCurrent();
    return r;
}

int K_MacroManager_cmd(int id, K_cmd_params* params) {
    CMacroMgr* m = GetMacroManager();
    if (m->IsRecording() || m->IsPlaying()) {
        MsgOut(10, "This action is not allowed while Macro %s is in progress.",
               m->IsRecording() ? "Recording" : "Playback");
        return 0;
    }
    return CExe_ExecuteByName("MacroMgmt", 1, id, 0, m, params);
}

namespace {
int recording_state(int) { return GetMacroManager()->IsRecording() ? 1 : 0; }
int key_help_slot(int id, K_cmd_params*) { return Key_help_cmd(id); }
} // namespace

void K_cmd_keys_install() {
    K_cmd_bind_function("MacroRecord", K_MacroRecord_cmd);
    K_cmd_bind_function("MacroPlay", PlayMacro);
    K_cmd_bind_function("MacroManager", K_MacroManager_cmd);
    K_cmd_bind_function("Key_help_cmd", key_help_slot);
    static const K_cmd_live_hooks rec = {recording_state, nullptr};
    K_cmd_set_live_value(K_MacroRecord, &rec);
    KeyBinding_InstallInterpHooks();
}
