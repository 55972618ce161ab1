// The lobby client with the real peer host, line tester and port mapper:
// a join through the test lobby server ends in a peer connection between
// two loopback addresses; a gateway that never answers leaves play going;
// the client's port mapping on each kind of gateway.
#include "game/network/LobbyClient.h"
#include "game/network/tests/FakeGateway.h"
#include "game/network/tests/LobbyPlayer.h"

#include "game/network/tests/RawPeer.h"
#include "host/net/tests/ForwardingNet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

namespace ORV_TEST_FILE_ID {

using namespace lobby;
using namespace lobby_test;

namespace {

// A loopback port where nobody answers M-SEARCH.
constexpr host::net::Endpoint kNoGateway{host::net::kLoopback, 9};

std::unique_ptr<ILobbyPeerSide> RealPeers(host::net::Net* net) { return MakeLobbyPeerSide(net, kNoGateway); }

i32 Accept(void* context, CNetClient* peer) { return static_cast<CLobbyClient*>(context)->AcceptPeer(peer); }
i32 Message(void*, CNetClient*, const u8*, i32, u32) { return 1; }
void Left(void* context, CNetClient* peer) { static_cast<CLobbyClient*>(context)->OnPeerLeft(peer); }

// A client with recording screens whose port mapper asks the gateway.
i32 CreateWithGateway(CLobbyClient& client, host::net::Net* net, RecordingScreens::Shared& screens,
                      const upnp_test::FakeGateway& gateway, u16 serverPort)
{
    return client.Create("ORV", "ORV", nullptr, nullptr, "127.0.0.1", serverPort, 18000,
                         std::make_unique<RecordingScreens>(screens), MakeLobbyPeerSide(net, gateway.SearchEndpoint()));
}

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
    ServerPlayer alice(server, 20, "alice", RealPeers), bob(server, 21, "bob", RealPeers);
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
    ServerPlayer player(server, 22, "alice", RealPeers);
    // The connect thread maps both ports first: no gateway, no failure.
    player.client.SetUPnP(true);
    EXPECT_TRUE(player.Connect());
}

// A peer knocked as the battle started: the accept thread waits in its
// callback for the network scene's lock. Play returns to the room under that
// lock; listening again must not wait for that thread.
TEST(LobbyClientPeers, BackToTheRoomDoesNotWaitForAnAcceptUnderTheSceneLock)
{
    struct Scene {
        CLobbyClient* client = nullptr;
        std::mutex lock;
        std::atomic<int> accepts{0};
    } scene;
    auto net = host::net::CreatePosixNet(net_test::Loopback(44));
    RecordingScreens::Shared screens;
    CLobbyClient client(net.get());
    scene.client = &client;
    ASSERT_EQ(client.Create("ORV", "ORV", nullptr, nullptr, "127.0.0.1", 9, 18000,
                            std::make_unique<RecordingScreens>(screens), RealPeers(net.get())),
              1);
    ASSERT_EQ(client.SetAcceptCallback(
                  [](void* c, CNetClient* peer) {
                      Scene& s = *static_cast<Scene*>(c);
                      ++s.accepts;
                      std::lock_guard hold(s.lock);
                      return s.client->AcceptPeer(peer);
                  },
                  &scene),
              1);
    ASSERT_EQ(client.SetMessageCallback(Message, &client), 1);
    ASSERT_EQ(client.SetDisconnectCallback(Left, &client), 1);
    ASSERT_EQ(client.StartHostListener(), 1);
    client.SetRoomHost(true, 0);
    const u16 port = client.GetNetHost()->GetListenPort();
    ASSERT_NE(port, 0);

    std::unique_lock held(scene.lock);
    raw_peer::RawPeer first;
    ASSERT_TRUE(first.Connect(net_test::Loopback(45), net_test::Loopback(44), port));
    ASSERT_TRUE(WaitFor([&] { return scene.accepts == 1; }));
    client.SetPlayStateAndNotify(1);   // the battle starts
    std::atomic<bool> returned{false};
    std::thread back([&] {
        client.SetPlayState(0);   // the scene lock is held meanwhile
        returned = true;
    });
    bool prompt = false;
    for (int i = 0; i < 400 && !prompt; ++i) {
        prompt = returned;
        if (!prompt) usleep(5000);
    }
    held.unlock();
    back.join();
    EXPECT_TRUE(prompt);
    EXPECT_EQ(client.GetPlayState(), 0u);

    client.Update();   // listens again, with no lock held
    EXPECT_EQ(client.GetNetHost()->GetListenPort(), port);
    raw_peer::RawPeer second;
    ASSERT_TRUE(second.Connect(net_test::Loopback(46), net_test::Loopback(44), port));
    EXPECT_TRUE(WaitFor([&] { return scene.accepts == 2; }));
    client.Destroy();
}

// A second player behind the same router holds the game port: the router
// refuses our mapping, and the connect still reaches the server.
TEST(LobbyClientPeers, PortMappedForAnotherMachineStillReachesTheLobby)
{
    using namespace upnp_test;
    LobbyServerProcess server;
    ASSERT_TRUE(server.Start(kAccounts));
    auto gatewayNet = host::net::CreatePosixNet(net_test::Loopback(42));
    FakeGateway gateway(*gatewayNet, GatewaySetup{kWanIp});
    ASSERT_TRUE(gateway.Running());
    gateway.Map(kWanIp, 18000, "TCP", "192.168.0.99");
    ServerPlayer player(server, 43, "alice", [&](host::net::Net* net) {
        return MakeLobbyPeerSide(net, gateway.SearchEndpoint());
    });
    player.client.SetUPnP(true);
    ASSERT_TRUE(player.Connect());
    EXPECT_FALSE(player.Saw(kEventNoRoute));
    // His mapping stays his; the other three were added for us.
    const auto adds = gateway.Controls(upnp::Action::kAddPortMapping);
    EXPECT_EQ(adds.size(), 3u);
    player.client.Destroy();
    EXPECT_TRUE(gateway.Mapped(kWanIp, 18000, "TCP"));
    EXPECT_EQ(gateway.MappingCount(), 1u);
}

// A router that answers a byte every 200 ms: the mapping step ends within
// its budget (event 9, nothing mapped), and a cancel reaches an exchange
// under way, so leaving does not wait for the router.
TEST(LobbyClientPeers, SlowRouterHoldsTheConnectNoLongerThanItsBudgetOrACancel)
{
    using namespace upnp_test;
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancel" : "budget");
        auto gatewayNet = host::net::CreatePosixNet(net_test::Loopback(47));
        GatewaySetup setup{kWanIp};
        setup.dripMs = 200;
        FakeGateway gateway(*gatewayNet, setup);
        ASSERT_TRUE(gateway.Running());
        auto net = host::net::CreatePosixNet(net_test::Loopback(48));
        RecordingScreens::Shared screens;
        CLobbyClient client(net.get());
        ASSERT_EQ(CreateWithGateway(client, net.get(), screens, gateway, 9), 1);
        client.SetUPnP(true);
        if (!cancel) client.SetMappingBudget(400);
        const auto start = std::chrono::steady_clock::now();
        client.StartConnect();
        const auto sawNoRoute = [&] {
            std::lock_guard lock(screens.mutex);
            return std::find(screens.events.begin(), screens.events.end(), kEventNoRoute) != screens.events.end();
        };
        if (!cancel) {
            ASSERT_TRUE(WaitFor(sawNoRoute));
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
        } else {
            ASSERT_TRUE(WaitFor([&] { return gateway.Count(Request::kControl) >= 1; }));
            usleep(100000);   // the answer is dripping
            client.Disconnect();
            client.Destroy();
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
            EXPECT_FALSE(sawNoRoute());   // the player left: no error for him
        }
        client.Destroy();
        EXPECT_EQ(gateway.MappingCount(), 0u);
    }
}

// MapPort maps TCP and UDP on every service the gateway offers, once; the
// client's end deletes them all.
// A mapper made once the mapping step's budget has run out gets none of
// it: its discovery gives up at once, however ready the gateway; made
// within the budget it finds the gateway.
TEST(LobbyClientPeers, AMapperMadeAfterTheBudgetRanOutGivesUpAtOnce)
{
    using namespace upnp_test;
    auto gatewayNet = host::net::CreatePosixNet(net_test::Loopback(49));
    FakeGateway gateway(*gatewayNet, GatewaySetup{kWanIp});
    ASSERT_TRUE(gateway.Running());
    auto net = host::net::CreatePosixNet(net_test::Loopback(50));
    for (const bool spent : {false, true}) {
        SCOPED_TRACE(spent ? "spent" : "within");
        auto peers = MakeLobbyPeerSide(net.get(), gateway.SearchEndpoint());
        peers->BeginMapping(spent ? 20 : 5000);
        if (spent) usleep(40000);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(peers->CreateMapperAndDiscover(), spent ? 0 : 1);
        if (spent) {
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
        }
        peers->DropMapper();
    }
}

// The network with every wait and connect given a second at least: a
// gateway on the loopback answers well within it, so a mapper uses
// whatever budget it is left, however small, to the end.
class PatientNet final : public net_test::ForwardingNet {
public:
    explicit PatientNet(host::net::Net& inner) : ForwardingNet(inner) {}

    Error Connect(Socket s, Endpoint to, uint32_t ms) override
    {
        return ForwardingNet::Connect(s, to, std::max(ms, kMs));
    }
    int32_t Wait(Socket s, uint32_t events, uint32_t ms) override
    {
        return ForwardingNet::Wait(s, events, std::max(ms, kMs));
    }

private:
    static constexpr uint32_t kMs = 1000;
};

// The mapping step's budget spent to the millisecond: a mapper made then
// is cancelled before it starts, rather than left the last millisecond,
// which a quick gateway could answer in (here: the clock stands still and
// the waits are long, so such a millisecond would find the gateway).
TEST(LobbyClientPeers, AMapperMadeAsTheBudgetEndsIsLeftNothing)
{
    using namespace upnp_test;
    auto gatewayNet = host::net::CreatePosixNet(net_test::Loopback(51));
    FakeGateway gateway(*gatewayNet, GatewaySetup{kWanIp});
    ASSERT_TRUE(gateway.Running());
    auto posix = host::net::CreatePosixNet(net_test::Loopback(52));
    PatientNet net(*posix);
    host::kernel::FakeClock clock(5000);
    host::kernel::ScopedClock scoped(clock);
    const struct {
        u32 elapsed;
        i32 found;
    } cases[] = {{0, 1}, {19, 1}, {20, 0}, {21, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.elapsed);
        auto peers = MakeLobbyPeerSide(&net, gateway.SearchEndpoint());
        peers->BeginMapping(20);
        clock.Advance(c.elapsed);
        EXPECT_EQ(peers->CreateMapperAndDiscover(), c.found);
        peers->DropMapper();
    }
}

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
        ASSERT_EQ(CreateWithGateway(client, net.get(), screens, gateway, 15500), 1);
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

}  // namespace ORV_TEST_FILE_ID
