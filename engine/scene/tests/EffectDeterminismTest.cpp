// Effects draw from the global random generator in a fixed order: the same
// seed plays the same effect, node for node and particle for particle, so a
// battle replays identically.
#include "engine/scene/tests/EffectTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using effect_test::NewObject;
using effect_test::ParticleKeys;

namespace {

class EffectReplay : public effect_test::EffectFixture {
protected:
    EffectReplay()
    {
        nodes_ = 256;
        particles_ = 1024;
    }

    void SetUp() override
    {
        EffectFixture::SetUp();
        Build();
    }

    // Every spread set, linked generations, a looping track, a nested
    // effect, lives that end mid-play.
    void Build()
    {
        CEffectObject* spray = NewObject("spray");
        EffectParticleSettings& s = spray->GetParticleSettings();
        s.life = 0.3f;
        s.offset.Set(0.5f, 0.25f, 1.0f);
        s.offsetSpread.Set(0.2f, 0.3f, 0.1f);
        s.rotationSpread.Set(10, 180, 45);
        s.scalingSpread.Set(0.1f, 0.2f, 0.3f);
        s.scalingDecrease.Set(0.5f, 0.5f, 0.5f);
        s.direction.Set(0, 1, 0);
        s.directionSpread.Set(0.5f, 0.1f, 0.5f);
        s.spin.Set(0, 90, 30);
        s.colorSpread = CVector4(0.1f, 0.2f, 0.3f, 0.4f);
        s.colorDecrease = CVector4(0, 0, 0, 1);
        s.speed = 3.0f;
        s.speedSpread = 1.5f;
        s.acceleration = -9.8f;
        spray->GetNodeSettings().flags = kPlaceTowardOrigin;
        ParticleKeys(spray, {{0.0f, 3}, {0.05f, 2}});
        spray->GetParticleTrack().SetLoop(1);
        spray->GetRotationTrack().AddKey(0.0f, CVector3(0, 0, 0));
        spray->GetRotationTrack().AddKey(1.0f, CVector3(0, 360, 0));
        container_.AddObject(spray);

        CEffectObject* chain = NewObject("chain");
        chain->GetParticleSettings() = s;
        chain->GetParticleSettings().linked = 1;
        chain->GetParticleSettings().life = 0.5f;
        chain->GetNodeSettings().flags = kPlaceReleased;
        chain->GetNodeSettings().life = 0.8f;
        ParticleKeys(chain, {{0.0f, 2}, {0.1f, 2}, {0.2f, 3}, {0.4f, 1}});
        container_.AddObject(chain);

        CEffectObject* inner = NewObject("inner");
        inner->GetParticleSettings() = s;
        ParticleKeys(inner, {{0.0f, 1}, {0.02f, 1}});
        nested_.AddObject(inner);
        CEffectObject* holder = NewObject("holder");
        holder->GetParticleSettings().offsetSpread.Set(1, 1, 1);
        holder->SetResource("Efc_inner", &nested_);
        ParticleKeys(holder, {{0.03f, 2}});
        container_.AddObject(holder);
    }

    template <class T>
    static void Put(std::string& out, const T& value)
    {
        out.append(reinterpret_cast<const char*>(&value), sizeof value);
    }

    static void PutParticles(std::string& out, const CParticle* head)
    {
        std::vector<const CParticle*> todo{head};
        while (!todo.empty()) {
            const CParticle* p = todo.back();
            todo.pop_back();
            for (; p; p = p->GetNext()) {
                Put(out, p->GetBirthTime());
                Put(out, p->GetStartOffset());
                Put(out, p->GetVelocity());
                Put(out, p->GetRotationOffset());
                Put(out, p->GetScalingStart());
                Put(out, p->GetColorStart());
                Put(out, p->GetLocalPosition());
                Put(out, *p->GetPosition());
                Put(out, *p->GetRotation());
                Put(out, *p->GetScaling());
                Put(out, *p->GetColor());
                Put(out, *p->GetWorldMatrix());
                if (p->GetNested()) PutNodes(out, p->GetNested());
                todo.push_back(p->GetLinked());
            }
        }
    }

    static void PutNodes(std::string& out, const CEffect* first)
    {
        std::vector<const CEffect*> todo{first};
        while (!todo.empty()) {
            const CEffect* n = todo.back();
            todo.pop_back();
            for (; n; n = n->GetNext()) {
                Put(out, n->GetTime());
                Put(out, n->GetParticleCursor());
                Put(out, n->GetSoundCursor());
                Put(out, n->GetEndFlag());
                Put(out, n->GetPlacementMatrix());
                Put(out, *n->GetWorldMatrix());
                Put(out, *n->GetColor());
                Put(out, n->GetUV());
                Put(out, n->GetRect());
                Put(out, n->GetAnimation());
                PutParticles(out, n->GetFirstParticle());
                todo.push_back(n->GetChild());
            }
        }
    }

    // The state of every live node and particle after each frame.
    std::vector<std::string> Replay(u32 seed, u32 frames)
    {
        controller_.DeleteAll();
        SeedRandom(seed);
        const CVector3 at(1, 2, 3);
        container_.PlayAtPosition(&controller_, &at, 1, nullptr);
        std::vector<std::string> states;
        SetFrameTime(16);
        for (u32 f = 0; f < frames; ++f) {
            if (f == 20) container_.PlayAtPosition(&controller_, &at, 1, nullptr);
            controller_.UpdateAll(0);
            std::string state;
            for (const CEffect* e = controller_.GetFirstEffect(); e; e = e->GetNextLive()) PutNodes(state, e);
            Put(state, g_randomState);
            states.push_back(state);
        }
        return states;
    }

    CEffectContainer nested_;
    CEffectContainer container_;
};

}  // namespace

TEST_F(EffectReplay, TheSameSeedPlaysTheSameEffectFrameByFrame)
{
    const auto first = Replay(77, 90);
    const auto second = Replay(77, 90);
    ASSERT_EQ(first.size(), second.size());
    for (size_t f = 0; f < first.size(); ++f) ASSERT_EQ(first[f], second[f]) << "frame " << f;
    EXPECT_GT(first[30].size(), 2000u) << "something to compare";
    const auto other = Replay(78, 90);
    EXPECT_NE(other[5], first[5]) << "the draws come from the generator";
}

// The order itself: with every draw a particle makes landing in a field of
// its own, the generator's sequence, replayed here from the seed, must come
// out newest instance first, each instance's nodes depth first (a node, its
// children, then its next sibling), each node's particles in emission order,
// and within a particle offset (z, y, x), rotation, speed, scaling, colour.
// Comparing two runs of the same code cannot see such an order change; this
// can.
namespace {

class EffectDrawOrder : public effect_test::EffectFixture {
protected:
    // The generator's draws from a copy of its state.
    struct Draws {
        RandomState state;
        f32 Spread(f32 c, i32 steps)
        {
            const u32 span = u32(i64(2.0f * c * f32(steps)));
            return f32(XorShift128(state) % span) / f32(steps) - c;
        }
    };

    // What one particle drew, in the order it must draw it.
    struct Expected {
        CVector3 offset, rotation;
        f32 speed, scalingZ, alpha;
    };

    static CEffectObject* Emitter(const char* name, u32 count)
    {
        CEffectObject* o = NewObject(name);
        EffectParticleSettings& s = o->GetParticleSettings();
        s.offsetSpread.Set(1.0f, 2.0f, 3.0f);
        s.rotationSpread.Set(0.0f, 45.0f, 0.0f);
        s.direction.Set(0.0f, 1.0f, 0.0f);
        s.speed = 2.0f;
        s.speedSpread = 0.5f;
        s.scalingSpread.Set(0.0f, 0.0f, 0.25f);
        s.colorSpread = CVector4(0.0f, 0.0f, 0.0f, 0.5f);
        ParticleKeys(o, {{0.0f, count}});
        return o;
    }

    static Expected Next(Draws& d)
    {
        Expected e;
        const f32 z = d.Spread(3.0f, 100), y = d.Spread(2.0f, 100), x = d.Spread(1.0f, 100);
        e.offset.Set(x, y, z);
        e.rotation.Set(0.0f, d.Spread(45.0f, 100), 0.0f);
        e.speed = 2.0f + d.Spread(0.5f, 100);
        e.scalingZ = 1.0f + d.Spread(0.25f, 100);
        e.alpha = 1.0f + d.Spread(0.5f, 100);
        return e;
    }

    static void Check(const CParticle* p, const Expected& e, const std::string& where)
    {
        ASSERT_NE(p, nullptr) << where;
        EXPECT_EQ(p->GetStartOffset().x, e.offset.x) << where;
        EXPECT_EQ(p->GetStartOffset().y, e.offset.y) << where;
        EXPECT_EQ(p->GetStartOffset().z, e.offset.z) << where;
        EXPECT_EQ(p->GetRotationOffset().y, e.rotation.y) << where;
        EXPECT_EQ(p->GetVelocity().y, e.speed) << where;
        EXPECT_EQ(p->GetScalingStart().z, e.scalingZ) << where;
        EXPECT_EQ(p->GetColorStart().w, e.alpha) << where;
    }

    CEffectContainer container_;
};

}  // namespace

TEST_F(EffectDrawOrder, TheGeneratorIsDrawnInTheOrderOfInstancesNodesParticlesAndFields)
{
    // root (2 particles) with a child (1), then a sibling (1).
    CEffectObject* root = Emitter("root", 2);
    CEffectObject* child = Emitter("child", 1);
    child->SetParentObject(root);
    container_.AddObject(root);
    container_.AddObject(child);
    container_.AddObject(Emitter("sibling", 1));

    SeedRandom(2024);
    Draws draws{g_randomState};
    CEffect* older = container_.PlayInScene(&controller_, 1, nullptr);
    CEffect* newer = container_.PlayInScene(&controller_, 1, nullptr);
    ASSERT_NE(older, nullptr);
    ASSERT_NE(newer, nullptr);
    Frames(1);

    for (CEffect* instance : {newer, older}) {
        const std::string which = instance == newer ? "newer " : "older ";
        const CParticle* first = instance->GetFirstParticle();
        Check(first, Next(draws), which + "root 0");
        Check(first ? first->GetNext() : nullptr, Next(draws), which + "root 1");
        ASSERT_NE(instance->GetChild(), nullptr);
        Check(instance->GetChild()->GetFirstParticle(), Next(draws), which + "child");
        ASSERT_NE(instance->GetNext(), nullptr);
        Check(instance->GetNext()->GetFirstParticle(), Next(draws), which + "sibling");
    }
    const RandomState now = g_randomState;
    EXPECT_EQ(std::memcmp(&now, &draws.state, sizeof now), 0) << "no draw besides these";
    // Moving draws nothing.
    Frames(5);
    EXPECT_EQ(std::memcmp(&g_randomState, &draws.state, sizeof now), 0);
}
