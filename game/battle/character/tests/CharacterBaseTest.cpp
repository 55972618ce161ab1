#include "CharacterTestSupport.h"

#include "engine/model/AnimationController.h"
#include "engine/platform/FrameTime.h"
#include "game/battle/object/SpellCard.h"

#include <cstring>
#include <functional>

namespace ORV_TEST_FILE_ID {

using namespace character_test;

namespace {

CharacterCreateRecord Record(std::initializer_list<u32> skills)
{
    CharacterCreateRecord r;
    r.position = CVector3(1, 2, 3);
    r.rotation = CVector3(10, 20, 0);
    std::strcpy(r.name, "Test");
    r.team = 1;
    r.initialWords[0] = 7;
    r.barrageSlot = 1;
    r.cameraWord = 2;
    u32 s = 0;
    for (u32 n : skills) r.skills[s++] = n;
    return r;
}

}  // namespace

TEST_F(CharacterTest, CreateRunsItsStepsInOrderAndFindsEveryResource)
{
    auto c = NewFighter();
    const CharacterCreateRecord record = Record({2, 9, 0});
    scene_.asked.clear();
    ASSERT_EQ(c->Initialize(reinterpret_cast<intptr_t>(&record)), 1);

    // Camera, skills, weapons (holder), barrages (holder), spell cards (holder).
    EXPECT_EQ(factory_.log.front(), "camera");
    EXPECT_EQ(factory_.log.size(), 1u + 7u + 7u);
    EXPECT_EQ(factory_.log[1], "barrage");
    EXPECT_EQ(factory_.log[8], "spell");
    EXPECT_EQ(scene_.asked, (std::vector<u32>{kMsgSkillList, kMsgResourceController, kMsgResourceController,
                                             kMsgResourceController}));
    const auto* camera = static_cast<const FakeCamera*>(c->GetCameraController());
    EXPECT_EQ(camera->points[1].z, 3.0f);
    EXPECT_EQ(camera->yaw, 20.0f);
    EXPECT_EQ(camera->owner, c->GetId());
    EXPECT_EQ(camera->slot, 2u);
    EXPECT_EQ(static_cast<const FakeSlotObject*>(c->GetSpellCards()[6].get())->word, 7u);
    ASSERT_EQ(c->GetWeapons().GetCount(), 1u);

    const CharacterStatus& s = *c->GetStatus();
    const CResourceList* animations = c->GetMesh()->GetAnimations();
    for (u32 i = 0; i < kMotionCount; ++i) {
        const char* name = c->GetParameter()->GetMotionName(i).GetText();
        EXPECT_EQ(s.motions[i], animations->FindIndexByName(name)) << name;
    }
    EXPECT_EQ(s.motions[0], 0);    // Wait
    EXPECT_EQ(s.motions[1], -1);   // Tedium: not in the model
    EXPECT_NE(s.neck.frame, nullptr);
    EXPECT_NE(s.body.frame, nullptr);
    EXPECT_NE(s.arm.frame, nullptr);
    ASSERT_EQ(c->GetHitSphereBones().size(), 2u);
    EXPECT_EQ(c->GetHitSphereBones()[0], s.body.frame);
    EXPECT_EQ(c->GetHitSphereBones()[1], nullptr);   // "Tail" is not a bone

    // Skill 2 has no flags; 9 is past the list.
    EXPECT_NE(c->GetSkill(0), nullptr);
    EXPECT_EQ(c->GetSkill(1), nullptr);
    EXPECT_EQ(s.hp, 800);
    EXPECT_EQ(s.exactHp, 800.0f);
    EXPECT_EQ(s.shownHp, 800.0f);
    EXPECT_EQ(s.ammunition, 12);   // barrage B
    EXPECT_EQ(s.timers.guardReload, 1.0f);
    EXPECT_EQ(s.shownWeapon, -1);
    EXPECT_STREQ(s.name, "Test");

    // A motion slot whose animation is missing compares the track with -1.
    c->ChangeAnimation(0, 1, 1, 0, 0, 1);
    EXPECT_EQ(c->IsChangedAnimation(0), 1u);
    EXPECT_EQ(c->IsChangedAnimation(1), 0u);
}

// Skills change the character's own copy of its parameters; two equal
// skills apply a factor twice.
TEST_F(CharacterTest, SkillsApplyToTheParameterCopy)
{
    const struct {
        std::initializer_list<u32> skills;
        i32 hp;
        f32 guardTime;
        i32 counts[3];
    } cases[] = {
        {{0, 0, 0}, 800, 2.0f, {2, 4, 5}},
        {{1, 0, 0}, 1600, 3.0f, {3, 4, 5}},
        {{1, 1, 0}, 3200, 4.5f, {3, 4, 5}},
        {{2, 0, 3}, 800, 2.0f, {2, 4, 5}},
    };
    for (const auto& k : cases) {
        auto c = NewFighter();
        const CharacterCreateRecord record = Record(k.skills);
        c->Create(&record);
        const CharacterValues& v = c->GetParameter()->values;
        EXPECT_EQ(c->GetStatus()->hp, k.hp);
        EXPECT_EQ(v.guard.guardTime, k.guardTime);
        EXPECT_EQ(v.general.normalAttackCount, k.counts[0]);
        EXPECT_EQ(v.general.hiTensionAttackCount, k.counts[1]);
        EXPECT_EQ(v.general.climaxTensionAttackCount, k.counts[2]);
    }
}

// The spell cards copy their settings after the skills: the running card
// reloads as the parameter copy says. SPELLRELOAD counts once per skill; the
// high-tension card takes the product of the skills present at each one;
// the climax wait is read through the skills as the card runs.
TEST_F(CharacterTest, CardsTakeTheSkilledReloads)
{
    // The test tunes its own loaded list; nothing else holds it.
    CSkillSetting& skill = const_cast<CSkillSetting&>(*skills_.skills.GetAt(0));
    skill.values.flag2 |= (1 << 1) | (1 << 5) | (1 << 4);   // SPELLRELOAD, HITENSIONRELOAD, CLIMAXWAIT
    skill.values.modifiers[u32(SkillModifier::kSpellReload)] = 0.5f;
    skill.values.modifiers[u32(SkillModifier::kHiTensionReload)] = 0.5f;
    skill.values.modifiers[u32(SkillModifier::kClimaxWait)] = 0.5f;
    SetCharacterObjectFactory(nullptr);
    const struct {
        std::initializer_list<u32> skills;
        f32 card0, card5;   // share of the unskilled RELOAD
    } cases[] = {{{0, 0, 0}, 1.0f, 1.0f}, {{1, 0, 0}, 0.5f, 0.5f}, {{1, 1, 0}, 0.25f, 0.125f}, {{2, 1, 0}, 0.5f, 0.5f}};
    f32 base[2] = {};
    for (const auto& k : cases) {
        auto c = NewFighter();
        const CharacterCreateRecord record = Record(k.skills);
        ASSERT_EQ(c->Initialize(reinterpret_cast<intptr_t>(&record)), 1);
        for (u32 i = 0; i < 2; ++i) {
            const u32 slot = i ? 5 : 0;
            const f32 reload = c->GetParameter()->GetSpellCard(slot).GetValues().reload;
            if (!base[i]) base[i] = reload;
            EXPECT_EQ(reload, base[i] * (i ? k.card5 : k.card0)) << slot;
            const auto* card = dynamic_cast<const CSpellCard*>(c->GetSpellCards().at(slot).get());
            ASSERT_NE(card, nullptr);
            EXPECT_EQ(card->GetSettings()->GetValues().reload, reload) << slot;
        }
        // The climax card's wait takes each skill's factor once.
        EXPECT_EQ(c->GetClimaxWaitFactor(), k.card0);
    }
    EXPECT_GT(base[0], 0.0f);
    EXPECT_GT(base[1], 0.0f);
}

TEST_F(CharacterTest, CopyIsDeepAndReleaseIsHarmlessTwice)
{
    auto c = NewFighter();
    const CharacterCreateRecord record = Record({1, 0, 0});
    c->Create(&record);
    {
        std::unique_ptr<CPlayerCharacter> copy(static_cast<CPlayerCharacter*>(c->Clone()));
        EXPECT_STREQ(copy->GetClassName(), "CCharacter");
        EXPECT_NE(copy->GetId(), c->GetId());
        EXPECT_NE(copy->GetParameter(), c->GetParameter());
        EXPECT_EQ(copy->GetParameter()->values.guard.guardTime, 3.0f);
        EXPECT_NE(copy->GetSkill(0), c->GetSkill(0));
        EXPECT_NE(copy->GetSkill(0)->GetRecord(), c->GetSkill(0)->GetRecord());
        EXPECT_NE(copy->GetCameraController(), c->GetCameraController());
        EXPECT_EQ(copy->GetBarrages().size(), 7u);
        EXPECT_NE(copy->GetWeapons().GetAt(0), c->GetWeapons().GetAt(0));
        EXPECT_EQ(copy->GetStatus()->hp, 1600);
        EXPECT_EQ(copy->GetStatus()->neck.frame, nullptr);   // the source's controller is not shared
    }
    EXPECT_EQ(c->GetParameter()->values.guard.guardTime, 3.0f);
    c->Release();
    EXPECT_EQ(c->GetParameter(), nullptr);
    EXPECT_EQ(c->GetCameraController(), nullptr);
    EXPECT_EQ(c->GetSkill(0), nullptr);
    c->Release();
}

// A copy keeps the fighter's meeting record, damage over time, regeneration
// and ready clock, and starts with no buttons held.
TEST_F(CharacterTest, ACopyKeepsTheBattleStateButNotTheButtons)
{
    auto c = NewFighter();
    c->Create(nullptr);
    c->GetMeeting().shootRestrict = 3, c->GetMeeting().shotHits = 9;
    c->SetRegeneration(1);
    const InputPacket slide = {{0x20, 0}, 40, -20};   // bit 5: code 22
    c->ApplyInputPacket(&slide);
    ASSERT_EQ(c->GetInput().raw[22], 1u);
    c->Update(0);   // the ready clock and the damage-over-time clock run
    std::unique_ptr<CPlayerCharacter> copy(static_cast<CPlayerCharacter*>(c->Clone()));
    EXPECT_EQ(copy->GetMeeting().shootRestrict, 3u);
    EXPECT_EQ(copy->GetMeeting().shotHits, 9u);
    EXPECT_EQ(copy->GetReadyClock(), c->GetReadyClock());
    EXPECT_EQ(std::memcmp(&copy->GetDamageOverTime(), &c->GetDamageOverTime(), sizeof(c->GetDamageOverTime())), 0);
    EXPECT_EQ(copy->GetInput().raw[22], 0u);
    EXPECT_EQ(copy->GetInput().held[22], 0u);
    EXPECT_EQ(copy->GetInput().stick1X, 0.0f);
    EXPECT_EQ(copy->GetInput().free[22], 1u);
    // No packet stands for the copy's input: it builds one from its state.
    InputPacket back;
    copy->GetInputPacket(&back);
    EXPECT_EQ(back.buttons[0] | back.buttons[1] | u8(back.stickX) | u8(back.stickY), 0);
    for (u32 a = 0; a < kActionCount; ++a) EXPECT_EQ(copy->GetInputHandler(a), c->GetInputHandler(a)) << a;
}

// The battle's barrages fit the slots: each fires its own definition of the
// fighter's parameter set, and a copied fighter's barrages own theirs.
TEST_F(CharacterTest, RealBarragesFireTheFightersDefinitions)
{
    factory_.realBarrages = true;
    auto c = NewFighter();
    const CharacterCreateRecord record = Record({1, 0, 0});
    ASSERT_EQ(c->Initialize(reinterpret_cast<intptr_t>(&record)), 1);
    ASSERT_EQ(c->GetBarrages().size(), 7u);
    for (u32 i = 0; i < 7; ++i) {
        const auto* barrage = dynamic_cast<const CBarrage*>(c->GetBarrages()[i].get());
        ASSERT_NE(barrage, nullptr) << i;
        EXPECT_EQ(barrage->GetDefinition(), &c->GetParameter()->GetBarrage(i));
        EXPECT_EQ(barrage->GetPatternStateCount(), 1u);
    }

    const u32 savedFrame = GetFrameTimeMs();
    SetFrameTime(1000);   // Pattern.txt fires once a second
    ShooterRecord shooter;
    shooter.shooter = shooter.firingObject = c.get();
    auto* selected = static_cast<CBarrage*>(c->GetBarrages()[c->GetStatus()->selectedBarrage].get());
    selected->Update(&shooter);
    SetFrameTime(savedFrame);
    ASSERT_EQ(scene_.bullets.GetCount(), 1u);
    EXPECT_EQ(scene_.bullets.First()->GetOwner(), c.get());
    EXPECT_EQ(scene_.bullets.First()->Values().pow, 10.0f);
    scene_.bullets.DeleteAll();

    std::unique_ptr<CPlayerCharacter> copy(static_cast<CPlayerCharacter*>(c->Clone()));
    const auto* copied = dynamic_cast<const CBarrage*>(copy->GetBarrages()[0].get());
    ASSERT_NE(copied, nullptr);
    EXPECT_NE(copied->GetDefinition(), &c->GetParameter()->GetBarrage(0));
    EXPECT_EQ(copied->GetPatternStateCount(), 1u);
}

TEST_F(CharacterTest, WithoutModelOrFactoryCreationGoesOnWithTheRealCamera)
{
    auto* parameter = new CCharacterParameter();
    ASSERT_EQ(parameter->LoadFile("Chr_Test.txt"), 1);
    parameter->resource = "Missing.mdl";
    CPlayerCharacter c(parameter);
    EXPECT_EQ(c.LoadResource(&resources_), 0);
    EXPECT_EQ(CPlayerCharacter().LoadResource(&resources_), 0);
    SetCharacterObjectFactory(nullptr);
    EXPECT_EQ(c.Create(nullptr), 1);
    EXPECT_NE(dynamic_cast<const CCameraController*>(c.GetCameraController()), nullptr);
    EXPECT_NE(dynamic_cast<const CBarrage*>(c.GetBarrages().at(0).get()), nullptr);
    EXPECT_EQ(c.GetStatus()->hp, 800);
}

// Every simulation field moves the hash; the HUD's eased HP does not.
TEST_F(CharacterTest, TheStateHashFoldsSimulationFieldsOnly)
{
    auto c = NewFighter();
    c->Create(nullptr);
    auto hash = [&] {
        CStateHash h;
        c->HashState(h);
        return h.Value();
    };
    const u64 base = hash();
    using Change = void (*)(CCharacter&);
    const Change changes[] = {
        [](CCharacter& x) { x.GetPosition()->x += 1; },
        [](CCharacter& x) { x.GetStatus()->velocity.y = 1; },
        [](CCharacter& x) { x.GetRotation()->y = 5; },
        [](CCharacter& x) { x.GetStatus()->action = 2; },
        [](CCharacter& x) { x.GetStatus()->queuedAction = 3; },
        [](CCharacter& x) { x.GetStatus()->timers.invincibility = 1; },
        [](CCharacter& x) { x.GetStatus()->guardGauge = 1; },
        [](CCharacter& x) { x.GetStatus()->exactHp = 1; },
        [](CCharacter& x) { x.GetStatus()->tension = 2; },
        [](CCharacter& x) { x.GetStatus()->arm.rotation.x = 1; },
        [](CCharacter& x) { x.GetInput().raw[22] = 1; },
        [](CCharacter& x) { x.GetStatus()->attackHitMask = 4; },
        [](CCharacter& x) { x.GetStatus()->revival = 1; },
        [](CCharacter& x) { x.GetStatus()->sparkKind = 1; },
        [](CCharacter& x) { x.GetStatus()->timers.doubleAttackCooldown = 1; },
        [](CCharacter& x) { x.GetInput().freeTime[kInputCodeCount - 1] = 7; },
    };
    for (u32 i = 0; i < std::size(changes); ++i) {
        auto saved = std::make_unique<CharacterStatus>(*c->GetStatus());
        const CVector3 position = *c->GetPosition(), rotation = *c->GetRotation();
        const InputState input = c->GetInput();
        changes[i](*c);
        EXPECT_NE(hash(), base) << i;
        *c->GetStatus() = *saved;
        c->SetPosition(&position);
        *c->GetRotation() = rotation;
        c->GetInput() = input;
        EXPECT_EQ(hash(), base) << i;
    }
    c->GetStatus()->shownHp = 5;
    c->GetStatus()->lastVoiceStamp = 99;
    c->GetStatus()->timers.longestVoice = 3;   // the player's voice setting decides it
    EXPECT_EQ(hash(), base);
}

// The fighter's hash folds what it owns: each barrage, spell card and
// weapon with its own state.
TEST_F(CharacterTest, TheStateHashFoldsTheOwnedObjects)
{
    SetCharacterObjectFactory(nullptr);
    auto c = NewFighter();
    const CharacterCreateRecord record = Record({});
    ASSERT_EQ(c->Create(&record), 1);
    auto hash = [&] {
        CStateHash h;
        c->HashState(h);
        return h.Value();
    };
    auto* barrage = dynamic_cast<CBarrage*>(c->GetBarrages().at(3).get());
    auto* card = dynamic_cast<CSpellCard*>(c->GetSpellCards().at(6).get());
    ASSERT_NE(barrage, nullptr);
    ASSERT_NE(card, nullptr);
    ASSERT_EQ(c->GetWeapons().GetCount(), 1u);
    const struct {
        const char* what;
        std::function<void(bool)> change;   // true: change, false: undo
    } rows[] = {
        {"a barrage's clock", [&](bool on) { barrage->Restart(on ? 0.5f : 0.0f); }},
        {"a spell card's state", [&](bool on) { card->GetPosition()->y = on ? 1.0f : 0.0f; }},
        {"a weapon's shown flag", [&](bool on) { c->ShowWeapon(0, on); }},
    };
    c->ShowWeapon(0, 0);
    const u64 base = hash();
    for (const auto& row : rows) {
        row.change(true);
        EXPECT_NE(hash(), base) << row.what;
        row.change(false);
        EXPECT_EQ(hash(), base) << row.what;
    }
}

TEST_F(CharacterTest, WithoutAFactoryTheFighterTakesTheRealCameraAndItFollows)
{
    SetCharacterObjectFactory(nullptr);
    SetFrameTime(100);
    auto c = NewFighter(), other = NewFighter();
    const CharacterCreateRecord record = Record({});
    ASSERT_EQ(c->Create(&record), 1);
    auto* camera = dynamic_cast<CCameraController*>(c->GetCameraController());
    ASSERT_NE(camera, nullptr);
    const CCameraState& s = camera->GetState();
    EXPECT_EQ((s.eyeAnchor - record.position).Length(), 0.0f);
    EXPECT_EQ((s.targetAnchor - record.position).Length(), 0.0f);
    EXPECT_EQ(s.yaw, 20.0f);
    EXPECT_EQ(s.pitch, -10.0f);
    EXPECT_EQ(camera->GetParticipantSlot(), 2u);
    EXPECT_EQ(camera->GetViewAngleLimit(), 30.0f);   // half the default FOV

    // Both anchors chase the fighter by its id; the view looks along -z.
    camera->SetAngles(0, 0);
    const CVector3 moved(1, 2, 0);
    c->SetPosition(&moved);
    for (int frame = 0; frame < 20; ++frame) camera->Update(0);
    EXPECT_LT((s.eyeAnchor - moved).Length(), 1e-3f);
    EXPECT_LT((s.targetAnchor - moved).Length(), 1e-3f);
    CVector3 eye, angles;
    camera->GetView(&eye, &angles);
    EXPECT_GT(eye.z, moved.z);   // behind the fighter
    EXPECT_EQ(angles.Length(), 0.0f);
    // In view within half the FOV of the forward direction.
    struct {
        CVector3 at;
        u32 inView;
    } const others[] = {{{1, 2, -20}, 1}, {{1, 12, -20}, 1}, {{1, 22, -20}, 0}, {{1, 2, 30}, 0}};
    for (const auto& o : others) {
        other->SetPosition(&o.at);
        EXPECT_EQ(c->IsInCameraView(other.get()), o.inView) << o.at.y << " " << o.at.z;
    }

    // A copy of the fighter takes a camera of its own, in the same state.
    CPlayerCharacter copy(*c);
    ASSERT_NE(copy.GetCameraController(), c->GetCameraController());
    CStateHash mine, theirs;
    c->GetCameraController()->HashState(mine);
    copy.GetCameraController()->HashState(theirs);
    EXPECT_EQ(mine.Value(), theirs.Value());
    SetFrameTime(0);
}

}  // namespace ORV_TEST_FILE_ID
