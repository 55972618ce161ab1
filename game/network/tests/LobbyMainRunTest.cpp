#include "engine/platform/SoundBuffer.h"
#include "game/network/LobbyMain.h"
#include "game/network/LobbyMessage.h"
#include "game/network/LobbyRoomCreate.h"
#include "game/network/tests/LobbyPlayer.h"
#include "game/network/tests/LobbyScreensRun.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/tests/DrawnSprites.h"
#include "game/scenes/tests/MenuRun.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace lobby_run;
using namespace lobby_screen;

namespace {

// n room entries from id first: named "room<id>", the flags as asked.
std::vector<u8> RoomEntries(u32 first, u32 n, u32 passwordId = 0, u32 battleId = 0)
{
    std::vector<u8> bytes(n * lobby::kEntryBytes, 0);
    for (u32 k = 0; k < n; ++k) {
        u8* e = bytes.data() + k * lobby::kEntryBytes;
        const u32 id = first + k;
        PutLe32(e, id);
        const std::string name = "room" + std::to_string(id);
        std::memcpy(e + 4, name.data(), name.size());
        if (id == battleId) PutLe32(e + lobby::kRoomStateAt, 1);
        if (id == passwordId) e[kRoomPasswordFlagAt] = 1;
    }
    return bytes;
}

std::vector<u8> UserEntries(u32 first, u32 n, u32 markId = 0)
{
    std::vector<u8> bytes(n * lobby::kEntryBytes, 0);
    for (u32 k = 0; k < n; ++k) {
        u8* e = bytes.data() + k * lobby::kEntryBytes;
        const u32 id = first + k;
        PutLe32(e, id);
        const std::string name = "user" + std::to_string(id);
        std::memcpy(e + 4, name.data(), name.size());
        PutLe32(e + 29, id % 7);
        if (id == markId) e[kUserMarkAt - 1] = 1;
    }
    return bytes;
}

}  // namespace

class LobbyMainRun : public LobbyRun {
protected:
    Player& LogIn()
    {
        EXPECT_TRUE(server.Start(lobby_test::kAccounts));
        Player& p = AddPlayer(1, 2, "127.0.0.1", server.Port());
        p.client.SetLobbyId("alice");
        EXPECT_TRUE(FramesUntil([&] { return p.client.GetScreen() == u32(LobbyLayer::kLogin); }));
        p.client.SendLogin();
        EXPECT_TRUE(FramesUntil([&] {
            return p.client.GetScreen() == u32(LobbyLayer::kLobby) && !p.MessagePending() &&
                   p.client.GetUserCount() > 0;
        }));
        return p;
    }
    CLobbyMainScene& Main(Player& p) { return *p.Screen<CLobbyMainScene>(LobbyLayer::kLobby); }
    // As the server sends them: scrambled with the session's key.
    void Add(Player& p, u16 type, std::vector<u8> bytes)
    {
        lobby::ScrambleLobby(bytes.data(), bytes.size(), p.client.GetPayloadKey());
        p.client.Dispatch(type, lobby::kStatusSuccess, bytes.data(), u32(bytes.size()));
    }
    void Remove(Player& p, u16 type, u32 id)
    {
        u8 bytes[4];
        PutLe32(bytes, id);
        lobby::ScrambleLobby(bytes, sizeof bytes, p.client.GetPayloadKey());
        p.client.Dispatch(type, lobby::kStatusSuccess, bytes, sizeof bytes);
    }
    // A press and a frame without it, so the next press triggers again.
    void Tap(u32 code)
    {
        Press(code);
        game.Frame();
    }
    std::vector<std::pair<f32, f32>> Corners(const std::string& layer)
    {
        return LobbyRun::Corners(scene_data::LobbyMainLayers(), layer);
    }
    size_t Count(const std::vector<std::string>& drawn, const std::string& layer)
    {
        return size_t(std::count(drawn.begin(), drawn.end(), layer));
    }

    lobby_test::LobbyServerProcess server;
};

// 40 rooms: moving down past row 31 scrolls by one; the rows, marks and the
// scroll bar follow the list.
TEST_F(LobbyMainRun, RoomListScrollsAndDrawsItsMarks)
{
    Player& p = LogIn();
    Add(p, lobby::kRoomsAdded, RoomEntries(100, 40, 103, 105));
    game.Frame();
    const std::vector<std::string> layers = scene_data::LobbyMainLayers();
    std::vector<std::string> drawn = Drawn(layers);
    EXPECT_EQ(Count(drawn, "room_a"), 31u);
    EXPECT_EQ(Count(drawn, "chat_loc"), 1u);
    EXPECT_EQ(Count(drawn, "vs"), 1u);
    EXPECT_EQ(Count(drawn, "Select1"), 1u);
    EXPECT_EQ(Count(drawn, "chat_bar"), 1u);   // a range of 9
    for (int i = 0; i < 31; ++i) Tap(menu::kDown);
    EXPECT_EQ(Main(p).Rooms().selected, 31u);
    EXPECT_EQ(Main(p).Rooms().top, 1u);
    game.Frame();
    drawn = Drawn(layers);
    EXPECT_EQ(Count(drawn, "chat_bar"), 1u);
    EXPECT_EQ(Count(drawn, "room_a"), 31u);
    // Rows 1..31 shown: room 103 and 105 still in them.
    EXPECT_EQ(Count(drawn, "chat_loc"), 1u);
    for (int i = 0; i < 20; ++i) Tap(menu::kDown);
    EXPECT_EQ(Main(p).Rooms().selected, 39u);   // no wrap
    EXPECT_EQ(Main(p).Rooms().top, 9u);
}

// Rows 20 apart; each mark on its room's row, the user mark on its user's
// row. (The test layout stands each layer at its own slot, so the rows
// compare across layers less their slots' difference.)
TEST_F(LobbyMainRun, RowsAndMarksStandInTheirRows)
{
    Player& p = LogIn();
    Add(p, lobby::kRoomsAdded, RoomEntries(1, 5, 3, 4));
    Add(p, lobby::kUsersAdded, UserEntries(50, 4, 52));
    game.Frame();
    const auto icons = Corners("room_a");
    ASSERT_EQ(icons.size(), 5u);
    // The data's marks all stand at the layout's origin: the scene's
    // offsets alone place them.
    for (size_t i = 1; i < icons.size(); ++i) {
        EXPECT_NEAR(icons[i].second - icons[i - 1].second, CLobbyMainScene::kRowHeight, 0.01f);
        EXPECT_NEAR(icons[i].first, icons[0].first, 0.01f);
    }
    const struct {
        const char* layer;
        size_t row;
        f32 dy;
    } marks[] = {{"chat_loc", 2, -1.0f}, {"vs", 3, 0.0f}};
    for (const auto& m : marks) {
        SCOPED_TRACE(m.layer);
        const auto at = Corners(m.layer);
        ASSERT_EQ(at.size(), 1u);
        EXPECT_NEAR(at[0].second - icons[m.row].second, m.dy, 0.01f);
    }
    // The own user first, then 50..53: user 52 is the third row after it.
    const auto userMark = Corners("chat_in");
    ASSERT_EQ(userMark.size(), 1u);
    const u32 users = u32(p.Context().state.users->size());
    EXPECT_NEAR(userMark[0].second - icons[0].second, f32(users - 4 + 2) * CLobbyMainScene::kRowHeight + 1.0f, 0.01f);
}

// A removal closes the gap: the rows after it move up one, in order, so
// each mark moves up with its own room or user; every id still finds its
// record, and a later removal reads the index kept in step.
TEST_F(LobbyMainRun, RemovalKeepsTheRowsInOrder)
{
    Player& p = LogIn();
    const u32 own = u32(p.Context().state.users->size());
    Add(p, lobby::kRoomsAdded, RoomEntries(1, 5, 5, 3));
    Add(p, lobby::kUsersAdded, UserEntries(101, 5, 105));
    Remove(p, lobby::kRoomRemoved, 2);
    Remove(p, lobby::kUserRemoved, 102);
    const auto ids = [](const auto& list) {
        std::vector<u32> out;
        for (const auto& r : list) out.push_back(r->Id());
        return out;
    };
    EXPECT_EQ(ids(*p.Context().state.rooms), (std::vector<u32>{1, 3, 4, 5}));
    std::vector<u32> users = ids(*p.Context().state.users);
    users.erase(users.begin(), users.begin() + own);
    EXPECT_EQ(users, (std::vector<u32>{101, 103, 104, 105}));
    game.Frame();
    const auto icons = Corners("room_a");
    ASSERT_EQ(icons.size(), 4u);
    // The row a mark stands on (dy: its offset from the row's icon; the
    // data's marks all stand at the layout's origin).
    const auto row = [&](const std::string& layer, f32 dy) {
        const auto at = Corners(layer);
        if (at.size() != 1) return -1.0f;
        return (at[0].second - icons[0].second - dy) / CLobbyMainScene::kRowHeight;
    };
    EXPECT_NEAR(row("vs", 0.0f), 1.0f, 0.01f);         // room 3
    EXPECT_NEAR(row("chat_loc", -1.0f), 3.0f, 0.01f);   // room 5
    EXPECT_NEAR(row("chat_in", 1.0f), f32(own + 3), 0.01f);   // user 105
    Remove(p, lobby::kRoomRemoved, 3);
    for (u32 id : {1u, 4u, 5u}) {
        lobby::LobbyRoomRecord room;
        ASSERT_TRUE(p.client.GetRoom(id, &room));
        EXPECT_EQ(room.Id(), id);
    }
    EXPECT_EQ(ids(*p.Context().state.rooms), (std::vector<u32>{1, 4, 5}));
}

// The receive thread shrinks the lists: the selection stays below the
// count every frame, and decide on a room that left does nothing.
TEST_F(LobbyMainRun, SelectionsFollowShrinkingLists)
{
    Player& p = LogIn();
    const u32 users = u32(p.Context().state.users->size());
    Add(p, lobby::kRoomsAdded, RoomEntries(1, 10));
    Add(p, lobby::kUsersAdded, UserEntries(50, 10, 55));
    for (int i = 0; i < 9; ++i) Tap(menu::kDown);
    Tap(menu::kLeft);   // 0 wraps to the users
    EXPECT_EQ(Main(p).GetFocus(), u32(CLobbyMainScene::kFocusUsers));
    for (int i = 0; i < 20; ++i) Tap(menu::kDown);
    EXPECT_EQ(Main(p).Users().selected, users + 9);
    for (u32 id = 4; id <= 10; ++id) Remove(p, lobby::kRoomRemoved, id);
    for (u32 id = 53; id <= 59; ++id) Remove(p, lobby::kUserRemoved, id);
    game.Frame();
    EXPECT_EQ(Main(p).Rooms().selected, 2u);
    EXPECT_EQ(Main(p).Users().selected, users + 2);
    for (u32 id = 1; id <= 3; ++id) Remove(p, lobby::kRoomRemoved, id);
    game.Frame();
    EXPECT_EQ(Main(p).Rooms().selected, 0u);
    Tap(menu::kRight);   // users wrap to the rooms
    Tap(menu::kDecide);   // an empty list: nothing is asked
    EXPECT_FALSE(p.MessageShowing());
}

// Decide on a password room asks for the password; on an open room it waits
// for the server's detail (1009); on a user it asks for the detail (1015).
// Up and down play the select sound on every press, also where nothing
// moves: a list's first or last entry, the chat log's ends.
TEST_F(LobbyMainRun, UpAndDownPlayTheSelectSoundWhereNothingMovesToo)
{
    Player& p = LogIn();
    Add(p, lobby::kRoomsAdded, RoomEntries(1, 2));
    CSoundBuffer* select = menu::FindSound("Se_gameopt_select.ogg");
    ASSERT_NE(select, nullptr);
    const struct {
        const char* what;
        u32 turn;   // 0: stay on the focus
        u32 focus;
        u32 key;
    } cases[] = {
        {"rooms: up at the first", 0, CLobbyMainScene::kFocusRooms, menu::kUp},
        {"rooms: down moves", 0, CLobbyMainScene::kFocusRooms, menu::kDown},
        {"rooms: down at the last", 0, CLobbyMainScene::kFocusRooms, menu::kDown},
        {"chat: up at the top", menu::kRight, CLobbyMainScene::kFocusChat, menu::kUp},
        {"users: up at the first", menu::kRight, CLobbyMainScene::kFocusUsers, menu::kUp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.turn) Tap(c.turn);
        ASSERT_EQ(Main(p).GetFocus(), c.focus);
        select->StopAll(1);
        ASSERT_FALSE(menu_run::Playing("Se_gameopt_select.ogg"));
        Tap(c.key);
        EXPECT_TRUE(menu_run::Playing("Se_gameopt_select.ogg"));
    }
}

TEST_F(LobbyMainRun, DecideAsksForTheRoomOrUser)
{
    Player& p = LogIn();
    Add(p, lobby::kRoomsAdded, RoomEntries(1, 3, 2));
    struct Case {
        u32 downs;
        bool users;
        u32 code;
        const char* logged;
        u32 answered;
    };
    const Case cases[] = {
        {1, false, CLobbyMainScene::kPasswordEntry, nullptr, CLobbyMainScene::kPasswordEntry},
        {0, false, CLobbyMainScene::kRoomWaiting, "message 1009 4", kEventRefused},
        {0, true, CLobbyMainScene::kUserWaiting, "message 1015 4", kEventDone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        for (u32 i = 0; i < c.downs; ++i) Tap(menu::kDown);
        if (c.users) Tap(menu::kLeft);
        Tap(menu::kDecide);
        // The server's answer may already have replaced the wait.
        const u32 code = p.MessageCode();
        EXPECT_TRUE(code == c.code || code == c.answered) << code;
        if (c.code == CLobbyMainScene::kPasswordEntry) {
            EXPECT_EQ(p.Message().GetRecord(c.code).value, 2u);
        }
        // The server's answer ends the wait (it knows none of these rooms,
        // and it sends the user's detail); cleared after it, under the
        // client lock the receive thread shows it under.
        if (c.logged) {
            EXPECT_TRUE(server.WaitLog(c.logged));
            EXPECT_TRUE(FramesUntil([&] { return p.MessageCode() == c.answered; })) << p.MessageCode();
        }
        p.client.ReadLocked([&] { p.Message().Show(CLobbySceneMessage::kNone, nullptr); });
        game.Frame();
        if (c.downs) Tap(menu::kUp);
    }
}

// The help ticker can be read all the way round: every 0.75 s of its
// cycle at least an eighth of it is on the screen, and nothing drawn after
// it (the lists' frames, the headings, the panels) covers it there.
TEST_F(LobbyMainRun, HelpTickerStaysInSightAllTheWayRound)
{
    Player& p = LogIn();
    CLobbyMainScene& main = Main(p);
    const std::vector<std::string> layers = scene_data::LobbyMainLayers();
    const f32 s = game.App().GetLayoutScale();
    const f32 screenRight = 1024.0f * s;
    // From its first start over to its next: one whole cycle.
    f32 last = main.GetTicker();
    for (u32 i = 0; i < 20000 && main.GetTicker() <= last; ++i) {
        last = main.GetTicker();
        game.Frame();
    }
    last = main.GetTicker();
    f32 sampled = last + 1.0e6f;
    u32 samples = 0;
    for (u32 i = 0; i < 20000; ++i) {
        game.Frame();
        const f32 now = main.GetTicker();
        if (now > last) break;   // started over: the cycle is done
        last = now;
        if (sampled - now < 60.0f) continue;
        sampled = now;
        ++samples;
        const std::vector<drawn_sprites::Sprite> sprites =
            drawn_sprites::Sprites(game, layers, texture, scene_data::LobbyTextureSheets());
        const auto ticker = std::find_if(sprites.begin(), sprites.end(),
                                         [](const drawn_sprites::Sprite& d) { return d.layer == "help_lobby"; });
        ASSERT_NE(ticker, sprites.end()) << now;
        const f32 left = std::max(ticker->x, 0.0f), right = std::min(ticker->x + ticker->w, screenRight);
        EXPECT_GE(right - left, ticker->w / 8) << "at " << now << " the ticker stands at " << ticker->x;
        for (auto later = ticker + 1; later != sprites.end(); ++later) {
            const bool overlaps = later->x < right && later->x + later->w > left && later->y < ticker->y + ticker->h &&
                                  later->y + later->h > ticker->y;
            EXPECT_FALSE(overlaps) << "at " << now << " " << (later->layer.empty() ? "a text" : later->layer)
                                   << " covers the ticker at " << later->x << "," << later->y;
        }
    }
    EXPECT_GE(samples, 15u);
}

// The chat: Shift+Enter does not send, Enter sends 1020 with the own name;
// the line shows once the server relays it back.
TEST_F(LobbyMainRun, ChatIsSentAndShownWhenRelayed)
{
    Player& p = LogIn();
    Tap(menu::kRight);
    ASSERT_EQ(Main(p).GetFocus(), u32(CLobbyMainScene::kFocusChat));
    Type(p, std::string(100, 'x'));   // two lines of 40
    EXPECT_EQ(p.client.GetImeInput()->GetTotalLength(), 2 * CLobbyMainScene::kChatTyped);
    p.client.GetImeInput()->SetText(nullptr);
    Type(p, "hello");
    Tap(menu::kDown);   // typing: the focus and lists stay
    EXPECT_EQ(Main(p).GetFocus(), u32(CLobbyMainScene::kFocusChat));
    game.Input().SetKey(lobby_scene::kLeftShiftKey, true);
    Enter();
    game.Input().SetKey(lobby_scene::kLeftShiftKey, false);
    game.Frames(30);
    EXPECT_EQ(p.Locked([&] { return p.Context().lobbyChat.count; }), 0u);
    EXPECT_EQ(p.client.GetImeInput()->GetTextString(), "hello");
    Enter();
    ASSERT_TRUE(FramesUntil([&] { return p.Locked([&] { return p.Context().lobbyChat.count; }) == 1; }));
    EXPECT_EQ(p.Locked([&] { return std::string(p.Context().lobbyChat.Speaker(0)); }), "Alice");
    EXPECT_EQ(p.Locked([&] { return std::string(p.Context().lobbyChat.Text(0)); }), "hello") << server.Log();
    EXPECT_TRUE(server.WaitLog("chat Alice"));
    game.Frame();
    const std::vector<std::string> drawn = Drawn(scene_data::LobbyMainLayers());
    EXPECT_EQ(Count(drawn, "Select2"), 1u);
    EXPECT_EQ(Count(drawn, "chat_bar2"), 0u);   // one line: a range of 0
}

// The lobby menu (25) and "NetworkEnd" (21); "new room" last, as it leaves
// the room creation window open.
TEST_F(LobbyMainRun, MenuAnswers)
{
    Player& p = LogIn();
    Tap(menu::kStart);
    EXPECT_EQ(p.MessageCode(), CLobbyMainScene::kLobbyMenu);
    auto* create = p.Screen<CLobbyRoomCreate>(LobbyLayer::kRoomCreate);
    struct Case {
        u32 code, answer;
        bool creates;
        u32 shown, exit;
    };
    const Case cases[] = {
        {CLobbyMainScene::kLobbyMenu, 1, false, CLobbyMainScene::kNetworkEnd, 0},
        {CLobbyMainScene::kNetworkEnd, 0, false, CLobbyMainScene::kLobbyMenu, 0},
        {CLobbyMainScene::kNetworkEnd, 1, false, CLobbyMainScene::kLobbyMenu, 1},
        {CLobbyMainScene::kLobbyMenu, 0, true, CLobbyMainScene::kLobbyMenu, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code * 10 + c.answer);
        p.Message().Show(CLobbyMainScene::kLobbyMenu, &Main(p));
        u32 answer = c.answer;
        Main(p).OnMessage(c.code, reinterpret_cast<intptr_t>(&answer));
        EXPECT_EQ(create->IsOpen(), c.creates);
        EXPECT_EQ(p.MessageCode(), c.shown);
        EXPECT_EQ(p.client.GetExitRequest(), c.exit);
    }
    EXPECT_EQ(create->GetMode(), u32(CLobbyRoomCreate::kNewRoom));
}

// Keys pressed in one frame each take their step, in order: a move and
// decide ask for the moved-to room (room 2 has a password: its entry shows
// with its id), a move and the menu button move and open the menu, a turn
// and decide ask for the user the turn lands on.
TEST_F(LobbyMainRun, AMoveOrTurnAndDecideOrMenuInOneFrameTakeBothSteps)
{
    Player& p = LogIn();
    Add(p, lobby::kRoomsAdded, RoomEntries(1, 3, 2));
    const auto together = [&](std::vector<u32> codes) {
        for (u32 code : codes) game.Hold(code, true);
        game.Frame();
        for (u32 code : codes) game.Hold(code, false);
        game.Frame();
    };
    const auto clear = [&] {
        p.client.ReadLocked([&] { p.Message().Show(CLobbySceneMessage::kNone, nullptr); });
        game.Frame();
    };
    together({menu::kDown, menu::kDecide});
    EXPECT_EQ(Main(p).Rooms().selected, 1u);
    ASSERT_EQ(p.MessageCode(), CLobbyMainScene::kPasswordEntry);
    EXPECT_EQ(p.Message().GetRecord(CLobbyMainScene::kPasswordEntry).value, 2u);
    clear();
    together({menu::kUp, menu::kStart});
    EXPECT_EQ(Main(p).Rooms().selected, 0u);
    EXPECT_EQ(p.MessageCode(), CLobbyMainScene::kLobbyMenu);
    clear();
    together({menu::kLeft, menu::kDecide});
    EXPECT_EQ(Main(p).GetFocus(), u32(CLobbyMainScene::kFocusUsers));
    EXPECT_TRUE(server.WaitLog("message 1015 4"));
    EXPECT_TRUE(FramesUntil([&] { return p.MessageCode() == kEventDone; })) << p.MessageCode();
    clear();
    p.client.ReadLocked([&] { p.Context().userInformation->Hide(); });
    together({menu::kRight, menu::kDecide});   // the users' right wraps to the rooms
    EXPECT_EQ(Main(p).GetFocus(), u32(CLobbyMainScene::kFocusRooms));
    EXPECT_TRUE(server.WaitLog("message 1009 4"));
}

}  // namespace ORV_TEST_FILE_ID
