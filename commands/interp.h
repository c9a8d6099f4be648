#pragma once
// The interpreter host: program titles, the manager of loaded programs (code
// and data kept in the engine buffers "InterpCode" and "InterpData"),
// loading with compile on demand, running with error reports, and the
// dialog-event call.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "commands/interp_vm.h"

struct VMB;

// Run flags of CExe_* calls.
enum : int {
    CEXE_KIND1 = 1,       // a ".ces" program (else ".cex")
    CEXE_QUIET = 4,       // no message when the program file is missing
    CEXE_LOAD_ONLY = 16,  // load, do not run
    CEXE_UNLOAD = 32,     // unload after the run
};

// CompileIfNeeded results.
enum : int {
    CINE_NO_EDITOR = 1,
    CINE_FAILED = 2,
    CINE_UP_TO_DATE = 3,
    CINE_COMPILED = 4,
    CINE_NO_COMPILER = 5,
    CINE_DECLINED = 6,
};

// Compiled program file.
enum : uint32_t {
    CEXE_MAGIC = 0xF4E9,
    CEXE_VERSION = 300,
    CEXE_HEADER_SIZE = 10,
    CEXE_TITLE_MAX = 259,
    CEXE_TITLE_WORDS = 20,
};

// Strings of the host (also in res/strings_interp.rc). The compiler's file
// name, its output tab's title and the do-not-ask-again message of a compile
// off the UI thread are the shell's.
enum : unsigned {
    IDS_INTERP_CANT_FIND = 357,
    IDS_INTERP_NO_MEMORY = 380,
    IDS_INTERP_AUTOCOMPILE = 383,
    IDS_INTERP_OLDER = 384,
    IDS_INTERP_SOURCE_NEWER = 385,
    IDS_INTERP_NO_SOURCE = 386,
    IDS_INTERP_COMPILE_FAILED = 387,
    IDS_INTERP_COMPILE_OK = 388,
    IDS_INTERP_NO_BUFFERS = 1430,
    IDS_INTERP_CORRUPT = 1431,
    IDS_INTERP_VERSION = 1432,
    IDS_INTERP_READ_ERROR = 1433,
    IDS_INTERP_VM_FULL = 1434,
    IDS_INTERP_ERROR_FIRST = 1435, // + result code 0 to 10
};

// The text of one of the strings above (null for another identifier).
const char* Interp_StringText(unsigned id);

// ---- Program titles --------------------------------------------------------
struct ProgramTitle {
    std::string name;
    bool param_form = false;    // "name,param=text"
    std::string param;          // the text of the param form
    std::vector<std::string> words; // the words of the other form (at most 20)
};
// 0 on success; -1 when a "param=" title loses its comma once the name's
// quotes are removed (the caller reports it).
int ParseProgramTitle(const char* title, ProgramTitle& out);

// ---- Paths and the pieces the shell and the child-process runner fill ------
struct InterpPaths {
    std::string macro_folder;  // sources and compiled programs
    std::string compiler;      // full path of the compiler, empty when none
    std::string include_path;  // "folder;folder"
    std::string working_folder;
    std::string editor_file;   // the editor's own program file
};

struct InterpHooks {
    // Fills the paths; null: the program's folder with "SOURCE" and "CONFIG".
    void (*paths)(InterpPaths& out) = nullptr;
    // Runs the compiler's command line in the folder and waits for its end;
    // nonzero when it started. Null: the interim runner below.
    int (*run_compiler)(const char* command_line, const char* folder) = nullptr;
    // Around a run on the UI thread (the caret-blink state of the current
    // view); both may be null.
    void* (*before_run)() = nullptr;
    void (*after_run)(void* noted) = nullptr;
    // The do-not-ask-again message of a compile asked for on another thread.
    void (*compile_in_thread)(const char* source) = nullptr;
};
void Interp_SetHooks(const InterpHooks* hooks); // null restores the defaults
InterpHooks Interp_GetHooks();

// The folder of the running program file (no trailing separator).
std::string Interp_ProgramFolder();

// Interim stand-in for the child-process runner: runs the command line in
// the folder and waits for it (no output tab). Replaced through
// InterpHooks::run_compiler once the runner exists.
int InterimRunCompiler(const char* command_line, const char* folder);

// The compiler command line for a program file and its source.
std::string Interp_CompilerCommandLine(const InterpPaths& p, const std::string& source,
                                       const std::string& program);

// ---- Manager ---------------------------------------------------------------
class CInterpreterInstance {
public:
    std::string file;            // file name with extension
    std::string path;            // where it was loaded from
    uint32_t code_start_ln = 0;
    uint32_t num_code = 0;
    uint32_t data_start_ln = 0;
    uint32_t num_data = 0;
    std::atomic<uint8_t> running{0};
    int kind = 0;
    int mark = 0;

    void SetRunning(int flag) { running.store(uint8_t(flag)); }
};

class CInterpreterManager {
public:
    // 1 creates (null when the buffers cannot be made), 0 deletes, -1 returns it.
    static CInterpreterManager* Instance(int mode);

    CInterpreterInstance* FindProgram(const char* file, int kind, bool move);
    CInterpreterInstance* LoadProgram(const char* name, int flag, int reserved);
    // Marks the programs of that name and kind and removes them once no run
    // is active; the number marked.
    int UnloadProgram(const char* name, int flag);
    // Adds a program from its file image (header, code, data); null after
    // reporting what is wrong with it.
    CInterpreterInstance* AddProgramImage(const char* file, int kind, const uint8_t* image, size_t size);
    // Runs a loaded program; the result code.
    int interpret(CInterpreterInstance* prog, int argc, const InterpValue* argv, char* why);
    // interpret in two steps: BeginRun counts the run as active (false when
    // the program is no longer listed or is marked for unloading), and
    // RunStarted runs it and ends the count.
    bool BeginRun(CInterpreterInstance* prog);
    int RunStarted(CInterpreterInstance* prog, int argc, const InterpValue* argv, char* why);

    VMB* code_buffer() const { return code_; }
    VMB* data_buffer() const { return data_; }
    // The programs in most-recently-used order (a snapshot).
    std::vector<CInterpreterInstance*> Programs();
    int ActiveRuns();

private:
    CInterpreterManager() = default;
    ~CInterpreterManager();
    void purge_marked(); // under cs_, only while no run is active

    VMB* code_ = nullptr;
    VMB* data_ = nullptr;
    std::vector<std::unique_ptr<CInterpreterInstance>> programs_;
    std::recursive_mutex cs_;
    int active_runs_ = 0;
};

// "name" with the extension of the kind unless it already ends in ".ces" or ".cex".
std::string Interp_ProgramFileName(const char* name, int kind);

int CompileIfNeeded(const char* program_file, const char* source_name);

// ---- Running ---------------------------------------------------------------
// Loads (unless loaded) and, unless CEXE_LOAD_ONLY, runs; 1 on success, 0 on failure.
int CExe_Call(const char* name, int flag, int reserved, int argc, const InterpValue* argv);
// Five arguments: id, arg, view, record, address of the result word (1 before
// the run). -1 when the program could not be loaded or run, else the result word.
int CExe_ExecuteByName(const char* name, int flag, int id, int arg, void* view, void* record);
// The view layer's answer to the View_Call method of programs: (view, op,
// a, b). Installed by the editor; without one the method answers -1.
using InterpViewCallFn = int (*)(void* view, int op, int a, int b);
void Interp_SetViewCallHook(InterpViewCallFn fn);
// The rest of the view layer that programs reach: the current text view,
// and a menu of commands shown at the mouse pointer (the command chosen, 0
// none). Installed by the editor; null removes them.
struct InterpViewServices {
    void* (*current_view)() = nullptr;
    int (*popup_menu)(void* view, const char* items) = nullptr;
};
void Interp_SetViewServices(const InterpViewServices* services);
// A title of either form; the run's result (nonzero when the program ran).
int CExe_Execute(const char* title, int flag);
void Interp_UnloadProgram(const char* name);

// The class under which a record reaches a program, by its tag.
uint16_t Interp_RecordClass(const void* record);

// Dialog events: the attached program's answer to the event.
int Call_Attached_CexeEx(const char* title, int flag, int control_id, int event, void* dialog_engine,
                         void* record);

// ---- Key-translation request ("Key_Translate") ------------------------------
enum : uint32_t { KEY_REQUEST_TAG = 0x4B455931 };
struct KeyTranslateRequest {
    uint32_t tag = KEY_REQUEST_TAG;
    int op = 0;                    // 0 text to keys, 1 keys to text, 2/3 keyboard open
    const char* text = nullptr;    // op 0: the key text
    const uint8_t* keys = nullptr; // op 1: the keys
    int key_count = 0;
    uint8_t* keys_out = nullptr;   // op 0: at least 62 bytes
    int keys_max = 0;
    char* text_out = nullptr;      // op 1
    int text_max = 0;
    int result = 0;
};
// Runs "Key_Translate" with the request; its result word, -1 when it could not run.
int Key_Translate(KeyTranslateRequest& req);
