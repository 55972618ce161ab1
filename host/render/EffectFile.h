// The effect format (.shd): a header of declarations, then GLSL 330 blocks.
//
//   shd 1
//   param float4x4 g_WorldViewProjectionMatrix
//   param float3   g_LightDir = 0 -0.894 0.447
//   param float3x4 g_WorldMatrixArray[75]
//   param texture  g_Texture
//   sampler g_samScene g_Texture filter=linear address=wrap
//   technique Version_20
//     pass p0 vertex=vsRigid fragment=fsTex [state ZWRITEENABLE 0 ...]
//   glsl common
//   ...
//   glsl vertex vsRigid
//   ...
//   glsl fragment fsTex
//   ...
//
// Header lines may be blank or start with '#' (a comment). Initial values
// give every component of the parameter (all elements of an array). Every
// parameter is a uniform of the generated prelude and every sampler a
// sampler2D; a float3x4 is a mat3x4 holding columns 0-2 of the engine matrix.
//
// EffectCore is the backend-independent half of an effect: handles, the
// parameter values with their conversions, and the Begin/pass/End rules.
#pragma once

#include "host/render/Render.h"

#include <string>
#include <string_view>
#include <vector>

namespace host::render {

enum class ParamType : uint8_t { Float, Int, Float2, Float3, Float4, Float4x4, Float3x4, Texture };
const char* ParamTypeName(ParamType type);   // as written in .shd
uint32_t ComponentCount(ParamType type);      // per element; 0 for a texture

constexpr uint32_t kAddressWrap = 1;
constexpr uint32_t kAddressClamp = 3;

// Limits on what a file may declare.
constexpr size_t kEffectMaxBytes = 1u << 20;
constexpr uint32_t kEffectMaxArray = 1024;
constexpr size_t kEffectMaxName = 63;

struct EffectParam {
    std::string name;
    ParamType type = ParamType::Float;
    uint32_t arraySize = 0;         // 0: not an array
    // Initial words of the whole parameter (floats as bits, ints as int32);
    // empty: all zero.
    std::vector<uint32_t> initial;
    uint32_t Elements() const { return arraySize ? arraySize : 1; }
    uint32_t Words() const { return Elements() * ComponentCount(type); }
};

struct EffectSampler {
    std::string name;
    std::string texture;            // a texture parameter
    uint32_t filter = kFilterLinear;
    uint32_t address = kAddressWrap;
};

struct EffectPass {
    std::string name;
    std::string vertex, fragment;   // functions of glsl blocks
    std::vector<StateValue> states; // render states set at BeginPass
};

struct EffectTechnique {
    std::string name;
    std::vector<EffectPass> passes;
};

enum class ShaderStage : uint8_t { Vertex, Fragment };

struct EffectShader {
    ShaderStage stage = ShaderStage::Vertex;
    std::string name;               // the function the block defines
    std::string code;
    uint32_t line = 0;              // of the block's first code line
};

struct EffectDesc {
    std::vector<EffectParam> params;
    std::vector<EffectSampler> samplers;
    std::vector<EffectTechnique> techniques;   // at least one
    std::string common;                        // the glsl common blocks, in order
    uint32_t commonLine = 0;
    std::vector<EffectShader> shaders;

    const EffectParam* FindParam(std::string_view name) const;
    const EffectShader* FindShader(ShaderStage stage, std::string_view name) const;
};

// Parses .shd text; false with "line N: what" in error when anything is
// wrong. Never reads past the text, whatever it holds.
bool ParseEffect(std::string_view text, EffectDesc& out, std::string& error);

// Render-state number of a name a pass may set ("ZWRITEENABLE"); 0 when none.
uint32_t RenderStateByName(std::string_view name);

class EffectCore {
public:
    // The device takes the pass states; it may be null when no pass has any.
    EffectCore(EffectDesc desc, Device* device);
    ~EffectCore();
    EffectCore(const EffectCore&) = delete;
    EffectCore& operator=(const EffectCore&) = delete;

    const EffectDesc& Desc() const { return desc_; }

    EffectHandle ParameterByName(EffectHandle parent, const char* name) const;
    EffectHandle TechniqueByName(const char* name) const;
    Result SetTechnique(EffectHandle technique);
    EffectHandle CurrentTechnique() const;

    Result SetValue(EffectHandle parameter, const void* data, uint32_t bytes);
    Result SetFloat(EffectHandle parameter, float f);
    Result SetFloatArray(EffectHandle parameter, const float* f, uint32_t count);
    Result SetInt(EffectHandle parameter, int32_t i);
    Result SetVector(EffectHandle parameter, const Vector4& v);
    Result SetVectorArray(EffectHandle parameter, const Vector4* v, uint32_t count);
    Result SetMatrix(EffectHandle parameter, const Matrix& m);
    Result SetMatrixArray(EffectHandle parameter, const Matrix* m, uint32_t count);
    Result SetTexture(EffectHandle parameter, Texture* texture);

    Result Begin(uint32_t* passes, uint32_t flags);
    Result BeginPass(uint32_t pass);
    Result EndPass();
    Result End();

    // What a backend draws with.
    const EffectParam* Param(EffectHandle parameter) const;   // null for other handles
    int ParamIndex(std::string_view name) const;              // -1 when undeclared
    const std::vector<uint32_t>& Words(size_t paramIndex) const { return values_[paramIndex]; }
    Texture* BoundTexture(size_t paramIndex) const;
    bool Begun() const { return begun_; }
    int ActivePass() const { return pass_; }                  // -1 outside a pass
    const EffectTechnique& Technique() const;                 // the current one

private:
    int ParamSlot(EffectHandle h) const;
    // Writes `count` elements of `per` words each, converting floats for an
    // int parameter; clamps to the declared elements.
    void StoreElements(size_t slot, const float* src, uint32_t count, uint32_t per, uint32_t stride);

    EffectDesc desc_;
    Device* device_;
    std::vector<std::vector<uint32_t>> values_;
    std::vector<Texture*> textures_;   // a reference each
    size_t technique_ = 0;
    bool begun_ = false;
    int pass_ = -1;
    std::vector<StateValue> saved_;    // states to put back at End
};

}  // namespace host::render
