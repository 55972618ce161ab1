// What CUPnP writes to the gateway and the checked readers of what comes
// back: the SSDP reply (its Location), an HTTP response (status line and
// body), the device description (the two WAN connection services) and a
// mapping entry's internal client. Everything read comes from whoever
// answered on the local network: lengths are checked against the bytes
// present and every text that goes back out on a request line is plain.
#pragma once

#include "engine/core/Types.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace upnp {

// Most a reply or response is read to (an SSDP datagram is cut there too).
inline constexpr size_t kResponseLimit = 64 * 1024;
// Most bytes of a path, service type or control URL.
inline constexpr size_t kTextLimit = 1024;

inline constexpr u32 kSearchSends = 5;
inline constexpr u32 kSearchWaitMs = 5000;
inline constexpr u32 kReadWaitMs = 3000;
inline constexpr u32 kConnectMs = 2000;
inline constexpr u16 kFirstSearchPort = 1024;

inline constexpr char kWanIpMarker[] = "<serviceType>urn:schemas-upnp-org:service:WANIPConnection";
inline constexpr char kWanPppMarker[] = "<serviceType>urn:schemas-upnp-org:service:WANPPPConnection";

enum class ReadError : u8 {
    kNone,
    kEmpty,         // no bytes at all
    kNoLocation,    // no "Location:" line
    kBadLocation,   // not "http://host:port/path"
    kBadHost,       // the host is no dotted IPv4 address
    kBadPort,       // not a decimal 1..65535
    kBadPath,       // empty, too long, or bytes that cannot go on a request line
    kNoHeaderEnd,   // the header never ends
    kBadStatus,     // no "HTTP/1.x nnn" status line
    kNoService,     // the description names neither WAN connection service
    kBadService,    // a service without a readable type or control URL
};
const char* ReadErrorText(ReadError error);

// The gateway's description, from an SSDP reply's Location.
struct Location {
    u32 address = 0;    // network order
    std::string host;   // as written (dotted)
    u16 port = 0;
    std::string path;   // starts with '/'
};
ReadError ReadSearchReply(std::string_view reply, Location& out);

struct Response {
    u32 status = 0;          // 100..999
    std::string_view body;   // into the text read; cut to Content-Length
};
ReadError ReadResponse(std::string_view text, Response& out);
// True once text holds a whole header and the body its Content-Length
// promises (a response without one ends when the connection does).
bool ResponseComplete(std::string_view text);

struct Service {
    std::string type;         // e.g. "urn:schemas-upnp-org:service:WANIPConnection:1"
    std::string controlUrl;
    bool Known() const { return !type.empty(); }
};
struct Services {
    Service ip, ppp;
};
// Each service from its marker (exact case) up to its "</service>";
// kNoService when neither is there.
ReadError ReadDescription(std::string_view body, Services& out);

// The NewInternalClient of a GetSpecificPortMappingEntry answer.
bool ReadInternalClient(std::string_view body, std::string& out);

// Requests, byte for byte.
std::string SearchRequest();
std::string DescriptionRequest(std::string_view path, std::string_view host, u16 port);

enum class Action : u8 { kGetSpecificPortMappingEntry, kAddPortMapping, kDeletePortMapping };
const char* ActionName(Action action);

struct MappingArgs {
    u16 externalPort = 0;
    std::string_view protocol;
    // AddPortMapping only.
    u16 internalPort = 0;
    std::string_view internalClient;
    std::string_view description;
};
// The arguments of GetSpecificPortMappingEntry and DeletePortMapping.
inline MappingArgs EntryArgs(u16 externalPort, std::string_view protocol)
{
    MappingArgs args;
    args.externalPort = externalPort;
    args.protocol = protocol;
    return args;
}
std::string ControlBody(Action action, std::string_view serviceType, const MappingArgs& args);
// Header and body.
std::string ControlRequest(Action action, std::string_view controlUrl, std::string_view serviceType,
                           std::string_view host, u16 port, const MappingArgs& args);

// Case-blind (A..Z only) search from `from`; npos when absent.
size_t FindNoCase(std::string_view text, std::string_view what, size_t from = 0);

}  // namespace upnp
