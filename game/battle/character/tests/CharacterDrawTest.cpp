// A fighter drawn on the fake render device: the face textures its
// expressions pick, the fade of its afterimages, the render states of the
// front-surface afterimages, and the ribbons behind its bones.
#include "CharacterTestSupport.h"

#include "engine/graphics/Shader.h"
#include "engine/graphics/Texture.h"
#include "engine/model/AnimationController.h"
#include "engine/model/ModelObject.h"
#include "engine/model/PrimitiveList.h"
#include "engine/model/RenderList.h"
#include "engine/model/tests/ModelDeviceTest.h"

#include <cstring>
#include <string>

namespace ORV_TEST_FILE_ID {

using namespace character_test;
namespace render = host::render;

namespace {

class CharacterDrawTest : public CharacterTest {
protected:
    static void SetUpTestSuite()
    {
        host::window::InstallFakeWindow();
        fake_ = &render::InstallFakeRender();
        system_ = new CSystem();
        device_ = new CGraphicDevice();
        host::kernel::FakeClock clock{1000};
        host::kernel::ScopedClock scoped{clock};
        ASSERT_EQ(system_->Create(GetModuleInstance(), "Draw", -1, -1, 640, 480, 0xCA0000, 105, &Proc, nullptr), 1);
        ASSERT_EQ(device_->Create(system_), 1);
    }
    static void TearDownTestSuite()
    {
        device_->Release();
        delete device_;
        delete system_;
        render::InstallBackend(nullptr);
    }
    static host::window::LResult Proc(host::window::Handle w, uint32_t m, host::window::WParam wp,
                                      host::window::LParam lp)
    {
        return host::window::DefWindowProc(w, m, wp, lp);
    }

    // Four afterimages a tenth of a second apart; faces A and B; two
    // expressions (material 0 on face 0, then face 1); trails of 4 points
    // on the arm and on a bone the model lacks.
    void SetUp() override
    {
        CharacterTest::SetUp();
        fighter_test::FighterParameter("Test")
            .Set("AFTERIMAGECOUNT", 4)
            .Set("MATRIXUPDATETIME", 0.1f)
            .Set("FACE", "FaceA.bmp")
            .Set("FACE", "FaceB.bmp")
            .Set("TRACE", "count:4 AlphaAttenuation:0.5 endy:1 bone:\"Arm\"")
            .Set("TRACE", "count:4 AlphaAttenuation:0.5 endy:1 bone:\"Tail\"")
            .Save("Chr_Test.txt");
        setting_test::WriteBytes("Chara.fac", face_test::FaceFileBytes({{"normal", {{{0, 0}}, {}}},
                                                                         {"smile", {{{0, 1}}, {}}}},
                                                                        {}));
        for (const char* name : {"FaceA.bmp", "FaceB.bmp", "Own.bmp"}) {
            auto* texture = new CTexture();
            ASSERT_EQ(texture->Create(4, 4, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
            texture->SetName(name);
            faces_.push_back(texture);
            if (std::strcmp(name, "Own.bmp") != 0) AppendElement(resources_.GetTextureList(), texture);
        }
        // The model with device buffers and a texture of its own.
        auto* model = ListElement<CMesh>(resources_.GetModelList(), 0);
        for (u32 o = 0; o < model->GetModelObjectCount(); ++o) ASSERT_EQ(model->GetModelObject(o)->Finalize(), 1);
        material_ = static_cast<CModelMaterial*>(model->GetModelObject(0)->GetMaterialList()->GetAt(0));
        material_->AddTexture(faces_[2]);
        delete faces_[2];
        // The fixed pipeline logs each draw's material colours.
        shader_ = GetDefaultShader();
        SetDefaultShader(nullptr);
        ASSERT_EQ(device_->BeginScene(), 1);
    }
    void TearDown() override
    {
        device_->EndScene();
        SetDefaultShader(shader_);
        CharacterTest::TearDown();
    }

    std::unique_ptr<CPlayerCharacter> Fighter(u32 quality, u32 samples = 0, i32 afterimages = 4)
    {
        auto c = NewFighter();
        c->GetParameter()->values.body.afterimageCount = afterimages;
        CharacterCreateRecord record;
        record.position = CVector3(0, 0, 5);
        record.afterimageQuality = quality;
        record.trailSamples = samples;
        EXPECT_EQ(c->Initialize(reinterpret_cast<intptr_t>(&record)), 1);
        return c;
    }

    // Moves the fighter to x and poses its bones there, as the late update does.
    static void PlaceAt(CPlayerCharacter& c, f32 x)
    {
        c.GetPosition()->x = x;
        c.UpdateMatrix();
        c.GetAnimationController()->UpdateMatrices(c.GetWorldMatrix());
    }

    // Fills every record: one shift a frame.
    static void FillAfterimages(CPlayerCharacter& c)
    {
        for (u32 i = 0; i < 4; ++i) {
            c.GetStatus()->afterimageClock = 0.1f;
            c.UpdateAfterimages(0);
        }
    }

    static u64 BoundTexture(const render::Call& draw) { return u64(draw.Number("texture")); }
    u64 IdOf(const CTexture* texture) const { return fake_->IdOf(texture->GetTexture()); }

    static std::vector<render::Material> Materials()
    {
        std::vector<render::Material> out;
        for (const render::Call& call : fake_->Find(render::CallMatch("SetMaterial"))) {
            render::Material m;
            std::memcpy(&m, call.data.data(), sizeof m);
            out.push_back(m);
        }
        return out;
    }

    static inline render::FakeRender* fake_ = nullptr;
    static inline CSystem* system_ = nullptr;
    static inline CGraphicDevice* device_ = nullptr;
    std::vector<CTexture*> faces_;
    CModelMaterial* material_ = nullptr;
    CShader* shader_ = nullptr;
};

}  // namespace

// Track 0 of the expression at its clock picks the face texture of material
// 0 for the draw; an expression past the face records leaves the last pick.
// The material gets its own texture back afterwards.
TEST_F(CharacterDrawTest, ExpressionsPickTheFaceTextures)
{
    auto c = Fighter(0);
    const struct { i32 expression; u32 face; } cases[] = {{0, 0}, {1, 1}, {7, 1}, {-1, 1}};
    for (const auto& k : cases) {
        c->GetStatus()->expression = k.expression;
        c->GetStatus()->materialTextures[0] = 1;
        fake_->ClearLog();
        ASSERT_EQ(c->Draw(static_cast<CRenderList*>(nullptr)), 1);
        const auto draws = fake_->Find(render::CallMatch("DrawIndexedPrimitive"));
        ASSERT_EQ(draws.size(), 1u) << k.expression;
        EXPECT_EQ(BoundTexture(draws[0]), IdOf(faces_[k.face])) << k.expression;
        EXPECT_STREQ(material_->GetTexture(0)->GetName(), "Own.bmp") << k.expression;
    }
}

// Real frames of 50 ms with MATRIXUPDATETIME 0.1: the fighter's clock
// shifts the records every second frame, so record 1 holds the world matrix
// of the frame two before, while record 0 follows the fighter.
TEST_F(CharacterDrawTest, AfterimagesTrailTheFighterOverRealFrames)
{
    auto c = Fighter(2);
    SetFrameTime(50);
    std::vector<f32> xs;
    for (u32 frame = 0; frame < 8; ++frame) {
        c->GetPosition()->x = f32(frame);
        c->Update(0);
        c->PostUpdate(0);
        c->LateUpdate(0);
        xs.push_back(c->GetWorldMatrix()->m[3][0]);
        EXPECT_EQ(c->GetAfterimages()[0].world.m[3][0], xs.back()) << frame;
    }
    SetFrameTime(0);
    EXPECT_LT(c->GetStatus()->afterimageClock, 0.1f);
    const f32 older = c->GetAfterimages()[1].world.m[3][0];
    EXPECT_LT(older, xs.back());
    EXPECT_NE(std::find(xs.begin(), xs.end() - 1, older), xs.end() - 1) << older;
    EXPECT_GT(c->GetAfterimages()[2].world.m[3][0], -1.0f);
    EXPECT_LT(c->GetAfterimages()[2].world.m[3][0], older);
}

// N = 4, T = 0.1: afterimage i fades by f = i/4 - ((0.1 - clock)/0.1)/4 and
// is drawn (1, 1 - f, 1 - f, 1 - 2f), clamped; depth writes are off for the
// three of them and back on after.
TEST_F(CharacterDrawTest, AfterimagesFadeToRedWithTheirAge)
{
    auto c = Fighter(2);
    c->GetStatus()->action = kActionSlide;
    FillAfterimages(*c);
    const struct { f32 clock; f32 f[3]; } cases[] = {
        {0.0f, {0.0f, 0.25f, 0.5f}},      // just after a shift: the newest is whole
        {0.05f, {0.125f, 0.375f, 0.625f}},
        {0.1f, {0.25f, 0.5f, 0.75f}},     // just before the next
    };
    for (const auto& k : cases) {
        c->GetStatus()->afterimageClock = k.clock;
        fake_->ClearLog();
        ASSERT_EQ(c->Draw(static_cast<CRenderList*>(nullptr)), 1);
        const std::vector<render::Material> m = Materials();
        ASSERT_EQ(m.size(), 4u) << k.clock;   // the fighter, then its afterimages
        EXPECT_EQ(m[0].diffuse.a, 1.0f);
        for (u32 i = 0; i < 3; ++i) {
            const f32 f = k.f[i];
            EXPECT_EQ(m[i + 1].diffuse.r, 1.0f) << k.clock << " " << i;
            EXPECT_FLOAT_EQ(m[i + 1].diffuse.g, 1 - f) << k.clock << " " << i;
            EXPECT_FLOAT_EQ(m[i + 1].diffuse.b, 1 - f) << k.clock << " " << i;
            EXPECT_FLOAT_EQ(m[i + 1].diffuse.a, f < 0.5f ? 1 - 2 * f : 0.0f) << k.clock << " " << i;
        }
        EXPECT_TRUE(fake_->HasSequence({render::CallMatch("SetRenderState").With("state", render::kRsZWriteEnable).With("value", 0),
                                        render::CallMatch("DrawIndexedPrimitive"), render::CallMatch("DrawIndexedPrimitive"),
                                        render::CallMatch("DrawIndexedPrimitive"),
                                        render::CallMatch("SetRenderState").With("state", render::kRsZWriteEnable).With("value", 1)}))
            << k.clock;
    }
    // Out of the sliding actions only the fighter is drawn.
    c->GetStatus()->action = kActionNeutral;
    fake_->ClearLog();
    c->Draw(static_cast<CRenderList*>(nullptr));
    EXPECT_EQ(fake_->Count("DrawIndexedPrimitive"), 1u);
}

// Drawing starts at afterimage 1, so a count of 1 draws none; qualities 1
// and 2 draw the images themselves and make no trace objects; quality 0
// keeps no records.
TEST_F(CharacterDrawTest, AfterimageCountAndQualityDecideWhatIsDrawn)
{
    const struct { i32 count; u32 quality, records, draws; bool traces; } rows[] = {
        {4, 0, 0, 1, false}, {4, 1, 4, 4, false}, {4, 2, 4, 4, false},
        {1, 2, 1, 1, false}, {1, 3, 1, 1, true}, {4, 3, 4, 4, true},
    };
    for (const auto& r : rows) {
        auto c = Fighter(r.quality, 0, r.count);
        c->GetStatus()->action = kActionSlide;
        FillAfterimages(*c);
        ASSERT_EQ(c->GetAfterimages().size(), r.records) << r.count << " " << r.quality;
        for (const AfterimageRecord& record : c->GetAfterimages())
            EXPECT_EQ(record.trace != nullptr, r.traces) << r.count << " " << r.quality;
        fake_->ClearLog();
        ASSERT_EQ(c->Draw(static_cast<CRenderList*>(nullptr)), 1);
        EXPECT_EQ(fake_->Count("DrawIndexedPrimitive"), r.draws) << r.count << " " << r.quality;
    }
}

// A fighter keeps as many afterimages as its set asks, hundreds of them, up
// to the bound the set's load holds it to; a count set past it by hand makes
// none rather than poses by the thousand.
TEST_F(CharacterDrawTest, AFighterKeepsItsAfterimagesUpToTheBound)
{
    constexpr i32 kBound = i32(CCharacterParameter::kMaxAfterimageCount);
    for (const auto& [count, records] : {std::pair{300, 300}, {kBound, kBound}, {kBound + 1, 0}}) {
        auto c = NewFighter();
        c->GetParameter()->values.body.afterimageCount = count;
        CharacterCreateRecord record;
        record.afterimageQuality = 3;
        c->Initialize(reinterpret_cast<intptr_t>(&record));
        const auto& images = c->GetAfterimages();
        ASSERT_EQ(images.size(), size_t(records)) << count;
        if (images.empty()) continue;
        EXPECT_NE(images.back().trace, nullptr) << count;
        EXPECT_EQ(images.back().palette.size(), c->GetAnimationController()->GetFrameCount()) << count;
    }
}

// Quality 3 and 4 queue one trace per afterimage in the render list, which
// draws them later through the fighter. Quality 4 draws each twice: depth
// only, then colour where the depth is its own; every state comes back.
TEST_F(CharacterDrawTest, FrontSurfaceAfterimagesSetAndRestoreTheirStates)
{
    for (u32 quality : {3u, 4u}) {
        auto c = Fighter(quality);
        c->GetStatus()->action = kActionMirageSlide;
        PlaceAt(*c, 0);
        FillAfterimages(*c);
        CRenderList list("list", 16, device_);
        ASSERT_EQ(c->Draw(&list), 1);
        ASSERT_EQ(list.GetUsedCount(), 3u) << quality;
        fake_->ClearLog();
        ASSERT_EQ(list.Draw(), 1);
        // The depth, colour-mask and depth-test states and the draws, in order.
        std::vector<std::string> seen;
        for (const render::Call& call : fake_->Calls()) {
            if (call.op == "DrawIndexedPrimitive") seen.push_back("draw");
            const u32 s = call.U32("state");
            if (call.op == "SetRenderState" && (s == render::kRsZWriteEnable || s == render::kRsZFunc ||
                                                s == render::kRsColorWriteEnable))
                seen.push_back(std::to_string(s) + "=" + std::to_string(call.U32("value")));
        }
        // The render list turns depth writes off for its entries and on after.
        std::vector<std::string> expected{"14=0"};
        for (u32 i = 0; i < 3; ++i) {
            if (quality == 4) {
                expected.insert(expected.end(), {"168=0", "14=1", "draw", "14=0", "168=15", "23=3", "draw", "23=4"});
            } else {
                expected.push_back("draw");
            }
        }
        expected.push_back("14=1");
        EXPECT_EQ(seen, expected) << quality;
        const RenderStateCache& states = *device_->GetRenderStates();
        EXPECT_EQ(states.colorWriteEnable, 15u);
        EXPECT_EQ(states.zFunc, 4u);
        EXPECT_EQ(states.zWriteEnable, 1u);
        // A copy's traces draw the copy.
        std::unique_ptr<CPlayerCharacter> copy(c->Clone());
        for (const AfterimageRecord& record : copy->GetAfterimages())
            EXPECT_EQ(record.trace->GetOwner(), copy.get()) << quality;
    }
}

// Two samples a frame; the arm sits 0.5 along x from the fighter, the tail
// is not in the model (the world matrix alone). The fighter moves 1 along x
// a frame: each sub-step adds a pair at the interpolated place, older pairs
// move back with u + 1/8 and alpha - 0.25, the oldest drop off at 8
// vertices, and the end of the attack empties the ribbons at once.
TEST_F(CharacterDrawTest, TrailsFollowTheBoneAlongItsPath)
{
    auto c = Fighter(0, 2);
    ASSERT_EQ(c->GetTrailRibbons().GetCount(), 2u);
    PlaceAt(*c, 0);
    c->UpdateTrails(0);
    c->GetStatus()->action = kActionShortAttack;
    const struct { f32 x; u32 used; f32 xs[4]; } frames[] = {
        {1, 4, {1.0f, 0.5f}},
        {2, 8, {2.0f, 1.5f, 1.0f, 0.5f}},
        {3, 8, {3.0f, 2.5f, 2.0f, 1.5f}},
    };
    for (const auto& f : frames) {
        PlaceAt(*c, f.x);
        ASSERT_EQ(c->UpdateTrails(0), 1);
        for (u32 t = 0; t < 2; ++t) {
            auto* ribbon = ListElement<CPrimitiveList>(&c->GetTrailRibbons(), t);
            const f32 offset = t == 0 ? 0.5f : 0.0f;
            ASSERT_EQ(ribbon->GetVertexCount(), f.used) << f.x;
            for (u32 p = 0; p < f.used / 2; ++p) {
                for (u32 e = 0; e < 2; ++e) {
                    const CModelVertex& v = *ribbon->GetVertex(2 * p + e);
                    const std::string at = std::to_string(f.x) + " trail " + std::to_string(t) + " vertex " +
                                           std::to_string(2 * p + e);
                    EXPECT_FLOAT_EQ(v.Position.x, f.xs[p] + offset) << at;
                    EXPECT_NEAR(v.Position.y, e == 0 ? 0.0f : 1.0f, 1e-6f) << at;
                    EXPECT_NEAR(v.Position.z, 5.0f, 1e-6f) << at;
                    EXPECT_FLOAT_EQ(v.Color.w, 1.0f - 0.25f * f32(p)) << at;
                    EXPECT_FLOAT_EQ(v.TexCoord0[0], 0.125f * f32(p)) << at;
                    EXPECT_EQ(v.TexCoord0[1], e == 0 ? 1.0f : 0.0f) << at;
                }
            }
        }
    }
    fake_->ClearLog();
    c->Draw(static_cast<CRenderList*>(nullptr));
    EXPECT_EQ(fake_->Count("DrawIndexedPrimitive"), 3u);   // the fighter and both ribbons

    c->GetStatus()->action = kActionNeutral;
    c->UpdateTrails(0);
    fake_->ClearLog();
    c->Draw(static_cast<CRenderList*>(nullptr));
    for (u32 t = 0; t < 2; ++t) EXPECT_EQ(ListElement<CPrimitiveList>(&c->GetTrailRibbons(), t)->GetVertexCount(), 0u);
    EXPECT_EQ(fake_->Count("DrawIndexedPrimitive"), 1u);

    // The next attack starts from nothing: one frame's pair of pairs, from
    // where the fighter stood when the last one ended.
    c->GetStatus()->action = kActionShortAttack;
    PlaceAt(*c, 4);
    c->UpdateTrails(0);
    auto* arm = ListElement<CPrimitiveList>(&c->GetTrailRibbons(), 0);
    ASSERT_EQ(arm->GetVertexCount(), 4u);
    EXPECT_FLOAT_EQ(arm->GetVertex(0)->Position.x, 4.5f);
    EXPECT_FLOAT_EQ(arm->GetVertex(2)->Position.x, 4.0f);
    EXPECT_FLOAT_EQ(arm->GetVertex(2)->Color.w, 0.75f);
}

}  // namespace ORV_TEST_FILE_ID
