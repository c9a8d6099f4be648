// Fuzz target: the syntax-colouring lexer. One input is a language (its
// master dictionary), a start state (depth and construct entry), a tab width
// and column switches, then one line of any bytes. The tokens must cover the
// line exactly, in order, each non-empty with non-decreasing columns, and
// the end state must be one of the three the painter knows.
#include <cstdint>
#include <cstdio>
#include <string>

#include "editor/langdict.h"
#include "editor/langspec.h"
#include "editor/lexer.h"
#include "opsys/shell_outlets.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

int ConfigFolder(char* out, int size, int) {
    std::snprintf(out, static_cast<size_t>(size), "%s", fuzz::Folder().c_str());
    return 1;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietMessages();
    fuzz::StartEngine();
    QwShellOutlets outlets{};
    outlets.config_folder = ConfigFolder;
    QwSetShellOutlets(&outlets);
    SetLanguageDictionaryFolders(QW_CONFIG_DIR "/", "FZ");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in{data, size};
    int language = in.Byte() % LANG_COUNT;
    LexLineSetup setup;
    setup.depth = in.Byte() % 4;
    setup.entry = static_cast<int>(in.Byte() % 24) - 1;
    setup.tab_width = in.Byte() % 104;
    uint8_t sw = in.Byte();
    setup.raw_columns = sw & 1;
    setup.fixed_columns = sw & 2;
    setup.first = sw >> 2;
    int index = -1;
    if (!FindOrLoadLanguageSpec(&index, language, nullptr, nullptr)) return 0;
    setup.lang = index;
    const std::string line(reinterpret_cast<const char*>(in.p), in.n);
    const int len = static_cast<int>(line.size());
    static CLexer lexer;
    lexer.Begin(setup, line.data(), len);
    int at = 0, column = 0;
    LexToken t{};
    for (int guard = 0; guard <= len + 1; ++guard) {
        int code = lexer.Next(&t);
        if (code == LEX_TOK_END) break;
        FUZZ_CHECK(t.start == at && t.end > t.start && t.end <= len,
                   "token [%d,%d) after %d in a line of %d", t.start, t.end, at, len);
        FUZZ_CHECK(t.column >= column, "column %d after %d", t.column, column);
        at = t.end;
        column = t.column;
    }
    FUZZ_CHECK(at == len, "tokens end at %d in a line of %d", at, len);
    int end = lexer.EndState();
    FUZZ_CHECK(end == LEX_END_CONSTRUCT || end == LEX_END_RUNS_ON || end == 310, "end state %d", end);
    return 0;
}
