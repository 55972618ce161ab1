// What the HUD reads of a real fighter made from the test data: every value
// through the view, and a player console's weapon panel drawn from it.
#include "game/battle/character/tests/CharacterTestSupport.h"
#include "game/battle/scene/BattleHudFighter.h"
#include "game/battle/scene/PlayerConsole.h"
#include "game/battle/scene/tests/ConsoleTestSupport.h"

#include <algorithm>
#include <functional>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace console_test;
using character_test::FakeCamera;
using setting_test::SettingWriter;

// Two fighters from the test data in the console fixture, each seen through
// a view over the shared list, as the battle scene builds them.
class BattleHudFighterTest : public ConsoleTest {
protected:
    void SetUp() override
    {
        ConsoleTest::SetUp();
        // After the window: creating it moves to the program's folder.
        folder_ = std::make_unique<setting_test::WorkFolder>();
        saved_ = GetObjectRegistry();
        registry_.SetHandler(&scene_);
        SetObjectRegistry(&registry_);
        fighter_test::WriteFighter();
        // Slot 0 and 1 carry skills with orbs of their own; slot 2 is empty.
        SettingWriter().Set("SKILL", "OrbA.txt").Set("SKILL", "OrbB.txt").Save("Skill.txt");
        SettingWriter().Set("IMAGEID", 7).Set("FLAG2", 0x10).Save("OrbA.txt");
        SettingWriter().Set("IMAGEID", 38).Set("FLAG2", 0x100000).Save("OrbB.txt");
        ASSERT_EQ(skills_.LoadFile("Skill.txt"), 1);
        ASSERT_TRUE(fighter_test::AddFighterModel(resources_));
        scene_.skills = &skills_;
        SetCharacterObjectFactory(&factory_);
        for (u32 i = 0; i < 2; ++i) {
            auto* parameter = new CCharacterParameter();
            ASSERT_EQ(parameter->LoadFile("Chr_Test.txt"), 1);
            fighters_[i] = std::make_unique<CPlayerCharacter>(parameter, nullptr);
            ASSERT_EQ(fighters_[i]->LoadResource(&resources_), 1);
            CharacterCreateRecord record;
            record.team = i32(i);
            record.skills[0] = 2, record.skills[1] = 1;
            ASSERT_EQ(fighters_[i]->Initialize(reinterpret_cast<intptr_t>(&record)), 1);
            views_[i] = std::make_unique<CBattleHudFighter>(*fighters_[i], i, i, 0, &list_);
            list_.push_back(views_[i].get());
        }
    }
    void TearDown() override
    {
        list_.clear();
        for (auto& v : views_) v.reset();
        for (auto& f : fighters_) f.reset();
        SetCharacterObjectFactory(nullptr);
        SetObjectRegistry(saved_);
        folder_.reset();
        ConsoleTest::TearDown();
    }

    std::unique_ptr<setting_test::WorkFolder> folder_;
    CObjectRegistry registry_;
    CObjectRegistry* saved_ = nullptr;
    CSkillList skills_;
    character_test::FakeFactory factory_;
    std::unique_ptr<CPlayerCharacter> fighters_[2];
    std::unique_ptr<CBattleHudFighter> views_[2];
    HudFighterList list_;
};

}  // namespace

// Every value set at once, each distinct, so a query reading the wrong
// field shows up as a mismatch.
TEST_F(BattleHudFighterTest, EveryQueryReadsItsOwnFieldOfTheFighter)
{
    CPlayerCharacter& c = *fighters_[0];
    CharacterStatus& s = *c.GetStatus();
    const HudFighter& v = *views_[0];
    s.team = 2, s.hp = 345, s.shownHp = 360.5f, s.mp = 2.75f, s.sparkGauge = 41.0f, s.tension = 3;
    s.defeatCount = 4, s.moveHit.kills = 6, s.fixedTension = 5, s.lastMusicTime = 12.5f;
    s.moveHit.damageDealt = 910, s.moveHit.lastDealt[4] = 17;
    s.moveHit.damageTaken = 13, s.moveHit.lastTaken[4] = 19;
    s.order = 3, s.lockOnType = 1, s.selectedBarrage = 1, s.ammunition = 9, s.action = HudFighter::kActionDown;
    s.timers.ammoReloadDuration = 2.0f;   // as the last shot left it
    s.damageType = 6, s.moveHit.doubleAttackFlag = 11, s.moveHit.doubleAttackTimer = 0.4f;
    s.timers.statusTimers[kBuff3Timer] = 2.25f, s.timers.statusTimers[kBuff2Timer] = 1.5f;
    c.GetMeeting().dangerFlags = 8 | 2;
    static_cast<FakeCamera*>(c.GetCameraController())->angles = CVector3(-5.0f, 33.0f, 0.0f);
    fighters_[1]->GetStatus()->limitGauge = 37.5f;
    s.lockedTargetId = fighters_[1]->GetId();

    const CharacterBody& body = c.GetParameter()->values.body;
    const struct {
        const char* what;
        std::function<f64()> read;
        f64 expected;
    } cases[] = {
        {"team", [&] { return v.GetTeam(); }, 2},
        {"hp", [&] { return v.GetHp(); }, 345},
        {"shown hp", [&] { return v.GetShownHp(); }, 360.5},
        {"mp", [&] { return v.GetMp(); }, 2.75},
        {"spark", [&] { return v.GetSparkGauge(); }, 41},
        {"tension", [&] { return v.GetTensionLevel(); }, 3},
        {"defeats", [&] { return v.GetDefeatCount(); }, 4},
        {"kills", [&] { return v.GetKillCount(); }, 6},
        {"fixed tension", [&] { return v.GetFixedTension(); }, 5},
        {"music time", [&] { return v.GetMusicTime(); }, 12.5},
        {"total damage", [&] { return v.GetTotalDamage(); }, 910},
        {"oldest hit", [&] { return v.GetHitDamage(4); }, 17},
        {"target mode", [&] { return v.GetTargetMode(); }, 3},
        {"weapon set", [&] { return v.GetWeaponSet(); }, 1},
        {"action", [&] { return v.GetAction(); }, 14},
        {"down kind", [&] { return v.GetDownKind(); }, 6},
        {"danger", [&] { return v.GetDangerMask(); }, 10},
        {"partner attack", [&] { return v.GetPartnerAttack(); }, 11},
        {"partner time", [&] { return v.GetPartnerAttackTime(); }, 0.4f},
        {"buff 3", [&] { return v.GetBuffTimer3(); }, 2.25},
        {"camera yaw", [&] { return v.GetCameraYaw(); }, 33},
        {"target down limit", [&] { return v.GetTargetDownLimit(); }, 37.5},
        {"shot count", [&] { return v.GetActionCount(2); }, 9},
        {"shot capacity (set B)", [&] { return v.GetActionCapacity(2); }, 12},
        {"shot fill", [&] { return v.GetActionGauge(2); }, 0.75},
        {"orb 0", [&] { return v.GetSkillImage(0); }, 38},
        {"orb 1", [&] { return v.GetSkillImage(1); }, 7},
        {"orb 2 (empty)", [&] { return v.GetSkillImage(2); }, -1},
        {"flags 0", [&] { return v.GetSkillFlags2(0); }, 0x100000},
        {"flags 1", [&] { return v.GetSkillFlags2(1); }, 0x10},
        {"height", [&] { return v.GetHeight(); }, body.height},
        {"near radius", [&] { return v.GetNearRadius(); }, body.nearRadius},
        {"max hp", [&] { return v.GetMaxHp(); }, 800},
    };
    for (const auto& k : cases) EXPECT_EQ(k.read(), k.expected) << k.what;
    EXPECT_NE(body.height, body.nearRadius);
    EXPECT_EQ(v.GetLockOnTarget(), views_[1].get());
    EXPECT_EQ(views_[1]->GetLockOnTarget(), nullptr);
}

// The training panel measures what the own fighter's hits do: two hits on
// the dummy show there, newest first, and the dummy's blow back does not;
// the clearing key empties what the panel shows.
TEST_F(BattleHudFighterTest, TheDamagePanelShowsTheOwnFightersHits)
{
    CPlayerCharacter& own = *fighters_[0];
    CPlayerCharacter& dummy = *fighters_[1];
    const auto hit = [](CCharacterAction& victim, f32 damage, CCharacterBase* attacker) {
        return victim.TakeHit(CCharacterAction::Hit{damage, 0, 0, 0, 0, CVector3(0, 0, -1), 2, 0, 1, 0, attacker});
    };
    ASSERT_EQ(hit(dummy, 120, &own), 1);
    ASSERT_EQ(hit(dummy, 35, &own), 1);
    ASSERT_EQ(hit(own, 70, &dummy), 1);
    const HudFighter& panel = *views_[0];
    EXPECT_EQ(panel.GetTotalDamage(), 155);
    const i32 expected[5] = {35, 120, 0, 0, 0};
    for (u32 i = 0; i < 5; ++i) EXPECT_EQ(panel.GetHitDamage(i), expected[i]) << i;
    EXPECT_EQ(views_[1]->GetTotalDamage(), 70);
    EXPECT_EQ(views_[1]->GetHitDamage(0), 70);

    views_[0]->ClearDamage();
    EXPECT_EQ(panel.GetTotalDamage(), 0);
    EXPECT_EQ(panel.GetHitDamage(1), 0);
    EXPECT_EQ(views_[1]->GetTotalDamage(), 70);
}

// A lock on a fighter the list does not hold (gone, or no list at all)
// shows no target and no down limit rather than a stale one.
TEST_F(BattleHudFighterTest, ALockOutsideTheListFindsNoTarget)
{
    fighters_[1]->GetStatus()->limitGauge = 20.0f;
    fighters_[0]->GetStatus()->lockedTargetId = fighters_[1]->GetId();
    const CBattleHudFighter alone(*fighters_[0], 0, 0, 0);
    EXPECT_EQ(alone.GetLockOnTarget(), nullptr);
    EXPECT_EQ(alone.GetTargetDownLimit(), 0.0f);
    list_.pop_back();
    EXPECT_EQ(views_[0]->GetLockOnTarget(), nullptr);
    EXPECT_EQ(views_[0]->GetTargetDownLimit(), 0.0f);
}

// A fighter fresh from creation has its guard and its shots full: the
// console's bars for them are drawn at full width, not empty.
TEST_F(BattleHudFighterTest, PlayerConsoleDrawsTheWeaponGaugesOfARealFighter)
{
    CPlayerConsole console(&scene_);
    ASSERT_EQ(console.Load(views_[0].get(), &list_, &layout_), 1u);
    console.Update(0);
    Place();
    console.Draw(0);
    const std::vector<Sprite> sprites = Sprites();
    for (const char* bar : {"rcga", "rcga3"}) {
        const auto it = std::find_if(sprites.begin(), sprites.end(), [&](const Sprite& s) { return s.name == bar; });
        ASSERT_NE(it, sprites.end()) << bar;
        EXPECT_FLOAT_EQ(it->w, 8.0f) << bar;
    }
}

}  // namespace ORV_TEST_FILE_ID
