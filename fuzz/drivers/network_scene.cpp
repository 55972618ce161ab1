// Fuzz driver for the network scene's peer dispatch (NetworkSceneDriver.h
// says how an input reads): each message reaches the scene's message
// callback as a receive thread hands it over, as the room's host or as a
// guest, with a child double that checks what it is handed: only the types
// 10001..10009, each with a length its table entry allows, never a type
// only the host sends when this player is the host, and never a message the
// scene said to close on. Departures of members and of strangers come in
// between. The scene's sockets are on the fake network.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/NetworkSceneDriver.h"
#include "game/battle/scene/PeerMessageSink.h"
#include "game/network/LobbyClient.h"
#include "game/network/NetClient.h"
#include "game/network/NetworkScene.h"
#include "game/network/PeerWire.h"
#include "game/network/tests/LobbyDoubles.h"
#include "host/net/FakeNet.h"

#include <cstring>
#include <vector>

namespace {

using namespace fuzz::network_scene;

// A hosted scene that checks each message against the table.
class CheckingChild final : public CScene, public IPeerMessageSink {
    ORV_VALUE_CLASS(CheckingChild)

public:
    CheckingChild() = default;
    CheckingChild(const CheckingChild&) = default;
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32) override { return 1; }
    u32 OnPeerMessage(u32 type, const u8* data, u32 length) override
    {
        FUZZ_CHECK(type >= 10001 && type <= 10009);
        const peer::TypeRule* rule = peer::FindTypeRule(i32(type));
        FUZZ_CHECK(rule && length >= rule->minLength && length <= rule->maxLength);
        FUZZ_CHECK(data != nullptr);
        // The host tells its child of a departure itself; no guest does.
        FUZZ_CHECK(!(roomHost && netscene::IsHostOnlyType(i32(type))) || departure);
        // Every byte handed over is readable.
        u32 sum = 0;
        for (u32 i = 0; i < length; ++i) sum += data[i];
        last = sum;
        ++handed;
        return 1;
    }

    bool roomHost = false;
    bool departure = false;
    u32 handed = 0;
    u32 last = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    lobby_test::RecordingScreens::Shared screens;
    host::net::FakeNetwork network(1);
    netscene::NetworkSceneOptions options;
    options.net = &network.AddMachine(host::net::MakeAddress(10, 0, 0, 1));
    options.serverHost = "127.0.0.1";
    options.peerPort = 0;
    options.discovery = host::net::Endpoint{host::net::kLoopback, 9};
    options.screens = [&screens](CLobbyClient&) { return std::make_unique<lobby_test::RecordingScreens>(screens); };
    CNetworkScene scene(options);
    FUZZ_CHECK(scene.Initialize(0) == 1);
    fuzz::Input input(data, size);
    const u8 setup = input.Byte();
    const bool host = setup & kRoomHost;
    CLobbyClient& lobby = *scene.GetLobbyClient();
    CRandom random;
    CNetClient members[3] = {CNetClient("127.0.0.2", random), CNetClient("127.0.0.3", random),
                             CNetClient("127.0.0.4", random)};
    CNetClient stranger("127.0.0.9", random);
    RoomMemberTable& table = lobby.MemberTable();
    table.count = 3;
    for (u32 i = 0; i < 3; ++i) std::strcpy(table.members[i].peerId, members[i].GetPeerId());
    lobby.SetRoomHost(host, host ? 0 : 1);
    CheckingChild* child = nullptr;
    if (setup & kHosting) {
        lobby.SetPlayStateRaw(1);
        child = new CheckingChild;
        child->roomHost = host;
        scene.SetChildScene(child, kHostedSelectMode);
    }

    std::vector<u8> body;
    while (input.RestSize() > 0) {
        const i32 type = kTypes[input.Byte() % kTypeCount];
        const u32 length = u32(input.Byte()) | (u32(input.Byte()) << 8);
        const size_t take = std::min<size_t>(length, input.RestSize());
        body.assign(input.Rest(), input.Rest() + take);
        for (size_t i = 0; i < take; ++i) input.Byte();
        if (type == kDisconnect) {
            const u8 who = body.empty() ? 0 : body[0] % 4;
            if (child) child->departure = true;
            scene.OnPeerDisconnect(who == 0 ? &stranger : &members[who - 1]);
            if (child) child->departure = false;
            continue;
        }
        // The receive thread hands over exactly what came.
        const u32 handedBefore = child ? child->handed : 0;
        const auto verdict = netscene::CheckPeerMessage(type, u32(body.size()), host);
        const i32 go = scene.OnPeerMessage(&members[host ? 1 : 0], body.data(), type, u32(body.size()));
        FUZZ_CHECK((go == 0) == (verdict == netscene::Verdict::kClose));
        if (verdict != netscene::Verdict::kTake && child) FUZZ_CHECK(child->handed == handedBefore);
        // A play state may end hosting: the child stays the scene's.
        if (scene.GetChild() != child) child = nullptr;
    }
    return 0;
}
