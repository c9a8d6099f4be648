// Fuzz target: the language dictionaries. One input is the text of a
// dictionary source. It is compiled into the hashed form and loaded into
// "Dicts"; when it loads, every word a word group lists must be found by a
// lookup of its class (hashed as the compiler stored it), its completion
// list must hold it, and every template must be found by its abbreviation.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "editor/langdict.h"
#include "editor/langspec.h"
#include "opsys/paths.h"
#include "opsys/shell_outlets.h"
#include "opsys/strlib.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int kLanguage = 23; // a language whose words ignore case by default

int ConfigFolder(char* out, int size, int) {
    std::snprintf(out, static_cast<size_t>(size), "%s", fuzz::Folder().c_str());
    return 1;
}

struct Word {
    char letter;
    std::string text;
    bool cs; // case mattered when it was compiled
};

std::string Lower(const std::string& s) {
    std::string r = s;
    for (char& c : r) c = static_cast<char>(CharToLower(static_cast<unsigned char>(c)));
    return r;
}

int ClassOf(char letter) {
    switch (letter) {
    case 'K': return TOKEN_KEYWORD;
    case 'T': return TOKEN_TYPENAME;
    case 'P': return TOKEN_PREPROCESSOR;
    default: return TOKEN_USER_1 + (letter - '0');
    }
}

// The words of the word groups, as the compiler reads the source.
std::vector<Word> Model(const std::string& src, bool cs, std::vector<std::string>* templates) {
    static const struct { const char* name; char letter; } groups[] = {
        {"QW Commands", 'c'}, {"Templates", 't'}, {"Preprocessor", 'P'}, {"Types", 'T'},
        {"Keywords", 'K'},    {"Language Specification", 'l'},
    };
    std::vector<Word> words;
    char group = 0;
    size_t pos = 0;
    while (pos < src.size()) {
        size_t nl = src.find('\n', pos);
        if (nl == std::string::npos) nl = src.size();
        std::string line = src.substr(pos, std::min<size_t>(nl - pos, DICT_LINE_MAX));
        pos = nl + 1;
        while (!line.empty() && line.back() == '\r') line.pop_back();
        size_t lead = line.find_first_not_of(" \t");
        if (lead == std::string::npos) continue;
        std::string text = line.substr(lead);
        if (text[0] == ';') continue;
        if (text[0] == '[' && text.size() > 2 && text.back() == ']') {
            std::string name = text.substr(1, text.size() - 2);
            char g = 0;
            for (const auto& gr : groups)
                if (StrEqualNoCase(name.c_str(), gr.name)) g = gr.letter;
            for (int i = 1; i <= 10; ++i)
                if (StrEqualNoCase(name.c_str(), ("User " + std::to_string(i)).c_str()))
                    g = static_cast<char>('0' + i - 1);
            if (g) group = g;
            continue; // an unknown group is an error, not a word
        }
        if (group == 'l') {
            size_t eq = text.find('=');
            if (eq == std::string::npos) continue;
            std::string key = text.substr(0, eq);
            while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
            if (StrEqualNoCase(key.c_str(), "Case Sensitive"))
                cs = std::atoi(text.substr(eq + 1, LANG_ID_SET_SIZE - 1).c_str()) == 1;
        } else if (group == 't') {
            size_t tab = text.find('\t');
            if (tab != std::string::npos && tab > 0 && text.find('\0') > tab) templates->push_back(text.substr(0, tab));
        } else if (group && group != 'c') {
            while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
                text.pop_back();
            if (!text.empty() && text.size() <= DICT_WORD_MAX && text.find_first_of(std::string("\t\0", 2)) == std::string::npos)
                words.push_back({group, text, cs});
        }
    }
    return words;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietMessages();
    fuzz::StartEngine();
    QwShellOutlets outlets{};
    outlets.config_folder = ConfigFolder;
    QwSetShellOutlets(&outlets);
    SetLanguageDictionaryFolders(fuzz::Folder().c_str(), "FZ");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetLanguageData(0x1);
    char path[QW_PATH_BUF], compiled[QW_PATH_BUF];
    FUZZ_CHECK(GetLanguageDictionaryPath(path, kLanguage) && GetCompiledDictionaryPath(compiled, path),
               "no dictionary path");
    const std::string src(reinterpret_cast<const char*>(data), size);
    fuzz::WriteFile(path, src);
    std::remove(compiled);
    int index = -1;
    FUZZ_CHECK(FindOrLoadLanguageSpec(&index, kLanguage, nullptr, nullptr) == 1, "no record");
    const CLanguageSpec* s = FindLanguageSpec(index);
    FUZZ_CHECK(s, "no record %d", index);
    if (!s->bucket_count) return 0; // not compiled: reported, nothing to look up
    const bool cs_final = (s->flags & LANG_F_CASE) != 0;
    std::vector<std::string> templates;
    // The compiler starts from the language's own case rule.
    const std::vector<Word> words = Model(src, false, &templates);
    char out[DICT_LINE_MAX + 1];
    for (const Word& w : words) {
        const std::string stored = w.cs ? w.text : Lower(w.text);
        // Found only when the lookup hashes the word as the compiler did.
        if (!cs_final && stored != Lower(stored)) continue;
        out[0] = '\0';
        int got = LookupLanguageKeywordN(stored.data(), static_cast<int>(stored.size()), index,
                                         ClassOf(w.letter), out, sizeof out);
        FUZZ_CHECK(got == (w.letter == 'K' ? TOKEN_KEYWORD : ClassOf(w.letter)),
                   "word '%s' of class %c: lookup gave %d", stored.c_str(), w.letter, got);
        if (w.letter != 'K')
            FUZZ_CHECK(out == stored, "word '%s' came back as '%s'", stored.c_str(), out);
        std::string prefix = stored.substr(0, 1 + stored.size() / 2);
        std::vector<char> buf(prefix.begin(), prefix.end());
        buf.resize(DICT_WORD_MAX + 2, '\0');
        FUZZ_CHECK(ListKeywordMatches(index, buf.data(), static_cast<int>(buf.size()), -1, nullptr) == 1,
                   "no completion of '%s'", prefix.c_str());
        FUZZ_CHECK(ListKeywordMatches(index, prefix.data(), 0, ClassOf(w.letter), "FuzzList") >= 1,
                   "empty list for '%s'", prefix.c_str());
    }
    for (const std::string& ab : templates) {
        int n = FindTemplate(index, out, sizeof out, ab.c_str(), 0);
        FUZZ_CHECK(n >= 1, "template '%s' not found", ab.c_str());
        std::string got(out, strcspn(out, "\t"));
        FUZZ_CHECK(cs_final ? got == ab : StrEqualNoCase(got.c_str(), ab.c_str()),
                   "template '%s' found as '%s'", ab.c_str(), got.c_str());
        FUZZ_CHECK(GetLanguageDictionaryLine(index, n, out, sizeof out) == 1, "line %d", n);
    }
    if (VMB* list = vmb_open(VMB_T_TEMP, "FuzzList", VMB_O_FILE)) {
        ListLanguageSkeletons(index, list);
        vmb_close(list, 0);
    }
    return 0;
}
