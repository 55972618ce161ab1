// The scene's message table: the queries the objects and consoles ask, the
// requests, the peer messages and the side messages from replays and peers.
#include "game/battle/scene/tests/BattleSceneTestSupport.h"

#include "engine/platform/Input.h"
#include "game/battle/character/CpuCharacter.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleFlow.h"
#include "game/battle/scene/ReplaySetup.h"
#include "game/data/Replay.h"
#include "game/data/SaveRecord.h"

#include <algorithm>
#include <functional>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace scene_test;

// The network scene: what the battle broadcast.
class FakeNetwork : public IBattleNetwork {
public:
    void EnterLock() override {}
    void LeaveLock() override {}
    i32 Broadcast(u16 type, const void* data, u32 length) override
    {
        sent.push_back({type, std::string(static_cast<const char*>(data), length)});
        return 1;
    }
    i32 DropBattle() override { return 7; }
    i32 ReportBattleResult(u32 result) override { return reported.push_back(result), 1; }

    std::vector<std::pair<u16, std::string>> sent;
    std::vector<u32> reported;
};

class BattleSceneMessageTest : public BattleSceneTest {
protected:
    void SetUp() override
    {
        BattleSceneTest::SetUp();
        app_.input = &input_;
        app_.config.GetGameSettings()->screenShake = 1;
        app_.config.GetGameSettings()->seVolume = -1200;
    }

    u64 Ask(CBattleScene& scene, u32 message, u64 word = 0)
    {
        u64 value = word;
        EXPECT_EQ(scene.OnMessage(message, reinterpret_cast<intptr_t>(&value)), 1u) << message;
        return value;
    }

    CInput input_;
};

TEST_F(BattleSceneMessageTest, QueriesAnswerFromTheBattle)
{
    CBattleSetup* setup = CpuSetup();
    setup->option.livesRule = 1;
    setup->option.extraLives = 2;
    setup->option.sharedGroupBullets = 5;
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(setup), 1u);
    scene.SetDrawnEntry(2);
    const auto address = [](const void* p) { return u64(reinterpret_cast<uintptr_t>(p)); };
    const struct {
        u32 message;
        u64 in;
        u64 answer;
    } rows[] = {
        {kMsgInputManager, 0, address(&input_)},
        {kMsgResourceController, 0, address(resources_.get())},
        {kMsgEffectManager, 0, address(effects_.get())},
        {kMsgSkillList, 0, address(scene.GetSkills())},
        {kSceneMsgLivesRule, 0, 1},
        {kMsgSharedGroupBullets, 0, 5},
        {kMsgTeamLives, 1, 3},
        {kConsoleMsgBattleSettled, 0, 0},
        {kMsgRemainingTime, 0, 100},
        {kMsgBattleOver, 0, 0},
        {kMsgLocalEntry, 0, 0},
        {kMsgScreenShakeOption, 0, 1},
        {kMsgViewedSlot, 0, 2},
        {kConsoleMsgEffectVolume, 0, u32(-1200)},
    };
    for (const auto& r : rows) {
        // Word-sized answers fill only the low word.
        const u64 got = Ask(scene, r.message, r.in);
        const u64 mask = r.answer >> 32 || got >> 32 ? ~0ull : 0xFFFFFFFFull;
        EXPECT_EQ(got & mask, r.answer) << "message " << r.message;
    }
    const BattleCharacterList* list = nullptr;
    ASSERT_EQ(scene.OnMessage(kMsgCharacterList, reinterpret_cast<intptr_t>(&list)), 1u);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count, 4u);
    EXPECT_EQ(list->characters[3], scene.GetCharacter(3));
    // A defeat counts against its team's lives only under the lives rule.
    scene.GetCharacter(1)->GetStatus()->defeatCount = 2;
    EXPECT_EQ(scene.GetTeamLives(1), 1);
    EXPECT_EQ(scene.GetTeamLives(0), 3);
    scene.GetSetup()->option.livesRule = 0;
    EXPECT_EQ(scene.GetTeamLives(1), 3);
}

// The record's extra lives are the team's lives, past the option row's four
// too; a count beyond 32 bits of lives answers the largest it can.
TEST_F(BattleSceneMessageTest, EveryExtraLifeOfTheSetUpCounts)
{
    const struct {
        u32 extra, defeats;
        i32 lives;
    } rows[] = {{4, 0, 5}, {5, 0, 6}, {5, 2, 4}, {1000, 999, 2}, {0xFFFFFFFF, 0, 0x7FFFFFFF}};
    for (const auto& r : rows) {
        FreshRegistry();
        CBattleSetup* setup = CpuSetup();
        setup->option.livesRule = 1;
        setup->option.extraLives = r.extra;
        CBattleScene scene(&app_);
        ASSERT_EQ(scene.Load(setup), 1u) << r.extra;
        scene.GetCharacter(1)->GetStatus()->defeatCount = r.defeats;
        EXPECT_EQ(i32(Ask(scene, kMsgTeamLives, 1)), r.lives) << r.extra << " " << r.defeats;
    }
}

// A network battle of one human (the host, entry 0, or a client, entry 1)
// and three computers: the handshake needs nobody else.
CBattleSetup* NetworkSetup(u32 local)
{
    CBattleSetup* setup = CpuSetup();
    setup->networkMode = 1;
    setup->localEntry = local;
    setup->entries[local].kind = 0;
    return setup;
}

TEST_F(BattleSceneMessageTest, EndRequestReachesThePeersOnlyFromTheHost)
{
    const struct {
        u32 local;
        size_t ends;
    } rows[] = {{0, 1}, {1, 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.local);
        FreshRegistry();
        FakeNetwork network;
        CBattleScene scene(&app_, &network);
        ASSERT_EQ(scene.Load(NetworkSetup(r.local)), 1u);
        network.sent.clear();   // the handshake's
        Ask(scene, kConsoleMsgEndCode, 5);
        EXPECT_EQ(scene.IsEndRequested(), 1u);
        EXPECT_EQ(scene.GetEndCode(), 5u);
        ASSERT_EQ(network.sent.size(), r.ends);
        if (r.ends) {
            EXPECT_EQ(network.sent[0].first, kMsgBattleEnd);
            EXPECT_EQ(network.sent[0].second, std::string("\x05\0\0\0", 4));
        }
    }
    // A client follows the host's end at its next frame; a body cut short
    // is refused.
    FreshRegistry();
    FakeNetwork network;
    CBattleScene scene(&app_, &network);
    ASSERT_EQ(scene.Load(NetworkSetup(1)), 1u);
    const u8 code[4] = {3, 0, 0, 0};
    EXPECT_EQ(scene.OnPeerMessage(kMsgBattleEnd, code, 3), 0u);
    EXPECT_EQ(scene.OnPeerMessage(kMsgBattleEnd, code, 4), 1u);
    EXPECT_EQ(scene.IsEndRequested(), 0u);
    EXPECT_EQ(scene.Update(0), 1);
    EXPECT_EQ(scene.IsEndRequested(), 1u);
    EXPECT_EQ(scene.GetEndCode(), 3u);
}

TEST_F(BattleSceneMessageTest, ComputerLevelIsBroadcastToTheFighters)
{
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(CpuSetup()), 1u);
    Ask(scene, kMsgComputerLevel, 1);
    EXPECT_EQ(scene.GetSetup()->option.computerLevel, 1u);
    for (u32 i = 0; i < 4; ++i) EXPECT_EQ(static_cast<CCpuCharacter*>(scene.GetCharacter(i))->GetLevel(), 1) << i;
}

TEST_F(BattleSceneMessageTest, PeerLeftChangesOnlyAnEntryOfTheBattle)
{
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(CpuSetup()), 1u);
    const struct {
        u32 entry;
        u32 length;
        u32 taken;
    } rows[] = {{4, 4, 0}, {0xFFFFFFFFu, 4, 0}, {2, 3, 0}, {2, 4, 1}};
    for (const auto& r : rows) {
        const u8 body[4] = {u8(r.entry), u8(r.entry >> 8), u8(r.entry >> 16), u8(r.entry >> 24)};
        EXPECT_EQ(scene.OnPeerMessage(kMsgPeerLeft, body, r.length), r.taken) << r.entry;
        for (u32 e = 0; e < 4; ++e)
            EXPECT_EQ(scene.GetSetup()->entries[e].kind, r.taken && e == r.entry ? 5u : 4u) << r.entry << " " << e;
    }
    // Through the message operation, with its word.
    u32 entry = 9;
    EXPECT_EQ(scene.OnMessage(kMsgPeerLeft, reinterpret_cast<intptr_t>(&entry)), 0u);
    // Bodies of unknown length are never read through it.
    EXPECT_EQ(scene.OnMessage(kMsgFrameBundle, reinterpret_cast<intptr_t>(&entry)), 0u);
}

TEST_F(BattleSceneMessageTest, SideMessagesOtherThanRadioChatAreRefused)
{
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(CpuSetup()), 1u);
    // Bytes that would name a bullet, an end request, a line cut short.
    u8 bytes[64] = {};
    bytes[0] = 'G', bytes[1] = 'o';
    const struct {
        u32 id, length;
        const u8* data;
        u32 taken;
    } rows[] = {
        {kMsgNewBullet, 8, bytes, 0}, {kMsgNewBullet, 48, bytes, 0}, {kConsoleMsgEndCode, 4, bytes, 0},
        {kMsgBattleEnd, 4, bytes, 0}, {kRadioChatId, 47, bytes, 0}, {kRadioChatId, 49, bytes, 0},
        {kRadioChatId, 48, nullptr, 0}, {kRadioChatId, 48, bytes, 1},
    };
    u32 refused = 0;
    for (const auto& r : rows) {
        EXPECT_EQ(scene.OnSideMessage(r.id, r.data, r.length), r.taken) << r.id << " " << r.length;
        refused += !r.taken;
    }
    EXPECT_EQ(scene.GetRefusedSideMessages(), refused);
    EXPECT_EQ(scene.GetBullets().GetCount(), 0u);
    EXPECT_EQ(scene.IsEndRequested(), 0u);
}

// A replay whose frames carry a bullet message and an end request: the
// battle plays on, refusing both.
TEST_F(BattleSceneMessageTest, HostileReplayMessagesAreRefused)
{
    CBattleSetup record;
    {
        std::unique_ptr<CBattleSetup> setup(CpuSetup());
        CReplay replay;
        ASSERT_EQ(replay.Begin(), 1);
        ASSERT_EQ(replay.WriteHeader("Box room", "Talve", 0), 1);
        ASSERT_EQ(replay.WriteRecord(CReplaySetupRecord(*setup)), 1);
        for (u32 i = 0; i < 4; ++i) ASSERT_EQ(replay.WriteTrack(CTensionFile()), 1);
        const u64 pointer = 0x4141414141414141ull;
        const u32 end = 3;
        for (u32 f = 0; f < 60; ++f) {
            const ReplayMessage messages[] = {{kMsgNewBullet, 8, &pointer}, {kConsoleMsgEndCode, 4, &end}};
            ASSERT_EQ(replay.WriteStateList(messages), 1);
            ASSERT_EQ(replay.RecordFrame({}, kFrameMs), 1);
        }
        ASSERT_EQ(replay.Finish(ReplaySlotPath(folder_.Path(), 7)), 1);
    }
    CBattleSetup* setup = CpuSetup();
    setup->replayMode = 1;
    setup->replayNumber = 7;
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(setup), 1u);
    for (u32 f = 0; f < 60; ++f) ASSERT_EQ(scene.Update(0), 1);
    EXPECT_EQ(scene.GetRefusedSideMessages(), 120u);
    EXPECT_EQ(scene.IsEndRequested(), 0u);
}

}  // namespace

namespace {

// The end request starts a one-second fade in which only the consoles'
// layers move; at its end the battle leaves by the end code.
TEST_F(BattleSceneMessageTest, EndFadeLeavesByTheEndCode)
{
    FakeFlow flow;
    app_.flow = &flow;
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(CpuSetup()), 1u);
    for (u32 f = 0; f < 100; ++f) ASSERT_EQ(scene.Update(0), 1);
    const u32 frames = scene.GetFrameCount();
    const u64 state = scene.HashState().running[4];   // after the fighters
    Ask(scene, kConsoleMsgEndCode, 3);
    u32 fade = 0;
    i32 result = 1;
    while (result == 1 && fade < 100) result = scene.Update(0), ++fade;
    EXPECT_EQ(result, 9);
    EXPECT_EQ(fade, 56u);   // 1 s at 18 ms a frame
    EXPECT_EQ(flow.log, std::vector<std::string>{"title 2"});
    EXPECT_EQ(scene.GetFrameCount(), frames);
    EXPECT_EQ(scene.HashState().running[4], state);
    app_.flow = nullptr;
}

// Whether the way out takes the set-up (the select) or not (the title), the
// released battle gives the menus their layout back and counts the local
// player's battle.
TEST_F(BattleSceneMessageTest, ReleaseAfterTheWayOutCountsTheBattleAndRestoresTheLayout)
{
    const struct {
        u32 code;
        const char* target;
    } cases[] = {{kExitTitle, "title 2"}, {kExitSelect, "select"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        FakeFlow flow;
        app_.flow = &flow;
        app_.battleFlags.clear();
        app_.record.SetDefaults();
        CBattleScene scene(&app_);
        ASSERT_EQ(scene.Load(OneViewSetup()), 1u);
        for (u32 f = 0; f < 100; ++f) ASSERT_EQ(scene.Update(0), 1);
        Ask(scene, kConsoleMsgEndCode, c.code);
        for (u32 f = 0; f < 100 && scene.Update(0) == 1; ++f) {}
        EXPECT_EQ(flow.log, std::vector<std::string>{c.target});
        EXPECT_EQ(scene.Release(), 1);
        EXPECT_EQ(app_.battleFlags, (std::vector<u32>{0, 1}));
        u32 battles = 0;
        for (u32 i = 0; i < app_.record.GetRecordCount(); ++i) battles += app_.record.GetRecord(i)->word[kPlayRecordBattles];
        EXPECT_EQ(battles, 1u);
        app_.flow = nullptr;
    }
}

}  // namespace

namespace {

// The host's end reaches a client while it waits for a record it will never
// get (the host ended after the two first ticks): that frame stops in the
// wait, nothing moves and nothing is recorded, the fade starts at the next
// update, and the recording of the frames it did play is whole.
TEST_F(BattleSceneMessageTest, AClientThatGetsTheEndWhileWaitingStopsTheFrameThere)
{
    // The end arrives as the wait lets go of the network scene's lock.
    struct EndWhileWaiting : FakeNetwork {
        void LeaveLock() override
        {
            if (!scene || !armed) return;
            armed = false;
            const u8 code[4] = {3, 0, 0, 0};
            EXPECT_EQ(scene->OnPeerMessage(kMsgBattleEnd, code, 4), 1u);
        }
        CBattleScene* scene = nullptr;
        bool armed = false;
    } network;
    CBattleScene scene(&app_, &network);
    network.scene = &scene;
    // A wait that gives up at once would pass without the end.
    scene.SetLockstepLimits(LockstepLimits{10, 0xFFFFFFFFu, 10});
    CBattleSetup* setup = NetworkSetup(1);
    setup->recordReplay = 1;
    ASSERT_EQ(scene.Load(setup), 1u);
    ASSERT_EQ(scene.GetInputDelay(), 3u);
    ASSERT_NE(scene.GetReplay(), nullptr);
    const BattleStateHash start = scene.HashState();
    for (u32 f = 0; f < 6; ++f) ASSERT_EQ(scene.Update(0), 1) << f;
    const BattleStateHash played = scene.HashState();
    EXPECT_NE(FirstDifferentObject(start, played), "") << "the two first ticks moved the battle";
    network.armed = true;
    EXPECT_EQ(scene.Update(0), 1);
    EXPECT_FALSE(network.armed) << "the frame waited";
    EXPECT_EQ(scene.IsEndRequested(), 1u);
    EXPECT_EQ(scene.GetEndCode(), 3u);
    EXPECT_EQ(FirstDifferentObject(played, scene.HashState()), "");
    // The fade, and nothing of the battle (the consoles' layers move).
    EXPECT_EQ(scene.Update(0), 1);
    auto world = [](const BattleStateHash& h) {
        const auto at = std::find(h.objects.begin(), h.objects.end(), "bullets");
        return at == h.objects.end() ? 0 : h.running[size_t(at - h.objects.begin())];
    };
    EXPECT_EQ(world(scene.HashState()), world(played));
    EXPECT_EQ(scene.GetReplay()->Finish(ReplaySlotPath(folder_.Path(), 7)), 1);
}

// A host alone with computers plays from its own bundles: each tick's
// record is used for the input delay's frames, and every machine (here the
// one) broadcasts one bundle a tick.
TEST_F(BattleSceneMessageTest, HostAloneRunsFromItsOwnBundles)
{
    FakeNetwork network;
    CBattleScene scene(&app_, &network);
    ASSERT_EQ(scene.Load(NetworkSetup(0)), 1u);
    ASSERT_EQ(scene.GetInputDelay(), 3u);
    const CVector3 start = *scene.GetCharacter(1)->GetPosition();
    for (u32 f = 0; f < 300; ++f) ASSERT_EQ(scene.Update(0), 1) << f;
    EXPECT_EQ(scene.GetFrameCount(), 300u);
    // The computers moved on the host's frame records.
    const CVector3 now = *scene.GetCharacter(1)->GetPosition();
    EXPECT_TRUE(now.x != start.x || now.y != start.y || now.z != start.z);
    // The lockstep thread broadcasts: it stops before the list is read.
    scene.StopNetThread();
    u32 bundles = 0;
    for (const auto& sent : network.sent) bundles += sent.first == kMsgFrameBundle;
    // Two first records, then one bundle for each three frames (the next
    // may be on its way).
    EXPECT_GE(bundles, (300u - 2 * 3) / 3);
    scene.Release();
    EXPECT_EQ(scene.GetLockstep(), nullptr);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
