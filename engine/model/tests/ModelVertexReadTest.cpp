// Vertices read from a written model keep today's values to the bit, for
// every field alone and in the mixes models use, the missing normal and
// colour filled in as before.
#include "engine/model/AnalysMesh.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"

#include <gtest/gtest.h>

#include <bit>
#include <string>

namespace ORV_TEST_FILE_ID {

namespace {

constexpr u32 kCount = 37;

std::string WriteSheet(u32 format)
{
    CMesh mesh;
    auto* object = new CModelObject();
    object->SetName("Sheet");
    CModelVertexList& vertices = *object->GetVertexList();
    vertices.Resize(kCount);
    vertices.FormatFlags = format;
    vertices.Stride = CModelVertexFormat::GetStride(format);
    u32 seed = format * 2654435761u + 1;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return f32(i32(seed >> 8) - (1 << 23)) / 4096.0f;
    };
    for (u32 i = 0; i < kCount; ++i) {
        CModelVertex& v = *vertices.GetAt(i);
        v.Position.Set(next(), next(), i == 3 ? -0.0f : next());
        v.Normal.Set(next(), next(), next());
        for (u32 set = 0; set < 4; ++set) v.TexCoord(set)[0] = next(), v.TexCoord(set)[1] = next();
        v.Color = CVector4(next(), next(), next(), next());
        v.Tangent.Set(next(), next(), next());
        v.Binormal.Set(next(), next(), next());
    }
    if (format & kVertexPosition) vertices.GetAt(5)->Position.Set(0.0f, 0.0f, 0.0f);   // no direction to normalise
    std::vector<u32> list = {0, 1, 2};
    object->GetIndexList()->Indices.SetArray(list.data(), 3);
    const CPoint2 range{0, 3};
    object->GetIndexList()->Ranges.SetArray(&range, 1);
    void* material = new CModelMaterial();
    object->GetMaterialList()->Add(&material);
    AppendElement(mesh.GetModelObjects(), object);
    return CWriteMesh::Build(mesh);
}

void Mix(u64& hash, const f32* values, u32 n)
{
    for (u32 i = 0; i < n; ++i) hash = (hash ^ std::bit_cast<u32>(values[i])) * 1099511628211ull;
}

TEST(ModelVertexRead, EveryFieldMixReadsToTodaysValues)
{
    const u32 formats[] = {kVertexPosition, kVertexNormal, kVertexTexCoord0, kVertexColor, kVertexTangent,
        kVertexTexCoord1 | kVertexTexCoord3, kVertexBinormal | kVertexTexCoord2,
        kVertexPosition | kVertexNormal | kVertexTexCoord0 | kVertexColor,
        kVertexPosition | kVertexTexCoord0, kVertexKnownFlags & ~kVertexSkin};
    u64 hash = 1469598103934665603ull;
    for (u32 format : formats) {
        SCOPED_TRACE(format);
        const std::string bytes = WriteSheet(format);
        CAnalysMesh reader;
        CMesh mesh;
        ASSERT_TRUE(reader.LoadFromMemory(bytes.data(), u32(bytes.size())));
        ASSERT_TRUE(reader.ReadChunks(&mesh));
        ASSERT_NE(mesh.GetModelObject(0), nullptr);
        const CModelVertexList& list = *mesh.GetModelObject(0)->GetVertexList();
        ASSERT_EQ(list.GetCount(), kCount);
        EXPECT_EQ(list.FormatFlags, format);
        for (u32 i = 0; i < kCount; ++i) {
            const CModelVertex& v = *list.GetAt(i);
            Mix(hash, &v.Position.x, 3);
            Mix(hash, &v.Normal.x, 3);
            for (u32 set = 0; set < 4; ++set) Mix(hash, v.TexCoord(set), 2);
            Mix(hash, &v.Color.x, 4);
            Mix(hash, &v.Tangent.x, 3);
            Mix(hash, &v.Binormal.x, 3);
            Mix(hash, v.Weight, 4);
            hash = (hash ^ v.InfluenceCount ^ u64(std::bit_cast<u32>(v.BoneIndex)) << 8) * 1099511628211ull;
        }
        // What the format leaves out reads as before: white, and a normal
        // along the position.
        if (!(format & kVertexColor)) {
            EXPECT_EQ(list.GetAt(1)->Color.w, 1.0f);
        }
        if (!(format & kVertexNormal) && (format & kVertexPosition)) {
            EXPECT_NEAR(list.GetAt(1)->Normal.Length(), 1.0f, 1e-5f);
        }
    }
    EXPECT_EQ(hash, 5719689222098327317ull);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
