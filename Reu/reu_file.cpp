#include "Reu/reu_file.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "opsys/fs.h"

namespace {

std::atomic<unsigned> g_temp_counter{0};

// The temporary name sits beside the target, so that replacing it is a
// rename within one folder and never a copy across volumes.
int TempNameFor(void* target, unsigned, char* out, size_t size) {
    int n = std::snprintf(out, size, "%s.~%x%x.tmp", static_cast<const char*>(target),
                          FsProcessTag() & 0xFFFF, g_temp_counter.fetch_add(1));
    return n > 0 && static_cast<size_t>(n) < size;
}

} // namespace

bool ReuReplaceFileContents(const char* path, const std::string& bytes) {
    if (!path || !*path) return false;
    std::vector<char> temp(std::strlen(path) + 32);
    if (!FsUniqueName(TempNameFor, const_cast<char*>(path), 100, 1, temp.data(), temp.size(), nullptr))
        return false;
    // The name was made for us alone: no other program can have opened it.
    void* f = FsOpen(temp.data(), FS_WRITE | FS_SHARE_EXCLUSIVE, nullptr);
    bool ok = f && FsWriteAll(f, bytes.data(), bytes.size());
    if (f && !FsFlush(f)) ok = false;
    if (f && !FsClose(f)) ok = false;
    if (ok) ok = FsReplace(temp.data(), path) != 0;
    if (!ok) FsRemove(temp.data());
    return ok;
}

bool ReuReadFileContents(const char* path, std::string& out) {
    out.clear();
    if (!path || !*path) return false;
    void* f = FsOpen(path, FS_READ | FS_SHARE_DENY_NONE, nullptr);
    if (!f) return false;
    char chunk[32768];
    int32_t n;
    while ((n = FsRead(f, chunk, sizeof chunk)) > 0) out.append(chunk, static_cast<size_t>(n));
    FsClose(f);
    return n == 0;
}
