#include "engine/model/PrimitiveList.h"

#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Texture.h"
#include "engine/model/RenderList.h"

#include <algorithm>
#include <cstring>

namespace render = host::render;

namespace {

constexpr u32 kKnownFvf = render::kFvfXyz | render::kFvfNormal | render::kFvfDiffuse | render::kFvfTex1;

bool Ok(render::Result r) { return r == render::Result::Ok; }

u32 IndexBytes(u32 indexSize) { return indexSize == 2 ? 2 : 4; }

u8* Put(u8* at, const f32* values, u32 count)
{
    std::memcpy(at, values, count * sizeof(f32));
    return at + count * sizeof(f32);
}

}  // namespace

CPrimitiveList::CPrimitiveList(const CPrimitiveList& other)
    : CObjectBase(other),
      m_vertexBuffer(other.m_vertexBuffer),
      m_indexBuffer(other.m_indexBuffer),
      m_columns(other.m_columns),
      m_rows(other.m_rows),
      m_stride(other.m_stride),
      m_fvf(other.m_fvf),
      m_indexSize(other.m_indexSize),
      m_vertexCount(other.m_vertexCount),
      m_texture(other.m_texture)
{
    if (other.m_vertices) m_vertices = new CList<CModelVertex>(*other.m_vertices);
    if (other.m_indices) m_indices = new CList<u32>(*other.m_indices);
}

CPrimitiveList::~CPrimitiveList() { CPrimitiveList::Release(); }

void CPrimitiveList::ReleaseAll()
{
    delete m_vertices;
    m_vertices = nullptr;
    delete m_indices;
    m_indices = nullptr;
    m_vertexBuffer.Reset();
    m_indexBuffer.Reset();
}

i32 CPrimitiveList::Release()
{
    ReleaseAll();
    return CObjectBase::Release();
}

i32 CPrimitiveList::Initialize(intptr_t /*argument*/) { return 1; }
i32 CPrimitiveList::Update(u32 /*argument*/) { return 1; }

i32 CPrimitiveList::Create(u32 columns, u32 rows, u32 stride, u32 fvf, u32 indexSize)
{
    ReleaseAll();
    m_columns = columns;
    m_rows = rows;
    m_stride = stride;
    m_fvf = fvf;
    m_indexSize = indexSize;
    const u64 vertices = u64(columns) * rows;
    const u64 indices = u64(columns) * 6 * rows;
    const u64 bufferIndices = u64(columns) * 6 * (rows ? rows - 1 : 0);
    // A ribbon needs two rows; a format must hold what it names, and 16-bit
    // indices must reach every vertex.
    if (columns == 0 || rows < 2 || (fvf & ~kKnownFvf) || !(fvf & render::kFvfXyz) ||
        stride < render::FvfStride(fvf) || u64(stride) * vertices > UINT32_MAX ||
        bufferIndices * IndexBytes(indexSize) > UINT32_MAX || indices > UINT32_MAX ||
        (IndexBytes(indexSize) == 2 && vertices > 0x10000))
        return 0;
    CGraphicDevice* device = GetGraphicDevice();
    if (!device || !device->GetDevice()) return 0;

    m_vertices = new CList<CModelVertex>(u32(vertices));
    m_indices = new CList<u32>(u32(indices));
    if (!m_vertices || m_vertices->GetCount() != vertices || !m_indices || m_indices->GetCount() != indices)
        return 0;
    render::Device& d = *device->GetDevice();
    if (!Ok(d.CreateVertexBuffer(u32(stride * vertices), 0, fvf, render::kPoolManaged, m_vertexBuffer.Put())))
        return 0;
    const u32 format = IndexBytes(indexSize) == 2 ? render::kFormatIndex16 : render::kFormatIndex32;
    if (!Ok(d.CreateIndexBuffer(u32(bufferIndices * IndexBytes(indexSize)), 0, format, render::kPoolManaged,
                                m_indexBuffer.Put())))
        return 0;
    return FillIndexBuffer();
}

i32 CPrimitiveList::FillIndexBuffer()
{
    const u32 w = m_columns;
    u32* out = m_indices->GetData();
    u32 n = 0;
    for (u32 r = 0; r + 1 < m_rows; ++r) {
        for (u32 c = 0; c + 1 < w; c += 2) {
            const u32 a = r * w + c, b = r * w + (c + 1) % w;
            const u32 twelve[12] = {a, a + w, b, a + w, b + w, b, a, b, a + w, a + w, b, b + w};
            for (u32 index : twelve) out[n++] = index;
        }
    }
    void* data = nullptr;
    if (!Ok(m_indexBuffer->Lock(0, 0, &data, 0)) || !data) return 0;
    auto* bytes = static_cast<u8*>(data);
    for (u32 i = 0; i < n; ++i) {
        if (IndexBytes(m_indexSize) == 2) {
            const u16 index = u16(out[i]);
            std::memcpy(bytes + i * 2, &index, 2);
        } else {
            std::memcpy(bytes + i * 4, &out[i], 4);
        }
    }
    m_indexBuffer->Unlock();
    return 1;
}

u32 CPrimitiveList::UsedVertices() const
{
    return m_vertices ? std::min(m_vertexCount, m_vertices->GetCount()) : 0;
}

i32 CPrimitiveList::UpdateVertexBuffer()
{
    if (!m_vertexBuffer || !m_vertices) return 0;
    void* data = nullptr;
    if (!Ok(m_vertexBuffer->Lock(0, 0, &data, 0)) || !data) return 0;
    const u32 count = UsedVertices();
    for (u32 i = 0; i < count; ++i) {
        const CModelVertex& v = *m_vertices->GetAt(i);
        u8* at = static_cast<u8*>(data) + size_t(i) * m_stride;
        if (m_fvf & render::kFvfXyz) {
            const f32 position[3] = {v.Position.x, v.Position.y, v.Position.z};
            at = Put(at, position, 3);
        }
        if (m_fvf & render::kFvfNormal) {
            const f32 normal[3] = {v.Normal.x, v.Normal.y, v.Normal.z};
            at = Put(at, normal, 3);
        }
        if (m_fvf & render::kFvfDiffuse) {
            const u32 colour = v.Color.ToARGB();
            std::memcpy(at, &colour, 4);
            at += 4;
        }
        if (m_fvf & render::kFvfTex1) Put(at, v.TexCoord0, 2);
    }
    m_vertexBuffer->Unlock();
    return 1;
}

i32 CPrimitiveList::BindBuffers()
{
    if (CGraphicDevice* device = GetGraphicDevice()) {
        device->SetStreamSource(m_vertexBuffer.Get(), m_stride);
        device->SetIndices(m_indexBuffer.Get());
    }
    return 1;
}

i32 CPrimitiveList::Draw(u32 /*argument*/) { return Draw(static_cast<CRenderList*>(nullptr)); }

i32 CPrimitiveList::Draw(CRenderList* renderList)
{
    if (!m_vertexBuffer || !m_indexBuffer) return 0;
    if (renderList && IsDepthSorted()) return renderList->Add(this, 0);
    CGraphicDevice* device = GetGraphicDevice();
    if (!device || !device->GetDevice()) return 0;
    // Whole rows only; a ribbon needs two of them. Counting primitives from
    // the vertex count alone would wrap below one row.
    const u32 used = UsedVertices();
    const u32 rows = used / m_columns, ribbons = m_columns / 2;
    if (rows < 2 || ribbons == 0) return 1;
    // Four triangles for each ribbon between two rows.
    const u32 primitives = (rows - 1) * ribbons * 4;

    if (!UpdateVertexBuffer()) return 0;
    device->SetWorldTransform(m_world);
    BindBuffers();
    const bool unlit = !(m_fvf & render::kFvfNormal);
    const u32 lighting = device->GetRenderStates()->lighting;
    if (unlit) device->SetLighting(0);
    device->SetBlendMode(m_shown);
    device->SetTexture(m_texture ? m_texture->GetTexture() : nullptr);
    device->SetFVF(m_fvf);
    const render::Result drawn =
        device->GetDevice()->DrawIndexedPrimitive(render::kPrimitiveTriangleList, 0, 0, used, 0, primitives);
    if (unlit && lighting) device->SetLighting(1);
    return Ok(drawn) ? 1 : 0;
}
