// `CPrimitiveList`: ribbons drawn from a grid of vertices the caller writes
// every frame (character trails, ribbon particles). Columns come in pairs,
// the two edges of one ribbon; rows run along the ribbons. Vertex (row r,
// column c) is record r x columns + c.
//
// The index buffer is made once and joins every two neighbouring rows of a
// ribbon with two triangles listed in both windings, so a ribbon shows from
// either side whatever the cull mode. Only the vertices in use are copied to
// the vertex buffer, and only whole rows are drawn.
//
// The shown word of the object base is the primitive list's blend mode.
#pragma once

#include "engine/core/List.h"
#include "engine/core/ObjectBase.h"
#include "engine/core/Types.h"
#include "engine/model/ModelVertex.h"
#include "host/render/Render.h"

class CRenderList;
class CTexture;

class CPrimitiveList : public CObjectBase {
    ORV_VALUE_CLASS(CPrimitiveList)

public:
    // The object base's defaults (blend mode 1); nothing made.
    CPrimitiveList() = default;
    // Both lists copied; the device buffers shared.
    CPrimitiveList(const CPrimitiveList& other);
    CPrimitiveList& operator=(const CPrimitiveList&) = delete;
    ~CPrimitiveList() override;

    // Lists and buffers go, then the name. 1.
    i32 Release() override;
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    // Draws at once, whatever the argument: the render list calls this in
    // its sorted pass.
    i32 Draw(u32 argument) override;
    // With a render list and the depth-sorted mark: queued there (its Add's
    // result). Otherwise drawn at once with its blend mode and texture;
    // lighting is off for the draw when the vertices carry no normals. Fewer
    // than two whole rows in use draw nothing (1). 0 without buffers, when
    // the vertex buffer cannot be filled or the device does not draw.
    i32 Draw(CRenderList* renderList);
    // columns x rows vertices of stride bytes in the vertex format fvf,
    // indices of indexSize bytes (2; anything else is 4). What the list held
    // before goes. 0 for fewer than two rows or no column, a stride shorter
    // than the format, 16-bit indices too narrow for the vertex count, or a
    // failed allocation, buffer or lock (what was made stays for Release).
    i32 Create(u32 columns, u32 rows, u32 stride, u32 fvf, u32 indexSize);

    // The vertices in use, written to the vertex buffer and drawn; at most
    // columns x rows take effect.
    u32 GetVertexCount() const { return m_vertexCount; }
    void SetVertexCount(u32 count) { m_vertexCount = count; }
    // Bound to stage 0 when drawing; not owned, null for none.
    void SetTexture(CTexture* texture) { m_texture = texture; }
    CTexture* GetTexture() const { return m_texture; }
    u32 GetBlendMode() const { return m_shown; }
    void SetBlendMode(u32 mode) { m_shown = mode; }

    // Vertex i of the grid; null past it or before Create.
    CModelVertex* GetVertex(u32 i) { return m_vertices ? m_vertices->GetAt(i) : nullptr; }
    CList<CModelVertex>* GetVertexList() const { return m_vertices; }
    // The indices as the index buffer holds them, then zeros.
    CList<u32>* GetIndexList() const { return m_indices; }
    u32 GetColumns() const { return m_columns; }
    u32 GetRows() const { return m_rows; }
    u32 GetStride() const { return m_stride; }
    u32 GetFVF() const { return m_fvf; }
    u32 GetIndexSize() const { return m_indexSize; }
    host::render::VertexBuffer* GetVertexBuffer() const { return m_vertexBuffer.Get(); }
    host::render::IndexBuffer* GetIndexBuffer() const { return m_indexBuffer.Get(); }

    // The vertices in use into the vertex buffer, packed as the format
    // says. 1, or 0 when it cannot be locked.
    i32 UpdateVertexBuffer();
    // The vertex buffer as stream 0 and the index buffer current. 1.
    i32 BindBuffers();

private:
    void ReleaseAll();
    u32 UsedVertices() const;
    i32 FillIndexBuffer();

    CList<CModelVertex>* m_vertices = nullptr;
    CList<u32>* m_indices = nullptr;
    host::render::Ref<host::render::VertexBuffer> m_vertexBuffer;
    host::render::Ref<host::render::IndexBuffer> m_indexBuffer;
    u32 m_columns = 0;
    u32 m_rows = 0;
    u32 m_stride = 0;
    u32 m_fvf = 0;
    u32 m_indexSize = 0;
    u32 m_vertexCount = 0;
    CTexture* m_texture = nullptr;
};
