#pragma once
// A fresh temporary folder per test, removed with everything in it when the
// fixture ends, so no test sees another's files.
#include <string>

namespace qwtest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, with a trailing separator.
    const std::string& path() const { return path_; }
    // path() + name.
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// Whole-file helpers for fixtures: binary, byte for byte.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

} // namespace qwtest
