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

TEST_F(EffectPlay, AFullNodePoolGivesTheFirstObjectsOnlyAndCountsTheRefusal)
{
    nodes_ = 3;
    ASSERT_EQ(controller_.Create(&device_, 3, 8), 1);
    Objects(5);
    CEffect* first = PlayRegistered();
    ASSERT_NE(first, nullptr);
    const auto nodes = Siblings(first);
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_STREQ(nodes[2]->GetDefinition()->GetName(), "n2");
    EXPECT_EQ(controller_.GetRefusedNodes(), 1u);
    EXPECT_EQ(PlayRegistered(), nullptr);
    EXPECT_EQ(controller_.GetRefusedNodes(), 2u);
    EXPECT_EQ(LiveChain().size(), 1u);
    controller_.DeleteAll();
    EXPECT_EQ(LiveNodes(), 0u);
    EXPECT_EQ(controller_.Create(&device_, 3, 8), 1) << "pools can be sized again once empty";
}

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
    loose->Update(0);
    EXPECT_FLOAT_EQ(loose->GetTime(), 0.01f);
    loose->Release();
    EXPECT_EQ(LiveNodes(), 2u);
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
    EXPECT_EQ(LiveNodes(), 3u);
    Frames(1);
    EXPECT_EQ(LiveChain(), (std::vector<CEffect*>{first, last}));
    EXPECT_FLOAT_EQ(last->GetTime(), 0.01f);
    EXPECT_EQ(LiveNodes(), 2u);
}

TEST_F(EffectPlay, ObjectsWithParentObjectsBecomeChildrenOfTheirNodes)
{
    Objects(4);
    container_.GetObject(1)->SetParentObject(container_.GetObject(0));
    container_.GetObject(3)->SetParentObject(container_.GetObject(2));
    CEffect* a = PlayRegistered();
    ASSERT_NE(a, nullptr);
    CEffect* c = a->GetNext();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetNext(), nullptr);
    EXPECT_STREQ(a->GetChild()->GetDefinition()->GetName(), "n1");
    EXPECT_EQ(a->GetChild()->GetParent(), a);
    EXPECT_STREQ(c->GetChild()->GetDefinition()->GetName(), "n3");

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
    EXPECT_EQ(LiveChain().size(), 1u);
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
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(LiveChain(), (std::vector<CEffect*>{parent})) << "never registered";
    // The newer play's nodes come first; every child has the parent; the
    // chain ends.
    std::vector<const CEffect*> children = Siblings(parent->GetChild());
    ASSERT_EQ(children.size(), 4u);
    EXPECT_EQ(children[0], second);
    EXPECT_EQ(children[2], first);
    for (const CEffect* c : children) EXPECT_EQ(c->GetParent(), parent);
    Frames(2);
    EXPECT_FLOAT_EQ(first->GetTime(), 0.02f);
    // Releasing a play takes it and what follows it out of the parent's
    // children; the parent goes with the rest.
    first->Release();
    EXPECT_EQ(Siblings(parent->GetChild()).size(), 2u);
    EXPECT_EQ(LiveNodes(), 3u);
    parent->Release();
    EXPECT_EQ(LiveNodes(), 0u);
}

TEST_F(EffectPlay, TheWrappersFillThePlayRecord)
{
    Objects(1);
    CVector3 position(1, 2, 3), rotation(0, 90, 0), scaling(2, 2, 2);
    CVector4 colour(1, 0, 0, 0.5f);
    CObjectBase* attached = nullptr;
    CAnimationFrame* frame = reinterpret_cast<CAnimationFrame*>(&position);   // never read here

    CEffect* e = container_.PlayFull(&controller_, &position, &rotation, &scaling, &colour, 3.0f, 0, 1, frame, nullptr);
    EXPECT_EQ(e->GetParams().followPosition, &position);
    EXPECT_EQ(e->GetParams().followColor, &colour);
    EXPECT_EQ(e->GetParams().color.y, 0.0f);
    EXPECT_EQ(e->GetParams().linkFrame, frame);
    EXPECT_EQ(e->GetEndTime(), 3.0f);
    EXPECT_TRUE(Same(*e->GetPlaceScaling(), scaling));
    e->Release();

    e = container_.PlayFull(&controller_, nullptr, nullptr, nullptr, nullptr, 0.0f, 0, 0, nullptr, nullptr);
    EXPECT_TRUE(Same(e->GetParams().scaling, CVector3(1, 1, 1)));
    EXPECT_EQ(e->GetParams().color.w, 1.0f);
    EXPECT_EQ(e->GetParams().followPosition, nullptr);
    e->Release();

    e = container_.PlayAt(&controller_, &position, &rotation, nullptr, 0.5f, 0, 1, nullptr);
    EXPECT_EQ(e->GetParams().followRotation, &rotation);
    EXPECT_EQ(e->GetParams().followScaling, nullptr);
    EXPECT_TRUE(Same(*e->GetPlacePosition(), position));
    EXPECT_TRUE(Same(*e->GetPlaceScaling(), CVector3(1, 1, 1)));
    e->Release();

    e = container_.PlayLinked(&controller_, &position, nullptr, nullptr, 0, frame, nullptr);
    EXPECT_TRUE(Same(e->GetParams().position, position));
    EXPECT_TRUE(Same(e->GetParams().scaling, CVector3(1, 1, 1)));
    EXPECT_EQ(e->GetParams().linkFrame, frame);
    e->Release();
    e = container_.PlayWithColor(&controller_, nullptr, &rotation, &scaling, 0, frame, nullptr);
    EXPECT_TRUE(Same(e->GetParams().rotation, rotation));
    EXPECT_TRUE(Same(e->GetParams().scaling, scaling));
    e->Release();

    e = container_.PlayAtMatrix(&controller_, &position, &rotation, nullptr, 1, nullptr);
    EXPECT_TRUE(Same(*e->GetPlaceRotation(), rotation));
    EXPECT_EQ(e->GetParams().followPosition, nullptr);
    EXPECT_EQ(controller_.GetFirstEffect(), e);
    e->Release();

    e = container_.PlayAtPosition(&controller_, &position, 0, nullptr);
    EXPECT_TRUE(Same(*e->GetPlacePosition(), position));
    EXPECT_TRUE(Same(*e->GetPlaceRotation(), CVector3()));
    e->Release();

    e = container_.PlayAttached(&controller_, nullptr, nullptr, nullptr, 0, attached, nullptr);
    EXPECT_EQ(e->GetParams().attached, nullptr);
    e->Release();
    EXPECT_EQ(container_.PlayInScene(nullptr, 1, nullptr), nullptr);
    EXPECT_EQ(LiveNodes(), 0u);
}

// The battle plays with PlayAt's time 0 meaning "from now, no end of its
// own": the instance starts at time 0, emits its first key on its first
// update and plays until its owner finishes it.
TEST_F(EffectPlay, PlayAtTimeZeroStartsNowAndPlaysUntilEnded)
{
    Objects(1);
    ParticleKeys(container_.GetObject(0), {{0.0f, 1}});
    CVector3 at(0, 1, 0);
    CEffect* kept = container_.PlayAt(&controller_, &at, nullptr, nullptr, 0.0f, 0, 1, nullptr);
    CEffect* live = container_.PlayAt(&controller_, &at, nullptr, nullptr, 0.0f, 1, 0, nullptr);
    ASSERT_NE(kept, nullptr);
    ASSERT_NE(live, nullptr);
    for (const CEffect* e : {kept, live}) {
        EXPECT_EQ(e->GetTime(), 0.0f);
        EXPECT_EQ(e->GetEndTime(), 0.0f);
        EXPECT_EQ(e->GetParams().color.w, 1.0f);
    }
    EXPECT_EQ(LiveChain(), (std::vector<CEffect*>{live}));
    kept->Update(0);
    Frames(1);
    EXPECT_EQ(CountParticles(kept), 1u);
    EXPECT_EQ(CountParticles(live), 1u);
    Frames(500);
    EXPECT_EQ(LiveChain(), (std::vector<CEffect*>{live})) << "no end of its own";
    EXPECT_FALSE(kept->IsFinished());
    // Its length is 0 (no track keys, particles that live as long as the
    // node): finishing it still ends it rather than leave "no end".
    EXPECT_EQ(live->GetLength(), 0.0f);
    live->Finish();
    Frames(1);
    EXPECT_TRUE(LiveChain().empty());
    kept->Release();
    EXPECT_EQ(LiveNodes(), 0u);
    EXPECT_EQ(LiveParticles(), 0u);
}

// The scenes' forms: UpdateAll without an argument, DrawAll into a render
// list, which takes the sorted particles of registered instances only.
TEST_F(EffectPlay, TheScenesUpdateAndDrawIntoTheirRenderList)
{
    CTexture texture;
    ASSERT_EQ(texture.Create(8, 8, 0, host::render::kFormatA8R8G8B8, host::render::kPoolManaged), 1);
    CEffectObject* o = NewObject("sorted");
    o->SetResource("spark.png", &texture);
    o->GetNodeSettings().sorted = 1;
    ParticleKeys(o, {{0.0f, 2}});
    container_.AddObject(o);
    container_.PlayInScene(&controller_, 1, nullptr);
    CEffect* loose = container_.PlayInScene(&controller_, 0, nullptr);
    ASSERT_EQ(controller_.UpdateAll(), 1);
    loose->Update(0);
    ASSERT_EQ(device_.BeginScene(), 1);
    CRenderList list("描画リスト", 16, &device_);
    ASSERT_EQ(controller_.DrawAll(&list), 1);
    EXPECT_EQ(list.GetUsedCount(), 2u);
    loose->Draw(&list);
    EXPECT_EQ(list.GetUsedCount(), 4u) << "an instance kept by its owner draws through the same list";
    list.Clear();
    device_.EndScene();
    loose->Release();
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
    EXPECT_EQ(followed->GetWorldMatrix()->m[3][0], 2.0f);
    EXPECT_EQ(placed->GetWorldMatrix()->m[3][0], 5.0f);
    EXPECT_EQ(attached->GetWorldMatrix()->m[3][1], 8.0f);
    EXPECT_EQ(attached->GetColor()->w, 0.25f);
}

TEST_F(EffectPlay, AnEndTimeEndsTheInstance)
{
    Objects(2);
    container_.PlayAt(&controller_, nullptr, nullptr, nullptr, 0.045f, 1, 0, nullptr);
    Frames(4);
    EXPECT_EQ(LiveNodes(), 2u);
    Frames(1);
    EXPECT_EQ(LiveNodes(), 0u);
}

// Looping tracks whose repetition has no length (last key at the first's
// time, here both at 0) hold their last key in every loop mode: no division
// by zero, no number that is none, a key emitted once.
TEST_F(EffectPlay, LoopingTracksOfNoLengthHoldTheirLastKey)
{
    for (u32 mode : {0u, 1u, 2u}) {
        CEffectContainer c;
        CEffectObject* o = NewObject("flat");
        o->GetNodeSettings().loopMode = mode;
        ParticleKeys(o, {{0.0f, 2}, {0.5f, 3}});
        o->GetRotationTrack().AddKey(0.0f, CVector3(0, 10, 0));
        o->GetRotationTrack().AddKey(0.5f, CVector3(0, 20, 0));
        o->GetParticleTrack().GetAt(1)->time = 0.0f;
        o->GetRotationTrack().GetAt(1)->time = 0.0f;
        o->GetParticleTrack().SetLoop(1);
        o->GetRotationTrack().SetLoop(1);
        c.AddObject(o);
        CEffect* e = c.PlayInScene(&controller_, 1, nullptr);
        ASSERT_NE(e, nullptr);
        Frames(50);
        EXPECT_EQ(CountParticles(e), 2u) << "mode " << mode;
        EXPECT_EQ(e->GetRotation()->y, 20.0f) << "mode " << mode;
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k) EXPECT_TRUE(std::isfinite(e->GetWorldMatrix()->m[r][k])) << "mode " << mode;
        EXPECT_EQ(e->GetLength(), 0.0f) << "mode " << mode;
        e->Finish();
        Frames(1);
        EXPECT_EQ(LiveNodes(), 0u) << "mode " << mode;
        EXPECT_EQ(LiveParticles(), 0u) << "mode " << mode;
    }
}

TEST_F(EffectPlay, AFullParticlePoolStopsEmissionAndIsReported)
{
    ASSERT_EQ(controller_.Create(&device_, 8, 4), 1);
    Objects(2);
    ParticleKeys(container_.GetObject(0), {{0.0f, 10}});
    ParticleKeys(container_.GetObject(1), {{0.0f, 1}});
    CEffect* e = container_.PlayInScene(&controller_, 0, nullptr);
    EXPECT_EQ(e->Update(0), 0);
    EXPECT_EQ(LiveParticles(), 4u);
    EXPECT_EQ(CountParticles(e), 4u);
    EXPECT_EQ(CountParticles(e->GetNext()), 0u);
    EXPECT_EQ(controller_.GetRefusedParticles(), 2u) << "once for each node that asked";
    EXPECT_EQ(e->Update(0), 1) << "the keys were passed";
    e->Release();
    EXPECT_EQ(LiveParticles(), 0u);
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
    EXPECT_EQ(controller_.GetNodePool().GetNextFree(), 2048u);
    EXPECT_EQ(controller_.GetRefusedNodes(), 2u) << "the partial instance's and the refused play's";

    // 2,048 nodes ask for 6,144 particles.
    ASSERT_EQ(controller_.UpdateAll(), 1);
    EXPECT_EQ(LiveParticles(), 4096u);
    EXPECT_EQ(controller_.GetParticlePool().GetNextFree(), 4096u);
    EXPECT_EQ(controller_.GetRefusedParticles(), 2048u - 4096u / 3) << "once for each node that asked in vain";
    EXPECT_EQ(last->Update(0), 1) << "its keys were passed";
    Frames(3);
    EXPECT_EQ(LiveParticles(), 4096u);
    EXPECT_EQ(LiveChain().size(), instances);

    controller_.DeleteAll();
    EXPECT_EQ(LiveNodes(), 0u);
    EXPECT_EQ(LiveParticles(), 0u);
    EXPECT_EQ(controller_.GetNodePool().GetNextFree(), 0u);
    EXPECT_EQ(controller_.GetParticlePool().GetNextFree(), 0u);
    CEffect* again = PlayRegistered();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Siblings(again).size(), 3u);
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

TEST_F(EffectPlay, DeleteAllEmptiesThePoolsOfEveryRegisteredInstance)
{
    Objects(3);
    ParticleKeys(container_.GetObject(0), {{0.0f, 5}});
    for (int i = 0; i < 4; ++i) PlayRegistered();
    Frames(1);
    EXPECT_EQ(LiveNodes(), 12u);
    EXPECT_EQ(LiveParticles(), 20u);
    controller_.DeleteAll();
    EXPECT_EQ(LiveNodes(), 0u);
    EXPECT_EQ(LiveParticles(), 0u);
    EXPECT_EQ(controller_.GetFirstEffect(), nullptr);
}

TEST_F(EffectPlay, TheControllerKeepsTheEffectSoundSettings)
{
    EXPECT_EQ(controller_.GetSoundSetting()->masterVolume, 0);
    controller_.SetSeVolume(-2500);
    controller_.GetSoundSetting()->minDistance = 10.0f;
    EXPECT_EQ(controller_.GetSoundSetting()->masterVolume, -2500);
    const CEffectController copy(controller_);
    EXPECT_EQ(copy.GetFirstEffect(), nullptr);
    EXPECT_STREQ(controller_.GetNodePool().GetName(), "エフェクト");
    EXPECT_STREQ(controller_.GetParticlePool().GetName(), "パーティクル");
}

TEST(EffectPlayer, HoldsARecordATextAndOneObjectItReleases)
{
    CEffectPlayer player;
    EXPECT_STREQ(player.GetName(), "EffectPlayer");
    EXPECT_STREQ(player.GetClassName(), "CEffectPlayer");
    EXPECT_STREQ(player.GetPlayTrack().GetName(), "Play");
    EXPECT_EQ(player.GetScaling()->x, 1.0f);
    EXPECT_EQ(player.GetColor()->w, 1.0f);
    EXPECT_EQ(player.Update(0), 1);
    player.SetText("Efc_hit");
    player.SetOwned(new CEffectContainer());
    const CEffectPlayer copy(player);
    EXPECT_STREQ(copy.GetText(), "Efc_hit");
    EXPECT_NE(copy.GetOwned(), player.GetOwned());
    EXPECT_EQ(player.Release(), 1);
    EXPECT_EQ(player.GetText(), nullptr);
    EXPECT_EQ(player.GetOwned(), nullptr);
}
