// The lobby's screens on real OpenGL at 1024 x 768 with the real font, read
// by tesseract: the entrance names both ways and the chosen way's line in
// its own shape; the log-in names its fields; the lobby names its three
// lists; a failed connect's notice says what failed with the host and the
// port. Written to the build folder as Lobby<Screen>.png (and the parts
// read, LobbyRead<Screen>.png).
#include "game/battle/scene/tests/gl/Png.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyEntrance.h"
#include "game/network/LobbyMessage.h"
#include "game/network/LobbyRoom.h"
#include "game/network/LobbyScreenSet.h"
#include "game/network/tests/gl/LobbyGlRoom.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/tests/TextRecogniser.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lobby_screens_frame_test {

namespace ORV_TEST_FILE_ID {

using namespace lobby_gl_test;
using text_recogniser::Box;

class LobbyScreensFrame : public LobbyGlRoom {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartClient()); }

    void Press(u32 action)
    {
        const u8 key = u8(app_->GetSaveConfig()->GetKeyConfigSection()->keyboard[action - 8]);
        input_.SetKey(key, true);
        Frame(20);
        input_.SetKey(key, false);
        for (u32 i = 0; i < 20; ++i) Frame(20);
    }

    // The frame (twice: glyphs new to the font's atlas show from the second
    // draw), written as Lobby<name>.png; the boxes read, lines without spaces.
    std::string Read(const std::string& name, const std::vector<std::vector<Box>>& rows, bool whiteInk = false,
                     u32 scale = 2)
    {
        ReadFrame(kWidth, kHeight);
        std::vector<u32> frame = ReadFrame(kWidth, kHeight);
        const std::string png = gl_test::Png(frame, kWidth, kHeight);
        EXPECT_TRUE(host::kernel::WriteFileAtomic(Out("Lobby" + name + ".png"), png.data(), png.size()));
        // The scenes' own texts are white with a black outline on a dark
        // box: their light texels are the ink then.
        if (whiteInk)
            for (u32& c : frame) c = (c & 0xC0C0C0u) == 0xC0C0C0u ? 0xFF000000u : 0xFFFFFFFFu;
        int status = 0;
        const std::string read =
            text_recogniser::ReadBoxes(frame, kWidth, rows, Out("LobbyRead" + name + ".png"), &status, "", false, scale);
        EXPECT_NE(status, 127) << "tesseract is not installed (scripts/install-deps.sh installs it)";
        return read;
    }
};

TEST_F(LobbyScreensFrame, TheEntranceNamesBothWaysAndTheChosenWaysLine)
{
    using namespace scene_data;
    auto* entrance = dynamic_cast<CLobbyEntranceScene*>(set_->Scene(LobbyLayer::kEntrance));
    ASSERT_NE(entrance, nullptr);
    client_.SetScreen(u32(LobbyLayer::kEntrance));
    for (u32 i = 0; i < 60; ++i) Frame(20);
    ASSERT_LE(entrance->GetFade(), 0.0f);
    const auto item = [](u32 i) {
        return Box{u32(kEntranceItemLeft) + 4, u32(kEntranceItemTop + kEntranceItemStep * f32(i)) + 4, 248, 40};
    };
    const Box line{u32(kEntranceLineLeft) + 4, u32(kEntranceLineTop) + 4, 376, 32};
    EXPECT_EQ(Read("Entrance", {{item(0)}, {item(1)}, {line}}), "Direct\nLobbyserver\nHostorjoinbyaddress\n")
        << "see " << Out("LobbyEntrance.png");
    Press(menu::kDown);
    ASSERT_EQ(entrance->GetCursor(), 1u);
    EXPECT_EQ(Read("EntranceServer", {{item(0)}, {item(1)}, {line}}), "Direct\nLobbyserver\nMeetonthelobbyserver\n")
        << "see " << Out("LobbyEntranceServer.png");
}

TEST_F(LobbyScreensFrame, TheLogInAndTheLobbyNameWhatTheyShow)
{
    using namespace scene_data;
    client_.SetScreen(u32(LobbyLayer::kLogin));
    for (u32 i = 0; i < 10; ++i) Frame(20);
    EXPECT_EQ(Read("Login", {{{382, 222, 196, 30}}, {{314, 270, 150, 30}}, {{314, 370, 150, 30}}}),
              "Lobbyserver\nLobbyID\nPassword\n")
        << "see " << Out("LobbyLogin.png");
    client_.SetScreen(u32(LobbyLayer::kLobby));
    for (u32 i = 0; i < 10; ++i) Frame(20);
    const u32 top = u32(kLobbyHeadingTop) - 1;
    EXPECT_EQ(Read("Main", {{{u32(kLobbyRoomsLeft) - 2, top, 120, 30}},
                            {{u32(kLobbyChatLeft) - 2, top, 120, 30}},
                            {{u32(kLobbyPlayersLeft) - 2, top, 150, 30}}}),
              "Rooms\nChat\nPlayers\n")
        << "see " << Out("LobbyMain.png");
}

// The notice over the entrance: the message's own words in its image, and
// under them, in the scene's white, what failed and where.
TEST_F(LobbyScreensFrame, AFailedConnectsNoticeNamesTheHostAndPort)
{
    client_.SetScreen(u32(LobbyLayer::kEntrance));
    for (u32 i = 0; i < 60; ++i) Frame(20);
    client_.PostEvent(kEventNoRoute, "Lobby server not found:\nlobby.example port 15500");
    for (u32 i = 0; i < 3; ++i) Frame(20);
    const u32 x = u32(CLobbySceneMessage::kDetailX) - 4, y = u32(CLobbySceneMessage::kDetailY) - 2;
    const u32 step = u32(CLobbySceneMessage::kDetailStep);
    EXPECT_EQ(Read("Notice", {{{x, y, 480, step}}, {{x, y + step, 480, step}}}, true, 3),
              "Lobbyservernotfound:\nlobby.exampleport15500\n")
        << "see " << Out("LobbyNotice.png");
    // A notice raised without words shows none.
    client_.PostEvent(kEventNoRoute);
    for (u32 i = 0; i < 3; ++i) Frame(20);
    EXPECT_EQ(Read("NoticeBare", {{{x, y, 480, step}}, {{x, y + step, 480, step}}}, true, 3), "")
        << "see " << Out("LobbyNoticeBare.png");
}

// The room's top above its base is the background alone: the drifting
// sparkle leaves no blank box there.
TEST_F(LobbyScreensFrame, TheRoomsTopShowsNoBlankBox)
{
    CLobbyRoomScene* room = HostRoom(0);
    ASSERT_NE(room, nullptr);
    client_.SetScreen(u32(LobbyLayer::kRoom));
    u32 light = 0;
    for (u32 shot = 0; shot < 3; ++shot) {
        for (u32 i = 0; i < 20; ++i) Frame(20);   // the sparkle drifts on
        const std::vector<u32> frame = ReadFrame(kWidth, kHeight);
        for (u32 y = 2; y < 40; ++y)
            for (u32 x = 0; x < kWidth; ++x) light += (frame[y * kWidth + x] & 0xC0C0C0u) == 0xC0C0C0u;
    }
    EXPECT_EQ(light, 0u);
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace lobby_screens_frame_test
