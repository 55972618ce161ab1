// Model files laid out to cost the reader: vertices of no bytes claimed
// again and again, key groups of one key each, a bone before the object it
// skins. Each is read within its bounds, quickly, and what reads is read
// the same once written again.
#include "engine/model/AnalysMesh.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/model/tests/HostileModels.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>

namespace model_hostile_test {

namespace ORV_TEST_FILE_ID {

using model_test::Bytes;
using model_test::ReadInto;

// The monotonic clock in milliseconds: what these tests check is time.
f64 NowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return f64(t.tv_sec) * 1e3 + f64(t.tv_nsec) / 1e6;
}

// The most this process has held, in KiB.
long PeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Reads, writes again, reads that back: the same vertices and bytes.
void ExpectSameOnceWritten(const CMesh& mesh, const char* what)
{
    const std::string again = CWriteMesh::Build(mesh);
    CMesh reread;
    ASSERT_EQ(ReadInto(again, reread), 1) << what;
    ASSERT_EQ(reread.GetModelObjectCount(), mesh.GetModelObjectCount()) << what;
    for (u32 i = 0; i < mesh.GetModelObjectCount(); ++i) {
        EXPECT_EQ(reread.GetModelObject(i)->GetVertexList()->GetCount(),
            mesh.GetModelObject(i)->GetVertexList()->GetCount()) << what;
    }
    EXPECT_EQ(CWriteMesh::Build(reread), again) << what;
}

TEST(ModelHostile, VerticesOfNoBytesAreBoundByTheFileAndByItsRewrite)
{
    const std::string magic = Bytes().Magic();
    const std::string unknown = Bytes().U32(20).U32(100).Raw(std::string(100, 'x')).End();
    const std::string after = Bytes().End().Raw(std::string(100, 'x'));
    // The 57-byte file makes 57 vertices at most; its rewrite has 93 bytes
    // (object 70: name 2, vertex, index and material list blocks 20, 20,
    // 16), so bytes the rewrite drops pay for none beyond 93.
    const struct {
        const char* what;
        std::string bytes;
        i32 result;
    } cases[] = {
        {"one per byte of the file", magic + model_test::FieldlessObject(57), 1},
        {"one more", magic + model_test::FieldlessObject(58), 0},
        {"one per byte of the rewrite, an unknown chunk beside", magic + model_test::FieldlessObject(93) + unknown, 1},
        {"one more", magic + model_test::FieldlessObject(94) + unknown, 0},
        {"one per byte of the rewrite, bytes after the end", magic + model_test::FieldlessObject(93) + after, 1},
        {"one more", magic + model_test::FieldlessObject(94) + after, 0},
    };
    for (const auto& c : cases) {
        CMesh mesh;
        const i32 result = ReadInto(c.bytes, mesh);
        EXPECT_EQ(result, c.result) << c.what;
        if (result) ExpectSameOnceWritten(mesh, c.what);
    }
}

TEST(ModelHostile, ASmallFileAskingForGigabytesIsRefusedQuicklyWithLittleMemory)
{
    u64 asked = 0;
    const std::string bytes = model_test::MultiplyingFieldless(40 << 10, &asked);
    ASSERT_GT(asked * sizeof(CModelVertex), 2ull << 30);
    const long peak = PeakKiB();
    const f64 start = NowMs();
    CMesh mesh;
    EXPECT_EQ(ReadInto(bytes, mesh), 0);
    EXPECT_LT(NowMs() - start, 250.0);
    EXPECT_LT(PeakKiB() - peak, 64 << 10);
}

TEST(ModelHostile, ABoneBeforeItsObjectSkinsItAsTheRewriteDoes)
{
    CMesh boneFirst, objectFirst;
    ASSERT_EQ(ReadInto(model_test::BoneBeforeObject(), boneFirst), 1);
    ASSERT_EQ(ReadInto(model_test::ObjectBeforeBone(), objectFirst), 1);
    const CModelVertexList& list = *boneFirst.GetModelObject(0)->GetVertexList();
    EXPECT_EQ(list.FormatFlags, u32(kVertexPosition | kVertexSkin));
    EXPECT_EQ(list.GetAt(0)->InfluenceCount, 0);
    ASSERT_EQ(list.GetAt(1)->InfluenceCount, 1);
    EXPECT_EQ(list.GetAt(1)->BoneIndex[0], 1);
    EXPECT_EQ(list.GetAt(1)->Weight[0], 0.5f);
    EXPECT_EQ(CWriteMesh::Build(boneFirst), CWriteMesh::Build(objectFirst));
    ExpectSameOnceWritten(boneFirst, "bone first");
}

TEST(ModelHostile, AMebibyteOfOneKeyGroupsReadsInOrderWellUnderATenthOfASecond)
{
    const u32 pairs = (1u << 20) / 60;
    const std::string bytes = model_test::KeyRuns(pairs);
    f64 best = 1e9;
    for (int run = 0; run < 3 && best >= 100.0; ++run) {
        const f64 start = NowMs();
        CMesh mesh;
        ASSERT_EQ(ReadInto(bytes, mesh), 1);
        best = std::min(best, NowMs() - start);
        const auto& keys = *static_cast<const CModelBoneAnimation*>(mesh.GetAnimation(0)->Tracks.GetAt(0));
        ASSERT_TRUE(keys.Rotation && keys.Position);
        EXPECT_EQ(keys.Scaling, nullptr);
        ASSERT_EQ(keys.Rotation->GetCount(), pairs);
        ASSERT_EQ(keys.Position->GetCount(), pairs);
        for (u32 n : {0u, 1u, pairs / 2, pairs - 1}) {
            EXPECT_EQ(keys.Rotation->GetAt(n)->time, f32(n));
            EXPECT_EQ(keys.Rotation->GetAt(n)->value.z, f32(n));
            EXPECT_EQ(keys.Rotation->GetAt(n)->ease, 0.5f);
            EXPECT_EQ(keys.Position->GetAt(n)->value.x, f32(n));
            EXPECT_EQ(keys.Position->GetAt(n)->ease, 0.25f);
        }
    }
    EXPECT_LT(best, 100.0) << bytes.size() << " bytes";
}

TEST(ModelHostile, AGroupOfNoKeysStillMakesItsTrack)
{
    const std::string bytes = Bytes().Magic().Raw(model_test::ArmBone({}))
        .U32(9).U32(5 + 4 + 8 + 12 + 4).Str("Walk").U32(0)
        .U32(10).U32(12).Str("Arm").U32(kKeysScaling).U32(0).End()
        .End();
    CMesh mesh;
    ASSERT_EQ(ReadInto(bytes, mesh), 1);
    const auto& keys = *static_cast<const CModelBoneAnimation*>(mesh.GetAnimation(0)->Tracks.GetAt(0));
    ASSERT_NE(keys.Scaling, nullptr);
    EXPECT_EQ(keys.Scaling->GetCount(), 0u);
    EXPECT_EQ(keys.Rotation, nullptr);
}

TEST(ModelHostile, MaterialEntriesOfTheLeastSizeFillTheirListExactly)
{
    const struct {
        u32 count, entries;
        i32 result;
    } cases[] = {{3, 3, 1}, {4, 3, 0}, {1, 1, 1}, {0, 0, 1}};
    for (const auto& c : cases) {
        CMesh mesh;
        ASSERT_EQ(ReadInto(model_test::SmallestMaterials(c.count, c.entries), mesh), c.result) << c.count;
        if (!c.result) continue;
        EXPECT_EQ(mesh.GetModelObject(0)->GetMaterialList()->GetCount(), c.count);
        ExpectSameOnceWritten(mesh, "materials");
    }
}

TEST(ModelHostile, VerticesReadAgainWithFewerFieldsKeepNothingOfTheFirstRead)
{
    CMesh twice, once;
    ASSERT_EQ(ReadInto(model_test::VerticesReadAgain(), twice), 1);
    ASSERT_EQ(ReadInto(model_test::VerticesReadOnce(), once), 1);
    const CModelVertexList& a = *twice.GetModelObject(0)->GetVertexList();
    const CModelVertexList& b = *once.GetModelObject(0)->GetVertexList();
    EXPECT_EQ(a.FormatFlags, u32(kVertexPosition));
    ASSERT_EQ(a.GetCount(), 2u);
    for (u32 i = 0; i < 2; ++i) {
        const CModelVertex& x = *a.GetAt(i);
        const CModelVertex& y = *b.GetAt(i);
        EXPECT_EQ(x.Position.x, y.Position.x);
        EXPECT_EQ(x.Normal.x, y.Normal.x);
        EXPECT_FLOAT_EQ(x.Normal.z, i == 0 ? 0.8f : 0.0f);
        EXPECT_EQ(x.Color.z, 1.0f);
        for (u32 set = 0; set < 4; ++set) EXPECT_EQ(x.TexCoord(set)[0], 0.0f) << set;
        EXPECT_EQ(x.Tangent.y, 0.0f);
        EXPECT_EQ(x.Binormal.z, 0.0f);
        EXPECT_EQ(x.InfluenceCount, 0);
        EXPECT_EQ(x.Weight[0], y.Weight[0]);
    }
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace model_hostile_test
