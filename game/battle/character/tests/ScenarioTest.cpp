// One fighter through a whole scripted fight against a standing double:
// every kind of input, a hit taken and recovered from, and the defeat, with
// the state checked where each step should show and the run's hash kept.
#include "game/battle/character/tests/CharacterTestSupport.h"
#include "engine/core/Random.h"
#include "engine/core/StateHash.h"
#include "game/battle/object/BulletPasses.h"


namespace {

using namespace character_test;

constexpr u32 kFrameMs = 50;

// What the script changes, frame by frame.
struct Frame {
    u32 action, motion, comboIndex, bullets, justGuard;
    i32 hp;
    f32 mp, sparkGauge;
    u64 hash;
    bool operator==(const Frame&) const = default;
};

// A segment of the script: the codes held for some frames; a hit of
// `damage` lands on its first frame.
struct Segment {
    const char* name;
    u32 frames;
    std::vector<u32> codes;
    f32 damage = 0;
};
const Segment kScript[] = {
    {"stand", 4, {}},
    {"lock on", 1, {26}},
    {"let go", 1, {}},
    {"dash held", 22, {22}},
    {"dash let go", 30, {}},
    {"slide", 1, {14, 22}},
    {"slide let go", 45, {}},
    {"combo 1", 2, {25}},
    {"combo gap", 2, {}},
    {"combo 2", 2, {25}},
    {"combo gap", 2, {}},
    {"combo 3", 2, {25}},
    {"combo end", 20, {}},
    {"shot held", 2, {24}},
    {"shot let go", 20, {}},
    {"guard", 8, {23}},
    {"guard let go", 10, {}},
    {"spell", 1, {28, 23}},
    {"spell runs", 30, {}},
    {"spark", 1, {22, 23, 24}},
    {"spark runs", 30, {}},
    {"hit", 40, {}, 120},
    {"defeat", 20, {}, 5000},
};

InputPacket Packet(const std::vector<u32>& codes)
{
    InputPacket p = {};
    for (u32 code : codes) {
        for (u32 bit = 0; bit < kInputPacketBitCount; ++bit)
            if (u32(kInputPacketCodes[bit]) == code) p.buttons[bit / 8] |= u8(1u << (bit % 8));
        if (code >= 12 && code <= 15) p.stickX = -100;
    }
    return p;
}

class ScenarioTest : public CharacterTest {
protected:
    void SetUp() override
    {
        CharacterTest::SetUp();
        SetFrameTime(kFrameMs);
        factory_.realBarrages = true;
    }
    void TearDown() override
    {
        SetFrameTime(0);
        CharacterTest::TearDown();
    }

    // The script from a fresh registry and seed; the start of each segment
    // is at starts[i].
    std::vector<Frame> Run(std::vector<u32>* starts = nullptr)
    {
        CObjectRegistry registry;
        registry.SetHandler(&scene_);
        SetObjectRegistry(&registry);
        SeedRandom(24);
        battle_test::FakeFighter target(CVector3(0, 0, -12));
        target.team = 1;
        auto fighter = NewFighter<CPlayerCharacter>();
        CharacterCreateRecord record;
        fighter->Initialize(reinterpret_cast<intptr_t>(&record));
        CharacterStatus& s = *fighter->GetStatus();
        s.mp = 1000;
        for (const auto& card : fighter->GetSpellCards())
            if (auto* fake = dynamic_cast<FakeSpellCard*>(card.get())) fake->stock = 1, fake->done = 1;
        CObjectDivision* list[] = {fighter.get(), &target};
        scene_.characters = {list, 2};
        std::vector<Frame> frames;
        for (const Segment& segment : kScript) {
            if (starts) starts->push_back(u32(frames.size()));
            if (segment.name == std::string("spark")) s.sparkGauge = fighter->GetParameter()->values.spark.maxSparkGauge;
            for (u32 i = 0; i < segment.frames; ++i) {
                if (i == 0 && segment.damage > 0) {
                    CCharacterAction::Hit hit{segment.damage, 3, 10, 0, 0, CVector3(0, 0, 1), 2, 0, 1, 0, nullptr};
                    fighter->TakeHit(hit);
                }
                const InputPacket p = Packet(segment.codes);
                fighter->ApplyInputPacket(&p);
                fighter->Update(0);
                fighter->LateUpdate(0);
                UpdateBullets(scene_.bullets, 0);
                const u32 motion = fighter->GetChangedAnimation();
                CStateHash hash;
                fighter->HashState(hash);
                scene_.bullets.HashState(hash);
                frames.push_back({s.action, motion, s.comboIndex, scene_.bullets.GetCount(),
                                  fighter->IsInJustGuardWindow(), s.hp, s.mp, s.sparkGauge, hash.Value()});
            }
        }
        scene_.characters = {};
        scene_.bullets.DeleteAll();
        fighter.reset();
        SetObjectRegistry(&registry_);
        return frames;
    }
};

// The run's final hash: it documents the script and changes with behaviour.
constexpr u64 kFinalHash = 0xb590270586264e13ull;

TEST_F(ScenarioTest, ScriptedFightChecksItsStepsAndHashesTheSameTwice)
{
    // The state on the first frame of a segment. The test model has no
    // ATTACK01/ATTACK01END, so each hit of the combo ends on the frame it
    // starts instead of holding the fighter in the short attack.
    struct Check {
        u32 segment;
        u32 action;
        i32 hp;
        u32 bullets, justGuard;
    };
    const Check checks[] = {
        {0, kActionNeutral, 800, 0, 1},     {6, kActionSlide, 800, 0, 1},  {7, kActionNeutral, 800, 0, 1},
        {14, kActionShoot, 800, 0, 1},      {15, kActionGuard, 800, 1, 1}, {16, kActionNeutral, 800, 1, 0},
        {21, kActionHitReaction, 680, 1, 1}, {22, kActionDefeated, 0, 1, 1},
    };
    std::vector<u32> starts;
    const std::vector<Frame> first = Run(&starts);
    for (const Check& c : checks) {
        const Frame& f = first.at(starts[c.segment]);
        EXPECT_EQ(std::tuple(f.action, f.hp, f.bullets, f.justGuard), std::tuple(c.action, c.hp, c.bullets, c.justGuard)) << kScript[c.segment].name;
    }
    // The slide paid for itself out of MP; the defeat took the HP through the hit.
    EXPECT_LT(first.at(starts[6]).mp, first.at(starts[5]).mp);
    EXPECT_EQ(first.back().hp, 0);
    EXPECT_EQ(first.back().hash, kFinalHash) << std::hex << first.back().hash;
    const std::vector<Frame> second = Run();
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i) ASSERT_EQ(first[i], second[i]) << "frame " << i;
}

}  // namespace
