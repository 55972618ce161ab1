// The part of an effect every backend shares: handles, parameter values and
// their conversions, techniques, and the Begin/BeginPass/EndPass/End rules.
#include "host/render/EffectFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace host::render {
namespace {

// Parameter handles are index + 1; technique handles carry this bit too.
constexpr EffectHandle kTechniqueBit = 0x40000000u;

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

// float to int as a cast would, without the undefined cases.
int32_t Truncate(float f) {
    if (std::isnan(f)) return 0;
    if (f >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
    if (f <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(f);
}

bool IsVectorLike(ParamType t) {
    return t == ParamType::Float || t == ParamType::Int || t == ParamType::Float2 ||
           t == ParamType::Float3 || t == ParamType::Float4;
}

bool IsMatrix(ParamType t) { return t == ParamType::Float4x4 || t == ParamType::Float3x4; }

}  // namespace

EffectCore::EffectCore(EffectDesc desc, Device* device) : desc_(std::move(desc)), device_(device) {
    values_.reserve(desc_.params.size());
    for (const EffectParam& p : desc_.params) {
        std::vector<uint32_t> words(p.Words(), 0);
        std::copy_n(p.initial.begin(), std::min(p.initial.size(), words.size()), words.begin());
        values_.push_back(std::move(words));
    }
    textures_.assign(desc_.params.size(), nullptr);
}

EffectCore::~EffectCore() {
    for (Texture* t : textures_)
        if (t) t->Release();
}

int EffectCore::ParamSlot(EffectHandle h) const {
    if (h == kNoHandle || (h & kTechniqueBit) || h > desc_.params.size()) return -1;
    return static_cast<int>(h - 1);
}

const EffectParam* EffectCore::Param(EffectHandle h) const {
    int slot = ParamSlot(h);
    return slot < 0 ? nullptr : &desc_.params[size_t(slot)];
}

int EffectCore::ParamIndex(std::string_view name) const {
    for (size_t i = 0; i < desc_.params.size(); ++i)
        if (desc_.params[i].name == name) return static_cast<int>(i);
    return -1;
}

Texture* EffectCore::BoundTexture(size_t paramIndex) const {
    return paramIndex < textures_.size() ? textures_[paramIndex] : nullptr;
}

const EffectTechnique& EffectCore::Technique() const { return desc_.techniques[technique_]; }

EffectHandle EffectCore::ParameterByName(EffectHandle parent, const char* name) const {
    if (parent != kNoHandle || !name) return kNoHandle;
    int i = ParamIndex(name);
    return i < 0 ? kNoHandle : EffectHandle(i + 1);
}

EffectHandle EffectCore::TechniqueByName(const char* name) const {
    if (!name) return kNoHandle;
    for (size_t i = 0; i < desc_.techniques.size(); ++i)
        if (desc_.techniques[i].name == name) return kTechniqueBit | EffectHandle(i + 1);
    return kNoHandle;
}

Result EffectCore::SetTechnique(EffectHandle h) {
    if (!(h & kTechniqueBit) || begun_) return Result::InvalidCall;
    EffectHandle index = (h & ~kTechniqueBit) - 1;
    if (index >= desc_.techniques.size()) return Result::InvalidCall;
    technique_ = index;
    return Result::Ok;
}

EffectHandle EffectCore::CurrentTechnique() const { return kTechniqueBit | EffectHandle(technique_ + 1); }

void EffectCore::StoreElements(size_t slot, const float* src, uint32_t count, uint32_t per, uint32_t stride) {
    const EffectParam& p = desc_.params[slot];
    const uint32_t comps = ComponentCount(p.type);
    const uint32_t n = std::min(count, p.Elements());
    const uint32_t take = std::min(per, comps);
    std::vector<uint32_t>& words = values_[slot];
    for (uint32_t e = 0; e < n; ++e)
        for (uint32_t c = 0; c < take; ++c) {
            float f = src[size_t(e) * stride + c];
            words[size_t(e) * comps + c] = p.type == ParamType::Int ? uint32_t(Truncate(f)) : Bits(f);
        }
}

Result EffectCore::SetValue(EffectHandle h, const void* data, uint32_t bytes) {
    int slot = ParamSlot(h);
    if (slot < 0 || !data || desc_.params[size_t(slot)].type == ParamType::Texture) return Result::InvalidCall;
    std::vector<uint32_t>& words = values_[size_t(slot)];
    std::memcpy(words.data(), data, std::min<size_t>(bytes, words.size() * 4));
    return Result::Ok;
}

Result EffectCore::SetFloat(EffectHandle h, float f) {
    int slot = ParamSlot(h);
    if (slot < 0 || desc_.params[size_t(slot)].type == ParamType::Texture) return Result::InvalidCall;
    StoreElements(size_t(slot), &f, 1, 1, 1);
    return Result::Ok;
}

Result EffectCore::SetInt(EffectHandle h, int32_t i) {
    int slot = ParamSlot(h);
    if (slot < 0 || desc_.params[size_t(slot)].type == ParamType::Texture) return Result::InvalidCall;
    if (desc_.params[size_t(slot)].type == ParamType::Int)
        values_[size_t(slot)][0] = uint32_t(i);
    else
        values_[size_t(slot)][0] = Bits(float(i));
    return Result::Ok;
}

Result EffectCore::SetFloatArray(EffectHandle h, const float* f, uint32_t count) {
    int slot = ParamSlot(h);
    if (slot < 0 || (!f && count) || desc_.params[size_t(slot)].type == ParamType::Texture) return Result::InvalidCall;
    // Flat: one word after another, as many as the parameter holds.
    const EffectParam& p = desc_.params[size_t(slot)];
    uint32_t n = std::min(count, p.Words());
    std::vector<uint32_t>& words = values_[size_t(slot)];
    for (uint32_t i = 0; i < n; ++i) words[i] = p.type == ParamType::Int ? uint32_t(Truncate(f[i])) : Bits(f[i]);
    return Result::Ok;
}

Result EffectCore::SetVector(EffectHandle h, const Vector4& v) { return SetVectorArray(h, &v, 1); }

Result EffectCore::SetVectorArray(EffectHandle h, const Vector4* v, uint32_t count) {
    int slot = ParamSlot(h);
    if (slot < 0 || (!v && count) || !IsVectorLike(desc_.params[size_t(slot)].type)) return Result::InvalidCall;
    if (count) StoreElements(size_t(slot), &v->x, count, 4, 4);
    return Result::Ok;
}

Result EffectCore::SetMatrix(EffectHandle h, const Matrix& m) { return SetMatrixArray(h, &m, 1); }

Result EffectCore::SetMatrixArray(EffectHandle h, const Matrix* m, uint32_t count) {
    int slot = ParamSlot(h);
    if (slot < 0 || (!m && count)) return Result::InvalidCall;
    const EffectParam& p = desc_.params[size_t(slot)];
    if (!IsMatrix(p.type)) return Result::InvalidCall;
    uint32_t n = std::min(count, p.Elements());
    std::vector<uint32_t>& words = values_[size_t(slot)];
    for (uint32_t e = 0; e < n; ++e) {
        uint32_t* w = words.data() + size_t(e) * ComponentCount(p.type);
        if (p.type == ParamType::Float4x4) {
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c) w[r * 4 + c] = Bits(m[e].m[r][c]);
        } else {
            // A mat3x4 takes columns 0-2, each column's four rows.
            for (int c = 0; c < 3; ++c)
                for (int r = 0; r < 4; ++r) w[c * 4 + r] = Bits(m[e].m[r][c]);
        }
    }
    return Result::Ok;
}

Result EffectCore::SetTexture(EffectHandle h, Texture* texture) {
    int slot = ParamSlot(h);
    if (slot < 0 || desc_.params[size_t(slot)].type != ParamType::Texture) return Result::InvalidCall;
    if (texture) texture->AddRef();
    if (Texture* old = std::exchange(textures_[size_t(slot)], texture)) old->Release();
    return Result::Ok;
}

Result EffectCore::Begin(uint32_t* passes, uint32_t /*flags*/) {
    if (begun_) return Result::InvalidCall;
    begun_ = true;
    pass_ = -1;
    saved_.clear();
    if (passes) *passes = static_cast<uint32_t>(Technique().passes.size());
    return Result::Ok;
}

Result EffectCore::BeginPass(uint32_t pass) {
    if (!begun_ || pass_ >= 0 || pass >= Technique().passes.size()) return Result::InvalidCall;
    const EffectPass& p = Technique().passes[pass];
    if (!p.states.empty() && !device_) return Result::InvalidCall;
    for (const StateValue& s : p.states) {
        bool saved = std::any_of(saved_.begin(), saved_.end(), [&](const StateValue& v) { return v.state == s.state; });
        uint32_t old = 0;
        if (!saved && device_->GetRenderState(s.state, old) == Result::Ok) saved_.push_back({s.state, old});
        if (Result r = device_->SetRenderState(s.state, s.value); r != Result::Ok) return r;
    }
    pass_ = static_cast<int>(pass);
    return Result::Ok;
}

Result EffectCore::EndPass() {
    if (pass_ < 0) return Result::InvalidCall;
    pass_ = -1;
    return Result::Ok;
}

Result EffectCore::End() {
    if (!begun_ || pass_ >= 0) return Result::InvalidCall;
    begun_ = false;
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) device_->SetRenderState(it->state, it->value);
    saved_.clear();
    return Result::Ok;
}

}  // namespace host::render
