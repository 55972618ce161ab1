// The end of a fighter's frame with the battle's own camera, weapons, cards
// and barrages (the default factory, no doubles): what follows the fighter
// once it has moved, the lock count, and the camera of the bound, result and
// shoot-out steps.
#include "game/battle/character/tests/CharacterTestSupport.h"

#include "engine/graphics/Camera.h"
#include "engine/model/AnimationController.h"
#include "game/battle/character/CharacterSlots.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletPasses.h"
#include "game/battle/object/EventCamera.h"
#include "game/battle/object/SpellCard.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/StageSetting.h"
#include "game/battle/object/Weapon.h"
#include "game/battle/object/tests/EventCameraSamples.h"
#include "game/battle/testdata/StageRoom.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace character_test;

// The guard counter's call into the defender's card, reachable from here.
class CardFighter : public ScriptedFighter {
public:
    using ScriptedFighter::ScriptedFighter;
    using CCharacterAction::AdvanceCardShortAttack;
};

class LateUpdateTest : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        SetCharacterObjectFactory(nullptr);
    }
    std::unique_ptr<ScriptedFighter> Fighter(CVector3 at, u32 slot = 0, i32 team = 0)
    {
        auto f = NewFighter<ScriptedFighter>();
        f->SetPosition(&at);   // the camera starts there too
        f->Create(nullptr);
        f->GetStatus()->participantSlot = slot, f->GetStatus()->team = team;
        return f;
    }
    static CCameraController& Camera(CCharacterBase& f) { return *dynamic_cast<CCameraController*>(f.GetCameraController()); }
    static void Frame(CCharacter& f)
    {
        f.Update(0);
        f.LateUpdate(0);
    }
    // A stage whose collision model is the inside of the room given and
    // whose box is the one given (the settings' default when empty).
    std::unique_ptr<CStage> Room(const CBox& room, const CBox* box = nullptr)
    {
        const std::string name = "Room" + std::to_string(++rooms_) + ".mdl";
        auto* model = new CMesh();
        EXPECT_EQ(model_test::ReadInto(stage_test::RoomModel(room), *model), 1);
        model->SetName(name.c_str());
        void* slot = model;
        resources_.GetModelList()->Add(&slot);
        setting_test::SettingWriter text;
        text.Set("HIT", name);
        if (box) text.Set("STAGEMINZ", box->min.z).Set("STAGEMAXZ", box->max.z);
        auto* settings = new CStageSetting();
        EXPECT_EQ(settings->ParseText("Stage.txt", text.Text().c_str(), '=', ';', nullptr, 0), 1);
        auto stage = std::make_unique<CStage>(settings);
        EXPECT_EQ(stage->LoadResource(&resources_), 1);
        EXPECT_EQ(stage->Initialize(0), 1);
        EXPECT_NE(stage->GetHitModel(), nullptr);
        return stage;
    }
    u32 rooms_ = 0;
};

// Lock-on and near views by NEARRADIUS (10); the camera turns toward the
// target at its 360 degrees a second, a quarter turn a frame. The shoot-out
// and slide-attack views keep their own aim; without a target nothing moves.
TEST_F(LateUpdateTest, TheCameraSwitchesByDistanceAndLooksAtTheTarget)
{
    struct Row {
        const char* name;
        bool locked;
        CVector3 target;
        u8 mode, want;
        f32 yaw;   // degrees, the target at +x lies at 270
    } rows[] = {
        {"far lock-on stays", true, {20, 0, 0}, kCameraLock, kCameraLock, 270},
        {"near closes in", true, {5, 0, 0}, kCameraLock, kCameraNear, 270},
        {"on the radius is near", true, {10, 0, 0}, kCameraLock, kCameraNear, 270},
        {"far opens out", true, {20, 0, 0}, kCameraNear, kCameraLock, 270},
        {"shoot-out keeps its aim", true, {20, 0, 0}, kCameraShootOut, kCameraShootOut, 0},
        {"slide attack keeps its aim", true, {5, 0, 0}, kCameraSlideAttack, kCameraSlideAttack, 0},
        {"no target", false, {5, 0, 0}, kCameraLock, kCameraLock, 0},
    };
    for (const Row& r : rows) {
        auto f = Fighter({});
        battle_test::FakeFighter target(r.target);
        if (r.locked) f->GetStatus()->lockedTargetId = target.GetId();
        Camera(*f).SetMode(r.mode, 0);
        f->LateUpdate(0);
        const CCameraState& c = Camera(*f).GetState();
        EXPECT_EQ(c.mode, r.want) << r.name;
        EXPECT_FLOAT_EQ(c.targetYaw, r.yaw) << r.name;
        EXPECT_FLOAT_EQ(c.yaw, r.yaw) << r.name;
    }
}

// The weapon on the arm moves with the fighter in the same frame.
TEST_F(LateUpdateTest, WeaponsFollowTheirBoneAfterTheFighterMoves)
{
    auto f = Fighter({});
    ASSERT_EQ(f->GetWeapons().GetCount(), 1u);
    const auto* weapon = static_cast<CWeapon*>(f->GetWeapons().GetAt(0));
    ASSERT_NE(weapon->GetBone(), nullptr);
    f->LateUpdate(0);
    const CVector3 before = *weapon->GetPosition();
    const CVector3 moves[] = {{3, 0, -2}, {0, 5, 0}, {-7, 1, 4}};
    CVector3 expected = before;
    for (const CVector3& move : moves) {
        f->GetStatus()->displacement = move;
        f->LateUpdate(0);
        expected += move;
        const CVector3 at = *weapon->GetPosition();
        EXPECT_NEAR(at.x, expected.x, 1e-4f);
        EXPECT_NEAR(at.y, expected.y, 1e-4f);
        EXPECT_NEAR(at.z, expected.z, 1e-4f);
    }
}

// A motion turns the body without stretching it: through a slide's frames
// the arm stays at its length from the body and the weapon on the arm with
// it, whatever turn the motion's keys give.
TEST_F(LateUpdateTest, AMotionTurnsTheBodyWithoutStretchingIt)
{
    auto f = Fighter({});
    const auto* weapon = static_cast<CWeapon*>(f->GetWeapons().GetAt(0));
    CAnimationController* bones = f->GetAnimationController();
    ASSERT_NE(bones, nullptr);
    const CAnimationFrame* body = bones->GetFrameByName("Body");
    const CAnimationFrame* arm = bones->GetFrameByName("Arm");
    ASSERT_TRUE(body && arm && weapon->GetBone() == arm);
    for (u32 motion : {u32(character_slots::kMotionSlideFront), u32(character_slots::kMotionSlideDown)}) {
        SCOPED_TRACE(motion);
        f->ChangeMotion(motion, 1, 0.0f);
        f32 longest = 0, shortest = 10, turned = 0, weaponAway = 0;
        for (u32 frame = 0; frame < 40; ++frame) {
            Frame(*f);
            CVector3 b, a;
            body->WorldMatrix.GetTranslation(&b);
            arm->WorldMatrix.GetTranslation(&a);
            const CVector3 across = a - b;
            longest = std::max(longest, across.Length());
            shortest = std::min(shortest, across.Length());
            turned = std::max(turned, std::fabs(across.z));
            weaponAway = std::max(weaponAway, (*weapon->GetPosition() - a).Length());
        }
        // The keys did turn the body (the arm swung off the x axis) ...
        EXPECT_GT(turned, 0.1f);
        // ... and the arm kept its 0.5 from it.
        EXPECT_NEAR(longest, 0.5f, 1e-3f);
        EXPECT_NEAR(shortest, 0.5f, 1e-3f);
        EXPECT_LT(weaponAway, 1e-4f);
    }
}

// A card stands at its fighter from the first frame, so the first bullets
// it fires leave from there.
TEST_F(LateUpdateTest, ACardsFirstBulletsStartAtItsFighter)
{
    setting_test::SettingWriter()
        .Set("NAME", "spell").Set("AMMUNITION", 1).Set("RELOAD", 0.0f).Set("BARRAGE", "Barrage.txt")
        .Save("Spell.txt");
    const CVector3 at(30, 4, -20);
    auto f = Fighter(at);
    f->LateUpdate(0);
    static_cast<CSpellCard&>(*f->GetSpellCards()[0]).UpdateReload(f.get());
    ASSERT_EQ(f->StartSpellCard(), 1u);
    for (u32 frame = 0; frame < 40 && !scene_.bullets.GetCount(); ++frame) Frame(*f);
    ASSERT_GT(scene_.bullets.GetCount(), 0u);
    for (CBullet* b = scene_.bullets.First(); b; b = b->GetNext())
        EXPECT_LT((*b->GetPosition() - at).Length(), 1.0f);
}

// A card's set effect, its shot-set loop, shot-fire and flash effects and
// its field effect stay where the card played them, though its fighter flies
// on and turns while the card runs.
TEST_F(LateUpdateTest, ACardsEffectsStandWhereTheyWerePlayed)
{
    auto* glow = new CEffectContainer();
    glow->SetName("Glow");
    glow->AddObject(new CEffectObject());
    void* held = glow;
    resources_.GetEffectList()->Add(&held);
    setting_test::SettingWriter()
        .Set("NAME", "spell").Set("AMMUNITION", 1).Set("RELOAD", 0.0f).Set("BARRAGE", "Barrage.txt")
        .Set("SHOOTWAIT", 1.0f).Set("WAIT", 5.0f).Set("SPELLSETPOS", CVector3(0, 1, -2))
        .Set("EFCSPELLSET", "Glow").Set("EFCSPELLSHOOTSETLOOP", "Glow").Set("EFCSPELLSHOOTFIRE", "Glow")
        .Set("EFCSPELLSHOOTFIREFLASH", "Glow").Set("EFCSPELLFIELD", "Glow").Save("Spell.txt");
    auto f = Fighter({});
    f->LateUpdate(0);
    auto& card = static_cast<CSpellCard&>(*f->GetSpellCards()[0]);
    card.UpdateReload(f.get());
    ASSERT_EQ(f->StartSpellCard(), 1u);
    // Each slot's effect, where and how turned it first stood, and the
    // frames it was seen.
    struct Seen {
        const CEffect* effect = nullptr;
        CVector3 at, turn;
        u32 frames = 0;
    } seen[CSpellCard::kAttachedCount];
    const auto xyz = [](const CVector3& v) { return std::tuple(v.x, v.y, v.z); };
    const auto look = [&](const CVector3& placed) {
        for (u32 k = 0; k < CSpellCard::kAttachedCount; ++k) {
            CEffect* e = card.GetAttachedObject(k);
            if (!e) continue;
            if (e != seen[k].effect) {
                // Played where the card stood as the frame began.
                EXPECT_EQ(xyz(*e->GetPlacePosition()), xyz(placed)) << "slot " << k;
                seen[k] = {e, *e->GetPlacePosition(), *e->GetPlaceRotation(), 0};
            }
            ++seen[k].frames;
            EXPECT_EQ(xyz(*e->GetPlacePosition()), xyz(seen[k].at)) << "slot " << k << " frame " << seen[k].frames;
            EXPECT_EQ(xyz(*e->GetPlaceRotation()), xyz(seen[k].turn)) << "slot " << k << " frame " << seen[k].frames;
        }
    };
    look(*card.GetPosition());
    CVector3 turn;
    for (u32 frame = 0; frame < 8; ++frame) {
        const CVector3 placed = *card.GetPosition();
        const CVector3 at = *f->GetPosition() + CVector3(1.0f, 0.5f, 0.0f);
        turn = *f->GetRotation() + CVector3(0.0f, 20.0f, 0.0f);
        f->SetPosition(&at);
        *f->GetRotation() = f->GetStatus()->targetAngles = turn;
        Frame(*f);
        ASSERT_EQ(f->GetStatus()->action, u32(kActionSpellCard)) << frame;
        look(placed);
    }
    // The card itself went with its fighter, its effects did not; each was
    // seen on later frames than the one it started in.
    EXPECT_GT((*card.GetPosition() - seen[5].at).Length(), 3.0f);
    EXPECT_EQ(xyz(*card.GetRotation()), xyz(turn));
    for (u32 k : {0u, 1u, 2u, 3u, 5u}) EXPECT_GE(seen[k].frames, 3u) << "slot " << k;
}

// Two and three fighters locked on count for the multi-lock modifiers (x5
// strength here); one does not, and neither does a defeated one or one
// locked on someone else. Exactly two is the first count that counts.
TEST_F(LateUpdateTest, TheLockCountFeedsTheMultiLockModifiers)
{
    setting_test::SettingWriter().Set("FLAG2", 1 << 10).Set("MULTILOCKSTR", 5.0f).Save("Crowd.txt");
    setting_test::SettingWriter().Set("SKILL", "Crowd.txt").Save("Skills2.txt");
    CSkillList skills;
    ASSERT_EQ(skills.LoadFile("Skills2.txt"), 1);
    scene_.skills = &skills;
    struct Row {
        const char* name;
        u32 lockers, defeated, elsewhere;
        u32 count;
        f32 factor;
    } rows[] = {
        {"one", 1, 0, 0, 1, 1},         {"two", 2, 0, 0, 2, 5},
        {"three", 3, 0, 0, 3, 5},       {"three, one down", 3, 1, 0, 2, 5},
        {"two, one down", 2, 1, 0, 1, 1}, {"two, one elsewhere", 2, 0, 1, 1, 1},
    };
    for (const Row& r : rows) {
        auto target = NewFighter<ScriptedFighter>();
        CharacterCreateRecord record;
        record.skills[0] = 1;
        target->Create(&record);
        const f32 alone = target->GetStrengthFactor();
        std::vector<std::unique_ptr<ScriptedFighter>> others;
        std::vector<CObjectDivision*> list{target.get()};
        for (u32 i = 0; i < r.lockers; ++i) {
            others.push_back(Fighter({f32(i + 1), 0, 5}, i + 1, 1));
            CharacterStatus& s = *others.back()->GetStatus();
            s.lockedTargetId = i < r.elsewhere ? others.front()->GetId() : target->GetId();
            if (i >= r.lockers - r.defeated) s.action = kActionDefeated;
            list.push_back(others.back().get());
        }
        scene_.characters = {list.data(), u32(list.size())};
        target->LateUpdate(0);
        EXPECT_EQ(target->GetStatus()->lockedByCount, r.count) << r.name;
        EXPECT_FLOAT_EQ(target->GetStrengthFactor(), alone * r.factor) << r.name;
        scene_.characters = {};
    }
}

// Any other card's event camera flies from the cast: the fighter's
// end-of-frame pass steps it every frame.
TEST_F(LateUpdateTest, ACardsEventCameraFliesFromTheCast)
{
    CEventCamera flight;
    battle_test::FillOneShot(flight);
    ASSERT_EQ(flight.Save("Flight.cam"), 1);
    setting_test::SettingWriter()
        .Set("NAME", "spell").Set("AMMUNITION", 1).Set("RELOAD", 0.0f).Set("SHOOTWAIT", 5.0f)
        .Set("LEFTEVENTCAMERA", "Flight.cam").Save("Spell.txt");
    auto f = Fighter({0, 0, 50});
    auto& card = static_cast<CSpellCard&>(*f->GetSpellCards()[0]);
    card.UpdateReload(f.get());
    ASSERT_EQ(f->StartSpellCard(), 1u);
    ASSERT_NE(card.GetEventCamera(0), nullptr);
    const CEventCameraState& flown = card.GetEventCamera(0)->GetState();
    EXPECT_EQ(flown.paused, 0u);
    Frame(*f);
    const f32 clock = flown.clock;
    EXPECT_GT(clock, 0.0f);
    Frame(*f);
    EXPECT_FLOAT_EQ(flown.clock, 2 * clock);
    EXPECT_EQ(f->GetStatus()->action, u32(kActionSpellCard));
}

// The climax card's bullet binds; the bind starts the climax phase, whose
// event camera, once the approach is over, drives the fighter's view at the
// end of its frames.
TEST_F(LateUpdateTest, ABindingClimaxCardStartsItsEventCamera)
{
    CEventCamera flight;
    battle_test::FillOneShot(flight);
    ASSERT_EQ(flight.Save("Flight.cam"), 1);
    setting_test::SettingWriter()
        .Set("NAME", "climax").Set("AMMUNITION", 1).Set("RELOAD", 0.0f).Set("SHOOTLENGTH", 5.0f)
        .Set("LEFTEVENTCAMERA", "Flight.cam").Set("FINALESTARTTIME", 0.05f).Set("CLIMAXSHOOTNO", 8)
        .Set("ENDNO", 9).Save("Spell.txt");
    auto shooter = Fighter({0, 0, 50}, 0, 0), victim = Fighter({}, 1, 1);
    CharacterStatus& s = *shooter->GetStatus();
    s.tension = 3;
    auto& card = static_cast<CSpellCard&>(*shooter->GetSpellCards()[6]);
    card.UpdateReload(shooter.get());
    ASSERT_EQ(shooter->StartClimaxSpell(), 1u);
    ASSERT_EQ(shooter->IsClimaxLocked(), 0u);

    CBulletParameter record;
    MakeBindShot(record);
    CBullet* bullet = nullptr;
    ASSERT_NO_FATAL_FAILURE(LaunchBullet(record, shooter.get(), {0, 0, -0.5f}, bullet));
    CBulletList bullets;
    bullets.Add(bullet);
    IBattleCharacter* fighters[] = {shooter.get(), victim.get()};
    RunBulletFirstPass(bullets, fighters, 2, 0);
    RunBulletSecondPass(bullets, fighters, 2, 0);
    ASSERT_EQ(victim->GetStatus()->action, kActionBound);
    EXPECT_EQ(shooter->IsClimaxLocked(), 1u);
    EXPECT_EQ(card.GetClimaxLevel(), 1u);
    EXPECT_EQ(shooter->StartClimaxCard(), 0u);   // once per cast

    const CEventCameraState& flown = card.GetEventCamera(0)->GetState();
    // The flight starts once the fighter has closed in to SHOOTLENGTH (its
    // card lets it move before the lock, which leaves the approach whole).
    for (u32 frame = 0; frame < 100 && (flown.paused || flown.clock == 0.0f); ++frame) Frame(*shooter);
    ASSERT_EQ(flown.paused, 0u);
    EXPECT_NEAR((*shooter->GetPosition() - *victim->GetPosition()).Length(), 5.0f, 1e-3f);
    const f32 clock = flown.clock;
    Frame(*shooter);
    EXPECT_FLOAT_EQ(flown.clock, clock + 0.25f);
    const CCamera* view = shooter->GetCameraController()->GetCamera();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetEye().x, flown.lastEye.x);
    EXPECT_EQ(view->GetEye().z, flown.lastEye.z);
}

// The climax card's approach closes in along the line to the bound target
// facing it, pitch and all: from above and behind it the fighter comes round
// and looks down at it. A card that lets its user move before the lock
// closes in the same: the move input leaves the locked card's motion alone.
TEST_F(LateUpdateTest, TheClimaxApproachFacesTheTargetPitchAndAll)
{
    AddFullFighter();   // it has the close-in motion (14) the approach plays
    for (const i32 moving : {0, 1}) {
        SCOPED_TRACE(moving);
        setting_test::SettingWriter()
            .Set("NAME", "climax").Set("AMMUNITION", 1).Set("RELOAD", 0.0f).Set("SHOOTLENGTH", 5.0f)
            .Set("MOVINGFLG", moving).Set("CLIMAXSHOOTNO", 8).Set("ENDNO", 9).Save("Spell.txt");
        auto* parameter = new CCharacterParameter();
        ASSERT_EQ(parameter->LoadFile("Chr_Full.txt"), 1);
        auto shooter = std::make_unique<ScriptedFighter>(parameter, nullptr);
        ASSERT_EQ(shooter->LoadResource(&resources_), 1);
        shooter->Create(nullptr);
        battle_test::FakeFighter victim(CVector3(0, -30, 60));
        shooter->GetStatus()->tension = 3;
        shooter->GetStatus()->lockedTargetId = victim.GetId();
        auto& card = static_cast<CSpellCard&>(*shooter->GetSpellCards()[6]);
        card.UpdateReload(shooter.get());
        ASSERT_EQ(shooter->StartClimaxSpell(), 1u);
        EXPECT_EQ(shooter->IsFree(), u32(moving));   // free until the lock
        ASSERT_EQ(shooter->StartClimaxCard(), 1u);
        ASSERT_EQ(card.IsClimaxStartPending(), 1u);
        EXPECT_EQ(shooter->IsFree(), 0u);
        for (u32 frame = 0; frame < 6; ++frame) {
            Frame(*shooter);
            ASSERT_EQ(card.IsClimaxStartPending(), 1u) << frame;   // still closing in
            ASSERT_EQ(shooter->GetMotion(), 14u) << frame;
        }
        // Toward (0, -30, 60) from the line it flies along: behind the fighter,
        // which faced -Z, and down at atan2(-30, 60).
        const CVector3 turned = *shooter->GetRotation();
        EXPECT_NEAR(turned.y, 180.0f, 1e-2f);
        EXPECT_NEAR(turned.x, Atan2F(-30.0f, 60.0f) * kRadToDeg + 360.0f, 1e-2f);
    }
}

// A trigger card (SPELLTYPE 1) takes its one step from 28 held and 23
// pressed, the step's motion with it; a chaining card (SPELLTYPE 6) counts
// the short attack a guard counter gives it and restarts its phase time.
TEST_F(LateUpdateTest, TheCardTakesItsTriggerStepAndChainedAttacks)
{
    for (const i32 type : {1, 6}) {
        setting_test::SettingWriter()
            .Set("NAME", "spell").Set("AMMUNITION", 1).Set("RELOAD", 0.0f).Set("SPELLTYPE", type)
            .Set("SHOOTWAIT", 5.0f).Set("SHORTATTACKFAST", 0.7f).Save("Spell.txt");
        auto f = NewFighter<CardFighter>();
        f->Create(nullptr);
        auto& card = static_cast<CSpellCard&>(*f->GetSpellCards()[0]);
        card.UpdateReload(f.get());
        ASSERT_EQ(f->StartSpellCard(), 1u) << type;
        const u32 step = card.GetStep();
        if (type == 1) {
            const InputPacket chord = {{0x40, 0x08}, 0, 0};     // 23 and 28 held
            const InputPacket trigger = {{0x00, 0x08}, 0, 0};   // 28 alone first
            for (const InputPacket* p : {&trigger, &chord, &trigger, &chord}) {
                f->ApplyInputPacket(p);
                f->DispatchInput(0);
            }
            EXPECT_EQ(card.GetStep(), step + 1);
            EXPECT_EQ(f->GetStatus()->spellStep, 1u);
        } else {
            f->AdvanceCardShortAttack();
            EXPECT_EQ(card.GetCounter(), 1u);
            EXPECT_FLOAT_EQ(card.GetClock(), 0.7f);
        }
    }
}

// The bound fighter watches from the lock-on view; the result view turns
// from behind the fighter; result and the end of a freeze let the upper body
// go, and a winner holds up the weapons of SHOWFLG bit 1.
TEST_F(LateUpdateTest, BoundResultAndFrozenStepsSetCameraMotionAndWeapons)
{
    setting_test::SettingWriter().Set("BONE", "Arm").Set("RESOURCE", "Non Name").Set("SHOWFLG", 1 | 2).Save("Staff.txt");
    const u32 kWait = FindMotionKey("WAIT"), kMove = FindMotionKey("MOVE");
    for (const bool won : {true, false}) {
        auto f = Fighter({});
        CharacterStatus& s = *f->GetStatus();
        f->StartBound(FindMotionKey("CLIMAXBIND"));
        EXPECT_EQ(Camera(*f).GetMode(), kCameraLock);
        s.action = kActionNeutral;
        f->GetRotation()->Set(0, 135, 0);
        ASSERT_EQ(f->PlayAnimation(u32(s.motions[kMove]), 1, 1, 1, 0.1f, 0), 1);
        scene_.wonTeam = won ? 0 : 7;
        f->OnBattleEnd();
        ASSERT_EQ(s.action, kActionResult);
        for (u32 i = 0; i < 10; ++i) f->DispatchAction(0);
        EXPECT_EQ(f->GetPlayedAnimation(), u32(s.motions[kWait])) << won;
        EXPECT_EQ(Camera(*f).GetMode(), kCameraResult) << won;
        EXPECT_FLOAT_EQ(Camera(*f).GetState().yaw, 135) << won;
        EXPECT_EQ(static_cast<CWeapon*>(f->GetWeapons().GetAt(0))->HasReturned(), won ? 1u : 0u) << won;
    }
    auto f = Fighter({});
    CharacterStatus& s = *f->GetStatus();
    s.moveHit.rollCount = 2;
    s.timers.freezeTime = 0.3f;
    f->StartFrozen();
    EXPECT_EQ(s.moveHit.rollCount, 0u);
    ASSERT_EQ(f->PlayAnimation(u32(s.motions[kMove]), 1, 1, 1, 0.1f, 0), 1);
    for (u32 i = 0; i < 3 && s.action == kActionFrozen; ++i) f->DispatchAction(0);
    EXPECT_EQ(s.action, kActionNeutral);
    EXPECT_EQ(f->GetPlayedAnimation(), f->GetChangedAnimation());
}

// Within SHOOTOUTRADIUS the shoot-out fires from its own view; mashing out
// at SHOOTOUTCOUNT releases hits the rival and turns its camera to the one
// that broke out; once the rival has left, the fighter returns to lock-on
// with the camera placed at it.
TEST_F(LateUpdateTest, TheShootOutViewsAndItsEscape)
{
    auto f = Fighter({});
    ShootOutRecord& r = f->GetParameter()->values.shootOut;
    r.count = 3, r.str = 50;
    auto rival = Fighter({0, 0, -r.radius}, 1, 1);
    ASSERT_EQ(f->StartShootOut(rival.get()), 1u);
    rival->GetStatus()->action = kActionShootOut;
    rival->GetStatus()->lockedTargetId = f->GetId();
    f->DispatchAction(0);
    EXPECT_EQ(Camera(*f).GetMode(), kCameraShootOut);

    const i32 hp = rival->GetStatus()->hp;
    const InputPacket press = {{0x20, 0}, 0, 0}, none = {};   // bit 5: code 22
    for (u32 i = 0; i < 3; ++i) {
        f->ApplyInputPacket(&press);
        f->DispatchInput(0);
        f->ApplyInputPacket(&none);
        f->DispatchInput(0);
        EXPECT_EQ(rival->GetStatus()->hp < hp, i == 2) << i;
    }
    const CCameraState& c = Camera(*rival).GetState();
    EXPECT_EQ(c.mode, kCameraLock);
    EXPECT_FLOAT_EQ(c.targetYaw, 180);   // from -z back along +z at the fighter

    rival->GetStatus()->action = kActionNeutral;
    f->GetPosition()->Set(3, 0, 0);
    f->DispatchAction(0);
    EXPECT_EQ(f->GetStatus()->action, kActionNeutral);
    EXPECT_EQ(Camera(*f).GetMode(), kCameraLock);
    EXPECT_EQ(Camera(*f).GetState().eyeAnchor.x, 3.0f);
}

// The approach leaves a magic square every SLIDEMAGICSQUAREPLAYINTERVAL;
// once firing, the view stands at the pair's midpoint and swings: the pitch
// between the shoot-out row's vertical limits (-30, 30) by the sine of the
// clock x SHOOTOUTVERTICALWIDTH, the yaw at its rotation speed (360 a
// second) times the clock.
TEST_F(LateUpdateTest, TheShootOutApproachLeavesMagicSquaresAndTheFiringViewSwings)
{
    auto f = Fighter({});
    CharacterValues& v = f->GetParameter()->values;
    v.shootOut.time = 100, v.shootOut.verticalWidth = 90;
    v.general.slideAcceleration = 4;          // a metre a quarter-second frame
    v.general.slideMagicSquarePlayInterval = 0.4f;
    f->GetStatus()->effects[FindEffectKey("EFCSLIDEMAGICSQUARE")] = &container_;
    // 3.5 beyond the radius: a few frames of approach.
    auto rival = Fighter({0, 0, -(v.shootOut.radius + 3.5f)}, 1, 1);
    ASSERT_EQ(f->StartShootOut(rival.get()), 1u);
    rival->GetStatus()->action = kActionShootOut;
    rival->GetStatus()->lockedTargetId = f->GetId();
    auto squares = [&] {
        u32 n = 0;
        for (CEffect* e = effects_.GetFirstEffect(); e; e = e->GetNext()) n += e->GetDefinition() != nullptr;
        return n;
    };
    auto frame = [&] { f->Update(0), f->PostUpdate(0), f->LateUpdate(0); };
    std::vector<u32> played;
    while (f->GetStatus()->turnShoot && played.size() < 40) {
        frame();
        played.push_back(squares());
    }
    ASSERT_EQ(f->GetStatus()->turnShoot, 0u);   // placed at the radius
    // The timer starts at 0 and reaches the interval every second frame;
    // the frame that places the fighter plays none.
    ASSERT_GE(played.size(), 4u);
    for (u32 i = 0; i + 1 < played.size(); ++i) EXPECT_EQ(played[i], i / 2) << i;
    EXPECT_EQ(played.back(), played[played.size() - 2]);
    EXPECT_EQ(Camera(*f).GetMode(), kCameraShootOut);
    const CVector3 midpoint = (*f->GetPosition() + *rival->GetPosition()) * 0.5f;
    // The next steps see the clock a quarter second further each.
    for (u32 i = 0; i < 3; ++i) {
        const f32 clock = 0.25f * f32(played.size() + i);
        const f32 pitch = -30.0f + 60.0f * (SinF(clock * 90.0f * kDegToRad) + 1.0f) * 0.5f;
        const f32 yaw = FmodF(360.0f * clock, 360.0f);
        frame();
        const CCameraState& c = Camera(*f).GetState();
        EXPECT_NEAR(c.pitch, pitch, 1e-3f) << clock;
        EXPECT_NEAR(c.yaw, yaw, 1e-3f) << clock;
        // The anchors start each frame at the midpoint and chase the fighter
        // for one frame's step of the view's update.
        EXPECT_LT((c.targetAnchor - midpoint).Length(), 0.3f) << clock;
        EXPECT_LT((c.eyeAnchor - midpoint).Length(), 0.3f) << clock;
    }
    EXPECT_EQ(squares(), played.back());   // none while firing
}

// The approach meets the stage as any movement does, in whole battle
// frames with a room as the stage. A rival beyond a wall: the fighter stays
// inside and goes on approaching, sliding along the wall toward a rival off
// to the side. Nothing in the way: frame by frame as without a stage. A
// rival already within SHOOTOUTRADIUS sends the fighter back to it, stopped
// by a wall behind. The rival holds still.
TEST_F(LateUpdateTest, TheShootOutApproachMeetsTheStageAsMovementDoes)
{
    const CBox wallAhead({-10, 0, -6}, {10, 10, 10}), open({-10, 0, -20}, {10, 10, 10});
    const CBox wallBehind({-10, 0, -10}, {10, 10, 5});
    struct Row {
        const char* name;
        const CBox* room;
        CVector3 rival;
        f32 radius;
        bool fires;         // the approach ended, the fighter placed
        f32 minZ, maxZ;     // where the fighter stays over the frames
        f32 reachX;         // the x it gets to, at least
    } const rows[] = {
        {"wall ahead", &wallAhead, {0, 5, -9}, 2, false, -6, 0, 0},
        {"wall ahead, rival aside", &wallAhead, {9, 5, -9}, 2, false, -6, 0, 8},
        {"open", &open, {0, 5, -9}, 2, true, -7.5f, 0, 0},
        {"wall behind", &wallBehind, {0, 5, -4}, 12, true, 0, 5, 0},
    };
    constexpr u32 kFrames = 24;
    using Point = std::tuple<f32, f32, f32>;
    // The fighter's positions over the frames, and whether it fires.
    auto run = [&](const Row& row, CStage* stage) {
        auto f = Fighter({0, 5, 0});
        CharacterValues& v = f->GetParameter()->values;
        v.shootOut.time = 100, v.shootOut.radius = row.radius;
        v.general.slideAcceleration = 4;   // a metre a quarter-second frame
        auto rival = Fighter(row.rival, 1, 1);
        rival->Script(kActionShootOut, false);
        EXPECT_EQ(f->StartShootOut(rival.get()), 1u);
        rival->GetStatus()->action = kActionShootOut;
        rival->GetStatus()->lockedTargetId = f->GetId();
        std::vector<Point> at;
        CCharacter* fighters[] = {f.get(), rival.get()};
        for (u32 i = 0; i < kFrames; ++i) {
            RunBattleFrame(scene_, fighters, stage);
            const CVector3& p = *f->GetPosition();
            at.emplace_back(p.x, p.y, p.z);
        }
        EXPECT_EQ(f->GetStatus()->action, kActionShootOut) << row.name;
        const bool fired = f->GetStatus()->turnShoot == 0;
        // The volley's bullets read their fighters' records: they go first.
        scene_.bullets.DeleteAll();
        return std::pair(at, fired);
    };
    for (const Row& row : rows) {
        auto stage = Room(*row.room);
        const auto [at, fires] = run(row, stage.get());
        EXPECT_EQ(fires, row.fires) << row.name;
        f32 lowestZ = std::get<2>(at[0]), highestZ = lowestZ, farthestX = std::get<0>(at[0]);
        for (const auto& [x, y, z] : at) {
            lowestZ = std::min(lowestZ, z), highestZ = std::max(highestZ, z);
            farthestX = std::max(farthestX, x);
        }
        EXPECT_GT(lowestZ, row.minZ) << row.name;
        EXPECT_LT(highestZ, row.maxZ) << row.name;
        EXPECT_GE(farthestX, row.reachX) << row.name;
        if (&row == &rows[2]) {
            // Placed exactly at the radius, as without a stage.
            EXPECT_EQ(at.back(), Point(0, 5, -7));
            const auto [bare, bareFires] = run(row, nullptr);
            EXPECT_TRUE(bareFires);
            EXPECT_EQ(at, bare);
        }
    }
}

// A fighter flying level into a vertical wall of the room, in whole battle
// frames of a tenth of a second (each move shorter than RADIUS, so the
// stage's segment test never reaches the wall): the stage's sphere test
// takes it at its centre and pushes it out along the wall's normal, so it
// keeps its height frame after frame, stays inside, comes to rest just off
// the wall and keeps its run along it.
TEST_F(LateUpdateTest, AFighterFlyingLevelIntoAWallKeepsItsHeight)
{
    const CBox room({-10, 0, -6}, {10, 10, 10});
    struct Row {
        const char* name;
        CVector3 start, velocity;   // metres a second
        int axis;                   // the wall's axis
        f32 wall, inward;           // where it stands, and which way is in
    } const rows[] = {
        {"straight into -z", {0, 5, 0}, {0, 0, -8}, 2, -6, 1},
        {"straight into +x", {6, 3, 2}, {8, 0, 0}, 0, 10, -1},
        {"slanting into -z", {-8, 7, -2}, {4, 0, -8}, 2, -6, 1},
    };
    constexpr u32 kFrames = 12;
    SetFrameTime(100);
    for (const Row& row : rows) {
        auto stage = Room(room);
        auto f = Fighter(row.start);
        const f32 radius = f->GetParameter()->values.body.radius;
        ASSERT_GT(radius, 0.0f);
        // Flying on at its speed: nothing slows it.
        CharacterGeneral& g = f->GetParameter()->values.general;
        g.moveDeceleration = 0, g.moveVelocity = g.backMoveVelocity = 100;
        CCharacter* fighters[] = {f.get()};
        std::vector<CVector3> at;
        for (u32 i = 0; i < kFrames; ++i) {
            f->GetStatus()->velocity = row.velocity;
            RunBattleFrame(scene_, fighters, stage.get());
            at.push_back(*f->GetPosition());
        }
        for (u32 i = 0; i < kFrames; ++i) {
            const CVector3& p = at[i];
            EXPECT_NEAR(p.y, row.start.y, 1e-4f) << row.name << " frame " << i;
            // Its sphere stays on the room's side of the wall.
            EXPECT_GE((p[row.axis] - row.wall) * row.inward, radius - 1e-3f) << row.name << " frame " << i;
        }
        // At rest against the wall by the last two frames, a hair off it.
        for (const CVector3& p : {at[kFrames - 2], at[kFrames - 1]})
            EXPECT_NEAR((p[row.axis] - row.wall) * row.inward, radius + 0.001f, 1e-4f) << row.name;
        // Along the wall it runs on as it flies: the other level axis.
        const int along = 2 - row.axis;
        const f32 run = row.velocity[along] * 0.1f;
        EXPECT_NEAR(at[kFrames - 1][along] - at[kFrames - 2][along], run, 1e-4f) << row.name;
    }
    SetFrameTime(250);
}

// A move longer than the way to a wall, by speed or by a long frame, would
// carry the fighter's sphere out through the wall in one frame, where the
// sphere test meets nothing: the stage's segment test takes the frame's
// move from the centre and stops it touching the wall (message 12). The
// fighter stays inside from then on, at its height.
TEST_F(LateUpdateTest, AMoveLongerThanTheWayToAWallStopsAtTheWall)
{
    const CBox room({-10, 0, -6}, {10, 10, 10});
    struct Row {
        const char* name;
        CVector3 start, velocity;   // metres a second
        u32 frameMs;
        int axis;                   // the wall's axis
        f32 wall, inward;           // where it stands, and which way is in
        f32 along;                  // where the first frame leaves it along the wall
    } const rows[] = {
        {"fast into -z", {0, 5, 0}, {0, 0, -40}, 250, 2, -6, 1, 0},
        {"a long frame into -z", {0, 5, 0}, {0, 0, -8}, 2000, 2, -6, 1, 0},
        {"fast into +x", {6, 3, 2}, {40, 0, 0}, 250, 0, 10, -1, 2},
        // Stopped where its way meets the wall, RADIUS short of it.
        {"fast, slanting into -z", {0, 7, 0}, {20, 0, -40}, 250, 2, -6, 1, 2.5527864f},
    };
    for (const Row& row : rows) {
        SetFrameTime(row.frameMs);
        auto stage = Room(room);
        auto f = Fighter(row.start);
        const f32 radius = f->GetParameter()->values.body.radius;
        CharacterGeneral& g = f->GetParameter()->values.general;
        g.moveDeceleration = 0, g.moveVelocity = g.backMoveVelocity = 100;
        CCharacter* fighters[] = {f.get()};
        for (u32 i = 0; i < 3; ++i) {
            f->GetStatus()->velocity = row.velocity;
            RunBattleFrame(scene_, fighters, stage.get());
            const CVector3& p = *f->GetPosition();
            const f32 off = (p[row.axis] - row.wall) * row.inward;
            EXPECT_GE(off, radius - 1e-4f) << row.name << " frame " << i;
            EXPECT_LE(off, radius + 2e-3f) << row.name << " frame " << i;
            EXPECT_NEAR(p.y, row.start.y, 1e-4f) << row.name << " frame " << i;
            if (i == 0) {
                EXPECT_NEAR(p[2 - row.axis], row.along, 1e-3f) << row.name;
            }
        }
    }
    SetFrameTime(250);
}

// The step back to SHOOTOUTRADIUS is a move the stage's box takes back in
// within the fighter's own update (the box's +z face at 5, RADIUS 1).
TEST_F(LateUpdateTest, TheShootOutStepBackStaysInTheStageBox)
{
    const CBox room({-50, -50, -50}, {50, 50, 50}), box({-100, -100, -100}, {100, 100, 5});
    auto stage = Room(room, &box);
    // SHOOTOUTRADIUS, and where the fighter ends: 4 is as far as the box
    // lets it go.
    const std::pair<f32, f32> rows[] = {{7, 3}, {8, 4}, {10, 4}};
    for (const auto& [radius, z] : rows) {
        auto f = Fighter({0, 5, 0});
        f->GetParameter()->values.shootOut.radius = radius, f->GetParameter()->values.shootOut.time = 100;
        auto rival = Fighter({0, 5, -4}, 1, 1);
        ASSERT_EQ(f->StartShootOut(rival.get()), 1u);
        rival->GetStatus()->action = kActionShootOut;
        f->Update(0);
        EXPECT_EQ(f->GetStatus()->turnShoot, 0u) << radius;
        const CVector3& p = *f->GetPosition();
        EXPECT_EQ(std::tuple(p.x, p.y, p.z), std::tuple(0.0f, 5.0f, z)) << radius;
    }
}

// The volley of the firing phase wears the rival down but never defeats it;
// the start clears a mash count left from an earlier shoot-out, and each
// frame shakes the pad.
TEST_F(LateUpdateTest, TheShootOutVolleyIsNotLethalAndStartsFromAZeroMashCount)
{
    auto f = Fighter({});
    ShootOutRecord& r = f->GetParameter()->values.shootOut;
    r.timeStr = 50, r.shootTime = 0.2f, r.time = 100;
    f->GetParameter()->values.body.smallPadVibrationPow = 12345;
    auto rival = Fighter({0, 0, -r.radius}, 1, 1);
    f->GetStatus()->moveHit.escapePresses = 5;
    ASSERT_EQ(f->StartShootOut(rival.get()), 1u);
    EXPECT_EQ(f->GetStatus()->moveHit.escapePresses, 0u);
    rival->GetStatus()->action = kActionShootOut;
    rival->GetStatus()->lockedTargetId = f->GetId();
    rival->GetStatus()->hp = 60;
    // Quarter-second frames: a volley every frame once the approach ends.
    std::vector<i32> hp;
    for (u32 i = 0; i < 4; ++i) {
        Frame(*f);
        hp.push_back(rival->GetStatus()->hp);
    }
    EXPECT_EQ(hp, (std::vector<i32>{60, 10, 1, 1}));
    EXPECT_EQ(rival->GetStatus()->action, kActionShootOut);
    EXPECT_EQ(f->GetStatus()->action, kActionShootOut);
    EXPECT_EQ(f->GetInput().vibrationLeft, 12345u);
    EXPECT_EQ(f->GetInput().vibrationRight, 12345u);
}

// Voices and sound effects play at the camera's reference point (the eye's
// anchor, which chases the fighter) and follow it, not the fighter; a new
// camera hands the old one's sounds to the fighter.
TEST_F(LateUpdateTest, VoicesAndSoundsFollowTheCamerasReferencePoint)
{
    auto f = Fighter({0, 0, 0});
    VoiceBench bench;
    bench.Give(*f->GetStatus());
    bench.GiveSoundEffects(*f->GetStatus());
    CharacterStatus& s = *f->GetStatus();
    const CVector3* anchor = &Camera(*f).GetState().eyeAnchor;
    ASSERT_EQ(f->GetSoundPoint(), anchor);
    ASSERT_EQ(f->PlaySound(FindVoiceKey("VOICESHOOT")), 1u);
    const SoundVoice* voice = s.voices[s.lastVoice]->GetVoice(s.voiceIndex);
    ASSERT_NE(voice, nullptr);
    EXPECT_EQ(voice->follow, anchor);
    ASSERT_EQ(f->PlayHitSound(1, 1), 1u);
    const SoundVoice* effect = s.soundEffects[character_slots::kSeSlashSmallDamage]->GetVoice(0);
    EXPECT_EQ(effect->follow, anchor);
    // The fighter moves away; the anchor, and so the sounds, follow it.
    const CVector3 away(0, 0, -20);
    f->SetPosition(&away);
    for (u32 i = 0; i < 4; ++i) Frame(*f);
    EXPECT_LT(anchor->z, -1.0f);
    EXPECT_EQ(voice->follow, anchor);
    // A camera made again: its sounds follow the fighter, not the old anchor.
    ASSERT_EQ(f->CreateCameraController(), 1);
    EXPECT_EQ(voice->follow, f->GetPosition());
    EXPECT_EQ(effect->follow, f->GetPosition());
    EXPECT_EQ(f->GetSoundPoint(), &Camera(*f).GetState().eyeAnchor);
    f.reset();
}

// A charged shot shakes the stage (message 43 to group 2 with the shooter's
// slot, not to the scene or the fighters) and vibrates the pad; a tap does
// neither. So does every frame of a shoot-out.
TEST_F(LateUpdateTest, AChargedShotShakesTheStageAndVibratesThePad)
{
    battle_test::FakeStage stage;
    battle_test::FakeFighter bystander(CVector3(0, 0, -10));
    struct Row {
        const char* name;
        u32 held;   // quarter-second frames before the release
        f32 chargeTime;
        bool charged;
    } const rows[] = {{"a tap", 1, 0.5f, false}, {"a frame short", 2, 0.75f, false},
        {"held to CHARGETIME exactly", 2, 0.5f, true}};
    for (const Row& r : rows) {
        auto f = Fighter({}, 3);
        CharacterValues& v = f->GetParameter()->values;
        v.shots[0].chargeTime = v.shots[2].chargeTime = r.chargeTime;
        v.body.smallPadVibrationPow = 12345;
        stage.shakes.clear(), bystander.received.clear(), scene_.asked.clear();
        const InputPacket shot = {{0x80, 0}, 0, 0}, none = {};   // bit 7: code 24
        for (u32 i = 0; i < r.held; ++i) f->ApplyInputPacket(&shot), Frame(*f);
        f->ApplyInputPacket(&none), Frame(*f);
        ASSERT_EQ(f->GetStatus()->action, kActionShoot) << r.name;
        EXPECT_EQ(f->GetStatus()->barrageSlot, r.charged ? 2u : 0u) << r.name;
        EXPECT_EQ(stage.shakes, r.charged ? std::vector<u32>{3} : std::vector<u32>{}) << r.name;
        EXPECT_EQ(bystander.Count(kMsgSmallShake), 0u) << r.name;
        EXPECT_EQ(std::count(scene_.asked.begin(), scene_.asked.end(), u32(kMsgSmallShake)), 0) << r.name;
        EXPECT_EQ(f->GetInput().vibrationLeft, r.charged ? 12345u : 0u) << r.name;
        EXPECT_EQ(f->GetInput().vibrationRight, r.charged ? 12345u : 0u) << r.name;
    }
    // The shoot-out: one shake a frame, with the slot.
    auto f = Fighter({}, 2);
    auto rival = Fighter({0, 0, -f->GetParameter()->values.shootOut.radius}, 1, 1);
    ASSERT_EQ(f->StartShootOut(rival.get()), 1u);
    rival->GetStatus()->action = kActionShootOut;
    rival->GetStatus()->lockedTargetId = f->GetId();
    stage.shakes.clear();
    for (u32 i = 0; i < 3; ++i) Frame(*f);
    EXPECT_EQ(stage.shakes, (std::vector<u32>{2, 2, 2}));
    EXPECT_EQ(bystander.Count(kMsgSmallShake), 0u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
