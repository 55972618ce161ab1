#include "host/render/DeviceRules.h"

#include <algorithm>
#include <iterator>

namespace host::render {
namespace {

bool InRange(uint32_t v, uint32_t lo, uint32_t hi) { return v >= lo && v <= hi; }

}  // namespace

bool IsColorFormat(uint32_t format) {
    return format == kFormatA8R8G8B8 || format == kFormatX8R8G8B8 || format == kFormatA8B8G8R8 ||
           format == kFormatX8B8G8R8;
}

bool IgnoresAlpha(uint32_t format) { return format == kFormatX8R8G8B8 || format == kFormatX8B8G8R8; }

bool ValidRenderState(uint32_t state, uint32_t value) {
    switch (state) {
    case kRsZEnable: case kRsZWriteEnable: case kRsAlphaTestEnable: case kRsAlphaBlendEnable:
    case kRsFogEnable: case kRsStencilEnable: case kRsLighting: case kRsColorVertex:
    case kRsDitherEnable: case kRsSpecularEnable: case kRsNormalizeNormals:
    case kRsFogColor: case kRsFogStart: case kRsFogEnd: case kRsAmbient:
    case kRsStencilRef: case kRsStencilMask: case kRsStencilWriteMask:
        return true;
    case kRsShadeMode: return InRange(value, 1, 3);
    case kRsSrcBlend: case kRsDestBlend: return InRange(value, kBlendZero, 11);
    case kRsCullMode: return InRange(value, kCullNone, kCullCcw);
    case kRsZFunc: case kRsAlphaFunc: case kRsStencilFunc: return InRange(value, kCmpNever, kCmpAlways);
    case kRsAlphaRef: return value <= 0xFF;
    case kRsStencilFail: case kRsStencilZFail: case kRsStencilPass: return InRange(value, kStencilOpKeep, kStencilOpDecr);
    case kRsFogVertexMode: return value <= kFogLinear;
    case kRsColorWriteEnable: return value <= 0xF;
    case kRsBlendOp: return InRange(value, kBlendOpAdd, 5);
    default: return false;
    }
}

bool KnownRenderState(uint32_t state) { return ValidRenderState(state, 0) || ValidRenderState(state, 1); }

bool ValidTransform(uint32_t t) {
    return t == kTransformView || t == kTransformProjection || InRange(t, kTransformWorld, kTransformWorld + 255);
}

bool ValidStageState(uint32_t stage, uint32_t type, uint32_t value) {
    const bool op = type == kTssColorOp || type == kTssAlphaOp;
    return stage < kStageCount && InRange(type, kTssColorOp, kTssAlphaArg2) &&
           (op ? InRange(value, kTopDisable, kTopModulate) : value <= kTaTexture);
}

bool ValidSamplerState(uint32_t sampler, uint32_t type, uint32_t value) {
    return sampler < kStageCount && (type == kSampMagFilter || type == kSampMinFilter) && value <= kFilterLinear;
}

bool ValidCreateRequest(uint32_t type, uint32_t flags) {
    const uint32_t processing =
        flags & (kCreateSoftwareVertexProcessing | kCreateHardwareVertexProcessing | kCreateMixedVertexProcessing);
    const bool oneProcessing = processing == kCreateSoftwareVertexProcessing ||
                               processing == kCreateHardwareVertexProcessing ||
                               processing == kCreateMixedVertexProcessing;
    return (type == kDeviceHal || type == kDeviceRef) && oneProcessing &&
           !(flags & ~(processing | kCreateMultithreaded));
}

bool ValidTextureRequest(uint32_t width, uint32_t height, uint32_t& levels, uint32_t usage, uint32_t format,
                         uint32_t pool, uint32_t maxWidth, uint32_t maxHeight) {
    uint32_t full = 1;
    while ((std::max(width, height) >> full) > 0) ++full;
    const bool ok = width && height && width <= maxWidth && height <= maxHeight && IsColorFormat(format) &&
                    pool <= kPoolSystemMem && !(usage & ~(kUsageRenderTarget | kUsageDynamic)) &&
                    !((usage & kUsageDynamic) && pool == kPoolManaged) &&
                    !((usage & kUsageRenderTarget) && pool != kPoolDefault) && levels <= full;
    if (ok && levels == 0) levels = full;
    return ok;
}

bool ValidBufferRequest(uint32_t bytes, uint32_t usage, uint32_t pool) {
    return bytes && pool <= kPoolSystemMem && !(usage & ~(kUsageWriteOnly | kUsageDynamic)) &&
           !((usage & kUsageDynamic) && pool == kPoolManaged);
}

uint32_t DeclTypeBytes(uint8_t type) {
    switch (type) {
    case kDeclFloat1: return 4;
    case kDeclFloat2: return 8;
    case kDeclFloat3: return 12;
    case kDeclFloat4: return 16;
    case kDeclColor: return 4;
    default: return 0;
    }
}

bool ValidDeclaration(const VertexElement* elements, uint32_t count) {
    if (!elements || count == 0 || count > 16) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const VertexElement& e = elements[i];
        const bool usage = e.usage == kUsagePosition || e.usage == kUsageBlendWeight || e.usage == kUsageBlendIndices ||
                           e.usage == kUsageNormal || e.usage == kUsageTexCoord || e.usage == kUsageTangent ||
                           e.usage == kUsageBinormal || e.usage == kUsageColor;
        const bool index = e.usage == kUsageTexCoord ? e.usageIndex <= 3 : e.usageIndex == 0;
        if (e.type > kDeclColor || !usage || !index || e.offset % 4) return false;
        for (uint32_t j = 0; j < i; ++j)
            if (elements[j].usage == e.usage && elements[j].usageIndex == e.usageIndex) return false;
    }
    return true;
}

uint32_t DeclarationBytes(const VertexElement* elements, uint32_t count) {
    uint32_t end = 0;
    for (uint32_t i = 0; i < count; ++i) end = std::max(end, uint32_t(elements[i].offset) + DeclTypeBytes(elements[i].type));
    return end;
}

void SetDefaultStates(uint32_t (&renderStates)[kRenderStateCount], uint32_t (&stages)[kStageCount][8],
    uint32_t (&samplers)[kStageCount][8]) {
    const DefaultStates& d = GetDefaultStates();
    std::fill(std::begin(renderStates), std::end(renderStates), 0u);
    for (size_t i = 0; i < d.renderStateCount; ++i) renderStates[d.renderStates[i].state] = d.renderStates[i].value;
    for (size_t i = 0; i < d.stageStateCount; ++i)
        stages[d.stageStates[i].stage][d.stageStates[i].state] = d.stageStates[i].value;
    for (size_t i = 0; i < d.samplerStateCount; ++i)
        samplers[d.samplerStates[i].stage][d.samplerStates[i].state] = d.samplerStates[i].value;
}

}  // namespace host::render
