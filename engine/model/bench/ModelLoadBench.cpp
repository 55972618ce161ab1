// Reading a 50,000-vertex model from memory, beside a plain copy of the
// same bytes: the reader's cost over the copy it must make anyway.
#include "engine/model/AnalysMesh.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/HostileModels.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A 250 x 200 vertex sheet (50,000 vertices with position, normal, one set
// of texture coordinates and colour) in two triangles per square, drawn
// with two materials.
std::string SheetModel()
{
    constexpr u32 kWide = 250, kDeep = 200;
    CMesh mesh;
    auto* object = new CModelObject();
    object->SetName("Sheet");
    CModelVertexList& vertices = *object->GetVertexList();
    vertices.Resize(kWide * kDeep);
    vertices.FormatFlags = kVertexPosition | kVertexNormal | kVertexTexCoord0 | kVertexColor;
    vertices.Stride = CModelVertexFormat::GetStride(vertices.FormatFlags);
    for (u32 z = 0; z < kDeep; ++z) {
        for (u32 x = 0; x < kWide; ++x) {
            CModelVertex& v = *vertices.GetAt(z * kWide + x);
            v.Position.Set(f32(x), f32((x * 7 + z * 3) % 11) * 0.1f, f32(z));
            v.Normal.Set(0.0f, 1.0f, 0.0f);
            v.TexCoord0[0] = f32(x) / kWide;
            v.TexCoord0[1] = f32(z) / kDeep;
            v.Color = CVector4(1.0f, 0.5f, 0.25f, 1.0f);
        }
    }
    CModelIndexList& indices = *object->GetIndexList();
    std::vector<u32> list;
    for (u32 z = 0; z + 1 < kDeep; ++z) {
        for (u32 x = 0; x + 1 < kWide; ++x) {
            const u32 a = z * kWide + x, b = a + 1, c = a + kWide, d = c + 1;
            list.insert(list.end(), {a, c, b, b, c, d});
        }
    }
    indices.Indices.SetArray(list.data(), u32(list.size()));
    const u32 half = u32(list.size()) / 6 * 3;
    const CPoint2 ranges[2] = {{0, half}, {half, u32(list.size()) - half}};
    indices.Ranges.SetArray(ranges, 2);
    for (int i = 0; i < 2; ++i) {
        void* material = new CModelMaterial();
        object->GetMaterialList()->Add(&material);
    }
    AppendElement(mesh.GetModelObjects(), object);
    return CWriteMesh::Build(mesh);
}

const std::string& Bytes()
{
    static const std::string bytes = SheetModel();
    return bytes;
}

// Reads bytes into a fresh mesh each iteration, keeping what use picks of
// it; false once a read fails (the state is told).
template <class Use>
bool LoadEachIteration(benchmark::State& state, const std::string& bytes, Use use)
{
    for (auto _ : state) {
        CAnalysMesh reader;
        CMesh mesh;
        if (!reader.LoadFromMemory(bytes.data(), u32(bytes.size())) || !reader.ReadChunks(&mesh)) {
            state.SkipWithError("the model did not load");
            return false;
        }
        benchmark::DoNotOptimize(use(mesh));
    }
    state.SetBytesProcessed(i64(state.iterations()) * i64(bytes.size()));
    return true;
}

void BM_LoadModelFromMemory(benchmark::State& state)
{
    const std::string& bytes = Bytes();
    if (!LoadEachIteration(state, bytes, [](CMesh& mesh) { return mesh.GetModelObject(0); })) return;
    state.counters["bytes"] = f64(bytes.size());
}

void BM_CopyModelBytes(benchmark::State& state)
{
    const std::string& bytes = Bytes();
    for (auto _ : state) {
        std::vector<char> copy(bytes.size());
        std::memcpy(copy.data(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(i64(state.iterations()) * i64(bytes.size()));
}

// A mebibyte of key groups of one key each: the tracks are sized once,
// not again for every group.
void BM_LoadKeyGroupsOfOneKey(benchmark::State& state)
{
    static const std::string bytes = model_test::KeyRuns((1u << 20) / 60);
    LoadEachIteration(state, bytes, [](CMesh& mesh) { return mesh.GetAnimation(0); });
}

}  // namespace

BENCHMARK(BM_LoadKeyGroupsOfOneKey)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadModelFromMemory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyModelBytes)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
