// The model file through the writer and the reader: what goes in comes
// out, the format's corner cases, shared texture caches, and damaged files
// refused whole.
#include "engine/model/AnalysMesh.h"
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ModelGolden.h"
#include "engine/model/tests/ModelMeshes.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using model_test::BuildFull;
using model_test::Bytes;
using model_test::NewBone;
using model_test::NewFilledObject;

namespace {

i32 Read(const std::string& bytes, CMesh& mesh)
{
    CAnalysMesh reader;
    if (!bytes.empty() && !reader.LoadFromMemory(bytes.data(), u32(bytes.size()))) return 0;
    return reader.ReadChunks(&mesh);
}

std::string Le32(u32 v) { return Bytes().U32(v); }

}  // namespace

TEST(ModelFile, WhatIsWrittenIsReadBack)
{
    CMesh mesh;
    BuildFull(mesh);
    const std::string bytes = CWriteMesh::Build(mesh);
    CMesh read;
    ASSERT_EQ(Read(bytes, read), 1);
    // Written again, the same bytes: nothing was lost or changed.
    EXPECT_EQ(CWriteMesh::Build(read), bytes);

    // What the reader works out besides: the stride, a name for the
    // unnamed material, no texture list where none was written.
    const CModelObject& hull = *read.GetModelObject(0);
    EXPECT_EQ(hull.GetVertexList()->Stride, 84u);
    const auto& unnamed = *static_cast<const CModelMaterial*>(hull.GetMaterialList()->GetAt(1));
    EXPECT_STREQ(unnamed.Name, "Material_2");
    EXPECT_EQ(unnamed.Textures, nullptr);
}

TEST(ModelFile, SmallFilesAndTheirCorners)
{
    const std::string magic = Bytes().Magic();
    const std::string skinnedKnee = Bytes()
        .U32(7).U32(153).Str("Knee").Str("Hip").Translation(0, 0, 0).Translation(0, 0, 0).U32(0)
        .U32(0).U32(0).U32(0).End();
    struct Case {
        const char* what;
        std::string bytes;
        i32 result;
    } cases[] = {
        {"the magic alone is an empty model", magic, 1},
        {"an end marker ends the chunks, whatever follows", magic + Le32(0xFFFFFFFF) + "garbage", 1},
        {"an unknown chunk is skipped by its size", magic + Bytes().U32(5).U32(3).Str("ab").End().str(), 1},
        {"an unknown chunk must end with a marker", magic + Bytes().U32(5).U32(3).Str("ab").U32(0).str(), 0},
        {"an unknown chunk's size past the end", magic + Bytes().U32(5).U32(300).Str("ab").End().str(), 0},
        {"a wrong magic", "QEL MODEL VER 0.02 FILE", 0},
        {"a bone chunk", magic + skinnedKnee, 1},
        {"a bone chunk whose size is one too many",
            magic + Bytes().U32(7).U32(154).Raw(skinnedKnee.substr(8)).str(), 0},
        {"a key group of an unknown kind",
            magic + Bytes().U32(9).U32(28).Str("A").U32(0)
                .U32(10).U32(10).Str("B").U32(3).U32(0).End()
                .End().str(), 0},
        {"a model object without its end marker", magic + Bytes().U32(0).U32(2).Str("A").str(), 0},
        {"a grid cell whose index block is not one",
            magic + Bytes().U32(0).U32(113).Str("A")
                .U32(11).U32(99).F3(0, 0, 0).F3(1, 1, 1).F3(1, 1, 1).F3(1, 1, 1).U16(1).U16(1).U16(1)
                .F3(0, 0, 0).F3(1, 1, 1).Str("")
                .U32(1).U32(8).U32(0).U32(0).End()
                .End()
                .End().str(), 0},
    };
    for (const Case& c : cases) {
        CMesh mesh;
        EXPECT_EQ(Read(c.bytes, mesh), c.result) << c.what;
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
    ASSERT_EQ(Read(bytes, mesh), 1);
    ASSERT_EQ(mesh.GetBoneCount(), 2u);
    EXPECT_STREQ(mesh.GetBone(0)->GetName(), "root");
    EXPECT_EQ(mesh.GetBone(1)->Parent, mesh.GetBone(0));
    const auto& keys = *static_cast<const CModelBoneAnimation*>(mesh.GetAnimation(0)->Tracks.GetAt(0));
    ASSERT_EQ(keys.Rotation->GetCount(), 2u);
    EXPECT_EQ(keys.Rotation->GetAt(1)->value.x, 1.0f);
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
    ASSERT_EQ(Read(bytes, mesh), 1);
    EXPECT_EQ(mesh.GetBone(1)->ParentName, nullptr);
    const CMesh copy(mesh);
    CAnimationController* own = mesh.CreateAnimationController();
    CAnimationController* copied = copy.CreateAnimationController();
    ASSERT_EQ(own->UpdateMatrices(nullptr), 1);
    ASSERT_EQ(copied->UpdateMatrices(nullptr), 1);
    const CMatrix& a = own->GetFrameByName("Hand")->WorldMatrix;
    const CMatrix& b = copied->GetFrameByName("Hand")->WorldMatrix;
    EXPECT_EQ(a.m[3][1], 0.0f);
    EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a));
    own->Destroy();
    copied->Destroy();
}

TEST(ModelFile, Bone255IsTheLastAVertexCanName)
{
    // A vertex names its bones in a byte: bone 255 moves vertex 0, bone 256
    // (one past) leaves vertex 1 alone.
    CMesh mesh;
    AppendElement(mesh.GetModelObjects(), NewFilledObject("Body", kVertexPosition, 2));
    for (u32 i = 0; i < 257; ++i) {
        CModelBone* bone = NewBone(mesh, i ? ("B" + std::to_string(i)).c_str() : "root", i ? "root" : nullptr);
        if (i >= 255) {
            const CBoneInfluence influence{0, i - 255, 1.0f};
            bone->Influences.Add(&influence);
        }
    }
    CMesh read;
    ASSERT_EQ(Read(CWriteMesh::Build(mesh), read), 1);
    const CModelVertexList& v = *read.GetModelObject(0)->GetVertexList();
    ASSERT_EQ(v.GetAt(0)->InfluenceCount, 1u);
    EXPECT_EQ(v.GetAt(0)->BoneIndex[0], 255u);
    EXPECT_EQ(v.GetAt(1)->InfluenceCount, 0u);
}

TEST(ModelFile, AFifthInfluenceOnAVertexMovesNothing)
{
    CMesh mesh;
    AppendElement(mesh.GetModelObjects(), NewFilledObject("Body", 0x1, 1));
    NewBone(mesh, "root", nullptr);
    for (int b = 0; b < 5; ++b) {
        const char name[] = {char('A' + b), 0};
        const CBoneInfluence influences[] = {{0, 0, 0.2f}, {0, 1, 1.0f}, {1, 0, 1.0f}};
        NewBone(mesh, name, "root")->Influences.SetArray(influences, 3);   // two name nothing
    }
    CMesh read;
    ASSERT_EQ(Read(CWriteMesh::Build(mesh), read), 1);
    const CModelVertex& v = *read.GetModelObject(0)->GetVertexList()->GetAt(0);
    EXPECT_EQ(v.InfluenceCount, 4);
    EXPECT_EQ(v.BoneIndex[0], 1);
    EXPECT_EQ(v.BoneIndex[3], 4);
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
    ASSERT_EQ(cache.GetCount(), 1u);
    EXPECT_STREQ(static_cast<CResourceBase*>(static_cast<CValueBase*>(cache.GetAt(0)))->GetName(), "a\\Wood.bmp");
    SetModelTextureFactory(nullptr);
}

TEST(ModelFile, MeshWriteReplacesTheFileOrLeavesItAlone)
{
    host::kernel::testing::TempFolder folder;
    const std::string path = folder / "Ship.mdl";
    CMesh mesh;
    BuildFull(mesh);
    EXPECT_EQ(mesh.Write(nullptr), 0);
    ASSERT_EQ(mesh.Write(path.c_str()), 1);
    CAnalysMesh reader;
    ASSERT_EQ(reader.LoadFromFile(path.c_str()), 1u);
    CMesh read;
    ASSERT_EQ(reader.ReadChunks(&read), 1);
    EXPECT_EQ(CWriteMesh::Build(read), CWriteMesh::Build(mesh));
    // A folder that does not exist: nothing written, no failure hidden.
    EXPECT_EQ(mesh.Write((folder / "missing/Ship.mdl").c_str()), 0);
}
