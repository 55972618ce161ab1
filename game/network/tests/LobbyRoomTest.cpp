// The room screen alone: its handlers against damaged peer messages, the
// host's admission and battle start, and what it draws.
#include "engine/graphics/FontTexture.h"
#include "game/network/LobbyMain.h"
#include "game/network/LobbyRoom.h"
#include "game/network/LobbyRoomCreate.h"
#include "game/network/LobbyRoomInformation.h"
#include "game/network/LobbyUserInformation.h"
#include "game/network/NetClient.h"
#include "game/network/NetHost.h"
#include "game/network/RoomMembers.h"
#include "game/network/tests/LobbyScreensRun.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/tests/DrawnSprites.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <vector>

namespace lobby_room_test {

namespace ORV_TEST_FILE_ID {

using namespace lobby_run;

namespace {


RoomMemberTable TableOf(u32 count, const char* ownId)
{
    RoomMemberTable t;
    t.count = i16(count);
    for (u32 i = 0; i < count; ++i) {
        std::snprintf(t.members[i].name, sizeof t.members[i].name, "m%u", i);
        std::snprintf(t.members[i].peerId, sizeof t.members[i].peerId, "peer-%u", i);
    }
    if (count > 2) std::snprintf(t.members[2].peerId, sizeof t.members[2].peerId, "%s", ownId);
    return t;
}

bool Contains(const std::vector<std::string>& names, const char* name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

class LobbyRoom : public LobbyRun {
protected:
    void SetUp() override
    {
        LobbyRun::SetUp();
        AddPlayer(1, 1, "127.0.0.1", 9, kPeerPort, true);
    }
    Player& P() { return *players[0]; }
    // The top and height on the screen of the "Tab" sprite, last frame.
    std::pair<f32, f32> TabSpan(const std::vector<std::string>& layers)
    {
        for (const host::render::Call& call : game.RenderLog()) {
            SpriteVertex v[4];
            if (call.op != "DrawPrimitiveUP" || call.data.size() != sizeof v ||
                u64(call.Number("texture")) != game.Render().IdOf(texture->GetTexture()))
                continue;
            std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
            const f32 u = (v[0].u + v[1].u + v[2].u + v[3].u) / 4, w = (v[0].v + v[1].v + v[2].v + v[3].v) / 4;
            if (scene_data::LayerAt(layers, u, w, {}, texture->GetHeight()) != "Tab") continue;
            const auto [low, high] = std::minmax({v[0].y, v[1].y, v[2].y, v[3].y});
            return {low, high - low};
        }
        return {0.0f, 0.0f};
    }
    CLobbyRoomScene& Room() { return *P().Screen<CLobbyRoomScene>(LobbyLayer::kRoom); }
    RoomMemberTable& Members() { return *P().Context().state.members; }
    // A guest of a direct room that the host accepted as "own".
    void BeGuest()
    {
        Room().Reset();
        u8 reply[room::kJoinReplyBytes];
        room::JoinReply r;
        r.mark = room::kJoinMark;
        r.accepted = 1;
        std::strcpy(r.peerId, "own");
        room::WriteJoinReply(r, reply);
        ASSERT_EQ(Room().OnJoinReply(nullptr, reply, sizeof reply), 1);
    }
    // A lobby room of three with "own" in it, on the screen one frame.
    void ShowLobbyRoomOfThree()
    {
        Room().Reset();
        Room().SetLobbyMode(1);
        u8 bytes[room::kTableBytes];
        room::WriteMemberTable(TableOf(3, "own"), bytes);
        // A lobby room's rows come from the server's record: the direct table
        // is what a direct room shows.
        Room().OnMemberTable(nullptr, bytes, sizeof bytes);
        P().client.SetScreen(u32(LobbyLayer::kRoom));
        game.Frame();
    }
};

TEST_F(LobbyRoom, GuestTakesOnlyWholeTablesWithACountOfOneToEight)
{
    BeGuest();
    u8 bytes[room::kTableBytes];
    room::WriteMemberTable(TableOf(3, "own"), bytes);
    ASSERT_EQ(Room().OnMemberTable(nullptr, bytes, sizeof bytes), 1);
    EXPECT_EQ(P().client.GetOwnMemberIndex(), 2);
    struct Case { i16 count; u32 n; };
    const Case damaged[] = {{0, sizeof bytes}, {-3, sizeof bytes}, {9, sizeof bytes}, {4, sizeof bytes - 1}};
    for (const Case& c : damaged) {
        room::WriteMemberTable(TableOf(4, "own"), bytes);
        bytes[0] = u8(u16(c.count)), bytes[1] = u8(u16(c.count) >> 8);
        Room().OnMemberTable(nullptr, bytes, c.n);
        EXPECT_EQ(Members().count, 3) << c.count << " " << c.n;
    }
}

TEST_F(LobbyRoom, JoinRepliesThatAreShortOrOddSendThePlayerBack)
{
    struct Case { u8 mark; u32 lobbyMode, accepted, n, code; };
    const Case cases[] = {
        {'~', 0, 0, 54, CLobbyRoomScene::kJoinRefused}, {'x', 0, 1, 54, CLobbyRoomScene::kBadVersion},
        {'~', 1, 1, 54, CLobbyRoomScene::kModeMismatch}, {'~', 0, 2, 54, CLobbyRoomScene::kBadVersion},
        {'~', 0, 1, 53, CLobbyRoomScene::kBadVersion},
        // A refusal is told first, whatever the version; then the version,
        // then the mode.
        {'x', 0, 0, 54, CLobbyRoomScene::kJoinRefused}, {'x', 1, 1, 54, CLobbyRoomScene::kBadVersion},
    };
    for (const Case& c : cases) {
        Room().Reset();
        P().client.SetScreen(u32(LobbyLayer::kRoom));
        room::JoinReply r;
        r.mark = c.mark, r.lobbyMode = c.lobbyMode, r.accepted = c.accepted;
        u8 bytes[room::kJoinReplyBytes];
        room::WriteJoinReply(r, bytes);
        EXPECT_EQ(Room().OnJoinReply(nullptr, bytes, c.n), 0);
        EXPECT_TRUE(P().Message().IsCode(c.code)) << c.code;
        EXPECT_EQ(P().client.GetScreen(), u32(LobbyLayer::kConnectOptions));
    }
}

TEST_F(LobbyRoom, HostAdmitsUpToItsLimitAndNobodyWhileTheBattleStarts)
{
    struct Case { u16 limit; u32 playState; u32 admitted; };
    const Case cases[] = {{4, 0, 3}, {20, 0, 7}, {0xFFFF, 0, 7}, {8, 1, 0}};
    for (const Case& c : cases) {
        P().client.CreateRoomRecords(c.limit);
        P().client.SetPlayStateRaw(c.playState);
        Room().BecomeHost("host", nullptr);
        u32 admitted = 0;
        for (u32 i = 0; i < 12; ++i) {
            const std::string id = "peer" + std::to_string(i);
            admitted += u32(Room().OnPeerConnected("127.0.0.5", id.c_str()));
        }
        EXPECT_EQ(admitted, c.admitted) << c.limit << " " << c.playState;
        EXPECT_EQ(u32(Members().count), c.admitted + 1);
    }
    P().client.SetPlayStateRaw(0);
}

TEST_F(LobbyRoom, ResultsOutsideZeroToTwoAreIgnored)
{
    Room().BecomeHost("host", "hostid");
    Room().AddMemberResult(nullptr, 2);
    Room().AddMemberResult(nullptr, 5);
    Room().AddMemberResult("nobody", 1);
    EXPECT_EQ(Members().members[0].results[2], 1u);
    EXPECT_EQ(Members().members[0].results[0] + Members().members[0].results[1], 0u);
    EXPECT_EQ(Members().members[1].results[0], 0u);
}

TEST_F(LobbyRoom, BattleWithTheHostAloneAsksForAnotherPlayer)
{
    Room().BecomeHost("host", nullptr);
    const u32 option = 0, yes = 1;
    Room().OnMessage(CLobbyRoomScene::kDirectHostMenu, reinterpret_cast<intptr_t>(&option));
    EXPECT_TRUE(P().Message().IsCode(CLobbyRoomScene::kTooFew));
    Room().OnMessage(CLobbyRoomScene::kBattleStart, reinterpret_cast<intptr_t>(&yes));
    EXPECT_TRUE(P().Message().IsCode(CLobbyRoomScene::kTooFew));
    EXPECT_EQ(P().client.GetPlayState(), 0u);
}

TEST_F(LobbyRoom, DirectBattleStartStopsListeningBeforeAnnouncing)
{
    ASSERT_EQ(P().client.StartHostListener(), 1);
    P().client.SetRoomHost(true, 0);
    Room().BecomeHost("host", nullptr);
    ASSERT_EQ(Room().OnPeerConnected("127.0.0.5", "guest"), 1);
    const u32 yes = 1;
    Room().OnMessage(CLobbyRoomScene::kBattleStart, reinterpret_cast<intptr_t>(&yes));
    EXPECT_EQ(P().client.GetPlayState(), 1u);
    EXPECT_EQ(P().client.GetNetHost()->GetListenPort(), 0);
    EXPECT_EQ(Room().OnPeerConnected("127.0.0.6", "late"), 0);
}

TEST_F(LobbyRoom, NewestFirstChatOfAnEmptyOrShortLogStopsAtLineZero)
{
    Room().Reset();
    P().client.SetScreen(u32(LobbyLayer::kRoom));
    game.Frame();
    Room().DrawRoomChat(0, 0, 1);   // empty log: nothing read below line 0
    P().Context().roomChat.Add("a", "one");
    for (u32 top : {0u, 1u, 5u, 100u}) {
        const auto rows = lobby_scene::ChatRows(P().Context().roomChat, top, 8, 40, false);
        ASSERT_EQ(rows.size(), 2u) << top;
        EXPECT_EQ(rows[1], "one");
    }
}

TEST_F(LobbyRoom, DrawsMembersAndSlidesTheLobbyOverInFourTenths)
{
    const std::vector<std::string> layers = scene_data::LobbyRoomLayers();
    ShowLobbyRoomOfThree();
    auto drawn = Drawn(layers);
    EXPECT_TRUE(Contains(drawn, "bg02"));
    EXPECT_TRUE(Contains(drawn, "Select2"));
    EXPECT_TRUE(Contains(drawn, "tab_op"));
    EXPECT_FALSE(Contains(drawn, "Tab"));
    Key(CLobbyRoomScene::kF1Key);
    EXPECT_GT(Room().GetFade(), 0.0f);
    EXPECT_LT(Room().GetFade(), CLobbyRoomScene::kOverlaySeconds);
    drawn = Drawn(layers);
    EXPECT_TRUE(Contains(drawn, "Tab"));
    EXPECT_FALSE(Contains(drawn, "tab_op"));
    // Drawn where this frame's fade puts it (layout units: the tab's own
    // height gives the screen's scale).
    const auto [top, height] = TabSpan(layers);
    ASSERT_GT(height, 0.0f);
    EXPECT_NEAR(top / height * scene_data::kRoomTab.height,
                scene_data::kRoomTab.y - Room().GetFade() * 650.0f / CLobbyRoomScene::kOverlaySeconds, 0.5f);
    ASSERT_TRUE(FramesUntil([&] { return Room().GetFade() >= CLobbyRoomScene::kOverlaySeconds; }, 60));
    Key(CLobbyRoomScene::kF1Key);
    ASSERT_TRUE(FramesUntil([&] { return Room().GetFade() == 0.0f; }, 60));
    EXPECT_TRUE(Contains(Drawn(layers), "tab_op"));
}

// The room's help ticker can be read all the way round, as the lobby's:
// every 60 of its units at least an eighth of it is on the screen, and
// nothing drawn after it covers it there.
TEST_F(LobbyRoom, HelpTickerStaysInSightAllTheWayRound)
{
    const std::vector<std::string> layers = scene_data::LobbyRoomLayers();
    Room().Reset();
    Room().SetLobbyMode(1);
    P().client.SetScreen(u32(LobbyLayer::kRoom));
    const f32 screenRight = 1024.0f * game.App().GetLayoutScale();
    f32 last = 1.0e6f, sampled = 1.0e6f;
    u32 samples = 0;
    for (u32 i = 0; i < 5000; ++i) {
        game.Frame();
        const std::vector<drawn_sprites::Sprite> sprites =
            drawn_sprites::Sprites(game, layers, texture, scene_data::LobbyTextureSheets());
        const auto ticker = std::find_if(sprites.begin(), sprites.end(),
                                         [](const drawn_sprites::Sprite& d) { return d.layer == "help_room"; });
        ASSERT_NE(ticker, sprites.end());
        if (ticker->x > last) break;   // started over: the cycle is done
        last = ticker->x;
        if (sampled - ticker->x < 60.0f) continue;
        sampled = ticker->x;
        ++samples;
        const f32 left = std::max(ticker->x, 0.0f), right = std::min(ticker->x + ticker->w, screenRight);
        EXPECT_GE(right - left, ticker->w / 8) << "the ticker stands at " << ticker->x;
        for (auto later = ticker + 1; later != sprites.end(); ++later) {
            const bool overlaps = later->x < right && later->x + later->w > left && later->y < ticker->y + ticker->h &&
                                  later->y + later->h > ticker->y;
            EXPECT_FALSE(overlaps) << (later->layer.empty() ? "a text" : later->layer) << " covers the ticker at "
                                   << later->x << "," << later->y;
        }
    }
    EXPECT_GE(samples, 15u);
}

// F1's lobby slides up on its tab: all the way in, the tab covers the
// room, whose lists it hides, and the lobby's frames, lists and chat stand
// on it; half way, what the lobby draws is on the tab, below its top.
TEST_F(LobbyRoom, TheLobbyOverTheRoomStandsOnItsTab)
{
    const std::vector<std::string> layers = scene_data::LobbyRoomLayers();
    ShowLobbyRoomOfThree();
    Key(CLobbyRoomScene::kF1Key);
    const f32 s = game.App().GetLayoutScale();
    for (const bool whole : {false, true}) {
        SCOPED_TRACE(whole ? "all the way in" : "half way");
        if (whole) ASSERT_TRUE(FramesUntil([&] { return Room().GetFade() >= CLobbyRoomScene::kOverlaySeconds; }, 60));
        else ASSERT_TRUE(FramesUntil([&] { return Room().GetFade() >= CLobbyRoomScene::kOverlaySeconds / 2; }, 60));
        const std::vector<drawn_sprites::Sprite> sprites =
            drawn_sprites::Sprites(game, layers, texture, scene_data::LobbyTextureSheets());
        const auto tab = std::find_if(sprites.begin(), sprites.end(),
                                      [](const drawn_sprites::Sprite& d) { return d.layer == "Tab"; });
        ASSERT_NE(tab, sprites.end());
        EXPECT_LE(tab->x, 0.0f);
        EXPECT_GE(tab->x + tab->w, 1024.0f * s - 0.5f);
        EXPECT_GE(tab->y + tab->h, 768.0f * s - 0.5f);
        if (whole) {
            EXPECT_LE(tab->y, 0.5f);
            for (auto room = sprites.begin(); room != tab; ++room)
                EXPECT_GE(room->y + 0.5f, tab->y) << (room->layer.empty() ? "a text" : room->layer);
        }
        ASSERT_NE(tab + 1, sprites.end()) << "the lobby's panels";
        for (auto lobby = tab + 1; lobby != sprites.end(); ++lobby)
            EXPECT_GE(lobby->y + 0.5f, tab->y) << (lobby->layer.empty() ? "a text" : lobby->layer) << " at "
                                               << lobby->x << "," << lobby->y;
    }
}

// A direct room draws both scroll bars always, a fresh one too; a lobby
// room only the bars that scroll.
TEST_F(LobbyRoom, DirectRoomAlwaysDrawsItsScrollBars)
{
    const std::vector<std::string> layers = scene_data::LobbyRoomLayers();
    u8 bytes[room::kTableBytes];
    room::WriteMemberTable(TableOf(1, "own"), bytes);
    P().client.SetScreen(u32(LobbyLayer::kRoom));
    for (const u32 lobbyMode : {0u, 1u}) {
        SCOPED_TRACE(lobbyMode);
        Room().Reset();
        Room().SetLobbyMode(lobbyMode);
        ASSERT_TRUE(room::ReadMemberTable(bytes, sizeof bytes, &Members()));
        game.Frame();
        const auto drawn = Drawn(layers);
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), "chat_bar"), lobbyMode ? 0 : 1);
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), "chat_bar2"), lobbyMode ? 0 : 1);
    }
    Room().SetLobbyMode(0);
}

// A direct room draws each bar, even over an empty list, at its own list's
// top: the chat's at 474 / lines x the chat log's top, the members' at
// 542 / members x theirs (always 0: eight fit). Layout units below their
// places (346, 112) and (1004, 112). The log's top follows new lines while
// the newest eight show (past 8 lines: lines - 8 unless scrolled).
TEST_F(LobbyRoom, DirectRoomBarsStandAtTheirOwnListsTops)
{
    const std::vector<std::string> layers = scene_data::LobbyRoomLayers();
    const struct {
        u32 members, lines, downs;   // Down presses with the chat focused
        f32 chatY, memberY;
    } cases[] = {
        {0, 0, 0, 112.0f, 112.0f},
        {3, 5, 3, 112.0f + 474.0f / 5 * 3, 112.0f},
        {8, 10, 9, 112.0f + 474.0f / 10 * 9, 112.0f},
        {1, 10, 0, 112.0f + 474.0f / 10 * 2, 112.0f},
        {2, 30, 0, 112.0f + 474.0f / 30 * 22, 112.0f},
        {2, 8, 0, 112.0f, 112.0f},
        {2, 9, 0, 112.0f + 474.0f / 9 * 1, 112.0f},
    };
    P().client.SetScreen(u32(LobbyLayer::kRoom));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.members << " members, " << c.lines << " lines");
        Room().Reset();
        Room().SetLobbyMode(0);
        if (c.members) {
            u8 bytes[room::kTableBytes];
            room::WriteMemberTable(TableOf(c.members, "own"), bytes);
            ASSERT_TRUE(room::ReadMemberTable(bytes, sizeof bytes, &Members()));
        }
        for (u32 i = 0; i < c.lines; ++i) P().Context().roomChat.Add("a", "line");
        Press(menu::kRight);   // onto the chat
        for (u32 i = 0; i < c.downs; ++i) Press(menu::kDown);
        game.Frame();
        const auto chat = Corners(layers, "chat_bar");
        const auto members = Corners(layers, "chat_bar2");
        ASSERT_EQ(chat.size(), 1u);
        ASSERT_EQ(members.size(), 1u);
        EXPECT_NEAR(chat[0].first, 346.0f, 0.5f);
        EXPECT_NEAR(chat[0].second, c.chatY, 0.5f);
        EXPECT_NEAR(members[0].first, 1004.0f, 0.5f);
        EXPECT_NEAR(members[0].second, c.memberY, 0.5f);
        Press(menu::kLeft);
    }
}

TEST_F(LobbyRoom, DirectRoomDrawsOneRowPerMember)
{
    Room().Reset();
    u8 bytes[room::kTableBytes];
    P().client.SetScreen(u32(LobbyLayer::kRoom));
    u32 glyphs[2] = {};
    for (u32 k = 0; k < 2; ++k) {
        room::WriteMemberTable(TableOf(k == 0 ? 1 : 5, "own"), bytes);
        ASSERT_TRUE(room::ReadMemberTable(bytes, sizeof bytes, &Members()));
        game.Frame();
        for (const host::render::Call& call : game.RenderLog())
            glyphs[k] += call.op == "DrawPrimitiveUP" && u64(call.Number("texture")) != game.Render().IdOf(texture->GetTexture());
    }
    // "m0" against "m0".."m4": four rows more.
    EXPECT_GE(glyphs[1], glyphs[0] + 8);
}

TEST_F(LobbyRoom, ClosingTheRoomLeavesAnEmptyTableForTheNextOne)
{
    ASSERT_EQ(P().client.StartHostListener(), 1);
    P().client.SetRoomHost(true, 0);
    Room().BecomeHost("host", nullptr);
    ASSERT_EQ(Room().OnPeerConnected("127.0.0.5", "guest"), 1);
    const u32 yes = 1;
    Room().OnMessage(CLobbyRoomScene::kCloseRoom, reinterpret_cast<intptr_t>(&yes));
    EXPECT_EQ(P().client.GetScreen(), u32(LobbyLayer::kConnectOptions));
    EXPECT_EQ(Members().count, 0);
    EXPECT_EQ(Room().OwnPeerId()[0], 0);
}

// F1 in a lobby room: the lobby screen's panels slide up with the fade (its
// room rows at the room's offset), and the lobby screen takes the input.
TEST_F(LobbyRoom, LobbyPanelsSlideWithTheOverlayAndTakeTheInput)
{
    std::vector<u8> rooms(2 * lobby::kEntryBytes, 0);
    PutLe32(rooms.data(), 41);
    PutLe32(rooms.data() + lobby::kEntryBytes, 42);
    lobby::ScrambleLobby(rooms.data(), rooms.size(), P().client.GetPayloadKey());
    ASSERT_EQ(P().client.Dispatch(lobby::kRoomsAdded, lobby::kStatusSuccess, rooms.data(), u32(rooms.size())), 1);
    const std::vector<std::string> lobbyLayers = scene_data::LobbyMainLayers();
    // Where the lobby screen itself draws its first room row.
    P().client.SetScreen(u32(LobbyLayer::kLobby));
    game.Frame();
    const auto rest = Corners(lobbyLayers, "room_a");
    ASSERT_EQ(rest.size(), 2u);

    Room().SetLobbyMode(1);
    Room().BecomeHost("host", "hostid");
    P().client.SetScreen(u32(LobbyLayer::kRoom));
    game.Frame();
    EXPECT_TRUE(Corners(lobbyLayers, "room_a").empty());   // no panels before F1
    Key(CLobbyRoomScene::kF1Key);
    u32 slid = 0;
    for (u32 frame = 0; frame < 60 && slid < 2; ++frame, game.Frame()) {
        const f32 fade = Room().GetFade();
        const auto at = Corners(lobbyLayers, "room_a");
        ASSERT_EQ(at.size(), 2u) << fade;
        const f32 offset = fade / CLobbyRoomScene::kOverlaySeconds * -644.0f + 674.0f;
        EXPECT_NEAR(at[0].first, rest[0].first, 0.01f);
        EXPECT_NEAR(at[0].second - rest[0].second, offset, 0.01f) << fade;
        EXPECT_NEAR(at[1].second - at[0].second, CLobbyMainScene::kRowHeight, 0.01f);
        slid = fade >= CLobbyRoomScene::kOverlaySeconds ? slid + 1 : 0;
    }
    EXPECT_EQ(Room().GetFade(), CLobbyRoomScene::kOverlaySeconds);
    // The lobby's lists and focus move; the room's focus stays.
    auto* lobby = P().Screen<CLobbyMainScene>(LobbyLayer::kLobby);
    const u32 before = lobby->Rooms().selected;
    Press(menu::kDown);
    game.Frame();
    EXPECT_EQ(lobby->Rooms().selected, before + 1);
    Press(menu::kRight);
    game.Frame();
    EXPECT_EQ(lobby->GetFocus(), u32(CLobbyMainScene::kFocusChat));
    EXPECT_EQ(Room().GetFocus(), u32(CLobbyRoomScene::kMemberFocus));
}

// F1 again: the lobby slides away and the room takes the keys once more;
// the lobby screen's focus stays where it was left.
TEST_F(LobbyRoom, ClosingTheOverlayGivesTheKeysBackToTheRoom)
{
    Room().SetLobbyMode(1);
    Room().BecomeHost("host", "hostid");
    P().client.SetScreen(u32(LobbyLayer::kRoom));
    game.Frame();
    auto* lobby = P().Screen<CLobbyMainScene>(LobbyLayer::kLobby);
    Key(CLobbyRoomScene::kF1Key);
    ASSERT_TRUE(Room().OverlayShown());
    const u32 lobbyFocus = lobby->GetFocus();
    Press(menu::kRight);
    const u32 movedFocus = lobby->GetFocus();
    EXPECT_NE(movedFocus, lobbyFocus);
    EXPECT_EQ(Room().GetFocus(), u32(CLobbyRoomScene::kMemberFocus));

    Key(CLobbyRoomScene::kF1Key);
    EXPECT_FALSE(Room().OverlayShown());
    ASSERT_TRUE(FramesUntil([&] { return Room().GetFade() == 0.0f; }, 60));
    Press(menu::kRight);
    EXPECT_EQ(Room().GetFocus(), u32(CLobbyRoomScene::kChatFocus));
    EXPECT_EQ(lobby->GetFocus(), movedFocus);
}

// The room opens the other windows: decide on a direct member shows his
// entry; the host menu's room settings edit the room.
TEST_F(LobbyRoom, DecideOnADirectMemberAndRoomSettingsOpenTheirWindows)
{
    auto* information = P().Screen<CLobbyUserInformation>(LobbyLayer::kUserInformation);
    auto* create = P().Screen<CLobbyRoomCreate>(LobbyLayer::kRoomCreate);
    Room().SetLobbyMode(0);
    Room().BecomeHost("host", "hostid");
    ASSERT_EQ(P().client.StartHostListener(), 1);
    ASSERT_EQ(Room().OnPeerConnected("127.0.0.5", "guest"), 1);
    std::strcpy(Members().members[1].name, "guestname");
    P().client.SetScreen(u32(LobbyLayer::kRoom));
    Press(menu::kDown);
    game.Frame();
    Press(menu::kDecide);
    ASSERT_TRUE(information->IsOpen());
    EXPECT_EQ(information->UserId(), 0u);   // a member's entry, no lobby user
    information->Hide();

    const u32 settings = 1;
    Room().SetLobbyMode(1);
    Room().OnMessage(CLobbyRoomScene::kHostMenu, reinterpret_cast<intptr_t>(&settings));
    ASSERT_TRUE(create->IsOpen());
    EXPECT_EQ(create->GetMode(), u32(CLobbyRoomCreate::kExistingRoom));
    EXPECT_EQ(create->GetCursor(), i32(CLobbyRoomCreate::kLevel));
}

// Leaving the room or losing it shuts the user and room information windows.
TEST_F(LobbyRoom, LeavingOrLosingTheRoomClosesTheInformationWindows)
{
    auto* user = P().Screen<CLobbyUserInformation>(LobbyLayer::kUserInformation);
    auto* roomWindow = P().Screen<CLobbyRoomInformation>(LobbyLayer::kRoomInformation);
    CRandom random;
    CNetClient peer("127.0.0.2", random);
    const u32 yes = 1;
    const struct {
        const char* how;
        std::function<void()> act;
    } cases[] = {
        {"guest quits", [&] { Room().OnMessage(CLobbyRoomScene::kQuitRoom, reinterpret_cast<intptr_t>(&yes)); }},
        {"host closes", [&] { Room().OnMessage(CLobbyRoomScene::kCloseRoom, reinterpret_cast<intptr_t>(&yes)); }},
        {"direct host lost", [&] { Room().OnPeerLeft(&peer); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        BeGuest();
        P().client.SetScreen(u32(LobbyLayer::kRoom));
        user->OpenFromMember(Members().members[0]);
        roomWindow->Open(5);
        c.act();
        EXPECT_FALSE(user->IsOpen());
        EXPECT_FALSE(roomWindow->IsOpen());
        EXPECT_EQ(P().client.GetScreen(), u32(LobbyLayer::kConnectOptions));
    }
}

// A lobby room lists the members of the server's room record, each in his
// own row (one the user list does not hold leaves his empty), with the
// user's number signed; whether or not the host's table has them yet (a
// guest before the host's table: none).
TEST_F(LobbyRoom, LobbyRoomListsTheServersMembersEachInHisRow)
{
    std::vector<u8> users = lobby_test::UserEntryBytes(11, "ann", 0xFFFFFFFFu);
    const std::vector<u8> cat = lobby_test::UserEntryBytes(13, "cat", 5);
    users.insert(users.end(), cat.begin(), cat.end());
    lobby::ScrambleLobby(users.data(), users.size(), P().client.GetPayloadKey());
    ASSERT_EQ(P().client.Dispatch(lobby::kUsersAdded, lobby::kStatusSuccess, users.data(), u32(users.size())), 1);
    Room().Reset();
    Room().SetLobbyMode(1);
    lobby::LobbyRoomRecord* own = P().Context().state.ownRoom;
    ASSERT_NE(own, nullptr);
    PutLe16(own->data + lobby::kMemberBlockAt, 3);
    PutLe32(own->data + lobby::kHostEntryAt, 11);
    PutLe32(own->data + lobby::kMemberEntriesAt, 12);   // not in the user list
    PutLe32(own->data + lobby::kMemberEntriesAt + lobby::kEntryBytes, 13);
    P().client.SetScreen(u32(LobbyLayer::kRoom));
    game.Frame();
    // The font's glyphs in the member column, counted per row.
    const f32 s = game.App().GetLayoutScale();
    const u64 lobbyTexture = game.Render().IdOf(texture->GetTexture());
    std::map<i32, u32> rows;
    for (const host::render::Call& call : game.RenderLog()) {
        SpriteVertex v[4];
        if (call.op != "DrawPrimitiveUP" || call.data.size() != sizeof v || u64(call.Number("texture")) == lobbyTexture)
            continue;
        std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
        const f32 x = (v[0].x + v[1].x + v[2].x + v[3].x) / 4 / s, y = (v[0].y + v[1].y + v[2].y + v[3].y) / 4 / s;
        if (x < CLobbyRoomScene::kMemberX || x > 1000.0f) continue;
        ++rows[i32(std::floor((y - CLobbyRoomScene::kMemberY) / CLobbyRoomScene::kLineHeight))];
    }
    EXPECT_EQ(rows, (std::map<i32, u32>{{0, 7}, {2, 6}}));   // "ann(-1)", none, "cat(5)"
    // The selection moves over the record's three members.
    Press(menu::kDown);
    Press(menu::kDown);
    EXPECT_EQ(Room().GetSelected(), 2u);
}

// A long room chat shows from its own top, which followed the new lines:
// the newest eight, two rows each, not the oldest twelve.
TEST_F(LobbyRoom, LongChatShowsItsNewestLines)
{
    Room().Reset();
    P().client.SetScreen(u32(LobbyLayer::kRoom));
    for (u32 i = 0; i < 20; ++i) P().Context().roomChat.Add("a", ("line " + std::to_string(i)).c_str());
    ASSERT_EQ(P().Context().roomChat.top, 12u);
    game.Frame();
    const u64 font = game.Render().IdOf(menu::MenuFont()->GetTexture());
    std::set<i32> rows;   // the tops of the chat column's rows
    for (const host::render::Call& call : game.RenderLog()) {
        SpriteVertex v[4];
        if (call.op != "DrawPrimitiveUP" || call.data.size() != sizeof v || u64(call.Number("texture")) != font)
            continue;
        std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
        const f32 x = std::min({v[0].x, v[1].x, v[2].x, v[3].x}), y = std::min({v[0].y, v[1].y, v[2].y, v[3].y});
        if (x < 800.0f && y >= 100.0f && y < 600.0f) rows.insert(i32(std::lround(y)));
    }
    ASSERT_EQ(rows.size(), 16u);
    EXPECT_EQ(*rows.begin(), 112);
    EXPECT_EQ(*rows.rbegin(), 112 + 15 * 20);
}

// A lobby room lost under the lobby's lists (the server removes it, or the
// host kicks this player) opens the next room, hosted or joined, with the
// room shown and taking the keys.
TEST_F(LobbyRoom, ARoomLostUnderTheLobbyOpensTheNextOneShown)
{
    constexpr u32 kOwn = 7, kRoomId = 5, kOther = 9;
    const auto deliver = [&](u16 type, std::vector<u8> payload) {
        lobby::ScrambleLobby(payload.data(), payload.size(), P().client.GetPayloadKey());
        return P().client.Dispatch(type, lobby::kStatusSuccess, payload.data(), u32(payload.size()));
    };
    ASSERT_EQ(deliver(lobby::kHandshake, {'~', 0x51}), 1);
    ASSERT_EQ(deliver(lobby::kLoginResult, lobby_test::UserDetailBytes(kOwn, "me", "")), 1);
    const std::vector<u8> blockWithout = [&] {
        const std::vector<u8> d = lobby_test::RoomDataBytes(kRoomId, {kOther});
        return std::vector<u8>(d.begin() + lobby::kMemberBlockAt,
                               d.begin() + lobby::kMemberBlockAt + lobby::kMemberBlockBytes);
    }();
    const struct {
        const char* how;
        std::function<void()> lose;
        bool host;   // the next room: hosted, else joined
    } cases[] = {
        {"room removed, then hosts", [&] { ASSERT_EQ(deliver(lobby::kRoomRemoved, {kRoomId, 0, 0, 0}), 1); }, true},
        {"kicked, then joins", [&] { ASSERT_EQ(deliver(lobby::kMemberBlockKick, blockWithout), 1); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        ASSERT_EQ(deliver(lobby::kRoomsAdded, lobby_test::RoomEntryBytes(kRoomId)), 1);
        ASSERT_EQ(deliver(lobby::kRoomDetail, lobby_test::RoomDataBytes(kRoomId, {kOther, kOwn})), 1);
        Room().Reset();
        Room().SetLobbyMode(1);
        P().client.SetScreen(u32(LobbyLayer::kRoom));
        game.Frame();
        Key(CLobbyRoomScene::kF1Key);
        ASSERT_TRUE(FramesUntil([&] { return Room().GetFade() >= CLobbyRoomScene::kOverlaySeconds; }, 60));
        c.lose();
        ASSERT_EQ(P().client.GetScreen(), u32(LobbyLayer::kLobby));
        game.Frames(2);
        if (c.host) Room().BecomeHost("host", "hostid");
        else Room().Reset();   // what the join thread does first
        P().client.SetScreen(u32(LobbyLayer::kRoom));
        game.Frame();
        EXPECT_FALSE(Room().OverlayShown());
        EXPECT_EQ(Room().GetFade(), 0.0f);
        // The room's keys: right moves its own focus to its chat.
        Press(menu::kRight);
        EXPECT_EQ(Room().GetFocus(), u32(CLobbyRoomScene::kChatFocus));
        Press(menu::kRight);
        EXPECT_EQ(Room().GetFocus(), u32(CLobbyRoomScene::kMemberFocus));
    }
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace lobby_room_test
