#include "game/network/LobbyConnectOption.h"
#include "game/network/LobbyRoom.h"
#include "game/network/NetHost.h"
#include "engine/platform/app/ImeInput.h"
#include "game/network/tests/LobbyScreensRun.h"

#include <atomic>
#include <functional>
#include <cstdio>
#include <string>

namespace lobby_direct_run_test {

namespace ORV_TEST_FILE_ID {

using namespace lobby_run;
using namespace lobby_screen;

namespace {


i32 Accept(void* context, CNetClient*) { return ++*static_cast<std::atomic<int>*>(context), 1; }
i32 Message(void*, CNetClient*, const u8*, i32, u32) { return 1; }
void Left(void* context, CNetClient*) { ++*static_cast<std::atomic<int>*>(context); }

std::string Octets(u32 address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%03u%03u%03u%03u", address & 0xFF, address >> 8 & 0xFF, address >> 16 & 0xFF,
                  address >> 24);
    return text;
}

void SetEntry(IpAddressEntry& entry, const std::string& digits)
{
    for (u32 i = 0; i < 4; ++i) std::snprintf(entry.octet[i], 4, "%s", digits.substr(3 * i, 3).c_str());
}

}  // namespace

// Two players in one process, each on a loopback address of its own with
// the game's port: one hosts, the other types the host's address and joins.
class DirectRun : public LobbyRun {
protected:
    void SetUp() override
    {
        LobbyRun::SetUp();
        for (u8 k : {1, 2}) {
            Player& p = AddPlayer(k, 1, "127.0.0.1", 9, kPeerPort, true);
            p.client.SetAcceptCallback(Accept, &accepted[k - 1]);
            p.client.SetMessageCallback(Message, nullptr);
            p.client.SetDisconnectCallback(Left, &left[k - 1]);
        }
    }
    Player& Host() { return *players[0]; }
    Player& Guest() { return *players[1]; }
    CLobbyConnectOptionScene* Options(Player& p)
    {
        return p.Screen<CLobbyConnectOptionScene>(LobbyLayer::kConnectOptions);
    }
    bool OnScreen(Player& p, LobbyLayer screen)
    {
        return FramesUntil([&] { return p.client.GetScreen() == u32(screen) && !p.MessagePending(); });
    }
    void ToRow(Player& p, u32 row)
    {
        for (u32 i = 0; i < kRowCount && Options(p)->GetRow() != row; ++i) Press(menu::kStickDown);
        ASSERT_EQ(Options(p)->GetRow(), row);
    }
    void HostRoom()
    {
        Focus(Host());
        ASSERT_TRUE(OnScreen(Host(), LobbyLayer::kConnectOptions));
        if (Options(Host())->GetMode() != kModeHost) Press(menu::kStickRight);
        ToRow(Host(), kRowName);
        Type(Host(), "Bob");
        Enter();
        ToRow(Host(), kRowStart);
        Press(menu::kDecide);
        ASSERT_TRUE(OnScreen(Host(), LobbyLayer::kRoom));
        EXPECT_EQ(Host().client.GetNetHost()->GetListenPort(), kPeerPort);
    }
    // The guest's way back from a room, as the room screen takes it.
    void Leave(Player& p)
    {
        p.client.GetNetHost()->RequestCloseAll();
        p.client.SetScreen(u32(LobbyLayer::kConnectOptions));
    }
    // The guest joins the host through the address list's newest entry.
    void JoinFromTheList()
    {
        SetEntry(Guest().client.GetAddressList()[0], Octets(net_test::Loopback(1)));
        ToRow(Guest(), kRowList);
        Press(menu::kDecide);
        Press(menu::kDecide);
        ToRow(Guest(), kRowStart);
        Press(menu::kDecide);
        ASSERT_TRUE(OnScreen(Guest(), LobbyLayer::kRoom));
    }
    size_t InRecent(Player& p, const std::string& text)
    {
        size_t n = 0;
        for (u32 i = 0; i < kRecentCount; ++i) n += AddressText(p.client.GetAddressList()[i].octet) == text;
        return n;
    }

    std::atomic<int> accepted[2] = {}, left[2] = {};
};

// The guest types the host's address, already in its list below another,
// and joins; the host leaves and hosts again at once, before the last
// room's close was carried out (its port still has connections closing and
// its listener must go first); the guest comes back through the list.
TEST_F(DirectRun, GuestJoinsByTypedAddressHostLeavesAndHostsAgainAtOnce)
{
    HostRoom();
    EXPECT_STREQ(Host().client.GetUserName(), "Bob");
    Focus(Guest());
    ASSERT_TRUE(OnScreen(Guest(), LobbyLayer::kConnectOptions));
    const std::string host = host::net::FormatAddress(net_test::Loopback(1));
    SetEntry(Guest().client.GetAddressList()[0], "010000000001");
    SetEntry(Guest().client.GetAddressList()[1], Octets(net_test::Loopback(1)));
    ToRow(Guest(), kRowAddress);
    for (char c : Octets(net_test::Loopback(1))) Key(kDigitKeys[c - '0']);
    ToRow(Guest(), kRowStart);
    Press(menu::kDecide);
    ASSERT_TRUE(OnScreen(Guest(), LobbyLayer::kRoom));
    ASSERT_TRUE(FramesUntil([&] { return accepted[0] == 1; }));
    EXPECT_EQ(AddressText(Guest().client.GetAddressList()[0].octet), host);
    EXPECT_EQ(AddressText(Guest().client.GetAddressList()[1].octet), "10.0.0.1");
    EXPECT_EQ(InRecent(Guest(), host), 1u);

    Focus(Host());
    Leave(Host());
    Press(menu::kDecide);
    ASSERT_TRUE(OnScreen(Host(), LobbyLayer::kRoom));
    EXPECT_EQ(Host().client.GetNetHost()->GetListenPort(), kPeerPort);
    EXPECT_TRUE(FramesUntil([&] { return left[1] >= 1; }));   // the guest saw the room go

    Focus(Guest());
    Leave(Guest());
    ASSERT_TRUE(OnScreen(Guest(), LobbyLayer::kConnectOptions));
    ToRow(Guest(), kRowList);
    Press(menu::kDecide);
    Press(menu::kDecide);   // the newest entry: the host
    ToRow(Guest(), kRowStart);
    Press(menu::kDecide);
    ASSERT_TRUE(OnScreen(Guest(), LobbyLayer::kRoom));
    EXPECT_TRUE(FramesUntil([&] { return accepted[0] == 2; }));   // one listener
    EXPECT_EQ(InRecent(Guest(), host), 1u);
}

// A host whose port another program holds stays on the connect screen,
// and its notice says which port could not be had.
TEST_F(DirectRun, AHostWhosePortIsTakenIsToldWhichPort)
{
    host::net::Net& net = *Host().net;
    const host::net::Socket holder = net.Open(host::net::Type::Stream);
    ASSERT_NE(holder, host::net::kNoSocket);
    ASSERT_EQ(net.Bind(holder, {host::net::kAnyAddress, kPeerPort}), host::net::Error::None);
    ASSERT_EQ(net.Listen(holder, 4), host::net::Error::None);
    Focus(Host());
    ASSERT_TRUE(OnScreen(Host(), LobbyLayer::kConnectOptions));
    if (Options(Host())->GetMode() != kModeHost) Press(menu::kStickRight);
    ToRow(Host(), kRowStart);
    Press(menu::kDecide);
    ASSERT_TRUE(FramesUntil([&] { return Host().MessagePending(); }, 5));
    EXPECT_EQ(Host().MessageCode(), 9u);   // the host start failed
    const std::string detail = Host().Locked([&] { return Host().Message().GetDetail(); });
    EXPECT_NE(detail.find("port " + std::to_string(kPeerPort)), std::string::npos) << detail;
    EXPECT_EQ(Host().client.GetScreen(), u32(LobbyLayer::kConnectOptions));
    net.Close(holder);
}

// A guest leaves a direct room the way a player tries first: cancel asks
// whether to quit (as the menu button does); no keeps him in, yes takes him
// back to the connection options and the host sees him go.
// The menu button leaves the room; cancel means nothing there.
TEST_F(DirectRun, GuestLeavesWithTheMenuButtonOnly)
{
    HostRoom();
    {
        const u32 button = menu::kStart;
        Focus(Guest());
        ASSERT_TRUE(OnScreen(Guest(), LobbyLayer::kConnectOptions));
        const int before = accepted[0];
        ASSERT_NO_FATAL_FAILURE(JoinFromTheList());
        ASSERT_TRUE(FramesUntil([&] { return accepted[0] == before + 1; }));
        const int gone = left[0];
        Press(menu::kCancel);
        game.Frame();
        EXPECT_FALSE(Guest().screens->MessagePending());
        EXPECT_EQ(Guest().client.GetScreen(), u32(LobbyLayer::kRoom));

        Press(button);
        game.Frame();
        ASSERT_TRUE(Guest().Message().IsCode(CLobbyRoomScene::kQuitRoom));
        Press(menu::kDecide);   // "no" is lit first
        game.Frame();
        EXPECT_FALSE(Guest().screens->MessagePending());
        EXPECT_EQ(Guest().client.GetScreen(), u32(LobbyLayer::kRoom));
        Press(button);
        game.Frame();
        ASSERT_TRUE(Guest().Message().IsCode(CLobbyRoomScene::kQuitRoom));
        Press(menu::kLeft);
        Press(menu::kDecide);
        ASSERT_TRUE(OnScreen(Guest(), LobbyLayer::kConnectOptions));
        EXPECT_TRUE(FramesUntil([&] { return left[0] == gone + 1; }));
    }
}

// A guest typing in the room chat when the host goes arrives on the
// connection options with the entry off and empty: Enter on the name row
// then loads his name, never the unsent line.
TEST_F(DirectRun, AGuestTypingWhenTheHostLeavesKeepsHisName)
{
    for (Player& p : {std::ref(Host()), std::ref(Guest())}) RoutePeers(p.client);   // the room sees its peers
    HostRoom();
    Focus(Guest());
    ASSERT_TRUE(OnScreen(Guest(), LobbyLayer::kConnectOptions));
    std::snprintf(Guest().Context().playerName, sizeof Guest().Context().playerName, "Ann");
    ASSERT_NO_FATAL_FAILURE(JoinFromTheList());
    Press(menu::kRight);   // onto the chat entry
    CImeInput* ime = Guest().client.GetImeInput();
    ASSERT_TRUE(ime->IsEnabled());
    Type(Guest(), "half");
    game.Frame();
    Focus(Host());
    Leave(Host());
    Focus(Guest());
    ASSERT_TRUE(OnScreen(Guest(), LobbyLayer::kConnectOptions));
    game.Frame();   // the screen as it is first shown
    EXPECT_FALSE(ime->IsEnabled());
    EXPECT_EQ(ime->GetTotalLength(), 0u);
    ToRow(Guest(), kRowName);
    Enter();
    EXPECT_STREQ(Guest().Context().playerName, "Ann");
}

// A host whose last room's listener is still closing when its wait runs
// out is told so, not that another program holds the port.
TEST_F(DirectRun, AHostWhoseLastRoomNeverClosesIsToldSo)
{
    HostRoom();
    // Back on the connection options with the room's listener up, whose
    // close (the peer host's Update) never comes.
    Host().client.SetScreen(u32(LobbyLayer::kConnectOptions));
    std::erase(scene->clients, &Host().client);
    ASSERT_TRUE(OnScreen(Host(), LobbyLayer::kConnectOptions));
    ToRow(Host(), kRowStart);
    Press(menu::kDecide);
    EXPECT_FALSE(Host().MessagePending());   // waiting for the close
    ASSERT_TRUE(FramesUntil([&] { return Host().MessagePending(); }, CLobbyConnectOptionScene::kHostWaitFrames + 5));
    EXPECT_EQ(Host().MessageCode(), 9u);
    const std::string detail = Host().Locked([&] { return Host().Message().GetDetail(); });
    EXPECT_NE(detail.find("not closed"), std::string::npos) << detail;
    EXPECT_NE(Host().client.GetNetHost()->GetListenPort(), 0);
    scene->clients.push_back(&Host().client);
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace lobby_direct_run_test
