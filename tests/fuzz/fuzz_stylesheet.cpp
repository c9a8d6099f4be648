// Fuzz target: the style-sheet file. One input is a whole style-sheet file.
// A file that reads must write back, read again to the same sheets, and
// write the same bytes a second time; a damaged one is reported and its file
// is never written over.
#include <cstdint>
#include <cstring>
#include <string>

#include "editor/stylesheet.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The stored members of two sheets are equal.
bool Same(const CStyleSheet& a, const CStyleSheet& b) {
    auto words = [](const void* x, const void* y, size_t n) { return std::memcmp(x, y, n) == 0; };
    for (int i = 0; i < 17; ++i)
        if (a.m_TextSettings[i] != b.m_TextSettings[i]) return false;
    return a.m_SSName == b.m_SSName && a.m_Extensions == b.m_Extensions &&
           a.m_LanguageName == b.m_LanguageName && a.m_Flavour == b.m_Flavour &&
           a.m_WordDelimiters == b.m_WordDelimiters && a.GetAssociated() == b.GetAssociated() &&
           words(&a.m_IndentSize, &b.m_IndentSize, 10 * sizeof(int32_t)) &&
           words(a.m_Reserved34, b.m_Reserved34, sizeof a.m_Reserved34) &&
           a.m_BracketFlags == b.m_BracketFlags &&
           words(a.m_Reserved40, b.m_Reserved40, sizeof a.m_Reserved40) &&
           a.m_LanguageOptions == b.m_LanguageOptions &&
           words(a.m_Reserved44, b.m_Reserved44, sizeof a.m_Reserved44) &&
           words(&a.m_Associated, &b.m_Associated, (2 + SSF_COUNT + 4) * sizeof(int32_t)) &&
           words(a.m_Reserved85, b.m_Reserved85, sizeof a.m_Reserved85);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietMessages();
    fuzz::StartEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::File("StyleSheets.FZ");
    const std::string input(reinterpret_cast<const char*>(data), size);
    fuzz::WriteFile(path, input);
    CStyleSheet_Array first(path);
    if (!first.Load()) {
        FUZZ_CHECK(first.IsDamaged(), "a file that is there was not read and not called damaged");
        FUZZ_CHECK(first.Save() == 0, "a damaged file was saved");
        std::string now;
        FUZZ_CHECK(fuzz::ReadFile(path, now) && now == input, "a damaged file was written over");
        return 0;
    }
    FUZZ_CHECK(!first.IsDamaged(), "read and damaged");
    FUZZ_CHECK(first.Save() == 1, "not written back");
    std::string written;
    FUZZ_CHECK(fuzz::ReadFile(path, written), "written file gone");
    CStyleSheet_Array second(path);
    FUZZ_CHECK(second.Load() == 1, "the written file does not read");
    // Sheets without a name are not written.
    int j = 0;
    for (int i = 0; i < first.GetSize(); ++i) {
        const CStyleSheet* a = first.GetAt(i);
        if (a->m_SSName.empty()) continue;
        const CStyleSheet* b = second.GetAt(j++);
        FUZZ_CHECK(b && Same(*a, *b), "sheet %d ('%s') changed in the round trip", i, a->m_SSName.c_str());
    }
    FUZZ_CHECK(j == second.GetSize(), "%d sheets read back, %d written", second.GetSize(), j);
    FUZZ_CHECK(second.Save() == 1, "not written again");
    std::string again;
    FUZZ_CHECK(fuzz::ReadFile(path, again) && again == written, "written twice, the files differ");
    return 0;
}
