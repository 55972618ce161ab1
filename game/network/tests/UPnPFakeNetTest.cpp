// CUPnP on the fake network: the default search goes to the SSDP group
// through every interface (logged there, never delivered), and the whole
// mapping sequence holds up over links that cut answers into single bytes,
// delay them, or end them half-way.
#include "game/network/UPnP.h"
#include "game/network/UPnPWire.h"
#include "game/network/tests/FakeGateway.h"
#include "host/kernel/Kernel.h"
#include "host/net/FakeNet.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using host::net::FakeMachine;
using host::net::FakeNetwork;
using host::net::MakeAddress;
using upnp::Action;
using upnp_test::FakeGateway;
using upnp_test::kBoth;
using upnp_test::kWanIp;

constexpr u32 kPlayer = MakeAddress(192, 168, 0, 2);
constexpr u32 kWifi = MakeAddress(10, 0, 0, 5);
constexpr u32 kVpn = MakeAddress(172, 16, 0, 9);
constexpr u32 kRouter = MakeAddress(192, 168, 0, 1);

TEST(UPnPFakeNetTest, DefaultSearchGoesToTheGroupFiveTimesThroughEveryInterface)
{
    FakeNetwork network(1);
    FakeMachine& player = network.AddMachine(kPlayer);
    player.SetInterfaceAddresses({kPlayer, kWifi, kVpn});
    // The second interface cannot carry multicast, once.
    player.FailCall(host::net::Call::SetMulticastInterface, host::net::Error::Failed, 1, 1);
    {
        CUPnP mapper(&player);
        EXPECT_EQ(mapper.Discover(), 0);   // nobody answers
    }
    const auto sends = network.MulticastSends();
    ASSERT_EQ(sends.size(), 14u);
    const std::string search = upnp::SearchRequest();
    size_t wifi = 0;
    for (size_t i = 0; i < sends.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sends[i].to, (host::net::Endpoint{MakeAddress(239, 255, 255, 250), 1900}));
        EXPECT_EQ(sends[i].from.port, upnp::kFirstSearchPort);
        EXPECT_EQ(std::string(sends[i].bytes.begin(), sends[i].bytes.end()), search);
        wifi += sends[i].interfaceAddress == kWifi;
    }
    // Each round through each interface, in the machine's order.
    EXPECT_EQ(sends[0].interfaceAddress, kPlayer);
    EXPECT_EQ(sends[1].interfaceAddress, kVpn);
    EXPECT_EQ(sends[2].interfaceAddress, kPlayer);
    EXPECT_EQ(sends[3].interfaceAddress, kWifi);
    EXPECT_EQ(sends[4].interfaceAddress, kVpn);
    EXPECT_EQ(wifi, 4u);
    EXPECT_TRUE(network.Misuses().empty());
}

// The gateway's answers in single bytes, late: the readers gather them
// whole, and destruction still deletes everything.
TEST(UPnPFakeNetTest, MapsPortsOverSplitAndDelayedAnswers)
{
    FakeNetwork network(7);
    FakeMachine& player = network.AddMachine(kPlayer);
    FakeMachine& router = network.AddMachine(kRouter);
    host::net::StreamOptions slow;
    slow.maxSegment = 1;
    slow.delayMs = 20;
    slow.jitterMs = 20;
    network.SetStreamOptions(slow, kRouter, kPlayer);
    FakeGateway gateway(router, {kBoth, upnp_test::SearchAnswer::kLocation, 20});
    ASSERT_TRUE(gateway.Running());
    {
        CUPnP mapper(&player, gateway.SearchEndpoint());
        ASSERT_EQ(mapper.Discover(), 1);
        EXPECT_EQ(mapper.AddMapping(18000, 18000, "TCP", "192.168.0.2", "ORV"), 1);
        EXPECT_EQ(mapper.IsMapped(18000, "TCP"), 1);
        EXPECT_EQ(gateway.MappingCount(), 2u);
    }
    EXPECT_EQ(gateway.MappingCount(), 0u);
    EXPECT_EQ(gateway.Controls(Action::kDeletePortMapping).size(), 2u);
    EXPECT_TRUE(network.MulticastSends().empty());
}

// A router taking 0.8 s an answer (on a fake clock: nothing sleeps), with
// both services: each deletion at destruction has its own bound, so all four
// of the lobby's mappings leave both services, in the order added.
TEST(UPnPFakeNetTest, SlowRouterStillLosesEveryMappingAtDestruction)
{
    host::kernel::FakeClock clock(1000);
    host::kernel::ScopedClock installed(clock);
    FakeNetwork network(3);
    FakeMachine& player = network.AddMachine(kPlayer);
    FakeMachine& router = network.AddMachine(kRouter);
    upnp_test::GatewaySetup setup{kBoth, upnp_test::SearchAnswer::kLocation};
    setup.clock = &clock;
    setup.answerMs = 800;
    FakeGateway gateway(router, setup);
    ASSERT_TRUE(gateway.Running());
    const std::pair<u16, const char*> added[] = {{18000, "TCP"}, {18000, "UDP"}, {18001, "UDP"}, {18002, "UDP"}};
    u32 destroyedAt = 0;
    {
        CUPnP mapper(&player, gateway.SearchEndpoint());
        ASSERT_EQ(mapper.Discover(), 1);
        for (const auto& [port, protocol] : added)
            ASSERT_EQ(mapper.AddMapping(port, port, protocol, "192.168.0.2", "ORV"), 1);
        ASSERT_EQ(gateway.MappingCount(), 8u);
        destroyedAt = clock.Milliseconds();
    }
    EXPECT_EQ(gateway.MappingCount(), 0u);
    const std::vector<upnp_test::Request> deleted = gateway.Controls(Action::kDeletePortMapping);
    ASSERT_EQ(deleted.size(), 8u);
    for (size_t i = 0; i < deleted.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(deleted[i].port, added[i / 2].first);
        EXPECT_EQ(deleted[i].protocol, added[i / 2].second);
        EXPECT_EQ(deleted[i].service, i % 2 ? upnp_test::kWanPpp : kWanIp);
    }
    // The answers did take their time: more than one bound in all.
    EXPECT_EQ(clock.Milliseconds() - destroyedAt, 8 * 800u);
}

struct CutCase {
    const char* name;
    u64 bytes;   // of the answer that arrive
    i32 mapped;
};

// An answer ended early is a refusal unless its status line and the
// entry's client came through.
TEST(UPnPFakeNetTest, AnswersCutShortAreNoConfirmation)
{
    const CutCase cases[] = {
        {"nothing", 0, 0},
        {"half a status line", 8, 0},
        {"status line only", 17, 0},
        {"whole", 100000, 1},
    };
    for (const CutCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeNetwork network(3);
        FakeMachine& player = network.AddMachine(kPlayer);
        FakeMachine& router = network.AddMachine(kRouter);
        FakeGateway gateway(router, {kWanIp});
        gateway.Map(kWanIp, 18000, "TCP", "192.168.0.2");
        CUPnP mapper(&player, gateway.SearchEndpoint());
        ASSERT_EQ(mapper.Discover(), 1);
        network.CutAfter(kRouter, kPlayer, c.bytes, host::net::CutKind::Reset);
        EXPECT_EQ(mapper.IsMapped(18000, "TCP"), c.mapped);
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
