// Two model files laid out by hand, field by field: a rigid model (one
// object with a material, a texture and a one-cell collision grid) and a
// skinned model (one object, two bones, a bone group and one animation).
// The writer must produce them byte for byte from meshes built in code,
// and the reader must find in them what was laid there.
#include "engine/model/AnalysMesh.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ModelGolden.h"
#include "engine/model/tests/ModelMeshes.h"

#include <gtest/gtest.h>

using model_test::BuildRigid;
using model_test::BuildSkinned;
using model_test::Bytes;
using model_test::kHalfRoot2;
using model_test::RigidGolden;
using model_test::SkinnedGolden;

namespace {

bool Read(const std::string& bytes, CMesh& mesh)
{
    CAnalysMesh reader;
    return reader.LoadFromMemory(bytes.data(), u32(bytes.size())) && reader.ReadChunks(&mesh);
}

}  // namespace

TEST(ModelGolden, GoldenFilesAreAsLongAsTheirSizesSay)
{
    EXPECT_EQ(RigidGolden().size(), 23u + 8 + 392 + 4);
    EXPECT_EQ(SkinnedGolden().size(), 23u + (8 + 129 + 4) + (8 + 173 + 4) + (8 + 163 + 4) + (8 + 18 + 4) +
                                          (8 + 110 + 4));
}

TEST(ModelGolden, WriterLaysOutTheRigidModelByteForByte)
{
    CMesh mesh;
    BuildRigid(mesh);
    EXPECT_EQ(CWriteMesh::Build(mesh), RigidGolden());
}

TEST(ModelGolden, WriterLaysOutTheSkinnedModelByteForByte)
{
    CMesh mesh;
    BuildSkinned(mesh);
    EXPECT_EQ(CWriteMesh::Build(mesh), SkinnedGolden());
}

TEST(ModelGolden, ReaderFindsTheRigidModel)
{
    CMesh mesh;
    ASSERT_TRUE(Read(RigidGolden(), mesh));
    ASSERT_EQ(mesh.GetModelObjectCount(), 1u);
    EXPECT_EQ(mesh.GetBoneCount(), 0u);
    const CModelObject& box = *mesh.GetModelObject(0);
    EXPECT_STREQ(box.GetName(), "Box");
    const CModelVertexList& v = *box.GetVertexList();
    ASSERT_EQ(v.GetCount(), 3u);
    EXPECT_EQ(v.FormatFlags, 0x5u);
    EXPECT_EQ(v.Stride, 20u);
    EXPECT_EQ(v.GetAt(1)->Position.x, 1.0f);
    EXPECT_EQ(v.GetAt(2)->TexCoord0[1], 1.0f);
    // No normal on file: the normalized position; no colour: white.
    EXPECT_EQ(v.GetAt(2)->Normal.y, 1.0f);
    EXPECT_EQ(v.GetAt(0)->Normal.LengthSquared(), 0.0f);
    EXPECT_EQ(v.GetAt(0)->Color.x, 1.0f);
    EXPECT_EQ(v.GetAt(0)->Color.w, 1.0f);
    const CModelIndexList& i = *box.GetIndexList();
    ASSERT_EQ(i.Indices.GetCount(), 3u);
    EXPECT_EQ(i.Indices.GetData()[2], 2u);
    ASSERT_EQ(i.Ranges.GetCount(), 1u);
    EXPECT_EQ(i.Ranges.GetData()[0].second, 3u);

    ASSERT_EQ(box.GetMaterialList()->GetCount(), 1u);
    const auto& m = *static_cast<const CModelMaterial*>(box.GetMaterialList()->GetAt(0));
    EXPECT_STREQ(m.Name, "Mat");
    EXPECT_EQ(m.Diffuse.z, 0.25f);
    EXPECT_EQ(m.Ambient.x, 0.5f);
    EXPECT_EQ(m.Emissive.x, 0.125f);
    EXPECT_EQ(m.BlendMode, 2u);
    EXPECT_EQ(m.Values[0], 7u);
    EXPECT_EQ(m.Values[1], 9u);
    EXPECT_EQ(m.Power, 8.0f);
    ASSERT_EQ(m.GetTextureCount(), 1u);
    EXPECT_STREQ(m.GetTexture(0)->GetName(), "Wood.bmp");
    EXPECT_EQ(m.SavedTextures->GetCount(), 1u);
    EXPECT_EQ(m.Shader, nullptr);

    const CModelCollisionGrid& grid = *box.GetCollisionGrid();
    EXPECT_EQ(grid.Center.x, 0.5f);
    EXPECT_EQ(grid.HalfSize.z, 0.5f);
    EXPECT_EQ(grid.CountZ, 1u);
    const CModelBlock* cell = grid.GetCellAt(0);
    ASSERT_NE(cell, nullptr);
    EXPECT_STREQ(cell->GetName(), "Cell");
    EXPECT_EQ(cell->GetBox().min.z, -0.5f);
    EXPECT_EQ(cell->GetBox().max.x, 1.0f);
    EXPECT_EQ(cell->GetVertexList(), box.GetVertexList());
    EXPECT_EQ(cell->GetIndexList()->Indices.GetCount(), 3u);
    EXPECT_EQ(box.GetLowModels()->GetCount(), 0u);
}

TEST(ModelGolden, ReaderFindsTheSkinnedModel)
{
    CMesh mesh;
    ASSERT_TRUE(Read(SkinnedGolden(), mesh));
    ASSERT_EQ(mesh.GetBoneCount(), 3u);
    CModelBone* root = mesh.GetBone(0);
    CModelBone* hip = mesh.GetBone(1);
    CModelBone* knee = mesh.GetBone(2);
    EXPECT_STREQ(root->GetName(), "root");
    EXPECT_EQ(root->Transform, CMatrix());
    EXPECT_EQ(root->Index, 0u);
    EXPECT_EQ(hip->Index, 1u);
    EXPECT_EQ(knee->Index, 2u);
    EXPECT_EQ(hip->Parent, root);
    EXPECT_EQ(knee->Parent, hip);
    EXPECT_STREQ(knee->ParentName, "Hip");
    ASSERT_EQ(root->Children.GetCount(), 1u);
    EXPECT_EQ(root->Children.GetAt(0), static_cast<void*>(hip));
    EXPECT_EQ(knee->Transform.m[3][1], 2.0f);
    EXPECT_EQ(knee->FrameMatrix.m[3][1], -2.0f);
    // The combined matrix is the frame matrix's rotation part.
    EXPECT_EQ(knee->CombinedMatrix, CMatrix());
    EXPECT_EQ(knee->LinkValues[0], 1u);
    EXPECT_EQ(knee->LinkValues[1], 0x3F000000u);
    EXPECT_EQ(knee->LinkValues[2], 0x3E800000u);
    ASSERT_EQ(hip->Influences.GetCount(), 2u);
    EXPECT_EQ(hip->Influences.GetAt(1)->vertexIndex, 1u);
    EXPECT_EQ(hip->Influences.GetAt(1)->weight, 0.5f);

    // The bones gave the vertices their weights, and the list its skin data.
    const CModelVertexList& v = *mesh.GetModelObject(0)->GetVertexList();
    EXPECT_EQ(v.FormatFlags, 0x13u);
    EXPECT_EQ(v.Stride, 44u);
    EXPECT_EQ(v.GetAt(0)->InfluenceCount, 1);
    EXPECT_EQ(v.GetAt(0)->BoneIndex[0], 1);
    EXPECT_EQ(v.GetAt(0)->Weight[0], 1.0f);
    EXPECT_EQ(v.GetAt(1)->InfluenceCount, 2);
    EXPECT_EQ(v.GetAt(1)->BoneIndex[0], 1);
    EXPECT_EQ(v.GetAt(1)->BoneIndex[1], 2);
    EXPECT_EQ(v.GetAt(1)->Weight[1], 0.5f);
    EXPECT_EQ(v.GetAt(1)->Normal.x, 1.0f);

    const auto* legs = ListElement<CPointerList>(mesh.GetBoneGroups(), 0);
    ASSERT_NE(legs, nullptr);
    EXPECT_STREQ(legs->GetName(), "Legs");
    ASSERT_EQ(legs->GetCount(), 2u);
    EXPECT_EQ(legs->GetAt(1), static_cast<void*>(knee));

    ASSERT_EQ(mesh.GetAnimations()->GetCount(), 1u);
    const CModelAnimation& walk = *mesh.GetAnimation(0);
    EXPECT_STREQ(walk.GetName(), "Walk");
    EXPECT_EQ(walk.Length, 4800u);
    ASSERT_EQ(walk.Tracks.GetCount(), 1u);
    const auto& keys = *static_cast<const CModelBoneAnimation*>(walk.Tracks.GetAt(0));
    EXPECT_EQ(keys.Bone, knee);
    EXPECT_STREQ(keys.BoneName, "Knee");
    EXPECT_EQ(keys.Scaling, nullptr);
    ASSERT_NE(keys.Rotation, nullptr);
    EXPECT_STREQ(keys.Rotation->GetName(), "Rotation");
    ASSERT_EQ(keys.Rotation->GetCount(), 2u);
    const CKeyFrame<CQuaternion>& turn = *keys.Rotation->GetAt(1);
    EXPECT_EQ(turn.time, 4800.0f);
    EXPECT_EQ(turn.value.w, kHalfRoot2);
    EXPECT_EQ(turn.value.z, kHalfRoot2);
    EXPECT_EQ(turn.value.x, 0.0f);
    EXPECT_EQ(turn.ease, 0.5f);
    ASSERT_NE(keys.Position, nullptr);
    EXPECT_STREQ(keys.Position->GetName(), "Position");
    ASSERT_EQ(keys.Position->GetCount(), 1u);
    EXPECT_EQ(keys.Position->GetAt(0)->time, 2400.0f);
    EXPECT_EQ(keys.Position->GetAt(0)->value.z, 0.5f);
}

TEST(ModelGolden, TheSkinBitIsWrittenButItsBytesCountedOnce)
{
    CMesh mesh;
    ASSERT_TRUE(Read(SkinnedGolden(), mesh));
    const std::string again = CWriteMesh::Build(mesh);
    // Only the vertex format word differs: it now carries the skin bit.
    std::string expected = SkinnedGolden();
    const size_t formatAt = 23 + 8 + 5 + 8 + 4;
    ASSERT_EQ(expected.substr(formatAt, 4), std::string("\x03\0\0\0", 4));
    expected[formatAt] = 0x13;
    EXPECT_EQ(again, expected);
    CMesh reread;
    ASSERT_TRUE(Read(again, reread));
    EXPECT_EQ(reread.GetModelObject(0)->GetVertexList()->FormatFlags, 0x13u);
    EXPECT_EQ(reread.GetModelObject(0)->GetVertexList()->Stride, 44u);
    EXPECT_EQ(reread.GetModelObject(0)->GetVertexList()->GetAt(1)->InfluenceCount, 2);
}
