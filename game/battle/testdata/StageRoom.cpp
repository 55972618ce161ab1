#include "game/battle/testdata/StageRoom.h"

#include "engine/model/ModelMaterial.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ModelMeshes.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace stage_test {

namespace {

// Each face's two tile colours (floor, ceiling, -X, +X, -Z, +Z): a chequer
// of its own per face, so the floor, the walls and their distance read.
constexpr f32 kTileColours[6][2][3] = {
    {{0.30f, 0.46f, 0.30f}, {0.16f, 0.27f, 0.17f}},   // floor: greens
    {{0.18f, 0.22f, 0.36f}, {0.11f, 0.13f, 0.24f}},   // ceiling: blues
    {{0.50f, 0.38f, 0.26f}, {0.34f, 0.25f, 0.16f}},   // the X walls: browns
    {{0.50f, 0.38f, 0.26f}, {0.34f, 0.25f, 0.16f}},
    {{0.44f, 0.30f, 0.40f}, {0.30f, 0.19f, 0.27f}},   // the Z walls: mauves
    {{0.44f, 0.30f, 0.40f}, {0.30f, 0.19f, 0.27f}},
};
// Tiles about 14 units a side (the ceiling four, at least two a side so
// both colours show): the data set
// holds the room once per stage, so it stays small.
constexpr f32 kTileSide = 14.0f;

u32 TilesAlong(const CBox& room, int axis, int face)
{
    return face == 1 ? 2u : u32(std::max(2.0f, std::round((room.max[axis] - room.min[axis]) / kTileSide)));
}

// A material lit by nothing: its colour is what shows.
void* ColourMaterial(const f32 (&rgb)[3])
{
    auto* material = new CModelMaterial();
    material->Diffuse = CVector4(rgb[0], rgb[1], rgb[2], 1.0f);
    material->Ambient = CVector4(0.0f, 0.0f, 0.0f, 1.0f);
    material->Emissive = CVector4(rgb[0], rgb[1], rgb[2], 1.0f);
    return material;
}

}  // namespace

std::string RoomModel(const CBox& room)
{
    CMesh mesh;
    const struct {
        int axis;
        bool high;
    } faces[] = {{1, false}, {1, true}, {0, false}, {0, true}, {2, false}, {2, true}};
    // The tiles each face is drawn as, after the 24 corners the hits use.
    u32 tileCount = 0;
    for (int face = 0; face < 6; ++face) {
        const int u = (faces[face].axis + 1) % 3, w = (faces[face].axis + 2) % 3;
        tileCount += TilesAlong(room, u, face) * TilesAlong(room, w, face);
    }
    CModelObject* object = model_test::NewObject("Room", kVertexPosition, 24 + 4 * tileCount);
    CModelVertexList& vertices = *object->GetVertexList();
    std::vector<u32> indices, drawn;
    std::vector<CPoint2> drawnRanges;
    u32 n = 0, tile = 24;
    for (int face = 0; face < 6; ++face) {
        const auto& f = faces[face];
        const int u = (f.axis + 1) % 3, w = (f.axis + 2) % 3;
        const f32 us[4] = {room.min[u], room.max[u], room.max[u], room.min[u]};
        const f32 ws[4] = {room.min[w], room.min[w], room.max[w], room.max[w]};
        CVector3 corner[4];
        for (int i = 0; i < 4; ++i) {
            corner[i][f.axis] = f.high ? room.max[f.axis] : room.min[f.axis];
            corner[i][u] = us[i];
            corner[i][w] = ws[i];
            vertices.GetAt(n + i)->Position = corner[i];
        }
        CVector3 inward;
        inward[f.axis] = f.high ? -1.0f : 1.0f;
        const bool facesIn = (corner[1] - corner[0]).Cross(corner[2] - corner[1]).Dot(inward) > 0.0f;
        const auto quad = [facesIn](std::vector<u32>& out, u32 first) {
            if (facesIn) {
                out.insert(out.end(), {first, first + 1, first + 2, first, first + 2, first + 3});
            } else {
                out.insert(out.end(), {first, first + 2, first + 1, first, first + 3, first + 2});
            }
        };
        quad(indices, n);
        n += 4;
        // The face's tiles, the chequer's two colours each a range.
        const u32 nu = TilesAlong(room, u, face), nw = TilesAlong(room, w, face);
        for (u32 parity = 0; parity < 2; ++parity) {
            const u32 start = u32(drawn.size());
            for (u32 i = 0; i < nu; ++i) {
                for (u32 j = 0; j < nw; ++j) {
                    if ((i + j) % 2 != parity) continue;
                    const f32 u0 = room.min[u] + (room.max[u] - room.min[u]) * f32(i) / f32(nu);
                    const f32 u1 = room.min[u] + (room.max[u] - room.min[u]) * f32(i + 1) / f32(nu);
                    const f32 w0 = room.min[w] + (room.max[w] - room.min[w]) * f32(j) / f32(nw);
                    const f32 w1 = room.min[w] + (room.max[w] - room.min[w]) * f32(j + 1) / f32(nw);
                    const f32 tu[4] = {u0, u1, u1, u0}, tw[4] = {w0, w0, w1, w1};
                    for (int k = 0; k < 4; ++k) {
                        CVector3 p;
                        p[f.axis] = f.high ? room.max[f.axis] : room.min[f.axis];
                        p[u] = tu[k];
                        p[w] = tw[k];
                        vertices.GetAt(tile + u32(k))->Position = p;
                    }
                    quad(drawn, tile);
                    tile += 4;
                }
            }
            drawnRanges.push_back({start, u32(drawn.size()) - start});
        }
    }
    // What is hit: the twelve corner triangles in one cell, floor first
    // (range 0), the rest (range 1). What is drawn: the tiles.
    const CPoint2 ranges[] = {{0, 6}, {6, 30}};
    object->GetIndexList()->Indices.SetArray(drawn.data(), u32(drawn.size()));
    object->GetIndexList()->Ranges.SetArray(drawnRanges.data(), u32(drawnRanges.size()));
    for (const auto& colours : kTileColours) {
        for (const auto& rgb : colours) {
            void* slot = ColourMaterial(rgb);
            object->GetMaterialList()->Add(&slot);
        }
    }
    CModelCollisionGrid& grid = *object->GetCollisionGrid();
    grid.Center = (room.min + room.max) * 0.5f;
    grid.HalfSize = (room.max - room.min) * 0.5f;
    grid.CellsPerUnit.Set(1, 1, 1);
    grid.CellSize = room.max - room.min;
    grid.CountX = grid.CountY = grid.CountZ = 1;
    grid.Cells = new CResourceList();
    auto* cell =
        new CModelBlock(room, object->GetVertexList(), object->GetIndexList(), object->GetMaterialList());
    cell->GetIndexList()->Indices.SetArray(indices.data(), u32(indices.size()));
    cell->GetIndexList()->Ranges.SetArray(ranges, 2);
    AppendElement(grid.Cells, cell);
    AppendElement(mesh.GetModelObjects(), object);
    return CWriteMesh::Build(mesh);
}

std::string WallModel()
{
    CMesh mesh;
    CModelObject* object = model_test::NewObject("Wall", kVertexPosition, 4);
    CModelVertexList& v = *object->GetVertexList();
    v.GetAt(1)->Position.Set(1, 0, 0);
    v.GetAt(2)->Position.Set(1, 1, 0);
    v.GetAt(3)->Position.Set(0, 1, 0);
    model_test::SetIndices(*object->GetIndexList(), {0, 1, 2, 0, 2, 3}, {{0, 6}});
    void* slot = new CModelMaterial();
    object->GetMaterialList()->Add(&slot);
    AppendElement(mesh.GetModelObjects(), object);
    return CWriteMesh::Build(mesh);
}

}  // namespace stage_test
