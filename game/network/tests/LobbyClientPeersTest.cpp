// The lobby client with the real peer host, line tester and port mapper:
// a join through the test lobby server ends in a peer connection between
// two loopback addresses; a gateway that never answers leaves play going;
// the client's port mapping on each kind of gateway.
#include "game/network/LobbyClient.h"
#include "game/network/tests/FakeGateway.h"
#include "game/network/tests/LobbyPlayer.h"

#include <gtest/gtest.h>

using namespace lobby;
using namespace lobby_test;

namespace {

// A loopback port where nobody answers M-SEARCH.
constexpr host::net::Endpoint kNoGateway{host::net::kLoopback, 9};

std::unique_ptr<ILobbyPeerSide> RealPeers(host::net::Net* net) { return MakeLobbyPeerSide(net, kNoGateway); }

i32 Accept(void* context, CNetClient* peer) { return static_cast<CLobbyClient*>(context)->AcceptPeer(peer); }
i32 Message(void*, CNetClient*, const u8*, i32, u32) { return 1; }
void Left(void* context, CNetClient* peer) { static_cast<CLobbyClient*>(context)->OnPeerLeft(peer); }

void InstallCallbacks(CLobbyClient& client)
{
    ASSERT_EQ(client.SetAcceptCallback(Accept, &client), 1);
    ASSERT_EQ(client.SetMessageCallback(Message, &client), 1);
    ASSERT_EQ(client.SetDisconnectCallback(Left, &client), 1);
    EXPECT_EQ(client.SetAcceptCallback(nullptr, nullptr), 0);
}

TEST(LobbyClientPeers, JoinThroughTheServerMakesAPeerConnection)
{
    LobbyServerProcess server;
    ASSERT_TRUE(server.Start(kAccounts));
    Player alice(server, 20, "alice", RealPeers), bob(server, 21, "bob", RealPeers);
    ASSERT_EQ(alice.created, 1);
    InstallCallbacks(alice.client);
    InstallCallbacks(bob.client);
    ASSERT_TRUE(alice.LogIn());
    ASSERT_TRUE(bob.LogIn());

    ASSERT_EQ(alice.client.StartHostListener(), 1);
    alice.client.SetRoomHost(true, 0);
    std::vector<u8> room(794, 0);
    ASSERT_EQ(alice.client.Send(1002, room.data(), u32(room.size())), 1);
    ASSERT_TRUE(WaitFor([&] { return bob.client.GetRoomCount() == 1; }));
    u8 join[45] = {1};
    ASSERT_EQ(bob.client.Send(1005, join, sizeof join), 1);
    ASSERT_TRUE(WaitFor([&] { return bob.client.GetScreen() == 4; }));
    EXPECT_TRUE(WaitCall(alice.screens.mutex, alice.screens.calls, "accept-peer"));
    ASSERT_NE(alice.client.GetNetHost(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return alice.client.GetNetHost()->GetPeerCount() == 1; }));
    bob.client.Destroy();   // its peer threads end before its screens go
    alice.client.Destroy();
}

TEST(LobbyClientPeers, SilentGatewayLeavesPlayWithoutMapping)
{
    LobbyServerProcess server;
    ASSERT_TRUE(server.Start(kAccounts));
    Player player(server, 22, "alice", RealPeers);
    // The connect thread maps both ports first: no gateway, no failure.
    player.client.SetUPnP(true);
    EXPECT_TRUE(player.Connect());
}

// MapPort maps TCP and UDP on every service the gateway offers, once; the
// client's end deletes them all.
TEST(LobbyClientPeers, MapPortOnEachGatewayAndDeleteAtTheEnd)
{
    using namespace upnp_test;
    for (u8 services : {kWanIp, kWanPpp, kBoth}) {
        SCOPED_TRACE(int(services));
        auto gatewayNet = host::net::CreatePosixNet(net_test::Loopback(40));
        FakeGateway gateway(*gatewayNet, GatewaySetup{services});
        ASSERT_TRUE(gateway.Running());
        auto net = host::net::CreatePosixNet(net_test::Loopback(41));
        RecordingScreens::Shared screens;
        CLobbyClient client(net.get());
        ASSERT_EQ(client.Create("ORV", "ORV", nullptr, nullptr, "127.0.0.1", 15500, 18000,
                                std::make_unique<RecordingScreens>(screens),
                                MakeLobbyPeerSide(net.get(), gateway.SearchEndpoint())),
                  1);
        const size_t serviceCount = services == kBoth ? 2 : 1;
        ASSERT_EQ(client.MapPort(18000), 1);
        ASSERT_EQ(client.MapPort(18000), 1);   // found again: not added twice
        for (u8 service : {kWanIp, kWanPpp}) {
            const bool offered = (services & service) != 0;
            EXPECT_EQ(gateway.Mapped(service, 18000, "TCP"), offered);
            EXPECT_EQ(gateway.Mapped(service, 18000, "UDP"), offered);
        }
        EXPECT_EQ(gateway.Controls(upnp::Action::kAddPortMapping).size(), 2 * serviceCount);
        client.Destroy();
        EXPECT_EQ(gateway.MappingCount(), 0u);
        EXPECT_EQ(gateway.Controls(upnp::Action::kDeletePortMapping).size(), 2 * serviceCount);
    }
}

}  // namespace
