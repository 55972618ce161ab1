// The fake network: machines in one process, each a Net with its own
// address, joined by links that misbehave the way real ones do, from a seed.
//
// Streams keep their bytes in order but cut them into pieces: each send is
// split at seeded points, no piece longer than the link's maximum, and its
// first piece may join the previous one while nobody has read that yet. A
// receive returns at most one piece. Pieces become readable after the link's
// delay, counted on the installed kernel clock (a FakeClock moves them only
// when advanced). A stalled link delivers nothing until released; a cut ends
// its connections with a reset or an orderly close, on command or after a
// number of bytes. Datagrams are dropped, doubled or swapped with the next
// one on the same link at seeded rates; sends to multicast addresses
// (224.0.0.0/4) are logged, never delivered. Any call can be made to fail.
//
// One seed, one run: every link draws from its own generator, seeded from
// the network's seed and the link's two endpoints, so the same sends give the
// same pieces and fates whatever the other links do. (A join depends on the
// reader not having taken the previous piece yet, so a reader racing the
// sender may see fewer joins.)
//
// Blocking calls really block (Accept and Receive until data, a shut-down or
// an end; Connect and Wait within their time-outs, which count real time as
// the POSIX calls do). Everything is safe to call from any thread. Misuses
// that the real network would punish unpredictably (closing a socket another
// thread is blocked on, using a closed number) are logged for tests to check;
// the blocked thread is woken, the unknown number refused.
#pragma once

#include "host/net/Net.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace host::net {

// How a link treats a stream's bytes, one direction.
struct StreamOptions {
    uint32_t maxSegment = 1460;      // the longest piece; 1 gives single bytes
    uint32_t splitPercent = 25;      // chance a piece is cut shorter than it could be
    uint32_t joinPercent = 25;       // chance a send's first piece joins an unread one
    uint32_t delayMs = 0;            // before a piece can be read (kernel clock)
    uint32_t jitterMs = 0;           // plus up to this much, order kept
    uint32_t bufferBytes = 256 * 1024;   // unread bytes before a send waits
};

// How a link treats datagrams, one direction.
struct DatagramOptions {
    uint32_t dropPercent = 0;
    uint32_t doublePercent = 0;
    uint32_t reorderPercent = 0;     // held back and delivered after the next one (lost if none follows)
    uint32_t delayMs = 0;
};

enum class CutKind : uint8_t { Reset, Close };

// The calls that can be told to fail.
enum class Call : uint8_t {
    Open, Bind, Listen, Accept, Connect, Send, Receive, SendTo, ReceiveFrom, Wait,
    Resolve, HostName, InterfaceAddresses, SetMulticastInterface,
};
constexpr uint32_t kFailAlways = 0xFFFFFFFFu;

struct MulticastSend {
    Endpoint from;
    Endpoint to;
    uint32_t interfaceAddress = kAnyAddress;   // the one set on the socket, else the machine's address
    std::vector<uint8_t> bytes;
};

class FakeNetwork;

// One machine: its address, host name, interface addresses and names.
class FakeMachine final : public Net {
public:
    ~FakeMachine() override;

    uint32_t Address() const;
    void SetHostName(std::string name);
    // Also addresses the machine owns: binds and connects may use them.
    void SetInterfaceAddresses(std::vector<uint32_t> addresses);
    // A name that Resolve on this machine answers (besides the network's names).
    void AddName(std::string name, uint32_t address);
    // Skips the next skip calls of a kind, then fails times of them with error
    // (kFailAlways: until cleared by times = 0).
    void FailCall(Call call, Error error, uint32_t times = 1, uint32_t skip = 0);

    Socket Open(Type type) override;
    Error Bind(Socket socket, Endpoint local) override;
    Error Listen(Socket socket, int32_t backlog) override;
    Socket Accept(Socket listener, Endpoint* from) override;
    Error Connect(Socket socket, Endpoint remote, uint32_t timeoutMs) override;
    IoResult Send(Socket socket, const void* data, size_t bytes) override;
    IoResult Receive(Socket socket, void* data, size_t capacity) override;
    IoResult SendTo(Socket socket, const void* data, size_t bytes, Endpoint remote) override;
    IoResult ReceiveFrom(Socket socket, void* data, size_t capacity, Endpoint* from) override;
    int32_t Wait(Socket socket, uint32_t events, uint32_t timeoutMs) override;
    void Shutdown(Socket socket) override;
    void Close(Socket socket) override;
    Endpoint LocalEndpoint(Socket socket) override;
    bool Resolve(std::string_view name, uint32_t& address) override;
    std::string HostName() override;
    std::vector<uint32_t> InterfaceAddresses() override;
    Error SetMulticastInterface(Socket socket, uint32_t address) override;

private:
    friend class FakeNetwork;
    FakeMachine(FakeNetwork& network, int index);
    FakeNetwork& m_network;
    const int m_index;
};

class FakeNetwork {
public:
    explicit FakeNetwork(uint64_t seed);
    // Ends every connection; machines must no longer be in use.
    ~FakeNetwork();
    FakeNetwork(const FakeNetwork&) = delete;
    FakeNetwork& operator=(const FakeNetwork&) = delete;

    // A machine with its own address (not 0, not taken), owned by the
    // network. Its host name is its dotted address until scripted.
    FakeMachine& AddMachine(uint32_t address);

    // Options for links from one address to another; kAnyAddress on either
    // side matches every machine, and the most exact rule wins. They apply
    // to what is sent afterwards.
    void SetStreamOptions(const StreamOptions& options, uint32_t from = kAnyAddress, uint32_t to = kAnyAddress);
    void SetDatagramOptions(const DatagramOptions& options, uint32_t from = kAnyAddress, uint32_t to = kAnyAddress);

    // Nothing sent from one address to the other is delivered until released
    // (one direction; stall both for a dead line). Connects wait too.
    void Stall(uint32_t from, uint32_t to);
    void Release(uint32_t from, uint32_t to);
    // Ends every stream connection between the two addresses now: a reset
    // throws away what is still on the way; a close delivers it, then the end.
    void Cut(uint32_t a, uint32_t b, CutKind kind);
    // Ends the next stream connection from one address to the other once it
    // has carried bytes more bytes that way: exactly those arrive, then the end.
    void CutAfter(uint32_t from, uint32_t to, uint64_t bytes, CutKind kind);

    // A name every machine resolves.
    void AddName(std::string name, uint32_t address);

    std::vector<MulticastSend> MulticastSends() const;
    // Misuses seen so far (a close under a blocked thread, an unknown number).
    std::vector<std::string> Misuses() const;

private:
    friend class FakeMachine;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace host::net
