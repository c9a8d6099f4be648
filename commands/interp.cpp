// The interpreter host: titles, loading into the engine buffers, compile on
// demand, runs and their error reports.
#include "commands/interp.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "VmEngine/vm.h"
#include "commands/cmdtable.h"
#include "commands/progtitles.h"
#include "opsys/msgout.h"
#include "opsys/shell_outlets.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

struct StringRow {
    unsigned id;
    const char* text;
};
// Kept byte for byte equal to res/strings_interp.rc (a test compares them).
const StringRow kStrings[] = {
    {357, "Can't find program '%s'%e%b%w"},
    {380, "Insufficient memory to run program '%s'%a%e"},
    {383, "QW program '%s' not found, trying auto-compilation.%h%w"},
    {384, "QW program '%s' is older than %s and must be recompiled before it can be used.%h%w"},
    {385, "QW source file '%s' is newer than its executable file.\r\rRecompile it now y/n?"},
    {386, "QW Extension Language auto-compilation failed.\n\nSource file %s not found."},
    {387, "Auto compilation of '%s' failed%h%w%b"},
    {388, "Auto compilation of '%s' successful"},
    {1430, "ERROR: Couldn't create interpreter work buffers%a%w"},
    {1431, "ERROR: CEXE file corrupt%a%w"},
    {1432, "ERROR: CEXE file Version incorrect%a%w"},
    {1433, "ERROR: Read error loading program '%s'%a%w"},
    {1434, "ERROR: VM full in CEXE read_into_vm()%a%w"},
    {1435, "Interpreter Error: UNKNOWN while running program:\n%s\n\n"},
    {1436, "Interpreter Error: Divide by zero while running program:\n%s\n\n"},
    {1437, "Interpreter Error: Mod by zero while running program:\n%s\n\n"},
    {1438, "Interpreter Error: IP invalid while running program:\n%s\n\n"},
    {1439, "Interpreter Error: Stack broken while running program:\n%s\n\n"},
    {1440, "Interpreter Error: Invalid instruction while running program:\n%s\n\n"},
    {1441, "Interpreter Error: VM error while running program:\n%s\n\n"},
    {1442, "Interpreter Error: Data error while running program:\n%s\n"},
    {1443, "Interpreter Error: Nesting error while running program:\n%s\n\n"},
    {1444, "Interpreter Error: An Exception was raised while running program:\n%s\n\n"},
    {1445, "Interpreter Error: A C++ functions 'this' pointer is NULL or invalid while running program:\n%s\n\n"},
};

std::mutex g_hooks_mutex;
InterpHooks g_hooks;

std::string program_folder() {
    char buf[1024];
#ifdef _WIN32
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    if (n == 0 || n >= sizeof buf)
        return std::string();
    std::string p(buf, n);
    size_t s = p.find_last_of("\\/");
#else
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return std::string();
    std::string p(buf, size_t(n));
    size_t s = p.rfind('/');
#endif
    return s == std::string::npos ? std::string() : p.substr(0, s);
}

std::string program_file() {
    char buf[1024];
#ifdef _WIN32
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    return n && n < sizeof buf ? std::string(buf, n) : std::string();
#else
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
#endif
}

std::string join(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    char last = dir.back();
#ifdef _WIN32
    const char sep = '\\';
#else
    const char sep = '/';
#endif
    return (last == '/' || last == '\\') ? dir + name : dir + sep + name;
}

InterpPaths current_paths() {
    InterpHooks h = Interp_GetHooks();
    InterpPaths p;
    if (h.paths) {
        h.paths(p);
        return p;
    }
    std::string base = program_folder();
    p.macro_folder = join(base, "SOURCE");
#ifdef _WIN32
    p.compiler = join(base, "qw_comp4.exe");
#else
    p.compiler = join(base, "qw_comp4");
#endif
    p.include_path = p.macro_folder + ";" + join(base, "CONFIG");
    p.working_folder = p.macro_folder;
    p.editor_file = program_file();
    return p;
}

// Last-write time; false when the file does not exist.
bool file_time(const std::string& path, fs::file_time_type& t) {
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec))
        return false;
    t = fs::last_write_time(path, ec);
    return !ec;
}

bool iequals(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool ends_with_nocase(const std::string& s, const char* suffix) {
    size_t n = std::strlen(suffix);
    return s.size() >= n && iequals(s.substr(s.size() - n), suffix);
}

CInterpreterManager* g_manager = nullptr;
std::mutex g_manager_mutex;

uint32_t rd16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

} // namespace

std::string Interp_ProgramFolder() { return program_folder(); }

const char* Interp_StringText(unsigned id) {
    for (const StringRow& r : kStrings)
        if (r.id == id)
            return r.text;
    return nullptr;
}

void Interp_SetHooks(const InterpHooks* hooks) {
    std::lock_guard<std::mutex> lk(g_hooks_mutex);
    g_hooks = hooks ? *hooks : InterpHooks();
}

InterpHooks Interp_GetHooks() {
    std::lock_guard<std::mutex> lk(g_hooks_mutex);
    return g_hooks;
}

// ---- Titles ----------------------------------------------------------------

int ParseProgramTitle(const char* title, ProgramTitle& out) {
    out = ProgramTitle();
    std::string t(title ? title : "");
    if (t.size() > CEXE_TITLE_MAX)
        t.resize(CEXE_TITLE_MAX);
    // The param form: the name (may be in double quotes), a comma, "param="
    // in any case, the text.
    auto param_at = [&](size_t comma) {
        size_t q = comma + 1;
        while (q < t.size() && (t[q] == ' ' || t[q] == '\t'))
            ++q;
        return t.size() - q >= 6 && iequals(t.substr(q, 6), "param=") ? q + 6 : std::string::npos;
    };
    size_t lead = t.find_first_not_of(" \t");
    size_t name_end = 0; // where the search for the comma starts
    if (lead != std::string::npos && t[lead] == '"') {
        size_t close = t.find('"', lead + 1);
        if (close != std::string::npos) {
            name_end = close + 1;
            // A comma and "param=" inside the quotes vanish with them.
            std::string quoted = t.substr(lead + 1, close - lead - 1);
            size_t c = quoted.find(',');
            bool inner = false;
            for (; c != std::string::npos && !inner; c = quoted.find(',', c + 1)) {
                size_t q = c + 1;
                while (q < quoted.size() && (quoted[q] == ' ' || quoted[q] == '\t'))
                    ++q;
                inner = quoted.size() - q >= 6 && iequals(quoted.substr(q, 6), "param=");
            }
            if (inner && t.find(',', name_end) == std::string::npos)
                return -1;
        }
    }
    for (size_t comma = t.find(',', name_end); comma != std::string::npos; comma = t.find(',', comma + 1)) {
        size_t text = param_at(comma);
        if (text == std::string::npos)
            continue;
        std::string bare;
        for (char c : t.substr(0, comma))
            if (c != '"')
                bare += c;
        size_t b = bare.find_first_not_of(" \t"), e = bare.find_last_not_of(" \t");
        out.name = b == std::string::npos ? std::string() : bare.substr(b, e - b + 1);
        out.param_form = true;
        out.param = t.substr(text);
        return 0;
    }
    // The word form: blanks and tabs separate, double quotes keep blanks.
    std::vector<std::string> words;
    size_t i = 0;
    while (i < t.size()) {
        while (i < t.size() && (t[i] == ' ' || t[i] == '\t'))
            ++i;
        if (i >= t.size())
            break;
        std::string w;
        if (t[i] == '"') {
            size_t e = t.find('"', i + 1);
            if (e == std::string::npos)
                e = t.size();
            w = t.substr(i + 1, e - i - 1);
            i = e + 1;
        } else {
            while (i < t.size() && t[i] != ' ' && t[i] != '\t')
                w += t[i++];
        }
        words.push_back(w);
    }
    if (words.empty())
        return 0;
    out.name = words.front();
    for (size_t k = 1; k < words.size() && out.words.size() < CEXE_TITLE_WORDS; ++k)
        out.words.push_back(words[k]);
    return 0;
}

std::string Interp_ProgramFileName(const char* name, int kind) {
    std::string n(name ? name : "");
    if (ends_with_nocase(n, ".ces") || ends_with_nocase(n, ".cex"))
        return n;
    return n + ((kind & CEXE_KIND1) ? ".ces" : ".cex");
}

// ---- Compile on demand -----------------------------------------------------

int InterimRunCompiler(const char* command_line, const char* folder) {
#ifdef _WIN32
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    std::string cmd(command_line);
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        folder && *folder ? folder : nullptr, &si, &pi))
        return 0;
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 1;
#else
    pid_t pid = fork();
    if (pid < 0)
        return 0;
    if (pid == 0) {
        if (folder && *folder && chdir(folder) != 0)
            _exit(127);
        execl("/bin/sh", "sh", "-c", command_line, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return 1;
#endif
}

std::string Interp_CompilerCommandLine(const InterpPaths& p, const std::string& source,
                                       const std::string& program) {
    std::string map = source;
    size_t dot = map.find_last_of('.');
    size_t sep = map.find_last_of("\\/");
    if (dot != std::string::npos && (sep == std::string::npos || dot > sep))
        map.resize(dot);
    map += ".map";
    // A folder that ends in a backslash would escape the closing quote of its
    // item on a Windows command line.
    std::string include;
    size_t b = 0;
    for (;;) {
        size_t e = p.include_path.find(';', b);
        std::string dir = p.include_path.substr(b, e == std::string::npos ? std::string::npos : e - b);
        while (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/') && dir[dir.size() - 2] != ':')
            dir.pop_back();
        if (!dir.empty() && dir.back() == '\\')
            dir += '.';
        include += (b ? ";" : "") + dir;
        if (e == std::string::npos)
            break;
        b = e + 1;
    }
    return "\"" + p.compiler + "\" -s \"" + map + "\" -i \"" + include + "\" \"" + source + "\" -o \"" + program +
           "\"";
}

int CompileIfNeeded(const char* program_file, const char* source_name) {
    InterpPaths paths = current_paths();
    std::string prog(program_file ? program_file : "");
    std::string src_name(source_name ? source_name : "");
    std::string base = src_name;
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && base.find_first_of("\\/", dot) == std::string::npos)
        base.resize(dot);
    std::string source = join(paths.macro_folder, base + ".c");

    fs::file_time_type tp, te, ts;
    bool have_prog = file_time(prog, tp);
    bool compile = false;
    if (!have_prog) {
        MsgOut(QW_MSG_STATUS, Interp_StringText(IDS_INTERP_AUTOCOMPILE), prog.c_str());
        compile = true;
    } else if (!file_time(paths.editor_file, te)) {
        return CINE_NO_EDITOR;
    } else if (tp < te) {
        MsgOut(QW_MSG_STATUS, Interp_StringText(IDS_INTERP_OLDER), prog.c_str(), paths.editor_file.c_str());
        compile = true;
    }
    if (!compile) {
        if (paths.compiler.empty())
            return CINE_NO_COMPILER;
        if (!file_time(source, ts))
            return have_prog ? (tp < ts ? CINE_NO_COMPILER : CINE_UP_TO_DATE) : CINE_NO_COMPILER;
        if (!(tp < ts))
            return CINE_UP_TO_DATE;
        if (MsgOut(0x240010u, Interp_StringText(IDS_INTERP_SOURCE_NEWER), source.c_str()) != QW_IDYES)
            return CINE_DECLINED;
    }
    if (!IsAppThread()) {
        InterpHooks h = Interp_GetHooks();
        if (h.compile_in_thread)
            h.compile_in_thread(source.c_str());
        else
            MsgOut(QW_MSG_STATUS | QW_MSG_LOG, "KV: %s is not compiled off the UI thread", source.c_str());
        return CINE_FAILED;
    }
    if (!file_time(source, ts)) {
        MsgOut(QW_MSG_BOX | QW_MSG_LOG, Interp_StringText(IDS_INTERP_NO_SOURCE), source.c_str());
        return CINE_FAILED;
    }
    if (paths.compiler.empty())
        return CINE_NO_COMPILER;
    std::string cmd = Interp_CompilerCommandLine(paths, source, prog);
    InterpHooks h = Interp_GetHooks();
    int started = h.run_compiler ? h.run_compiler(cmd.c_str(), paths.working_folder.c_str())
                                 : InterimRunCompiler(cmd.c_str(), paths.working_folder.c_str());
    bool ok = started && file_time(prog, tp) && (!file_time(paths.editor_file, te) || !(tp < te));
    if (ok) {
        MsgOut(QW_MSG_STATUS | QW_MSG_OUTPUT, Interp_StringText(IDS_INTERP_COMPILE_OK), source.c_str());
        return CINE_COMPILED;
    }
    MsgOut(QW_MSG_STATUS | QW_MSG_OUTPUT | QW_MSG_BOX, Interp_StringText(IDS_INTERP_COMPILE_FAILED),
           source.c_str());
    return CINE_FAILED;
}

// ---- Manager ---------------------------------------------------------------

CInterpreterManager* CInterpreterManager::Instance(int mode) {
    std::lock_guard<std::mutex> lk(g_manager_mutex);
    if (mode == -1)
        return g_manager;
    if (mode == 0) {
        if (g_manager && g_manager->ActiveRuns() == 0) {
            delete g_manager;
            g_manager = nullptr;
        }
        return g_manager;
    }
    if (g_manager)
        return g_manager;
    auto* m = new CInterpreterManager();
    m->code_ = vmb_open(4, "InterpCode", 0);
    m->data_ = vmb_open(4, "InterpData", 0);
    if (!m->code_ || !m->data_) {
        MsgOut(QW_MSG_BOX | QW_MSG_LOG, Interp_StringText(IDS_INTERP_NO_BUFFERS));
        delete m;
        return nullptr;
    }
    g_manager = m;
    return m;
}

CInterpreterManager::~CInterpreterManager() {
    if (code_)
        vmb_close(code_, 0);
    if (data_)
        vmb_close(data_, 0);
}

int CInterpreterManager::ActiveRuns() {
    std::lock_guard<std::recursive_mutex> lk(cs_);
    return active_runs_;
}

std::vector<CInterpreterInstance*> CInterpreterManager::Programs() {
    std::lock_guard<std::recursive_mutex> lk(cs_);
    std::vector<CInterpreterInstance*> v;
    for (auto& p : programs_)
        v.push_back(p.get());
    return v;
}

CInterpreterInstance* CInterpreterManager::FindProgram(const char* file, int kind, bool move) {
    std::lock_guard<std::recursive_mutex> lk(cs_);
    std::string f(file ? file : "");
    for (size_t i = 0; i < programs_.size(); ++i) {
        CInterpreterInstance* p = programs_[i].get();
        if (!p->mark && p->kind == kind && iequals(p->file, f)) {
            if (move && i + 1 < programs_.size()) {
                auto keep = std::move(programs_[i]);
                programs_.erase(programs_.begin() + long(i));
                programs_.push_back(std::move(keep));
            }
            return p;
        }
    }
    return nullptr;
}

CInterpreterInstance* CInterpreterManager::AddProgramImage(const char* file, int kind, const uint8_t* image,
                                                           size_t size) {
    if (size < CEXE_HEADER_SIZE) {
        MsgOut(QW_MSG_BOX | QW_MSG_LOG, Interp_StringText(IDS_INTERP_READ_ERROR), file);
        return nullptr;
    }
    if (rd16(image) != CEXE_MAGIC) {
        MsgOut(QW_MSG_BOX | QW_MSG_LOG, Interp_StringText(IDS_INTERP_CORRUPT));
        return nullptr;
    }
    if (rd16(image + 6) != CEXE_VERSION) {
        MsgOut(QW_MSG_BOX | QW_MSG_LOG, Interp_StringText(IDS_INTERP_VERSION));
        return nullptr;
    }
    uint32_t code_size = rd16(image + 2), data_words = rd16(image + 4);
    if (size < CEXE_HEADER_SIZE + code_size + size_t(data_words) * 4) {
        MsgOut(QW_MSG_BOX | QW_MSG_LOG, Interp_StringText(IDS_INTERP_READ_ERROR), file);
        return nullptr;
    }
    // The machine addresses only the first data line.
    if (data_words > INTERP_DATA_WORDS_MAX) {
        MsgOut(QW_MSG_BOX | QW_MSG_LOG, Interp_StringText(IDS_INTERP_CORRUPT));
        MsgOut(QW_MSG_LOG, "KV: In LoadProgram() '%s' has %u data words, more than %u", file,
               unsigned(data_words), unsigned(INTERP_DATA_WORDS_MAX));
        return nullptr;
    }
    std::lock_guard<std::recursive_mutex> lk(cs_);
    auto prog = std::make_unique<CInterpreterInstance>();
    prog->file = file;
    prog->kind = kind;
    // Appends a block as lines of at most INTERP_LINE_MAX bytes; false when
    // the engine cannot take one (the lines appended so far are removed).
    auto append = [](VMB* b, const uint8_t* p, uint32_t n, uint32_t& first, uint32_t& count) {
        first = uint32_t(vm_last_ln(b)) + 1;
        count = 0;
        for (uint32_t off = 0; off < n; off += INTERP_LINE_MAX) {
            uint32_t len = std::min<uint32_t>(INTERP_LINE_MAX, n - off);
            // Each line is one record, so the machine reads it in place.
            VmGuard g;
            char* text = vm_insert_line(b, vm_last_ln(b), nullptr, int(len));
            if (text)
                std::memcpy(text, p + off, len);
            else {
                if (count)
                    vm_delete_lines(b, int(first), int(count), 0);
                return false;
            }
            ++count;
        }
        return true;
    };
    const uint8_t* code = image + CEXE_HEADER_SIZE;
    if (!append(code_, code, code_size, prog->code_start_ln, prog->num_code)) {
        MsgOut(QW_MSG_BOX | QW_MSG_LOG, Interp_StringText(IDS_INTERP_VM_FULL));
        return nullptr;
    }
    if (!append(data_, code + code_size, data_words * 4, prog->data_start_ln, prog->num_data)) {
        if (prog->num_code)
            vm_delete_lines(code_, int(prog->code_start_ln), int(prog->num_code), 0);
        MsgOut(QW_MSG_BOX | QW_MSG_LOG, Interp_StringText(IDS_INTERP_VM_FULL));
        return nullptr;
    }
    CInterpreterInstance* raw = prog.get();
    programs_.push_back(std::move(prog));
    return raw;
}

CInterpreterInstance* CInterpreterManager::LoadProgram(const char* name, int flag, int) {
    int kind = flag & CEXE_KIND1;
    std::string file = Interp_ProgramFileName(name, kind);
    if (CInterpreterInstance* p = FindProgram(file.c_str(), kind, true))
        return p;
    InterpPaths paths = current_paths();
    std::string path = join(paths.macro_folder, file);
    int c = CompileIfNeeded(path.c_str(), file.c_str());
    if (c < CINE_UP_TO_DATE)
        return nullptr;
    if (c == CINE_COMPILED)
        UnloadProgram(file.c_str(), kind);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (!(flag & CEXE_QUIET))
            MsgOut(QW_MSG_STATUS, Interp_StringText(IDS_INTERP_CANT_FIND), file.c_str());
        return nullptr;
    }
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CInterpreterInstance* p = AddProgramImage(file.c_str(), kind, image.data(), image.size());
    if (p)
        p->path = path;
    return p;
}

int CInterpreterManager::UnloadProgram(const char* name, int flag) {
    int kind = flag & CEXE_KIND1;
    std::string file = Interp_ProgramFileName(name, kind);
    std::lock_guard<std::recursive_mutex> lk(cs_);
    int marked = 0;
    for (auto& p : programs_)
        if (p->kind == kind && iequals(p->file, file)) {
            p->mark = 1;
            ++marked;
        }
    // Deleting lines moves the code of later programs, so it waits until no
    // run is reading the buffers.
    if (marked && active_runs_ == 0)
        purge_marked();
    return marked;
}

void CInterpreterManager::purge_marked() {
    for (size_t i = 0; i < programs_.size();) {
        CInterpreterInstance* p = programs_[i].get();
        if (!p->mark) {
            ++i;
            continue;
        }
        if (p->num_code)
            vm_delete_lines(code_, int(p->code_start_ln), int(p->num_code), 0);
        if (p->num_data)
            vm_delete_lines(data_, int(p->data_start_ln), int(p->num_data), 0);
        for (auto& q : programs_) {
            if (q.get() == p)
                continue;
            if (q->code_start_ln > p->code_start_ln)
                q->code_start_ln -= p->num_code;
            if (q->data_start_ln > p->data_start_ln)
                q->data_start_ln -= p->num_data;
        }
        programs_.erase(programs_.begin() + long(i));
    }
}

bool CInterpreterManager::BeginRun(CInterpreterInstance* prog) {
    std::lock_guard<std::recursive_mutex> lk(cs_);
    // The program may have been unloaded by another thread since it was
    // found: only a listed, unmarked one may run.
    for (auto& p : programs_)
        if (p.get() == prog && !prog->mark) {
            ++active_runs_;
            return true;
        }
    return false;
}

int CInterpreterManager::interpret(CInterpreterInstance* prog, int argc, const InterpValue* argv, char* why) {
    if (!BeginRun(prog)) {
        if (why)
            std::snprintf(why, 200, "the program was unloaded before it could run");
        return INTERP_VM_ERROR;
    }
    return RunStarted(prog, argc, argv, why);
}

int CInterpreterManager::RunStarted(CInterpreterInstance* prog, int argc, const InterpValue* argv, char* why) {
    InterpProgram view;
    {
        std::lock_guard<std::recursive_mutex> lk(cs_);
        view.code = code_;
        view.data = data_;
        view.code_start_ln = prog->code_start_ln;
        view.num_code = prog->num_code;
        view.data_start_ln = prog->data_start_ln;
        view.num_data = prog->num_data;
        view.running = &prog->running;
    }
    int code = interp_execute(view, argc, argv, prog->file.c_str(), why);
    std::lock_guard<std::recursive_mutex> lk(cs_);
    if (--active_runs_ == 0)
        purge_marked();
    return code;
}

// ---- Running ---------------------------------------------------------------

int CExe_Call(const char* name, int flag, int, int argc, const InterpValue* argv) {
    if (!name || !*name)
        return 0;
    CInterpreterManager* m = CInterpreterManager::Instance(1);
    if (!m)
        return 0;
    CInterpreterInstance* prog = m->LoadProgram(name, flag, 0);
    if (!prog)
        return 0;
    if (flag & CEXE_LOAD_ONLY)
        return 1;
    // Held from here to the run's end, so that no unload removes it between.
    if (!m->BeginRun(prog)) {
        prog = m->LoadProgram(name, flag, 0);
        if (!prog || !m->BeginRun(prog))
            return 0;
    }
    InterpHooks h = Interp_GetHooks();
    void* noted = nullptr;
    bool ui = IsAppThread();
    if (ui && h.before_run)
        noted = h.before_run();
    std::string file = prog->file;
    char why[200];
    int code = m->RunStarted(prog, argc, argv, why);
    if (code != INTERP_OK) {
        unsigned id = IDS_INTERP_ERROR_FIRST + unsigned(code >= 0 && code <= 10 ? code : 0);
        MsgOut(QW_MSG_SERIOUS | QW_MSG_BOX | QW_MSG_LOG, Interp_StringText(id), file.c_str());
        if (why[0])
            MsgOut(QW_MSG_LOG, "KV: In interpret() '%s': %s", file.c_str(), why);
    }
    if (ui && h.after_run)
        h.after_run(noted);
    if (flag & CEXE_UNLOAD)
        m->UnloadProgram(file.c_str(), flag);
    return code == INTERP_OK ? 1 : 0;
}

uint16_t Interp_RecordClass(const void* record) {
    if (!record)
        return IC_NONE;
    uint32_t tag;
    std::memcpy(&tag, record, 4);
    switch (tag) {
    case K_CMD_PARAMS_TAG: return IC_CMD_PARAMS;
    case KEY_REQUEST_TAG: return IC_KeyRequest;
    default: return IC_REQUEST;
    }
}

int CExe_ExecuteByName(const char* name, int flag, int id, int arg, void* view, void* record) {
    int32_t result = 1;
    InterpValue args[5] = {
        InterpValue::W(id),
        InterpValue::W(arg),
        InterpValue::Obj(view, IC_VIEW),
        InterpValue::Obj(record, Interp_RecordClass(record)),
        InterpValue::Mem(&result, sizeof result, true),
    };
    if (!CExe_Call(name, flag, 0, 5, args))
        return -1;
    return result;
}

int CExe_Execute(const char* title, int flag) {
    ProgramTitle t;
    if (ParseProgramTitle(title, t) != 0) {
        MsgOut(QW_MSG_BOX, "KV: In CExe_Execute(). Missing , in szProgTitle: %s", title);
        return 0;
    }
    if (t.param_form) {
        K_cmd_params rec;
        K_cmd_params_init(&rec, 7, 0, t.param.c_str(), 0, 0);
        int32_t result = 1;
        InterpValue args[5] = {InterpValue::W(0), InterpValue::W(0), InterpValue::W(0),
                               InterpValue::Obj(&rec, IC_CMD_PARAMS), InterpValue::Mem(&result, 4, true)};
        return CExe_Call(t.name.c_str(), flag, 0, 5, args);
    }
    std::vector<std::string> words = t.words; // writable copies for the run
    std::vector<InterpValue> args;
    for (std::string& w : words)
        args.push_back(InterpValue::Mem(w.data(), uint32_t(w.size() + 1), true));
    return CExe_Call(t.name.c_str(), flag, 0, int(args.size()), args.data());
}

void Interp_UnloadProgram(const char* name) {
    CInterpreterManager* m = CInterpreterManager::Instance(-1);
    if (!m)
        return;
    m->UnloadProgram(name, 0);
    m->UnloadProgram(name, CEXE_KIND1);
}

int Call_Attached_CexeEx(const char* title, int flag, int control_id, int event, void* dialog_engine,
                         void* record) {
    return CExe_ExecuteByName(title, flag, control_id, event, dialog_engine, record);
}

int Key_Translate(KeyTranslateRequest& req) {
    req.tag = KEY_REQUEST_TAG;
    return CExe_ExecuteByName("Key_Translate", CEXE_KIND1, 0, req.op, nullptr, &req);
}
