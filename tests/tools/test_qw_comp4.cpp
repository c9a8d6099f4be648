// The macro compiler: small sources compiled by qw_comp4 run on the
// interpreter and leave their result word; errors name the file and line;
// the shipped start-up and key-translation programs do their jobs.
#include <filesystem>
#include <fstream>

#include "commands/cmdtable.h"
#include "commands/interp_keys.h"
#include "commands/interp_thread.h"
#include "tests/commands/interp_test_support.h"
#include "tools/qw_comp4/qwc.h"

using namespace itest;

namespace {

class Comp4 : public InterpTest {
protected:
    // Compiles `body` (the text of main's block, or whole declarations when
    // it holds "main(") and runs it; the result word, or the compile errors
    // through *errors.
    int32_t RunSource(const std::string& src, int* code = nullptr, std::string* errors = nullptr) {
        std::string file = "p" + std::to_string(++n_);
        qwtest::WriteFileBytes(tmp_.file("qw_natives.h"), QwcNativesHeader());
        qwtest::WriteFileBytes(tmp_.file(file + ".c"), src);
        QwcOptions o;
        o.source = tmp_.file(file + ".c");
        o.include = tmp_.path();
        o.output = tmp_.file(file + ".cex");
        o.map = tmp_.file(file + ".map");
        std::string err;
        bool ok = QwcCompile(o, err);
        if (errors)
            *errors = err;
        if (!ok) {
            if (!errors)
                ADD_FAILURE() << err;
            return INT32_MIN;
        }
        CInterpreterInstance* p = Load(file + ".cex", qwtest::ReadFileBytes(o.output));
        if (!p)
            return INT32_MIN;
        int32_t result = 1;
        InterpValue args[5] = {InterpValue::W(7), InterpValue::W(9), InterpValue::W(0), InterpValue::W(0),
                               InterpValue::Mem(&result, 4, true)};
        char why[200];
        int c = Manager()->interpret(p, 5, args, why);
        if (code)
            *code = c;
        else
            EXPECT_EQ(c, INTERP_OK) << why;
        return result;
    }
    static std::string Main(const std::string& body) {
        return "#include \"qw_natives.h\"\nint main(int id, int arg, int view, int rec, int *result) {\n" + body +
               "\n}\n";
    }
    int n_ = 0;
};

TEST_F(Comp4, GoldenPrograms) {
    struct Case {
        const char* what;
        std::string src;
        int32_t want;
    } cases[] = {
        {"arguments and arithmetic", Main("*result = id * 10 + arg - 3 / 2 % 5;"), 78},
        {"precedence and unary", Main("*result = -(1 + 2) * 3 + (~0 & 0xF) + !0 + (1 << 4 >> 2);"), 11},
        {"comparisons", Main("*result = (1 < 2) + (2 <= 2) * 2 + (3 > 4) * 4 + (5 >= 5) * 8 + (6 == 6) * 16 + (7 != 7) * 32;"), 27},
        {"while and for", Main("int i; int s; s = 0; i = 0; while (i < 10) { s += i; i++; } "
                               "for (i = 0; i < 5; ++i) s = s + 100; *result = s;"), 545},
        {"break and continue", Main("int i; int s = 0; for (i = 0; ; i++) { if (i == 8) break; if (i % 2) continue; s += i; } *result = s;"), 12},
        {"if else chain", Main("int x = arg; if (x < 5) *result = 1; else if (x < 10) *result = 2; else *result = 3;"), 2},
        {"short circuit", "int hits;\nint f(int v) { hits++; return v; }\n" +
                              Main("int a = f(0) && f(1); int b = f(1) || f(0); int c = f(1) && f(2); "
                                   "*result = a * 1000 + b * 100 + c * 10 + hits;"), 114},
        {"conditional", Main("*result = arg > 5 ? arg * 2 : -1;"), 18},
        {"recursion", "int fib(int n) { if (n < 2) return n; return fib(n - 1) + fib(n - 2); }\n" +
                          Main("*result = fib(15);"), 610},
        {"called before defined", "int twice(int v);\n" + Main("*result = twice(21);") + "int twice(int v) { return v + v; }\n", 42},
        {"global arrays", "int t[5] = {1, 2, 3};\n" + Main("int i; int s = 0; t[4] = 10; for (i = 0; i < 5; i++) s += t[i]; *result = s;"), 16},
        {"local arrays and pointers", Main("int a[4]; int *p; a[0] = 5; a[1] = 6; p = a; p++; *p += 10; "
                                           "*result = a[1] * 100 + *(p - 1) + (p - a);"), 1606},
        {"char arrays and texts", "char g[] = \"hello\";\n" +
                                      Main("char b[8]; char *s; s = b; *s++ = 'h'; *s++ = 'i'; *s = 0; "
                                           "*result = StrLen(g) * 100 + StrLen(b) * 10 + StrLen(\"abc\") + g[1] - 'e';"), 523},
        {"byte wrap through a pointer", Main("char b[4]; b[0] = 255; b[0]++; *result = b[0] + 1;"), 1},
        {"memory increments", Main("int a[2]; int *p = a; a[0] = 4; a[1] = 40; *result = (*p)++ + ++a[1] + a[0];"), 50},
        {"natives and texts", Main("char b[16]; int n = StrCopy(b, \"Key_Translate\", 4); "
                                   "*result = n * 100 + StrCmp(b, \"Key\") + StrCmpNoCase(\"ABC\", \"abc\") + Interp_ArgCount();"), 305},
        {"globals keep their values", "int counter = 40;\n" + Main("counter += 2; *result = counter;"), 42},
        {"constants", "const BASE = 300;\nconst NEG = -2;\n" + Main("*result = BASE + NEG;"), 298},
        {"result left alone", Main("id = 3;"), 1},
    };
    for (auto& c : cases)
        EXPECT_EQ(RunSource(c.src), c.want) << c.what;
}

TEST_F(Comp4, RunTimeFaultsOfCompiledCode) {
    int code = -1;
    RunSource(Main("int z = 0; *result = 5 / z;"), &code);
    EXPECT_EQ(code, INTERP_DIV_ZERO);
    RunSource(Main("int a[2]; int *p = a; p[100000] = 1;"), &code);
    EXPECT_EQ(code, INTERP_DATA);
    RunSource("int down(int n) { return down(n + 1); }\n" + Main("down(0);"), &code);
    EXPECT_EQ(code, INTERP_STACK);
}

TEST_F(Comp4, ErrorsNameFileAndLine) {
    struct Case {
        std::string src;
        std::string want; // after "<file>("
    } cases[] = {
        {Main("int x = 1\nreturn x;"), "4): error: expected ';' before 'return'"},
        {Main("*result = y;"), "3): error: 'y' is not declared"},
        {Main("*result = StrLen(\"a\", 2);"), "3): error: 'StrLen' takes 1 arguments, not 2"},
        {Main("break;"), "3): error: 'break' outside a loop"},
        {"int f(int a);\n" + Main("*result = f(1);"), "4): error: function 'f' is declared but never defined"},
        {"native StrLen = 0 (1);\n", "1): error: 'StrLen' does not match the editor's table of functions"},
        {Main("*result = \"open;"), "3): error: string not closed"},
        {"int g[2000];\n" + Main(""), "0): error: the data exceeds 1019 words"},
        {"int x;", "0): error: no function main"},
    };
    for (auto& c : cases) {
        std::string errors;
        EXPECT_EQ(RunSource(c.src, nullptr, &errors), INT32_MIN);
        std::string file = tmp_.file("p" + std::to_string(n_) + ".c");
        EXPECT_EQ(errors, file + "(" + c.want + "\n") << c.src;
        EXPECT_FALSE(std::ifstream(tmp_.file("p" + std::to_string(n_) + ".cex")).good()) << "no program left";
    }
    // An include that is not there is reported where it is included.
    std::string errors;
    RunSource("#include \"nothere.h\"\n" + Main(""), nullptr, &errors);
    EXPECT_EQ(errors, tmp_.file("p" + std::to_string(n_) + ".c") + "(1): error: cannot open include file \"nothere.h\"\n");
}

TEST_F(Comp4, FailedCompileRemovesTheOldProgram) {
    std::string out = tmp_.file("old.cex");
    qwtest::WriteFileBytes(out, "stale");
    qwtest::WriteFileBytes(tmp_.file("old.c"), "int main( {");
    QwcOptions o;
    o.source = tmp_.file("old.c");
    o.output = out;
    std::string errors;
    EXPECT_FALSE(QwcCompile(o, errors));
    EXPECT_FALSE(std::ifstream(out).good());
}

// Title forms reach the program: the param form as a command record of
// kind 7, the word form as text arguments; and a worker's copy of a command
// record keeps its own parameter text.
TEST_F(Comp4, TitlesAndRecordsReachThePrograms) {
    auto compile = [&](const std::string& name, const std::string& src) {
        qwtest::WriteFileBytes(tmp_.file("qw_natives.h"), QwcNativesHeader());
        qwtest::WriteFileBytes(tmp_.file(name + ".c"), src);
        QwcOptions o;
        o.source = tmp_.file(name + ".c");
        o.include = tmp_.path();
        o.output = tmp_.file(name + ".ces");
        std::string errors;
        ASSERT_TRUE(QwcCompile(o, errors)) << errors;
    };
    compile("echo", "#include \"qw_natives.h\"\nchar b[64];\n"
                    "int main(int id, int arg, int view, int rec, int *result) {\n"
                    "  Cmd_Text(rec, b, 64); MsgText(64, b); *result = Cmd_Kind(rec) * 10 + id; }\n");
    compile("words", "#include \"qw_natives.h\"\n"
                     "int main(char *a, char *b) { MsgText(64, a); MsgText(64, b); if (Interp_ArgCount() != 2) MsgText(64, \"count\"); }\n");
    EXPECT_EQ(CExe_Execute("echo, param=hello world", CEXE_KIND1), 1);
    EXPECT_EQ(CExe_Execute("words one \"two words\"", CEXE_KIND1), 1);
    EXPECT_EQ(Output(), (std::vector<std::string>{"hello world", "one", "two words"}));

    Output().clear();
    std::string text = "from the caller";
    K_cmd_params rec;
    K_cmd_params_init(&rec, 7, 5, text.c_str(), 0, 0);
    std::shared_future<int> f = CExe_k_cmd_ExecuteInThread("echo", CEXE_KIND1, 3, 0, nullptr, &rec, -1);
    text.assign(text.size(), 'x'); // the caller's text changes at once
    rec.tag = 0;
    ASSERT_TRUE(f.valid());
    EXPECT_EQ(f.get(), 73);
    EXPECT_EQ(Output(), (std::vector<std::string>{"from the caller"}));
}

// A program that runs itself nests until the limit; the innermost run is
// refused with a nesting error and the outer ones finish.
TEST_F(Comp4, NestedRunsAreLimited) {
    qwtest::WriteFileBytes(tmp_.file("qw_natives.h"), QwcNativesHeader());
    qwtest::WriteFileBytes(tmp_.file("rec.c"), "#include \"qw_natives.h\"\n"
                                               "int main(int id, int arg, int view, int rec, int *result) {\n"
                                               "  *result = RunProgram(\"rec\", 1, 0, 0) + 1; }\n");
    QwcOptions o;
    o.source = tmp_.file("rec.c");
    o.output = tmp_.file("rec.ces");
    o.include = tmp_.path();
    std::string errors;
    ASSERT_TRUE(QwcCompile(o, errors)) << errors;
    EXPECT_EQ(CExe_ExecuteByName("rec", CEXE_KIND1, 0, 0, nullptr, nullptr), int(INTERP_NEST_MAX) - 1);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], "Interpreter Error: Nesting error while running program:\nrec.ces\n\n");
}

// Compile on demand with the real compiler through the interim runner: the
// command line the host builds is the one qw_comp4 takes.
TEST_F(Comp4, CompileOnDemandWithTheCompiler) {
    paths_.compiler = QW_COMP4_EXE;
#ifdef _WIN32
    // The build names it by its path on the build host; Wine shows that drive as Z:.
    if (paths_.compiler[0] == '/') {
        paths_.compiler = "Z:" + paths_.compiler;
        for (char& c : paths_.compiler)
            c = c == '/' ? '\\' : c;
    }
#endif
    qwtest::WriteFileBytes(tmp_.file("qw_natives.h"), QwcNativesHeader());
    qwtest::WriteFileBytes(tmp_.file("fresh.c"), "#include \"qw_natives.h\"\n"
                                                 "int main(int id, int arg, int v, int r, int *result) { *result = id + 40; }\n");
    EXPECT_EQ(CExe_ExecuteByName("fresh", CEXE_KIND1, 2, 0, nullptr, nullptr), 42) << (Boxes().empty() ? "" : Boxes()[0]);
    EXPECT_TRUE(std::ifstream(tmp_.file("fresh.map")).good());
    // A source with an error: the compile fails, the program does not run.
    qwtest::WriteFileBytes(tmp_.file("broken.c"), "int main( {\n");
    Boxes().clear();
    EXPECT_EQ(CExe_ExecuteByName("broken", CEXE_KIND1, 2, 0, nullptr, nullptr), -1);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], "Auto compilation of '" + tmp_.file("broken.c") + "' failed");
}

// ---- The shipped programs --------------------------------------------------

struct Bound {
    std::vector<uint8_t> keys;
    std::vector<int> cmds;
};
std::vector<Bound> g_bound;
int Record(const uint8_t* k, int n, const int* c, int nc, int) {
    g_bound.push_back({std::vector<uint8_t>(k, k + n), std::vector<int>(c, c + nc)});
    return 0;
}
std::string g_keyboard;
std::string KeyboardFile() { return g_keyboard; }
int CommandByName(const char* name) { return std::string(name).size() > 2 ? 400 + int(std::string(name).size()) : -1; }

class ShippedPrograms : public InterpTest {
protected:
    void SetUp() override {
        InterpTest::SetUp();
        paths_.macro_folder = QW_MACRO_DIR;
        // The stand-in editor is older than the programs the build compiled.
        std::filesystem::last_write_time(editor_, std::filesystem::last_write_time(QW_MACRO_DIR "/qw_start.ces") -
                                                      std::chrono::hours(24));
        paths_.compiler.clear();
        InterpKeyHooks h;
        h.binding_set = Record;
        h.keyboard_file = KeyboardFile;
        h.command_id = CommandByName;
        Interp_SetKeyHooks(&h);
        g_keyboard = QW_KEYBOARD_FILE;
        g_bound.clear();
    }
    void TearDown() override {
        Interp_SetKeyHooks(nullptr);
        InterpTest::TearDown();
    }
};

TEST_F(ShippedPrograms, StartUpLoadsTheKeyboard) {
    EXPECT_EQ(CExe_ExecuteByName("qw_start.ces", CEXE_KIND1, 1, 0, nullptr, nullptr), 1);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(Output().empty()) << Output()[0];
    ASSERT_GE(g_bound.size(), 50u);
    EXPECT_EQ(g_bound[0].keys, (std::vector<uint8_t>{0, 37})); // Left
    // Start-up goes on when the keyboard cannot be read.
    g_keyboard = tmp_.file("none.JS");
    EXPECT_EQ(CExe_ExecuteByName("qw_start.ces", CEXE_KIND1, 1, 0, nullptr, nullptr), 1);
}

TEST_F(ShippedPrograms, KeyTranslateOperations) {
    uint8_t keys[62];
    KeyTranslateRequest r;
    r.op = 0;
    r.text = "Ctrl+K Ctrl+B";
    r.keys_out = keys;
    r.keys_max = sizeof keys;
    EXPECT_EQ(Key_Translate(r), 3);
    EXPECT_EQ(std::vector<uint8_t>(keys, keys + 3), (std::vector<uint8_t>{16, 11, 'b'}));
    char text[64];
    KeyTranslateRequest back;
    back.op = 1;
    back.keys = keys;
    back.key_count = 3;
    back.text_out = text;
    back.text_max = sizeof text;
    EXPECT_EQ(Key_Translate(back), 8);
    EXPECT_STREQ(text, "Ctrl+K b");
    KeyTranslateRequest bad;
    bad.op = 9;
    EXPECT_EQ(Key_Translate(bad), -1);
    EXPECT_EQ(CExe_ExecuteByName("OnKeyboardOpen", CEXE_KIND1, 0, 0, nullptr, nullptr), 1);
    EXPECT_FALSE(g_bound.empty());
}

} // namespace
