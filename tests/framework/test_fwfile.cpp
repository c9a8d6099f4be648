// Disk files on Windows: open failures with their causes and the standard
// reports that name the file.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/fwfile.h"
#include "framework/fwmsgbox.h"
#include "opsys/msgbox_backend.h"
#include "tests/support/temp_dir.h"
#include "tests/support/win_test.h"

namespace {

TEST(FwFile, OpenFailuresGiveTheirCauseAndReportNamingTheFile) {
    qwtest::TempDir dir;
    std::string held = dir.file("held.txt");
    std::string folder = dir.file("folder");
    qwtest::WriteFileBytes(held, "x");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    fw::File holder;
    ASSERT_TRUE(holder.Open(held, fw::File::kReadWrite | fw::File::kShareExclusive));

    struct Case {
        std::string path;
        unsigned flags;
        int cause;
        const char* text;
    } cases[] = {
        {dir.file("missing.txt"), fw::File::kRead, fw::FileException::kFileNotFound, "was not found"},
        {held, fw::File::kRead | fw::File::kShareDenyNone, fw::FileException::kSharingViolation,
         "sharing violation"},
        {folder, fw::File::kWrite, fw::FileException::kAccessDenied, "was denied"},
    };
    auto previous = fw::SetMessageBoxHandler(&QwPlatformMessageBox);
    for (const Case& c : cases) {
        fw::File f;
        fw::FileException error;
        EXPECT_FALSE(f.Open(c.path, c.flags, &error)) << c.path;
        EXPECT_FALSE(f.is_open());
        EXPECT_EQ(error.cause, c.cause) << c.path;
        EXPECT_EQ(error.file_name, c.path);
        EXPECT_GT(error.os_error, 0);
        qwtest::MessageBoxRecorder rec;
        error.ReportError(MB_OK, fw::kIdsFailedToOpenDocument);
        ASSERT_EQ(rec.boxes().size(), 1u);
        EXPECT_NE(rec.boxes()[0].text.find(c.path), std::string::npos);
        EXPECT_NE(rec.boxes()[0].text.find(c.text), std::string::npos) << rec.boxes()[0].text;
        // The throwing constructor carries the same cause.
        try {
            fw::File thrown(c.path, c.flags);
            ADD_FAILURE();
        } catch (const fw::FileException& e) {
            EXPECT_EQ(e.cause, c.cause);
        }
    }
    // A failure without a cause-specific text shows the caller's prompt.
    {
        qwtest::MessageBoxRecorder rec;
        fw::FileException(fw::FileException::kGeneric, 1, "x").ReportError(0, fw::kIdsFailedToSaveDocument);
        ASSERT_EQ(rec.boxes().size(), 1u);
        EXPECT_EQ(rec.boxes()[0].text, fw::LoadFrameworkString(fw::kIdsFailedToSaveDocument));
        EXPECT_FALSE(rec.boxes()[0].text.empty());
    }
    fw::SetMessageBoxHandler(previous);
}

} // namespace
