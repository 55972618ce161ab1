#include "engine/model/AnalysMesh.h"

#include "engine/core/Endian.h"
#include "engine/core/Memory.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/ModelFile.h"
#include "engine/model/ModelObject.h"
#include "engine/model/Owned.h"
#include "engine/model/WriteMesh.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Least bytes one record of each kind takes on file, to bound counts
// before anything is allocated for them.
constexpr u64 kMinMaterialEntry = 4;                           // an entry may be its end marker alone
constexpr u64 kMinGridCell = 24 + 1 + 8 + 8 + 4;               // box, name, frame, counts, marker
constexpr u64 kInfluenceBytes = 10;

// Little-endian floats from bytes already checked to be there.
inline void TakeFloats(const u8*& p, f32* out, u32 n)
{
    for (u32 i = 0; i < n; ++i, p += 4) {
        const u32 bits = GetLe32(p);
        std::memcpy(out + i, &bits, 4);
    }
}

// Frees an owned text when it goes out of scope.
struct Text {
    char* p = nullptr;
    Text() = default;
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    ~Text() { AlignedFree(p); }
    // Hands the text over to a new owner.
    char* Take()
    {
        char* t = p;
        p = nullptr;
        return t;
    }
};

}  // namespace

// ------------------------------------------------------------ primitives

bool CAnalysMesh::Fits(u64 count, u64 bytes, u64 extra) const
{
    if (bytes != 0 && count > (u64(UINT32_MAX) + 1) / bytes) return false;
    return count * bytes + extra <= GetRemaining();
}

bool CAnalysMesh::ReadText(char** out)
{
    *out = ReadString();
    return !HasError();
}

bool CAnalysMesh::ReadVector3(f32* out) { return ReadFloat3(out) && !HasError(); }

bool CAnalysMesh::ReadFrame(u32* type, u32* size)
{
    *type = ReadUInt32();
    if (HasError()) return false;
    if (*type == kModelEndMarker) return true;
    *size = ReadUInt32();
    return !HasError();
}

bool CAnalysMesh::ReadEndMarker() { return ReadUInt32() == kModelEndMarker && !HasError(); }

bool CAnalysMesh::SkipBlock(u32 size) { return Fits(size, 1, 4) && Skip(size) && ReadEndMarker(); }

template <class ReadBlock>
bool CAnalysMesh::ReadBlocks(ReadBlock read)
{
    // The data may end where the marker would be: that ends the blocks too.
    while (GetRemaining() > 0) {
        u32 tag = 0, size = 0;
        if (!ReadFrame(&tag, &size)) return false;
        if (tag == kModelEndMarker) return true;
        if (!read(tag, size)) return false;
    }
    return true;
}

i32 CAnalysMesh::CheckMagic() const
{
    return GetDataSize() >= kModelMagicSize && std::memcmp(GetData(), kModelMagic, kModelMagicSize) == 0 ? 1 : 0;
}

// ------------------------------------------------------------ the file

i32 CAnalysMesh::ReadModel(CMesh* mesh, const char*, CResourceList* textures, CResourceList* shaders,
    CqelPackFile* pack)
{
    if (!mesh) return 0;
    m_textures = textures;
    m_shaders = shaders;
    m_pack = pack;
    CMesh scratch;
    if (!ReadChunks(&scratch)) return 0;
    for (u32 i = 0; i < scratch.GetModelObjectCount(); ++i) {
        CModelObject* object = scratch.GetModelObject(i);
        if (!object || !object->Finalize()) return 0;
    }
    mesh->SwapContents(scratch);
    return 1;
}

i32 CAnalysMesh::ReadChunks(CMesh* mesh)
{
    if (!mesh || !CheckMagic()) return 0;
    // A second reading of the same data starts afresh.
    m_error = false;
    SetCursor(kModelMagicSize);
    m_boneIndex = CModelBoneIndex();
    m_vertexBudget = std::max<u64>(GetDataSize(), kModelVertexFloor);
    m_emptyRecords = false;
    CMesh scratch;
    if (!scratch.GetModelObjects() || !scratch.GetBones() || !scratch.GetBoneGroups() || !scratch.GetAnimations()) {
        return 0;
    }
    while (GetRemaining() > 0) {
        u32 type = 0, size = 0;
        if (!ReadFrame(&type, &size)) return 0;
        if (type == kModelEndMarker) break;
        bool ok;
        switch (type) {
        // Known chunks are read by their layout; only an unknown one is
        // skipped by its size.
        case kChunkModelObject: ok = ReadModelObject(scratch); break;
        case kChunkBone: ok = ReadBone(scratch); break;
        case kChunkBoneGroup: ok = ReadBoneGroup(scratch); break;
        case kChunkAnimation: ok = ReadAnimation(scratch); break;
        default: ok = SkipBlock(size); break;
        }
        if (!ok) return 0;
    }
    ApplyInfluences(scratch);
    if (m_emptyRecords && !VerticesFitTheirFile(scratch)) return 0;
    mesh->SwapContents(scratch);
    return 1;
}

void CAnalysMesh::ApplyInfluences(CMesh& mesh)
{
    for (u32 b = 1; b < mesh.GetBoneCount(); ++b) {
        const CModelBone* bone = mesh.GetBone(b);
        if (!bone) continue;
        const CList<CBoneInfluence>& influences = bone->Influences;
        for (u32 i = 0; i < influences.GetCount(); ++i) {
            const CBoneInfluence& influence = influences.GetData()[i];
            CModelObject* object = mesh.GetModelObject(influence.objectIndex);
            CModelVertexList* vertices = object ? object->GetVertexList() : nullptr;
            if (!vertices) continue;
            if (!(vertices->FormatFlags & kVertexSkin)) {
                vertices->FormatFlags |= kVertexSkin;
                vertices->Stride += kVertexSkinBytes;
            }
            CModelVertex* vertex = vertices->GetAt(influence.vertexIndex);
            // Four slots, and bone numbers the packed byte can carry; what
            // does not fit moves nothing.
            if (!vertex || vertex->InfluenceCount >= kMaxVertexInfluences || b > 0xFF) continue;
            vertex->BoneIndex[vertex->InfluenceCount] = u8(b);
            vertex->Weight[vertex->InfluenceCount] = influence.weight;
            ++vertex->InfluenceCount;
        }
    }
}

bool CAnalysMesh::VerticesFitTheirFile(const CMesh& mesh)
{
    u64 vertices = 0;
    for (u32 i = 0; i < mesh.GetModelObjectCount(); ++i) {
        const CModelObject* object = mesh.GetModelObject(i);
        if (!object) continue;
        if (const CModelVertexList* list = object->GetVertexList()) vertices += list->GetCount();
        const CResourceList* lows = object->GetLowModels();
        for (u32 l = 0; lows && l < lows->GetCount(); ++l) {
            const auto* low = ListElement<CLowModelObject>(lows, l);
            if (low && low->GetVertexList()) vertices += low->GetVertexList()->GetCount();
        }
    }
    return vertices <= std::max<u64>(CWriteMesh::Build(mesh).size(), kModelVertexFloor);
}

// ----------------------------------------------------------- model object

bool CAnalysMesh::ReadModelObject(CMesh& mesh)
{
    Owned<CModelObject> object(new CModelObject());
    if (!object.p || !object.p->GetVertexList() || !object.p->GetIndexList() || !object.p->GetMaterialList() ||
        !object.p->GetCollisionGrid() || !object.p->GetLowModels()) {
        return false;
    }
    Text name;
    if (!ReadText(&name.p)) return false;
    if (name.p) object.p->SetName(name.p);
    const bool read = ReadBlocks([this, &object](u32 tag, u32 blockSize) {
        switch (tag) {
        case kBlockVertices: return ReadVertices(*object.p->GetVertexList());
        case kBlockIndices: return ReadIndexList(object.p->GetIndexList()) != 0;
        case kBlockMaterialList: return ReadMaterials(*object.p);
        case kBlockCollisionGrid: return ReadGrid(*object.p);
        case kBlockLowModel: return ReadLowModel(*object.p);
        default: return SkipBlock(blockSize);
        }
    });
    // The marker that ended the blocks, or the end of the data, ends the
    // object.
    return read && Hand(mesh.GetModelObjects(), object);
}

bool CAnalysMesh::ReadVertices(CModelVertexList& list)
{
    const u32 count = ReadUInt32();
    const u32 format = ReadUInt32();
    const u32 recordBytes = ModelFileVertexBytes(format);
    // Records with fields must be in the data; every vertex, with fields
    // or without, comes out of the whole file's budget.
    if (HasError() || count > m_vertexBudget || (recordBytes != 0 && !Fits(count, recordBytes))) return false;
    m_vertexBudget -= count;
    if (recordBytes == 0 && count != 0) m_emptyRecords = true;
    // A list that already has its count is refilled in place; a new one
    // starts with every vertex as a fresh CModelVertex.
    const bool refill = list.GetCount() == count;
    if (!refill && !list.Resize(count)) return false;
    list.FormatFlags = format;
    list.Stride = CModelVertexFormat::GetStride(format) + ((format & kVertexSkin) ? kVertexSkinBytes : 0);
    // The records were checked to fit: decode them in place, each field a
    // run of floats copied whole (the file's order is the vertex's).
    static const CModelVertex kBlank;
    const u8* p = GetData() + GetCursor();
    CModelVertex* vertices = list.GetData();
    auto take = [&p](f32* out, u32 n) {
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(out, p, 4 * size_t(n));
            p += 4 * size_t(n);
        } else {
            TakeFloats(p, out, n);
        }
    };
    for (u32 i = 0; i < count; ++i) {
        CModelVertex& v = vertices[i];
        if (refill) v = kBlank;
        if (format & kVertexPosition) take(&v.Position.x, 3);
        if (format & kVertexNormal) {
            take(&v.Normal.x, 3);
        } else {
            v.Position.GetNormalized(&v.Normal);
        }
        if (format & kVertexTexCoord0) take(v.TexCoord0, 2);
        if (format & kVertexTexCoord1) take(v.TexCoord1, 2);
        if (format & kVertexTexCoord2) take(v.TexCoord2, 2);
        if (format & kVertexTexCoord3) take(v.TexCoord3, 2);
        if (format & kVertexColor) {
            take(&v.Color.x, 4);
        } else {
            v.Color = CVector4(1.0f, 1.0f, 1.0f, 1.0f);
        }
        if (format & kVertexTangent) take(&v.Tangent.x, 3);
        if (format & kVertexBinormal) take(&v.Binormal.x, 3);
    }
    Skip(count * recordBytes);
    return !HasError() && ReadEndMarker();
}

i32 CAnalysMesh::ReadIndexList(CModelIndexList* list)
{
    if (!list) return 0;
    const u32 count = ReadUInt32();
    if (HasError() || !Fits(count, 4, 4) || !list->Indices.Resize(count)) return 0;
    const u8* p = GetData() + GetCursor();
    u32* indices = list->Indices.GetData();
    if constexpr (std::endian::native == std::endian::little) {
        if (count) std::memcpy(indices, p, 4 * size_t(count));
    } else {
        for (u32 i = 0; i < count; ++i) indices[i] = GetLe32(p + 4 * size_t(i));
    }
    Skip(count * 4);
    const u32 ranges = ReadUInt32();
    if (HasError() || !Fits(ranges, 8, 4) || !list->Ranges.Resize(ranges)) return 0;
    CPoint2* pairs = list->Ranges.GetData();
    for (u32 r = 0; r < ranges; ++r) {
        pairs[r].first = ReadUInt32();
        pairs[r].second = ReadUInt32();
    }
    return !HasError() && ReadEndMarker() ? 1 : 0;
}

// -------------------------------------------------------------- materials

bool CAnalysMesh::ReadMaterials(CModelObject& object)
{
    const u32 count = ReadUInt32();
    if (HasError() || !Fits(count, kMinMaterialEntry, 4)) return false;
    CMaterialList* list = object.GetMaterialList();
    // The slots of an earlier list block go with their materials.
    list->Release();
    if (!list->Resize(count)) return false;
    for (u32 i = 0; i < count; ++i) {
        CModelMaterial* material = new CModelMaterial();
        if (!material) return false;
        list->GetData()[i] = material;
        // The entry's fields and its texture and shader blocks share one
        // run of blocks; the marker that ends it ends the entry.
        const bool read = ReadBlocks([this, material](u32 tag, u32 blockSize) {
            switch (tag) {
            case kBlockMaterial: return ReadMaterialFields(*material);
            case kBlockTexture: return ReadTexture(*material);
            case kBlockShader: return ReadShader(*material);
            default: return SkipBlock(blockSize);
            }
        });
        if (!read) return false;
    }
    return ReadEndMarker();
}

bool CAnalysMesh::ReadMaterialFields(CModelMaterial& m)
{
    Text name;
    if (!ReadText(&name.p)) return false;
    ModelFreeText(m.Name);
    m.Name = name.Take();
    ReadFloat4A(&m.Diffuse.x);
    ReadFloat4A(&m.Ambient.x);
    ReadFloat4A(&m.Specular.x);
    ReadFloat4A(&m.Emissive.x);
    m.BlendMode = ReadUInt32();
    m.Values[0] = ReadUInt32();
    m.Values[1] = ReadUInt32();
    m.Power = ReadFloat();
    return !HasError();
}

bool CAnalysMesh::ReadTexture(CModelMaterial& material)
{
    Text name;
    if (!ReadText(&name.p) || !ReadEndMarker()) return false;
    if (!material.Textures) {
        material.Textures = new CResourceList();
        if (!material.Textures) return false;
    }
    if (m_textures) {
        CResourceBase* cached = m_textures->FindByFileName(name.p);
        if (!cached) {
            Owned<CResourceBase> texture(CreateModelTexture(name.p, m_pack));
            if (!texture.p) return false;
            cached = texture.p;
            if (!Hand(m_textures, texture)) return false;
        }
        return material.AddTexture(cached) != 0;
    }
    Owned<CResourceBase> texture(CreateModelTexture(name.p, m_pack));
    if (!texture.p || !Hand(material.Textures, texture)) return false;
    const u32 count = material.Textures->GetCount();
    if (!material.SavedTextures) material.SavedTextures = new CResourceList(0, 0);
    return material.SavedTextures && material.SavedTextures->Resize(count);
}

bool CAnalysMesh::ReadShader(CModelMaterial& material)
{
    Text file, technique;
    if (!ReadText(&file.p) || !ReadText(&technique.p) || !ReadEndMarker()) return false;
    auto make = [&file]() {
        CShader* shader = new CShader();
        if (shader && !shader->CreateFromFile(file.p, 0)) shader->SetName(file.p);
        return shader;
    };
    CShader* shader = nullptr;
    if (m_shaders) {
        auto* cached = static_cast<CShader*>(m_shaders->FindByFileName(file.p));
        if (!cached) {
            Owned<CShader> made(make());
            if (!made.p) return false;
            cached = made.p;
            if (!Hand(m_shaders, made)) return false;
        }
        shader = new CShader(*cached);
    } else {
        shader = make();
    }
    if (!shader) return false;
    delete material.Shader;
    material.Shader = shader;
    ModelFreeText(material.ShaderName);
    material.ShaderName = technique.Take();
    material.Technique = shader->GetTechniqueByName(material.ShaderName);
    return true;
}

// ---------------------------------------------------- grid and low models

bool CAnalysMesh::ReadGrid(CModelObject& object)
{
    CModelCollisionGrid& grid = *object.GetCollisionGrid();
    CVector3 center, halfSize, perUnit, cellSize;
    ReadFloat3(&center.x);
    ReadFloat3(&halfSize.x);
    ReadFloat3(&perUnit.x);
    ReadFloat3(&cellSize.x);
    const u16 countX = u16(ReadInt16()), countY = u16(ReadInt16()), countZ = u16(ReadInt16());
    const u64 cells = u64(countX) * countY * countZ;
    if (HasError() || !Fits(cells, kMinGridCell, 4)) return false;
    auto* list = new CResourceList();
    if (!list || !list->Resize(u32(cells))) {
        delete list;
        return false;
    }
    grid.ReleaseCells();
    grid.Cells = list;
    grid.Center = center;
    grid.HalfSize = halfSize;
    grid.CellsPerUnit = perUnit;
    grid.CellSize = cellSize;
    grid.CountX = countX;
    grid.CountY = countY;
    grid.CountZ = countZ;
    for (u32 i = 0; i < u32(cells); ++i) {
        CBox box;
        ReadFloat3(&box.min.x);
        ReadFloat3(&box.max.x);
        Text name;
        if (HasError() || !ReadText(&name.p)) return false;
        auto* block =
            new CModelBlock(box, object.GetVertexList(), object.GetIndexList(), object.GetMaterialList());
        if (!block) return false;
        list->GetData()[i] = static_cast<CValueBase*>(block);
        if (name.p) block->SetName(name.p);
        u32 tag = 0, blockSize = 0;
        if (!ReadFrame(&tag, &blockSize) || tag != kBlockIndices) return false;
        if (!ReadIndexList(block->GetIndexList())) return false;
    }
    return ReadEndMarker();
}

bool CAnalysMesh::ReadLowModel(CModelObject& object)
{
    Owned<CLowModelObject> low(new CLowModelObject());
    if (!low.p || !low.p->GetVertexList() || !low.p->GetIndexList()) return false;
    Text name;
    if (!ReadText(&name.p)) return false;
    if (name.p) low.p->SetName(name.p);
    low.p->SetValue(ReadFloat());
    if (HasError()) return false;
    const bool read = ReadBlocks([this, &low](u32 tag, u32 blockSize) {
        switch (tag) {
        case kBlockVertices: return ReadVertices(*low.p->GetVertexList());
        case kBlockIndices: return ReadIndexList(low.p->GetIndexList()) != 0;
        default: return SkipBlock(blockSize);
        }
    });
    return read && Hand(object.GetLowModels(), low);
}

// ----------------------------------------------------------------- bones

bool CAnalysMesh::ReadBone(CMesh& mesh)
{
    CResourceList* bones = mesh.GetBones();
    Owned<CModelBone> bone(new CModelBone());
    if (!bone.p) return false;
    Text name, parentName;
    if (!ReadText(&name.p) || !ReadText(&parentName.p)) return false;
    if (name.p) bone.p->SetName(name.p);
    if (bones->GetCount() == 0) {
        Owned<CModelBone> root(new CModelBone());
        const CModelBone* added = root.p;
        if (!root.p || !root.p->SetName("root") || !Hand(bones, root)) return false;
        m_boneIndex.Add(added, 0);
    }
    // A parent not read yet is no parent: the name would link the bone in a
    // copy of the mesh while the mesh itself poses it as a root.
    if (auto* parent = m_boneIndex.FindBone(bones, parentName.p)) {
        bone.p->SetParent(parent);
        if (!parent->AddChild(bone.p)) return false;
    }
    ReadFloat16(&bone.p->Transform.m[0][0]);
    ReadFloat16(&bone.p->FrameMatrix.m[0][0]);
    bone.p->FrameMatrix.GetRotationPart(&bone.p->CombinedMatrix);
    const u32 count = ReadUInt32();
    if (HasError() || !Fits(count, kInfluenceBytes, 12) || !bone.p->Influences.Resize(count)) {
        // The parent must not keep a child that is about to go.
        if (bone.p->Parent) bone.p->Parent->Children.Resize(bone.p->Parent->Children.GetCount() - 1);
        return false;
    }
    // This bone's place in the list is its palette index. The influences
    // are put on their vertices once the whole file is read.
    const u32 boneIndex = bones->GetCount();
    for (u32 i = 0; i < count; ++i) {
        CBoneInfluence& influence = bone.p->Influences.GetData()[i];
        influence.objectIndex = u16(ReadInt16());
        influence.vertexIndex = ReadUInt32();
        influence.weight = ReadFloat();
    }
    for (u32& link : bone.p->LinkValues) link = ReadUInt32();
    bone.p->SetIndex(boneIndex);
    CModelBone* parent = bone.p->Parent;
    const CModelBone* added = bone.p;
    if (HasError() || !ReadEndMarker() || !Hand(bones, bone)) {
        if (parent) parent->Children.Resize(parent->Children.GetCount() - 1);
        return false;
    }
    m_boneIndex.Add(added, boneIndex);
    return true;
}

bool CAnalysMesh::ReadBoneGroup(CMesh& mesh)
{
    Owned<CPointerList> group(new CPointerList());
    if (!group.p) return false;
    Text name;
    if (!ReadText(&name.p)) return false;
    if (name.p) group.p->SetName(name.p);
    const u32 count = ReadUInt32();
    if (HasError() || !Fits(count, 1, 4) || !group.p->Resize(count)) return false;
    for (u32 i = 0; i < count; ++i) {
        Text boneName;
        if (!ReadText(&boneName.p)) return false;
        group.p->GetData()[i] = static_cast<CValueBase*>(m_boneIndex.FindBone(mesh.GetBones(), boneName.p));
    }
    return ReadEndMarker() && Hand(mesh.GetBoneGroups(), group);
}

// ------------------------------------------------------------- animations

bool CAnalysMesh::ReadAnimation(CMesh& mesh)
{
    Owned<CModelAnimation> animation(new CModelAnimation());
    if (!animation.p) return false;
    Text name;
    if (!ReadText(&name.p)) return false;
    if (name.p) animation.p->SetName(name.p);
    animation.p->Length = ReadUInt32();
    if (HasError()) return false;
    const bool read = ReadBlocks([this, &mesh, &animation](u32 tag, u32 blockSize) {
        return tag == kBlockBoneKeys ? ReadBoneKeys(mesh, *animation.p) : SkipBlock(blockSize);
    });
    return read && Hand(mesh.GetAnimations(), animation);
}

namespace {

// One kind of key of a key set: its groups gathered in order, then put in
// the track at once (one allocation for the track, however many groups).
template <class Value>
struct KeyRun {
    bool seen = false;
    std::vector<CKeyFrame<Value>> keys;

    bool Store(CKeyFrameList<Value>* track) const
    {
        return track && track->SetArray(keys.data(), u32(keys.size()));
    }
};

}  // namespace

bool CAnalysMesh::ReadBoneKeys(CMesh& mesh, CModelAnimation& animation)
{
    Owned<CModelBoneAnimation> keys(new CModelBoneAnimation());
    if (!keys.p) return false;
    if (!ReadText(&keys.p->BoneName)) return false;
    keys.p->Bone = m_boneIndex.FindBone(mesh.GetBones(), keys.p->BoneName);
    KeyRun<CQuaternion> rotation;
    KeyRun<CVector3> scaling, position;
    for (;;) {
        const u32 type = ReadUInt32();
        if (HasError()) return false;
        if (type == kModelEndMarker) break;
        const u32 count = ReadUInt32();
        if (HasError()) return false;
        if (type == kKeysRotation) {
            if (!Fits(count, 24)) return false;
            rotation.seen = true;
            for (u32 i = 0; i < count; ++i) {
                CKeyFrame<CQuaternion>& k = rotation.keys.emplace_back();
                k.time = ReadFloat();
                k.value.w = ReadFloat();
                k.value.x = ReadFloat();
                k.value.y = ReadFloat();
                k.value.z = ReadFloat();
                k.ease = ReadFloat();
            }
        } else if (type == kKeysScaling || type == kKeysPosition) {
            if (!Fits(count, 20)) return false;
            KeyRun<CVector3>& run = type == kKeysScaling ? scaling : position;
            run.seen = true;
            for (u32 i = 0; i < count; ++i) {
                CKeyFrame<CVector3>& k = run.keys.emplace_back();
                k.time = ReadFloat();
                ReadFloat3(&k.value.x);
                k.ease = ReadFloat();
            }
        } else {
            return false;
        }
        if (HasError()) return false;
    }
    // A group of no keys still makes its track.
    if (rotation.seen && !rotation.Store(keys.p->MakeRotation())) return false;
    if (scaling.seen && !scaling.Store(keys.p->MakeScaling())) return false;
    if (position.seen && !position.Store(keys.p->MakePosition())) return false;
    CResourceListOf<CModelBoneAnimation>& tracks = animation.Tracks;
    void* slot = keys.p;
    if (!tracks.Add(&slot)) return false;
    keys.Release();
    return true;
}
