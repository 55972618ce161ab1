// Sphere and segment tests against every triangle of a mesh, walked
// through each model object's collision grid: only the cells the query's
// box covers are visited, and only triangles whose box meets the query's
// are tested (the triangle tests and side modes of Geometry.h).
//
// Out pointers may be null. The triangle number is the hit triangle's
// place in its cell's index list (index position / 3), the range index the
// cell's material range holding it. With no out hit the first hit ends the
// walk; otherwise the nearest hit wins.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

class CMatrix;
class CMesh;

u32 IntersectSphereMesh(const CVector3* centre, f32 radius, const CMesh* model, i32 mode, CVector3* hit,
    CVector3* normal, u32* triangle, u32* range);
u32 IntersectSegmentMesh(const CVector3* start, const CVector3* end, const CMesh* model, i32 mode, CVector3* hit,
    CVector3* normal, u32* triangle, u32* range);

// The same against a model placed in the world by world (rotation,
// translation and uniform scaling): the query is taken into the model's
// space and the hit and normal brought back out. 0 for a world matrix that
// cannot be inverted.
u32 IntersectSphereMeshAt(const CMatrix* world, const CVector3* centre, f32 radius, const CMesh* model, i32 mode,
    CVector3* hit, CVector3* normal, u32* triangle, u32* range);
u32 IntersectSegmentMeshAt(const CMatrix* world, const CVector3* start, const CVector3* end, const CMesh* model,
    i32 mode, CVector3* hit, CVector3* normal, u32* triangle, u32* range);
