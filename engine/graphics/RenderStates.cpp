// The device's render-state and binding caches, the blend modes and the
// state presets: a repeated value costs one comparison and no device call.
#include "engine/graphics/GraphicDevice.h"

namespace render = host::render;

namespace {

struct BlendMode {
    u32 source, dest, op;
};

constexpr BlendMode kBlendModes[] = {
    {render::kBlendOne, render::kBlendZero, render::kBlendOpAdd},                 // 0 opaque
    {render::kBlendSrcAlpha, render::kBlendInvSrcAlpha, render::kBlendOpAdd},     // 1 alpha
    {render::kBlendSrcAlpha, render::kBlendOne, render::kBlendOpAdd},             // 2 additive
    {render::kBlendSrcAlpha, render::kBlendOne, render::kBlendOpRevSubtract},     // 3 subtractive
    {render::kBlendOne, render::kBlendOne, render::kBlendOpAdd},                  // 4 plain add
    {render::kBlendDestColor, render::kBlendOne, render::kBlendOpAdd},            // 5
    {render::kBlendInvDestColor, render::kBlendZero, render::kBlendOpAdd},        // 6 invert
    {render::kBlendInvDestColor, render::kBlendOne, render::kBlendOpAdd},         // 7
};
constexpr u32 kBlendModeCount = sizeof kBlendModes / sizeof kBlendModes[0];

// The blend mode whose three states the default table holds; one past the
// modes when none matches.
u32 DefaultBlendMode()
{
    const BlendMode d = {render::DefaultRenderState(render::kRsSrcBlend),
                         render::DefaultRenderState(render::kRsDestBlend),
                         render::DefaultRenderState(render::kRsBlendOp)};
    for (u32 mode = 0; mode < kBlendModeCount; ++mode) {
        const BlendMode& m = kBlendModes[mode];
        if (m.source == d.source && m.dest == d.dest && m.op == d.op) return mode;
    }
    return kBlendModeCount;
}

}  // namespace

void CGraphicDevice::SeedCaches()
{
    states_.ambient = render::DefaultRenderState(render::kRsAmbient);
    states_.blendMode = DefaultBlendMode();
    states_.cullMode = render::DefaultRenderState(render::kRsCullMode);
    states_.lighting = render::DefaultRenderState(render::kRsLighting);
    states_.fogEnable = render::DefaultRenderState(render::kRsFogEnable);
    states_.zEnable = render::DefaultRenderState(render::kRsZEnable);
    states_.zWriteEnable = render::DefaultRenderState(render::kRsZWriteEnable);
    states_.zFunc = render::DefaultRenderState(render::kRsZFunc);
    states_.colorWriteEnable = render::DefaultRenderState(render::kRsColorWriteEnable);
    texture_ = nullptr;
    for (StreamCache& stream : streams_) stream = StreamCache{nullptr, 0};
    indices_ = nullptr;
    declaration_ = nullptr;
    fvf_ = 0;
}

void CGraphicDevice::SetCachedState(u32& cached, u32 state, u32 value)
{
    if (cached == value) return;
    cached = value;
    if (device_) device_->SetRenderState(state, value);
}

void CGraphicDevice::SetAmbient(u32 colour) { SetCachedState(states_.ambient, render::kRsAmbient, colour); }
void CGraphicDevice::SetCullMode(u32 mode) { SetCachedState(states_.cullMode, render::kRsCullMode, mode); }
void CGraphicDevice::SetLighting(u32 on) { SetCachedState(states_.lighting, render::kRsLighting, on); }
void CGraphicDevice::SetFogEnable(u32 on) { SetCachedState(states_.fogEnable, render::kRsFogEnable, on); }
void CGraphicDevice::SetZEnable(u32 on) { SetCachedState(states_.zEnable, render::kRsZEnable, on); }
void CGraphicDevice::SetZFunc(u32 func) { SetCachedState(states_.zFunc, render::kRsZFunc, func); }

void CGraphicDevice::SetZWriteEnable(u32 on)
{
    SetCachedState(states_.zWriteEnable, render::kRsZWriteEnable, on);
}

void CGraphicDevice::SetColorWriteEnable(u32 mask)
{
    SetCachedState(states_.colorWriteEnable, render::kRsColorWriteEnable, mask);
}

void CGraphicDevice::SetTexture(render::Texture* texture)
{
    if (texture_ == texture) return;
    texture_ = texture;
    if (device_) device_->SetTexture(0, texture);
}

void CGraphicDevice::SetIndices(render::IndexBuffer* buffer)
{
    if (indices_ == buffer) return;
    indices_ = buffer;
    if (device_) device_->SetIndices(buffer);
}

void CGraphicDevice::SetVertexDeclaration(render::VertexDeclaration* declaration)
{
    if (declaration_ == declaration) return;
    declaration_ = declaration;
    fvf_ = 0;
    if (device_) device_->SetVertexDeclaration(declaration);
}

void CGraphicDevice::SetFVF(u32 fvf)
{
    if (fvf_ == fvf) return;
    fvf_ = fvf;
    declaration_ = nullptr;
    if (device_) device_->SetFVF(fvf);
}

void CGraphicDevice::SetStreamSource(render::VertexBuffer* buffer, u32 stride)
{
    if (streams_.empty()) streams_.assign(1, StreamCache{nullptr, 0});
    StreamCache& stream = streams_[0];
    if (stream.buffer == buffer && !stream.force) return;
    stream.buffer = buffer;
    stream.force = 0;
    if (device_) device_->SetStreamSource(0, buffer, 0, stride);
}

void CGraphicDevice::ForceStreamSource(u32 stream)
{
    if (stream < streams_.size()) streams_[stream].force = 1;
}

i32 CGraphicDevice::DrawPrimitiveUP(u32 type, u32 count, const void* vertices, u32 stride)
{
    if (!streams_.empty()) streams_[0] = StreamCache{nullptr, 0};
    indices_ = nullptr;
    if (!device_) return 0;
    return device_->DrawPrimitiveUP(type, count, vertices, stride) == render::Result::Ok ? 1 : 0;
}

void CGraphicDevice::SetBlendMode(u32 mode)
{
    if (states_.blendMode == mode) return;
    states_.blendMode = mode;
    if (mode >= kBlendModeCount || !device_) return;
    const BlendMode& m = kBlendModes[mode];
    device_->SetRenderState(render::kRsSrcBlend, m.source);
    device_->SetRenderState(render::kRsDestBlend, m.dest);
    device_->SetRenderState(render::kRsBlendOp, m.op);
}

void CGraphicDevice::SetState3D()
{
    SetZEnable(1);
    SetZWriteEnable(1);
    SetLighting(1);
    SetCullMode(render::kCullCcw);
}

void CGraphicDevice::SetState2D()
{
    SetAmbient(0xFFFFFFFFu);
    SetZEnable(0);
    SetZWriteEnable(0);
    SetLighting(0);
    SetFogEnable(0);
    SetCullMode(render::kCullNone);
}

void CGraphicDevice::SetDefaultStates()
{
    if (!device_) return;
    render::Device& d = *device_;
    d.SetTextureStageState(0, render::kTssColorOp, render::kTopModulate);
    d.SetTextureStageState(0, render::kTssColorArg1, render::kTaTexture);
    d.SetTextureStageState(0, render::kTssColorArg2, render::kTaDiffuse);
    d.SetTextureStageState(0, render::kTssAlphaOp, render::kTopModulate);
    d.SetTextureStageState(0, render::kTssAlphaArg1, render::kTaTexture);
    d.SetTextureStageState(0, render::kTssAlphaArg2, render::kTaDiffuse);

    d.SetSamplerState(0, render::kSampMinFilter, render::kFilterLinear);
    d.SetSamplerState(0, render::kSampMagFilter, render::kFilterLinear);

    // Texels with alpha 0-5 are not drawn.
    d.SetRenderState(render::kRsAlphaBlendEnable, 1);
    d.SetRenderState(render::kRsAlphaTestEnable, 1);
    d.SetRenderState(render::kRsAlphaFunc, render::kCmpGreater);
    d.SetRenderState(render::kRsAlphaRef, 5);

    SetAmbient(0xFF000000u);
    SetZEnable(1);

    d.SetRenderState(render::kRsDitherEnable, 1);
    d.SetRenderState(render::kRsSpecularEnable, 1);
    d.SetRenderState(render::kRsShadeMode, render::kShadeGouraud);
    d.SetRenderState(render::kRsNormalizeNormals, 1);

    SetTexture(nullptr);
    SetStreamSource(nullptr, 0);
    SetIndices(nullptr);
    SetVertexDeclaration(nullptr);
    SetFVF(render::kFvfXyzRhw | render::kFvfDiffuse);

    // Whatever the cache held, mode 1's states reach the device.
    SetBlendMode(0);
    SetBlendMode(1);
}
