// Model files laid out to cost the reader: vertices of no bytes claimed
// again and again, key groups of one key each, a bone before the object it
// skins. Each is read within its bounds, quickly, and what reads is read
// the same once written again.
#include "engine/model/AnalysMesh.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelObject.h"
#include "engine/model/ModelFile.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/model/tests/HostileModels.h"
#include "engine/model/tests/ModelMeshes.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <vector>

namespace model_hostile_test {

namespace ORV_TEST_FILE_ID {

using model_test::Bytes;
using model_test::ReadInto;

// Instrumented builds run the reader several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr f64 kSlow = 5.0;
#else
constexpr f64 kSlow = 1.0;
#endif

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

// An object "P" of count vertices with positions only: 34 + 12 count bytes.
std::string PositionsObject(u32 count)
{
    Bytes b;
    b.U32(0).U32(22 + 12 * count).Str("P").U32(1).U32(8 + 12 * count).U32(count).U32(kVertexPosition);
    for (u32 v = 0; v < count; ++v) b.F3(f32(v), 0, 0);
    return b.End().End();
}

// The writer's own meshes of field-less vertices, as many as any file may
// make (65,536, stated as the number: a floor one less or more fails),
// read back and write the same bytes; the first vertex past that in a file
// this small is refused.
TEST(ModelHostile, TheWritersFieldlessMeshesReadBackUpToTheFloor)
{
    const struct {
        const char* what;
        u32 format;
        std::vector<u32> counts;
        i32 result;
    } cases[] = {
        {"no field", 0, {65536}, 1},
        {"the skin bit alone", kVertexSkin, {65536}, 1},
        {"split over objects", 0, {64536, 1000}, 1},
        {"one past", 0, {65537}, 0},
        {"one past, split", kVertexSkin, {65536, 1}, 0},
    };
    for (const auto& c : cases) {
        CMesh mesh;
        for (u32 count : c.counts) AppendElement(mesh.GetModelObjects(), model_test::NewObject("F", c.format, count));
        const std::string bytes = CWriteMesh::Build(mesh);
        EXPECT_LT(bytes.size(), 300u) << c.what;
        CMesh read;
        ASSERT_EQ(ReadInto(bytes, read), c.result) << c.what;
        if (!c.result) continue;
        ASSERT_EQ(read.GetModelObjectCount(), u32(c.counts.size())) << c.what;
        for (u32 i = 0; i < c.counts.size(); ++i) {
            const CModelVertexList& list = *read.GetModelObject(i)->GetVertexList();
            EXPECT_EQ(list.GetCount(), c.counts[i]) << c.what;
            EXPECT_EQ(list.FormatFlags, c.format) << c.what;
            EXPECT_EQ(list.GetAt(c.counts[i] - 1)->Color.x, 1.0f) << c.what << ": the last vertex is white";
        }
        ExpectSameOnceWritten(read, c.what);
    }
}

TEST(ModelHostile, VerticesOfNoBytesAreBoundByTheFileAndByItsRewrite)
{
    // Past the floor, vertices of no bytes and with bytes together make one
    // per byte of the file, and one per byte of its rewrite: bytes the
    // rewrite drops pay for none. 6,000 positions make a file of 72,095
    // bytes (magic 23, 34 + 72,000, the field-less object 34, the end 4).
    const u32 positions = 6000;
    const std::string magic = Bytes().Magic();
    const std::string unknown = Bytes().U32(20).U32(5000).Raw(std::string(5000, 'x')).End();
    const std::string after = Bytes().End().Raw(std::string(5000, 'x'));
    const auto file = [&](u32 fieldless, const std::string& tail) {
        return magic + PositionsObject(positions) + model_test::FieldlessObject(fieldless) + tail;
    };
    const u32 fileBytes = u32(file(0, Bytes().End()).size());
    ASSERT_EQ(fileBytes, 72095u);
    CMesh none;
    ASSERT_EQ(ReadInto(file(0, unknown), none), 1);
    const u32 rewriteBytes = u32(CWriteMesh::Build(none).size());
    ASSERT_GT(rewriteBytes, fileBytes);
    ASSERT_LT(rewriteBytes, fileBytes + 5000);
    const struct {
        const char* what;
        std::string bytes;
        i32 result;
    } cases[] = {
        {"one per byte of the file", file(fileBytes - positions, Bytes().End()), 1},
        {"one more", file(fileBytes - positions + 1, Bytes().End()), 0},
        {"one per byte of the rewrite, an unknown chunk beside", file(rewriteBytes - positions, unknown), 1},
        {"one more", file(rewriteBytes - positions + 1, unknown), 0},
        {"one per byte of the rewrite, bytes after the end", file(rewriteBytes - positions, after), 1},
        {"one more", file(rewriteBytes - positions + 1, after), 0},
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
    // A file claims no more than the floor or its own bytes in vertices of
    // about 120 bytes each.
    const struct {
        u32 bytes;
        long mostKiB;
        f64 mostMs;
    } cases[] = {{40 << 10, 64 << 10, 250.0}, {1 << 20, 256 << 10, 1000.0}};
    for (const auto& c : cases) {
        u64 asked = 0;
        const std::string bytes = model_test::MultiplyingFieldless(c.bytes, &asked);
        ASSERT_GT(asked * sizeof(CModelVertex), 2ull << 30);
        const long peak = PeakKiB();
        const f64 start = NowMs();
        CMesh mesh;
        EXPECT_EQ(ReadInto(bytes, mesh), 0) << c.bytes;
        EXPECT_LT(NowMs() - start, c.mostMs * kSlow) << c.bytes;
        EXPECT_LT(PeakKiB() - peak, c.mostKiB) << c.bytes;
    }
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
