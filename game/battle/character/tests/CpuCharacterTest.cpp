#include "game/battle/character/CpuCharacter.h"
#include "game/battle/character/tests/CharacterTestSupport.h"
#include "engine/core/Random.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace character_test;

class TestCpu : public CCpuCharacter {
public:
    using CCpuCharacter::CCpuCharacter;
    std::set<u32> Think()
    {
        ShiftInput();
        Decide();
        std::set<u32> pressed;
        for (u32 code = 0; code < kInputCodeCount; ++code)
            if (m_input.raw[code]) pressed.insert(code);
        return pressed;
    }
    using CCpuCharacter::ChooseTarget;
    using CCpuCharacter::IsOpen;
    using CCpuCharacter::m_draw;
    using CCpuCharacter::m_releaseShot;
    using CCpuCharacter::m_releaseSlide;
};

class CpuCharacterTest : public CharacterTest {
protected:
    void SetUp() override
    {
        CharacterTest::SetUp();
        SetFrameTime(16);
    }
    void TearDown() override
    {
        SetFrameTime(0);
        CharacterTest::TearDown();
    }
    template <class Fighter = TestCpu>
    std::unique_ptr<Fighter> Make(i32 team, CVector3 at, u32 level = 2)
    {
        auto f = NewFighter<Fighter>();
        CharacterCreateRecord record;
        record.team = team, record.computerLevel = level;
        f->Create(&record);
        f->SetPosition(&at);
        CharacterStatus& s = *f->GetStatus();
        s.mp = 1000, s.tension = 1, s.timers.shortAttackCooldown = 100;
        return f;
    }
    void List(std::vector<CObjectDivision*> fighters)
    {
        list_ = std::move(fighters);
        scene_.characters = {list_.data(), u32(list_.size())};
    }
    std::vector<CObjectDivision*> list_;
};

// The tables at their ends; a level from a set-up, replay or message 48
// outside 0..10 is refused and the level stays.
TEST_F(CpuCharacterTest, LevelsAtTheEndsOfTheTables)
{
    struct Case {
        i64 level;
        u32 accepted;
        i32 expected;
        f32 think, draw;
        i32 threshold;
    } cases[] = {
        {0, 1, 0, 0.65f, 2.2f, 40}, {10, 1, 10, 0.06f, 1.2f, 40}, {7, 1, 7, 0.06f, 1.2f, 100},
        {-1, 0, 3, 0.14f, 0.9f, 40}, {11, 0, 3, 0.14f, 0.9f, 40}, {i64(1) << 31, 0, 3, 0.14f, 0.9f, 40},
    };
    TestCpu cpu;
    for (const Case& c : cases) {
        cpu.SetLevel(3);
        const u32 word = u32(c.level);   // message 48 carries the address of the option word
        EXPECT_EQ(cpu.OnMessage(kMsgComputerLevel, nullptr, reinterpret_cast<intptr_t>(&word)), c.accepted) << c.level;
        EXPECT_EQ(std::make_tuple(cpu.GetLevel(), cpu.GetThinkInterval(), cpu.GetDrawInterval(), cpu.GetDefenceThreshold()),
                  std::make_tuple(c.expected, c.think, c.draw, c.threshold)) << c.level;
    }
    EXPECT_EQ(cpu.OnMessage(kMsgComputerLevel, nullptr, 0), 0u);
    // A record's level out of range plays as without a record.
    EXPECT_EQ(Make(0, {}, 11)->GetLevel(), 2);
    EXPECT_EQ(Make(0, {}, 10)->GetLevel(), 10);
}

// Self at the origin looking down -z with a team mate; X and Y of the other
// team at known places. Every line is clear (no stage answers).
TEST_F(CpuCharacterTest, TargetChoice)
{
    // Y bound by a card (its binder's own or another's), or casting the
    // climax card past its bind: no target, but to the binder.
    enum Held { kFree, kBoundByMate, kBoundBySelf, kLockedClimax };
    struct Case {
        const char* name;
        CVector3 x, y;
        u32 yAction, yTargetsSelf, mateOnY, order, selfAction;
        int expected;   // 0 none, 1 X, 2 Y
        Held yHeld = kFree;
    } cases[] = {
        {"in view beats near at the side", {0, 0, -30}, {10, 0, 0}, 0, 0, 0, 0, 0, 1},
        {"a candidate targeting me", {0, 0, -30}, {10, 0, 0}, 0, 1, 0, 0, 0, 2},
        {"team focus in mode 0", {0, 0, -30}, {10, 0, 0}, 0, 0, 1, 0, 0, 2},
        {"team focus counts against in mode 1", {0, 0, -30}, {0, 0, -30}, 0, 0, 1, 1, 0, 1},
        {"a tie goes to the later one", {0, 0, -30}, {0, 0, -30}, 0, 0, 0, 0, 0, 2},
        {"an open guard", {0, 0, -30}, {0, 0, -30}, kActionGuard, 0, 0, 0, 0, 2},
        {"a defeated candidate is skipped", {0, 0, -30}, {0, 0, -5}, kActionDefeated, 0, 0, 0, 0, 1},
        {"a defeated self keeps none", {0, 0, -30}, {0, 0, -5}, 0, 0, 0, 0, kActionDefeated, 0},
        {"in view beats near at the side, for Y", {10, 0, 0}, {0, 0, -30}, 0, 0, 0, 0, 0, 2},
        {"a fighter bound by a mate's card is skipped", {10, 0, 0}, {0, 0, -30}, 0, 0, 0, 0, 0, 1, kBoundByMate},
        {"one bound by self's card is kept", {10, 0, 0}, {0, 0, -30}, 0, 0, 0, 0, 0, 2, kBoundBySelf},
        {"a caster past its card's bind is skipped", {10, 0, 0}, {0, 0, -30}, 0, 0, 0, 0, 0, 1, kLockedClimax},
    };
    for (const Case& c : cases) {
        auto self = Make(0, {}), mate = Make(0, {0, 0, 5}), x = Make(1, c.x), y = Make(1, c.y);
        List({self.get(), mate.get(), x.get(), y.get()});
        y->GetStatus()->action = c.yAction;
        if (c.yHeld == kBoundByMate || c.yHeld == kBoundBySelf) {
            y->GetStatus()->action = kActionBound;
            y->GetMeeting().boundBy = (c.yHeld == kBoundBySelf ? self : mate)->GetId();
        } else if (c.yHeld == kLockedClimax) {
            y->GetStatus()->action = kActionSpellCard, y->GetStatus()->spellSlot = 6;
            static_cast<FakeSpellCard*>(y->GetSpellCardState(6))->locked = 1;
        }
        y->GetStatus()->lockedTargetId = c.yTargetsSelf ? self->GetId() : 0;
        mate->GetStatus()->lockedTargetId = c.mateOnY ? y->GetId() : 0;
        self->GetStatus()->order = c.order;
        self->GetStatus()->action = c.selfAction;
        self->ChooseTarget();
        const u32 ids[] = {0, x->GetId(), y->GetId()};
        EXPECT_EQ(self->GetStatus()->lockedTargetId, ids[c.expected]) << c.name;
    }
}

// A candidate reeling from a hit is open by the phase of its reaction, its
// damage type: the large hits and rolls (3 to 6), not a small or medium hit
// nor a spin; a stale type outside the reaction counts for nothing.
TEST_F(CpuCharacterTest, AHitReactionIsOpenByItsDamageType)
{
    const struct {
        u32 action, type;
        bool open;
    } cases[] = {
        {kActionHitReaction, 2, false}, {kActionHitReaction, 3, true}, {kActionHitReaction, 6, true},
        {kActionHitReaction, 7, false}, {kActionNeutral, 4, false},
    };
    auto self = Make(0, {}), other = Make(1, {0, 0, -5});
    other->GetStatus()->lockedTargetId = self->GetId();   // otherwise never open
    for (const auto& k : cases) {
        other->GetStatus()->action = k.action, other->GetStatus()->damageType = k.type;
        EXPECT_EQ(self->IsOpen(*other), k.open) << k.action << " " << k.type;
    }
}

// Each decision from the state that calls for it. NEARRADIUS is 10 and the
// middle range 40: near is 5, middle 25, far 60 ahead (-z); without a
// distance there is no target.
TEST_F(CpuCharacterTest, DecisionTable)
{
    struct Case {
        const char* name;
        i32 level;
        u32 action;
        i32 draw;
        f32 distance;   // 0: no target
        u32 danger;
        std::set<u32> pressed;
        u32 releaseSlide, releaseShot;
        void (*setup)(CharacterStatus& self, CharacterStatus& target) = nullptr;
    } cases[] = {
        {"level 5 stands", 5, 0, 10, 5, 1, {}, 0, 0},
        {"level 6 reflex guards", 6, 0, 90, 5, 1, {23}, 0, 0},
        {"level 7 guards in 13", 7, kActionGuard, 10, 0, 0, {23}, 0, 0},
        {"level 8 taps a shot", 8, 0, 10, 0, 0, {24}, 0, 1},
        {"level 9 steers and attacks", 9, 0, 10, 5, 0, {15, 25}, 0, 0},
        {"level 10 casts", 10, 0, 10, 0, 0, {24, 28}, 0, 1},
        {"idle without a target", 2, 0, 10, 0, 0, {}, 0, 0},
        {"idle near attacks", 2, 0, 10, 5, 0, {15, 25}, 0, 0},
        {"idle reflex guards", 2, 0, 10, 5, 4, {15, 23}, 0, 0},
        {"idle reflex waits above 40", 2, 0, 45, 5, 4, {12, 14, 25}, 0, 0},
        {"idle middle shoots", 2, 0, 50, 25, 0, {12, 14, 24}, 0, 1},
        {"idle far dashes held", 2, 0, 30, 60, 0, {12, 15, 22}, 0, 0},
        {"tedium without a target steers ahead", 1, kActionTedium, 90, 0, 0, {12}, 0, 0},
        {"steer in 6", 2, kActionSlideShoot, 50, 25, 0, {12, 14}, 0, 0},
        {"guard let go", 2, kActionGuard, 10, 60, 0, {}, 0, 0},
        {"guard held on danger", 2, kActionGuard, 10, 60, 8, {23}, 0, 0},
        {"short attack with no next casts", 2, kActionShortAttack, 10, 5, 0, {15, 24, 28}, 0, 0},
        {"shoot in the middle", 2, kActionShoot, 40, 25, 0, {12, 15, 24}, 0, 1},
        {"down sparks against a strong card", 4, kActionHitReaction, 10, 25, 0, {22, 23, 25}, 1, 0,
         [](CharacterStatus& self, CharacterStatus& target) {
             self.sparkGauge = 1e6f, self.hp = 100;
             target.action = kActionSpellCard, target.spellSlot = 5;
         }},
        {"dash toward the target attacks", 2, kActionDash, 10, 5, 0, {25}, 0, 0},
        {"slide attacks at level 3", 3, kActionSlide, 60, 5, 0, {14, 25}, 0, 0},
        {"triple slide shoots", 2, kActionTripleSlide, 10, 25, 0, {12, 15, 24}, 0, 1},
        {"mirage slide attacks", 2, kActionMirageSlide, 20, 5, 0, {25}, 0, 0},
        {"mash taps 22", 2, kActionShootOut, 10, 0, 0, {22}, 0, 0},
        {"3 has nothing", 2, kActionSlideAttack, 10, 5, 1, {}, 0, 0},
        {"no entry from 22", 2, kActionDefeated, 10, 5, 1, {}, 0, 0},
    };
    for (const Case& c : cases) {
        auto self = Make(0, {}, u32(c.level)), target = Make(1, {0, 0, -c.distance});
        CharacterStatus& s = *self->GetStatus();
        s.action = c.action, s.dashAngle = -1.0f, s.comboIndex = 8;   // no next attack
        static_cast<FakeSpellCard*>(self->GetSpellCards()[0].get())->stock = 1;
        if (c.setup) c.setup(s, *target->GetStatus());
        s.lockedTargetId = c.distance > 0 ? target->GetId() : 0;
        self->m_draw = c.draw, self->GetMeeting().dangerFlags = c.danger;
        EXPECT_EQ(self->Think(), c.pressed) << c.name;
        EXPECT_EQ(std::make_pair(self->m_releaseSlide, self->m_releaseShot), std::make_pair(c.releaseSlide, c.releaseShot))
            << c.name;
    }
}

// Through the whole frame: at level 9 the computer attacks a target within
// NEARRADIUS. A near fighter bound by a mate's card is no target, so it goes
// for the far one and holds its button; one bound by its own card it does
// attack.
TEST_F(CpuCharacterTest, TheComputerLeavesAFighterBoundByAnotherAlone)
{
    for (const bool own : {false, true}) {
        auto self = Make(0, {}, 9), mate = Make(0, {0, 0, 5}), x = Make(1, {0, 0, -60}), y = Make(1, {0, 0, -2});
        List({self.get(), mate.get(), x.get(), y.get()});
        self->GetParameter()->values.body.nearRadius = 5;
        y->GetStatus()->action = kActionBound;
        y->GetMeeting().boundBy = (own ? self : mate)->GetId();
        CCharacter* const fighters[] = {self.get()};
        RunBattleFrame(scene_, fighters);
        EXPECT_EQ(self->GetStatus()->lockedTargetId, (own ? y : x)->GetId()) << own;
        // The model has no attack motion: the attack started ends in its frame.
        EXPECT_EQ(self->GetStatus()->moveHit.attacks, own ? 1u : 0u) << own;
    }
}

// In a combo the computer presses on, in the end motion of the attack
// running, once that attack has hit: a hit of the attack before it counts
// for nothing. The model has every motion.
TEST_F(CpuCharacterTest, TheComboGoesOnOnceTheCurrentAttackHasHit)
{
    AddFullFighter();
    auto full = [&](i32 team, CVector3 at) {
        auto* parameter = new CCharacterParameter();
        EXPECT_EQ(parameter->LoadFile("Chr_Full.txt"), 1);
        auto f = std::make_unique<TestCpu>(parameter, nullptr);
        EXPECT_EQ(f->LoadResource(&resources_), 1);
        CharacterCreateRecord record;
        record.team = team, record.computerLevel = 2;
        f->Create(&record);
        f->SetPosition(&at);
        f->GetStatus()->tension = 1, f->GetStatus()->timers.shortAttackCooldown = 100;
        return f;
    };
    const struct {
        const char* name;
        bool before, now, pressed;
    } rows[] = {
        {"nobody hit", false, false, false},
        {"the attack before hit", true, false, false},
        {"this attack hit", false, true, true},
        {"both hit", true, true, true},
    };
    for (const auto& r : rows) {
        auto self = full(0, {}), target = full(1, {0, 0, -5});
        List({self.get(), target.get()});
        self->GetStatus()->lockedTargetId = target->GetId();
        ASSERT_EQ(self->StartShortAttack(0), 1u) << r.name;
        if (r.before) self->MarkAttackHit(target.get(), 1);
        ASSERT_EQ(self->StartShortAttack(1), 1u) << r.name;
        if (r.now) self->MarkAttackHit(target.get(), 1);
        self->ChangeMotion(character_actions::AttackMotion(1, true), 0, 0.1f);
        EXPECT_EQ(self->Think().count(25), r.pressed ? 1u : 0u) << r.name;
    }
}

// The final hash of seed 146 below. Two runs hash alike even when a change
// alters the simulation for both (fused multiply-add switched on, a rule
// changed), so the first is also held against this value. When behaviour is
// meant to change: check that the fight still does what the test asserts,
// put the hex value the failing comparison prints here, and name the change
// in the commit message. Every build and machine must give the same value.
constexpr u64 kCpuAgainstCpuFinalHash = 0x483a52f6379ff990ull;

// Two computer fighters from one seed give the same state hash every frame,
// and another seed a different game.
TEST_F(CpuCharacterTest, CpuAgainstCpuIsAFunctionOfTheSeed)
{
    // Once facing the target turned at the rotation speed, seed 7 left level
    // 2 without a guard or a standing shot; of 1 to 160, 146 brought both
    // fighters' moves below (no seed had level 4 guard). Once a combo landed
    // every hit and a guarded hit held the guard, 146 left level 2 without a
    // guard; of 1 to 200, only 121 brought both fighters' moves and a hit.
    constexpr u32 kSeed = 121;
    ArmTestFighter();
    // Ids are hashed: each run registers its fighters afresh.
    std::set<u32> actions[2];
    i32 hp[2] = {};
    auto run = [&](u32 seed) {
        CObjectRegistry registry;
        registry.SetHandler(&scene_);
        SetObjectRegistry(&registry);
        auto a = Make(0, {}, 4), b = Make(1, {0, 0, -18}, 2);
        List({a.get(), b.get()});
        SeedRandom(seed);
        std::vector<u64> hashes;
        CCharacter* const fighters[] = {a.get(), b.get()};
        for (u32 frame = 0; frame < 600; ++frame) {
            RunBattleFrame(scene_, fighters);
            CStateHash hash;
            for (CCharacter* f : fighters) f->HashState(hash);
            hashes.push_back(hash.Value());
            for (u32 i = 0; i < 2 && seed == kSeed; ++i) actions[i].insert((i ? b : a)->GetStatus()->action);
        }
        if (seed == kSeed) hp[0] = a->GetStatus()->hp, hp[1] = b->GetStatus()->hp;
        scene_.bullets.DeleteAll();
        a.reset(), b.reset();
        SetObjectRegistry(&registry_);
        return hashes;
    };
    const auto first = run(kSeed), second = run(kSeed), other = run(kSeed + 1);
    const auto diff = std::mismatch(first.begin(), first.end(), second.begin());
    EXPECT_EQ(diff.first, first.end()) << "first differing frame " << (diff.first - first.begin());
    EXPECT_NE(first, other);
    // Both slid and shot (standing and from the slide); level 2 guarded,
    // level 4 mirage-slid and attacked from the mirage slide instead; level
    // 2 took one shot at normal tension (53).
    const std::set<u32> fought{kActionNeutral, kActionShoot, kActionSlideShoot, kActionSlide};
    std::set<u32> guarded = fought, mirage = fought;
    guarded.insert(kActionGuard);
    mirage.insert(kActionMirageSlide);
    mirage.insert(kActionMirageSlideAttack);
    EXPECT_EQ(actions[0], mirage);
    EXPECT_EQ(actions[1], guarded);
    EXPECT_EQ(std::pair(hp[0], hp[1]), std::pair(800, 800 - 53));
    EXPECT_EQ(first.back(), kCpuAgainstCpuFinalHash) << std::hex << "final hash 0x" << first.back();
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
