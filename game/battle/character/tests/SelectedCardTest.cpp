// The spell A or B a fighter has selected, and the climax card's window.
// A special card (exception, high tension, climax) is the card cast last
// once it ends, yet the spell chord, the spell charge, its gauge and the
// computer's charge release keep following the selected card. The climax
// card's window (team voices, the card's pace, shooting and casting from
// the state) opens when its bind hits, not when the card starts.
#include "game/battle/character/CpuCharacter.h"
#include "game/battle/character/tests/CharacterTestSupport.h"
#include "game/battle/character/tests/VoiceBench.h"

#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletPasses.h"
#include "game/battle/object/SpellCard.h"

#include <gtest/gtest.h>

namespace selected_card_test {
namespace ORV_TEST_FILE_ID {

namespace {

using namespace character_test;

constexpr u32 kSpecialSlots[] = {4, 5, 6};
// Spell A and B charge in half a second; the special cards would take two.
constexpr f32 kSpellCharge = 0.5f, kSpecialCharge = 2.0f;

// The test fighter whose special cards (Tension.txt) charge longer than its
// spell A and B (Spell.txt), each card with one stock.
void WriteCardFighter()
{
    using setting_test::SettingWriter;
    fighter_test::FighterFiles files = fighter_test::FighterFiles::Plain("Test");
    files.tensionSpell = "Tension.txt";
    ASSERT_TRUE(fighter_test::FighterParameter(files).Save("Chr_Test.txt"));
    ASSERT_TRUE(SettingWriter().Set("NAME", "spell").Set("AMMUNITION", 1).Set("CHARGETIME", kSpellCharge)
            .Save("Spell.txt"));
    ASSERT_TRUE(SettingWriter().Set("NAME", "special").Set("AMMUNITION", 1).Set("CHARGETIME", kSpecialCharge)
            .Save("Tension.txt"));
}

class SelectedCard : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();   // quarter-second frames
        WriteCardFighter();
    }
    // A fresh fighter at climax tension that has cast the special card of
    // slot and seen it end: the card is spent, spell A has its stock.
    void AfterSpecialCard(u32 slot)
    {
        MakeFighter();
        S().tension = 3, S().mp = 100;
        Card(slot).stock = 1;
        ASSERT_EQ(slot == 4 ? c_->StartExceptionSpell() : slot == 5 ? c_->StartHiTensionSpell() : c_->StartClimaxSpell(),
                  1u);
        ASSERT_EQ(S().spellSlot, slot);
        Card(slot).done = 1;
        Frame({});
        ASSERT_EQ(S().action, u32(kActionNeutral)) << slot;
        ASSERT_EQ(Card(slot).stock, 0u);
        Card(0).stock = 1, Card(2).stock = 1;
    }
    void Frame(std::initializer_list<u32> codes)
    {
        const InputPacket p = Pad(codes);
        c_->ApplyInputPacket(&p);
        c_->Update(0);
        c_->LateUpdate(0);
    }
    // The trigger held, the shot pressed and let go.
    void Chord()
    {
        Frame({28});
        Frame({28, 24});
        Frame({28});
    }
    FakeSpellCard& Card(u32 slot) { return *static_cast<FakeSpellCard*>(c_->GetSpellCards().at(slot).get()); }
};

}  // namespace

// After each special card the chord casts spell A, which has stock though
// the spent special card has none; once A is spent the special card's
// refill does not let the chord through.
TEST_F(SelectedCard, TheSpellChordFollowsTheSelectedCardsStock)
{
    for (u32 slot : kSpecialSlots) {
        AfterSpecialCard(slot);
        EXPECT_EQ(c_->CanCastSpell(), 1u) << slot;
        EXPECT_EQ(c_->CanCastFromState(), 1u) << slot;
        Chord();
        EXPECT_EQ(S().action, u32(kActionSpellCard)) << slot;
        EXPECT_EQ(S().spellSlot, 0u) << slot;
        EXPECT_EQ(Card(0).activatedBy, c_.get()) << slot;
        EXPECT_EQ(Card(0).stock, 0u) << slot;

        Card(0).done = 1;
        Frame({});
        ASSERT_EQ(S().action, u32(kActionNeutral)) << slot;
        Card(slot).stock = 1;   // the special card refilled, A still spent
        EXPECT_EQ(c_->CanCastSpell(), 0u) << slot;
        EXPECT_EQ(c_->CanCastFromState(), 0u) << slot;
        Chord();
        EXPECT_EQ(S().action, u32(kActionNeutral)) << slot;
        EXPECT_EQ(Card(0).used, 1u) << slot;
    }
}

// Held after a special card, the spell charge fills toward A's CHARGETIME
// and stops there; the charged-spell gauge shows it. With A spent nothing
// charges, whatever the special card holds.
TEST_F(SelectedCard, TheSpellChargeAndItsGaugeFollowTheSelectedCard)
{
    for (u32 slot : kSpecialSlots) {
        AfterSpecialCard(slot);
        Card(slot).stock = 0;
        Frame({28, 24});
        EXPECT_EQ(S().timers.spellCharge, 0.25f) << slot;
        EXPECT_EQ(c_->GetActionGauge(5), 0.5f) << slot;   // 0.25 of the charge card's 0.5
        for (u32 frame = 0; frame < 4; ++frame) Frame({28, 24});
        EXPECT_EQ(S().timers.spellCharge, kSpellCharge) << slot;
        EXPECT_EQ(c_->GetActionGauge(5), 1.0f) << slot;

        Frame({});
        EXPECT_EQ(S().timers.spellCharge, 0.0f) << slot;
        Card(0).stock = 0, Card(slot).stock = 1;
        Frame({28, 24});
        EXPECT_EQ(S().timers.spellCharge, 0.0f) << slot;
        EXPECT_EQ(c_->GetActionGauge(5), 0.0f) << slot;
    }
}

// The computer holding the spell chord lets go once A's charge is full,
// not by the special card cast last: just below A's CHARGETIME it holds on,
// at it it lets go and casts A charged.
TEST_F(SelectedCard, TheComputerLetsGoWhenTheSelectedCardIsCharged)
{
    struct Row {
        f32 charge;
        bool letsGo;
    } const rows[] = {{std::nextafter(kSpellCharge, 0.0f), false}, {kSpellCharge, true}};
    SetFrameTime(0);   // the charge stays where the row puts it
    for (u32 slot : kSpecialSlots) {
        for (const Row& r : rows) {
            auto cpu = NewFighter<CCpuCharacter>();
            CharacterCreateRecord record;
            record.computerLevel = 2;
            ASSERT_EQ(cpu->Create(&record), 1);
            CharacterStatus& s = *cpu->GetStatus();
            s.spellSlot = slot;   // the card cast last
            auto& a = *static_cast<FakeSpellCard*>(cpu->GetSpellCards().at(0).get());
            auto& charged = *static_cast<FakeSpellCard*>(cpu->GetSpellCards().at(2).get());
            a.stock = charged.stock = 1;
            InputState& input = cpu->GetInput();
            input.raw[28] = input.raw[24] = 1;
            cpu->Update(0);   // the chord held down
            s.timers.spellCharge = r.charge;
            cpu->Update(0);
            EXPECT_EQ(input.raw[24], r.letsGo ? 0u : 1u) << slot << " " << r.charge;
            EXPECT_EQ(s.action, r.letsGo ? u32(kActionSpellCard) : u32(kActionNeutral)) << slot << " " << r.charge;
            EXPECT_EQ(s.spellSlot, r.letsGo ? 2u : slot) << slot << " " << r.charge;
        }
    }
}

namespace {

// The battle's own cards: the climax card binds with its bullet.
class ClimaxWindow : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        SetCharacterObjectFactory(nullptr);
        setting_test::SettingWriter()
            .Set("NAME", "climax").Set("AMMUNITION", 1).Set("RELOAD", 0.0f).Set("SHOOTLENGTH", 5.0f)
            .Set("CLIMAXSHOOTNO", 8).Set("ENDNO", 9).Save("Spell.txt");
    }
    std::unique_ptr<ScriptedFighter> Fighter(CVector3 at, u32 slot, i32 team)
    {
        auto f = NewFighter<ScriptedFighter>();
        f->SetPosition(&at);
        f->Create(nullptr);
        f->GetStatus()->participantSlot = slot, f->GetStatus()->team = team;
        return f;
    }
    // The card's bind shot reaches the victim.
    void Bind(ScriptedFighter& shooter, ScriptedFighter& victim)
    {
        CBulletParameter record;
        MakeBindShot(record);
        CBullet* bullet = nullptr;
        ASSERT_NO_FATAL_FAILURE(LaunchBullet(record, &shooter, {0, 0, -0.5f}, bullet));
        CBulletList bullets;
        bullets.Add(bullet);
        IBattleCharacter* fighters[] = {&shooter, &victim};
        RunBulletFirstPass(bullets, fighters, 2, 0);
        RunBulletSecondPass(bullets, fighters, 2, 0);
        ASSERT_EQ(victim.GetStatus()->action, kActionBound);
    }
};

}  // namespace

// Cast, the climax card fires its bind shot with the climax row's factors:
// the caster moves at its MOVESPEEDREVISE, the shot flies and homes at its
// revise factors, the caster may shoot and cast from the state, and a team
// mate's knock-out makes it call out. Once the bind hits (climax level 1)
// each of these gives way to the card. Its slide speed holds throughout.
TEST_F(ClimaxWindow, EachConsumerWaitsForTheBind)
{
    auto shooter = Fighter({0, 0, 50}, 0, 0), victim = Fighter({}, 1, 1), mate = Fighter({5, 0, 50}, 2, 0);
    voices_ = std::make_unique<VoiceBench>();
    voices_->Give(*shooter->GetStatus());
    CharacterStatus& s = *shooter->GetStatus();
    s.tension = 3;
    TensionBonus& climax = shooter->GetParameter()->values.bonuses[3];
    climax.moveSpeedRevise = 1.5f, climax.bulletSpeedRevise = 2.5f, climax.bulletHomingRevise = 3.5f;
    const f32 slide = shooter->GetParameter()->values.general.slideVelocity;
    auto& card = static_cast<CSpellCard&>(*shooter->GetSpellCards()[6]);
    card.UpdateReload(shooter.get());
    static_cast<CSpellCard&>(*shooter->GetSpellCards()[0]).UpdateReload(shooter.get());
    ASSERT_EQ(shooter->StartClimaxSpell(), 1u);
    ASSERT_EQ(card.IsIdle(), 0u);

    struct Seen {
        f32 move, speed, homing, maxSpeed;
        u32 shoot, cast, voice;
    };
    auto see = [&] {
        ShooterRecord record;
        shooter->FillShooterRecord(&record, 0);
        s.lastVoice = 0;
        const i32 team = 0;
        shooter->OnMessage(kMsgDefeated, mate.get(), reinterpret_cast<intptr_t>(&team));
        return Seen{shooter->GetSpeedFactor(), record.factor[4], record.factor[1], shooter->GetMaxSpeed(),
            shooter->CanShootFromState(), shooter->CanCastFromState(), s.lastVoice};
    };
    const Seen before = see();
    EXPECT_EQ(card.GetClimaxLevel(), 0u);
    EXPECT_EQ(shooter->IsClimaxCardUnderWay(), 0u);
    EXPECT_EQ(before.move, 1.5f);
    EXPECT_EQ(before.speed, 2.5f);
    EXPECT_EQ(before.homing, 3.5f);
    EXPECT_EQ(before.maxSpeed, slide);
    EXPECT_EQ(before.shoot, 1u);
    EXPECT_EQ(before.cast, 1u);
    EXPECT_EQ(before.voice, 3u);

    Bind(*shooter, *victim);
    ASSERT_EQ(card.GetClimaxLevel(), 1u);
    EXPECT_EQ(shooter->IsClimaxCardUnderWay(), 1u);
    const Seen after = see();
    EXPECT_EQ(after.move, 1.0f);
    EXPECT_EQ(after.speed, 1.0f);
    EXPECT_EQ(after.homing, 1.0f);
    EXPECT_EQ(after.maxSpeed, slide);
    EXPECT_EQ(after.shoot, 0u);
    EXPECT_EQ(after.cast, 0u);
    EXPECT_EQ(after.voice, 0u);
}

// Bound, or casting the climax card past its bind, a fighter is no target:
// on the next frame a rival locked on either moves on to the one fighter
// left to it, while the caster keeps the fighter its card has bound.
TEST_F(ClimaxWindow, NeitherTheBoundNorTheLockedCasterIsATargetButTheCasterKeepsItsOwn)
{
    auto shooter = Fighter({0, 0, 50}, 0, 0), victim = Fighter({}, 1, 1);
    auto rival = Fighter({20, 0, 25}, 2, 2), other = Fighter({-20, 0, 25}, 3, 3);
    shooter->GetStatus()->tension = 3;
    auto& card = static_cast<CSpellCard&>(*shooter->GetSpellCards()[6]);
    card.UpdateReload(shooter.get());
    ASSERT_EQ(shooter->StartClimaxSpell(), 1u);
    rival->GetStatus()->lockedTargetId = shooter->GetId();
    other->GetStatus()->lockedTargetId = victim->GetId();
    CObjectDivision* list[] = {shooter.get(), victim.get(), rival.get(), other.get()};
    scene_.characters = {list, 4};
    CCharacter* const fighters[] = {shooter.get(), victim.get(), rival.get(), other.get()};
    RunBattleFrame(scene_, fighters);
    EXPECT_EQ(rival->GetStatus()->lockedTargetId, shooter->GetId()) << "a target until its card binds";
    EXPECT_EQ(other->GetStatus()->lockedTargetId, victim->GetId());

    Bind(*shooter, *victim);
    ASSERT_EQ(shooter->IsClimaxLocked(), 1u);
    EXPECT_EQ(shooter->IsTargetable(), 0u);
    EXPECT_EQ(victim->IsTargetable(), 0u);
    for (u32 frame = 0; frame < 3; ++frame) {
        RunBattleFrame(scene_, fighters);
        ASSERT_EQ(victim->GetStatus()->action, kActionBound) << frame;
        EXPECT_EQ(shooter->GetStatus()->lockedTargetId, victim->GetId()) << frame;
        EXPECT_EQ(rival->GetStatus()->lockedTargetId, other->GetId()) << frame;
        EXPECT_EQ(other->GetStatus()->lockedTargetId, rival->GetId()) << frame;
        // The bound one follows the same rule: its binder is no target.
        EXPECT_NE(victim->GetStatus()->lockedTargetId, shooter->GetId()) << frame;
    }
    scene_.characters = {};
}

}  // namespace ORV_TEST_FILE_ID
}  // namespace selected_card_test
