// The local entry is a set-up entry index wherever it is read, and every
// fighter gets the whole initialization block. Empty entries (kind 5) make
// no fighter, so list places and entries part after one: the cases here put
// one before the local player.
#include "game/battle/scene/tests/BattleSceneTestSupport.h"

#include "game/battle/object/CameraController.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleProgress.h"
#include "game/battle/scene/BattleResults.h"
#include "game/battle/scene/ReplaySetup.h"
#include "game/data/Replay.h"

#include <bit>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace scene_test;

class QuietNetwork : public IBattleNetwork {
public:
    void EnterLock() override {}
    void LeaveLock() override {}
    i32 Broadcast(u16, const void*, u32) override { return 1; }
    i32 DropBattle() override { return 0; }
    i32 ReportBattleResult(u32) override { return 1; }
};

class BattleSceneLocalEntryTest : public BattleSceneTest {
protected:
    // Kinds by entry; teams 0..3 by entry, so a team names its entry.
    static CBattleSetup* Setup(const u32 (&kinds)[4], u32 network, u32 local)
    {
        CBattleSetup* setup = CpuSetup();
        for (u32 e = 0; e < 4; ++e) setup->entries[e].kind = kinds[e], setup->entries[e].team = e;
        setup->networkMode = network;
        setup->localEntry = local;
        return setup;
    }
};

TEST_F(BattleSceneLocalEntryTest, EveryReaderNamesTheSameLocalFighter)
{
    const u32 none = CBattleEntry::kKindNone, cpu = CBattleEntry::kKindComputer;
    const struct {
        u32 kinds[4];
        u32 network, setupLocal;
        u32 local, character;   // the local entry, and the list place playing it
    } rows[] = {
        {{none, 0, cpu, cpu}, 0, 0, 1, 0},   // local play: the first human's entry
        {{none, cpu, 0, 1}, 0, 0, 2, 1},
        {{0, cpu, cpu, cpu}, 0, 0, 0, 0},
        {{cpu, none, 1, cpu}, 1, 2, 2, 1},   // a client after an empty entry
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.local * 10 + r.network);
        FreshRegistry();
        QuietNetwork network;
        CBattleScene scene(&app_, r.network ? &network : nullptr);
        CBattleSetup* setup = Setup(r.kinds, r.network, r.setupLocal);
        setup->recordReplay = r.network ? 0 : 1;
        ASSERT_EQ(scene.Load(setup), 1u);
        EXPECT_EQ(scene.GetLocalEntry(), r.local);
        // The set-up's word stays the select's: it reads it back as its local
        // card (it once took the first human's, and the select then started
        // on that card and kept its orbs under player 1's set).
        EXPECT_EQ(scene.GetSetup()->localEntry, r.setupLocal);
        // The recording names the fighter played here.
        if (!r.network) {
            ASSERT_TRUE(scene.GetReplay());
            const std::string path = ReplaySlotPath(folder_.Path(), 1);
            ASSERT_EQ(scene.GetReplay()->Finish(path), 1);
            CBattleSetup recorded;
            CReplaySetupRecord record(recorded);
            CReplay replay;
            ASSERT_EQ(replay.Open(path.c_str(), record), 1);
            ASSERT_EQ(replay.ReadRecord(record), 1);
            EXPECT_EQ(recorded.localEntry, r.local);
            EXPECT_EQ(recorded.entries[r.local].kind, 0u);
        }
        u32 answer = ~0u;
        ASSERT_EQ(scene.OnMessage(kMsgLocalEntry, reinterpret_cast<intptr_t>(&answer)), 1u);
        EXPECT_EQ(answer, r.local);
        EXPECT_EQ(scene.GetLocalCharacter(), scene.GetCharacter(r.character));
        // The view being drawn is asked for by slot (list place).
        scene.SetDrawnEntry(r.local);
        i32 viewed = -2;
        ASSERT_EQ(scene.OnMessage(kMsgViewedSlot, reinterpret_cast<intptr_t>(&viewed)), 1u);
        EXPECT_EQ(viewed, i32(r.character));
        scene.SetDrawnEntry(CBattleSetup::kEntryCount);   // no fighter plays it
        ASSERT_EQ(scene.OnMessage(kMsgViewedSlot, reinterpret_cast<intptr_t>(&viewed)), 1u);
        EXPECT_EQ(viewed, -1);
        for (u32 i = 0; i < scene.GetCharacterCount(); ++i) {
            const CharacterStatus& s = *scene.GetCharacter(i)->GetStatus();
            EXPECT_EQ(s.participantSlot, i);
            EXPECT_EQ(s.entryIndex, scene.GetEntryOf(i));
            // Only the local fighter's console runs the menu and the voices.
            EXPECT_EQ(scene.GetConsole(i)->GetSetup().IsLocal(), i == r.character) << i;
        }
        const std::vector<BattleFighter> fighters = scene.ReadFighters();
        const BattleFighter* local = FindLocalFighter(fighters, scene.GetLocalEntry());
        ASSERT_NE(local, nullptr);
        EXPECT_EQ(u32(local->team), r.local);
    }
}

// Each fighter's block carries its entry's and the battle's values.
TEST_F(BattleSceneLocalEntryTest, InitializationBlockCarriesTheWholeEntry)
{
    const u32 none = CBattleEntry::kKindNone, cpu = CBattleEntry::kKindComputer;
    CBattleSetup* setup = Setup({cpu, none, 0, cpu}, 0, 0);
    setup->trainingMode = 1;
    setup->option.livesRule = 1, setup->option.sharedGroupBullets = 1, setup->option.characterSetting = 7;
    CBattleEntry& e = setup->entries[2];
    e.character = CBattleEntry::kRandomCharacter, e.drawnCharacter = 1, e.drawnVariant = 1;
    e.radarType = 1, e.cameraSide = 1, e.guardCorrection = 1;
    e.orbs[0] = 3, e.orbs[2] = 12;
    app_.config.GetGameSettings()->screenshot = 1;
    CBattleScene scene(&app_);
    ASSERT_EQ(scene.Load(setup), 1u);

    CharacterCreateRecord r;
    ASSERT_EQ(scene.SetupCharacter(1, &r, &scene.GetSetup()->entries[2], scene.FighterCount()), 1u);
    EXPECT_EQ(r.characterId, 1u);
    EXPECT_EQ(r.barrageSlot, 1u);
    EXPECT_EQ(r.entryIndex, 2u);
    EXPECT_EQ(r.participantSlot, 1u);
    EXPECT_EQ(r.characterCount, 3u);
    EXPECT_EQ(r.training, 1u);
    EXPECT_EQ(r.livesRule, 1u);
    EXPECT_EQ(r.revival, 1u);
    EXPECT_EQ(r.sharedGroupBullets, 1u);
    EXPECT_EQ(r.fixedTension, 7);   // the tension rule, past its table: follows the music
    EXPECT_EQ(r.radarType, 1u);
    EXPECT_EQ(r.cameraSide, 1u);
    EXPECT_EQ(r.guardCorrection, 1u);
    EXPECT_EQ(r.screenshot, 1u);
    EXPECT_EQ(r.skills[0], 3u);
    EXPECT_EQ(r.skills[1], 0u);
    EXPECT_EQ(r.skills[2], 12u);
    EXPECT_EQ(r.carriedLife, 1.0f);   // no survival run
    // Any nonzero lives-rule word is the rule, as the results read it; the
    // fighters get up under it only.
    for (const auto& [rule, revival] : {std::pair{2u, 1u}, std::pair{0u, 0u}}) {
        scene.GetSetup()->option.livesRule = rule;
        CharacterCreateRecord again;
        ASSERT_EQ(scene.SetupCharacter(1, &again, &scene.GetSetup()->entries[2], 3), 1u);
        EXPECT_EQ(again.revival, revival) << rule;
    }
    EXPECT_EQ(scene.SetupCharacter(1, nullptr, &e, 3), 0u);
    EXPECT_EQ(scene.SetupCharacter(1, &r, nullptr, 3), 0u);

    // The camera takes its side from the entry.
    const auto side = [&](u32 i) {
        return dynamic_cast<const CCameraController*>(scene.GetCharacter(i)->GetCameraController())->GetState().side;
    };
    EXPECT_EQ(side(1), 1u);
    EXPECT_EQ(side(0), 0u);
}

// An entry's three orbs become its fighter's skills: a number beyond the
// two-skill list, like 0, gives an empty slot.
TEST_F(BattleSceneLocalEntryTest, EntryOrbsBecomeTheFightersSkills)
{
    const struct {
        u32 orbs[3];
        bool held[3];
    } rows[] = {
        {{2, 0, 1}, {true, false, true}},
        {{0, 1, 3}, {false, true, false}},
        {{0x3F800000u, 2, 2}, {false, true, true}},   // the bits of 1.0f: a number, not a float
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.orbs[0] * 100 + r.orbs[1] * 10 + r.orbs[2]);
        FreshRegistry();
        CBattleSetup* setup = CpuSetup();
        std::copy(std::begin(r.orbs), std::end(r.orbs), setup->entries[0].orbs);
        CBattleScene scene(&app_);
        ASSERT_EQ(scene.Load(setup), 1u);
        const CCharacter* fighter = scene.GetCharacter(0);
        ASSERT_EQ(scene.GetEntryOf(0), 0u);
        for (u32 s = 0; s < 3; ++s) {
            EXPECT_EQ(fighter->GetStatus()->skillNumbers[s], r.orbs[s]) << s;
            EXPECT_EQ(fighter->GetSkill(s) != nullptr, r.held[s]) << s;
            EXPECT_EQ(scene.GetCharacter(1)->GetSkill(s), nullptr);   // the other entries hold none
        }
    }
}

// A survival run hands its carried life to the first fighter only.
TEST_F(BattleSceneLocalEntryTest, SurvivalCarriesTheFirstFightersLife)
{
    const struct {
        f32 life;
        bool survival;
        f32 share;   // of the parameter HP, first fighter
    } rows[] = {{0.5f, true, 0.5f}, {1.0f, true, 1.0f}, {0.5f, false, 1.0f}, {0.0f, true, 1.0f}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.life);
        FreshRegistry();
        CBattleSetup* setup = OneViewSetup();
        setup->survivalMode = r.survival;
        auto* progress = new CSurvivalProgress();
        progress->carriedLife = r.life;
        progress->carriedWord = 9;
        setup->SetProgress(progress);
        CBattleScene scene(&app_);
        ASSERT_EQ(scene.Load(setup), 1u);
        for (u32 i = 0; i < 2; ++i) {
            const CCharacter& c = *scene.GetCharacter(i);
            const i32 full = i32(c.GetParameter()->values.general.hp);
            const i32 want = i == 0 ? CCharacter::CarriedHp(full, r.share) : full;
            EXPECT_EQ(c.GetStatus()->hp, want) << i;
            EXPECT_EQ(c.GetStatus()->exactHp, f32(want)) << i;
            EXPECT_EQ(c.GetStatus()->carriedWord, i == 0 && r.survival ? 9u : 0u) << i;
        }
    }
}

TEST(CarriedHp, IsTheShareOfTheFullHpAndNeverDead)
{
    const struct {
        i32 hp;
        f32 share;
        i32 want;
    } rows[] = {{1000, 0.5f, 500}, {1000, 0.0005f, 1}, {1000, 1.0f, 1000}, {1000, 0.0f, 1000},
        {1000, 1.5f, 1000}, {1000, -0.5f, 1000}, {1000, std::bit_cast<f32>(0x7FC00000u), 1000}, {0, 0.5f, 0}};
    for (const auto& r : rows) EXPECT_EQ(CCharacter::CarriedHp(r.hp, r.share), r.want) << r.share;
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
