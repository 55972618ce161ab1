// The model parts: CModelBase holds what every part shares (vertex list,
// index list, material list) and makes the device objects from them: a
// vertex buffer packed to the part's format, an index buffer and a vertex
// declaration. CModelObject is the drawable part of a mesh with its
// collision grid and its lower-detail versions; CModelBlock is one cell of
// that grid, with its own indices into the object's vertices;
// CLowModelObject a plain lower-detail part.
//
// Indices are kept as 32-bit values and checked against the vertex count
// before they reach a buffer; a part whose largest index does not fit 16
// bits gets a 32-bit index buffer.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/ResourceBase.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/model/ModelMaterial.h"
#include "engine/model/ModelVertex.h"
#include "host/render/Render.h"

#include <memory>

class CAnimationController;
class CMatrix;
class CShader;
class CVector4;

class CModelBase : public CResourceBase {
    ORV_ABSTRACT_CLASS(CModelBase)

public:
    CModelBase() = default;
    // Shares the source's device objects (one more reference each) and its
    // declaration flags; starts without lists.
    CModelBase(const CModelBase& other);
    CModelBase& operator=(const CModelBase&) = delete;
    ~CModelBase() override;

    // Releases the device objects, then the resource release. 1.
    i32 Release() override;

    // The part's finishing operation (device objects from the lists).
    virtual i32 Finalize() { return 1; }
    // A new index buffer for the index list (none for an empty one: 1).
    virtual i32 CreateIndexBuffer();
    // A new vertex buffer of count x Stride bytes (none when either is 0: 1).
    virtual i32 CreateVertexBuffer();
    // Fills the index buffer; 0 without one, when an index or a range does
    // not fit the vertex list, or when the list outgrew the buffer.
    virtual i32 UpdateIndexBuffer();
    // Packs every vertex into the vertex buffer; 0 without one, when the
    // list outgrew it, or when the stride does not match the format (the
    // buffer would overrun).
    virtual i32 UpdateVertexBuffer();
    // The declaration of the vertex list's format.
    virtual i32 CreateVertexDeclaration();

    // Software skinning into the vertex buffer: each vertex's position and
    // normal become the weighted sum of its influences' palette matrices.
    // Influences naming a bone past the palette are left out; a vertex
    // left with no influence is moved by rest (the posed model's root),
    // or keeps its bind pose without one. 0 without a buffer or palette.
    i32 SkinVertices(const CMatrix* palette, u32 paletteCount, const CMatrix* rest = nullptr);
    // The same with a controller's palette, its root matrix for vertices
    // without influences.
    i32 SkinVertices(const CAnimationController* controller);
    // The first range whose end exceeds index; 0 when none does.
    u32 FindRange(u32 index) const;
    // Stream 0, indices and declaration through the device's caches. 0
    // without a device.
    i32 BindBuffers();

    CModelVertexList* GetVertexList() const { return m_vertices; }
    CModelIndexList* GetIndexList() const { return m_indices; }
    CMaterialList* GetMaterialList() const { return m_materials; }
    u32 GetVertexCount() const { return m_vertices ? m_vertices->GetCount() : 0; }
    host::render::VertexBuffer* GetVertexBuffer() const { return m_vertexBuffer.Get(); }
    host::render::IndexBuffer* GetIndexBuffer() const { return m_indexBuffer.Get(); }
    host::render::VertexDeclaration* GetVertexDeclaration() const { return m_declaration.Get(); }
    u32 GetDeclarationFlags() const { return m_declarationFlags; }
    // kFormatIndex16 or kFormatIndex32 once an index buffer exists.
    u32 GetIndexFormat() const { return m_indexFormat; }
    // Both buffers exist and hold every vertex and index of the lists.
    bool BuffersHoldLists() const;

protected:
    void ReleaseDeviceObjects();
    bool VertexBufferHoldsList() const;

    CModelVertexList* m_vertices = nullptr;
    CModelIndexList* m_indices = nullptr;
    CMaterialList* m_materials = nullptr;
    host::render::Ref<host::render::VertexBuffer> m_vertexBuffer;
    host::render::Ref<host::render::IndexBuffer> m_indexBuffer;
    host::render::Ref<host::render::VertexDeclaration> m_declaration;
    u32 m_declarationFlags = 0;
    u32 m_indexFormat = 0;
};

class CModelBlock;

// The uniform grid that splits a model object's triangles into cells for
// the hit tests.
class CModelCollisionGrid {
public:
    CModelCollisionGrid() = default;
    // Fields copied, the cell list a copy (every block cloned).
    CModelCollisionGrid(const CModelCollisionGrid& other);
    CModelCollisionGrid& operator=(const CModelCollisionGrid&) = delete;
    ~CModelCollisionGrid();

    static void* operator new(size_t size) noexcept;
    static void operator delete(void* block) noexcept;

    // Cell coordinate of p along one axis: (p - Center + HalfSize) x
    // CellsPerUnit truncated, negative or not a number 0, past the count
    // the last cell.
    u32 CellCoordinate(const CVector3& p, u32 axis) const;
    // Cell index = (x CountY + y) CountZ + z.
    u32 CellIndex(u32 x, u32 y, u32 z) const { return (x * CountY + y) * CountZ + z; }
    // The block of the cell holding p; null without cells.
    CModelBlock* GetCell(const CVector3& p) const;
    CModelBlock* GetCellAt(u32 index) const;
    // Deletes the cell list (and its blocks).
    void ReleaseCells();

    CVector3 Center;
    CVector3 HalfSize;
    CVector3 CellsPerUnit;
    CVector3 CellSize;
    u16 CountX = 0, CountY = 0, CountZ = 0;
    CResourceList* Cells = nullptr;
};

class CModelObject : public CModelBase {
    ORV_VALUE_CLASS(CModelObject)

public:
    // Empty vertex, index and material lists, a grid without cells and an
    // empty low model list. A list that cannot be allocated stays null.
    CModelObject();
    // Deep copies of the lists, the materials, the grid and low models; the
    // device objects shared. Blocks of the copied grid point at the copy's
    // lists.
    CModelObject(const CModelObject& other);
    ~CModelObject() override;

    i32 Release() override;
    // Vertex buffer, its contents, declaration, index buffer, its contents
    // (the first failure ends with 0); then the low models' and the cells'
    // own finishing, whose results do not count. 1.
    i32 Finalize() override;

    // Draws range i with material i for every material: through shader's
    // passes when one is given, else through the fixed pipeline. A skinned
    // draw passes the skin palette (paletteCount matrices, already in world
    // space); the shader path expects the palette uploaded by the caller.
    // Empty ranges, missing ranges and missing materials are skipped. The
    // device's blend mode is restored afterwards. 1, 0 without a device.
    i32 Draw(const CMatrix* world, const CVector4* colour, const CMatrix* palette, u32 paletteCount,
        CShader* shader);
    // The same posed by controller (null: unposed). An object whose
    // vertices carry no bone weights is drawn rigid at world; a palette
    // longer than the effect's array is skinned in software instead. The
    // shader path expects the palette uploaded (UploadMatrices).
    i32 Draw(const CMatrix* world, const CVector4* colour, CAnimationController* controller, CShader* shader);
    // Skinned, the palette holds the world matrix already: the effect's
    // world is the identity.
    i32 DrawWithShader(const CMatrix* world, const CVector4* colour, bool skinned, CShader* shader);
    // Skinned, the vertices are skinned in software into the buffer and the
    // world transform is the identity: they are in world space already.
    // rest moves vertices without influences (SkinVertices).
    i32 DrawFixed(const CMatrix* world, const CVector4* colour, const CMatrix* palette, u32 paletteCount,
        const CMatrix* rest = nullptr);

    CModelCollisionGrid* GetCollisionGrid() const { return m_grid; }
    CResourceList* GetLowModels() const { return m_lowModels; }

private:
    // Range i when it exists and is not empty, with material i.
    bool DrawableRange(u32 i, const CPoint2** range, CModelMaterial** material) const;

    CModelCollisionGrid* m_grid = nullptr;
    CResourceList* m_lowModels = nullptr;
};

class CModelBlock : public CModelBase {
    ORV_VALUE_CLASS(CModelBlock)

public:
    // An empty box, no shared lists, an empty own index list.
    CModelBlock();
    // Shares vertices, the object's index list and materials; owns an empty
    // index list of its own.
    CModelBlock(const CBox& box, CModelVertexList* vertices, CModelIndexList* objectIndices,
        CMaterialList* materials);
    // Box and shared pointers copied, its own index list a copy.
    CModelBlock(const CModelBlock& other);
    ~CModelBlock() override;

    i32 Release() override;
    // Index buffer and its contents for a block with indices; 1 without.
    i32 Finalize() override;
    i32 CreateBuffers() { return Finalize(); }

    // Points the shared pointers at another object's lists (a copied
    // object's blocks).
    void Share(CModelVertexList* vertices, CModelIndexList* objectIndices, CMaterialList* materials);

    const CBox& GetBox() const { return m_box; }
    CModelIndexList* GetObjectIndexList() const { return m_objectIndices; }

private:
    CBox m_box;
    CModelIndexList* m_objectIndices = nullptr;
};

class CLowModelObject : public CModelBase {
    ORV_VALUE_CLASS(CLowModelObject)

public:
    CLowModelObject();
    // Its own copies of the lists; the value copied; device objects shared.
    CLowModelObject(const CLowModelObject& other);
    ~CLowModelObject() override;

    i32 Release() override;
    // Vertex buffer, contents, declaration, index buffer, contents; 0 at
    // the first failure.
    i32 Finalize() override;

    f32 GetValue() const { return m_value; }
    void SetValue(f32 value) { m_value = value; }
    // An owning list for the part's users, made empty with the part and
    // shared by its copies (it goes with the last of them).
    CResourceList* GetExtraList() const { return m_extra.get(); }

private:
    std::shared_ptr<CResourceList> m_extra;
    f32 m_value = 0.0f;
};
