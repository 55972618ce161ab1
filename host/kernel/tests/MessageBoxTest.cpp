#include "host/kernel/FakeMessageBox.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

namespace host::kernel {
namespace ORV_TEST_FILE_ID {

namespace {

// Once no fake is installed, the box goes to stderr as UTF-8 and answers its first button.
TEST(MessageBox, DefaultPrintsUtf8AndAnswersTheFirstButton) {
    { FakeMessageBox gone(kIdNo); }
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBox("コンフィグファイルが読み込めません", "エラー", kMbOk | kMbIconError), kIdOk);
    EXPECT_EQ(MessageBox("t", "c", kMbYesNo | kMbIconQuestion), kIdYes);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), u8"エラー: コンフィグファイルが読み込めません\nc: t\n");
}

// A box without a caption prints its text alone, never ": text".
TEST(MessageBox, AnEmptyCaptionPrintsTheTextAlone) {
    { FakeMessageBox gone; }
    static const struct {
        const char* caption;
        const char* text;
        const char* line;
    } rows[] = {
        {"", "\x83\x66\x81\x5B\x83\x5E", u8"データ\n"},
        {"", "", "\n"},
        {"c", "t", "c: t\n"},
        {"\x83\x47", "", u8"エ: \n"},
    };
    for (const auto& row : rows) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(MessageBox(row.text, row.caption, kMbOk), kIdOk);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), row.line) << row.caption;
    }
}

TEST(MessageBox, FirstButtonOfEveryType) {
    // OK, OK/Cancel, Abort/Retry/Ignore, Yes/No/Cancel, Yes/No, Retry/Cancel, Cancel/Try/Continue
    const int first[] = {kIdOk, kIdOk, 3, kIdYes, kIdYes, 4, kIdCancel};
    for (uint32_t type = 0; type < 7; ++type) {
        EXPECT_EQ(MessageBoxFirstButton(type | kMbIconWarning), first[type]) << type;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(ReportMessageBox("t", "c", type), first[type]) << type;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "c: t\n");
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::kernel
