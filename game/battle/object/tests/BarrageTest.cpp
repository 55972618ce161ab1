#include "engine/core/FloatMath.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/object/Barrage.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletPasses.h"
#include "game/battle/object/PatternListParameter.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "game/battle/object/tests/StateHashProbe.h"
#include "game/data/tests/SettingTestSupport.h"
#include "game/data/tests/SettingWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using battle_test::BattleObjectTest;
using battle_test::FakeFighter;
using setting_test::SettingWriter;

using Keys = std::vector<std::pair<const char*, std::string>>;

std::string V(f32 x, f32 y, f32 z) { return ":" + setting_test::FormatF32(x) + ":" + setting_test::FormatF32(y) + ":" + setting_test::FormatF32(z); }

// A bullet that only moves: no hits, no end, no shake.
SettingWriter QuietBullet(i32 moveType, f32 velocity)
{
    return SettingWriter().Set("MOVETYPE", moveType).Set("VELOCITY", velocity).Set("EXISTENCETIME", 0.0f)
        .Set("STAGEHITFLG", 0).Set("CHRACTORHITFLG", 0);
}

class BarrageTest : public BattleObjectTest {
protected:
    void SetUp() override
    {
        BattleObjectTest::SetUp();
        shooterPtr_ = std::make_unique<FakeFighter>();
        targetPtr_ = std::make_unique<FakeFighter>();
        shooter_ = shooterPtr_.get();
        target_ = targetPtr_.get();
        savedFrame_ = GetFrameTimeMs();
        SetFrameTime(250);   // 0.25 s: every time below is exact in binary
        Place(*shooter_, CVector3(), CVector3());
        Place(*target_, CVector3(0, 0, -10), CVector3());
        ASSERT_TRUE(QuietBullet(0, 4.0f).Save("Bullet.txt"));
    }
    void TearDown() override
    {
        SetFrameTime(savedFrame_);
        scene_.bullets.DeleteAll();
        shooterPtr_.reset();
        targetPtr_.reset();
        BattleObjectTest::TearDown();
    }

    static void Place(CObjectDivision& object, const CVector3& at, const CVector3& rotation)
    {
        object.SetPosition(&at);
        *object.GetRotation() = rotation;
        object.UpdateMatrix();
    }

    // The effect "Efc_shot", one object in it, in the resources' list.
    static void ListShotEffect(CResourceController& resources)
    {
        auto* effect = new CEffectContainer();
        effect->SetName("Efc_shot");
        auto* node = new CEffectObject();
        node->SetName("n");
        effect->AddObject(node);
        void* slot = effect;
        resources.GetEffectList()->Add(&slot);
    }

    // A one-pattern definition "Barrage.txt" firing Pattern.txt with keys.
    std::unique_ptr<CPatternListParameter> OnePattern(const Keys& keys)
    {
        SettingWriter pattern;
        for (const auto& [key, value] : keys) pattern.Set(key, value);
        EXPECT_TRUE(pattern.Save("Pattern.txt"));
        EXPECT_TRUE(SettingWriter().Set("PATTERN", "Pattern.txt").Save("Barrage.txt"));
        return Load("Barrage.txt");
    }
    static std::unique_ptr<CPatternListParameter> Load(const char* file)
    {
        auto definition = std::make_unique<CPatternListParameter>();
        EXPECT_EQ(definition->LoadFile(file), 1) << file;
        return definition;
    }

    ShooterRecord Record(CObjectDivision* target) const
    {
        ShooterRecord r;
        r.shooter = shooter_;
        r.firingObject = shooter_;
        r.target = target;
        r.soundVolume = -500;
        return r;
    }

    // One battle frame: the owner's update fires, then the bullets' walks.
    void Frame(CBarrage* barrage, CObjectDivision* target)
    {
        if (barrage) {
            const ShooterRecord r = Record(target);
            barrage->Update(&r);
        }
        UpdateBullets(scene_.bullets, 0);
        RunBulletFirstPass(scene_.bullets, nullptr, 0, 0);
        RunBulletSecondPass(scene_.bullets, nullptr, 0, 0);
    }

    // In the order fired: the list puts each new bullet first.
    std::vector<CBullet*> Bullets() const
    {
        std::vector<CBullet*> out;
        for (CBullet* b = scene_.bullets.First(); b; b = b->GetNext()) out.insert(out.begin(), b);
        return out;
    }

    setting_test::WorkFolder folder_;
    std::unique_ptr<FakeFighter> shooterPtr_, targetPtr_;
    FakeFighter* shooter_ = nullptr;
    FakeFighter* target_ = nullptr;

private:
    u32 savedFrame_ = 0;
};

void ExpectNear(const CVector3& got, const CVector3& want, const std::string& what)
{
    EXPECT_NEAR(got.x, want.x, 1e-4f) << what;
    EXPECT_NEAR(got.y, want.y, 1e-4f) << what;
    EXPECT_NEAR(got.z, want.z, 1e-4f) << what;
}

CVector3 Heading(const CBullet* b)
{
    CVector3 d;
    b->GetState().velocity.GetNormalized(&d);
    return d;
}

// Worked by hand: dt 0.25 and VELOCITY 4 make one unit a frame; a fighter
// turned (0, 90, 0) takes its local (x, y, z) to world (z, y, -x).
struct PathCase {
    const char* name;
    Keys pattern;
    Keys bullet;
    CVector3 shooterAt, shooterRotation, targetAt;
    int frames;
    std::vector<CVector3> positions;   // of the bullets in list order
};

TEST_F(BarrageTest, BulletsOfAPatternFileStandWhereWorkedOutByHandAfterNFrames)
{
    const f32 h = 0.70710678f;
    const PathCase cases[] = {
        // Two straight shots from a turned fighter at (10, 0, 0), fired in
        // frame 2 and moved three times. Shot 0 starts at local (0, 2, -3) =
        // world (7, 2, 0) and leaves forward (-1, 0, 0); shot 1 one unit to
        // the local right, world (7, 2, -1), turned 90 about +y: world -z.
        {"straight fan",
            {{"POSITION", V(0, 2, -3)}, {"SIMULTANEOUSPOSITIONADD", V(1, 0, 0)}, {"SIMULTANEOUSSHOOTCOUNT", "2"},
                {"SIMULTANEOUSSHOOTANGLEADD", "90"}, {"SHOOTWAIT", "0.5"}, {"SHOOTCOUNT", "1"}},
            {{"MOVETYPE", "0"}},
            CVector3(10, 0, 0), CVector3(0, 90, 0), CVector3(0, 0, -10), 4, {{4, 2, 0}, {7, 2, -4}}},
        // Aimed: the shot starts halfway to the target at (10, 0, -10),
        // leaves along world +x and turns the whole 45 degrees at once
        // (360 degrees a second), then flies at the target.
        {"homing, aimed halfway",
            {{"POSITIONTYPE", "3"}, {"SHOOTVECTOR", V(1, 0, 0)}, {"SHOOTANGLETYPE", "0"}, {"SHOOTWAIT", "0"},
                {"SHOOTCOUNT", "1"}},
            {{"MOVETYPE", "7"}, {"PURSUITANGLE", "360"}},
            CVector3(), CVector3(), CVector3(10, 0, -10), 3, {{5 + 3 * h, 0, -5 - 3 * h}}},
    };
    for (const PathCase& c : cases) {
        SettingWriter bullet = QuietBullet(0, 4.0f);
        for (const auto& [key, value] : c.bullet) bullet.Set(key, value);
        ASSERT_TRUE(bullet.Save("Shot.txt"));
        Keys keys = c.pattern;
        keys.emplace_back("BULLET", "Shot.txt");
        auto definition = OnePattern(keys);
        Place(*shooter_, c.shooterAt, c.shooterRotation);
        Place(*target_, c.targetAt, CVector3());
        CBarrage barrage(definition.get());
        ASSERT_EQ(barrage.LoadResource(nullptr), 1);
        for (int f = 0; f < c.frames; ++f) Frame(&barrage, target_);
        const std::vector<CBullet*> bullets = Bullets();
        ASSERT_EQ(bullets.size(), c.positions.size()) << c.name;
        for (size_t i = 0; i < bullets.size(); ++i) {
            ExpectNear(*bullets[i]->GetPosition(), c.positions[i], std::string(c.name) + " shot " + std::to_string(i));
            EXPECT_EQ(bullets[i]->GetOwner(), shooter_);
        }
        scene_.bullets.DeleteAll();
    }
}

struct TimingCase {
    const char* name;
    Keys pattern;
    std::vector<u32> volleys;   // the count after each frame
    int finishedFrom;           // first frame IsFinished holds
};

TEST_F(BarrageTest, VolleysFallDueAtExactlyTheirKeysTimes)
{
    const TimingCase cases[] = {
        // Endless and every frame; the barrage counts as finished at once
        // but fires on while the owner calls it.
        {"wait 0", {{"SHOOTWAIT", "0"}}, {1, 2, 3, 4}, 1},
        // The timer takes the whole frame in which the clock reaches 2.0
        // (frame 8), so 0.5 later is frame 9.
        {"pattern wait 2, wait 0.5", {{"PATTERNWAIT", "2"}, {"SHOOTWAIT", "0.5"}},
            {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 2}, 10},
        {"three volleys", {{"SHOOTWAIT", "0.25"}, {"SHOOTCOUNT", "3"}}, {1, 2, 3, 3, 3}, 3},
        {"wait 0.5, two", {{"SHOOTWAIT", "0.5"}, {"SHOOTCOUNT", "2"}}, {0, 1, 1, 2, 2}, 4},
        // No shots, yet the volleys are counted.
        {"empty volleys", {{"SHOOTWAIT", "0.25"}, {"SIMULTANEOUSSHOOTCOUNT", "0"}, {"SHOOTCOUNT", "2"}}, {1, 2, 2}, 2},
    };
    for (const TimingCase& c : cases) {
        auto definition = OnePattern(c.pattern);
        CBarrage barrage(definition.get());
        EXPECT_EQ(barrage.IsFinished(), 0u) << c.name;
        const u32 shots = u32(definition->GetPattern(0)->GetValues().simultaneousShootCount);
        for (size_t f = 0; f < c.volleys.size(); ++f) {
            Frame(&barrage, target_);
            const int frame = int(f) + 1;
            EXPECT_EQ(barrage.GetPatternState(0)->volleyCount, c.volleys[f]) << c.name << " frame " << frame;
            EXPECT_EQ(scene_.bullets.GetCount(), c.volleys[f] * shots) << c.name << " frame " << frame;
            EXPECT_EQ(barrage.IsFinished(), frame >= c.finishedFrom ? 1u : 0u) << c.name << " frame " << frame;
        }
        scene_.bullets.DeleteAll();
    }
}

TEST_F(BarrageTest, RestartFiresAgainFromItsTime)
{
    auto definition = OnePattern({{"SHOOTWAIT", "0.5"}, {"SHOOTCOUNT", "1"}});
    CBarrage barrage(definition.get());
    for (int f = 0; f < 2; ++f) Frame(&barrage, target_);
    ASSERT_EQ(barrage.IsFinished(), 1u);
    barrage.Restart(0.0f);
    EXPECT_EQ(barrage.IsFinished(), 0u);
    Frame(&barrage, target_);
    EXPECT_EQ(scene_.bullets.GetCount(), 1u);
    Frame(&barrage, target_);
    EXPECT_EQ(scene_.bullets.GetCount(), 2u);
    // Started at 0.25: the timers already hold it, so the next frame fires.
    barrage.Restart(0.25f);
    EXPECT_FLOAT_EQ(barrage.GetPatternState(0)->timer, 0.25f);
    Frame(&barrage, target_);
    EXPECT_EQ(scene_.bullets.GetCount(), 3u);
}

TEST_F(BarrageTest, ADefinitionWithoutPatternsFiresNothingAndEndsOnceItsClockMoves)
{
    ASSERT_TRUE(SettingWriter().Set("NAME", "empty").Save("Empty.txt"));
    auto definition = Load("Empty.txt");
    CBarrage barrage(definition.get());
    EXPECT_EQ(barrage.GetPatternStateCount(), 0u);
    EXPECT_EQ(barrage.LoadResource(nullptr), 1);
    EXPECT_EQ(barrage.IsFinished(), 0u);
    SetFrameTime(0);
    Frame(&barrage, target_);
    EXPECT_EQ(barrage.IsFinished(), 0u);   // the clock has not moved
    SetFrameTime(250);
    Frame(&barrage, target_);
    EXPECT_EQ(barrage.IsFinished(), 1u);
    EXPECT_EQ(scene_.bullets.GetCount(), 0u);

    // Without a definition there is nothing to load and nothing to fire.
    CBarrage bare;
    EXPECT_EQ(bare.GetGroup(), kGroupBarrage);
    EXPECT_EQ(bare.LoadResource(nullptr), 0);
    EXPECT_EQ(bare.Update(0u), 0);
}

// Both lines fire POSITIONTYPE 2 at a target beyond SHOOTRANGE. The first
// volley drops the target for the rest of the frame, so the second pattern,
// with a state of its own, fires 15 ahead instead of SHOOTRANGE ahead.
TEST_F(BarrageTest, TwoLinesNamingOneFileFireTwoIndependentStreams)
{
    ASSERT_TRUE(SettingWriter().Set("POSITIONTYPE", 2).Set("SHOOTRANGE", 20.0f).Set("SHOOTWAIT", 0.0f)
        .Set("SHOOTCOUNT", 1).Save("Far.txt"));
    ASSERT_TRUE(SettingWriter().Set("PATTERN", "Far.txt").Set("PATTERN", "Far.txt").Save("Twice.txt"));
    auto definition = Load("Twice.txt");
    ASSERT_EQ(definition->GetPatternCount(), 2u);
    // One read-only record, read once; the firing states are the barrage's own.
    EXPECT_EQ(definition->GetPattern(0), definition->GetPattern(1));
    Place(*target_, CVector3(0, 0, -100), CVector3());
    CBarrage barrage(definition.get());
    const ShooterRecord record = Record(target_);
    barrage.Update(&record);
    EXPECT_EQ(record.target, target_);   // the owner's record is left alone
    const std::vector<CBullet*> bullets = Bullets();
    ASSERT_EQ(bullets.size(), 2u);
    ExpectNear(*bullets[0]->GetPosition(), CVector3(0, 0, -20), "first line");
    ExpectNear(*bullets[1]->GetPosition(), CVector3(0, 0, -15), "second line");
    for (const CBullet* b : bullets) EXPECT_EQ(b->GetTarget(), nullptr);
    EXPECT_EQ(barrage.GetPatternState(0)->volleyCount, 1u);
    EXPECT_EQ(barrage.GetPatternState(1)->volleyCount, 1u);
    EXPECT_NE(barrage.GetPatternState(0), barrage.GetPatternState(1));
    EXPECT_EQ(barrage.GetPatternState(2), nullptr);
}

// The fighter at the origin faces -x (rotation (0, 90, 0)).
struct PlacementCase {
    const char* name;
    Keys pattern;
    CVector3 targetAt;
    CVector3 position, heading;
    bool keepsTarget;
};

TEST_F(BarrageTest, EachPositionTypePlacesAndAimsTheVolley)
{
    const PlacementCase cases[] = {
        {"frame", {{"POSITION", V(0, 1, -2)}}, {0, 0, -10}, {-2, 1, 0}, {-1, 0, 0}, true},
        // The target 90 degrees to the side, inside SHOOTLIMITANGLE.
        {"aimed", {{"POSITIONTYPE", "3"}}, {0, 0, -10}, {0, 0, -5}, {-1, 0, 0}, true},
        // Straight behind: 15 ahead, without target, and type 2 leaves the
        // direction a world one.
        {"aimed, out of angle", {{"POSITIONTYPE", "3"}, {"SHOOTANGLETYPE", "2"}}, {10, 0, 0}, {-15, 0, 0},
            {0, 0, -1}, false},
        {"around the target", {{"POSITIONTYPE", "2"}, {"POSITION", V(0, 0, -3)}, {"SHOOTRANGE", "20"}},
            {0, 0, -10}, {0, 0, -13}, {-1, 0, 0}, true},
        {"around, out of range", {{"POSITIONTYPE", "2"}, {"SHOOTRANGE", "20"}}, {0, 0, -100}, {-20, 0, 0},
            {-1, 0, 0}, false},
        // Only the part along the vertical axis stays, then aimed.
        {"on the axis", {{"POSITIONTYPE", "4"}, {"POSITION", V(2, 1, -4)}}, {0, 0, -10}, {0, 1, -5}, {-1, 0, 0},
            true},
        {"world", {{"POSITIONTYPE", "5"}, {"POSITION", V(1, 2, 3)}, {"SHOOTANGLETYPE", "0"}}, {0, 0, -10},
            {1, 2, 3}, {0, 0, -1}, true},
    };
    for (const PlacementCase& c : cases) {
        Keys keys = c.pattern;
        keys.emplace_back("SHOOTWAIT", "0");
        auto definition = OnePattern(keys);
        Place(*shooter_, CVector3(), CVector3(0, 90, 0));
        Place(*target_, c.targetAt, CVector3());
        CBarrage barrage(definition.get());
        const ShooterRecord record = Record(target_);
        barrage.Update(&record);
        ASSERT_EQ(scene_.bullets.GetCount(), 1u) << c.name;
        const CBullet* b = scene_.bullets.First();
        ExpectNear(*b->GetPosition(), c.position, std::string(c.name) + " position");
        ExpectNear(Heading(b), c.heading, std::string(c.name) + " heading");
        EXPECT_EQ(b->GetTarget(), c.keepsTarget ? target_ : nullptr) << c.name;
        scene_.bullets.DeleteAll();
    }
}

TEST_F(BarrageTest, FixationKeepsTheFirstVolleysFrame)
{
    for (int fixed : {0, 1}) {
        auto definition = OnePattern({{"SHOOTWAIT", "0"}, {"FIXATIONFLG", std::to_string(fixed)}});
        Place(*shooter_, CVector3(), CVector3());
        CBarrage barrage(definition.get());
        const ShooterRecord record = Record(target_);
        barrage.Update(&record);
        Place(*shooter_, CVector3(5, 0, 0), CVector3(0, 90, 0));
        barrage.Update(&record);
        const std::vector<CBullet*> bullets = Bullets();
        ASSERT_EQ(bullets.size(), 2u);
        ExpectNear(*bullets[1]->GetPosition(), fixed ? CVector3() : CVector3(5, 0, 0), "second volley");
        ExpectNear(Heading(bullets[1]), fixed ? CVector3(0, 0, -1) : CVector3(-1, 0, 0), "second volley");
        scene_.bullets.DeleteAll();
    }
}

// Counts from data are signed: a negative one fires nothing, a huge one no
// more than the cap.
TEST_F(BarrageTest, ShotCountsFromDataAreBounded)
{
    const std::pair<const char*, u32> cases[] = {
        {"-1", 0u}, {"-2147483648", 0u}, {"2000000", CBarrage::kMaxShotsPerVolley}};
    for (const auto& [count, shots] : cases) {
        auto definition = OnePattern({{"SHOOTWAIT", "0"}, {"SIMULTANEOUSSHOOTCOUNT", count}});
        CBarrage barrage(definition.get());
        Frame(&barrage, target_);
        EXPECT_EQ(scene_.bullets.GetCount(), shots) << count;
        EXPECT_EQ(barrage.GetPatternState(0)->volleyCount, 1u) << count;
        scene_.bullets.DeleteAll();
    }
}

TEST_F(BarrageTest, ABulletNobodyTakesIsNotLeakedAndNoRecordFiresNothing)
{
    auto definition = OnePattern({{"SHOOTWAIT", "0.25"}});
    CBarrage barrage(definition.get());
    registry_.SetHandler(nullptr);   // no scene to take the bullets
    const ShooterRecord record = Record(target_);
    barrage.Update(&record);
    EXPECT_EQ(barrage.GetPatternState(0)->volleyCount, 1u);
    registry_.SetHandler(&scene_);
    EXPECT_EQ(scene_.bullets.GetCount(), 0u);

    // Due without a shooter: the time waits for one.
    barrage.Update(nullptr);
    EXPECT_EQ(barrage.GetPatternState(0)->volleyCount, 1u);
    EXPECT_FLOAT_EQ(barrage.GetPatternState(0)->timer, 0.25f);
    barrage.Update(&record);
    EXPECT_EQ(scene_.bullets.GetCount(), 1u);
}

TEST_F(BarrageTest, ShotEffectAndSoundAreFoundByName)
{
    CResourceController resources;
    auto* effect = new CEffectContainer();
    effect->SetName("Efc_shot");
    void* slot = effect;
    resources.GetEffectList()->Add(&slot);
    auto* sound = new CSoundBuffer();   // no voices: it is found but never plays
    sound->SetName("Sound/se_shot.wav");
    slot = sound;
    resources.GetSoundList()->Add(&slot);
    ASSERT_TRUE(SettingWriter().Set("EFCSHOOTSET", "Efc_shot").Set("SOUND", "se_shot.wav").Set("SHOOTWAIT", 0.0f).Save("Loud.txt"));
    ASSERT_TRUE(SettingWriter().Set("SOUND", "missing.wav").Set("SHOOTWAIT", 0.0f).Save("Quiet.txt"));
    ASSERT_TRUE(SettingWriter().Set("PATTERN", "Loud.txt").Set("PATTERN", "Quiet.txt").Save("Both.txt"));
    auto definition = Load("Both.txt");
    CBarrage barrage(definition.get());
    ASSERT_EQ(barrage.LoadResource(&resources), 1);
    EXPECT_EQ(barrage.GetPatternState(0)->shotEffect, effect);
    EXPECT_EQ(barrage.GetPatternState(0)->sound, sound);
    EXPECT_EQ(barrage.GetPatternState(1)->shotEffect, nullptr);
    EXPECT_EQ(barrage.GetPatternState(1)->sound, nullptr);
    Frame(&barrage, target_);
    EXPECT_EQ(scene_.bullets.GetCount(), 2u);
}

// The burst of a HITTYPE 12 bullet and the carrier (motion 20) both fire
// the barrage their BARRAGE names, from themselves (SHOOTOBJECTTYPE 1).
TEST_F(BarrageTest, BulletsCarryingABarrageFireIt)
{
    // Children stay where they are put and outlive their launcher.
    ASSERT_TRUE(QuietBullet(0, 0.0f).Save("Still.txt"));
    // Eight shots on a circle, each turned as far as its place: all outward.
    ASSERT_TRUE(SettingWriter().Set("SHOOTWAIT", 0.0f).Set("SIMULTANEOUSSHOOTCOUNT", 8)
        .Set("POSITION", CVector3(0, 0, -2)).Set("SIMULTANEOUSPOSITIONANGLEADD", 45.0f)
        .Set("SIMULTANEOUSSHOOTANGLEADD", 45.0f).Save("Ring.txt"));
    ASSERT_TRUE(SettingWriter().Set("PATTERN", "Ring.txt").Save("Burst.txt"));
    ASSERT_TRUE(QuietBullet(0, 0.0f).Set("HITTYPE", 12).Set("SHOOTOBJECTTYPE", 1).Set("BARRAGE", "Burst.txt").Save("Bomb.txt"));
    ASSERT_TRUE(SettingWriter().Set("SHOOTWAIT", 0.25f).Set("SHOOTCOUNT", 2).Set("BULLET", "Still.txt").Save("Pair.txt"));
    ASSERT_TRUE(SettingWriter().Set("PATTERN", "Pair.txt").Save("Pairs.txt"));
    ASSERT_TRUE(QuietBullet(20, 4.0f).Set("OPTIONLENGTH", 100.0f).Set("STOPTIME", 0.5f).Set("SHOOTOBJECTTYPE", 1)
        .Set("BARRAGE", "Pairs.txt").Save("Carrier.txt"));
    Place(*shooter_, CVector3(3, 0, 0), CVector3());

    {
        auto definition = OnePattern({{"SHOOTWAIT", "0"}, {"SHOOTCOUNT", "1"}, {"BULLET", "Bomb.txt"}});
        CBarrage barrage(definition.get());
        Frame(&barrage, target_);
        ASSERT_EQ(scene_.bullets.GetCount(), 1u);
        CBullet* bomb = scene_.bullets.First();
        ASSERT_NE(bomb->GetChildBarrage(), nullptr);
        {
            // A copied bomb's barrage fires from the same definition.
            std::unique_ptr<CBullet> copy(bomb->Clone());
            const auto* child = dynamic_cast<const CBarrage*>(copy->GetChildBarrage());
            ASSERT_NE(child, nullptr);
            EXPECT_EQ(child->GetDefinition(), dynamic_cast<const CBarrage*>(bomb->GetChildBarrage())->GetDefinition());
        }
        EXPECT_EQ(bomb->ReleaseOnBreak(), 1);
        const std::vector<CBullet*> ring = Bullets();
        ASSERT_EQ(ring.size(), 9u);
        for (size_t i = 1; i < ring.size(); ++i) {
            const CVector3 radius = *ring[i]->GetPosition() - CVector3(3, 0, 0);
            EXPECT_NEAR(radius.Length(), 2.0f, 1e-4f) << i;
            ExpectNear(Heading(ring[i]), radius * 0.5f, "outward " + std::to_string(i));
            EXPECT_EQ(ring[i]->GetOwner(), shooter_);
            EXPECT_EQ(ring[i]->GetShotObject(), bomb);
        }
        Frame(nullptr, nullptr);   // the bomb's own frame step deletes it
        EXPECT_EQ(scene_.bullets.GetCount(), 8u);
        scene_.bullets.DeleteAll();
    }

    // Near its target the carrier stops (frame 1), fires once STOPTIME has
    // passed (frames 3 and 4) and ends when its barrage has (frame 5).
    auto definition = OnePattern({{"SHOOTWAIT", "0"}, {"SHOOTCOUNT", "1"}, {"BULLET", "Carrier.txt"}});
    CBarrage barrage(definition.get());
    const u32 counts[] = {1, 1, 2, 3, 2, 2};
    for (size_t f = 0; f < std::size(counts); ++f) {
        Frame(&barrage, target_);
        EXPECT_EQ(scene_.bullets.GetCount(), counts[f]) << "frame " << f + 1;
    }
    for (const CBullet* b : Bullets()) {
        EXPECT_EQ(b->GetRecord()->GetValues().moveType, 0);
        ExpectNear(*b->GetPosition(), CVector3(3, 0, 0), "fired where the carrier stopped");
    }
}

// A carrier that bursts (MOVETYPE 20, HITTYPE 12) ends as a plain one does
// in the frame its barrage has finished: its end bursts it, and the burst,
// finding the barrage finished, does not end it again. Fired from (3, 0, 0)
// near its target, it stops, fires a volley in frames 3 and 4 and ends in 5.
TEST_F(BarrageTest, ABurstingCarrierEndsOnceItsBarrageHasFinished)
{
    ASSERT_TRUE(QuietBullet(0, 0.0f).Save("Still.txt"));
    ASSERT_TRUE(SettingWriter().Set("SHOOTWAIT", 0.25f).Set("SHOOTCOUNT", 2).Set("BULLET", "Still.txt").Save("Pair.txt"));
    ASSERT_TRUE(SettingWriter().Set("PATTERN", "Pair.txt").Save("Pairs.txt"));
    Place(*shooter_, CVector3(3, 0, 0), CVector3());
    for (const i32 hitType : {0, 12}) {
        ASSERT_TRUE(QuietBullet(20, 4.0f).Set("HITTYPE", hitType).Set("OPTIONLENGTH", 100.0f).Set("STOPTIME", 0.5f)
            .Set("SHOOTOBJECTTYPE", 1).Set("BARRAGE", "Pairs.txt").Save("Carrier.txt"));
        auto definition = OnePattern({{"SHOOTWAIT", "0"}, {"SHOOTCOUNT", "1"}, {"BULLET", "Carrier.txt"}});
        CBarrage barrage(definition.get());
        std::vector<u32> counts;
        for (int f = 0; f < 6; ++f) {
            Frame(&barrage, target_);
            counts.push_back(scene_.bullets.GetCount());
        }
        EXPECT_EQ(counts, (std::vector<u32>{1, 1, 2, 3, 2, 2})) << hitType;
        for (const CBullet* b : Bullets()) {
            EXPECT_EQ(b->GetRecord()->GetValues().moveType, 0) << hitType;
            ExpectNear(*b->GetPosition(), CVector3(3, 0, 0), "fired where the carrier stopped");
        }
        scene_.bullets.DeleteAll();
    }
}

// A freezer (HITTYPE 6, HITRELEASETYPE 0) of the other side meets the
// bursting carrier in frame 3, as it fires: frozen, the carrier no longer
// runs its motion, but its barrage goes on and finishes in frame 4, and with
// the release type the freeze gave it the carrier ends in frame 5 by its
// barrage's end alone, bursting once.
TEST_F(BarrageTest, ABurstingCarrierFrozenByACollisionEndsOnceItsBarrageHasFinished)
{
    ASSERT_TRUE(QuietBullet(0, 0.0f).Set("BULLETHITFLG", 0).Save("Still.txt"));
    ASSERT_TRUE(SettingWriter().Set("SHOOTWAIT", 0.25f).Set("SHOOTCOUNT", 2).Set("BULLET", "Still.txt").Save("Pair.txt"));
    ASSERT_TRUE(SettingWriter().Set("PATTERN", "Pair.txt").Save("Pairs.txt"));
    ASSERT_TRUE(QuietBullet(20, 4.0f).Set("HITTYPE", 12).Set("HITRELEASETYPE", 2).Set("PER", 5.0f)
        .Set("BULLETHITFLG", 1).Set("HITCOUNT", 1).Set("HITRADIUS", 0.5f).Set("OPTIONLENGTH", 100.0f)
        .Set("STOPTIME", 0.5f).Set("SHOOTOBJECTTYPE", 1).Set("BARRAGE", "Pairs.txt").Save("Carrier.txt"));
    ASSERT_TRUE(QuietBullet(0, 0.0f).Set("HITTYPE", 6).Set("HITRELEASETYPE", 0).Set("FREEZETIME", 10.0f)
        .Set("HITCOUNT", 1).Set("HITRADIUS", 1.0f).Set("BULLETHITFLG", 0).Save("Freezer.txt"));
    ASSERT_TRUE(SettingWriter().Set("SHOOTWAIT", 0.0f).Set("SHOOTCOUNT", 1).Set("PATTERNWAIT", 0.75f)
        .Set("POSITIONTYPE", 0).Set("POSITION", CVector3(3, 0, 0)).Set("BULLET", "Freezer.txt").Save("Frost.txt"));
    ASSERT_TRUE(SettingWriter().Set("PATTERN", "Frost.txt").Save("Frosts.txt"));
    Place(*shooter_, CVector3(3, 0, 0), CVector3());
    auto definition = OnePattern({{"SHOOTWAIT", "0"}, {"SHOOTCOUNT", "1"}, {"BULLET", "Carrier.txt"}});
    const auto frosts = Load("Frosts.txt");
    CBarrage barrage(definition.get()), frost(frosts.get());
    const CBullet* carrier = nullptr;
    std::vector<std::string> seen;
    for (int f = 1; f <= 6; ++f) {
        ShooterRecord other = Record(nullptr);
        other.shooter = other.firingObject = target_;
        other.shooterGroup = 1;
        frost.Update(&other);
        Frame(&barrage, target_);
        if (f == 1) carrier = scene_.bullets.First();
        bool listed = false;
        for (const CBullet* b = scene_.bullets.First(); b; b = b->GetNext()) listed |= b == carrier;
        seen.push_back(!listed ? "gone" : carrier->IsStopped() ? "frozen" : "moving");
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"moving", "moving", "frozen", "frozen", "gone", "gone"}));
    // The freezer and the two shots the carrier fired stay.
    EXPECT_EQ(scene_.bullets.GetCount(), 3u);
}

// A bullet fired while the bullets' walk is under way (by a carrier's
// barrage) goes first in the list, behind the walk: through that frame it
// keeps its launch place and age 0, and it moves from the next frame on. The
// carrier, fired by the shooter before the walk, runs its first frame at
// once. Bullet.txt moves one unit a frame.
TEST_F(BarrageTest, ABulletFiredDuringTheWalkMovesOnlyFromTheNextFrame)
{
    ASSERT_TRUE(SettingWriter().Set("SHOOTWAIT", 0.25f).Set("SHOOTCOUNT", 2).Set("BULLET", "Bullet.txt").Save("Pair.txt"));
    ASSERT_TRUE(SettingWriter().Set("PATTERN", "Pair.txt").Save("Pairs.txt"));
    ASSERT_TRUE(QuietBullet(20, 4.0f).Set("OPTIONLENGTH", 100.0f).Set("STOPTIME", 0.5f).Set("SHOOTOBJECTTYPE", 1)
        .Set("BARRAGE", "Pairs.txt").Save("Carrier.txt"));
    Place(*shooter_, CVector3(3, 0, 0), CVector3());
    auto definition = OnePattern({{"SHOOTWAIT", "0"}, {"SHOOTCOUNT", "1"}, {"BULLET", "Carrier.txt"}});
    CBarrage barrage(definition.get());

    struct Fired {
        int frame;
        CVector3 launch;
    };
    std::map<const CBullet*, Fired> fired;
    const CBullet* carrier = nullptr;
    for (int f = 1; f <= 6; ++f) {
        std::set<const CBullet*> before;
        for (const CBullet* b = scene_.bullets.First(); b; b = b->GetNext()) before.insert(b);
        // The carrier ends with its barrage: read it only while listed.
        const CVector3 carrierAt = carrier && before.count(carrier) ? *carrier->GetPosition() : CVector3();
        Frame(&barrage, target_);
        for (const CBullet* b = scene_.bullets.First(); b; b = b->GetNext()) {
            SCOPED_TRACE(testing::Message() << "frame " << f);
            if (!before.count(b)) {
                if (!carrier) {
                    carrier = b;
                    EXPECT_EQ(b->GetState().age, 0.25f) << "the carrier ran its first frame";
                    continue;
                }
                // Fired by the carrier in this frame's walk: not yet run.
                EXPECT_EQ(b->GetState().age, 0.0f);
                ExpectNear(*b->GetPosition(), carrierAt, "still where the carrier fired it");
                fired[b] = {f, *b->GetPosition()};
            } else if (auto it = fired.find(b); it != fired.end() && it->second.frame == f - 1) {
                EXPECT_EQ(b->GetState().age, 0.25f);
                EXPECT_NEAR((*b->GetPosition() - it->second.launch).Length(), 1.0f, 1e-4f) << "one frame's move";
            }
        }
    }
    ASSERT_NE(carrier, nullptr);
    // Two volleys of one, each fired in a frame of its own and seen moving
    // in the next.
    ASSERT_EQ(fired.size(), 2u);
    std::set<int> frames;
    for (const auto& [b, f] : fired) frames.insert(f.frame);
    EXPECT_EQ(frames.size(), 2u);
    EXPECT_LT(*frames.rbegin(), 6);
}

// The clock, then every firing state in pattern order.
TEST_F(BarrageTest, TheStateHashFoldsTheClockAndEveryStateInOrder)
{
    ASSERT_TRUE(SettingWriter().Set("SHOOTWAIT", 0.25f).Set("SHOOTCOUNT", 1).Save("A.txt"));
    ASSERT_TRUE(SettingWriter().Set("SHOOTWAIT", 0.5f).Set("SHOOTCOUNT", 1).Save("B.txt"));
    ASSERT_TRUE(SettingWriter().Set("PATTERN", "A.txt").Set("PATTERN", "B.txt").Save("AB.txt"));
    auto definition = Load("AB.txt");
    CBarrage barrage(definition.get());
    const ShooterRecord record = Record(target_);
    barrage.Update(&record);

    auto hash = [&] {
        CStateHash h;
        barrage.HashState(h);
        return h.Value();
    };
    auto fold = [&](std::vector<u32> order) {
        CStateHash h;
        barrage.CObjectDivision::HashState(h);
        h.F32(barrage.GetClock()).U32(barrage.GetPatternStateCount());
        for (u32 i : order) {
            const BarrageState& s = *barrage.GetPatternState(i);
            h.U32(s.volleyCount).F32(s.timer).Matrix(s.frameMatrix).Matrix(s.frameRotation);
            h.Vector(s.firingRotation).Vector(s.targetAngles).Vector(s.targetVector);
        }
        return h.Value();
    };
    ASSERT_NE(barrage.GetPatternState(0)->volleyCount, barrage.GetPatternState(1)->volleyCount);
    EXPECT_EQ(hash(), fold({0, 1}));
    EXPECT_NE(hash(), fold({1, 0}));

    const u64 before = hash();
    barrage.Update(&record);
    EXPECT_NE(hash(), before);
}

TEST_F(BarrageTest, ACopyOwnsItsDefinitionAndFiresOnItsOwn)
{
    auto definition = OnePattern({{"SHOOTWAIT", "0.25"}, {"SHOOTCOUNT", "2"}});
    auto barrage = std::make_unique<CBarrage>(definition.get());
    Frame(barrage.get(), target_);
    std::unique_ptr<CBarrage> copy(barrage->Clone());
    // Bullets read their records from the definition they were fired from.
    scene_.bullets.DeleteAll();
    definition.reset();   // the original's owner goes; the copy keeps its own
    barrage.reset();
    EXPECT_NE(copy->GetDefinition(), nullptr);
    EXPECT_EQ(copy->GetPatternState(0)->volleyCount, 1u);
    EXPECT_EQ(copy->IsFinished(), 0u);
    Frame(copy.get(), target_);
    EXPECT_EQ(copy->IsFinished(), 1u);
    EXPECT_EQ(scene_.bullets.GetCount(), 1u);
    scene_.bullets.DeleteAll();
    copy->Release();
    EXPECT_EQ(copy->GetDefinition(), nullptr);
    copy->Release();
}


// SHOOTWAIT 0.375 against frames of 0.25: what passes the wait stays in the
// timer, so the volleys come in frames 2, 3 and 5 (0.125 left, then 0,
// then 0.125 again), not every second frame.
TEST_F(BarrageTest, TimeBeyondTheWaitCarriesIntoTheNextVolley)
{
    auto definition = OnePattern({{"SHOOTWAIT", "0.375"}});
    CBarrage barrage(definition.get());
    const u32 volleys[] = {0, 1, 2, 2, 3};
    const f32 timers[] = {0.25f, 0.125f, 0.0f, 0.25f, 0.125f};
    for (int f = 0; f < 5; ++f) {
        Frame(&barrage, target_);
        EXPECT_EQ(barrage.GetPatternState(0)->volleyCount, volleys[f]) << "frame " << f + 1;
        EXPECT_EQ(barrage.GetPatternState(0)->timer, timers[f]) << "frame " << f + 1;
    }
}

// The shot effect plays once a volley at its middle shot, h = (count - 1) / 2:
// POSITION (0, 0, -2) turned about y by h x 30 degrees (the axis rotation
// takes -z toward +x), plus POSITIONOFFSET (1, 1, -3), placed on the shooter at (20, 30, 40) turned (0, 90, 0),
// which takes local (x, y, z) to (z, y, -x). With four shots it lies
// between the second and the third, where no bullet is.
TEST_F(BarrageTest, TheShotEffectPlaysAtTheMiddleOfTheVolley)
{
    CEffectController manager;
    ASSERT_EQ(manager.Create(nullptr, 64, 8), 1);
    scene_.effects = &manager;
    CResourceController resources;
    ListShotEffect(resources);
    Place(*shooter_, CVector3(20, 30, 40), CVector3(0, 90, 0));
    struct Case {
        const char* count;
        CVector3 centre;
    };
    const Case cases[] = {
        {"1", {15, 31, 39}},                       // angle 0: (1, 1, -5)
        {"3", {15.267949f, 31, 38}},                // 30: (2, 1, -4.732051)
        {"4", {15.585786f, 31, 37.585786f}},        // 45: (2.414214, 1, -4.414214)
    };
    for (const Case& c : cases) {
        auto definition = OnePattern({{"SHOOTWAIT", "0"}, {"SHOOTCOUNT", "1"}, {"EFCSHOOTSET", "Efc_shot"},
            {"POSITIONTYPE", "1"}, {"POSITION", V(0, 0, -2)}, {"POSITIONOFFSET", V(1, 1, -3)},
            {"SHOOTANGLEAXIS", V(0, 1, 0)}, {"SIMULTANEOUSPOSITIONANGLEADD", "30"},
            {"SIMULTANEOUSSHOOTCOUNT", c.count}});
        CBarrage barrage(definition.get());
        ASSERT_EQ(barrage.LoadResource(&resources), 1);
        Frame(&barrage, target_);
        std::vector<CEffect*> played;
        for (CEffect* e = manager.GetFirstEffect(); e; e = e->GetNextLive()) played.push_back(e);
        ASSERT_EQ(played.size(), 1u) << c.count;
        ExpectNear(*played[0]->GetPlacePosition(), c.centre, c.count);
        ExpectNear(*played[0]->GetPlaceRotation(), CVector3(0, 90, 0), c.count);
        manager.DeleteAll();
        scene_.bullets.DeleteAll();
    }
    scene_.effects = nullptr;
}


// A fan of thousands fires every shot, its effect at the middle of them;
// past the volley cap it fires the cap, its effect at the middle of the
// shots fired. Shot s stands at x = s / 2 in the world.
TEST_F(BarrageTest, AWideFanFiresWholeWithItsEffectAtItsMiddle)
{
    constexpr u32 kCap = CBarrage::kMaxShotsPerVolley;
    static_assert(kCap == 16384);
    CEffectController manager;
    ASSERT_EQ(manager.Create(nullptr, 64, 8), 1);
    scene_.effects = &manager;
    CResourceController resources;
    ListShotEffect(resources);
    const struct {
        u32 count, fired;
        f32 middle;
    } cases[] = {{1500, 1500, 374.75f}, {kCap, kCap, 4095.75f}, {kCap + 1, kCap, 4095.75f}};
    for (const auto& c : cases) {
        auto definition = OnePattern({{"SHOOTWAIT", "0"}, {"SHOOTCOUNT", "1"}, {"EFCSHOOTSET", "Efc_shot"},
            {"POSITIONTYPE", "0"}, {"SIMULTANEOUSPOSITIONADD", V(0.5f, 0, 0)},
            {"SIMULTANEOUSSHOOTCOUNT", std::to_string(c.count)}});
        CBarrage barrage(definition.get());
        ASSERT_EQ(barrage.LoadResource(&resources), 1);
        const ShooterRecord r = Record(target_);
        barrage.Update(&r);
        EXPECT_EQ(scene_.bullets.GetCount(), c.fired) << c.count;
        // The list puts each new shot first: the last fired is the first.
        EXPECT_EQ(scene_.bullets.First()->GetPosition()->x, f32(c.fired - 1) * 0.5f) << c.count;
        CEffect* played = manager.GetFirstEffect();
        ASSERT_NE(played, nullptr) << c.count;
        EXPECT_EQ(played->GetNextLive(), nullptr) << c.count;
        EXPECT_EQ(played->GetPlacePosition()->x, c.middle) << c.count;
        manager.DeleteAll();
        scene_.bullets.DeleteAll();
    }
    scene_.effects = nullptr;
}

// A list past what one update may make loads whole, and firing it makes
// what the bounds allow and no more: the shots of one update (two full
// fans: the first whole, none of the second), the patterns fired (one shot
// each), and the shots weighed with what their bullets' lists set off (16
// carriers of 4095 each meet the bound exactly; of 17 the last is not
// made; a carrier whose list alone passes it is never made). Every due
// volley still counts.
TEST_F(BarrageTest, ShotsPastWhatAnUpdateMayMakeAreNotMade)
{
    constexpr u32 kShots = CPatternListParameter::kMaxShotsPerRound;
    constexpr u32 kPatterns = CPatternListParameter::kMaxPatterns;
    static_assert(kShots == 16384 && kPatterns == 4096 && CPatternListParameter::kMaxShotsSetOff == 16 * 4096);
    auto pattern = [](u32 shots, const char* bullet) {
        return SettingWriter().Set("SHOOTWAIT", 0.0f).Set("SHOOTCOUNT", 1).Set("SIMULTANEOUSSHOOTCOUNT", i32(shots))
            .Set("BULLET", bullet);
    };
    auto repeat = [](const char* line, u32 n) {
        std::string text;
        for (u32 i = 0; i < n; ++i) text += line;
        return text;
    };
    ASSERT_TRUE(pattern(kShots, "Bullet.txt").Save("Full.txt"));
    ASSERT_TRUE(pattern(1, "Bullet.txt").Save("One.txt"));
    ASSERT_TRUE(pattern(4095, "Bullet.txt").Save("Wide.txt"));
    ASSERT_TRUE(SettingWriter().Set("PATTERN", "Wide.txt").Save("Fan.txt"));
    ASSERT_TRUE(QuietBullet(0, 0.0f).Set("BARRAGE", "Fan.txt").Save("Carrier.txt"));
    ASSERT_TRUE(pattern(16, "Carrier.txt").Save("Sixteen.txt"));
    ASSERT_TRUE(pattern(17, "Carrier.txt").Save("Seventeen.txt"));
    setting_test::WriteBytes("Over.txt", "PATTERN=Seventeen.txt;");
    ASSERT_TRUE(QuietBullet(0, 0.0f).Set("BARRAGE", "Over.txt").Save("Heavy.txt"));
    ASSERT_TRUE(pattern(3, "Heavy.txt").Save("Heavies.txt"));
    const struct {
        std::string text;
        u32 patterns, made;
    } cases[] = {
        {repeat("PATTERN=Full.txt;", 2), 2, kShots},
        {repeat("PATTERN=One.txt;", kPatterns), kPatterns, kPatterns},
        {repeat("PATTERN=One.txt;", kPatterns + 1), kPatterns, kPatterns},
        {"PATTERN=Sixteen.txt;", 1, 16},
        {"PATTERN=Seventeen.txt;", 1, 16},
        {"PATTERN=Sixteen.txt;PATTERN=One.txt;", 2, 16},
        {"PATTERN=Heavies.txt;PATTERN=One.txt;", 2, 1},
    };
    for (const auto& c : cases) {
        const std::string what = c.text.substr(0, 40);
        setting_test::WriteBytes("List.txt", c.text);
        const auto definition = Load("List.txt");
        EXPECT_EQ(definition->GetPatternCount(), u32(std::count(c.text.begin(), c.text.end(), ';'))) << what;
        CBarrage barrage(definition.get());
        ASSERT_EQ(barrage.GetPatternStateCount(), c.patterns) << what;
        const ShooterRecord r = Record(target_);
        barrage.Update(&r);
        EXPECT_EQ(scene_.bullets.GetCount(), c.made) << what;
        for (u32 i = 0; i < c.patterns; ++i) EXPECT_EQ(barrage.GetPatternState(i)->volleyCount, 1u) << what << i;
        barrage.Update(&r);
        EXPECT_EQ(scene_.bullets.GetCount(), c.made) << what;
        scene_.bullets.DeleteAll();
    }
}

// SHOOTANGLEAXIS is used as the data give it: an axis of length l turns a
// shot by 2 atan(l tan(a / 2)), not by a, both where it starts (POSITION
// turned by POSITIONANGLE) and where it heads (forward turned by
// SHOOTANGLE). A positive angle about +y takes -z toward +x.
TEST_F(BarrageTest, TheAngleAxisIsTakenAtItsLength)
{
    const struct {
        CVector3 axis;
        const char* angle;
        f32 turned;   // degrees
    } cases[] = {
        {{0, 1, 0}, "30", 30.0f},
        {{0, 2, 0}, "30", 56.373571f},
        {{0, 0.5f, 0}, "45", 23.401839f},
    };
    for (const auto& c : cases) {
        const std::string what = "axis " + std::to_string(c.axis.y);
        auto definition = OnePattern({{"SHOOTWAIT", "0"}, {"POSITION", V(0, 0, -2)},
            {"SHOOTANGLEAXIS", V(c.axis.x, c.axis.y, c.axis.z)}, {"POSITIONANGLE", c.angle}, {"SHOOTANGLE", c.angle}});
        Place(*shooter_, CVector3(), CVector3());
        Place(*target_, CVector3(0, 0, -10), CVector3());
        CBarrage barrage(definition.get());
        const ShooterRecord record = Record(target_);
        barrage.Update(&record);
        ASSERT_EQ(scene_.bullets.GetCount(), 1u) << what;
        const CBullet* b = scene_.bullets.First();
        const f32 radians = c.turned * 0.017453293f;
        const CVector3 heading(SinF(radians), 0, -CosF(radians));
        ExpectNear(*b->GetPosition(), heading * 2.0f, what + " position");
        ExpectNear(Heading(b), heading, what + " heading");
        scene_.bullets.DeleteAll();
    }
}

// Each field of each pattern state alone, the clock, and one state more.
TEST_F(BarrageTest, TheStateHashFollowsEachFieldOfEveryPattern)
{
    ASSERT_TRUE(SettingWriter().Set("SHOOTWAIT", 0.25f).Save("A.txt"));
    ASSERT_TRUE(SettingWriter().Set("SHOOTWAIT", 0.5f).Save("B.txt"));
    ASSERT_TRUE(SettingWriter().Set("PATTERN", "A.txt").Set("PATTERN", "B.txt").Save("AB.txt"));
    auto definition = Load("AB.txt");
    CBarrage barrage(definition.get());
    Place(*shooter_, CVector3(20, 30, 40), CVector3(10, 30, 0));
    Frame(&barrage, target_);
    ExpectEachChangesHash(barrage, StateHashProbe::Fields(barrage), "barrage");
    CStateHash h;
    barrage.HashState(h);
    StateHashProbe::States(barrage).push_back(BarrageState{});
    CStateHash more;
    barrage.HashState(more);
    EXPECT_NE(more.Value(), h.Value());
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
