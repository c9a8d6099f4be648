#pragma once
// Fixture of the language, style-sheet and document tests: a started buffer
// engine (from the Reu fixture), the configuration and master folders in the
// test's temporary folder, and the output pane's lines collected.
#include <string>
#include <vector>

#include "tests/Reu/reu_test_env.h"

namespace doctest {

// The lines printed to output tab `kind` since the fixture started.
std::vector<std::string>& Output(int kind);

class LangTest : public reutest::EngineTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // The user's configuration folder and the master folder (with trailing separators).
    std::string config() const { return dir.file("config/"); }
    std::string master() const { return dir.file("master/"); }
    // Writes a text file (LF line ends become CR LF when crlf).
    static void Write(const std::string& path, const std::string& text);
    // The lines of a text file, line ends removed.
    static std::vector<std::string> FileLines(const std::string& path);
};

}  // namespace doctest
