#include "game/network/tests/FakeGateway.h"
#include "game/network/tests/GatewayTexts.h"

#include <algorithm>
#include <thread>

using host::net::Endpoint;
using host::net::Error;
using host::net::kNoSocket;
using host::net::Socket;

namespace upnp_test {

namespace {

constexpr u32 kPollMs = 50;
constexpr u32 kRequestMs = 3000;
constexpr u32 kLingerMs = 5000;

std::string Between(const std::string& text, const std::string& open, const std::string& close)
{
    const size_t a = text.find(open);
    if (a == std::string::npos) return {};
    const size_t b = text.find(close, a + open.size());
    return b == std::string::npos ? std::string() : text.substr(a + open.size(), b - a - open.size());
}

// A whole request: its header, and the body its Content-Length names.
bool Whole(const std::string& text)
{
    const size_t end = text.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    const std::string length = Between(text.substr(0, end + 2), "Content-Length: ", "\r\n");
    return length.empty() || text.size() - end - 4 >= std::stoul(length);
}

const char* TypeOf(u8 service) { return service == kWanIp ? gateway_text::kIpType : gateway_text::kPppType; }

}  // namespace

FakeGateway::FakeGateway(host::net::Net& net, GatewaySetup setup) : m_net(net), m_setup(setup), m_answer(setup.answer)
{
    m_udp = m_net.Open(host::net::Type::Datagram);
    m_listener = m_net.Open(host::net::Type::Stream);
    if (m_udp == kNoSocket || m_listener == kNoSocket || m_net.Bind(m_udp, {}) != Error::None ||
        m_net.Bind(m_listener, {}) != Error::None || m_net.Listen(m_listener, 8) != Error::None) {
        for (Socket* s : {&m_udp, &m_listener}) {
            if (*s != kNoSocket) m_net.Close(*s);
            *s = kNoSocket;
        }
        return;
    }
    m_searchThread = host::kernel::StartThread([this] { return SearchLoop(); });
    m_httpThread = host::kernel::StartThread([this] { return HttpLoop(); });
}

FakeGateway::~FakeGateway()
{
    m_stop = true;
    if (m_listener != kNoSocket) m_net.Shutdown(m_listener);
    if (m_searchThread) m_searchThread->Join();
    if (m_httpThread) m_httpThread->Join();
    for (Socket s : {m_udp, m_listener}) {
        if (s != kNoSocket) m_net.Close(s);
    }
}

Endpoint FakeGateway::SearchEndpoint() const
{
    Endpoint e = m_net.LocalEndpoint(m_udp);
    if (e.address == host::net::kAnyAddress) e.address = host::net::kLoopback;
    return e;
}

Endpoint FakeGateway::HttpEndpoint() const
{
    Endpoint e = m_net.LocalEndpoint(m_listener);
    if (e.address == host::net::kAnyAddress) e.address = host::net::kLoopback;
    return e;
}

void FakeGateway::Refuse(upnp::Action action, u8 service)
{
    host::kernel::Lock lock(m_lock);
    m_refused.emplace_back(action, service);
}

void FakeGateway::Map(u8 service, u16 port, const std::string& protocol, const std::string& client)
{
    host::kernel::Lock lock(m_lock);
    m_mappings[{service, port, protocol}] = client;
}

bool FakeGateway::Mapped(u8 service, u16 port, const std::string& protocol) const
{
    host::kernel::Lock lock(m_lock);
    return m_mappings.count({service, port, protocol}) != 0;
}

size_t FakeGateway::MappingCount() const
{
    host::kernel::Lock lock(m_lock);
    return m_mappings.size();
}

std::vector<Request> FakeGateway::Requests() const
{
    host::kernel::Lock lock(m_lock);
    return m_requests;
}

std::vector<Request> FakeGateway::Controls(upnp::Action action) const
{
    std::vector<Request> out;
    for (const Request& r : Requests()) {
        if (r.kind == Request::kControl && r.action == action) out.push_back(r);
    }
    return out;
}

size_t FakeGateway::Count(Request::Kind kind) const
{
    const auto all = Requests();
    return size_t(std::count_if(all.begin(), all.end(), [kind](const Request& r) { return r.kind == kind; }));
}

uint32_t FakeGateway::SearchLoop()
{
    host::kernel::SetThreadName("gateway-ssdp");
    const Endpoint http = HttpEndpoint();
    const std::string location =
        gateway_text::Location(host::net::FormatAddress(http.address), http.port);
    std::string buffer(upnp::kResponseLimit, '\0');
    while (!m_stop) {
        const int32_t events = m_net.Wait(m_udp, host::net::kEventRead, kPollMs);
        if (events == host::net::kWaitFailed) break;
        if (events <= 0) continue;
        Endpoint from;
        const host::net::IoResult r = m_net.ReceiveFrom(m_udp, buffer.data(), buffer.size(), &from);
        if (r.bytes <= 0) continue;
        {
            host::kernel::Lock lock(m_lock);
            m_requests.push_back({Request::kSearch, {}, 0, 0, {}, {}, buffer.substr(0, size_t(r.bytes))});
        }
        std::string reply;
        switch (m_answer.load()) {
        case SearchAnswer::kLocation: reply = gateway_text::SearchReply(location); break;
        case SearchAnswer::kNoLocation: reply = gateway_text::SearchReply({}); break;
        case SearchAnswer::kEmpty: break;
        case SearchAnswer::kSilent: continue;
        }
        m_net.SendTo(m_udp, reply.data(), reply.size(), from);
    }
    return 0;
}

uint32_t FakeGateway::HttpLoop()
{
    host::kernel::SetThreadName("gateway-http");
    while (!m_stop) {
        const Socket connection = m_net.Accept(m_listener, nullptr);
        if (connection == kNoSocket) break;
        Serve(connection);
        m_net.Close(connection);
    }
    return 0;
}

void FakeGateway::Serve(Socket connection)
{
    std::string request;
    char buffer[4096];
    const u32 start = host::kernel::TimeGetTime();
    while (!m_stop && !Whole(request) && host::kernel::TimeGetTime() - start < kRequestMs) {
        const int32_t events = m_net.Wait(connection, host::net::kEventRead, kPollMs);
        if (events < 0) return;
        if (events == 0) continue;
        const host::net::IoResult r = m_net.Receive(connection, buffer, sizeof buffer);
        if (r.bytes <= 0 && r.error != Error::WouldBlock) return;
        if (r.bytes > 0) request.append(buffer, size_t(r.bytes));
    }
    if (!Whole(request)) return;
    const std::string answer = Answer(request);
    size_t sent = 0;
    if (m_setup.clock && request.rfind("POST ", 0) == 0) m_setup.clock->Advance(m_setup.answerMs);
    if (m_setup.dripMs && request.rfind("POST ", 0) == 0) {
        // A byte at a time, until the client gives up.
        for (const char byte : answer) {
            for (u32 waited = 0; waited < m_setup.dripMs && !m_stop; waited += 10)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (m_stop || m_net.Send(connection, &byte, 1).bytes != 1) return;
        }
        return;
    }
    while (sent < answer.size()) {
        const host::net::IoResult r = m_net.Send(connection, answer.data() + sent, answer.size() - sent);
        if (r.bytes <= 0) return;
        sent += size_t(r.bytes);
    }
    // Descriptions go by HTTP/1.0: the end of the stream ends them.
    if (!m_setup.keepAlive || request.rfind("GET ", 0) == 0) return;
    // As an HTTP/1.1 server may: hold the connection until the client closes it.
    const u32 linger = host::kernel::TimeGetTime();
    while (!m_stop && host::kernel::TimeGetTime() - linger < kLingerMs) {
        const int32_t events = m_net.Wait(connection, host::net::kEventRead, kPollMs);
        if (events < 0) return;
        if (events == 0) continue;
        const host::net::IoResult r = m_net.Receive(connection, buffer, sizeof buffer);
        if (r.bytes <= 0 && r.error != Error::WouldBlock) return;
    }
}

std::string FakeGateway::Answer(const std::string& text)
{
    const std::string line = text.substr(0, text.find("\r\n"));
    const std::string path = Between(line, " ", " ");
    host::kernel::Lock lock(m_lock);
    if (line.rfind("GET ", 0) == 0) {
        m_requests.push_back({Request::kDescription, {}, 0, 0, {}, {}, text});
        if (path != gateway_text::kDescriptionPath) return gateway_text::HttpResponse("404 Not Found", "");
        return gateway_text::HttpResponse(
            "200 OK", gateway_text::Description(m_setup.services & kWanIp, m_setup.services & kWanPpp, m_setup.padding),
            false);
    }
    Request r;
    r.kind = Request::kControl;
    r.text = text;
    r.service = path == gateway_text::kIpControl ? kWanIp : path == gateway_text::kPppControl ? kWanPpp : 0;
    const std::string action = Between(text, "#", "\"");
    if (action == "AddPortMapping") r.action = upnp::Action::kAddPortMapping;
    else if (action == "DeletePortMapping") r.action = upnp::Action::kDeletePortMapping;
    r.port = u16(std::atoi(Between(text, "<NewExternalPort>", "<").c_str()));
    r.protocol = Between(text, "<NewProtocol>", "<");
    r.client = Between(text, "<NewInternalClient>", "<");
    m_requests.push_back(r);
    if (!(r.service & m_setup.services)) return gateway_text::HttpResponse("404 Not Found", "");
    for (const auto& [refusedAction, service] : m_refused) {
        if (refusedAction == r.action && service == r.service) return gateway_text::SoapFault(501, "ActionFailed");
    }
    const Key key{r.service, r.port, r.protocol};
    const auto found = m_mappings.find(key);
    switch (r.action) {
    case upnp::Action::kGetSpecificPortMappingEntry:
        if (found == m_mappings.end()) return gateway_text::SoapFault(714, "NoSuchEntryInArray");
        return gateway_text::EntryAnswer(TypeOf(r.service), r.port, found->second);
    case upnp::Action::kAddPortMapping:
        if (found != m_mappings.end() && found->second != r.client)
            return gateway_text::SoapFault(718, "ConflictInMappingEntry");
        m_mappings[key] = r.client;
        return gateway_text::SoapAnswer(action, TypeOf(r.service));
    case upnp::Action::kDeletePortMapping:
        if (found == m_mappings.end()) return gateway_text::SoapFault(714, "NoSuchEntryInArray");
        m_mappings.erase(found);
        return gateway_text::SoapAnswer(action, TypeOf(r.service));
    }
    return gateway_text::HttpResponse("500 Internal Server Error", "");
}

}  // namespace upnp_test
