#include "Reu/reu_file.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<int> g_write_fault{-1};
std::atomic<unsigned> g_temp_counter{0};

// The temporary name sits beside the target, so that replacing it is a
// rename within one folder and never a copy across volumes.
std::string TempNameFor(const std::string& path, unsigned n) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".~%x%x.tmp", reu_os::ProcessTag() & 0xFFFF, n);
    return path + suffix;
}
} // namespace

int ReuSetWriteFaultForTest(int n) { return g_write_fault.exchange(n); }

bool ReuReplaceFileContents(const char* path, const std::string& bytes) {
    if (!path || !*path) return false;
    std::string temp;
    void* f = nullptr;
    for (int tries = 0; tries < 100 && !f; ++tries) {
        temp = TempNameFor(path, g_temp_counter.fetch_add(1));
        f = reu_os::CreateNewFile(temp.c_str());
    }
    if (!f) return false;

    bool ok;
    int fault = g_write_fault.exchange(-1);
    if (fault >= 0) {
        size_t n = static_cast<size_t>(fault) < bytes.size() ? static_cast<size_t>(fault) : bytes.size();
        reu_os::WriteAll(f, bytes.data(), n);
        ok = false;
    } else {
        ok = reu_os::WriteAll(f, bytes.data(), bytes.size());
    }
    if (!reu_os::Close(f)) ok = false;
    if (ok) ok = reu_os::MoveOver(temp.c_str(), path);
    if (!ok) reu_os::Remove(temp.c_str());
    return ok;
}

bool ReuReadFileContents(const char* path, std::string& out) {
    out.clear();
    if (!path || !*path) return false;
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    char chunk[32768];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.append(chunk, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}
