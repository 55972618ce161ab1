// Motions found by arithmetic on the motion table: a damage motion's next
// id or the one two on, ATTACKnn and ATTACKnnEND of combo hit n. Each rule at
// both ends of its range, on a model with every motion and on the test
// model, which lacks most of them.
#include "CharacterTestSupport.h"

namespace ORV_TEST_FILE_ID {

inline namespace ORV_TEST_FILE_ID {

using namespace character_test;

namespace {

u32 M(const char* key) { return FindMotionKey(key); }

InputPacket Pressing(std::initializer_list<u32> codes)
{
    InputPacket p = {};
    for (u32 code : codes)
        for (u32 bit = 0; bit < kInputPacketBitCount; ++bit)
            if (u32(kInputPacketCodes[bit]) == code) p.buttons[bit / 8] |= u8(1u << (bit % 8));
    return p;
}

class MotionIdTest : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        AddFullFighter();
    }
    // The full model's fighter or the test model's.
    void Make(bool full)
    {
        auto* parameter = new CCharacterParameter();
        ASSERT_EQ(parameter->LoadFile(full ? "Chr_Full.txt" : "Chr_Test.txt"), 1);
        c_ = std::make_unique<ScriptedFighter>(parameter, nullptr);
        ASSERT_EQ(c_->LoadResource(&resources_), 1);
        c_->Create(nullptr);
        ASSERT_EQ(c_->HasMotion(M("DAMAGEDOWNRECOVERBACK")), full);
        S().tension = 1;
    }
    // Plays the current motion to its end.
    void EndMotion()
    {
        SetFrameTime(100000);
        c_->AdvanceAnimation(1.0f);
        SetFrameTime(250);
    }
    // The animation the model changed to is that of motion n, when it has it.
    bool Shows(u32 n) const { return c_->GetChangedAnimation() == u32(c_->GetStatus()->motions[n]); }
};

}  // namespace

TEST_F(MotionIdTest, DamageMotionsMoveOnByTheirIds)
{
    enum How { kPowerOut, kStartEnded };
    struct Row {
        const char* from;
        u32 type;
        How how;
        const char* to;   // the same id whether the model has it or not
    };
    const Row rows[] = {
        {"DAMAGESMALLFRONTSTART", 1, kPowerOut, "DAMAGESMALLFRONT"},
        {"DAMAGESMALLDOWNSTART", 1, kPowerOut, "DAMAGESMALLDOWN"},
        {"DAMAGEMEDIUMFRONTSTART", 2, kPowerOut, "DAMAGEMEDIUMFRONT"},
        {"DAMAGEMEDIUMBACKSTART", 2, kPowerOut, "DAMAGEMEDIUMBACK"},
        {"DAMAGELARGEFRONTA", 3, kPowerOut, "DAMAGELARGERECOVERFRONTA"},
        {"DAMAGELARGEBACKB", 4, kPowerOut, "DAMAGELARGERECOVERBACKB"},
        {"DAMAGEROLLSMALLFRONT", 5, kPowerOut, "DAMAGEROLLSMALLRECOVERFRONT"},
        {"DAMAGEROLLLARGEBACK", 6, kPowerOut, "DAMAGEROLLLARGERECOVERBACK"},
        {"DAMAGESPIN", 7, kPowerOut, "DAMAGEDOWNBACKSTART"},
        {"DAMAGEBLOWOFFFRONT", 8, kPowerOut, "DAMAGEFALLOFFRECOVERFRONT"},
        {"DAMAGEBLOWOFFBACK", 8, kPowerOut, "DAMAGEFALLOFFRECOVERBACK"},
        {"DAMAGEFALLOFFFRONT", 9, kPowerOut, "DAMAGEFALLOFFRECOVERFRONT"},
        {"DAMAGEFALLOFFBACK", 9, kPowerOut, "DAMAGEFALLOFFRECOVERBACK"},
        {"DAMAGEDOWNFRONTSTART", 10, kPowerOut, "DAMAGEDOWNRECOVERFRONT"},
        {"DAMAGEDOWNBACKSTART", 10, kPowerOut, "DAMAGEDOWNRECOVERBACK"},
        // A start the model lacks counts as played once the model's own
        // motion has ended.
        {"DAMAGEBLOWOFFFRONT", 8, kStartEnded, "DAMAGEFALLOFFFRONT"},
        {"DAMAGEDOWNBACKSTART", 10, kStartEnded, "DAMAGEDOWNBACK"},
    };
    for (bool full : {true, false}) {
        for (const Row& r : rows) {
            Make(full);
            DamageReaction& reaction = c_->GetParameter()->values.damages[r.type];
            reaction.powAttenuation = r.how == kPowerOut ? 100.0f : 0.0f;
            S().action = kActionHitReaction, S().damageType = r.type, S().damageMotion = M(r.from);
            S().knockPower = r.how == kPowerOut ? 0.001f : 1000.0f;
            c_->ChangeMotion(M(r.from), 0, 0.0f);
            const u32 before = c_->GetChangedAnimation();
            if (r.how == kStartEnded) EndMotion();
            EXPECT_EQ(c_->HitReactionStep(0), 0u);
            const u32 to = M(r.to);
            EXPECT_EQ(S().damageMotion, to) << r.from << (full ? " full" : " missing");
            if (full) EXPECT_TRUE(Shows(to)) << r.from;
            else EXPECT_EQ(c_->GetChangedAnimation(), before) << r.from;
        }
    }
}

// A defeated fighter's down start goes on to its loop, the next id.
TEST_F(MotionIdTest, ADownStartLoopsOnItsNextId)
{
    for (const char* down : {"DAMAGEDOWNFRONTSTART", "DAMAGEDOWNBACKSTART"}) {
        Make(true);
        S().action = kActionDefeated, S().damageMotion = M(down);
        c_->ChangeMotion(M(down), 0, 0.0f);
        EndMotion();
        c_->DefeatedStep(0);
        EXPECT_TRUE(Shows(M(down) + 1)) << down;
    }
}

// Hit n plays ATTACKnn then ATTACKnnEND (n + 1 in the names), and the
// combo's end-motion chords look for that end motion, not another's. The
// test model has only ATTACK02: hit 1 ends with it, hit 0 at once.
TEST_F(MotionIdTest, ComboHitsPlayTheirOwnAttackAndEndMotions)
{
    const char* const names[][2] = {{"ATTACK01", "ATTACK01END"}, {"ATTACK02", "ATTACK02END"},
                                    {"ATTACK07", "ATTACK07END"}};
    const u32 hits[] = {0, 1, 6};
    for (u32 i = 0; i < 3; ++i) {
        const u32 n = hits[i];
        Make(true);
        S().timers.shortAttackCooldown = 100;
        ASSERT_EQ(c_->StartShortAttack(n), 1u) << n;
        EXPECT_TRUE(Shows(M(names[i][0]))) << n;
        EndMotion();
        EXPECT_EQ(c_->ShortAttackStep(0), 0u);
        EXPECT_TRUE(Shows(M(names[i][1]))) << n;
        // In its own end motion the exception chord casts; in another hit's
        // end motion it does not.
        for (u32 other : {0u, 1u}) {
            S().action = kActionShortAttack, S().comboIndex = n;
            c_->ChangeMotion(character_actions::AttackMotion((n + other) % 7, true), 0, 0.0f);
            for (const auto& card : c_->GetSpellCards()) static_cast<FakeSpellCard*>(card.get())->stock = 1;
            const InputPacket none = Pressing({}), chord = Pressing({28, 23});
            c_->ApplyInputPacket(&none);
            c_->ApplyInputPacket(&chord);
            c_->DispatchInput(0);
            EXPECT_EQ(S().action, other ? kActionShortAttack : kActionSpellCard) << n << " " << other;
        }
    }
    EXPECT_EQ(character_actions::AttackMotion(7, true), kMotionCount);   // past the table
    // The test model: hit 1 ends with its hit motion, hit 0 at once.
    for (u32 n : {0u, 1u}) {
        Make(false);
        S().timers.shortAttackCooldown = 100;
        ASSERT_EQ(c_->StartShortAttack(n), 1u);
        if (n == 1) {
            EXPECT_TRUE(Shows(M("ATTACK02")));
            EXPECT_EQ(c_->ShortAttackStep(0), 0u);
            EndMotion();
        }
        EXPECT_EQ(c_->ShortAttackStep(0), 1u) << n;
    }
}

// In a battle with lives a defeated fighter gets up from its down loop (the
// down start's id + 1) through its recover motion (+ 2); on the test model,
// which has neither, it gets up at once instead of lying there for good.
TEST_F(MotionIdTest, ARevivalRecoversTwoIdsOnFromTheDownStart)
{
    for (bool full : {true, false}) {
        Make(full);
        S().action = kActionDefeated, S().revival = 1, S().damageMotion = M("DAMAGEDOWNBACKSTART");
        c_->ChangeMotion(M("DAMAGEDOWNBACK"), 1, 0.0f);
        std::vector<u32> results{c_->DefeatedStep(0)};
        if (full) {
            EXPECT_TRUE(Shows(M("DAMAGEDOWNRECOVERBACK")));
            results.push_back(c_->DefeatedStep(0));
            EndMotion();
            results.push_back(c_->DefeatedStep(0));
        }
        const std::vector<u32> want = full ? std::vector<u32>{0, 0, 1} : std::vector<u32>{1};
        EXPECT_EQ(results, want) << full;
    }
}

}  // inline namespace ORV_TEST_FILE_ID

}  // namespace ORV_TEST_FILE_ID
