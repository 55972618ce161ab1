// Start-up, tabs, routing, saving and closing of the configuration tool.
#include "tool/config/tests/ToolTestSupport.h"

#include "host/dialog/Dialog.h"
#include "engine/platform/app/Entry.h"
#include "host/kernel/FakeFileWatch.h"

namespace tool_test {
namespace {

namespace dlg = host::dialog;
namespace win = host::window;
using host::kernel::kIdNo;
using host::kernel::kIdYes;

bool QuitPosted()
{
    win::Message m;
    while (win::PeekMessage(m))
        if (m.message == win::kWmQuit) return true;
    return false;
}

TEST_F(ToolTest, StartsWithItsPagesAndTheFirstTabInFront)
{
    ASSERT_TRUE(Start());
    const Handle main = app->GetMainWindow();
    EXPECT_EQ(win::GetWindowText(main), "Cendrava Config Tool");
    EXPECT_TRUE(win::IsWindowVisible(main));
    const Handle tab = dlg::GetDlgItem(main, kTab);
    const i32 templates[] = {1000, 2000, 3000, 6000, 7000, 4000, 5000};
    for (u32 i = 0; i < CConfigToolApp::kPageCount; ++i) {
        EXPECT_EQ(dlg::NewestDialog(templates[i]), app->GetPage(i)) << i;
        EXPECT_EQ(win::GetParent(app->GetPage(i)), tab);
        EXPECT_EQ(win::IsWindowVisible(app->GetPage(i)), i == 0) << i;
        EXPECT_EQ(win::GetClientRect(app->GetPage(i)), (win::Rect{0, 0, dlg::GetTabDisplayRect(tab).Width(),
                                                           dlg::GetTabDisplayRect(tab).Height()}));
        ASSERT_TRUE(dialogs.Choose(tab, i32(i)));
        EXPECT_EQ(app->GetShownPage(), app->GetPage(i));
    }
    // The key sub pages live on the key-config page, the keyboard in front.
    EXPECT_EQ(win::GetParent(app->GetKeyPage(0)), app->GetPage(5));
    EXPECT_EQ(app->GetShownKeyPage(), app->GetKeyPage(0));
    ShowTab(5);
    EXPECT_TRUE(win::IsWindowVisible(app->GetKeyPage(0)));
    EXPECT_FALSE(win::IsWindowVisible(app->GetKeyPage(1)));
    ShowKeyTab(1);
    EXPECT_EQ(app->GetShownKeyPage(), app->GetKeyPage(1));
    EXPECT_FALSE(win::IsWindowVisible(app->GetKeyPage(0)));
    EXPECT_EQ(app->GetSelectedRow(), 0);
    EXPECT_EQ(app->GetSelectedPlayer(), 0);
    EXPECT_TRUE(TakeBoxes().empty());
}

TEST_F(ToolTest, AMissingConfigurationStartsFromTheDefaults)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(ConfigBytes().size(), 6876u);
    EXPECT_EQ(Text(Item(2, kPort)), "18000");
}

TEST_F(ToolTest, OtherNotificationsChangeNothing)
{
    ASSERT_TRUE(Start());
    const Handle main = app->GetMainWindow();
    const Handle tab = dlg::GetDlgItem(main, kTab);
    dlg::NotifyHeader other{dlg::GetDlgItem(main, kSave), kSave, dlg::kTcnSelChange};
    EXPECT_EQ(win::SendMessage(main, win::kWmNotify, kSave, reinterpret_cast<LParam>(&other)), 1);
    dlg::SelectTab(tab, 3);   // the program's own change: no notification
    dlg::NotifyHeader code{tab, kTab, 12345};
    EXPECT_EQ(win::SendMessage(main, win::kWmNotify, kTab, reinterpret_cast<LParam>(&code)), 1);
    EXPECT_EQ(app->GetShownPage(), app->GetPage(0));
    EXPECT_EQ(win::SendMessage(main, win::kWmCommand, win::MakeWParam(4242, 0), 0), 1);
    EXPECT_EQ(win::SendMessage(main, win::kWmUser, 0, 0), 0);
    EXPECT_TRUE(win::IsWindow(main));
}

TEST_F(ToolTest, ClosingAsksFirstAndNoKeepsTheEdits)
{
    ASSERT_TRUE(Start());
    const Handle main = app->GetMainWindow();
    ASSERT_TRUE(dialogs.Click(Item(0, kFullScreen)));
    struct Way {
        std::function<void()> act;
        const char* question;
    } ways[] = {
        {[&] { dialogs.Close(main); win::Message m; while (win::PeekMessage(m)) win::DispatchMessage(m); },
            "コンフィグツールを閉じますか？"},
        {[&] { dialogs.Click(dlg::GetDlgItem(main, kQuit)); },
            "保存されていないデータは失われます\nコンフィグツールを閉じますか？"},
        {[&] { dialogs.PressEscape(main); }, "保存されていないデータは失われます\nコンフィグツールを閉じますか？"},
    };
    for (const Way& way : ways) {
        windows.AnswerBoxes({kIdNo});
        way.act();
        const auto boxes = TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u) << way.question;
        EXPECT_EQ(boxes[0].owner, main);
        EXPECT_EQ(boxes[0].text, way.question);
        EXPECT_EQ(boxes[0].caption, "終了確認");
        EXPECT_EQ(boxes[0].type, host::kernel::kMbYesNo | host::kernel::kMbIconQuestion);
        ASSERT_TRUE(win::IsWindow(main));
        EXPECT_EQ(app->GetConfig()->GetGraphicsSettings()->fullScreen, 1u);
    }
    windows.AnswerBoxes({kIdYes});
    dialogs.Click(dlg::GetDlgItem(main, kQuit));
    EXPECT_FALSE(win::IsWindow(main));
    EXPECT_FALSE(win::IsWindow(app->GetPage(3)));
    EXPECT_TRUE(QuitPosted());
    // Left without saving: the file keeps the old value.
    CSaveConfig saved;
    ASSERT_EQ(saved.Load(), 1);
    EXPECT_EQ(saved.GetGraphicsSettings()->fullScreen, 0u);
}

// A failed save says so and keeps the old file and the edits; each save
// then writes the whole record.
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
        EXPECT_EQ(win::SendMessage(main, win::kWmCommand, win::MakeWParam(kSave, dlg::kBnClicked),
                      reinterpret_cast<LParam>(dlg::GetDlgItem(main, kSave))),
            0);
    }
    const auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, main);
    EXPECT_EQ(boxes[0].text, "保存に失敗しました");
    EXPECT_EQ(boxes[0].caption, "エラー");
    EXPECT_EQ(ConfigBytes(), before);
    EXPECT_TRUE(win::IsWindow(main));
    Save(kIdNo);
    EXPECT_EQ(ConfigBytes(), expected);
    Save(kIdNo);
    EXPECT_EQ(ConfigBytes(), expected);
    EXPECT_EQ(windows.Boxes().back().type, host::kernel::kMbYesNo | host::kernel::kMbIconQuestion);
    // Enter presses the save button too; Yes after it closes.
    windows.AnswerBoxes({kIdYes});
    ASSERT_TRUE(dialogs.PressEnter(main));
    EXPECT_FALSE(win::IsWindow(main));
    EXPECT_TRUE(QuitPosted());
}

TEST_F(ToolTest, ReleaseTwiceIsHarmless)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(app->Release(), 1);
    EXPECT_EQ(app->GetConfig(), nullptr);
    EXPECT_EQ(app->Release(), 1);
    EXPECT_EQ(app->Update(), 1);
    EXPECT_EQ(app->Draw(), 1);
}

}  // namespace
}  // namespace tool_test

namespace tool_test {
namespace {

// The program's entry runs the tool until the user closes it.
class ClosingTool : public CConfigToolApp {
public:
    i32 Update() override
    {
        CConfigToolApp::Update();
        if (++frames == 3) g_dialogs->Click(host::dialog::GetDlgItem(GetMainWindow(), kQuit));
        return 1;
    }
    int frames = 0;
    static inline host::dialog::FakeDialogs* g_dialogs = nullptr;
};

TEST_F(ToolTest, TheEntryRunsTheToolUntilItIsClosed)
{
    ClosingTool::g_dialogs = &dialogs;
    windows.AnswerBoxes({host::kernel::kIdYes});
    EXPECT_EQ(WinMain([]() -> CApplicationMain* { return new ClosingTool; }, GetModuleInstance()), 0);
    EXPECT_EQ(GetApplication(), nullptr);
    EXPECT_EQ(windows.Boxes().back().text, "保存されていないデータは失われます\nコンフィグツールを閉じますか？");
    EXPECT_EQ(host::dialog::NewestDialog(kMainDialog), nullptr);

    // A configuration that cannot be read (a later version) ends the
    // program with -1, no dialog, and the file left alone.
    save_test::WriteBytes(folder.Save(CSaveConfig::kFileName), save_test::Bytes().U32(0x13001001).Zeros(100));
    const std::string before = ConfigBytes();
    EXPECT_EQ(WinMain([]() -> CApplicationMain* { return new ClosingTool; }, GetModuleInstance()), -1);
    const auto box = windows.Boxes().back();
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, "コンフィグファイルが読み込めません");
    EXPECT_EQ(box.caption, "");
    EXPECT_EQ(box.type, host::kernel::kMbOk);
    EXPECT_EQ(host::dialog::NewestDialog(kMainDialog), nullptr);
    EXPECT_EQ(ConfigBytes(), before);
}

}  // namespace
}  // namespace tool_test
