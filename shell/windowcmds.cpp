// The Window menu's commands and the About box.
#include "shell/windowcmds.h"

#include <windows.h>

#include "commands/cmdtable.h"
#include "editor/doccmds.h"
#include "framework/fwapp.h"
#include "framework/fwframe.h"
#include "framework/fwview.h"
#include "opsys/msgout.h"
#include "opsys/shell_outlets.h"
#include "opsys/systime.h"

namespace {

enum : int {
    kWindowNext = 367,
    kWindowSize = 370,
    kWindowTileHorizontally = 372,
};

HWND active_child(HWND client) {
    return client ? reinterpret_cast<HWND>(SendMessageA(client, WM_MDIGETACTIVE, 0, 0)) : nullptr;
}

// The document window a command works on: the frame of its view, else the
// active one. Null when the command names a view that is not a document's.
HWND command_frame(K_cmd_params* params) {
    bool named = params && K_cmd_params_valid(params) && params->view;
    fw::View* view = CommandView(params);
    if (view) {
        fw::FrameWindow* frame = view->GetParentFrame();
        return frame ? frame->hwnd() : nullptr;
    }
    return named ? nullptr : active_child(CommandMdiClient());
}

int WindowNew_cmd(int, K_cmd_params* params) { return OpenNewWindowForView(CommandView(params)); }

int WindowClose_cmd(int, K_cmd_params* params) {
    HWND frame = command_frame(params);
    if (!frame) return 0;
    SendMessageA(frame, WM_CLOSE, 0, 0);
    return 1;
}

int WindowNext_cmd(int id, K_cmd_params* params) {
    HWND client = CommandMdiClient();
    HWND child = active_child(client);
    // Moving the window's tab ("DTBSwap") needs the document tab bar.
    char text[16] = "";
    if (params && K_cmd_params_valid(params) && K_cmd_params_copy_string(params, text, sizeof text) > 0 &&
        lstrcmpiA(text, "DTBSwap") == 0)
        return 0;
    if (!child) return 0;
    SendMessageA(client, WM_MDINEXT, reinterpret_cast<WPARAM>(child), id == kWindowNext ? 0 : 1);
    return 1;
}

int WindowZoom_cmd(int, K_cmd_params* params) {
    HWND client = CommandMdiClient();
    HWND frame = command_frame(params);
    if (!client || !frame) return 0;
    if (IsZoomed(frame))
        SendMessageA(client, WM_MDIRESTORE, reinterpret_cast<WPARAM>(frame), 0);
    else
        SendMessageA(client, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(frame), 0);
    return 1;
}

// Keyboard sizing and moving run their own modal loop: posted, so that the
// command ends first.
int WindowSizeMove_cmd(int id, K_cmd_params* params) {
    HWND frame = command_frame(params);
    if (!frame) frame = CommandMainWindow();
    if (!frame) return 0;
    PostMessageA(frame, WM_SYSCOMMAND, id == kWindowSize ? SC_SIZE : SC_MOVE, 0);
    return 1;
}

int WindowTile_cmd(int id, K_cmd_params*) {
    HWND client = CommandMdiClient();
    if (!client) return 0;
    SendMessageA(client, WM_MDITILE, id == kWindowTileHorizontally ? MDITILE_HORIZONTAL : MDITILE_VERTICAL, 0);
    return 1;
}

int WindowCascade_cmd(int, K_cmd_params*) {
    HWND client = CommandMdiClient();
    if (!client) return 0;
    SendMessageA(client, WM_MDICASCADE, 0, 0);
    return 1;
}

int WindowArrange_cmd(int, K_cmd_params*) {
    HWND client = CommandMdiClient();
    if (!client) return 0;
    SendMessageA(client, WM_MDIICONARRANGE, 0, 0);
    return 1;
}

int HelpAbout_cmd(int, K_cmd_params*) {
    CModuleVersion version;
    std::string name = version.GetFileVersionInfo(nullptr) ? version.GetValue("ProductName").c_str() : "";
    std::string caption = "About " + (name.empty() ? std::string("QW") : name);
    QwMessageBox(caption.c_str(), AboutText().c_str(), QW_MB_OK | QW_MB_ICONINFORMATION, 0);
    return 1;
}

struct Binding {
    const char* slot;
    K_cmd_fn fn;
};
const Binding kBindings[] = {
    {"WindowNew", WindowNew_cmd},
    {"WindowClose", WindowClose_cmd},
    {"WindowNext", WindowNext_cmd},
    {"WindowPrevious", WindowNext_cmd},
    {"WindowZoom", WindowZoom_cmd},
    {"WindowSize", WindowSizeMove_cmd},
    {"WindowMove", WindowSizeMove_cmd},
    {"WindowTileHorizontally", WindowTile_cmd},
    {"WindowTileVertically", WindowTile_cmd},
    {"WindowCascade", WindowCascade_cmd},
    {"WindowArrange", WindowArrange_cmd},
    {"HelpAbout", HelpAbout_cmd},
};

}  // namespace

void InstallWindowCommands() {
    for (const Binding& b : kBindings) K_cmd_bind_function(b.slot, b.fn);
}

void RemoveWindowCommands() {
    for (const Binding& b : kBindings) K_cmd_bind_function(b.slot, nullptr);
}

std::string AboutText() {
    CModuleVersion version;
    if (!version.GetFileVersionInfo(nullptr)) return "QW32";
    // The resource's values carry their terminating zero: cut there.
    auto value = [&](const char* key) { return std::string(version.GetValue(key).c_str()); };
    std::string text = value("ProductName");
    std::string number = value("ProductVersion");
    if (!number.empty()) text += (text.empty() ? "" : "\n") + ("Version: " + number);
    std::string copyright = value("LegalCopyright");
    if (!copyright.empty()) text += (text.empty() ? "" : "\n") + copyright;
    return text.empty() ? "QW32" : text;
}
