// The editor's command line, the single instance and the hand-off of a
// second start, DDE open requests.
#include "shell/cmdline.h"

#include <cstdlib>
#include <cstring>

#include "opsys/msgout.h"
#include "opsys/strlib.h"
#include "shell/cmdline_block.h"

namespace {

enum Keyword { kLine = 0, kColumn, kUseRunning, kNewInstance, kNoFiles, kNoProject,
               kNoDirRestore, kDirRestore, kDir, kDiff, kCommand };

} // namespace

void CQWCmdLineInfo::ParseParam(const std::string& param, bool is_flag, bool is_last) {
    if (is_flag) {
        int k = FindCmdLineKeyword(param.c_str());
        if (k < 0) {
            pending = -1;
            fw::CommandLineInfo::ParseParam(param, true, is_last);
            return;
        }
        switch (k) {
        case kUseRunning: use_running_instance = 1; break;
        case kNewInstance: new_instance = 1; break;
        case kNoFiles: restore_project_docs = 0; break;
        case kNoProject: restore_last_project = 0; break;
        case kNoDirRestore: no_directory_restore = 1; break;
        case kDirRestore: directory_restore_unconditional = 0; break;
        default: break;
        }
        // A keyword without a value leaves the next word a plain one, so a
        // file named after it is neither swallowed nor lost.
        pending = CmdLineKeywordValues(k) > 0 ? k : -1;
        return;
    }
    switch (pending) {
    case kLine: line = atoi(param.c_str()); break;
    case kColumn: column = atoi(param.c_str()); break;
    case kDir: directory = param; break;
    case kCommand: command = param; break;
    case kDiff:
        restore_layout_cleared = true;
        if (compare1.empty()) {
            compare1 = param;
            return;  // "diff" waits for its second file
        }
        compare2 = param;
        break;
    default:
        if (file_name.empty()) {
            fw::CommandLineInfo::ParseParam(param, false, is_last);
        } else {
            fw::CommandLineInfo::ParseParam(param, false, is_last);
            further_files.push_back(param);
        }
        return;
    }
    pending = -1;
}

void ParseCmdLineWords(CQWCmdLineInfo* info, const std::vector<std::string>& words) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        bool flag = !w.empty() && (w[0] == '-' || w[0] == '/');
        info->ParseParam(flag ? w.substr(1) : w, flag, i + 1 == words.size());
    }
}

std::unique_ptr<CQWCmdLineInfo> ParseCommandLineBlock(ULONG_PTR count, const void* data,
                                                      DWORD size) {
    std::vector<std::string> words;
    if (!SplitHandOffBlock(count, data, size, &words)) {
        MsgOut(QW_MSG_LOG, "In ParseCommandLineBlock() refused a block: count %u, size %u",
               unsigned(count), unsigned(size));
        return nullptr;
    }
    auto info = std::make_unique<CQWCmdLineInfo>();
    ParseCmdLineWords(info.get(), words);
    return info;
}

std::unique_ptr<CQWCmdLineInfo> ParseDdeOpenRequest(const char* request, bool* handled) {
    *handled = false;
    static const char kOpen[] = "[open(\"";
    if (!request || strncmp(request, kOpen, 7) != 0) return nullptr;
    auto info = std::make_unique<CQWCmdLineInfo>();
    info->from_dde = 1;
    info->shell_command = fw::CommandLineInfo::kFileOpen;
    const char* name = request + 7;
    const char* quote = strchr(name, '"');
    if (!quote) return info;
    info->file_name.assign(name, quote);
    if (info->file_name.empty()) info->shell_command = fw::CommandLineInfo::kFileNothing;
    std::string rest(quote + 1);
    size_t paren = rest.rfind(')');
    if (paren != std::string::npos) rest.erase(paren);
    std::vector<std::string> words;
    const char* cursor = rest.c_str();
    char word[1024];
    while (cursor && StrParseQuoted(word, sizeof word, &cursor)) words.emplace_back(word);
    ParseCmdLineWords(info.get(), words);
    *handled = true;
    return info;
}

int ProcessCmdLine(CQWCmdLineInfo* info, const QwCmdLineActions& a, bool from_elsewhere) {
    using CLI = fw::CommandLineInfo;
    if (info->shell_command == CLI::kFileNew) info->shell_command = CLI::kFileNothing;
    if (!info->directory.empty() && !(a.set_directory && a.set_directory(info->directory.c_str())))
        MsgOut(QW_MSG_BOX | QW_MSG_INFO | QW_MSG_VERSION,
               "Command line error.\nUnable to change to the specified directory:\n %s",
               info->directory.c_str());
    if (!info->file_name.empty()) {
        char full[MAX_PATH];
        DWORD n = GetFullPathNameA(info->file_name.c_str(), sizeof full, full, nullptr);
        if (n > 0 && n < sizeof full) info->file_name = full;
        if (info->shell_command == CLI::kFileDDE) info->shell_command = CLI::kFileOpen;
    } else {
        info->shell_command = CLI::kFileNothing;
    }
    int result = 1;
    bool opens = info->shell_command == CLI::kFileOpen || info->shell_command == CLI::kFilePrint ||
                 info->shell_command == CLI::kFilePrintTo;
    if (opens && !(a.file_exists && a.file_exists(info->file_name.c_str()))) {
        if (a.file_not_found) a.file_not_found(info->file_name.c_str());
        result = info->shell_command == CLI::kFileOpen ? 1 : 0;
    } else {
        if (a.suspend_tabs) a.suspend_tabs(true);
        if (info->shell_command != CLI::kFileNothing)
            result = a.shell_command ? a.shell_command(*info) : 0;
        std::string missing;
        for (const std::string& f : info->further_files) {
            char full[MAX_PATH];
            DWORD n = GetFullPathNameA(f.c_str(), sizeof full, full, nullptr);
            std::string path = n > 0 && n < sizeof full ? std::string(full) : f;
            if (a.file_exists && a.file_exists(path.c_str())) {
                if (a.open_file) a.open_file(path.c_str());
            } else if (missing.empty()) {
                missing = path;
            }
        }
        if (!missing.empty() && a.file_not_found) a.file_not_found(missing.c_str());
        info->further_files.clear();
        if (a.suspend_tabs) a.suspend_tabs(false);
    }
    if (result == 0) {
        // A hand-off or DDE request that fails is the other program's
        // failure; the running editor stays.
        if (!info->from_dde && !from_elsewhere && a.close_main_frame) a.close_main_frame();
        return 0;
    }
    if (!info->compare1.empty() && !info->compare2.empty()) {
        if (a.show_main_window_once) a.show_main_window_once();
        if (a.compare) a.compare(info->compare1.c_str(), info->compare2.c_str());
    } else if (a.go_to && (info->line != 0 || info->column != -1)) {
        a.go_to(info->line, info->column);
    }
    if (!info->command.empty() && a.run_command) {
        std::string error;
        int r = a.run_command(info->command.c_str(), &error);
        if (r < 0) {
            MsgOut(QW_MSG_BOX | QW_MSG_INFO | QW_MSG_VERSION,
                   "Command line error.\nThe QW Command: %s is invalid.\n\nError: %s",
                   info->command.c_str(), error.c_str());
        } else {
            if (a.show_main_window_once) a.show_main_window_once();
            MsgOut(QW_MSG_OUTPUT | QW_MSG_NESTED | 0x50000, "Processing command line item: '%s'",
                   info->command.c_str());
            if (r > 0) return result;
            MsgOut(QW_MSG_OUTPUT | QW_MSG_NESTED | 0x50000, "Processing command line item: '%s' failed.",
                   info->command.c_str());
        }
    }
    if (a.show_main_window_once) a.show_main_window_once();
    return result;
}

// --- single instance ---------------------------------------------------

namespace {
// The first instance keeps its mapping open for the rest of its life.
HANDLE g_instance_mapping = nullptr;
} // namespace

CInstanceChecker::CInstanceChecker(const char* name) : name_(name) {
    data_mutex_ = CreateMutexA(nullptr, FALSE, nullptr);
    startup_lock_ = CreateMutexA(nullptr, FALSE, name_.c_str());
}

CInstanceChecker::~CInstanceChecker() {
    ReleaseLock();
    if (startup_lock_) CloseHandle(startup_lock_);
    if (data_mutex_) CloseHandle(data_mutex_);
}

bool CInstanceChecker::ActivateChecker() {
    if (!startup_lock_) return false;
    DWORD r = WaitForSingleObject(startup_lock_, INFINITE);
    locked_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    return locked_;
}

void CInstanceChecker::ReleaseLock() {
    if (locked_ && startup_lock_) ReleaseMutex(startup_lock_);
    locked_ = false;
}

bool CInstanceChecker::PreviousInstanceRunning() const {
    HANDLE h = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, GetMMFFilename().c_str());
    if (!h) return false;
    CloseHandle(h);
    return true;
}

bool CInstanceChecker::TrackFirstInstanceRunning(HWND main_window) {
    HANDLE h = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4,
                                  GetMMFFilename().c_str());
    if (!h) return false;
    auto* data = static_cast<uint32_t*>(MapViewOfFile(h, FILE_MAP_WRITE, 0, 0, 4));
    if (!data) {
        CloseHandle(h);
        return false;
    }
    WaitForSingleObject(data_mutex_, INFINITE);
    // Window handles are 32-bit values across processes of either width.
    *data = uint32_t(reinterpret_cast<uintptr_t>(main_window));
    ReleaseMutex(data_mutex_);
    UnmapViewOfFile(data);
    if (g_instance_mapping) CloseHandle(g_instance_mapping);
    g_instance_mapping = h;
    ReleaseLock();
    return true;
}

HWND CInstanceChecker::ReadTrackedWindow() const {
    HWND wnd = nullptr;
    HANDLE h = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, GetMMFFilename().c_str());
    if (h) {
        if (auto* data = static_cast<uint32_t*>(MapViewOfFile(h, FILE_MAP_ALL_ACCESS, 0, 0, 4))) {
            WaitForSingleObject(data_mutex_, INFINITE);
            wnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(*data));
            ReleaseMutex(data_mutex_);
            UnmapViewOfFile(data);
        }
        CloseHandle(h);
    }
    return wnd;
}

HWND CInstanceChecker::ActivatePreviousInstance() {
    HWND wnd = ReadTrackedWindow();
    if (wnd && IsWindow(wnd)) {
        if (IsIconic(wnd)) ShowWindow(wnd, SW_RESTORE);
        SetForegroundWindow(GetLastActivePopup(wnd));
    }
    ReleaseLock();
    return wnd;
}

int SendCommandLineBlock(HWND target, const std::vector<std::string>& words) {
    if (!target || !IsWindow(target)) return 0;
    std::vector<std::string> abs = words;
    AbsolutizeHandOffWords(&abs, [](const std::string& w) {
        char full[MAX_PATH];
        DWORD n = GetFullPathNameA(w.c_str(), sizeof full, full, nullptr);
        return n > 0 && n < sizeof full ? std::string(full) : w;
    });
    std::string block;
    COPYDATASTRUCT cds{};
    cds.dwData = PackHandOffBlock(abs, &block);
    cds.cbData = DWORD(block.size());
    cds.lpData = block.empty() ? nullptr : &block[0];
    DWORD_PTR answer = 0;
    // A first instance that hangs must not hang this start for ever.
    if (!SendMessageTimeoutA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                             SMTO_ABORTIFHUNG, 30000, &answer))
        return 0;
    return 1;
}

int HandOffCommandLine(CInstanceChecker* checker, const std::vector<std::string>& words) {
    if (!checker->PreviousInstanceRunning()) return -1;
    HWND wnd = checker->ActivatePreviousInstance();
    if (!wnd || !IsWindow(wnd)) return 0;
    return SendCommandLineBlock(wnd, words);
}

// --- application glue --------------------------------------------------

#include "commands/cmdvalues.h"

namespace {
std::unique_ptr<CInstanceChecker> g_checker;
QwCmdLineActions g_actions;
} // namespace

int QwCmdLineHandOff(const std::string& command_line) {
    // The program's own start passes no text: its words are the process's.
    std::vector<std::string> words = command_line.empty()
                                         ? fw::SplitCommandLine(GetCommandLineA())
                                         : fw::SplitCommandLine(("QW32 " + command_line).c_str());
    CQWCmdLineInfo info;
    ParseCmdLineWords(&info, words);
    g_checker = std::make_unique<CInstanceChecker>();
    g_checker->ActivateChecker();
    bool wanted = (cmd_get_value(630) != 0 || info.use_running_instance) && !info.new_instance;
    if (!wanted) return 0;
    return HandOffCommandLine(g_checker.get(), words) == 1 ? 1 : 0;
}

void QwCmdLinePublishMainWindow(void* hwnd) {
    if (!g_checker) return;
    // A record whose window is gone is taken over, so that later starts
    // reach this instance.
    HWND tracked = g_checker->ReadTrackedWindow();
    if (!tracked || !IsWindow(tracked)) g_checker->TrackFirstInstanceRunning(static_cast<HWND>(hwnd));
    else g_checker->ReleaseLock();
    g_checker.reset();
}

void QwSetCmdLineActions(const QwCmdLineActions& actions) { g_actions = actions; }

void QwCmdLineReceiveBlock(ULONG_PTR count, const void* data, DWORD size) {
    std::unique_ptr<CQWCmdLineInfo> info = ParseCommandLineBlock(count, data, size);
    if (info) ProcessCmdLine(info.get(), g_actions, true);
}
