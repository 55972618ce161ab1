// Every lobby request a player can make once the server has gone: the send
// fails, and whatever the screen put up to wait for the answer must give way
// to the lost-server notice (event 8), or the player waits for ever. One
// table over the requests, each driven by the keys on the real screens,
// through the test lobby server on loopback until it is stopped.
#include "game/network/LobbyLogin.h"
#include "game/network/LobbyMain.h"
#include "game/network/LobbyMessage.h"
#include "game/network/LobbyRoom.h"
#include "game/network/LobbyRoomCreate.h"
#include "game/network/LobbyRoomInformation.h"
#include "game/network/tests/LobbyPlayer.h"
#include "game/network/tests/LobbyScreensRun.h"

#include <cstring>
#include <ostream>
#include <string>

namespace lobby_lost_server_run_test {

namespace ORV_TEST_FILE_ID {

using namespace lobby_run;
using namespace lobby_screen;

constexpr u32 kNoWait = ~0u;
// The room the player asks about: listed by the server, open (no password).
constexpr u32 kOpenRoom = 7;
// A listed room behind a password.
constexpr u32 kLockedRoom = 8;

class LostServerRun;

// One request: where the player stands before the server goes, the keys that
// send the request after, the waiting message the screen puts up for it
// (kNoWait: none), and the message 1xxx the server logs for it while it is up.
struct LostRequest {
    const char* name;
    void (LostServerRun::*reach)();
    void (LostServerRun::*ask)();
    u32 waiting;
    const char* logged;
};

inline void PrintTo(const LostRequest& request, std::ostream* out) { *out << request.name; }

class LostServerRun : public LobbyRun, public ::testing::WithParamInterface<LostRequest> {
public:
    // The player at the login screen, the login button chosen.
    void AtLogin()
    {
        Player& p = Start(1, "alice");
        ASSERT_TRUE(Idle(p, LobbyLayer::kLogin));
        Tap(menu::kDown);
        Tap(menu::kDown);
    }
    void LogInAlice() { LogIn(Start(1, "alice")); }
    // Logged in, the two rooms listed: the open one first.
    void InTheLobby()
    {
        LogInAlice();
        Player& p = Me();
        Add(p, lobby::kRoomsAdded, Room(kOpenRoom, false));
        Add(p, lobby::kRoomsAdded, Room(kLockedRoom, true));
        ASSERT_EQ(p.client.GetRoomCount(), 2u);
    }
    // Host of a room made through the server (1002, answered by 1004).
    void HostingARoom()
    {
        LogInAlice();
        Tap(menu::kStart);
        ASSERT_TRUE(Me().Message().IsCode(CLobbyMainScene::kLobbyMenu));
        Tap(menu::kDecide);
        NameAndConfirm("Arena");
        ASSERT_TRUE(FramesUntil([&] { return Idle(Me(), LobbyLayer::kRoom); }));
        ASSERT_EQ(Me().client.IsRoomHost(), 1);
    }
    // A second player in the lobby with another's room's detail open.
    void ReadingARoom()
    {
        HostingARoom();
        Player& guest = Start(2, "bob");
        Focus(guest);
        LogIn(guest);
        ASSERT_TRUE(FramesUntil([&] { return guest.client.GetRoomCount() == 1; }));
        Tap(menu::kDecide);
        auto* information = guest.Screen<CLobbyRoomInformation>(LobbyLayer::kRoomInformation);
        ASSERT_TRUE(FramesUntil([&] { return guest.Locked([&] { return information->IsOpen(); }); }));
        ASSERT_TRUE(Idle(guest, LobbyLayer::kLobby));
    }

    void Decide() { Tap(menu::kDecide); }
    void AskForAUser()
    {
        Tap(menu::kLeft);   // the rooms wrap to the users
        Decide();
    }
    void EnterThePassword()
    {
        Tap(menu::kDown);   // the locked room
        Decide();
        ASSERT_TRUE(Me().Message().IsCode(CLobbyMainScene::kPasswordEntry));
        Type(Me(), "pw");
        game.Frames(2);
        Enter();
    }
    void MakeARoom()
    {
        Tap(menu::kStart);
        ASSERT_TRUE(Me().Message().IsCode(CLobbyMainScene::kLobbyMenu));
        Tap(menu::kDecide);   // the first option: a new room
        NameAndConfirm("Arena");
    }
    void EnterTheRoom()
    {
        Tap(menu::kUp);   // from "no action"
        Decide();
    }
    void TestTheLine()
    {
        Tap(menu::kUp);
        Tap(menu::kUp);
        Decide();
    }

protected:
    Player& Me() { return *players.back(); }
    Player& Start(u8 k, const char* login)
    {
        if (players.empty()) {
            EXPECT_TRUE(server.Start(lobby_test::kAccounts));
        }
        Player& p = AddPlayer(k, 2, "127.0.0.1", server.Port(), kPeerPort, true);
        RoutePeers(p.client);
        p.client.SetLobbyId(login);
        return p;
    }
    bool Idle(Player& p, LobbyLayer screen)
    {
        return FramesUntil([&] { return p.client.GetScreen() == u32(screen) && !p.MessagePending(); });
    }
    void LogIn(Player& p)
    {
        ASSERT_TRUE(Idle(p, LobbyLayer::kLogin));
        p.client.SendLogin();
        ASSERT_TRUE(Idle(p, LobbyLayer::kLobby));
        ASSERT_TRUE(FramesUntil([&] { return p.client.GetUserCount() > 0; }));
    }
    void NameAndConfirm(const char* name)
    {
        auto* create = Me().Screen<CLobbyRoomCreate>(LobbyLayer::kRoomCreate);
        ASSERT_TRUE(Me().Locked([&] { return create->IsOpen(); }));
        Type(Me(), name);
        game.Frames(2);   // Enter stores what was typed before its frame
        Enter();
        Tap(menu::kUp);   // the name wraps to the confirm button
        ASSERT_EQ(create->GetCursor(), i32(CLobbyRoomCreate::kConfirm));
        Decide();
    }
    std::vector<u8> Room(u32 id, bool password)
    {
        std::vector<u8> entry(lobby::kEntryBytes, 0);
        PutLe32(entry.data(), id);
        const std::string name = "room" + std::to_string(id);
        std::memcpy(entry.data() + 4, name.data(), name.size());
        entry[kRoomPasswordFlagAt] = password ? 1 : 0;
        return entry;
    }
    // As the server sends them: scrambled with the session's key.
    void Add(Player& p, u16 type, std::vector<u8> bytes)
    {
        lobby::ScrambleLobby(bytes.data(), bytes.size(), p.client.GetPayloadKey());
        p.client.Dispatch(type, lobby::kStatusSuccess, bytes.data(), u32(bytes.size()));
    }
    // A press and a frame without it, so the next press triggers again.
    void Tap(u32 code)
    {
        Press(code);
        game.Frame();
    }
    // The notice the loss itself raised, answered as a player would.
    void AnswerTheLoss(Player& p)
    {
        ASSERT_TRUE(FramesUntil([&] { return p.client.GetPendingMessage() == kEventServerLost; }));
        game.Frames(20);   // past the notice's delay
        Tap(menu::kDecide);
        ASSERT_TRUE(FramesUntil([&] { return p.client.GetPendingMessage() == kNoWait; }));
    }

    lobby_test::LobbyServerProcess server;
};

TEST_P(LostServerRun, RequestAfterTheServerWentEndsInTheNotice)
{
    const LostRequest& request = GetParam();
    (this->*request.reach)();
    ASSERT_FALSE(HasFatalFailure());
    Player& p = Me();
    const u32 screen = p.client.GetScreen();
    // While the server is up the same keys reach it: it is this request that
    // is tried below.
    EXPECT_EQ(server.Log().find(request.logged), std::string::npos) << "asked before the keys";
    server.Stop();
    for (auto& other : players) {
        if (other.get() == &p) continue;
        Focus(*other);
        AnswerTheLoss(*other);
    }
    Focus(p);
    AnswerTheLoss(p);
    ASSERT_FALSE(HasFatalFailure());

    (this->*request.ask)();
    ASSERT_FALSE(HasFatalFailure());
    // The notice stands where the waiting message stood: the player can read
    // it and go on.
    ASSERT_TRUE(FramesUntil([&] {
        return p.client.GetPendingMessage() != kNoWait || p.client.GetScreen() == u32(LobbyLayer::kEntrance);
    }));
    if (p.client.GetScreen() != u32(LobbyLayer::kEntrance)) {
        EXPECT_EQ(p.client.GetPendingMessage(), kEventServerLost);
        EXPECT_EQ(p.client.GetScreen(), screen);
        game.Frames(20);
        Tap(menu::kDecide);
        // Nothing is left waiting behind it.
        EXPECT_TRUE(FramesUntil([&] { return p.client.GetPendingMessage() == kNoWait; }));
        EXPECT_FALSE(p.MessageShowing() && p.MessageCode() == request.waiting) << p.MessageCode();
    }
}

// The same keys with the server up: each sends its request, and the screen
// puts up the waiting message the table names (or none), so the table above
// tests what it says.
TEST_P(LostServerRun, TheSameKeysAskTheServerWhileItIsUp)
{
    const LostRequest& request = GetParam();
    (this->*request.reach)();
    ASSERT_FALSE(HasFatalFailure());
    Player& p = Me();
    (this->*request.ask)();
    ASSERT_FALSE(HasFatalFailure());
    if (request.waiting != kNoWait) {
        // The answer may already have replaced it: the code is looked at on
        // the frame of the press.
        const u32 code = p.MessageCode();
        EXPECT_TRUE(code == request.waiting || server.Log().find(request.logged) != std::string::npos) << code;
    }
    EXPECT_TRUE(server.WaitLog(request.logged));
}

const LostRequest kRequests[] = {
    {"Login", &LostServerRun::AtLogin, &LostServerRun::Decide, CLobbyLoginScene::kLoginWaiting, "login alice"},
    {"UserDetail", &LostServerRun::InTheLobby, &LostServerRun::AskForAUser, CLobbyMainScene::kUserWaiting,
     "message 1015 4"},
    {"RoomDetail", &LostServerRun::InTheLobby, &LostServerRun::Decide, CLobbyMainScene::kRoomWaiting,
     "message 1009 4"},
    {"RoomPassword", &LostServerRun::InTheLobby, &LostServerRun::EnterThePassword,
     CLobbySceneMessage::kPasswordSentCode, "message 1006 "},
    {"NewRoom", &LostServerRun::LogInAlice, &LostServerRun::MakeARoom, CLobbyRoomCreate::kWaitingCode,
     "message 1002 "},
    {"MemberDetail", &LostServerRun::HostingARoom, &LostServerRun::Decide, CLobbyRoomScene::kWaiting,
     "message 1015 4"},
    {"EnterRoom", &LostServerRun::ReadingARoom, &LostServerRun::EnterTheRoom, kNoWait, "message 1005 "},
    {"LineTest", &LostServerRun::ReadingARoom, &LostServerRun::TestTheLine, kNoWait, "message 1023 4"},
};

INSTANTIATE_TEST_SUITE_P(Requests, LostServerRun, ::testing::ValuesIn(kRequests),
                         [](const ::testing::TestParamInfo<LostRequest>& info) { return info.param.name; });

}  // namespace ORV_TEST_FILE_ID

}  // namespace lobby_lost_server_run_test
