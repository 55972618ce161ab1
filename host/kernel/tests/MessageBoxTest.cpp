#include "host/kernel/FakeMessageBox.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <thread>

namespace host::kernel {
namespace {

TEST(MessageBox, WithoutHandlerPrintsUtf8AndAnswersTheFirstButton) {
    ::testing::internal::CaptureStderr();
    int answer = MessageBox("コンフィグファイルが読み込めません", "エラー", kMbOk | kMbIconError);
    std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, kIdOk);
    EXPECT_NE(printed.find(u8"エラー"), std::string::npos) << printed;
    EXPECT_NE(printed.find(u8"コンフィグファイルが読み込めません"), std::string::npos) << printed;

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBox("q", "c", kMbOkCancel), kIdOk);
    EXPECT_EQ(MessageBox("q", "c", kMbYesNo | kMbIconQuestion), kIdYes);
    ::testing::internal::GetCapturedStderr();
}

TEST(MessageBox, FakeRecordsTheBoxesAndAnswersFromItsScript) {
    FakeMessageBox boxes(kIdNo);
    boxes.Script({kIdYes, kIdCancel});
    EXPECT_EQ(MessageBox("上書きしますか？", "確認", kMbYesNo), kIdYes);
    EXPECT_EQ(MessageBox("b", "c", kMbOkCancel), kIdCancel);
    EXPECT_EQ(MessageBox("c", "c", kMbYesNo), kIdNo);   // script used up
    ASSERT_EQ(boxes.Count(), 3u);
    auto first = boxes.Boxes()[0];
    EXPECT_EQ(first.text, "上書きしますか？");   // code page 932, as given
    EXPECT_EQ(first.caption, "確認");
    EXPECT_EQ(first.type, kMbYesNo);
    EXPECT_EQ(boxes.Last().text, "c");
}

TEST(MessageBox, FakeRecordsBoxesFromOtherThreads) {
    FakeMessageBox boxes;
    std::thread([] { MessageBox("DirectInput8オブジェクトの生成に失敗しました", "", kMbOk); }).join();
    EXPECT_EQ(boxes.Last().text, "DirectInput8オブジェクトの生成に失敗しました");
}

TEST(MessageBox, FakeEndRestoresTheDefault) {
    { FakeMessageBox boxes(kIdNo); }
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBox("t", "c", kMbYesNo), kIdYes);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "c: t\n");
}

}  // namespace
}  // namespace host::kernel
