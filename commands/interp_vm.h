#pragma once
// The macro-program machine: a stack machine of 32-bit words that runs the
// code a loaded program keeps in the code buffer, with a stack area of its
// own for every run.
//
// Address words. A program's words are 32 bits on every build, so an
// address word never holds a machine pointer: its top byte names a region
// of the run and its low 24 bits are a byte offset into it.
//   region 0            no region (the word 0 is the null address)
//   region 1            the program's data space
//   region 2            the run's stack area
//   regions 3 to 255    memory and objects the host handed to the run
//                       (arguments, records) or a native handed out
// Every access through an address word is checked against its region; an
// access outside it ends the run with INTERP_DATA. Objects (views, records
// that only natives read) are regions of size 0 with a class: programs pass
// them on, natives and methods take them by class.
#include <atomic>
#include <cstdint>

struct VMB;

enum InterpResult : int {
    INTERP_OK = 0,
    INTERP_DIV_ZERO = 1,
    INTERP_MOD_ZERO = 2,
    INTERP_IP_INVALID = 3,   // kept for the host's message table
    INTERP_STACK = 4,        // stack pointer outside the area
    INTERP_BAD_OPCODE = 5,
    INTERP_VM_ERROR = 6,     // position outside the code, or no code text
    INTERP_DATA = 7,         // address outside its region, bad native arguments
    INTERP_NESTING = 8,      // runs nested deeper than INTERP_NEST_MAX on one thread
    INTERP_EXCEPTION = 9,
    INTERP_NULL_THIS = 10,   // method called on object 0 or on a wrong object
    INTERP_STOPPED = 11,     // the stop poll asked a long-running program to end
};

enum : uint32_t {
    INTERP_STACK_WORDS = 8192,
    INTERP_STACK_LIMIT = 8132, // a stack pointer here or beyond is broken
    INTERP_LINE_MAX = 4077,    // bytes of one code or data line
    INTERP_DATA_WORDS_MAX = INTERP_LINE_MAX / 4,
    INTERP_MAX_REGIONS = 256,
    INTERP_REGION_DATA = 1,
    INTERP_REGION_STACK = 2,
    INTERP_REGION_FIRST_FREE = 3,
    INTERP_NATIVE_ARGS = 14,   // argument words every native receives
    INTERP_NEST_MAX = 8,       // runs open at once on one thread (each holds its stack area)
};

inline constexpr uint32_t interp_addr(uint32_t region, uint32_t offset) {
    return region << 24 | (offset & 0xFFFFFFu);
}

// Classes of the regions; memory is plain bytes, the others are objects.
enum InterpClass : uint16_t {
    IC_NONE = 0,
    IC_MEMORY = 1,
    IC_VIEW = 2,        // the view (or dialog engine) a program runs on
    IC_CMD_PARAMS = 3,  // a command record (K_cmd_params)
    IC_CmdParams = IC_CMD_PARAMS,
    IC_REQUEST = 4,     // a request record tagged 0x5F1967EA
    IC_KeyRequest = 5,  // a key-translation request (KeyTranslateRequest)
};

// One argument word that the host hands to a run: a plain word, or memory
// or an object that the run registers as a region (the program receives its
// address word).
struct InterpValue {
    enum Kind : uint8_t { Word, Memory, Object };
    Kind kind = Word;
    uint8_t writable = 0;
    uint16_t cls = IC_NONE;
    int32_t word = 0;
    void* ptr = nullptr;
    uint32_t size = 0;

    static InterpValue W(int32_t w) {
        InterpValue v;
        v.word = w;
        return v;
    }
    static InterpValue Mem(void* p, uint32_t size, bool writable) {
        InterpValue v;
        v.kind = p ? Memory : Word;
        v.ptr = p;
        v.size = size;
        v.writable = writable;
        v.cls = IC_MEMORY;
        return v;
    }
    static InterpValue Obj(void* p, uint16_t cls) {
        InterpValue v;
        v.kind = p ? Object : Word;
        v.ptr = p;
        v.cls = cls;
        return v;
    }
};

// A loaded program as the machine reads it: the lines of its code and data
// in the two buffers, and its running flag.
struct InterpProgram {
    VMB* code = nullptr;
    VMB* data = nullptr;
    uint32_t code_start_ln = 0;
    uint32_t num_code = 0;
    uint32_t data_start_ln = 0;
    uint32_t num_data = 0;
    std::atomic<uint8_t>* running = nullptr; // may be null
};

class InterpRun;

// What a native or method sees of its call. Every accessor checks the word
// against the run's regions; a failed check records INTERP_DATA (with the
// reason for the log) and returns null, and the run ends after the call.
struct InterpCall {
    InterpRun* run;
    const int32_t* a; // INTERP_NATIVE_ARGS words (a native) or n words (a method)
    int n;            // words the program passed
    void* self;       // a method's object

    // A text that ends within its region, or null.
    const char* str(int i);
    // `size` bytes at the address in argument i (writable ones when write).
    uint8_t* mem(int i, uint32_t size, bool write);
    // The object in argument i, of class cls.
    void* object(int i, uint16_t cls);
    // Registers memory for the rest of the run; its address word (0 on a
    // null pointer or when the region table is full).
    int32_t give(void* p, uint32_t size, bool writable);
    int32_t give_object(void* p, uint16_t cls);
    // Ends the run with `code` after this call; returns 0 for the native to return.
    int32_t fail(int code, const char* why);
    const char* program_name() const;
};

using InterpNativeFn = int32_t (*)(InterpCall& call);

struct InterpNativeEntry {
    const char* name;
    int argc;
    uint16_t cls;       // methods: the object's class; natives: IC_NONE
    InterpNativeFn fn;
};

// The tables (interp_natives.cpp), in the order of interp_natives.inc.
const InterpNativeEntry* interp_natives(int* count);
const InterpNativeEntry* interp_methods(int* count);

// Runs the program to its end on the calling thread; the result code. The
// host words become the first OP_CALL's arguments (at most 255). `why`
// (may be null, 200 bytes) receives a detail for the log on a data error.
int interp_execute(const InterpProgram& prog, int argc, const InterpValue* argv,
                   const char* name, char* why);

// A runaway program (a loop that never ends) is stopped through a poll: every
// INTERP_POLL_JUMPS backward jumps a run asks it, with the program's name,
// whether to go on; false ends the run with INTERP_STOPPED. Null (the
// default): runs are never stopped.
enum : uint32_t { INTERP_POLL_JUMPS = 1u << 20 };
using InterpPollFn = bool (*)(const char* program);
void interp_set_poll(InterpPollFn fn);

// The argument count of the latest OP_CALL on this thread.
int32_t Interp_ArgCount();
