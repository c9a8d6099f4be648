#pragma once
// The editor's command line: its words parsed into a CQWCmdLineInfo, the
// single-instance check with the hand-off of a second start's words to the
// running editor (WM_COPYDATA), DDE "[open(" requests, and carrying a parsed
// command line out through the actions the application supplies.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/fwapp.h"

class CQWCmdLineInfo : public fw::CommandLineInfo {
public:
    void ParseParam(const std::string& param, bool is_flag, bool is_last) override;

    int pending = -1;  // keyword waiting for its value (FindCmdLineKeyword numbers)
    std::vector<std::string> further_files;
    int line = 0;
    int column = -1;
    int use_running_instance = 0;
    int new_instance = 0;
    int restore_project_docs = 1;
    int restore_last_project = 1;
    int no_directory_restore = 0;
    int directory_restore_unconditional = 1;
    int from_dde = 0;
    std::string directory;
    std::string compare1, compare2;
    std::string command;
    // Set by a "diff" value: the saved layout is not restored.
    bool restore_layout_cleared = false;
};

// Parses words (without the program name) as the framework does: a leading
// "-" or "/" makes a flag and is dropped; the last word is marked.
void ParseCmdLineWords(CQWCmdLineInfo* info, const std::vector<std::string>& words);

// The single-instance objects: the start-up lock (named mutex) and the
// shared 4-byte record of the first instance's main window.
class CInstanceChecker {
public:
    explicit CInstanceChecker(const char* name = "Voro-Nask");
    ~CInstanceChecker();
    CInstanceChecker(const CInstanceChecker&) = delete;
    CInstanceChecker& operator=(const CInstanceChecker&) = delete;

    std::string GetMMFFilename() const { return "CInstanceChecker_MMF_" + name_; }
    // Takes the start-up lock, waiting as long as needed.
    bool ActivateChecker();
    bool PreviousInstanceRunning() const;
    // The first instance publishes its main window; releases the lock.
    bool TrackFirstInstanceRunning(HWND main_window);
    // The first instance's window (restored and brought forward), or null.
    HWND ActivatePreviousInstance();
    // The window the shared record holds, without touching it; null when none.
    HWND ReadTrackedWindow() const;
    void ReleaseLock();

private:
    std::string name_;
    HANDLE data_mutex_ = nullptr;
    HANDLE startup_lock_ = nullptr;
    bool locked_ = false;
};

// Hands `words` (the process's arguments after the program name) to the
// running editor: -1 no first instance (go on starting), 0 one is registered
// but its window is gone, 1 sent. Relative file paths and "dir"/"diff"
// values are made absolute against the sender's current folder first.
int HandOffCommandLine(CInstanceChecker* checker, const std::vector<std::string>& words);
// The same for a window already known (the send itself); 1 sent, 0 not.
int SendCommandLineBlock(HWND target, const std::vector<std::string>& words);

// Receiver: turns a WM_COPYDATA block into a fresh command-line info; null
// when the block is refused (wrong count, missing terminators, oversize).
std::unique_ptr<CQWCmdLineInfo> ParseCommandLineBlock(ULONG_PTR count, const void* data,
                                                      DWORD size);

// A DDE request: when it is "[open(\"...", a fresh info for it (from-DDE
// set, open-file, the words after the closing quote parsed); null for any
// other request, which the framework handles. A request without a closing
// quote gives an info with only from-DDE and open-file set and `handled`
// false.
std::unique_ptr<CQWCmdLineInfo> ParseDdeOpenRequest(const char* request, bool* handled);

// What carrying out a command line does, supplied by the application.
struct QwCmdLineActions {
    bool (*set_directory)(const char* dir) = nullptr;
    bool (*file_exists)(const char* path) = nullptr;
    // Runs the framework's shell command (open, print ...); nonzero on success.
    int (*shell_command)(const CQWCmdLineInfo& info) = nullptr;
    bool (*open_file)(const char* path) = nullptr;
    // Asks the named question (CmdLineFileNotFound); the file named.
    void (*file_not_found)(const char* path) = nullptr;
    void (*compare)(const char* file1, const char* file2) = nullptr;
    // Moves the current editable view; false when there is none.
    bool (*go_to)(int line, int column) = nullptr;
    // Runs a command list; -1 invalid (error text in `error`), else 1/0.
    int (*run_command)(const char* command, std::string* error) = nullptr;
    void (*show_main_window_once)() = nullptr;
    void (*close_main_frame)() = nullptr;
    void (*suspend_tabs)(bool suspend) = nullptr;
};
// Carries the command line out (directory, files, compare or line and
// column, command); returns 0 when the shell command failed. A failed
// command line from a hand-off or DDE (`from_elsewhere`) never closes the
// running editor.
int ProcessCmdLine(CQWCmdLineInfo* info, const QwCmdLineActions& actions, bool from_elsewhere);

// Start-up glue for the application hooks. QwCmdLineHandOff takes the
// start-up lock and, when the setting K_OneInstance (630) or the flag "1"
// asks for it and "1-" does not forbid it, hands the words over: 1 handed
// over (start-up ends), 0 go on starting. A first instance whose window is
// gone or does not answer does not swallow the start: this one goes on and
// becomes the first. QwCmdLinePublishMainWindow publishes the main window
// and releases the lock.
int QwCmdLineHandOff(const std::string& command_line);
void QwCmdLinePublishMainWindow(void* hwnd);
// The main frame's WM_COPYDATA seam: parses the block and carries it out
// with the actions installed by QwSetCmdLineActions.
void QwCmdLineReceiveBlock(ULONG_PTR count, const void* data, DWORD size);
void QwSetCmdLineActions(const QwCmdLineActions& actions);
