#include "engine/model/WriteMesh.h"

#include "engine/core/Endian.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/ModelFile.h"
#include "engine/model/ModelObject.h"
#include "host/kernel/Kernel.h"

#include <cstdio>
#include <cstring>

u32 ModelFileVertexBytes(u32 format)
{
    u32 bytes = 0;
    if (format & kVertexPosition) bytes += 12;
    if (format & kVertexNormal) bytes += 12;
    if (format & kVertexTexCoord0) bytes += 8;
    if (format & kVertexTexCoord1) bytes += 8;
    if (format & kVertexTexCoord2) bytes += 8;
    if (format & kVertexTexCoord3) bytes += 8;
    if (format & kVertexColor) bytes += 16;
    if (format & kVertexTangent) bytes += 12;
    if (format & kVertexBinormal) bytes += 12;
    return bytes;
}

namespace {

// Appends fields to the file image. Frames are opened with their type and
// a size word that Close fills once the payload is known, so every size
// equals what was written.
class ModelFileOut {
public:
    explicit ModelFileOut(std::string& out) : out_(out) {}

    void U16(u16 v) { AppendLe16(out_, v); }
    void U32(u32 v) { AppendLe32(out_, v); }
    void F32(f32 v)
    {
        u32 bits;
        std::memcpy(&bits, &v, sizeof bits);
        U32(bits);
    }
    void Floats(const f32* v, u32 n)
    {
        for (u32 i = 0; i < n; ++i) F32(v[i]);
    }
    void Vector3(const CVector3& v) { Floats(&v.x, 3); }
    void Matrix(const CMatrix& m) { Floats(&m.m[0][0], 16); }
    void String(const char* text)
    {
        if (text) out_.append(text);
        out_.push_back('\0');
    }

    // Type and a size to fill; returns the size word's offset.
    size_t Open(u32 type)
    {
        U32(type);
        const size_t at = out_.size();
        U32(0);
        return at;
    }
    // Writes the end marker and fills the size: the payload's bytes, or
    // the whole record's (frame and marker included) for a material entry.
    void Close(size_t sizeAt, bool wholeRecord = false)
    {
        const size_t payload = out_.size() - (sizeAt + 4);
        U32(kModelEndMarker);
        PutLe32(&out_[sizeAt], u32(wholeRecord ? payload + 12 : payload));
    }

private:
    std::string& out_;
};

void WriteVertices(ModelFileOut& f, const CModelVertexList* list)
{
    const size_t at = f.Open(kBlockVertices);
    const u32 count = list ? list->GetCount() : 0;
    const u32 format = list ? list->FormatFlags : 0;
    f.U32(count);
    f.U32(format);
    for (u32 i = 0; i < count; ++i) {
        const CModelVertex& v = list->GetData()[i];
        if (format & kVertexPosition) f.Vector3(v.Position);
        if (format & kVertexNormal) f.Vector3(v.Normal);
        if (format & kVertexTexCoord0) f.Floats(v.TexCoord0, 2);
        if (format & kVertexTexCoord1) f.Floats(v.TexCoord1, 2);
        if (format & kVertexTexCoord2) f.Floats(v.TexCoord2, 2);
        if (format & kVertexTexCoord3) f.Floats(v.TexCoord3, 2);
        if (format & kVertexColor) f.Floats(&v.Color.x, 4);
        if (format & kVertexTangent) f.Vector3(v.Tangent);
        if (format & kVertexBinormal) f.Vector3(v.Binormal);
    }
    f.Close(at);
}

void WriteIndices(ModelFileOut& f, const CModelIndexList* list)
{
    const size_t at = f.Open(kBlockIndices);
    const u32 count = list ? list->Indices.GetCount() : 0;
    f.U32(count);
    for (u32 i = 0; i < count; ++i) f.U32(list->Indices.GetData()[i]);
    const u32 ranges = list ? list->Ranges.GetCount() : 0;
    f.U32(ranges);
    for (u32 r = 0; r < ranges; ++r) {
        f.U32(list->Ranges.GetData()[r].first);
        f.U32(list->Ranges.GetData()[r].second);
    }
    f.Close(at);
}

void WriteMaterial(ModelFileOut& f, const CModelMaterial* material, u32 index)
{
    const CModelMaterial defaults;
    const CModelMaterial& m = material ? *material : defaults;
    const size_t at = f.Open(kBlockMaterial);
    if (m.Name) {
        f.String(m.Name);
    } else {
        char name[32];
        std::snprintf(name, sizeof name, "Material_%u", index + 1);
        f.String(name);
    }
    f.Floats(&m.Diffuse.x, 4);
    f.Floats(&m.Ambient.x, 4);
    f.Floats(&m.Specular.x, 4);
    f.Floats(&m.Emissive.x, 4);
    f.U32(m.BlendMode);
    f.U32(m.Values[0]);
    f.U32(m.Values[1]);
    f.F32(m.Power);
    for (u32 t = 0; t < m.GetTextureCount(); ++t) {
        const CResourceBase* texture = m.GetTexture(t);
        const size_t textureAt = f.Open(kBlockTexture);
        f.String(texture ? texture->GetName() : nullptr);
        f.Close(textureAt);
    }
    if (m.Shader) {
        const size_t shaderAt = f.Open(kBlockShader);
        f.String(m.Shader->GetName());
        f.String(m.ShaderName);
        f.Close(shaderAt);
    }
    f.Close(at, true);
}

void WriteMaterials(ModelFileOut& f, const CMaterialList* list)
{
    const size_t at = f.Open(kBlockMaterialList);
    const u32 count = list ? list->GetCount() : 0;
    f.U32(count);
    for (u32 i = 0; i < count; ++i) {
        WriteMaterial(f, static_cast<const CModelMaterial*>(list->GetAt(i)), i);
    }
    f.Close(at);
}

void WriteGrid(ModelFileOut& f, const CModelCollisionGrid& grid)
{
    const size_t at = f.Open(kBlockCollisionGrid);
    f.Vector3(grid.Center);
    f.Vector3(grid.HalfSize);
    f.Vector3(grid.CellsPerUnit);
    f.Vector3(grid.CellSize);
    f.U16(grid.CountX);
    f.U16(grid.CountY);
    f.U16(grid.CountZ);
    // A reader expects exactly one record per cell: a cell missing from
    // the list is written empty.
    const u64 cells = u64(grid.CountX) * grid.CountY * grid.CountZ;
    const CModelBlock empty;
    for (u64 i = 0; i < cells; ++i) {
        const CModelBlock* block = grid.GetCellAt(u32(i));
        if (!block) block = &empty;
        f.Vector3(block->GetBox().min);
        f.Vector3(block->GetBox().max);
        f.String(block->GetName());
        WriteIndices(f, block->GetIndexList());
    }
    f.Close(at);
}

void WriteLowModel(ModelFileOut& f, const CLowModelObject& low)
{
    const size_t at = f.Open(kBlockLowModel);
    f.String(low.GetName());
    f.F32(low.GetValue());
    WriteVertices(f, low.GetVertexList());
    WriteIndices(f, low.GetIndexList());
    f.Close(at);
}

void WriteModelObject(ModelFileOut& f, const CModelObject& object)
{
    const size_t at = f.Open(kChunkModelObject);
    f.String(object.GetName());
    WriteVertices(f, object.GetVertexList());
    WriteIndices(f, object.GetIndexList());
    WriteMaterials(f, object.GetMaterialList());
    const CModelCollisionGrid* grid = object.GetCollisionGrid();
    if (grid && grid->Cells) WriteGrid(f, *grid);
    const CResourceList* lows = object.GetLowModels();
    for (u32 i = 0; lows && i < lows->GetCount(); ++i) {
        if (const auto* low = ListElement<CLowModelObject>(lows, i)) WriteLowModel(f, *low);
    }
    f.Close(at);
}

void WriteBone(ModelFileOut& f, const CModelBone& bone)
{
    const size_t at = f.Open(kChunkBone);
    f.String(bone.GetName());
    // A bone of no parent hangs off the root that every reader makes.
    const char* parent = bone.ParentName ? bone.ParentName : bone.Parent ? bone.Parent->GetName() : nullptr;
    f.String(parent ? parent : "root");
    f.Matrix(bone.Transform);
    f.Matrix(bone.FrameMatrix);
    const CList<CBoneInfluence>& influences = bone.Influences;
    f.U32(influences.GetCount());
    for (u32 i = 0; i < influences.GetCount(); ++i) {
        const CBoneInfluence& influence = influences.GetData()[i];
        f.U16(influence.objectIndex);
        f.U32(influence.vertexIndex);
        f.F32(influence.weight);
    }
    f.U32(bone.LinkValues[0]);
    f.U32(bone.LinkValues[1]);
    f.U32(bone.LinkValues[2]);
    f.Close(at);
}

void WriteBoneGroup(ModelFileOut& f, const CPointerList& group)
{
    const size_t at = f.Open(kChunkBoneGroup);
    f.String(group.GetName());
    f.U32(group.GetCount());
    for (u32 i = 0; i < group.GetCount(); ++i) {
        const auto* bone = static_cast<const CModelBone*>(static_cast<CValueBase*>(group.GetAt(i)));
        f.String(bone ? bone->GetName() : nullptr);
    }
    f.Close(at);
}

template <class Track, class Value>
void WriteKeyGroup(ModelFileOut& f, u32 type, const Track* track, Value value)
{
    if (!track || track->GetCount() == 0) return;
    f.U32(type);
    f.U32(track->GetCount());
    for (u32 i = 0; i < track->GetCount(); ++i) {
        const auto& key = track->GetData()[i];
        f.F32(key.time);
        value(key.value);
        f.F32(key.ease);
    }
}

void WriteBoneKeys(ModelFileOut& f, const CModelBoneAnimation& keys)
{
    const size_t at = f.Open(kBlockBoneKeys);
    f.String(keys.BoneName ? keys.BoneName : keys.Bone->GetName());
    WriteKeyGroup(f, kKeysRotation, keys.Rotation, [&f](const CQuaternion& q) {
        f.F32(q.w);
        f.F32(q.x);
        f.F32(q.y);
        f.F32(q.z);
    });
    WriteKeyGroup(f, kKeysScaling, keys.Scaling, [&f](const CVector3& v) { f.Vector3(v); });
    WriteKeyGroup(f, kKeysPosition, keys.Position, [&f](const CVector3& v) { f.Vector3(v); });
    f.Close(at);
}

void WriteAnimation(ModelFileOut& f, const CModelAnimation& animation)
{
    const size_t at = f.Open(kChunkAnimation);
    f.String(animation.GetName());
    f.U32(animation.Length);
    const CBoneAnimationList& tracks = animation.Tracks;
    for (u32 i = 0; i < tracks.GetCount(); ++i) {
        const auto* keys = static_cast<const CModelBoneAnimation*>(tracks.GetAt(i));
        if (keys && keys->Bone) WriteBoneKeys(f, *keys);
    }
    f.Close(at);
}

}  // namespace

std::string CWriteMesh::Build(const CMesh& mesh)
{
    std::string out(kModelMagic, kModelMagicSize);
    ModelFileOut f(out);
    for (u32 i = 0; i < mesh.GetModelObjectCount(); ++i) {
        if (const CModelObject* object = mesh.GetModelObject(i)) WriteModelObject(f, *object);
    }
    for (u32 i = 1; i < mesh.GetBoneCount(); ++i) {
        if (const CModelBone* bone = mesh.GetBone(i)) WriteBone(f, *bone);
    }
    const CResourceList* groups = mesh.GetBoneGroups();
    for (u32 i = 0; groups && i < groups->GetCount(); ++i) {
        if (const auto* group = ListElement<CPointerList>(groups, i)) WriteBoneGroup(f, *group);
    }
    const CResourceList* animations = mesh.GetAnimations();
    for (u32 i = 0; animations && i < animations->GetCount(); ++i) {
        if (const CModelAnimation* animation = mesh.GetAnimation(i)) WriteAnimation(f, *animation);
    }
    return out;
}

i32 CWriteMesh::Write(const CMesh* mesh, const char* path)
{
    if (!mesh || !path) return 0;
    const std::string bytes = Build(*mesh);
    return host::kernel::WriteFileAtomic(path, bytes.data(), bytes.size()) ? 1 : 0;
}
