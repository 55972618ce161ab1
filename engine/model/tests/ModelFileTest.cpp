// The model file through the writer and the reader: what goes in comes out,
// the format's corners and limits, shared texture caches.
#include "engine/model/AnalysMesh.h"
#include "engine/model/AnimationController.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ModelGolden.h"
#include "engine/model/tests/ModelMeshes.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ORV_TEST_FILE_ID {

using model_test::BuildFull;
using model_test::Bytes;
using model_test::NewBone;
using model_test::NewFilledObject;

namespace {

// Empty bytes go to a reader with nothing loaded.
i32 ReadOrNothing(const std::string& bytes, CMesh& mesh)
{
    CAnalysMesh reader;
    if (!bytes.empty() && !reader.LoadFromMemory(bytes.data(), u32(bytes.size()))) return 0;
    return reader.ReadChunks(&mesh);
}

}  // namespace

TEST(ModelFile, WhatIsWrittenIsReadBack)
{
    CMesh mesh;
    BuildFull(mesh);
    const std::string bytes = CWriteMesh::Build(mesh);
    CMesh read;
    ASSERT_EQ(ReadOrNothing(bytes, read), 1);
    // Written again, the same bytes: nothing was lost or changed.
    EXPECT_EQ(CWriteMesh::Build(read), bytes);

    // What the reader works out besides: the stride, a name for the
    // unnamed material, no texture list where none was written.
    const CModelObject& hull = *read.GetModelObject(0);
    EXPECT_EQ(hull.GetVertexList()->Stride, 84u);
    const auto& unnamed = *static_cast<const CModelMaterial*>(hull.GetMaterialList()->GetAt(1));
    EXPECT_STREQ(unnamed.Name, "Material_2");
}

TEST(ModelFile, SmallFilesAndTheirCorners)
{
    // Cuts, sizes and markers of every chunk: ModelDamageTest.
    const std::string magic = Bytes().Magic();
    const struct { const char* what; std::string bytes; i32 result; } cases[] = {
        {"the magic alone is an empty model", magic, 1},
        {"an end marker ends the chunks, whatever follows", magic + Bytes().U32(0xFFFFFFFF).str() + "garbage", 1},
        {"an unknown chunk is skipped by its size", magic + Bytes().U32(5).U32(3).Str("ab").End().str(), 1},
        {"an unknown chunk must end with a marker", magic + Bytes().U32(5).U32(3).Str("ab").U32(0).str(), 0},
        {"an unknown chunk's size past the end", magic + Bytes().U32(5).U32(300).Str("ab").End().str(), 0},
        {"a wrong magic", "QEL MODEL VER 0.02 FILE", 0},
        {"a key group of an unknown kind",
            magic + Bytes().U32(9).U32(28).Str("A").U32(0)
                .U32(10).U32(10).Str("B").U32(3).U32(0).End()
                .End().str(), 0},
        {"a grid cell whose index block is not one",
            magic + Bytes().U32(0).U32(113).Str("A")
                .U32(11).U32(99).F3(0, 0, 0).F3(1, 1, 1).F3(1, 1, 1).F3(1, 1, 1).U16(1).U16(1).U16(1)
                .F3(0, 0, 0).F3(1, 1, 1).Str("")
                .U32(1).U32(8).U32(0).U32(0).End()
                .End()
                .End().str(), 0},
    };
    for (const auto& c : cases) {
        CMesh mesh;
        EXPECT_EQ(ReadOrNothing(c.bytes, mesh), c.result) << c.what;
    }
}

TEST(ModelFile, TheFirstBoneBringsTheRootAndKeysOfOneKindAppend)
{
    const std::string bytes = Bytes()
        .Magic()
        .U32(7).U32(153).Str("Arm").Str("root").Translation(0, 0, 0).Translation(0, 0, 0).U32(0)
        .U32(0).U32(0).U32(0).End()
        .U32(9).U32(86).Str("A").U32(100)
        .U32(10).U32(68).Str("Arm")
        .U32(0).U32(1).F32(0).F4(1, 0, 0, 0).F32(0)
        .U32(0).U32(1).F32(100).F4(0, 1, 0, 0).F32(0)
        .End()
        .End();
    CMesh mesh;
    ASSERT_EQ(ReadOrNothing(bytes, mesh), 1);
    ASSERT_EQ(mesh.GetBoneCount(), 2u);
    EXPECT_EQ(mesh.GetBone(1)->Parent, mesh.GetBone(0));
    const auto& keys = *static_cast<const CModelBoneAnimation*>(mesh.GetAnimation(0)->Tracks.GetAt(0));
    ASSERT_EQ(keys.Rotation->GetCount(), 2u);
    EXPECT_EQ(keys.Rotation->GetAt(1)->value.x, 1.0f);
}

// A bone of no parent, made so or read so (its parent not read yet), is
// written under the root, and read back as the root's child.
TEST(ModelFile, ABoneOfNoParentIsWrittenUnderTheRoot)
{
    CMesh made;
    NewBone(made, "root", nullptr);
    NewBone(made, "Lone", nullptr);
    NewBone(made, "Hip", "root");
    CMesh read;
    ASSERT_EQ(ReadOrNothing(Bytes().Magic().U32(7).U32(155).Str("Lone").Str("Ghost").Translation(0, 0, 0)
                                .Translation(0, 0, 0).U32(0).U32(0).U32(0).U32(0).End(), read), 1);
    for (const CMesh* mesh : {&made, &read}) {
        const std::string bytes = CWriteMesh::Build(*mesh);
        EXPECT_NE(bytes.find(Bytes().U32(7).U32(154).Str("Lone").Str("root").str()), std::string::npos);
        CMesh again;
        ASSERT_EQ(ReadOrNothing(bytes, again), 1);
        const CModelBone* root = again.GetBone(0);
        ASSERT_EQ(again.GetBone(1)->Parent, root);
        EXPECT_STREQ(again.GetBone(1)->ParentName, "root");
        ASSERT_EQ(root->Children.GetCount(), mesh == &made ? 2u : 1u);
        EXPECT_EQ(root->Children.GetAt(0), static_cast<const void*>(again.GetBone(1)));
    }
}

TEST(ModelFile, ABoneWhoseParentComesLaterPosesAsARootInTheMeshAndItsCopy)
{
    const std::string bytes = Bytes()
        .Magic()
        .U32(7).U32(153).Str("Hand").Str("Arm").Translation(1, 0, 0).Translation(0, 0, 0).U32(0)
        .U32(0).U32(0).U32(0).End()
        .U32(7).U32(153).Str("Arm").Str("root").Translation(0, 2, 0).Translation(0, 0, 0).U32(0)
        .U32(0).U32(0).U32(0).End()
        .End();
    CMesh mesh;
    ASSERT_EQ(ReadOrNothing(bytes, mesh), 1);
    const CMesh copy(mesh);
    for (const CMesh* m : {static_cast<const CMesh*>(&mesh), &copy}) {
        CAnimationController* c = m->CreateAnimationController();
        ASSERT_EQ(c->UpdateMatrices(nullptr), 1);
        EXPECT_EQ(c->GetFrameByName("Hand")->WorldMatrix.m[3][0], 1.0f);
        EXPECT_EQ(c->GetFrameByName("Hand")->WorldMatrix.m[3][1], 0.0f);
        c->Destroy();
    }
}

// A vertex names its bones in a byte: bone 255 moves vertex 0, bone 256 (one
// past) leaves vertex 1 alone. Vertex 2 takes four influences, not a fifth;
// influences past the vertices or objects name nothing.
TEST(ModelFile, Bone255AndFourInfluencesAreTheMostAVertexTakes)
{
    CMesh mesh;
    AppendElement(mesh.GetModelObjects(), NewFilledObject("Body", kVertexPosition, 3));
    for (u32 i = 0; i < 257; ++i) {
        CModelBone* bone = NewBone(mesh, i ? ("B" + std::to_string(i)).c_str() : "root", i ? "root" : nullptr);
        const CBoneInfluence influences[] = {{0, i - 255, 1.0f}, {0, 2, 0.2f}, {0, 3, 1.0f}, {1, 0, 1.0f}};
        if (i >= 255) bone->Influences.Add(&influences[0]);
        if (i >= 1 && i <= 5) bone->Influences.SetArray(influences + 1, 3);
    }
    CMesh read;
    ASSERT_EQ(ReadOrNothing(CWriteMesh::Build(mesh), read), 1);
    const CModelVertexList& v = *read.GetModelObject(0)->GetVertexList();
    ASSERT_EQ(v.GetAt(0)->InfluenceCount, 1u);
    EXPECT_EQ(v.GetAt(0)->BoneIndex[0], 255u);
    EXPECT_EQ(v.GetAt(1)->InfluenceCount, 0u);
    EXPECT_EQ(v.GetAt(2)->InfluenceCount, 4u);
    EXPECT_EQ(v.GetAt(2)->BoneIndex[0], 1u);
    EXPECT_EQ(v.GetAt(2)->BoneIndex[3], 4u);
}

namespace {

u32 g_factoryCalls = 0;

CResourceBase* CountingFactory(const char* name, CqelPackFile*)
{
    ++g_factoryCalls;
    return new CResourceBase(name);
}

}  // namespace

TEST(ModelFile, TexturesAreSharedThroughTheCallersCache)
{
    SetModelTextureFactory(&CountingFactory);
    g_factoryCalls = 0;
    const auto material = [](const char* texture) {
        return Bytes().U32(4).U32(100 + 12 + u32(std::strlen(texture)) + 1)
            .Str("M").F4(1, 1, 1, 1).F4(1, 1, 1, 1).F4(1, 1, 1, 1).F4(1, 1, 1, 1).U32(1).U32(0).U32(0).F32(0)
            .U32(5).U32(u32(std::strlen(texture)) + 1).Str(texture).End()
            .End().str();
    };
    const std::string list = Bytes().U32(2).Raw(material("a\\Wood.bmp")).Raw(material("b\\Wood.bmp"));
    const std::string object = Bytes().U32(0).U32(2 + 12 + u32(list.size())).Str("A")
        .U32(3).U32(u32(list.size())).Raw(list).End().End();
    const std::string bytes = Bytes().Magic().Raw(object);

    CResourceList cache;
    for (int load = 0; load < 2; ++load) {
        CAnalysMesh reader;
        ASSERT_EQ(reader.LoadFromMemory(bytes.data(), u32(bytes.size())), 1u);
        CMesh mesh;
        // The reading alone: ReadModel's buffers need a device.
        reader.ReadModel(&mesh, "A", &cache, nullptr, nullptr);
    }
    // Both materials, in both loads, found the first texture by file name.
    EXPECT_EQ(g_factoryCalls, 1u);
    EXPECT_EQ(cache.GetCount(), 1u);
    SetModelTextureFactory(nullptr);
}

}  // namespace ORV_TEST_FILE_ID
