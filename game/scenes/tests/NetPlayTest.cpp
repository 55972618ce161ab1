#include "game/scenes/tests/NetPlay.h"

#include "game/scenes/SelectMessages.h"

#include <gtest/gtest.h>

namespace {

using game_test::GameDriver;

// Two hosted selects come up, each on its own set-up, and the host's card
// reaches the client through the relay.
TEST(NetPlayTest, TwoSelectsStartAndTheHostsCardReachesTheClient)
{
    GameDriver game(game_test::GameDataRoot(), net_test::Options(2));
    ASSERT_TRUE(net_test::Ready(game));
    net_test::FakeNetworkScene& net = net_test::Net(game);
    ASSERT_EQ(net.StartSelect(0), 0);
    ASSERT_EQ(net.StartSelect(1), 0);
    ASSERT_TRUE(net.relay.WaitIdle());
    game.Frames(3);
    auto* host = net.ChildAs<CCharaSelect>(0);
    auto* client = net.ChildAs<CCharaSelect>(1);
    ASSERT_TRUE(host && client);
    EXPECT_EQ(host->GetSetup()->localEntry, 0u);
    EXPECT_EQ(client->GetSetup()->localEntry, 1u);
}

}  // namespace
