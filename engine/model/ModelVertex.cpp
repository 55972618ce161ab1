#include "engine/model/ModelVertex.h"

#include "engine/core/Endian.h"

#include <cstring>

namespace {

void PutFloat(u8* out, f32 value)
{
    u32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutLe32(out, bits);
}

void PutFloats(u8* out, const f32* values, u32 count)
{
    for (u32 i = 0; i < count; ++i) PutFloat(out + 4 * i, values[i]);
}

void PutVector3(u8* out, const CVector3& v)
{
    PutFloat(out, v.x);
    PutFloat(out + 4, v.y);
    PutFloat(out + 8, v.z);
}

// One channel: times 255, truncated toward zero, low 8 bits. Values past
// what a 32-bit integer holds (or not a number) give 0 rather than an
// undefined conversion.
u32 Channel(f32 value)
{
    const f32 scaled = value * 255.0f;
    if (!(scaled > -2147483648.0f && scaled < 2147483648.0f)) return 0;
    return u32(i32(scaled)) & 0xFF;
}

}  // namespace

u32 CModelVertexFormat::GetStride(u32 flags)
{
    u32 stride = 0;
    if (flags & kVertexPosition) stride += 12;
    if (flags & kVertexNormal) stride += 12;
    if (flags & kVertexTexCoord0) stride += 8;
    if (flags & kVertexTexCoord1) stride += 8;
    if (flags & kVertexTexCoord2) stride += 8;
    if (flags & kVertexTexCoord3) stride += 8;
    if (flags & kVertexColor) stride += 4;
    if (flags & kVertexTangent) stride += 12;
    if (flags & kVertexBinormal) stride += 12;
    return stride;
}

ModelVertexLayout CModelVertexFormat::GetLayout(u32 flags)
{
    ModelVertexLayout layout;
    i32 offset = 0;
    auto place = [&offset](i32& field, i32 bytes) {
        field = offset;
        offset += bytes;
    };
    if (flags & kVertexPosition) place(layout.position, 12);
    if (flags & kVertexSkin) {
        place(layout.blendWeights, 16);
        place(layout.blendIndices, 4);
    }
    if (flags & kVertexNormal) place(layout.normal, 12);
    if (flags & kVertexTangent) place(layout.tangent, 12);
    if (flags & kVertexBinormal) place(layout.binormal, 12);
    if (flags & kVertexColor) place(layout.color, 4);
    if (flags & kVertexTexCoord0) place(layout.texCoord[0], 8);
    if (flags & kVertexTexCoord1) place(layout.texCoord[1], 8);
    if (flags & kVertexTexCoord2) place(layout.texCoord[2], 8);
    if (flags & kVertexTexCoord3) place(layout.texCoord[3], 8);
    layout.size = u32(offset);
    return layout;
}

u32 CModelVertexFormat::PackColor(const CVector4& c)
{
    return (Channel(c.w) << 24) | (Channel(c.x) << 16) | (Channel(c.y) << 8) | Channel(c.z);
}

void CModelVertexFormat::Pack(const CModelVertex& v, const ModelVertexLayout& layout, u8* out)
{
    if (layout.position >= 0) PutVector3(out + layout.position, v.Position);
    if (layout.blendWeights >= 0) {
        // A vertex that no bone moves rides on bone 0, the model's root,
        // whose skin matrix is the posed model's own placement; with no
        // weight at all a skinning effect would put it at the origin.
        static const f32 kOnRoot[4] = {1.0f, 0.0f, 0.0f, 0.0f};
        const bool unweighted = v.InfluenceCount == 0 && v.Weight[0] == 0.0f && v.Weight[1] == 0.0f &&
                                v.Weight[2] == 0.0f && v.Weight[3] == 0.0f;
        PutFloats(out + layout.blendWeights, unweighted ? kOnRoot : v.Weight, 4);
    }
    if (layout.blendIndices >= 0) {
        PutLe32(out + layout.blendIndices, u32(v.BoneIndex[3]) << 24 | u32(v.BoneIndex[2]) << 16 |
                                               u32(v.BoneIndex[1]) << 8 | u32(v.BoneIndex[0]));
    }
    if (layout.normal >= 0) PutVector3(out + layout.normal, v.Normal);
    if (layout.tangent >= 0) PutVector3(out + layout.tangent, v.Tangent);
    if (layout.binormal >= 0) PutVector3(out + layout.binormal, v.Binormal);
    if (layout.color >= 0) PutLe32(out + layout.color, PackColor(v.Color));
    for (u32 n = 0; n < 4; ++n) {
        if (layout.texCoord[n] >= 0) PutFloats(out + layout.texCoord[n], v.TexCoord(n), 2);
    }
}

i32 CModelVertexList::AppendList(const CList<CModelVertex>& other)
{
    const u32 base = GetCount(), added = other.GetCount();
    if (added == 0) return 1;
    if (u64(base) + added > UINT32_MAX) return 0;
    // other may be this list: its records are then the first base ones of
    // the grown array, read after the growth.
    if (!Resize(base + added)) return 0;
    std::memcpy(static_cast<void*>(GetData() + base), other.GetData(), size_t(added) * sizeof(CModelVertex));
    return 1;
}

bool CModelIndexList::IsValid(u32 vertexCount) const
{
    const u32* indices = Indices.GetData();
    for (u32 i = 0; i < Indices.GetCount(); ++i) {
        if (indices[i] >= vertexCount) return false;
    }
    for (u32 r = 0; r < Ranges.GetCount(); ++r) {
        const CPoint2* range = Ranges.GetAt(r);
        if (u64(range->first) + range->second > Indices.GetCount()) return false;
    }
    return true;
}

u32 CModelIndexList::GetMaxIndex() const
{
    u32 largest = 0;
    const u32* indices = Indices.GetData();
    for (u32 i = 0; i < Indices.GetCount(); ++i) {
        if (indices[i] > largest) largest = indices[i];
    }
    return largest;
}
