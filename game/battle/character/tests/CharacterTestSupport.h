// A fighter made from the test data: the fake battle scene answers its
// queries, a factory of doubles builds its camera, barrages and spell cards
// and logs what was asked of it, in order.
#pragma once

#include "game/battle/character/PlayerCharacter.h"
#include "game/battle/character/tests/FighterData.h"
#include "game/battle/character/tests/VoiceBench.h"
#include "game/battle/object/Barrage.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletPasses.h"
#include "game/battle/object/SpellCard.h"
#include "game/battle/object/SpellCardSetting.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "game/data/Skill.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/ResourceController.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace character_test {

using Log = std::vector<std::string>;

class FakeCamera : public ICameraController {
public:
    ICameraController* Clone() const override { return new FakeCamera(*this); }
    void SetPoints(const CVector3* a, const CVector3* b) override { points[0] = *a, points[1] = *b; }
    void SetAngles(f32 y, f32 x) override { yaw = y, pitch = x; }
    void SetOwner(u32 o, u32 f) override { owner = o, followed = f; }
    void SetParticipantSlot(u32 s) override { slot = s; }
    void HashState(CStateHash& hash) const override { hash.F32(yaw).F32(pitch); }
    void GetView(CVector3* e, CVector3* a) const override { *e = eye, *a = angles; }
    void GetForward(CVector3* out) const override { *out = forward; }
    f32 GetViewAngleLimit() const override { return viewLimit; }
    CCamera* GetCamera() const override { return camera; }
    u32 GetMode() const override { return mode; }
    void SetMode(u8 m, f32 blend) override { mode = m, modeBlend = blend; }
    i32 LookAtObject(const CObjectDivision* object) override { return lookedAt = object, object ? 1 : 0; }
    i32 Update(u32) override { return ++updates, 1; }
    void SetCollisionFlag(u32 flag) override { collision = flag; }
    const CVector3* GetReferencePoint() const override { return &points[0]; }

    u32 collision = 0;
    CVector3 points[2];
    f32 yaw = 0, pitch = 0;
    u32 owner = 0, followed = 0, slot = 0;
    CVector3 eye, angles;
    CVector3 forward{0, 0, -1};
    f32 viewLimit = 45;
    CCamera* camera = nullptr;
    u32 mode = 0, updates = 0;
    f32 modeBlend = 0;
    const CObjectDivision* lookedAt = nullptr;
};

// A barrage or spell card: loads and creates, nothing more.
class FakeSlotObject : public CObjectDivision {
    ORV_VALUE_CLASS(FakeSlotObject)

public:
    FakeSlotObject() = default;
    FakeSlotObject(const FakeSlotObject&) = default;
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    i32 LoadResource(CResourceController*) override { return loads; }
    u32 OnMessage(u32, CMessageObject*, intptr_t) override { return 0; }

    u32 word = 0;
    i32 loads = 1;
};

// A spell card whose running state the test sets; it logs what the
// attack actions ask of it and is done when the test says so.
class FakeSpellCard : public FakeSlotObject, public ISpellCardState, public ISpellCardDriver {
    ORV_VALUE_CLASS(FakeSpellCard)

public:
    FakeSpellCard() = default;
    FakeSpellCard(const FakeSpellCard&) = default;
    u16 GetStock() const override { return stock; }
    f32 GetClock() const override { return clock; }
    f32 GetReloadTimer() const override { return reloadTimer; }
    u32 GetCounter() const override { return counter; }
    u32 IsLocked() const override { return locked; }
    u32 LetsUserMove() const override { return letsMove; }
    u32 IsPhaseSet() const override { return phase; }
    u32 IsIdle() const override { return idle; }
    void ClearAttachedObjects() override { ++cleared; }
    void UseStock() override { --stock, ++used; }
    i32 ActivateCard(CObjectDivision* user) override { return activatedBy = user, 1; }
    i32 UpdateCard(CObjectDivision*) override { return ++updates, done; }
    i32 GetCardMotion() const override { return motion; }
    void UpdateCardReload(CObjectDivision*) override { ++reloads; }
    void RefillCard(bool) override { ++refills; }
    void NextCardShortAttack() override { ++counter; }
    i32 Start(CObjectDivision*) override { return ++starts, 1; }
    void AdvanceStepWithEffect(CObjectDivision*) override { ++steps; }
    void PlaceAtOwner(CObjectDivision*) override { ++placed; }
    void AlignWithOwner(CObjectDivision*) override { ++aligned; }
    void Reset() { stock = 0, clock = 0, counter = locked = letsMove = phase = cleared = 0, idle = 1; }

    u16 stock = 0;
    f32 clock = 0, reloadTimer = 0;
    u32 counter = 0, locked = 0, letsMove = 0, phase = 0, idle = 1, cleared = 0;
    u32 used = 0, updates = 0, reloads = 0, refills = 0;
    u32 starts = 0, steps = 0, placed = 0, aligned = 0;
    i32 done = 0;
    i32 motion = -1;   // the motion slot of the card's current part, -1 none
    CObjectDivision* activatedBy = nullptr;
};

class FakeFactory : public ICharacterObjectFactory {
public:
    ICameraController* CreateCameraController(const CCameraParameter&) override
    {
        log.push_back("camera");
        return new FakeCamera();
    }
    CObjectDivision* CreateBarrage(const CPatternListParameter& definition) override
    {
        log.push_back("barrage");
        if (realBarrages) return new CBarrage(&definition);
        return new FakeSlotObject();
    }
    CObjectDivision* CreateSpellCard(const CSpellCardSetting& settings, u32 word) override
    {
        log.push_back("spell");
        if (realSpellCards) return new CSpellCard(new CSpellCardSetting(settings), word);
        auto* card = new FakeSpellCard();
        card->word = word;
        return card;
    }
    Log log;
    bool realBarrages = false;   // CBarrage of the definition, as the battle makes them
    bool realSpellCards = false;   // CSpellCard of the settings, likewise
};

// A fighter whose actions a test scripts: each scripted action finishes or
// runs on; the climax card's lock is set on the card itself.
class ScriptedFighter : public CPlayerCharacter {
public:
    using CPlayerCharacter::CPlayerCharacter;

    void Script(u32 action, bool finishes)
    {
        m_actions[action] = static_cast<ActionHandler>(finishes ? &ScriptedFighter::Finish : &ScriptedFighter::Run);
    }
    u32 Finish(u32) { return ++steps, 1; }
    u32 Run(u32) { return ++steps, 0; }
    // Selects the climax card (slot 6) and sets its lock, or selects card 0.
    void LockClimax(u32 locked)
    {
        m_status.spellSlot = locked ? 6 : 0;
        static_cast<FakeSpellCard*>(m_spellCards.at(6).get())->locked = locked;
    }
    using CCharacterAction::AdvanceCardShortAttack;
    using CCharacterAction::CompositeStep;
    using CCharacterAction::ShortAttackStep;

    u32 steps = 0;
};

// The buttons of codes held, the stick at (x, y); y -100 is forward.
inline InputPacket Pad(std::initializer_list<u32> codes, i8 x = 0, i8 y = 0)
{
    InputPacket p = {};
    for (u32 code : codes)
        for (u32 bit = 0; bit < kInputPacketBitCount; ++bit)
            if (u32(kInputPacketCodes[bit]) == code) p.buttons[bit / 8] |= u8(1u << (bit % 8));
    p.stickX = x, p.stickY = y;
    return p;
}
using Pads = std::vector<InputPacket>;

// The held buttons of way, and more.
inline InputPacket With(const InputPacket& way, std::initializer_list<u32> codes)
{
    InputPacket p = Pad(codes, way.stickX, way.stickY);
    p.buttons[0] |= way.buttons[0], p.buttons[1] |= way.buttons[1];
    return p;
}

// One frame of fighters as the battle scene runs it: the updates (the
// stage, the fighters, then their bullets); the first pass (the stage's
// segments, moving spheres, bullet tests) closed by the post-updates and the
// bullet moves; the second pass (the stage's spheres, close attacks, bullet
// hits, the stage's spheres twice more and its box) closed by the late
// updates and the bullet frame steps, which delete the bullets that ended.
// Bullets meet no stage here.
inline void RunBattleFrame(battle_test::FakeBattleScene& scene, std::span<CCharacter* const> fighters,
                           CStage* stage = nullptr)
{
    auto pairs = [&](auto call) {
        for (size_t i = 0; i < fighters.size(); ++i)
            for (size_t j = i + 1; j < fighters.size(); ++j) call(fighters[i], fighters[j]);
    };
    auto bulletsOnFighters = [&](auto call) {
        for (CBullet* b = scene.bullets.First(); b; b = b->GetNext())
            if (b->IsHittableBy(kGroupFighter))
                for (CCharacter* f : fighters) call(f, b);
    };
    auto onStage = [&](auto call) {
        if (stage)
            for (CCharacter* f : fighters) call(*stage, f);
    };
    if (stage) stage->Update(0);
    for (CCharacter* f : fighters) f->Update(0);
    UpdateBullets(scene.bullets, 0);
    onStage([](CStage& s, CCharacter* f) { s.CollideSegment(f); });
    pairs([](CCharacter* a, CCharacter* b) { a->CollideCharacter(b, 0); });
    RunBulletPairTests(scene.bullets);
    bulletsOnFighters([](CCharacter* f, CBullet* b) { f->HitTestBullet(b, 0); });
    onStage([](CStage& s, CCharacter* f) { s.CollideSegment(f); });
    for (CCharacter* f : fighters) f->PostUpdate(0);
    for (CBullet* b = scene.bullets.First(); b; b = b->GetNext()) b->MoveStep();
    onStage([](CStage& s, CCharacter* f) { s.CollideSphere(f); });
    pairs([](CCharacter* a, CCharacter* b) { a->CollideCharacter2(b, 0); });
    RunBulletPairHits(scene.bullets);
    bulletsOnFighters([](CCharacter* f, CBullet* b) { f->HitBullet(b, 0); });
    for (u32 twice = 0; twice < 2; ++twice) onStage([](CStage& s, CCharacter* f) { s.CollideSphere(f); });
    onStage([](CStage& s, CCharacter* f) { s.IsOutsideStageBox(f); });
    for (CCharacter* f : fighters) f->LateUpdate(0);
    for (CBullet* b = scene.bullets.First(); b;) {
        CBullet* next = b->GetNext();
        b->FrameStep();
        b = next;
    }
}

// The fighter written, its parameter set and skill list loaded, its model in
// the resource holder, the factory installed.
class CharacterTest : public battle_test::BattleObjectTest {
protected:
    void SetUp() override
    {
        BattleObjectTest::SetUp();
        fighter_test::WriteFighter();
        ASSERT_EQ(skills_.LoadFile("Skill.txt"), 1);
        ASSERT_TRUE(fighter_test::AddFighterModel(resources_));
        scene_.resources = &resources_;
        scene_.skills = &skills_;
        SetCharacterObjectFactory(&factory_);
    }
    void TearDown() override
    {
        SetCharacterObjectFactory(nullptr);
        BattleObjectTest::TearDown();
    }

    // The test fighter armed as the battle's fighters are, for fights that
    // must land hits: its shot fires three bullets that fly and hurt (STR 50),
    // its close attacks hit for 70, and the damage it takes grows with the
    // tension by uneven factors, each chosen so that a change of 1 % in the
    // damage changes a shot's (a 50-point shot takes 46, 53, 56 or 59 from
    // low to climax tension, and 47, 54, 57 or 60 after such a change); its
    // barrages are real ones.
    // Called before the fighters load.
    void ArmTestFighter()
    {
        using setting_test::SettingWriter;
        SettingWriter parameter = fighter_test::FighterParameter("Test");
        for (auto [key, factor] : {std::pair{"LOWBONUSDAMAGEREVISE", 0.932f}, {"NORMALBONUSDAMAGEREVISE", 1.07f},
                 {"HIBONUSDAMAGEREVISE", 1.13f}, {"CLIMAXBONUSDAMAGEREVISE", 1.19f}})
            parameter.Set(key, factor);
        for (u32 i = 0; i < 9; ++i) parameter.Set("SHORTATTACK0" + std::to_string(i) + "STR", 70);
        ASSERT_TRUE(parameter.Save("Chr_Test.txt"));
        ASSERT_TRUE(SettingWriter().Set("NAME", "pattern").Set("BULLET", "Bullet.txt").Set("SHOOTCOUNT", 3)
                .Set("SHOOTWAIT", 0.1f).Set("SHOOTANGLEADD", 10.0f).Save("Pattern.txt"));
        ASSERT_TRUE(SettingWriter().Set("NAME", "bullet").Set("POW", 10.0f).Set("VELOCITY", 30.0f)
                .Set("HITRADIUS", 0.4f).Set("EXISTENCETIME", 2.0f).Set("CHRACTORHITFLG", 1).Set("STR", 50)
                .Set("DAMAGETYPE", 0).Save("Bullet.txt"));
        factory_.realBarrages = true;
    }

    // A second fighter, Chr_Full.txt, whose model Full.mdl has every motion
    // of the motion table; the model goes into the resource holder. more
    // adds to its parameter set.
    void AddFullFighter(const std::function<void(setting_test::SettingWriter&)>& more = {})
    {
        std::vector<std::string> all;
        for (const CharacterKeyDefault& motion : kMotionKeys) all.push_back(motion.value);
        setting_test::WriteBytes("Full.mdl", fighter_test::FighterModel(all));
        fighter_test::FighterFiles files = fighter_test::FighterFiles::Plain("Full");
        files.model = "Full.mdl";
        setting_test::SettingWriter parameter = fighter_test::FighterParameter(files);
        if (more) more(parameter);
        ASSERT_TRUE(parameter.Save("Chr_Full.txt"));
        auto* model = new CMesh();
        ASSERT_EQ(model_test::ReadInto(setting_test::ReadBytes("Full.mdl").value_or(""), *model), 1);
        model->SetName("Data/Full.mdl");
        void* slot = model;
        resources_.GetModelList()->Add(&slot);
    }

    // A player character loaded from the test data, resources bound.
    template <class Fighter = CPlayerCharacter>
    std::unique_ptr<Fighter> NewFighter(CTensionFile* tension = nullptr)
    {
        auto* parameter = new CCharacterParameter();
        EXPECT_EQ(parameter->LoadFile("Chr_Test.txt"), 1);
        auto character = std::make_unique<Fighter>(parameter, tension);
        EXPECT_EQ(character->LoadResource(&resources_), 1);
        return character;
    }

    // A bullet of the record that the shooter fires from 0.6 in front of the
    // origin towards -z, moving by step a frame; call under
    // ASSERT_NO_FATAL_FAILURE.
    void LaunchBullet(const CBulletParameter& record, CObjectDivision* shooter, const CVector3& step, CBullet*& bullet)
    {
        bullet = new CBullet(&record);
        ASSERT_EQ(bullet->LoadResource(&resources_), 1);
        BulletLaunchRecord launch;
        launch.position = {0, 0.2f, 0.6f};
        launch.direction = {0, 0, -1};
        launch.shooter = launch.firingObject = shooter;
        ASSERT_EQ(bullet->Initialize(reinterpret_cast<intptr_t>(&launch)), 1);
        bullet->SetDirection(step);
    }

    // A one-hit shot that binds the fighter it reaches.
    static void MakeBindShot(CBulletParameter& record)
    {
        CBulletValues& v = record.GetValues();
        v.hitType = 2, v.hitCount = 1, v.hitRadius = 0.4f;
    }

    setting_test::WorkFolder folder_;
    CResourceController resources_;
    CSkillList skills_;
    FakeFactory factory_;
};

// Frames of a quarter second, an effect controller with one container for
// the fighter's effects, and the scripted fighter (made by MakeFighter).
class ScriptedFighterTest : public CharacterTest {
protected:
    void SetUp() override
    {
        CharacterTest::SetUp();
        SetFrameTime(250);
        ASSERT_EQ(effects_.Create(nullptr, 256, 256), 1);
        scene_.effects = &effects_;
        auto* object = new CEffectObject();
        object->SetName("glow");
        ASSERT_EQ(container_.AddObject(object), 1u);
    }
    void TearDown() override
    {
        c_.reset();
        voices_.reset();
        effects_.Release();
        SetFrameTime(0);
        CharacterTest::TearDown();
    }
    // Created from the test data; with voices it can play when asked.
    void MakeFighter(CTensionFile* tension = nullptr, bool voices = false)
    {
        c_ = NewFighter<ScriptedFighter>(tension);
        c_->Create(nullptr);
        if (!voices) return;
        voices_ = std::make_unique<VoiceBench>();
        voices_->Give(S());
    }
    CharacterStatus& S() { return *c_->GetStatus(); }

    CEffectController effects_;
    CEffectContainer container_;
    std::unique_ptr<VoiceBench> voices_;
    std::unique_ptr<ScriptedFighter> c_;
};

}  // namespace character_test
