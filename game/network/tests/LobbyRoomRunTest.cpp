// Two players on loopback: one hosts a direct room, the other joins it
// (1025-1027), they chat through the host, the guest leaves; a denied
// player is refused. The peer messages reach the clients as the network
// scene routes them.
#include "game/network/LobbyRoom.h"
#include "game/network/NetHost.h"
#include "game/network/RoomMembers.h"
#include "game/network/tests/LobbyScreensRun.h"

#include <cstring>
#include <mutex>

namespace ORV_TEST_FILE_ID {

using namespace lobby_run;

class LobbyRoomRun : public LobbyRun {
protected:
    void SetUp() override
    {
        LobbyRun::SetUp();
        for (u8 k : {1, 2}) {
            RoutePeers(AddPlayer(k, 1, "127.0.0.1", 9, kPeerPort, true).client);
        }
    }
    Player& Host() { return *players[0]; }
    Player& Guest() { return *players[1]; }
    CLobbyRoomScene* Room(Player& p) { return p.Screen<CLobbyRoomScene>(LobbyLayer::kRoom); }
    u32 Count(Player& p)
    {
        std::lock_guard<std::mutex> lock(SceneLock());
        return room::MemberCount(*p.Context().state.members);
    }
    u32 ChatLines(Player& p)
    {
        std::lock_guard<std::mutex> lock(SceneLock());
        return p.Context().roomChat.count;
    }

    void HostRoom()
    {
        // As the connect option screen hosts.
        ASSERT_EQ(Host().client.StartHostListener(), 1);
        Host().client.SetScreen(u32(LobbyLayer::kRoom));
        Room(Host())->BecomeHost("host", nullptr);
        Focus(Host());
        ASSERT_TRUE(FramesUntil([&] { return Count(Host()) == 1; }));
        ASSERT_TRUE(Room(Host())->OwnPeerId()[0]);
    }
    void Join()
    {
        Focus(Guest());
        Guest().client.SetJoinTarget(net_test::Loopback(1), kPeerPort);
        Guest().client.StartJoin();
    }
};

TEST_F(LobbyRoomRun, MemberJoinsChatsAndLeaves)
{
    HostRoom();
    Join();
    // The host's table can reach the guest before its join work, on a
    // thread of its own, has moved it to the room screen.
    ASSERT_TRUE(FramesUntil([&] {
        return Count(Host()) == 2 && Count(Guest()) == 2 && Guest().client.GetScreen() == u32(LobbyLayer::kRoom);
    }));
    // The guest found itself in the host's table (1026 in, 1027 out).
    EXPECT_EQ(Guest().client.GetOwnMemberIndex(), 1);
    {
        std::lock_guard<std::mutex> lock(SceneLock());
        EXPECT_STREQ(Room(Guest())->HostPeerId(), Room(Host())->OwnPeerId());
        EXPECT_STREQ(Guest().Context().state.members->members[1].peerId, Room(Guest())->OwnPeerId());
    }

    char line[lobby_scene::kChatLineBytes] = {};
    std::strcpy(line, "guest");
    std::strcpy(line + lobby_scene::kSpeakerBytes, "hello room");
    ASSERT_EQ(Guest().client.SendRoomChat(reinterpret_cast<const u8*>(line), sizeof line), 1);
    ASSERT_TRUE(FramesUntil([&] {
        return ChatLines(Host()) == 1 && ChatLines(Guest()) == 1;
    }));
    {
        std::lock_guard<std::mutex> lock(SceneLock());
        EXPECT_STREQ(Guest().Context().roomChat.Text(0), "hello room");   // back through the host's relay
    }

    Guest().client.GetNetHost()->RequestCloseAll();
    Guest().client.SetScreen(u32(LobbyLayer::kConnectOptions));
    Focus(Host());
    EXPECT_TRUE(FramesUntil([&] { return Count(Host()) == 1; }));
}

// Two guests, the first leaves: the host's table and the one the other
// guest is sent both hold the host and that guest, moved up to entry 1.
TEST_F(LobbyRoomRun, OneOfTwoGuestsLeavesAndTheOtherIsMovedUp)
{
    HostRoom();
    Join();
    ASSERT_TRUE(FramesUntil([&] { return Count(Host()) == 2 && Count(Guest()) == 2; }));
    Player& second = AddPlayer(3, 1, "127.0.0.1", 9, kPeerPort, true);
    RoutePeers(second.client);
    Focus(second);
    second.client.SetJoinTarget(net_test::Loopback(1), kPeerPort);
    second.client.StartJoin();
    ASSERT_TRUE(FramesUntil([&] { return Count(Host()) == 3 && Count(Guest()) == 3 && Count(second) == 3; }));
    EXPECT_EQ(second.client.GetOwnMemberIndex(), 2);

    Guest().client.GetNetHost()->RequestCloseAll();
    Guest().client.SetScreen(u32(LobbyLayer::kConnectOptions));
    Focus(second);
    ASSERT_TRUE(FramesUntil([&] { return Count(Host()) == 2 && Count(second) == 2; }));
    EXPECT_EQ(second.client.GetOwnMemberIndex(), 1);
    std::lock_guard<std::mutex> lock(SceneLock());
    for (Player* p : {&Host(), &second}) {
        const RoomMemberTable& table = *p->Context().state.members;
        EXPECT_STREQ(table.members[0].peerId, Room(Host())->OwnPeerId());
        EXPECT_STREQ(table.members[1].peerId, Room(second)->OwnPeerId());
        EXPECT_STREQ(table.members[2].peerId, "");
    }
}

TEST_F(LobbyRoomRun, DeniedPlayerGetsRefusedAndMessageTen)
{
    Host().Context().denyList.push_back(IpAddressEntry{{"*", "*", "*", "*"}});
    HostRoom();
    Join();
    // Read under the client lock (a locked accessor first) once the join ends.
    ASSERT_TRUE(FramesUntil([&] { return Guest().client.GetScreen() == u32(LobbyLayer::kConnectOptions); }));
    for (int i = 0; i < 60; ++i) game.Frame(), usleep(1000);   // the join worker has had its say
    EXPECT_EQ(Guest().client.GetScreen(), u32(LobbyLayer::kConnectOptions));
    EXPECT_TRUE(Guest().Message().IsCode(CLobbyRoomScene::kJoinRefused));
    EXPECT_EQ(Count(Host()), 1u);
}

}  // namespace ORV_TEST_FILE_ID
