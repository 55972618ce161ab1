#include "game/network/LobbyEntrance.h"
#include "game/network/tests/LobbyPlayer.h"
#include "game/network/tests/LobbyScreensRun.h"

#include <string>

namespace ORV_TEST_FILE_ID {

using namespace lobby_run;

namespace {

u32 Screen(Player& p) { return p.client.GetScreen(); }

}  // namespace

TEST_F(LobbyRun, EntranceFadesInThenOffersBothWays)
{
    Player& p = AddPlayer(1);
    auto* entrance = p.Screen<CLobbyEntranceScene>(LobbyLayer::kEntrance);
    ASSERT_NE(entrance, nullptr);
    Press(menu::kUp);   // ignored while fading in
    EXPECT_EQ(entrance->GetCursor(), 0u);
    ASSERT_TRUE(FramesUntil([&] { return entrance->GetFade() <= 0.0f; }, 60));
    game.Frame();
    const std::vector<std::string> layers = scene_data::EntranceLayers();
    EXPECT_EQ(Drawn(layers), (std::vector<std::string>{"bg01", "Base", "ent_ip02", "ent_ip03", "ent_sen"}));
    // Up on the first item selects the second; its highlight wipes in.
    Press(menu::kUp);
    EXPECT_EQ(Drawn(layers), (std::vector<std::string>{"bg01", "Base", "ent_lob02", "ent_lob03", "ent_sen2"}));
    const CSceneObject* highlight = entrance->FindLayer("ent_lob03");
    const auto width = [&] { return highlight->GetScreenState().rect.right - highlight->GetScreenState().rect.left; };
    const f32 wiping = width();
    game.Frames(20);
    EXPECT_LT(wiping, width());
    EXPECT_FLOAT_EQ(width(), f32(scene_data::kCellWidth));
    Press(menu::kDown);
    EXPECT_EQ(entrance->GetCursor(), 0u);
    Press(menu::kDecide);
    EXPECT_EQ(Screen(p), u32(LobbyLayer::kConnectOptions));
}

TEST_F(LobbyRun, EntranceWithDirectFirstGoesStraightToTheConnectOptions)
{
    Player& p = AddPlayer(1, 1);
    game.Frame();
    EXPECT_EQ(Drawn(scene_data::EntranceLayers()), std::vector<std::string>{"bg01"});
    ASSERT_TRUE(FramesUntil([&] { return Screen(p) == u32(LobbyLayer::kConnectOptions); }, 60));
    EXPECT_EQ(p.client.GetExitRequest(), 0u);
}

// With the server first and no server there, each failure is shown; then
// decide tries again and cancel leaves (a retry at once would never let
// the player go).
TEST_F(LobbyRun, EntranceWithServerFirstLetsAPlayerWithoutServerLeave)
{
    Player& p = AddPlayer(1, 2);
    ASSERT_TRUE(FramesUntil([&] { return p.MessageCode() == kEventServerLost; }));
    game.Frames(20);
    Press(menu::kDecide);   // the notice goes
    game.Frames(10);
    EXPECT_FALSE(p.MessageShowing() && !p.MessageAnswered());
    EXPECT_EQ(p.MessageCode(), u32(kEventServerLost));   // no new attempt by itself
    Press(menu::kDecide);
    ASSERT_TRUE(FramesUntil([&] { return p.MessageCode() == kEventServerLost && !p.MessageAnswered(); }));
    game.Frames(20);
    Press(menu::kCancel);   // answers the notice
    Press(menu::kCancel);
    EXPECT_EQ(p.client.GetExitRequest(), 1u);
    EXPECT_EQ(Screen(p), u32(LobbyLayer::kEntrance));
}

// A server that answers with the wrong version: the player answers the
// notice and picks the lobby server again, which connects again and says
// so again (the first connection ended; it must not hold the second back).
TEST_F(LobbyRun, EntranceConnectsAgainAfterAWrongVersion)
{
    lobby_test::LobbyServerProcess server;
    ASSERT_TRUE(server.Start(lobby_test::kAccounts, "bad-handshake"));
    Player& p = AddPlayer(1, 0, "127.0.0.1", server.Port());
    ASSERT_TRUE(FramesUntil([&] { return p.Screen<CLobbyEntranceScene>(LobbyLayer::kEntrance)->GetFade() <= 0; }));
    Press(menu::kDown);
    for (u32 attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        Press(menu::kDecide);
        ASSERT_TRUE(FramesUntil([&] { return p.MessageCode() == kEventBadHandshake && !p.MessageAnswered(); }));
        game.Frames(20);
        Press(menu::kDecide);   // the notice goes
        ASSERT_TRUE(FramesUntil([&] { return !p.MessagePending(); }));
        EXPECT_EQ(Screen(p), u32(LobbyLayer::kEntrance));
    }
    const std::string log = server.Log();
    size_t connects = 0;
    for (size_t at = log.find("connect "); at != std::string::npos; at = log.find("connect ", at + 1)) ++connects;
    EXPECT_EQ(connects, 2u);
}

}  // namespace ORV_TEST_FILE_ID
