// The one entry for every dialog, and the small dialogs built on it.
#include <atomic>
#include <cstdio>
#include <cstring>

#include "Reu/history.h"
#include "commands/cmdlists.h"
#include "commands/cmdtable.h"
#include "commands/dlgcontrols.h"
#include "commands/dlgengine.h"
#include "Reu/history.h"
#include "VmEngine/vm.h"
#include "opsys/msgout.h"

bool DlgStartDialogThread(QWDialog* dialog, int template_id);

namespace {

void InitEngine(QWDialog* dlg, const intptr_t* values, const char* caption, DlgLineFormatter formatter,
                unsigned flags, const char* const* labels, DlgString* strings, int command_id, const char* program,
                intptr_t program_arg, CDialogCallback* callback) {
    dlg->ui()->Init(command_id, flags, caption, labels, strings, values, formatter, program, program_arg, callback);
}

// The history a control of the current dialog shows: the name of the list
// buffer bound to it.
int HistoryListOfControl(int control_id, char* out, int size) {
    Dialog_UI* ui = DlgCurrentEngine();
    HWND w = ui ? ui->Item(control_id) : nullptr;
    CCtrl_Info* info = w ? ui->Info(w, false) : nullptr;
    if (!info || !info->list || !out || size <= 0) return 0;
    char name[VM_NAME_MAX + 1] = "";
    {
        VmGuard guard;
        vmb_get_name(info->list, name);
    }
    return name[0] && DlgCopyToString({out, size}, name) ? 1 : 0;
}

} // namespace

void DlgInstallHistoryResolver() {
    static std::atomic<bool> installed{false};
    if (!installed.exchange(true)) HistoryListSetControlResolver(HistoryListOfControl);
}

int dialog_manager_ex(int template_id, const intptr_t* values, const char* caption, DlgLineFormatter formatter,
                      unsigned flags, const char* const* labels, DlgString* strings, int command_id, int table_id,
                      const char* program, intptr_t program_arg, CDialogCallback* callback, K_cmd_params* params) {
    if (DlgCheckCommandList(nullptr, flags, strings, params) == 1) {
        delete callback;  // the dialog owns it, and there is no dialog
        return 1;
    }
    if (flags & DLG_F_MODELESS) {
        auto* dlg = new QWDialog(template_id, table_id);
        InitEngine(dlg, values, caption, formatter, flags, labels, strings, command_id, program, program_arg, callback);
        if (!DlgStartDialogThread(dlg, template_id)) {
            delete dlg;
            MsgOut(QW_MSG_LOG | QW_MSG_SERIOUS | QW_MSG_BOX, "An exception was raised within dialog_manager_ex().");
            return -1;
        }
        return 1;
    }
    HWND focus = GetFocus();
    INT_PTR result;
    {
        QWDialog dlg(template_id, table_id);
        InitEngine(&dlg, values, caption, formatter, flags, labels, strings, command_id, program, program_arg, callback);
        result = dlg.DoModal();
    }
    MsgOut(QW_MSG_STATUS, nullptr);
    if (focus && IsWindow(focus) && GetFocus() != focus) SetFocus(focus);
    return static_cast<int>(result);
}

int DlgPromptValue(DlgString result, const char* caption, const char* prompt, int command_id, unsigned flags,
                   K_cmd_params* params) {
    const char* labels[] = {prompt ? prompt : "", nullptr};
    DlgString strings[] = {result, {nullptr, 0}};
    int tmpl = (flags & 0x1) ? 2300 : 2320;
    unsigned f = (flags & ~0x1u) | 0x1000;
    int r = dialog_manager_ex(tmpl, nullptr, caption, nullptr, f, labels, strings, command_id, 0, nullptr, 0, nullptr,
                              params);
    if (r != 1 || !result.text) return -1;
    long v = 0;
    return DlgReadSpinValue(result.text, &v) ? static_cast<int>(v) : -1;
}

int ChangeFolderDialog(DlgString path, unsigned options, int caption_id, int command_id) {
    char folder[MAX_PATH] = "";
    if ((options & 0x4) && path.text && path.text[0]) {
        DWORD a = GetFileAttributesA(path.text);
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY))
            DlgCopyToString({folder, static_cast<int>(sizeof folder)}, path.text);
    }
    char caption[200] = "";
    if (caption_id) {
        unsigned id = caption_id == 1 ? DLG_IDS_SELECT_FOLDER : static_cast<unsigned>(caption_id);
        LoadStringA(GetModuleHandleA(nullptr), id, caption, sizeof caption);
    }
    DlgString strings[] = {{folder, static_cast<int>(sizeof folder)}, {nullptr, 0}};
    int r = dialog_manager_ex(2005, nullptr, caption, nullptr, DLG_F_KEEP_PLACEMENT, nullptr, strings, command_id, 0,
                              nullptr, 0, nullptr, nullptr);
    if (r != 1) return r;
    if ((options & 0x1) && folder[0] && path.text && path.text[0]) {
        std::string joined = path.text;
        if (folder[1] == ':' || folder[0] == '\\' || folder[0] == '/') joined = folder;
        else joined += (joined.back() == '\\' || joined.back() == '/') ? std::string(folder) : "\\" + std::string(folder);
        if (!DlgCopyToString(path, joined.c_str())) {
            MsgOutId(258, DLG_IDS_NAME_TOO_LONG, joined.c_str(), "");
            return -1;
        }
    } else if (!DlgCopyToString(path, folder)) {
        MsgOutId(258, DLG_IDS_NAME_TOO_LONG, folder, "");
        return -1;
    }
    if ((options & 0x2) && path.text && path.text[0]) {
        // The folder history of the change-directory command.
        VMB* history = nullptr;
        if (K_cmd_make_list(611, KL_DIRECT, nullptr, &history) >= 0 && history)
            HistoryListEntry(history, path.text, HL_OP_ADD, HL_TOP | HL_CMP_NOCASE2);
    }
    return r;
}

int MessageBoxWithList(unsigned string_id, const std::vector<std::string>& list, unsigned flags, int extra) {
    char format[1024] = "";
    LoadStringA(GetModuleHandleA(nullptr), string_id, format, sizeof format);
    std::string items;
    int n = 0;
    for (const std::string& s : list) {
        if (n++ == 15) {
            items += "\r....";
            break;
        }
        items += "\r" + s;
    }
    std::string text = format;
    size_t at = text.find("%1");
    if (at != std::string::npos) text.replace(at, 2, items);
    unsigned style = flags >> 16;
    if (style & 0x4) style |= 0x20 | (extra == 0 ? 0x100 : 0);
    return MsgOut((flags & 0xFFFF) | QW_MSG_BOX | (style << 16), "%s", text.c_str());
}
