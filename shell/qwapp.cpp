#include "shell/qwapp.h"

#include <winsock2.h>
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "Reu/history.h"
#include "VmEngine/create_vms.h"
#include "VmEngine/vm.h"
#include "commands/cmdprofile_win32.h"
#include "commands/cmdtable.h"
#include "commands/cmdvalues.h"
#include "commands/interp.h"
#include "commands/interp_keys.h"
#include "commands/kbmacro.h"
#include "commands/keybind.h"
#include "commands/keytrans.h"
#include "editor/appview.h"
#include "editor/colortable.h"
#include "editor/docmanager.h"
#include "editor/docread.h"
#include "editor/docsave.h"
#include "editor/fileinfo.h"
#include "editor/langdict.h"
#include "editor/langspec.h"
#include "editor/qwdoc.h"
#include "editor/stylesheet.h"
#include "editor/textview.h"
#include "editor/viewdraw.h"
#include "opsys/crashrpt.h"
#include "opsys/msgout.h"
#include "opsys/paths.h"
#include "opsys/shell_outlets.h"
#include "res/resource.h"
#include "shell/mainframe.h"
#include "shell/qwfiletypes.h"
#include "shell/qwfolders.h"
#include "shell/qwmenus.h"
#include "shell/qwversion.h"
#include "shell/childframe.h"
#include "shell/qwwiring.h"
#include "shell/shellstrings.h"
#include "widgets/newmenu.h"

namespace {

QwAppHooks g_app_hooks;
std::mutex g_app_hooks_lock;
CQWApp* g_app = nullptr;
Stopwatch g_idle_watch;

enum : int {
    kSettingAutoSave = 641,
    kSettingUndoQueue = 644,
    kSettingBrowserDatabase = 520,
    kMainFrameStyle = 0xCF8000,
};

QwAppHooks AppHooks() {
    std::lock_guard<std::mutex> g(g_app_hooks_lock);
    return g_app_hooks;
}

void* MainWindowOutlet() {
    CQWApp* app = g_app;
    return app ? reinterpret_cast<void*>(app->main_window()) : nullptr;
}

int CloseStateOutlet() {
    CMainFrame* f = GetMainFrame();
    return f ? f->GetCloseState() : 0;
}

void AppVersionOutlet(char* out, int size) {
    if (!out || size <= 0) return;
    std::string v = GetAppVersion(0);
    std::snprintf(out, size_t(size), "Quedra %s", v.c_str());
}

// The command dictionary answers command names: class-c words of dictionary 37.
int LookupCommandWord(const char* word, char* text, int size) {
    int index = -1;
    if (!FindOrLoadLanguageSpec(&index, LANG_COMMANDS, nullptr, nullptr)) return -1;
    char copy[K_CMD_NAME_MAX + 1];
    std::snprintf(copy, sizeof copy, "%s", word);
    return LookupLanguageKeyword(copy, index, 0, text, size) == TOKEN_KEYWORD ? 1 : 0;
}

void InterpPathsHook(InterpPaths& out) {
    std::string compiler, include, source;
    GetMacroCompilerPaths(&compiler, &include, &source);
    out.macro_folder = source;
    out.compiler = compiler;
    out.include_path = include;
    out.working_folder = source;
    // The programs are compiled for the editor's program file: one older
    // than it is compiled again.
    std::string editor = GetProgramFilePath("QW32.exe");
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    out.editor_file = GetFileAttributesA(editor.c_str()) != INVALID_FILE_ATTRIBUTES ? editor : std::string(self);
}

// The user's keyboard definition, or its master while the user has none.
std::string KeyboardFile() {
    std::string user = GetConfigFilePathStr("Keyboard", 1);
    if (GetFileAttributesA(user.c_str()) != INVALID_FILE_ATTRIBUTES) return user;
    return GetMasterFilePath("Keyboard", 1);
}

std::string MenuKeyText(int id) {
    char text[128] = "";
    return KeyBindingText(text, sizeof text, id, false) ? std::string(text) : std::string();
}


void WriteStartupLog() {
    char date[128] = "", time_text[64] = "";
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_LONGDATE, nullptr, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time_text, sizeof time_text);
    MsgOut(QW_MSG_LOG, "----------------  QW started on: %s at: %s  --------------", date, time_text);
    MsgOut(QW_MSG_LOG, "%s", GetAppVersion(1).c_str());
    MEMORYSTATUSEX ms;
    ms.dwLength = sizeof ms;
    GlobalMemoryStatusEx(&ms);
    OSVERSIONINFOA osv{};
    osv.dwOSVersionInfoSize = sizeof osv;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&osv);
#pragma GCC diagnostic pop
    MsgOut(QW_MSG_LOG, "Physical Memory: %u, OS Version: %u.%u, NT = %s",
           unsigned(ms.ullTotalPhys > 0xFFFFFFFFull ? 0xFFFFFFFFull : ms.ullTotalPhys), unsigned(osv.dwMajorVersion),
           unsigned(osv.dwMinorVersion), osv.dwPlatformId == VER_PLATFORM_WIN32_NT ? "Yes" : "No");
    uint32_t max_buffers = 0, cache = 0, pages = 0, page_size = 0;
    vms_get_limits(&max_buffers, &cache);
    vms_page_info(&pages, &page_size);
    MsgOut(QW_MSG_LOG, "VM Cache details: Max Memory: %u, Max Buffers: %u, Max Cache Pages: %d, Page Size: %d",
           unsigned(cache), unsigned(max_buffers), int(pages), int(page_size));
}

// Keeps the process on one processor (the engine's locks were made for one).
void PinToOneProcessor() {
    using SetMaskFn = BOOL(WINAPI*)(HANDLE, DWORD_PTR);
    HMODULE k = GetModuleHandleA("Kernel32.DLL");
    auto set_mask = k ? reinterpret_cast<SetMaskFn>(reinterpret_cast<void*>(GetProcAddress(k, "SetProcessAffinityMask")))
                      : nullptr;
    if (!set_mask) return;
    DWORD_PTR process_mask = 0, system_mask = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask)) {
        MsgOut(QW_MSG_LOG, "KV: GetProcessAffinityMask() failed with error: %d", int(GetLastError()));
        return;
    }
    if (process_mask == 1) {
        MsgOut(QW_MSG_LOG, "Single Processor found.");
        return;
    }
    MsgOut(QW_MSG_LOG, "Multiple Processors found. dwProcessAffinityMask: %x", unsigned(process_mask));
    if (!set_mask(GetCurrentProcess(), 1))
        MsgOut(QW_MSG_LOG, "KV: SetProcessAffinityMask() failed with error: %d", int(GetLastError()));
}

UINT ChooseMenuDrawMode(const fw::Application& app) {
    // Display Setup's "New look Win XP menus" (dialog 2092, control 220).
    int new_look = app.GetProfileInt("2092", "220", 1);
    if (!new_look) return NEWMENU_CLASSIC;
    OSVERSIONINFOA osv{};
    osv.dwOSVersionInfoSize = sizeof osv;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&osv);
#pragma GCC diagnostic pop
    bool w2k_xp = osv.dwPlatformId == VER_PLATFORM_WIN32_NT && osv.dwMajorVersion == 5 && osv.dwMinorVersion <= 1;
    return w2k_xp ? NEWMENU_XP : NEWMENU_XP2;
}

} // namespace

void SetAppHooks(const QwAppHooks* hooks) {
    std::lock_guard<std::mutex> g(g_app_hooks_lock);
    g_app_hooks = hooks ? *hooks : QwAppHooks{};
}

CQWApp* GetQWApp() { return g_app; }
Stopwatch* GetAppStopwatch() { return &g_idle_watch; }

fw::MultiDocTemplate* GetDocTemplateById(unsigned id) {
    if (!g_app) return nullptr;
    for (auto& t : g_app->doc_manager()->templates())
        if (t->resource_id() == id) return t.get();
    return nullptr;
}

CQWApp::CQWApp() {
    g_app = this;
    run_watch_.Start();
    std::srand(unsigned(std::time(nullptr)));
    InstallFolderOutlets();
    // The crash report: "<program name>.rpt" in the per-user log folder.
    char self[MAX_PATH] = "", report[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string name = PathFileNameNoExtStr(self) + ".rpt";
    if (GetLogFilePath(report, name.c_str())) CrashReportInit(report);
}

CQWApp::~CQWApp() {
    if (g_app == this) g_app = nullptr;
}

void CQWApp::InstallOutlets() {
    QwAppHooks h = AppHooks();
    QwShellOutlets o = QwGetShellOutlets();
    o.main_window = MainWindowOutlet;
    o.frame_close_state = CloseStateOutlet;
    o.app_thread_id = GetCurrentThreadId();
    o.app_version = AppVersionOutlet;
    o.status_set_text = h.status_set_text;
    o.status_reset = h.status_reset;
    o.status_bar_window = h.status_bar_window;
    o.output_print = h.output_print;
    QwSetShellOutlets(&o);
}

bool CQWApp::InitInstance() {
    fw::SetProfileCompany("Kelvora");
    InstallOutlets();
    std::vector<std::string> words =
        use_process_command_line ? fw::SplitCommandLine(GetCommandLineA()) : fw::SplitCommandLine(("QW32 " + command_line).c_str());

    QwAppHooks hooks = AppHooks();
    if (hooks.hand_off) {
        int r = hooks.hand_off(command_line);
        if (r == 1) handed_off_ = true;
        if (r != 0) return false;
    }

    if (!Create_VMS(profile_name().c_str())) return false;
    WriteStartupLog();
    PinToOneProcessor();

    WSADATA wsa;
    sockets_ = WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
    if (FAILED(OleInitialize(nullptr))) {
        if (sockets_) WSACleanup();
        sockets_ = false;
        MsgOut(QW_MSG_SERIOUS | QW_MSG_LOG | QW_MSG_BOX, "AfxOleInit() failed in CQWApp::InitInstance()");
        return false;
    }
    ole_ = true;

    LoadStdProfileSettings(4);
    // The user's folders and, on a user's first start, their configuration files.
    if (!SetupUserConfiguration()) return false;
    K_cmd_use_profile(&profile());
    K_cmd_set_dictionary_lookup(LookupCommandWord);
    K_cmd_values_install();
    K_cmd_keys_install();
    InterpKeyHooks kh = Interp_GetKeyHooks();
    kh.keyboard_file = KeyboardFile;
    Interp_SetKeyHooks(&kh);
    SetMenuKeyTextSource(MenuKeyText);
    QwFrameHooks fh = GetFrameHooks();
    if (!fh.translate_key) {
        fh.translate_key = [](UINT msg, WPARAM key, int repeat, unsigned flags) {
            return TranslateKeyMessage(msg, uintptr_t(key), repeat, flags);
        };
        SetFrameHooks(&fh);
    }
    InterpHooks ih;
    ih.paths = InterpPathsHook;
    Interp_SetHooks(&ih);

    CNewMenu::SetMenuDrawMode(ChooseMenuDrawMode(*this));
    RegisterFileTypeFromResource(IDS_QW_WORKSPACE_TYPE, -204, nullptr, 1, 1);
    RegisterFileTypeFromResource(IDS_QW_PROJECT_TYPE, -205, nullptr, 1, 1);

    // Every open goes through the editor's document manager, which knows the
    // files already open.
    if (!CreateDocManager(1)) return false;
    AddDocTemplate(new fw::MultiDocTemplate(IDS_QW_TEXT_TEMPLATE, FW_RUNTIME_CLASS(CQWDoc),
                                            FW_RUNTIME_CLASS(CChildFrame), FW_RUNTIME_CLASS(CQWAppView)));
    AddDocTemplate(new fw::MultiDocTemplate(IDS_QW_OUTPUT_TEMPLATE, FW_RUNTIME_CLASS(CQWDoc),
                                            FW_RUNTIME_CLASS(fw::FrameWindow), FW_RUNTIME_CLASS(CQWTextView)));

    frame_ = new CMainFrame;
    if (!frame_->LoadFrame(IDR_MAINFRAME, kMainFrameStyle)) {
        delete frame_;
        frame_ = nullptr;
        return false;
    }
    set_main_window(frame_->hwnd());
    if (hooks.publish_main_window) hooks.publish_main_window(frame_->hwnd());

    InstallDocumentLanguageSource();
    // The view side (drawing thread, default screen colours) and the style sheets.
    InitEditorServices(frame_->hwnd(), GetConfigFilePathStr("StyleSheets", 1).c_str());
    services_started_ = true;
    QwInstallEditorWiring();
    wiring_installed_ = true;
    // The history lists and configuration buffers the user left last time.
    LoadConfigFiles();
    for (const char* name : {"QWHistory", "QWBuildSetup"}) {
        char path[MAX_PATH + 1];
        if (GetConfigFilePath(path, name, 0)) LoadConfigFile(path);
    }
    history_loaded_ = true;

    char program[64] = "";
    LoadAppString(IDS_QW_START_PROGRAM, program, sizeof program);
    if (CExe_ExecuteByName(program, 1, 1, 0, nullptr, nullptr) != 1) return false;
    // The workers that read file information and the rest of each file.
    pool_started_ = RunThreadPool(1) > 0;
    if (!pool_started_) MsgOut(QW_MSG_LOG, "The thread pool did not start.");
    read_thread_started_ = StartDocReadThread(1) != 0;
    int undo = cmd_get_value(kSettingUndoQueue);
    (void)undo;  // applied by the undo layer once it reads the setting itself

    if (!frame_->BuildFrameMenus()) return false;
    MsgOut(QW_MSG_STATUS, nullptr);
    DragAcceptFiles(frame_->hwnd(), TRUE);

    bool ok = ProcessCommandLine(words);
    startup_complete_ = true;
    return ok;
}

bool CQWApp::ProcessCommandLine(const std::vector<std::string>& words) {
    if (!main_window_shown_) {
        ShowWindow(frame_->hwnd(), SW_SHOWDEFAULT);
        UpdateWindow(frame_->hwnd());
        main_window_shown_ = true;
    }
    for (const std::string& w : words) {
        if (w.empty() || w[0] == '/' || w[0] == '-') continue;
        char full[MAX_PATH + 1];
        DWORD n = GetFullPathNameA(w.c_str(), sizeof full, full, nullptr);
        OpenDocumentFile(n > 0 && n < sizeof full ? full : w);
    }
    frame_->OnUpdateFrameTitle(true);
    return true;
}

fw::Document* CQWApp::OpenDocumentFile(const std::string& path) {
    fw::View* view = VwFileOpenEx(path.c_str(), DOC_OPEN_RESTING, 1);
    return view ? view->GetDocument() : nullptr;
}

void CQWApp::AddToRecentFileList(const std::string& path) {
    if (path == "<Output~Window~Frame>") return;
    fw::Application::AddToRecentFileList(path);
}

bool CQWApp::IsIdleMessage(const MSG* msg) {
    if (!fw::Application::IsIdleMessage(msg)) return false;
    UINT m = msg->message;
    if (m >= 0x400 && m < 0x591) return false;
    if ((m >= 0x100 && m <= 0x108) || (m >= 0x200 && m <= 0x209)) g_idle_watch.Reset();
    return true;
}

bool CQWApp::OnIdle(long count) {
    if (!g_idle_watch.IsRunning()) {
        g_idle_watch.Start();
    } else {
        long long e = g_idle_watch.Elapsed();
        QwAppHooks h = AppHooks();
        if (!(h.find_dialog_open && h.find_dialog_open())) {
            int autosave = cmd_get_value(kSettingAutoSave);
            if (autosave > 0 && e > autosave) {
                CMainFrame* f = GetMainFrame();
                fw::Document* doc = nullptr;
                if (f && f->GetActiveFrame() != f) doc = f->GetActiveFrame()->GetActiveDocument();
                AutoSaveEditedDocuments(fw::DynamicDowncast<CQWDoc>(doc));
            }
        }
    }
    return fw::Application::OnIdle(count);
}

int AutoSaveEditedDocuments(CQWDoc* only) {
    if (!g_app) return 0;
    int saved = 0;
    for (auto& t : g_app->doc_manager()->templates()) {
        if (t->resource_id() != DOC_TEMPLATE_TEXT) continue;
        // A save may change the list (a document's path, its views).
        std::vector<fw::Document*> docs = t->documents();
        for (fw::Document* d : docs) {
            auto* doc = fw::DynamicDowncast<CQWDoc>(d);
            if (!doc || (only && doc != only)) continue;
            // Only what changed since its last save: an unchanged save would
            // rotate the backup copy for nothing.
            if (!doc->IsNamedFile() || !doc->TestFlag8() || !doc->IsEdited()) continue;
            if (doc->DoFileSaveWithFlags(DOC_SAVE_AUTO | DOC_SAVE_NOTICE)) ++saved;
        }
    }
    return saved;
}

int CQWApp::ExitInstance() {
    if (!handed_off_) {
        if (vms_is_started()) {
            // Lists never read must not replace the user's files with empty ones.
            if (history_loaded_) SaveHistoryFiles();
            CInterpreterManager::Instance(0);
            KeyTable_Pop(1);
            K_cmd_free_strings();
            if (VMB* disp = vmb_find(VMB_T_TEMP, "DispList")) vmb_close(disp, 0);
        }
        // The workers first: they post to windows and read buffers that
        // the services' end takes away.
        if (read_thread_started_) StartDocReadThread(0);
        if (pool_started_) RunThreadPool(0);
        read_thread_started_ = pool_started_ = false;
        if (wiring_installed_) QwRemoveEditorWiring();
        wiring_installed_ = false;
        if (services_started_) ShutdownEditorServices();
        services_started_ = false;
    }
    int rc = fw::Application::ExitInstance();
    K_cmd_use_profile(nullptr);
    K_cmd_set_dictionary_lookup(nullptr);
    if (ole_) OleUninitialize();
    if (sockets_) WSACleanup();
    ole_ = sockets_ = false;
    // A start that ended before the editor side: the language data lives in
    // engine buffers that end with the engine.
    if (vms_is_started()) {
        ResetLanguageData(0x1);
        vms_stop();
    }
    return rc;
}
