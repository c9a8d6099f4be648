#pragma once
// Profile settings in the registry and the recent-file list.
//
// Settings live under HKEY_CURRENT_USER\Software\<company>\<application>\<section>.
// The company key is set once for the process (SetProfileCompany, "Kelvora"
// for this program's applications); every reader and writer builds its key
// through ProfileKeyPath, so the root is in one place.
//
//   fw::Profile p("QW32");
//   p.WriteInt("Settings", "Width", 80);
//   int w = p.GetInt("Settings", "Width", 72);
//
//   fw::RecentFileList mru(4);
//   mru.Load(p);  mru.Add("C:\\a.txt");  mru.Save(p);
#include <cstdint>
#include <string>
#include <vector>

#include "framework/fwexport.h"

namespace fw {

// The company key of the process's settings ("Kelvora" until set).
QWFW_API void SetProfileCompany(const std::string& company);
QWFW_API std::string ProfileCompany();
// "Software\<company>\<app>" with "\<section>" when a section is given.
QWFW_API std::string ProfileKeyPath(const std::string& app, const std::string& section = {});

class QWFW_API Profile {
public:
    explicit Profile(std::string app) : app_(std::move(app)) {}

    const std::string& app() const { return app_; }

    // Integers are REG_DWORD values; a REG_SZ holding a number reads too.
    int GetInt(const std::string& section, const std::string& entry, int def) const;
    bool WriteInt(const std::string& section, const std::string& entry, int value) const;
    std::string GetString(const std::string& section, const std::string& entry,
                          const std::string& def = {}) const;
    bool WriteString(const std::string& section, const std::string& entry,
                     const std::string& value) const;
    // False (and out untouched) when the entry is missing or not binary.
    bool GetBinary(const std::string& section, const std::string& entry,
                   std::vector<uint8_t>& out) const;
    bool WriteBinary(const std::string& section, const std::string& entry, const void* data,
                     size_t size) const;
    bool DeleteEntry(const std::string& section, const std::string& entry) const;
    // Removes the section with everything under it.
    bool DeleteSection(const std::string& section) const;

private:
    std::string app_;
};

// The most-recently-used file list: at most `size` paths, newest first,
// kept in the section "Recent File List" as "File1", "File2", ...
class QWFW_API RecentFileList {
public:
    explicit RecentFileList(size_t size, std::string section = "Recent File List",
                            std::string entry_format = "File%d");

    // Puts a path first (a path already there, compared ignoring case, moves).
    void Add(const std::string& path);
    void Remove(size_t index);
    size_t size() const { return files_.size(); }
    size_t capacity() const { return capacity_; }
    const std::string& operator[](size_t i) const { return files_[i]; }
    const std::vector<std::string>& files() const { return files_; }

    void Load(const Profile& profile);
    void Save(const Profile& profile) const;

private:
    std::string EntryName(size_t index) const;
    size_t capacity_;
    std::string section_, entry_format_;
    std::vector<std::string> files_;
};

} // namespace fw
