#include "tests/editor/doc_test_env.h"

#include <filesystem>
#include <map>

#include "editor/langdict.h"
#include "editor/langspec.h"
#include "opsys/shell_outlets.h"

namespace doctest {

namespace {
std::string g_config;

int ConfigFolder(char* out, int size, int) {
    if (static_cast<int>(g_config.size()) >= size) return 0;
    std::copy(g_config.begin(), g_config.end(), out);
    out[g_config.size()] = '\0';
    return 1;
}

void OutputPrint(const char* text, int kind, int, int) {
    if (text) Output(kind).push_back(text);
}
}  // namespace

std::vector<std::string>& Output(int kind) {
    static std::map<int, std::vector<std::string>> lines;
    return lines[kind];
}

void LangTest::SetUp() {
    reutest::EngineTest::SetUp();
    for (int k = 0; k < 16; ++k) Output(k).clear();
    std::filesystem::create_directories(config());
    std::filesystem::create_directories(master());
    g_config = config();
    QwShellOutlets o{};
    o.config_folder = ConfigFolder;
    o.output_print = OutputPrint;
    o.main_window = [] { return static_cast<void*>(&g_config); };
    QwSetShellOutlets(&o);
    SetLanguageDictionaryFolders(master().c_str(), "JS");
}

void LangTest::TearDown() {
    ResetLanguageData(0x1);
    SetLangDictHooks(nullptr);
    SetLanguageDictionaryFolders(nullptr, nullptr);
    QwSetShellOutlets(nullptr);
    reutest::EngineTest::TearDown();
}

void LangTest::Write(const std::string& path, const std::string& text) {
    qwtest::WriteFileBytes(path, text);
}

std::vector<std::string> LangTest::FileLines(const std::string& path) {
    std::string bytes = qwtest::ReadFileBytes(path);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t nl = bytes.find('\n', start);
        if (nl == std::string::npos) nl = bytes.size();
        std::string line = bytes.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = nl + 1;
    }
    return lines;
}

}  // namespace doctest
