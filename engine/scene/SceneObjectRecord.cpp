// The layer record of scene layout files (SceneFile.h): writing it, and
// reading it over a layer's contents.
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
    // Data that ends inside the record ends the reading: what was read
    // stays, the fields after it keep their values, and the reader is left
    // at the end, so that no later record reads on from the middle.
    const auto endsHere = [&in] {
        in.Skip(in.Remaining());
        return 1u;
    };
    u32 n = 0;
    if (!in.U32(n)) return endsHere();
    if (n) {
        if (!in.NameFits(n)) return 0;
        std::string name;
        const bool whole = in.Name(n, name);
        char* copy = AllocName(u32(name.size()));
        if (!copy) return 0;
        std::memcpy(copy, name.data(), name.size());
        if (!whole) return 1;
    } else {
        ClearName();
    }

    // A block of another size: what fits of it, the rest skipped.
    u32 settingsSize = 0;
    if (!in.U32(settingsSize)) return endsHere();
    u8 block[kSettingsSize];
    EncodeSettings(m_settings, block);
    const size_t taken = std::min({size_t(settingsSize), size_t(kSettingsSize), in.Remaining()});
    in.Take(block, taken);
    DecodeSettings(block, m_settings);
    if (!in.Skip(settingsSize - taken)) return endsHere();

    u32 textureLength = 0;
    if (!in.U32(textureLength)) return endsHere();
    m_texture = nullptr;
    m_textureName.Free();
    if (textureLength) {
        if (!in.NameFits(size_t(textureLength) + 1)) return 0;
        std::string text;
        const bool whole = in.Name(size_t(textureLength) + 1, text);
        m_textureName = text.c_str();
        if (!whole) return 1;
    }

    if (!ReadTrack(in, m_positionTrack) || !ReadTrack(in, m_rotationTrack) || !ReadTrack(in, m_scalingTrack) ||
        !ReadTrack(in, m_colourTrack) || !ReadTrack(in, m_rectTrack))
        return endsHere();

    u32 count = 0;
    if (!in.U32(count)) return endsHere();
    DeleteChildren();
    if (!count) return 1;
    // Nesting past the limit is not followed: the reading ends there.
    if (depth >= scene_file::kMaxLayerDepth) return endsHere();
    // Every record but the last one read holds at least kMinLayerRecord
    // bytes: a count past the data yields the children present, and the
    // layers the whole layout makes stay within what its bytes hold.
    const u32 slots = u32(std::min<u64>({count, in.Remaining() / scene_file::kMinLayerRecord + 1, in.LayersLeft()}));
    if (!slots) return endsHere();
    auto* children = new CResourceList(slots);
    if (!children || children->GetCount() != slots) {
        delete children;
        return endsHere();
    }
    m_children = children;
    u32 read = 0;
    for (; read < slots && in.Remaining() && in.TakeLayer(); ++read) {
        // In its slot before it is read, so the list frees it either way.
        auto* child = new CSceneObject(children);
        if (!child) break;
        children->SetAt(static_cast<CValueBase*>(child), read);
        // A child whose read fails is kept; the next one reads on from
        // where it stopped.
        child->ReadRecord(in, depth + 1);
    }
    if (read < slots) {
        if (read) children->Resize(read);
        else DeleteChildren();
        return endsHere();
    }
    return 1;
}

u32 CSceneObject::LoadFromBytes(const u8* data, size_t size, size_t* used)
{
    scene_file::Reader in(data, size);
    const u32 read = ReadRecord(in, 0);
    *used = in.Used();
    return read;
}

u32 CSceneObject::LoadFromMemory(CMemStream* stream)
{
    if (!stream) return 0;
    const u32 at = stream->GetPosition();
    size_t used = 0;
    const u32 read = LoadFromBytes(stream->GetData() + at, stream->GetSize() - at, &used);
    stream->Seek(i64(at + used), 0);
    return read;
}

u32 CSceneObject::LoadFromFile(host::kernel::File* file)
{
    if (!file) return 0;
    const int64_t at = file->Tell(), size = file->Size();
    if (at < 0 || size < at) return 0;
    std::string rest(size_t(size - at), '\0');
    rest.resize(file->Read(rest.data(), rest.size()));
    size_t used = 0;
    const u32 read = LoadFromBytes(reinterpret_cast<const u8*>(rest.data()), rest.size(), &used);
    file->Seek(at + int64_t(used), host::kernel::SeekOrigin::Begin);
    return read;
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
