#include "shell/qwfiletypes.h"

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "opsys/msgout.h"

namespace {

HKEY g_root = HKEY_CLASSES_ROOT;

std::string ProgramPath() {
    char self[MAX_PATH] = "", shortp[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    DWORD n = GetShortPathNameA(self, shortp, sizeof shortp);
    return (n > 0 && n < sizeof shortp) ? shortp : self;
}

bool KeyHasDefault(const std::string& key) {
    HKEY h;
    if (RegOpenKeyExA(g_root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    char buf[256];
    DWORD size = sizeof buf, type = 0;
    LONG rc = RegQueryValueExA(h, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS && size > 1;
}

} // namespace

void SetClassesRootForTests(HKEY root) { g_root = root ? root : HKEY_CLASSES_ROOT; }

int SetClassesRootValue(const char* key, const char* data, const char* value_name) {
    HKEY h;
    if (RegCreateKeyExA(g_root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return 0;
    LONG rc = RegSetValueExA(h, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                             DWORD(strlen(data) + 1));
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

int RegisterQWShellFileTypes(const char* description, const char* type_id, const char* extensions, int dde,
                             int icon_index, int new_file) {
    if (!type_id || !*type_id) return 0;
    std::string id = type_id, p = ProgramPath();
    SetClassesRootValue(id.c_str(), description ? description : "", nullptr);
    // The icon entry only when the program file holds that icon.
    HICON small_icon = nullptr;
    if (ExtractIconExA(p.c_str(), icon_index, nullptr, &small_icon, 1) > 0 && small_icon) {
        DestroyIcon(small_icon);
        SetClassesRootValue((id + "\\DefaultIcon").c_str(), (p + "," + std::to_string(icon_index)).c_str(), nullptr);
    }
    if (dde) {
        SetClassesRootValue((id + "\\shell\\open\\ddeexec").c_str(), "[open(\"%1\")]", nullptr);
        SetClassesRootValue((id + "\\shell\\print\\ddeexec").c_str(), "[print(\"%1\")]", nullptr);
        SetClassesRootValue((id + "\\shell\\printto\\ddeexec").c_str(), "[printto(\"%1\",\"%2\",\"%3\",\"%4\")]",
                            nullptr);
        SetClassesRootValue((id + "\\shell\\open\\command").c_str(), (p + " /dde").c_str(), nullptr);
        SetClassesRootValue((id + "\\shell\\print\\command").c_str(), (p + " /p \"%1\" /dde").c_str(), nullptr);
        SetClassesRootValue((id + "\\shell\\printto\\command").c_str(),
                            (p + " /pt \"%1\" \"%2\" \"%3\" \"%4\" /dde").c_str(), nullptr);
    } else {
        SetClassesRootValue((id + "\\shell\\open\\command").c_str(), (p + " \"%1\"").c_str(), nullptr);
    }
    // Each extension: bound to this type unless it has a type already.
    std::string exts = extensions ? extensions : "";
    size_t pos = 0;
    while ((pos = exts.find('.', pos)) != std::string::npos) {
        size_t end = exts.find_first_of(" ;,.", pos + 1);
        std::string ext = exts.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? exts.size() : end;
        if (ext.size() < 2) continue;
        if (!KeyHasDefault(ext)) SetClassesRootValue(ext.c_str(), id.c_str(), nullptr);
        if (new_file) SetClassesRootValue((ext + "\\ShellNew").c_str(), "", "NullFile");
    }
    return 1;
}

int RegisterFileTypeFromResource(unsigned string_id, int icon_index, const char* extension_override, int dde,
                                 int new_file) {
    char text[512] = "";
    if (!LoadAppString(string_id, text, sizeof text)) return 0;
    std::vector<std::string> f;
    std::string s = text;
    size_t start = 0;
    for (;;) {
        size_t bar = s.find('|', start);
        f.push_back(s.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    while (f.size() < 3) f.emplace_back();
    if (icon_index == -1 && f.size() > 3) icon_index = atoi(f[3].c_str());
    return RegisterQWShellFileTypes(f[0].c_str(), f[1].c_str(), extension_override ? extension_override : f[2].c_str(),
                                    dde, icon_index, new_file);
}

int RegisterAppPath() {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path = self, name = path.substr(path.find_last_of("\\/") + 1);
    std::string folder = path.substr(0, path.find_last_of("\\/"));
    std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + name;
    HKEY h;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
        return 0;
    RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()), DWORD(path.size() + 1));
    RegSetValueExA(h, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()), DWORD(folder.size() + 1));
    RegCloseKey(h);
    return 1;
}
