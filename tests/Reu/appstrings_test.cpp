// String-table texts appended to buffers as lines. The host build has no
// string table, so there only the failures are checked.
#include "Reu/appstrings.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/Reu/reu_test_env.h"

namespace {

using Strings = std::vector<std::string>;

class AppStrings : public reutest::EngineTest {};

#ifdef _WIN32
TEST_F(AppStrings, AppendsEachCrSeparatedPartAsALine) {
    struct Case {
        unsigned id;
        Strings lines; // after the line "kept"
    } cases[] = {
        {9001, {"first", "second", "third"}}, // CR LF is one line break
        {9002, {"a", "", "b"}},               // an empty part stays, a last CR adds nothing
        {9003, {"123456789012345678901234567890123456789012345678901234567890123456789012345678"
                "901234567890123456789",
                "end"}},                      // cut to 99 characters
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        VMB* b = reutest::MakeList("strings", {"kept"});
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(LoadAppStringLines(b, c.id), 1);
        Strings want{"kept"};
        want.insert(want.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(reutest::Lines(b), want);
        vmb_close(b, 0);
    }
    EXPECT_TRUE(reutest::Boxes().empty());
}
#endif

TEST_F(AppStrings, MissingStringOrBufferChangesNothing) {
    VMB* b = reutest::MakeList("strings", {"kept"});
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(LoadAppStringLines(b, 9999), 0);
    EXPECT_EQ(reutest::Lines(b), Strings{"kept"});
    // The missing string is reported once, by the loader.
    ASSERT_EQ(reutest::Boxes().size(), 1u);
    EXPECT_EQ(reutest::Boxes()[0], "String: 9999 not found");

    EXPECT_EQ(LoadAppStringLines(nullptr, 9001), 0);
    vmb_close(b, 0);
    EXPECT_EQ(LoadAppStringLines(b, 9001), 0); // closed
    EXPECT_EQ(reutest::Boxes().size(), 1u);
}

} // namespace
