// What a card sees of its user's motions: the motion slot that plays, on a
// model whose animations are in another order than the motion table, the
// climax card's approach that asks for it, and a card cast during a slide,
// which plays its own motion while the slide goes on.
#include "game/battle/character/tests/CharacterTestSupport.h"

#include "engine/core/FloatMath.h"
#include "game/battle/object/SpellCard.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace spell_motion_test {
namespace ORV_TEST_FILE_ID {

namespace {

using namespace character_test;

u32 MotionOf(const char* key) { return FindMotionKey(key); }

const InputPacket kForward = Pad({12}, 0, -100), kRight = Pad({12}, 100, 0), kLeft = Pad({12}, -100, 0);

// What one frame's action step left: the action, the push it added and
// whether the slide's stop motion plays.
struct FrameSeen {
    u32 action;
    CVector3 push, position;
    bool stopping;
    CVector3 wanted;   // the wanted view angles the step left
};

class CardMotionTest : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        AddFullFighter();
        // The battle's own cards.
        SetCharacterObjectFactory(nullptr);
    }
    // The test model's fighter (its animations out of table order) or the
    // full model's (every motion, in table order).
    void Make(bool full)
    {
        auto* parameter = new CCharacterParameter();
        ASSERT_EQ(parameter->LoadFile(full ? "Chr_Full.txt" : "Chr_Test.txt"), 1);
        c_ = std::make_unique<ScriptedFighter>(parameter, nullptr);
        ASSERT_EQ(c_->LoadResource(&resources_), 1);
        c_->Create(nullptr);
    }
    // The full fighter through the pads, with the skill file's flags when
    // given: ready to slide and cast, a rival locked at rival.
    void MakePlayed(i32 flag1, const CVector3& rival)
    {
        CharacterCreateRecord record;
        if (flag1) {
            setting_test::SettingWriter().Set("FLAG1", flag1).Save("SlideSkill.txt");
            setting_test::SettingWriter().Set("SKILL", "SlideSkill.txt").Save("SlideSkills.txt");
            ASSERT_EQ(slideSkills_.LoadFile("SlideSkills.txt"), 1);
            scene_.skills = &slideSkills_;
            record.skills[0] = 1;
        }
        auto* parameter = new CCharacterParameter();
        ASSERT_EQ(parameter->LoadFile("Chr_Full.txt"), 1);
        c_ = std::make_unique<ScriptedFighter>(parameter, nullptr);
        ASSERT_EQ(c_->LoadResource(&resources_), 1);
        ASSERT_EQ(c_->Create(&record), 1);
        S().tension = 1, S().mp = 100;
        rival_ = std::make_unique<battle_test::FakeFighter>(rival);
        S().lockedTargetId = rival_->GetId();
        SetFrameTime(50);
        Frame(Pad({}));   // the cards take their stock
    }
    // One whole frame; what the action step pushed is read before the
    // frame's end clears it.
    FrameSeen Frame(const InputPacket& pad)
    {
        c_->ApplyInputPacket(&pad);
        c_->Update(0);
        FrameSeen seen{S().action, S().acceleration, *c_->GetPosition(),
                       c_->IsChangedAnimation(S().slideMotion + 1) != 0, S().targetAngles};
        c_->PostUpdate(0);
        c_->LateUpdate(0);
        return seen;
    }
    std::vector<FrameSeen> Frames(std::initializer_list<InputPacket> pads)
    {
        std::vector<FrameSeen> seen;
        for (const InputPacket& p : pads) seen.push_back(Frame(p));
        return seen;
    }
    void TearDown() override
    {
        c_.reset();
        rival_.reset();
        ScriptedFighterTest::TearDown();
    }

    CSkillList slideSkills_;
    std::unique_ptr<battle_test::FakeFighter> rival_;

    CSpellCard* Card(u32 slot)
    {
        auto* card = dynamic_cast<CSpellCard*>(c_->GetSpellCards().at(slot).get());
        EXPECT_NE(card, nullptr);
        return card;
    }
};

TEST_F(CardMotionTest, TheMotionAskedIsTheSlotThatPlays)
{
    for (const bool full : {false, true}) {
        Make(full);
        // The test model keeps SLIDEFRONT's animation at 5, not 14.
        if (!full) {
            ASSERT_NE(S().motions[MotionOf("SLIDEFRONT")], i32(MotionOf("SLIDEFRONT")));
        }
        u32 asked = 0;
        for (u32 n = 1; n < kMotionCount; ++n) {
            if (S().motions[n] < 0) continue;
            c_->ChangeMotion(n, 0, 0.1f);
            EXPECT_EQ(c_->GetMotion(), n) << (full ? "full " : "test ") << n;
            ++asked;
        }
        EXPECT_GE(asked, full ? kMotionCount - 1 : 10u);
    }
}

// The climax phase begins with an approach: the user closes to SHOOTLENGTH
// (2) of its target, 10 away, at its dash speed (4 a second, 1 a frame),
// playing SLIDEFRONT, and only then does the card go on.
TEST_F(CardMotionTest, TheClimaxCardClosesToItsShootLengthFirst)
{
    ASSERT_TRUE(setting_test::SettingWriter().Set("NAME", "climax").Set("SHOOTLENGTH", 2.0f).Save("Spell.txt"));
    Make(false);
    auto target = NewFighter<ScriptedFighter>();
    target->Create(nullptr);
    const CVector3 far(0, 0, -10);
    target->SetPosition(&far);
    target->GetStatus()->team = 1;
    c_->GetParameter()->values.general.dashVelocity = 4.0f;
    S().lockedTargetId = target->GetId();
    S().action = kActionSpellCard, S().spellSlot = 6;
    CSpellCard* card = Card(6);
    ASSERT_NE(card, nullptr);
    ASSERT_EQ(card->Activate(c_.get()), 1);
    ASSERT_EQ(c_->StartClimaxCard(), 1u);
    ASSERT_EQ(c_->GetMotion(), MotionOf("SLIDEFRONT"));
    std::vector<f32> z;
    for (u32 f = 0; f < 12 && z.size() < 10; ++f) {
        card->Update(c_.get());
        z.push_back(c_->GetPosition()->z);
        if (z.back() <= -8.0f) break;
    }
    ASSERT_GE(z.size(), 2u);
    EXPECT_NEAR(z[0], -1.0f, 1e-5f);
    EXPECT_NEAR(z[1], -2.0f, 1e-5f);
    EXPECT_NEAR(z.back(), -8.0f, 1e-5f);
    EXPECT_EQ(z.size(), 8u);
}

// A card cast during a slide plays its own motion; the slide goes on with
// it (its loop effect and its action) until the card is done, and then
// ends: nothing of its motion is left to finish.
TEST_F(CardMotionTest, ASlideGoesOnUnderACardCastDuringIt)
{
    ASSERT_TRUE(setting_test::SettingWriter().Set("NAME", "spell").Set("SPELLTYPE", 1).Set("SHOOTWAIT", 1.0f)
                    .Save("Spell.txt"));
    Make(true);
    const u32 loop = FindEffectKey("EFCSLIDELOOP");
    S().effects[loop] = &container_;
    S().mp = 100;
    ASSERT_EQ(c_->StartSlide(0.0f), 1u);
    ASSERT_EQ(S().action, u32(kActionSlide));
    ASSERT_NE(c_->GetAttachedObject(3), nullptr);
    // The cast: the card's activation plays its base motion.
    S().spellSlot = 0;
    ASSERT_EQ(Card(0)->Activate(c_.get()), 1);
    S().action = kActionSlideSpellCard;
    ASSERT_FALSE(c_->IsChangedAnimation(S().slideMotion));
    std::vector<u32> actions;
    for (u32 f = 0; f < 400 && S().action != kActionNeutral; ++f) {
        c_->Update(0);
        actions.push_back(S().action);
        if (f == 0) {
            EXPECT_EQ(S().action, u32(kActionSlideSpellCard)) << "one frame after the cast";
            ASSERT_NE(c_->GetAttachedObject(3), nullptr) << "the slide's loop";
            EXPECT_EQ(c_->GetAttachedObject(3)->GetEndFlag(), 0u);
        }
    }
    ASSERT_EQ(S().action, u32(kActionNeutral));
    // The card finished first; the slide ended on the next frame.
    ASSERT_GE(actions.size(), 3u);
    EXPECT_EQ(actions[actions.size() - 2], u32(kActionSlide));
    EXPECT_EQ(actions[actions.size() - 3], u32(kActionSlideSpellCard));
    const CEffect* slideLoop = c_->GetAttachedObject(3);
    EXPECT_TRUE(!slideLoop || slideLoop->GetEndFlag());
}

// The slide's push goes by the slide's own motion: a card cast during it
// plays its motion, and the slide goes on pushing and facing the rival
// frame by frame: each frame it wants the rival's angles (the front slide
// yaw and pitch, the side slides the yaw) and pushes along the body, which
// turns toward them at ROTATIONVELOCITY (9 degrees a frame): the front
// slide at the rival once its pitch has caught up, the side slides level
// and across the line to it. 6 a second squared in frames of 0.05 s: 0.3 a
// frame.
TEST_F(CardMotionTest, ASlideKeepsPushingUnderACardCastDuringIt)
{
    ASSERT_TRUE(setting_test::SettingWriter().Set("NAME", "spell").Set("SPELLTYPE", 1).Set("SHOOTWAIT", 1.0f)
                    .Set("AMMUNITION", 1).Set("RELOAD", 0.0f).Save("Spell.txt"));
    const CVector3 rival(3, 2, -10);
    for (const auto& [name, way, front] : {std::tuple{"front", kForward, true}, {"right", kRight, false},
             std::tuple{"left", kLeft, false}}) {
        MakePlayed(0, rival);
        std::vector<FrameSeen> seen = Frames({With(way, {22}), Pad({}), Pad({28}), Pad({28, 24}), Pad({28}), Pad({}),
                                              Pad({}), Pad({})});
        ASSERT_EQ(seen[1].action, u32(kActionSlide)) << name;
        ASSERT_EQ(seen[4].action, u32(kActionSlideSpellCard)) << name;
        ASSERT_FALSE(c_->IsChangedAnimation(S().slideMotion)) << name << ": the card's motion plays";
        const f32 a = c_->GetParameter()->values.general.slideAcceleration * 0.05f;
        ASSERT_EQ(a, 6.0f * 0.05f);
        for (size_t f = 1; f < seen.size(); ++f) {
            const FrameSeen& s = seen[f];
            ASSERT_TRUE(s.action == kActionSlide || s.action == kActionSlideSpellCard) << name << " " << f;
            ASSERT_FALSE(s.stopping) << name << " " << f;
            const CVector3 to = rival - s.position;
            const std::string at = std::string(name) + " frame " + std::to_string(f) + " action " +
                                   std::to_string(s.action);
            EXPECT_NEAR(s.push.Length(), a, 1e-5f) << at;
            const f32 yaw = Atan2F(to.x, to.z) * kRadToDeg + 180.0f;
            EXPECT_NEAR(s.wanted.y, yaw, 1e-3f) << at;
            // The body faced last frame's wanted yaw: the line to the rival
            // has turned by less than a degree since.
            const f32 flat = SqrtF(to.x * to.x + to.z * to.z), pushFlat = SqrtF(s.push.x * s.push.x + s.push.z * s.push.z);
            if (front) {
                EXPECT_NEAR(s.wanted.x, Atan2F(to.y, flat) * kRadToDeg, 1e-3f) << at;
                const f32 off = AcosF(std::min(1.0f, s.push.Dot(to) / (a * to.Length()))) * kRadToDeg;
                EXPECT_LT(off, f >= 3 ? 1.0f : 12.0f) << at;
            } else {
                EXPECT_EQ(s.push.y, 0.0f) << at;
                EXPECT_NEAR((s.push.x * to.x + s.push.z * to.z) / (pushFlat * flat), 0.0f, 0.02f) << at;
                // Right of the line to the rival is its cross with up.
                const f32 side = s.push.x * -to.z + s.push.z * to.x;
                EXPECT_EQ(side > 0, way.stickX < 0) << at;
            }
        }
    }
    // Without a card the slide runs into its stop motion, which glides.
    MakePlayed(0, rival);
    std::vector<FrameSeen> seen = Frames({With(kForward, {22}), Pad({})});
    u32 stopping = 0;
    for (u32 f = 0; f < 200 && S().action == kActionSlide; ++f) seen.push_back(Frame(Pad({})));
    for (size_t f = 1; f < seen.size(); ++f) {
        if (!seen[f].stopping || seen[f].action != kActionSlide) continue;
        ++stopping;
        EXPECT_EQ(seen[f].push.Length(), 0.0f) << f;
    }
    EXPECT_GE(stopping, 2u);
}

// A triple slide left by a card that finished first, with the card's
// looping motion still playing, ends on the next frame as the plain slide
// does: that motion would never finish, and the slide would never end.
TEST_F(CardMotionTest, ATripleSlideLeftOnTheCardsLoopingMotionEnds)
{
    ASSERT_TRUE(setting_test::SettingWriter().Set("NAME", "spell").Set("SPELLTYPE", 1).Set("SHOOTWAIT", 1.0f)
                    .Save("Spell.txt"));
    MakePlayed(1 << 7, CVector3(0, 0, -10));   // the triple-slide skill
    const f32 fast = c_->GetParameter()->values.general.slideFastTime;
    auto wait = [&] {
        for (f32 t = 0; t <= fast; t += 0.05f) Frame(Pad({}));
    };
    Frames({With(kForward, {22}), Pad({})});
    ASSERT_EQ(S().action, u32(kActionSlide));
    wait();
    Frames({With(kRight, {22}), Pad({})});
    ASSERT_EQ(S().action, u32(kActionDoubleSlide));
    wait();
    Frames({With(kLeft, {22}), Pad({})});
    ASSERT_EQ(S().action, u32(kActionTripleSlide));
    Frames({Pad({28}), Pad({28, 24}), Pad({28})});
    ASSERT_EQ(S().action, u32(kActionTripleSlideSpellCard));
    std::vector<u32> actions;
    for (u32 f = 0; f < 400 && S().action != kActionNeutral; ++f) actions.push_back(Frame(Pad({})).action);
    ASSERT_EQ(S().action, u32(kActionNeutral));
    ASSERT_GE(actions.size(), 3u);
    EXPECT_EQ(actions[actions.size() - 2], u32(kActionTripleSlide));
    EXPECT_EQ(actions[actions.size() - 3], u32(kActionTripleSlideSpellCard));
    EXPECT_GT(c_->GetChangeLoop(), 0u) << "the card's looping motion was left";
}

// A card turns its caster's wanted yaw toward a direction, converting with
// 180 / 3.1415927 as every other angle of the battle: the last digit shows
// it. A direction of no length leaves the yaw.
TEST_F(CardMotionTest, ACardTurnsItsCasterWithTheBattlesDegrees)
{
    MakeFighter();
    S().targetAngles.y = 10.0f;
    const struct {
        CVector3 direction;
        f32 yaw;
    } rows[] = {{{-4, 0, -3}, 53.1301041f}, {{0, 0, 0}, 53.1301041f}, {{0, 0, 2}, 180.0f}};
    for (const auto& r : rows) {
        c_->TurnYawToward(r.direction);
        EXPECT_EQ(S().targetAngles.y, r.yaw) << r.direction.x << " " << r.direction.z;
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace spell_motion_test
