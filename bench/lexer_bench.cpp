// Colouring lexer in measure mode: tokenises a 100,000-line C file, each
// line from the state the line before it ends in, with the shipped C
// dictionary compiled in a temporary configuration folder.
#include "editor/lexer.h"

#include "VmEngine/vm.h"
#include "editor/langdict.h"
#include "editor/langspec.h"
#include "opsys/shell_outlets.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kLines = 100000;

// A C file as people write it: declarations, statements, comments of both
// kinds (a block comment over several lines), strings, numbers, directives.
const char* const kPattern[] = {
    "#include <stdio.h>",
    "#define BUFFER_SIZE 4096",
    "",
    "/* Reads the configuration file and fills the table of settings;",
    "   returns the number of settings read, or -1 when the file cannot",
    "   be opened. */",
    "static int read_settings(const char* path, struct setting* table, int max)",
    "{",
    "    FILE* f = fopen(path, \"r\");  // text mode",
    "    char line[BUFFER_SIZE];",
    "    int count = 0;",
    "    if (!f)",
    "        return -1;",
    "    while (fgets(line, sizeof line, f) && count < max) {",
    "        unsigned long value = strtoul(line + 4, NULL, 0x10);",
    "        table[count].value = value * 1.5e3 + 017;",
    "        table[count++].name = strdup(\"name \\\"quoted\\\"\");",
    "    }",
    "    fclose(f);",
    "    return count;",
    "}",
    "",
    "\tswitch (kind) { case 'a': break; default: goto done; }",
    "done:",
};

const std::string* g_dir = nullptr;  // the configuration folder

struct Setup {
    std::string dir;
    std::string swap;
    int lang = -1;
    std::vector<std::string> lines;

    static int ConfigFolder(char* out, int size, int) {
        const std::string& d = *g_dir;
        if (int(d.size()) + 1 >= size)
            return 0;
        std::memcpy(out, d.c_str(), d.size() + 1);
        return 1;
    }
    static Setup& Instance() {
        static Setup s;
        return s;
    }
    Setup() {
        char tmpl[] = "/tmp/bench_lexer_XXXXXX";
        if (!mkdtemp(tmpl))
            return;
        dir = std::string(tmpl) + "/";
        g_dir = &dir;
        swap = dir + "swap.tmp";
        if (!vms_start(100, 64u * 1024 * 1024, swap.c_str(), 0, 0)) {
            std::fprintf(stderr, "vms_start failed\n");
            return;
        }
        QwShellOutlets o{};
        o.config_folder = ConfigFolder;
        QwSetShellOutlets(&o);
        SetLanguageDictionaryFolders(dir.c_str(), "JS");
        std::filesystem::copy_file(QW_SOURCE_DIR "/config/lang_c.xxx", dir + "lang_c.JS");
        if (FindOrLoadLanguageSpec(&lang, 4, nullptr, nullptr) != 1)
            std::fprintf(stderr, "no C dictionary\n");
        const int n = int(sizeof kPattern / sizeof kPattern[0]);
        for (int i = 0; i < kLines; ++i)
            lines.emplace_back(kPattern[i % n]);
    }
    ~Setup() {
        ResetLanguageData(0x1);
        vms_stop();
        QwSetShellOutlets(nullptr);
        std::filesystem::remove_all(dir);
    }
};

void BM_LexCFile(benchmark::State& state) {
    Setup& s = Setup::Instance();
    CLexer lexer;
    std::vector<LexToken> tokens(4096);
    long total = 0;
    for (auto _ : state) {
        LexLineSetup setup;
        setup.lang = s.lang;
        for (const std::string& line : s.lines) {
            total += LexLine(lexer, setup, line.data(), int(line.size()), tokens.data(),
                             int(tokens.size()));
            setup.depth = lexer.Depth();
            setup.entry = lexer.Entry();
        }
    }
    benchmark::DoNotOptimize(total);
    state.SetItemsProcessed(state.iterations() * kLines);
    state.counters["tokens/line"] =
        double(total) / double(state.iterations()) / double(kLines);
}
BENCHMARK(BM_LexCFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
