#include "game/battle/character/tests/CharacterTestSupport.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/SpellCard.h"

#include <gtest/gtest.h>

#include <tuple>

namespace character_test {
namespace ORV_TEST_FILE_ID {

namespace {

class CharacterAttackTest : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        factory_.realBarrages = true;
        MakeFighter();
        c_->InitActionTable();
        S().tension = 1, S().ammunition = 5, S().mp = 100;
    }
    const CCharacterParameter& P() { return *c_->GetParameter(); }
    FakeSpellCard& Card(u32 s) { return *static_cast<FakeSpellCard*>(c_->GetSpellCards().at(s).get()); }
};

// Each hit opens its window at START and closes it at END; the combo stops
// at the tension's count.
TEST_F(CharacterAttackTest, ShortAttackComboAndHitWindowEdges)
{
    const i32 count = P().values.general.normalAttackCount;
    S().timers.shortAttackCooldown = 100.0f;
    for (i32 n = 0; n <= count; ++n) {
        ASSERT_EQ(c_->StartShortAttack(u32(n)), 1u) << n;
        const ShortAttackRecord& r = P().values.shortAttacks[n];
        EXPECT_EQ(S().action, kActionShortAttack);
        EXPECT_EQ(S().timers.shortAttackCooldown, 0.0f);   // counts again from the start
        S().timers.shortAttackTime = r.start;
        EXPECT_EQ(c_->IsAttackWindow(), 1u);
        S().timers.shortAttackTime = r.end;
        EXPECT_EQ(c_->IsAttackWindow(), 0u);
    }
    EXPECT_EQ(c_->StartShortAttack(u32(count + 1)), 0u);
    EXPECT_EQ(S().comboIndex, u32(count));
}

// A charge exactly at CHARGETIME fires the charged barrage; a refusal for
// want of ammunition still drops the charge.
TEST_F(CharacterAttackTest, ChargeTimeAtTheLimit)
{
    const f32 limit = P().values.shots[0].chargeTime;
    const struct {
        f32 charge;
        u16 ammunition;
        u32 started, slot;
    } rows[] = {{limit, 5, 1, 2}, {std::nextafter(limit, 0.0f), 5, 1, 0}, {limit, 0, 0, 9}};
    for (const auto& row : rows) {
        S().action = kActionNeutral, S().barrageSlot = 9;
        S().timers.shotCharge = row.charge, S().ammunition = row.ammunition;
        EXPECT_EQ(c_->StartShoot(), row.started);
        EXPECT_EQ(S().barrageSlot, row.slot);
        EXPECT_EQ(S().timers.shotCharge, 0.0f);
    }
}

// The shot fires its barrage's bullets from the shot origin into the
// scene's list and ends once the barrage and the wait are done.
TEST_F(CharacterAttackTest, ShootingFiresTheBarrageIntoTheScene)
{
    const CVector3 at(1, 2, 3);
    c_->SetPosition(&at);
    ASSERT_EQ(c_->StartShoot(), 1u);
    EXPECT_EQ(S().action, kActionShoot);
    const ShooterRecord record = c_->MakeShooterRecord();
    EXPECT_EQ(record.firingObject, c_.get());
    EXPECT_EQ(record.attackKind, 1u);
    auto* barrage = dynamic_cast<CBarrage*>(c_->GetBarrages()[0].get());
    ASSERT_NE(barrage, nullptr);
    S().timers.sinceBarrageFinished = 100.0f;
    u32 frames = 0;
    while (S().action == kActionShoot && frames < 100) c_->DispatchAction(0), ++frames;
    EXPECT_EQ(S().action, kActionNeutral);
    EXPECT_TRUE(barrage->IsFinished());
    ASSERT_GT(scene_.bullets.GetCount(), 0u);
    for (const CBullet* bullet = scene_.bullets.First(); bullet; bullet = bullet->GetNext()) {
        EXPECT_EQ(bullet->GetOwner(), c_.get());
        EXPECT_LT((*bullet->GetPosition() - at).Length(), 5.0f);
    }
}

// An aimed volley (POSITIONTYPE 3) takes its target vector between the
// answers the two fighters give of where they are, their centres: a rival
// twice as tall (HEIGHT 4 against 2), 10 ahead, is 1 higher than its feet
// say.
TEST_F(CharacterAttackTest, AnAimedVolleyRunsBetweenTheFightersCentres)
{
    ASSERT_TRUE(setting_test::SettingWriter().Set("NAME", "pattern").Set("BULLET", "Bullet.txt")
            .Set("POSITIONTYPE", 3).Set("SHOOTWAIT", 0.0f).Save("Pattern.txt"));
    MakeFighter();
    c_->InitActionTable();
    S().tension = 1, S().ammunition = 5;
    c_->GetParameter()->values.body.height = 2.0f;
    auto rival = NewFighter<ScriptedFighter>();
    rival->Create(nullptr);
    rival->GetParameter()->values.body.height = 4.0f;
    const CVector3 ahead(0, 0, -10);
    rival->SetPosition(&ahead);
    S().lockedTargetId = rival->GetId();
    ASSERT_EQ(c_->StartShoot(), 1u);
    c_->FireStep(0);
    const CBarrage* barrage = c_->GetCurrentBarrage();
    ASSERT_NE(barrage, nullptr);
    ASSERT_EQ(barrage->GetPatternState(0)->volleyCount, 1u);
    const CVector3 v = barrage->GetPatternState(0)->targetVector;
    EXPECT_EQ(std::make_tuple(v.x, v.y, v.z), std::make_tuple(0.0f, 1.0f, -10.0f));
}

// The card is taken from both forms, activated for the fighter and run
// until it says it is done.
TEST_F(CharacterAttackTest, SpellCardStartedAndFinishedThroughTheCard)
{
    Card(0).stock = 2, Card(2).stock = 2;
    ASSERT_EQ(c_->StartSpellCard(), 1u);
    EXPECT_EQ(S().action, kActionSpellCard);
    EXPECT_EQ(Card(0).activatedBy, c_.get());
    EXPECT_EQ(Card(0).used + Card(2).used, 2u);
    c_->DispatchAction(0);
    EXPECT_EQ(S().action, kActionSpellCard);
    Card(0).done = 1;
    c_->DispatchAction(0);
    EXPECT_EQ(S().action, kActionNeutral);
    EXPECT_EQ(Card(0).updates, 2u);
    // A refused climax start changes neither the slot nor the counters.
    EXPECT_EQ(c_->StartClimaxSpell(), 0u);
    EXPECT_EQ(S().spellSlot, 0u);
    EXPECT_EQ(S().climaxUses, 0u);
}

// A spark from a hit reaction is the reversal spark; it ends at TIME and
// then locks the next one out.
TEST_F(CharacterAttackTest, SparkEndsAtItsTime)
{
    const SparkRecord& r = P().values.spark.records[1];
    const i32 cost = i32(f32(P().values.general.hp) * r.hp);
    ASSERT_GT(cost, 0);
    S().sparkGauge = P().values.spark.maxSparkGauge;
    S().action = kActionHitReaction, S().ammunition = 0;
    // Only a fighter down to the record's share of HP sparks, and pays it.
    const struct { i32 hp; bool starts; } rows[] = {{cost + 1, false}, {cost - 1, true}, {cost, true}};
    for (const auto& row : rows) {
        S().hp = row.hp, S().action = kActionHitReaction;
        S().sparkGauge = P().values.spark.maxSparkGauge;
        EXPECT_EQ(c_->StartSpark(), row.starts ? 1u : 0u) << row.hp;
        EXPECT_EQ(S().hp, row.starts ? row.hp - cost : row.hp) << row.hp;
    }
    EXPECT_EQ(S().action, kActionSpark);
    EXPECT_EQ(S().barrageSlot, 6u);
    EXPECT_EQ(S().ammunition, 0u);   // an empty magazine does not wrap
    S().timers.actionClocks[kSparkClock] = r.time;
    c_->DispatchAction(0);
    EXPECT_EQ(S().action, kActionNeutral);
    EXPECT_EQ(S().timers.secondStun, r.reactionTime);
}

// The spark from idle is spark A, from a hit reaction spark B; each leaves
// its own REACTIONTIME (0.6 and 0.9 in the test data) as the stun after it.
TEST_F(CharacterAttackTest, EachSparkStunsForItsOwnReactionTime)
{
    const struct { u32 from; f32 stun; } rows[] = {{kActionNeutral, 0.6f}, {kActionHitReaction, 0.9f}};
    for (const auto& r : rows) {
        MakeFighter();
        c_->InitActionTable();
        S().sparkGauge = P().values.spark.maxSparkGauge;
        S().tension = 1, S().action = r.from, S().hp = 100, S().mp = 100, S().ammunition = 5;
        ASSERT_EQ(c_->StartSpark(), 1u) << r.from;
        S().timers.actionClocks[kSparkClock] = 10.0f;
        c_->DispatchAction(0);
        EXPECT_EQ(S().timers.secondStun, r.stun) << r.from;
    }
}

// The spark's HP cost shows on the HUD's trailing bar: the eased HP keeps
// the HP before it and falls at SUBHPSPEED (30 a second) from the next
// timer step on, while the exact HP drops at once.
TEST_F(CharacterAttackTest, ASparksCostTrailsBehindOnTheEasedHp)
{
    const i32 full = P().values.general.hp;
    const i32 cost = i32(f32(full) * P().values.spark.records[0].hp);
    ASSERT_GT(cost, 8);
    // Only a fighter down to the spark's share sparks, and pays it whole.
    S().hp = cost, S().exactHp = S().shownHp = f32(cost);
    S().sparkGauge = P().values.spark.maxSparkGauge;
    ASSERT_EQ(c_->StartSpark(), 1u);
    EXPECT_EQ(std::make_tuple(S().hp, S().exactHp, S().shownHp), std::make_tuple(0, 0.0f, f32(cost)));
    c_->UpdateTimers(0);
    EXPECT_EQ(S().shownHp, f32(cost) - 30.0f * 0.25f);
    EXPECT_EQ(S().hp, 0);
}

// A hit that keeps the action restarts the damage clock alone: a spark
// (TIME 2 s) or a shoot-out (SHOOTOUTTIME 3 s) hit 1 s in still ends its
// own time after its start, in the ninth or thirteenth quarter-second frame.
TEST_F(CharacterAttackTest, AHitThatKeepsTheActionRestartsNeitherSparkNorShootOut)
{
    auto rival = NewFighter<ScriptedFighter>();
    rival->Create(nullptr);
    const CVector3 far(0, 0, -50);
    rival->SetPosition(&far);
    const CCharacterAction::Hit keep{1, 1, 0, 0, 0, CVector3(0, 0, 1), 1, 0, 0, 1, rival.get()};
    struct Row {
        u32 action, frames;
    } const rows[] = {{kActionSpark, 9}, {kActionShootOut, 13}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "action " << r.action);
        MakeFighter();
        c_->InitActionTable();
        // Down to the spark's share of HP, as a spark wants.
        S().tension = 1, S().ammunition = 5, S().mp = 100, S().hp = 100;
        S().sparkGauge = P().values.spark.maxSparkGauge;
        if (r.action == kActionSpark) ASSERT_EQ(c_->StartSpark(), 1u);
        else ASSERT_EQ(c_->StartShootOut(rival.get()), 1u);
        rival->GetStatus()->action = kActionShootOut;
        rival->GetStatus()->lockedTargetId = c_->GetId();
        u32 frames = 0;
        while (S().action == r.action && frames < 40) {
            if (frames == 4) {
                ASSERT_EQ(c_->TakeHit(keep), 1);
                ASSERT_EQ(S().action, r.action);
                EXPECT_EQ(S().timers.actionClocks[kDamageClock], 0.0f);
            }
            c_->DispatchAction(0);
            c_->UpdateTimers(0);
            ++frames;
        }
        EXPECT_EQ(frames, r.frames);
    }
}

// The shoot-out runs while the rival stays in it, and ends at once when
// it leaves.
TEST_F(CharacterAttackTest, ShootOutFollowsItsRival)
{
    auto rival = NewFighter<ScriptedFighter>();
    rival->Create(nullptr);
    const CVector3 far(0, 0, -50);
    rival->SetPosition(&far);
    EXPECT_EQ(c_->StartShootOut(nullptr), 0u);
    ASSERT_EQ(c_->StartShootOut(rival.get()), 1u);
    rival->GetStatus()->action = kActionShootOut;
    c_->DispatchAction(0);
    EXPECT_EQ(S().action, kActionShootOut);
    EXPECT_EQ(S().turnShoot, 1u);   // still closing in
    // Reached, a volley due: it lands on the rival through the hit record.
    c_->GetParameter()->values.shootOut.timeStr = 10;
    rival->GetStatus()->lockedTargetId = c_->GetId();
    S().turnShoot = 0, S().timers.actionClocks[kShootOutShotTimer] = c_->GetParameter()->values.shootOut.shootTime;
    const i32 hp = rival->GetStatus()->hp;
    c_->DispatchAction(0);
    EXPECT_LT(rival->GetStatus()->hp, hp);
    rival->GetStatus()->action = kActionNeutral;
    c_->DispatchAction(0);
    EXPECT_EQ(S().action, kActionNeutral);
}

// Without a double: the battle's own barrages and cards; one card cast to its end.
TEST_F(ScriptedFighterTest, WithoutADoubleTheRealCardRunsTheSpellAction)
{
    SetCharacterObjectFactory(nullptr);
    setting_test::SettingWriter()   // full at its first reload step
        .Set("NAME", "spell").Set("AMMUNITION", 1).Set("RELOAD", 0.0f).Set("BARRAGE", "Barrage.txt")
        .Save("Spell.txt");
    MakeFighter();
    c_->InitActionTable();
    ASSERT_EQ(c_->GetSpellCards().size(), kShotSlotCount);
    for (u32 i = 0; i < kShotSlotCount; ++i)
        ASSERT_TRUE(dynamic_cast<CBarrage*>(c_->GetBarrages().at(i).get()) &&
                    dynamic_cast<CSpellCard*>(c_->GetSpellCards()[i].get())) << i;
    auto& card = static_cast<CSpellCard&>(*c_->GetSpellCards()[0]);
    card.UpdateReload(c_.get());
    ASSERT_EQ(c_->StartSpellCard(), 1u);
    for (u32 frame = 0; frame < 1000 && S().action == kActionSpellCard; ++frame) c_->DispatchAction(0);
    EXPECT_EQ(S().action, kActionNeutral);
    EXPECT_EQ(card.IsIdle(), 1u);
}

// With the combination skill a triggered guard cancels the running card
// through the real frame: the fighter is idle, the card too, and later
// frames no longer run it.
TEST_F(ScriptedFighterTest, ACancelledCardGoesIdleAndIsNotUpdatedAgain)
{
    SetCharacterObjectFactory(nullptr);
    setting_test::SettingWriter()
        .Set("NAME", "spell").Set("AMMUNITION", 1).Set("RELOAD", 0.0f).Set("BARRAGE", "Barrage.txt")
        .Save("Spell.txt");
    setting_test::SettingWriter().Set("FLAG2", 1 << 12).Save("Combination.txt");
    setting_test::SettingWriter().Set("SKILL", "Combination.txt").Save("Skill.txt");
    ASSERT_EQ(skills_.LoadFile("Skill.txt"), 1);
    // The cancel silences the card's voice; another voice said last plays on.
    for (const bool cardVoice : {true, false}) {
        c_ = NewFighter<ScriptedFighter>();
        CharacterCreateRecord record;
        record.skills[0] = 1;
        ASSERT_EQ(c_->Create(&record), 1);
        ASSERT_EQ(c_->HasSkillCombination(), 1u);
        voices_ = std::make_unique<VoiceBench>();
        voices_->Give(S());
        SetFrameTime(50);
        auto& card = static_cast<CSpellCard&>(*c_->GetSpellCards()[0]);
        card.UpdateReload(c_.get());
        ASSERT_EQ(c_->StartSpellCard(), 1u);
        const InputPacket none = {}, guard = {{0x40, 0}, 0, 0};   // bit 6: code 23
        for (u32 frame = 0; frame < 3; ++frame) c_->ApplyInputPacket(&none), c_->Update(0);
        ASSERT_EQ(S().action, u32(kActionSpellCard));
        ASSERT_EQ(card.IsIdle(), 0u);
        const f32 running = card.GetClock();
        EXPECT_GT(running, 0.0f);
        // The card's second voice, as the card says it; or the shot voice.
        if (cardVoice) c_->PlayVoice(1);
        else c_->PlaySound(FindVoiceKey("VOICESHOOT"));
        const u32 said = S().lastVoice, index = S().voiceIndex;
        ASSERT_EQ(said, cardVoice ? u32(CCharacterBase::GetSpellVoice(0) + 1) : FindVoiceKey("VOICESHOOT"));
        ASSERT_EQ(S().voices[said]->IsPlaying(index), 1u);
        c_->ApplyInputPacket(&guard);
        c_->Update(0);
        EXPECT_EQ(S().voices[said]->IsPlaying(index), cardVoice ? 0u : 1u) << cardVoice;
        EXPECT_EQ(S().action, u32(kActionNeutral));
        EXPECT_EQ(card.IsIdle(), 1u);
        EXPECT_EQ(S().spellStep, 0u);
        const f32 cancelled = card.GetClock();
        for (u32 frame = 0; frame < 3; ++frame) c_->ApplyInputPacket(&none), c_->Update(0);
        EXPECT_EQ(card.GetClock(), cancelled);
        EXPECT_EQ(card.IsIdle(), 1u);
        EXPECT_EQ(S().action, u32(kActionNeutral));
        c_.reset();
        voices_.reset();
    }
}

// A guard counter moves the real card in use on to its next short attack:
// one more counted, its phase time restarted at SHORTATTACKFAST; the other
// cards keep theirs.
TEST_F(ScriptedFighterTest, AGuardCounterStepsTheRealCardToItsNextShortAttack)
{
    SetCharacterObjectFactory(nullptr);
    setting_test::SettingWriter().Set("NAME", "spell").Set("SHORTATTACKFAST", 0.375f).Save("Spell.txt");
    MakeFighter();
    S().spellSlot = 1;
    c_->AdvanceCardShortAttack();
    c_->AdvanceCardShortAttack();
    for (u32 slot = 0; slot < kShotSlotCount; ++slot) {
        const auto& card = dynamic_cast<const CSpellCard&>(*c_->GetSpellCards().at(slot));
        EXPECT_EQ(card.GetCounter(), slot == 1 ? 2u : 0u) << slot;
        EXPECT_EQ(card.GetClock(), slot == 1 ? 0.375f : 0.0f) << slot;
    }
}

// A shot whose barrage fires four volleys a quarter second apart (it lasts
// one second), with INTERVAL a quarter second and WAIT three quarters, run
// through the fighter's whole frames of a quarter second.
class ShotTimingTest : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        using setting_test::SettingWriter;
        SettingWriter parameter = fighter_test::FighterParameter("Test");
        ASSERT_TRUE(parameter.Set("BARRAGEAWAIT", 0.75f).Set("BARRAGEAINTERVAL", 0.25f).Save("Chr_Test.txt"));
        ASSERT_TRUE(SettingWriter().Set("NAME", "pattern").Set("BULLET", "Bullet.txt").Set("SHOOTCOUNT", 4)
                .Set("SHOOTWAIT", 0.25f).Save("Pattern.txt"));
        factory_.realBarrages = true;
        MakeFighter();
        S().tension = 1;
        ASSERT_EQ(Barrage().GetDuration(), 1.0f);
    }
    void Frame(std::initializer_list<u32> codes = {})
    {
        const InputPacket p = Pad(codes);
        c_->ApplyInputPacket(&p);
        c_->Update(0);
        c_->LateUpdate(0);
    }
    CBarrage& Barrage() { return *dynamic_cast<CBarrage*>(c_->GetBarrages().at(0).get()); }
};

// A release of the shot button while the barrage still fires starts no new
// shot (the volleys go on, no round is spent); the shot ends WAIT after the
// barrage's last volley, and a release after that shoots again.
TEST_F(ShotTimingTest, TheShotWaitsForItsBarrageToFinish)
{
    const u16 ammunition = S().ammunition;
    Frame({24});
    Frame();   // frame 2: released, the shot starts and fires its first volley
    ASSERT_EQ(S().action, u32(kActionShoot));
    EXPECT_EQ(S().moveHit.shots, 1u);
    Frame({24});
    Frame();   // frame 4: released with the INTERVAL passed, the barrage at 0.75 s
    EXPECT_EQ(S().action, u32(kActionShoot));
    EXPECT_EQ(S().moveHit.shots, 1u);
    EXPECT_EQ(S().ammunition, u16(ammunition - 1));
    EXPECT_EQ(Barrage().GetClock(), 0.75f);
    EXPECT_EQ(Barrage().GetPatternState(0)->volleyCount, 3u);
    Frame();   // frame 5: the last volley; the barrage has finished
    EXPECT_TRUE(Barrage().IsFinished());
    EXPECT_EQ(S().timers.sinceBarrageFinished, 0.25f);
    // Frames 6 and 7 wait; frame 8 is WAIT (three frames) after frame 5.
    for (u32 frame = 6; frame <= 8; ++frame) {
        Frame();
        EXPECT_EQ(S().action, frame < 8 ? u32(kActionShoot) : u32(kActionNeutral)) << frame;
    }
    EXPECT_EQ(S().moveHit.shots, 1u);

    // Again, released once the barrage has finished: the next shot starts.
    Frame({24});
    Frame();
    EXPECT_EQ(S().action, u32(kActionShoot));
    Frame({24});
    Frame();
    Frame();
    ASSERT_TRUE(Barrage().IsFinished());
    Frame({24});
    Frame();
    EXPECT_EQ(S().moveHit.shots, 3u);
    EXPECT_EQ(S().ammunition, u16(ammunition - 3));
    EXPECT_EQ(Barrage().GetClock(), 0.25f);   // restarted, and its first frame run
}

// A shot that stops to turn (MOVINGFLG 0) is not free while it turns; once
// its barrage has finished (frame 5), the turn ends when the turn-and-shoot
// clock, started with the shot at frame 2, reaches BACKSHOOTWAIT, and the
// fighter is free for the rest of the shot's WAIT (it ends at frame 8).
TEST_F(ShotTimingTest, ATurningShotIsFreeOnceItsBackShootWaitHasPassed)
{
    // The clock reads 1.0 s at frame 6 and 1.25 s at frame 7.
    const std::pair<f32, u32> rows[] = {{0.5f, 6}, {1.0f, 6}, {1.1f, 7}, {1.25f, 7}, {1.5f, 8}};
    for (const auto& [wait, freeAt] : rows) {
        MakeFighter();
        S().tension = 1;
        ShotRecord& r = c_->GetParameter()->values.shots[0];
        r.movingFlg = 0, r.backShootWait = wait;
        Frame({24});
        Frame();
        ASSERT_EQ(S().action, u32(kActionShoot)) << wait;
        u32 frame = 2;
        while (S().turnShoot && frame < 12) {
            EXPECT_FALSE(c_->IsFree()) << wait << " frame " << frame;
            Frame(), ++frame;
        }
        EXPECT_EQ(frame, freeAt) << wait;
        EXPECT_TRUE(c_->IsFree() || S().action == kActionNeutral) << wait;
        EXPECT_EQ(S().action, freeAt < 8 ? u32(kActionShoot) : u32(kActionNeutral)) << wait;
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace character_test
