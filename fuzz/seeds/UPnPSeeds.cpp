// Seeds of the gateway reply driver: what the tests' fake gateway says to
// the port mapper (search replies, descriptions, SOAP answers and faults),
// and answers the readers refuse made from them.
#include "fuzz/drivers/UPnPReplyDriver.h"
#include "fuzz/seeds/Seeds.h"
#include "game/network/tests/GatewayTexts.h"

namespace seeds {

void MakeUPnPSeeds(const std::string& root)
{
    using namespace fuzz::upnp_reply;
    namespace text = gateway_text;
    Sink sink(root, "upnp_reply");
    const std::string location = text::Location("192.168.0.1", 5000);
    sink.Add("search-reply", Input(kSearchReply, text::SearchReply(location)));
    sink.Add("search-reply-no-location", Input(kSearchReply, text::SearchReply("")));
    sink.Add("search-reply-empty", Input(kSearchReply, ""));
    sink.Add("search-reply-named-host", Input(kSearchReply, text::SearchReply("http://router.lan:80/d.xml")));
    sink.Add("search-reply-port-0", Input(kSearchReply, text::SearchReply("http://10.0.0.1:0/d.xml")));

    const std::string ip = text::kIpType, ppp = text::kPppType;
    sink.Add("response-entry", Input(kResponse, text::EntryAnswer(ip, 18000, "192.168.0.2")));
    sink.Add("response-fault", Input(kResponse, text::SoapFault(718, "ConflictInMappingEntry")));
    sink.Add("response-add", Input(kResponse, text::SoapAnswer("AddPortMapping", ppp)));
    sink.Add("response-unended", Input(kResponse, text::HttpResponse("200 OK", text::Description(true, false), false)));
    sink.Add("response-short", Input(kResponse, text::SoapAnswer("DeletePortMapping", ip).substr(0, 60)));

    sink.Add("description-ip", Input(kDescription, text::Description(true, false)));
    sink.Add("description-ppp", Input(kDescription, text::Description(false, true)));
    sink.Add("description-both-long", Input(kDescription, text::Description(true, true, 30)));
    sink.Add("description-none", Input(kDescription, text::Description(false, false)));
    std::string cut = text::Description(true, true);
    sink.Add("description-cut", Input(kDescription, cut.substr(0, cut.find("</controlURL>"))));

    sink.Add("entry-ours", Input(kEntryAnswer, text::EntryAnswer(ip, 18000, "192.168.0.2")));
    sink.Add("entry-other", Input(kEntryAnswer, text::EntryAnswer(ppp, 15500, "192.168.0.99")));
    sink.Add("entry-missing", Input(kEntryAnswer, text::SoapFault(714, "NoSuchEntryInArray")));
}

}  // namespace seeds
