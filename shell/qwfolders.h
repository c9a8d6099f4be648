#pragma once
// The editor's folders: the program folder with the master copies
// ("CONFIG") and macro sources ("SOURCE"), the user's configuration folder
// whose files carry the user's initials as extension, the per-user log
// folder, and the system folders. Also the first-run set-up of a user and
// the refresh of the command dictionary from its master.
#include <string>

enum : int { QW_INITIALS_MAX = 13 };

// ---- Folders ----
std::string GetProgramFolder();
std::string GetProgramFilePath(const char* name);
// The master copy of `name` ("<name>.xxx" with the initials flag).
std::string GetMasterFilePath(const char* name, int with_initials);
// The user's copy of `name` ("<name>.<initials>" with the flag); the
// configuration folder itself for an empty name.
std::string GetConfigFilePathStr(const char* name, int with_initials);
// Codes 100 Windows, 101 System, 102 Temp (without trailing separator).
std::string GetSystemFolder(int code);
// Program, master and source folder (each may be null); 1 when the source
// folder was asked for and exists.
int GetAppFolders(std::string* program, std::string* master, std::string* source);
// Points the source folder (the macro programs) elsewhere; null or empty
// goes back to the program's own.
void SetSourceFolderOverride(const char* folder);
// The macro compiler, its include path and the source folder.
void GetMacroCompilerPaths(std::string* compiler, std::string* include_path, std::string* source);

// ---- Initials ----
// Copies the initials (at most 13 characters) into buffer; size -1 means
// "large enough" (14 bytes). The length.
int UserInitials(char* buffer, int size);
void SetUserInitials(const char* initials);
std::string WithInitialsExtension(const char* name);
int HasInitialsExtension(const char* path);
int HasCExtension(const char* path);
// Initials made from a user name: its letters and digits, at most 13.
std::string InitialsFromUserName(const char* user);

// ---- The configuration folder ----
// Sets the folder the shell's outlets and paths answer (made absolute).
void SetConfigFolder(const char* folder);
const std::string& ConfigFolder();
// Creates the folder when missing; 1 when "Menu_NoWin.<initials>" is there.
int ConfigurationFilesExist(const char* folder, const char* initials);
// Copies every master "*.xxx" into the folder as "*.<initials>"; a file the
// user already has is kept. 1 on success.
int CopyConfigurationFiles(const char* folder, const char* initials);

// First start of a user: reads "Install Details" from the profile (folder
// and initials); when missing, a per-user folder under the application-data
// folder and initials from the user name, stored back. Then provides the
// configuration files when they are missing. 1 when the folder is usable.
int SetupUserConfiguration();

// Writes a profile string named by two string ids; logs a failure.
int Write_ProfileString(unsigned section_id, unsigned key_id, const char* value);

// Replaces the user's command dictionary by its master when the master is
// newer or the user's copy is missing, then opens it; 0 after a message.
int Open_QW_KCmds_Dictionary();

// Installs the folder outlets (configuration, log folder) of the shell.
void InstallFolderOutlets();
