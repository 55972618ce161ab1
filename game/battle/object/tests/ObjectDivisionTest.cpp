// The battle object base: registration, messages, the attached effect, the
// resource getters and the state hash.
#include "engine/model/Mesh.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <iterator>
#include <memory>

namespace ORV_TEST_FILE_ID {

using battle_test::BattleObjectTest;
using battle_test::FakeFighter;

namespace {

// A fighter whose folded fields the hash test changes one at a time.
class OpenFighter : public FakeFighter {
public:
    // Field i changed alone (floats to -0, so only exact bits tell); false
    // past the last.
    bool Change(size_t i)
    {
        f32* floats[] = {&m_position.x, &m_position.y, &m_position.z, &m_rotation.x, &m_rotation.y, &m_rotation.z,
            &m_scaling.x, &m_scaling.y, &m_scaling.z, &m_world.m[3][1], &m_world.m[0][0], &m_sphereRadius,
            &m_blendTime, &m_changeTime, &m_changeSpeed, &m_changeLength, &m_playTime, &m_playSpeed, &m_playLength};
        u32* words[] = {&m_previousChangedAnimation, &m_changedAnimation, &m_playedAnimation, &m_playMode,
            &m_changeLoop, &m_playLoop};
        if (i < std::size(floats)) {
            *floats[i] = -0.0f;
        } else if (i - std::size(floats) < std::size(words)) {
            *words[i - std::size(floats)] += 1;
        } else if (i == std::size(floats) + std::size(words)) {
            SetGroup(kGroupBullet);
        } else {
            return false;
        }
        return true;
    }
};

u64 Hash(const CObjectDivision& object)
{
    CStateHash hash;
    object.HashState(hash);
    return hash.Value();
}

}  // namespace

TEST_F(BattleObjectTest, ObjectsRegisterUnderDistinctIdsUntilReleased)
{
    auto a = std::make_unique<FakeFighter>();
    FakeFighter b;
    const FakeFighter copy(b);
    ASSERT_EQ(registry_.GetCount(), 3u);
    for (const CObjectDivision* o : std::initializer_list<const CObjectDivision*>{a.get(), &b, &copy}) {
        EXPECT_NE(o->GetId(), 0u);
        EXPECT_NE(o->GetId(), CObjectRegistry::kBroadcastId);
        EXPECT_EQ(registry_.Find(o->GetId()), o);
    }
    EXPECT_NE(copy.GetId(), b.GetId());
    EXPECT_EQ(copy.GetGroup(), kGroupFighter);

    const u32 gone = a->GetId();
    a->Release();
    EXPECT_EQ(registry_.Find(gone), nullptr);
    a.reset();   // a second release through the destructor
    EXPECT_EQ(registry_.GetCount(), 2u);
    // A message to a gone id: 1, as for any unknown id; the scene answers 0.
    b.answer = 0;
    EXPECT_EQ(b.SendObjectMessage(5, gone, kGroupFighter, 0), 1u);
    EXPECT_EQ(b.SendObjectMessage(5, b.GetId(), kGroupFighter, 0), 0u);
}

TEST(BattleObjectRegistry, TheFirstObjectMakesTheGlobalRegistry)
{
    CObjectRegistry* saved = GetObjectRegistry();
    SetObjectRegistry(nullptr);
    {
        FakeFighter f;
        ASSERT_NE(GetObjectRegistry(), nullptr);
        EXPECT_EQ(GetObjectRegistry()->Find(f.GetId()), &f);
        EXPECT_EQ(GetObjectRegistry()->GetHandler(), nullptr);
        // Unanswered: no manager.
        EXPECT_EQ(f.GetEffectManager(), nullptr);
    }
    EXPECT_EQ(GetObjectRegistry()->GetCount(), 0u);
    delete GetObjectRegistry();
    SetObjectRegistry(saved);
}

TEST_F(BattleObjectTest, TheAttachedEffectComesFromTheSceneManagerAndGoesBackOnRelease)
{
    CEffectController manager;
    ASSERT_EQ(manager.Create(nullptr, 8, 8), 1);
    CEffectContainer effect;
    auto* node = new CEffectObject();
    node->SetName("glow");
    ASSERT_EQ(effect.AddObject(node), 1);
    CMesh model;

    FakeFighter f;
    EXPECT_EQ(f.CreateAttachedEffect(), 0);   // no resource
    f.SetResource(&model);
    EXPECT_EQ(f.CreateAttachedEffect(), 0);   // not an effect
    f.SetResource(&effect);
    EXPECT_EQ(f.CreateAttachedEffect(), 0);   // the scene has no manager
    scene_.effects = &manager;
    ASSERT_EQ(f.CreateAttachedEffect(), 1);
    EXPECT_EQ(f.UpdateAttachedEffect(), 1);
    ASSERT_EQ(f.CreateAttachedEffect(), 1);   // the first goes back
    EXPECT_EQ(manager.GetNodePool().GetLiveCount(), 1u);
    // Attached effects are the object's, not the manager's live chain.
    manager.UpdateAll();
    EXPECT_EQ(manager.GetNodePool().GetLiveCount(), 1u);
    f.Release();
    EXPECT_EQ(manager.GetNodePool().GetLiveCount(), 0u);
    EXPECT_EQ(f.UpdateAttachedEffect(), 0);
}

TEST_F(BattleObjectTest, GettersFindByFileNameAcrossFoldersOrLoadAndCache)
{
    host::kernel::testing::TempFolder folder;
    CEffectContainer written;
    written.SetName("Hit");
    auto* node = new CEffectObject();
    node->SetName("spark");
    written.AddObject(node);
    ASSERT_EQ(written.Save((folder / "Hit.efc").c_str()), 1);

    CResourceController resources;
    auto* listed = new CMesh();
    listed->SetName("Data/Chara/Fighter.mdl");
    void* slot = listed;
    resources.GetModelList()->Add(&slot);

    FakeFighter f;
    CMesh* sentinel = reinterpret_cast<CMesh*>(&f);
    for (const char* path : {"Other/Folder/Fighter.mdl", "Fighter.mdl"}) {
        CMesh* model = sentinel;
        EXPECT_EQ(f.GetModel(&resources, path, &model), 1u);
        EXPECT_EQ(model, listed) << path;
    }

    const std::string path = folder / "Hit.efc";
    CEffectContainer* loaded = nullptr;
    CEffectContainer* found = nullptr;
    ASSERT_EQ(f.GetEffectContainer(&resources, path.c_str(), &loaded), 1u);
    ASSERT_EQ(f.GetEffectContainer(&resources, "Effect\\Hit.efc", &found), 1u);
    EXPECT_EQ(found, loaded);
    EXPECT_EQ(loaded->GetObjectCount(), 1u);
    // An effect the controller loaded carries its stored name only.
    auto* stored = new CEffectContainer();
    stored->SetName("Smoke");
    slot = stored;
    resources.GetEffectList()->Add(&slot);
    ASSERT_EQ(f.GetEffectContainer(&resources, "Effect\\Smoke.efc", &found), 1u);
    EXPECT_EQ(found, stored);

    // Without a controller the caller owns what was loaded.
    CEffectContainer* uncached = nullptr;
    ASSERT_EQ(f.GetEffectContainer(nullptr, path.c_str(), &uncached), 1u);
    EXPECT_NE(uncached, loaded);
    delete uncached;

    // Failures leave out as it was and add nothing.
    const std::string missing = folder / "Missing.efc";
    const struct {
        CResourceController* controller;
        const char* path;
        bool out;
    } refused[] = {
        {&resources, missing.c_str(), true},
        {nullptr, missing.c_str(), true},
        {&resources, nullptr, true},
        {&resources, path.c_str(), false},
    };
    for (const auto& r : refused) {
        CEffectContainer* out = reinterpret_cast<CEffectContainer*>(sentinel);
        EXPECT_EQ(f.GetEffectContainer(r.controller, r.path, r.out ? &out : nullptr), 0u) << (r.path ? r.path : "null");
        EXPECT_EQ(out, reinterpret_cast<CEffectContainer*>(sentinel));
    }
    EXPECT_EQ(resources.GetEffectList()->GetCount(), 2u);
}

// A file that appears after a miss stays missed until the misses are
// forgotten (as each battle and each controller load does): proof that the
// second ask did not go to the disk. An unset name never goes there.
TEST_F(BattleObjectTest, AMissIsLookedForOnceUntilForgotten)
{
    host::kernel::testing::TempFolder folder;
    const auto write = [&folder](const char* file) {
        CEffectContainer written;
        written.SetName("Late");
        return written.Save((folder / file).c_str()) == 1;
    };
    const std::string late = folder / "Late.efc";
    const std::string none = folder / "Non Name";
    CResourceController resources;
    FakeFighter f;
    CEffectContainer* out = nullptr;
    EXPECT_EQ(f.GetEffectContainer(&resources, late.c_str(), &out), 0u);
    EXPECT_TRUE(resources.IsKnownMiss(CResourceController::kListEffects, late.c_str()));
    EXPECT_FALSE(resources.IsKnownMiss(CResourceController::kListSounds, late.c_str()));
    ASSERT_TRUE(write("Late.efc"));
    ASSERT_TRUE(write("Non Name"));
    EXPECT_EQ(f.GetEffectContainer(&resources, late.c_str(), &out), 0u);
    EXPECT_EQ(out, nullptr);
    // Without a controller nothing is remembered.
    CEffectContainer* uncached = nullptr;
    ASSERT_EQ(f.GetEffectContainer(nullptr, late.c_str(), &uncached), 1u);
    delete uncached;

    resources.ForgetMisses();
    EXPECT_EQ(f.GetEffectContainer(&resources, late.c_str(), &out), 1u);
    EXPECT_NE(out, nullptr);
    const std::string cwd = host::kernel::GetCurrentDirectory();
    ASSERT_TRUE(host::kernel::SetCurrentDirectory(folder.Path()));
    for (const char* unset : {"Non Name", ""}) {
        CEffectContainer* nothing = nullptr;
        EXPECT_EQ(f.GetEffectContainer(&resources, unset, &nothing), 0u) << unset;
        EXPECT_EQ(nothing, nullptr);
        EXPECT_FALSE(resources.IsKnownMiss(CResourceController::kListEffects, unset));
    }
    host::kernel::SetCurrentDirectory(cwd);
    EXPECT_EQ(resources.GetEffectList()->GetCount(), 1u);
}

TEST_F(BattleObjectTest, TheStateHashFollowsEverySimulationFieldAndNoDrawingOne)
{
    size_t field = 0;
    for (;; ++field) {
        OpenFighter f;
        const u64 before = Hash(f);
        if (!f.Change(field)) break;
        EXPECT_NE(Hash(f), before) << "field " << field;
    }
    EXPECT_EQ(field, 26u);

    OpenFighter f;
    const u64 start = Hash(f);
    f.GetColor()->x = 0.5f;
    f.SetVisible(0);
    f.SetDrawPriority(3);
    f.SetUserWord(1);
    f.SetDepthSorted(1);
    f.SetDrawArgument(9);
    f.SetName("renamed");
    EXPECT_EQ(Hash(f), start);

    // The same registrations from the same generator state hash the same.
    u64 twins[2];
    for (u64& twin : twins) {
        CObjectRegistry other;
        SetObjectRegistry(&other);
        twin = Hash(OpenFighter());
    }
    SetObjectRegistry(&registry_);
    EXPECT_EQ(twins[0], twins[1]);
}

namespace {

// A message object that is no battle object.
class Messenger : public CMessageObject {
    ORV_VALUE_CLASS(Messenger)

public:
    Messenger() = default;
    Messenger(const Messenger&) = default;
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    u32 HandleMessage(u32, CMessageObject*, intptr_t) override { return 0; }
};

// A battle object whose division part does not start the object.
struct Leading {
    virtual ~Leading() = default;
    u64 words[3] = {1, 2, 3};
};
class LateStage : public Leading, public battle_test::FakeStage {};

}  // namespace

// Classes one after another and back, so a remembered answer must follow
// the class of each object asked about, not the last one's.
TEST(BattleObjectCast, TheRememberedAnswerFollowsTheObjectsClass)
{
    FakeFighter fighter;
    battle_test::FakeStage stage;
    LateStage late;
    Messenger messenger;
    CMessageObject* const objects[] = {&fighter, &messenger, &late, &late, &stage, &messenger, &messenger, &fighter,
        &late, nullptr, &fighter};
    for (CMessageObject* object : objects) {
        EXPECT_EQ(AsObjectDivision(object), dynamic_cast<CObjectDivision*>(object))
            << (object ? typeid(*object).name() : "null");
    }
    EXPECT_EQ(AsObjectDivision(&late), static_cast<CObjectDivision*>(&late));
    EXPECT_NE(static_cast<void*>(AsObjectDivision(&late)), static_cast<void*>(&late));
}

namespace {

// A fighter whose division and character parts both lie past another part.
class LateFighter : public Leading, public FakeFighter {};
// Two division parts in one object, the character part beside the first.
class FighterOnStage : public FakeFighter, public battle_test::FakeStage {};

}  // namespace

// The character behind each object, asked in turns of classes and of the
// division parts of one object, is the one the dynamic cast finds.
TEST(BattleObjectCast, TheRememberedCharacterFollowsTheClassAndTheDivisionPart)
{
    FakeFighter fighter;
    battle_test::FakeStage stage;
    LateFighter late;
    FighterOnStage twin;
    CObjectDivision* const first = static_cast<FakeFighter*>(&twin);
    CObjectDivision* const second = static_cast<battle_test::FakeStage*>(&twin);
    CObjectDivision* const objects[] = {&fighter, &stage, &late, &late, first, second, second, &fighter, &stage,
        &stage, nullptr, &late, first, &fighter};
    for (CObjectDivision* object : objects) {
        const char* name = object ? typeid(*object).name() : "null";
        EXPECT_EQ(AsBattleCharacter(object), dynamic_cast<IBattleCharacter*>(object)) << name;
        const CObjectDivision* constant = object;
        EXPECT_EQ(AsBattleCharacter(constant), dynamic_cast<const IBattleCharacter*>(constant)) << name;
    }
    EXPECT_EQ(AsBattleCharacter(second), static_cast<IBattleCharacter*>(&twin));
    EXPECT_EQ(AsBattleCharacter(&late), static_cast<IBattleCharacter*>(&late));
    EXPECT_NE(static_cast<void*>(AsBattleCharacter(&late)), static_cast<void*>(&late));
    EXPECT_EQ(AsBattleCharacter(&stage), nullptr);
}

}  // namespace ORV_TEST_FILE_ID
