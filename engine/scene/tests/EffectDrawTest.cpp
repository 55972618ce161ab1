// Drawing effects on the fake device: the calls each particle makes, its
// blend mode, its billboard, fog, sorting through the render list and
// trails.
#include "engine/graphics/Texture.h"
#include "engine/model/PrimitiveList.h"
#include "engine/model/RenderList.h"
#include "engine/scene/tests/EffectTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace ORV_TEST_FILE_ID {

using effect_test::ExpectNear;
using effect_test::NewObject;
using effect_test::ParticleKeys;
namespace render = host::render;

namespace {

// One sprite as the fake saw it drawn.
struct Drawn {
    u32 src = 0, dest = 0, op = 0;
    u64 texture = 0;
    CMatrix world;
};

class EffectDraw : public effect_test::EffectFixture {
protected:
    void SetUp() override
    {
        EffectFixture::SetUp();
        ASSERT_EQ(texture_.Create(32, 16, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
        ASSERT_EQ(device_.BeginScene(), 1);
    }

    void TearDown() override
    {
        device_.EndScene();
        EffectFixture::TearDown();
    }

    // A sprite object emitting one particle at time 0, with the settings
    // the test changes.
    CEffectObject* Sprite(const char* name)
    {
        CEffectObject* o = NewObject(name);
        o->SetResource("spark.png", &texture_);
        ParticleKeys(o, {{0.0f, 1}});
        container_.AddObject(o);
        return o;
    }

    // The blend states a mode sets.
    Drawn BlendOf(u32 mode)
    {
        device_.SetBlendMode(mode);
        Drawn d;
        d.src = Fake().RenderState(render::kRsSrcBlend);
        d.dest = Fake().RenderState(render::kRsDestBlend);
        d.op = Fake().RenderState(render::kRsBlendOp);
        return d;
    }

    // The sprites drawn since the log was cleared, with the states then.
    std::vector<Drawn> Sprites() const
    {
        std::vector<Drawn> out;
        Drawn now;
        now.src = start_.src, now.dest = start_.dest, now.op = start_.op;
        for (const render::Call& c : fake_->Calls()) {
            if (c.op == "SetRenderState") {
                const u32 state = c.U32("state"), value = c.U32("value");
                if (state == render::kRsSrcBlend) now.src = value;
                if (state == render::kRsDestBlend) now.dest = value;
                if (state == render::kRsBlendOp) now.op = value;
            } else if (c.op == "SetTransform" && c.U32("transform") == render::kTransformWorld) {
                std::memcpy(now.world.m, c.data.data(), 64);
            } else if (c.op == "DrawPrimitiveUP") {
                now.texture = u64(c.Number("texture"));
                out.push_back(now);
            }
        }
        return out;
    }

    // Plays, updates once and clears the log; the states then are the
    // scanner's start.
    CEffect* PlayReady(const CVector3& at = CVector3())
    {
        CEffect* e = container_.PlayAtPosition(&controller_, &at, 0, nullptr);
        SetFrameTime(10);
        e->Update(0);
        device_.SetBlendMode(0);
        start_ = BlendOf(0);
        fake_->ClearLog();
        return e;
    }

    // Direction d turned by the rotation part of m.
    static CVector3 Turned(const CVector3& d, const CMatrix& m)
    {
        CVector3 out;
        d.TransformNormalInto(m, &out);
        return out;
    }

    CTexture texture_;
    CEffectContainer container_;
    Drawn start_;
};

}  // namespace

TEST_F(EffectDraw, EachSpriteDrawsItsTextureWithItsNodesBlendMode)
{
    Sprite("add")->GetNodeSettings().blendMode = 2;
    CEffectObject* sub = Sprite("sub");
    sub->GetNodeSettings().blendMode = 4;
    sub->GetColorTrack().AddKey(0.0f, CVector4(1, 1, 1, 0.5f));
    const Drawn add = BlendOf(2), subtract = BlendOf(4);
    CEffect* e = PlayReady(CVector3(1, 2, 3));
    e->Draw(nullptr);
    const auto drawn = Sprites();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].texture, fake_->IdOf(texture_.GetTexture()));
    EXPECT_EQ(std::tuple(drawn[0].src, drawn[0].dest, drawn[0].op), std::tuple(add.src, add.dest, add.op));
    EXPECT_EQ(std::tuple(drawn[1].src, drawn[1].dest, drawn[1].op), std::tuple(subtract.src, subtract.dest, subtract.op));
    // Without a billboard the sprite is drawn at its world matrix; its
    // colour carries the node's alpha.
    ExpectNear(drawn[0].world, *e->GetFirstParticle()->GetWorldMatrix());
    EXPECT_EQ(drawn[0].world.m[3][1], 2.0f);
    const render::Call quad = fake_->Find(render::CallMatch("DrawPrimitiveUP")).back();
    EXPECT_EQ(quad.U32At(12) >> 24, 127u);
}

TEST_F(EffectDraw, BillboardsTurnTheSpriteToTheCamera)
{
    CEffectObject* o = Sprite("board");
    o->GetRotationTrack().AddKey(0.0f, CVector3(0, 0, 30));
    o->GetPositionTrack().AddKey(0.0f, CSegment(CVector3(), CVector3(4, 5, 6)));

    // No camera: no billboard, whatever the mode.
    o->GetNodeSettings().billboard = 1;
    CEffect* e = PlayReady();
    CParticle* p = e->GetFirstParticle();
    ExpectNear(p->MakeDrawMatrix(), *p->GetWorldMatrix());

    const CMatrix& world = *p->GetWorldMatrix();
    CMatrix rotation = world;
    rotation.m[3][0] = rotation.m[3][1] = rotation.m[3][2] = 0.0f;
    // Mode 3 turns about y only: seen along e = (5, -3, 5), -atan(1) + 90
    // degrees; along (-5, 3, 5), -atan(-1) - 90.
    const struct {
        u32 mode;
        CVector3 eye;
        f32 turnY;
    } modes[] = {{0, {-5, 3, -5}, 0}, {1, {-5, 3, -5}, 0}, {2, {-5, 3, -5}, 0}, {3, {-5, 3, -5}, 45}, {3, {5, -3, -5}, -45}};
    for (const auto& m : modes) {
        SCOPED_TRACE(testing::Message() << m.mode << " from x " << m.eye.x);
        LookFrom(m.eye, CVector3(0, 0, 0));
        const CMatrix board = m.mode == 1   ? camera_.GetViewMatrix()->GetInverse()
                              : m.mode == 2 ? camera_.GetOrientation()
                                            : CMatrix().RotationY(m.turnY);
        o->GetNodeSettings().billboard = m.mode;
        fake_->ClearLog();
        e->Draw(nullptr);
        const auto drawn = Sprites();
        ASSERT_EQ(drawn.size(), 1u);
        CMatrix expected = rotation * board;
        expected.m[3][0] = world.m[3][0], expected.m[3][1] = world.m[3][1], expected.m[3][2] = world.m[3][2];
        expected.m[3][3] = 1.0f;
        ExpectNear(drawn[0].world, expected);
        EXPECT_EQ(drawn[0].world.m[3][2], 6.0f);
    }
}

TEST_F(EffectDraw, AnAxisLockedBillboardFacesTheCameraAcrossItsFreeAxes)
{
    CEffectObject* o = Sprite("locked");
    o->GetNodeSettings().billboard = 4;
    o->GetNodeSettings().axisWeights.Set(0, 1, 0);
    CEffect* e = PlayReady();
    // Seen from (10, 5, 0) with the y axis locked, the sprite's facing
    // (-z) turns to the eye's side across x and z only.
    LookFrom(CVector3(10, 5, 0), CVector3(0, 0, 0));
    const CVector3 facing = Turned(CVector3(0, 0, -1), e->GetFirstParticle()->MakeDrawMatrix());
    ExpectNear(facing, CVector3(1, 0, 0));
    // A z weight tilts the facing about x by 90 degrees a unit first: with
    // z locked and the eye above, the tilted facing turns up.
    o->GetNodeSettings().axisWeights.Set(0, 0, 1);
    LookFrom(CVector3(0, 10, -10), CVector3(0, 0, 0));
    CVector3 tilted;
    CVector3(0, 0, -1).TransformNormalInto(CMatrix().RotationX(90.0f), &tilted);
    ExpectNear(Turned(tilted, e->GetFirstParticle()->MakeDrawMatrix()), CVector3(0, 1, 0));
    // Looking along the locked axes themselves there is nothing to turn to.
    LookFrom(CVector3(0, 0, -10), CVector3(0, 0, 0));
    ExpectNear(e->GetFirstParticle()->MakeDrawMatrix(), *e->GetFirstParticle()->GetWorldMatrix());
}

TEST_F(EffectDraw, SortedParticlesGoThroughTheRenderList)
{
    CEffectObject* o = Sprite("sorted");
    o->GetNodeSettings().sorted = 1;
    o->GetNodeSettings().drawLayer = 3;
    o->GetNodeSettings().userWord = 0xFFFFFFFFu;
    o->GetParticleTrack().GetAt(0)->value = 4;
    Sprite("direct");
    LookFrom(CVector3(0, 0, -10), CVector3(0, 0, 0));
    CEffect* e = PlayReady();
    CRenderList list("描画リスト", 16, &device_);
    e->Draw(&list);
    EXPECT_EQ(Sprites().size(), 1u) << "only the unsorted one at once";
    ASSERT_EQ(list.GetUsedCount(), 4u);
    EXPECT_EQ(list.GetEntry(0)->GetDrawPriority(), 3);
    EXPECT_EQ(list.GetEntry(0)->IsDepthSorted(), 1u);
    fake_->ClearLog();
    list.Draw();
    EXPECT_EQ(Sprites().size(), 4u);
    // Without a render list they draw at once.
    fake_->ClearLog();
    e->Draw(nullptr);
    EXPECT_EQ(Sprites().size(), 5u);
}

TEST_F(EffectDraw, TheFogFlagTurnsFogOffForTheParticleOnly)
{
    Sprite("fogless")->GetNodeSettings().flags = kPlaceFogOff;
    CEffect* e = PlayReady();
    device_.SetFogEnable(1);
    fake_->ClearLog();
    e->Draw(nullptr);
    EXPECT_TRUE(fake_->HasSequence({render::CallMatch("SetRenderState").With("state", render::kRsFogEnable).With("value", 0),
        render::CallMatch("DrawPrimitiveUP"),
        render::CallMatch("SetRenderState").With("state", render::kRsFogEnable).With("value", 1)}));
    EXPECT_EQ(device_.GetRenderStates()->fogEnable, 1u);
}

TEST_F(EffectDraw, FaintUnbornAndResourcelessParticlesDrawNothing)
{
    CEffectObject* faint = Sprite("faint");
    faint->GetColorTrack().AddKey(0.0f, CVector4(1, 1, 1, 0.001f));
    CEffectObject* bare = NewObject("bare");
    ParticleKeys(bare, {{0.0f, 1}});
    container_.AddObject(bare);
    CEffectObject* late = Sprite("late");
    late->GetParticleTrack().GetAt(0)->time = 0.005f;
    CEffect* e = PlayReady();
    e->GetNext()->GetNext()->SetTime(0.001f);
    e->Draw(nullptr);
    EXPECT_EQ(Sprites().size(), 0u);
}

TEST_F(EffectDraw, TrailsDrawWithTheirParticle)
{
    CEffectObject* o = Sprite("trailed");
    CEffectTrace trace;
    trace.edge0.Set(0, 1, 0);
    trace.vertexCount = 8;
    o->AddTrace(trace);
    o->GetParticleSettings().speed = 1.0f;
    o->GetParticleSettings().direction.Set(1, 0, 0);
    CEffect* e = PlayReady();
    SetFrameTime(10);
    for (int i = 0; i < 3; ++i) e->Update(0);
    fake_->ClearLog();
    e->Draw(nullptr);
    EXPECT_EQ(fake_->Count("DrawIndexedPrimitive"), 1u);
    EXPECT_EQ(Sprites().size(), 1u);
    e->Release();

    // Sorted, the trail is queued with its particle.
    o->GetNodeSettings().sorted = 1;
    CEffect* sorted = PlayReady();
    for (int i = 0; i < 3; ++i) sorted->Update(0);
    CRenderList list("描画リスト", 16, &device_);
    fake_->ClearLog();
    sorted->Draw(&list);
    EXPECT_EQ(fake_->Count("DrawIndexedPrimitive"), 0u);
    EXPECT_EQ(list.GetUsedCount(), 2u);
    list.Draw();
    EXPECT_EQ(fake_->Count("DrawIndexedPrimitive"), 1u);
    EXPECT_EQ(Sprites().size(), 1u);
}

TEST_F(EffectDraw, DrawAllDrawsTheRegisteredInstances)
{
    Sprite("one");
    container_.PlayInScene(&controller_, 1, nullptr);
    container_.PlayInScene(&controller_, 1, nullptr);
    CEffect* loose = container_.PlayInScene(&controller_, 0, nullptr);
    controller_.UpdateAll(0);
    loose->Update(0);
    fake_->ClearLog();
    ASSERT_EQ(controller_.DrawAll(0, nullptr), 1);
    EXPECT_EQ(Sprites().size(), 2u);
}

// A trace of any vertex count loads and draws: its trail keeps at most
// 4,096 vertices (2,048 rows), the newest ones, and still steps its
// texture by the stored count.
TEST_F(EffectDraw, TrailsAtAndPastTheLimitLoadAndDrawTheirNewestPoints)
{
    CEffectContainer made;
    CEffectObject* o = NewObject("long");
    o->SetResource("spark.png", &texture_);
    ParticleKeys(o, {{0.0f, 1}});
    const u32 counts[] = {4096, 4098, 0xFFFFFFFFu};
    for (const u32 n : counts) {
        CEffectTrace trace;
        trace.edge0.Set(0, 1, 0);
        trace.vertexCount = n;
        o->AddTrace(trace);
    }
    made.AddObject(o);
    const std::string bytes = made.SaveToMemory();
    ASSERT_EQ(container_.LoadFromMemory(bytes.data(), bytes.size()), 1u);
    container_.GetObject(0)->BindResource(&texture_);
    CEffect* e = PlayReady();
    e->Update(0);
    const CResourceList* trails = e->GetFirstParticle()->GetTrails();
    ASSERT_EQ(trails->GetCount(), 3u);
    for (u32 i = 0; i < 3; ++i) {
        SCOPED_TRACE(counts[i]);
        auto* list = static_cast<CPrimitiveList*>(static_cast<CValueBase*>(trails->GetAt(i)));
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->GetRows(), CParticle::kMaxTrailVertices / 2);
        EXPECT_EQ(list->GetVertexCount(), 4u);
        EXPECT_FLOAT_EQ(list->GetVertex(2)->TexCoord0[0], 1.0f / f32(counts[i]));
    }
    fake_->ClearLog();
    e->Draw(nullptr);
    const auto draws = fake_->Find(render::CallMatch("DrawIndexedPrimitive"));
    ASSERT_EQ(draws.size(), 3u);
    for (const render::Call& c : draws) EXPECT_EQ(c.U32("count"), 4u) << "one segment, both windings";
}

}  // namespace ORV_TEST_FILE_ID
