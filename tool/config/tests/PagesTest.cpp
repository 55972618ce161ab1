// The graphics, game, replay and radio chat pages: each fills from a saved
// configuration, takes a change of every control, and saves exactly the
// file the store writes for the same changes.
#include "tool/config/tests/ToolTestSupport.h"

#include "host/dialog/Dialog.h"

#include <cstring>

namespace tool_test {
namespace {

namespace dlg = host::dialog;
namespace win = host::window;

constexpr u32 kGraphics = 0, kGame = 1, kReplay = 3, kRadioChat = 6;

TEST_F(ToolTest, GraphicsPage)
{
    WriteConfig([](CSaveConfig& c) {
        ConfigGraphics& g = *c.GetGraphicsSettings();
        g.screenSize = 7;
        g.reserved0[0] = 0x11;   // the bytes above the screen size are kept
        g.reserved0[2] = 0x33;
        g.hdrLevel = 3;
        g.traceQuality = 4;
        g.fullScreen = 1;
        g.movieDisplay = 0;
    });
    ASSERT_TRUE(Start());
    EXPECT_EQ(dlg::GetSelection(Item(kGraphics, kScreenSize)), 7);
    EXPECT_EQ(dlg::ItemText(Item(kGraphics, kScreenSize), 7), "1280×720");
    EXPECT_EQ(dlg::ItemCount(Item(kGraphics, kScreenSize)), 12);
    EXPECT_EQ(dlg::GetSelection(Item(kGraphics, kHdr)), 3);
    EXPECT_EQ(dlg::ItemText(Item(kGraphics, kHdr), 3), "LEVEL3");
    EXPECT_EQ(dlg::GetSelection(Item(kGraphics, kTraceQuality)), 4);
    EXPECT_EQ(dlg::ItemText(Item(kGraphics, kTraceQuality), 4), "最高");
    EXPECT_TRUE(dlg::IsChecked(Item(kGraphics, kFullScreen)));
    EXPECT_FALSE(dlg::IsChecked(Item(kGraphics, kMovie)));

    const std::string expected = ExpectedBytes([](CSaveConfig& c) {
        ConfigGraphics& g = *c.GetGraphicsSettings();
        g.screenSize = 11;
        g.hdrLevel = 0;
        g.traceQuality = 1;
        g.fullScreen = 0;
        g.movieDisplay = 1;
    });
    ASSERT_TRUE(dialogs.Choose(Item(kGraphics, kScreenSize), 11));
    ASSERT_TRUE(dialogs.Choose(Item(kGraphics, kHdr), 0));
    ASSERT_TRUE(dialogs.Choose(Item(kGraphics, kTraceQuality), 1));
    ASSERT_TRUE(dialogs.Click(Item(kGraphics, kFullScreen)));
    ASSERT_TRUE(dialogs.Click(Item(kGraphics, kMovie)));
    Save();
    EXPECT_EQ(ConfigBytes(), expected);
}

TEST_F(ToolTest, GraphicsValuesWithoutAListItemAreKept)
{
    WriteConfig([](CSaveConfig& c) {
        c.GetGraphicsSettings()->screenSize = 200;   // read as -56: no item
        c.GetGraphicsSettings()->traceQuality = 9;
    });
    const std::string before = ConfigBytes();
    ASSERT_TRUE(Start());
    EXPECT_EQ(dlg::GetSelection(Item(kGraphics, kScreenSize)), -1);
    EXPECT_EQ(dlg::GetSelection(Item(kGraphics, kTraceQuality)), -1);
    Save();
    EXPECT_EQ(ConfigBytes(), before);
}

TEST_F(ToolTest, GamePage)
{
    WriteConfig([](CSaveConfig& c) {
        ConfigGame& g = *c.GetGameSettings();
        g.voicePlay = 0;
        g.screenshot = 1;
        g.padVibration = 0;
        g.screenShake = 1;
        g.bgmVolume = -10000;
        g.seVolume = -2999;
        g.voiceVolume = -1500;
        g.radarType = 1;
        g.arcadeDifficulty = 3;
        g.guardCorrection = 0;
        g.cameraSide = 0;
        g.lockOnType = 2;
        g.screenshotSize = 8;
    });
    ASSERT_TRUE(Start());
    ShowTab(i32(kGame));
    EXPECT_FALSE(dlg::IsChecked(Item(kGame, kVoicePlay)));
    EXPECT_TRUE(dlg::IsChecked(Item(kGame, kScreenshot)));
    EXPECT_FALSE(dlg::IsChecked(Item(kGame, kPadVibration)));
    EXPECT_TRUE(dlg::IsChecked(Item(kGame, kScreenShake)));
    EXPECT_EQ(dlg::GetTrackbarPos(Item(kGame, kBgmVolume)), -3000);   // silent at the left end
    EXPECT_EQ(dlg::GetTrackbarPos(Item(kGame, kSeVolume)), -2999);
    EXPECT_EQ(dlg::GetTrackbarPos(Item(kGame, kVoiceVolume)), -1500);
    const std::pair<i32, std::vector<std::string>> lists[] = {
        {kRadarType, {"固定", "回転"}},
        {kDifficulty, {"Easy", "Normal", "Hard", "Expert"}},
        {kGuardCorrection, {"OFF", "ON"}},
        {kCameraSide, {"左", "右"}},
        {kLockOnType, {"キャラ正面優先", "距離優先", "カメラ正面優先", "順送り"}},
    };
    for (const auto& [id, items] : lists) {
        ASSERT_EQ(dlg::ItemCount(Item(kGame, id)), i32(items.size())) << id;
        for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(dlg::ItemText(Item(kGame, id), i32(i)), items[i]) << id;
    }
    EXPECT_EQ(dlg::GetSelection(Item(kGame, kRadarType)), 1);
    EXPECT_EQ(dlg::GetSelection(Item(kGame, kDifficulty)), 3);
    EXPECT_EQ(dlg::GetSelection(Item(kGame, kGuardCorrection)), 0);
    EXPECT_EQ(dlg::GetSelection(Item(kGame, kCameraSide)), 0);
    EXPECT_EQ(dlg::GetSelection(Item(kGame, kLockOnType)), 2);
    EXPECT_EQ(dlg::GetSelection(Item(kGame, kScreenshotSize)), 8);
    for (i32 i = 0; i < 12; ++i)   // the same sizes as the screen size
        EXPECT_EQ(dlg::ItemText(Item(kGame, kScreenshotSize), i), dlg::ItemText(Item(kGraphics, kScreenSize), i));

    // Saved untouched, the silent volume stays silent.
    const std::string untouched = ConfigBytes();
    Save();
    EXPECT_EQ(ConfigBytes(), untouched);

    const std::string expected = ExpectedBytes([](CSaveConfig& c) {
        ConfigGame& g = *c.GetGameSettings();
        g.voicePlay = 1;
        g.screenshot = 0;
        g.padVibration = 1;
        g.screenShake = 0;
        g.bgmVolume = -20;
        g.seVolume = -10000;
        g.voiceVolume = -1500;
        g.radarType = 0;
        g.arcadeDifficulty = 1;
        g.guardCorrection = 1;
        g.cameraSide = 1;
        g.lockOnType = 3;
        g.screenshotSize = 0;
    });
    for (i32 id : {kVoicePlay, kScreenshot, kPadVibration, kScreenShake}) ASSERT_TRUE(dialogs.Click(Item(kGame, id)));
    // Whichever slider moves, all three are read: -2999 stays, the left
    // end is silent.
    ASSERT_TRUE(dialogs.Slide(Item(kGame, kBgmVolume), -20));
    EXPECT_EQ(app->GetConfig()->GetGameSettings()->seVolume, -2999);
    ASSERT_TRUE(dialogs.Slide(Item(kGame, kSeVolume), -3000));
    EXPECT_EQ(app->GetConfig()->GetGameSettings()->seVolume, -10000);
    ASSERT_TRUE(dialogs.Choose(Item(kGame, kRadarType), 0));
    ASSERT_TRUE(dialogs.Choose(Item(kGame, kDifficulty), 1));
    ASSERT_TRUE(dialogs.Choose(Item(kGame, kGuardCorrection), 1));
    ASSERT_TRUE(dialogs.Choose(Item(kGame, kCameraSide), 1));
    ASSERT_TRUE(dialogs.Choose(Item(kGame, kLockOnType), 3));
    ASSERT_TRUE(dialogs.Choose(Item(kGame, kScreenshotSize), 0));
    Save();
    EXPECT_EQ(ConfigBytes(), expected);
}

TEST_F(ToolTest, ReplayPage)
{
    WriteConfig([](CSaveConfig& c) {
        ConfigReplay& r = *c.GetReplaySection();
        r.saveReplays = 0;
        r.locked[0] = r.locked[14] = r.locked[29] = 1;
    });
    ASSERT_TRUE(Start());
    ShowTab(i32(kReplay));
    EXPECT_FALSE(dlg::IsChecked(Item(kReplay, kSaveReplays)));
    for (i32 slot = 1; slot <= 30; ++slot)
        EXPECT_EQ(dlg::IsChecked(Item(kReplay, kReplayLock + slot - 1)), slot == 1 || slot == 15 || slot == 30) << slot;

    const std::string expected = ExpectedBytes([](CSaveConfig& c) {
        ConfigReplay& r = *c.GetReplaySection();
        r.saveReplays = 1;
        r.locked[1] = r.locked[15] = 1;
        r.locked[0] = r.locked[29] = 0;
    });
    for (i32 id : {kSaveReplays, kReplayLock + 1, kReplayLock + 15, kReplayLock + 0, kReplayLock + 29})
        ASSERT_TRUE(dialogs.Click(Item(kReplay, id)));
    Save();
    EXPECT_EQ(ConfigBytes(), expected);
}

TEST_F(ToolTest, RadioChatPage)
{
    const std::string long39(39, 'm');
    WriteConfig([&](CSaveConfig& c) {
        ConfigRadioChatEntry* e = c.GetRadioChatSection()->entries;
        e[1].destination = 1;
        std::strcpy(e[0].message, "こんにちは");
        std::memcpy(e[11].message, long39.c_str(), 40);
    });
    const std::string before = ConfigBytes();
    ASSERT_TRUE(Start());
    ShowTab(i32(kRadioChat));
    // Rows left as a fresh record has them (destination 0) are ticked.
    for (i32 i = 0; i < 12; ++i) EXPECT_EQ(dlg::IsChecked(Item(kRadioChat, kChatEveryone + 10 * i)), i != 1) << i;
    EXPECT_EQ(Text(Item(kRadioChat, kChatMessage)), "こんにちは");
    // A stored message longer than the tool lets one type is shown and kept.
    EXPECT_EQ(Text(Item(kRadioChat, kChatMessage + 110)), long39);
    Save();
    EXPECT_EQ(ConfigBytes(), before);

    const std::string long37(37, 'x');
    const std::string expected = ExpectedBytes([&](CSaveConfig& c) {
        ConfigRadioChatEntry* e = c.GetRadioChatSection()->entries;
        e[0].destination = 1;
        e[1].destination = 0;
        std::memset(e[0].message, 0, 40);
        std::strcpy(e[0].message, "よろしく");
        std::strcpy(e[2].message, long37.c_str());
        std::memset(e[11].message, 0, 40);
    });
    ASSERT_TRUE(dialogs.Click(Item(kRadioChat, kChatEveryone)));
    ASSERT_TRUE(dialogs.Click(Item(kRadioChat, kChatEveryone + 10)));
    ASSERT_TRUE(dialogs.Type(Item(kRadioChat, kChatMessage), "よろしく"));
    ASSERT_TRUE(dialogs.Type(Item(kRadioChat, kChatMessage + 20), long37));
    EXPECT_FALSE(dialogs.Type(Item(kRadioChat, kChatMessage + 30), long37 + "x"));   // the edit refuses it
    ASSERT_TRUE(dialogs.Type(Item(kRadioChat, kChatMessage + 110), ""));
    EXPECT_TRUE(TakeBoxes().empty());
    // Text put past the limit another way (pasted, say) is refused with a
    // message and the field keeps its message.
    win::SetWindowText(Item(kRadioChat, kChatMessage + 20), long37 + "ああ");
    const auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, app->GetPage(kRadioChat));
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, "メッセージは半角37文字（全角18文字）以内で入力してください。");
    EXPECT_EQ(Text(Item(kRadioChat, kChatMessage + 20)), long37);
    Save();
    EXPECT_EQ(ConfigBytes(), expected);
}

// Switching tabs reads nothing back from the file: every page shows the
// record as last edited.
TEST_F(ToolTest, TabsShowTheRecordAsEdited)
{
    ASSERT_TRUE(Start());
    ASSERT_TRUE(dialogs.Choose(Item(kGraphics, kHdr), 2));
    ShowTab(i32(kReplay));
    ShowTab(i32(kGraphics));
    EXPECT_EQ(dlg::GetSelection(Item(kGraphics, kHdr)), 2);
    EXPECT_EQ(app->GetConfig()->GetGraphicsSettings()->hdrLevel, 2);
}

}  // namespace
}  // namespace tool_test
