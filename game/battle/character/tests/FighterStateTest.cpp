// State a fighter takes on for a while and must give back: the buffs of the
// spell cards, the double attack, and the shot that the result waits behind.
#include "CharacterTestSupport.h"

#include "engine/scene/Effect.h"
#include "game/battle/object/SpellCard.h"

#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace character_test;

namespace {

// Frames of 125 ms, so that the clocks below meet their limits exactly.
class FighterState : public ScriptedFighterTest {
protected:
    void SetUp() override
    {
        ScriptedFighterTest::SetUp();
        MakeFighter();
        SetFrameTime(125);
    }
    u32 LiveEffects()
    {
        u32 n = 0;
        for (CEffect* e = effects_.GetFirstEffect(); e; e = e->GetNextLive()) ++n;
        return n;
    }
    std::unique_ptr<ScriptedFighter> Other(i32 team)
    {
        auto f = NewFighter<ScriptedFighter>();
        f->Create(nullptr);
        f->GetStatus()->team = team;
        return f;
    }
};

}  // namespace

TEST_F(FighterState, EachBuffRunsItsOwnTimerAndEffectAndEndsOnTime)
{
    const struct {
        u32 buff, slot;
        u32 (CCharacterBase::*query)() const;
        u32 endEffects;   // one-off effects: the berserk bursts as it starts, the jamming plays one as it ends
    } rows[] = {
        {1, 19, &CCharacterBase::IsBerserk, 1},
        {2, 22, &CCharacterBase::IsArmored, 0},
        {3, 23, &CCharacterBase::IsJamming, 1},
    };
    for (const auto& r : rows) {
        MakeFighter();
        for (const char* key : {"EFCBERSERK", "EFCARMOR", "EFCJAMMER", "EFCJAMMEREND"})
            S().effects[FindEffectKey(key)] = &container_;
        c_->StartBuff(r.buff, 0.5f);
        for (u32 n = 1; n <= 3; ++n)
            EXPECT_EQ(c_->GetBuffTimer(n), n == r.buff ? 0.5f : 0.0f) << r.buff << " sets timer " << n;
        CEffect* shown = c_->GetAttachedObject(r.slot);
        EXPECT_NE(shown, nullptr) << r.buff;
        // A start while it runs sets the time again and keeps the effect shown.
        c_->UpdateTimers(0);
        c_->StartBuff(r.buff, 0.5f);
        EXPECT_EQ(c_->GetAttachedObject(r.slot), shown) << r.buff;
        EXPECT_EQ(c_->GetBuffTimer(r.buff), 0.5f) << r.buff;
        // On through 0.375 s, off at 0.5 s, and off after.
        std::string seen;
        for (int frame = 0; frame < 5; ++frame) {
            c_->UpdateTimers(0);
            seen += char('0' + ((*c_).*r.query)());
            seen += c_->GetAttachedObject(r.slot) ? 'e' : '-';
        }
        EXPECT_EQ(seen, "1e1e1e0-0-") << r.buff;
        EXPECT_EQ(LiveEffects(), r.endEffects) << r.buff;
        std::vector<CEffect*> played;
        for (CEffect* e = effects_.GetFirstEffect(); e; e = e->GetNextLive()) played.push_back(e);
        for (CEffect* e : played) e->Release();
    }
    // Numbers outside 1..3 start nothing.
    MakeFighter();
    c_->StartBuff(0, 1.0f);
    c_->StartBuff(4, 1.0f);
    for (f32 t : S().timers.statusTimers) EXPECT_EQ(t, 0.0f);
}

// A buff card (SPELLTYPE 8) cast for real: from its third step the berserk
// buff comes on with one burst of its effect at the fighter's centre, turned
// as the fighter is, and the effect on both effect bones in slot 19. A second
// cast while the buff shows bursts no more and keeps the slot's effect.
TEST_F(FighterState, ABuffCardBurstsOnceAtItsUserAndShowsTheBuff)
{
    setting_test::SettingWriter card;
    card.Set("NAME", "buff").Set("AMMUNITION", 2).Set("RELOAD", 0.0f).Set("SPELLTYPE", 8).Set("WAIT", 0.25f)
        .Set("BUFFERTIME", 3.0f);
    for (const char* step : {"SPELLANIMATIONSETTIME", "SPELLANIMATIONSHOOTSTARTTIME", "SPELLANIMATIONSHOOTTIME"})
        card.Set(step, 0.125f);
    ASSERT_TRUE(card.Save("Spell.txt"));
    factory_.realSpellCards = true;
    MakeFighter();
    const u32 berserk = FindEffectKey("EFCBERSERK");
    S().effects[berserk] = &container_;
    const CVector3 at(3, 0, -2), turned(0, 90, 0);
    c_->SetPosition(&at);
    // Facing where it means to face, so the card's frames do not turn it.
    *c_->GetRotation() = turned, S().targetAngles = turned;
    CVector3 centre;
    c_->GetCenter(&centre);
    auto& spell = static_cast<CSpellCard&>(*c_->GetSpellCards().at(0));
    spell.UpdateReload(c_.get());
    // Frames until the buff comes on, and what is live then and after.
    auto cast = [&] {
        EXPECT_EQ(c_->StartSpellCard(), 1u);
        u32 frames = 0;
        while (S().action == kActionSpellCard && frames < 20) {
            c_->Update(0);
            ++frames;
        }
        EXPECT_NE(S().action, u32(kActionSpellCard));
        return frames;
    };
    EXPECT_GT(cast(), 2u);
    EXPECT_GT(c_->GetBuffTimer(1), 0.0f);
    ASSERT_EQ(LiveEffects(), 1u);
    CEffect* burst = effects_.GetFirstEffect();
    for (const auto& [got, want] : {std::pair{*burst->GetPlacePosition(), centre}, {*burst->GetPlaceRotation(), turned}}) {
        EXPECT_FLOAT_EQ(got.x, want.x);
        EXPECT_FLOAT_EQ(got.y, want.y);
        EXPECT_FLOAT_EQ(got.z, want.z);
    }
    // The slot's head and one more on each of the two effect bones.
    CEffect* shown = c_->GetAttachedObject(19);
    ASSERT_NE(shown, nullptr);
    u32 chain = 0;
    for (CEffect* e = shown; e; e = e->GetNext()) ++chain;
    EXPECT_EQ(chain, 3u);
    // Cast again while it shows: no second burst, the same slot effect.
    ASSERT_EQ(c_->GetSpellStock(0), 1u);
    cast();
    EXPECT_EQ(LiveEffects(), 1u);
    EXPECT_EQ(effects_.GetFirstEffect(), burst);
    EXPECT_EQ(c_->GetAttachedObject(19), shown);
    burst->Release();
}

TEST_F(FighterState, TheDoubleAttackWindowClosesAndItsNoticeEnds)
{
    // The roll left a window of 0.5 s; the second teammate's hit comes after
    // 3, 4 or 5 frames: a double attack only while the window is open.
    for (const auto& [frames, doubled] : {std::pair{3, true}, {4, false}, {5, false}}) {
        MakeFighter();
        auto first = Other(1), second = Other(1);
        S().team = 0, S().hp = 800, S().exactHp = 800;
        S().lastAttackerId = first->GetId();
        S().moveHit.doubleAttackWindow = 0.5f;
        for (int f = 0; f < frames; ++f) c_->UpdateTimers(0);
        c_->TakeHit({10, 1.0f, 0, 0, 0, CVector3(0, 0, 1), 2, 0, 1, 0, second.get()});
        const CharacterMoveHitState& m = second->GetStatus()->moveHit;
        EXPECT_EQ(m.doubleAttackFlag, doubled ? 1u : 0u) << frames;
        EXPECT_EQ(m.doubleAttacks, doubled ? 1u : 0u) << frames;
        EXPECT_EQ(S().moveHit.doubleAttacksReceived, doubled ? 1u : 0u) << frames;
        EXPECT_LE(S().moveHit.doubleAttackWindow, doubled ? 0.125f : 0.0f) << frames;
    }
    // The flag lasts while the notice shows (0.65 s): set at 0.625 s, gone at 0.75 s.
    auto a = Other(0);
    CharacterMoveHitState& m = a->GetStatus()->moveHit;
    m.doubleAttackFlag = 1, m.doubleAttackTimer = 0;
    std::string seen;
    for (int f = 0; f < 7; ++f) a->UpdateTimers(0), seen += char('0' + m.doubleAttackFlag);
    EXPECT_EQ(seen, "1111100");
    EXPECT_EQ(m.doubleAttackTimer, 0.75f);
}

TEST_F(FighterState, OnlyASkillWithItsFlagAddsItsSpellPowerToTheCardsShots)
{
    setting_test::SettingWriter().Set("FLAG2", 1 << 22).Set("SPELLPER", 1.5f).Save("SpellPer.txt");
    setting_test::SettingWriter().Set("FLAG2", 1 << 21).Set("SPELLPER", 3.0f).Save("NoSpellPer.txt");
    setting_test::SettingWriter().Set("SKILL", "SpellPer.txt").Set("SKILL", "NoSpellPer.txt").Save("Skills3.txt");
    CSkillList skills;
    ASSERT_EQ(skills.LoadFile("Skills3.txt"), 1);
    scene_.skills = &skills;
    const struct {
        u32 first, second;
        f32 factor;
    } rows[] = {{0, 0, 1.0f}, {1, 0, 1.5f}, {2, 0, 1.0f}, {1, 2, 1.5f}};
    for (const auto& r : rows) {
        c_ = NewFighter<ScriptedFighter>();
        CharacterCreateRecord record;
        record.skills[0] = r.first, record.skills[1] = r.second;
        ASSERT_EQ(c_->Create(&record), 1);
        ShooterRecord shot;
        c_->FillShooterRecord(&shot, 6);
        EXPECT_FLOAT_EQ(shot.factor[0], c_->GetStrengthFactor() * r.factor) << r.first << " " << r.second;
    }
    c_.reset();
    scene_.skills = &skills_;
}

TEST_F(FighterState, AResultQueuedBehindAShotStartsWhenTheShotsWaitHasPassed)
{
    // The barrage is done; the record waits 0.5 s after it before the shot
    // ends. The battle ends meanwhile: the result follows on the frame the
    // wait is reached, not before, and the fighter stays in it.
    c_->GetParameter()->values.shots[0].wait = 0.5f;
    S().action = kActionShoot, S().barrageSlot = 0, S().timers.sinceBarrageFinished = 0.0f;
    ASSERT_EQ(c_->OnBattleEnd(), 1u);
    ASSERT_EQ(S().queuedAction, u32(kActionResult));
    std::string seen;
    for (int frame = 0; frame < 6; ++frame) {
        c_->DispatchAction(0);
        c_->UpdateTimers(0);
        seen += S().action == kActionShoot ? 'S' : S().action == kActionResult ? 'R' : '?';
    }
    EXPECT_EQ(seen, "SSSSRR");
}

}  // namespace ORV_TEST_FILE_ID
