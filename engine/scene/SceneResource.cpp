#include "engine/scene/SceneResource.h"

#include "engine/core/MemStream.h"
#include "engine/scene/SceneFile.h"
#include "engine/scene/SceneObject.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstring>
#include <string>

CSceneResource::CSceneResource() = default;

CSceneResource::CSceneResource(const CSceneResource& other)
    : CScene(other),
      m_state(other.m_state),
      m_fit(other.m_fit),
      m_keepAspect(other.m_keepAspect),
      m_layers(CloneLayerList(other.m_layers))
{
    KeepUnnamed(*this, other);
}

CSceneResource::~CSceneResource() { CSceneResource::Release(); }

i32 CSceneResource::Release()
{
    ReleaseLayers();
    return CScene::Release();
}

u32 CSceneResource::ReleaseLayers()
{
    delete m_layers;
    m_layers = nullptr;
    return 1;
}

CSceneObject* CSceneResource::GetLayer(u32 i) const { return LayerAt(m_layers, i); }

i32 CSceneResource::Initialize(intptr_t argument)
{
    if (!m_layers) return 0;
    i32 result = 1;
    for (u32 i = 0; i < GetLayerCount(); ++i) {
        if (CSceneObject* layer = GetLayer(i)) result = layer->Initialize(argument) && result;
    }
    // This class's own update, whatever a derived scene made of Update, with
    // the same argument.
    return CSceneResource::Update(u32(argument)) && result;
}

i32 CSceneResource::Update(u32 argument)
{
    if (!m_layers) return 0;
    i32 result = 1;
    for (u32 i = 0; i < GetLayerCount(); ++i) {
        CSceneObject* layer = GetLayer(i);
        if (!layer) continue;
        result = layer->UpdatePlaced(argument, m_state, &m_state, m_fit, m_keepAspect) && result;
    }
    return result;
}

u32 CSceneResource::OnMessage(u32, intptr_t) { return 1; }

i32 CSceneResource::Draw(u32) { return i32(DrawLayers(nullptr)); }

u32 CSceneResource::DrawLayers(const CLayerState* extra)
{
    if (!m_layers) return 0;
    u32 result = 1;
    for (u32 i = 0; i < GetLayerCount(); ++i) {
        if (CSceneObject* layer = GetLayer(i)) result = layer->Draw(extra) && result;
    }
    return result;
}

u32 CSceneResource::DrawLayerByName(const char* name, const CLayerState* extra)
{
    if (!m_layers || !name) return 0;
    auto* layer = static_cast<CSceneObject*>(m_layers->FindByName(name));
    return layer ? layer->Draw(extra) : 0;
}

u32 CSceneResource::DrawLayerByIndex(u32 index, const CLayerState* extra)
{
    CSceneObject* layer = GetLayer(index);
    return layer ? layer->Draw(extra) : 0;
}

CSceneObject* CSceneResource::FindLayer(const char* name) const
{
    if (!name || !m_layers) return nullptr;
    for (u32 i = 0; i < GetLayerCount(); ++i) {
        if (const CSceneObject* layer = GetLayer(i)) {
            if (CSceneObject* hit = layer->FindLayer(name)) return hit;
        }
    }
    return static_cast<CSceneObject*>(m_layers->FindByName(name));
}

void CSceneResource::SetScale(f32 x, f32 y)
{
    m_state.scaleX = x;
    m_state.scaleY = y;
}

void CSceneResource::SetTextureAll(CTexture* texture)
{
    for (u32 i = 0; i < GetLayerCount(); ++i) {
        if (CSceneObject* layer = GetLayer(i)) layer->SetTextureRecursive(texture);
    }
}

void CSceneResource::BindTextures(const CResourceList* textures)
{
    for (u32 i = 0; i < GetLayerCount(); ++i) {
        if (CSceneObject* layer = GetLayer(i)) layer->BindTexture(textures);
    }
}

u32 CSceneResource::Write(host::kernel::File* file) const
{
    if (!file) return 0;
    const char* name = GetName();
    if (!scene_file::WriteName(*file, name, name ? GetNameLength() : 0)) return 0;
    u32 count = 0;
    for (u32 i = 0; i < GetLayerCount(); ++i) count += GetLayer(i) ? 1 : 0;
    if (!scene_file::WriteU32(*file, count)) return 0;
    for (u32 i = 0; i < GetLayerCount(); ++i) {
        const CSceneObject* layer = GetLayer(i);
        if (layer && !layer->Save(file)) return 0;
    }
    return 1;
}

u32 CSceneResource::Save(const char* path) const
{
    scene_file::Sink out;
    if (!path || !Write(&out)) return 0;
    return host::kernel::WriteFileAtomic(path, out.Bytes().data(), out.Bytes().size()) ? 1 : 0;
}

u32 CSceneResource::LoadFromBytes(const u8* data, size_t size, size_t* used)
{
    ReleaseLayers();
    scene_file::Reader in(data, size);
    *used = 0;
    // A layout that ends early keeps the layers read before its end.
    u32 nameSize = 0, count = 0;
    if (in.U32(nameSize)) {
        if (nameSize) {
            if (!in.NameFits(nameSize)) return 0;
            std::string name;
            in.Name(nameSize, name);
            char* copy = AllocName(u32(name.size()));
            if (!copy) return 0;
            std::memcpy(copy, name.data(), name.size());
        } else {
            ClearName();
        }
        in.U32(count);
    }
    // Every record but the last one read holds at least kMinLayerRecord
    // bytes: a count past the data yields the layers present, and the
    // layers the whole layout makes stay within what its bytes hold.
    const u32 slots = u32(std::min<u64>({count, in.Remaining() / scene_file::kMinLayerRecord + 1, in.LayersLeft()}));
    CResourceList* layers = new CResourceList(slots);
    if (!layers || layers->GetCount() != slots) {
        delete layers;
        return 0;
    }
    m_layers = layers;
    u32 read = 0;
    for (; read < slots && in.Remaining() && in.TakeLayer(); ++read) {
        // In its slot before it is read, so the list frees it either way.
        auto* layer = new CSceneObject(layers);
        if (!layer) break;
        layers->SetAt(static_cast<CValueBase*>(layer), read);
        // A layer whose read fails is kept; the next one reads on from
        // where it stopped.
        layer->ReadRecord(in, 0);
    }
    if (read < slots) layers->Resize(read);
    *used = in.Used();
    return 1;
}

u32 CSceneResource::LoadFromMemory(CMemStream* stream)
{
    if (!stream) {
        ReleaseLayers();
        return 0;
    }
    const u32 at = stream->GetPosition();
    size_t used = 0;
    if (!LoadFromBytes(stream->GetData() + at, stream->GetSize() - at, &used)) return 0;
    stream->Seek(i64(at + used), 0);
    return 1;
}

u32 CSceneResource::LoadFromFile(const char* path)
{
    // A layout that cannot be opened or read leaves no layers behind: the
    // scene must not go on drawing the one it replaces.
    std::string bytes;
    if (!path || !host::kernel::ReadWholeFile(path, bytes)) {
        ReleaseLayers();
        return 0;
    }
    size_t used = 0;
    return LoadFromBytes(reinterpret_cast<const u8*>(bytes.data()), bytes.size(), &used);
}
