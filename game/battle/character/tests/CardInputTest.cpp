// The input handlers stop at the first item that fires: in a spell card the
// trigger step of a type-1 card, the release of waiting bullets and the
// cancel each take the frame alone, and a dash stopped by a release starts
// nothing else that frame. Through the pads and whole frames, with the
// battle's own cards and a skill that allows the cancel.
#include "game/battle/character/tests/CharacterTestSupport.h"

#include "game/battle/object/SpellCard.h"

#include <gtest/gtest.h>

namespace card_input_test {
namespace ORV_TEST_FILE_ID {

namespace {

using namespace character_test;

constexpr u32 kCombinationBit = 12;   // FLAG2: a spell card may be cancelled

class CardInput : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        AddFullFighter();
        SetCharacterObjectFactory(nullptr);   // the battle's own cards
        setting_test::SettingWriter().Set("FLAG2", 1 << kCombinationBit).Save("Combination.txt");
        setting_test::SettingWriter().Set("SKILL", "Combination.txt").Save("CardSkills.txt");
        ASSERT_EQ(cardSkills_.LoadFile("CardSkills.txt"), 1);
        scene_.skills = &cardSkills_;
        SetFrameTime(50);
    }
    // The full fighter with the cancelling skill; its spell cards of type
    // (with MOVINGFLG when one is given).
    void Make(i32 type, i32 movingFlg = -1)
    {
        setting_test::SettingWriter card;
        card.Set("NAME", "spell").Set("SPELLTYPE", type).Set("AMMUNITION", 1).Set("RELOAD", 0.0f).Set("SHOOTWAIT", 5.0f);
        if (movingFlg >= 0) card.Set("MOVINGFLG", movingFlg);
        ASSERT_TRUE(card.Save("Spell.txt"));
        auto* parameter = new CCharacterParameter();
        ASSERT_EQ(parameter->LoadFile("Chr_Full.txt"), 1);
        c_ = std::make_unique<ScriptedFighter>(parameter, nullptr);
        ASSERT_EQ(c_->LoadResource(&resources_), 1);
        CharacterCreateRecord record;
        record.skills[0] = 1;
        ASSERT_EQ(c_->Create(&record), 1);
        ASSERT_EQ(c_->HasSkillCombination(), 1u);
        S().tension = 1, S().mp = 100, S().ammunition = 5;
        S().timers.shortAttackCooldown = S().timers.guardReload = S().attackClocks[1] = 100.0f;
        Play({Pad({})});   // the cards take their stock
    }
    void Play(const Pads& pads)
    {
        CCharacter* const fighters[] = {c_.get()};
        for (const InputPacket& p : pads) {
            c_->ApplyInputPacket(&p);
            RunBattleFrame(scene_, fighters);
        }
    }
    // The selected card cast from idle: the trigger held, the shot let go.
    void Cast()
    {
        Play({Pad({28}), Pad({28, 24}), Pad({28})});
        ASSERT_EQ(S().action, u32(kActionSpellCard));
        ASSERT_EQ(S().spellStep, 0u);
    }
    CSpellCard& Card() { return static_cast<CSpellCard&>(*c_->GetSpellCards().at(S().spellSlot)); }

    CSkillList cardSkills_;
};

}  // namespace

// The trigger press of a type-1 card takes its step and nothing else; 23
// alone cancels the card later. Any other card has no trigger step: the same
// press cancels it. The release of waiting bullets takes its frame alone.
TEST_F(CardInput, TheFirstItemOfTheSpellHandlerEndsIt)
{
    struct Row {
        const char* name;
        i32 type;
        Pads pads;   // after the cast
        u32 action, step;
        bool stepped;   // the card's own step went on by one
    } const rows[] = {
        {"trigger step", 1, {Pad({28, 23})}, kActionSpellCard, 1, true},
        {"trigger step, later 23 alone", 1, {Pad({28, 23}), Pad({28}), Pad({}), Pad({23})}, kActionNeutral, 0, true},
        {"23 without the trigger cancels", 1, {Pad({23})}, kActionNeutral, 0, false},
        {"no trigger step in a type-0 card", 0, {Pad({28, 23})}, kActionNeutral, 0, false},
        // The shot let go with 23 pressed: only the waiting bullets go.
        {"release with 23", 1, {Pad({28, 24}), Pad({28, 23})}, kActionSpellCard, 0, false},
        {"release with 23, type 0", 0, {Pad({28, 24}), Pad({28, 23})}, kActionSpellCard, 0, false},
    };
    for (const Row& r : rows) {
        Make(r.type);
        Cast();
        const u32 slot = S().spellSlot;
        const u32 before = Card().GetStep();
        Play(r.pads);
        EXPECT_EQ(S().action, r.action) << r.name;
        EXPECT_EQ(S().spellStep, r.step) << r.name;
        auto& card = static_cast<CSpellCard&>(*c_->GetSpellCards().at(slot));
        EXPECT_EQ(card.GetStep(), before + (r.stepped ? 1 : 0)) << r.name;
        // A card left running is the one cast, still running.
        EXPECT_EQ(card.IsIdle(), r.action == kActionSpellCard ? 0u : 1u) << r.name;
    }
}

// The release of 22 that stops a running dash takes the frame: a close
// attack pressed with it does not start, the dash glides out in DASHSTOP.
TEST_F(CardInput, TheReleaseThatStopsADashStartsNothingElse)
{
    Make(0);
    const f32 hold = c_->GetParameter()->values.general.dashStartTime;
    Pads pads;
    for (f32 t = 0; t <= hold + 0.1f; t += 0.05f) pads.push_back(Pad({22}));
    Play(pads);
    ASSERT_EQ(S().action, u32(kActionDash));
    Play({Pad({})});   // the long press's own release is ignored
    const f32 start = c_->GetParameter()->values.general.dashStartMotionTime;
    for (f32 t = 0; t <= start + 0.1f && c_->IsChangedAnimation(FindMotionKey("DASHSTART")); t += 0.05f) Play({Pad({})});
    ASSERT_EQ(S().action, u32(kActionDash));
    ASSERT_FALSE(c_->IsChangedAnimation(FindMotionKey("DASHSTART")));
    ASSERT_FALSE(c_->IsChangedAnimation(FindMotionKey("DASHSTOP")));
    Play({Pad({22}), Pad({25})});
    EXPECT_EQ(S().action, u32(kActionDash));
    EXPECT_TRUE(c_->IsChangedAnimation(FindMotionKey("DASHSTOP")));
    // The frame after, the same press starts it.
    Play({Pad({}), Pad({25})});
    EXPECT_EQ(S().action, u32(kActionShortAttack));
}

// A held stick steers a card only when its MOVINGFLG is set: the wanted
// angles then turn by the stick; otherwise they stay as without a stick.
TEST_F(CardInput, OnlyACardThatLetsItsUserMoveIsSteered)
{
    for (i32 movingFlg : {0, 1}) {
        CVector3 wanted[2];
        for (u32 stick = 0; stick < 2; ++stick) {
            SCOPED_TRACE(testing::Message() << "MOVINGFLG " << movingFlg << " stick " << stick);
            Make(0, movingFlg);
            ASSERT_EQ(c_->GetParameter()->GetSpellCard(0).GetValues().movingFlg, movingFlg);
            Cast();
            ASSERT_EQ(Card().LetsUserMove(), 1u);
            for (int i = 0; i < 3; ++i) Play({stick ? Pad({15}, 100, 0) : Pad({})});
            ASSERT_EQ(S().action, u32(kActionSpellCard));
            wanted[stick] = S().targetAngles;
        }
        if (movingFlg) {
            EXPECT_NE(wanted[1].y, wanted[0].y);
        } else {
            EXPECT_EQ(wanted[1].x, wanted[0].x);
            EXPECT_EQ(wanted[1].y, wanted[0].y);
        }
    }
}

}  // namespace ORV_TEST_FILE_ID
}  // namespace card_input_test
