// Seeds of the network scene driver: a room's peer traffic as each side
// sees it (join reply, member table, chat, play state, a select's cards and
// words, a battle's readiness, inputs and bundles, a departure), built from
// the peer table's sizes, for the host and for a guest, hosting or not.
#include "fuzz/drivers/NetworkSceneDriver.h"
#include "fuzz/seeds/Seeds.h"
#include "game/network/PeerWire.h"

namespace seeds {

void MakeNetworkSceneSeeds(const std::string& root)
{
    using namespace fuzz::network_scene;
    Sink sink(root, "network_scene");
    std::vector<std::pair<std::string, Bytes>> events;
    size_t count = 0;
    const peer::TypeRule* rules = peer::TypeRules(&count);
    for (size_t i = 0; i < count; ++i) {
        const peer::TypeRule& rule = rules[i];
        Bytes body(rule.minLength, '\0');
        if (rule.minLength >= 4) body[0] = 1;   // a word of 1: state, entry, proceed
        events.emplace_back(std::to_string(rule.type), EventRecord(rule.type, body));
        if (rule.maxLength > rule.minLength)
            events.emplace_back(std::to_string(rule.type) + "-longest", EventRecord(rule.type, Bytes(rule.maxLength, 'x')));
    }
    events.emplace_back("member-leaves", EventRecord(kDisconnect, Bytes(1, char(3))));
    events.emplace_back("stranger-leaves", EventRecord(kDisconnect, Bytes(1, char(0))));
    events.emplace_back("short-card", EventRecord(10001, Bytes(115, '\0')));

    for (u8 setup : {u8(0), u8(kRoomHost), u8(kHosting), u8(kRoomHost | kHosting)}) {
        Bytes session(1, char(setup));
        for (const auto& [name, record] : events) session += record;
        sink.Add("session-" + std::to_string(setup), session);
    }
    for (const auto& [name, record] : events) {
        sink.Add(name + "-guest", char(kHosting) + record);
        sink.Add(name + "-host", char(kRoomHost | kHosting) + record);
    }
}

}  // namespace seeds
