// The port mapper's texts byte for byte, and its readers of what a gateway
// (or anybody on the network) answers.
#include "game/network/UPnPWire.h"
#include "game/network/tests/GatewayTexts.h"
#include "host/net/Net.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

namespace {

using upnp::ReadError;

constexpr char kIp[] = "urn:schemas-upnp-org:service:WANIPConnection:1";
constexpr char kPpp[] = "urn:schemas-upnp-org:service:WANPPPConnection:1";
constexpr char kEnvelope[] =
    "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "s:encordingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n"
    "\t<s:Body>\r\n";

TEST(UPnPWireTest, SearchRequestIsExact)
{
    EXPECT_EQ(upnp::SearchRequest(),
              "M-SEARCH * HTTP/1.1\r\nMX: 3\r\nHost: 239.255.255.250:1900\r\nMan: \"ssdp:discover\"\r\n"
              "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n\r\n");
}

TEST(UPnPWireTest, DescriptionRequestIsExact)
{
    EXPECT_EQ(upnp::DescriptionRequest("/rootDesc.xml", "192.168.0.1", 5000),
              "GET /rootDesc.xml HTTP/1.0\r\nHost: 192.168.0.1:5000\r\n\r\n");
}

TEST(UPnPWireTest, GetSpecificPortMappingEntryIsExact)
{
    const upnp::MappingArgs args = upnp::EntryArgs(18000, "TCP");
    EXPECT_EQ(upnp::ControlRequest(upnp::Action::kGetSpecificPortMappingEntry, "/ctl/IPConn", kIp, "192.168.0.1",
                                   5000, args),
              std::string("POST /ctl/IPConn HTTP/1.1\r\nContent-Type: text/xml\r\n"
                          "SOAPACTION: \"urn:schemas-upnp-org:service:WANIPConnection:1#GetSpecificPortMappingEntry\"\r\n"
                          "Content-Length: 410\r\nHost: 192.168.0.1:5000\r\n\r\n") +
                  kEnvelope +
                  "\t\t<u:GetSpecificPortMappingEntry xmlns:u=\"urn:schemas-upnp-org:service:WANIPConnection:1\">\r\n"
                  "\t\t\t<NewRemoteHost></NewRemoteHost>\r\n"
                  "\t\t\t<NewExternalPort>18000</NewExternalPort>\r\n"
                  "\t\t\t<NewProtocol>TCP</NewProtocol>\r\n"
                  "\t\t\t</u:GetSpecificPortMappingEntry>\r\n"
                  "\t</s:Body>\r\n"
                  "</s:Envelope>\r\n");
}

TEST(UPnPWireTest, AddPortMappingIsExact)
{
    const upnp::MappingArgs args{18000, "TCP", 18001, "192.168.0.10", "ORV"};
    EXPECT_EQ(upnp::ControlRequest(upnp::Action::kAddPortMapping, "/ctl/IPConn", kIp, "192.168.0.1", 5000, args),
              std::string("POST /ctl/IPConn HTTP/1.1\r\nContent-Type: text/xml\r\n"
                          "SOAPACTION: \"urn:schemas-upnp-org:service:WANIPConnection:1#AddPortMapping\"\r\n"
                          "Content-Length: 621\r\nHost: 192.168.0.1:5000\r\n\r\n") +
                  kEnvelope +
                  "\t\t<u:AddPortMapping xmlns:u=\"urn:schemas-upnp-org:service:WANIPConnection:1\">\r\n"
                  "\t\t\t<NewRemoteHost></NewRemoteHost>\r\n"
                  "\t\t\t<NewExternalPort>18000</NewExternalPort>\r\n"
                  "\t\t\t<NewProtocol>TCP</NewProtocol>\r\n"
                  "\t\t\t<NewInternalPort>18001</NewInternalPort>\r\n"
                  "\t\t\t<NewInternalClient>192.168.0.10</NewInternalClient>\r\n"
                  "\t\t\t<NewEnabled>1</NewEnabled>\r\n"
                  "\t\t\t<NewPortMappingDescription>ORV</NewPortMappingDescription>\r\n"
                  "\t\t\t<NewLeaseDuration>0</NewLeaseDuration>\r\n"
                  "\t\t</u:AddPortMapping>\r\n"
                  "\t</s:Body>\r\n"
                  "</s:Envelope>\r\n");
}

TEST(UPnPWireTest, DeletePortMappingIsExact)
{
    const upnp::MappingArgs args = upnp::EntryArgs(15500, "UDP");
    EXPECT_EQ(upnp::ControlRequest(upnp::Action::kDeletePortMapping, "/ctl/PPPConn", kPpp, "10.0.0.138", 80, args),
              std::string("POST /ctl/PPPConn HTTP/1.1\r\nContent-Type: text/xml\r\n"
                          "SOAPACTION: \"urn:schemas-upnp-org:service:WANPPPConnection:1#DeletePortMapping\"\r\n"
                          "Content-Length: 391\r\nHost: 10.0.0.138:80\r\n\r\n") +
                  kEnvelope +
                  "\t\t<u:DeletePortMapping xmlns:u=\"urn:schemas-upnp-org:service:WANPPPConnection:1\">\r\n"
                  "\t\t\t<NewRemoteHost></NewRemoteHost>\r\n"
                  "\t\t\t<NewExternalPort>15500</NewExternalPort>\r\n"
                  "\t\t\t<NewProtocol>UDP</NewProtocol>\r\n"
                  "\t\t\t</u:DeletePortMapping>\r\n"
                  "\t</s:Body>\r\n"
                  "</s:Envelope>\r\n");
}

TEST(UPnPWireTest, DescriptionTextCannotOpenElements)
{
    const std::string body =
        upnp::ControlBody(upnp::Action::kAddPortMapping, kIp, {1, "TCP", 1, "10.0.0.2", "a<b>&c"});
    EXPECT_NE(body.find("<NewPortMappingDescription>a&lt;b&gt;&amp;c</NewPortMappingDescription>"),
              std::string::npos);
}

struct ReplyCase {
    const char* name;
    std::string reply;
    ReadError error;
    const char* host;
    u16 port;
    const char* path;
};

TEST(UPnPWireTest, SearchReplies)
{
    const std::string head = "HTTP/1.1 200 OK\r\nST: x\r\n";
    const ReplyCase cases[] = {
        {"plain", gateway_text::SearchReply("http://192.168.0.1:5000/rootDesc.xml"), ReadError::kNone,
         "192.168.0.1", 5000, "/rootDesc.xml"},
        {"any letter case, no space", head + "location:HTTP://10.0.0.1:80/d/e.xml?x=1\r\n\r\n", ReadError::kNone,
         "10.0.0.1", 80, "/d/e.xml?x=1"},
        {"leading zeros", head + "Location: http://010.000.000.001:00080/a\r\n\r\n", ReadError::kNone,
         "010.000.000.001", 80, "/a"},
        {"empty", "", ReadError::kEmpty, "", 0, ""},
        {"no location", gateway_text::SearchReply(""), ReadError::kNoLocation, "", 0, ""},
        {"location never ends", head + "Location: http://1.2.3.4:80/a", ReadError::kNoLocation, "", 0, ""},
        {"other scheme", head + "Location: https://1.2.3.4:80/a\r\n", ReadError::kBadLocation, "", 0, ""},
        {"no port", head + "Location: http://1.2.3.4/a\r\n", ReadError::kBadLocation, "", 0, ""},
        {"no path", head + "Location: http://1.2.3.4:80\r\n", ReadError::kBadLocation, "", 0, ""},
        {"named host", head + "Location: http://router.lan:80/a\r\n", ReadError::kBadHost, "", 0, ""},
        {"port 0", head + "Location: http://1.2.3.4:0/a\r\n", ReadError::kBadPort, "", 0, ""},
        {"port 65536", head + "Location: http://1.2.3.4:65536/a\r\n", ReadError::kBadPort, "", 0, ""},
        {"port wraps u32", head + "Location: http://1.2.3.4:4294967376/a\r\n", ReadError::kBadPort, "", 0, ""},
        {"port not decimal", head + "Location: http://1.2.3.4:8x/a\r\n", ReadError::kBadPort, "", 0, ""},
        {"path with space", head + "Location: http://1.2.3.4:80/a b\r\n", ReadError::kBadPath, "", 0, ""},
        {"path with quote", head + "Location: http://1.2.3.4:80/a\"\r\n", ReadError::kBadPath, "", 0, ""},
        {"path too long", head + "Location: http://1.2.3.4:80/" + std::string(2000, 'a') + "\r\n",
         ReadError::kBadPath, "", 0, ""},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        upnp::Location location;
        ASSERT_EQ(upnp::ReadSearchReply(c.reply, location), c.error);
        if (c.error != ReadError::kNone) continue;
        EXPECT_EQ(location.host, c.host);
        EXPECT_EQ(location.port, c.port);
        EXPECT_EQ(location.path, c.path);
        u32 address = 0;
        ASSERT_TRUE(host::net::ParseAddress(c.host, address));
        EXPECT_EQ(location.address, address);
    }
}

struct ResponseCase {
    const char* name;
    std::string text;
    ReadError error;
    u32 status;
    const char* body;
};

TEST(UPnPWireTest, Responses)
{
    const ResponseCase cases[] = {
        {"ok", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nab", ReadError::kNone, 200, "ab"},
        {"cut to its length", "HTTP/1.1 200 OK\r\ncontent-length: 1\r\n\r\nab", ReadError::kNone, 200, "a"},
        {"shorter than its length", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nab", ReadError::kNone, 200, "ab"},
        {"no length", "HTTP/1.0 200 OK\r\n\r\n<root/>", ReadError::kNone, 200, "<root/>"},
        {"no reason", "HTTP/1.1 200\r\n\r\n", ReadError::kNone, 200, ""},
        // A fault quoting a success is still a fault.
        {"fault quoting success", "HTTP/1.1 500 Internal Server Error\r\n\r\nHTTP/1.1 200 OK", ReadError::kNone, 500,
         "HTTP/1.1 200 OK"},
        {"header never ends", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n", ReadError::kNoHeaderEnd, 0, ""},
        {"empty", "", ReadError::kNoHeaderEnd, 0, ""},
        {"no status line", "Content-Length: 0\r\n\r\n", ReadError::kBadStatus, 0, ""},
        {"short code", "HTTP/1.1 20 OK\r\n\r\n", ReadError::kBadStatus, 0, ""},
        {"long code", "HTTP/1.1 2000 OK\r\n\r\n", ReadError::kBadStatus, 0, ""},
        {"success later", "garbage\r\nHTTP/1.1 200 OK\r\n\r\n", ReadError::kBadStatus, 0, ""},
    };
    for (const ResponseCase& c : cases) {
        SCOPED_TRACE(c.name);
        upnp::Response response;
        ASSERT_EQ(upnp::ReadResponse(c.text, response), c.error);
        EXPECT_EQ(response.status, c.status);
        if (c.error == ReadError::kNone) {
            EXPECT_EQ(response.body, c.body);
        }
    }
}

TEST(UPnPWireTest, ResponseCompleteOnlyWithItsWholeBody)
{
    EXPECT_FALSE(upnp::ResponseComplete("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n"));
    EXPECT_FALSE(upnp::ResponseComplete("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nab"));
    EXPECT_TRUE(upnp::ResponseComplete("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc"));
    // Without a length only the end of the stream tells.
    EXPECT_FALSE(upnp::ResponseComplete("HTTP/1.0 200 OK\r\n\r\nabc"));
}

struct DescriptionCase {
    const char* name;
    std::string body;
    ReadError error;
    const char* ipControl;   // empty: no such service
    const char* pppControl;
};

TEST(UPnPWireTest, Descriptions)
{
    using gateway_text::ServiceElement;
    const std::string ipBroken = "<service><serviceType>" + std::string(kIp) + "</serviceType></service>" +
                                 ServiceElement(kPpp, "/ctl/PPPConn");
    const DescriptionCase cases[] = {
        {"WANIP", gateway_text::Description(true, false), ReadError::kNone, "/ctl/IPConn", ""},
        {"WANPPP", gateway_text::Description(false, true), ReadError::kNone, "", "/ctl/PPPConn"},
        {"both", gateway_text::Description(true, true), ReadError::kNone, "/ctl/IPConn", "/ctl/PPPConn"},
        {"long", gateway_text::Description(true, true, 40), ReadError::kNone, "/ctl/IPConn", "/ctl/PPPConn"},
        {"tags in any case", "<serviceType>" + std::string(kIp) + "</SERVICETYPE><ControlUrl> /c </CONTROLURL>",
         ReadError::kNone, "/c", ""},
        {"absolute control URL", ServiceElement(kIp, "http://10.0.0.1:80/c"), ReadError::kNone,
         "http://10.0.0.1:80/c", ""},
        {"none", gateway_text::Description(false, false), ReadError::kNoService, "", ""},
        {"marker in other case", "<SERVICETYPE>urn:schemas-upnp-org:service:WANIPConnection:1</SERVICETYPE>",
         ReadError::kNoService, "", ""},
        {"empty", "", ReadError::kNoService, "", ""},
        // The next service's control URL is not this one's.
        {"service without control URL", ipBroken, ReadError::kBadService, "", ""},
        {"type never ends", "<serviceType>" + std::string(kIp), ReadError::kBadService, "", ""},
        {"control URL with space", ServiceElement(kIp, "/a b"), ReadError::kBadService, "", ""},
        {"control URL with quote", ServiceElement(kIp, "/a\""), ReadError::kBadService, "", ""},
        {"empty control URL", ServiceElement(kIp, ""), ReadError::kBadService, "", ""},
        {"type with quote", ServiceElement(std::string(kIp) + "\"", "/c"), ReadError::kBadService, "", ""},
    };
    for (const DescriptionCase& c : cases) {
        SCOPED_TRACE(c.name);
        upnp::Services services;
        ASSERT_EQ(upnp::ReadDescription(c.body, services), c.error);
        if (c.error != ReadError::kNone) continue;
        EXPECT_EQ(services.ip.controlUrl, c.ipControl);
        EXPECT_EQ(services.ppp.controlUrl, c.pppControl);
        EXPECT_EQ(services.ip.Known(), *c.ipControl != 0);
        EXPECT_EQ(services.ppp.Known(), *c.pppControl != 0);
    }
    upnp::Services services;
    ASSERT_EQ(upnp::ReadDescription(gateway_text::Description(true, true, 40), services), ReadError::kNone);
    EXPECT_EQ(services.ip.type, kIp);
    EXPECT_EQ(services.ppp.type, kPpp);
    EXPECT_GT(gateway_text::Description(true, true, 40).find(upnp::kWanIpMarker), 4096u);
}

TEST(UPnPWireTest, InternalClient)
{
    std::string client;
    EXPECT_TRUE(upnp::ReadInternalClient(gateway_text::EntryAnswer(kIp, 1, "192.168.0.7"), client));
    EXPECT_EQ(client, "192.168.0.7");
    EXPECT_FALSE(upnp::ReadInternalClient("<NewInternalClient></NewInternalClient>", client));
    EXPECT_FALSE(upnp::ReadInternalClient("<NewInternalClient>10.0.0.1", client));
    EXPECT_FALSE(upnp::ReadInternalClient("", client));
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
