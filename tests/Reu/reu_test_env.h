#pragma once
// Fixture pieces shared by the Reu tests: a started buffer engine with its
// swap file in the test's temporary folder, the debug log kept there too,
// message boxes counted instead of shown, and command value 631 settable.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VmEngine/vm.h"
#include "tests/support/temp_dir.h"

namespace reutest {

// The texts of the message boxes shown since the fixture started.
std::vector<std::string>& Boxes();

// History maximum the command-value source answers for 631; -1: no answer
// (the table default applies).
void SetHistorySize(int n);

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    qwtest::TempDir dir;
};

// The lines of a buffer.
std::vector<std::string> Lines(VMB* b);
// A type-2 list of that name holding these lines (created or emptied).
VMB* MakeList(const char* name, const std::vector<std::string>& lines);

} // namespace reutest
