// The real backend's own promises: no SIGPIPE, the bind address standing in
// for any address, and the address texts.
#include "host/net/tests/NetTestSupport.h"

#include <csignal>
#include <thread>

namespace host::net::nettest {
namespace ORV_TEST_FILE_ID {

namespace {

TEST(PosixNet, SendingToAClosedPeerRaisesNoSignal)
{
    // The default action of SIGPIPE ends the process: getting past the
    // sends is the test.
    const auto previous = std::signal(SIGPIPE, SIG_DFL);
    PosixWorld world;
    const StreamPair p = Connect(world);
    world.Machine(0).Close(p.server);
    const std::string chunk(4096, 'p');
    Error error = Error::None;
    for (int i = 0; i < 200 && error == Error::None; ++i) {
        error = world.Machine(1).Send(p.client, chunk.data(), chunk.size()).error;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(error, Error::Reset);
    std::signal(SIGPIPE, previous);
    world.Machine(1).Close(p.client);
    world.Machine(0).Close(p.listener);
}

TEST(PosixNet, TheBindAddressStandsInForAnyAddress)
{
    PosixWorld world;
    Net& a = world.Machine(0);
    Net& b = world.Machine(1);
    // Connects and datagrams from unbound sockets leave from the machine's own address.
    const StreamPair p = Connect(world);
    EXPECT_EQ(p.from.address, world.Address(1));
    const Socket u = a.Open(Type::Datagram), v = b.Open(Type::Datagram);
    ASSERT_EQ(a.Bind(u, {kAnyAddress, 0}), Error::None);
    EXPECT_EQ(a.LocalEndpoint(u).address, world.Address(0));
    ASSERT_EQ(b.SendTo(v, "d", 1, a.LocalEndpoint(u)).bytes, 1);
    char c;
    Endpoint from;
    ASSERT_EQ(a.ReceiveFrom(u, &c, 1, &from).bytes, 1);
    EXPECT_EQ(from.address, world.Address(1));
    // The machine names itself by its address, so no name server is asked.
    EXPECT_EQ(a.HostName(), FormatAddress(world.Address(0)));
    EXPECT_EQ(a.InterfaceAddresses(), std::vector<uint32_t>{world.Address(0)});
    uint32_t address = 0;
    ASSERT_TRUE(a.Resolve(a.HostName(), address));
    EXPECT_EQ(address, world.Address(0));
    for (Socket s : {u, p.server, p.listener})
        a.Close(s);
    for (Socket s : {v, p.client})
        b.Close(s);
}

TEST(NetAddress, ParseAndFormat)
{
    struct Case { const char* text; bool ok; uint32_t address; };
    const Case cases[] = {
        {"127.0.0.1", true, kLoopback},
        {"192.168.001.010", true, MakeAddress(192, 168, 1, 10)},
        {"0.0.0.0", true, 0},
        {"255.255.255.255", true, 0xFFFFFFFFu},
        {"256.0.0.1", false, 0},
        {"1.2.3", false, 0},
        {"1.2.3.4.", false, 0},
        {"1.2.3.4 ", false, 0},
        {"1..3.4", false, 0},
        {"0001.2.3.4", false, 0},
        {"+1.2.3.4", false, 0},
        {"-1.2.3.4", false, 0},
        {"a.b.c.d", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        uint32_t address = 0xDEADBEEF;
        EXPECT_EQ(ParseAddress(c.text, address), c.ok) << c.text;
        // Untouched on failure.
        EXPECT_EQ(address, c.ok ? c.address : 0xDEADBEEFu) << c.text;
    }
    EXPECT_EQ(FormatAddress(MakeAddress(192, 168, 1, 10)), "192.168.1.10");
    EXPECT_EQ(FormatAddress(0xFFFFFFFFu), "255.255.255.255");
    EXPECT_EQ(FormatAddress(kAnyAddress), "0.0.0.0");
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::net::nettest
