#include "framework/fwapp.h"

#include "framework/fwmsgbox.h"

namespace fw {

FW_IMPLEMENT_DYNAMIC(Application, Thread)

namespace {
Application* g_app = nullptr;
} // namespace

void CommandLineInfo::ParseParam(const std::string& param, bool is_flag, bool) {
    if (is_flag) {
        if (lstrcmpiA(param.c_str(), "nologo") == 0) show_splash = false;
        else if (lstrcmpiA(param.c_str(), "p") == 0) shell_command = kFilePrint;
        else if (lstrcmpiA(param.c_str(), "pt") == 0) shell_command = kFilePrintTo;
        else if (lstrcmpiA(param.c_str(), "dde") == 0) shell_command = kFileDDE;
        return;
    }
    if (shell_command == kFilePrintTo && !file_name.empty()) {
        if (printer_name.empty()) printer_name = param;
        else if (driver_name.empty()) driver_name = param;
        else if (port_name.empty()) port_name = param;
        return;
    }
    if (file_name.empty()) {
        file_name = param;
        if (shell_command == kFileNew) shell_command = kFileOpen;
    }
}

std::vector<std::string> SplitCommandLine(const char* line) {
    std::vector<std::string> words;
    if (!line) return words;
    const char* p = line;
    bool first = true;
    while (*p) {
        while (*p == ' ' || *p == '\t') ++p;
        if (!*p) break;
        std::string word;
        bool quoted = false;
        while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
            if (*p == '"') quoted = !quoted;
            else word += *p;
            ++p;
        }
        if (!first) words.push_back(word);
        first = false;
    }
    return words;
}

Application::Application() : instance_(GetModuleHandleA(nullptr)), profile_(AppTitle()) {
    g_app = this;
}

Application::~Application() {
    if (g_app == this) g_app = nullptr;
}

Application* Application::Current() { return g_app; }

int Application::Main() {
    if (!InitInstance()) {
        int code = ExitInstance();
        return code ? code : 1;
    }
    return Run();
}

int Application::ExitInstance() {
    if (recent_) recent_->Save(profile_);
    return Thread::ExitInstance();
}

bool Application::OnIdle(long count) {
    if (count <= 0) {
        Thread::OnIdle(count);
        return true;
    }
    if (count == 1 && doc_manager_) doc_manager_->OnIdle();
    return false;
}

void Application::LoadStdProfileSettings(size_t recent_files) {
    recent_ = std::make_unique<RecentFileList>(recent_files);
    recent_->Load(profile_);
}

void Application::AddToRecentFileList(const std::string& path) {
    if (recent_) recent_->Add(path);
}

DocManager* Application::doc_manager() {
    if (!doc_manager_) doc_manager_ = std::make_unique<DocManager>();
    return doc_manager_.get();
}

void Application::SetDocManager(std::unique_ptr<DocManager> manager) {
    doc_manager_ = std::move(manager);
}

void Application::ParseCommandLine(CommandLineInfo& info, const char* line) {
    std::vector<std::string> words = SplitCommandLine(line ? line : GetCommandLineA());
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        bool flag = !w.empty() && (w[0] == '/' || w[0] == '-');
        info.ParseParam(flag ? w.substr(1) : w, flag, i + 1 == words.size());
    }
}

} // namespace fw
