// CUPnP's socket calls on a scripted net that delivers nothing: the search
// port's bind loop and the deadlines it passes.
#include "game/network/UPnP.h"
#include "game/network/UPnPWire.h"
#include "game/network/tests/GatewayTexts.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ORV_TEST_FILE_ID {

namespace {

using host::net::Endpoint;
using host::net::Error;
using host::net::IoResult;
using host::net::Socket;

struct Sent {
    Socket socket;
    u32 interface;
    Endpoint to;
    std::string bytes;
};

class ScriptedNet final : public host::net::Net {
public:
    std::vector<u32> interfaces;
    u32 freeFromPort = 0;          // Bind: ports below are in use (0: none free)
    std::string reply;             // the one search reply; empty: silence
    Error connect = Error::TimedOut;

    std::vector<Sent> sent;
    std::vector<u32> boundPorts, waits, connectDeadlines;
    u32 opened = 0, closed = 0;

    Socket Open(host::net::Type) override { return Socket(++opened); }
    Error Bind(Socket, Endpoint local) override
    {
        boundPorts.push_back(local.port);
        return freeFromPort && local.port >= freeFromPort ? Error::None : Error::AddressInUse;
    }
    Error Listen(Socket, int32_t) override { return Error::Failed; }
    Socket Accept(Socket, Endpoint*) override { return host::net::kNoSocket; }
    Error Connect(Socket, Endpoint, uint32_t timeoutMs) override
    {
        connectDeadlines.push_back(timeoutMs);
        return connect;
    }
    IoResult Send(Socket, const void*, size_t) override { return {-1, Error::Reset}; }
    IoResult Receive(Socket, void*, size_t) override { return {0, Error::Closed}; }
    IoResult SendTo(Socket socket, const void* data, size_t bytes, Endpoint to) override
    {
        sent.push_back({socket, m_interface, to, std::string(static_cast<const char*>(data), bytes)});
        return {int32_t(bytes), Error::None};
    }
    IoResult ReceiveFrom(Socket, void* data, size_t capacity, Endpoint*) override
    {
        const size_t n = std::min(capacity, reply.size());
        std::copy_n(reply.data(), n, static_cast<char*>(data));
        return {int32_t(n), Error::None};
    }
    int32_t Wait(Socket, uint32_t, uint32_t timeoutMs) override
    {
        waits.push_back(timeoutMs);
        return reply.empty() ? 0 : int32_t(host::net::kEventRead);
    }
    void Shutdown(Socket) override {}
    void Close(Socket) override { ++closed; }
    Endpoint LocalEndpoint(Socket) override { return {}; }
    bool Resolve(std::string_view name, uint32_t& address) override
    {
        ADD_FAILURE() << "name lookup of " << name;
        return host::net::ParseAddress(name, address);
    }
    std::string HostName() override { return "player"; }
    std::vector<uint32_t> InterfaceAddresses() override { return interfaces; }
    Error SetMulticastInterface(Socket, uint32_t address) override
    {
        m_interface = address;
        return Error::None;
    }

private:
    u32 m_interface = 0;
};

constexpr u32 kLan = host::net::MakeAddress(192, 168, 0, 2);

TEST(UPnPNetTest, NoInterfaceMeansNoSearchAndNoWait)
{
    ScriptedNet net;
    net.freeFromPort = upnp::kFirstSearchPort;
    CUPnP mapper(&net);
    EXPECT_EQ(mapper.Discover(), 0);
    EXPECT_TRUE(net.sent.empty());
    EXPECT_TRUE(net.waits.empty());
    EXPECT_EQ(net.closed, net.opened);
}

struct BindCase {
    const char* name;
    u32 freeFrom;
    size_t attempts;
};

// The port count stops at 65535: a u16 counter would wrap to 0 and try again
// for ever when nothing is free.
TEST(UPnPNetTest, SearchPortBindLoopEndsAt65535)
{
    const BindCase cases[] = {
        {"first free", 1024, 1},
        {"next free", 1030, 7},
        {"last free", 65535, 65535 - 1024 + 1},
        {"none free", 0, 65535 - 1024 + 1},
    };
    for (const BindCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedNet net;
        net.interfaces = {kLan};
        net.freeFromPort = c.freeFrom;
        CUPnP mapper(&net);
        EXPECT_EQ(mapper.Discover(), 0);
        ASSERT_EQ(net.boundPorts.size(), c.attempts);
        EXPECT_EQ(net.boundPorts.back(), c.freeFrom ? c.freeFrom : 65535u);
        EXPECT_EQ(net.sent.empty(), c.freeFrom == 0);
        EXPECT_EQ(net.closed, net.opened);
    }
}

// A gateway that takes connections nowhere: the fetch gives up at its
// deadline and never asks a name server for the host.
TEST(UPnPNetTest, DescriptionConnectIsBounded)
{
    ScriptedNet net;
    net.interfaces = {kLan};
    net.freeFromPort = upnp::kFirstSearchPort;
    net.reply = gateway_text::SearchReply(gateway_text::Location("192.168.0.1", 5000));
    CUPnP mapper(&net);
    EXPECT_EQ(mapper.Discover(), 0);
    EXPECT_EQ(net.connectDeadlines, std::vector<u32>{upnp::kConnectMs});
    EXPECT_EQ(net.closed, net.opened);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
