#include "engine/model/ModelMaterial.h"

#include "engine/core/Memory.h"
#include "engine/graphics/Texture.h"
#include "engine/model/ModelBone.h"

#include <atomic>

namespace {

// A texture from the pack or the file; one that does not load keeps only
// its name.
CResourceBase* MakeTexture(const char* name, CqelPackFile* pack)
{
    auto* texture = new CTexture();
    if (!texture) return nullptr;
    const i32 loaded = name && (pack ? texture->LoadFromPack(pack, name) : texture->LoadFromFile(name));
    if (!loaded) texture->SetName(name);
    return texture;
}

std::atomic<ModelTextureFactory> g_textureFactory{nullptr};

}  // namespace

void SetModelTextureFactory(ModelTextureFactory factory) { g_textureFactory = factory; }

CResourceBase* CreateModelTexture(const char* name, CqelPackFile* pack)
{
    const ModelTextureFactory factory = g_textureFactory.load();
    return factory ? factory(name, pack) : MakeTexture(name, pack);
}

void* CModelMaterial::operator new(size_t size) noexcept
{
    return size <= UINT32_MAX ? AlignedAlloc(u32(size), 16) : nullptr;
}

void CModelMaterial::operator delete(void* block) noexcept { AlignedFree(block); }

CModelMaterial::CModelMaterial(const CModelMaterial& other)
    : Diffuse(other.Diffuse),
      Ambient(other.Ambient),
      Specular(other.Specular),
      Emissive(other.Emissive),
      Power(other.Power),
      Name(ModelCopyText(other.Name)),
      BlendMode(other.BlendMode),
      ShaderName(ModelCopyText(other.ShaderName)),
      Technique(other.Technique)
{
    AddUV[0] = other.AddUV[0];
    AddUV[1] = other.AddUV[1];
    Values[0] = other.Values[0];
    Values[1] = other.Values[1];
    if (other.Textures) {
        Textures = new CResourceList(*other.Textures);
        SavedTextures = new CResourceList(Textures ? Textures->GetCount() : 0, 0);
    }
    if (other.Shader) Shader = new CShader(*other.Shader);
}

CModelMaterial::~CModelMaterial() { CModelMaterial::Clear(); }

i32 CModelMaterial::Clear()
{
    RestoreTextures();
    ModelFreeText(Name);
    ModelFreeText(ShaderName);
    delete Textures;
    delete SavedTextures;
    delete Shader;
    Textures = SavedTextures = nullptr;
    Shader = nullptr;
    Technique = 0;
    return 1;
}

CModelMaterial* CModelMaterial::CreatePooled(void* memory) const
{
    return memory ? new (memory) CModelMaterial() : nullptr;
}

CModelMaterial* CModelMaterial::Create() const { return new CModelMaterial(); }

CModelMaterial* CModelMaterial::ClonePooled(void* memory) const
{
    return memory ? new (memory) CModelMaterial(*this) : nullptr;
}

CModelMaterial* CModelMaterial::Clone() const { return new CModelMaterial(*this); }

void CModelMaterial::SetName(const char* name)
{
    char* copy = ModelCopyText(name);
    ModelFreeText(Name);
    Name = copy;
}

CResourceBase* CModelMaterial::GetTexture(u32 i) const
{
    if (!Textures || i >= Textures->GetCount()) return nullptr;
    return static_cast<CResourceBase*>(static_cast<CValueBase*>(Textures->GetAt(i)));
}

i32 CModelMaterial::AddTexture(const CResourceBase* texture)
{
    if (!texture) return 0;
    if (!Textures) {
        Textures = new CResourceList();
        if (!Textures) return 0;
    }
    CValueBase* copy = texture->Clone();
    if (!copy) return 0;
    void* slot = copy;
    if (!Textures->Add(&slot)) {
        delete copy;
        return 0;
    }
    const u32 count = Textures->GetCount();
    if (SavedTextures) return SavedTextures->Resize(count);
    SavedTextures = new CResourceList(count, 0);
    return SavedTextures && SavedTextures->GetCount() == count ? 1 : 0;
}

i32 CModelMaterial::RestoreTextures()
{
    if (!Textures) return 0;
    if (!SavedTextures) {
        SavedTextures = new CResourceList(Textures->GetCount(), 0);
        return SavedTextures ? 1 : 0;
    }
    // A saved list shorter than the texture list (it failed to grow)
    // restores what it holds.
    const u32 count = SavedTextures->GetCount() < Textures->GetCount() ? SavedTextures->GetCount()
                                                                       : Textures->GetCount();
    for (u32 i = 0; i < count; ++i) {
        void* saved = SavedTextures->GetAt(i);
        if (!saved) continue;
        // The texture in the slot is a caller's replacement, not ours to
        // delete: the caller swapped it in and keeps it.
        Textures->GetData()[i] = saved;
        SavedTextures->GetData()[i] = nullptr;
    }
    return 1;
}
