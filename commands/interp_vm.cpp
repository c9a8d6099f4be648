// The execution loop of macro programs. See interp_vm.h for the address
// model; the instruction encoding is the contract with the compiler in
// tools/qw_comp4 (its emitter names the same opcodes).
#include "commands/interp_vm.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <exception>

#include "VmEngine/vm.h"
#ifdef _WIN32
#include "opsys/setrans.h"
#endif

namespace {

thread_local int32_t t_arg_count = 0;
thread_local int t_depth = 0; // runs open on this thread
std::atomic<InterpPollFn> g_poll{nullptr};

enum Op : uint8_t {
    OP_INC_PUSH = 1, OP_DEC_PUSH, OP_PUSH_INC, OP_PUSH_DEC, OP_ADD3, OP_SUB3,
    OP_STORE, OP_ADDR, OP_LOAD,
    OP_PUSH = 12, OP_SHL2, OP_SHR2, OP_ADJSP,
    OP_JMP = 17, OP_JNZ,
    OP_JZPOP = 20, OP_CALLNATIVE, OP_CALLMETHOD, OP_CALL,
    OP_RET = 25, OP_LOADB, OP_LOADW, OP_STOREB, OP_STOREW,
    OP_INCB_PUSH, OP_DECB_PUSH, OP_INCW_PUSH, OP_DECW_PUSH,
    OP_PUSH_INCB, OP_PUSH_INCW, OP_PUSH_DECB, OP_PUSH_DECW,
    OP_LNOT, OP_COMPL, OP_NEG, OP_MUL, OP_DIV, OP_MOD, OP_ADD, OP_SUB,
    OP_SHL, OP_SHR, OP_LT, OP_GE, OP_GT, OP_LE, OP_EQ, OP_NE,
    OP_AND, OP_XOR, OP_OR, OP_NOP,
};

// Instruction lengths by opcode; 0 marks the invalid ones.
constexpr uint8_t kLength[64] = {
    0, 5, 5, 5, 5, 5, 5, 5, 5, 5, 0, 0, 5, 5, 5, 5, // 0-15
    0, 5, 5, 0, 6, 6, 6, 6, 0, 1, 1, 1, 1, 1, 1, 1, // 16-31
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 32-47
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, // 48-63
};

inline int32_t rd32(const uint8_t* p) {
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return int32_t(v);
}
inline int32_t ld(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void st32(uint8_t* p, int32_t v) { std::memcpy(p, &v, 4); }
inline int32_t wrap_add(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
inline int32_t wrap_sub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }
inline int32_t wrap_mul(int32_t a, int32_t b) { return int32_t(uint32_t(a) * uint32_t(b)); }

} // namespace

int32_t Interp_ArgCount() { return t_arg_count; }

void interp_set_poll(InterpPollFn fn) { g_poll.store(fn); }

class InterpRun {
public:
    InterpRun(const InterpProgram& p, const char* name, char* why)
        : prog_(p), name_(name ? name : ""), why_(why) {}
    ~InterpRun() { release(); }

    int run(int argc, const InterpValue* argv);

    // Region access, for the loop and for natives.
    uint8_t* resolve(uint32_t addr, uint32_t size, bool write) {
        uint32_t r = addr >> 24, off = addr & 0xFFFFFFu;
        if (r == 0 || r >= nregions_)
            return nullptr;
        const InterpRegion& g = regions_[r];
        if (g.cls != IC_MEMORY || (write && !g.writable) || off > g.size || g.size - off < size)
            return nullptr;
        return g.base + off;
    }
    // The readable bytes from addr to the end of its region.
    uint8_t* span(uint32_t addr, uint32_t* avail) {
        uint32_t r = addr >> 24, off = addr & 0xFFFFFFu;
        if (r == 0 || r >= nregions_ || regions_[r].cls != IC_MEMORY || off >= regions_[r].size)
            return nullptr;
        *avail = regions_[r].size - off;
        return regions_[r].base + off;
    }
    void* object(uint32_t addr, uint16_t cls) {
        uint32_t r = addr >> 24;
        if (r < INTERP_REGION_FIRST_FREE || r >= nregions_ || (addr & 0xFFFFFFu) != 0)
            return nullptr;
        return regions_[r].cls == cls ? regions_[r].base : nullptr;
    }
    int32_t add_region(void* p, uint32_t size, bool writable, uint16_t cls) {
        if (!p || size > 0xFFFFFFu)
            return 0;
        for (uint32_t r = INTERP_REGION_FIRST_FREE; r < nregions_; ++r) {
            InterpRegion& g = regions_[r];
            if (g.base == p && g.size == size && g.cls == cls) {
                g.writable = g.writable || writable;
                return int32_t(interp_addr(r, 0));
            }
        }
        if (nregions_ >= INTERP_MAX_REGIONS)
            return 0;
        regions_[nregions_] = {static_cast<uint8_t*>(p), size, cls, uint8_t(writable)};
        return int32_t(interp_addr(nregions_++, 0));
    }
    int32_t fail(int code, const char* why) {
        if (!error_) {
            error_ = code;
            if (why_ && why)
                std::snprintf(why_, 200, "%s", why);
        }
        return 0;
    }
    const char* name() const { return name_; }

private:
    struct InterpRegion {
        uint8_t* base;
        uint32_t size;
        uint16_t cls;
        uint8_t writable;
    };

    bool pin_line(uint32_t line) {
        text_ = reinterpret_cast<const uint8_t*>(vm_line_ptr(prog_.code, int(line), 2));
        if (!text_)
            return false;
        line_ = line;
        int n = vm_line_length(prog_.code, int(line));
        len_ = n > 0 ? uint32_t(n) : 0;
        return true;
    }
    void unpin_line() {
        if (text_)
            vm_line_ptr(prog_.code, int(line_), 3);
        text_ = nullptr;
    }
    void release() {
        unpin_line();
        if (data_pinned_)
            vm_line_ptr(prog_.data, int(prog_.data_start_ln), 3);
        data_pinned_ = false;
    }
    // Makes the line holding `pos` current, walking one line at a time.
    bool seek(uint32_t pos) {
        while (pos < first_) {
            uint32_t prev = line_ - 1;
            unpin_line();
            if (prev < prog_.code_start_ln || !pin_line(prev))
                return false;
            first_ -= len_;
        }
        while (pos - first_ >= len_) {
            uint32_t next = line_ + 1;
            uint32_t was = len_;
            unpin_line();
            if (next >= prog_.code_start_ln + prog_.num_code || !pin_line(next))
                return false;
            first_ += was;
        }
        return true;
    }
    // The bytes of an instruction that runs past the end of its line, joined
    // from the next line.
    bool gather(uint32_t rel, uint32_t n, uint8_t* out) {
        uint32_t have = len_ - rel;
        std::memcpy(out, text_ + rel, have);
        uint32_t next = line_ + 1;
        if (next >= prog_.code_start_ln + prog_.num_code)
            return false;
        VmGuard g;
        const char* t = vm_line_ptr(prog_.code, int(next), 0);
        int nlen = vm_line_length(prog_.code, int(next));
        if (!t || nlen < int(n - have))
            return false;
        std::memcpy(out + have, t, n - have);
        return true;
    }

    int loop(int argc, const int32_t* host);

    const InterpProgram& prog_;
    const char* name_;
    char* why_;
    const uint8_t* text_ = nullptr;
    uint32_t line_ = 0, len_ = 0, first_ = 0;
    bool data_pinned_ = false;
    int error_ = 0;
    uint32_t nregions_ = INTERP_REGION_FIRST_FREE;
    InterpRegion regions_[INTERP_MAX_REGIONS];
    int32_t stack_[INTERP_STACK_WORDS];
};

const char* InterpCall::str(int i) {
    uint32_t addr = uint32_t(a[i]);
    uint32_t avail = 0;
    uint8_t* p = run->span(addr, &avail);
    if (p && std::memchr(p, 0, avail))
        return reinterpret_cast<const char*>(p);
    char why[200];
    std::snprintf(why, sizeof why, "argument %d is not a text (address 0x%08x)", i + 1, unsigned(addr));
    run->fail(INTERP_DATA, why);
    return nullptr;
}

uint8_t* InterpCall::mem(int i, uint32_t size, bool write) {
    uint8_t* p = run->resolve(uint32_t(a[i]), size, write);
    if (!p) {
        char why[200];
        std::snprintf(why, sizeof why, "argument %d is not %u %s bytes (address 0x%08x)", i + 1,
                      unsigned(size), write ? "writable" : "readable", unsigned(a[i]));
        run->fail(INTERP_DATA, why);
    }
    return p;
}

void* InterpCall::object(int i, uint16_t cls) {
    void* p = run->object(uint32_t(a[i]), cls);
    if (!p) {
        char why[200];
        std::snprintf(why, sizeof why, "argument %d is not an object of class %d", i + 1, cls);
        run->fail(INTERP_DATA, why);
    }
    return p;
}

int32_t InterpCall::give(void* p, uint32_t size, bool writable) {
    return run->add_region(p, size, writable, IC_MEMORY);
}
int32_t InterpCall::give_object(void* p, uint16_t cls) { return run->add_region(p, 0, false, cls); }
int32_t InterpCall::fail(int code, const char* why) { return run->fail(code, why); }
const char* InterpCall::program_name() const { return run->name(); }

int InterpRun::run(int argc, const InterpValue* argv) {
    if (prog_.running)
        prog_.running->store(1);
    regions_[0] = {nullptr, 0, IC_NONE, 0};
    regions_[INTERP_REGION_STACK] = {reinterpret_cast<uint8_t*>(stack_), sizeof stack_, IC_MEMORY, 1};
    regions_[INTERP_REGION_DATA] = {nullptr, 0, IC_MEMORY, 1};
    int code = INTERP_VM_ERROR;
    if (argc < 0)
        argc = 0;
    if (argc > 255)
        argc = 255;
    int32_t host[255];
    for (int i = 0; i < argc; ++i) {
        const InterpValue& v = argv[i];
        host[i] = v.kind == InterpValue::Word ? v.word
                : v.kind == InterpValue::Memory ? add_region(v.ptr, v.size, v.writable, IC_MEMORY)
                                                : add_region(v.ptr, 0, false, v.cls);
    }
    if (prog_.num_code && pin_line(prog_.code_start_ln)) {
        first_ = 0;
        bool data_ok = true;
        if (prog_.num_data) {
            // Pinning fetches the line's page for writing, so what a run
            // stores in its data survives the page leaving the cache.
            char* d = vm_line_ptr(prog_.data, int(prog_.data_start_ln), 2);
            data_ok = d != nullptr;
            if (d) {
                data_pinned_ = true;
                int n = vm_line_length(prog_.data, int(prog_.data_start_ln));
                regions_[INTERP_REGION_DATA].base = reinterpret_cast<uint8_t*>(d);
                regions_[INTERP_REGION_DATA].size = n > 0 ? uint32_t(n) & ~3u : 0;
            }
        }
        if (data_ok) {
            try {
#ifdef _WIN32
                SETranslatorScope scope;
                try {
                    code = loop(argc, host);
                } catch (const se_translator::exception& e) {
                    char why[200];
                    std::snprintf(why, sizeof why, "%s", e.description());
                    fail(INTERP_EXCEPTION, why);
                    code = INTERP_EXCEPTION;
                }
#else
                code = loop(argc, host);
#endif
            } catch (const std::exception& e) {
                fail(INTERP_EXCEPTION, e.what());
                code = INTERP_EXCEPTION;
            } catch (...) {
                code = INTERP_EXCEPTION;
            }
        }
    }
    release();
    if (prog_.running)
        prog_.running->store(0);
    return code;
}

int InterpRun::loop(int argc, const int32_t* host) {
    int32_t* const st = stack_;
    st[0] = 0;
    st[1] = 4;
    st[2] = 0;
    st[3] = 4;
    int32_t sp = 4, fp = 4, sb = 4;
    uint32_t pos = 0;
    bool first_call = true;
    t_arg_count = 0;
    const InterpRegion& data = regions_[INTERP_REGION_DATA];
    int natives_n = 0, methods_n = 0;
    const InterpNativeEntry* natives = interp_natives(&natives_n);
    const InterpNativeEntry* methods = interp_methods(&methods_n);
    uint8_t joined[8];
    uint32_t jumps_left = INTERP_POLL_JUMPS;
// A jump to this instruction or before it counts towards the stop poll.
#define JUMP_TO(target)                                                              \
    {                                                                                \
        uint32_t to = (target);                                                      \
        if (to <= pos && --jumps_left == 0) {                                        \
            jumps_left = INTERP_POLL_JUMPS;                                          \
            InterpPollFn poll = g_poll.load();                                       \
            if (poll && !poll(name_)) {                                              \
                fail(INTERP_STOPPED, "stopped while running: a loop did not end");   \
                return INTERP_STOPPED;                                               \
            }                                                                        \
        }                                                                            \
        pos = to;                                                                    \
    }

// Checked memory access through an address word.
#define MEM(ptr, addr, width, write)                                                 \
    uint8_t* ptr = resolve(uint32_t(addr), width, write);                           \
    if (!ptr) {                                                                      \
        char why[200];                                                               \
        std::snprintf(why, sizeof why, "address 0x%08x outside its region at %u",    \
                      unsigned(addr), unsigned(pos));                                \
        fail(INTERP_DATA, why);                                                      \
        return INTERP_DATA;                                                          \
    }

    for (;;) {
        uint32_t rel = pos - first_;
        if (pos < first_ || rel >= len_) {
            if (!seek(pos))
                return INTERP_VM_ERROR;
            rel = pos - first_;
        }
        if (uint32_t(sp - 1) >= INTERP_STACK_LIMIT - 1)
            return INTERP_STACK;
        const uint8_t* ip = text_ + rel;
        uint8_t ob = ip[0];
        uint32_t op = ob & 0x3Fu;
        uint32_t ilen = kLength[op];
        if (!ilen)
            return INTERP_BAD_OPCODE;
        if (rel + ilen > len_) {
            if (!gather(rel, ilen, joined))
                return INTERP_VM_ERROR;
            ip = joined;
        }
        if (ob & 0x80) {
            sp = sb;
            if (uint32_t(sp - 1) >= INTERP_STACK_LIMIT - 1)
                return INTERP_STACK;
        }
        uint8_t* vp = nullptr; // the word V of opcodes 1 to 9
        int32_t k = 0;
        if (op <= OP_LOAD) {
            k = rd32(ip + 1);
            if (ob & 0x40) {
                uint32_t w = uint32_t(fp) + uint32_t(k);
                if (w >= INTERP_STACK_WORDS) {
                    fail(INTERP_DATA, "frame operand outside the stack area");
                    return INTERP_DATA;
                }
                vp = reinterpret_cast<uint8_t*>(st + w);
            } else {
                if (uint32_t(k) >= data.size / 4) {
                    fail(INTERP_DATA, "data operand outside the data space");
                    return INTERP_DATA;
                }
                vp = data.base + uint32_t(k) * 4;
            }
        }
        switch (op) {
        case OP_INC_PUSH: {
            int32_t v = wrap_add(ld(vp), 1);
            st32(vp, v);
            st[++sp] = v;
            break;
        }
        case OP_DEC_PUSH: {
            int32_t v = wrap_sub(ld(vp), 1);
            st32(vp, v);
            st[++sp] = v;
            break;
        }
        case OP_PUSH_INC: {
            int32_t v = ld(vp);
            st[++sp] = v;
            st32(vp, wrap_add(v, 1));
            break;
        }
        case OP_PUSH_DEC: {
            int32_t v = ld(vp);
            st[++sp] = v;
            st32(vp, wrap_sub(v, 1));
            break;
        }
        case OP_ADD3: st32(vp, wrap_add(ld(vp), 3)); break;
        case OP_SUB3: st32(vp, wrap_sub(ld(vp), 3)); break;
        case OP_STORE: st32(vp, st[sp]); break;
        case OP_ADDR:
            st[++sp] = (ob & 0x40) ? int32_t(interp_addr(INTERP_REGION_STACK,
                                                         uint32_t(reinterpret_cast<int32_t*>(vp) - st) * 4))
                                   : int32_t(interp_addr(INTERP_REGION_DATA, uint32_t(k) * 4));
            break;
        case OP_LOAD: st[++sp] = ld(vp); break;
        case OP_PUSH: st[++sp] = rd32(ip + 1); break;
        case OP_SHL2:
        case OP_SHR2: {
            uint32_t w = uint32_t(sp) + uint32_t(rd32(ip + 1));
            if (w >= INTERP_STACK_WORDS)
                return INTERP_STACK;
            st[w] = op == OP_SHL2 ? int32_t(uint32_t(st[w]) << 2) : int32_t(uint32_t(st[w]) >> 2);
            break;
        }
        case OP_ADJSP:
            sp = wrap_add(sp, rd32(ip + 1));
            sb = sp;
            break;
        case OP_JMP:
            JUMP_TO(uint32_t(rd32(ip + 1)));
            goto moved;
        case OP_JNZ:
            if (st[sp] != 0) {
                JUMP_TO(uint32_t(rd32(ip + 1)));
                goto moved;
            }
            break;
        case OP_JZPOP: {
            bool jump = st[sp] == 0;
            sp -= ip[5];
            if (jump) {
                JUMP_TO(uint32_t(rd32(ip + 1)));
                goto moved;
            }
            pos += 6;
            goto moved;
        }
        case OP_CALLNATIVE:
        case OP_CALLMETHOD: {
            int n = ip[5];
            uint32_t index = uint32_t(rd32(ip + 1));
            int32_t base = sp - n + 1; // the first argument
            if (base < 1 + (op == OP_CALLMETHOD))
                return INTERP_STACK;
            const InterpNativeEntry* e = nullptr;
            if (op == OP_CALLNATIVE && index < uint32_t(natives_n))
                e = natives + index;
            else if (op == OP_CALLMETHOD && index < uint32_t(methods_n))
                e = methods + index;
            if (!e || !e->fn) {
                char why[200];
                std::snprintf(why, sizeof why, "no editor function %u at %u", unsigned(index), unsigned(pos));
                fail(INTERP_BAD_OPCODE, why);
                return INTERP_BAD_OPCODE;
            }
            if (e->argc >= 0 && e->argc != n) {
                char why[200];
                std::snprintf(why, sizeof why, "%s takes %d arguments, the program passed %d", e->name,
                              e->argc, n);
                fail(INTERP_DATA, why);
                return INTERP_DATA;
            }
            int32_t args[INTERP_NATIVE_ARGS];
            for (int i = 0; i < int(INTERP_NATIVE_ARGS); ++i)
                args[i] = uint32_t(base + i) < INTERP_STACK_WORDS ? st[base + i] : 0;
            sp = base - 1;
            InterpCall call{this, args, n, nullptr};
            if (op == OP_CALLMETHOD) {
                int32_t obj = st[sp--];
                if (obj == 0)
                    return INTERP_NULL_THIS;
                call.self = object(uint32_t(obj), e->cls);
                if (!call.self) {
                    char why[200];
                    std::snprintf(why, sizeof why, "%s called on 0x%08x, which is no object of its class",
                                  e->name, unsigned(obj));
                    fail(INTERP_NULL_THIS, why);
                    return INTERP_NULL_THIS;
                }
            }
            int32_t r = e->fn(call);
            if (error_)
                return error_;
            st[++sp] = r;
            pos += 6;
            goto moved;
        }
        case OP_CALL: {
            int n = ip[5];
            if (first_call) {
                first_call = false;
                n = argc;
                if (uint32_t(sp + argc) >= INTERP_STACK_WORDS - 5)
                    return INTERP_STACK;
                for (int i = 0; i < argc; ++i)
                    st[sp + i] = host[i];
                if (argc)
                    sp += argc - 1;
            }
            int32_t s = sp;
            if (uint32_t(s) + 5 >= INTERP_STACK_WORDS)
                return INTERP_STACK;
            st[s + 1] = int32_t(pos + 6);
            st[s + 2] = fp;
            st[s + 3] = n;
            st[s + 4] = sb;
            sp = fp = sb = s + 5;
            t_arg_count = n;
            pos = uint32_t(rd32(ip + 1));
            goto moved;
        }
        case OP_RET: {
            int32_t r = st[sp];
            if (fp < 4 || uint32_t(fp) > INTERP_STACK_WORDS)
                return INTERP_STACK;
            int32_t n = st[fp - 2];
            int32_t nsp = wrap_sub(wrap_sub(fp, 4), n);
            if (uint32_t(nsp) >= INTERP_STACK_WORDS)
                return INTERP_STACK;
            pos = uint32_t(st[fp - 4]);
            sb = st[fp - 1];
            fp = st[fp - 3];
            sp = nsp;
            st[sp] = r;
            goto moved;
        }
        case OP_LOADB: {
            MEM(p, st[sp], 1, false);
            st[sp] = *p;
            break;
        }
        case OP_LOADW: {
            MEM(p, st[sp], 4, false);
            st[sp] = ld(p);
            break;
        }
        case OP_STOREB: {
            MEM(p, st[sp - 1], 1, true);
            *p = uint8_t(st[sp]);
            st[sp - 1] = st[sp];
            --sp;
            break;
        }
        case OP_STOREW: {
            MEM(p, st[sp - 1], 4, true);
            st32(p, st[sp]);
            st[sp - 1] = st[sp];
            --sp;
            break;
        }
        case OP_INCB_PUSH:
        case OP_DECB_PUSH: {
            MEM(p, st[sp], 1, true);
            *p = uint8_t(*p + (op == OP_INCB_PUSH ? 1 : -1));
            st[++sp] = *p;
            break;
        }
        case OP_INCW_PUSH:
        case OP_DECW_PUSH: {
            MEM(p, st[sp], 4, true);
            int32_t v = op == OP_INCW_PUSH ? wrap_add(ld(p), 1) : wrap_sub(ld(p), 1);
            st32(p, v);
            st[++sp] = v;
            break;
        }
        case OP_PUSH_INCB:
        case OP_PUSH_DECB: {
            MEM(p, st[sp], 1, true);
            uint8_t v = *p;
            st[++sp] = v;
            *p = uint8_t(v + (op == OP_PUSH_INCB ? 1 : -1));
            break;
        }
        case OP_PUSH_INCW:
        case OP_PUSH_DECW: {
            MEM(p, st[sp], 4, true);
            int32_t v = ld(p);
            st[++sp] = v;
            st32(p, op == OP_PUSH_INCW ? wrap_add(v, 1) : wrap_sub(v, 1));
            break;
        }
        case OP_LNOT: st[sp] = st[sp] == 0; break;
        case OP_COMPL: st[sp] = ~st[sp]; break;
        case OP_NEG: st[sp] = wrap_sub(0, st[sp]); break;
        case OP_MUL: st[sp - 1] = wrap_mul(st[sp - 1], st[sp]); --sp; break;
        case OP_DIV:
        case OP_MOD: {
            int32_t b = st[sp], a = st[sp - 1];
            if (b == 0)
                return op == OP_DIV ? INTERP_DIV_ZERO : INTERP_MOD_ZERO;
            if (a == INT32_MIN && b == -1) {
                // The processor faults on this quotient; it ends the run as
                // the fault would, without raising one.
                fail(INTERP_EXCEPTION, "integer overflow in a division");
                return INTERP_EXCEPTION;
            }
            st[sp - 1] = op == OP_DIV ? a / b : a % b;
            --sp;
            break;
        }
        case OP_ADD: st[sp - 1] = wrap_add(st[sp - 1], st[sp]); --sp; break;
        case OP_SUB: st[sp - 1] = wrap_sub(st[sp - 1], st[sp]); --sp; break;
        case OP_SHL: st[sp - 1] = int32_t(uint32_t(st[sp - 1]) << (st[sp] & 31)); --sp; break;
        case OP_SHR: st[sp - 1] = st[sp - 1] >> (st[sp] & 31); --sp; break;
        case OP_LT: st[sp - 1] = st[sp - 1] < st[sp]; --sp; break;
        case OP_GE: st[sp - 1] = st[sp - 1] >= st[sp]; --sp; break;
        case OP_GT: st[sp - 1] = st[sp - 1] > st[sp]; --sp; break;
        case OP_LE: st[sp - 1] = st[sp - 1] <= st[sp]; --sp; break;
        case OP_EQ: st[sp - 1] = st[sp - 1] == st[sp]; --sp; break;
        case OP_NE: st[sp - 1] = st[sp - 1] != st[sp]; --sp; break;
        case OP_AND: st[sp - 1] &= st[sp]; --sp; break;
        case OP_XOR: st[sp - 1] ^= st[sp]; --sp; break;
        case OP_OR: st[sp - 1] |= st[sp]; --sp; break;
        case OP_NOP: break;
        default: return INTERP_BAD_OPCODE;
        }
        pos += ilen;
    moved:
        if (pos == 0)
            return INTERP_OK;
    }
#undef MEM
#undef JUMP_TO
}

int interp_execute(const InterpProgram& prog, int argc, const InterpValue* argv, const char* name,
                   char* why) {
    if (why)
        why[0] = '\0';
    // A program that runs programs (itself, say) nests runs on this thread's
    // stack; past the limit the run is refused before it takes its stack area.
    if (t_depth >= int(INTERP_NEST_MAX)) {
        if (why)
            std::snprintf(why, 200, "more than %d runs nested on one thread", int(INTERP_NEST_MAX));
        return INTERP_NESTING;
    }
    ++t_depth;
    int code;
    {
        InterpRun run(prog, name, why);
        code = run.run(argc, argv);
    }
    --t_depth;
    return code;
}
