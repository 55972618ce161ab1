#include "game/battle/testdata/StageRoom.h"

#include "engine/model/ModelMaterial.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ModelMeshes.h"

#include <vector>

namespace stage_test {

std::string RoomModel(const CBox& room)
{
    CMesh mesh;
    CModelObject* object = model_test::NewObject("Room", kVertexPosition, 24);
    CModelVertexList& vertices = *object->GetVertexList();
    std::vector<u32> indices;
    const struct {
        int axis;
        bool high;
    } faces[] = {{1, false}, {1, true}, {0, false}, {0, true}, {2, false}, {2, true}};
    u32 n = 0;
    for (const auto& f : faces) {
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
        if (facesIn) {
            indices.insert(indices.end(), {n, n + 1, n + 2, n, n + 2, n + 3});
        } else {
            indices.insert(indices.end(), {n, n + 2, n + 1, n, n + 3, n + 2});
        }
        n += 4;
    }
    const CPoint2 ranges[] = {{0, 6}, {6, 30}};
    object->GetIndexList()->Indices.SetArray(indices.data(), u32(indices.size()));
    object->GetIndexList()->Ranges.SetArray(ranges, 2);
    for (int i = 0; i < 2; ++i) {
        void* slot = new CModelMaterial();
        object->GetMaterialList()->Add(&slot);
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
