// Drawing model objects on the fake device: through the fixed pipeline
// (materials, textures, blend modes, the world transform, software
// skinning) and through an effect (material parameters and techniques).
#include "engine/core/Matrix.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shader.h"
#include "engine/graphics/Texture.h"
#include "engine/model/ModelObject.h"
#include "engine/model/tests/ModelDeviceTest.h"
#include "host/render/FakeRender.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string_view>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace render = host::render;

namespace {

class ModelDrawTest : public model_test::ModelDeviceTest {
protected:
    void SetUp() override
    {
        ASSERT_NE(GetGraphicDevice(), nullptr);
        device_->SetBlendMode(1);
        ASSERT_EQ(device_->BeginScene(), 1);
        fake_->ClearLog();
    }
    void TearDown() override { device_->EndScene(); }

    // Four vertices, two triangles in two ranges: range 0 drawn with a
    // textured, tinted material of blend mode 3, range 1 with a plain one.
    static void Build(CModelObject& object, u32 flags)
    {
        CModelVertexList& v = *object.GetVertexList();
        v.Resize(4);
        v.FormatFlags = flags;
        v.Stride = CModelVertexFormat::GetStride(flags) + ((flags & kVertexSkin) ? kVertexSkinBytes : 0);
        for (u32 i = 0; i < 4; ++i) v.GetAt(i)->Position.Set(f32(i), 0, 0);
        const u32 indices[] = {0, 1, 2, 2, 1, 3};
        object.GetIndexList()->Indices.SetArray(indices, 6);
        const CPoint2 ranges[] = {{0, 3}, {3, 3}};
        object.GetIndexList()->Ranges.SetArray(ranges, 2);
        auto* textured = new CModelMaterial();
        textured->Diffuse = CVector4(1, 0.5f, 0.25f, 1);
        textured->BlendMode = 3;
        CTexture texture;
        EXPECT_EQ(texture.Create(4, 4, 0, render::kFormatA8R8G8B8, render::kPoolManaged), 1);
        textured->AddTexture(&texture);
        auto* plain = new CModelMaterial();
        plain->BlendMode = 0;
        for (CModelMaterial* m : {textured, plain}) {
            void* slot = m;
            object.GetMaterialList()->Add(&slot);
        }
        ASSERT_EQ(object.Finalize(), 1);
    }

    static std::vector<render::Call> Draws() { return fake_->Find(render::CallMatch("DrawIndexedPrimitive")); }

};

}  // namespace

TEST_F(ModelDrawTest, FixedPipelineDrawsEachRangeWithItsMaterial)
{
    CModelObject object;
    Build(object, 0x1 | 0x2);
    CMatrix world;
    world.m[3][0] = 5;
    const CVector4 colour(0.5f, 1, 1, 0.5f);
    EXPECT_EQ(object.Draw(&world, &colour, nullptr, 0, nullptr), 1);

    const std::vector<render::Call> draws = Draws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_NE(draws[0].U32("texture"), 0u);   // the material's texture on stage 0
    EXPECT_EQ(draws[1].U32("startIndex"), 3u);
    EXPECT_EQ(draws[1].U32("texture"), 0u);   // a material without textures clears it

    const std::vector<render::Call> materials = fake_->Find(render::CallMatch("SetMaterial"));
    ASSERT_EQ(materials.size(), 2u);
    render::Material first;
    std::memcpy(&first, materials[0].data.data(), sizeof first);
    EXPECT_EQ(first.diffuse.r, 0.5f);         // 1 x 0.5
    EXPECT_EQ(first.diffuse.a, 0.5f);
    EXPECT_EQ(first.ambient.r, 0.25f);        // 0.5 x 0.5

    EXPECT_EQ(fake_->LastDevice()->Transform(render::kTransformWorld).m[3][0], 5.0f);
    // The material's blend mode while drawing, the device's own back after.
    EXPECT_EQ(device_->GetRenderStates()->blendMode, 1u);
}

TEST_F(ModelDrawTest, SkinnedFixedDrawsTransformOnceOnly)
{
    CModelObject object;
    Build(object, 0x1 | 0x10);
    object.GetVertexList()->GetAt(1)->InfluenceCount = 1;
    object.GetVertexList()->GetAt(1)->Weight[0] = 1;
    ASSERT_EQ(object.UpdateVertexBuffer(), 1);
    CMatrix world, palette;
    world.m[3][1] = 7;       // would move the posed vertices a second time
    palette.m[3][2] = 3;
    EXPECT_EQ(object.Draw(&world, nullptr, &palette, 1, nullptr), 1);
    // The skinned vertices are in world space: the world transform is the identity.
    const render::Matrix set = fake_->LastDevice()->Transform(render::kTransformWorld);
    const CMatrix identity;
    EXPECT_EQ(std::memcmp(&set, &identity, sizeof set), 0);
    void* data = nullptr;
    ASSERT_EQ(object.GetVertexBuffer()->Lock(0, 0, &data, render::kLockReadOnly), render::Result::Ok);
    f32 z;
    std::memcpy(&z, static_cast<u8*>(data) + 32 + 8, 4);
    object.GetVertexBuffer()->Unlock();
    EXPECT_EQ(z, 3.0f);
}

TEST_F(ModelDrawTest, RangesWithoutMaterialsOrMaterialsWithoutRangesAreSkipped)
{
    CModelObject object;
    Build(object, 0x1);
    // A third material with no range, and an empty second range.
    void* extra = new CModelMaterial();
    object.GetMaterialList()->Add(&extra);
    object.GetIndexList()->Ranges.GetAt(1)->second = 0;
    EXPECT_EQ(object.Draw(nullptr, nullptr, nullptr, 0, nullptr), 1);
    EXPECT_EQ(Draws().size(), 1u);
}

TEST_F(ModelDrawTest, ShaderDrawsSetTheMaterialAndTheTechnique)
{
    CShader* shader = GetDefaultShader();
    ASSERT_NE(shader, nullptr);
    CModelObject object;
    Build(object, 0x1 | 0x2 | 0x4);
    const CVector4 colour(0.5f, 0.5f, 0.5f, 1);
    CMatrix world;
    world.m[3][0] = 2;
    EXPECT_EQ(object.Draw(&world, &colour, nullptr, 0, shader), 1);
    EXPECT_EQ(Draws().size(), 2u);   // one pass each
    render::FakeEffect* effect = render::FakeRender::AsFake(shader->GetEffect());
    ASSERT_NE(effect, nullptr);
    // The last material applied: the plain one, rigid, untextured.
    EXPECT_EQ(effect->CurrentTechniqueName(), "NonTextureVersion_20");
    EXPECT_EQ(effect->Value("g_MaterialDiffuse"), (std::vector<float>{0.5f, 0.5f, 0.5f, 1}));
    EXPECT_EQ(effect->TextureValue("g_Texture"), nullptr);

    // Skinned and textured: the skinning technique.
    fake_->ClearLog();
    const CMatrix palette;
    object.GetIndexList()->Ranges.GetAt(1)->second = 0;
    EXPECT_EQ(object.Draw(&world, nullptr, &palette, 1, shader), 1);
    EXPECT_EQ(effect->CurrentTechniqueName(), "SkinningVersion_20");
    EXPECT_NE(effect->TextureValue("g_Texture"), nullptr);
    EXPECT_EQ(effect->Value("g_MaterialDiffuse"), (std::vector<float>{1, 0.5f, 0.25f, 1}));
}

TEST_F(ModelDrawTest, SkinnedShaderDrawsHandTheEffectsTheObjectsWorld)
{
    CShader* shader = GetDefaultShader();
    ASSERT_NE(shader, nullptr);
    constexpr std::string_view kOwnEffect =
        "shd 1\n"
        "param float4x4 g_WorldMatrix\n"
        "param float4x4 g_WorldViewProjectionMatrix\n"
        "technique SkinningVersion_20\n"
        "  pass p0 vertex=vs fragment=fs\n"
        "glsl vertex vs\n"
        "void vs() { gl_Position = g_WorldViewProjectionMatrix * g_WorldMatrix * in_Position; }\n"
        "glsl fragment fs\n"
        "void fs() { host_Color = vec4(1.0); }\n";
    CModelObject object;
    Build(object, 0x1 | 0x2 | 0x4 | 0x10);
    // The plain material draws through an effect of its own.
    auto* own = new CShader();
    ASSERT_EQ(own->CreateFromMemory(kOwnEffect.data(), "Own", u32(kOwnEffect.size()), 0, 0), 1);
    static_cast<CModelMaterial*>(object.GetMaterialList()->GetAt(1))->Shader = own;

    CMatrix world, palette;
    world.m[3][0] = 2;
    world.m[3][1] = -6;
    palette.m[3][2] = 9;
    EXPECT_EQ(object.Draw(&world, nullptr, &palette, 1, shader), 1);
    EXPECT_EQ(Draws().size(), 2u);
    std::vector<float> expected(16);
    std::memcpy(expected.data(), &world, sizeof world);
    for (CShader* used : {shader, own}) {
        render::FakeEffect* effect = render::FakeRender::AsFake(used->GetEffect());
        ASSERT_NE(effect, nullptr);
        EXPECT_EQ(effect->CurrentTechniqueName(), "SkinningVersion_20");
        EXPECT_EQ(effect->Value("g_WorldMatrix"), expected) << used->GetName();
        // No camera: the world times an identity view and projection.
        EXPECT_EQ(effect->Value("g_WorldViewProjectionMatrix"), expected) << used->GetName();
    }
}

TEST(ModelDrawWithoutDevice, NothingIsDrawn)
{
    CModelObject object;
    EXPECT_EQ(object.Draw(nullptr, nullptr, nullptr, 0, nullptr), 0);
}

}  // namespace ORV_TEST_FILE_ID
