// What a card sees of its user's motions: the motion slot that plays, on a
// model whose animations are in another order than the motion table, the
// climax card's approach that asks for it, and a card cast during a slide,
// which plays its own motion while the slide goes on.
#include "game/battle/character/tests/CharacterTestSupport.h"

#include "game/battle/object/SpellCard.h"

#include <gtest/gtest.h>

namespace spell_motion_test {
namespace ORV_TEST_FILE_ID {

namespace {

using namespace character_test;

u32 MotionOf(const char* key) { return FindMotionKey(key); }

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

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace spell_motion_test
