// Effects draw from their controller's generator in a fixed order, so a
// battle replays its effects identically from its seed, and never from the
// global one, which the simulation alone draws from.
#include "engine/scene/tests/EffectTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ORV_TEST_FILE_ID {

using effect_test::NewObject;
using effect_test::ParticleKeys;

// The order itself: with every draw a particle makes landing in a field of
// its own, the generator's sequence, replayed here from the seed, must come
// out newest instance first, each instance's nodes depth first (a node, its
// children, then its next sibling), each node's particles in emission order,
// and within a particle offset (z, y, x), rotation, speed, scaling, colour.
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
        EXPECT_EQ((std::vector<f32>{p->GetStartOffset().x, p->GetStartOffset().y, p->GetStartOffset().z,
                                    p->GetRotationOffset().y, p->GetVelocity().y, p->GetScalingStart().z,
                                    p->GetColorStart().w}),
                  (std::vector<f32>{e.offset.x, e.offset.y, e.offset.z, e.rotation.y, e.speed, e.scalingZ, e.alpha}))
            << where;
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

    controller_.SeedRandom(2024);
    Draws draws{SeededRandomState(2024)};
    SeedRandom(99);
    const RandomState global = g_randomState;
    CEffect* older = container_.PlayInScene(&controller_, 1, nullptr);
    CEffect* newer = container_.PlayInScene(&controller_, 1, nullptr);
    ASSERT_TRUE(older && newer);
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
    const auto state = [&] {
        const CRandom& r = controller_.GetRandom();
        return RandomState{r.x, r.y, r.z, r.w};
    };
    RandomState now = state();
    EXPECT_EQ(std::memcmp(&now, &draws.state, sizeof now), 0) << "no draw besides these";
    // Moving draws nothing.
    Frames(5);
    now = state();
    EXPECT_EQ(std::memcmp(&now, &draws.state, sizeof now), 0);
    EXPECT_EQ(std::memcmp(&g_randomState, &global, sizeof global), 0) << "the simulation's generator was drawn";
}

}  // namespace ORV_TEST_FILE_ID
