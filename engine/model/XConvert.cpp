#include "engine/model/XConvert.h"

#include "engine/core/Quaternion.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/ModelObject.h"
#include "engine/model/Owned.h"
#include "engine/model/WriteMesh.h"
#include "host/kernel/Kernel.h"

#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <vector>

namespace {

// Keys closer than this in every value are the same key.
constexpr f32 kSameKey = 3e-5f;
constexpr u32 kVertexFormat = kVertexPosition | kVertexNormal | kVertexTexCoord0 | kVertexColor;

std::string Numbered(const char* prefix, u32 n) { return prefix + std::to_string(n); }

// ----------------------------------------------------------- model objects

// Normals by the normal faces when they match the mesh's faces one for one
// and name only normals there are (any order of normals then lands on the
// right vertex); else by list position. A vertex given no normal gets its
// normalized position.
void FillNormals(const XMesh& mesh, CModelVertex* vertices)
{
    const u32 count = u32(mesh.Vertices.size());
    const XMeshNormals* normals = mesh.Normals ? mesh.Normals->As<XMeshNormals>() : nullptr;
    if (!normals) return;
    const XFaceList& faces = mesh.Faces;
    const XFaceList& normalFaces = normals->FaceNormals;
    bool byFaces = normalFaces.GetCount() == faces.GetCount() && faces.GetCount() > 0;
    for (u32 f = 0; byFaces && f < faces.GetCount(); ++f) byFaces = normalFaces.GetSize(f) == faces.GetSize(f);
    for (u32 i = 0; byFaces && i < normalFaces.Indices.size(); ++i) {
        byFaces = normalFaces.Indices[i] < normals->Normals.size();
    }
    if (!byFaces) {
        for (u32 v = 0; v < count && v < normals->Normals.size(); ++v) vertices[v].Normal = normals->Normals[v];
        return;
    }
    for (u32 i = 0; i < faces.Indices.size(); ++i) {
        vertices[faces.Indices[i]].Normal = normals->Normals[normalFaces.Indices[i]];
    }
}

bool FillVertices(const XMesh& mesh, CModelVertexList& list)
{
    const u32 count = u32(mesh.Vertices.size());
    if (!list.Resize(count)) return false;
    list.FormatFlags = kVertexFormat;
    list.Stride = CModelVertexFormat::GetStride(kVertexFormat);
    CModelVertex* vertices = list.GetData();
    for (u32 v = 0; v < count; ++v) {
        vertices[v].Position = mesh.Vertices[v];
        mesh.Vertices[v].GetNormalized(&vertices[v].Normal);
        vertices[v].Color = CVector4(1.0f, 1.0f, 1.0f, 1.0f);
    }
    FillNormals(mesh, vertices);
    if (const auto* coords = mesh.TextureCoords ? mesh.TextureCoords->As<XMeshTextureCoords>() : nullptr) {
        for (u32 v = 0; v < count && v < coords->GetCount(); ++v) {
            vertices[v].TexCoord0[0] = coords->Coords[2 * size_t(v)];
            vertices[v].TexCoord0[1] = coords->Coords[2 * size_t(v) + 1];
        }
    }
    // Colours by list position; the vertex index listed with each is not used.
    if (const auto* colors = mesh.VertexColors ? mesh.VertexColors->As<XMeshVertexColors>() : nullptr) {
        for (u32 v = 0; v < count && v < colors->Colors.size(); ++v) vertices[v].Color = colors->Colors[v];
    }
    return true;
}

// A material of the list, or the white one a mesh without a list is drawn
// with (null node).
CModelMaterial* MakeMaterial(const CqelXNode* node)
{
    auto* m = new CModelMaterial();
    if (!m) return nullptr;
    m->BlendMode = 0;
    m->Values[0] = m->Values[1] = 0xFFFFFFFF;
    const XMaterial* x = node ? node->As<XMaterial>() : nullptr;
    if (!x) {
        m->Ambient = m->Diffuse;
        return m;
    }
    if (node->HasName()) m->SetName(node->Name.c_str());
    m->Diffuse = m->Ambient = x->FaceColor;
    m->Specular = CVector4(x->Specular.x, x->Specular.y, x->Specular.z, 1.0f);
    m->Emissive = CVector4(x->Emissive.x, x->Emissive.y, x->Emissive.z, 1.0f);
    m->Power = x->Power;
    for (const CqelXNode* textureNode : x->Textures) {
        // As given, an empty name too: the block count picks the technique.
        const std::string& file = textureNode->As<XTextureFilename>()->FileName;
        const CResourceBase texture(file.c_str());
        if (!m->AddTexture(&texture)) {
            delete m;
            return nullptr;
        }
    }
    return m;
}

bool AddObject(CMesh& out, const CqelXNode& node, u32 index)
{
    const XMesh& mesh = *node.As<XMesh>();
    Owned<CModelObject> object(new CModelObject());
    if (!object.p || !object.p->GetVertexList() || !object.p->GetIndexList() || !object.p->GetMaterialList()) {
        return false;
    }
    object.p->SetName(node.HasName() ? node.Name.c_str() : Numbered("Mesh_", index + 1).c_str());
    if (!FillVertices(mesh, *object.p->GetVertexList())) return false;
    CModelIndexList& indices = *object.p->GetIndexList();
    std::vector<CPoint2> ranges;
    for (const auto& [start, count] : mesh.Ranges) ranges.push_back({start, count});
    if (!indices.Indices.SetArray(mesh.TriangleIndices.data(), u32(mesh.TriangleIndices.size())) ||
        !indices.Ranges.SetArray(ranges.data(), u32(ranges.size()))) {
        return false;
    }
    const auto* list = mesh.MaterialList ? mesh.MaterialList->As<XMeshMaterialList>() : nullptr;
    const u32 materials = list ? u32(list->Materials.size()) : 1;
    for (u32 k = 0; k < materials; ++k) {
        Owned<CModelMaterial> material(MakeMaterial(list ? list->Materials[k] : nullptr));
        void* slot = material.p;
        if (!material.p || !object.p->GetMaterialList()->Add(&slot)) return false;
        material.Release();
    }
    return Hand(out.GetModelObjects(), object);
}

// ------------------------------------------------------------------ bones

bool AddBones(CMesh& out, const CqelXModel& tree, const std::unordered_map<const CqelXNode*, u32>& meshIndex)
{
    Owned<CModelBone> root(new CModelBone());
    if (!root.p || !root.p->SetName("root") || !Hand(out.GetBones(), root)) return false;
    const std::vector<const CqelXNode*> frames = tree.CollectNodes(kXFrame);
    // The weights by the frame name they give, in tree order.
    std::unordered_map<std::string, std::vector<const XSkinWeights*>> weightsOf;
    for (const CqelXNode* skin : tree.CollectNodes(kXSkinWeights)) {
        const XSkinWeights& weights = *skin->As<XSkinWeights>();
        if (!weights.TransformNodeName.empty()) weightsOf[weights.TransformNodeName].push_back(&weights);
    }
    std::unordered_map<const CqelXNode*, u32> frameIndex;
    for (u32 j = 0; j < frames.size(); ++j) frameIndex[frames[j]] = j;
    const std::vector<const XSkinWeights*> none;

    for (u32 j = 0; j < frames.size(); ++j) {
        const CqelXNode& node = *frames[j];
        const XFrame& frame = *node.As<XFrame>();
        const auto found = node.HasName() ? weightsOf.find(node.Name) : weightsOf.end();
        const std::vector<const XSkinWeights*>& named = found != weightsOf.end() ? found->second : none;
        if (!node.HasName() && named.empty() && frame.Children.empty()) continue;

        Owned<CModelBone> bone(new CModelBone());
        if (!bone.p || !bone.p->SetName(node.HasName() ? node.Name.c_str() : Numbered("Bone_", j).c_str())) return false;
        const CqelXNode* parent = frame.ParentFrame;
        const std::string parentName =
            !parent ? "root" : parent->HasName() ? parent->Name : Numbered("Bone_", frameIndex[parent]);
        bone.p->SetParentName(parentName.c_str());
        if (frame.Transform) bone.p->Transform = frame.Transform->As<XFrameTransformMatrix>()->Matrix;
        std::vector<CBoneInfluence> influences;
        for (const XSkinWeights* weights : named) {
            // Weights outside any mesh have no mesh to move: no influences.
            const auto mesh = meshIndex.find(weights->Mesh);
            for (u32 i = 0; mesh != meshIndex.end() && i < weights->VertexIndices.size(); ++i) {
                influences.push_back({u16(mesh->second), weights->VertexIndices[i], weights->Weights[i]});
            }
            bone.p->FrameMatrix = weights->MatrixOffset;
        }
        if (!bone.p->Influences.SetArray(influences.data(), u32(influences.size()))) return false;
        if (!Hand(out.GetBones(), bone)) return false;
    }
    return true;
}

// ------------------------------------------------------------- animations

// The keys of a track worth writing: the first, the last, and every key
// that does not sit inside a flat stretch, where it and the key after it
// both hold the last written key's values (dropping such a key leaves the
// blend between the keys around it as it was).
template <class Same>
std::vector<u32> RetainedKeys(u32 count, Same same)
{
    std::vector<u32> kept;
    if (count == 0) return kept;
    kept.push_back(0);
    u32 reference = 0;
    for (u32 i = 1; i < count; ++i) {
        if (i + 1 < count && same(reference, i) && same(reference, i + 1)) continue;
        kept.push_back(i);
        reference = i;
    }
    return kept;
}

const f32* Floats(const CVector3& v) { return &v.x; }
const f32* Floats(const CQuaternion& q) { return &q.x; }

bool Close(const f32* a, const f32* b, u32 n)
{
    for (u32 i = 0; i < n; ++i) {
        if (!(std::fabs(a[i] - b[i]) < kSameKey)) return false;
    }
    return true;
}

// Appends the retained keys of values (n floats each) to track.
template <class T>
bool AppendKeys(CKeyFrameList<T>* track, const std::vector<f32>& times, const std::vector<T>& values)
{
    constexpr u32 n = sizeof(T) / sizeof(f32);
    if (!track) return false;
    const std::vector<u32> kept = RetainedKeys(u32(times.size()), [&values](u32 a, u32 b) {
        return Close(Floats(values[a]), Floats(values[b]), n);
    });
    const u32 old = track->GetCount();
    if (!track->Resize(old + u32(kept.size()))) return false;
    for (u32 i = 0; i < kept.size(); ++i) {
        CKeyFrame<T>& key = track->GetData()[old + i];
        key.time = times[kept[i]];
        key.ease = 0.0f;
        key.value = values[kept[i]];
    }
    return true;
}

// A key matrix as scaling, rotation and position: M = S x R x T with row
// vectors. A mirroring matrix keeps its mirror in the x scaling.
void Decompose(const f32* values, CVector3* scaling, CQuaternion* rotation, CVector3* position)
{
    CMatrix m(values);
    *scaling = m.ScalingPart();
    if (m.Determinant() < 0.0f) {
        scaling->x = -scaling->x;
        for (int c = 0; c < 3; ++c) m.m[0][c] = -m.m[0][c];
    }
    m.RotationPart().ToQuaternion(rotation);
    m.GetTranslation(position);
}

bool AddKeyGroup(CModelBoneAnimation& keys, const XAnimationKey& key, f64 scale)
{
    const u32 count = key.GetCount();
    if (count == 0) return true;
    std::vector<f32> times(count);
    for (u32 i = 0; i < count; ++i) times[i] = f32(f64(key.Times[i]) * scale);
    std::vector<CVector3> vectors(count);
    if (key.KeyType == kXKeyRotation) {
        std::vector<CQuaternion> rotations(count);
        for (u32 i = 0; i < count; ++i) {
            const f32* v = key.GetValues(i);
            rotations[i] = CQuaternion(v[1], v[2], v[3], v[0]);
        }
        return AppendKeys(keys.MakeRotation(), times, rotations);
    }
    if (key.KeyType == kXKeyScaling || key.KeyType == kXKeyPosition) {
        for (u32 i = 0; i < count; ++i) vectors[i] = CVector3(key.GetValues(i));
        return AppendKeys(key.KeyType == kXKeyScaling ? keys.MakeScaling() : keys.MakePosition(), times, vectors);
    }
    std::vector<CQuaternion> rotations(count);
    std::vector<CVector3> positions(count);
    for (u32 i = 0; i < count; ++i) Decompose(key.GetValues(i), &vectors[i], &rotations[i], &positions[i]);
    return AppendKeys(keys.MakeScaling(), times, vectors) && AppendKeys(keys.MakeRotation(), times, rotations) &&
           AppendKeys(keys.MakePosition(), times, positions);
}

bool AddAnimations(CMesh& out, const CqelXModel& tree, f64 scale)
{
    std::unordered_map<std::string, CModelBone*> bones;
    for (u32 i = out.GetBoneCount(); i-- > 0;) {
        CModelBone* bone = out.GetBone(i);
        if (bone && bone->GetName()) bones[bone->GetName()] = bone;   // the first of a name wins
    }
    const std::vector<const CqelXNode*> sets = tree.CollectNodes(kXAnimationSet);
    for (u32 k = 0; k < sets.size(); ++k) {
        const CqelXNode& node = *sets[k];
        const XAnimationSet& set = *node.As<XAnimationSet>();
        Owned<CModelAnimation> animation(new CModelAnimation());
        if (!animation.p) return false;
        animation.p->SetName(node.HasName() ? node.Name.c_str() : Numbered("Animation_", k).c_str());
        const f64 length = std::round(f64(set.MaxTime) * scale);
        animation.p->Length = length >= f64(UINT32_MAX) ? UINT32_MAX : u32(length);
        for (const CqelXNode* animationNode : set.Animations) {
            const XAnimation& x = *animationNode->As<XAnimation>();
            if (!x.Frame || !x.Frame->HasName()) continue;
            const auto bone = bones.find(x.Frame->Name);
            if (bone == bones.end()) continue;
            Owned<CModelBoneAnimation> keys(new CModelBoneAnimation());
            if (!keys.p) return false;
            keys.p->Bone = bone->second;
            keys.p->BoneName = ModelCopyText(x.Frame->Name.c_str());
            for (const CqelXNode* keyNode : x.Keys) {
                if (!AddKeyGroup(*keys.p, *keyNode->As<XAnimationKey>(), scale)) return false;
            }
            void* slot = keys.p;
            if (!keys.p->BoneName || !animation.p->Tracks.Add(&slot)) return false;
            keys.Release();
        }
        if (!Hand(out.GetAnimations(), animation)) return false;
    }
    return true;
}

}  // namespace

// --------------------------------------------------------------- converter

f64 CqelXFileConverter::GetTickScale(const CqelXModel& tree)
{
    const std::vector<const CqelXNode*> ticks = tree.CollectNodes(kXAnimTicksPerSecond);
    if (ticks.empty()) return 1.0;
    const f32 perSecond = ticks.front()->As<XAnimTicksPerSecond>()->TicksPerSecond;
    return perSecond > 0.0f ? kTicksPerSecond / f64(perSecond) : 1.0;
}

i32 CqelXFileConverter::BuildMesh(const CqelXModel& tree, CMesh* out)
{
    if (!out) return 0;
    const std::vector<const CqelXNode*> meshes = tree.CollectNodes(kXMesh);
    if (meshes.empty()) return Fail(0, "the file holds no Mesh");
    // Bone influences name their mesh in 16 bits.
    if (meshes.size() > 0x10000) return Fail(0, "%u meshes; a model holds at most 65536", u32(meshes.size()));
    CMesh mesh;
    if (!mesh.GetModelObjects() || !mesh.GetBones() || !mesh.GetAnimations()) return Fail(0, "out of memory");
    std::unordered_map<const CqelXNode*, u32> meshIndex;
    for (u32 i = 0; i < meshes.size(); ++i) {
        meshIndex[meshes[i]] = i;
        if (!AddObject(mesh, *meshes[i], i)) return Fail(0, "out of memory");
    }
    if (!AddBones(mesh, tree, meshIndex) || !AddAnimations(mesh, tree, GetTickScale(tree))) {
        return Fail(0, "out of memory");
    }
    out->SwapContents(mesh);
    return 1;
}

i32 CqelXFileConverter::ConvertTree(const CqelXModel& tree, std::string* out)
{
    CMesh mesh;
    if (!BuildMesh(tree, &mesh)) return 0;
    *out = CWriteMesh::Build(mesh);
    return 1;
}

i32 CqelXFileConverter::ConvertMemory(const void* data, u32 size, std::string* out)
{
    if (!out) return 0;
    CqelXModel tree;
    return ParseMemory(&tree, data, size) && ConvertTree(tree, out) ? 1 : 0;
}

i32 CqelXFileConverter::Convert(const char* xPath, const char* modelPath)
{
    CqelXModel tree;
    std::string bytes;
    if (!Parse(&tree, xPath) || !ConvertTree(tree, &bytes)) return 0;
    if (!modelPath || !host::kernel::WriteFileAtomic(modelPath, bytes.data(), bytes.size())) {
        return Fail(0, "cannot write %s", modelPath ? modelPath : "(no path)");
    }
    return 1;
}
