// The network scene in the headless game: what it hands the lobby client
// and writes back, its hosted child's hand-overs, its way to the title, the
// battle set-up it starts, the 4:3 picture, and the peer messages it takes,
// drops or closes on.
#include "game/network/tests/NetworkSceneRun.h"

#include "game/battle/scene/BattleFlow.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/LockstepRecords.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/data/SaveRecord.h"
#include "game/network/LobbyRoom.h"
#include "game/network/NetClient.h"
#include "game/network/PeerWire.h"
#include "engine/graphics/FontTexture.h"
#include "engine/platform/app/ImeInput.h"
#include "host/window/Messages.h"
#include "game/scenes/CharaSelect.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/OptionSelect.h"
#include "game/scenes/tests/DrawnSprites.h"
#include "game/scenes/TitleScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace netscene;
using namespace netscene_test;

IpAddressEntry Address(const char* a, const char* b, const char* c, const char* d)
{
    IpAddressEntry e{};
    const char* parts[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) std::strncpy(e.octet[i], parts[i], 3);
    return e;
}

bool SameEntries(const std::vector<IpAddressEntry>& a, std::initializer_list<IpAddressEntry> b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
               return std::memcmp(&x, &y, sizeof x) == 0;
           });
}

TEST(NetworkScene, LoadHandsTheSettingsOverAndReleaseWritesThemBack)
{
    SceneRun run;
    run.realScreens = true;
    ASSERT_TRUE(run.game.Started());
    run.game.App().GetSaveRecord()->SetFlagByte(7);
    ASSERT_TRUE(run.Enter([](CSaveConfig& config) {
        ConfigNetwork& net = *config.GetNetworkSettings();
        std::strcpy(net.lobbyId, "alice");
        std::strcpy(net.connectId, "direct-alice");
        net.connect[0] = Address("127", "000", "000", "001");
        net.useUpnp = 1;
        config.AddAllowIp(Address("192", "168", "*", "*"));
        config.AddDenyIp(Address("010", "*", "*", "001"));
        config.AddDenyIp(Address("*", "*", "*", "*"));
    }));
    CLobbyClient& lobby = run.Lobby();
    EXPECT_EQ(lobby.GetPlayRecord(), 7u);
    EXPECT_STREQ(lobby.GetLobbyId(), "alice");
    EXPECT_STREQ(lobby.GetAddressId(), "direct-alice");
    EXPECT_STREQ(lobby.GetAddressList()[0].octet[0], "127");
    EXPECT_TRUE(lobby.GetUPnP());
    EXPECT_TRUE(SameEntries(lobby.GetAllowList(), {Address("192", "168", "*", "*")}));
    EXPECT_TRUE(SameEntries(lobby.GetDenyList(), {Address("010", "*", "*", "001"), Address("*", "*", "*", "*")}));
    // The screens have them from their Load on.
    ASSERT_TRUE(run.screenSet);
    EXPECT_TRUE(SameEntries(run.screenSet->Context().allowList, {Address("192", "168", "*", "*")}));
    EXPECT_EQ(run.screenSet->Context().denyList.size(), 2u);
    EXPECT_EQ(run.game.App().GetImeInput(), lobby.GetImeInput());
    EXPECT_TRUE(run.scene->GetBackground());

    // What the lobby changed goes back into the saves when the scene goes.
    lobby.SetLobbyId("carol");
    lobby.SetAddressId("direct-carol");
    lobby.GetAddressList()[23] = Address("010", "000", "000", "007");
    lobby.SetPlayRecord(9);
    run.game.Frames(3);
    run.game.App().ChangeScene(new menu_run::CIdleScene, 0);
    const ConfigNetwork& saved = *run.game.App().GetSaveConfig()->GetNetworkSettings();
    EXPECT_STREQ(saved.lobbyId, "carol");
    EXPECT_STREQ(saved.connectId, "direct-carol");
    EXPECT_STREQ(saved.connect[0].octet[0], "127");
    EXPECT_STREQ(saved.connect[23].octet[3], "007");
    EXPECT_EQ(run.game.App().GetSaveRecord()->GetFlagByte(), 9u);
    EXPECT_EQ(run.game.App().GetImeInput(), nullptr);
}

TEST(NetworkScene, MusicFollowsThePlayBgmFlagBackInTheLobby)
{
    for (u32 flag : {0u, 1u}) {
        ChildDouble::Log log;   // outlives the scene
        SceneRun run;
        ASSERT_TRUE(run.Enter([flag](CSaveConfig& c) { c.GetNetworkSettings()->playBgm = flag; }));
        EXPECT_EQ(menu_run::Playing(kMusic), flag == 1) << flag;
        run.Lobby().SetPlayStateRaw(1);
        run.scene->SetChildScene(new ChildDouble(&log), kHostedSelectMode);
        run.scene->GetMusic()->StopAll(1);
        run.game.Frame();
        EXPECT_FALSE(menu_run::Playing(kMusic)) << flag;
        // The child leaves for the lobby: play state 0, music as configured.
        EXPECT_EQ(run.scene->DropBattle(), 0);
        EXPECT_EQ(run.Lobby().GetPlayState(), 0u);
        EXPECT_EQ(log.deleted, 1u);
        EXPECT_EQ(menu_run::Playing(kMusic), flag == 1) << flag;
    }
}

TEST(NetworkScene, LobbyViewportIsCentredFourToThree)
{
    const struct {
        u32 width, height;
        Viewport expected;
    } rows[] = {
        {1920, 1080, {240, 0, 1440, 1080}},
        {1024, 768, {0, 0, 1024, 768}},
        {720, 480, {40, 0, 640, 480}},
        {1024, 1280, {0, 0, 1024, 1280}},   // taller: the whole back buffer
        {0, 480, {0, 0, 0, 480}},
    };
    for (const auto& r : rows) {
        const Viewport v = LobbyViewport(r.width, r.height);
        EXPECT_EQ(v.x, r.expected.x) << r.width << "x" << r.height;
        EXPECT_EQ(v.width, r.expected.width) << r.width << "x" << r.height;
        EXPECT_EQ(v.height, r.expected.height) << r.width << "x" << r.height;
    }
}

TEST(NetworkScene, LobbyDrawsInItsViewportOnTheDevice)
{
    const struct {
        u8 screenSize;
        u32 x, width, height;
    } rows[] = {{8, 240, 1440, 1080}, {2, 0, 1024, 768}};
    for (const auto& r : rows) {
        game_test::DriverOptions options = menu_run::Options([&r](CSaveConfig& c) {
            c.GetGraphicsSettings()->screenSize = r.screenSize;
        });
        SceneRun run(options);
        ASSERT_TRUE(run.Enter());
        run.game.Frame();
        bool found = false;
        for (const host::render::Call& call : run.game.RenderLog()) {
            if (call.op != "SetViewport" || call.U32("width") != r.width) continue;
            found = true;
            EXPECT_EQ(call.U32("x"), r.x);
            EXPECT_EQ(call.U32("height"), r.height);
        }
        EXPECT_TRUE(found) << int(r.screenSize);
        std::lock_guard lock(run.screens.mutex);
        EXPECT_NE(std::find(run.screens.calls.begin(), run.screens.calls.end(), "draw 0"), run.screens.calls.end());
    }
}

// The title's Network item through the factory the game registers, and
// back to the title on the lobby's exit request with the cursor on it.
std::unique_ptr<host::net::Net> g_titleNet;
CScene* MakeLoopbackScene() { return new CNetworkScene(LoopbackOptions(g_titleNet.get(), 1, nullptr)); }

TEST(NetworkScene, TheTitlesNetworkItemStartsNetworkPlayAndComesBack)
{
    g_titleNet = host::net::CreatePosixNet(net_test::Loopback(1));
    SetNetworkSceneFactory(&MakeLoopbackScene);
    {
        SceneRun run;
        ASSERT_TRUE(run.FromTitle());
        run.game.Frames(5);
        run.Lobby().SetExitRequest(1);
        run.game.Frame();
        EXPECT_TRUE(menu_run::BackOnTitleAt(run.game, title::kNetwork));
    }
    SetNetworkSceneFactory(nullptr);
    g_titleNet.reset();
}

// ---------------------------------------------------------------- the child

TEST(NetworkScene, ChildHandsOverInsideItsUpdateAndIsNeverTouchedAgain)
{
    ChildDouble::Log first, second;   // outlives the scene
    ChildDouble::Log failing;   // outlives the scene
    SceneRun run;
    ASSERT_TRUE(run.Enter());
    run.Lobby().SetPlayStateRaw(1);
    auto* child = new ChildDouble(&first);
    CNetworkScene* scene = run.scene;
    child->onUpdate = [scene, &second] {
        // As the hosted scenes do: hand over and return at once.
        return scene->SetChildScene(new ChildDouble(&second), kHostedOptionMode);
    };
    scene->SetChildScene(child, kHostedSelectMode);
    run.game.Frame();
    EXPECT_EQ(first.updates, 1u);
    EXPECT_EQ(first.deleted, 1u);
    EXPECT_EQ(scene->GetChildMode(), kHostedOptionMode);
    run.game.Frame();
    EXPECT_EQ(second.updates, 1u);
    EXPECT_GE(second.draws, 1u);

    // A Load that fails hosts nothing: back to the room's screen.
    auto* next = new ChildDouble(&second);
    next->onUpdate = [scene, &failing] {
        return scene->ChangeChildScene(new ChildDouble(&failing, 0), kHostedBattleMode, {});
    };
    scene->SetChildScene(next, kHostedOptionMode);
    run.game.Frame();
    EXPECT_EQ(failing.loads, 1u);
    EXPECT_EQ(failing.deleted, 1u);
    EXPECT_EQ(failing.updates, 0u);
    EXPECT_EQ(scene->GetChild(), nullptr);
    EXPECT_EQ(scene->GetChildMode(), kHostedLobbyMode);
    EXPECT_EQ(run.Lobby().GetPlayState(), 0u);
    EXPECT_EQ(run.Lobby().GetScreen(), u32(LobbyLayer::kRoom));
    run.game.Frames(2);
    EXPECT_TRUE(run.Current());
}

// A battle's rematch asks the game whether the host's lobby client is still
// in a room: the game asks the network scene above the battle, which reads
// its lobby client's screen.
// What the running child asks for waits for its Update to end, then goes in
// order: the old child's release has ended before the new one's Load starts
// (a loading screen starts its thread there), with the block the child built
// on its own stack.
TEST(NetworkScene, TheOldChildIsGoneBeforeTheNewOneLoads)
{
    struct Block {
        u32 word;
    };
    ChildDouble::Log first, second;   // outlive the scene
    SceneRun run;
    ASSERT_TRUE(run.Enter());
    run.Lobby().SetPlayStateRaw(1);
    CNetworkScene* scene = run.scene;
    u32 deletedAtLoad = 9, word = 0;
    auto* child = new ChildDouble(&first);
    child->onUpdate = [&] {
        auto* next = new ChildDouble(&second);
        next->onLoad = [&](intptr_t block) {
            deletedAtLoad = first.deleted;
            word = block ? reinterpret_cast<const Block*>(block)->word : 0;
        };
        const Block block{7};
        return scene->ChangeChildScene(next, kHostedBattleMode, block);
    };
    scene->SetChildScene(child, kHostedOptionMode);
    run.game.Frame();
    EXPECT_EQ(first.updates, 1u);
    EXPECT_EQ(second.loads, 1u);
    EXPECT_EQ(deletedAtLoad, 1u);
    EXPECT_EQ(word, 7u);
    EXPECT_EQ(second.deleted, 0u);
    EXPECT_EQ(scene->GetChildMode(), kHostedBattleMode);
    run.game.Frame();
    EXPECT_EQ(second.updates, 1u);
}

TEST(NetworkScene, TheBattleFlowReadsTheLobbyClientsScreen)
{
    SceneRun run;
    ASSERT_TRUE(run.Enter());
    IBattleFlow* flow = run.game.App().Flow();
    ASSERT_NE(flow, nullptr);
    for (LobbyLayer screen : {LobbyLayer::kConnectOptions, LobbyLayer::kLogin, LobbyLayer::kRoom}) {
        run.Lobby().SetScreen(u32(screen));
        EXPECT_EQ(flow->GetLobbyState(), u32(screen));
    }
}

TEST(NetworkScene, ToTheTitleFromItsOwnUpdate)
{
    const struct {
        const char* name;
        bool end, exit, hosted;
    } rows[] = {
        {"end request while hosting", true, false, true},
        {"end request in the lobby", true, false, false},
        {"the lobby's exit request", false, true, false},
    };
    for (const auto& r : rows) {
        ChildDouble::Log log;   // outlives the scene
        SceneRun run;
        ASSERT_TRUE(run.Enter());
        if (r.hosted) {
            run.Lobby().SetPlayStateRaw(1);
            run.scene->SetChildScene(new ChildDouble(&log), kHostedBattleMode);
        }
        if (r.end) run.scene->SetEndRequest(1);
        if (r.exit) run.Lobby().SetExitRequest(1);
        run.game.Frame();
        EXPECT_TRUE(menu_run::BackOnTitleAt(run.game, kTitleNetworkItem)) << r.name;
        // The end request wins: the child got no further update.
        EXPECT_EQ(log.updates, 0u) << r.name;
        EXPECT_EQ(log.deleted, r.hosted ? 1u : 0u) << r.name;
    }
}

TEST(NetworkScene, BattleSetUpOnlyForAMemberIndexThatFits)
{
    const struct {
        const char* name;
        i16 count;
        i32 own;
        bool host;
        bool builds;
    } rows[] = {
        {"host", 2, 0, true, true},
        {"guest", 3, 2, false, true},
        {"own index past the members", 2, 2, false, false},
        {"own index past the entries", 4, 4, false, false},
        {"index 0 on a guest", 2, 0, false, false},
        {"a host not at 0", 2, 1, true, false},
        {"negative", 2, -1, false, false},
    };
    for (const auto& r : rows) {
        SceneRun run;
        ASSERT_TRUE(run.Enter([](CSaveConfig& c) { c.GetNetworkSettings()->keyResponse = 3; }));
        run.Room(r.count, r.own, r.host);
        run.Lobby().SetPlayStateRaw(1);
        run.game.Frame();
        auto* select = dynamic_cast<CCharaSelect*>(run.scene->GetChild());
        EXPECT_EQ(select != nullptr, r.builds) << r.name;
        if (!r.builds) {
            EXPECT_EQ(run.Lobby().GetPlayState(), 0u) << r.name;
            EXPECT_EQ(run.Lobby().GetScreen(), u32(LobbyLayer::kRoom)) << r.name;
            EXPECT_EQ(run.scene->GetChildMode(), 0u) << r.name;
            continue;
        }
        EXPECT_EQ(run.scene->GetChildMode(), kHostedSelectMode);
        const CBattleSetup* setup = select->GetSetup();
        ASSERT_TRUE(setup);
        EXPECT_EQ(setup->networkMode, 1u);
        EXPECT_EQ(setup->localEntry, u32(r.own));
        EXPECT_EQ(setup->option.inputDelay & 0xFF, 3u);
        EXPECT_EQ(setup->netHost, run.Lobby().GetNetHost());
        EXPECT_EQ(setup->lobbyClient, &run.Lobby());
        for (u32 i = 0; i < 4; ++i) {
            EXPECT_EQ(setup->entries[i].kind, i < u32(r.count) ? i : CBattleEntry::kKindComputer) << r.name << i;
            EXPECT_STREQ(setup->entries[i].name, i < u32(r.count) ? ("M" + std::to_string(i)).c_str() : "");
        }
    }
}

// ---------------------------------------------------------------- peer messages

TEST(NetworkScenePeers, HostOnlyTypesAreTheTablesRoomHostTypesAndTheSelectWords)
{
    std::set<i32> hostOnly;
    size_t count = 0;
    const peer::TypeRule* rules = peer::TypeRules(&count);
    for (size_t i = 0; i < count; ++i)
        if (IsHostOnlyType(rules[i].type)) hostOnly.insert(rules[i].type);
    EXPECT_EQ(hostOnly, (std::set<i32>{1008, 1025, 1027, 10002, 10004, 10005, 10008, 10009}));
}

TEST(NetworkScenePeers, EveryTypeAgainstTheTableOnBothSides)
{
    size_t count = 0;
    const peer::TypeRule* rules = peer::TypeRules(&count);
    for (size_t i = 0; i < count; ++i) {
        const peer::TypeRule& rule = rules[i];
        for (bool host : {true, false}) {
            const bool mine = host ? !IsHostOnlyType(rule.type) : rule.sender != peer::Sender::kMember;
            const Verdict fits = mine ? Verdict::kTake : Verdict::kDrop;
            EXPECT_EQ(CheckPeerMessage(rule.type, rule.minLength, host), fits) << rule.type << " " << host;
            EXPECT_EQ(CheckPeerMessage(rule.type, rule.maxLength, host), fits) << rule.type << " " << host;
            EXPECT_EQ(CheckPeerMessage(rule.type, rule.maxLength + 1, host), Verdict::kClose) << rule.type;
            if (rule.minLength > 0) {
                EXPECT_EQ(CheckPeerMessage(rule.type, rule.minLength - 1, host), Verdict::kClose) << rule.type;
            }
        }
    }
    EXPECT_EQ(CheckPeerMessage(4242, 4, true), Verdict::kIgnore);
    EXPECT_EQ(CheckPeerMessage(-1, 0, false), Verdict::kIgnore);
}

TEST(NetworkScenePeers, MessagesReachTheChildWithTheirLengthOrAreDroppedOrClose)
{
    ChildDouble::Log log;   // outlives the scene
    SceneRun run;
    ASSERT_TRUE(run.Enter());
    CRandom random;
    CNetClient peer("127.0.0.9", random);
    std::vector<u8> body(1404, 0x5A);
    CNetworkScene& scene = *run.scene;

    // No child: a battle message goes nowhere, the connection stays.
    run.Room(2, 0, true);
    EXPECT_EQ(scene.OnPeerMessage(&peer, body.data(), 10007, 100), 1);
    EXPECT_EQ(scene.GetDropped(), 1u);

    run.Lobby().SetPlayStateRaw(1);
    scene.SetChildScene(new ChildDouble(&log), kHostedBattleMode);
    const struct {
        const char* name;
        bool host;
        i32 type;
        u32 length;
        i32 result;
        bool handed;
    } rows[] = {
        {"player data, its own length", true, 10003, 377, 1, true},
        {"empty player data, handed as a body", true, 10003, 0, 1, true},
        {"an input at the host", true, 10007, 120, 1, true},
        {"a guest's battle end at the host", true, 10004, 4, 1, false},
        {"a guest's option at the host", true, 10002, 56, 1, false},
        {"a guest's leave word at the host", true, 10005, 4, 1, false},
        {"a guest's bundle at the host", true, 10008, 40, 1, false},
        {"a guest's departure at the host", true, 10009, 4, 1, false},
        {"the host's battle end at a guest", false, 10004, 4, 1, true},
        {"the host's departure at a guest", false, 10009, 4, 1, true},
        {"a card one byte short", true, 10001, 115, 0, false},
        {"a departure of 5 bytes", false, 10009, 5, 0, false},
        {"player data past its bound", false, 10003, 1405, 0, false},
        {"a chat line cut short", true, 1021, 280, 0, false},
    };
    for (const auto& r : rows) {
        run.Lobby().SetRoomHost(r.host, r.host ? 0 : 1);
        log.messages.clear();
        std::vector<u8> sent(body.begin(), body.begin() + std::min<size_t>(r.length, body.size()));
        sent.resize(r.length, 0x5A);
        EXPECT_EQ(scene.OnPeerMessage(&peer, sent.data(), r.type, r.length), r.result) << r.name;
        ASSERT_EQ(log.messages.size(), r.handed ? 1u : 0u) << r.name;
        if (r.handed) {
            EXPECT_EQ(log.messages[0].first, u32(r.type)) << r.name;
            EXPECT_EQ(log.messages[0].second, sent) << r.name;
        }
    }

    // A message the child refuses as malformed closes its sender; one of a
    // type the child does not take goes on.
    run.Lobby().SetRoomHost(true, 0);
    const struct {
        u32 answer;
        i32 result;
    } refusals[] = {{0, 0}, {IPeerMessageSink::kPeerMessageNotMine, 1}};
    for (const auto& r : refusals) {
        log.accept = r.answer;
        log.messages.clear();
        const u32 dropped = scene.GetDropped();
        EXPECT_EQ(scene.OnPeerMessage(&peer, body.data(), 10007, 10), r.result) << r.answer;
        EXPECT_EQ(log.messages.size(), 1u);
        EXPECT_EQ(scene.GetDropped(), dropped + 1) << r.answer;
    }
    log.accept = 1;

    // The room's own messages go to the lobby client.
    run.Lobby().SetRoomHost(false, 1);
    const u8 state[4] = {0, 0, 0, 0};
    EXPECT_EQ(scene.OnPeerMessage(&peer, state, 1008, 4), 1);
    EXPECT_EQ(run.Lobby().GetPlayState(), 0u);
    run.Lobby().SetRoomHost(true, 0);
    EXPECT_EQ(scene.OnPeerMessage(&peer, body.data(), 1021, 281), 1);
    EXPECT_EQ(scene.OnPeerMessage(&peer, state, 1008, 4), 1);   // a guest's play state: dropped
    EXPECT_TRUE(lobby_test::Contains(run.screens.mutex, run.screens.calls, "room-chat 281"));
}

// A battle still loading keeps what the peers send for its lockstep, up to
// a bound on what it holds; past it a message is dropped and its sender
// stays connected.
TEST(NetworkScenePeers, ABattleStillLoadingDropsAFloodPastItsBoundAndKeepsTheSender)
{
    SceneRun run;
    ASSERT_TRUE(run.Enter());
    CRandom random;
    CNetClient peer("127.0.0.9", random);
    CNetworkScene& scene = *run.scene;
    run.Room(2, 0, true);
    run.Lobby().SetPlayStateRaw(1);
    run.Lobby().SetRoomHost(true, 0);
    auto* battle = new CBattleScene();   // not loaded yet
    scene.SetChildScene(battle, kHostedBattleMode);
    const std::vector<u8> input(kLockstepBufferBytes, 0x5A);
    const size_t cost = CBattleScene::kEarlyMessageCost + input.size();
    const size_t kept = CBattleScene::kMaxEarlyBytes / cost;
    const u32 dropped = scene.GetDropped();
    for (size_t i = 0; i < kept; ++i) ASSERT_EQ(scene.OnPeerMessage(&peer, input.data(), 10007, u32(input.size())), 1);
    EXPECT_EQ(battle->EarlyMessageCount(), kept);
    EXPECT_EQ(scene.GetDropped(), dropped);
    for (u32 i = 0; i < 3; ++i) EXPECT_EQ(scene.OnPeerMessage(&peer, input.data(), 10007, u32(input.size())), 1);
    EXPECT_EQ(battle->EarlyMessageCount(), kept);
    EXPECT_EQ(scene.GetDropped(), dropped + 3);
}

TEST(NetworkScenePeers, ALostMemberReachesTheChildAsItsEntry)
{
    ChildDouble::Log log;   // outlives the scene
    SceneRun run;
    ASSERT_TRUE(run.Enter());
    CRandom random;
    CNetClient lost("127.0.0.9", random), stranger("127.0.0.10", random);
    run.Room(3, 0, true);
    std::strcpy(run.Lobby().MemberTable().members[2].peerId, lost.GetPeerId());
    run.Lobby().SetPlayStateRaw(1);
    run.scene->SetChildScene(new ChildDouble(&log), kHostedSelectMode);
    run.scene->OnPeerDisconnect(&stranger);   // refused at the door: played nothing
    run.scene->OnPeerDisconnect(&lost);
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0].first, 10009u);
    EXPECT_EQ(log.messages[0].second, (std::vector<u8>{2, 0, 0, 0}));
    EXPECT_EQ(lobby_test::Contains(run.screens.mutex, run.screens.calls, "peer-left"), true);
}

// A hosted select dropped with its chat line open (the room gone under a
// member: its play state falls to 0) leaves the lobby's entry off and
// empty: the room screen takes no half-typed line.
TEST(NetworkScene, ASelectDroppedMidLineLeavesTheEntryOffAndEmpty)
{
    for (const u32 mode : {kHostedSelectMode, kHostedOptionMode}) {
        SCOPED_TRACE(mode);
        SceneRun run;
        ASSERT_TRUE(run.Enter());
        run.Room(2, 1, false);
        run.Lobby().SetPlayStateRaw(1);
        run.game.Frame();
        ASSERT_NE(dynamic_cast<CCharaSelect*>(run.scene->GetChild()), nullptr);
        if (mode == kHostedOptionMode) {
            auto* setup = new CBattleSetup(run.game.App().GetSaveConfig());
            setup->networkMode = 1;
            setup->localEntry = 1;
            setup->netHost = run.Lobby().GetNetHost();
            setup->lobbyClient = &run.Lobby();
            MenuSetupArgs args;
            args.setup = setup;
            ASSERT_EQ(run.scene->ChangeChildScene(new COptionSelect, mode, args), 0);
        }
        const auto chatOpen = [&] {
            CScene* child = run.scene->GetChild();
            if (auto* chara = dynamic_cast<CCharaSelect*>(child)) return chara->IsChatOpen();
            auto* option = dynamic_cast<COptionSelect*>(child);
            return option && option->IsChatOpen();
        };
        for (u32 i = 0; i < 120 && !chatOpen(); ++i) {
            run.game.Input().SetKey(host::input::key::F1, i % 2 == 0);
            run.game.Frame();
        }
        run.game.Input().SetKey(host::input::key::F1, false);
        ASSERT_TRUE(chatOpen());
        run.game.Frame();
        CImeInput* ime = run.Lobby().GetImeInput();
        ASSERT_TRUE(ime->IsEnabled());
        ime->SetText("half");
        run.Lobby().SetPlayStateRaw(0);
        run.game.Frame();
        ASSERT_EQ(run.scene->GetChild(), nullptr);
        EXPECT_FALSE(ime->IsEnabled());
        EXPECT_EQ(ime->GetTotalLength(), 0u);
    }
}

// A room whose chat had the focus when the battle started has it when the
// room comes back, and the entry with it: typed text and Enter make the
// room's chat line. With the focus on the members the entry is off.
TEST(NetworkScene, BackFromABattleTheRoomsChatFocusHasTheEntry)
{
    SceneRun run;
    run.realScreens = true;
    ASSERT_TRUE(run.Enter());
    run.Room(2, 0, true);
    run.Lobby().SetScreen(u32(LobbyLayer::kRoom));
    run.game.Frame();
    auto* room = dynamic_cast<CLobbyRoomScene*>(run.screenSet->Scene(LobbyLayer::kRoom));
    ASSERT_NE(room, nullptr);
    run.game.Press(menu::kRight);
    ASSERT_EQ(room->GetFocus(), u32(CLobbyRoomScene::kChatFocus));
    CImeInput* ime = run.Lobby().GetImeInput();
    ASSERT_TRUE(ime->IsEnabled());
    run.Lobby().SetPlayStateRaw(1);
    run.game.Frame();
    ASSERT_NE(dynamic_cast<CCharaSelect*>(run.scene->GetChild()), nullptr);
    ASSERT_FALSE(ime->IsEnabled());
    run.Lobby().SetPlayStateRaw(0);
    run.game.Frames(2);
    ASSERT_EQ(run.scene->GetChild(), nullptr);
    EXPECT_EQ(room->GetFocus(), u32(CLobbyRoomScene::kChatFocus));
    EXPECT_TRUE(ime->IsEnabled());
    const host::window::Handle window = run.game.App().GetSystem()->GetWindowHandle();
    for (char c : std::string("back")) ime->HandleMessage(window, host::window::kWmChar, u8(c), 0);
    run.game.Frame();
    run.game.Input().SetKey(28, true);
    run.game.Frame();
    run.game.Input().SetKey(28, false);
    run.game.Frame();
    std::string last;
    run.Lobby().ReadLocked([&] {
        const auto& chat = run.screenSet->Context().roomChat;
        if (chat.count > 0) last = chat.Text(chat.count - 1);
    });
    EXPECT_EQ(last, "back");
    run.game.Press(menu::kLeft);
    EXPECT_EQ(room->GetFocus(), u32(CLobbyRoomScene::kMemberFocus));
    EXPECT_FALSE(ime->IsEnabled());
}

// A hosted select draws the room's chat log at its own place on a window
// of any size: (64, 640) times the layout scale, once.
TEST(NetworkScene, TheSelectsRoomChatStandsAtItsPlaceOnAnotherWindow)
{
    SceneRun run(menu_run::Options([](CSaveConfig& config) { config.GetGraphicsSettings()->screenSize = 7; }));
    run.realScreens = true;
    ASSERT_TRUE(run.Enter());
    ASSERT_EQ(run.game.App().GetClientHeight(), 720);
    const f32 s = 720.0f / 768.0f;
    run.Room(2, 1, false);
    run.Lobby().ReadLocked([&] { run.screenSet->Context().roomChat.Add("Ann", "hi"); });
    run.Lobby().SetPlayStateRaw(1);
    run.game.Frames(3);
    ASSERT_NE(dynamic_cast<CCharaSelect*>(run.scene->GetChild()), nullptr);
    const u64 font = run.game.Render().IdOf(menu::MenuFont()->GetTexture());
    // The log's glyphs: the lower band of the screen, above the entry's line.
    f32 top = 1e9f;
    for (const drawn_sprites::Sprite& glyph : drawn_sprites::Sprites(run.game, {}, nullptr))
        if (glyph.texture == font && glyph.y > 500.0f * s && glyph.y < 740.0f * s) top = std::min(top, glyph.y);
    EXPECT_NEAR(top, 640.0f * s, 1.5f);
}

// The room's chat over a hosted select is drawn in the text colour, not
// dimmed as a line not chosen: every glyph of the log, each line.
TEST(NetworkScene, TheSelectsRoomChatIsDrawnInTheTextColour)
{
    SceneRun run;
    run.realScreens = true;
    ASSERT_TRUE(run.Enter());
    run.Room(2, 1, false);
    run.Lobby().ReadLocked([&] {
        run.screenSet->Context().roomChat.Add("Ann", "hi");
        run.screenSet->Context().roomChat.Add("Bob", "ho");
    });
    run.Lobby().SetPlayStateRaw(1);
    run.game.Frames(3);
    ASSERT_NE(dynamic_cast<CCharaSelect*>(run.scene->GetChild()), nullptr);
    const u64 font = run.game.Render().IdOf(menu::MenuFont()->GetTexture());
    const f32 s = run.game.App().GetLayoutScale();
    std::map<u32, u32> colours;   // colour: glyphs of the log's band
    f32 top = 1e9f, bottom = 0.0f;
    for (const host::render::Call& call : run.game.RenderLog()) {
        SpriteVertex v[4];
        if (call.op != "DrawPrimitiveUP" || call.data.size() != sizeof v || u64(call.Number("texture")) != font)
            continue;
        std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
        const f32 y = std::min({v[0].y, v[1].y, v[2].y, v[3].y});
        if (y <= 600.0f * s || y >= 740.0f * s) continue;
        ++colours[v[0].colour];
        top = std::min(top, y), bottom = std::max(bottom, y);
    }
    EXPECT_GT(bottom - top, 12.0f * s) << "both lines";
    ASSERT_EQ(colours.size(), 1u);
    EXPECT_EQ(colours.begin()->first, 0xFFFFFFFFu);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
