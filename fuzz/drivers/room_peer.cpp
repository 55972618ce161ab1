// Fuzz driver for the peer messages the room screen takes (RoomPeerDriver.h
// says how an input reads), as host and as guest: each goes to the handler
// the network scene routes it to. After each the member table holds at most
// eight entries with terminated texts, and the chat log stays in bounds.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/RoomPeerDriver.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyRoom.h"
#include "game/network/NetClient.h"
#include "game/network/RoomMembers.h"
#include "game/network/tests/LobbyDoubles.h"

#include <cstring>
#include <vector>

namespace {

using namespace fuzz::room_peer;

void Check(const LobbySceneContext& context)
{
    const RoomMemberTable& table = *context.state.members;
    FUZZ_CHECK(table.count >= 0 && u32(table.count) <= lobby::kMaxMembers);
    for (const RoomMember& m : table.members) {
        FUZZ_CHECK(strnlen(m.name, sizeof m.name) < sizeof m.name);
        FUZZ_CHECK(strnlen(m.peerId, sizeof m.peerId) < sizeof m.peerId);
    }
    FUZZ_CHECK(context.roomChat.count <= lobby_scene::kChatLogLines);
    for (u32 i = 0; i < context.roomChat.count; ++i) {
        FUZZ_CHECK(strnlen(context.roomChat.Speaker(i), lobby_scene::kSpeakerBytes) < lobby_scene::kSpeakerBytes);
        FUZZ_CHECK(strnlen(context.roomChat.Text(i), lobby_scene::kChatTextBytes) < lobby_scene::kChatTextBytes);
    }
}

void Deliver(CLobbyRoomScene& room, CNetClient& sender, i16 type, const std::vector<u8>& body)
{
    const u8* p = body.data();
    const u32 n = u32(body.size());
    switch (type) {
    case room::kChatMessage: room.OnRoomChat(&sender, p, n); break;
    case room::kJoinReplyMessage: room.OnJoinReply(&sender, p, n); break;
    case room::kMemberInfoMessage: room.OnMemberInfo(&sender, p, n); break;
    case room::kMemberTableMessage: room.OnMemberTable(&sender, p, n); break;
    case room::kMemberResultMessage: room.OnMemberResult(&sender, p, n); break;
    default: room.OnPeerLeft(&sender); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    lobby_test::RecordingScreens::Shared screens;
    lobby_test::RecordingPeerSide::Shared peers;
    CLobbyClient client(nullptr);
    FUZZ_CHECK(lobby_test::CreateRecorded(client, screens, peers) == 1);
    LobbySceneContext context;
    context.client = &client;
    context.state = client.ScreenState();
    CLobbyRoomScene room(&client, &context);
    CRandom random;
    CNetClient sender("127.0.0.2", random);

    fuzz::Input input(data, size);
    const u8 setup = input.Byte();
    room.Reset();
    if (setup & kLobbyMode) room.SetLobbyMode(1);
    if (setup & kHost) {
        client.CreateRoomRecords(8);
        room.BecomeHost("host", "hostid");
        room.OnPeerConnected("127.0.0.2", sender.GetPeerId());
    }
    Check(context);
    std::vector<u8> body;
    while (input.RestSize() > 0) {
        const i16 type = kTypes[input.Byte() % kTypeCount];
        const u32 length = u32(input.Byte()) | (u32(input.Byte()) << 8);
        const size_t take = std::min<size_t>(length, input.RestSize());
        body.assign(input.Rest(), input.Rest() + take);
        for (size_t i = 0; i < take; ++i) input.Byte();
        Deliver(room, sender, type, body);
        Check(context);
    }
    client.Destroy();
    return 0;
}
