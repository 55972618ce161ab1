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
                Put(out, *n->GetWorldMatrix());
                Put(out, *n->GetColor());
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
