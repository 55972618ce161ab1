// Shaders over the fake device's effects: handles, setters, techniques and
// passes, creation from memory and files, and the default shader.
#include "engine/graphics/Shader.h"

#include "engine/core/Matrix.h"
#include "engine/core/Vector4.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/tests/DeviceTestSupport.h"
#include "host/kernel/tests/TempFolder.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

namespace device_test {
namespace ORV_TEST_FILE_ID {

namespace {

std::vector<float> Floats(const CMatrix& m) { return std::vector<float>(&m.m[0][0], &m.m[0][0] + 16); }

// A small effect of our own: one matrix, one float array, two techniques.
constexpr std::string_view kSmallEffect =
    "shd 1\n"
    "param float4x4 g_WorldMatrix\n"
    "param float g_FogStart\n"
    "technique Version_20\n"
    "  pass p0 vertex=vs fragment=fs\n"
    "technique Other\n"
    "  pass p0 vertex=vs fragment=fs\n"
    "  pass p1 vertex=vs fragment=fs\n"
    "glsl vertex vs\n"
    "void vs() { gl_Position = g_WorldMatrix * in_Position; }\n"
    "glsl fragment fs\n"
    "void fs() { host_Color = vec4(g_FogStart); }\n";

class ShaderTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        CreateDevice();
        shader_ = GetDefaultShader();
        ASSERT_NE(shader_, nullptr);
        effect_ = render::FakeRender::AsFake(shader_->GetEffect());
        ASSERT_NE(effect_, nullptr);
    }

    CShader* shader_ = nullptr;
    render::FakeEffect* effect_ = nullptr;
};

TEST_F(ShaderTest, DefaultShaderHandles)
{
    for (u32 i = 0; i < kShaderConstantCount; ++i)
        EXPECT_EQ(shader_->GetConstantHandle(i), shader_->GetParameterByName(ShaderConstantName(i))) << i;
    for (u32 i = 0; i < kShaderTechniqueCount; ++i) EXPECT_NE(shader_->GetTechniqueHandle(i), 0u) << i;
    EXPECT_EQ(shader_->GetConstantHandle(kShaderConstantCount), 0u);
}

TEST_F(ShaderTest, SetTransformsWithoutACameraUsesTheWorldAlone)
{
    CMatrix world;
    world.RotationY(30);
    world.m[3][0] = 5;
    fake_->ClearLog();
    EXPECT_EQ(shader_->SetTransforms(&world), 1);
    EXPECT_EQ(effect_->Value("g_WorldMatrix"), Floats(world));
    EXPECT_EQ(effect_->Value("g_WorldViewProjectionMatrix"), Floats(world));
    EXPECT_EQ(effect_->Value("g_ViewProj"), Floats(CMatrix()));
}

TEST_F(ShaderTest, SetTransformsWithTheCurrentCamera)
{
    CCamera camera;
    const CVector3 eye(0, 5, -10), target(0, 0, 0), up(0, 1, 0);
    camera.SetLookAt(&eye, &target, &up);
    camera.SetPerspective(60, -1, 1, 100);
    camera.SetViewport(0, 0, 0, 0);
    ASSERT_EQ(camera.Apply(), 1);

    CMatrix world;
    world.m[3][1] = 2;
    EXPECT_EQ(shader_->SetTransforms(&world), 1);
    CMatrix viewProjection;
    camera.GetViewProjection(&viewProjection);
    EXPECT_EQ(effect_->Value("g_ViewProj"), Floats(viewProjection));
    EXPECT_EQ(effect_->Value("g_WorldViewProjectionMatrix"), Floats(world * viewProjection));
    EXPECT_EQ(effect_->Value("g_WorldMatrix"), Floats(world));
}

TEST_F(ShaderTest, SettersReachTheEffect)
{
    const CVector4 diffuse(0.25f, 0.5f, 0.75f, 1.0f);
    // A float2 takes the leading components.
    EXPECT_EQ(shader_->SetVectorByIndex(kShaderAddUV, &diffuse), 1);
    EXPECT_EQ(effect_->Value("g_AddUV"), (std::vector<float>{0.25f, 0.5f}));

    // 76 bones onto a palette of 75: 75 set, and that is success.
    std::vector<CMatrix> palette(76);
    for (size_t i = 0; i < palette.size(); ++i) palette[i].m[3][0] = f32(i);
    EXPECT_EQ(shader_->SetMatrixArray(shader_->GetConstantHandle(kShaderWorldMatrixArray), palette.data(), 76), 1);
    const std::vector<float> words = effect_->Value("g_WorldMatrixArray");
    ASSERT_EQ(words.size(), 75u * 12u);
    // Element 74's first column is (m00, m10, m20, m30).
    EXPECT_EQ(std::vector<float>(words.begin() + 74 * 12, words.begin() + 74 * 12 + 4),
              (std::vector<float>{1, 0, 0, 74}));
    const CVector4 pair[2] = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    EXPECT_EQ(shader_->SetVectorArray(shader_->GetConstantHandle(kShaderWorldAmbient), pair, 2), 1);
    EXPECT_EQ(effect_->Value("g_WorldAmbient"), (std::vector<float>{1, 2, 3, 4}));
}

TEST_F(ShaderTest, NullHandlesAndDataNeverReachTheEffect)
{
    const CMatrix m;
    const CVector4 v;
    EXPECT_EQ(shader_->SetMatrixByIndex(kShaderView, &m), 0);
    EXPECT_EQ(shader_->SetMatrixByIndex(kShaderWorldMatrix, nullptr), 0);
    EXPECT_EQ(shader_->SetVectorByIndex(kShaderLightPos, &v), 0);
    EXPECT_EQ(shader_->SetMatrixByIndex(kShaderConstantCount, &m), 0);
    EXPECT_EQ(shader_->SetMatrixArray(shader_->GetConstantHandle(kShaderWorldMatrixArray), nullptr, 3), 0);

    // The effect refuses a value of the wrong kind: 0.
    EXPECT_EQ(shader_->SetMatrixByIndex(kShaderTexture, &m), 0);
}

TEST_F(ShaderTest, TechniqueAndPasses)
{
    EXPECT_EQ(shader_->SetTechniqueByIndex(kShaderRigidNonTexture), 1);
    EXPECT_EQ(effect_->CurrentTechniqueName(), "NonTextureVersion_20");
    EXPECT_EQ(shader_->SetTechnique(0), 0);

    // No pass count wanted: it still begins.
    EXPECT_EQ(shader_->Begin(nullptr, 0), 1);
    EXPECT_TRUE(effect_->Begun());
    EXPECT_EQ(shader_->Begin(nullptr, 0), 0);   // nested
    EXPECT_EQ(shader_->BeginPass(0), 1);
    EXPECT_EQ(shader_->EndPass(), 1);
    EXPECT_EQ(shader_->BeginPass(1), 0);        // one pass only
    EXPECT_EQ(shader_->End(), 1);
    EXPECT_FALSE(effect_->Begun());
}

TEST_F(ShaderTest, CreatingAgainReplacesTheEffectAndTheCopy)
{
    CShader shader;
    ASSERT_EQ(shader.CreateFromMemory(kSmallEffect.data(), "Small", u32(kSmallEffect.size()), 0, 1), 1);
    render::Effect* first = shader.GetEffect();
    EXPECT_EQ(first->AddRef(), 2u);   // the shader's and ours
    EXPECT_EQ(shader.GetTechniqueHandle(kShaderSkinning), 0u);
    EXPECT_NE(shader.GetTechniqueHandle(kShaderRigid), 0u);

    const std::string_view gauss = render::BuiltinEffect("GaussFilter.shd");
    ASSERT_EQ(shader.CreateFromMemory(gauss.data(), "GaussFilter.shd", u32(gauss.size()), 0, 0), 1);
    EXPECT_EQ(first->Release(), 0u);   // the shader let go of it
    EXPECT_EQ(shader.GetKeptBytes(), nullptr);
    EXPECT_EQ(shader.GetConstantHandle(kShaderWorldMatrix), 0u);
    EXPECT_NE(shader.GetParameterByName("Weight"), 0u);

    // Its own kept bytes and name as the source.
    ASSERT_EQ(shader.CreateFromMemory(kSmallEffect.data(), "Small", u32(kSmallEffect.size()), 0, 1), 1);
    ASSERT_EQ(shader.CreateFromMemory(shader.GetKeptBytes(), shader.GetName(), shader.GetKeptSize(), 0, 1), 1);
    EXPECT_STREQ(shader.GetName(), "Small");
    EXPECT_EQ(std::memcmp(shader.GetKeptBytes(), kSmallEffect.data(), kSmallEffect.size()), 0);
}

TEST_F(ShaderTest, RefusedSourcesLeaveNoEffect)
{
    CShader shader;
    const std::string_view bad = "shd 1\nparam float4x4\n";
    EXPECT_EQ(shader.CreateFromMemory(bad.data(), "Bad", u32(bad.size()), 0, 1), 0);
    EXPECT_EQ(shader.GetEffect(), nullptr);
    EXPECT_EQ(shader.CreateFromMemory(kSmallEffect.data(), "x", 0, 0, 0), 0);
    EXPECT_EQ(shader.CreateFromFile("no such file.shd", 0), 0);

    // A failed compile of a new source loses the old effect too.
    ASSERT_EQ(shader.CreateFromMemory(kSmallEffect.data(), "Small", u32(kSmallEffect.size()), 0, 1), 1);
    EXPECT_EQ(shader.CreateFromMemory(bad.data(), "Bad", u32(bad.size()), 0, 1), 0);
    EXPECT_EQ(shader.GetEffect(), nullptr);
    // Nothing is compiled without a device.
    device_.Release();
    EXPECT_EQ(shader.CreateFromMemory(kSmallEffect.data(), "Small", u32(kSmallEffect.size()), 0, 1), 0);
    EXPECT_EQ(shader.GetEffect(), nullptr);
}

TEST_F(ShaderTest, FromAFile)
{
    host::kernel::testing::TempFolder folder;
    const std::string path = folder / "Small.shd";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(path, kSmallEffect.data(), kSmallEffect.size()));
    CShader shader;
    ASSERT_EQ(shader.CreateFromFile(path.c_str(), 0), 1);
    EXPECT_NE(shader.GetConstantHandle(kShaderFogStart), 0u);
    // Reloaded under its own name.
    EXPECT_EQ(shader.CreateFromFile(shader.GetName(), 0), 1);
    EXPECT_STREQ(shader.GetName(), path.c_str());
}

TEST_F(ShaderTest, CopiesShareTheEffectButNotTheBytes)
{
    CShader source;
    ASSERT_EQ(source.CreateFromMemory(kSmallEffect.data(), "Small", u32(kSmallEffect.size()), 0, 1), 1);
    CShader* copy = static_cast<CShader*>(source.Clone());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetEffect(), source.GetEffect());
    EXPECT_NE(copy->GetKeptBytes(), source.GetKeptBytes());
    EXPECT_EQ(std::memcmp(copy->GetKeptBytes(), source.GetKeptBytes(), source.GetKeptSize()), 0);
    delete copy;
    // The source's effect lives on.
    const CMatrix m;
    EXPECT_EQ(source.SetMatrixByIndex(kShaderWorldMatrix, &m), 1);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace device_test
