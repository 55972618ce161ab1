// What both backends promise: every case runs on real loopback sockets and
// on the fake network, so code tested on the fake meets the same rules live.
#include "host/net/tests/NetTestSupport.h"

#include <atomic>
#include <thread>

namespace host::net::nettest {
namespace ORV_TEST_FILE_ID {

namespace {

class NetContract : public ::testing::TestWithParam<bool> {
protected:
    NetContract() {
        if (GetParam())
            world = std::make_unique<FakeWorld>(42);
        else
            world = std::make_unique<PosixWorld>();
    }
    Net& A() { return world->Machine(0); }
    Net& B() { return world->Machine(1); }
    std::unique_ptr<World> world;
};

uint32_t Elapsed(uint32_t start) { return host::kernel::TimeGetTime() - start; }

TEST_P(NetContract, ConnectsAndCarriesWholeRunsBothWays)
{
    const StreamPair p = Connect(*world);
    EXPECT_EQ(p.from, B().LocalEndpoint(p.client));
    EXPECT_EQ(p.from.address, world->Address(1));
    EXPECT_EQ(A().LocalEndpoint(p.server), A().LocalEndpoint(p.listener));

    const std::string up = Pattern(200000, 1), down = Pattern(3000, 2);
    {
        Background sender([&] { EXPECT_TRUE(SendAll(B(), p.client, up)); });
        EXPECT_EQ(ReceiveUpTo(A(), p.server, up.size()), up);
    }
    EXPECT_TRUE(SendAll(A(), p.server, down));
    EXPECT_EQ(ReceiveUpTo(B(), p.client, down.size()), down);
    for (Socket s : {p.client, p.server, p.listener})
        (s == p.client ? B() : A()).Close(s);
}

TEST_P(NetContract, EchoesForSeveralClientsAtOnce)
{
    if (GetParam()) {
        // Small, late pieces on the fake.
        StreamOptions options;
        options.maxSegment = 3;
        options.delayMs = 1;
        options.jitterMs = 2;
        static_cast<FakeWorld&>(*world).network.SetStreamOptions(options);
    }
    const Socket listener = A().Open(Type::Stream);
    ASSERT_EQ(A().Bind(listener, {}), Error::None);
    ASSERT_EQ(A().Listen(listener, 4), Error::None);
    const Endpoint where = A().LocalEndpoint(listener);
    std::vector<std::unique_ptr<Background>> threads;
    for (int i = 0; i < 3; ++i) {
        threads.push_back(std::make_unique<Background>([&] {
            const Socket s = A().Accept(listener, nullptr);
            // Echo what comes until the client's end, one Wait at a time.
            char buffer[512];
            for (int n = 0; n < 100000 && A().Wait(s, kEventRead, 5000) > 0;) {
                const IoResult r = A().Receive(s, buffer, sizeof buffer);
                if (r.error == Error::WouldBlock)
                    continue;
                if (r.bytes <= 0 || !SendAll(A(), s, std::string(buffer, size_t(r.bytes))))
                    break;
                ++n;
            }
            A().Close(s);
        }));
    }
    for (int i = 0; i < 3; ++i) {
        threads.push_back(std::make_unique<Background>([&, i] {
            Net& net = world->Machine(1 + i % 2);
            const Socket s = net.Open(Type::Stream);
            ASSERT_EQ(net.Connect(s, where, 2000), Error::None);
            const std::string text = Pattern(20000, uint32_t(i));
            EXPECT_TRUE(SendAll(net, s, text));
            EXPECT_EQ(ReceiveUpTo(net, s, text.size()), text);
            net.Shutdown(s);
            net.Close(s);
        }));
    }
    threads.clear();
    A().Close(listener);
}

TEST_P(NetContract, PortZeroBindTakesAFreePortOnTheMachinesAddress)
{
    for (Type type : {Type::Stream, Type::Datagram}) {
        const Socket s = A().Open(type);
        ASSERT_EQ(A().Bind(s, {}), Error::None);
        if (type == Type::Stream) {
            ASSERT_EQ(A().Listen(s, 1), Error::None);
        }
        const Endpoint local = A().LocalEndpoint(s);
        EXPECT_EQ(local.address, world->Address(0));
        EXPECT_NE(local.port, 0);
        const Socket again = A().Open(type);
        EXPECT_EQ(A().Bind(again, local), Error::AddressInUse);
        A().Close(again);
        A().Close(s);
    }
}

TEST_P(NetContract, ConnectWhereNobodyListensIsRefused)
{
    const Socket gone = A().Open(Type::Stream);
    ASSERT_EQ(A().Bind(gone, {}), Error::None);
    ASSERT_EQ(A().Listen(gone, 1), Error::None);
    const Endpoint where = A().LocalEndpoint(gone);
    A().Close(gone);
    const Socket s = B().Open(Type::Stream);
    EXPECT_EQ(B().Connect(s, where, 2000), Error::Refused);
    B().Close(s);
}

TEST_P(NetContract, WaitTimesOutThenLeavesTheSocketNonBlocking)
{
    const StreamPair p = Connect(*world);
    const uint32_t start = host::kernel::TimeGetTime();
    EXPECT_EQ(A().Wait(p.server, kEventRead, 60), 0);
    EXPECT_GE(Elapsed(start), 50u);
    char c;
    EXPECT_EQ(A().Receive(p.server, &c, 1).error, Error::WouldBlock);
    EXPECT_EQ(A().Wait(p.server, kEventWrite, 1000) & kEventWrite, kEventWrite);
}

TEST_P(NetContract, WaitReportsDataThenTheEnd)
{
    const StreamPair p = Connect(*world);
    ASSERT_TRUE(SendAll(B(), p.client, "abc"));
    EXPECT_NE(A().Wait(p.server, kEventRead, 2000) & kEventRead, 0);
    std::string got;
    for (int i = 0; i < 10 && got.size() < 3; ++i) {
        ASSERT_NE(A().Wait(p.server, kEventRead, 2000), 0);
        got += ReceiveUpTo(A(), p.server, 3 - got.size());
    }
    EXPECT_EQ(got, "abc");
    B().Close(p.client);
    // kEventClose counts though only reads were asked for.
    EXPECT_NE(A().Wait(p.server, kEventRead, 2000) & kEventClose, 0);
    char c;
    const IoResult end = A().Receive(p.server, &c, 1);
    EXPECT_EQ(end.bytes, 0);
    EXPECT_EQ(end.error, Error::Closed);
}

TEST_P(NetContract, ShutdownWakesBlockedCalls)
{
    // Each blocked call, woken by a Shutdown from another thread.
    struct Case { const char* what; int kind; };
    for (const Case c : {Case{"Accept", 0}, Case{"Receive", 1}, Case{"Wait", 2}, Case{"ReceiveFrom", 3},
                         Case{"Accept after a Wait", 4}}) {
        SCOPED_TRACE(c.what);
        StreamPair p;
        Socket target;
        if (c.kind == 0 || c.kind == 4) {
            target = A().Open(Type::Stream);
            ASSERT_EQ(A().Bind(target, {}), Error::None);
            ASSERT_EQ(A().Listen(target, 1), Error::None);
            if (c.kind == 4) {
                EXPECT_EQ(A().Wait(target, kEventRead, 0), 0);
            }
        } else if (c.kind == 3) {
            target = A().Open(Type::Datagram);
            ASSERT_EQ(A().Bind(target, {}), Error::None);
        } else {
            p = Connect(*world);
            target = p.server;
        }
        std::atomic<bool> woken{false};
        {
            Background blocked([&] {
                char buffer[16];
                if (c.kind == 0 || c.kind == 4) {
                    EXPECT_EQ(A().Accept(target, nullptr), kNoSocket);
                } else if (c.kind == 1) {
                    const IoResult r = A().Receive(target, buffer, sizeof buffer);
                    EXPECT_EQ(r.bytes, 0);
                    EXPECT_EQ(r.error, Error::Closed);
                } else if (c.kind == 2) {
                    EXPECT_NE(A().Wait(target, kEventRead, 10000) & kEventClose, 0);
                } else {
                    EXPECT_EQ(A().ReceiveFrom(target, buffer, sizeof buffer, nullptr).error, Error::Closed);
                }
                woken = true;
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_FALSE(woken);
            A().Shutdown(target);
        }
        EXPECT_TRUE(woken);
        if (c.kind == 1) {
            // The peer sees the end too.
            char buffer[4];
            EXPECT_EQ(B().Receive(p.client, buffer, sizeof buffer).error, Error::Closed);
        }
        if (p.client != kNoSocket) {
            B().Close(p.client);
            A().Close(p.listener);
        }
        A().Close(target);
    }
}

TEST_P(NetContract, SendsToAGonePeerFailWithReset)
{
    const StreamPair p = Connect(*world);
    A().Close(p.server);
    Error error = Error::None;
    const std::string chunk(1000, 'x');
    // The first send may still go out before the peer's reset comes back.
    for (int i = 0; i < 200 && error == Error::None; ++i) {
        error = B().Send(p.client, chunk.data(), chunk.size()).error;
        if (error == Error::None)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(error, Error::Reset);
}

TEST_P(NetContract, NonBlockingSendsWouldBlockWhenThePeerDoesNotRead)
{
    const StreamPair p = Connect(*world);
    ASSERT_NE(B().Wait(p.client, kEventWrite, 1000) & kEventWrite, 0);
    const std::string chunk(65536, 'y');
    IoResult r;
    for (int i = 0; i < 2000; ++i)
        if ((r = B().Send(p.client, chunk.data(), chunk.size())).bytes <= 0)
            break;
    EXPECT_EQ(r.error, Error::WouldBlock);
}

TEST_P(NetContract, EmptySendsAndReceivesMoveNothingAndFailNothing)
{
    const StreamPair p = Connect(*world);
    const IoResult sent = B().Send(p.client, "", 0);
    EXPECT_EQ(sent.bytes, 0);
    EXPECT_EQ(sent.error, Error::None);
    char c;
    const IoResult got = A().Receive(p.server, &c, 0);
    EXPECT_EQ(got.bytes, 0);
    EXPECT_EQ(got.error, Error::None);
}

TEST_P(NetContract, DatagramsKeepTheirBoundariesAndSender)
{
    const Socket a = A().Open(Type::Datagram), b = B().Open(Type::Datagram);
    ASSERT_EQ(A().Bind(a, {}), Error::None);
    const Endpoint to = A().LocalEndpoint(a);
    // Sizes with a cut to the buffer (100 into 10) and an empty one.
    const size_t sizes[] = {5, 1400, 100, 0, 7};
    for (size_t n : sizes)
        EXPECT_EQ(B().SendTo(b, Pattern(n, uint32_t(n)).data(), n, to).bytes, int32_t(n));
    const Endpoint sender = B().LocalEndpoint(b);
    EXPECT_EQ(sender.address, world->Address(1));
    for (size_t n : sizes) {
        char buffer[2000];
        const size_t capacity = n == 100 ? 10 : sizeof buffer;
        Endpoint from;
        const IoResult r = A().ReceiveFrom(a, buffer, capacity, &from);
        ASSERT_EQ(r.bytes, int32_t(std::min(n, capacity))) << n;
        EXPECT_EQ(r.error, Error::None);
        EXPECT_EQ(std::string(buffer, size_t(r.bytes)), Pattern(n, uint32_t(n)).substr(0, capacity));
        EXPECT_EQ(from, sender);
    }
    EXPECT_EQ(A().Wait(a, kEventRead, 30), 0);
    A().Close(a);
    B().Close(b);
}

TEST_P(NetContract, WaitOnAClosedSocketFails)
{
    const Socket s = A().Open(Type::Stream);
    A().Close(s);
    EXPECT_EQ(A().Wait(s, kEventRead, 10), kWaitFailed);
}

INSTANTIATE_TEST_SUITE_P(Backends, NetContract, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Fake" : "Posix"; });

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::net::nettest
