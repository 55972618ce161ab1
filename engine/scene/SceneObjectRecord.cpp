// The layer record of scene layout files (SceneFile.h): writing it, and
// reading it into a fresh layer that replaces the old contents only when the
// whole record has checked out.
#include "engine/scene/SceneFile.h"
#include "engine/scene/SceneObject.h"

#include "engine/core/Endian.h"
#include "engine/core/MemStream.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using scene_file::kSettingsSize;

void PutF32(u8* at, f32 v)
{
    u32 word;
    std::memcpy(&word, &v, 4);
    PutLe32(at, word);
}

f32 GetF32(const u8* at)
{
    const u32 word = GetLe32(at);
    f32 v;
    std::memcpy(&v, &word, 4);
    return v;
}

// The 14 floats of a layer state, in their stored order.
void StateFloats(CLayerState& s, f32* (&out)[14])
{
    f32* fields[14] = {&s.position.x, &s.position.y, &s.position.z, &s.scaleX, &s.scaleY, &s.rotation,
        &s.colour.x, &s.colour.y, &s.colour.z, &s.colour.w, &s.rect.left, &s.rect.top, &s.rect.right,
        &s.rect.bottom};
    std::copy(fields, fields + 14, out);
}

void EncodeSettings(const LayerSettings& settings, u8 (&block)[kSettingsSize])
{
    LayerSettings s = settings;
    f32* floats[14];
    StateFloats(s.offset, floats);
    for (int i = 0; i < 14; ++i) PutF32(block + 4 * i, *floats[i]);
    PutLe32(block + 56, s.visible);
    PutLe32(block + 60, s.group);
    block[64] = s.orientation;
    block[65] = s.pivot;
    block[66] = s.reserved;
    block[67] = s.anchor;
    PutLe32(block + 68, s.evaluationMode);
    PutF32(block + 72, s.time);
}

void DecodeSettings(const u8 (&block)[kSettingsSize], LayerSettings& s)
{
    f32* floats[14];
    StateFloats(s.offset, floats);
    for (int i = 0; i < 14; ++i) *floats[i] = GetF32(block + 4 * i);
    s.visible = GetLe32(block + 56);
    s.group = GetLe32(block + 60);
    s.orientation = block[64];
    s.pivot = block[65];
    s.reserved = block[66];
    s.anchor = block[67];
    s.evaluationMode = GetLe32(block + 68);
    s.time = GetF32(block + 72);
}

// One key-frame block at the reader's position.
template <class Track>
bool ReadTrack(scene_file::Reader& in, Track& track)
{
    const u32 size = u32(std::min<size_t>(in.Remaining(), UINT32_MAX));
    u32 used = 0;
    return track.ReadFromMemory(in.Here(), size, &used) && in.Skip(used);
}

}  // namespace

u32 CSceneObject::ReadRecord(scene_file::Reader& in, u32 depth)
{
    ForgetPlacement();
    if (depth > scene_file::kMaxLayerDepth) return 0;
    u32 n = 0;
    if (!in.U32(n)) return 0;
    if (n) {
        const u8* name = nullptr;
        if (!in.Name(n, &name)) return 0;
        char* copy = AllocName(n);
        if (!copy) return 0;
        std::memcpy(copy, name, n);
    } else {
        ClearName();
    }

    // A block of another size: what fits of it, the rest skipped.
    u32 settingsSize = 0;
    if (!in.U32(settingsSize) || settingsSize > in.Remaining()) return 0;
    u8 block[kSettingsSize];
    EncodeSettings(m_settings, block);
    const u32 taken = std::min(settingsSize, kSettingsSize);
    if (!in.Take(block, taken) || !in.Skip(settingsSize - taken)) return 0;
    DecodeSettings(block, m_settings);

    u32 textureLength = 0;
    if (!in.U32(textureLength)) return 0;
    if (textureLength) {
        const u8* text = nullptr;
        if (textureLength == UINT32_MAX || !in.Name(textureLength + 1, &text)) return 0;
        m_textureName = reinterpret_cast<const char*>(text);
        if (text[0] && !m_textureName.GetText()) return 0;
    }

    if (!ReadTrack(in, m_positionTrack) || !ReadTrack(in, m_rotationTrack) || !ReadTrack(in, m_scalingTrack) ||
        !ReadTrack(in, m_colourTrack) || !ReadTrack(in, m_rectTrack))
        return 0;

    u32 count = 0;
    if (!in.U32(count) || !in.Fits(count, scene_file::kMinLayerRecord)) return 0;
    if (count && depth + 1 > scene_file::kMaxLayerDepth) return 0;
    // A layer without children gets its list when it is asked for.
    CResourceList* children = count ? new CResourceList(count) : nullptr;
    if (count && (!children || children->GetCount() != count)) {
        delete children;
        return 0;
    }
    DeleteChildren();
    m_children = children;
    for (u32 i = 0; i < count; ++i) {
        // In its slot before it is read, so the list frees it either way.
        auto* child = new CSceneObject(children);
        if (!child) return 0;
        children->SetAt(static_cast<CValueBase*>(child), i);
        if (!child->ReadRecord(in, depth + 1)) return 0;
    }
    return 1;
}

u32 CSceneObject::TakeRecord(CSceneObject& from)
{
    if (const char* name = from.GetName()) {
        char* copy = AllocName(from.GetNameLength());
        if (!copy) return 0;
        std::memcpy(copy, name, from.GetNameLength());
    } else {
        ClearName();
    }
    ForgetPlacement();
    m_settings = from.m_settings;
    m_textureName = from.m_textureName;
    m_texture = nullptr;
    m_positionTrack = from.m_positionTrack;
    m_rotationTrack = from.m_rotationTrack;
    m_scalingTrack = from.m_scalingTrack;
    m_colourTrack = from.m_colourTrack;
    m_rectTrack = from.m_rectTrack;
    KeepUnnamedTracks(from);
    DeleteChildren();
    m_children = from.m_children;
    from.m_children = nullptr;
    for (u32 i = 0; i < GetChildCount(); ++i) {
        if (CSceneObject* child = GetChild(i)) {
            child->SetOwnerList(m_children);
            child->m_walkParent = nullptr;
        }
    }
    return 1;
}

u32 CSceneObject::LoadFromBytes(const u8* data, size_t size, size_t* used)
{
    scene_file::Reader in(data, size);
    CSceneObject fresh(m_owner);
    if (!fresh.ReadRecord(in, 0) || !TakeRecord(fresh)) return 0;
    *used = in.Used();
    return 1;
}

u32 CSceneObject::LoadFromMemory(CMemStream* stream)
{
    if (!stream) return 0;
    const u32 at = stream->GetPosition();
    size_t used = 0;
    if (!LoadFromBytes(stream->GetData() + at, stream->GetSize() - at, &used)) return 0;
    stream->Seek(i64(at + used), 0);
    return 1;
}

u32 CSceneObject::LoadFromFile(host::kernel::File* file)
{
    if (!file) return 0;
    const int64_t at = file->Tell(), size = file->Size();
    if (at < 0 || size < at) return 0;
    std::string rest(size_t(size - at), '\0');
    const bool whole = file->Read(rest.data(), rest.size()) == rest.size();
    size_t used = 0;
    if (!whole || !LoadFromBytes(reinterpret_cast<const u8*>(rest.data()), rest.size(), &used)) {
        file->Seek(at, host::kernel::SeekOrigin::Begin);
        return 0;
    }
    file->Seek(at + int64_t(used), host::kernel::SeekOrigin::Begin);
    return 1;
}

bool CSceneObject::WriteRecord(host::kernel::File& file) const
{
    const char* name = GetName();
    if (!scene_file::WriteName(file, name, name ? GetNameLength() : 0)) return false;
    u8 block[kSettingsSize];
    EncodeSettings(m_settings, block);
    if (!scene_file::WriteU32(file, kSettingsSize) || file.Write(block, kSettingsSize) != kSettingsSize) return false;
    const u32 textureLength = m_textureName.GetLength();
    if (!scene_file::WriteU32(file, textureLength)) return false;
    if (textureLength && file.Write(m_textureName.GetText(), textureLength + 1) != textureLength + 1) return false;
    if (!m_positionTrack.WriteToFile(&file) || !m_rotationTrack.WriteToFile(&file) ||
        !m_scalingTrack.WriteToFile(&file) || !m_colourTrack.WriteToFile(&file) || !m_rectTrack.WriteToFile(&file))
        return false;
    u32 count = 0;
    for (u32 i = 0; i < GetChildCount(); ++i) count += GetChild(i) ? 1 : 0;
    if (!scene_file::WriteU32(file, count)) return false;
    for (u32 i = 0; i < GetChildCount(); ++i) {
        const CSceneObject* child = GetChild(i);
        if (child && !child->WriteRecord(file)) return false;
    }
    return true;
}

u32 CSceneObject::Save(host::kernel::File* file) const { return file && WriteRecord(*file) ? 1 : 0; }
