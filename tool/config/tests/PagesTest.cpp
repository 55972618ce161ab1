// The graphics, game, replay and radio chat pages: they fill from the saved
// configuration and save exactly the file the store writes for the same
// changes.
#include "tool/config/tests/ToolTestSupport.h"

#include "host/dialog/Dialog.h"

#include <cstring>

namespace tool_test {
namespace ORV_TEST_FILE_ID {

namespace {

namespace dlg = host::dialog;
namespace win = host::window;

constexpr u32 kGraphics = 0, kGame = 1, kReplay = 3, kRadioChat = 6;

std::string Repeat(const std::string& piece, u32 times)
{
    std::string text;
    for (u32 i = 0; i < times; ++i) text += piece;
    return text;
}

// Radio-chat rows entered past 37 bytes, and what the message keeps.
const struct CutMessage {
    u32 row;
    bool typed;   // by the user, else set by the program
    std::string entered, stored;
} kCutMessages[] = {
    {3, true, Repeat("abcd", 10), Repeat("abcd", 9) + "a"},                       // 40 pasted: 37
    {4, true, "x" + Repeat("あ", 19), "x" + Repeat("あ", 18)},                  // 39: 37 whole
    {5, true, Repeat("あ", 19), Repeat("あ", 18)},                              // 38: no half character
    {7, false, Repeat("y", 20) + Repeat("あ", 10), Repeat("y", 20) + Repeat("あ", 8)},
};

TEST_F(ToolTest, PagesFillFromTheFileAndSaveWhatTheStoreWrites)
{
    WriteConfig([](CSaveConfig& c) {
        ConfigGraphics& g = *c.GetGraphicsSettings();
        g.screenSize = 7;
        g.reserved0[2] = 0x33;   // the bytes above the screen size are kept
        g.hdrLevel = 3;
        g.traceQuality = 9;   // no list item: shown as none and kept
        g.fullScreen = 1;
        ConfigGame& m = *c.GetGameSettings();
        m.bgmVolume = -10000;
        m.seVolume = -1500;
        m.voiceVolume = -2999;
        m.radarType = 1;
        m.arcadeDifficulty = 3;
        m.screenshotSize = 8;
        m.screenShake = 1;
        c.GetReplaySection()->locked[29] = 1;
        c.GetRadioChatSection()->entries[1].destination = 1;
        std::strcpy(c.GetRadioChatSection()->entries[0].message, "こんにちは");
    });
    ASSERT_TRUE(Start());
    const std::pair<i32, i32> selections[] = {{kScreenSize, 7}, {kHdr, 3}, {kTraceQuality, -1}, {kRadarType, 1},
        {kDifficulty, 3}, {kScreenshotSize, 8}};
    for (const auto& [id, selection] : selections)
        EXPECT_EQ(dlg::GetSelection(Item(id < kPadVibration ? kGraphics : kGame, id)), selection) << id;
    EXPECT_EQ(dlg::ItemText(Item(kGraphics, kScreenSize), 7), "1280×720");
    EXPECT_EQ(dlg::ItemText(Item(kGame, kLockOnType), 3), "順送り");
    EXPECT_TRUE(dlg::IsChecked(Item(kGraphics, kFullScreen)));
    EXPECT_TRUE(dlg::IsChecked(Item(kGame, kScreenShake)));
    EXPECT_EQ(dlg::GetTrackbarPos(Item(kGame, kBgmVolume)), -3000);   // silent at the left end
    EXPECT_EQ(dlg::GetTrackbarPos(Item(kGame, kVoiceVolume)), -2999);
    EXPECT_TRUE(dlg::IsChecked(Item(kReplay, kReplayLock + 29)));
    EXPECT_FALSE(dlg::IsChecked(Item(kReplay, kReplayLock + 28)));
    EXPECT_TRUE(dlg::IsChecked(Item(kRadioChat, kChatEveryone)));
    EXPECT_FALSE(dlg::IsChecked(Item(kRadioChat, kChatEveryone + 10)));
    EXPECT_EQ(Text(Item(kRadioChat, kChatMessage)), "こんにちは");
    const std::string untouched = ConfigBytes();
    Save();
    EXPECT_EQ(ConfigBytes(), untouched);

    const std::string long37(37, 'x');
    const std::string expected = ExpectedBytes([&](CSaveConfig& c) {
        ConfigGraphics& g = *c.GetGraphicsSettings();
        g.screenSize = 11;
        g.hdrLevel = 0;
        g.fullScreen = 0;
        g.movieDisplay = !g.movieDisplay;
        ConfigGame& m = *c.GetGameSettings();
        m.voicePlay = !m.voicePlay;
        m.screenShake = 0;
        m.bgmVolume = -20;
        m.seVolume = -10000;   // the left end is silent; voice's -2999 stays
        m.lockOnType = 3;
        m.screenshotSize = 0;
        c.GetReplaySection()->saveReplays = !c.GetReplaySection()->saveReplays;
        c.GetReplaySection()->locked[0] = 1;
        c.GetReplaySection()->locked[29] = 0;
        ConfigRadioChatEntry* e = c.GetRadioChatSection()->entries;
        e[0].destination = 1;
        e[1].destination = 0;
        std::memset(e[0].message, 0, sizeof e[0].message);
        std::strcpy(e[0].message, "よろしく");
        std::strcpy(e[2].message, long37.c_str());
        for (const auto& row : kCutMessages) std::strcpy(e[row.row].message, row.stored.c_str());
    });
    ASSERT_TRUE(dialogs.Choose(Item(kGraphics, kScreenSize), 11));
    ASSERT_TRUE(dialogs.Choose(Item(kGraphics, kHdr), 0));
    ASSERT_TRUE(dialogs.Click(Item(kGraphics, kFullScreen)));
    ASSERT_TRUE(dialogs.Click(Item(kGraphics, kMovie)));
    ShowTab(i32(kGame));
    for (i32 id : {kVoicePlay, kScreenShake}) ASSERT_TRUE(dialogs.Click(Item(kGame, id)));
    ASSERT_TRUE(dialogs.Slide(Item(kGame, kBgmVolume), -20));
    ASSERT_TRUE(dialogs.Slide(Item(kGame, kSeVolume), -3000));
    ASSERT_TRUE(dialogs.Choose(Item(kGame, kLockOnType), 3));
    ASSERT_TRUE(dialogs.Choose(Item(kGame, kScreenshotSize), 0));
    ShowTab(i32(kReplay));
    for (i32 id : {kSaveReplays, kReplayLock, kReplayLock + 29}) ASSERT_TRUE(dialogs.Click(Item(kReplay, id)));
    ShowTab(i32(kRadioChat));
    ASSERT_TRUE(dialogs.Click(Item(kRadioChat, kChatEveryone)));
    ASSERT_TRUE(dialogs.Click(Item(kRadioChat, kChatEveryone + 10)));
    ASSERT_TRUE(dialogs.Type(Item(kRadioChat, kChatMessage), "よろしく"));
    ASSERT_TRUE(dialogs.Type(Item(kRadioChat, kChatMessage + 20), long37));
    // Past 37 bytes, pasted or set by the program: the first whole
    // characters are kept and shown, without a word.
    TakeBoxes();
    for (const auto& row : kCutMessages) {
        const Handle edit = Item(kRadioChat, kChatMessage + 10 * i32(row.row));
        if (row.typed) EXPECT_TRUE(dialogs.Type(edit, row.entered)) << row.row;
        else win::SetWindowText(edit, row.entered);
        EXPECT_EQ(Text(edit), row.stored) << row.row;
    }
    EXPECT_TRUE(TakeBoxes().empty());
    Save();
    EXPECT_EQ(ConfigBytes(), expected);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace tool_test
