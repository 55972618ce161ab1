// A direct room with its host and a player who joined, on real OpenGL at
// 1024 x 768 with the real font: the base names the chat and the player
// list (read by tesseract), and the list shows both players in white on
// the dark background. Written to
// the build folder as RoomPlayersFrame.png (and the parts read).
#include "game/battle/scene/tests/gl/Png.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyRoom.h"
#include "game/network/LobbyScreenSet.h"
#include "game/network/RoomMembers.h"
#include "game/network/tests/LobbyDoubles.h"
#include "game/network/tests/LobbySceneHarness.h"
#include "game/network/tests/gl/LobbyGlRoom.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/MenuRun.h"
#include "game/scenes/tests/TextRecogniser.h"
#include "game/scenes/tests/gl/GlGame.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace room_players_frame_test {

namespace ORV_TEST_FILE_ID {

using namespace lobby_gl_test;

class RoomPlayersFrame : public LobbyGlRoom {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(StartClient()); }
};

TEST_F(RoomPlayersFrame, TheListNamesThePlayerWhoJoined)
{
    CLobbyRoomScene* room = HostRoom(0);
    ASSERT_NE(room, nullptr);
    RoomMemberTable& members = client_.MemberTable();
    ASSERT_TRUE(room::AddMember(members, 8, "peer-of-mio"));
    std::strncpy(members.members[1].name, "Mio", sizeof members.members[1].name);
    client_.SetScreen(u32(LobbyLayer::kRoom));
    for (u32 i = 0; i < 10; ++i) Frame(20);
    // The focus on the chat: every player's name in full white.
    const u8 right = u8(app_->GetSaveConfig()->GetKeyConfigSection()->keyboard[menu::kRight - 8]);
    input_.SetKey(right, true);
    Frame(20);
    input_.SetKey(right, false);
    for (u32 i = 0; i < 5; ++i) Frame(20);

    // Twice: glyphs new to the font's atlas show from the second draw.
    ReadFrame(kWidth, kHeight);
    const std::vector<u32> frame = ReadFrame(kWidth, kHeight);
    const std::string png = gl_test::Png(frame, kWidth, kHeight);
    const std::string dir = std::string(ORV_TEST_BUILD_DIR) + "/";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(dir + "RoomPlayersFrame.png", png.data(), png.size()));
    int status = 0;
    // The headings, dark on the base's sheet.
    EXPECT_EQ(text_recogniser::ReadBoxes(frame, kWidth, {{{44, 50, 120, 26}}, {{824, 50, 180, 26}}},
                                         dir + "RoomHeadings.png", &status),
              "Chat\nPlayers\n")
        << "see " << dir << "RoomPlayersFrame.png";
    ASSERT_NE(status, 127) << "tesseract is not installed (scripts/install-deps.sh installs it)";
    // The players: a row of the list's white letters for each, none on the
    // row below them. (Their 14-pixel font is too small for the
    // recogniser to read whole.)
    const auto ink = [&](u32 row) {
        u32 n = 0;
        const u32 top = u32(CLobbyRoomScene::kMemberY + CLobbyRoomScene::kLineHeight * f32(row));
        for (u32 y = top; y < top + u32(CLobbyRoomScene::kLineHeight); ++y)
            for (u32 x = u32(CLobbyRoomScene::kMemberX); x < u32(CLobbyRoomScene::kMemberX) + 160; ++x)
                n += (frame[y * kWidth + x] & 0xC0C0C0u) == 0xC0C0C0u;
        return n;
    };
    EXPECT_GT(ink(0), 10u) << "no host; see " << dir << "RoomPlayersFrame.png";
    EXPECT_GT(ink(1), 10u) << "the player who joined is not listed; see " << dir << "RoomPlayersFrame.png";
    EXPECT_EQ(ink(2), 0u) << "see " << dir << "RoomPlayersFrame.png";
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace room_players_frame_test
