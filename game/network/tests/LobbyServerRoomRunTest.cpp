// A room through the test lobby server, driven by the keys as a player
// would: one player opens room creation from the lobby menu, names the room
// and sends it (1002); the server's 1004 makes him its host. A second player
// asks for the room (1009), enters it (1005) and joins the host's peer
// session (1025-1027). The host then kicks him from the user information
// window (1014) or changes the room's settings (1004).
#include "engine/platform/app/ImeInput.h"
#include "game/network/LobbyMain.h"
#include "game/network/LobbyRoom.h"
#include "game/network/LobbyRoomCreate.h"
#include "game/network/LobbyRoomInformation.h"
#include "game/network/LobbyUserInformation.h"
#include "game/network/NetHost.h"
#include "game/network/tests/LobbyPlayer.h"
#include "game/network/tests/LobbyScreensRun.h"

#include <cstring>
#include <mutex>
#include <string>

namespace lobby_server_room_run_test {

namespace ORV_TEST_FILE_ID {

using namespace lobby_run;

class LobbyServerRoom : public LobbyRun {
protected:
    void SetUp() override
    {
        LobbyRun::SetUp();
        ASSERT_TRUE(server.Start(lobby_test::kAccounts));
        for (u8 k : {1, 2}) RoutePeers(AddPlayer(k, 2, "127.0.0.1", server.Port(), kPeerPort, true).client);
    }
    Player& Host() { return *players[0]; }
    Player& Guest() { return *players[1]; }
    CLobbyRoomScene& Room(Player& p) { return *p.Screen<CLobbyRoomScene>(LobbyLayer::kRoom); }
    // A press and a frame without it, so the next press triggers again.
    void Tap(u32 code)
    {
        Press(code);
        game.Frame();
    }
    void LogIn(Player& p, const char* login)
    {
        Focus(p);
        p.client.SetLobbyId(login);
        ASSERT_TRUE(FramesUntil([&] { return p.client.GetScreen() == u32(LobbyLayer::kLogin); }));
        p.client.SendLogin();
        ASSERT_TRUE(FramesUntil([&] {
            return p.client.GetScreen() == u32(LobbyLayer::kLobby) && !p.MessagePending();
        }));
    }
    // A window's open flag, read under its player's client lock (the
    // receive thread opens and closes windows under it).
    template <class Window>
    bool Opened(Player& p, Window* window)
    {
        return p.Locked([&] { return window->IsOpen(); });
    }
    // The member names of a player's table, through the client's locked
    // accessors (the join worker resets the table under that lock).
    std::vector<std::string> Names(Player& p)
    {
        std::vector<std::string> names;
        char name[32];
        for (u32 i = 0; i < p.client.GetMemberCount(); ++i)
            if (p.client.GetMemberName(i, name, sizeof name)) names.push_back(name);
        return names;
    }

    // The host's steps: menu, "new room", the name, confirm.
    void CreateRoom(const char* name)
    {
        LogIn(Host(), "alice");
        Tap(menu::kStart);
        ASSERT_TRUE(Host().Message().IsCode(CLobbyMainScene::kLobbyMenu));
        Tap(menu::kDecide);   // the first option: a new room
        auto* create = Host().Screen<CLobbyRoomCreate>(LobbyLayer::kRoomCreate);
        ASSERT_TRUE(Opened(Host(), create));
        ASSERT_EQ(create->GetCursor(), i32(CLobbyRoomCreate::kName));
        Type(Host(), name);
        game.Frames(2);   // Enter stores what was typed before its frame
        Enter();
        ASSERT_STREQ(create->GetSettings().name, name);
        Tap(menu::kUp);   // the name wraps to the confirm button
        ASSERT_EQ(create->GetCursor(), i32(CLobbyRoomCreate::kConfirm));
        Tap(menu::kDecide);
        ASSERT_TRUE(server.WaitLog("message 1002 794"));
        ASSERT_TRUE(FramesUntil([&] { return Host().client.GetScreen() == u32(LobbyLayer::kRoom); }));
    }
    // The guest's steps: the room's detail from the lobby list, then "enter".
    void EnterRoom()
    {
        LogIn(Guest(), "bob");
        ASSERT_TRUE(FramesUntil([&] { return Guest().client.GetRoomCount() == 1; }));
        Tap(menu::kDecide);   // the room list's first room
        auto* information = Guest().Screen<CLobbyRoomInformation>(LobbyLayer::kRoomInformation);
        ASSERT_TRUE(FramesUntil([&] { return Opened(Guest(), information); }));
        Tap(menu::kUp);   // from "no action" to "enter"
        ASSERT_EQ(information->GetCursor(), i32(CLobbyRoomInformation::kEnterRoom));
        Tap(menu::kDecide);
        ASSERT_TRUE(server.WaitLog("message 1005 45"));
        ASSERT_TRUE(FramesUntil([&] { return Names(Host()).size() == 2 && Names(Guest()).size() == 2; }));
    }

    lobby_test::LobbyServerProcess server;
};

TEST_F(LobbyServerRoom, CreatedRoomIsHostedAndEnteredThroughTheServer)
{
    CreateRoom("Arena");
    {
        std::lock_guard<std::mutex> lock(SceneLock());
        EXPECT_EQ(Room(Host()).GetLobbyMode(), 1u);
        EXPECT_NE(Room(Host()).OwnPeerId()[0], 0);
        EXPECT_STREQ(Room(Host()).HostPeerId(), Room(Host()).OwnPeerId());
    }
    EXPECT_EQ(Names(Host()), (std::vector<std::string>{"Alice"}));
    EXPECT_EQ(Host().client.IsRoomHost(), 1);
    EXPECT_FALSE(Opened(Host(), Host().Screen<CLobbyRoomCreate>(LobbyLayer::kRoomCreate)));
    EXPECT_FALSE(Host().screens->MessagePending());
    EXPECT_EQ(Host().client.GetNetHost()->GetListenPort(), kPeerPort);
    lobby::LobbyRoomRecord own;
    ASSERT_TRUE(Host().client.GetOwnRoom(&own));
    EXPECT_STREQ(reinterpret_cast<const char*>(own.data + lobby::kRoomNameAt), "Arena");

    EnterRoom();
    EXPECT_TRUE(server.WaitLog("message 1009 4"));
    EXPECT_EQ(Names(Host()), (std::vector<std::string>{"Alice", "Bob"}));
    EXPECT_EQ(Names(Guest()), (std::vector<std::string>{"Alice", "Bob"}));
    ASSERT_TRUE(FramesUntil([&] { return Guest().client.GetScreen() == u32(LobbyLayer::kRoom); }));
    EXPECT_EQ(Guest().client.GetOwnMemberIndex(), 1);
    EXPECT_EQ(Guest().client.IsRoomHost(), 0);
    std::lock_guard<std::mutex> lock(SceneLock());
    EXPECT_EQ(Room(Guest()).GetLobbyMode(), 1u);
    EXPECT_STREQ(Room(Guest()).HostPeerId(), Room(Host()).OwnPeerId());
}

// A room the server made but whose port another program holds: the host
// gives it up and his notice says which port could not be had.
TEST_F(LobbyServerRoom, ARoomWhosePortIsTakenIsGivenUpNamingThePort)
{
    host::net::Net& net = *Host().net;
    const host::net::Socket holder = net.Open(host::net::Type::Stream);
    ASSERT_NE(holder, host::net::kNoSocket);
    ASSERT_EQ(net.Bind(holder, {host::net::kAnyAddress, kPeerPort}), host::net::Error::None);
    ASSERT_EQ(net.Listen(holder, 4), host::net::Error::None);
    LogIn(Host(), "alice");
    Tap(menu::kStart);
    Tap(menu::kDecide);   // a new room
    Type(Host(), "Arena");
    game.Frames(2);
    Enter();
    Tap(menu::kUp);
    Tap(menu::kDecide);
    ASSERT_TRUE(server.WaitLog("message 1002 794"));
    ASSERT_TRUE(FramesUntil([&] { return Host().MessageCode() == CLobbyRoomCreate::kFailedCode; }));
    const std::string detail = Host().Locked([&] { return Host().Message().GetDetail(); });
    EXPECT_NE(detail.find("port " + std::to_string(kPeerPort)), std::string::npos) << detail;
    EXPECT_NE(Host().client.GetScreen(), u32(LobbyLayer::kRoom));
    net.Close(holder);
}

// The host picks the guest in the member list, asks for his detail (1015)
// and kicks him: "yes" on message 20 sends 1014 with his user id.
TEST_F(LobbyServerRoom, HostKicksAMemberFromTheUserInformation)
{
    CreateRoom("Arena");
    EnterRoom();
    // The guest is typing in the room chat when he is kicked.
    Focus(Guest());
    Tap(menu::kRight);
    CImeInput* ime = Guest().client.GetImeInput();
    ASSERT_TRUE(ime->IsEnabled());
    Type(Guest(), "half");
    Focus(Host());
    Tap(menu::kDown);   // the member list: the guest's row
    Tap(menu::kDecide);
    ASSERT_TRUE(server.WaitLog("message 1015 4"));
    auto* user = Host().Screen<CLobbyUserInformation>(LobbyLayer::kUserInformation);
    ASSERT_TRUE(FramesUntil([&] { return Opened(Host(), user); }));
    EXPECT_EQ(user->UserId(), 2u);
    Tap(menu::kDown);   // onto the kick button
    ASSERT_TRUE(user->KickSelected());
    Tap(menu::kDecide);
    ASSERT_TRUE(Host().Message().IsCode(lobby_screen::kUserKickMessage));
    Tap(menu::kLeft);   // onto yes
    Tap(menu::kDecide);
    EXPECT_TRUE(server.WaitLog("kick 2"));
    EXPECT_FALSE(Opened(Host(), user));
    // The server drops him from the room; he goes back to the lobby and the
    // host's table loses him when his connection ends.
    EXPECT_TRUE(FramesUntil([&] {
        return Guest().client.GetScreen() == u32(LobbyLayer::kLobby) && Names(Host()).size() == 1;
    }));
    // His room is gone with its table: a room he enters next starts empty.
    EXPECT_TRUE(Names(Guest()).empty());
    // And with his line: the lobby's keys are his again.
    Focus(Guest());
    game.Frame();
    EXPECT_FALSE(ime->IsEnabled());
    EXPECT_EQ(ime->GetTotalLength(), 0u);
}

// The host menu's room settings: the window in edit mode over the room; the
// changed level range goes out as 1004 and the server's answer closes it.
TEST_F(LobbyServerRoom, HostChangesTheRoomSettings)
{
    CreateRoom("Arena");
    Tap(menu::kStart);
    ASSERT_TRUE(Host().Message().IsCode(CLobbyRoomScene::kHostMenu));
    Tap(menu::kDown);   // "room settings"
    Tap(menu::kDecide);
    auto* create = Host().Screen<CLobbyRoomCreate>(LobbyLayer::kRoomCreate);
    ASSERT_TRUE(Opened(Host(), create));
    ASSERT_EQ(create->GetMode(), u32(CLobbyRoomCreate::kExistingRoom));
    Tap(menu::kLeft);   // 13 back to the first range admitting 12: "80mima"
    EXPECT_EQ(create->GetSettings().levelRange, 8);
    Tap(menu::kUp);   // past the fixed name to the confirm button
    Tap(menu::kDecide);
    ASSERT_TRUE(server.WaitLog("message 1004 402"));
    ASSERT_TRUE(FramesUntil([&] { return !Opened(Host(), create); }));
    lobby::LobbyRoomRecord own;
    ASSERT_TRUE(Host().client.GetOwnRoom(&own));
    EXPECT_EQ(own.data[lobby::kLevelRangeAt], 8);
    EXPECT_EQ(Host().client.GetScreen(), u32(LobbyLayer::kRoom));
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace lobby_server_room_run_test
