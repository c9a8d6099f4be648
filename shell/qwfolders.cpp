#include "shell/qwfolders.h"

#include <windows.h>
#include <shlobj.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "commands/cmdtable.h"
#include "editor/langdict.h"
#include "editor/langspec.h"
#include "framework/fwapp.h"
#include "opsys/files.h"
#include "opsys/msgout.h"
#include "opsys/paths.h"
#include "opsys/shell_outlets.h"
#include "shell/shellstrings.h"

namespace {

std::mutex g_lock;
std::string g_config_folder;
std::string g_initials;
bool g_dev_source_logged = false;
std::string g_source_override;

std::string Str(unsigned id) {
    char buf[512] = "";
    LoadAppString(id, buf, sizeof buf);
    return buf;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    char c = folder.back();
    return (c == '\\' || c == '/') ? folder + name : folder + "\\" + name;
}

std::string ReplaceExtension(const char* name, const std::string& ext) {
    std::string s = name ? name : "";
    size_t slash = s.find_last_of("\\/:");
    size_t dot = s.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) s.erase(dot);
    if (!ext.empty()) s += "." + ext;
    return s;
}

int ConfigFolderOutlet(char* out, int size, int) {
    std::lock_guard<std::mutex> g(g_lock);
    if (!out || size <= 0 || g_config_folder.empty() || int(g_config_folder.size()) >= size) return 0;
    std::memcpy(out, g_config_folder.c_str(), g_config_folder.size() + 1);
    return 1;
}

// The per-user data folder "<application data>\Voro\Nask", made when missing.
int UserFilesOutlet(char* out, int size) {
    char base[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, base))) return 0;
    std::string folder = Join(base, "Voro\\Nask");
    if (!DirExists(folder.c_str()) && SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr) != ERROR_SUCCESS &&
        !DirExists(folder.c_str())) {
        MsgOut(QW_MSG_SERIOUS | QW_MSG_LOG | QW_MSG_BOX, "Unable to Create Folder: '%s' ", folder.c_str());
        return 0;
    }
    if (int(folder.size()) >= size) return 0;
    std::memcpy(out, folder.c_str(), folder.size() + 1);
    return 1;
}

bool MakeFolder(const std::string& folder) {
    if (DirExists(folder.c_str())) return true;
    int rc = SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
    return rc == ERROR_SUCCESS || rc == ERROR_ALREADY_EXISTS || DirExists(folder.c_str());
}

} // namespace

std::string GetProgramFolder() {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string s = self;
    size_t cut = s.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : s.substr(0, cut);
}

std::string GetProgramFilePath(const char* name) { return Join(GetProgramFolder(), name ? name : ""); }

std::string GetMasterFilePath(const char* name, int with_initials) {
    std::string master = Join(GetProgramFolder(), Str(IDS_QW_MASTER_FOLDER));
    return Join(master, with_initials ? ReplaceExtension(name, "xxx") : std::string(name ? name : ""));
}

std::string GetConfigFilePathStr(const char* name, int with_initials) {
    std::string folder = ConfigFolder();
    if (!name || !*name) return folder;
    return Join(folder, with_initials ? WithInitialsExtension(name) : std::string(name));
}

std::string GetSystemFolder(int code) {
    char buf[MAX_PATH + 1] = "";
    if (code == 100)
        GetWindowsDirectoryA(buf, sizeof buf);
    else if (code == 101)
        GetSystemDirectoryA(buf, sizeof buf);
    else if (code == 102) {
        GetTempPathA(sizeof buf, buf);
        size_t n = std::strlen(buf);
        if (n > 3 && (buf[n - 1] == '\\' || buf[n - 1] == '/')) buf[n - 1] = 0;
    }
    return buf;
}

int GetAppFolders(std::string* program, std::string* master, std::string* source) {
    std::string prog = GetProgramFolder();
    if (program) *program = prog;
    if (master) *master = Join(prog, Str(IDS_QW_MASTER_FOLDER));
    if (!source) return 0;
    if (!g_source_override.empty()) {
        *source = g_source_override;
        return DirExists(source->c_str()) ? 1 : 0;
    }
    *source = Join(prog, Str(IDS_QW_SOURCE_FOLDER));
    if (DirExists(source->c_str())) return 1;
    // A build tree keeps the macro sources beside the program's build folder.
    std::string dev = Join(prog, "..\\SOURCE");
    if (DirExists(dev.c_str())) {
        if (!g_dev_source_logged) {
            g_dev_source_logged = true;
            MsgOut(QW_MSG_LOG, "In CQWApp::GetAppFolders() using QW Dev Environment: %s for Cexe Source.",
                   dev.c_str());
        }
        *source = dev;
        return 1;
    }
    return 0;
}

void SetSourceFolderOverride(const char* folder) { g_source_override = folder ? folder : ""; }

void GetMacroCompilerPaths(std::string* compiler, std::string* include_path, std::string* source) {
    std::string prog, master, src;
    GetAppFolders(&prog, &master, &src);
    if (compiler) *compiler = Join(prog, Str(IDS_QW_COMPILER));
    if (include_path) *include_path = src + ";" + master;
    if (source) *source = src;
}

int UserInitials(char* buffer, int size) {
    std::lock_guard<std::mutex> g(g_lock);
    if (!buffer) return 0;
    size_t cap = size < 0 ? QW_INITIALS_MAX + 1 : size_t(size);
    if (cap == 0) return 0;
    size_t n = std::min(g_initials.size(), cap - 1);
    std::memcpy(buffer, g_initials.data(), n);
    buffer[n] = 0;
    return int(n);
}

void SetUserInitials(const char* initials) {
    std::lock_guard<std::mutex> g(g_lock);
    g_initials = initials ? std::string(initials).substr(0, QW_INITIALS_MAX) : std::string();
}

std::string WithInitialsExtension(const char* name) {
    char ini[QW_INITIALS_MAX + 1];
    UserInitials(ini, -1);
    return ReplaceExtension(name, ini);
}

int HasInitialsExtension(const char* path) {
    const char* ext = PathExtension(path);
    char ini[QW_INITIALS_MAX + 1];
    UserInitials(ini, -1);
    return ext && ini[0] && _stricmp(ext, ini) == 0;
}

int HasCExtension(const char* path) {
    const char* ext = PathExtension(path);
    return ext && _stricmp(ext, "c") == 0;
}

std::string InitialsFromUserName(const char* user) {
    std::string out;
    for (const char* p = user ? user : ""; *p && out.size() < QW_INITIALS_MAX; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p))) out += *p;
    return out.empty() ? std::string("QW") : out;
}

void SetConfigFolder(const char* folder) {
    std::string abs;
    if (folder && *folder) {
        char full[MAX_PATH + 1] = "";
        DWORD n = GetFullPathNameA(folder, sizeof full, full, nullptr);
        abs = (n > 0 && n < sizeof full) ? full : folder;
        while (abs.size() > 3 && (abs.back() == '\\' || abs.back() == '/')) abs.pop_back();
    }
    std::lock_guard<std::mutex> g(g_lock);
    g_config_folder = abs;
}

const std::string& ConfigFolder() { return g_config_folder; }

int ConfigurationFilesExist(const char* folder, const char* initials) {
    std::string f = folder ? folder : "";
    if (!MakeFolder(f)) {
        MsgOut(QW_MSG_LOG, "KV: In CQWApp::ConfigurationFilesExist(). Config Directory: '%s' doesn't exist.",
               f.c_str());
        return 0;
    }
    return FileExists(Join(f, ReplaceExtension("Menu_NoWin", initials ? initials : "")).c_str()) ? 1 : 0;
}

int CopyConfigurationFiles(const char* folder, const char* initials) {
    std::string master = Join(GetProgramFolder(), Str(IDS_QW_MASTER_FOLDER));
    std::string dest = folder ? folder : "";
    bool ok = true;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(Join(master, "*.xxx").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) {
        ok = false;
    } else {
        do {
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            std::string to = Join(dest, ReplaceExtension(fd.cFileName, initials ? initials : ""));
            // A file the user already has is the user's: never overwritten.
            if (!CopyFileA(Join(master, fd.cFileName).c_str(), to.c_str(), TRUE) &&
                GetLastError() != ERROR_FILE_EXISTS)
                ok = false;
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    if (!ok) {
        MsgOut(QW_MSG_LOG | QW_MSG_BOX, "CopyConfigurationFiles() failed copying Master .xxx files!!");
        return 0;
    }
    if (_stricmp(master.c_str(), dest.c_str()) != 0) {
        std::string from = Join(master, "User Buttons.bmp"), to = Join(dest, "User Buttons.bmp");
        if (FileExists(from.c_str()) && !FileExists(to.c_str()) && !CopyFileA(from.c_str(), to.c_str(), TRUE)) {
            MsgOut(QW_MSG_LOG | QW_MSG_BOX, "CopyConfigurationFiles() failed copying Toolbar Image file: %s !!",
                   to.c_str());
            return 0;
        }
    }
    return 1;
}

int Write_ProfileString(unsigned section_id, unsigned key_id, const char* value) {
    std::string section = Str(section_id), key = Str(key_id);
    fw::Application* app = fw::Application::Current();
    if (app && app->WriteProfileString(section, key, value ? value : "")) return 1;
    if (value)
        MsgOut(QW_MSG_LOG, "KV: CQWApp::Write_ProfileString( %s, %s, %s ) failed.", section.c_str(), key.c_str(),
               value);
    return 0;
}

int SetupUserConfiguration() {
    fw::Application* app = fw::Application::Current();
    std::string section = Str(IDS_QW_INSTALL_DETAILS);
    std::string folder = app ? app->GetProfileString(section, Str(IDS_QW_CONFIG_FOLDER)) : std::string();
    std::string initials = app ? app->GetProfileString(section, Str(IDS_QW_INITIALS)) : std::string();
    if (initials.size() > QW_INITIALS_MAX) initials.resize(QW_INITIALS_MAX);
    bool store = false;
    if (folder.empty()) {
        char base[MAX_PATH] = "";
        if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, base))) return 0;
        folder = Join(base, "Voro\\Nask\\Config");
        store = true;
    }
    if (initials.empty()) {
        char user[256] = "";
        DWORD n = sizeof user;
        if (!GetUserNameA(user, &n)) user[0] = 0;
        initials = InitialsFromUserName(user);
        store = true;
    }
    SetConfigFolder(folder.c_str());
    SetUserInitials(initials.c_str());
    if (store) {
        Write_ProfileString(IDS_QW_INSTALL_DETAILS, IDS_QW_CONFIG_FOLDER, ConfigFolder().c_str());
        Write_ProfileString(IDS_QW_INSTALL_DETAILS, IDS_QW_INITIALS, initials.c_str());
    }
    std::string master;
    GetAppFolders(nullptr, &master, nullptr);
    SetLanguageDictionaryFolders(master.c_str(), initials.c_str());
    if (ConfigurationFilesExist(ConfigFolder().c_str(), initials.c_str())) return 1;
    if (!DirExists(ConfigFolder().c_str())) {
        MsgOut(QW_MSG_SERIOUS | QW_MSG_LOG | QW_MSG_BOX, "Unable to Create Folder: '%s' ", ConfigFolder().c_str());
        return 0;
    }
    return CopyConfigurationFiles(ConfigFolder().c_str(), initials.c_str());
}

int Open_QW_KCmds_Dictionary() {
    char user[MAX_PATH + 1] = "";
    GetLanguageDictionaryPath(user, LANG_COMMANDS);
    std::string master = GetMasterFilePath(PathFileName(user), 1);
    int cmp = FileCompareTimes(master.c_str(), user);
    if (cmp == 1 || cmp == -3) {
        if (FileExists(user) && !FileDelete(user)) {
            MsgWarn("During update of the QW commands file, Deletion of file '%s' failed.", user);
        } else if (cmp != -2 && !CopyFileA(master.c_str(), user, FALSE)) {
            MsgOut(QW_MSG_LOG | QW_MSG_BOX, "KV: QW_Install\nCopyFiles() failed in Open_QW_KCmds_Dictionary().");
        }
    }
    int index = -1;
    if (FindOrLoadLanguageSpec(&index, LANG_COMMANDS, nullptr, nullptr)) {
        // A damaged file may still load, as a dictionary without the command
        // words; the menu head's word tells a usable one.
        char word[] = "K_M_HEAD", text[32] = "";
        if (LookupLanguageKeyword(word, index, 0, text, sizeof text) == TOKEN_KEYWORD && std::atoi(text) == 300)
            return 1;
        MsgOutId(QW_MSG_BOX | QW_MSG_ID, IDS_QW_NO_COMMAND_FILE, user);
        return 0;
    }
    if (!FileExists(master.c_str()))
        MsgOutId(QW_MSG_BOX | QW_MSG_ID, IDS_QW_NO_COMMAND_FILES, master.c_str(), user);
    else
        MsgOutId(QW_MSG_BOX | QW_MSG_ID, IDS_QW_NO_COMMAND_FILE, user);
    return 0;
}

void InstallFolderOutlets() {
    QwShellOutlets o = QwGetShellOutlets();
    o.config_folder = ConfigFolderOutlet;
    o.user_files_folder = UserFilesOutlet;
    QwSetShellOutlets(&o);
}
