// The backend-independent half of the render service: the installed
// backend, reference counting, the numbers every backend shares (vertex
// sizes, the default state table) and the D3DX-like helpers.
#include "host/render/EffectFile.h"
#include "host/render/RenderBackend.h"

#include "host/kernel/Kernel.h"

#include <mutex>

namespace host::render {
namespace {

struct Service {
    std::mutex mutex;
    std::unique_ptr<Backend> backend;
    bool chosen = false;   // the real backend was asked for, or one installed
};

// Never destroyed: objects may outlive static destruction order.
Service& S() {
    static Service* service = new Service;
    return *service;
}

constexpr uint32_t kFogEndOne = 0x3F800000u;   // 1.0f

constexpr StateValue kRenderDefaults[] = {
    {kRsZEnable, 1},          {kRsShadeMode, kShadeGouraud}, {kRsZWriteEnable, 1},
    {kRsAlphaTestEnable, 0},  {kRsSrcBlend, kBlendOne},      {kRsDestBlend, kBlendZero},
    {kRsCullMode, kCullCcw},  {kRsZFunc, kCmpLessEqual},     {kRsAlphaRef, 0},
    {kRsAlphaFunc, kCmpAlways}, {kRsDitherEnable, 0},        {kRsAlphaBlendEnable, 0},
    {kRsFogEnable, 0},        {kRsSpecularEnable, 0},        {kRsFogColor, 0},
    {kRsFogStart, 0},         {kRsFogEnd, kFogEndOne},       {kRsStencilEnable, 0},
    {kRsStencilFail, kStencilOpKeep}, {kRsStencilZFail, kStencilOpKeep},
    {kRsStencilPass, kStencilOpKeep}, {kRsStencilFunc, kCmpAlways}, {kRsStencilRef, 0},
    {kRsStencilMask, 0xFFFFFFFFu}, {kRsStencilWriteMask, 0xFFFFFFFFu},
    {kRsLighting, 1},         {kRsAmbient, 0},               {kRsFogVertexMode, kFogNone},
    {kRsColorVertex, 1},      {kRsNormalizeNormals, 0},      {kRsColorWriteEnable, 0xF},
    {kRsBlendOp, kBlendOpAdd},
};

constexpr StageStateValue StageDefault(uint32_t stage, uint32_t type) {
    switch (type) {
    case kTssColorOp: return {stage, type, stage == 0 ? kTopModulate : kTopDisable};
    case kTssAlphaOp: return {stage, type, stage == 0 ? kTopSelectArg1 : kTopDisable};
    case kTssColorArg1:
    case kTssAlphaArg1: return {stage, type, kTaTexture};
    default: return {stage, type, kTaCurrent};
    }
}

struct StageTable {
    StageStateValue values[kStageCount * 6];
    constexpr StageTable() : values{} {
        for (uint32_t s = 0; s < kStageCount; ++s)
            for (uint32_t t = 1; t <= 6; ++t) values[s * 6 + t - 1] = StageDefault(s, t);
    }
};
constexpr StageTable kStageDefaults;

struct SamplerTable {
    StageStateValue values[kStageCount * 2];
    constexpr SamplerTable() : values{} {
        for (uint32_t s = 0; s < kStageCount; ++s) {
            values[s * 2] = {s, kSampMagFilter, kFilterPoint};
            values[s * 2 + 1] = {s, kSampMinFilter, kFilterPoint};
        }
    }
};
constexpr SamplerTable kSamplerDefaults;

}  // namespace

const char* ResultName(Result r) {
    switch (r) {
    case Result::Ok: return "Ok";
    case Result::InvalidCall: return "InvalidCall";
    case Result::NotAvailable: return "NotAvailable";
    case Result::OutOfMemory: return "OutOfMemory";
    case Result::DeviceLost: return "DeviceLost";
    case Result::DeviceNotReset: return "DeviceNotReset";
    }
    return "?";
}

uint32_t FvfStride(uint32_t fvf) {
    constexpr uint32_t known = kFvfXyz | kFvfXyzRhw | kFvfNormal | kFvfDiffuse | kFvfTex1;
    if (fvf & ~known) return 0;
    uint32_t bytes = 0;
    switch (fvf & (kFvfXyz | kFvfXyzRhw)) {
    case kFvfXyz: bytes = 12; break;
    case kFvfXyzRhw:
        if (fvf & kFvfNormal) return 0;   // pretransformed vertices are never lit
        bytes = 16;
        break;
    default: return 0;
    }
    if (fvf & kFvfNormal) bytes += 12;
    if (fvf & kFvfDiffuse) bytes += 4;
    if (fvf & kFvfTex1) bytes += 8;
    return bytes;
}

uint32_t VertexCount(uint32_t type, uint32_t count) {
    if (count == 0) return 0;
    switch (type) {
    case kPrimitiveLineStrip: return count + 1;
    case kPrimitiveTriangleList: return count * 3;
    case kPrimitiveTriangleFan: return count + 2;
    default: return 0;
    }
}

const DefaultStates& GetDefaultStates() {
    static const DefaultStates table{
        kRenderDefaults, std::size(kRenderDefaults),
        kStageDefaults.values, std::size(kStageDefaults.values),
        kSamplerDefaults.values, std::size(kSamplerDefaults.values)};
    return table;
}

uint32_t DefaultRenderState(uint32_t state) {
    for (const StateValue& s : kRenderDefaults)
        if (s.state == state) return s.value;
    return 0;
}

Matrix IdentityMatrix() {
    Matrix m{};
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
    return m;
}

uint32_t Object::AddRef() { return refs_.fetch_add(1) + 1; }

uint32_t Object::Release() {
    uint32_t left = refs_.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
}

// ---------------------------------------------------------------- backend

void InstallBackend(std::unique_ptr<Backend> backend) {
    std::lock_guard lock(S().mutex);
    S().backend = std::move(backend);
    S().chosen = S().backend != nullptr;
}

Ref<Api> CreateApi() {
    std::lock_guard lock(S().mutex);
    if (!S().chosen) {
        S().backend = CreateRealBackend();
        S().chosen = true;
    }
    return S().backend ? S().backend->CreateApi() : nullptr;
}

// ---------------------------------------------------------------- D3DX replacements

Result FillTexture(Texture* texture, uint32_t argb) {
    return texture ? texture->Fill(argb) : Result::InvalidCall;
}

Result CreateEffectFromMemory(Device* device, const void* data, size_t bytes, uint32_t /*flags*/,
                              Effect** out, std::string* errors) {
    if (out) *out = nullptr;
    if (!device || !data || bytes == 0 || !out) {
        if (errors) *errors = "no device, data or output";
        return Result::InvalidCall;
    }
    EffectDesc desc;
    std::string error;
    if (!ParseEffect(std::string_view(static_cast<const char*>(data), bytes), desc, error)) {
        if (errors) *errors = error;
        return Result::InvalidCall;
    }
    Result r = device->CreateEffect(desc, out);
    if (r != Result::Ok && errors && errors->empty()) *errors = ResultName(r);
    return r;
}

Result CreateEffectFromFile(Device* device, std::string_view path, uint32_t flags,
                            Effect** out, std::string* errors) {
    if (out) *out = nullptr;
    std::string bytes;
    if (!host::kernel::ReadWholeFile(path, bytes)) {
        if (errors) *errors = "cannot read " + std::string(path);
        return Result::NotAvailable;
    }
    return CreateEffectFromMemory(device, bytes.data(), bytes.size(), flags, out, errors);
}

}  // namespace host::render
