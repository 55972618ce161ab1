// The node tree of a DirectX .x text file: CqelXModel holds one CqelXNode
// per data object, typed by the template it instantiates, with the
// template's data record, its parent, its children and the objects it names
// by {name} references. The parser (XFileReader.h) fills the records and
// links them; the converter (XConvert.h) writes the engine model from them.
//
// Records point at other nodes, never own them; every node belongs to the
// tree, which keeps them in creation order.
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

// The templates the reader knows; the value is the node type.
enum XTemplate : u8 {
    kXMesh = 0,
    kXMeshTextureCoords = 1,
    kXMeshNormals = 2,
    kXMeshVertexColors = 3,
    kXMeshMaterialList = 4,
    kXMaterial = 5,
    kXTextureFilename = 6,
    kXFrame = 7,
    kXFrameTransformMatrix = 8,
    kXAnimTicksPerSecond = 9,
    kXAnimation = 10,
    kXAnimationSet = 11,
    kXAnimationKey = 12,
    kXSkinMeshHeader = 13,
    kXSkinWeights = 14,
    kXRelation = 15,
    kXTemplateCount = 16,
};

// The template's name as the file spells it; null past the table.
const char* XTemplateName(u32 type);
// The type of a template name (exact, case-sensitive); -1 when unknown.
i32 FindXTemplate(const char* name);

// .x animation key types.
enum XKeyType : u32 {
    kXKeyRotation = 0,   // w, x, y, z
    kXKeyScaling = 1,
    kXKeyPosition = 2,
    kXKeyMatrix = 4,     // 16 values, row by row
};
// Values per key of a key type; 0 for a type the reader does not know.
u32 XKeyValueCount(u32 keyType);

struct CqelXNode;

// Polygons of any size, stored flat: face f holds the indices
// Indices[Starts[f] .. Starts[f + 1]).
struct XFaceList {
    std::vector<u32> Starts{0};
    std::vector<u32> Indices;

    u32 GetCount() const { return u32(Starts.size() - 1); }
    u32 GetSize(u32 f) const { return Starts[f + 1] - Starts[f]; }
    const u32* GetFace(u32 f) const { return Indices.data() + Starts[f]; }
};

struct XMesh {
    std::vector<CVector3> Vertices;
    XFaceList Faces;
    // Linked after reading: the first child (else reference) of each kind.
    const CqelXNode* TextureCoords = nullptr;
    const CqelXNode* Normals = nullptr;
    const CqelXNode* VertexColors = nullptr;
    const CqelXNode* MaterialList = nullptr;
    const CqelXNode* Frame = nullptr;        // the enclosing frame
    const CqelXNode* SkinHeader = nullptr;
    std::vector<const CqelXNode*> SkinWeights;
    // Triangles of the faces grouped by material: range m (start, count)
    // is drawn with material m. Without a material list, one range.
    std::vector<u32> TriangleIndices;
    std::vector<std::pair<u32, u32>> Ranges;
};

struct XMeshTextureCoords {
    std::vector<f32> Coords;   // u, v per vertex
    u32 GetCount() const { return u32(Coords.size() / 2); }
};

struct XMeshNormals {
    std::vector<CVector3> Normals;
    XFaceList FaceNormals;
};

struct XMeshVertexColors {
    std::vector<u32> VertexIndices;
    std::vector<CVector4> Colors;
};

struct XMeshMaterialList {
    u32 MaterialCount = 0;
    std::vector<u32> FaceMaterials;
    std::vector<const CqelXNode*> Materials;   // linked: the Material children and references
};

struct XMaterial {
    CVector4 FaceColor;
    f32 Power = 0.0f;
    CVector3 Specular;
    CVector3 Emissive;
    std::vector<const CqelXNode*> Textures;    // linked: TextureFilename children and references
};

struct XTextureFilename {
    std::string FileName;
};

struct XFrame {
    const CqelXNode* Transform = nullptr;      // FrameTransformMatrix, linked
    const CqelXNode* ParentFrame = nullptr;
    CMatrix LocalMatrix;
    std::vector<const CqelXNode*> Children;    // child frames and frame references
};

struct XFrameTransformMatrix {
    CMatrix Matrix;
};

struct XAnimTicksPerSecond {
    f32 TicksPerSecond = 0.0f;
};

struct XAnimation {
    std::vector<const CqelXNode*> Keys;        // AnimationKey children and references
    const CqelXNode* Frame = nullptr;          // the frame it animates
};

struct XAnimationSet {
    std::vector<const CqelXNode*> Animations;
    u32 MaxTime = 0;                           // largest last-key time, in the file's ticks
};

struct XAnimationKey {
    u32 KeyType = 0;
    std::vector<u32> Times;
    std::vector<f32> Values;                   // XKeyValueCount(KeyType) per key

    u32 GetCount() const { return u32(Times.size()); }
    const f32* GetValues(u32 key) const { return Values.data() + size_t(key) * XKeyValueCount(KeyType); }
};

struct XSkinMeshHeader {
    u16 MaxSkinWeightsPerVertex = 0;
    u16 MaxSkinWeightsPerFace = 0;
    u16 BoneCount = 0;
};

struct XSkinWeights {
    std::string TransformNodeName;
    std::vector<u32> VertexIndices;
    std::vector<f32> Weights;
    CMatrix MatrixOffset;
    const CqelXNode* Mesh = nullptr;           // the mesh it belongs to
    const CqelXNode* Frame = nullptr;          // the frame it names, when there is one
};

struct XRelation {};

// One alternative per template, in the order of XTemplate: a node's type is
// the index of the alternative it holds.
using XData = std::variant<XMesh, XMeshTextureCoords, XMeshNormals, XMeshVertexColors, XMeshMaterialList,
    XMaterial, XTextureFilename, XFrame, XFrameTransformMatrix, XAnimTicksPerSecond, XAnimation, XAnimationSet,
    XAnimationKey, XSkinMeshHeader, XSkinWeights, XRelation>;
static_assert(std::variant_size_v<XData> == kXTemplateCount);

struct CqelXNode {
    std::string Name;                          // empty for an unnamed object
    XData Data;
    CqelXNode* Parent = nullptr;
    std::vector<CqelXNode*> Children;          // in file order
    std::vector<CqelXNode*> References;        // nodes named by {name}, in file order
    std::vector<CqelXNode*> Contents;          // children and references together, in file order
    u32 Line = 0;                              // where the object begins, for messages

    u8 GetType() const { return u8(Data.index()); }
    bool HasName() const { return !Name.empty(); }
    template <class T>
    T* As()
    {
        return std::get_if<T>(&Data);
    }
    template <class T>
    const T* As() const
    {
        return std::get_if<T>(&Data);
    }
};

class CqelXModel {
public:
    CqelXModel() = default;
    CqelXModel(const CqelXModel&) = delete;
    CqelXModel& operator=(const CqelXModel&) = delete;
    virtual ~CqelXModel() = default;
    virtual const char* GetClassName() const { return "CqelXModel"; }

    // A new node of type with an empty record, appended to parent's
    // children (when given) and to the creation order. Null for a type past
    // the table.
    CqelXNode* AddNode(u32 type, const char* name, CqelXNode* parent);
    // Frees every node.
    void Clear();

    u32 GetNodeCount() const { return u32(m_nodes.size()); }
    CqelXNode* GetNode(u32 i) const { return i < m_nodes.size() ? m_nodes[i].get() : nullptr; }
    bool IsAnimated() const { return m_animated; }
    void SetAnimated(bool animated) { m_animated = animated; }

    u32 CountNodesOfType(u32 type) const;
    // The first node of type named name (any type for type -1); null when
    // none or for an empty name.
    CqelXNode* FindNode(i32 type, const char* name) const;
    // Every node of type, in creation order.
    std::vector<const CqelXNode*> CollectNodes(u32 type) const;

    // Adds target to node's references.
    static void AddReference(CqelXNode* node, CqelXNode* target);

    // Per node: the first child, the first reference, the nearest enclosing
    // node of type; the Or forms fall back to the reference.
    static const CqelXNode* FindChild(u32 type, const CqelXNode* node);
    static const CqelXNode* FindReference(u32 type, const CqelXNode* node);
    static const CqelXNode* FindAncestor(u32 type, const CqelXNode* node);
    static const CqelXNode* FindChildOrReference(u32 type, const CqelXNode* node);
    static const CqelXNode* FindAncestorOrReference(u32 type, const CqelXNode* node);
    // The children and references of type, in the order the file gives
    // them (a material list may mix materials of its own with references).
    static std::vector<const CqelXNode*> CollectChildren(u32 type, const CqelXNode* node);
    static u32 CountChildrenOfType(u32 type, const CqelXNode* node);

private:
    std::vector<std::unique_ptr<CqelXNode>> m_nodes;
    // The first node of each name, of any type and by type (the type's
    // byte, then the name), so look-ups stay cheap in large files.
    std::unordered_map<std::string, CqelXNode*> m_firstNamed;
    std::unordered_map<std::string, CqelXNode*> m_firstOfType;
    bool m_animated = false;
};
