// What a home router says to the port mapper, as the fake gateway and the
// fuzz seeds write it: the SSDP reply, the device description, SOAP answers.
#pragma once

#include "engine/core/Types.h"

#include <string>
#include <string_view>

namespace gateway_text {

inline constexpr char kIpType[] = "urn:schemas-upnp-org:service:WANIPConnection:1";
inline constexpr char kPppType[] = "urn:schemas-upnp-org:service:WANPPPConnection:1";
inline constexpr char kIpControl[] = "/ctl/IPConn";
inline constexpr char kPppControl[] = "/ctl/PPPConn";
inline constexpr char kDescriptionPath[] = "/rootDesc.xml";

inline std::string SearchReply(std::string_view location)
{
    std::string text = "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nST: "
                       "urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\nUSN: uuid:fake-gateway::"
                       "urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\nEXT:\r\nSERVER: Fake/1.0 UPnP/1.0\r\n";
    if (!location.empty()) text.append("LOCATION: ").append(location).append("\r\n");
    return text + "\r\n";
}

inline std::string Location(std::string_view host, u16 port, std::string_view path = kDescriptionPath)
{
    return "http://" + std::string(host) + ":" + std::to_string(port) + std::string(path);
}

inline std::string ServiceElement(std::string_view type, std::string_view control)
{
    std::string text = "<service>\r\n<serviceType>";
    text.append(type).append("</serviceType>\r\n<serviceId>urn:upnp-org:serviceId:x</serviceId>\r\n");
    text.append("<controlURL>").append(control).append("</controlURL>\r\n");
    return text + "<eventSubURL>/evt</eventSubURL>\r\n<SCPDURL>/scpd.xml</SCPDURL>\r\n</service>\r\n";
}

// padding: filler services ahead of the WAN connection device, so the
// services lie past the first 4 KiB.
inline std::string Description(bool ip, bool ppp, u32 padding = 0)
{
    std::string text = "<?xml version=\"1.0\"?>\r\n<root xmlns=\"urn:schemas-upnp-org:device-1-0\">\r\n"
                       "<device>\r\n<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>\r\n"
                       "<friendlyName>Fake Router</friendlyName>\r\n<serviceList>\r\n";
    for (u32 i = 0; i < padding; ++i)
        text += ServiceElement("urn:schemas-upnp-org:service:Layer3Forwarding:1", "/ctl/L3F" + std::to_string(i));
    text += "</serviceList>\r\n<deviceList>\r\n<device>\r\n"
            "<deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType>\r\n<serviceList>\r\n";
    if (ip) text += ServiceElement(kIpType, kIpControl);
    if (ppp) text += ServiceElement(kPppType, kPppControl);
    return text + "</serviceList>\r\n</device>\r\n</deviceList>\r\n</device>\r\n</root>\r\n";
}

inline std::string HttpResponse(std::string_view status, std::string_view body, bool length = true)
{
    std::string text = "HTTP/1.1 ";
    text.append(status).append("\r\nContent-Type: text/xml; charset=\"utf-8\"\r\n");
    if (length) text.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n");
    text.append("Server: Fake/1.0 UPnP/1.0\r\n\r\n");
    return text.append(body);
}

// An action's answer; inner: its output elements.
inline std::string SoapAnswer(std::string_view action, std::string_view serviceType, std::string_view inner = {})
{
    std::string body = "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                       "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>";
    body.append("<u:").append(action).append("Response xmlns:u=\"").append(serviceType).append("\">");
    body.append(inner).append("</u:").append(action).append("Response></s:Body></s:Envelope>\r\n");
    return HttpResponse("200 OK", body);
}

inline std::string EntryAnswer(std::string_view serviceType, u16 internalPort, std::string_view client)
{
    std::string inner = "<NewInternalPort>" + std::to_string(internalPort) + "</NewInternalPort>";
    inner.append("<NewInternalClient>").append(client).append("</NewInternalClient>");
    inner += "<NewEnabled>1</NewEnabled><NewPortMappingDescription>x</NewPortMappingDescription>"
             "<NewLeaseDuration>0</NewLeaseDuration>";
    return SoapAnswer("GetSpecificPortMappingEntry", serviceType, inner);
}

// 714 NoSuchEntryInArray, 718 ConflictInMappingEntry, 501 ActionFailed.
inline std::string SoapFault(u32 code, std::string_view text)
{
    std::string body = "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                       "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body><s:Fault>"
                       "<faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring><detail>"
                       "<UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>";
    body.append(std::to_string(code)).append("</errorCode><errorDescription>").append(text);
    body += "</errorDescription></UPnPError></detail></s:Fault></s:Body></s:Envelope>\r\n";
    return HttpResponse("500 Internal Server Error", body);
}

}  // namespace gateway_text
