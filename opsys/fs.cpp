// What both sides of the file-system seam share: the fault table in front
// of every call, whole writes, and the search for a free name.
#include "opsys/fs.h"

#include <ctime>
#include <mutex>
#include <random>

#include "opsys/detail/fs_os.h"

namespace {

FsFaults* g_faults = nullptr;

bool listed(const std::set<std::string>& paths, const char* path) {
    return path && !paths.empty() && paths.count(path) != 0;
}

// Whether a fault refuses to open `path` for `access`; the error it gives.
bool open_refused(const char* path, uint32_t access, int* error) {
    const FsFaults* f = g_faults;
    if (!f) return false;
    if (listed(f->locked, path)) {
        if (error) *error = FS_ERR_LOCKED;
        return true;
    }
    // A missing file opened without creating it fails as it would anyway.
    unsigned a = 0;
    if (listed(f->readonly, path) && ((access & FS_CREATE) || ((access & 0x3) && fs_os::attributes(path, &a)))) {
        if (error) *error = FS_ERR_ACCESS_DENIED;
        return true;
    }
    return false;
}

// Cuts a write of n bytes to what a budget (-1: unlimited) still allows;
// false when it allows nothing.
bool within(int64_t budget, uint32_t& n) {
    if (budget < 0) return true;
    if (budget == 0) return false;
    if (n > budget) n = static_cast<uint32_t>(budget);
    return true;
}

void spend(int64_t& budget, uint32_t n) {
    if (budget > 0) budget -= n;
}

} // namespace

FsFaults* FsSetFaults(FsFaults* faults) {
    FsFaults* old = g_faults;
    g_faults = faults;
    return old;
}

void* FsOpen(const char* path, uint32_t access, int* error) {
    if (open_refused(path, access, error)) return nullptr;
    return fs_os::open(path, access, error);
}

int32_t FsRead(void* file, void* buf, uint32_t n) {
    if (FsFaults* f = g_faults) {
        ++f->reads;
        if (f->short_read_at >= 0 && f->reads > f->short_read_at) return 0;
    }
    return fs_os::read(file, buf, n);
}

int32_t FsWrite(void* file, const void* buf, uint32_t n) {
    if (FsFaults* f = g_faults) {
        ++f->writes;
        if (f->next_file_budget >= 0 && !f->budget_file) {
            f->budget_file = file;
            f->file_budget = f->next_file_budget;
            f->next_file_budget = -1;
        }
        const bool own = file == f->budget_file;
        if (!within(f->write_budget, n) || (own && !within(f->file_budget, n))) return -1;
        spend(f->write_budget, n);
        if (own) spend(f->file_budget, n);
    }
    return fs_os::write(file, buf, n);
}

int FsWriteAll(void* file, const void* buf, size_t n) {
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        uint32_t chunk = n > 0x10000000u ? 0x10000000u : static_cast<uint32_t>(n);
        int32_t put = FsWrite(file, p, chunk);
        if (put <= 0) return 0;
        p += put;
        n -= static_cast<size_t>(put);
    }
    return 1;
}

int FsSeek(void* file, int64_t offset, int origin, int64_t* pos) {
    return fs_os::seek(file, offset, origin, pos);
}

int FsFlush(void* file) { return fs_os::flush(file); }

int FsClose(void* file) {
    if (g_faults && file == g_faults->budget_file) g_faults->budget_file = nullptr;
    return fs_os::close(file);
}

int FsRemove(const char* path) {
    if (g_faults && (listed(g_faults->locked, path) || listed(g_faults->readonly, path))) return 0;
    return fs_os::remove(path);
}

int FsRename(const char* from, const char* to) {
    if (g_faults && (listed(g_faults->locked, from) || listed(g_faults->locked, to))) return 0;
    return fs_os::rename(from, to);
}

int FsReplace(const char* source, const char* target) {
    if (g_faults && (listed(g_faults->locked, source) || listed(g_faults->locked, target) ||
                     listed(g_faults->readonly, target)))
        return 0;
    return fs_os::replace(source, target);
}

int FsExists(const char* path) {
    unsigned a = 0;
    return path && fs_os::attributes(path, &a) && !(a & FS_ATTR_DIRECTORY);
}

int FsAttributes(const char* path, unsigned* attributes) {
    unsigned a = 0;
    if (!path || !fs_os::attributes(path, &a)) return 0;
    if (attributes) *attributes = a;
    return 1;
}

void* FsListOpen(const char* folder) { return folder ? fs_os::list_open(folder) : nullptr; }

int FsListNext(void* listing, FsEntry* entry) {
    return listing && entry ? fs_os::list_next(listing, entry) : 0;
}

void FsListClose(void* listing) {
    if (listing) fs_os::list_close(listing);
}

std::string FsEntryPath(const std::string& folder, const char* name) {
    std::string out = folder;
    if (!out.empty() && out.back() != '\\' && out.back() != '/' && out.back() != ':')
        out.push_back(fs_os::separator);
    return out + name;
}

unsigned FsRandom() {
    static std::mutex m;
    static std::minstd_rand r(static_cast<unsigned>(time(nullptr)) ^ (fs_os::process_tag() << 16));
    std::lock_guard<std::mutex> lock(m);
    return static_cast<unsigned>(r());
}

unsigned FsProcessTag() { return fs_os::process_tag(); }

int FsUniqueName(FsNameMaker make, void* ctx, int tries, int create, char* out, size_t size,
                 int* error) {
    if (error) *error = 0;
    if (!make || !out || size == 0) return 0;
    for (int attempt = 0; attempt < tries; ++attempt) {
        if (!make(ctx, static_cast<unsigned>(attempt), out, size)) return 0;
        if (!create) {
            unsigned a = 0;
            if (!fs_os::attributes(out, &a)) return 1;
            continue;
        }
        int err = 0;
        void* f = FsOpen(out, FS_READWRITE | FS_SHARE_EXCLUSIVE | FS_CREATE | FS_FAIL_IF_EXISTS, &err);
        if (f) {
            FsClose(f);
            return 1;
        }
        if (error) *error = err;
        if (!fs_os::name_taken(err)) return 0;
    }
    return 0;
}
