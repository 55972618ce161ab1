#include "engine/model/ModelObject.h"

#include "engine/core/Endian.h"
#include "engine/core/Matrix.h"
#include "engine/core/Memory.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/model/AnimationController.h"

#include <cstring>

using namespace host::render;

namespace {

Device* CurrentDevice()
{
    CGraphicDevice* graphics = GetGraphicDevice();
    return graphics ? graphics->GetDevice() : nullptr;
}

void PutFloat(u8* out, f32 value)
{
    u32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutLe32(out, bits);
}

void PutVector3(u8* out, const CVector3& v)
{
    PutFloat(out, v.x);
    PutFloat(out + 4, v.y);
    PutFloat(out + 8, v.z);
}

// Bytes of count elements of size each, 0 when that does not fit 32 bits.
u32 BufferBytes(u32 count, u32 size)
{
    const u64 bytes = u64(count) * size;
    return bytes > UINT32_MAX ? 0 : u32(bytes);
}

// The vertex list's format packs exactly Stride bytes: anything else would
// write past a vertex's slot (or leave it half filled).
bool StrideMatchesFormat(const CModelVertexList& vertices, ModelVertexLayout* layout)
{
    *layout = CModelVertexFormat::GetLayout(vertices.FormatFlags);
    return layout->size == vertices.Stride && vertices.Stride > 0;
}

// Bytes a device buffer holds; 0 without one or when it cannot say.
template <class Buffer>
u64 HeldBytes(Buffer* buffer)
{
    BufferDesc desc;
    return buffer && buffer->GetDesc(desc) == Result::Ok ? desc.bytes : 0;
}

template <class T>
T* Allocate()
{
    return new T();
}

}  // namespace

// ------------------------------------------------------------ CModelBase

CModelBase::CModelBase(const CModelBase& other)
    : CResourceBase(other),
      m_vertexBuffer(other.m_vertexBuffer),
      m_indexBuffer(other.m_indexBuffer),
      m_declaration(other.m_declaration),
      m_declarationFlags(other.m_declarationFlags),
      m_indexFormat(other.m_indexFormat)
{
}

CModelBase::~CModelBase() { ReleaseDeviceObjects(); }

void CModelBase::ReleaseDeviceObjects()
{
    m_vertexBuffer.Reset();
    m_indexBuffer.Reset();
    m_declaration.Reset();
}

i32 CModelBase::Release()
{
    ReleaseDeviceObjects();
    return CResourceBase::Release();
}

i32 CModelBase::CreateIndexBuffer()
{
    if (!m_indices) return 0;
    m_indexBuffer.Reset();
    const u32 count = m_indices->Indices.GetCount();
    if (count == 0) return 1;
    Device* device = CurrentDevice();
    if (!device) return 0;
    const u32 largest = m_indices->GetMaxIndex();
    const u32 limit = GetGraphicDevice()->GetCaps().maxVertexIndex;
    if (limit != 0 && largest > limit) return 0;
    const bool wide = largest > 0xFFFF;
    const u32 bytes = BufferBytes(count, wide ? 4 : 2);
    if (bytes == 0) return 0;
    if (device->CreateIndexBuffer(bytes, 0, wide ? kFormatIndex32 : kFormatIndex16, kPoolManaged,
            m_indexBuffer.Put()) != Result::Ok) {
        m_indexBuffer.Reset();
        return 0;
    }
    m_indexFormat = wide ? kFormatIndex32 : kFormatIndex16;
    return 1;
}

i32 CModelBase::CreateVertexBuffer()
{
    if (!m_vertices) return 0;
    m_vertexBuffer.Reset();
    if (m_vertices->Stride == 0 || m_vertices->GetCount() == 0) return 1;
    Device* device = CurrentDevice();
    if (!device) return 0;
    const u32 bytes = BufferBytes(m_vertices->GetCount(), m_vertices->Stride);
    if (bytes == 0) return 0;
    if (device->CreateVertexBuffer(bytes, 0, 0, kPoolManaged, m_vertexBuffer.Put()) != Result::Ok) {
        m_vertexBuffer.Reset();
        return 0;
    }
    return 1;
}

i32 CModelBase::UpdateIndexBuffer()
{
    if (!m_indices || !m_indexBuffer) return 0;
    if (!m_indices->IsValid(GetVertexCount())) return 0;
    const bool wide = m_indexFormat == kFormatIndex32;
    if (!wide && m_indices->GetMaxIndex() > 0xFFFF) return 0;
    // Indices added since the buffer was made would run past it.
    if (u64(m_indices->Indices.GetCount()) * (wide ? 4 : 2) > HeldBytes(m_indexBuffer.Get())) return 0;
    void* data = nullptr;
    if (m_indexBuffer->Lock(0, 0, &data, 0) != Result::Ok || !data) return 0;
    u8* out = static_cast<u8*>(data);
    const u32* indices = m_indices->Indices.GetData();
    for (u32 i = 0; i < m_indices->Indices.GetCount(); ++i) {
        if (wide) {
            PutLe32(out + 4 * size_t(i), indices[i]);
        } else {
            PutLe16(out + 2 * size_t(i), u16(indices[i]));
        }
    }
    m_indexBuffer->Unlock();
    return 1;
}

i32 CModelBase::UpdateVertexBuffer()
{
    if (!m_vertices || !m_vertexBuffer) return 0;
    ModelVertexLayout layout;
    if (!StrideMatchesFormat(*m_vertices, &layout) || !VertexBufferHoldsList()) return 0;
    void* data = nullptr;
    if (m_vertexBuffer->Lock(0, 0, &data, 0) != Result::Ok || !data) return 0;
    u8* out = static_cast<u8*>(data);
    const CModelVertex* vertices = m_vertices->GetData();
    for (u32 i = 0; i < m_vertices->GetCount(); ++i) {
        CModelVertexFormat::Pack(vertices[i], layout, out + size_t(i) * m_vertices->Stride);
    }
    m_vertexBuffer->Unlock();
    return 1;
}

i32 CModelBase::CreateVertexDeclaration()
{
    m_declaration.Reset();
    if (!m_vertices) return 0;
    Device* device = CurrentDevice();
    if (!device) return 0;
    const u32 flags = m_vertices->FormatFlags;
    const ModelVertexLayout layout = CModelVertexFormat::GetLayout(flags);
    VertexElement elements[11];
    u32 count = 0;
    auto add = [&](i32 offset, u8 type, u8 usage, u8 usageIndex) {
        if (offset >= 0) elements[count++] = VertexElement{u16(offset), type, usage, usageIndex};
    };
    add(layout.position, kDeclFloat3, kUsagePosition, 0);
    add(layout.blendWeights, kDeclFloat4, kUsageBlendWeight, 0);
    add(layout.blendIndices, kDeclColor, kUsageBlendIndices, 0);
    add(layout.normal, kDeclFloat3, kUsageNormal, 0);
    add(layout.tangent, kDeclFloat3, kUsageTangent, 0);
    add(layout.binormal, kDeclFloat3, kUsageBinormal, 0);
    add(layout.color, kDeclColor, kUsageColor, 0);
    for (u8 n = 0; n < 4; ++n) add(layout.texCoord[n], kDeclFloat2, kUsageTexCoord, n);
    if (device->CreateVertexDeclaration(elements, count, m_declaration.Put()) != Result::Ok) {
        m_declaration.Reset();
        return 0;
    }
    m_declarationFlags = flags;
    return 1;
}

bool CModelBase::VertexBufferHoldsList() const
{
    return m_vertices && u64(m_vertices->GetCount()) * m_vertices->Stride <= HeldBytes(m_vertexBuffer.Get());
}

bool CModelBase::BuffersHoldLists() const
{
    if (!m_indices || !m_indexBuffer || !VertexBufferHoldsList()) return false;
    const u32 size = m_indexFormat == kFormatIndex32 ? 4 : 2;
    return u64(m_indices->Indices.GetCount()) * size <= HeldBytes(m_indexBuffer.Get());
}

i32 CModelBase::SkinVertices(const CAnimationController* controller)
{
    if (!controller) return 0;
    return SkinVertices(controller->GetMatrixPalette(), controller->GetFrameCount(), &controller->GetRootMatrix());
}

i32 CModelBase::SkinVertices(const CMatrix* palette, u32 paletteCount, const CMatrix* rest)
{
    if (!palette || !m_vertices || !m_vertexBuffer) return 0;
    ModelVertexLayout layout;
    if (!StrideMatchesFormat(*m_vertices, &layout) || !VertexBufferHoldsList()) return 0;
    void* data = nullptr;
    if (m_vertexBuffer->Lock(0, 0, &data, 0) != Result::Ok || !data) return 0;
    u8* slot = static_cast<u8*>(data);
    const CModelVertex* vertices = m_vertices->GetData();
    for (u32 i = 0; i < m_vertices->GetCount(); ++i, slot += m_vertices->Stride) {
        const CModelVertex& v = vertices[i];
        CVector3 position, normal;
        bool moved = false;
        const u32 influences = v.InfluenceCount < kMaxVertexInfluences ? v.InfluenceCount : kMaxVertexInfluences;
        for (u32 j = 0; j < influences; ++j) {
            if (v.BoneIndex[j] >= paletteCount) continue;
            const CMatrix& m = palette[v.BoneIndex[j]];
            CVector3 p;
            v.Position.TransformedCoord(&p, m);
            position += p * v.Weight[j];
            CVector3 n;
            v.Normal.TransformNormalInto(m, &n);
            normal += n * v.Weight[j];
            moved = true;
        }
        if (!moved && rest) {
            v.Position.TransformedCoord(&position, *rest);
            v.Normal.TransformNormalInto(*rest, &normal);
        } else if (!moved) {
            position = v.Position;
            normal = v.Normal;
        }
        if (layout.position >= 0) PutVector3(slot + layout.position, position);
        if (layout.normal >= 0) PutVector3(slot + layout.normal, normal);
    }
    m_vertexBuffer->Unlock();
    return 1;
}

u32 CModelBase::FindRange(u32 index) const
{
    if (!m_indices) return 0;
    for (u32 r = 0; r < m_indices->Ranges.GetCount(); ++r) {
        const CPoint2* range = m_indices->Ranges.GetAt(r);
        if (u64(range->first) + range->second > index) return r;
    }
    return 0;
}

i32 CModelBase::BindBuffers()
{
    CGraphicDevice* graphics = GetGraphicDevice();
    if (!graphics) return 0;
    graphics->SetStreamSource(m_vertexBuffer.Get(), m_vertices ? m_vertices->Stride : 0);
    graphics->SetIndices(m_indexBuffer.Get());
    graphics->SetVertexDeclaration(m_declaration.Get());
    return 1;
}

// --------------------------------------------------- CModelCollisionGrid

void* CModelCollisionGrid::operator new(size_t size) noexcept
{
    return size <= UINT32_MAX ? AlignedAlloc(u32(size), 16) : nullptr;
}

void CModelCollisionGrid::operator delete(void* block) noexcept { AlignedFree(block); }

CModelCollisionGrid::CModelCollisionGrid(const CModelCollisionGrid& other)
    : Center(other.Center),
      HalfSize(other.HalfSize),
      CellsPerUnit(other.CellsPerUnit),
      CellSize(other.CellSize),
      CountX(other.CountX),
      CountY(other.CountY),
      CountZ(other.CountZ)
{
    if (other.Cells) Cells = new CResourceList(*other.Cells);
}

CModelCollisionGrid::~CModelCollisionGrid() { ReleaseCells(); }

void CModelCollisionGrid::ReleaseCells()
{
    delete Cells;
    Cells = nullptr;
}

u32 CModelCollisionGrid::CellCoordinate(const CVector3& p, u32 axis) const
{
    const u32 count = axis == 0 ? CountX : axis == 1 ? CountY : CountZ;
    const int a = int(axis);
    const f32 v = (p[a] - Center[a] + HalfSize[a]) * CellsPerUnit[a];
    if (!(v > 0.0f) || count == 0) return 0;
    if (v >= f32(count - 1)) return count - 1;
    return u32(v);
}

CModelBlock* CModelCollisionGrid::GetCellAt(u32 index) const
{
    if (!Cells || index >= Cells->GetCount()) return nullptr;
    return static_cast<CModelBlock*>(static_cast<CValueBase*>(Cells->GetAt(index)));
}

CModelBlock* CModelCollisionGrid::GetCell(const CVector3& p) const
{
    return GetCellAt(CellIndex(CellCoordinate(p, 0), CellCoordinate(p, 1), CellCoordinate(p, 2)));
}

// ---------------------------------------------------------- CModelObject

CModelObject::CModelObject()
{
    m_vertices = Allocate<CModelVertexList>();
    m_indices = new (std::nothrow) CModelIndexList();
    m_materials = Allocate<CMaterialList>();
    m_grid = new CModelCollisionGrid();
    m_lowModels = Allocate<CResourceList>();
}

CModelObject::CModelObject(const CModelObject& other) : CModelBase(other)
{
    if (other.m_vertices) m_vertices = new CModelVertexList(*other.m_vertices);
    if (other.m_indices) m_indices = new (std::nothrow) CModelIndexList(*other.m_indices);
    if (other.m_materials) m_materials = new CMaterialList(*other.m_materials);
    if (other.m_lowModels) m_lowModels = new CResourceList(*other.m_lowModels);
    if (other.m_grid) {
        m_grid = new CModelCollisionGrid(*other.m_grid);
        // The cloned blocks still point at the source's lists.
        for (u32 i = 0; m_grid && m_grid->Cells && i < m_grid->Cells->GetCount(); ++i) {
            if (CModelBlock* block = m_grid->GetCellAt(i)) block->Share(m_vertices, m_indices, m_materials);
        }
    }
}

CModelObject::~CModelObject() { CModelObject::Release(); }

i32 CModelObject::Release()
{
    // Blocks share the lists: they go first.
    delete m_grid;
    m_grid = nullptr;
    delete m_lowModels;
    m_lowModels = nullptr;
    delete m_materials;
    m_materials = nullptr;
    delete m_indices;
    m_indices = nullptr;
    delete m_vertices;
    m_vertices = nullptr;
    return CModelBase::Release();
}

i32 CModelObject::Finalize()
{
    if (!CreateVertexBuffer() || !UpdateVertexBuffer() || !CreateVertexDeclaration() || !CreateIndexBuffer() ||
        !UpdateIndexBuffer()) {
        return 0;
    }
    for (u32 i = 0; m_lowModels && i < m_lowModels->GetCount(); ++i) {
        auto* low = static_cast<CLowModelObject*>(static_cast<CValueBase*>(m_lowModels->GetAt(i)));
        if (low) low->Finalize();
    }
    for (u32 i = 0; m_grid && m_grid->Cells && i < m_grid->Cells->GetCount(); ++i) {
        if (CModelBlock* block = m_grid->GetCellAt(i)) block->CreateBuffers();
    }
    return 1;
}

// ----------------------------------------------------------- CModelBlock

CModelBlock::CModelBlock() { m_indices = new (std::nothrow) CModelIndexList(); }

CModelBlock::CModelBlock(const CBox& box, CModelVertexList* vertices, CModelIndexList* objectIndices,
    CMaterialList* materials)
    : m_box(box), m_objectIndices(objectIndices)
{
    m_vertices = vertices;
    m_materials = materials;
    m_indices = new (std::nothrow) CModelIndexList();
}

CModelBlock::CModelBlock(const CModelBlock& other)
    : CModelBase(other), m_box(other.m_box), m_objectIndices(other.m_objectIndices)
{
    m_vertices = other.m_vertices;
    m_materials = other.m_materials;
    if (other.m_indices) m_indices = new (std::nothrow) CModelIndexList(*other.m_indices);
}

CModelBlock::~CModelBlock() { CModelBlock::Release(); }

i32 CModelBlock::Release()
{
    delete m_indices;
    m_indices = nullptr;
    return CModelBase::Release();
}

i32 CModelBlock::Finalize()
{
    if (!m_indices || m_indices->Indices.GetCount() == 0) return 1;
    return CreateIndexBuffer() && UpdateIndexBuffer() ? 1 : 0;
}

void CModelBlock::Share(CModelVertexList* vertices, CModelIndexList* objectIndices, CMaterialList* materials)
{
    m_vertices = vertices;
    m_objectIndices = objectIndices;
    m_materials = materials;
}

// ------------------------------------------------------- CLowModelObject

CLowModelObject::CLowModelObject()
{
    m_vertices = Allocate<CModelVertexList>();
    m_indices = new (std::nothrow) CModelIndexList();
    if (auto* extra = new CResourceList()) m_extra.reset(extra);
}

CLowModelObject::CLowModelObject(const CLowModelObject& other)
    : CModelBase(other), m_extra(other.m_extra), m_value(other.m_value)
{
    if (other.m_vertices) m_vertices = new CModelVertexList(*other.m_vertices);
    if (other.m_indices) m_indices = new (std::nothrow) CModelIndexList(*other.m_indices);
}

CLowModelObject::~CLowModelObject() { CLowModelObject::Release(); }

i32 CLowModelObject::Release()
{
    delete m_vertices;
    m_vertices = nullptr;
    delete m_indices;
    m_indices = nullptr;
    return CModelBase::Release();
}

i32 CLowModelObject::Finalize()
{
    return CreateVertexBuffer() && UpdateVertexBuffer() && CreateVertexDeclaration() && CreateIndexBuffer() &&
                   UpdateIndexBuffer()
               ? 1
               : 0;
}
