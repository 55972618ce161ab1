// Closing, saving and a configuration that cannot be read.
#include "tool/config/tests/ToolTestSupport.h"

#include "engine/platform/app/Entry.h"
#include "host/dialog/Dialog.h"
#include "host/kernel/FakeFileWatch.h"

namespace tool_test {
namespace ORV_TEST_FILE_ID {

namespace {

namespace dlg = host::dialog;
namespace win = host::window;
using host::kernel::kIdNo;
using host::kernel::kIdYes;

TEST_F(ToolTest, ClosingAsksFirstAndNoKeepsTheEdits)
{
    ASSERT_TRUE(Start());
    const Handle main = app->GetMainWindow();
    ASSERT_TRUE(dialogs.Click(Item(0, kFullScreen)));
    const std::string lost = "保存されていないデータは失われます\nコンフィグツールを閉じますか？";
    const std::pair<std::function<void()>, std::string> ways[] = {
        {[&] { dialogs.Close(main), Pump(); }, "コンフィグツールを閉じますか？"},
        {[&] { dialogs.Click(dlg::GetDlgItem(main, kQuit)); }, lost},
        {[&] { dialogs.PressEscape(main); }, lost},
    };
    for (const auto& [act, question] : ways) {
        windows.AnswerBoxes({kIdNo});
        act();
        const auto boxes = TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u) << question;
        EXPECT_EQ(boxes[0].text, question);
        EXPECT_EQ(boxes[0].caption, "終了確認");
        ASSERT_TRUE(win::IsWindow(main));
    }
    windows.AnswerBoxes({kIdYes});
    dialogs.Click(dlg::GetDlgItem(main, kQuit));
    EXPECT_FALSE(win::IsWindow(main));
    CSaveConfig saved;   // left without saving: the file keeps the old value
    ASSERT_EQ(saved.Load(), 1);
    EXPECT_EQ(saved.GetGraphicsSettings()->fullScreen, 0u);
}

// "終了" warns of loss whatever stands unsaved: with nothing changed, with
// a change, with it undone and after a save.
TEST_F(ToolTest, QuittingAlwaysWarnsOfLoss)
{
    ASSERT_TRUE(Start());
    const Handle main = app->GetMainWindow();
    const std::string lost = "保存されていないデータは失われます\nコンフィグツールを閉じますか？";
    const auto quitAsks = [&] {
        windows.AnswerBoxes({kIdNo});
        dialogs.Click(dlg::GetDlgItem(main, kQuit));
        const auto boxes = TakeBoxes();
        return boxes.size() == 1 ? boxes[0].text : std::string("boxes: ") + std::to_string(boxes.size());
    };
    EXPECT_EQ(quitAsks(), lost);
    ASSERT_TRUE(dialogs.Click(Item(0, kFullScreen)));
    EXPECT_EQ(quitAsks(), lost);
    ASSERT_TRUE(dialogs.Click(Item(0, kFullScreen)));   // back as loaded
    EXPECT_EQ(quitAsks(), lost);
    ASSERT_TRUE(dialogs.Click(Item(0, kFullScreen)));
    Save(kIdNo);
    EXPECT_EQ(quitAsks(), lost);
    ASSERT_TRUE(win::IsWindow(main));
}

// A failed save says so and keeps the old file and the edits.
TEST_F(ToolTest, SavingAfterAFailedSave)
{
    WriteConfig([](CSaveConfig& c) { c.GetGameSettings()->bgmVolume = -1234; });
    const std::string before = ConfigBytes();
    ASSERT_TRUE(Start());
    const std::string expected = ExpectedBytes([](CSaveConfig& c) { c.GetGraphicsSettings()->fullScreen = 1; });
    ASSERT_TRUE(dialogs.Click(Item(0, kFullScreen)));
    const Handle main = app->GetMainWindow();
    {
        host::kernel::FakeFileWatch watch;
        watch.Fail(host::kernel::FileStep::Rename);
        ASSERT_TRUE(dialogs.Click(dlg::GetDlgItem(main, kSave)));
    }
    const auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "保存に失敗しました");
    EXPECT_EQ(ConfigBytes(), before);
    EXPECT_TRUE(win::IsWindow(main));
    Save(kIdNo);
    EXPECT_EQ(ConfigBytes(), expected);
}

// A configuration that cannot be read (a later version) ends the program
// with -1, no dialog, and the file left alone.
TEST_F(ToolTest, AnUnreadableConfigurationEndsTheProgram)
{
    save_test::WriteBytes(folder.Save(CSaveConfig::kFileName), save_test::Bytes().U32(0x13001001).Zeros(100));
    const std::string before = ConfigBytes();
    EXPECT_EQ(WinMain([]() -> CApplicationMain* { return new CConfigToolApp; }, GetModuleInstance()), -1);
    EXPECT_EQ(windows.Boxes().back().text, "コンフィグファイルが読み込めません");
    EXPECT_EQ(host::dialog::NewestDialog(kMainDialog), nullptr);
    EXPECT_EQ(ConfigBytes(), before);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace tool_test
