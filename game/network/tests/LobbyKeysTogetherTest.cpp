// Keys pressed in one frame on the lobby screens: each takes its step, in
// the screen's order (a stick held diagonally, a key landing as another
// goes down). And the connect screen's name entry: 17 bytes kept, and off
// once the screen is left.
#include "engine/platform/app/ImeInput.h"
#include "game/network/LobbyConnectOption.h"
#include "game/network/LobbyEntrance.h"
#include "game/network/LobbyMessage.h"
#include "game/network/LobbyRoom.h"
#include "game/network/LobbyUserInformation.h"
#include "game/network/RoomMembers.h"
#include "game/network/tests/LobbyScreensRun.h"

#include <cstring>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace lobby_run;
using namespace lobby_screen;

class KeysTogether : public LobbyRun {
protected:
    // A new player for each case, focused.
    Player& Fresh(u32 startMode = 0)
    {
        Player& p = AddPlayer(u8(players.size() + 1), startMode);
        Focus(p);
        return p;
    }
    // The codes down in one frame, up from the next.
    void Together(const std::vector<u32>& codes)
    {
        for (u32 code : codes) game.Hold(code, true);
        game.Frame();
        for (u32 code : codes) game.Hold(code, false);
        game.Frame();
    }
    void Tap(u32 code)
    {
        Press(code);
        game.Frame();
    }
    CLobbyEntranceScene* Entrance(Player& p) { return p.Screen<CLobbyEntranceScene>(LobbyLayer::kEntrance); }
    CLobbyConnectOptionScene* Options(Player& p)
    {
        return p.Screen<CLobbyConnectOptionScene>(LobbyLayer::kConnectOptions);
    }
    CLobbyRoomScene* Room(Player& p) { return p.Screen<CLobbyRoomScene>(LobbyLayer::kRoom); }
};

TEST_F(KeysTogether, EntranceMovesThenDecidesOrLeaves)
{
    const struct {
        const char* what;
        bool startOnServer;   // Up in a frame before
        std::vector<u32> together;
        u32 cursor;
        LobbyLayer screen;
        u32 exit;
    } cases[] = {
        {"down and decide go the direct way", true, {menu::kDown, menu::kDecide}, 0, LobbyLayer::kConnectOptions, 0},
        {"down and cancel move and leave", false, {menu::kDown, menu::kCancel}, 1, LobbyLayer::kEntrance, 1},
        {"up and cancel move and leave", true, {menu::kUp, menu::kCancel}, 0, LobbyLayer::kEntrance, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Player& p = Fresh();
        ASSERT_TRUE(FramesUntil([&] { return Entrance(p)->GetFade() <= 0.0f; }, 60));
        if (c.startOnServer) Tap(menu::kUp);
        ASSERT_EQ(Entrance(p)->GetCursor(), c.startOnServer ? 1u : 0u);
        Together(c.together);
        EXPECT_EQ(Entrance(p)->GetCursor(), c.cursor);
        EXPECT_EQ(p.client.GetScreen(), u32(c.screen));
        EXPECT_EQ(p.client.GetExitRequest(), c.exit);
    }
}

TEST_F(KeysTogether, ConnectScreenMovesTurnsAndDecidesOrLeaves)
{
    const struct {
        const char* what;
        std::vector<u32> together;   // from the mode row, join mode
        u32 row, mode, digit;
        LobbyLayer screen;
    } cases[] = {
        {"down and cancel move and leave", {menu::kStickDown, menu::kCancel}, kRowAddress, kModeJoin, 0,
         LobbyLayer::kEntrance},
        {"down and right move onto the address and along it", {menu::kStickDown, menu::kStickRight}, kRowAddress,
         kModeJoin, 1, LobbyLayer::kConnectOptions},
        {"right and cancel turn the mode and leave", {menu::kStickRight, menu::kCancel}, kRowMode, kModeHost, 0,
         LobbyLayer::kEntrance},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Player& p = Fresh();
        p.client.SetScreen(u32(LobbyLayer::kConnectOptions));
        game.Frame();
        ASSERT_EQ(Options(p)->GetRow(), u32(kRowMode));
        Together(c.together);
        EXPECT_EQ(Options(p)->GetRow(), c.row);
        EXPECT_EQ(Options(p)->GetMode(), c.mode);
        EXPECT_EQ(Options(p)->GetDigitCursor(), c.digit);
        EXPECT_EQ(p.client.GetScreen(), u32(c.screen));
    }
    // A move onto the list row and decide there open the list at once.
    Player& p = Fresh();
    p.client.SetScreen(u32(LobbyLayer::kConnectOptions));
    game.Frame();
    Tap(menu::kStickDown);
    ASSERT_EQ(Options(p)->GetRow(), u32(kRowAddress));
    Together({menu::kStickDown, menu::kDecide});
    EXPECT_EQ(Options(p)->GetRow(), u32(kRowList));
    EXPECT_TRUE(Options(p)->IsListOpen());
}

// Escape on the name row, then Z on "Direct": the entry was switched off
// with the screen, so nothing typed on the entrance lands in the name, and
// back on the connect screen the keys move the rows again.
TEST_F(KeysTogether, NameEntryStaysOffOnceTheConnectScreenIsLeft)
{
    Player& p = Fresh();
    p.client.SetScreen(u32(LobbyLayer::kConnectOptions));
    game.Frame();
    CImeInput* ime = p.client.GetImeInput();
    for (int i = 0; i < 3; ++i) Tap(menu::kStickDown);
    ASSERT_EQ(Options(p)->GetRow(), u32(kRowName));
    ASSERT_TRUE(ime->IsEnabled());
    Tap(menu::kCancel);
    ASSERT_EQ(p.client.GetScreen(), u32(LobbyLayer::kEntrance));
    EXPECT_FALSE(ime->IsEnabled());
    ASSERT_TRUE(FramesUntil([&] { return Entrance(p)->GetFade() <= 0.0f; }, 60));
    Type(p, "z");   // the decide key's letter, as the window hands it over
    Tap(menu::kDecide);
    ASSERT_EQ(p.client.GetScreen(), u32(LobbyLayer::kConnectOptions));
    game.Frame();
    EXPECT_EQ(ime->GetTotalLength(), 0);
    Tap(menu::kStickUp);
    EXPECT_EQ(Options(p)->GetRow(), u32(kRowList));
    Tap(menu::kStickDown);
    Enter();   // an empty entry takes the stored name: none
    game.Frame();
    Enter();
    EXPECT_STREQ(p.Context().playerName, "");
}

// The entry takes 17 bytes of name and the name keeps them all: shown,
// and hosted under.
TEST_F(KeysTogether, SeventeenBytesOfNameAreKeptWhole)
{
    const struct {
        const char* typed;
        const char* kept;
    } cases[] = {
        {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP"},
        {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMNOPQ"},
        {"ABCDEFGHIJKLMNOPQR", "ABCDEFGHIJKLMNOPQ"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Player& p = Fresh();
        p.client.SetScreen(u32(LobbyLayer::kConnectOptions));
        game.Frame();
        for (int i = 0; i < 3; ++i) Tap(menu::kStickDown);
        ASSERT_EQ(Options(p)->GetRow(), u32(kRowName));
        Type(p, c.typed);
        game.Frame();
        Enter();
        EXPECT_STREQ(p.Context().playerName, c.kept);
        // Hosted under it: the room's own entry carries it whole.
        Tap(menu::kStickUp);
        Tap(menu::kStickUp);
        Tap(menu::kStickUp);
        ASSERT_EQ(Options(p)->GetRow(), u32(kRowMode));
        Tap(menu::kStickRight);
        ASSERT_EQ(Options(p)->GetMode(), u32(kModeHost));
        Tap(menu::kStickUp);
        ASSERT_EQ(Options(p)->GetRow(), u32(kRowStart));
        Tap(menu::kDecide);
        ASSERT_TRUE(FramesUntil([&] { return p.client.GetScreen() == u32(LobbyLayer::kRoom); }, 120));
        EXPECT_STREQ(p.client.GetUserName(), c.kept);
        EXPECT_STREQ(p.Context().state.members->members[0].name, c.kept);
    }
}

// The room: a move, a focus turn and decide or the menu button in one frame
// each take their step. A guest of a direct room of three.
TEST_F(KeysTogether, RoomMovesTurnsAndOpensTheMenuInOneFrame)
{
    const struct {
        const char* what;
        std::vector<u32> together;
        u32 selected, focus;
        bool menu, information;
    } cases[] = {
        {"down and menu", {menu::kDown, menu::kStart}, 1, CLobbyRoomScene::kMemberFocus, true, false},
        {"right and menu", {menu::kRight, menu::kStart}, 0, CLobbyRoomScene::kChatFocus, true, false},
        {"down and decide", {menu::kDown, menu::kDecide}, 1, CLobbyRoomScene::kMemberFocus, false, true},
        {"down and right", {menu::kDown, menu::kRight}, 1, CLobbyRoomScene::kChatFocus, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Player& p = Fresh();
        Room(p)->Reset();
        Room(p)->SetLobbyMode(0);
        RoomMemberTable table;
        table.count = 3;
        for (u32 i = 0; i < 3; ++i) std::snprintf(table.members[i].name, sizeof table.members[i].name, "m%u", i);
        *p.Context().state.members = table;
        p.client.SetScreen(u32(LobbyLayer::kRoom));
        game.Frame();
        Together(c.together);
        EXPECT_EQ(Room(p)->GetSelected(), c.selected);
        EXPECT_EQ(Room(p)->GetFocus(), c.focus);
        EXPECT_EQ(p.MessageShowing() && p.MessageCode() == CLobbyRoomScene::kQuitRoom, c.menu);
        EXPECT_EQ(p.Screen<CLobbyUserInformation>(LobbyLayer::kUserInformation)->IsOpen(), c.information);
    }
}

// The host's room menu (lobby room 26, direct room 27): up, down and decide
// in one frame answer "battle", whose question follows; decide and cancel
// in one frame take the battle too, the cancel leaving the question up.
TEST_F(KeysTogether, HostsRoomMenuTakesBothKeysOfAFrame)
{
    const struct {
        const char* what;
        u32 lobbyMode;
        std::vector<u32> together;
    } cases[] = {
        {"lobby room: up, down and decide", 1, {menu::kUp, menu::kDown, menu::kDecide}},
        {"direct room: up, down and decide", 0, {menu::kStickUp, menu::kStickDown, menu::kDecide}},
        {"lobby room: decide and cancel", 1, {menu::kDecide, menu::kCancel}},
        {"direct room: decide and cancel", 0, {menu::kDecide, menu::kCancel}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Player& p = Fresh();
        Room(p)->Reset();
        Room(p)->SetLobbyMode(c.lobbyMode);
        RoomMemberTable table;
        table.count = 2;
        for (u32 i = 0; i < 2; ++i) std::snprintf(table.members[i].name, sizeof table.members[i].name, "m%u", i);
        *p.Context().state.members = table;
        *p.Context().state.roomHost = true;
        p.client.SetScreen(u32(LobbyLayer::kRoom));
        game.Frame();
        Tap(menu::kStart);
        ASSERT_EQ(p.MessageCode(), c.lobbyMode ? u32(CLobbyRoomScene::kHostMenu) : u32(CLobbyRoomScene::kDirectHostMenu));
        Together(c.together);
        EXPECT_EQ(p.MessageCode(), u32(CLobbyRoomScene::kBattleStart));
        EXPECT_TRUE(p.MessageShowing());
        EXPECT_FALSE(p.MessageAnswered());
        *p.Context().state.roomHost = false;
        p.client.ReadLocked([&] { p.Message().Show(CLobbySceneMessage::kNone, nullptr); });
    }
}

}  // namespace ORV_TEST_FILE_ID
