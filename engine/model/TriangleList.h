// CTriangleList: an editable model part. It is made empty to a size, then
// edited: indices inserted, triangles split at a point or along a plane,
// near-identical vertices welded, another list merged in. Editing changes
// the lists only; CreateBuffers (or the create and update operations)
// brings the device buffers up to date, and Draw refuses buffers that no
// longer hold the lists.
#pragma once

#include "engine/core/Types.h"
#include "engine/model/ModelObject.h"

class CShader;

class CTriangleList : public CModelBase {
    ORV_VALUE_CLASS(CTriangleList)

public:
    // No lists until Create.
    CTriangleList() = default;
    // The shader shared; the lists and materials copied; the device
    // objects shared.
    CTriangleList(const CTriangleList& other);
    ~CTriangleList() override;

    // Deletes the lists and the materials, then the model part's release.
    i32 Release() override;
    i32 Finalize() override { return CreateBuffers(); }
    // Vertex buffer, its contents, declaration, index buffer, its
    // contents; 0 at the first failure.
    i32 CreateBuffers();

    // triangles zero triangles (range 0 holds them all when there is a
    // material), vertices zero vertices of format flags, materials default
    // materials; the buffers made but not filled. Lists held before go.
    // 0 when a list or a buffer cannot be made.
    virtual i32 Create(u32 triangles, u32 vertices, u32 materials, u32 flags);
    // Inserts count indices at position, the block in reverse order, into
    // the range that holds position (or that ends there when none does);
    // the later ranges move up. 0 when the list cannot grow.
    virtual i32 AddIndices(u32 count, u32 position, const u32* indices);
    // Appends a copy of a moved to point, with normal, colour and texture
    // coordinates blended towards b by the distance from a. 0 when the
    // list cannot grow.
    virtual i32 AddSplitVertex(const CModelVertex& a, const CModelVertex& b, const CVector3& point);
    // Splits triangle (a, b, c) into three about a new vertex at point:
    // (b, c, n), (c, a, n), (a, b, n), all wound as it was; the
    // buffers are made again for the new sizes. 0 for a triangle past the
    // list or naming no vertex, or when a list or buffer cannot grow.
    virtual i32 SplitTriangleAtPoint(u32 triangle, const CVector3& point);
    // Cuts every triangle that the plane through point with normal crosses
    // into pieces on either side. New triangles are not cut again. 0 for a
    // null argument or when a list cannot grow.
    virtual i32 SplitByPlane(const CVector3* normal, const CVector3* point);
    // Merges vertices nearer than distance whose normals differ by less
    // than angle degrees and colours by less than colourDistance, with
    // equal texture coordinates and bone data. 1, 0 when a list cannot
    // shrink.
    virtual i32 WeldVertices(f32 distance, f32 angle, f32 colourDistance);
    // Appends other's vertices and its ranges' triangles, wound as they
    // were: into this list's range r when intoRanges is set and the range
    // exists, else as new ranges with copies of other's materials. 0 when
    // other's indices name vertices it does not have or a list cannot grow.
    virtual i32 Merge(const CTriangleList& other, bool intoRanges);
    // Draws every range with its material, through the material's effect,
    // the list's shader or the fixed pipeline; lighting is off for vertices
    // without normals and put back after. 0 without buffers, or with
    // buffers that do not hold the lists.
    virtual i32 Draw(const CMatrix* world, const CVector4* colour, bool skinned);

    CShader* GetShader() const { return m_shader; }
    void SetShader(CShader* shader) { m_shader = shader; }

private:
    // Inserts count indices at position, reversed or as given, growing
    // range grow (none when negative) and moving every other range that
    // starts at or after position.
    bool InsertIndices(i32 grow, u32 position, u32 count, const u32* indices, bool reverse);
    // The range that holds position, else the last one ending there; -1.
    i32 RangeFor(u32 position) const;
    // Material slot i becomes material (a slot past the list grows it).
    bool PutMaterial(u32 i, CModelMaterial* material);
    void ReleaseLists();

    CShader* m_shader = nullptr;   // not owned
};
