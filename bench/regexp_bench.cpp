// Search speed of the engine over 100 MB of text, in memory and over the
// lines of a buffer, beside std::regex and PCRE2's interpreter on the same
// data in the same run. Counters report MB/s through bytes_per_second.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "RegExp/regexp.h"
#include "VmEngine/vm.h"

#ifdef QW_HAVE_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

namespace {

constexpr size_t kTextBytes = size_t(100) << 20;

// Lines of 20-100 words of program-like text; none of the searched words
// occurs, so each search runs over the whole text.
const std::string& Text() {
    static std::string text = [] {
        static const char* words[] = {"int", "return", "value", "index", "buffer", "count",
                                      "while", "if", "else", "for", "static", "const", "char",
                                      "line", "page", "node", "next", "prev", "size", "data",
                                      "x1", "y2", "tmp", "result", "error", "=", "+", ";", "(", ")"};
        std::mt19937 rng(42);
        std::string t;
        t.reserve(kTextBytes + 200);
        while (t.size() < kTextBytes) {
            int n = 20 + static_cast<int>(rng() % 80);
            for (int i = 0; i < n; ++i) {
                t += words[rng() % (sizeof words / sizeof *words)];
                t += ' ';
            }
            t += '\n';
        }
        return t;
    }();
    return text;
}

struct Pattern {
    const char* native; // the engine's native dialect
    const char* perl;   // the same for std::regex and PCRE2
};

const Pattern kPatterns[] = {
    {"qwertyuiop", "qwertyuiop"},                                   // literal
    {"<[A-Z]:a+ing>", "\\b[A-Z][a-zA-Z]+ing\\b"},                  // word with a class
    {"alpha|bravo|charlie|delta|echo", "alpha|bravo|charlie|delta|echo"}, // alternation
    {"^static :a+ zulu", "^static [a-zA-Z]+ zulu"},               // anchored
};

void SetBytes(benchmark::State& state) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Text().size()));
}

void BM_Engine(benchmark::State& state) {
    const Pattern& pat = kPatterns[state.range(0)];
    int err;
    RE_NODE* p = RE_Compile(pat.native, RE_F_CASE, RE_DIALECT_NATIVE, &err);
    const std::string& t = Text();
    for (auto _ : state) {
        int found = 0;
        if (pat.native[0] == '^') {
            // `^` holds at the start of a range: one range per line.
            size_t s = 0;
            while (s < t.size()) {
                size_t e = t.find('\n', s);
                found += RegexMatchRange(p, t.data() + s, static_cast<int>(e - s), 0, nullptr,
                                         RE_S_CASE);
                s = e + 1;
            }
        } else {
            found = RegexMatchRange(p, t.data(), static_cast<int>(t.size()), 0, nullptr, RE_S_CASE);
        }
        benchmark::DoNotOptimize(found);
    }
    SetBytes(state);
    RegexFree(p);
}

void BM_EngineLines(benchmark::State& state) {
    static VMB* buffer = [] {
        std::string swap = (std::filesystem::temp_directory_path() / "qw_bench_swap.tmp").string();
        vms_start(100, 10240000, swap.c_str(), 0, 0);
        VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
        const std::string& t = Text();
        size_t s = 0;
        while (s < t.size()) {
            size_t e = t.find('\n', s);
            vm_insert_line_nomod(b, vm_last_ln(b), t.data() + s, static_cast<int>(e - s));
            s = e + 1;
        }
        return b;
    }();
    const Pattern& pat = kPatterns[state.range(0)];
    int err;
    RE_NODE* p = RE_Compile(pat.native, RE_F_CASE, RE_DIALECT_NATIVE, &err);
    for (auto _ : state) {
        RE_MATCH m;
        int sel;
        benchmark::DoNotOptimize(
            RegexSearchLines(buffer, 1, 0, -3, -3, 1, 0, 1, p, RE_S_CASE, &m, &sel));
    }
    SetBytes(state);
    RegexFree(p);
}

void BM_StdRegex(benchmark::State& state) {
    const Pattern& pat = kPatterns[state.range(0)];
    std::regex re(pat.perl, std::regex::ECMAScript | std::regex::multiline);
    // std::regex is slow enough that a tenth of the text gives a stable rate.
    const std::string& t = Text();
    size_t n = t.size() / 10;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::regex_search(t.data(), t.data() + n, re));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n));
}

#ifdef QW_HAVE_PCRE2
void BM_Pcre2(benchmark::State& state) {
    const Pattern& pat = kPatterns[state.range(0)];
    int errcode;
    PCRE2_SIZE erroff;
    pcre2_code* re = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pat.perl), PCRE2_ZERO_TERMINATED,
                                   PCRE2_MULTILINE, &errcode, &erroff, nullptr);
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(re, nullptr);
    const std::string& t = Text();
    for (auto _ : state) {
        benchmark::DoNotOptimize(pcre2_match(re, reinterpret_cast<PCRE2_SPTR>(t.data()), t.size(),
                                             0, 0, md, nullptr));
    }
    SetBytes(state);
    pcre2_match_data_free(md);
    pcre2_code_free(re);
}
#endif

// Pathological: (a|aa)*b over one line of a million "a".
void BM_EnginePathological(benchmark::State& state) {
    int err;
    RE_NODE* p = RE_Compile("(a|aa)*b", 0, RE_DIALECT_NATIVE, &err);
    std::string line(1000000, 'a');
    for (auto _ : state)
        benchmark::DoNotOptimize(
            RegexMatchRange(p, line.data(), static_cast<int>(line.size()), 0, nullptr, 0));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(line.size()));
    RegexFree(p);
}

void Names(benchmark::internal::Benchmark* b) {
    b->ArgNames({"pattern"});
    for (int i = 0; i < 4; ++i) b->Arg(i);
    b->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_Engine)->Apply(Names);
BENCHMARK(BM_EngineLines)->Apply(Names);
BENCHMARK(BM_StdRegex)->Apply(Names);
#ifdef QW_HAVE_PCRE2
BENCHMARK(BM_Pcre2)->Apply(Names);
#endif
BENCHMARK(BM_EnginePathological)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
