// The real network: POSIX sockets and poll.
#include "host/net/Net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace host::net {

namespace {

Error FromErrno(int error)
{
    switch (error) {
    case 0: return Error::None;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINPROGRESS: return Error::WouldBlock;
    case ECONNRESET:
    case EPIPE:
    case ECONNABORTED:
    case ENETRESET: return Error::Reset;
    case ENOTCONN:
    case ESHUTDOWN: return Error::Closed;
    case ECONNREFUSED: return Error::Refused;
    case ETIMEDOUT: return Error::TimedOut;
    case EADDRINUSE: return Error::AddressInUse;
    case EBADF:
    case EINVAL:
    case ENOTSOCK:
    case EAFNOSUPPORT:
    case EADDRNOTAVAIL:
    case EDESTADDRREQ: return Error::Invalid;
    default: return Error::Failed;
    }
}

sockaddr_in ToSockaddr(Endpoint endpoint)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    address.sin_addr.s_addr = endpoint.address;
    return address;
}

Endpoint FromSockaddr(const sockaddr_in& address) { return {address.sin_addr.s_addr, ntohs(address.sin_port)}; }

IoResult Io(ssize_t n)
{
    if (n > 0)
        return {static_cast<int32_t>(n), Error::None};
    if (n == 0)
        return {0, Error::Closed};
    return {-1, FromErrno(errno)};
}

// Send and receive sizes fit the result's count.
size_t Clamp(size_t bytes) { return bytes > size_t(INT32_MAX) ? size_t(INT32_MAX) : bytes; }

void SetNonBlocking(int fd, bool on)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK);
}

class PosixNet final : public Net {
public:
    explicit PosixNet(uint32_t bindAddress) : m_bindAddress(bindAddress) {}

    Socket Open(Type type) override
    {
        const int kind = type == Type::Stream ? SOCK_STREAM : SOCK_DGRAM;
        return ::socket(AF_INET, kind | SOCK_CLOEXEC, 0);
    }

    Error Bind(Socket socket, Endpoint local) override
    {
        if (local.address == kAnyAddress)
            local.address = m_bindAddress;
        // Listeners come back to their port at once after a close; datagram
        // sockets keep the plain rule, so two cannot share a port.
        int type = 0;
        socklen_t length = sizeof type;
        if (getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &length) != 0)
            return FromErrno(errno);
        if (type == SOCK_STREAM) {
            const int on = 1;
            setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        }
        const sockaddr_in address = ToSockaddr(local);
        if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            return FromErrno(errno);
        return Error::None;
    }

    Error Listen(Socket socket, int32_t backlog) override
    {
        if (const Error e = BindIfUnbound(socket); e != Error::None)
            return e;
        return ::listen(socket, backlog < 0 || backlog > SOMAXCONN ? SOMAXCONN : backlog) == 0 ? Error::None
                                                                                               : FromErrno(errno);
    }

    Socket Accept(Socket listener, Endpoint* from) override
    {
        for (;;) {
            sockaddr_in address{};
            socklen_t length = sizeof address;
            const int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
            if (fd >= 0) {
                if (from)
                    *from = FromSockaddr(address);
                return fd;
            }
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // A listener made non-blocking by Wait: block here instead.
                pollfd p{listener, POLLIN, 0};
                if (::poll(&p, 1, -1) < 0 && errno != EINTR)
                    return kNoSocket;
                if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
                    return kNoSocket;
                continue;
            }
            return kNoSocket;
        }
    }

    Error Connect(Socket socket, Endpoint remote, uint32_t timeoutMs) override
    {
        if (const Error e = BindIfUnbound(socket); e != Error::None)
            return e;
        const int flags = fcntl(socket, F_GETFL);
        if (flags < 0)
            return FromErrno(errno);
        SetNonBlocking(socket, true);
        const sockaddr_in address = ToSockaddr(remote);
        Error result = Error::None;
        if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            if (errno != EINPROGRESS) {
                result = FromErrno(errno);
            } else {
                pollfd p{socket, POLLOUT, 0};
                int n;
                do
                    n = ::poll(&p, 1, timeoutMs > INT_MAX ? INT_MAX : static_cast<int>(timeoutMs));
                while (n < 0 && errno == EINTR);
                if (n == 0) {
                    result = Error::TimedOut;
                } else if (n < 0) {
                    result = FromErrno(errno);
                } else {
                    int error = 0;
                    socklen_t length = sizeof error;
                    getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length);
                    result = FromErrno(error);
                }
            }
        }
        fcntl(socket, F_SETFL, flags);
        return result;
    }

    IoResult Send(Socket socket, const void* data, size_t bytes) override
    {
        if (bytes == 0) return {0, Error::None};   // send's 0 is no end of the stream
        ssize_t n;
        do
            n = ::send(socket, data, Clamp(bytes), MSG_NOSIGNAL);
        while (n < 0 && errno == EINTR);
        return Io(n);
    }

    IoResult Receive(Socket socket, void* data, size_t capacity) override
    {
        if (capacity == 0) return {0, Error::None};   // recv of 0 bytes gives 0 (or waits), no end
        ssize_t n;
        do
            n = ::recv(socket, data, Clamp(capacity), 0);
        while (n < 0 && errno == EINTR);
        return Io(n);
    }

    IoResult SendTo(Socket socket, const void* data, size_t bytes, Endpoint remote) override
    {
        if (const Error e = BindIfUnbound(socket); e != Error::None)
            return {-1, e};
        const sockaddr_in address = ToSockaddr(remote);
        const ssize_t n = ::sendto(socket, data, Clamp(bytes), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address),
                                   sizeof address);
        // A datagram of 0 bytes is sent too.
        if (n == 0)
            return {0, Error::None};
        return Io(n);
    }

    IoResult ReceiveFrom(Socket socket, void* data, size_t capacity, Endpoint* from) override
    {
        if (from)
            *from = {};
        sockaddr_in address{};
        socklen_t length = sizeof address;
        ssize_t n;
        do
            n = ::recvfrom(socket, data, Clamp(capacity), 0, reinterpret_cast<sockaddr*>(&address), &length);
        while (n < 0 && errno == EINTR);
        if (n >= 0 && from && address.sin_family == AF_INET)
            *from = FromSockaddr(address);
        // An empty datagram has a sender; a shut-down socket gives none.
        if (n == 0)
            return address.sin_family == AF_INET ? IoResult{0, Error::None} : IoResult{0, Error::Closed};
        return Io(n);
    }

    int32_t Wait(Socket socket, uint32_t events, uint32_t timeoutMs) override
    {
        SetNonBlocking(socket, true);
        pollfd p{socket, POLLRDHUP, 0};
        if (events & kEventRead)
            p.events |= POLLIN;
        if (events & kEventWrite)
            p.events |= POLLOUT;
        int n;
        do
            n = ::poll(&p, 1, timeoutMs > INT_MAX ? INT_MAX : static_cast<int>(timeoutMs));
        while (n < 0 && errno == EINTR);
        if (n < 0 || (p.revents & POLLNVAL))
            return kWaitFailed;
        int32_t result = 0;
        if (p.revents & POLLIN)
            result |= kEventRead;
        if (p.revents & POLLOUT)
            result |= kEventWrite;
        if (p.revents & (POLLHUP | POLLERR | POLLRDHUP))
            result |= kEventClose;
        return result;
    }

    void Shutdown(Socket socket) override { ::shutdown(socket, SHUT_RDWR); }

    void Close(Socket socket) override
    {
        if (socket >= 0)
            ::close(socket);
    }

    Endpoint LocalEndpoint(Socket socket) override
    {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return {};
        return FromSockaddr(address);
    }

    bool Resolve(std::string_view name, uint32_t& address) override
    {
        if (ParseAddress(name, address))
            return true;
        addrinfo hints{};
        hints.ai_family = AF_INET;
        addrinfo* list = nullptr;
        if (getaddrinfo(std::string(name).c_str(), nullptr, &hints, &list) != 0 || !list)
            return false;
        address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
        freeaddrinfo(list);
        return true;
    }

    // A machine with a bind address is known by that address alone, so its
    // own name resolves without a name server.
    std::string HostName() override
    {
        if (m_bindAddress != kAnyAddress)
            return FormatAddress(m_bindAddress);
        char name[256] = {};
        if (gethostname(name, sizeof name - 1) != 0)
            return {};
        return name;
    }

    std::vector<uint32_t> InterfaceAddresses() override
    {
        if (m_bindAddress != kAnyAddress)
            return {m_bindAddress};
        std::vector<uint32_t> addresses;
        ifaddrs* list = nullptr;
        if (getifaddrs(&list) != 0)
            return addresses;
        for (const ifaddrs* i = list; i; i = i->ifa_next) {
            if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET)
                addresses.push_back(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
        }
        freeifaddrs(list);
        return addresses;
    }

    Error SetMulticastInterface(Socket socket, uint32_t address) override
    {
        in_addr a{};
        a.s_addr = address;
        return setsockopt(socket, IPPROTO_IP, IP_MULTICAST_IF, &a, sizeof a) == 0 ? Error::None : FromErrno(errno);
    }

private:
    // Outgoing sockets of a machine with a bind address leave from it.
    Error BindIfUnbound(Socket socket)
    {
        if (m_bindAddress == kAnyAddress)
            return Error::None;
        const Endpoint local = LocalEndpoint(socket);
        if (local.port != 0)
            return Error::None;
        const sockaddr_in address = ToSockaddr({m_bindAddress, 0});
        if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            return FromErrno(errno);
        return Error::None;
    }

    const uint32_t m_bindAddress;
};

}  // namespace

std::unique_ptr<Net> CreatePosixNet(uint32_t bindAddress) { return std::make_unique<PosixNet>(bindAddress); }

}  // namespace host::net
