// Playing definitions: instances built from the node pool, the live chain
// the controller walks, the play wrappers and what full pools do.
#include "engine/graphics/Texture.h"
#include "engine/model/RenderList.h"
#include "engine/scene/EffectPlayer.h"
#include "engine/scene/tests/EffectTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>

namespace ORV_TEST_FILE_ID {

using effect_test::NewObject;
using effect_test::ParticleKeys;
using effect_test::Same;

namespace {

class EffectPlay : public effect_test::EffectFixture {
protected:
    // count plain objects named "n0", "n1", ...
    void Objects(u32 count)
    {
        for (u32 i = 0; i < count; ++i) container_.AddObject(NewObject(("n" + std::to_string(i)).c_str()));
    }

    CEffect* PlayRegistered() { return container_.PlayInScene(&controller_, 1, nullptr); }

    static std::vector<const CEffect*> Siblings(const CEffect* first)
    {
        std::vector<const CEffect*> out;
        for (; first; first = first->GetNext()) out.push_back(first);
        return out;
    }

    std::vector<CEffect*> LiveChain() const
    {
        std::vector<CEffect*> out;
        for (CEffect* e = controller_.GetFirstEffect(); e; e = e->GetNextLive()) out.push_back(e);
        return out;
    }

    CEffectContainer container_;
};

}  // namespace

TEST_F(EffectPlay, OnlyRegisteredInstancesAreWalkedNewestFirst)
{
    Objects(1);
    CEffect* older = PlayRegistered();
    CEffect* loose = container_.PlayInScene(&controller_, 0, nullptr);
    CEffect* newer = PlayRegistered();
    EXPECT_EQ(LiveChain(), (std::vector<CEffect*>{newer, older}));
    Frames(3);
    EXPECT_FLOAT_EQ(older->GetTime(), 0.03f);
    EXPECT_EQ(loose->GetTime(), 0.0f);
    loose->Release();
    // Releasing the middle of the chain, then its head.
    Objects(0);
    CEffect* third = PlayRegistered();
    newer->Release();
    EXPECT_EQ(LiveChain(), (std::vector<CEffect*>{third, older}));
    third->Release();
    EXPECT_EQ(LiveChain(), (std::vector<CEffect*>{older}));
    EXPECT_EQ(older->GetPrevLive(), nullptr);
}

TEST_F(EffectPlay, AnInstanceReleasedInTheWalkDoesNotEndIt)
{
    // A sound node finishes after its first update; the instances around
    // it go on.
    CEffectContainer sound;
    sound.AddObject(NewObject("se"));
    sound.GetObject(0)->GetNodeSettings().resourceKind = kEffectKindSound;
    Objects(1);
    CEffect* last = PlayRegistered();
    sound.PlayInScene(&controller_, 1, nullptr);
    CEffect* first = PlayRegistered();
    Frames(1);
    EXPECT_EQ(LiveChain(), (std::vector<CEffect*>{first, last}));
    EXPECT_FLOAT_EQ(last->GetTime(), 0.01f);
}

TEST_F(EffectPlay, ObjectsWithParentObjectsBecomeChildrenOfTheirNodes)
{
    Objects(4);
    container_.GetObject(1)->SetParentObject(container_.GetObject(0));
    container_.GetObject(3)->SetParentObject(container_.GetObject(2));
    CEffect* a = PlayRegistered();
    ASSERT_EQ(Siblings(a).size(), 2u);
    EXPECT_EQ(a->GetChild()->GetDefinition(), container_.GetObject(1));
    EXPECT_EQ(a->GetChild()->GetParent(), a);
    EXPECT_EQ(a->GetNext()->GetChild()->GetDefinition(), container_.GetObject(3));

    // A parent object with no node among the first nodes: nothing plays and
    // every node taken goes back.
    CEffectObject stranger;
    CEffectContainer orphan;
    orphan.AddObject(NewObject("root"));
    CEffectObject* child = NewObject("child");
    child->SetParentObject(&stranger);
    orphan.AddObject(child);
    const u32 before = LiveNodes();
    EXPECT_EQ(orphan.PlayInScene(&controller_, 1, nullptr), nullptr);
    EXPECT_EQ(LiveNodes(), before);
}

TEST_F(EffectPlay, APlayUnderAParentNodeJoinsItsTreeWithoutCycles)
{
    Objects(1);
    CEffect* parent = PlayRegistered();
    CEffectContainer sub;
    sub.AddObject(NewObject("s0"));
    sub.AddObject(NewObject("s1"));
    CEffect* first = sub.PlayInScene(&controller_, 1, parent);
    CEffect* second = sub.PlayInScene(&controller_, 1, parent);
    EXPECT_EQ(LiveChain(), (std::vector<CEffect*>{parent})) << "never registered";
    // The newer play's nodes come first; every child has the parent; the
    // chain ends.
    std::vector<const CEffect*> children = Siblings(parent->GetChild());
    ASSERT_EQ(children.size(), 4u);
    EXPECT_EQ(children[0], second);
    EXPECT_EQ(children[2], first);
    for (const CEffect* c : children) EXPECT_EQ(c->GetParent(), parent);
    // Releasing a play takes it and what follows it out of the parent's
    // children; the parent goes with the rest.
    first->Release();
    EXPECT_EQ(Siblings(parent->GetChild()).size(), 2u);
    EXPECT_EQ(LiveNodes(), 3u);
    parent->Release();
    EXPECT_EQ(LiveNodes(), 0u);
}

// Each wrapper puts its arguments in their own fields; distinct values show
// a swap.
TEST_F(EffectPlay, TheWrappersFillThePlayRecord)
{
    Objects(1);
    CVector3 position(1, 2, 3), rotation(0, 90, 0), scaling(2, 3, 4);
    CVector4 colour(1, 0, 0, 0.5f);
    CAnimationFrame* frame = reinterpret_cast<CAnimationFrame*>(&position);   // never read here

    CEffect* e = container_.PlayFull(&controller_, &position, &rotation, &scaling, &colour, 3.0f, 0, 1, frame, nullptr);
    const EffectPlayParams& p = e->GetParams();
    EXPECT_EQ(std::tuple(p.followPosition, p.followColor, p.linkFrame), std::tuple(&position, &colour, frame));
    EXPECT_EQ(e->GetEndTime(), 3.0f);
    EXPECT_TRUE(Same(*e->GetPlaceScaling(), scaling));
    e->Release();

    e = container_.PlayAt(&controller_, &position, &rotation, nullptr, 0.5f, 0, 1, nullptr);
    EXPECT_EQ(e->GetParams().followRotation, &rotation);
    e->Release();

    e = container_.PlayWithColor(&controller_, nullptr, &rotation, &scaling, 0, frame, nullptr);
    EXPECT_TRUE(Same(e->GetParams().rotation, rotation));
    EXPECT_TRUE(Same(e->GetParams().scaling, scaling));
    e->Release();

    e = container_.PlayAtMatrix(&controller_, &position, &rotation, nullptr, 1, nullptr);
    EXPECT_TRUE(Same(*e->GetPlacePosition(), position));
    EXPECT_TRUE(Same(*e->GetPlaceRotation(), rotation));
    e->Release();
    EXPECT_EQ(container_.PlayInScene(nullptr, 1, nullptr), nullptr);
}

TEST_F(EffectPlay, FollowedAndAttachedPlacementsAreReadEveryFrame)
{
    Objects(1);
    CVector3 position(1, 0, 0);
    CEffect* followed = container_.PlayAt(&controller_, &position, nullptr, nullptr, 0.0f, 1, 1, nullptr);
    CVector3 fixed(5, 0, 0);
    CEffect* placed = container_.PlayAt(&controller_, &fixed, nullptr, nullptr, 0.0f, 1, 0, nullptr);
    CEffect holder;   // any placed object
    holder.GetPosition()->Set(0, 7, 0);
    holder.GetColor()->w = 0.25f;
    CEffect* attached = container_.PlayAttached(&controller_, nullptr, nullptr, nullptr, 1, &holder, nullptr);
    Frames(1);
    position.Set(2, 0, 0);
    fixed.Set(6, 0, 0);
    holder.GetPosition()->Set(0, 8, 0);
    Frames(1);
    EXPECT_EQ((std::vector<f32>{followed->GetWorldMatrix()->m[3][0], placed->GetWorldMatrix()->m[3][0],
                                attached->GetWorldMatrix()->m[3][1], attached->GetColor()->w}),
              (std::vector<f32>{2, 5, 8, 0.25f}));
}

// The game's sizes: every node and particle slot is handed out, each
// request past them is refused and counted, nothing is written past the
// pools, and all of it comes back.
TEST_F(EffectPlay, TheGamesPoolsFillUpCleanlyAndEmptyAgain)
{
    ASSERT_EQ(controller_.Create(&device_, 2048, 4096), 1);
    Objects(3);
    for (u32 i = 0; i < 3; ++i) ParticleKeys(container_.GetObject(i), {{0.0f, 3}});
    u32 instances = 0;
    CEffect* last = nullptr;
    while (CEffect* e = PlayRegistered()) {
        ++instances;
        last = e;
    }
    EXPECT_EQ(instances, 2048u / 3 + 1);
    EXPECT_EQ(Siblings(last).size(), 2048u % 3) << "the last one is partial";
    EXPECT_EQ(LiveNodes(), 2048u);
    EXPECT_EQ(controller_.GetRefusedNodes(), 2u) << "the partial instance's and the refused play's";

    // 2,048 nodes ask for 6,144 particles.
    ASSERT_EQ(controller_.UpdateAll(), 1);
    EXPECT_EQ(LiveParticles(), 4096u);
    EXPECT_EQ(controller_.GetRefusedParticles(), 2048u - 4096u / 3) << "once for each node that asked in vain";
    EXPECT_EQ(last->Update(0), 1) << "its keys were passed";
    Frames(3);
    EXPECT_EQ(LiveParticles(), 4096u);
    EXPECT_EQ(LiveChain().size(), instances);

    controller_.DeleteAll();
    EXPECT_EQ(LiveNodes() + LiveParticles(), 0u);
    CEffect* again = PlayRegistered();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Siblings(again).size(), 3u);
}

// A full pool stops the emission of the key that found it full; the walk
// goes on past the later keys this update reaches (each asks in vain too)
// instead of leaving them to a later frame.
TEST_F(EffectPlay, AFullParticlePoolStopsOneKeyAndTheWalkGoesOn)
{
    ASSERT_EQ(controller_.Create(&device_, 8, 4), 1);
    Objects(1);
    ParticleKeys(container_.GetObject(0), {{0.0f, 6}, {0.02f, 1}, {0.04f, 1}, {0.2f, 1}});
    CEffect* e = container_.PlayInScene(&controller_, 0, nullptr);
    ASSERT_NE(e, nullptr);
    SetFrameTime(50);
    EXPECT_EQ(e->Update(0), 0);
    EXPECT_EQ(LiveParticles(), 4u);
    EXPECT_EQ(controller_.GetRefusedParticles(), 3u) << "the first key, then each later one";
    EXPECT_FLOAT_EQ(e->GetParticleCursor(), 0.05f) << "past the key at 0.04";
    // The next update reaches no key: nothing more is asked for.
    SetFrameTime(10);
    EXPECT_EQ(e->Update(0), 1);
    EXPECT_EQ(controller_.GetRefusedParticles(), 3u);
    EXPECT_FLOAT_EQ(e->GetParticleCursor(), 0.05f);
}

// Create reports a pool it cannot size; the game goes on with what it got,
// and every walk over the pool that did grow still reaches every node.
TEST_F(EffectPlay, APoolThatCannotBeSizedIsReportedAndTheOtherStillWalksWhole)
{
    EXPECT_EQ(controller_.Create(&device_, 300, 0xFFFFFFFFu), 0);
    ASSERT_EQ(controller_.GetNodePool().GetCount(), 300u);
    EXPECT_EQ(controller_.GetParticlePool().GetCount(), particles_) << "unchanged";
    // A tree 121 levels deep with a sibling waiting on every level: its
    // walks hold more entries than the old pool had nodes.
    Objects(2);
    CEffect* top = PlayRegistered();
    CEffect* parent = top;
    for (int i = 0; i < 120; ++i) {
        parent = container_.PlayInScene(&controller_, 0, parent);
        ASSERT_NE(parent, nullptr);
    }
    EXPECT_EQ(LiveNodes(), 242u);
    Frames(1);
    EXPECT_FLOAT_EQ(parent->GetNext()->GetTime(), 0.01f) << "the deepest level was updated";
    controller_.DeleteAll();
    EXPECT_EQ(LiveNodes(), 0u);
    EXPECT_EQ(controller_.Create(&device_, 4, 4), 1);
}

}  // namespace ORV_TEST_FILE_ID
