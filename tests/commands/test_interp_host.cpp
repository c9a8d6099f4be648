// The interpreter host: titles, loading with its header checks, compile on
// demand, unloading (deferred while a run is active), run error reports,
// programs on worker threads and the key-translation services.
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "VmEngine/vm.h"
#include "commands/interp_keys.h"
#include "commands/interp_thread.h"
#include "opsys/format.h"
#include "tests/commands/interp_test_support.h"

using namespace itest;
namespace fs = std::filesystem;

namespace {

class InterpHost : public InterpTest {
protected:
    // Sets a file's time `seconds` after the stand-in editor's.
    void Age(const std::string& path, int seconds) {
        fs::last_write_time(path, fs::last_write_time(editor_) + std::chrono::seconds(seconds));
    }
    // A program whose run adds 1 to data word 0 and stores it into the result word.
    static std::string CounterImage() {
        Asm a = Asm::Main();
        a.op5(LOAD | F, -5).op5(INC_PUSH, 0).op(STOREW).op(RET);
        return a.Image({0});
    }
    std::string Formatted(unsigned id, const char* arg) {
        char buf[600];
        format_strf(buf, sizeof buf, Interp_StringText(id), arg);
        return buf;
    }
};

TEST_F(InterpHost, TitleForms) {
    ProgramTitle t;
    ASSERT_EQ(ParseProgramTitle("Qw_TextSel,param=x", t), 0);
    EXPECT_TRUE(t.param_form);
    EXPECT_EQ(t.name, "Qw_TextSel");
    EXPECT_EQ(t.param, "x");
    ASSERT_EQ(ParseProgramTitle("\"My Prog\",PARAM=a b", t), 0);
    EXPECT_EQ(t.name, "My Prog");
    EXPECT_EQ(t.param, "a b");
    ASSERT_EQ(ParseProgramTitle("prog one\t\"two words\"  three", t), 0);
    EXPECT_FALSE(t.param_form);
    EXPECT_EQ(t.name, "prog");
    EXPECT_EQ(t.words, (std::vector<std::string>{"one", "two words", "three"}));
    std::string many = "p";
    for (int i = 0; i < 25; ++i)
        many += " w" + std::to_string(i);
    ASSERT_EQ(ParseProgramTitle(many.c_str(), t), 0);
    EXPECT_EQ(t.words.size(), 20u);
    EXPECT_EQ(t.words.back(), "w19");

    // The comma inside the quotes goes with them: the title is refused.
    EXPECT_EQ(ParseProgramTitle("\"Qw_TextSel,param=x\"", t), -1);
    Boxes().clear();
    EXPECT_EQ(CExe_Execute("\"Qw_TextSel,param=x\"", 1), 0);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], "KV: In CExe_Execute(). Missing , in szProgTitle: \"Qw_TextSel,param=x\"");

    EXPECT_EQ(Interp_ProgramFileName("qw_start.ces", 1), "qw_start.ces");
    EXPECT_EQ(Interp_ProgramFileName("Key.CEX", 1), "Key.CEX");
    EXPECT_EQ(Interp_ProgramFileName("undo", 1), "undo.ces");
    EXPECT_EQ(Interp_ProgramFileName("undo", 0), "undo.cex");
}

TEST_F(InterpHost, DamagedProgramFilesAreRefused) {
    std::string good = CounterImage();
    std::string bad_magic = good;
    bad_magic[0] = 0;
    std::string short_code = good.substr(0, good.size() - 6);
    Asm big;
    struct Case {
        const char* what;
        std::string image;
        std::string message;
    } cases[] = {
        {"short header", good.substr(0, 5), Formatted(IDS_INTERP_READ_ERROR, "bad.cex")},
        {"wrong magic", bad_magic, Formatted(IDS_INTERP_CORRUPT, "")},
        {"wrong version", Asm::Main().Image({}, 299), Formatted(IDS_INTERP_VERSION, "")},
        {"truncated", short_code, Formatted(IDS_INTERP_READ_ERROR, "bad.cex")},
        {"data beyond one line", big.op(RET).Image(std::vector<int32_t>(1020, 0)), Formatted(IDS_INTERP_CORRUPT, "")},
    };
    for (auto& c : cases) {
        Boxes().clear();
        EXPECT_EQ(Load("bad.cex", c.image), nullptr) << c.what;
        ASSERT_FALSE(Boxes().empty()) << c.what;
        EXPECT_EQ(Boxes()[0], c.message) << c.what;
    }
    EXPECT_TRUE(Manager()->Programs().empty());
    EXPECT_EQ(vm_last_ln(Manager()->code_buffer()), 0);
}

TEST_F(InterpHost, RunErrorsAreReportedWithTheProgramName) {
    Asm a = Asm::Main();
    a.op5(PUSH, 1).op5(PUSH, 0).op(DIV).op(RET);
    qwtest::WriteFileBytes(tmp_.file("divide.ces"), a.Image());
    Age(tmp_.file("divide.ces"), 10);
    EXPECT_EQ(CExe_ExecuteByName("divide", CEXE_KIND1, 1, 0, nullptr, nullptr), -1);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], "Interpreter Error: Divide by zero while running program:\ndivide.ces\n\n");
    // The editor goes on: the program stays loaded and another runs.
    qwtest::WriteFileBytes(tmp_.file("count.ces"), CounterImage());
    Age(tmp_.file("count.ces"), 10);
    EXPECT_EQ(CExe_ExecuteByName("count", CEXE_KIND1, 1, 0, nullptr, nullptr), 1);
}

// A loop that never ends is stopped through the poll, reported with the
// program's name, and the editor goes on.
TEST_F(InterpHost, RunawayProgramIsStopped) {
    Asm loop = Asm::Main();
    loop.op5(JMP, 11);
    qwtest::WriteFileBytes(tmp_.file("runaway.ces"), loop.Image());
    Age(tmp_.file("runaway.ces"), 10);
    static std::atomic<int> polls{0};
    polls = 0;
    interp_set_poll([](const char* name) {
        ++polls;
        return std::string(name) != "runaway.ces";
    });
    EXPECT_EQ(CExe_ExecuteByName("runaway", CEXE_KIND1, 0, 0, nullptr, nullptr), -1);
    interp_set_poll(nullptr);
    EXPECT_EQ(polls.load(), 1);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], "Interpreter Error: UNKNOWN while running program:\nrunaway.ces\n\n");
    qwtest::WriteFileBytes(tmp_.file("count.ces"), CounterImage());
    Age(tmp_.file("count.ces"), 10);
    EXPECT_EQ(CExe_ExecuteByName("count", CEXE_KIND1, 0, 0, nullptr, nullptr), 1);
}

TEST_F(InterpHost, MissingProgram) {
    // A missing program is compiled on demand; without its source that fails
    // with the source's name, and the call answers -1.
    EXPECT_EQ(CExe_ExecuteByName("nothere", CEXE_KIND1, 0, 0, nullptr, nullptr), -1);
    ASSERT_EQ(Status().size(), 1u);
    EXPECT_EQ(Status()[0], Formatted(IDS_INTERP_AUTOCOMPILE, tmp_.file("nothere.ces").c_str()));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], Formatted(IDS_INTERP_NO_SOURCE, tmp_.file("nothere.c").c_str()));
    EXPECT_EQ(CExe_Execute("nothere a b", 0), 0);
    EXPECT_TRUE(Manager()->Programs().empty());
}

TEST_F(InterpHost, LoadsOnceAndDataPersistsAcrossRuns) {
    qwtest::WriteFileBytes(tmp_.file("count.ces"), CounterImage());
    Age(tmp_.file("count.ces"), 10);
    EXPECT_EQ(CExe_ExecuteByName("count", CEXE_KIND1, 0, 0, nullptr, nullptr), 1);
    EXPECT_EQ(CExe_ExecuteByName("count", CEXE_KIND1, 0, 0, nullptr, nullptr), 2);
    EXPECT_EQ(CExe_ExecuteByName("COUNT.ces", CEXE_KIND1, 0, 0, nullptr, nullptr), 3);
    EXPECT_EQ(Manager()->Programs().size(), 1u);
    // The other kind is another program (and has no file here).
    EXPECT_EQ(CExe_ExecuteByName("count", CEXE_QUIET, 0, 0, nullptr, nullptr), -1);
    // Unloading after the run starts the count afresh.
    EXPECT_EQ(CExe_ExecuteByName("count", CEXE_KIND1 | CEXE_UNLOAD, 0, 0, nullptr, nullptr), 4);
    EXPECT_EQ(CExe_ExecuteByName("count", CEXE_KIND1, 0, 0, nullptr, nullptr), 1);
}

TEST_F(InterpHost, UnloadMovesLaterPrograms) {
    Asm filler = Asm::Main();
    while (filler.pos() < 9000)
        filler.op(NOP);
    filler.op(RET);
    CInterpreterInstance* first = Load("first.cex", filler.Image(std::vector<int32_t>(10, 7)));
    CInterpreterInstance* second = Load("second.cex", CounterImage());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(second->code_start_ln, 4u);
    EXPECT_EQ(second->data_start_ln, 2u);
    EXPECT_EQ(Manager()->UnloadProgram("first", 0), 1);
    EXPECT_EQ(Manager()->Programs().size(), 1u);
    EXPECT_EQ(second->code_start_ln, 1u);
    EXPECT_EQ(second->data_start_ln, 1u);
    EXPECT_EQ(vm_last_ln(Manager()->code_buffer()), 1);
    int32_t result = 0;
    InterpValue arg[5] = {InterpValue::W(0), InterpValue::W(0), InterpValue::W(0), InterpValue::W(0),
                          InterpValue::Mem(&result, 4, true)};
    char why[200];
    EXPECT_EQ(Manager()->interpret(second, 5, arg, why), INTERP_OK);
    EXPECT_EQ(result, 1);
    // A program found before another thread unloaded it does not run.
    EXPECT_EQ(Manager()->UnloadProgram("second", 0), 1);
    EXPECT_EQ(Manager()->interpret(second, 5, arg, why), INTERP_VM_ERROR);
}

// A run on another thread spins until its data word 0 is set; while it runs,
// unloading an earlier program (whose removal would move its code) waits.
TEST_F(InterpHost, UnloadWaitsForActiveRuns) {
    CInterpreterInstance* before = Load("before.cex", CounterImage());
    Asm spin = Asm::Main();
    size_t top = spin.pos();
    spin.op5(LOAD | RESET, 0);
    spin.op6(JZPOP, int32_t(top), 1);
    spin.op5(LOAD | F, -5).op5(PUSH, 77).op(STOREW).op(RET);
    CInterpreterInstance* spinner = Load("spin.cex", spin.Image({0}));
    ASSERT_TRUE(before && spinner);
    int32_t result = 0;
    int code = -1;
    std::thread worker([&] {
        InterpValue arg = InterpValue::Mem(&result, 4, true);
        char why[200];
        code = Manager()->interpret(spinner, 1, &arg, why);
    });
    while (spinner->running.load() == 0 || Manager()->ActiveRuns() == 0)
        std::this_thread::yield();
    EXPECT_EQ(Manager()->UnloadProgram("before", 0), 1);
    EXPECT_EQ(Manager()->Programs().size(), 2u) << "removal waits for the run";
    EXPECT_EQ(Manager()->FindProgram("before.cex", 0, false), nullptr) << "marked programs are not found";
    EXPECT_EQ(spinner->code_start_ln, 2u);
    // Loading while it runs appends behind it and moves nothing.
    Asm big = Asm::Main();
    while (big.pos() < 9000)
        big.op(NOP);
    big.op(RET);
    ASSERT_NE(Load("later.cex", big.Image(std::vector<int32_t>(900, 3))), nullptr);
    // Release the spinner through its pinned data line.
    {
        VmGuard g;
        char* data = vm_line_ptr(Manager()->data_buffer(), int(spinner->data_start_ln), 0);
        ASSERT_NE(data, nullptr);
        int32_t one = 1;
        std::memcpy(data, &one, 4);
    }
    worker.join();
    EXPECT_EQ(code, INTERP_OK);
    EXPECT_EQ(result, 77);
    EXPECT_EQ(Manager()->Programs().size(), 2u);
    EXPECT_EQ(spinner->code_start_ln, 1u);
}

class InterpSmallCache : public InterpHost {
protected:
    uint32_t CacheBytes() const override { return 60 * 4096; }
};

// The data page a run changed is written out when it leaves the cache.
TEST_F(InterpSmallCache, DataChangesSurviveEviction) {
    CInterpreterInstance* p = Load("count.cex", CounterImage());
    ASSERT_NE(p, nullptr);
    int32_t result = 0;
    InterpValue arg = InterpValue::Mem(&result, 4, true);
    char why[200];
    ASSERT_EQ(Manager()->interpret(p, 1, &arg, why), INTERP_OK);
    ASSERT_EQ(result, 1);
    VMB* churn = vmb_open(4, "churn", 0);
    std::string line(3000, 'x');
    for (int i = 0; i < 400; ++i)
        ASSERT_NE(vm_insert_line(churn, vm_last_ln(churn), line.c_str(), int(line.size())), 0);
    for (int i = 1; i <= 400; i += 7)
        ASSERT_EQ(vm_line_length(churn, i), 3000);
    ASSERT_EQ(Manager()->interpret(p, 1, &arg, why), INTERP_OK);
    EXPECT_EQ(result, 2);
    vmb_close(churn, 0);
}

// ---- Compile on demand ------------------------------------------------------

// Stand-in compiler: writes the program file named after -o, or fails.
std::atomic<int> g_compiles{0};
bool g_compiler_writes = true;
std::string g_last_command;
int StandInCompiler(const char* cmd, const char*) {
    ++g_compiles;
    g_last_command = cmd;
    if (!g_compiler_writes)
        return 1;
    std::string c = cmd;
    size_t o = c.rfind("-o \"");
    std::string out = c.substr(o + 4, c.size() - o - 5);
    std::ofstream(out, std::ios::binary) << "compiled";
    fs::last_write_time(out, fs::file_time_type::clock::now() + std::chrono::seconds(100));
    return 1;
}

class InterpCompile : public InterpHost {
protected:
    void SetUp() override {
        InterpHost::SetUp();
        InterpHooks h = Interp_GetHooks();
        h.run_compiler = StandInCompiler;
        Interp_SetHooks(&h);
        g_compiles = 0;
        g_compiler_writes = true;
        prog_ = tmp_.file("prog.ces");
        src_ = tmp_.file("prog.c");
    }
    std::string prog_, src_;
};

TEST_F(InterpCompile, Paths) {
    struct Case {
        const char* what;
        int prog_age;   // seconds after the editor; 999 = missing
        int src_age;    // 999 = missing
        bool editor;
        bool compiler;
        bool writes;
        int answer_yes;
        int want;
        int compiles;
    } cases[] = {
        {"missing program compiles", 999, 5, true, true, true, 1, CINE_COMPILED, 1},
        {"missing program, compile fails", 999, 5, true, true, false, 1, CINE_FAILED, 1},
        {"missing program, no source", 999, 999, true, true, true, 1, CINE_FAILED, 0},
        {"no editor file", 5, 5, false, true, true, 1, CINE_NO_EDITOR, 0},
        {"older than the editor", -5, -9, true, true, true, 1, CINE_COMPILED, 1},
        {"up to date", 5, 3, true, true, true, 1, CINE_UP_TO_DATE, 0},
        {"no compiler", 5, 9, true, false, true, 1, CINE_NO_COMPILER, 0},
        {"no source", 5, 999, true, true, true, 1, CINE_NO_COMPILER, 0},
        {"source newer, declined", 5, 9, true, true, true, 0, CINE_DECLINED, 0},
        {"source newer, accepted", 5, 9, true, true, true, 1, CINE_COMPILED, 1},
    };
    for (auto& c : cases) {
        fs::remove(prog_);
        fs::remove(src_);
        qwtest::WriteFileBytes(editor_, "editor");
        fs::last_write_time(editor_, fs::file_time_type::clock::now());
        if (c.prog_age != 999) {
            qwtest::WriteFileBytes(prog_, "old");
            Age(prog_, c.prog_age);
        }
        if (c.src_age != 999) {
            qwtest::WriteFileBytes(src_, "int main() { return 0; }");
            Age(src_, c.src_age);
        }
        if (!c.editor)
            fs::remove(editor_);
        paths_.compiler = c.compiler ? tmp_.file("qw_comp4.exe") : "";
        g_compiler_writes = c.writes;
        g_compiles = 0;
        Boxes().clear();
        AnswerYes() = c.answer_yes != 0;
        EXPECT_EQ(CompileIfNeeded(prog_.c_str(), "prog.ces"), c.want) << c.what;
        EXPECT_EQ(g_compiles.load(), c.compiles) << c.what;
    }
}

TEST_F(InterpCompile, CommandLineAndMessages) {
    qwtest::WriteFileBytes(src_, "x");
    EXPECT_EQ(CompileIfNeeded(prog_.c_str(), "prog.ces"), CINE_COMPILED);
    std::string map = tmp_.file("prog.map");
    std::string folder = tmp_.path().substr(0, tmp_.path().size() - 1); // without its separator
    EXPECT_EQ(g_last_command, "\"" + paths_.compiler + "\" -s \"" + map + "\" -i \"" + folder + ";" + folder +
                                  "\" \"" + src_ + "\" -o \"" + prog_ + "\"");
    InterpPaths root;
    root.compiler = "c";
    root.include_path = "C:\\;D:\\Macros\\";
    EXPECT_EQ(Interp_CompilerCommandLine(root, "s.c", "s.ces"), "\"c\" -s \"s.map\" -i \"C:\\.;D:\\Macros\" \"s.c\" -o \"s.ces\"");
    ASSERT_GE(Status().size(), 2u);
    EXPECT_EQ(Status()[0], Formatted(IDS_INTERP_AUTOCOMPILE, prog_.c_str()));
    EXPECT_EQ(Status().back(), Formatted(IDS_INTERP_COMPILE_OK, src_.c_str()));

    // Off the UI thread nothing is compiled.
    fs::remove(prog_);
    g_compiles = 0;
    int r = 0;
    std::thread([&] { r = CompileIfNeeded(prog_.c_str(), "prog.ces"); }).join();
    EXPECT_EQ(r, CINE_FAILED);
    EXPECT_EQ(g_compiles.load(), 0);
}

TEST_F(InterpCompile, RecompiledProgramReplacesTheLoadedOne) {
    Asm one = Asm::Main();
    one.op5(LOAD | F, -5).op5(PUSH, 1).op(STOREW).op(RET);
    qwtest::WriteFileBytes(prog_, one.Image());
    Age(prog_, 10);
    EXPECT_EQ(CExe_ExecuteByName("prog", CEXE_KIND1, 0, 0, nullptr, nullptr), 1);
    // The program is loaded: a newer source does not matter until it is
    // unloaded; then the old copy is recompiled (the stand-in writes junk,
    // which the header check refuses).
    qwtest::WriteFileBytes(src_, "x");
    Age(src_, 20);
    EXPECT_EQ(CExe_ExecuteByName("prog", CEXE_KIND1, 0, 0, nullptr, nullptr), 1);
    Interp_UnloadProgram("prog");
    Boxes().clear();
    EXPECT_EQ(CExe_ExecuteByName("prog", CEXE_KIND1, 0, 0, nullptr, nullptr), -1);
    EXPECT_EQ(g_compiles.load(), 1);
}

// ---- Worker threads ---------------------------------------------------------

int g_tabs = 0;
int TabCount() { return g_tabs; }
int TabBusy(int tab, char* path, int size) {
    if (tab != 1)
        return 0;
    snprintf(path, size_t(size), "%s", "Output 1");
    return 1;
}
int g_tab_view = 0;
void* OpenTab(int) { return &g_tab_view; }

TEST_F(InterpHost, ProgramsOnWorkerThreads) {
    qwtest::WriteFileBytes(tmp_.file("count.ces"), CounterImage());
    Age(tmp_.file("count.ces"), 10);
    std::shared_future<int> f = CExe_k_cmd_ExecuteInThread("count", CEXE_KIND1, 0, 0, nullptr, nullptr, -1);
    ASSERT_TRUE(f.valid());
    EXPECT_EQ(f.get(), 1);
    EXPECT_FALSE(CExe_k_cmd_ExecuteInThread("missing", CEXE_KIND1 | CEXE_QUIET, 0, 0, nullptr, nullptr, -1).valid());

    InterpOutputHooks h;
    h.tab_count = TabCount;
    h.tab_busy = TabBusy;
    h.open_tab = OpenTab;
    Interp_SetOutputHooks(&h);
    g_tabs = 3;
    Boxes().clear();
    EXPECT_FALSE(CExe_k_cmd_ExecuteInThread("count", CEXE_KIND1, 0, 0, nullptr, nullptr, 99).valid());
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], "In CExe_k_cmd_ExecuteInThread( nOutputTab: 99 ) is invalid.");
    Status().clear();
    EXPECT_FALSE(CExe_k_cmd_ExecuteInThread("count", CEXE_KIND1, 0, 0, nullptr, nullptr, 1).valid());
    ASSERT_FALSE(Status().empty());
    EXPECT_EQ(Status().back(), "Output View: Output 1 is currently in use.");
    f = CExe_k_cmd_ExecuteInThread("count", CEXE_KIND1, 0, 0, nullptr, nullptr, 2);
    ASSERT_TRUE(f.valid());
    EXPECT_EQ(f.get(), 2);
    Interp_SetOutputHooks(nullptr);
}

// ---- Faults in editor functions --------------------------------------------

int ThrowingBinding(const uint8_t*, int, const int*, int, int) { throw std::runtime_error("refused"); }
#ifdef _WIN32
int FaultingBinding(const uint8_t*, int, const int*, int, int) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 0;
}
#endif

// An editor function that throws or faults ends the run with code 9; the
// editor goes on.
TEST_F(InterpHost, FaultsInEditorFunctionsEndTheRun) {
    std::vector<int (*)(const uint8_t*, int, const int*, int, int)> hooks = {ThrowingBinding};
#ifdef _WIN32
    hooks.push_back(FaultingBinding);
#endif
    for (auto hook : hooks) {
        InterpKeyHooks h;
        h.binding_set = hook;
        Interp_SetKeyHooks(&h);
        Asm a = Asm::Main();
        a.op5(PUSH, 0).op5(PUSH, 0).op5(PUSH, 0).op5(PUSH, 0).op5(PUSH, 0).op6(CALLNATIVE, 8, 5).op(RET);
        EXPECT_EQ(Run(a, {}), INTERP_EXCEPTION);
        Interp_SetKeyHooks(nullptr);
        EXPECT_EQ(Run(a, {}), INTERP_OK) << "without the hook the native answers -1";
    }
}

// ---- Key services -----------------------------------------------------------

TEST(InterpKeys, KeyTextsAndBytes) {
    struct Case {
        const char* text;
        std::vector<uint8_t> bytes;
        const char* back;
    } cases[] = {
        {"Ctrl+C", {16, 3}, "Ctrl+C"},            // as its control character
        {"Ctrl+Shift+c", {16, 3}, "Ctrl+C"},
        {"shift+left", {2, 37}, "Shift+Left"},
        {"Ctrl+Shift+End", {3, 35}, "Ctrl+Shift+End"},
        {"Alt+F4", {4, 115}, "Alt+F4"},
        {"Ctrl+K Ctrl+B", {16, 11, 'b'}, "Ctrl+K b"}, // later keys as typed
        {"Ctrl+K B", {16, 11, 'b'}, "Ctrl+K b"},
        {"Ctrl+K Shift+B Ctrl+2", {16, 11, 'B', '2'}, "Ctrl+K Shift+B 2"},
        {"Ctrl+Alt+K", {5, 'K'}, "Ctrl+Alt+K"},
        {"a", {'a'}, "a"},
        {"Enter", {0, 13}, "Enter"},
        {"Ctrl+;", {1, 186}, "Ctrl+;"},
        {"MouseRight", {8, 2}, "MouseRight"},
        {"Gray+", {0, 107}, "Gray+"},
    };
    for (auto& c : cases) {
        uint8_t out[16];
        int n = Key_TextToBytes(c.text, out, sizeof out);
        ASSERT_EQ(n, int(c.bytes.size())) << c.text;
        EXPECT_EQ(std::vector<uint8_t>(out, out + n), c.bytes) << c.text;
        std::string back;
        ASSERT_TRUE(Key_BytesToText(out, n, back)) << c.text;
        EXPECT_EQ(back, c.back);
    }
    uint8_t out[4];
    EXPECT_EQ(Key_TextToBytes("Ctrl+Nowhere", out, 4), -1);
    EXPECT_EQ(Key_TextToBytes("", out, 4), 0);
    EXPECT_EQ(Key_TextToBytes("F1 F2 F3", out, 4), 6) << "counted past what fits";
}

struct Bound {
    std::vector<uint8_t> keys;
    std::vector<int> cmds;
};
std::vector<Bound> g_bound;
int RecordBinding(const uint8_t* keys, int n, const int* cmds, int nc, int) {
    g_bound.push_back({std::vector<uint8_t>(keys, keys + n), std::vector<int>(cmds, cmds + nc)});
    return 0;
}
int CommandId(const char* name) {
    std::string n = name;
    return n == "K_Copy" ? 455 : n == "K_Paste" ? 457 : n == "K_Undo" ? 450 : -1;
}

TEST_F(InterpHost, KeyboardDefinition) {
    InterpKeyHooks h;
    h.binding_set = RecordBinding;
    h.command_id = CommandId;
    Interp_SetKeyHooks(&h);
    g_bound.clear();
    std::string file = tmp_.file("Keyboard.JS");
    qwtest::WriteFileBytes(file, "; comment\r\n\r\nCtrl+C = K_Copy\r\nCtrl+K Ctrl+V = K_Paste, 450\r\n"
                                 "Ctrl+Q = K_Nothing\r\nBogus+Key = K_Copy\r\nCtrl+Z K_Undo\r\n= = K_Undo\r\n");
    EXPECT_EQ(Key_LoadDefinition(file.c_str()), 3);
    ASSERT_EQ(g_bound.size(), 3u);
    EXPECT_EQ(g_bound[1].keys, (std::vector<uint8_t>{16, 11, 'v'}));
    EXPECT_EQ(g_bound[1].cmds, (std::vector<int>{457, 450}));
    EXPECT_EQ(g_bound[2].keys, (std::vector<uint8_t>{'='}));
    ASSERT_EQ(Output().size(), 3u);
    EXPECT_EQ(Output()[0], "Keyboard definition '" + file + "' line 5: unknown command");
    EXPECT_EQ(Output()[1], "Keyboard definition '" + file + "' line 6: unknown key name");
    EXPECT_EQ(Output()[2], "Keyboard definition '" + file + "' line 7: no \" = \" between the keys and the commands");
    Interp_SetKeyHooks(nullptr);
}

TEST(InterpStrings, TableMatchesTheResourceFile) {
    std::string root = QW_TEST_DATA_DIR;
    root = root.substr(0, root.rfind("/tests/data"));
    std::ifstream in(root + "/res/strings_interp.rc");
    ASSERT_TRUE(in.good());
    std::string line;
    int seen = 0;
    while (std::getline(in, line)) {
        size_t q = line.find('"');
        if (q == std::string::npos || line.find("//") == 0 || !isdigit(static_cast<unsigned char>(line[4])))
            continue;
        unsigned id = unsigned(std::stoul(line));
        std::string raw = line.substr(q + 1, line.rfind('"') - q - 1), text;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                char e = raw[++i];
                text += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
            } else if (raw[i] == '"' && i + 1 < raw.size() && raw[i + 1] == '"') {
                text += '"';
                ++i;
            } else {
                text += raw[i];
            }
        }
        ASSERT_NE(Interp_StringText(id), nullptr) << id;
        EXPECT_EQ(text, Interp_StringText(id)) << id;
        ++seen;
    }
    EXPECT_EQ(seen, 24);
}

} // namespace
