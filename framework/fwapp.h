#pragma once
// The application object: the user-interface thread object of the main
// thread, with the module instance and the whole life of the program.
//
// Its message loop is the thread loop of fw::Thread: before each message is
// dispatched it is offered to PreTranslateMessage, and whenever the queue
// runs empty OnIdle is called with a rising count until it says it needs no
// more idle time (count 0 updates menus, bars and controls; count 1 gives
// every document of every template its idle time).
//
// It also holds the document manager and its templates, the profile
// (registry settings under "Software\Kelvora\<profile name>") and the
// recent-file list, and parses the command line:
//
//   bool CQWApp::InitInstance() {
//       fw::SetProfileCompany("Kelvora");
//       LoadStdProfileSettings(4);
//       AddDocTemplate(new fw::MultiDocTemplate(131, ...));
//       CQWCmdLineInfo info;  ParseCommandLine(info);
//       ...
//   }
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/fwdoc.h"
#include "framework/fwexport.h"
#include "framework/fwprofile.h"
#include "framework/fwthread.h"

namespace fw {

// The parsed command line. ParseParam sees every word: flags (after "/"
// or "-") without their prefix; derive to take flags of your own.
class QWFW_API CommandLineInfo {
public:
    enum ShellCommand { kFileNew, kFileOpen, kFilePrint, kFilePrintTo, kFileDDE, kFileNothing };
    virtual ~CommandLineInfo() = default;
    virtual void ParseParam(const std::string& param, bool is_flag, bool is_last);

    ShellCommand shell_command = kFileNew;
    std::string file_name;
    std::string printer_name, driver_name, port_name;
    bool show_splash = true;
};

// Splits a command line into words: blanks separate, double quotes group,
// and the program's own name (the first word) is dropped.
QWFW_API std::vector<std::string> SplitCommandLine(const char* line);

class QWFW_API Application : public Thread {
    FW_DECLARE_DYNAMIC(Application)
public:
    Application();
    ~Application() override;

    // The process's application object, or null.
    static Application* Current();

    // Start-up returns false to end the program before the loop.
    bool InitInstance() override { return true; }
    // Saves the recent-file list; the base of every override.
    int ExitInstance() override;
    bool OnIdle(long count) override;

    HINSTANCE instance() const { return instance_; }

    // Runs the whole life of the application on the calling (main) thread:
    // InitInstance, then Run, or ExitInstance when start-up fails.
    int Main();

    // ---- profile ----
    // The name of the profile's key under the company key (the program's
    // file name until set).
    const std::string& profile_name() const { return profile_.app(); }
    void SetProfileName(const std::string& name) { profile_ = Profile(name); }
    const Profile& profile() const { return profile_; }
    int GetProfileInt(const std::string& s, const std::string& e, int def) const {
        return profile_.GetInt(s, e, def);
    }
    bool WriteProfileInt(const std::string& s, const std::string& e, int v) const {
        return profile_.WriteInt(s, e, v);
    }
    std::string GetProfileString(const std::string& s, const std::string& e,
                                 const std::string& def = {}) const {
        return profile_.GetString(s, e, def);
    }
    bool WriteProfileString(const std::string& s, const std::string& e, const std::string& v) const {
        return profile_.WriteString(s, e, v);
    }
    // Loads the recent-file list (with room for `recent_files` entries).
    void LoadStdProfileSettings(size_t recent_files = 4);
    virtual void AddToRecentFileList(const std::string& path);
    RecentFileList* recent_files() { return recent_.get(); }

    // ---- documents ----
    DocManager* doc_manager();
    // Replaces the document manager (before templates are added).
    void SetDocManager(std::unique_ptr<DocManager> manager);
    void AddDocTemplate(MultiDocTemplate* tpl) { doc_manager()->AddDocTemplate(tpl); }
    virtual Document* OpenDocumentFile(const std::string& path) {
        return doc_manager()->OpenDocumentFile(path);
    }
    virtual bool SaveAllModified() { return doc_manager()->SaveAllModified(); }
    void CloseAllDocuments(bool end_session) { doc_manager()->CloseAllDocuments(end_session); }

    // ---- command line ----
    // Parses the process's command line (or `line`) into info.
    void ParseCommandLine(CommandLineInfo& info, const char* line = nullptr);

private:
    HINSTANCE instance_;
    Profile profile_;
    std::unique_ptr<RecentFileList> recent_;
    std::unique_ptr<DocManager> doc_manager_;
};

} // namespace fw
