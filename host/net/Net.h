// The socket service: IPv4 TCP and UDP sockets, as narrow as the calls the
// network play makes. A Net is one machine's view of a network: the real one
// (POSIX sockets), or a machine on an in-process fake network (FakeNet.h).
// Everything that opens sockets takes a Net*, null meaning DefaultNet(), so
// several game instances can share one process, each with its own address.
//
// Addresses are u32 in network order as they lie in memory (first octet in
// the lowest byte, as in_addr keeps it); ports are host order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace host::net {

using Socket = int32_t;
constexpr Socket kNoSocket = -1;

// The socket types; also the peer protocol's channel numbers.
enum class Type : uint8_t { Stream = 1, Datagram = 2 };

constexpr uint32_t MakeAddress(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    return uint32_t(a) | uint32_t(b) << 8 | uint32_t(c) << 16 | uint32_t(d) << 24;
}
constexpr uint32_t kAnyAddress = 0;
constexpr uint32_t kLoopback = MakeAddress(127, 0, 0, 1);

struct Endpoint {
    uint32_t address = kAnyAddress;
    uint16_t port = 0;
    bool operator==(const Endpoint&) const = default;
};

enum class Error : uint8_t {
    None,
    WouldBlock,     // nothing to read, or no room to send, now
    Closed,         // the peer closed (a receive of 0 bytes), or the socket was shut down
    Reset,          // the connection was reset or cut
    Refused,        // nobody listens there
    TimedOut,       // a connect past its deadline
    AddressInUse,   // bind
    Invalid,        // a bad socket, address or argument
    Failed,         // anything else (an injected failure)
};

// A send or receive: bytes > 0 moved; 0 with Closed when the peer closed;
// -1 with the error otherwise.
struct IoResult {
    int32_t bytes = -1;
    Error error = Error::Failed;
};

// Wait's events, and its result mask.
enum : uint32_t {
    kEventRead = 1,    // data, a pending connection, or the end of the stream
    kEventWrite = 2,
    kEventClose = 4,   // the connection ended (hang-up or error); read what is left
};
constexpr int32_t kWaitFailed = -1;

class Net {
public:
    virtual ~Net() = default;

    // A new socket, blocking; kNoSocket on failure.
    virtual Socket Open(Type type) = 0;
    // Any address binds to this machine's bind address. Listeners reuse
    // addresses (SO_REUSEADDR).
    virtual Error Bind(Socket socket, Endpoint local) = 0;
    virtual Error Listen(Socket socket, int32_t backlog) = 0;
    // Blocks until a connection arrives; kNoSocket when the listener was shut
    // down or closed, or on error. from may be null.
    virtual Socket Accept(Socket listener, Endpoint* from) = 0;
    // Connects within the deadline (ms). An unbound socket is first bound to
    // this machine's bind address.
    virtual Error Connect(Socket socket, Endpoint remote, uint32_t timeoutMs) = 0;
    // Never raises SIGPIPE.
    virtual IoResult Send(Socket socket, const void* data, size_t bytes) = 0;
    virtual IoResult Receive(Socket socket, void* data, size_t capacity) = 0;
    virtual IoResult SendTo(Socket socket, const void* data, size_t bytes, Endpoint remote) = 0;
    // One datagram, cut to capacity; from may be null. An empty datagram
    // gives 0 bytes with None; a shut-down socket 0 bytes with Closed.
    virtual IoResult ReceiveFrom(Socket socket, void* data, size_t capacity, Endpoint* from) = 0;
    // Waits up to timeoutMs for any of events: the mask of those that hold
    // (kEventClose always counts), 0 on time-out, kWaitFailed on a bad
    // socket. Makes the socket non-blocking for good, as event selection
    // does: sends and receives then give WouldBlock instead of waiting.
    virtual int32_t Wait(Socket socket, uint32_t events, uint32_t timeoutMs) = 0;
    // Wakes every thread blocked on the socket (Accept, Wait, Receive) and
    // ends its connection; the number stays valid until Close.
    virtual void Shutdown(Socket socket) = 0;
    // Frees the number. Call only once no thread uses the socket any more.
    virtual void Close(Socket socket) = 0;
    // The address and port a socket is bound to (the port a port-0 bind got).
    virtual Endpoint LocalEndpoint(Socket socket) = 0;

    // A dotted address, else a name lookup (its first IPv4 address).
    virtual bool Resolve(std::string_view name, uint32_t& address) = 0;
    virtual std::string HostName() = 0;
    // The machine's interface addresses (the multicast sends go out through
    // each); an empty list when they cannot be read.
    virtual std::vector<uint32_t> InterfaceAddresses() = 0;
    virtual Error SetMulticastInterface(Socket socket, uint32_t address) = 0;
};

// The net used when an owner is given none: the installed one, else the
// process's POSIX net.
Net& DefaultNet();
// Installs a net for DefaultNet (not owned; tests only); null restores the real one.
void InstallNet(Net* net);

// The real network. A non-zero bind address stands in for "any address" in
// Bind and is bound before Connect and SendTo, so game instances sharing one
// machine each own a loopback address (127.0.0.2, ...) and the fixed ports.
std::unique_ptr<Net> CreatePosixNet(uint32_t bindAddress = kAnyAddress);

// "a.b.c.d".
std::string FormatAddress(uint32_t address);
// Four decimal numbers 0..255 (up to three digits each, leading zeros read
// as decimal) separated by dots, nothing else; false otherwise.
bool ParseAddress(std::string_view text, uint32_t& address);

}  // namespace host::net
