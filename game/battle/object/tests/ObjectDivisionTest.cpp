// The battle object base: registration, messages, the attached effect, the
// resource getters and the state hash.
#include "engine/model/Mesh.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "host/kernel/tests/TempFolder.h"

#include <functional>
#include <memory>

using battle_test::BattleObjectTest;
using battle_test::FakeFighter;

namespace {

// A fighter whose drawing and simulation fields the hash tests reach.
class OpenFighter : public FakeFighter {
public:
    using CObjectDivision::m_blendTime, CObjectDivision::m_changeLength, CObjectDivision::m_changeLoop,
        CObjectDivision::m_changeSpeed, CObjectDivision::m_changeTime, CObjectDivision::m_changedAnimation,
        CObjectDivision::m_playLength, CObjectDivision::m_playLoop, CObjectDivision::m_playMode,
        CObjectDivision::m_playSpeed, CObjectDivision::m_playTime, CObjectDivision::m_playedAnimation,
        CObjectDivision::m_previousChangedAnimation;
    using CObjectBase::m_position, CObjectBase::m_rotation, CObjectBase::m_scaling, CObjectBase::m_world;
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
    // Nobody answers a gone id: 1, as for any unknown id.
    b.answer = 0;
    EXPECT_EQ(b.SendObjectMessage(5, gone, kGroupFighter, 0), 1u);
}

TEST_F(BattleObjectTest, MessagesReachOneIdAGroupOrTheScene)
{
    FakeFighter f1, f2;
    struct Stage : FakeFighter {
        Stage() { SetGroup(kGroupStage); }
    } stage;
    f2.slot = 2;
    f2.answer = 7;

    u32 slot = 99;
    EXPECT_EQ(f1.SendObjectMessage(kMsgTargetSlot, f2.GetId(), 0, reinterpret_cast<intptr_t>(&slot)), 7u);
    EXPECT_EQ(slot, 2u);
    ASSERT_EQ(f2.received.size(), 1u);
    EXPECT_EQ(f2.received[0].sender, &f1);

    // The group filter picks the receivers; their answers are ANDed.
    f1.answer = 1;
    stage.answer = 0;
    EXPECT_EQ(f1.SendObjectMessage(kMsgStageBoxTest, CObjectRegistry::kBroadcastId, kGroupStage, 0), 0u);
    EXPECT_EQ(f1.received.size(), 0u);
    EXPECT_EQ(f1.SendObjectMessage(40, CObjectRegistry::kBroadcastId, kGroupFighter, 0), 1u & 7u);
    EXPECT_EQ(f1.received.size(), 1u);
    EXPECT_EQ(stage.received.size(), 1u);
    EXPECT_EQ(f1.SendObjectMessage(41, CObjectRegistry::kBroadcastId, CObjectRegistry::kAllGroups, 0), 0u);
    EXPECT_EQ(stage.received.size(), 2u);

    i32 viewed = 5;
    scene_.viewedSlot = 3;
    EXPECT_EQ(f1.SendObjectMessage(kMsgViewedSlot, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&viewed)),
        1u);
    EXPECT_EQ(viewed, 3);
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
    CMesh* model = sentinel;
    CMesh* again = sentinel;
    EXPECT_EQ(f.GetModel(&resources, "Other/Folder/Fighter.mdl", &model), 1u);
    EXPECT_EQ(f.GetModel(&resources, "Fighter.mdl", &again), 1u);
    EXPECT_EQ(model, listed);
    EXPECT_EQ(again, listed);

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

TEST_F(BattleObjectTest, TheStateHashFollowsEverySimulationFieldAndNoDrawingOne)
{
    OpenFighter f;
    using Change = std::function<void(OpenFighter&)>;
    const struct {
        const char* field;
        Change change;
    } folded[] = {
        {"group", [](OpenFighter& o) { o.SetGroup(kGroupBullet); }},
        {"position", [](OpenFighter& o) { o.m_position.y = 1.0f; }},
        {"position -0", [](OpenFighter& o) { o.m_position.z = -0.0f; }},
        {"rotation", [](OpenFighter& o) { o.m_rotation.x = 90.0f; }},
        {"scaling", [](OpenFighter& o) { o.m_scaling.z = 2.0f; }},
        {"world", [](OpenFighter& o) { o.m_world.m[3][1] = 4.0f; }},
        {"radius", [](OpenFighter& o) { o.SetBoundingRadius(0.5f); }},
        {"previous changed", [](OpenFighter& o) { o.m_previousChangedAnimation = 1; }},
        {"changed", [](OpenFighter& o) { o.m_changedAnimation = 1; }},
        {"played", [](OpenFighter& o) { o.m_playedAnimation = 1; }},
        {"play mode", [](OpenFighter& o) { o.m_playMode = 1; }},
        {"blend", [](OpenFighter& o) { o.m_blendTime = 0.1f; }},
        {"change loop", [](OpenFighter& o) { o.m_changeLoop = 1; }},
        {"change time", [](OpenFighter& o) { o.m_changeTime = 0.1f; }},
        {"change speed", [](OpenFighter& o) { o.m_changeSpeed = 0.1f; }},
        {"change length", [](OpenFighter& o) { o.m_changeLength = 0.1f; }},
        {"play loop", [](OpenFighter& o) { o.m_playLoop = 1; }},
        {"play time", [](OpenFighter& o) { o.m_playTime = 0.1f; }},
        {"play speed", [](OpenFighter& o) { o.m_playSpeed = 0.1f; }},
        {"play length", [](OpenFighter& o) { o.m_playLength = 0.1f; }},
    };
    const u64 start = Hash(f);
    for (const auto& c : folded) {
        OpenFighter changed;
        const u64 before = Hash(changed);
        c.change(changed);
        EXPECT_NE(Hash(changed), before) << c.field;
    }
    const struct {
        const char* field;
        Change change;
    } drawing[] = {
        {"colour", [](OpenFighter& o) { o.GetColor()->x = 0.5f; }},
        {"shown", [](OpenFighter& o) { o.SetVisible(0); }},
        {"priority", [](OpenFighter& o) { o.SetDrawPriority(3); }},
        {"user word", [](OpenFighter& o) { o.SetUserWord(1); }},
        {"depth sorted", [](OpenFighter& o) { o.SetDepthSorted(1); }},
        {"draw argument", [](OpenFighter& o) { o.SetDrawArgument(9); }},
        {"name", [](OpenFighter& o) { o.SetName("renamed"); }},
    };
    for (const auto& c : drawing) {
        c.change(f);
        EXPECT_EQ(Hash(f), start) << c.field;
    }

    // The same registrations from the same generator state hash the same.
    CObjectRegistry other;
    SetObjectRegistry(&other);
    const OpenFighter twin;
    SetObjectRegistry(&registry_);
    CObjectRegistry third;
    SetObjectRegistry(&third);
    const OpenFighter triplet;
    SetObjectRegistry(&registry_);
    EXPECT_EQ(Hash(twin), Hash(triplet));
}
