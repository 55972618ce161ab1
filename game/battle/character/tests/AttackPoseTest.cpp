// How a fighter looks and moves while it attacks, through whole frames: the
// upper-body shoot motions by what the legs or the slide do, the lunges of
// close attacks along the pitched front, the orbit effect on the trail's
// bone and the slide start effect turned the way the slide goes. The
// fighter's model has every motion of the table.
#include "CharacterTestSupport.h"

#include "engine/core/FloatMath.h"
#include "engine/model/AnimationController.h"
#include "engine/scene/Effect.h"

#include <gtest/gtest.h>

namespace attack_pose_test {

namespace ORV_TEST_FILE_ID {

using namespace character_test;

namespace {

u32 M(const char* key) { return FindMotionKey(key); }

// Ways the legs or a slide go, as pads: a direction button with the stick.
const InputPacket kForward = Pad({12}, 0, -100), kRight = Pad({12}, 100, 0), kLeft = Pad({12}, -100, 0),
                  kBackward = Pad({12}, 0, 100), kClimb = Pad({27}), kDive = Pad({29}), kNone = Pad({});

const char* const kShootMotions[] = {"SHOOT", "MOVEFRONTSHOOT", "ACTIONSHOOT", "MOVERIGHTSHOOT", "MOVELEFTSHOOT"};

class AttackPoseTest : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        factory_.realBarrages = true;   // a shot lasts while its barrage fires
        AddFullFighter([](setting_test::SettingWriter& w) {
            // The first trail of hit type 2 is on the arm; one of another type
            // and a later one of type 2 lie elsewhere.
            w.Set("TRACE", "count:4 type:1 startx:9 bone:\"Body\"");
            w.Set("TRACE", "count:4 type:2 startx:0.1 starty:0.2 startz:0.3 endx:1 bone:\"Arm\"");
            w.Set("TRACE", "count:4 type:2 startx:5 bone:\"Body\"");
        });
        SetFrameTime(50);
    }
    void TearDown() override
    {
        c_.reset();
        target_.reset();
        ScriptedFighterTest::TearDown();
    }
    // The full fighter, ready to shoot, attack and slide.
    void Make()
    {
        auto* parameter = new CCharacterParameter();
        ASSERT_EQ(parameter->LoadFile("Chr_Full.txt"), 1);
        c_ = std::make_unique<ScriptedFighter>(parameter, nullptr);
        ASSERT_EQ(c_->LoadResource(&resources_), 1);
        c_->Create(nullptr);
        effects_.DeleteAll();   // the last row's
        S().tension = 1, S().mp = 100, S().ammunition = 5;
        S().timers.shortAttackCooldown = S().timers.guardReload = S().attackClocks[1] = 100.0f;
    }
    // A rival at place, locked.
    void Lock(const CVector3& place)
    {
        target_ = std::make_unique<battle_test::FakeFighter>(place);
        S().lockedTargetId = target_->GetId();
    }
    void Play(const Pads& pads)
    {
        CCharacter* const fighters[] = {c_.get()};
        for (const InputPacket& p : pads) {
            c_->ApplyInputPacket(&p);
            RunBattleFrame(scene_, fighters);
        }
    }
    // Starts a slide the way way goes: the slide button pressed and let go.
    void Slide(const InputPacket& way) { Play({With(way, {22}), way}); }
    // The shoot motion on the upper body; "" for none.
    std::string UpperShootMotion() const
    {
        for (const char* key : kShootMotions)
            if (c_->IsPlayedAnimation(M(key))) return key;
        return "";
    }
    // The effects the controller runs, in its order.
    std::vector<CEffect*> Effects()
    {
        std::vector<CEffect*> list;
        for (CEffect* e = effects_.GetFirstEffect(); e; e = e->GetNext()) list.push_back(e);
        return list;
    }

    std::unique_ptr<battle_test::FakeFighter> target_;
};

}  // namespace

// While a shot runs the upper body follows the legs (standing, flying,
// climbing) or the slide: the front slide shoots forward, the others from
// the action pose, and of the double slides only the side ones shoot with
// it (the others cannot shoot). A change of the legs during the shot
// changes the pose the next frame.
TEST_F(AttackPoseTest, TheShootStepPosesTheUpperBodyByTheLegsOrTheSlide)
{
    struct Row {
        const char* name;
        Pads lead;   // after Make, before the shot
        InputPacket way;   // held through the shot
        u32 action;
        const char* pose;
        InputPacket then;   // held two frames after the shot's start
        const char* poseThen;
    };
    const auto slide = [](const InputPacket& way) { return Pads{With(way, {22}), way}; };
    auto twice = [&](const InputPacket& first, const InputPacket& second) {
        Pads pads = slide(first);
        pads.insert(pads.end(), 6, kNone);   // past SLIDEFASTTIME (0.3 s)
        for (const InputPacket& p : slide(second)) pads.push_back(p);
        return pads;
    };
    const Row rows[] = {
        {"standing", {}, kNone, kActionShoot, "SHOOT", kForward, "MOVEFRONTSHOOT"},
        {"flying level", {kForward, kForward}, kForward, kActionShoot, "MOVEFRONTSHOOT", kClimb, "ACTIONSHOOT"},
        {"climbing", {kClimb, kClimb}, kClimb, kActionShoot, "ACTIONSHOOT", kNone, "SHOOT"},
        {"diving", {kDive, kDive}, kDive, kActionShoot, "ACTIONSHOOT", kRight, "MOVEFRONTSHOOT"},
        {"front slide", slide(kForward), kNone, kActionSlideShoot, "MOVEFRONTSHOOT", kNone, "MOVEFRONTSHOOT"},
        {"right slide", slide(kRight), kNone, kActionSlideShoot, "ACTIONSHOOT", kNone, "ACTIONSHOOT"},
        {"left slide", slide(kLeft), kNone, kActionSlideShoot, "ACTIONSHOOT", kNone, "ACTIONSHOOT"},
        {"back slide", slide(kBackward), kNone, kActionSlideShoot, "ACTIONSHOOT", kNone, "ACTIONSHOOT"},
        {"up slide", slide(kClimb), kNone, kActionSlideShoot, "ACTIONSHOOT", kNone, "ACTIONSHOOT"},
        {"right double slide", twice(kForward, kRight), kNone, kActionDoubleSlideShoot, "ACTIONSHOOT", kNone,
            "ACTIONSHOOT"},
        {"left double slide", twice(kForward, kLeft), kNone, kActionDoubleSlideShoot, "ACTIONSHOOT", kNone,
            "ACTIONSHOOT"},
        // The front and back double slides refuse the shot.
        {"front double slide", twice(kRight, kForward), kNone, kActionDoubleSlide, "", kNone, ""},
        {"back double slide", twice(kRight, kBackward), kNone, kActionDoubleSlide, "", kNone, ""},
    };
    for (const Row& r : rows) {
        Make();
        Play(r.lead);
        Play({With(r.way, {24}), r.way});
        EXPECT_EQ(S().action, r.action) << r.name;
        EXPECT_EQ(UpperShootMotion(), r.pose) << r.name;
        Play({r.then, r.then});
        EXPECT_EQ(S().action, r.action) << r.name;
        EXPECT_EQ(UpperShootMotion(), r.poseThen) << r.name;
    }
}

// The shot's start poses the upper body by the legs' motion, before the
// shoot step refreshes it: standing shoots unless the shot turns first,
// flying level shoots forward unless it turns toward a locked target,
// climbing and diving take the action pose, a slide shoots to its side.
TEST_F(AttackPoseTest, TheShotsStartPosesTheUpperBodyByTheLegsMotion)
{
    enum Target { kNoTarget, kAhead, kBehind };
    struct Row {
        const char* name;
        Pads lead;
        Target target;
        const char* legs;
        const char* pose;
    };
    const Row rows[] = {
        {"standing", {}, kNoTarget, "WAIT", "SHOOT"},
        {"standing, turning", {}, kBehind, "WAIT", ""},
        {"flying level", {kForward, kForward}, kNoTarget, "MOVE", "MOVEFRONTSHOOT"},
        {"flying level at a target ahead", {kForward, kForward}, kAhead, "MOVE", "MOVEFRONTSHOOT"},
        {"flying level, turning", {kForward, kForward}, kBehind, "MOVE", ""},
        {"climbing, turning", {kClimb, kClimb}, kBehind, "MOVEUP", "ACTIONSHOOT"},
        {"diving", {kDive, kDive}, kNoTarget, "MOVEDOWN", "ACTIONSHOOT"},
        {"front slide", {With(kForward, {22}), kForward}, kNoTarget, "SLIDEFRONT", "MOVEFRONTSHOOT"},
        {"back slide", {With(kBackward, {22}), kBackward}, kNoTarget, "SLIDEBACK", "ACTIONSHOOT"},
        {"right slide", {With(kRight, {22}), kRight}, kNoTarget, "SLIDERIGHT", "MOVERIGHTSHOOT"},
        {"left slide", {With(kLeft, {22}), kLeft}, kNoTarget, "SLIDELEFT", "MOVELEFTSHOOT"},
        {"up slide", {With(kClimb, {22}), kClimb}, kNoTarget, "SLIDEUP", ""},
    };
    for (const Row& r : rows) {
        Make();
        if (r.target != kNoTarget) Lock(CVector3(0, 0, r.target == kAhead ? -10.0f : 10.0f));
        Play(r.lead);
        ASSERT_TRUE(c_->IsChangedAnimation(M(r.legs))) << r.name;
        // Behind is past BACKSHOOTANGLE (105): the shot turns first.
        ASSERT_EQ(c_->StartShoot(), 1u) << r.name;
        EXPECT_EQ(S().turnShoot, r.target == kBehind ? 1u : 0u) << r.name;
        EXPECT_EQ(UpperShootMotion(), r.pose) << r.name;
    }
}

// A shot that fires on the move turns toward a target behind it about the
// vertical only: toward one 45 degrees above, the yaw comes round and the
// pitch stays level. A shot that stops to turn faces it, pitch and all.
TEST_F(AttackPoseTest, AMovingShotTurnsItsYawAloneTowardTheTarget)
{
    for (const i32 moving : {1, 0}) {
        Make();
        for (ShotRecord& shot : c_->GetParameter()->values.shots) shot.movingFlg = moving, shot.backShootTime = 10;
        Lock(CVector3(0, 10, 10));   // behind the fighter, which faces -Z, and as high up as it is far
        Play({kForward, kForward});
        Play({With(kForward, {24}), kForward});
        ASSERT_EQ(S().turnShoot, 1u) << moving;
        EXPECT_EQ(c_->GetRotation()->x, moving ? 0.0f : 9.0f);   // 180 degrees a second
        f32 yaw = c_->GetRotation()->y;
        for (u32 frame = 0; frame < 4; ++frame) {
            Play({kForward});
            ASSERT_EQ(S().action, kActionShoot) << moving << " frame " << frame;
            EXPECT_NE(c_->GetRotation()->y, yaw) << moving << " frame " << frame;   // coming round
            yaw = c_->GetRotation()->y;
            if (moving) {
                EXPECT_EQ(c_->GetRotation()->x, 0.0f) << "frame " << frame;
            }
        }
        // The one that stops to turn has pitched most of the way up.
        const f32 pitch = c_->GetRotation()->x;
        EXPECT_TRUE(moving ? pitch == 0.0f : pitch > 35.0f && pitch <= 45.0f) << moving << " " << pitch;
    }
}

// Close attacks lunge along the pitched front: toward a rival above the
// fighter rises, below it sinks, level it stays level; the short attack
// and the slide attack alike.
TEST_F(AttackPoseTest, LungesFollowThePitchTowardTheTarget)
{
    struct Row {
        const char* name;
        bool slide;
        f32 height;   // of the rival, 10 ahead
        i32 sign;     // of the vertical speed after the lunge
    };
    const Row rows[] = {
        {"short attack up", false, 10, 1},  {"short attack level", false, 0, 0},
        {"short attack down", false, -10, -1}, {"slide attack up", true, 10, 1},
        {"slide attack level", true, 0, 0}, {"slide attack down", true, -10, -1},
    };
    for (const Row& r : rows) {
        Make();
        for (u32 n : {0u, 7u}) {
            ShortAttackRecord& a = c_->GetParameter()->values.shortAttacks[n];
            a.acceleration = 40.0f, a.fast = 1.0f, a.reverbe = 0.0f;
        }
        // Far beyond SLIDEATTACKRADIUS: the slide attack lunges from its set pose.
        Lock(CVector3(0, r.height, -40));
        if (r.slide) {
            Slide(kRight);   // a side slide pushes level
            Play(Pads(6, kNone));
            ASSERT_EQ(S().velocity.y, 0.0f) << r.name;
        }
        Play({Pad({25}), kNone});
        ASSERT_EQ(S().action, r.slide ? kActionSlideAttack : kActionShortAttack) << r.name;
        Play(Pads(4, kNone));
        const f32 vy = S().velocity.y;
        EXPECT_EQ(vy > 0 ? 1 : vy < 0 ? -1 : 0, r.sign) << r.name << " " << vy;
    }
}

// Each TRACETIME of a close attack the orbit effect plays on the bone of
// the first trail of the attack's hit type, at the trail's first point;
// a model without that bone has it at the centre.
TEST_F(AttackPoseTest, TheOrbitEffectRidesTheTrailsBone)
{
    for (const bool boneMissing : {false, true}) {
        Make();
        if (boneMissing) c_->GetParameter()->values.body.trace.GetAt(1)->bone = CString("Wing");
        S().effects[FindEffectKey("EFCORBITATTACK")] = &container_;
        ShortAttackRecord& a = c_->GetParameter()->values.shortAttacks[0];
        a.hitType = 2, a.traceTime = 0.1f, a.acceleration = 0.0f;   // no lunge: the centre stays
        Play({Pad({25})});
        ASSERT_EQ(S().action, kActionShortAttack);
        EXPECT_TRUE(Effects().empty()) << boneMissing;   // the trace clock starts at 0
        Play({kNone, kNone});
        const std::vector<CEffect*> played = Effects();
        ASSERT_EQ(played.size(), 1u) << boneMissing;
        const EffectPlayParams& p = played[0]->GetParams();
        CAnimationFrame* arm = c_->GetAnimationController()->GetFrameByName("Arm");
        ASSERT_NE(arm, nullptr);
        if (boneMissing) {
            CVector3 centre;
            c_->GetCenter(&centre);
            EXPECT_EQ(p.linkFrame, nullptr);
            EXPECT_LT((*played[0]->GetPlacePosition() - centre).Length(), 1e-4f);
        } else {
            EXPECT_EQ(p.linkFrame, arm);
            EXPECT_LT((p.position - CVector3(0.1f, 0.2f, 0.3f)).Length(), 1e-6f);
        }
        // The clock starts again: the next one a TRACETIME later.
        EXPECT_LT(S().attackClocks[0], 0.1f) << boneMissing;
    }
}

// The slide start effect plays at the centre turned the way the slide
// goes: the yaw by the slide's angle, straight up or down for the climbing
// and diving slides; the mirage slide likewise by its own angle.
TEST_F(AttackPoseTest, TheSlideStartEffectIsTurnedTheWayTheSlideGoes)
{
    struct Row {
        const char* name;
        Pads pads;
        u32 action;
        CVector3 turn;   // pitch, yaw, roll
    };
    const Row rows[] = {
        {"front", {With(kForward, {22}), kForward}, kActionSlide, {0, 0, 0}},
        {"right", {With(kRight, {22}), kRight}, kActionSlide, {0, 90, 0}},
        {"back", {With(kBackward, {22}), kBackward}, kActionSlide, {0, 180, 0}},
        {"left", {With(kLeft, {22}), kLeft}, kActionSlide, {0, 270, 0}},
        {"up", {With(kClimb, {22}), kClimb}, kActionSlide, {90, 0, 0}},
        {"down", {With(kDive, {22}), kDive}, kActionSlide, {-90, 0, 0}},
        {"mirage forward", {Pad({28}), Pad({28, 27})}, kActionMirageSlide, {0, 0, 0}},
        {"mirage back", {Pad({28}), Pad({28, 29})}, kActionMirageSlide, {0, 180, 0}},
    };
    for (const Row& r : rows) {
        Make();
        Lock(CVector3(0, 0, -10));   // straight ahead: the slide's turn to it keeps the yaw at 0
        S().effects[FindEffectKey("EFCSLIDESTART")] = &container_;
        Play(r.pads);
        ASSERT_EQ(S().action, r.action) << r.name;
        const std::vector<CEffect*> played = Effects();
        ASSERT_EQ(played.size(), 1u) << r.name;
        const CVector3 turn = *played[0]->GetPlaceRotation();
        EXPECT_NEAR(turn.x, r.turn.x, 1e-3f) << r.name;
        EXPECT_NEAR(turn.y, r.turn.y, 0.5f) << r.name;   // the stick's angle, a hair off 90 and 270
        EXPECT_NEAR(turn.z, r.turn.z, 1e-3f) << r.name;
        CVector3 centre;
        c_->GetCenter(&centre);
        EXPECT_LT((*played[0]->GetPlacePosition() - centre).Length(), 1.0f) << r.name;
    }
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace attack_pose_test
