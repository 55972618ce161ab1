// Meshes on the fake device: loads, refusals and copies, and drawing posed
// through the effect's palette or skinned in software.
#include "engine/graphics/Shader.h"
#include "engine/model/tests/ModelDeviceTest.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/model/tests/ModelGolden.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/render/FakeRender.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ORV_TEST_FILE_ID {

namespace render = host::render;
using model_test::kSin45;

namespace {

using model_test::Controller;

// A mesh of count bones under the root, bone i at (i, 0, 0) with no frame
// matrix, and one object whose vertex i sits at the origin on bone i (weights
// in its format or not), finished on the device.
void BuildFan(CMesh& mesh, u32 count, bool weighted = true)
{
    for (u32 i = 0; i < count; ++i) {
        model_test::NewBone(mesh, i ? ("B" + std::to_string(i)).c_str() : "root", i ? "root" : nullptr)
            ->Transform.m[3][0] = f32(i);
    }
    LinkBoneHierarchy(mesh.GetBones());
    const u32 format = kVertexPosition | (weighted ? u32(kVertexSkin) : 0u);
    CModelObject* object = model_test::NewObject("Fan", format, count);
    CModelVertexList& v = *object->GetVertexList();
    v.Stride += weighted ? kVertexSkinBytes : 0;
    for (u32 i = 0; i < count; ++i) {
        v.GetAt(i)->InfluenceCount = 1;
        v.GetAt(i)->BoneIndex[0] = u8(i);
        v.GetAt(i)->Weight[0] = 1;
    }
    model_test::SetIndices(*object->GetIndexList(), {0, 1, 2}, {{0, 3}});
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
        ASSERT_EQ(device_->BeginScene(), 1);
        fake_->ClearLog();
    }
    void TearDown() override { device_->EndScene(); }

    static render::FakeEffect& Effect() { return *render::FakeRender::AsFake(GetDefaultShader()->GetEffect()); }
    static render::Matrix World(u32 i) { return fake_->LastDevice()->Transform(render::TransformWorld(i)); }
    static size_t Uploads() { return fake_->Count("Effect.SetMatrixArray"); }
};

}  // namespace

// A load poses the mesh and measures its bones; a refused load leaves the
// mesh as it was; a copy has its own controller over its own bones.
TEST_F(MeshTest, LoadsRefusalsAndCopies)
{
    const std::string arm = model_test::ArmModel(), golden = model_test::SkinnedGolden();
    const std::string cut = golden.substr(0, golden.size() - 3);
    CMesh mesh;
    ASSERT_EQ(mesh.LoadFromMemory(arm.data(), "Arm", u32(arm.size()), nullptr, nullptr, nullptr), 1);
    CAnimationController* own = mesh.GetAnimationController();
    const struct { const void* data; const char* name; u32 size; } cases[] = {
        {nullptr, "A", 4}, {golden.data(), nullptr, u32(golden.size())}, {cut.data(), "Cut", u32(cut.size())}};
    for (const auto& c : cases) {
        EXPECT_EQ(mesh.LoadFromMemory(c.data, c.name, c.size, nullptr, nullptr, nullptr), 0);
        EXPECT_STREQ(mesh.GetName(), "Arm");
        EXPECT_EQ(mesh.GetAnimationController(), own);
    }
    // A second load replaces the lists and the controller that pointed at them.
    ASSERT_EQ(mesh.LoadFromMemory(golden.data(), "Legs.mdl", u32(golden.size()), nullptr, nullptr, nullptr), 1);
    own = mesh.GetAnimationController();
    EXPECT_EQ(own->GetFrameByName("Knee")->Bone, mesh.GetBone(2));
    EXPECT_EQ(own->GetMatrixPalette()[1].m[3][1], -1.0f);   // the hip's skin: its frame matrix
    // The bones measured: the hip moves (0,0,0) and (0,2,0).
    EXPECT_EQ(mesh.GetBone(1)->BoneSphere.centre.y, 1.0f);
    EXPECT_EQ(mesh.GetBone(1)->BoneSphere.radius, 1.0f);

    CMesh copy(mesh);
    EXPECT_EQ(copy.GetAnimationController()->GetFrameByName("Knee")->Bone, copy.GetBone(2));
    mesh.Release();   // the copy stands alone
    Controller c(copy.CreateAnimationController());
    EXPECT_EQ(c->SetAnimationSimple(0, 0, 1, 0), 1);
    EXPECT_EQ(c->UpdateMatrices(nullptr), 1);

    // From a file the mesh takes its name. Written nowhere: no failure hidden.
    host::kernel::testing::TempFolder folder;
    const std::string path = folder / "Legs.mdl";
    ASSERT_EQ(copy.Write(path.c_str()), 1);
    EXPECT_EQ(copy.Write(nullptr), 0);
    EXPECT_EQ(copy.Write((folder / "missing/Legs.mdl").c_str()), 0);
    CMesh loaded;
    ASSERT_EQ(loaded.Load(path.c_str(), nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(std::string(loaded.GetName()), path);
    EXPECT_EQ(loaded.Load((folder / "Missing.mdl").c_str(), nullptr, nullptr, nullptr), 0);
}

TEST_F(MeshTest, APosedDrawSendsThePaletteAndTheWorldToTheEffect)
{
    CMesh mesh;
    BuildFan(mesh, 3);
    Controller c(mesh.CreateAnimationController());
    CMatrix world;
    world.m[3][2] = 7;
    c->UpdateMatrices(&world);
    ASSERT_EQ(mesh.Draw(&world, nullptr, c.get()), 1);
    ASSERT_EQ(Uploads(), 1u);
    // Bone 2 placed by the world: (2, 0, 7), each float3x4 column's last.
    EXPECT_EQ(Effect().Value("g_WorldMatrixArray")[12 * 2 + 3], 2.0f);
    EXPECT_EQ(Effect().Value("g_WorldMatrixArray")[12 * 2 + 11], 7.0f);
    EXPECT_EQ(Effect().CurrentTechniqueName(), "SkinningNonTextureVersion_20");
    // The palette holds the world; the effect is given the object's world as well.
    EXPECT_EQ(Effect().Value("g_WorldMatrix")[14], 7.0f);

    // An object without weights draws rigid, placed by the world, in a posed mesh.
    CMesh rigid;
    BuildFan(rigid, 3, false);
    Controller posed(rigid.CreateAnimationController());
    posed->UpdateMatrices(&world);
    ASSERT_EQ(rigid.Draw(&world, nullptr, posed.get()), 1);
    EXPECT_EQ(Effect().CurrentTechniqueName(), "NonTextureVersion_20");
    EXPECT_EQ(Effect().Value("g_WorldMatrix")[14], 7.0f);
}

// Past the effect's 75 matrices the palette still goes to the effect (its
// array keeps the first 75) while the objects draw without it: the vertices
// are posed in the buffer and the world is set to the identity, so that they
// are not moved twice. Without an effect, device world matrices 256 on take
// the palette (256 at most: vertex i names bone i mod 256, the byte the
// format holds).
TEST_F(MeshTest, PalettesPastTheEffectsArrayAreSkinnedInSoftware)
{
    CShader* shader = GetDefaultShader();
    const struct { u32 bones; bool effect, software; f32 z; } cases[] = {
        {75, true, false, 7}, {76, true, true, 8}, {300, true, true, 9}, {64, false, true, 10}};
    for (const auto& k : cases) {
        CMesh mesh;
        BuildFan(mesh, k.bones);
        Controller c(mesh.CreateAnimationController());
        CMatrix world;
        world.m[3][2] = k.z;
        c->UpdateMatrices(&world);
        fake_->ClearLog();
        SetDefaultShader(k.effect ? shader : nullptr);
        ASSERT_EQ(mesh.Draw(&world, nullptr, c.get()), 1);
        SetDefaultShader(shader);
        const CModelObject& object = *mesh.GetModelObject(0);
        EXPECT_EQ(Uploads(), k.effect ? 1u : 0u) << k.bones;
        if (k.effect) {
            // Bone 74, the array's last, at (74, 0, z) of this draw.
            EXPECT_EQ(Effect().Value("g_WorldMatrixArray")[12 * 74 + 3], 74.0f) << k.bones;
            EXPECT_EQ(Effect().Value("g_WorldMatrixArray")[12 * 74 + 11], k.z) << k.bones;
        }
        if (!k.software) {
            EXPECT_EQ(Packed(object, 74).x, 0.0f);   // the buffer keeps the bind pose
            EXPECT_EQ(fake_->Count("SetTransform"), 0u);
            continue;
        }
        const u32 last = (k.bones < 256 ? k.bones : 256) - 1;
        // Device matrices only without an effect; then the identity world.
        EXPECT_EQ(fake_->Count("SetTransform"), k.effect ? 1u : last + 2) << k.bones;
        if (!k.effect) {
            EXPECT_EQ(World(last).m[3][0], f32(last)) << k.bones;
        }
        EXPECT_EQ(World(0).m[3][2], 0.0f) << k.bones;   // bone 0's matrix would move it to z
        EXPECT_EQ(Packed(object, last).x, f32(last)) << k.bones;
        EXPECT_EQ(Packed(object, last).z, k.z) << k.bones;
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
    // (2,0,0) turned about (1,0,0); (1.5,0,0) half on each arm.
    EXPECT_NEAR((Packed(object, 2) - CVector3(1 + kSin45, 10 - kSin45, 0)).Length(), 0.0f, 1e-5f);
    const CVector3 half(0.75f + 0.5f * (1 + 0.5f * kSin45), 10 - 0.25f * kSin45, 0);
    EXPECT_NEAR((Packed(object, 3) - half).Length(), 0.0f, 1e-5f);
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

// Through the mesh's own load, buffers made: size words that are wrong, and
// an object whose data end without its marker.
TEST_F(MeshTest, LooseSizeWordsAndACutObjectLoad)
{
    std::string loose = model_test::SkinnedGolden();
    for (const auto& w : model_test::SkinnedSizeWords()) PutLe32(&loose[w.at], 7);
    CMesh mesh;
    ASSERT_EQ(mesh.LoadFromMemory(loose.data(), "Loose", u32(loose.size()), nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(mesh.GetBoneCount(), 3u);
    EXPECT_EQ(mesh.GetAnimationController()->GetFrameByName("Knee")->Bone, mesh.GetBone(2));
    EXPECT_NE(mesh.GetModelObject(0)->GetVertexBuffer(), nullptr);

    const std::string rigid = model_test::RigidGolden();
    const std::string cut = rigid.substr(0, rigid.size() - 4);   // the object's marker gone
    CMesh kept;
    ASSERT_EQ(kept.LoadFromMemory(cut.data(), "Cut", u32(cut.size()), nullptr, nullptr, nullptr), 1);
    ASSERT_EQ(kept.GetModelObjectCount(), 1u);
    EXPECT_EQ(kept.GetModelObject(0)->GetCollisionGrid()->Cells->GetCount(), 1u);
    EXPECT_EQ(Packed(*kept.GetModelObject(0), 2).y, 1.0f);
}

}  // namespace ORV_TEST_FILE_ID
