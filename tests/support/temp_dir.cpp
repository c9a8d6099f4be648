#include "tests/support/temp_dir.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace qwtest {

namespace {
std::atomic<unsigned> g_counter{0};

unsigned process_id() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned>(getpid());
#endif
}
} // namespace

TempDir::TempDir() {
    fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::ostringstream name;
        name << "qwtest-" << process_id() << "-" << g_counter++;
        fs::path p = base / name.str();
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path_ = p.string();
            char sep = static_cast<char>(fs::path::preferred_separator);
            if (path_.back() != sep) path_ += sep;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary test folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("short write to " + path);
}

} // namespace qwtest
