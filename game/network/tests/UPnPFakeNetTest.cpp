// CUPnP on the fake network: the default search goes to the SSDP group
// through every interface (logged there, never delivered), and the whole
// mapping sequence holds up over links that cut answers into single bytes,
// delay them, or end them half-way.
#include "game/network/UPnP.h"
#include "game/network/UPnPWire.h"
#include "game/network/tests/FakeGateway.h"
#include "host/net/FakeNet.h"

#include <gtest/gtest.h>

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
