// Particles: motion, colour, life and death in their chains, linked
// generations, nested effects and trails.
#include "engine/graphics/Texture.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelMaterial.h"
#include "engine/model/ModelObject.h"
#include "engine/model/PrimitiveList.h"
#include "engine/scene/tests/EffectTestSupport.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

using effect_test::NewObject;
using effect_test::ParticleKeys;

namespace {

class Particles : public effect_test::SpriteEffectFixture {
protected:
    // A sprite object of container_ that moves up at speed.
    CEffectObject* Rising(const char* name, f32 speed)
    {
        CEffectObject* o = NewObject(name);
        o->SetResource("spark.png", &texture_);
        o->GetParticleSettings().direction.Set(0, 1, 0);
        o->GetParticleSettings().speed = speed;
        container_.AddObject(o);
        return o;
    }

    static std::vector<CParticle*> Chain(CParticle* p)
    {
        std::vector<CParticle*> out;
        for (; p; p = p->GetNext()) out.push_back(p);
        return out;
    }
};

}  // namespace

TEST_F(Particles, MoveByVelocityAndAccelerationFromTheirNode)
{
    CEffectObject* o = Rising("up", 2.0f);
    o->GetParticleSettings().acceleration = -10.0f;
    o->GetParticleSettings().offset.Set(0, 0, 0);
    ParticleKeys(o, {{0.0f, 1}});
    const CVector3 at(5, 0, 0);
    CEffect* e = container_.PlayAtPosition(&controller_, &at, 0, nullptr);
    Run(e, 10);
    const CParticle* p = e->GetFirstParticle();
    ASSERT_NE(p, nullptr);
    const f32 a = e->GetTime();
    effect_test::ExpectNear(*p->GetPosition(), CVector3(5, 2.0f * a - 5.0f * a * a, 0), "", 1e-6f);
    Run(e, 100);
    EXPECT_EQ(CountParticles(e), 1u) << "a life of 0 lasts as long as the node";
}

TEST_F(Particles, ColoursAreClampedAndFaintParticlesMoveUnseen)
{
    CEffectObject* o = Rising("fade", 1.0f);
    o->GetParticleSettings().colorDecrease = CVector4(-1.0f, 4.0f, 0.0f, 1.0f);
    ParticleKeys(o, {{0.0f, 1}});
    CEffect* e = Play();
    Run(e, 50);
    const CParticle* p = e->GetFirstParticle();
    EXPECT_EQ(std::pair(p->GetColor()->x, p->GetColor()->y), std::pair(1.0f, 0.0f));
    EXPECT_EQ(SpritesDrawn(e), 1u);
    Run(e, 50);
    EXPECT_LE(p->GetColor()->w, 0.001f);
    const f32 y = p->GetPosition()->y;
    EXPECT_EQ(SpritesDrawn(e), 0u);
    Run(e, 1);
    EXPECT_GT(p->GetPosition()->y, y);
}

TEST_F(Particles, ADyingParticleLeavesTheRestOfItsChain)
{
    CEffectObject* o = Rising("dying", 0.0f);
    o->GetParticleSettings().life = 0.15f;
    ParticleKeys(o, {{0.0f, 1}, {0.1f, 1}, {0.2f, 1}});
    CEffect* e = Play();
    Run(e, 21);
    ASSERT_EQ(CountParticles(e), 2u);
    EXPECT_EQ(e->GetFirstParticle()->GetBirthTime(), 0.1f);
    EXPECT_EQ(e->GetFirstParticle()->GetPrev(), nullptr);
    Run(e, 10);
    EXPECT_EQ(LiveParticles(), 1u);
    EXPECT_EQ(e->GetFirstParticle()->GetBirthTime(), 0.2f);

    // Releasing one from the middle of a chain joins its neighbours.
    ParticleKeys(o, {{0.5f, 3}});
    o->GetParticleSettings().life = 0.0f;
    Run(e, 30);
    auto all = Chain(e->GetFirstParticle());
    ASSERT_EQ(all.size(), 3u);
    all[1]->Release();
    EXPECT_EQ(Chain(e->GetFirstParticle()), (std::vector<CParticle*>{all[0], all[2]}));
    EXPECT_EQ(all[2]->GetPrev(), all[0]);
}

TEST_F(Particles, LinkedGenerationsHangOffTheOldOnesAndDieWithThem)
{
    CEffectObject* o = Rising("linked", 0.0f);
    o->GetParticleSettings().linked = 1;
    o->GetParticleSettings().life = 0.25f;
    ParticleKeys(o, {{0.0f, 2}, {0.1f, 2}, {0.2f, 3}});
    CEffect* e = Play();
    Run(e, 21);
    // p1 p2 r3 on the node; q1 and then r1 in front of it hang off p2 (the
    // old tail), q2 and r2 off p1; r3 came after the walk passed p1.
    const auto top = Chain(e->GetFirstParticle());
    ASSERT_EQ(top.size(), 3u);
    const auto underP2 = Chain(top[1]->GetLinked());
    const auto underP1 = Chain(top[0]->GetLinked());
    ASSERT_EQ(underP2.size(), 2u);
    ASSERT_EQ(underP1.size(), 2u);
    EXPECT_EQ(std::pair(underP2[0]->GetBirthTime(), underP2[1]->GetBirthTime()), std::pair(0.2f, 0.1f));
    EXPECT_EQ(std::pair(underP2[0]->GetHangOwner(), underP2[1]->GetHangOwner()), std::pair(top[1], (CParticle*)nullptr));
    // A linked particle follows the one it hangs off.
    EXPECT_EQ(underP2[0]->GetOwner(), top[1]);
    // p1 and p2 die first and take what hangs off them; r3 stays.
    Run(e, 5);
    EXPECT_EQ(LiveParticles(), 1u);
    EXPECT_EQ(e->GetFirstParticle(), top[2]);
    EXPECT_EQ(top[2]->GetPrev(), nullptr);
}

TEST_F(Particles, NestedEffectsPlayPerParticleAndStopNesting)
{
    CEffectContainer inner;
    CEffectObject* spark = NewObject("spark");
    spark->SetResource("spark.png", &texture_);
    ParticleKeys(spark, {{0.0f, 1}});
    inner.AddObject(spark);
    CEffectObject* outer = NewObject("outer");
    outer->SetResource("Efc_inner", &inner);
    outer->GetParticleSettings().offset.Set(0, 0, 0);
    ParticleKeys(outer, {{0.0f, 2}});
    container_.AddObject(outer);
    const CVector3 at(0, 3, 0);
    CEffect* e = container_.PlayAtPosition(&controller_, &at, 0, nullptr);
    Run(e, 2);
    EXPECT_EQ(LiveNodes(), 3u);
    EXPECT_EQ(LiveParticles(), 4u);
    const CParticle* p = e->GetFirstParticle();
    ASSERT_NE(p->GetNested(), nullptr);
    EXPECT_EQ(p->GetNested()->GetWorldMatrix()->m[3][1], 3.0f) << "on its particle";
    EXPECT_EQ(SpritesDrawn(e), 2u) << "the nested sparks, not their holders";
    e->Release();
    EXPECT_EQ(LiveNodes() + LiveParticles(), 0u);

    // A definition that nests itself stops some levels down.
    CEffectContainer self;
    CEffectObject* again = NewObject("again");
    again->SetResource("Efc_self", &self);
    ParticleKeys(again, {{0.0f, 1}});
    self.AddObject(again);
    CEffect* s = self.PlayInScene(&controller_, 0, nullptr);
    Run(s, 30);
    EXPECT_EQ(LiveNodes(), CEffect::kMaxNestLevel);
    EXPECT_EQ(LiveParticles(), CEffect::kMaxNestLevel);
    s->Release();
    EXPECT_EQ(LiveNodes(), 0u);
}

TEST_F(Particles, TrailsShiftOlderPointsBackAndNarrowThem)
{
    CEffectObject* o = Rising("trail", 1.0f);
    CEffectTrace trace;
    trace.edge0.Set(0, 1, 0);
    trace.edge1.Set(0, -1, 0);
    trace.alphaDecrease = 0.25f;
    trace.widthFactor = 0.5f;
    trace.vertexCount = 6;
    trace.texture = &texture_;
    o->AddTrace(trace);
    trace.vertexCount = 3;   // a single point: no trail
    o->AddTrace(trace);
    ParticleKeys(o, {{0.0f, 1}});
    CEffect* e = Play();
    Run(e, 1);
    const CParticle* p = e->GetFirstParticle();
    ASSERT_EQ(p->GetTrails()->GetCount(), 2u);
    EXPECT_EQ(p->GetTrails()->GetAt(1), nullptr);
    auto* list = static_cast<CPrimitiveList*>(static_cast<CValueBase*>(p->GetTrails()->GetAt(0)));
    EXPECT_EQ(list->GetTexture(), &texture_);
    const f32 y0 = p->GetPosition()->y;
    EXPECT_NEAR(list->GetVertex(0)->Position.y, y0 + 1.0f, 1e-6f);
    EXPECT_EQ(list->GetVertex(0)->TexCoord0[1], 1.0f);
    Run(e, 1);
    EXPECT_EQ(list->GetVertexCount(), 4u);
    const CModelVertex& a = *list->GetVertex(2);
    const CModelVertex& b = *list->GetVertex(3);
    EXPECT_NEAR(a.Position.y, y0 + 1.0f, 1e-6f);
    EXPECT_NEAR(b.Position.y, y0, 1e-6f) << "halfway to its first vertex";
    EXPECT_EQ(std::pair(a.TexCoord0[0], a.Color.w), std::pair(1.0f / 6.0f, 0.75f));
    Run(e, 5);
    EXPECT_EQ(list->GetVertexCount(), 6u);
    EXPECT_EQ(list->GetPosition()->y, list->GetVertex(0)->Position.y);
}

TEST_F(Particles, ModelParticlesSetTheirMaterialsTextureOffsetFromTheNode)
{
    CMesh mesh;
    auto* object = new CModelObject();
    void* material = new CModelMaterial();
    object->GetMaterialList()->Add(&material);
    AppendElement(mesh.GetModelObjects(), object);
    CEffectObject* o = NewObject("model");
    o->SetResource("ring.mdl", &mesh);
    o->GetUVTrack().AddKey(0.0f, CVector3(0.25f, 0.5f, 0));
    o->GetNodeSettings().radiusFactor = 2.0f;
    o->GetParticleSettings().scalingDecrease.Set(-1, 0, 0);
    ParticleKeys(o, {{0.0f, 1}});
    container_.AddObject(o);
    CEffect* e = Play();
    Run(e, 50);
    e->Draw(nullptr);
    const auto* m = static_cast<CModelMaterial*>(object->GetMaterialList()->GetAt(0));
    EXPECT_EQ(std::pair(m->AddUV[0], m->AddUV[1]), std::pair(0.25f, 0.5f));
    const CParticle* p = e->GetFirstParticle();
    EXPECT_NEAR(p->GetBoundingRadius(), 2.0f * p->GetScaling()->x, 1e-5f);
    EXPECT_GT(p->GetScaling()->x, 1.4f);
}

}  // namespace ORV_TEST_FILE_ID
