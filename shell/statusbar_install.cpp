// Connects the status bar, the output pane, the do-not-ask-again store and
// the command line to the main frame's and the application's seams.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/nbmsgbox.h"
#include "framework/fwapp.h"
#include "opsys/msgout.h"
#include "commands/cmdseq.h"
#include "commands/cmdtable.h"
#include "commands/interp.h"
#include "commands/keytrans.h"
#include "editor/panes.h"
#include "shell/cmdline.h"
#include "shell/dnaa.h"
#include "shell/mainframe.h"
#include "shell/outputpane.h"
#include "shell/qwapp.h"
#include "shell/qwfolders.h"
#include "shell/qwwiring.h"
#include "shell/statusbar.h"
#include "shell/statusbar_install.h"

namespace {

std::unique_ptr<CDNAA_MsgBox> g_store;
constexpr int kOutputHeight = 160;

// Keeps the status bar at the bottom of the frame and the output pane above
// it; the document area gets the rest.
void LayoutBars(HWND frame) {
    auto* f = dynamic_cast<CMainFrame*>(fw::Window::FromHandlePermanent(frame));
    RECT rc;
    GetClientRect(frame, &rc);
    int bottom = rc.bottom;
    if (QWCustomStatusBar* bar = QwGetStatusBar()) {
        const int h = 22;
        bottom -= h;
        MoveWindow(bar->hwnd(), 0, bottom, rc.right, h, TRUE);
    }
    HWND pane = Output_PaneWindow();
    if (pane && GetParent(pane) == frame && IsWindowVisible(pane)) {
        int h = bottom - kOutputHeight > 40 ? kOutputHeight : bottom / 3;
        bottom -= h;
        MoveWindow(pane, 0, bottom, rc.right, h, TRUE);
    }
    if (f && f->mdi_client()) MoveWindow(f->mdi_client(), 0, 0, rc.right, bottom > 0 ? bottom : 0, TRUE);
}

LRESULT CALLBACK FrameSubclass(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    LRESULT r = DefSubclassProc(wnd, msg, wp, lp);
    if (msg == WM_SIZE) LayoutBars(wnd);
    if (msg == WM_NCDESTROY) {
        Output_CloseAll();
        QwDestroyStatusBar();
        DNAA_SetStore(nullptr);
        g_store.reset();
    }
    return r;
}

void PaneClick(int id, bool right);

bool CreateStatusBarHook(CMainFrame* frame) {
    if (!QwCreateStatusBar(frame->hwnd())) return false;
    QwStatusHooks sh;
    sh.pane_click = PaneClick;
    sh.view_info = QwStatusViewInfoOfActiveView;
    QwSetStatusHooks(sh);
    SetWindowSubclass(frame->hwnd(), FrameSubclass, 1, 0);
    // The store belongs with the frame: created with it, written and freed
    // when it goes.
    char name[101] = "";
    if (!LoadAppString(6980, name, sizeof name)) lstrcpynA(name, "QWDNAA", sizeof name);
    std::string user = GetConfigFilePathStr(name, 1);
    std::string master = GetMasterFilePath((std::string(name) + ".xxx").c_str(), 0);
    g_store = DNAA_CreateStore(user.c_str(), master.c_str());
    DNAA_SetStore(g_store.get());
    LayoutBars(frame->hwnd());
    return true;
}

// A click on a pane runs its command through the frame, as a menu does.
void PaneClick(int id, bool right) {
    fw::Application* app = fw::Application::Current();
    HWND frame = app ? app->main_window() : nullptr;
    if (!frame) return;
    if (right) {
        if (id == kPanePath) CExe_ExecuteByName("locate", 1, 684, 0, nullptr, nullptr);
        return;
    }
    int command = 0;
    switch (id) {
    case kPaneMode: command = 449; break;      // insert/overtype (edit mode for a view-only file)
    case kPaneFlags: command = 604; break;     // word wrap
    case kPaneLine: command = 389; break;      // go to line
    case kPaneColumn: command = 430; break;    // go to column
    case kPaneModified: command = 322; break;  // save
    case kPanePath: command = 316; break;      // open
    }
    if (command) PostMessageA(frame, WM_COMMAND, WPARAM(command), 0);
}

bool CreateOutputPaneHook(CMainFrame*) {
    QwOutputHooks h;
    h.show_host = [](bool show, int) {
        if (HWND p = Output_PaneWindow()) {
            ShowWindow(p, show ? SW_SHOW : SW_HIDE);
            if (HWND frame = GetParent(p)) LayoutBars(frame);
        }
    };
    QwSetOutputHooks(h);
    return true;
}

intptr_t OutputRequestHook(int kind, void* record, void* thread) {
    intptr_t r = QwOutputServe(kind, record, thread);
    if (HWND p = Output_PaneWindow())
        if (HWND frame = GetParent(p)) LayoutBars(frame);
    return r;
}

void FileNotFound(const char* path) {
    DnaaArg a[] = {path};
    if (DNAA_MessageBoxByName("CmdLineFileNotFound", a, 1) < 0)
        MsgOut(QW_MSG_LOG, "Command line: %s does not exist", path);
}

// "-k": the command list runs as a played macro would, on the current view.
int RunCommandLineCommand(const char* command, std::string* error) {
    std::vector<int32_t> ids;
    if (ParseKeyCommandList(&ids, command, error) < 0 || ids.empty()) return -1;
    ReadCtrlBreak();
    K_cmd_stop_flag(0);
    K_cmd_params params;
    K_cmd_params_init(&params, 8, 0, nullptr, 0, 0);
    K_cmd_sequence seq{ids.data(), ids.data()};
    return K_cmd_run_sequence(&seq, CurrentViewForCommands(), &params) ? 1 : 0;
}

} // namespace

void QwInstallStatusPieces() {
    QwFrameHooks fh = GetFrameHooks();
    fh.create_status_bar = CreateStatusBarHook;
    fh.create_output_pane = CreateOutputPaneHook;
    fh.status_filter = QwStatusFilter;
    fh.output_request = OutputRequestHook;
    fh.command_line_block = QwCmdLineReceiveBlock;
    SetFrameHooks(&fh);

    QwAppHooks ah;
    ah.hand_off = QwCmdLineHandOff;
    ah.publish_main_window = QwCmdLinePublishMainWindow;
    ah.status_set_text = QwStatusSetTextOutlet;
    ah.status_reset = QwStatusResetOutlet;
    ah.status_bar_window = QwStatusBarWindowOutlet;
    ah.output_print = QwOutputPrintOutlet;
    SetAppHooks(&ah);

    QwSetDnaaOutlets(QwCtlCheckMessageBox, QwStatusShowMessage);
    QwSetWiringOutlets(QwOutputWiringOutlets());

    QwCmdLineActions a;
    a.set_directory = [](const char* d) { return SetCurrentDirectoryA(d) != 0; };
    a.file_exists = [](const char* p) { return GetFileAttributesA(p) != INVALID_FILE_ATTRIBUTES; };
    a.shell_command = [](const CQWCmdLineInfo& info) {
        fw::Application* app = fw::Application::Current();
        if (!app) return 0;
        if (info.shell_command != fw::CommandLineInfo::kFileOpen) return 0;
        return app->OpenDocumentFile(info.file_name) ? 1 : 0;
    };
    a.open_file = [](const char* p) {
        fw::Application* app = fw::Application::Current();
        return app && app->OpenDocumentFile(p) != nullptr;
    };
    a.file_not_found = FileNotFound;
    a.go_to = GoToCommandLinePlace;
    a.close_main_frame = [] {
        fw::Application* app = fw::Application::Current();
        if (HWND w = app ? app->main_window() : nullptr) PostMessageA(w, WM_CLOSE, 0, 0);
    };
    a.run_command = RunCommandLineCommand;
    a.show_main_window_once = [] {
        fw::Application* app = fw::Application::Current();
        if (HWND w = app ? app->main_window() : nullptr) {
            if (IsIconic(w)) ShowWindow(w, SW_RESTORE);
            else if (!IsWindowVisible(w)) ShowWindow(w, SW_SHOW);
        }
    };
    QwSetCmdLineActions(a);
}
