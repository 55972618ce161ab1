#include "engine/platform/FrameTime.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/object/Barrage.h"
#include "game/battle/object/EventCamera.h"
#include "game/battle/object/SpellCard.h"
#include "game/battle/object/SpellCardSetting.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/tests/EventCameraSamples.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "game/battle/object/tests/StateHashProbe.h"
#include "game/data/tests/SettingTestSupport.h"
#include "game/data/tests/SettingWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using battle_test::FakeFighter;
using setting_test::SettingWriter;
using Keys = std::vector<std::pair<const char*, std::string>>;

const char* const kEffectKeys[10] = {"EFCSPELLSET", "EFCSPELLFIRE", "EFCSPELLSHOOTSET", "EFCSPELLSHOOTSETLOOP",
    "EFCSPELLSHOOTFIRE", "EFCSPELLSHOOTFIREFLASH", "EFCSPELLSHOOTMAGICSQUARE", "EFCSPELLHITATTACK", "EFCSPELLEND",
    "EFCSPELLFIELD"};
const char* const kStepKeys[11] = {"SPELLANIMATIONSETTIME", "SPELLANIMATIONSHOOTSTARTTIME",
    "SPELLANIMATIONSHOOTTIME", "SPELLANIMATION01TIME", "SPELLANIMATION02TIME", "SPELLANIMATION03TIME",
    "SPELLANIMATION04TIME", "SPELLANIMATION05TIME", "SPELLANIMATION06TIME", "SPELLANIMATION07TIME",
    "SPELLANIMATION08TIME"};

// Frames of 0.1 s; every step lasts one frame; the barrage fires two
// one-shot volleys 0.1 s apart and lasts 0.2 s.
class SpellCardTest : public battle_test::BattleObjectTest {
protected:
    void SetUp() override
    {
        BattleObjectTest::SetUp();
        savedFrame_ = GetFrameTimeMs();
        SetFrameTime(100);
        ASSERT_EQ(manager_.Create(nullptr, 64, 8), 1);
        scene_.effects = &manager_;
        for (u32 i = 0; i < 10; ++i) {
            auto* effect = new CEffectContainer();
            effect->SetName(("E" + std::to_string(i)).c_str());
            auto* node = new CEffectObject();
            node->SetName("n");
            effect->AddObject(node);
            void* slot = effect;
            resources_.GetEffectList()->Add(&slot);
        }
        ASSERT_TRUE(SettingWriter().Set("MOVETYPE", 0).Set("VELOCITY", 0.0f).Set("STAGEHITFLG", 0)
                        .Set("CHRACTORHITFLG", 0).Save("Bullet.txt"));
        ASSERT_TRUE(SettingWriter().Set("SHOOTWAIT", 0.1f).Set("SHOOTCOUNT", 2).Save("Pattern.txt"));
        ASSERT_TRUE(SettingWriter().Set("PATTERN", "Pattern.txt").Save("Barrage.txt"));
        ownerPtr_ = std::make_unique<FakeFighter>();
        targetPtr_ = std::make_unique<FakeFighter>(CVector3(0.0f, 0.0f, -10.0f));
        stagePtr_ = std::make_unique<battle_test::FakeStage>();
        owner().target = &target();
        owner().SetBoundingRadius(1.0f);
        target().SetBoundingRadius(1.0f);
        target().slot = 1;
    }
    void TearDown() override
    {
        card_.reset();
        scene_.bullets.DeleteAll();
        ownerPtr_.reset();
        targetPtr_.reset();
        stagePtr_.reset();
        SetFrameTime(savedFrame_);
        BattleObjectTest::TearDown();
    }

    // A loaded card of the base settings with keys over them.
    CSpellCard* Card(const Keys& keys)
    {
        SettingWriter w;
        w.Set("WAIT", 0.2f).Set("SHORTATTACKFAST", 0.2f).Set("SHORTATTACKREVERBE", 0.1f)
            .Set("SHORTATTACKACCELERATION", 10.0f).Set("SHORTATTACKCOUNT", 2).Set("TELEPORTLENGTH", 0.0f)
            .Set("BUFFERTIME", 3.0f).Set("BARRAGE", "Barrage.txt");
        for (u32 i = 0; i < 10; ++i) w.Set(kEffectKeys[i], "E" + std::to_string(i));
        for (const char* key : kStepKeys) w.Set(key, 0.1f);
        for (const auto& [key, value] : keys) w.Set(key, value);
        EXPECT_TRUE(w.Save("Spell.txt"));
        auto* settings = new CSpellCardSetting();
        EXPECT_EQ(settings->LoadFile("Spell.txt"), 1);
        card_ = std::make_unique<CSpellCard>(settings, 0);
        EXPECT_EQ(card_->LoadResource(&resources_), 1);
        return card_.get();
    }

    // Frames until the card ends (at most 30), the owner's place and speed,
    // the volleys, the owner's log and the card's attached slots each frame.
    std::string Run(CSpellCard& card, bool climax = false)
    {
        card.PlaceAtOwner(&owner());
        card.Activate(&owner());
        if (climax) card.Start(&owner());
        std::string trace;
        u32 frames = 0;
        for (i32 ended = 0; !ended && frames < 30; ++frames) {
            card.PlaceAtOwner(&owner());
            ended = card.Update(&owner());
            u32 bits = 0;
            for (u32 k = 0; k < CSpellCard::kAttachedCount; ++k) bits |= u32(card.GetAttachedObject(k) != nullptr) << k;
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02x", bits);
            trace += std::string(trace.empty() ? "" : " ") + hex;
        }
        const CVector3 p = *owner().GetPosition(), v = owner().velocity;
        char line[160];
        std::snprintf(line, sizeof line, "%u frames at %g %g %g moving %g %g %g, %u shots of kinds %x, ", frames, p.x,
            p.y, p.z, v.x, v.y, v.z, scene_.bullets.GetCount(), owner().hitTypes);
        return line + owner().log + " | " + trace;
    }

    setting_test::WorkFolder folder_;
    u32 savedFrame_ = 0;
    CEffectController manager_;
    CResourceController resources_;
    std::unique_ptr<FakeFighter> ownerPtr_, targetPtr_;
    std::unique_ptr<battle_test::FakeStage> stagePtr_;
    std::unique_ptr<CSpellCard> card_;
    FakeFighter& owner() { return *ownerPtr_; }
    FakeFighter& target() { return *targetPtr_; }
};

struct Row {
    const char* name;
    Keys keys;
    const char* outcome;
    u32 stageHit = 0;   // the stage: 1 the move hits its mesh, 2 it leaves the box
};

class SpellTypeTest : public SpellCardTest, public ::testing::WithParamInterface<Row> {};

// The owner stands at the origin facing -z, its target 10 ahead; both have
// radius 1. Log: w/W weapon hidden/shown, V shake, H hit effect, Bn buff n.
// The trace is the card's attached slots (bit k: slot k plays) after each
// frame.
TEST_P(SpellTypeTest, BeginAndUpdateHandlers)
{
    stagePtr_->moveHit = GetParam().stageHit & 1;
    stagePtr_->outside = GetParam().stageHit >> 1;
    EXPECT_EQ(Run(*Card(GetParam().keys)), GetParam().outcome);
}

INSTANTIATE_TEST_SUITE_P(Types, SpellTypeTest,
    ::testing::Values(
        Row{"Barrage", {{"SPELLTYPE", "0"}}, "5 frames at 0 0 0 moving 0 0 0, 2 shots of kinds 40, S0V | 03 2e 2e 2e 00"},
        Row{"CounterWaits", {{"SPELLTYPE", "1"}, {"SHOOTWAIT", "0.3"}}, "3 frames at 0 0 0 moving 0 0 0, 0 shots of kinds 0, S0 | 03 03 02"},
        Row{"CounterAtOnce", {{"SPELLTYPE", "1"}}, "1 frames at 0 0 0 moving 0 0 0, 0 shots of kinds 0,  | 02"},
        Row{"Teleport", {{"SPELLTYPE", "2"}}, "3 frames at 0 0 -8 moving 0 0 0, 0 shots of kinds 0, S0V | 13 2e 0e"},
        Row{"TeleportFar", {{"SPELLTYPE", "2"}, {"TELEPORTLIMIT", "4"}}, "3 frames at 0 0 -4 moving 0 0 0, 0 shots of kinds 0, S0V | 13 2e 0e"},
        Row{"FireTeleport", {{"SPELLTYPE", "3"}}, "5 frames at 0 0 -8 moving 0 0 0, 2 shots of kinds 40, S0V | 03 2c 2c 2c 00"},
        Row{"ShortAttack", {{"SPELLTYPE", "4"}}, "8 frames at 0 0 0 moving 0 0 -4, 0 shots of kinds 0, S0HH | 24 24 24 20 24 24 24 00"},
        Row{"ShortAttackReach", {{"SPELLTYPE", "4"}, {"SHORTATTACKRADIUS", "50"}}, "6 frames at 0 0 0 moving 0 0 -2, 0 shots of kinds 0, S0HH | 24 24 20 24 24 00"},
        Row{"TeleportDash", {{"SPELLTYPE", "5"}}, "3 frames at 0 0 -8 moving 0 0 -1, 0 shots of kinds 0, S0VH | 03 2c 08"},
        Row{"Chained", {{"SPELLTYPE", "6"}}, "2 frames at 0 0 0 moving 0 0 0, 0 shots of kinds 0, S0H | 07 03"},
        Row{"BackStep", {{"SPELLTYPE", "7"}}, "3 frames at 0 0 25 moving 0 0 0, 2 shots of kinds 40, S0V | 03 2c 0c"},
        Row{"BackStepOutOfBox", {{"SPELLTYPE", "7"}}, "3 frames at 0 0 -25 moving 0 0 0, 2 shots of kinds 40, S0V | 03 2c 0c", 2},
        Row{"TeleportFront", {{"SPELLTYPE", "2"}, {"TELEPORTTYPE", "1"}}, "3 frames at 0 0 -12 moving 0 0 0, 0 shots of kinds 0, S0V | 13 2e 0e"},
        Row{"TeleportFrontIntoMesh", {{"SPELLTYPE", "2"}, {"TELEPORTTYPE", "1"}}, "3 frames at 0 0 -8 moving 0 0 0, 0 shots of kinds 0, S0V | 13 2e 0e", 1},
        Row{"Buff1", {{"SPELLTYPE", "8"}}, "3 frames at 0 0 0 moving 0 0 0, 0 shots of kinds 0, S0VB1 | 03 2e 0e"},
        Row{"Buff2", {{"SPELLTYPE", "9"}}, "3 frames at 0 0 0 moving 0 0 0, 0 shots of kinds 0, S0VB2 | 03 2e 0e"},
        Row{"Buff3", {{"SPELLTYPE", "10"}}, "3 frames at 0 0 0 moving 0 0 0, 0 shots of kinds 0, S0VB3 | 03 2e 0e"},
        Row{"BarrageClear", {{"SPELLTYPE", "11"}}, "5 frames at 0 0 0 moving 0 0 0, 2 shots of kinds 40, S0V | 03 2e 2e 2e 00"},
        Row{"TeleportCard", {{"SPELLTYPE", "12"}}, "5 frames at 0 0 0 moving 0 0 0, 2 shots of kinds 40, S0V | 13 2e 2e 2e 00"},
        Row{"TeleportCardDown", {{"SPELLTYPE", "12"}, {"TELEPORTTYPE", "2"}, {"SHORTATTACKEND", "1"}}, "5 frames at 0 0 0 moving 0 -5 0, 2 shots of kinds 40, S0V | 13 2e 2e 2e 00"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

class ClimaxTest : public SpellCardTest, public ::testing::WithParamInterface<i32> {};

// The climax card closes in from 10 to SHOOTLENGTH 5 at 10 a second, then
// runs steps 1 to 7: shot at 2, its loop at 3, the finale at 4, its loop at
// 5, the explosion at 6, the end at 7.
TEST_P(ClimaxTest, ClimaxHandlers)
{
    static const char* const kOutcomes[18] = {
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 13 03 03 03 03 03",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 15 01 09 01 01 01",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVVVV | 01 01 01 01 03 03 03 03 03 03 03 03",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 11 01 01 01 01 01",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 03 03 03 03 03 03",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 03 03 03 03 03 03",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 01 01 01 01 01 01",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVVVV | 01 01 01 01 03 03 03 03 03 03 03 03",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 03 01 01 01 01 01",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 03 03 03 03 03 03",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 09 01 09 01 01 01",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 03 01 01 01 01 01",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 03 03 03 03 03 03",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVVVV | 01 01 01 01 03 03 03 03 03 03 03 03",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 01 01 01 01 01 01 01 01",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 03 01 1d 01 01 01",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 03 03 03 03 03 03",
        "12 frames at 0 0 -5 moving 0 0 0, 5 shots of kinds 400, S0VVVVVV | 01 01 01 01 03 03 03 01 03 01 01 01",
    };
    owner().spellSlot = 6;
    CSpellCard& card = *Card({{"CHARACTERTYPE", std::to_string(GetParam())}, {"SHOOTLENGTH", "5"},
        {"CLIMAXSHOOTNO", "2"}, {"CLIMAXSHOOTLOOPNO", "3"}, {"FINALESHOOTNO", "4"}, {"FINALESHOOTLOOPNO", "5"},
        {"EXPLOSIONNO", "6"}, {"ENDNO", "7"}});
    EXPECT_EQ(Run(card, true), kOutcomes[GetParam()]);
}

INSTANTIATE_TEST_SUITE_P(Characters, ClimaxTest, ::testing::Range(0, 18));

// Each close hit of a card begins afresh for its caster (whom it hit is
// forgotten): the cast, each further short attack (SHORTATTACKCOUNT in
// all, one hit effect each), and the next one a guard counter moves it on to.
TEST_F(SpellCardTest, EachCloseHitOfACardBeginsAfreshForItsCaster)
{
    for (const u32 count : {1u, 2u, 3u}) {
        owner().closeHits = 0, owner().log.clear();
        CSpellCard& card = *Card({{"SPELLTYPE", "4"}, {"SHORTATTACKCOUNT", std::to_string(count)}});
        const std::string run = Run(card);
        EXPECT_EQ(std::count(run.begin(), run.end(), 'H'), i32(count)) << run;
        EXPECT_EQ(owner().closeHits, count) << count;
        card.NextCardShortAttack();
        EXPECT_EQ(owner().closeHits, count + 1) << count;
    }
}

// The stage darkens the view whose slot the sender gives on message 36: the
// card's owner's, not view 0.
TEST_F(SpellCardTest, DarkeningReachesTheOwnersView)
{
    stagePtr_.reset();
    CStage stage;
    owner().slot = 2;
    CSpellCard& card = *Card({{"BLACKOUTFLG", "1"}, {"BLACKOUTALPHA", "0.5"}, {"SPELLTYPE", "8"}});
    card.Activate(&owner());
    EXPECT_EQ(stage.GetDarkFlag(2), 1u);
    EXPECT_EQ(stage.GetDarkLimit(2), 0.5f);
    EXPECT_EQ(stage.GetDarkFlag(0), 0u);
    while (!card.Update(&owner())) {}
    EXPECT_EQ(stage.GetDarkFlag(2), 0u);
}

// A copy plays none of the original's effects, so each releases only its
// own (a shared one would go back twice).
TEST_F(SpellCardTest, ACopyOwnsNoEffects)
{
    CSpellCard& card = *Card({});
    card.Activate(&owner());
    ASSERT_NE(card.GetAttachedObject(0), nullptr);
    const u32 live = manager_.GetNodePool().GetLiveCount();
    std::unique_ptr<CSpellCard> copy(static_cast<CSpellCard*>(card.Clone()));
    for (u32 k = 0; k < CSpellCard::kAttachedCount; ++k) EXPECT_EQ(copy->GetAttachedObject(k), nullptr);
    EXPECT_NE(copy->GetSettings(), card.GetSettings());
    EXPECT_EQ(copy->GetBarrageCount(), 1u);
    copy.reset();
    EXPECT_EQ(manager_.GetNodePool().GetLiveCount(), live);
    card_.reset();
    EXPECT_EQ(manager_.GetNodePool().GetLiveCount(), 0u);
}

// Each of these changes simulation state the hash must see.
TEST_F(SpellCardTest, TheStateHashFollowsTheCard)
{
    CSpellCard& card = *Card({{"AMMUNITION", "3"}});
    card.UpdateReload(&owner());
    const auto hash = [&card] {
        CStateHash h;
        card.HashState(h);
        return h.Value();
    };
    std::vector<u64> seen{hash()};
    card.Activate(&owner());
    seen.push_back(hash());
    card.Update(&owner());
    seen.push_back(hash());
    card.UseAmmunition();
    seen.push_back(hash());
    card.ClearAttachedObjects();
    seen.push_back(hash());
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_NE(seen[i], seen[i - 1]) << i;
}

// Numbers past the card's tables, as an unchecked setting could bring them:
// the card still runs and ends.
TEST_F(SpellCardTest, NumbersPastTheTablesEndTheCardSafely)
{
    for (u32 slot : {0u, 6u}) {
        owner().spellSlot = slot;
        CSpellCard& card = *Card({});
        CSpellCardValues& v = const_cast<CSpellCardSetting*>(card.GetSettings())->GetValues();
        v.spellType = 40, v.characterType = -3, v.voiceCount = 9, v.firstVoice = 30, v.shortAttackSetNo = 20;
        v.climaxShootNo = v.finaleShootNo = v.explosionNo = v.endNo = 50;
        v.voices[0].playNo = 1;
        card.Activate(&owner());
        if (slot == 6) card.Start(&owner());
        u32 frames = 0;
        while (!card.Update(&owner()) && frames < 100) ++frames;
        EXPECT_LT(frames, 100u) << slot;
    }
}

// FIRSTVOICE at step 1, the next voices at steps 2 and 3: VOICECOUNT voices
// follow the first, and none below 0.
TEST_F(SpellCardTest, VoiceCountIsTheNumberOfFurtherVoices)
{
    const std::pair<i32, u32> rows[] = {{-1, 0}, {0, 0}, {1, 1}, {3, 2}};
    for (const auto& [count, last] : rows) {
        CSpellCard& card = *Card({{"FIRSTVOICE", "1"}, {"SPELLVOICE00PLAYNO", "2"}, {"SPELLVOICE01PLAYNO", "3"},
                                  {"SPELLVOICE02PLAYNO", "9"}, {"VOICECOUNT", std::to_string(count)}});
        card.Activate(&owner());
        std::vector<u32> indexes;
        for (u32 step = 1; step <= 4; ++step) {
            card.AdvanceStepWithEffect(&owner());
            indexes.push_back(card.GetVoiceIndex());
        }
        EXPECT_EQ(indexes, (std::vector<u32>{0, std::min(last, 1u), last, last})) << count;
    }
}

// Centres 1.5 and 2 above the feet: the owner's position lands beside the
// target's centre, 2 behind it (radii 1 and 1, TELEPORTLENGTH 0).
TEST_F(SpellCardTest, TeleportPutsTheOwnerBesideTheTargetsCentre)
{
    owner().centerOffset = CVector3(0.0f, 1.5f, 0.0f);
    target().centerOffset = CVector3(0.0f, 2.0f, 0.0f);
    EXPECT_EQ(Run(*Card({{"SPELLTYPE", "2"}})), "3 frames at 0 2 -8 moving 0 0 0, 0 shots of kinds 0, S0V | 13 2e 0e");
}

// One barrage lasts two frames of firing, the other five; with WAIT 0 the
// firing ends in the third frame at the short one. A barrage after it in the
// list is not updated that frame; one before it has already flown.
TEST_F(SpellCardTest, FiringStopsAtTheBarrageThatEndsIt)
{
    struct Case {
        const char* name;
        bool longFirst;
        f32 longClock;
        u32 shots;
    };
    const Case cases[] = {
        {"long barrage after the short one", false, 0.2f, 2u + 2u},
        {"long barrage before the short one", true, 0.3f, 3u + 2u},
    };
    ASSERT_TRUE(SettingWriter().Set("SHOOTWAIT", 0.1f).Set("SHOOTCOUNT", 5).Save("Slow.txt"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SettingWriter().Set("PATTERN", c.longFirst ? "Slow.txt" : "Pattern.txt").Save("Barrage.txt"));
        ASSERT_TRUE(SettingWriter().Set("PATTERN", c.longFirst ? "Pattern.txt" : "Slow.txt").Save("Second.txt"));
        CSpellCard& card = *Card({{"SPELLTYPE", "0"}, {"WAIT", "0"}, {"BARRAGE", "Second.txt"}});
        ASSERT_EQ(card.GetBarrageCount(), 2u);
        card.Activate(&owner());
        u32 frames = 1;
        while (!card.Update(&owner()) && frames < 30) ++frames;
        EXPECT_EQ(frames, 4u);
        EXPECT_FLOAT_EQ(card.GetBarrage(c.longFirst ? 1 : 0)->GetClock(), 0.2f);
        EXPECT_FLOAT_EQ(card.GetBarrage(c.longFirst ? 0 : 1)->GetClock(), c.longClock);
        EXPECT_EQ(scene_.bullets.GetCount(), c.shots);
        scene_.bullets.DeleteAll();
    }
}

// A second cast of a card fires its barrages again from the start and
// waits WAIT after them as the first did, so its longer barrage flies whole:
// nothing of the first cast's firing is carried over.
TEST_F(SpellCardTest, ASecondCastFiresAndWaitsLikeTheFirst)
{
    ASSERT_TRUE(SettingWriter().Set("SHOOTWAIT", 0.1f).Set("SHOOTCOUNT", 4).Save("Slow.txt"));
    ASSERT_TRUE(SettingWriter().Set("PATTERN", "Slow.txt").Save("Long.txt"));
    struct Case {
        const char* type;
        const char* cast;   // frames until the end / shots, of each cast
    };
    const Case cases[] = {
        {"0", "6/6"},
        {"3", "6/6"},
        {"7", "3/4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        CSpellCard& card = *Card({{"SPELLTYPE", c.type}, {"WAIT", "0.3"}, {"BARRAGE", "Long.txt"}});
        std::string casts;
        for (int cast = 0; cast < 2; ++cast) {
            const u32 before = scene_.bullets.GetCount();
            card.Activate(&owner());
            u32 frames = 1;
            while (!card.Update(&owner()) && frames < 30) ++frames;
            casts += std::to_string(frames) + "/" + std::to_string(scene_.bullets.GetCount() - before) + " ";
        }
        EXPECT_EQ(casts, std::string(c.cast) + " " + c.cast + " ");
        scene_.bullets.DeleteAll();
    }
}

// The climax card closes in one unit a frame from 10 to SHOOTLENGTH 5 and
// arrives in frame 5, which pauses its event camera. Frame 6 is 0.1 s into
// step 1: the camera starts there at climax level 1 when FINALESTARTTIME
// has been reached, never with the climax flag. An owner whose approach
// motion was cut short arrives at once where it stands.
TEST_F(SpellCardTest, ClimaxApproachAndTheEventCamerasStart)
{
    CEventCamera flight;
    battle_test::FillOneShot(flight);
    ASSERT_EQ(flight.Save("Flight.cam"), 1);
    struct Case {
        const char* name;
        const char* finaleStartTime;
        u32 climaxFlag;
        bool cutShort;
        u32 arrivalFrame;
        f32 arrivedAt;    // the owner's z
        u32 pausedAfterNext;
    };
    const Case cases[] = {
        {"start time reached", "0.05", 0, false, 5, -5.0f, 0},
        {"start time not reached", "0.25", 0, false, 5, -5.0f, 1},
        {"climax flag", "0.05", 1, false, 5, -5.0f, 1},
        {"motion cut short", "0.05", 0, true, 1, 0.0f, 0},
    };
    for (const Case& c : cases) {
        owner().spellSlot = 6;
        owner().climaxFlag = c.climaxFlag;
        const CVector3 origin;
        owner().SetPosition(&origin);
        CSpellCard& card = *Card({{"SHOOTLENGTH", "5"}, {"LEFTEVENTCAMERA", "Flight.cam"},
            {"FINALESTARTTIME", c.finaleStartTime}, {"CLIMAXSHOOTNO", "8"}, {"ENDNO", "9"}});
        ASSERT_NE(card.GetEventCamera(0), nullptr) << c.name;
        card.Activate(&owner());
        card.Start(&owner());
        if (c.cutShort) owner().motion = 3;
        for (u32 f = 1; f < c.arrivalFrame; ++f) {
            card.Update(&owner());
            EXPECT_EQ(card.IsClimaxStartPending(), 1u) << c.name << " frame " << f;
        }
        card.Update(&owner());
        EXPECT_EQ(card.IsClimaxStartPending(), 0u) << c.name;
        EXPECT_EQ(card.GetStep(), 1u) << c.name;
        EXPECT_EQ(owner().GetPosition()->z, c.arrivedAt) << c.name;
        EXPECT_EQ(card.GetEventCamera(0)->GetState().paused, 1u) << c.name;
        card.Update(&owner());
        EXPECT_EQ(card.GetClimaxLevel(), 1u) << c.name;
        EXPECT_EQ(card.GetEventCamera(0)->GetState().paused, c.pausedAfterNext) << c.name;
    }
}


// A cast starts the owner's event camera: any card's flight runs from the
// cast as the owner's end-of-frame pass steps it; the climax card's stays
// held until its phase starts it.
TEST_F(SpellCardTest, TheEventCameraOfACastRunsButTheClimaxCardsIsHeld)
{
    CEventCamera flight;
    battle_test::FillOneShot(flight);
    ASSERT_EQ(flight.Save("Flight.cam"), 1);
    struct Case {
        u32 slot;
        u32 paused;
        f32 clock;   // after three frames
    };
    const Case cases[] = {{0, 0, 0.3f}, {5, 0, 0.3f}, {6, 1, 0.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot);
        owner().spellSlot = c.slot;
        CSpellCard& card = *Card({{"SPELLTYPE", "0"}, {"LEFTEVENTCAMERA", "Flight.cam"}});
        ASSERT_NE(card.GetEventCamera(0), nullptr);
        card.Activate(&owner());
        EXPECT_EQ(card.GetEventCamera(0)->GetState().paused, c.paused);
        for (int f = 0; f < 3; ++f) {
            card.Update(&owner());
            card.AlignWithOwner(&owner());
        }
        EXPECT_EQ(card.GetEventCamera(0)->GetState().paused, c.paused);
        EXPECT_FLOAT_EQ(card.GetEventCamera(0)->GetState().clock, c.clock);
        scene_.bullets.DeleteAll();
    }
}

// Each field of the card alone; which attached slots play; its barrage's
// and its event camera's fields; which side has a camera.
TEST_F(SpellCardTest, TheStateHashFollowsEachFieldOfTheCard)
{
    CEventCamera flight;
    battle_test::FillOneShot(flight);
    ASSERT_EQ(flight.Save("Flight.cam"), 1);
    CSpellCard& card = *Card({{"LEFTEVENTCAMERA", "Flight.cam"}});
    card.Activate(&owner());
    card.Update(&owner());
    ExpectEachChangesHash(card, StateHashProbe::Fields(card), "card");
    ExpectEachChangesHash(card, StateHashProbe::Fields(*card.GetBarrage(0)), "card's barrage");
    CEventCameraState& camera = card.GetEventCamera(0)->GetState();
    HashedFields cameraFields;
    cameraFields.floats = {&camera.clock, &camera.endTime};
    cameraFields.words = {&camera.ended, &camera.paused};
    ExpectEachChangesHash(card, cameraFields, "card's camera");
    const auto hash = [&card] {
        CStateHash h;
        card.HashState(h);
        return h.Value();
    };
    CEffect** attached = StateHashProbe::Attached(card);
    ASSERT_NE(attached[0], nullptr);
    u32 empty = 1;
    while (empty < CSpellCard::kAttachedCount && attached[empty]) ++empty;
    ASSERT_LT(empty, CSpellCard::kAttachedCount);
    u64 before = hash();
    std::swap(attached[0], attached[empty]);
    EXPECT_NE(hash(), before);
    std::swap(attached[0], attached[empty]);
    before = hash();
    std::swap(StateHashProbe::Camera(card, 0), StateHashProbe::Camera(card, 1));
    EXPECT_NE(hash(), before);
    std::swap(StateHashProbe::Camera(card, 0), StateHashProbe::Camera(card, 1));
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
