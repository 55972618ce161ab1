// A home router in the test process: answers SSDP searches on a UDP port of
// its net and the description and the three port-mapping actions over HTTP
// on a TCP port of the same address. It keeps a mapping table per service,
// refuses what it is told to, and records every request in order.
// Threads: one for searches, one for HTTP (one connection at a time).
#pragma once

#include "engine/core/Types.h"
#include "game/network/UPnPWire.h"
#include "host/kernel/Kernel.h"
#include "host/net/Net.h"

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace upnp_test {

enum Service : u8 { kWanIp = 1, kWanPpp = 2, kBoth = 3 };

enum class SearchAnswer : u8 {
    kLocation,     // a normal reply
    kEmpty,        // a datagram of no bytes
    kNoLocation,   // a reply without a Location line
    kSilent,       // no reply at all
};

struct GatewaySetup {
    u8 services = kWanIp;
    SearchAnswer answer = SearchAnswer::kLocation;
    u32 padding = 0;          // filler services ahead of the WAN ones (a long description)
    bool keepAlive = false;   // control connections stay open after the answer
    u32 dripMs = 0;           // control answers go one byte each dripMs (a slow router)
    // Control answers take answerMs on this clock (a slow router without
    // waiting: the test's fake clock moves before each answer goes).
    host::kernel::FakeClock* clock = nullptr;
    u32 answerMs = 0;
};

struct Request {
    enum Kind : u8 { kSearch, kDescription, kControl } kind = kSearch;
    upnp::Action action = upnp::Action::kGetSpecificPortMappingEntry;
    u8 service = 0;   // kWanIp or kWanPpp (control requests)
    u16 port = 0;     // NewExternalPort
    std::string protocol;
    std::string client;   // NewInternalClient (AddPortMapping)
    std::string text;     // the whole request
};

class FakeGateway {
public:
    FakeGateway(host::net::Net& net, GatewaySetup setup);
    ~FakeGateway();
    FakeGateway(const FakeGateway&) = delete;
    FakeGateway& operator=(const FakeGateway&) = delete;

    bool Running() const { return m_udp != host::net::kNoSocket && m_listener != host::net::kNoSocket; }
    // Where searches go.
    host::net::Endpoint SearchEndpoint() const;
    host::net::Endpoint HttpEndpoint() const;

    // How later searches are answered.
    void SetAnswer(SearchAnswer answer) { m_answer = answer; }
    // The action fails on that service from now on.
    void Refuse(upnp::Action action, u8 service);
    // A mapping somebody made before.
    void Map(u8 service, u16 port, const std::string& protocol, const std::string& client);
    bool Mapped(u8 service, u16 port, const std::string& protocol) const;
    size_t MappingCount() const;

    std::vector<Request> Requests() const;
    std::vector<Request> Controls(upnp::Action action) const;
    size_t Count(Request::Kind kind) const;

private:
    using Key = std::tuple<u8, u16, std::string>;

    uint32_t SearchLoop();
    uint32_t HttpLoop();
    void Serve(host::net::Socket connection);
    std::string Answer(const std::string& request);

    host::net::Net& m_net;
    const GatewaySetup m_setup;
    host::net::Socket m_udp = host::net::kNoSocket;
    host::net::Socket m_listener = host::net::kNoSocket;
    std::atomic<bool> m_stop{false};
    std::atomic<SearchAnswer> m_answer;
    std::unique_ptr<host::kernel::Thread> m_searchThread, m_httpThread;

    mutable host::kernel::CriticalSection m_lock;   // the fields below
    std::vector<Request> m_requests;
    std::map<Key, std::string> m_mappings;   // → internal client
    std::vector<std::pair<upnp::Action, u8>> m_refused;
};

}  // namespace upnp_test
