// The fake network's own promises: seeded pieces and fates, delays on the
// kernel clock, stalls, cuts, failing calls, the multicast log, names.
#include "host/net/tests/NetTestSupport.h"

#include <atomic>
#include <thread>

namespace host::net::nettest {
namespace ORV_TEST_FILE_ID {

namespace {

// The sizes of the pieces a receiver gets for a fixed run of sends.
std::vector<int32_t> Pieces(uint64_t seed, const StreamOptions& options)
{
    FakeWorld world(seed);
    world.network.SetStreamOptions(options);
    const StreamPair p = Connect(world);
    std::string sent;
    for (size_t n = 1; n <= 40; ++n) {
        const std::string part = Pattern(n * 7 % 150 + 1, uint32_t(n));
        EXPECT_TRUE(SendAll(world.Machine(1), p.client, part));
        sent += part;
    }
    std::vector<int32_t> sizes;
    std::string got;
    char buffer[4096];
    while (got.size() < sent.size() && sizes.size() < 10000) {
        const IoResult r = world.Machine(0).Receive(p.server, buffer, sizeof buffer);
        if (r.bytes <= 0)
            break;
        sizes.push_back(r.bytes);
        got.append(buffer, size_t(r.bytes));
    }
    EXPECT_EQ(got, sent);
    return sizes;
}

TEST(FakeNet, OneSeedGivesOnePieceSequence)
{
    StreamOptions options;
    options.maxSegment = 64;
    options.splitPercent = 50;
    options.joinPercent = 50;
    const std::vector<int32_t> first = Pieces(5, options);
    EXPECT_EQ(Pieces(5, options), first);
    EXPECT_NE(Pieces(6, options), first);
    EXPECT_GT(first.size(), 40u);   // split more than sent
    for (int32_t n : first)
        EXPECT_LE(n, 64);
}

TEST(FakeNet, SingleByteSegments)
{
    StreamOptions options;
    options.maxSegment = 1;
    for (int32_t n : Pieces(3, options))
        ASSERT_EQ(n, 1);
}

TEST(FakeNet, JoinedSendsArriveAsOnePiece)
{
    StreamOptions options;
    options.splitPercent = 0;
    options.joinPercent = 100;
    const std::vector<int32_t> sizes = Pieces(1, options);
    EXPECT_LT(sizes.size(), 10u);
}

TEST(FakeNet, DelaysCountOnTheInstalledClock)
{
    // Past half the counter's range and across its wrap too.
    for (uint32_t start : {1000u, 0x80000010u, 0xFFFFFF00u}) {
        SCOPED_TRACE(start);
        host::kernel::FakeClock clock(start);
        host::kernel::ScopedClock scoped(clock);
        FakeWorld world;
        StreamOptions options;
        options.delayMs = 512;
        world.network.SetStreamOptions(options);
        const StreamPair p = Connect(world);
        Net& a = world.Machine(0);
        ASSERT_TRUE(SendAll(world.Machine(1), p.client, "late"));
        EXPECT_EQ(a.Wait(p.server, kEventRead, 20), 0);
        clock.Advance(511);
        EXPECT_EQ(a.Wait(p.server, kEventRead, 20), 0);
        clock.Advance(1);
        EXPECT_EQ(a.Wait(p.server, kEventRead, 1000), kEventRead);
        EXPECT_EQ(ReceiveUpTo(a, p.server, 4), "late");
    }
}

TEST(FakeNet, ABlockedReceiveWakesWhenTheClockReachesTheDelay)
{
    host::kernel::FakeClock clock;
    host::kernel::ScopedClock scoped(clock);
    FakeWorld world;
    StreamOptions options;
    options.delayMs = 50;
    world.network.SetStreamOptions(options);
    const StreamPair p = Connect(world);
    ASSERT_TRUE(SendAll(world.Machine(1), p.client, "x"));
    std::atomic<bool> got{false};
    Background reader([&] { got = ReceiveUpTo(world.Machine(0), p.server, 1) == "x"; });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(got);
    clock.Advance(50);
    EXPECT_TRUE(reader.Ended(2000));
    EXPECT_TRUE(got);
}

TEST(FakeNet, AStalledLinkDeliversNothingUntilReleased)
{
    FakeWorld world;
    const StreamPair p = Connect(world);
    world.network.Stall(world.Address(1), world.Address(0));
    ASSERT_TRUE(SendAll(world.Machine(1), p.client, "held"));
    EXPECT_EQ(world.Machine(0).Wait(p.server, kEventRead, 50), 0);
    // The other way still works.
    ASSERT_TRUE(SendAll(world.Machine(0), p.server, "back"));
    EXPECT_EQ(ReceiveUpTo(world.Machine(1), p.client, 4), "back");
    world.network.Release(world.Address(1), world.Address(0));
    EXPECT_EQ(ReceiveUpTo(world.Machine(0), p.server, 4), "held");
}

TEST(FakeNet, ConnectsGiveUpAtTheirDeadline)
{
    FakeWorld world;
    world.network.Stall(world.Address(1), world.Address(0));
    const Socket listener = world.Machine(0).Open(Type::Stream);
    ASSERT_EQ(world.Machine(0).Bind(listener, {}), Error::None);
    ASSERT_EQ(world.Machine(0).Listen(listener, 1), Error::None);
    struct Case { const char* what; Endpoint to; };
    for (const Case c : {Case{"stalled line", world.Machine(0).LocalEndpoint(listener)},
                         Case{"nobody there", {MakeAddress(10, 9, 9, 9), 80}}}) {
        SCOPED_TRACE(c.what);
        const Socket s = world.Machine(1).Open(Type::Stream);
        const uint32_t start = host::kernel::TimeGetTime();
        EXPECT_EQ(world.Machine(1).Connect(s, c.to, 80), Error::TimedOut);
        const uint32_t elapsed = host::kernel::TimeGetTime() - start;
        EXPECT_GE(elapsed, 70u);
        EXPECT_LT(elapsed, 2000u);
    }
}

TEST(FakeNet, CutsEndConnections)
{
    // What the receiver reads after "before" is sent and the link is cut.
    struct Case { const char* what; CutKind kind; bool stalled; const char* read; Error end; };
    const Case cases[] = {
        {"reset", CutKind::Reset, false, "", Error::Reset},
        {"reset throws away what is on the way", CutKind::Reset, true, "", Error::Reset},
        {"close delivers first", CutKind::Close, false, "before", Error::Closed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeWorld world;
        const StreamPair p = Connect(world);
        if (c.stalled)
            world.network.Stall(world.Address(1), world.Address(0));
        ASSERT_TRUE(SendAll(world.Machine(1), p.client, "before"));
        world.network.Cut(world.Address(0), world.Address(1), c.kind);
        world.network.Release(world.Address(1), world.Address(0));
        Error end = Error::None;
        EXPECT_EQ(ReceiveUpTo(world.Machine(0), p.server, 100, &end), c.read);
        EXPECT_EQ(end, c.end);
        EXPECT_EQ(world.Machine(1).Send(p.client, "more", 4).error, Error::Reset);
        EXPECT_NE(world.Machine(1).Wait(p.client, kEventRead, 1000) & kEventClose, 0);
    }
}

TEST(FakeNet, CutAfterDeliversExactlyThatMany)
{
    for (CutKind kind : {CutKind::Reset, CutKind::Close}) {
        FakeWorld world;
        StreamOptions options;
        options.maxSegment = 7;
        world.network.SetStreamOptions(options);
        world.network.CutAfter(world.Address(1), world.Address(0), 1000, kind);
        const StreamPair p = Connect(world);
        const std::string text = Pattern(3000);
        for (size_t at = 0; at < text.size(); at += 300)
            world.Machine(1).Send(p.client, text.data() + at, 300);
        Error end = Error::None;
        EXPECT_EQ(ReceiveUpTo(world.Machine(0), p.server, 5000, &end), text.substr(0, 1000));
        EXPECT_EQ(end, kind == CutKind::Reset ? Error::Reset : Error::Closed);
    }
}

TEST(FakeNet, BlockingSendsWaitForTheReader)
{
    FakeWorld world;
    StreamOptions options;
    options.bufferBytes = 100;
    world.network.SetStreamOptions(options);
    const StreamPair p = Connect(world);
    const std::string text = Pattern(1000);
    std::atomic<bool> sent{false};
    Background sender([&] { sent = SendAll(world.Machine(1), p.client, text); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(sent);
    EXPECT_EQ(ReceiveUpTo(world.Machine(0), p.server, text.size()), text);
    EXPECT_TRUE(sender.Ended(2000));
    EXPECT_TRUE(sent);
}

TEST(FakeNet, ClosingWithUnreadBytesResetsThePeer)
{
    FakeWorld world;
    const StreamPair p = Connect(world);
    ASSERT_TRUE(SendAll(world.Machine(1), p.client, "unread"));
    ASSERT_TRUE(SendAll(world.Machine(0), p.server, "sent"));
    world.Machine(0).Close(p.server);
    Error end = Error::None;
    EXPECT_EQ(ReceiveUpTo(world.Machine(1), p.client, 100, &end), "");
    EXPECT_EQ(end, Error::Reset);
}

TEST(FakeNet, CallsFailAsToldThenWorkAgain)
{
    FakeWorld world;
    FakeMachine& m = world.Fake(1);
    const StreamPair p = Connect(world);
    // Each call kind: skip some, fail some, then the call works.
    m.FailCall(Call::Open, Error::Failed, 1);
    EXPECT_EQ(m.Open(Type::Datagram), kNoSocket);
    const Socket u = m.Open(Type::Datagram);
    EXPECT_NE(u, kNoSocket);
    m.FailCall(Call::Send, Error::Reset, 2, 1);
    const Error sends[] = {Error::None, Error::Reset, Error::Reset, Error::None};
    for (Error e : sends)
        EXPECT_EQ(m.Send(p.client, "s", 1).error, e);
    m.FailCall(Call::Wait, Error::Failed, 1);
    EXPECT_EQ(m.Wait(p.client, kEventRead, 0), kWaitFailed);
    m.FailCall(Call::Connect, Error::Refused, 1);
    EXPECT_EQ(m.Connect(m.Open(Type::Stream), world.Machine(0).LocalEndpoint(p.listener), 1000), Error::Refused);
    m.FailCall(Call::Bind, Error::AddressInUse, 1);
    EXPECT_EQ(m.Bind(u, {}), Error::AddressInUse);
    m.FailCall(Call::Receive, Error::Closed, 1);
    const IoResult closed = m.Receive(p.client, nullptr, 0);
    EXPECT_EQ(closed.bytes, 0);
    EXPECT_EQ(closed.error, Error::Closed);
    m.FailCall(Call::InterfaceAddresses, Error::Failed, kFailAlways);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(m.InterfaceAddresses().empty());
    m.FailCall(Call::InterfaceAddresses, Error::Failed, 0);
    EXPECT_EQ(m.InterfaceAddresses(), std::vector<uint32_t>{world.Address(1)});
    m.FailCall(Call::Resolve, Error::Failed, 1);
    uint32_t address = 0;
    EXPECT_FALSE(m.Resolve("10.0.0.1", address));
    EXPECT_TRUE(m.Resolve("10.0.0.1", address));
}

TEST(FakeNet, MulticastSendsAreLoggedNeverDelivered)
{
    FakeWorld world;
    FakeMachine& m = world.Fake(0);
    const uint32_t lan = MakeAddress(192, 168, 0, 5);
    m.SetInterfaceAddresses({world.Address(0), lan});
    const Endpoint group{MakeAddress(239, 255, 255, 250), 1900};
    // A listener on the group's port on another machine hears nothing.
    const Socket ear = world.Machine(1).Open(Type::Datagram);
    ASSERT_EQ(world.Machine(1).Bind(ear, {0, 1900}), Error::None);
    const Socket s = m.Open(Type::Datagram);
    ASSERT_EQ(m.Bind(s, {lan, 0}), Error::None);
    EXPECT_EQ(m.SetMulticastInterface(s, MakeAddress(192, 168, 9, 9)), Error::Invalid);
    ASSERT_EQ(m.SetMulticastInterface(s, lan), Error::None);
    EXPECT_EQ(m.SendTo(s, "M-SEARCH", 8, group).bytes, 8);
    const std::vector<MulticastSend> log = world.network.MulticastSends();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].from, m.LocalEndpoint(s));
    EXPECT_EQ(log[0].to, group);
    EXPECT_EQ(log[0].interfaceAddress, lan);
    EXPECT_EQ(std::string(log[0].bytes.begin(), log[0].bytes.end()), "M-SEARCH");
    EXPECT_EQ(world.Machine(1).Wait(ear, kEventRead, 30), 0);
}

// The first bytes of the datagrams that arrive for 0..count-1 sent in order.
std::vector<int> Arrivals(const DatagramOptions& options, uint64_t seed, int count)
{
    FakeWorld world(seed);
    world.network.SetDatagramOptions(options);
    const Socket a = world.Machine(0).Open(Type::Datagram), b = world.Machine(1).Open(Type::Datagram);
    EXPECT_EQ(world.Machine(0).Bind(a, {}), Error::None);
    for (int i = 0; i < count; ++i) {
        const char c = char(i);
        world.Machine(1).SendTo(b, &c, 1, world.Machine(0).LocalEndpoint(a));
    }
    std::vector<int> got;
    char c;
    while (got.size() < 1000 && world.Machine(0).Wait(a, kEventRead, 0) == kEventRead &&
           world.Machine(0).ReceiveFrom(a, &c, 1, nullptr).bytes == 1)
        got.push_back(c);
    return got;
}

TEST(FakeNet, DatagramFates)
{
    struct Case { const char* what; DatagramOptions options; int sent; std::vector<int> arrive; };
    const Case cases[] = {
        {"all dropped", {100, 0, 0, 0}, 4, {}},
        {"all doubled", {0, 100, 0, 0}, 4, {0, 0, 1, 1, 2, 2, 3, 3}},
        {"pairs swapped, the last one lost", {0, 0, 100, 0}, 5, {1, 0, 3, 2}},
        {"untouched", {0, 0, 0, 0}, 4, {0, 1, 2, 3}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Arrivals(c.options, 1, c.sent), c.arrive) << c.what;
    const DatagramOptions some{30, 10, 10, 0};
    const std::vector<int> first = Arrivals(some, 9, 100);
    EXPECT_EQ(Arrivals(some, 9, 100), first);
    EXPECT_GT(first.size(), 50u);
    EXPECT_LT(first.size(), 95u);
}

TEST(FakeNet, NamesHostNamesAndInterfaces)
{
    FakeWorld world;
    world.Fake(1).SetHostName("member");
    world.Fake(0).AddName("lobby.example", MakeAddress(10, 0, 0, 3));
    world.network.AddName("shared", MakeAddress(10, 0, 0, 2));
    struct Case { const char* name; bool found; uint32_t address; };
    const Case cases[] = {
        {"10.0.0.9", true, MakeAddress(10, 0, 0, 9)},
        {"lobby.example", true, MakeAddress(10, 0, 0, 3)},
        {"shared", true, MakeAddress(10, 0, 0, 2)},
        {"member", true, MakeAddress(10, 0, 0, 2)},
        {"nobody", false, 0},
    };
    for (const Case& c : cases) {
        uint32_t address = 0;
        EXPECT_EQ(world.Machine(0).Resolve(c.name, address), c.found) << c.name;
        EXPECT_EQ(address, c.address) << c.name;
    }
    EXPECT_EQ(world.Machine(1).HostName(), "member");
    EXPECT_EQ(world.Machine(2).HostName(), "10.0.0.3");
    uint32_t address = 0;
    EXPECT_FALSE(world.Machine(1).Resolve("lobby.example", address));   // machine 0's own
}

TEST(FakeNet, ClosingUnderABlockedThreadIsLoggedAndWakesIt)
{
    FakeWorld world;
    const StreamPair p = Connect(world);
    {
        Background reader([&] {
            char c;
            world.Machine(0).Receive(p.server, &c, 1);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        world.Machine(0).Close(p.server);
    }
    const std::vector<std::string> misuses = world.network.Misuses();
    ASSERT_EQ(misuses.size(), 1u);
    EXPECT_NE(misuses[0].find("blocked"), std::string::npos);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::net::nettest
