#include "engine/graphics/Shader.h"

#include "engine/core/Matrix.h"
#include "engine/core/Memory.h"
#include "engine/core/Vector4.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/GraphicDevice.h"

#include <cstring>
#include <string>
#include <vector>

namespace render = host::render;

namespace {

constexpr u8 kShaderType = 0x20;

constexpr const char* kConstantNames[kShaderConstantCount] = {
    "g_WorldMatrix",     "g_WorldMatrixArray", "g_WorldViewProjectionMatrix", "g_ViewProj",
    "g_View",            "g_Projection",       "g_FogStart",                  "g_FogEnd",
    "g_FogColor",        "g_FogMax",           "g_CurBones",                  "g_MaterialDiffuse",
    "g_MaterialAmbient", "g_MaterialSpecular", "g_MaterialEmissive",          "g_MaterialPower",
    "g_AddUV",           "g_WorldAmbient",     "g_LightPos",                  "g_LightDir",
    "g_LightDiffuse",    "g_Texture",          "g_Texture2",                  "g_Texture3",
    "g_Texture4",        "g_Texture5",         "g_Texture6",                  "g_Texture7",
    "g_Texture8",
};

constexpr const char* kTechniqueNames[kShaderTechniqueCount] = {
    "SkinningVersion_20", "SkinningNonTextureVersion_20", "Version_20", "NonTextureVersion_20"};

render::Matrix ToRender(const CMatrix& m)
{
    render::Matrix out;
    std::memcpy(out.m, m.m, sizeof out.m);
    return out;
}

render::Vector4 ToRender(const CVector4& v) { return {v.x, v.y, v.z, v.w}; }

i32 Succeeded(render::Result r) { return r == render::Result::Ok ? 1 : 0; }

}  // namespace

const char* ShaderConstantName(u32 index) { return index < kShaderConstantCount ? kConstantNames[index] : nullptr; }
const char* ShaderTechniqueName(u32 index)
{
    return index < kShaderTechniqueCount ? kTechniqueNames[index] : nullptr;
}

CShader::CShader() { SetType(kShaderType); }

CShader::CShader(const CShader& other)
    : CResourceBase(other), effect_(other.effect_), keep_(other.keep_)
{
    std::memcpy(constants_, other.constants_, sizeof constants_);
    std::memcpy(techniques_, other.techniques_, sizeof techniques_);
    if (keep_ && other.kept_) {
        kept_ = static_cast<u8*>(AlignedAlloc(other.keptSize_, 16));
        if (kept_) {
            std::memcpy(kept_, other.kept_, other.keptSize_);
            keptSize_ = other.keptSize_;
        }
    }
}

CShader::~CShader() { Release(); }

void CShader::FreeCopy()
{
    AlignedFree(kept_);
    kept_ = nullptr;
    keptSize_ = 0;
}

i32 CShader::Release()
{
    effect_.Reset();
    FreeCopy();
    keep_ = 0;
    std::memset(constants_, 0, sizeof constants_);
    std::memset(techniques_, 0, sizeof techniques_);
    return CResourceBase::Release();
}

i32 CShader::ReleaseEffect()
{
    effect_.Reset();
    return 1;
}

i32 CShader::CreateFromFile(const char* path, u32 flags)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!path || !device || !device->GetDevice()) return 0;
    const std::string name(path);   // path may be this shader's own name
    effect_.Reset();
    FreeCopy();
    keep_ = 0;
    std::string errors;
    if (render::CreateEffectFromFile(device->GetDevice(), name, flags, effect_.Put(), &errors) !=
        render::Result::Ok) {
        effect_.Reset();
        return 0;
    }
    SetName(name.c_str());
    return LoadHandles();
}

i32 CShader::CreateFromMemory(const void* bytes, const char* name, u32 size, u32 flags, u32 keepCopy)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!bytes || !name || !size || !device || !device->GetDevice()) return 0;
    const std::string ownName(name);   // name may be this shader's own
    effect_.Reset();
    std::string errors;
    // Compiled before the old copy goes: bytes may be that copy.
    const render::Result compiled =
        render::CreateEffectFromMemory(device->GetDevice(), bytes, size, flags, effect_.Put(), &errors);
    u8* copy = nullptr;
    if (compiled == render::Result::Ok && keepCopy) {
        copy = static_cast<u8*>(AlignedAlloc(size, 16));
        if (copy) std::memcpy(copy, bytes, size);
    }
    FreeCopy();
    keep_ = 0;
    if (compiled != render::Result::Ok) {
        effect_.Reset();
        return 0;
    }
    if (keepCopy && !copy) {   // out of memory: no half-kept shader
        effect_.Reset();
        return 0;
    }
    SetName(ownName.c_str());
    keep_ = keepCopy ? 1 : 0;
    kept_ = copy;
    keptSize_ = copy ? size : 0;
    return LoadHandles();
}

i32 CShader::LoadHandles()
{
    for (u32 i = 0; i < kShaderConstantCount; ++i) constants_[i] = GetParameterByName(kConstantNames[i]);
    for (u32 i = 0; i < kShaderTechniqueCount; ++i) techniques_[i] = GetTechniqueByName(kTechniqueNames[i]);
    return 1;
}

ShaderHandle CShader::GetConstantHandle(u32 index) const
{
    return index < kShaderConstantCount ? constants_[index] : render::kNoHandle;
}

void CShader::SetConstantHandle(u32 index, ShaderHandle handle)
{
    if (index < kShaderConstantCount) constants_[index] = handle;
}

ShaderHandle CShader::GetTechniqueHandle(u32 index) const
{
    return index < kShaderTechniqueCount ? techniques_[index] : render::kNoHandle;
}

void CShader::SetTechniqueHandle(u32 index, ShaderHandle handle)
{
    if (index < kShaderTechniqueCount) techniques_[index] = handle;
}

// ---------------------------------------------------------------- setters

i32 CShader::SetValue(ShaderHandle handle, const void* data, u32 bytes)
{
    if (!effect_ || !handle || !data) return 0;
    return Succeeded(effect_->SetValue(handle, data, bytes));
}

i32 CShader::SetFloat(ShaderHandle handle, f32 value)
{
    if (!effect_ || !handle) return 0;
    return Succeeded(effect_->SetFloat(handle, value));
}

i32 CShader::SetFloatArray(ShaderHandle handle, const f32* values, u32 count)
{
    if (!effect_ || !handle || !values) return 0;
    return Succeeded(effect_->SetFloatArray(handle, values, count));
}

i32 CShader::SetVector(ShaderHandle handle, const CVector4* vector)
{
    if (!effect_ || !handle || !vector) return 0;
    return Succeeded(effect_->SetVector(handle, ToRender(*vector)));
}

i32 CShader::SetVectorArray(ShaderHandle handle, const CVector4* vectors, u32 count)
{
    if (!effect_ || !handle || !vectors) return 0;
    std::vector<render::Vector4> values(count);
    for (u32 i = 0; i < count; ++i) values[i] = ToRender(vectors[i]);
    return Succeeded(effect_->SetVectorArray(handle, values.data(), count));
}

i32 CShader::SetMatrix(ShaderHandle handle, const CMatrix* matrix)
{
    if (!effect_ || !handle || !matrix) return 0;
    return Succeeded(effect_->SetMatrix(handle, ToRender(*matrix)));
}

i32 CShader::SetMatrixArray(ShaderHandle handle, const CMatrix* matrices, u32 count)
{
    if (!effect_ || !handle || !matrices) return 0;
    std::vector<render::Matrix> values(count);
    for (u32 i = 0; i < count; ++i) values[i] = ToRender(matrices[i]);
    return Succeeded(effect_->SetMatrixArray(handle, values.data(), count));
}

i32 CShader::SetTexture(ShaderHandle handle, render::Texture* texture)
{
    if (!effect_ || !handle) return 0;
    return Succeeded(effect_->SetTexture(handle, texture));
}

i32 CShader::SetMatrixByIndex(u32 index, const CMatrix* matrix)
{
    return SetMatrix(GetConstantHandle(index), matrix);
}

i32 CShader::SetFloatByIndex(u32 index, f32 value) { return SetFloat(GetConstantHandle(index), value); }

i32 CShader::SetVectorByIndex(u32 index, const CVector4* vector)
{
    return SetVector(GetConstantHandle(index), vector);
}

i32 CShader::SetValueByIndex(u32 index, const void* data, u32 bytes)
{
    return SetValue(GetConstantHandle(index), data, bytes);
}

i32 CShader::SetTextureByIndex(u32 index, render::Texture* texture)
{
    return SetTexture(GetConstantHandle(index), texture);
}

i32 CShader::SetTechniqueByIndex(u32 index) { return SetTechnique(GetTechniqueHandle(index)); }

ShaderHandle CShader::GetParameterByName(const char* name) const
{
    if (!effect_ || !name) return render::kNoHandle;
    return effect_->GetParameterByName(render::kNoHandle, name);
}

ShaderHandle CShader::GetTechniqueByName(const char* name) const
{
    if (!effect_ || !name) return render::kNoHandle;
    return effect_->GetTechniqueByName(name);
}

i32 CShader::SetTechnique(ShaderHandle technique)
{
    if (!effect_ || !technique) return 0;
    return Succeeded(effect_->SetTechnique(technique));
}

i32 CShader::Begin(u32* passes, u32 flags)
{
    if (!effect_) return 0;
    return Succeeded(effect_->Begin(passes, flags));
}

i32 CShader::BeginPass(u32 pass) { return effect_ ? Succeeded(effect_->BeginPass(pass)) : 0; }
i32 CShader::EndPass() { return effect_ ? Succeeded(effect_->EndPass()) : 0; }
i32 CShader::End() { return effect_ ? Succeeded(effect_->End()) : 0; }

i32 CShader::SetTransforms(const CMatrix* world)
{
    if (!world) return 0;
    SetMatrixByIndex(kShaderWorldMatrix, world);
    CGraphicDevice* device = GetGraphicDevice();
    const CCamera* camera = device ? device->GetCurrentCamera() : nullptr;
    if (camera) {
        CMatrix viewProjection;
        camera->GetViewProjection(&viewProjection);
        const CMatrix worldViewProjection = *world * viewProjection;
        SetMatrixByIndex(kShaderWorldViewProjection, &worldViewProjection);
        SetMatrixByIndex(kShaderViewProj, &viewProjection);
        SetMatrixByIndex(kShaderView, camera->GetViewMatrix());
        SetMatrixByIndex(kShaderProjection, &camera->GetProjectionParams()->projection);
    } else {
        const CMatrix identity;
        SetMatrixByIndex(kShaderWorldViewProjection, world);
        SetMatrixByIndex(kShaderViewProj, &identity);
        SetMatrixByIndex(kShaderView, &identity);
        SetMatrixByIndex(kShaderProjection, &identity);
    }
    return 1;
}
