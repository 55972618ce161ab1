// Fuzz driver for the lobby server's messages (LobbyDispatchDriver.h says
// how an input reads): each goes through the client's Dispatch as its
// receive thread would hand it over, with recording screens and peer side.
// After each the lists and the own records must hold what the readers
// accept, and a refused message must have ended the stream.
#include "engine/core/Endian.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/LobbyDispatchDriver.h"
#include "game/network/LobbyClient.h"
#include "game/network/tests/LobbyDoubles.h"

#include <cstring>
#include <vector>

namespace {

using namespace fuzz::lobby_dispatch;
using namespace lobby;

i32 Deliver(CLobbyClient& client, u16 type, u16 status, std::vector<u8> payload)
{
    ScrambleLobby(payload.data(), payload.size(), client.GetPayloadKey());
    return client.Dispatch(type, status, payload.data(), u32(payload.size()));
}

void SetUp(CLobbyClient& client, u8 setup)
{
    if (!(setup & kLoggedIn)) return;
    FUZZ_CHECK(Deliver(client, kHandshake, kStatusSuccess, {'~', 0x51}) == 1);
    FUZZ_CHECK(Deliver(client, kLoginResult, kStatusSuccess, lobby_test::UserDetailBytes(kOwnId, "me", "")) == 1);
    if (setup & kHostsRoom) {
        FUZZ_CHECK(Deliver(client, kRoomsAdded, kStatusSuccess, lobby_test::RoomEntryBytes(kOwnRoom)) == 1);
        FUZZ_CHECK(Deliver(client, kRoomDetail, kStatusSuccess, lobby_test::RoomDataBytes(kOwnRoom, {kOwnId})) == 1);
        client.SetRoomHost(true, 0);
    }
    if (setup & kOnRoomScreen) client.SetScreen(4);
}

void Check(CLobbyClient& client)
{
    FUZZ_CHECK(client.GetScreen() < kLobbyScreenCount);
    LobbyRoomRecord room;
    client.GetOwnRoom(&room);
    // Any count is kept; the membership test stops at the record's entries
    // (a read past them is the sanitizer's to see), and no count lets in a
    // user the record does not name.
    bool named = GetLe32(room.data + kHostEntryAt) == kOwnId;
    for (u32 i = 0; i < kRecordMembers; ++i) named |= GetLe32(room.data + kMemberEntriesAt + i * kEntryBytes) == kOwnId;
    FUZZ_CHECK(named || !room.HasMember(kOwnId));
    LobbyUserRecord user;
    client.GetOwnUser(&user);
    FUZZ_CHECK(strnlen(user.Name(), kNameBytes) < kNameBytes);
    FUZZ_CHECK(strnlen(reinterpret_cast<const char*>(user.data + kProfileAt), kProfileBytes) < kProfileBytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    lobby_test::RecordingScreens::Shared screens;
    lobby_test::RecordingPeerSide::Shared peers;
    CLobbyClient client(nullptr);
    FUZZ_CHECK(lobby_test::CreateRecorded(client, screens, peers) == 1);
    fuzz::Input input(data, size);
    SetUp(client, input.Byte());
    Check(client);
    std::vector<u8> body;
    while (input.RestSize() > 0) {
        const u16 type = kTypes[input.Byte() % kTypeCount];
        const u16 status = input.Byte();
        const u32 length = u32(input.Byte()) | (u32(input.Byte()) << 8);
        const size_t take = std::min<size_t>(length, input.RestSize());
        body.assign(input.Rest(), input.Rest() + take);
        for (size_t i = 0; i < take; ++i) input.Byte();
        const i32 go = Deliver(client, type, status, body);
        Check(client);
        if (!go) break;   // the receive thread would end here
    }
    client.Destroy();
    return 0;
}
