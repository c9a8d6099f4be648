#pragma once
// Fixture of the key, execution and macro tests: the interpreter fixture
// (engine, captured boxes and output) with the shipped programs compiled by
// the build ("Key_Translate" and friends), command names found by scanning
// the table, a fake view reached through the executor's hooks, a fake
// keyboard, and the status bar recorded as the user would see it (a text
// with the join directive is appended to the one before).
#include <filesystem>
#include <string>
#include <vector>

#include "commands/cmdexec.h"
#include "commands/kbmacro.h"
#include "commands/keybind.h"
#include "commands/keytrans.h"
#include "tests/commands/interp_test_support.h"

namespace keytest {

struct FakeView {
    bool minimized = false, special = false, read_only = false, editable = true, named = false;
    bool file_read_only = false, edit_mode_ok = true;
    bool alive = true;                   // its window still maps to it
    int pending = 1;                     // the pending-action word
    int undo_lines = 0;
    bool has_selection = false;
    std::string typed;                   // characters typed into it
    std::vector<std::string> steps;      // "note 410", "mark 1", "bracket", "column", ...
};

struct FakeKeyboard {
    bool ctrl = false, shift = false, alt = false;
    int to_ascii = 1;                    // what ToAscii answers for a printing key
    int break_after = -1;                // Ctrl+Break goes down after this many handler runs
    bool key_up_waiting = false;
    std::vector<unsigned> beeps;
};

extern FakeView* g_view;                 // the current text view (may be null)
extern FakeKeyboard g_keys;
extern std::vector<int> g_runs;          // identifiers the test handler ran
extern int g_answer;                     // what the "TryEditMode" question answers

class KeysTest : public itest::InterpTest {
public:
    // The lines the status bar showed, each with the texts joined to it.
    static std::vector<std::string>& StatusLines();

protected:
    void SetUp() override;
    void TearDown() override;
    // A message by string id: its text in the Windows build; the host build
    // carries no strings, so there the missing-string report stands for it.
    static std::string Said(unsigned id, const char* text);
    // True when the message was shown on the status bar or in a box.
    bool Shown(const std::string& text);
    // Gives command id the test handler (records the id, returns result)
    // and the attribute word.
    void Handle(int id, uint32_t attr, int result = 7);

private:
    K_cmd_record saved_[K_CMD_COUNT];
};

// The bytes of a key text through the shipped "Key_Translate".
std::vector<uint8_t> Keys(const char* text);
// Binds one command to key bytes.
int Bind(const std::vector<uint8_t>& keys, int command, int replace = 0);

} // namespace keytest
