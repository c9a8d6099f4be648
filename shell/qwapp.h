#pragma once
// CQWApp: the application object. InitInstance starts the editor step by
// step (a failing step ends start-up), OnIdle keeps the idle clock that
// drives automatic saving, ExitInstance stops what start-up started.
#include <string>

#include "framework/fwapp.h"
#include "opsys/systime.h"

class CMainFrame;

// The pieces of other parts start-up and exit call; each may be null.
struct QwAppHooks {
    // Single instance: 0 go on, 1 handed over (ends start-up, nothing is
    // saved at exit), -1 the first instance's window is gone (ends start-up).
    int (*hand_off)(const std::string& command_line) = nullptr;
    // Publishes the main window for later instances.
    void (*publish_main_window)(void* hwnd) = nullptr;
    // Status bar and output outlets for the shell's message outlets.
    void (*status_set_text)(const char* text, int pane, unsigned style, unsigned flash) = nullptr;
    void (*status_reset)() = nullptr;
    void* (*status_bar_window)() = nullptr;
    void (*output_print)(const char* text, int kind, int show_pane, int flag1000) = nullptr;
    // Whether the modeless Find & Replace dialog is open (no idle work then).
    bool (*find_dialog_open)() = nullptr;
};
void SetAppHooks(const QwAppHooks* hooks);

class CQWApp : public fw::Application {
public:
    CQWApp();
    ~CQWApp() override;

    bool InitInstance() override;
    int ExitInstance() override;
    bool OnIdle(long count) override;
    bool IsIdleMessage(const MSG* msg) override;
    void AddToRecentFileList(const std::string& path) override;
    // Opens through the editor's document manager (an open file is activated).
    fw::Document* OpenDocumentFile(const std::string& path) override;

    CMainFrame* main_frame() const { return frame_; }
    bool startup_complete() const { return startup_complete_; }
    bool handed_off() const { return handed_off_; }
    void SetQuietMode(int value) { quiet_mode_ = value; }
    Stopwatch* GetDocReadState() { return &run_watch_; }

    // The command line processed at the end of start-up (tests give their own).
    std::string command_line;
    bool use_process_command_line = true;

private:
    bool ProcessCommandLine(const std::vector<std::string>& words);
    void InstallOutlets();

    CMainFrame* frame_ = nullptr;
    bool handed_off_ = false;
    bool startup_complete_ = false;
    bool main_window_shown_ = false;
    bool services_started_ = false;
    bool wiring_installed_ = false;
    bool pool_started_ = false;
    bool read_thread_started_ = false;
    bool ole_ = false;
    bool history_loaded_ = false;
    bool sockets_ = false;
    int quiet_mode_ = 0;
    Stopwatch run_watch_;
};

CQWApp* GetQWApp();
// The process-wide idle stopwatch.
Stopwatch* GetAppStopwatch();
// fw::MultiDocTemplate of resource id 131 or 132, or null.
fw::MultiDocTemplate* GetDocTemplateById(unsigned id);

// Saves the named file documents flagged for automatic saving that were
// edited since their last save (the document given, or every one when null);
// the number saved.
int AutoSaveEditedDocuments(class CQWDoc* only);
