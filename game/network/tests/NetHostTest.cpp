// Two or more peer hosts on loopback: connect and listen, messages both
// ways, the callbacks, the ping, refusals and closing.
#include "game/network/tests/NetHostHarness.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <dirent.h>
#include <fstream>

namespace net_host_test {

namespace ORV_TEST_FILE_ID {

using namespace peer_test;

namespace {

// The names of this process's threads.
std::vector<std::string> ThreadNames()
{
    std::vector<std::string> names;
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        names.push_back(name);
    }
    closedir(dir);
    return names;
}

TEST(NetHost, MessagesGoBothWaysWithTheSendersNames)
{
    Room room;
    // A new thread names itself first thing: give it a moment.
    std::vector<std::string> threads;
    for (int waited = 0; waited < kWaitMs; waited += 10) {
        threads = ThreadNames();
        if (std::count(threads.begin(), threads.end(), "net-recv") == 2) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(std::count(threads.begin(), threads.end(), "net-accept"), 1);
    EXPECT_EQ(std::count(threads.begin(), threads.end(), "net-recv"), 2);
    EXPECT_EQ(room.host.rec.With([&] { return room.host.rec.accepted; }), std::vector<std::string>{room.member.Name()});
    EXPECT_EQ(room.host.host.GetPeerCount(), 1u);
    EXPECT_EQ(room.member.host.GetPeerCount(), 1u);

    std::vector<u8> card(116);
    for (size_t i = 0; i < card.size(); ++i) card[i] = u8(i);
    EXPECT_EQ(room.host.host.Broadcast(10001, 1, card.data(), u32(card.size()), 1), 1);
    const u8 input[6] = {1, 2, 3, 4, 5, 6};
    ILockstepTransport& transport = room.member.host;
    EXPECT_EQ(transport.Broadcast(10007u, input, sizeof input), 1);

    ASSERT_TRUE(room.member.rec.WaitMessages(1));
    ASSERT_TRUE(room.host.rec.WaitMessages(1));
    room.member.rec.With([&] {
        EXPECT_EQ(room.member.rec.messages[0].from, room.host.Name());
        EXPECT_EQ(room.member.rec.messages[0].type, 10001);
        EXPECT_EQ(room.member.rec.messages[0].payload, card);
        return 0;
    });
    room.host.rec.With([&] {
        EXPECT_EQ(room.host.rec.messages[0].from, room.member.Name());
        EXPECT_EQ(room.host.rec.messages[0].type, 10007);
        EXPECT_EQ(room.host.rec.messages[0].payload, std::vector<u8>(input, input + 6));
        return 0;
    });
}

TEST(NetHost, SendToPeerReachesOnlyThatPeer)
{
    Node host(1), a(2), b(3);
    const u16 port = host.Listen();
    ASSERT_EQ(a.ConnectTo(host, port), 1);
    ASSERT_EQ(b.ConnectTo(host, port), 1);
    ASSERT_TRUE(host.rec.WaitFor([&] { return host.rec.accepted.size() == 2; }));
    // b's peer as the host knows it, from b's first message.
    std::atomic<CNetClient*> bPeer{nullptr};
    host.rec.onMessage = [&](CNetClient* sender, const Received&) { bPeer = sender; };
    const u32 word = 7;
    b.host.Broadcast(10005, 1, &word, 4, 1);
    ASSERT_TRUE(host.rec.WaitMessages(1));
    ASSERT_NE(bPeer.load(), nullptr);
    const u8 reply[54] = {42};
    EXPECT_EQ(host.host.SendToPeer(bPeer.load()->GetPeerId(), 1025, 1, reply, sizeof reply, 1), 1);
    ASSERT_TRUE(b.rec.WaitMessages(1));
    EXPECT_EQ(b.rec.With([&] { return b.rec.messages[0].type; }), 1025);
    // a hears nothing of it; a broadcast after it is a's first message.
    host.host.Broadcast(10004, 1, &word, 4, 1);
    ASSERT_TRUE(a.rec.WaitMessages(1));
    EXPECT_EQ(a.rec.With([&] { return a.rec.messages[0].type; }), 10004);
}

// The host's generator is seeded from the clock at construction.
TEST(NetHost, PeerIdsComeFromTheClockSeededGenerator)
{
    host::kernel::FakeClock clock(0x12345678u);
    host::kernel::ScopedClock scoped(clock);
    const auto net = host::net::CreatePosixNet(net_test::Loopback(1));
    CNetHost host(net.get());
    CRandom same;
    same.Seed(0x12345678u);
    for (int i = 0; i < 3; ++i) {
        char fromHost[peer::kPeerIdBytes], expected[peer::kPeerIdBytes];
        EXPECT_EQ(host.GeneratePeerId(fromHost), 1);
        DrawPeerId(same, expected);
        EXPECT_STREQ(fromHost, expected);
    }
}

TEST(NetHost, ConnectFailureLeavesNoPeer)
{
    Node host(1), member(2);
    const u16 port = host.Listen();
    host.host.StopListening();
    EXPECT_EQ(host.host.GetListenPort(), 0);
    EXPECT_EQ(member.ConnectTo(host, port), 0);
    EXPECT_EQ(member.host.Connect("not an address", port, 1, member.rec.Callbacks()), 0);
    EXPECT_EQ(member.host.Connect(host.Name().c_str(), port, 2, member.rec.Callbacks()), 0);
    EXPECT_EQ(member.host.ConnectByAddress(nullptr, port, 1, member.rec.Callbacks()), 0);
    EXPECT_EQ(member.host.GetPeerCount(), 0u);

    // Listening again takes a new port 0 socket, and connects by address.
    const u16 again = host.Listen();
    ASSERT_NE(again, 0);
    EXPECT_EQ(member.host.ConnectByAddress(&host.address, again, 1, member.rec.Callbacks()), 1);
    EXPECT_EQ(member.host.GetPeerCount(), 1u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace net_host_test
