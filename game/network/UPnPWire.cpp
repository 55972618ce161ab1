#include "game/network/UPnPWire.h"

#include "host/net/Net.h"

namespace upnp {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kHeaderEnd = "\r\n\r\n";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (IsSpace(text.front()) || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (IsSpace(text.back()) || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

// Printable ASCII without space or the characters that would end a quoted
// header value or an XML element: safe on a request line and in an
// attribute.
bool IsPlain(std::string_view text)
{
    if (text.empty() || text.size() > kTextLimit) return false;
    for (char c : text) {
        const u8 b = u8(c);
        if (b <= 0x20 || b >= 0x7F || c == '"' || c == '<' || c == '>' || c == '&') return false;
    }
    return true;
}

// The bytes between open and the next close after it (case-blind), within
// [from, to); false when either is missing.
bool Extract(std::string_view text, std::string_view open, std::string_view close, std::string_view& out,
             size_t from = 0)
{
    const size_t start = FindNoCase(text, open, from);
    if (start == std::string_view::npos) return false;
    const size_t inner = start + open.size();
    const size_t end = FindNoCase(text, close, inner);
    if (end == std::string_view::npos) return false;
    out = text.substr(inner, end - inner);
    return true;
}

bool ReadDecimal(std::string_view digits, u32 limit, u32& out)
{
    if (digits.empty() || digits.size() > 10) return false;
    u64 value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + u32(c - '0');
    }
    if (value > limit) return false;
    out = u32(value);
    return true;
}

ReadError ReadService(std::string_view body, std::string_view marker, Service& out)
{
    out = {};
    const size_t at = body.find(marker);
    if (at == std::string_view::npos) return ReadError::kNone;
    // The control URL of this service, not of one after it.
    size_t end = FindNoCase(body, "</service>", at);
    const std::string_view element = body.substr(at, end == std::string_view::npos ? body.size() - at : end - at);
    std::string_view type, url;
    if (!Extract(element, "<serviceType>", "</serviceType>", type) ||
        !Extract(element, "<controlURL>", "</controlURL>", url))
        return ReadError::kBadService;
    type = Trim(type);
    url = Trim(url);
    if (!IsPlain(type) || !IsPlain(url)) return ReadError::kBadService;
    out.type.assign(type);
    out.controlUrl.assign(url);
    return ReadError::kNone;
}

void AppendEscaped(std::string& out, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
}

}  // namespace

size_t FindNoCase(std::string_view text, std::string_view what, size_t from)
{
    if (what.empty()) return from <= text.size() ? from : std::string_view::npos;
    if (what.size() > text.size()) return std::string_view::npos;
    for (size_t i = from; i + what.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < what.size() && Lower(text[i + k]) == Lower(what[k])) ++k;
        if (k == what.size()) return i;
    }
    return std::string_view::npos;
}

const char* ReadErrorText(ReadError error)
{
    switch (error) {
    case ReadError::kNone: return "none";
    case ReadError::kEmpty: return "empty reply";
    case ReadError::kNoLocation: return "no Location";
    case ReadError::kBadLocation: return "Location is no http://host:port/path";
    case ReadError::kBadHost: return "Location host is no dotted address";
    case ReadError::kBadPort: return "Location port out of 1..65535";
    case ReadError::kBadPath: return "Location path unusable";
    case ReadError::kNoHeaderEnd: return "header without end";
    case ReadError::kBadStatus: return "no HTTP status line";
    case ReadError::kNoService: return "no WAN connection service";
    case ReadError::kBadService: return "service without type or control URL";
    }
    return "?";
}

ReadError ReadSearchReply(std::string_view reply, Location& out)
{
    out = {};
    if (reply.empty()) return ReadError::kEmpty;
    std::string_view location;
    if (!Extract(reply, "Location:", kCrLf, location)) return ReadError::kNoLocation;
    location = Trim(location);
    constexpr std::string_view kScheme = "http://";
    if (FindNoCase(location, kScheme) != 0) return ReadError::kBadLocation;
    location.remove_prefix(kScheme.size());
    const size_t colon = location.find(':');
    if (colon == std::string_view::npos) return ReadError::kBadLocation;
    const std::string_view host = location.substr(0, colon);
    if (!host::net::ParseAddress(host, out.address)) return ReadError::kBadHost;
    const size_t slash = location.find('/', colon);
    if (slash == std::string_view::npos) return ReadError::kBadLocation;
    u32 port = 0;
    if (!ReadDecimal(location.substr(colon + 1, slash - colon - 1), 65535, port) || port == 0)
        return ReadError::kBadPort;
    const std::string_view path = location.substr(slash);
    if (!IsPlain(path)) return ReadError::kBadPath;
    out.host.assign(host);
    out.port = u16(port);
    out.path.assign(path);
    return ReadError::kNone;
}

ReadError ReadResponse(std::string_view text, Response& out)
{
    out = {};
    const size_t headerEnd = text.find(kHeaderEnd);
    if (headerEnd == std::string_view::npos) return ReadError::kNoHeaderEnd;
    const std::string_view header = text.substr(0, headerEnd + 2);
    const std::string_view status = header.substr(0, header.find(kCrLf));
    // "HTTP/1.x nnn" then the end or a space and the reason.
    if (status.size() < 12 || FindNoCase(status, "HTTP/1.") != 0 || status[7] < '0' || status[7] > '9' ||
        status[8] != ' ' || (status.size() > 12 && status[12] != ' '))
        return ReadError::kBadStatus;
    u32 code = 0;
    if (!ReadDecimal(status.substr(9, 3), 999, code) || code < 100) return ReadError::kBadStatus;
    out.status = code;
    std::string_view body = text.substr(headerEnd + kHeaderEnd.size());
    std::string_view length;
    u32 bytes = 0;
    if (Extract(header, "\r\nContent-Length:", kCrLf, length) && ReadDecimal(Trim(length), 0xFFFFFFFFu, bytes) &&
        bytes < body.size())
        body = body.substr(0, bytes);
    out.body = body;
    return ReadError::kNone;
}

bool ResponseComplete(std::string_view text)
{
    const size_t headerEnd = text.find(kHeaderEnd);
    if (headerEnd == std::string_view::npos) return false;
    std::string_view length;
    u32 bytes = 0;
    if (!Extract(text.substr(0, headerEnd + 2), "\r\nContent-Length:", kCrLf, length) ||
        !ReadDecimal(Trim(length), 0xFFFFFFFFu, bytes))
        return false;
    return text.size() - (headerEnd + kHeaderEnd.size()) >= bytes;
}

ReadError ReadDescription(std::string_view body, Services& out)
{
    out = {};
    if (const ReadError e = ReadService(body, kWanIpMarker, out.ip); e != ReadError::kNone) return e;
    if (const ReadError e = ReadService(body, kWanPppMarker, out.ppp); e != ReadError::kNone) return e;
    if (!out.ip.Known() && !out.ppp.Known()) return ReadError::kNoService;
    return ReadError::kNone;
}

bool ReadInternalClient(std::string_view body, std::string& out)
{
    std::string_view client;
    if (!Extract(body, "<NewInternalClient>", "</NewInternalClient>", client)) return false;
    client = Trim(client);
    if (client.empty() || client.size() > kTextLimit) return false;
    out.assign(client);
    return true;
}

std::string SearchRequest()
{
    return "M-SEARCH * HTTP/1.1\r\n"
           "MX: 3\r\n"
           "Host: 239.255.255.250:1900\r\n"
           "Man: \"ssdp:discover\"\r\n"
           "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n"
           "\r\n";
}

std::string DescriptionRequest(std::string_view path, std::string_view host, u16 port)
{
    std::string text = "GET ";
    text.append(path).append(" HTTP/1.0\r\nHost: ").append(host);
    text.append(":").append(std::to_string(port)).append("\r\n\r\n");
    return text;
}

const char* ActionName(Action action)
{
    switch (action) {
    case Action::kGetSpecificPortMappingEntry: return "GetSpecificPortMappingEntry";
    case Action::kAddPortMapping: return "AddPortMapping";
    case Action::kDeletePortMapping: return "DeletePortMapping";
    }
    return "?";
}

std::string ControlBody(Action action, std::string_view serviceType, const MappingArgs& args)
{
    const std::string name = ActionName(action);
    std::string body =
        "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "s:encordingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n"
        "\t<s:Body>\r\n";
    body.append("\t\t<u:").append(name).append(" xmlns:u=\"").append(serviceType).append("\">\r\n");
    const auto element = [&body](const char* tag, std::string_view value, bool escape = false) {
        body.append("\t\t\t<").append(tag).append(">");
        if (escape) AppendEscaped(body, value);
        else body.append(value);
        body.append("</").append(tag).append(">\r\n");
    };
    element("NewRemoteHost", "");
    element("NewExternalPort", std::to_string(args.externalPort));
    element("NewProtocol", args.protocol);
    const bool add = action == Action::kAddPortMapping;
    if (add) {
        element("NewInternalPort", std::to_string(args.internalPort));
        element("NewInternalClient", args.internalClient);
        element("NewEnabled", "1");
        element("NewPortMappingDescription", args.description, true);
        element("NewLeaseDuration", "0");
    }
    body.append(add ? "\t\t" : "\t\t\t").append("</u:").append(name).append(">\r\n");
    body.append("\t</s:Body>\r\n</s:Envelope>\r\n");
    return body;
}

std::string ControlRequest(Action action, std::string_view controlUrl, std::string_view serviceType,
                           std::string_view host, u16 port, const MappingArgs& args)
{
    const std::string body = ControlBody(action, serviceType, args);
    std::string text = "POST ";
    text.append(controlUrl).append(" HTTP/1.1\r\nContent-Type: text/xml\r\nSOAPACTION: \"");
    text.append(serviceType).append("#").append(ActionName(action)).append("\"\r\n");
    text.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n");
    text.append("Host: ").append(host).append(":").append(std::to_string(port)).append("\r\n\r\n");
    return text + body;
}

}  // namespace upnp
