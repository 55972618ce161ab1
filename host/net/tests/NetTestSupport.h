// Helpers for the socket service's tests: machines on either backend, and
// bounded loops over sends and receives.
#pragma once

#include "host/kernel/Kernel.h"
#include "host/net/FakeNet.h"
#include "host/net/Net.h"
#include "host/net/tests/Loopback.h"

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace host::net {
inline void PrintTo(Error error, std::ostream* os)
{
    static const char* const names[] = {"None", "WouldBlock", "Closed", "Reset", "Refused",
                                        "TimedOut", "AddressInUse", "Invalid", "Failed"};
    *os << (size_t(error) < std::size(names) ? names[size_t(error)] : "?");
}
}  // namespace host::net

// Inside host::net, so the tests name the service's types as its own code does.
namespace host::net::nettest {

using net_test::Loopback;

// A few machines that can reach each other: real loopback addresses of this
// process, or machines on a fake network.
class World {
public:
    virtual ~World() = default;
    virtual Net& Machine(int i) = 0;
    virtual uint32_t Address(int i) = 0;
};

class PosixWorld final : public World {
public:
    PosixWorld() {
        for (int i = 0; i < 3; ++i)
            m_nets.push_back(CreatePosixNet(Loopback(uint8_t(i + 1))));
    }
    Net& Machine(int i) override { return *m_nets[size_t(i)]; }
    uint32_t Address(int i) override { return Loopback(uint8_t(i + 1)); }
private:
    std::vector<std::unique_ptr<Net>> m_nets;
};

class FakeWorld final : public World {
public:
    explicit FakeWorld(uint64_t seed = 1) : network(seed) {
        for (int i = 0; i < 3; ++i)
            m_machines.push_back(&network.AddMachine(Address(i)));
    }
    Net& Machine(int i) override { return *m_machines[size_t(i)]; }
    FakeMachine& Fake(int i) { return *m_machines[size_t(i)]; }
    uint32_t Address(int i) override { return MakeAddress(10, 0, 0, uint8_t(i + 1)); }
    FakeNetwork network;
private:
    std::vector<FakeMachine*> m_machines;
};

inline std::string Pattern(size_t bytes, uint32_t seed = 7)
{
    std::string text(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i) {
        seed = seed * 1103515245u + 12345u;
        text[i] = char(seed >> 16);
    }
    return text;
}

// Sends all of text (at most 10,000 calls); false on an error.
inline bool SendAll(Net& net, Socket s, const std::string& text)
{
    size_t sent = 0;
    for (int i = 0; i < 10000 && sent < text.size(); ++i) {
        const IoResult r = net.Send(s, text.data() + sent, text.size() - sent);
        if (r.bytes <= 0)
            return false;
        sent += size_t(r.bytes);
    }
    return sent == text.size();
}

// Receives up to bytes (at most 100,000 calls), stopping at the end or an error.
inline std::string ReceiveUpTo(Net& net, Socket s, size_t bytes, Error* last = nullptr)
{
    std::string text;
    char buffer[4096];
    for (int i = 0; i < 100000 && text.size() < bytes; ++i) {
        const IoResult r = net.Receive(s, buffer, std::min(sizeof buffer, bytes - text.size()));
        if (last)
            *last = r.error;
        if (r.bytes <= 0)
            break;
        text.append(buffer, size_t(r.bytes));
    }
    return text;
}

// A listener on machine 0, a client on machine 1 connected to it, and the
// accepted socket.
struct StreamPair {
    Socket listener = kNoSocket, client = kNoSocket, server = kNoSocket;
    Endpoint from;   // what Accept said of the client
};

inline StreamPair Connect(World& world, int serverMachine = 0, int clientMachine = 1)
{
    Net& a = world.Machine(serverMachine);
    Net& b = world.Machine(clientMachine);
    StreamPair pair;
    pair.listener = a.Open(Type::Stream);
    EXPECT_EQ(a.Bind(pair.listener, {}), Error::None);
    EXPECT_EQ(a.Listen(pair.listener, 8), Error::None);
    pair.client = b.Open(Type::Stream);
    EXPECT_EQ(b.Connect(pair.client, a.LocalEndpoint(pair.listener), 2000), Error::None);
    pair.server = a.Accept(pair.listener, &pair.from);
    EXPECT_NE(pair.server, kNoSocket);
    return pair;
}

// Runs body on a thread; the destructor waits for it (bounded) and fails
// the test if it has not ended.
class Background {
public:
    explicit Background(std::function<void()> body)
        : m_thread(host::kernel::StartThread([body] { body(); return 0u; })) {}
    ~Background() { EXPECT_TRUE(Ended(5000)) << "a blocked call was not woken"; }
    bool Ended(uint32_t timeoutMs) { return m_thread->Wait(timeoutMs); }
private:
    std::unique_ptr<host::kernel::Thread> m_thread;
};

}  // namespace host::net::nettest
