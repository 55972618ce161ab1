// The state queries: each row sets a state on the status block (and the
// running card), then asks one query.
#include "CharacterTestSupport.h"

#include "game/battle/character/CharacterSlots.h"

namespace ORV_TEST_FILE_ID {

using namespace character_test;
using namespace character_slots;

namespace {

class Queries : public CharacterTest {
protected:
    void SetUp() override
    {
        CharacterTest::SetUp();
        fighter_ = NewFighter();
        ASSERT_EQ(fighter_->Create(nullptr), 1);
        blank_ = *fighter_->GetStatus();
    }
    FakeSpellCard& Card(u32 slot) { return *static_cast<FakeSpellCard*>(fighter_->GetSpellCards()[slot].get()); }

    std::unique_ptr<CPlayerCharacter> fighter_;
    CharacterStatus blank_;
};

struct Row {
    const char* what;
    void (*set)(CCharacterBase& c, CharacterStatus& s, CSpellCardValues& card, FakeSpellCard& running);
    u32 (*ask)(const CCharacterBase& c);
    u32 expected;
};

// The card in slot 3 unless a row selects another.
constexpr u32 kCardSlot = 3;

void Action(CharacterStatus& s, u32 action, u32 queued = 0)
{
    s.action = action;
    s.queuedAction = queued;
}

const Row kRows[] = {
    {"neutral is free", [](auto&, auto& s, auto&, auto&) { Action(s, 0); }, [](auto& c) { return c.IsFree(); }, 1},
    {"neutral with the result queued is not free", [](auto&, auto& s, auto&, auto&) { Action(s, 0, 24); },
     [](auto& c) { return c.IsFree(); }, 0},
    {"shooting is free", [](auto&, auto& s, auto&, auto&) { Action(s, 5); }, [](auto& c) { return c.IsFree(); }, 1},
    {"turning to shoot is not free",
     [](auto&, auto& s, auto&, auto&) { Action(s, 5), s.turnShoot = 1; }, [](auto& c) { return c.IsFree(); }, 0},
    {"a card that lets its user move is free",
     [](auto&, auto& s, auto& v, auto& r) { Action(s, 9), v.movingFlg = 1, r.letsMove = 1; },
     [](auto& c) { return c.IsFree(); }, 1},
    {"a moving card whose user may not move yet is not free",
     [](auto&, auto& s, auto& v, auto&) { Action(s, 9), v.movingFlg = 1; }, [](auto& c) { return c.IsFree(); }, 0},
    {"hittable once invincibility is exactly 0", [](auto&, auto& s, auto&, auto&) { s.timers.invincibility = 0; },
     [](auto& c) { return c.IsHittable(); }, 1},
    {"invincible", [](auto&, auto& s, auto&, auto&) { s.timers.invincibility = 0.01f; },
     [](auto& c) { return c.IsHittable(); }, 0},
    {"spinning is not hittable", [](auto&, auto& s, auto&, auto&) { Action(s, 14), s.damageType = kDamageSpin; },
     [](auto& c) { return c.IsHittable(); }, 0},
    {"a small hit reaction is hittable", [](auto&, auto& s, auto&, auto&) { Action(s, 14), s.damageType = 1; },
     [](auto& c) { return c.IsHittable(); }, 1},
    {"the result queued is not hittable", [](auto&, auto& s, auto&, auto&) { Action(s, 0, 24); },
     [](auto& c) { return c.IsHittable(); }, 0},
    {"a slide attack is not solid", [](auto&, auto& s, auto&, auto&) { Action(s, 3); },
     [](auto& c) { return c.IsSolid(); }, 0},
    {"a rush card is not solid", [](auto&, auto& s, auto& v, auto&) { Action(s, 10), v.spellType = 4; },
     [](auto& c) { return c.IsSolid(); }, 0},
    {"a close card is solid", [](auto&, auto& s, auto& v, auto&) { Action(s, 10), v.spellType = 5; },
     [](auto& c) { return c.IsSolid(); }, 1},
    {"the last combo hit never at low tension",
     [](auto&, auto& s, auto&, auto&) { Action(s, 2), s.tension = 0, s.comboIndex = 2; },
     [](auto& c) { return c.IsLastComboHit(); }, 0},
    {"the last combo hit at normal tension",
     [](auto&, auto& s, auto&, auto&) { Action(s, 2), s.tension = 1, s.comboIndex = 2; },
     [](auto& c) { return c.IsLastComboHit(); }, 1},
    {"not the last hit at high tension",
     [](auto&, auto& s, auto&, auto&) { Action(s, 2), s.tension = 2, s.comboIndex = 2; },
     [](auto& c) { return c.IsLastComboHit(); }, 0},
    {"the last hit at climax",
     [](auto&, auto& s, auto&, auto&) { Action(s, 2), s.tension = 3, s.comboIndex = 5; },
     [](auto& c) { return c.IsLastComboHit(); }, 1},
    {"kind 9 is nothing to use", [](auto&, auto&, auto&, auto&) {}, [](auto& c) { return c.CanUse(9); }, 0},
    {"the attack window opens at START",
     [](auto& c, auto& s, auto&, auto&) {
         Action(s, 2), c.GetParameter()->values.shortAttacks[0].start = 0.25f;
         c.GetParameter()->values.shortAttacks[0].end = 0.5f, s.timers.shortAttackTime = 0.25f;
     },
     [](auto& c) { return c.IsAttackWindow(); }, 1},
    {"the attack window is shut at END",
     [](auto& c, auto& s, auto&, auto&) {
         Action(s, 2), c.GetParameter()->values.shortAttacks[0].end = 0.5f, s.timers.shortAttackTime = 0.5f;
     },
     [](auto& c) { return c.IsAttackWindow(); }, 0},
    {"a close card's window follows its clock",
     [](auto&, auto& s, auto& v, auto& r) {
         Action(s, 9), v.spellType = 6, v.shortAttackStart = 1, v.shortAttackEnd = 2, r.clock = 1.5f, r.idle = 0;
     },
     [](auto& c) { return c.IsAttackWindow(); }, 1},
    {"an idle card has no window, whatever its clock",
     [](auto&, auto& s, auto& v, auto& r) {
         Action(s, 9), v.spellType = 6, v.shortAttackStart = 1, v.shortAttackEnd = 2, r.clock = 1.5f;
     },
     [](auto& c) { return c.IsAttackWindow(); }, 0},
    {"a shot card has no window",
     [](auto&, auto& s, auto& v, auto& r) { Action(s, 9), v.spellType = 3, v.shortAttackEnd = 2, r.clock = 1; },
     [](auto& c) { return c.IsAttackWindow(); }, 0},
    {"a guard card guards while its phase flag is clear",
     [](auto&, auto& s, auto& v, auto&) { Action(s, 9), v.spellType = 1; }, [](auto& c) { return c.IsGuarding(); }, 1},
    {"a guard card past its phase does not",
     [](auto&, auto& s, auto& v, auto& r) { Action(s, 9), v.spellType = 1, r.phase = 1; },
     [](auto& c) { return c.IsGuarding(); }, 0},
    {"a counter card guards before its fast time",
     [](auto&, auto& s, auto& v, auto& r) { Action(s, 11), v.spellType = 6, v.shortAttackFast = 1, r.clock = 0.5f; },
     [](auto& c) { return c.IsGuarding(); }, 1},
    {"the just-guard window after a guard hold",
     [](auto& c, auto& s, auto&, auto&) { c.GetParameter()->values.guard.justGuardTime = 0.2f, s.timers.guardHold = 0.1f; },
     [](auto& c) { return c.IsInJustGuardWindow(); }, 0},
    {"the just-guard window with a fresh gauge",
     [](auto& c, auto&, auto&, auto&) { c.GetParameter()->values.guard.justGuardTime = 0.2f; },
     [](auto& c) { return c.IsInJustGuardWindow(); }, 1},
    {"the head does not aim in an upward slide",
     [](auto&, auto& s, auto&, auto&) { Action(s, 16), s.slideMotion = kMotionSlideUp; },
     [](auto& c) { return c.CanAimHead(); }, 0},
    {"the arm still aims in an upward slide",
     [](auto&, auto& s, auto&, auto&) { Action(s, 16), s.slideMotion = kMotionSlideUp; },
     [](auto& c) { return c.CanAimArm(); }, 1},
    {"the arm does not aim in a forward slide",
     [](auto&, auto& s, auto&, auto&) { Action(s, 17), s.slideMotion = kMotionSlideFront; },
     [](auto& c) { return c.CanAimArm(); }, 0},
    {"the arm does not aim in a forward double slide",
     [](auto&, auto& s, auto&, auto&) { Action(s, 17), s.slideMotion = kMotionDoubleSlideFront; },
     [](auto& c) { return c.CanAimArm(); }, 0},
    {"the head does not aim in an upward triple slide",
     [](auto&, auto& s, auto&, auto&) { Action(s, 18), s.slideMotion = kMotionSlideUp + kDoubleSlideOffset; },
     [](auto& c) { return c.CanAimHead(); }, 0},
    {"the head aims in a sideways double slide",
     [](auto&, auto& s, auto&, auto&) { Action(s, 17), s.slideMotion = kMotionDoubleSlideFront + 4; },
     [](auto& c) { return c.CanAimHead(); }, 1},
    {"a forward double slide while shooting keeps the view tilted",
     [](auto&, auto& s, auto&, auto&) { Action(s, 7), s.slideMotion = kMotionDoubleSlideFront; },
     [](auto& c) { return c.LevelsView(); }, 0},
    {"a card turning its bones aims them",
     [](auto&, auto& s, auto& v, auto&) { Action(s, 9), v.boneRotationFlg = 1; },
     [](auto& c) { return c.CanAimHead(); }, 1},
    {"a standing shot turning to fire keeps the view tilted",
     [](auto& c, auto& s, auto&, auto&) { Action(s, 5), s.turnShoot = 1, c.GetParameter()->values.shots[0].movingFlg = 0; },
     [](auto& c) { return c.LevelsView(); }, 0},
    {"a moving barrage levels the view while turning to fire",
     [](auto& c, auto& s, auto&, auto&) { Action(s, 5), s.turnShoot = 1, c.GetParameter()->values.shots[0].movingFlg = 1; },
     [](auto& c) { return c.LevelsView(); }, 1},
    {"a spin keeps the view tilted only while its motion runs",
     [](auto&, auto& s, auto&, auto&) { Action(s, 14), s.damageType = kDamageSpin; },
     [](auto& c) { return c.LevelsView(); }, 1},
    {"no speaking while a voice lasts", [](auto&, auto& s, auto&, auto&) { s.timers.longestVoice = 0.1f; },
     [](auto& c) { return c.CanSpeak(); }, 0},
    {"no speaking during a card", [](auto&, auto& s, auto&, auto&) { Action(s, 12); },
     [](auto& c) { return c.CanSpeak(); }, 0},
    {"afterimages of a mirage attack", [](auto&, auto& s, auto&, auto&) { Action(s, 4); },
     [](auto& c) { return c.ShowsAfterimages(); }, 1},
    {"no afterimages before the slide attack's set motion", [](auto&, auto& s, auto&, auto&) { Action(s, 3); },
     [](auto& c) { return c.ShowsAfterimages(); }, 0},
    {"a high-tension card holds the tension",
     [](auto&, auto& s, auto&, auto&) { Action(s, 9), s.spellSlot = 5; }, [](auto& c) { return c.CanChangeTension(); },
     0},
    {"the exception card does not", [](auto&, auto& s, auto&, auto&) { Action(s, 9), s.spellSlot = 4; },
     [](auto& c) { return c.CanChangeTension(); }, 1},
    {"the locked climax card cannot be locked on",
     [](auto& c, auto& s, auto&, auto&) {
         Action(s, 9), s.spellSlot = 6;
         static_cast<FakeSpellCard*>(c.GetSpellCardState(6))->locked = 1;
     },
     [](auto& c) { return c.IsTargetable(); }, 0},
    {"nor hit",
     [](auto& c, auto& s, auto&, auto&) {
         Action(s, 9), s.spellSlot = 6;
         static_cast<FakeSpellCard*>(c.GetSpellCardState(6))->locked = 1;
     },
     [](auto& c) { return c.IsHittable(); }, 0},
    {"an unlocked climax card can", [](auto&, auto& s, auto&, auto&) { Action(s, 9), s.spellSlot = 6; },
     [](auto& c) { return c.IsTargetable(); }, 1},
    {"a bound fighter cannot be locked on", [](auto&, auto& s, auto&, auto&) { Action(s, 26); },
     [](auto& c) { return c.IsTargetable(); }, 0},
    {"the stage of high tension", [](auto&, auto& s, auto&, auto&) { s.tension = 2; },
     [](auto& c) { return c.ShowsHiTensionStage() * 2 + c.ShowsClimaxStage(); }, 2},
    {"the over-tension effect at its interval",
     [](auto& c, auto& s, auto&, auto&) {
         s.tension = 3, c.GetParameter()->values.general.overTensionStageEffectInterval = 1;
         s.timers.overTensionEffect = 1;
     },
     [](auto& c) { return c.IsOverTensionEffectDue(); }, 1},
    {"frozen", [](auto&, auto& s, auto&, auto&) { s.timers.freezeTime = 0.1f; }, [](auto& c) { return c.IsFrozen(); },
     1},
    {"a blackout card hides the camera-front effect",
     [](auto&, auto& s, auto& v, auto&) { Action(s, 9), v.blackoutFlg = 1; },
     [](auto& c) { return c.ShowsCameraFrontEffect(); }, 0},
    {"sliding", [](auto&, auto& s, auto&, auto&) { Action(s, 19); }, [](auto& c) { return c.IsSliding(); }, 1},
    {"rolling", [](auto&, auto& s, auto&, auto&) { Action(s, 14), s.damageType = 6; },
     [](auto& c) { return c.IsRolling(); }, 1},
    {"a hit reaction does not end at once", [](auto&, auto& s, auto&, auto&) { Action(s, 14); },
     [](auto& c) { return c.CanEndAtOnce(); }, 0},
    {"no targets during a card", [](auto&, auto& s, auto&, auto&) { Action(s, 10); },
     [](auto& c) { return c.CanChangeTarget(); }, 0},
    {"the hit type of the short attack",
     [](auto& c, auto& s, auto&, auto&) { Action(s, 3), c.GetParameter()->values.shortAttacks[0].hitType = 2; },
     [](auto& c) { return c.IsAttackHitType(2) * 2 + c.IsAttackHitType(1); }, 2},
};

TEST_F(Queries, EachRuleAnswersFromTheState)
{
    for (const Row& row : kRows) {
        *fighter_->GetStatus() = blank_;
        CharacterValues& v = fighter_->GetParameter()->values;
        const CharacterGeneral general = v.general;
        const ShortAttackRecord attack = v.shortAttacks[0];
        const GuardRecord guard = v.guard;
        const ShotRecord shot = v.shots[0];
        CSpellCardValues& card = fighter_->GetParameter()->GetSpellCard(kCardSlot).GetValues();
        const CSpellCardValues cardValues = card;
        fighter_->GetStatus()->spellSlot = kCardSlot;
        Card(kCardSlot).Reset();
        Card(6).Reset();
        row.set(*fighter_, *fighter_->GetStatus(), card, Card(kCardSlot));
        EXPECT_EQ(row.ask(*fighter_), row.expected) << row.what;
        v.general = general, v.shortAttacks[0] = attack, v.guard = guard, v.shots[0] = shot, card = cardValues;
    }
}

TEST_F(Queries, OutNeedsRevivalAndNoLivesLeft)
{
    struct {
        u32 revival;
        i32 lives;
        u32 action;
        u32 out, knockedOut, active, targetable;
    } const rows[] = {
        {0, 0, 0, 0, 0, 1, 1},    // no revival: never out
        {1, 1, 0, 0, 0, 1, 1},    // lives left
        {1, 0, 0, 1, 1, 0, 1},    // none left: out, yet a target until it is down
        {0, 1, 22, 0, 1, 0, 0},   // defeated without revival: knocked out
        {1, 1, 22, 0, 0, 0, 0},   // defeated, will come back
    };
    for (const auto& r : rows) {
        CharacterStatus& s = *fighter_->GetStatus();
        s.revival = r.revival, s.action = r.action;
        scene_.teamLives = r.lives;
        EXPECT_EQ(fighter_->IsOut(), r.out) << r.revival << r.lives << r.action;
        EXPECT_EQ(fighter_->IsKnockedOut(), r.knockedOut) << r.revival << r.lives << r.action;
        EXPECT_EQ(fighter_->IsActive(), r.active) << r.revival << r.lives << r.action;
        EXPECT_EQ(fighter_->IsTargetable(), r.targetable) << r.revival << r.lives << r.action;
    }
}

TEST_F(Queries, OtherFightersAreReadByTeamSlotAndCard)
{
    auto other = NewFighter();
    ASSERT_EQ(other->Create(nullptr), 1);
    CharacterStatus& me = *fighter_->GetStatus();
    CharacterStatus& them = *other->GetStatus();
    me.team = 1, them.team = 2;
    EXPECT_EQ(fighter_->IsHostile(other.get()), 1u);
    EXPECT_EQ(fighter_->IsHostile(fighter_.get()), 0u);
    them.action = kActionDefeated;
    EXPECT_EQ(fighter_->IsHostile(other.get()), 0u);
    them.team = 1, them.action = 0;
    EXPECT_EQ(fighter_->IsHostile(other.get()), 0u);

    them.participantSlot = 35;
    me.attackHitMask = 1u << 3;
    EXPECT_EQ(fighter_->HasHitTarget(other.get()), 1u);
    me.attackHitMask = 1u << 2;
    EXPECT_EQ(fighter_->HasHitTarget(other.get()), 0u);

    // A close card clashes only with a counter card, and only from the
    // lower slots.
    me.action = them.action = kActionSpellCard;
    me.spellSlot = them.spellSlot = 1;
    fighter_->GetParameter()->GetSpellCard(1).GetValues().spellType = 5;
    other->GetParameter()->GetSpellCard(1).GetValues().spellType = 6;
    EXPECT_EQ(fighter_->CanClashWith(other.get()), 1u);
    other->GetParameter()->GetSpellCard(1).GetValues().spellType = 5;
    EXPECT_EQ(fighter_->CanClashWith(other.get()), 0u);
    me.action = 0;
    EXPECT_EQ(fighter_->CanClashWith(other.get()), 1u);
}

TEST_F(Queries, CameraViewAndLineOfSight)
{
    auto other = NewFighter();
    ASSERT_EQ(other->Create(nullptr), 1);
    auto* camera = static_cast<FakeCamera*>(fighter_->GetCameraController());
    camera->forward = CVector3(0, 0, -1);
    camera->viewLimit = 45;
    struct {
        CVector3 at;
        u32 seen;
    } const rows[] = {{{0, 0, -10}, 1}, {{9.9f, 0, -10}, 1}, {{10.1f, 0, -10}, 0}, {{0, 0, 10}, 0}};
    for (const auto& r : rows) {
        other->SetPosition(&r.at);
        EXPECT_EQ(fighter_->IsInCameraView(other.get()), r.seen) << r.at.x << " " << r.at.z;
    }
    battle_test::FakeFighter stage;
    stage.SetGroup(kGroupStage);
    stage.answer = 0;
    EXPECT_EQ(fighter_->IsLineClear(other.get()), 1u);
    stage.answer = 1;
    EXPECT_EQ(fighter_->IsLineClear(other.get()), 0u);
    EXPECT_EQ(stage.Heard(), (std::vector<u32>{kMsgStageMoveTest, kMsgStageMoveTest}));
}

TEST_F(Queries, ObjectAccessors)
{
    CCharacterParameter& p = *fighter_->GetParameter();
    p.values.body.height = 3, p.values.body.radius = 0.75f;
    const CVector3 at(1, 2, 3);
    fighter_->SetPosition(&at);
    CVector3 center;
    fighter_->GetCenter(&center);
    EXPECT_EQ(center.y, 3.5f);
    EXPECT_EQ(fighter_->GetRadius(), 0.75f);
    fighter_->GetStatus()->arm.rotation = CVector3(1, 2, 0);
    fighter_->GetStatus()->body.rotation = CVector3(10, 0, 0);
    CVector3 rotation;
    fighter_->GetRotation(&rotation);
    EXPECT_EQ(rotation.x, 11.0f);
    EXPECT_EQ(rotation.y, 2.0f);

    EXPECT_EQ(fighter_->HasWeapon(0), 1u);
    EXPECT_EQ(fighter_->HasWeapon(1), 0u);
    EXPECT_EQ(fighter_->GetSubObject(1), 0u);
    p.GetSpellCard(2).GetValues().spellType = 6;
    EXPECT_EQ(fighter_->IsSubObjectKind(2, 6), 1u);
    EXPECT_EQ(fighter_->IsSubObjectKind(7, 0), 0u);
}

// The aims turn the world matrix in the fighter's own frame: pitched 90
// with the aims adding up to yaw 90, its front (0, 0, -1) points along -x
// (yawed first, then pitched) and its up along +z.
TEST_F(Queries, WorldMatrixCarriesTheAims)
{
    auto placed = [](const CMatrix& m, CVector3 v) {
        return CVector3(v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0],
                        v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1],
                        v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2]);
    };
    const CVector3 at(10, 20, 30), pitched(90, 0, 0);
    fighter_->SetPosition(&at);
    *fighter_->GetRotation() = pitched;
    fighter_->UpdateMatrix();
    CMatrix m;
    fighter_->GetMatrix(&m);
    EXPECT_EQ(m, *fighter_->GetWorldMatrix());   // no aim: the world matrix itself

    fighter_->GetStatus()->arm.rotation = CVector3(0, 60, 0);
    fighter_->GetStatus()->body.rotation = CVector3(0, 30, 0);
    fighter_->GetMatrix(&m);
    struct {
        CVector3 local, world;
    } const rows[] = {{{0, 0, -1}, {9, 20, 30}}, {{0, 1, 0}, {10, 20, 31}}, {{0, 0, 0}, {10, 20, 30}}};
    for (const auto& r : rows) {
        const CVector3 p = placed(m, r.local);
        EXPECT_NEAR(p.x, r.world.x, 1e-5f);
        EXPECT_NEAR(p.y, r.world.y, 1e-5f);
        EXPECT_NEAR(p.z, r.world.z, 1e-5f);
    }
    // The object's own world matrix stays unaimed.
    EXPECT_NEAR(placed(*fighter_->GetWorldMatrix(), CVector3(0, 0, -1)).y, 21.0f, 1e-5f);
}

TEST(CharacterSlots, NamedSlotsHoldTheirKeys)
{
    struct {
        u32 slot;
        const char* key;
    } const motions[] = {{kMotionDashStart, "DASHSTART"}, {kMotionMoveUp, "MOVEUP"}, {kMotionMoveDown, "MOVEDOWN"},
                         {kMotionSlideFront, "SLIDEFRONT"}, {kMotionSlideUp, "SLIDEUP"},
                         {kMotionSlideDown, "SLIDEDOWN"}, {kMotionDamageSpin, "DAMAGESPIN"},
                         {kMotionSlideAttackSet, "SLIDEATTACKSET"}},
      effects[] = {{kEffectFlyLoop, "EFCFLYLOOP"}, {kEffectWeaponChange, "EFCWEAPONCHANGE"},
                   {kEffectGuardBreak, "EFCGUARDBREAK"}, {kEffectIceFreezeEnd, "EFCICEFREEZEEND"},
                   {kEffectTimeFreezeEnd, "EFCTIMEFREEZEEND"}},
      voices[] = {{kVoiceStart, "VOICESTART"}, {kVoiceWin, "VOICEWIN"}, {kVoiceLose, "VOICELOSE"}},
      sounds[] = {{kSeLockOn, "SELOCKON"}, {kSeStrikeSmallDamage, "SESTRIKESMALLDAMAGE"},
                  {kSeStrikeLargeDamage, "SESTRIKELARGEDAMAGE"}, {kSeSlashSmallDamage, "SESLASHSMALLDAMAGE"},
                  {kSeSlashLargeDamage, "SESLASHLARGEDAMAGE"}, {kSeDown, "SEDOWN"}, {kSeBeat, "SEBEAT"}};
    for (const auto& m : motions) EXPECT_STREQ(kMotionKeys[m.slot].key, m.key);
    // Each slide motion has its double-slide form kDoubleSlideOffset on.
    for (u32 m = kMotionSlideFront; m + kDoubleSlideOffset <= kMotionDoubleSlideLast; ++m)
        EXPECT_EQ(std::string("DOUBLE") + kMotionKeys[m].key, kMotionKeys[m + kDoubleSlideOffset].key);
    EXPECT_EQ(kMotionDoubleSlideLast - kMotionDoubleSlideFront, kMotionSlideDown + 1 - kMotionSlideFront);
    for (const auto& e : effects) EXPECT_STREQ(kEffectKeys[e.slot], e.key);
    for (const auto& v : voices) EXPECT_STREQ(kVoiceKeys[v.slot].key, v.key);
    for (const auto& s : sounds) EXPECT_STREQ(kSoundEffectKeys[s.slot], s.key);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
