#pragma once
// A file layer for tests: the native one with counters, plus switches that
// make writes fail after a byte budget (a full disk), make reads come up
// short, or refuse opens, deletes and renames of chosen paths (a locked or
// read-only file on a host where root ignores both).
#include "opsys/bufstream.h"

#include <set>
#include <string>

namespace qwtest {

struct FaultLayer {
    int64_t write_budget = -1;  // bytes still writable; -1 = unlimited
    int32_t short_read_at = -1; // reads after this many find the file ended early
    int reads = 0;
    int writes = 0;
    std::set<std::string> locked;   // open, delete and rename fail
    std::set<std::string> readonly; // opens for writing, delete fail

    static FaultLayer*& current() {
        static FaultLayer* p = nullptr;
        return p;
    }
    static void* open(const char* path, uint32_t access, int* error) {
        FaultLayer* f = current();
        if (f->locked.count(path) || ((access & 0x3) && f->readonly.count(path))) {
            if (error) *error = 32;
            return nullptr;
        }
        return buf_file_native_layer()->open(path, access, error);
    }
    static int32_t read(void* file, void* buf, uint32_t n) {
        FaultLayer* f = current();
        ++f->reads;
        if (f->short_read_at >= 0 && f->reads > f->short_read_at) return 0;
        return buf_file_native_layer()->read(file, buf, n);
    }
    static int32_t write(void* file, const void* buf, uint32_t n) {
        FaultLayer* f = current();
        ++f->writes;
        if (f->write_budget >= 0) {
            if (f->write_budget == 0) return -1;
            if (n > f->write_budget) n = static_cast<uint32_t>(f->write_budget);
            f->write_budget -= n;
        }
        return buf_file_native_layer()->write(file, buf, n);
    }
    static int seek(void* file, int64_t offset, int origin, int64_t* pos) {
        return buf_file_native_layer()->seek(file, offset, origin, pos);
    }
    static int close(void* file) { return buf_file_native_layer()->close(file); }
    static int remove(const char* path) {
        FaultLayer* f = current();
        if (f->locked.count(path) || f->readonly.count(path)) return 0;
        return buf_file_native_layer()->remove(path);
    }
    static int rename(const char* from, const char* to) {
        FaultLayer* f = current();
        if (f->locked.count(from) || f->locked.count(to)) return 0;
        return buf_file_native_layer()->rename(from, to);
    }
    static int exists(const char* path) { return buf_file_native_layer()->exists(path); }
};

// Installs a FaultLayer for the scope of a test.
class ScopedFaultLayer {
public:
    ScopedFaultLayer() {
        FaultLayer::current() = &state;
        previous_ = buf_file_set_layer(&table_);
    }
    ~ScopedFaultLayer() {
        buf_file_set_layer(previous_);
        FaultLayer::current() = nullptr;
    }
    ScopedFaultLayer(const ScopedFaultLayer&) = delete;
    ScopedFaultLayer& operator=(const ScopedFaultLayer&) = delete;
    FaultLayer state;

private:
    const buf_file_layer* previous_;
    buf_file_layer table_{FaultLayer::open,  FaultLayer::read,   FaultLayer::write,
                          FaultLayer::seek,  FaultLayer::close,  FaultLayer::remove,
                          FaultLayer::rename, FaultLayer::exists};
};

} // namespace qwtest
