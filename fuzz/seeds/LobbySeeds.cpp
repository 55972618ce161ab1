// Seeds of the lobby dispatch driver: what the test lobby server sends in a
// session (handshake, log-in, lists, a room made and joined, details, chat,
// a line test, keep-alive), whole and one message at a time, built with the
// same record layouts.
#include "fuzz/drivers/LobbyDispatchDriver.h"
#include "fuzz/seeds/Seeds.h"
#include "game/network/LobbyWire.h"
#include "game/network/tests/LobbyDoubles.h"

namespace seeds {

namespace {

using namespace fuzz::lobby_dispatch;

Bytes Str(const std::vector<u8>& v) { return Bytes(v.begin(), v.end()); }

}  // namespace

void MakeLobbySeeds(const std::string& root)
{
    Sink sink(root, "lobby_dispatch");
    using lobby_test::RoomDataBytes;
    std::vector<std::pair<std::string, Bytes>> messages;
    const auto add = [&](const std::string& name, u16 type, u8 status, const std::vector<u8>& body) {
        messages.emplace_back(name, MessageRecord(type, status, Str(body)));
    };
    add("handshake", 100, 1, {'~', 0x51});
    add("login", 1001, 1, lobby_test::UserDetailBytes(kOwnId, "me", "\xE3\x81\x82"));
    std::vector<u8> users = lobby_test::UserEntryBytes(kOwnId, "me", 4);
    const std::vector<u8> other = lobby_test::UserEntryBytes(9, "nine", 2);
    users.insert(users.end(), other.begin(), other.end());
    add("users", 1010, 1, users);
    add("rooms", 1002, 1, lobby_test::RoomEntryBytes(kOwnRoom));
    add("room-detail", 1009, 1, RoomDataBytes(kOwnRoom, {9}));
    std::vector<u8> join = RoomDataBytes(kOwnRoom, {9, kOwnId});
    join.resize(lobby::kJoinBytes);
    PutLe32(join.data() + 814, host::net::MakeAddress(127, 0, 0, 9));
    PutLe32(join.data() + 818, 18000);
    add("join", 1005, 1, join);
    const std::vector<u8> data = RoomDataBytes(kOwnRoom, {9, kOwnId, 11});
    add("members", 1007, 1, std::vector<u8>(data.begin() + lobby::kMemberBlockAt, data.begin() + 813));
    add("state", 1008, 1, lobby_test::RoomEntryBytes(kOwnRoom, 1));
    add("user-detail", 1015, 1, lobby_test::UserDetailBytes(9, "nine", "profile", 8, 8));
    std::vector<u8> chat(lobby::kChatLineBytes, 0);
    std::memcpy(chat.data(), "nine: hi", 8);
    add("chat", 1020, 1, chat);
    add("line-test", 1023, 1, {127, 0, 0, 9, 0x9C, 0x3C, 0, 0});
    add("keep-alive", 1024, 1, {});
    add("results", 1016, 1, other);
    const std::vector<u8> kicked = RoomDataBytes(kOwnRoom, {9});
    add("kick", 1014, 1, std::vector<u8>(kicked.begin() + lobby::kMemberBlockAt, kicked.begin() + 813));
    add("user-left", 1013, 1, {9, 0, 0, 0});
    add("room-closed", 1003, 1, {5, 0, 0, 0});
    add("refused-detail", 1009, 2, {});

    Bytes session(1, char(0));
    for (const auto& [name, record] : messages) session += record;
    sink.Add("session", session);
    for (const auto& [name, record] : messages) {
        sink.Add(name + "-fresh", char(0) + record);
        sink.Add(name + "-logged-in", char(kLoggedIn) + record);
        sink.Add(name + "-host", char(kLoggedIn | kHostsRoom | kOnRoomScreen) + record);
    }
}

}  // namespace seeds
