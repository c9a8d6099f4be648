// The engine object, the buffer table and the buffer handles: start and
// stop, open, find and close, and the per-buffer accessors.
#include "VmEngine/vm.h"

#include "VmEngine/pagecache.h"
#include "VmEngine/vmcore.h"
#include "opsys/msgout.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

VMS* g_vms = nullptr;

namespace {

int g_line_end_param = 0;

struct Lock {
    Lock() { vm_lock(1); }
    ~Lock() { vm_lock(0); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
};

char* heap_copy(const char* s) {
    if (!s || !*s)
        return nullptr;
    size_t n = std::strlen(s) + 1;
    char* p = static_cast<char*>(std::malloc(n));
    if (p)
        std::memcpy(p, s, n);
    return p;
}

// Names compare without regard to case; the lengths must agree.
bool same_name(const char* a, const char* b) {
    if (!a || !b)
        return false;
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

void recompute_highest() {
    VMS* s = g_vms;
    s->highest = nullptr;
    for (uint32_t i = s->table_size; i-- > 0;)
        if (s->table[i].type) {
            s->highest = &s->table[i];
            break;
        }
}

VMB* create_slot(uint32_t type, const char* name) {
    VMS* s = g_vms;
    for (uint32_t i = 0; i < s->table_size; ++i) {
        VMB* b = &s->table[i];
        if (b->type)
            continue;
        std::memset(b, 0, sizeof *b);
        b->type = type | VMB_T_INUSE;
        b->name = heap_copy(name);
        b->mark_line = 1;
        b->seq = 1;
        recompute_highest();
        return b;
    }
    return nullptr;
}

} // namespace

// ---- System ----------------------------------------------------------------

int vms_start(uint32_t table_size, uint32_t cache_bytes, const char* swap_path, uint32_t sys_flags,
              int line_end_param) {
    Lock lk;
    if (g_vms || table_size == 0)
        return 0;
    VMB* table = static_cast<VMB*>(std::calloc(table_size, sizeof(VMB)));
    if (!table)
        return 0;
    if (!pc_start(cache_bytes, swap_path)) {
        std::free(table);
        return 0;
    }
    VMS* s = new VMS{};
    s->table_size = table_size;
    s->highest = nullptr;
    s->flags = sys_flags;
    s->cache_bytes = cache_bytes;
    s->table = table;
    g_vms = s;
    g_line_end_param = line_end_param;
    return 1;
}

void vms_stop() {
    Lock lk;
    VMS* s = g_vms;
    if (!s)
        return;
    vmi::set_stopping(true);
    for (uint32_t i = 0; i < s->table_size; ++i)
        if (s->table[i].type)
            vmb_close(&s->table[i], 0);
    vmi::set_stopping(false);
    pc_stop();
    std::free(s->table);
    delete s;
    g_vms = nullptr;
}

int vms_is_started() { return g_vms != nullptr; }

void vms_get_limits(uint32_t* table_size, uint32_t* cache_bytes) {
    Lock lk;
    if (table_size)
        *table_size = g_vms ? g_vms->table_size : 0;
    if (cache_bytes)
        *cache_bytes = g_vms ? g_vms->cache_bytes : 0;
}

void vms_page_info(uint32_t* frame_count, uint32_t* page_size) {
    Lock lk;
    if (frame_count)
        *frame_count = pc_frame_count();
    if (page_size)
        *page_size = VM_PAGE_SIZE;
}

uint32_t vms_flags(int op, uint32_t mask) {
    Lock lk;
    if (!g_vms)
        return 0;
    if (op == 1)
        g_vms->flags |= mask;
    else if (op == 0)
        g_vms->flags &= ~mask;
    return g_vms->flags & mask;
}

void vms_set_param(int value) { g_line_end_param = value; }
int vms_get_param() { return g_line_end_param; }

VMB* vms_for_each_buffer(VmsBufferFn fn, void* a, void* b) {
    Lock lk;
    if (!g_vms || !fn || !g_vms->highest)
        return nullptr;
    for (VMB* s = g_vms->table; s <= g_vms->highest; ++s)
        if (fn(s, a, b))
            return s;
    return nullptr;
}

VMB* vms_next_buffer(VMB* slot) {
    Lock lk;
    if (!g_vms || !g_vms->highest)
        return nullptr;
    if (!slot)
        return g_vms->table;
    uintptr_t a = uintptr_t(slot), base = uintptr_t(g_vms->table);
    if (a < base || (a - base) % sizeof(VMB) || slot >= g_vms->highest)
        return nullptr;
    return slot + 1;
}

// ---- Buffers ---------------------------------------------------------------

int vmb_in_use(const void* p) {
    VMS* s = g_vms;
    if (!s || !p)
        return 0;
    uintptr_t a = uintptr_t(p), base = uintptr_t(s->table);
    if (a < base || a >= base + uintptr_t(s->table_size) * sizeof(VMB) || (a - base) % sizeof(VMB))
        return 0;
    return static_cast<const VMB*>(p)->type != 0;
}

int vmb_check(const void* p) { return vmb_in_use(p); }

VMB* vmb_find(uint32_t type, const char* name) {
    Lock lk;
    if (!g_vms || !name || !*name || !g_vms->highest)
        return nullptr;
    uint32_t want = type & ~VMB_T_INUSE;
    for (VMB* b = g_vms->table; b <= g_vms->highest; ++b)
        if (b->type && (b->type & want) && same_name(b->name, name))
            return b;
    return nullptr;
}

VMB* vmb_open(uint32_t type, const char* name, uint32_t flags) {
    Lock lk;
    if (!g_vms)
        return nullptr;
    if (name && *name && !(flags & VMB_O_NOFIND)) {
        VMB* found = vmb_find(type, name);
        if (flags & VMB_O_FINDONLY)
            return found;
        if (found) {
            if (flags & VMB_O_RECREATE) {
                vmb_close(found, 0);
            } else if (flags & VMB_O_EMPTY) {
                vm_delete_lines(found, 1, -1, 1);
                return found;
            } else if (flags & VMB_O_FILE) {
                return found;
            } else {
                return (flags & VMB_O_EXCL) ? nullptr : found;
            }
        }
    } else if (flags & VMB_O_FINDONLY) {
        return nullptr;
    }
    return create_slot(type, name);
}

VMB* vmb_create_temp() {
    VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
    if (!b)
        MsgOutId(QW_MSG_BOX, 1403, __FILE__, __LINE__);
    return b;
}

int vmb_close(VMB* b, int keep) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    // Whether this is a log must be known before the type word goes.
    bool is_log = (b->type & VMB_T_LOG) != 0;
    int result = 1;
    if (!keep) {
        vmi::free_all(b);
        if (b->stream)
            result = vmb_stream_close(b);
        std::free(b->name);
        b->name = nullptr;
        std::free(b->temp_name);
        b->temp_name = nullptr;
        b->type = 0;
        b->attachment = 0;
        recompute_highest();
    }
    VMB* log = b->log;
    b->log = nullptr;
    if (log && log != b && vmb_in_use(log))
        vmb_close(log, 0);
    if (!is_log) {
        VMB* second = b->log2;
        b->log2 = nullptr;
        if (second && second != b && vmb_in_use(second))
            vmb_close(second, 0);
    } else if (!keep) {
        // A log closed on its own: its owner must not keep a link to the
        // slot, which may soon hold another buffer.
        for (VMB* o = g_vms->table; g_vms->highest && o <= g_vms->highest; ++o)
            if (o->type && o->log == b)
                o->log = nullptr;
    }
    if (!keep)
        std::memset(b, 0, sizeof *b);
    return result;
}

int vmb_delete(VMB* b) { return vmb_close(b, 0); }

int vmb_set_name(VMB* b, const char* name) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    char* copy = heap_copy(name);
    if (name && *name && !copy)
        return 0;
    std::free(b->name);
    b->name = copy;
    return 1;
}

const char* vmb_get_name(VMB* b, char* out) {
    Lock lk;
    if (!vmb_in_use(b)) {
        if (out)
            *out = 0;
        return out;
    }
    if (!out)
        return b->name;
    size_t n = b->name ? std::strlen(b->name) : 0;
    if (n > VM_NAME_MAX)
        n = VM_NAME_MAX;
    if (n)
        std::memcpy(out, b->name, n);
    out[n] = 0;
    return out;
}

uint32_t vmb_type(VMB* b) { return vmb_in_use(b) ? b->type : 0; }
int vmb_is_file(VMB* b) { return vmb_in_use(b) && (b->type & VMB_T_FILE); }
int vmb_is_type2(VMB* b) { return vmb_in_use(b) && (b->type & VMB_T_TEMP); }
int vmb_is_unnamed_file(VMB* b) { return vmb_is_file(b) && (!b->name || !*b->name); }
int vmb_is_file_or_named(VMB* b) {
    return vmb_is_file(b) || (vmb_is_type2(b) && b->name && *b->name);
}
int vmb_has_content(VMB* b) {
    return vmb_is_file(b) && (b->state || b->stream || b->page_id || b->dir_first || b->line_count);
}

int vmb_set_mode_bits(VMB* b, int mode) {
    Lock lk;
    if (!vmb_in_use(b))
        return 0;
    if (mode == 0)
        b->type = (b->type | VMB_T_TEMP) & ~VMB_T_FILE;
    else if (mode == 1)
        b->type = (b->type | VMB_T_FILE) & ~VMB_T_TEMP;
    return 1;
}

void vmb_set_client_data(VMB* b, void* data) {
    Lock lk;
    if (vmb_in_use(b))
        b->client_data = data;
}

void* vmb_get_client_data(VMB* b) {
    Lock lk;
    return vmb_in_use(b) ? b->client_data : nullptr;
}
