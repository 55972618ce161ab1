// Peer hosts on the fake network: streams in single-byte pieces, 200 ms
// delays, stalls, cuts and failing calls, which loopback cannot make.
#include "game/network/tests/NetHostHarness.h"

#include "game/network/tests/FakeRoomNet.h"
#include "host/net/FakeNet.h"

#include <gtest/gtest.h>

namespace net_host_fake_test {

namespace ORV_TEST_FILE_ID {

using namespace peer_test;
using host::net::FakeNetwork;
using host::net::MakeAddress;

namespace {

using fake_room_net::kHostAddress;
using fake_room_net::kMemberAddress;

// A room host and a member on machines of one fake network.
struct FakeRoom {
    explicit FakeRoom(const host::net::StreamOptions& options, u64 seed = 35)
        : network(seed), hostMachine(network.AddMachine(kHostAddress)), memberMachine(network.AddMachine(kMemberAddress)),
          host(&hostMachine), member(&memberMachine)
    {
        network.SetStreamOptions(options);
        host.Init("ORV", "ORV", "ORV");
        member.Init("ORV", "ORV", "ORV");
    }
    ~FakeRoom()
    {
        member.CloseAll();
        host.CloseAll();
        EXPECT_TRUE(network.Misuses().empty()) << network.Misuses().front();
    }
    bool Connect()
    {
        host.InitListener(0, &Recorder::Accept, &hostRec, &Recorder::Message, &hostRec, &Recorder::Disconnect, &hostRec);
        return host.StartListening() &&
               member.Connect("10.0.0.1", host.GetListenPort(), peer::kStreamChannel, memberRec.Callbacks()) &&
               hostRec.WaitFor([&] { return hostRec.accepted.size() == 1; });
    }

    FakeNetwork network;
    host::net::FakeMachine& hostMachine;
    host::net::FakeMachine& memberMachine;
    Recorder hostRec, memberRec;
    CNetHost host, member;
};

// Every size from a ping to the longest message, both ways.
void ExchangeAndCheck(FakeRoom& room)
{
    const std::vector<std::pair<i16, u32>> fromMember = {{10004, 4}, {10003, 1404}, {10007, 30}, {10001, 116}, {10007, 1400}};
    const std::vector<std::pair<i16, u32>> fromHost = {{10008, 1400}, {10009, 4}, {10002, 56}, {10003, 7}};
    u8 fill = 1;
    for (const auto& [type, length] : fromMember) {
        const std::vector<u8> body(length, fill++);
        room.member.Broadcast(type, 1, body.data(), length, 1);
    }
    for (const auto& [type, length] : fromHost) {
        const std::vector<u8> body(length, fill++);
        room.host.Broadcast(type, 1, body.data(), length, 1);
    }
    ASSERT_TRUE(room.hostRec.WaitMessages(fromMember.size(), 30000));
    ASSERT_TRUE(room.memberRec.WaitMessages(fromHost.size(), 30000));
    fill = 1;
    for (size_t i = 0; i < fromMember.size(); ++i, ++fill) {
        EXPECT_EQ(room.hostRec.messages[i].type, fromMember[i].first);
        EXPECT_EQ(room.hostRec.messages[i].payload, std::vector<u8>(fromMember[i].second, fill));
    }
    for (size_t i = 0; i < fromHost.size(); ++i, ++fill) {
        EXPECT_EQ(room.memberRec.messages[i].type, fromHost[i].first);
        EXPECT_EQ(room.memberRec.messages[i].payload, std::vector<u8>(fromHost[i].second, fill));
    }
    EXPECT_TRUE(room.hostRec.disconnected.empty());
    EXPECT_TRUE(room.memberRec.disconnected.empty());
}

TEST(NetHostFake, SingleByteSegmentsAndSeededCuts)
{
    struct Case {
        const char* what;
        host::net::StreamOptions options;
    } cases[] = {
        {"single bytes", {1, 0, 0, 0, 0, 256 * 1024}},
        {"seeded cuts and joins", {1460, 60, 60, 0, 0, 256 * 1024}},
        {"small buffer", {100, 50, 50, 0, 0, 2048}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeRoom room(c.options);
        ASSERT_TRUE(room.Connect());
        ExchangeAndCheck(room);
    }
}

TEST(NetHostFake, DelayedLinkKeepsOrderAndAnswersPingsInTime)
{
    FakeRoom room({1460, 25, 25, 200, 0, 256 * 1024});
    ASSERT_TRUE(room.Connect());
    ExchangeAndCheck(room);
    // Pings 200 ms each way: the pong is back long before the next ping.
    for (int i = 0; i < 3; ++i) {
        room.host.Update(peer::kPingIntervalMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
    }
    room.host.Update(0);
    EXPECT_EQ(room.host.GetPeerCount(), 1u);
    EXPECT_TRUE(room.hostRec.With([&] { return room.hostRec.disconnected.empty(); }));
}

TEST(NetHostFake, StalledMemberGoesAtTheSecondPing)
{
    FakeRoom room({});
    ASSERT_TRUE(room.Connect());
    room.network.Stall(kMemberAddress, kHostAddress);
    room.host.Update(peer::kPingIntervalMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(room.hostRec.With([&] { return room.hostRec.disconnected.size(); }), 0u);
    room.host.Update(peer::kPingIntervalMs);
    ASSERT_TRUE(room.hostRec.WaitDisconnects(1));
    ASSERT_TRUE(room.memberRec.WaitDisconnects(1));   // the host's close reaches it
    EXPECT_TRUE(UpdateUntilPeers(room.host, 0));
    room.network.Release(kMemberAddress, kHostAddress);
}

TEST(NetHostFake, CutMidMessageDeliversOnlyWholeMessages)
{
    for (const auto kind : {host::net::CutKind::Reset, host::net::CutKind::Close}) {
        FakeRoom room({});
        room.network.CutAfter(kMemberAddress, kHostAddress, 8 + 4 + 8 + 600, kind);
        ASSERT_TRUE(room.Connect());
        const u32 word = 1;
        const std::vector<u8> body(1404, 2);
        room.member.Broadcast(10004, 1, &word, 4, 1);
        room.member.Broadcast(10003, 1, body.data(), 1404, 1);
        ASSERT_TRUE(room.hostRec.WaitDisconnects(1));
        ASSERT_TRUE(room.memberRec.WaitDisconnects(1));
        room.hostRec.With([&] {
            EXPECT_EQ(room.hostRec.messages.size(), 1u);
            EXPECT_EQ(room.hostRec.disconnected.size(), 1u);
            return 0;
        });
    }
}

TEST(NetHostFake, FailingCalls)
{
    {
        // A failing send closes that peer; the broadcast still gives 1.
        FakeRoom room({});
        ASSERT_TRUE(room.Connect());
        room.memberMachine.FailCall(host::net::Call::Send, host::net::Error::Reset);
        const u32 word = 1;
        EXPECT_EQ(room.member.Broadcast(10004, 1, &word, 4, 1), 1);
        ASSERT_TRUE(room.memberRec.WaitDisconnects(1));
        EXPECT_EQ(room.memberRec.With([&] { return room.memberRec.reasons[0]; }), "send failed");
        EXPECT_TRUE(UpdateUntilPeers(room.member, 0));
    }
    {
        // Connect, bind and listen failures leave nothing behind.
        FakeRoom room({});
        room.memberMachine.FailCall(host::net::Call::Connect, host::net::Error::Refused);
        EXPECT_FALSE(room.Connect());
        EXPECT_EQ(room.member.GetPeerCount(), 0u);
        room.hostMachine.FailCall(host::net::Call::Listen, host::net::Error::Failed);
        room.host.StopListening();
        EXPECT_EQ(room.host.StartListening(), 0);
        EXPECT_EQ(room.host.GetListenPort(), 0);
    }
    {
        // Failing accepts (the process out of descriptors) do not end the
        // listener: the next member is still taken in.
        FakeRoom room({});
        room.hostMachine.FailCall(host::net::Call::Accept, host::net::Error::Failed, 3);
        EXPECT_TRUE(room.Connect());
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace net_host_fake_test
