#include "game/data/TensionFile.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/SelectMessages.h"
#include "game/scenes/tests/NetPlay.h"

#include "engine/core/Endian.h"
#include "engine/core/Random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace option_select_net_test {

namespace ORV_TEST_FILE_ID {

namespace {

using namespace option_select;
using game_test::GameDriver;
using Bytes = std::vector<u8>;

// A host (machine 0) and a client (machine 1) on their option selects, the
// relay's log cleared.
struct TwoOptionSelects : net_test::Room {
    net_test::FakeNetworkScene* net = nullptr;

    ::testing::AssertionResult Start()
    {
        if (auto started = net_test::Room::Start(true); !started) return started;
        net = &Room::net();
        net->relay.ClearLog();
        return ::testing::AssertionSuccess();
    }
    COptionSelect* Scene(u32 m) { return net->ChildAs<COptionSelect>(m); }
    u32 Deliver(u32 m, u32 type, const Bytes& body) { return net->Deliver(m, type, body.data(), u32(body.size())); }
};

Bytes OptionBytes(const CBattleOption& option)
{
    Bytes out(kBattleOptionBytes);
    WriteBattleOption(option, out.data());
    return out;
}

std::string Name(const CTensionFile* file)
{
    const char* name = file ? file->GetName().GetText() : nullptr;
    return name ? name : "";
}

// The four set-up tension files: name, key count and loop start each.
std::string Files(const CBattleSetup* setup)
{
    std::string text;
    for (u32 i = 0; i < CBattleSetup::kEntryCount; ++i) {
        CTensionFile* f = const_cast<CBattleSetup*>(setup)->GetTensionFile(i);
        text += Name(f) + "/" + std::to_string(f->GetTrack() ? f->GetTrack()->GetCount() : 0) +
            "/" + std::to_string(f->GetLoopStart()) + ";";
    }
    return text;
}

Bytes PlayerBytes(u32 entry, std::string name = "Song")
{
    select_net::PlayerData d;
    d.entry = entry;
    d.name = std::move(name);
    d.loopStart = 4.0f;
    d.keys = {{0.0f, 0.0f, 1}, {10.0f, 0.0f, 2}};
    return select_net::WritePlayerData(d);
}

TEST(OptionSelectNet, AClientStaysOnItsMusicRowAndChangesOnlyItsOwnMusic)
{
    for (u32 anBgm : {0u, 1u}) {
        SCOPED_TRACE(testing::Message() << "own music " << anBgm);
        TwoOptionSelects t;
        ASSERT_TRUE(t.Start());
        COptionSelect* client = t.Scene(1);
        EXPECT_EQ(client->GetRow(), kBgm);
        t.Locked([&] {
            client->SetAnBgm(anBgm);
            client->GetSetup()->entries[0].ownMusic = 5;
        });
        const CBattleOption before = client->GetOption();
        ASSERT_EQ(before.music, CBattleOption::kRandomMusic);
        t.net->Focus(1);
        for (u32 key : {menu::kDown, menu::kUp, menu::kRight, menu::kDecide, menu::kStart, menu::kCancel}) {
            t.game.Press(key);
            t.game.Frames(15);
        }
        ASSERT_TRUE(t.net->relay.WaitIdle());
        EXPECT_EQ(client->GetTargetRow(), kBgm);
        EXPECT_FALSE(client->IsStarting() || client->IsLeaving());
        CBattleOption expected = before;
        expected.music = anBgm ? 0 : before.music;   // random, one step right: track 0
        expected.drawnMusic = client->GetOption().drawnMusic;
        EXPECT_EQ(OptionBytes(client->GetOption()), OptionBytes(expected));
        // Only its own entry follows its music.
        EXPECT_EQ(client->GetSetup()->entries[0].ownMusic, 5u);
        // Its music's data reaches the host for its entry, nothing else goes out.
        const auto sent = t.net->relay.Log();
        const CTensionFile* track0 = t.game.App().GetTensionFile(0);
        ASSERT_EQ(sent.size(), anBgm ? 2u : 0u);   // sent, relayed back
        if (!anBgm) continue;
        EXPECT_EQ(sent[0].type, select_net::kMsgPlayerData);
        EXPECT_EQ(sent[0].body, select_net::WritePlayerData(select_net::MakePlayerData(1, *track0)));
        EXPECT_EQ(Name(t.Scene(0)->GetSetup()->GetTensionFile(1)), Name(track0));
    }
}

TEST(OptionSelectNet, TheHostsOptionKeepsAClientsMusicOnlyWithOwnMusicOn)
{
    const struct {
        u32 before, received;
        bool keepsMusic, announces;
        u32 stage;
    } cases[] = {{1, 1, true, false, 3}, {1, 0, false, false, 19}, {0, 1, true, true, 19}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.before << " -> " << c.received);
        TwoOptionSelects t;
        ASSERT_TRUE(t.Start());
        COptionSelect* client = t.Scene(1);
        t.Locked([&] {
            client->SetAnBgm(c.before);
            client->SetBgm(7, true);
        });
        ASSERT_TRUE(t.net->relay.WaitIdle());
        t.net->relay.ClearLog();
        CBattleOption sent;
        sent.stage = c.stage, sent.drawnStage = 11, sent.music = 5, sent.livesRule = 1, sent.extraLives = 4, sent.timeSetting = 2;
        sent.computerLevel = 3, sent.sharedGroupBullets = 0, sent.characterSetting = 4, sent.ownTension = c.received;
        sent.randomSeed = 1234, sent.inputDelay = 2;
        const auto body = select_net::WriteOptionMessage(sent, 0);
        // The host's draws are taken: the client draws nothing of its own.
        SeedRandom(5);
        EXPECT_EQ(t.Deliver(1, select_net::kMsgOption, Bytes(body.begin(), body.end())), 1u);
        const u32 next = RandomNext();
        SeedRandom(5);
        EXPECT_EQ(next, RandomNext());
        CBattleOption expected = sent;
        if (c.keepsMusic) expected.music = 7, expected.drawnMusic = client->GetOption().drawnMusic;
        EXPECT_EQ(OptionBytes(client->GetOption()), OptionBytes(expected));
        EXPECT_TRUE(client->FindLayer(kStageLayers[c.stage])->GetSettings().visible);
        EXPECT_EQ(client->GetSetup()->entries[2].characterWords[1], 3u);
        ASSERT_TRUE(t.net->relay.WaitIdle());
        EXPECT_EQ(t.net->relay.Log(select_net::kMsgPlayerData).size(), c.announces ? 2u : 0u);
    }
}

TEST(OptionSelectNet, HostileOrMisdirectedMessagesAreRefusedAndChangeNothing)
{
    TwoOptionSelects t;
    ASSERT_TRUE(t.Start());
    const auto valid = select_net::WriteOptionMessage(CBattleOption(), 0);
    const Bytes option(valid.begin(), valid.end());
    const Bytes player = PlayerBytes(2);
    auto with = [](Bytes b, size_t at, u32 value) {
        if (at + 4 <= b.size()) PutLe32(&b[at], value);
        return b;
    };
    const u32 nan = std::bit_cast<u32>(std::numeric_limits<f32>::quiet_NaN());
    const u32 inf = std::bit_cast<u32>(std::numeric_limits<f32>::infinity());
    const u32 keys = 8 + 4 + 1 + 16;   // name "Song"
    Bytes noZero = player, longer = player, longName = PlayerBytes(2, std::string(41, 'a'));
    noZero[8 + 4] = 'x';
    longer.push_back(0);
    const struct {
        u32 machine, type;
        Bytes body;
    } cases[] = {
        // 10002: a word past its row, the key response, the length (every
        // range is the reader's own test); and to the host.
        {1, 10002, with(option, 0, 20)}, {1, 10002, with(option, 36, 6)}, {1, 10002, with(option, 48, 5)},
        {1, 10002, Bytes(option.begin(), option.end() - 1)}, {1, 10002, Bytes(57)}, {0, 10002, option},
        // 10003 to the host: lengths, overflowing n and k, the name, entry, level, times.
        {0, 10003, Bytes(player.begin(), player.end() - 1)}, {0, 10003, longer},
        {0, 10003, with(player, 4, 0xFFFFFFFFu)}, {0, 10003, with(player, keys - 4, 0x40000000u)},
        {0, 10003, with(player, 4, 0)}, {0, 10003, longName}, {0, 10003, noZero}, {0, 10003, with(player, 0, 4)},
        {0, 10003, with(player, keys + 20, 4)}, {0, 10003, with(player, keys + 20, 0xFFFFFFFFu)},
        {0, 10003, with(player, keys, nan)}, {0, 10003, with(player, keys + 4, inf)},
        {0, 10003, with(player, keys - 16, nan)}, {0, 10003, with(player, keys - 8, inf)}, {1, 10003, noZero},
        // Start and back only from the host, as the word 1; a peer past the entries.
        {0, 10004, Bytes{1, 0, 0, 0}}, {0, 10005, Bytes{1, 0, 0, 0}}, {1, 10004, Bytes{2, 0, 0, 0}},
        {1, 10005, Bytes{1, 0, 0}}, {0, 10009, Bytes{4, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "machine " << c.machine << " type " << c.type << " " << c.body.size());
        COptionSelect* scene = t.Scene(c.machine);
        const Bytes before = OptionBytes(scene->GetOption());
        const std::string files = Files(scene->GetSetup());
        EXPECT_EQ(t.Deliver(c.machine, c.type, c.body), 0u);
        EXPECT_EQ(OptionBytes(scene->GetOption()), before);
        EXPECT_EQ(Files(scene->GetSetup()), files);
        EXPECT_FALSE(scene->IsStarting() || scene->IsLeaving());
    }
    ASSERT_TRUE(t.net->relay.WaitIdle());
    EXPECT_TRUE(t.net->relay.Log().empty());
    // The sound ones are taken; the host relays the player data unchanged.
    EXPECT_EQ(t.Deliver(0, 10003, player), 1u);
    EXPECT_EQ(t.Deliver(0, 10009, Bytes{1, 0, 0, 0}), 1u);
    EXPECT_EQ(t.Scene(0)->GetSetup()->entries[1].kind, CBattleEntry::kKindNone);
    ASSERT_TRUE(t.net->relay.WaitIdle());
    ASSERT_EQ(t.net->relay.Log().size(), 1u);
    EXPECT_EQ(t.net->relay.Log()[0].body, player);
    EXPECT_EQ(Name(t.Scene(1)->GetSetup()->GetTensionFile(2)), "Song");
    // The path without a length: fixed sizes go on, player data cannot.
    const Bytes left{2, 0, 0, 0};
    t.Locked([&] {
        EXPECT_EQ(t.Scene(1)->OnMessage(10003, reinterpret_cast<intptr_t>(player.data())), 0u);
        EXPECT_EQ(t.Scene(1)->OnMessage(10009, 0), 0u);
        EXPECT_EQ(t.Scene(1)->OnMessage(10009, reinterpret_cast<intptr_t>(left.data())), 1u);
        EXPECT_EQ(t.Scene(1)->OnMessage(19, 0), 1u);
    });
    EXPECT_EQ(t.Scene(1)->GetSetup()->entries[2].kind, CBattleEntry::kKindNone);
}

TEST(OptionSelectNet, PlayerDataGoesToItsEntryOrWithTheHostsMusicTheHostsToAll)
{
    const struct {
        u32 anBgm, entry;
        std::vector<u32> changed;
    } cases[] = {{1, 2, {2}}, {0, 0, {0, 1, 2, 3}}, {0, 2, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "own music " << c.anBgm << " entry " << c.entry);
        TwoOptionSelects t;
        ASSERT_TRUE(t.Start());
        COptionSelect* client = t.Scene(1);
        t.Locked([&] { client->SetAnBgm(c.anBgm); });
        EXPECT_EQ(t.Deliver(1, 10003, PlayerBytes(c.entry)), 1u);
        for (u32 i = 0; i < CBattleSetup::kEntryCount; ++i) {
            const bool changed = std::find(c.changed.begin(), c.changed.end(), i) != c.changed.end();
            EXPECT_EQ(Name(client->GetSetup()->GetTensionFile(i)) == "Song", changed) << i;
        }
    }
}

TEST(OptionSelectNet, MusicDataTooLongToSendIsReplacedByTheHostsMusic)
{
    const struct {
        u32 machine;
        const char* text;
        bool sendsHostsMusic;
    } cases[] = {{1, kTooLongForPeers, true}, {0, kHostTooLongForPeers, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.machine);
        TwoOptionSelects t;
        ASSERT_TRUE(t.Start());
        COptionSelect* scene = t.Scene(c.machine);
        CBattleSetup* setup = scene->GetSetup();
        // A hand-made track of 150 keys: 25 + n + 1800 bytes.
        std::vector<CTensionTrack::Key> keys(150);
        for (u32 i = 0; i < keys.size(); ++i) keys[i] = {f32(i), 0.0f, i32(i % 4)};
        auto* track = new CTensionTrack("Tension", kTensionNormal, 0);
        track->SetArray(keys.data(), u32(keys.size()));
        t.game.App().GetTensionFile(1)->SetTrack(track);
        t.Locked([&] {
            setup->entries[0].ownMusic = c.machine == 0 ? 1 : 0;
            setup->entries[1].ownMusic = 1;
            scene->SendPlayerData();
        });
        ASSERT_TRUE(t.net->relay.WaitIdle());
        const auto sent = t.net->relay.Log(select_net::kMsgPlayerData);
        for (const auto& p : sent) EXPECT_LE(p.body.size(), select_net::kPeerBodyLimit);
        ASSERT_EQ(sent.size(), c.sendsHostsMusic ? 2u : 0u);
        if (c.sendsHostsMusic) {
            EXPECT_EQ(setup->entries[1].ownMusic, 0u);
            EXPECT_EQ(sent[0].body, select_net::WritePlayerData(select_net::MakePlayerData(1, *t.game.App().GetTensionFile(0))));
        }
        t.game.Frame();
        const auto boxes = t.game.Boxes();
        EXPECT_NE(std::find(boxes.begin(), boxes.end(), c.text), boxes.end()) << t.game.Describe();
    }
}

TEST(OptionSelectNet, TheHostAloneInItsRoomGoesBackToTheLobby)
{
    TwoOptionSelects t;
    ASSERT_TRUE(t.Start());
    t.net->lobbies[0].members = 1;
    t.net->Focus(0);
    t.game.Frames(40);
    EXPECT_EQ(t.net->Child(0), nullptr);
    EXPECT_EQ(t.net->modes[0].back(), kHostedLobbyMode);
}

TEST(OptionSelectNet, TheHostsCancelTakesEveryoneBackToTheCharacterSelect)
{
    TwoOptionSelects t;
    ASSERT_TRUE(t.Start());
    t.net->Focus(0);
    t.game.Press(menu::kCancel);
    ASSERT_TRUE(t.net->relay.WaitIdle());
    EXPECT_EQ(t.net->relay.Log(select_net::kMsgLeave).size(), 1u);
    EXPECT_TRUE(t.Scene(1)->IsLeaving());
    t.net->Focus(net_test::FakeNetworkScene::kAll);
    t.game.Frames(40);
    for (u32 m : {0u, 1u}) {
        EXPECT_TRUE(t.net->ChildAs<CCharaSelect>(m)) << m;
        EXPECT_EQ(t.net->modes[m].back(), kHostedSelectMode) << m;
    }
}

TEST(OptionSelectNet, TheHostsStartSendsTheOptionThenStartsAndLoadsTheBattle)
{
    TwoOptionSelects t;
    ASSERT_TRUE(t.Start());
    t.net->Focus(0);
    t.game.Press(menu::kStart);
    ASSERT_TRUE(t.net->relay.WaitIdle());
    const auto sent = t.net->relay.Log();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[sent.size() - 2].type, select_net::kMsgOption);
    EXPECT_EQ(sent.back().type, select_net::kMsgProceed);
    EXPECT_TRUE(t.Scene(1)->IsStarting());
    // The loading screen is current from the frame the cover is black; no
    // machine updates after it, so the battle is never handed over.
    for (u32 i = 0; i < 60 && !t.net->ChildAs<CLoadingScene>(0); ++i) t.game.Frame();
    t.net->Focus(2);
    EXPECT_TRUE(t.net->ChildAs<CLoadingScene>(0));
    EXPECT_EQ(t.net->modes[0].back(), kHostedBattleMode);
}

TEST(OptionSelectNet, F1OpensTheChatLineWhichTakesTheKeysUntilAnEmptyEnter)
{
    TwoOptionSelects t;
    ASSERT_TRUE(t.Start());
    t.net->Focus(0);
    COptionSelect* host = t.Scene(0);
    auto tap = [&](u8 key) {
        t.game.Input().SetKey(key, true);
        t.game.Frame();
        t.game.Input().SetKey(key, false);
        t.game.Frame();
    };
    tap(host::input::key::F1);
    EXPECT_TRUE(host->IsChatOpen());
    const Bytes before = OptionBytes(host->GetOption());
    t.game.Press(menu::kRight);
    EXPECT_EQ(OptionBytes(host->GetOption()), before);
    tap(host::input::key::Return);
    EXPECT_FALSE(host->IsChatOpen());
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace option_select_net_test
