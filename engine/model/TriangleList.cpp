#include "engine/model/TriangleList.h"

#include "engine/core/Geometry.h"
#include "engine/core/Memory.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <new>
#include <vector>

namespace {

template <class T>
T Blend(const T& a, const T& b, f32 t)
{
    return a + (b - a) * t;
}

bool SameTexCoords(const CModelVertex& a, const CModelVertex& b)
{
    for (u32 n = 0; n < 4; ++n) {
        if (a.TexCoord(n)[0] != b.TexCoord(n)[0] || a.TexCoord(n)[1] != b.TexCoord(n)[1]) return false;
    }
    return true;
}

bool SameBones(const CModelVertex& a, const CModelVertex& b)
{
    return a.InfluenceCount == b.InfluenceCount && std::memcmp(a.BoneIndex, b.BoneIndex, sizeof a.BoneIndex) == 0 &&
           std::memcmp(a.Weight, b.Weight, sizeof a.Weight) == 0;
}

}  // namespace

CTriangleList::CTriangleList(const CTriangleList& other) : CModelBase(other), m_shader(other.m_shader)
{
    if (other.m_vertices) m_vertices = new CModelVertexList(*other.m_vertices);
    if (other.m_indices) m_indices = new (std::nothrow) CModelIndexList(*other.m_indices);
    if (other.m_materials) m_materials = new CMaterialList(*other.m_materials);
}

CTriangleList::~CTriangleList() { CTriangleList::Release(); }

void CTriangleList::ReleaseLists()
{
    delete m_materials;
    m_materials = nullptr;
    delete m_indices;
    m_indices = nullptr;
    delete m_vertices;
    m_vertices = nullptr;
}

i32 CTriangleList::Release()
{
    ReleaseLists();
    return CModelBase::Release();
}

i32 CTriangleList::CreateBuffers()
{
    return CreateVertexBuffer() && UpdateVertexBuffer() && CreateVertexDeclaration() && CreateIndexBuffer() &&
                   UpdateIndexBuffer()
               ? 1
               : 0;
}

i32 CTriangleList::Create(u32 triangles, u32 vertices, u32 materials, u32 flags)
{
    ReleaseLists();
    if (triangles > UINT32_MAX / 3) return 0;
    const u32 indexCount = triangles * 3;
    m_vertices = new CModelVertexList();
    m_indices = new (std::nothrow) CModelIndexList();
    m_materials = new CMaterialList();
    if (!m_vertices || !m_indices || !m_materials) return 0;
    if (!m_vertices->Resize(vertices) || !m_indices->Indices.Resize(indexCount) ||
        !m_indices->Ranges.Resize(materials)) {
        return 0;
    }
    m_vertices->FormatFlags = flags;
    // The skin data is not in the format's stride: it is added here.
    m_vertices->Stride = CModelVertexFormat::GetStride(flags) + ((flags & kVertexSkin) ? kVertexSkinBytes : 0);
    if (materials > 0) *m_indices->Ranges.GetAt(0) = CPoint2{0, indexCount};
    for (u32 i = 0; i < materials; ++i) {
        auto* material = new CModelMaterial();
        void* slot = material;
        if (!material || !m_materials->Add(&slot)) {
            delete material;
            return 0;
        }
    }
    return CreateVertexBuffer() && CreateIndexBuffer() && CreateVertexDeclaration() ? 1 : 0;
}

// ------------------------------------------------------------ indices

i32 CTriangleList::RangeFor(u32 position) const
{
    const CList<CPoint2>& ranges = m_indices->Ranges;
    for (u32 r = 0; r < ranges.GetCount(); ++r) {
        const CPoint2& range = *ranges.GetAt(r);
        if (range.first <= position && u64(range.first) + range.second > position) return i32(r);
    }
    // Past the end of a range (appending to it).
    for (u32 r = ranges.GetCount(); r-- > 0;) {
        const CPoint2& range = *ranges.GetAt(r);
        if (range.second > 0 && u64(range.first) + range.second == position) return i32(r);
    }
    // Otherwise the first range ending past it, else range 0: indices put
    // into a list whose ranges are all empty belong to its first range.
    for (u32 r = 0; r < ranges.GetCount(); ++r) {
        const CPoint2& range = *ranges.GetAt(r);
        if (u64(range.first) + range.second > position) return i32(r);
    }
    return ranges.GetCount() ? 0 : -1;
}

bool CTriangleList::InsertIndices(i32 grow, u32 position, u32 count, const u32* indices, bool reverse)
{
    CList<u32>& list = m_indices->Indices;
    const u32 old = list.GetCount();
    if (count == 0) return true;
    if (!indices || u64(old) + count > UINT32_MAX) return false;
    if (position > old) position = old;
    std::vector<u32> block(indices, indices + count);
    if (reverse) std::reverse(block.begin(), block.end());
    CList<u32> grown;
    if (!grown.Resize(old + count)) return false;
    u32* out = grown.GetData();
    if (position > 0) std::memcpy(out, list.GetData(), size_t(position) * 4);
    std::memcpy(out + position, block.data(), size_t(count) * 4);
    if (old > position) std::memcpy(out + position + count, list.GetData() + position, size_t(old - position) * 4);
    if (!list.SetArray(grown.GetData(), grown.GetCount())) return false;
    CList<CPoint2>& ranges = m_indices->Ranges;
    for (u32 r = 0; r < ranges.GetCount(); ++r) {
        CPoint2& range = *ranges.GetAt(r);
        // A range starting where the indices go moves past them only when
        // it comes after the one they join: the ranges keep their order.
        if (i32(r) == grow) {
            range.second += count;
        } else if (range.first > position || (range.first == position && i32(r) > grow)) {
            range.first += count;
        }
    }
    return true;
}

i32 CTriangleList::AddIndices(u32 count, u32 position, const u32* indices)
{
    if (!m_indices) return 0;
    return InsertIndices(RangeFor(position), position, count, indices, true) ? 1 : 0;
}

// ------------------------------------------------------------ splitting

i32 CTriangleList::AddSplitVertex(const CModelVertex& a, const CModelVertex& b, const CVector3& point)
{
    if (!m_vertices) return 0;
    CModelVertex v = a;
    const f32 span = (b.Position - a.Position).Length();
    const f32 t = span > 0.0f ? (point - a.Position).Length() / span : 0.0f;
    v.Position = point;
    v.Normal = Blend(a.Normal, b.Normal, t);
    v.Color = Blend(a.Color, b.Color, t);
    for (u32 n = 0; n < 4; ++n) {
        v.TexCoord(n)[0] = Blend(a.TexCoord(n)[0], b.TexCoord(n)[0], t);
        v.TexCoord(n)[1] = Blend(a.TexCoord(n)[1], b.TexCoord(n)[1], t);
    }
    return m_vertices->Add(&v) ? 1 : 0;
}

i32 CTriangleList::SplitTriangleAtPoint(u32 triangle, const CVector3& point)
{
    if (!m_vertices || !m_indices) return 0;
    const u32 vertexCount = m_vertices->GetCount();
    const u64 first = u64(triangle) * 3;
    if (first + 2 >= m_indices->Indices.GetCount()) return 0;
    u32* tri = m_indices->Indices.GetData() + first;
    const u32 a = tri[0], b = tri[1], c = tri[2];
    if (a >= vertexCount || b >= vertexCount || c >= vertexCount) return 0;
    const CModelVertex& A = *m_vertices->GetAt(a);
    const CModelVertex& B = *m_vertices->GetAt(b);
    const CModelVertex& C = *m_vertices->GetAt(c);
    CModelVertex centre;
    centre.Position = point;
    (B.Position - A.Position).Cross(C.Position - B.Position).GetNormalized(&centre.Normal);
    centre.Color = A.Color;
    centre.TexCoord0[0] = A.TexCoord0[0];
    centre.TexCoord0[1] = A.TexCoord0[1];
    if (!m_vertices->Add(&centre)) return 0;
    const u32 n = vertexCount;
    m_indices->Indices.GetData()[first + 2] = n;
    const u32 added[6] = {n, a, c, n, c, b};
    if (!AddIndices(6, u32(first), added)) {
        m_indices->Indices.GetData()[first + 2] = c;
        m_vertices->Resize(vertexCount);
        return 0;
    }
    return CreateVertexBuffer() && CreateIndexBuffer() ? 1 : 0;
}

i32 CTriangleList::SplitByPlane(const CVector3* normal, const CVector3* point)
{
    if (!normal || !point || !m_vertices || !m_indices) return 0;
    for (u32 i = 0; u64(i) + 2 < m_indices->Indices.GetCount();) {
        const u32* tri = m_indices->Indices.GetData() + i;
        const u32 a = tri[0], b = tri[1], c = tri[2];
        const u32 count = m_vertices->GetCount();
        if (a >= count || b >= count || c >= count) {
            i += 3;
            continue;
        }
        // Copies: appending split vertices moves the list.
        const CModelVertex A = *m_vertices->GetAt(a), B = *m_vertices->GetAt(b), C = *m_vertices->GetAt(c);
        CVector3 hitAB, hitBC, hitCA;
        u32 crossed = 0;
        if (IntersectSegmentPlane(&A.Position, &B.Position, point, normal, 1, &hitAB)) crossed |= 1;
        if (IntersectSegmentPlane(&B.Position, &C.Position, point, normal, 1, &hitBC)) crossed |= 2;
        if (IntersectSegmentPlane(&C.Position, &A.Position, point, normal, 1, &hitCA)) crossed |= 4;
        // u (and w) are the split vertices about to be appended.
        const u32 u = count, w = count + 1;
        auto finish = [&](u32 slot, u32 value, std::initializer_list<u32> added) {
            m_indices->Indices.GetData()[i + slot] = value;
            return AddIndices(u32(added.size()), i, added.begin()) != 0;
        };
        bool ok = true;
        switch (crossed) {
        case 1: ok = AddSplitVertex(A, B, hitAB) && finish(1, u, {c, b, u}); break;
        case 2: ok = AddSplitVertex(B, C, hitBC) && finish(2, u, {c, u, a}); break;
        case 4: ok = AddSplitVertex(C, A, hitCA) && finish(2, u, {u, c, b}); break;
        case 3:
            ok = AddSplitVertex(A, B, hitAB) && AddSplitVertex(B, C, hitBC) && finish(1, u, {c, w, u, w, b, u});
            break;
        case 6:
            ok = AddSplitVertex(B, C, hitBC) && AddSplitVertex(C, A, hitCA) && finish(2, w, {w, c, u, w, u, b});
            break;
        case 5:
            ok = AddSplitVertex(A, B, hitAB) && AddSplitVertex(C, A, hitCA) && finish(0, u, {w, u, a, w, c, u});
            break;
        default:
            // Untouched, or crossed on all three edges (through a corner).
            break;
        }
        i += crossed == 1 || crossed == 2 || crossed == 4 ? 6 : crossed == 3 || crossed == 5 || crossed == 6 ? 9 : 3;
        if (!ok) return 0;
    }
    return 1;
}

// ------------------------------------------------------------ welding and merging

i32 CTriangleList::WeldVertices(f32 distance, f32 angle, f32 colourDistance)
{
    if (!m_vertices || !m_indices) return 0;
    for (u32 i = 0; i < m_vertices->GetCount(); ++i) {
        for (u32 j = i + 1; j < m_vertices->GetCount();) {
            CModelVertex& vi = *m_vertices->GetAt(i);
            const CModelVertex& vj = *m_vertices->GetAt(j);
            const bool same = (vi.Position - vj.Position).LengthSquared() < distance * distance &&
                              vi.Normal.Angle(vj.Normal) < angle &&
                              (vi.Color - vj.Color).LengthSquared() < colourDistance * colourDistance &&
                              SameTexCoords(vi, vj) && SameBones(vi, vj);
            if (!same) {
                ++j;
                continue;
            }
            vi.Position = Blend(vi.Position, vj.Position, 0.5f);
            vi.Normal = Blend(vi.Normal, vj.Normal, 0.5f);
            vi.Color = Blend(vi.Color, vj.Color, 0.5f);
            if (!m_vertices->RemoveAt(j)) return 0;
            u32* indices = m_indices->Indices.GetData();
            for (u32 k = 0; k < m_indices->Indices.GetCount(); ++k) {
                if (indices[k] == j) {
                    indices[k] = i;
                } else if (indices[k] > j) {
                    --indices[k];
                }
            }
        }
    }
    return 1;
}

bool CTriangleList::PutMaterial(u32 i, CModelMaterial* material)
{
    if (i < m_materials->GetCount()) {
        delete static_cast<CModelMaterial*>(m_materials->GetAt(i));
        m_materials->GetData()[i] = material;
        return true;
    }
    return m_materials->SetAt(material, i) != 0;
}

i32 CTriangleList::Merge(const CTriangleList& source, bool intoRanges)
{
    if (!m_vertices || !m_indices || !m_materials) return 0;
    if (!source.m_vertices || !source.m_indices) return 0;
    if (!source.m_indices->IsValid(source.m_vertices->GetCount())) return 0;
    // Merging a list into itself reads a copy.
    const CTriangleList* copy = &source == this ? new CTriangleList(*this) : nullptr;
    const CTriangleList& other = copy ? *copy : source;
    const u32 base = m_vertices->GetCount();
    bool ok = other.m_vertices && other.m_indices && m_vertices->AppendList(*other.m_vertices);
    const CList<CPoint2>& ranges = other.m_indices->Ranges;
    for (u32 r = 0; ok && r < ranges.GetCount(); ++r) {
        const CPoint2 range = *ranges.GetAt(r);
        std::vector<u32> moved(other.m_indices->Indices.GetData() + range.first,
            other.m_indices->Indices.GetData() + range.first + range.second);
        for (u32& index : moved) index += base;
        if (intoRanges && r < m_indices->Ranges.GetCount()) {
            const u32 start = m_indices->Ranges.GetAt(r)->first;
            ok = InsertIndices(i32(r), start, range.second, moved.data(), false);
            continue;
        }
        const u32 end = m_indices->Indices.GetCount();
        const CPoint2 added{end, range.second};
        const u32 slot = m_indices->Ranges.GetCount();
        ok = InsertIndices(-1, end, range.second, moved.data(), false) && m_indices->Ranges.Add(&added);
        const CModelMaterial* material = other.m_materials && r < other.m_materials->GetCount()
                                             ? static_cast<const CModelMaterial*>(other.m_materials->GetAt(r))
                                             : nullptr;
        CModelMaterial* cloned = material ? material->Clone() : new CModelMaterial();
        if (ok && !(cloned && PutMaterial(slot, cloned))) {
            delete cloned;
            ok = false;
        }
    }
    delete copy;
    return ok ? 1 : 0;
}
