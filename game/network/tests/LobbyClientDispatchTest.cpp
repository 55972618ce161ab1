// The lobby client's Dispatch table, its worker slot and its play state,
// with recording screens and peer side.
#include "game/network/LobbyClient.h"
#include "game/network/tests/LobbyDoubles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace ORV_TEST_FILE_ID {

using namespace lobby;
using namespace lobby_test;

namespace {

class LobbyClientDispatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CreateRecorded(client, screens, peers), 1);
    }

    // A server message as it leaves the server: scrambled with the client's key.
    i32 Deliver(u16 type, u16 status, std::vector<u8> payload)
    {
        ScrambleLobby(payload.data(), payload.size(), client.GetPayloadKey());
        return client.Dispatch(type, status, payload.data(), u32(payload.size()));
    }
    void LogIn()
    {
        ASSERT_EQ(Deliver(kHandshake, kStatusSuccess, {'~', 0x44}), 1);
        ASSERT_EQ(Deliver(kLoginResult, kStatusSuccess, UserDetailBytes(kOwnId, "me", "")), 1);
    }
    std::vector<u32> Events()
    {
        std::lock_guard lock(screens.mutex);
        return screens.events;
    }
    u32 LastEvent()
    {
        const auto e = Events();
        return e.empty() ? 999 : e.back();
    }
    bool Called(const std::string& call) { return Contains(screens.mutex, screens.calls, call); }
    bool PeerCalled(const std::string& call) { return Contains(peers.mutex, peers.calls, call); }
    // Puts this player in room id as its host or a member.
    void EnterRoom(u32 id, bool host)
    {
        ASSERT_EQ(Deliver(kRoomsAdded, kStatusSuccess, RoomEntryBytes(id)), 1);
        const std::vector<u32> members = host ? std::vector<u32>{kOwnId} : std::vector<u32>{99, kOwnId};
        std::vector<u8> join = RoomDataBytes(id, members);
        join.resize(kJoinBytes);
        PutLe32(join.data() + 814, host::net::MakeAddress(127, 0, 0, 9));
        PutLe32(join.data() + 818, 18001);
        ASSERT_EQ(Deliver(kJoinAccepted, kStatusSuccess, join), 1);
        // The join's worker has its say before the test goes on.
        if (!peers.hold) {
            ASSERT_TRUE(WaitFor([&] { return client.GetScreen() == 4 || LastEvent() == kEventJoinFailed; }));
        }
        client.SetRoomHost(host, host ? 0 : 1);
    }

    RecordingScreens::Shared screens;
    RecordingPeerSide::Shared peers;
    CLobbyClient client{nullptr};
};

TEST_F(LobbyClientDispatch, HandshakeOutcomes)
{
    const struct {
        u16 status;
        std::vector<u8> payload;
        i32 result;
        u32 event;
        u32 screen;
        u8 key;
    } cases[] = {
        {kStatusFailure, {}, 0, kEventServerLost, 0, kInitialPayloadKey},
        {kStatusSuccess, {'x', 0x44}, 0, kEventBadHandshake, 0, kInitialPayloadKey},
        {kStatusSuccess, {'~'}, 0, kEventServerLost, 0, kInitialPayloadKey},   // too short to read
        {kStatusSuccess, {'~', 0x44}, 1, kEventDone, 2, 0x44},
    };
    for (const auto& c : cases) {
        client.Disconnect();   // the key back to the initial one
        client.SetScreen(0);
        EXPECT_EQ(Deliver(kHandshake, c.status, c.payload), c.result);
        EXPECT_EQ(LastEvent(), c.event);
        EXPECT_EQ(client.GetScreen(), c.screen);
        EXPECT_EQ(client.GetPayloadKey(), c.key);
    }
}

TEST_F(LobbyClientDispatch, LoginRefusedAndAccepted)
{
    ASSERT_EQ(Deliver(kHandshake, kStatusSuccess, {'~', 0x44}), 1);
    EXPECT_EQ(Deliver(kLoginResult, kStatusFailure, {}), 1);
    EXPECT_EQ(LastEvent(), u32(kEventLoginRefused));
    EXPECT_EQ(client.GetScreen(), 2u);
    client.SetOwnLogin("lobbyname", 5);
    ASSERT_EQ(Deliver(kLoginResult, kStatusSuccess, UserDetailBytes(kOwnId, "\xE3\x81\x82", "hi")), 1);
    EXPECT_EQ(client.GetScreen(), 3u);
    EXPECT_EQ(LastEvent(), u32(kEventDone));
    EXPECT_STREQ(client.GetLobbyId(), "lobbyname");
    EXPECT_STREQ(client.GetUserName(), "\x82\xA0");
}

// Every fixed-offset message one byte short: event 8, the connection ends,
// nothing changes.
TEST_F(LobbyClientDispatch, ShortMessagesChangeNothing)
{
    LogIn();
    EnterRoom(5, false);
    const u32 users = client.GetUserCount(), rooms = client.GetRoomCount();
    const u32 screen = client.GetScreen();
    LobbyRoomRecord before;
    client.GetOwnRoom(&before);
    for (const u16 type : {kHandshake, kLoginResult, kRoomRemoved, kRoomDetail, kJoinAccepted, kRoomDetailPassword,
                           kMemberBlock, kRoomDetailAsked, kUserRemoved, kMemberBlockKick, kUserDetail, kLobbyChat,
                           kLineTestRequest}) {
        const u32 need = RequiredBytes(type, kStatusSuccess);
        ASSERT_GT(need, 0u);
        // Bytes that, read past the end, would name the own room and user.
        std::vector<u8> payload(need - 1, 0);
        if (payload.size() >= 4) PutLe32(payload.data(), 5);
        EXPECT_EQ(Deliver(type, kStatusSuccess, payload), 0) << type;
        EXPECT_EQ(LastEvent(), u32(kEventServerLost)) << type;
    }
    EXPECT_EQ(client.GetUserCount(), users);
    EXPECT_EQ(client.GetRoomCount(), rooms);
    EXPECT_EQ(client.GetScreen(), screen);
    LobbyRoomRecord after;
    client.GetOwnRoom(&after);
    EXPECT_EQ(std::memcmp(before.data, after.data, kRoomDataBytes), 0);
    EXPECT_EQ(peers.lineTests.load(), 0u);
    EXPECT_FALSE(PeerCalled("close-all"));
}

TEST_F(LobbyClientDispatch, HostileFieldsAndLengthsAreRefused)
{
    LogIn();
    ASSERT_EQ(Deliver(kUsersAdded, kStatusSuccess, UserEntryBytes(9, "nine")), 1);
    std::vector<u8> picture = UserDetailBytes(9, "nine", "", 1000, 10);   // 1000 claimed, 10 present
    EXPECT_EQ(Deliver(kUserDetail, kStatusSuccess, picture), 0);
    EXPECT_EQ(LastEvent(), u32(kEventServerLost));
    // A count past the entries is no hostile field: read past the reader
    // (room 3 is not listed).
    std::vector<u8> room = RoomDataBytes(3, {});
    PutLe16(room.data() + kMemberBlockAt, 40);
    EXPECT_EQ(Deliver(kRoomDetail, kStatusSuccess, room), 1);
    EXPECT_EQ(LastEvent(), u32(kEventRefused));
    std::vector<u8> huge(kMaxPayload + 1);
    EXPECT_EQ(client.Dispatch(kLobbyChat, kStatusSuccess, huge.data(), u32(huge.size())), 0);
    EXPECT_FALSE(Called("user-info 9 picture 1000"));
}

// A message of exactly the largest payload is taken (one byte more is not,
// above): the chat line at its start reaches the screens.
TEST_F(LobbyClientDispatch, LargestPayloadIsTaken)
{
    LogIn();
    std::vector<u8> line(kMaxPayload, 0);
    std::memcpy(line.data(), "ann", 3);
    ASSERT_EQ(Deliver(kLobbyChat, kStatusSuccess, line), 1);
    EXPECT_NE(LastEvent(), u32(kEventServerLost));
    std::lock_guard lock(screens.mutex);
    ASSERT_EQ(screens.chat.size(), 1u);
    EXPECT_EQ(screens.chat[0], "ann");
}

TEST_F(LobbyClientDispatch, UserEntriesAddUpdateAndSkipEmptyNames)
{
    LogIn();
    std::vector<u8> list;
    for (const auto& e : {UserEntryBytes(1, "one", 10), UserEntryBytes(2, "", 20), UserEntryBytes(kOwnId, "me", 30),
                          UserEntryBytes(1, "uno", 11)})
        list.insert(list.end(), e.begin(), e.end());
    list.resize(list.size() + 40, 0xFF);   // a partial entry is no entry
    ASSERT_EQ(Deliver(kUsersAdded, kStatusSuccess, list), 1);
    EXPECT_EQ(client.GetUserCount(), 2u);
    LobbyUserRecord user;
    ASSERT_TRUE(client.GetUser(1, &user));
    EXPECT_STREQ(user.Name(), "uno");
    EXPECT_EQ(user.ListNumber(), 11u);
    EXPECT_FALSE(client.GetUser(2, nullptr));
    EXPECT_EQ(client.GetPlayRecord(), 30u);   // the own entry's number
    ASSERT_EQ(Deliver(kUserRemoved, kStatusSuccess, {1, 0, 0, 0}), 1);
    EXPECT_FALSE(client.GetUser(1, nullptr));
    EXPECT_TRUE(client.GetUser(kOwnId, nullptr));   // the index follows the removal
}

TEST_F(LobbyClientDispatch, RoomEntriesFromTheTemplate)
{
    LogIn();
    std::vector<u8> entries(82, 0);
    PutLe32(entries.data(), 4);
    PutLe32(entries.data() + 41, 5);
    PutLe32(entries.data() + 41 + 25, 1);
    ASSERT_EQ(Deliver(kRoomsAdded, kStatusSuccess, entries), 1);
    LobbyRoomRecord room;
    ASSERT_TRUE(client.GetRoom(5, &room));
    EXPECT_EQ(room.State(), 1u);
    EXPECT_EQ(room.MemberLimit(), 4);
    EXPECT_EQ(room.data[308], 2);
    EXPECT_EQ(room.data[309], 13);
    EXPECT_EQ(client.GetPlayState(), 0u);   // not our room
}

// The lists stop at their caps: the entry that would go over is refused
// whole, a listed one still changes, a removal makes room again; removals
// keep every other id finding its own record.
TEST_F(LobbyClientDispatch, ListsStopAtTheirCapsAndRemoveInAnyOrder)
{
    LogIn();
    std::vector<u8> users, rooms;
    for (u32 id = 1; id <= CLobbyClient::kMaxUsers + 1; ++id) {
        const auto e = UserEntryBytes(id, "u" + std::to_string(id), id);
        users.insert(users.end(), e.begin(), e.end());
    }
    for (u32 id = 1; id <= CLobbyClient::kMaxRooms + 1; ++id) {
        const auto e = RoomEntryBytes(id);
        rooms.insert(rooms.end(), e.begin(), e.end());
    }
    ASSERT_EQ(Deliver(kUsersAdded, kStatusSuccess, users), 1);
    ASSERT_EQ(Deliver(kRoomsAdded, kStatusSuccess, rooms), 1);
    EXPECT_EQ(client.GetUserCount(), CLobbyClient::kMaxUsers);
    EXPECT_EQ(client.GetRoomCount(), CLobbyClient::kMaxRooms);
    EXPECT_TRUE(client.GetUser(CLobbyClient::kMaxUsers, nullptr));
    EXPECT_FALSE(client.GetUser(CLobbyClient::kMaxUsers + 1, nullptr));
    EXPECT_TRUE(client.GetRoom(CLobbyClient::kMaxRooms, nullptr));
    EXPECT_FALSE(client.GetRoom(CLobbyClient::kMaxRooms + 1, nullptr));
    // A listed user still changes at the cap.
    ASSERT_EQ(Deliver(kUsersChanged, kStatusSuccess, UserEntryBytes(5, "five", 55)), 1);
    LobbyUserRecord user;
    ASSERT_TRUE(client.GetUser(5, &user));
    EXPECT_STREQ(user.Name(), "five");
    EXPECT_EQ(user.ListNumber(), 55u);

    // First, middle and last go; every other id still reads its own record.
    for (u32 id : {1u, CLobbyClient::kMaxUsers / 2, CLobbyClient::kMaxUsers})
        ASSERT_EQ(Deliver(kUserRemoved, kStatusSuccess, {u8(id), u8(id >> 8), 0, 0}), 1);
    for (u32 id : {1u, CLobbyClient::kMaxRooms / 2, CLobbyClient::kMaxRooms})
        ASSERT_EQ(Deliver(kRoomRemoved, kStatusSuccess, {u8(id), u8(id >> 8), 0, 0}), 1);
    EXPECT_EQ(client.GetUserCount(), CLobbyClient::kMaxUsers - 3);
    EXPECT_EQ(client.GetRoomCount(), CLobbyClient::kMaxRooms - 3);
    for (u32 id = 1; id <= CLobbyClient::kMaxUsers; ++id) {
        const bool gone = id == 1 || id == CLobbyClient::kMaxUsers / 2 || id == CLobbyClient::kMaxUsers;
        ASSERT_EQ(client.GetUser(id, &user), !gone) << id;
        if (gone) continue;
        ASSERT_EQ(user.Id(), id);
        ASSERT_EQ(user.ListNumber(), id == 5 ? 55u : id);
    }
    LobbyRoomRecord room;
    for (u32 id = 1; id <= CLobbyClient::kMaxRooms; ++id) {
        const bool gone = id == 1 || id == CLobbyClient::kMaxRooms / 2 || id == CLobbyClient::kMaxRooms;
        ASSERT_EQ(client.GetRoom(id, &room), !gone) << id;
        if (!gone) {
            ASSERT_EQ(room.Id(), id);
        }
    }
    // Room again: the refused ones come in now.
    ASSERT_EQ(Deliver(kUsersAdded, kStatusSuccess, UserEntryBytes(CLobbyClient::kMaxUsers + 1, "late")), 1);
    EXPECT_TRUE(client.GetUser(CLobbyClient::kMaxUsers + 1, nullptr));
    EXPECT_EQ(client.GetUserCount(), CLobbyClient::kMaxUsers - 2);
}

TEST_F(LobbyClientDispatch, RoomDetailsByMembership)
{
    LogIn();
    EXPECT_EQ(Deliver(kRoomDetailAsked, kStatusFailure, {}), 1);
    EXPECT_EQ(LastEvent(), u32(kEventRefused));
    EXPECT_EQ(Deliver(kRoomDetailAsked, kStatusSuccess, RoomDataBytes(8, {1})), 1);   // not listed
    EXPECT_EQ(LastEvent(), u32(kEventRefused));
    ASSERT_EQ(Deliver(kRoomsAdded, kStatusSuccess, RoomEntryBytes(8)), 1);
    ASSERT_EQ(Deliver(kRoomDetailAsked, kStatusSuccess, RoomDataBytes(8, {1, 2})), 1);
    EXPECT_TRUE(Called("room-info 8"));
    EXPECT_EQ(LastEvent(), u32(kEventDone));
    ASSERT_EQ(Deliver(kRoomDetail, kStatusSuccess, RoomDataBytes(8, {1, 2, 3})), 1);
    EXPECT_FALSE(Called("room-create-message 1004 814"));
}

TEST_F(LobbyClientDispatch, JoinAcceptedConnectsToTheHost)
{
    LogIn();
    EnterRoom(5, false);
    EXPECT_TRUE(Called("room-joined-through-server"));
    ASSERT_TRUE(WaitCall(peers.mutex, peers.calls, "connect 127.0.0.9:18001"));
    for (int i = 0; i < 2000 && client.GetScreen() != 4; ++i) usleep(5000);
    EXPECT_EQ(client.GetScreen(), 4u);
    EXPECT_TRUE(Called("room-reset"));
    // A room detail for the own room goes to the room creation window.
    ASSERT_EQ(Deliver(kRoomDetail, kStatusSuccess, RoomDataBytes(5, {99, kOwnId})), 1);
    EXPECT_TRUE(Called("room-create-message 1004 814"));
}

i32 KeepMessage(void*, CNetClient*, const u8*, i32, u32) { return 1; }
void NoteLeaving(void*, CNetClient*) {}

// The client goes while its join connects: the worker took the peer
// callbacks under the client lock that Destroy clears them under. Nothing
// here orders the two threads but that lock (no wait on the double's
// counters or calls), so a thread checker sees a read outside it.
TEST_F(LobbyClientDispatch, DestroyWhileJoiningMeetsTheCallbacksUnderTheLock)
{
    ASSERT_EQ(client.SetMessageCallback(&KeepMessage, this), 1);
    ASSERT_EQ(client.SetDisconnectCallback(&NoteLeaving, this), 1);
    peers.hold = true;
    LogIn();
    ASSERT_EQ(Deliver(kRoomsAdded, kStatusSuccess, RoomEntryBytes(5)), 1);
    std::vector<u8> join = RoomDataBytes(5, {99, kOwnId});
    join.resize(kJoinBytes);
    PutLe32(join.data() + 814, host::net::MakeAddress(127, 0, 0, 9));
    PutLe32(join.data() + 818, 18001);
    ASSERT_EQ(Deliver(kJoinAccepted, kStatusSuccess, join), 1);
    usleep(200 * 1000);   // the worker is in its connect, held
    // Let go well after Destroy has cleared the callbacks: it joins the worker.
    std::thread release([&] {
        usleep(300 * 1000);
        peers.release = true;
    });
    client.Destroy();
    release.join();
    EXPECT_EQ(peers.joins.load(), 1u);
    EXPECT_EQ(peers.joinMessage.load(), &KeepMessage);
    EXPECT_EQ(peers.joinDisconnect.load(), &NoteLeaving);
}

TEST_F(LobbyClientDispatch, JoinFailingInTheLobbyPostsTen)
{
    peers.connectResult = 0;
    LogIn();
    EnterRoom(5, false);
    for (int i = 0; i < 2000 && LastEvent() != kEventJoinFailed; ++i) usleep(5000);
    EXPECT_EQ(LastEvent(), u32(kEventJoinFailed));
    EXPECT_EQ(client.GetScreen(), 3u);
}

TEST_F(LobbyClientDispatch, MemberBlocksAndKicks)
{
    LogIn();
    EnterRoom(5, false);
    std::vector<u8> block(kMemberBlockBytes, 0);
    PutLe16(block.data(), 3);
    PutLe32(block.data() + 2, 99);
    PutLe32(block.data() + 43, kOwnId);
    PutLe32(block.data() + 84, 12);
    ASSERT_EQ(Deliver(kMemberBlock, kStatusSuccess, block), 1);
    LobbyRoomRecord listed;
    ASSERT_TRUE(client.GetRoom(5, &listed));
    EXPECT_EQ(listed.MemberCount(), 3);
    EXPECT_TRUE(listed.HasMember(12));
    EXPECT_FALSE(PeerCalled("close-all"));
    PutLe16(block.data(), 2);
    PutLe32(block.data() + 43, 12);   // we were kicked
    ASSERT_EQ(Deliver(kMemberBlockKick, kStatusSuccess, block), 1);
    EXPECT_TRUE(PeerCalled("close-all"));
    EXPECT_EQ(client.GetScreen(), 3u);
}

// More members than the windows show: the server connection goes on, the
// window opens, and a member in the record's last entry is still one.
TEST_F(LobbyClientDispatch, MemberCountsPastTheWindowsKeepTheServer)
{
    LogIn();
    ASSERT_EQ(Deliver(kRoomsAdded, kStatusSuccess, RoomEntryBytes(8)), 1);
    std::vector<u8> room = RoomDataBytes(8, {1});
    PutLe16(room.data() + kMemberBlockAt, 40);
    ASSERT_EQ(Deliver(kRoomDetailAsked, kStatusSuccess, room), 1);
    EXPECT_TRUE(Called("room-info 8"));
    EXPECT_EQ(LastEvent(), u32(kEventDone));
    LobbyRoomRecord listed;
    ASSERT_TRUE(client.GetRoom(8, &listed));
    EXPECT_EQ(listed.MemberCount(), 40);

    EnterRoom(5, false);
    const struct {
        i16 count;
        bool kept;
    } cases[] = {{9, true}, {40, true}, {8, false}};   // own entry: the eighth member's
    for (const auto& c : cases) {
        std::vector<u8> block(kMemberBlockBytes, 0);
        PutLe16(block.data(), u16(c.count));
        PutLe32(block.data() + 2, 99);
        PutLe32(block.data() + (kMemberEntriesAt - kMemberBlockAt) + (kRecordMembers - 1) * kEntryBytes, kOwnId);
        ASSERT_EQ(Deliver(kMemberBlockKick, kStatusSuccess, block), 1) << c.count;
        EXPECT_NE(LastEvent(), u32(kEventServerLost)) << c.count;
        EXPECT_EQ(PeerCalled("close-all"), !c.kept) << c.count;
        EXPECT_EQ(client.GetScreen(), c.kept ? 4u : 3u) << c.count;
    }
}

TEST_F(LobbyClientDispatch, OwnRoomRemovedEndsPlay)
{
    LogIn();
    EnterRoom(5, true);
    ASSERT_EQ(Deliver(kRoomsChanged, kStatusSuccess, RoomEntryBytes(5, 1)), 1);
    EXPECT_EQ(client.GetPlayState(), 1u);   // the own room's state
    ASSERT_EQ(Deliver(kRoomRemoved, kStatusSuccess, {5, 0, 0, 0}), 1);
    EXPECT_EQ(client.GetPlayState(), 0u);
    EXPECT_EQ(client.GetScreen(), 3u);
    EXPECT_TRUE(PeerCalled("close-all"));
    EXPECT_FALSE(client.GetRoom(5, nullptr));
}

TEST_F(LobbyClientDispatch, UserDetailOpensTheWindow)
{
    LogIn();
    EXPECT_EQ(Deliver(kUserDetail, kStatusSuccess, UserDetailBytes(9, "x", "", 0)), 1);   // not listed
    EXPECT_EQ(LastEvent(), u32(kEventRefused));
    ASSERT_EQ(Deliver(kUsersAdded, kStatusSuccess, UserEntryBytes(9, "nine")), 1);
    // A picture whose header says nothing is kept undecoded; the detail
    // still opens.
    ASSERT_EQ(Deliver(kUserDetail, kStatusSuccess, UserDetailBytes(9, "nine", "profile", 5, 5)), 1);
    EXPECT_TRUE(Called("user-info 9 picture 5"));
    std::vector<u8> tga(18 + 3, 0);   // a 1x1 targa
    tga[2] = 2;
    tga[12] = tga[14] = 1;
    tga[16] = 24;
    std::vector<u8> withPicture = UserDetailBytes(9, "nine", "profile", i32(tga.size()));
    withPicture.insert(withPicture.end(), tga.begin(), tga.end());
    ASSERT_EQ(Deliver(kUserDetail, kStatusSuccess, withPicture), 1);
    EXPECT_TRUE(Called("user-info 9 picture 21"));
    client.SetScreen(4);
    client.SetRoomHost(true, 0);
    // Length 0 and negative keep the picture.
    ASSERT_EQ(Deliver(kUserDetail, kStatusSuccess, UserDetailBytes(9, "nine", "profile", 0)), 1);
    EXPECT_TRUE(Called("user-info 9 kick picture 21"));
    ASSERT_EQ(Deliver(kUserDetail, kStatusSuccess, UserDetailBytes(9, "nine", "profile", -1, 4)), 1);
    EXPECT_EQ(LastEvent(), u32(kEventDone));
}

TEST_F(LobbyClientDispatch, ChatKeepAliveAndUnlistedTypes)
{
    LogIn();
    std::vector<u8> line(kChatLineBytes, 'z');   // no terminator at all
    ASSERT_EQ(Deliver(kLobbyChat, kStatusSuccess, line), 1);
    {
        std::lock_guard lock(screens.mutex);
        ASSERT_EQ(screens.chat.size(), 1u);
        // The speaker is terminated inside its own field.
        EXPECT_EQ(screens.chat[0], std::string(kChatSpeakerBytes - 1, 'z'));
    }
    // Without a connection the answer fails quietly; the dispatch goes on.
    EXPECT_EQ(Deliver(kKeepAlive, kStatusSuccess, {}), 1);
    const size_t calls = screens.calls.size();
    for (const u16 type : {1017, 1018, 1019, 1021, 1022, 0, 65535}) EXPECT_EQ(Deliver(type, 1, {1, 2, 3}), 1);
    EXPECT_EQ(screens.calls.size(), calls);
}

TEST_F(LobbyClientDispatch, LineTestRequestRunsTheTester)
{
    LogIn();
    ASSERT_EQ(Deliver(kLineTestRequest, kStatusSuccess, {127, 0, 0, 3, 0x9C, 0x3C, 0, 0}), 1);
    ASSERT_TRUE(WaitCall(peers.mutex, peers.calls, "line-test 127.0.0.3 1000 100"));
    for (int i = 0; i < 2000 && LastEvent() != kEventLineTestDone; ++i) usleep(5000);
    EXPECT_EQ(LastEvent(), u32(kEventLineTestDone));
    EXPECT_EQ(client.GetLineTestResults().datagramsCounted, 99u);
}

// One worker at a time: a line test asked for during a join is refused at
// once (event 18), the join goes on and is joined by Destroy.
TEST_F(LobbyClientDispatch, SecondWorkerIsRefusedWhileOneRuns)
{
    peers.hold = true;
    LogIn();
    EnterRoom(5, false);
    ASSERT_TRUE(WaitCall(peers.mutex, peers.calls, "connect 127.0.0.9:18001"));
    ASSERT_EQ(Deliver(kLineTestRequest, kStatusSuccess, {127, 0, 0, 3, 0, 0, 0, 0}), 1);
    EXPECT_EQ(LastEvent(), u32(kEventLineTestDone));
    EXPECT_EQ(peers.lineTests.load(), 0u);
    std::thread releaser([&] {
        usleep(100000);
        peers.release = true;
    });
    client.Destroy();   // waits for the held join
    releaser.join();
    EXPECT_EQ(peers.joins.load(), 1u);
}

TEST_F(LobbyClientDispatch, PlayStateAndResults)
{
    client.SetRoomHost(true, 0);
    client.SetPlayState(0);
    EXPECT_FALSE(PeerCalled("start-listening"));   // not under the caller's locks
    EXPECT_TRUE(Called("room-broadcast-members"));
    client.Update();
    EXPECT_TRUE(PeerCalled("start-listening"));
    client.SetPlayStateAndNotify(1);
    // Under the client lock: the stop must not wait for the accept thread.
    EXPECT_TRUE(PeerCalled("stop-listening-later"));
    EXPECT_FALSE(PeerCalled("stop-listening"));
    EXPECT_EQ(client.GetPlayState(), 1u);
    // No server: the result reaches the room but the send reports 0.
    EXPECT_EQ(client.ReportBattleResult(2), 0);
    EXPECT_TRUE(Called("room-add-result 2"));
    client.SetRoomHost(false, 1);
    EXPECT_EQ(client.ReportBattleResult(1), 0);
    EXPECT_TRUE(PeerCalled("broadcast 1016 4"));
}

TEST_F(LobbyClientDispatch, PortMappingWithAndWithoutAGateway)
{
    EXPECT_EQ(client.MapPort(18000), 1);   // no gateway: play goes on
    EXPECT_TRUE(PeerCalled("drop-mapper"));
    peers.discover = 1;
    EXPECT_EQ(client.MapPort(18000), 1);
    EXPECT_TRUE(PeerCalled("map 18000 TCP tag118000TCP"));
    EXPECT_TRUE(PeerCalled("map 18000 UDP tag118000UDP"));
}

TEST_F(LobbyClientDispatch, UpdateServesOneLayerAndDrawStacksThem)
{
    client.Update();
    client.PostEvent(kEventConnecting);
    client.Update();
    {
        std::lock_guard lock(screens.mutex);
        EXPECT_EQ(screens.updates[u32(LobbyLayer::kEntrance)], 1u);
        EXPECT_EQ(screens.updates[u32(LobbyLayer::kMessage)], 1u);
        screens.open[u32(LobbyLayer::kRoomInformation) - u32(LobbyLayer::kMessage)] = true;
    }
    EXPECT_EQ(client.Draw(), 1);
    EXPECT_TRUE(Called("draw 7"));
    EXPECT_TRUE(Called("draw 5"));
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
