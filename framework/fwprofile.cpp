#include "framework/fwprofile.h"

#include <windows.h>

#include <cstdlib>
#include <mutex>

namespace fw {

namespace {

std::mutex g_company_lock;
std::string g_company = "Kelvora";

// An open registry key that closes itself.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() {
        if (h_) RegCloseKey(h_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    bool Open(const std::string& path, bool create) {
        LONG r = create ? RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                          KEY_READ | KEY_WRITE, nullptr, &h_, nullptr)
                        : RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &h_);
        if (r != ERROR_SUCCESS) h_ = nullptr;
        return h_ != nullptr;
    }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

// Reads a value of any type; false when missing.
bool QueryValue(const std::string& path, const std::string& entry, DWORD& type,
                std::vector<uint8_t>& data) {
    RegKey key;
    if (!key.Open(path, false)) return false;
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), entry.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    // The value may grow between the two calls: retry a few times.
    for (int tries = 0; tries < 4; ++tries) {
        data.resize(size);
        DWORD got = size;
        LONG r = RegQueryValueExA(key.get(), entry.c_str(), nullptr, &type,
                                  data.empty() ? nullptr : data.data(), &got);
        if (r == ERROR_SUCCESS) {
            data.resize(got);
            return true;
        }
        if (r != ERROR_MORE_DATA) return false;
        size = got;
    }
    return false;
}

bool SetValue(const std::string& path, const std::string& entry, DWORD type, const void* data,
              size_t size) {
    if (size > 0x7FFFFFFF) return false;
    RegKey key;
    if (!key.Open(path, true)) return false;
    return RegSetValueExA(key.get(), entry.c_str(), 0, type, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

} // namespace

void SetProfileCompany(const std::string& company) {
    std::lock_guard<std::mutex> lock(g_company_lock);
    g_company = company;
}

std::string ProfileCompany() {
    std::lock_guard<std::mutex> lock(g_company_lock);
    return g_company;
}

std::string ProfileKeyPath(const std::string& app, const std::string& section) {
    std::string path = "Software\\" + ProfileCompany() + "\\" + app;
    if (!section.empty()) path += "\\" + section;
    return path;
}

int Profile::GetInt(const std::string& section, const std::string& entry, int def) const {
    DWORD type = 0;
    std::vector<uint8_t> data;
    if (!QueryValue(ProfileKeyPath(app_, section), entry, type, data)) return def;
    if (type == REG_DWORD && data.size() == 4)
        return static_cast<int>(static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                                (static_cast<uint32_t>(data[2]) << 16) |
                                (static_cast<uint32_t>(data[3]) << 24));
    if (type == REG_SZ) {
        std::string text(data.begin(), data.end());
        char* end = nullptr;
        long v = std::strtol(text.c_str(), &end, 10);
        if (end != text.c_str()) return static_cast<int>(v);
    }
    return def;
}

bool Profile::WriteInt(const std::string& section, const std::string& entry, int value) const {
    uint32_t v = static_cast<uint32_t>(value);
    uint8_t bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return SetValue(ProfileKeyPath(app_, section), entry, REG_DWORD, bytes, sizeof bytes);
}

std::string Profile::GetString(const std::string& section, const std::string& entry,
                               const std::string& def) const {
    DWORD type = 0;
    std::vector<uint8_t> data;
    if (!QueryValue(ProfileKeyPath(app_, section), entry, type, data)) return def;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return def;
    std::string text(data.begin(), data.end());
    // Stored strings carry their terminator; a value written without one does not.
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.erase(nul);
    return text;
}

bool Profile::WriteString(const std::string& section, const std::string& entry,
                          const std::string& value) const {
    return SetValue(ProfileKeyPath(app_, section), entry, REG_SZ, value.c_str(), value.size() + 1);
}

bool Profile::GetBinary(const std::string& section, const std::string& entry,
                        std::vector<uint8_t>& out) const {
    DWORD type = 0;
    std::vector<uint8_t> data;
    if (!QueryValue(ProfileKeyPath(app_, section), entry, type, data) || type != REG_BINARY)
        return false;
    out = std::move(data);
    return true;
}

bool Profile::WriteBinary(const std::string& section, const std::string& entry, const void* data,
                          size_t size) const {
    return SetValue(ProfileKeyPath(app_, section), entry, REG_BINARY, data, size);
}

bool Profile::DeleteEntry(const std::string& section, const std::string& entry) const {
    RegKey key;
    if (!key.Open(ProfileKeyPath(app_, section), true)) return false;
    return RegDeleteValueA(key.get(), entry.c_str()) == ERROR_SUCCESS;
}

bool Profile::DeleteSection(const std::string& section) const {
    if (section.empty()) return false;
    RegKey parent;
    if (!parent.Open(ProfileKeyPath(app_), true)) return false;
    return RegDeleteTreeA(parent.get(), section.c_str()) == ERROR_SUCCESS;
}

// ---- RecentFileList ----

RecentFileList::RecentFileList(size_t size, std::string section, std::string entry_format)
    : capacity_(size), section_(std::move(section)), entry_format_(std::move(entry_format)) {}

void RecentFileList::Add(const std::string& path) {
    if (path.empty() || !capacity_) return;
    for (size_t i = 0; i < files_.size(); ++i) {
        if (lstrcmpiA(files_[i].c_str(), path.c_str()) == 0) {
            files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    files_.insert(files_.begin(), path);
    if (files_.size() > capacity_) files_.resize(capacity_);
}

void RecentFileList::Remove(size_t index) {
    if (index < files_.size()) files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(index));
}

std::string RecentFileList::EntryName(size_t index) const {
    std::string fmt = entry_format_;
    size_t at = fmt.find("%d");
    std::string number = std::to_string(index + 1);
    if (at != std::string::npos) fmt.replace(at, 2, number);
    else fmt += number;
    return fmt;
}

void RecentFileList::Load(const Profile& profile) {
    files_.clear();
    for (size_t i = 0; i < capacity_; ++i) {
        std::string path = profile.GetString(section_, EntryName(i));
        if (!path.empty()) files_.push_back(path);
    }
}

void RecentFileList::Save(const Profile& profile) const {
    for (size_t i = 0; i < capacity_; ++i) {
        if (i < files_.size()) profile.WriteString(section_, EntryName(i), files_[i]);
        else profile.DeleteEntry(section_, EntryName(i));
    }
}

} // namespace fw
