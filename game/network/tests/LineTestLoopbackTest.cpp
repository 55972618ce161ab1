// The line test on real loopback sockets: two game instances, each on a
// loopback address of its own and the same port, as two players' machines.
#include "game/network/LineTest.h"
#include "game/network/tests/LineTestPort.h"
#include "host/kernel/Kernel.h"
#include "host/net/tests/Loopback.h"

#include <gtest/gtest.h>

#include <thread>

namespace line_test_loopback_test {

namespace ORV_TEST_FILE_ID {

namespace {

using host::net::Net;
using host::net::Socket;
using host::net::kNoSocket;


u32 Elapsed(std::chrono::steady_clock::time_point since)
{
    return u32(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count());
}

// A stranger's end: raw sockets from a third address.
class Stranger {
public:
    explicit Stranger(u8 k = 3) : m_net(host::net::CreatePosixNet(net_test::Loopback(k))) {}
    ~Stranger()
    {
        for (Socket s : m_sockets) m_net->Close(s);
    }
    Net& net() { return *m_net; }

    Socket Connect(u32 address)
    {
        const Socket s = m_net->Open(host::net::Type::Stream);
        m_sockets.push_back(s);
        return m_net->Connect(s, {address, line_test::kPort}, 2000) == host::net::Error::None ? s : kNoSocket;
    }
    bool Send(Socket s, const void* data, size_t bytes)
    {
        return m_net->Send(s, data, bytes).bytes == i32(bytes);
    }
    bool SendHeader(Socket s, u16 count, u16 size)
    {
        const auto head = line_wire::WriteHeader({count, size});
        return Send(s, head.data(), head.size());
    }
    // True when the far end closed or reset the connection within ms;
    // anything it sends is read past.
    bool ClosedWithin(Socket s, u32 ms)
    {
        const auto start = std::chrono::steady_clock::now();
        u8 buffer[1400];
        while (Elapsed(start) < ms) {
            const int32_t ready = m_net->Wait(s, host::net::kEventRead, 50);
            if (ready <= 0) continue;
            const host::net::IoResult got = m_net->Receive(s, buffer, sizeof buffer);
            if (got.bytes == 0 || (got.bytes < 0 && got.error != host::net::Error::WouldBlock)) return true;
        }
        return false;
    }
    Socket Listen()
    {
        const Socket s = m_net->Open(host::net::Type::Stream);
        m_sockets.push_back(s);
        EXPECT_EQ(m_net->Bind(s, {host::net::kAnyAddress, line_test::kPort}), host::net::Error::None);
        EXPECT_EQ(m_net->Listen(s, 8), host::net::Error::None);
        return s;
    }

private:
    std::unique_ptr<Net> m_net;
    std::vector<Socket> m_sockets;
};

class LineTestLoopback : public ::testing::Test {
protected:
    LineTestLoopback()
        : netA(host::net::CreatePosixNet(net_test::Loopback(1))), netB(host::net::CreatePosixNet(net_test::Loopback(2))),
          a(netA.get()), b(netB.get())
    {
    }
    void SetUp() override
    {
        ASSERT_EQ(a.Init(line_test::kPort), 1);
        ASSERT_EQ(b.Init(line_test::kPort), 1);
    }
    static u32 AddressB() { return net_test::Loopback(2); }

    std::unique_ptr<Net> netA, netB;
    CLineTest a, b;
    Stranger stranger;
};

// Empty and one-byte datagrams from either peer's address first: they must
// neither end a UDP thread nor count. Then the lobby's test.
TEST_F(LineTestLoopback, LossFreeLineReports99And99)
{
    for (Net* from : {netA.get(), netB.get()}) {
        const Socket s = from->Open(host::net::Type::Datagram);
        const u32 to = from == netA.get() ? AddressB() : net_test::Loopback(1);
        const u8 one = 0x7F;
        EXPECT_EQ(from->SendTo(s, &one, 0, {to, line_test::kPort}).error, host::net::Error::None);
        EXPECT_EQ(from->SendTo(s, &one, 1, {to, line_test::kPort}).bytes, 1);
        from->Close(s);
    }
    LineTestResults results{};
    ASSERT_EQ(a.Run(AddressB(), 1000, 100, &results), 1);
    EXPECT_EQ(results.datagramsReceived, 99u);
    EXPECT_EQ(results.datagramsCounted, 99u);
    // The line's own delay on loopback: small, never a wrapped count.
    EXPECT_LT(results.tcpSendMs, 5000u);
    EXPECT_LT(results.tcpReceiveMs, 5000u);
    EXPECT_LT(results.udpMs, 5000u);
}

// A clock that stands still makes every elapsed time shorter than the
// pacing: the times read 0.
TEST_F(LineTestLoopback, TimeBelowThePacingGivesZero)
{
    host::kernel::FakeClock clock(1000);
    host::kernel::ScopedClock scoped(clock);
    LineTestResults results{};
    ASSERT_EQ(a.Run(AddressB(), 100, 10, &results), 1);
    EXPECT_EQ(results.tcpSendMs, 0u);
    EXPECT_EQ(results.tcpReceiveMs, 0u);
    EXPECT_EQ(results.udpMs, 0u);
    EXPECT_EQ(results.datagramsReceived, 9u);
    EXPECT_EQ(results.datagramsCounted, 9u);
}

TEST_F(LineTestLoopback, TesterRefusesSizesAndCountsOutOfBounds)
{
    struct Case {
        u16 size, count;
        i32 result;
    } const cases[] = {
        {2, 1, 1}, {1400, 1, 1}, {2, 0, 1}, {0, 1, 0}, {1, 1, 0}, {1401, 1, 0}, {2, 1001, 0}, {0xFFFF, 0xFFFF, 0},
    };
    for (const Case& c : cases) {
        LineTestResults results{};
        EXPECT_EQ(a.Run(AddressB(), c.size, c.count, &results), c.result) << c.size << " x " << c.count;
    }
}

// A player may test again the moment a test ends: the responder's link of
// the last test is still leaving, and must not count as one running.
TEST_F(LineTestLoopback, TestsBackToBackFromOneAddressAreEachAnswered)
{
    for (u32 i = 0; i < 40; ++i) {
        LineTestResults results{};
        ASSERT_EQ(a.Run(AddressB(), 2, 1, &results), 1) << "test " << i;
    }
}

TEST_F(LineTestLoopback, ResponderClosesOnHeadersOutOfBounds)
{
    struct Case {
        u16 count, size;
        bool closed;
    } const cases[] = {
        {1, 2, false}, {1000, 1400, false}, {100, 1, true}, {100, 0, true}, {100, 1401, true}, {1001, 1000, true},
    };
    u8 k = 10;
    for (const Case& c : cases) {
        // From an address of its own: the last case's link may still be ending.
        Stranger from(k++);
        const Socket s = from.Connect(AddressB());
        ASSERT_NE(s, kNoSocket);
        ASSERT_TRUE(from.SendHeader(s, c.count, c.size));
        // A kept link waits for the first packet.
        EXPECT_EQ(from.ClosedWithin(s, c.closed ? 2000 : 200), c.closed) << c.count << " x " << c.size;
        from.net().Shutdown(s);   // ends a kept link, freeing its place
    }
}

// Failed tests leave no link behind: afterwards the responder still takes
// as many links as it ever does, and refuses the one past them.
TEST_F(LineTestLoopback, NoResponderFailsAtTheConnectAndLeavesNoLink)
{
    for (u32 i = 0; i <= CLineTest::kMaxLinks; ++i) {
        LineTestResults results{};
        EXPECT_EQ(a.Run(net_test::Loopback(4), 1000, 100, &results), 0);
    }
    std::vector<std::unique_ptr<Stranger>> strangers;
    std::vector<Socket> kept;
    for (u32 i = 0; i < CLineTest::kMaxLinks; ++i) {
        strangers.push_back(std::make_unique<Stranger>(u8(20 + i)));
        kept.push_back(strangers.back()->Connect(net_test::Loopback(1)));
        ASSERT_TRUE(strangers.back()->SendHeader(kept.back(), 100, 1000));
    }
    Stranger another(30);
    const Socket extra = another.Connect(net_test::Loopback(1));
    EXPECT_TRUE(another.ClosedWithin(extra, 3000));
    for (u32 i = 0; i < CLineTest::kMaxLinks; ++i) EXPECT_FALSE(strangers[i]->ClosedWithin(kept[i], 50));
}

// One address, one responder link: a second from there is refused while
// the first stands (another address still gets one), and taken once it went.
TEST_F(LineTestLoopback, OneResponderLinkPerAddress)
{
    const Socket first = stranger.Connect(AddressB());
    ASSERT_TRUE(stranger.SendHeader(first, 100, 1000));
    const Socket second = stranger.Connect(AddressB());
    EXPECT_TRUE(stranger.ClosedWithin(second, 2000));
    EXPECT_FALSE(stranger.ClosedWithin(first, 50));
    Stranger other(4);
    const Socket elsewhere = other.Connect(AddressB());
    ASSERT_TRUE(other.SendHeader(elsewhere, 100, 1000));
    EXPECT_FALSE(other.ClosedWithin(elsewhere, 200));
    stranger.net().Shutdown(first);
    ASSERT_TRUE(stranger.ClosedWithin(first, 2000));
    // Its link ends as soon as it sees the close; then the address may test
    // again. Refusals come at once, so the wait is bounded by time: a loaded
    // machine may take a while to run the link's thread.
    bool taken = false;
    const auto start = std::chrono::steady_clock::now();
    while (!taken && Elapsed(start) < 5000) {
        const Socket again = stranger.Connect(AddressB());
        ASSERT_TRUE(stranger.SendHeader(again, 100, 1000));
        taken = !stranger.ClosedWithin(again, 100);
    }
    EXPECT_TRUE(taken);
}

// A stranger that sends each block within the block time-out is cut off at
// the test's deadline from its header: ten packets, one every 150 ms, would
// take 1500 ms before the marker.
TEST_F(LineTestLoopback, SlowLinkEndsAtTheWholeTestsDeadline)
{
    constexpr u32 kBlockMs = 300;
    constexpr u16 kCount = 10;
    const u32 deadline = CLineTest::TestDeadlineMs(kCount, kBlockMs);
    ASSERT_EQ(deadline, kBlockMs + 4 * CLineTest::kPacingMs * kCount);
    auto net = host::net::CreatePosixNet(net_test::Loopback(8));
    CLineTest shortBlocks(net.get(), kBlockMs);
    ASSERT_EQ(shortBlocks.Init(line_test::kPort), 1);
    const Socket s = stranger.Connect(net_test::Loopback(8));
    ASSERT_NE(s, kNoSocket);
    ASSERT_TRUE(stranger.SendHeader(s, kCount, 2));
    const auto start = std::chrono::steady_clock::now();
    bool closed = false;
    for (int i = 0; i < 16 && !closed; ++i) {
        const u8 packet[2] = {u8(i), 0};
        stranger.Send(s, packet, sizeof packet);
        closed = stranger.ClosedWithin(s, 150);
    }
    ASSERT_TRUE(closed);
    const u32 took = Elapsed(start);
    EXPECT_GE(took + 20, deadline);
    EXPECT_LT(took, 1400u);   // the packets alone would have taken 1500
    // Each block came within its time-out: only the whole test's deadline ended it.
}

// Shutdown wakes and joins a responder link in the middle of its packets
// and a tester waiting for its peer's; nothing is used after it is freed.
TEST_F(LineTestLoopback, ShutdownJoinsLinksMidTest)
{
    const Socket link = stranger.Connect(AddressB());
    ASSERT_TRUE(stranger.SendHeader(link, 1000, 1000));
    const std::vector<u8> packet(1000, 0x11);
    ASSERT_TRUE(stranger.Send(link, packet.data(), packet.size()));

    stranger.Listen();   // accepts nothing, answers nothing
    std::atomic<i32> ran{-1};
    auto tester = host::kernel::StartThread([&] {
        LineTestResults results{};
        ran = a.Run(net_test::Loopback(3), 100, 10, &results);
        return 0u;
    });
    ASSERT_TRUE(tester);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    auto start = std::chrono::steady_clock::now();
    b.Shutdown();
    EXPECT_LT(Elapsed(start), 3000u);
    EXPECT_TRUE(stranger.ClosedWithin(link, 1000));
    start = std::chrono::steady_clock::now();
    a.Shutdown();
    EXPECT_LT(Elapsed(start), 3000u);
    ASSERT_TRUE(tester->Wait(3000));
    EXPECT_EQ(ran.load(), 0);

    // Once shut down, no test runs; Init starts again on the same port.
    LineTestResults results{};
    EXPECT_EQ(a.Run(AddressB(), 100, 1, &results), 0);
    EXPECT_EQ(a.Init(line_test::kPort), 1);
    EXPECT_EQ(b.Init(line_test::kPort), 1);
    EXPECT_EQ(a.Run(AddressB(), 100, 1, &results), 1);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace line_test_loopback_test
