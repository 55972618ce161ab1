// CUPnP against the fake gateway on loopback: the lobby's sequence (discover,
// ask, add, and the deletions at destruction) on each kind of router, the
// refusals, and discovery answers that must not count as a gateway.
#include "game/network/UPnP.h"
#include "game/network/UPnPWire.h"
#include "game/network/tests/FakeGateway.h"
#include "game/network/tests/GatewayTexts.h"
#include "host/net/tests/Loopback.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace ORV_TEST_FILE_ID {

namespace {

using upnp::Action;
using upnp_test::FakeGateway;
using upnp_test::GatewaySetup;
using upnp_test::Request;
using upnp_test::SearchAnswer;
using upnp_test::kBoth;
using upnp_test::kWanIp;
using upnp_test::kWanPpp;

// The player's machine and the router, each on an address of its own.
struct Rig {
    explicit Rig(GatewaySetup setup) : gateway(*routerNet, setup) {}

    std::unique_ptr<CUPnP> Mapper() { return std::make_unique<CUPnP>(playerNet.get(), gateway.SearchEndpoint()); }
    std::string Player() const { return host::net::FormatAddress(net_test::Loopback(1)); }

    std::unique_ptr<host::net::Net> playerNet = host::net::CreatePosixNet(net_test::Loopback(1));
    std::unique_ptr<host::net::Net> routerNet = host::net::CreatePosixNet(net_test::Loopback(2));
    FakeGateway gateway;
};

std::vector<std::pair<u8, u16>> Deletions(const FakeGateway& gateway, const char* protocol = nullptr)
{
    std::vector<std::pair<u8, u16>> out;
    for (const Request& r : gateway.Controls(Action::kDeletePortMapping)) {
        if (!protocol || r.protocol == protocol) out.emplace_back(r.service, r.port);
    }
    return out;
}

TEST(UPnPTest, MapsPortsOnEachKindOfGatewayAndDeletesThemAtDestruction)
{
    for (const u8 services : {u8(kWanIp), u8(kWanPpp), u8(kBoth)}) {
        SCOPED_TRACE(int(services));
        Rig rig({services});
        ASSERT_TRUE(rig.gateway.Running());
        auto mapper = rig.Mapper();
        ASSERT_EQ(mapper->Discover(), 1);
        EXPECT_EQ(mapper->IsMapped(18000, "TCP"), 0);
        ASSERT_EQ(mapper->AddMapping(18000, 18000, "TCP", rig.Player().c_str(), "ORV"), 1);
        ASSERT_EQ(mapper->AddMapping(18000, 18000, "UDP", rig.Player().c_str(), "ORV"), 1);
        ASSERT_EQ(mapper->AddMapping(15500, 15500, "TCP", rig.Player().c_str(), "ORV"), 1);
        EXPECT_EQ(mapper->IsMapped(18000, "TCP"), 1);
        EXPECT_EQ(mapper->IsMapped(18000, "UDP", rig.Player().c_str()), 1);
        for (const u8 s : {u8(kWanIp), u8(kWanPpp)}) {
            EXPECT_EQ(rig.gateway.Mapped(s, 18000, "UDP"), (services & s) != 0);
        }
        // Only the offered services were asked.
        for (const Request& r : rig.gateway.Requests()) {
            if (r.kind == Request::kControl) {
                EXPECT_NE(r.service & services, 0);
            }
        }
        EXPECT_TRUE(Deletions(rig.gateway).empty());

        mapper.reset();
        EXPECT_EQ(rig.gateway.MappingCount(), 0u);
        std::vector<std::pair<u8, u16>> expected;
        for (const u16 port : {18000, 18000, 15500}) {
            if (services & kWanIp) expected.emplace_back(kWanIp, port);
            if (services & kWanPpp) expected.emplace_back(kWanPpp, port);
        }
        EXPECT_EQ(Deletions(rig.gateway), expected);
        EXPECT_EQ(Deletions(rig.gateway, "UDP").size(), expected.size() / 3);
    }
}

// A cancel holds until the next budget: a mapping asked for after it (a
// later connect) is tried again and made.
TEST(UPnPTest, AMappingAfterACancelledOneIsTriedAgain)
{
    Rig rig({kWanIp});
    ASSERT_TRUE(rig.gateway.Running());
    auto mapper = rig.Mapper();
    ASSERT_EQ(mapper->Discover(), 1);
    mapper->Cancel();
    EXPECT_EQ(mapper->AddMapping(18000, 18000, "TCP", rig.Player().c_str(), "ORV"), 0);
    EXPECT_EQ(rig.gateway.Controls(Action::kAddPortMapping).size(), 0u);
    mapper->SetBudget(5000);
    EXPECT_EQ(mapper->AddMapping(18000, 18000, "TCP", rig.Player().c_str(), "ORV"), 1);
    EXPECT_EQ(rig.gateway.Controls(Action::kAddPortMapping).size(), 1u);
    EXPECT_TRUE(rig.gateway.Mapped(kWanIp, 18000, "TCP"));
}

TEST(UPnPTest, DiscoverySendsTheSearchFiveTimesAndFetchesTheDescription)
{
    Rig rig({kWanIp});
    auto mapper = rig.Mapper();
    ASSERT_EQ(mapper->Discover(), 1);
    // The player's net has one interface, its own address. The gateway's
    // search thread may still be reading the later ones.
    for (int i = 0; i < 200 && rig.gateway.Count(Request::kSearch) < 5; ++i) usleep(5000);
    const auto requests = rig.gateway.Requests();
    ASSERT_EQ(rig.gateway.Count(Request::kSearch), 5u);
    for (const Request& r : requests) {
        if (r.kind == Request::kSearch) {
            EXPECT_EQ(r.text, upnp::SearchRequest());
        }
    }
    ASSERT_EQ(rig.gateway.Count(Request::kDescription), 1u);
    const host::net::Endpoint http = rig.gateway.HttpEndpoint();
    for (const Request& r : requests) {
        if (r.kind == Request::kDescription) {
            EXPECT_EQ(r.text, upnp::DescriptionRequest(gateway_text::kDescriptionPath,
                                                       host::net::FormatAddress(http.address), http.port));
        }
    }
}

struct Refusal {
    const char* name;
    u8 services;
    Action action;
    u8 refusedBy;
};

// Both services must agree; what one took when the other refused is undone,
// since a lease-0 mapping would stay on the router for good.
TEST(UPnPTest, ARefusalByAnyServiceFailsAndLeavesNothingMapped)
{
    const Refusal cases[] = {
        {"add refused by WANIP", kBoth, Action::kAddPortMapping, kWanIp},
        {"add refused by WANPPP", kBoth, Action::kAddPortMapping, kWanPpp},
        {"add refused by the only service", kWanPpp, Action::kAddPortMapping, kWanPpp},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig({c.services});
        rig.gateway.Refuse(c.action, c.refusedBy);
        auto mapper = rig.Mapper();
        ASSERT_EQ(mapper->Discover(), 1);
        EXPECT_EQ(mapper->AddMapping(18000, 18000, "TCP", rig.Player().c_str(), "ORV"), 0);
        EXPECT_EQ(rig.gateway.MappingCount(), 0u);
        // The first refusal ends the round: WANPPP is not asked after WANIP refused.
        const auto adds = rig.gateway.Controls(Action::kAddPortMapping);
        EXPECT_EQ(adds.back().service, c.refusedBy);
        const size_t deletions = Deletions(rig.gateway).size();
        mapper.reset();
        // Nothing was listed, so destruction deletes nothing more.
        EXPECT_EQ(Deletions(rig.gateway).size(), deletions);
    }
}

TEST(UPnPTest, IsMappedAndRemoveMappingNeedEveryService)
{
    Rig rig({kBoth});
    rig.gateway.Map(kWanIp, 18000, "TCP", rig.Player());
    rig.gateway.Map(kWanPpp, 18000, "TCP", rig.Player());
    auto mapper = rig.Mapper();
    ASSERT_EQ(mapper->Discover(), 1);
    EXPECT_EQ(mapper->IsMapped(18000, "TCP"), 1);
    rig.gateway.Refuse(Action::kGetSpecificPortMappingEntry, kWanPpp);
    EXPECT_EQ(mapper->IsMapped(18000, "TCP"), 0);
    rig.gateway.Refuse(Action::kDeletePortMapping, kWanIp);
    EXPECT_EQ(mapper->RemoveMapping(18000, "TCP"), 0);
    EXPECT_EQ(Deletions(rig.gateway), (std::vector<std::pair<u8, u16>>{{kWanIp, 18000}}));
}

// One service refusing the deletion at destruction does not keep the other
// from deleting it.
TEST(UPnPTest, DestructionAsksEveryServiceEvenAfterARefusal)
{
    Rig rig({kBoth});
    auto mapper = rig.Mapper();
    ASSERT_EQ(mapper->Discover(), 1);
    ASSERT_EQ(mapper->AddMapping(18000, 18000, "TCP", rig.Player().c_str(), "ORV"), 1);
    ASSERT_EQ(mapper->AddMapping(18000, 18000, "UDP", rig.Player().c_str(), "ORV"), 1);
    rig.gateway.Refuse(Action::kDeletePortMapping, kWanIp);
    mapper.reset();
    EXPECT_EQ(Deletions(rig.gateway),
              (std::vector<std::pair<u8, u16>>{{kWanIp, 18000}, {kWanPpp, 18000}, {kWanIp, 18000}, {kWanPpp, 18000}}));
    EXPECT_FALSE(rig.gateway.Mapped(kWanPpp, 18000, "TCP"));
    EXPECT_FALSE(rig.gateway.Mapped(kWanPpp, 18000, "UDP"));
}

// The router would refuse ours: the port counts as mapped, whoever holds it,
// so the lobby connect goes on.
TEST(UPnPTest, AnotherMachinesMappingCountsAsMapped)
{
    Rig rig({kBoth});
    rig.gateway.Map(kWanIp, 18000, "TCP", "192.168.0.99");
    auto mapper = rig.Mapper();
    ASSERT_EQ(mapper->Discover(), 1);
    // Every service must confirm it, whoever it names.
    EXPECT_EQ(mapper->IsMapped(18000, "TCP"), 0);
    rig.gateway.Map(kWanPpp, 18000, "TCP", rig.Player());
    EXPECT_EQ(mapper->IsMapped(18000, "TCP"), 1);
    EXPECT_EQ(mapper->IsMapped(18000, "TCP", rig.Player().c_str()), 1);
    EXPECT_EQ(mapper->IsMapped(18000, "TCP", "192.168.0.99"), 1);
    EXPECT_EQ(mapper->IsMapped(18000, "UDP", "192.168.0.99"), 0);
    // Its owner keeps it: the router refuses ours, and nothing of his is deleted.
    EXPECT_EQ(mapper->AddMapping(18000, 18000, "TCP", rig.Player().c_str(), "ORV"), 0);
    mapper.reset();
    EXPECT_TRUE(rig.gateway.Mapped(kWanIp, 18000, "TCP"));
    EXPECT_TRUE(Deletions(rig.gateway).empty());
}

TEST(UPnPTest, RemovedMappingIsNotDeletedAgain)
{
    Rig rig({kWanIp});
    auto mapper = rig.Mapper();
    ASSERT_EQ(mapper->Discover(), 1);
    ASSERT_EQ(mapper->AddMapping(18000, 18000, "TCP", rig.Player().c_str(), "ORV"), 1);
    ASSERT_EQ(mapper->AddMapping(18001, 18001, "TCP", rig.Player().c_str(), "ORV"), 1);
    ASSERT_EQ(mapper->RemoveMapping(18000, "TCP"), 1);
    mapper.reset();
    EXPECT_EQ(Deletions(rig.gateway), (std::vector<std::pair<u8, u16>>{{kWanIp, 18000}, {kWanIp, 18001}}));
    EXPECT_EQ(rig.gateway.MappingCount(), 0u);
}

struct FailedDiscovery {
    const char* name;
    GatewaySetup setup;
    size_t descriptions;   // fetches the failed discovery made
};

// No gateway found, nothing done: every later request gives 0 and sends
// nothing (an empty reply used to count as a gateway with no services, and
// then every request "succeeded").
TEST(UPnPTest, DiscoveryWithoutAServiceFailsAndNothingIsSent)
{
    const FailedDiscovery cases[] = {
        {"empty reply", {kWanIp, SearchAnswer::kEmpty}, 0},
        {"reply without Location", {kWanIp, SearchAnswer::kNoLocation}, 0},
        {"description without WAN services", {0}, 1},
    };
    for (const FailedDiscovery& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.setup);
        auto mapper = rig.Mapper();
        EXPECT_EQ(mapper->Discover(), 0);
        EXPECT_EQ(rig.gateway.Count(Request::kDescription), c.descriptions);
        EXPECT_EQ(mapper->IsMapped(18000, "TCP"), 0);
        EXPECT_EQ(mapper->AddMapping(18000, 18000, "TCP", rig.Player().c_str(), "ORV"), 0);
        EXPECT_EQ(mapper->RemoveMapping(18000, "TCP"), 0);
        mapper.reset();
        EXPECT_EQ(rig.gateway.Count(Request::kControl), 0u);
    }
}

// A later discovery that finds nothing must not forget the gateway that
// holds our mappings.
TEST(UPnPTest, FailedRediscoveryKeepsTheMappingsDeletable)
{
    Rig rig({kWanIp});
    auto mapper = rig.Mapper();
    ASSERT_EQ(mapper->Discover(), 1);
    ASSERT_EQ(mapper->AddMapping(18000, 18000, "TCP", rig.Player().c_str(), "ORV"), 1);
    rig.gateway.SetAnswer(SearchAnswer::kEmpty);
    EXPECT_EQ(mapper->Discover(), 0);
    mapper.reset();
    EXPECT_EQ(Deletions(rig.gateway), (std::vector<std::pair<u8, u16>>{{kWanIp, 18000}}));
    EXPECT_EQ(rig.gateway.MappingCount(), 0u);
}

TEST(UPnPTest, SilentNetworkFailsDiscoveryAfterItsWait)
{
    Rig rig({kWanIp, SearchAnswer::kSilent});
    auto mapper = rig.Mapper();
    const u32 start = host::kernel::TimeGetTime();
    EXPECT_EQ(mapper->Discover(), 0);
    const u32 elapsed = host::kernel::TimeGetTime() - start;
    EXPECT_GE(elapsed, upnp::kSearchWaitMs - 100);
    EXPECT_LT(elapsed, upnp::kSearchWaitMs + 2000);
    EXPECT_EQ(rig.gateway.Count(Request::kSearch), 5u);
}

// Common routers describe several devices before the WAN connection; read
// only 4 KiB and the services are gone.
TEST(UPnPTest, LongDescriptionStillNamesItsServices)
{
    Rig rig({kBoth, SearchAnswer::kLocation, 60});
    ASSERT_GT(gateway_text::Description(true, true, 60).size(), 3 * 4096u);
    auto mapper = rig.Mapper();
    ASSERT_EQ(mapper->Discover(), 1);
    EXPECT_EQ(mapper->AddMapping(18000, 18000, "TCP", rig.Player().c_str(), "ORV"), 1);
    EXPECT_TRUE(rig.gateway.Mapped(kWanPpp, 18000, "TCP"));
}

// An HTTP/1.1 router keeps the connection: the answer ends at its length,
// not after a 3-second wait per request.
TEST(UPnPTest, KeptConnectionsEndAtTheAnswersLength)
{
    Rig rig({kBoth, SearchAnswer::kLocation, 0, true});
    auto mapper = rig.Mapper();
    ASSERT_EQ(mapper->Discover(), 1);
    const u32 start = host::kernel::TimeGetTime();
    EXPECT_EQ(mapper->AddMapping(18000, 18000, "TCP", rig.Player().c_str(), "ORV"), 1);
    EXPECT_EQ(mapper->IsMapped(18000, "TCP"), 1);
    EXPECT_LT(host::kernel::TimeGetTime() - start, upnp::kReadWaitMs);
}

TEST(UPnPTest, BadArgumentsSendNothing)
{
    Rig rig({kWanIp});
    auto mapper = rig.Mapper();
    EXPECT_EQ(mapper->AddMapping(18000, 18000, "TCP", rig.Player().c_str(), "ORV"), 0);   // before discovery
    ASSERT_EQ(mapper->Discover(), 1);
    const std::string me = rig.Player();
    EXPECT_EQ(mapper->AddMapping(0, 18000, "TCP", me.c_str(), "ORV"), 0);
    EXPECT_EQ(mapper->AddMapping(18000, 0, "TCP", me.c_str(), "ORV"), 0);
    EXPECT_EQ(mapper->AddMapping(18000, 18000, "SCTP", me.c_str(), "ORV"), 0);
    EXPECT_EQ(mapper->AddMapping(18000, 18000, nullptr, me.c_str(), "ORV"), 0);
    EXPECT_EQ(mapper->AddMapping(18000, 18000, "TCP", "player.lan", "ORV"), 0);
    EXPECT_EQ(mapper->AddMapping(18000, 18000, "TCP", nullptr, "ORV"), 0);
    EXPECT_EQ(mapper->IsMapped(0, "TCP"), 0);
    EXPECT_EQ(mapper->IsMapped(18000, "TCP", "x"), 0);
    EXPECT_EQ(mapper->RemoveMapping(0, "UDP"), 0);
    EXPECT_EQ(rig.gateway.Count(Request::kControl), 0u);
}

TEST(UPnPTest, SearchSocketTakesTheNextFreePort)
{
    Rig rig({kWanIp});
    // Another program holds the first port on the player's address.
    const host::net::Socket taken = rig.playerNet->Open(host::net::Type::Datagram);
    ASSERT_NE(taken, host::net::kNoSocket);
    const bool held = rig.playerNet->Bind(taken, {0, upnp::kFirstSearchPort}) == host::net::Error::None;
    auto mapper = rig.Mapper();
    EXPECT_EQ(mapper->Discover(), 1);
    rig.playerNet->Close(taken);
    EXPECT_TRUE(held);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
