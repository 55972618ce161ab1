#include "game/network/UPnP.h"

#include "engine/core/List.h"
#include "game/network/UPnPWire.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string_view>

using host::net::Endpoint;
using host::net::Error;
using host::net::IoResult;
using host::net::kNoSocket;
using host::net::Socket;

// One added mapping, kept to delete it again.
struct CPortMapping {
    u16 externalPort;
    char protocol[16];
};
static_assert(sizeof(CPortMapping) == 18);

namespace {

// A response is read for at most this long in all, however slowly it drips.
constexpr u32 kResponseMs = 15000;
constexpr u32 kResponseRounds = 70000;
constexpr u32 kSendStalls = 3;

bool KnownProtocol(const char* protocol)
{
    return protocol && (std::strcmp(protocol, "TCP") == 0 || std::strcmp(protocol, "UDP") == 0);
}

}  // namespace

struct CUPnP::Impl {
    host::net::Net& net;
    Endpoint discovery;
    // The sockets' handles change under it, so Cancel never shuts down a
    // closed (or reused) descriptor.
    host::kernel::CriticalSection socketLock;
    Socket tcp = kNoSocket;
    Socket udp = kNoSocket;
    std::atomic<bool> cancelled{false};
    u32 budgetStart = 0;
    u32 budgetMs = 0;   // 0: none
    u32 gatewayAddress = 0;
    u16 gatewayPort = 0;
    std::string gatewayHost;
    std::string descriptionPath;
    upnp::Services services;
    std::unique_ptr<CList<CPortMapping>> mappings;

    Impl(host::net::Net& n, Endpoint d) : net(n), discovery(d) {}
    ~Impl()
    {
        CloseTcp();
        CloseUdp();
    }

    void CloseTcp()
    {
        host::kernel::Lock hold(socketLock);
        if (tcp != kNoSocket) net.Close(tcp);
        tcp = kNoSocket;
    }
    void CloseUdp()
    {
        host::kernel::Lock hold(socketLock);
        if (udp != kNoSocket) net.Close(udp);
        udp = kNoSocket;
    }
    Socket OpenSocket(Socket& slot, host::net::Type type)
    {
        const Socket s = net.Open(type);
        host::kernel::Lock hold(socketLock);
        slot = s;
        // A cancel that came while it opened.
        if (s != kNoSocket && cancelled) net.Shutdown(s);
        return s;
    }
    void Cancel()
    {
        cancelled = true;
        host::kernel::Lock hold(socketLock);
        if (tcp != kNoSocket) net.Shutdown(tcp);
        if (udp != kNoSocket) net.Shutdown(udp);
    }
    // What is left of the budget: 0 once cancelled or spent.
    u32 Left() const
    {
        if (cancelled) return 0;
        if (budgetMs == 0) return ~0u;
        const u32 spent = host::kernel::TimeGetTime() - budgetStart;
        return spent >= budgetMs ? 0 : budgetMs - spent;
    }
    u32 Within(u32 ms) const { return std::min(ms, Left()); }

    bool HasService() const { return services.ip.Known() || services.ppp.Known(); }

    // Port 1024 or the first free one above it, up to 65535 and no further.
    bool OpenUdp()
    {
        if (!mappings) mappings = std::make_unique<CList<CPortMapping>>();
        if (OpenSocket(udp, host::net::Type::Datagram) == kNoSocket) return false;
        for (u32 port = upnp::kFirstSearchPort; port <= 65535; ++port) {
            if (net.Bind(udp, {host::net::kAnyAddress, u16(port)}) == Error::None) return true;
        }
        CloseUdp();
        return false;
    }

    // The search once through every interface: how many took it.
    u32 SendSearch(const std::string& request)
    {
        u32 served = 0;
        for (const u32 address : net.InterfaceAddresses()) {
            if (net.SetMulticastInterface(udp, address) != Error::None) continue;
            const IoResult r = net.SendTo(udp, request.data(), request.size(), discovery);
            if (r.bytes == i32(request.size())) ++served;
        }
        return served;
    }

    bool SendAll(std::string_view text)
    {
        size_t sent = 0;
        u32 stalls = 0;
        while (sent < text.size()) {
            const IoResult r = net.Send(tcp, text.data() + sent, text.size() - sent);
            if (r.bytes > 0) {
                sent += size_t(r.bytes);
                continue;
            }
            if (r.error != Error::WouldBlock || ++stalls > kSendStalls || Left() == 0 ||
                net.Wait(tcp, host::net::kEventWrite, Within(upnp::kReadWaitMs)) <= 0)
                return false;
        }
        return true;
    }

    // Up to the response limit; ends on a time-out, the end of the stream,
    // an error, or once the body its header promises is there.
    std::string ReadAll()
    {
        std::string text;
        char buffer[4096];
        const u32 start = host::kernel::TimeGetTime();
        for (u32 round = 0; round < kResponseRounds && text.size() < upnp::kResponseLimit; ++round) {
            if (host::kernel::TimeGetTime() - start > kResponseMs || Left() == 0) break;
            const i32 events =
                net.Wait(tcp, host::net::kEventRead | host::net::kEventClose, Within(upnp::kReadWaitMs));
            if (events <= 0) break;
            const size_t room = std::min(sizeof buffer, upnp::kResponseLimit - text.size());
            const IoResult r = net.Receive(tcp, buffer, room);
            if (r.bytes > 0) {
                text.append(buffer, size_t(r.bytes));
                if (upnp::ResponseComplete(text)) break;
                continue;
            }
            // A closed connection may still hold bytes: read on until none.
            if (r.error == Error::WouldBlock && !(events & host::net::kEventClose)) continue;
            break;
        }
        return text;
    }

    // One request on a new connection. local: the address it left from.
    bool Exchange(Endpoint to, std::string_view request, std::string& response, u32* local = nullptr)
    {
        response.clear();
        if (Left() == 0 || OpenSocket(tcp, host::net::Type::Stream) == kNoSocket) return false;
        const bool sent = net.Connect(tcp, to, Within(upnp::kConnectMs)) == Error::None && SendAll(request);
        if (sent) {
            if (local) *local = net.LocalEndpoint(tcp).address;
            response = ReadAll();
        }
        CloseTcp();
        return sent;
    }

    // One action on one service: its response when it was "200 OK".
    bool Control(upnp::Action action, const upnp::Service& service, const upnp::MappingArgs& args,
                 std::string* body = nullptr, u32* local = nullptr)
    {
        const std::string request = upnp::ControlRequest(action, service.controlUrl, service.type, gatewayHost,
                                                         gatewayPort, args);
        std::string text;
        if (!Exchange({gatewayAddress, gatewayPort}, request, text, local)) return false;
        upnp::Response response;
        if (upnp::ReadResponse(text, response) != upnp::ReadError::kNone || response.status != 200) return false;
        if (body) body->assign(response.body);
        return true;
    }

    // The known services, WANIPConnection first.
    template <class F>
    bool EachService(F&& f) const
    {
        for (const upnp::Service* s : {&services.ip, &services.ppp}) {
            if (s->Known() && !f(*s)) return false;
        }
        return true;
    }

    // The services a description names; false when it names none usable.
    bool FetchDescription(const upnp::Location& at, upnp::Services& found)
    {
        std::string text;
        if (!Exchange({at.address, at.port}, upnp::DescriptionRequest(at.path, at.host, at.port), text)) return false;
        upnp::Response response;
        if (upnp::ReadResponse(text, response) != upnp::ReadError::kNone || response.status != 200) return false;
        return upnp::ReadDescription(response.body, found) == upnp::ReadError::kNone;
    }

    // A failed discovery leaves what an earlier one found, so the mappings
    // made through it can still be deleted.
    i32 Discover()
    {
        if (udp == kNoSocket && !OpenUdp()) return 0;
        const std::string request = upnp::SearchRequest();
        u32 served = 0;
        for (u32 i = 0; i < upnp::kSearchSends; ++i) served += SendSearch(request);
        const i32 events = served && Left() ? net.Wait(udp, host::net::kEventRead, Within(upnp::kSearchWaitMs)) : 0;
        if (events <= 0 || !(events & host::net::kEventRead)) {
            CloseUdp();
            return 0;
        }
        std::string reply(upnp::kResponseLimit, '\0');
        const IoResult r = net.ReceiveFrom(udp, reply.data(), reply.size(), nullptr);
        CloseUdp();
        reply.resize(r.bytes > 0 ? size_t(r.bytes) : 0);
        upnp::Location location;
        if (upnp::ReadSearchReply(reply, location) != upnp::ReadError::kNone) return 0;
        upnp::Services found;
        if (!FetchDescription(location, found)) return 0;
        gatewayAddress = location.address;
        gatewayPort = location.port;
        gatewayHost = location.host;
        descriptionPath = location.path;
        services = std::move(found);
        return 1;
    }

    bool Delete(u16 externalPort, const char* protocol)
    {
        const upnp::MappingArgs args = upnp::EntryArgs(externalPort, protocol);
        return EachService([&](const upnp::Service& s) { return Control(upnp::Action::kDeletePortMapping, s, args); });
    }
};

CUPnP::CUPnP(host::net::Net* net, host::net::Endpoint discovery)
    : m_net(net ? *net : host::net::DefaultNet()), m_impl(std::make_unique<Impl>(m_net, discovery))
{
}

CUPnP::~CUPnP()
{
    // Whatever was cancelled, the mappings go, each exchange within a bound
    // of its own: a slow router spending one bound on the first deletions
    // would keep the last mappings, leased for ever.
    if (CList<CPortMapping>* list = m_impl->mappings.get()) {
        for (u32 i = 0; i < list->GetCount(); ++i) {
            const CPortMapping& m = *list->GetAt(i);
            // Every service is asked, even after one refused: this is the
            // last chance to take a lease-0 mapping off the router.
            const upnp::MappingArgs args = upnp::EntryArgs(m.externalPort, m.protocol);
            m_impl->EachService([&](const upnp::Service& s) {
                SetBudget(kRemovalBudgetMs);
                m_impl->Control(upnp::Action::kDeletePortMapping, s, args);
                return true;
            });
        }
    }
}

i32 CUPnP::Discover() { return m_impl->Discover(); }

void CUPnP::SetBudget(u32 ms)
{
    m_impl->budgetStart = host::kernel::TimeGetTime();
    m_impl->budgetMs = ms;
    m_impl->cancelled = false;
}

void CUPnP::Cancel() { m_impl->Cancel(); }

i32 CUPnP::IsMapped(u16 externalPort, const char* protocol, const char* internalClient)
{
    if (!m_impl->HasService() || externalPort == 0 || !KnownProtocol(protocol)) return 0;
    u32 wanted = 0;
    if (internalClient && !host::net::ParseAddress(internalClient, wanted)) return 0;
    const upnp::MappingArgs args = upnp::EntryArgs(externalPort, protocol);
    return m_impl->EachService([&](const upnp::Service& s) {
        std::string body, client;
        u32 local = 0;
        if (!m_impl->Control(upnp::Action::kGetSpecificPortMappingEntry, s, args, &body, &local)) return false;
        // Another machine's mapping blocks ours but must not keep the player
        // out of the lobby: play goes on, and the log says why a peer may
        // not reach him.
        u32 named = 0;
        const bool readable = upnp::ReadInternalClient(body, client) && host::net::ParseAddress(client, named);
        if (!readable || named != (internalClient ? wanted : local))
            std::fprintf(stderr, "upnp: port %u/%s is mapped for %s, not this machine\n", unsigned(externalPort),
                         protocol, readable ? host::net::FormatAddress(named).c_str() : "an unreadable client");
        return true;
    }) ? 1 : 0;
}

i32 CUPnP::AddMapping(u16 externalPort, u16 internalPort, const char* protocol, const char* internalClient,
                      const char* description)
{
    u32 client = 0;
    if (!m_impl->HasService() || externalPort == 0 || internalPort == 0 || !KnownProtocol(protocol) ||
        !internalClient || !host::net::ParseAddress(internalClient, client))
        return 0;
    const upnp::MappingArgs args{externalPort, protocol, internalPort, internalClient, description ? description : ""};
    const upnp::Service* accepted[2] = {};
    u32 acceptedCount = 0;
    const bool all = m_impl->EachService([&](const upnp::Service& s) {
        if (!m_impl->Control(upnp::Action::kAddPortMapping, s, args)) return false;
        accepted[acceptedCount++] = &s;
        return true;
    });
    CPortMapping mapping{};
    mapping.externalPort = externalPort;
    std::strncpy(mapping.protocol, protocol, sizeof mapping.protocol - 1);
    if (all && m_impl->mappings && m_impl->mappings->Add(&mapping)) return 1;
    // A lease-0 mapping that one service took and we cannot account for
    // would stay on the router for good.
    const upnp::MappingArgs del = upnp::EntryArgs(externalPort, protocol);
    for (u32 i = 0; i < acceptedCount; ++i) m_impl->Control(upnp::Action::kDeletePortMapping, *accepted[i], del);
    return 0;
}

i32 CUPnP::RemoveMapping(u16 externalPort, const char* protocol)
{
    if (!m_impl->HasService() || externalPort == 0 || !KnownProtocol(protocol)) return 0;
    if (!m_impl->Delete(externalPort, protocol)) return 0;
    if (CList<CPortMapping>* list = m_impl->mappings.get()) {
        for (u32 i = 0; i < list->GetCount(); ++i) {
            const CPortMapping& m = *list->GetAt(i);
            if (m.externalPort == externalPort && std::strcmp(m.protocol, protocol) == 0) {
                list->RemoveAt(i);
                break;
            }
        }
    }
    return 1;
}
