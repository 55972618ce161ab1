// Two model files laid out by hand, field by field: a rigid model (one
// object with a material, a texture and a one-cell collision grid) and a
// skinned model (one object, two bones, a bone group and one animation).
// The writer must produce them byte for byte from meshes built in code;
// what the reader finds in them is written back to the same bytes, and
// what it works out besides is checked here.
#include "engine/model/AnalysMesh.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/model/tests/ModelGolden.h"
#include "engine/model/tests/ModelMeshes.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

using model_test::BuildRigid;
using model_test::BuildSkinned;
using model_test::Bytes;
using model_test::ReadInto;
using model_test::RigidGolden;
using model_test::SkinnedGolden;

namespace {

}  // namespace

TEST(ModelGolden, WriterLaysOutBothModelsByteForByte)
{
    CMesh rigid, skinned;
    BuildRigid(rigid);
    BuildSkinned(skinned);
    EXPECT_EQ(CWriteMesh::Build(rigid), RigidGolden());
    EXPECT_EQ(CWriteMesh::Build(skinned), SkinnedGolden());
}

TEST(ModelGolden, ReaderFindsTheRigidModel)
{
    CMesh mesh;
    ASSERT_TRUE(ReadInto(RigidGolden(), mesh));
    EXPECT_EQ(CWriteMesh::Build(mesh), RigidGolden());
    const CModelObject& box = *mesh.GetModelObject(0);
    const CModelVertexList& v = *box.GetVertexList();
    EXPECT_EQ(v.Stride, 20u);
    // No normal on file: the normalized position; no colour: white.
    EXPECT_EQ(v.GetAt(2)->Normal.y, 1.0f);
    EXPECT_EQ(v.GetAt(0)->Normal.LengthSquared(), 0.0f);
    EXPECT_EQ(v.GetAt(0)->Color.x, 1.0f);
    EXPECT_EQ(v.GetAt(0)->Color.w, 1.0f);
    const auto& m = *static_cast<const CModelMaterial*>(box.GetMaterialList()->GetAt(0));
    EXPECT_EQ(m.SavedTextures->GetCount(), 1u);
    EXPECT_EQ(box.GetCollisionGrid()->GetCellAt(0)->GetVertexList(), box.GetVertexList());
}

TEST(ModelGolden, ReaderFindsTheSkinnedModel)
{
    CMesh mesh;
    ASSERT_TRUE(ReadInto(SkinnedGolden(), mesh));
    ASSERT_EQ(mesh.GetBoneCount(), 3u);
    CModelBone* root = mesh.GetBone(0);
    CModelBone* hip = mesh.GetBone(1);
    CModelBone* knee = mesh.GetBone(2);
    EXPECT_EQ(knee->Index, 2u);
    EXPECT_EQ(hip->Parent, root);
    EXPECT_EQ(knee->Parent, hip);
    ASSERT_EQ(root->Children.GetCount(), 1u);
    EXPECT_EQ(root->Children.GetAt(0), static_cast<void*>(hip));
    // The combined matrix is the frame matrix's rotation part.
    EXPECT_EQ(knee->CombinedMatrix, CMatrix());
    // The bones gave the vertices their weights, and the list its skin data.
    const CModelVertexList& v = *mesh.GetModelObject(0)->GetVertexList();
    EXPECT_EQ(v.Stride, 44u);
    const CModelVertex& shared = *v.GetAt(1);
    EXPECT_EQ(shared.InfluenceCount, 2);
    EXPECT_EQ(shared.BoneIndex[0], 1);
    EXPECT_EQ(shared.BoneIndex[1], 2);
    EXPECT_EQ(shared.Weight[1], 0.5f);
    EXPECT_EQ(ListElement<CPointerList>(mesh.GetBoneGroups(), 0)->GetAt(1), static_cast<void*>(knee));
    EXPECT_EQ(static_cast<const CModelBoneAnimation*>(mesh.GetAnimation(0)->Tracks.GetAt(0))->Bone, knee);
}

TEST(ModelGolden, TheSkinBitIsWrittenButItsBytesCountedOnce)
{
    CMesh mesh;
    ASSERT_TRUE(ReadInto(SkinnedGolden(), mesh));
    const std::string again = CWriteMesh::Build(mesh);
    // Only the vertex format word differs: it now carries the skin bit.
    std::string expected = SkinnedGolden();
    const size_t formatAt = 23 + 8 + 5 + 8 + 4;
    ASSERT_EQ(expected.substr(formatAt, 4), std::string("\x03\0\0\0", 4));
    expected[formatAt] = 0x13;
    EXPECT_EQ(again, expected);
    CMesh reread;
    ASSERT_TRUE(ReadInto(again, reread));
    EXPECT_EQ(CWriteMesh::Build(reread), expected);
    EXPECT_EQ(reread.GetModelObject(0)->GetVertexList()->Stride, 44u);
}

}  // namespace ORV_TEST_FILE_ID
