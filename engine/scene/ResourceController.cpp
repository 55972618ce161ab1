#include "engine/scene/ResourceController.h"

#include "engine/core/Memory.h"
#include "engine/core/PackFile.h"
#include "engine/core/SoundPlayerBase.h"
#include "engine/graphics/Shader.h"
#include "engine/graphics/Texture.h"
#include "engine/model/Mesh.h"
#include "engine/model/XConvert.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/ResourceControllerFile.h"
#include "engine/scene/SceneResource.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using Texts = std::initializer_list<const char*>;

const Texts kTextureTexts = {".BMP", ".bmp", ".PNG", ".png", ".DDS", ".dds"};
const Texts kXFileTexts = {".x", ".X"};
const Texts kModelTexts = {".mdl", ".MDL"};
const Texts kSoundTexts = {".wav", ".WAV", ".ogg", ".OGG"};
const Texts kShaderTexts = {".fx", ".FX"};
const Texts kEffectTexts = {".efc", ".EFC"};
const Texts kSceneTexts = {".sce", ".SCE"};
const Texts kPackTexts = {".gpk", ".GPK"};

// A plain substring test anywhere in the path, not a comparison of the
// extension: that is how the kinds have always been told apart.
bool Contains(const char* path, const Texts& texts)
{
    return std::any_of(texts.begin(), texts.end(), [path](const char* t) { return std::strstr(path, t); });
}

u32 ConvertXFile(const char* xPath, const char* modelPath)
{
    CqelXFileConverter converter;
    return converter.Convert(xPath, modelPath) ? 1 : 0;
}

CResourceController::XFileConverter g_xFileConverter = &ConvertXFile;

// Appends resource to list; deletes it when the list cannot grow.
u32 Keep(CResourceList& list, CValueBase* resource)
{
    void* element = resource;
    if (list.Add(&element)) return 1;
    delete resource;
    return 0;
}

}  // namespace

void CResourceController::SetXFileConverter(XFileConverter converter)
{
    g_xFileConverter = converter ? converter : &ConvertXFile;
}

CResourceController::CResourceController() { SetSoundPlayerList(&m_sounds); }

CResourceController::CResourceController(const CResourceController& other)
    : CResourceBase(other),
      m_packs(other.m_packs),
      m_models(other.m_models),
      m_textures(other.m_textures),
      m_shaders(other.m_shaders),
      m_sounds(other.m_sounds),
      m_effects(other.m_effects),
      m_scenes(other.m_scenes),
      m_fonts(other.m_fonts),
      m_headerValue(other.m_headerValue),
      m_checkHeader(other.m_checkHeader),
      m_panSounds(other.m_panSounds),
      m_plainMusic(other.m_plainMusic),
      m_soundVoices(other.m_soundVoices)
{
}

CResourceController::~CResourceController()
{
    CResourceController::Release();
    if (GetSoundPlayerList() == &m_sounds) SetSoundPlayerList(nullptr);
}

i32 CResourceController::Release()
{
    m_packs.Release();
    m_models.Release();
    m_textures.Release();
    m_shaders.Release();
    m_sounds.Release();
    m_effects.Release();
    m_scenes.Release();
    ForgetMisses();
    ReleaseFonts();
    ReleaseOther();
    return CResourceBase::Release();
}

u32 CResourceController::ReleaseFonts()
{
    m_fonts.Release();
    return 1;
}

u32 CResourceController::ReleaseOther() { return 1; }

void CResourceController::OtherHook() {}

CResourceList* CResourceController::GetList(u32 kind)
{
    switch (kind) {
    case kListPacks: return &m_packs;
    case kListModels: return &m_models;
    case kListTextures: return &m_textures;
    case kListShaders: return &m_shaders;
    case kListSounds: return &m_sounds;
    case kListEffects: return &m_effects;
    case kListScenes: return &m_scenes;
    default: return nullptr;
    }
}

u32 CResourceController::LoadOther(CqelPackFile*, const char*, u32) { return 1; }

namespace {

std::string MissKey(u32 kind, const char* path) { return std::to_string(kind) + ':' + path; }

}  // namespace

bool CResourceController::IsKnownMiss(u32 kind, const char* path) const
{
    return path && !m_misses.empty() && m_misses.count(MissKey(kind, path)) != 0;
}

void CResourceController::RememberMiss(u32 kind, const char* path)
{
    if (path) m_misses.insert(MissKey(kind, path));
}

u32 CResourceController::Load(const char* path, u32 loadMedia)
{
    if (!path) return 0;
    ForgetMisses();
    if (std::strstr(path, ".grc")) return ReadResourceList(path, loadMedia);
    if (Contains(path, kTextureTexts)) return LoadTexture(nullptr, path);
    if (Contains(path, kXFileTexts)) return LoadXFile(path);
    if (Contains(path, kModelTexts)) return LoadModel(nullptr, path);
    if (Contains(path, kSoundTexts)) return LoadSound(nullptr, path);
    if (Contains(path, kShaderTexts)) return LoadShader(nullptr, path);
    if (Contains(path, kEffectTexts)) return LoadEffect(path, loadMedia);
    if (Contains(path, kSceneTexts)) return LoadScene(path, loadMedia);
    if (Contains(path, kPackTexts)) return LoadPack(path, loadMedia);
    return LoadOther(nullptr, path, loadMedia) ? 1 : 0;
}

u32 CResourceController::LoadXFile(const char* path)
{
    const size_t length = std::strlen(path);
    const std::string model = std::string(path, length - std::min<size_t>(length, 2)) + ".mdl";
    if (!g_xFileConverter(path, model.c_str())) return 0;
    return LoadModel(nullptr, model.c_str());
}

u32 CResourceController::ReadResourceList(const char* pathText, u32 loadMedia)
{
    const std::string path(pathText);   // the path may be this controller's own name
    CResourceControllerFile file;
    if (!file.Read(path.c_str())) return 0;
    if (m_checkHeader && file.header != m_headerValue) return 0;
    for (const std::string& record : file.records) {
        if (!LoadRecord(record.c_str(), loadMedia)) return 0;
    }
    // A list that ends without its end record has loaded what it holds, and
    // is still a damaged list: 0, as a failed record gives.
    if (!file.ended) return 0;
    SetName(path.c_str());
    return 1;
}

u32 CResourceController::LoadRecord(const char* path, u32 loadMedia)
{
    if (loadMedia && Contains(path, kTextureTexts)) return LoadTexture(nullptr, path);
    if (loadMedia && Contains(path, kModelTexts)) return LoadModel(nullptr, path);
    if (loadMedia && Contains(path, kSoundTexts)) return LoadSound(nullptr, path);
    if (loadMedia && Contains(path, kShaderTexts)) return LoadShader(nullptr, path);
    if (Contains(path, kEffectTexts)) return LoadEffect(path, loadMedia);
    if (Contains(path, kSceneTexts)) return LoadScene(path, loadMedia);
    if (Contains(path, kPackTexts)) return LoadPack(path, loadMedia);
    return LoadOther(nullptr, path, loadMedia) ? 1 : 0;
}

u32 CResourceController::LoadPack(const char* path, u32 loadMedia)
{
    auto* pack = new CqelPackFile();
    if (!pack || !path || !pack->Open(path)) {
        delete pack;
        return 0;
    }
    return AddPack(pack, loadMedia);
}

u32 CResourceController::LoadScrambledPack(const char* path, u32 identifier, u8 key, u32 loadMedia)
{
    auto* pack = new CqelPackFile();
    if (!pack || !path || !pack->OpenScrambled(path, identifier, key)) {
        delete pack;
        return 0;
    }
    return AddPack(pack, loadMedia);
}

u32 CResourceController::AddPack(CqelPackFile* pack, u32 loadMedia)
{
    if (!Keep(m_packs, pack)) return 0;
    return loadMedia ? LoadPackEntries(pack, loadMedia) : 1;
}

namespace {

// Whether the entry is one the side-by-side decodes take (a texture or a
// sound); the walk loads every other kind itself.
bool DecodedEarly(const PackEntry* entry)
{
    if (!entry) return false;
    if (Contains(entry->name, kTextureTexts)) return true;
    return !Contains(entry->name, kModelTexts) && Contains(entry->name, kSoundTexts);
}

}  // namespace

u32 CResourceController::LoadPackEntries(CqelPackFile* pack, u32 loadMedia)
{
    // The archive is walked in runs: each run of textures and sounds is
    // decoded side by side (most of a start-up load), then walked; the
    // entry of another kind after it is loaded by the walk alone before the
    // next run is begun. A failing model or shader then ends the load
    // before anything past it is decoded, as a failing texture does.
    const u32 count = pack->GetCount();
    for (u32 begin = 0; begin < count;) {
        u32 end = begin;
        while (end < count && DecodedEarly(pack->GetEntry(end))) ++end;
        if (!LoadPackRun(pack, begin, end)) return 0;
        if (end == count) break;
        const PackEntry* entry = pack->GetEntry(end);
        if (!entry) return 0;
        const char* name = entry->name;
        u32 ok;
        if (Contains(name, kModelTexts)) ok = LoadModel(pack, name);
        else if (Contains(name, kShaderTexts)) ok = LoadShader(pack, name);
        else ok = LoadOther(pack, name, loadMedia);
        if (!ok) return 0;
        begin = end + 1;
    }
    return 1;
}

u32 CResourceController::LoadPackRun(CqelPackFile* pack, u32 begin, u32 end)
{
    // The run's textures and sounds are decoded together first; each is
    // kept where the walk below reaches it, as it was loaded there before,
    // and one already loaded is not taken twice.
    struct Early {
        std::unique_ptr<CTexture> texture;
        std::unique_ptr<CSoundBuffer> sound;
        size_t file = 0;   // its place in textures or sounds
        bool tried = false;   // not begun past a failure: the walk loads it then
    };
    std::vector<Early> early(end - begin);
    std::vector<CTexture::MemoryFile> textures;
    std::vector<CSoundBuffer::PackedFile> sounds;
    std::set<std::string> read;   // an entry named twice is read once
    for (u32 i = begin; i < end; ++i) {
        const char* name = pack->GetEntry(i)->name;
        const bool texture = Contains(name, kTextureTexts);
        if ((texture ? m_textures : m_sounds).FindByName(name) || !read.insert(name).second) continue;
        u32 size = 0;
        u8* bytes = pack->ReadEntry(name, &size);
        if (!bytes) continue;
        Early& e = early[i - begin];
        if (texture) {
            e.texture = std::make_unique<CTexture>();
            e.file = textures.size();
            textures.push_back({e.texture.get(), bytes, name, size, 0});
        } else {
            u32 voices = 0, flags = 0;
            SoundSettings(name, &voices, &flags);
            e.sound = std::make_unique<CSoundBuffer>();
            e.file = sounds.size();
            sounds.push_back({e.sound.get(), bytes, name, size, voices, flags, 0});
        }
    }
    // One turn for both kinds in the archive's order, so no thread waits on
    // the other kind's last; the walk below ends at the first that fails,
    // so nothing after it is begun once it has.
    std::vector<u32> order;
    for (u32 k = 0; k < early.size(); ++k)
        if (early[k].texture || early[k].sound) order.push_back(k);
    host::kernel::RunSideBySideUntil(u32(order.size()), 8, [&](u32 k) {
        Early& e = early[order[k]];
        e.tried = true;
        if (e.texture) {
            CTexture::MemoryFile& f = textures[e.file];
            f.loaded = f.texture->LoadFromMemory(f.bytes, f.name, f.size);
            return f.loaded != 0;
        }
        CSoundBuffer::PackedFile& f = sounds[e.file];
        CSoundBuffer::LoadPacked(f);
        return f.loaded != 0;
    });
    for (const CTexture::MemoryFile& f : textures) AlignedFree(const_cast<void*>(f.bytes));
    for (CSoundBuffer::PackedFile& f : sounds) AlignedFree(std::exchange(f.block, nullptr));   // those not begun

    for (u32 i = begin; i < end; ++i) {
        const char* name = pack->GetEntry(i)->name;
        Early& e = early[i - begin];
        u32 ok;
        if (e.tried && e.texture && !m_textures.FindByName(name)) {
            if (!textures[e.file].loaded) return 0;
            ok = Keep(m_textures, e.texture.release());
        } else if (e.tried && e.sound && !m_sounds.FindByName(name)) {
            if (!sounds[e.file].loaded) return 0;
            ok = Keep(m_sounds, e.sound.release());
        } else if (Contains(name, kTextureTexts)) ok = LoadTexture(pack, name);
        else ok = LoadSound(pack, name);
        if (!ok) return 0;
    }
    return 1;
}

u32 CResourceController::LoadTexture(CqelPackFile* pack, const char* path)
{
    if (!path) return 0;
    if (m_textures.FindByName(path)) return 1;
    auto* texture = new CTexture();
    if (!texture) return 0;
    if (!(pack ? texture->LoadFromPack(pack, path) : texture->LoadFromFile(path))) {
        delete texture;
        return 0;
    }
    return Keep(m_textures, texture);
}

u32 CResourceController::LoadModel(CqelPackFile* pack, const char* path)
{
    if (!path) return 0;
    if (m_models.FindByName(path)) return 1;
    auto* mesh = new CMesh();
    if (!mesh) return 0;
    // Through the mesh's own load, which also poses it in its bind pose and
    // gives every bone its bounding sphere (secondary motion swings about
    // the sphere centres).
    i32 loaded = 0;
    if (pack) {
        u32 size = 0;
        u8* bytes = pack->ReadEntry(path, &size);
        loaded = bytes && mesh->LoadFromMemory(bytes, path, size, &m_textures, &m_shaders, nullptr);
        AlignedFree(bytes);
    } else {
        loaded = mesh->Load(path, &m_textures, &m_shaders, nullptr);
    }
    if (!loaded) {
        delete mesh;
        return 0;
    }
    return Keep(m_models, mesh);
}

void CResourceController::SoundSettings(const char* path, u32* voices, u32* flags) const
{
    if (std::strstr(path, "Bgm") || std::strstr(path, "Vocal")) {
        *voices = 1;
        *flags = m_plainMusic ? 0 : CSoundBuffer::kBufferNotify;
    } else {
        // A sound without a voice could never play.
        *voices = std::max<u32>(m_soundVoices, 1);
        *flags = CSoundBuffer::kBufferStatic | (m_panSounds ? CSoundBuffer::kBufferPan : CSoundBuffer::kBuffer3D);
    }
}

u32 CResourceController::LoadSound(CqelPackFile* pack, const char* path)
{
    if (!path) return 0;
    if (m_sounds.FindByName(path)) return 1;
    auto* sound = new CSoundBuffer();
    if (!sound) return 0;
    u32 ok;
    if (pack) {
        u32 voices = 0, flags = 0;
        SoundSettings(path, &voices, &flags);
        // Through the archive, so a streamed sound keeps the bytes it reads.
        ok = sound->LoadFromPack(pack, path, voices, flags);
    } else {
        ok = sound->Load(path, 1, CSoundBuffer::kBufferStatic);
    }
    if (!ok) {
        delete sound;
        return 0;
    }
    return Keep(m_sounds, sound);
}

u32 CResourceController::LoadShader(CqelPackFile* pack, const char* path)
{
    if (!path) return 0;
    if (m_shaders.FindByName(path)) return 1;
    auto* shader = new CShader();
    if (!shader) return 0;
    i32 ok = 0;
    if (pack) {
        u32 size = 0;
        u8* bytes = pack->ReadEntry(path, &size);
        ok = bytes && shader->CreateFromMemory(bytes, path, size, 0, 1);
        AlignedFree(bytes);
    } else {
        ok = shader->CreateFromFile(path, 0);
    }
    if (!ok) {
        delete shader;
        return 0;
    }
    return Keep(m_shaders, shader);
}

u32 CResourceController::LoadEffect(const char* path, u32 bind)
{
    auto* effect = new CEffectContainer();
    if (!effect || !path || !effect->Load(path)) {
        delete effect;
        return 0;
    }
    if (m_effects.FindByName(effect->GetName())) {
        delete effect;
        return 1;
    }
    if (bind) effect->BindResources(&m_models, &m_textures, &m_sounds, &m_effects);
    return Keep(m_effects, effect);
}

u32 CResourceController::LoadScene(const char* path, u32)
{
    auto* scene = new CSceneResource();
    if (!scene || !path || !scene->LoadFromFile(path)) {
        delete scene;
        return 0;
    }
    return Keep(m_scenes, scene);
}
