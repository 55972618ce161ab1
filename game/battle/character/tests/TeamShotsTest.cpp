// Fighters of two teams of two with their real spell cards, barrages and
// bullets, in whole battle frames: whom a card's bullets hit, which bullets
// meet, and whom an option bullet chooses are decided by the fighters'
// shooter groups, their teams.
#include "game/battle/character/tests/CharacterTestSupport.h"

#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletPasses.h"

#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace character_test;

class TeamShotsTest : public CharacterTest {
protected:
    void SetUp() override
    {
        CharacterTest::SetUp();
        SetFrameTime(20);
        factory_.realBarrages = factory_.realSpellCards = true;
    }
    void TearDown() override
    {
        scene_.characters = {};
        scene_.bullets.DeleteAll();
        fighters_.clear();
        SetFrameTime(0);
        CharacterTest::TearDown();
    }

    // The card every fighter casts: one volley of one bullet of the given
    // motion, aimed at the caster's target; written before the fighters load.
    static void WriteCard(i32 moveType)
    {
        using setting_test::SettingWriter;
        ASSERT_TRUE(SettingWriter().Set("NAME", "card").Set("AMMUNITION", 1).Set("RELOAD", 0.0f)
                .Set("BARRAGE", "CardBarrage.txt").Save("Spell.txt"));
        ASSERT_TRUE(SettingWriter().Set("NAME", "card barrage").Set("PATTERN", "CardPattern.txt")
                .Save("CardBarrage.txt"));
        ASSERT_TRUE(SettingWriter().Set("NAME", "card pattern").Set("BULLET", "CardBullet.txt").Set("SHOOTCOUNT", 1)
                .Set("SHOOTWAIT", 0.0f).Save("CardPattern.txt"));
        SettingWriter b;
        b.Set("NAME", "card bullet").Set("MOVETYPE", moveType).Set("AIMINGFLG", 1).Set("VELOCITY", 30.0f);
        b.Set("HITRADIUS", 0.6f).Set("EXISTENCETIME", 2.0f).Set("CHRACTORHITFLG", 1).Set("STR", 60);
        // Options: out to their place at once, then looking for a rival
        // within reach every frame.
        b.Set("BREAKTIME", 0.0f).Set("SHOOTRANGE", 50.0f).Set("RUSHINTERVAL", 0.0f);
        ASSERT_TRUE(b.Set("DAMAGETYPE", 0).Save("CardBullet.txt"));
    }

    // Fighter i (team i % 2, slot i) standing at `at`, facing -z.
    CCharacter* Add(const CVector3& at)
    {
        const u32 i = u32(fighters_.size());
        auto f = NewFighter<CPlayerCharacter>();
        f->SetPosition(&at);
        EXPECT_EQ(f->Create(nullptr), 1);
        CharacterStatus& s = *f->GetStatus();
        s.participantSlot = i, s.team = i32(i % 2);
        s.mp = f->GetParameter()->values.general.mpMax;
        fighters_.push_back(std::move(f));
        list_.clear();
        for (auto& g : fighters_) list_.push_back(g.get());
        scene_.characters = {list_.data(), u32(list_.size())};
        return fighters_.back().get();
    }

    // Casts the caster's card at target.
    static void Cast(CCharacter& caster, CCharacter& target)
    {
        caster.GetStatus()->lockedTargetId = target.GetId();
        auto* card = dynamic_cast<CSpellCard*>(caster.GetSpellCards().at(0).get());
        ASSERT_NE(card, nullptr);
        card->UpdateReload(&caster);
        ASSERT_EQ(caster.StartSpellCard(), 1u);
    }

    void Frames(u32 n)
    {
        std::vector<CCharacter*> all;
        for (auto& f : fighters_) all.push_back(f.get());
        for (u32 i = 0; i < n; ++i) RunBattleFrame(scene_, all);
    }

    static i32 Lost(const CCharacter& f) { return f.GetParameter()->values.general.hp - f.GetStatus()->hp; }

    std::vector<std::unique_ptr<CPlayerCharacter>> fighters_;
    std::vector<CObjectDivision*> list_;
};

// A card's bullet aimed at a rival through the caster's team mate flies on
// through the mate and hits the rival; aimed at the mate itself it never
// hurts it.
TEST_F(TeamShotsTest, ACardsBulletPassesTheCastersTeamMateAndHitsTheRival)
{
    WriteCard(0);
    CCharacter* caster = Add({0, 5, 0});
    CCharacter* rival = Add({0, 5, -12});
    CCharacter* mate = Add({0, 5, -6});
    Add({30, 5, 0});
    Cast(*caster, *rival);
    Frames(40);
    EXPECT_EQ(Lost(*mate), 0);
    EXPECT_GT(Lost(*rival), 0);
    EXPECT_EQ(caster->GetMeeting().shotHits, 1u);
}

// Two fighters cast at each other at once, their bullets meeting half way:
// rivals' bullets break each other and neither fighter is hit; team mates'
// (made to hurt each other) fly through each other and both land.
TEST_F(TeamShotsTest, RivalsCardBulletsMeetAndTeamMatesFlyThrough)
{
    WriteCard(0);
    for (const bool rivals : {true, false}) {
        SCOPED_TRACE(rivals ? "rivals" : "team mates");
        fighters_.clear();
        CCharacter* a = Add({0, 5, 0});
        if (!rivals) Add({-30, 5, 0});
        CCharacter* b = Add({0, 5, -16});
        ASSERT_EQ(a->GetTeam() != b->GetTeam(), rivals);
        for (CCharacter* f : {a, b}) f->GetMeeting().friendlyFire = 1;
        const CVector3 back(0, 180, 0);
        *b->GetRotation() = back, b->GetStatus()->targetAngles = back;
        Cast(*a, *b);
        Cast(*b, *a);
        Frames(40);
        EXPECT_EQ(scene_.bullets.GetCount(), 0u);
        for (CCharacter* f : {a, b}) {
            EXPECT_EQ(f->GetMeeting().shotHits, rivals ? 0u : 1u);
            EXPECT_EQ(Lost(*f) > 0, !rivals);
        }
    }
}

// An option bullet of a card, out beside its caster, takes the nearest
// rival within reach for its target: never the caster's team mate, however
// near.
TEST_F(TeamShotsTest, AnOptionOfACardChoosesTheNearestRivalNotATeamMate)
{
    WriteCard(12);
    CCharacter* caster = Add({0, 5, 0});
    CCharacter* far = Add({0, 5, -20});
    CCharacter* mate = Add({3, 5, 0});
    CCharacter* near = Add({0, 5, -10});
    Cast(*caster, *far);
    const CBullet* option = nullptr;
    for (u32 i = 0; i < 10 && !option; ++i) {
        Frames(1);
        option = scene_.bullets.First();
    }
    ASSERT_NE(option, nullptr);
    EXPECT_EQ(option->GetShooterGroup(), caster->GetTeam());
    Frames(2);
    ASSERT_NE(scene_.bullets.First(), nullptr);
    EXPECT_EQ(option->GetTarget(), near);
    EXPECT_NE(option->GetTarget(), mate);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
