// `CShader`: an effect from a ".shd" file or from effect bytes in memory,
// with the handles of the parameters and techniques the engine uses looked
// up once, so drawing code sets parameters by a small index. A name the
// effect does not declare has a null handle, and setting it does nothing.
//
// Drawing with a shader: SetTechnique (or SetTechniqueByIndex), the
// parameter setters, Begin, then per pass BeginPass, draw, EndPass; End.
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/Types.h"
#include "host/render/Render.h"

class CMatrix;
class CVector4;

using ShaderHandle = host::render::EffectHandle;

// Indices of the parameter handle table.
enum ShaderConstant : u32 {
    kShaderWorldMatrix = 0,
    kShaderWorldMatrixArray = 1,
    kShaderWorldViewProjection = 2,
    kShaderViewProj = 3,
    kShaderView = 4,
    kShaderProjection = 5,
    kShaderFogStart = 6,
    kShaderFogEnd = 7,
    kShaderFogColor = 8,
    kShaderFogMax = 9,
    kShaderCurBones = 10,
    kShaderMaterialDiffuse = 11,
    kShaderMaterialAmbient = 12,
    kShaderMaterialSpecular = 13,
    kShaderMaterialEmissive = 14,
    kShaderMaterialPower = 15,
    kShaderAddUV = 16,
    kShaderWorldAmbient = 17,
    kShaderLightPos = 18,
    kShaderLightDir = 19,
    kShaderLightDiffuse = 20,
    kShaderTexture = 21,   // kShaderTexture + n - 1 for "g_Texture2".."g_Texture8"
    kShaderConstantCount = 29,
};

// Indices of the technique handle table.
enum ShaderTechnique : u32 {
    kShaderSkinning = 0,
    kShaderSkinningNonTexture = 1,
    kShaderRigid = 2,
    kShaderRigidNonTexture = 3,
    kShaderTechniqueCount = 4,
};

// The names behind the two tables.
const char* ShaderConstantName(u32 index);
const char* ShaderTechniqueName(u32 index);

class CShader : public CResourceBase {
    ORV_VALUE_CLASS(CShader)

public:
    CShader();
    // Shares the effect, copies the handles and makes its own copy of kept
    // effect bytes.
    CShader(const CShader& other);
    CShader& operator=(const CShader&) = delete;
    ~CShader() override;

    // The effect and a kept copy go; the object stays usable. 1.
    i32 Release() override;
    // Only the effect goes; kept bytes stay for a later CreateFromMemory
    // (the device does this around a reset). 1.
    i32 ReleaseEffect();

    // Compiles the file at path; the name becomes the path. 0 without a
    // path or a device, or when it does not compile (no effect then).
    i32 CreateFromFile(const char* path, u32 flags);
    // Compiles size bytes under name; with keepCopy the bytes are kept. 0
    // when an argument is missing, without a device, or when they do not
    // compile.
    i32 CreateFromMemory(const void* bytes, const char* name, u32 size, u32 flags, u32 keepCopy);
    // Looks up every handle of the two tables. 1.
    i32 LoadHandles();

    ShaderHandle GetConstantHandle(u32 index) const;
    void SetConstantHandle(u32 index, ShaderHandle handle);
    ShaderHandle GetTechniqueHandle(u32 index) const;
    void SetTechniqueHandle(u32 index, ShaderHandle handle);

    // Setters by handle: 0 without an effect, with a null handle or data, or
    // when the effect refuses; else 1.
    i32 SetValue(ShaderHandle handle, const void* data, u32 bytes);
    i32 SetFloat(ShaderHandle handle, f32 value);
    i32 SetFloatArray(ShaderHandle handle, const f32* values, u32 count);
    i32 SetVector(ShaderHandle handle, const CVector4* vector);
    i32 SetVectorArray(ShaderHandle handle, const CVector4* vectors, u32 count);
    i32 SetMatrix(ShaderHandle handle, const CMatrix* matrix);
    i32 SetMatrixArray(ShaderHandle handle, const CMatrix* matrices, u32 count);
    // A null texture unbinds (an unbound texture samples white).
    i32 SetTexture(ShaderHandle handle, host::render::Texture* texture);

    // The same by table index; 0 for an index past the table.
    i32 SetMatrixByIndex(u32 index, const CMatrix* matrix);
    i32 SetFloatByIndex(u32 index, f32 value);
    i32 SetVectorByIndex(u32 index, const CVector4* vector);
    i32 SetValueByIndex(u32 index, const void* data, u32 bytes);
    i32 SetTextureByIndex(u32 index, host::render::Texture* texture);
    i32 SetTechniqueByIndex(u32 index);

    // Null without an effect or a name.
    ShaderHandle GetParameterByName(const char* name) const;
    ShaderHandle GetTechniqueByName(const char* name) const;
    i32 SetTechnique(ShaderHandle technique);

    // passes, when given, receives the pass count.
    i32 Begin(u32* passes, u32 flags);
    i32 BeginPass(u32 pass);
    i32 EndPass();
    i32 End();

    // World, world x view x projection, view x projection, view and
    // projection from the device's current camera; without one the world
    // stands for the whole product and the rest is the identity. 0 for a
    // null world.
    i32 SetTransforms(const CMatrix* world);

    host::render::Effect* GetEffect() const { return effect_.Get(); }
    u32 GetKeptSize() const { return keptSize_; }
    const void* GetKeptBytes() const { return kept_; }
    u32 IsKeepingCopy() const { return keep_; }

private:
    void FreeCopy();

    host::render::Ref<host::render::Effect> effect_;
    u32 keptSize_ = 0;
    u8* kept_ = nullptr;
    u32 keep_ = 0;
    ShaderHandle constants_[kShaderConstantCount] = {};
    ShaderHandle techniques_[kShaderTechniqueCount] = {};
};
