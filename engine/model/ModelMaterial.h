// CModelMaterial: the colours, blend mode, textures and optional own
// effect that one index range of a model part is drawn with. Characters
// swap textures at run time: the replaced texture waits in SavedTextures
// until RestoreTextures puts it back.
//
// Textures are CTexture objects (one that could not be loaded keeps only
// its name); the model file reader makes them through the texture factory
// below, which tests may replace.
#pragma once

#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"
#include "engine/core/Vector4.h"
#include "engine/graphics/Shader.h"

#include <cstddef>

class CqelPackFile;

// Makes a texture object for name, loaded out of pack when one is given,
// else from the file; a texture that cannot be loaded comes back as a
// placeholder that keeps only the name. Null only when nothing can be
// allocated.
using ModelTextureFactory = CResourceBase* (*)(const char* name, CqelPackFile* pack);
// Installs the factory (null: the default, CTexture loaded from the pack
// or the file).
void SetModelTextureFactory(ModelTextureFactory factory);
CResourceBase* CreateModelTexture(const char* name, CqelPackFile* pack);

class CModelMaterial {
public:
    CModelMaterial() = default;
    // Colours, values and names copied; the textures cloned (sharing the
    // device textures) with as many empty saved slots; the shader a copy.
    CModelMaterial(const CModelMaterial& other);
    CModelMaterial& operator=(const CModelMaterial&) = delete;
    virtual ~CModelMaterial();

    static void* operator new(size_t size) noexcept;
    static void operator delete(void* block) noexcept;
    static void* operator new(size_t, void* memory) noexcept { return memory; }
    static void operator delete(void*, void*) noexcept {}

    // RestoreTextures, then frees the names and deletes the textures, the
    // saved list and the shader. 1.
    virtual i32 Clear();
    virtual const char* GetName() const { return Name; }
    virtual const char* GetClassName() const { return "CModelMaterial"; }
    virtual u32 GetSize() const { return u32(sizeof(CModelMaterial)); }
    virtual CModelMaterial* CreatePooled(void* memory) const;
    virtual CModelMaterial* Create() const;
    virtual CModelMaterial* ClonePooled(void* memory) const;
    virtual CModelMaterial* Clone() const;

    // Appends a copy of texture (a clone sharing its device texture) and
    // sizes SavedTextures to match. 0 for a null texture or when the lists
    // cannot grow.
    i32 AddTexture(const CResourceBase* texture);
    // Puts every saved texture back into its slot. 0 without textures.
    i32 RestoreTextures();
    // Sets shader's material parameters: the colours (each times colour
    // when one is given), power, texture offset, the textures from
    // "g_Texture" on (none: "g_Texture" cleared) and the technique: this
    // material's own when set, else by textures and skinning.
    void Apply(const CVector4* colour, CShader* shader, bool skinned) const;
    // The device texture of texture i; null when there is none.
    host::render::Texture* GetDeviceTexture(u32 i) const;
    // A colour times colour, component by component (as it is when null).
    static CVector4 Tint(const CVector4& c, const CVector4* colour);

    // Replaces the name (null clears it).
    void SetName(const char* name);
    u32 GetTextureCount() const { return Textures ? Textures->GetCount() : 0; }
    CResourceBase* GetTexture(u32 i) const;

    CVector4 Diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    CVector4 Ambient{0.5f, 0.5f, 0.5f, 1.0f};
    CVector4 Specular{0.0f, 0.0f, 0.0f, 1.0f};
    CVector4 Emissive{0.0f, 0.0f, 0.0f, 1.0f};
    f32 Power = 0.0f;
    char* Name = nullptr;
    u32 BlendMode = 1;
    f32 AddUV[2] = {};
    u32 Values[2] = {};
    CResourceList* Textures = nullptr;        // owning
    CResourceList* SavedTextures = nullptr;   // not owning
    CShader* Shader = nullptr;                // owned
    char* ShaderName = nullptr;
    ShaderHandle Technique = 0;
};

using CMaterialList = CResourceListOf<CModelMaterial>;
