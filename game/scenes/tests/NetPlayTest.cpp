#include "game/scenes/tests/NetPlay.h"

#include "game/battle/scene/BattleFlow.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/SelectMessages.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

namespace {

using game_test::GameDriver;

// A network battle's hand-backs go to the network scene: its child changes
// (the select, or a loading screen of the next battle), or it goes back to
// its own screen; the set-up goes along.
TEST(NetPlayTest, NetworkBattleHandsBackThroughTheNetworkScene)
{
    GameDriver game(game_test::GameDataRoot(), net_test::Options(1));
    ASSERT_TRUE(net_test::Ready(game));
    net_test::FakeNetworkScene& net = net_test::Net(game);
    IBattleFlow* flow = game.App().Flow();
    ASSERT_TRUE(flow);

    battle_flow::SelectArgs select;
    select.setup.reset(net.MakeSetup(0));
    CBattleSetup* handed = select.setup.get();
    EXPECT_EQ(flow->GoNetworkCharaSelect(std::move(select)), 0);
    ASSERT_TRUE(net.ChildAs<CCharaSelect>(0));
    EXPECT_EQ(net.ChildAs<CCharaSelect>(0)->GetSetup(), handed);

    battle_flow::NextBattleArgs next;
    next.setup.reset(net.MakeSetup(0));
    next.network = 1;
    EXPECT_EQ(flow->GoNetworkNextBattle(std::move(next)), 0);
    EXPECT_TRUE(net.ChildAs<CLoadingScene>(0));

    EXPECT_EQ(flow->LeaveNetworkBattle(), 1);
    EXPECT_FALSE(net.Child(0));
    EXPECT_EQ(net.modes[0], (std::vector<u32>{kHostedSelectMode, kHostedBattleMode, kHostedLobbyMode}));
    EXPECT_EQ(game.CurrentScene(), "FakeNetworkScene");
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
