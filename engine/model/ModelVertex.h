// The vertex data of a model part: the rich in-memory vertex record, the
// vertex format flags and the packed layout they give, and the vertex and
// index lists that every model part holds.
//
// Every record carries every field; the part's FormatFlags say which of
// them are packed into its vertex buffer, in one fixed order (the order of
// the vertex declaration):
//
//   0x1 position   0x10 blend weights + blend indices   0x2 normal
//   0x20 tangent   0x200 binormal   0x8 colour   0x4, 0x40, 0x80, 0x100
//   the four texture coordinate sets
#pragma once

#include "engine/core/List.h"
#include "engine/core/Point2.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"

#include <type_traits>

enum ModelVertexFlag : u32 {
    kVertexPosition = 0x1,
    kVertexNormal = 0x2,
    kVertexTexCoord0 = 0x4,
    kVertexColor = 0x8,
    kVertexSkin = 0x10,
    kVertexTangent = 0x20,
    kVertexTexCoord1 = 0x40,
    kVertexTexCoord2 = 0x80,
    kVertexTexCoord3 = 0x100,
    kVertexBinormal = 0x200,
};

// Every flag the format knows; other bits are carried but pack nothing.
constexpr u32 kVertexKnownFlags = 0x3FF;
// Bytes of blend weights (four floats) and blend indices (one word).
constexpr u32 kVertexSkinBytes = 20;
constexpr u32 kMaxVertexInfluences = 4;

struct CModelVertex {
    CVector3 Position;
    CVector3 Normal;
    f32 TexCoord0[2] = {};
    f32 TexCoord1[2] = {};
    f32 TexCoord2[2] = {};
    f32 TexCoord3[2] = {};
    CVector4 Color;
    CVector3 Tangent;
    CVector3 Binormal;
    u8 InfluenceCount = 0;
    u8 BoneIndex[4] = {};
    f32 Weight[4] = {};

    // The texture coordinate set n (0..3); set 0 past 3.
    f32* TexCoord(u32 n) { return n == 1 ? TexCoord1 : n == 2 ? TexCoord2 : n == 3 ? TexCoord3 : TexCoord0; }
    const f32* TexCoord(u32 n) const
    {
        return n == 1 ? TexCoord1 : n == 2 ? TexCoord2 : n == 3 ? TexCoord3 : TexCoord0;
    }
};

static_assert(std::is_trivially_copyable_v<CModelVertex>);

// Offsets within one packed vertex; -1 for an element the flags leave out.
struct ModelVertexLayout {
    i32 position = -1;
    i32 blendWeights = -1;
    i32 blendIndices = -1;
    i32 normal = -1;
    i32 tangent = -1;
    i32 binormal = -1;
    i32 color = -1;
    i32 texCoord[4] = {-1, -1, -1, -1};
    u32 size = 0;   // bytes of every packed element, the skin data included
};

class CModelVertexFormat {
public:
    // Bytes of the elements the flags set, leaving out the skin data (0x10):
    // whoever sets that flag adds kVertexSkinBytes to the stride.
    static u32 GetStride(u32 flags);
    // Where each element of the flags lands in a packed vertex.
    static ModelVertexLayout GetLayout(u32 flags);
    // A colour as D3DCOLOR: each channel times 255, truncated toward zero,
    // low 8 bits; alpha in bits 24-31, red 16-23, green 8-15, blue 0-7.
    static u32 PackColor(const CVector4& color);
    // Writes the elements of the flags of vertex v at out (layout.size
    // bytes, little-endian words). A vertex without influences or weights
    // is packed with all its weight on bone 0.
    static void Pack(const CModelVertex& v, const ModelVertexLayout& layout, u8* out);
};

// The vertices of a part with the format its vertex buffer packs.
class CModelVertexList : public CList<CModelVertex> {
    ORV_VALUE_CLASS(CModelVertexList)

public:
    CModelVertexList() = default;
    CModelVertexList(const CModelVertexList& other) = default;
    ~CModelVertexList() override = default;

    // Grows the list by other's count and copies other's records to the
    // end (other may be this list). 0 when the list cannot grow.
    i32 AppendList(const CList<CModelVertex>& other);

    u32 FormatFlags = 0;
    u32 Stride = 0;
};

// The index data of a part: vertex indices, three per triangle, and the
// (start, count) ranges that cut them, range i drawn with material i.
class CModelIndexList {
public:
    CList<u32> Indices;
    CList<CPoint2> Ranges;

    // Every index below vertexCount and every range within the index list.
    bool IsValid(u32 vertexCount) const;
    // The largest index; 0 for an empty list.
    u32 GetMaxIndex() const;
};
