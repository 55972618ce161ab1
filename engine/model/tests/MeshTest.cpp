// Meshes on the fake device: loading with the bind pose and bone spheres,
// refusals that leave the mesh alone, copies, and drawing posed through the
// effect's palette or skinned in software.
#include "engine/graphics/Shader.h"
#include "engine/model/tests/ModelDeviceTest.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/model/tests/ModelGolden.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/render/FakeRender.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace render = host::render;
using model_test::kSin45;

namespace {

using model_test::Controller;

// A mesh of count bones under the root, bone i at (i, 0, 0) with no frame
// matrix, and one object whose vertex i sits at the origin on bone i (the
// rigid flag leaves the weights out of its format), finished on the device.
void BuildFan(CMesh& mesh, u32 count, bool weighted = true)
{
    model_test::NewBone(mesh, "root", nullptr);
    for (u32 i = 1; i < count; ++i) {
        const std::string name = "B" + std::to_string(i);
        CModelBone* bone = model_test::NewBone(mesh, name.c_str(), "root");
        bone->Parent = mesh.GetBone(0);
        bone->Transform.m[3][0] = f32(i);
    }
    auto* object = new CModelObject();
    CModelVertexList& v = *object->GetVertexList();
    v.Resize(count);
    v.FormatFlags = kVertexPosition | kVertexNormal | (weighted ? u32(kVertexSkin) : 0u);
    v.Stride = CModelVertexFormat::GetStride(v.FormatFlags) + (weighted ? kVertexSkinBytes : 0);
    for (u32 i = 0; i < count; ++i) {
        CModelVertex& x = *v.GetAt(i);
        x.Normal.Set(0, 1, 0);
        x.InfluenceCount = 1;
        x.BoneIndex[0] = u8(i);
        x.Weight[0] = 1;
    }
    std::vector<u32> indices;
    for (u32 i = 0; i + 2 < count; ++i) indices.insert(indices.end(), {i, i + 1, i + 2});
    object->GetIndexList()->Indices.SetArray(indices.data(), u32(indices.size()));
    const CPoint2 range{0, u32(indices.size())};
    object->GetIndexList()->Ranges.SetArray(&range, 1);
    void* material = new CModelMaterial();
    object->GetMaterialList()->Add(&material);
    ASSERT_EQ(object->Finalize(), 1);
    AppendElement(mesh.GetModelObjects(), object);
}

// Position of vertex i in an object's vertex buffer (position first).
CVector3 Packed(const CModelObject& object, u32 i)
{
    void* data = nullptr;
    CVector3 p;
    if (object.GetVertexBuffer()->Lock(0, 0, &data, render::kLockReadOnly) != render::Result::Ok) return p;
    std::memcpy(&p, static_cast<u8*>(data) + size_t(i) * object.GetVertexList()->Stride, sizeof p);
    object.GetVertexBuffer()->Unlock();
    return p;
}

class MeshTest : public model_test::ModelDeviceTest {
protected:
    void SetUp() override
    {
        ASSERT_NE(GetDefaultShader(), nullptr);
        ASSERT_EQ(device_->BeginScene(), 1);
        fake_->ClearLog();
    }
    void TearDown() override { device_->EndScene(); }

    static render::FakeEffect& Effect() { return *render::FakeRender::AsFake(GetDefaultShader()->GetEffect()); }
    static render::Matrix World(u32 i) { return fake_->LastDevice()->Transform(render::TransformWorld(i)); }
    static size_t Uploads() { return fake_->Count("Effect.SetMatrixArray"); }

};

bool IsIdentity(const render::Matrix& m)
{
    const CMatrix identity;
    return std::memcmp(&m, &identity, sizeof m) == 0;
}

}  // namespace

TEST_F(MeshTest, LoadingFromMemoryPosesTheMeshAndMeasuresItsBones)
{
    const std::string bytes = model_test::SkinnedGolden();
    CMesh mesh;
    ASSERT_EQ(mesh.LoadFromMemory(bytes.data(), "Legs.mdl", u32(bytes.size()), nullptr, nullptr, nullptr), 1);
    EXPECT_STREQ(mesh.GetName(), "Legs.mdl");
    EXPECT_NE(mesh.GetModelObject(0)->GetVertexBuffer(), nullptr);
    // The bind pose: the hip's skin is its frame matrix.
    CAnimationController* own = mesh.GetAnimationController();
    ASSERT_NE(own, nullptr);
    ASSERT_EQ(own->GetFrameCount(), 3u);
    EXPECT_EQ(own->GetMatrixPalette()[1].m[3][1], -1.0f);
    // Bone spheres: the hip moves (0,0,0) and (0,2,0), the knee (0,2,0);
    // the root none, so it gets its position and no radius.
    const struct {
        u32 bone;
        f32 y, radius;
    } spheres[] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 0}};
    for (const auto& s : spheres) {
        EXPECT_EQ(mesh.GetBone(s.bone)->BoneSphere.centre.y, s.y) << s.bone;
        EXPECT_EQ(mesh.GetBone(s.bone)->BoneSphere.radius, s.radius) << s.bone;
    }
}

TEST_F(MeshTest, LoadingAFileNamesTheMeshAfterIt)
{
    host::kernel::testing::TempFolder folder;
    const std::string path = folder / "Arm.mdl";
    CMesh written;
    ASSERT_EQ(model_test::ReadInto(model_test::ArmModel(), written), 1);
    ASSERT_EQ(written.Write(path.c_str()), 1);
    // No name, or a folder that does not exist: nothing written, no failure hidden.
    EXPECT_EQ(written.Write(nullptr), 0);
    EXPECT_EQ(written.Write((folder / "missing/Arm.mdl").c_str()), 0);
    CMesh mesh;
    ASSERT_EQ(mesh.Load(path.c_str(), nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(std::string(mesh.GetName()), path);
    EXPECT_EQ(mesh.GetAnimations()->GetCount(), 3u);
    EXPECT_EQ(mesh.Load((folder / "Missing.mdl").c_str(), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(mesh.GetBoneCount(), 3u);
}

TEST_F(MeshTest, RefusedLoadsLeaveTheMeshAsItWas)
{
    const std::string arm = model_test::ArmModel();
    CMesh mesh;
    ASSERT_EQ(mesh.LoadFromMemory(arm.data(), "Arm", u32(arm.size()), nullptr, nullptr, nullptr), 1);
    CAnimationController* own = mesh.GetAnimationController();
    const std::string golden = model_test::SkinnedGolden();
    const std::string cut = golden.substr(0, golden.size() - 3);
    const struct {
        const void* data;
        const char* name;
        u32 size;
    } cases[] = {
        {nullptr, "A", 4},
        {golden.data(), nullptr, u32(golden.size())},
        {cut.data(), "Cut", u32(cut.size())},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mesh.LoadFromMemory(c.data, c.name, c.size, nullptr, nullptr, nullptr), 0);
        EXPECT_STREQ(mesh.GetName(), "Arm");
        EXPECT_EQ(mesh.GetAnimationController(), own);
    }
    // A second load replaces the lists and the controller that pointed at them.
    ASSERT_EQ(mesh.LoadFromMemory(golden.data(), "Legs", u32(golden.size()), nullptr, nullptr, nullptr), 1);
    ASSERT_NE(mesh.GetAnimationController(), nullptr);
    EXPECT_EQ(mesh.GetAnimationController()->GetFrameByName("Knee")->Bone, mesh.GetBone(2));
}

TEST_F(MeshTest, ACopyHasItsOwnControllerOverItsOwnBones)
{
    const std::string arm = model_test::ArmModel();
    CMesh mesh;
    ASSERT_EQ(mesh.LoadFromMemory(arm.data(), "Arm", u32(arm.size()), nullptr, nullptr, nullptr), 1);
    CMesh copy(mesh);
    ASSERT_NE(copy.GetAnimationController(), nullptr);
    EXPECT_NE(copy.GetAnimationController(), mesh.GetAnimationController());
    EXPECT_EQ(copy.GetAnimationController()->GetFrameByName("Lower")->Bone, copy.GetBone(2));
    mesh.Release();   // the copy stands alone
    Controller c(copy.CreateAnimationController());
    EXPECT_EQ(c->SetAnimationSimple(0, 0, 1, 0), 1);
    EXPECT_EQ(c->UpdateMatrices(nullptr), 1);
}

TEST_F(MeshTest, APosedDrawSendsThePaletteToTheEffectUnderAnIdentityWorld)
{
    CMesh mesh;
    BuildFan(mesh, 3);
    Controller c(mesh.CreateAnimationController());
    CMatrix world;
    world.m[3][2] = 7;
    c->UpdateMatrices(&world);
    ASSERT_EQ(mesh.Draw(&world, nullptr, c.get()), 1);
    ASSERT_EQ(Uploads(), 1u);
    // Palette entry i, bone i placed by the world: (i, 0, 7); a float3x4
    // element is its three columns, the translation last in each.
    const std::vector<float> palette = Effect().Value("g_WorldMatrixArray");
    ASSERT_EQ(palette.size(), 75u * 12);
    for (u32 i = 0; i < 3; ++i) {
        EXPECT_EQ(palette[12 * i + 3], f32(i)) << i;
        EXPECT_EQ(palette[12 * i + 11], 7.0f) << i;
    }
    EXPECT_EQ(Effect().CurrentTechniqueName(), "SkinningNonTextureVersion_20");
    // The palette holds the world: the effect's own world is the identity.
    EXPECT_EQ(Effect().Value("g_WorldMatrix")[14], 0.0f);

    // Drawn without the controller, the same mesh is placed by the world.
    fake_->ClearLog();
    ASSERT_EQ(mesh.Draw(&world, nullptr, nullptr), 1);
    EXPECT_EQ(Effect().CurrentTechniqueName(), "NonTextureVersion_20");
    EXPECT_EQ(Effect().Value("g_WorldMatrix")[14], 7.0f);
}

TEST_F(MeshTest, AnObjectWithoutWeightsDrawsRigidInAPosedMesh)
{
    CMesh mesh;
    BuildFan(mesh, 3, false);
    Controller c(mesh.CreateAnimationController());
    CMatrix world;
    world.m[3][0] = 2;
    c->UpdateMatrices(&world);
    ASSERT_EQ(mesh.Draw(&world, nullptr, c.get()), 1);
    EXPECT_EQ(Effect().CurrentTechniqueName(), "NonTextureVersion_20");
    EXPECT_EQ(Effect().Value("g_WorldMatrix")[12], 2.0f);
}

// Past the effect's 75 matrices, or without an effect, device world
// matrices 256 on take the palette (256 at most: vertex i names bone
// i mod 256, the byte the format holds), the vertices are posed in the
// buffer and the first is set again to the identity, so that they are not
// moved twice.
TEST_F(MeshTest, PalettesPastTheEffectsArrayAreSkinnedInSoftware)
{
    CShader* shader = GetDefaultShader();
    const struct {
        u32 bones;
        bool effect, software;
    } cases[] = {{75, true, false}, {76, true, true}, {300, true, true}, {64, false, true}};
    for (const auto& k : cases) {
        CMesh mesh;
        BuildFan(mesh, k.bones);
        Controller c(mesh.CreateAnimationController());
        CMatrix world;
        world.m[3][2] = 7;
        c->UpdateMatrices(&world);
        fake_->ClearLog();
        SetDefaultShader(k.effect ? shader : nullptr);
        ASSERT_EQ(mesh.Draw(&world, nullptr, c.get()), 1);
        SetDefaultShader(shader);
        const CModelObject& object = *mesh.GetModelObject(0);
        if (!k.software) {
            EXPECT_EQ(Effect().Value("g_WorldMatrixArray")[12 * 74 + 3], 74.0f);
            EXPECT_EQ(Packed(object, 74).x, 0.0f);   // the buffer keeps the bind pose
            continue;
        }
        EXPECT_EQ(Uploads(), 0u) << k.bones;
        const u32 last = (k.bones < 256 ? k.bones : 256) - 1;
        EXPECT_EQ(World(last).m[3][0], f32(last)) << k.bones;
        EXPECT_TRUE(IsIdentity(World(0))) << k.bones;
        EXPECT_EQ(Packed(object, last).x, f32(last)) << k.bones;
        EXPECT_EQ(Packed(object, last).z, 7.0f) << k.bones;
    }
}

TEST_F(MeshTest, SkinnedVertexPositionsFollowThePose)
{
    const std::string arm = model_test::ArmModel();
    CMesh mesh;
    ASSERT_EQ(mesh.LoadFromMemory(arm.data(), "Arm", u32(arm.size()), nullptr, nullptr, nullptr), 1);
    CModelObject& object = *mesh.GetModelObject(0);
    Controller c(mesh.CreateAnimationController());
    c->SetAnimationSimple(0, 0.0f, 1, 0);
    c->AdvanceTime(1.0f);   // the lower arm at 45 degrees
    CMatrix world;
    world.m[3][1] = 10;
    c->UpdateMatrices(&world);
    ASSERT_EQ(object.SkinVertices(c.get()), 1);
    const struct {
        u32 vertex;
        f32 x, y;
    } cases[] = {
        {1, 0.5f, 10},
        {2, 1 + kSin45, 10 - kSin45},                           // (2,0,0) turned about (1,0,0)
        {3, 0.75f + 0.5f * (1 + 0.5f * kSin45), 10 - 0.25f * kSin45},   // half of each
    };
    for (const auto& k : cases) {
        const CVector3 p = Packed(object, k.vertex);
        EXPECT_NEAR(p.x, k.x, 1e-5f) << k.vertex;
        EXPECT_NEAR(p.y, k.y, 1e-5f) << k.vertex;
        EXPECT_NEAR(p.z, 0.0f, 1e-5f) << k.vertex;
    }
    // A vertex that no bone moves follows the root matrix.
    object.GetVertexList()->GetAt(1)->InfluenceCount = 0;
    ASSERT_EQ(object.SkinVertices(c.get()), 1);
    EXPECT_EQ(Packed(object, 1).y, 10.0f);

    // A vertex list grown since the buffer was made is neither packed nor
    // skinned into it.
    const CModelVertex extra;
    object.GetVertexList()->Add(&extra);
    EXPECT_EQ(object.UpdateVertexBuffer(), 0);
    EXPECT_EQ(object.SkinVertices(c.get()), 0);
    const u32 index = 0;
    object.GetIndexList()->Indices.Add(&index);
    EXPECT_EQ(object.UpdateIndexBuffer(), 0);
}

TEST(MeshWithoutDevice, NothingLoads)
{
    const std::string bytes = model_test::SkinnedGolden();
    CMesh mesh;
    EXPECT_EQ(mesh.LoadFromMemory(bytes.data(), "Legs", u32(bytes.size()), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(mesh.GetBoneCount(), 0u);
}
