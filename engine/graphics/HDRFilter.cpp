// The glow filter's set-up, blur and composition.
#include "engine/graphics/Filter.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Vector4.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shader.h"
#include "engine/graphics/Texture.h"

#include <algorithm>
#include <cmath>

namespace render = host::render;

namespace {

constexpr char kGaussName[] = "GaussFilter.shd";
constexpr u32 kGlowTargets = 4;
constexpr u32 kOpaque = 0xFFFFFFFFu;

// A pretransformed, textured screen vertex.
struct ScreenVertex {
    f32 x, y, z, rhw;
    f32 u, v;
};
static_assert(sizeof(ScreenVertex) == 24);
constexpr u32 kFvfScreen = render::kFvfXyzRhw | render::kFvfTex1;

// screen covered with the texels uv / (width, height), as a fan.
void Quad(const CRect4& screen, const CRect4& uv, f32 width, f32 height, ScreenVertex* out)
{
    const f32 l = uv.left / width, r = uv.right / width, t = uv.top / height, b = uv.bottom / height;
    out[0] = {screen.left, screen.top, 0.0f, 1.0f, l, t};
    out[1] = {screen.right, screen.top, 0.0f, 1.0f, r, t};
    out[2] = {screen.right, screen.bottom, 0.0f, 1.0f, r, b};
    out[3] = {screen.left, screen.bottom, 0.0f, 1.0f, l, b};
}

// Sampler 0's minification and magnification filters. Point sampling where
// the composition copies texels: a filter of 0 is no valid choice there.
void SetSamplerFilters(CGraphicDevice* device, u32 filter)
{
    device->GetDevice()->SetSamplerState(0, render::kSampMinFilter, filter);
    device->GetDevice()->SetSamplerState(0, render::kSampMagFilter, filter);
}

u32 WithAlpha(u8 alpha) { return u32(alpha) << 24 | 0x00FFFFFFu; }

}  // namespace

void GaussWeights(f32 dispersion, f32 out[8])
{
    f32 sum = 0.0f;
    for (u32 i = 0; i < 8; ++i) {
        const f32 x = f32(2 * i + 1);
        out[i] = dispersion > 0.0f ? ExpF(-0.5f * x * x / dispersion) : 0.0f;
        sum += out[i];
    }
    const f32 total = 2.0f * sum;
    if (!(total > 0.0f) || !std::isfinite(total)) {
        // No spread at all (or none that a float can hold): the nearest
        // pair of taps takes everything, as the curve does in the limit.
        for (u32 i = 0; i < 8; ++i) out[i] = i == 0 ? 0.5f : 0.0f;
        return;
    }
    for (u32 i = 0; i < 8; ++i) out[i] /= total;
}

CHDRFilter::CHDRFilter(const CHDRFilter& other)
    : CFilter(other),
      m_blurColor(other.m_blurColor),
      m_passCount(other.m_passCount),
      m_stepX(other.m_stepX),
      m_stepY(other.m_stepY),
      m_dispersion(other.m_dispersion),
      m_glowAlpha(other.m_glowAlpha),
      m_afterglow(other.m_afterglow),
      m_afterglowAlpha(other.m_afterglowAlpha)
{
}

i32 CHDRFilter::Create(u32 width, u32 height, u32 colourFormat, u32 depthFormat)
{
    if (!CFilter::Create(width, height, colourFormat, depthFormat, kGlowTargets)) return 0;
    const std::string_view effect = render::BuiltinEffect(kGaussName);
    if (!LoadShader(effect.data(), kGaussName, u32(effect.size()), 0, 1)) return 0;
    SetupRects();
    return SetupGauss();
}

void CHDRFilter::SetupRects()
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!device) return;
    const f32 width = f32(device->GetBackBufferWidth()), height = f32(device->GetBackBufferHeight());
    const CTexture* target = GetTarget(0);
    const f32 targetWidth = target ? f32(target->GetWidth()) : 0.0f;
    const f32 targetHeight = target ? f32(target->GetHeight()) : 0.0f;
    m_rect1.Set(0.0f, width, 0.0f, height);
    m_rect3 = m_rect1;
    m_rect2.Set(0.0f, std::min(targetWidth, width * 0.5f), 0.0f, std::min(targetHeight, height * 0.5f));
}

i32 CHDRFilter::SetupGauss()
{
    const CTexture* target = GetTarget(0);
    if (!target || !m_shader || !target->GetWidth() || !target->GetHeight()) return 0;
    const f32 width = f32(target->GetWidth()), height = f32(target->GetHeight());
    CVector4 offsetX[8], offsetY[8];
    for (u32 i = 0; i < 8; ++i) {
        offsetX[i] = CVector4(f32(i + 1) / width * f32(m_stepX), 0.0f, 0.0f, 0.0f);
        offsetY[i] = CVector4(0.0f, f32(i + 1) / height * f32(m_stepY), 0.0f, 0.0f);
    }
    f32 weights[8];
    GaussWeights(m_dispersion, weights);
    CShader& s = *m_shader;
    return s.SetVectorArray(s.GetParameterByName("OffsetX"), offsetX, 8) &&
           s.SetVectorArray(s.GetParameterByName("OffsetY"), offsetY, 8) &&
           s.SetFloatArray(s.GetParameterByName("Weight"), weights, 8) &&
           s.SetTechnique(s.GetTechniqueByName("GaussFilter"))
        ? 1 : 0;
}

i32 CHDRFilter::Begin(u32 colour)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!GetTargetCount() || !device || !device->GetDevice()) return 0;
    TargetScope scope;
    SetTargetAndClear(0, colour);
    SetTargetAndClear(1, colour);
    if (SetDepthTarget()) ClearDepthStencil();
    return 1;
}

void CHDRFilter::Blur()
{
    CGraphicDevice* device = GetGraphicDevice();
    CTexture* glow = GetTarget(1);
    CTexture* work2 = GetTarget(2);
    CTexture* work3 = GetTarget(3);
    const f32 width = f32(GetTarget(0)->GetWidth()), height = f32(GetTarget(0)->GetHeight());
    ScreenVertex down[4], work[4];
    Quad(m_rect2, m_rect1, width, height, down);
    Quad(m_rect2, m_rect2, width, height, work);

    device->SetFVF(kFvfScreen);
    device->SetBlendMode(1);
    // The effect samples its own texture; stage 0 may still hold a target
    // that is about to be drawn into.
    device->SetTexture(nullptr);
    CShader& s = *m_shader;
    const ShaderHandle texture = s.GetParameterByName("g_Texture");
    // A blur that cannot run, or a pass that fails, costs only the glow:
    // the scene is drawn all the same.
    if (!s.Begin(nullptr, 0)) return;
    for (u32 p = 0; p < m_passCount; ++p) {
        SetTargetAndClear(2, 0);
        s.SetTexture(texture, (p == 0 ? glow : work3)->GetTexture());
        s.BeginPass(0);
        device->DrawPrimitiveUP(render::kPrimitiveTriangleFan, 2, p == 0 ? down : work, sizeof(ScreenVertex));
        s.EndPass();
        SetTargetAndClear(3, 0);
        s.SetTexture(texture, work2->GetTexture());
        s.BeginPass(1);
        device->DrawPrimitiveUP(render::kPrimitiveTriangleFan, 2, work, sizeof(ScreenVertex));
        s.EndPass();
    }
    s.End();
}

i32 CHDRFilter::Apply(u32 /*unused*/)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (GetTargetCount() < kGlowTargets || !m_shader || !device || !device->GetDevice()) return 0;
    for (u32 i = 0; i < kGlowTargets; ++i)
        if (!GetTarget(i) || !GetTarget(i)->GetWidth() || !GetTarget(i)->GetHeight()) return 0;
    bool fedBack = true;
    {
        TargetScope scope;
        if (m_afterglow) {
            // Last frame's blur, stretched back to full size, glows on. A
            // failed feedback is reported, but the frame is still drawn.
            SetTarget(1);
            SetSamplerFilters(device, render::kFilterPoint);
            device->SetBlendMode(2);
            fedBack = DrawTarget(&m_rect3, &m_rect2, WithAlpha(m_afterglowAlpha), 3) != 0;
            SetSamplerFilters(device, render::kFilterLinear);
        }
        Blur();
    }
    device->SetBlendMode(1);
    SetSamplerFilters(device, render::kFilterPoint);
    if (!DrawTarget(&m_rect3, &m_rect1, kOpaque, 0)) return 0;
    device->SetBlendMode(2);
    if (!DrawTarget(&m_rect3, &m_rect1, WithAlpha(m_glowAlpha), 1)) return 0;
    SetSamplerFilters(device, render::kFilterLinear);
    return DrawTarget(&m_rect3, &m_rect2, m_blurColor, 3) && fedBack ? 1 : 0;
}
