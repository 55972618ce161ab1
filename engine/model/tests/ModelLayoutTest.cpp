// Model files are read by their layout: size words of known chunks and
// blocks may hold anything, and an object (or a low model, or an
// animation) whose data end after a whole block is kept as if its end
// marker followed. Whatever is refused still reads nothing past the data.
#include "engine/model/AnalysMesh.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/model/tests/ModelGolden.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ORV_TEST_FILE_ID {

using model_test::Bytes;
using model_test::ReadInto;
using model_test::SizeWord;

namespace {

i32 BoneNumber(const CMesh& mesh, const void* bone)
{
    for (u32 i = 0; i < mesh.GetBoneCount(); ++i)
        if (mesh.GetBone(i) == bone) return i32(i);
    return -1;
}

// Everything the file holds comes back in the writer's bytes; what the
// reader works out besides (normals and colours not on file, skin slots,
// links between bones, groups and key sets) is compared here.
testing::AssertionResult SameModel(const CMesh& a, const CMesh& b)
{
    if (CWriteMesh::Build(a) != CWriteMesh::Build(b)) return testing::AssertionFailure() << "written bytes differ";
    for (u32 o = 0; o < a.GetModelObjectCount(); ++o) {
        const CModelVertexList& va = *a.GetModelObject(o)->GetVertexList();
        const CModelVertexList& vb = *b.GetModelObject(o)->GetVertexList();
        if (va.Stride != vb.Stride) return testing::AssertionFailure() << "object " << o << " stride";
        for (u32 i = 0; i < va.GetCount(); ++i) {
            const CModelVertex &x = *va.GetAt(i), &y = *vb.GetAt(i);
            if (std::memcmp(&x.Normal, &y.Normal, sizeof x.Normal) != 0 ||
                std::memcmp(&x.Color, &y.Color, sizeof x.Color) != 0 || x.InfluenceCount != y.InfluenceCount ||
                std::memcmp(x.BoneIndex, y.BoneIndex, 4) != 0 || std::memcmp(x.Weight, y.Weight, 16) != 0) {
                return testing::AssertionFailure() << "object " << o << " vertex " << i;
            }
        }
    }
    for (u32 i = 0; i < a.GetBoneCount(); ++i) {
        const CModelBone &x = *a.GetBone(i), &y = *b.GetBone(i);
        if (x.Index != y.Index || BoneNumber(a, x.Parent) != BoneNumber(b, y.Parent) ||
            x.Children.GetCount() != y.Children.GetCount() || !(x.CombinedMatrix == y.CombinedMatrix)) {
            return testing::AssertionFailure() << "bone " << i;
        }
    }
    for (u32 g = 0; g < a.GetBoneGroups()->GetCount(); ++g) {
        const CPointerList &x = *ListElement<CPointerList>(a.GetBoneGroups(), g),
                           &y = *ListElement<CPointerList>(b.GetBoneGroups(), g);
        for (u32 i = 0; i < x.GetCount(); ++i)
            if (BoneNumber(a, x.GetAt(i)) != BoneNumber(b, y.GetAt(i))) return testing::AssertionFailure() << "group";
    }
    for (u32 n = 0; n < a.GetAnimations()->GetCount(); ++n) {
        const auto &x = a.GetAnimation(n)->Tracks, &y = b.GetAnimation(n)->Tracks;
        for (u32 k = 0; k < x.GetCount(); ++k) {
            if (BoneNumber(a, static_cast<const CModelBoneAnimation*>(x.GetAt(k))->Bone) !=
                BoneNumber(b, static_cast<const CModelBoneAnimation*>(y.GetAt(k))->Bone)) {
                return testing::AssertionFailure() << "animation " << n << " key set " << k;
            }
        }
    }
    return testing::AssertionSuccess();
}

}  // namespace

TEST(ModelLayout, WrongSizeWordsLoadTheSameModel)
{
    const struct {
        const char* name;
        std::string bytes;
        std::vector<SizeWord> sizes;
    } files[] = {
        {"rigid", model_test::RigidGolden(), model_test::RigidSizeWords()},
        {"skinned", model_test::SkinnedGolden(), model_test::SkinnedSizeWords()},
    };
    for (const auto& f : files) {
        CMesh right;
        ASSERT_EQ(ReadInto(f.bytes, right), 1) << f.name;
        std::string allWrong = f.bytes;
        for (const SizeWord& w : f.sizes) {
            ASSERT_EQ(GetLe32(&f.bytes[w.at]), w.right) << f.name << " at " << w.at;
            for (u32 wrong : {0u, 7u, 150u, w.right - 1, w.right + 1, 0xFFFFFFFFu}) {
                std::string damaged = f.bytes;
                PutLe32(&damaged[w.at], wrong);
                CMesh mesh;
                ASSERT_EQ(ReadInto(damaged, mesh), 1) << f.name << " at " << w.at << " = " << wrong;
                EXPECT_TRUE(SameModel(mesh, right)) << f.name << " at " << w.at << " = " << wrong;
            }
            PutLe32(&allWrong[w.at], 150);
        }
        CMesh mesh;
        ASSERT_EQ(ReadInto(allWrong, mesh), 1) << f.name;
        EXPECT_TRUE(SameModel(mesh, right)) << f.name;
    }
    // The skinned file's read-back, checked once by value as well.
    std::string skinned = model_test::SkinnedGolden();
    for (const SizeWord& w : model_test::SkinnedSizeWords()) PutLe32(&skinned[w.at], 0);
    CMesh mesh;
    ASSERT_EQ(ReadInto(skinned, mesh), 1);
    ASSERT_EQ(mesh.GetBoneCount(), 3u);
    EXPECT_EQ(mesh.GetBone(2)->Parent, mesh.GetBone(1));
    EXPECT_EQ(mesh.GetModelObject(0)->GetVertexList()->GetAt(1)->InfluenceCount, 2);
    EXPECT_EQ(mesh.GetAnimation(0)->Tracks.GetCount(), 1u);
}

TEST(ModelLayout, AnUnknownChunkIsStillSkippedByItsSize)
{
    // Only an unknown frame's size is used; it must lie within the data.
    const std::string after = Bytes().U32(8).U32(0).Str("G").U32(0).End();
    const struct {
        const char* what;
        std::string bytes;
        i32 result;
    } cases[] = {
        {"its size", Bytes().Magic().U32(5).U32(3).Raw("abc").End().Raw(after), 1},
        {"a size one short", Bytes().Magic().U32(5).U32(2).Raw("abc").End().Raw(after), 0},
        {"a size reaching the end of the data", Bytes().Magic().U32(5).U32(3).Raw("abc"), 0},
        {"an unknown block in an object",
            Bytes().Magic().U32(0).U32(0).Str("A").U32(13).U32(2).Raw("xy").End().End().Raw(after), 1},
        {"an unknown block past the data", Bytes().Magic().U32(0).U32(0).Str("A").U32(13).U32(9).Raw("xy"), 0},
    };
    for (const auto& c : cases) {
        CMesh mesh;
        ASSERT_EQ(ReadInto(c.bytes, mesh), c.result) << c.what;
        if (c.result) {
            EXPECT_EQ(mesh.GetBoneGroups()->GetCount(), 1u) << c.what;
        } else {
            EXPECT_EQ(mesh.GetModelObjectCount() + mesh.GetBoneGroups()->GetCount(), 0u) << c.what;
        }
    }
}

TEST(ModelLayout, AnObjectCutAfterAWholeBlockIsKept)
{
    // Sizes are left wrong on purpose: the layout alone is read.
    const std::string vertices = Bytes().U32(1).U32(0).U32(1).U32(1).F3(1, 2, 3).End();
    const std::string indices = Bytes().U32(2).U32(0).U32(3).U32(0).U32(0).U32(0).U32(1).U32(0).U32(3).End();
    const std::string whole = Bytes().Magic().U32(0).U32(0).Str("Whole").Raw(vertices).Raw(indices).End();
    const std::string cut = Bytes().U32(0).U32(7).Str("Cut");
    const std::string low = Bytes().U32(12).U32(7).Str("Low").F32(0.5f).Raw(vertices).Raw(indices);
    const std::string keys =
        Bytes().U32(9).U32(7).Str("Walk").U32(480).U32(10).U32(7).Str("Cut").U32(2).U32(1).F32(0).F3(0, 1, 0).F32(0).End();
    const struct {
        const char* what;
        std::string tail;
        u32 markers;       // the end markers that would close it
        u32 vertices, indices, lows, animations;
    } kept[] = {
        {"after its name", cut, 1, 0, 0, 0, 0},
        {"after a whole block", cut + vertices, 1, 1, 0, 0, 0},
        {"after its last block", cut + vertices + indices, 1, 1, 3, 0, 0},
        {"with a low model", cut + vertices + low, 2, 1, 0, 1, 0},
        {"an animation after a key set", cut + vertices + Bytes().End().str() + keys, 1, 1, 0, 0, 1},
    };
    for (const auto& c : kept) {
        CMesh mesh;
        ASSERT_EQ(ReadInto(whole + c.tail, mesh), 1) << c.what;
        ASSERT_EQ(mesh.GetModelObjectCount(), 2u) << c.what;
        EXPECT_STREQ(mesh.GetModelObject(0)->GetName(), "Whole");
        const CModelObject& o = *mesh.GetModelObject(1);
        EXPECT_STREQ(o.GetName(), "Cut") << c.what;
        ASSERT_EQ(o.GetVertexList()->GetCount(), c.vertices) << c.what;
        if (c.vertices) {
            EXPECT_EQ(o.GetVertexList()->GetAt(0)->Position.z, 3.0f) << c.what;
        }
        EXPECT_EQ(o.GetIndexList()->Indices.GetCount(), c.indices) << c.what;
        ASSERT_EQ(o.GetLowModels()->GetCount(), c.lows) << c.what;
        if (c.lows) {
            const auto* l = ListElement<CLowModelObject>(o.GetLowModels(), 0);
            EXPECT_EQ(l->GetValue(), 0.5f);
            EXPECT_EQ(l->GetVertexList()->GetCount(), 1u);
            EXPECT_EQ(l->GetIndexList()->Ranges.GetCount(), 1u);
        }
        ASSERT_EQ(mesh.GetAnimations()->GetCount(), c.animations) << c.what;
        if (c.animations) {
            EXPECT_EQ(mesh.GetAnimation(0)->Tracks.GetCount(), 1u);
        }
        // The same as the file with its end markers.
        std::string closed = whole + c.tail;
        for (u32 i = 0; i < c.markers; ++i) closed += Bytes().End().str();
        CMesh whole2;
        ASSERT_EQ(ReadInto(closed, whole2), 1) << c.what;
        EXPECT_TRUE(SameModel(mesh, whole2)) << c.what;
    }

    const struct {
        const char* what;
        std::string tail;
    } refused[] = {
        {"inside a block", cut + vertices.substr(0, vertices.size() - 4)},
        {"inside a block's marker", cut + vertices.substr(0, vertices.size() - 1)},
        {"inside a tag", cut + vertices + std::string("\x02\x00", 2)},
        {"inside a size", cut + vertices + Bytes().U32(2).str() + "\x1C"},
        {"inside its name", cut.substr(0, cut.size() - 1)},
        {"before its name", cut.substr(0, 8)},
        {"a material list without its marker", cut + Bytes().U32(3).U32(4).U32(0).str()},
        {"a closed entry, its list not", cut + Bytes().U32(3).U32(0).U32(1).U32(4).U32(0).Str("M").F4(0, 0, 0, 0)
                                             .F4(0, 0, 0, 0).F4(0, 0, 0, 0).F4(0, 0, 0, 0).U32(0).U32(0).U32(0)
                                             .F32(0).End().str()},
        {"a grid without its marker", cut + Bytes().U32(11).U32(54).F3(0, 0, 0).F3(1, 1, 1).F3(1, 1, 1)
                                                   .F3(1, 1, 1).U16(0).U16(0).U16(0).str()},
        {"a bone without its marker", Bytes().U32(7).U32(0).Str("B").Str("root").Translation(0, 0, 0)
                                          .Translation(0, 0, 0).U32(0).U32(0).F32(0).F32(0).str()},
        {"a key set without its marker", keys.substr(0, keys.size() - 4)},
    };
    for (const auto& c : refused) {
        CMesh mesh;
        EXPECT_EQ(ReadInto(whole + c.tail, mesh), 0) << c.what;
        EXPECT_EQ(mesh.GetModelObjectCount(), 0u) << c.what;
    }
}

TEST(ModelLayout, AMaterialEntryIsItsOwnRunOfBlocks)
{
    // The entry's fields come with tag 4; its texture and shader blocks
    // share the run, in any order, and the run's marker ends the entry.
    const std::string fields = Bytes().Str("Mat").F4(1, 0, 0, 1).F4(0, 1, 0, 1).F4(0, 0, 1, 1).F4(0, 0, 0, 1)
                                   .U32(2).U32(7).U32(9).F32(8);
    const auto file = [](const std::string& entries, u32 count) {
        return Bytes().Magic().U32(0).U32(0).Str("A").U32(3).U32(0).U32(count).Raw(entries).End().End().str();
    };
    const std::string texture = Bytes().U32(5).U32(0).Str("Wood.bmp").End();
    const std::string fieldsFirst = Bytes().U32(4).U32(0).Raw(fields).Raw(texture).End();
    const std::string textureFirst = Bytes().Raw(texture).U32(4).U32(0).Raw(fields).End();
    const std::string bare = Bytes().End();
    CMesh a, b, c;
    ASSERT_EQ(ReadInto(file(fieldsFirst, 1), a), 1);
    ASSERT_EQ(ReadInto(file(textureFirst, 1), b), 1);
    EXPECT_TRUE(SameModel(a, b));
    const auto& m = *static_cast<const CModelMaterial*>(a.GetModelObject(0)->GetMaterialList()->GetAt(0));
    EXPECT_STREQ(m.Name, "Mat");
    EXPECT_EQ(m.Ambient.y, 1.0f);
    EXPECT_EQ(m.Values[1], 9u);
    EXPECT_EQ(m.Power, 8.0f);
    ASSERT_EQ(m.Textures->GetCount(), 1u);
    // An entry that is its marker alone is a material with nothing set;
    // the next entry is read after it.
    ASSERT_EQ(ReadInto(file(bare + fieldsFirst, 2), c), 1);
    const CMaterialList& list = *c.GetModelObject(0)->GetMaterialList();
    ASSERT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(static_cast<const CModelMaterial*>(list.GetAt(0))->Name, nullptr);
    EXPECT_STREQ(static_cast<const CModelMaterial*>(list.GetAt(1))->Name, "Mat");
}

}  // namespace ORV_TEST_FILE_ID
