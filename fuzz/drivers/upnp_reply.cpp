// The port mapper's readers of what answers it on the local network
// (UPnPReplyDriver.h says how an input reads). What a reader accepts must
// be usable as is: a Location whose parts write back to a reply that reads
// the same, a body inside the bytes read, services whose type and control
// URL make requests of exactly one header.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/UPnPReplyDriver.h"
#include "game/network/UPnPWire.h"
#include "host/net/Net.h"

#include <string>
#include <string_view>

namespace {

using namespace fuzz::upnp_reply;

// One header, ended once, then the body; every header line "name: value".
void CheckRequest(const std::string& request)
{
    const size_t end = request.find("\r\n\r\n");
    FUZZ_CHECK(end != std::string::npos);
    const std::string_view header(request.data(), end);
    FUZZ_CHECK(header.find('\n') != std::string::npos);
    for (char c : header) FUZZ_CHECK(c != '\0');
    size_t line = header.find("\r\n") + 2;
    while (line < header.size()) {
        const size_t next = header.find("\r\n", line);
        const std::string_view text = header.substr(line, next == std::string_view::npos ? next : next - line);
        FUZZ_CHECK(text.find(": ") != std::string_view::npos);
        FUZZ_CHECK(text.find('\n') == std::string_view::npos && text.find('\r') == std::string_view::npos);
        if (next == std::string_view::npos) break;
        line = next + 2;
    }
}

void SearchReply(std::string_view bytes)
{
    upnp::Location location;
    const upnp::ReadError error = upnp::ReadSearchReply(bytes, location);
    FUZZ_CHECK(upnp::ReadErrorText(error) != nullptr);
    if (error != upnp::ReadError::kNone) return;
    u32 address = 0;
    FUZZ_CHECK(host::net::ParseAddress(location.host, address) && address == location.address);
    FUZZ_CHECK(location.port != 0 && !location.path.empty() && location.path[0] == '/');
    FUZZ_CHECK(location.path.size() <= upnp::kTextLimit);
    const std::string again = "HTTP/1.1 200 OK\r\nLocation: http://" + location.host + ":" +
                              std::to_string(location.port) + location.path + "\r\n\r\n";
    upnp::Location back;
    FUZZ_CHECK(upnp::ReadSearchReply(again, back) == upnp::ReadError::kNone);
    FUZZ_CHECK(back.host == location.host && back.port == location.port && back.path == location.path);
    CheckRequest(upnp::DescriptionRequest(location.path, location.host, location.port));
}

bool Response(std::string_view bytes, upnp::Response& response)
{
    const upnp::ReadError error = upnp::ReadResponse(bytes, response);
    FUZZ_CHECK(upnp::ReadErrorText(error) != nullptr);
    if (error != upnp::ReadError::kNone) return false;
    FUZZ_CHECK(response.status >= 100 && response.status <= 999);
    FUZZ_CHECK(response.body.data() >= bytes.data() &&
               response.body.data() + response.body.size() <= bytes.data() + bytes.size());
    return true;
}

void Description(std::string_view bytes)
{
    upnp::Services services;
    const upnp::ReadError error = upnp::ReadDescription(bytes, services);
    FUZZ_CHECK(upnp::ReadErrorText(error) != nullptr);
    if (error != upnp::ReadError::kNone) return;
    FUZZ_CHECK(services.ip.Known() || services.ppp.Known());
    for (const upnp::Service* s : {&services.ip, &services.ppp}) {
        if (!s->Known()) continue;
        FUZZ_CHECK(s->type.size() <= upnp::kTextLimit && s->controlUrl.size() <= upnp::kTextLimit);
        for (const auto action : {upnp::Action::kGetSpecificPortMappingEntry, upnp::Action::kAddPortMapping,
                                  upnp::Action::kDeletePortMapping}) {
            upnp::MappingArgs args{18000, "TCP", 18000, "192.168.0.2", "ORV"};
            const std::string request = upnp::ControlRequest(action, s->controlUrl, s->type, "192.168.0.1", 80, args);
            CheckRequest(request);
            FUZZ_CHECK(request.find("\r\n\r\n") == request.find("\r\n\r\n<s:Envelope"));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input input(data, size);
    const u8 reader = input.Byte() % kReaders;
    const std::string bytes(reinterpret_cast<const char*>(input.Rest()), input.RestSize());
    upnp::Response response;
    switch (reader) {
    case kSearchReply: SearchReply(bytes); break;
    case kResponse:
        // What the reading loop takes for whole has a header that ends.
        if (!Response(bytes, response) && upnp::ResponseComplete(bytes))
            FUZZ_CHECK(upnp::ReadResponse(bytes, response) != upnp::ReadError::kNoHeaderEnd);
        break;
    case kDescription: Description(bytes); break;
    case kEntryAnswer:
        if (Response(bytes, response)) {
            std::string client;
            if (upnp::ReadInternalClient(response.body, client))
                FUZZ_CHECK(!client.empty() && client.size() <= upnp::kTextLimit);
        }
        break;
    }
    return 0;
}
